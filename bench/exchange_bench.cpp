// Cost of one command exchange over loopback, against a floor that runs the same pattern with
// bare sockets and none of our code (a bare client and a bare scanner thread).
//
//   BM_Inquiry/IOWrapper      IOWrapper -> SocketWrapper -> in-process simulator, FOP_INQUIRY
//   BM_Inquiry/Floor          connect, send 16, receive 32, close
//   BM_Write2/IOWrapper       the same with FOP_WRITE2 of 114036 bytes
//   BM_Write2/Floor           connect, send 16, send 114036, receive 32, close
//
// Both sides of the floor set TCP_NODELAY, as ours do: a small block followed by another write
// must not wait for a delayed acknowledgement.
//
// Run: build-*/bin/exchange_bench   (add --benchmark_repetitions=5 for spread)
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "IO/IOWrapper.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"

namespace {

constexpr uint32_t kWrite2Length = 114036;

// ---------------------------------------------------------------------------------------------
// The floor: bare sockets only

void noDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool readN(int fd, void* p, std::size_t n) {
  auto* b = static_cast<uint8_t*>(p);
  for (std::size_t got = 0; got < n;) {
    const ssize_t r = ::recv(fd, b + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

bool writeN(int fd, const void* p, std::size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (std::size_t sent = 0; sent < n;) {
    const ssize_t r = ::send(fd, b + sent, n - sent, MSG_NOSIGNAL);
    if (r <= 0) return false;
    sent += static_cast<std::size_t>(r);
  }
  return true;
}

class BareScanner {
 public:
  BareScanner() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(m_fd, 64) != 0) {
      throw std::runtime_error("bare scanner: cannot listen");
    }
    socklen_t len = sizeof sa;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    m_thread = std::thread([this] { run(); });
  }
  ~BareScanner() {
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
  }
  uint16_t port = 0;

 private:
  void run() {
    std::vector<uint8_t> data;
    for (;;) {
      const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) return;
      noDelay(c);
      FCL_VENDOR_CMD cmd{};
      FCL_DEVICE_STATUS status{};
      if (readN(c, &cmd, sizeof cmd)) {
        if (cmd.byOPCode == FOP_WRITE2) {
          data.resize(cmd.dwDataLength);
          readN(c, data.data(), data.size());
        }
        writeN(c, &status, sizeof status);
      }
      ::close(c);
    }
  }
  int m_fd = -1;
  std::thread m_thread;
};

bool floorExchange(uint16_t port, const FCL_VENDOR_CMD& cmd, const void* data, uint32_t length) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  noDelay(fd);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  FCL_DEVICE_STATUS status{};
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && writeN(fd, &cmd, sizeof cmd) &&
                  (length == 0 || writeN(fd, data, length)) && readN(fd, &status, sizeof status);
  ::close(fd);
  return ok;
}

FCL_VENDOR_CMD command(uint8_t opcode, uint32_t length) {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = FCL_VENDOR_ID;
  c.byOPCode = opcode;
  c.byDTC = 0x10;
  c.dwDataLength = length;
  return c;
}

// ---------------------------------------------------------------------------------------------
// Ours: IOWrapper and the in-process simulator

struct OurScanner {
  OurScanner() : scanner(model) {
    scanner.log().setCapacity(0);  // keeping 114 kB per command would measure the allocator
    if (!scanner.start("127.0.0.1", 0)) throw std::runtime_error("simulator: cannot listen");
    previousPort = SocketWrapper::setDefaultPort(scanner.port());
  }
  ~OurScanner() { SocketWrapper::setDefaultPort(previousPort); }
  sim::ScannerModel model;
  sim::TcpScanner scanner;
  uint16_t previousPort;
};

void runOurs(benchmark::State& state, uint8_t opcode, uint32_t length) {
  OurScanner sim;
  IOWrapper io;
  io.openScanner("127.0.0.1");
  std::vector<uint8_t> data(length, 0x5A);
  for (auto _ : state) {
    io.setVendorCmd(opcode, 0x10, 0, length);
    if (!io.execute(data.data())) state.SkipWithError("exchange failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (16 + 32 + length));
}

void runFloor(benchmark::State& state, uint8_t opcode, uint32_t length) {
  BareScanner scanner;
  const FCL_VENDOR_CMD cmd = command(opcode, length);
  std::vector<uint8_t> data(length, 0x5A);
  for (auto _ : state) {
    if (!floorExchange(scanner.port, cmd, data.data(), length)) state.SkipWithError("exchange failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (16 + 32 + length));
}

void runOurClientBareScanner(benchmark::State& state, uint8_t opcode, uint32_t length) {
  BareScanner scanner;
  const uint16_t previous = SocketWrapper::setDefaultPort(scanner.port);
  IOWrapper io;
  io.openScanner("127.0.0.1");
  std::vector<uint8_t> data(length, 0x5A);
  for (auto _ : state) {
    io.setVendorCmd(opcode, 0x10, 0, length);
    if (!io.execute(data.data())) state.SkipWithError("exchange failed");
  }
  SocketWrapper::setDefaultPort(previous);
}

void runBareClientOurScanner(benchmark::State& state, uint8_t opcode, uint32_t length) {
  OurScanner sim;
  const FCL_VENDOR_CMD cmd = command(opcode, length);
  std::vector<uint8_t> data(length, 0x5A);
  for (auto _ : state) {
    if (!floorExchange(sim.scanner.port(), cmd, data.data(), length)) state.SkipWithError("exchange failed");
  }
}

void BM_Write2_ClientOnly(benchmark::State& s) { runOurClientBareScanner(s, FOP_WRITE2, kWrite2Length); }
void BM_Write2_SimulatorOnly(benchmark::State& s) { runBareClientOurScanner(s, FOP_WRITE2, kWrite2Length); }
void BM_Inquiry_ClientOnly(benchmark::State& s) { runOurClientBareScanner(s, FOP_INQUIRY, 0); }
void BM_Inquiry_SimulatorOnly(benchmark::State& s) { runBareClientOurScanner(s, FOP_INQUIRY, 0); }
BENCHMARK(BM_Inquiry_ClientOnly)->UseRealTime();
BENCHMARK(BM_Inquiry_SimulatorOnly)->UseRealTime();
BENCHMARK(BM_Write2_ClientOnly)->UseRealTime();
BENCHMARK(BM_Write2_SimulatorOnly)->UseRealTime();

void BM_Inquiry_IOWrapper(benchmark::State& s) { runOurs(s, FOP_INQUIRY, 0); }
void BM_Inquiry_Floor(benchmark::State& s) { runFloor(s, FOP_INQUIRY, 0); }
void BM_Write2_IOWrapper(benchmark::State& s) { runOurs(s, FOP_WRITE2, kWrite2Length); }
void BM_Write2_Floor(benchmark::State& s) { runFloor(s, FOP_WRITE2, kWrite2Length); }

BENCHMARK(BM_Inquiry_IOWrapper)->UseRealTime();
BENCHMARK(BM_Inquiry_Floor)->UseRealTime();
BENCHMARK(BM_Write2_IOWrapper)->UseRealTime();
BENCHMARK(BM_Write2_Floor)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
