#include "platform/dnssd/Dnssd.h"

#include <QCoreApplication>
#include <QSet>
#include <cstdio>
#include <mutex>

#include "platform/SystemLog.h"
#include "platform/dnssd/AvahiBrowser.h"

namespace platform {

// ---- Errors --------------------------------------------------------------------------------

namespace {
const char* codeName(DnssdError::Code code) {
  switch (code) {
    case DnssdError::Code::Timeout: return "timeout";
    case DnssdError::Code::Unavailable: return "unavailable";
    case DnssdError::Code::NotFound: return "not found";
    case DnssdError::Code::Failed: break;
  }
  return "failed";
}
}  // namespace

QVariantMap DnssdError::toMap() const {
  return {{QStringLiteral("code"), QString::fromLatin1(codeName(code))}, {QStringLiteral("message"), message}};
}

QString DnssdError::toString() const {
  return QStringLiteral("{code = %1; message = %2}").arg(QString::fromLatin1(codeName(code)), message);
}

// ---- The process's backend -----------------------------------------------------------------

namespace {
// The default is made on first use and freed while the application object is destroyed, so
// its socket notifiers and timers never outlive the event dispatcher.
AvahiBrowser* defaultBackendObject = nullptr;
Dnssd* current = nullptr;

void freeDefaultBackend() {
  delete defaultBackendObject;
  defaultBackendObject = nullptr;
}

Dnssd& defaultBackend() {
  if (!defaultBackendObject) {
    defaultBackendObject = new AvahiBrowser;
    qAddPostRoutine(freeDefaultBackend);
  }
  return *defaultBackendObject;
}
}  // namespace

Dnssd& dnssd() { return current ? *current : defaultBackend(); }

Dnssd* setDnssd(Dnssd* backend) {
  Dnssd* previous = current;
  current = backend;
  return previous ? previous : &defaultBackend();
}

// ---- The backend's log ---------------------------------------------------------------------

namespace {
std::mutex logHookMutex;
DnssdLogHook& logHook() {
  static DnssdLogHook hook;
  return hook;
}
}  // namespace

DnssdLogHook setDnssdLogHook(DnssdLogHook hook) {
  std::lock_guard lock(logHookMutex);
  DnssdLogHook previous = std::move(logHook());
  logHook() = std::move(hook);
  return previous;
}

void dnssdLogLine(const QString& line) {
  DnssdLogHook hook;
  {
    std::lock_guard lock(logHookMutex);
    hook = logHook();
  }
  if (hook) {
    hook(line);
    return;
  }
  systemLog(line);
  std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

// ---- Helpers -------------------------------------------------------------------------------

DnssdHandle nextDnssdHandle() {
  static DnssdHandle last = 0;
  return ++last;
}

QString withoutTrailingDot(const QString& name) { return name.endsWith(u'.') ? name.chopped(1) : name; }

TxtRecord txtRecordFromStrings(const QList<QByteArray>& strings) {
  TxtRecord record;
  for (const QByteArray& s : strings) {
    const qsizetype eq = s.indexOf('=');
    const QString key = QString::fromUtf8(eq < 0 ? s : s.left(eq));
    if (key.isEmpty() || record.contains(key)) continue;
    // A key without "=" has no value at all (null); "key=" has an empty one.
    record.insert(key, eq < 0 ? QByteArray() : QByteArray(s.constData() + eq + 1, s.size() - eq - 1));
  }
  return record;
}

}  // namespace platform
