#include "platform/usb/LibusbHost.h"

#include <libusb.h>

#include <climits>
#include <cstdio>
#include <utility>

namespace platform {

namespace {

DeviceRef refOf(libusb_device* dev) {
  return (static_cast<DeviceRef>(libusb_get_bus_number(dev)) << 8) | libusb_get_device_address(dev);
}

// The descriptor of the current configuration, or of the first one when the device has none set.
libusb_config_descriptor* configOf(libusb_device* dev, int* rc) {
  libusb_config_descriptor* config = nullptr;
  *rc = libusb_get_active_config_descriptor(dev, &config);
  if (*rc == LIBUSB_ERROR_NOT_FOUND) *rc = libusb_get_config_descriptor(dev, 0, &config);
  return *rc == LIBUSB_SUCCESS ? config : nullptr;
}

UsbPipeProperties propertiesOf(const libusb_endpoint_descriptor& ep) {
  UsbPipeProperties p;
  p.endpointAddress = ep.bEndpointAddress;
  p.direction = (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? UsbDirection::In : UsbDirection::Out;
  switch (ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) {
    case LIBUSB_TRANSFER_TYPE_CONTROL: p.type = UsbTransferType::Control; break;
    case LIBUSB_TRANSFER_TYPE_ISOCHRONOUS: p.type = UsbTransferType::Isochronous; break;
    case LIBUSB_TRANSFER_TYPE_BULK: p.type = UsbTransferType::Bulk; break;
    default: p.type = UsbTransferType::Interrupt; break;
  }
  p.maxPacketSize = ep.wMaxPacketSize;
  return p;
}

}  // namespace

LibusbHost::LibusbHost(InitFunction init) : m_init(std::move(init)) {}

LibusbHost::~LibusbHost() {
  for (auto& [id, dev] : m_devices) {
    if (dev.handle) libusb_close(dev.handle);
    libusb_unref_device(dev.device);
  }
  m_devices.clear();
  m_interfaces.clear();
  if (m_context) libusb_exit(m_context);
}

UsbResult LibusbHost::fromLibusb(int code) {
  if (code >= 0) return UsbResult::Success;
  switch (code) {
    case LIBUSB_ERROR_BUSY: return UsbResult::ExclusiveAccess;
    case LIBUSB_ERROR_PIPE: return UsbResult::PipeStalled;
    // On Linux a device that does not acknowledge (EPROTO, EILSEQ, ETIME) answers IO.
    case LIBUSB_ERROR_IO:
    case LIBUSB_ERROR_TIMEOUT: return UsbResult::NotResponding;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return UsbResult::NoDevice;
    case LIBUSB_ERROR_ACCESS: return UsbResult::AccessDenied;
    case LIBUSB_ERROR_OVERFLOW: return UsbResult::Overflow;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbResult::InvalidArgument;
    default: return UsbResult::OtherError;
  }
}

libusb_context* LibusbHost::context() {
  if (!m_initTried) {
    m_initTried = true;
    const int rc = m_init ? m_init(&m_context) : libusb_init(&m_context);
    if (rc != LIBUSB_SUCCESS) m_context = nullptr;
  }
  return m_context;
}

uint32_t LibusbHost::nextHandle() {
  do {
    ++m_lastHandle;
  } while (m_lastHandle == 0 || m_devices.count(m_lastHandle) || m_interfaces.count(m_lastHandle));
  return m_lastHandle;
}

std::vector<UsbDeviceMatch> LibusbHost::findDevices(uint16_t vendorId, uint16_t productId) {
  std::lock_guard lock(m_mutex);
  std::vector<UsbDeviceMatch> matches;
  libusb_context* ctx = context();
  if (!ctx) return matches;
  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(ctx, &list);
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(list[i], &desc) != LIBUSB_SUCCESS) continue;
    if (desc.idVendor != vendorId || desc.idProduct != productId) continue;
    char name[64];
    std::snprintf(name, sizeof name, "bus %03u device %03u (%04x:%04x)",
                  unsigned(libusb_get_bus_number(list[i])), unsigned(libusb_get_device_address(list[i])),
                  unsigned(vendorId), unsigned(productId));
    matches.push_back({refOf(list[i]), name});
  }
  if (n >= 0) libusb_free_device_list(list, 1);
  return matches;
}

UsbResult LibusbHost::openDevice(DeviceRef ref, DeviceHandle* device) {
  *device = 0;
  std::lock_guard lock(m_mutex);
  libusb_context* ctx = context();
  if (!ctx) return UsbResult::NoDevice;
  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(ctx, &list);
  if (n < 0) return fromLibusb(static_cast<int>(n));
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < n && !found; ++i)
    if (refOf(list[i]) == ref) found = libusb_ref_device(list[i]);
  libusb_free_device_list(list, 1);
  if (!found) return UsbResult::NoDevice;

  OpenDevice entry;
  entry.device = found;
  const int rc = libusb_open(found, &entry.handle);
  if (rc != LIBUSB_SUCCESS) entry.handle = nullptr;
  *device = nextHandle();
  m_devices[*device] = entry;
  return fromLibusb(rc);
}

UsbResult LibusbHost::numberOfConfigurations(DeviceHandle device, uint8_t* count) {
  std::lock_guard lock(m_mutex);
  auto it = m_devices.find(device);
  if (it == m_devices.end()) return UsbResult::NotOpen;
  libusb_device_descriptor desc{};
  const int rc = libusb_get_device_descriptor(it->second.device, &desc);
  if (rc != LIBUSB_SUCCESS) return fromLibusb(rc);
  *count = desc.bNumConfigurations;
  return UsbResult::Success;
}

UsbResult LibusbHost::interfaceNumbers(DeviceHandle device, std::vector<uint8_t>* numbers) {
  numbers->clear();
  std::lock_guard lock(m_mutex);
  auto it = m_devices.find(device);
  if (it == m_devices.end()) return UsbResult::NotOpen;
  int rc = 0;
  libusb_config_descriptor* config = configOf(it->second.device, &rc);
  if (!config) return fromLibusb(rc);
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& intf = config->interface[i];
    if (intf.num_altsetting > 0) numbers->push_back(intf.altsetting[0].bInterfaceNumber);
  }
  libusb_free_config_descriptor(config);
  return UsbResult::Success;
}

UsbResult LibusbHost::openInterface(DeviceHandle device, uint8_t number, InterfaceHandle* iface) {
  *iface = 0;
  std::lock_guard lock(m_mutex);
  auto it = m_devices.find(device);
  if (it == m_devices.end() || !it->second.handle) return UsbResult::NotOpen;

  OpenInterface entry;
  entry.device = device;
  entry.number = number;
  int rc = 0;
  libusb_config_descriptor* config = configOf(it->second.device, &rc);
  if (!config) return fromLibusb(rc);
  bool known = false;
  for (int i = 0; i < config->bNumInterfaces && !known; ++i) {
    const libusb_interface& intf = config->interface[i];
    if (intf.num_altsetting <= 0 || intf.altsetting[0].bInterfaceNumber != number) continue;
    known = true;
    // A freshly claimed interface runs alternate setting 0.
    const libusb_interface_descriptor& alt = intf.altsetting[0];
    for (int e = 0; e < alt.bNumEndpoints; ++e) entry.endpoints.push_back(propertiesOf(alt.endpoint[e]));
  }
  libusb_free_config_descriptor(config);
  if (!known) return UsbResult::NoDevice;

  rc = libusb_claim_interface(it->second.handle, number);
  if (rc != LIBUSB_SUCCESS) return fromLibusb(rc);
  *iface = nextHandle();
  m_interfaces[*iface] = std::move(entry);
  return UsbResult::Success;
}

UsbResult LibusbHost::numberOfEndpoints(InterfaceHandle iface, uint8_t* count) {
  std::lock_guard lock(m_mutex);
  auto it = m_interfaces.find(iface);
  if (it == m_interfaces.end()) return UsbResult::NotOpen;
  *count = static_cast<uint8_t>(it->second.endpoints.size());
  return UsbResult::Success;
}

UsbResult LibusbHost::pipeProperties(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props) {
  std::lock_guard lock(m_mutex);
  auto it = m_interfaces.find(iface);
  if (it == m_interfaces.end()) return UsbResult::NotOpen;
  if (pipeRef == 0) {
    *props = UsbPipeProperties{};
    return UsbResult::Success;
  }
  if (pipeRef > it->second.endpoints.size()) return UsbResult::InvalidArgument;
  *props = it->second.endpoints[pipeRef - 1];
  return UsbResult::Success;
}

libusb_device_handle* LibusbHost::pipeOf(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props,
                                         UsbResult* error) {
  std::lock_guard lock(m_mutex);
  auto it = m_interfaces.find(iface);
  auto dev = it == m_interfaces.end() ? m_devices.end() : m_devices.find(it->second.device);
  if (dev == m_devices.end() || !dev->second.handle) {
    *error = UsbResult::NotOpen;
    return nullptr;
  }
  if (pipeRef > it->second.endpoints.size()) {
    *error = UsbResult::InvalidArgument;
    return nullptr;
  }
  *props = pipeRef == 0 ? UsbPipeProperties{} : it->second.endpoints[pipeRef - 1];
  *error = UsbResult::Success;
  return dev->second.handle;
}

UsbResult LibusbHost::transfer(InterfaceHandle iface, uint8_t pipeRef, UsbDirection direction, void* data,
                               uint32_t size, uint32_t* count, unsigned limitMs) {
  *count = 0;
  UsbPipeProperties pipe;
  UsbResult error;
  libusb_device_handle* h = pipeOf(iface, pipeRef, &pipe, &error);
  if (!h) return error;
  if (pipe.direction != direction || size > INT_MAX || (size && !data)) return UsbResult::InvalidArgument;
  int transferred = 0;
  int rc;
  // A time-out of 0 is none: the transfer ends when the device has answered or the transfer failed.
  if (pipe.type == UsbTransferType::Bulk)
    rc = libusb_bulk_transfer(h, pipe.endpointAddress, static_cast<unsigned char*>(data), static_cast<int>(size),
                              &transferred, limitMs);
  else if (pipe.type == UsbTransferType::Interrupt)
    rc = libusb_interrupt_transfer(h, pipe.endpointAddress, static_cast<unsigned char*>(data),
                                   static_cast<int>(size), &transferred, limitMs);
  else
    return UsbResult::InvalidArgument;
  *count = transferred > 0 ? static_cast<uint32_t>(transferred) : 0;
  return fromLibusb(rc);
}

UsbResult LibusbHost::writePipe(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                                uint32_t* moved) {
  // libusb takes one buffer type for both directions; it only reads an out transfer's buffer.
  return transfer(iface, pipeRef, UsbDirection::Out, const_cast<void*>(data), size, moved);
}

UsbResult LibusbHost::readPipe(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size, uint32_t* got) {
  return transfer(iface, pipeRef, UsbDirection::In, data, size, got);
}

namespace {
unsigned limitInMs(std::chrono::milliseconds limit) {
  if (limit.count() <= 0) return 0;
  return limit.count() > UINT_MAX ? UINT_MAX : static_cast<unsigned>(limit.count());
}
}  // namespace

UsbResult LibusbHost::writePipeWithin(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                                      uint32_t* moved, std::chrono::milliseconds limit) {
  return transfer(iface, pipeRef, UsbDirection::Out, const_cast<void*>(data), size, moved, limitInMs(limit));
}

UsbResult LibusbHost::readPipeWithin(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size, uint32_t* got,
                                     std::chrono::milliseconds limit) {
  return transfer(iface, pipeRef, UsbDirection::In, data, size, got, limitInMs(limit));
}

UsbResult LibusbHost::pipeStatus(InterfaceHandle iface, uint8_t pipeRef) {
  UsbPipeProperties pipe;
  UsbResult error;
  libusb_device_handle* h = pipeOf(iface, pipeRef, &pipe, &error);
  if (!h) return error;
  if (pipeRef == 0) return UsbResult::Success;
  unsigned char status[2] = {0, 0};
  constexpr uint8_t kToHostStandardEndpoint = 0x82;  // device to host, standard, endpoint
  const int rc = libusb_control_transfer(h, kToHostStandardEndpoint, LIBUSB_REQUEST_GET_STATUS, 0,
                                         pipe.endpointAddress, status, sizeof status, kPipeStatusTimeoutMs);
  if (rc < 0) return fromLibusb(rc);
  if (rc < 2) return UsbResult::OtherError;
  return (status[0] & 0x01) ? UsbResult::PipeStalled : UsbResult::Success;  // bit 0: ENDPOINT_HALT
}

UsbResult LibusbHost::clearPipeStall(InterfaceHandle iface, uint8_t pipeRef) {
  UsbPipeProperties pipe;
  UsbResult error;
  libusb_device_handle* h = pipeOf(iface, pipeRef, &pipe, &error);
  if (!h) return error;
  if (pipeRef == 0) return UsbResult::Success;
  return fromLibusb(libusb_clear_halt(h, pipe.endpointAddress));
}

UsbResult LibusbHost::abortPipe(InterfaceHandle iface, uint8_t pipeRef) {
  UsbPipeProperties pipe;
  UsbResult error;
  return pipeOf(iface, pipeRef, &pipe, &error) ? UsbResult::Success : error;
}

UsbResult LibusbHost::controlRequest(InterfaceHandle iface, const UsbControlSetup& setup, void* data,
                                     uint16_t* transferred) {
  *transferred = 0;
  UsbPipeProperties pipe;
  UsbResult error;
  libusb_device_handle* h = pipeOf(iface, 0, &pipe, &error);
  if (!h) return error;
  if (setup.wLength && !data) return UsbResult::InvalidArgument;
  const int rc = libusb_control_transfer(h, setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                                         static_cast<unsigned char*>(data), setup.wLength, 0);
  if (rc < 0) return fromLibusb(rc);
  *transferred = static_cast<uint16_t>(rc);
  return UsbResult::Success;
}

UsbResult LibusbHost::closeInterface(InterfaceHandle iface) {
  std::lock_guard lock(m_mutex);
  auto it = m_interfaces.find(iface);
  if (it == m_interfaces.end()) return UsbResult::NotOpen;
  const OpenInterface entry = std::move(it->second);
  m_interfaces.erase(it);
  auto dev = m_devices.find(entry.device);
  if (dev == m_devices.end() || !dev->second.handle) return UsbResult::NotOpen;
  return fromLibusb(libusb_release_interface(dev->second.handle, entry.number));
}

UsbResult LibusbHost::closeDevice(DeviceHandle device) {
  std::lock_guard lock(m_mutex);
  auto it = m_devices.find(device);
  if (it == m_devices.end()) return UsbResult::NotOpen;
  // libusb_close releases whatever claims are still held through the handle.
  for (auto i = m_interfaces.begin(); i != m_interfaces.end();)
    i = i->second.device == device ? m_interfaces.erase(i) : std::next(i);
  if (it->second.handle) libusb_close(it->second.handle);
  libusb_unref_device(it->second.device);
  m_devices.erase(it);
  return UsbResult::Success;
}

}  // namespace platform
