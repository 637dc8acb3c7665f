#include "USB/USBControl.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

#include "USB/UsbIds.h"

using platform::UsbResult;

namespace {

// One diagnostic line to `stream`, flushed at once so it interleaves sensibly with the other
// stream and survives a crash that follows.
[[gnu::format(printf, 2, 3)]] void say(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
}

int code(UsbResult r) { return static_cast<int>(r); }

std::mutex pauseMutex;
CFISHUSBControl::PauseFunction& pauseFunction() {
  static CFISHUSBControl::PauseFunction f;
  return f;
}

void pause(std::chrono::milliseconds d) {
  CFISHUSBControl::PauseFunction f;
  {
    std::lock_guard lock(pauseMutex);
    f = pauseFunction();
  }
  if (f)
    f(d);
  else
    std::this_thread::sleep_for(d);
}

// The scanner's vendor request on the control pipe: device to host, vendor, device recipient.
constexpr uint8_t kLockRequestType = 0xC0;
constexpr uint8_t kLockRequest = 0x01;
constexpr uint8_t kUnlockRequest = 0x02;
constexpr uint16_t kLockValue = 0x0002;
constexpr uint16_t kLockReplyLength = 5;

}  // namespace

CFISHUSBControl::PauseFunction CFISHUSBControl::setPauseFunction(PauseFunction f) {
  std::lock_guard lock(pauseMutex);
  PauseFunction previous = std::move(pauseFunction());
  pauseFunction() = std::move(f);
  return previous;
}

CFISHUSBControl::CFISHUSBControl() : m_host(platform::usbHost()) {}

CFISHUSBControl::~CFISHUSBControl() {
  // Whatever state it is in, nothing stays open once the object is gone.
  if (m_pinterface) m_host.closeInterface(m_pinterface);
  if (m_pdev) m_host.closeDevice(m_pdev);
}

void CFISHUSBControl::resetPipes() {
  byBulkInPipeRef = 0;
  byBulkOutPipeRef = 0;
  byInterruptInRef = 0;
}

UsbResult CFISHUSBControl::dropInterface() {
  UsbResult r = UsbResult::Success;
  if (m_pinterface) r = m_host.closeInterface(m_pinterface);
  m_pinterface = 0;
  resetPipes();
  return r;
}

// ---- Open ----------------------------------------------------------------------------------------

int CFISHUSBControl::CreateScannerFile(uint16_t vendorId, uint16_t productId) {
  if (vendorId == usbids::kScannerVendorId) {
    if (productId == usbids::kProductIdQMX7315W) byModule = 0xA7;
    if (productId == usbids::kProductIdQMX7305) byModule = 0xA5;
  }
  // An object holds one connection: a second open replaces the first.
  if (m_pdev || m_pinterface) CloseScannerFile();
  m_deviceLost = false;

  const std::vector<platform::UsbDeviceMatch> services = m_host.findDevices(vendorId, productId);
  if (services.empty()) return -1;

  // The first matching device that opens is the scanner; the others are left alone.
  for (const platform::UsbDeviceMatch& service : services) {
    say(stderr, "### USBControl::CreateScannerFile Get deviceName: %s\n", service.name.c_str());
    say(stderr, "### USBControl::CreateScannerFile for deviceRef %i\n", static_cast<int>(service.ref));
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
      const UsbResult r = OpenDeviceInService(service);
      if (r == UsbResult::Success) return 0;
      // Someone else holds the scanner: give them a moment before asking again.
      if (r == UsbResult::ExclusiveAccess && attempt < kOpenAttempts) pause(kExclusiveAccessPause);
    }
  }
  return -1;
}

UsbResult CFISHUSBControl::OpenDeviceInService(const platform::UsbDeviceMatch& service) {
  UsbResult r = m_host.openDevice(service.ref, &m_pdev);
  if (!m_pdev) return r;
  // The interfaces are still tried: they succeed or fail on their own.
  if (r != UsbResult::Success) say(stdout, "USBDeviceOpen Err%d\n", code(r));

  auto giveUp = [this](UsbResult why) {
    m_host.closeDevice(m_pdev);
    m_pdev = 0;
    return why;
  };

  uint8_t configurations = 0;
  r = m_host.numberOfConfigurations(m_pdev, &configurations);
  if (r != UsbResult::Success) return giveUp(r);
  if (configurations == 0) return giveUp(UsbResult::NotOpen);

  std::vector<uint8_t> interfaces;
  r = m_host.interfaceNumbers(m_pdev, &interfaces);
  if (r != UsbResult::Success) return giveUp(r);

  UsbResult last = UsbResult::NotOpen;
  for (uint8_t number : interfaces) {
    // Only one interface is used, the last one opened; an earlier claim is given back rather
    // than left held with no way to reach it.
    dropInterface();
    last = OpenInterfaceInService(number);
  }
  if (last == UsbResult::Success && m_pinterface) return UsbResult::Success;

  dropInterface();
  const UsbResult closed = m_host.closeDevice(m_pdev);
  m_pdev = 0;
  if (closed != UsbResult::Success) return closed;
  // A claim held elsewhere is worth another attempt after a pause; other failures are final.
  return last == UsbResult::ExclusiveAccess ? UsbResult::ExclusiveAccess : UsbResult::NotOpen;
}

UsbResult CFISHUSBControl::OpenInterfaceInService(uint8_t number) {
  UsbResult r = m_host.openInterface(m_pdev, number, &m_pinterface);
  if (r != UsbResult::Success) {
    m_pinterface = 0;
    return r;
  }
  uint8_t endpoints = 0;
  r = m_host.numberOfEndpoints(m_pinterface, &endpoints);
  if (r != UsbResult::Success) {
    dropInterface();
    return r;
  }
  // Pipe 0 is the control pipe; 1..endpoints are the interface's own. The first pipe of each
  // kind is used.
  for (unsigned ref = 0; ref <= endpoints; ++ref) {
    platform::UsbPipeProperties p;
    r = m_host.pipeProperties(m_pinterface, static_cast<uint8_t>(ref), &p);
    if (r != UsbResult::Success) return r;
    const uint8_t pipe = static_cast<uint8_t>(ref);
    if (p.type == platform::UsbTransferType::Bulk && p.direction == platform::UsbDirection::Out) {
      if (!byBulkOutPipeRef) byBulkOutPipeRef = pipe;
    } else if (p.type == platform::UsbTransferType::Bulk && p.direction == platform::UsbDirection::In) {
      if (!byBulkInPipeRef) byBulkInPipeRef = pipe;
    } else if (p.type == platform::UsbTransferType::Interrupt && p.direction == platform::UsbDirection::In) {
      if (!byInterruptInRef) byInterruptInRef = pipe;
    }
  }
  return UsbResult::Success;
}

// ---- Bulk transfers -------------------------------------------------------------------------------

int CFISHUSBControl::WriteScannerFile(const void* buffer, uint32_t size, uint32_t* ack,
                                      std::chrono::milliseconds timeout) {
  return transfer(true, const_cast<void*>(buffer), size, ack, timeout);
}

int CFISHUSBControl::ReadScannerFile(void* buffer, uint32_t size, uint32_t* ack, std::chrono::milliseconds timeout) {
  return transfer(false, buffer, size, ack, timeout);
}

int CFISHUSBControl::transfer(bool write, void* buffer, uint32_t size, uint32_t* ack,
                              std::chrono::milliseconds timeout) {
  const char* name = write ? "WriteScannerFile" : "ReadScannerFile";
  uint32_t moved = 0;
  if (ack) *ack = 0;
  if (!m_pdev) {
    say(stdout, "ERROR: %s m_pdev is null!\n", name);
    return -1;
  }
  if (!m_pinterface) {
    say(stdout, "ERROR: %s m_pinterface is null!\n", name);
    return -1;
  }
  const uint8_t pipe = write ? byBulkOutPipeRef : byBulkInPipeRef;
  const UsbResult r = write ? m_host.writePipe(m_pinterface, pipe, buffer, size, &moved, timeout)
                            : m_host.readPipe(m_pinterface, pipe, buffer, size, &moved, timeout);
  if (r == UsbResult::TimedOut) {
    // The scanner may still answer this transfer later; on the same pipes that answer would be
    // taken for the next command's. Nothing more is exchanged on this connection.
    say(stdout, "ERROR: %s timed out after %lld ms; the device is closed\n", name,
        static_cast<long long>(timeout.count()));
    CloseScannerFile();
    m_deviceLost = true;
    if (ack) *ack = moved;
    return -1;
  }
  if (r == UsbResult::PipeStalled || r == UsbResult::NotResponding) {
    // Clear a halt so that the next exchange can run; this transfer has failed all the same.
    if (m_host.pipeStatus(m_pinterface, pipe) == UsbResult::PipeStalled) m_host.clearPipeStall(m_pinterface, pipe);
  }
  if (ack) *ack = moved;
  return r == UsbResult::Success ? 0 : -1;
}

// ---- Control-pipe lock ----------------------------------------------------------------------------

int CFISHUSBControl::CtrlPipeLockScanner() { return controlLock(kLockRequest, "CtrlPipeLockScanner"); }

int CFISHUSBControl::CtrlPipeUnLockScanner() { return controlLock(kUnlockRequest, "CtrlPipeUnLockScanner"); }

int CFISHUSBControl::controlLock(uint8_t request, const char* name) {
  if (!m_pdev) {
    say(stdout, "ERROR: %s m_pdev is null!\n", name);
    return -1;
  }
  if (!m_pinterface) {
    say(stdout, "ERROR: %s m_pinterface is null!\n", name);
    return -1;
  }
  platform::UsbControlSetup setup;
  setup.bmRequestType = kLockRequestType;
  setup.bRequest = request;
  setup.wValue = kLockValue;
  setup.wIndex = 0;
  setup.wLength = kLockReplyLength;
  uint8_t reply[kLockReplyLength] = {0, 0, 0, 0, 0};
  uint16_t got = 0;
  const UsbResult r = m_host.controlRequest(m_pinterface, setup, reply, &got);
  if (r == UsbResult::PipeStalled) {
    say(stdout, "ERROR: %s ControlRequest return err kIOUSBPipeStalled\n", name);
    return 0;
  }
  if (r != UsbResult::Success) {
    say(stdout, "ERROR: %s ControlRequest return err %d\n", name, code(r));
    return 0;
  }
  // Byte 4 of the reply is the scanner's answer; a reply that stops short of it grants nothing.
  if (got < kLockReplyLength) {
    say(stdout, "ERROR: %s noErr But reply has %u bytes of %u\n", name, unsigned(got), unsigned(kLockReplyLength));
    return 0;
  }
  if (reply[4] != 0) {
    say(stdout, "ERROR: %s noErr But byBuffer[4] not zero %d\n", name, int(reply[4]));
    return 0;
  }
  return 1;
}

// ---- Close -------------------------------------------------------------------------------------

int CFISHUSBControl::CloseScannerFile() {
  bool failed = false;
  if (m_pinterface) {
    UsbResult r = m_host.abortPipe(m_pinterface, byInterruptInRef);
    if (r != UsbResult::Success) say(stdout, "ERROR: CloseScannerFile AbortPipe return err:%d!\n", code(r));
    r = m_host.closeInterface(m_pinterface);
    if (r != UsbResult::Success) {
      say(stdout, "ERROR: CloseScannerFile USBInterfaceClose return err:%d\n", code(r));
      failed = true;
    }
    m_pinterface = 0;
  }
  if (m_pdev) {
    // Closed even after a failed interface close: the handle is dropped here, and a device
    // left open with no handle would keep its claim until the program ends.
    if (m_host.closeDevice(m_pdev) != UsbResult::Success) failed = true;
    m_pdev = 0;
  }
  resetPipes();
  return failed ? -1 : 0;
}
