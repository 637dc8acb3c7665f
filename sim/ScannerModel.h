#pragma once
// The simulated scanner's state, shared by every front end (TCP, simulated USB).
//
// Here it is a store of byte records keyed by command class (byDTC) and qualifier (wDTQ): a read
// answers the stored bytes, a write stores them. It also holds the status block every command is
// answered with. All members are thread-safe.
//
// Extending it: a handler installed for one (class, qualifier) takes over that record's commands;
// a subclass can override the four command hooks for wider behaviour (settings block, lock,
// counters). The hooks answer the command's dwLastErr (0 for success); the protocol engine puts
// it into the status block it sends.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "IO/FCLCommand.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

// dwLastErr of a command the simulator does not understand (another vendor ID, an unknown opcode
// or an oversized data phase). A value of the simulator's own.
constexpr uint32_t kErrInvalidCommand = 0x7F01;

class ScannerModel {
 public:
  enum class Kind { Qmx7315w, Qmx7305 };

  // Per-record behaviour; an empty function falls back to the store.
  struct Handler {
    // FOP_INQUIRY / FOP_COMMAND.
    std::function<uint32_t(const FCL_VENDOR_CMD&)> command;
    // FOP_READ: fill `out` (already sized to dwDataLength, zero-filled).
    std::function<uint32_t(const FCL_VENDOR_CMD&, Bytes& out)> read;
    // FOP_WRITE answers its status before the data arrives: this decides that status.
    std::function<uint32_t(const FCL_VENDOR_CMD&)> acceptWrite;
    // FOP_WRITE / FOP_WRITE2: the data that arrived.
    std::function<uint32_t(const FCL_VENDOR_CMD&, const Bytes& in)> write;
  };

  explicit ScannerModel(Kind kind = Kind::Qmx7315w);
  virtual ~ScannerModel() = default;
  ScannerModel(const ScannerModel&) = delete;
  ScannerModel& operator=(const ScannerModel&) = delete;

  Kind kind() const { return m_kind; }
  // "QMX-7315W" or "QMX-7305".
  std::string modelName() const;
  // Parses "qmx7315w" / "qmx7305" (case-insensitive).
  static std::optional<Kind> kindFromName(const std::string& name);

  // The status block answered with every command; a command's own error replaces dwLastErr.
  FCL_DEVICE_STATUS baseStatus() const;
  void setBaseStatus(const FCL_DEVICE_STATUS& status);
  void setFWInfo(uint16_t fwInfo);

  // The record store.
  void setRecord(uint8_t dtc, uint16_t dtq, Bytes bytes);
  std::optional<Bytes> record(uint8_t dtc, uint16_t dtq) const;
  void clearRecords();

  void setHandler(uint8_t dtc, uint16_t dtq, Handler handler);
  void clearHandlers();

  // Command hooks called by the protocol engine, each answering dwLastErr.
  virtual uint32_t command(const FCL_VENDOR_CMD& cmd);
  // The stored record cut or zero-padded to dwDataLength; zeros when nothing is stored.
  virtual uint32_t read(const FCL_VENDOR_CMD& cmd, Bytes& out);
  virtual uint32_t acceptWrite(const FCL_VENDOR_CMD& cmd);
  // Stores the data as the record.
  virtual uint32_t write(const FCL_VENDOR_CMD& cmd, const Bytes& in);

  // The status block to answer a command with, given the command's error.
  virtual FCL_DEVICE_STATUS statusFor(uint32_t lastErr) const;

 protected:
  std::optional<Handler> handlerFor(const FCL_VENDOR_CMD& cmd) const;

  mutable std::mutex m_mutex;

 private:
  using Key = std::pair<uint8_t, uint16_t>;
  const Kind m_kind;
  FCL_DEVICE_STATUS m_status{};
  std::map<Key, Bytes> m_records;
  std::map<Key, Handler> m_handlers;
};

}  // namespace sim
