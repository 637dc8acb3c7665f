#pragma once
// The command layer: one object per window controller that talks to the scanner.
//
// IOWrapper owns one TCP transport (SocketWrapper) and one USB transport (Wraper) and runs each
// command exchange on the one chosen by the way the scanner was opened (bUSB). An exchange is
// built with setVendorCmd and run with execute; the opcode alone fixes its phases:
//
//   FOP_INQUIRY, FOP_COMMAND  command, status
//   FOP_READ                  command, status, data from the scanner
//   FOP_WRITE                 command, status, data to the scanner
//   FOP_WRITE2                command, data to the scanner, status
//
// Result convention: true means every phase moved its full byte count. The status block is never
// judged here: a scanner that refuses a command still yields true, and the caller reads
// lastError() (dwLastErr) or status() and decides. After a failed exchange status() holds zeros
// or the part of the reply that arrived.
//
// Trace: entry and successful exit of every operation at debug level 0x20, errors at 0x02, with
// the operation's name in the form "-[IOWrapper name:]".
//
// Device operations (reads and writes of the scanner's records) are further methods of this class,
// each one setVendorCmd + execute pair (or a fixed sequence of them); they live in their own source
// files beside IOWrapper.cpp, which holds the exchange layer.
//
// Not thread-safe: exchanges on one object run strictly one after another.

#include <QString>
#include <cstdint>
#include <memory>

#include <QStringList>
#include <chrono>
#include <functional>
#include <optional>

#include "IO/CommandOutcome.h"
#include "IO/FCLCodes.h"
#include "IO/FCLCommand.h"
#include "IO/FCLRecords.h"

class SocketWrapper;
class Utilities;
class Wraper;

class IOWrapper {
 public:
  // init: new transports, bUSB true, bOpen false, ip "", cmd and status zeroed. Connects nothing.
  explicit IOWrapper(Utilities& ut);
  IOWrapper();  // with Utilities::sharedInstance()
  ~IOWrapper();
  IOWrapper(const IOWrapper&) = delete;
  IOWrapper& operator=(const IOWrapper&) = delete;

  // -------------------------------------------------------------------------------------------
  // Opening and closing

  // "" opens USB (network model first, then the USB-only model): bOpen = the open succeeded.
  // An address selects TCP and only records it (each exchange connects anew): bOpen = true.
  // Answers bOpen.
  bool openScanner(const QString& ip);
  // USB with one product ID only (network model / USB-only model); bOpen is left as it was.
  bool openUSBScannerBNT();
  bool openUSBScannerB();
  // Closes the USB connection; bOpen is left as it was.
  bool closeUSBScanner();
  // Closes the USB connection (a TCP connection never outlives its exchange), bOpen = false.
  // True iff the USB close succeeded, so false for an object opened over TCP only.
  bool closeScanner();
  // bOpen, except that a USB device closed by a transfer time-out (Wraper::deviceLost) is not open.
  bool isOpen() const;
  void resetIP();
  // The USB control-pipe lock and unlock: true iff the scanner granted the request. False without
  // an open USB connection, and always for a scanner opened over TCP.
  bool CtrlPipeLockScanner();
  bool CtrlPipeUnlockScanner();

  // -------------------------------------------------------------------------------------------
  // The exchange

  // Zeroes cmd and status, then fills the command block (vendor ID, opcode, class, qualifier,
  // data length).
  void setVendorCmd(uint8_t opcode, uint8_t dtc, uint16_t dtq, uint32_t length);
  // Runs the exchange described by cmd on `data` (read into or written from; at least
  // dwDataLength bytes; unused by FOP_INQUIRY and FOP_COMMAND). True iff every phase completed;
  // an unknown opcode fails without touching the transports.
  bool execute(void* data = nullptr);
  // dwLastErr of the last exchange's status block.
  uint32_t lastError() const;

  // -------------------------------------------------------------------------------------------
  // The scanner's verdict (CommandOutcome.h)

  // Runs `step` (any device operations of this object; answers whether it completed) and answers
  // the verdict on every exchange it ran: Failed when `step` answered false or a transfer broke
  // off, ShortStatus when a status phase brought fewer than 32 bytes, Refused with the first
  // non-zero dwLastErr, otherwise Accepted. The first problem wins. Steps nest: an outer step
  // sees the problems of the inner ones. Use it wherever the user is told what happened:
  //
  //   const CommandOutcome saved = io.judge([&] { return io.setGeneral(&general); });
  CommandOutcome judge(const std::function<bool()>& step);
  // judge(step) with every wait of the transports (connect, send, receive, data phase, bulk
  // transfer) limited to at most `limit`; the connection's own limits are back afterwards.
  CommandOutcome judgeWithin(std::chrono::milliseconds limit, const std::function<bool()>& step);
  // Bytes the last exchange's status phase delivered (32 when complete).
  uint32_t lastStatusBytes() const { return m_statusBytes; }

  // -------------------------------------------------------------------------------------------
  // State for the device operations and their callers

  const FCL_VENDOR_CMD& cmd() const { return m_cmd; }
  const FCL_DEVICE_STATUS& status() const { return m_status; }
  // The UUID text of the last lock taken by this object ("" until then).
  const QString& uuid() const { return m_uuid; }
  void setUuid(const QString& uuid) { m_uuid = uuid; }
  bool bUSB() const { return m_bUSB; }
  const QString& ip() const { return m_ip; }
  SocketWrapper& socketWrapper() { return *m_socketWrapper; }
  Wraper& usbWrapper() { return *m_usbWrapper; }
  Utilities& ut() const { return m_ut; }

  // -------------------------------------------------------------------------------------------
  // Device operations (IOWrapperOperations.cpp). Each answers whether its exchanges completed;
  // the status block is not judged (read lastError() or getDeviceStatus()). Reads fill the
  // caller's record in place, so a failed read may leave part of a reply there.

  bool getParamAll(FCL_RS_PARAM_ALL* param);
  bool setParamAll(const FCL_RS_PARAM_ALL* param);
  bool setGeneral(const FCL_RS_PARAM_GENERAL* general);
  bool setFilename(const FCL_RS_PARAM_FILENAME* filename);
  bool setScan2USB(const FCL_RS_PARAM_SCANPROFILE* profile);
  bool setScan2Email(const FCL_RS_PARAM_SCANPROFILE* profile);
  bool setScan2PC(const FCL_RS_PARAM_SCANPROFILE* profile);
  bool setEmail(const FCL_RS_PARAM_EMAIL* email);
  bool setNetSetting(const FCL_RS_PARAM_NETWORK_SETTING* netSetting);
  bool getWiredLAN(FCL_RS_PARAM_NETWORK* network);
  bool setWiredLAN(const FCL_RS_PARAM_NETWORK* network);
  bool getWirelessLAN(FCL_RS_PARAM_NETWORK* network);
  bool setWirelessLAN(const FCL_RS_PARAM_NETWORK* network);
  bool getLanguage(uint8_t* language);
  bool setLanguage(const uint8_t* language);
  bool getProfileAll(FCL_RS_PROFILE_ALL* profiles);
  bool setProfileAll(const FCL_RS_PROFILE_ALL* profiles);
  bool setProfile(const FCL_RS_PROFILE* profile, uint16_t slot);  // slot 0..24
  bool getCapabilities(FCL_CAP_HALVERN* capabilities);
  // On success copies the exchange's status block to `status`; on failure leaves it untouched.
  bool getDeviceStatus(FCL_DEVICE_STATUS* status);
  bool getNVRAM(void* buffer, uint16_t offset, uint32_t length);
  bool setNVRAM(const void* buffer, uint16_t offset, uint32_t length);
  // Sends this computer's local time now.
  bool setPCTime();
  bool resetFactoryReset();
  bool resetScheduledMaintenance();
  bool resetPickupRoller();
  bool resetFileNameCounter();
  bool getFactoryDefsetting(FCL_RS_FACTORY_DEFSETTING* defaults);
  bool getAddressBook(FCL_RS_ADDRESS_BOOK* book);
  bool setAddressBook(const FCL_RS_ADDRESS_BOOK* book);

  // Reads dwCrg1Lamp2 and dwCrg2Lamp2 (two reads); the other two words are never touched.
  bool getLampState(FCL_LAMP_STATE* lamp);
  // Writes the record with FCLD_LAMP_CRG1, then with CRG2_SET (dwCrg2Lamp2 != 0) or CRG2_CLEAR.
  bool setLampState(const FCL_LAMP_STATE* lamp);
  // Append the names of the scanner's SFTP client key pairs / server public keys to `list` and
  // answer their count (0 after any failure, `list` then unchanged).
  uint32_t getSFTPClientKeyPair(QStringList& list);
  uint32_t getSFTPServerKeyPair(QStringList& list);
  // The five counters from NVRAM; all zero after a failure.
  bool getMachineInfo(FCL_RS_MACHINE_INFO* info);
  // The identifying text (FCL_NVRAM_VENDOR_STRING) / serial number (FCL_NVRAM_SERIAL_NUMBER);
  // nothing when the read failed.
  std::optional<QString> getVendorString();
  std::optional<QString> getSerialNumber();
  // Takes the lock with a new UUID (kept in uuid(), also when the write fails). True means the
  // exchange completed; lastError() tells whether the scanner accepted.
  bool lockScanner();
  // Releases the lock taken with uuid(); false without sending anything when there is none.
  bool unlockScanner();
  // True while the scanner reports the lock text of uuid().
  bool readLockedUUID();
  // The lock text the scanner reports now ("" when nobody holds it); nothing when the read failed
  // or was refused.
  std::optional<QString> readLockHolder();
  // True when a panel shortcut uses any address-book entry.
  bool isAddressInShortCut();

  // -------------------------------------------------------------------------------------------
  // Settings export files (IOWrapperFile.cpp). `onlyAddress`: the address-book file instead of
  // all settings; `isBNT`: the network model; `isUSB`: connected by USB.

  // Reads the records from the scanner and writes the file atomically, readable by its owner
  // only. False, and no file, when a read from the scanner fails or is refused, or the write fails.
  bool writeToFile(const QString& path, const QString& twainName, bool onlyAddress, bool isBNT, bool isUSB);
  // The readers answer false only for a file they refuse, after the format alert: a wrong
  // signature (a file shorter than its kind reads as zeros there), and for the address-book file
  // (readAddressBookFromAddr) any file shorter than FCL_ADDRESS_FILE_SIZE. Failed or refused
  // writes to the scanner are counted in failedImportWrites(), and so is a driver's preference
  // file that is there but cannot be rewritten; on the USB-only model a refusal of a record it
  // has no page for is not counted.
  bool readParamAllFromFile(const QString& path, const QString& twainName, bool onlyAddress, bool isBNT, bool isUSB);
  bool readAddressBookFromFile(const QString& path, bool onlyAddress, bool isBNT);
  // `sent`, when given, receives the profiles the file holds (as they were sent to the scanner
  // unless `onlyAddress`, which sends nothing).
  bool readProfileAllFromFile(const QString& path, bool onlyAddress, bool isBNT, FCL_RS_PROFILE_ALL* sent = nullptr);
  bool readAddressBookFromAddr(const QString& path);
  // Writes (to the scanner, or of the preference file) that failed during the readers since the last reset.
  uint32_t failedImportWrites() const { return m_failedImportWrites; }
  // The first failure of the file operations since the last reset: the verdict on the first
  // import write that failed, or on the read that stopped an export.
  const CommandOutcome& firstFileFailure() const { return m_firstFileFailure; }
  // The address book an import wrote and the scanner accepted since the last reset; null when none.
  const FCL_RS_ADDRESS_BOOK* importedAddressBook() const { return m_importedBook.get(); }
  void resetFailedImportWrites() {
    m_failedImportWrites = 0;
    m_firstFileFailure = CommandOutcome::accepted();
    m_importedBook.reset();
  }

 protected:
  // One exchange of the named opcode on the transport chosen by bUSB; called by execute only.
  bool doFopInquiryCommand();
  bool doFopCommandCommand();
  bool doFopReadCommand(void* data, uint32_t length);
  bool doFopWriteCommand(const void* data, uint32_t length);
  bool doFopWrite2Command(const void* data, uint32_t length);

  // ">>> IOWrapper::%@ ENTER" / "<<< IOWrapper::%@ END" at level 0x20; "=== %@ ERROR: %@\n" at
  // level 0x02. `name` is the operation's name, e.g. "-[IOWrapper getParamAll:]".
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

 private:
  // The command-and-status phase shared by both command-only opcodes.
  bool doCommandOnly(const QString& name);

  // A key count above this fails the list read: the count comes from the scanner.
  static constexpr uint32_t kMaxSftpKeyCount = 1024;
  // One exchange with its trace and error text.
  bool runSimple(const QString& op, uint8_t opcode, uint8_t dtc, uint16_t dtq, uint32_t length, const void* data,
                 const QString& error);
  uint32_t readKeyList(const QString& op, uint16_t countQualifier, uint16_t listQualifier, QStringList& list);
  std::optional<QString> readNvramText(const QString& op, FCL_NVRAM_AREA area);
  bool refuseFileFormat();
  // Runs one import write, judged; counts it in failedImportWrites() when it failed (`hasPage`:
  // the model has a page for the record; see the .cpp for the USB-only model's rule).
  // Answers whether the scanner accepted the write.
  bool countWrite(bool hasPage, bool isBNT, const std::function<bool()>& write);
  // Writes an imported address book; an accepted one is kept as importedAddressBook().
  void importAddressBook(const FCL_RS_ADDRESS_BOOK& book, bool isBNT);

  std::unique_ptr<SocketWrapper> m_socketWrapper;
  std::unique_ptr<Wraper> m_usbWrapper;
  Utilities& m_ut;
  FCL_VENDOR_CMD m_cmd{};
  FCL_DEVICE_STATUS m_status{};
  QString m_uuid;
  bool m_bUSB = true;
  bool m_bOpen = false;
  QString m_ip;
  uint32_t m_failedImportWrites = 0;
  CommandOutcome m_firstFileFailure;
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> m_importedBook;
  uint32_t m_statusBytes = 0;
  // The verdict of the step judge() is running (the first problem of its exchanges so far).
  CommandOutcome m_stepVerdict;
  // Records the verdict of one finished exchange into m_stepVerdict.
  void noteExchange(bool completed);
};
