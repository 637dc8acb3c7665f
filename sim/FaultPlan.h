#pragma once
// Misbehaviour a test asks of the simulated scanner, command by command.
//
// A Fault matches commands by opcode, class and qualifier (each optional; a fault without any
// matcher takes the next command) and applies to the next `count` matching commands (-1: every
// one). The first matching fault in the order they were added wins. Thread-safe.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "IO/FCLCommand.h"

namespace sim {

struct Fault {
  // --- which commands
  std::optional<uint8_t> opcode;
  std::optional<uint8_t> dtc;
  std::optional<uint16_t> dtq;
  int count = 1;  // matching commands it applies to; -1 for all
  // Once it has matched, it takes every later command too, whatever it is (and `count` no longer
  // counts): a scanner that stopped answering at that command.
  bool fromThenOn = false;

  // --- what happens
  // Answer with these in the status block (whatever the model says).
  std::optional<uint32_t> lastErr;
  std::optional<uint16_t> fwInfo;
  // Read the command, then answer nothing and hold the connection until the peer closes it or
  // the front end stops.
  bool silent = false;
  // Close the connection once this many bytes of the answer (status and data, in the order sent)
  // have gone out.
  std::optional<std::size_t> closeAfterSent;
  // Close the connection once this many bytes of an incoming data phase have arrived.
  std::optional<std::size_t> closeAfterReceived;
  // Send the status / move the data phase in pieces of these sizes (the rest in one last piece);
  // for incoming data the pieces are how the scanner reads it. `pieceGap` passes between pieces.
  std::vector<std::size_t> statusPieces;
  std::vector<std::size_t> dataPieces;
  std::chrono::milliseconds pieceGap{0};
  // A read of the whole PC list sends every entry of the list, whatever length was asked for
  // (the data phase is then longer, or shorter, than the command block says).
  bool wholePCList = false;
  // Pauses before the status phase and before the data phase.
  std::chrono::milliseconds delayStatus{0};
  std::chrono::milliseconds delayData{0};

  bool matches(const FCL_VENDOR_CMD& cmd) const;
};

class FaultPlan {
 public:
  void add(Fault fault);
  void clear();
  // The fault for this command, if any (and counts it as used).
  std::optional<Fault> take(const FCL_VENDOR_CMD& cmd);
  bool empty() const;

 private:
  mutable std::mutex m_mutex;
  std::deque<Fault> m_faults;
};

}  // namespace sim
