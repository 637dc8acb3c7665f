// The scanner's answer counts: every operation whose outcome the user is told fails when the
// scanner refuses it or reports a pending condition (dwLastErr), the alert says which, and the
// scanner's records stay as they were. Nothing that was not read is written back, and a save
// that failed leaves nothing of itself for a later save of another page to send.

#include <QFile>
#include <QPushButton>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/CommandFailure.h"
#include "Views/MachineInfoControllerObjC.h"
#include "Views/ScanFileNameControllerObjC.h"

namespace {

using Kind = sim::ScannerModel::Kind;
using Runs = std::vector<std::string>;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

// A refusal of the scanner: one device error without a name, and a paper jam (a condition the
// owner can clear).
constexpr uint32_t kDeviceError = 0x7F10;
constexpr uint32_t kPaperJam = 0x2003;

sim::Fault refusal(uint8_t opcode, std::optional<uint8_t> dtc, std::optional<uint16_t> dtq, uint32_t code,
                   int count = 1) {
  sim::Fault f;
  f.opcode = opcode;
  f.dtc = dtc;
  f.dtq = dtq;
  f.lastErr = code;
  f.count = count;
  return f;
}

template <typename T>
bool sameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class ScannerAnswerTest : public MainWindowTest {
 public:
  // The last alert's information names the refusal and no alert said that it worked.
  void expectFailureNamed(const char* failKey, uint32_t code, const std::vector<const char*>& successKeys) {
    ASSERT_FALSE(dialogs.alerts().empty());
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    const QString info = dialogs.alerts().back().information;
    EXPECT_TRUE(info.startsWith(text(failKey))) << info.toStdString();
    EXPECT_TRUE(info.contains(outcomeText(CommandOutcome::refused(code)))) << info.toStdString();
    if (code == kPaperJam) {
      EXPECT_TRUE(info.contains(text("IDS_DD_PAPER_JAM"))) << info.toStdString();
    }
    if (code == kDeviceError) {
      EXPECT_TRUE(info.contains(QStringLiteral("0x7F10"))) << info.toStdString();
    }
    for (const auto& alert : dialogs.alerts()) {
      for (const char* key : successKeys) EXPECT_NE(alert.information, text(key)) << key;
    }
  }

  // The whole settings block, the lamp words and the counters as the scanner holds them.
  struct Held {
    FCL_RS_PARAM_ALL param;
    uint32_t sleep, powerOff;
    sim::Bytes nvram;
  };
  Held held() {
    settledCommands();
    return {link->model().paramAll(), link->model().sleepTime(), link->model().autoPowerOffTime(),
            link->model().nvram(0, 128)};
  }
  void expectUnchanged(const Held& before) {
    const Held now = held();
    EXPECT_TRUE(sameBytes(now.param, before.param));
    EXPECT_EQ(now.sleep, before.sleep);
    EXPECT_EQ(now.powerOff, before.powerOff);
    EXPECT_EQ(now.nvram, before.nvram);
  }
};

// One table over what the user sees: the apply cycle, the three counter resets, the factory
// reset, the file-counter reset, an import, an export and the lock, each refused with a device
// error and with a paper jam.
TEST_F(ScannerAnswerTest, RefusalOrPendingConditionFailsEveryOperationTheUserIsToldOf) {
  struct Op {
    const char* name;
    std::function<void(ScannerAnswerTest&, uint32_t)> run;
  };
  const Op ops[] = {
      {"apply",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         const Held before = t.held();
         const FCL_RS_PARAM_GENERAL general = t.vc->state().sParamAll.sGeneral;
         t.scripts["generalSetup"].changed = true;
         t.scripts["generalSetup"].edit = [](MainWindowState& s) { s.sParamAll.sGeneral.byAutoScan ^= 1; };
         t.link->faults().add(refusal(FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, code));
         t.dialogs.expectAlert(0);
         t.vc->ApplyBtnPressed();
         t.expectFailureNamed("IDS_APPLY_FAIL_ERROR_MSG", code, {"IDS_APPLY_SUCCESS_MSG"});
         t.expectUnchanged(before);
         // The window's record gets back what it held: no later save sends the refused edit.
         EXPECT_TRUE(sameBytes(t.vc->state().sParamAll.sGeneral, general));
       }},
      {"counter resets",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         MachineInfoControllerObjC page;
         page.setParam(t.vc->state());
         const Held before = t.held();
         for (uint16_t qualifier : {FCLD_RS_RESET_PICKUP_ROLLER, FCLD_RS_RESET_SCHEDULED_MAINTENANCE}) {
           SCOPED_TRACE(qualifier);
           t.link->faults().add(refusal(FOP_COMMAND, FCLC_RS_RESET, qualifier, code));
           t.dialogs.expectAlert(0);
           if (qualifier == FCLD_RS_RESET_PICKUP_ROLLER) page.resetPickupRollerCountPushed();
           else page.resetMaintenanceCountPurshed();
           t.expectFailureNamed("IDS_MI_RESET_FAIL", code, {});
         }
         t.expectUnchanged(before);
       }},
      {"factory reset",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         MachineInfoControllerObjC page;
         page.setParam(t.vc->state());
         int ended = 0;
         page.setTerminateHandler([&] { ++ended; });
         const Held before = t.held();
         t.link->faults().add(refusal(FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_FACTORY, code));
         t.dialogs.expectAlert(0);  // go on
         t.dialogs.expectAlert(0);
         page.factoryResetPushed();
         t.expectFailureNamed("IDS_MI_FACTORY_FAIL", code, {"IDS_MI_FACTORY_SUCCESS"});
         t.expectUnchanged(before);
         EXPECT_EQ(ended, 1);
       }},
      {"file-counter reset",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         ScanFileNameControllerObjC page;
         page.setParam(t.vc->state());
         const Held before = t.held();
         t.link->faults().add(refusal(FOP_COMMAND, FCLC_RS_RESET, FCLD_RS_RESET_FILENAME_COUNTER, code));
         t.dialogs.expectAlert(0);  // reset it
         t.dialogs.expectAlert(0);
         page.controls().btnReset->setEnabled(true);  // whatever counter behaviour the scanner holds
         page.controls().btnReset->click();
         t.expectFailureNamed("IDS_SFN_RESET_FAILED", code, {"IDS_SFN_RESET_SUCCESSFULLY"});
         t.expectUnchanged(before);
       }},
      {"import",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         const QString path = t.home.file("backup.bin");
         t.dialogs.expectAlert(1);  // start: all settings
         t.dialogs.expectPanel(path);
         t.dialogs.expectAlert(0);
         t.vc->ExportBtnPressed();
         ASSERT_EQ(t.dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));
         t.dialogs.clear();
         // The file differs from the scanner, so a write that got through would show.
         FCL_RS_PARAM_ALL changed = t.link->model().paramAll();
         changed.sGeneral.byAutoScan ^= 1;
         t.link->model().setParamAll(changed);
         const Held before = t.held();
         t.link->faults().add(refusal(FOP_WRITE2, std::nullopt, std::nullopt, code, -1));
         t.link->faults().add(refusal(FOP_WRITE, std::nullopt, std::nullopt, code, -1));
         t.dialogs.expectAlert(1);  // start: all settings
         t.dialogs.expectPanel(path);
         t.dialogs.expectAlert(0);
         t.vc->ImportBtnPressed();
         t.link->faults().clear();
         t.expectFailureNamed("IDS_RS_IMPORT_FAIL", code, {"IDS_RS_IMPORT_SUCCESS"});
         t.expectUnchanged(before);
       }},
      {"export",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.loaded();
         const QString path = t.home.file(QStringLiteral("refused-%1.bin").arg(code));
         t.link->faults().add(refusal(FOP_READ, FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, code));
         t.dialogs.expectAlert(1);  // start: all settings
         t.dialogs.expectPanel(path);
         t.dialogs.expectAlert(0);
         t.vc->ExportBtnPressed();
         t.expectFailureNamed("IDS_RS_EXPORT_FAIL", code, {"IDS_RS_EXPORT_SUCCESS"});
         EXPECT_FALSE(QFile::exists(path));
       }},
      {"lock",
       [](ScannerAnswerTest& t, uint32_t code) {
         t.start(Transport::Tcp, Kind::Qmx7315w);
         const Held before = t.held();
         t.link->faults().add(refusal(FOP_WRITE, FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, code));
         t.dialogs.expectAlert(0, text("IDS_LOCK_SCANNER_REFUSED_MSG"));
         t.appear();
         t.expectFailureNamed("IDS_LOCK_SCANNER_REFUSED_INFO", code, {});
         EXPECT_EQ(t.terminations, 1);
         t.expectUnchanged(before);
         // The session ended before reading the settings.
         const Runs runs = commandRuns(t.settledCommands());
         EXPECT_EQ(std::count(runs.begin(), runs.end(), "param1"), 0);
       }},
  };
  for (const Op& op : ops) {
    for (uint32_t code : {kDeviceError, kPaperJam}) {
      SCOPED_TRACE(std::string(op.name) + " " + std::to_string(code));
      dialogs.clear();
      scripts.clear();
      terminations = 0;
      op.run(*this, code);
    }
  }
}

// A lock refused because another session holds the scanner says so, and how to release it.
TEST_F(ScannerAnswerTest, LockHeldByAnotherSessionEndsWithThatReason) {
  start(Transport::Tcp, Kind::Qmx7315w);
  IOWrapper other;
  ASSERT_TRUE(other.openScanner(link->ip()));
  ASSERT_TRUE(other.judge([&] { return other.lockScanner(); }).ok());
  // The held scanner is busy at the start-up status check (the alert says so): going on tries
  // the lock anyway.
  dialogs.expectAlert(0, text("IDS_DV_NOT_READY_MSG"));
  dialogs.expectAlert(0, text("IDS_LOCK_SCANNER_REFUSED_MSG"));
  appear();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  ASSERT_FALSE(dialogs.alerts().empty());
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_LOCK_SCANNER_RESERVED_INFO"));
  EXPECT_EQ(terminations, 1);
  EXPECT_TRUE(link->model().isLocked());  // still the other session's
}

// A lamp read that broke off during the load, answered OK: the general page's other records still
// save, the lamp words never reach the scanner, and the user is told that they were not read.
TEST_F(ScannerAnswerTest, BrokenOffLoadReadIsNeverWrittenBack) {
  start(Transport::Tcp, Kind::Qmx7315w);
  sim::Fault broken;
  broken.opcode = FOP_READ;
  broken.dtc = FCLC_LAMP;
  broken.closeAfterSent = sizeof(FCL_DEVICE_STATUS) + 2;  // the status, then part of the data
  link->faults().add(broken);
  dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));  // OK: go on
  appear();
  ASSERT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_FALSE(vc->state().bLampStateRead);
  EXPECT_TRUE(vc->state().bParamAllRead);
  const uint32_t powerOff = link->model().autoPowerOffTime();
  ASSERT_NE(powerOff, 0u);
  mark = settledCommands().size();

  dialogs.clear();
  scripts["generalSetup"].changed = true;
  scripts["generalSetup"].edit = [](MainWindowState& s) {
    s.sParamAll.sGeneral.byAutoScan ^= 1;
    s.sLampState.dwCrg2Lamp2 = 0;
  };
  const uint8_t beep = link->model().paramAll().sGeneral.byAutoScan;
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_NOT_READ_INFO"));
  const Runs runs = sent();
  EXPECT_EQ(std::count(runs.begin(), runs.end(), "lamp"), 0);
  EXPECT_EQ(std::count(runs.begin(), runs.end(), "param2"), 1);
  EXPECT_EQ(link->model().paramAll().sGeneral.byAutoScan, beep ^ 1);
  EXPECT_EQ(link->model().autoPowerOffTime(), powerOff);

  // What can never be saved in this session does not hold the user: OK says so again and quits.
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
  vc->OKBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(link->model().autoPowerOffTime(), powerOff);
}

// A settings-block read that broke off during the reload after an import leaves the block unread:
// the next save of a page on it writes nothing of it.
TEST_F(ScannerAnswerTest, BrokenOffReloadLeavesTheBlockUnwritten) {
  loaded();
  const QString path = home.file("backup.bin");
  dialogs.expectAlert(1);  // start: all settings
  dialogs.expectPanel(path);
  dialogs.expectAlert(0);
  vc->ExportBtnPressed();
  ASSERT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));
  dialogs.clear();

  sim::Fault broken;
  broken.opcode = FOP_READ;
  broken.dtc = FCLC_RS_PARAM;
  broken.dtq = FCLD_RS_PARAM_ALL;
  broken.closeAfterSent = sizeof(FCL_DEVICE_STATUS) + 100;
  link->faults().add(broken);
  dialogs.expectAlert(1);  // start: all settings
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));  // the reload's read: go on
  dialogs.expectAlert(0);                                     // the import's outcome
  vc->ImportBtnPressed();
  ASSERT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_FALSE(vc->state().bParamAllRead);
  sent();

  dialogs.clear();
  scripts["generalSetup"].changed = true;
  scripts["generalSetup"].edit = [](MainWindowState& s) { s.sParamAll.sGeneral.byAutoScan ^= 1; };
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  const Runs runs = sent();
  EXPECT_EQ(std::count(runs.begin(), runs.end(), "param2"), 0);
  EXPECT_EQ(std::count(runs.begin(), runs.end(), "network11"), 0);
  EXPECT_EQ(std::count(runs.begin(), runs.end(), "param11"), 0);
}

// A save that failed part-way keeps only what the scanner accepted; a declined save keeps
// nothing. Either way the machine-information page's later save (which writes the general
// record too) sends the scanner's general record as it was.
TEST_F(ScannerAnswerTest, DeclinedOrFailedSaveLeavesNothingForAnotherPageToSend) {
  for (bool decline : {true, false}) {
    SCOPED_TRACE(decline ? "declined" : "failed");
    loaded();
    const FCL_RS_PARAM_GENERAL general = link->model().paramAll().sGeneral;
    scripts["generalSetup"].changed = true;
    scripts["generalSetup"].edit = [](MainWindowState& s) { s.sParamAll.sGeneral.byAutoScan ^= 1; };
    if (decline) {
      dialogs.expectAlert(1, text("IDS_DATA_CHANGE_MSG"));  // do not save
    } else {
      link->faults().add(refusal(FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL, kDeviceError));
      dialogs.expectAlert(0, text("IDS_DATA_CHANGE_MSG"));
      dialogs.expectAlert(0);  // the failure
    }
    click(pages::kMachineInfoTitle);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    // A failed save stays on its page; a declined one goes on.
    if (!decline) {
      EXPECT_EQ(shown(), QStringLiteral("generalSetup"));
      scripts["generalSetup"].changed = false;
      click(pages::kMachineInfoTitle);
    }
    ASSERT_EQ(shown(), QStringLiteral("machineInfo"));
    scripts["machineInfo"].changed = true;
    dialogs.expectAlert(0);
    vc->ApplyBtnPressed();
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
    settledCommands();
    EXPECT_TRUE(sameBytes(link->model().paramAll().sGeneral, general));
  }
}

}  // namespace
