#include "SimScanner.h"

#include <cerrno>
#include <dirent.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {
// 127.0.0.1 is left to programs run by hand; N runs over 2..254.
constexpr int kFirstHost = 2;
constexpr int kHostCount = 253;
}  // namespace

SimScanner::SimScanner(sim::ScannerModel::Kind kind)
    : m_model(std::make_unique<sim::ScannerModel>(kind)), m_scanner(std::make_unique<sim::TcpScanner>(*m_model)) {
  const int start = static_cast<int>(getpid() % kHostCount);
  int lastError = 0;
  for (int i = 0; i < kHostCount; ++i) {
    const int host = kFirstHost + (start + i) % kHostCount;
    const std::string address = "127.0.0." + std::to_string(host);
    // As the simulator program does: a scanner of its own at each address.
    m_model->setSerial(sim::ScannerModel::serialForAddress(kind, address));
    if (m_scanner->start(address, sim::TcpScanner::kDefaultPort, &lastError)) return;
    if (lastError != EADDRINUSE) break;
  }
  throw std::runtime_error("no free loopback address for the simulated scanner: errno " + std::to_string(lastError));
}

SimScanner::~SimScanner() { m_scanner->stop(); }

std::unique_ptr<SimScanner> silentSimScanner() {
  auto scanner = std::make_unique<SimScanner>();
  sim::Fault silent;
  silent.silent = true;
  silent.count = -1;
  scanner->faults().add(silent);
  return scanner;
}

int openDescriptorCount() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] != '.') ++count;
  }
  closedir(dir);
  return count - 1;  // the directory's own descriptor
}
