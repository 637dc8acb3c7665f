#pragma once
// The table of command exchanges every link runs through IOWrapper: TCP to the in-process
// simulator, USB to the simulator behind the fake USB host, and USB through the real libusb
// backend to the simulator emulated as a device by umockdev. Each case arranges, exchanges and
// checks on a Rig (support/ScannerRig.h).
#include <gtest/gtest.h>

#include <functional>
#include <iterator>

#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "support/ScannerRig.h"
#include "support/TestBytes.h"

namespace exchange_cases {

constexpr uint32_t kNetworkLength = 352;
constexpr uint32_t kAddressBookLength = 114036;

struct ExchangeCase {
  const char* name;
  std::function<void(Rig&)> run;  // arranges, exchanges and checks
};

inline const ExchangeCase kCases[] = {
    {"InquiryAnswersTheDeviceStatus",
     [](Rig& r) {
       r.model().setFWInfo(4);
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       ASSERT_TRUE(r.io.execute(nullptr));
       EXPECT_EQ(r.io.status().wFWInfo, 4);
       EXPECT_EQ(r.io.lastError(), 0u);
     }},
    {"CommandLengthIsAParameterOnly",
     [](Rig& r) {
       r.io.setVendorCmd(FOP_COMMAND, FCLC_RS_RESET, 1, 60);
       ASSERT_TRUE(r.io.execute(nullptr));
       ASSERT_TRUE(r.log().waitForCount(1));
       EXPECT_TRUE(r.log().entries()[0].dataIn.empty());
       // The stream is still in step: the next exchange is understood.
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_TRUE(r.io.execute(nullptr));
       EXPECT_EQ(r.io.lastError(), 0u);
     }},
    {"ReadBringsTheRecord",
     [](Rig& r) {
       const sim::Bytes record = pattern(kNetworkLength, 3);
       r.model().setRecord(FCLC_RS_NETWORK, 1, record);
       sim::Bytes buf(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(buf.data()));
       EXPECT_EQ(buf, record);
     }},
    {"WriteStoresTheRecord",
     [](Rig& r) {
       sim::Bytes data = pattern(kNetworkLength, 5);
       r.io.setVendorCmd(FOP_WRITE, FCLC_RS_NETWORK, 2, kNetworkLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       ASSERT_TRUE(r.log().waitForCount(1));
       EXPECT_EQ(r.model().record(FCLC_RS_NETWORK, 2), data);
     }},
    {"LargeWrite2StoresTheRecord",
     [](Rig& r) {
       sim::Bytes data = pattern(kAddressBookLength, 7);
       r.io.setVendorCmd(FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0, kAddressBookLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       EXPECT_EQ(r.model().record(FCLC_RS_ADDRESS_BOOK, 0), data);
     }},
    {"RoundTripOfEveryDataOpcode",
     [](Rig& r) {
       sim::Bytes data = pattern(kNetworkLength, 11);
       r.io.setVendorCmd(FOP_WRITE2, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(data.data()));
       sim::Bytes back(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       ASSERT_TRUE(r.io.execute(back.data()));
       EXPECT_EQ(back, data);
     }},
    {"RefusedCommandStillCompletesWithItsError",
     [](Rig& r) {
       sim::Fault f;
       f.opcode = FOP_WRITE;
       f.lastErr = FCLE_FW_REJECT_RS;
       r.faults().add(f);
       sim::Bytes data = pattern(40, 1);
       r.io.setVendorCmd(FOP_WRITE, FCLC_RS_SCANNER_LOCK, 1, 40);
       ASSERT_TRUE(r.io.execute(data.data()));
       EXPECT_EQ(r.io.lastError(), FCLE_FW_REJECT_RS);
     }},
    {"JudgedStepAnswersItsFirstProblem",
     [](Rig& r) {
       const auto inquiry = [&r] {
         r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
         return r.io.execute(nullptr);
       };
       EXPECT_TRUE(r.io.judge(inquiry).ok());
       // Refused, then accepted: the step is refused, and the step around it sees that too.
       sim::Fault jam;
       jam.opcode = FOP_INQUIRY;
       jam.lastErr = 0x2003;
       r.faults().add(jam);
       CommandOutcome inner;
       const CommandOutcome outer = r.io.judge([&] {
         inner = r.io.judge([&] { return inquiry() && inquiry(); });
         return true;
       });
       EXPECT_EQ(inner.kind, CommandOutcome::Kind::Refused);
       EXPECT_EQ(inner.deviceError, 0x2003u);
       EXPECT_EQ(outer.kind, CommandOutcome::Kind::Refused);
       // A step that answers false fails although its exchanges were accepted.
       EXPECT_EQ(r.io.judge([&] { return inquiry() && false; }).kind, CommandOutcome::Kind::Failed);
       // A status cut short is never accepted, whatever the transport answered.
       sim::Fault cut;
       cut.opcode = FOP_INQUIRY;
       cut.closeAfterSent = 6;
       r.faults().add(cut);
       EXPECT_FALSE(r.io.judge(inquiry).ok());
       EXPECT_TRUE(r.io.judge(inquiry).ok());
     }},
    {"UnknownOpcodeMovesNothing",
     [](Rig& r) {
       r.io.setVendorCmd(0x13, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_FALSE(r.io.execute(nullptr));
       EXPECT_EQ(r.log().size(), 0u);
     }},
    {"ReadCutShortFailsAndTheNextExchangeWorks",
     [](Rig& r) {
       sim::Fault f;
       f.opcode = FOP_READ;
       f.closeAfterSent = sizeof(FCL_DEVICE_STATUS) + 100;
       r.faults().add(f);
       r.model().setRecord(FCLC_RS_NETWORK, 1, pattern(kNetworkLength, 9));
       sim::Bytes buf(kNetworkLength, 0);
       r.io.setVendorCmd(FOP_READ, FCLC_RS_NETWORK, 1, kNetworkLength);
       EXPECT_FALSE(r.io.execute(buf.data()));
       r.io.setVendorCmd(FOP_INQUIRY, FCLC_DEVICE_STATUS, 0, 0);
       EXPECT_TRUE(r.io.execute(nullptr));
     }},
};

}  // namespace exchange_cases
