#pragma once
// The USB host over libusb-1.0: real devices, through the system's usbfs device nodes.
//
// - The libusb context is made on first use. When it cannot be made (no USB support, no
//   /dev/bus/usb in a container) every search answers "no device" at once and nothing else
//   is tried.
// - A DeviceRef is the device's bus number and address ((bus << 8) | address): it stays
//   valid while the device stays attached and needs no release.
// - openInterface claims the interface through usbfs, which is exclusive: a claim held by
//   another program or by a kernel driver answers ExclusiveAccess. No kernel driver is ever
//   detached.
// - Bulk and interrupt transfers have no time-out, except through writePipeWithin and
//   readPipeWithin (libusb's own transfer time-out). pipeStatus asks the endpoint with a
//   standard GET_STATUS request (limited by kPipeStatusTimeoutMs); abortPipe has nothing to
//   do, since every transfer of this host is synchronous on its caller's thread, so nothing is
//   pending when its caller asks.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/usb/UsbHost.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace platform {

class LibusbHost : public UsbHost {
 public:
  static constexpr unsigned kPipeStatusTimeoutMs = 1000;

  // How the libusb context is made; libusb_init unless a test wants it to fail.
  using InitFunction = std::function<int(libusb_context**)>;
  explicit LibusbHost(InitFunction init = {});
  ~LibusbHost() override;
  LibusbHost(const LibusbHost&) = delete;
  LibusbHost& operator=(const LibusbHost&) = delete;

  // libusb's error code as our result.
  static UsbResult fromLibusb(int code);

  std::vector<UsbDeviceMatch> findDevices(uint16_t vendorId, uint16_t productId) override;
  UsbResult openDevice(DeviceRef ref, DeviceHandle* device) override;
  UsbResult numberOfConfigurations(DeviceHandle device, uint8_t* count) override;
  UsbResult interfaceNumbers(DeviceHandle device, std::vector<uint8_t>* numbers) override;
  UsbResult openInterface(DeviceHandle device, uint8_t number, InterfaceHandle* iface) override;
  UsbResult numberOfEndpoints(InterfaceHandle iface, uint8_t* count) override;
  UsbResult pipeProperties(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props) override;
  UsbResult writePipe(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                      uint32_t* moved) override;
  UsbResult readPipe(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size,
                     uint32_t* got) override;
  UsbResult writePipeWithin(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size, uint32_t* moved,
                            std::chrono::milliseconds limit) override;
  UsbResult readPipeWithin(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size, uint32_t* got,
                           std::chrono::milliseconds limit) override;
  UsbResult pipeStatus(InterfaceHandle iface, uint8_t pipeRef) override;
  UsbResult clearPipeStall(InterfaceHandle iface, uint8_t pipeRef) override;
  UsbResult abortPipe(InterfaceHandle iface, uint8_t pipeRef) override;
  UsbResult controlRequest(InterfaceHandle iface, const UsbControlSetup& setup, void* data,
                           uint16_t* transferred) override;
  UsbResult closeInterface(InterfaceHandle iface) override;
  UsbResult closeDevice(DeviceHandle device) override;

 private:
  struct OpenDevice {
    libusb_device* device = nullptr;         // referenced while the handle lives
    libusb_device_handle* handle = nullptr;  // null when libusb_open failed
  };
  struct OpenInterface {
    DeviceHandle device = 0;
    uint8_t number = 0;
    std::vector<UsbPipeProperties> endpoints;  // pipe references 1..N
  };

  libusb_context* context();  // null when libusb cannot be used here
  uint32_t nextHandle();
  // The device handle behind an interface handle, and its pipe; null/false when stale.
  libusb_device_handle* pipeOf(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props,
                               UsbResult* error);
  // `limitMs` 0: no time-out.
  UsbResult transfer(InterfaceHandle iface, uint8_t pipeRef, UsbDirection direction, void* data,
                     uint32_t size, uint32_t* count, unsigned limitMs = 0);

  InitFunction m_init;
  std::mutex m_mutex;
  bool m_initTried = false;
  libusb_context* m_context = nullptr;
  uint32_t m_lastHandle = 0;
  std::map<DeviceHandle, OpenDevice> m_devices;
  std::map<InterfaceHandle, OpenInterface> m_interfaces;
};

}  // namespace platform
