// The simulator's protocol engine over a scripted byte stream: the order of every opcode's
// phases, refusals of blocks it does not understand, and each kind of fault.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <thread>

#include "support/TestBytes.h"
#include "CommandLog.h"
#include "FaultPlan.h"
#include "ProtocolEngine.h"
#include "ScannerModel.h"

using namespace std::chrono_literals;

namespace {

// A host side scripted in advance: the bytes it will send, and a trace of every read and write
// the engine made ("R16 W32 R40").
class ScriptedTransport : public sim::Transport {
 public:
  void feed(const void* p, std::size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    input.insert(input.end(), b, b + n);
  }
  void feed(const FCL_VENDOR_CMD& c) { feed(&c, sizeof c); }
  void feed(const sim::Bytes& b) { feed(b.data(), b.size()); }

  bool readExact(void* buf, std::size_t n) override {
    trace += (trace.empty() ? "R" : " R") + std::to_string(n);
    if (input.size() < n) {
      input.clear();
      return false;
    }
    std::copy_n(input.begin(), n, static_cast<uint8_t*>(buf));
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n));
    return true;
  }
  bool writeAll(const void* buf, std::size_t n) override {
    trace += (trace.empty() ? "W" : " W") + std::to_string(n);
    const auto* b = static_cast<const uint8_t*>(buf);
    output.insert(output.end(), b, b + n);
    return true;
  }

  FCL_DEVICE_STATUS statusAt(std::size_t offset) const {
    FCL_DEVICE_STATUS s{};
    EXPECT_GE(output.size(), offset + sizeof s);
    if (output.size() >= offset + sizeof s) std::memcpy(&s, output.data() + offset, sizeof s);
    return s;
  }

  std::deque<uint8_t> input;
  sim::Bytes output;
  std::string trace;
};

class ProtocolEngineTest : public ::testing::Test {
 protected:
  sim::ScannerModel model;
  sim::FaultPlan faults;
  sim::CommandLog log;
  sim::ProtocolEngine engine{model, &faults, &log};
  ScriptedTransport t;
};

TEST_F(ProtocolEngineTest, EachOpcodeRunsItsPhasesInOrder) {
  const sim::Bytes stored = pattern(40, 1);
  const sim::Bytes written = pattern(40, 100);
  struct Case {
    uint8_t opcode;
    uint32_t length;
    bool hostSendsData;
    const char* trace;
  };
  const Case cases[] = {
      {FOP_INQUIRY, 0, false, "R16 W32"},
      {FOP_COMMAND, 60, false, "R16 W32"},  // the length is a parameter: no data phase
      {FOP_READ, 40, false, "R16 W32 W40"},
      {FOP_WRITE, 40, true, "R16 W32 R40"},
      {FOP_WRITE2, 40, true, "R16 R40 W32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    model.setRecord(0x70, 1, stored);
    ScriptedTransport host;
    host.feed(command(c.opcode, 0x70, 1, c.length));
    if (c.hostSendsData) host.feed(written);
    EXPECT_TRUE(engine.serveOne(host));
    EXPECT_EQ(host.trace, c.trace);
    EXPECT_EQ(host.statusAt(0).dwLastErr, 0u);
    if (c.opcode == FOP_READ) {
      EXPECT_EQ(sim::Bytes(host.output.begin() + 32, host.output.end()), stored);
    }
    if (c.hostSendsData) {
      EXPECT_EQ(*model.record(0x70, 1), written);
    }
  }
}

TEST_F(ProtocolEngineTest, BlocksItDoesNotUnderstandGetAnErrorAndNoDataPhase) {
  FCL_VENDOR_CMD otherVendor = command(FOP_WRITE2, 1, 0, 8);
  otherVendor.dwVendorID = 0x232;
  const FCL_VENDOR_CMD unknownOpcode = command(0x13, 1, 0, 8);
  const FCL_VENDOR_CMD oversized = command(FOP_WRITE2, 1, 0, sim::ProtocolEngine::kMaxDataLength + 1);
  for (const FCL_VENDOR_CMD& c : {otherVendor, unknownOpcode, oversized}) {
    ScriptedTransport host;
    host.feed(c);
    host.feed(pattern(8, 0));
    EXPECT_TRUE(engine.serveOne(host));
    EXPECT_EQ(host.trace, "R16 W32");
    EXPECT_NE(host.statusAt(0).dwLastErr, 0u);
    EXPECT_EQ(host.input.size(), 8u) << "the data after the block was not taken";
  }
}

TEST_F(ProtocolEngineTest, OneStreamCarriesCommandsOneAfterAnother) {
  t.feed(command(FOP_INQUIRY, 0x10, 0, 0));
  t.feed(command(FOP_WRITE2, 0x20, 0, 4));
  t.feed(pattern(4, 7));
  t.feed(command(FOP_READ, 0x20, 0, 4));
  EXPECT_TRUE(engine.serveOne(t));
  EXPECT_TRUE(engine.serveOne(t));
  EXPECT_TRUE(engine.serveOne(t));
  EXPECT_FALSE(engine.serveOne(t)) << "the stream has ended";
  EXPECT_EQ(sim::Bytes(t.output.end() - 4, t.output.end()), pattern(4, 7));
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log.entries()[1].dataIn, pattern(4, 7));
  EXPECT_EQ(log.entries()[2].dataOut, pattern(4, 7));
}

TEST_F(ProtocolEngineTest, StatusComesFromTheModelWithTheCommandsOwnError) {
  FCL_DEVICE_STATUS base{};
  base.dwLastErr = 0x2009;  // a pending device error
  base.wFWInfo = 4;
  model.setBaseStatus(base);
  sim::ScannerModel::Handler h;
  h.acceptWrite = [](const FCL_VENDOR_CMD&) { return FCLE_FW_REJECT_RS; };
  model.setHandler(0x98, 1, h);

  t.feed(command(FOP_INQUIRY, 0x10, 0, 0));
  t.feed(command(FOP_WRITE, 0x98, 1, 2));
  t.feed(pattern(2, 0));
  ASSERT_TRUE(engine.serveOne(t));
  ASSERT_TRUE(engine.serveOne(t));
  EXPECT_EQ(t.statusAt(0).dwLastErr, 0x2009u);
  EXPECT_EQ(t.statusAt(32).dwLastErr, FCLE_FW_REJECT_RS);
  EXPECT_EQ(t.statusAt(32).wFWInfo, 4);
}

TEST_F(ProtocolEngineTest, ReadOfAnUnknownRecordAnswersZerosOfTheAskedLength) {
  model.setRecord(0x30, 0, (sim::Bytes{1, 4, 7}));
  t.feed(command(FOP_READ, 0x30, 0, 6));
  t.feed(command(FOP_READ, 0x31, 0, 5));
  ASSERT_TRUE(engine.serveOne(t));
  ASSERT_TRUE(engine.serveOne(t));
  EXPECT_EQ(log.entries()[0].dataOut, (sim::Bytes{1, 4, 7, 0, 0, 0}));
  EXPECT_EQ(log.entries()[1].dataOut, sim::Bytes(5, 0));
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST_F(ProtocolEngineTest, FaultsMatchByOpcodeClassAndQualifierForTheirCount) {
  sim::Fault f;
  f.opcode = FOP_INQUIRY;
  f.dtc = 0x10;
  f.dtq = 2;
  f.count = 2;
  f.lastErr = 0x77;
  faults.add(f);
  const FCL_VENDOR_CMD cmds[] = {command(FOP_INQUIRY, 0x10, 1, 0), command(FOP_COMMAND, 0x10, 2, 0),
                                 command(FOP_INQUIRY, 0x10, 2, 0), command(FOP_INQUIRY, 0x10, 2, 0),
                                 command(FOP_INQUIRY, 0x10, 2, 0)};
  for (const auto& c : cmds) t.feed(c);
  std::vector<uint32_t> errors;
  for (std::size_t i = 0; i < std::size(cmds); ++i) {
    ASSERT_TRUE(engine.serveOne(t));
    errors.push_back(t.statusAt(32 * i).dwLastErr);
  }
  EXPECT_EQ(errors, (std::vector<uint32_t>{0, 0, 0x77, 0x77, 0}));
  EXPECT_TRUE(faults.empty());
}

// A scanner that stops answering at one command: the fault takes every command after it.
TEST_F(ProtocolEngineTest, FaultFromThenOnTakesEveryLaterCommand) {
  sim::Fault f;
  f.dtc = 0x10;
  f.dtq = 2;
  f.fromThenOn = true;
  f.lastErr = 0x77;
  faults.add(f);
  const FCL_VENDOR_CMD cmds[] = {command(FOP_INQUIRY, 0x10, 1, 0), command(FOP_INQUIRY, 0x10, 2, 0),
                                 command(FOP_COMMAND, 0x20, 5, 0), command(FOP_INQUIRY, 0x10, 1, 0)};
  for (const auto& c : cmds) t.feed(c);
  std::vector<uint32_t> errors;
  for (std::size_t i = 0; i < std::size(cmds); ++i) {
    ASSERT_TRUE(engine.serveOne(t));
    errors.push_back(t.statusAt(32 * i).dwLastErr);
  }
  EXPECT_EQ(errors, (std::vector<uint32_t>{0, 0x77, 0x77, 0x77}));
}

TEST_F(ProtocolEngineTest, PiecesSplitTheWrites) {
  sim::Fault f;
  f.statusPieces = {20, 12};
  f.dataPieces = {1, 2};
  faults.add(f);
  t.feed(command(FOP_READ, 0x30, 0, 10));
  ASSERT_TRUE(engine.serveOne(t));
  EXPECT_EQ(t.trace, "R16 W20 W12 W1 W2 W7");
}

TEST_F(ProtocolEngineTest, PiecesSplitTheReadsOfIncomingData) {
  sim::Fault f;
  f.dataPieces = {4, 4};
  faults.add(f);
  t.feed(command(FOP_WRITE2, 0x30, 0, 10));
  t.feed(pattern(10, 0));
  ASSERT_TRUE(engine.serveOne(t));
  EXPECT_EQ(t.trace, "R16 R4 R4 R2 W32");
}

TEST_F(ProtocolEngineTest, CloseAfterBytesCutsTheExchangeThere) {
  struct Case {
    const char* name;
    uint8_t opcode;
    std::optional<std::size_t> afterSent, afterReceived;
    std::size_t outBytes;
    const char* trace;
  };
  const Case cases[] = {
      {"inside the status", FOP_READ, 20, std::nullopt, 20, "R16 W20"},
      {"right after the status", FOP_READ, 32, std::nullopt, 32, "R16 W32"},
      {"inside the data", FOP_READ, 40, std::nullopt, 40, "R16 W32 W8"},
      {"before any data arrives", FOP_WRITE2, std::nullopt, 0, 0, "R16"},
      {"inside incoming data", FOP_WRITE, std::nullopt, 5, 32, "R16 W32 R5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Fault f;
    f.closeAfterSent = c.afterSent;
    f.closeAfterReceived = c.afterReceived;
    faults.add(f);
    ScriptedTransport host;
    host.feed(command(c.opcode, 0x30, 0, 100));
    host.feed(pattern(100, 0));
    EXPECT_FALSE(engine.serveOne(host));
    EXPECT_EQ(host.output.size(), c.outBytes);
    EXPECT_EQ(host.trace, c.trace);
  }
  log.waitForCount(std::size(cases));
  for (const auto& e : log.entries()) EXPECT_FALSE(e.completed);
}

TEST_F(ProtocolEngineTest, SilentScannerAnswersNothingUntilThePeerGoes) {
  sim::Fault f;
  f.silent = true;
  faults.add(f);
  t.feed(command(FOP_WRITE2, 0x30, 0, 100));
  t.feed(pattern(100, 0));
  EXPECT_FALSE(engine.serveOne(t));
  EXPECT_TRUE(t.output.empty());
  ASSERT_EQ(log.size(), 1u);
  EXPECT_FALSE(log.entries()[0].statusSent);
}

TEST_F(ProtocolEngineTest, StopEndsAPausedExchange) {
  sim::Fault f;
  f.delayStatus = std::chrono::hours(1);
  faults.add(f);
  t.feed(command(FOP_INQUIRY, 0x10, 0, 0));
  std::thread stopper([&] {
    std::this_thread::sleep_for(20ms);
    engine.requestStop();
  });
  EXPECT_FALSE(engine.serveOne(t));  // would hang for an hour without the stop
  stopper.join();
  EXPECT_TRUE(t.output.empty());
}

TEST(ScannerModelTest, KindsByName) {
  EXPECT_EQ(sim::ScannerModel::kindFromName("QMX7315W"), sim::ScannerModel::Kind::Qmx7315w);
  EXPECT_EQ(sim::ScannerModel::kindFromName("qmx7305"), sim::ScannerModel::Kind::Qmx7305);
  EXPECT_EQ(sim::ScannerModel::kindFromName("qmx"), std::nullopt);
  EXPECT_EQ(sim::ScannerModel(sim::ScannerModel::Kind::Qmx7305).modelName(), "QMX-7305");
}

}  // namespace
