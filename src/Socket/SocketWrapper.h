#pragma once
// The TCP transport: a blocking client for the scanner's command port.
//
// Every exchange opens its own connection, runs its phases and closes the connection again, so
// nothing stays connected between exchanges. The four exchange functions each cover one group of
// opcodes:
//
//   CMDCommand     FOP_INQUIRY, FOP_COMMAND   command, status
//   ReadCommand    FOP_READ                   command, status, data from the scanner
//   WriteCommand   FOP_WRITE                  command, status, data to the scanner
//   Write2Command  FOP_WRITE2                 command, data to the scanner, status
//
// Each answers true only when every phase moved its full byte count; the status block is not
// judged here. Diagnostics go to standard output / standard error (connect) and to the system log
// (failed data phases), whatever the debug mask.
//
// Time limits: the connect waits at most Limits::connect for the connection; every blocked send
// and receive on the connection gives up after Limits::send / Limits::receive (SO_SNDTIMEO,
// SO_RCVTIMEO); the status phase as a whole is bounded by Limits::receive. The data phase as a
// whole (all its sends, or all its receives, beside the 999-call limit of the receive loop) ends
// after Limits::dataPhase, so a scanner that trickles a byte at a time cannot hold the caller
// for minutes: each send or receive of the phase waits at most for what is left of it, and a
// phase that runs out of time fails with "<exchange> data phase took longer than <n> ms" in the
// system log. The defaults are the scanner's fixed 6 s and 60 s for the data phase; tests inject
// smaller values through setDefaultLimits() or setLimits().
//
// Sends never raise SIGPIPE (MSG_NOSIGNAL): a scanner that drops the connection fails the
// exchange, it does not end the program.

#include <QString>
#include <chrono>
#include <cstdint>
#include <netinet/in.h>

#include "IO/FCLCommand.h"

class SocketWrapper {
 public:
  // The scanner's command port.
  static constexpr uint16_t kScannerPort = 5566;
  // The scanner's fixed limit for the connect and for every blocked send or receive.
  static constexpr std::chrono::milliseconds kSocketTimeout{6000};
  // The data receive loop gives up after this many receive calls.
  static constexpr int kMaxReceiveCalls = 999;
  // The longest a whole data phase (up to 114036 bytes) may take.
  static constexpr std::chrono::milliseconds kDataPhaseTimeout{60000};

  struct Limits {
    std::chrono::milliseconds connect = kSocketTimeout;
    std::chrono::milliseconds send = kSocketTimeout;
    std::chrono::milliseconds receive = kSocketTimeout;
    std::chrono::milliseconds dataPhase = kDataPhaseTimeout;
    // Send buffer of each connection in bytes; 0 leaves the system's (autotuned) size. Only tests
    // set it, to make a large write go out in several partial sends.
    int sendBufferBytes = 0;
  };

  // Process-wide defaults picked up by every SocketWrapper constructed afterwards. Each setter
  // answers the previous value so a test can restore it.
  static uint16_t setDefaultPort(uint16_t port);
  static uint16_t defaultPort();
  static Limits setDefaultLimits(const Limits& limits);
  static Limits defaultLimits();

  SocketWrapper();  // no socket yet; counts 0; port and limits from the defaults
  ~SocketWrapper();
  SocketWrapper(const SocketWrapper&) = delete;
  SocketWrapper& operator=(const SocketWrapper&) = delete;

  // The scanner's address in dotted decimal form.
  const QString& ip() const { return m_ip; }
  void setIp(const QString& ip) { m_ip = ip; }

  uint16_t port() const { return m_port; }
  void setPort(uint16_t port) { m_port = port; }
  const Limits& limits() const { return m_limits; }
  void setLimits(const Limits& limits) { m_limits = limits; }

  // Makes a new connection to the command port of `ip`; true when connected. The connection's
  // descriptor replaces `sock`.
  bool OpenScanner(const QString& ip);
  // Closes the current connection; true iff there was one and the close succeeded.
  bool CloseScanner();

  bool CMDCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status);
  bool WriteCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, const void* data,
                    uint32_t length);
  bool Write2Command(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, const void* data,
                     uint32_t length);
  bool ReadCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, void* data,
                   uint32_t length);

  // The count returned by the last data-phase send (for inspection only).
  int64_t bytesSent() const { return bytes_sent; }

 private:
  bool sendCommand(const FCL_VENDOR_CMD* cmd);
  // Receives the 32-byte status block; answers the count that arrived (32 on success).
  int64_t receiveStatus(FCL_DEVICE_STATUS* status);
  // `exchange` names the exchange in the system log ("SocketWrapper::WriteCommand").
  bool sendData(const void* data, uint32_t length, const char* exchange);
  bool receiveData(void* data, uint32_t length);
  // "<exchange> data phase took longer than <n> ms" to the system log.
  void logDataPhaseOverrun(const char* exchange) const;
  // Before each call of a data phase ending at `deadline`: false (and the log line) when the
  // phase has run out of time; otherwise the call's own limit (`option`: SO_SNDTIMEO or
  // SO_RCVTIMEO) is cut to what is left of the phase when that is shorter. `*applied` is the
  // limit currently set on the socket.
  bool limitCall(int option, std::chrono::milliseconds perCall, std::chrono::steady_clock::time_point deadline,
                 std::chrono::milliseconds* applied, const char* exchange);

  int sock = -1;  // the current connection; -1 when there is none
  sockaddr_in sa{};
  int64_t bytes_sent = 0;
  int64_t bytes_recv = 0;
  QString m_ip;
  uint16_t m_port;
  Limits m_limits;
};
