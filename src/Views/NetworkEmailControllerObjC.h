#pragma once
// The e-mail server page (view identifier "networkEmail"): the scanner's outgoing-mail settings,
// the record FCL_RS_PARAM_EMAIL (sParamAll.sEmail).
//
// The page follows the page contract (PageController.h). setParam copies the record into the
// page and fills the controls; isDataChanged and getParam first apply the controls to that copy
// (applyData); getParam then hands the record back. The page talks to no scanner.
//
//   control                          record field              typing
//   -------------------------------  ------------------------  -----------------------------------
//   mail-address field               szDeviceMailAddress       127 bytes; "&", ">", "<" removed
//   server field                     szSMTPServerName          63 bytes; "&", ">", "<" removed
//   port field                       wSMTPPort                 digits only, wherever typed
//   authentication pop-up            bySMTPAuthentication      0 none, 1 SMTP-AUTH
//   account field                    szSMTPAuthAccount         63 bytes; "&", ">", "<" removed
//   password field                   szSMTPAuthPassword        63 bytes (also stored with auth off)
//   retype field (not stored)        -                         63 bytes; refilled with the password
//   secure-connection pop-up         bySMTPSecureConnection    0 none, 1 SSL (hidden), 2 TLS
//   verify-certificate pop-up        bySMTPVerifyCertificate   0 off, 1 on (hidden)
//   sender-subject field             szSenderSubject           255 bytes
//   sender-message field             szSenderMessage           255 bytes
//   size-limit pop-up                byMailSizeLimit           0 off, 1 on
//   maximum-size field + stepper     byMailMaximumSize         digits only; the stepper follows
//   notification pop-up              byMailNotification        0 off, 1 on
//
// The text fields are FixedTextFields (FixedTextFields.h): the limits count the UTF-8 bytes of
// the field's array; an edit beyond one is refused with the IDS_CM_TEXT_TOO_LONG alert, never cut.
//
// A hidden pop-up item still shows when the record holds it, and saving writes it back. A stored
// value that no item stands for shows no selection and is kept until the user picks an item.
// Account, password and retype are enabled only with SMTP-AUTH chosen; the maximum size only
// with the size limit on. A stepper click puts the stepper's value into the maximum-size field.
//
// Reading the controls: the texts go into their arrays as UTF-8 (a text the user did not edit
// keeps its stored bytes, whatever they are; a text that does not fit leaves the array as it is,
// the error check refuses it first); an empty or zero port becomes "0" in its field; an empty
// maximum size becomes "5". A port or maximum size that is not digits fitting its field leaves
// the field as stored (the error check refuses it first), so the record never holds another
// number than the field shows.
//
// Error check (isDataError), the first failing test decides:
//   1. a text the user changed holds more bytes than its array (FixedTextFields::refuseTooLong):
//      the IDS_CM_TEXT_TOO_LONG alert naming the field's label and its limit, focus on it, 999;
//   2. the mail address fails Utilities::validateEmail (empty passes): 3, no alert;
//   3. with SMTP-AUTH chosen only: an empty account gives the IDS_CANNOT_EMPTY_ERR_MSG alert
//      naming IDS_NE_ACCOUNT, focus on the account, 999; Utilities::checkPassword(password,
//      retype, 0) failing (it shows its own alert) puts the focus on the retype field, 999;
//   4. a port that is not 1 to 65535 in digits, or (size limit on) a maximum size that is not
//      0 to 255 in digits: focus on the field, 2 (the main window's IDS_CM_ERROR /
//      IDS_OUT_OF_RANGE_ERR_MSG alert).
// Each test runs only on what the user changed since setParam (FilledValues.h): the mail
// address, port and maximum size when their field changed; the account when it or the
// authentication pop-up changed; the passwords when the password or retype field or the
// authentication pop-up changed; the maximum size also when the size-limit pop-up changed. So a
// stored record the tests would refuse (SMTP-AUTH on with an empty password) never blocks
// leaving or saving the page, and is saved as stored.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QString>
#include <cstdint>

#include "IO/FCLRecords.h"
#include "Views/FilledValues.h"
#include "Views/FixedTextFields.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class Utilities;

namespace platform {
class PopUpButton;
class Stepper;
}  // namespace platform

class NetworkEmailControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit NetworkEmailControllerObjC(QWidget* parent = nullptr);
  ~NetworkEmailControllerObjC() override;

  // ---- Page contract (sParamAll.sEmail of MainWindowState) -------------------------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;

  // ---- The same on the record itself ------------------------------------------------------------
  void setParam(const FCL_RS_PARAM_EMAIL& record);
  void getParam(FCL_RS_PARAM_EMAIL& record);
  // True when the controls, applied to the page's copy, differ from `record`.
  bool isDataChanged(const FCL_RS_PARAM_EMAIL& record);

  // ---- The controls (for tests and screenshots) ----------------------------------------------------
  struct Controls {
    QLabel* labelTitle;
    // SMTP
    QGroupBox* groupSMTP;
    QLabel* labelMailAddress;
    QLineEdit* textMailAddress;
    QLabel* labelServer;
    QLineEdit* textServer;
    QLabel* labelPort;
    QLineEdit* textPort;
    QLabel* labelAuth;
    platform::PopUpButton* popupAuth;
    QLabel* labelAccount;
    QLineEdit* textAccount;
    QLabel* labelPassword;
    QLineEdit* textPassword;
    QLabel* labelRetype;
    QLineEdit* textRetype;
    QLabel* labelSecure;
    platform::PopUpButton* popupSecure;
    QLabel* labelVerifyCert;
    platform::PopUpButton* popupVerifyCert;
    // sending
    QGroupBox* groupSending;
    QLabel* labelSubject;
    QLineEdit* textSubject;
    QLabel* labelMessage;
    QLineEdit* textMessage;
    QLabel* labelSizeLimit;
    platform::PopUpButton* popupSizeLimit;
    QLabel* labelMaxSize;
    QLineEdit* textMaxSize;
    platform::Stepper* stepperMaxSize;
    QLabel* labelNotification;
    platform::PopUpButton* popupNotification;
  };
  const Controls& controls() const { return m_ui; }

  // The maximum size's stepper, and what an empty field becomes.
  static constexpr int kMaxSizeMin = 1;
  static constexpr int kMaxSizeMax = 255;
  static constexpr int kMaxSizeDefault = 5;

 private slots:
  void controlTextDidChange(QLineEdit* field);
  void isSMTPPopUpChange();
  void isSizeLimitPopUpChanged();
  void maxSizeStepperClicked(double value);

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void applyData();
  void updateSMTP_AUTH();
  void updateMaxSizeEnable();
  // Puts the keyboard focus into `field`, its text selected.
  void focusField(QLineEdit* field);

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Controls m_ui{};
  FCL_RS_PARAM_EMAIL email{};
  Utilities& ut;
  // The seven text fields (retype included): what initUI showed, the typing limits in bytes.
  FixedTextFields m_texts;
  // The checked controls as setParam filled them.
  FilledValues m_filled;
  PageTrace m_trace;
};
