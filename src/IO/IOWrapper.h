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

#include "IO/FCLCommand.h"

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

  std::unique_ptr<SocketWrapper> m_socketWrapper;
  std::unique_ptr<Wraper> m_usbWrapper;
  Utilities& m_ut;
  FCL_VENDOR_CMD m_cmd{};
  FCL_DEVICE_STATUS m_status{};
  QString m_uuid;
  bool m_bUSB = true;
  bool m_bOpen = false;
  QString m_ip;
};
