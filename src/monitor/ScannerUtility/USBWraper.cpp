#include "monitor/ScannerUtility/USBWraper.h"

#include <algorithm>
#include <chrono>
#include <cstring>

USBWraper::USBWraper() = default;
USBWraper::~USBWraper() = default;

bool USBWraper::OpenScanner(const QString& connection) {
  if (connection == QLatin1String(kUSBConnection)) {
    m_networkCtrl.reset();
    m_pobjUSB = std::make_unique<CFITUSBControl>();
    m_pobjUSB->scannerVendorID = scannerVendorID;
    m_pobjUSB->scannerProductID = scannerProductID;
    isUSBScan_ = true;
    return m_pobjUSB->CreateScannerFile();
  }
  m_pobjUSB.reset();
  m_networkCtrl = std::make_unique<NetworkControl>();
  isUSBScan_ = false;
  return true;
}

bool USBWraper::OpenConnect(const QString& connection) {
  if (connection == QLatin1String(kUSBConnection)) return true;
  return m_networkCtrl && m_networkCtrl->SocketOpenConnect(connection);
}

void USBWraper::CreateCommand(monitor::FCL_CMD* cmd, uint8_t operationCode, uint8_t controlCode, uint16_t dataType,
                              uint32_t dataLength) {
  std::memset(cmd, 0, sizeof *cmd);
  cmd->dwVendorID = monitor::FCL_VENDOR_ID;
  cmd->byOPCode = operationCode;
  cmd->byDTC = controlCode;
  cmd->wDTQ = dataType;
  cmd->dwDataLength = dataLength;
}

bool USBWraper::SendCommand(const monitor::FCL_CMD* cmd, monitor::FCL_DEVICE_STATUS* status) {
  if (isUSBScan_) {
    if (!m_pobjUSB) return false;
    uint32_t ack = 0;
    if (!m_pobjUSB->WriteScannerFile(cmd, sizeof *cmd, &ack) || ack != sizeof *cmd) return false;
    monitor::FCL_DEVICE_STATUS received{};
    if (!m_pobjUSB->ReadScannerFile(&received, sizeof received, &ack) || ack != sizeof received) return false;
    std::memcpy(status, &received, sizeof received);
    return true;
  }
  return m_networkCtrl && m_networkCtrl->SendCommand(cmd, status);
}

bool USBWraper::SendData(const void* data, uint32_t length) {
  if (isUSBScan_) {
    uint32_t ack = 0;
    return m_pobjUSB && m_pobjUSB->WriteScannerFile(data, length, &ack) && ack == length;
  }
  return m_networkCtrl && m_networkCtrl->SendData(data, length);
}

bool USBWraper::GetData(void* buffer, uint32_t length) {
  if (length) std::memset(buffer, 0, length);
  if (isUSBScan_) return usbRead(buffer, length);
  return m_networkCtrl && m_networkCtrl->GetData(buffer, length);
}

bool USBWraper::GetEventData(void* buffer, uint32_t length) {
  if (length) std::memset(buffer, 0, length);
  if (isUSBScan_) return usbRead(buffer, length);
  return m_networkCtrl && m_networkCtrl->GetEventData(buffer, length);
}

bool USBWraper::usbRead(void* buffer, uint32_t length) {
  const MonitorTimings t = MonitorTimings::current();
  const auto start = std::chrono::steady_clock::now();
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t received = 0;
  int failures = 0;
  while (received < length) {
    uint32_t ack = 0;
    const bool ok = m_pobjUSB && m_pobjUSB->ReadScannerFile(out + received, length - received, &ack);
    if (ok && ack > 0) {
      received += std::min(ack, length - received);
      if (received >= length) break;
    } else {
      // A failed read, or one that keeps answering nothing, counts against the same limit.
      if (failures >= t.usbReadMaxFailures) return false;
      ++failures;
    }
    if (std::chrono::steady_clock::now() - start >= t.usbReadTotal) return false;
    MonitorTimings::pause(t.usbReadPause);
  }
  return true;
}

bool USBWraper::CloseConnect() {
  if (m_networkCtrl) m_networkCtrl->CloseConnect();
  CloseScanner();
  return true;
}

bool USBWraper::CloseScanner() {
  if (isUSBScan_) {
    if (!m_pobjUSB) return false;
    if (!m_pobjUSB->CloseScannerFile()) return false;  // nothing stays open; the failure is reported
    m_pobjUSB.reset();
    return true;
  }
  m_networkCtrl.reset();
  return true;
}

void USBWraper::abort() {
  if (m_networkCtrl) m_networkCtrl->abort();
}
