// Remote Setup end to end over the real libusb backend: the main window opens the simulated
// scanner emulated by umockdev, locks it (control pipe, then the lock command), loads every
// record through LibusbHost, shows the general page, and on close unlocks and releases the
// device. The window's fixture (stand-in pages, scripted dialogs) is the one of the main-window
// tests; only the link differs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "RemoteSetup/MainWindowFixture.h"
#include "UmockdevScanner.h"
#include "platform/usb/LibusbHost.h"

namespace {

using Kind = sim::ScannerModel::Kind;
using sim::UmockdevScanner;

// The simulated scanner as a USB device, with the libusb host installed.
class UmockdevLink : public SimLink {
 public:
  explicit UmockdevLink(Kind kind)
      : m_device(kind == Kind::Qmx7305 ? usbids::kProductIdQMX7305 : usbids::kProductIdQMX7315W) {
    m_previous = platform::setUsbHost(&m_host);
    m_previousPause = CFISHUSBControl::setPauseFunction([](std::chrono::milliseconds) {});
  }
  ~UmockdevLink() override {
    CFISHUSBControl::setPauseFunction(m_previousPause);
    platform::setUsbHost(m_previous);
  }
  sim::ScannerModel& model() override { return m_device.model(); }
  sim::FaultPlan& faults() override { return m_device.faults(); }
  sim::CommandLog& log() override { return m_device.log(); }
  QString ip() const override { return QString(); }
  QString interface() const override { return QStringLiteral("USB"); }
  UmockdevScanner& device() { return m_device; }

 private:
  UmockdevScanner m_device;
  platform::LibusbHost m_host;
  platform::UsbHost* m_previous = nullptr;
  CFISHUSBControl::PauseFunction m_previousPause;
};

class RemoteSetupOverLibusb : public MainWindowTest, public ::testing::WithParamInterface<Kind> {
 protected:
  // As MainWindowTest::start, on the emulated device.
  void startOnUmockdev(Kind kind) {
    vc.reset();
    link.reset();
    link = std::make_unique<UmockdevLink>(kind);
    for (const pages::PageInfo& p : pages::kPages) {
      factory.registerPage(QString::fromLatin1(p.storyboardId), [this, id = QString::fromLatin1(p.viewId)](QWidget* parent) {
        return std::make_unique<StubPage>(id, &calls, &scripts, parent);
      });
    }
    vc = std::make_unique<ViewController>(factory);
    vc->setTerminateHandler([this] { ++terminations; });
    const bool b = kind == Kind::Qmx7305;
    vc->setupInfo(link->ip(), b ? QStringLiteral("B") : QStringLiteral("BNT"),
                  b ? QStringLiteral("Zerelta QMX-7305") : QStringLiteral("Zerelta QMX-7315W"), link->interface(),
                  QStringLiteral("UUID-1"), QStringLiteral("TWAIN-1"));
  }
  UmockdevScanner& device() { return static_cast<UmockdevLink&>(*link).device(); }
};

TEST_P(RemoteSetupOverLibusb, OpensLocksLoadsAndReleasesTheScanner) {
  if (!UmockdevScanner::available()) {
    const char* ci = std::getenv("CI");
    if (ci && std::strcmp(ci, "true") == 0) FAIL() << "CI=true: " << UmockdevScanner::unavailableReason();
    GTEST_SKIP() << UmockdevScanner::unavailableReason();
  }
  startOnUmockdev(GetParam());
  appear();

  EXPECT_EQ(commandRuns(settledCommands()), kFirstLoad);
  EXPECT_TRUE(link->model().isLocked());
  EXPECT_EQ(dialogs.alerts().size(), 0u);
  ASSERT_EQ(vc->containerViews().size(), 1);
  EXPECT_EQ(vc->containerViews().front()->objectName(), QStringLiteral("generalSetup"));
  EXPECT_EQ(vc->state().bIsB, GetParam() == Kind::Qmx7305);
  EXPECT_EQ(device().claimsHeld(), 1);
  ASSERT_EQ(device().controlRequests().size(), 1u);  // the control-pipe lock

  const std::size_t loaded = link->log().size();
  vc->close();
  EXPECT_EQ(commandRuns(settledCommands(), loaded), (std::vector<std::string>{"unlock"}));
  EXPECT_FALSE(link->model().isLocked());
  EXPECT_EQ(device().controlRequests().size(), 2u);  // and its unlock
  EXPECT_EQ(device().claimsHeld(), 0);
  vc.reset();
  EXPECT_EQ(terminations, 0);
}

INSTANTIATE_TEST_SUITE_P(Models, RemoteSetupOverLibusb, ::testing::Values(Kind::Qmx7315w, Kind::Qmx7305),
                         [](const auto& info) {
                           return std::string(info.param == Kind::Qmx7305 ? "UsbModel" : "NetworkModel");
                         });

}  // namespace
