// The apply cycle, the page switch and the OK, Apply, Cancel and Devices buttons, against the
// simulated scanner with stand-in pages: what the scanner receives, the alerts, and that every
// way out lets the scanner go exactly once.

#include <QAbstractItemModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>
#include <cstring>
#include <functional>
#include <string>

#include "MainWindowFixture.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/ScanProfileControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "support/AddressBookFixture.h"
#include "support/LogCapture.h"

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
// scanner (0), so a scanner busy with our lock (4) is not as expected: the not-ready alert names
// the state, and nothing of the cycle runs after it.
TEST_F(ApplyCycleTest, ExpectedStatusFollowsTheReservedJobOfThePreviousStatus) {
  start(Transport::Tcp, Kind::Qmx7315w);
  FCL_DEVICE_STATUS base = link->model().baseStatus();
  base.byReserveJobId = 1;
  link->model().setBaseStatus(base);
  appear();
  calls.clear();
  mark = link->log().size();
  dialogs.expectAlert(0, text("IDS_DV_NOT_READY_MSG"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_TRUE(dialogs.alerts().back().information.contains(text("IDS_DD_BUSY")));
  EXPECT_TRUE(callsOf("generalSetup").empty());
  EXPECT_EQ(sent(), (Runs{"status"}));
}

// How the scanner can be lost between two cycles, and the one alert that names it.
struct LostScanner {
  const char* name;
  ApplyCycleTest::Transport transport;
  Kind kind;
  std::function<void(SimLink&)> lose;
  const char* message;
  // Part of the alert's information (nullptr: the information is the message key's _INFO text).
  const char* namedState;
  Runs sent;  // what the checks send; nothing is written after them
};

sim::Fault statusFault(std::function<void(sim::Fault&)> set) {
  sim::Fault f;
  f.opcode = FOP_INQUIRY;
  f.dtc = FCLC_DEVICE_STATUS;
  f.count = -1;
  set(f);
  return f;
}

const std::vector<LostScanner>& lostScanners() {
  static const std::vector<LostScanner> cases = {
      {"no answer", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.closeAfterSent = 0; })); },
       "IDS_CM_NO_CONNECTION_MSG", nullptr, {"status"}},
      {"status block cut short", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.closeAfterSent = 20; })); },
       "IDS_CM_NO_CONNECTION_MSG", nullptr, {"status"}},
      {"status block cut short, USB", MainWindowTest::Transport::Usb, Kind::Qmx7315w,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.closeAfterSent = 20; })); },
       "IDS_CM_NO_CONNECTION_MSG", nullptr, {"status"}},
      {"no answer, USB-only model", MainWindowTest::Transport::Usb, Kind::Qmx7305,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.closeAfterSent = 0; })); },
       "IDS_CM_NO_CONNECTION_MSG", nullptr, {"status"}},
      // A restarted scanner has forgotten every reservation: it answers ready.
      {"restarted", MainWindowTest::Transport::Tcp, Kind::Qmx7315w, [](SimLink& l) { l.model().forceLock(""); },
       "IDS_CHECK_DEVICE_ID_FAIL_MSG", nullptr, {"status"}},
      {"restarted, USB-only model", MainWindowTest::Transport::Usb, Kind::Qmx7305,
       [](SimLink& l) { l.model().forceLock(""); }, "IDS_CHECK_DEVICE_ID_FAIL_MSG", nullptr, {"status"}},
      {"reserved by another computer", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) { l.model().forceLock("ANOTHER COMPUTER"); }, "IDS_CHECK_DEVICE_ID_FAIL_MSG", nullptr,
       {"status", "lockUUID"}},
      {"lock check gets no answer", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) {
         sim::Fault f;
         f.dtc = FCLC_RS_SCANNER_LOCK;
         f.dtq = FCLD_RS_SCANNER_LOCK_UUID;
         f.closeAfterSent = 0;
         l.faults().add(f);
       },
       "IDS_CM_NO_CONNECTION_MSG", nullptr, {"status", "lockUUID"}},
      {"paper jam", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.lastErr = 0x2003; })); },
       "IDS_DV_NOT_READY_MSG", "IDS_DD_PAPER_JAM", {"status"}},
      {"asleep", MainWindowTest::Transport::Tcp, Kind::Qmx7315w,
       [](SimLink& l) { l.faults().add(statusFault([](sim::Fault& f) { f.fwInfo = 5; })); }, "IDS_DV_NOT_READY_MSG",
       "IDS_DD_SLEEP", {"status"}},
  };
  return cases;
}

// A lost scanner is written nothing, whoever runs the cycle: one alert names the cause and offers
// OK (stay) and Cancel (quit); OK keeps the window, the page on show and its edits.
TEST_F(ApplyCycleTest, LostScannerIsWrittenNothingAndKeepsTheWindow) {
  struct Caller {
    const char* name;
    std::function<void(ApplyCycleTest&)> run;
  };
  const Caller callers[] = {
      {"Apply", [](ApplyCycleTest& t) { t.vc->ApplyBtnPressed(); }},
      {"OK", [](ApplyCycleTest& t) { t.vc->OKBtnPressed(); }},
      {"page switch", [](ApplyCycleTest& t) { t.click("IDS_P_SCAN_TO_PC"); }},
  };
  for (const LostScanner& c : lostScanners()) {
    for (const Caller& caller : callers) {
      SCOPED_TRACE(std::string(c.name) + ", " + caller.name);
      loaded(c.transport, c.kind);
      scripts["generalSetup"].changed = true;
      scripts["generalSetup"].pcClock = true;
      c.lose(*link);
      dialogs.expectAlert(0, text(c.message));
      caller.run(*this);
      EXPECT_EQ(dialogs.pendingAlerts(), 0u);
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      const auto& alert = dialogs.alerts().front();
      EXPECT_EQ(alert.buttons, (QStringList{text("IDS_RS_OK"), text("IDS_RS_CANCEL")}));
      if (c.namedState == nullptr) {
        const QString infoKey = QString::fromLatin1(c.message).replace(QStringLiteral("_MSG"), QStringLiteral("_INFO"));
        EXPECT_EQ(alert.information, Localizer::text(infoKey));
      } else {
        EXPECT_TRUE(alert.information.contains(text(c.namedState))) << alert.information.toStdString();
      }
      EXPECT_EQ(sent(), c.sent);
      EXPECT_TRUE(callsOf("generalSetup").empty());
      EXPECT_TRUE(callsOf("scan2PC").empty());
      EXPECT_EQ(shown(), "generalSetup");
      EXPECT_TRUE(vc->isVisible());
      EXPECT_EQ(terminations, 0);
      vc.reset();
    }
  }
  // Cancel quits.
  loaded();
  lostScanners().front().lose(*link);
  dialogs.expectAlert(1, text("IDS_CM_NO_CONNECTION_MSG"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(vc->isVisible());
}

// Devices with the scanner lost: one alert that says whether the page's edits are lost; OK closes
// the window (which lets the scanner go) and asks the device window back; Cancel quits.
TEST_F(ApplyCycleTest, DevicesWithTheScannerLostLeadsBackToTheDeviceWindow) {
  for (const LostScanner& c : lostScanners()) {
    for (const bool edited : {false, true}) {
      for (const int button : {0, 1}) {
        SCOPED_TRACE(std::string(c.name) + (edited ? ", edited" : ", untouched") + (button == 0 ? ", OK" : ", Cancel"));
        loaded(c.transport, c.kind);
        scripts["generalSetup"].changed = edited;
        c.lose(*link);
        QSignalSpy back(vc.get(), &ViewController::returnToDevices);
        dialogs.expectAlert(button, text(c.message));
        vc->DevicesBtnPressed();
        EXPECT_EQ(dialogs.pendingAlerts(), 0u);
        ASSERT_EQ(dialogs.alerts().size(), 1u);
        const auto& alert = dialogs.alerts().front();
        EXPECT_EQ(alert.buttons, (QStringList{text("IDS_RS_OK"), text("IDS_RS_CANCEL")}));
        EXPECT_EQ(alert.information.contains(text("IDS_RS_UNSAVED_CHANGES_INFO")), edited);
        EXPECT_TRUE(alert.information.contains(text("IDS_RS_RETURN_TO_DEVICES_INFO")));
        if (c.namedState != nullptr) {
          EXPECT_TRUE(alert.information.contains(text(c.namedState)));
        }
        // The page was asked whether it differs, and nothing was written.
        EXPECT_EQ(callsOf("generalSetup"), (Runs{"isDataChanged"}));
        const Runs runs = sent();
        EXPECT_EQ(Runs(runs.begin(), runs.begin() + std::min(runs.size(), c.sent.size())), c.sent);
        for (const std::string& r : runs) EXPECT_TRUE(r == "status" || r == "lockUUID" || r == "unlock") << r;
        EXPECT_EQ(back.count(), button == 0 ? 1 : 0);
        EXPECT_EQ(terminations, button == 0 ? 0 : 1);
        EXPECT_FALSE(vc->isVisible());
        // The window let the scanner go once (its unlock was sent).
        const auto entries = settledCommands();
        EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                                [](const sim::LoggedCommand& e) { return commandLabel(e) == "unlock"; }),
                  1);
        vc.reset();
        dialogs.clear();
        scripts.clear();
        calls.clear();
        terminations = 0;
      }
    }
  }
}

// A self-writing page says whether its edits are lost from what it last accepted, without reading
// the scanner again and without an error line about a read it never tried.
TEST_F(ApplyCycleTest, DevicesWithTheScannerLostJudgesASelfWritingPageWithoutReadingIt) {
  realPages = [](PageFactory& f) {
    f.registerPage(QString::fromLatin1(pages::kAddressBookStoryboard),
                   [](QWidget* p) { return std::make_unique<AddressBookControllerObjC>(p); });
    f.registerPage(QString::fromLatin1(pages::kScanProfileStoryboard),
                   [](QWidget* p) { return std::make_unique<ScanProfileControllerObjC>(p); });
  };
  struct Case {
    const char* node;
    const char* storyboard;
    const char* view;
    std::function<void(PageController*)> edit;
  };
  const Case cases[] = {
      {"IDS_AB_ADDRESS_BOOK", pages::kAddressBookStoryboard, "addressBook",
       [](PageController* page) {
         auto* book = dynamic_cast<AddressBookControllerObjC*>(page);
         ASSERT_NE(book, nullptr);
         abtest::selectRow(book->controls().contactTable, 0);
         book->controls().delContactBtn->click();
       }},
      {"IDS_SP_SCAN_PROFILE", pages::kScanProfileStoryboard, "scanProfile",
       [](PageController* page) {
         auto* profiles = dynamic_cast<ScanProfileControllerObjC*>(page);
         ASSERT_NE(profiles, nullptr);
         FCL_RS_PROFILE renamed = profiles->profileAll().sProfile[0];
         platform::textToField(renamed.szProfileName, QStringLiteral("Renamed"));
         profiles->setBackParam(&renamed);  // the editor's OK on profile 1
       }},
  };
  Utilities& ut = Utilities::sharedInstance();
  const int32_t mask = ut.nDebugMask();
  for (const Case& c : cases) {
    for (const bool edited : {false, true}) {
      SCOPED_TRACE(std::string(c.view) + (edited ? " edited" : " untouched"));
      loaded();
      click(c.node);
      ASSERT_EQ(shown(), c.view);
      if (edited) c.edit(vc->page(QString::fromLatin1(c.storyboard)));
      sent();
      link->model().forceLock("");  // restarted
      QSignalSpy back(vc.get(), &ViewController::returnToDevices);
      dialogs.expectAlert(0, text("IDS_CHECK_DEVICE_ID_FAIL_MSG"));
      ut.setDebugMask(0x02);
      LogCapture log;
      vc->DevicesBtnPressed();
      ut.setDebugMask(mask);
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      EXPECT_EQ(dialogs.alerts().front().information.contains(text("IDS_RS_UNSAVED_CHANGES_INFO")), edited);
      EXPECT_EQ(sent(), (Runs{"status", "unlock"}));
      EXPECT_EQ(back.count(), 1);
      EXPECT_TRUE(log.lines().filter(QStringLiteral("could not be read")).isEmpty()) << log.lines().join('\n').toStdString();
      vc.reset();
    }
  }
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
