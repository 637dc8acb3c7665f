#include "platform/usb/UsbHost.h"

#include <atomic>

#include "platform/usb/LibusbHost.h"

namespace platform {

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
