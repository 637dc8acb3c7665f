// The device selection window with a real Avahi daemon limited to the loopback interface (a
// private one, on a private bus): a simulated scanner announces itself and the window lists it
// with the status it reads from it. Skipped where such a daemon cannot run.
#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
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

TEST(DevicesWindowAvahi, ListsTheAnnouncedSimulator) {
  LoopbackAvahi& avahi = LoopbackAvahi::shared();
  ZR_REQUIRE_LOOPBACK_AVAHI(avahi);

  TempHome home;
  ScriptedDialogs dialogs;
  platform::FakeUsbHost noUsb;  // no scanner on USB
  platform::UsbHost* previousHost = platform::setUsbHost(&noUsb);
  ScopedSocketLimits limits(std::chrono::seconds(2));
  SimScanner sim;

  // Daemons of other test programs may hear this one: the serial makes this scanner's name ours.
  const QString serial = QStringLiteral("SIM%1").arg(::getpid());
  platform::AvahiPublisher publisher;
  platform::AvahiPublisher::Registration r;
  r.name = "Zerelta QMX-7315W [" + serial + "]";
  r.type = "_scanner._tcp";
  r.port = sim.port();
  r.txt = {{"ty", "Zerelta QMX-7315W"}, {"mfg", "Zerelta"}, {"mdl", "QMX-7315W"},
           {"sn", serial.toUtf8()},     {"ADP", "WIRED"},   {"uuid", "UUID-" + serial.toUtf8()}};
  r.interfaceIndex = static_cast<int>(if_nametoindex("lo"));
  r.hostName = QStringLiteral("zerelta-test-%1.local").arg(::getpid());
  r.address = sim.address();
  ASSERT_TRUE(publisher.publish(r)) << publisher.error().toStdString();
  ASSERT_TRUE(spinUntil([&] { return publisher.state() == platform::AvahiPublisher::State::Established; }));

  PageFactory noPages;
  DevicesViewController window(true);
  window.setTimings(std::chrono::milliseconds(1), std::chrono::seconds(30));
  window.show();
  const QString name = "Zerelta QMX-7315W [" + serial + "]";
  ASSERT_TRUE(spinUntil([&] { return window.foundDevices().contains(name); }));
  const DeviceEntry entry = window.foundDevices().value(name);
  EXPECT_EQ(entry.value(device_entry::kAddress), sim.address());
  EXPECT_EQ(entry.value(device_entry::kStatus), platform::Localizer::text("IDS_DD_READY"));
  EXPECT_EQ(entry.value(device_entry::kTwainName), "NOT ON LIST");
  EXPECT_TRUE(dialogs.alerts().empty());
  window.close();
  platform::setUsbHost(previousHost);
}

// Two simulator programs started side by side on two addresses, each announcing itself: the
// window lists both, one row each, at their own addresses.
TEST(DevicesWindowAvahi, ListsSimulatorsSideBySideAsTwoRows) {
  LoopbackAvahi& avahi = LoopbackAvahi::shared();
  ZR_REQUIRE_LOOPBACK_AVAHI(avahi);

  TempHome home;
  ScriptedDialogs dialogs;
  platform::FakeUsbHost noUsb;
  platform::UsbHost* previousHost = platform::setUsbHost(&noUsb);
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

  PageFactory noPages;
  DevicesViewController window(true);
  window.setTimings(std::chrono::milliseconds(1), std::chrono::seconds(30));
  window.show();
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
  EXPECT_TRUE(dialogs.alerts().empty());
  window.close();
  platform::setUsbHost(previousHost);
}

}  // namespace
