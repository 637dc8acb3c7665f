#pragma once
// DNS service discovery: the table of operations every discovery backend implements.
//
// The device selection window and the push-scan monitor find network scanners only through
// these operations, on the process's current backend (dnssd() below). Two backends fill the
// table:
//   - AvahiBrowser (AvahiBrowser.h): the Avahi daemon over D-Bus, its poll loop on the Qt event
//     loop; the default.
//   - FakeDnssd (FakeDnssd.h): scripted services for tests.
// Publishing a service (the simulator does) is AvahiPublisher (AvahiPublisher.h), apart from
// this table.
//
// The model
// ---------
//  - browse() looks for services of one type ("_scanner._tcp") in one domain ("local"). Each
//    service is reported once when it appears (found) and once when its last announcement goes
//    (removed), however many interfaces and address families it is seen on. A service is named
//    by its instance name, type and domain (DnssdService).
//  - resolve() asks for a found service's host, port, TXT record and addresses, within a time
//    limit. `resolved` runs as soon as the first address is known and again each time another
//    address (or a changed TXT record) comes, always with everything known so far. When the
//    limit passes without any address, `notResolved` runs once with a DnssdError of code
//    Timeout; it also runs (earlier) when the service cannot be resolved at all. A resolve ends
//    by itself when the limit passes (after at least one `resolved`, silently) or after
//    `notResolved`; stop() ends it sooner.
//  - Types and domains are taken with or without their trailing dot ("_scanner._tcp." and
//    "_scanner._tcp" are the same); reported services carry them without it. An empty domain
//    means "local".
//  - Handles are non-zero numbers, unique in the process for its life; 0 never names anything.
//    stop() ends a browse or a resolve; stopping an ended or unknown handle does nothing.
//
// Callbacks and ownership
// -----------------------
// The backend keeps a copy of the callbacks until the handle ends and drops it then, so anything
// they capture must outlive the handle or be stopped first (stop in the destructor). Callbacks
// never run inside browse(), resolve() or stop(): always later, from the event loop. A callback
// may call any operation, stopping its own handle included; once stop(h) has returned, no
// callback of h runs any more.
//
// Threads: everything on the Qt main thread, with a QCoreApplication in place and its event loop
// served. Backends are not thread-safe.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <functional>

namespace platform {

// A TXT record as key -> value bytes. Keys are kept as they appear (case included: "uuid" and
// "UUID" are two keys). A key given without "=" maps to a null QByteArray (isNull()), "key="
// to an empty, non-null one. When a key repeats, its first occurrence counts.
using TxtRecord = QMap<QString, QByteArray>;

struct DnssdService {
  QString name;    // instance name, e.g. "Zerelta QMX-7315W [ZRQ7315W-A0012345]"
  QString type;    // e.g. "_scanner._tcp"
  QString domain;  // e.g. "local"
  bool operator==(const DnssdService&) const = default;
};

struct DnssdAddress {
  enum class Family { IPv4, IPv6 };
  Family family = Family::IPv4;
  QString text;            // IPv4 in dotted decimal ("127.0.0.1"); IPv6 in its short form ("fe80::1")
  int interfaceIndex = 0;  // the interface it was learned on (if_nametoindex numbering); 0 unknown
  bool operator==(const DnssdAddress&) const = default;
};

// What a resolve has learned so far.
struct DnssdResolved {
  DnssdService service;
  QString hostName;  // e.g. "zerelta-sim.local"
  quint16 port = 0;
  TxtRecord txt;
  QList<DnssdAddress> addresses;  // in the order they came, each once
};

struct DnssdError {
  enum class Code {
    Timeout,      // the time limit passed without an address
    Unavailable,  // no discovery service to ask (no Avahi daemon answers)
    NotFound,     // the service is not (or no longer) announced
    Failed,       // any other failure; `message` says which
  };
  Code code = Code::Failed;
  QString message;  // English, for the logs

  // {"code": "timeout" | "unavailable" | "not found" | "failed", "message": message}
  QVariantMap toMap() const;
  // "{code = timeout; message = ...}", for log lines.
  QString toString() const;
};

using DnssdHandle = quint64;

struct DnssdBrowseCallbacks {
  // A service appeared. `moreComing` is true when the backend already holds further reports
  // that follow at once (a hint for batching screen updates; nothing else depends on it).
  std::function<void(const DnssdService& service, bool moreComing)> found;
  // A service found earlier is gone.
  std::function<void(const DnssdService& service, bool moreComing)> removed;
};

struct DnssdResolveCallbacks {
  std::function<void(const DnssdResolved& resolved)> resolved;
  std::function<void(const DnssdError& error)> notResolved;
};

class Dnssd {
 public:
  virtual ~Dnssd() = default;

  // Starts looking for services of `type` in `domain`. Never fails here: a backend that cannot
  // look (no daemon) says so in the system log and reports nothing.
  virtual DnssdHandle browse(const QString& type, const QString& domain, DnssdBrowseCallbacks callbacks) = 0;

  // Resolves `service` (as a browse reported it). `limit` <= 0 means no limit.
  virtual DnssdHandle resolve(const DnssdService& service, std::chrono::milliseconds limit,
                              DnssdResolveCallbacks callbacks) = 0;

  // Ends a browse or a resolve.
  virtual void stop(DnssdHandle handle) = 0;
};

// The process's current backend. Never null: until one is installed it is an AvahiBrowser,
// made on first use (a QCoreApplication must exist by then) and freed when the application
// object goes.
Dnssd& dnssd();
// Installs `backend` (not owned; must outlive every handle started through it) and answers the
// previous one. nullptr restores the default AvahiBrowser.
Dnssd* setDnssd(Dnssd* backend);

// Where the backend's own lines go (no daemon answers, a browse failed): by default each is one
// system-log entry and one line on stderr. A program that keeps such lines to itself (the
// push-scan monitor, whose log is its debug log) installs a hook that receives them instead.
// An empty hook restores the default; the previous hook is answered. Safe from any thread.
using DnssdLogHook = std::function<void(const QString&)>;
DnssdLogHook setDnssdLogHook(DnssdLogHook hook);
// Writes one of the backend's lines where the hook (or the default) says.
void dnssdLogLine(const QString& line);

// ---- Helpers shared by the backends ------------------------------------------------------

// A handle never given before in this process (for backends).
DnssdHandle nextDnssdHandle();

// `name` without one trailing dot ("local." -> "local").
QString withoutTrailingDot(const QString& name);

// A TXT record from its character-strings as they arrive (each "key=value" or "key"). Strings
// with an empty key are skipped, as are repeats of a key already seen.
TxtRecord txtRecordFromStrings(const QList<QByteArray>& strings);

}  // namespace platform
