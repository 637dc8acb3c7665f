#include "monitor/ScannerUtility/MonitorDebugLog.h"

#include <atomic>

#include "platform/SystemLog.h"

namespace {
std::atomic<bool> g_enabled{false};
}

bool MonitorDebugLog::enabled() { return g_enabled.load(); }

void MonitorDebugLog::setEnabled(bool on) { g_enabled = on; }

void MonitorDebugLog::line(const QString& text) {
  if (g_enabled.load()) platform::systemLog(text);
}
