// Every device operation of IOWrapper against the simulated scanner: the command block each
// simple operation sends (over TCP and over the simulated USB scanner), its error text when the
// exchange fails, and the sequences and partial failures of the composite operations.
#include <gtest/gtest.h>

#include <QStringList>
#include <cstring>
#include <functional>
#include <memory>

#include "support/TestBytes.h"
#include "IO/FCLCodes.h"
#include "IO/FCLRecords.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "USB/UsbIds.h"
#include "UsbScanner.h"
#include "platform/usb/FakeUsbHost.h"
#include "support/LogCapture.h"
#include "support/ScannerRig.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

// A fault that makes the exchange of one command fail: the scanner hangs up before answering.
sim::Fault cutOff(uint8_t opcode, uint8_t dtc, uint16_t dtq) {
  sim::Fault f;
  f.opcode = opcode;
  f.dtc = dtc;
  f.dtq = dtq;
  f.closeAfterSent = 0;
  return f;
}

struct Block {
  uint8_t opcode, dtc;
  uint16_t dtq;
  uint32_t length;
  bool operator==(const Block&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Block& b) {
  return os << std::hex << "{op 0x" << int(b.opcode) << " class 0x" << int(b.dtc) << std::dec << " q " << b.dtq
            << " len " << b.length << "}";
}
std::vector<Block> blocksOf(const sim::CommandLog& log) {
  std::vector<Block> out;
  for (const auto& e : log.entries()) out.push_back({e.cmd.byOPCode, e.cmd.byDTC, e.cmd.wDTQ, e.cmd.dwDataLength});
  return out;
}


// ---------------------------------------------------------------------------------------------
// Simple operations: one exchange each

enum class Data { None, Out, In };  // Out: the caller's buffer goes to the scanner; In: it is filled

struct SimpleOp {
  const char* name;
  Block block;
  Data data;
  std::function<bool(IOWrapper&, uint8_t*)> run;  // the buffer holds at least block.length bytes
  const char* errorLine;
  bool lockFirst = false;
};

template <typename T>
T* as(uint8_t* p) {
  return reinterpret_cast<T*>(p);
}

const SimpleOp kSimpleOps[] = {
    {"getParamAll", {FOP_READ, 0x9A, 1, 2584}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getParamAll(as<FCL_RS_PARAM_ALL>(b)); },
     "=== -[IOWrapper getParamAll:] ERROR:  readCommand for ParamAll return False!\n"},
    {"setParamAll", {FOP_WRITE2, 0x9A, 1, 2584}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setParamAll(as<FCL_RS_PARAM_ALL>(b)); },
     "=== -[IOWrapper setParamAll:] ERROR:  setParamAll FAIL!\n"},
    {"setGeneral", {FOP_WRITE2, 0x9A, 2, 312}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setGeneral(as<FCL_RS_PARAM_GENERAL>(b)); },
     "=== -[IOWrapper setGeneral:] ERROR:  setGeneral FAIL!\n"},
    {"setFilename", {FOP_WRITE2, 0x9A, 4, 52}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setFilename(as<FCL_RS_PARAM_FILENAME>(b)); },
     "=== -[IOWrapper setFilename:] ERROR:  setFilename FAIL!\n"},
    {"setScan2USB", {FOP_WRITE2, 0x9A, 5, 64}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setScan2USB(as<FCL_RS_PARAM_SCANPROFILE>(b)); },
     "=== -[IOWrapper setScan2USB:] ERROR:  setScan2USB FAIL!\n"},
    {"setScan2Email", {FOP_WRITE2, 0x9A, 6, 64}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setScan2Email(as<FCL_RS_PARAM_SCANPROFILE>(b)); },
     "=== -[IOWrapper setScan2Email:] ERROR:  setScan2Email FAIL!\n"},
    {"setScan2PC", {FOP_WRITE2, 0x9A, 7, 64}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setScan2PC(as<FCL_RS_PARAM_SCANPROFILE>(b)); },
     "=== -[IOWrapper setScan2PC:] ERROR:  setScan2PC FAIL!\n"},
    {"setEmail", {FOP_WRITE2, 0x9A, 10, 852}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setEmail(as<FCL_RS_PARAM_EMAIL>(b)); },
     "=== -[IOWrapper setEmail:] ERROR:  setEmail FAIL!\n"},
    {"setNetSetting", {FOP_WRITE2, 0x9A, 11, 176}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setNetSetting(as<FCL_RS_PARAM_NETWORK_SETTING>(b)); },
     "=== -[IOWrapper setNetSetting:] ERROR:  setNetSetting FAIL!\n"},
    {"getWiredLAN", {FOP_READ, 0xA4, 1, 352}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getWiredLAN(as<FCL_RS_PARAM_NETWORK>(b)); },
     "=== -[IOWrapper getWiredLAN:] ERROR:  getWiredLAN FAIL!\n"},
    {"setWiredLAN", {FOP_WRITE, 0xA4, 1, 352}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setWiredLAN(as<FCL_RS_PARAM_NETWORK>(b)); },
     "=== -[IOWrapper setWiredLAN:] ERROR:  setWiredLAN FAIL!\n"},
    {"getWirelessLAN", {FOP_READ, 0xA4, 2, 352}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getWirelessLAN(as<FCL_RS_PARAM_NETWORK>(b)); },
     "=== -[IOWrapper getWirelessLAN:] ERROR:  getWirelessLAN FAIL!\n"},
    {"setWirelessLAN", {FOP_WRITE, 0xA4, 2, 352}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setWirelessLAN(as<FCL_RS_PARAM_NETWORK>(b)); },
     "=== -[IOWrapper setWirelessLAN:] ERROR:  setWirelessLAN FAIL!\n"},
    {"getLanguage", {FOP_READ, 0x31, 7, 1}, Data::In, [](IOWrapper& io, uint8_t* b) { return io.getLanguage(b); },
     "=== -[IOWrapper getLanguage:] ERROR:  readCommand for language return False!\n"},
    {"setLanguage", {FOP_WRITE, 0x31, 7, 1}, Data::Out, [](IOWrapper& io, uint8_t* b) { return io.setLanguage(b); },
     "=== -[IOWrapper setLanguage:] ERROR:  writeCommand for language return False!\n"},
    {"getProfileAll", {FOP_READ, 0x9E, 0, 42900}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getProfileAll(as<FCL_RS_PROFILE_ALL>(b)); },
     "=== -[IOWrapper getProfileAll:] ERROR:  readCommand return False!\n"},
    {"setProfileAll", {FOP_WRITE2, 0x9E, 0, 42900}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setProfileAll(as<FCL_RS_PROFILE_ALL>(b)); },
     "=== -[IOWrapper setProfileAll:] ERROR:  writeCommand return False!\n"},
    {"setProfile", {FOP_WRITE, 0x9E, 24, 1716}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setProfile(as<FCL_RS_PROFILE>(b), 24); },
     "=== -[IOWrapper setProfile:index:] ERROR:  writeCommand return False!\n"},
    {"getCapabilities", {FOP_READ, 0x01, 1, 72}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getCapabilities(as<FCL_CAP_HALVERN>(b)); },
     "=== -[IOWrapper getCapabilities:] ERROR: readCommand return False!\n"},
    {"getDeviceStatus", {FOP_INQUIRY, 0x02, 0, 0}, Data::None,
     [](IOWrapper& io, uint8_t* b) { return io.getDeviceStatus(as<FCL_DEVICE_STATUS>(b)); },
     "=== -[IOWrapper getDeviceStatus:] ERROR:  readCommand return False!\n"},
    {"getNVRAM", {FOP_READ, 0x10, 104, 24}, Data::In, [](IOWrapper& io, uint8_t* b) { return io.getNVRAM(b, 104, 24); },
     "=== -[IOWrapper getNVRAM:offset:length:] ERROR:  readCommand return False!\n"},
    {"setNVRAM", {FOP_WRITE, 0x10, 200, 8}, Data::Out, [](IOWrapper& io, uint8_t* b) { return io.setNVRAM(b, 200, 8); },
     "=== -[IOWrapper setNVRAM:offset:length:] ERROR:  writeCommand return False!\n"},
    {"setPCTime", {FOP_WRITE, 0x66, 0, 56}, Data::None, [](IOWrapper& io, uint8_t*) { return io.setPCTime(); },
     "=== -[IOWrapper setPCTime] ERROR:  WriteCommand return FALSE! (56)\n"},
    {"resetFactoryReset", {FOP_COMMAND, 0xA7, 5, 0}, Data::None,
     [](IOWrapper& io, uint8_t*) { return io.resetFactoryReset(); },
     "=== -[IOWrapper resetFactoryReset] ERROR:  WriteCommand return FALSE!\n"},
    {"resetScheduledMaintenance", {FOP_COMMAND, 0xA7, 6, 0}, Data::None,
     [](IOWrapper& io, uint8_t*) { return io.resetScheduledMaintenance(); },
     "=== -[IOWrapper resetScheduledMaintenance] ERROR:  WriteCommand return FALSE!\n"},
    {"resetPickupRoller", {FOP_COMMAND, 0xA7, 7, 0}, Data::None,
     [](IOWrapper& io, uint8_t*) { return io.resetPickupRoller(); },
     "=== -[IOWrapper resetPickupRoller] ERROR:  WriteCommand return FALSE!\n"},
    {"resetFileNameCounter", {FOP_COMMAND, 0xA7, 8, 0}, Data::None,
     [](IOWrapper& io, uint8_t*) { return io.resetFileNameCounter(); },
     "=== -[IOWrapper resetFileNameCounter] ERROR:  return FALSE!\n"},
    {"getFactoryDefsetting", {FOP_READ, 0xA8, 4, 64}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getFactoryDefsetting(as<FCL_RS_FACTORY_DEFSETTING>(b)); },
     "=== -[IOWrapper getFactoryDefsetting:] ERROR:  readCommand return False!\n"},
    {"getAddressBook", {FOP_READ, 0x9B, 0, 114036}, Data::In,
     [](IOWrapper& io, uint8_t* b) { return io.getAddressBook(as<FCL_RS_ADDRESS_BOOK>(b)); },
     "=== -[IOWrapper getAddressBook:] ERROR:  readCommand return False!\n"},
    {"setAddressBook", {FOP_WRITE2, 0x9B, 0, 114036}, Data::Out,
     [](IOWrapper& io, uint8_t* b) { return io.setAddressBook(as<FCL_RS_ADDRESS_BOOK>(b)); },
     "=== -[IOWrapper setAddressBook:] ERROR:  writeCommand return False!\n"},
    {"lockScanner", {FOP_WRITE, 0x98, 1, 40}, Data::None, [](IOWrapper& io, uint8_t*) { return io.lockScanner(); },
     "=== -[IOWrapper lockScanner] ERROR:  WriteCommand return FALSE!\n"},
    {"unlockScanner", {FOP_WRITE, 0x98, 2, 40}, Data::None, [](IOWrapper& io, uint8_t*) { return io.unlockScanner(); },
     "=== -[IOWrapper unlockScanner] ERROR:  WriteCommand return FALSE!\n", true},
};

enum class Link { Tcp, Usb };

std::unique_ptr<Rig> makeRig(Link link) {
  if (link == Link::Tcp) return std::make_unique<TcpRig>();
  return std::make_unique<UsbRig>();
}

class SimpleOperation : public ::testing::TestWithParam<std::tuple<Link, std::size_t>> {};

// The block goes out as the table says, the caller's bytes travel unchanged, and a failed
// exchange is answered false with the operation's own error line.
TEST_P(SimpleOperation, SendsItsBlockAndReportsItsFailure) {
  const auto [link, index] = GetParam();
  const SimpleOp& op = kSimpleOps[index];
  ScopedDebugMask mask(0x02);
  LogCapture syslog;
  auto rig = makeRig(link);
  ASSERT_TRUE(rig->io.isOpen());
  if (op.lockFirst) {
    ASSERT_TRUE(rig->io.lockScanner());
    ASSERT_TRUE(rig->log().waitForCount(1));
    rig->log().clear();
  }

  sim::Bytes buffer = op.data == Data::In ? sim::Bytes(op.block.length + 64, 0) : pattern(op.block.length + 64, 5);
  const sim::Bytes before = buffer;
  ASSERT_TRUE(op.run(rig->io, buffer.data()));
  ASSERT_TRUE(rig->log().waitForCount(1));
  const sim::LoggedCommand e = rig->log().entries()[0];
  EXPECT_EQ(rig->log().size(), 1u);
  EXPECT_EQ((Block{e.cmd.byOPCode, e.cmd.byDTC, e.cmd.wDTQ, e.cmd.dwDataLength}), op.block);
  EXPECT_EQ(e.cmd.dwVendorID, FCL_VENDOR_ID);
  EXPECT_TRUE(e.completed);
  const auto used = static_cast<std::ptrdiff_t>(op.block.length);
  if (op.data == Data::Out) {
    EXPECT_EQ(e.dataIn, sim::Bytes(before.begin(), before.begin() + used));
  }
  if (op.data == Data::In) {
    EXPECT_EQ(sim::Bytes(buffer.begin(), buffer.begin() + used), e.dataOut);
    EXPECT_EQ(sim::Bytes(buffer.begin() + used, buffer.end()), sim::Bytes(64, 0)) << "nothing beyond the record";
  }
  if (op.block.dtc == FCLC_RS_SCANNER_LOCK) {
    EXPECT_EQ(e.dataIn, bytesOf(makeLockText(rig->io.uuid())));
  }
  EXPECT_TRUE(syslog.lines().filter("ERROR").isEmpty()) << syslog.lines().join("|").toStdString();

  // The same operation when the scanner hangs up on it.
  rig->log().clear();
  rig->faults().add(cutOff(op.block.opcode, op.block.dtc, op.block.dtq));
  EXPECT_FALSE(op.run(rig->io, buffer.data()));
  EXPECT_TRUE(syslog.contains(op.errorLine)) << syslog.lines().join("|").toStdString();
  ASSERT_TRUE(rig->log().waitForCount(1));
  EXPECT_FALSE(rig->log().entries()[0].completed);
}

INSTANTIATE_TEST_SUITE_P(Table, SimpleOperation,
                         ::testing::Combine(::testing::Values(Link::Tcp, Link::Usb),
                                            ::testing::Range<std::size_t>(0, std::size(kSimpleOps))),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == Link::Tcp ? "Tcp_" : "Usb_") +
                                  kSimpleOps[std::get<1>(info.param)].name;
                         });

// ---------------------------------------------------------------------------------------------
// Composite operations, over TCP

class DeviceOperations : public ::testing::Test {
 protected:
  DeviceOperations() : limits(5s), mask(0x03) { EXPECT_TRUE(io.openScanner(sim.address())); }

  // Every command the scanner has finished with, once it has gone quiet.
  std::vector<Block> sent() {
    EXPECT_TRUE(sim.scanner().waitIdle());
    return blocksOf(sim.log());
  }
  // Waits until the scanner has finished with everything sent (a write's data may still be on
  // its way when the operation returns), then forgets it.
  void settle() { EXPECT_TRUE(sim.scanner().waitIdle()); }
  void startLog() {
    settle();
    sim.log().clear();
  }

  ScopedSocketLimits limits;
  ScopedDebugMask mask;
  LogCapture syslog;
  SimScanner sim;
  IOWrapper io;
};

TEST_F(DeviceOperations, SetLampStateChoosesTheSecondQualifierAndSendsTheWholeRecord) {
  struct Case {
    uint32_t autoOff;
    uint16_t second;
  };
  for (const Case c : {Case{0, FCLD_LAMP_CRG2_CLEAR}, Case{60, FCLD_LAMP_CRG2_SET}}) {
    SCOPED_TRACE(c.autoOff);
    startLog();
    const FCL_LAMP_STATE lamp{7, 25, 9, c.autoOff};
    ASSERT_TRUE(io.setLampState(&lamp));
    ASSERT_TRUE(sim.log().waitForCount(2));
    EXPECT_EQ(sent(), (std::vector<Block>{{FOP_WRITE, 0x14, 2, 16}, {FOP_WRITE, 0x14, c.second, 16}}));
    for (const auto& e : sim.log().entries()) EXPECT_EQ(e.dataIn, bytesOf(lamp));
    EXPECT_EQ(sim.model().sleepTime(), 25u);
    EXPECT_EQ(sim.model().autoPowerOffTime(), c.autoOff);
  }
}

TEST_F(DeviceOperations, SetLampStateStopsAfterAFailedFirstWrite) {
  sim.faults().add(cutOff(FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1));
  const FCL_LAMP_STATE lamp{0, 25, 0, 60};
  EXPECT_FALSE(io.setLampState(&lamp));
  ASSERT_TRUE(sim.log().waitForCount(1));
  EXPECT_EQ(sent(), (std::vector<Block>{{FOP_WRITE, 0x14, 2, 16}}));
  EXPECT_TRUE(syslog.contains("=== -[IOWrapper setLampState:] ERROR:  writeCommand for lamp return False!\n"));
}

TEST_F(DeviceOperations, GetLampStateReadsTwoWordsAndLeavesTheOthers) {
  ASSERT_TRUE(io.setLampState(std::make_unique<FCL_LAMP_STATE>(FCL_LAMP_STATE{0, 35, 0, 90}).get()));
  startLog();

  FCL_LAMP_STATE lamp{111, 0, 222, 0};
  ASSERT_TRUE(io.getLampState(&lamp));
  EXPECT_EQ(sent(), (std::vector<Block>{{FOP_READ, 0x14, 2, 16}, {FOP_READ, 0x14, 5, 16}}));
  EXPECT_EQ(lamp.dwCrg1Lamp1, 111u);
  EXPECT_EQ(lamp.dwCrg1Lamp2, 35u);
  EXPECT_EQ(lamp.dwCrg2Lamp1, 222u);
  EXPECT_EQ(lamp.dwCrg2Lamp2, 90u);

  // A failed second read: the sleep time is already in, the power-off time is not.
  sim.faults().add(cutOff(FOP_READ, FCLC_LAMP, FCLD_LAMP_CRG2_SET));
  FCL_LAMP_STATE partial{1, 2, 3, 4};
  EXPECT_FALSE(io.getLampState(&partial));
  EXPECT_EQ(bytesOf(partial), bytesOf(FCL_LAMP_STATE{1, 35, 3, 4}));
  EXPECT_TRUE(syslog.contains("=== -[IOWrapper getLampState:] ERROR:  readCommand for lamp return False!\n"));
}

TEST_F(DeviceOperations, KeyListsAppendTheirNamesOrNothing) {
  struct List {
    const char* name;
    uint16_t countQ, listQ;
    std::function<uint32_t(IOWrapper&, QStringList&)> read;
    std::function<void(sim::ScannerModel&, const std::vector<std::string>&)> set;
  };
  const List lists[] = {
      {"client", 7, 8, [](IOWrapper& io, QStringList& l) { return io.getSFTPClientKeyPair(l); },
       [](sim::ScannerModel& m, const std::vector<std::string>& n) { m.setSftpClientKeys(n); }},
      {"server", 9, 10, [](IOWrapper& io, QStringList& l) { return io.getSFTPServerKeyPair(l); },
       [](sim::ScannerModel& m, const std::vector<std::string>& n) { m.setSftpServerKeys(n); }},
  };
  for (const List& l : lists) {
    SCOPED_TRACE(l.name);
    l.set(sim.model(), {"first", "second key", "bad \xff utf8"});
    startLog();
    QStringList list{"kept"};
    EXPECT_EQ(l.read(io, list), 3u);
    EXPECT_EQ(sent(), (std::vector<Block>{{FOP_READ, 0xA9, l.countQ, 4}, {FOP_READ, 0xA9, l.listQ, 216}}));
    EXPECT_EQ(list, (QStringList{"kept", "first", "second key", QString::fromUtf8("bad \xef\xbf\xbd utf8")}));

    // The list read fails: 0, nothing appended.
    startLog();
    sim.faults().add(cutOff(FOP_READ, FCLC_RS_SFTP_KEY, l.listQ));
    list = {"kept"};
    EXPECT_EQ(l.read(io, list), 0u);
    EXPECT_EQ(list, QStringList{"kept"});
    EXPECT_EQ(sent().size(), 2u);
    EXPECT_TRUE(syslog.lines().filter(" Read key list return False!").size() > 0);

    // A count no scanner holds: no list read at all. No key: nothing more than the count.
    for (const uint32_t count : {1025u, 0u}) {
      startLog();
      sim.model().setRecord(FCLC_RS_SFTP_KEY, l.countQ, bytesOf(count));
      EXPECT_EQ(l.read(io, list), 0u);
      EXPECT_EQ(list, QStringList{"kept"});
      EXPECT_EQ(sent(), (std::vector<Block>{{FOP_READ, 0xA9, l.countQ, 4}}));
    }
  }
}

TEST_F(DeviceOperations, VendorTextIsUpToTwentyFourCharacters) {
  EXPECT_EQ(io.getVendorString(), QString::fromLatin1(reinterpret_cast<const char*>(sim.model().nvram(104, 24).data())));
  sim.model().setNvram(104, sim::Bytes(24, 'Q'));
  sim.model().setNvram(128, {'Z', 'Z'});  // the byte after the area is not part of it
  EXPECT_EQ(io.getVendorString(), QString(24, u'Q'));
  sim.model().setNvram(104, sim::Bytes(24, 0));
  EXPECT_EQ(io.getVendorString(), QString(""));

  sim.faults().add(cutOff(FOP_READ, FCLC_NVRAM, 104));
  EXPECT_EQ(io.getVendorString(), std::nullopt);
  EXPECT_TRUE(syslog.contains("=== -[IOWrapper getVendorString] ERROR:  readCommand return FALSE!\n"));
}

TEST_F(DeviceOperations, MachineInformationFromFiveReadsOrAllZero) {
  sim::ScannerModel& m = sim.model();
  m.setNvramWord(0, 4321);
  m.setNvramWord(64, 4000);
  m.setNvramWord(68, 3000);
  m.setNvram(162, {0x88, 0x13, 0xAB, 0xCD});  // 5000, then bytes that are not part of it
  m.setNvramWord(60, 150000);
  FCL_RS_MACHINE_INFO info;
  std::memset(&info, 0xEE, sizeof info);
  ASSERT_TRUE(io.getMachineInfo(&info));
  EXPECT_EQ(sent(), (std::vector<Block>{{FOP_READ, 0x10, 0, 4},
                                        {FOP_READ, 0x10, 64, 4},
                                        {FOP_READ, 0x10, 68, 4},
                                        {FOP_READ, 0x10, 162, 2},
                                        {FOP_READ, 0x10, 60, 4}}));
  EXPECT_EQ(bytesOf(info), bytesOf(FCL_RS_MACHINE_INFO{4321, 4000, 5000, 3000, 150000}));

  struct Failing {
    uint16_t offset;
    const char* error;
  };
  const Failing failing[] = {
      {0, " readCommand for Scan count return FALSE!"},
      {64, " readCommand for Count at clean return FALSE!"},
      {68, " readCommand for Count at roller return FALSE!"},
      {162, " readCommand for Maint clean int return FALSE!"},
      {60, " readCommand for Maint roller replace interval return FALSE!"},
  };
  for (const Failing& f : failing) {
    SCOPED_TRACE(f.offset);
    sim.faults().add(cutOff(FOP_READ, FCLC_NVRAM, f.offset));
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_FALSE(io.getMachineInfo(&info));
    EXPECT_EQ(bytesOf(info), sim::Bytes(sizeof info, 0));
    EXPECT_TRUE(syslog.contains(QString("=== -[IOWrapper getMachineInfo:] ERROR: %1\n").arg(f.error)));
  }
}

TEST_F(DeviceOperations, LockCheckFollowsWhoHoldsTheScanner) {
  // Before any lock: false, and nothing is sent.
  EXPECT_FALSE(io.readLockedUUID());
  EXPECT_FALSE(io.unlockScanner());
  EXPECT_TRUE(sent().empty());

  ASSERT_TRUE(io.lockScanner());
  EXPECT_EQ(io.lastError(), 0u);
  settle();
  EXPECT_EQ(QString::fromStdString(sim.model().lockHolderText()), io.uuid());
  EXPECT_TRUE(io.readLockedUUID());
  FCL_DEVICE_STATUS status{};
  ASSERT_TRUE(io.getDeviceStatus(&status));
  EXPECT_EQ(status.wFWInfo, 4);

  // Someone else's lock attempt meanwhile is refused; ours still holds.
  IOWrapper other;
  ASSERT_TRUE(other.openScanner(sim.address()));
  ASSERT_TRUE(other.lockScanner());
  EXPECT_EQ(other.lastError(), sim::kErrLockHeld);
  EXPECT_FALSE(other.readLockedUUID());
  EXPECT_TRUE(io.readLockedUUID());

  // We let go and the other client takes it: our check fails and says why.
  ASSERT_TRUE(io.unlockScanner());
  settle();
  EXPECT_FALSE(sim.model().isLocked());
  ASSERT_TRUE(io.getDeviceStatus(&status));
  EXPECT_EQ(status.wFWInfo, 0);
  ASSERT_TRUE(other.lockScanner());
  EXPECT_EQ(other.lastError(), 0u);
  syslog.clear();
  EXPECT_FALSE(io.readLockedUUID());
  EXPECT_TRUE(other.readLockedUUID());
  EXPECT_TRUE(syslog.contains(QString("=== -[IOWrapper readLockedUUID] ERROR:  szUUID[%1], uuid.UTF8[%2]\n")
                                  .arg(other.uuid(), io.uuid())));

  // A failed read of the holder.
  sim.faults().add(cutOff(FOP_READ, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK_UUID));
  EXPECT_FALSE(other.readLockedUUID());
  EXPECT_TRUE(syslog.contains("=== -[IOWrapper readLockedUUID] ERROR:  ReadCommand return FALSE!\n"));
}

TEST_F(DeviceOperations, RefusedLockStillCompletesWithTheFirmwareReject) {
  sim.model().setRefuseRemoteSetup(true);
  EXPECT_TRUE(io.lockScanner());
  EXPECT_EQ(io.lastError(), FCLE_FW_REJECT_RS);
  settle();
  EXPECT_FALSE(sim.model().isLocked());
  EXPECT_FALSE(io.uuid().isEmpty()) << "the UUID is kept even though the scanner refused";
  EXPECT_FALSE(io.readLockedUUID());
}

TEST_F(DeviceOperations, ShortcutCheckFindsTheFirstSlotInUse) {
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>(sim.model().addressBook());
  EXPECT_FALSE(io.isAddressInShortCut());

  for (const int slot : {299, 0}) {
    SCOPED_TRACE(slot);
    book->sNode[slot].dwIsInShortcut = 1;
    sim.model().setAddressBook(*book);
    syslog.clear();
    startLog();
    EXPECT_TRUE(io.isAddressInShortCut());
    EXPECT_TRUE(syslog.contains(QString("=== Node %1 is in shortcut \n").arg(slot)));
    EXPECT_EQ(sent(), (std::vector<Block>{{FOP_READ, 0x9B, 0, 114036}}));
  }
  // Only the value 1 counts.
  for (auto& node : book->sNode) node.dwIsInShortcut = 2;
  sim.model().setAddressBook(*book);
  EXPECT_FALSE(io.isAddressInShortCut());
  // A failed read is checked as the zeros it left.
  sim.faults().add(cutOff(FOP_READ, FCLC_RS_ADDRESS_BOOK, 0));
  book->sNode[5].dwIsInShortcut = 1;
  sim.model().setAddressBook(*book);
  EXPECT_FALSE(io.isAddressInShortCut());
}

TEST_F(DeviceOperations, DeviceStatusIsCopiedOnlyOnSuccess) {
  FCL_DEVICE_STATUS base{};
  base.dwLastErr = 0x2005;
  base.wFWInfo = 2;
  base.byPercentage = 40;
  base.byFWDebug[15] = 0x5A;
  sim.model().setBaseStatus(base);
  FCL_DEVICE_STATUS status;
  std::memset(&status, 0xAB, sizeof status);
  ASSERT_TRUE(io.getDeviceStatus(&status));
  EXPECT_EQ(bytesOf(status), bytesOf(base));

  sim.faults().add(cutOff(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0));
  std::memset(&status, 0xAB, sizeof status);
  EXPECT_FALSE(io.getDeviceStatus(&status));
  EXPECT_EQ(bytesOf(status), sim::Bytes(sizeof status, 0xAB));
}

TEST_F(DeviceOperations, ResetsAndWritesReachTheScannerState) {
  sim::ScannerModel& m = sim.model();
  m.setNvramWord(0, 9000);
  ASSERT_TRUE(io.resetScheduledMaintenance());
  ASSERT_TRUE(io.resetPickupRoller());
  FCL_RS_MACHINE_INFO info{};
  ASSERT_TRUE(io.getMachineInfo(&info));
  EXPECT_EQ(info.dwCountAtClean, 9000u);
  EXPECT_EQ(info.dwCountAtRoller, 9000u);

  auto block = std::make_unique<FCL_RS_PARAM_ALL>();
  ASSERT_TRUE(io.getParamAll(block.get()));
  std::strcpy(block->sFilename.szName, "INVOICE");
  ASSERT_TRUE(io.setFilename(&block->sFilename));
  ASSERT_TRUE(io.resetFileNameCounter());
  block->sGeneral.sPanel.byBeepVolume = 0;
  ASSERT_TRUE(io.setGeneral(&block->sGeneral));
  std::strcpy(block->sWiredLAN.szIPAddress, "192.0.2.99");
  ASSERT_TRUE(io.setWiredLAN(&block->sWiredLAN));
  auto back = std::make_unique<FCL_RS_PARAM_ALL>();
  ASSERT_TRUE(io.getParamAll(back.get()));
  block->sFilename.dwBALLScanCount = 0;
  EXPECT_EQ(bytesOf(*back), bytesOf(*block));

  ASSERT_TRUE(io.setPCTime());
  settle();
  ASSERT_TRUE(m.lastPCTime());
  EXPECT_GT(m.lastPCTime()->tm_year, 100);

  ASSERT_TRUE(io.resetFactoryReset());
  ASSERT_TRUE(io.getParamAll(back.get()));
  EXPECT_EQ(bytesOf(*back), bytesOf(m.factoryParamAll()));
}

}  // namespace
