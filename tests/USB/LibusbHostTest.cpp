// The libusb host on a machine without the scanner (and, in containers, without /dev/bus/usb):
// it must answer "no device" and refuse stale handles, never hang or crash.
#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <climits>

#include "USB/UsbIds.h"
#include "USB/Wraper.h"
#include "platform/usb/LibusbHost.h"

using platform::LibusbHost;
using platform::UsbResult;

namespace {
bool scannerAttached(platform::UsbHost& host) {
  return !host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7315W).empty() ||
         !host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7305).empty();
}
}  // namespace

TEST(LibusbHost, WithoutAScannerTheDefaultHostFindsNone) {
  if (scannerAttached(platform::usbHost())) GTEST_SKIP() << "a device with the scanner's IDs is attached";
  Wraper w;
  EXPECT_EQ(w.OpenScanner(), -1);
  FCL_VENDOR_CMD cmd{};
  FCL_DEVICE_STATUS st{};
  EXPECT_EQ(w.SendCommand(&cmd, &st), -1);
  EXPECT_EQ(w.CtrlPipeLockScanner(), 0);
  EXPECT_EQ(w.CloseScanner(), 0);  // nothing was open, so nothing failed to close
}

TEST(LibusbHost, WithoutUsbSupportEveryOpenAnswersNoDevice) {
  int inits = 0;
  LibusbHost host([&](libusb_context** ctx) {
    ++inits;
    *ctx = nullptr;
    return int(LIBUSB_ERROR_OTHER);  // as in a container without /dev/bus/usb
  });
  EXPECT_TRUE(host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7315W).empty());
  EXPECT_TRUE(host.findDevices(usbids::kScannerVendorId, usbids::kProductIdQMX7305).empty());
  platform::DeviceHandle dev = 99;
  EXPECT_EQ(host.openDevice(0x0101, &dev), UsbResult::NoDevice);
  EXPECT_EQ(dev, 0u);
  EXPECT_EQ(inits, 1);  // tried once, not on every search

  platform::UsbHost* previous = platform::setUsbHost(&host);
  Wraper w;
  EXPECT_EQ(w.OpenScanner(), -1);
  platform::setUsbHost(previous);
}

TEST(LibusbHost, StaleHandlesAndReferencesAreRefused) {
  LibusbHost host;
  platform::DeviceHandle dev = 99;
  EXPECT_EQ(host.openDevice(0xFFFFFFFF, &dev), UsbResult::NoDevice);
  EXPECT_EQ(dev, 0u);
  uint8_t n = 0;
  std::vector<uint8_t> numbers;
  platform::InterfaceHandle iface = 0;
  platform::UsbPipeProperties props;
  uint8_t buf[8] = {};
  uint32_t count = 0;
  uint16_t moved = 0;
  EXPECT_EQ(host.numberOfConfigurations(7, &n), UsbResult::NotOpen);
  EXPECT_EQ(host.interfaceNumbers(7, &numbers), UsbResult::NotOpen);
  EXPECT_EQ(host.openInterface(7, 0, &iface), UsbResult::NotOpen);
  EXPECT_EQ(host.numberOfEndpoints(7, &n), UsbResult::NotOpen);
  EXPECT_EQ(host.pipeProperties(7, 1, &props), UsbResult::NotOpen);
  EXPECT_EQ(host.writePipe(7, 1, buf, sizeof buf, &count, std::chrono::seconds(1)), UsbResult::NotOpen);
  EXPECT_EQ(host.readPipe(7, 2, buf, sizeof buf, &count, std::chrono::seconds(1)), UsbResult::NotOpen);
  EXPECT_EQ(host.pipeStatus(7, 1), UsbResult::NotOpen);
  EXPECT_EQ(host.clearPipeStall(7, 1), UsbResult::NotOpen);
  EXPECT_EQ(host.abortPipe(7, 1), UsbResult::NotOpen);
  EXPECT_EQ(host.controlRequest(7, platform::UsbControlSetup{}, buf, &moved), UsbResult::NotOpen);
  EXPECT_EQ(host.closeInterface(7), UsbResult::NotOpen);
  EXPECT_EQ(host.closeDevice(7), UsbResult::NotOpen);
}

TEST(LibusbHost, LibusbErrorsMapToTheConditionsTheTransportActsOn) {
  const std::pair<int, UsbResult> table[] = {
      {LIBUSB_SUCCESS, UsbResult::Success},
      {5, UsbResult::Success},  // a control transfer's byte count
      {LIBUSB_ERROR_BUSY, UsbResult::ExclusiveAccess},
      {LIBUSB_ERROR_PIPE, UsbResult::PipeStalled},
      {LIBUSB_ERROR_IO, UsbResult::NotResponding},
      {LIBUSB_ERROR_TIMEOUT, UsbResult::TimedOut},  // a transfer that ran out of its limit
      {LIBUSB_ERROR_NO_DEVICE, UsbResult::NoDevice},
      {LIBUSB_ERROR_ACCESS, UsbResult::AccessDenied},
      {LIBUSB_ERROR_OVERFLOW, UsbResult::Overflow},
      {LIBUSB_ERROR_OTHER, UsbResult::OtherError},
  };
  for (const auto& [code, expected] : table) EXPECT_EQ(LibusbHost::fromLibusb(code), expected) << code;
}

// libusb reads a limit of 0 as "wait for ever": no caller's limit may turn into that.
TEST(LibusbHost, TransferLimitsNeverBecomeNoLimit) {
  using std::chrono::milliseconds;
  const std::pair<milliseconds, unsigned> table[] = {
      {milliseconds(30000), 30000u},
      {milliseconds(5000), 5000u},
      {milliseconds(1), 1u},
      {milliseconds(0), 1u},
      {milliseconds(-20), 1u},
      {milliseconds(static_cast<long long>(UINT_MAX) + 5), UINT_MAX},
  };
  for (const auto& [limit, expected] : table) EXPECT_EQ(LibusbHost::timeoutMs(limit), expected) << limit.count();
}
