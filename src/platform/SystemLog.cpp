#include "platform/SystemLog.h"

#include <mutex>
#include <syslog.h>

namespace platform {
namespace {
std::mutex sinkMutex;
SystemLogSink& currentSink() {
  static SystemLogSink sink;
  return sink;
}
}  // namespace

void systemLog(const QString& line) {
  SystemLogSink sink;
  {
    std::lock_guard lock(sinkMutex);
    sink = currentSink();
  }
  if (sink) {
    sink(line);
    return;
  }
  const QByteArray utf8 = line.toUtf8();
  syslog(LOG_NOTICE, "%s", utf8.constData());
}

SystemLogSink setSystemLogSink(SystemLogSink sink) {
  std::lock_guard lock(sinkMutex);
  SystemLogSink previous = std::move(currentSink());
  currentSink() = std::move(sink);
  return previous;
}

}  // namespace platform
