// The monitor's scanner operations against the simulated scanner, over TCP and over the fake USB
// host: start-up from the device file, this computer's PC-list entry, the PC-list commands, the
// scan-button event, the clock, one operation at a time.
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "platform/PropertyList.h"
#include "support/PlistFixtures.h"
#include "monitor/ScannerUtility/MonitorDebugLog.h"
#include "monitor/controllerScan.h"
#include "platform/SystemLog.h"

using namespace monitor;
using namespace std::chrono_literals;

namespace {

// The system log's lines while it lives.
class DebugLines {
 public:
  DebugLines() {
    MonitorDebugLog::setEnabled(true);
    m_previous = platform::setSystemLogSink([this](const QString& line) {
      std::lock_guard lock(m_mutex);
      m_lines << line;
    });
  }
  ~DebugLines() {
    platform::setSystemLogSink(m_previous);
    MonitorDebugLog::setEnabled(false);
  }
  QStringList lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
  }

 private:
  mutable std::mutex m_mutex;
  QStringList m_lines;
  platform::SystemLogSink m_previous;
};

const char* kScannerUUID = "3F6A2C1E-7315-4B8D-9E21-5A0C0FFEE315";
const char* kPCUUID = "11111111-2222-3333-4444-555555555555";

// The scanner on one of the two links, a device file that points at it and a controllerScan.
class Link {
 public:
  virtual ~Link() = default;
  virtual sim::ScannerModel& model() = 0;
  virtual sim::FaultPlan& faults() = 0;
  virtual sim::CommandLog& log() = 0;
  virtual QString connection() = 0;
  virtual bool usb() const = 0;
  // Waits until the scanner has finished with what the client sent.
  virtual void settle() {}
};

class TcpLink : public Link {
 public:
  // The scanner serves on a thread of its own: what the client sent last is taken in once the
  // connection is done.
  sim::ScannerModel& model() override {
    m_sim.scanner().waitIdle();
    return m_sim.model();
  }
  sim::FaultPlan& faults() override { return m_sim.faults(); }
  sim::CommandLog& log() override {
    m_sim.scanner().waitIdle();
    return m_sim.log();
  }
  QString connection() override { return m_sim.address(); }
  bool usb() const override { return false; }
  void settle() override { m_sim.scanner().waitIdle(); }
  MonitorSim& sim() { return m_sim; }

 private:
  MonitorSim m_sim;
};

class UsbLink : public Link {
 public:
  sim::ScannerModel& model() override { return m_usb.model(); }
  sim::FaultPlan& faults() override { return m_usb.faults(); }
  sim::CommandLog& log() override { return m_usb.log(); }
  QString connection() override { return QStringLiteral("USB"); }
  bool usb() const override { return true; }

 private:
  MonitorUsbSim m_usb;
};

class ScanFixture {
 public:
  explicit ScanFixture(bool usb) {
    if (usb)
      link = std::make_unique<UsbLink>();
    else
      link = std::make_unique<TcpLink>();
    path = dir.path() + "/Library/Preferences/Zerelta/QMX-7315W/DeviceSetting.plist";
    writeDeviceFile(path, {{"VID", "1209"},
                           {"PID", "0001"},
                           {"IPAddress", link->connection()},
                           {"UUID", kScannerUUID},
                           {"PCUUID", kPCUUID}});
  }
  controllerScan::Environment environment(const QString& hostName = QStringLiteral("scan-host")) {
    controllerScan::Environment env;
    env.deviceFilePath = [p = path] { return p; };
    env.hostName = [hostName] { return hostName; };
    return env;
  }
  std::unique_ptr<controllerScan> make(const QString& hostName = QStringLiteral("scan-host")) {
    return std::make_unique<controllerScan>(environment(hostName));
  }

  ScopedMonitorTimings timings{ScopedMonitorTimings::quick()};
  QTemporaryDir dir;
  QString path;
  std::unique_ptr<Link> link;
};

class ControllerScanTest : public ::testing::TestWithParam<bool> {
 protected:
  ScanFixture f{GetParam()};
  sim::ScannerModel& model() { return f.link->model(); }
  std::vector<SeenCommand> seen() { return seenCommands(f.link->log()); }
};

std::string fieldText(const char* p, std::size_t n) { return std::string(p, strnlen(p, n)); }

}  // namespace

INSTANTIATE_TEST_SUITE_P(Links, ControllerScanTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Usb" : "Tcp"; });

// ---- Start-up and this computer's entry ------------------------------------------------------------

TEST_P(ControllerScanTest, EntryFollowsTheConnection) {
  auto scan = f.make();
  const FCL_RS_PCLIST& e = scan->pPCList();
  FCL_RS_PCLIST expected{};
  if (GetParam()) {
    std::strcpy(expected.szPCName, "USB");
    std::strcpy(expected.szPCUUID, kNilPCUUID);
    expected.dwConnectType = 0;
  } else {
    std::strcpy(expected.szPCName, "scan-host");
    std::strcpy(expected.szPCUUID, kPCUUID);
    expected.dwConnectType = 1;
  }
  EXPECT_EQ(std::memcmp(&e, &expected, sizeof e), 0);  // reserved bytes and field tails zero
  EXPECT_EQ(scan->usbWraper().scannerVendorID, 0x1209u);
  EXPECT_EQ(scan->usbWraper().scannerProductID, 0x0001u);
  EXPECT_EQ(scan->myUUID(), QString::fromLatin1(kScannerUUID));
}

TEST(ControllerScanStartUpTest, HostNamesAreCopiedAsPlainTextAndCut) {
  ScanFixture f(false);
  struct Case {
    QString host;
    std::string expected;
  };
  const std::string longName(300, 'h');
  const Case cases[] = {
      {QString::fromStdString(std::string(255, 'a')), std::string(255, 'a')},
      {QString::fromStdString(longName), std::string(255, 'h')},
      {QStringLiteral("100%-%s-%n"), "100%-%s-%n"},
  };
  for (const Case& c : cases) {
    auto scan = f.make(c.host);
    const FCL_RS_PCLIST& e = scan->pPCList();
    EXPECT_EQ(fieldText(e.szPCName, sizeof e.szPCName), c.expected);
    EXPECT_EQ(e.szPCName[255], '\0');
    // Sent as it stands.
    ASSERT_TRUE(scan->addPlistToDevice());
    const auto list = f.link->model().pcList();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(std::memcmp(&list[0], &e, sizeof e), 0);
    f.link->model().setPCList({});
  }
}

TEST(ControllerScanStartUpTest, EmptyOrMissingPCUUIDIsCreatedOnceAndKept) {
  for (bool missing : {false, true}) {
    ScanFixture f(false);
    QVariantMap file = readDeviceFile(f.path);
    if (missing)
      file.remove("PCUUID");
    else
      file["PCUUID"] = QString();
    file["Other"] = QStringLiteral("kept");
    writeDeviceFile(f.path, file);

    QString first;
    {
      auto scan = f.make();
      first = scan->PCUUID();
      EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                      .match(first)
                      .hasMatch())
          << first.toStdString();
      EXPECT_EQ(fieldText(scan->pPCList().szPCUUID, 40), first.toStdString());
    }
    const QVariantMap after = readDeviceFile(f.path);
    EXPECT_EQ(after.value("PCUUID").toString(), first);
    EXPECT_EQ(after.value("Other").toString(), "kept");
    auto again = f.make();
    EXPECT_EQ(again->PCUUID(), first);
  }
}

// The device file is rewritten key by key in its own format; one holding U+0000 (libplist would
// abort on it) is not read and not replaced.
TEST(ControllerScanStartUpTest, DeviceFileKeepsItsFormatAndValuesAndAFileWithUPlus0000IsLeftAlone) {
  const auto put = [](const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  };
  const auto bytesOf = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  {
    // A binary file with a UID, a date of 1900 and no PCUUID yet.
    ScanFixture f(false);
    QByteArray binary;
    ASSERT_EQ(platform::PropertyList::updateBytes(plistfixtures::everyKindBinary(),
                                                  {{"VID", "1209"}, {"PID", "0001"}, {"IPAddress", "127.0.0.9"}}, {},
                                                  binary),
              platform::PropertyList::Status::Ok);
    put(f.path, binary);
    const QVariantMap before = readDeviceFile(f.path);
    auto scan = f.make();
    scan->setIPAddressStr("127.0.0.10");
    scan->saveNewIPAddress();
    const QByteArray after = bytesOf(f.path);
    EXPECT_TRUE(after.startsWith("bplist00"));
    EXPECT_TRUE(after.contains(QByteArray("\x80\x05", 2)));  // the UID
    QVariantMap expected = before;
    expected.insert("PCUUID", scan->PCUUID());
    expected.insert("IPAddress", "127.0.0.10");
    EXPECT_EQ(readDeviceFile(f.path), expected);
  }
  for (const QByteArray& bad : plistfixtures::withNul()) {
    ScanFixture f(false);
    put(f.path, bad);
    auto scan = f.make();
    EXPECT_EQ(scan->IPAddressStr(), "USB");
    scan->setIPAddressStr("127.0.0.10");
    scan->saveNewIPAddress();
    EXPECT_EQ(bytesOf(f.path), bad);
  }
}

TEST(ControllerScanStartUpTest, MissingKeysTakeTheBuiltInValues) {
  ScanFixture f(false);
  writeDeviceFile(f.path, {{"PCUUID", kPCUUID}});
  DebugLines lines;
  auto scan = f.make();
  EXPECT_EQ(scan->usbWraper().scannerVendorID, controllerScan::kDefaultVendorID);
  EXPECT_EQ(scan->usbWraper().scannerProductID, controllerScan::kDefaultProductID);
  EXPECT_EQ(scan->IPAddressStr(), "USB");
  EXPECT_EQ(scan->myUUID(), "");
  EXPECT_TRUE(lines.lines().contains("DeviceSetting.plist has no VID; using \"1209\"")) << lines.lines().join("\n").toStdString();
  EXPECT_TRUE(lines.lines().contains("DeviceSetting.plist has no IPAddress; using \"USB\""));
}

// ---- PC list ------------------------------------------------------------------------------------

TEST_P(ControllerScanTest, CapacityCompareReadsCapacityThenCount) {
  auto scan = f.make();
  std::vector<FCL_RS_PCLIST> entries;
  for (int i = 0; i < 9; ++i) entries.push_back(sim::ScannerModel::pcEntry("pc" + std::to_string(i), std::to_string(i)));
  model().setPCList(entries);
  EXPECT_TRUE(scan->comparePCListMaxCountAndCurrentCount());  // 9 of 10
  entries.push_back(sim::ScannerModel::pcEntry("pc9", "9"));
  model().setPCList(entries);
  EXPECT_FALSE(scan->comparePCListMaxCountAndCurrentCount());  // 10 of 10
  const std::vector<SeenCommand> expected = {
      {monitor::FOP_READ, FCLC_RS_PCLIST, 3, 4}, {monitor::FOP_READ, FCLC_RS_PCLIST, 4, 4},
      {monitor::FOP_READ, FCLC_RS_PCLIST, 3, 4}, {monitor::FOP_READ, FCLC_RS_PCLIST, 4, 4}};
  EXPECT_EQ(seen(), expected);
}

TEST_P(ControllerScanTest, AddSendsTheEntryThenSetsTheClockAndRemoveTakesItOut) {
  auto scan = f.make();
  model().setPCList({sim::ScannerModel::pcEntry("other", "OTHER")});
  ASSERT_TRUE(scan->addPlistToDevice());
  auto list = model().pcList();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::memcmp(&list[1], &scan->pPCList(), sizeof list[1]), 0);
  EXPECT_TRUE(model().lastUTCTime().has_value());
  ASSERT_TRUE(scan->removePCList());
  list = model().pcList();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(fieldText(list[0].szPCUUID, 40), "OTHER");
  const std::vector<SeenCommand> expected = {{monitor::FOP_WRITE, FCLC_RS_PCLIST, 1, 316},
                                             {monitor::FOP_WRITE, monitor::FCLC_SYSTEM_TIME, 1, 36},
                                             {monitor::FOP_WRITE, FCLC_RS_PCLIST, 2, 316}};
  EXPECT_EQ(seen(), expected);
  const auto log = f.link->log().entries();
  EXPECT_EQ(std::memcmp(log[2].dataIn.data(), &scan->pPCList(), 316), 0);
}

TEST_P(ControllerScanTest, RefusalsOfTheScannerFailTheOperationsThatChangeSomething) {
  auto scan = f.make();
  // A full list refuses the add: no clock follows.
  model().setPCListCapacity(0);
  EXPECT_FALSE(scan->addPlistToDevice());
  EXPECT_FALSE(model().lastUTCTime().has_value());
  model().setPCListCapacity(10);
  // A refused remove, clear and clock.
  for (auto key : {std::pair<uint8_t, uint16_t>{FCLC_RS_PCLIST, FCLD_RS_PCLIST_REMOVE},
                          {FCLC_RS_EVENT_CHECKING, 0},
                          {monitor::FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_UTC}}) {
    f.link->faults().add(fault([key](sim::Fault& x) {
      x.dtc = key.first;
      x.dtq = key.second;
      x.lastErr = 0x7F09u;
    }));
  }
  EXPECT_FALSE(scan->removePCList());
  EXPECT_FALSE(scan->clearEventChecking());
  EXPECT_FALSE(scan->setSystemUTCTimeToScanner());
  // The same operations with the scanner agreeing.
  EXPECT_TRUE(scan->removePCList());
  EXPECT_TRUE(scan->clearEventChecking());
  EXPECT_TRUE(scan->setSystemUTCTimeToScanner());
}

TEST_P(ControllerScanTest, ListReadAsksForTheCountUpToItsBoundAndSendsNothingElse) {
  auto scan = f.make();
  model().setPCListCapacity(3);
  model().setPCList({sim::ScannerModel::pcEntry("a", "A"), sim::ScannerModel::pcEntry("b", kPCUUID),
                     sim::ScannerModel::pcEntry("c", "C")});
  struct Case {
    int32_t count;
    uint32_t asked;  // entries
  };
  // The capacity plays no part: a count above it is asked for as it is, up to the bound.
  for (const Case c : {Case{3, 3}, Case{2, 2}, Case{7, 7}, Case{1000000, kMaxPCListEntries},
                       Case{INT32_MAX, kMaxPCListEntries}}) {
    SCOPED_TRACE(c.count);
    f.link->log().clear();
    std::vector<FCL_RS_PCLIST> entries;
    ASSERT_TRUE(scan->readPCList(c.count, &entries));
    ASSERT_EQ(entries.size(), c.asked);
    EXPECT_EQ(seen(), (std::vector<SeenCommand>{{monitor::FOP_READ, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, c.asked * 316}}))
        << "the list read alone, no capacity read before it";
    EXPECT_EQ(fieldText(entries[1].szPCName, 256), "b");
    if (!GetParam()) {
      EXPECT_TRUE(scan->isOwnEntry(entries[1]));
    }
  }
  std::vector<FCL_RS_PCLIST> none;
  f.link->log().clear();
  EXPECT_TRUE(scan->readPCList(-5, &none));
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(seen().empty());
}

TEST_P(ControllerScanTest, AScannerThatSendsTheWholeListGivesTheEntriesAskedForAndTheNextOperationRuns) {
  auto scan = f.make();
  std::vector<FCL_RS_PCLIST> list;
  for (int i = 0; i < 5; ++i) list.push_back(sim::ScannerModel::pcEntry("pc" + std::to_string(i), std::to_string(i)));
  model().setPCList(list);
  f.link->faults().add(fault([](sim::Fault& x) {
    x.dtc = FCLC_RS_PCLIST;
    x.dtq = FCLD_RS_PCLIST_ALL;
    x.wholePCList = true;
  }));
  std::vector<FCL_RS_PCLIST> entries;
  ASSERT_TRUE(scan->readPCList(2, &entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(fieldText(entries[0].szPCName, 256), "pc0");
  EXPECT_EQ(fieldText(entries[1].szPCName, 256), "pc1");
  EXPECT_TRUE(scan->comparePCListMaxCountAndCurrentCount());  // 5 of 10
}

// ---- Scan-button event ---------------------------------------------------------------------------

TEST_P(ControllerScanTest, EventPollAnswersAndSleepsByTheEventType) {
  auto scan = f.make();
  ASSERT_TRUE(scan->addPlistToDevice());
  model().setPCList({sim::ScannerModel::pcEntry("other", "OTHER-PC"), model().pcList()[0]});
  const uint16_t qualifier = GetParam() ? 0 : 60;
  const auto pause3s = std::vector<std::chrono::milliseconds>{3000ms};
  const auto none = std::vector<std::chrono::milliseconds>{};

  f.timings.clearPauses();
  EXPECT_EQ(scan->getNetWorkInterrupt(), 1);  // nothing pending
  EXPECT_EQ(f.timings.pauses(), pause3s);

  f.timings.clearPauses();
  ASSERT_TRUE(model().pressScanButtonAt(1));  // this computer's entry
  EXPECT_EQ(scan->getNetWorkInterrupt(), 2);
  EXPECT_EQ(f.timings.pauses(), none);
  ASSERT_TRUE(scan->clearEventChecking());
  EXPECT_FALSE(model().eventPending());

  f.timings.clearPauses();
  ASSERT_TRUE(model().pressScanButton("OTHER-PC"));  // another computer's press
  EXPECT_EQ(scan->getNetWorkInterrupt(), 1);
  EXPECT_EQ(f.timings.pauses(), pause3s);

  // Any other type: at once on the network, after the pause on USB.
  f.timings.clearPauses();
  sim::ScannerModel::Handler typeFive;
  typeFive.read = [](const FCL_VENDOR_CMD&, sim::Bytes& out) {
    out[0] = 5;
    return 0u;
  };
  model().setHandler(FCLC_RS_EVENT_CHECKING, qualifier, typeFive);
  EXPECT_EQ(scan->getNetWorkInterrupt(), 1);
  EXPECT_EQ(f.timings.pauses(), GetParam() ? pause3s : none);

  for (const SeenCommand& c : seen()) {
    if (c.dtc == FCLC_RS_EVENT_CHECKING && c.opcode == monitor::FOP_READ) {
      EXPECT_EQ(c, (SeenCommand{monitor::FOP_READ, 0xA0, qualifier, 64}));
    }
    if (c.dtc == FCLC_RS_EVENT_CHECKING && c.opcode == monitor::FOP_COMMAND) {
      EXPECT_EQ(c, (SeenCommand{monitor::FOP_COMMAND, 0xA0, 0, 60}));
    }
  }
}

TEST_P(ControllerScanTest, ShortcutTextIsLoggedAtMostItsNineBytes) {
  auto scan = f.make();
  sim::ScannerModel::Handler h;
  h.read = [](const FCL_VENDOR_CMD&, sim::Bytes& out) {
    FCL_RS_EVENT_INFO e{};
    e.dwEventType = 2;
    std::memcpy(e.szShortCutString, "ABCDEFGHI", 9);  // no terminator
    std::memcpy(e.szPCUUID, "ZZZZ", 4);
    std::memcpy(out.data(), &e, sizeof e);
    return 0u;
  };
  model().setHandler(FCLC_RS_EVENT_CHECKING, GetParam() ? 0 : 60, h);
  DebugLines lines;
  EXPECT_EQ(scan->getNetWorkInterrupt(), 1);
  EXPECT_TRUE(lines.lines().contains("ShortCutString=====ABCDEFGHI")) << lines.lines().join("\n").toStdString();
}

TEST_P(ControllerScanTest, FailedPollAnswersZero) {
  auto scan = f.make();
  const int before = openDescriptors();
  f.link->faults().add(fault([](sim::Fault& f) { f.dtc = FCLC_RS_EVENT_CHECKING; f.closeAfterSent = std::size_t{32}; }));
  {
    Watchdog dog(60s, "a poll cut by the scanner");
    EXPECT_EQ(scan->getNetWorkInterrupt(), 0);
  }
  f.link->settle();
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

TEST_P(ControllerScanTest, SilentScannerFailsEveryOperationWithinItsLimitsAndLeavesNothingOpen) {
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.exchange = 200ms;
  t.discoveryWait = 200ms;
  ScopedMonitorTimings shortWaits(t);
  auto scan = f.make();
  const int before = openDescriptors();
  f.link->faults().add(fault([](sim::Fault& x) {
    x.silent = true;
    x.count = -1;
  }));
  {
    Watchdog dog(60s, "operations on a silent scanner");
    EXPECT_FALSE(scan->comparePCListMaxCountAndCurrentCount());
    EXPECT_FALSE(scan->addPlistToDevice());
    EXPECT_FALSE(scan->removePCList());
    EXPECT_EQ(scan->getNetWorkInterrupt(), 0);
    EXPECT_FALSE(scan->clearEventChecking());
    EXPECT_FALSE(scan->setSystemUTCTimeToScanner());
  }
  f.link->faults().clear();
  f.link->settle();
  EXPECT_EQ(openDescriptorsSettled(before), before);
}

// ---- Clock ---------------------------------------------------------------------------------------

namespace {
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) m_old = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (m_old)
      setenv("TZ", m_old->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> m_old;
};
}  // namespace

TEST_P(ControllerScanTest, ClockSendsLocalTimeAndTheFallbackDateOutsideTheScannersYears) {
  // Central European time, written out so no time-zone database is needed.
  ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
  struct Case {
    std::time_t utc;
    FCL_SYSTEM_TIME_UTC_DATA expected;
  };
  const Case cases[] = {
      // 2026-07-01 12:34:56 UTC: 14:34:56 summer time, a Wednesday, day 181.
      {1782909296, {56, 34, 14, 1, 6, 126, 3, 181, 1}},
      // 1999-06-01 10:00:00 UTC (summer time) and 2040-01-14 10:00:00 UTC (winter time):
      // 2018-01-01 00:00:00, a Monday, with the computer's daylight-saving flag.
      {928231200, {0, 0, 0, 1, 0, 118, 1, 0, 1}},
      {2210148000, {0, 0, 0, 1, 0, 118, 1, 0, 0}},
  };
  for (const Case& c : cases) {
    controllerScan::Environment env = f.environment();
    env.clock = [t = c.utc] { return t; };
    controllerScan scan(env);
    ASSERT_TRUE(scan.setSystemUTCTimeToScanner());
    const auto sent = model().lastUTCTime();
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(std::memcmp(&*sent, &c.expected, sizeof c.expected), 0)
        << "year " << sent->tm_year << " mon " << sent->tm_mon << " mday " << sent->tm_mday << " hour "
        << sent->tm_hour << " wday " << sent->tm_wday << " yday " << sent->tm_yday << " dst " << sent->tm_isdst;
  }
}

// ---- One operation at a time ----------------------------------------------------------------------

TEST(ControllerScanSerialTest, RemovalAskedForDuringAWaitRunsWhenTheOperationHasEnded) {
  ScanFixture f(false);
  auto scan = f.make();
  ASSERT_TRUE(scan->addPlistToDevice());
  f.link->log().clear();
  // The event read waits for its data; meanwhile the event loop asks for the removal.
  f.link->faults().add(fault([](sim::Fault& f) { f.dtc = FCLC_RS_EVENT_CHECKING; f.delayData = 300ms; }));
  std::optional<bool> deferredAnswer, doneResult;
  QTimer::singleShot(50ms, [&] {
    deferredAnswer = scan->removePCList([&](bool ok) { doneResult = ok; });
    EXPECT_TRUE(scan->removalPending());
  });
  {
    Watchdog dog(60s, "a poll with a removal asked for meanwhile");
    EXPECT_EQ(scan->getNetWorkInterrupt(), 1);
  }
  ASSERT_TRUE(deferredAnswer.has_value());
  EXPECT_FALSE(*deferredAnswer);
  ASSERT_TRUE(doneResult.has_value());
  EXPECT_TRUE(*doneResult);
  EXPECT_FALSE(scan->removalPending());
  const auto log = f.link->log().entries();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].cmd.byDTC, FCLC_RS_EVENT_CHECKING);
  EXPECT_TRUE(log[0].completed);
  EXPECT_EQ(log[1].cmd.wDTQ, FCLD_RS_PCLIST_REMOVE);
  EXPECT_TRUE(f.link->model().pcList().empty());
}

// A quit signal or power-off during a USB read the scanner holds: the read's tries serve the
// event loop, the break-off ends the read after the try under way, and the removal asked for
// with it runs at once afterwards, long before the read's own limit.
TEST(ControllerScanSerialTest, ABreakOffEndsAUsbReadWithinATryAndTheRemovalFollows) {
  ScanFixture f(true);
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.usbTry = 100ms;
  t.eventExchange = 120s;
  ScopedMonitorTimings longRead(t);
  auto scan = f.make();
  ASSERT_TRUE(scan->addPlistToDevice());
  f.link->faults().add(fault([](sim::Fault& x) {
    x.dtc = FCLC_RS_EVENT_CHECKING;
    x.delayData = 100s;
  }));
  std::optional<bool> removed;
  QTimer::singleShot(300ms, [&] {
    scan->abortOperation();
    scan->removePCList([&](bool ok) { removed = ok; });
  });
  {
    Watchdog dog(20s, "a held USB event read broken off");
    EXPECT_EQ(scan->getNetWorkInterrupt(), 0);
  }
  ASSERT_TRUE(removed.has_value()) << "the break-off came through the event loop";
  EXPECT_TRUE(*removed);
  EXPECT_TRUE(f.link->model().pcList().empty());
}
