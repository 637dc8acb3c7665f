#pragma once
// The simulated scanner's state, shared by every front end (TCP, simulated USB).
//
// At its base it is a store of byte records keyed by command class (byDTC) and qualifier (wDTQ):
// a read answers the stored bytes, a write stores them. It also holds the status block every
// command is answered with. All members are thread-safe (the TCP front end serves on a thread of
// its own while a test looks on).
//
// On top of the store it behaves as a scanner of its model (Kind), filled at construction with
// the content of sim/ScannerContent.h:
//
// - Settings block (FCLC_RS_PARAM / FCLD_RS_PARAM_ALL, 2584 bytes). The sub-records general (2),
//   file name (4), scan to USB (5), e-mail (6) and PC (7), e-mail server (10) and network
//   settings (11) are windows onto the block at their offsets: writing one splices it in, so the
//   next getParamAll reads it back. The two interface records FCLC_RS_NETWORK 1 and 2 are the
//   block's sWiredLAN and sWirelessLAN, read and written alone. setRecord()/record() of any of
//   these keys splice into / cut from the block too.
// - Lamp (FCLC_LAMP): reads of 2 and 5 answer their stored 16-byte record (bytes 4-7 the sleep
//   time, bytes 12-15 the auto power-off time). Write 2 sets the sleep time from dwCrg1Lamp2,
//   write 5 the auto power-off time from dwCrg2Lamp2, write 6 sets it to 0 (off); each in both
//   records, the other words left as they were.
// - NVRAM (FCLC_NVRAM, qualifier = byte offset): kNvramSize bytes; a range outside them answers
//   kErrOutOfRange, zeros and no change.
// - Lock (FCLC_RS_SCANNER_LOCK): write 1 takes the lock with its 40-byte text, write 2 releases it
//   when the text is the holder's, read 0 answers the holder's text (zeros when free). While the
//   lock is held every status answers wFWInfo 4. A FOP_WRITE's status goes out before its data,
//   so a lock command that arrives while any text holds the lock is answered kErrLockHeld and the
//   text that follows is dropped (over FOP_WRITE2, a holder sending its own text again is
//   answered 0). With setRefuseRemoteSetup(true) a lock command is answered FCLE_FW_REJECT_RS
//   and the lock is not taken.
// - Resets (FCLC_RS_RESET, FOP_COMMAND): 5 restores the factory block (and the lamp times and the
//   language from the factory defaults); 6 sets the count at the last cleaning (NVRAM 64) to the
//   scan count (NVRAM 0); 7 the count at the last roller replacement (NVRAM 68); 8 sets the
//   file-name record's running count dwBALLScanCount to 0.
// - PC clock (FCLC_SYSTEM_TIME 0): the last record received is kept (lastPCTime()).
// - Profiles (FCLC_RS_PROFILE): 0 with 42900 bytes is the whole list; a FOP_WRITE of 1716 bytes
//   with a qualifier 0..24 splices that slot into the list.
// - PC list (FCLC_RS_PCLIST, the push-scan monitor's list of destination computers): read 3 the
//   capacity and read 4 the count (4 bytes each), read 5 the entries (316 bytes each, cut or
//   zero-padded to the length asked for); write 1 adds an entry (one with the same 40 bytes of
//   szPCUUID is replaced in place), answered kErrListFull when the list is full; write 2 removes
//   the entries with the entry's szPCUUID.
// - Scan button (FCLC_RS_EVENT_CHECKING): pressScanButton() leaves a press addressed to one
//   PC-list entry pending; the event read (64 bytes) answers it as event type 2 with the
//   shortcut text and the entry's identifier, and answers type 0 while none is pending. The
//   FOP_COMMAND clears it. With setEventHold(limit), an event read over the network (qualifier
//   60) is held until a press comes or the limit has passed (the protocol engine does the
//   waiting); by default it is answered at once.
// - Monitor clock (FCLC_SYSTEM_TIME 1, 36 bytes): the last one received is kept (lastUTCTime()).
// - Writes to any of these records with another length than the record's are answered
//   kErrBadLength and change nothing. Everything else is the plain store.
//
// Extending it: a handler installed for one (class, qualifier) takes over that record's commands;
// a subclass can override the four command hooks for wider behaviour. The hooks answer the
// command's dwLastErr (0 for success); the protocol engine puts it into the status block it sends.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "IO/FCLCommand.h"
#include "IO/FCLDevice.h"
#include "IO/FCLSettings.h"
#include "ScannerContent.h"
#include "monitor/ScannerUtility/MonitorRecords.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

// dwLastErr of a command the simulator does not understand (another vendor ID, an unknown opcode
// or an oversized data phase). A value of the simulator's own.
constexpr uint32_t kErrInvalidCommand = 0x7F01;
// dwLastErr of a lock command while another text holds the lock, and of an unlock with a text
// that does not hold it (the simulator's own value).
constexpr uint32_t kErrLockHeld = 0x7F02;
// dwLastErr of an NVRAM range beyond the NVRAM, or a profile slot above 24 (the simulator's own).
constexpr uint32_t kErrOutOfRange = 0x7F03;
// dwLastErr of a write to a known record with a length other than the record's (the simulator's own).
constexpr uint32_t kErrBadLength = 0x7F04;
// dwLastErr of a PC-list add while the list is full (the simulator's own).
constexpr uint32_t kErrListFull = 0x7F05;
// The PC list's capacity of a new scanner.
constexpr uint32_t kDefaultPCListCapacity = 10;

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

  // Command hooks called by the protocol engine, each answering dwLastErr.
  virtual uint32_t command(const FCL_VENDOR_CMD& cmd);
  // The stored record cut or zero-padded to dwDataLength; zeros when nothing is stored.
  virtual uint32_t read(const FCL_VENDOR_CMD& cmd, Bytes& out);
  virtual uint32_t acceptWrite(const FCL_VENDOR_CMD& cmd);
  // Stores the data as the record.
  virtual uint32_t write(const FCL_VENDOR_CMD& cmd, const Bytes& in);

  // The status block to answer a command with, given the command's error; wFWInfo is 4 while
  // the lock is held.
  virtual FCL_DEVICE_STATUS statusFor(uint32_t lastErr) const;

  // ---- The scanner's content, for tests (each a copy taken under the lock) -------------------
  // Puts the content of a new scanner of this model back (records, NVRAM, key lists), frees
  // the lock and forgets the PC clock. The constructor does this.
  void loadFactoryContent();

  FCL_RS_PARAM_ALL paramAll() const;
  void setParamAll(const FCL_RS_PARAM_ALL& block);
  // What a factory reset puts into the block.
  FCL_RS_PARAM_ALL factoryParamAll() const;
  FCL_RS_ADDRESS_BOOK addressBook() const;  // 114036 bytes: keep it off small stacks
  void setAddressBook(const FCL_RS_ADDRESS_BOOK& book);
  FCL_RS_PROFILE_ALL profiles() const;
  void setProfiles(const FCL_RS_PROFILE_ALL& profiles);
  uint8_t language() const;
  void setLanguage(uint8_t language);

  // Sleep time (dwCrg1Lamp2 of lamp record 2) and auto power-off time (dwCrg2Lamp2 of record 5).
  uint32_t sleepTime() const;
  uint32_t autoPowerOffTime() const;

  // NVRAM bytes; out-of-range parts are left out / read as nothing.
  Bytes nvram(std::size_t offset, std::size_t length) const;
  void setNvram(std::size_t offset, const Bytes& bytes);
  uint32_t nvramWord(std::size_t offset) const;  // 4 bytes, little-endian
  void setNvramWord(std::size_t offset, uint32_t value);

  // The serial number: the identifying text the scanner reports as its vendor string (NVRAM 104,
  // a 24-byte field ending with a NUL), which an announcement of the scanner carries.
  static constexpr std::size_t kMaxSerialLength = 23;
  std::string serial() const;
  // False, and no change, unless `serial` has 1 to kMaxSerialLength bytes.
  bool setSerial(const std::string& serial);
  // The serial a simulator serving at `address` (dotted IPv4) takes unless it is given one: the
  // model's prefix and the address's four bytes in three digits each ("ZRQ7315W-A127000000005"),
  // so simulators at different addresses have different serials. An address that is not dotted
  // IPv4 gives the factory serial.
  static std::string serialForAddress(Kind kind, const std::string& address);

  // Replaces a key list (count and entries as the scanner answers them).
  void setSftpClientKeys(const std::vector<std::string>& names);
  void setSftpServerKeys(const std::vector<std::string>& names);

  // ---- Lock ----------------------------------------------------------------------------------
  bool isLocked() const;
  // The holder's 40 bytes; zeros when free.
  FCL_LOCK_TEXT lockHolder() const;
  // The holder's text (up to the first NUL); "" when free.
  std::string lockHolderText() const;
  // Takes the lock for `text` (as another client would), or frees it with an empty text.
  void forceLock(const std::string& text);
  // The scanner refuses remote setup: lock commands answer FCLE_FW_REJECT_RS and take nothing.
  void setRefuseRemoteSetup(bool refuse);

  // The last PC clock record received; none until one arrived.
  std::optional<FCL_PC_TIME> lastPCTime() const;

  // ---- PC list, scan button and monitor clock --------------------------------------------------
  uint32_t pcListCapacity() const;
  void setPCListCapacity(uint32_t capacity);
  std::vector<monitor::FCL_RS_PCLIST> pcList() const;
  void setPCList(std::vector<monitor::FCL_RS_PCLIST> entries);
  // A PC-list entry with these texts (cut to their fields) and connection type.
  static monitor::FCL_RS_PCLIST pcEntry(const std::string& name, const std::string& pcuuid,
                                        uint32_t connectType = monitor::kConnectTypeNetwork);

  // A press of the scan button for one PC-list entry: by the identifier text of its szPCUUID, by
  // its index, or (no argument) the entry added last. False, and nothing pending, when there is
  // no such entry. The press stays pending until an event clear.
  bool pressScanButton(const std::string& pcuuid, const std::string& shortcut = "SCAN");
  bool pressScanButtonAt(std::size_t index, const std::string& shortcut = "SCAN");
  bool pressScanButton();
  // The event read's answer now (type 2 for a pending press, else 0).
  monitor::FCL_RS_EVENT_INFO pendingEvent() const;
  bool eventPending() const;
  // How long an event read over the network waits for a press; 0 (the default): not at all.
  void setEventHold(std::chrono::milliseconds limit);
  std::chrono::milliseconds eventHold() const;
  // The last monitor clock received; none until one arrived.
  std::optional<monitor::FCL_SYSTEM_TIME_UTC_DATA> lastUTCTime() const;

 protected:
  std::optional<Handler> handlerFor(const FCL_VENDOR_CMD& cmd) const;

  mutable std::mutex m_mutex;

 private:
  using Key = std::pair<uint8_t, uint16_t>;
  const Kind m_kind;
  FCL_DEVICE_STATUS m_status{};
  std::map<Key, Bytes> m_records;
  std::map<Key, Handler> m_handlers;

  // The scanner's own behaviour, called with m_mutex held.
  uint32_t scannerCommandLocked(const FCL_VENDOR_CMD& cmd);
  bool scannerReadLocked(const FCL_VENDOR_CMD& cmd, Bytes& out, uint32_t* err);
  uint32_t scannerAcceptWriteLocked(const FCL_VENDOR_CMD& cmd) const;
  bool scannerWriteLocked(const FCL_VENDOR_CMD& cmd, const Bytes& in, uint32_t* err);
  Bytes& blockLocked();
  void setLampWordLocked(std::size_t offset, uint32_t value);
  uint32_t lockWriteLocked(uint16_t dtq, const Bytes& in, bool afterData);

  Bytes m_nvram;
  Bytes m_factoryBlock;
  FCL_RS_FACTORY_DEFSETTING m_factoryDefaults{};
  std::optional<FCL_LOCK_TEXT> m_lock;
  bool m_refuseRemoteSetup = false;
  std::optional<FCL_PC_TIME> m_lastPCTime;

  uint32_t m_pcCapacity = kDefaultPCListCapacity;
  std::vector<monitor::FCL_RS_PCLIST> m_pcList;
  std::optional<std::array<char, 40>> m_lastAdded;  // szPCUUID of the entry added last
  std::optional<monitor::FCL_RS_EVENT_INFO> m_press;
  std::chrono::milliseconds m_eventHold{0};
  std::optional<monitor::FCL_SYSTEM_TIME_UTC_DATA> m_lastUTCTime;
  bool pressLocked(const monitor::FCL_RS_PCLIST& entry, const std::string& shortcut);
};

}  // namespace sim
