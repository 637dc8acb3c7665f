// The TCP transport against the in-process simulated scanner (and a few bare sockets) over
// loopback: phases, partial deliveries, time-outs, refusals, and no descriptor left behind.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <numeric>
#include <poll.h>
#include <thread>
#include <vector>

#include "support/TestBytes.h"
#include "support/LogCapture.h"
#include "support/SimScanner.h"
#include "Socket/SocketWrapper.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kQuick = 150ms;  // the injected limit for failures that wait for a time-out

// A listening socket of the test's own on 127.0.0.1 and a port the system picks.
struct BareListener {
  explicit BareListener(int backlog) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    ::listen(fd, backlog);
  }
  ~BareListener() { ::close(fd); }
  int fd = -1;
  uint16_t port = 0;
};

// A scanner of the test's own on 127.0.0.1 that moves the data phase one byte at a time: it
// answers the status at once (after the data for FOP_WRITE2), then sends (FOP_READ) or takes
// (FOP_WRITE, FOP_WRITE2) one byte every `gap`, until the client goes away or stop() is called.
// Its small receive buffer keeps a large write from disappearing into the socket buffers.
class TricklingPeer {
 public:
  explicit TricklingPeer(std::chrono::milliseconds gap) : m_gap(gap) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;  // before listen(), so the accepted connection has it from the start
    setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    ::listen(m_listen, 1);
    m_thread = std::thread([this] { run(); });
  }
  ~TricklingPeer() {
    stop();
    ::close(m_listen);
  }
  // Ends the conversation and closes the peer's side of the connection.
  void stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
  }

  uint16_t port = 0;

 private:
  // Waits (in short slices, so stop() is noticed) until `fd` is ready for `events`.
  bool wait(int fd, short events) {
    while (!m_stop) {
      pollfd p{fd, events, 0};
      const int r = poll(&p, 1, 10);
      if (r > 0) return true;
      if (r < 0 && errno != EINTR) return false;
    }
    return false;
  }
  bool takeOneByte(int fd) {
    uint8_t b = 0;
    return wait(fd, POLLIN) && ::recv(fd, &b, 1, 0) == 1;
  }
  void run() {
    if (!wait(m_listen, POLLIN)) return;
    const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    FCL_VENDOR_CMD cmd{};
    std::size_t got = 0;
    while (got < sizeof cmd && wait(fd, POLLIN)) {
      const ssize_t n = ::recv(fd, reinterpret_cast<uint8_t*>(&cmd) + got, sizeof cmd - got, 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    const FCL_DEVICE_STATUS status{};
    bool ok = got == sizeof cmd;
    if (ok && cmd.byOPCode != FOP_WRITE2) ok = ::send(fd, &status, sizeof status, MSG_NOSIGNAL) == sizeof status;
    while (ok && !m_stop) {
      const uint8_t b = 0x5A;
      ok = cmd.byOPCode == FOP_READ ? ::send(fd, &b, 1, MSG_NOSIGNAL) == 1 : takeOneByte(fd);
      std::this_thread::sleep_for(m_gap);
    }
    ::close(fd);
  }

  std::chrono::milliseconds m_gap;
  int m_listen = -1;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// Runs `work` on a thread of its own and answers its result, failing the test when it has not
// finished within `watchdog` (chosen generously: ten times the limit the work should keep). A
// run that outlives the watchdog still uses the test's objects, so the program ends there.
template <typename Work>
auto finishesWithin(std::chrono::milliseconds watchdog, Work work) {
  std::packaged_task<decltype(work())()> task(std::move(work));
  auto result = task.get_future();
  std::thread runner(std::move(task));
  if (result.wait_for(watchdog) != std::future_status::ready) {
    std::fprintf(stderr, "hung: still running after the %lld ms watchdog\n", static_cast<long long>(watchdog.count()));
    std::fflush(stderr);
    std::abort();
  }
  runner.join();
  return result.get();
}

class SocketWrapperTest : public ::testing::Test {
 protected:
  SocketWrapperTest() : limits(1000ms) {
    sw.setIp(sim.address());
    sw.setLimits(ScopedSocketLimits::limitsOf(1000ms));
  }

  // Waits until the simulator has let go of every connection, then counts descriptors.
  int settledDescriptors() {
    EXPECT_TRUE(sim.scanner().waitIdle());
    return openDescriptorCount();
  }

  ScopedSocketLimits limits;
  SimScanner sim;
  SocketWrapper sw;
  LogCapture syslog;
};

// ---------------------------------------------------------------------------------------------
// Phases that complete

TEST_F(SocketWrapperTest, ReadMovesStatusThenData) {
  const sim::Bytes record = pattern(1234);
  sim.model().setRecord(0x41, 3, record);
  FCL_DEVICE_STATUS base{};
  base.wFWInfo = 4;
  sim.model().setBaseStatus(base);

  const FCL_VENDOR_CMD cmd = command(FOP_READ, 0x41, 3, 1234);
  FCL_DEVICE_STATUS status{};
  sim::Bytes data(1234, 0xEE);
  ASSERT_TRUE(sw.ReadCommand(&cmd, &status, data.data(), 1234));
  EXPECT_EQ(status.wFWInfo, 4);
  EXPECT_EQ(data, record);
  ASSERT_TRUE(sim.log().waitForCount(1));
  EXPECT_EQ(0, std::memcmp(&sim.log().entries()[0].cmd, &cmd, sizeof cmd));
}

TEST_F(SocketWrapperTest, StatusInPiecesIsCollected) {
  // The status block may reach us in several receive calls; all of them make up the block.
  sim.scanner().setPaceWrites(true);
  for (const std::vector<std::size_t>& pieces : {std::vector<std::size_t>{20, 12}, {1, 30, 1}}) {
    SCOPED_TRACE(pieces.size());
    sim::Fault f;
    f.statusPieces = pieces;
    f.fwInfo = 0x1234;
    f.lastErr = 0xA5A5A5A5;
    sim.faults().add(f);
    const FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0x10, 0, 0);
    FCL_DEVICE_STATUS status{};
    EXPECT_TRUE(sw.CMDCommand(&cmd, &status));
    EXPECT_EQ(status.dwLastErr, 0xA5A5A5A5u);
    EXPECT_EQ(status.wFWInfo, 0x1234);
  }
}

TEST_F(SocketWrapperTest, DataArrivingIn999PiecesIsReadAnd1000PiecesAreTooMany) {
  sim.scanner().setPaceWrites(true);
  struct Case {
    std::size_t pieces;
    bool ok;
  };
  for (const Case c : {Case{999, true}, Case{1000, false}}) {
    SCOPED_TRACE(c.pieces);
    syslog.clear();
    const sim::Bytes record = pattern(c.pieces, 9);
    sim.model().setRecord(0x50, 1, record);
    sim::Fault f;
    f.dataPieces.assign(c.pieces, 1);
    sim.faults().add(f);
    const FCL_VENDOR_CMD cmd = command(FOP_READ, 0x50, 1, static_cast<uint32_t>(c.pieces));
    FCL_DEVICE_STATUS status{};
    sim::Bytes data(c.pieces);
    EXPECT_EQ(sw.ReadCommand(&cmd, &status, data.data(), static_cast<uint32_t>(c.pieces)), c.ok);
    EXPECT_EQ(syslog.contains("ERROR SocketWrapper::ReadCommand recv cnt is more than 998"), !c.ok);
    if (c.ok) {
      EXPECT_EQ(data, record);
    }
  }
}

TEST_F(SocketWrapperTest, LargeWrite2GoesOutInPartialSendsAndTheStatusFollowsTheLastByte) {
  // A small send buffer, a short send limit and a scanner that reads slowly: the write cannot
  // go out in one send, each send hands over what fitted within the limit.
  constexpr uint32_t kLen = 114036;
  SocketWrapper::Limits l = ScopedSocketLimits::limitsOf(2000ms);
  l.send = 100ms;
  l.sendBufferBytes = 8192;
  sw.setLimits(l);
  sim.scanner().stop();
  sim.scanner().setReceiveBufferBytes(4096);
  ASSERT_TRUE(sim.scanner().start(sim.address().toStdString()));
  sim::Fault f;
  f.dataPieces.assign(kLen / 512 + 1, 512);
  f.pieceGap = 1ms;
  f.fwInfo = 0x55;  // marks the status as this exchange's
  sim.faults().add(f);

  const sim::Bytes payload = pattern(kLen, 3);
  const FCL_VENDOR_CMD cmd = command(FOP_WRITE2, 0x60, 2, kLen);
  FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(sw.Write2Command(&cmd, &status, payload.data(), kLen));
  EXPECT_LT(sw.bytesSent(), static_cast<int64_t>(kLen)) << "the last send should have carried only the rest";
  EXPECT_GT(sw.bytesSent(), 0);
  EXPECT_EQ(status.wFWInfo, 0x55u);
  ASSERT_TRUE(sim.log().waitForCount(1));
  EXPECT_EQ(sim.log().entries()[0].dataIn, payload);
  EXPECT_EQ(*sim.model().record(0x60, 2), payload);
}

// ---------------------------------------------------------------------------------------------
// Failures: each fails the exchange, writes its diagnostic and leaves no descriptor open

TEST_F(SocketWrapperTest, FailedExchangesReportAndLeaveNoDescriptor) {
  constexpr uint32_t kLen = 4000;
  sim.model().setRecord(0x41, 1, pattern(kLen));
  struct Case {
    const char* name;
    uint8_t opcode;
    sim::Fault fault;
    const char* logLine;  // expected in the system log ("" for none)
  };
  sim::Fault silent;
  silent.silent = true;
  sim::Fault statusCut;
  statusCut.closeAfterSent = 20;
  sim::Fault dataCut;
  dataCut.closeAfterSent = 32 + kLen / 2;
  sim::Fault noData;
  noData.closeAfterSent = 32;
  sim::Fault dataLate;
  dataLate.delayData = kQuick * 4;
  sim::Fault writeCut;
  writeCut.closeAfterReceived = 0;
  const std::vector<Case> cases = {
      {"silent peer, command", FOP_COMMAND, silent, ""},
      {"silent peer, read", FOP_READ, silent, "recv device status FALSE bytes_recv(0) sizeof(FCL_DEVICE_STATUS)(32)"},
      {"status cut short", FOP_READ, statusCut, "recv device status FALSE bytes_recv(20) sizeof(FCL_DEVICE_STATUS)(32)"},
      {"status cut short, inquiry", FOP_INQUIRY, statusCut, ""},
      {"data cut short", FOP_READ, dataCut, "ERROR SocketWrapper::ReadCommand recv cnt is more than 998"},
      {"no data at all", FOP_READ, noData, "ERROR SocketWrapper::ReadCommand recv cnt is more than 998"},
      {"data too late", FOP_READ, dataLate, "SocketWrapper::ReadCommand bytes_recv return kCSocketError!"},
      {"silent after write data", FOP_WRITE2, silent, ""},
      {"write data refused", FOP_WRITE, writeCut, ""},
  };
  sw.setLimits(ScopedSocketLimits::limitsOf(kQuick));
  const sim::Bytes payload = pattern(kLen);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    syslog.clear();
    sim.faults().clear();
    sim.faults().add(c.fault);
    const int before = settledDescriptors();
    const FCL_VENDOR_CMD cmd = command(c.opcode, 0x41, 1, kLen);
    FCL_DEVICE_STATUS status{};
    sim::Bytes data(kLen);
    bool ok = true;
    switch (c.opcode) {
      case FOP_INQUIRY:
      case FOP_COMMAND: ok = sw.CMDCommand(&cmd, &status); break;
      case FOP_READ: ok = sw.ReadCommand(&cmd, &status, data.data(), kLen); break;
      case FOP_WRITE: ok = sw.WriteCommand(&cmd, &status, payload.data(), kLen); break;
      case FOP_WRITE2: ok = sw.Write2Command(&cmd, &status, payload.data(), kLen); break;
    }
    if (c.opcode == FOP_WRITE) {
      // The scanner closed before taking the data; the data may still fit in the socket buffers,
      // so the send can succeed: the exchange completes as far as this side can tell.
      (void)ok;
    } else {
      EXPECT_FALSE(ok);
    }
    if (*c.logLine) {
      EXPECT_TRUE(syslog.contains(QString::fromLatin1(c.logLine))) << syslog.lines().join("|").toStdString();
    }
    EXPECT_EQ(settledDescriptors(), before);
  }
}

TEST_F(SocketWrapperTest, ScannerThatDropsALargeWriteFailsTheSendWithoutSigpipe) {
  // SIGPIPE keeps its default action here: a send without MSG_NOSIGNAL would end the test.
  constexpr uint32_t kLen = 114036;
  SocketWrapper::Limits l = ScopedSocketLimits::limitsOf(1000ms);
  l.sendBufferBytes = 4096;
  sw.setLimits(l);
  sim.scanner().stop();
  sim.scanner().setReceiveBufferBytes(4096);
  ASSERT_TRUE(sim.scanner().start(sim.address().toStdString()));
  const sim::Bytes payload = pattern(kLen);
  struct Case {
    uint8_t opcode;
    const char* line;
  };
  for (const Case c : {Case{FOP_WRITE2, "SocketWrapper::Write2Command bytes_sent return kCSocketError!"},
                       Case{FOP_WRITE, "SocketWrapper::WriteCommand bytes_sent return kCSocketError!"}}) {
    SCOPED_TRACE(c.line);
    syslog.clear();
    sim::Fault f;
    f.closeAfterReceived = 1000;
    sim.faults().add(f);
    const int before = settledDescriptors();
    const FCL_VENDOR_CMD cmd = command(c.opcode, 0x60, 1, kLen);
    FCL_DEVICE_STATUS status{};
    const bool ok = c.opcode == FOP_WRITE2 ? sw.Write2Command(&cmd, &status, payload.data(), kLen)
                                           : sw.WriteCommand(&cmd, &status, payload.data(), kLen);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(syslog.contains(c.line)) << syslog.lines().join("|").toStdString();
    EXPECT_EQ(settledDescriptors(), before);
  }
}

// ---------------------------------------------------------------------------------------------
// The data phase as a whole has a limit

// A scanner that keeps each receive or send busy with a byte now and then never trips the
// per-call limit, and on a write nor the 999-call limit; the data phase's own limit ends it.
TEST_F(SocketWrapperTest, ATricklingScannerFailsTheDataPhaseAtItsLimit) {
  constexpr auto kDataPhase = 200ms;
  constexpr uint32_t kLen = 114036;
  struct Case {
    uint8_t opcode;
    const char* line;
  };
  const sim::Bytes payload = pattern(kLen);
  for (const Case c : {Case{FOP_READ, "SocketWrapper::ReadCommand data phase took longer than 200 ms"},
                       Case{FOP_WRITE, "SocketWrapper::WriteCommand data phase took longer than 200 ms"},
                       Case{FOP_WRITE2, "SocketWrapper::Write2Command data phase took longer than 200 ms"}}) {
    SCOPED_TRACE(c.line);
    syslog.clear();
    TricklingPeer peer(10ms);
    SocketWrapper::Limits l = ScopedSocketLimits::limitsOf(1000ms);
    l.dataPhase = kDataPhase;
    l.sendBufferBytes = 4096;
    sw.setLimits(l);
    sw.setIp("127.0.0.1");
    sw.setPort(peer.port);
    const int before = openDescriptorCount();

    const FCL_VENDOR_CMD cmd = command(c.opcode, 0x41, 1, kLen);
    FCL_DEVICE_STATUS status{};
    sim::Bytes data(kLen);
    const bool ok = finishesWithin(kDataPhase * 10, [&] {
      switch (c.opcode) {
        case FOP_READ: return sw.ReadCommand(&cmd, &status, data.data(), kLen);
        case FOP_WRITE: return sw.WriteCommand(&cmd, &status, payload.data(), kLen);
        default: return sw.Write2Command(&cmd, &status, payload.data(), kLen);
      }
    });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(syslog.contains(c.line)) << syslog.lines().join("|").toStdString();
    EXPECT_FALSE(syslog.contains("ERROR SocketWrapper::ReadCommand recv cnt is more than 998"));
    peer.stop();
    EXPECT_EQ(openDescriptorCount(), before);
  }
}

TEST_F(SocketWrapperTest, RefusedConnectReportsTheRefusal) {
  sim.scanner().setRefuseConnections(true);
  const int before = settledDescriptors();
  const FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0x10, 0, 0);
  FCL_DEVICE_STATUS status{};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(sw.CMDCommand(&cmd, &status));
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string refused = std::to_string(ECONNREFUSED) + " - " + std::strerror(ECONNREFUSED) + "\n";
  EXPECT_TRUE(err == "Error in connection() " + refused || err == "Error connecting " + refused) << err;
  EXPECT_EQ(settledDescriptors(), before);

  // Serving again afterwards.
  sim.scanner().setRefuseConnections(false);
  EXPECT_TRUE(sw.CMDCommand(&cmd, &status));
}

TEST_F(SocketWrapperTest, ConnectToANonAnsweringAddressTimesOut) {
  // A listener whose accept queue is full and that never accepts: further connection requests
  // get no answer at all.
  BareListener full(0);
  SocketWrapper first;
  first.setPort(full.port);
  ASSERT_TRUE(first.OpenScanner("127.0.0.1"));  // takes the only place in the queue

  sw.setIp("127.0.0.1");
  sw.setPort(full.port);
  sw.setLimits(ScopedSocketLimits::limitsOf(kQuick));
  const int before = openDescriptorCount();
  const FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0x10, 0, 0);
  FCL_DEVICE_STATUS status{};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(sw.CMDCommand(&cmd, &status));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string("Timeout or error() 0 - ") + std::strerror(0) + "\n");
  EXPECT_EQ(openDescriptorCount(), before);
  EXPECT_TRUE(first.CloseScanner());
  EXPECT_FALSE(first.CloseScanner()) << "a second close must not close someone else's descriptor";
}

TEST_F(SocketWrapperTest, NoSocketLeftFailsTheExchangeWithoutEndingTheProgram) {
  // Lower the descriptor limit to the lowest free number: the next socket() is refused.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree);

  const FCL_VENDOR_CMD cmd = command(FOP_INQUIRY, 0x10, 0, 0);
  FCL_DEVICE_STATUS status{};
  testing::internal::CaptureStdout();
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  const bool ok = sw.CMDCommand(&cmd, &status);
  setrlimit(RLIMIT_NOFILE, &saved);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(ok);
  EXPECT_EQ(out, "Error Creating Socket\n");
  EXPECT_TRUE(sw.CMDCommand(&cmd, &status)) << "the next exchange is tried in full";
}

}  // namespace
