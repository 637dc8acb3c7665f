// Cost of one command exchange over loopback against its floor: the same exchange with bare
// sockets and none of our code (a bare client and a bare scanner thread, bench/BareSockets.h).
// Ours and the floor run interleaved in one process (bench/Interleaved.h).
//
//   BM_Inquiry                 ours: IOWrapper -> SocketWrapper -> in-process simulator, FOP_INQUIRY
//                              floor: connect, send 16, receive 32, close
//   BM_Write2                  the same with FOP_WRITE2 of 114036 bytes
//                              floor: connect, send 16, send 114036, receive 32, close
//   BM_*_ClientOnly            ours: IOWrapper against the bare scanner (our client's share)
//   BM_*_SimulatorOnly         ours: the bare client against the simulator (the simulator's share)
//
// Both sides of the floor set TCP_NODELAY, as ours do: a small block followed by another write
// must not wait for a delayed acknowledgement.
//
// Run: build/bin/exchange_bench   (five repetitions unless --benchmark_repetitions=N; the
//      summary at the end gives each ratio with its spread and the absolute medians)
#include <benchmark/benchmark.h>

#include <stdexcept>
#include <vector>

#include "BareSockets.h"
#include "IO/IOWrapper.h"
#include "Interleaved.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"

namespace {

using bench::BareScanner;
using bench::floorExchange;
using bench::timed;

constexpr uint32_t kWrite2Length = 114036;

FCL_VENDOR_CMD command(uint8_t opcode, uint32_t length) {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = FCL_VENDOR_ID;
  c.byOPCode = opcode;
  c.byDTC = 0x10;
  c.dwDataLength = length;
  return c;
}

// The in-process simulator on a loopback port of its own.
struct OurScanner {
  OurScanner() : scanner(model) {
    scanner.log().setCapacity(0);  // keeping 114 kB per command would measure the allocator
    if (!scanner.start("127.0.0.1", 0)) throw std::runtime_error("simulator: cannot listen");
  }
  sim::ScannerModel model;
  sim::TcpScanner scanner;
};

// Sets SocketWrapper's port for the lifetime of the object.
class DefaultPort {
 public:
  explicit DefaultPort(uint16_t port) : m_previous(SocketWrapper::setDefaultPort(port)) {}
  ~DefaultPort() { SocketWrapper::setDefaultPort(m_previous); }
  DefaultPort(const DefaultPort&) = delete;
  DefaultPort& operator=(const DefaultPort&) = delete;

 private:
  uint16_t m_previous;
};

enum class Ours { Both, ClientOnly, SimulatorOnly };

// One exchange of `opcode` with `length` data bytes: ours as `which` says, against the floor.
void run(benchmark::State& state, Ours which, uint8_t opcode, uint32_t length) {
  OurScanner sim;
  BareScanner bare;
  // Our client talks to the simulator, or to the bare scanner for the client's share alone.
  DefaultPort port(which == Ours::ClientOnly ? bare.port : sim.scanner.port());
  IOWrapper io;
  io.openScanner("127.0.0.1");
  const FCL_VENDOR_CMD cmd = command(opcode, length);
  std::vector<uint8_t> oursData(length, 0x5A);
  std::vector<uint8_t> floorData(length, 0x5A);

  const auto ours = [&] {
    bool ok = true;
    const bench::Seconds s = timed([&] {
      if (which == Ours::SimulatorOnly) {
        ok = floorExchange(sim.scanner.port(), cmd, oursData.data(), length);
      } else {
        io.setVendorCmd(opcode, 0x10, 0, length);
        ok = io.execute(oursData.data());
      }
    });
    if (!ok) state.SkipWithError("exchange failed");
    return s;
  };
  const auto floor = [&] {
    bool ok = true;
    const bench::Seconds s = timed([&] { ok = floorExchange(bare.port, cmd, floorData.data(), length); });
    if (!ok) state.SkipWithError("floor exchange failed");
    return s;
  };
  bench::interleave(state, {{"ours", ours}, {"floor", floor}});
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (16 + 32 + length));
}

void BM_Inquiry(benchmark::State& s) { run(s, Ours::Both, FOP_INQUIRY, 0); }
void BM_Write2(benchmark::State& s) { run(s, Ours::Both, FOP_WRITE2, kWrite2Length); }
void BM_Inquiry_ClientOnly(benchmark::State& s) { run(s, Ours::ClientOnly, FOP_INQUIRY, 0); }
void BM_Inquiry_SimulatorOnly(benchmark::State& s) { run(s, Ours::SimulatorOnly, FOP_INQUIRY, 0); }
void BM_Write2_ClientOnly(benchmark::State& s) { run(s, Ours::ClientOnly, FOP_WRITE2, kWrite2Length); }
void BM_Write2_SimulatorOnly(benchmark::State& s) { run(s, Ours::SimulatorOnly, FOP_WRITE2, kWrite2Length); }

BENCHMARK(BM_Inquiry)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write2)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Inquiry_ClientOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Inquiry_SimulatorOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write2_ClientOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Write2_SimulatorOnly)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return bench::runBenchmarks(argc, argv); }
