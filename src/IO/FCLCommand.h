#pragma once
// The command block and status block of every scanner exchange, and the opcodes that fix the
// order of an exchange's phases:
//
//   FOP_INQUIRY 0x12  command, status
//   FOP_COMMAND 0x14  command, status                 (dwDataLength is a parameter only)
//   FOP_READ    0x28  command, status, data from the scanner
//   FOP_WRITE   0x2A  command, status, data to the scanner
//   FOP_WRITE2  0x2B  command, data to the scanner, status
//
// Both blocks travel as raw bytes, little-endian, natural x86-64 layout; reserved bytes are 0.

#include <cstddef>
#include <cstdint>

constexpr uint32_t FCL_VENDOR_ID = 0x231;

enum : uint8_t {
  FOP_INQUIRY = 0x12,
  FOP_COMMAND = 0x14,
  FOP_READ = 0x28,
  FOP_WRITE = 0x2A,
  FOP_WRITE2 = 0x2B,
};

// ---- Device errors (FCL_DEVICE_STATUS::dwLastErr) ----------------------------------------------
// 0 is none. The pending device conditions have names of their own; a jam and a cancelled scan
// each come as one of two codes.
constexpr uint32_t FCLE_MISFEED = 0x2001;
constexpr uint32_t FCLE_PAPER_JAM = 0x2002;
constexpr uint32_t FCLE_PAPER_JAM_2 = 0x2003;
constexpr uint32_t FCLE_MULTI_FEED = 0x2004;
constexpr uint32_t FCLE_HATCH_OPEN = 0x2009;
constexpr uint32_t FCLE_SCAN_CANCELLED = 0x4001;
constexpr uint32_t FCLE_SCAN_CANCELLED_2 = 0x4002;
constexpr uint32_t FCLE_FW_REJECT_RS = 0x7007;  // the device refuses remote setup

// ---- Device states (FCL_DEVICE_STATUS::wFWInfo) ------------------------------------------------
// Any other value is a state this system has no name for.
constexpr uint16_t FCL_FWINFO_READY = 0;
constexpr uint16_t FCL_FWINFO_INITIALIZING = 1;
constexpr uint16_t FCL_FWINFO_PROCESSING = 2;
constexpr uint16_t FCL_FWINFO_PROCESSING_2 = 3;
// A computer holds the remote-setup lock: busy to every other one, and the state the holder
// expects while its main window is open.
constexpr uint16_t FCL_FWINFO_LOCKED = 4;
constexpr uint16_t FCL_FWINFO_SLEEP = 5;
constexpr uint16_t FCL_FWINFO_UPDATE = 7;
constexpr uint16_t FCL_FWINFO_AUTO_START_SCAN = 16;

struct FCL_VENDOR_CMD {
  uint32_t dwVendorID;    // always FCL_VENDOR_ID
  uint8_t byOPCode;       // one of the FOP_* opcodes
  uint8_t byReserve1;
  uint8_t byDTC;          // command class (FCLC_*)
  uint8_t byReserve2;
  uint16_t wDTQ;          // qualifier: an FCLD_* value, an NVRAM offset or a slot index
  uint8_t byReserve3[2];
  uint32_t dwDataLength;  // length of the data phase
};
static_assert(sizeof(FCL_VENDOR_CMD) == 16);
static_assert(offsetof(FCL_VENDOR_CMD, dwVendorID) == 0);
static_assert(offsetof(FCL_VENDOR_CMD, byOPCode) == 4);
static_assert(offsetof(FCL_VENDOR_CMD, byReserve1) == 5);
static_assert(offsetof(FCL_VENDOR_CMD, byDTC) == 6);
static_assert(offsetof(FCL_VENDOR_CMD, byReserve2) == 7);
static_assert(offsetof(FCL_VENDOR_CMD, wDTQ) == 8);
static_assert(offsetof(FCL_VENDOR_CMD, byReserve3) == 10);
static_assert(offsetof(FCL_VENDOR_CMD, dwDataLength) == 12);

struct FCL_DEVICE_STATUS {
  uint32_t dwLastErr;     // 0 none, or an FCLE_* code
  uint16_t wFWInfo;       // device state, an FCL_FWINFO_* value
  uint8_t byFlowStatus;
  uint8_t byID;
  uint16_t wSensorStatus;
  uint8_t byPercentage;
  uint8_t byPlatform;
  uint8_t byReserveJobId;
  uint8_t byPanelWalkupFlag;
  uint8_t byASICVersion;
  uint8_t byButtonStatus;
  uint8_t byFWDebug[16];
};
static_assert(sizeof(FCL_DEVICE_STATUS) == 32);
static_assert(offsetof(FCL_DEVICE_STATUS, dwLastErr) == 0);
static_assert(offsetof(FCL_DEVICE_STATUS, wFWInfo) == 4);
static_assert(offsetof(FCL_DEVICE_STATUS, byFlowStatus) == 6);
static_assert(offsetof(FCL_DEVICE_STATUS, byID) == 7);
static_assert(offsetof(FCL_DEVICE_STATUS, wSensorStatus) == 8);
static_assert(offsetof(FCL_DEVICE_STATUS, byPercentage) == 10);
static_assert(offsetof(FCL_DEVICE_STATUS, byPlatform) == 11);
static_assert(offsetof(FCL_DEVICE_STATUS, byReserveJobId) == 12);
static_assert(offsetof(FCL_DEVICE_STATUS, byPanelWalkupFlag) == 13);
static_assert(offsetof(FCL_DEVICE_STATUS, byASICVersion) == 14);
static_assert(offsetof(FCL_DEVICE_STATUS, byButtonStatus) == 15);
static_assert(offsetof(FCL_DEVICE_STATUS, byFWDebug) == 16);
