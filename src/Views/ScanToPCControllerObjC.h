#pragma once
// The scan-to-PC page (view identifier "scan2PC", listed for both models): the scan options the
// scanner uses when it scans to this computer, one FCL_RS_PARAM_SCANPROFILE record
// (sParamAll.sScan2PC), and two settings of this computer kept in the scanner driver's
// per-device preference file Setting_RemoteSetup.plist (path: preferenceFilePath, IO/FCLFileData.h):
//   "Location"  the folder scans are saved in, as text ("~" allowed), shown in textFilePath;
//   "IsOpen"    "1" to open that folder after a scan, anything else (or missing) not to; the
//               "Open after scanning" box.
//
// The scan options are the scan-option editor's (ScanOptionEditor.h), with two differences: the
// file types 3 to 8 (secure, signed PDF and PDF/A) are never offered, and the file-size pop-up
// is always disabled (it still shows the slot's size).
//
// The preference file:
//  - setParam reads it (readFromPList). A missing or empty "Location" becomes "~/Pictures", and
//    the file is rewritten with it at once; that default is not the user's change: when the
//    rewrite fails, "~/Pictures" is shown and counts as the folder the page compares with. A file
//    without "IsOpen" shows the box off.
//  - No file (or one that cannot be read): the folder field, its button and the box are
//    disabled and empty, and a line below them says why. The page never creates the file and,
//    then, reports no change for the folder and the box.
//  - The file is written only when the user changed the folder or the box, and only once the
//    scanner accepted the page's record: getParam notes the change, saveAccepted() writes it
//    (writeToPList). The write sets the two keys in the file's own parsed tree and rewrites it
//    atomically in its own format (binary or XML), so every key and value the page does not know
//    survives as it was. A folder text an XML file cannot hold (a control character) is not
//    written. A folder that is not an existing folder the user may write to ("~" expanded for
//    the test) is replaced by "~/Pictures"; "Location" keeps the text as the user chose it, "~"
//    and all.
//  - A write that fails after the scanner accepted: the alert IDS_P_FOLDER_NOT_STORED_MSG /
//    _INFO (with the file's path) follows the main window's "saved", and the folder and the box
//    return to what the file holds, so nothing stays pending and the page can be left.
//
// isDataChanged: the scan record as the scan-to-e-mail page compares it, then (with a file) the
// folder text against the one last read or written, and the box against "IsOpen". isDataError
// is always 0.

#include <QString>
#include <cstdint>

#include "IO/FCLSettings.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"
#include "Views/ScanOptionEditor.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Utilities;

class ScanToPCControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit ScanToPCControllerObjC(QWidget* parent = nullptr);
  ~ScanToPCControllerObjC() override;

  // ---- Page contract (sParamAll.sScan2PC, bIsB and the device texts) ------------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;
  void saveAccepted() override;
  // With either note about the preference file shown below the folder.
  QSize neededSize() override;

  // ---- The same on the record itself ----------------------------------------------------------
  void setParam(const FCL_RS_PARAM_SCANPROFILE& scan2PC, bool isB, const QString& uuid, const QString& twainName,
                const QString& interfaceText);
  void getParam(FCL_RS_PARAM_SCANPROFILE& scan2PC);
  bool isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2PC);

  // ---- The preference file ---------------------------------------------------------------------
  // The file of the device handed over with setParam.
  QString preferencePath() const;
  void readFromPList();
  // Stores the folder and the box; true when the file took them (false when it could not be read
  // or rewritten; nothing is created).
  bool writeToPList();

  // ---- Actions -----------------------------------------------------------------------------------
  // The folder button: a folder chooser; the chosen folder's path goes into the field.
  void filePathOpenPanelPushed();
  void chkFilePathPushed();

  // The folder used when the chosen one is missing or unusable.
  static constexpr const char* kDefaultLocation = "~/Pictures";

  // For tests and screenshots.
  QLabel* labelScanToPC() const { return m_title; }
  ScanOptionEditor* editor() const { return m_editor; }
  QLineEdit* textFilePath() const { return m_textFilePath; }
  QPushButton* btnFilePath() const { return m_btnFilePath; }
  QCheckBox* chkFilePath() const { return m_chkFilePath; }
  QLabel* labelNoPreferences() const { return m_labelNoPreferences; }
  bool hasPreferenceFile() const { return m_hasPreferenceFile; }
  const FCL_RS_PARAM_SCANPROFILE& scan2PC() const { return m_editor->copy(); }

 private:
  // The folder or the box differ from the file's as last read or written (with a file).
  bool folderChanged() const;
  // Enables the folder controls, or disables them with `note` below them.
  void showPreferenceFile(bool present, const QString& note);
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Utilities& ut;
  PageTrace m_trace;
  QLabel* m_title = nullptr;
  QLabel* m_labelSavePath = nullptr;
  QLineEdit* m_textFilePath = nullptr;
  QPushButton* m_btnFilePath = nullptr;
  QCheckBox* m_chkFilePath = nullptr;
  QLabel* m_labelNoPreferences = nullptr;
  ScanOptionEditor* m_editor = nullptr;

  bool m_isB = false;
  QString m_uuidString;
  QString m_twainString;
  QString m_interfaceString;
  QString m_defaultPathString;   // "Location" as last read or written
  bool m_bOpenAfterScan = false; // "IsOpen" as last read or written
  bool m_hasPreferenceFile = false;
  // getParam found the folder or the box changed: saveAccepted() writes them.
  bool m_localPending = false;
};
