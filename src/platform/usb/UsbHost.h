#pragma once
// The USB host layer: the table of operations every USB backend implements.
//
// The scanner's USB transport (src/USB) reaches the device only through these operations, on
// the process's current host (usbHost() below). Two backends fill the table:
//   - LibusbHost (LibusbHost.h): real devices through libusb-1.0; the default.
//   - FakeUsbHost (FakeUsbHost.h): scripted devices for tests, and devices whose bulk pipes are
//     served by the in-process scanner simulator.
//
// The model
// ---------
//  - A *device reference* (DeviceRef) names one attached device found by findDevices. It is a
//    plain number, valid as long as the device stays attached; it owns nothing and needs no
//    release.
//  - openDevice turns a reference into a *device handle*; closeDevice ends it. Interfaces of an
//    open device are listed by number (interfaceNumbers) and claimed by openInterface, which
//    gives an *interface handle*; closeInterface ends the claim.
//  - Transfers name a pipe of an open interface by its *pipe reference*: 0 is the device's
//    control pipe, 1..N are the interface's endpoints in the order its descriptor lists them
//    (N = numberOfEndpoints).
//  - Handles are non-zero numbers; 0 never names anything. A handle is valid from the call that
//    gave it until the matching close, on the host that gave it. Passing a stale or foreign
//    handle answers UsbResult::NotOpen; it is never undefined behaviour.
//
// Threads: a host may be called from any thread, but one device is driven by one thread at a
// time (the transport above runs one exchange at a time). Transfers block the calling thread.
//
// Time limits: nothing here waits without one. Every bulk or interrupt transfer carries the
// limit its caller chose (the scanner transport and the push-scan monitor choose their own); a
// transfer that has not finished by then is cancelled and answers TimedOut. Control requests
// and the other operations are bounded by each backend's own fixed limits.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The results of every operation. The four named conditions are those the transport's logic
// acts on; everything else is "some other error", kept apart only for the diagnostics.
enum class UsbResult : int {
  Success = 0,
  ExclusiveAccess = 1,  // another program (or another handle of ours) holds the device or interface
  PipeStalled = 2,      // the endpoint answered with a stall (halt)
  NotResponding = 3,    // the device did not acknowledge the transfer (protocol error)
  NotOpen = 4,          // the handle names nothing open, or the device/interface was not opened
  NoDevice = 5,         // the device is gone (unplugged) or the reference names none
  AccessDenied = 6,     // the system refused access (missing udev permission)
  Overflow = 7,         // the device sent more than was asked for
  InvalidArgument = 8,  // a pipe reference out of range, a null buffer with a length, ...
  OtherError = 9,
  TimedOut = 10,        // the transfer did not finish within the caller's limit and was cancelled
};

enum class UsbDirection : uint8_t { Out, In, Any };  // Any: the control pipe
enum class UsbTransferType : uint8_t { Control, Isochronous, Bulk, Interrupt };

struct UsbPipeProperties {
  UsbDirection direction = UsbDirection::Any;
  UsbTransferType type = UsbTransferType::Control;
  uint8_t endpointAddress = 0;  // bEndpointAddress (direction bit included); 0 for the control pipe
  uint16_t maxPacketSize = 0;
};

using DeviceRef = uint32_t;
using DeviceHandle = uint32_t;
using InterfaceHandle = uint32_t;

struct UsbDeviceMatch {
  DeviceRef ref = 0;
  std::string name;  // for diagnostics only; never parsed
};

// The setup stage of a control request and where its data goes.
struct UsbControlSetup {
  uint8_t bmRequestType = 0;
  uint8_t bRequest = 0;
  uint16_t wValue = 0;
  uint16_t wIndex = 0;
  uint16_t wLength = 0;  // bytes of `data` the request may move
};

class UsbHost {
 public:
  virtual ~UsbHost() = default;

  // ---- Devices ---------------------------------------------------------------------------

  // The attached devices with this vendor and product ID, in the order the system lists them.
  // Empty when there are none, and also when USB cannot be reached at all (no USB support, no
  // device nodes); never blocks on a device.
  virtual std::vector<UsbDeviceMatch> findDevices(uint16_t vendorId, uint16_t productId) = 0;

  // Opens the device `ref`. `*device` receives a handle whenever the device could be reached,
  // even when the open itself failed: the result then says why (AccessDenied, ...), the handle
  // still answers numberOfConfigurations and interfaceNumbers from the descriptors, and
  // openInterface answers NotOpen. Without a handle (`*device` 0) the result is the reason
  // (NoDevice, ...). A handle must be ended with closeDevice in every case.
  virtual UsbResult openDevice(DeviceRef ref, DeviceHandle* device) = 0;

  // bNumConfigurations of the device descriptor.
  virtual UsbResult numberOfConfigurations(DeviceHandle device, uint8_t* count) = 0;

  // The interface numbers of the device's current configuration (or its first one when it has
  // none set), in descriptor order, any class, subclass, protocol or alternate setting.
  virtual UsbResult interfaceNumbers(DeviceHandle device, std::vector<uint8_t>* numbers) = 0;

  // Claims interface `number` of an open device exclusively. A claim that another program or
  // handle holds answers ExclusiveAccess. On success `*iface` is the new handle.
  virtual UsbResult openInterface(DeviceHandle device, uint8_t number, InterfaceHandle* iface) = 0;

  // ---- Pipes of an open interface --------------------------------------------------------

  virtual UsbResult numberOfEndpoints(InterfaceHandle iface, uint8_t* count) = 0;
  // Pipe 0 answers direction Any, type Control.
  virtual UsbResult pipeProperties(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props) = 0;

  // One transfer of `size` bytes to a bulk (or interrupt) out pipe: it blocks until the device
  // took the bytes, the transfer failed, or `timeout` passed (TimedOut; the transfer is
  // cancelled). `*moved` receives the count the device took, also when the transfer failed or
  // timed out part-way. A `timeout` below 1 ms counts as 1 ms: 0 never means "no limit" here.
  virtual UsbResult writePipe(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                              uint32_t* moved, std::chrono::milliseconds timeout) = 0;
  // One transfer of at most `size` bytes from a bulk (or interrupt) in pipe, limited by
  // `timeout` as writePipe is. `*got` receives the count delivered; a device may end the
  // transfer early (a short read), which is a success with `*got` < `size`.
  virtual UsbResult readPipe(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size,
                             uint32_t* got, std::chrono::milliseconds timeout) = 0;


  // Whether the pipe is halted: PipeStalled when it is, Success when it is not, or the error
  // that kept the host from finding out.
  virtual UsbResult pipeStatus(InterfaceHandle iface, uint8_t pipeRef) = 0;
  // Clears a halt on the pipe (host and device side) so the next transfer can run.
  virtual UsbResult clearPipeStall(InterfaceHandle iface, uint8_t pipeRef) = 0;
  // Ends any transfer pending on the pipe.
  virtual UsbResult abortPipe(InterfaceHandle iface, uint8_t pipeRef) = 0;

  // A request on the control pipe (pipe 0) of the interface's device; `data` holds at least
  // `setup.wLength` bytes. `*transferred` receives the bytes moved in the data stage. Bounded by
  // the backend's own limit (a device that never answers gives TimedOut).
  virtual UsbResult controlRequest(InterfaceHandle iface, const UsbControlSetup& setup, void* data,
                                   uint16_t* transferred) = 0;

  // ---- Closing ---------------------------------------------------------------------------

  // Ends the claim. The handle is gone afterwards whatever the result; a failure only tells
  // that the system did not confirm the release.
  virtual UsbResult closeInterface(InterfaceHandle iface) = 0;
  // Closes the device (and any claim still held through it). The handle is gone afterwards
  // whatever the result.
  virtual UsbResult closeDevice(DeviceHandle device) = 0;
};

// The process's current host. Never null: until one is installed it is the LibusbHost.
UsbHost& usbHost();
// Installs `host` (not owned; must outlive every handle opened through it) and answers the
// previous one. nullptr restores the default LibusbHost.
UsbHost* setUsbHost(UsbHost* host);

}  // namespace platform
