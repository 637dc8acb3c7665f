#pragma once
// The monitor's one entry to the scanner: chooses USB or TCP by a connection text ("USB",
// exactly, selects USB; any other text is the scanner's network address), builds the command
// block and runs the phases of the monitor's commands.
//
// Calling order of one operation: OpenScanner, OpenConnect, CreateCommand, SendCommand, then at
// most one of SendData, GetData, GetEventData, then CloseConnect (also after any failure). Every
// operation makes a fresh transport object (CFITUSBControl or NetworkControl) and CloseConnect
// ends it, so nothing is held between operations. Every call answers true for success; the
// status block is handed back, never judged here.
//
// One exchange, from OpenScanner (on USB the open of the device, on TCP the connect that
// follows) to its last byte, ends within MonitorTimings::exchange, the event read within
// MonitorTimings::eventExchange (its command phase within `exchange`); a deadline given with
// limitTo() ends it earlier when it comes first. A USB phase runs as bulk transfers of at most
// MonitorTimings::usbTry each and serves the event loop between them, so a quit signal or
// power-off is handled, and breaks the phase off (abort()), within a try.
// A try that timed out is followed at once by one for the rest. A try that moved only part of
// the bytes is followed by one for the rest after usbReadPause (the event loop served). In a data
// read, a try that failed otherwise, or brought nothing, is followed by another after
// usbReadPause too, up to usbReadMaxFailures of them; in the other phases such a try ends the
// phase. A device that is gone ends any phase at once.
//
// A data read runs to the end of the scanner's transfer: it asks for whole packets, and once the
// length asked for has arrived it goes on reading until a short packet (or a try that finds
// nothing more) and drops what lies beyond the length, so nothing is left in the pipe for the
// next exchange. The caller's buffer receives at most `length` bytes.

#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "monitor/ScannerUtility/CFITUSBControl.h"
#include "monitor/ScannerUtility/MonitorRecords.h"
#include "monitor/ScannerUtility/MonitorTimings.h"
#include "monitor/ScannerUtility/NetworkControl.h"

class USBWraper {
 public:
  // The connection text that selects USB.
  static constexpr const char* kUSBConnection = "USB";

  USBWraper();
  ~USBWraper();
  USBWraper(const USBWraper&) = delete;
  USBWraper& operator=(const USBWraper&) = delete;

  // Copied into each new CFITUSBControl.
  uint64_t scannerVendorID = 0;
  uint64_t scannerProductID = 0;

  bool OpenScanner(const QString& connection);
  bool OpenConnect(const QString& connection);
  static void CreateCommand(monitor::FCL_CMD* cmd, uint8_t operationCode, uint8_t controlCode, uint16_t dataType,
                            uint32_t dataLength);
  bool SendCommand(const monitor::FCL_CMD* cmd, monitor::FCL_DEVICE_STATUS* status);
  bool SendData(const void* data, uint32_t length);
  bool GetData(void* buffer, uint32_t length);
  bool GetEventData(void* buffer, uint32_t length);
  // Closes the connection and ends the transport object. Always true.
  bool CloseConnect();
  bool CloseScanner();
  // No exchange goes on beyond `deadline` until it is lifted (none): a stop's limit.
  void limitTo(std::optional<std::chrono::steady_clock::time_point> deadline);
  // Breaks off the exchange under way, from a handler that runs inside one of its waits: on TCP
  // through NetworkControl::abort; on USB the phase ends after the try under way (at most
  // MonitorTimings::usbTry). Every later phase fails until the next OpenScanner; CloseConnect
  // still ends the transport.
  void abort();

  bool isUSBScan() const { return isUSBScan_; }
  CFITUSBControl* usbControl() const { return m_pobjUSB.get(); }
  NetworkControl* networkControl() const { return m_networkCtrl.get(); }

 private:
  using Clock = std::chrono::steady_clock;
  using ms = std::chrono::milliseconds;
  // One USB phase (see above) before `deadline`; `toTheEnd` for a data read.
  bool usbPhase(bool write, void* buffer, uint32_t length, Clock::time_point deadline, bool toTheEnd);
  // The end of the USB exchange under way (of the event read's, with `event`); a TCP exchange
  // keeps its own time in its NetworkControl.
  Clock::time_point deadline(bool event) const;

  std::unique_ptr<CFITUSBControl> m_pobjUSB;
  std::unique_ptr<NetworkControl> m_networkCtrl;
  bool isUSBScan_ = false;
  bool m_aborted = false;
  MonitorTimings::ExchangeTime m_time;  // on USB from the open of the device
};
