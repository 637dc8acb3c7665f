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
#include "platform/usb/FakeUsbHost.h"

namespace {


constexpr uint32_t kNetworkLength = 352;
constexpr uint32_t kAddressBookLength = 114036;

struct ExchangeCase {
  const char* name;
  std::function<void(Rig&)> run;  // arranges, exchanges and checks
};

const ExchangeCase kCases[] = {
    {"InquiryAnswersTheDeviceStatus",
     [](Rig& r) {
       r.model().setFWInfo(4);
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       ASSERT_TRUE(r.io.execute(nullptr));
       EXPECT_EQ(r.io.status().wFWInfo, 4);
       EXPECT_EQ(r.io.lastError(), 0u);
     }},
    {"CommandLengthIsAParameterOnly",
     [](Rig& r) {
       r.io.setVendorCmd(FOP_COMMAND, FCLC_RS_RESET, 1, 60);
       ASSERT_TRUE(r.io.execute(nullptr));
       ASSERT_TRUE(r.log().waitForCount(1));
       EXPECT_TRUE(r.log().entries()[0].dataIn.empty());
       // The stream is still in step: the next exchange is understood.
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_TRUE(r.io.execute(nullptr));
       EXPECT_EQ(r.io.lastError(), 0u);
     }},
    {"ReadBringsTheRecord",
     [](Rig& r) {
       const sim::Bytes record = pattern(kNetworkLength, 3);
       r.model().setRecord(FCLC_RS_NETWORK, 1, record);
       sim::Bytes buf(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(buf.data()));
       EXPECT_EQ(buf, record);
     }},
    {"WriteStoresTheRecord",
     [](Rig& r) {
       sim::Bytes data = pattern(kNetworkLength, 5);
       r.io.setVendorCmd(FOP_WRITE, FCLC_RS_NETWORK, 2, kNetworkLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       ASSERT_TRUE(r.log().waitForCount(1));
       EXPECT_EQ(r.model().record(FCLC_RS_NETWORK, 2), data);
     }},
    {"LargeWrite2StoresTheRecord",
     [](Rig& r) {
       sim::Bytes data = pattern(kAddressBookLength, 7);
       r.io.setVendorCmd(FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0, kAddressBookLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       EXPECT_EQ(r.model().record(FCLC_RS_ADDRESS_BOOK, 0), data);
     }},
    {"RoundTripOfEveryDataOpcode",
     [](Rig& r) {
       sim::Bytes data = pattern(kNetworkLength, 11);
       r.io.setVendorCmd(FOP_WRITE2, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       sim::Bytes back(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(back.data()));
       EXPECT_EQ(back, data);
     }},
    {"RefusedCommandStillCompletesWithItsError",
     [](Rig& r) {
       sim::Fault f;
       f.opcode = FOP_WRITE;
       f.lastErr = FCLE_FW_REJECT_RS;
       r.faults().add(f);
       sim::Bytes data = pattern(40, 1);
       r.io.setVendorCmd(FOP_WRITE, FCLC_RS_SCANNER_LOCK, 1, 40);
       ASSERT_TRUE(r.io.execute(data.data()));
       EXPECT_EQ(r.io.lastError(), FCLE_FW_REJECT_RS);
     }},
    {"JudgedStepAnswersItsFirstProblem",
     [](Rig& r) {
       const auto inquiry = [&r] {
         r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
         return r.io.execute(nullptr);
       };
       EXPECT_TRUE(r.io.judge(inquiry).ok());
       // Refused, then accepted: the step is refused, and the step around it sees that too.
       sim::Fault jam;
       jam.opcode = FOP_INQUIRY;
       jam.lastErr = 0x2003;
       r.faults().add(jam);
       CommandOutcome inner;
       const CommandOutcome outer = r.io.judge([&] {
         inner = r.io.judge([&] { return inquiry() && inquiry(); });
         return true;
       });
       EXPECT_EQ(inner.kind, CommandOutcome::Kind::Refused);
       EXPECT_EQ(inner.deviceError, 0x2003u);
       EXPECT_EQ(outer.kind, CommandOutcome::Kind::Refused);
       // A step that answers false fails although its exchanges were accepted.
       EXPECT_EQ(r.io.judge([&] { return inquiry() && false; }).kind, CommandOutcome::Kind::Failed);
       // A status cut short is never accepted, whatever the transport answered.
       sim::Fault cut;
       cut.opcode = FOP_INQUIRY;
       cut.closeAfterSent = 6;
       r.faults().add(cut);
       EXPECT_FALSE(r.io.judge(inquiry).ok());
       EXPECT_TRUE(r.io.judge(inquiry).ok());
     }},
    {"UnknownOpcodeMovesNothing",
     [](Rig& r) {
       r.io.setVendorCmd(0x13, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_FALSE(r.io.execute(nullptr));
       EXPECT_EQ(r.log().size(), 0u);
     }},
    {"ReadCutShortFailsAndTheNextExchangeWorks",
     [](Rig& r) {
       sim::Fault f;
       f.opcode = FOP_READ;
       f.closeAfterSent = sizeof(FCL_DEVICE_STATUS) + 100;
       r.faults().add(f);
       r.model().setRecord(FCLC_RS_NETWORK, 1, pattern(kNetworkLength, 9));
       sim::Bytes buf(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       EXPECT_FALSE(r.io.execute(buf.data()));
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_TRUE(r.io.execute(nullptr));
     }},
};

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
