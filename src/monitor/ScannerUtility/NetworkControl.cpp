#include "monitor/ScannerUtility/NetworkControl.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "monitor/ScannerUtility/MonitorRunLoop.h"

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool NetworkControl::numericIPv4(const QString& text, in_addr* address) {
  // Latin-1 turns any other character into one inet_pton refuses; a NUL would end the text early.
  const QByteArray bytes = text.toLatin1();
  in_addr parsed{};
  if (text.isEmpty() || text.size() > 15 || bytes.contains('\0') ||
      inet_pton(AF_INET, bytes.constData(), &parsed) != 1)
    return false;
  if (address) *address = parsed;
  return true;
}

NetworkControl::NetworkControl() : m_timings(MonitorTimings::current()) {}

NetworkControl::~NetworkControl() { CloseConnect(); }

// ---- Connect and close ----------------------------------------------------------------------------

bool NetworkControl::SocketOpenConnect(const QString& host) {
  CloseConnect();
  m_time.start = Clock::now();
  in_addr address{};
  if (m_aborted) return false;
  if (!numericIPv4(host, &address)) {
    MonitorDebugLog::line(QStringLiteral("\"%1\" is no IPv4 address: nothing is connected").arg(host));
    return false;
  }

  m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_socket < 0) {
    m_socket = -1;
    return false;
  }
  // The command block and the data block go out as separate sends; send each at once.
  const int one = 1;
  setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(m_timings.port);
  sa.sin_addr = address;
  if (::connect(m_socket, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return true;
  if (errno != EINPROGRESS) {
    CloseConnect();
    return false;
  }

  // The wait serves the event loop in slices, so a stop is handled at once and breaks it off.
  const auto connectDeadline = std::min(Clock::now() + m_timings.connect, deadline(false));
  for (;;) {
    if (m_aborted) {
      CloseConnect();
      return false;
    }
    pollfd p{m_socket, POLLOUT, 0};
    const int r = poll(&p, 1, 0);
    if (r > 0) break;
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      std::perror("select");
      CloseConnect();
      return false;
    }
    const int left = remainingMs(connectDeadline);
    if (left <= 0) {
      if (MonitorDebugLog::enabled()) {
        std::fputs("timeoutn", stderr);
        std::fflush(stderr);
        std::printf("%ldn", static_cast<long>(std::time(nullptr)));
        std::fflush(stdout);
      }
      CloseConnect();
      return false;
    }
    MonitorRunLoop::runFor(std::min(m_timings.slice, std::chrono::milliseconds(left)), m_socket, true);
  }
  // Writable: connected, or the connect failed (refused, unreachable). Only the pending error
  // tells the two apart.
  int pending = 0;
  socklen_t len = sizeof pending;
  if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &pending, &len) != 0) pending = errno;
  if (pending != 0) {
    MonitorDebugLog::line(QStringLiteral("connect failed: %1").arg(QString::fromLocal8Bit(std::strerror(pending))));
    CloseConnect();
    return false;
  }
  return true;
}

bool NetworkControl::CloseConnect() {
  if (m_socket >= 0) {
    const int fd = m_socket;
    m_socket = -1;
    ::close(fd);
  }
  return true;
}

void NetworkControl::abort() {
  m_aborted = true;
  if (m_socket >= 0) ::shutdown(m_socket, SHUT_RDWR);
}

// ---- Byte movers ----------------------------------------------------------------------------------

NetworkControl::Io NetworkControl::sendAll(const void* data, std::size_t length, Clock::time_point deadline,
                                           bool serveLoop) {
  const auto* in = static_cast<const uint8_t*>(data);
  std::size_t sent = 0;
  while (sent < length) {
    if (m_socket < 0 || m_aborted) return Io::Failed;
    const ssize_t n = ::send(m_socket, in + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Io::Failed;
    const int left = remainingMs(deadline);
    if (left <= 0) return Io::TimedOut;
    if (serveLoop) {
      MonitorRunLoop::runFor(std::min(m_timings.slice, std::chrono::milliseconds(left)), m_socket, true);
    } else {
      pollfd p{m_socket, POLLOUT, 0};
      poll(&p, 1, left);
    }
  }
  return Io::Done;
}

NetworkControl::Io NetworkControl::receiveAll(void* out, std::size_t length, Clock::time_point deadline,
                                              bool logErrors) {
  auto* bytes = static_cast<uint8_t*>(out);
  std::size_t got = 0;
  while (got < length) {
    if (m_socket < 0 || m_aborted) return Io::Failed;
    const ssize_t n = ::recv(m_socket, bytes + got, length - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    if (n == 0) return Io::Failed;  // the scanner closed the connection before the end
    const int err = errno;
    if (err != EAGAIN && err != EWOULDBLOCK && err != EINTR) {
      if (logErrors) MonitorDebugLog::line(QStringLiteral("getData fail! errvalue = %1").arg(err));
      return Io::Failed;
    }
    if (err == EINTR) continue;
    const int left = remainingMs(deadline);
    if (left <= 0) return Io::TimedOut;
    MonitorRunLoop::runFor(std::min(m_timings.slice, std::chrono::milliseconds(left)), m_socket, false);
  }
  return Io::Done;
}

// ---- Phases ---------------------------------------------------------------------------------------

NetworkControl::Clock::time_point NetworkControl::deadline(bool event) const { return m_time.end(m_timings, event); }

bool NetworkControl::SendCommand(const monitor::FCL_CMD* cmd, monitor::FCL_DEVICE_STATUS* status) {
  const auto end = deadline(false);
  Io io = sendAll(cmd, sizeof *cmd, end, true);
  monitor::FCL_DEVICE_STATUS received{};
  if (io == Io::Done) io = receiveAll(&received, sizeof received, end, false);
  if (io == Io::Done) {
    std::memcpy(status, &received, sizeof received);
    MonitorDebugLog::line(QStringLiteral("===send Command success==="));
    return true;
  }
  if (io == Io::TimedOut) MonitorDebugLog::line(QStringLiteral("===send Command false and out time==="));
  return false;
}

bool NetworkControl::SendData(const void* data, uint32_t length) {
  return sendAll(data, length, deadline(false), false) == Io::Done;
}

bool NetworkControl::GetData(void* buffer, uint32_t length) { return getScannerData(buffer, length, deadline(false)); }

bool NetworkControl::GetEventData(void* buffer, uint32_t length) {
  return getScannerData(buffer, length, deadline(true));
}

bool NetworkControl::getScannerData(void* buffer, uint32_t length, Clock::time_point end) {
  m_isGetDataSuccess = 0;
  std::vector<uint8_t> received(length);
  const Io io = receiveAll(received.data(), received.size(), end, true);
  if (io != Io::Done) {
    m_isGetDataSuccess = -1;
    CloseConnect();
    return false;
  }
  if (length) std::memcpy(buffer, received.data(), length);
  m_isGetDataSuccess = 1;
  return true;
}
