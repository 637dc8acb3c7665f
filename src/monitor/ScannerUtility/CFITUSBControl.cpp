#include "monitor/ScannerUtility/CFITUSBControl.h"

#include <cstdio>

#include "monitor/ScannerUtility/MonitorDebugLog.h"

using platform::UsbResult;

CFITUSBControl::CFITUSBControl() : m_host(platform::usbHost()), m_timings(MonitorTimings::current()) {}

CFITUSBControl::~CFITUSBControl() { CloseScannerFile(); }

void CFITUSBControl::dropInterface() {
  if (m_pinterface) m_host.closeInterface(m_pinterface);
  m_pinterface = 0;
  byBulkInPipeRef = byBulkOutPipeRef = byInterruptInRef = 0;
  m_bulkInMaxPacket = 0;
}

// ---- Open ----------------------------------------------------------------------------------------

bool CFITUSBControl::CreateScannerFile() {
  if (m_pdev || m_pinterface) CloseScannerFile();
  const auto vendor = static_cast<uint16_t>(scannerVendorID);
  const auto product = static_cast<uint16_t>(scannerProductID);
  for (const platform::UsbDeviceMatch& service : m_host.findDevices(vendor, product)) {
    if (MonitorDebugLog::enabled()) {
      std::fprintf(stderr, "deviceName: %s\n", service.name.c_str());
      std::fflush(stderr);
    }
    const UsbResult r = OpenDeviceInService(service);
    if (r == UsbResult::Success) return true;
    // Another program holds this one: give it a moment, then try the next device.
    if (r == UsbResult::ExclusiveAccess) MonitorTimings::pause(m_timings.exclusiveAccessPause);
  }
  return false;
}

UsbResult CFITUSBControl::OpenDeviceInService(const platform::UsbDeviceMatch& service) {
  UsbResult r = m_host.openDevice(service.ref, &m_pdev);
  auto giveUp = [this](UsbResult why) {
    dropInterface();
    if (m_pdev) m_host.closeDevice(m_pdev);
    m_pdev = 0;
    return why;
  };
  if (r != UsbResult::Success) return giveUp(r);

  uint8_t configurations = 0;
  r = m_host.numberOfConfigurations(m_pdev, &configurations);
  if (r != UsbResult::Success) return giveUp(r);
  if (configurations == 0) return giveUp(UsbResult::NotOpen);
  std::vector<uint8_t> interfaces;
  r = m_host.interfaceNumbers(m_pdev, &interfaces);
  if (r != UsbResult::Success) return giveUp(r);

  UsbResult last = UsbResult::Success;  // a device without interfaces opens with none
  for (uint8_t number : interfaces) {
    // Only the last interface opened is kept; an earlier claim is given back rather than held
    // with no way to reach it.
    dropInterface();
    last = OpenInterfaceInService(number);
  }
  if (last != UsbResult::Success) return giveUp(last);
  return UsbResult::Success;
}

UsbResult CFITUSBControl::OpenInterfaceInService(uint8_t number) {
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
  for (unsigned ref = 1; ref <= endpoints; ++ref) {
    platform::UsbPipeProperties p;
    r = m_host.pipeProperties(m_pinterface, static_cast<uint8_t>(ref), &p);
    if (r != UsbResult::Success) return r;
    const auto pipe = static_cast<uint8_t>(ref);
    if (p.type == platform::UsbTransferType::Bulk && p.direction == platform::UsbDirection::Out) {
      if (!byBulkOutPipeRef) byBulkOutPipeRef = pipe;
    } else if (p.type == platform::UsbTransferType::Bulk && p.direction == platform::UsbDirection::In) {
      if (!byBulkInPipeRef) {
        byBulkInPipeRef = pipe;
        m_bulkInMaxPacket = p.maxPacketSize;
      }
    } else if (p.type == platform::UsbTransferType::Interrupt && p.direction == platform::UsbDirection::In) {
      if (!byInterruptInRef) byInterruptInRef = pipe;
    }
  }
  return UsbResult::Success;
}

// ---- Transfers ------------------------------------------------------------------------------------

bool CFITUSBControl::WriteScannerFile(const void* buffer, uint32_t size, uint32_t* ack) {
  return transfer(true, const_cast<void*>(buffer), size, ack, m_timings.usbTry) == UsbResult::Success;
}

bool CFITUSBControl::ReadScannerFile(void* buffer, uint32_t size, uint32_t* ack) {
  return transfer(false, buffer, size, ack, m_timings.usbTry) == UsbResult::Success;
}

UsbResult CFITUSBControl::transfer(bool write, void* buffer, uint32_t size, uint32_t* ack,
                                   std::chrono::milliseconds limit) {
  if (ack) *ack = 0;
  if (!m_pdev || !m_pinterface) return UsbResult::NotOpen;
  const uint8_t pipe = write ? byBulkOutPipeRef : byBulkInPipeRef;
  uint32_t moved = 0;
  const UsbResult r = write ? m_host.writePipe(m_pinterface, pipe, buffer, size, &moved, limit)
                            : m_host.readPipe(m_pinterface, pipe, buffer, size, &moved, limit);
  if (r == UsbResult::PipeStalled || r == UsbResult::NotResponding) {
    // Clear a halt so the next transfer can run; this one has failed all the same.
    if (m_host.pipeStatus(m_pinterface, pipe) == UsbResult::PipeStalled) m_host.clearPipeStall(m_pinterface, pipe);
  }
  if (ack) *ack = moved;
  return r;
}

// ---- Close ----------------------------------------------------------------------------------------

bool CFITUSBControl::CloseScannerFile() {
  bool ok = true;
  if (m_pinterface && m_host.closeInterface(m_pinterface) != UsbResult::Success) ok = false;
  m_pinterface = 0;
  // The device goes too when the interface would not close: a device left open with no
  // reference to it would stay claimed until the program ends.
  if (m_pdev && m_host.closeDevice(m_pdev) != UsbResult::Success) ok = false;
  m_pdev = 0;
  byBulkInPipeRef = byBulkOutPipeRef = byInterruptInRef = 0;
  m_bulkInMaxPacket = 0;
  return ok;
}
