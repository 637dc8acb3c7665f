#include "Views/MachineInfoControllerObjC.h"

#include "Views/CommandFailure.h"
#include "Views/PageLayout.h"

#include <QCoreApplication>
#include <QFont>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <utility>

#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"

namespace {

constexpr int32_t kTraceLevel = PageTrace::kTraceLevel;

QString op(const char* selector) { return PageTrace::operationName("MachineInfoControllerObjC", selector); }

// Maintenance-alert pop-up: item index -> byScheduled_ME.
const char* const kAlertKeys[] = {"IDS_GS_OFF", "IDS_GS_ON"};

QString localized(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

QLabel* makeLabel(QWidget* parent) { return pagelayout::plainLabel(parent); }

// A value beside its title: selectable, so the user can copy the serial number or a version.
QLabel* makeValue(QWidget* parent) {
  QLabel* value = makeLabel(parent);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return value;
}

QFormLayout* makeForm(QWidget* parent) {
  auto* form = new QFormLayout(parent);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  form->setRowWrapPolicy(QFormLayout::DontWrapRows);
  form->setHorizontalSpacing(12);
  return form;
}

// A counter's text with its reset button to the right; the button starts hidden.
QWidget* counterRow(QWidget* parent, QLabel*& text, QPushButton*& button) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  text = makeValue(row);
  text->setMinimumWidth(110);
  button = new QPushButton(row);
  button->setAutoDefault(false);
  button->hide();
  layout->addWidget(text);
  layout->addWidget(button);
  layout->addStretch(1);
  return row;
}

// "high.low" halves of a version word.
QString versionPair(uint32_t word) {
  return QStringLiteral("%1.%2").arg(word >> 16).arg(word & 0xFFFFu);
}

}  // namespace

// ---- Construction ("viewDidLoad") -------------------------------------------------------------------

MachineInfoControllerObjC::MachineInfoControllerObjC(QWidget* parent)
    : PageController(QString::fromLatin1(pages::kMachineInfoView), parent), ut(Utilities::sharedInstance()) {
  const QString name = op("viewDidLoad");
  funcEnter(name);
  m_terminateHandler = [this] {
    // Closing the main window releases the scanner before the program goes.
    if (QWidget* w = window(); w != nullptr && w != this) w->close();
    QCoreApplication::quit();
  };
  buildLayout();
  initLocalizedString();
  setupModelRows();
  connect(m_ui.btnResetRoller, &QPushButton::clicked, this, &MachineInfoControllerObjC::resetPickupRollerCountPushed);
  connect(m_ui.btnResetMaintenance, &QPushButton::clicked, this,
          &MachineInfoControllerObjC::resetMaintenanceCountPurshed);
  connect(m_ui.btnFactoryReset, &QPushButton::clicked, this, &MachineInfoControllerObjC::factoryResetPushed);
  funcEnd(name);
}

MachineInfoControllerObjC::~MachineInfoControllerObjC() = default;

QSize MachineInfoControllerObjC::neededSize() {
  // The reset buttons and both models' own rows.
  return pagelayout::neededSize(this, {m_ui.btnResetRoller, m_ui.btnResetMaintenance, m_ui.labelMaintenanceAlert,
                                       m_ui.popupMaintenanceAlert, m_ui.labelFactoryReset, m_ui.btnFactoryReset});
}

void MachineInfoControllerObjC::buildLayout() {
  QVBoxLayout* page = pagelayout::scrollingContent(this, 10);
  QWidget* content = page->parentWidget();

  m_ui.labelTitle = pagelayout::titleLabel(content);
  page->addWidget(m_ui.labelTitle);

  // Every row in one form, so that all values, the counters and the model's own row start in one
  // line: the device (serial number, versions, status), the remaining life (the two counters with
  // their reset buttons), then the two rows the model switches.
  auto* rows = new QWidget(content);
  QFormLayout* form = makeForm(rows);
  form->setContentsMargins(0, 0, 0, 0);
  for (auto [label, value] : {std::pair{&m_ui.labelSerial, &m_ui.textSerial},
                              std::pair{&m_ui.labelMainVersion, &m_ui.textMainVersion},
                              std::pair{&m_ui.labelPanelVersion, &m_ui.textPanelVersion},
                              std::pair{&m_ui.labelStatus, &m_ui.textStatus}}) {
    *label = makeLabel(rows);
    *value = makeValue(rows);
    form->addRow(*label, *value);
  }

  m_ui.labelRemainingLife = makeLabel(rows);
  QFont bold = m_ui.labelRemainingLife->font();
  bold.setBold(true);
  m_ui.labelRemainingLife->setFont(bold);
  m_ui.labelRemainingLife->setContentsMargins(0, 8, 0, 0);
  form->addRow(m_ui.labelRemainingLife);
  m_ui.labelRoller = makeLabel(rows);
  form->addRow(m_ui.labelRoller, counterRow(rows, m_ui.textRoller, m_ui.btnResetRoller));
  m_ui.labelMaintenance = makeLabel(rows);
  form->addRow(m_ui.labelMaintenance, counterRow(rows, m_ui.textMaintenance, m_ui.btnResetMaintenance));

  m_ui.labelMaintenanceAlert = makeLabel(rows);
  m_ui.popupMaintenanceAlert = new platform::PopUpButton(rows);
  for (int i = 0; i < int(std::size(kAlertKeys)); ++i) m_ui.popupMaintenanceAlert->addItem(QString());
  m_alertRow = form->rowCount();
  form->addRow(m_ui.labelMaintenanceAlert, m_ui.popupMaintenanceAlert);
  m_ui.labelFactoryReset = makeLabel(rows);
  m_ui.btnFactoryReset = new QPushButton(rows);
  m_ui.btnFactoryReset->setAutoDefault(false);
  m_factoryRow = form->rowCount();
  form->addRow(m_ui.labelFactoryReset, m_ui.btnFactoryReset);
  m_modelForm = form;
  page->addWidget(rows);
  page->addStretch(1);
}

void MachineInfoControllerObjC::initLocalizedString() {
  const QString name = op("initLocalizedString");
  funcEnter(name);
  m_ui.labelTitle->setText(localized("IDS_MI_MACHINE_INFO"));
  m_ui.labelSerial->setText(pagelayout::labelText("IDS_MI_SERIAL_NO"));
  m_ui.labelMainVersion->setText(pagelayout::labelText("IDS_MI_MAINBOARD_FW_VERSION"));
  m_ui.labelPanelVersion->setText(pagelayout::labelText("IDS_MI_PANEL_FW_VERSION"));
  m_ui.labelStatus->setText(pagelayout::labelText("IDS_MI_DEVICE_STATUS"));
  m_ui.labelRemainingLife->setText(localized("IDS_MI_REMAINING_LIFE"));
  m_ui.labelRoller->setText(pagelayout::labelText("IDS_MI_PICK_UP_ROLLER"));
  m_ui.labelMaintenance->setText(pagelayout::labelText("IDS_MI_SCHEDULED_MAINTENANCE"));
  m_ui.labelMaintenanceAlert->setText(pagelayout::labelText("IDS_MI_SCHEDULED_MAINTENANCE_ALERT"));
  m_ui.labelFactoryReset->setText(pagelayout::labelText("IDS_MI_FACTORY_RESET"));
  for (QPushButton* b : {m_ui.btnResetRoller, m_ui.btnResetMaintenance, m_ui.btnFactoryReset})
    b->setText(localized("IDS_MI_RESET"));
  for (int i = 0; i < int(std::size(kAlertKeys)); ++i)
    m_ui.popupMaintenanceAlert->setItemTitle(i, localized(kAlertKeys[i]));
  funcEnd(name);
}

void MachineInfoControllerObjC::setupModelRows() {
  m_modelForm->setRowVisible(m_alertRow, !bIsB);
  m_modelForm->setRowVisible(m_factoryRow, bIsB);
}

// ---- Contract ------------------------------------------------------------------------------------------

void MachineInfoControllerObjC::setParam(const MainWindowState& state) {
  setParam(state.sParamAll.sGeneral, state.sMachineInfo, state.sCapabilities, state.sDeviceStatus,
           state.serialString, state.bIsB, state.ioWrapper);
}

bool MachineInfoControllerObjC::getParam(MainWindowState& state) {
  getParam(state.sParamAll.sGeneral);
  return true;
}

bool MachineInfoControllerObjC::isDataChanged(const MainWindowState& state) {
  return isDataChanged(state.sParamAll.sGeneral);
}

int32_t MachineInfoControllerObjC::isDataError() { return kPageErrorNone; }

void MachineInfoControllerObjC::setParam(const FCL_RS_PARAM_GENERAL& general, const FCL_RS_MACHINE_INFO& machineInfo,
                                         const FCL_CAP_HALVERN& capabilities, const FCL_DEVICE_STATUS& deviceStatus,
                                         const QString& serial, bool isB, IOWrapper* io) {
  const QString name = op("setParam:machineInfo:Cap:deviceStatus:serial:module:io:");
  funcEnter(name);
  std::memcpy(&sGeneral, &general, sizeof sGeneral);
  std::memcpy(&sMachineInfo, &machineInfo, sizeof sMachineInfo);
  std::memcpy(&sCapabilities, &capabilities, sizeof sCapabilities);
  std::memcpy(&sDeviceStatus, &deviceStatus, sizeof sDeviceStatus);
  strSN = serial;
  bIsB = isB;
  pIOWrapper = io;
  initUI();
  funcEnd(name);
}

void MachineInfoControllerObjC::getParam(FCL_RS_PARAM_GENERAL& general) {
  const QString name = op("getParam:");
  funcEnter(name);
  applyData();
  std::memcpy(&general, &sGeneral, sizeof general);
  funcEnd(name);
}

bool MachineInfoControllerObjC::isDataChanged(const FCL_RS_PARAM_GENERAL& general) {
  const QString name = op("isDataChanged:");
  funcEnter(name);
  // No selection (a stored value without an item) is no change: saving keeps the stored value.
  const int index = m_ui.popupMaintenanceAlert->indexOfSelectedItem();
  const bool changed = index >= 0 && index != general.byScheduled_ME;
  funcEnd(name);
  return changed;
}

// ---- Filling and reading the controls ----------------------------------------------------------------------

void MachineInfoControllerObjC::initUI() {
  const QString name = op("initUI");
  funcEnter(name);
  m_ui.textSerial->setText(strSN);

  // One character; a zero byte would put a NUL into the text, so it shows as nothing.
  const auto mainBoard = static_cast<char>(sCapabilities.dwReserved[4] & 0xFFu);
  m_ui.textMainVersion->setText(mainBoard == '\0' ? QString() : QString(QChar::fromLatin1(mainBoard)));
  m_ui.textPanelVersion->setText(QStringLiteral("M:%1/P:%2")
                                     .arg(versionPair(sCapabilities.dwVers_FW), versionPair(sCapabilities.dwVers_Panel)));

  // The page is shown only by the main window, which holds the scanner's lock: the scanner then
  // answers 4 (locked for this computer), and that is ready too. Every other non-zero value is a
  // scanner busy with something else.
  const bool ready = sDeviceStatus.wFWInfo == FCL_FWINFO_READY || sDeviceStatus.wFWInfo == FCL_FWINFO_LOCKED;
  m_ui.textStatus->setText(localized(ready ? "IDS_DD_READY" : "IDS_DD_BUSY"));

  showCounter(m_ui.textRoller, m_ui.btnResetRoller, sMachineInfo.dwCountAtRoller, sMachineInfo.dwRollerReplaceVal);
  showCounter(m_ui.textMaintenance, m_ui.btnResetMaintenance, sMachineInfo.dwCountAtClean, sMachineInfo.dwMaintCleanVal);

  m_ui.popupMaintenanceAlert->selectItem(sGeneral.byScheduled_ME);  // no selection outside the items
  setupModelRows();
  funcEnd(name);
}

void MachineInfoControllerObjC::showCounter(QLabel* text, QPushButton* reset, uint32_t countAtReset, uint32_t limit) {
  // The scanner counts in 32 bits: the difference wraps, and a count at the last reset above the
  // scan count reads as a negative usage, which is never due.
  const auto usage = static_cast<int32_t>(sMachineInfo.dwScanCount - countAtReset);
  const bool due = int64_t{usage} >= int64_t{limit};
  text->setText(QStringLiteral("%1/%2").arg(usage).arg(limit));
  QPalette palette = text->palette();
  palette.setColor(QPalette::WindowText, due ? dueColour() : this->palette().color(QPalette::WindowText));
  text->setPalette(palette);
  if (due) reset->show();  // stays shown for the life of the page
}

void MachineInfoControllerObjC::applyData() {
  const QString name = op("applyData");
  funcEnter(name);
  if (const int i = m_ui.popupMaintenanceAlert->indexOfSelectedItem(); i >= 0) sGeneral.byScheduled_ME = uint8_t(i);
  funcEnd(name);
}

// ---- The resets ------------------------------------------------------------------------------------------------

void MachineInfoControllerObjC::resetPickupRollerCountPushed() {
  const QString name = op("resetPickupRollerCountPushed:");
  funcEnter(name);
  const CommandOutcome reset = runReset([this] { return pIOWrapper->resetPickupRoller(); });
  if (reset) {
    sMachineInfo.dwCountAtRoller = sMachineInfo.dwScanCount;
    initUI();
  } else {
    funcErr(name, QStringLiteral("ERROR MachineInfo: resetPickupRollerCount return Fail!"));
    showResetFailure(reset);
  }
  funcEnd(name);
}

void MachineInfoControllerObjC::resetMaintenanceCountPurshed() {
  const QString name = op("resetMaintenanceCountPurshed:");
  funcEnter(name);
  const CommandOutcome reset = runReset([this] { return pIOWrapper->resetScheduledMaintenance(); });
  if (reset) {
    sMachineInfo.dwCountAtClean = sMachineInfo.dwScanCount;
    initUI();
  } else {
    funcErr(name, QStringLiteral("ERROR MachineInfo: resetMaintenanceCount return Fail!"));
    showResetFailure(reset);
  }
  funcEnd(name);
}

void MachineInfoControllerObjC::factoryResetPushed() {
  const QString name = op("factoryResetPushed:");
  funcEnter(name);
  if (ut.message(localized("IDS_CM_MESSAGE"), localized("IDS_MI_FACTORY_MESSAGE"), true)) {
    const CommandOutcome reset = runReset([this] { return pIOWrapper->resetFactoryReset(); });
    if (!reset) funcErr(name, QStringLiteral("ERROR MachineInfo: resetFactoryReset return Fail!"));
    ut.message(localized("IDS_CM_MESSAGE"),
               reset ? localized("IDS_MI_FACTORY_SUCCESS") : withOutcome(localized("IDS_MI_FACTORY_FAIL"), reset), false);
    funcEnd(name);
    // The scanner restarts with its factory settings: nothing this window holds is valid now.
    if (m_terminateHandler) m_terminateHandler();
    return;
  }
  funcEnd(name);
}

CommandOutcome MachineInfoControllerObjC::runReset(const std::function<bool()>& reset) {
  // Without a command layer nothing can be sent: the reset fails.
  if (pIOWrapper == nullptr) return CommandOutcome::failed();
  return pIOWrapper->judge(reset);
}

void MachineInfoControllerObjC::showResetFailure(const CommandOutcome& outcome) {
  ut.message(localized("IDS_CM_MESSAGE"), withOutcome(localized("IDS_MI_RESET_FAIL"), outcome), false);
}

// ---- Trace -----------------------------------------------------------------------------------------------------------

void MachineInfoControllerObjC::funcEnter(const QString& name) const { m_trace.enter(name); }

void MachineInfoControllerObjC::funcEnd(const QString& name) const { m_trace.end(name); }

void MachineInfoControllerObjC::funcErr(const QString& name, const QString& message) const {
  m_trace.err(name, message);
}
