#include "monitor/NetworkSearch/NetworkSearch.h"

#include <QStringDecoder>
#include <QTimer>

#include "monitor/ScannerUtility/MonitorTimings.h"
#include "monitor/ScannerUtility/NetworkControl.h"

NetworkSearch& NetworkSearch::shareInstance() {
  // Made on first use and never destroyed: callbacks of a running search may refer to it up to
  // the end of the program.
  static NetworkSearch* instance = new NetworkSearch;
  return *instance;
}

NetworkSearch::NetworkSearch() = default;

bool NetworkSearch::backendIsCurrent() const { return m_backend && m_backend == &platform::dnssd(); }

void NetworkSearch::stopBrowser() {
  if (m_browser && backendIsCurrent()) m_backend->stop(m_browser);
  m_browser = 0;
}

void NetworkSearch::stopResolves() {
  if (backendIsCurrent()) {
    for (const auto& [serial, handle] : m_resolves) m_backend->stop(handle);
  }
  m_resolves.clear();
}

void NetworkSearch::cancel() {
  stopBrowser();
  stopResolves();
  if (m_timeOutTimer) m_timeOutTimer->stop();
}

quint64 NetworkSearch::search() {
  cancel();
  m_serviceArray.clear();
  m_serials.clear();
  m_resolved.clear();
  m_devicesArray.clear();
  m_reported = false;
  m_timedOut = false;
  const quint64 id = ++m_search;

  m_backend = &platform::dnssd();
  platform::DnssdBrowseCallbacks callbacks;
  callbacks.found = [this, id](const platform::DnssdService& service, bool) {
    if (id == m_search) netServiceBrowser(service);
  };
  m_browser = m_backend->browse(QStringLiteral("_scanner._tcp"), QStringLiteral("local"), std::move(callbacks));

  if (!m_timeOutTimer) {
    m_timeOutTimer = new QTimer;
    m_timeOutTimer->setSingleShot(true);
    m_timeOutTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timeOutTimer, &QTimer::timeout, [this] { netServiceBrowserNotSearch(); });
  }
  m_timeOutTimer->start(MonitorTimings::current().searchTimeout);
  m_searchDeadline = std::chrono::steady_clock::now() + MonitorTimings::current().searchTimeout;
  return id;
}

bool NetworkSearch::isDottedIPv4(const QString& text) { return NetworkControl::numericIPv4(text); }

void NetworkSearch::netServiceBrowser(const platform::DnssdService& service) {
  if (m_serviceArray.contains(service)) return;
  const quint64 serial = ++m_serial;
  m_serviceArray.append(service);
  m_serials.append(serial);
  m_resolved.append(false);
  if (!m_backend) return;
  const quint64 id = m_search;
  platform::DnssdResolveCallbacks callbacks;
  callbacks.resolved = [this, id, serial](const platform::DnssdResolved& resolved) {
    const qsizetype index = m_serials.indexOf(serial);
    if (id != m_search || index < 0 || m_resolved[index]) return;
    // Only an address the monitor can connect to makes the entry: until one comes, the resolve
    // goes on (more addresses may follow).
    if (!deviceEntry(resolved).contains(QStringLiteral("IPAddress"))) return;
    m_resolved[index] = true;
    // One entry per service: later addresses of the same service are not wanted.
    stopResolve(serial);
    netServiceDidResolveAddress(id, resolved);
  };
  callbacks.notResolved = [this, id, serial](const platform::DnssdError&) {
    if (id != m_search) return;
    m_resolves.erase(serial);
    dropService(serial);
  };
  const auto limit = MonitorTimings::current().resolveTimeout;
  m_resolves[serial] = m_backend->resolve(service, limit, std::move(callbacks));
  // A resolve that brought no IPv4 address by its limit has ended for the search too.
  QTimer::singleShot(limit, m_timeOutTimer, [this, id, serial] {
    if (id != m_search) return;
    const qsizetype index = m_serials.indexOf(serial);
    if (index < 0 || m_resolved[index]) return;
    stopResolve(serial);
    dropService(serial);
  });
}

void NetworkSearch::stopResolve(quint64 serial) {
  if (auto it = m_resolves.find(serial); it != m_resolves.end()) {
    const platform::DnssdHandle h = it->second;
    m_resolves.erase(it);
    if (backendIsCurrent()) m_backend->stop(h);
  }
}

void NetworkSearch::dropService(quint64 serial) {
  const qsizetype index = m_serials.indexOf(serial);
  if (index < 0 || m_resolved[index]) return;
  m_serviceArray.removeAt(index);
  m_serials.removeAt(index);
  m_resolved.removeAt(index);
  // A resolve that ends at the search's own limit (they have the same length, and the resolve
  // started later) ends the search as its time-out does, whichever of the two timers comes
  // first: the entries are then reported unfiltered.
  const auto now = std::chrono::steady_clock::now();
  if (m_timeOutTimer && m_timeOutTimer->isActive() && now + std::chrono::milliseconds(5) >= m_searchDeadline) {
    m_timeOutTimer->stop();
    netServiceBrowserNotSearch();
    return;
  }
  // Before that, the services that did resolve may now be all there is. After it, a service
  // that leaves changes nothing: the time-out has reported.
  if (!m_timedOut && !m_devicesArray.isEmpty()) reportWhenLevel();
}

QVariantMap NetworkSearch::deviceEntry(const platform::DnssdResolved& resolved) {
  QVariantMap entry;
  for (auto it = resolved.txt.cbegin(); it != resolved.txt.cend(); ++it) {
    if (it.value().isEmpty()) continue;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(it.value());
    if (utf8.hasError()) continue;
    entry.insert(it.key(), text);
  }
  entry.insert(QStringLiteral("name"), resolved.service.name);
  entry.remove(QStringLiteral("IPAddress"));
  for (const platform::DnssdAddress& a : resolved.addresses) {
    if (a.family == platform::DnssdAddress::Family::IPv4 && isDottedIPv4(a.text)) {
      entry.insert(QStringLiteral("IPAddress"), a.text);
      break;
    }
  }
  return entry;
}

void NetworkSearch::netServiceDidResolveAddress(quint64 search, const platform::DnssdResolved& resolved) {
  if (search != m_search) return;
  const QVariantMap entry = deviceEntry(resolved);
  if (!entry.contains(QStringLiteral("IPAddress"))) return;
  const QString name = entry.value(QStringLiteral("name")).toString();
  qsizetype at = -1;
  for (qsizetype i = 0; i < m_devicesArray.size(); ++i) {
    if (m_devicesArray[i].value(QStringLiteral("name")).toString() == name) {
      at = i;
      break;
    }
  }
  if (at >= 0)
    m_devicesArray.insert(at, entry);
  else
    m_devicesArray.append(entry);
  reportWhenLevel();
}

void NetworkSearch::reportWhenLevel() {
  if (m_devicesArray.size() != m_serviceArray.size()) return;
  QList<QVariantMap> found;
  for (const QVariantMap& e : m_devicesArray) {
    if (m_modelFilter.isEmpty() || e.value(QStringLiteral("mdl")).toString() == m_modelFilter) found.append(e);
  }
  stopBrowser();
  if (m_timeOutTimer) m_timeOutTimer->stop();
  report(&found);
}

void NetworkSearch::netServiceBrowserNotSearch() {
  m_timedOut = true;
  stopBrowser();
  if (m_devicesArray.isEmpty()) {
    report(nullptr);
    return;
  }
  // The services that resolved were reported when they were all there was.
  if (m_reported) return;
  const QList<QVariantMap> all = m_devicesArray;
  report(&all);
}

void NetworkSearch::report(const QList<QVariantMap>* devices) {
  m_reported = true;
  if (m_delegate) m_delegate->searchDevicesDidFinish(devices, m_search);
}
