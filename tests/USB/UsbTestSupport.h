#pragma once
// Fixture pieces shared by the USB tests: a fake host installed as the current host, the
// open-attempt pause recorded instead of slept, and the scanner IDs.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "USB/USBControl.h"
#include "USB/UsbIds.h"
#include "platform/usb/FakeUsbHost.h"

class FakeHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previousHost = platform::setUsbHost(&host);
    m_previousPause = CFISHUSBControl::setPauseFunction([this](std::chrono::milliseconds d) { pauses.push_back(d); });
  }
  void TearDown() override {
    CFISHUSBControl::setPauseFunction(m_previousPause);
    platform::setUsbHost(m_previousHost);
  }

  // A scanner with the scanner's pipes, answering on the scripted peer.
  static platform::FakeUsbHost::Device scanner(uint16_t productId = usbids::kProductIdQMX7315W) {
    platform::FakeUsbHost::Device d;
    d.vendorId = usbids::kScannerVendorId;
    d.productId = productId;
    return d;
  }

  // The calls of the fake host that start with one of `ops`, in order.
  std::vector<std::string> callsOf(std::initializer_list<const char*> ops) const {
    std::vector<std::string> out;
    for (const std::string& c : host.calls())
      for (const char* op : ops)
        if (c.rfind(std::string(op) + " ", 0) == 0) out.push_back(c);
    return out;
  }

  platform::FakeUsbHost host;
  std::vector<std::chrono::milliseconds> pauses;

 private:
  platform::UsbHost* m_previousHost = nullptr;
  CFISHUSBControl::PauseFunction m_previousPause;
};

// Runs `work` on a thread of its own and answers its result, failing the test when it has not
// finished within `watchdog` (chosen generously: ten times the limit the work should keep). A
// run that outlives the watchdog still uses the test's objects, so the program ends there.
template <typename Work>
auto finishesWithin(std::chrono::milliseconds watchdog, Work work) {
  std::packaged_task<decltype(work())()> task(std::move(work));
  auto result = task.get_future();
  std::thread runner(std::move(task));
  if (result.wait_for(watchdog) != std::future_status::ready) {
    std::fprintf(stderr, "hung: still running after the %lld ms watchdog\n", static_cast<long long>(watchdog.count()));
    std::fflush(stderr);
    std::abort();
  }
  runner.join();
  return result.get();
}

inline std::vector<uint8_t> bytesOf(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  return std::vector<uint8_t>(b, b + n);
}
