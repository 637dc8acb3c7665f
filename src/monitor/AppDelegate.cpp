#include "monitor/AppDelegate.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <utility>
#include <vector>

#include "monitor/AutostartEntry.h"
#include "monitor/DesktopApplication.h"
#include "monitor/MonitorBus.h"
#include "monitor/MonitorInstanceLock.h"
#include "monitor/PowerOffWatch.h"
#include "monitor/RunningProcesses.h"
#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "monitor/ScannerUtility/MonitorRunLoop.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "platform/PropertyList.h"
#include "platform/QuitSignals.h"
#include "platform/dnssd/Dnssd.h"

using namespace monitor;

namespace {

void debugLine(const QString& text) { MonitorDebugLog::line(text); }
void debugLine(const char* text) { MonitorDebugLog::line(QString::fromUtf8(text)); }

const QString kDeviceSetting = QStringLiteral("DeviceSetting.plist");
const QString kRemoteSetting = QStringLiteral("Setting_RemoteSetup.plist");
const QString kDebugLogInfo = QStringLiteral("DebugLogInfo.plist");
const QString kScanModel = QStringLiteral("scanModel.desktop");

// What libdbus tells of its own connection: the bus has gone away.
const QString kLocalPath = QStringLiteral("/org/freedesktop/DBus/Local");
const QString kLocalInterface = QStringLiteral("org.freedesktop.DBus.Local");
const QString kDisconnected = QStringLiteral("Disconnected");

// A copy of a resource the user may then edit: readable by all, writable by its owner.
bool copyResource(const QString& from, const QString& to) {
  if (!QFile::copy(from, to)) return false;
  QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                QFileDevice::ReadOther);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Set-up

AppDelegate::AppDelegate() : AppDelegate(Environment{}) {}

AppDelegate::AppDelegate(Environment environment, QObject* parent) : QObject(parent), m_env(std::move(environment)) {
  if (m_env.home.isEmpty()) m_env.home = QDir::homePath();
  if (m_env.bundlePath.isEmpty()) m_env.bundlePath = QCoreApplication::applicationFilePath();
  if (m_env.resourceDir.isEmpty()) m_env.resourceDir = resourceFolder(m_env.bundlePath);
  if (m_env.autostartDir.isEmpty()) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config)) config = m_env.home + QStringLiteral("/.config");
    m_env.autostartDir = config + QStringLiteral("/autostart");
  }
  if (m_env.runtimeDir.isEmpty()) m_env.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!m_env.sessionBus) m_env.sessionBus = QDBusConnection::sessionBus();
  if (!m_env.systemBus) m_env.systemBus = QDBusConnection::systemBus();
  if (!m_env.quit) m_env.quit = [] { QCoreApplication::quit(); };
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &AppDelegate::circulationMonitor);
  connect(&m_busCheck, &QTimer::timeout, this, [this] {
    if (!m_env.sessionBus->isConnected()) sessionBusLost();
  });
}

AppDelegate::~AppDelegate() {
  m_timer.stop();
  m_busCheck.stop();
  if (m_observingTerminate)
    m_env.sessionBus->disconnect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kAppWillTerminate,
                                 this, SLOT(isRemovePclist(QDBusMessage)));
  if (m_watchingSession)
    m_env.sessionBus->disconnect(QString(), kLocalPath, kLocalInterface, kDisconnected, this, SLOT(sessionBusLost()));
  m_notifiers.clear();
}

QString AppDelegate::resourceFolder(const QString& executable) {
  const QFileInfo exe(executable);
  const QString program = exe.fileName();
  const QDir bin = exe.absoluteDir();
  const QString installed = QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../share/") + program));
  if (QFileInfo(installed).isDir()) return installed;
  return QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../resources/") + program));
}

QString AppDelegate::resourcePath(const QString& name) const { return m_env.resourceDir + QLatin1Char('/') + name; }

QVariantMap AppDelegate::resourceDeviceSetting() const {
  // The program's own resources do not change while it runs: read once.
  if (!m_resourceDeviceSetting) {
    QVariantMap map;
    if (platform::PropertyList::read(resourcePath(kDeviceSetting), map) != platform::PropertyList::Status::Ok)
      map.clear();
    m_resourceDeviceSetting = map;
  }
  return *m_resourceDeviceSetting;
}

QString AppDelegate::getPlistPath() const {
  QString folder = m_env.home + QStringLiteral("/Library/Preferences");
  const QVariantMap resource = resourceDeviceSetting();
  const QString driver = QStringLiteral("DriverName");
  const QString product = QStringLiteral("ProductName");
  if (resource.contains(driver) && resource.contains(product))
    folder += QLatin1Char('/') + resource.value(driver).toString() + QLatin1Char('/') +
              resource.value(product).toString();
  return folder;
}

void AppDelegate::sendPlatformMessagesToDebugLog() {
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
    MonitorDebugLog::line(qFormatLogMessage(type, context, message));
  });
  platform::setDnssdLogHook([](const QString& line) { MonitorDebugLog::line(line); });
}

// ---------------------------------------------------------------------------------------------
// Launch

bool AppDelegate::applicationDidFinishLaunching() {
  // Before anything else: a second monitor of this program for this user ends here, whatever
  // the first one is doing. The files are only read, for the debug switch.
  const QString program = QFileInfo(m_env.bundlePath).fileName();
  m_lock = std::make_unique<MonitorInstanceLock>();
  const MonitorInstanceLock::Result lock =
      m_lock->take(program, m_env.runtimeDir, m_env.home + QStringLiteral("/Library/Preferences"));
  if (lock == MonitorInstanceLock::Result::HeldElsewhere) {
    readDebugSwitch();
    debugLine(QStringLiteral("%1 already runs for this user (%2 is locked): this start ends").arg(program, m_lock->path()));
    m_lock.reset();
    return false;
  }
  // First of all, so that a quit signal that comes while the launch is under way (the files
  // below, the buses) is a request the event loop takes up once the launch is done, never the
  // signal's default action.
  if (m_env.watchQuitSignals) {
    m_signals = std::make_unique<platform::QuitSignals>();
    connect(m_signals.get(), &platform::QuitSignals::requested, this, &AppDelegate::quitRequested);
  }
  createRemotePlist();
  if (lock == MonitorInstanceLock::Result::Unavailable)
    debugLine(QStringLiteral("no lock file for a single monitor could be taken (%1): a second start is not stopped")
                  .arg(m_lock->whyNotTaken()));
  addAppToSystemLoginItem();

  controllerScan::Environment scanEnv = m_env.scan;
  scanEnv.deviceFilePath = [this] { return getPlistPath() + QLatin1Char('/') + kDeviceSetting; };
  _backscan = std::make_unique<controllerScan>(std::move(scanEnv));

  if (m_env.sessionBus->isConnected()) {
    m_observingTerminate =
        m_env.sessionBus->connect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kAppWillTerminate,
                                  this, SLOT(isRemovePclist(QDBusMessage)));
    // The session's end: libdbus's own signal when the bus goes, and the connection's state
    // looked at now and then in case the signal cannot be had.
    m_watchingSession = true;
    m_env.sessionBus->connect(QString(), kLocalPath, kLocalInterface, kDisconnected, this, SLOT(sessionBusLost()));
    m_busCheck.start(m_env.timings.busCheck);
  } else {
    // Started without a session bus, the monitor has no session to end with: it runs on until a
    // signal or power-off ends it.
    debugLine("no session bus: the monitor does not end with a session");
  }
  if (!m_observingTerminate)
    debugLine("no session bus: termination requests are not watched");

  m_power = new PowerOffWatch(*m_env.systemBus, this);
  connect(m_power, &PowerOffWatch::prepareForShutdown, this, &AppDelegate::prepareForShutdown);
  if (!m_power->start()) debugLine("no system bus: power-off is not watched");

  if (QCoreApplication* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);

  m_timer.setInterval(m_env.timings.tick);
  m_timer.start();
  return true;
}

void AppDelegate::createRemotePlist() {
  MonitorDebugLog::setEnabled(false);
  const QString folder = getPlistPath();
  QDir().mkpath(folder);

  const QString remoteSetting = folder + QLatin1Char('/') + kRemoteSetting;
  if (QFileInfo::exists(resourcePath(kRemoteSetting)) && !QFileInfo::exists(remoteSetting))
    copyResource(resourcePath(kRemoteSetting), remoteSetting);

  QVariantMap debug;
  if (platform::PropertyList::read(folder + QLatin1Char('/') + kDebugLogInfo, debug) == platform::PropertyList::Status::Ok)
    MonitorDebugLog::setEnabled(debug.value(QStringLiteral("isShowDebugLog")).toBool());

  const QString deviceSetting = folder + QLatin1Char('/') + kDeviceSetting;
  if (!QFileInfo::exists(deviceSetting)) {
    copyResource(resourcePath(kDeviceSetting), deviceSetting);
    return;
  }
  // The resource names a scanner by its UUID: the user's file for that scanner takes the
  // resource's address. Only a UUID present on both sides counts: two files without one say
  // nothing about being the same scanner.
  const QString uuid = QStringLiteral("UUID");
  const QString address = QStringLiteral("IPAddress");
  const QVariantMap resource = resourceDeviceSetting();
  QVariantMap user;
  if (platform::PropertyList::read(deviceSetting, user) != platform::PropertyList::Status::Ok) return;
  if (!resource.contains(uuid) || !user.contains(uuid)) return;
  if (resource.value(uuid).toString() != user.value(uuid).toString()) return;
  if (platform::PropertyList::update(deviceSetting, {{address, resource.value(address).toString()}}) !=
      platform::PropertyList::Status::Ok)
    debugLine(QStringLiteral("DeviceSetting.plist: the address could not be written"));
}

QString AppDelegate::autostartFile() const {
  return m_env.autostartDir + QLatin1Char('/') + QFileInfo(m_env.bundlePath).fileName() + QStringLiteral(".desktop");
}

void AppDelegate::addAppToSystemLoginItem() {
  QDir().mkpath(m_env.autostartDir);
  const QFileInfo exe(m_env.bundlePath);
  const QString model = resourceDeviceSetting().value(QStringLiteral("DriverName")).toString();
  if (AutostartEntry::ensure(autostartFile(), exe.absoluteFilePath(), model) == AutostartEntry::Outcome::Failed)
    debugLine(QStringLiteral("the login item could not be read or written: %1").arg(autostartFile()));
}

// ---------------------------------------------------------------------------------------------
// The tick

void AppDelegate::readDebugSwitch() {
  const QString path = getPlistPath() + QLatin1Char('/') + kDebugLogInfo;
  if (!QFileInfo::exists(path)) {
    MonitorDebugLog::setEnabled(false);
    return;
  }
  QVariantMap map;
  if (platform::PropertyList::read(path, map) != platform::PropertyList::Status::Ok || map.isEmpty()) return;
  MonitorDebugLog::setEnabled(map.value(QStringLiteral("isShowDebugLog")).toBool());
}

void AppDelegate::circulationMonitor() {
  if (m_inTick || m_stopping || !_backscan) return;
  m_inTick = true;
  struct EndOfTick {
    bool& flag;
    ~EndOfTick() { flag = false; }
  } endOfTick{m_inTick};

  dwPcListCurrectCount = 0;
  readDebugSwitch();
  const QString scanApp = resourcePath(kScanModel);

  if (!getCurrentPlistCount()) {
    // The event loop is served, so a removal, a signal or power-off is handled at once and ends
    // the pause; the timer's ticks that fall in it are skipped.
    MonitorRunLoop::runUntil(m_env.timings.countFailurePause, [this] { return m_stopping; },
                             MonitorTimings::current().slice);
    return;
  }
  if (m_stopping) return;

  if (dwPcListCurrectCount < 1) {
    if (!isAddPlistSuccess()) return;
  } else {
    std::vector<FCL_RS_PCLIST> list;
    if (!_backscan->readPCList(dwPcListCurrectCount, &list)) return;
    if (m_stopping) return;
    const bool listed =
        std::any_of(list.begin(), list.end(), [this](const FCL_RS_PCLIST& e) { return _backscan->isOwnEntry(e); });
    if (!listed && !isAddPlistSuccess()) return;
  }
  if (m_stopping) return;

  if (_backscan->getNetWorkInterrupt() != 2) return;
  if (m_stopping) return;

  const QString modelName = resourceDeviceSetting().value(QStringLiteral("DriverName")).toString();
  QVariantMap setting;
  const bool readable = platform::PropertyList::read(getPlistPath() + QLatin1Char('/') + kRemoteSetting, setting) ==
                        platform::PropertyList::Status::Ok;
  const QString thirdKey = QStringLiteral("ThirdAppPath");
  bool handedOff = false;
  if (readable && setting.value(QStringLiteral("IsThirdAppScan")).toBool() && setting.contains(thirdKey)) {
    const QString thirdAppPath = setting.value(thirdKey).toString();
    const DesktopApplication chosen(thirdAppPath);
    if (chosen.isValid()) {
      handOff(thirdAppPath, chosen.program(), modelName);
      handedOff = true;
    } else {
      // An application that cannot start would never take the event, and the clear below would
      // lose the scan: the scan application of the monitor takes it instead.
      debugLine(QStringLiteral("ThirdAppPath \"%1\" names no application; using the scan application").arg(thirdAppPath));
    }
  }
  if (!handedOff && !runScanApplication(scanApp)) return;
  // A stop clears the press itself, before it removes this computer.
  if (m_stopping) return;

  // The clear names no press: it takes whatever event the scanner holds. Once a stop has taken
  // this press over (a power-off called off while the application ran), it is that stop's, and
  // what the scanner holds now may be another computer's press.
  if (!m_pressTaken) {
    debugLine("the press was cleared by the power-off that was called off: no clear");
    return;
  }
  _backscan->clearEventChecking();
  m_pressTaken = false;
}

bool AppDelegate::runScanApplication(const QString& scanApp) {
  const DesktopApplication app(scanApp);
  qint64 pid = 0;
  if (!app.launch({QString::fromLatin1(kCreatorVariable) + QLatin1Char('=') + m_env.creatorSignature}, &pid)) {
    debugLine(QStringLiteral("the scan application could not be started: %1").arg(scanApp));
    return false;
  }
  // The wait is for this process alone: what it leaves running when it ends (a helper, a program
  // it started) does not hold the monitor. One that ended already has no start time.
  m_scanPid = pid;
  m_scanStartTime = RunningProcesses::startTime(pid);
  m_pressTaken = true;
  m_found = true;
  m_awaitingApplication = true;
  while (m_found && !m_stopping) {
    debugLine("checkPageViewerRun");
    MonitorRunLoop::runFor(m_env.timings.appCheck);
    if (m_stopping) break;
    checkPageViewerRun();
  }
  m_awaitingApplication = false;
  return true;
}

void AppDelegate::handOff(const QString& thirdAppPath, const QString& program, const QString& modelName) {
  Notifier& notifier = notifierFor(thirdAppPath);
  const QString connection = _backscan->IPAddressStr();
  if (connection == QLatin1String(USBWraper::kUSBConnection)) {
    notifier.notify(modelName, static_cast<uint16_t>(_backscan->usbWraper().scannerVendorID),
                    static_cast<uint16_t>(_backscan->usbWraper().scannerProductID), QString());
  } else {
    notifier.notify(modelName, QString(), connection);
  }
  m_pressTaken = true;
  m_awaitingApplication = true;
  while (!m_stopping) {
    const bool running = m_env.launcher.isTargetRunning ? m_env.launcher.isTargetRunning(thirdAppPath)
                                                        : RunningProcesses::runsProgram(program);
    if (!running) break;
    MonitorRunLoop::runFor(m_env.timings.appCheck);
  }
  m_awaitingApplication = false;
}

Notifier& AppDelegate::notifierFor(const QString& targetPath) {
  auto it = m_notifiers.find(targetPath);
  if (it == m_notifiers.end())
    it = m_notifiers.emplace(targetPath, std::make_unique<Notifier>(targetPath, *m_env.sessionBus, m_env.launcher))
             .first;
  return *it->second;
}

void AppDelegate::checkPageViewerRun() {
  m_found = RunningProcesses::isRunning(m_scanPid, m_scanStartTime);
}

bool AppDelegate::getCurrentPlistCount() {
  controllerScan::Operation op(*_backscan);
  if (!op) return false;
  USBWraper& wraper = _backscan->usbWraper();
  const QString connection = _backscan->IPAddressStr();
  debugLine(QStringLiteral("ipaddress:%1").arg(connection));
  if (!_backscan->confirmOpenConnect(connection)) {
    wraper.CloseConnect();
    return false;
  }
  FCL_CMD cmd;
  FCL_DEVICE_STATUS status{};
  USBWraper::CreateCommand(&cmd, FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, sizeof(int32_t));
  debugLine("====Send Command FCLC_RS_PCLIST to get current PCList count start====");
  if (wraper.SendCommand(&cmd, &status)) {
    debugLine("====Send Command FCLC_RS_PCLIST to get current PCList count success====");
    int32_t count = 0;
    const bool ok = wraper.GetData(&count, sizeof count);
    wraper.CloseConnect();
    if (!ok) return false;
    dwPcListCurrectCount = count;
    return true;
  }
  debugLine("====Send Command FCLC_RS_PCLIST to get current PCList count faild and modify network IP and return====");
  wraper.CloseConnect();
  if (connection == QLatin1String(USBWraper::kUSBConnection) || _backscan->aborted() || m_stopping) return false;
  for (int attempt = 1; attempt <= 4 && !m_stopping; ++attempt) {
    debugLine("modifyNetIPConnect start");
    const bool found = _backscan->modifyNetIPConnect();
    debugLine(QStringLiteral("browser scanner count = %1").arg(attempt));
    if (found) break;
    if (attempt < 4) MonitorRunLoop::runFor(m_env.timings.rediscoveryPause);
  }
  debugLine("modifyNetIPConnect faild");
  return false;
}

bool AppDelegate::isAddPlistSuccess() {
  if (!_backscan->comparePCListMaxCountAndCurrentCount()) {
    debugLine("comparePCListMaxCountAndCurrentCount faild");
    return false;
  }
  if (!_backscan->addPlistToDevice()) {
    debugLine("addPlistToDevice faild");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Stopping

void AppDelegate::isRemovePclist(const QDBusMessage& message) {
  // Any program of the user may send this: only the documented shape is read, so that no other
  // one reaches the demarshalling.
  if (message.signature() != QLatin1String("a{sv}")) {
    debugLine(QStringLiteral("appWillTerminate with arguments \"%1\" ignored: a{sv} expected").arg(message.signature()));
    return;
  }
  const QVariant first = message.arguments().first();
  const QVariantMap info = first.userType() == qMetaTypeId<QDBusArgument>()
                               ? qdbus_cast<QVariantMap>(first.value<QDBusArgument>())
                               : first.toMap();
  // Only a string names a monitor: a byte array or a number of the same text names nobody.
  const QVariant monitorPath = info.value(QStringLiteral("monitorpath"));
  if (monitorPath.userType() != QMetaType::QString || monitorPath.toString() != m_env.bundlePath) return;
  if (m_quitting || m_poweringOff) {
    debugLine("appWillTerminate during a stop: its removal is the stop's");
    return;
  }

  if (m_observingTerminate) {
    m_env.sessionBus->disconnect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kAppWillTerminate,
                                 this, SLOT(isRemovePclist(QDBusMessage)));
    m_observingTerminate = false;
  }
  QDBusConnection bus = *m_env.sessionBus;
  const QString path = m_env.bundlePath;
  _backscan->removePCList([bus, path](bool ok) mutable {
    if (!ok) {
      // Nobody is told of a removal that did not happen.
      debugLine("remove pclist failed: removePclistSuccess not posted");
      return;
    }
    QDBusMessage signal =
        QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, monitorbus::kRemovePclistSuccess);
    signal << QVariantMap{{QStringLiteral("mpath"), path}};
    bus.send(signal);
  });
}

void AppDelegate::logWillTerminate() {
  if (m_loggedWillTerminate) return;
  m_loggedWillTerminate = true;
  debugLine("app will terminate");
}

void AppDelegate::quitNow() {
  m_timer.stop();
  if (m_power) m_power->release();
  if (m_quitCalled) return;
  m_quitCalled = true;
  m_env.quit();
}

controllerScan::Removal AppDelegate::stopRemoval() {
  controllerScan::Removal how;
  // The press goes to this stop's clear: nothing else clears it, unless the scanner did not take
  // that clear and the stop is called off while the tick still waits for the press's
  // application (givePressBack).
  how.clearEventFirst = std::exchange(m_pressTaken, false);
  m_stopLeftPress = false;
  if (how.clearEventFirst) {
    const quint64 stop = m_stop;
    how.cleared = [this, stop](bool made) {
      if (made) return;
      if (stop == m_stop)
        m_stopLeftPress = true;  // decided when the power-off is called off
      else
        givePressBack();
    };
  }
  how.deadline = std::chrono::steady_clock::now() + m_env.timings.stopLimit;
  return how;
}

void AppDelegate::givePressBack() {
  // The wait goes on and clears the press once the application has ended, as without the stop.
  // A wait the stop has ended left the press on the scanner: the next tick finds it again.
  if (!m_awaitingApplication) return;
  debugLine("the press was not cleared before the power-off was called off: it is cleared when the application ends");
  m_pressTaken = true;
}

void AppDelegate::startStopRemoval() {
  m_stopRemoval = StopRemoval::Running;
  const quint64 stop = ++m_stop;
  const controllerScan::Removal how = stopRemoval();
  _backscan->abortOperation();
  _backscan->removePCList(
      [this, stop](bool) {
        // A power-off that was called off meanwhile ended this stop: the inhibitor is kept.
        if (stop != m_stop) return;
        m_stopRemoval = StopRemoval::Done;
        if (m_power) m_power->release();
        if (m_quitting) quitNow();
      },
      how);
}

void AppDelegate::quitRequested(int signalNumber) {
  debugLine(QStringLiteral("signal %1: quitting").arg(signalNumber));
  if (m_quitting) {
    // A further signal: the removal under way is broken off, nothing is removed again.
    if (m_stopRemoval == StopRemoval::Running && _backscan) {
      debugLine("the removal is broken off");
      _backscan->abortOperation();
      _backscan->dropPendingRemovals();
    }
    quitNow();
    return;
  }
  beginQuit();
}

void AppDelegate::sessionBusLost() {
  if (!m_watchingSession) return;
  m_watchingSession = false;
  m_busCheck.stop();
  if (m_quitting) return;  // a quit is under way already: its removal is the one
  debugLine("the session bus went away: the session has ended, quitting");
  beginQuit();
}

void AppDelegate::beginQuit() {
  m_quitting = true;
  m_stopping = true;
  m_timer.stop();
  logWillTerminate();
  if (!_backscan) {
    quitNow();
    return;
  }
  if (m_poweringOff) {
    // The power-off's removal is this stop's removal: it ends within its own limits, then the
    // monitor quits.
    if (m_stopRemoval != StopRemoval::Running) quitNow();
    return;
  }
  startStopRemoval();
}

void AppDelegate::prepareForShutdown(bool start) {
  if (start) {
    if (m_poweringOff || m_quitting || !_backscan) return;
    debugLine("power-off: removing this computer from the PC list");
    m_poweringOff = true;
    m_stopping = true;
    m_timer.stop();
    startStopRemoval();
    return;
  }
  if (!m_poweringOff || m_quitting) return;
  debugLine("power-off called off: going on");
  m_poweringOff = false;
  m_stopping = false;
  m_stopRemoval = StopRemoval::None;
  ++m_stop;
  if (std::exchange(m_stopLeftPress, false)) givePressBack();
  if (m_power) m_power->takeInhibitor();
  m_timer.start();
}

void AppDelegate::applicationWillTerminate() {
  logWillTerminate();
  m_timer.stop();
  if (m_power) m_power->release();
  // A stop has removed (or broken its removal off): nothing more. Only a quit that came without
  // one removes the entry here.
  if (!_backscan || m_quitting || m_poweringOff || m_stopRemoval != StopRemoval::None) return;
  m_stopRemoval = StopRemoval::Running;
  m_stopping = true;
  ++m_stop;
  _backscan->removePCList({}, stopRemoval());
}
