#pragma once
// A private D-Bus daemon for one test (it stands in for the session bus or the system bus), on a
// socket in a temporary folder, stopped when the fixture goes. When the daemon cannot run here,
// isRunning() is false and why() says why; the test then skips with that reason.
#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  bool isRunning() const { return !m_address.isEmpty(); }
  const QString& why() const { return m_why; }
  const QString& address() const { return m_address; }
  // A new connection of its own to the bus (a name unique in the process).
  QDBusConnection connect();
  // Kills the daemon (SIGKILL), as a session's bus goes at logout: every connection is cut.
  void kill();

 private:
  QTemporaryDir m_dir;
  QProcess m_daemon;
  QString m_address;
  QString m_why;
  QStringList m_names;
};

// Runs the event loop until `done` answers true or `limit` passed; answers `done()`.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));
