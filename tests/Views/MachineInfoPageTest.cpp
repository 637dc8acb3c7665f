// The machine information page: what it shows of the records it is handed, its one edit (the
// maintenance alert), and the counter and factory resets against the simulated scanner.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstring>
#include <memory>

#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/MachineInfoControllerObjC.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

using Page = MachineInfoControllerObjC;

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

QString text(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

// The main window's records for the page. The general record carries a pattern, so that a page
// that writes more than the alert byte shows up in the comparisons.
MainWindowState scannerState(bool usbOnly = false) {
  MainWindowState s;
  std::memset(&s.sParamAll, 0xA5, sizeof s.sParamAll);
  s.sParamAll.sGeneral.byScheduled_ME = 1;
  s.sMachineInfo = {1000, 400, 5000, 100, 20000};  // scan, at clean, clean limit, at roller, roller limit
  s.sCapabilities.dwVers_FW = (1u << 16) | 2u;
  s.sCapabilities.dwVers_Panel = (3u << 16) | 4u;
  s.sCapabilities.dwReserved[4] = 0x4243u;  // low byte 'C'
  s.serialString = QStringLiteral("SN-0042");
  s.bIsB = usbOnly;
  return s;
}

struct ShownPage {
  explicit ShownPage(const MainWindowState& state) {
    page.resize(pagelayout::kPageSize);
    page.setParam(state);
    page.show();
  }
  const Page::Controls& ui() const { return page.controls(); }
  Page page;
};

bool isRed(const QLabel* label) { return label->palette().color(QPalette::WindowText) == Page::dueColour(); }
bool shown(const QWidget* w, const QWidget* page) { return w->isVisibleTo(page); }

// The simulated scanner with a command layer opened on it.
struct ScannerLink {
  ScannerLink() { EXPECT_TRUE(io.openScanner(sim.address())); }
  ~ScannerLink() { io.closeScanner(); }
  // The reset commands the scanner received, by qualifier. The scanner logs a command once it
  // has finished with it, which may be just after the page has its answer: with `atLeast` the
  // call waits for that many.
  std::vector<uint16_t> resets(std::size_t atLeast = 0) const {
    std::vector<uint16_t> out;
    for (int tries = 0;; ++tries) {
      out.clear();
      for (const auto& e : sim.log().entries())
        if (e.cmd.byOPCode == FOP_COMMAND && e.cmd.byDTC == FCLC_RS_RESET) out.push_back(e.cmd.wDTQ);
      if (out.size() >= atLeast || tries == 20) return out;
      sim.log().waitForCount(sim.log().size() + 1, 500ms);
    }
  }
  // The next command's transfer fails: the scanner hangs up before answering.
  void failNext() {
    sim::Fault f;
    f.opcode = FOP_COMMAND;
    f.closeAfterSent = 0;
    sim.faults().add(f);
  }
  ScopedSocketLimits limits{2s};
  mutable SimScanner sim;
  IOWrapper io;
};

constexpr uint16_t kResetFactory = 5, kResetMaintenance = 6, kResetRoller = 7;

}  // namespace

TEST(MachineInfoPage, IsTheStandardFactorysMachineInfoPage) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kMachineInfoStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "machineInfo");
  EXPECT_EQ(page->isDataError(), 0);
}

// Usage against limit, for both counters: the text, its colour and the reset button.
TEST(MachineInfoPage, CountersShowUsageAgainstLimit) {
  struct Case {
    const char* what;
    uint32_t scan, countAtReset, limit;
    const char* shows;
    bool due;
  };
  const Case cases[] = {
      {"usage reaches the limit", 1000, 100, 900, "900/900", true},
      {"one below the limit", 1000, 100, 901, "900/901", false},
      {"past the limit", 5000, 0, 900, "5000/900", true},
      {"limit 0", 0, 0, 0, "0/0", true},
      {"count at reset above the scan count", 1000, 1010, 5, "-10/5", false},
      {"count at reset far above the scan count", 0, 0x80000000u, 0, "-2147483648/0", false},
      {"scan count wrapped past the count at reset", 5, 0xFFFFFFFEu, 7, "7/7", true},
      {"limit beyond the signed range", 1000, 0, 0xFFFFFFFFu, "1000/4294967295", false},
  };
  for (const Case& c : cases) {
    for (bool roller : {true, false}) {
      MainWindowState state = scannerState();
      state.sMachineInfo.dwScanCount = c.scan;
      (roller ? state.sMachineInfo.dwCountAtRoller : state.sMachineInfo.dwCountAtClean) = c.countAtReset;
      (roller ? state.sMachineInfo.dwRollerReplaceVal : state.sMachineInfo.dwMaintCleanVal) = c.limit;
      ShownPage p(state);
      const QLabel* field = roller ? p.ui().textRoller : p.ui().textMaintenance;
      const QPushButton* button = roller ? p.ui().btnResetRoller : p.ui().btnResetMaintenance;
      const char* which = roller ? " (roller)" : " (maintenance)";
      EXPECT_EQ(field->text(), c.shows) << c.what << which;
      EXPECT_EQ(isRed(field), c.due) << c.what << which;
      EXPECT_EQ(shown(button, &p.page), c.due) << c.what << which;
      // The other counter of the standard records is not due.
      const QLabel* other = roller ? p.ui().textMaintenance : p.ui().textRoller;
      EXPECT_FALSE(isRed(other)) << c.what << which;
      EXPECT_FALSE(shown(roller ? p.ui().btnResetMaintenance : p.ui().btnResetRoller, &p.page)) << c.what << which;
    }
  }
}

// A refill decides the colour from what it shows; a reset button once shown stays.
TEST(MachineInfoPage, RefillWithCountersNoLongerDue) {
  MainWindowState due = scannerState();
  due.sMachineInfo.dwCountAtRoller = 0;
  due.sMachineInfo.dwRollerReplaceVal = 1000;
  ShownPage p(due);
  ASSERT_TRUE(isRed(p.ui().textRoller));
  p.page.setParam(scannerState());
  EXPECT_EQ(p.ui().textRoller->text(), "900/20000");
  EXPECT_FALSE(isRed(p.ui().textRoller));
  EXPECT_TRUE(shown(p.ui().btnResetRoller, &p.page));
}

TEST(MachineInfoPage, SerialVersionsAndStatus) {
  struct Case {
    uint16_t fwInfo;
    uint32_t lastErr;
    const char* statusKey;
  };
  // 4 is the scanner locked for this computer: the main window showing the page holds that lock,
  // so the scanner is ready for it.
  for (const Case& c : {Case{0, 0, "IDS_DD_READY"}, Case{0, 0x7007, "IDS_DD_READY"}, Case{4, 0, "IDS_DD_READY"},
                        Case{1, 0, "IDS_DD_BUSY"}, Case{3, 0, "IDS_DD_BUSY"}, Case{5, 0, "IDS_DD_BUSY"},
                        Case{0x0104, 0, "IDS_DD_BUSY"}, Case{0xFFFF, 0, "IDS_DD_BUSY"}}) {
    MainWindowState state = scannerState();
    state.sDeviceStatus.wFWInfo = c.fwInfo;
    state.sDeviceStatus.dwLastErr = c.lastErr;
    ShownPage p(state);
    EXPECT_EQ(p.ui().textStatus->text(), text(c.statusKey)) << c.fwInfo << " " << c.lastErr;
    EXPECT_EQ(p.ui().textSerial->text(), "SN-0042");
    EXPECT_EQ(p.ui().textMainVersion->text(), "C");
    EXPECT_EQ(p.ui().textPanelVersion->text(), "M:1.2/P:3.4");
  }
  MainWindowState state = scannerState();
  state.sCapabilities.dwVers_FW = 0xFFFF0000u;
  state.sCapabilities.dwVers_Panel = 0x0000FFFFu;
  state.sCapabilities.dwReserved[4] = 0x100u;  // low byte 0: no character
  ShownPage p(state);
  EXPECT_EQ(p.ui().textPanelVersion->text(), "M:65535.0/P:0.65535");
  EXPECT_EQ(p.ui().textMainVersion->text(), "");
}

TEST(MachineInfoPage, ModelSwitchesTheAlertAndFactoryRows) {
  ShownPage p(scannerState());
  for (bool usbOnly : {false, true, false}) {
    p.page.setParam(scannerState(usbOnly));
    const QWidget* page = &p.page;
    EXPECT_EQ(shown(p.ui().labelMaintenanceAlert, page), !usbOnly) << usbOnly;
    EXPECT_EQ(shown(p.ui().popupMaintenanceAlert, page), !usbOnly) << usbOnly;
    EXPECT_EQ(shown(p.ui().labelFactoryReset, page), usbOnly) << usbOnly;
    EXPECT_EQ(shown(p.ui().btnFactoryReset, page), usbOnly) << usbOnly;
  }
}

// Only the alert pop-up is an edit; getParam writes the general record and nothing else.
TEST(MachineInfoPage, AlertChoiceIsTheOnlyChange) {
  struct Case {
    uint8_t stored;
    int chosen;  // -1: untouched
    bool changed;
    uint8_t written;
  };
  for (const Case& c : {Case{1, -1, false, 1}, Case{0, -1, false, 0}, Case{1, 0, true, 0}, Case{0, 1, true, 1},
                        Case{1, 1, false, 1}, Case{2, -1, false, 2}, Case{0xFF, -1, false, 0xFF},
                        Case{2, 1, true, 1}}) {
    MainWindowState state = scannerState();
    state.sParamAll.sGeneral.byScheduled_ME = c.stored;
    ShownPage p(state);
    if (c.chosen >= 0) {
      ASSERT_TRUE(p.ui().popupMaintenanceAlert->chooseItem(c.chosen));
    }
    EXPECT_EQ(p.page.isDataChanged(state), c.changed) << int(c.stored) << " chosen " << c.chosen;

    MainWindowState out = state;
    EXPECT_TRUE(p.page.getParam(out));
    MainWindowState expected = state;
    expected.sParamAll.sGeneral.byScheduled_ME = c.written;
    EXPECT_EQ(std::memcmp(&out.sParamAll, &expected.sParamAll, sizeof out.sParamAll), 0)
        << int(c.stored) << " chosen " << c.chosen;
  }
}

// The counter resets against the scanner: the command, then the page's own copy restarts.
TEST(MachineInfoPage, CounterResetRestartsThePagesCount) {
  for (bool roller : {true, false}) {
    ScannerLink link;
    MainWindowState state = scannerState();
    state.ioWrapper = &link.io;
    state.sMachineInfo.dwScanCount = 1000;
    (roller ? state.sMachineInfo.dwCountAtRoller : state.sMachineInfo.dwCountAtClean) = 100;
    (roller ? state.sMachineInfo.dwRollerReplaceVal : state.sMachineInfo.dwMaintCleanVal) = 900;
    ShownPage p(state);
    QLabel* field = roller ? p.ui().textRoller : p.ui().textMaintenance;
    QPushButton* button = roller ? p.ui().btnResetRoller : p.ui().btnResetMaintenance;
    ASSERT_TRUE(shown(button, &p.page));

    ScriptedDialogs dialogs;  // no alert may appear
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(link.resets(1), std::vector<uint16_t>{roller ? kResetRoller : kResetMaintenance});
    EXPECT_EQ(field->text(), "0/900");
    EXPECT_FALSE(isRed(field));
    EXPECT_TRUE(shown(button, &p.page));
    EXPECT_TRUE(dialogs.alerts().empty());
    // The reset changes only the counters: saving the page writes the record it was given.
    MainWindowState out = state;
    p.page.getParam(out);
    EXPECT_EQ(std::memcmp(&out.sParamAll, &state.sParamAll, sizeof out.sParamAll), 0);
  }
}

// A counter reset that did not happen keeps the count as it was, logs, and says so.
TEST(MachineInfoPage, FailedCounterResetKeepsTheCountAndSaysSo) {
  struct Case {
    bool roller;
    const char* line;
  };
  for (const Case& c :
       {Case{true, "========= -[MachineInfoControllerObjC resetPickupRollerCountPushed:] ERROR: "
                   "ERROR MachineInfo: resetPickupRollerCount return Fail!\n"},
        Case{false, "========= -[MachineInfoControllerObjC resetMaintenanceCountPurshed:] ERROR: "
                    "ERROR MachineInfo: resetMaintenanceCount return Fail!\n"}}) {
    ScannerLink link;
    link.failNext();
    MainWindowState state = scannerState();
    state.ioWrapper = &link.io;
    state.sMachineInfo = {1000, 0, 900, 0, 900};
    ShownPage p(state);
    QLabel* field = c.roller ? p.ui().textRoller : p.ui().textMaintenance;
    ScopedDebugMask mask(0x42);
    LogCapture log;
    ScriptedDialogs dialogs;
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    QTest::mouseClick(c.roller ? p.ui().btnResetRoller : p.ui().btnResetMaintenance, Qt::LeftButton);
    EXPECT_TRUE(log.contains(QString::fromLatin1(c.line))) << log.lines().join('|').toStdString();
    EXPECT_TRUE(log.contains(c.roller ? ">>>>>>>>> -[MachineInfoControllerObjC resetPickupRollerCountPushed:] ENTER"
                                      : ">>>>>>>>> -[MachineInfoControllerObjC resetMaintenanceCountPurshed:] ENTER"));
    EXPECT_EQ(field->text(), "1000/900");
    EXPECT_TRUE(isRed(field));
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_MI_RESET_FAIL"));
  }
}

// The factory reset: Cancel sends nothing and keeps the program; OK sends the reset, tells its
// outcome and ends the program either way.
TEST(MachineInfoPage, FactoryReset) {
  struct Case {
    const char* what;
    bool confirm;
    bool transferFails;
    const char* outcomeKey;  // nullptr: no second alert
  };
  for (const Case& c : {Case{"cancelled", false, false, nullptr}, Case{"succeeds", true, false, "IDS_MI_FACTORY_SUCCESS"},
                        Case{"transfer fails", true, true, "IDS_MI_FACTORY_FAIL"}}) {
    ScannerLink link;
    if (c.transferFails) link.failNext();
    MainWindowState state = scannerState(true);
    state.ioWrapper = &link.io;
    ShownPage p(state);
    int terminated = 0;
    p.page.setTerminateHandler([&] { ++terminated; });

    ScriptedDialogs dialogs;
    dialogs.expectAlert(c.confirm ? 0 : 1, text("IDS_CM_MESSAGE"));
    if (c.outcomeKey != nullptr) dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    QTest::mouseClick(p.ui().btnFactoryReset, Qt::LeftButton);

    ASSERT_EQ(dialogs.pendingAlerts(), 0u) << c.what;
    ASSERT_EQ(dialogs.alerts().size(), c.outcomeKey != nullptr ? 2u : 1u) << c.what;
    EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_MI_FACTORY_MESSAGE")) << c.what;
    EXPECT_EQ(dialogs.alerts()[0].buttons.size(), 2) << c.what;
    if (c.outcomeKey != nullptr) {
      EXPECT_EQ(dialogs.alerts()[1].information, text(c.outcomeKey)) << c.what;
      EXPECT_EQ(dialogs.alerts()[1].buttons.size(), 1) << c.what;
    }
    if (!c.transferFails) {
      EXPECT_EQ(link.resets(c.confirm ? 1 : 0), c.confirm ? std::vector<uint16_t>{kResetFactory} : std::vector<uint16_t>{}) << c.what;
    }
    EXPECT_EQ(terminated, c.confirm ? 1 : 0) << c.what;
  }
}

// The page inside a window: the factory reset closes that window before quitting.
TEST(MachineInfoPage, FactoryResetClosesItsWindow) {
  ScannerLink link;
  MainWindowState state = scannerState(true);
  state.ioWrapper = &link.io;
  QWidget window;
  auto* page = new Page(&window);
  page->resize(pagelayout::kPageSize);
  page->setParam(state);
  window.show();
  ASSERT_TRUE(window.isVisible());
  ScriptedDialogs dialogs;
  dialogs.expectAlert(0);
  dialogs.expectAlert(0);
  QTest::mouseClick(page->controls().btnFactoryReset, Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(link.resets(1), std::vector<uint16_t>{kResetFactory});
}

// Every value, both counters and the model's own control start in one line, on each model, at
// the desktop's text size and with text 1.5 times as large.
TEST(MachineInfoPage, ValuesLineUp) {
  for (bool usbOnly : {false, true}) {
    for (double scale : {1.0, 1.5}) {
      SCOPED_TRACE(testing::Message() << (usbOnly ? "QMX-7305" : "QMX-7315W") << " at " << scale);
      MainWindowState state = scannerState(usbOnly);
      state.sMachineInfo = {500000, 0, 1000, 0, 1000};  // both resets due: their buttons show
      ShownPage shown(state);
      QFont font = shown.page.font();
      font.setPointSizeF(font.pointSizeF() * scale);
      shown.page.setFont(font);
      shown.page.resize(shown.page.neededSize().expandedTo(pagelayout::kPageSize));
      QApplication::processEvents();
      const auto left = [&](const QWidget* w) { return w->mapTo(&shown.page, QPoint(0, 0)).x(); };
      const Page::Controls& ui = shown.ui();
      const int values = left(ui.textSerial);
      QWidget* own = usbOnly ? static_cast<QWidget*>(ui.btnFactoryReset) : ui.popupMaintenanceAlert;
      ASSERT_TRUE(own->isVisible());
      for (const QWidget* w : {static_cast<QWidget*>(ui.textMainVersion), static_cast<QWidget*>(ui.textPanelVersion),
                               static_cast<QWidget*>(ui.textStatus), static_cast<QWidget*>(ui.textRoller),
                               static_cast<QWidget*>(ui.textMaintenance), own}) {
        EXPECT_EQ(left(w), values) << w->metaObject()->className();
      }
      // The reset buttons sit to the right of the counters, in line with each other.
      EXPECT_GT(left(ui.btnResetRoller), left(ui.textRoller) + ui.textRoller->width() - 1);
      EXPECT_EQ(left(ui.btnResetRoller), left(ui.btnResetMaintenance));
    }
  }
}

// A picture of each model's page, with the roller due, at the main window's page size.
TEST(MachineInfoScreenshot, EachModel) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (bool usbOnly : {false, true}) {
    MainWindowState state = scannerState(usbOnly);
    state.sMachineInfo = {123456, 3456, 100000, 23456, 100000};
    Page page;
    page.resize(pagelayout::kPageSize);
    page.setParam(state);
    page.show();
    QApplication::processEvents();
    EXPECT_LE(page.sizeHint().width(), pagelayout::kPageSize.width());
    EXPECT_LE(page.sizeHint().height(), pagelayout::kPageSize.height());
    const QImage image = page.grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/machine-info-%1.png").arg(usbOnly ? "QMX-7305" : "QMX-7315W");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
