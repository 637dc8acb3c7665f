#include "platform/usb/FakeUsbHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

// ---- ScriptedPeer ----------------------------------------------------------------------------

void FakeUsbHost::ScriptedPeer::queueRead(std::vector<uint8_t> bytes, UsbResult result) {
  std::lock_guard lock(m_mutex);
  m_reads.push_back({std::move(bytes), result});
}

void FakeUsbHost::ScriptedPeer::queueWriteLimit(uint32_t taken, UsbResult result) {
  std::lock_guard lock(m_mutex);
  m_writeLimits.push_back({taken, result});
}

std::vector<std::vector<uint8_t>> FakeUsbHost::ScriptedPeer::writes() const {
  std::lock_guard lock(m_mutex);
  return m_writes;
}

size_t FakeUsbHost::ScriptedPeer::pendingReads() const {
  std::lock_guard lock(m_mutex);
  return m_reads.size();
}

UsbResult FakeUsbHost::ScriptedPeer::received(uint8_t, const uint8_t* data, uint32_t size, uint32_t* taken) {
  std::lock_guard lock(m_mutex);
  Limit limit{size, UsbResult::Success};
  if (!m_writeLimits.empty()) {
    limit = m_writeLimits.front();
    m_writeLimits.erase(m_writeLimits.begin());
  }
  *taken = std::min(size, limit.taken);
  m_writes.emplace_back(data, data + *taken);
  return limit.result;
}

UsbResult FakeUsbHost::ScriptedPeer::send(uint8_t, uint8_t* data, uint32_t size, uint32_t* given) {
  std::lock_guard lock(m_mutex);
  *given = 0;
  if (m_reads.empty()) return UsbResult::NotResponding;
  Reply reply = std::move(m_reads.front());
  m_reads.erase(m_reads.begin());
  *given = std::min<uint32_t>(size, static_cast<uint32_t>(reply.bytes.size()));
  if (*given) std::memcpy(data, reply.bytes.data(), *given);
  return reply.result;
}

// ---- Scripting and observation -----------------------------------------------------------------

std::vector<UsbPipeProperties> FakeUsbHost::scannerPipes() {
  return {
      {UsbDirection::Out, UsbTransferType::Bulk, 0x01, 512},
      {UsbDirection::In, UsbTransferType::Bulk, 0x82, 512},
      {UsbDirection::In, UsbTransferType::Interrupt, 0x83, 8},
  };
}

int FakeUsbHost::addDevice(Device device) {
  std::lock_guard lock(m_mutex);
  m_devices.push_back(State{std::move(device), 0, 0, {}, {}});
  return static_cast<int>(m_devices.size()) - 1;
}

FakeUsbHost::Device& FakeUsbHost::device(int index) {
  std::lock_guard lock(m_mutex);
  return m_devices.at(static_cast<size_t>(index)).script;
}

FakeUsbHost::ScriptedPeer* FakeUsbHost::scripted(int index) {
  std::lock_guard lock(m_mutex);
  return dynamic_cast<ScriptedPeer*>(m_devices.at(static_cast<size_t>(index)).script.peer.get());
}

void FakeUsbHost::failNextTransfer(int index, uint8_t pipeRef, UsbResult result, uint32_t moved) {
  std::lock_guard lock(m_mutex);
  m_devices.at(static_cast<size_t>(index)).failNext[pipeRef] = Failure{result, moved};
}

bool FakeUsbHost::halted(int index, uint8_t pipeRef) const {
  std::lock_guard lock(m_mutex);
  const auto& h = m_devices.at(static_cast<size_t>(index)).halted;
  auto it = h.find(pipeRef);
  return it != h.end() && it->second;
}

std::vector<std::string> FakeUsbHost::calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

void FakeUsbHost::clearCalls() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
  m_controlRequests.clear();
}

size_t FakeUsbHost::openDevices() const {
  std::lock_guard lock(m_mutex);
  return m_openDevices.size();
}

size_t FakeUsbHost::openInterfaces() const {
  std::lock_guard lock(m_mutex);
  return m_openIfaces.size();
}

std::vector<UsbControlSetup> FakeUsbHost::controlRequests() const {
  std::lock_guard lock(m_mutex);
  return m_controlRequests;
}

void FakeUsbHost::log(const std::string& op, int index, const std::string& args) {
  std::string line = op + " #" + std::to_string(index);
  if (!args.empty()) line += " " + args;
  m_calls.push_back(std::move(line));
}

bool FakeUsbHost::lookup(InterfaceHandle iface, OpenIface* out) const {
  auto it = m_openIfaces.find(iface);
  if (it == m_openIfaces.end()) return false;
  *out = it->second;
  return true;
}

// ---- The host operations -------------------------------------------------------------------------

std::vector<UsbDeviceMatch> FakeUsbHost::findDevices(uint16_t vendorId, uint16_t productId) {
  std::lock_guard lock(m_mutex);
  std::vector<UsbDeviceMatch> found;
  for (size_t i = 0; i < m_devices.size(); ++i) {
    const Device& d = m_devices[i].script;
    if (d.attached && d.vendorId == vendorId && d.productId == productId)
      found.push_back({static_cast<DeviceRef>(i + 1), d.name});
  }
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", unsigned(vendorId), unsigned(productId));
  m_calls.push_back(std::string("findDevices ") + ids);
  return found;
}

UsbResult FakeUsbHost::openDevice(DeviceRef ref, DeviceHandle* device) {
  std::lock_guard lock(m_mutex);
  *device = 0;
  if (ref == 0 || ref > m_devices.size()) return UsbResult::NoDevice;
  const int index = static_cast<int>(ref - 1);
  const Device& d = m_devices[ref - 1].script;
  log("openDevice", index);
  if (!d.attached || !d.reachable) return UsbResult::NoDevice;
  *device = ++m_lastHandle;
  m_openDevices[*device] = index;
  return d.openResult;
}

UsbResult FakeUsbHost::numberOfConfigurations(DeviceHandle device, uint8_t* count) {
  std::lock_guard lock(m_mutex);
  auto it = m_openDevices.find(device);
  if (it == m_openDevices.end()) return UsbResult::NotOpen;
  *count = m_devices[static_cast<size_t>(it->second)].script.configurations;
  return UsbResult::Success;
}

UsbResult FakeUsbHost::interfaceNumbers(DeviceHandle device, std::vector<uint8_t>* numbers) {
  std::lock_guard lock(m_mutex);
  numbers->clear();
  auto it = m_openDevices.find(device);
  if (it == m_openDevices.end()) return UsbResult::NotOpen;
  const size_t n = m_devices[static_cast<size_t>(it->second)].script.interfaces.size();
  for (size_t i = 0; i < n; ++i) numbers->push_back(static_cast<uint8_t>(i));
  return UsbResult::Success;
}

UsbResult FakeUsbHost::openInterface(DeviceHandle device, uint8_t number, InterfaceHandle* iface) {
  std::lock_guard lock(m_mutex);
  *iface = 0;
  auto it = m_openDevices.find(device);
  if (it == m_openDevices.end()) return UsbResult::NotOpen;
  State& s = m_devices[static_cast<size_t>(it->second)];
  log("openInterface", it->second, std::to_string(number));
  if (s.script.openResult != UsbResult::Success) return UsbResult::NotOpen;
  if (number >= s.script.interfaces.size()) return UsbResult::NoDevice;
  if (s.claimsTried++ < s.script.busyClaims) return UsbResult::ExclusiveAccess;
  // One claim per device is enough for a scanner: any interface claimed elsewhere counts.
  if (s.claimedBy != 0) return UsbResult::ExclusiveAccess;
  *iface = ++m_lastHandle;
  s.claimedBy = *iface;
  m_openIfaces[*iface] = OpenIface{device, it->second, number};
  return UsbResult::Success;
}

UsbResult FakeUsbHost::numberOfEndpoints(InterfaceHandle iface, uint8_t* count) {
  std::lock_guard lock(m_mutex);
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  *count = static_cast<uint8_t>(m_devices[static_cast<size_t>(oi.index)].script.interfaces[oi.number].size());
  return UsbResult::Success;
}

UsbResult FakeUsbHost::pipeProperties(InterfaceHandle iface, uint8_t pipeRef, UsbPipeProperties* props) {
  std::lock_guard lock(m_mutex);
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  const auto& pipes = m_devices[static_cast<size_t>(oi.index)].script.interfaces[oi.number];
  if (pipeRef == 0) {
    *props = UsbPipeProperties{};
    return UsbResult::Success;
  }
  if (pipeRef > pipes.size()) return UsbResult::InvalidArgument;
  *props = pipes[pipeRef - 1];
  return UsbResult::Success;
}

UsbResult FakeUsbHost::transfer(InterfaceHandle iface, uint8_t pipeRef, UsbDirection direction, const char* op,
                                void* data, uint32_t size, uint32_t* count, const std::string& extra) {
  *count = 0;
  std::shared_ptr<PipePeer> peer;
  {
    std::lock_guard lock(m_mutex);
    OpenIface oi;
    if (!lookup(iface, &oi)) return UsbResult::NotOpen;
    State& s = m_devices[static_cast<size_t>(oi.index)];
    log(op, oi.index, std::to_string(pipeRef) + " " + std::to_string(size) + extra);
    const auto& pipes = s.script.interfaces[oi.number];
    if (pipeRef == 0 || pipeRef > pipes.size()) return UsbResult::InvalidArgument;
    const UsbPipeProperties& p = pipes[pipeRef - 1];
    if (p.direction != direction ||
        (p.type != UsbTransferType::Bulk && p.type != UsbTransferType::Interrupt))
      return UsbResult::InvalidArgument;
    if (auto f = s.failNext.find(pipeRef); f != s.failNext.end()) {
      const Failure failure = f->second;
      s.failNext.erase(f);
      *count = std::min(size, failure.moved);
      if (failure.result == UsbResult::PipeStalled) s.halted[pipeRef] = true;
      return failure.result;
    }
    if (s.halted[pipeRef]) return UsbResult::PipeStalled;
    peer = s.script.peer;
  }
  if (!peer) return UsbResult::NotResponding;
  UsbResult r;
  if (direction == UsbDirection::Out)
    r = peer->received(pipeRef, static_cast<const uint8_t*>(data), size, count);
  else
    r = peer->send(pipeRef, static_cast<uint8_t*>(data), size, count);
  *count = std::min(*count, size);
  return r;
}

UsbResult FakeUsbHost::writePipe(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                                 uint32_t* moved) {
  return transfer(iface, pipeRef, UsbDirection::Out, "write", const_cast<void*>(data), size, moved);
}

UsbResult FakeUsbHost::readPipe(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size, uint32_t* got) {
  return transfer(iface, pipeRef, UsbDirection::In, "read", data, size, got);
}

UsbResult FakeUsbHost::writePipeWithin(InterfaceHandle iface, uint8_t pipeRef, const void* data, uint32_t size,
                                       uint32_t* moved, std::chrono::milliseconds limit) {
  return transfer(iface, pipeRef, UsbDirection::Out, "write", const_cast<void*>(data), size, moved,
                  " within " + std::to_string(limit.count()));
}

UsbResult FakeUsbHost::readPipeWithin(InterfaceHandle iface, uint8_t pipeRef, void* data, uint32_t size,
                                      uint32_t* got, std::chrono::milliseconds limit) {
  return transfer(iface, pipeRef, UsbDirection::In, "read", data, size, got, " within " + std::to_string(limit.count()));
}

UsbResult FakeUsbHost::pipeStatus(InterfaceHandle iface, uint8_t pipeRef) {
  std::lock_guard lock(m_mutex);
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  State& s = m_devices[static_cast<size_t>(oi.index)];
  log("pipeStatus", oi.index, std::to_string(pipeRef));
  return s.halted[pipeRef] ? UsbResult::PipeStalled : UsbResult::Success;
}

UsbResult FakeUsbHost::clearPipeStall(InterfaceHandle iface, uint8_t pipeRef) {
  std::lock_guard lock(m_mutex);
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  State& s = m_devices[static_cast<size_t>(oi.index)];
  log("clearPipeStall", oi.index, std::to_string(pipeRef));
  s.halted[pipeRef] = false;
  return UsbResult::Success;
}

UsbResult FakeUsbHost::abortPipe(InterfaceHandle iface, uint8_t pipeRef) {
  std::lock_guard lock(m_mutex);
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  log("abortPipe", oi.index, std::to_string(pipeRef));
  return m_devices[static_cast<size_t>(oi.index)].script.abortResult;
}

UsbResult FakeUsbHost::controlRequest(InterfaceHandle iface, const UsbControlSetup& setup, void* data,
                                      uint16_t* transferred) {
  std::lock_guard lock(m_mutex);
  *transferred = 0;
  OpenIface oi;
  if (!lookup(iface, &oi)) return UsbResult::NotOpen;
  const Device& d = m_devices[static_cast<size_t>(oi.index)].script;
  char args[48];
  std::snprintf(args, sizeof args, "%02x %02x %04x %04x %u", unsigned(setup.bmRequestType), unsigned(setup.bRequest),
                unsigned(setup.wValue), unsigned(setup.wIndex), unsigned(setup.wLength));
  log("control", oi.index, args);
  m_controlRequests.push_back(setup);
  if (d.controlResult != UsbResult::Success) return d.controlResult;
  const uint16_t n = static_cast<uint16_t>(std::min<size_t>(setup.wLength, d.controlReply.size()));
  if (n) std::memcpy(data, d.controlReply.data(), n);
  *transferred = n;
  return UsbResult::Success;
}

UsbResult FakeUsbHost::closeInterface(InterfaceHandle iface) {
  std::shared_ptr<PipePeer> peer;
  UsbResult result;
  {
    std::lock_guard lock(m_mutex);
    OpenIface oi;
    if (!lookup(iface, &oi)) return UsbResult::NotOpen;
    State& s = m_devices[static_cast<size_t>(oi.index)];
    log("closeInterface", oi.index);
    m_openIfaces.erase(iface);
    if (s.claimedBy == iface) s.claimedBy = 0;
    peer = s.script.peer;
    result = s.script.closeInterfaceResult;
  }
  if (peer) peer->released();
  return result;
}

UsbResult FakeUsbHost::closeDevice(DeviceHandle device) {
  std::vector<std::shared_ptr<PipePeer>> released;
  UsbResult result;
  {
    std::lock_guard lock(m_mutex);
    auto it = m_openDevices.find(device);
    if (it == m_openDevices.end()) return UsbResult::NotOpen;
    const int index = it->second;
    State& s = m_devices[static_cast<size_t>(index)];
    log("closeDevice", index);
    // Closing a device ends the claims still held through it.
    for (auto i = m_openIfaces.begin(); i != m_openIfaces.end();) {
      if (i->second.device == device) {
        if (s.claimedBy == i->first) s.claimedBy = 0;
        released.push_back(s.script.peer);
        i = m_openIfaces.erase(i);
      } else {
        ++i;
      }
    }
    m_openDevices.erase(it);
    result = s.script.closeDeviceResult;
  }
  for (auto& p : released)
    if (p) p->released();
  return result;
}

}  // namespace platform
