// Discovery against a real Avahi daemon limited to the loopback interface (a private one, on a
// private bus): what the publisher announces, the browser finds and resolves, and so does the
// simulator program's own announcement. Skipped where such a daemon cannot run.
//
// Several of these daemons may run at once on one machine (tests in parallel) and hear each
// other, so each test looks only for the names it published itself.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <chrono>
#include <gtest/gtest.h>
#include <net/if.h>
#include <optional>
#include <unistd.h>
#include <vector>

#include "support/LoopbackAvahi.h"
#include "support/SimProgram.h"
#include "platform/dnssd/AvahiBrowser.h"
#include "platform/dnssd/AvahiPublisher.h"

using namespace std::chrono_literals;
using platform::AvahiBrowser;
using platform::AvahiPublisher;
using platform::DnssdAddress;
using platform::DnssdResolved;
using platform::DnssdService;

namespace {

constexpr int kWaitMs = 20000;  // generous: probing takes about a second per name

bool spinUntil(const std::function<bool()>& done, int ms = kWaitMs) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!done()) QThread::msleep(2);
  }
  return done();
}

// A loopback address of this process's own (127.0.0.2 .. 127.0.0.201).
QString ownLoopbackAddress() { return QStringLiteral("127.0.0.%1").arg(2 + ::getpid() % 200); }

// Everything one browse found, and every resolution of it.
struct Discovery {
  AvahiBrowser& browser;
  std::vector<DnssdService> found;
  std::vector<DnssdService> removed;
  std::vector<DnssdResolved> resolved;
  std::vector<platform::DnssdError> errors;
  platform::DnssdHandle browse = 0;

  explicit Discovery(AvahiBrowser& b) : browser(b) {
    browse = browser.browse("_scanner._tcp.", "local.",
                            {[this](const DnssdService& s, bool) { found.push_back(s); },
                             [this](const DnssdService& s, bool) { removed.push_back(s); }});
  }
  ~Discovery() { browser.stop(browse); }

  bool hasFound(const QString& name) const {
    for (const auto& s : found)
      if (s.name == name) return true;
    return false;
  }
  void resolve(const DnssdService& s) {
    browser.resolve(s, 10s, {[this](const DnssdResolved& r) { resolved.push_back(r); },
                             [this](const platform::DnssdError& e) { errors.push_back(e); }});
  }
  // The latest resolution of `name` with an address, if any.
  const DnssdResolved* resolutionOf(const QString& name) const {
    for (auto it = resolved.rbegin(); it != resolved.rend(); ++it)
      if (it->service.name == name && !it->addresses.isEmpty()) return &*it;
    return nullptr;
  }
};

// A service named "zr-<label>-<pid> [<serial>]" of host "zr-<label>-<pid>.local" at this
// process's own loopback address, port 5566, on the loopback interface.
AvahiPublisher::Registration loopbackRegistration(const QString& label, const QString& serial,
                                                  const platform::TxtRecord& txt) {
  AvahiPublisher::Registration r;
  r.name = QStringLiteral("zr-%1-%2 [%3]").arg(label).arg(::getpid()).arg(serial);
  r.type = "_scanner._tcp.";
  r.port = 5566;
  r.interfaceIndex = static_cast<int>(if_nametoindex("lo"));
  r.hostName = QStringLiteral("zr-%1-%2.local").arg(label).arg(::getpid());
  r.address = ownLoopbackAddress();
  r.txt = txt;
  return r;
}

// Publishes `r` and waits until the daemon confirms it.
::testing::AssertionResult publishConfirmed(AvahiPublisher& publisher, const AvahiPublisher::Registration& r) {
  if (!publisher.publish(r)) return ::testing::AssertionFailure() << publisher.error().toStdString();
  if (!spinUntil([&] { return publisher.state() == AvahiPublisher::State::Established; }))
    return ::testing::AssertionFailure() << "not confirmed: " << publisher.error().toStdString();
  return ::testing::AssertionSuccess();
}

void expectOnlyLoopback(const DnssdResolved& r) {
  for (const DnssdAddress& a : r.addresses) {
    EXPECT_EQ(a.family, DnssdAddress::Family::IPv4) << a.text.toStdString();
    EXPECT_TRUE(a.text.startsWith("127.")) << a.text.toStdString();
  }
}

}  // namespace

TEST(DnssdLoopback, PublishedServiceIsFoundAndResolvedWithItsTxtAndAddress) {
  LoopbackAvahi& avahi = LoopbackAvahi::shared();
  ZR_REQUIRE_LOOPBACK_AVAHI(avahi);
  const int lo = static_cast<int>(if_nametoindex("lo"));
  ASSERT_GT(lo, 0);

  AvahiPublisher publisher;
  const AvahiPublisher::Registration r =
      loopbackRegistration("test", "SN-1",
                           {{"ty", "Zerelta QMX-7315W"}, {"sn", "SN-1"}, {"ADP", "WIRED"}, {"flag", QByteArray()},
                            {"empty", ""}, {"bin", QByteArray("\x01\x00\xfe", 3)}});
  ASSERT_TRUE(publishConfirmed(publisher, r));

  AvahiBrowser browser;
  Discovery d(browser);
  const QString name = publisher.publishedName();
  ASSERT_TRUE(spinUntil([&] { return d.hasFound(name); }));
  EXPECT_TRUE(browser.connected());
  for (const auto& s : d.found) {
    if (s.name != name) continue;
    EXPECT_EQ(s.type, "_scanner._tcp");
    EXPECT_EQ(s.domain, "local");
    d.resolve(s);
  }
  ASSERT_TRUE(spinUntil([&] { return d.resolutionOf(name) != nullptr || !d.errors.empty(); }));
  ASSERT_TRUE(d.errors.empty()) << d.errors[0].toString().toStdString();
  const DnssdResolved& got = *d.resolutionOf(name);
  EXPECT_EQ(got.port, 5566);
  EXPECT_EQ(got.hostName, publisher.publishedHostName());
  EXPECT_EQ(got.txt, r.txt);
  EXPECT_TRUE(got.txt.value("flag").isNull()) << "a key alone stays a key alone";
  EXPECT_FALSE(got.txt.value("empty").isNull());
  ASSERT_EQ(got.addresses.size(), 1);
  EXPECT_EQ(got.addresses[0].text, ownLoopbackAddress());
  EXPECT_EQ(got.addresses[0].interfaceIndex, lo);
  expectOnlyLoopback(got);
  // Found once, however it is announced.
  EXPECT_EQ(std::count_if(d.found.begin(), d.found.end(), [&](const DnssdService& s) { return s.name == name; }), 1);

  // Taken off the network: reported gone.
  publisher.withdraw();
  EXPECT_TRUE(spinUntil([&] {
    return std::any_of(d.removed.begin(), d.removed.end(), [&](const DnssdService& s) { return s.name == name; });
  }));
}

// Two simulators started side by side on two loopback addresses are two scanners on the
// network: each announces a serial and a host of its own, so neither entry takes the other's place.
TEST(DnssdLoopback, SimulatorsSideBySideAnnounceSerialsAndHostsOfTheirOwn) {
  LoopbackAvahi& avahi = LoopbackAvahi::shared();
  ZR_REQUIRE_LOOPBACK_AVAHI(avahi);

  const QStringList addresses = {ownLoopbackAddress(), QStringLiteral("127.0.1.%1").arg(2 + ::getpid() % 200)};
  SimProgram simulators[2];
  for (int i = 0; i < 2; ++i)
    ASSERT_TRUE(simulators[i].start(QStringLiteral(ZR_SIM_PATH), {"--address", addresses[i], "--port", "0", "--publish"}))
        << simulators[i].standardError().toStdString();

  AvahiBrowser browser;
  Discovery d(browser);
  // The simulators of other tests may be announced too: resolve every candidate and keep the
  // ones at these simulators' addresses and ports.
  std::size_t asked = 0;
  std::optional<DnssdResolved> mine[2];
  ASSERT_TRUE(spinUntil([&] {
    for (; asked < d.found.size(); ++asked)
      if (d.found[asked].name.startsWith("Zerelta QMX-7315W [")) d.resolve(d.found[asked]);
    for (const auto& r : d.resolved)
      for (int i = 0; i < 2; ++i)
        if (r.port == simulators[i].port() && !r.addresses.isEmpty() && r.addresses[0].text == addresses[i]) mine[i] = r;
    return mine[0].has_value() && mine[1].has_value();
  })) << "stderr of the simulators: " << simulators[0].standardError().toStdString()
      << simulators[1].standardError().toStdString();

  // A host name is one DNS label (letters, digits, hyphens; neither first nor last a hyphen; at
  // most 63) in "local".
  const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(addresses[i].toStdString());
    const DnssdResolved& r = *mine[i];
    const QString serial = QString::fromUtf8(r.txt.value("sn"));
    EXPECT_FALSE(serial.isEmpty());
    EXPECT_TRUE(r.service.name.startsWith("Zerelta QMX-7315W [" + serial + "]")) << r.service.name.toStdString();
    platform::TxtRecord rest = r.txt;
    rest.remove("sn");
    const platform::TxtRecord expected = {
        {"ty", "Zerelta QMX-7315W"}, {"mfg", "Zerelta"}, {"mdl", "QMX-7315W"}, {"ADP", "WIRED"},
        {"uuid", "3F6A2C1E-7315-4B8D-9E21-5A0C0FFEE315"}, {"adminurl", ("http://" + addresses[i] + "/").toUtf8()},
        {"txtvers", "1"}, {"button", "T"}, {"feeder", "T"}, {"flatbed", "F"}};
    EXPECT_EQ(rest, expected);
    ASSERT_TRUE(r.hostName.endsWith(".local")) << r.hostName.toStdString();
    const QString host = r.hostName.chopped(6);
    EXPECT_TRUE(host.startsWith("zerelta-sim")) << host.toStdString();
    EXPECT_TRUE(label.match(host).hasMatch()) << host.toStdString();
    expectOnlyLoopback(r);
  }
  EXPECT_NE(mine[0]->txt.value("sn"), mine[1]->txt.value("sn"));
  EXPECT_NE(mine[0]->service.name, mine[1]->service.name);
  EXPECT_NE(mine[0]->hostName, mine[1]->hostName);

  // A simulator hears of its announcement from the daemon, which may be after the browser
  // already resolved it: wait for its line before stopping it.
  for (SimProgram& simulator : simulators) {
    EXPECT_TRUE(spinUntil([&] { return simulator.standardError().contains("announced as \"Zerelta QMX-7315W ["); }))
        << simulator.standardError().toStdString();
    EXPECT_EQ(simulator.stop(), 0);
  }
}

// Answers that came while the thread was busy past the resolves' time limit still count: the
// limit takes in what the daemon already sent before it decides. Several resolves at once, so
// their answers queue up behind one another as they do when the program was busy.
TEST(DnssdLoopback, AnswersThatCameWhileTheThreadWasBusyCountAfterTheLimit) {
  LoopbackAvahi& avahi = LoopbackAvahi::shared();
  ZR_REQUIRE_LOOPBACK_AVAHI(avahi);

  AvahiPublisher publisher;
  ASSERT_TRUE(publishConfirmed(publisher, loopbackRegistration("busy", "SN-2", {{"ty", "Zerelta QMX-7315W"}})));

  AvahiBrowser browser;
  Discovery d(browser);
  const QString name = publisher.publishedName();
  ASSERT_TRUE(spinUntil([&] { return d.hasFound(name); }));
  const auto service = std::find_if(d.found.begin(), d.found.end(), [&](const DnssdService& s) { return s.name == name; });

  constexpr int kResolves = 4;
  int resolved = 0;
  std::vector<platform::DnssdError> errors;
  for (int i = 0; i < kResolves; ++i) {
    browser.resolve(*service, 300ms, {[&](const DnssdResolved& got) { resolved += got.addresses.isEmpty() ? 0 : 1; },
                                      [&](const platform::DnssdError& e) { errors.push_back(e); }});
  }
  QThread::msleep(1500);  // busy: the daemon answers meanwhile, and every limit passes
  spinUntil([&] { return resolved + static_cast<int>(errors.size()) >= kResolves; }, 5000);
  EXPECT_EQ(resolved, kResolves);
  EXPECT_TRUE(errors.empty()) << errors.front().toString().toStdString();
}
