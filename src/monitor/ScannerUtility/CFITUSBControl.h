#pragma once
// The monitor's USB device access, on the process's USB host (platform::usbHost()): finds the
// scanner by the vendor and product ID of the user's device file, opens it and its interfaces,
// finds the bulk-in, bulk-out and interrupt-in pipes, moves bytes with stall recovery and closes
// everything again.
//
// - CreateScannerFile tries the matching devices in the order found, once each. One held by
//   another program (exclusive access) is given a pause (MonitorTimings::exclusiveAccessPause)
//   before the next is tried; the first that opens is the scanner.
// - Every transfer has a time limit, which the host enforces: MonitorTimings::usbTry, or the
//   one the caller gives (transfer()). A transfer that stalled fails, also when the stall was
//   cleared afterwards.
// - CloseScannerFile releases the interface and the device whatever went wrong on the way.
//
// With the debug switch on, the name of each device tried goes to standard error.

#include <chrono>
#include <cstdint>

#include "monitor/ScannerUtility/MonitorTimings.h"
#include "platform/usb/UsbHost.h"

class CFITUSBControl {
 public:
  CFITUSBControl();
  ~CFITUSBControl();  // releases whatever is still open
  CFITUSBControl(const CFITUSBControl&) = delete;
  CFITUSBControl& operator=(const CFITUSBControl&) = delete;

  // The IDs to match; used as 16-bit numbers.
  uint64_t scannerVendorID = 0;
  uint64_t scannerProductID = 0;

  // Opens the first matching device that opens. True when one did.
  bool CreateScannerFile();
  // Opens one device and every interface of it; the last interface's result is the result.
  // Leaves nothing open unless it succeeds.
  platform::UsbResult OpenDeviceInService(const platform::UsbDeviceMatch& service);
  // Opens interface `number` of the open device and records its pipes.
  platform::UsbResult OpenInterfaceInService(uint8_t number);

  // One bulk-out transfer; `*ack` receives the bytes the device took.
  bool WriteScannerFile(const void* buffer, uint32_t size, uint32_t* ack);
  // One bulk-in transfer of at most `size` bytes; `*ack` receives the count read.
  bool ReadScannerFile(void* buffer, uint32_t size, uint32_t* ack);

  // One bulk transfer (out when `write`) within `limit`, answering the host's result; `*ack`
  // receives the bytes moved, also on a failure part-way. Without an open device or interface:
  // NotOpen.
  platform::UsbResult transfer(bool write, void* buffer, uint32_t size, uint32_t* ack, std::chrono::milliseconds limit);

  // True when every step answered success; nothing stays open either way.
  bool CloseScannerFile();

  uint8_t bulkInPipeRef() const { return byBulkInPipeRef; }
  uint8_t bulkOutPipeRef() const { return byBulkOutPipeRef; }
  uint8_t interruptInPipeRef() const { return byInterruptInRef; }
  // The bulk-in pipe's largest packet (512 when the pipe does not say).
  uint16_t bulkInMaxPacket() const { return m_bulkInMaxPacket ? m_bulkInMaxPacket : 512; }

 private:
  void dropInterface();

  platform::DeviceHandle m_pdev = 0;
  platform::InterfaceHandle m_pinterface = 0;
  uint8_t byBulkInPipeRef = 0;
  uint8_t byBulkOutPipeRef = 0;
  uint8_t byInterruptInRef = 0;
  uint16_t m_bulkInMaxPacket = 0;
  platform::UsbHost& m_host;
  MonitorTimings m_timings;
};
