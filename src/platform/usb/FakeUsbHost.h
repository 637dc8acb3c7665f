#pragma once
// A USB host for tests: scripted devices, and devices whose bulk pipes are served by a peer
// object (the scanner simulator's USB front end, sim/UsbScanner, is one).
//
// A test adds devices, installs the host with platform::setUsbHost, runs the code under test
// and then looks at what happened (calls(), the peer's record). The script of a device can be
// changed between calls. Device references are 1 + the index addDevice answered.
//
// What a fake device does:
//  - findDevices lists the attached devices with the IDs asked for, in the order they were added.
//  - openDevice answers Device::openResult (with a handle) or, for an unreachable device,
//    NoDevice without one. After an openResult other than Success the interfaces answer
//    NotOpen, as a device that could not be opened does.
//  - openInterface answers ExclusiveAccess for the first Device::busyClaims claims, and
//    whenever the interface is claimed through another handle; then it succeeds.
//  - Transfers check the pipe's direction and type, then: a failure scripted with
//    failNextTransfer; PipeStalled while the pipe is halted (a scripted stall halts it until
//    clearPipeStall); otherwise the peer answers.
//  - Control requests answer Device::controlResult and, on success, Device::controlReply cut
//    to wLength.
// Every operation is logged in calls() as "<operation> #<device index>[ <argument>...]". A
// transfer with a time limit (writePipeWithin, readPipeWithin) is logged as the plain one with
// "within <ms>" after its arguments; the fake does not end a peer's answer early, so its peers
// answer within their own bounds.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usb/UsbHost.h"

namespace platform {

class FakeUsbHost : public UsbHost {
 public:
  // The device's side of its bulk and interrupt pipes. Called without the host's lock, from the
  // thread that runs the transfer.
  class PipePeer {
   public:
    virtual ~PipePeer() = default;
    // The host sends `size` bytes on out pipe `pipeRef`; `*taken` is how many the device took.
    virtual UsbResult received(uint8_t pipeRef, const uint8_t* data, uint32_t size, uint32_t* taken) = 0;
    // The host asks for at most `size` bytes on in pipe `pipeRef`; `*given` is how many came.
    virtual UsbResult send(uint8_t pipeRef, uint8_t* data, uint32_t size, uint32_t* given) = 0;
    // The interface was released: any conversation in progress is over.
    virtual void released() {}
  };

  // Records what the host wrote and answers reads from a queue, one queued reply per read.
  // A read with nothing queued answers NotResponding with no bytes (a real device would hold
  // the host forever).
  class ScriptedPeer : public PipePeer {
   public:
    struct Reply {
      std::vector<uint8_t> bytes;  // cut to the size asked for
      UsbResult result = UsbResult::Success;
    };
    void queueRead(std::vector<uint8_t> bytes, UsbResult result = UsbResult::Success);
    // Answered by the writes that follow, in turn: how many bytes the device takes (short
    // writes). Without an entry a write takes everything.
    void queueWriteLimit(uint32_t taken, UsbResult result = UsbResult::Success);
    std::vector<std::vector<uint8_t>> writes() const;  // every write's taken bytes, in order
    size_t pendingReads() const;

    UsbResult received(uint8_t pipeRef, const uint8_t* data, uint32_t size, uint32_t* taken) override;
    UsbResult send(uint8_t pipeRef, uint8_t* data, uint32_t size, uint32_t* given) override;

   private:
    struct Limit {
      uint32_t taken;
      UsbResult result;
    };
    mutable std::mutex m_mutex;
    std::vector<Reply> m_reads;
    std::vector<Limit> m_writeLimits;
    std::vector<std::vector<uint8_t>> m_writes;
  };

  struct Device {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string name = "fake scanner";
    bool attached = true;   // false: not listed by findDevices
    bool reachable = true;  // false: openDevice answers NoDevice without a handle
    UsbResult openResult = UsbResult::Success;
    uint8_t configurations = 1;
    std::vector<std::vector<UsbPipeProperties>> interfaces = {scannerPipes()};
    int busyClaims = 0;
    std::shared_ptr<PipePeer> peer = std::make_shared<ScriptedPeer>();
    UsbResult controlResult = UsbResult::Success;
    std::vector<uint8_t> controlReply = std::vector<uint8_t>(5, 0);
    UsbResult abortResult = UsbResult::Success;
    UsbResult closeInterfaceResult = UsbResult::Success;
    UsbResult closeDeviceResult = UsbResult::Success;
  };

  // The scanner's pipes: 1 bulk out (0x01), 2 bulk in (0x82), 3 interrupt in (0x83).
  static std::vector<UsbPipeProperties> scannerPipes();

  int addDevice(Device device);
  // The device's script; change it only while no call of the host is running.
  Device& device(int index);
  // The device's peer as a ScriptedPeer (the default peer); null for another kind.
  ScriptedPeer* scripted(int index);
  // The next transfer on that pipe answers `result` after moving `moved` bytes (not passed to
  // the peer). PipeStalled also halts the pipe until it is cleared.
  void failNextTransfer(int index, uint8_t pipeRef, UsbResult result, uint32_t moved = 0);
  bool halted(int index, uint8_t pipeRef) const;

  std::vector<std::string> calls() const;
  void clearCalls();
  size_t openDevices() const;     // device handles not yet closed
  size_t openInterfaces() const;  // interface handles not yet closed
  std::vector<UsbControlSetup> controlRequests() const;

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
  struct Failure {
    UsbResult result;
    uint32_t moved;
  };
  struct State {
    Device script;
    int claimsTried = 0;
    InterfaceHandle claimedBy = 0;
    std::map<uint8_t, Failure> failNext;  // by pipe reference
    std::map<uint8_t, bool> halted;
  };
  struct OpenIface {
    DeviceHandle device;
    int index;
    uint8_t number;
  };

  void log(const std::string& op, int index, const std::string& args = {});
  // The interface and its device's index; false when the handle is stale.
  bool lookup(InterfaceHandle iface, OpenIface* out) const;
  UsbResult transfer(InterfaceHandle iface, uint8_t pipeRef, UsbDirection direction, const char* op,
                     void* data, uint32_t size, uint32_t* count, const std::string& extra = {});

  mutable std::mutex m_mutex;
  std::vector<State> m_devices;
  uint32_t m_lastHandle = 0;
  std::map<DeviceHandle, int> m_openDevices;  // handle -> device index
  std::map<InterfaceHandle, OpenIface> m_openIfaces;
  std::vector<std::string> m_calls;
  std::vector<UsbControlSetup> m_controlRequests;
};

}  // namespace platform
