#include "monitor/ScannerUtility/MonitorRunLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <poll.h>
#include <thread>

void MonitorRunLoop::runFor(std::chrono::milliseconds duration, int fd, bool forWrite) {
  if (duration.count() < 0) duration = std::chrono::milliseconds(0);
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread()) {
    if (fd >= 0) {
      pollfd p{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
      poll(&p, 1, static_cast<int>(duration.count()));
    } else {
      std::this_thread::sleep_for(duration);
    }
    return;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  std::unique_ptr<QSocketNotifier> notifier;
  if (fd >= 0) {
    notifier = std::make_unique<QSocketNotifier>(fd, forWrite ? QSocketNotifier::Write : QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    // Ready already: serve what is pending once, then go back to the descriptor.
    pollfd p{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    if (poll(&p, 1, 0) > 0) {
      notifier->setEnabled(false);
      QCoreApplication::processEvents();
      return;
    }
  }
  timer.start(duration);
  loop.exec();
}

void MonitorRunLoop::runUntil(std::chrono::milliseconds duration, const std::function<bool()>& until,
                              std::chrono::milliseconds slice) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + duration;
  slice = std::max(slice, milliseconds(1));
  while (!until()) {
    const auto left = ceil<milliseconds>(deadline - steady_clock::now());
    if (left.count() <= 0) break;
    runFor(std::min(left, slice));
  }
}
