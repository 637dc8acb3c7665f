#pragma once
// The scanner's side of the command exchange, independent of the link that carries it.
//
// serveOne() reads one 16-byte command block from the transport and runs the phases its opcode
// fixes, answering from the ScannerModel:
//
//   FOP_INQUIRY, FOP_COMMAND  command, status
//   FOP_READ                  command, status, data to the host
//   FOP_WRITE                 command, status, data from the host
//   FOP_WRITE2                command, data from the host, status
//
// A block with another vendor ID, an unknown opcode or a data phase above kMaxDataLength is
// answered with a status whose dwLastErr is kErrInvalidCommand, and no data phase. Before the
// phases run, the fault plan (if any) may change how they go; every command ends up in the
// command log (if any). An event read over the network waits first while the model holds it
// (ScannerModel::setEventHold).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "CommandLog.h"
#include "FaultPlan.h"
#include "ScannerModel.h"
#include "Transport.h"

namespace sim {

class ProtocolEngine {
 public:
  // How often a held event read looks for a press of the scan button.
  static constexpr std::chrono::milliseconds kEventHoldStep{10};
  // The largest data phase the simulator accepts (the scanner's records are far smaller).
  static constexpr uint32_t kMaxDataLength = 16u * 1024u * 1024u;

  explicit ProtocolEngine(ScannerModel& model, FaultPlan* faults = nullptr, CommandLog* log = nullptr);

  // Serves one exchange. True when it ran in full and the stream can carry the next command;
  // false when the stream ended or failed, a fault cut the exchange, or a stop was requested:
  // the front end then drops the link.
  bool serveOne(Transport& t);

  // Wakes every pause of a running exchange and makes it end; holds until resetStop().
  void requestStop();
  void resetStop();
  bool stopRequested() const { return m_stop.load(); }

  ScannerModel& model() { return m_model; }

 private:
  friend class Exchange;
  // Sleeps `d`; false when a stop was requested first.
  bool pause(std::chrono::milliseconds d);

  ScannerModel& m_model;
  FaultPlan* m_faults;
  CommandLog* m_log;
  std::atomic<bool> m_stop{false};
  std::mutex m_pauseMutex;
  std::condition_variable m_pauseWake;
};

}  // namespace sim
