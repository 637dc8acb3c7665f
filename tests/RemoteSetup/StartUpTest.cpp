// The main window's start-up against the simulated scanner: open, lock, load, the first page,
// the failure alerts that end Remote Setup, the reload after an import, and the release.

#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTreeView>

#include "MainWindowFixture.h"
#include "platform/Localizer.h"
#include "support/LogCapture.h"

using platform::Localizer;

namespace {

using Kind = sim::ScannerModel::Kind;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

// The scanner drops the connection instead of answering the next such command.
sim::Fault failing(uint8_t dtc, uint16_t dtq) {
  sim::Fault f;
  f.dtc = dtc;
  f.dtq = dtq;
  f.closeAfterSent = 0;
  return f;
}

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

// A read that fails during the load shows the no-connection alert; OK goes on with the next read.
// When it is the settings block that failed, its version reads 0.0 and Remote Setup ends after the
// version alert.
TEST_F(MainWindowTest, FailedReadAnsweredOkGoesOnWithTheNextRead) {
  struct Case {
    const char* name;
    uint8_t dtc;
    uint16_t dtq;
    bool quits;
  };
  const Case cases[] = {
      {"capabilities", FCLC_CAPABILITY, FCLD_CAPABILITY_ALL, false},
      {"settings block", FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(Transport::Tcp, Kind::Qmx7315w);
    link->faults().add(failing(c.dtc, c.dtq));
    dialogs.expectAlert(0, text("IDS_CM_NO_CONNECTION_MSG"));
    if (c.quits) dialogs.expectAlert(0, text("IDS_CM_ERROR"));
    appear();
    const auto runs = commandRuns(settledCommands());
    // Every read still happens in order; then the release when Remote Setup ends.
    std::vector<std::string> expected = kFirstLoad;
    if (c.quits) expected.push_back("unlock");
    EXPECT_EQ(runs, expected);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(terminations, c.quits ? 1 : 0);
    EXPECT_EQ(callsOf("generalSetup").size(), c.quits ? 0u : 1u);
    vc.reset();
    dialogs.clear();
    calls.clear();
    terminations = 0;
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
  link->faults().add(failing(FCLC_CAPABILITY, FCLD_CAPABILITY_ALL));
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
      // The device cannot be opened: OK leaves the window open with nothing loaded...
      {"open fails, OK", Transport::Usb,
       [](MainWindowTest& t) { static_cast<UsbLink&>(*t.link).host().device(0).openResult = platform::UsbResult::NoDevice; },
       {{0, "IDS_CM_NO_CONNECTION_MSG"}}, 0, false},
      // ...and Cancel quits.
      {"open fails, Cancel", Transport::Usb,
       [](MainWindowTest& t) { static_cast<UsbLink&>(*t.link).host().device(0).openResult = platform::UsbResult::NoDevice; },
       {{1, "IDS_CM_NO_CONNECTION_MSG"}}, 1, false},
      // The scanner is busy at the first status check (another computer holds its lock):
      // Cancel quits before anything is read.
      {"locked elsewhere, Cancel", Transport::Tcp, [](MainWindowTest& t) { t.link->model().forceLock("OTHER"); },
       {{1, "IDS_CM_NO_CONNECTION_MSG"}}, 1, false},
      // Not ready, OK: the load goes on.
      {"not ready, OK", Transport::Tcp, [](MainWindowTest& t) { t.link->model().setFWInfo(2); },
       {{0, "IDS_CM_NO_CONNECTION_MSG"}}, 0, true},
      // The lock command gets no answer.
      {"lock command fails", Transport::Tcp,
       [](MainWindowTest& t) { t.link->faults().add(failing(FCLC_RS_SCANNER_LOCK, FCLD_RS_SCANNER_LOCK)); },
       {{0, "IDS_LOCK_SCANNER_FAIL_MSG"}}, 1, false},
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
    appear();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(terminations, c.terminations);
    EXPECT_EQ(callsOf("generalSetup").size(), c.loaded ? 1u : 0u);
    if (c.terminations > 0) {
      EXPECT_FALSE(vc->isVisible());
    }
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
