#include "MonitorTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <dirent.h>
#include <chrono>
#include <thread>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <ostream>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/PropertyList.h"

namespace {
constexpr int kFirstHost = 2;
constexpr int kHostCount = 253;
}  // namespace

MonitorSim::MonitorSim()
    : m_model(std::make_unique<sim::ScannerModel>()), m_scanner(std::make_unique<sim::TcpScanner>(*m_model)) {
  const int start = static_cast<int>((getpid() * 7) % kHostCount);
  int lastError = 0;
  for (int i = 0; i < kHostCount; ++i) {
    const std::string address = "127.0.0." + std::to_string(kFirstHost + (start + i) % kHostCount);
    if (m_scanner->start(address, sim::TcpScanner::kDefaultPort, &lastError)) return;
    if (lastError != EADDRINUSE) break;
  }
  throw std::runtime_error("no free loopback address for the simulated scanner");
}

QString unusedLoopbackAddress() {
  // An address of 127.0.1.0/24 whose port 5566 nobody holds: bind it, then let it go.
  const int start = static_cast<int>((getpid() * 13) % kHostCount);
  for (int i = 0; i < kHostCount; ++i) {
    const std::string address = "127.0.1." + std::to_string(kFirstHost + (start + i) % kHostCount);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(5566);
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    const bool free = ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    if (free) return QString::fromStdString(address);
  }
  return QStringLiteral("127.0.1.1");
}

FullListener::FullListener() : m_address(unusedLoopbackAddress()) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(5566);
  inet_pton(AF_INET, m_address.toLatin1().constData(), &sa.sin_addr);
  m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(m_listener, 0) != 0)
    throw std::runtime_error("no listener for a connect without an answer");
  // Fill the queue; these connects may themselves go unanswered: non-blocking.
  for (int i = 0; i < 4; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ::connect(f, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    m_fillers.push_back(f);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

FullListener::~FullListener() {
  for (int f : m_fillers) ::close(f);
  ::close(m_listener);
}

MonitorUsbSim::MonitorUsbSim() : m_scanner(sim::UsbScanner::create(m_model, &m_faults, &m_log)) {
  m_host.addDevice(m_scanner->device(kVendor, kProduct));
  m_previous = platform::setUsbHost(&m_host);
}

MonitorUsbSim::~MonitorUsbSim() {
  platform::setUsbHost(m_previous);
  m_scanner->stop();
}

Watchdog::Watchdog(std::chrono::seconds limit, const char* what) {
  m_thread = std::thread([this, limit, what] {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, limit, [this] { return m_done; })) {
      std::fprintf(stderr, "watchdog: %s did not return within %lld s\n", what, static_cast<long long>(limit.count()));
      std::abort();
    }
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard lock(m_mutex);
    m_done = true;
  }
  m_cv.notify_all();
  m_thread.join();
}

int openDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count - 1;
}

int openDescriptorsSettled(int expected) {
  // The in-process simulator closes its end of a connection on its own thread, a moment after
  // the client's close: give it that moment before counting.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  int count = openDescriptors();
  while (count != expected && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    count = openDescriptors();
  }
  return count;
}

void writeDeviceFile(const QString& path, const QVariantMap& map) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  ASSERT_EQ(platform::PropertyList::write(path, map), platform::PropertyList::Status::Ok);
}

QVariantMap readDeviceFile(const QString& path) {
  QVariantMap map;
  platform::PropertyList::read(path, map);
  return map;
}

std::vector<SeenCommand> seenCommands(const sim::CommandLog& log) {
  std::vector<SeenCommand> out;
  for (const sim::LoggedCommand& e : log.entries())
    out.push_back({e.cmd.byOPCode, e.cmd.byDTC, e.cmd.wDTQ, e.cmd.dwDataLength});
  return out;
}

void PrintTo(const SeenCommand& c, std::ostream* os) {
  *os << "{op 0x" << std::hex << int(c.opcode) << " class 0x" << int(c.dtc) << std::dec << " qualifier " << c.dtq
      << " length " << c.length << "}";
}
