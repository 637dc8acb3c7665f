#pragma once
// Small builders of command blocks and byte patterns shared by the protocol tests.
#include <cstddef>
#include <cstdint>

#include "IO/FCLCommand.h"
#include "ScannerModel.h"

// A command block with the vendor ID and the given fields, the rest 0.
inline FCL_VENDOR_CMD command(uint8_t opcode, uint8_t dtc, uint16_t dtq, uint32_t length) {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = FCL_VENDOR_ID;
  c.byOPCode = opcode;
  c.byDTC = dtc;
  c.wDTQ = dtq;
  c.dwDataLength = length;
  return c;
}

// `n` bytes that do not repeat with a short period, so a shifted or truncated copy shows.
inline sim::Bytes pattern(std::size_t n, uint8_t seed = 1) {
  sim::Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
  return b;
}

// A record's raw bytes.
template <typename T>
sim::Bytes bytesOf(const T& record) {
  const auto* p = reinterpret_cast<const uint8_t*>(&record);
  return sim::Bytes(p, p + sizeof record);
}
