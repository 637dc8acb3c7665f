#pragma once
// The computer's power-off, as logind announces it on the system bus.
//
// start() takes a delay inhibitor ("shutdown", mode "delay"), so that logind waits (up to its
// own InhibitDelayMaxSec) until the monitor has removed this computer from the PC list, and
// subscribes to org.freedesktop.login1.Manager's PrepareForShutdown. prepareForShutdown(true)
// is emitted before power-off, prepareForShutdown(false) when a power-off was called off. The
// holder releases the inhibitor with release() when it has done its work, and takes it again
// with takeInhibitor() when the power-off was called off.
//
// Without a system bus (containers, some test machines) start() answers false and the monitor
// runs on without it. The inhibitor is asked for asynchronously: nothing here blocks.
#include <QDBusConnection>
#include <QObject>
#include <QString>

class PowerOffWatch : public QObject {
  Q_OBJECT

 public:
  explicit PowerOffWatch(QDBusConnection systemBus, QObject* parent = nullptr);
  ~PowerOffWatch() override;  // releases the inhibitor

  // False when there is no system bus to watch.
  bool start();
  void takeInhibitor();
  void release();
  // The inhibitor's descriptor is held.
  bool holdsInhibitor() const { return m_fd >= 0; }

 signals:
  void prepareForShutdown(bool start);
  // The inhibitor was taken (after takeInhibitor()); for those who wait on it.
  void inhibitorTaken();

 private slots:
  void onPrepareForShutdown(bool start);

 private:
  QDBusConnection m_bus;
  bool m_watching = false;
  int m_fd = -1;
  quint64 m_request = 0;  // the takeInhibitor() call whose answer counts
};
