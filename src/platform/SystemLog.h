#pragma once
// The one way this program writes to the system log (syslog; journald picks it up).
//
// Tests can install a sink that receives every line instead of syslog, so they can assert on
// the exact texts. The sink is process-wide; setting an empty function restores syslog.

#include <QString>
#include <functional>

namespace platform {

// Writes one entry holding exactly `line`. Safe to call from any thread.
void systemLog(const QString& line);

using SystemLogSink = std::function<void(const QString&)>;
// Replaces syslog with `sink` (empty: back to syslog). Returns the previous sink.
SystemLogSink setSystemLogSink(SystemLogSink sink);

}  // namespace platform
