#include "ScannerModel.h"

#include <algorithm>
#include <cctype>

namespace sim {

ScannerModel::ScannerModel(Kind kind) : m_kind(kind) {}

std::string ScannerModel::modelName() const {
  return m_kind == Kind::Qmx7315w ? "QMX-7315W" : "QMX-7305";
}

std::optional<ScannerModel::Kind> ScannerModel::kindFromName(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "qmx7315w") return Kind::Qmx7315w;
  if (lower == "qmx7305") return Kind::Qmx7305;
  return std::nullopt;
}

FCL_DEVICE_STATUS ScannerModel::baseStatus() const {
  std::lock_guard lock(m_mutex);
  return m_status;
}

void ScannerModel::setBaseStatus(const FCL_DEVICE_STATUS& status) {
  std::lock_guard lock(m_mutex);
  m_status = status;
}

void ScannerModel::setFWInfo(uint16_t fwInfo) {
  std::lock_guard lock(m_mutex);
  m_status.wFWInfo = fwInfo;
}

void ScannerModel::setRecord(uint8_t dtc, uint16_t dtq, Bytes bytes) {
  std::lock_guard lock(m_mutex);
  m_records[{dtc, dtq}] = std::move(bytes);
}

std::optional<Bytes> ScannerModel::record(uint8_t dtc, uint16_t dtq) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_records.find({dtc, dtq});
  if (it == m_records.end()) return std::nullopt;
  return it->second;
}

void ScannerModel::clearRecords() {
  std::lock_guard lock(m_mutex);
  m_records.clear();
}

void ScannerModel::setHandler(uint8_t dtc, uint16_t dtq, Handler handler) {
  std::lock_guard lock(m_mutex);
  m_handlers[{dtc, dtq}] = std::move(handler);
}

void ScannerModel::clearHandlers() {
  std::lock_guard lock(m_mutex);
  m_handlers.clear();
}

std::optional<ScannerModel::Handler> ScannerModel::handlerFor(const FCL_VENDOR_CMD& cmd) const {
  std::lock_guard lock(m_mutex);
  const auto it = m_handlers.find({cmd.byDTC, cmd.wDTQ});
  if (it == m_handlers.end()) return std::nullopt;
  return it->second;  // a copy: the handler runs without the lock, so it may call back into us
}

uint32_t ScannerModel::command(const FCL_VENDOR_CMD& cmd) {
  if (const auto h = handlerFor(cmd); h && h->command) return h->command(cmd);
  return 0;
}

uint32_t ScannerModel::read(const FCL_VENDOR_CMD& cmd, Bytes& out) {
  if (const auto h = handlerFor(cmd); h && h->read) return h->read(cmd, out);
  std::lock_guard lock(m_mutex);
  const auto it = m_records.find({cmd.byDTC, cmd.wDTQ});
  if (it != m_records.end()) {
    std::copy_n(it->second.begin(), std::min(it->second.size(), out.size()), out.begin());
  }
  return 0;
}

uint32_t ScannerModel::acceptWrite(const FCL_VENDOR_CMD& cmd) {
  if (const auto h = handlerFor(cmd); h && h->acceptWrite) return h->acceptWrite(cmd);
  return 0;
}

uint32_t ScannerModel::write(const FCL_VENDOR_CMD& cmd, const Bytes& in) {
  if (const auto h = handlerFor(cmd); h && h->write) return h->write(cmd, in);
  std::lock_guard lock(m_mutex);
  m_records[{cmd.byDTC, cmd.wDTQ}] = in;
  return 0;
}

FCL_DEVICE_STATUS ScannerModel::statusFor(uint32_t lastErr) const {
  FCL_DEVICE_STATUS status = baseStatus();
  if (lastErr != 0) status.dwLastErr = lastErr;
  return status;
}

}  // namespace sim
