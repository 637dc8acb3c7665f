#include "monitor/Notifier.h"

#include <QDBusMessage>

#include "monitor/DesktopApplication.h"
#include "monitor/MonitorBus.h"
#include "monitor/RunningProcesses.h"

Notifier::Notifier(const QString& targetPath, QDBusConnection bus, Launcher launcher, QObject* parent)
    : QObject(parent), m_targetPath(targetPath), m_bus(bus), m_launcher(std::move(launcher)) {
  m_bus.connect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kFinishLaunching, this,
                SLOT(finishLaunching(QDBusMessage)));
}

Notifier::~Notifier() {
  m_bus.disconnect(QString(), monitorbus::kPath, monitorbus::kInterface, monitorbus::kFinishLaunching, this,
                   SLOT(finishLaunching(QDBusMessage)));
}

void Notifier::notify(const QString& modelName, uint16_t vendorID, uint16_t productID, const QString& serialNumber) {
  notify(QVariantMap{{QStringLiteral("ModelName"), modelName},
                     {QStringLiteral("VendorID"), int(vendorID)},
                     {QStringLiteral("ProductID"), int(productID)},
                     {QStringLiteral("SerialNumber"), serialNumber},
                     {QStringLiteral("ScanKeyType"), QStringLiteral("SCAN")}});
}

void Notifier::notify(const QString& modelName, const QString& MACAddress, const QString& IPAddress) {
  notify(QVariantMap{{QStringLiteral("ModelName"), modelName},
                     {QStringLiteral("MACAddress"), MACAddress},
                     {QStringLiteral("IPAddress"), IPAddress},
                     {QStringLiteral("ScanKeyType"), QStringLiteral("SCAN")}});
}

void Notifier::notify(const QVariantMap& event) {
  if (isTargetRunning()) {
    postNotification(event);
    return;
  }
  {
    std::lock_guard lock(m_lock);
    m_events.push_back(event);
  }
  launchTarget();
}

void Notifier::postNotification(const QVariantMap& event) {
  QDBusMessage signal =
      QDBusMessage::createSignal(monitorbus::kPath, monitorbus::kInterface, monitorbus::kExecutePushScan);
  signal << event;
  m_bus.send(signal);
}

bool Notifier::launchTarget() {
  if (m_launcher.launchTarget) return m_launcher.launchTarget(m_targetPath);
  return DesktopApplication(m_targetPath).launch();
}

bool Notifier::isTargetRunning() const {
  if (m_launcher.isTargetRunning) return m_launcher.isTargetRunning(m_targetPath);
  const DesktopApplication app(m_targetPath);
  return app.isValid() && RunningProcesses::runsProgram(app.program());
}

std::size_t Notifier::queued() const {
  std::lock_guard lock(m_lock);
  return m_events.size();
}

void Notifier::finishLaunching(const QDBusMessage&) {
  std::lock_guard lock(m_lock);
  for (const QVariantMap& event : m_events) postNotification(event);
  m_events.clear();
}
