// The USB framing (Wraper) and device access (CFISHUSBControl) against scripted fake devices.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <numeric>

#include "USB/USBControl.h"
#include "USB/Wraper.h"
#include "UsbTestSupport.h"

using platform::FakeUsbHost;
using platform::UsbDirection;
using platform::UsbPipeProperties;
using platform::UsbResult;
using platform::UsbTransferType;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

namespace {

FCL_VENDOR_CMD command(uint8_t opcode, uint32_t length) {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = FCL_VENDOR_ID;
  c.byOPCode = opcode;
  c.byDTC = 0x21;
  c.wDTQ = 0x0304;
  c.dwDataLength = length;
  return c;
}

std::vector<uint8_t> statusBytes(uint32_t lastErr, uint16_t fwInfo) {
  FCL_DEVICE_STATUS s{};
  s.dwLastErr = lastErr;
  s.wFWInfo = fwInfo;
  s.byFWDebug[15] = 0x5A;
  return bytesOf(&s, sizeof s);
}

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  return v;
}

const std::string kFind7315W = "findDevices 1209:0001";
const std::string kFind7305 = "findDevices 1209:0002";

}  // namespace

// ---- Opening -----------------------------------------------------------------------------------

TEST_F(FakeHostTest, NoScannerTriesBothModelsThenTransfersFailWithDiagnostics) {
  Wraper w;
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);  // before any open: no control object at all
  EXPECT_EQ(w.CloseScanner(), -1);
  EXPECT_EQ(w.CtrlPipeLockScanner(), 0);

  EXPECT_EQ(w.OpenScanner(), -1);
  EXPECT_EQ(callsOf({"findDevices"}), (std::vector<std::string>{kFind7315W, kFind7305}));

  CaptureStdout();
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  EXPECT_EQ(w.GetData(&st, sizeof st), -1);
  EXPECT_EQ(w.CtrlPipeLockScanner(), 0);  // the lock refused, not granted
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("ERROR: WriteScannerFile m_pdev is null!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("ERROR: ReadScannerFile m_pdev is null!\n"), std::string::npos) << out;
  EXPECT_NE(out.find("ERROR: CtrlPipeLockScanner m_pdev is null!\n"), std::string::npos) << out;
}

struct OpenCase {
  const char* name;
  int (Wraper::*open)();
  uint16_t attachedProduct;  // 0: none
  int expected;
  std::vector<std::string> searches;
};

class WraperOpenByModel : public FakeHostTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(WraperOpenByModel, SearchesTheModelsItIsMeantTo) {
  const OpenCase& c = GetParam();
  if (c.attachedProduct) host.addDevice(scanner(c.attachedProduct));
  Wraper w;
  EXPECT_EQ((w.*c.open)(), c.expected);
  EXPECT_EQ(callsOf({"findDevices"}), c.searches);
  EXPECT_EQ(host.openDevices(), c.expected == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Models, WraperOpenByModel,
    ::testing::Values(
        OpenCase{"BothNetworkFirst", &Wraper::OpenScanner, usbids::kProductIdQMX7315W, 0, {kFind7315W}},
        OpenCase{"BothFallsBackToUsbModel", &Wraper::OpenScanner, usbids::kProductIdQMX7305, 0,
                 {kFind7315W, kFind7305}},
        OpenCase{"NetworkOnly", &Wraper::OpenScannerBNT, usbids::kProductIdQMX7315W, 0, {kFind7315W}},
        OpenCase{"NetworkOnlyIgnoresUsbModel", &Wraper::OpenScannerBNT, usbids::kProductIdQMX7305, -1, {kFind7315W}},
        OpenCase{"UsbOnly", &Wraper::OpenScannerB, usbids::kProductIdQMX7305, 0, {kFind7305}},
        OpenCase{"UsbOnlyIgnoresNetworkModel", &Wraper::OpenScannerB, usbids::kProductIdQMX7315W, -1, {kFind7305}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BusyCase {
  int busyClaims;
  int expected;
  size_t claimAttempts;
  size_t pausesTaken;
};

class ExclusiveAccess : public FakeHostTest, public ::testing::WithParamInterface<BusyCase> {};

// A scanner held by another program is asked three times, with the pause between attempts.
TEST_P(ExclusiveAccess, RetriedWithPauseUpToThreeAttempts) {
  const BusyCase& c = GetParam();
  auto d = scanner();
  d.busyClaims = c.busyClaims;
  host.addDevice(d);
  Wraper w;
  EXPECT_EQ(w.OpenScannerBNT(), c.expected);
  EXPECT_EQ(callsOf({"openInterface"}).size(), c.claimAttempts);
  ASSERT_EQ(pauses.size(), c.pausesTaken);
  for (auto p : pauses) EXPECT_EQ(p, CFISHUSBControl::kExclusiveAccessPause);
  // A refused attempt leaves nothing open behind it.
  EXPECT_EQ(host.openDevices(), c.expected == 0 ? 1u : 0u);
  EXPECT_EQ(host.openInterfaces(), c.expected == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Claims, ExclusiveAccess,
                         ::testing::Values(BusyCase{0, 0, 1, 0}, BusyCase{1, 0, 2, 1}, BusyCase{2, 0, 3, 2},
                                           BusyCase{3, -1, 3, 2}));

TEST_F(FakeHostTest, ThePauseIsATenthOfASecond) {
  EXPECT_EQ(CFISHUSBControl::kExclusiveAccessPause, std::chrono::milliseconds(100));
}

TEST_F(FakeHostTest, OtherOpenFailuresAreRetriedAtOnce) {
  auto d = scanner();
  d.configurations = 0;  // a device without configuration never opens
  host.addDevice(d);
  Wraper w;
  EXPECT_EQ(w.OpenScannerBNT(), -1);
  EXPECT_EQ(callsOf({"openDevice"}).size(), 3u);
  EXPECT_TRUE(pauses.empty());
  EXPECT_EQ(host.openDevices(), 0u);
}

// The first matching device that opens is the one used; the others stay closed.
TEST_F(FakeHostTest, StopsAtTheFirstMatchingDeviceThatOpens) {
  auto unreachable = scanner();
  unreachable.reachable = false;
  host.addDevice(unreachable);
  const int used = host.addDevice(scanner());
  const int spare = host.addDevice(scanner());
  host.scripted(used)->queueRead(statusBytes(0, 0));

  Wraper w;
  EXPECT_EQ(w.OpenScannerBNT(), 0);
  EXPECT_EQ(host.openDevices(), 1u);
  for (const std::string& c : host.calls()) EXPECT_EQ(c.find("#" + std::to_string(spare)), std::string::npos) << c;

  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  EXPECT_EQ(w.SendCommand(&cmd, &st), 0);
  EXPECT_EQ(host.scripted(used)->writes().size(), 1u);
}

TEST_F(FakeHostTest, FailedDeviceOpenStillTriesTheInterfaceAndSaysSo) {
  auto d = scanner();
  d.openResult = UsbResult::AccessDenied;  // e.g. no udev permission
  host.addDevice(d);
  Wraper w;
  CaptureStdout();
  EXPECT_EQ(w.OpenScannerBNT(), -1);
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("USBDeviceOpen Err" + std::to_string(int(UsbResult::AccessDenied)) + "\n"), std::string::npos)
      << out;
  EXPECT_EQ(callsOf({"openInterface"}).size(), 3u);
  EXPECT_EQ(host.openDevices(), 0u);
}

TEST_F(FakeHostTest, OpeningAgainClosesTheFirstConnectionBeforeTheNewOne) {
  host.addDevice(scanner());
  Wraper w;
  ASSERT_EQ(w.OpenScanner(), 0);
  host.clearCalls();
  // The claim is exclusive: the second open can only succeed if the first was let go.
  ASSERT_EQ(w.OpenScanner(), 0);
  EXPECT_EQ(callsOf({"closeInterface", "closeDevice", "openDevice", "openInterface"}),
            (std::vector<std::string>{"closeInterface #0", "closeDevice #0", "openDevice #0", "openInterface #0 0"}));
  EXPECT_EQ(host.openDevices(), 1u);
  EXPECT_EQ(host.openInterfaces(), 1u);
}

TEST_F(FakeHostTest, DestroyingTheWraperClosesTheScanner) {
  host.addDevice(scanner());
  {
    Wraper w;
    ASSERT_EQ(w.OpenScanner(), 0);
  }
  EXPECT_EQ(host.openDevices(), 0u);
  EXPECT_EQ(host.openInterfaces(), 0u);
}

// ---- Pipes -------------------------------------------------------------------------------------

TEST_F(FakeHostTest, FindsTheFirstPipeOfEachKind) {
  auto d = scanner();
  d.interfaces = {{
      {UsbDirection::In, UsbTransferType::Interrupt, 0x81, 8},  // 1
      {UsbDirection::In, UsbTransferType::Bulk, 0x82, 512},       // 2
      {UsbDirection::Out, UsbTransferType::Interrupt, 0x03, 8},  // 3: not used
      {UsbDirection::Out, UsbTransferType::Bulk, 0x04, 512},      // 4
      {UsbDirection::Out, UsbTransferType::Bulk, 0x05, 512},      // 5: a second bulk out
      {UsbDirection::In, UsbTransferType::Bulk, 0x86, 512},       // 6: a second bulk in
  }};
  host.addDevice(d);
  CFISHUSBControl c;
  ASSERT_EQ(c.CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7315W), 0);
  EXPECT_EQ(c.interruptInPipeRef(), 1);
  EXPECT_EQ(c.bulkInPipeRef(), 2);
  EXPECT_EQ(c.bulkOutPipeRef(), 4);
  EXPECT_EQ(c.module(), 0xA7);
}

TEST_F(FakeHostTest, OnlyTheLastInterfaceStaysClaimed) {
  auto d = scanner(usbids::kProductIdQMX7305);
  d.interfaces = {FakeUsbHost::scannerPipes(), FakeUsbHost::scannerPipes()};
  host.addDevice(d);
  CFISHUSBControl c;
  ASSERT_EQ(c.CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7305), 0);
  EXPECT_EQ(c.module(), 0xA5);
  EXPECT_EQ(callsOf({"openInterface", "closeInterface"}),
            (std::vector<std::string>{"openInterface #0 0", "closeInterface #0", "openInterface #0 1"}));
  EXPECT_EQ(host.openInterfaces(), 1u);
}

// ---- Exchange phases -----------------------------------------------------------------------------

class OpenScanner : public FakeHostTest {
 protected:
  void SetUp() override {
    FakeHostTest::SetUp();
    index = host.addDevice(scanner());
    ASSERT_EQ(w.OpenScanner(), 0);
    peer = host.scripted(index);
    host.clearCalls();
  }
  int index = 0;
  FakeUsbHost::ScriptedPeer* peer = nullptr;
  Wraper w;
};

TEST_F(OpenScanner, SendCommandWritesTheBlockThenReadsTheStatus) {
  FCL_VENDOR_CMD cmd = command(FOP_COMMAND, 60);
  peer->queueRead(statusBytes(FCLE_FW_REJECT_RS, 4));
  FCL_DEVICE_STATUS st{};
  ASSERT_EQ(w.SendCommand(&cmd, &st), 0);
  EXPECT_EQ(host.calls(), (std::vector<std::string>{"write #0 1 16", "read #0 2 32"}));
  ASSERT_EQ(peer->writes().size(), 1u);
  EXPECT_EQ(peer->writes()[0], bytesOf(&cmd, sizeof cmd));
  EXPECT_EQ(bytesOf(&st, sizeof st), statusBytes(FCLE_FW_REJECT_RS, 4));  // the status is not judged here
}

TEST_F(OpenScanner, AShortStatusReadStillCompletesTheStatusPhase) {
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  auto reply = statusBytes(0x1234, 7);
  reply.resize(20);
  peer->queueRead(reply);
  FCL_DEVICE_STATUS st{};
  std::memset(&st, 0xEE, sizeof st);
  ASSERT_EQ(w.SendCommand(&cmd, &st), 0);
  const auto got = bytesOf(&st, sizeof st);
  EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 20), reply);
  EXPECT_EQ(std::vector<uint8_t>(got.begin() + 20, got.end()), std::vector<uint8_t>(12, 0xEE));
}

struct PhaseCase {
  const char* name;
  std::function<void(FakeUsbHost::ScriptedPeer&)> script;
  std::function<int(Wraper&)> run;
  int expected;
};

class Phases : public OpenScanner, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(Phases, CountsAreChecked) {
  GetParam().script(*peer);
  EXPECT_EQ(GetParam().run(w), GetParam().expected);
}

const std::vector<uint8_t> kData = pattern(1000);

INSTANTIATE_TEST_SUITE_P(
    Lengths, Phases,
    ::testing::Values(
        PhaseCase{"DataReadInFull", [](auto& p) { p.queueRead(kData); },
                  [](Wraper& w) {
                    std::vector<uint8_t> buf(kData.size());
                    return w.GetData(buf.data(), static_cast<uint32_t>(buf.size())) == 0 && buf == kData ? 0 : -1;
                  },
                  0},
        PhaseCase{"DataReadShortFails", [](auto& p) { p.queueRead(std::vector<uint8_t>(kData.begin(), kData.begin() + 600)); },
                  [](Wraper& w) {
                    std::vector<uint8_t> buf(kData.size());
                    return w.GetData(buf.data(), static_cast<uint32_t>(buf.size()));
                  },
                  -1},
        PhaseCase{"DataWriteInFull", [](auto&) {},
                  [](Wraper& w) { return w.SendData(kData.data(), static_cast<uint32_t>(kData.size())); }, 0},
        PhaseCase{"DataWriteShortFails", [](auto& p) { p.queueWriteLimit(999); },
                  [](Wraper& w) { return w.SendData(kData.data(), static_cast<uint32_t>(kData.size())); }, -1},
        PhaseCase{"CommandWriteShortFails", [](auto& p) { p.queueWriteLimit(15); p.queueRead(statusBytes(0, 0)); },
                  [](Wraper& w) {
                    FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
                    FCL_DEVICE_STATUS st{};
                    return w.SendCommand(&cmd, &st);
                  },
                  -1},
        PhaseCase{"StatusReadFailureFails", [](auto& p) { p.queueRead({}, UsbResult::OtherError); },
                  [](Wraper& w) {
                    FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
                    FCL_DEVICE_STATUS st{};
                    return w.SendCommand(&cmd, &st);
                  },
                  -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenScanner, Write2SendsCommandAndDataBeforeReadingTheStatus) {
  FCL_VENDOR_CMD cmd = command(FOP_WRITE2, static_cast<uint32_t>(kData.size()));
  peer->queueRead(statusBytes(0, 4));
  FCL_DEVICE_STATUS st{};
  ASSERT_EQ(w.Write2Command(&cmd, &st, kData.data(), static_cast<uint32_t>(kData.size())), 0);
  EXPECT_EQ(host.calls(), (std::vector<std::string>{"write #0 1 16", "write #0 1 1000", "read #0 2 32"}));
  ASSERT_EQ(peer->writes().size(), 2u);
  EXPECT_EQ(peer->writes()[1], kData);
  EXPECT_EQ(st.wFWInfo, 4);
}

TEST_F(OpenScanner, Write2StopsAtTheFirstFailedPhase) {
  FCL_VENDOR_CMD cmd = command(FOP_WRITE2, static_cast<uint32_t>(kData.size()));
  peer->queueWriteLimit(16);
  peer->queueWriteLimit(10);  // the data phase comes up short
  peer->queueRead(statusBytes(0, 0));
  FCL_DEVICE_STATUS st{};
  EXPECT_EQ(w.Write2Command(&cmd, &st, kData.data(), static_cast<uint32_t>(kData.size())), -1);
  EXPECT_EQ(callsOf({"read"}).size(), 0u);
  EXPECT_EQ(peer->pendingReads(), 1u);
}

// ---- Stalls ----------------------------------------------------------------------------------------

struct StallCase {
  const char* name;
  uint8_t pipe;
  UsbResult result;
  bool clears;
};

class Stalls : public OpenScanner, public ::testing::WithParamInterface<StallCase> {};

// A transfer that stalled fails even though the stall is cleared; the next exchange then runs.
TEST_P(Stalls, FailTheTransferAndRecoverThePipe) {
  const StallCase& c = GetParam();
  host.failNextTransfer(index, c.pipe, c.result);
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  peer->queueRead(statusBytes(0, 0));
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  const std::string p = std::to_string(c.pipe);
  std::vector<std::string> recovery{"pipeStatus #0 " + p};
  if (c.clears) recovery.push_back("clearPipeStall #0 " + p);
  EXPECT_EQ(callsOf({"pipeStatus", "clearPipeStall"}), recovery);
  EXPECT_FALSE(host.halted(index, c.pipe));

  peer->queueRead(statusBytes(0, 0));
  EXPECT_EQ(w.SendCommand(&cmd, &st), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pipes, Stalls,
    ::testing::Values(StallCase{"BulkOutStalled", 1, UsbResult::PipeStalled, true},
                      StallCase{"BulkInStalled", 2, UsbResult::PipeStalled, true},
                      StallCase{"BulkOutNotResponding", 1, UsbResult::NotResponding, false},
                      StallCase{"BulkInNotResponding", 2, UsbResult::NotResponding, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenScanner, OtherTransferErrorsLeaveThePipeAlone) {
  host.failNextTransfer(index, 1, UsbResult::OtherError);
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  EXPECT_TRUE(callsOf({"pipeStatus", "clearPipeStall"}).empty());
}

TEST_F(FakeHostTest, AStalledWriteReportsTheBytesThatMoved) {
  const int index = host.addDevice(scanner());
  CFISHUSBControl c;
  ASSERT_EQ(c.CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7315W), 0);
  host.failNextTransfer(index, c.bulkOutPipeRef(), UsbResult::PipeStalled, 512);
  uint32_t ack = 12345;
  EXPECT_EQ(c.WriteScannerFile(kData.data(), static_cast<uint32_t>(kData.size()), &ack, Wraper::kBulkTransferTimeout), -1);
  EXPECT_EQ(ack, 512u);
  EXPECT_EQ(c.WriteScannerFile(kData.data(), static_cast<uint32_t>(kData.size()), &ack, Wraper::kBulkTransferTimeout), 0);
  EXPECT_EQ(ack, kData.size());
}

// ---- Time limits -----------------------------------------------------------------------------------

TEST_F(OpenScanner, EveryBulkTransferCarriesTheWrapersLimit) {
  FCL_VENDOR_CMD cmd = command(FOP_WRITE2, static_cast<uint32_t>(kData.size()));
  FCL_DEVICE_STATUS st{};
  peer->queueRead(statusBytes(0, 0));
  ASSERT_EQ(w.Write2Command(&cmd, &st, kData.data(), static_cast<uint32_t>(kData.size())), 0);
  EXPECT_EQ(host.transferTimeouts(), std::vector<std::chrono::milliseconds>(3, std::chrono::seconds(30)));

  // A caller with a limit of its own passes that one instead, on every transfer.
  host.clearCalls();
  w.setBulkTransferTimeout(std::chrono::seconds(5));
  peer->queueRead(statusBytes(0, 0));
  peer->queueRead(kData);
  std::vector<uint8_t> buf(kData.size());
  ASSERT_EQ(w.SendCommand(&cmd, &st), 0);
  ASSERT_EQ(w.GetData(buf.data(), static_cast<uint32_t>(buf.size())), 0);
  EXPECT_EQ(host.transferTimeouts(), std::vector<std::chrono::milliseconds>(3, std::chrono::seconds(5)));
}

TEST_F(FakeHostTest, TheProcessWideLimitIsPickedUpByNewWrapers) {
  host.addDevice(scanner());
  const auto previous = Wraper::setDefaultBulkTransferTimeout(std::chrono::milliseconds(700));
  Wraper w;
  Wraper::setDefaultBulkTransferTimeout(previous);
  EXPECT_EQ(previous, Wraper::kBulkTransferTimeout);
  ASSERT_EQ(w.OpenScanner(), 0);
  host.scripted(0)->queueRead(statusBytes(0, 0));
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  ASSERT_EQ(w.SendCommand(&cmd, &st), 0);
  EXPECT_EQ(host.transferTimeouts(), std::vector<std::chrono::milliseconds>(2, std::chrono::milliseconds(700)));
}

struct TimeOutCase {
  const char* name;
  uint8_t pipe;           // the pipe whose next transfer never completes
  const char* operation;  // in the diagnostic
  std::function<int(Wraper&)> run;
};

class TimeOuts : public OpenScanner, public ::testing::WithParamInterface<TimeOutCase> {};

// A transfer that never completes fails its phase after the limit and closes the device, so a
// late answer cannot be taken for the next command's; until the next open every exchange fails
// at once and nothing reaches the device.
TEST_P(TimeOuts, FailTheExchangeAndCloseTheDeviceUntilItIsOpenedAgain) {
  const TimeOutCase& c = GetParam();
  constexpr std::chrono::milliseconds kLimit{100};
  w.setBulkTransferTimeout(kLimit);
  host.hangNextTransfer(index, c.pipe);

  CaptureStdout();
  const int result = finishesWithin(kLimit * 10, [&] { return c.run(w); });
  const std::string out = GetCapturedStdout();
  EXPECT_EQ(result, -1);
  EXPECT_NE(out.find(std::string("ERROR: ") + c.operation + " timed out after 100 ms; the device is closed\n"),
            std::string::npos)
      << out;
  EXPECT_TRUE(w.deviceLost());
  EXPECT_EQ(callsOf({"abortPipe", "closeInterface", "closeDevice"}),
            (std::vector<std::string>{"abortPipe #0 3", "closeInterface #0", "closeDevice #0"}));
  EXPECT_EQ(host.openDevices(), 0u);
  EXPECT_EQ(host.openInterfaces(), 0u);

  // The next exchange fails cleanly, without touching the device.
  host.clearCalls();
  peer->queueRead(statusBytes(0x1111, 1));  // what a late answer would look like
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  CaptureStdout();
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  EXPECT_EQ(w.CtrlPipeLockScanner(), 0);
  EXPECT_NE(GetCapturedStdout().find("ERROR: WriteScannerFile m_pdev is null!"), std::string::npos);
  EXPECT_TRUE(callsOf({"write", "read", "control"}).empty());
  EXPECT_EQ(peer->pendingReads(), 1u);
  EXPECT_EQ(w.CloseScanner(), 0) << "nothing is left to close";
  EXPECT_TRUE(w.deviceLost()) << "only an open clears it";

  // Opened again, the scanner is usable and the flag is gone.
  ASSERT_EQ(w.OpenScanner(), 0);
  EXPECT_FALSE(w.deviceLost());
  EXPECT_EQ(w.SendCommand(&cmd, &st), 0);
  EXPECT_EQ(st.dwLastErr, 0x1111u);
  EXPECT_EQ(host.openDevices(), 1u);
  EXPECT_EQ(host.openInterfaces(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, TimeOuts,
    ::testing::Values(
        TimeOutCase{"CommandWrite", 1, "WriteScannerFile",
                    [](Wraper& w) {
                      FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
                      FCL_DEVICE_STATUS st{};
                      return w.SendCommand(&cmd, &st);
                    }},
        TimeOutCase{"StatusRead", 2, "ReadScannerFile",
                    [](Wraper& w) {
                      FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
                      FCL_DEVICE_STATUS st{};
                      return w.SendCommand(&cmd, &st);
                    }},
        TimeOutCase{"DataWrite", 1, "WriteScannerFile",
                    [](Wraper& w) { return w.SendData(kData.data(), static_cast<uint32_t>(kData.size())); }},
        TimeOutCase{"DataRead", 2, "ReadScannerFile",
                    [](Wraper& w) {
                      std::vector<uint8_t> buf(kData.size());
                      return w.GetData(buf.data(), static_cast<uint32_t>(buf.size()));
                    }},
        TimeOutCase{"Write2Status", 2, "ReadScannerFile",
                    [](Wraper& w) {
                      FCL_VENDOR_CMD cmd = command(FOP_WRITE2, static_cast<uint32_t>(kData.size()));
                      FCL_DEVICE_STATUS st{};
                      return w.Write2Command(&cmd, &st, kData.data(), static_cast<uint32_t>(kData.size()));
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Control-pipe lock --------------------------------------------------------------------------

struct LockCase {
  const char* name;
  UsbResult result;
  std::vector<uint8_t> reply;
  int expected;  // Wraper: -1 granted, 0 otherwise
  const char* diagnostic;
};

class Lock : public OpenScanner, public ::testing::WithParamInterface<LockCase> {};

TEST_P(Lock, GrantedOnlyWhenByteFourIsZero) {
  const LockCase& c = GetParam();
  host.device(index).controlResult = c.result;
  host.device(index).controlReply = c.reply;
  CaptureStdout();
  EXPECT_EQ(w.CtrlPipeLockScanner(), c.expected);
  const std::string out = GetCapturedStdout();
  if (*c.diagnostic) {
    EXPECT_NE(out.find(c.diagnostic), std::string::npos) << out;
  } else {
    EXPECT_EQ(out, "");
  }
  ASSERT_EQ(host.controlRequests().size(), 1u);
  const auto r = host.controlRequests()[0];
  EXPECT_EQ(r.bmRequestType, 0xC0);
  EXPECT_EQ(r.bRequest, 0x01);
  EXPECT_EQ(r.wValue, 0x0002);
  EXPECT_EQ(r.wIndex, 0);
  EXPECT_EQ(r.wLength, 5);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Lock,
    ::testing::Values(
        LockCase{"Granted", UsbResult::Success, {9, 9, 9, 9, 0}, -1, ""},
        LockCase{"Refused", UsbResult::Success, {0, 0, 0, 0, 3}, 0,
                 "ERROR: CtrlPipeLockScanner noErr But byBuffer[4] not zero 3\n"},
        LockCase{"Stalled", UsbResult::PipeStalled, {0, 0, 0, 0, 0}, 0,
                 "ERROR: CtrlPipeLockScanner ControlRequest return err kIOUSBPipeStalled\n"},
        LockCase{"OtherError", UsbResult::NotResponding, {0, 0, 0, 0, 0}, 0,
                 "ERROR: CtrlPipeLockScanner ControlRequest return err 3\n"},
        // Byte 4 never came: a zero there is not the scanner's answer.
        LockCase{"ShortReply", UsbResult::Success, {0, 0, 0}, 0, "ERROR: CtrlPipeLockScanner noErr But reply has 3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenScanner, UnlockUsesItsOwnRequest) {
  EXPECT_EQ(w.CtrlPipeUnlockScanner(), -1);
  host.device(index).controlReply = {0, 0, 0, 0, 1};
  CaptureStdout();
  EXPECT_EQ(w.CtrlPipeUnlockScanner(), 0);
  EXPECT_NE(GetCapturedStdout().find("CtrlPipeUnLockScanner"), std::string::npos);
  ASSERT_EQ(host.controlRequests().size(), 2u);
  for (const auto& r : host.controlRequests()) {
    EXPECT_EQ(r.bmRequestType, 0xC0);
    EXPECT_EQ(r.bRequest, 0x02);
    EXPECT_EQ(r.wLength, 5);
  }
}

TEST_F(FakeHostTest, LockAfterAFailedOpenIsRefused) {
  Wraper w;
  ASSERT_EQ(w.OpenScanner(), -1);
  CaptureStdout();
  EXPECT_EQ(w.CtrlPipeLockScanner(), 0);
  EXPECT_EQ(w.CtrlPipeUnlockScanner(), 0);
  const std::string out = GetCapturedStdout();
  EXPECT_NE(out.find("ERROR: CtrlPipeLockScanner m_pdev is null!"), std::string::npos);
  EXPECT_NE(out.find("ERROR: CtrlPipeUnLockScanner m_pdev is null!"), std::string::npos);
  EXPECT_TRUE(host.controlRequests().empty());
}

// ---- Close -------------------------------------------------------------------------------------

TEST_F(OpenScanner, CloseAbortsTheInterruptPipeThenClosesInterfaceAndDevice) {
  EXPECT_EQ(w.CloseScanner(), 0);
  EXPECT_EQ(host.calls(), (std::vector<std::string>{"abortPipe #0 3", "closeInterface #0", "closeDevice #0"}));
  EXPECT_EQ(host.openDevices(), 0u);

  // The control object stays, empty: transfers fail with its diagnostics, a second close is harmless.
  FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0);
  FCL_DEVICE_STATUS st{};
  CaptureStdout();
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  EXPECT_NE(GetCapturedStdout().find("ERROR: WriteScannerFile m_pdev is null!"), std::string::npos);
  EXPECT_EQ(w.CloseScanner(), 0);
}

struct CloseCase {
  const char* name;
  UsbResult abort, closeInterface, closeDevice;
  int expected;
  const char* diagnostic;
};

class CloseFailures : public OpenScanner, public ::testing::WithParamInterface<CloseCase> {};

// Whatever fails, the close goes through to the device, so nothing stays claimed.
TEST_P(CloseFailures, AreReportedAndNothingStaysOpen) {
  const CloseCase& c = GetParam();
  host.device(index).abortResult = c.abort;
  host.device(index).closeInterfaceResult = c.closeInterface;
  host.device(index).closeDeviceResult = c.closeDevice;
  CaptureStdout();
  EXPECT_EQ(w.CloseScanner(), c.expected);
  const std::string out = GetCapturedStdout();
  if (*c.diagnostic) {
    EXPECT_NE(out.find(c.diagnostic), std::string::npos) << out;
  }
  EXPECT_EQ(callsOf({"closeDevice"}).size(), 1u);
  EXPECT_EQ(host.openDevices(), 0u);
  EXPECT_EQ(host.openInterfaces(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CloseFailures,
    ::testing::Values(CloseCase{"Abort", UsbResult::OtherError, UsbResult::Success, UsbResult::Success, 0,
                                "ERROR: CloseScannerFile AbortPipe return err:9!\n"},
                      CloseCase{"Interface", UsbResult::Success, UsbResult::NoDevice, UsbResult::Success, -1,
                                "ERROR: CloseScannerFile USBInterfaceClose return err:5\n"},
                      CloseCase{"Device", UsbResult::Success, UsbResult::Success, UsbResult::NoDevice, -1, ""}),
    [](const auto& info) { return std::string(info.param.name); });
