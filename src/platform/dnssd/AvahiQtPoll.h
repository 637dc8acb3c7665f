#pragma once
// Avahi's poll interface (AvahiPoll) on the Qt event loop.
//
// An Avahi client asks its poll for file-descriptor watches and timeouts; here a watch is a
// pair of QSocketNotifiers (readable, writable) and a timeout a single-shot QTimer, so the
// client's work runs from the thread's Qt event loop, like every other callback of the program.
//
//  - A watch reports the events the descriptor really has (poll(2) at the moment of the
//    notification, limited to those asked for plus errors and hang-ups); watch_get_events
//    answers them while its callback runs, and 0 outside it.
//  - A timeout fires once when its absolute time (gettimeofday clock, as Avahi computes it) is
//    reached, at once on the next loop turn when that time has passed; NULL disables it.
//  - Every function may be called from inside any callback, freeing the watch or timeout whose
//    callback is running included.
//
// Ownership: the object owns every watch and timeout made through it. Free each client that
// uses it before the object itself; watches and timeouts still alive then are freed with it
// (their callbacks never run again). Main thread only, with a QCoreApplication in place.

#include <QObject>
#include <set>

#include <avahi-common/watch.h>

namespace platform {

class AvahiQtPoll {
 public:
  AvahiQtPoll();
  ~AvahiQtPoll();
  AvahiQtPoll(const AvahiQtPoll&) = delete;
  AvahiQtPoll& operator=(const AvahiQtPoll&) = delete;

  // The table to hand to avahi_client_new(); valid for the object's life.
  const AvahiPoll* api() const { return &m_api; }

  // Runs now what the event loop would run next for this poll: the callbacks of watches whose
  // descriptors are ready and of timeouts whose time has come, again while that brings more
  // (a bounded number of rounds). For a decision that must first see what already arrived, such
  // as a time limit that ran out while the thread was busy. Not from inside a callback of this poll.
  void dispatchPending();

  // Live watches and timeouts (freed ones no longer count).
  std::size_t watchCount() const { return m_watches.size(); }
  std::size_t timeoutCount() const { return m_timeouts.size(); }

 private:
  friend struct ::AvahiWatch;
  friend struct ::AvahiTimeout;

  static AvahiWatch* watchNew(const AvahiPoll* api, int fd, AvahiWatchEvent event, AvahiWatchCallback callback,
                              void* userdata);
  static void watchUpdate(AvahiWatch* w, AvahiWatchEvent event);
  static AvahiWatchEvent watchGetEvents(AvahiWatch* w);
  static void watchFree(AvahiWatch* w);
  static AvahiTimeout* timeoutNew(const AvahiPoll* api, const struct timeval* tv, AvahiTimeoutCallback callback,
                                  void* userdata);
  static void timeoutUpdate(AvahiTimeout* t, const struct timeval* tv);
  static void timeoutFree(AvahiTimeout* t);

  AvahiPoll m_api{};
  // Parent of every notifier and timer, so one whose deletion was deferred (it was freed from
  // inside its own signal) still goes with this object.
  QObject m_parent;
  std::set<AvahiWatch*> m_watches;
  std::set<AvahiTimeout*> m_timeouts;
};

}  // namespace platform
