#pragma once
// logind's manager on a private system bus, for the monitor's tests.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

// logind's manager on the private system bus: hands out a delay inhibitor (the write end of a
// pipe whose read end it keeps) and sends PrepareForShutdown when told.
class FakeLogind : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
 public:
  explicit FakeLogind(QDBusConnection bus) : m_bus(bus) {
    m_registered = m_bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this, QDBusConnection::ExportAllSlots) &&
                   m_bus.registerService(QStringLiteral("org.freedesktop.login1"));
  }
  ~FakeLogind() override {
    for (int fd : m_readEnds) ::close(fd);
  }
  bool registered() const { return m_registered; }
  int inhibitCalls() const { return static_cast<int>(m_readEnds.size()); }
  QString lastMode;
  // The last inhibitor handed out is held by somebody (its write end is open).
  bool lastHeld() const {
    if (m_readEnds.empty()) return false;
    pollfd p{m_readEnds.back(), POLLIN, 0};
    return !(::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP));
  }
  void prepareForShutdown(bool start) {
    QDBusMessage m = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                               QStringLiteral("org.freedesktop.login1.Manager"),
                                               QStringLiteral("PrepareForShutdown"));
    m << start;
    m_bus.send(m);
  }

 public slots:
  QDBusUnixFileDescriptor Inhibit(const QString&, const QString&, const QString&, const QString& mode) {
    lastMode = mode;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    m_readEnds.push_back(fds[0]);
    QDBusUnixFileDescriptor handed(fds[1]);  // a copy of its own
    ::close(fds[1]);
    return handed;
  }

 private:
  QDBusConnection m_bus;
  bool m_registered = false;
  std::vector<int> m_readEnds;
};

