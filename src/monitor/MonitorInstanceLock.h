#pragma once
// One monitor per user and program: an exclusive flock(2) on a file named after the program
// ("<program>.lock"). The lock belongs to the open file description, so it holds while this
// process runs and the kernel drops it however the process ends (a crash and SIGKILL included);
// the descriptor is close-on-exec, so a scan application the monitor started (which may outlive
// it) never holds it.
//
// The lock is taken in two places, and a start ends when either is held by another process:
//   - the session's runtime folder ($XDG_RUNTIME_DIR), when that is an absolute folder owned by
//     this user: "<program>.lock";
//   - `homeDir` (made, mode 0700, when missing): "<program>@<host name>.lock", so that a start
//     that does not see the session's runtime folder (a login shell, cron, a cleared
//     environment) still meets the running monitor, while a home folder shared by several
//     computers lets each of them run its own.
// A program started with a runtime folder and a home of its own (the tests, the demo) never
// meets the user's monitor.
#include <QString>
#include <QStringList>

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

  Result take(const QString& program, const QString& runtimeDir, const QString& homeDir);
  // The file held by another process, or else the one asked for last (for the debug log).
  const QString& path() const { return m_path; }
  // After take(), for the debug log: each of the two places that gave no lock, with its folder
  // and why ("runtime folder: \"/run/user/1000\" belongs to another user; home folder: ..."),
  // or empty when both gave one.
  const QString& whyNotTaken() const { return m_why; }
  bool held() const { return m_runtimeFd >= 0 || m_homeFd >= 0; }

 private:
  Result takeIn(const QString& folder, const QString& fileName, int& fd);
  void release();

  int m_runtimeFd = -1;
  int m_homeFd = -1;
  QString m_path;
  QString m_why;
};
