#include "Socket/SocketWrapper.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <mutex>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/SystemLog.h"

namespace {

std::atomic<uint16_t> g_defaultPort{SocketWrapper::kScannerPort};
std::mutex g_limitsMutex;
SocketWrapper::Limits g_defaultLimits;

timeval toTimeval(std::chrono::milliseconds ms) {
  timeval tv{};
  tv.tv_sec = static_cast<time_t>(ms.count() / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms.count() % 1000) * 1000);
  return tv;
}

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` is writable or `deadline` has passed; false on time-out or error.
bool waitWritable(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, POLLOUT, 0};
    const int r = poll(&p, 1, remainingMs(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

void logSystem(const char* text) { platform::systemLog(QString::fromLatin1(text)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Defaults

uint16_t SocketWrapper::setDefaultPort(uint16_t port) { return g_defaultPort.exchange(port); }
uint16_t SocketWrapper::defaultPort() { return g_defaultPort.load(); }

SocketWrapper::Limits SocketWrapper::setDefaultLimits(const Limits& limits) {
  std::lock_guard lock(g_limitsMutex);
  const Limits previous = g_defaultLimits;
  g_defaultLimits = limits;
  return previous;
}

SocketWrapper::Limits SocketWrapper::defaultLimits() {
  std::lock_guard lock(g_limitsMutex);
  return g_defaultLimits;
}

SocketWrapper::SocketWrapper() : m_port(defaultPort()), m_limits(defaultLimits()) {}

SocketWrapper::~SocketWrapper() {
  // The exchange functions close their connection on every path; this only covers a caller that
  // used OpenScanner without CloseScanner.
  if (sock >= 0) ::close(sock);
}

// ---------------------------------------------------------------------------------------------
// Connect and close

bool SocketWrapper::OpenScanner(const QString& ip) {
  // A blocking socket: Linux bounds a blocking connect by the send time-out (SO_SNDTIMEO), so the
  // connect needs no non-blocking mode, no wait of its own and no switch back afterwards.
  sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) {
    // No descriptor left (or no network stack): this exchange fails, the program goes on.
    std::printf("Error Creating Socket\n");
    std::fflush(stdout);
    sock = -1;
    return false;
  }

  // The send time-out first bounds the connect (at least 1 ms: 0 would mean no limit at all);
  // it is set to the send limit afterwards only where the two differ.
  const auto connectLimit = std::max(m_limits.connect, std::chrono::milliseconds(1));
  const timeval rcv = toTimeval(m_limits.receive);
  const timeval con = toTimeval(connectLimit);
  if (setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &rcv, sizeof rcv) != 0 ||
      setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &con, sizeof con) != 0) {
    std::printf("setsockopt failed\n");
    std::fflush(stdout);
    CloseScanner();
    return false;
  }
  // The command block and a following data block go out as separate sends; without this the
  // second one would wait for the scanner's delayed acknowledgement of the first.
  const int one = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (m_limits.sendBufferBytes > 0) {
    setsockopt(sock, SOL_SOCKET, SO_SNDBUF, &m_limits.sendBufferBytes, sizeof m_limits.sendBufferBytes);
  }

  std::memset(&sa, 0, sizeof sa);
  sa.sin_family = AF_INET;
  sa.sin_port = htons(m_port);
  // A text that is not an address gives INADDR_NONE (all ones); the connect below then fails.
  sa.sin_addr.s_addr = inet_addr(ip.toLatin1().constData());

  const auto deadline = std::chrono::steady_clock::now() + connectLimit;
  if (::connect(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    const int err = errno;
    if (err == EINPROGRESS) {
      // The send time-out ran out before the scanner answered.
      std::fprintf(stderr, "Timeout or error() %d - %s\n", 0, std::strerror(0));
      CloseScanner();
      return false;
    }
    if (err != EINTR) {
      std::fprintf(stderr, "Error connecting %d - %s\n", err, std::strerror(err));
      CloseScanner();
      return false;
    }
    // A signal cut the wait short; the connect goes on by itself: wait for the rest of the limit.
    if (!waitWritable(sock, deadline)) {
      std::fprintf(stderr, "Timeout or error() %d - %s\n", 0, std::strerror(0));
      CloseScanner();
      return false;
    }
    int pending = 0;
    socklen_t len = sizeof pending;
    if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &pending, &len) != 0) pending = errno;
    if (pending != 0) {
      std::fprintf(stderr, "Error in connection() %d - %s\n", pending, std::strerror(pending));
      CloseScanner();
      return false;
    }
  }
  if (connectLimit != m_limits.send) {
    const timeval snd = toTimeval(m_limits.send);
    if (setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &snd, sizeof snd) != 0) {
      std::printf("setsockopt failed\n");
      std::fflush(stdout);
      CloseScanner();
      return false;
    }
  }
  // The time-outs set above bound every later send and receive.
  return true;
}

bool SocketWrapper::CloseScanner() {
  if (sock < 0) return false;
  const int fd = sock;
  sock = -1;  // never close the same number twice: it may already belong to someone else
  return ::close(fd) == 0;
}

// ---------------------------------------------------------------------------------------------
// Phases

bool SocketWrapper::sendCommand(const FCL_VENDOR_CMD* cmd) {
  ssize_t n;
  do {
    n = ::send(sock, cmd, sizeof(FCL_VENDOR_CMD), MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof(FCL_VENDOR_CMD));
}

int64_t SocketWrapper::receiveStatus(FCL_DEVICE_STATUS* status) {
  // The 32 bytes may arrive in several pieces: collect them until all are there, the receive
  // limit has passed or the scanner closed the connection.
  auto* out = reinterpret_cast<uint8_t*>(status);
  const auto deadline = std::chrono::steady_clock::now() + m_limits.receive;
  int64_t got = 0;
  while (got < static_cast<int64_t>(sizeof(FCL_DEVICE_STATUS))) {
    // The first receive blocks for at most the receive limit (SO_RCVTIMEO); later pieces wait
    // only for what is left of it.
    if (got > 0) {
      pollfd p{sock, POLLIN, 0};
      const int r = poll(&p, 1, remainingMs(deadline));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
    }
    const ssize_t n = ::recv(sock, out + got, sizeof(FCL_DEVICE_STATUS) - got, 0);
    if (n < 0 && errno == EINTR) continue;
    bytes_recv = n;
    if (n <= 0) break;
    got += n;
  }
  return got;
}

void SocketWrapper::logDataPhaseOverrun(const char* exchange) const {
  platform::systemLog(QString::asprintf("%s data phase took longer than %lld ms", exchange,
                                        static_cast<long long>(m_limits.dataPhase.count())));
}

bool SocketWrapper::limitCall(int option, std::chrono::milliseconds perCall,
                              std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds* applied,
                              const char* exchange) {
  const int left = remainingMs(deadline);
  if (left <= 0) {
    logDataPhaseOverrun(exchange);
    return false;
  }
  // At least 1 ms is left here, so the limit set is never 0 (which would mean "no limit").
  const std::chrono::milliseconds limit = std::min(perCall, std::chrono::milliseconds(left));
  if (limit != *applied) {
    const timeval tv = toTimeval(limit);
    if (setsockopt(sock, SOL_SOCKET, option, &tv, sizeof tv) == 0) *applied = limit;
  }
  return true;
}

bool SocketWrapper::sendData(const void* data, uint32_t length, const char* exchange) {
  const auto* in = static_cast<const uint8_t*>(data);
  const auto deadline = std::chrono::steady_clock::now() + m_limits.dataPhase;
  std::chrono::milliseconds applied = m_limits.send;  // as OpenScanner set it
  uint32_t sent = 0;
  while (sent < length) {
    bytes_sent = 0;
    if (!limitCall(SO_SNDTIMEO, m_limits.send, deadline, &applied, exchange)) return false;
    ssize_t n;
    do {
      n = ::send(sock, in + sent, length - sent, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    bytes_sent = n;
    if (n < 0) {
      const bool timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
      logSystem((std::string(exchange) + " bytes_sent return kCSocketError!").c_str());
      // A send cut short by the phase's own limit says so too (the kernel may end a wait up to
      // a clock tick early, so a wait given the phase's remainder counts as the phase's).
      if (timedOut && (remainingMs(deadline) <= 0 || applied < m_limits.send)) logDataPhaseOverrun(exchange);
      return false;
    }
    sent += static_cast<uint32_t>(n);
  }
  return true;
}

bool SocketWrapper::receiveData(void* data, uint32_t length) {
  static constexpr const char* kExchange = "SocketWrapper::ReadCommand";
  auto* out = static_cast<uint8_t*>(data);
  uint64_t sum = 0;
  if (length == 0) return true;
  const auto deadline = std::chrono::steady_clock::now() + m_limits.dataPhase;
  std::chrono::milliseconds applied = m_limits.receive;  // as OpenScanner set it
  for (int call = 1;; ++call) {
    bytes_recv = 0;
    if (!limitCall(SO_RCVTIMEO, m_limits.receive, deadline, &applied, kExchange)) return false;
    ssize_t n;
    do {
      n = ::recv(sock, out + sum, length - sum, 0);
    } while (n < 0 && errno == EINTR);
    bytes_recv = n;
    if (n < 0) {
      const bool timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
      logSystem("SocketWrapper::ReadCommand bytes_recv return kCSocketError!");
      if (timedOut && (remainingMs(deadline) <= 0 || applied < m_limits.receive)) logDataPhaseOverrun(kExchange);
      return false;
    }
    sum += static_cast<uint64_t>(n);
    if (sum == length) return true;
    if (sum > length) {
      logSystem("SocketWrapper::ReadCommand nReturnSum > dwLength!");
      return false;
    }
    if (call >= kMaxReceiveCalls) {
      logSystem("ERROR SocketWrapper::ReadCommand recv cnt is more than 998");
      return false;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Exchanges: each one connection, closed on every path once the socket exists

bool SocketWrapper::CMDCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status) {
  if (!OpenScanner(m_ip)) return false;
  const bool ok = sendCommand(cmd) && receiveStatus(status) == sizeof(FCL_DEVICE_STATUS);
  CloseScanner();
  return ok;
}

bool SocketWrapper::WriteCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status,
                                 const void* data, uint32_t length) {
  if (!OpenScanner(m_ip)) return false;
  const bool ok = sendCommand(cmd) && receiveStatus(status) == sizeof(FCL_DEVICE_STATUS) &&
                  sendData(data, length, "SocketWrapper::WriteCommand");
  CloseScanner();
  return ok;
}

bool SocketWrapper::Write2Command(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status,
                                  const void* data, uint32_t length) {
  if (!OpenScanner(m_ip)) return false;
  const bool ok = sendCommand(cmd) &&
                  sendData(data, length, "SocketWrapper::Write2Command") &&
                  receiveStatus(status) == sizeof(FCL_DEVICE_STATUS);
  CloseScanner();
  return ok;
}

bool SocketWrapper::ReadCommand(const FCL_VENDOR_CMD* cmd, FCL_DEVICE_STATUS* status, void* data,
                                uint32_t length) {
  if (!OpenScanner(m_ip)) return false;
  bool ok = sendCommand(cmd);
  if (ok) {
    const int64_t got = receiveStatus(status);
    if (got != static_cast<int64_t>(sizeof(FCL_DEVICE_STATUS))) {
      platform::systemLog(QString::asprintf("recv device status FALSE bytes_recv(%zd) sizeof(FCL_DEVICE_STATUS)(%lu)",
                                            static_cast<ssize_t>(got),
                                            static_cast<unsigned long>(sizeof(FCL_DEVICE_STATUS))));
      ok = false;
    }
  }
  ok = ok && receiveData(data, length);
  CloseScanner();
  return ok;
}
