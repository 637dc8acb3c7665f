// The main window's start-up against the simulated scanner: open, lock, load, the first page,
// the failure alerts that end Remote Setup, the reload after an import, and the release.

#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

#include "MainWindowFixture.h"
#include "platform/Localizer.h"
#include "support/LogCapture.h"

using platform::Localizer;

namespace {

using Kind = sim::ScannerModel::Kind;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

struct StartCase {
  const char* name;
  MainWindowTest::Transport transport;
  Kind kind;
};

class StartUpTest : public MainWindowTest, public ::testing::WithParamInterface<StartCase> {};

// Each model on each link: the scanner sees the status check, the lock and every read in order,
// the general page is filled and shown, and closing the window unlocks, lets the control pipe go
// (USB only) and closes the device.
TEST_P(StartUpTest, LocksLoadsShowsGeneralPageAndReleasesOnClose) {
  const StartCase& c = GetParam();
  start(c.transport, c.kind);
  appear();

  EXPECT_EQ(commandRuns(settledCommands()), kFirstLoad);
  EXPECT_TRUE(link->model().isLocked());
  EXPECT_EQ(dialogs.alerts().size(), 0u);
  EXPECT_EQ(callsOf("generalSetup"), (std::vector<std::string>{"setParam"}));
  ASSERT_EQ(vc->containerViews().size(), 1);
  EXPECT_EQ(vc->containerViews().front()->objectName(), QStringLiteral("generalSetup"));
  EXPECT_EQ(vc->windowTitle(), text("IDS_REMOTE_SETUP") + " - " + vc->deviceName() + " (" + link->interface() + ")");
  EXPECT_EQ(vc->state().serialString.isEmpty(), false);
  EXPECT_EQ(vc->state().bIsB, c.kind == Kind::Qmx7305);

  const bool usb = c.transport == Transport::Usb;
  // The control pipe is locked before the lock command, and only on USB.
  const auto control = link->controlRequests();
  if (usb) {
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(control[0], std::make_pair(std::string("lock"), false));
  } else {
    EXPECT_TRUE(control.empty());
  }

  const std::size_t loaded = link->log().size();
  vc->close();
  const auto after = commandRuns(settledCommands(), loaded);
  EXPECT_EQ(after, (std::vector<std::string>{"unlock"}));
  EXPECT_FALSE(link->model().isLocked());
  EXPECT_FALSE(vc->io().isOpen());
  EXPECT_TRUE(vc->io().ip().isEmpty());
  if (usb) {
    // Unlock command, then the control-pipe unlock, then the device closes.
    const auto control2 = link->controlRequests();
    ASSERT_EQ(control2.size(), 2u);
    EXPECT_EQ(control2[1], std::make_pair(std::string("unlock"), false));
    const auto host = link->hostCalls();
    const auto unlockAt = std::find_if(host.begin(), host.end(), [](const std::string& s) {
      return s.rfind("control", 0) == 0 && s.find(" 02 ") != std::string::npos;
    });
    ASSERT_NE(unlockAt, host.end());
    EXPECT_TRUE(std::any_of(unlockAt, host.end(), [](const std::string& s) { return s.rfind("closeDevice", 0) == 0; }));
  }

  // Released once: destroying the window sends nothing more.
  const std::size_t closed = link->log().size();
  vc.reset();
  EXPECT_EQ(settledCommands().size(), closed);
  EXPECT_EQ(terminations, 0);
}

INSTANTIATE_TEST_SUITE_P(Links, StartUpTest,
                         ::testing::Values(StartCase{"NetworkModelOverTcp", MainWindowTest::Transport::Tcp, Kind::Qmx7315w},
                                           StartCase{"NetworkModelOverUsb", MainWindowTest::Transport::Usb, Kind::Qmx7315w},
                                           StartCase{"UsbModelOverUsb", MainWindowTest::Transport::Usb, Kind::Qmx7305}),
                         [](const auto& info) { return std::string(info.param.name); });

// The tree per model: the network model opens the root and the network node, the USB-only model
// only the root.
TEST_F(MainWindowTest, TreeAndExpandedRowsPerModel) {
  for (const Kind kind : {Kind::Qmx7315w, Kind::Qmx7305}) {
    SCOPED_TRACE(kind == Kind::Qmx7305 ? "QMX-7305" : "QMX-7315W");
    start(Transport::Tcp, kind);
    vc->loadViewIfNeeded();
    QTreeView* tree = vc->sourceListView();
    const QModelIndex root = tree->model()->index(0, 0);
    EXPECT_EQ(tree->model()->rowCount(), 1);
    EXPECT_TRUE(tree->isExpanded(root));
    const bool b = kind == Kind::Qmx7305;
    EXPECT_EQ(root.data().toString(), b ? "QMX-7305" : "QMX-7315W");
    EXPECT_EQ(tree->model()->rowCount(root), b ? 5 : 9);
    if (!b) {
      EXPECT_TRUE(tree->isExpanded(tree->model()->index(7, 0, root)));  // the network node
    }
    // Before the first load every page is in the container, machine information on top.
    ASSERT_EQ(vc->containerViews().size(), 11);
    EXPECT_EQ(vc->containerViews().back()->objectName(), "machineInfo");
    EXPECT_EQ(vc->findChild<QPushButton*>("btnDevices")->text(), text("IDS_RS_DEVICES"));
    vc.reset();
  }
}

// Short limits for the load, so that silences end quickly.
constexpr std::chrono::milliseconds kExchangeLimit{500};
constexpr std::chrono::milliseconds kFollowUpLimit{250};

// How the scanner fails at one command of the load.
enum class Failure { Silent, Closed, StatusCut, DataCut, PaperJam };

// The fault for `failure` at the next command of class `dtc` (and qualifier `dtq`), and, with
// `fromThenOn`, at every command after it: the scanner stopped answering there.
sim::Fault faultAt(uint8_t dtc, std::optional<uint16_t> dtq, Failure failure, bool fromThenOn) {
  sim::Fault f;
  f.dtc = dtc;
  f.dtq = dtq;
  f.fromThenOn = fromThenOn;
  switch (failure) {
    case Failure::Silent: f.silent = true; break;
    case Failure::Closed: f.closeAfterSent = 0; break;
    case Failure::StatusCut: f.closeAfterSent = 10; break;
    case Failure::DataCut: f.closeAfterSent = sizeof(FCL_DEVICE_STATUS) + 2; break;
    case Failure::PaperJam: f.lastErr = 0x2003; break;
  }
  return f;
}

// A record that fails while the scanner goes on answering: the no-connection question comes once
// the next exchange has answered, OK goes on with the rest of the load, the page is shown, and
// the record stays unread. The exchange right after the one without an answer gets the
// follow-up limit (seen on USB, where the host notes each transfer's limit).
TEST_F(MainWindowTest, RecordFailingWhileTheScannerAnswersIsAskedAboutOnce) {
  struct Case {
    const char* name;
    Transport transport;
    Kind kind;
    uint8_t dtc;
    Failure failure;
    bool lampUnread;
  };
  const Case cases[] = {
      {"capabilities, connection closed", Transport::Tcp, Kind::Qmx7315w, FCLC_CAPABILITY, Failure::Closed, false},
      {"lamp, silent", Transport::Tcp, Kind::Qmx7315w, FCLC_LAMP, Failure::Silent, true},
      {"lamp refused", Transport::Tcp, Kind::Qmx7315w, FCLC_LAMP, Failure::PaperJam, true},
      {"lamp, data cut short, USB", Transport::Usb, Kind::Qmx7305, FCLC_LAMP, Failure::DataCut, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    calls.clear();
    terminations = 0;
    start(c.transport, c.kind);
    vc->setLoadLimits(kExchangeLimit, kFollowUpLimit);
    link->faults().add(faultAt(c.dtc, std::nullopt, c.failure, false));
    dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));
    appear();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(commandRuns(settledCommands()), kFirstLoad);
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(callsOf("generalSetup"), (std::vector<std::string>{"setParam"}));
    EXPECT_EQ(vc->state().bLampStateRead, !c.lampUnread);
    EXPECT_TRUE(vc->state().bParamAllRead);
    if (c.transport == Transport::Usb) {
      const auto limits = static_cast<UsbLink&>(*link).host().transferTimeouts();
      EXPECT_LE(*std::max_element(limits.begin(), limits.end()), kExchangeLimit);
      EXPECT_GT(std::count(limits.begin(), limits.end(), kFollowUpLimit), 0);
    }
    vc.reset();
  }
}

// The scanner stops answering at one step of the first load (or answers nothing at all): one alert
// says so and offers the way back to the device window; no page is filled, nothing is written, and
// the load tries at most one exchange after the first one without an answer. OK leads back to the
// device window, Cancel quits. A settings block the scanner refuses ends the load the same way,
// with the refusal named.
TEST_F(MainWindowTest, ScannerLostWhileLoadingIsToldOnceAndLeadsBackToTheDevices) {
  struct Case {
    const char* name;
    uint8_t dtc;  // where it fails (0: the scanner is gone before the load)
    std::optional<uint16_t> dtq;
    Failure failure;
    int button;
  };
  const Case cases[] = {
      {"status inquiry, silent", FCLC_DEVICE_STATUS, std::nullopt, Failure::Silent, 0},
      {"every connection accepted and closed", FCLC_DEVICE_STATUS, std::nullopt, Failure::Closed, 1},
      {"lock, status cut short", FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK, Failure::StatusCut, 0},
      {"settings block, data cut short", FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, Failure::DataCut, 0},
      {"settings block, silent", FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, Failure::Silent, 1},
      {"lamp, silent", FCLC_LAMP, std::nullopt, Failure::Silent, 0},
      {"language, connection closed", FCLC_LANGUAGE, std::nullopt, Failure::Closed, 0},
      {"factory defaults, data cut short", FCLC_RS_FACTORY_DEFSETTING, std::nullopt, Failure::DataCut, 0},
      {"key lists, silent", FCLC_RS_SFTP_KEY, std::nullopt, Failure::Silent, 0},
      {"scanner gone", 0, std::nullopt, Failure::Closed, 0},
      {"settings block refused", FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, Failure::PaperJam, 0},
  };
  const StartCase links[] = {{"NetworkModelOverTcp", Transport::Tcp, Kind::Qmx7315w},
                             {"UsbModelOverUsb", Transport::Usb, Kind::Qmx7305}};
  for (const StartCase& l : links) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(l.name) + ": " + c.name);
      dialogs.clear();
      calls.clear();
      terminations = 0;
      start(l.transport, l.kind);
      vc->setLoadLimits(kExchangeLimit, kFollowUpLimit);
      const bool refused = c.failure == Failure::PaperJam;
      if (c.dtc == 0) link->vanish();
      else link->faults().add(faultAt(c.dtc, c.dtq, c.failure, !refused));
      QSignalSpy back(vc.get(), &ViewController::returnToDevices);
      dialogs.expectAlert(c.button, text(refused ? "IDS_RS_LOAD_REFUSED_MSG" : "IDS_CM_NO_CONNECTION_MSG"));
      appear();

      // One alert: what the scanner did, that nothing was written, and the way back.
      EXPECT_EQ(dialogs.pendingAlerts(), 0u);
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      const ScriptedDialogs::Alert& alert = dialogs.alerts().front();
      EXPECT_TRUE(alert.information.startsWith(text(refused ? "IDS_RS_LOAD_REFUSED_INFO" : "IDS_RS_LOAD_NO_ANSWER_INFO")))
          << alert.information.toStdString();
      EXPECT_TRUE(alert.information.endsWith(text("IDS_RS_RETURN_TO_DEVICES_INFO")));
      EXPECT_EQ(alert.buttons.size(), 2);
      if (refused) {
        EXPECT_TRUE(alert.information.contains(text("IDS_DD_PAPER_JAM")));
      }

      // No page shows the scanner's settings, and nothing was written to it.
      EXPECT_TRUE(callsOf("generalSetup").empty());
      const auto logged = settledCommands();
      for (const sim::LoggedCommand& e : logged) {
        const bool write = e.cmd.byOPCode == FOP_WRITE || e.cmd.byOPCode == FOP_WRITE2;
        EXPECT_FALSE(write && e.cmd.byDTC != FCLC_RS_SCANNER_LOCK) << commandLabel(e);
      }
      // Not one wait per record: at most the follow-up command after the first unanswered one
      // (and the release's unlock). Over USB the lock text sent after a status cut short reaches
      // the simulator as bytes that are no command.
      if (!refused && c.dtc != 0) {
        const auto failed = std::find_if(logged.begin(), logged.end(), [&](const sim::LoggedCommand& e) {
          return e.cmd.byDTC == c.dtc && (!c.dtq || e.cmd.wDTQ == *c.dtq);
        });
        ASSERT_NE(failed, logged.end());
        const auto after = std::count_if(failed + 1, logged.end(), [](const sim::LoggedCommand& e) {
          return e.cmd.dwVendorID == FCL_VENDOR_ID && commandLabel(e) != "unlock";
        });
        EXPECT_LE(after, 1);
      }

      // OK: back to the device window; Cancel: Remote Setup quits. Either way the window is gone.
      EXPECT_EQ(back.count(), c.button == 0 ? 1 : 0);
      EXPECT_EQ(terminations, c.button == 0 ? 0 : 1);
      EXPECT_FALSE(vc->isVisible());
      vc.reset();
    }
  }
}

// The scanner refuses remote setup: the whole load runs, then the refusal alert, then Remote
// Setup ends and lets the scanner go.
TEST_F(MainWindowTest, FirmwareRejectShowsAfterTheWholeLoadThenQuits) {
  start(Transport::Tcp, Kind::Qmx7315w);
  link->model().setRefuseRemoteSetup(true);
  dialogs.expectAlert(0, text("IDS_DV_FW_REJECT_MSG"));
  vc->show();
  QCoreApplication::processEvents();  // viewDidAppear: the load
  EXPECT_EQ(dialogs.alerts().size(), 0u);
  EXPECT_EQ(callsOf("generalSetup"), (std::vector<std::string>{"setParam"}));
  settle();  // then the queued refusal
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(terminations, 1);
  const auto runs = commandRuns(settledCommands());
  EXPECT_EQ(std::vector<std::string>(runs.begin(), runs.begin() + kFirstLoad.size()), kFirstLoad);
  EXPECT_FALSE(vc->isVisible());
}

// Real alerts run a nested event loop. The refusal must still wait for the end of the load,
// not pop up over an alert of the load itself.
TEST_F(MainWindowTest, FirmwareRejectWaitsForTheLoadEvenThroughModalAlerts) {
  // Serves the event loop while each alert is "open", as a modal dialog does.
  class ModalDialogs : public platform::Dialogs {
   public:
    explicit ModalDialogs(ScriptedDialogs& script) : m_script(script), m_previous(platform::setDialogs(this)) {}
    ~ModalDialogs() override { platform::setDialogs(m_previous); }
    platform::AlertAnswer runAlert(const platform::AlertSpec& spec) override {
      for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
      return m_script.runAlert(spec);
    }
    std::optional<QString> openFile(const QString& e, const QString& d) override { return m_script.openFile(e, d); }
    std::optional<QString> saveFile(const QString& e, const QString& n, const QString& d) override {
      return m_script.saveFile(e, n, d);
    }
    std::optional<QString> chooseFolder(const QString& d) override { return m_script.chooseFolder(d); }

   private:
    ScriptedDialogs& m_script;
    platform::Dialogs* m_previous;
  };
  ModalDialogs modal(dialogs);
  start(Transport::Tcp, Kind::Qmx7315w);
  link->model().setRefuseRemoteSetup(true);
  link->faults().add(faultAt(FCLC_CAPABILITY, FCLD_CAPABILITY_ALL, Failure::Closed, false));
  dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));
  dialogs.expectAlert(0, text("IDS_DV_FW_REJECT_MSG"));
  appear();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alertMessages(), QStringList({text("IDS_CM_NO_CONNECTION_MSG"), text("IDS_DV_FW_REJECT_MSG")}));
  EXPECT_EQ(callsOf("generalSetup"), (std::vector<std::string>{"setParam"}));  // the load ran to its end
  EXPECT_EQ(terminations, 1);
}

// A settings block of another structure version ends Remote Setup after its alert, before any
// page is filled.
TEST_F(MainWindowTest, WrongStructureVersionQuitsAfterItsAlert) {
  for (const uint32_t version : {0x0000003Au /* 0.58 */, 0x00010039u /* 1.57 */}) {
    SCOPED_TRACE(version);
    start(Transport::Tcp, Kind::Qmx7315w);
    FCL_RS_PARAM_ALL block = link->model().paramAll();
    block.dwStructVersion = version;
    link->model().setParamAll(block);
    dialogs.expectAlert(0, text("IDS_CM_ERROR"));
    appear();
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_PV_ERROR_MSG"));
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(callsOf("generalSetup").empty());
    settledCommands();  // the unlock's data may still be on its way
    EXPECT_FALSE(link->model().isLocked());
    vc.reset();
    dialogs.clear();
    terminations = 0;
  }
}

// The reload after an import: the scanner is expected busy with our lock, no lock is sent, no
// page is shown by it, and the key lists hold exactly the scanner's keys.
TEST_F(MainWindowTest, ReloadExpectsOurLockSendsNoLockAndRefreshesTheKeyLists) {
  start(Transport::Tcp, Kind::Qmx7315w);
  appear();
  link->model().setSftpClientKeys({"client-a", "client-b"});
  link->model().setSftpServerKeys({"server-a"});
  const std::size_t loaded = settledCommands().size();
  Utilities::sharedInstance().setDebugMask(0x43);
  LogCapture log;
  vc->loadData(false);
  std::vector<std::string> reload = kFirstLoad;
  reload.erase(reload.begin() + 1);  // no lock
  EXPECT_EQ(commandRuns(settledCommands(), loaded), reload);
  EXPECT_EQ(dialogs.alerts().size(), 0u);  // wFWInfo 4 passed
  EXPECT_EQ(vc->state().clientKeyList, QStringList({"client-a", "client-b"}));
  EXPECT_EQ(vc->state().serverKeyList, QStringList({"server-a"}));
  EXPECT_EQ(callsOf("generalSetup"), (std::vector<std::string>{"setParam"}));  // only the first load's
  EXPECT_FALSE(log.lines().join('\n').contains("KeyCnt"));
  EXPECT_TRUE(log.contains(">>>>> ViewController::loadData(initial:) ENTER"));
}

// Where the load cannot start or the lock is not granted.
TEST_F(MainWindowTest, OpenStatusAndLockFailures) {
  struct Case {
    const char* name;
    Transport transport;
    std::function<void(MainWindowTest&)> arrange;
    std::vector<std::pair<int, const char*>> answers;  // button, message key
    int terminations;
    bool loaded;
  };
  const Case cases[] = {
      // The device cannot be opened: OK leads back to the device window with nothing loaded...
      {"open fails, OK", Transport::Usb,
       [](MainWindowTest& t) { static_cast<UsbLink&>(*t.link).host().device(0).openResult = platform::UsbResult::NoDevice; },
       {{0, "IDS_RS_OPEN_FAILED_MSG"}}, 0, false},
      // ...and Cancel quits.
      {"open fails, Cancel", Transport::Usb,
       [](MainWindowTest& t) { static_cast<UsbLink&>(*t.link).host().device(0).openResult = platform::UsbResult::NoDevice; },
       {{1, "IDS_RS_OPEN_FAILED_MSG"}}, 1, false},
      // The scanner is busy at the first status check (another computer holds its lock): the
      // alert says it is not ready, and Cancel quits before anything is read.
      {"locked elsewhere, Cancel", Transport::Tcp, [](MainWindowTest& t) { t.link->model().forceLock("OTHER"); },
       {{1, "IDS_DV_NOT_READY_MSG"}}, 1, false},
      // Not ready, OK: the load goes on.
      {"not ready, OK", Transport::Tcp, [](MainWindowTest& t) { t.link->model().setFWInfo(2); },
       {{0, "IDS_DV_NOT_READY_MSG"}}, 0, true},
      // The control pipe refuses the lock on USB.
      {"control-pipe lock refused", Transport::Usb,
       [](MainWindowTest& t) {
         static_cast<UsbLink&>(*t.link).host().device(0).controlReply = std::vector<uint8_t>{0, 0, 0, 0, 1};
       },
       {{0, "IDS_LOCK_SCANNER_FAIL_MSG"}}, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(c.transport, Kind::Qmx7315w);
    c.arrange(*this);
    for (const auto& [button, key] : c.answers) dialogs.expectAlert(button, text(key));
    QSignalSpy back(vc.get(), &ViewController::returnToDevices);
    appear();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(terminations, c.terminations);
    EXPECT_EQ(callsOf("generalSetup").size(), c.loaded ? 1u : 0u);
    // A window that loaded nothing is gone: back to the device window, or Remote Setup quit.
    EXPECT_EQ(vc->isVisible(), c.loaded);
    EXPECT_EQ(back.count(), !c.loaded && c.terminations == 0 ? 1 : 0);
    vc.reset();
    dialogs.clear();
    calls.clear();
    terminations = 0;
  }
}

// The main window as its users see it, saved for a reviewer to look at.
TEST_F(MainWindowTest, ScreenshotOfEachModel) {
  for (const Kind kind : {Kind::Qmx7315w, Kind::Qmx7305}) {
    link = std::make_unique<TcpLink>(kind);
    vc = std::make_unique<ViewController>();  // the program's own pages
    vc->setTerminateHandler([this] { ++terminations; });
    const bool b = kind == Kind::Qmx7305;
    vc->setupInfo(link->ip(), b ? "B" : "BNT", b ? "Zerelta QMX-7305 [SIM000001] " : "Zerelta QMX-7315W [SIM000001] ",
                  "Wired LAN", "UUID-1", "TWAIN-1");
    appear();
    const QString dir = QStringLiteral(ZR_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QString path = dir + (b ? "/main-window-qmx7305.png" : "/main-window-qmx7315w.png");
    EXPECT_TRUE(vc->grab().toImage().save(path));
    EXPECT_EQ(terminations, 0);
    vc.reset();
  }
}

}  // namespace
