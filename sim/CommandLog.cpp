#include "CommandLog.h"

namespace sim {

void CommandLog::append(LoggedCommand entry) {
  std::function<void(const LoggedCommand&)> listener;
  {
    std::lock_guard lock(m_mutex);
    m_entries.push_back(entry);
    listener = m_listener;
  }
  m_changed.notify_all();
  if (listener) listener(entry);
}

std::vector<LoggedCommand> CommandLog::entries() const {
  std::lock_guard lock(m_mutex);
  return m_entries;
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
  return m_changed.wait_for(lock, timeout, [&] { return m_entries.size() >= n; });
}

void CommandLog::setListener(std::function<void(const LoggedCommand&)> listener) {
  std::lock_guard lock(m_mutex);
  m_listener = std::move(listener);
}

}  // namespace sim
