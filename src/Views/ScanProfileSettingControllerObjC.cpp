#include "Views/ScanProfileSettingControllerObjC.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "Model/Utilities.h"
#include "Views/PageLayout.h"
#include "Views/ScanOptionEditor.h"
#include "Views/ScanProfileControllerObjC.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr const char* kClassName = "ScanProfileSettingControllerObjC";
constexpr int kKindFolder = 0, kKindFtp = 1, kKindSftp = 2, kKinds = 3;
constexpr int kPortMax = 65535;

QString op(const char* selector) {
  return PageTrace::operationName(kClassName, selector);
}

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

// The leading run of digits of `text`.
QString leadingDigits(const QString& text) {
  int n = 0;
  while (n < text.size() && text.at(n) >= u'0' && text.at(n) <= u'9') ++n;
  return text.left(n);
}

ScanOptionPolicy profilePolicy() {
  ScanOptionPolicy policy;
  // No module flag here: continuous scan and signed PDF are always offered.
  policy.continuousScanFollowsModel = false;
  policy.signedPdfFollowsModel = false;
  policy.documentSizeAction = "popupDocumentSizeChanged:";
  return policy;
}

void enable(QWidget* control, QLabel* label, bool on) {
  control->setEnabled(on);
  if (label != nullptr) label->setEnabled(on);  // grey when off, black when on
}

QRadioButton* makeRadio(QWidget* parent) {
  auto* radio = new QRadioButton(parent);
  radio->setAutoExclusive(false);  // the actions set both radios of a pair themselves
  return radio;
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

ScanProfileSettingControllerObjC::ScanProfileSettingControllerObjC(QWidget* parent)
    : QDialog(parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  setObjectName(QString::fromLatin1("VID_SCAN_PROFILE_SETTING"));
  setModal(true);
  buildLayout();
  initLocalizedString();

  // The text fields and the arrays they edit (the same size in every kind, but the address:
  // setupNetworkUI adds it with the array of the kind shown).
  m_texts.add(m_ui.textProfileName, sizeof m_profile.szProfileName, "IDS_PS_PROFILE_NAME");
  m_texts.add(m_ui.textURI, sizeof m_profile.sFTPSetting.szHost, "IDS_PF_HOST_ADDRESS");
  m_texts.add(m_ui.textUserName, sizeof m_profile.sFTPSetting.szUsername, "IDS_PF_USER_NAME");
  m_texts.add(m_ui.textPassword, sizeof m_profile.sFTPSetting.szPassword, "IDS_PF_PASSWORD");
  m_texts.add(m_ui.textPasswordConfirm, sizeof m_profile.sFTPSetting.szPassword, "IDS_PF_RETYPE_PASSWORD");
  m_texts.add(m_ui.textStoreDirectory, sizeof m_profile.sFTPSetting.szRemoteDirectoryUTF16, "IDS_PF_STORE_DIRECTORY");

  for (QLineEdit* field : {m_ui.textProfileName, m_ui.textURI, m_ui.textUserName, m_ui.textPortNum, m_ui.textPassword,
                           m_ui.textPasswordConfirm, m_ui.textStoreDirectory})
    connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  connect(m_ui.popupProfileType, &platform::PopUpButton::activated, this,
          &ScanProfileSettingControllerObjC::popupProfileTypeChanged);
  connect(m_ui.radioPassword, &QRadioButton::clicked, this, &ScanProfileSettingControllerObjC::radioPasswordPressed);
  connect(m_ui.radioPublicKey, &QRadioButton::clicked, this, &ScanProfileSettingControllerObjC::radioPublicKeyPressed);
  connect(m_ui.radioPassiveOff, &QRadioButton::clicked, this, &ScanProfileSettingControllerObjC::radioPassiveOffPressed);
  connect(m_ui.radioPassiveOn, &QRadioButton::clicked, this, &ScanProfileSettingControllerObjC::radioPassiveOnPressed);
  connect(m_ui.btnOK, &QPushButton::clicked, this, &ScanProfileSettingControllerObjC::OKBtnPressed);
  connect(m_ui.btnCancel, &QPushButton::clicked, this, &ScanProfileSettingControllerObjC::CancelBtnPressed);
  funcEnd(name);
}

ScanProfileSettingControllerObjC::~ScanProfileSettingControllerObjC() {
  for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
}

void ScanProfileSettingControllerObjC::buildLayout() {
  // The body scrolls (on a small screen or with large text the window is smaller than it); the
  // OK and Cancel row below it always shows.
  QVBoxLayout* outer = pagelayout::scrollingContent(this, 10);
  outer->setContentsMargins(16, 14, 16, 4);

  auto* heading = new QHBoxLayout;
  m_ui.labelScanProfileSetting = pagelayout::titleLabel(this);
  m_ui.textProfileTitle = new QLineEdit(this);
  m_ui.textProfileTitle->setReadOnly(true);
  m_ui.textProfileTitle->setFrame(false);
  m_ui.textProfileTitle->setFocusPolicy(Qt::NoFocus);
  m_ui.textProfileTitle->setFixedWidth(120);
  {
    // A field that reads as part of the heading.
    QPalette palette = m_ui.textProfileTitle->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    m_ui.textProfileTitle->setPalette(palette);
    QFont font = m_ui.labelScanProfileSetting->font();
    m_ui.textProfileTitle->setFont(font);
  }
  heading->addWidget(m_ui.labelScanProfileSetting);
  heading->addWidget(m_ui.textProfileTitle);
  heading->addStretch(1);
  outer->addLayout(heading);

  auto* columns = new QHBoxLayout;
  columns->setSpacing(24);
  outer->addLayout(columns);

  // The destination, on the left.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(5);
  int row = 0;
  auto label = [&]() {
    QLabel* l = pagelayout::plainLabel(this);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  auto addField = [&](QLabel*& l, QLineEdit*& field, int width, bool secret = false) {
    l = label();
    field = new QLineEdit(this);
    field->setFixedWidth(width);
    if (secret) field->setEchoMode(QLineEdit::Password);
    grid->addWidget(l, row, 0);
    grid->addWidget(field, row, 1, 1, 2, Qt::AlignLeft);
    ++row;
  };
  auto addPopup = [&](QLabel*& l, platform::PopUpButton*& popup) {
    l = label();
    popup = new platform::PopUpButton(this);
    popup->setMinimumWidth(220);
    grid->addWidget(l, row, 0);
    grid->addWidget(popup, row, 1, 1, 2, Qt::AlignLeft);
    ++row;
  };
  auto addRadios = [&](QLabel*& l, QRadioButton*& first, QRadioButton*& second) {
    l = label();
    first = makeRadio(this);
    second = makeRadio(this);
    grid->addWidget(l, row, 0);
    grid->addWidget(first, row, 1);
    grid->addWidget(second, row, 2);
    ++row;
  };
  addField(m_ui.labelProfileName, m_ui.textProfileName, 240);
  addPopup(m_ui.labelProfileType, m_ui.popupProfileType);
  for (int i = 0; i < kKinds; ++i) m_ui.popupProfileType->addItem(QString());
  addField(m_ui.labelHost, m_ui.textURI, 240);
  addField(m_ui.labelUsername, m_ui.textUserName, 240);
  addField(m_ui.labelPortNum, m_ui.textPortNum, 80);
  addRadios(m_ui.labelAuthMethod, m_ui.radioPassword, m_ui.radioPublicKey);
  addField(m_ui.labelPassword, m_ui.textPassword, 240, true);
  addField(m_ui.labelPasswordConfirm, m_ui.textPasswordConfirm, 240, true);
  addPopup(m_ui.labelClientKeyPair, m_ui.popupClientKeyPair);
  addPopup(m_ui.labelServerPublicKey, m_ui.popupServerPublicKey);
  addField(m_ui.labelStoreDirectory, m_ui.textStoreDirectory, 240);
  addRadios(m_ui.labelPassiveMode, m_ui.radioPassiveOff, m_ui.radioPassiveOn);
  grid->setRowStretch(row, 1);
  columns->addLayout(grid);

  // The scan options, on the right.
  m_ui.options = new ScanOptionEditor(QString::fromLatin1(kClassName), this, profilePolicy());
  columns->addWidget(m_ui.options, 0, Qt::AlignTop);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  m_ui.btnCancel = new QPushButton(this);
  m_ui.btnCancel->setAutoDefault(false);
  m_ui.btnCancel->setObjectName(QStringLiteral("btnCancel"));
  m_ui.btnOK = new QPushButton(this);
  m_ui.btnOK->setObjectName(QStringLiteral("btnOK"));
  m_ui.btnOK->setDefault(true);
  buttons->addWidget(m_ui.btnCancel);
  buttons->addWidget(m_ui.btnOK);
  buttons->setContentsMargins(16, 6, 16, 12);
  static_cast<QVBoxLayout*>(layout())->addLayout(buttons);
}

void ScanProfileSettingControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelScanProfileSetting->setText(localized("IDS_PS_PROFILE_SETTING"));
  m_ui.labelProfileName->setText(pagelayout::labelText("IDS_PS_PROFILE_NAME"));
  m_ui.labelProfileType->setText(pagelayout::labelText("IDS_PS_PROFILE_TYPE"));
  m_ui.labelHost->setText(pagelayout::labelText("IDS_PF_HOST_ADDRESS"));
  m_ui.labelUsername->setText(pagelayout::labelText("IDS_PF_USER_NAME"));
  m_ui.labelPortNum->setText(pagelayout::labelText("IDS_PF_PORT"));
  m_ui.labelAuthMethod->setText(pagelayout::labelText("IDS_PS_AUTH_METHOD"));
  m_ui.labelPassword->setText(pagelayout::labelText("IDS_PF_PASSWORD"));
  m_ui.labelPasswordConfirm->setText(pagelayout::labelText("IDS_PF_RETYPE_PASSWORD"));
  m_ui.labelClientKeyPair->setText(pagelayout::labelText("IDS_PS_CLIENT_KEY_PAIR"));
  m_ui.labelServerPublicKey->setText(pagelayout::labelText("IDS_PS_SERVER_PUBLIC_KEY"));
  m_ui.labelStoreDirectory->setText(pagelayout::labelText("IDS_PF_STORE_DIRECTORY"));
  m_ui.labelPassiveMode->setText(pagelayout::labelText("IDS_PF_PASSIVE_MODE"));
  m_ui.radioPassword->setText(localized("IDS_PF_PASSWORD"));
  m_ui.radioPublicKey->setText(localized("IDS_PS_SERVER_PUBLIC_KEY"));
  m_ui.radioPassiveOff->setText(localized("IDS_GS_OFF"));
  m_ui.radioPassiveOn->setText(localized("IDS_GS_ON"));
  m_ui.btnOK->setText(localized("IDS_RS_OK"));
  m_ui.btnCancel->setText(localized("IDS_RS_CANCEL"));
  m_ui.popupProfileType->setItemTitle(kKindFolder, localized("IDS_PN_PROFILE_TO_NETWORK_FOLDER"));
  m_ui.popupProfileType->setItemTitle(kKindFtp, localized("IDS_PF_PROFILE_TO_FTP"));
  m_ui.popupProfileType->setItemTitle(kKindSftp, localized("IDS_PS_PROFILE_TO_SFTP"));
  funcEnd(name);
}

// ---- Loading ------------------------------------------------------------------------------------------------

void ScanProfileSettingControllerObjC::setParam(const FCL_RS_PROFILE* profile, const QStringList& clientList,
                                                const QStringList& serverList) {
  const QString name = op("setParam:clientList:serverList:");
  funcEnter(name);
  if (profile != nullptr) std::memcpy(&m_profile, profile, sizeof m_profile);
  std::memcpy(&m_read, &m_profile, sizeof m_read);
  m_clientKeyList = clientList;
  m_serverKeyList = serverList;
  initUI();
  m_loaded = true;
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::showEvent(QShowEvent* event) {
  // ("viewDidAppear") The window keeps its size; the controls show the copy again.
  QDialog::showEvent(event);
  const QString name = op("viewDidAppear");
  funcEnter(name);
  pagelayout::fixEditorSize(this);
  if (m_loaded) {
    // The copy takes the option changes made so far (the fields left alone as read).
    m_ui.options->applyData();
    m_profile.sScan2Network = m_ui.options->record();
    initUI();
  }
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  const int32_t slot = previousVC != nullptr ? previousVC->nLastModifyID() : 0;
  const QString title = platform::formatText(QStringLiteral("%@ %d"), {localized("IDS_SP_PROFILE"), slot + 1});
  m_ui.textProfileTitle->setText(title);
  setWindowTitle(title);
  m_filled.clear();
  m_texts.show(m_ui.textProfileName, m_profile.szProfileName);
  m_filled.remember({m_ui.textProfileName});
  setupNetworkUI();
  // A kind the user did not choose goes back as read (also one the pop-up has no item for).
  m_filled.bind(m_profile.dwProfileType, {m_ui.popupProfileType});
  // The scan type and the other options (the editor selects the scan type first).
  m_ui.options->load(m_profile.sScan2Network, false);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::setNetworkAllDisable() {
  const QString name = op("setNetworkAllDisable");
  funcEnter(name);
  enable(m_ui.textPortNum, m_ui.labelPortNum, false);
  enable(m_ui.radioPassword, m_ui.labelAuthMethod, false);
  enable(m_ui.radioPublicKey, nullptr, false);
  enable(m_ui.textPassword, m_ui.labelPassword, false);
  enable(m_ui.textPasswordConfirm, m_ui.labelPasswordConfirm, false);
  enable(m_ui.popupClientKeyPair, m_ui.labelClientKeyPair, false);
  enable(m_ui.popupServerPublicKey, m_ui.labelServerPublicKey, false);
  enable(m_ui.textStoreDirectory, m_ui.labelStoreDirectory, false);
  enable(m_ui.radioPassiveOff, m_ui.labelPassiveMode, false);
  enable(m_ui.radioPassiveOn, nullptr, false);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::setShareFolderEnable() {
  const QString name = op("setShareFolderEnable");
  funcEnter(name);
  enable(m_ui.textURI, m_ui.labelHost, true);
  enable(m_ui.textUserName, m_ui.labelUsername, true);
  enable(m_ui.textPassword, m_ui.labelPassword, true);
  enable(m_ui.textPasswordConfirm, m_ui.labelPasswordConfirm, true);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::setFTP_Enable() {
  const QString name = op("setFTP_Enable");
  funcEnter(name);
  enable(m_ui.textPortNum, m_ui.labelPortNum, true);
  enable(m_ui.textPassword, m_ui.labelPassword, true);
  enable(m_ui.textPasswordConfirm, m_ui.labelPasswordConfirm, true);
  enable(m_ui.textStoreDirectory, m_ui.labelStoreDirectory, true);
  enable(m_ui.radioPassiveOff, m_ui.labelPassiveMode, true);
  enable(m_ui.radioPassiveOn, nullptr, true);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::setSFTP_Enable() {
  const QString name = op("setSFTP_Enable");
  funcEnter(name);
  enable(m_ui.radioPassword, m_ui.labelAuthMethod, true);
  enable(m_ui.radioPublicKey, nullptr, true);
  enable(m_ui.textStoreDirectory, m_ui.labelStoreDirectory, true);
  // The server's key matters with either log-in method.
  enable(m_ui.popupServerPublicKey, m_ui.labelServerPublicKey, true);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::fillKeyPopup(platform::PopUpButton* popup, const QStringList& names, int index) {
  popup->removeAllItems();
  if (names.isEmpty()) popup->addItem(localized("IDS_NE_NONE"));
  else popup->addItems(names);
  // A stored index the list has no item for shows no selection (and is stored as it was).
  popup->selectItem(index < popup->numberOfItems() ? index : -1);
}

void ScanProfileSettingControllerObjC::setupNetworkUI() {
  const QString name = op("setupNetworkUI");
  funcEnter(name);
  setNetworkAllDisable();
  const uint32_t kind = m_profile.dwProfileType;
  m_ui.popupProfileType->selectItem(kind < uint32_t(kKinds) ? int(kind) : -1);
  switch (kind) {
    case kKindFolder: {
      const FCL_RS_PROFILE_SHARE_FOLDER_SETTING& s = m_profile.sShareFolderSetting;
      setShareFolderEnable();
      m_texts.add(m_ui.textURI, sizeof s.szShareFolderUTF16, "IDS_PF_HOST_ADDRESS");
      m_texts.show(m_ui.textURI, s.szShareFolderUTF16);
      m_texts.show(m_ui.textUserName, s.szUsername);
      m_texts.show(m_ui.textPassword, s.szPassword);
      m_texts.show(m_ui.textPasswordConfirm, s.szPassword);
      break;
    }
    case kKindFtp: {
      FCL_RS_PROFILE_FTP_SETTING& s = m_profile.sFTPSetting;
      setFTP_Enable();
      m_texts.add(m_ui.textURI, sizeof s.szHost, "IDS_PF_HOST_ADDRESS");
      m_texts.show(m_ui.textURI, s.szHost);
      m_texts.show(m_ui.textUserName, s.szUsername);
      m_ui.textPortNum->setText(QString::number(s.wPort));
      m_texts.show(m_ui.textPassword, s.szPassword);
      m_texts.show(m_ui.textPasswordConfirm, s.szPassword);
      m_texts.show(m_ui.textStoreDirectory, s.szRemoteDirectoryUTF16);
      m_ui.radioPassiveOn->setChecked(s.byPassiveMode == 1);
      m_ui.radioPassiveOff->setChecked(s.byPassiveMode != 1);
      m_filled.bind(s.wPort, {m_ui.textPortNum});
      m_filled.bind(s.byPassiveMode, {m_ui.radioPassiveOn, m_ui.radioPassiveOff});
      break;
    }
    case kKindSftp: {
      FCL_RS_PROFILE_SFTP_SETTING& s = m_profile.sSFTPSetting;
      setSFTP_Enable();
      m_texts.add(m_ui.textURI, sizeof s.szHost, "IDS_PF_HOST_ADDRESS");
      m_texts.show(m_ui.textURI, s.szHost);
      m_texts.show(m_ui.textUserName, s.szUsername);
      m_texts.show(m_ui.textStoreDirectory, s.szRemoteDirectoryUTF16);
      fillKeyPopup(m_ui.popupServerPublicKey, m_serverKeyList, s.wSeverPublicKeyIndex);
      if (s.byAuthMethod == 1) {
        enable(m_ui.popupClientKeyPair, m_ui.labelClientKeyPair, true);
        m_ui.radioPassword->setChecked(false);
        m_ui.radioPublicKey->setChecked(true);
        fillKeyPopup(m_ui.popupClientKeyPair, m_clientKeyList, s.wClientKeyPairIndex);
        m_filled.bind(s.wClientKeyPairIndex, {m_ui.popupClientKeyPair});
      } else {
        enable(m_ui.textPassword, m_ui.labelPassword, true);
        enable(m_ui.textPasswordConfirm, m_ui.labelPasswordConfirm, true);
        m_ui.radioPassword->setChecked(true);
        m_ui.radioPublicKey->setChecked(false);
        m_texts.show(m_ui.textPassword, s.szPassword);
        m_texts.show(m_ui.textPasswordConfirm, s.szPassword);
      }
      m_filled.bind(s.wSeverPublicKeyIndex, {m_ui.popupServerPublicKey});
      m_filled.bind(s.byAuthMethod, {m_ui.radioPassword, m_ui.radioPublicKey});
      break;
    }
    default:
      // Every kind-dependent control stays disabled; the address is stored nowhere, and takes
      // what the smaller of its two arrays holds.
      m_texts.add(m_ui.textURI, sizeof m_profile.sFTPSetting.szHost, "IDS_PF_HOST_ADDRESS");
      break;
  }
  // What the fields show now is what OK's checks compare with.
  m_filled.remember({m_ui.textURI, m_ui.textUserName, m_ui.textPortNum, m_ui.textPassword, m_ui.textPasswordConfirm,
                     m_ui.textStoreDirectory, m_ui.popupServerPublicKey, m_ui.popupClientKeyPair});
  m_lastHost = m_ui.textURI->text();
  funcEnd(name);
}

// ---- Kind, log-in method, passive mode ------------------------------------------------------------------

void ScanProfileSettingControllerObjC::popupProfileTypeChanged() {
  const QString name = op("popupProfileTypeChanged:");
  funcEnter(name);
  if (const int kind = m_ui.popupProfileType->indexOfSelectedItem(); kind >= 0)
    m_profile.dwProfileType = uint32_t(kind);
  setupNetworkUI();
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::resetSFTPAuthMethod(bool password) {
  const QString name = op("resetSFTPAuthMethod:");
  funcEnter(name);
  m_profile.sSFTPSetting.byAuthMethod = password ? 0 : 1;
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::radioPasswordPressed() {
  const QString name = op("radioPasswordPressed:");
  funcEnter(name);
  m_ui.radioPassword->setChecked(true);
  resetSFTPAuthMethod(true);
  setupNetworkUI();
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::radioPublicKeyPressed() {
  const QString name = op("radioPublicKeyPressed:");
  funcEnter(name);
  m_ui.radioPassword->setChecked(false);
  resetSFTPAuthMethod(false);
  setupNetworkUI();
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::radioPassiveOffPressed() {
  const QString name = op("radioPassiveOffPressed:");
  funcEnter(name);
  m_ui.radioPassiveOff->setChecked(true);
  m_ui.radioPassiveOn->setChecked(false);
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::radioPassiveOnPressed() {
  const QString name = op("radioPassiveOnPressed:");
  funcEnter(name);
  m_ui.radioPassiveOn->setChecked(true);
  m_ui.radioPassiveOff->setChecked(false);
  funcEnd(name);
}

// ---- Typing -------------------------------------------------------------------------------------------------

void ScanProfileSettingControllerObjC::controlTextDidChange(QLineEdit* field) {
  const int kind = m_ui.popupProfileType->indexOfSelectedItem();
  const bool server = kind == kKindFtp || kind == kKindSftp;
  const QString typed = field->text();
  QString text = typed;
  if (field == m_ui.textProfileName || field == m_ui.textUserName || field == m_ui.textStoreDirectory) {
    text = Utilities::stripRemoveSpecialWordFrom(text);
  } else if (field == m_ui.textURI) {
    if (kind == kKindFolder) text = Utilities::stripRemoveSpecialWordFrom(text);
    // A refused server address puts back the last accepted one (the empty text is refused too).
    else if (server && !Utilities::validateHostAddr(text)) text = m_lastHost;
  } else if (field == m_ui.textPortNum) {
    text = leadingDigits(text);
  }
  if (text != typed) {
    const int cursor = std::min<int>(int(text.size()), field->cursorPosition());
    field->setText(text);
    field->setCursorPosition(cursor);
  }
  // Then the limit of the field's array, in bytes: an edit beyond it is refused with an alert
  // and the field goes back to its last accepted text.
  if (field != m_ui.textPortNum) m_texts.acceptTyping(field);
  if (field == m_ui.textURI && server) m_lastHost = field->text();
}

// ---- OK and Cancel --------------------------------------------------------------------------------------------

void ScanProfileSettingControllerObjC::warn(const QString& information) {
  ut.message(localized("IDS_CM_WARNING"), information, false);
}

bool ScanProfileSettingControllerObjC::mustCheck(const QWidget* control) const {
  if (m_read.szProfileName[0] == '\0') return true;  // a new profile: every entry
  if (m_filled.changed(control)) return true;
  const bool destination = control != m_ui.textProfileName;
  if (destination && m_filled.changed(m_ui.popupProfileType)) return true;  // a kind the user chose
  // A log-in method the user chose brings its password or keys into use.
  const bool sftp = m_ui.popupProfileType->indexOfSelectedItem() == kKindSftp;
  const bool passwordLogin = m_read.sSFTPSetting.byAuthMethod != 1;
  const bool loginChosen =
      sftp && m_read.dwProfileType == uint32_t(kKindSftp) && m_ui.radioPassword->isChecked() != passwordLogin;
  return loginChosen && (control == m_ui.textPassword || control == m_ui.textPasswordConfirm ||
                         control == m_ui.popupServerPublicKey || control == m_ui.popupClientKeyPair);
}

bool ScanProfileSettingControllerObjC::checkName() {
  const QString name = op("checkName");
  funcEnter(name);
  if (mustCheck(m_ui.textProfileName) && m_ui.textProfileName->text().isEmpty()) {
    const QString field = localized("IDS_PS_PROFILE_NAME");
    warn(platform::formatText(localized("IDS_CANNOT_EMPTY_ERR_MSG"), {field, field}));
    return false;
  }
  funcEnd(name);
  return true;
}

bool ScanProfileSettingControllerObjC::isAnyTextFieldEmpty() {
  const QString name = op("isAnyTextFieldEmpty");
  funcEnter(name);
  const struct {
    QLineEdit* field;
    const char* key;
  } fields[] = {{m_ui.textURI, "IDS_PF_HOST_ADDRESS"},
                {m_ui.textUserName, "IDS_PF_USER_NAME"},
                {m_ui.textPortNum, "IDS_PF_PORT"},
                {m_ui.textPassword, "IDS_PF_PASSWORD"},
                {m_ui.textPasswordConfirm, "IDS_PF_RETYPE_PASSWORD"}};
  const char* empty = nullptr;
  for (const auto& f : fields) {
    if (f.field->isEnabled() && mustCheck(f.field) && f.field->text().isEmpty()) {
      empty = f.key;
      break;
    }
  }
  if (empty == nullptr && m_ui.popupServerPublicKey->isEnabled() && mustCheck(m_ui.popupServerPublicKey) &&
      m_ui.popupServerPublicKey->titleOfSelectedItem() == localized("IDS_NE_NONE"))
    empty = "IDS_PS_SERVER_PUBLIC_KEY";
  if (empty != nullptr) {
    const QString field = localized(empty);
    warn(platform::formatText(localized("IDS_CANNOT_EMPTY_ERR_MSG"), {field, field}));
    return true;
  }
  funcEnd(name);
  return false;
}

bool ScanProfileSettingControllerObjC::checkPort() {
  const QString name = op("checkPort");
  funcEnter(name);
  if (m_ui.textPortNum->isEnabled() && mustCheck(m_ui.textPortNum)) {
    const QString text = m_ui.textPortNum->text();
    if (!platform::isDigitsInRange(text, 1, kPortMax)) {
      warn(localized("IDS_PF_PORT_RANGE_ERR_MSG"));
      m_ui.textPortNum->setFocus();
      return false;
    }
  }
  funcEnd(name);
  return true;
}

bool ScanProfileSettingControllerObjC::checkTextLengths() {
  const QString name = op("checkTextLengths");
  funcEnter(name);
  // What OK stores: the enabled fields (the name, address and account are never disabled; a
  // disabled password or folder is not stored, whatever it shows).
  QList<const QLineEdit*> stored;
  for (const QLineEdit* field : {m_ui.textProfileName, m_ui.textURI, m_ui.textUserName, m_ui.textPassword,
                                 m_ui.textPasswordConfirm, m_ui.textStoreDirectory})
    if (field->isEnabled()) stored.append(field);
  if (m_texts.refuseTooLong(stored)) return false;
  funcEnd(name);
  return true;
}

void ScanProfileSettingControllerObjC::applyNetworkData() {
  const QString name = op("applyNetworkData");
  funcEnter(name);
  FCL_RS_PROFILE& p = m_profile;
  m_texts.store(m_ui.textProfileName, p.szProfileName);
  // No kind selected (a stored kind the pop-up has no item for): the kind stays as stored.
  if (const int kind = m_ui.popupProfileType->indexOfSelectedItem(); kind >= 0) p.dwProfileType = uint32_t(kind);
  const bool passwordsEqual = m_ui.textPassword->text() == m_ui.textPasswordConfirm->text();
  switch (p.dwProfileType) {
    case kKindFolder: {
      FCL_RS_PROFILE_SHARE_FOLDER_SETTING& s = p.sShareFolderSetting;
      m_texts.store(m_ui.textURI, s.szShareFolderUTF16);
      m_texts.store(m_ui.textUserName, s.szUsername);
      if (passwordsEqual) m_texts.store(m_ui.textPassword, s.szPassword);
      break;
    }
    case kKindFtp: {
      FCL_RS_PROFILE_FTP_SETTING& s = p.sFTPSetting;
      m_texts.store(m_ui.textURI, s.szHost);
      m_texts.store(m_ui.textUserName, s.szUsername);
      // OK has checked the port: a whole number 1..65535.
      s.wPort = uint16_t(m_ui.textPortNum->text().toUInt());
      if (passwordsEqual) m_texts.store(m_ui.textPassword, s.szPassword);
      m_texts.store(m_ui.textStoreDirectory, s.szRemoteDirectoryUTF16);
      s.byPassiveMode = m_ui.radioPassiveOn->isChecked() ? 1 : 0;
      break;
    }
    case kKindSftp: {
      FCL_RS_PROFILE_SFTP_SETTING& s = p.sSFTPSetting;
      m_texts.store(m_ui.textURI, s.szHost);
      m_texts.store(m_ui.textUserName, s.szUsername);
      m_texts.store(m_ui.textStoreDirectory, s.szRemoteDirectoryUTF16);
      if (const int i = m_ui.popupServerPublicKey->indexOfSelectedItem(); i >= 0) s.wSeverPublicKeyIndex = uint16_t(i);
      if (m_ui.radioPassword->isChecked()) {
        s.byAuthMethod = 0;
        if (passwordsEqual) m_texts.store(m_ui.textPassword, s.szPassword);
      } else {
        s.byAuthMethod = 1;
        if (const int i = m_ui.popupClientKeyPair->indexOfSelectedItem(); i >= 0) s.wClientKeyPairIndex = uint16_t(i);
      }
      break;
    }
    default:
      break;
  }
  // What the user did not change goes back as read (a passive-mode byte other than 0 and 1, ...).
  m_filled.keepUntouched();
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  applyNetworkData();
  m_ui.options->applyData();
  m_profile.sScan2Network = m_ui.options->record();
  funcEnd(name);
}

void ScanProfileSettingControllerObjC::OKBtnPressed() {
  const QString name = op("OKBtnPressed:");
  funcEnter(name);
  if (!checkTextLengths()) return;
  // What OK would hand back. A profile the user did not change goes back as it came, whatever it
  // holds (an empty password, an unknown kind, ...): only what the user changed is checked.
  const FCL_RS_PROFILE before = m_profile;
  applyData();
  if (std::memcmp(&m_profile, &m_read, sizeof m_profile) != 0 && !checkEntries()) {
    m_profile = before;
    return;
  }
  if (previousVC != nullptr) previousVC->setBackParam(&m_profile);
  funcEnd(name);
  accept();
}

bool ScanProfileSettingControllerObjC::checkEntries() {
  if (m_ui.textPassword->isEnabled() && (mustCheck(m_ui.textPassword) || mustCheck(m_ui.textPasswordConfirm)) &&
      !ut.checkPassword(m_ui.textPassword->text(), m_ui.textPasswordConfirm->text(), 0))
    return false;
  return checkName() && !isAnyTextFieldEmpty() && checkPort();
}

void ScanProfileSettingControllerObjC::CancelBtnPressed() {
  const QString name = op("CancelBtnPressed:");
  funcEnter(name);
  funcEnd(name);
  reject();
}

// ---- Trace -----------------------------------------------------------------------------------------------------

void ScanProfileSettingControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void ScanProfileSettingControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }
