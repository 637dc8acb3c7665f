#pragma once
// Hands scan-button events to one scan application the user chose (its target path: a desktop
// entry or an executable), through the session-bus signal "ExecutePushScan" (MonitorBus.h).
//
// notify(): when the target runs, the event is posted at once; otherwise it is queued and the
// target is launched. Any "FinishLaunching" (from whatever program) posts the queued events in
// the order they came, then empties the queue; with an empty queue it posts nothing. An event
// stays queued when the launch fails, until some program announces "FinishLaunching".
//
// The monitor keeps one Notifier per target path for its whole life, so that queued events
// survive until they are posted. The object observes "FinishLaunching" from its construction
// to its destruction. Main thread only (the queue has a lock all the same).
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class QDBusMessage;

class Notifier : public QObject {
  Q_OBJECT

 public:
  // How the target is started and recognised; empty members use DesktopApplication and
  // RunningProcesses.
  struct Launcher {
    std::function<bool(const QString& targetPath)> launchTarget;
    std::function<bool(const QString& targetPath)> isTargetRunning;
  };

  Notifier(const QString& targetPath, QDBusConnection bus, Launcher launcher = {}, QObject* parent = nullptr);
  ~Notifier() override;

  // The USB form, the network form, and the map form they both go through.
  void notify(const QString& modelName, uint16_t vendorID, uint16_t productID, const QString& serialNumber);
  void notify(const QString& modelName, const QString& MACAddress, const QString& IPAddress);
  void notify(const QVariantMap& event);

  void postNotification(const QVariantMap& event);
  bool launchTarget();
  bool isTargetRunning() const;

  const QString& targetPath() const { return m_targetPath; }
  std::size_t queued() const;

 private slots:
  void finishLaunching(const QDBusMessage& message);

 private:
  QString m_targetPath;
  QDBusConnection m_bus;
  Launcher m_launcher;
  mutable std::mutex m_lock;
  std::vector<QVariantMap> m_events;
};
