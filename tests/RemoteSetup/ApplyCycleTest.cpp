// The apply cycle, the page switch and the OK, Apply, Cancel and Devices buttons, against the
// simulated scanner with stand-in pages: what the scanner receives, the alerts, and that every
// way out lets the scanner go exactly once.

#include <QAbstractItemModel>
#include <QSignalSpy>
#include <QTreeView>
#include <cstring>

#include "MainWindowFixture.h"
#include "platform/Localizer.h"

using platform::Localizer;

namespace {

using Kind = sim::ScannerModel::Kind;
using Runs = std::vector<std::string>;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

class ApplyCycleTest : public MainWindowTest {
 public:
  // The release happened exactly once and the scanner is free.
  void expectReleasedOnce() {
    const auto entries = settledCommands();
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const sim::LoggedCommand& c) { return commandLabel(c) == "unlock"; }),
              1);
    EXPECT_FALSE(link->model().isLocked());
  }
};

// Nothing changed: the checks run, nothing is written, no alert.
TEST_F(ApplyCycleTest, ApplyWithNothingChangedChecksAndWritesNothing) {
  loaded();
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID"}));
  EXPECT_TRUE(dialogs.alerts().empty());
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError", "isDataChanged"}));
}

// The clock box on saves the general setup page although nothing changed: general, lamp,
// language, this computer's time and, for the network model, the network settings; then the
// success alert. The USB-only model skips the lock check and the network settings.
TEST_F(ApplyCycleTest, ApplyWithTheClockBoxWritesTheGeneralPage) {
  struct Case {
    const char* name;
    Transport transport;
    Kind kind;
    Runs writes;
  };
  const Case cases[] = {
      {"network model", Transport::Tcp, Kind::Qmx7315w,
       {"status", "lockUUID", "param2", "lamp", "language", "pctime", "param11"}},
      {"USB-only model", Transport::Usb, Kind::Qmx7305, {"status", "param2", "lamp", "language", "pctime"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loaded(c.transport, c.kind);
    scripts["generalSetup"].pcClock = true;
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ApplyBtnPressed();
    EXPECT_EQ(sent(), c.writes);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
    EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError", "isDataChanged", "getParam"}));
    EXPECT_TRUE(link->model().lastPCTime().has_value());
    vc.reset();
    dialogs.clear();
    scripts.clear();
  }
}

// The page's edits reach the scanner: what getParam put into the records is what is written.
TEST_F(ApplyCycleTest, EditsCopiedBackAreWhatTheScannerReceives) {
  loaded();
  click("IDS_SFN_SCAN_FILE_NAME");
  sent();
  ASSERT_EQ(shown(), "scanFileName");
  auto& s = scripts["scanFileName"];
  s.changed = true;
  FCL_RS_PARAM_FILENAME before = link->model().paramAll().sFilename;
  s.edit = [](MainWindowState& state) {
    reinterpret_cast<uint8_t*>(&state.sParamAll.sFilename)[0] ^= 0x01;
  };
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "param4"}));
  const FCL_RS_PARAM_FILENAME after = link->model().paramAll().sFilename;
  reinterpret_cast<uint8_t*>(&before)[0] ^= 0x01;
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

// A page with two writes whose first write fails: no second write, the failure alert, and the
// switch that asked for the cycle does not happen.
TEST_F(ApplyCycleTest, FirstOfTwoWritesFailsStopsSavingAndKeepsThePage) {
  loaded();
  click("IDS_P_SCAN_TO_USB");
  sent();
  ASSERT_EQ(shown(), "scan2USB");
  scripts["scan2USB"].changed = true;
  sim::Fault drop;
  drop.opcode = FOP_WRITE2;
  drop.dtc = FCLC_RS_PARAM;
  drop.dtq = FCLD_RS_PARAM_SCAN2USB;
  drop.closeAfterSent = 0;
  link->faults().add(drop);
  dialogs.expectAlert(0, text("IDS_DATA_CHANGE_MSG"));
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  click("IDS_SFN_SCAN_FILE_NAME");
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "param5"}));
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_FAIL_ERROR_MSG"));
  EXPECT_EQ(shown(), "scan2USB");
  EXPECT_TRUE(callsOf("scanFileName").empty());
}

// Cancel in the confirmation of a page switch: the switch happens, nothing is written.
TEST_F(ApplyCycleTest, CancelInTheConfirmationSwitchesWithoutWriting) {
  loaded();
  scripts["generalSetup"].changed = true;
  dialogs.expectAlert(1, text("IDS_DATA_CHANGE_MSG"));
  click("IDS_SFN_SCAN_FILE_NAME");
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID"}));
  EXPECT_EQ(shown(), "scanFileName");
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError", "isDataChanged"}));
  EXPECT_EQ(callsOf("scanFileName"), (Runs{"setParam"}));
}

// The lock is no longer ours: OK ends the cycle unsaved and keeps the page; Cancel quits.
TEST_F(ApplyCycleTest, LostLock) {
  for (const int button : {0, 1}) {
    SCOPED_TRACE(button == 0 ? "OK" : "Cancel");
    loaded();
    link->model().forceLock("ANOTHER COMPUTER");
    scripts["generalSetup"].changed = true;
    dialogs.expectAlert(button, text("IDS_CHECK_DEVICE_ID_FAIL_MSG"));
    click("IDS_SFN_SCAN_FILE_NAME");
    const Runs runs = sent();
    EXPECT_EQ(Runs(runs.begin(), runs.begin() + 2), (Runs{"status", "lockUUID"}));
    EXPECT_EQ(std::count(runs.begin(), runs.end(), "param2"), 0);
    EXPECT_TRUE(callsOf("generalSetup").empty());  // not even asked for errors
    EXPECT_EQ(terminations, button == 0 ? 0 : 1);
    if (button == 0) {
      EXPECT_EQ(shown(), "generalSetup");
    } else {
      EXPECT_FALSE(vc->isVisible());
    }
    vc.reset();
    dialogs.clear();
    scripts.clear();
    calls.clear();
    terminations = 0;
  }
}

// A page error: its alert, which names the field the page reports, and the page stays; the
// clicked page is not filled.
TEST_F(ApplyCycleTest, PageErrorKeepsThePageShown) {
  loaded();
  scripts["generalSetup"].error = 2;
  scripts["generalSetup"].field = {"Top X offset", QString::fromUtf8("\u22122.0 to 2.0")};
  dialogs.expectAlert(0, text("IDS_CM_ERROR"));
  click("IDS_SFN_SCAN_FILE_NAME");
  EXPECT_EQ(dialogs.alerts().back().information,
            QString::fromUtf8("Top X offset is out of range or not in the right form. Please enter a value in the "
                              "range \u22122.0 to 2.0."));
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError"}));
  EXPECT_TRUE(callsOf("scanFileName").empty());
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID"}));
}

// The expected wFWInfo follows byReserveJobId of the status read before: 1 expects a ready
// scanner (0), so a scanner busy with our lock (4) raises the no-connection alert.
TEST_F(ApplyCycleTest, ExpectedStatusFollowsTheReservedJobOfThePreviousStatus) {
  start(Transport::Tcp, Kind::Qmx7315w);
  FCL_DEVICE_STATUS base = link->model().baseStatus();
  base.byReserveJobId = 1;
  link->model().setBaseStatus(base);
  appear();
  calls.clear();
  dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  // After OK the cycle goes on: the lock check and the page's error check ran.
  EXPECT_EQ(callsOf("generalSetup").front(), "isDataError");
}

// A click on the page on show refills it; a click on the network node or the root runs the
// cycle and shows nothing new; the root toggles.
TEST_F(ApplyCycleTest, ClicksOnTheShownPageTheGroupNodeAndTheRoot) {
  loaded();
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError", "isDataChanged", "setParam"}));
  calls.clear();

  scripts["generalSetup"].changed = true;
  dialogs.expectAlert(1, text("IDS_DATA_CHANGE_MSG"));
  click("IDS_N_NETWORK");
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataError", "isDataChanged"}));

  scripts["generalSetup"].changed = false;
  QTreeView* tree = vc->sourceListView();
  const QModelIndex root = tree->model()->index(0, 0);
  ASSERT_TRUE(tree->isExpanded(root));
  click(nullptr);
  EXPECT_FALSE(tree->isExpanded(root));
  click(nullptr);
  EXPECT_TRUE(tree->isExpanded(root));
}

// The machine information page is filled with a fresh status and counters, and its save writes
// the general block; its error check never asks the page.
TEST_F(ApplyCycleTest, MachineInformationReadsBeforeShowingAndSavesTheGeneralBlock) {
  loaded();
  click("IDS_MI_MACHINE_INFO");
  const Runs switchRuns = sent();
  EXPECT_EQ(Runs(switchRuns.begin(), switchRuns.begin() + 3), (Runs{"status", "lockUUID", "status"}));
  EXPECT_EQ(switchRuns.back(), "nvram");
  ASSERT_EQ(shown(), "machineInfo");
  scripts["machineInfo"].changed = true;
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "param2"}));
  EXPECT_EQ(callsOf("machineInfo"), (Runs{"setParam", "isDataChanged", "getParam"}));
}

// A self-writing page writes the scanner itself during the save; its failure fails the save,
// and it is never asked to copy back before the writes.
TEST_F(ApplyCycleTest, SelfWritingPageWritesDuringTheSave) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  sent();
  calls.clear();
  scripts["addressBook"].changed = true;
  scripts["addressBook"].writeOk = false;
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_FAIL_ERROR_MSG"));
  EXPECT_EQ(callsOf("addressBook"), (Runs{"isDataError", "isDataChanged", "getParam"}));
}

// Every way out lets the scanner go exactly once: OK, Cancel, closing the window, and the Devices
// transition (which also asks the device window back). OK with a page error is no way out: the
// window stays with the page and its edits, and lets the scanner go when it is destroyed.
TEST_F(ApplyCycleTest, EveryWayOutReleasesTheScannerOnce) {
  struct Case {
    const char* name;
    std::function<void(ApplyCycleTest&)> act;
    int terminations;
    bool staysOpen = false;
  };
  const Case cases[] = {
      {"OK", [](ApplyCycleTest& t) { t.vc->OKBtnPressed(); }, 1},
      {"OK with a page error",
       [](ApplyCycleTest& t) {
         t.scripts["generalSetup"].error = 2;
         t.scripts["generalSetup"].changed = true;
         t.dialogs.expectAlert(0, text("IDS_CM_ERROR"));
         t.vc->OKBtnPressed();
         const auto runs = t.sent();
         EXPECT_EQ(std::count(runs.begin(), runs.end(), "param2"), 0);
       },
       0, true},
      {"Cancel", [](ApplyCycleTest& t) { t.vc->CancelBtnPressed(); }, 1},
      {"window closed", [](ApplyCycleTest& t) { t.vc->close(); }, 0},
      {"Devices",
       [](ApplyCycleTest& t) {
         QSignalSpy back(t.vc.get(), &ViewController::returnToDevices);
         t.vc->DevicesBtnPressed();
         EXPECT_EQ(back.count(), 1);
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loaded();
    c.act(*this);
    EXPECT_EQ(terminations, c.terminations);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(vc->isVisible(), c.staysOpen);
    vc.reset();  // destroying the window sends nothing more
    expectReleasedOnce();
    dialogs.clear();
    scripts.clear();
    terminations = 0;
  }
}

}  // namespace
