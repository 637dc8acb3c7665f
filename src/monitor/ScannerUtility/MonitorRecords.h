#pragma once
// The push-scan monitor's own records and command codes: the command block, the status block,
// one entry of the scanner's PC list, the reply to the event read and the clock data.
//
// They travel as raw bytes, little-endian, in natural x86-64 layout; reserved bytes are 0. The
// command and status blocks have the layouts of the remote-setup program's, but the monitor keeps
// its own copies (it shares no code with that program), in the namespace `monitor` so that a
// program that sees both (the simulator) keeps them apart.
//
// The monitor's commands (every one answered by the 32-byte status block):
//
//   operation            opcode       class                   qualifier                 length  data
//   PC-list capacity     FOP_READ     FCLC_RS_PCLIST 0x9D     FCLD_RS_PCLIST_MAX_COUNT 3   4     uint32 in
//   PC-list count        FOP_READ     FCLC_RS_PCLIST          FCLD_RS_PCLIST_CUR_COUNT 4   4     uint32 in
//   add this computer    FOP_WRITE    FCLC_RS_PCLIST          FCLD_RS_PCLIST_ADD 1         316   entry out
//   remove it            FOP_WRITE    FCLC_RS_PCLIST          FCLD_RS_PCLIST_REMOVE 2      316   entry out
//   the whole list       FOP_READ     FCLC_RS_PCLIST          FCLD_RS_PCLIST_ALL 5   count x 316  entries in
//   event read           FOP_READ     FCLC_RS_EVENT_CHECKING  60 network / 0 USB           64    event in
//   event clear          FOP_COMMAND  FCLC_RS_EVENT_CHECKING  0                            60    none
//   clock                FOP_WRITE    FCLC_SYSTEM_TIME 0x66   FCLD_SYSTEM_TIME_UTC 1       36    clock out

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace monitor {

constexpr uint32_t FCL_VENDOR_ID = 0x231;

enum : uint8_t {
  FOP_COMMAND = 0x14,  // command, status
  FOP_READ = 0x28,     // command, status, data from the scanner
  FOP_WRITE = 0x2A,    // command, status, data to the scanner
};

enum : uint8_t {
  FCLC_SYSTEM_TIME = 0x66,
  FCLC_RS_PCLIST = 0x9D,
  FCLC_RS_EVENT_CHECKING = 0xA0,
};

enum : uint16_t {
  FCLD_RS_PCLIST_ADD = 1,
  FCLD_RS_PCLIST_REMOVE = 2,
  FCLD_RS_PCLIST_MAX_COUNT = 3,
  FCLD_RS_PCLIST_CUR_COUNT = 4,
  FCLD_RS_PCLIST_ALL = 5,
};

enum : uint16_t {
  FCLD_SYSTEM_TIME_UTC = 1,
};

// The event read's qualifier: 60 over a network connection, 0 over USB. The clear always uses 0
// with a length of 60.
constexpr uint16_t kEventQualifierNetwork = 60;
constexpr uint16_t kEventQualifierUSB = 0;
constexpr uint32_t kEventClearLength = 60;

// dwEventType of a scan-button press addressed to the computer named in the event.
constexpr uint32_t kEventTypeScanToPC = 2;

// The 16-byte command block.
struct FCL_CMD {
  uint32_t dwVendorID;  // always FCL_VENDOR_ID
  uint8_t byOPCode;
  uint8_t byReserve1;
  uint8_t byDTC;
  uint8_t byReserve2;
  uint16_t wDTQ;
  uint8_t byReserve3[2];
  uint32_t dwDataLength;
};
static_assert(sizeof(FCL_CMD) == 16);
static_assert(offsetof(FCL_CMD, dwVendorID) == 0);
static_assert(offsetof(FCL_CMD, byOPCode) == 4);
static_assert(offsetof(FCL_CMD, byReserve1) == 5);
static_assert(offsetof(FCL_CMD, byDTC) == 6);
static_assert(offsetof(FCL_CMD, byReserve2) == 7);
static_assert(offsetof(FCL_CMD, wDTQ) == 8);
static_assert(offsetof(FCL_CMD, byReserve3) == 10);
static_assert(offsetof(FCL_CMD, dwDataLength) == 12);

// The 32-byte status block that answers every command.
struct FCL_DEVICE_STATUS {
  uint32_t dwLastErr;
  uint16_t wFWInfo;
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
static_assert(offsetof(FCL_DEVICE_STATUS, byButtonStatus) == 15);
static_assert(offsetof(FCL_DEVICE_STATUS, byFWDebug) == 16);

// One entry of the scanner's PC list.
struct FCL_RS_PCLIST {
  char szPCName[256];     // the computer's host name (network) or "USB"; NUL-terminated
  char szPCUUID[40];      // the computer's identifier, or the nil UUID for USB; NUL-terminated
  char szReserved[16];    // zero
  uint32_t dwConnectType; // 1 network, 0 USB
};
static_assert(sizeof(FCL_RS_PCLIST) == 316);
static_assert(offsetof(FCL_RS_PCLIST, szPCName) == 0);
static_assert(offsetof(FCL_RS_PCLIST, szPCUUID) == 256);
static_assert(offsetof(FCL_RS_PCLIST, szReserved) == 296);
static_assert(offsetof(FCL_RS_PCLIST, dwConnectType) == 312);
static_assert(std::has_unique_object_representations_v<FCL_RS_PCLIST>);

constexpr uint32_t kConnectTypeUSB = 0;
constexpr uint32_t kConnectTypeNetwork = 1;
// The identifier every computer attached by USB uses.
constexpr const char* kNilPCUUID = "00000000-0000-0000-0000-000000000000";
// The PC list's entries are never asked for beyond this many, whatever the scanner says.
constexpr uint32_t kMaxPCListEntries = 1024;

// The 64-byte reply to the event read.
struct FCL_RS_EVENT_INFO {
  uint32_t dwEventType;         // kEventTypeScanToPC: a scan for the computer in szPCUUID
  char szShortCutString[9];     // the button's shortcut text; NUL-terminated when shorter than 9
  char szPCUUID[36];            // the computer the scan is for, 36 characters without terminator
  uint8_t byReserved[15];
};
static_assert(sizeof(FCL_RS_EVENT_INFO) == 64);
static_assert(offsetof(FCL_RS_EVENT_INFO, dwEventType) == 0);
static_assert(offsetof(FCL_RS_EVENT_INFO, szShortCutString) == 4);
static_assert(offsetof(FCL_RS_EVENT_INFO, szPCUUID) == 13);
static_assert(offsetof(FCL_RS_EVENT_INFO, byReserved) == 49);

// The clock data: the computer's local time broken down, nine signed 32-bit values.
struct FCL_SYSTEM_TIME_UTC_DATA {
  int32_t tm_sec;
  int32_t tm_min;
  int32_t tm_hour;
  int32_t tm_mday;   // 1-31
  int32_t tm_mon;    // 0-11
  int32_t tm_year;   // years since 1900
  int32_t tm_wday;   // 0 = Sunday
  int32_t tm_yday;   // 0-365
  int32_t tm_isdst;  // positive, 0 or negative
};
static_assert(sizeof(FCL_SYSTEM_TIME_UTC_DATA) == 36);
static_assert(offsetof(FCL_SYSTEM_TIME_UTC_DATA, tm_sec) == 0);
static_assert(offsetof(FCL_SYSTEM_TIME_UTC_DATA, tm_year) == 20);
static_assert(offsetof(FCL_SYSTEM_TIME_UTC_DATA, tm_isdst) == 32);

}  // namespace monitor
