#pragma once
// Every wait of the monitor's scanner operations, with the scanner's fixed values as defaults.
//
// The values are process-wide: each operation reads them when it starts (current()), so a test
// installs shorter ones with set() (or ScopedMonitorTimings in the tests) and restores them.
// The pauses go through pause(), which a test can replace to record them instead of waiting.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

struct MonitorTimings {
  using ms = std::chrono::milliseconds;

  // ---- One exchange, on TCP and USB alike
  // An exchange runs from its connect (on USB: the open of the device) to its last byte, all
  // its phases (command block out, status block in, data) within one limit.
  ms exchange{20000};            // every exchange
  ms eventExchange{61000};       // the event read, whose reply the scanner may hold; its command
                                 // phase still ends within `exchange`

  // ---- TCP (NetworkControl)
  uint16_t port = 5566;          // the scanner's command port
  ms connect{2000};              // the connect, within the exchange's limit
  ms slice{50};                  // the event loop is served in slices of this length while waiting

  // ---- USB (CFITUSBControl, USBWraper)
  // A USB phase runs as bulk transfers of at most usbTry each, and the event loop is served
  // between them.
  ms usbTry{1000};               // each bulk transfer, passed to the USB host
  ms usbDrainTry{100};           // a read's try for what follows all it asked for (already sent, if anything)
  ms usbReadPause{200};          // after a failed (or empty) try, before the next
  int usbReadMaxFailures = 1000; // failed (or empty) tries a phase survives
  ms exclusiveAccessPause{100};  // after a device held by another program, before the next one

  // ---- Operations (controllerScan)
  ms idleEventPause{3000};       // after an event poll that brought no scan for this computer
                                 // (the event loop served; a stop ends it)
  ms discoveryWait{4000};        // the wait for the discovery's report (its search takes 2 s)

  // ---- Discovery (NetworkSearch)
  ms searchTimeout{2000};        // the search reports at the latest after this
  ms resolveTimeout{2000};       // each service's resolve

  // One exchange's time: it starts at the connect (on USB at the open of the device) and ends
  // `exchange` later (`eventExchange` for the event read), or at an outer deadline (a stop's)
  // when that comes first.
  struct ExchangeTime {
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    std::optional<Clock::time_point> outer;
    Clock::time_point end(const MonitorTimings& t, bool event) const {
      const Clock::time_point own = start + (event ? t.eventExchange : t.exchange);
      return outer ? std::min(own, *outer) : own;
    }
  };

  static MonitorTimings current();
  // Installs `timings` for the operations that start afterwards; answers the previous ones.
  static MonitorTimings set(const MonitorTimings& timings);

  // A pause. Without `until` it blocks the calling thread (the event loop is not served); with
  // it, the event loop is served in slices (MonitorRunLoop::runUntil) and the pause ends early
  // once until() is true.
  using PauseFunction = std::function<void(ms)>;
  static void pause(ms duration, const std::function<bool()>& until = {});
  // Replaces the wait of pause(); an empty function restores it. Answers the previous one.
  static PauseFunction setPauseFunction(PauseFunction f);
};
