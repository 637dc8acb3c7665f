#pragma once
// The floor of the benchmarks: a bare client and a bare scanner thread that move the same bytes
// as one command exchange, with none of our code (plain sockets, TCP_NODELAY on both sides).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

#include "BareSocketIO.h"
#include "IO/FCLCommand.h"

namespace bench {

class BareScanner {
 public:
  BareScanner() {
    m_fd = listenOnLoopback(&port);
    m_thread = std::thread([this] { run(); });
  }
  ~BareScanner() {
    ::shutdown(m_fd, SHUT_RDWR);
    m_thread.join();
    ::close(m_fd);
  }
  uint16_t port = 0;

 private:
  void run() {
    std::vector<uint8_t> data;
    for (;;) {
      const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) return;
      noDelay(c);
      FCL_VENDOR_CMD cmd{};
      FCL_DEVICE_STATUS status{};
      if (readN(c, &cmd, sizeof cmd)) {
        data.resize(cmd.dwDataLength);
        switch (cmd.byOPCode) {
          case FOP_WRITE2:  // command, data in, status
            readN(c, data.data(), data.size()) && writeN(c, &status, sizeof status);
            break;
          case FOP_READ:  // command, status, data out
            writeN(c, &status, sizeof status) && writeN(c, data.data(), data.size());
            break;
          case FOP_WRITE:  // command, status, data in
            writeN(c, &status, sizeof status) && readN(c, data.data(), data.size());
            break;
          default:  // command, status
            writeN(c, &status, sizeof status);
        }
      }
      ::close(c);
    }
  }
  int m_fd = -1;
  std::thread m_thread;
};

// One exchange of `cmd` as the scanner's protocol orders its phases; `data` holds at least
// `length` bytes (read into for FOP_READ).
inline bool floorExchange(uint16_t port, const FCL_VENDOR_CMD& cmd, void* data, uint32_t length) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  noDelay(fd);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  FCL_DEVICE_STATUS status{};
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 && writeN(fd, &cmd, sizeof cmd);
  if (ok) {
    switch (cmd.byOPCode) {
      case FOP_WRITE2:
        ok = (length == 0 || writeN(fd, data, length)) && readN(fd, &status, sizeof status);
        break;
      case FOP_READ:
        ok = readN(fd, &status, sizeof status) && (length == 0 || readN(fd, data, length));
        break;
      case FOP_WRITE:
        ok = readN(fd, &status, sizeof status) && (length == 0 || writeN(fd, data, length));
        break;
      default:
        ok = readN(fd, &status, sizeof status);
    }
  }
  ::close(fd);
  return ok;
}

}  // namespace bench
