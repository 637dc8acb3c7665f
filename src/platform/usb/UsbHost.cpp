#include "platform/usb/UsbHost.h"

#include <atomic>

#include "platform/usb/LibusbHost.h"

namespace platform {

const char* usbResultName(UsbResult r) {
  switch (r) {
    case UsbResult::Success: return "success";
    case UsbResult::ExclusiveAccess: return "exclusive access";
    case UsbResult::PipeStalled: return "pipe stalled";
    case UsbResult::NotResponding: return "not responding";
    case UsbResult::NotOpen: return "not open";
    case UsbResult::NoDevice: return "no device";
    case UsbResult::AccessDenied: return "access denied";
    case UsbResult::Overflow: return "overflow";
    case UsbResult::InvalidArgument: return "invalid argument";
    case UsbResult::TimedOut: return "timed out";
    case UsbResult::OtherError: break;
  }
  return "error";
}

namespace {
LibusbHost& defaultHost() {
  static LibusbHost host;
  return host;
}
std::atomic<UsbHost*> current{nullptr};
}  // namespace

UsbHost& usbHost() {
  UsbHost* h = current.load();
  return h ? *h : defaultHost();
}

UsbHost* setUsbHost(UsbHost* host) {
  UsbHost* previous = current.exchange(host);
  return previous ? previous : &defaultHost();
}

}  // namespace platform
