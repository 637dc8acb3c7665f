#pragma once
// The profile editor: the modal window in which the user edits one of the scanner's 25 network
// scan profiles (FCL_RS_PROFILE, 1716 bytes): its name, the kind of destination (0 network folder,
// 1 FTP, 2 SFTP), the destination's address, account and folder, and its scan options.
//
// The scan-profile page creates one per opening (page factory identifier
// "VID_SCAN_PROFILE_SETTING"), sets previousVC and sends setParam with a pointer to one slot of its
// copy. The editor copies the profile (scanProfileSetting) and edits only the copy; it never talks
// to the scanner. OK checks the entries, reads the controls into the copy and hands it back
// (ScanProfileControllerObjC::setBackParam); Cancel drops the copy.
//
// Destination controls (setupNetworkUI, on loading and after every change of kind or log-in
// method) are filled from the sub-record of the kind; text typed and not yet stored is replaced.
//   kind 0: address (szShareFolderUTF16), account, password and confirmation enabled;
//   kind 1: plus port, passive-mode radios and remote folder enabled;
//   kind 2: log-in radios, remote folder and the server-key pop-up enabled; password log-in
//           enables the password fields, public-key log-in the client-key pop-up.
//   other : every kind-dependent control disabled, the kind pop-up without a selection.
// The sub-records of the kinds not selected keep their contents, as does every field no control
// shows. A key pop-up offers the names of its list (one IDS_NE_NONE item for an empty list); a
// stored index beyond the items shows no selection. With SFTP the server-key choice is stored
// with either log-in method. A control the user did not change since it was last filled puts its
// field back as read (FilledValues.h, and FixedTextFields.h for the texts): a kind without an
// item, a passive-mode or log-in byte other than 0 and 1 (the nearer radio is shown), a key index
// beyond its list.
//
// Text fields (FixedTextFields.h): each edits a char[N] array of the kind shown and takes at most
// N-1 bytes of UTF-8; an edit beyond that is refused with the IDS_CM_TEXT_TOO_LONG alert (naming
// the field's label and its limit), never cut. Limits in bytes: name 31; address 319 for a
// network folder (szShareFolderUTF16), 127 for FTP and SFTP (szHost; also for a kind without an
// item, whose address is stored nowhere); account 63; password and confirmation 63; remote
// folder 255. A text the user did not change goes back byte for byte as it was read.
//
// Typing (by field and kind; a strip removes "&", ">" and "<"): name, account and remote folder
// strip; address: folder strip, FTP/SFTP the address check (Utilities::validateHostAddr, else
// the field goes back to lastHost); port: the leading digits only; then the byte limit.
// Margins: the scan-option editor's filter.
//
// OK, in order; the first that fails shows one alert and the window stays open:
//   1 a changed text among the enabled fields (those OK stores) holds more bytes than its array:
//     the IDS_CM_TEXT_TOO_LONG alert, focus in the field;
//   then, unless the controls read into the copy give the profile as it came (OK with nothing
//   changed hands it back as it came, whatever it holds), one warning alert (IDS_CM_WARNING) for:
//   2 the passwords (when enabled): Utilities::checkPassword;
//   3 the name is not empty (IDS_CANNOT_EMPTY_ERR_MSG with IDS_PS_PROFILE_NAME);
//   4 no enabled field among address, account, port, password, confirmation is empty, and an
//     enabled server-key pop-up does not show IDS_NE_NONE;
//   5 the port, when enabled, is a whole number 1..65535 (IDS_PF_PORT_RANGE_ERR_MSG);
//   each of 2 to 5 only for what counts: every entry of a new profile (one that came without a
//   name); else the entries the user changed, and those a change of the user's brings into use
//   (a kind chosen: its address, account, port, passwords and server key; an SFTP log-in method
//   chosen: its passwords and keys);
// then the copy is handed back.
//
// Scan options: a ScanOptionEditor without a module flag (continuous scan and the signed-PDF file
// types always offered), read back into sScan2Network on OK.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "); a refused OK logs no exit.

#include <QDialog>
#include <QStringList>
#include <cstdint>

#include "IO/FCLRecords.h"
#include "Views/FilledValues.h"
#include "Views/FixedTextFields.h"
#include "Views/PageTrace.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class ScanOptionEditor;
class ScanProfileControllerObjC;
class Utilities;

namespace platform {
class PopUpButton;
}

class ScanProfileSettingControllerObjC : public QDialog {
  Q_OBJECT

 public:
  explicit ScanProfileSettingControllerObjC(QWidget* parent = nullptr);
  ~ScanProfileSettingControllerObjC() override;

  // ---- Towards the list page -----------------------------------------------------------------------
  void setPreviousVC(ScanProfileControllerObjC* page) { previousVC = page; }
  // Copies the profile and keeps copies of the key lists, then loads the controls.
  void setParam(const FCL_RS_PROFILE* profile, const QStringList& clientList, const QStringList& serverList);
  // The editor's copy as it stands.
  const FCL_RS_PROFILE& scanProfileSetting() const { return m_profile; }
  const QString& lastHost() const { return m_lastHost; }

  // ---- Actions ------------------------------------------------------------------------------------------
  void OKBtnPressed();
  void CancelBtnPressed();
  void popupProfileTypeChanged();
  void radioPasswordPressed();
  void radioPublicKeyPressed();
  void radioPassiveOffPressed();
  void radioPassiveOnPressed();
  // The user changed the text of one of the seven destination fields.
  void controlTextDidChange(QLineEdit* field);

  struct Controls {
    QLabel* labelScanProfileSetting;
    QLineEdit* textProfileTitle;
    QLabel* labelProfileName;
    QLineEdit* textProfileName;
    QLabel* labelProfileType;
    platform::PopUpButton* popupProfileType;
    QLabel* labelHost;
    QLineEdit* textURI;
    QLabel* labelUsername;
    QLineEdit* textUserName;
    QLabel* labelPortNum;
    QLineEdit* textPortNum;
    QLabel* labelAuthMethod;
    QRadioButton* radioPassword;
    QRadioButton* radioPublicKey;
    QLabel* labelPassword;
    QLineEdit* textPassword;
    QLabel* labelPasswordConfirm;
    QLineEdit* textPasswordConfirm;
    QLabel* labelClientKeyPair;
    platform::PopUpButton* popupClientKeyPair;
    QLabel* labelServerPublicKey;
    platform::PopUpButton* popupServerPublicKey;
    QLabel* labelStoreDirectory;
    QLineEdit* textStoreDirectory;
    QLabel* labelPassiveMode;
    QRadioButton* radioPassiveOff;
    QRadioButton* radioPassiveOn;
    ScanOptionEditor* options;
    QPushButton* btnOK;
    QPushButton* btnCancel;
  };
  const Controls& controls() const { return m_ui; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void setupNetworkUI();
  void setNetworkAllDisable();
  void setShareFolderEnable();
  void setFTP_Enable();
  void setSFTP_Enable();
  void resetSFTPAuthMethod(bool password);
  void fillKeyPopup(platform::PopUpButton* popup, const QStringList& names, int index);
  // OK's first check: false (after the alert) when an enabled field's changed text does not fit.
  bool checkTextLengths();
  // True when OK checks `control` (see above).
  bool mustCheck(const QWidget* control) const;
  // OK's checks 2 to 5; false after the alert.
  bool checkEntries();
  bool checkName();
  bool isAnyTextFieldEmpty();
  bool checkPort();
  void applyNetworkData();
  void applyData();
  void warn(const QString& information);

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;

  Controls m_ui{};
  Utilities& ut;
  PageTrace m_trace;
  ScanProfileControllerObjC* previousVC = nullptr;
  FCL_RS_PROFILE m_profile{};
  FCL_RS_PROFILE m_read{};  // as setParam took it
  QStringList m_clientKeyList;
  QStringList m_serverKeyList;
  QString m_lastHost;
  // The six text fields: what setupNetworkUI / initUI showed, the typing limits in bytes.
  FixedTextFields m_texts;
  // What each control showed when it was last filled, and the field it edits.
  FilledValues m_filled;
  bool m_loaded = false;  // setParam ran: the scan-option editor holds the copy's options
};
