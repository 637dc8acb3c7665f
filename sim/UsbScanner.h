#pragma once
// The simulated scanner on USB: a device of the fake USB host (platform::FakeUsbHost) whose
// bulk pipes carry the protocol engine's byte stream, so the USB transport talks to the same
// scanner model as the TCP tests.
//
// The engine runs on a thread of its own and serves one command after another. Bytes the host
// writes to the bulk-out pipe are queued for the engine; a bulk-in read answers what the engine
// has written, as soon as there is as much as the host asked for, or less when the engine has
// stopped writing (it waits for input it has not got). When the engine has written nothing and
// waits, the read answers NotResponding: a real scanner would hold the host's transfer until its limit.
// A read that is still waiting for the engine's answer when the transfer's limit has passed (a
// scanner slow to answer, e.g. a delayed status) answers TimedOut, as the host would.
// A fault that cuts an exchange, and the release of the interface by the host, reset the
// stream: bytes still queued either way are dropped and the engine waits for a new command.
//
// Usage:
//   auto scanner = sim::UsbScanner::create(model, &faults, &log);
//   fakeHost.addDevice(scanner->device(usbids::kScannerVendorId, usbids::kProductIdQMX7315W));

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "ProtocolEngine.h"
#include "Transport.h"
#include "platform/usb/FakeUsbHost.h"

namespace sim {

class UsbScanner : public platform::FakeUsbHost::PipePeer, public std::enable_shared_from_this<UsbScanner> {
 public:
  static std::shared_ptr<UsbScanner> create(ScannerModel& model, FaultPlan* faults = nullptr,
                                            CommandLog* log = nullptr);
  ~UsbScanner() override;  // stops and joins the engine's thread
  UsbScanner(const UsbScanner&) = delete;
  UsbScanner& operator=(const UsbScanner&) = delete;

  // A fake device with the scanner's pipes, these IDs and this scanner behind its bulk pipes.
  // Its control pipe grants the lock (reply byte 4 = 0) unless the test changes the script.
  platform::FakeUsbHost::Device device(uint16_t vendorId, uint16_t productId);

  // Stops the engine (a running exchange ends at once). Called by the destructor.
  void stop();

  // FakeUsbHost::PipePeer
  platform::UsbResult received(uint8_t pipeRef, const uint8_t* data, uint32_t size, uint32_t* taken,
                               std::chrono::milliseconds timeout) override;
  platform::UsbResult send(uint8_t pipeRef, uint8_t* data, uint32_t size, uint32_t* given,
                           std::chrono::milliseconds timeout) override;
  void released() override;

 private:
  UsbScanner(ScannerModel& model, FaultPlan* faults, CommandLog* log);

  // The engine's side of the pipes.
  class PipeStream : public Transport {
   public:
    explicit PipeStream(UsbScanner& s) : m_s(s) {}
    bool readExact(void* buf, std::size_t n) override;
    bool writeAll(const void* buf, std::size_t n) override;

   private:
    UsbScanner& m_s;
  };

  // How long a host write waits for the engine to take its bytes.
  static constexpr std::chrono::milliseconds kAcceptLimit{250};

  void run();
  // The engine waits for bytes the host has not sent (so a short read is all there will be).
  bool engineWaiting() const;

  ProtocolEngine m_engine;
  PipeStream m_stream{*this};

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<uint8_t> m_toScanner;  // written by the host, not yet read by the engine
  std::deque<uint8_t> m_toHost;     // written by the engine, not yet read by the host
  std::size_t m_engineNeeds = 0;    // bytes the engine's pending readExact waits for; 0: none
  bool m_resetPending = false;      // drop the stream; the engine's calls fail until it restarts
  bool m_stopping = false;
  std::thread m_thread;
};

}  // namespace sim
