#pragma once
// The scanner's records outside the settings block: address book, scan profiles, lamp (power)
// times, capability and version record, machine counters, factory defaults, SFTP key-list entry,
// and the two records this computer sends of its own: its clock and the lock text.
//
// Same rules as the settings block (FCLSettings.h): little-endian, natural x86-64 layout, padding
// declared as explicit byPadding* members and carried as read, every size and offset pinned by a
// static_assert. The address book, the profiles and the lamp record are also part of the settings
// export file.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "IO/FCLSettings.h"

// ---- Address book ------------------------------------------------------------------------------
constexpr int FCL_ADDRESS_BOOK_NODE_COUNT = 300;  // groups and contacts share indices 1..300

// dwNodeType values.
constexpr uint32_t FCL_NODE_TYPE_EMPTY = 0;
constexpr uint32_t FCL_NODE_TYPE_GROUP_FIRST = 1;  // a group: its number, 1..20
constexpr uint32_t FCL_NODE_TYPE_GROUP_LAST = 20;
constexpr uint32_t FCL_NODE_TYPE_CONTACT = 21;

struct FCL_RS_ADDRESS_BOOK_NODE {
  uint32_t dwNodeType;      // FCL_NODE_TYPE_*
  uint32_t dwGroupMask;     // bit n-1 set: member of group n
  char szNodeName[96];
  char szEmailAddress[256];
  uint32_t dwRefIdx;
  uint32_t dwIsInShortcut;  // 1: used by a shortcut on the scanner's panel
  uint8_t byReserved1[12];
};
static_assert(sizeof(FCL_RS_ADDRESS_BOOK_NODE) == 380);
static_assert(alignof(FCL_RS_ADDRESS_BOOK_NODE) == 4);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, dwNodeType) == 0);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, dwGroupMask) == 4);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, szNodeName) == 8);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, szEmailAddress) == 104);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, dwRefIdx) == 360);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, dwIsInShortcut) == 364);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK_NODE, byReserved1) == 368);

struct FCL_RS_ADDRESS_BOOK {
  char szIdentificator[36];  // the book's identifier as the scanner gives it; written back as read
  FCL_RS_ADDRESS_BOOK_NODE sNode[FCL_ADDRESS_BOOK_NODE_COUNT];  // slot i at 36 + 380 * i
};
static_assert(sizeof(FCL_RS_ADDRESS_BOOK) == 114036);
static_assert(alignof(FCL_RS_ADDRESS_BOOK) == 4);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK, szIdentificator) == 0);
static_assert(offsetof(FCL_RS_ADDRESS_BOOK, sNode) == 36);

// ---- Scan profiles -----------------------------------------------------------------------------
constexpr int FCL_PROFILE_COUNT = 25;  // slots 0..24

// dwProfileType values.
constexpr uint32_t FCL_PROFILE_TYPE_SHARE_FOLDER = 0;
constexpr uint32_t FCL_PROFILE_TYPE_FTP = 1;
constexpr uint32_t FCL_PROFILE_TYPE_SFTP = 2;

// The *UTF16 fields hold UTF-8 text like every other char field.
struct FCL_RS_PROFILE_FTP_SETTING {
  char szHost[128];
  uint16_t wPort;
  uint8_t byReserved1[2];
  char szUsername[64];
  char szPassword[64];
  char szRemoteDirectoryUTF16[256];
  uint8_t byPassiveMode;
  uint8_t byReserved2[27];
};
static_assert(sizeof(FCL_RS_PROFILE_FTP_SETTING) == 544);
static_assert(alignof(FCL_RS_PROFILE_FTP_SETTING) == 2);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, szHost) == 0);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, wPort) == 128);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, byReserved1) == 130);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, szUsername) == 132);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, szPassword) == 196);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, szRemoteDirectoryUTF16) == 260);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, byPassiveMode) == 516);
static_assert(offsetof(FCL_RS_PROFILE_FTP_SETTING, byReserved2) == 517);

struct FCL_RS_PROFILE_SFTP_SETTING {
  char szHost[128];
  uint16_t wPort;
  uint8_t byReserved1[2];
  uint8_t byAuthMethod;
  uint8_t byReserved2[3];
  char szUsername[64];
  char szPassword[64];
  uint16_t wClientKeyPairIndex;
  uint16_t wSeverPublicKeyIndex;
  char szRemoteDirectoryUTF16[256];
  uint8_t byReserved3[20];
};
static_assert(sizeof(FCL_RS_PROFILE_SFTP_SETTING) == 544);
static_assert(alignof(FCL_RS_PROFILE_SFTP_SETTING) == 2);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, szHost) == 0);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, wPort) == 128);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, byReserved1) == 130);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, byAuthMethod) == 132);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, byReserved2) == 133);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, szUsername) == 136);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, szPassword) == 200);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, wClientKeyPairIndex) == 264);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, wSeverPublicKeyIndex) == 266);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, szRemoteDirectoryUTF16) == 268);
static_assert(offsetof(FCL_RS_PROFILE_SFTP_SETTING, byReserved3) == 524);

struct FCL_RS_PROFILE_SHARE_FOLDER_SETTING {
  char szShareFolderUTF16[320];
  uint8_t byAuthMethod;
  uint8_t byReserved1[3];
  char szUsername[64];
  char szPassword[64];
  uint8_t byEnablePINCode;
  uint8_t byReserved2[3];
  char szPINCode[4];
  uint8_t byReserved3[52];
};
static_assert(sizeof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING) == 512);
static_assert(alignof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING) == 1);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szShareFolderUTF16) == 0);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byAuthMethod) == 320);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved1) == 321);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szUsername) == 324);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szPassword) == 388);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byEnablePINCode) == 452);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved2) == 453);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szPINCode) == 456);
static_assert(offsetof(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved3) == 460);

struct FCL_RS_PROFILE {
  uint32_t dwFW_DebugField1;
  uint32_t dwFW_DebugField2;
  uint32_t dwStructVersion;
  uint32_t dwProfileType;  // FCL_PROFILE_TYPE_*
  uint8_t byTestNetwork;
  uint8_t byReserved1[3];
  char szProfileName[32];
  FCL_RS_PROFILE_FTP_SETTING sFTPSetting;
  FCL_RS_PROFILE_SFTP_SETTING sSFTPSetting;
  FCL_RS_PROFILE_SHARE_FOLDER_SETTING sShareFolderSetting;
  FCL_RS_PARAM_SCANPROFILE sScan2Network;
};
static_assert(sizeof(FCL_RS_PROFILE) == 1716);
static_assert(alignof(FCL_RS_PROFILE) == 4);
static_assert(offsetof(FCL_RS_PROFILE, dwFW_DebugField1) == 0);
static_assert(offsetof(FCL_RS_PROFILE, dwFW_DebugField2) == 4);
static_assert(offsetof(FCL_RS_PROFILE, dwStructVersion) == 8);
static_assert(offsetof(FCL_RS_PROFILE, dwProfileType) == 12);
static_assert(offsetof(FCL_RS_PROFILE, byTestNetwork) == 16);
static_assert(offsetof(FCL_RS_PROFILE, byReserved1) == 17);
static_assert(offsetof(FCL_RS_PROFILE, szProfileName) == 20);
static_assert(offsetof(FCL_RS_PROFILE, sFTPSetting) == 52);
static_assert(offsetof(FCL_RS_PROFILE, sSFTPSetting) == 596);
static_assert(offsetof(FCL_RS_PROFILE, sShareFolderSetting) == 1140);
static_assert(offsetof(FCL_RS_PROFILE, sScan2Network) == 1652);

struct FCL_RS_PROFILE_ALL {
  FCL_RS_PROFILE sProfile[FCL_PROFILE_COUNT];  // slot i at 1716 * i
};
static_assert(sizeof(FCL_RS_PROFILE_ALL) == 42900);
static_assert(alignof(FCL_RS_PROFILE_ALL) == 4);
static_assert(offsetof(FCL_RS_PROFILE_ALL, sProfile) == 0);

// ---- Lamp (power) times ------------------------------------------------------------------------
// Only dwCrg1Lamp2 and dwCrg2Lamp2 are read from the scanner; the other two words stay as the
// caller holds them (0 in every record this system builds) and are written back unchanged.
struct FCL_LAMP_STATE {
  uint32_t dwCrg1Lamp1;
  uint32_t dwCrg1Lamp2;  // sleep time, minutes
  uint32_t dwCrg2Lamp1;
  uint32_t dwCrg2Lamp2;  // auto power-off time, minutes; 0 = off
};
static_assert(sizeof(FCL_LAMP_STATE) == 16);
static_assert(alignof(FCL_LAMP_STATE) == 4);
static_assert(offsetof(FCL_LAMP_STATE, dwCrg1Lamp1) == 0);
static_assert(offsetof(FCL_LAMP_STATE, dwCrg1Lamp2) == 4);
static_assert(offsetof(FCL_LAMP_STATE, dwCrg2Lamp1) == 8);
static_assert(offsetof(FCL_LAMP_STATE, dwCrg2Lamp2) == 12);

// ---- Capability and version record -------------------------------------------------------------
struct FCL_CAP_HALVERN {
  uint32_t dwModule_Platform;
  uint32_t dwBuildStage;
  uint32_t dwVers_LowLevelBoot;
  uint32_t dwVers_UBoot;
  uint32_t dwVers_Kernel;
  uint32_t dwVers_RootFileSystem;
  uint32_t dwVers_FW;
  uint32_t dwVers_Panel;
  uint32_t dwVers_FW_FCL_CmdDef;
  uint32_t dwVers_FW_FCL_StructDef;
  uint32_t dwVers_FW_FlashTable;
  uint32_t dwDescriptLength;
  uint32_t dwVers_FPGA;
  uint32_t dwReserved[5];
};
static_assert(sizeof(FCL_CAP_HALVERN) == 72);
static_assert(alignof(FCL_CAP_HALVERN) == 4);
static_assert(offsetof(FCL_CAP_HALVERN, dwModule_Platform) == 0);
static_assert(offsetof(FCL_CAP_HALVERN, dwBuildStage) == 4);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_LowLevelBoot) == 8);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_UBoot) == 12);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_Kernel) == 16);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_RootFileSystem) == 20);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_FW) == 24);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_Panel) == 28);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_FW_FCL_CmdDef) == 32);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_FW_FCL_StructDef) == 36);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_FW_FlashTable) == 40);
static_assert(offsetof(FCL_CAP_HALVERN, dwDescriptLength) == 44);
static_assert(offsetof(FCL_CAP_HALVERN, dwVers_FPGA) == 48);
static_assert(offsetof(FCL_CAP_HALVERN, dwReserved) == 52);

// ---- Machine counters --------------------------------------------------------------------------
// Assembled by IOWrapper::getMachineInfo from five NVRAM reads (FCL_NVRAM_* in FCLCodes.h);
// no command moves this record itself.
struct FCL_RS_MACHINE_INFO {
  uint32_t dwScanCount;         // NVRAM 0, 4 bytes
  uint32_t dwCountAtClean;      // NVRAM 64, 4 bytes
  uint32_t dwMaintCleanVal;     // NVRAM 162, 2 bytes (upper 16 bits 0)
  uint32_t dwCountAtRoller;     // NVRAM 68, 4 bytes
  uint32_t dwRollerReplaceVal;  // NVRAM 60, 4 bytes
};
static_assert(sizeof(FCL_RS_MACHINE_INFO) == 20);
static_assert(alignof(FCL_RS_MACHINE_INFO) == 4);
static_assert(offsetof(FCL_RS_MACHINE_INFO, dwScanCount) == 0);
static_assert(offsetof(FCL_RS_MACHINE_INFO, dwCountAtClean) == 4);
static_assert(offsetof(FCL_RS_MACHINE_INFO, dwMaintCleanVal) == 8);
static_assert(offsetof(FCL_RS_MACHINE_INFO, dwCountAtRoller) == 12);
static_assert(offsetof(FCL_RS_MACHINE_INFO, dwRollerReplaceVal) == 16);

// ---- Factory defaults --------------------------------------------------------------------------
struct FCL_RS_FACTORY_DEFSETTING {
  uint32_t dwReserved1;
  uint32_t dwReserved2;
  uint32_t dwCountryCode;
  uint32_t dwDefAutoOffTime;
  uint32_t dwDefSleepTime;
  uint32_t dwDefTimeStyle;
  uint32_t dwDefClockStyle;
  uint32_t dwDefAutoDaylight;
  uint32_t dwDefScanSize;
  int32_t dwDefTimeZone;  // signed despite its name
  uint64_t u64PanelLangCap;
  uint32_t dwDefPanelLang;
  FCL_SCAN_EDGE_INFO sEdgeCorrection;
};
static_assert(sizeof(FCL_RS_FACTORY_DEFSETTING) == 64);
static_assert(alignof(FCL_RS_FACTORY_DEFSETTING) == 8);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwReserved1) == 0);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwReserved2) == 4);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwCountryCode) == 8);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefAutoOffTime) == 12);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefSleepTime) == 16);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefTimeStyle) == 20);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefClockStyle) == 24);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefAutoDaylight) == 28);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefScanSize) == 32);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefTimeZone) == 36);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, u64PanelLangCap) == 40);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, dwDefPanelLang) == 48);
static_assert(offsetof(FCL_RS_FACTORY_DEFSETTING, sEdgeCorrection) == 52);

// ---- SFTP key-list entry -----------------------------------------------------------------------
// One entry of the client key-pair list or the server public-key list. Only the name is used: the
// bytes up to the first NUL within the 72 (all 72 when there is none); bytes after it are ignored.
struct FCL_RS_SFTP_KEY_ENTRY {
  char szKeyName[72];
};
static_assert(sizeof(FCL_RS_SFTP_KEY_ENTRY) == 72);
static_assert(alignof(FCL_RS_SFTP_KEY_ENTRY) == 1);
static_assert(offsetof(FCL_RS_SFTP_KEY_ENTRY, szKeyName) == 0);

// ---- PC clock ----------------------------------------------------------------------------------
// This computer's local time in the layout of a broken-down time (struct tm on x86-64), sent by
// IOWrapper::setPCTime. Built field by field (makePCTime in FCLRecords.h), never copied from the
// host's struct tm: the last 8 bytes, where the host keeps a pointer to its zone abbreviation, mean
// nothing to the scanner and are always sent as 0, as is the padding.
struct FCL_PC_TIME {
  int32_t tm_sec;    // 0..60
  int32_t tm_min;    // 0..59
  int32_t tm_hour;   // 0..23
  int32_t tm_mday;   // 1..31
  int32_t tm_mon;    // months since January, 0..11
  int32_t tm_year;   // years since 1900
  int32_t tm_wday;   // days since Sunday, 0..6
  int32_t tm_yday;   // days since 1 January, 0..365
  int32_t tm_isdst;  // 1 while daylight-saving time is in effect, else 0
  uint8_t byPadding[4];
  int64_t tm_gmtoff;  // offset from UTC in seconds, east positive
  uint64_t tm_zone;   // always 0
};
static_assert(sizeof(FCL_PC_TIME) == 56);
static_assert(alignof(FCL_PC_TIME) == 8);
static_assert(offsetof(FCL_PC_TIME, tm_sec) == 0);
static_assert(offsetof(FCL_PC_TIME, tm_min) == 4);
static_assert(offsetof(FCL_PC_TIME, tm_hour) == 8);
static_assert(offsetof(FCL_PC_TIME, tm_mday) == 12);
static_assert(offsetof(FCL_PC_TIME, tm_mon) == 16);
static_assert(offsetof(FCL_PC_TIME, tm_year) == 20);
static_assert(offsetof(FCL_PC_TIME, tm_wday) == 24);
static_assert(offsetof(FCL_PC_TIME, tm_yday) == 28);
static_assert(offsetof(FCL_PC_TIME, tm_isdst) == 32);
static_assert(offsetof(FCL_PC_TIME, byPadding) == 36);
static_assert(offsetof(FCL_PC_TIME, tm_gmtoff) == 40);
static_assert(offsetof(FCL_PC_TIME, tm_zone) == 48);

// ---- Lock text ---------------------------------------------------------------------------------
// A UUID's 36-character upper-case text followed by 4 NUL bytes. The same 40 bytes take and
// release the lock and are compared with the 40 bytes the scanner reports (makeLockText and
// sameLockText in FCLRecords.h).
constexpr std::size_t FCL_UUID_TEXT_LENGTH = 36;

struct FCL_LOCK_TEXT {
  char szUUID[40];
};
static_assert(sizeof(FCL_LOCK_TEXT) == 40);
static_assert(alignof(FCL_LOCK_TEXT) == 1);
static_assert(offsetof(FCL_LOCK_TEXT, szUUID) == 0);

// No hidden padding in any record: each is exactly its wire bytes.
static_assert(std::has_unique_object_representations_v<FCL_RS_ADDRESS_BOOK>);
static_assert(std::has_unique_object_representations_v<FCL_RS_PROFILE_ALL>);
static_assert(std::has_unique_object_representations_v<FCL_LAMP_STATE>);
static_assert(std::has_unique_object_representations_v<FCL_CAP_HALVERN>);
static_assert(std::has_unique_object_representations_v<FCL_RS_MACHINE_INFO>);
static_assert(std::has_unique_object_representations_v<FCL_RS_FACTORY_DEFSETTING>);
static_assert(std::has_unique_object_representations_v<FCL_RS_SFTP_KEY_ENTRY>);
static_assert(std::has_unique_object_representations_v<FCL_PC_TIME>);
static_assert(std::has_unique_object_representations_v<FCL_LOCK_TEXT>);
