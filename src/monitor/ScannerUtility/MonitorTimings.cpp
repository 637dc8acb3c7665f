#include "monitor/ScannerUtility/MonitorTimings.h"

#include <mutex>
#include <thread>

#include "monitor/ScannerUtility/MonitorRunLoop.h"

namespace {
std::mutex g_mutex;
MonitorTimings g_timings;
MonitorTimings::PauseFunction g_pause;
}  // namespace

MonitorTimings MonitorTimings::current() {
  std::lock_guard lock(g_mutex);
  return g_timings;
}

MonitorTimings MonitorTimings::set(const MonitorTimings& timings) {
  std::lock_guard lock(g_mutex);
  const MonitorTimings previous = g_timings;
  g_timings = timings;
  return previous;
}

void MonitorTimings::pause(ms duration, const std::function<bool()>& until) {
  PauseFunction f;
  ms slice;
  {
    std::lock_guard lock(g_mutex);
    f = g_pause;
    slice = g_timings.slice;
  }
  if (f) {
    f(duration);
    return;
  }
  if (!until) {
    if (duration.count() > 0) std::this_thread::sleep_for(duration);
    return;
  }
  MonitorRunLoop::runUntil(duration, until, slice);
}

MonitorTimings::PauseFunction MonitorTimings::setPauseFunction(PauseFunction f) {
  std::lock_guard lock(g_mutex);
  PauseFunction previous = std::move(g_pause);
  g_pause = std::move(f);
  return previous;
}
