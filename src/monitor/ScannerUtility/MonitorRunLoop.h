#pragma once
// The monitor's waits serve the Qt event loop in short slices, so timers, notifications and
// queued calls of the whole program keep running while an operation waits for the scanner.
//
// runFor() runs a nested event loop until `duration` has passed, or earlier when the descriptor
// `fd` (if >= 0) is ready for reading (or writing, with `forWrite`). Without an application
// object, or off the application's thread, there is no loop to serve: it then only waits for the
// descriptor (or sleeps) for at most `duration`.
//
// runUntil() runs it in slices of at most `slice` until `duration` has passed or until() is true
// (asked before every slice).

#include <chrono>
#include <functional>

class MonitorRunLoop {
 public:
  static void runFor(std::chrono::milliseconds duration, int fd = -1, bool forWrite = false);
  static void runUntil(std::chrono::milliseconds duration, const std::function<bool()>& until,
                       std::chrono::milliseconds slice);
};
