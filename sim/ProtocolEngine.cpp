#include "ProtocolEngine.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace sim {

// ---------------------------------------------------------------------------------------------
// One exchange: writes and reads with the fault's pieces, pauses and cut-off points applied.

class Exchange {
 public:
  Exchange(ProtocolEngine& engine, Transport& t, const Fault& fault) : m_engine(engine), m_t(t), m_fault(fault) {}

  // Sends `n` bytes in the given pieces. False when the link failed or the fault cut it here.
  bool send(const void* p, std::size_t n, const std::vector<std::size_t>& pieces, std::size_t* sentOut) {
    const auto* bytes = static_cast<const uint8_t*>(p);
    return movePieces(n, pieces, m_fault.closeAfterSent, m_sent, sentOut,
                      [&](std::size_t at, std::size_t len) { return m_t.writeAll(bytes + at, len); });
  }

  // Receives `n` bytes, reading them in the given pieces. False when the link failed or the
  // fault cut it here.
  bool receive(void* p, std::size_t n, const std::vector<std::size_t>& pieces, std::size_t* receivedOut) {
    auto* bytes = static_cast<uint8_t*>(p);
    return movePieces(n, pieces, m_fault.closeAfterReceived, m_received, receivedOut,
                      [&](std::size_t at, std::size_t len) { return m_t.readExact(bytes + at, len); });
  }

  bool peerClosed() { return m_t.peerClosed(); }

  // Reads and drops everything until the peer closes or a stop is requested.
  void hold() {
    // readExact answers false once the peer has gone, also in the middle of a chunk.
    uint8_t sink[256];
    while (!m_engine.stopRequested() && m_t.readExact(sink, sizeof sink)) {
    }
  }

 private:
  // Moves `n` bytes one piece at a time with `move(offset, length)`, pausing between pieces, and
  // stops once `closeAfter` bytes have moved in this direction (`total` counts them across phases).
  template <typename Move>
  bool movePieces(std::size_t n, const std::vector<std::size_t>& pieces, const std::optional<std::size_t>& closeAfter,
                  std::size_t& total, std::size_t* doneOut, Move move) {
    std::size_t done = 0;
    std::size_t piece = 0;
    while (done < n) {
      if (piece > 0 && m_fault.pieceGap.count() > 0 && !m_engine.pause(m_fault.pieceGap)) return false;
      std::size_t len = n - done;
      if (piece < pieces.size()) len = std::min(len, std::max<std::size_t>(pieces[piece], 1));
      ++piece;
      bool cut = false;
      if (closeAfter) {
        const std::size_t allowed = *closeAfter > total ? *closeAfter - total : 0;
        if (len > allowed) {
          len = allowed;
          cut = true;
        }
      }
      if (len > 0 && !move(done, len)) return false;
      done += len;
      total += len;
      if (doneOut) *doneOut = done;
      if (cut) return false;
    }
    return true;
  }

  ProtocolEngine& m_engine;
  Transport& m_t;
  const Fault& m_fault;
  std::size_t m_sent = 0;
  std::size_t m_received = 0;
};

// ---------------------------------------------------------------------------------------------

ProtocolEngine::ProtocolEngine(ScannerModel& model, FaultPlan* faults, CommandLog* log)
    : m_model(model), m_faults(faults), m_log(log) {}

void ProtocolEngine::requestStop() {
  {
    std::lock_guard lock(m_pauseMutex);
    m_stop = true;
  }
  m_pauseWake.notify_all();
}

void ProtocolEngine::resetStop() {
  std::lock_guard lock(m_pauseMutex);
  m_stop = false;
}

bool ProtocolEngine::pause(std::chrono::milliseconds d) {
  if (d.count() <= 0) return !m_stop;
  std::unique_lock lock(m_pauseMutex);
  return !m_pauseWake.wait_for(lock, d, [this] { return m_stop.load(); });
}

namespace {
bool isKnownOpcode(uint8_t op) {
  return op == FOP_INQUIRY || op == FOP_COMMAND || op == FOP_READ || op == FOP_WRITE || op == FOP_WRITE2;
}
bool hasDataPhase(uint8_t op) { return op == FOP_READ || op == FOP_WRITE || op == FOP_WRITE2; }
}  // namespace

bool ProtocolEngine::serveOne(Transport& t) {
  LoggedCommand entry;
  if (!t.readExact(&entry.cmd, sizeof entry.cmd)) return false;
  const FCL_VENDOR_CMD& cmd = entry.cmd;

  const Fault fault = (m_faults ? m_faults->take(cmd) : std::nullopt).value_or(Fault{});
  Exchange ex(*this, t, fault);
  auto finish = [&](bool completed) {
    entry.completed = completed;
    if (m_log) m_log->append(std::move(entry));
    return completed && !m_stop;
  };

  if (fault.silent) {
    ex.hold();
    return finish(false);
  }

  auto sendStatus = [&](uint32_t lastErr) {
    FCL_DEVICE_STATUS status = m_model.statusFor(lastErr);
    if (fault.lastErr) status.dwLastErr = *fault.lastErr;
    if (fault.fwInfo) status.wFWInfo = *fault.fwInfo;
    if (!pause(fault.delayStatus)) return false;
    entry.status = status;
    entry.statusSent = true;
    return ex.send(&status, sizeof status, fault.statusPieces, nullptr);
  };

  const bool valid = cmd.dwVendorID == FCL_VENDOR_ID && isKnownOpcode(cmd.byOPCode) &&
                     !(hasDataPhase(cmd.byOPCode) && cmd.dwDataLength > kMaxDataLength);
  if (!valid) return finish(sendStatus(kErrInvalidCommand));

  // A fault that refuses the command (a non-zero dwLastErr) refuses it as a scanner does: the
  // command changes nothing, and a refused read sends zeros in its data phase.
  const bool refused = fault.lastErr.has_value() && *fault.lastErr != 0;
  const std::size_t length = cmd.dwDataLength;
  switch (cmd.byOPCode) {
    case FOP_INQUIRY:
    case FOP_COMMAND:
      return finish(sendStatus(refused ? 0 : m_model.command(cmd)));

    case FOP_READ: {
      Bytes out(length, 0);
      // Over the network the scanner may hold the event read's data until the button is pressed.
      const bool held = !refused && cmd.byDTC == monitor::FCLC_RS_EVENT_CHECKING &&
                        cmd.wDTQ == monitor::kEventQualifierNetwork && m_model.eventHold().count() > 0;
      const uint32_t err = (refused || held) ? 0 : m_model.read(cmd, out);
      if (!sendStatus(err)) return finish(false);
      if (held) {
        const auto until = std::chrono::steady_clock::now() + m_model.eventHold();
        while (!m_model.eventPending() && std::chrono::steady_clock::now() < until) {
          if (!pause(kEventHoldStep) || ex.peerClosed()) return finish(false);
        }
        m_model.read(cmd, out);
      }
      if (fault.wholePCList && cmd.byDTC == monitor::FCLC_RS_PCLIST && cmd.wDTQ == monitor::FCLD_RS_PCLIST_ALL) {
        out.clear();
        for (const auto& e : m_model.pcList()) {
          const auto* b = reinterpret_cast<const uint8_t*>(&e);
          out.insert(out.end(), b, b + sizeof e);
        }
      }
      if (!pause(fault.delayData)) return finish(false);
      std::size_t sent = 0;
      const bool ok = ex.send(out.data(), out.size(), fault.dataPieces, &sent);
      entry.dataOut.assign(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(sent));
      return finish(ok);
    }

    case FOP_WRITE: {
      if (!sendStatus(m_model.acceptWrite(cmd))) return finish(false);
      if (!pause(fault.delayData)) return finish(false);
      entry.dataIn.assign(length, 0);
      std::size_t got = 0;
      const bool ok = ex.receive(entry.dataIn.data(), length, fault.dataPieces, &got);
      entry.dataIn.resize(got);
      if (!ok) return finish(false);
      if (!refused) m_model.write(cmd, entry.dataIn);  // the status already went out: its result has no say
      return finish(true);
    }

    case FOP_WRITE2: {
      if (!pause(fault.delayData)) return finish(false);
      entry.dataIn.assign(length, 0);
      std::size_t got = 0;
      const bool ok = ex.receive(entry.dataIn.data(), length, fault.dataPieces, &got);
      entry.dataIn.resize(got);
      if (!ok) return finish(false);
      return finish(sendStatus(refused ? 0 : m_model.write(cmd, entry.dataIn)));
    }
  }
  return finish(false);
}

}  // namespace sim
