#pragma once
// The discovery backend on the Avahi daemon (avahi-client over the D-Bus system bus), run from
// the Qt event loop through AvahiQtPoll.
//
// How it maps the table (Dnssd.h) onto Avahi:
//  - A browse is one service browser on every interface and both address families
//    (AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC). Avahi reports a service once per interface and
//    family; this backend reports it found with the first of those and removed with the last.
//    Reports are passed on one loop turn after Avahi gave them, a turn's worth at a time, with
//    `moreComing` set on all but the last of a turn.
//  - A resolve runs one service resolver per interface and family the service was seen on by a
//    running browse (and for those seen while it resolves), each asking for addresses of its own
//    family, so IPv4 and IPv6 addresses come together in one list; a service no browse has seen
//    gets one resolver on any interface and family. The time limit is a QTimer of its own;
//    when it fires, whatever the daemon has already sent is taken in first, so a resolve the
//    daemon answered in time is not failed because the thread was busy when the limit passed.
//    Resolvers that fail are dropped; when the last one failed before any address came, the
//    resolve ends with notResolved (NotFound for Avahi's own time-out, Failed otherwise).
//  - The connection to the daemon is made on the first browse or resolve. When no daemon
//    answers (avahi_client_new fails, or the connection fails later), one line goes to the
//    system log and to stderr; browses then report nothing and resolves end with Unavailable.
//    The next browse or resolve tries to connect again; the line is written again only after a
//    connection had worked in between.
//
// Main thread only; see Dnssd.h for callbacks and handles.

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "platform/dnssd/AvahiQtPoll.h"
#include "platform/dnssd/Dnssd.h"

struct AvahiClient;

namespace platform {

class AvahiBrowser : public Dnssd {
 public:
  AvahiBrowser();
  ~AvahiBrowser() override;  // ends every browse and resolve without calling back
  AvahiBrowser(const AvahiBrowser&) = delete;
  AvahiBrowser& operator=(const AvahiBrowser&) = delete;

  DnssdHandle browse(const QString& type, const QString& domain, DnssdBrowseCallbacks callbacks) override;
  DnssdHandle resolve(const DnssdService& service, std::chrono::milliseconds limit,
                      DnssdResolveCallbacks callbacks) override;
  void stop(DnssdHandle handle) override;

  // Whether a connection to the daemon is up now.
  bool connected() const { return m_client != nullptr; }

  // The system-log line written when no daemon answers, for a given reason.
  static QString unavailableLine(const QString& reason);

 private:
  struct Browse;
  struct Resolve;
  struct Callbacks;  // the C callbacks Avahi calls
  friend struct Callbacks;

  bool connect();
  void disconnect(const QString& reason);
  void reportUnavailable(const QString& reason);
  void later(std::function<void()> call);
  void startResolver(Resolve& r, int interfaceIndex, int protocol);
  void queueBrowseFlush(Browse& b);
  void flushBrowse(DnssdHandle id);
  void queueResolveDelivery(Resolve& r);
  void deliverResolve(DnssdHandle id);
  void limitPassed(DnssdHandle id, std::chrono::milliseconds limit);
  void failResolve(DnssdHandle id, const DnssdError& error);
  void endResolve(DnssdHandle id);

  std::unique_ptr<AvahiQtPoll> m_poll;
  AvahiClient* m_client = nullptr;
  unsigned m_clientGeneration = 0;  // tells a stale failure report from one of the current client
  bool m_unavailableReported = false;
  std::map<DnssdHandle, std::unique_ptr<Browse>> m_browses;
  std::map<DnssdHandle, std::unique_ptr<Resolve>> m_resolves;
  // Context of every queued call and timer: they die with the backend.
  std::unique_ptr<QObject> m_context;
};

}  // namespace platform
