// The byte layout of every scanner record, and the helpers that build the records this system
// fills itself (PC clock, lock text) or reads specially (structure version, key names).
//
// The headers pin each size and offset with static_asserts; the table here repeats them at run
// time so that all of them can be read, and checked, in one place.
#include <gtest/gtest.h>

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>
#include <QUuid>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/FCLRecords.h"
#include "platform/FixedText.h"

namespace {

struct LayoutRow {
  std::string what;
  std::size_t actual;
  std::size_t expected;
};

#define ZR_SIZE(T, n) LayoutRow{"sizeof " #T, sizeof(T), n}
#define ZR_ALIGN(T, n) LayoutRow{"alignof " #T, alignof(T), n}
#define ZR_AT(T, f, n) LayoutRow{#T "." #f, offsetof(T, f), n}

// Offset of a member reached through arrays (slot i of the book, profile i of the list).
template <class Record, class Member>
std::size_t byteOffset(const Record& record, const Member& member) {
  return static_cast<std::size_t>(reinterpret_cast<const char*>(&member) -
                                  reinterpret_cast<const char*>(&record));
}

std::vector<LayoutRow> layoutTable() {
  static FCL_RS_ADDRESS_BOOK book;
  static FCL_RS_PROFILE_ALL profiles;
  return {
      // Settings block and its sub-records.
      ZR_SIZE(FCL_RS_PARAM_ALL, 2584), ZR_ALIGN(FCL_RS_PARAM_ALL, 8),
      ZR_AT(FCL_RS_PARAM_ALL, dwFW_DebugField1, 0), ZR_AT(FCL_RS_PARAM_ALL, dwFW_DebugField2, 4),
      ZR_AT(FCL_RS_PARAM_ALL, dwStructVersion, 8), ZR_AT(FCL_RS_PARAM_ALL, byPadding1, 12),
      ZR_AT(FCL_RS_PARAM_ALL, sGeneral, 16), ZR_AT(FCL_RS_PARAM_ALL, sFilename, 328),
      ZR_AT(FCL_RS_PARAM_ALL, sScan2USB, 380), ZR_AT(FCL_RS_PARAM_ALL, sScan2Email, 444),
      ZR_AT(FCL_RS_PARAM_ALL, sScan2PC, 508), ZR_AT(FCL_RS_PARAM_ALL, sNetSetting, 572),
      ZR_AT(FCL_RS_PARAM_ALL, sWiredLAN, 748), ZR_AT(FCL_RS_PARAM_ALL, sWirelessLAN, 1100),
      ZR_AT(FCL_RS_PARAM_ALL, sEmail, 1452), ZR_AT(FCL_RS_PARAM_ALL, sScanReportSetting, 2304),
      ZR_AT(FCL_RS_PARAM_ALL, byPadding2, 2580),

      ZR_SIZE(FCL_RS_PARAM_GENERAL, 312), ZR_ALIGN(FCL_RS_PARAM_GENERAL, 8),
      ZR_AT(FCL_RS_PARAM_GENERAL, sPanel, 0), ZR_AT(FCL_RS_PARAM_GENERAL, sEdgeCorrection, 32),
      ZR_AT(FCL_RS_PARAM_GENERAL, sDateTime, 44), ZR_AT(FCL_RS_PARAM_GENERAL, byAutoScan, 292),
      ZR_AT(FCL_RS_PARAM_GENERAL, byDisableScanfromPC, 293),
      ZR_AT(FCL_RS_PARAM_GENERAL, byGolbal_MultiDetect, 294),
      ZR_AT(FCL_RS_PARAM_GENERAL, byScheduled_ME, 295),
      ZR_AT(FCL_RS_PARAM_GENERAL, bySignedPDFCASelect, 296),
      ZR_AT(FCL_RS_PARAM_GENERAL, byWIFI_EAPCASelect, 297),
      ZR_AT(FCL_RS_PARAM_GENERAL, byLAN80211x_PCASelect, 298),
      ZR_AT(FCL_RS_PARAM_GENERAL, byEWS_CASelect, 299),
      ZR_AT(FCL_RS_PARAM_GENERAL, szSecurePDFPassword, 300),
      ZR_AT(FCL_RS_PARAM_GENERAL, byReserved2, 308), ZR_AT(FCL_RS_PARAM_GENERAL, byPadding, 309),

      ZR_SIZE(FCL_RS_PARAM_PANEL_SETTING, 32), ZR_ALIGN(FCL_RS_PARAM_PANEL_SETTING, 8),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, byBeepVolume, 0),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, byBacklightLevel, 1),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, wDimTimer, 2),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, dwSettingLock, 4),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, u64PanelLangCap, 8),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, dwPanelLangCur, 16),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, szPassword, 20),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, bySFLEnable, 28),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, byShowScanResult, 29),
      ZR_AT(FCL_RS_PARAM_PANEL_SETTING, byReserved, 30),

      ZR_SIZE(FCL_SCAN_EDGE_INFO, 12), ZR_ALIGN(FCL_SCAN_EDGE_INFO, 2),
      ZR_AT(FCL_SCAN_EDGE_INFO, nTop_YOffset, 0), ZR_AT(FCL_SCAN_EDGE_INFO, nTop_XOffset, 2),
      ZR_AT(FCL_SCAN_EDGE_INFO, nBtm_YOffset, 4), ZR_AT(FCL_SCAN_EDGE_INFO, nBtm_XOffset, 6),
      ZR_AT(FCL_SCAN_EDGE_INFO, nTop_TailOffset, 8), ZR_AT(FCL_SCAN_EDGE_INFO, nBtm_TailOffset, 10),

      ZR_SIZE(FCL_RS_PARAM_DATE_TIME, 248), ZR_ALIGN(FCL_RS_PARAM_DATE_TIME, 4),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, bySetTimeMethod, 0),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, byTimeZoneNegative, 1),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, byEnableDST, 2), ZR_AT(FCL_RS_PARAM_DATE_TIME, byClockType, 3),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, dwTimeDiffSecs, 4),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, dwTimeStyle, 8),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, dwTimeApplyDST, 12),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, dwTimeFromePC, 16),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, dwReserved, 20),
      ZR_AT(FCL_RS_PARAM_DATE_TIME, sSNTPSetting, 28),

      ZR_SIZE(FCL_RS_SNTP_SETTING, 220), ZR_ALIGN(FCL_RS_SNTP_SETTING, 4),
      ZR_AT(FCL_RS_SNTP_SETTING, byServerMethod, 0),
      ZR_AT(FCL_RS_SNTP_SETTING, szPriServerAddr, 1), ZR_AT(FCL_RS_SNTP_SETTING, byPadding1, 66),
      ZR_AT(FCL_RS_SNTP_SETTING, dwPriPort, 68), ZR_AT(FCL_RS_SNTP_SETTING, szSecServerAddr, 72),
      ZR_AT(FCL_RS_SNTP_SETTING, byPadding2, 137), ZR_AT(FCL_RS_SNTP_SETTING, dwSecPort, 140),
      ZR_AT(FCL_RS_SNTP_SETTING, szAutoServerAddr, 144),
      ZR_AT(FCL_RS_SNTP_SETTING, byPadding3, 209), ZR_AT(FCL_RS_SNTP_SETTING, dwAutoPort, 212),
      ZR_AT(FCL_RS_SNTP_SETTING, dwSyncInterval, 216),

      ZR_SIZE(FCL_RS_PARAM_FILENAME, 52), ZR_ALIGN(FCL_RS_PARAM_FILENAME, 4),
      ZR_AT(FCL_RS_PARAM_FILENAME, byFormat, 0),
      ZR_AT(FCL_RS_PARAM_FILENAME, byExceptionHandling, 1),
      ZR_AT(FCL_RS_PARAM_FILENAME, byReserved1, 2), ZR_AT(FCL_RS_PARAM_FILENAME, szName, 4),
      ZR_AT(FCL_RS_PARAM_FILENAME, byDateTime, 36), ZR_AT(FCL_RS_PARAM_FILENAME, byCountType, 37),
      ZR_AT(FCL_RS_PARAM_FILENAME, byCountDigit, 38), ZR_AT(FCL_RS_PARAM_FILENAME, byReserved2, 39),
      ZR_AT(FCL_RS_PARAM_FILENAME, dwCountInitValue, 40),
      ZR_AT(FCL_RS_PARAM_FILENAME, dwBALLScanCount, 44),
      ZR_AT(FCL_RS_PARAM_FILENAME, byReserved3, 48),

      ZR_SIZE(FCL_RS_PARAM_SCANPROFILE, 64), ZR_ALIGN(FCL_RS_PARAM_SCANPROFILE, 4),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byScanType, 0),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byReserved1, 1),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileType_BW, 4),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileType_Gray, 5),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileType_Color, 6),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileType_Auto, 7),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileSize_Gray, 8),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileSize_Color, 9),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byFileSize_Auto, 10),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byReserved2, 11),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, wResolution_BW, 12),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, wResolution_Gray, 14),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, wResolution_Color, 16),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, wResolution_Auto, 18),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byReserved3, 20),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byDocumentSize, 23),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, dwPaperWidth, 24),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, dwPaperHeight, 28),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byMarginLeft, 32),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byMarginTop, 33),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byMarginRight, 34),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byMarginBottom, 35),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byAutoDeskew, 36),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, bySkipBlankPage, 37),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byDuplexScan, 38),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byMultifeedDetection, 39),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byContinuousScan, 40),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byReserved4, 41),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byAutoColorDetectSensitivity, 44),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, bySkipBlankPageSensitivity, 45),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byBrightness, 46),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byContrast, 47),
      ZR_AT(FCL_RS_PARAM_SCANPROFILE, byReserved5, 48),

      ZR_SIZE(FCL_RS_PARAM_NETWORK_SETTING, 176), ZR_ALIGN(FCL_RS_PARAM_NETWORK_SETTING, 1),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byIntrface, 0),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byIPSpec, 1),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWS, 2),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableSNMP, 3),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableRemoteSetup, 4),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableWSD, 5),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableSMTP, 6),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableFTPC, 7),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableSFTP, 8),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableCIFS, 9),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableMDNS, 10),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableLLMNR, 11),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableSNTP, 12),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableWFD, 13),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWSHTTP, 14),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableEWSHTTPS, 15),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, szWSD_Name, 16),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, szBonjour_Name, 84),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byEnableNetScan, 152),
      ZR_AT(FCL_RS_PARAM_NETWORK_SETTING, byReserved, 153),

      ZR_SIZE(FCL_RS_PARAM_NETWORK, 352), ZR_ALIGN(FCL_RS_PARAM_NETWORK, 4),
      ZR_AT(FCL_RS_PARAM_NETWORK, byBootMethod, 0), ZR_AT(FCL_RS_PARAM_NETWORK, byIPBootTries, 1),
      ZR_AT(FCL_RS_PARAM_NETWORK, byAPIPA, 2), ZR_AT(FCL_RS_PARAM_NETWORK, byEthLinkSpeed, 3),
      ZR_AT(FCL_RS_PARAM_NETWORK, byDHCPGetIP, 4), ZR_AT(FCL_RS_PARAM_NETWORK, byWINSConfig, 5),
      ZR_AT(FCL_RS_PARAM_NETWORK, byInterfaceUp, 6), ZR_AT(FCL_RS_PARAM_NETWORK, byDNSConfig, 7),
      ZR_AT(FCL_RS_PARAM_NETWORK, byNetBiosOn, 8), ZR_AT(FCL_RS_PARAM_NETWORK, byReserved, 9),
      ZR_AT(FCL_RS_PARAM_NETWORK, dwTimeoutTcp, 12),
      ZR_AT(FCL_RS_PARAM_NETWORK, dwTimeoutGateway, 16),
      ZR_AT(FCL_RS_PARAM_NETWORK, szIPAddress, 20), ZR_AT(FCL_RS_PARAM_NETWORK, szSubnetMask, 60),
      ZR_AT(FCL_RS_PARAM_NETWORK, szGateway, 100), ZR_AT(FCL_RS_PARAM_NETWORK, szNodeName, 140),
      ZR_AT(FCL_RS_PARAM_NETWORK, szWINSServerPrimary, 172),
      ZR_AT(FCL_RS_PARAM_NETWORK, szWINSServerSecondary, 212),
      ZR_AT(FCL_RS_PARAM_NETWORK, szDNSServerPrimary, 252),
      ZR_AT(FCL_RS_PARAM_NETWORK, szDNSServerSecondary, 292),
      ZR_AT(FCL_RS_PARAM_NETWORK, szMACAddress, 332),

      ZR_SIZE(FCL_RS_PARAM_EMAIL, 852), ZR_ALIGN(FCL_RS_PARAM_EMAIL, 2),
      ZR_AT(FCL_RS_PARAM_EMAIL, szDeviceMailAddress, 0),
      ZR_AT(FCL_RS_PARAM_EMAIL, szSMTPServerName, 128), ZR_AT(FCL_RS_PARAM_EMAIL, wSMTPPort, 192),
      ZR_AT(FCL_RS_PARAM_EMAIL, byReserved1, 194),
      ZR_AT(FCL_RS_PARAM_EMAIL, bySMTPAuthentication, 196),
      ZR_AT(FCL_RS_PARAM_EMAIL, szSMTPAuthAccount, 197),
      ZR_AT(FCL_RS_PARAM_EMAIL, szSMTPAuthPassword, 261),
      ZR_AT(FCL_RS_PARAM_EMAIL, bySMTPSecureConnection, 325),
      ZR_AT(FCL_RS_PARAM_EMAIL, bySMTPVerifyCertificate, 326),
      ZR_AT(FCL_RS_PARAM_EMAIL, byReserved2, 327),
      ZR_AT(FCL_RS_PARAM_EMAIL, szSenderMessage, 328),
      ZR_AT(FCL_RS_PARAM_EMAIL, szSenderSubject, 584),
      ZR_AT(FCL_RS_PARAM_EMAIL, byMailSizeLimit, 840),
      ZR_AT(FCL_RS_PARAM_EMAIL, byMailMaximumSize, 841),
      ZR_AT(FCL_RS_PARAM_EMAIL, byMailNotification, 842),
      ZR_AT(FCL_RS_PARAM_EMAIL, byReserved3, 843),

      ZR_SIZE(FCL_RS_SCAN_REPORT_SETTING, 276), ZR_ALIGN(FCL_RS_SCAN_REPORT_SETTING, 4),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, szAdminEmail, 0),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, dwScanToEmail, 256),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, dwScanToFTP, 260),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, dwScanToSFTP, 264),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, dwScanToShareFolder, 268),
      ZR_AT(FCL_RS_SCAN_REPORT_SETTING, byReserved1, 272),

      // Address book.
      ZR_SIZE(FCL_RS_ADDRESS_BOOK, 114036), ZR_ALIGN(FCL_RS_ADDRESS_BOOK, 4),
      ZR_AT(FCL_RS_ADDRESS_BOOK, szIdentificator, 0), ZR_AT(FCL_RS_ADDRESS_BOOK, sNode, 36),
      {"FCL_RS_ADDRESS_BOOK.sNode[299]", byteOffset(book, book.sNode[299]), 113656},
      {"FCL_RS_ADDRESS_BOOK.sNode[299].dwIsInShortcut",
       byteOffset(book, book.sNode[299].dwIsInShortcut), 114020},

      ZR_SIZE(FCL_RS_ADDRESS_BOOK_NODE, 380), ZR_ALIGN(FCL_RS_ADDRESS_BOOK_NODE, 4),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, dwNodeType, 0),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, dwGroupMask, 4),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, szNodeName, 8),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, szEmailAddress, 104),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, dwRefIdx, 360),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, dwIsInShortcut, 364),
      ZR_AT(FCL_RS_ADDRESS_BOOK_NODE, byReserved1, 368),

      // Scan profiles.
      ZR_SIZE(FCL_RS_PROFILE_ALL, 42900), ZR_ALIGN(FCL_RS_PROFILE_ALL, 4),
      ZR_AT(FCL_RS_PROFILE_ALL, sProfile, 0),
      {"FCL_RS_PROFILE_ALL.sProfile[24]", byteOffset(profiles, profiles.sProfile[24]), 41184},
      {"FCL_RS_PROFILE_ALL.sProfile[24].sScan2Network",
       byteOffset(profiles, profiles.sProfile[24].sScan2Network), 42836},

      ZR_SIZE(FCL_RS_PROFILE, 1716), ZR_ALIGN(FCL_RS_PROFILE, 4),
      ZR_AT(FCL_RS_PROFILE, dwFW_DebugField1, 0), ZR_AT(FCL_RS_PROFILE, dwFW_DebugField2, 4),
      ZR_AT(FCL_RS_PROFILE, dwStructVersion, 8), ZR_AT(FCL_RS_PROFILE, dwProfileType, 12),
      ZR_AT(FCL_RS_PROFILE, byTestNetwork, 16), ZR_AT(FCL_RS_PROFILE, byReserved1, 17),
      ZR_AT(FCL_RS_PROFILE, szProfileName, 20), ZR_AT(FCL_RS_PROFILE, sFTPSetting, 52),
      ZR_AT(FCL_RS_PROFILE, sSFTPSetting, 596), ZR_AT(FCL_RS_PROFILE, sShareFolderSetting, 1140),
      ZR_AT(FCL_RS_PROFILE, sScan2Network, 1652),

      ZR_SIZE(FCL_RS_PROFILE_FTP_SETTING, 544), ZR_ALIGN(FCL_RS_PROFILE_FTP_SETTING, 2),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, szHost, 0), ZR_AT(FCL_RS_PROFILE_FTP_SETTING, wPort, 128),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, byReserved1, 130),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, szUsername, 132),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, szPassword, 196),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, szRemoteDirectoryUTF16, 260),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, byPassiveMode, 516),
      ZR_AT(FCL_RS_PROFILE_FTP_SETTING, byReserved2, 517),

      ZR_SIZE(FCL_RS_PROFILE_SFTP_SETTING, 544), ZR_ALIGN(FCL_RS_PROFILE_SFTP_SETTING, 2),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, szHost, 0),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, wPort, 128),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, byReserved1, 130),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, byAuthMethod, 132),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, byReserved2, 133),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, szUsername, 136),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, szPassword, 200),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, wClientKeyPairIndex, 264),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, wSeverPublicKeyIndex, 266),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, szRemoteDirectoryUTF16, 268),
      ZR_AT(FCL_RS_PROFILE_SFTP_SETTING, byReserved3, 524),

      ZR_SIZE(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, 512),
      ZR_ALIGN(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, 1),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szShareFolderUTF16, 0),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byAuthMethod, 320),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved1, 321),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szUsername, 324),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szPassword, 388),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byEnablePINCode, 452),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved2, 453),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, szPINCode, 456),
      ZR_AT(FCL_RS_PROFILE_SHARE_FOLDER_SETTING, byReserved3, 460),

      // Lamp, capabilities, counters, factory defaults.
      ZR_SIZE(FCL_LAMP_STATE, 16), ZR_ALIGN(FCL_LAMP_STATE, 4),
      ZR_AT(FCL_LAMP_STATE, dwCrg1Lamp1, 0), ZR_AT(FCL_LAMP_STATE, dwCrg1Lamp2, 4),
      ZR_AT(FCL_LAMP_STATE, dwCrg2Lamp1, 8), ZR_AT(FCL_LAMP_STATE, dwCrg2Lamp2, 12),

      ZR_SIZE(FCL_CAP_HALVERN, 72), ZR_ALIGN(FCL_CAP_HALVERN, 4),
      ZR_AT(FCL_CAP_HALVERN, dwModule_Platform, 0), ZR_AT(FCL_CAP_HALVERN, dwBuildStage, 4),
      ZR_AT(FCL_CAP_HALVERN, dwVers_LowLevelBoot, 8), ZR_AT(FCL_CAP_HALVERN, dwVers_UBoot, 12),
      ZR_AT(FCL_CAP_HALVERN, dwVers_Kernel, 16),
      ZR_AT(FCL_CAP_HALVERN, dwVers_RootFileSystem, 20), ZR_AT(FCL_CAP_HALVERN, dwVers_FW, 24),
      ZR_AT(FCL_CAP_HALVERN, dwVers_Panel, 28),
      ZR_AT(FCL_CAP_HALVERN, dwVers_FW_FCL_CmdDef, 32),
      ZR_AT(FCL_CAP_HALVERN, dwVers_FW_FCL_StructDef, 36),
      ZR_AT(FCL_CAP_HALVERN, dwVers_FW_FlashTable, 40),
      ZR_AT(FCL_CAP_HALVERN, dwDescriptLength, 44), ZR_AT(FCL_CAP_HALVERN, dwVers_FPGA, 48),
      ZR_AT(FCL_CAP_HALVERN, dwReserved, 52),

      ZR_SIZE(FCL_RS_MACHINE_INFO, 20), ZR_ALIGN(FCL_RS_MACHINE_INFO, 4),
      ZR_AT(FCL_RS_MACHINE_INFO, dwScanCount, 0), ZR_AT(FCL_RS_MACHINE_INFO, dwCountAtClean, 4),
      ZR_AT(FCL_RS_MACHINE_INFO, dwMaintCleanVal, 8),
      ZR_AT(FCL_RS_MACHINE_INFO, dwCountAtRoller, 12),
      ZR_AT(FCL_RS_MACHINE_INFO, dwRollerReplaceVal, 16),

      ZR_SIZE(FCL_RS_FACTORY_DEFSETTING, 64), ZR_ALIGN(FCL_RS_FACTORY_DEFSETTING, 8),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwReserved1, 0),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwReserved2, 4),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwCountryCode, 8),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefAutoOffTime, 12),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefSleepTime, 16),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefTimeStyle, 20),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefClockStyle, 24),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefAutoDaylight, 28),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefScanSize, 32),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefTimeZone, 36),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, u64PanelLangCap, 40),  // right after, no padding
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, dwDefPanelLang, 48),
      ZR_AT(FCL_RS_FACTORY_DEFSETTING, sEdgeCorrection, 52),

      // Key entry, PC clock, lock text.
      ZR_SIZE(FCL_RS_SFTP_KEY_ENTRY, 72), ZR_ALIGN(FCL_RS_SFTP_KEY_ENTRY, 1),
      ZR_AT(FCL_RS_SFTP_KEY_ENTRY, szKeyName, 0),

      ZR_SIZE(FCL_PC_TIME, 56), ZR_ALIGN(FCL_PC_TIME, 8),
      ZR_AT(FCL_PC_TIME, tm_sec, 0), ZR_AT(FCL_PC_TIME, tm_min, 4),
      ZR_AT(FCL_PC_TIME, tm_hour, 8), ZR_AT(FCL_PC_TIME, tm_mday, 12),
      ZR_AT(FCL_PC_TIME, tm_mon, 16), ZR_AT(FCL_PC_TIME, tm_year, 20),
      ZR_AT(FCL_PC_TIME, tm_wday, 24), ZR_AT(FCL_PC_TIME, tm_yday, 28),
      ZR_AT(FCL_PC_TIME, tm_isdst, 32), ZR_AT(FCL_PC_TIME, byPadding, 36),
      ZR_AT(FCL_PC_TIME, tm_gmtoff, 40), ZR_AT(FCL_PC_TIME, tm_zone, 48),

      ZR_SIZE(FCL_LOCK_TEXT, 40), ZR_ALIGN(FCL_LOCK_TEXT, 1), ZR_AT(FCL_LOCK_TEXT, szUUID, 0),

      // The command and status blocks the records travel with.
      ZR_SIZE(FCL_VENDOR_CMD, 16), ZR_SIZE(FCL_DEVICE_STATUS, 32),
  };
}

TEST(RecordLayout, SizesAndOffsetsAreTheWireLayout) {
  for (const LayoutRow& row : layoutTable()) EXPECT_EQ(row.actual, row.expected) << row.what;
}

// The block travels as raw bytes: every byte read lands in one place of the record and goes back
// out unchanged, padding included; a sub-record written alone is the block's bytes at its offset.
TEST(RecordLayout, BlockBytesRoundTripWithPaddingAndSubRecordsAtTheirOffsets) {
  unsigned char wire[sizeof(FCL_RS_PARAM_ALL)];
  for (std::size_t i = 0; i < sizeof wire; ++i) wire[i] = static_cast<unsigned char>(i * 7 + 3);
  const unsigned char version[4] = {57, 0, 0, 0};  // little-endian 57
  std::memcpy(wire + 8, version, sizeof version);

  FCL_RS_PARAM_ALL block;
  std::memcpy(&block, wire, sizeof block);
  EXPECT_EQ(block.dwStructVersion, 57u);
  EXPECT_EQ(0, std::memcmp(block.byPadding1, wire + 12, 4));
  EXPECT_EQ(0, std::memcmp(block.byPadding2, wire + 2580, 4));
  // The general record written alone: 312 bytes from offset 16, its own padding 309..311 included.
  EXPECT_EQ(0, std::memcmp(&block.sGeneral, wire + 16, 312));
  EXPECT_EQ(0, std::memcmp(block.sGeneral.byPadding, wire + 16 + 309, 3));
  EXPECT_EQ(0, std::memcmp(&block.sEmail, wire + 1452, sizeof block.sEmail));
  // A multi-byte field reads little-endian at its offset.
  const uint16_t port = static_cast<uint16_t>(wire[1452 + 192] | wire[1452 + 193] << 8);
  EXPECT_EQ(block.sEmail.wSMTPPort, port);

  unsigned char back[sizeof(FCL_RS_PARAM_ALL)];
  std::memcpy(back, &block, sizeof back);
  EXPECT_EQ(0, std::memcmp(back, wire, sizeof wire));
}

TEST(RecordLayout, StructureVersionReadsAsMajorDotMinorAndOnly057IsAccepted) {
  struct Case {
    uint32_t value;
    const char* text;
    bool accepted;
  } cases[] = {
      {57, "0.57", true},
      {56, "0.56", false},
      {58, "0.58", false},
      {0x10039, "1.57", false},
      {0, "0.0", false},
      {0xFFFFFFFFu, "65535.65535", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(structVersionText(c.value), QString(c.text)) << c.value;
    EXPECT_EQ(fclStructVersionSupported(c.value), c.accepted) << c.value;
  }
}

// ---- PC clock ----------------------------------------------------------------------------------

TEST(PCTime, FieldsFromAFixedTimeInItsZone) {
  struct Case {
    const char* label;
    QDateTime when;
    FCL_PC_TIME expected;  // padding and tm_zone 0
  };
  const QTimeZone berlin("Europe/Berlin");
  if (!berlin.isValid()) GTEST_SKIP() << "no time-zone data for Europe/Berlin";
  const QTimeZone minus0330(-(3 * 3600 + 1800));
  const Case cases[] = {
      {"summer time, Monday", QDateTime(QDate(2024, 7, 15), QTime(13, 45, 30), berlin),
       {30, 45, 13, 15, 6, 124, 1, 196, 1, {}, 7200, 0}},
      {"winter time, first day of the year, Sunday",
       QDateTime(QDate(2023, 1, 1), QTime(0, 0, 0), berlin),
       {0, 0, 0, 1, 0, 123, 0, 0, 0, {}, 3600, 0}},
      {"last day of a leap year, west of UTC", QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59), minus0330),
       {59, 59, 23, 31, 11, 124, 2, 365, 0, {}, -12600, 0}},
      {"leap day, UTC", QDateTime(QDate(2000, 2, 29), QTime(12, 0, 0), QTimeZone::utc()),
       {0, 0, 12, 29, 1, 100, 2, 59, 0, {}, 0, 0}},
  };
  for (const Case& c : cases) {
    const FCL_PC_TIME got = makePCTime(c.when);
    EXPECT_EQ(0, std::memcmp(&got, &c.expected, sizeof got))
        << c.label << ": " << got.tm_year << "-" << got.tm_mon << "-" << got.tm_mday << " "
        << got.tm_hour << ":" << got.tm_min << ":" << got.tm_sec << " wday " << got.tm_wday
        << " yday " << got.tm_yday << " isdst " << got.tm_isdst << " gmtoff " << got.tm_gmtoff;
  }
}

TEST(PCTime, PaddingAndLastEightBytesAreZero) {
  const FCL_PC_TIME t = makePCTime(QDateTime(QDate(2024, 7, 15), QTime(13, 45, 30), QTimeZone(7200)));
  unsigned char bytes[sizeof t];
  std::memcpy(bytes, &t, sizeof bytes);
  for (std::size_t i = 36; i < 40; ++i) EXPECT_EQ(bytes[i], 0) << "padding byte " << i;
  for (std::size_t i = 48; i < 56; ++i) EXPECT_EQ(bytes[i], 0) << "tm_zone byte " << i;
  EXPECT_EQ(bytes[0], 30);  // tm_sec, little-endian

  const FCL_PC_TIME now = currentPCTime();
  EXPECT_EQ(now.byPadding[0] | now.byPadding[1] | now.byPadding[2] | now.byPadding[3], 0);
  EXPECT_EQ(now.tm_zone, 0u);
}

TEST(PCTime, InvalidDateTimeGivesAnAllZeroRecord) {
  const FCL_PC_TIME t = makePCTime(QDateTime());
  const FCL_PC_TIME zero{};
  EXPECT_EQ(0, std::memcmp(&t, &zero, sizeof t));
}

// The C library's broken-down time of the same instant is the oracle: every field, around the
// daylight-saving changes of a northern and a southern zone.
void expectSameAsLibc(const FCL_PC_TIME& got, const std::tm& want, const std::string& label) {
  EXPECT_EQ(got.tm_sec, want.tm_sec) << label;
  EXPECT_EQ(got.tm_min, want.tm_min) << label;
  EXPECT_EQ(got.tm_hour, want.tm_hour) << label;
  EXPECT_EQ(got.tm_mday, want.tm_mday) << label;
  EXPECT_EQ(got.tm_mon, want.tm_mon) << label;
  EXPECT_EQ(got.tm_year, want.tm_year) << label;
  EXPECT_EQ(got.tm_wday, want.tm_wday) << label;
  EXPECT_EQ(got.tm_yday, want.tm_yday) << label;
  EXPECT_EQ(got.tm_isdst != 0, want.tm_isdst > 0) << label;
  EXPECT_EQ(got.tm_gmtoff, want.tm_gmtoff) << label;
}

class ScopedTZ {
 public:
  explicit ScopedTZ(const char* zone) {
    const char* old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTZ() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST(PCTime, MatchesTheCLibraryAroundDaylightSavingChanges) {
  const char* zones[] = {"Europe/Berlin", "Australia/Sydney", "America/New_York"};
  const qint64 instants[] = {
      1711846799,  // 2024-03-31 00:59:59 UTC: last second of winter time in Berlin
      1711846800,  // 2024-03-31 01:00:00 UTC: first second of summer time in Berlin
      1730001599,  // 2024-10-27 00:59:59 UTC
      1730001600,  // 2024-10-27 01:00:00 UTC
      1712419200,  // 2024-04-06 16:00:00 UTC: Sydney leaves summer time the next night
      1712505600,  // 2024-04-07 16:00:00 UTC
      1710054000,  // 2024-03-10 07:00:00 UTC: New York enters summer time
      951825600,   // 2000-02-29 12:00:00 UTC
      1735689599,  // 2024-12-31 23:59:59 UTC
  };
  for (const char* zoneName : zones) {
    const QTimeZone zone(zoneName);
    if (!zone.isValid()) {
      ADD_FAILURE() << "no time-zone data for " << zoneName;
      continue;
    }
    ScopedTZ tz(zoneName);
    for (qint64 s : instants) {
      const std::time_t t = static_cast<std::time_t>(s);
      std::tm want{};
      ASSERT_NE(localtime_r(&t, &want), nullptr);
      expectSameAsLibc(makePCTime(QDateTime::fromSecsSinceEpoch(s, zone)), want,
                       std::string(zoneName) + " @" + std::to_string(s));
    }
  }
}

// This computer's own local time (whatever its zone) goes the same way.
TEST(PCTime, LocalTimeMatchesTheCLibrary) {
  for (qint64 s : {qint64(1711846800), qint64(1730001600), qint64(951825600)}) {
    const std::time_t t = static_cast<std::time_t>(s);
    std::tm want{};
    ASSERT_NE(localtime_r(&t, &want), nullptr);
    expectSameAsLibc(makePCTime(QDateTime::fromSecsSinceEpoch(s)), want, std::to_string(s));
  }
}

// ---- Lock text ---------------------------------------------------------------------------------

TEST(LockText, Is36UpperCaseCharactersThenFourNuls) {
  const QUuid uuid("{0f8fad5b-d9cb-469f-a165-70867728950e}");
  const QString text = lockUuidText(uuid);
  EXPECT_EQ(text, "0F8FAD5B-D9CB-469F-A165-70867728950E");
  ASSERT_EQ(text.size(), qsizetype(FCL_UUID_TEXT_LENGTH));

  for (const FCL_LOCK_TEXT& lock : {makeLockText(uuid), makeLockText(text)}) {
    EXPECT_EQ(0, std::memcmp(lock.szUUID, "0F8FAD5B-D9CB-469F-A165-70867728950E", 36));
    for (std::size_t i = 36; i < 40; ++i) EXPECT_EQ(lock.szUUID[i], 0) << i;
  }

  // A fresh UUID has the same shape.
  const FCL_LOCK_TEXT fresh = makeLockText(QUuid::createUuid());
  EXPECT_EQ(std::strlen(fresh.szUUID), FCL_UUID_TEXT_LENGTH);
  for (std::size_t i = 0; i < FCL_UUID_TEXT_LENGTH; ++i) {
    const char c = fresh.szUUID[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) EXPECT_EQ(c, '-') << i;
    else EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << i << " " << c;
  }

  // A text longer than the field is cut so the last byte stays NUL.
  const FCL_LOCK_TEXT longer = makeLockText(QString(50, 'A'));
  EXPECT_EQ(std::strlen(longer.szUUID), 39u);
}

TEST(LockText, ComparesAsNulTerminatedTextWithinFortyBytes) {
  const FCL_LOCK_TEXT kept = makeLockText(QString("0F8FAD5B-D9CB-469F-A165-70867728950E"));

  FCL_LOCK_TEXT trailingJunk = kept;  // the scanner's bytes after the NUL do not count
  std::memcpy(trailingJunk.szUUID + 37, "xyz", 3);

  FCL_LOCK_TEXT otherLast = kept;
  otherLast.szUUID[35] = 'F';

  FCL_LOCK_TEXT lowerCase = makeLockText(QString("0f8fad5b-d9cb-469f-a165-70867728950e"));

  FCL_LOCK_TEXT full{};  // 40 non-NUL bytes: compared over all 40, never beyond
  std::memset(full.szUUID, 'Z', sizeof full.szUUID);
  FCL_LOCK_TEXT fullAgain = full;
  FCL_LOCK_TEXT fullOther = full;
  fullOther.szUUID[39] = 'Y';

  FCL_LOCK_TEXT empty{};

  struct Case {
    const char* label;
    const FCL_LOCK_TEXT& a;
    const FCL_LOCK_TEXT& b;
    bool same;
  } cases[] = {
      {"identical", kept, kept, true},
      {"junk after the NUL", kept, trailingJunk, true},
      {"last character differs", kept, otherLast, false},
      {"case differs", kept, lowerCase, false},
      {"no NUL, identical", full, fullAgain, true},
      {"no NUL, last byte differs", full, fullOther, false},
      {"kept text against 40 bytes without NUL", kept, full, false},
      {"empty reply", kept, empty, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameLockText(c.a, c.b), c.same) << c.label;
    EXPECT_EQ(sameLockText(c.b, c.a), c.same) << c.label << " (swapped)";
  }
}

// ---- SFTP key entry ----------------------------------------------------------------------------

TEST(SFTPKeyEntry, NameIsTheBytesUpToTheFirstNulAndAtMost72) {
  FCL_RS_SFTP_KEY_ENTRY entries[2];
  std::memset(entries, 'k', sizeof entries);  // entry 0 without NUL, entry 1 right after it
  EXPECT_EQ(platform::textFromField(entries[0].szKeyName), QString(72, 'k'));

  std::memset(&entries[1], 0, sizeof entries[1]);
  std::memcpy(entries[1].szKeyName, "client-rsa\0garbage", 18);
  EXPECT_EQ(platform::textFromField(entries[1].szKeyName), "client-rsa");
}

}  // namespace
