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
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <vector>

#include "BareSockets.h"
#include "IO/IOWrapper.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"

namespace {

using bench::BareScanner;
using bench::floorExchange;

constexpr uint32_t kWrite2Length = 114036;

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
