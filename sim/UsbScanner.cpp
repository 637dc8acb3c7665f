#include "UsbScanner.h"

#include <algorithm>

namespace sim {

using platform::UsbResult;

std::shared_ptr<UsbScanner> UsbScanner::create(ScannerModel& model, FaultPlan* faults, CommandLog* log) {
  std::shared_ptr<UsbScanner> s(new UsbScanner(model, faults, log));
  s->m_thread = std::thread([raw = s.get()] { raw->run(); });
  return s;
}

UsbScanner::UsbScanner(ScannerModel& model, FaultPlan* faults, CommandLog* log) : m_engine(model, faults, log) {}

UsbScanner::~UsbScanner() { stop(); }

void UsbScanner::stop() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_engine.requestStop();
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

platform::FakeUsbHost::Device UsbScanner::device(uint16_t vendorId, uint16_t productId) {
  platform::FakeUsbHost::Device d;
  d.vendorId = vendorId;
  d.productId = productId;
  d.name = "simulated scanner";
  d.peer = shared_from_this();
  return d;
}

// ---- The engine's thread -------------------------------------------------------------------------

void UsbScanner::run() {
  for (;;) {
    {
      std::lock_guard lock(m_mutex);
      if (m_stopping) return;
    }
    const bool ok = m_engine.serveOne(m_stream);
    std::lock_guard lock(m_mutex);
    if (m_stopping) return;
    if (m_resetPending) {
      // The host let go of the interface: whatever was under way is over.
      m_toScanner.clear();
      m_toHost.clear();
      m_resetPending = false;
      m_engine.resetStop();
      m_changed.notify_all();
    } else if (!ok) {
      // A fault cut the exchange: the rest of its input is void; what went out stays readable.
      m_toScanner.clear();
      m_changed.notify_all();
    }
  }
}

bool UsbScanner::engineWaiting() const { return m_engineNeeds > m_toScanner.size(); }

bool UsbScanner::PipeStream::readExact(void* buf, std::size_t n) {
  std::unique_lock lock(m_s.m_mutex);
  m_s.m_engineNeeds = n;
  m_s.m_changed.notify_all();  // a host read waiting for more may now answer short
  m_s.m_changed.wait(lock, [&] { return m_s.m_stopping || m_s.m_resetPending || m_s.m_toScanner.size() >= n; });
  m_s.m_engineNeeds = 0;
  if (m_s.m_stopping || m_s.m_resetPending) return false;
  auto* out = static_cast<uint8_t*>(buf);
  std::copy_n(m_s.m_toScanner.begin(), n, out);
  m_s.m_toScanner.erase(m_s.m_toScanner.begin(), m_s.m_toScanner.begin() + static_cast<std::ptrdiff_t>(n));
  return true;
}

bool UsbScanner::PipeStream::writeAll(const void* buf, std::size_t n) {
  std::lock_guard lock(m_s.m_mutex);
  if (m_s.m_stopping || m_s.m_resetPending) return false;
  const auto* in = static_cast<const uint8_t*>(buf);
  m_s.m_toHost.insert(m_s.m_toHost.end(), in, in + n);
  m_s.m_changed.notify_all();
  return true;
}

// ---- The host's side -----------------------------------------------------------------------------

UsbResult UsbScanner::received(uint8_t, const uint8_t* data, uint32_t size, uint32_t* taken,
                               std::chrono::milliseconds timeout) {
  // Each wait below is bounded by kAcceptLimit, and by the transfer's limit when that is shorter.
  const auto limit = std::clamp(timeout, std::chrono::milliseconds(1), kAcceptLimit);
  std::unique_lock lock(m_mutex);
  *taken = 0;
  // After a release the engine first drops the old conversation; bytes of the new one must not
  // arrive before that, or the reset would drop them too.
  m_changed.wait_for(lock, limit, [&] { return m_stopping || !m_resetPending; });
  if (m_stopping) return UsbResult::NotResponding;
  m_toScanner.insert(m_toScanner.end(), data, data + size);
  *taken = size;
  m_changed.notify_all();
  // A bulk-out transfer completes once the device has taken the bytes: wait until the engine
  // has done what it can with them and waits for more input (bounded, for faults that hold it).
  m_changed.wait_for(lock, limit, [&] { return m_stopping || m_resetPending || engineWaiting(); });
  return UsbResult::Success;
}

UsbResult UsbScanner::send(uint8_t, uint8_t* data, uint32_t size, uint32_t* given,
                           std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_mutex);
  *given = 0;
  // Wait while the engine is still working on an answer: it is neither done writing (it would
  // wait for input) nor has it written enough; at most for the transfer's limit.
  const bool ready = m_changed.wait_for(lock, std::max(timeout, std::chrono::milliseconds(1)), [&] {
    return m_stopping || m_toHost.size() >= size || (engineWaiting() && !m_resetPending);
  });
  if (m_stopping) return UsbResult::NotResponding;
  if (!ready) return UsbResult::TimedOut;
  const std::size_t n = std::min<std::size_t>(size, m_toHost.size());
  if (n == 0) return UsbResult::NotResponding;
  std::copy_n(m_toHost.begin(), n, data);
  m_toHost.erase(m_toHost.begin(), m_toHost.begin() + static_cast<std::ptrdiff_t>(n));
  *given = static_cast<uint32_t>(n);
  return UsbResult::Success;
}

void UsbScanner::released() {
  // The stop first: the engine's thread lifts it only after it has seen the reset below.
  m_engine.requestStop();
  {
    std::lock_guard lock(m_mutex);
    m_resetPending = true;
    m_toScanner.clear();
    m_toHost.clear();
  }
  m_changed.notify_all();
}

}  // namespace sim
