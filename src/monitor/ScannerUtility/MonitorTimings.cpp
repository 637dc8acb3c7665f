#include "monitor/ScannerUtility/MonitorTimings.h"

#include <mutex>
#include <thread>

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

void MonitorTimings::pause(ms duration) {
  PauseFunction f;
  {
    std::lock_guard lock(g_mutex);
    f = g_pause;
  }
  if (f)
    f(duration);
  else if (duration.count() > 0)
    std::this_thread::sleep_for(duration);
}

MonitorTimings::PauseFunction MonitorTimings::setPauseFunction(PauseFunction f) {
  std::lock_guard lock(g_mutex);
  PauseFunction previous = std::move(g_pause);
  g_pause = std::move(f);
  return previous;
}
