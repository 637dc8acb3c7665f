#include "Views/DevicesViewController.h"

#include "Views/CommandFailure.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "RemoteSetup/ViewController.h"
#include "Views/PageLayout.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "platform/widgets/WindowPlacement.h"

using platform::Localizer;

namespace {

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

const char* const kServiceType = "_scanner._tcp.";
const char* const kServiceDomain = "local.";
const char* const kNetworkModelType = "Zerelta QMX-7315W";
const char* const kGeneralError = "General Error";
const char* const kNotOnList = "NOT ON LIST";
const char* const kNotApplicable = "N/A";

// Status reads that run at once; more wait for a thread (an address each, so far beyond any
// network's count of scanners).
constexpr int kMaxStatusReads = 64;

// The column titles, in column order.
const char* const kColumnKeys[] = {"IDS_DD_DEVICE_NAME", "IDS_DD_INTERFACE", "IDS_DD_CONNECTION", "IDS_DD_STATUS"};

QString& remoteSetupPlistPath() {
  static QString path = QStringLiteral(":/RemoteSetup.plist");
  return path;
}

// The device list: it opens wide enough for a device's name and its other columns and a few rows
// at the desktop's text size; the window can make it smaller, and it scrolls.
class DeviceTable : public QTableView {
 public:
  using QTableView::QTableView;
  QSize sizeHint() const override {
    // Room for a name of about 45 characters and the three other columns, and for about a dozen
    // rows; at the desktop's default font that is less than 640x240, its least opening size.
    const QFontMetrics metrics(font());
    return QSize(qMax(640, metrics.averageCharWidth() * 105), qMax(240, metrics.lineSpacing() * 14));
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The table's data source: asks the window for every row and cell. Those two questions come at
// every repaint, so unlike the window's other operations they write no entry and exit lines (the
// system log would fill with them).

class DevicesTableModel : public QAbstractTableModel {
 public:
  explicit DevicesTableModel(DevicesViewController& owner) : QAbstractTableModel(&owner), m_owner(owner) {}
  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : m_owner.numberOfRowsInTableView();
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kColumnKeys));
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return m_owner.objectValueForTableColumn(columnTitle(index.column()), index.row());
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return columnTitle(section);
  }
  QString columnTitle(int column) const { return m_titles.value(column); }
  void setTitles(const QStringList& titles) {
    m_titles = titles;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  }
  void reload() {
    beginResetModel();
    endResetModel();
  }

 private:
  DevicesViewController& m_owner;
  QStringList m_titles;
};

// ---------------------------------------------------------------------------------------------
// Construction, set-up, titles

DevicesViewController::DevicesViewController(bool isBNT, QWidget* parent)
    : QWidget(parent),
      bIsBNT(isBNT),
      ut(Utilities::sharedInstance()),
      m_mainWindowCreator([] { return std::make_unique<ViewController>(); }),
      m_terminateHandler([] { QCoreApplication::quit(); }) {
  m_statusReads.setMaxThreadCount(kMaxStatusReads);
}

DevicesViewController::~DevicesViewController() {
  stopBonjour();  // the status reads under way no longer count
  // Each read still running ends within the transport's limits; the window leaves the screen
  // while they do.
  if (m_statusReads.activeThreadCount() > 0 && isVisible()) hide();
  m_statusReads.waitForDone();
  // The table must stop asking before this object is only a QWidget any more.
  if (tableDevices != nullptr) tableDevices->setModel(nullptr);
  delete m_tableModel;
  m_tableModel = nullptr;
  if (m_mainWindow) delete m_mainWindow.data();
}

QString DevicesViewController::setRemoteSetupPlistPath(const QString& path) {
  QString previous = remoteSetupPlistPath();
  remoteSetupPlistPath() = path;
  return previous;
}

QString DevicesViewController::modeInfoPlistPath() {
  // Kept as the driver writes it: "~/../../../Library/Preferences/Zerelta/QMX-7315W/ModeInfo_LAN.plist".
  return QDir::homePath() + QStringLiteral("/../../../Library/Preferences/Zerelta/QMX-7315W/ModeInfo_LAN.plist");
}

void DevicesViewController::setTimings(std::chrono::milliseconds startDelay, std::chrono::milliseconds notFoundDelay) {
  m_startDelay = startDelay;
  m_notFoundDelay = notFoundDelay;
}

void DevicesViewController::enter(const char* op) const {
  ut.debugMsg(0x01, QStringLiteral(">>> %@ ENTER"), QStringLiteral("DevicesViewController::") + QLatin1String(op));
}

void DevicesViewController::leave(const char* op) const {
  ut.debugMsg(0x01, QStringLiteral("<<< %@ END \n"), QStringLiteral("DevicesViewController::") + QLatin1String(op));
}

void DevicesViewController::error(const char* op, const QString& message) const {
  ut.debugMsg(0x02, QStringLiteral("=== %@ ERROR: %@\n"), QStringLiteral("DevicesViewController::") + QLatin1String(op),
              message);
}

void DevicesViewController::loadViewIfNeeded() {
  if (m_viewLoaded) return;
  m_viewLoaded = true;
  viewDidLoad();
}

void DevicesViewController::viewDidLoad() {
  // Written before the mask is set: with the mask still off it never reaches the log.
  enter("viewDidLoad");
  ut.setDebugMask(0x43);
  buildLayout();
  initLocalizedString();
  platform::fitToScreen(*this);  // the size the list asks for, where the screen has the room
  dicFoundDevices.clear();
  netServices.clear();
  ioWrapper = std::make_unique<IOWrapper>();
  leave("viewDidLoad");
}

void DevicesViewController::buildLayout() {
  textDevicesDiscovery = new QLabel(this);
  tableDevices = new DeviceTable(this);
  tableDevices->setObjectName(QStringLiteral("tableDevices"));
  m_tableModel = new DevicesTableModel(*this);
  tableDevices->setModel(m_tableModel);
  tableDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
  tableDevices->setSelectionMode(QAbstractItemView::SingleSelection);
  tableDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableDevices->verticalHeader()->hide();
  tableDevices->setShowGrid(false);
  tableDevices->setAlternatingRowColors(true);
  tableDevices->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  tableDevices->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < 4; ++c) tableDevices->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  tableDevices->setMinimumSize(320, 120);

  btnRefresh = new QPushButton(this);
  btnConnect = new QPushButton(this);
  btnCancel = new QPushButton(this);
  btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
  btnConnect->setObjectName(QStringLiteral("btnConnect"));
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnConnect->setEnabled(false);  // until a ready device is selected
  btnConnect->setDefault(true);  // drawn as the button Return presses (keyPressEvent)

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRefresh);
  buttons->addStretch(1);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnConnect);

  // Why Connect stays off for a busy scanner, below the list while one is listed.
  m_busyHint = new QLabel(this);
  m_busyHint->setObjectName(QStringLiteral("busyHint"));
  m_busyHint->setTextFormat(Qt::PlainText);
  m_busyHint->setWordWrap(true);
  m_busyHint->hide();

  auto* root = new QVBoxLayout(this);
  root->addWidget(textDevicesDiscovery);
  root->addWidget(tableDevices, 1);
  root->addWidget(m_busyHint);
  root->addLayout(buttons);

  delayToFindDeviceTimer = new QTimer(this);
  delayToFindDeviceTimer->setSingleShot(true);
  connect(delayToFindDeviceTimer, &QTimer::timeout, this, &DevicesViewController::findDevice);
  findDeviceTimer = new QTimer(this);
  findDeviceTimer->setSingleShot(true);
  connect(findDeviceTimer, &QTimer::timeout, this, &DevicesViewController::showDeviceNotFound);

  connect(btnRefresh, &QPushButton::clicked, this, &DevicesViewController::RefreshBtnPushed);
  connect(btnConnect, &QPushButton::clicked, this, &DevicesViewController::ConnectBtnPushed);
  connect(btnCancel, &QPushButton::clicked, this, &DevicesViewController::CancelBtnPushed);
  connect(tableDevices, &QTableView::doubleClicked, this, [this](const QModelIndex&) { doubleClickRow(); });
  connect(tableDevices->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { tableViewSelectionDidChange(); });
  // The hint follows the list, however its rows change.
  const auto follow = [this] { showBusyHint(); };
  connect(m_tableModel, &QAbstractItemModel::modelReset, this, follow);
  connect(m_tableModel, &QAbstractItemModel::rowsInserted, this, follow);
  connect(m_tableModel, &QAbstractItemModel::rowsRemoved, this, follow);
  connect(m_tableModel, &QAbstractItemModel::layoutChanged, this, follow);
  connect(m_tableModel, &QAbstractItemModel::dataChanged, this, follow);
}

void DevicesViewController::showBusyHint() {
  const QString busy = text("IDS_DD_BUSY");
  bool anyBusy = false;
  const int statusColumn = static_cast<int>(std::size(kColumnKeys)) - 1;
  for (int row = 0; row < m_tableModel->rowCount() && !anyBusy; ++row) {
    anyBusy = m_tableModel->index(row, statusColumn).data().toString() == busy;
  }
  m_busyHint->setVisible(anyBusy);
}

void DevicesViewController::initLocalizedString() {
  enter("initLocalizedString");
  QStringList titles;
  for (const char* key : kColumnKeys) titles << text(key);
  m_tableModel->setTitles(titles);
  textDevicesDiscovery->setText(pagelayout::labelText("IDS_DD_DEVICE_DISCOVERY"));
  setWindowTitle(QStringLiteral("Zerelta ") + text("IDS_REMOTE_SETUP"));
  btnRefresh->setText(text("IDS_DD_REFRESH"));
  btnConnect->setText(text("IDS_DD_CONNECT"));
  btnCancel->setText(text("IDS_DD_CANCEL"));
  m_busyHint->setText(text("IDS_DV_BUSY_HINT"));
  leave("initLocalizedString");
}

// ---------------------------------------------------------------------------------------------
// Appearance

void DevicesViewController::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  loadViewIfNeeded();
  viewDidAppear();
}

void DevicesViewController::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (btnConnect != nullptr && btnConnect->isEnabled()) btnConnect->click();
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void DevicesViewController::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;
  viewDidDisappear();
}

void DevicesViewController::viewDidAppear() {
  enter("viewDidAppear");
  delayToFindDeviceTimer->start(m_startDelay);
  leave("viewDidAppear");
}

void DevicesViewController::viewDidDisappear() {
  enter("viewDidDisappear");
  delayToFindDeviceTimer->stop();
  stopBonjour();
  cleanList();
  findDeviceTimer->stop();
  leave("viewDidDisappear");
}

ViewController* DevicesViewController::mainWindow() const { return m_mainWindow.data(); }

bool DevicesViewController::isNotFoundTimerRunning() const { return findDeviceTimer && findDeviceTimer->isActive(); }

// ---------------------------------------------------------------------------------------------
// Search

void DevicesViewController::RefreshBtnPushed() {
  enter("RefreshBtnPushed");
  findDevice();
  leave("RefreshBtnPushed");
}

void DevicesViewController::findDevice() {
  enter("findDevice");
  loadViewIfNeeded();
  btnConnect->setEnabled(false);
  stopBonjour();
  cleanList();
  checkUSB();
  startBonjour();
  findDeviceTimer->stop();
  findDeviceTimer->start(m_notFoundDelay);
  leave("findDevice");
}

void DevicesViewController::startBonjour() {
  enter("startBonjour");
  if (!bIsBNT) {  // the USB-only build does not browse
    leave("startBonjour");
    return;
  }
  ut.debugMsg(0x01, QStringLiteral("\t\tstartBonjour by %@%@"), QString::fromLatin1(kServiceType),
              QString::fromLatin1(kServiceDomain));
  platform::DnssdBrowseCallbacks callbacks;
  callbacks.found = [this](const platform::DnssdService& s, bool more) { didFindService(s, more); };
  // A service that goes away stays listed until the next search.
  callbacks.removed = [](const platform::DnssdService&, bool) {};
  netServiceBrowser =
      platform::dnssd().browse(QString::fromLatin1(kServiceType), QString::fromLatin1(kServiceDomain), callbacks);
  leave("startBonjour");
}

void DevicesViewController::stopBonjour() {
  enter("stopBonjour");
  if (!bIsBNT) {
    leave("stopBonjour");
    return;
  }
  if (netServiceBrowser != 0) platform::dnssd().stop(netServiceBrowser);
  netServiceBrowser = 0;
  for (const platform::DnssdHandle h : std::as_const(netServices)) platform::dnssd().stop(h);
  netServices.clear();
  discardStatusReads();
  leave("stopBonjour");
}

void DevicesViewController::cleanList() {
  enter("cleanList");
  dicFoundDevices.clear();
  m_addressStatus.clear();
  reloadTable();
  leave("cleanList");
}

void DevicesViewController::reloadTable() {
  if (m_tableModel == nullptr) return;
  // The selection follows its device across the reload while that device is still listed.
  const QString selectedName = selectedDevice.value(device_entry::kName);
  const bool hadSelection = tableDevices->selectionModel()->hasSelection();
  m_tableModel->reload();
  if (!hadSelection) return;
  const int row = static_cast<int>(dicFoundDevices.keys().indexOf(selectedName));
  if (row >= 0) selectRow(row);
  else tableViewSelectionDidChange();
}

void DevicesViewController::checkUSB() {
  enter("checkUSB");
  IOWrapper& io = *ioWrapper;
  if (io.isOpen()) {
    error("checkUSB", QStringLiteral("ioWrapper isOpen"));
    leave("checkUSB");
    return;
  }
  if (!(bIsBNT ? io.openUSBScannerBNT() : io.openUSBScannerB())) {
    error("checkUSB", QStringLiteral("openUSB is return FALSE!"));
    leave("checkUSB");
    return;
  }
  if (!io.CtrlPipeLockScanner()) {
    error("checkUSB", QStringLiteral("CtrlPipeLockScanner return FALSE!"));
    io.closeUSBScanner();
    leave("checkUSB");
    return;
  }
  ut.debugMsg2(0x01, QStringLiteral("CtrlPipeLockScanner Success!"));

  FCL_DEVICE_STATUS status{};
  if (!io.getDeviceStatus(&status)) {
    io.CtrlPipeUnlockScanner();
    io.closeUSBScanner();
    leave("checkUSB");
    return;
  }
  QString statusText = getDeviceStatusString(status);
  const QString vendor = io.getVendorString().value_or(QString());
  if (vendor.isEmpty()) statusText = QString::fromLatin1(kGeneralError);

  const QString name =
      platform::formatText(bIsBNT ? QStringLiteral("Zerelta QMX-7315W [%@] ") : QStringLiteral("Zerelta QMX-7305 [%@] "),
                           {vendor});
  DeviceEntry entry{QString(), name, QStringLiteral("USB"), text("IDS_DD_ONLINE"), statusText,
                    bIsBNT ? QStringLiteral("BNT") : QStringLiteral("B"), QString::fromLatin1(kNotApplicable),
                    QString::fromLatin1(kNotApplicable)};
  dicFoundDevices.insert(name, entry);

  if (io.CtrlPipeUnlockScanner()) ut.debugMsg2(0x01, QStringLiteral("CtrlPipeUnlockScanner Success!"));
  else error("checkUSB", QStringLiteral("CtrlPipeUnlockScanner return FALSE!"));
  io.closeUSBScanner();
  reloadTable();
  leave("checkUSB");
}

QString DevicesViewController::getDeviceStatusString(const FCL_DEVICE_STATUS& status) const {
  enter("getDeviceStatusString");
  const QString result = deviceStatusText(status);
  leave("getDeviceStatusString");
  return result;
}

std::optional<QString> DevicesViewController::checkPListNGetTWAINName(const QString& uuid) {
  ut.debugMsg(0x01, QStringLiteral(">>> DevicesView::checkPListNGetTWAINName ENTER uuid:%@"), uuid);
  QVariantMap modeInfo;
  if (platform::PropertyList::read(modeInfoPlistPath(), modeInfo) == platform::PropertyList::Status::Ok) {
    for (const QVariant& item : modeInfo.value(QStringLiteral("DeviceInfo")).toList()) {
      const QVariantMap device = item.toMap();
      if (device.value(QStringLiteral("UUID")).toString() != uuid) continue;
      ut.debugMsg(0x01, QStringLiteral("\t\t checkPListNGetTWAINName MATCH uuid:%@"), uuid);
      const QVariant name = device.value(QStringLiteral("TWAINName"));
      leave("checkPListNGetTWAINName");
      if (!name.isValid()) return std::nullopt;
      return name.toString();
    }
  }
  QVariantMap resource;
  const bool discoverAll =
      platform::PropertyList::read(remoteSetupPlistPath(), resource) == platform::PropertyList::Status::Ok &&
      resource.value(QStringLiteral("DiscoverAllDevices")).toBool();
  leave("checkPListNGetTWAINName");
  if (discoverAll) return QString::fromLatin1(kNotOnList);
  return std::nullopt;
}

void DevicesViewController::showDeviceNotFound() {
  enter("showDeviceNotFound");
  if (numberOfRowsInTableView() > 0) {
    leave("showDeviceNotFound");
    return;
  }
  // A service found is still having its status read: every read ends with its row in the list
  // (a status, or "General Error"), so something was found.
  if (m_readsInFlight > 0) {
    leave("showDeviceNotFound");
    return;
  }
  findDeviceTimer->stop();
  if (bIsBNT) {
    ut.message(text("IDS_DV_NOT_FOUND_MSG"),
               platform::formatText(QStringLiteral("%@\n- %@"), {text("IDS_DV_NOT_FOUND_INFO"), text("IDS_DD_NO_DEVICES")}),
               false);
  } else {
    ut.message(text("IDS_CM_MESSAGE"), text("IDS_DD_NO_DEVICES"), false);
  }
  leave("showDeviceNotFound");
}

// ---------------------------------------------------------------------------------------------
// Network discovery

QString DevicesViewController::txtValue(const platform::TxtRecord& txt, const QString& key) const {
  const auto it = txt.constFind(key);
  if (it != txt.constEnd()) return QString::fromUtf8(it.value());
  // A missing key reads as a fixed text that then travels like a real value.
  return (key == QLatin1String("feeder") ? QStringLiteral("fedder") : key) + QStringLiteral(" is null");
}

void DevicesViewController::didFindService(const platform::DnssdService& service, bool) {
  enter("didFindService");
  ut.debugMsg(0x01, QStringLiteral("\t\tservice.name: %@"), service.name);
  QMetaObject::invokeMethod(
      this,
      [this, service] {
        if (netServiceBrowser == 0) return;  // the search it belonged to is over
        if (const auto it = netServices.constFind(service.name); it != netServices.constEnd()) {
          platform::dnssd().stop(it.value());
        }
        platform::DnssdResolveCallbacks callbacks;
        callbacks.resolved = [this](const platform::DnssdResolved& r) { didResolveAddress(r); };
        callbacks.notResolved = [this](const platform::DnssdError& e) { didNotResolve(e); };
        netServices.insert(service.name, platform::dnssd().resolve(service, kResolveLimit, callbacks));
      },
      Qt::QueuedConnection);
  leave("didFindService");
}

void DevicesViewController::didNotResolve(const platform::DnssdError& e) {
  enter("didNotResolve");
  error("didNotResolve", platform::formatText(QStringLiteral("ERROR: ***** netService didNotResolve, Error:%@\n"),
                                              {e.toString()}));
  leave("didNotResolve");
}

void DevicesViewController::didResolveAddress(const platform::DnssdResolved& resolved) {
  enter("netServiceDidResolveAddress");
  const platform::TxtRecord& txt = resolved.txt;
  const QString ty = txtValue(txt, QStringLiteral("ty"));
  if (ty != QLatin1String(kNetworkModelType)) {
    error("netServiceDidResolveAddress", platform::formatText(QStringLiteral(" %@ NOT Zerelta QMX-7315W!"), {ty}));
    leave("netServiceDidResolveAddress");
    return;
  }
  const QString mfg = txtValue(txt, QStringLiteral("mfg"));
  const QString mdl = txtValue(txt, QStringLiteral("mdl"));
  const QString sn = txtValue(txt, QStringLiteral("sn"));
  const QString adp = txtValue(txt, QStringLiteral("ADP"));
  const QString uuid = txtValue(txt, QStringLiteral("uuid"));
  ut.debugMsg(0x01, QStringLiteral("@ Mfg: %@"), mfg);
  ut.debugMsg(0x01, QStringLiteral("@ Mdl: %@"), mdl);
  ut.debugMsg(0x01, QStringLiteral("@ SN: %@"), sn);
  ut.debugMsg(0x01, QStringLiteral("@ ADP: %@"), adp);
  ut.debugMsg(0x01, QStringLiteral("@ UUID: %@"), uuid);
  ut.debugMsg(0x01, QStringLiteral("@ AdminUrl: %@"), txtValue(txt, QStringLiteral("adminurl")));
  ut.debugMsg(0x01, QStringLiteral("@ TxtVers: %@"), txtValue(txt, QStringLiteral("txtvers")));
  ut.debugMsg(0x01, QStringLiteral("@ Button: %@"), txtValue(txt, QStringLiteral("button")));
  ut.debugMsg(0x01, QStringLiteral("@ Feeder: %@"), txtValue(txt, QStringLiteral("feeder")));
  ut.debugMsg(0x01, QStringLiteral("@ Flatbed: %@"), txtValue(txt, QStringLiteral("flatbed")));

  const QString name = platform::formatText(QStringLiteral("%@ %@ [%@]"), {mfg, mdl, sn});
  ut.debugMsg(0x01, QStringLiteral("@@@@@ modleName: %@\n"), name);
  const QString interfaceText = text(adp == QLatin1String("WIRED") ? "IDS_N_WIRED_LAN" : "IDS_N_WLAN");

  for (const platform::DnssdAddress& address : resolved.addresses) {
    if (address.family == platform::DnssdAddress::Family::IPv6) {
      ut.debugMsg2(0x01, QStringLiteral("\t\t***** SKIP IPV6 *****"));
      continue;
    }
    if (address.text.isEmpty()) continue;
    const std::optional<QString> twainName = checkPListNGetTWAINName(uuid);
    if (!twainName) continue;  // not a device of this computer's driver: not listed, not read
    startStatusRead(DeviceEntry{address.text, name, interfaceText, text("IDS_DD_ONLINE"), QString(),
                                QStringLiteral("BNT"), uuid, *twainName},
                    sn.isEmpty());
  }
  leave("netServiceDidResolveAddress");
}

void DevicesViewController::startStatusRead(const DeviceEntry& entry, bool snEmpty) {
  const quint64 generation = m_searchGeneration.load();
  const quint64 sequence = ++m_readSequence;
  ++m_readsInFlight;
  // A command layer of the read's own, made here so that it takes the transport's limits as they
  // are now; the window's IOWrapper stays on this thread.
  auto io = std::make_shared<IOWrapper>(ut);
  m_statusReads.start([this, io, generation, sequence, entry, snEmpty] {
    FCL_DEVICE_STATUS status{};
    bool answered = false;
    if (m_searchGeneration.load() == generation) {  // else its search is over: skip the read
      io->openScanner(entry.at(device_entry::kAddress));
      answered = io->getDeviceStatus(&status);
      io->closeScanner();
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation, sequence, entry, snEmpty, answered, status] {
          statusReadDone(generation, sequence, entry, snEmpty, answered, status);
        },
        Qt::QueuedConnection);
  });
}

void DevicesViewController::statusReadDone(quint64 generation, quint64 sequence, DeviceEntry entry, bool snEmpty,
                                           bool answered, const FCL_DEVICE_STATUS& status) {
  if (generation != m_searchGeneration.load()) return;  // a search since discarded
  --m_readsInFlight;
  entry[device_entry::kStatus] = answered && !snEmpty ? getDeviceStatusString(status) : QString::fromLatin1(kGeneralError);

  // One scanner may be announced at several addresses (interfaces, services): its row keeps the
  // address that answered best (ready, then any answer, then none), the later read among equals.
  const QString name = entry.at(device_entry::kName);
  const QString address = entry.at(device_entry::kAddress);
  QMap<QString, AddressStatus>& addresses = m_addressStatus[name];
  const auto known = addresses.constFind(address);
  if (known == addresses.constEnd() || known->sequence < sequence) {
    const int rank = !answered ? 0 : (status.dwLastErr == 0 && status.wFWInfo == FCL_FWINFO_READY ? 2 : 1);
    addresses.insert(address, AddressStatus{rank, sequence, entry});
  }
  const AddressStatus* best = nullptr;
  for (const AddressStatus& a : std::as_const(addresses)) {
    if (!best || std::pair(a.rank, a.sequence) > std::pair(best->rank, best->sequence)) best = &a;
  }
  dicFoundDevices.insert(name, best->entry);
  reloadTable();
}

void DevicesViewController::discardStatusReads() {
  ++m_searchGeneration;
  m_statusReads.clear();
  m_readsInFlight = 0;
}

bool DevicesViewController::waitForStatusReads(std::chrono::milliseconds limit) {
  const bool done = m_statusReads.waitForDone(static_cast<int>(limit.count()));
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  return done;
}

// ---------------------------------------------------------------------------------------------
// The list

int DevicesViewController::numberOfRowsInTableView() const { return static_cast<int>(dicFoundDevices.size()); }

QString DevicesViewController::objectValueForTableColumn(const QString& columnTitle, int row) const {
  const QStringList keys = dicFoundDevices.keys();
  if (row < 0 || row >= keys.size()) {
    error("objectValueForTableColumn", QStringLiteral("ERROR: objectValueForTableColumn row > allkeys!"));
    return QString();
  }
  const DeviceEntry& entry = dicFoundDevices[keys.at(row)];
  if (columnTitle == text("IDS_DD_DEVICE_NAME")) return entry.value(device_entry::kName);
  if (columnTitle == text("IDS_DD_INTERFACE")) return entry.value(device_entry::kInterface);
  if (columnTitle == text("IDS_DD_CONNECTION")) return entry.value(device_entry::kOnline);
  if (columnTitle == text("IDS_DD_STATUS")) return entry.value(device_entry::kStatus);
  return QString();
}

void DevicesViewController::selectRow(int row) {
  if (row < 0) {
    tableDevices->clearSelection();
    return;
  }
  tableDevices->selectRow(row);
}

void DevicesViewController::tableViewSelectionDidChange() {
  enter("tableViewSelectionDidChange");
  const QModelIndexList rows = tableDevices->selectionModel()->selectedRows();
  const QStringList keys = dicFoundDevices.keys();
  if (rows.isEmpty()) {
    btnConnect->setEnabled(false);  // the last selected device stays remembered
  } else if (const int row = rows.front().row(); row < keys.size()) {
    selectedDevice = dicFoundDevices.value(keys.at(row));
    btnConnect->setEnabled(selectedDevice.value(device_entry::kStatus) != text("IDS_DD_BUSY"));
  }
  leave("tableViewSelectionDidChange");
}

// ---------------------------------------------------------------------------------------------
// Connect

void DevicesViewController::ConnectBtnPushed() {
  enter("ConnectBtnPushed");
  doConnect();
  leave("ConnectBtnPushed");
}

void DevicesViewController::doubleClickRow() {
  enter("doubleClickRow");
  if (tableDevices->selectionModel()->hasSelection()) doConnect();
  leave("doubleClickRow");
}

void DevicesViewController::connectFailed(const QString& messageKey, const QString& infoKey) {
  ut.message(Localizer::text(messageKey), Localizer::text(infoKey), false);
  findDevice();
}

void DevicesViewController::doConnect() {
  enter("doConnect");
  // Nothing chosen yet: there is no device to hand over.
  if (selectedDevice.size() != device_entry::kCount) {
    leave("doConnect");
    return;
  }
  findDeviceTimer->stop();
  IOWrapper& io = *ioWrapper;
  if (bIsBNT) io.openScanner(selectedDevice.at(device_entry::kAddress));
  else io.openUSBScannerB();

  // No answer (or an incomplete one) is a scanner that cannot be reached: switched off, moved
  // or unplugged since the search, not one that is busy.
  FCL_DEVICE_STATUS status{};
  const CommandOutcome inquiry = io.judge([&] { return io.getDeviceStatus(&status); });
  if (judgeHoldStatus(inquiry, status, FCL_FWINFO_READY) == HoldStatus::NoAnswer) {
    error("doConnect", QStringLiteral("Connection Fail!"));
    io.closeScanner();
    connectFailed(QStringLiteral("IDS_DV_UNREACHABLE_MSG"), QStringLiteral("IDS_DV_UNREACHABLE_INFO"));
    leave("doConnect");
    return;
  }
  if (status.dwLastErr == FCLE_FW_REJECT_RS) {
    error("doConnect", QStringLiteral("FCLE_FW_REJECT_RS"));
    io.closeScanner();
    connectFailed(QStringLiteral("IDS_DV_FW_REJECT_MSG"), QStringLiteral("IDS_DV_FW_REJECT_INFO"));
    leave("doConnect");
    return;
  }
  if (status.dwLastErr != 0 || status.wFWInfo != FCL_FWINFO_READY) {
    error("doConnect", platform::formatText(QStringLiteral("Status[%d]"), {static_cast<long long>(status.wFWInfo)}));
    io.closeScanner();
    if (status.wFWInfo == FCL_FWINFO_AUTO_START_SCAN) {
      connectFailed(QStringLiteral("IDS_CM_WARNING"), QStringLiteral("IDS_DD_AUTO_START_SCAN_MSG"));
    } else {
      connectFailed(QStringLiteral("IDS_DV_NOT_READY_MSG"), QStringLiteral("IDS_DV_NOT_READY_INFO"));
    }
    leave("doConnect");
    return;
  }

  // A settings block that cannot be read is a scanner that stopped answering (or, refused, one
  // that is not ready), not one of another version.
  FCL_RS_PARAM_ALL param{};
  const CommandOutcome read = io.judge([&] { return io.getParamAll(&param); });
  if (!read) {
    error("doConnect", QStringLiteral("getParamAll FAIL!"));
    io.closeScanner();
    if (read.kind == CommandOutcome::Kind::Refused) {
      connectFailed(QStringLiteral("IDS_DV_NOT_READY_MSG"), QStringLiteral("IDS_DV_NOT_READY_INFO"));
    } else {
      connectFailed(QStringLiteral("IDS_DV_UNREACHABLE_MSG"), QStringLiteral("IDS_DV_UNREACHABLE_INFO"));
    }
    leave("doConnect");
    return;
  }
  if (!fclStructVersionSupported(param.dwStructVersion)) {
    io.closeScanner();
    ut.message(text("IDS_CM_ERROR"), text("IDS_PV_ERROR_MSG"), false);
    leave("doConnect");
    return;
  }
  io.closeScanner();

  std::unique_ptr<ViewController> main = m_mainWindowCreator();
  main->setupInfo(selectedDevice.at(device_entry::kAddress), selectedDevice.at(device_entry::kModule),
                  selectedDevice.at(device_entry::kName), selectedDevice.at(device_entry::kInterface),
                  selectedDevice.at(device_entry::kUuid), selectedDevice.at(device_entry::kTwainName));
  m_mainWindow = main.release();
  m_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
  m_mainWindow->setWindowModality(Qt::ApplicationModal);
  // The Devices button brings this window back (before the main window closes, so the program
  // never runs without a window).
  // It comes back with the size and place it has now.
  const QByteArray geometry = saveGeometry();
  connect(m_mainWindow, &ViewController::returnToDevices, this, [this, geometry] {
    restoreGeometry(geometry);
    show();
  });
  // The main window opens at its own size, over this one.
  m_mainWindow->loadViewIfNeeded();
  platform::openCentredOn(*m_mainWindow, *this);
  m_mainWindow->show();
  close();
  leave("doConnect");
}

void DevicesViewController::CancelBtnPushed() {
  enter("CancelBtnPushed");
  if (m_terminateHandler) m_terminateHandler();
  leave("CancelBtnPushed");
}
