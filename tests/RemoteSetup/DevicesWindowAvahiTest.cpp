// The device selection window with a real Avahi daemon limited to the loopback interface (a
// private one, on a private bus): a simulated scanner announces itself and the window lists it
// with the status it reads from it. Skipped where such a daemon cannot run.
#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "RemoteSetup/ViewController.h"
#include "Views/DevicesViewController.h"
#include "Views/PageFactory.h"
#include "platform/Localizer.h"
#include "platform/dnssd/AvahiPublisher.h"
#include "platform/usb/FakeUsbHost.h"
#include "support/LoopbackAvahi.h"
#include "support/ScriptedDialogs.h"
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

}  // namespace
