#include "Views/NetworkEmailControllerObjC.h"
#include "Views/PageLayout.h"

#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

QString op(const char* selector) { return PageTrace::operationName("NetworkEmailControllerObjC", selector); }

// The numbers the record's fields hold: a port the scanner can use, the maximum size's byte.
constexpr int kPortMin = 1;
constexpr int kPortMax = 0xFFFF;
constexpr int kMaxSizeStoredMin = 0;
constexpr int kMaxSizeStoredMax = 0xFF;

// ---- Pop-up items (titles by index) ---------------------------------------------------------------
const char* const kAuthKeys[] = {"IDS_NE_NONE", "IDS_NE_SMTP_AUTH"};
const char* const kSecureKeys[] = {"IDS_NE_NONE", "IDS_NE_SSL", "IDS_NE_TLS"};
const char* const kOffOnKeys[] = {"IDS_GS_OFF", "IDS_GS_ON"};
constexpr int kAuthSMTP = 1;
constexpr int kSecureSSL = 1;    // hidden
constexpr int kVerifyOn = 1;     // hidden
constexpr int kSizeLimitOn = 1;

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent) { return pagelayout::plainLabel(parent); }

QLineEdit* makeField(QWidget* parent, int width) {
  auto* field = new QLineEdit(parent);
  field->setFixedWidth(width);
  return field;
}

platform::PopUpButton* makePopUp(QWidget* parent, int items) {
  auto* popup = new platform::PopUpButton(parent);
  for (int i = 0; i < items; ++i) popup->addItem(QString());
  return popup;
}

QFormLayout* makeForm(QGroupBox* group) {
  auto* form = new QFormLayout(group);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->setVerticalSpacing(5);
  return form;
}

// A pop-up index into an 8-bit field; without a selection the field keeps what was stored.
void storeItem(const platform::PopUpButton* popup, uint8_t& field) {
  if (const int i = popup->indexOfSelectedItem(); i >= 0) field = static_cast<uint8_t>(i);
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

NetworkEmailControllerObjC::NetworkEmailControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kEmailServerView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  buildLayout();
  initLocalizedString();
  // The text fields and the arrays they edit; the alert for a text too long names the label.
  m_texts.add(m_ui.textMailAddress, sizeof email.szDeviceMailAddress, "IDS_NE_MAIL_ADDRESS");
  m_texts.add(m_ui.textServer, sizeof email.szSMTPServerName, "IDS_NE_SERVER");
  m_texts.add(m_ui.textAccount, sizeof email.szSMTPAuthAccount, "IDS_NE_ACCOUNT");
  m_texts.add(m_ui.textPassword, sizeof email.szSMTPAuthPassword, "IDS_PF_PASSWORD");
  m_texts.add(m_ui.textRetype, sizeof email.szSMTPAuthPassword, "IDS_PF_RETYPE_PASSWORD");
  m_texts.add(m_ui.textSubject, sizeof email.szSenderSubject, "IDS_NE_SENDER_SUBJECT");
  m_texts.add(m_ui.textMessage, sizeof email.szSenderMessage, "IDS_NE_SENDER_MESSAGE");
  // The page filters the user's typing in its nine text fields; textEdited is the user's typing
  // only, so filling the fields from the record never runs a filter.
  for (QLineEdit* field : {m_ui.textMailAddress, m_ui.textServer, m_ui.textPort, m_ui.textAccount, m_ui.textPassword,
                           m_ui.textRetype, m_ui.textSubject, m_ui.textMessage, m_ui.textMaxSize})
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  connect(m_ui.popupAuth, &platform::PopUpButton::activated, this, &NetworkEmailControllerObjC::isSMTPPopUpChange);
  connect(m_ui.popupSizeLimit, &platform::PopUpButton::activated, this,
          &NetworkEmailControllerObjC::isSizeLimitPopUpChanged);
  connect(m_ui.stepperMaxSize, &platform::Stepper::activated, this, &NetworkEmailControllerObjC::maxSizeStepperClicked);
  funcEnd(name);
}

NetworkEmailControllerObjC::~NetworkEmailControllerObjC() = default;

void NetworkEmailControllerObjC::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 8);
  QWidget* content = page->parentWidget();

  m_ui.labelTitle = pagelayout::titleLabel(content);
  page->addWidget(m_ui.labelTitle);

  constexpr int kWide = 300;
  constexpr int kNarrow = 64;

  // SMTP: the scanner's address, the server, authentication and the secure connection.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupSMTP"));
    m_ui.groupSMTP = group;
    QFormLayout* form = makeForm(group);
    m_ui.labelMailAddress = makeLabel(group);
    m_ui.textMailAddress = makeField(group, kWide);
    form->addRow(m_ui.labelMailAddress, m_ui.textMailAddress);
    m_ui.labelServer = makeLabel(group);
    m_ui.textServer = makeField(group, kWide);
    form->addRow(m_ui.labelServer, m_ui.textServer);
    m_ui.labelPort = makeLabel(group);
    m_ui.textPort = makeField(group, kNarrow);
    m_ui.textPort->setAlignment(Qt::AlignRight);
    form->addRow(m_ui.labelPort, m_ui.textPort);
    m_ui.labelAuth = makeLabel(group);
    m_ui.popupAuth = makePopUp(group, int(std::size(kAuthKeys)));
    form->addRow(m_ui.labelAuth, m_ui.popupAuth);
    m_ui.labelAccount = makeLabel(group);
    m_ui.textAccount = makeField(group, kWide);
    form->addRow(m_ui.labelAccount, m_ui.textAccount);
    m_ui.labelPassword = makeLabel(group);
    m_ui.textPassword = makeField(group, kWide);
    m_ui.textPassword->setEchoMode(QLineEdit::Password);
    form->addRow(m_ui.labelPassword, m_ui.textPassword);
    m_ui.labelRetype = makeLabel(group);
    m_ui.textRetype = makeField(group, kWide);
    m_ui.textRetype->setEchoMode(QLineEdit::Password);
    form->addRow(m_ui.labelRetype, m_ui.textRetype);
    m_ui.labelSecure = makeLabel(group);
    m_ui.popupSecure = makePopUp(group, int(std::size(kSecureKeys)));
    form->addRow(m_ui.labelSecure, m_ui.popupSecure);
    m_ui.labelVerifyCert = makeLabel(group);
    m_ui.popupVerifyCert = makePopUp(group, int(std::size(kOffOnKeys)));
    form->addRow(m_ui.labelVerifyCert, m_ui.popupVerifyCert);
    page->addWidget(group);
  }

  // The mails the scanner sends: subject, message, size limit, notification.
  {
    auto* group = new QGroupBox(content);
    group->setObjectName(QStringLiteral("groupSending"));
    m_ui.groupSending = group;
    QFormLayout* form = makeForm(group);
    m_ui.labelSubject = makeLabel(group);
    m_ui.textSubject = makeField(group, kWide);
    form->addRow(m_ui.labelSubject, m_ui.textSubject);
    m_ui.labelMessage = makeLabel(group);
    m_ui.textMessage = makeField(group, kWide);
    form->addRow(m_ui.labelMessage, m_ui.textMessage);
    m_ui.labelSizeLimit = makeLabel(group);
    m_ui.popupSizeLimit = makePopUp(group, int(std::size(kOffOnKeys)));
    form->addRow(m_ui.labelSizeLimit, m_ui.popupSizeLimit);
    m_ui.labelMaxSize = makeLabel(group);
    auto* row = new QWidget(group);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(2);
    m_ui.textMaxSize = makeField(row, 48);
    m_ui.textMaxSize->setAlignment(Qt::AlignRight);
    m_ui.stepperMaxSize = new platform::Stepper(row);
    m_ui.stepperMaxSize->setRange(kMaxSizeMin, kMaxSizeMax);
    m_ui.stepperMaxSize->setIncrement(1);
    m_ui.stepperMaxSize->setFixedHeight(m_ui.textMaxSize->sizeHint().height());
    rowLayout->addWidget(m_ui.textMaxSize);
    rowLayout->addWidget(m_ui.stepperMaxSize);
    rowLayout->addStretch(1);
    form->addRow(m_ui.labelMaxSize, row);
    m_ui.labelNotification = makeLabel(group);
    m_ui.popupNotification = makePopUp(group, int(std::size(kOffOnKeys)));
    form->addRow(m_ui.labelNotification, m_ui.popupNotification);
    page->addWidget(group);
  }
  page->addStretch(1);

  // Items the scanner does not offer from this page: the layout hides them for good.
  m_ui.popupSecure->setItemHidden(kSecureSSL, true);
  m_ui.popupVerifyCert->setItemHidden(kVerifyOn, true);

}

void NetworkEmailControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelTitle->setText(localized("IDS_NE_EMAIL"));
  m_ui.groupSMTP->setTitle(QStringLiteral("SMTP"));
  m_ui.labelMailAddress->setText(pagelayout::labelText("IDS_NE_MAIL_ADDRESS"));
  m_ui.labelServer->setText(pagelayout::labelText("IDS_NE_SERVER"));
  m_ui.labelPort->setText(pagelayout::labelText("IDS_NE_PORT"));
  m_ui.labelAuth->setText(pagelayout::labelText("IDS_NE_AUTH_FOR_SMTP"));
  m_ui.labelAccount->setText(pagelayout::labelText("IDS_NE_ACCOUNT"));
  m_ui.labelPassword->setText(pagelayout::labelText("IDS_PF_PASSWORD"));
  m_ui.labelRetype->setText(pagelayout::labelText("IDS_PF_RETYPE_PASSWORD"));
  m_ui.labelSecure->setText(pagelayout::labelText("IDS_NE_TLS"));
  m_ui.labelVerifyCert->setText(pagelayout::labelText("IDS_NE_VERIFY_CERT"));
  m_ui.groupSending->setTitle(localized("IDS_NE_SETUP_MAIL_TX"));
  m_ui.labelSubject->setText(pagelayout::labelText("IDS_NE_SENDER_SUBJECT"));
  m_ui.labelMessage->setText(pagelayout::labelText("IDS_NE_SENDER_MESSAGE"));
  m_ui.labelSizeLimit->setText(pagelayout::labelText("IDS_NE_SIZE_LIMIT"));
  m_ui.labelMaxSize->setText(pagelayout::labelText("IDS_NE_MAXIMUM_SIZE"));
  m_ui.labelNotification->setText(pagelayout::labelText("IDS_NE_NOTIFICATION"));
  for (int i = 0; i < int(std::size(kAuthKeys)); ++i) m_ui.popupAuth->setItemTitle(i, localized(kAuthKeys[i]));
  for (int i = 0; i < int(std::size(kSecureKeys)); ++i) m_ui.popupSecure->setItemTitle(i, localized(kSecureKeys[i]));
  for (int i = 0; i < int(std::size(kOffOnKeys)); ++i) {
    m_ui.popupVerifyCert->setItemTitle(i, localized(kOffOnKeys[i]));
    m_ui.popupSizeLimit->setItemTitle(i, localized(kOffOnKeys[i]));
    m_ui.popupNotification->setItemTitle(i, localized(kOffOnKeys[i]));
  }
  funcEnd(name);
}

// ---- Contract ------------------------------------------------------------------------------------------

void NetworkEmailControllerObjC::setParam(const MainWindowState& state) { setParam(state.sParamAll.sEmail); }

bool NetworkEmailControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sEmail);
  return true;
}

bool NetworkEmailControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sEmail);
}

void NetworkEmailControllerObjC::setParam(const FCL_RS_PARAM_EMAIL& record) {
  const QString name = op("setParam:");
  funcEnter(name);
  std::memcpy(&email, &record, sizeof email);
  initUI();
  m_filled.remember({m_ui.textMailAddress, m_ui.popupAuth, m_ui.textAccount, m_ui.textPassword, m_ui.textRetype,
                     m_ui.textPort, m_ui.popupSizeLimit, m_ui.textMaxSize});
  funcEnd(name);
}

void NetworkEmailControllerObjC::getParam(FCL_RS_PARAM_EMAIL& record) {
  const QString name = op("getParam:");
  funcEnter(name);
  applyData();
  std::memcpy(&record, &email, sizeof email);
  funcEnd(name);
}

bool NetworkEmailControllerObjC::isDataChanged(const FCL_RS_PARAM_EMAIL& record) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  applyData();
  const int diff = std::memcmp(&email, &record, sizeof email);
  if (diff != 0) ut.debugMsg(kTraceLevel, QStringLiteral("Email Data is changed! %d"), diff);
  else ut.debugMsg(kTraceLevel, QStringLiteral("No data is changed!"));
  funcEnd(name);
  return diff != 0;
}

void NetworkEmailControllerObjC::focusField(QLineEdit* field) {
  field->setFocus();
  field->selectAll();
}

int32_t NetworkEmailControllerObjC::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  int32_t code = kPageErrorNone;
  // Only what the user changed since setParam is checked; a requirement that comes from a pop-up
  // (SMTP-AUTH, the size limit) applies when the user changed the field or that pop-up. So the
  // scanner's own values (an empty stored password with SMTP-AUTH on) never block.
  const bool authOn = m_ui.popupAuth->indexOfSelectedItem() == kAuthSMTP;
  const bool authChosen = m_filled.changed(m_ui.popupAuth);
  const bool checkAccount = authOn && (authChosen || m_filled.changed(m_ui.textAccount));
  const bool checkPasswords = authOn && (authChosen || m_filled.anyChanged({m_ui.textPassword, m_ui.textRetype}));
  const bool checkMaxSize = m_ui.popupSizeLimit->indexOfSelectedItem() == kSizeLimitOn &&
                            m_filled.anyChanged({m_ui.popupSizeLimit, m_ui.textMaxSize});
  if (m_texts.refuseTooLong()) {
    // A changed text that its array cannot hold (the alert is shown, the focus is in the field).
    code = kPageErrorShown;
    funcErr(name, QStringLiteral("a text is longer than its field holds"));
  } else if (m_filled.changed(m_ui.textMailAddress) && !Utilities::validateEmail(m_ui.textMailAddress->text())) {
    code = kPageErrorMailFormat;
    funcErr(name, QStringLiteral("the mail address is malformed"));
  } else if (checkAccount && m_ui.textAccount->text().isEmpty()) {
    ut.message(localized("IDS_CM_WARNING"), emptyFieldText(localized("IDS_NE_ACCOUNT")), false);
    m_ui.textAccount->setFocus();
    code = kPageErrorShown;
    funcErr(name, QStringLiteral("the account is empty"));
  } else if (checkPasswords && !ut.checkPassword(m_ui.textPassword->text(), m_ui.textRetype->text(), 0)) {
    m_ui.textRetype->setFocus();
    code = kPageErrorShown;
    funcErr(name, QStringLiteral("the password check failed"));
  } else if (m_filled.changed(m_ui.textPort) && !platform::isDigitsInRange(m_ui.textPort->text(), kPortMin, kPortMax)) {
    // A port the scanner cannot use, or one whose low 16 bits would be another port.
    focusField(m_ui.textPort);
    setFailedField(localized("IDS_NE_PORT"), rangeText(kPortMin, kPortMax));
    code = kPageErrorOutOfRange;
    funcErr(name, QStringLiteral("the port is out of range"));
  } else if (checkMaxSize && !platform::isDigitsInRange(m_ui.textMaxSize->text(), kMaxSizeStoredMin, kMaxSizeStoredMax)) {
    focusField(m_ui.textMaxSize);
    setFailedField(localized("IDS_NE_MAXIMUM_SIZE"), rangeText(kMaxSizeStoredMin, kMaxSizeStoredMax));
    code = kPageErrorOutOfRange;
    funcErr(name, QStringLiteral("the maximum size is out of range"));
  }
  funcEnd(name);
  return code;
}

// ---- Filling and reading the controls ----------------------------------------------------------------------

void NetworkEmailControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  // A stored value outside the items shows no selection; a hidden item still shows.
  m_ui.popupAuth->selectItem(email.bySMTPAuthentication);
  m_ui.popupSecure->selectItem(email.bySMTPSecureConnection);
  m_ui.popupVerifyCert->selectItem(email.bySMTPVerifyCertificate);
  m_ui.popupSizeLimit->selectItem(email.byMailSizeLimit);
  m_ui.popupNotification->selectItem(email.byMailNotification);
  m_ui.popupSecure->setItemHidden(kSecureSSL, true);
  m_ui.popupVerifyCert->setItemHidden(kVerifyOn, true);

  m_texts.show(m_ui.textMailAddress, email.szDeviceMailAddress);
  m_texts.show(m_ui.textServer, email.szSMTPServerName);
  m_texts.show(m_ui.textAccount, email.szSMTPAuthAccount);
  m_texts.show(m_ui.textPassword, email.szSMTPAuthPassword);
  m_texts.show(m_ui.textRetype, email.szSMTPAuthPassword);  // shown, never stored
  m_texts.show(m_ui.textMessage, email.szSenderMessage);
  m_texts.show(m_ui.textSubject, email.szSenderSubject);
  m_ui.textPort->setText(QString::number(email.wSMTPPort));
  m_ui.textMaxSize->setText(QString::number(email.byMailMaximumSize));
  m_ui.stepperMaxSize->setValue(email.byMailMaximumSize);

  updateSMTP_AUTH();
  updateMaxSizeEnable();
  funcEnd(name);
}

void NetworkEmailControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  storeItem(m_ui.popupAuth, email.bySMTPAuthentication);
  storeItem(m_ui.popupSecure, email.bySMTPSecureConnection);
  storeItem(m_ui.popupVerifyCert, email.bySMTPVerifyCertificate);
  storeItem(m_ui.popupSizeLimit, email.byMailSizeLimit);
  storeItem(m_ui.popupNotification, email.byMailNotification);

  m_texts.store(m_ui.textMailAddress, email.szDeviceMailAddress);
  m_texts.store(m_ui.textServer, email.szSMTPServerName);

  // Only digits that fit the field are stored; anything else keeps the stored port (the error
  // check refuses it first), so the record never holds another number than the field shows.
  if (m_ui.textPort->text().isEmpty()) m_ui.textPort->setText(QStringLiteral("0"));
  if (platform::isDigitsInRange(m_ui.textPort->text(), 0, kPortMax))
    email.wSMTPPort = static_cast<uint16_t>(platform::intValue(m_ui.textPort->text()));

  m_texts.store(m_ui.textAccount, email.szSMTPAuthAccount);
  m_texts.store(m_ui.textPassword, email.szSMTPAuthPassword);
  m_texts.store(m_ui.textSubject, email.szSenderSubject);
  m_texts.store(m_ui.textMessage, email.szSenderMessage);

  if (m_ui.textMaxSize->text().isEmpty()) {
    m_ui.textMaxSize->setText(QString::number(kMaxSizeDefault));
    m_ui.stepperMaxSize->setValue(kMaxSizeDefault);
  }
  if (platform::isDigitsInRange(m_ui.textMaxSize->text(), kMaxSizeStoredMin, kMaxSizeStoredMax))
    email.byMailMaximumSize = static_cast<uint8_t>(platform::intValue(m_ui.textMaxSize->text()));
  funcEnd(name);
}

void NetworkEmailControllerObjC::updateSMTP_AUTH() {
  const QString name = op("updateSMTP_AUTH");
  funcEnter(name);
  const bool on = m_ui.popupAuth->indexOfSelectedItem() == kAuthSMTP;
  for (QLineEdit* field : {m_ui.textAccount, m_ui.textPassword, m_ui.textRetype}) field->setEnabled(on);
  funcEnd(name);
}

void NetworkEmailControllerObjC::updateMaxSizeEnable() {
  const QString name = op("updateMaxSizeEnable");
  funcEnter(name);
  const bool on = m_ui.popupSizeLimit->indexOfSelectedItem() == kSizeLimitOn;
  m_ui.textMaxSize->setEnabled(on);
  m_ui.stepperMaxSize->setEnabled(on);
  funcEnd(name);
}

void NetworkEmailControllerObjC::isSMTPPopUpChange() {
  const QString name = op("isSMTPPopUpChange:");
  funcEnter(name);
  updateSMTP_AUTH();
  funcEnd(name);
}

void NetworkEmailControllerObjC::isSizeLimitPopUpChanged() {
  const QString name = op("isSizeLimitPopUpChanged:");
  funcEnter(name);
  updateMaxSizeEnable();
  funcEnd(name);
}

void NetworkEmailControllerObjC::maxSizeStepperClicked(double value) {
  m_ui.textMaxSize->setText(QString::number(static_cast<int>(value)));
}

// ---- Typing ------------------------------------------------------------------------------------------------------

void NetworkEmailControllerObjC::controlTextDidChange(QLineEdit* field) {
  const QString name = op("controlTextDidChange:");
  funcEnter(name);
  if (field == m_ui.textPort || field == m_ui.textMaxSize) {
    // Digits only, wherever they are typed; the cursor stays after what the user typed.
    const QString text = field->text();
    const QString digits = platform::digitsOnly(text);
    if (digits != text) {
      const int cursor = int(platform::digitsOnly(text.left(field->cursorPosition())).size());
      field->setText(digits);
      field->setCursorPosition(cursor);
    }
    if (field == m_ui.textMaxSize) m_ui.stepperMaxSize->setValue(platform::intValue(field->text()));
    funcEnd(name);
    return;
  }
  // Mail address, server and account lose "&", ">" and "<"; the filter runs on the text before
  // the cursor as well, to keep the cursor where the user was typing.
  if (field == m_ui.textMailAddress || field == m_ui.textServer || field == m_ui.textAccount) {
    const QString text = field->text();
    const QString stripped = Utilities::stripRemoveSpecialWordFrom(text);
    if (stripped != text) {
      const int kept = int(Utilities::stripRemoveSpecialWordFrom(text.left(field->cursorPosition())).size());
      field->setText(stripped);
      field->setCursorPosition(std::min(kept, int(stripped.size())));
    }
  }
  // Then the limit of the field's array, in bytes: an edit beyond it is refused with an alert.
  m_texts.acceptTyping(field);
  funcEnd(name);
}

// ---- Trace -----------------------------------------------------------------------------------------------------------

void NetworkEmailControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void NetworkEmailControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void NetworkEmailControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
