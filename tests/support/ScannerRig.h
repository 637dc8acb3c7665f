#pragma once
// The simulated scanner on either link, with an IOWrapper opened on it, so one table of cases can
// run over TCP (the in-process simulator on loopback) and over USB (the simulator behind a fake
// USB device). Header-only: the tests that use it link zr_io, zr_simsupport and the fake host.
#include <chrono>
#include <memory>

#include "IO/IOWrapper.h"
#include "USB/UsbIds.h"
#include "UsbScanner.h"
#include "platform/usb/FakeUsbHost.h"
#include "support/SimScanner.h"

class Rig {
 public:
  virtual ~Rig() = default;
  virtual sim::ScannerModel& model() = 0;
  virtual sim::FaultPlan& faults() = 0;
  virtual sim::CommandLog& log() = 0;
  IOWrapper io;
};

class TcpRig : public Rig {
 public:
  TcpRig() : m_limits(std::chrono::seconds(5)) { EXPECT_TRUE(io.openScanner(m_sim.address())); }
  sim::ScannerModel& model() override { return m_sim.model(); }
  sim::FaultPlan& faults() override { return m_sim.faults(); }
  sim::CommandLog& log() override { return m_sim.log(); }

 private:
  ScopedSocketLimits m_limits;
  SimScanner m_sim;
};

class UsbRig : public Rig {
 public:
  UsbRig() : m_scanner(sim::UsbScanner::create(m_model, &m_faults, &m_log)) {
    m_host.addDevice(m_scanner->device(usbids::kScannerVendorId, usbids::kProductIdQMX7315W));
    m_previous = platform::setUsbHost(&m_host);
    EXPECT_TRUE(io.openScanner(""));
  }
  ~UsbRig() override {
    io.closeScanner();
    platform::setUsbHost(m_previous);
    m_scanner->stop();
  }
  sim::ScannerModel& model() override { return m_model; }
  sim::FaultPlan& faults() override { return m_faults; }
  sim::CommandLog& log() override { return m_log; }

 private:
  sim::ScannerModel m_model;
  sim::FaultPlan m_faults;
  sim::CommandLog m_log;
  std::shared_ptr<sim::UsbScanner> m_scanner;
  platform::FakeUsbHost m_host;
  platform::UsbHost* m_previous = nullptr;
};
