#pragma once
// The simulated scanner as a real USB device for libusb: umockdev emulates the device in sysfs,
// udev and /dev/bus/usb, and this object answers the usbdevfs requests libusb sends to its
// device node from the simulator's protocol engine (sim::UsbScanner, the engine the TCP and
// fake-USB tests talk to). LibusbHost runs unchanged on top: device list, descriptors, open,
// claim, the asynchronous URBs of its bulk and control transfers, stall clearing, release.
//
// Who sees the device: a process that runs under umockdev's preload library (LD_PRELOAD of
// libumockdev-preload.so.0, as umockdev-wrapper does) with UMOCKDEV_DIR naming rootDir(). That
// is this process itself in the libusb tests (available() says whether it runs so; the testbed
// must exist before the libusb context is made, so make the LibusbHost after this), or a
// program started with that environment (zerelta-scanner-sim-usb, main_usb.cpp): umockdev
// forwards its requests to this process over a socket in the testbed.
//
// What the emulated device does
//  - One configuration, one interface (0) with the scanner's pipes: bulk out 0x01, bulk in
//    0x82, interrupt in 0x83.
//  - Claiming interface 0 answers EBUSY for the first busyClaims claims (a claim held by another
//    program), then succeeds; releasing it ends the engine's conversation.
//  - A bulk-out URB hands its bytes to the engine. A bulk-in URB completes with what the engine
//    has written; while the engine has nothing for it (it is still working, or it waits for
//    input) the URB stays pending, as a real device that NAKs, until libusb discards it at the
//    end of its time limit. Interrupt-in URBs stay pending until discarded.
//  - stallNext(endpoint): the next URB on that endpoint fails with EPIPE and halts it; a
//    GET_STATUS request on the endpoint reports the halt until CLEAR_HALT.
//  - Vendor control requests answer controlReply (cut to wLength) and are recorded.
// The simulator's fault plan (faults()) applies as on the other links: a short or cut answer
// reaches libusb as a short bulk-in transfer, a silent or late one as a pending URB.
//
// Threads: umockdev calls the handler on its own worker thread; the URBs are served on a
// thread of this object, so a transfer waiting for the engine never blocks umockdev.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CommandLog.h"
#include "FaultPlan.h"
#include "ScannerModel.h"
#include "UsbScanner.h"

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;
struct _UMockdevIoctlClient;

namespace sim {

class UmockdevScanner {
 public:
  // Whether this process runs under umockdev's preload library.
  static bool available();
  // Why the tests cannot run here ("" when they can).
  static std::string unavailableReason();

  // A testbed with one scanner of this product ID at bus 1, address 2; the simulated model is
  // the USB-only one for its product ID, the network model otherwise.
  explicit UmockdevScanner(uint16_t productId);
  ~UmockdevScanner();  // stops the engine and removes the testbed
  UmockdevScanner(const UmockdevScanner&) = delete;
  UmockdevScanner& operator=(const UmockdevScanner&) = delete;

  ScannerModel& model() { return m_model; }
  FaultPlan& faults() { return m_faults; }
  CommandLog& log() { return m_log; }

  // The testbed's folder: UMOCKDEV_DIR of a process that is to see the device.
  std::string rootDir() const;

  // ---- Script (set before the operation it concerns) ----------------------------------------
  void setBusyClaims(int n);
  void stallNext(uint8_t endpoint);
  void setControlReply(std::vector<uint8_t> reply);

  // ---- Record -------------------------------------------------------------------------------
  struct ControlRequest {
    uint8_t bmRequestType, bRequest;
    uint16_t wValue, wIndex, wLength;
  };
  std::vector<ControlRequest> controlRequests() const;
  // usbdevfs requests by name ("claim 0", "release 0", "clear_halt 0x01", "discard 0x82", ...)
  // in the order they came; URB submissions are left out (see urbs()).
  std::vector<std::string> requests() const;
  // "<endpoint> <length>" of every URB submitted, in order ("0x01 16", "0x82 32").
  std::vector<std::string> urbs() const;
  bool halted(uint8_t endpoint) const;
  int claimsHeld() const;

 // ---- The glue umockdev calls (on its worker thread) ------------------------------------------
  struct IoctlHandler;
  bool handle(_UMockdevIoctlClient* client);

 private:
  struct Urb;

  // On umockdev's worker thread.
  bool submit(_UMockdevIoctlClient* client);
  bool reap(_UMockdevIoctlClient* client);
  bool discard(_UMockdevIoctlClient* client);
  // On the fixture's device thread.
  void serve();
  void serveOne(Urb& urb);
  void serveControl(Urb& urb);
  void finish(Urb& urb, int status, std::vector<uint8_t> in, uint32_t actual);

  ScannerModel m_model;
  FaultPlan m_faults;
  CommandLog m_log;
  std::shared_ptr<UsbScanner> m_scanner;

  _UMockdevTestbed* m_testbed = nullptr;
  _UMockdevIoctlBase* m_handler = nullptr;
  std::string m_devnode;

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::shared_ptr<Urb>> m_queue;     // submitted, not yet served
  std::deque<std::shared_ptr<Urb>> m_reapable;  // finished or discarded, not yet reaped
  std::vector<std::shared_ptr<Urb>> m_inFlight;  // submitted, not reaped (for discard)
  bool m_stopping = false;
  int m_busyClaims = 0;
  std::set<unsigned> m_claimed;
  std::set<uint8_t> m_stallNext;
  std::set<uint8_t> m_halted;
  std::set<uint8_t> m_endedShort;  // in endpoints whose last URB came back short
  std::vector<uint8_t> m_controlReply = std::vector<uint8_t>(5, 0);
  std::vector<ControlRequest> m_controlRequests;
  std::vector<std::string> m_requests;
  std::vector<std::string> m_urbs;
  std::thread m_thread;
};

}  // namespace sim
