// The simulated scanner's own behaviour, through the hooks the protocol engine calls: its
// content, the settings block and its spliced sub-records, the lamp qualifiers, the lock, the
// resets, NVRAM bounds, and that all of it holds up with several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/TestBytes.h"
#include "IO/FCLCodes.h"
#include "ScannerModel.h"

using Kind = sim::ScannerModel::Kind;

namespace {

template <typename T>
T recordOf(const sim::Bytes& b) {
  T r;
  std::memset(&r, 0, sizeof r);
  std::memcpy(&r, b.data(), std::min(b.size(), sizeof r));
  return r;
}

// A write as the engine runs it: FOP_WRITE answers acceptWrite's verdict before the data, then
// hands the data over; FOP_WRITE2 answers what the write said. Answers the status's dwLastErr.
uint32_t writeTo(sim::ScannerModel& m, uint8_t opcode, uint8_t dtc, uint16_t dtq, const sim::Bytes& data) {
  const FCL_VENDOR_CMD cmd = command(opcode, dtc, dtq, static_cast<uint32_t>(data.size()));
  if (opcode == FOP_WRITE) {
    const uint32_t err = m.acceptWrite(cmd);
    m.write(cmd, data);
    return err;
  }
  return m.write(cmd, data);
}

sim::Bytes readFrom(sim::ScannerModel& m, uint8_t dtc, uint16_t dtq, uint32_t length, uint32_t* err = nullptr) {
  sim::Bytes out(length, 0);
  const uint32_t e = m.read(command(FOP_READ, dtc, dtq, length), out);
  if (err) *err = e;
  return out;
}

uint32_t runCommand(sim::ScannerModel& m, uint16_t dtq, uint8_t opcode = FOP_COMMAND) {
  return m.command(command(opcode, FCLC_RS_RESET, dtq, 0));
}

sim::Bytes lockText(const std::string& text) {
  sim::Bytes b(40, 0);
  std::memcpy(b.data(), text.data(), std::min<std::size_t>(text.size(), 40));
  return b;
}

bool isDocumentationAddress(const std::string& a) {
  return a.rfind("192.0.2.", 0) == 0 || a.rfind("198.51.100.", 0) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Content

TEST(ScannerModelContent, NetworkModelIsSetUpWithDocumentationAddressesOnly) {
  sim::ScannerModel m(Kind::Qmx7315w);
  const FCL_RS_PARAM_ALL p = m.paramAll();
  EXPECT_EQ(p.dwStructVersion, 57u);
  EXPECT_NE(p.sGeneral.sDateTime.dwTimeDiffSecs, 0u);
  EXPECT_STRNE(p.sFilename.szName, "");
  EXPECT_STRNE(p.sNetSetting.szWSD_Name, "");
  EXPECT_STRNE(p.sNetSetting.szBonjour_Name, "");
  EXPECT_STRNE(p.sWiredLAN.szNodeName, "");

  std::vector<std::string> addresses = {
      p.sWiredLAN.szIPAddress,        p.sWiredLAN.szGateway,         p.sWiredLAN.szDNSServerPrimary,
      p.sWiredLAN.szDNSServerSecondary, p.sWirelessLAN.szIPAddress, p.sWirelessLAN.szGateway,
      p.sEmail.szSMTPServerName,       p.sGeneral.sDateTime.sSNTPSetting.szPriServerAddr,
      p.sGeneral.sDateTime.sSNTPSetting.szSecServerAddr};
  const auto profiles = std::make_unique<FCL_RS_PROFILE_ALL>(m.profiles());
  int ofType[3] = {};
  for (const FCL_RS_PROFILE& pr : profiles->sProfile) {
    if (pr.szProfileName[0] == '\0') continue;
    ASSERT_LT(pr.dwProfileType, 3u);
    ++ofType[pr.dwProfileType];
    if (pr.dwProfileType == FCL_PROFILE_TYPE_FTP) addresses.push_back(pr.sFTPSetting.szHost);
    if (pr.dwProfileType == FCL_PROFILE_TYPE_SFTP) addresses.push_back(pr.sSFTPSetting.szHost);
    if (pr.dwProfileType == FCL_PROFILE_TYPE_SHARE_FOLDER) {
      const std::string share = pr.sShareFolderSetting.szShareFolderUTF16;
      ASSERT_EQ(share.rfind("\\\\", 0), 0u) << share;
      addresses.push_back(share.substr(2, share.find('\\', 2) - 2));
    }
  }
  for (const std::string& a : addresses) EXPECT_TRUE(isDocumentationAddress(a)) << a;
  for (int type = 0; type < 3; ++type) EXPECT_GE(ofType[type], 2) << "profiles of type " << type;

  const auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>(m.addressBook());
  int groups = 0, contacts = 0;
  for (const auto& n : book->sNode) {
    if (n.dwNodeType >= 1 && n.dwNodeType <= 20) ++groups;
    if (n.dwNodeType == 21) {
      ++contacts;
      const std::string mail = n.szEmailAddress;
      EXPECT_TRUE(mail.ends_with("@example.com") || mail.ends_with("@example.org")) << mail;
    }
  }
  EXPECT_GE(groups, 2);
  EXPECT_GE(contacts, 3);

  EXPECT_EQ(recordOf<uint32_t>(readFrom(m, FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_COUNT, 4)), 2u);
  EXPECT_EQ(recordOf<uint32_t>(readFrom(m, FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_SERVER_KEY_COUNT, 4)), 1u);
  const auto cap = recordOf<FCL_CAP_HALVERN>(readFrom(m, FCLC_CAPABILITY, FCLD_CAPABILITY_ALL, 72));
  EXPECT_EQ(cap.dwVers_FW_FCL_StructDef, 57u);
  EXPECT_NE(cap.dwVers_FW, 0u);
  const auto def = recordOf<FCL_RS_FACTORY_DEFSETTING>(readFrom(m, FCLC_RS_FACTORY_DEFSETTING, 4, 64));
  EXPECT_NE(def.dwCountryCode, 0u);
  const sim::Bytes vendor = readFrom(m, FCLC_NVRAM, 104, 24);
  EXPECT_NE(vendor[0], 0);
  EXPECT_GT(m.nvramWord(0), m.nvramWord(64));
}

TEST(ScannerModelContent, UsbOnlyModelHasNoNetworkSide) {
  sim::ScannerModel m(Kind::Qmx7305);
  const FCL_RS_PARAM_ALL p = m.paramAll();
  EXPECT_EQ(p.dwStructVersion, 57u);
  EXPECT_STREQ(p.sWiredLAN.szIPAddress, "");
  EXPECT_STREQ(p.sNetSetting.szBonjour_Name, "");
  EXPECT_STREQ(p.sEmail.szSMTPServerName, "");
  EXPECT_EQ(recordOf<uint32_t>(readFrom(m, FCLC_RS_SFTP_KEY, FCLD_RS_SFTP_CLIENT_KEY_COUNT, 4)), 0u);
  EXPECT_NE(readFrom(m, FCLC_NVRAM, 104, 24), sim::ScannerModel(Kind::Qmx7315w).nvram(104, 24));
}

// Simulators at different addresses are different scanners: the serial each takes by default
// differs by address and by model, fits the vendor-string field, and is what the scanner answers.
TEST(ScannerModelContent, SerialForAnAddressIsOneOfItsOwnAndIsWhatTheScannerReports) {
  const std::vector<std::string> addresses = {"127.0.0.1", "127.0.0.2", "127.0.1.2", "127.1.0.2",
                                              "127.0.0.20", "127.0.2.0", "0.0.0.0", "127.255.255.254"};
  std::set<std::string> seen;
  for (Kind kind : {Kind::Qmx7315w, Kind::Qmx7305}) {
    for (const std::string& address : addresses) {
      SCOPED_TRACE(address);
      const std::string serial = sim::ScannerModel::serialForAddress(kind, address);
      EXPECT_TRUE(seen.insert(serial).second) << serial << " twice";
      ASSERT_GE(serial.size(), 1u);
      ASSERT_LE(serial.size(), sim::ScannerModel::kMaxSerialLength);
      sim::ScannerModel m(kind);
      ASSERT_TRUE(m.setSerial(serial));
      const sim::Bytes field = readFrom(m, FCLC_NVRAM, 104, 24);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(field.data())), serial);
      EXPECT_EQ(field.back(), 0);
    }
  }
  // Not an IPv4 address: the factory serial.
  EXPECT_EQ(sim::ScannerModel::serialForAddress(Kind::Qmx7315w, "localhost"), sim::ScannerModel().serial());

  // The field holds 1 to 23 bytes; a refused serial changes nothing, a shorter one leaves no tail.
  sim::ScannerModel m;
  const std::string factory = m.serial();
  EXPECT_FALSE(m.setSerial(""));
  EXPECT_FALSE(m.setSerial(std::string(24, 'S')));
  EXPECT_EQ(m.serial(), factory);
  ASSERT_TRUE(m.setSerial(std::string(23, 'S')));
  ASSERT_TRUE(m.setSerial("AB"));
  EXPECT_EQ(m.serial(), "AB");
  EXPECT_EQ(readFrom(m, FCLC_NVRAM, 104, 24), sim::Bytes({'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                          0, 0, 0, 0, 0, 0}));
}

TEST(ScannerModelContent, LoadFactoryContentRestoresAClearedStore) {
  sim::ScannerModel m;
  const sim::Bytes before = *m.record(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL);
  m.clearRecords();
  m.forceLock("X");
  EXPECT_EQ(m.record(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL), std::nullopt);
  m.loadFactoryContent();
  EXPECT_EQ(m.record(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL), before);
  EXPECT_FALSE(m.isLocked());
}

// ---------------------------------------------------------------------------------------------
// Settings block and the records inside it

TEST(ScannerModelBlock, EachSubRecordWriteIsSplicedAtItsOffsetAndReadBack) {
  struct Case {
    const char* name;
    uint8_t opcode, dtc;
    uint16_t dtq;
    std::size_t offset, size;
  };
  const Case cases[] = {
      {"general", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, 16, 312},
      {"file name", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_FILENAME, 328, 52},
      {"scan to USB", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2USB, 380, 64},
      {"scan to e-mail", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2EMAIL, 444, 64},
      {"scan to PC", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2PC, 508, 64},
      {"network settings", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_NETSETTING, 572, 176},
      {"e-mail server", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_EMAIL, 1452, 852},
      {"wired LAN", FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, 748, 352},
      {"wireless LAN", FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS, 1100, 352},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScannerModel m;
    const sim::Bytes before = readFrom(m, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, 2584);
    const sim::Bytes data = pattern(c.size, static_cast<uint8_t>(c.offset));
    ASSERT_EQ(writeTo(m, c.opcode, c.dtc, c.dtq, data), 0u);

    const sim::Bytes after = readFrom(m, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, 2584);
    sim::Bytes expected = before;
    std::copy(data.begin(), data.end(), expected.begin() + static_cast<std::ptrdiff_t>(c.offset));
    EXPECT_EQ(after, expected);
    // Read alone, and through the record store, the sub-record is what was written.
    EXPECT_EQ(readFrom(m, c.dtc, c.dtq, static_cast<uint32_t>(c.size)), data);
    EXPECT_EQ(m.record(c.dtc, c.dtq), data);
  }
}

TEST(ScannerModelBlock, StoredInterfaceRecordAndTheBlockStayTheSame) {
  sim::ScannerModel m;
  const sim::Bytes wired = pattern(352, 3);
  m.setRecord(FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, wired);
  EXPECT_EQ(bytesOf(m.paramAll().sWiredLAN), wired);

  FCL_RS_PARAM_ALL block = m.paramAll();
  std::strcpy(block.sWirelessLAN.szIPAddress, "198.51.100.77");
  ASSERT_EQ(writeTo(m, FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, bytesOf(block)), 0u);
  const auto wireless = recordOf<FCL_RS_PARAM_NETWORK>(readFrom(m, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS, 352));
  EXPECT_STREQ(wireless.szIPAddress, "198.51.100.77");
}

TEST(ScannerModelBlock, WriteOfTheWrongLengthIsRefusedAndChangesNothing) {
  struct Case {
    const char* name;
    uint8_t opcode, dtc;
    uint16_t dtq;
    std::size_t length;
  };
  const Case cases[] = {
      {"general one byte short", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, 311},
      {"whole block one byte long", FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, 2585},
      {"wired LAN", FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, 100},
      {"lamp", FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1, 8},
      {"language", FOP_WRITE, FCLC_LANGUAGE, FCLD_LANGUAGE, 2},
      {"lock", FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, 39},
      {"single profile", FOP_WRITE, FCLC_RS_PROFILE, 3, 1715},
      {"address book", FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::ScannerModel m;
    const sim::Bytes block = *m.record(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL);
    const auto stored = m.record(c.dtc, c.dtq);
    EXPECT_EQ(writeTo(m, c.opcode, c.dtc, c.dtq, pattern(c.length, 1)), sim::kErrBadLength);
    EXPECT_EQ(*m.record(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL), block);
    EXPECT_EQ(m.record(c.dtc, c.dtq), stored);
    EXPECT_FALSE(m.isLocked());
  }
}

TEST(ScannerModelBlock, SingleProfileWriteLandsInItsSlot) {
  sim::ScannerModel m;
  const auto before = std::make_unique<FCL_RS_PROFILE_ALL>(m.profiles());
  const sim::Bytes slot = pattern(sizeof(FCL_RS_PROFILE), 9);
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_PROFILE, 24, slot), 0u);
  auto expected = std::make_unique<FCL_RS_PROFILE_ALL>(*before);
  std::memcpy(&expected->sProfile[24], slot.data(), slot.size());
  EXPECT_EQ(bytesOf(m.profiles()), bytesOf(*expected));

  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_PROFILE, 25, slot), sim::kErrOutOfRange);
  EXPECT_EQ(bytesOf(m.profiles()), bytesOf(*expected));
}

TEST(ScannerModelBlock, LanguageAndPCClockAreKept) {
  sim::ScannerModel m;
  EXPECT_EQ(m.lastPCTime(), std::nullopt);
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_LANGUAGE, FCLD_LANGUAGE, {3}), 0u);
  EXPECT_EQ(m.language(), 3);
  EXPECT_EQ(readFrom(m, FCLC_LANGUAGE, FCLD_LANGUAGE, 1), sim::Bytes{3});

  FCL_PC_TIME t{};
  t.tm_year = 124;
  t.tm_mday = 29;
  t.tm_gmtoff = -18000;
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_PC, bytesOf(t)), 0u);
  ASSERT_TRUE(m.lastPCTime());
  EXPECT_EQ(bytesOf(*m.lastPCTime()), bytesOf(t));
}

// ---------------------------------------------------------------------------------------------
// Lamp

TEST(ScannerModelLamp, QualifiersCarryTheirMeaning) {
  sim::ScannerModel m;
  const auto crg1 = recordOf<FCL_LAMP_STATE>(readFrom(m, FCLC_LAMP, FCLD_LAMP_CRG1, 16));
  EXPECT_EQ(crg1.dwCrg1Lamp2, m.sleepTime());

  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1, bytesOf(FCL_LAMP_STATE{70, 33, 71, 72})), 0u);
  EXPECT_EQ(m.sleepTime(), 33u);
  auto r2 = recordOf<FCL_LAMP_STATE>(readFrom(m, FCLC_LAMP, FCLD_LAMP_CRG1, 16));
  EXPECT_EQ(r2.dwCrg1Lamp2, 33u);
  EXPECT_EQ(r2.dwCrg1Lamp1, crg1.dwCrg1Lamp1) << "only the sleep time changes";
  EXPECT_EQ(r2.dwCrg2Lamp2, crg1.dwCrg2Lamp2);

  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG2_SET, bytesOf(FCL_LAMP_STATE{0, 99, 0, 60})), 0u);
  EXPECT_EQ(m.autoPowerOffTime(), 60u);
  EXPECT_EQ(m.sleepTime(), 33u) << "write 5 does not touch the sleep time";
  EXPECT_EQ(recordOf<FCL_LAMP_STATE>(readFrom(m, FCLC_LAMP, FCLD_LAMP_CRG2_SET, 16)).dwCrg2Lamp2, 60u);

  // Clearing turns the power-off time off whatever the record says.
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG2_CLEAR, bytesOf(FCL_LAMP_STATE{0, 33, 0, 45})), 0u);
  EXPECT_EQ(m.autoPowerOffTime(), 0u);
  EXPECT_EQ(recordOf<FCL_LAMP_STATE>(readFrom(m, FCLC_LAMP, FCLD_LAMP_CRG2_SET, 16)).dwCrg2Lamp2, 0u);
}

// ---------------------------------------------------------------------------------------------
// Lock

TEST(ScannerModelLock, TakenHeldAndReleasedOnlyByItsText) {
  sim::ScannerModel m;
  EXPECT_FALSE(m.isLocked());
  EXPECT_EQ(readFrom(m, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID, 40), sim::Bytes(40, 0));
  EXPECT_EQ(m.statusFor(0).wFWInfo, 0);

  const sim::Bytes a = lockText("AAAAAAAA-1111-2222-3333-444444444444");
  const sim::Bytes b = lockText("BBBBBBBB-1111-2222-3333-444444444444");
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, a), 0u);
  EXPECT_TRUE(m.isLocked());
  EXPECT_EQ(m.lockHolderText(), "AAAAAAAA-1111-2222-3333-444444444444");
  EXPECT_EQ(readFrom(m, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID, 40), a);
  EXPECT_EQ(m.statusFor(0).wFWInfo, 4);
  EXPECT_EQ(m.statusFor(0x1234).dwLastErr, 0x1234u);
  EXPECT_EQ(m.statusFor(0x1234).wFWInfo, 4);

  // Another text is refused by either opcode and the holder stays.
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, b), sim::kErrLockHeld);
  EXPECT_EQ(writeTo(m, FOP_WRITE2, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, b), sim::kErrLockHeld);
  EXPECT_EQ(m.lockHolder().szUUID[0], 'A');
  // Only the holder's text releases it.
  EXPECT_EQ(writeTo(m, FOP_WRITE2, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, b), sim::kErrLockHeld);
  EXPECT_TRUE(m.isLocked());
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, a), 0u);
  EXPECT_FALSE(m.isLocked());
  EXPECT_EQ(m.statusFor(0).wFWInfo, 0);
  EXPECT_EQ(readFrom(m, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID, 40), sim::Bytes(40, 0));

  // Now the other text may take it.
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, b), 0u);
  EXPECT_EQ(m.lockHolder().szUUID[0], 'B');
}

TEST(ScannerModelLock, TextsCompareUpToTheirNul) {
  sim::ScannerModel m;
  sim::Bytes taken = lockText("TEXT");
  taken[10] = 'x';  // after the NUL: not part of the text
  sim::Bytes released = lockText("TEXT");
  released[20] = 'y';
  ASSERT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, taken), 0u);
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, lockText("TEXTS")), 0u);
  EXPECT_TRUE(m.isLocked()) << "a longer text is another text";
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, released), 0u);
  EXPECT_FALSE(m.isLocked());
}

TEST(ScannerModelLock, RefusingRemoteSetupAnswersTheFirmwareRejectAndTakesNothing) {
  sim::ScannerModel m;
  m.setRefuseRemoteSetup(true);
  for (uint8_t opcode : {FOP_WRITE, FOP_WRITE2}) {
    EXPECT_EQ(writeTo(m, opcode, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, lockText("A")), FCLE_FW_REJECT_RS);
    EXPECT_FALSE(m.isLocked());
  }
  m.setRefuseRemoteSetup(false);
  EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, lockText("A")), 0u);
  EXPECT_TRUE(m.isLocked());
}

// ---------------------------------------------------------------------------------------------
// Resets

TEST(ScannerModelResets, EachResetChangesWhatItNames) {
  sim::ScannerModel m;
  m.setNvramWord(0, 5000);
  m.setNvramWord(64, 100);
  m.setNvramWord(68, 200);

  EXPECT_EQ(runCommand(m, FCLD_RS_RESET_SCHEDULED_MAINTENANCE, FOP_INQUIRY), 0u);
  EXPECT_EQ(m.nvramWord(64), 100u) << "only FOP_COMMAND resets";

  EXPECT_EQ(runCommand(m, FCLD_RS_RESET_SCHEDULED_MAINTENANCE), 0u);
  EXPECT_EQ(m.nvramWord(64), 5000u);
  EXPECT_EQ(m.nvramWord(68), 200u);

  EXPECT_EQ(runCommand(m, FCLD_RS_RESET_PICKUP_ROLLER), 0u);
  EXPECT_EQ(m.nvramWord(68), 5000u);

  const FCL_RS_PARAM_FILENAME name = m.paramAll().sFilename;
  ASSERT_NE(name.dwBALLScanCount, 0u);
  EXPECT_EQ(runCommand(m, FCLD_RS_RESET_FILENAME_COUNTER), 0u);
  FCL_RS_PARAM_FILENAME expected = name;
  expected.dwBALLScanCount = 0;
  EXPECT_EQ(bytesOf(m.paramAll().sFilename), bytesOf(expected));
}

TEST(ScannerModelResets, FactoryResetRestoresTheFactoryBlockAndLampTimes) {
  sim::ScannerModel m;
  ASSERT_NE(bytesOf(m.paramAll()), bytesOf(m.factoryParamAll())) << "the scanner is set up beyond its factory state";
  ASSERT_EQ(writeTo(m, FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, pattern(312, 4)), 0u);
  ASSERT_EQ(writeTo(m, FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1, bytesOf(FCL_LAMP_STATE{0, 99, 0, 0})), 0u);
  ASSERT_EQ(writeTo(m, FOP_WRITE, FCLC_LANGUAGE, FCLD_LANGUAGE, {5}), 0u);

  EXPECT_EQ(runCommand(m, FCLD_RS_RESET_FACTORY), 0u);
  const FCL_RS_PARAM_ALL factory = m.factoryParamAll();
  EXPECT_EQ(bytesOf(m.paramAll()), bytesOf(factory));
  EXPECT_EQ(factory.dwStructVersion, 57u);
  EXPECT_EQ(readFrom(m, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED, 352), bytesOf(factory.sWiredLAN));
  const auto def = recordOf<FCL_RS_FACTORY_DEFSETTING>(readFrom(m, FCLC_RS_FACTORY_DEFSETTING, 4, 64));
  EXPECT_EQ(m.sleepTime(), def.dwDefSleepTime);
  EXPECT_EQ(m.autoPowerOffTime(), def.dwDefAutoOffTime);
  EXPECT_EQ(m.language(), def.dwDefPanelLang);
}

// ---------------------------------------------------------------------------------------------
// NVRAM

TEST(ScannerModelNvram, RangesOutsideTheNvramAreRefusedWithZeros) {
  struct Case {
    uint16_t offset;
    uint32_t length;
    bool inside;
  };
  const Case cases[] = {
      {0, static_cast<uint32_t>(sim::kNvramSize), true},
      {static_cast<uint16_t>(sim::kNvramSize - 4), 4, true},
      {static_cast<uint16_t>(sim::kNvramSize - 3), 4, false},
      {static_cast<uint16_t>(sim::kNvramSize), 1, false},
      {0xFFFF, 4, false},
      {0, static_cast<uint32_t>(sim::kNvramSize + 1), false},
      {100, 0x100000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
    sim::ScannerModel m;
    m.setNvram(0, pattern(sim::kNvramSize, 1));
    const sim::Bytes all = m.nvram(0, sim::kNvramSize);

    uint32_t err = 0;
    const sim::Bytes got = readFrom(m, FCLC_NVRAM, c.offset, c.length, &err);
    if (c.inside) {
      EXPECT_EQ(err, 0u);
      EXPECT_EQ(got, sim::Bytes(all.begin() + c.offset, all.begin() + c.offset + c.length));
    } else {
      EXPECT_EQ(err, sim::kErrOutOfRange);
      EXPECT_EQ(got, sim::Bytes(c.length, 0));
    }

    const sim::Bytes data = pattern(c.length, 200);
    EXPECT_EQ(writeTo(m, FOP_WRITE, FCLC_NVRAM, c.offset, data), c.inside ? 0u : sim::kErrOutOfRange);
    EXPECT_EQ(writeTo(m, FOP_WRITE2, FCLC_NVRAM, c.offset, data), c.inside ? 0u : sim::kErrOutOfRange);
    if (c.inside) {
      EXPECT_EQ(m.nvram(c.offset, c.length), data);
    } else {
      EXPECT_EQ(m.nvram(0, sim::kNvramSize), all);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Threads

TEST(ScannerModelThreads, ConcurrentWritesNeverTearARecord) {
  sim::ScannerModel m;
  const sim::Bytes first = pattern(312, 1);
  const sim::Bytes second = pattern(312, 2);
  ASSERT_EQ(writeTo(m, FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, first), 0u);
  std::atomic<bool> torn{false};
  std::vector<std::thread> threads;
  for (int w = 0; w < 2; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < 300; ++i) {
        writeTo(m, FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, w == 0 ? first : second);
        writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, lockText(w == 0 ? "A" : "B"));
        writeTo(m, FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_UNLOCK, lockText(w == 0 ? "A" : "B"));
        m.command(command(FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_PICKUP_ROLLER, 0));
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 300; ++i) {
      const sim::Bytes block = readFrom(m, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, 2584);
      const sim::Bytes general(block.begin() + 16, block.begin() + 328);
      if (general != first && general != second) torn = true;
      m.statusFor(0);
      m.lockHolderText();
    }
  });
  for (auto& t : threads) t.join();
  EXPECT_FALSE(torn);
}
