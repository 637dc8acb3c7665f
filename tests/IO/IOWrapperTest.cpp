// The command layer over the real loopback path: the simulated scanner in this process, and one
// independent bare-socket scanner written here, so the phase order is not only checked against
// our own engine.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "support/TestBytes.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "support/LogCapture.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

// Turns the debug mask to `mask` for the lifetime of a test.
class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

class IOWrapperTcpTest : public ::testing::Test {
 protected:
  IOWrapperTcpTest() : limits(1000ms), mask(0x22) { EXPECT_TRUE(io.openScanner(sim.address())); }

  ScopedSocketLimits limits;  // before `io`: its transport takes the limits when it is made
  ScopedDebugMask mask;
  LogCapture syslog;
  SimScanner sim;
  IOWrapper io;
};

// ---------------------------------------------------------------------------------------------
// Every opcode: the block that goes out, the bytes each way, the status that comes back

TEST_F(IOWrapperTcpTest, EachOpcodeMovesItsPhases) {
  struct Case {
    const char* name;
    uint8_t opcode;
    uint8_t dtc;
    uint16_t dtq;
    uint32_t length;
    std::size_t bytesIn;   // bytes the scanner received on the connection
    std::size_t bytesOut;  // bytes it sent
  };
  const Case cases[] = {
      {"inquiry", FOP_INQUIRY, 0x10, 0, 0, 16, 32},
      {"command with a length parameter", FOP_COMMAND, 0x20, 7, 60, 16, 32},
      {"read", FOP_READ, 0x30, 2, 1500, 16, 32 + 1500},
      {"write", FOP_WRITE, 0x31, 0x100, 40, 16 + 40, 32},
      {"write2", FOP_WRITE2, 0x32, 1, 114036, 16 + 114036, 32},
  };
  FCL_DEVICE_STATUS base{};
  base.wFWInfo = 4;
  base.byASICVersion = 0x77;
  sim.model().setBaseStatus(base);
  const sim::Bytes stored = pattern(1500, 5);
  sim.model().setRecord(0x30, 2, stored);

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.log().clear();
    syslog.clear();
    const std::size_t connectionsBefore = sim.scanner().connections().size();
    sim::Bytes data = pattern(c.length, 9);
    const sim::Bytes sent = data;

    io.setVendorCmd(c.opcode, c.dtc, c.dtq, c.length);
    ASSERT_TRUE(io.execute(data.data()));

    EXPECT_EQ(io.status().wFWInfo, 4);
    EXPECT_EQ(io.status().byASICVersion, 0x77);
    EXPECT_EQ(io.lastError(), 0u);
    ASSERT_TRUE(sim.log().waitForCount(1));
    const sim::LoggedCommand e = sim.log().entries()[0];
    EXPECT_TRUE(e.completed);
    EXPECT_EQ(e.cmd.dwVendorID, FCL_VENDOR_ID);
    EXPECT_EQ(e.cmd.byOPCode, c.opcode);
    EXPECT_EQ(e.cmd.byDTC, c.dtc);
    EXPECT_EQ(e.cmd.wDTQ, c.dtq);
    EXPECT_EQ(e.cmd.dwDataLength, c.length);
    EXPECT_EQ(e.cmd.byReserve1 | e.cmd.byReserve2 | e.cmd.byReserve3[0] | e.cmd.byReserve3[1], 0);
    if (c.opcode == FOP_READ) {
      EXPECT_EQ(data, stored);
    }
    if (c.opcode == FOP_WRITE || c.opcode == FOP_WRITE2) {
      EXPECT_EQ(e.dataIn, sent);
      EXPECT_EQ(*sim.model().record(c.dtc, c.dtq), sent);
    }

    ASSERT_TRUE(sim.scanner().waitIdle());
    const auto conns = sim.scanner().connections();
    ASSERT_EQ(conns.size(), connectionsBefore + 1) << "one connection per exchange";
    EXPECT_EQ(conns.back().bytesIn, c.bytesIn);
    EXPECT_EQ(conns.back().bytesOut, c.bytesOut);

    EXPECT_TRUE(syslog.contains(">>> IOWrapper::-[IOWrapper execute:] ENTER"));
    EXPECT_TRUE(syslog.contains(QStringLiteral("OPCode:%1 FCLC:%2 FCLD:%3 Length:%4")
                                    .arg(c.opcode).arg(c.dtc).arg(c.dtq).arg(c.length)));
    EXPECT_TRUE(syslog.contains("<<< IOWrapper::-[IOWrapper execute:] END"));
  }
}

TEST_F(IOWrapperTcpTest, RefusedCommandStillCompletesAndReportsItsError) {
  for (uint8_t opcode : {FOP_WRITE, FOP_WRITE2, FOP_READ, FOP_INQUIRY}) {
    SCOPED_TRACE(int(opcode));
    sim::Fault f;
    f.lastErr = FCLE_FW_REJECT_RS;
    f.fwInfo = 0;
    sim.faults().add(f);
    uint8_t lock[40] = {'A'};
    io.setVendorCmd(opcode, 0x98, 1, sizeof lock);
    EXPECT_TRUE(io.execute(lock));
    EXPECT_EQ(io.lastError(), FCLE_FW_REJECT_RS);
    EXPECT_EQ(io.status().wFWInfo, 0);
  }
}

TEST_F(IOWrapperTcpTest, UnknownOpcodeFailsWithoutTouchingTheScanner) {
  ScopedDebugMask errorsOnly(0x02);
  syslog.clear();
  io.setVendorCmd(0x13, 0x10, 0, 8);
  uint8_t buf[8] = {};
  EXPECT_FALSE(io.execute(buf));
  EXPECT_EQ(syslog.lines(), QStringList{"=== -[IOWrapper execute:] ERROR: Undefined OPCode 19\n"});
  ASSERT_TRUE(sim.scanner().waitIdle());
  EXPECT_EQ(sim.scanner().connectionCount(), 0u);
}

TEST_F(IOWrapperTcpTest, NewCommandClearsTheStatusAndAFailedOneKeepsWhatArrived) {
  sim::Fault refused;
  refused.lastErr = 0x2001;
  sim.faults().add(refused);
  io.setVendorCmd(FOP_INQUIRY, 0x10, 0, 0);
  ASSERT_TRUE(io.execute());
  ASSERT_EQ(io.lastError(), 0x2001u);

  io.setVendorCmd(FOP_INQUIRY, 0x10, 0, 0);
  EXPECT_EQ(io.lastError(), 0u);
  EXPECT_EQ(io.cmd().byOPCode, FOP_INQUIRY);

  // The scanner sends 6 bytes of its status and hangs up: they are what status() holds.
  sim::Fault cut;
  cut.lastErr = 0x4002;
  cut.fwInfo = 5;
  cut.closeAfterSent = 6;
  sim.faults().add(cut);
  EXPECT_FALSE(io.execute());
  EXPECT_EQ(io.lastError(), 0x4002u);
  EXPECT_EQ(io.status().wFWInfo, 5);
  EXPECT_EQ(io.status().byFlowStatus, 0);
}

TEST_F(IOWrapperTcpTest, FailedExchangesLeaveTheObjectOpenAndNoDescriptor) {
  ScopedSocketLimits quick(150ms);
  IOWrapper quickIo;
  ASSERT_TRUE(quickIo.openScanner(sim.address()));
  sim::Fault silent;
  silent.silent = true;
  sim::Fault dataCut;
  dataCut.closeAfterSent = 32 + 10;

  struct Case {
    const char* name;
    uint8_t opcode;
    std::optional<sim::Fault> fault;
    bool refuse;
  };
  const Case cases[] = {
      {"refused connection", FOP_INQUIRY, std::nullopt, true},
      {"silent scanner", FOP_READ, silent, false},
      {"data cut short", FOP_READ, dataCut, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.faults().clear();
    if (c.fault) sim.faults().add(*c.fault);
    sim.scanner().setRefuseConnections(c.refuse);
    ASSERT_TRUE(sim.scanner().waitIdle());
    const int before = openDescriptorCount();
    uint8_t buf[100];
    quickIo.setVendorCmd(c.opcode, 0x30, 0, sizeof buf);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(quickIo.execute(buf));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(quickIo.isOpen());
    ASSERT_TRUE(sim.scanner().waitIdle());
    EXPECT_EQ(openDescriptorCount(), before);
  }
  sim.scanner().setRefuseConnections(false);
  quickIo.setVendorCmd(FOP_INQUIRY, 0x10, 0, 0);
  EXPECT_TRUE(quickIo.execute()) << "the next exchange is tried in full";
}

// ---------------------------------------------------------------------------------------------
// Opening and closing over TCP

TEST_F(IOWrapperTcpTest, OpeningAnAddressOnlyRecordsIt) {
  sim.scanner().setRefuseConnections(true);
  IOWrapper other;
  EXPECT_TRUE(other.openScanner(sim.address()));
  EXPECT_TRUE(other.isOpen());
  EXPECT_FALSE(other.bUSB());
  EXPECT_EQ(other.ip(), QString());
  EXPECT_TRUE(syslog.contains("IP is " + sim.address()));

  sim.scanner().setRefuseConnections(false);
  ASSERT_TRUE(sim.scanner().waitIdle());
  EXPECT_EQ(sim.scanner().connectionCount(), 0u) << "open must not connect";
}

TEST_F(IOWrapperTcpTest, UsbOnlyOperationsOnATcpObject) {
  EXPECT_FALSE(io.CtrlPipeLockScanner());
  EXPECT_FALSE(io.CtrlPipeUnlockScanner());
  EXPECT_TRUE(io.isOpen());
  EXPECT_FALSE(io.closeScanner()) << "there was no USB connection to close";
  EXPECT_FALSE(io.isOpen());
  io.resetIP();
  EXPECT_EQ(io.ip(), QString());
}

// ---------------------------------------------------------------------------------------------
// USB side without a scanner attached: the USB phase errors

TEST(IOWrapperUsbTest, WithoutADeviceEveryOpcodeFailsWithItsUsbError) {
  ScopedDebugMask errorsOnly(0x02);
  LogCapture syslog;
  IOWrapper io;
  EXPECT_TRUE(io.bUSB());
  EXPECT_FALSE(io.isOpen());
  EXPECT_FALSE(io.CtrlPipeLockScanner());
  struct Case {
    uint8_t opcode;
    const char* line;
  };
  const Case cases[] = {
      {FOP_INQUIRY, "=== -[IOWrapper doFopInquiryCommand] ERROR:  USB SendCommand ERROR!\n"},
      {FOP_COMMAND, "=== -[IOWrapper doFopCommandCommand] ERROR:  USB SendCommand ERROR!\n"},
      {FOP_READ, "=== -[IOWrapper doFopReadCommand:Length:] ERROR:  USB SendCommand ERROR!\n"},
      {FOP_WRITE, "=== -[IOWrapper doFopWriteCommand:Length:] ERROR:  USB SendCommand ERROR!\n"},
      {FOP_WRITE2, "=== -[IOWrapper doFopWrite2Command:Length:] ERROR:  USB Write2Command ERROR!\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.opcode));
    syslog.clear();
    uint8_t buf[16] = {};
    io.setVendorCmd(c.opcode, 0x10, 0, sizeof buf);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(io.execute(buf));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(syslog.lines(), QStringList{c.line});
  }
}

// ---------------------------------------------------------------------------------------------
// An independent scanner: bare sockets, one connection per exchange, written only from the wire
// contract. For FOP_WRITE it holds its status back for a while and checks that no data arrived
// before the status went out; for FOP_WRITE2 it answers only once all the data is in.

class BareScanner {
 public:
  explicit BareScanner(sim::Bytes answer) : readAnswer(std::move(answer)) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    ::listen(m_listen, 4);
    m_thread = std::thread([this] { serve(); });
  }
  ~BareScanner() {
    ::shutdown(m_listen, SHUT_RDWR);
    m_thread.join();
    ::close(m_listen);
  }

  uint16_t port = 0;
  std::atomic<int> exchanges{0};
  std::atomic<bool> earlyData{false};
  const sim::Bytes readAnswer;  // the data of every FOP_READ
  // Written by the scanner's thread before it counts the exchange.
  FCL_VENDOR_CMD lastCmd{};
  sim::Bytes lastData;

 private:
  static bool readN(int fd, void* p, std::size_t n) {
    auto* b = static_cast<uint8_t*>(p);
    for (std::size_t got = 0; got < n;) {
      const ssize_t r = ::recv(fd, b + got, n - got, 0);
      if (r <= 0) return false;
      got += static_cast<std::size_t>(r);
    }
    return true;
  }
  static bool writeN(int fd, const void* p, std::size_t n) {
    return ::send(fd, p, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
  }

  void serve() {
    for (;;) {
      const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      FCL_VENDOR_CMD cmd{};
      FCL_DEVICE_STATUS status{};
      if (readN(fd, &cmd, sizeof cmd)) {
        status.dwLastErr = 0x1000u + cmd.byOPCode;
        status.wFWInfo = 4;
        lastCmd = cmd;
        sim::Bytes data(cmd.dwDataLength);
        switch (cmd.byOPCode) {
          case FOP_INQUIRY:
          case FOP_COMMAND:
            writeN(fd, &status, sizeof status);
            break;
          case FOP_READ:
            writeN(fd, &status, sizeof status);
            writeN(fd, readAnswer.data(), readAnswer.size());
            break;
          case FOP_WRITE: {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) > 0) earlyData = true;  // the host must wait for the status
            writeN(fd, &status, sizeof status);
            readN(fd, data.data(), data.size());
            break;
          }
          case FOP_WRITE2:
            readN(fd, data.data(), data.size());
            writeN(fd, &status, sizeof status);
            break;
        }
        lastData = data;
      }
      // Wait for the host to hang up: that it sends nothing more is part of the exchange.
      char extra;
      if (::recv(fd, &extra, 1, 0) > 0) earlyData = true;
      ::close(fd);
      ++exchanges;
    }
  }

  int m_listen = -1;
  std::thread m_thread;
};

TEST(IOWrapperBareScannerTest, PhaseOrderMatchesAnIndependentScanner) {
  ScopedSocketLimits limits(2000ms);
  BareScanner scanner(pattern(300, 4));
  SocketWrapper::setDefaultPort(scanner.port);
  IOWrapper io;
  ASSERT_TRUE(io.openScanner("127.0.0.1"));

  struct Case {
    uint8_t opcode;
    uint32_t length;
  };
  for (const Case c : {Case{FOP_INQUIRY, 0}, Case{FOP_COMMAND, 60}, Case{FOP_READ, 300}, Case{FOP_WRITE, 200},
                       Case{FOP_WRITE2, 5000}}) {
    SCOPED_TRACE(int(c.opcode));
    const int before = scanner.exchanges;
    sim::Bytes data = pattern(c.length, 11);
    const sim::Bytes sent = data;
    io.setVendorCmd(c.opcode, 0x44, 9, c.length);
    ASSERT_TRUE(io.execute(data.data()));
    EXPECT_EQ(io.lastError(), 0x1000u + c.opcode);
    EXPECT_EQ(io.status().wFWInfo, 4);
    while (scanner.exchanges == before) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(scanner.earlyData.exchange(false)) << "bytes arrived before the scanner asked for them";
    EXPECT_EQ(scanner.lastCmd.byOPCode, c.opcode);
    EXPECT_EQ(scanner.lastCmd.dwDataLength, c.length);
    if (c.opcode == FOP_READ) {
      EXPECT_EQ(data, scanner.readAnswer);
    }
    if (c.opcode == FOP_WRITE || c.opcode == FOP_WRITE2) {
      EXPECT_EQ(scanner.lastData, sent);
    }
  }
}

}  // namespace
