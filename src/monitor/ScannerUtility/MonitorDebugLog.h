#pragma once
// The monitor's debug log: one process-wide switch, off at start. While it is on, line() writes
// to the system log; while it is off, nothing is written. The monitor shows nothing to the user,
// so this log is the only trace of its failures. Safe to use from any thread.

#include <QString>

class MonitorDebugLog {
 public:
  static bool enabled();
  static void setEnabled(bool on);
  // One system-log entry holding `text`, when the switch is on.
  static void line(const QString& text);
};
