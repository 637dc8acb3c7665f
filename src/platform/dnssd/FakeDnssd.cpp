#include "platform/dnssd/FakeDnssd.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

namespace platform {

namespace {
QString normalType(const QString& t) { return withoutTrailingDot(t); }
QString normalDomain(const QString& d) {
  const QString n = withoutTrailingDot(d);
  return n.isEmpty() ? QStringLiteral("local") : n;
}
bool sameService(const DnssdService& a, const DnssdService& b) {
  return a.name == b.name && normalType(a.type).compare(normalType(b.type), Qt::CaseInsensitive) == 0 &&
         normalDomain(a.domain).compare(normalDomain(b.domain), Qt::CaseInsensitive) == 0;
}
}  // namespace

FakeDnssd::FakeDnssd() : m_context(std::make_unique<QObject>()) {}

FakeDnssd::~FakeDnssd() { m_context.reset(); }

FakeDnssd::Service FakeDnssd::service(const QString& name, const TxtRecord& txt, const QList<DnssdAddress>& addresses) {
  Service s;
  s.service.name = name;
  s.hostName = QStringLiteral("host.local");
  s.port = 5566;
  s.txt = txt;
  s.addresses = addresses;
  return s;
}

bool FakeDnssd::matches(const DnssdService& s, const QString& type, const QString& domain) {
  return normalType(s.type).compare(normalType(type), Qt::CaseInsensitive) == 0 &&
         normalDomain(s.domain).compare(normalDomain(domain), Qt::CaseInsensitive) == 0;
}

// ---- Script --------------------------------------------------------------------------------

void FakeDnssd::addService(const Service& s) {
  for (Service& known : m_services) {
    if (sameService(known.service, s.service)) {
      known = s;
      return;
    }
  }
  m_services.push_back(s);
  for (auto& [id, b] : m_browses) {
    if (matches(s.service, b.type, b.domain)) report(id, true, s.service);
  }
}

void FakeDnssd::removeService(const DnssdService& s) {
  for (auto it = m_services.begin(); it != m_services.end(); ++it) {
    if (!sameService(it->service, s)) continue;
    const DnssdService gone = it->service;
    m_services.erase(it);
    for (auto& [id, b] : m_browses) {
      if (matches(gone, b.type, b.domain)) report(id, false, gone);
    }
    return;
  }
}

// ---- Scheduling ----------------------------------------------------------------------------

void FakeDnssd::schedule(DnssdHandle id, std::chrono::milliseconds delay, std::function<void()> call) {
  m_scheduled.insert(id);
  QTimer::singleShot(delay, Qt::PreciseTimer, m_context.get(), [this, id, call = std::move(call)]() {
    m_scheduled.erase(m_scheduled.find(id));
    if (m_browses.count(id) || m_resolves.count(id)) call();
  });
}

bool FakeDnssd::idle() const {
  for (DnssdHandle id : m_scheduled) {
    if (m_browses.count(id) || m_resolves.count(id)) return false;
  }
  return true;
}

bool FakeDnssd::waitIdle(std::chrono::milliseconds timeout) {
  QDeadlineTimer deadline(timeout);
  while (!idle() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!idle()) QThread::msleep(1);
  }
  return idle();
}

void FakeDnssd::report(DnssdHandle id, bool found, const DnssdService& s) {
  Browse& b = m_browses.at(id);
  const bool first = b.pending.empty();
  b.pending.emplace_back(found, s);
  if (first) schedule(id, std::chrono::milliseconds(0), [this, id]() { flush(id); });
}

void FakeDnssd::flush(DnssdHandle id) {
  auto it = m_browses.find(id);
  if (it == m_browses.end()) return;
  const auto events = std::move(it->second.pending);
  it->second.pending.clear();
  for (std::size_t i = 0; i < events.size(); ++i) {
    it = m_browses.find(id);
    if (it == m_browses.end()) return;  // stopped by an earlier callback
    const auto call = events[i].first ? it->second.callbacks.found : it->second.callbacks.removed;
    if (call) call(events[i].second, i + 1 < events.size());
  }
}

// ---- The table -----------------------------------------------------------------------------

DnssdHandle FakeDnssd::browse(const QString& type, const QString& domain, DnssdBrowseCallbacks callbacks) {
  const DnssdHandle id = nextDnssdHandle();
  m_browseRequests.append({type, domain});
  m_browses[id] = Browse{type, domain, std::move(callbacks), {}};
  for (const Service& s : m_services) {
    if (matches(s.service, type, domain)) report(id, true, s.service);
  }
  return id;
}

DnssdHandle FakeDnssd::resolve(const DnssdService& service, std::chrono::milliseconds limit,
                               DnssdResolveCallbacks callbacks) {
  using std::chrono::milliseconds;
  const DnssdHandle id = nextDnssdHandle();
  m_resolveRequests.append({service, limit});
  m_resolves[id] = std::move(callbacks);

  auto fail = [this, id](const DnssdError& e) {
    auto it = m_resolves.find(id);
    const auto call = it->second.notResolved;
    m_resolves.erase(it);
    if (call) call(e);
  };
  const Service* found = nullptr;
  for (const Service& s : m_services) {
    if (sameService(s.service, service)) found = &s;
  }
  if (!found) {
    schedule(id, milliseconds(0), [fail]() { fail({DnssdError::Code::NotFound, QStringLiteral("not announced")}); });
    return id;
  }
  const Service s = *found;
  const bool limited = limit.count() > 0;
  const DnssdError timeout{DnssdError::Code::Timeout, QStringLiteral("no address within the time limit")};
  if (s.resolveError) {
    if (limited && s.resolveDelay >= limit) {
      schedule(id, limit, [fail, timeout]() { fail(timeout); });
    } else {
      const DnssdError e = *s.resolveError;
      schedule(id, s.resolveDelay, [fail, e]() { fail(e); });
    }
    return id;
  }
  if (s.addresses.isEmpty() || (limited && s.resolveDelay >= limit)) {
    if (limited) schedule(id, limit, [fail, timeout]() { fail(timeout); });
    return id;
  }

  // One delivery per step: all addresses at once, or one more per interval; none past the limit.
  DnssdResolved result;
  result.service = {s.service.name, normalType(s.service.type), normalDomain(s.service.domain)};
  result.hostName = s.hostName;
  result.port = s.port;
  result.txt = s.txt;
  const bool oneByOne = s.addressInterval.count() >= 0;
  const qsizetype steps = oneByOne ? s.addresses.size() : 1;
  qsizetype last = 0;
  while (last + 1 < steps && !(limited && s.resolveDelay + milliseconds(s.addressInterval.count() * (last + 1)) >= limit)) {
    ++last;
  }
  for (qsizetype i = 0; i <= last; ++i) {
    DnssdResolved step = result;
    step.addresses = oneByOne ? s.addresses.mid(0, i + 1) : s.addresses;
    const bool isLast = i == last;
    const milliseconds at = s.resolveDelay + (oneByOne ? milliseconds(s.addressInterval.count() * i) : milliseconds(0));
    schedule(id, at, [this, id, step, isLast]() {
      auto it = m_resolves.find(id);
      const auto call = it->second.resolved;
      if (isLast) m_resolves.erase(it);  // nothing more will come
      if (call) call(step);
    });
  }
  return id;
}

void FakeDnssd::stop(DnssdHandle handle) {
  m_browses.erase(handle);
  m_resolves.erase(handle);
}

}  // namespace platform
