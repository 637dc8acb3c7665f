#pragma once
// The plain socket steps the benchmarks' floors are made of: no code of ours, TCP_NODELAY on
// both sides, MSG_NOSIGNAL sends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace bench {

inline void noDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

inline bool readN(int fd, void* p, std::size_t n) {
  auto* b = static_cast<uint8_t*>(p);
  for (std::size_t got = 0; got < n;) {
    const ssize_t r = ::recv(fd, b + got, n - got, 0);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

inline bool writeN(int fd, const void* p, std::size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (std::size_t sent = 0; sent < n;) {
    const ssize_t r = ::send(fd, b + sent, n - sent, MSG_NOSIGNAL);
    if (r <= 0) return false;
    sent += static_cast<std::size_t>(r);
  }
  return true;
}

// A listening socket on 127.0.0.1 at a port the system chooses (written to `*port`).
inline int listenOnLoopback(uint16_t* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(fd, 64) != 0) {
    throw std::runtime_error("bare scanner: cannot listen");
  }
  socklen_t len = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  *port = ntohs(sa.sin_port);
  return fd;
}

}  // namespace bench
