// The monitor's transports against the simulated scanner: TCP on loopback and USB through the
// fake USB host, with the waits made short and every failure guarded by a watchdog.
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <thread>
#include <arpa/inet.h>
#include <cstring>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "MonitorTestSupport.h"
#include "monitor/ScannerUtility/MonitorRunLoop.h"
#include "monitor/ScannerUtility/USBWraper.h"

using namespace monitor;
using namespace std::chrono_literals;

namespace {

FCL_CMD commandOf(uint8_t op, uint8_t dtc, uint16_t dtq, uint32_t length) {
  FCL_CMD c;
  USBWraper::CreateCommand(&c, op, dtc, dtq, length);
  return c;
}

class TcpTransportTest : public ::testing::Test {
 protected:
  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  MonitorSim sim;
};

}  // namespace

TEST(CommandBlockTest, CreateCommandSetsEveryByte) {
  FCL_CMD c;
  std::memset(&c, 0xAB, sizeof c);
  USBWraper::CreateCommand(&c, monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, 3 * 316);
  const uint8_t expected[16] = {0x31, 0x02, 0, 0, 0x28, 0, 0x9D, 0, 5, 0, 0, 0, 0xB4, 0x03, 0, 0};
  EXPECT_EQ(std::memcmp(&c, expected, sizeof expected), 0);
}

TEST(ConnectionTextTest, OnlyTheExactTextUSBSelectsUSB) {
  platform::FakeUsbHost host;  // no device: a USB open fails
  platform::UsbHost* previous = platform::setUsbHost(&host);
  USBWraper w;
  EXPECT_FALSE(w.OpenScanner("USB"));
  EXPECT_TRUE(w.isUSBScan());
  EXPECT_FALSE(w.OpenConnect("USB") && w.SendData("x", 1));
  w.CloseConnect();
  // Any other text is a network address; nothing is connected before OpenConnect.
  EXPECT_TRUE(w.OpenScanner("usb"));
  EXPECT_FALSE(w.isUSBScan());
  ASSERT_NE(w.networkControl(), nullptr);
  EXPECT_EQ(w.networkControl()->socketDescriptor(), -1);
  w.CloseConnect();
  EXPECT_EQ(w.networkControl(), nullptr);
  platform::setUsbHost(previous);
}

// ---- TCP -----------------------------------------------------------------------------------------

TEST_F(TcpTransportTest, ReadWriteAndCommandPhasesMoveTheirBytes) {
  sim.model().setPCList({sim::ScannerModel::pcEntry("host-a", "UUID-A")});
  USBWraper w;
  // A read: command, status, 4 bytes.
  ASSERT_TRUE(w.OpenScanner(sim.address()));
  ASSERT_TRUE(w.OpenConnect(sim.address()));
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  uint32_t count = 99;
  ASSERT_TRUE(w.GetData(&count, sizeof count));
  EXPECT_EQ(count, 1u);
  w.CloseConnect();
  // A write: command, status, 316 bytes.
  const FCL_RS_PCLIST entry = sim::ScannerModel::pcEntry("host-b", "UUID-B");
  ASSERT_TRUE(w.OpenScanner(sim.address()));
  ASSERT_TRUE(w.OpenConnect(sim.address()));
  cmd = commandOf(monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, sizeof entry);
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  ASSERT_TRUE(w.SendData(&entry, sizeof entry));
  w.CloseConnect();
  ASSERT_TRUE(sim.log().waitForCount(2));
  const auto log = sim.log().entries();
  const FCL_CMD countCommand = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, 4, 4);
  EXPECT_EQ(std::memcmp(&log[0].cmd, &countCommand, 16), 0);
  ASSERT_EQ(log[1].dataIn.size(), sizeof entry);
  EXPECT_EQ(std::memcmp(log[1].dataIn.data(), &entry, sizeof entry), 0);
  EXPECT_EQ(sim.model().pcList().size(), 2u);
}

TEST_F(TcpTransportTest, StatusBlockIsHandedBackAsTheScannerSentIt) {
  sim.faults().add(fault([](sim::Fault& f) { f.lastErr = 0x7F05u; f.fwInfo = uint16_t{3}; }));
  USBWraper w;
  ASSERT_TRUE(w.OpenScanner(sim.address()) && w.OpenConnect(sim.address()));
  const FCL_CMD cmd = commandOf(monitor::FOP_COMMAND, FCLC_RS_EVENT_CHECKING, 0, 60);
  monitor::FCL_DEVICE_STATUS status{};
  EXPECT_TRUE(w.SendCommand(&cmd, &status));  // the transport does not judge the answer
  EXPECT_EQ(status.dwLastErr, 0x7F05u);
  EXPECT_EQ(status.wFWInfo, 3u);
  w.CloseConnect();
}

TEST_F(TcpTransportTest, RefusedConnectionFailsAtTheConnect) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.connect = 30s;  // a refusal must not wait for any limit
  t.exchange = 30s;
  ScopedMonitorTimings longWaits(t);
  const int before = openDescriptors();
  Watchdog dog(20s, "a refused connect");
  NetworkControl n;
  EXPECT_FALSE(n.SocketOpenConnect(unusedLoopbackAddress()));
  EXPECT_EQ(n.socketDescriptor(), -1);
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

// Only a dotted IPv4 address is connected to: nothing is looked up, not even the other numeric
// forms a resolver takes, which would reach the scanner here.
TEST_F(TcpTransportTest, OnlyADottedIPv4AddressIsConnectedTo) {
  const QString dotted = sim.address();  // 127.0.0.N
  const QString host = dotted.section('.', 3);
  const quint32 number = (127u << 24) + host.toUInt();
  const QString refused[] = {
      "127." + host,             // 127.0.0.N in a resolver's short form
      QString::number(number),   // and as one number
      "localhost",
      dotted + QChar(0),
      " " + dotted,
      "",
  };
  NetworkControl n;
  EXPECT_TRUE(n.SocketOpenConnect(dotted));
  n.CloseConnect();
  for (const QString& text : refused) {
    SCOPED_TRACE(text.toStdString());
    EXPECT_FALSE(n.SocketOpenConnect(text));
    EXPECT_EQ(n.socketDescriptor(), -1);
  }
  sim.scanner().waitIdle();
  EXPECT_EQ(sim.scanner().connectionCount(), 1u) << "only the dotted address reached the scanner";
}

// A scanner that is switched off leaves the connect unanswered: it fails at the connect limit,
// or at once when a handler of the event loop (a stop's) breaks it off meanwhile.
TEST_F(TcpTransportTest, AConnectWithoutAnAnswerEndsAtItsLimitOrWhenBrokenOff) {
  struct Case {
    const char* name;
    std::chrono::milliseconds limit;
    bool breakOff;  // 300 ms in
  };
  const Case cases[] = {
      {"at the limit", 300ms, false},
      {"broken off", 60s, true},
  };
  FullListener off;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MonitorTimings t = ScopedMonitorTimings::quick();
    t.connect = t.exchange = c.limit;
    ScopedMonitorTimings limit(t);
    const int before = openDescriptors();
    {
      Watchdog dog(20s, "a connect to a full listener");
      USBWraper w;
      ASSERT_TRUE(w.OpenScanner(off.address()));
      bool brokenOff = false;
      if (c.breakOff)
        QTimer::singleShot(300ms, [&] {
          brokenOff = true;
          w.abort();
        });
      EXPECT_FALSE(w.OpenConnect(off.address()));
      EXPECT_EQ(brokenOff, c.breakOff);
      EXPECT_EQ(w.networkControl()->socketDescriptor(), -1);
      w.CloseConnect();
    }
    EXPECT_EQ(openDescriptorsSettled(before), before);
  }
}

TEST_F(TcpTransportTest, SilentScannerFailsTheCommandPhaseAtItsLimit) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 300ms;
  ScopedMonitorTimings shortCommand(t);
  sim.faults().add(fault([](sim::Fault& f) { f.silent = true; }));
  const int before = openDescriptors();
  {
    Watchdog dog(20s, "a command to a silent scanner");
    USBWraper w;
    ASSERT_TRUE(w.OpenScanner(sim.address()));
    ASSERT_TRUE(w.OpenConnect(sim.address()));
    const FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4);
    monitor::FCL_DEVICE_STATUS status;
    std::memset(&status, 0xAA, sizeof status);
    EXPECT_FALSE(w.SendCommand(&cmd, &status));
    EXPECT_EQ(status.dwLastErr, 0xAAAAAAAAu);  // untouched
    w.CloseConnect();
  }
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

TEST_F(TcpTransportTest, ScannerClosingMidDataFailsAtOnceAndClosesTheSocket) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 30s;  // the end of the stream must not wait for the limit
  ScopedMonitorTimings longData(t);
  sim.model().setPCList({sim::ScannerModel::pcEntry("a", "1"), sim::ScannerModel::pcEntry("b", "2")});
  sim.faults().add(fault([](sim::Fault& f) { f.closeAfterSent = std::size_t{32 + 100}; }));
  const int before = openDescriptors();
  {
    Watchdog dog(20s, "a read cut by the scanner");
    USBWraper w;
    ASSERT_TRUE(w.OpenScanner(sim.address()) && w.OpenConnect(sim.address()));
    const FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, 2 * 316);
    monitor::FCL_DEVICE_STATUS status{};
    ASSERT_TRUE(w.SendCommand(&cmd, &status));
    std::vector<uint8_t> buffer(2 * 316, 0xAA);
    EXPECT_FALSE(w.GetData(buffer.data(), static_cast<uint32_t>(buffer.size())));
    EXPECT_EQ(w.networkControl()->getDataState(), -1);
    EXPECT_EQ(w.networkControl()->socketDescriptor(), -1);
    w.CloseConnect();
  }
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

TEST_F(TcpTransportTest, DataThatComesAfterTheWaitGaveUpNeverReachesTheCallersBuffer) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 200ms;
  ScopedMonitorTimings shortData(t);
  sim.faults().add(fault([](sim::Fault& f) { f.delayData = 600ms; }));
  std::vector<uint8_t> buffer(4, 0xAA);
  {
    Watchdog dog(20s, "a late data read");
    NetworkControl n;
    ASSERT_TRUE(n.SocketOpenConnect(sim.address()));
    const FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
    monitor::FCL_DEVICE_STATUS status{};
    ASSERT_TRUE(n.SendCommand(&cmd, &status));
    EXPECT_FALSE(n.GetData(buffer.data(), 4));
    // The scanner answers after all; whatever still ran for the read must not write now.
    MonitorRunLoop::runFor(800ms);
  }
  ASSERT_TRUE(sim.log().waitForCount(1));
  EXPECT_EQ(buffer, std::vector<uint8_t>(4, 0xAA));
}

TEST_F(TcpTransportTest, EventReadThatGetsNothingGivesUpAtTheEventLimit) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.eventExchange = 300ms;
  ScopedMonitorTimings shortEvent(t);
  sim.model().setEventHold(1s);  // the scanner holds the reply: no press comes
  const int before = openDescriptors();
  {
    Watchdog dog(20s, "an event read without an event");
    USBWraper w;
    ASSERT_TRUE(w.OpenScanner(sim.address()) && w.OpenConnect(sim.address()));
    const FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_EVENT_CHECKING, kEventQualifierNetwork, 64);
    monitor::FCL_DEVICE_STATUS status{};
    ASSERT_TRUE(w.SendCommand(&cmd, &status));
    FCL_RS_EVENT_INFO event{};
    EXPECT_FALSE(w.GetEventData(&event, sizeof event));
    w.CloseConnect();
  }
  sim.scanner().waitIdle();  // the scanner's own end of the connection, in this process too
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

TEST_F(TcpTransportTest, HeldEventReadAnswersWhenTheButtonIsPressed) {
  sim.model().setEventHold(10s);
  sim.model().setPCList({sim::ScannerModel::pcEntry("host", "PC-1")});
  Watchdog dog(20s, "a held event read");
  USBWraper w;
  ASSERT_TRUE(w.OpenScanner(sim.address()) && w.OpenConnect(sim.address()));
  const FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_EVENT_CHECKING, kEventQualifierNetwork, 64);
  monitor::FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  // The press comes from the event loop while the read waits: the wait serves it.
  QTimer::singleShot(100ms, [&] { sim.model().pressScanButton("PC-1"); });
  FCL_RS_EVENT_INFO event{};
  ASSERT_TRUE(w.GetEventData(&event, sizeof event));
  EXPECT_EQ(event.dwEventType, kEventTypeScanToPC);
  EXPECT_EQ(std::string(event.szPCUUID, 4), "PC-1");
  w.CloseConnect();
}

TEST_F(TcpTransportTest, ScannerGoneBeforeTheDataOutRaisesNoSignal) {
  sim.faults().add(fault([](sim::Fault& f) { f.closeAfterReceived = std::size_t{0}; }));
  Watchdog dog(20s, "a send to a closed connection");
  USBWraper w;
  ASSERT_TRUE(w.OpenScanner(sim.address()) && w.OpenConnect(sim.address()));
  const FCL_CMD cmd = commandOf(monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, 8u << 20);
  monitor::FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  usleep(100000);
  std::vector<uint8_t> big(8u << 20, 1);
  // Without MSG_NOSIGNAL the broken pipe would end this test program.
  EXPECT_FALSE(w.SendData(big.data(), static_cast<uint32_t>(big.size())));
  w.CloseConnect();
}

// ---- USB -----------------------------------------------------------------------------------------

namespace {

class UsbTransportTest : public ::testing::Test {
 protected:
  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  MonitorUsbSim usb;

  void open(USBWraper& w) {
    w.scannerVendorID = MonitorUsbSim::kVendor;
    w.scannerProductID = MonitorUsbSim::kProduct;
    ASSERT_TRUE(w.OpenScanner("USB"));
    ASSERT_TRUE(w.OpenConnect("USB"));
  }
};

// A device that stopped answering: every read (and, with holdWrites, every write) holds the
// host for the whole limit of the transfer and then times out with nothing moved.
class SilentPeer : public platform::FakeUsbHost::PipePeer {
 public:
  std::atomic<bool> holdWrites{false};
  platform::UsbResult received(uint8_t, const uint8_t*, uint32_t size, uint32_t* taken,
                               std::chrono::milliseconds timeout) override {
    if (!holdWrites) {
      *taken = size;
      return platform::UsbResult::Success;
    }
    *taken = 0;
    std::this_thread::sleep_for(timeout);
    return platform::UsbResult::TimedOut;
  }
  platform::UsbResult send(uint8_t, uint8_t*, uint32_t, uint32_t* given, std::chrono::milliseconds timeout) override {
    *given = 0;
    std::this_thread::sleep_for(timeout);
    return platform::UsbResult::TimedOut;
  }
};

// A fake host with scripted devices of the scanner's IDs.
class ScriptedUsbTest : public ::testing::Test {
 protected:
  // Bulk-in transfers the host saw since the last clearCalls.
  int reads() const {
    const auto calls = host.calls();
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [](const std::string& l) { return l.rfind("read", 0) == 0; }));
  }
  ScriptedUsbTest() { m_previous = platform::setUsbHost(&host); }
  ~ScriptedUsbTest() override { platform::setUsbHost(m_previous); }
  int addScanner() {
    platform::FakeUsbHost::Device d;
    d.vendorId = MonitorUsbSim::kVendor;
    d.productId = MonitorUsbSim::kProduct;
    return host.addDevice(d);
  }
  void open(USBWraper& w) {
    w.scannerVendorID = MonitorUsbSim::kVendor;
    w.scannerProductID = MonitorUsbSim::kProduct;
    ASSERT_TRUE(w.OpenScanner("USB"));
  }
  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  platform::FakeUsbHost host;

 private:
  platform::UsbHost* m_previous;
};

// One exchange phase each, for the tables of the phase tests below.
bool runCommandPhase(USBWraper& w) {
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  return w.SendCommand(&cmd, &status);
}
bool runDataOutPhase(USBWraper& w) {
  uint8_t data[316] = {};
  return w.SendData(data, sizeof data);
}
bool runDataInPhase(USBWraper& w) {
  uint8_t data[316];
  return w.GetData(data, sizeof data);
}
bool runEventDataInPhase(USBWraper& w) {
  uint8_t data[64];
  return w.GetEventData(data, sizeof data);
}

}  // namespace

TEST_F(UsbTransportTest, ReadAndWriteOverTheBulkPipesWithALimitPerTransfer) {
  USBWraper w;
  open(w);
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT, 4);
  monitor::FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  uint32_t capacity = 0;
  ASSERT_TRUE(w.GetData(&capacity, sizeof capacity));
  EXPECT_EQ(capacity, sim::kDefaultPCListCapacity);
  w.CloseConnect();
  EXPECT_EQ(usb.host().openDevices(), 0u);
  EXPECT_EQ(usb.host().openInterfaces(), 0u);
  // Each transfer is one try of at most the monitor's try limit, so the event loop is served
  // at least that often.
  const auto limits = usb.host().transferTimeouts();
  ASSERT_FALSE(limits.empty());
  for (const std::chrono::milliseconds limit : limits) {
    EXPECT_GT(limit.count(), 0);
    EXPECT_LE(limit, std::chrono::milliseconds(1000));
  }
}

// A scanner that sends more than the read asked for: the read takes the data phase to its end
// and drops the rest, so the next exchange on the pipe gets its own answer.
TEST_F(UsbTransportTest, ALongerDataPhaseIsReadToItsEndAndNothingStaysInThePipe) {
  std::vector<FCL_RS_PCLIST> list;
  for (int i = 0; i < 5; ++i) list.push_back(sim::ScannerModel::pcEntry("pc" + std::to_string(i), std::to_string(i)));
  usb.model().setPCList(list);
  usb.faults().add(fault([](sim::Fault& f) {
    f.dtc = FCLC_RS_PCLIST;
    f.dtq = FCLD_RS_PCLIST_ALL;
    f.wholePCList = true;
  }));
  USBWraper w;
  open(w);
  FCL_CMD cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, 2 * 316);
  monitor::FCL_DEVICE_STATUS status{};
  // Two entries asked for, with a guard after them that must stay untouched.
  struct {
    FCL_RS_PCLIST entries[2];
    uint8_t guard[64];
  } buffer;
  std::memset(buffer.guard, 0xAB, sizeof buffer.guard);
  {
    Watchdog dog(20s, "a list read with a longer data phase");
    ASSERT_TRUE(w.SendCommand(&cmd, &status));
    ASSERT_TRUE(w.GetData(buffer.entries, sizeof buffer.entries));
  }
  EXPECT_STREQ(buffer.entries[0].szPCName, "pc0");
  EXPECT_STREQ(buffer.entries[1].szPCName, "pc1");
  EXPECT_EQ(std::count(buffer.guard, buffer.guard + sizeof buffer.guard, 0xAB), 64);
  // The next exchange on the same open device.
  cmd = commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4);
  ASSERT_TRUE(w.SendCommand(&cmd, &status));
  EXPECT_EQ(status.dwLastErr, 0u);
  uint32_t count = 0;
  ASSERT_TRUE(w.GetData(&count, sizeof count));
  EXPECT_EQ(count, 5u);
  w.CloseConnect();
}

// A scanner whose data phase is whole packets, with no short packet to close it: the read of
// what might follow gets a short try, not a full one.
TEST_F(ScriptedUsbTest, AReadOfWholePacketsLooksForMoreOnlyBriefly) {
  class WholePacketPeer : public platform::FakeUsbHost::PipePeer {
   public:
    platform::UsbResult received(uint8_t, const uint8_t*, uint32_t size, uint32_t* taken,
                                 std::chrono::milliseconds) override {
      *taken = size;
      return platform::UsbResult::Success;
    }
    platform::UsbResult send(uint8_t, uint8_t* data, uint32_t size, uint32_t* given,
                             std::chrono::milliseconds) override {
      *given = sent ? 0 : std::min<uint32_t>(size, 512);
      if (*given > 0) std::memset(data, 0x5A, *given);
      sent = true;
      return *given > 0 ? platform::UsbResult::Success : platform::UsbResult::TimedOut;
    }
    bool sent = false;
  };
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 1000ms;
  t.usbDrainTry = 100ms;
  ScopedMonitorTimings limits(t);
  const int i = addScanner();
  host.device(i).peer = std::make_shared<WholePacketPeer>();
  USBWraper w;
  open(w);
  host.clearCalls();
  uint8_t data[512] = {};
  ASSERT_TRUE(w.GetData(data, sizeof data));
  EXPECT_EQ(std::count(data, data + sizeof data, 0x5A), 512);
  const auto timeouts = host.transferTimeouts();
  ASSERT_GE(timeouts.size(), 2u);
  EXPECT_EQ(timeouts.front(), 1000ms) << "the data itself gets a whole try";
  EXPECT_EQ(timeouts.back(), 100ms) << "what might follow it only a short one";
  w.CloseConnect();
}

TEST_F(ScriptedUsbTest, DeviceHeldExclusivelyIsPassedOverAfterAPause) {
  const int busy = addScanner();
  host.device(busy).busyClaims = 100;
  {
    USBWraper w;
    Watchdog dog(20s, "an open of a held device");
    w.scannerVendorID = MonitorUsbSim::kVendor;
    w.scannerProductID = MonitorUsbSim::kProduct;
    EXPECT_FALSE(w.OpenScanner("USB"));
    w.CloseScanner();
  }
  EXPECT_EQ(timings.pauses(), std::vector<std::chrono::milliseconds>{100ms});
  EXPECT_EQ(host.openDevices(), 0u);
  // With a second scanner, that one is opened after the pause.
  timings.clearPauses();
  const int free = addScanner();
  USBWraper w;
  open(w);
  EXPECT_EQ(timings.pauses(), std::vector<std::chrono::milliseconds>{100ms});
  EXPECT_EQ(host.openDevices(), 1u);
  const auto calls = host.calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "openDevice #" + std::to_string(free)), calls.end());
  w.CloseConnect();
  EXPECT_EQ(host.openDevices(), 0u);
}

TEST_F(ScriptedUsbTest, ReadAnsweredInTwoPartsFillsTheBufferInOrder) {
  addScanner();
  USBWraper w;
  open(w);
  host.scripted(0)->queueRead({1, 2, 3});
  host.scripted(0)->queueRead({4, 5, 6, 7, 8});
  uint8_t buffer[8];
  ASSERT_TRUE(w.GetData(buffer, sizeof buffer));
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(reads(), 2) << "the second part ended the transfer (a short packet)";
  EXPECT_TRUE(timings.pauses().empty()) << "the pause between the parts serves the event loop";
  w.CloseConnect();
}

TEST_F(ScriptedUsbTest, ReadsThatKeepAnsweringNothingCountAsFailures) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbReadMaxFailures = 5;
  t.usbReadPause = 1ms;
  ScopedMonitorTimings fewTries(t);
  addScanner();
  USBWraper w;
  open(w);
  for (int i = 0; i < 50; ++i) host.scripted(0)->queueRead({});  // success with no bytes
  uint8_t buffer[8];
  {
    Watchdog dog(20s, "a read answered with nothing");
    EXPECT_FALSE(w.GetData(buffer, sizeof buffer));
  }
  EXPECT_EQ(reads(), 6);  // the first try and five more
  w.CloseConnect();
}

// A phase over USB never takes longer than its exchange's limit: the tries (each at most usbTry)
// share it, and the last one gets only what is left of it.
TEST_F(ScriptedUsbTest, EveryPhaseEndsWithinTheExchangesLimit) {
  struct Case {
    const char* phase;
    bool write;
    std::function<bool(USBWraper&)> run;
  };
  const std::vector<Case> cases = {
      {"command", false, runCommandPhase},
      {"data out", true, runDataOutPhase},
      {"data in", false, runDataInPhase},
      {"event data in", false, runEventDataInPhase},
  };
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 40ms;
  t.exchange = 150ms;
  t.eventExchange = 190ms;
  ScopedMonitorTimings shortLimits(t);
  const std::map<std::string, std::chrono::milliseconds> limitOf = {
      {"command", t.exchange}, {"data out", t.exchange}, {"data in", t.exchange}, {"event data in", t.eventExchange}};
  auto silent = std::make_shared<SilentPeer>();
  const int i = addScanner();
  host.device(i).peer = silent;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    silent->holdWrites = c.write;
    USBWraper w;
    open(w);
    host.clearCalls();
    {
      Watchdog dog(20s, "a phase the scanner never answers");
      EXPECT_FALSE(c.run(w));
    }
    // The transfers in the order the host saw them, with the limit each was given; the phase's
    // limit is shared by the tries in the direction the scanner does not answer.
    const auto limits = host.transferTimeouts();
    std::vector<std::string> transfers;
    for (const std::string& l : host.calls())
      if (l.rfind("read", 0) == 0 || l.rfind("write", 0) == 0) transfers.push_back(l);
    ASSERT_EQ(transfers.size(), limits.size());
    std::chrono::milliseconds total{0};
    std::size_t tries = 0;
    for (std::size_t n = 0; n < limits.size(); ++n) {
      EXPECT_LE(limits[n], t.usbTry);
      if (transfers[n].rfind(c.write ? "write" : "read", 0) != 0) continue;
      total += limits[n];
      ++tries;
    }
    EXPECT_GE(tries, 3u) << "the phase was tried again within its limit";
    EXPECT_LE(total, limitOf.at(c.phase));
    w.CloseConnect();
  }
}

// One exchange, from its open to its last byte, ends within its limit however the scanner spreads
// its delays over the phases: a scanner that keeps each phase under the limit does not stretch
// the exchange to a limit per phase. The event read has the longer limit.
TEST(ExchangeLimitTest, AScannerSlowInEveryPhaseEndsTheExchangeAtItsLimit) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 500ms;
  t.eventExchange = 800ms;
  t.usbTry = 50ms;
  ScopedMonitorTimings limits(t);
  struct Case {
    const char* name;
    bool event;
    std::chrono::milliseconds status, data;  // the scanner's delay before each phase
    bool completes;
  };
  const Case cases[] = {
      {"a read within the limit", false, 100ms, 100ms, true},
      {"a read slow in both phases", false, 350ms, 350ms, false},
      {"an event read within its limit", true, 350ms, 300ms, true},
      {"an event read slow in both phases", true, 350ms, 600ms, false},
  };
  MonitorSim tcp;
  MonitorUsbSim usb;
  for (const bool overUsb : {false, true}) {
    sim::FaultPlan& faults = overUsb ? usb.faults() : tcp.faults();
    sim::CommandLog& log = overUsb ? usb.log() : tcp.log();
    const QString connection = overUsb ? QStringLiteral("USB") : tcp.address();
    std::size_t exchanges = 0;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(overUsb ? "USB: " : "TCP: ") + c.name);
      faults.add(fault([&](sim::Fault& f) {
        f.delayStatus = c.status;
        f.delayData = c.data;
      }));
      USBWraper w;
      w.scannerVendorID = MonitorUsbSim::kVendor;
      w.scannerProductID = MonitorUsbSim::kProduct;
      ASSERT_TRUE(w.OpenScanner(connection) && w.OpenConnect(connection));
      const FCL_CMD cmd =
          c.event ? commandOf(monitor::FOP_READ, FCLC_RS_EVENT_CHECKING, overUsb ? 0 : kEventQualifierNetwork, 64)
                  : commandOf(monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4);
      monitor::FCL_DEVICE_STATUS status{};
      uint8_t data[64];
      bool ok;
      {
        Watchdog dog(20s, "an exchange with a slow scanner");
        ok = w.SendCommand(&cmd, &status) &&
             (c.event ? w.GetEventData(data, sizeof(FCL_RS_EVENT_INFO)) : w.GetData(data, 4));
      }
      EXPECT_EQ(ok, c.completes);
      w.CloseConnect();
      // The scanner's side of the exchange ends before the next one starts.
      ASSERT_TRUE(log.waitForCount(++exchanges, 10s));
    }
  }
}

TEST_F(ScriptedUsbTest, ADeviceThatIsGoneEndsThePhaseWithoutAnotherTry) {
  struct Case {
    const char* phase;
    bool write;  // the failing transfer's direction
    std::function<bool(USBWraper&)> run;
  };
  const std::vector<Case> cases = {
      {"command out", true, runCommandPhase},
      {"status in", false, runCommandPhase},
      {"data out", true, runDataOutPhase},
      {"data in", false, runDataInPhase},
      {"event data in", false, runEventDataInPhase},
  };
  const int i = addScanner();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    USBWraper w;
    open(w);
    CFITUSBControl* u = w.usbControl();
    host.failNextTransfer(i, c.write ? u->bulkOutPipeRef() : u->bulkInPipeRef(), platform::UsbResult::NoDevice);
    // Whatever would come next is there: only a retry could reach it.
    for (int n = 0; n < 5; ++n) host.scripted(i)->queueRead(std::vector<uint8_t>(64, 1));
    host.clearCalls();
    EXPECT_FALSE(c.run(w));
    const auto calls = host.calls();
    const std::string failing = c.write ? "write" : "read";
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [&](const std::string& l) { return l.rfind(failing, 0) == 0; }),
              1);
    w.CloseConnect();
    while (host.scripted(i)->pendingReads()) {
      uint8_t sink[64];
      uint32_t got = 0;
      host.scripted(i)->send(2, sink, sizeof sink, &got, 1ms);
    }
  }
}

TEST_F(ScriptedUsbTest, ABreakOffEndsAUsbReadAfterTheTryUnderWay) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 50ms;
  t.exchange = t.eventExchange = 60s;
  ScopedMonitorTimings longWait(t);
  const int i = addScanner();
  host.device(i).peer = std::make_shared<SilentPeer>();
  USBWraper w;
  open(w);
  std::size_t triesAtBreakOff = 0;
  // The break-off comes from the event loop, as a quit signal's handler does.
  QTimer::singleShot(200ms, [&] {
    triesAtBreakOff = host.transferTimeouts().size();
    w.abort();
  });
  uint8_t event[64];
  {
    Watchdog dog(20s, "an event read broken off");
    EXPECT_FALSE(w.GetEventData(event, sizeof event));
  }
  EXPECT_GT(triesAtBreakOff, 0u) << "the event loop was served during the read";
  EXPECT_LE(host.transferTimeouts().size(), triesAtBreakOff + 1) << "at most the try under way";
  w.CloseConnect();
  // The next operation's phases run again.
  host.device(i).peer = std::make_shared<platform::FakeUsbHost::ScriptedPeer>();
  USBWraper again;
  open(again);
  host.scripted(i)->queueRead({1, 2, 3, 4});
  EXPECT_TRUE(again.GetData(event, 4));
  again.CloseConnect();
}

TEST_F(ScriptedUsbTest, StalledTransferFailsEvenAfterTheStallWasCleared) {
  addScanner();
  USBWraper w;
  open(w);
  CFITUSBControl* c = w.usbControl();
  host.failNextTransfer(0, c->bulkInPipeRef(), platform::UsbResult::PipeStalled);
  uint8_t b[4];
  uint32_t ack = 0;
  EXPECT_FALSE(c->ReadScannerFile(b, sizeof b, &ack));
  EXPECT_FALSE(host.halted(0, c->bulkInPipeRef()));  // cleared for the next transfer
  host.scripted(0)->queueRead({9, 9, 9, 9});
  EXPECT_TRUE(c->ReadScannerFile(b, sizeof b, &ack));
  EXPECT_EQ(ack, 4u);
  w.CloseConnect();
}

TEST_F(ScriptedUsbTest, CloseReleasesTheDeviceEvenWhenTheInterfaceWouldNotClose) {
  const int i = addScanner();
  host.device(i).closeInterfaceResult = platform::UsbResult::OtherError;
  USBWraper w;
  open(w);
  EXPECT_FALSE(w.usbControl()->CloseScannerFile());
  EXPECT_EQ(host.openDevices(), 0u);
  EXPECT_EQ(host.openInterfaces(), 0u);
  w.CloseConnect();
}
