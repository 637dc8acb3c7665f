#pragma once
// The scan-to-USB page (view identifier "scan2USB", listed for both models): the scan options
// the scanner uses when it scans to USB memory, one FCL_RS_PARAM_SCANPROFILE record
// (sParamAll.sScan2USB), and on the USB-only model the secure-PDF password, which the scanner
// keeps in the general record (sParamAll.sGeneral.szSecurePDFPassword).
//
// The scan options are the scan-option editor's (ScanOptionEditor.h), with two differences: a
// file-size or resolution choice goes to the slot of the scan type the pop-up shows, and the
// scan-type handler does not store byScanType (reading back does).
//
// The password fields (password, confirmation, their labels and a note) are shown on the
// USB-only model while the file type shown is a secure PDF (items 3 and 4), and hidden
// otherwise. They are filled from the general record by setParam and whenever they go from
// hidden to shown; any other option update leaves what the user typed. The fields have no length
// limit of their own, so a stored password is shown whole; the typing filter takes digits only
// and refuses a keystroke (or paste) that would make a field longer than four characters.
//
// Contract:
//   setParam       copies both records and the module flag, fills the controls.
//   getParam       reads the controls back; hands back the scan record and the whole general
//                  record, byte for byte as it came apart from szSecurePDFPassword, which
//                  changes only when the password fields are shown and the user has typed a
//                  password other than the one shown (UTF-8, NUL-padded). Otherwise the stored
//                  bytes go back as read, also when they are no UTF-8 text.
//   isDataChanged  the scan record as the scan-to-e-mail page compares it, then the password
//                  bytes (up to their first NUL); no other field of the general record.
//   isDataError    0, or 999 after the password check's own alert (USB-only model only). The
//                  check runs only when the user typed into a password field since the fields
//                  were last filled; fields that merely appear (a file-type choice, say) with a
//                  stored password never block.
//   The password check (checkPassword): Utilities::checkPassword with a minimum of 4, and the
//   keyboard focus on the field at fault: empty password, then empty confirmation, then a
//   password shorter than 4 (the password field), then a mismatch (the confirmation field).

#include <cstdint>

#include "IO/FCLSettings.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"
#include "Views/ScanOptionEditor.h"

class QLabel;
class QLineEdit;
class Utilities;

class ScanToUSBControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit ScanToUSBControllerObjC(QWidget* parent = nullptr);
  ~ScanToUSBControllerObjC() override;

  // ---- Page contract (sParamAll.sScan2USB, sParamAll.sGeneral, bIsB) -----------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  // With the secure-PDF password rows shown.
  QSize neededSize() override;
  int32_t isDataError() override;
  // What was written becomes what the controls the user leaves alone stand for.
  void saveAccepted() override;

  // ---- The same on the records themselves -------------------------------------------------
  void setParam(const FCL_RS_PARAM_SCANPROFILE& scan2USB, const FCL_RS_PARAM_GENERAL& general, bool isB);
  void getParam(FCL_RS_PARAM_SCANPROFILE& scan2USB, FCL_RS_PARAM_GENERAL& general);
  bool isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2USB, const FCL_RS_PARAM_GENERAL& general);

  // Shows or hides the password fields (and fills them when they appear).
  void chkDisplayPassword();
  // YES when the password fields are hidden or hold an acceptable password; otherwise the
  // alert, the focus on the field at fault, and NO.
  bool checkPassword();

  // The password's most characters as typed (the scanner's field holds a PIN of four digits).
  static constexpr int kPasswordLength = 4;
  // What a password field keeps after an edit turned `previous` into `edited`: `previous` when the
  // edit would leave more than four characters without shortening the text, else the digits of
  // `edited`.
  static QString passwordFilter(const QString& previous, const QString& edited);

  struct PasswordControls {
    QLabel* textPassword;
    QLineEdit* securePassword;
    QLabel* textRetypePassword;
    QLineEdit* secureRetypePassword;
    QLabel* label00009999;
  };
  // For tests and screenshots.
  QLabel* labelScanToUSB() const { return m_title; }
  ScanOptionEditor* editor() const { return m_editor; }
  const PasswordControls& passwordControls() const { return m_pw; }
  bool passwordShown() const { return m_passwordShown; }
  const FCL_RS_PARAM_SCANPROFILE& scan2USB() const { return m_editor->copy(); }
  const FCL_RS_PARAM_GENERAL& general() const { return m_general; }

 private:
  void applyData();
  void passwordEdited(QLineEdit* field);
  // Puts the stored password into both fields; nothing typed since.
  void fillPassword();
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;

  Utilities& ut;
  PageTrace m_trace;
  QLabel* m_title = nullptr;
  ScanOptionEditor* m_editor = nullptr;
  PasswordControls m_pw{};
  FCL_RS_PARAM_GENERAL m_general{};
  bool m_isB = false;
  // Whether the password fields are shown (kept here: the page itself may not be on screen).
  bool m_passwordShown = false;
  // The password text the fields were last filled with from the general record.
  QString m_filledPassword;
  // Each field's text after its last accepted edit or fill: what a refused keystroke leaves.
  QString m_passwordText;
  QString m_retypeText;
  // The user typed into a password field since the fields were last filled.
  bool m_passwordTyped = false;
};
