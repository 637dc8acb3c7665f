#include "USB/Wraper.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "USB/USBControl.h"
#include "USB/UsbIds.h"

namespace {
constexpr uint32_t kCommandLength = sizeof(FCL_VENDOR_CMD);    // 16
constexpr uint32_t kStatusLength = sizeof(FCL_DEVICE_STATUS);  // 32

std::chrono::milliseconds atLeastOneMs(std::chrono::milliseconds t) {
  return std::max(t, std::chrono::milliseconds(1));
}

std::atomic<std::chrono::milliseconds::rep> g_defaultBulkTimeoutMs{Wraper::kBulkTransferTimeout.count()};
}  // namespace

std::chrono::milliseconds Wraper::setDefaultBulkTransferTimeout(std::chrono::milliseconds timeout) {
  return std::chrono::milliseconds(g_defaultBulkTimeoutMs.exchange(atLeastOneMs(timeout).count()));
}

std::chrono::milliseconds Wraper::defaultBulkTransferTimeout() {
  return std::chrono::milliseconds(g_defaultBulkTimeoutMs.load());
}

Wraper::Wraper() : m_bulkTimeout(defaultBulkTransferTimeout()) {}
Wraper::~Wraper() = default;

void Wraper::setBulkTransferTimeout(std::chrono::milliseconds timeout) { m_bulkTimeout = atLeastOneMs(timeout); }

bool Wraper::deviceLost() const { return m_pobjUSB && m_pobjUSB->deviceLost(); }

// ---- Open and close ------------------------------------------------------------------------------

int Wraper::OpenScanner() {
  // The old connection goes first: its claim would keep the new open from the same scanner.
  m_pobjUSB.reset();
  m_pobjUSB = std::make_unique<CFISHUSBControl>();
  int r = m_pobjUSB->CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7315W);
  if (r != 0) r = m_pobjUSB->CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7305);
  return r;
}

int Wraper::OpenScannerBNT() {
  m_pobjUSB.reset();
  m_pobjUSB = std::make_unique<CFISHUSBControl>();
  return m_pobjUSB->CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7315W);
}

int Wraper::OpenScannerB() {
  m_pobjUSB.reset();
  m_pobjUSB = std::make_unique<CFISHUSBControl>();
  return m_pobjUSB->CreateScannerFile(usbids::kScannerVendorId, usbids::kProductIdQMX7305);
}

int Wraper::CloseScanner() {
  // The (now empty) control object stays: later transfers fail with its diagnostics.
  if (!m_pobjUSB) return -1;
  return m_pobjUSB->CloseScannerFile();
}

// ---- Exchange phases -----------------------------------------------------------------------------

int Wraper::SendCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status) {
  if (!m_pobjUSB || !cmd || !status) return -1;
  uint32_t ack = 0;
  if (m_pobjUSB->WriteScannerFile(cmd, kCommandLength, &ack, m_bulkTimeout) != 0 || ack != kCommandLength) return -1;
  std::memset(&m_sFISHStatus, 0, sizeof m_sFISHStatus);
  // The scanner may answer with fewer than 32 bytes; whatever arrived is the status, and
  // lastStatusBytes() tells how much that was.
  m_statusBytes = 0;
  if (m_pobjUSB->ReadScannerFile(status, kStatusLength, &ack, m_bulkTimeout) != 0) return -1;
  m_statusBytes = ack;
  return 0;
}

int Wraper::SendData(const void* data, uint32_t length) {
  if (!m_pobjUSB || (length && !data)) return -1;
  uint32_t ack = 0;
  if (m_pobjUSB->WriteScannerFile(data, length, &ack, m_bulkTimeout) != 0 || ack != length) return -1;
  return 0;
}

int Wraper::GetData(void* data, uint32_t length) {
  if (!m_pobjUSB || (length && !data)) return -1;
  uint32_t ack = 0;
  if (m_pobjUSB->ReadScannerFile(data, length, &ack, m_bulkTimeout) != 0 || ack != length) return -1;
  return 0;
}

int Wraper::Write2Command(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, const void* data,
                          uint32_t length) {
  if (!m_pobjUSB || !cmd || !status) return -1;
  if (SendData(cmd, kCommandLength) != 0) return -1;
  if (SendData(data, length) != 0) return -1;
  uint32_t ack = 0;
  std::memset(&m_sFISHStatus, 0, sizeof m_sFISHStatus);
  m_statusBytes = 0;
  if (m_pobjUSB->ReadScannerFile(status, kStatusLength, &ack, m_bulkTimeout) != 0) return -1;
  m_statusBytes = ack;
  return 0;
}

// ---- Control-pipe lock ---------------------------------------------------------------------------

int Wraper::CtrlPipeLockScanner() {
  if (!m_pobjUSB) return 0;
  return m_pobjUSB->CtrlPipeLockScanner() == 1 ? -1 : 0;
}

int Wraper::CtrlPipeUnlockScanner() {
  if (!m_pobjUSB) return 0;
  return m_pobjUSB->CtrlPipeUnLockScanner() == 1 ? -1 : 0;
}
