#pragma once
// Modal alerts and file panels.
//
// Every alert and panel of the programs goes through the process's current Dialogs object, so
// tests can put a scripted implementation in its place (tests/support/ScriptedDialogs) and the
// programs never wait for a person under test. The programs install QtDialogs at start-up.
//
// Contract for implementations:
//  - runAlert shows `spec` application-modal and answers which button ended it (its index in
//    spec.buttons, 0 being the first and default button) and the state of the suppression
//    check box (false when the alert had none).
//  - The panels answer the chosen path, or nothing when the user cancelled.
//  - All calls come from the GUI thread (code on other threads marshals them there first).
//
// How QtDialogs presents them:
//  - every alert's window title is the program's display name (programDisplayName()), and the
//    alert is at least as wide as that title in the application's bold font plus room for the
//    title bar's buttons (alertMinimumWidth()), so the title is never cut;
//  - an alert whose message is only a generic word (alertTexts()) shows its information as the
//    headline; the message and information of the AlertSpec stay as given (the scripted
//    dialogs record them as asked);
//  - the Warning style, the alert of the settings pages and the main window (on the platform the
//    program comes from it shows the application's icon, not a caution sign), shows the
//    program's own icon when the application has one (QApplication::windowIcon), else the
//    information icon; Informational shows the information icon, Critical the critical one;
//  - alerts and panels belong to the active window, or when none is active (an alert raised by a
//    timer while another program has the focus) to the program's visible main window, and are
//    centred on it.

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

struct AlertSpec {
  enum class Style { Warning, Informational, Critical };
  QString message;            // the bold message text
  QString information;        // the informative text below it
  QStringList buttons;        // in order; the first is the default button
  QString suppressionTitle;   // non-empty: show a check box with this title, unchecked
  Style style = Style::Warning;
  // The button that backs out (Cancel), answered when the program is quitting; -1: the last.
  int cancelButton = -1;
};

struct AlertAnswer {
  int button = 0;             // index into AlertSpec::buttons
  bool suppressionOn = false; // the check box when the alert ended
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual AlertAnswer runAlert(const AlertSpec& spec) = 0;
  // An open panel limited to files whose name ends in "." + `extension`.
  virtual std::optional<QString> openFile(const QString& extension, const QString& directory) = 0;
  // A save panel limited to `extension`; the answer always ends in "." + `extension`.
  virtual std::optional<QString> saveFile(const QString& extension, const QString& suggestedName,
                                          const QString& directory) = 0;
  // A folder chooser.
  virtual std::optional<QString> chooseFolder(const QString& directory) = 0;
};

// What QtDialogs shows of `spec`: the bold headline and the text below it. When the message is
// one of the generic words (the texts of IDS_CM_MESSAGE, IDS_CM_INFORMATION, IDS_CM_WARNING and
// IDS_CM_ERROR) and there is an information text, the information is the headline and nothing
// stands below it: one generic word heads alerts of opposite outcomes and says nothing itself.
struct AlertTexts {
  QString headline;
  QString detail;
};
AlertTexts alertTexts(const AlertSpec& spec);

// The narrowest an alert is drawn: its title (`title`) in the application's bold font, as window
// managers draw titles, plus the title bar's buttons and margins.
int alertMinimumWidth(const QString& title);
inline constexpr int kAlertTitleBarRoom = 120;

// The process's current implementation. Never null: until one is installed it is QtDialogs.
Dialogs& dialogs();
// Installs `d` (not owned; must outlive its use) and answers the previous one. nullptr restores
// the default QtDialogs.
Dialogs* setDialogs(Dialogs* d);

// Quitting: once the program has been asked to end (a quit signal), no alert or panel may hold
// it. From setQuitting(true) on, QtDialogs answers every alert with its cancelling button and
// every panel with nothing, at once; cancelOpenDialogs() ends the ones already open the same way.
// GUI thread only.
void setQuitting(bool quitting);
// The name alerts carry in their title bar: the program's display name, as its menu entry names
// it ("Zerelta QMX-7315W Remote Setup"), not the binary's. Until set:
// QGuiApplication::applicationDisplayName().
void setProgramDisplayName(const QString& name);
QString programDisplayName();

void cancelOpenDialogs();

// The Qt Widgets implementation: QMessageBox with a QCheckBox, QFileDialog.
class QtDialogs : public Dialogs {
 public:
  AlertAnswer runAlert(const AlertSpec& spec) override;
  std::optional<QString> openFile(const QString& extension, const QString& directory) override;
  std::optional<QString> saveFile(const QString& extension, const QString& suggestedName,
                                  const QString& directory) override;
  std::optional<QString> chooseFolder(const QString& directory) override;
};

}  // namespace platform
