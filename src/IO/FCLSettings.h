#pragma once
// The scanner's settings block, FCL_RS_PARAM_ALL, and every record inside it.
//
// The block is read whole and written back one sub-record at a time; the same bytes also make up
// part of the settings export file. The layouts are the firmware's own: little-endian, natural
// x86-64 layout (each field at a multiple of its own size). Padding that the natural layout leaves
// is declared as explicit byPadding* members, so a record's bytes are exactly its wire bytes and
// the padding travels back to the scanner as it was read. No member may be added, removed or
// reordered: the static_asserts below pin every size and offset.
//
// char[n] fields hold UTF-8 text cut to n-1 bytes and NUL-terminated (platform::textToField);
// uint8[n] fields are byte arrays carried as read.

#include <cstddef>
#include <cstdint>
#include <type_traits>

// ---- Structure version -------------------------------------------------------------------------
// dwStructVersion: major version in the high 16 bits, minor in the low 16 bits, shown as
// "major.minor" in decimal. These layouts are version 0.57; a block that reads otherwise is refused.
constexpr uint32_t FCL_RS_STRUCT_VERSION = 57;  // 0.57

constexpr uint32_t fclStructVersionMajor(uint32_t dwStructVersion) { return dwStructVersion >> 16; }
constexpr uint32_t fclStructVersionMinor(uint32_t dwStructVersion) { return dwStructVersion & 0xFFFFu; }
constexpr bool fclStructVersionSupported(uint32_t dwStructVersion) {
  return dwStructVersion == FCL_RS_STRUCT_VERSION;
}

// ---- Panel settings (inside the general record) ------------------------------------------------
struct FCL_RS_PARAM_PANEL_SETTING {
  uint8_t byBeepVolume;
  uint8_t byBacklightLevel;
  uint16_t wDimTimer;
  uint32_t dwSettingLock;
  uint64_t u64PanelLangCap;
  uint32_t dwPanelLangCur;
  uint8_t szPassword[8];  // byte array: no page edits it
  uint8_t bySFLEnable;
  uint8_t byShowScanResult;
  uint8_t byReserved[2];
};
static_assert(sizeof(FCL_RS_PARAM_PANEL_SETTING) == 32);
static_assert(alignof(FCL_RS_PARAM_PANEL_SETTING) == 8);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, byBeepVolume) == 0);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, byBacklightLevel) == 1);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, wDimTimer) == 2);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, dwSettingLock) == 4);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, u64PanelLangCap) == 8);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, dwPanelLangCur) == 16);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, szPassword) == 20);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, bySFLEnable) == 28);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, byShowScanResult) == 29);
static_assert(offsetof(FCL_RS_PARAM_PANEL_SETTING, byReserved) == 30);

// ---- Edge correction (inside the general record and the factory defaults) ----------------------
struct FCL_SCAN_EDGE_INFO {
  int16_t nTop_YOffset;
  int16_t nTop_XOffset;
  int16_t nBtm_YOffset;
  int16_t nBtm_XOffset;
  int16_t nTop_TailOffset;
  int16_t nBtm_TailOffset;
};
static_assert(sizeof(FCL_SCAN_EDGE_INFO) == 12);
static_assert(alignof(FCL_SCAN_EDGE_INFO) == 2);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nTop_YOffset) == 0);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nTop_XOffset) == 2);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nBtm_YOffset) == 4);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nBtm_XOffset) == 6);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nTop_TailOffset) == 8);
static_assert(offsetof(FCL_SCAN_EDGE_INFO, nBtm_TailOffset) == 10);

// ---- Time servers (inside the date-and-time record; no page edits them) ------------------------
struct FCL_RS_SNTP_SETTING {
  uint8_t byServerMethod;
  char szPriServerAddr[65];
  uint8_t byPadding1[2];
  uint32_t dwPriPort;
  char szSecServerAddr[65];
  uint8_t byPadding2[3];
  uint32_t dwSecPort;
  char szAutoServerAddr[65];
  uint8_t byPadding3[3];
  uint32_t dwAutoPort;
  uint32_t dwSyncInterval;
};
static_assert(sizeof(FCL_RS_SNTP_SETTING) == 220);
static_assert(alignof(FCL_RS_SNTP_SETTING) == 4);
static_assert(offsetof(FCL_RS_SNTP_SETTING, byServerMethod) == 0);
static_assert(offsetof(FCL_RS_SNTP_SETTING, szPriServerAddr) == 1);
static_assert(offsetof(FCL_RS_SNTP_SETTING, byPadding1) == 66);
static_assert(offsetof(FCL_RS_SNTP_SETTING, dwPriPort) == 68);
static_assert(offsetof(FCL_RS_SNTP_SETTING, szSecServerAddr) == 72);
static_assert(offsetof(FCL_RS_SNTP_SETTING, byPadding2) == 137);
static_assert(offsetof(FCL_RS_SNTP_SETTING, dwSecPort) == 140);
static_assert(offsetof(FCL_RS_SNTP_SETTING, szAutoServerAddr) == 144);
static_assert(offsetof(FCL_RS_SNTP_SETTING, byPadding3) == 209);
static_assert(offsetof(FCL_RS_SNTP_SETTING, dwAutoPort) == 212);
static_assert(offsetof(FCL_RS_SNTP_SETTING, dwSyncInterval) == 216);

// ---- Date and time (inside the general record) -------------------------------------------------
struct FCL_RS_PARAM_DATE_TIME {
  uint8_t bySetTimeMethod;
  uint8_t byTimeZoneNegative;
  uint8_t byEnableDST;
  uint8_t byClockType;
  uint32_t dwTimeDiffSecs;
  uint32_t dwTimeStyle;
  uint32_t dwTimeApplyDST;
  uint32_t dwTimeFromePC;
  uint32_t dwReserved[2];
  FCL_RS_SNTP_SETTING sSNTPSetting;
};
static_assert(sizeof(FCL_RS_PARAM_DATE_TIME) == 248);
static_assert(alignof(FCL_RS_PARAM_DATE_TIME) == 4);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, bySetTimeMethod) == 0);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, byTimeZoneNegative) == 1);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, byEnableDST) == 2);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, byClockType) == 3);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, dwTimeDiffSecs) == 4);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, dwTimeStyle) == 8);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, dwTimeApplyDST) == 12);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, dwTimeFromePC) == 16);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, dwReserved) == 20);
static_assert(offsetof(FCL_RS_PARAM_DATE_TIME, sSNTPSetting) == 28);

// ---- General settings (written alone, FCLD_RS_PARAM_GENERAL) ----------------------------------
struct FCL_RS_PARAM_GENERAL {
  FCL_RS_PARAM_PANEL_SETTING sPanel;
  FCL_SCAN_EDGE_INFO sEdgeCorrection;
  FCL_RS_PARAM_DATE_TIME sDateTime;
  uint8_t byAutoScan;
  uint8_t byDisableScanfromPC;
  uint8_t byGolbal_MultiDetect;
  uint8_t byScheduled_ME;
  uint8_t bySignedPDFCASelect;
  uint8_t byWIFI_EAPCASelect;
  uint8_t byLAN80211x_PCASelect;
  uint8_t byEWS_CASelect;
  char szSecurePDFPassword[8];
  uint8_t byReserved2;
  uint8_t byPadding[3];  // part of the 312 bytes written alone
};
static_assert(sizeof(FCL_RS_PARAM_GENERAL) == 312);
static_assert(alignof(FCL_RS_PARAM_GENERAL) == 8);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, sPanel) == 0);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, sEdgeCorrection) == 32);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, sDateTime) == 44);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byAutoScan) == 292);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byDisableScanfromPC) == 293);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byGolbal_MultiDetect) == 294);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byScheduled_ME) == 295);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, bySignedPDFCASelect) == 296);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byWIFI_EAPCASelect) == 297);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byLAN80211x_PCASelect) == 298);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byEWS_CASelect) == 299);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, szSecurePDFPassword) == 300);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byReserved2) == 308);
static_assert(offsetof(FCL_RS_PARAM_GENERAL, byPadding) == 309);

// ---- Scan file name (written alone, FCLD_RS_PARAM_FILENAME) ------------------------------------
struct FCL_RS_PARAM_FILENAME {
  uint8_t byFormat;
  uint8_t byExceptionHandling;
  uint8_t byReserved1[2];
  char szName[32];
  uint8_t byDateTime;
  uint8_t byCountType;
  uint8_t byCountDigit;
  uint8_t byReserved2[1];
  uint32_t dwCountInitValue;
  uint32_t dwBALLScanCount;
  uint8_t byReserved3[4];
};
static_assert(sizeof(FCL_RS_PARAM_FILENAME) == 52);
static_assert(alignof(FCL_RS_PARAM_FILENAME) == 4);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byFormat) == 0);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byExceptionHandling) == 1);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byReserved1) == 2);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, szName) == 4);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byDateTime) == 36);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byCountType) == 37);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byCountDigit) == 38);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byReserved2) == 39);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, dwCountInitValue) == 40);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, dwBALLScanCount) == 44);
static_assert(offsetof(FCL_RS_PARAM_FILENAME, byReserved3) == 48);

// ---- Scan options of one destination (scan to USB, e-mail, PC; every scan profile) -------------
struct FCL_RS_PARAM_SCANPROFILE {
  uint8_t byScanType;
  uint8_t byReserved1[3];
  uint8_t byFileType_BW;
  uint8_t byFileType_Gray;
  uint8_t byFileType_Color;
  uint8_t byFileType_Auto;
  uint8_t byFileSize_Gray;
  uint8_t byFileSize_Color;
  uint8_t byFileSize_Auto;
  uint8_t byReserved2[1];
  uint16_t wResolution_BW;
  uint16_t wResolution_Gray;
  uint16_t wResolution_Color;
  uint16_t wResolution_Auto;
  uint8_t byReserved3[3];
  uint8_t byDocumentSize;
  uint32_t dwPaperWidth;
  uint32_t dwPaperHeight;
  int8_t byMarginLeft;
  int8_t byMarginTop;
  int8_t byMarginRight;
  int8_t byMarginBottom;
  uint8_t byAutoDeskew;
  uint8_t bySkipBlankPage;
  uint8_t byDuplexScan;
  uint8_t byMultifeedDetection;
  uint8_t byContinuousScan;
  uint8_t byReserved4[3];
  int8_t byAutoColorDetectSensitivity;
  int8_t bySkipBlankPageSensitivity;
  int8_t byBrightness;
  int8_t byContrast;
  uint8_t byReserved5[16];
};
static_assert(sizeof(FCL_RS_PARAM_SCANPROFILE) == 64);
static_assert(alignof(FCL_RS_PARAM_SCANPROFILE) == 4);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byScanType) == 0);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byReserved1) == 1);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileType_BW) == 4);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileType_Gray) == 5);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileType_Color) == 6);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileType_Auto) == 7);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileSize_Gray) == 8);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileSize_Color) == 9);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byFileSize_Auto) == 10);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byReserved2) == 11);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, wResolution_BW) == 12);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, wResolution_Gray) == 14);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, wResolution_Color) == 16);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, wResolution_Auto) == 18);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byReserved3) == 20);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byDocumentSize) == 23);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, dwPaperWidth) == 24);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, dwPaperHeight) == 28);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byMarginLeft) == 32);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byMarginTop) == 33);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byMarginRight) == 34);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byMarginBottom) == 35);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byAutoDeskew) == 36);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, bySkipBlankPage) == 37);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byDuplexScan) == 38);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byMultifeedDetection) == 39);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byContinuousScan) == 40);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byReserved4) == 41);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byAutoColorDetectSensitivity) == 44);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, bySkipBlankPageSensitivity) == 45);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byBrightness) == 46);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byContrast) == 47);
static_assert(offsetof(FCL_RS_PARAM_SCANPROFILE, byReserved5) == 48);

// ---- Network services and interface choice (written alone, network model only) ----------------
struct FCL_RS_PARAM_NETWORK_SETTING {
  uint8_t byIntrface;
  uint8_t byIPSpec;
  uint8_t byEnableEWS;
  uint8_t byEnableSNMP;
  uint8_t byEnableRemoteSetup;
  uint8_t byEnableWSD;
  uint8_t byEnableSMTP;
  uint8_t byEnableFTPC;
  uint8_t byEnableSFTP;
  uint8_t byEnableCIFS;
  uint8_t byEnableMDNS;
  uint8_t byEnableLLMNR;
  uint8_t byEnableSNTP;
  uint8_t byEnableWFD;
  uint8_t byEnableEWSHTTP;
  uint8_t byEnableEWSHTTPS;
  char szWSD_Name[68];
  char szBonjour_Name[68];
  uint8_t byEnableNetScan;
  uint8_t byReserved[23];
};
static_assert(sizeof(FCL_RS_PARAM_NETWORK_SETTING) == 176);
static_assert(alignof(FCL_RS_PARAM_NETWORK_SETTING) == 1);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byIntrface) == 0);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byIPSpec) == 1);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWS) == 2);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableSNMP) == 3);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableRemoteSetup) == 4);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableWSD) == 5);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableSMTP) == 6);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableFTPC) == 7);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableSFTP) == 8);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableCIFS) == 9);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableMDNS) == 10);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableLLMNR) == 11);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableSNTP) == 12);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableWFD) == 13);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWSHTTP) == 14);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWSHTTPS) == 15);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, szWSD_Name) == 16);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, szBonjour_Name) == 84);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byEnableNetScan) == 152);
static_assert(offsetof(FCL_RS_PARAM_NETWORK_SETTING, byReserved) == 153);

// ---- TCP/IP settings of one interface (wired and wireless; read and written alone) -------------
struct FCL_RS_PARAM_NETWORK {
  uint8_t byBootMethod;
  uint8_t byIPBootTries;
  uint8_t byAPIPA;
  uint8_t byEthLinkSpeed;
  uint8_t byDHCPGetIP;
  uint8_t byWINSConfig;
  uint8_t byInterfaceUp;
  uint8_t byDNSConfig;
  uint8_t byNetBiosOn;
  uint8_t byReserved[3];
  uint32_t dwTimeoutTcp;
  uint32_t dwTimeoutGateway;
  char szIPAddress[40];
  char szSubnetMask[40];
  char szGateway[40];
  char szNodeName[32];
  char szWINSServerPrimary[40];
  char szWINSServerSecondary[40];
  char szDNSServerPrimary[40];
  char szDNSServerSecondary[40];
  char szMACAddress[20];
};
static_assert(sizeof(FCL_RS_PARAM_NETWORK) == 352);
static_assert(alignof(FCL_RS_PARAM_NETWORK) == 4);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byBootMethod) == 0);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byIPBootTries) == 1);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byAPIPA) == 2);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byEthLinkSpeed) == 3);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byDHCPGetIP) == 4);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byWINSConfig) == 5);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byInterfaceUp) == 6);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byDNSConfig) == 7);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byNetBiosOn) == 8);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, byReserved) == 9);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, dwTimeoutTcp) == 12);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, dwTimeoutGateway) == 16);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szIPAddress) == 20);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szSubnetMask) == 60);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szGateway) == 100);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szNodeName) == 140);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szWINSServerPrimary) == 172);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szWINSServerSecondary) == 212);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szDNSServerPrimary) == 252);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szDNSServerSecondary) == 292);
static_assert(offsetof(FCL_RS_PARAM_NETWORK, szMACAddress) == 332);

// ---- E-mail server (written alone, FCLD_RS_PARAM_EMAIL) ----------------------------------------
struct FCL_RS_PARAM_EMAIL {
  char szDeviceMailAddress[128];
  char szSMTPServerName[64];
  uint16_t wSMTPPort;
  uint8_t byReserved1[2];
  uint8_t bySMTPAuthentication;
  char szSMTPAuthAccount[64];
  char szSMTPAuthPassword[64];
  uint8_t bySMTPSecureConnection;
  uint8_t bySMTPVerifyCertificate;
  uint8_t byReserved2[1];
  char szSenderMessage[256];
  char szSenderSubject[256];
  uint8_t byMailSizeLimit;
  uint8_t byMailMaximumSize;
  uint8_t byMailNotification;
  uint8_t byReserved3[9];
};
static_assert(sizeof(FCL_RS_PARAM_EMAIL) == 852);
static_assert(alignof(FCL_RS_PARAM_EMAIL) == 2);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szDeviceMailAddress) == 0);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szSMTPServerName) == 128);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, wSMTPPort) == 192);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byReserved1) == 194);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, bySMTPAuthentication) == 196);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szSMTPAuthAccount) == 197);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szSMTPAuthPassword) == 261);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, bySMTPSecureConnection) == 325);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, bySMTPVerifyCertificate) == 326);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byReserved2) == 327);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szSenderMessage) == 328);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, szSenderSubject) == 584);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byMailSizeLimit) == 840);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byMailMaximumSize) == 841);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byMailNotification) == 842);
static_assert(offsetof(FCL_RS_PARAM_EMAIL, byReserved3) == 843);

// ---- Scan reports (end of the block; never written alone, no page edits them) ------------------
struct FCL_RS_SCAN_REPORT_SETTING {
  char szAdminEmail[256];
  uint32_t dwScanToEmail;
  uint32_t dwScanToFTP;
  uint32_t dwScanToSFTP;
  uint32_t dwScanToShareFolder;
  uint8_t byReserved1[4];
};
static_assert(sizeof(FCL_RS_SCAN_REPORT_SETTING) == 276);
static_assert(alignof(FCL_RS_SCAN_REPORT_SETTING) == 4);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, szAdminEmail) == 0);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, dwScanToEmail) == 256);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, dwScanToFTP) == 260);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, dwScanToSFTP) == 264);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, dwScanToShareFolder) == 268);
static_assert(offsetof(FCL_RS_SCAN_REPORT_SETTING, byReserved1) == 272);

// ---- The whole settings block (read whole, FCLD_RS_PARAM_ALL) ----------------------------------
struct FCL_RS_PARAM_ALL {
  uint32_t dwFW_DebugField1;  // not interpreted
  uint32_t dwFW_DebugField2;  // not interpreted
  uint32_t dwStructVersion;   // see FCL_RS_STRUCT_VERSION
  uint8_t byPadding1[4];
  FCL_RS_PARAM_GENERAL sGeneral;
  FCL_RS_PARAM_FILENAME sFilename;
  FCL_RS_PARAM_SCANPROFILE sScan2USB;
  FCL_RS_PARAM_SCANPROFILE sScan2Email;
  FCL_RS_PARAM_SCANPROFILE sScan2PC;
  FCL_RS_PARAM_NETWORK_SETTING sNetSetting;
  FCL_RS_PARAM_NETWORK sWiredLAN;
  FCL_RS_PARAM_NETWORK sWirelessLAN;
  FCL_RS_PARAM_EMAIL sEmail;
  FCL_RS_SCAN_REPORT_SETTING sScanReportSetting;
  uint8_t byPadding2[4];
};
static_assert(sizeof(FCL_RS_PARAM_ALL) == 2584);
static_assert(alignof(FCL_RS_PARAM_ALL) == 8);
static_assert(offsetof(FCL_RS_PARAM_ALL, dwFW_DebugField1) == 0);
static_assert(offsetof(FCL_RS_PARAM_ALL, dwFW_DebugField2) == 4);
static_assert(offsetof(FCL_RS_PARAM_ALL, dwStructVersion) == 8);
static_assert(offsetof(FCL_RS_PARAM_ALL, byPadding1) == 12);
static_assert(offsetof(FCL_RS_PARAM_ALL, sGeneral) == 16);
static_assert(offsetof(FCL_RS_PARAM_ALL, sFilename) == 328);
static_assert(offsetof(FCL_RS_PARAM_ALL, sScan2USB) == 380);
static_assert(offsetof(FCL_RS_PARAM_ALL, sScan2Email) == 444);
static_assert(offsetof(FCL_RS_PARAM_ALL, sScan2PC) == 508);
static_assert(offsetof(FCL_RS_PARAM_ALL, sNetSetting) == 572);
static_assert(offsetof(FCL_RS_PARAM_ALL, sWiredLAN) == 748);
static_assert(offsetof(FCL_RS_PARAM_ALL, sWirelessLAN) == 1100);
static_assert(offsetof(FCL_RS_PARAM_ALL, sEmail) == 1452);
static_assert(offsetof(FCL_RS_PARAM_ALL, sScanReportSetting) == 2304);
static_assert(offsetof(FCL_RS_PARAM_ALL, byPadding2) == 2580);

// No hidden padding anywhere: every byte of each record belongs to a declared member, so a record
// copied in and out with memcpy keeps all of the scanner's bytes.
static_assert(std::has_unique_object_representations_v<FCL_RS_PARAM_ALL>);
static_assert(std::is_trivially_copyable_v<FCL_RS_PARAM_ALL>);
