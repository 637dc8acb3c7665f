#include "monitor/NetworkSearch/NetworkSearch.h"

#include <QStringDecoder>
#include <QTimer>

#include "monitor/ScannerUtility/MonitorTimings.h"

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
    for (const auto& [index, handle] : m_resolves) m_backend->stop(handle);
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
  m_resolved.clear();
  m_devicesArray.clear();
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
    QObject::connect(m_timeOutTimer, &QTimer::timeout, [this] { netServiceBrowserNotSearch(); });
  }
  m_timeOutTimer->start(MonitorTimings::current().searchTimeout);
  return id;
}

void NetworkSearch::netServiceBrowser(const platform::DnssdService& service) {
  if (m_serviceArray.contains(service)) return;
  const int index = static_cast<int>(m_serviceArray.size());
  m_serviceArray.append(service);
  m_resolved.append(false);
  if (!m_backend) return;
  const quint64 id = m_search;
  platform::DnssdResolveCallbacks callbacks;
  callbacks.resolved = [this, id, index](const platform::DnssdResolved& resolved) {
    if (id != m_search || index >= m_resolved.size() || m_resolved[index]) return;
    m_resolved[index] = true;
    // One entry per service: later addresses of the same service are not wanted.
    if (auto it = m_resolves.find(index); it != m_resolves.end()) {
      const platform::DnssdHandle h = it->second;
      m_resolves.erase(it);
      if (backendIsCurrent()) m_backend->stop(h);
    }
    netServiceDidResolveAddress(id, resolved);
  };
  callbacks.notResolved = [this, id, index](const platform::DnssdError&) {
    if (id == m_search) m_resolves.erase(index);
  };
  m_resolves[index] = m_backend->resolve(service, MonitorTimings::current().resolveTimeout, std::move(callbacks));
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
    if (a.family == platform::DnssdAddress::Family::IPv4) {
      entry.insert(QStringLiteral("IPAddress"), a.text);
      break;
    }
  }
  return entry;
}

void NetworkSearch::netServiceDidResolveAddress(quint64 search, const platform::DnssdResolved& resolved) {
  if (search != m_search) return;
  const QVariantMap entry = deviceEntry(resolved);
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
  stopBrowser();
  if (m_devicesArray.isEmpty()) {
    report(nullptr);
    return;
  }
  if (m_devicesArray.size() == m_serviceArray.size()) return;
  const QList<QVariantMap> all = m_devicesArray;
  report(&all);
}

void NetworkSearch::report(const QList<QVariantMap>* devices) {
  if (m_delegate) m_delegate->searchDevicesDidFinish(devices, m_search);
}
