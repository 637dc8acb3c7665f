// The real USB backend (LibusbHost over libusb-1.0) against the simulated scanner emulated as a
// USB device by umockdev (UmockdevScanner): the exchange table of the other links, the
// control-pipe lock, a stall cleared, a claim held elsewhere and the transfer time limit, all
// through libusb's usbdevfs requests.
//
// The program runs under umockdev's preload library (the test's environment sets LD_PRELOAD).
// Without it the tests skip with the reason, except under CI (CI=true), where a skip fails.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ExchangeCases.h"
#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "USB/USBControl.h"
#include "USB/UsbIds.h"
#include "USB/Wraper.h"
#include "UmockdevScanner.h"
#include "UsbTestSupport.h"
#include "platform/usb/LibusbHost.h"
#include "support/ScannerRig.h"
#include "support/TestBytes.h"

using platform::UsbResult;
using sim::UmockdevScanner;

namespace {

bool underCi() {
  const char* ci = std::getenv("CI");
  return ci && std::strcmp(ci, "true") == 0;
}

// Skips the test (fails it under CI) when umockdev does not run this program.
#define REQUIRE_UMOCKDEV()                                                            \
  do {                                                                                \
    if (!UmockdevScanner::available()) {                                              \
      if (underCi()) FAIL() << "CI=true: " << UmockdevScanner::unavailableReason();   \
      GTEST_SKIP() << UmockdevScanner::unavailableReason();                           \
    }                                                                                 \
  } while (0)

// The emulated scanner, a LibusbHost made after it (its context sees the testbed), installed as
// the process's host, and the open-attempt pause recorded instead of slept.
class LibusbLink {
 public:
  explicit LibusbLink(uint16_t productId = usbids::kProductIdQMX7315W) : device(productId) {
    m_previousHost = platform::setUsbHost(&host);
    m_previousPause = CFISHUSBControl::setPauseFunction([this](std::chrono::milliseconds d) { pauses.push_back(d); });
  }
  ~LibusbLink() {
    CFISHUSBControl::setPauseFunction(m_previousPause);
    platform::setUsbHost(m_previousHost);
  }

  UmockdevScanner device;
  platform::LibusbHost host;
  std::vector<std::chrono::milliseconds> pauses;

 private:
  platform::UsbHost* m_previousHost = nullptr;
  CFISHUSBControl::PauseFunction m_previousPause;
};

class UmockdevRig : public Rig {
 public:
  UmockdevRig() { EXPECT_TRUE(io.openScanner("")); }
  ~UmockdevRig() override { io.closeScanner(); }
  sim::ScannerModel& model() override { return m_link.device.model(); }
  sim::FaultPlan& faults() override { return m_link.device.faults(); }
  sim::CommandLog& log() override { return m_link.device.log(); }
  UmockdevScanner& device() { return m_link.device; }

 private:
  LibusbLink m_link;
};

bool inquiry(IOWrapper& io) {
  io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
  return io.execute(nullptr);
}

// ---- The exchange table -------------------------------------------------------------------------

class LibusbExchange : public ::testing::TestWithParam<size_t> {};

TEST_P(LibusbExchange, ThroughTheRealBackend) {
  REQUIRE_UMOCKDEV();
  UmockdevRig rig;
  ASSERT_TRUE(rig.io.isOpen());
  finishesWithin(std::chrono::seconds(60), [&] {
    exchange_cases::kCases[GetParam()].run(rig);
    return 0;
  });
}

INSTANTIATE_TEST_SUITE_P(Cases, LibusbExchange, ::testing::Range<size_t>(0, std::size(exchange_cases::kCases)),
                         [](const auto& info) { return std::string(exchange_cases::kCases[info.param].name); });

// ---- The host layer on the emulated device --------------------------------------------------------

TEST(LibusbOnUmockdev, FindsOpensAndClaimsTheScannerWithItsPipes) {
  REQUIRE_UMOCKDEV();
  LibusbLink link(usbids::kProductIdQMX7305);
  platform::LibusbHost& host = link.host;
  EXPECT_TRUE(host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7315W).empty());
  const auto found = host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7305);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].ref, 0x0102u);  // bus 1, address 2

  platform::DeviceHandle dev = 0;
  ASSERT_EQ(host.openDevice(found[0].ref, &dev), UsbResult::Success);
  uint8_t configurations = 0;
  EXPECT_EQ(host.numberOfConfigurations(dev, &configurations), UsbResult::Success);
  EXPECT_EQ(configurations, 1);
  std::vector<uint8_t> numbers;
  EXPECT_EQ(host.interfaceNumbers(dev, &numbers), UsbResult::Success);
  EXPECT_EQ(numbers, std::vector<uint8_t>{0});

  platform::InterfaceHandle iface = 0;
  ASSERT_EQ(host.openInterface(dev, 0, &iface), UsbResult::Success);
  EXPECT_EQ(link.device.claimsHeld(), 1);
  uint8_t endpoints = 0;
  EXPECT_EQ(host.numberOfEndpoints(iface, &endpoints), UsbResult::Success);
  ASSERT_EQ(endpoints, 3);
  const std::pair<uint8_t, platform::UsbTransferType> pipes[] = {
      {0x01, platform::UsbTransferType::Bulk},
      {0x82, platform::UsbTransferType::Bulk},
      {0x83, platform::UsbTransferType::Interrupt},
  };
  for (uint8_t ref = 1; ref <= 3; ++ref) {
    platform::UsbPipeProperties p;
    ASSERT_EQ(host.pipeProperties(iface, ref, &p), UsbResult::Success);
    EXPECT_EQ(p.endpointAddress, pipes[ref - 1].first);
    EXPECT_EQ(p.type, pipes[ref - 1].second);
  }
  EXPECT_EQ(host.pipeStatus(iface, 2), UsbResult::Success);  // not halted

  // A second claim of the same interface through another handle is refused, as usbfs does.
  platform::DeviceHandle second = 0;
  ASSERT_EQ(host.openDevice(found[0].ref, &second), UsbResult::Success);
  platform::InterfaceHandle secondIface = 0;
  EXPECT_EQ(host.openInterface(second, 0, &secondIface), UsbResult::ExclusiveAccess);
  EXPECT_EQ(secondIface, 0u);
  EXPECT_EQ(host.closeDevice(second), UsbResult::Success);

  EXPECT_EQ(host.closeInterface(iface), UsbResult::Success);
  EXPECT_EQ(link.device.claimsHeld(), 0);
  EXPECT_EQ(host.closeDevice(dev), UsbResult::Success);
  const auto requests = link.device.requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "claim 0"), 2);
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "release 0"), 1);
}

// Every byte of a large data phase goes out in one bulk transfer and arrives intact, and what
// the scanner answers comes back through reaped URBs, with the length the device gave.
TEST(LibusbOnUmockdev, BulkTransfersMoveTheBytesBothWays) {
  REQUIRE_UMOCKDEV();
  UmockdevRig rig;
  ASSERT_TRUE(rig.io.isOpen());
  const sim::Bytes book = pattern(exchange_cases::kAddressBookLength, 13);
  rig.io.setVendorCmd(FOP_WRITE, FCLC_RS_ADDRESS_BOOK, 0, exchange_cases::kAddressBookLength);
  ASSERT_TRUE(rig.io.execute(const_cast<uint8_t*>(book.data())));
  EXPECT_EQ(rig.model().record(FCLC_RS_ADDRESS_BOOK, 0), book);
  sim::Bytes back(exchange_cases::kAddressBookLength, 0);
  rig.io.setVendorCmd(FOP_READ, FCLC_RS_ADDRESS_BOOK, 0, exchange_cases::kAddressBookLength);
  ASSERT_TRUE(rig.io.execute(back.data()));
  EXPECT_EQ(back, book);
  // Besides the commands (16 bytes out) and status blocks (32 bytes in), the URBs carried the
  // two data phases, however libusb cut them up.
  size_t out = 0, in = 0;
  for (const std::string& urb : rig.device().urbs()) {
    const unsigned long length = std::stoul(urb.substr(5));
    if (urb.rfind("0x01 ", 0) == 0 && length != 16) out += length;
    if (urb.rfind("0x82 ", 0) == 0 && length != 32) in += length;
  }
  EXPECT_EQ(out, exchange_cases::kAddressBookLength);
  EXPECT_EQ(in, exchange_cases::kAddressBookLength);
}

// ---- The control-pipe lock --------------------------------------------------------------------------

TEST(LibusbOnUmockdev, LockAndUnlockGoOverTheControlPipeAndTheReplyDecides) {
  REQUIRE_UMOCKDEV();
  UmockdevRig rig;
  ASSERT_TRUE(rig.io.isOpen());
  EXPECT_TRUE(rig.io.CtrlPipeLockScanner());
  EXPECT_TRUE(rig.io.CtrlPipeUnlockScanner());
  const auto sent = rig.device().controlRequests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].bmRequestType & 0xE0, 0xC0);  // vendor request, device to host
  EXPECT_EQ(sent[0].wLength, 5);
  EXPECT_NE(sent[0].bRequest, sent[1].bRequest);

  struct Reply {
    std::vector<uint8_t> bytes;
    bool granted;
  };
  const Reply table[] = {
      {{0, 0, 0, 0, 0}, true},
      {{0, 0, 0, 0, 1}, false},  // byte 4: the scanner refuses
      {{0, 0, 0}, false},        // stops short of byte 4
  };
  for (const Reply& r : table) {
    rig.device().setControlReply(r.bytes);
    EXPECT_EQ(rig.io.CtrlPipeLockScanner(), r.granted) << r.bytes.size();
  }
}

// ---- Faults of the device ---------------------------------------------------------------------------

TEST(LibusbOnUmockdev, AStalledPipeIsClearedAndTheNextExchangeRuns) {
  REQUIRE_UMOCKDEV();
  UmockdevRig rig;
  ASSERT_TRUE(rig.io.isOpen());
  rig.device().stallNext(0x01);
  EXPECT_FALSE(inquiry(rig.io));
  const auto requests = rig.device().requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "clear_halt 0x01"), requests.end());
  EXPECT_FALSE(rig.device().halted(0x01));
  EXPECT_TRUE(inquiry(rig.io));
  EXPECT_EQ(rig.io.lastError(), 0u);
}

TEST(LibusbOnUmockdev, AClaimHeldElsewhereIsAskedAgainAfterAPause) {
  REQUIRE_UMOCKDEV();
  {
    LibusbLink link;
    link.device.setBusyClaims(1);
    IOWrapper io;
    ASSERT_TRUE(io.openScanner(""));
    EXPECT_EQ(link.pauses.size(), 1u);
    EXPECT_TRUE(inquiry(io));
    io.closeScanner();
    EXPECT_EQ(link.device.claimsHeld(), 0);
  }
  {
    // Held for good: every attempt is refused, and the device is left as it was found.
    LibusbLink link;
    link.device.setBusyClaims(1000);
    IOWrapper io;
    EXPECT_FALSE(io.openScanner(""));
    EXPECT_EQ(link.pauses.size(), size_t(CFISHUSBControl::kOpenAttempts - 1));
    EXPECT_EQ(link.device.claimsHeld(), 0);
  }
}

// A scanner that never answers: libusb cancels the status read at the transfer's limit (the
// 30 s limit, injected short here), the exchange fails without hanging and the device is closed.
TEST(LibusbOnUmockdev, ASilentScannerEndsAtTheTransferLimit) {
  REQUIRE_UMOCKDEV();
  const auto previous = Wraper::setDefaultBulkTransferTimeout(std::chrono::milliseconds(300));
  {
    UmockdevRig rig;
    ASSERT_TRUE(rig.io.isOpen());
    sim::Fault silent;
    silent.opcode = FOP_INQUIRY;
    silent.silent = true;
    rig.faults().add(silent);
    EXPECT_FALSE(finishesWithin(std::chrono::seconds(10), [&] { return inquiry(rig.io); }));
    EXPECT_TRUE(rig.io.usbWrapper().deviceLost());
    const auto requests = rig.device().requests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "discard 0x82"), requests.end());
    EXPECT_EQ(rig.device().claimsHeld(), 0);

    // Opened again, the scanner answers the new command.
    ASSERT_TRUE(rig.io.openScanner(""));
    EXPECT_TRUE(inquiry(rig.io));
    EXPECT_EQ(rig.io.lastError(), 0u);
  }
  Wraper::setDefaultBulkTransferTimeout(previous);
}

}  // namespace
