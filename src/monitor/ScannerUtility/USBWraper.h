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
// The USB data read retries: it reads until the length has arrived, pausing
// MonitorTimings::usbReadPause between tries; a failed try, and one that succeeds with no bytes,
// counts as a failure, and the read gives up after usbReadMaxFailures + 1 failures or after
// usbReadTotal, whichever comes first. These pauses block the thread.

#include <QString>
#include <cstdint>
#include <memory>

#include "monitor/ScannerUtility/CFITUSBControl.h"
#include "monitor/ScannerUtility/MonitorRecords.h"
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
  // Breaks off the network exchange under way (NetworkControl::abort); CloseConnect still ends
  // it. A USB transfer blocks the thread and is never under way when this can be called.
  void abort();

  bool isUSBScan() const { return isUSBScan_; }
  CFITUSBControl* usbControl() const { return m_pobjUSB.get(); }
  NetworkControl* networkControl() const { return m_networkCtrl.get(); }

 private:
  bool usbRead(void* buffer, uint32_t length);

  std::unique_ptr<CFITUSBControl> m_pobjUSB;
  std::unique_ptr<NetworkControl> m_networkCtrl;
  bool isUSBScan_ = false;
};
