#include "platform/dnssd/AvahiQtPoll.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <sys/time.h>
#include <vector>

using platform::AvahiQtPoll;

// ---- The two objects Avahi holds handles to -------------------------------------------------
// Avahi declares them opaque; each poll implementation defines them.

struct AvahiWatch {
  AvahiQtPoll* owner = nullptr;
  int fd = -1;
  AvahiWatchEvent wanted{};
  int happened = 0;  // the events of the callback that runs, 0 outside it
  AvahiWatchCallback callback = nullptr;
  void* userdata = nullptr;
  QSocketNotifier* readable = nullptr;  // made when first wanted
  QSocketNotifier* writable = nullptr;
  int running = 0;  // callbacks of this watch under way
  bool freed = false;

  void apply() {
    if (readable) readable->setEnabled(!freed && (wanted & AVAHI_WATCH_IN));
    if (writable) writable->setEnabled(!freed && (wanted & AVAHI_WATCH_OUT));
  }

  void update(AvahiWatchEvent events) {
    wanted = events;
    if ((wanted & AVAHI_WATCH_IN) && !readable) readable = notifier(QSocketNotifier::Read);
    if ((wanted & AVAHI_WATCH_OUT) && !writable) writable = notifier(QSocketNotifier::Write);
    apply();
  }

  QSocketNotifier* notifier(QSocketNotifier::Type type);
  bool dispatch();  // true when the callback ran
  void release();
};

struct AvahiTimeout {
  AvahiQtPoll* owner = nullptr;
  AvahiTimeoutCallback callback = nullptr;
  void* userdata = nullptr;
  QTimer* timer = nullptr;
  bool armed = false;  // a time is set (the timer may not have fired yet although it passed)
  timeval due{};
  int running = 0;
  bool freed = false;

  void update(const struct timeval* tv);
  bool isDue() const;
  void fire();
  void release();
};

namespace {
// Hands a Qt object to its deferred deletion once its signal emission is over; an object
// freed from outside any of its signals goes at once.
void dispose(QObject* object, bool insideItsSignal) {
  if (!object) return;
  object->disconnect();
  if (insideItsSignal) {
    object->deleteLater();
  } else {
    delete object;
  }
}
}  // namespace

QSocketNotifier* AvahiWatch::notifier(QSocketNotifier::Type type) {
  auto* n = new QSocketNotifier(fd, type, &owner->m_parent);
  n->setEnabled(false);
  QObject::connect(n, &QSocketNotifier::activated, n, [this]() { dispatch(); });
  return n;
}

bool AvahiWatch::dispatch() {
  if (freed) return false;
  // The notifier says "something happened"; poll says what, including errors and hang-ups
  // that Qt folds into readability.
  pollfd p{fd, static_cast<short>(wanted & (AVAHI_WATCH_IN | AVAHI_WATCH_OUT)), 0};
  int r;
  do {
    r = ::poll(&p, 1, 0);
  } while (r < 0 && errno == EINTR);
  const int events = r > 0 ? (p.revents & (wanted | AVAHI_WATCH_ERR | AVAHI_WATCH_HUP)) : 0;
  if (events == 0) return false;  // nothing (any more): no callback
  ++running;
  happened = events;
  callback(this, fd, static_cast<AvahiWatchEvent>(events), userdata);
  happened = 0;
  --running;
  if (freed && running == 0) release();
  return true;
}

void AvahiWatch::release() {
  owner->m_watches.erase(this);
  delete this;
}

void AvahiTimeout::update(const struct timeval* tv) {
  armed = tv != nullptr;
  if (!tv) {
    timer->stop();
    return;
  }
  due = *tv;
  timeval now{};
  gettimeofday(&now, nullptr);
  // Milliseconds until tv, rounded up so it never fires before its time.
  const long long usec = (static_cast<long long>(tv->tv_sec) - now.tv_sec) * 1000000LL + (tv->tv_usec - now.tv_usec);
  long long ms = usec <= 0 ? 0 : (usec + 999) / 1000;
  if (ms > INT_MAX) ms = INT_MAX;
  timer->start(static_cast<int>(ms));
}

bool AvahiTimeout::isDue() const {
  if (freed || !armed) return false;
  timeval now{};
  gettimeofday(&now, nullptr);
  return due.tv_sec < now.tv_sec || (due.tv_sec == now.tv_sec && due.tv_usec <= now.tv_usec);
}

void AvahiTimeout::fire() {
  if (freed) return;
  armed = false;  // fires once per time set
  ++running;
  callback(this, userdata);
  --running;
  if (freed && running == 0) release();
}

void AvahiTimeout::release() {
  owner->m_timeouts.erase(this);
  delete this;
}

namespace platform {

AvahiQtPoll::AvahiQtPoll() {
  m_api.userdata = this;
  m_api.watch_new = &AvahiQtPoll::watchNew;
  m_api.watch_update = &AvahiQtPoll::watchUpdate;
  m_api.watch_get_events = &AvahiQtPoll::watchGetEvents;
  m_api.watch_free = &AvahiQtPoll::watchFree;
  m_api.timeout_new = &AvahiQtPoll::timeoutNew;
  m_api.timeout_update = &AvahiQtPoll::timeoutUpdate;
  m_api.timeout_free = &AvahiQtPoll::timeoutFree;
}

AvahiQtPoll::~AvahiQtPoll() {
  // Whatever a client left behind; the notifiers and timers go with m_parent.
  for (AvahiWatch* w : m_watches) delete w;
  for (AvahiTimeout* t : m_timeouts) delete t;
}

AvahiWatch* AvahiQtPoll::watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent event, AvahiWatchCallback callback,
                                  void* userdata) {
  auto* self = static_cast<AvahiQtPoll*>(api->userdata);
  auto* w = new AvahiWatch;
  w->owner = self;
  w->fd = fd;
  w->callback = callback;
  w->userdata = userdata;
  self->m_watches.insert(w);
  w->update(event);
  return w;
}

void AvahiQtPoll::watchUpdate(AvahiWatch* w, AvahiWatchEvent event) {
  if (w->freed) return;
  w->update(event);
}

AvahiWatchEvent AvahiQtPoll::watchGetEvents(AvahiWatch* w) { return static_cast<AvahiWatchEvent>(w->happened); }

void AvahiQtPoll::watchFree(AvahiWatch* w) {
  if (w->freed) return;
  w->freed = true;
  const bool inside = w->running > 0;
  dispose(w->readable, inside);
  dispose(w->writable, inside);
  w->readable = w->writable = nullptr;
  if (!inside) w->release();  // else dispatch() releases it once its callback returns
}

AvahiTimeout* AvahiQtPoll::timeoutNew(const AvahiPoll* api, const struct timeval* tv, AvahiTimeoutCallback callback,
                                      void* userdata) {
  auto* self = static_cast<AvahiQtPoll*>(api->userdata);
  auto* t = new AvahiTimeout;
  t->owner = self;
  t->callback = callback;
  t->userdata = userdata;
  t->timer = new QTimer(&self->m_parent);
  t->timer->setSingleShot(true);
  t->timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(t->timer, &QTimer::timeout, t->timer, [t]() { t->fire(); });
  self->m_timeouts.insert(t);
  t->update(tv);
  return t;
}

void AvahiQtPoll::dispatchPending() {
  constexpr int kRounds = 16;
  for (int round = 0; round < kRounds; ++round) {
    bool ran = false;
    // Copies: a callback may free any watch or timeout, or make new ones.
    const std::vector<AvahiWatch*> watches(m_watches.begin(), m_watches.end());
    for (AvahiWatch* w : watches) {
      if (m_watches.count(w) && w->running == 0) ran = w->dispatch() || ran;
    }
    const std::vector<AvahiTimeout*> timeouts(m_timeouts.begin(), m_timeouts.end());
    for (AvahiTimeout* t : timeouts) {
      if (!m_timeouts.count(t) || t->running > 0 || !t->isDue()) continue;
      t->timer->stop();
      t->fire();
      ran = true;
    }
    if (!ran) return;
  }
}

void AvahiQtPoll::timeoutUpdate(AvahiTimeout* t, const struct timeval* tv) {
  if (t->freed) return;
  t->update(tv);
}

void AvahiQtPoll::timeoutFree(AvahiTimeout* t) {
  if (t->freed) return;
  t->freed = true;
  t->timer->stop();
  dispose(t->timer, t->running > 0);
  t->timer = nullptr;
  if (t->running == 0) t->release();
}

}  // namespace platform
