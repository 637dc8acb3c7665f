#pragma once
// The scanner's USB device access: finds the device by vendor and product ID on the current USB
// host (platform::usbHost()), opens it and claims its interface, finds the bulk-out, bulk-in and
// interrupt-in pipes, moves bytes with stall recovery, sends the vendor control request of the
// scanner lock, and closes everything again.
//
// Results: 0 success, -1 failure, except CtrlPipeLockScanner/CtrlPipeUnLockScanner (1 granted,
// 0 refused or failed, -1 no device or interface open) and the two Open...InService steps,
// which answer the host's result. Diagnostics go to standard output (and the device search to
// standard error), never to the debug log.
//
// One object is one connection: it keeps the host it was created on, and when it goes it closes
// whatever it still holds.
//
// Time limits: every bulk transfer is given the limit its caller passes (Wraper passes its
// bulk-transfer limit). A transfer that runs out of time closes the device at once, so that a
// status the scanner sends late can never be read as the answer to a later command; the
// transfer fails, later transfers fail with the "is null!" diagnostics, and deviceLost() says
// why until the next open. The lock's control requests are bounded by the host.

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/usb/UsbHost.h"

class CFISHUSBControl {
 public:
  // Attempts of one device before the search goes on to the next match.
  static constexpr int kOpenAttempts = 3;
  // The pause before the next attempt when the device or its interface is held by someone else.
  static constexpr std::chrono::milliseconds kExclusiveAccessPause{100};

  using PauseFunction = std::function<void(std::chrono::milliseconds)>;
  // Replaces the sleep of the exclusive-access pause (tests record it instead of waiting).
  // An empty function restores the sleep. Answers the previous function.
  static PauseFunction setPauseFunction(PauseFunction pause);

  CFISHUSBControl();
  ~CFISHUSBControl();
  CFISHUSBControl(const CFISHUSBControl&) = delete;
  CFISHUSBControl& operator=(const CFISHUSBControl&) = delete;

  // Opens the first matching device that opens: 0, or -1 when none did.
  int CreateScannerFile(uint16_t vendorId, uint16_t productId);
  // Opens one matched device, its interfaces and pipes; leaves nothing open unless it succeeds.
  platform::UsbResult OpenDeviceInService(const platform::UsbDeviceMatch& service);
  // Claims interface `number` of the open device and finds its pipes.
  platform::UsbResult OpenInterfaceInService(uint8_t number);

  // One bulk-out transfer, given up after `timeout`; `*ack` receives the bytes the device took.
  int WriteScannerFile(const void* buffer, uint32_t size, uint32_t* ack, std::chrono::milliseconds timeout);
  // One bulk-in transfer of at most `size` bytes, given up after `timeout`; `*ack` receives the
  // count read.
  int ReadScannerFile(void* buffer, uint32_t size, uint32_t* ack, std::chrono::milliseconds timeout);

  int CtrlPipeLockScanner();
  int CtrlPipeUnLockScanner();

  int CloseScannerFile();

  // True once a bulk transfer ran out of time and the device was closed because of it; false
  // again after the next CreateScannerFile.
  bool deviceLost() const { return m_deviceLost; }

  // For tests and diagnostics.
  uint8_t bulkInPipeRef() const { return byBulkInPipeRef; }
  uint8_t bulkOutPipeRef() const { return byBulkOutPipeRef; }
  uint8_t interruptInPipeRef() const { return byInterruptInRef; }
  uint8_t module() const { return byModule; }

 private:
  int transfer(bool write, void* buffer, uint32_t size, uint32_t* ack, std::chrono::milliseconds timeout);
  int controlLock(uint8_t request, const char* name);
  // Ends the interface claim (if any) and forgets its pipes; the host's result.
  platform::UsbResult dropInterface();
  void resetPipes();

  platform::DeviceHandle m_pdev = 0;
  platform::InterfaceHandle m_pinterface = 0;
  uint8_t byBulkInPipeRef = 0;
  uint8_t byBulkOutPipeRef = 0;
  uint8_t byInterruptInRef = 0;
  uint8_t byControlInPipeRef = 0;   // kept at 0
  uint8_t byControlOutPipeRef = 0;  // kept at 0
  uint8_t bIsUSBOpened = 0;         // kept at 0
  uint8_t byModule = 0;             // 0xA7 network model, 0xA5 USB-only model; informational
  bool m_deviceLost = false;        // a transfer timed out and the device was closed
  platform::UsbHost& m_host;
};
