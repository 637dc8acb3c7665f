#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QPointer>
#include <QStyle>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

#include "platform/Localizer.h"

namespace platform {
namespace {
QtDialogs& defaultDialogs() {
  static QtDialogs d;
  return d;
}
std::atomic<Dialogs*> current{nullptr};

bool g_quitting = false;
QString g_displayName;

// The window an alert or panel belongs to: the active window, else the program's visible main
// window (a top-level window that is not itself a dialog), so it is never shown off on its own.
QWidget* ownerWindow() {
  if (QWidget* active = QApplication::activeWindow()) return active;
  QWidget* owner = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || w->windowType() != Qt::Window || qobject_cast<QDialog*>(w) != nullptr) continue;
    owner = w;  // the last one shown wins: the main window over the device list it came from
  }
  return owner;
}

// Puts `dialog` in the middle of `owner` once it has its size (on showing).
class CentreOnOwner : public QObject {
 public:
  CentreOnOwner(QWidget* dialog, QWidget* owner) : QObject(dialog), m_dialog(dialog), m_owner(owner) {
    dialog->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_dialog && event->type() == QEvent::Show && m_owner != nullptr) {
      const QRect frame = m_dialog->frameGeometry();
      m_dialog->move(m_owner->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* m_dialog;
  QPointer<QWidget> m_owner;
};

// The alerts and panels open now (nested, innermost last), each with how to cancel it.
struct OpenDialog {
  QObject* dialog;
  std::function<void()> cancel;
};
std::vector<OpenDialog> g_open;

// Keeps `dialog` in g_open while it runs.
class OpenScope {
 public:
  OpenScope(QObject* dialog, std::function<void()> cancel) : m_dialog(dialog) {
    g_open.push_back({dialog, std::move(cancel)});
  }
  ~OpenScope() {
    std::erase_if(g_open, [this](const OpenDialog& d) { return d.dialog == m_dialog; });
  }
  OpenScope(const OpenScope&) = delete;
  OpenScope& operator=(const OpenScope&) = delete;

 private:
  QObject* m_dialog;
};

int cancelIndex(const AlertSpec& spec) {
  if (spec.cancelButton >= 0 && spec.cancelButton < spec.buttons.size()) return spec.cancelButton;
  return spec.buttons.isEmpty() ? 0 : static_cast<int>(spec.buttons.size()) - 1;
}

// Runs a file dialog, registered so that a quit can cancel it; nothing when quitting.
std::optional<QString> runFileDialog(QFileDialog& dialog) {
  if (g_quitting) return std::nullopt;
  new CentreOnOwner(&dialog, dialog.parentWidget());
  OpenScope open(&dialog, [&dialog] { dialog.reject(); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString path = dialog.selectedFiles().first();
  if (path.isEmpty()) return std::nullopt;
  return path;
}
}  // namespace

void setQuitting(bool quitting) { g_quitting = quitting; }

void setProgramDisplayName(const QString& name) { g_displayName = name; }

QString programDisplayName() {
  return g_displayName.isEmpty() ? QGuiApplication::applicationDisplayName() : g_displayName;
}

void cancelOpenDialogs() {
  const std::vector<OpenDialog> open = g_open;
  for (const OpenDialog& d : open) d.cancel();
}

Dialogs& dialogs() {
  Dialogs* d = current.load();
  return d ? *d : defaultDialogs();
}

Dialogs* setDialogs(Dialogs* d) {
  Dialogs* previous = current.exchange(d);
  return previous ? previous : &defaultDialogs();
}

AlertTexts alertTexts(const AlertSpec& spec) {
  static const char* const kGenericKeys[] = {"IDS_CM_MESSAGE", "IDS_CM_INFORMATION", "IDS_CM_WARNING", "IDS_CM_ERROR"};
  const bool generic = std::any_of(std::begin(kGenericKeys), std::end(kGenericKeys), [&spec](const char* key) {
    return spec.message == Localizer::text(QString::fromLatin1(key));
  });
  if (generic && !spec.information.isEmpty()) return {spec.information, QString()};
  return {spec.message, spec.information};
}

int alertMinimumWidth(const QString& title) {
  QFont bold = QApplication::font();
  bold.setBold(true);
  return QFontMetrics(bold).horizontalAdvance(title) + kAlertTitleBarRoom;
}

AlertAnswer QtDialogs::runAlert(const AlertSpec& spec) {
  if (g_quitting) return AlertAnswer{cancelIndex(spec), false};
  QWidget* owner = ownerWindow();
  QMessageBox box(owner);
  new CentreOnOwner(&box, owner);
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(programDisplayName());
  const AlertTexts texts = alertTexts(spec);
  box.setText(texts.headline);
  box.setInformativeText(texts.detail);
  switch (spec.style) {
    case AlertSpec::Style::Warning:
      // The program's own icon where it has one; never a caution sign for an everyday alert.
      if (const QIcon icon = QApplication::windowIcon(); !icon.isNull()) {
        const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        box.setIconPixmap(icon.pixmap(size, size));
      } else {
        box.setIcon(QMessageBox::Information);
      }
      break;
    case AlertSpec::Style::Informational: box.setIcon(QMessageBox::Information); break;
    case AlertSpec::Style::Critical: box.setIcon(QMessageBox::Critical); break;
  }
  QList<QAbstractButton*> buttons;
  for (int i = 0; i < spec.buttons.size(); ++i) {
    // AcceptRole for the first keeps it the default; the others are plain actions.
    auto* b = box.addButton(spec.buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole);
    buttons.append(b);
    if (i == 0) box.setDefaultButton(b);
  }
  QCheckBox* check = nullptr;
  if (!spec.suppressionTitle.isEmpty()) {
    check = new QCheckBox(spec.suppressionTitle, &box);
    box.setCheckBox(check);
  }
  // A row across the whole alert as wide as its title needs; the box sizes itself from its layout
  // when shown, after which nothing rebuilds the layout.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(alertMinimumWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  {
    QAbstractButton* cancel = buttons.value(cancelIndex(spec));
    OpenScope open(&box, [&box, cancel] {
      if (cancel != nullptr) cancel->click();
      else box.reject();
    });
    box.exec();
  }
  AlertAnswer answer;
  const int index = static_cast<int>(buttons.indexOf(box.clickedButton()));
  answer.button = index < 0 ? 0 : index;
  answer.suppressionOn = check && check->isChecked();
  return answer;
}

std::optional<QString> QtDialogs::openFile(const QString& extension, const QString& directory) {
  QFileDialog dialog(ownerWindow(), QString(), directory, QStringLiteral("*.%1").arg(extension));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return runFileDialog(dialog);
}

std::optional<QString> QtDialogs::saveFile(const QString& extension, const QString& suggestedName,
                                           const QString& directory) {
  QFileDialog dialog(ownerWindow(), QString(), directory, QStringLiteral("*.%1").arg(extension));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(extension);
  dialog.selectFile(suggestedName);
  std::optional<QString> path = runFileDialog(dialog);
  if (path && !path->endsWith(u'.' + extension)) *path += u'.' + extension;
  return path;
}

std::optional<QString> QtDialogs::chooseFolder(const QString& directory) {
  QFileDialog dialog(ownerWindow(), QString(), directory);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  return runFileDialog(dialog);
}

}  // namespace platform
