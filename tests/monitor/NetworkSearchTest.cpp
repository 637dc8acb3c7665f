// Re-discovery: the search over the fake discovery backend, and controllerScan finding its
// scanner at a new address by its UUID.
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/NetworkSearch/NetworkSearch.h"
#include "monitor/controllerScan.h"
#include "platform/dnssd/FakeDnssd.h"

using namespace std::chrono_literals;
using platform::FakeDnssd;

namespace {

class Reports : public NetworkSearchDelegate {
 public:
  struct Report {
    bool none;
    QList<QVariantMap> devices;
    quint64 search;
  };
  void searchDevicesDidFinish(const QList<QVariantMap>* devices, quint64 search) override {
    reports.push_back({devices == nullptr, devices ? *devices : QList<QVariantMap>{}, search});
  }
  std::vector<Report> reports;
};

class NetworkSearchTest : public ::testing::Test {
 protected:
  NetworkSearchTest() {
    m_previous = platform::setDnssd(&dnssd);
    search.setDelegate(&reports);
    search.setModelFilter(QString());
  }
  ~NetworkSearchTest() override {
    search.cancel();
    search.setDelegate(nullptr);
    search.setModelFilter(QString());
    platform::setDnssd(m_previous);
  }
  // Serves the event loop until a report came or `limit` passed.
  void waitForReport(std::chrono::milliseconds limit = 5s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (reports.reports.empty() && std::chrono::steady_clock::now() < until)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  static FakeDnssd::Service scanner(const QString& name, const QString& model, const QString& address,
                                    std::chrono::milliseconds delay = 0ms) {
    FakeDnssd::Service s = FakeDnssd::service(name, {{"mdl", model.toUtf8()}, {"uuid", name.toUtf8()}},
                                              {FakeDnssd::ipv4(address)});
    s.resolveDelay = delay;
    return s;
  }

  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  FakeDnssd dnssd;
  Reports reports;
  NetworkSearch& search = NetworkSearch::shareInstance();

 private:
  platform::Dnssd* m_previous = nullptr;
};

}  // namespace

TEST_F(NetworkSearchTest, NothingFoundReportsNoneAtTheTimeOut) {
  const quint64 n = search.search();
  waitForReport();
  ASSERT_EQ(reports.reports.size(), 1u);
  EXPECT_TRUE(reports.reports[0].none);
  EXPECT_EQ(reports.reports[0].search, n);
  EXPECT_EQ(dnssd.browseRequests().value(0), (QPair<QString, QString>{"_scanner._tcp", "local"}));
  EXPECT_EQ(dnssd.activeBrowses(), 0);
}

TEST_F(NetworkSearchTest, OneScannerIsReportedAsSoonAsItResolves) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.searchTimeout = 10s;
  ScopedMonitorTimings longSearch(t);
  dnssd.addService(scanner("A", "QMX-7315W", "127.0.0.9", 50ms));
  search.search();
  waitForReport();
  ASSERT_EQ(reports.reports.size(), 1u);
  ASSERT_EQ(reports.reports[0].devices.size(), 1);
  const QVariantMap e = reports.reports[0].devices[0];
  EXPECT_EQ(e.value("name").toString(), "A");
  EXPECT_EQ(e.value("IPAddress").toString(), "127.0.0.9");
  EXPECT_EQ(e.value("mdl").toString(), "QMX-7315W");
  EXPECT_EQ(dnssd.activeBrowses(), 0);
  EXPECT_EQ(dnssd.resolveRequests().value(0).limit, 300ms);
}

TEST_F(NetworkSearchTest, ModelFilterAppliesWhenEveryServiceResolved) {
  for (const QString& filter : {QStringLiteral("QMX-7315W"), QString()}) {
    reports.reports.clear();
    search.setModelFilter(filter);
    dnssd.addService(scanner("A", "QMX-7315W", "127.0.0.9"));
    dnssd.addService(scanner("B", "Other", "127.0.0.10"));
    search.search();
    waitForReport();
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].devices.size(), filter.isEmpty() ? 2 : 1) << filter.toStdString();
    dnssd.waitIdle();
  }
}

TEST_F(NetworkSearchTest, TimeOutReportsTheResolvedEntriesUnfiltered) {
  search.setModelFilter("QMX-7315W");
  dnssd.addService(scanner("A", "Other", "127.0.0.9"));
  FakeDnssd::Service never = scanner("B", "QMX-7315W", "127.0.0.10", 1h);
  dnssd.addService(never);
  search.search();
  waitForReport();
  ASSERT_EQ(reports.reports.size(), 1u);
  ASSERT_EQ(reports.reports[0].devices.size(), 1);
  EXPECT_EQ(reports.reports[0].devices[0].value("name").toString(), "A");
}

TEST_F(NetworkSearchTest, AServiceWhoseResolveEndsWithoutAnIPv4AddressLeavesTheListAndTheOthersReportEarly) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.searchTimeout = 30s;  // the report below comes long before the search's own limit
  t.resolveTimeout = 200ms;
  ScopedMonitorTimings longSearch(t);
  search.setModelFilter("QMX-7315W");
  dnssd.addService(scanner("A", "QMX-7315W", "127.0.0.9"));
  dnssd.addService(scanner("C", "Other", "127.0.0.11"));
  // IPv6 only: resolved, but with nothing the monitor can use.
  dnssd.addService(FakeDnssd::service("B", {{"mdl", "QMX-7315W"}, {"uuid", "B"}}, {FakeDnssd::ipv6("fe80::2")}));
  // A resolve that fails.
  FakeDnssd::Service d = scanner("D", "QMX-7315W", "127.0.0.12");
  d.resolveError = platform::DnssdError{platform::DnssdError::Code::NotFound, "gone"};
  dnssd.addService(d);
  search.search();
  waitForReport();
  ASSERT_EQ(reports.reports.size(), 1u);
  ASSERT_EQ(reports.reports[0].devices.size(), 1) << "filtered by model, B and D left out";
  EXPECT_EQ(reports.reports[0].devices[0].value("name").toString(), "A");
  EXPECT_EQ(dnssd.activeBrowses(), 0);
  for (const auto& e : reports.reports[0].devices) EXPECT_TRUE(NetworkSearch::isDottedIPv4(e.value("IPAddress").toString()));
}

TEST_F(NetworkSearchTest, AnIPv6AddressThatComesFirstIsWaitedPastForTheIPv4One) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.searchTimeout = t.resolveTimeout = 5s;
  ScopedMonitorTimings longSearch(t);
  FakeDnssd::Service s = FakeDnssd::service("A", {{"uuid", "A"}}, {FakeDnssd::ipv6("fe80::1"), FakeDnssd::ipv4("127.0.0.9")});
  s.addressInterval = 50ms;
  dnssd.addService(s);
  search.search();
  waitForReport();
  ASSERT_EQ(reports.reports.size(), 1u);
  ASSERT_EQ(reports.reports[0].devices.size(), 1);
  EXPECT_EQ(reports.reports[0].devices[0].value("IPAddress").toString(), "127.0.0.9");
}

TEST(DottedIPv4Test, OnlyTheDottedFormCounts) {
  for (const char* yes : {"127.0.0.1", "192.168.1.20", "0.0.0.0", "255.255.255.255"})
    EXPECT_TRUE(NetworkSearch::isDottedIPv4(yes)) << yes;
  for (const char* no : {"", "fe80::1", "::ffff:127.0.0.1", "127.0.0", "127.0.0.1.5", "256.1.1.1", " 127.0.0.1",
                         "127.0.0.1 ", "scanner.local", "0x7f.0.0.1"})
    EXPECT_FALSE(NetworkSearch::isDottedIPv4(no)) << no;
}

TEST_F(NetworkSearchTest, EntryKeepsNameAndAddressOverTheTxtRecord) {
  platform::DnssdResolved r;
  r.service = {"Scanner", "_scanner._tcp", "local"};
  r.txt = {{"name", "forged"}, {"IPAddress", "10.9.9.9"}, {"empty", ""}, {"bad", QByteArray("\xC3\x28", 2)},
           {"uuid", "ABC"}};
  r.addresses = {FakeDnssd::ipv6("fe80::1"), FakeDnssd::ipv4("127.0.0.7")};
  QVariantMap e = NetworkSearch::deviceEntry(r);
  EXPECT_EQ(e.value("name").toString(), "Scanner");
  EXPECT_EQ(e.value("IPAddress").toString(), "127.0.0.7");
  EXPECT_EQ(e.value("uuid").toString(), "ABC");
  EXPECT_FALSE(e.contains("empty"));
  EXPECT_FALSE(e.contains("bad"));
  r.addresses.clear();
  e = NetworkSearch::deviceEntry(r);
  EXPECT_FALSE(e.contains("IPAddress"));  // not the TXT record's
}

TEST_F(NetworkSearchTest, SameNameResolvedLaterStandsFirst) {
  const quint64 n = search.search();
  search.netServiceBrowser({"Twin", "_scanner._tcp", "local"});
  search.netServiceBrowser({"Twin", "_other._tcp", "local"});
  platform::DnssdResolved first, second;
  first.service = {"Twin", "_scanner._tcp", "local"};
  first.txt = {{"order", "first"}};
  first.addresses = {FakeDnssd::ipv4("127.0.0.7")};
  second.service = {"Twin", "_other._tcp", "local"};
  second.txt = {{"order", "second"}};
  second.addresses = {FakeDnssd::ipv4("127.0.0.8")};
  search.netServiceDidResolveAddress(n, first);
  search.netServiceDidResolveAddress(n, second);
  ASSERT_EQ(reports.reports.size(), 1u);
  ASSERT_EQ(reports.reports[0].devices.size(), 2);
  EXPECT_EQ(reports.reports[0].devices[0].value("order").toString(), "second");
}

// ---- controllerScan re-discovery ------------------------------------------------------------------

namespace {

const char* kScannerUUID = "3F6A2C1E-7315-4B8D-9E21-5A0C0FFEE315";

class RediscoveryTest : public NetworkSearchTest {
 protected:
  RediscoveryTest() {
    path = dir.path() + "/DeviceSetting.plist";
    oldAddress = unusedLoopbackAddress();
    writeDeviceFile(path, {{"VID", "1209"}, {"PID", "1"}, {"IPAddress", oldAddress}, {"UUID", kScannerUUID},
                           {"PCUUID", "11111111-2222-3333-4444-555555555555"}});
  }
  std::unique_ptr<controllerScan> make() {
    controllerScan::Environment env;
    env.deviceFilePath = [p = path] { return p; };
    env.hostName = [] { return QStringLiteral("host"); };
    return std::make_unique<controllerScan>(env);
  }
  void announce(const platform::TxtRecord& txt) {
    dnssd.addService(FakeDnssd::service("Zerelta QMX-7315W", txt, {FakeDnssd::ipv4(sim.address())}));
  }

  MonitorSim sim;
  QTemporaryDir dir;
  QString path;
  QString oldAddress;
};

}  // namespace

// A stored address where nothing answers, or a host name (never looked up: no address).
TEST_F(RediscoveryTest, ScannerIsFoundAtItsNewAddressByItsUUIDAndTheAddressIsSaved) {
  struct Case {
    platform::TxtRecord txt;
    bool found;
    QString stored;  // "IPAddress" of the device file; empty: an address where nothing listens
  };
  const Case cases[] = {
      {{{"uuid", kScannerUUID}}, true, {}},
      {{{"UUID", kScannerUUID}}, true, {}},
      {{{"uuid", kScannerUUID}, {"UUID", "other"}}, true, {}},
      {{{"uuid", "other"}, {"UUID", kScannerUUID}}, false, {}},  // only "uuid" counts when both are there
      {{{"uuid", kScannerUUID}}, true, "localhost"},
  };
  for (const Case& c : cases) {
    const QString stored = c.stored.isEmpty() ? oldAddress : c.stored;
    SCOPED_TRACE(stored.toStdString());
    writeDeviceFile(path, [&] {
      QVariantMap m = readDeviceFile(path);
      m["IPAddress"] = stored;
      return m;
    }());
    announce(c.txt);
    auto scan = make();
    const int before = openDescriptors();
    Watchdog dog(60s, "an operation with re-discovery");
    EXPECT_EQ(scan->comparePCListMaxCountAndCurrentCount(), c.found);
    sim.scanner().waitIdle();
    EXPECT_EQ(openDescriptorsSettled(before), before);
    EXPECT_EQ(scan->IPAddressStr(), c.found ? sim.address() : stored);
    EXPECT_EQ(readDeviceFile(path).value("IPAddress").toString(), c.found ? sim.address() : stored);
    dnssd.waitIdle();
  }
}

// Only a dotted IPv4 address is taken, kept and saved: one that comes after an IPv6 one is waited
// for; a scanner announced without one is not found, and the address in use and in the file
// stay as they were (never empty).
TEST_F(RediscoveryTest, OnlyADottedIPv4AddressIsTakenAndSaved) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.searchTimeout = t.resolveTimeout = 1500ms;
  ScopedMonitorTimings searchTime(t);
  struct Case {
    const char* what;
    QList<platform::DnssdAddress> addresses;
    bool found;
  };
  const Case cases[] = {
      {"IPv6 first, then IPv4", {FakeDnssd::ipv6("fe80::1"), FakeDnssd::ipv4(sim.address())}, true},
      {"IPv6 only", {FakeDnssd::ipv6("fe80::1")}, false},
      {"an empty IPv4 text", {FakeDnssd::ipv4("")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeDeviceFile(path, [&] {
      QVariantMap m = readDeviceFile(path);
      m["IPAddress"] = oldAddress;
      return m;
    }());
    FakeDnssd::Service s = FakeDnssd::service("Zerelta QMX-7315W", {{"uuid", kScannerUUID}}, c.addresses);
    s.addressInterval = 50ms;
    dnssd.addService(s);
    auto scan = make();
    Watchdog dog(60s, "a re-discovery");
    EXPECT_EQ(scan->modifyNetIPConnect(), c.found);
    EXPECT_EQ(scan->IPAddressStr(), c.found ? sim.address() : oldAddress);
    EXPECT_EQ(readDeviceFile(path).value("IPAddress").toString(), c.found ? sim.address() : oldAddress);
    dnssd.waitIdle();
  }
}

TEST_F(RediscoveryTest, ModifyNetIPConnectSavesWhatItFinds) {
  announce({{"uuid", kScannerUUID}});
  auto scan = make();
  EXPECT_TRUE(scan->modifyNetIPConnect());
  EXPECT_EQ(readDeviceFile(path).value("IPAddress").toString(), sim.address());
}

TEST_F(RediscoveryTest, WaitForTheReportGivesUp) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.searchTimeout = 1h;  // the search never reports
  t.resolveTimeout = 1h;
  t.discoveryWait = 300ms;
  ScopedMonitorTimings silentSearch(t);
  FakeDnssd::Service s = FakeDnssd::service("Slow", {{"uuid", kScannerUUID}}, {FakeDnssd::ipv4(sim.address())});
  s.resolveDelay = 1h;
  dnssd.addService(s);
  auto scan = make();
  Watchdog dog(60s, "a wait for a discovery that never reports");
  EXPECT_FALSE(scan->modifyNetIPConnect());
  EXPECT_EQ(scan->IPAddressStr(), oldAddress);
}

TEST_F(RediscoveryTest, ReportOfAnEarlierSearchIsIgnored) {
  auto scan = make();
  QTimer::singleShot(20ms, [&] {
    const QList<QVariantMap> stale = {{{"uuid", kScannerUUID}, {"IPAddress", sim.address()}, {"name", "old"}}};
    scan->searchDevicesDidFinish(&stale, search.currentSearch() - 1);
  });
  Watchdog dog(60s, "a wait with a stale report");
  EXPECT_FALSE(scan->modifyNetIPConnect());  // its own search finds nothing
  EXPECT_EQ(scan->IPAddressStr(), oldAddress);
  EXPECT_EQ(readDeviceFile(path).value("IPAddress").toString(), oldAddress);
}
