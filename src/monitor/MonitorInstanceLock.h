#pragma once
// One monitor per user and program: an exclusive flock(2) on a file named after the program
// ("<program>.lock"). The lock belongs to the open file description, so it holds while this
// process runs and the kernel drops it however the process ends (a crash and SIGKILL included);
// the descriptor is close-on-exec, so a scan application the monitor started (which may outlive
// it) never holds it.
//
// The file lies in the session's runtime folder ($XDG_RUNTIME_DIR) when that is an absolute
// folder owned by this user; otherwise, or when the lock cannot be taken there for any reason but
// another holder, in `fallbackDir` (made, mode 0700, when missing). The two starts of one program
// for one user under one session see the same runtime folder; a program started with a runtime
// folder of its own (the tests, the demo) never meets the user's monitor.
#include <QString>

class MonitorInstanceLock {
 public:
  enum class Result {
    Taken,          // this process is the one monitor
    HeldElsewhere,  // another process holds the lock: this start must end
    Unavailable,    // no lock could be taken at all (no writable folder, no locking)
  };

  MonitorInstanceLock() = default;
  ~MonitorInstanceLock();  // releases the lock
  MonitorInstanceLock(const MonitorInstanceLock&) = delete;
  MonitorInstanceLock& operator=(const MonitorInstanceLock&) = delete;

  Result take(const QString& program, const QString& runtimeDir, const QString& fallbackDir);
  // The file whose lock was asked for last (for the debug log).
  const QString& path() const { return m_path; }
  bool held() const { return m_fd >= 0; }

 private:
  Result takeIn(const QString& folder, const QString& program);

  int m_fd = -1;
  QString m_path;
};
