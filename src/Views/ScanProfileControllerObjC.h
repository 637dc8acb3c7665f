#pragma once
// The scan-profile list page (view identifier "scanProfile", network model only): the scanner's
// 25 network scan profiles, one row each (button "Profile N", the profile's name, the kind of
// destination), and the profile editor (ScanProfileSettingControllerObjC) opened from a row.
//
// A self-writing page (PageController.h): it is handed the main window's command layer and
//   setParam       reads the 25 profiles (FCL_RS_PROFILE_ALL, 42900 bytes) into profileAll and
//                  keeps copies of the SFTP key-name lists for the editor;
//   isDataChanged  reads the profiles again and compares all 42900 bytes with profileAll;
//   getParam       writes profileAll, all 25 slots in one command, answering the scanner's
//                  verdict (IOWrapper::judge: a refused write is a failure).
//
// The page's last accepted content (m_lastAccepted) is the scanner's profiles as of the last
// accepted read or accepted write of this page, or of an import that wrote the profiles. It is
// what the page falls back to and compares against; a write the scanner refused leaves it.
//   - setParam shows what it read; a failed read shows the last accepted content (edits since
//     are dropped, as a successful read drops them), says once that the profiles could not be
//     read (IDS_SP_READ_FAIL_MSG / _INFO with what the scanner said) and stays editable. When
//     nothing was ever accepted in this window (or the last import failed to write the
//     profiles), the page is not read: the same alert, every row says the profiles could not be
//     read and the 25 buttons are disabled. While unread, isDataChanged answers NO (nothing of
//     the user's to save, so no page switch or OK is blocked) and getParam writes nothing and
//     answers NO with the save path's not-read alert (IDS_RS_NOT_READ_MSG / _INFO);
//   - isDataChanged compares with a fresh read, which then becomes the last accepted content
//     (the slots the editor has not handed back since take it too, so that a save never sends
//     profiles older than the scanner's); a failed fresh read compares with the last accepted
//     content;
//   - differsFromAccepted compares profileAll with the last accepted content without reading
//     (unread: NO);
//   - an accepted getParam makes what it wrote the last accepted content.
//
// Rows: the name is szProfileName of the slot; the type (getProfileTypeStr) shows only beside a
// non-empty name: 0 IDS_PN_PROFILE_TO_NETWORK_FOLDER, 1 IDS_PF_PROFILE_TO_FTP,
// 2 IDS_PS_PROFILE_TO_SFTP, 3 "E-mail", 4 "PC", 5 "UDisk", any other "Undefined!" with the error
// line "ERROR: ScanProfileType No define %d" at level 0x02.
//
// Button N (1..25) opens the editor on slot N-1 (nLastModifyID), whatever its title. The editor is
// created per opening by the page factory ("VID_SCAN_PROFILE_SETTING") and runs as a modal window
// through the editor presenter (exec() unless a test puts its own in place). It works on a copy of
// the slot and hands it back through setBackParam on OK; nothing reaches the scanner before
// getParam.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02
// ("========= %@ ERROR: %@\n").

#include <QStringList>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>

#include "IO/FCLRecords.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class IOWrapper;
class QDialog;
class QLabel;
class QPushButton;
class ScanProfileSettingControllerObjC;
class Utilities;

class ScanProfileControllerObjC : public PageController {
  Q_OBJECT

 public:
  static constexpr int kRows = FCL_PROFILE_COUNT;

  explicit ScanProfileControllerObjC(QWidget* parent = nullptr);
  ~ScanProfileControllerObjC() override;

  // ---- Page contract ---------------------------------------------------------------------------
  void setParam(const MainWindowState& state) override;  // ioWrapper, clientKeyList, serverKeyList
  bool getParam(MainWindowState& state) override;        // writes the scanner; the state is untouched
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;                        // always 0
  bool differsFromAccepted(const MainWindowState& state) override;  // no I/O, no alert

  // ---- The same on the command layer itself (may be null: nothing to read or write) -----------
  void setParam(IOWrapper* io, const QStringList& clientList, const QStringList& serverList);
  bool getParam(IOWrapper* io);
  bool isDataChanged(IOWrapper* io);

  // True while the page holds a last accepted content (a read, a write or an import accepted).
  bool isProfileRead() const { return m_read; }
  // After an import of all settings: `written` is what the scanner accepted as its profiles,
  // which becomes the last accepted content; null when the import did not write them, which
  // leaves the page not read. Fills the rows again.
  void importedProfiles(const FCL_RS_PROFILE_ALL* written);
  // The page's copy of the 25 profiles.
  const FCL_RS_PROFILE_ALL& profileAll() const { return *m_profileAll; }

  // ---- Towards the editor ------------------------------------------------------------------------
  // The slot (0..24) the editor was last opened for; 0 when the page was made.
  int32_t nLastModifyID() const { return m_lastModifyID; }
  // Copies the edited profile into slot nLastModifyID and fills the rows again.
  void setBackParam(const FCL_RS_PROFILE* profile);

  // ---- User actions ---------------------------------------------------------------------------------
  // Button `row` (1..25): creates the editor, prepares it and presents it.
  void openEditor(int row);
  // Gives `editor` the slot of button `row` (1..25) and the key lists; false (only the log line)
  // for a row outside 1..25 or a missing editor.
  bool prepareForSegue(int row, ScanProfileSettingControllerObjC* editor);

  using EditorPresenter = std::function<void(QDialog& editor)>;
  void setEditorPresenter(EditorPresenter presenter) { m_presenter = std::move(presenter); }

  // The type text of a dwProfileType value (logs the error line for one outside the table).
  QString getProfileTypeStr(int32_t type) const;

  struct Controls {
    QLabel* labelScanProfile;
    std::array<QPushButton*, kRows> btnProfile;  // row N at [N-1]
    std::array<QLabel*, kRows> labelName;
    std::array<QLabel*, kRows> labelType;
  };
  const Controls& controls() const { return m_ui; }

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void showNotReadAlert();
  void showReadFailAlert(const QString& details);

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Controls m_ui{};
  Utilities& ut;
  PageTrace m_trace;
  std::unique_ptr<FCL_RS_PROFILE_ALL> m_profileAll;
  // The last accepted content (all zero until then; meaningful only while m_read).
  std::unique_ptr<FCL_RS_PROFILE_ALL> m_lastAccepted;
  bool m_read = false;
  // The slots the editor handed back since the page was last filled or saved.
  std::bitset<kRows> m_edited;
  int32_t m_lastModifyID = 0;
  QStringList m_clientKeyList;
  QStringList m_serverKeyList;
  EditorPresenter m_presenter;
};
