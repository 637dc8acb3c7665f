// The device selection window with a real Avahi daemon limited to the loopback interface (a
// private one, on a private bus): a simulated scanner announces itself and the window lists it
// with the status it reads from it. Skipped where such a daemon cannot run.
#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <optional>

#include "RemoteSetup/ViewController.h"
#include "Views/DevicesViewController.h"
#include "Views/PageFactory.h"
#include "platform/Localizer.h"
#include "platform/dnssd/AvahiPublisher.h"
#include "platform/usb/FakeUsbHost.h"
#include "support/LoopbackAvahi.h"
#include "support/ScriptedDialogs.h"
#include "support/SimProgram.h"
#include "support/SimScanner.h"
#include "support/TempHome.h"

namespace {

bool spinUntil(const std::function<bool()>& done, int ms = 20000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!done()) QThread::msleep(2);
  }
  return done();
}

// Announces a scanner service for `serial` on the loopback interface at `address`, under a host
// name of its own, and waits until the daemon confirms it.
::testing::AssertionResult announce(platform::AvahiPublisher& publisher, const QString& serviceName,
                                    const QString& serial, const QString& address) {
  platform::AvahiPublisher::Registration r;
  r.name = serviceName;
  r.type = "_scanner._tcp";
  r.port = 5566;
  r.txt = {{"ty", "Zerelta QMX-7315W"}, {"mfg", "Zerelta"}, {"mdl", "QMX-7315W"},
           {"sn", serial.toUtf8()},     {"ADP", "WIRED"},   {"uuid", "UUID-" + serial.toUtf8()}};
  r.interfaceIndex = static_cast<int>(if_nametoindex("lo"));
  r.hostName = QStringLiteral("zr-%1-%2.local").arg(::getpid()).arg(QString(address).replace('.', '-'));
  r.address = address;
  if (!publisher.publish(r)) return ::testing::AssertionFailure() << publisher.error().toStdString();
  if (!spinUntil([&] { return publisher.state() == platform::AvahiPublisher::State::Established; }))
    return ::testing::AssertionFailure() << serviceName.toStdString() << " not confirmed: " << publisher.error().toStdString();
  return ::testing::AssertionSuccess();
}

// Counts the turns of the window's event loop with a 100 ms timer; the longest gap between two
// ticks shows whether anything held the loop.
struct LoopWatch {
  QTimer timer;
  QElapsedTimer sinceTick;
  qint64 longestGap = 0;
  LoopWatch() {
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [this] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    timer.start();
  }
};

// The network build's window under a temporary home, with no scanner on USB; no test raises an
// alert. Daemons of other test programs may hear this one's services (and this window theirs),
// so each test looks only for the names it announced.
class DevicesWindowAvahi : public ::testing::Test {
 protected:
  void SetUp() override {
    ZR_REQUIRE_LOOPBACK_AVAHI(LoopbackAvahi::shared());
    m_previousHost = platform::setUsbHost(&noUsb);
  }
  void TearDown() override {
    EXPECT_TRUE(dialogs.alerts().empty());
    window.close();
    if (m_previousHost) platform::setUsbHost(m_previousHost);
  }
  // Shows the window, which searches at once.
  void search() {
    window.setTimings(std::chrono::milliseconds(1), std::chrono::seconds(30));
    window.show();
  }

  TempHome home;
  ScriptedDialogs dialogs;
  platform::FakeUsbHost noUsb;
  PageFactory noPages;
  DevicesViewController window{true};

 private:
  platform::UsbHost* m_previousHost = nullptr;
};

TEST_F(DevicesWindowAvahi, ListsTheAnnouncedSimulator) {
  ScopedSocketLimits limits(std::chrono::seconds(2));
  SimScanner sim;
  const QString serial = QStringLiteral("SIM%1").arg(::getpid());
  const QString name = "Zerelta QMX-7315W [" + serial + "]";
  platform::AvahiPublisher publisher;
  ASSERT_TRUE(announce(publisher, name, serial, sim.address()));

  search();
  ASSERT_TRUE(spinUntil([&] { return window.foundDevices().contains(name); }));
  const DeviceEntry entry = window.foundDevices().value(name);
  EXPECT_EQ(entry.value(device_entry::kAddress), sim.address());
  EXPECT_EQ(entry.value(device_entry::kStatus), platform::Localizer::text("IDS_DD_READY"));
  EXPECT_EQ(entry.value(device_entry::kTwainName), "NOT ON LIST");
}

// Two simulator programs started side by side on two addresses, each announcing itself: the
// window lists both, one row each, at their own addresses.
TEST_F(DevicesWindowAvahi, ListsSimulatorsSideBySideAsTwoRows) {
  ScopedSocketLimits limits(std::chrono::seconds(2));

  // The window reads each scanner's status at the scanner's port, so the simulators take it on
  // addresses of their own (stepping on while one is taken by another test program).
  SimProgram simulators[2];
  QString addresses[2];
  int next = ::getpid() % 250;
  for (int i = 0; i < 2; ++i) {
    for (int tries = 0; tries < 50 && addresses[i].isEmpty(); ++tries, ++next) {
      const QString address = QStringLiteral("127.0.4.%1").arg(2 + next % 250);
      if (simulators[i].start(QStringLiteral(ZR_SIM_PATH), {"--address", address, "--publish"})) addresses[i] = address;
    }
    ASSERT_FALSE(addresses[i].isEmpty()) << simulators[i].standardError().toStdString();
  }

  search();
  // Other test programs' simulators may be listed too: find these two by their addresses.
  auto rowAt = [&](const QString& address) -> std::optional<QString> {
    const auto found = window.foundDevices();
    for (auto it = found.begin(); it != found.end(); ++it)
      if (it.value().value(device_entry::kAddress) == address) return it.key();
    return std::nullopt;
  };
  ASSERT_TRUE(spinUntil([&] { return rowAt(addresses[0]) && rowAt(addresses[1]); }))
      << simulators[0].standardError().toStdString() << simulators[1].standardError().toStdString();
  EXPECT_NE(*rowAt(addresses[0]), *rowAt(addresses[1]));
  for (const QString& address : addresses) {
    const DeviceEntry entry = window.foundDevices().value(*rowAt(address));
    EXPECT_TRUE(rowAt(address)->startsWith("Zerelta QMX-7315W [")) << rowAt(address)->toStdString();
    EXPECT_EQ(entry.value(device_entry::kStatus), platform::Localizer::text("IDS_DD_READY"));
  }
}

// Three services whose addresses take the connection and stay silent, announced before the
// simulator: with the transport's own limits the simulator is listed ready while those are still
// read, the window's loop runs throughout, and the silent ones are listed too once their reads
// gave up (none of them dropped).
TEST_F(DevicesWindowAvahi, ReadyScannerIsListedWhileSilentServicesAreRead) {
  std::unique_ptr<SimScanner> silent[] = {silentSimScanner(), silentSimScanner(), silentSimScanner()};
  SimScanner sim;
  platform::AvahiPublisher publishers[4];
  QStringList names;
  for (int i = 0; i < 4; ++i) {
    const QString serial = QStringLiteral("%1-%2").arg(i < 3 ? "SILENT" : "SIM").arg(::getpid());
    names << "Zerelta QMX-7315W [" + serial + "]";
    ASSERT_TRUE(announce(publishers[i], names.last(), serial, i < 3 ? silent[i]->address() : sim.address()));
  }

  LoopWatch loop;
  search();
  ASSERT_TRUE(spinUntil([&] { return window.foundDevices().contains(names[3]); }));
  EXPECT_EQ(window.foundDevices().value(names[3]).value(device_entry::kStatus), platform::Localizer::text("IDS_DD_READY"));
  ASSERT_TRUE(spinUntil([&] {
    return std::all_of(names.begin(), names.end(), [&](const QString& n) { return window.foundDevices().contains(n); });
  }));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(window.foundDevices().value(names[i]).value(device_entry::kStatus), "General Error");
  // Reads of 6 s each: a loop held by one of them would show a gap of that length.
  EXPECT_LT(loop.longestGap, 2000);
}

// The same scanner announced a second time at an address where nothing answers: its one row keeps
// the simulator's address and status, also after the silent address's read gave up.
TEST_F(DevicesWindowAvahi, ScannerAlsoAnnouncedWhereNothingAnswersKeepsTheAddressThatAnswered) {
  ScopedSocketLimits limits(std::chrono::seconds(2));
  SimScanner sim;
  std::unique_ptr<SimScanner> silent = silentSimScanner();
  const QString serial = QStringLiteral("TWICE%1").arg(::getpid());
  const QString name = "Zerelta QMX-7315W [" + serial + "]";
  platform::AvahiPublisher atSim, atSilent;
  ASSERT_TRUE(announce(atSim, name, serial, sim.address()));
  ASSERT_TRUE(announce(atSilent, name + " (2)", serial, silent->address()));

  search();
  ASSERT_TRUE(spinUntil([&] { return window.foundDevices().contains(name); }));
  ASSERT_TRUE(spinUntil([&] { return silent->scanner().connectionCount() > 0 && window.statusReadsInFlight() == 0; }));
  const DeviceEntry entry = window.foundDevices().value(name);
  EXPECT_EQ(entry.value(device_entry::kAddress).toStdString(), sim.address().toStdString());
  EXPECT_EQ(entry.value(device_entry::kStatus).toStdString(), platform::Localizer::text("IDS_DD_READY").toStdString());
}

}  // namespace
