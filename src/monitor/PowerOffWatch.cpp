#include "monitor/PowerOffWatch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>

#include "monitor/ScannerUtility/MonitorDebugLog.h"

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
}  // namespace

PowerOffWatch::PowerOffWatch(QDBusConnection systemBus, QObject* parent) : QObject(parent), m_bus(systemBus) {}

PowerOffWatch::~PowerOffWatch() { release(); }

bool PowerOffWatch::start() {
  if (!m_bus.isConnected()) return false;
  m_watching = m_bus.connect(kService, kPath, kManager, QStringLiteral("PrepareForShutdown"), this,
                             SLOT(onPrepareForShutdown(bool)));
  if (m_watching) takeInhibitor();
  return m_watching;
}

void PowerOffWatch::takeInhibitor() {
  if (!m_watching || m_fd >= 0) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
  call << QStringLiteral("shutdown") << QStringLiteral("Tullet")
       << QStringLiteral("Removing this computer from the scanner's PC list") << QStringLiteral("delay");
  const quint64 request = ++m_request;
  auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
    watcher->deleteLater();
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
    if (reply.isError()) {
      MonitorDebugLog::line(QStringLiteral("power-off inhibitor refused: %1").arg(reply.error().message()));
      return;
    }
    // An answer that comes after a release (or a second request) is not wanted any more.
    if (request != m_request || m_fd >= 0) return;
    // A copy of our own, close-on-exec: what the monitor starts must not hold the inhibitor,
    // or logind would wait for the last of those programs instead of for the removal.
    const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return;
    m_fd = fd;
    emit inhibitorTaken();
  });
}

void PowerOffWatch::release() {
  ++m_request;
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

void PowerOffWatch::onPrepareForShutdown(bool start) { emit prepareForShutdown(start); }
