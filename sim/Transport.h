#pragma once
// The byte stream the scanner simulator's protocol engine reads commands from and writes its
// answers to. One implementation carries it over a TCP connection (TcpScanner); another over the
// bulk pipes of a simulated USB device.
//
// Contract for implementations:
// - readExact fills all n bytes or answers false (the peer closed, the link failed, or the
//   front end is stopping). After false the stream is finished: the engine makes no further call.
// - writeAll sends all n bytes or answers false on the same conditions.
// - Calls come from one thread at a time (the thread that runs ProtocolEngine::serveOne).

#include <cstddef>

namespace sim {

class Transport {
 public:
  virtual ~Transport() = default;
  virtual bool readExact(void* buf, std::size_t n) = 0;   // false when the peer closed or failed first
  virtual bool writeAll(const void* buf, std::size_t n) = 0;
  // True once the peer has closed its end (checked while the scanner holds a reply, as a real
  // one notices a closed connection). Streams that cannot tell answer false.
  virtual bool peerClosed() { return false; }
};

}  // namespace sim
