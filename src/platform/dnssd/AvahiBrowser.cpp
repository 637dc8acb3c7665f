#include "platform/dnssd/AvahiBrowser.h"

#include <QMetaObject>
#include <QTimer>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>


namespace platform {

namespace {

using ServiceKey = std::tuple<QString, QString, QString>;  // name, type, domain
using Instance = std::pair<int, int>;                     // interface index, protocol

ServiceKey keyOf(const DnssdService& s) { return {s.name, s.type, s.domain}; }

DnssdService serviceOf(const char* name, const char* type, const char* domain) {
  return {QString::fromUtf8(name ? name : ""), QString::fromUtf8(type ? type : ""),
          QString::fromUtf8(domain ? domain : "")};
}

QString avahiText(int error) { return QString::fromUtf8(avahi_strerror(error)); }

// A type or domain as Avahi takes it: no trailing dot; an empty domain is the default ("local").
QByteArray avahiName(const QString& name) { return withoutTrailingDot(name).toUtf8(); }

TxtRecord txtOf(AvahiStringList* list) {
  QList<QByteArray> strings;
  for (AvahiStringList* l = list; l; l = avahi_string_list_get_next(l)) {
    strings << QByteArray(reinterpret_cast<const char*>(avahi_string_list_get_text(l)),
                          static_cast<qsizetype>(avahi_string_list_get_size(l)));
  }
  return txtRecordFromStrings(strings);
}

void logLine(const QString& line) { dnssdLogLine(line); }

}  // namespace

// ---- Browses and resolves ------------------------------------------------------------------

struct AvahiBrowser::Browse {
  AvahiBrowser* owner = nullptr;
  DnssdHandle id = 0;
  QString type, domain;
  DnssdBrowseCallbacks callbacks;
  AvahiServiceBrowser* browser = nullptr;
  // Where each service is announced now.
  std::map<ServiceKey, std::set<Instance>> instances;
  struct Event {
    bool found = true;
    DnssdService service;
  };
  std::vector<Event> pending;  // reports of this loop turn, passed on at the next
  bool flushQueued = false;
};

struct AvahiBrowser::Resolve {
  struct Resolver {
    Resolve* resolve = nullptr;
    Instance instance;
    AvahiServiceResolver* resolver = nullptr;
  };
  AvahiBrowser* owner = nullptr;
  DnssdHandle id = 0;
  DnssdService service;
  DnssdResolveCallbacks callbacks;
  std::vector<std::unique_ptr<Resolver>> resolvers;
  DnssdResolved result;
  bool anyAddress = false;
  bool deliveryQueued = false;
  bool failureQueued = false;
  int lastError = AVAHI_OK;

  void freeResolvers() {
    for (auto& r : resolvers) {
      if (r->resolver) avahi_service_resolver_free(r->resolver);
    }
    resolvers.clear();
  }
};

// ---- The C callbacks -----------------------------------------------------------------------

struct AvahiBrowser::Callbacks {
  static void client(AvahiClient* c, AvahiClientState state, void* userdata) {
    auto* self = static_cast<AvahiBrowser*>(userdata);
    if (state != AVAHI_CLIENT_FAILURE) return;
    // Torn down from the loop, not inside the client's own callback.
    const unsigned generation = self->m_clientGeneration;
    const QString reason = avahiText(avahi_client_errno(c));
    self->later([self, generation, reason]() {
      if (self->m_client && self->m_clientGeneration == generation) self->disconnect(reason);
    });
  }

  static void browser(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                      const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* userdata) {
    auto* b = static_cast<Browse*>(userdata);
    AvahiBrowser* self = b->owner;
    switch (event) {
      case AVAHI_BROWSER_NEW: {
        const DnssdService service = serviceOf(name, type, domain);
        auto& where = b->instances[keyOf(service)];
        if (where.empty()) b->pending.push_back({true, service});
        where.insert({interface, protocol});
        // Resolves under way learn of the new announcement.
        for (auto& [id, r] : self->m_resolves) {
          if (keyOf(r->service) == keyOf(service)) self->startResolver(*r, interface, protocol);
        }
        self->queueBrowseFlush(*b);
        break;
      }
      case AVAHI_BROWSER_REMOVE: {
        const DnssdService service = serviceOf(name, type, domain);
        auto it = b->instances.find(keyOf(service));
        if (it == b->instances.end()) break;
        it->second.erase({interface, protocol});
        if (it->second.empty()) {
          b->instances.erase(it);
          b->pending.push_back({false, service});
          self->queueBrowseFlush(*b);
        }
        break;
      }
      case AVAHI_BROWSER_FAILURE:
        logLine(QStringLiteral("DNS service discovery: browsing for %1 in %2 failed: %3")
                    .arg(b->type, b->domain, avahiText(avahi_client_errno(self->m_client))));
        break;
      case AVAHI_BROWSER_ALL_FOR_NOW:
      case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
  }

  static void resolver(AvahiServiceResolver*, AvahiIfIndex interface, AvahiProtocol, AvahiResolverEvent event,
                       const char*, const char*, const char*, const char* hostName, const AvahiAddress* address,
                       uint16_t port, AvahiStringList* txt, AvahiLookupResultFlags, void* userdata) {
    auto* one = static_cast<Resolve::Resolver*>(userdata);
    Resolve& r = *one->resolve;
    AvahiBrowser* self = r.owner;
    if (event == AVAHI_RESOLVER_FOUND) {
      bool changed = false;
      const QString host = QString::fromUtf8(hostName ? hostName : "");
      const TxtRecord record = txtOf(txt);
      if (!r.anyAddress || r.result.hostName != host || r.result.port != port || r.result.txt != record) {
        r.result.hostName = host;
        r.result.port = port;
        r.result.txt = record;
        changed = true;
      }
      if (address && (address->proto == AVAHI_PROTO_INET || address->proto == AVAHI_PROTO_INET6)) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, address);
        DnssdAddress a;
        a.family = address->proto == AVAHI_PROTO_INET ? DnssdAddress::Family::IPv4 : DnssdAddress::Family::IPv6;
        a.text = QString::fromLatin1(text);
        a.interfaceIndex = interface > 0 ? interface : 0;
        bool known = false;
        for (const DnssdAddress& k : r.result.addresses) known = known || (k.family == a.family && k.text == a.text);
        if (!known && !a.text.isEmpty()) {
          r.result.addresses << a;
          r.anyAddress = true;
          changed = true;
        }
      }
      if (changed && r.anyAddress) self->queueResolveDelivery(r);
      return;
    }
    // AVAHI_RESOLVER_FAILURE: this announcement gives nothing; drop its resolver.
    r.lastError = avahi_client_errno(self->m_client);
    for (auto it = r.resolvers.begin(); it != r.resolvers.end(); ++it) {
      if (it->get() == one) {
        avahi_service_resolver_free((*it)->resolver);
        r.resolvers.erase(it);
        break;
      }
    }
    if (r.resolvers.empty() && !r.anyAddress && !r.failureQueued) {
      r.failureQueued = true;
      const DnssdHandle id = r.id;
      const int error = r.lastError;
      DnssdError e;
      e.code = error == AVAHI_ERR_TIMEOUT     ? DnssdError::Code::Timeout
               : error == AVAHI_ERR_NOT_FOUND ? DnssdError::Code::NotFound
                                              : DnssdError::Code::Failed;
      e.message = QStringLiteral("Avahi: %1").arg(avahiText(error));
      self->later([self, id, e]() { self->failResolve(id, e); });
    }
  }
};

// ---- The backend ---------------------------------------------------------------------------

AvahiBrowser::AvahiBrowser() : m_poll(std::make_unique<AvahiQtPoll>()), m_context(std::make_unique<QObject>()) {}

AvahiBrowser::~AvahiBrowser() {
  for (auto& [id, b] : m_browses) {
    if (b->browser) avahi_service_browser_free(b->browser);
  }
  m_browses.clear();
  for (auto& [id, r] : m_resolves) r->freeResolvers();
  m_resolves.clear();
  if (m_client) avahi_client_free(m_client);
  m_client = nullptr;
  m_context.reset();  // drops queued calls and pending limits
  m_poll.reset();
}

QString AvahiBrowser::unavailableLine(const QString& reason) {
  return QStringLiteral("DNS service discovery unavailable: no Avahi daemon answers (%1); network scanners cannot be found")
      .arg(reason);
}

void AvahiBrowser::reportUnavailable(const QString& reason) {
  if (m_unavailableReported) return;
  m_unavailableReported = true;
  logLine(unavailableLine(reason));
}

void AvahiBrowser::later(std::function<void()> call) {
  QMetaObject::invokeMethod(m_context.get(), std::move(call), Qt::QueuedConnection);
}

bool AvahiBrowser::connect() {
  if (m_client) return true;
  ++m_clientGeneration;
  int error = AVAHI_OK;
  m_client = avahi_client_new(m_poll->api(), static_cast<AvahiClientFlags>(0), &Callbacks::client, this, &error);
  if (!m_client) {
    reportUnavailable(avahiText(error));
    return false;
  }
  m_unavailableReported = false;
  return true;
}

void AvahiBrowser::disconnect(const QString& reason) {
  reportUnavailable(reason);
  // Browses go quiet; resolves end with Unavailable.
  for (auto& [id, b] : m_browses) {
    if (b->browser) avahi_service_browser_free(b->browser);
    b->browser = nullptr;
    b->instances.clear();
  }
  std::vector<DnssdHandle> resolves;
  for (auto& [id, r] : m_resolves) {
    r->freeResolvers();
    resolves.push_back(id);
  }
  avahi_client_free(m_client);
  m_client = nullptr;
  const DnssdError e{DnssdError::Code::Unavailable, QStringLiteral("the Avahi daemon went away (%1)").arg(reason)};
  for (DnssdHandle id : resolves) later([this, id, e]() { failResolve(id, e); });
}

DnssdHandle AvahiBrowser::browse(const QString& type, const QString& domain, DnssdBrowseCallbacks callbacks) {
  auto b = std::make_unique<Browse>();
  b->owner = this;
  b->id = nextDnssdHandle();
  b->type = withoutTrailingDot(type);
  b->domain = withoutTrailingDot(domain);
  b->callbacks = std::move(callbacks);
  const DnssdHandle id = b->id;
  Browse& ref = *b;
  m_browses.emplace(id, std::move(b));
  if (connect()) {
    const QByteArray t = avahiName(type), d = avahiName(domain);
    ref.browser = avahi_service_browser_new(m_client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, t.constData(),
                                            d.isEmpty() ? nullptr : d.constData(), static_cast<AvahiLookupFlags>(0),
                                            &Callbacks::browser, &ref);
    if (!ref.browser) {
      logLine(QStringLiteral("DNS service discovery: cannot browse for %1 in %2: %3")
                  .arg(ref.type, ref.domain, avahiText(avahi_client_errno(m_client))));
    }
  }
  return id;
}

DnssdHandle AvahiBrowser::resolve(const DnssdService& service, std::chrono::milliseconds limit,
                                  DnssdResolveCallbacks callbacks) {
  auto r = std::make_unique<Resolve>();
  r->owner = this;
  r->id = nextDnssdHandle();
  r->service = {service.name, withoutTrailingDot(service.type), withoutTrailingDot(service.domain)};
  if (r->service.domain.isEmpty()) r->service.domain = QStringLiteral("local");
  r->result.service = r->service;
  r->callbacks = std::move(callbacks);
  const DnssdHandle id = r->id;
  Resolve& ref = *r;
  m_resolves.emplace(id, std::move(r));

  if (!connect()) {
    ref.failureQueued = true;
    const DnssdError e{DnssdError::Code::Unavailable, QStringLiteral("no Avahi daemon answers")};
    later([this, id, e]() { failResolve(id, e); });
    return id;
  }
  // One resolver per announcement the browses know of; any interface and family otherwise.
  std::set<Instance> seen;
  for (auto& [bid, b] : m_browses) {
    auto it = b->instances.find(keyOf(ref.service));
    if (it != b->instances.end()) seen.insert(it->second.begin(), it->second.end());
  }
  if (seen.empty()) seen.insert({AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC});
  for (const Instance& i : seen) startResolver(ref, i.first, i.second);
  if (ref.resolvers.empty()) {
    ref.failureQueued = true;
    const DnssdError e{DnssdError::Code::Failed, QStringLiteral("Avahi: %1").arg(avahiText(ref.lastError))};
    later([this, id, e]() { failResolve(id, e); });
    return id;
  }
  if (limit.count() > 0) {
    QTimer::singleShot(limit, Qt::PreciseTimer, m_context.get(), [this, id, limit]() { limitPassed(id, limit); });
  }
  return id;
}

void AvahiBrowser::startResolver(Resolve& r, int interfaceIndex, int protocol) {
  if (!m_client || r.failureQueued) return;
  for (const auto& one : r.resolvers) {
    if (one->instance == Instance{interfaceIndex, protocol}) return;
  }
  auto one = std::make_unique<Resolve::Resolver>();
  one->resolve = &r;
  one->instance = {interfaceIndex, protocol};
  const QByteArray name = r.service.name.toUtf8(), type = avahiName(r.service.type),
                   domain = avahiName(r.service.domain);
  // Addresses of the family the service was announced over, so IPv4 and IPv6 announcements
  // together give both kinds.
  one->resolver = avahi_service_resolver_new(m_client, interfaceIndex, protocol, name.constData(), type.constData(),
                                             domain.constData(), protocol, static_cast<AvahiLookupFlags>(0),
                                             &Callbacks::resolver, one.get());
  if (!one->resolver) {
    r.lastError = avahi_client_errno(m_client);
    return;
  }
  r.resolvers.push_back(std::move(one));
}

void AvahiBrowser::stop(DnssdHandle handle) {
  if (auto b = m_browses.find(handle); b != m_browses.end()) {
    if (b->second->browser) avahi_service_browser_free(b->second->browser);
    m_browses.erase(b);
    return;
  }
  endResolve(handle);
}

void AvahiBrowser::queueBrowseFlush(Browse& b) {
  if (b.flushQueued) return;
  b.flushQueued = true;
  const DnssdHandle id = b.id;
  later([this, id]() { flushBrowse(id); });
}

void AvahiBrowser::flushBrowse(DnssdHandle id) {
  auto it = m_browses.find(id);
  if (it == m_browses.end()) return;
  it->second->flushQueued = false;
  const std::vector<Browse::Event> events = std::move(it->second->pending);
  it->second->pending.clear();
  for (std::size_t i = 0; i < events.size(); ++i) {
    it = m_browses.find(id);  // an earlier callback may have stopped it
    if (it == m_browses.end()) return;
    // A copy: the callback may stop the browse, which drops the stored one.
    const auto call = events[i].found ? it->second->callbacks.found : it->second->callbacks.removed;
    if (call) call(events[i].service, i + 1 < events.size());
  }
}

void AvahiBrowser::queueResolveDelivery(Resolve& r) {
  if (r.deliveryQueued) return;
  r.deliveryQueued = true;
  const DnssdHandle id = r.id;
  later([this, id]() { deliverResolve(id); });
}

void AvahiBrowser::deliverResolve(DnssdHandle id) {
  auto it = m_resolves.find(id);
  if (it == m_resolves.end() || !it->second->deliveryQueued) return;
  it->second->deliveryQueued = false;
  const DnssdResolved result = it->second->result;
  const auto call = it->second->callbacks.resolved;
  if (call) call(result);
}

void AvahiBrowser::limitPassed(DnssdHandle id, std::chrono::milliseconds limit) {
  auto it = m_resolves.find(id);
  if (it == m_resolves.end()) return;
  // When the thread was busy past the limit, the daemon's answer may be waiting unread behind
  // this timer: take in what has arrived first, so an answer that came in time still counts.
  m_poll->dispatchPending();
  deliverResolve(id);  // what came just before the limit still counts
  it = m_resolves.find(id);
  if (it == m_resolves.end()) return;
  if (it->second->anyAddress) {
    endResolve(id);
    return;
  }
  failResolve(id, {DnssdError::Code::Timeout,
                   QStringLiteral("no address within %1 s").arg(static_cast<double>(limit.count()) / 1000.0, 0, 'f', 1)});
}

void AvahiBrowser::failResolve(DnssdHandle id, const DnssdError& error) {
  auto it = m_resolves.find(id);
  if (it == m_resolves.end()) return;
  const auto call = it->second->callbacks.notResolved;
  endResolve(id);
  if (call) call(error);
}

void AvahiBrowser::endResolve(DnssdHandle id) {
  auto it = m_resolves.find(id);
  if (it == m_resolves.end()) return;
  it->second->freeResolvers();
  m_resolves.erase(it);
}

}  // namespace platform
