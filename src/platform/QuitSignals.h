#pragma once
// SIGTERM, SIGINT and SIGHUP (what a desktop sends at logout) as a request on the Qt event loop.
//
// The signal handler does no work: it writes the signal's number into a pipe, which is
// async-signal-safe, and a QSocketNotifier on the other end emits requested() from the event loop
// of the thread that made the object, where the program ends its work in order. The request is
// seen only when that thread runs its event loop: an exchange or a step in progress finishes
// first, within its own limit.
//
// One object per process at a time; its destructor restores the handlers that were there before.

#include <QObject>
#include <csignal>

class QSocketNotifier;

namespace platform {

class QuitSignals : public QObject {
  Q_OBJECT

 public:
  explicit QuitSignals(QObject* parent = nullptr);
  ~QuitSignals() override;
  QuitSignals(const QuitSignals&) = delete;
  QuitSignals& operator=(const QuitSignals&) = delete;

  // The pipe and the handlers are in place (false only when the system refused a pipe).
  bool isActive() const { return m_notifier != nullptr; }

 signals:
  // A quit signal arrived; `signalNumber` is SIGTERM, SIGINT or SIGHUP.
  void requested(int signalNumber);

 private:
  void readPipe();

  int m_pipe[2] = {-1, -1};
  QSocketNotifier* m_notifier = nullptr;
  struct sigaction m_previous[3] = {};
};

}  // namespace platform
