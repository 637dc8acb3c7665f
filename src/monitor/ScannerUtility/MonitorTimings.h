#pragma once
// Every wait of the monitor's scanner operations, with the scanner's fixed values as defaults.
//
// The values are process-wide: each operation reads them when it starts (current()), so a test
// installs shorter ones with set() (or ScopedMonitorTimings in the tests) and restores them.
// The pauses that block the thread without serving the event loop go through pause(), which a
// test can replace to record them instead of sleeping.

#include <chrono>
#include <cstdint>
#include <functional>

struct MonitorTimings {
  using ms = std::chrono::milliseconds;

  // ---- TCP (NetworkControl)
  uint16_t port = 5566;          // the scanner's command port
  ms connect{2000};              // the connect
  ms command{20000};             // command block out and status block in
  ms dataOut{20000};             // a data phase to the scanner
  ms dataIn{20000};              // a data phase from the scanner
  ms eventDataIn{61000};         // the reply to the event read, which the scanner may hold
  ms slice{50};                  // the event loop is served in slices of this length while waiting

  // ---- USB (CFITUSBControl, USBWraper)
  // A USB phase has the limit of the same phase over TCP (command, dataOut, dataIn,
  // eventDataIn) in all; it runs as bulk transfers of at most usbTry each, and the event loop
  // is served between them.
  ms usbTry{1000};               // each bulk transfer, passed to the USB host
  ms usbDrainTry{100};           // a read's try for what follows all it asked for (already sent, if anything)
  ms usbReadPause{200};          // after a failed (or empty) try, before the next
  int usbReadMaxFailures = 1000; // failed (or empty) tries a phase survives
  ms exclusiveAccessPause{100};  // after a device held by another program, before the next one

  // ---- Operations (controllerScan)
  ms idleEventPause{3000};       // after an event poll that brought no scan for this computer
  ms discoveryWait{4000};        // the wait for the discovery's report (its search takes 2 s)

  // ---- Discovery (NetworkSearch)
  ms searchTimeout{2000};        // the search reports at the latest after this
  ms resolveTimeout{2000};       // each service's resolve

  static MonitorTimings current();
  // Installs `timings` for the operations that start afterwards; answers the previous ones.
  static MonitorTimings set(const MonitorTimings& timings);

  // A pause that blocks the calling thread (the event loop is not served).
  using PauseFunction = std::function<void(ms)>;
  static void pause(ms duration);
  // Replaces the sleep of pause(); an empty function restores it. Answers the previous one.
  static PauseFunction setPauseFunction(PauseFunction f);
};
