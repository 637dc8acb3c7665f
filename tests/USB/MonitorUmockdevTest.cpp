// The push-scan monitor's USB operations over the real libusb backend, against the simulated
// scanner emulated by umockdev: a command and its data read through the bulk pipes, a stall
// cleared, a claim held elsewhere, and a scanner that does not answer ended by the monitor's own
// limits or broken off from the event loop.
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "MonitorTestSupport.h"
#include "UmockdevScanner.h"
#include "monitor/ScannerUtility/CFITUSBControl.h"
#include "monitor/ScannerUtility/USBWraper.h"
#include "platform/usb/LibusbHost.h"

using namespace monitor;
using namespace std::chrono_literals;
using sim::UmockdevScanner;

namespace {

FCL_CMD commandOf(uint8_t op, uint8_t dtc, uint16_t dtq, uint32_t length) {
  FCL_CMD c{};
  USBWraper::CreateCommand(&c, op, dtc, dtq, length);
  return c;
}

class MonitorOverLibusb : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UmockdevScanner::available()) {
      const char* ci = std::getenv("CI");
      if (ci && std::strcmp(ci, "true") == 0) FAIL() << "CI=true: " << UmockdevScanner::unavailableReason();
      GTEST_SKIP() << UmockdevScanner::unavailableReason();
    }
    device = std::make_unique<UmockdevScanner>(MonitorUsbSim::kProduct);
    host = std::make_unique<platform::LibusbHost>();  // after the testbed: its context sees the device
    m_previous = platform::setUsbHost(host.get());
  }
  void TearDown() override {
    if (host) platform::setUsbHost(m_previous);
    host.reset();
    device.reset();
  }
  void open(USBWraper& w) {
    w.scannerVendorID = MonitorUsbSim::kVendor;
    w.scannerProductID = MonitorUsbSim::kProduct;
    ASSERT_TRUE(w.OpenScanner("USB"));
    ASSERT_TRUE(w.OpenConnect("USB"));
  }
  bool hasRequest(const std::string& r) const {
    const auto all = device->requests();
    return std::find(all.begin(), all.end(), r) != all.end();
  }

  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  std::unique_ptr<UmockdevScanner> device;
  std::unique_ptr<platform::LibusbHost> host;

 private:
  platform::UsbHost* m_previous = nullptr;
};

}  // namespace

TEST_F(MonitorOverLibusb, CommandAndDataReadGoThroughTheBulkPipes) {
  USBWraper w;
  open(w);
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  {
    Watchdog dog(20s, "a command over libusb");
    ASSERT_TRUE(w.SendCommand(&cmd, &status));
    uint32_t capacity = 0;
    ASSERT_TRUE(w.GetData(&capacity, sizeof capacity));
    EXPECT_EQ(capacity, sim::kDefaultPCListCapacity);
  }
  EXPECT_EQ(device->claimsHeld(), 1);
  w.CloseConnect();
  EXPECT_EQ(device->claimsHeld(), 0);
  EXPECT_TRUE(hasRequest("release 0"));
}

TEST_F(MonitorOverLibusb, AStalledCommandIsClearedForTheNextOperation) {
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  {
    USBWraper w;
    open(w);
    device->stallNext(0x01);
    EXPECT_FALSE(w.SendCommand(&cmd, &status));
    w.CloseConnect();
  }
  EXPECT_TRUE(hasRequest("clear_halt 0x01"));
  EXPECT_FALSE(device->halted(0x01));
  USBWraper w;
  open(w);
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  uint32_t capacity = 0;
  EXPECT_TRUE(w.GetData(&capacity, sizeof capacity));
  w.CloseConnect();
}

TEST_F(MonitorOverLibusb, ADeviceHeldElsewhereIsGivenUpAfterItsPause) {
  device->setBusyClaims(1000);
  USBWraper w;
  w.scannerVendorID = MonitorUsbSim::kVendor;
  w.scannerProductID = MonitorUsbSim::kProduct;
  {
    Watchdog dog(20s, "an open of a held device");
    EXPECT_FALSE(w.OpenScanner("USB"));
  }
  w.CloseScanner();
  EXPECT_EQ(timings.pauses(), std::vector<std::chrono::milliseconds>{100ms});
  EXPECT_EQ(device->claimsHeld(), 0);
}

// A status read the scanner never answers runs as tries of the monitor's try limit (1 s, made
// short here): libusb discards each URB at its limit, the read is tried again, and the command
// fails once the exchange's limit, counted from the open of the device, has passed, without
// hanging.
TEST_F(MonitorOverLibusb, ASilentScannerEndsAtTheExchangesLimitInShortTries) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 100ms;
  t.exchange = 450ms;
  ScopedMonitorTimings shortLimit(t);
  device->faults().add(fault([](sim::Fault& f) { f.silent = true; }));
  USBWraper w;
  open(w);
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  {
    Watchdog dog(20s, "a command the scanner never answers");
    EXPECT_FALSE(w.SendCommand(&cmd, &status));
  }
  const auto all = device->requests();
  EXPECT_GE(std::count(all.begin(), all.end(), "discard 0x82"), 2) << "the read was tried again";
  w.CloseConnect();
  EXPECT_EQ(device->claimsHeld(), 0);
}

// A quit signal's handler breaks off an exchange with a scanner that stopped answering: the
// event loop is served between the tries, and the read ends after the try under way instead of
// at its limit.
TEST_F(MonitorOverLibusb, ABreakOffFromTheEventLoopEndsAReadTheScannerNeverAnswers) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 200ms;
  t.exchange = 60s;
  ScopedMonitorTimings longLimit(t);
  device->faults().add(fault([](sim::Fault& f) { f.silent = true; }));
  USBWraper w;
  open(w);
  bool brokenOff = false;
  QTimer::singleShot(500ms, [&] {
    brokenOff = true;
    w.abort();
  });
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  {
    Watchdog dog(20s, "a read broken off");
    EXPECT_FALSE(w.SendCommand(&cmd, &status));
  }
  EXPECT_TRUE(brokenOff);
  w.CloseConnect();
  EXPECT_EQ(device->claimsHeld(), 0);
}
