// The Avahi poll adapter on the Qt event loop: watches on real sockets, timeouts on the clock,
// and the calls Avahi makes from inside its own callbacks.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "platform/dnssd/AvahiQtPoll.h"

using platform::AvahiQtPoll;

namespace {

// Serves the loop until `done` or a generous deadline (a wait, not a timing check).
bool spinUntil(const std::function<bool()>& done, int ms = 5000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!done()) QThread::msleep(1);
  }
  return done();
}

// A few loop turns, for "nothing (more) happens".
void spinFor(int ms) {
  QDeadlineTimer deadline(ms);
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
}

timeval inMs(long ms) {
  timeval now{};
  gettimeofday(&now, nullptr);
  long long us = static_cast<long long>(now.tv_usec) + ms * 1000LL;
  timeval tv{};
  tv.tv_sec = now.tv_sec + static_cast<time_t>(us / 1000000);
  tv.tv_usec = static_cast<suseconds_t>(us % 1000000);
  if (tv.tv_usec < 0) {
    tv.tv_usec += 1000000;
    tv.tv_sec -= 1;
  }
  return tv;
}

struct SocketPair {
  int fd[2] = {-1, -1};
  SocketPair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fd), 0); }
  ~SocketPair() {
    for (int f : fd)
      if (f >= 0) close(f);
  }
  void closePeer() {
    close(fd[1]);
    fd[1] = -1;
  }
};

// What a watch callback saw, and what it should do next.
struct WatchProbe {
  const AvahiPoll* api = nullptr;
  std::vector<int> events;         // the event argument of each call
  std::vector<int> reportedEvents; // watch_get_events inside each call
  std::function<void(AvahiWatch*)> then;

  static void callback(AvahiWatch* w, int fd, AvahiWatchEvent event, void* userdata) {
    auto* self = static_cast<WatchProbe*>(userdata);
    self->events.push_back(event);
    self->reportedEvents.push_back(self->api->watch_get_events(w));
    char buf[64];
    while (read(fd, buf, sizeof buf) > 0) {
    }
    if (self->then) self->then(w);
  }
};

struct TimeoutProbe {
  const AvahiPoll* api = nullptr;
  int fired = 0;
  std::function<void(AvahiTimeout*)> then;
  static void callback(AvahiTimeout* t, void* userdata) {
    auto* self = static_cast<TimeoutProbe*>(userdata);
    ++self->fired;
    if (self->then) self->then(t);
  }
};

}  // namespace

TEST(DnssdPoll, WatchReportsTheEventsTheSocketHas) {
  AvahiQtPoll poll;
  const AvahiPoll* api = poll.api();
  SocketPair sp;
  WatchProbe probe{api, {}, {}, {}};
  AvahiWatch* w = api->watch_new(api, sp.fd[0], AVAHI_WATCH_IN, &WatchProbe::callback, &probe);
  ASSERT_NE(w, nullptr);

  spinFor(30);
  EXPECT_TRUE(probe.events.empty()) << "nothing to read yet";
  EXPECT_EQ(api->watch_get_events(w), 0) << "no events outside a callback";

  ASSERT_EQ(write(sp.fd[1], "x", 1), 1);
  ASSERT_TRUE(spinUntil([&] { return !probe.events.empty(); }));
  EXPECT_EQ(probe.events[0], AVAHI_WATCH_IN);
  EXPECT_EQ(probe.reportedEvents[0], AVAHI_WATCH_IN);

  // Writable: an empty socket buffer is writable at once.
  probe.events.clear();
  api->watch_update(w, AVAHI_WATCH_OUT);
  ASSERT_TRUE(spinUntil([&] { return !probe.events.empty(); }));
  EXPECT_EQ(probe.events[0], AVAHI_WATCH_OUT);

  // Asking for nothing: no more calls, though the socket stays writable.
  api->watch_update(w, static_cast<AvahiWatchEvent>(0));
  probe.events.clear();
  spinFor(30);
  EXPECT_TRUE(probe.events.empty());

  // A hang-up shows as such, not only as "readable".
  api->watch_update(w, AVAHI_WATCH_IN);
  sp.closePeer();
  ASSERT_TRUE(spinUntil([&] { return !probe.events.empty(); }));
  EXPECT_TRUE(probe.events[0] & AVAHI_WATCH_HUP) << probe.events[0];

  api->watch_free(w);
  EXPECT_EQ(poll.watchCount(), 0u);
}

TEST(DnssdPoll, WatchFreedInsideItsCallbackIsNeverCalledAgain) {
  AvahiQtPoll poll;
  const AvahiPoll* api = poll.api();
  SocketPair sp;
  WatchProbe probe{api, {}, {}, {}};
  probe.then = [api](AvahiWatch* w) { api->watch_free(w); };
  api->watch_new(api, sp.fd[0], static_cast<AvahiWatchEvent>(AVAHI_WATCH_IN | AVAHI_WATCH_OUT),
                 &WatchProbe::callback, &probe);
  ASSERT_EQ(write(sp.fd[1], "x", 1), 1);
  ASSERT_TRUE(spinUntil([&] { return !probe.events.empty(); }));
  ASSERT_EQ(write(sp.fd[1], "y", 1), 1);
  spinFor(50);
  EXPECT_EQ(probe.events.size(), 1u);
  EXPECT_EQ(poll.watchCount(), 0u);
}

TEST(DnssdPoll, TimeoutsFireOnceWhenDueAndFollowUpdatesAndFrees) {
  AvahiQtPoll poll;
  const AvahiPoll* api = poll.api();

  struct Case {
    const char* what;
    long dueMs;
    std::function<void(AvahiTimeout*)> afterCreate;  // before the loop runs
    int expectedFires;
  };
  const std::vector<Case> cases = {
      {"due soon", 20, nullptr, 1},
      {"already past: next loop turn", -1000, nullptr, 1},
      {"disabled by a NULL update", 20, [api](AvahiTimeout* t) { api->timeout_update(t, nullptr); }, 0},
      {"re-armed further out", 10,
       [api](AvahiTimeout* t) {
         const timeval later = inMs(40);
         api->timeout_update(t, &later);
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TimeoutProbe probe{api, 0, {}};
    const timeval due = inMs(c.dueMs);
    AvahiTimeout* t = api->timeout_new(api, &due, &TimeoutProbe::callback, &probe);
    if (c.afterCreate) c.afterCreate(t);
    if (c.expectedFires > 0) {
      ASSERT_TRUE(spinUntil([&] { return probe.fired > 0; }));
    }
    spinFor(80);  // and no second time
    EXPECT_EQ(probe.fired, c.expectedFires);
    api->timeout_free(t);
  }
  EXPECT_EQ(poll.timeoutCount(), 0u);

  // Freed before its time: never fires.
  TimeoutProbe early{api, 0, {}};
  const timeval soon = inMs(10);
  api->timeout_free(api->timeout_new(api, &soon, &TimeoutProbe::callback, &early));
  spinFor(60);
  EXPECT_EQ(early.fired, 0);
}

// dispatchPending runs at once, without the loop, what is ready: a readable watch, a timeout
// whose time passed and one that a callback sets for now; nothing runs twice, and nothing that
// is not due.
TEST(DnssdPoll, DispatchPendingRunsWhatIsReadyNowAndOnlyOnce) {
  AvahiQtPoll poll;
  const AvahiPoll* api = poll.api();
  SocketPair sp;
  WatchProbe watch{api, {}, {}, {}};
  api->watch_new(api, sp.fd[0], AVAHI_WATCH_IN, &WatchProbe::callback, &watch);
  ASSERT_EQ(write(sp.fd[1], "x", 1), 1);

  TimeoutProbe chained{api, 0, {}};
  TimeoutProbe past{api, 0, {}};
  past.then = [&](AvahiTimeout*) {
    const timeval now = inMs(0);
    api->timeout_new(api, &now, &TimeoutProbe::callback, &chained);
  };
  const timeval before = inMs(-10), later = inMs(10000);
  api->timeout_new(api, &before, &TimeoutProbe::callback, &past);
  TimeoutProbe future{api, 0, {}};
  api->timeout_new(api, &later, &TimeoutProbe::callback, &future);

  poll.dispatchPending();
  EXPECT_EQ(watch.events, std::vector<int>{AVAHI_WATCH_IN});
  EXPECT_EQ(past.fired, 1);
  EXPECT_EQ(chained.fired, 1);
  EXPECT_EQ(future.fired, 0);

  spinFor(50);
  EXPECT_EQ(watch.events.size(), 1u);
  EXPECT_EQ(past.fired, 1);
  EXPECT_EQ(chained.fired, 1);
}

TEST(DnssdPoll, TimeoutRearmedAndFreedFromItsOwnCallback) {
  AvahiQtPoll poll;
  const AvahiPoll* api = poll.api();
  TimeoutProbe probe{api, 0, {}};
  probe.then = [&](AvahiTimeout* t) {
    if (probe.fired < 3) {
      const timeval next = inMs(5);
      api->timeout_update(t, &next);  // as Avahi does for its periodic work
    } else {
      api->timeout_free(t);
    }
  };
  const timeval due = inMs(5);
  api->timeout_new(api, &due, &TimeoutProbe::callback, &probe);
  ASSERT_TRUE(spinUntil([&] { return probe.fired >= 3; }));
  spinFor(50);
  EXPECT_EQ(probe.fired, 3);
  EXPECT_EQ(poll.timeoutCount(), 0u);
}

TEST(DnssdPoll, PollGoneWithLiveWatchesAndTimeoutsCallsNothing) {
  SocketPair sp;
  WatchProbe wprobe;
  TimeoutProbe tprobe;
  {
    AvahiQtPoll poll;
    const AvahiPoll* api = poll.api();
    wprobe.api = tprobe.api = api;
    api->watch_new(api, sp.fd[0], AVAHI_WATCH_IN, &WatchProbe::callback, &wprobe);
    const timeval due = inMs(5);
    api->timeout_new(api, &due, &TimeoutProbe::callback, &tprobe);
  }
  ASSERT_EQ(write(sp.fd[1], "x", 1), 1);
  spinFor(50);
  EXPECT_TRUE(wprobe.events.empty());
  EXPECT_EQ(tprobe.fired, 0);
}
