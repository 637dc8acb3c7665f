// The discovery interface as its users see it, on the scripted backend: found and removed
// reports, resolves with TXT records and several addresses, failures, time limits and stops;
// plus the helpers every backend shares.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <gtest/gtest.h>
#include <vector>

#include "platform/dnssd/FakeDnssd.h"

using namespace std::chrono_literals;
using platform::DnssdAddress;
using platform::DnssdError;
using platform::DnssdResolved;
using platform::DnssdService;
using platform::FakeDnssd;
using platform::TxtRecord;

namespace {

const QString kType = QStringLiteral("_scanner._tcp.");
const QString kDomain = QStringLiteral("local.");

struct Report {
  bool found;
  QString name;
  bool moreComing;
};

// A browse that writes down what it is told.
struct BrowseLog {
  std::vector<Report> reports;
  platform::DnssdBrowseCallbacks callbacks() {
    return {[this](const DnssdService& s, bool more) { reports.push_back({true, s.name, more}); },
            [this](const DnssdService& s, bool more) { reports.push_back({false, s.name, more}); }};
  }
};

struct ResolveLog {
  std::vector<DnssdResolved> resolved;
  std::vector<DnssdError> errors;
  platform::DnssdResolveCallbacks callbacks() {
    return {[this](const DnssdResolved& r) { resolved.push_back(r); },
            [this](const DnssdError& e) { errors.push_back(e); }};
  }
};

QStringList texts(const QList<DnssdAddress>& addresses) {
  QStringList out;
  for (const DnssdAddress& a : addresses)
    out << (a.family == DnssdAddress::Family::IPv4 ? "v4 " : "v6 ") + a.text;
  return out;
}

TxtRecord scannerTxt() {
  return {{"ty", "Zerelta QMX-7315W"}, {"mfg", "Zerelta"}, {"mdl", "QMX-7315W"}, {"uuid", "UUID-1"}};
}

}  // namespace

TEST(DnssdFake, BrowseReportsEachServiceOnALaterTurnWithMoreComing) {
  FakeDnssd fake;
  fake.addService(FakeDnssd::service("A", scannerTxt(), {FakeDnssd::ipv4("127.0.0.2")}));
  fake.addService(FakeDnssd::service("B", scannerTxt(), {FakeDnssd::ipv4("127.0.0.3")}));
  FakeDnssd::Service other = FakeDnssd::service("printer", {}, {});
  other.service.type = "_ipp._tcp";
  fake.addService(other);

  BrowseLog log;
  const auto h = fake.browse(kType, kDomain, log.callbacks());  // trailing dots match
  EXPECT_NE(h, 0u);
  EXPECT_TRUE(log.reports.empty()) << "never from inside browse()";
  ASSERT_TRUE(fake.waitIdle());
  ASSERT_EQ(log.reports.size(), 2u);
  EXPECT_EQ(log.reports[0].name, "A");
  EXPECT_TRUE(log.reports[0].moreComing);
  EXPECT_EQ(log.reports[1].name, "B");
  EXPECT_FALSE(log.reports[1].moreComing);

  // Later arrivals and departures, each reported once.
  log.reports.clear();
  fake.addService(FakeDnssd::service("C", scannerTxt(), {}));
  fake.addService(FakeDnssd::service("C", scannerTxt(), {FakeDnssd::ipv4("127.0.0.4")}));  // an update
  fake.removeService({"A", "_scanner._tcp", "local"});
  fake.removeService({"nobody", "_scanner._tcp", "local"});
  ASSERT_TRUE(fake.waitIdle());
  ASSERT_EQ(log.reports.size(), 2u);
  EXPECT_TRUE(log.reports[0].found);
  EXPECT_EQ(log.reports[0].name, "C");
  EXPECT_FALSE(log.reports[1].found);
  EXPECT_EQ(log.reports[1].name, "A");

  fake.stop(h);
  fake.addService(FakeDnssd::service("D", scannerTxt(), {}));
  ASSERT_TRUE(fake.waitIdle());
  EXPECT_EQ(log.reports.size(), 2u) << "nothing after stop";
  EXPECT_EQ(fake.browseRequests().size(), 1);
  EXPECT_EQ(fake.browseRequests()[0].first, kType);
}

TEST(DnssdFake, ResolveGivesTxtAndEveryAddressInOrder) {
  FakeDnssd fake;
  FakeDnssd::Service s = FakeDnssd::service("A", {{"ty", "Zerelta QMX-7315W"}, {"flag", QByteArray()}},
                                            {FakeDnssd::ipv6("fe80::1"), FakeDnssd::ipv4("127.0.0.2"),
                                             FakeDnssd::ipv4("127.0.0.3")});
  s.addressInterval = 5ms;  // one address after the other
  fake.addService(s);

  ResolveLog log;
  fake.resolve({"A", kType, kDomain}, 10s, log.callbacks());
  EXPECT_TRUE(log.resolved.empty());
  ASSERT_TRUE(fake.waitIdle());
  ASSERT_EQ(log.resolved.size(), 3u) << "called again for each further address";
  EXPECT_EQ(texts(log.resolved[0].addresses), QStringList({"v6 fe80::1"}));
  EXPECT_EQ(texts(log.resolved[2].addresses), QStringList({"v6 fe80::1", "v4 127.0.0.2", "v4 127.0.0.3"}));
  const DnssdResolved& r = log.resolved.back();
  EXPECT_EQ(r.service, (DnssdService{"A", "_scanner._tcp", "local"}));
  EXPECT_EQ(r.port, 5566);
  EXPECT_EQ(r.txt.value("ty"), "Zerelta QMX-7315W");
  EXPECT_FALSE(r.txt.contains("sn")) << "a missing key stays missing";
  EXPECT_TRUE(r.txt.contains("flag"));
  EXPECT_TRUE(r.txt.value("flag").isNull());
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(fake.activeResolves(), 0) << "ended after its last address";
  ASSERT_EQ(fake.resolveRequests().size(), 1);
  EXPECT_EQ(fake.resolveRequests()[0].limit, 10s);
}

TEST(DnssdFake, ResolveFailuresAndTimeLimits) {
  struct Case {
    const char* what;
    std::chrono::milliseconds delay;
    std::chrono::milliseconds interval;
    bool announced;
    bool withAddresses;
    std::optional<DnssdError> error;
    std::chrono::milliseconds limit;
    DnssdError::Code expected;
    std::size_t resolvedCalls;
  };
  const DnssdError refused{DnssdError::Code::Failed, "refused"};
  const std::vector<Case> cases = {
      {"scripted failure", 5ms, -1ms, true, true, refused, 1s, DnssdError::Code::Failed, 0},
      {"slower than the limit", 500ms, -1ms, true, true, std::nullopt, 20ms, DnssdError::Code::Timeout, 0},
      {"failure slower than the limit", 500ms, -1ms, true, true, refused, 20ms, DnssdError::Code::Timeout, 0},
      {"no addresses at all", 0ms, -1ms, true, false, std::nullopt, 20ms, DnssdError::Code::Timeout, 0},
      {"not announced", 0ms, -1ms, false, true, std::nullopt, 1s, DnssdError::Code::NotFound, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDnssd fake;
    FakeDnssd::Service s = FakeDnssd::service("A", scannerTxt(), {});
    if (c.withAddresses) s.addresses = {FakeDnssd::ipv4("127.0.0.2")};
    s.resolveDelay = c.delay;
    s.addressInterval = c.interval;
    s.resolveError = c.error;
    if (c.announced) fake.addService(s);
    ResolveLog log;
    fake.resolve({"A", kType, kDomain}, c.limit, log.callbacks());
    ASSERT_TRUE(fake.waitIdle());
    EXPECT_EQ(log.resolved.size(), c.resolvedCalls);
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.errors[0].code, c.expected);
    EXPECT_EQ(fake.activeResolves(), 0);
  }

  // Addresses after the limit never come; those before it do, and no failure follows.
  FakeDnssd fake;
  FakeDnssd::Service s = FakeDnssd::service("A", scannerTxt(), {FakeDnssd::ipv4("127.0.0.2"), FakeDnssd::ipv4("127.0.0.3")});
  s.addressInterval = 2s;
  fake.addService(s);
  ResolveLog log;
  fake.resolve({"A", kType, kDomain}, 1s, log.callbacks());
  ASSERT_TRUE(fake.waitIdle());
  ASSERT_EQ(log.resolved.size(), 1u);
  EXPECT_EQ(texts(log.resolved[0].addresses), QStringList({"v4 127.0.0.2"}));
  EXPECT_TRUE(log.errors.empty());
}

TEST(DnssdFake, StopEndsCallbacksAlsoFromInsideOne) {
  FakeDnssd fake;
  for (const char* name : {"A", "B", "C"}) fake.addService(FakeDnssd::service(name, scannerTxt(), {}));
  // A browse stopped by its first report hears nothing more.
  std::vector<QString> seen;
  platform::DnssdHandle h = 0;
  h = fake.browse(kType, kDomain, {[&](const DnssdService& s, bool) {
                                     seen.push_back(s.name);
                                     fake.stop(h);
                                   },
                                   nullptr});
  // A resolve stopped before its answer never answers.
  FakeDnssd::Service slow = FakeDnssd::service("D", scannerTxt(), {FakeDnssd::ipv4("127.0.0.9")});
  slow.resolveDelay = 20ms;
  fake.addService(slow);
  ResolveLog log;
  const auto r = fake.resolve({"D", kType, kDomain}, 10s, log.callbacks());
  fake.stop(r);
  fake.stop(r);        // twice: nothing
  fake.stop(123456);   // unknown: nothing
  ASSERT_TRUE(fake.waitIdle());
  EXPECT_EQ(seen, std::vector<QString>({"A"}));
  EXPECT_TRUE(log.resolved.empty());
  EXPECT_TRUE(log.errors.empty());
  EXPECT_EQ(fake.activeBrowses(), 0);
}

TEST(DnssdFake, InstalledBackendIsTheProcessBackendUntilRestored) {
  FakeDnssd fake;
  platform::Dnssd* previous = platform::setDnssd(&fake);
  EXPECT_EQ(&platform::dnssd(), &fake);
  EXPECT_EQ(platform::setDnssd(nullptr), &fake);
  EXPECT_NE(&platform::dnssd(), &fake);
  EXPECT_EQ(&platform::dnssd(), previous);
}

TEST(DnssdHelpers, TxtStringsBecomeKeysAndBytes) {
  struct Case {
    QList<QByteArray> strings;
    TxtRecord expected;
    QStringList nullKeys;
  };
  const std::vector<Case> cases = {
      {{"ty=Zerelta QMX-7315W", "sn=ZRQ"}, {{"ty", "Zerelta QMX-7315W"}, {"sn", "ZRQ"}}, {}},
      {{"a=b=c"}, {{"a", "b=c"}}, {}},                                     // only the first "=" splits
      {{"flag", "empty="}, {{"flag", QByteArray()}, {"empty", ""}}, {"flag"}},  // no "=": null value
      {{"k=first", "k=second"}, {{"k", "first"}}, {}},                     // a repeat does not count
      {{"=orphan", ""}, {}, {}},                                           // no key: skipped
      {{"uuid=lower", "UUID=upper"}, {{"uuid", "lower"}, {"UUID", "upper"}}, {}},  // case kept
      {{QByteArray("bin=\x00\xff", 6)}, {{"bin", QByteArray("\x00\xff", 2)}}, {}},
  };
  for (const Case& c : cases) {
    const TxtRecord got = platform::txtRecordFromStrings(c.strings);
    EXPECT_EQ(got, c.expected) << c.strings.join('|').toStdString();
    for (auto it = got.cbegin(); it != got.cend(); ++it)
      EXPECT_EQ(it.value().isNull(), c.nullKeys.contains(it.key())) << it.key().toStdString();
  }
}

TEST(DnssdHelpers, NamesAndErrorTexts) {
  EXPECT_EQ(platform::withoutTrailingDot("_scanner._tcp."), "_scanner._tcp");
  EXPECT_EQ(platform::withoutTrailingDot("local"), "local");
  EXPECT_EQ(platform::withoutTrailingDot(""), "");
  const DnssdError e{DnssdError::Code::Timeout, "no address within 10.0 s"};
  EXPECT_EQ(e.toString(), "{code = timeout; message = no address within 10.0 s}");
  EXPECT_EQ(e.toMap().value("code").toString(), "timeout");
  EXPECT_NE(platform::nextDnssdHandle(), platform::nextDnssdHandle());
}
