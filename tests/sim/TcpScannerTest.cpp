// The simulator's TCP front end and its program: one command per connection, only the address
// it was given, a clean stop whatever the client does.
#include <QProcess>
#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "IO/FCLCodes.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"
#include "support/SimProgram.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

FCL_VENDOR_CMD inquiry() {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = FCL_VENDOR_ID;
  c.byOPCode = FOP_INQUIRY;
  c.byDTC = 0x10;
  return c;
}

int connectTo(const std::string& address, uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads until the peer closes; answers the byte count (or -1 on an error).
long readToEnd(int fd) {
  long total = 0;
  char buf[256];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0) return -1;
    if (n == 0) return total;
    total += n;
  }
}

TEST(TcpScannerTest, ServesOneCommandPerConnection) {
  SimScanner sim;
  const int fd = connectTo(sim.address().toStdString(), sim.port());
  ASSERT_GE(fd, 0);
  const FCL_VENDOR_CMD two[2] = {inquiry(), inquiry()};
  ASSERT_EQ(::send(fd, two, sizeof two, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof two));
  ::shutdown(fd, SHUT_WR);
  EXPECT_EQ(readToEnd(fd), 32) << "only the first command is answered";
  ::close(fd);
  ASSERT_TRUE(sim.scanner().waitIdle());
  EXPECT_EQ(sim.log().size(), 1u);
  ASSERT_EQ(sim.scanner().connections().size(), 1u);
  EXPECT_EQ(sim.scanner().connections()[0].bytesIn, sizeof two);
}

TEST(TcpScannerTest, ListensOnlyOnItsAddress) {
  sim::ScannerModel model;
  sim::TcpScanner scanner(model);
  ASSERT_TRUE(scanner.start("127.0.0.1", 0));
  ASSERT_NE(scanner.port(), 0);
  const int ok = connectTo("127.0.0.1", scanner.port());
  EXPECT_GE(ok, 0);
  ::close(ok);
  EXPECT_EQ(connectTo("127.0.0.2", scanner.port()), -1);
}

TEST(TcpScannerTest, AnAddressInUseIsReportedEvenWhileRefusing) {
  SimScanner sim;
  sim::ScannerModel model;
  sim::TcpScanner second(model);
  for (bool refusing : {false, true}) {
    SCOPED_TRACE(refusing);
    sim.scanner().setRefuseConnections(refusing);
    int err = 0;
    EXPECT_FALSE(second.start(sim.address().toStdString(), sim.port(), &err));
    EXPECT_EQ(err, EADDRINUSE);
  }
}

TEST(TcpScannerTest, StopDoesNotWaitForClients) {
  // A client that connected and sends nothing, one the scanner holds silently, one whose answer
  // is paused for an hour: stop() ends all of them (the test would hang otherwise).
  struct Case {
    const char* name;
    std::optional<sim::Fault> fault;
    bool sendCommand;
  };
  sim::Fault silent;
  silent.silent = true;
  sim::Fault paused;
  paused.delayStatus = std::chrono::hours(1);
  const Case cases[] = {{"idle client", std::nullopt, false},
                        {"silent scanner", silent, true},
                        {"paused answer", paused, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimScanner sim;
    if (c.fault) sim.faults().add(*c.fault);
    const int fd = connectTo(sim.address().toStdString(), sim.port());
    ASSERT_GE(fd, 0);
    if (c.sendCommand) {
      const FCL_VENDOR_CMD cmd = inquiry();
      ::send(fd, &cmd, sizeof cmd, MSG_NOSIGNAL);
    }
    while (sim.scanner().connectionCount() == 0) usleep(1000);
    sim.scanner().stop();
    EXPECT_FALSE(sim.scanner().running());
    // Closed: an end of stream, or a reset when the command was still unread at the stop.
    const long got = readToEnd(fd);
    EXPECT_TRUE(got == 0 || (got == -1 && errno == ECONNRESET)) << "the held connection is closed: " << got;
    ::close(fd);
  }
}

TEST(ScannerProgramTest, ServesPrintsEachCommandAndEndsOnSigterm) {
  QProcess program;
  program.start(QStringLiteral(ZR_SIM_PROGRAM),
                {"--address", "127.0.0.1", "--port", "0", "--model", "qmx7305"});
  ASSERT_TRUE(program.waitForStarted());
  ASSERT_TRUE(program.waitForReadyRead(10000));
  const QString banner = QString::fromUtf8(program.readLine()).trimmed();
  ASSERT_TRUE(banner.startsWith("QMX-7305 simulator listening on 127.0.0.1:")) << banner.toStdString();
  const uint16_t port = banner.section(':', -1).toUShort();
  ASSERT_NE(port, 0);

  SocketWrapper sw;
  sw.setIp("127.0.0.1");
  sw.setPort(port);
  FCL_VENDOR_CMD cmd = inquiry();
  cmd.wDTQ = 3;
  FCL_DEVICE_STATUS status{};
  EXPECT_TRUE(sw.CMDCommand(&cmd, &status));
  ASSERT_TRUE(program.waitForReadyRead(10000));
  EXPECT_EQ(QString::fromUtf8(program.readLine()).trimmed(), "opcode 0x12 (INQUIRY) class 0x10 qualifier 3 length 0");

  program.terminate();  // SIGTERM
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}

// --serial: the scanner's identifying text (what it reports, and what an announcement carries).
TEST(ScannerProgramTest, TakesASerialNumberOfItsOwn) {
  QProcess program;
  program.start(QStringLiteral(ZR_SIM_PROGRAM), {"--address", "127.0.0.1", "--port", "0", "--serial", "ZRQ-TEST-42"});
  ASSERT_TRUE(program.waitForStarted());
  QByteArray err;
  for (int i = 0; i < 100 && !err.contains('\n'); ++i) {
    program.waitForReadyRead(100);
    err += program.readAllStandardError();
  }
  EXPECT_TRUE(err.startsWith("identifying text \"ZRQ-TEST-42\"")) << err.toStdString();
  program.terminate();
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitCode(), 0);
}

// Two programs side by side on two addresses are two scanners: without --serial, each reports a
// serial of its own (the vendor string, NVRAM 104) to a client.
TEST(ScannerProgramTest, ProgramsOnTwoAddressesReportSerialsOfTheirOwn) {
  const QStringList addresses = {QStringLiteral("127.0.0.1"), QStringLiteral("127.0.3.%1").arg(2 + ::getpid() % 200)};
  SimProgram programs[2];
  std::string serials[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(programs[i].start(QStringLiteral(ZR_SIM_PROGRAM), {"--address", addresses[i], "--port", "0"}))
        << programs[i].standardError().toStdString();
    SocketWrapper sw;
    sw.setIp(addresses[i]);
    sw.setPort(programs[i].port());
    FCL_VENDOR_CMD cmd{};
    cmd.dwVendorID = FCL_VENDOR_ID;
    cmd.byOPCode = FOP_READ;
    cmd.byDTC = FCLC_NVRAM;
    cmd.wDTQ = 104;
    cmd.dwDataLength = 24;
    FCL_DEVICE_STATUS status{};
    char field[24] = {};
    ASSERT_TRUE(sw.ReadCommand(&cmd, &status, field, sizeof field));
    EXPECT_EQ(status.dwLastErr, 0u);
    ASSERT_EQ(field[23], 0);
    serials[i] = field;
    EXPECT_FALSE(serials[i].empty());
    EXPECT_EQ(programs[i].stop(), 0);
  }
  EXPECT_NE(serials[0], serials[1]);
}

TEST(ScannerProgramTest, RefusesBadArguments) {
  for (const QStringList& args : {QStringList{"--model", "qmx9"}, QStringList{"--port", "70000"},
                                  QStringList{"--address", "not-an-address", "--port", "0"}, QStringList{"--bogus"},
                                  QStringList{"--serial", ""}, QStringList{"--serial", QString(24, QLatin1Char('S'))}}) {
    SCOPED_TRACE(args.join(' ').toStdString());
    QProcess program;
    program.start(QStringLiteral(ZR_SIM_PROGRAM), args);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_NE(program.exitCode(), 0);
  }
}

}  // namespace
