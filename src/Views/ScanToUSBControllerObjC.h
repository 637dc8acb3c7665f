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
// hidden to shown; any other option update leaves what the user typed. The fields take digits
// only, at most four: a fifth character is refused, anything but a digit is removed again.
//
// Contract:
//   setParam       copies both records and the module flag, fills the controls.
//   getParam       reads the controls back; hands back the scan record and the whole general
//                  record, byte for byte as it came apart from szSecurePDFPassword, which
//                  changes only when the password fields are shown and the user has changed
//                  the password text (UTF-8, NUL-padded).
//   isDataChanged  the scan record as the scan-to-e-mail page compares it, then the password as
//                  text (up to its first NUL); no other field of the general record.
//   isDataError    0, or 999 after the password check's own alert (USB-only model only). The
//                  check runs only when the user changed something the password depends on in
//                  this visit of the page: typed into a password field, or made the fields
//                  appear by a choice of file type, scan type, document size or resolution. A
//                  stored password the page merely shows never blocks.
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

  // ---- The same on the records themselves -------------------------------------------------
  void setParam(const FCL_RS_PARAM_SCANPROFILE& scan2USB, const FCL_RS_PARAM_GENERAL& general, bool isB);
  void getParam(FCL_RS_PARAM_SCANPROFILE& scan2USB, FCL_RS_PARAM_GENERAL& general);
  bool isDataChanged(const FCL_RS_PARAM_SCANPROFILE& scan2USB, const FCL_RS_PARAM_GENERAL& general);

  // Shows or hides the password fields (and fills them when they appear).
  void chkDisplayPassword();
  // YES when the password fields are hidden or hold an acceptable password; otherwise the
  // alert, the focus on the field at fault, and NO.
  bool checkPassword();

  // The password's most characters (the scanner's field holds a PIN of four digits).
  static constexpr int kPasswordLength = 4;
  // What a password field keeps of `text`: its digits, at most the first four.
  static QString passwordFilter(const QString& text);

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
  const FCL_RS_PARAM_SCANPROFILE& scan2USB() const { return m_editor->record(); }
  const FCL_RS_PARAM_GENERAL& general() const { return m_general; }

 private:
  void applyData();
  void passwordEdited(QLineEdit* field);
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
  // In this visit: the user typed into a password field, or a choice of the user's made the
  // fields appear.
  bool m_passwordTouched = false;
  // Set while setParam loads the controls, so that the fields appearing then count as shown
  // from the record, not by the user.
  bool m_loading = false;
};
