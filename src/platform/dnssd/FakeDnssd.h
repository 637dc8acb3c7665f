#pragma once
// A discovery backend for tests: a scripted set of announced services.
//
// The test announces services (addService), takes them away (removeService) and says how each
// resolve of a service goes (delay, addresses one by one, failure). Callbacks run from the Qt
// event loop, like Avahi's, never inside an operation:
//  - found and removed: on the next loop turn after browse() (every matching service, all but
//    the last with `moreComing`), after addService() or after removeService(); the reports of
//    one turn go out together.
//  - resolved: `resolveDelay` after resolve() with every address, or, with `addressInterval`
//    set, with the first address and then again each interval later with one more. The resolve
//    ends after its last `resolved`.
//  - notResolved: `resolveDelay` after resolve() with `resolveError` when one is set; with the
//    code Timeout when the time limit passes before the first address would come (also for a
//    service without addresses); NotFound on the next turn for a service not announced.
// A resolve takes the service as it is when resolve() is called; later changes do not touch it.
// Types and domains match without their trailing dot and regardless of case; an empty domain is
// "local".
//
// waitIdle() runs the event loop until every scheduled callback has run, so a test does not
// need to know the delays it scripted. Main thread only.

#include <QList>
#include <QObject>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "platform/dnssd/Dnssd.h"

namespace platform {

class FakeDnssd : public Dnssd {
 public:
  struct Service {
    DnssdService service{QString(), QStringLiteral("_scanner._tcp"), QStringLiteral("local")};
    QString hostName;
    quint16 port = 0;
    TxtRecord txt;
    QList<DnssdAddress> addresses;
    std::chrono::milliseconds resolveDelay{0};
    std::chrono::milliseconds addressInterval{-1};  // < 0: every address at once
    std::optional<DnssdError> resolveError;
  };

  struct ResolveRequest {
    DnssdService service;
    std::chrono::milliseconds limit{0};
  };

  FakeDnssd();
  ~FakeDnssd() override;

  // A service named `name` with the usual type and domain.
  static Service service(const QString& name, const TxtRecord& txt, const QList<DnssdAddress>& addresses);
  static DnssdAddress ipv4(const QString& text) { return {DnssdAddress::Family::IPv4, text, 1}; }
  static DnssdAddress ipv6(const QString& text) { return {DnssdAddress::Family::IPv6, text, 1}; }

  // ---- Script ----------------------------------------------------------------------------
  // Announces `s`, replacing an announced service of the same name, type and domain (which is
  // then not reported again).
  void addService(const Service& s);
  void removeService(const DnssdService& s);

  // ---- What the user did -----------------------------------------------------------------
  // Every resolve() call, in order.
  const QList<ResolveRequest>& resolveRequests() const { return m_resolveRequests; }
  // Every browse() call as {type, domain}, in order, exactly as given.
  const QList<QPair<QString, QString>>& browseRequests() const { return m_browseRequests; }
  int activeBrowses() const { return static_cast<int>(m_browses.size()); }
  int activeResolves() const { return static_cast<int>(m_resolves.size()); }

  // True when no callback is scheduled for a running handle.
  bool idle() const;
  // Serves the event loop until idle() or `timeout` passed; answers idle().
  bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // ---- The table -------------------------------------------------------------------------
  DnssdHandle browse(const QString& type, const QString& domain, DnssdBrowseCallbacks callbacks) override;
  DnssdHandle resolve(const DnssdService& service, std::chrono::milliseconds limit,
                      DnssdResolveCallbacks callbacks) override;
  void stop(DnssdHandle handle) override;

 private:
  struct Browse {
    QString type, domain;
    DnssdBrowseCallbacks callbacks;
    std::vector<std::pair<bool, DnssdService>> pending;  // found?, service
  };

  static bool matches(const DnssdService& s, const QString& type, const QString& domain);
  void report(DnssdHandle id, bool found, const DnssdService& s);
  void flush(DnssdHandle id);
  void schedule(DnssdHandle id, std::chrono::milliseconds delay, std::function<void()> call);

  std::vector<Service> m_services;
  std::map<DnssdHandle, Browse> m_browses;
  std::map<DnssdHandle, DnssdResolveCallbacks> m_resolves;
  std::multiset<DnssdHandle> m_scheduled;  // one entry per callback still to run
  QList<ResolveRequest> m_resolveRequests;
  QList<QPair<QString, QString>> m_browseRequests;
  std::unique_ptr<QObject> m_context;
};

}  // namespace platform
