// The Avahi backend and publisher on a machine where no daemon answers: one clear log line,
// nothing found, resolves that end, and no hang. The system bus is pointed at a socket that
// does not exist before anything in the process can connect to the real one.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/LogCapture.h"
#include "platform/dnssd/AvahiBrowser.h"
#include "platform/dnssd/AvahiPublisher.h"
#include "platform/dnssd/Dnssd.h"

using namespace std::chrono_literals;

namespace {

// Before main(): libdbus reads the address once, at the first system-bus connection.
const bool kNoBus = setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/zr-no-bus", 1) == 0;

bool spinUntil(const std::function<bool()>& done, int ms = 5000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!done()) QThread::msleep(1);
  }
  return done();
}

void spinFor(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

// Collects what the code writes to stderr.
class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    m_saved = dup(2);
    m_file = std::tmpfile();
    dup2(fileno(m_file), 2);
  }
  ~StderrCapture() { restore(); }
  QString text() {
    restore();
    std::rewind(m_file);
    QByteArray all;
    char buf[512];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, m_file)) > 0) all.append(buf, static_cast<qsizetype>(n));
    return QString::fromLocal8Bit(all);
  }

 private:
  void restore() {
    if (m_saved < 0) return;
    std::fflush(stderr);
    dup2(m_saved, 2);
    close(m_saved);
    m_saved = -1;
  }
  int m_saved = -1;
  std::FILE* m_file = nullptr;
};

}  // namespace

TEST(DnssdNoDaemon, BrowseLogsOnceAndFindsNothingResolveEnds) {
  ASSERT_TRUE(kNoBus);
  LogCapture log;
  StderrCapture err;
  platform::AvahiBrowser browser;

  int found = 0;
  const auto b1 = browser.browse("_scanner._tcp.", "local.", {[&](const platform::DnssdService&, bool) { ++found; }, nullptr});
  EXPECT_NE(b1, 0u);
  EXPECT_FALSE(browser.connected());

  std::vector<platform::DnssdError> errors;
  browser.resolve({"Zerelta QMX-7315W [X]", "_scanner._tcp.", "local."}, 10s,
                  {[&](const platform::DnssdResolved&) { ADD_FAILURE() << "resolved without a daemon"; },
                   [&](const platform::DnssdError& e) { errors.push_back(e); }});
  // A second search, as the window's Refresh starts one: no second line.
  const auto b2 = browser.browse("_scanner._tcp", "local", {[&](const platform::DnssdService&, bool) { ++found; }, nullptr});

  ASSERT_TRUE(spinUntil([&] { return !errors.empty(); })) << "the resolve ends, well before its limit";
  spinFor(50);
  EXPECT_EQ(found, 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].code, platform::DnssdError::Code::Unavailable);

  const QStringList lines = log.lines();
  ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].startsWith("DNS service discovery unavailable: no Avahi daemon answers (")) << lines[0].toStdString();
  EXPECT_EQ(err.text().count(lines[0]), 1) << "the same line once on stderr";
  browser.stop(b1);
  browser.stop(b2);
}

TEST(DnssdNoDaemon, AProgramsHookTakesTheLineInsteadOfTheLogAndStderr) {
  ASSERT_TRUE(kNoBus);
  LogCapture log;
  StderrCapture err;
  QStringList hooked;
  const platform::DnssdLogHook previous = platform::setDnssdLogHook([&](const QString& line) { hooked.append(line); });
  {
    platform::AvahiBrowser browser;
    std::vector<platform::DnssdError> errors;
    browser.resolve({"Zerelta QMX-7315W [X]", "_scanner._tcp.", "local."}, 10s,
                    {[&](const platform::DnssdResolved&) { ADD_FAILURE() << "resolved without a daemon"; },
                     [&](const platform::DnssdError& e) { errors.push_back(e); }});
    ASSERT_TRUE(spinUntil([&] { return !errors.empty(); }));
  }
  platform::setDnssdLogHook(previous);
  ASSERT_EQ(hooked.size(), 1) << hooked.join('\n').toStdString();
  EXPECT_TRUE(hooked[0].startsWith("DNS service discovery unavailable: no Avahi daemon answers ("));
  EXPECT_TRUE(log.lines().isEmpty());
  EXPECT_FALSE(err.text().contains("DNS service discovery"));
}

TEST(DnssdNoDaemon, PublisherSaysWhyAndStaysQuiet) {
  ASSERT_TRUE(kNoBus);
  platform::AvahiPublisher publisher;
  std::vector<platform::AvahiPublisher::State> states;
  publisher.setStateCallback([&](platform::AvahiPublisher::State s, const QString&) { states.push_back(s); });
  platform::AvahiPublisher::Registration r;
  r.name = "Zerelta QMX-7315W [X]";
  r.type = "_scanner._tcp";
  r.port = 5566;
  r.hostName = "zerelta-sim.local";
  r.address = "127.0.0.1";
  EXPECT_FALSE(publisher.publish(r));
  EXPECT_EQ(publisher.state(), platform::AvahiPublisher::State::Failed);
  EXPECT_TRUE(publisher.error().contains("no Avahi daemon answers")) << publisher.error().toStdString();

  // Malformed registrations are refused before any daemon is asked.
  r.address = "not-an-address";
  EXPECT_FALSE(publisher.publish(r));
  EXPECT_TRUE(publisher.error().contains("not an IPv4 address")) << publisher.error().toStdString();
  spinFor(30);
  EXPECT_TRUE(states.empty()) << "failures of publish() are answered, not called back";
}
