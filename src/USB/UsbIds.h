#pragma once
// The USB IDs the scanner transport opens, and the udev rule in resources/udev grants access to.
// Keep the two in step.
//
// Until the models carry IDs of their own, both use the shared prototype range: vendor 0x1209
// with product IDs from the block its registry keeps for in-house testing (0x0001 and 0x0002 are
// "Test PID" entries there). No shipped product uses those pairs, so the transport never takes
// a customer's device for a scanner; other prototypes on a developer's bench may use them too,
// so unplug those while testing with a real scanner.

#include <cstdint>

namespace usbids {

constexpr uint16_t kScannerVendorId = 0x1209;
constexpr uint16_t kProductIdQMX7315W = 0x0001;  // the network model
constexpr uint16_t kProductIdQMX7305 = 0x0002;   // the USB-only model

}  // namespace usbids
