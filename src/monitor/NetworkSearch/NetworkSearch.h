#pragma once
// Re-discovery of the monitor's network scanner: one search browses for "_scanner._tcp" in
// "local" (platform::dnssd()), resolves every service found (2 s each), turns each resolved
// service into a device entry and reports the entries once to its delegate: as soon as every
// service found so far has resolved, or when the search's 2 s are over.
//
// Device entry (QVariantMap of QString values):
//   every TXT key whose value is non-empty UTF-8  -> the value
//   "name"                                        -> the service's name
//   "IPAddress"                                   -> its first IPv4 address, dotted decimal
// "name" and "IPAddress" are set after the TXT keys, so a TXT record cannot replace them.
//
// Only a service with an IPv4 address makes an entry: a resolve that has brought only other
// addresses so far goes on, until its limit (the search's own 2 s); a service whose resolve
// ends without an IPv4 address (it fails, or its limit passes) leaves the list of services, so
// the services that did resolve are reported as soon as they are all there is. A resolve that
// ends at the search's own limit counts as the time-out; after the time-out a service leaving
// changes nothing.
//
// Report:
//   - every service resolved (counts level): the entries whose "mdl" equals the model filter
//     (all entries without a filter); the browse and the time-out stop.
//   - time-out: the browse stops; no entry at all reports none (a null list); counts level made
//     the report already; otherwise every entry, unfiltered.
// A resolve still running after a time-out report may level the counts and report again.
//
// One instance per process (shareInstance()); everything runs on the main thread through the
// event loop. Each report carries the number search() answered, so a delegate can tell a report
// of its own search from one of an earlier search.

#include <QList>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <map>

#include "platform/dnssd/Dnssd.h"

class QTimer;

class NetworkSearchDelegate {
 public:
  virtual ~NetworkSearchDelegate() = default;
  // `devices` null: the search found nothing. `search`: the number of the search reporting.
  virtual void searchDevicesDidFinish(const QList<QVariantMap>* devices, quint64 search) = 0;
};

class NetworkSearch {
 public:
  static NetworkSearch& shareInstance();
  NetworkSearch(const NetworkSearch&) = delete;
  NetworkSearch& operator=(const NetworkSearch&) = delete;

  // Not owned; the delegate clears itself when it goes (setDelegate(nullptr)).
  void setDelegate(NetworkSearchDelegate* delegate) { m_delegate = delegate; }
  NetworkSearchDelegate* delegate() const { return m_delegate; }
  // The supported model ("supportDevice"), compared with TXT "mdl"; empty: no filter.
  void setModelFilter(const QString& model) { m_modelFilter = model; }

  // Starts a new search, forgetting the previous one; answers its number.
  quint64 search();
  // Ends the running search without a report (browse, resolves and time-out).
  void cancel();

  // The search's callbacks (public for tests).
  void netServiceBrowser(const platform::DnssdService& service);  // a service was found
  void netServiceDidResolveAddress(quint64 search, const platform::DnssdResolved& resolved);
  void netServiceBrowserNotSearch();  // the time-out

  // The entry of a resolved service; without "IPAddress" when it has no IPv4 address yet.
  static QVariantMap deviceEntry(const platform::DnssdResolved& resolved);
  // `text` is an IPv4 address in dotted decimal ("192.168.1.20"), the only form the monitor
  // takes, keeps and saves from a search.
  static bool isDottedIPv4(const QString& text);

  quint64 currentSearch() const { return m_search; }

 private:
  NetworkSearch();
  void report(const QList<QVariantMap>* devices);
  // Reports, filtered, when every service left has its entry.
  void reportWhenLevel();
  void stopResolve(quint64 serial);
  void dropService(quint64 serial);
  void stopBrowser();
  void stopResolves();
  bool backendIsCurrent() const;

  NetworkSearchDelegate* m_delegate = nullptr;
  QString m_modelFilter;
  quint64 m_search = 0;
  platform::Dnssd* m_backend = nullptr;
  platform::DnssdHandle m_browser = 0;
  std::map<quint64, platform::DnssdHandle> m_resolves;  // service's serial -> running resolve
  QList<platform::DnssdService> m_serviceArray;
  QList<quint64> m_serials;  // per service: a number of its own in this process
  QList<bool> m_resolved;    // per service: its entry was added
  quint64 m_serial = 0;
  bool m_reported = false;  // the current search has reported
  bool m_timedOut = false;  // its time-out has come
  std::chrono::steady_clock::time_point m_searchDeadline;
  QList<QVariantMap> m_devicesArray;
  QTimer* m_timeOutTimer = nullptr;
};
