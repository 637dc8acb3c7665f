// The simulated scanner as the push-scan monitor meets it: the PC list, the scan-button event and
// the monitor's clock, through the model's command hooks and through the simulator program with
// a press typed on its standard input.
#include <QProcess>
#include <array>
#include <functional>
#include <cstring>
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include "monitor/ScannerUtility/USBWraper.h"

using namespace monitor;
using namespace std::chrono_literals;

namespace {

FCL_VENDOR_CMD command(uint8_t op, uint8_t dtc, uint16_t dtq, uint32_t length) {
  FCL_VENDOR_CMD c{};
  c.dwVendorID = monitor::FCL_VENDOR_ID;
  c.byOPCode = op;
  c.byDTC = dtc;
  c.wDTQ = dtq;
  c.dwDataLength = length;
  return c;
}

sim::Bytes bytesOfEntry(const FCL_RS_PCLIST& e) {
  const auto* p = reinterpret_cast<const uint8_t*>(&e);
  return sim::Bytes(p, p + sizeof e);
}

// A FOP_WRITE as the engine runs it: the verdict before the data, then the data.
uint32_t write(sim::ScannerModel& m, uint16_t dtq, const FCL_RS_PCLIST& e) {
  const FCL_VENDOR_CMD c = command(monitor::FOP_WRITE, FCLC_RS_PCLIST, dtq, sizeof e);
  const uint32_t verdict = m.acceptWrite(c);
  if (verdict != 0) return verdict;
  return m.write(c, bytesOfEntry(e));
}

template <typename T>
T read(sim::ScannerModel& m, uint8_t dtc, uint16_t dtq, uint32_t length = sizeof(T)) {
  sim::Bytes out(length, 0);
  EXPECT_EQ(m.read(command(monitor::FOP_READ, dtc, dtq, length), out), 0u);
  T value{};
  std::memcpy(&value, out.data(), std::min<std::size_t>(sizeof value, out.size()));
  return value;
}

std::string uuidOf(const FCL_RS_EVENT_INFO& e) { return std::string(e.szPCUUID, strnlen(e.szPCUUID, 36)); }

}  // namespace

TEST(SimulatedPCListTest, AddReplaceRemoveAndCapacity) {
  sim::ScannerModel m;
  m.setPCListCapacity(2);
  const FCL_RS_PCLIST a = sim::ScannerModel::pcEntry("a", "AAAA");
  const FCL_RS_PCLIST a2 = sim::ScannerModel::pcEntry("a-renamed", "AAAA");
  const FCL_RS_PCLIST b = sim::ScannerModel::pcEntry("b", "BBBB");
  EXPECT_EQ(write(m, FCLD_RS_PCLIST_ADD, a), 0u);
  EXPECT_EQ(write(m, FCLD_RS_PCLIST_ADD, a2), 0u);  // the same computer: replaced in place
  EXPECT_EQ(write(m, FCLD_RS_PCLIST_ADD, b), 0u);
  EXPECT_EQ(write(m, FCLD_RS_PCLIST_ADD, sim::ScannerModel::pcEntry("c", "CCCC")), sim::kErrListFull);
  EXPECT_EQ(read<uint32_t>(m, FCLC_RS_PCLIST, FCLD_RS_PCLIST_MAX_COUNT), 2u);
  EXPECT_EQ(read<uint32_t>(m, FCLC_RS_PCLIST, FCLD_RS_PCLIST_CUR_COUNT), 2u);
  const auto all = read<std::array<FCL_RS_PCLIST, 2>>(m, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ALL, 2 * 316);
  EXPECT_EQ(std::memcmp(&all[0], &a2, 316), 0);
  EXPECT_EQ(std::memcmp(&all[1], &b, 316), 0);
  // A wrong length is refused before the data.
  EXPECT_EQ(m.acceptWrite(command(monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, 100)), sim::kErrBadLength);
  EXPECT_EQ(write(m, FCLD_RS_PCLIST_REMOVE, sim::ScannerModel::pcEntry("whatever", "AAAA")), 0u);
  ASSERT_EQ(m.pcList().size(), 1u);
  EXPECT_EQ(std::string(m.pcList()[0].szPCName), "b");
}

TEST(SimulatedPCListTest, PressIsAddressedToOneEntryUntilCleared) {
  sim::ScannerModel m;
  EXPECT_FALSE(m.pressScanButton());  // an empty list: no one to send to
  write(m, FCLD_RS_PCLIST_ADD, sim::ScannerModel::pcEntry("a", "AAAA"));
  write(m, FCLD_RS_PCLIST_ADD, sim::ScannerModel::pcEntry("b", "BBBB"));
  write(m, FCLD_RS_PCLIST_ADD, sim::ScannerModel::pcEntry("a", "AAAA"));  // added last again

  EXPECT_EQ(read<FCL_RS_EVENT_INFO>(m, FCLC_RS_EVENT_CHECKING, 60).dwEventType, 0u);
  struct Case {
    std::function<bool()> press;
    std::string expected;
  };
  const Case cases[] = {
      {[&] { return m.pressScanButton(); }, "AAAA"},
      {[&] { return m.pressScanButtonAt(1); }, "BBBB"},
      {[&] { return m.pressScanButton("BBBB", "SHORTCUT1"); }, "BBBB"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.press());
    const auto e = read<FCL_RS_EVENT_INFO>(m, FCLC_RS_EVENT_CHECKING, 0);
    EXPECT_EQ(e.dwEventType, kEventTypeScanToPC);
    EXPECT_EQ(uuidOf(e), c.expected);
    EXPECT_EQ(m.command(command(monitor::FOP_COMMAND, FCLC_RS_EVENT_CHECKING, 0, 60)), 0u);
    EXPECT_FALSE(m.eventPending());
  }
  EXPECT_FALSE(m.pressScanButtonAt(2));
  EXPECT_FALSE(m.pressScanButton("CCCC"));
  EXPECT_FALSE(m.eventPending());
}

TEST(SimulatedClockTest, MonitorClockIsKeptApartFromTheRemoteSetupClock) {
  sim::ScannerModel m;
  const FCL_SYSTEM_TIME_UTC_DATA t{1, 2, 3, 4, 5, 126, 6, 7, 0};
  const FCL_VENDOR_CMD c = command(monitor::FOP_WRITE, monitor::FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_UTC, sizeof t);
  EXPECT_EQ(m.acceptWrite(c), 0u);
  const auto* p = reinterpret_cast<const uint8_t*>(&t);
  EXPECT_EQ(m.write(c, sim::Bytes(p, p + sizeof t)), 0u);
  const auto kept = m.lastUTCTime();
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(std::memcmp(&*kept, &t, sizeof t), 0);
  EXPECT_FALSE(m.lastPCTime().has_value());
  EXPECT_EQ(m.acceptWrite(command(monitor::FOP_WRITE, monitor::FCLC_SYSTEM_TIME, FCLD_SYSTEM_TIME_UTC, 56)),
            sim::kErrBadLength);
}

TEST(SimulatorProgramTest, PressOnStandardInputReachesTheMonitor) {
  QProcess program;
  program.start(QStringLiteral(ZR_SIM_PROGRAM), {"--address", "127.0.0.1", "--port", "0"});
  ASSERT_TRUE(program.waitForStarted());
  ASSERT_TRUE(program.waitForReadyRead(10000));
  const QString banner = QString::fromUtf8(program.readLine()).trimmed();
  const uint16_t port = banner.section(':', -1).toUShort();
  ASSERT_NE(port, 0) << banner.toStdString();
  MonitorTimings t = ScopedMonitorTimings::quick();
  t.port = port;
  ScopedMonitorTimings atPort(t);

  auto exchange = [&](uint8_t op, uint8_t dtc, uint16_t dtq, void* data, uint32_t length, bool out) {
    USBWraper w;
    bool ok = w.OpenScanner("127.0.0.1") && w.OpenConnect("127.0.0.1");
    FCL_CMD cmd;
    USBWraper::CreateCommand(&cmd, op, dtc, dtq, length);
    monitor::FCL_DEVICE_STATUS status{};
    ok = ok && w.SendCommand(&cmd, &status) && (out ? w.SendData(data, length) : w.GetData(data, length));
    w.CloseConnect();
    return ok;
  };
  auto nextLine = [&](const QString& startsWith) {
    // Lines of the command trace come in between; look for the answer to the typed command.
    for (int i = 0; i < 20; ++i) {
      if (!program.canReadLine() && !program.waitForReadyRead(10000)) return QString();
      const QString line = QString::fromUtf8(program.readLine()).trimmed();
      if (line.startsWith(startsWith)) return line;
    }
    return QString();
  };

  program.write("press\n");
  EXPECT_EQ(nextLine("no such"), "no such PC-list entry (\"list\" shows them)");
  FCL_RS_PCLIST entry = sim::ScannerModel::pcEntry("typed-host", "ABCDEF01-2345-6789-ABCD-EF0123456789");
  ASSERT_TRUE(exchange(monitor::FOP_WRITE, FCLC_RS_PCLIST, FCLD_RS_PCLIST_ADD, &entry, sizeof entry, true));
  // The trace line comes once the scanner has taken the entry.
  EXPECT_EQ(nextLine("opcode 0x2A"), "opcode 0x2A (WRITE) class 0x9D qualifier 1 length 316");
  program.write("press\n");
  EXPECT_EQ(nextLine("scan button"), "scan button pressed for ABCDEF01-2345-6789-ABCD-EF0123456789");
  FCL_RS_EVENT_INFO event{};
  ASSERT_TRUE(exchange(monitor::FOP_READ, FCLC_RS_EVENT_CHECKING, 60, &event, sizeof event, false));
  EXPECT_EQ(event.dwEventType, kEventTypeScanToPC);
  EXPECT_EQ(uuidOf(event), "ABCDEF01-2345-6789-ABCD-EF0123456789");
  program.write("press 0\n");
  EXPECT_EQ(nextLine("scan button"), "scan button pressed for ABCDEF01-2345-6789-ABCD-EF0123456789");

  program.terminate();
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitCode(), 0);
}
