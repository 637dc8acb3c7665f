#pragma once
// The monitor's TCP transport: one connection to the scanner's command port per operation, with
// the command block, the status block and the data on that connection.
//
// All of it runs on the calling (main) thread; no thread is started. The socket stays
// non-blocking after the connect, and the waits of the connect, of the command phase and of the
// data reads serve the Qt event loop in slices (MonitorRunLoop) until the socket is ready, so
// timers and queued calls of the whole program run meanwhile, and a stop handled there breaks
// the wait off (abort()). Bytes are received into buffers of this object and copied to the
// caller's block only when the phase has completed: nothing is ever written into the caller's
// memory after a wait has given up, and the socket is closed only by this object, which no other
// thread uses.
//
// Limits (MonitorTimings, read when the object is made): one exchange, from the start of the
// connect to its last byte, within 20 s (MonitorTimings::exchange), the event read within 61 s
// (eventExchange; its command phase within the 20 s), the connect within 2 s of it. Data to the
// scanner is sent blocking; the other waits serve the event loop. A deadline given with
// limitTo() (a stop's) ends every phase earlier when it comes first.
// Every operation answers true for success.

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

#include "monitor/ScannerUtility/MonitorRecords.h"
#include "monitor/ScannerUtility/MonitorTimings.h"

struct in_addr;

class NetworkControl {
 public:
  NetworkControl();
  ~NetworkControl();  // closes the socket
  NetworkControl(const NetworkControl&) = delete;
  NetworkControl& operator=(const NetworkControl&) = delete;

  using Clock = std::chrono::steady_clock;

  // Connects to the command port of `host`, a dotted IPv4 address ("192.168.1.20"; nothing else
  // is taken, so no name is ever looked up), within the connect limit. A refused connection
  // fails here, at once. The exchange's limit starts here.
  bool SocketOpenConnect(const QString& host);
  // `text` is a dotted IPv4 address (four decimal numbers), the only form the monitor connects
  // to; it is stored in `address` (when given).
  static bool numericIPv4(const QString& text, in_addr* address = nullptr);
  // No phase of this object goes on beyond `deadline` (none: only the exchange's own limit).
  void limitTo(std::optional<Clock::time_point> deadline) { m_time.outer = deadline; }
  // Closes the socket, if any. Always true.
  bool CloseConnect();
  // Breaks off the exchange under way, from a handler that runs inside one of its waits (quit,
  // power-off): a connect under way fails within a slice of the event loop; the socket is shut
  // down at once, so a phase's wait wakes and the phase fails; the descriptor itself stays this
  // object's until CloseConnect, so no number is freed under a wait that still watches it. Every
  // later phase of this object fails.
  void abort();

  // Sends the 16-byte command block and receives the 32-byte status block into `status`.
  bool SendCommand(const monitor::FCL_CMD* cmd, monitor::FCL_DEVICE_STATUS* status);
  // Sends `length` bytes of `data`.
  bool SendData(const void* data, uint32_t length);
  // Receives `length` bytes into `buffer`, within the exchange's limit (GetData) or the event
  // read's (GetEventData). A failure or a time-out closes the socket.
  bool GetData(void* buffer, uint32_t length);
  bool GetEventData(void* buffer, uint32_t length);

  // -1 when no socket is open.
  int socketDescriptor() const { return m_socket; }
  // The last data read: 0 running, 1 every byte received, -1 failed or given up.
  int getDataState() const { return m_isGetDataSuccess.load(); }

 private:
  enum class Io { Done, Failed, TimedOut };
  // The end of this exchange (of the event read's, with `event`), the outer deadline included.
  Clock::time_point deadline(bool event) const;
  // Sends all bytes before `deadline`; serving the event loop while the socket is not writable
  // when `serveLoop` is set, blocking otherwise.
  Io sendAll(const void* data, std::size_t length, Clock::time_point deadline, bool serveLoop);
  // Receives exactly `length` bytes into `out` before `deadline`, serving the event loop.
  Io receiveAll(void* out, std::size_t length, Clock::time_point deadline, bool logErrors);
  bool getScannerData(void* buffer, uint32_t length, Clock::time_point deadline);

  int m_socket = -1;
  MonitorTimings::ExchangeTime m_time;  // starts at the connect
  bool m_aborted = false;
  std::atomic<int> m_isGetDataSuccess{0};
  MonitorTimings m_timings;
};
