#include "monitor/ScannerUtility/USBWraper.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "monitor/ScannerUtility/MonitorRunLoop.h"

USBWraper::USBWraper() = default;
USBWraper::~USBWraper() = default;

bool USBWraper::OpenScanner(const QString& connection) {
  m_aborted = false;
  if (connection == QLatin1String(kUSBConnection)) {
    m_time.start = Clock::now();
    m_networkCtrl.reset();
    m_pobjUSB = std::make_unique<CFITUSBControl>();
    m_pobjUSB->scannerVendorID = scannerVendorID;
    m_pobjUSB->scannerProductID = scannerProductID;
    isUSBScan_ = true;
    return m_pobjUSB->CreateScannerFile();
  }
  m_pobjUSB.reset();
  m_networkCtrl = std::make_unique<NetworkControl>();
  m_networkCtrl->limitTo(m_time.outer);
  isUSBScan_ = false;
  return true;
}

void USBWraper::limitTo(std::optional<Clock::time_point> deadline) {
  m_time.outer = deadline;
  if (m_networkCtrl) m_networkCtrl->limitTo(deadline);
}

USBWraper::Clock::time_point USBWraper::deadline(bool event) const {
  return m_time.end(MonitorTimings::current(), event);
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
    const auto end = deadline(false);
    monitor::FCL_CMD block = *cmd;
    if (!usbPhase(true, &block, sizeof block, end, false)) return false;
    monitor::FCL_DEVICE_STATUS received{};
    if (!usbPhase(false, &received, sizeof received, end, false)) return false;
    std::memcpy(status, &received, sizeof received);
    return true;
  }
  return m_networkCtrl && m_networkCtrl->SendCommand(cmd, status);
}

bool USBWraper::SendData(const void* data, uint32_t length) {
  if (isUSBScan_) {
    std::vector<uint8_t> copy(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + length);
    return usbPhase(true, copy.data(), length, deadline(false), false);
  }
  return m_networkCtrl && m_networkCtrl->SendData(data, length);
}

bool USBWraper::GetData(void* buffer, uint32_t length) {
  if (length) std::memset(buffer, 0, length);
  if (isUSBScan_) return usbPhase(false, buffer, length, deadline(false), true);
  return m_networkCtrl && m_networkCtrl->GetData(buffer, length);
}

bool USBWraper::GetEventData(void* buffer, uint32_t length) {
  if (length) std::memset(buffer, 0, length);
  if (isUSBScan_) return usbPhase(false, buffer, length, deadline(true), true);
  return m_networkCtrl && m_networkCtrl->GetEventData(buffer, length);
}

bool USBWraper::usbPhase(bool write, void* buffer, uint32_t length, Clock::time_point deadline, bool toTheEnd) {
  const MonitorTimings t = MonitorTimings::current();
  auto* bytes = static_cast<uint8_t*>(buffer);
  // A read asks for whole packets, so that the transfer ends on the scanner's short packet and
  // never overflows; what comes beyond `length` is read and dropped.
  const uint32_t packet = m_pobjUSB ? m_pobjUSB->bulkInMaxPacket() : 512u;
  auto wholePackets = [packet](uint32_t n) { return std::max<uint32_t>(1, (n + packet - 1) / packet) * packet; };
  std::vector<uint8_t> chunk;
  uint32_t done = 0;
  int failures = 0;
  for (;;) {
    if (m_aborted || !m_pobjUSB) return false;
    const auto left = std::chrono::ceil<ms>(deadline - Clock::now());
    if (left.count() <= 0) {
      MonitorDebugLog::line(QStringLiteral("USB transfer: out of time"));
      return false;
    }
    // Once all that was asked for is here, what may follow has been sent already: a short try, so
    // that a transfer of whole packets without a closing short packet costs no full try.
    const ms limit = std::min(done >= length ? t.usbDrainTry : t.usbTry, left);
    uint32_t ask = length - std::min(done, length);
    uint8_t* into = bytes + std::min(done, length);
    if (!write && toTheEnd) {
      ask = wholePackets(done >= length ? length : ask);
      chunk.resize(ask);
      into = chunk.data();
    }
    uint32_t moved = 0;
    const platform::UsbResult r = m_pobjUSB->transfer(write, into, ask, &moved, limit);
    moved = std::min(moved, ask);
    if (into == chunk.data() && done < length)
      std::memcpy(bytes + done, chunk.data(), std::min(moved, length - done));
    done += moved;

    if (r == platform::UsbResult::NoDevice || r == platform::UsbResult::NotOpen) {
      MonitorDebugLog::line(QStringLiteral("USB transfer: the device is gone"));
      return false;
    }
    const bool ended = r == platform::UsbResult::Success && moved < ask;  // a short packet
    if (done >= length) {
      // Everything asked for is here. A read to the end goes on until the scanner's transfer
      // has ended: a short packet, or a try that finds nothing more.
      if (write || !toTheEnd) return r == platform::UsbResult::Success;
      if (ended || moved == 0 || r != platform::UsbResult::Success) return true;
      MonitorRunLoop::runFor(ms(0));
      continue;
    }
    if (r == platform::UsbResult::TimedOut && moved > 0) {
      MonitorRunLoop::runFor(ms(0));
      continue;
    }
    if (r != platform::UsbResult::Success || moved == 0) {
      // A try that timed out only ran out of its share of the phase's time. Any other failure
      // ends a command or data-out phase; a data read tries again, and a failed try, or one that
      // brought nothing, counts against the failures it survives.
      if (r != platform::UsbResult::TimedOut && !toTheEnd) return false;
      if (failures >= t.usbReadMaxFailures) return false;
      ++failures;
      if (r == platform::UsbResult::TimedOut) {
        MonitorRunLoop::runFor(ms(0));
        continue;
      }
    }
    const auto pauseLeft = std::chrono::ceil<ms>(deadline - Clock::now());
    MonitorRunLoop::runFor(std::max(ms(0), std::min(t.usbReadPause, pauseLeft)));
  }
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
  m_aborted = true;
  if (m_networkCtrl) m_networkCtrl->abort();
}
