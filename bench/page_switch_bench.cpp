// One page switch in the main window with nothing changed, against the in-process simulator over
// loopback: the apply cycle's checks (status, lock owner, the page's own checks), then the fill
// and show of the next page. The real pages (PageFactory::standard()) on the network model's
// window; every switch starts on the general setup page (the page on show after opening) and goes
// to the page the benchmark is named after.
//
//   BM_PageSwitch/<view id>   per iteration, interleaved (bench/Interleaved.h), in turn:
//     ours        the switch's exchanges as the window runs them: the apply cycle's checks
//                 (ViewController::postSettingProc with the confirmation, as a click runs it)
//                 and, through the window's own IOWrapper, any further command the switch sends
//                 (the machine information page's status and counter reads, the address book's
//                 read)
//     floor       the same commands, taken from the simulator's log of a first switch, each as a
//                 bare exchange of the same phases and lengths (bench/BareSockets.h)
//     bareclient  the same commands from the bare client to the simulator: client_ratio
//                 (ours / bareclient) is our client's share of the ratio, simulator_ratio
//                 (bareclient / floor) the simulator's
//   and, after these, three figures of their own:
//     pagechecks  the share of ours that sends nothing: the page's error and change checks
//                 (ViewController::isDataError and isDataChanged, general setup on show)
//     switch      the whole click on the page's node (ViewController::clickedItem) until the
//                 event loop has shown it
//     fill        the fill of the page and its show: PageController::setParam, the window's
//                 displaySubview and the event loop until it is painted (for the address book
//                 the fill includes its read of the book)
//   Each iteration ends, outside the timing, with the switch back to the general setup page.
//
// Goals: the exchanges within 1.3x of the floor (ratio), the fill under 50 ms (fill_us < 50000).
//
// Run: build/bin/page_switch_bench   (five repetitions of 200 switches each unless
//      --benchmark_repetitions=N; --benchmark_filter=scanFileName picks one page; the summary at
//      the end gives each ratio with its spread, the absolute medians and the goals)
#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "BareSockets.h"
#include "CommandLog.h"
#include "IO/FCLCommand.h"
#include "Interleaved.h"
#include "RemoteSetup/ViewController.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"
#include "Views/PageFactory.h"
#include "Views/PageTable.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"

namespace {

constexpr int kSwitchesPerRepetition = 200;

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

class ScopedDialogs {
 public:
  explicit ScopedDialogs(platform::Dialogs* dialogs) : m_previous(platform::setDialogs(dialogs)) {}
  ~ScopedDialogs() { platform::setDialogs(m_previous); }
  ScopedDialogs(const ScopedDialogs&) = delete;
  ScopedDialogs& operator=(const ScopedDialogs&) = delete;

 private:
  platform::Dialogs* m_previous;
};

struct Simulator {
  Simulator() : scanner(model) {
    if (!scanner.start("127.0.0.1", 0)) throw std::runtime_error("simulator: cannot listen");
    previousPort = SocketWrapper::setDefaultPort(scanner.port());
  }
  ~Simulator() { SocketWrapper::setDefaultPort(previousPort); }
  sim::ScannerModel model{sim::ScannerModel::Kind::Qmx7315w};
  sim::TcpScanner scanner;
  uint16_t previousPort;
};

// Runs the event loop until what the last call queued (the load, layout, paint) is done.
void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// Every command the scanner logged from `from` on, once the scanner is idle (the window's
// exchanges are synchronous: after a call returns only the last entry can still be on its way).
std::vector<FCL_VENDOR_CMD> commandsSince(sim::CommandLog& log, std::size_t from) {
  std::size_t n = log.size();
  while (log.waitForCount(n + 1, std::chrono::milliseconds(50))) n = log.size();
  std::vector<FCL_VENDOR_CMD> cmds;
  const std::vector<sim::LoggedCommand> entries = log.entries();
  for (std::size_t i = from; i < entries.size(); ++i) cmds.push_back(entries[i].cmd);
  return cmds;
}

bool isWrite(const FCL_VENDOR_CMD& c) { return c.byOPCode == FOP_WRITE || c.byOPCode == FOP_WRITE2; }

// The source-list node titled with the text of `titleKey`.
QModelIndex node(ViewController& vc, const char* titleKey) {
  QAbstractItemModel* model = vc.sourceListView()->model();
  const QModelIndexList found =
      model->match(model->index(0, 0), Qt::DisplayRole, platform::Localizer::text(QString::fromLatin1(titleKey)), 1,
                   Qt::MatchExactly | Qt::MatchRecursive);
  return found.size() == 1 ? found.front() : QModelIndex();
}

QString shown(ViewController& vc) {
  const auto views = vc.containerViews();
  return views.size() == 1 ? views.front()->objectName() : QString();
}

void BM_PageSwitch(benchmark::State& state, const pages::PageInfo& to) {
  Simulator sim;
  NoDialogs dialogs;
  ScopedDialogs scopedDialogs(&dialogs);
  ViewController vc(PageFactory::standard());
  vc.setTerminateHandler([] {});
  vc.setupInfo("127.0.0.1", "BNT", "Zerelta QMX-7315W", "Wired LAN", "UUID-1", "TWAIN-1");
  vc.show();
  settle();

  const QModelIndex general = node(vc, pages::kGeneralSetupTitle);
  const QModelIndex target = node(vc, to.titleKey);
  PageController* page = vc.page(QString::fromLatin1(to.storyboardId));
  const QString targetId = QString::fromLatin1(to.viewId);
  if (!general.isValid() || !target.isValid() || page == nullptr || shown(vc) != pages::kGeneralSetupView) {
    state.SkipWithError("the window did not open on the general setup page with the page listed");
    return;
  }

  // A first switch, to learn its commands: the checks' two, then whatever the page needs.
  const std::size_t mark = sim.scanner.log().size();
  vc.clickedItem(target);
  settle();
  const std::vector<FCL_VENDOR_CMD> cmds = commandsSince(sim.scanner.log(), mark);
  vc.clickedItem(general);
  settle();
  if (dialogs.alerts != 0 || shown(vc) != pages::kGeneralSetupView || cmds.size() < 2) {
    state.SkipWithError("the first switch showed an alert or did not switch");
    return;
  }
  for (const FCL_VENDOR_CMD& c : cmds) {
    if (isWrite(c)) {
      state.SkipWithError("the switch wrote to the scanner although nothing changed");
      return;
    }
  }
  sim.scanner.log().setCapacity(0);  // the address book's replies would pile up
  const std::vector<FCL_VENDOR_CMD> further(cmds.begin() + 2, cmds.end());

  bench::BareScanner bare;
  uint32_t longest = 0;
  for (const FCL_VENDOR_CMD& c : cmds) longest = std::max(longest, c.dwDataLength);
  std::vector<uint8_t> oursData(longest + 1);
  std::vector<uint8_t> floorData(longest + 1);
  IOWrapper& io = vc.io();

  const auto ours = [&] {
    bool ok = true;
    const bench::Seconds s = bench::timed([&] {
      ok = vc.postSettingProc(true, false);
      for (const FCL_VENDOR_CMD& c : further) {
        io.setVendorCmd(c.byOPCode, c.byDTC, c.wDTQ, c.dwDataLength);
        ok = io.execute(oursData.data()) && ok;
      }
    });
    if (!ok) state.SkipWithError("the checks or an exchange failed");
    return s;
  };
  const auto floor = [&] {
    bool ok = true;
    const bench::Seconds s = bench::timed([&] {
      for (const FCL_VENDOR_CMD& c : cmds) ok = bench::floorExchange(bare.port, c, floorData.data(), c.dwDataLength) && ok;
    });
    if (!ok) state.SkipWithError("floor exchange failed");
    return s;
  };
  // The bare client against the simulator: splits ours/floor into our client's share and the
  // simulator's.
  const auto bareClient = [&] {
    bool ok = true;
    const bench::Seconds s = bench::timed([&] {
      for (const FCL_VENDOR_CMD& c : cmds)
        ok = bench::floorExchange(sim.scanner.port(), c, floorData.data(), c.dwDataLength) && ok;
    });
    if (!ok) state.SkipWithError("bare exchange with the simulator failed");
    return s;
  };
  const auto switchAndFill = [&](bench::Samples& samples) {
    // The share of the checks that sends nothing (the page's own error and change checks).
    samples.add("pagechecks", bench::timed([&] {
                  vc.isDataError();
                  vc.isDataChanged();
                }));
    samples.add("switch", bench::timed([&] {
                  vc.clickedItem(target);
                  settle();
                }));
    if (shown(vc) != targetId) state.SkipWithError("the switch did not show the page");
    samples.add("fill", bench::timed([&] {
                  page->setParam(vc.state());
                  vc.displaySubview(page);
                  settle();
                }));
    // Back to the start, outside the timing.
    vc.clickedItem(general);
    settle();
  };

  const bench::Samples samples =
      bench::interleave(state, {{"ours", ours}, {"floor", floor}, {"bareclient", bareClient}}, switchAndFill);
  state.counters["client_ratio"] = samples.ratio("ours", "bareclient");
  state.counters["simulator_ratio"] = samples.ratio("bareclient", "floor");
  if (dialogs.alerts != 0 || vc.isTerminating()) state.SkipWithError("a switch showed an alert");
  state.counters["exchanges"] = static_cast<double>(cmds.size());
  vc.close();
  settle();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  for (const pages::PageInfo& p : pages::kPages) {
    if (QLatin1String(p.viewId) == QLatin1String(pages::kGeneralSetupView)) continue;
    // Only the pages this build has (the window shows nothing for the others).
    if (!PageFactory::standard().isRegistered(QString::fromLatin1(p.storyboardId))) continue;
    benchmark::RegisterBenchmark((std::string("BM_PageSwitch/") + p.viewId).c_str(),
                                 [&p](benchmark::State& s) { BM_PageSwitch(s, p); })
        ->UseManualTime()
        ->Iterations(kSwitchesPerRepetition)
        ->Unit(benchmark::kMicrosecond);
  }
  return bench::runBenchmarks(argc, argv, {{"ratio", 1.3}, {"fill_us", 50000}});
}
