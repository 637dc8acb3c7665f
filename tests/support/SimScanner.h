#pragma once
// The simulated scanner, in this test process, on the real TCP path.
//
// It listens on a loopback address of its own, 127.0.0.N port 5566, with N unique among the test
// programs that run at the same time: it starts from a value derived from the process ID and steps
// on while the address is taken. address() is ready for IOWrapper::openScanner. Its serial number
// comes from that address (ScannerModel::serialForAddress), as the simulator program's does.
//
// ScopedSocketLimits swaps the TCP transport's process-wide time limits (and port) for the
// lifetime of a test, so failure paths end in milliseconds rather than seconds.

#include <QString>
#include <chrono>
#include <memory>

#include "CommandLog.h"
#include "FaultPlan.h"
#include "ScannerModel.h"
#include "Socket/SocketWrapper.h"
#include "TcpScanner.h"

class SimScanner {
 public:
  explicit SimScanner(sim::ScannerModel::Kind kind = sim::ScannerModel::Kind::Qmx7315w);
  ~SimScanner();
  SimScanner(const SimScanner&) = delete;
  SimScanner& operator=(const SimScanner&) = delete;

  // "127.0.0.N"
  QString address() const { return QString::fromStdString(m_scanner->address()); }
  uint16_t port() const { return m_scanner->port(); }

  sim::TcpScanner& scanner() { return *m_scanner; }
  sim::ScannerModel& model() { return *m_model; }
  sim::FaultPlan& faults() { return m_scanner->faults(); }
  sim::CommandLog& log() { return m_scanner->log(); }

 private:
  std::unique_ptr<sim::ScannerModel> m_model;
  std::unique_ptr<sim::TcpScanner> m_scanner;
};

class ScopedSocketLimits {
 public:
  // Every limit `ms`, for quick failures.
  explicit ScopedSocketLimits(std::chrono::milliseconds ms) : ScopedSocketLimits(limitsOf(ms)) {}
  explicit ScopedSocketLimits(const SocketWrapper::Limits& limits)
      : m_previous(SocketWrapper::setDefaultLimits(limits)), m_previousPort(SocketWrapper::defaultPort()) {}
  ~ScopedSocketLimits() {
    SocketWrapper::setDefaultLimits(m_previous);
    SocketWrapper::setDefaultPort(m_previousPort);
  }
  ScopedSocketLimits(const ScopedSocketLimits&) = delete;
  ScopedSocketLimits& operator=(const ScopedSocketLimits&) = delete;

  static SocketWrapper::Limits limitsOf(std::chrono::milliseconds ms) {
    SocketWrapper::Limits l;
    l.connect = l.send = l.receive = ms;
    return l;
  }

 private:
  SocketWrapper::Limits m_previous;
  uint16_t m_previousPort;
};

// A simulated scanner that takes every connection and never answers (a silent address).
std::unique_ptr<SimScanner> silentSimScanner();

// Open descriptors of this process (entries of /proc/self/fd).
int openDescriptorCount();
