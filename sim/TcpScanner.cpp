#include "TcpScanner.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {
namespace {

constexpr int kBacklog = 64;
// How long the scanner waits for the client to close after a complete exchange (to count any
// bytes the client sent beyond the exchange), and how long pacing waits for the client to read.
constexpr std::chrono::milliseconds kLingerLimit{1000};
constexpr std::chrono::milliseconds kPaceLimit{2000};

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_family == b.sin_family && a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

bool localAndPeer(int fd, sockaddr_in* local, sockaddr_in* peer) {
  socklen_t len = sizeof *local;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(local), &len) != 0 || len != sizeof *local) return false;
  len = sizeof *peer;
  return getpeername(fd, reinterpret_cast<sockaddr*>(peer), &len) == 0 && len == sizeof *peer;
}

// ---------------------------------------------------------------------------------------------
// One accepted connection as the engine's byte stream. Non-blocking I/O with poll, so that the
// stop descriptor ends every wait.

class TcpTransport : public Transport {
 public:
  TcpTransport(int fd, int stopFd, std::chrono::milliseconds idleLimit, bool pace)
      : m_fd(fd), m_stopFd(stopFd), m_idleLimit(idleLimit), m_pace(pace) {}

  bool readExact(void* buf, std::size_t n) override {
    auto* out = static_cast<uint8_t*>(buf);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::recv(m_fd, out + done, n - done, MSG_DONTWAIT);
      if (r == 0) return false;
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (!waitFor(POLLIN, std::chrono::steady_clock::now() + m_idleLimit)) return false;
        continue;
      }
      done += static_cast<std::size_t>(r);
      bytesIn += static_cast<std::size_t>(r);
    }
    return true;
  }

  bool peerClosed() override {
    pollfd p{m_fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) return true;
    uint8_t byte;
    return ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
  }

  bool writeAll(const void* buf, std::size_t n) override {
    const auto* in = static_cast<const uint8_t*>(buf);
    std::size_t done = 0;
    while (done < n) {
      const ssize_t r = ::send(m_fd, in + done, n - done, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (!waitFor(POLLOUT, std::chrono::steady_clock::now() + m_idleLimit)) return false;
        continue;
      }
      done += static_cast<std::size_t>(r);
      bytesOut += static_cast<std::size_t>(r);
    }
    if (m_pace) waitUntilPeerRead();
    return true;
  }

  // After a complete exchange: reads until the client closes (counting what it still sends).
  void drainUntilClosed() {
    const auto deadline = std::chrono::steady_clock::now() + kLingerLimit;
    uint8_t sink[4096];
    for (;;) {
      const ssize_t r = ::recv(m_fd, sink, sizeof sink, MSG_DONTWAIT);
      if (r == 0) return;
      if (r < 0) {
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return;
        if (!waitFor(POLLIN, deadline)) return;
        continue;
      }
      bytesIn += static_cast<std::size_t>(r);
    }
  }

  std::size_t bytesIn = 0;
  std::size_t bytesOut = 0;

 private:
  // Waits until `events` are ready on the connection; false on stop, time-out or error.
  bool waitFor(short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
      pollfd p[2] = {{m_fd, events, 0}, {m_stopFd, POLLIN, 0}};
      const int r = poll(p, 2, remainingMs(deadline));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      if (p[1].revents) return false;
      return true;  // ready, or an error/hang-up that the next recv/send reports
    }
  }

  // The client's socket in this process: the one whose own address is our peer's and whose peer
  // is us. -1 when the client lives elsewhere.
  int findPeerFd() {
    sockaddr_in local{}, peer{};
    if (!localAndPeer(m_fd, &local, &peer)) return -1;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int found = -1;
    while (dirent* e = readdir(dir)) {
      char* end = nullptr;
      const long n = std::strtol(e->d_name, &end, 10);
      if (end == e->d_name || *end != '\0' || n == m_fd || n == dirfd(dir)) continue;
      struct stat st {};
      if (fstat(static_cast<int>(n), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
      sockaddr_in theirLocal{}, theirPeer{};
      if (localAndPeer(static_cast<int>(n), &theirLocal, &theirPeer) && sameAddress(theirLocal, peer) &&
          sameAddress(theirPeer, local)) {
        found = static_cast<int>(n);
        break;
      }
    }
    closedir(dir);
    return found;
  }

  bool peerStillMatches() {
    sockaddr_in local{}, peer{}, theirLocal{}, theirPeer{};
    return localAndPeer(m_fd, &local, &peer) && localAndPeer(m_peerFd, &theirLocal, &theirPeer) &&
           sameAddress(theirLocal, peer) && sameAddress(theirPeer, local);
  }

  // Waits until the in-process client has received everything sent so far and has read it out
  // of its socket: the next piece then needs a receive call of its own.
  void waitUntilPeerRead() {
    if (m_peerFd == -2) m_peerFd = findPeerFd();
    if (m_peerFd < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + kPaceLimit;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd stop{m_stopFd, POLLIN, 0};
      if (poll(&stop, 1, 0) > 0) return;
      if (!peerStillMatches()) {
        m_peerFd = -1;
        return;
      }
      tcp_info info{};
      socklen_t len = sizeof info;
      int unread = 0;
      if (getsockopt(m_peerFd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0 ||
          len < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received ||
          ioctl(m_peerFd, FIONREAD, &unread) != 0) {
        m_peerFd = -1;
        return;
      }
      if (info.tcpi_bytes_received >= bytesOut && unread == 0) return;
      usleep(20);
    }
  }

  int m_fd;
  int m_stopFd;
  std::chrono::milliseconds m_idleLimit;
  bool m_pace;
  int m_peerFd = -2;  // -2 not looked up yet, -1 not in this process
};

}  // namespace

// ---------------------------------------------------------------------------------------------

TcpScanner::TcpScanner(ScannerModel& model) : m_model(model), m_engine(model, &m_faults, &m_log) {}

TcpScanner::~TcpScanner() { stop(); }

bool TcpScanner::start(const std::string& address, uint16_t port, int* error) {
  auto fail = [&](int err) {
    if (error) *error = err;
    if (m_listenFd >= 0) ::close(m_listenFd);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
    m_listenFd = m_wakeFd = -1;
    return false;
  };
  if (running()) return fail(EALREADY);

  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) return fail(EINVAL);

  m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (m_wakeFd < 0) return fail(errno);
  m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) return fail(errno);
  // Lets a restarted scanner bind again while connections of the last run linger in TIME_WAIT;
  // two listeners on one address are still refused (EADDRINUSE).
  const int one = 1;
  setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (const int rcv = m_receiveBuffer.load(); rcv > 0) {
    setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof rcv);  // inherited by accepted sockets
  }
  if (::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return fail(errno);
  if (::listen(m_listenFd, kBacklog) != 0) return fail(errno);
  socklen_t len = sizeof sa;
  getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&sa), &len);

  m_address = address;
  m_port = ntohs(sa.sin_port);
  {
    std::lock_guard lock(m_mutex);
    m_refusing = false;
    m_busy = false;
  }
  m_engine.resetStop();
  m_thread = std::thread([this] { run(); });
  return true;
}

void TcpScanner::stop() {
  if (!running()) return;
  m_engine.requestStop();
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
  m_thread.join();
  ::close(m_listenFd);
  ::close(m_wakeFd);
  m_listenFd = m_wakeFd = -1;
}

void TcpScanner::setRefuseConnections(bool refuse) {
  std::lock_guard lock(m_mutex);
  if (m_listenFd < 0 || refuse == m_refusing) return;
  if (refuse) {
    // The socket stays bound, so the address stays ours; without SO_REUSEADDR nobody else can
    // bind it meanwhile. Connection attempts now meet a reset.
    const int zero = 0;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &zero, sizeof zero);
    ::shutdown(m_listenFd, SHUT_RDWR);
  } else {
    // SO_REUSEADDR first: connections of earlier runs may linger in TIME_WAIT on this address.
    const int one = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::listen(m_listenFd, kBacklog);
  }
  m_refusing = refuse;
}

std::size_t TcpScanner::connectionCount() const {
  std::lock_guard lock(m_mutex);
  return m_accepted;
}

std::vector<TcpScanner::ConnectionRecord> TcpScanner::connections() const {
  std::lock_guard lock(m_mutex);
  return {m_connections.begin(), m_connections.end()};
}

bool TcpScanner::listenerPending() const {
  std::lock_guard lock(m_mutex);
  if (m_listenFd < 0 || m_refusing) return false;
  pollfd p{m_listenFd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

bool TcpScanner::waitIdle(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // The order matters: a connection is marked busy before it leaves the accept queue.
    const bool pending = listenerPending();
    bool busy;
    {
      std::lock_guard lock(m_mutex);
      busy = m_busy;
    }
    if (!pending && !busy) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    usleep(1000);
  }
}

void TcpScanner::run() {
  for (;;) {
    bool refusing;
    {
      std::lock_guard lock(m_mutex);
      refusing = m_refusing;
    }
    pollfd p[2] = {{m_wakeFd, POLLIN, 0}, {m_listenFd, POLLIN, 0}};
    // While refusing, the listener is not watched (a shut-down listener reads as hung up); the
    // state is looked at again every few milliseconds.
    const int r = poll(p, refusing ? 1 : 2, refusing ? 5 : 50);
    if (r < 0 && errno != EINTR) return;
    if (p[0].revents) return;  // stop
    if (refusing || r <= 0 || !(p[1].revents & POLLIN)) continue;

    {
      std::lock_guard lock(m_mutex);
      m_busy = true;
    }
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      std::lock_guard lock(m_mutex);
      m_busy = false;
      continue;
    }
    serveConnection(fd);
    std::lock_guard lock(m_mutex);
    m_busy = false;
  }
}

void TcpScanner::serveConnection(int fd) {
  {
    std::lock_guard lock(m_mutex);
    ++m_accepted;
  }
  // The status and a following data block are separate writes; send each at once.
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  TcpTransport transport(fd, m_wakeFd, kIdleLimit, m_pace.load());
  if (m_engine.serveOne(transport)) {
    // Hang up first, as the scanner does once it has answered: the client's connect port is
    // then free at once (the wait state stays on this side). Then count what the client still
    // sends until it closes, so tests see every byte of the exchange.
    ::shutdown(fd, SHUT_WR);
    transport.drainUntilClosed();
  }
  ::close(fd);

  std::lock_guard lock(m_mutex);
  m_connections.push_back({transport.bytesIn, transport.bytesOut});
  if (m_connections.size() > kKeptConnections) m_connections.pop_front();
}

}  // namespace sim
