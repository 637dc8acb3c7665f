#pragma once
// Collects the lines written to the system log while it lives (instead of syslog).
#include <QString>
#include <QStringList>
#include <mutex>

#include "platform/SystemLog.h"

class LogCapture {
 public:
  LogCapture() {
    m_previous = platform::setSystemLogSink([this](const QString& line) {
      std::lock_guard lock(m_mutex);
      m_lines << line;
    });
  }
  ~LogCapture() { platform::setSystemLogSink(m_previous); }
  QStringList lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
  }
  bool contains(const QString& line) const { return lines().contains(line); }
  void clear() {
    std::lock_guard lock(m_mutex);
    m_lines.clear();
  }

 private:
  mutable std::mutex m_mutex;
  QStringList m_lines;
  platform::SystemLogSink m_previous;
};
