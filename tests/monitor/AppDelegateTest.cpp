// The monitor's cycle against the simulated scanner over TCP on loopback, with private session
// and system buses, a temporary HOME and XDG_CONFIG_HOME, a stand-in scan application and the
// waits made short. The tests call the tick themselves unless they test the timer.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cerrno>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "MonitorTestSupport.h"
#include "FakeLogind.h"
#include "PrivateBus.h"
#include "USB/UsbIds.h"
#include "monitor/AppDelegate.h"
#include "monitor/MonitorBus.h"
#include "monitor/Notifier.h"
#include "monitor/PowerOffWatch.h"
#include "monitor/RunningProcesses.h"
#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "platform/FixedText.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"
#include "platform/dnssd/Dnssd.h"

using namespace std::chrono_literals;
using monitor::FCL_RS_PCLIST;
using monitor::FCLC_RS_PCLIST;
using monitor::FCLC_RS_EVENT_CHECKING;
using monitor::FCLC_SYSTEM_TIME;
using monitor::FCLD_RS_PCLIST_ADD;
using monitor::FCLD_RS_PCLIST_REMOVE;
using monitor::FCLD_RS_PCLIST_MAX_COUNT;
using monitor::FCLD_RS_PCLIST_CUR_COUNT;
using monitor::FCLD_RS_PCLIST_ALL;
using monitor::FCLD_SYSTEM_TIME_UTC;
using monitor::kEventQualifierNetwork;
using monitor::kEventClearLength;
using monitor::kConnectTypeNetwork;

namespace {

const char* kPCUUID = "11111111-2222-3333-4444-555555555555";
const char* kScannerUUID = "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

const SeenCommand kCount{monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4};
const SeenCommand kCapacity{monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4};
const SeenCommand kAdd{monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, 316};
const SeenCommand kRemove{monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_REMOVE, 316};
const SeenCommand kClock{monitor::FOP_WRITE, FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_UTC, 36};
const SeenCommand kPoll{monitor::FOP_READ, FCLC_RS_EVENT_CHECKING, kEventQualifierNetwork, 64};
const SeenCommand kClear{monitor::FOP_COMMAND, FCLC_RS_EVENT_CHECKING, 0, kEventClearLength};
SeenCommand listRead(uint32_t n) { return {monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, n * 316}; }

FCL_RS_PCLIST entry(const QString& name, const QString& uuid) {
  FCL_RS_PCLIST e{};
  platform::textToField(e.szPCName, name);
  platform::textToField(e.szPCUUID, uuid);
  e.dwConnectType = kConnectTypeNetwork;
  return e;
}

void writePlist(const QString& path, const QVariantMap& map) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  ASSERT_EQ(platform::PropertyList::write(path, map), platform::PropertyList::Status::Ok) << path.toStdString();
}

QVariantMap readPlist(const QString& path) {
  QVariantMap map;
  platform::PropertyList::read(path, map);
  return map;
}

void writeScript(const QString& path, const QString& body) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(("#!/bin/sh\n" + body).toUtf8());
  f.close();
  f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Collects the signals of the monitor's interface that arrive on one connection.
class BusObserver : public QObject {
  Q_OBJECT
 public:
  explicit BusObserver(QDBusConnection bus) : m_bus(bus) {
    for (const QString& name : {monitorbus::kExecutePushScan, monitorbus::kRemovePclistSuccess,
                                QStringLiteral("sentinel")})
      m_bus.connect(QString(), monitorbus::kPath, monitorbus::kInterface, name, this, SLOT(received(QDBusMessage)));
  }
  std::vector<std::pair<QString, QVariantMap>> seen;
  std::vector<QVariantMap> of(const QString& member) const {
    std::vector<QVariantMap> out;
    for (const auto& [name, map] : seen)
      if (name == member) out.push_back(map);
    return out;
  }
  void send(const QString& member, const QVariantMap& map) {
    QDBusMessage m = QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, member);
    if (member != monitorbus::kFinishLaunching) m << map;
    m_bus.send(m);
  }

 public slots:
  void received(const QDBusMessage& m) {
    QVariantMap map;
    if (!m.arguments().isEmpty()) map = qdbus_cast<QVariantMap>(m.arguments().first().value<QDBusArgument>());
    seen.emplace_back(m.member(), map);
  }

 private:
  QDBusConnection m_bus;
};

// A process-wide counter so every test's creator signature is its own (other test programs run
// at the same time and start stand-in applications too).
std::atomic<int> g_testNumber{0};

class MonitorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!session.isRunning()) GTEST_SKIP() << "no private session bus: " << session.why().toStdString();
    home = dir.filePath("home");
    resources = dir.filePath("resources");
    QDir().mkpath(home);
    QDir().mkpath(resources);
    signature = QStringLiteral("T%1x%2").arg(getpid()).arg(++g_testNumber);
    writePlist(resources + "/DeviceSetting.plist", {{"DriverName", "QMX-7315W"},
                                                    {"ProductName", "TW-Zerelta QMX-7315W"},
                                                    {"VID", "1209"},
                                                    {"PID", "0001"},
                                                    {"IPAddress", "USB"}});
    writePlist(resources + "/Setting_RemoteSetup.plist",
               {{"Location", "~/Pictures"}, {"IsOpen", "0"}, {"IsThirdAppScan", false}});
    // The stand-in scan application: notes that it started and with which tag, waits until the
    // test lets it go (at most 20 s), notes that it ends and ends.
    writeScript(dir.filePath("standin.sh"),
                QStringLiteral("echo \"$%1\" > '%2/started'\n"
                               "i=0; while [ ! -e '%2/release' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
                               "touch '%2/ended'\n")
                    .arg(QLatin1String(AppDelegate::kCreatorVariable), dir.path()));
    QFile desktop(resources + "/scanModel.desktop");
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write(("[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + dir.filePath("standin.sh") + " %U\n")
                      .toUtf8());
    desktop.close();
    previousSink = platform::setSystemLogSink([this](const QString& line) {
      std::lock_guard lock(logMutex);
      logLines.append(line);
    });
    sim.log().setListener([this](const sim::LoggedCommand& c) {
      if (c.cmd.byOPCode == monitor::FOP_COMMAND && c.cmd.byDTC == FCLC_RS_EVENT_CHECKING)
        clearAfterEnd = QFileInfo::exists(dir.filePath("ended"));
    });
  }
  void TearDown() override {
    delegate.reset();
    sim.log().setListener({});
    platform::setSystemLogSink(previousSink);
    MonitorDebugLog::setEnabled(false);
  }

  QString prefs() const { return home + "/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W"; }

  void writeUserDevice(QVariantMap extra = {}) {
    QVariantMap map{{"IPAddress", sim.address()}, {"UUID", kScannerUUID}, {"VID", "1209"}, {"PID", "0001"},
                    {"PCUUID", kPCUUID}};
    for (auto it = extra.begin(); it != extra.end(); ++it) map.insert(it.key(), it.value());
    writePlist(prefs() + "/DeviceSetting.plist", map);
  }

  AppDelegate::Environment environment() {
    AppDelegate::Environment env;
    env.creatorSignature = signature;
    env.home = home;
    env.bundlePath = dir.filePath("bin/tullet-test");
    env.resourceDir = resources;
    env.autostartDir = dir.filePath("config/autostart");
    env.runtimeDir = dir.filePath("runtime");
    QDir().mkpath(env.runtimeDir);
    env.sessionBus = session.connect();
    env.systemBus = system.isRunning() ? system.connect()
                                       : QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                                       QStringLiteral("zr-no-system-bus"));
    env.watchQuitSignals = false;
    env.quit = [this] { ++quits; };
    env.scan.hostName = [] { return QStringLiteral("test-host"); };
    env.timings.tick = 3600s;  // the tests call the tick themselves
    env.timings.countFailurePause = 10ms;
    env.timings.appCheck = 20ms;
    env.timings.rediscoveryPause = 1ms;
    return env;
  }

  AppDelegate& launch(AppDelegate::Environment env) {
    delegate.reset();  // the one before lets the monitor's lock go
    delegate = std::make_unique<AppDelegate>(std::move(env));
    EXPECT_TRUE(delegate->applicationDidFinishLaunching());
    return *delegate;
  }
  AppDelegate& launch() { return launch(environment()); }

  void pressForUs() { ASSERT_TRUE(sim.model().pressScanButton(kPCUUID)); }
  // The simulator applies a list change once the data has arrived on its side, a moment after
  // the monitor went on: wait (generously) for the list to show `listed`.
  bool listedSettlesTo(bool listed) {
    waitUntil([&] { return ownEntryListed() == listed; }, 10s);
    return ownEntryListed() == listed;
  }
  bool ownEntryListed() {
    for (const auto& e : sim.model().pcList())
      if (std::strncmp(e.szPCUUID, kPCUUID, 40) == 0) return true;
    return false;
  }
  std::vector<SeenCommand> seen() { return seenCommands(sim.log()); }
  // The simulator logs an exchange once it has ended on its side, which may be a moment after
  // the monitor went on: wait for the count first (what follows then compares the commands).
  std::vector<SeenCommand> seenAfter(std::size_t n) {
    sim.log().waitForCount(n, 10s);
    return seen();
  }
  // The last command, once the log shows `c` (or after a generous wait, whatever came).
  SeenCommand lastCommandAfter(const SeenCommand& c) {
    waitUntil([&] {
      const auto all = seen();
      return !all.empty() && all.back() == c;
    }, 10s);
    const auto all = seen();
    return all.empty() ? SeenCommand{} : all.back();
  }
  bool logged(const QString& line) {
    std::lock_guard lock(logMutex);
    return logLines.contains(line);
  }
  int loggedCount(const QString& line) {
    std::lock_guard lock(logMutex);
    return static_cast<int>(logLines.count(line));
  }
  // Lets the stand-in application go once it runs and nothing was cleared yet.
  void releaseWhenStarted(bool* sawRunningWithoutClear) {
    auto* timer = new QTimer(delegate.get());
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [this, timer, sawRunningWithoutClear] {
      if (!QFileInfo::exists(dir.filePath("started"))) return;
      bool cleared = false;
      for (const auto& c : seen()) cleared |= c == kClear;
      *sawRunningWithoutClear = !cleared && delegate->found();
      QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
      timer->stop();
    });
    timer->start();
  }

  QTemporaryDir dir;
  QString home, resources, signature;
  MonitorSim sim;
  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  PrivateBus session;
  PrivateBus system;
  std::unique_ptr<AppDelegate> delegate;
  int quits = 0;
  std::atomic<bool> clearAfterEnd{false};
  std::mutex logMutex;
  QStringList logLines;
  platform::SystemLogSink previousSink;
};

// ---- Launch ---------------------------------------------------------------------------------

TEST_F(MonitorFixture, FirstLaunchMakesThePreferenceFilesAndTheLoginItemAndTicksOneIntervalLater) {
  MonitorDebugLog::setEnabled(true);
  AppDelegate::Environment env = environment();
  env.timings = AppDelegate::Timings{};  // the real 5 s cycle
  AppDelegate& app = launch(std::move(env));

  EXPECT_TRUE(QFileInfo(prefs()).isDir());
  EXPECT_EQ(readPlist(prefs() + "/DeviceSetting.plist").value("DriverName").toString(), "QMX-7315W");
  EXPECT_EQ(readPlist(prefs() + "/Setting_RemoteSetup.plist").value("Location").toString(), "~/Pictures");
  EXPECT_FALSE(MonitorDebugLog::enabled());
  EXPECT_TRUE(app.timer().isActive());
  EXPECT_EQ(app.timer().interval(), 5000);
  EXPECT_GT(app.timer().remainingTime(), 0) << "the first tick is one interval away";
  EXPECT_FALSE(app.inTick());

  // The login item: the absolute path of the executable.
  QFile entry(dir.filePath("config/autostart/tullet-test.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(entry.readAll());
  EXPECT_THAT(text.toStdString(), testing::HasSubstr("[Desktop Entry]"));
  EXPECT_THAT(text.toStdString(), testing::HasSubstr("Exec=\"" + dir.filePath("bin/tullet-test").toStdString() + "\""));

}

TEST_F(MonitorFixture, ASecondMonitorOfTheSameProgramAndUserEndsAtOnceAndTouchesNothing) {
  struct Case {
    const char* name;
    QString runtimeDir;        // of the first monitor ("" for none)
    bool secondSeesNoRuntime;  // the second one starts without the runtime folder
    QString otherProgram;      // the second monitor's executable name ("" for the same)
    QString lockFile;          // the lock the second one finds held, relative to the test's folder
    bool secondRuns;
  };
  const QString homeLock = "home/Library/Preferences/tullet-test@" + QSysInfo::machineHostName() + ".lock";
  const Case cases[] = {
      {"same program", "runtime", false, "", "runtime/tullet-test.lock", false},
      {"the other model's program", "runtime", false, "tullet-other", "runtime/tullet-test.lock", true},
      {"a second start that does not see the runtime folder", "runtime", true, "", homeLock, false},
      {"no runtime folder", "", false, "", homeLock, false},
      {"a runtime folder that is no absolute path", "relative/runtime", false, "", homeLock, false},
      {"a runtime folder that is missing", "missing", false, "", homeLock, false},
  };
  writeUserDevice();
  writePlist(prefs() + "/DebugLogInfo.plist", {{"isShowDebugLog", true}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString runtime = c.runtimeDir.isEmpty() || c.runtimeDir.startsWith("relative") ? c.runtimeDir
                                                                                           : dir.filePath(c.runtimeDir);
    AppDelegate::Environment env = environment();
    env.runtimeDir = runtime;
    if (runtime.isEmpty()) qunsetenv("XDG_RUNTIME_DIR");
    launch(std::move(env));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(c.lockFile)));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(homeLock))) << "the home folder's lock is always taken";

    QDir(dir.filePath("config/autostart")).removeRecursively();
    QFile::remove(prefs() + "/Setting_RemoteSetup.plist");
    AppDelegate::Environment secondEnv = environment();
    secondEnv.runtimeDir = c.secondSeesNoRuntime ? QString() : runtime;
    if (!c.otherProgram.isEmpty()) secondEnv.bundlePath = dir.filePath("bin/" + c.otherProgram);
    AppDelegate second(std::move(secondEnv));
    EXPECT_EQ(second.applicationDidFinishLaunching(), c.secondRuns);
    if (!c.secondRuns) {
      EXPECT_FALSE(QFileInfo::exists(dir.filePath("config/autostart"))) << "no autostart entry touched";
      EXPECT_FALSE(QFileInfo::exists(prefs() + "/Setting_RemoteSetup.plist")) << "no preference file touched";
      EXPECT_EQ(second.backscan(), nullptr) << "no scanner link made";
      EXPECT_TRUE(logged(QStringLiteral("tullet-test already runs for this user (%1 is locked): this start ends")
                             .arg(dir.filePath(c.lockFile))));
    }
    delegate.reset();
  }
  // The first one gone, a start runs.
  launch();
}

TEST_F(MonitorFixture, WhenNoLockCanBeTakenTheDebugLogNamesBothFoldersAndWhy) {
  // A lock file that is a symbolic link is never opened (O_NOFOLLOW): the folder gives no lock.
  const QString homeFolder = home + "/Library/Preferences";
  QString host = QSysInfo::machineHostName();
  host.replace('/', '_');
  const QString homeLock = homeFolder + "/tullet-test" + (host.isEmpty() ? "" : "@" + host) + ".lock";
  QDir().mkpath(homeFolder);
  ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), homeLock));
  const QString runtime = dir.filePath("runtime");
  QDir().mkpath(runtime);
  ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), runtime + "/tullet-test.lock"));
  const QString loop = QString::fromLocal8Bit(std::strerror(ELOOP));
  const QString homePart = "home folder: \"" + homeLock + "\" cannot be opened: " + loop;
  struct Case {
    QString runtimeDir;
    QString runtimePart;
  };
  const Case cases[] = {
      {"", "runtime folder: none given"},
      {"relative/runtime", "runtime folder: \"relative/runtime\" is not an absolute path"},
      {dir.filePath("missing"),
       "runtime folder: \"" + dir.filePath("missing") + "\": " + QString::fromLocal8Bit(std::strerror(ENOENT))},
      {runtime, "runtime folder: \"" + runtime + "/tullet-test.lock\" cannot be opened: " + loop},
  };
  writeUserDevice();
  writePlist(prefs() + "/DebugLogInfo.plist", {{"isShowDebugLog", true}});
  qunsetenv("XDG_RUNTIME_DIR");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.runtimeDir.toStdString());
    AppDelegate::Environment env = environment();
    env.runtimeDir = c.runtimeDir;
    launch(std::move(env));  // runs, unguarded
    EXPECT_TRUE(logged("no lock file for a single monitor could be taken (" + c.runtimePart + "; " + homePart +
                       "): a second start is not stopped"));
    delegate.reset();
  }
}

TEST_F(MonitorFixture, TheFirstTickComesAfterOneIntervalAndTicksNeverOverlap) {
  writeUserDevice();
  AppDelegate::Environment env = environment();
  env.timings.tick = 100ms;
  AppDelegate& app = launch(std::move(env));
  EXPECT_TRUE(seen().empty());
  ASSERT_TRUE(waitUntil([&] { return ownEntryListed(); }));
  // A press: the tick waits for the stand-in application while the timer fires many times. The
  // checks run inside the tick's wait.
  pressForUs();
  int checks = 0;
  std::size_t countsAtStart = 0;
  std::optional<std::size_t> countsAtEnd;
  auto counts = [&] {
    std::size_t n = 0;
    for (const auto& c : seen()) n += c == kCount;
    return n;
  };
  QTimer check;
  check.setInterval(20);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (!QFileInfo::exists(dir.filePath("started")) || !app.found() || !app.inTick()) return;
    if (checks++ == 0) countsAtStart = counts();
    if (checks < 25) return;  // some 500 ms: five intervals
    countsAtEnd = counts();
    QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    check.stop();
  });
  check.start();
  ASSERT_TRUE(waitUntil([&] {
    for (const auto& c : seen())
      if (c == kClear) return true;
    return false;
  }, 60s));
  ASSERT_TRUE(countsAtEnd.has_value());
  EXPECT_EQ(*countsAtEnd, countsAtStart) << "no other tick ran while the scan application ran";
}

TEST_F(MonitorFixture, TheAddressRuleAtLaunchTakesTheResourceAddressOnlyForTheSameScanner) {
  struct Case {
    const char* name;
    std::optional<QString> resourceUUID, userUUID;
    bool replaced;
  };
  const Case cases[] = {
      {"same UUID", QString(kScannerUUID), QString(kScannerUUID), true},
      {"other UUID", QString("OTHER"), QString(kScannerUUID), false},
      {"no UUID on either side", std::nullopt, std::nullopt, false},
      {"no UUID in the resource", std::nullopt, QString(kScannerUUID), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QVariantMap resource = readPlist(resources + "/DeviceSetting.plist");
    resource.remove("UUID");
    if (c.resourceUUID) resource.insert("UUID", *c.resourceUUID);
    resource.insert("IPAddress", "127.0.0.99");
    writePlist(resources + "/DeviceSetting.plist", resource);
    QVariantMap user{{"IPAddress", "127.0.0.42"}, {"PCUUID", kPCUUID}, {"Other", "kept"}};
    if (c.userUUID) user.insert("UUID", *c.userUUID);
    writePlist(prefs() + "/DeviceSetting.plist", user);

    AppDelegate app(environment());
    app.createRemotePlist();
    const QVariantMap after = readPlist(prefs() + "/DeviceSetting.plist");
    EXPECT_EQ(after.value("IPAddress").toString(), c.replaced ? "127.0.0.99" : "127.0.0.42");
    EXPECT_EQ(after.value("Other").toString(), "kept");
  }
}

TEST_F(MonitorFixture, DebugLogInfoSwitchesTheLogAtTheNextTick) {
  writeUserDevice();
  launch();
  const QString file = prefs() + "/DebugLogInfo.plist";
  writePlist(file, {{"isShowDebugLog", true}});
  delegate->circulationMonitor();
  EXPECT_TRUE(MonitorDebugLog::enabled());
  EXPECT_TRUE(logged("ipaddress:" + sim.address()));
  // An empty file leaves the switch as it was; a deleted one switches it off.
  writePlist(file, {});
  delegate->circulationMonitor();
  EXPECT_TRUE(MonitorDebugLog::enabled());
  QFile::remove(file);
  delegate->circulationMonitor();
  EXPECT_FALSE(MonitorDebugLog::enabled());
}

// ---- The tick against the PC list ------------------------------------------------------------

TEST_F(MonitorFixture, ATickRegistersWhenNeededAndPollsInTheSameTick) {
  struct Case {
    const char* name;
    std::vector<FCL_RS_PCLIST> list;
    uint32_t capacity;
    std::vector<SeenCommand> expected;
  };
  const auto other = [](int i) { return entry(QString("pc%1").arg(i), QString("0000000%1-AAAA-BBBB-CCCC-DDDDDDDDDDDD").arg(i)); };
  const FCL_RS_PCLIST own = entry("test-host", kPCUUID);
  const Case cases[] = {
      {"empty list", {}, 10, {kCount, kCapacity, kCount, kAdd, kClock, kPoll}},
      // The list read comes straight after the count: no command the list read does not need.
      {"three others", {other(1), other(2), other(3)}, 10,
       {kCount, listRead(3), kCapacity, kCount, kAdd, kClock, kPoll}},
      {"listed", {other(1), own}, 10, {kCount, listRead(2), kPoll}},
      {"full", {other(1), other(2)}, 2, {kCount, listRead(2), kCapacity, kCount}},
  };
  writeUserDevice();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.model().setPCListCapacity(c.capacity);
    sim.model().setPCList(c.list);
    launch();
    sim.log().clear();
    delegate->circulationMonitor();
    EXPECT_EQ(seenAfter(c.expected.size()), c.expected);
    delegate.reset();
  }
}

// ---- The scan button --------------------------------------------------------------------------

TEST_F(MonitorFixture, APressForThisComputerStartsTheScanApplicationAndClearsOnlyAfterItEnded) {
  writeUserDevice();
  sim.model().setPCList({entry("test-host", kPCUUID)});
  launch();
  pressForUs();
  bool sawRunningWithoutClear = false;
  releaseWhenStarted(&sawRunningWithoutClear);
  {
    Watchdog watchdog(60s, "the tick with a scan application");
    delegate->circulationMonitor();
  }
  QFile started(dir.filePath("started"));
  ASSERT_TRUE(started.open(QIODevice::ReadOnly)) << "the scan application was started";
  EXPECT_EQ(QString::fromUtf8(started.readAll()).trimmed(), signature) << "it carries the creator signature";
  EXPECT_TRUE(sawRunningWithoutClear);
  EXPECT_EQ(lastCommandAfter(kClear), kClear);
  EXPECT_TRUE(clearAfterEnd) << "the event was cleared only after the application ended";
  EXPECT_FALSE(delegate->found());
}

TEST_F(MonitorFixture, TheWaitEndsWhenTheStartedApplicationEndsWhateverItLeftRunning) {
  // The scan application starts a helper that outlives it (with the creator tag in its
  // environment, as everything the application starts has), then ends.
  writeScript(dir.filePath("leaves-helper.sh"),
              QStringLiteral("sleep 60 &\necho $! > '%1/helper'\necho \"$%2\" > '%1/started'\n")
                  .arg(dir.path(), QLatin1String(AppDelegate::kCreatorVariable)));
  QFile desktop(resources + "/scanModel.desktop");
  ASSERT_TRUE(desktop.open(QIODevice::WriteOnly | QIODevice::Truncate));
  desktop.write(("[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + dir.filePath("leaves-helper.sh") + "\n").toUtf8());
  desktop.close();
  writeUserDevice();
  sim.model().setPCList({entry("test-host", kPCUUID)});
  launch();
  pressForUs();
  {
    Watchdog watchdog(40s, "the tick with a scan application that leaves a helper");
    delegate->circulationMonitor();
  }
  QFile helperFile(dir.filePath("helper"));
  ASSERT_TRUE(helperFile.open(QIODevice::ReadOnly));
  const qint64 helper = QString::fromUtf8(helperFile.readAll()).trimmed().toLongLong();
  ASSERT_GT(helper, 0);
  EXPECT_NE(RunningProcesses::startTime(helper), 0u) << "the helper still runs";
  EXPECT_EQ(lastCommandAfter(kClear), kClear) << "the event was cleared once the application itself had ended";
  EXPECT_FALSE(delegate->found());
  ::kill(static_cast<pid_t>(helper), SIGTERM);
}

TEST_F(MonitorFixture, APressForAnotherComputerStartsNothingAndClearsNothing) {
  writeUserDevice();
  const FCL_RS_PCLIST other = entry("other", "99999999-2222-3333-4444-555555555555");
  sim.model().setPCList({other, entry("test-host", kPCUUID)});
  launch();
  ASSERT_TRUE(sim.model().pressScanButtonAt(0));
  delegate->circulationMonitor();
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("started")));
  for (const auto& c : seen()) EXPECT_NE(c, kClear);
}

TEST_F(MonitorFixture, AChosenScanApplicationMissingOrUnnamedGivesTheEventToTheScanApplication) {
  // An event handed to an application that never starts would be cleared and the scan lost.
  for (const QVariant& path : {QVariant(), QVariant(QString()), QVariant(dir.filePath("no-such-app.desktop"))}) {
    SCOPED_TRACE(path.toString().toStdString());
    QFile::remove(dir.filePath("started"));
    QFile::remove(dir.filePath("release"));
    QFile::remove(dir.filePath("ended"));
    writeUserDevice();
    QVariantMap setting{{"IsThirdAppScan", true}};
    if (path.isValid()) setting.insert("ThirdAppPath", path);
    writePlist(prefs() + "/Setting_RemoteSetup.plist", setting);
    sim.model().setPCList({entry("test-host", kPCUUID)});
    launch();
    pressForUs();
    bool sawRunningWithoutClear = false;
    releaseWhenStarted(&sawRunningWithoutClear);
    sim.log().clear();
    delegate->circulationMonitor();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("started")));
    EXPECT_EQ(lastCommandAfter(kClear), kClear);
    delegate.reset();
  }
}

TEST_F(MonitorFixture, AChosenApplicationThatRunsGetsTheEventAtOnceAndTheTickWaitsForIt) {
  writeUserDevice();
  const QString chosen = dir.filePath("chosen.sh");
  writeScript(chosen, QStringLiteral("i=0; while [ ! -e '%1/chosen-release' ] && [ $i -lt 400 ]; do sleep 0.05; "
                                     "i=$((i+1)); done\n")
                          .arg(dir.path()));
  writePlist(prefs() + "/Setting_RemoteSetup.plist", {{"IsThirdAppScan", true}, {"ThirdAppPath", chosen}});
  QProcess running;
  running.start(chosen, {});
  ASSERT_TRUE(running.waitForStarted());
  sim.model().setPCList({entry("test-host", kPCUUID)});
  launch();
  BusObserver observer(session.connect());
  pressForUs();
  bool clearedBeforeItEnded = true;
  QTimer check;
  check.setInterval(20);
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (observer.of(monitorbus::kExecutePushScan).empty()) return;
    bool cleared = false;
    for (const auto& c : seen()) cleared |= c == kClear;
    clearedBeforeItEnded = cleared;
    QFile(dir.filePath("chosen-release")).open(QIODevice::WriteOnly);
    check.stop();
  });
  check.start();
  sim.log().clear();
  {
    Watchdog watchdog(60s, "the hand-off tick");
    delegate->circulationMonitor();
  }
  running.waitForFinished(20000);
  const auto events = observer.of(monitorbus::kExecutePushScan);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].value("ModelName").toString(), "QMX-7315W");
  EXPECT_EQ(events[0].value("IPAddress").toString(), sim.address());
  EXPECT_EQ(events[0].value("MACAddress").toString(), "");
  EXPECT_EQ(events[0].value("ScanKeyType").toString(), "SCAN");
  EXPECT_FALSE(events[0].contains("VendorID"));
  EXPECT_FALSE(clearedBeforeItEnded);
  EXPECT_EQ(lastCommandAfter(kClear), kClear);
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("started"))) << "the monitor's own scan application stayed off";
}

TEST_F(MonitorFixture, OneNotifierPerChosenApplicationKeepsEveryQueuedEvent) {
  // The chosen application is not running and its launch does nothing: each press queues one
  // event on the same Notifier, and one "FinishLaunching" posts both in order.
  writeUserDevice();
  const QString chosen = dir.filePath("chosen.sh");
  writeScript(chosen, "exit 0\n");
  writePlist(prefs() + "/Setting_RemoteSetup.plist", {{"IsThirdAppScan", true}, {"ThirdAppPath", chosen}});
  sim.model().setPCList({entry("test-host", kPCUUID)});
  int launches = 0;
  AppDelegate::Environment env = environment();
  env.launcher.isTargetRunning = [](const QString&) { return false; };
  env.launcher.launchTarget = [&](const QString& path) {
    EXPECT_EQ(path, chosen);
    ++launches;
    return true;
  };
  launch(std::move(env));
  BusObserver observer(session.connect());
  for (int i = 0; i < 2; ++i) {
    pressForUs();
    delegate->circulationMonitor();
  }
  EXPECT_EQ(delegate->notifierCount(), 1u);
  EXPECT_EQ(launches, 2);
  EXPECT_TRUE(observer.of(monitorbus::kExecutePushScan).empty());
  observer.send(monitorbus::kFinishLaunching, {});
  ASSERT_TRUE(waitUntil([&] { return observer.of(monitorbus::kExecutePushScan).size() == 2; }));
}

// ---- The hand-off itself -----------------------------------------------------------------------

TEST_F(MonitorFixture, NotifierPostsAtOnceWhenRunningAndQueuesInOrderOtherwise) {
  BusObserver observer(session.connect());
  bool running = true;
  int launches = 0;
  Notifier notifier("/opt/chosen", session.connect(),
                    {[&](const QString&) { return ++launches, true; }, [&](const QString&) { return running; }});
  notifier.notify("QMX-7305", 0x1209, 0x0002, "");
  ASSERT_TRUE(waitUntil([&] { return observer.of(monitorbus::kExecutePushScan).size() == 1; }));
  EXPECT_EQ(launches, 0);
  const QVariantMap usb = observer.of(monitorbus::kExecutePushScan)[0];
  EXPECT_EQ(usb.value("VendorID").typeId(), QMetaType::Int) << "numbers travel as numbers";
  EXPECT_EQ(usb.value("VendorID").toInt(), 0x1209);
  EXPECT_EQ(usb.value("ProductID").toInt(), 0x0002);
  EXPECT_EQ(usb.value("SerialNumber").toString(), "");
  EXPECT_FALSE(usb.contains("IPAddress"));

  running = false;
  notifier.notify("QMX-7315W", "", "127.0.0.5");
  notifier.notify("QMX-7315W", "", "127.0.0.6");
  EXPECT_EQ(notifier.queued(), 2u);
  EXPECT_EQ(launches, 2);
  // A sentinel sent after the queueing arrives after anything posted before it.
  observer.send("sentinel", {});
  ASSERT_TRUE(waitUntil([&] { return !observer.of("sentinel").empty(); }));
  EXPECT_EQ(observer.of(monitorbus::kExecutePushScan).size(), 1u) << "nothing posted before FinishLaunching";
  // Any arguments (here a{ss}, not a{sv}) are accepted and never read.
  qDBusRegisterMetaType<QMap<QString, QString>>();
  QDBusMessage ready = QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, monitorbus::kFinishLaunching);
  ready << QVariant::fromValue(QMap<QString, QString>{{"any", "thing"}});
  ASSERT_TRUE(session.connect().send(ready));
  ASSERT_TRUE(waitUntil([&] { return observer.of(monitorbus::kExecutePushScan).size() == 3; }));
  EXPECT_EQ(observer.of(monitorbus::kExecutePushScan)[1].value("IPAddress").toString(), "127.0.0.5");
  EXPECT_EQ(observer.of(monitorbus::kExecutePushScan)[2].value("IPAddress").toString(), "127.0.0.6");
  EXPECT_EQ(notifier.queued(), 0u);
}

// ---- Stopping --------------------------------------------------------------------------------

TEST_F(MonitorFixture, ATerminationRequestForThisExecutableRemovesTheEntryAndTheMonitorGoesOn) {
  writeUserDevice();
  launch();
  delegate->circulationMonitor();
  ASSERT_TRUE(listedSettlesTo(true));
  BusObserver observer(session.connect());

  observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", "/usr/bin/some-other-monitor"}});
  observer.send("sentinel", {});
  ASSERT_TRUE(waitUntil([&] { return !observer.of("sentinel").empty(); }));
  waitUntil([&] { return false; }, 100ms);
  EXPECT_TRUE(ownEntryListed()) << "a request for another executable is ignored";

  observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", delegate->bundlePath()}});
  ASSERT_TRUE(waitUntil([&] { return !observer.of(monitorbus::kRemovePclistSuccess).empty(); }));
  EXPECT_TRUE(listedSettlesTo(false));
  EXPECT_EQ(observer.of(monitorbus::kRemovePclistSuccess)[0].value("mpath").toString(), delegate->bundlePath());
  EXPECT_TRUE(delegate->timer().isActive()) << "the monitor goes on";
  EXPECT_EQ(quits, 0);
}

TEST_F(MonitorFixture, ATerminationRequestOfAnotherShapeIsIgnoredAndTheMonitorGoesOn) {
  qDBusRegisterMetaType<QMap<QString, QString>>();
  qDBusRegisterMetaType<QMap<int, QDBusVariant>>();
  qDBusRegisterMetaType<QMap<uchar, uchar>>();
  writeUserDevice();
  launch();
  delegate->circulationMonitor();
  ASSERT_TRUE(listedSettlesTo(true));
  MonitorDebugLog::setEnabled(true);
  const QString path = delegate->bundlePath();
  struct Case {
    const char* signature;
    QVariantList arguments;
  };
  const Case cases[] = {
      {"a{ss}", {QVariant::fromValue(QMap<QString, QString>{{"monitorpath", path}})}},
      {"a{iv}", {QVariant::fromValue(QMap<int, QDBusVariant>{{1, QDBusVariant(path)}})}},
      {"a{yy}", {QVariant::fromValue(QMap<uchar, uchar>{{1, 2}})}},
      {"s", {path}},
      {"", {}},
      {"a{sv}s", {QVariantMap{{"monitorpath", path}}, path}},
  };
  QDBusConnection bus = session.connect();
  BusObserver observer(session.connect());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.signature);
    QDBusMessage m = QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, monitorbus::kAppWillTerminate);
    m.setArguments(c.arguments);
    ASSERT_TRUE(bus.send(m));
    const QString line = QStringLiteral("appWillTerminate with arguments \"%1\" ignored: a{sv} expected").arg(c.signature);
    EXPECT_TRUE(waitUntil([&] { return logged(line); }));
  }
  // The documented shape with a value of another type (a dictionary, the path's bytes): read,
  // and names no executable.
  observer.send(monitorbus::kAppWillTerminate,
                {{"monitorpath", QVariant::fromValue(QMap<QString, QString>{{"monitorpath", path}})}});
  observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", QFile::encodeName(path)}});
  observer.send("sentinel", {});
  ASSERT_TRUE(waitUntil([&] { return !observer.of("sentinel").empty(); }));
  waitUntil([&] { return false; }, 100ms);
  EXPECT_TRUE(ownEntryListed());
  EXPECT_TRUE(observer.of(monitorbus::kRemovePclistSuccess).empty());

  // The monitor is still there and reads the documented shape.
  observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", path}});
  ASSERT_TRUE(waitUntil([&] { return !observer.of(monitorbus::kRemovePclistSuccess).empty(); }));
  EXPECT_TRUE(listedSettlesTo(false));
}

TEST_F(MonitorFixture, ARefusedRemovalIsNotAnnouncedAsASuccess) {
  writeUserDevice();
  launch();
  delegate->circulationMonitor();
  ASSERT_TRUE(listedSettlesTo(true));
  MonitorDebugLog::setEnabled(true);
  sim.faults().add(fault([](sim::Fault& f) {
    f.dtq = FCLD_RS_PCLIST_REMOVE;
    f.dtc = FCLC_RS_PCLIST;
    f.lastErr = 0x7F09u;
  }));
  BusObserver observer(session.connect());
  observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", delegate->bundlePath()}});
  ASSERT_TRUE(waitUntil([&] { return logged("remove pclist failed: removePclistSuccess not posted"); }));
  observer.send("sentinel", {});
  ASSERT_TRUE(waitUntil([&] { return !observer.of("sentinel").empty(); }));
  waitUntil([&] { return false; }, 200ms);
  EXPECT_TRUE(observer.of(monitorbus::kRemovePclistSuccess).empty());
}

TEST_F(MonitorFixture, ARemovalAskedForWhileTheScanApplicationRunsRunsAtOnce) {
  writeUserDevice();
  sim.model().setPCList({entry("test-host", kPCUUID)});
  launch();
  BusObserver observer(session.connect());
  pressForUs();
  bool removedWhileRunning = false;
  bool asked = false;
  QTimer ask;
  ask.setInterval(20);
  QObject::connect(&ask, &QTimer::timeout, [&] {
    if (!QFileInfo::exists(dir.filePath("started"))) return;
    if (observer.of(monitorbus::kRemovePclistSuccess).empty()) {
      if (!asked) observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", delegate->bundlePath()}});
      asked = true;
      return;
    }
    removedWhileRunning = listedSettlesTo(false) && !QFileInfo::exists(dir.filePath("ended"));
    QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    ask.stop();
  });
  ask.start();
  {
    Watchdog watchdog(60s, "the tick with a removal during the wait");
    delegate->circulationMonitor();
  }
  EXPECT_TRUE(removedWhileRunning);
}

// One press, one application, across a stop: a stop that comes while the application started
// (or handed) the press still runs clears the press on the scanner, then removes this computer,
// so that no later monitor starts an application for it again.
TEST_F(MonitorFixture, AStopWhileTheApplicationOfAPressRunsClearsThePressThenRemovesTheEntry) {
  enum Way { Signal, SessionBusGone, PowerOff };
  struct Case {
    const char* name;
    Way way;
    bool chosen;  // the press is handed to the user's chosen application
  };
  const Case cases[] = {
      {"a signal, the scan application", Signal, false},
      {"the session bus gone, the scan application", SessionBusGone, false},
      {"power-off, the scan application", PowerOff, false},
      {"a signal, a chosen application", Signal, true},
      {"power-off, a chosen application", PowerOff, true},
  };
  const QString chosen = dir.filePath("chosen.sh");
  writeScript(chosen, QStringLiteral("i=0; while [ ! -e '%1/release' ] && [ $i -lt 400 ]; do sleep 0.05; "
                                     "i=$((i+1)); done\n")
                          .arg(dir.path()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"started", "release", "ended"}) QFile::remove(dir.filePath(name));
    writeUserDevice();
    QVariantMap setting{{"IsThirdAppScan", c.chosen}};
    if (c.chosen) setting.insert("ThirdAppPath", chosen);
    writePlist(prefs() + "/Setting_RemoteSetup.plist", setting);
    QProcess running;
    if (c.chosen) {
      running.start(chosen, {});
      ASSERT_TRUE(running.waitForStarted());
    }
    sim.model().setPCList({entry("test-host", kPCUUID)});
    quits = 0;
    launch();
    BusObserver observer(session.connect());
    pressForUs();
    bool stopped = false;
    QTimer stop;
    stop.setInterval(20);
    QObject::connect(&stop, &QTimer::timeout, [&] {
      const bool taken = c.chosen ? !observer.of(monitorbus::kExecutePushScan).empty()
                                  : QFileInfo::exists(dir.filePath("started"));
      if (!taken || stopped) return;
      stopped = true;
      sim.log().clear();
      switch (c.way) {
        case Signal: delegate->quitRequested(SIGTERM); break;
        case SessionBusGone: delegate->sessionBusLost(); break;
        case PowerOff: delegate->prepareForShutdown(true); break;
      }
    });
    stop.start();
    {
      Watchdog watchdog(60s, "a tick whose application runs when the monitor stops");
      delegate->circulationMonitor();
    }
    stop.stop();
    ASSERT_TRUE(stopped);
    EXPECT_EQ(seenAfter(2), (std::vector<SeenCommand>{kClear, kRemove})) << "the press cleared, then the entry removed";
    EXPECT_FALSE(sim.model().eventPending());
    EXPECT_TRUE(listedSettlesTo(false));
    if (c.chosen)
      EXPECT_EQ(running.state(), QProcess::Running) << "while the application still ran";
    else
      EXPECT_FALSE(QFileInfo::exists(dir.filePath("ended"))) << "while the application still ran";
    EXPECT_EQ(quits, c.way == PowerOff ? 0 : 1);
    delegate->applicationWillTerminate();  // what a quit leads to: nothing more
    waitUntil([&] { return false; }, 100ms);
    EXPECT_EQ(seen().size(), 2u);
    QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    if (c.chosen)
      running.waitForFinished(20000);
    else
      waitUntil([&] { return QFileInfo::exists(dir.filePath("ended")); }, 20s);
    delegate.reset();
  }
}

// A power-off called off while the application of a press runs: the wait goes on, and when the
// application has ended the tick clears nothing, since the stop's clear took the press and a
// clear names none (a second one would take another computer's press). Only a clear the
// scanner refused leaves the press to the tick. The next tick registers this computer again
// and starts nothing for the press that was cleared.
TEST_F(MonitorFixture, APowerOffCalledOffWhileTheApplicationRunsClearsThePressOnce) {
  struct Case {
    const char* name;
    bool duringTheClear;  // called off while the stop's clear waits for the scanner, else after the removal
    bool refused;         // the scanner refuses the stop's clear
    std::vector<SeenCommand> sent;  // from the power-off to the application's end
  };
  const Case cases[] = {
      {"called off after the removal", false, false, {kClear, kRemove}},
      {"called off during the clear", true, false, {kClear, kRemove}},
      {"called off after a refused clear", false, true, {kClear, kRemove, kClear}},
      {"called off during a clear then refused", true, true, {kClear, kRemove, kClear}},
  };
  const std::string otherUUID = "99999999-2222-3333-4444-555555555555";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"started", "release", "ended"}) QFile::remove(dir.filePath(name));
    writeUserDevice();
    sim.model().setPCList({entry("other", QString::fromStdString(otherUUID)), entry("test-host", kPCUUID)});
    sim.faults().clear();
    quits = 0;
    launch();
    pressForUs();
    bool calledOff = false;
    QTimer powerOff;
    powerOff.setInterval(20);
    QObject::connect(&powerOff, &QTimer::timeout, [&] {
      if (!QFileInfo::exists(dir.filePath("started")) || calledOff) return;
      powerOff.stop();
      sim.log().clear();
      sim.faults().add(fault([&](sim::Fault& f) {
        f.opcode = monitor::FOP_COMMAND;
        f.dtc = FCLC_RS_EVENT_CHECKING;
        if (c.refused) f.lastErr = 0x7007u;
        if (c.duringTheClear) f.delayStatus = 500ms;
      }));
      if (c.duringTheClear) QTimer::singleShot(100ms, [&] { delegate->prepareForShutdown(false); });
      delegate->prepareForShutdown(true);  // its clear and removal run here, while the application runs
      if (!c.duringTheClear) delegate->prepareForShutdown(false);
      calledOff = true;
      EXPECT_FALSE(delegate->stopping());
      if (!c.refused) {
        EXPECT_TRUE(sim.model().pressScanButton(otherUUID));
      }
      QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    });
    powerOff.start();
    {
      Watchdog watchdog(60s, "a tick whose application runs through a called-off power-off");
      delegate->circulationMonitor();
    }
    ASSERT_TRUE(calledOff);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("ended"))) << "the wait went on until the application ended";
    waitUntil([&] { return false; }, 100ms);
    EXPECT_EQ(seenAfter(c.sent.size()), c.sent);
    EXPECT_EQ(sim.model().eventPending(), !c.refused) << "another computer's press stays";
    EXPECT_EQ(quits, 0);

    // The next tick registers this computer again and starts nothing.
    QFile::remove(dir.filePath("started"));
    sim.log().clear();
    delegate->circulationMonitor();
    EXPECT_TRUE(listedSettlesTo(true)) << "registered again";
    const auto next = seen();
    EXPECT_NE(std::find(next.begin(), next.end(), kAdd), next.end());
    EXPECT_EQ(std::find(next.begin(), next.end(), kClear), next.end());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("started")));
    delegate.reset();
  }
}

TEST_F(MonitorFixture, SIGTERMRemovesTheEntryOnceAndQuits) {
  writeUserDevice();
  AppDelegate::Environment env = environment();
  env.watchQuitSignals = true;
  launch(std::move(env));
  delegate->circulationMonitor();
  ASSERT_TRUE(listedSettlesTo(true));
  seenAfter(6);  // the tick's count, capacity, count, add, clock and poll
  sim.log().clear();
  MonitorDebugLog::setEnabled(true);
  {
    std::lock_guard lock(logMutex);
    logLines.clear();
  }
  ::raise(SIGTERM);
  ::raise(SIGHUP);
  ASSERT_TRUE(waitUntil([&] { return quits > 0; }));
  EXPECT_TRUE(listedSettlesTo(false));
  EXPECT_FALSE(delegate->timer().isActive());
  delegate->applicationWillTerminate();  // what the quit leads to
  EXPECT_EQ(seenAfter(1), (std::vector<SeenCommand>{kRemove})) << "removed once";
  EXPECT_EQ(quits, 1);
  // "app will terminate" once, before the removal.
  std::lock_guard lock(logMutex);
  EXPECT_EQ(logLines.count("app will terminate"), 1);
  const auto said = logLines.indexOf("app will terminate");
  const auto removal = logLines.indexOf("====Send Command FCLD_RS_PCLIST_REMOVE start====");
  ASSERT_GE(removal, 0);
  EXPECT_LT(said, removal);
}

TEST_F(MonitorFixture, EachStopRemovesTheEntryOnce) {
  enum Step { Signal, PowerOff, CalledOff, Tick, Request };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    int removals;
  };
  const Case cases[] = {
      {"a signal", {Signal}, 1},
      {"two signals", {Signal, Signal}, 1},
      {"power-off, then a signal", {PowerOff, Signal}, 1},
      {"a signal, then power-off", {Signal, PowerOff}, 1},
      {"power-off twice, then a signal", {PowerOff, PowerOff, Signal}, 1},
      {"power-off called off, a tick, then a signal", {PowerOff, CalledOff, Tick, Signal}, 2},
      {"power-off, a termination request, then a signal", {PowerOff, Request, Signal}, 1},
  };
  writeUserDevice();
  BusObserver observer(session.connect());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.model().setPCList({entry("test-host", kPCUUID)});
    quits = 0;
    launch();
    sim.log().clear();
    for (Step step : c.steps) {
      switch (step) {
        case Signal: delegate->quitRequested(SIGTERM); break;
        case PowerOff: delegate->prepareForShutdown(true); break;
        case CalledOff: delegate->prepareForShutdown(false); break;
        case Tick:
          EXPECT_TRUE(listedSettlesTo(false));
          delegate->circulationMonitor();
          EXPECT_TRUE(listedSettlesTo(true)) << "registered again";
          break;
        case Request: {
          const std::size_t sentinels = observer.of("sentinel").size();
          observer.send(monitorbus::kAppWillTerminate, {{"monitorpath", delegate->bundlePath()}});
          observer.send("sentinel", {});
          EXPECT_TRUE(waitUntil([&] { return observer.of("sentinel").size() > sentinels; }));
          waitUntil([&] { return false; }, 200ms);
          break;
        }
      }
    }
    delegate->applicationWillTerminate();  // what the quit leads to
    EXPECT_TRUE(listedSettlesTo(false));
    int removals = 0;
    for (const auto& cmd : seen()) removals += cmd == kRemove;
    EXPECT_EQ(removals, c.removals);
    EXPECT_EQ(quits, 1);
  }
}

TEST_F(MonitorFixture, ASignalDuringThePowerOffRemovalLetsItEndAndQuitsWithoutAnother) {
  writeUserDevice();
  sim.model().setPCList({entry("test-host", kPCUUID)});
  AppDelegate::Environment env = environment();
  env.watchQuitSignals = true;
  launch(std::move(env));
  sim.faults().add(fault([](sim::Fault& f) {
    f.dtc = FCLC_RS_PCLIST;
    f.dtq = FCLD_RS_PCLIST_REMOVE;
    f.delayStatus = 1500ms;  // the signal comes while the removal waits for the scanner
  }));
  QTimer::singleShot(50ms, [] { ::raise(SIGTERM); });
  {
    Watchdog watchdog(30s, "the power-off removal");
    delegate->prepareForShutdown(true);
    ASSERT_TRUE(waitUntil([&] { return quits > 0; }));
  }
  EXPECT_TRUE(listedSettlesTo(false)) << "the removal ended";
  delegate->applicationWillTerminate();
  waitUntil([&] { return false; }, 100ms);
  EXPECT_EQ(seenAfter(1), (std::vector<SeenCommand>{kRemove}));
  EXPECT_EQ(quits, 1);
}

// A stop's clear and removal end, the inhibitor released, when a further signal breaks them off
// or when their one limit has passed, whatever the exchanges' own limits.
TEST_F(MonitorFixture, AStopsClearAndRemovalEndAtAFurtherSignalOrTheirOneLimit) {
  if (!system.isRunning()) GTEST_SKIP() << "no private system bus: " << system.why().toStdString();
  FakeLogind logind(system.connect());
  ASSERT_TRUE(logind.registered());
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 60s;  // a scanner that takes the command and never answers
  ScopedMonitorTimings longWait(t);
  struct Case {
    const char* name;
    bool press;          // the stop comes while the application of a press runs
    SeenCommand silent;  // the command the scanner never answers
    bool furtherSignal;
    std::chrono::milliseconds stopLimit;
    std::vector<SeenCommand> sent;  // what the stop sent
  };
  const Case cases[] = {
      {"a further signal during the removal", false, kRemove, true, 60s, {kRemove}},
      {"a further signal during the clear", true, kClear, true, 60s, {kClear}},
      {"the limit during the clear", true, kClear, false, 500ms, {kClear}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"started", "release", "ended"}) QFile::remove(dir.filePath(name));
    writeUserDevice();
    sim.model().setPCList({entry("test-host", kPCUUID)});
    AppDelegate::Environment env = environment();
    env.watchQuitSignals = true;
    env.timings.stopLimit = c.stopLimit;
    quits = 0;
    launch(std::move(env));
    ASSERT_TRUE(waitUntil([&] { return delegate->powerOffWatch()->holdsInhibitor(); }));
    sim.faults().add(fault([&](sim::Fault& f) {
      f.opcode = c.silent.opcode;
      f.dtc = c.silent.dtc;
      f.dtq = c.silent.dtq;
      f.silent = true;
    }));
    auto stopSignals = [&] {
      sim.log().clear();
      ::raise(SIGTERM);
      if (c.furtherSignal) QTimer::singleShot(200ms, [] { ::raise(SIGINT); });
    };
    {
      Watchdog watchdog(30s, "a stop whose scanner never answers");
      if (c.press) {
        pressForUs();
        QTimer stop;
        stop.setInterval(20);
        QObject::connect(&stop, &QTimer::timeout, [&] {
          if (!QFileInfo::exists(dir.filePath("started"))) return;
          stop.stop();
          stopSignals();
        });
        stop.start();
        delegate->circulationMonitor();
      } else {
        stopSignals();
      }
      ASSERT_TRUE(waitUntil([&] { return quits > 0; }, 25s));
    }
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(delegate->powerOffWatch()->holdsInhibitor());
    EXPECT_TRUE(waitUntil([&] { return !logind.lastHeld(); }));
    delegate->applicationWillTerminate();
    waitUntil([&] { return false; }, 200ms);
    EXPECT_EQ(seenAfter(c.sent.size()), c.sent) << "nothing is sent after the break-off";
    EXPECT_EQ(quits, 1);
    QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    sim.faults().clear();
    delegate.reset();
  }
}

// A signal while the tick waits for the scanner's event reply, in the pause after a reply
// without a scan for this computer, or while a connect gets no answer, is acted on at once: the
// removal follows and the monitor quits long before the wait would have ended. A removal that
// cannot reach the scanner within the stop's limit says so in the debug log.
TEST_F(MonitorFixture, ASignalDuringAHeldEventReadThePauseAfterItOrAConnectIsActedOnAtOnce) {
  enum Wait { HeldRead, Pause, Connect };
  struct Case {
    const char* name;
    Wait wait;
  };
  for (const Case& c : {Case{"a held event read", HeldRead}, Case{"the pause after the event read", Pause},
                        Case{"a connect without an answer", Connect}}) {
    SCOPED_TRACE(c.name);
    FullListener off;
    writeUserDevice(c.wait == Connect ? QVariantMap{{"IPAddress", off.address()}} : QVariantMap{});
    writePlist(prefs() + "/DebugLogInfo.plist", {{"isShowDebugLog", true}});
    MonitorTimings t = ScopedMonitorTimings::quick();
    t.eventExchange = 60s;  // the event read waits as long as the scanner holds it
    t.idleEventPause = 60s;
    t.connect = t.exchange = 60s;
    ScopedMonitorTimings longWait(t, ScopedMonitorTimings::Pauses::Take);
    sim.model().setPCList({entry("test-host", kPCUUID)});
    sim.model().setEventHold(c.wait == HeldRead ? 50s : 0s);
    AppDelegate::Environment env = environment();
    env.watchQuitSignals = true;
    env.timings.stopLimit = 1s;
    quits = 0;
    launch(std::move(env));
    {
      std::lock_guard lock(logMutex);
      logLines.clear();
    }
    // The signal comes while the read or the connect waits, or once the reply is some time in.
    QTimer signal;
    signal.setSingleShot(true);
    QObject::connect(&signal, &QTimer::timeout, [] { ::raise(SIGTERM); });
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      const auto all = seen();
      if (std::find(all.begin(), all.end(), kPoll) == all.end()) return;
      watch.stop();
      signal.start(200ms);
    });
    if (c.wait == Pause)
      watch.start();
    else
      signal.start(300ms);
    {
      Watchdog watchdog(30s, "a tick whose event read, pause or connect is broken off");
      delegate->circulationMonitor();
    }
    EXPECT_EQ(quits, 1);
    if (c.wait == Connect) {
      std::lock_guard lock(logMutex);
      const auto limit = logLines.indexOf("the stop's time limit has passed: nothing more is sent to the scanner");
      EXPECT_GE(limit, 0);
      EXPECT_GT(logLines.indexOf("remove pclist end"), limit);
    } else {
      EXPECT_TRUE(listedSettlesTo(false));
      EXPECT_EQ(lastCommandAfter(kRemove), kRemove);
    }
    delegate.reset();
  }
}

TEST_F(MonitorFixture, PowerOffRemovesTheEntryAndReleasesTheInhibitor) {
  if (!system.isRunning()) GTEST_SKIP() << "no private system bus: " << system.why().toStdString();
  FakeLogind logind(system.connect());
  ASSERT_TRUE(logind.registered());
  writeUserDevice();
  launch();
  ASSERT_TRUE(waitUntil([&] { return logind.inhibitCalls() == 1 && delegate->powerOffWatch()->holdsInhibitor(); }));
  EXPECT_EQ(logind.lastMode, "delay");
  EXPECT_TRUE(logind.lastHeld());
  delegate->circulationMonitor();
  ASSERT_TRUE(listedSettlesTo(true));

  logind.prepareForShutdown(true);
  ASSERT_TRUE(waitUntil([&] { return !ownEntryListed(); }));
  ASSERT_TRUE(waitUntil([&] { return !logind.lastHeld(); })) << "the inhibitor is released";
  EXPECT_FALSE(delegate->timer().isActive());
  EXPECT_EQ(quits, 0);

  // Called off: the inhibitor is taken again and the cycle goes on.
  logind.prepareForShutdown(false);
  ASSERT_TRUE(waitUntil([&] { return logind.inhibitCalls() == 2 && logind.lastHeld(); }));
  EXPECT_TRUE(delegate->timer().isActive());
  delegate->circulationMonitor();
  EXPECT_TRUE(listedSettlesTo(true));
}

TEST_F(MonitorFixture, WithoutASystemBusPowerOffIsNotWatchedAndTheMonitorRuns) {
  writeUserDevice();
  AppDelegate::Environment env = environment();
  env.systemBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("zr-none"));
  launch(std::move(env));
  EXPECT_EQ(loggedCount("no system bus: power-off is not watched"), 0) << "quiet with the debug switch off";
  delegate->circulationMonitor();
  EXPECT_TRUE(listedSettlesTo(true));

  writePlist(prefs() + "/DebugLogInfo.plist", {{"isShowDebugLog", true}});
  AppDelegate::Environment again = environment();
  again.systemBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("zr-none"));
  again.sessionBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("zr-none-s"));
  launch(std::move(again));
  EXPECT_EQ(loggedCount("no system bus: power-off is not watched"), 1);
  EXPECT_EQ(loggedCount("no session bus: termination requests are not watched"), 1);
  // Started without a session bus, it has no session to end with: it runs on.
  EXPECT_FALSE(delegate->watchingSessionBus());
  delegate->circulationMonitor();
  EXPECT_FALSE(delegate->stopping());
  EXPECT_EQ(quits, 0);
}

TEST(MonitorQuietTest, QtsAndTheServiceDiscoverysLinesGoToTheDebugLog) {
  QStringList lines;
  std::mutex mutex;
  const platform::SystemLogSink previous = platform::setSystemLogSink([&](const QString& line) {
    std::lock_guard lock(mutex);
    lines.append(line);
  });
  AppDelegate::sendPlatformMessagesToDebugLog();
  MonitorDebugLog::setEnabled(false);
  qWarning("a warning of Qt's");
  platform::dnssdLogLine(QStringLiteral("DNS service discovery unavailable: test"));
  {
    std::lock_guard lock(mutex);
    EXPECT_TRUE(lines.isEmpty()) << lines.join('\n').toStdString();
  }
  MonitorDebugLog::setEnabled(true);
  qWarning("a warning of Qt's");
  platform::dnssdLogLine(QStringLiteral("DNS service discovery unavailable: test"));
  MonitorDebugLog::setEnabled(false);
  qInstallMessageHandler(nullptr);
  platform::setDnssdLogHook({});
  platform::setSystemLogSink(previous);
  EXPECT_EQ(lines, (QStringList{"a warning of Qt's", "DNS service discovery unavailable: test"}));
}

// ---- The programs' resources ---------------------------------------------------------------------

TEST(MonitorResourcesTest, EachProgramHasItsModelsResourcesInTheBuildTree) {
  struct Case {
    const char* program;
    const char* driver;
    uint16_t pid;
  };
  for (const Case& c : {Case{"tullet-qmx7315w", "QMX-7315W", usbids::kProductIdQMX7315W},
                        Case{"tullet-qmx7305", "QMX-7305", usbids::kProductIdQMX7305}}) {
    SCOPED_TRACE(c.program);
    const QString folder = AppDelegate::resourceFolder(QStringLiteral(ZR_BUILD_BIN "/") + c.program);
    const QVariantMap device = readPlist(folder + "/DeviceSetting.plist");
    EXPECT_EQ(device.value("DriverName").toString(), c.driver);
    EXPECT_EQ(device.value("ProductName").toString(), QString("TW-Zerelta ") + c.driver);
    EXPECT_EQ(device.value("IPAddress").toString(), "USB");
    EXPECT_EQ(device.value("VID").toString().toUInt(nullptr, 16), usbids::kScannerVendorId);
    EXPECT_EQ(device.value("PID").toString().toUInt(nullptr, 16), c.pid);
    const QVariantMap setting = readPlist(folder + "/Setting_RemoteSetup.plist");
    EXPECT_EQ(setting.value("Location").toString(), "~/Pictures");
    EXPECT_EQ(setting.value("IsOpen").toString(), "0");
    EXPECT_EQ(setting.value("IsThirdAppScan").typeId(), QMetaType::Bool);
    EXPECT_TRUE(QFileInfo::exists(folder + "/scanModel.desktop"));
  }
}

}  // namespace

#include "AppDelegateTest.moc"
