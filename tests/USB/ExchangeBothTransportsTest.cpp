// One table of command exchanges, run through IOWrapper over both transports against the same
// simulated scanner: TCP to the in-process simulator on loopback, and USB to the simulator
// behind a fake USB device. Each transport must give the caller the same results.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>
#include <thread>

#include "support/TestBytes.h"
#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "support/ScannerRig.h"
#include "support/SimScanner.h"
#include "USB/USBControl.h"
#include "USB/Wraper.h"
#include "USB/UsbIds.h"
#include "UsbScanner.h"
#include "UsbTestSupport.h"
#include "ExchangeCases.h"
#include "platform/usb/FakeUsbHost.h"

namespace {

// The cases themselves are shared with the libusb link (ExchangeCases.h).
using exchange_cases::kCases;

enum class Link { Tcp, Usb };
void PrintTo(Link l, std::ostream* os) { *os << (l == Link::Tcp ? "TCP" : "USB"); }

std::unique_ptr<Rig> makeRig(Link link) {
  if (link == Link::Tcp) return std::make_unique<TcpRig>();
  return std::make_unique<UsbRig>();
}

class BothTransports : public ::testing::TestWithParam<std::tuple<Link, size_t>> {};

TEST_P(BothTransports, Exchange) {
  auto [link, index] = GetParam();
  auto rig = makeRig(link);
  ASSERT_TRUE(rig->io.isOpen());
  kCases[index].run(*rig);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BothTransports,
    ::testing::Combine(::testing::Values(Link::Tcp, Link::Usb),
                       ::testing::Range<size_t>(0, std::size(kCases))),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) == Link::Tcp ? "Tcp_" : "Usb_") + kCases[std::get<1>(info.param)].name;
    });

// The USB link's own part of the exchange: the control-pipe lock, and the phase order on the
// bulk pipes as the device sees it.
TEST(SimulatedUsbScanner, LockAndPhaseOrderOnThePipes) {
  sim::ScannerModel model;
  sim::CommandLog log;
  auto scanner = sim::UsbScanner::create(model, nullptr, &log);
  platform::FakeUsbHost host;
  const int index = host.addDevice(scanner->device(usbids::kScannerVendorId, usbids::kProductIdQMX7305));
  platform::UsbHost* previous = platform::setUsbHost(&host);
  {
    IOWrapper io;
    ASSERT_TRUE(io.openScanner(""));
    EXPECT_TRUE(io.CtrlPipeLockScanner());
    host.device(index).controlReply = {0, 0, 0, 0, 1};
    EXPECT_FALSE(io.CtrlPipeLockScanner());

    host.clearCalls();
    sim::Bytes data = pattern(100, 2);
    io.setVendorCmd(FOP_WRITE, FCLC_RS_NETWORK, 1, 100);
    ASSERT_TRUE(io.execute(data.data()));
    io.setVendorCmd(FOP_WRITE2, FCLC_RS_NETWORK, 1, 100);
    ASSERT_TRUE(io.execute(data.data()));
    EXPECT_EQ(host.calls(), (std::vector<std::string>{"write #0 1 16", "read #0 2 32", "write #0 1 100",
                                                      "write #0 1 16", "write #0 1 100", "read #0 2 32"}));
    EXPECT_TRUE(io.closeScanner());
  }
  platform::setUsbHost(previous);
  scanner->stop();
  EXPECT_EQ(host.openDevices(), 0u);
}

// A scanner that answers later than the USB limit: the exchange fails and the device is closed;
// once opened again, the scanner's answer is the new command's, never the late one.
TEST(SimulatedUsbScanner, AStatusLaterThanTheLimitIsNeverTakenForTheNextAnswer) {
  constexpr std::chrono::milliseconds kLimit{100};
  sim::ScannerModel model;
  sim::FaultPlan faults;
  sim::CommandLog log;
  auto scanner = sim::UsbScanner::create(model, &faults, &log);
  platform::FakeUsbHost host;
  host.addDevice(scanner->device(usbids::kScannerVendorId, usbids::kProductIdQMX7315W));
  platform::UsbHost* previous = platform::setUsbHost(&host);
  {
    IOWrapper io;
    io.usbWrapper().setBulkTransferTimeout(kLimit);
    ASSERT_TRUE(io.openScanner(""));
    sim::Fault late;
    late.opcode = FOP_INQUIRY;
    late.delayStatus = kLimit * 5;
    late.lastErr = 0x1111;
    faults.add(late);
    io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
    EXPECT_FALSE(finishesWithin(kLimit * 10, [&] { return io.execute(nullptr); }));
    EXPECT_TRUE(io.usbWrapper().deviceLost());
    EXPECT_FALSE(io.isOpen());
    EXPECT_EQ(host.openDevices(), 0u);
    // The next command on the same connection, sent once the late answer would be there, fails
    // instead of reading it.
    std::this_thread::sleep_for(late.delayStatus);
    EXPECT_FALSE(io.execute(nullptr));
    EXPECT_NE(io.lastError(), 0x1111u);

    ASSERT_TRUE(io.openScanner(""));
    EXPECT_FALSE(io.usbWrapper().deviceLost());
    EXPECT_TRUE(io.isOpen());
    io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
    ASSERT_TRUE(io.execute(nullptr));
    EXPECT_EQ(io.lastError(), 0u);
    io.closeScanner();
  }
  platform::setUsbHost(previous);
  scanner->stop();
  EXPECT_EQ(host.openDevices(), 0u);
}

}  // namespace
