// The program tullet-qmx7315w itself, as a user starts it: its resources from the build tree, a
// temporary HOME and XDG_CONFIG_HOME, a private session bus, no system bus, the simulated
// scanner on loopback and the real 5 s cycle. It registers this computer, answers a termination
// request for its own path and removes the entry again when it is stopped with SIGTERM.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <unistd.h>
#include <gtest/gtest.h>

#include "FakeLogind.h"
#include "MonitorTestSupport.h"
#include "PrivateBus.h"
#include "monitor/AppDelegate.h"
#include "monitor/MonitorBus.h"
#include "monitor/ScannerUtility/MonitorRecords.h"
#include "platform/FixedText.h"
#include "platform/PropertyList.h"

using namespace std::chrono_literals;

namespace {

const char* kPCUUID = "11111111-2222-3333-4444-555555555555";

class Received : public QObject {
  Q_OBJECT
 public:
  std::vector<QVariantMap> maps;
 public slots:
  void received(const QDBusMessage& m) {
    maps.push_back(qdbus_cast<QVariantMap>(m.arguments().value(0).value<QDBusArgument>()));
  }
};

TEST(MonitorProgramTest, RegistersAnswersATerminationRequestAndRemovesTheEntryOnSIGTERM) {
  PrivateBus session;
  if (!session.isRunning()) GTEST_SKIP() << "no private session bus: " << session.why().toStdString();
  MonitorSim sim;
  QTemporaryDir dir;
  const QString home = dir.filePath("home");
  const QString prefs = home + "/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W";
  QDir().mkpath(prefs);
  ASSERT_EQ(platform::PropertyList::write(prefs + "/DeviceSetting.plist",
                                          {{"IPAddress", sim.address()},
                                           {"UUID", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"},
                                           {"VID", "1209"},
                                           {"PID", "0001"},
                                           {"PCUUID", kPCUUID}}),
            platform::PropertyList::Status::Ok);
  auto listed = [&] {
    for (const auto& e : sim.model().pcList())
      if (std::strncmp(e.szPCUUID, kPCUUID, 40) == 0) return true;
    return false;
  };

  const QString program = QStringLiteral(ZR_MONITOR_PROGRAM);
  QProcess monitor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home);
  env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
  env.insert("DBUS_SESSION_BUS_ADDRESS", session.address());
  env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.filePath("no-system-bus"));
  // A runtime folder of its own: the test's monitor never meets the user's.
  QDir().mkpath(dir.filePath("runtime"));
  env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
  monitor.setProcessEnvironment(env);
  monitor.setProcessChannelMode(QProcess::ForwardedChannels);
  monitor.start(program, {});
  ASSERT_TRUE(monitor.waitForStarted(10000));

  // The first tick, 5 s after launch, registers this computer.
  ASSERT_TRUE(waitUntil(listed, 30s)) << "the monitor registered this computer";
  QFile entry(dir.filePath("config/autostart/tullet-qmx7315w.desktop"));
  ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
  const QString exe = QFileInfo(program).canonicalFilePath();
  EXPECT_TRUE(QString::fromUtf8(entry.readAll()).contains("Exec=\"" + exe + "\""));
  EXPECT_TRUE(QFileInfo::exists(prefs + "/Setting_RemoteSetup.plist"));

  // A termination request for this executable: removed and announced; the monitor goes on and a
  // later tick registers the computer again.
  QDBusConnection bus = session.connect();
  Received success;
  bus.connect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kRemovePclistSuccess, &success,
              SLOT(received(QDBusMessage)));
  QDBusMessage request =
      QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, monitorbus::kAppWillTerminate);
  request << QVariantMap{{"monitorpath", exe}};
  bus.send(request);
  ASSERT_TRUE(waitUntil([&] { return !success.maps.empty(); }, 30s));
  EXPECT_EQ(success.maps[0].value("mpath").toString(), exe);
  ASSERT_TRUE(waitUntil([&] { return !listed(); }, 10s));
  ASSERT_TRUE(waitUntil(listed, 30s)) << "registered again at a later tick";

  // SIGTERM: the entry goes, the monitor ends normally.
  monitor.terminate();
  ASSERT_TRUE(monitor.waitForFinished(30000));
  EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(monitor.exitCode(), 0);
  EXPECT_TRUE(waitUntil([&] { return !listed(); }, 10s));
}

// A copy of the program whose resources are the test's: its scan application is a stand-in that
// lists the descriptors it was started with, notes that it started (once more in "starts" at each
// start), waits until the test lets it go (at most 20 s) and notes that it ended.
class ProgramFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!session.isRunning()) GTEST_SKIP() << "no private session bus: " << session.why().toStdString();
    home = dir.filePath("home");
    prefs = home + "/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W";
    QDir().mkpath(home);
    QDir().mkpath(dir.filePath("runtime"));
    QFile::setPermissions(dir.filePath("runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(dir.filePath("bin"));
    program = dir.filePath("bin/tullet-qmx7315w");
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZR_MONITOR_PROGRAM), program));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString built = AppDelegate::resourceFolder(QStringLiteral(ZR_MONITOR_PROGRAM));
    const QString share = dir.filePath("share/tullet-qmx7315w");
    QDir().mkpath(share);
    for (const char* name : {"DeviceSetting.plist", "Setting_RemoteSetup.plist"})
      ASSERT_TRUE(QFile::copy(built + "/" + name, share + "/" + name));
    const QString script = dir.filePath("standin.sh");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\n"
                           "ls -l /proc/self/fd > '%1/fds'\n"
                           "touch '%1/started'\n"
                           "echo started >> '%1/starts'\n"
                           "i=0; while [ ! -e '%1/release' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
                           "touch '%1/ended'\n")
                .arg(dir.path())
                .toUtf8());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile desktop(share + "/scanModel.desktop");
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write(("[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + script + "\n").toUtf8());
  }
  void TearDown() override {
    QFile(dir.filePath("release")).open(QIODevice::WriteOnly);
    for (auto& p : processes) {
      if (p->state() == QProcess::NotRunning) continue;
      p->kill();
      p->waitForFinished(10000);
    }
  }

  void writeDevice(const QString& address, bool withPCUUID) {
    QVariantMap map{{"IPAddress", address}, {"UUID", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"}, {"VID", "1209"}, {"PID", "0001"}};
    if (withPCUUID) map.insert("PCUUID", kPCUUID);
    writeDeviceFile(prefs + "/DeviceSetting.plist", map);
  }
  QProcessEnvironment environment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    env.insert("DBUS_SESSION_BUS_ADDRESS", session.address());
    env.insert("DBUS_SYSTEM_BUS_ADDRESS",
               system.isRunning() ? system.address() : "unix:path=" + dir.filePath("no-system-bus"));
    return env;
  }
  QProcess& start(const QProcessEnvironment& env) {
    processes.push_back(std::make_unique<QProcess>());
    QProcess& p = *processes.back();
    p.setProcessEnvironment(env);
    // The monitor gets no descriptor of the test program's but the standard streams.
    p.setChildProcessModifier([] {
      for (int fd = 3; fd < 1024; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    });
    p.start(program, {});
    EXPECT_TRUE(p.waitForStarted(10000));
    return p;
  }
  QProcess& start() { return start(environment()); }
  // The scanner's PC list holds this computer's entry already.
  void listThisComputer() {
    monitor::FCL_RS_PCLIST own{};
    platform::textToField(own.szPCName, QStringLiteral("test-host"));
    platform::textToField(own.szPCUUID, QString::fromLatin1(kPCUUID));
    own.dwConnectType = monitor::kConnectTypeNetwork;
    sim.model().setPCList({own});
  }
  bool listed() {
    for (const auto& e : sim.model().pcList())
      if (std::strncmp(e.szPCUUID, kPCUUID, 40) == 0) return true;
    return false;
  }
  int adds() {
    int n = 0;
    for (const SeenCommand& c : seenCommands(sim.log()))
      n += c.opcode == monitor::FOP_WRITE && c.dtc == monitor::FCLC_RS_PCLIST && c.dtq == monitor::FCLD_RS_PCLIST_ADD;
    return n;
  }
  static QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  QString home, prefs, program;
  MonitorSim sim;
  PrivateBus session;
  PrivateBus system;
  std::vector<std::unique_ptr<QProcess>> processes;
};

TEST_F(ProgramFixture, OfTwoStartsAtOnceOneEndsAtOnceAndALaterStartTouchesNothing) {
  writeDevice(sim.address(), false);  // the first launch makes this computer's identifier
  QProcess& a = start();
  QProcess& b = start();
  ASSERT_TRUE(waitUntil([&] { return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning; }, 30s))
      << "one of the two ends at once";
  QProcess& second = a.state() == QProcess::NotRunning ? a : b;
  QProcess& first = &second == &a ? b : a;
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  ASSERT_TRUE(waitUntil([&] { return !sim.model().pcList().empty(); }, 30s));
  const QString pcuuid = readDeviceFile(prefs + "/DeviceSetting.plist").value("PCUUID").toString();
  ASSERT_FALSE(pcuuid.isEmpty());
  ASSERT_EQ(sim.model().pcList().size(), 1u);
  EXPECT_EQ(platform::textFromField(sim.model().pcList()[0].szPCUUID), pcuuid);

  // A start while it runs: nothing of the user's is touched (a monitor would copy the missing
  // preference file again and point the entry's Exec at itself).
  ASSERT_TRUE(QFile::remove(prefs + "/Setting_RemoteSetup.plist"));
  const QString entry = dir.filePath("config/autostart/tullet-qmx7315w.desktop");
  const QByteArray userEntry = "[Desktop Entry]\nType=Application\nExec=/nonexistent/elsewhere\n";
  {
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(userEntry);
  }
  const QByteArray device = readAll(prefs + "/DeviceSetting.plist");
  QProcess& third = start();
  ASSERT_TRUE(third.waitForFinished(30000));
  EXPECT_EQ(third.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(third.exitCode(), 0);
  EXPECT_FALSE(QFileInfo::exists(prefs + "/Setting_RemoteSetup.plist"));
  EXPECT_EQ(readAll(entry), userEntry);
  EXPECT_EQ(readAll(prefs + "/DeviceSetting.plist"), device);

  EXPECT_EQ(sim.model().pcList().size(), 1u);
  EXPECT_EQ(adds(), 1) << "registered once";
  first.terminate();
  ASSERT_TRUE(first.waitForFinished(30000));
  EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(ProgramFixture, TheScanApplicationInheritsNoDescriptorAndPowerOffReleasesTheInhibitorWhileItRuns) {
  if (!system.isRunning()) GTEST_SKIP() << "no private system bus: " << system.why().toStdString();
  FakeLogind logind(system.connect());
  ASSERT_TRUE(logind.registered());
  writeDevice(sim.address(), true);
  listThisComputer();
  QProcess& monitor = start();
  ASSERT_TRUE(waitUntil([&] { return logind.inhibitCalls() >= 1 && logind.lastHeld(); }, 30s));
  ASSERT_TRUE(sim.model().pressScanButton(kPCUUID));
  ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(dir.filePath("started")); }, 30s));

  // ls's own listing: the standard streams and the folder it reads, nothing else.
  std::set<int> others;
  const QList<QByteArray> lines = readAll(dir.filePath("fds")).split('\n');
  for (const QByteArray& line : lines) {
    const qsizetype arrow = line.indexOf(" -> ");
    if (arrow < 0) continue;
    const QByteArray target = line.mid(arrow + 4);
    const int fd = line.left(arrow).split(' ').last().toInt();
    if (fd <= 2 || (target.startsWith("/proc/") && target.endsWith("/fd"))) continue;
    others.insert(fd);
  }
  EXPECT_TRUE(others.empty()) << readAll(dir.filePath("fds")).toStdString();

  logind.prepareForShutdown(true);
  ASSERT_TRUE(waitUntil([&] { return !listed(); }, 30s));
  EXPECT_TRUE(waitUntil([&] { return !logind.lastHeld(); }, 10s)) << "released while the scan application runs";
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("ended")));
  monitor.terminate();
  ASSERT_TRUE(monitor.waitForFinished(30000));
  EXPECT_EQ(monitor.exitCode(), 0);
}

// One press, one application, across a stop: the monitor is stopped while the application of a
// press still runs; the press is cleared on the scanner, so the next monitor starts no second one.
TEST_F(ProgramFixture, APressWhoseApplicationRunsAtSIGTERMIsClearedAndTheNextMonitorStartsNoSecond) {
  writeDevice(sim.address(), true);
  listThisComputer();
  QProcess& first = start();
  ASSERT_TRUE(sim.model().pressScanButton(kPCUUID));
  ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(dir.filePath("started")); }, 30s));

  first.terminate();
  ASSERT_TRUE(first.waitForFinished(30000));
  EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first.exitCode(), 0);
  EXPECT_FALSE(sim.model().eventPending()) << "the press was cleared";
  EXPECT_TRUE(waitUntil([&] { return !listed(); }, 10s)) << "and this computer removed";
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("ended"))) << "while the application still ran";

  // The next monitor polls twice and starts nothing.
  sim.log().clear();
  QProcess& next = start();
  auto polls = [&] {
    int n = 0;
    for (const SeenCommand& c : seenCommands(sim.log()))
      n += c.opcode == monitor::FOP_READ && c.dtc == monitor::FCLC_RS_EVENT_CHECKING;
    return n;
  };
  ASSERT_TRUE(waitUntil([&] { return polls() >= 2; }, 30s));
  EXPECT_EQ(readAll(dir.filePath("starts")), "started\n") << "one application in all";
  next.terminate();
  ASSERT_TRUE(next.waitForFinished(30000));
  EXPECT_EQ(next.exitCode(), 0);
}

// The login item: named after the model, with the programs' icon and TryExec, so a desktop skips
// it once the program is gone; when the program has moved, its Exec and TryExec follow it and
// the rest stays as the user left it.
TEST_F(ProgramFixture, TheLoginItemNamesTheModelCarriesTryExecAndFollowsTheProgramWhenItMoved) {
  writeDevice(sim.address(), true);
  const QString entry = dir.filePath("config/autostart/tullet-qmx7315w.desktop");
  const QString exe = QFileInfo(program).canonicalFilePath();
  auto startAndStop = [&] {
    QProcess& monitor = start();
    const bool written = waitUntil([&] { return readAll(entry).contains(QFile::encodeName(exe)); }, 30s);
    monitor.terminate();
    EXPECT_TRUE(monitor.waitForFinished(30000));
    return written;
  };
  ASSERT_TRUE(startAndStop());
  QByteArray text = readAll(entry);
  EXPECT_TRUE(text.contains("\nTryExec=" + QFile::encodeName(exe) + "\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nName=Zerelta QMX-7315W scan-button monitor\n"));
  EXPECT_TRUE(text.contains("\nIcon=zerelta-remote-setup\n"));

  // An entry of the program at its old place, turned off by the user.
  {
    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[Desktop Entry]\nType=Application\nName=My monitor\nExec=/opt/old/tullet-qmx7315w\n"
            "TryExec=/opt/old/tullet-qmx7315w\nHidden=true\n");
  }
  ASSERT_TRUE(startAndStop());
  text = readAll(entry);
  EXPECT_EQ(text.toStdString(), ("[Desktop Entry]\nType=Application\nName=My monitor\nExec=\"" + QFile::encodeName(exe) +
                                 "\"\nTryExec=" + QFile::encodeName(exe) + "\nHidden=true\n")
                                    .toStdString());
}

TEST_F(ProgramFixture, WhenItsSessionBusGoesItRemovesTheEntryReleasesWhatItHoldsAndQuits) {
  // Logout that leaves the session's processes running: the session's bus daemon ends, the
  // monitor does not get a signal.
  std::unique_ptr<FakeLogind> logind;
  if (system.isRunning()) logind = std::make_unique<FakeLogind>(system.connect());
  writeDevice(sim.address(), true);
  QProcess& monitor = start();
  ASSERT_TRUE(waitUntil([&] { return listed(); }, 30s)) << "the first tick registers this computer";
  if (logind) {
    EXPECT_TRUE(waitUntil([&] { return logind->lastHeld(); }, 10s));
  }

  session.kill();
  EXPECT_TRUE(waitUntil([&] { return !listed(); }, 20s)) << "removed from the PC list";
  ASSERT_TRUE(waitUntil([&] { return monitor.state() == QProcess::NotRunning; }, 20s)) << "the monitor quit";
  EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(monitor.exitCode(), 0);
  if (logind) {
    EXPECT_FALSE(logind->lastHeld()) << "the power-off inhibitor released";
  }

  // The next monitor (here without any session bus, which it runs on without) is not held off by
  // the lock: it stays and registers this computer again.
  QProcess& next = start();
  ASSERT_TRUE(waitUntil([&] { return listed(); }, 30s)) << "a new monitor runs";
  EXPECT_EQ(next.state(), QProcess::Running);
  next.terminate();
  ASSERT_TRUE(next.waitForFinished(30000));
  EXPECT_EQ(next.exitCode(), 0);
}

TEST_F(ProgramFixture, WithTheDebugSwitchOffItWritesNothing) {
  // No buses, a scanner that is not there: the count fails and re-discovery finds no DNS
  // service discovery daemon.
  writeDevice(unusedLoopbackAddress(), true);
  QProcessEnvironment env = environment();
  env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-session-bus"));
  env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.filePath("no-system-bus"));
  QProcess& monitor = start(env);
  waitUntil([] { return false; }, 8s);  // the first tick and its re-discovery
  monitor.terminate();
  ASSERT_TRUE(monitor.waitForFinished(30000));
  EXPECT_EQ(monitor.exitCode(), 0);
  EXPECT_EQ(monitor.readAllStandardError().toStdString(), "");
  EXPECT_EQ(monitor.readAllStandardOutput().toStdString(), "");
}

}  // namespace

#include "MonitorProgramTest.moc"
