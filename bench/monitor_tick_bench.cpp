// The push-scan monitor's idle tick, and the running monitor's cost over a minute.
//
// BM_IdleTick_Monitor / BM_IdleTick_Floor (interleaved, compare the two): one idle tick of
// AppDelegate (count, list read that holds this computer, event poll with no event) with the
// cycle's sleeps and event-loop slices set to 0, against a bare scanner thread; the floor moves
// the same three exchanges with plain blocking sockets and none of our code. Goal: within 1.3x.
//
// BM_IdleMinute_Program: the program tullet-qmx7315w with its real timings against the
// simulated scanner on loopback for 60 s of idle ticks; reports its resident memory (goal under
// 15 MB) and its CPU time as a share of one core (goal under 1%).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "BareSocketIO.h"
#include "ScannerModel.h"
#include "TcpScanner.h"
#include "monitor/AppDelegate.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "platform/FixedText.h"
#include "platform/PropertyList.h"

namespace {

using namespace monitor;
using bench::noDelay;
using bench::readN;
using bench::writeN;
const char* kPCUUID = "11111111-2222-3333-4444-555555555555";


// A scanner thread that knows only the idle tick: count 1, capacity 10, a list holding this
// computer, no event.
class BareMonitorScanner {
 public:
  BareMonitorScanner() {
    platform::textToField(m_entry.szPCName, QStringLiteral("bench-host"));
    platform::textToField(m_entry.szPCUUID, QString::fromLatin1(kPCUUID));
    m_entry.dwConnectType = kConnectTypeNetwork;
    m_fd = bench::listenOnLoopback(&port);
    m_thread = std::thread([this] { run(); });
  }
  ~BareMonitorScanner() {
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
  }
  uint16_t port = 0;

 private:
  void run() {
    for (;;) {
      const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) return;
      noDelay(c);
      FCL_CMD cmd{};
      monitor::FCL_DEVICE_STATUS status{};
      if (readN(c, &cmd, sizeof cmd) && writeN(c, &status, sizeof status)) {
        std::vector<uint8_t> out(cmd.dwDataLength, 0);
        if (cmd.byDTC == FCLC_RS_PCLIST && cmd.wDTQ == FCLD_RS_PCLIST_CUR_COUNT && out.size() == 4) {
          const int32_t one = 1;
          std::memcpy(out.data(), &one, 4);
        } else if (cmd.byDTC == FCLC_RS_PCLIST && cmd.wDTQ == FCLD_RS_PCLIST_MAX_COUNT && out.size() == 4) {
          const int32_t ten = 10;
          std::memcpy(out.data(), &ten, 4);
        } else if (cmd.byDTC == FCLC_RS_PCLIST && cmd.wDTQ == FCLD_RS_PCLIST_ALL && out.size() >= sizeof m_entry) {
          std::memcpy(out.data(), &m_entry, sizeof m_entry);
        }
        writeN(c, out.data(), out.size());
      }
      ::close(c);
    }
  }
  FCL_RS_PCLIST m_entry{};
  int m_fd = -1;
  std::thread m_thread;
};

bool floorRead(uint16_t port, uint16_t dtc, uint16_t dtq, uint32_t length, std::vector<uint8_t>& data) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  noDelay(fd);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  FCL_CMD cmd{};
  cmd.dwVendorID = monitor::FCL_VENDOR_ID;
  cmd.byOPCode = monitor::FOP_READ;
  cmd.byDTC = static_cast<uint8_t>(dtc);
  cmd.wDTQ = dtq;
  cmd.dwDataLength = length;
  monitor::FCL_DEVICE_STATUS status{};
  data.assign(length, 0);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && writeN(fd, &cmd, sizeof cmd) &&
                  readN(fd, &status, sizeof status) && readN(fd, data.data(), length);
  ::close(fd);
  return ok;
}

struct Home {
  QTemporaryDir dir;
  QString resources() const { return dir.filePath("resources"); }
  Home() {
    QDir().mkpath(resources());
    platform::PropertyList::write(resources() + "/DeviceSetting.plist",
                                  {{"DriverName", "QMX-7315W"}, {"ProductName", "TW-Zerelta QMX-7315W"}});
    const QString prefs = dir.filePath("home/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W");
    QDir().mkpath(prefs);
    platform::PropertyList::write(prefs + "/DeviceSetting.plist",
                                  {{"IPAddress", "127.0.0.1"}, {"UUID", "bench"}, {"PCUUID", kPCUUID}});
  }
};

void BM_IdleTick_Monitor(benchmark::State& state) {
  BareMonitorScanner scanner;
  Home home;
  MonitorTimings t;
  t.port = scanner.port;
  t.idleEventPause = std::chrono::milliseconds(0);
  // The transport's 0.05 s slice stays: it wakes as soon as the socket is ready, it is no sleep.
  const MonitorTimings previous = MonitorTimings::set(t);
  AppDelegate::Environment env;
  env.home = home.dir.filePath("home");
  env.bundlePath = home.dir.filePath("bin/tullet-bench");
  env.resourceDir = home.resources();
  env.autostartDir = home.dir.filePath("autostart");
  env.sessionBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("bench-none-1"));
  env.systemBus = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), QStringLiteral("bench-none-2"));
  env.watchQuitSignals = false;
  env.timings.tick = std::chrono::hours(1);
  env.timings.countFailurePause = env.timings.appCheck = env.timings.rediscoveryPause = std::chrono::milliseconds(0);
  env.scan.hostName = [] { return QStringLiteral("bench-host"); };
  {
    AppDelegate delegate(std::move(env));
    delegate.applicationDidFinishLaunching();
    for (auto _ : state) delegate.circulationMonitor();
    if (delegate.currentCount() != 1) state.SkipWithError("the tick did not read the count");
  }
  MonitorTimings::set(previous);
}

void BM_IdleTick_Floor(benchmark::State& state) {
  BareMonitorScanner scanner;
  std::vector<uint8_t> data;
  for (auto _ : state) {
    bool ok = floorRead(scanner.port, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT, 4, data);
    ok = ok && floorRead(scanner.port, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, sizeof(FCL_RS_PCLIST), data);
    ok = ok && floorRead(scanner.port, FCLC_RS_EVENT_CHECKING, kEventQualifierNetwork, sizeof(FCL_RS_EVENT_INFO), data);
    if (!ok) state.SkipWithError("exchange failed");
  }
}

// Interleaved: monitor, floor, monitor, floor, ...
BENCHMARK(BM_IdleTick_Monitor)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_IdleTick_Floor)->UseRealTime()->Repetitions(3);

long pageKB(const QString& status, const char* key) {
  for (const QString& line : status.split('\n'))
    if (line.startsWith(QLatin1String(key))) return line.section(':', 1).trimmed().section(' ', 0, 0).toLong();
  return -1;
}

void BM_IdleMinute_Program(benchmark::State& state) {
  sim::ScannerModel model;
  sim::TcpScanner scanner(model);
  std::string address;
  for (int n = 200; n < 250 && address.empty(); ++n) {
    const std::string a = "127.0.0." + std::to_string(n);
    if (scanner.start(a)) address = a;
  }
  if (address.empty()) {
    state.SkipWithError("no free loopback address");
    return;
  }
  QTemporaryDir dir;
  const QString prefs = dir.filePath("home/Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W");
  QDir().mkpath(prefs);
  platform::PropertyList::write(prefs + "/DeviceSetting.plist",
                                {{"IPAddress", QString::fromStdString(address)}, {"UUID", "bench"}, {"PCUUID", kPCUUID}});
  for (auto _ : state) {
    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("none"));
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.filePath("none"));
    monitor.setProcessEnvironment(env);
    monitor.start(QStringLiteral(ZR_MONITOR_PROGRAM), {});
    if (!monitor.waitForStarted(10000)) {
      state.SkipWithError("the monitor did not start");
      return;
    }
    const QString proc = QStringLiteral("/proc/%1/").arg(monitor.processId());
    // Past launch, then a minute of idle ticks.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    auto cpuTicks = [&] {
      QFile f(proc + "stat");
      if (!f.open(QIODevice::ReadOnly)) return -1.0;
      const QStringList fields = QString::fromLatin1(f.readAll()).section(')', 1).split(' ', Qt::SkipEmptyParts);
      return fields.value(11).toDouble() + fields.value(12).toDouble();  // utime, stime
    };
    const double before = cpuTicks();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const double after = cpuTicks();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    QFile status(proc + "status");
    status.open(QIODevice::ReadOnly);
    const QString text = QString::fromLatin1(status.readAll());
    state.counters["RSS_MB"] = pageKB(text, "VmRSS") / 1024.0;
    state.counters["CPU_percent_of_core"] = 100.0 * (after - before) / sysconf(_SC_CLK_TCK) / seconds;
    state.counters["PC_list_entries"] = static_cast<double>(model.pcList().size());
    monitor.terminate();
    monitor.waitForFinished(30000);
  }
  scanner.stop();
}
BENCHMARK(BM_IdleMinute_Program)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
