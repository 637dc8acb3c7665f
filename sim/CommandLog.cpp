#include "CommandLog.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {
const char* opcodeName(uint8_t op) {
  switch (op) {
    case FOP_INQUIRY: return "INQUIRY";
    case FOP_COMMAND: return "COMMAND";
    case FOP_READ: return "READ";
    case FOP_WRITE: return "WRITE";
    case FOP_WRITE2: return "WRITE2";
    default: return "?";
  }
}
}  // namespace

std::string describe(const LoggedCommand& e) {
  char line[160];
  std::snprintf(line, sizeof line, "opcode 0x%02X (%s) class 0x%02X qualifier %u length %u%s", e.cmd.byOPCode,
                opcodeName(e.cmd.byOPCode), e.cmd.byDTC, static_cast<unsigned>(e.cmd.wDTQ),
                static_cast<unsigned>(e.cmd.dwDataLength), e.completed ? "" : " (incomplete)");
  return line;
}

void CommandLog::append(LoggedCommand entry) {
  std::function<void(const LoggedCommand&)> listener;
  {
    std::lock_guard lock(m_mutex);
    listener = m_listener;
  }
  if (listener) listener(entry);
  {
    std::lock_guard lock(m_mutex);
    m_entries.push_back(std::move(entry));
    while (m_entries.size() > m_capacity) m_entries.pop_front();
  }
  m_changed.notify_all();
}

std::vector<LoggedCommand> CommandLog::entries() const {
  std::lock_guard lock(m_mutex);
  return {m_entries.begin(), m_entries.end()};
}

void CommandLog::setCapacity(std::size_t capacity) {
  std::lock_guard lock(m_mutex);
  m_capacity = capacity;
  while (m_entries.size() > m_capacity) m_entries.pop_front();
}

std::size_t CommandLog::capacity() const {
  std::lock_guard lock(m_mutex);
  return m_capacity;
}

std::size_t CommandLog::size() const {
  std::lock_guard lock(m_mutex);
  return m_entries.size();
}

void CommandLog::clear() {
  std::lock_guard lock(m_mutex);
  m_entries.clear();
}

bool CommandLog::waitForCount(std::size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(m_mutex);
  return m_changed.wait_for(lock, timeout, [&] { return m_entries.size() >= std::min(n, m_capacity); });
}

void CommandLog::setListener(std::function<void(const LoggedCommand&)> listener) {
  std::lock_guard lock(m_mutex);
  m_listener = std::move(listener);
}

}  // namespace sim
