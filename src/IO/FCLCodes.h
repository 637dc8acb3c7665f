#pragma once
// Command classes (FCL_VENDOR_CMD::byDTC) and qualifiers (FCL_VENDOR_CMD::wDTQ) of the scanner's
// vendor commands that IOWrapper sends, and the non-volatile memory locations it reads.
//
// Which opcode, class, qualifier and length each IOWrapper operation uses:
//
//   class                        qualifier                               opcode  length
//   FCLC_CAPABILITY       0x01   FCLD_CAPABILITY_ALL                  1  R       72
//   FCLC_DEVICE_STATUS    0x02   0                                       I       0
//   FCLC_NVRAM            0x10   byte offset in NVRAM (FCL_NVRAM_*)      R / W   as asked
//   FCLC_LAMP             0x14   FCLD_LAMP_CRG1 2, _CRG2_SET 5, _CRG2_CLEAR 6   R / W   16
//   FCLC_LANGUAGE         0x31   FCLD_LANGUAGE                        7  R / W   1
//   FCLC_SYSTEM_TIME      0x66   FCLD_SYSTEM_TIME_PC                  0  W       56
//   FCLC_RS_SCANNER_LOCK  0x98   _LOCK_UUID 0 (R), _LOCK 1 (W), _UNLOCK 2 (W)    40
//   FCLC_RS_PARAM         0x9A   FCLD_RS_PARAM_*                         R / W2  record size
//   FCLC_RS_ADDRESS_BOOK  0x9B   FCLD_RS_ADDRESS_BOOK_ALL             0  R / W2  114036
//   FCLC_RS_PROFILE       0x9E   FCLD_RS_PROFILE_ALL 0 (R / W2, 42900), or slot 0..24 (W, 1716)
//   FCLC_RS_NETWORK       0xA4   FCLD_RS_NETWORK_WIRED 1, _WIRELESS 2    R / W   352
//   FCLC_RS_RESET         0xA7   FCLD_RS_RESET_*                         C       0
//   FCLC_RS_FACTORY_DEFSETTING 0xA8  FCLD_RS_FACTORY_DEFSETTING       4  R       64
//   FCLC_RS_SFTP_KEY      0xA9   count 7 / 9 (R, 4), list 8 / 10 (R, count x 72)
//
// The device errors (FCLE_*) and device states (FCL_FWINFO_*) of the status block are declared with
// it in FCLCommand.h.

#include <cstdint>

// ---- Command classes ---------------------------------------------------------------------------
enum : uint8_t {
  FCLC_CAPABILITY = 0x01,
  FCLC_DEVICE_STATUS = 0x02,
  FCLC_NVRAM = 0x10,
  FCLC_LAMP = 0x14,
  FCLC_LANGUAGE = 0x31,
  FCLC_SYSTEM_TIME = 0x66,
  FCLC_RS_SCANNER_LOCK = 0x98,
  FCLC_RS_PARAM = 0x9A,
  FCLC_RS_ADDRESS_BOOK = 0x9B,
  FCLC_RS_PROFILE = 0x9E,
  FCLC_RS_NETWORK = 0xA4,
  FCLC_RS_RESET = 0xA7,
  FCLC_RS_FACTORY_DEFSETTING = 0xA8,
  FCLC_RS_SFTP_KEY = 0xA9,
};

// ---- Qualifiers, by class ----------------------------------------------------------------------
// FCLC_DEVICE_STATUS takes qualifier 0; FCLC_NVRAM takes the byte offset to read or write.

// FCLC_CAPABILITY
enum : uint16_t {
  FCLD_CAPABILITY_ALL = 1,
};

// FCLC_LAMP
enum : uint16_t {
  FCLD_LAMP_CRG1 = 2,
  FCLD_LAMP_CRG2_SET = 5,    // second write when the auto power-off time is not 0
  FCLD_LAMP_CRG2_CLEAR = 6,  // second write when it is 0
};

// FCLC_LANGUAGE
enum : uint16_t {
  FCLD_LANGUAGE = 7,
};

// FCLC_SYSTEM_TIME
enum : uint16_t {
  FCLD_SYSTEM_TIME_PC = 0,
};

// FCLC_RS_SCANNER_LOCK
enum : uint16_t {
  FCLD_RS_SCANNER_LOCK_UUID = 0,  // read the lock text the scanner holds
  FCLD_RS_SCANNER_LOCK = 1,
  FCLD_RS_SCANNER_UNLOCK = 2,
};

// FCLC_RS_PARAM
enum : uint16_t {
  FCLD_RS_PARAM_ALL = 1,
  FCLD_RS_PARAM_GENERAL = 2,
  FCLD_RS_PARAM_FILENAME = 4,
  FCLD_RS_PARAM_SCAN2USB = 5,
  FCLD_RS_PARAM_SCAN2EMAIL = 6,
  FCLD_RS_PARAM_SCAN2PC = 7,
  FCLD_RS_PARAM_EMAIL = 10,
  FCLD_RS_PARAM_NETSETTING = 11,
};

// FCLC_RS_ADDRESS_BOOK
enum : uint16_t {
  FCLD_RS_ADDRESS_BOOK_ALL = 0,
};

// FCLC_RS_PROFILE: the whole list, or one profile slot 0..24 as the qualifier.
enum : uint16_t {
  FCLD_RS_PROFILE_ALL = 0,
};

// FCLC_RS_NETWORK
enum : uint16_t {
  FCLD_RS_NETWORK_WIRED = 1,
  FCLD_RS_NETWORK_WIRELESS = 2,
};

// FCLC_RS_RESET
enum : uint16_t {
  FCLD_RS_RESET_FACTORY = 5,
  FCLD_RS_RESET_SCHEDULED_MAINTENANCE = 6,
  FCLD_RS_RESET_PICKUP_ROLLER = 7,
  FCLD_RS_RESET_FILENAME_COUNTER = 8,
};

// FCLC_RS_FACTORY_DEFSETTING
enum : uint16_t {
  FCLD_RS_FACTORY_DEFSETTING = 4,
};

// FCLC_RS_SFTP_KEY
enum : uint16_t {
  FCLD_RS_SFTP_CLIENT_KEY_COUNT = 7,
  FCLD_RS_SFTP_CLIENT_KEY_LIST = 8,
  FCLD_RS_SFTP_SERVER_KEY_COUNT = 9,
  FCLD_RS_SFTP_SERVER_KEY_LIST = 10,
};

// ---- Non-volatile memory locations (FCLC_NVRAM qualifier and length) ---------------------------
struct FCL_NVRAM_AREA {
  uint16_t wOffset;
  uint32_t dwLength;
};
constexpr FCL_NVRAM_AREA FCL_NVRAM_SCAN_COUNT{0, 4};
constexpr FCL_NVRAM_AREA FCL_NVRAM_SERIAL_NUMBER{25, 14};        // text
constexpr FCL_NVRAM_AREA FCL_NVRAM_ROLLER_REPLACE_VAL{60, 4};    // pick-up roller interval
constexpr FCL_NVRAM_AREA FCL_NVRAM_COUNT_AT_CLEAN{64, 4};
constexpr FCL_NVRAM_AREA FCL_NVRAM_COUNT_AT_ROLLER{68, 4};
constexpr FCL_NVRAM_AREA FCL_NVRAM_VENDOR_STRING{104, 24};       // identifying text (serial shown)
constexpr FCL_NVRAM_AREA FCL_NVRAM_MAINT_CLEAN_VAL{162, 2};      // scheduled cleaning interval
