#include "Views/NetworkLANControllerBase.h"
#include "Views/PageLayout.h"

#include <QFormLayout>
#include <QFrame>
#include <QHideEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/NumberText.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;
constexpr uint8_t kBootDHCP = 1;
constexpr int kOctetMax = 255;

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

platform::PopUpButton* makePopUp(QWidget* parent, const char* name, int items) {
  auto* popup = new platform::PopUpButton(parent);
  popup->setObjectName(QString::fromLatin1(name));
  for (int i = 0; i < items; ++i) popup->addItem(QString());
  return popup;
}

// A NUL-terminated comparison that never reads past either field: the difference of the first
// differing bytes (as unsigned), 0 when the texts are equal.
template <std::size_t N>
int compareText(const char (&a)[N], const char (&b)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return int(ca) - int(cb);
    if (ca == 0) break;
  }
  return 0;
}

// The seven addresses of the record with their octet fields, in the page's order.
struct Address {
  char (FCL_RS_PARAM_NETWORK::*field)[40];
  NetworkLANControllerBase::OctetFields NetworkLANControllerBase::Controls::*octets;
  const char* name;  // the record field's name, for the change lines
  // The address as the alerts name it: the text of `labelKey`, followed by that of `serverKey` for
  // a server's primary or secondary address ("Primary DNS server").
  const char* labelKey;
  const char* serverKey = nullptr;
};
constexpr std::array<Address, NetworkLANControllerBase::kAddressCount> kAddresses{{
    {&FCL_RS_PARAM_NETWORK::szIPAddress, &NetworkLANControllerBase::Controls::textIP, "szIPAddress", "IDS_N_IP_ADDRESS"},
    {&FCL_RS_PARAM_NETWORK::szSubnetMask, &NetworkLANControllerBase::Controls::textSubnetMask, "szSubnetMask", "IDS_N_SUBNET_MASK"},
    {&FCL_RS_PARAM_NETWORK::szGateway, &NetworkLANControllerBase::Controls::textGateway, "szGateway", "IDS_N_GATEWAY"},
    {&FCL_RS_PARAM_NETWORK::szWINSServerPrimary, &NetworkLANControllerBase::Controls::textWINSPrimary,
     "szWINSServerPrimary", "IDS_N_PRIMARY", "IDS_N_WINS_SERVER"},
    {&FCL_RS_PARAM_NETWORK::szWINSServerSecondary, &NetworkLANControllerBase::Controls::textWINSSecondary,
     "szWINSServerSecondary", "IDS_N_SECONDARY", "IDS_N_WINS_SERVER"},
    {&FCL_RS_PARAM_NETWORK::szDNSServerPrimary, &NetworkLANControllerBase::Controls::textDNSPrimary,
     "szDNSServerPrimary", "IDS_N_PRIMARY", "IDS_N_DNS_SERVER"},
    {&FCL_RS_PARAM_NETWORK::szDNSServerSecondary, &NetworkLANControllerBase::Controls::textDNSSecondary,
     "szDNSServerSecondary", "IDS_N_SECONDARY", "IDS_N_DNS_SERVER"},
}};

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

NetworkLANControllerBase::NetworkLANControllerBase(const Variant& variant, QWidget* parent)
    : PageController(QString::fromLatin1(variant.viewId), parent), m_variant(variant), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  buildLayout();
  initLocalizedString();
  // The typing filter: textEdited is the user's typing only, not the page's own setText.
  for (const Address& a : kAddresses)
    for (QLineEdit* field : m_ui.*a.octets)
      connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
  m_ui.textNodeName->setReadOnly(true);
  funcEnd(name);
}

NetworkLANControllerBase::~NetworkLANControllerBase() { stopDHCPPoll(); }

void NetworkLANControllerBase::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 8);
  QWidget* content = page->parentWidget();

  m_ui.labelTitle = pagelayout::titleLabel(content);
  m_ui.labelTitle->setObjectName(QString::fromLatin1(m_variant.titleLabelName));
  page->addWidget(m_ui.labelTitle);

  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->setVerticalSpacing(6);
  page->addLayout(form);

  // Four octet fields joined by dots.
  const auto octetRow = [content](OctetFields& fields, const char* baseName) {
    auto* row = new QWidget(content);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    for (int i = 0; i < 4; ++i) {
      if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), row));
      auto* field = new QLineEdit(row);
      field->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(baseName)).arg(i + 1, 2, 10, QChar(u'0')));
      field->setAlignment(Qt::AlignRight);
      field->setFixedWidth(48);
      fields[std::size_t(i)] = field;
      layout->addWidget(field);
    }
    layout->addStretch(1);
    return row;
  };

  m_ui.labelBOOTMethod = makeLabel(content, "labelBOOTMethod");
  m_ui.popupBootMethod = makePopUp(content, "popupBootMethod", 2);
  form->addRow(m_ui.labelBOOTMethod, m_ui.popupBootMethod);
  m_ui.labelIPAddress = makeLabel(content, "labelIPAddress");
  form->addRow(m_ui.labelIPAddress, octetRow(m_ui.textIP, "textIP"));
  m_ui.labelSubnetMask = makeLabel(content, "labelSubnetMask");
  form->addRow(m_ui.labelSubnetMask, octetRow(m_ui.textSubnetMask, "textSubnetMask"));
  m_ui.labelGateway = makeLabel(content, "labelGateway");
  form->addRow(m_ui.labelGateway, octetRow(m_ui.textGateway, "textGateway"));
  m_ui.labelNodeName = makeLabel(content, "labelNodeName");
  m_ui.textNodeName = new QLineEdit(content);
  m_ui.textNodeName->setObjectName(QStringLiteral("textNodeName"));
  m_ui.textNodeName->setMinimumWidth(4 * 48 + 3 * 12);
  form->addRow(m_ui.labelNodeName, m_ui.textNodeName);

  m_ui.labelWINSConfig = makeLabel(content, "labelWINSConfig");
  m_ui.popupWINSConfig = makePopUp(content, "popupWINSConfig", 2);
  form->addRow(m_ui.labelWINSConfig, m_ui.popupWINSConfig);
  m_ui.labelWINSServer = makeLabel(content, "labelWINSServer");
  form->addRow(m_ui.labelWINSServer);
  m_ui.labelWINSPrimary = makeLabel(content, "labelWINSPrimary");
  form->addRow(m_ui.labelWINSPrimary, octetRow(m_ui.textWINSPrimary, "textWINSPrimary"));
  m_ui.labelWINSSecondary = makeLabel(content, "labelWINSSecondary");
  form->addRow(m_ui.labelWINSSecondary, octetRow(m_ui.textWINSSecondary, "textWINSSecondary"));

  m_ui.labelDNSServer = makeLabel(content, "labelDNSServer");
  form->addRow(m_ui.labelDNSServer);
  m_ui.labelDNSPrimary = makeLabel(content, "labelDNSPrimary");
  form->addRow(m_ui.labelDNSPrimary, octetRow(m_ui.textDNSPrimary, "textDNSPrimary"));
  m_ui.labelDNSSecondary = makeLabel(content, "labelDNSSecondary");
  form->addRow(m_ui.labelDNSSecondary, octetRow(m_ui.textDNSSecondary, "textDNSSecondary"));

  m_ui.labelAPIPA = makeLabel(content, "labelAPIPA");
  m_ui.popupAPIPA = makePopUp(content, "popupAPIPA", 2);
  form->addRow(m_ui.labelAPIPA, m_ui.popupAPIPA);

  QFont groupFont = m_ui.labelWINSServer->font();
  groupFont.setBold(true);
  m_ui.labelWINSServer->setFont(groupFont);
  m_ui.labelDNSServer->setFont(groupFont);

  m_ui.labelHint = makeLabel(content, "labelHint");
  m_ui.labelHint->setWordWrap(true);
  QFont hintFont = m_ui.labelHint->font();
  hintFont.setPointSizeF(hintFont.pointSizeF() * 0.9);
  m_ui.labelHint->setFont(hintFont);
  page->addSpacing(4);
  page->addWidget(m_ui.labelHint);
  page->addStretch(1);


  updateDHCPTimer = new QTimer(this);
  updateDHCPTimer->setSingleShot(false);
  connect(updateDHCPTimer, &QTimer::timeout, this, &NetworkLANControllerBase::updateDHCP);
}

void NetworkLANControllerBase::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelTitle->setText(localized(m_variant.titleKey));
  m_ui.labelBOOTMethod->setText(pagelayout::labelText("IDS_N_BOOT_METHOD"));
  m_ui.labelIPAddress->setText(pagelayout::labelText("IDS_N_IP_ADDRESS"));
  m_ui.labelSubnetMask->setText(pagelayout::labelText("IDS_N_SUBNET_MASK"));
  m_ui.labelGateway->setText(pagelayout::labelText("IDS_N_GATEWAY"));
  m_ui.labelNodeName->setText(pagelayout::labelText("IDS_N_NODE_NAME"));
  m_ui.labelWINSConfig->setText(pagelayout::labelText("IDS_N_WINS_CONFIGURATION"));
  m_ui.labelWINSServer->setText(localized("IDS_N_WINS_SERVER"));
  m_ui.labelWINSPrimary->setText(pagelayout::labelText("IDS_N_PRIMARY"));
  m_ui.labelWINSSecondary->setText(pagelayout::labelText("IDS_N_SECONDARY"));
  m_ui.labelDNSServer->setText(localized("IDS_N_DNS_SERVER"));
  m_ui.labelDNSPrimary->setText(pagelayout::labelText("IDS_N_PRIMARY"));
  m_ui.labelDNSSecondary->setText(pagelayout::labelText("IDS_N_SECONDARY"));
  m_ui.labelAPIPA->setText(pagelayout::labelText("IDS_N_APIPA"));
  m_ui.labelHint->setText(localized(m_variant.hintKey));
  m_ui.popupBootMethod->setItemTitle(0, localized("IDS_N_STATIC"));
  m_ui.popupBootMethod->setItemTitle(1, localized("IDS_N_DHCP"));
  m_ui.popupWINSConfig->setItemTitle(0, localized("IDS_N_AUTO"));
  m_ui.popupWINSConfig->setItemTitle(1, localized("IDS_N_STATIC"));
  m_ui.popupAPIPA->setItemTitle(0, localized("IDS_GS_OFF"));
  m_ui.popupAPIPA->setItemTitle(1, localized("IDS_GS_ON"));
  funcEnd(name);
}

// ---- Contract ------------------------------------------------------------------------------------------

void NetworkLANControllerBase::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.*m_variant.record, state.ioWrapper);
}

bool NetworkLANControllerBase::getParam(MainWindowState& state) {
  getParam(state.sParamAll.*m_variant.record);
  return true;
}

bool NetworkLANControllerBase::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.*m_variant.record);
}

void NetworkLANControllerBase::setParam(const FCL_RS_PARAM_NETWORK& record, IOWrapper* io) {
  const QString name = op("setParam:io:");
  funcEnter(name);
  // The page shows the main window's record again: a running poll would overwrite it.
  stopDHCPPoll();
  std::memcpy(&m_net, &record, sizeof m_net);
  pIOWrapper = io;
  initUI();
  funcEnd(name);
}

void NetworkLANControllerBase::getParam(FCL_RS_PARAM_NETWORK& record) {
  const QString name = op("getParam:");
  funcEnter(name);
  applyData();
  if (m_net.byBootMethod == kBootDHCP && record.byBootMethod != kBootDHCP) {
    ut.debugMsg(kTraceLevel, QStringLiteral("BootMethod is changed to DHCP"));
    nUpdateDHCPTimes = 0;
    // The main window writes the record next; the first tick comes after that write and reads
    // only when the record still holds DHCP then (a failed write puts the old method back).
    m_switchedRecord = &record;
    std::vector<const QWidget*> controls{m_ui.popupBootMethod, m_ui.popupWINSConfig, m_ui.popupAPIPA};
    for (const Address& a : kAddresses)
      for (QLineEdit* field : m_ui.*a.octets) controls.push_back(field);
    m_atPollStart = FilledValues();
    for (const QWidget* control : controls) m_atPollStart.remember({control});
    updateDHCPTimer->start(m_pollInterval);
  }
  std::memcpy(&record, &m_net, sizeof m_net);
  funcEnd(name);
}

bool NetworkLANControllerBase::isDataChanged(const FCL_RS_PARAM_NETWORK& record) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  applyData();
  bool changed = m_net.byBootMethod != record.byBootMethod || m_net.byIPBootTries != record.byIPBootTries ||
                 m_net.byAPIPA != record.byAPIPA || m_net.byDHCPGetIP != record.byDHCPGetIP ||
                 m_net.byWINSConfig != record.byWINSConfig;
  if (!changed) {
    struct Text {
      int diff;
      const char* name;
    };
    const Text texts[] = {
        {compareText(m_net.szIPAddress, record.szIPAddress), "szIPAddress"},
        {compareText(m_net.szSubnetMask, record.szSubnetMask), "szSubnetMask"},
        {compareText(m_net.szGateway, record.szGateway), "szGateway"},
        {compareText(m_net.szNodeName, record.szNodeName), "szNodeName"},
        {compareText(m_net.szWINSServerPrimary, record.szWINSServerPrimary), "szWINSServerPrimary"},
        {compareText(m_net.szWINSServerSecondary, record.szWINSServerSecondary), "szWINSServerSecondary"},
        {compareText(m_net.szDNSServerPrimary, record.szDNSServerPrimary), "szDNSServerPrimary"},
        {compareText(m_net.szDNSServerSecondary, record.szDNSServerSecondary), "szDNSServerSecondary"},
    };
    for (const Text& t : texts) {
      if (t.diff == 0) continue;
      ut.debugMsg(kTraceLevel,
                  QStringLiteral("%1 %2 is changed! %d")
                      .arg(QLatin1String(m_variant.changePrefix), QLatin1String(t.name)),
                  t.diff);
      changed = true;
      break;
    }
    if (!changed) ut.debugMsg(kTraceLevel, QStringLiteral("No data change!"));
  }
  funcEnd(name);
  return changed;
}

bool NetworkLANControllerBase::addressEdited(const OctetFields& fields) const {
  return m_filled.anyChanged({fields[0], fields[1], fields[2], fields[3]});
}

int32_t NetworkLANControllerBase::isDataError() {
  const QString name = op("isDataError");
  funcEnter(name);
  int32_t code = kPageErrorNone;
  // Only addresses the user changed since the page was filled are checked; the scanner's own
  // values go back as stored. The node name cannot be edited, so it is never checked.
  for (const Address& a : kAddresses) {
    const OctetFields& fields = m_ui.*a.octets;
    if (!addressEdited(fields)) continue;
    if (std::all_of(fields.begin(), fields.end(), [](const QLineEdit* f) { return f->text().isEmpty(); })) continue;
    const auto bad = std::find_if(fields.begin(), fields.end(), [](const QLineEdit* f) {
      return !platform::isDigitsInRange(f->text(), 0, kOctetMax);
    });
    if (bad != fields.end()) {
      (*bad)->setFocus();
      (*bad)->selectAll();
      funcErr(name, QStringLiteral("%1 is not an address").arg(QLatin1String(a.name)));
      QString label = localized(a.labelKey);
      if (a.serverKey != nullptr) label += u' ' + localized(a.serverKey);
      setFailedField(label, rangeText(0, kOctetMax));
      code = kPageErrorOutOfRange;
      break;
    }
  }
  funcEnd(name);
  return code;
}

// ---- Filling and reading the controls ----------------------------------------------------------------------

void NetworkLANControllerBase::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  m_ui.popupBootMethod->selectItem(m_net.byBootMethod);
  m_ui.popupWINSConfig->selectItem(m_net.byWINSConfig);
  m_ui.popupAPIPA->selectItem(m_net.byAPIPA);
  for (std::size_t i = 0; i < kAddresses.size(); ++i) {
    const Address& a = kAddresses[i];
    const QStringList parts = platform::textFromField(m_net.*a.field).split(u'.');
    const OctetFields& fields = m_ui.*a.octets;
    if (parts.size() != 4) {
      // Not an address (also the empty text). The fields are emptied rather than left showing
      // an earlier record's address, which saving would then write into this record.
      funcErr(name, QString::fromLatin1(m_variant.addressErrors[i]));
      for (QLineEdit* field : fields) field->clear();
      continue;
    }
    for (std::size_t k = 0; k < 4; ++k) fields[k]->setText(QString::number(platform::intValue(parts[qsizetype(k)])));
  }
  m_ui.textNodeName->setText(platform::textFromField(m_net.szNodeName));
  // Remembered at every fill, the DHCP poll's too: what the page shows then is the scanner's.
  for (const Address& a : kAddresses)
    for (QLineEdit* field : m_ui.*a.octets) m_filled.remember({field});
  funcEnd(name);
}

void NetworkLANControllerBase::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  // A pop-up without a selection (a stored value no item stands for) leaves its field as stored.
  if (const int i = m_ui.popupBootMethod->indexOfSelectedItem(); i >= 0) m_net.byBootMethod = uint8_t(i);
  if (const int i = m_ui.popupWINSConfig->indexOfSelectedItem(); i >= 0) m_net.byWINSConfig = uint8_t(i);
  if (const int i = m_ui.popupAPIPA->indexOfSelectedItem(); i >= 0) m_net.byAPIPA = uint8_t(i);
  // The field cannot be edited: while it shows the stored name, the stored bytes stay as they
  // are (also a name that is not valid UTF-8 or fills all 32 bytes).
  if (const QString nodeName = m_ui.textNodeName->text(); nodeName != platform::textFromField(m_net.szNodeName))
    platform::textToField(m_net.szNodeName, nodeName);
  for (const Address& a : kAddresses) {
    const OctetFields& fields = m_ui.*a.octets;
    // None of its four fields changed since the page was filled: the 40 stored bytes stay as
    // read. The fields show a stored text only approximately (a text that is not four numbers,
    // "010", bytes that are not UTF-8, no NUL, bytes after the NUL), so rebuilding it from them
    // would write something the scanner never held.
    if (!addressEdited(fields)) continue;
    const auto isEmpty = [](const QLineEdit* f) { return f->text().isEmpty(); };
    const auto isOctet = [](const QLineEdit* f) { return platform::isDigitsInRange(f->text(), 0, kOctetMax); };
    char (&field)[40] = m_net.*a.field;
    if (std::all_of(fields.begin(), fields.end(), isEmpty)) {
      std::memset(field, 0, sizeof field);
      continue;
    }
    // Not an address (a field empty or not an octet): never written; the error check refuses it.
    if (!std::all_of(fields.begin(), fields.end(), isOctet)) continue;
    std::memset(field, 0, sizeof field);
    std::snprintf(field, sizeof field, "%d.%d.%d.%d", platform::intValue(fields[0]->text()),
                  platform::intValue(fields[1]->text()), platform::intValue(fields[2]->text()),
                  platform::intValue(fields[3]->text()));
  }
  funcEnd(name);
}

// ---- Octet fields ------------------------------------------------------------------------------------------------

bool NetworkLANControllerBase::stringIsNumber(const QString& text) { return platform::isDecimalNumber(text); }

QString NetworkLANControllerBase::numericStringFromString(const QString& text) {
  return platform::numericStringFromString(text);
}

void NetworkLANControllerBase::controlTextDidChange(QLineEdit* field) {
  const QString numeric = numericStringFromString(field->text());
  if (numeric != field->text()) field->setText(numeric);
}

// ---- DHCP poll ------------------------------------------------------------------------------------------------------

bool NetworkLANControllerBase::isPollingDHCP() const { return updateDHCPTimer->isActive(); }

void NetworkLANControllerBase::stopDHCPPoll() {
  if (updateDHCPTimer != nullptr) updateDHCPTimer->stop();
  m_switchedRecord = nullptr;
}

void NetworkLANControllerBase::hideEvent(QHideEvent* event) {
  PageController::hideEvent(event);
  // Left for another page (or the window went away): the poll belongs to the page on show.
  if (!event->spontaneous()) stopDHCPPoll();
}

bool NetworkLANControllerBase::readForPoll(FCL_RS_PARAM_NETWORK& buffer) {
  if (pIOWrapper == nullptr) return false;
  const CommandOutcome read =
      pIOWrapper->judgeWithin(kDHCPPollReadLimit, [&] { return (pIOWrapper->*m_variant.read)(&buffer); });
  return read.ok();
}

void NetworkLANControllerBase::updateDHCP() {
  // The write of the switch failed or was undone: the scanner never got DHCP.
  if (m_switchedRecord == nullptr || m_switchedRecord->byBootMethod != kBootDHCP) {
    ut.debugMsg(kTraceLevel, QStringLiteral("updateDHCP...the switch to DHCP was not written"));
    stopDHCPPoll();
    return;
  }
  ++nUpdateDHCPTimes;
  ut.debugMsg(kTraceLevel, QStringLiteral("updateDHCP...%d"), nUpdateDHCPTimes);
  FCL_RS_PARAM_NETWORK buffer{};
  if (!readForPoll(buffer)) {
    // The scanner no longer answers where it was: with DHCP its address may have changed.
    funcErr(op("updateDHCP:"), QStringLiteral("the poll read failed"));
    stopDHCPPoll();
    ut.message(localized("IDS_N_DHCP_RECONNECT_MSG"), localized("IDS_N_DHCP_RECONNECT_INFO"), false);
    return;
  }
  if (buffer.byDHCPGetIP == 1) {
    // What the user changed since the poll started stays as typed.
    struct Kept {
      QLineEdit* field;
      QString text;
    };
    std::vector<Kept> keptTexts;
    for (const Address& a : kAddresses)
      for (QLineEdit* field : m_ui.*a.octets)
        if (m_atPollStart.changed(field)) keptTexts.push_back({field, field->text()});
    std::vector<std::pair<platform::PopUpButton*, int>> keptItems;
    for (platform::PopUpButton* popup : {m_ui.popupBootMethod, m_ui.popupWINSConfig, m_ui.popupAPIPA})
      if (m_atPollStart.changed(popup)) keptItems.emplace_back(popup, popup->indexOfSelectedItem());
    std::memcpy(&m_net, &buffer, sizeof m_net);
    initUI();
    for (const Kept& k : keptTexts) k.field->setText(k.text);
    for (const auto& [popup, item] : keptItems) popup->selectItem(item);
    ut.debugMsg(kTraceLevel, QStringLiteral("updateDHCP...Done!"));
    stopDHCPPoll();
    return;
  }
  if (nUpdateDHCPTimes >= kDHCPPollMaxTimes) {
    ut.debugMsg(kTraceLevel, QStringLiteral("updateDHCP...Timeout!"));
    stopDHCPPoll();
  }
}

// ---- Trace -----------------------------------------------------------------------------------------------------------

QString NetworkLANControllerBase::op(const char* selector) const {
  return PageTrace::operationName(m_variant.className, selector);
}

void NetworkLANControllerBase::funcEnter(const QString& name) const { m_trace.enter(name); }

void NetworkLANControllerBase::funcEnd(const QString& name) const { m_trace.end(name); }

void NetworkLANControllerBase::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
