#include "ScannerContent.h"

#include <algorithm>
#include <cstring>

#include "IO/FCLCodes.h"

namespace sim {

namespace {

// Text into a char[N] field: cut to N-1 bytes, NUL-filled.
template <std::size_t N>
void put(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  std::memcpy(field, text, std::min(std::strlen(text), N - 1));
}

template <typename T>
void putNvram(std::vector<uint8_t>& nvram, FCL_NVRAM_AREA area, T value) {
  std::memcpy(nvram.data() + area.wOffset, &value, sizeof value);  // little-endian host, as the scanner
}

void putNvramText(std::vector<uint8_t>& nvram, FCL_NVRAM_AREA area, const char* text) {
  std::fill_n(nvram.begin() + area.wOffset, area.dwLength, uint8_t{0});
  std::memcpy(nvram.data() + area.wOffset, text, std::min<std::size_t>(std::strlen(text), area.dwLength));
}

FCL_RS_PARAM_SCANPROFILE scanOptions(uint8_t scanType, uint16_t colorDpi, bool duplex) {
  FCL_RS_PARAM_SCANPROFILE s{};
  s.byScanType = scanType;
  s.byFileType_BW = 1;
  s.byFileType_Gray = 1;
  s.byFileType_Color = 1;
  s.byFileType_Auto = 1;
  s.byFileSize_Gray = 2;
  s.byFileSize_Color = 2;
  s.byFileSize_Auto = 2;
  s.wResolution_BW = 300;
  s.wResolution_Gray = 200;
  s.wResolution_Color = colorDpi;
  s.wResolution_Auto = 200;
  s.byDocumentSize = 0;  // automatic
  s.dwPaperWidth = 2100;   // A4, tenths of a millimetre
  s.dwPaperHeight = 2970;
  s.byAutoDeskew = 1;
  s.bySkipBlankPage = 0;
  s.byDuplexScan = duplex ? 1 : 0;
  s.byMultifeedDetection = 1;
  s.byContinuousScan = 0;
  return s;
}

FCL_RS_PARAM_ALL factoryBlock(bool networkModel) {
  FCL_RS_PARAM_ALL p{};
  p.dwStructVersion = FCL_RS_STRUCT_VERSION;

  FCL_RS_PARAM_GENERAL& g = p.sGeneral;
  g.sPanel.byBeepVolume = 2;
  g.sPanel.byBacklightLevel = 1;  // medium: 0 light, 1 medium, 2 dark
  g.sPanel.wDimTimer = 30;
  g.sPanel.u64PanelLangCap = 0x3FF;  // ten panel languages
  g.sPanel.dwPanelLangCur = 0;
  g.sPanel.byShowScanResult = 1;
  g.sEdgeCorrection = {2, -1, 3, 0, 1, 1};

  FCL_RS_PARAM_DATE_TIME& t = g.sDateTime;
  t.bySetTimeMethod = 1;
  t.byTimeZoneNegative = 1;  // UTC-05:00
  t.byEnableDST = 1;
  t.byClockType = 1;         // 24-hour
  t.dwTimeDiffSecs = 5 * 3600;
  t.dwTimeStyle = 0;
  t.dwTimeApplyDST = 3600;
  t.dwTimeFromePC = 1;
  t.sSNTPSetting.byServerMethod = 0;
  t.sSNTPSetting.dwPriPort = 123;
  t.sSNTPSetting.dwSecPort = 123;
  t.sSNTPSetting.dwAutoPort = 123;
  t.sSNTPSetting.dwSyncInterval = 24;
  g.byGolbal_MultiDetect = 1;
  g.byScheduled_ME = 1;

  FCL_RS_PARAM_FILENAME& f = p.sFilename;
  f.byFormat = 1;
  put(f.szName, "SCAN");
  f.byDateTime = 1;
  f.byCountType = 1;
  f.byCountDigit = 4;
  f.dwCountInitValue = 1;
  f.dwBALLScanCount = 0;

  p.sScan2USB = scanOptions(1, 300, true);
  p.sScan2Email = scanOptions(2, 150, false);
  p.sScan2PC = scanOptions(3, 300, true);

  if (networkModel) {
    FCL_RS_PARAM_NETWORK_SETTING& n = p.sNetSetting;
    n.byIntrface = 1;  // wired LAN (0 off, 1 wired, 2 wireless, 3 automatic): the link it announces
    n.byEnableEWS = n.byEnableSNMP = n.byEnableRemoteSetup = n.byEnableWSD = 1;
    n.byEnableSMTP = n.byEnableFTPC = n.byEnableSFTP = n.byEnableCIFS = 1;
    n.byEnableMDNS = n.byEnableLLMNR = n.byEnableSNTP = 1;
    n.byEnableEWSHTTP = n.byEnableEWSHTTPS = 1;
    n.byEnableNetScan = 1;
    put(n.szWSD_Name, "QMX-7315W-005321");
    put(n.szBonjour_Name, "Zerelta QMX-7315W (005321)");

    for (FCL_RS_PARAM_NETWORK* lan : {&p.sWiredLAN, &p.sWirelessLAN}) {
      lan->byBootMethod = 1;  // DHCP (0 static)
      lan->byIPBootTries = 3;
      lan->byAPIPA = 1;
      lan->byDNSConfig = 1;
      lan->byNetBiosOn = 1;
      lan->dwTimeoutTcp = 30;
      lan->dwTimeoutGateway = 30;
      put(lan->szNodeName, "QMX7315W-005321");
    }
    p.sWiredLAN.byInterfaceUp = 1;
    put(p.sWiredLAN.szMACAddress, "00:00:5E:00:53:21");
    put(p.sWirelessLAN.szMACAddress, "00:00:5E:00:53:22");

    p.sEmail.wSMTPPort = 25;
    put(p.sEmail.szSenderSubject, "Scanned document");
    p.sEmail.byMailMaximumSize = 10;
  }
  return p;
}

// The factory block as an office has set it up.
FCL_RS_PARAM_ALL configuredBlock(bool networkModel) {
  FCL_RS_PARAM_ALL p = factoryBlock(networkModel);
  p.dwFW_DebugField1 = 0x00010203;
  p.sFilename.dwBALLScanCount = 37;
  put(p.sFilename.szName, "OFFICE");
  if (!networkModel) return p;

  FCL_RS_SNTP_SETTING& sntp = p.sGeneral.sDateTime.sSNTPSetting;
  sntp.byServerMethod = 1;
  put(sntp.szPriServerAddr, "192.0.2.123");
  put(sntp.szSecServerAddr, "198.51.100.123");

  FCL_RS_PARAM_NETWORK& wired = p.sWiredLAN;
  wired.byBootMethod = 0;  // static
  put(wired.szIPAddress, "192.0.2.50");
  put(wired.szSubnetMask, "255.255.255.0");
  put(wired.szGateway, "192.0.2.1");
  put(wired.szDNSServerPrimary, "192.0.2.53");
  put(wired.szDNSServerSecondary, "198.51.100.53");

  FCL_RS_PARAM_NETWORK& wireless = p.sWirelessLAN;
  wireless.byDHCPGetIP = 1;
  put(wireless.szIPAddress, "198.51.100.50");
  put(wireless.szSubnetMask, "255.255.255.0");
  put(wireless.szGateway, "198.51.100.1");
  put(wireless.szDNSServerPrimary, "198.51.100.53");

  FCL_RS_PARAM_EMAIL& e = p.sEmail;
  put(e.szDeviceMailAddress, "scanner@example.com");
  put(e.szSMTPServerName, "192.0.2.25");
  e.wSMTPPort = 587;
  e.bySMTPAuthentication = 1;
  put(e.szSMTPAuthAccount, "scanner");
  e.bySMTPSecureConnection = 1;
  put(e.szSenderMessage, "Scanned with the office scanner.");
  e.byMailSizeLimit = 1;

  put(p.sScanReportSetting.szAdminEmail, "admin@example.com");
  p.sScanReportSetting.dwScanToEmail = 12;
  p.sScanReportSetting.dwScanToFTP = 3;
  p.sScanReportSetting.dwScanToSFTP = 5;
  p.sScanReportSetting.dwScanToShareFolder = 20;
  return p;
}

void fillAddressBook(FCL_RS_ADDRESS_BOOK& book) {
  put(book.szIdentificator, "5D0C6E0A-1F4B-4C3E-9A77-2B8E6F1D4C10");
  // Groups and contacts in one index space 1..300, each in slot index-1, with free indexes and a
  // free group number (3) in between, as a book in use has after some edits. No entry is used by
  // a panel shortcut: the settings import refuses to run while one is (tests set the flag).
  struct Entry {
    uint32_t index;
    uint32_t type;
    uint32_t groups;
    const char* name;
    const char* mail;
  };
  static constexpr Entry entries[] = {
      {1, 1, 0, "Accounting", ""},
      {2, 2, 0, "Sales", ""},
      {4, 4, 0, "Support", ""},
      {5, 21, 0x1, "Alice Example", "alice@example.com"},
      {6, 21, 0x3, "Bob Example", "bob@example.com"},
      {7, 21, 0xA, "Carol Example", "carol@example.org"},
      {9, 21, 0x0, "Front Desk", "frontdesk@example.org"},
      {10, 21, 0x8, "", "helpdesk@example.org"},
      {12, 21, 0x9, "Dan Example", "dan@example.com"},
  };
  for (const Entry& e : entries) {
    FCL_RS_ADDRESS_BOOK_NODE& n = book.sNode[e.index - 1];
    n.dwNodeType = e.type;
    n.dwGroupMask = e.groups;
    put(n.szNodeName, e.name);
    put(n.szEmailAddress, e.mail);
    n.dwRefIdx = e.index - 1;
  }
}

void fillProfiles(FCL_RS_PROFILE_ALL& all) {
  auto start = [&](int slot, uint32_t type, const char* name) -> FCL_RS_PROFILE& {
    FCL_RS_PROFILE& p = all.sProfile[slot];
    p.dwStructVersion = FCL_RS_STRUCT_VERSION;
    p.dwProfileType = type;
    put(p.szProfileName, name);
    p.sScan2Network = scanOptions(2, 300, slot % 2 == 0);  // colour: a scan type the editor offers
    return p;
  };
  {
    FCL_RS_PROFILE& p = start(0, FCL_PROFILE_TYPE_SHARE_FOLDER, "Office share");
    put(p.sShareFolderSetting.szShareFolderUTF16, "\\\\192.0.2.10\\scans");
    p.sShareFolderSetting.byAuthMethod = 1;
    put(p.sShareFolderSetting.szUsername, "scan");
    put(p.sShareFolderSetting.szPassword, "scan-pass");
  }
  {
    FCL_RS_PROFILE& p = start(1, FCL_PROFILE_TYPE_SHARE_FOLDER, "Archive");
    put(p.sShareFolderSetting.szShareFolderUTF16, "\\\\198.51.100.10\\archive\\2024");
    p.sShareFolderSetting.byEnablePINCode = 1;
    put(p.sShareFolderSetting.szPINCode, "123");
  }
  {
    FCL_RS_PROFILE& p = start(2, FCL_PROFILE_TYPE_FTP, "FTP upload");
    put(p.sFTPSetting.szHost, "192.0.2.21");
    p.sFTPSetting.wPort = 21;
    put(p.sFTPSetting.szUsername, "ftpuser");
    put(p.sFTPSetting.szPassword, "ftp-pass");
    put(p.sFTPSetting.szRemoteDirectoryUTF16, "/incoming");
    p.sFTPSetting.byPassiveMode = 1;
  }
  {
    FCL_RS_PROFILE& p = start(3, FCL_PROFILE_TYPE_FTP, "FTP backup");
    put(p.sFTPSetting.szHost, "198.51.100.21");
    p.sFTPSetting.wPort = 2121;
    put(p.sFTPSetting.szUsername, "backup");
    put(p.sFTPSetting.szRemoteDirectoryUTF16, "/backup/scans");
  }
  {
    FCL_RS_PROFILE& p = start(4, FCL_PROFILE_TYPE_SFTP, "SFTP with key");
    put(p.sSFTPSetting.szHost, "192.0.2.22");
    p.sSFTPSetting.wPort = 22;
    p.sSFTPSetting.byAuthMethod = 1;  // key pair
    put(p.sSFTPSetting.szUsername, "sftpuser");
    p.sSFTPSetting.wClientKeyPairIndex = 1;
    p.sSFTPSetting.wSeverPublicKeyIndex = 0;
    put(p.sSFTPSetting.szRemoteDirectoryUTF16, "/upload");
  }
  {
    FCL_RS_PROFILE& p = start(5, FCL_PROFILE_TYPE_SFTP, "SFTP with password");
    put(p.sSFTPSetting.szHost, "198.51.100.22");
    p.sSFTPSetting.wPort = 22;
    p.sSFTPSetting.byAuthMethod = 0;
    put(p.sSFTPSetting.szUsername, "sftpuser");
    put(p.sSFTPSetting.szPassword, "sftp-pass");
    put(p.sSFTPSetting.szRemoteDirectoryUTF16, "/upload/password");
  }
}

}  // namespace

const char* factorySerial(bool networkModel) { return networkModel ? "ZRQ7315W-A0012345" : "ZRQ7305-B0067890"; }

std::unique_ptr<ScannerContent> makeScannerContent(bool networkModel) {
  auto c = std::make_unique<ScannerContent>();
  c->factoryParamAll = factoryBlock(networkModel);
  c->paramAll = configuredBlock(networkModel);

  FCL_RS_FACTORY_DEFSETTING& d = c->factoryDefaults;
  d.dwCountryCode = networkModel ? 1 : 2;
  d.dwDefAutoOffTime = 240;
  d.dwDefSleepTime = 15;
  d.dwDefTimeStyle = 0;
  d.dwDefClockStyle = 1;
  d.dwDefAutoDaylight = 1;
  d.dwDefScanSize = 0;
  d.dwDefTimeZone = -5 * 3600;
  d.u64PanelLangCap = 0x3FF;
  d.dwDefPanelLang = 0;
  d.sEdgeCorrection = c->factoryParamAll.sGeneral.sEdgeCorrection;

  // The two words the system reads are the sleep time and the auto power-off time; the scanner
  // fills the other two as well, and the system must leave its own copies of them alone.
  c->lamp = {1, 20, 2, 120};
  c->language = 0;

  FCL_CAP_HALVERN& cap = c->capabilities;
  cap.dwModule_Platform = networkModel ? 0x7315 : 0x7305;
  cap.dwBuildStage = 3;
  cap.dwVers_LowLevelBoot = 0x01000002;
  cap.dwVers_UBoot = 0x02010000;
  cap.dwVers_Kernel = 0x04090112;
  cap.dwVers_RootFileSystem = 0x01040007;
  cap.dwVers_FW = networkModel ? 0x01230045 : 0x01120030;
  cap.dwVers_Panel = networkModel ? 0x00020011 : 0;
  cap.dwVers_FW_FCL_CmdDef = 0x00000021;
  cap.dwVers_FW_FCL_StructDef = FCL_RS_STRUCT_VERSION;
  cap.dwVers_FW_FlashTable = 0x00000005;
  cap.dwVers_FPGA = 0x00010005;

  c->nvram.assign(kNvramSize, 0);
  putNvram<uint32_t>(c->nvram, FCL_NVRAM_SCAN_COUNT, 12873);
  putNvramText(c->nvram, FCL_NVRAM_SERIAL_NUMBER, networkModel ? "Z7315W0012345" : "Z7305B0067890");
  putNvram<uint32_t>(c->nvram, FCL_NVRAM_ROLLER_REPLACE_VAL, 200000);
  putNvram<uint32_t>(c->nvram, FCL_NVRAM_COUNT_AT_CLEAN, 12000);
  putNvram<uint32_t>(c->nvram, FCL_NVRAM_COUNT_AT_ROLLER, 4150);
  putNvramText(c->nvram, FCL_NVRAM_VENDOR_STRING, factorySerial(networkModel));
  putNvram<uint16_t>(c->nvram, FCL_NVRAM_MAINT_CLEAN_VAL, 5000);

  if (networkModel) {
    fillAddressBook(c->addressBook);
    fillProfiles(c->profiles);
    c->clientKeys = {"scanner-rsa-2048", "scanner-ed25519"};
    c->serverKeys = {"fileserver-192.0.2.22"};
  }
  return c;
}

std::vector<uint8_t> sftpKeyListBytes(const std::vector<std::string>& names) {
  std::vector<uint8_t> bytes(names.size() * sizeof(FCL_RS_SFTP_KEY_ENTRY), 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t n = std::min(names[i].size(), sizeof(FCL_RS_SFTP_KEY_ENTRY) - 1);
    std::memcpy(bytes.data() + i * sizeof(FCL_RS_SFTP_KEY_ENTRY), names[i].data(), n);
  }
  return bytes;
}

}  // namespace sim
