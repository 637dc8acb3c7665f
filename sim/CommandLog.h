#pragma once
// Every command the simulated scanner received, with its data, for tests to assert on.
// Thread-safe; an entry is added when the scanner has finished with the command (answered it,
// or given up on it), so a test waits for the entries it expects with waitForCount().
// It keeps the last capacity() entries (a long run would otherwise keep every byte it was sent).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IO/FCLCommand.h"
#include "ScannerModel.h"

namespace sim {

struct LoggedCommand {
  FCL_VENDOR_CMD cmd{};
  FCL_DEVICE_STATUS status{};  // the status block answered (zeros when none was sent)
  bool statusSent = false;
  Bytes dataIn;   // data that arrived from the host (FOP_WRITE, FOP_WRITE2), as much as arrived
  Bytes dataOut;  // data answered to the host (FOP_READ), as much as went out
  bool completed = false;  // every phase ran in full
};

// One line for a person watching the simulator: "opcode 0x28 (READ) class 0x9D qualifier 4
// length 4", then " (incomplete)" when a phase did not run in full. The simulator programs print
// it for each command; scripts/demo-monitor reads it.
std::string describe(const LoggedCommand& entry);

class CommandLog {
 public:
  static constexpr std::size_t kDefaultCapacity = 1024;

  void append(LoggedCommand entry);
  std::vector<LoggedCommand> entries() const;
  std::size_t size() const;
  void clear();
  // Waits until at least `n` entries are there; false when `timeout` passed first.
  bool waitForCount(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // Called (on the scanner's thread) with every new entry.
  void setListener(std::function<void(const LoggedCommand&)> listener);
  void setCapacity(std::size_t capacity);
  std::size_t capacity() const;

 private:
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::deque<LoggedCommand> m_entries;
  std::size_t m_capacity = kDefaultCapacity;
  std::function<void(const LoggedCommand&)> m_listener;
};

}  // namespace sim
