// The main window's whole first load (open, status, lock, every read, vendor string, key lists)
// against the in-process simulator over loopback, against its floor: the same exchanges, one after
// another, between a bare client and a bare scanner (bench/BareSockets.h). Ours and the floor run
// interleaved in one process (bench/Interleaved.h).
//
//   BM_StartUp   ours:  ViewController::loadData(true) after the open; the scanner is unlocked
//                       and closed after each load, outside the timing
//                floor: the commands that one load sent (taken from the simulator's log), each
//                       as a bare exchange of the same phases and lengths
//
// Run: build/bin/startup_bench   (five repetitions unless --benchmark_repetitions=N; the summary
//      at the end gives the ratio with its spread and the absolute medians)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <stdexcept>
#include <vector>

#include "BareSockets.h"
#include "Interleaved.h"
#include "CommandLog.h"
#include "RemoteSetup/ViewController.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"
#include "Views/PageFactory.h"
#include "platform/Dialogs.h"

namespace {

// Benchmarks never wait for a person: any alert counts as a failed run.
class NoDialogs : public platform::Dialogs {
 public:
  platform::AlertAnswer runAlert(const platform::AlertSpec&) override {
    ++alerts;
    return {};
  }
  std::optional<QString> openFile(const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return std::nullopt; }
  std::optional<QString> chooseFolder(const QString&) override { return std::nullopt; }
  int alerts = 0;
};

struct Simulator {
  Simulator() : scanner(model) {
    if (!scanner.start("127.0.0.1", 0)) throw std::runtime_error("simulator: cannot listen");
    previousPort = SocketWrapper::setDefaultPort(scanner.port());
  }
  ~Simulator() { SocketWrapper::setDefaultPort(previousPort); }
  sim::ScannerModel model;
  sim::TcpScanner scanner;
  uint16_t previousPort;
};

// The commands of one first load, as the simulator logged them.
std::vector<FCL_VENDOR_CMD> commandsOfOneLoad() {
  Simulator sim;
  NoDialogs dialogs;
  platform::Dialogs* previous = platform::setDialogs(&dialogs);
  PageFactory noPages;
  ViewController vc(noPages);
  vc.setupInfo("127.0.0.1", "BNT", "bench", "Wired LAN", "", "");
  vc.loadViewIfNeeded();
  vc.io().openScanner("127.0.0.1");
  vc.loadData(true);
  vc.io().unlockScanner();
  platform::setDialogs(previous);
  // The scanner logs a command once it is done with it: wait for the unlock to be there.
  std::vector<FCL_VENDOR_CMD> cmds;
  for (std::size_t n = 1; sim.scanner.log().waitForCount(n, std::chrono::seconds(2)); ++n) {
    const sim::LoggedCommand last = sim.scanner.log().entries().back();
    if (last.cmd.byDTC == 0x98 && last.cmd.wDTQ == 2) break;
  }
  for (const sim::LoggedCommand& c : sim.scanner.log().entries()) cmds.push_back(c.cmd);
  cmds.pop_back();  // the unlock
  if (dialogs.alerts != 0) throw std::runtime_error("the load showed an alert");
  return cmds;
}

// One first load of the main window, interleaved with the same exchanges between a bare client and
// a bare scanner.
void BM_StartUp(benchmark::State& state) {
  const std::vector<FCL_VENDOR_CMD> cmds = commandsOfOneLoad();
  bench::BareScanner bare;
  std::vector<uint8_t> floorData(1 << 20);

  Simulator sim;
  sim.scanner.log().setCapacity(0);
  NoDialogs dialogs;
  platform::Dialogs* previous = platform::setDialogs(&dialogs);
  PageFactory noPages;
  ViewController vc(noPages);
  vc.setupInfo("127.0.0.1", "BNT", "bench", "Wired LAN", "", "");
  vc.loadViewIfNeeded();

  const auto ours = [&] {
    const bench::Seconds s = bench::timed([&] {
      vc.io().openScanner("127.0.0.1");
      vc.loadData(true);
    });
    // Let the scanner go for the next load, outside the timing.
    vc.io().unlockScanner();
    vc.io().closeScanner();
    return s;
  };
  const auto floor = [&] {
    bool ok = true;
    const bench::Seconds s = bench::timed([&] {
      for (const FCL_VENDOR_CMD& cmd : cmds) ok = bench::floorExchange(bare.port, cmd, floorData.data(), cmd.dwDataLength) && ok;
    });
    if (!ok) state.SkipWithError("floor exchange failed");
    return s;
  };
  bench::interleave(state, {{"ours", ours}, {"floor", floor}});
  if (dialogs.alerts != 0 || vc.isTerminating()) state.SkipWithError("the load showed an alert");
  platform::setDialogs(previous);
  state.counters["exchanges"] = static_cast<double>(cmds.size());
}

BENCHMARK(BM_StartUp)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return bench::runBenchmarks(argc, argv);
}
