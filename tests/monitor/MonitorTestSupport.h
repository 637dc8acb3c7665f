#pragma once
// Fixtures of the monitor's tests: the simulated scanner on a loopback address of its own (TCP)
// or behind the fake USB host, the monitor's waits made short, the blocking pauses recorded,
// a watchdog, and the user's device file in a temporary HOME.
#include <QCoreApplication>
#include <QString>
#include <QVariantMap>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CommandLog.h"
#include "FaultPlan.h"
#include "ScannerModel.h"
#include "TcpScanner.h"
#include "UsbScanner.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "platform/usb/FakeUsbHost.h"

// The simulated scanner on 127.0.0.N:5566, N unique among the test programs running at once.
class MonitorSim {
 public:
  MonitorSim();
  ~MonitorSim() { m_scanner->stop(); }
  QString address() const { return QString::fromStdString(m_scanner->address()); }
  sim::TcpScanner& scanner() { return *m_scanner; }
  sim::ScannerModel& model() { return *m_model; }
  sim::FaultPlan& faults() { return m_scanner->faults(); }
  sim::CommandLog& log() { return m_scanner->log(); }

 private:
  std::unique_ptr<sim::ScannerModel> m_model;
  std::unique_ptr<sim::TcpScanner> m_scanner;
};

// A loopback address on which nothing listens (a connect is refused at once).
QString unusedLoopbackAddress();

// A listener on a loopback address of its own whose accept queue is full: a connect to it gets
// no answer, as one to a scanner that is switched off does.
class FullListener {
 public:
  FullListener();
  ~FullListener();
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;
  QString address() const { return m_address; }

 private:
  QString m_address;
  int m_listener = -1;
  std::vector<int> m_fillers;
};

// The simulated scanner as a USB device of a fake host installed for the fixture's lifetime.
class MonitorUsbSim {
 public:
  static constexpr uint16_t kVendor = 0x1209;
  static constexpr uint16_t kProduct = 0x0001;
  MonitorUsbSim();
  ~MonitorUsbSim();
  platform::FakeUsbHost& host() { return m_host; }
  sim::ScannerModel& model() { return m_model; }
  sim::FaultPlan& faults() { return m_faults; }
  sim::CommandLog& log() { return m_log; }

 private:
  sim::ScannerModel m_model;
  sim::FaultPlan m_faults;
  sim::CommandLog m_log;
  std::shared_ptr<sim::UsbScanner> m_scanner;
  platform::FakeUsbHost m_host;
  platform::UsbHost* m_previous = nullptr;
};

// Short waits for the fixture's lifetime, and the pauses recorded instead of taken (with
// Pauses::Take they are taken as the monitor takes them).
class ScopedMonitorTimings {
 public:
  enum class Pauses { Record, Take };
  explicit ScopedMonitorTimings(const MonitorTimings& t, Pauses pauses = Pauses::Record)
      : m_previous(MonitorTimings::set(t)) {
    MonitorTimings::PauseFunction record;
    if (pauses == Pauses::Record)
      record = [this](std::chrono::milliseconds d) {
        std::lock_guard lock(m_mutex);
        m_pauses.push_back(d);
      };
    m_previousPause = MonitorTimings::setPauseFunction(std::move(record));
  }
  ~ScopedMonitorTimings() {
    MonitorTimings::setPauseFunction(m_previousPause);
    MonitorTimings::set(m_previous);
  }
  std::vector<std::chrono::milliseconds> pauses() const {
    std::lock_guard lock(m_mutex);
    return m_pauses;
  }
  void clearPauses() {
    std::lock_guard lock(m_mutex);
    m_pauses.clear();
  }
  // Every limit of a few hundred milliseconds; pauses keep their defaults (they are recorded).
  static MonitorTimings quick() {
    MonitorTimings t;
    t.connect = t.exchange = t.eventExchange = std::chrono::milliseconds(3000);
    t.discoveryWait = std::chrono::milliseconds(3000);
    t.searchTimeout = t.resolveTimeout = std::chrono::milliseconds(300);
    return t;
  }

 private:
  MonitorTimings m_previous;
  MonitorTimings::PauseFunction m_previousPause;
  mutable std::mutex m_mutex;
  std::vector<std::chrono::milliseconds> m_pauses;
};

// Ends the test program with a message when a call it guards has not returned in time: a
// failure that hangs is reported as a hang, not as a time-out of the whole program.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit, const char* what = "a monitor operation");
  ~Watchdog();

 private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_done = false;
  std::thread m_thread;
};

// A fault of the simulated scanner, set up by `set` (matching every command unless it says).
inline sim::Fault fault(const std::function<void(sim::Fault&)>& set) {
  sim::Fault f;
  set(f);
  return f;
}

// Open descriptors of this process.
int openDescriptors();
// openDescriptors() once it equals `expected`, or after 2 s whatever it is then.
int openDescriptorsSettled(int expected);

// Writes `map` as the device file at `path` (folders created).
void writeDeviceFile(const QString& path, const QVariantMap& map);
QVariantMap readDeviceFile(const QString& path);

// The command blocks the simulator received, in order, as (opcode, class, qualifier, length).
struct SeenCommand {
  uint8_t opcode;
  uint8_t dtc;
  uint16_t dtq;
  uint32_t length;
  bool operator==(const SeenCommand&) const = default;
};
std::vector<SeenCommand> seenCommands(const sim::CommandLog& log);
void PrintTo(const SeenCommand& c, std::ostream* os);
