#pragma once
// The simulated scanner on the network: listens on one IPv4 address (port 5566 unless told
// otherwise) and serves one command per connection, as the scanner does, on a thread of its own.
// Connections are served one after another.
//
// stop() never hangs: it wakes the listener, every blocked read or write of the connection being
// served and every pause of the protocol engine, then joins the thread; a client that holds its
// connection open gets it closed.
//
// For tests:
// - faults() / log(): the fault plan and the command log of the engine.
// - setRefuseConnections(true): connection attempts are refused (the address stays reserved).
// - setPaceWrites(true): after each piece it writes, the scanner waits until the peer has read
//   everything sent so far, so every piece reaches the client in a receive call of its own. This
//   looks at the peer's socket, so it works only when the client runs in this same process;
//   otherwise (or after a short wait) it goes on unpaced.
// - setReceiveBufferBytes(n): a small receive buffer on accepted connections, so a large write
//   from the client has to wait for the scanner to read.
// - connectionCount() / connections(): the connections accepted, and the recent ones served with
//   the bytes they moved.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CommandLog.h"
#include "FaultPlan.h"
#include "ProtocolEngine.h"
#include "ScannerModel.h"

namespace sim {

class TcpScanner {
 public:
  static constexpr uint16_t kDefaultPort = 5566;
  // A connection that sends nothing for this long is dropped (a held connection keeps the
  // scanner from serving anyone else).
  static constexpr std::chrono::milliseconds kIdleLimit{30000};
  // connections() keeps the records of this many recent connections.
  static constexpr std::size_t kKeptConnections = 1024;

  struct ConnectionRecord {
    std::size_t bytesIn = 0;   // every byte that arrived until the peer closed
    std::size_t bytesOut = 0;  // every byte sent
  };

  explicit TcpScanner(ScannerModel& model);
  ~TcpScanner();  // stops
  TcpScanner(const TcpScanner&) = delete;
  TcpScanner& operator=(const TcpScanner&) = delete;

  // Binds `address` (dotted IPv4) and `port` (0: any free port), listens and starts serving.
  // False with `error` set to the errno value (EADDRINUSE when the address is taken).
  bool start(const std::string& address, uint16_t port = kDefaultPort, int* error = nullptr);
  void stop();
  bool running() const { return m_thread.joinable(); }

  const std::string& address() const { return m_address; }
  uint16_t port() const { return m_port; }  // the bound port

  ScannerModel& model() { return m_model; }
  FaultPlan& faults() { return m_faults; }
  CommandLog& log() { return m_log; }

  void setRefuseConnections(bool refuse);
  void setPaceWrites(bool pace) { m_pace = pace; }
  void setReceiveBufferBytes(int bytes) { m_receiveBuffer = bytes; }

  // Connections accepted so far.
  std::size_t connectionCount() const;
  std::vector<ConnectionRecord> connections() const;
  // Waits until no connection is being served and none is waiting to be accepted.
  bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

 private:
  void run();
  void serveConnection(int fd);
  bool listenerPending() const;

  ScannerModel& m_model;
  FaultPlan m_faults;
  CommandLog m_log;
  ProtocolEngine m_engine;

  std::string m_address;
  uint16_t m_port = 0;
  int m_listenFd = -1;
  int m_wakeFd = -1;  // eventfd: readable once stop() was called
  std::thread m_thread;

  mutable std::mutex m_mutex;
  bool m_refusing = false;
  bool m_busy = false;
  std::size_t m_accepted = 0;
  std::deque<ConnectionRecord> m_connections;

  std::atomic<bool> m_pace{false};
  std::atomic<int> m_receiveBuffer{0};
};

}  // namespace sim
