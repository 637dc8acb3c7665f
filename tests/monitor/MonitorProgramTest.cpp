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
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "PrivateBus.h"
#include "monitor/MonitorBus.h"
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

}  // namespace

#include "MonitorProgramTest.moc"
