#include "UmockdevScanner.h"

#include <linux/usbdevice_fs.h>
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "USB/UsbIds.h"

namespace sim {

namespace {

// ---- The device as sysfs and udev show it ----------------------------------------------------------

constexpr uint8_t kBulkOut = 0x01;
constexpr uint8_t kBulkIn = 0x82;
constexpr uint8_t kInterruptIn = 0x83;

// Device descriptor, then the one configuration: interface 0 (vendor class) with the scanner's
// three endpoints. No string descriptors, so libusb asks for none.
std::string descriptorsHex(uint16_t productId) {
  const uint8_t bytes[] = {
      // device
      18, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 64, 0x09, 0x12, uint8_t(productId & 0xFF), uint8_t(productId >> 8),
      0x00, 0x01, 0, 0, 0, 1,
      // configuration (total 9 + 9 + 3 * 7 = 39 bytes)
      9, 0x02, 39, 0, 1, 1, 0, 0xC0, 1,
      // interface 0, 3 endpoints, vendor specific
      9, 0x04, 0, 0, 3, 0xFF, 0x00, 0x00, 0,
      // endpoints: bulk out, bulk in (512 bytes), interrupt in (8 bytes, every 10 frames)
      7, 0x05, kBulkOut, 0x02, 0x00, 0x02, 0,
      7, 0x05, kBulkIn, 0x02, 0x00, 0x02, 0,
      7, 0x05, kInterruptIn, 0x03, 0x08, 0x00, 10,
  };
  std::string hex;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02X", b);
    hex += two;
  }
  return hex;
}

std::string deviceDescription(uint16_t vendorId, uint16_t productId) {
  char ids[64];
  std::snprintf(ids, sizeof ids, "A: idVendor=%04x\nA: idProduct=%04x\n", vendorId, productId);
  char product[64];
  std::snprintf(product, sizeof product, "E: PRODUCT=%x/%x/100\n", vendorId, productId);
  return std::string("P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
                     "N: bus/usb/001/002\n"
                     "E: DEVNAME=/dev/bus/usb/001/002\n"
                     "E: DEVTYPE=usb_device\n"
                     "E: DRIVER=usb\n"
                     "E: SUBSYSTEM=usb\n"
                     "E: BUSNUM=001\n"
                     "E: DEVNUM=002\n") +
         product +
         "A: busnum=1\n"
         "A: devnum=2\n" +
         ids +
         "A: bConfigurationValue=1\n"
         "A: bNumConfigurations=1\n"
         "A: speed=480\n"
         "H: descriptors=" +
         descriptorsHex(productId) + "\n";
}

constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                                   USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

// How long one wait of the device thread for the engine lasts; the thread then looks whether
// the URB was discarded or the fixture stops.
constexpr std::chrono::milliseconds kEngineSlice{50};

std::string hexByte(uint8_t b) {
  char s[8];
  std::snprintf(s, sizeof s, "0x%02x", b);
  return s;
}

uint8_t pipeOf(uint8_t endpoint) {
  switch (endpoint) {
    case kBulkOut: return 1;
    case kBulkIn: return 2;
    case kInterruptIn: return 3;
    default: return 0;
  }
}

}  // namespace

// ---- A submitted URB ---------------------------------------------------------------------------------

struct UmockdevScanner::Urb {
  UMockdevIoctlData* urbData = nullptr;  // the client's usbdevfs_urb, resolved
  UMockdevIoctlData* bufData = nullptr;  // its buffer, resolved
  unsigned long clientAddress = 0;
  uint8_t type = 0;
  uint8_t endpoint = 0;
  unsigned flags = 0;
  std::vector<uint8_t> out;  // the buffer as submitted (out data, or a control request's setup)
  // The outcome, set once.
  bool done = false;
  bool discarded = false;
  int status = 0;
  uint32_t actual = 0;
  std::vector<uint8_t> in;  // bytes for the buffer, from `inOffset`
  size_t inOffset = 0;

  ~Urb() {
    if (bufData) g_object_unref(bufData);
    if (urbData) g_object_unref(urbData);
  }
};

// ---- The handler object umockdev calls -----------------------------------------------------------

struct UmockdevScanner::IoctlHandler {
  UMockdevIoctlBase parent;
  UmockdevScanner* owner;
};

namespace {
struct ScannerIoctlClass {
  UMockdevIoctlBaseClass parent;
};
}  // namespace

static gboolean scannerHandleIoctl(UMockdevIoctlBase* self, UMockdevIoctlClient* client);
static void scannerIoctlInit(GTypeInstance*, gpointer) {}
static void scannerIoctlClassInit(gpointer klass, gpointer) {
  static_cast<UMockdevIoctlBaseClass*>(klass)->handle_ioctl = scannerHandleIoctl;
}

// A subclass of umockdev's handler whose handle_ioctl is UmockdevScanner::handle.
static GType scannerIoctlType() {
  static GType type = g_type_register_static_simple(UMOCKDEV_TYPE_IOCTL_BASE, "ZrUmockdevScannerIoctl",
                                                    sizeof(ScannerIoctlClass), scannerIoctlClassInit,
                                                    sizeof(UmockdevScanner::IoctlHandler), scannerIoctlInit,
                                                    GTypeFlags(0));
  return type;
}

static gboolean scannerHandleIoctl(UMockdevIoctlBase* self, UMockdevIoctlClient* client) {
  auto* h = reinterpret_cast<UmockdevScanner::IoctlHandler*>(self);
  return h->owner->handle(client) ? TRUE : FALSE;
}

// ---- Set-up ------------------------------------------------------------------------------------------

bool UmockdevScanner::available() {
  // The preload library is in the process: RTLD_NOLOAD finds it without loading it.
  void* preload = dlopen("libumockdev-preload.so.0", RTLD_LAZY | RTLD_NOLOAD);
  if (!preload) return false;
  dlclose(preload);
  return true;
}

std::string UmockdevScanner::unavailableReason() {
  if (available()) return {};
  return "not running under umockdev's preload library (install umockdev; the tests run under "
         "LD_PRELOAD=libumockdev-preload.so.0)";
}

UmockdevScanner::UmockdevScanner(uint16_t productId)
    : m_model(productId == usbids::kProductIdQMX7305 ? ScannerModel::Kind::Qmx7305 : ScannerModel::Kind::Qmx7315w),
      m_scanner(UsbScanner::create(m_model, &m_faults, &m_log)) {
  m_testbed = umockdev_testbed_new();
  GError* error = nullptr;
  const std::string description = deviceDescription(usbids::kScannerVendorId, productId);
  if (!umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error)) {
    std::fprintf(stderr, "umockdev: cannot add the scanner: %s\n", error ? error->message : "?");
    g_clear_error(&error);
  }
  m_devnode = "/dev/bus/usb/001/002";
  m_handler = static_cast<UMockdevIoctlBase*>(g_object_new(scannerIoctlType(), nullptr));
  reinterpret_cast<IoctlHandler*>(m_handler)->owner = this;
  if (!umockdev_testbed_attach_ioctl(m_testbed, m_devnode.c_str(), m_handler, &error)) {
    std::fprintf(stderr, "umockdev: cannot attach the handler: %s\n", error ? error->message : "?");
    g_clear_error(&error);
  }
  m_thread = std::thread([this] { serve(); });
}

UmockdevScanner::~UmockdevScanner() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_scanner->stop();
  if (m_thread.joinable()) m_thread.join();
  GError* error = nullptr;
  if (!umockdev_testbed_detach_ioctl(m_testbed, m_devnode.c_str(), &error)) g_clear_error(&error);
  g_object_unref(m_handler);
  {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_reapable.clear();
    m_inFlight.clear();
  }
  g_object_unref(m_testbed);
}

std::string UmockdevScanner::rootDir() const {
  gchar* dir = umockdev_testbed_get_root_dir(m_testbed);
  std::string root = dir ? dir : "";
  g_free(dir);
  return root;
}

// ---- Script and record ---------------------------------------------------------------------------

void UmockdevScanner::setBusyClaims(int n) {
  std::lock_guard lock(m_mutex);
  m_busyClaims = n;
}

void UmockdevScanner::stallNext(uint8_t endpoint) {
  std::lock_guard lock(m_mutex);
  m_stallNext.insert(endpoint);
}

void UmockdevScanner::setControlReply(std::vector<uint8_t> reply) {
  std::lock_guard lock(m_mutex);
  m_controlReply = std::move(reply);
}

std::vector<UmockdevScanner::ControlRequest> UmockdevScanner::controlRequests() const {
  std::lock_guard lock(m_mutex);
  return m_controlRequests;
}

std::vector<std::string> UmockdevScanner::requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

std::vector<std::string> UmockdevScanner::urbs() const {
  std::lock_guard lock(m_mutex);
  return m_urbs;
}

bool UmockdevScanner::halted(uint8_t endpoint) const {
  std::lock_guard lock(m_mutex);
  return m_halted.count(endpoint) > 0;
}

int UmockdevScanner::claimsHeld() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_claimed.size());
}

// ---- usbdevfs requests (umockdev's worker thread) ----------------------------------------------------

bool UmockdevScanner::handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);

  // A request whose argument is a number of `unsigned int` (interface or endpoint).
  const auto number = [&](unsigned* value) {
    GError* error = nullptr;
    UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned), &error);
    if (!d) {
      g_clear_error(&error);
      return false;
    }
    std::memcpy(value, d->data, sizeof(unsigned));
    g_object_unref(d);
    return true;
  };

  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      GError* error = nullptr;
      UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), &error);
      if (!d) {
        g_clear_error(&error);
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      uint32_t caps = kCapabilities;
      umockdev_ioctl_data_update(d, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
      umockdev_ioctl_client_complete(client, 0, 0);
      g_object_unref(d);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE: {
      unsigned n = 0;
      if (!number(&n)) break;
      std::lock_guard lock(m_mutex);
      m_requests.push_back("claim " + std::to_string(n));
      if (n != 0) {
        umockdev_ioctl_client_complete(client, -1, ENOENT);
      } else if (m_claimed.count(n)) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);  // claimed through another handle
      } else if (m_busyClaims > 0) {
        --m_busyClaims;
        umockdev_ioctl_client_complete(client, -1, EBUSY);
      } else {
        m_claimed.insert(n);
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return true;
    }
    case USBDEVFS_RELEASEINTERFACE: {
      unsigned n = 0;
      if (!number(&n)) break;
      bool held;
      {
        std::lock_guard lock(m_mutex);
        m_requests.push_back("release " + std::to_string(n));
        held = m_claimed.erase(n) > 0;
      }
      if (held) m_scanner->released();
      umockdev_ioctl_client_complete(client, held ? 0 : -1, held ? 0 : EINVAL);
      return true;
    }
    case USBDEVFS_CLEAR_HALT: {
      unsigned ep = 0;
      if (!number(&ep)) break;
      std::lock_guard lock(m_mutex);
      m_requests.push_back("clear_halt " + hexByte(uint8_t(ep)));
      m_halted.erase(uint8_t(ep));
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    }
    case USBDEVFS_GETDRIVER:  // no kernel driver is bound to the scanner
      umockdev_ioctl_client_complete(client, -1, ENODATA);
      return true;
    case USBDEVFS_RESETEP:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return true;
    case USBDEVFS_SUBMITURB:
      return submit(client);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return reap(client);
    case USBDEVFS_DISCARDURB:
      return discard(client);
    default: {
      std::lock_guard lock(m_mutex);
      char name[32];
      std::snprintf(name, sizeof name, "unknown 0x%lx", request);
      m_requests.push_back(name);
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return true;
    }
  }
  umockdev_ioctl_client_complete(client, -1, EFAULT);
  return true;
}

bool UmockdevScanner::submit(UMockdevIoctlClient* client) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  GError* error = nullptr;
  auto urb = std::make_shared<Urb>();
  urb->urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &error);
  if (!urb->urbData) {
    g_clear_error(&error);
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return true;
  }
  usbdevfs_urb u;
  std::memcpy(&u, urb->urbData->data, sizeof u);
  if (u.buffer_length < 0 || (u.type != USBDEVFS_URB_TYPE_BULK && u.type != USBDEVFS_URB_TYPE_CONTROL &&
                              u.type != USBDEVFS_URB_TYPE_INTERRUPT)) {
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return true;
  }
  if (u.buffer_length > 0) {
    urb->bufData = umockdev_ioctl_data_resolve(urb->urbData, offsetof(usbdevfs_urb, buffer),
                                               static_cast<gsize>(u.buffer_length), &error);
    if (!urb->bufData) {
      g_clear_error(&error);
      umockdev_ioctl_client_complete(client, -1, EFAULT);
      return true;
    }
    urb->out.assign(urb->bufData->data, urb->bufData->data + u.buffer_length);
  }
  urb->clientAddress = urb->urbData->client_addr;
  urb->type = u.type;
  urb->endpoint = u.endpoint;
  urb->flags = u.flags;
  {
    std::lock_guard lock(m_mutex);
    m_urbs.push_back(hexByte(u.endpoint) + " " + std::to_string(u.buffer_length));
    m_inFlight.push_back(urb);
    m_queue.push_back(urb);
  }
  m_changed.notify_all();
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool UmockdevScanner::reap(UMockdevIoctlClient* client) {
  std::shared_ptr<Urb> urb;
  {
    std::lock_guard lock(m_mutex);
    if (!m_reapable.empty()) {
      urb = m_reapable.front();
      m_reapable.pop_front();
      m_inFlight.erase(std::remove(m_inFlight.begin(), m_inFlight.end(), urb), m_inFlight.end());
    }
  }
  if (!urb) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return true;
  }
  // The outcome into the client's URB and buffer, then the URB's address into the client's
  // pointer: that is what the kernel hands back on a reap.
  int status = urb->status;
  int actual = static_cast<int>(urb->actual);
  umockdev_ioctl_data_update(urb->urbData, offsetof(usbdevfs_urb, status), reinterpret_cast<guint8*>(&status),
                             sizeof status);
  umockdev_ioctl_data_update(urb->urbData, offsetof(usbdevfs_urb, actual_length),
                             reinterpret_cast<guint8*>(&actual), sizeof actual);
  if (urb->bufData && !urb->in.empty())
    umockdev_ioctl_data_update(urb->bufData, urb->inOffset, urb->in.data(), static_cast<gint>(urb->in.size()));
  GError* error = nullptr;
  UMockdevIoctlData* arg = umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), &error);
  if (!arg) {
    g_clear_error(&error);
    umockdev_ioctl_client_complete(client, -1, EFAULT);
    return true;
  }
  umockdev_ioctl_data_set_ptr(arg, 0, urb->urbData);
  umockdev_ioctl_client_complete(client, 0, 0);
  g_object_unref(arg);
  return true;
}

bool UmockdevScanner::discard(UMockdevIoctlClient* client) {
  unsigned long address = 0;
  std::memcpy(&address, umockdev_ioctl_client_get_arg(client)->data, sizeof address);
  std::lock_guard lock(m_mutex);
  for (const std::shared_ptr<Urb>& urb : m_inFlight) {
    if (urb->clientAddress != address) continue;
    if (urb->done || urb->discarded) break;  // already finished: the kernel answers EINVAL too
    m_requests.push_back("discard " + hexByte(urb->endpoint));
    urb->discarded = true;
    urb->status = -ENOENT;
    urb->actual = 0;
    m_reapable.push_back(urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }
  umockdev_ioctl_client_complete(client, -1, EINVAL);
  return true;
}

// ---- Serving the URBs (the device thread) ----------------------------------------------------------

void UmockdevScanner::serve() {
  for (;;) {
    std::shared_ptr<Urb> urb;
    {
      std::unique_lock lock(m_mutex);
      m_changed.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
      if (m_stopping) return;
      urb = m_queue.front();
      m_queue.pop_front();
      if (urb->discarded) continue;
    }
    serveOne(*urb);
  }
}

void UmockdevScanner::finish(Urb& urb, int status, std::vector<uint8_t> in, uint32_t actual) {
  {
    std::lock_guard lock(m_mutex);
    if (urb.discarded || m_stopping) return;
    urb.done = true;
    urb.status = status;
    urb.actual = actual;
    urb.in = std::move(in);
    for (const std::shared_ptr<Urb>& u : m_inFlight)
      if (u.get() == &urb) m_reapable.push_back(u);
  }
}

void UmockdevScanner::serveOne(Urb& urb) {
  if (urb.type == USBDEVFS_URB_TYPE_CONTROL) return serveControl(urb);
  // The interrupt pipe never carries anything: the URB waits until libusb gives it up.
  if (urb.endpoint == kInterruptIn || pipeOf(urb.endpoint) == 0) return;

  // A scripted stall halts the endpoint; a halted endpoint stalls every URB until CLEAR_HALT.
  bool stalled;
  {
    std::lock_guard lock(m_mutex);
    if (m_stallNext.erase(urb.endpoint)) m_halted.insert(urb.endpoint);
    stalled = m_halted.count(urb.endpoint) > 0;
  }
  if (stalled) return finish(urb, -EPIPE, {}, 0);

  if (urb.endpoint == kBulkOut) {
    uint32_t taken = 0;
    const platform::UsbResult r = m_scanner->received(pipeOf(urb.endpoint), urb.out.data(),
                                                      static_cast<uint32_t>(urb.out.size()), &taken,
                                                      std::chrono::seconds(1));
    return finish(urb, r == platform::UsbResult::Success ? 0 : -EPROTO, {}, taken);
  }

  // A transfer larger than one URB goes out as a first URB and continuations. Once one of them
  // came back short the transfer is over: its continuations fail without taking the engine's
  // bytes (the kernel answers EREMOTEIO), and libusb discards what is left.
  bool transferOver;
  {
    std::lock_guard lock(m_mutex);
    const bool continuation = urb.flags & USBDEVFS_URB_BULK_CONTINUATION;
    if (!continuation) m_endedShort.erase(urb.endpoint);
    transferOver = continuation && m_endedShort.count(urb.endpoint);
  }
  if (transferOver) return finish(urb, -EREMOTEIO, {}, 0);

  // Bulk in: what the engine has written, as soon as it has some; until then the URB stays
  // pending (a device that has nothing to send NAKs the host's requests).
  std::vector<uint8_t> buf(urb.out.size());
  for (;;) {
    {
      std::lock_guard lock(m_mutex);
      if (urb.discarded || m_stopping) return;
    }
    uint32_t given = 0;
    const platform::UsbResult r =
        m_scanner->send(pipeOf(urb.endpoint), buf.data(), static_cast<uint32_t>(buf.size()), &given, kEngineSlice);
    if (r == platform::UsbResult::Success && given > 0) {
      if (given < buf.size()) {
        std::lock_guard lock(m_mutex);
        m_endedShort.insert(urb.endpoint);
      }
      buf.resize(given);
      return finish(urb, 0, std::move(buf), given);
    }
    if (r != platform::UsbResult::TimedOut) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void UmockdevScanner::serveControl(Urb& urb) {
  if (urb.out.size() < 8) return finish(urb, -EINVAL, {}, 0);
  ControlRequest req{};
  req.bmRequestType = urb.out[0];
  req.bRequest = urb.out[1];
  req.wValue = uint16_t(urb.out[2] | (urb.out[3] << 8));
  req.wIndex = uint16_t(urb.out[4] | (urb.out[5] << 8));
  req.wLength = uint16_t(urb.out[6] | (urb.out[7] << 8));
  std::vector<uint8_t> reply;
  bool refused = false;
  constexpr uint8_t kStandardEndpointIn = 0x82, kGetStatus = 0x00;
  {
    std::lock_guard lock(m_mutex);
    if (req.bmRequestType == kStandardEndpointIn && req.bRequest == kGetStatus) {
      // Bit 0 of an endpoint's status: halted.
      reply = {uint8_t(m_halted.count(uint8_t(req.wIndex)) ? 1 : 0), 0};
    } else if ((req.bmRequestType & 0x60) == 0x40) {
      m_controlRequests.push_back(req);
      if (req.bmRequestType & 0x80) reply = m_controlReply;
    } else {
      refused = true;
      m_requests.push_back("control refused " + hexByte(req.bmRequestType) + " " + hexByte(req.bRequest));
    }
  }
  if (refused) return finish(urb, -EPIPE, {}, 0);  // a request the device does not know stalls
  if (reply.size() > req.wLength) reply.resize(req.wLength);
  const uint32_t n = static_cast<uint32_t>(reply.size());
  urb.inOffset = 8;
  finish(urb, 0, std::move(reply), n);
}

}  // namespace sim
