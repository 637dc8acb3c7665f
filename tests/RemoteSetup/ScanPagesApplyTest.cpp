// The scan-to-USB and scan-to-PC pages inside the main window, against the simulated scanner:
// what the user chooses reaches the scanner's records (and the driver's preference file)
// through Apply, byte for byte, and nothing else changes.

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/ScanToPCControllerObjC.h"
#include "Views/ScanToUSBControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "platform/widgets/Widgets.h"

using platform::PropertyList;

namespace {

using Kind = sim::ScannerModel::Kind;
using Runs = std::vector<std::string>;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

FCL_RS_PARAM_SCANPROFILE options(uint8_t scanType) {
  FCL_RS_PARAM_SCANPROFILE r{};
  r.byScanType = scanType;
  r.byFileType_BW = 9;
  r.byFileType_Gray = 0;
  r.byFileType_Color = 1;
  r.byFileType_Auto = 1;
  r.byFileSize_Gray = 1;
  r.byFileSize_Color = 1;
  r.byFileSize_Auto = 1;
  r.wResolution_BW = r.wResolution_Gray = r.wResolution_Color = r.wResolution_Auto = 300;
  r.byDocumentSize = 1;
  r.dwPaperWidth = 2100;
  r.dwPaperHeight = 2970;
  r.byMarginTop = 5;
  r.byBrightness = 1;
  r.byContrast = -1;
  std::memset(r.byReserved5, 0x77, sizeof r.byReserved5);
  return r;
}

class ScanPagesApplyTest : public MainWindowTest {
 public:
  // The scanner holds `block`; a main window with the program's own pages opens it.
  void open(Transport transport, Kind kind, const FCL_RS_PARAM_ALL& block, const QString& twainName = "TW-Office") {
    vc.reset();
    link.reset();
    dialogs.clear();
    if (transport == Transport::Tcp) link = std::make_unique<TcpLink>(kind);
    else link = std::make_unique<UsbLink>(kind);
    link->model().setParamAll(block);
    vc = std::make_unique<ViewController>();
    vc->setTerminateHandler([this] { ++terminations; });
    const bool b = kind == Kind::Qmx7305;
    vc->setupInfo(link->ip(), b ? "B" : "BNT", b ? "Zerelta QMX-7305 [SIM]" : "Zerelta QMX-7315W [SIM]",
                  link->interface(), "UUID-1", twainName);
    appear();
    ASSERT_EQ(vc->containerViews().size(), 1);
  }

  // Clicks the source-list node titled with `key` and answers the page then on show.
  template <typename PageClass>
  PageClass* show(const char* key) {
    QAbstractItemModel* model = vc->sourceListView()->model();
    const QModelIndexList found =
        model->match(model->index(0, 0), Qt::DisplayRole, text(key), 1, Qt::MatchExactly | Qt::MatchRecursive);
    EXPECT_EQ(found.size(), 1) << key;
    if (found.size() != 1) return nullptr;
    vc->clickedItem(found.front());
    settle();
    mark = settledCommands().size();
    const auto views = vc->containerViews();
    return views.size() == 1 ? qobject_cast<PageClass*>(views.front()) : nullptr;
  }

  // Apply, answering the result alert; answers its information text.
  QString apply() {
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ApplyBtnPressed();
    settledCommands();
    return dialogs.alerts().empty() ? QString() : dialogs.alerts().back().information;
  }

  // The settings block of a new scanner, with the two option records and a stored secure-PDF
  // password.
  static FCL_RS_PARAM_ALL scannerBlock(Kind kind) {
    FCL_RS_PARAM_ALL block = sim::ScannerModel(kind).paramAll();
    block.sScan2USB = options(1);
    block.sScan2PC = options(2);
    std::memset(block.sGeneral.szSecurePDFPassword, 0, sizeof block.sGeneral.szSecurePDFPassword);
    std::memcpy(block.sGeneral.szSecurePDFPassword, "2468", 4);
    return block;
  }

  void typeInto(QLineEdit* field, const QString& typed) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, typed);
  }

  void expectBlock(const FCL_RS_PARAM_ALL& expected) {
    const FCL_RS_PARAM_ALL after = link->model().paramAll();
    EXPECT_EQ(std::memcmp(&after.sScan2USB, &expected.sScan2USB, sizeof after.sScan2USB), 0);
    EXPECT_EQ(std::memcmp(&after.sScan2PC, &expected.sScan2PC, sizeof after.sScan2PC), 0);
    EXPECT_EQ(std::memcmp(&after.sGeneral, &expected.sGeneral, sizeof after.sGeneral), 0);
    EXPECT_EQ(std::memcmp(&after, &expected, sizeof after), 0);
  }
};

// Scan to USB: the options and, on the USB-only model, the password reach the scanner; the
// general record is written back as it was apart from the password.
TEST_F(ScanPagesApplyTest, ScanToUSBApplyWritesTheOptionsAndThePassword) {
  struct Case {
    const char* what;
    Transport transport;
    Kind kind;
    Runs writes;
    bool password;  // the user sets a new password
  };
  const Case cases[] = {
      {"network model", Transport::Tcp, Kind::Qmx7315w, {"status", "lockUUID", "param5", "param2"}, false},
      {"USB-only model", Transport::Usb, Kind::Qmx7305, {"status", "param5", "param2"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FCL_RS_PARAM_ALL before = scannerBlock(c.kind);
    open(c.transport, c.kind, before);
    auto* page = show<ScanToUSBControllerObjC>(pages::kScanToUSBTitle);
    ASSERT_NE(page, nullptr);
    const auto& ui = page->editor()->controls();
    ASSERT_TRUE(ui.popupFileType->chooseItem(3));  // secure PDF for grey
    EXPECT_EQ(page->passwordShown(), c.password);
    if (c.password) {
      typeInto(page->passwordControls().securePassword, "1357");
      typeInto(page->passwordControls().secureRetypePassword, "1357");
    }
    ASSERT_TRUE(ui.popupResolution->chooseItem(5));  // the password stays as typed
    ASSERT_TRUE(ui.popupFileSize->chooseItem(2));

    EXPECT_EQ(apply(), text("IDS_APPLY_SUCCESS_MSG"));
    EXPECT_EQ(sent(), c.writes);
    FCL_RS_PARAM_ALL expected = before;
    expected.sScan2USB.byFileType_Gray = 3;
    expected.sScan2USB.wResolution_Gray = 600;
    expected.sScan2USB.byFileSize_Gray = 2;
    if (c.password) platform::textToField(expected.sGeneral.szSecurePDFPassword, QStringLiteral("1357"));
    expectBlock(expected);
  }
}

// A password check that fails stops the cycle before anything is written; the page stays.
TEST_F(ScanPagesApplyTest, ScanToUSBRefusedPasswordWritesNothing) {
  const FCL_RS_PARAM_ALL before = scannerBlock(Kind::Qmx7305);
  open(Transport::Usb, Kind::Qmx7305, before);
  auto* page = show<ScanToUSBControllerObjC>(pages::kScanToUSBTitle);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(page->editor()->controls().popupFileType->chooseItem(4));
  typeInto(page->passwordControls().securePassword, "1234");
  typeInto(page->passwordControls().secureRetypePassword, "4321");
  dialogs.expectAlert(0, text("IDS_CM_WARNING"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), Runs{"status"});
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_PI_ERROR_MSG"));
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  expectBlock(before);
  EXPECT_EQ(vc->containerViews().value(0), page);
}

// Scan to PC: the options reach the scanner, the folder and the box the preference file, whose
// other keys survive.
TEST_F(ScanPagesApplyTest, ScanToPCApplyWritesTheOptionsAndThePreferenceFile) {
  struct Case {
    const char* what;
    Transport transport;
    Kind kind;
    const char* file;
    Runs writes;
  };
  const Case cases[] = {
      {"network model on the network", Transport::Tcp, Kind::Qmx7315w,
       "Library/Preferences/QMX-7315W/TW-Office/Setting_RemoteSetup.plist", {"status", "lockUUID", "param7"}},
      {"network model on USB", Transport::Usb, Kind::Qmx7315w,
       "Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist", {"status", "lockUUID", "param7"}},
      {"USB-only model", Transport::Usb, Kind::Qmx7305,
       "Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist", {"status", "param7"}},
  };
  const QString scans = home.path() + "/Scans";
  ASSERT_TRUE(QDir().mkpath(scans));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString file = home.file(c.file, true);
    const QVariantMap others{{"IsThirdAppScan", "1"}, {"ThirdAppPath", "/usr/bin/simple-scan"}, {"Count", qint64(7)}};
    QVariantMap prefs = others;
    prefs.insert("Location", "~/Pictures");
    prefs.insert("IsOpen", "0");
    ASSERT_EQ(PropertyList::write(file, prefs), PropertyList::Status::Ok);
    const FCL_RS_PARAM_ALL before = scannerBlock(c.kind);
    open(c.transport, c.kind, before);
    auto* page = show<ScanToPCControllerObjC>(pages::kScanToPCTitle);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->textFilePath()->text(), "~/Pictures");
    ASSERT_TRUE(page->editor()->controls().popupScanType->chooseItem(0));
    ASSERT_TRUE(page->editor()->controls().popupFileType->chooseItem(10));
    dialogs.expectPanel(scans);
    page->btnFilePath()->click();
    page->chkFilePath()->click();

    EXPECT_EQ(apply(), text("IDS_APPLY_SUCCESS_MSG"));
    EXPECT_EQ(sent(), c.writes);
    EXPECT_FALSE(page->localSaveFailed());
    FCL_RS_PARAM_ALL expected = before;
    expected.sScan2PC.byScanType = 0;
    expected.sScan2PC.byFileType_BW = 10;
    expectBlock(expected);
    QVariantMap after;
    ASSERT_EQ(PropertyList::read(file, after), PropertyList::Status::Ok);
    QVariantMap expectedPrefs = others;
    expectedPrefs.insert("Location", scans);
    expectedPrefs.insert("IsOpen", "1");
    EXPECT_EQ(after, expectedPrefs);
    // Saved: nothing left to apply.
    vc->ApplyBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    QDir(home.path() + "/Library").removeRecursively();
  }
}

// The preference file cannot be written any more when Apply comes: the scanner's record is
// written, and the page answers that what it keeps on this computer was not stored.
TEST_F(ScanPagesApplyTest, ScanToPCUnwritablePreferenceFileIsTheMainWindowsToReport) {
  const QString file = home.file("Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist", true);
  ASSERT_EQ(PropertyList::write(file, {{"Location", "~/Pictures"}, {"IsOpen", "1"}}), PropertyList::Status::Ok);
  const FCL_RS_PARAM_ALL before = scannerBlock(Kind::Qmx7305);
  open(Transport::Usb, Kind::Qmx7305, before);
  auto* page = show<ScanToPCControllerObjC>(pages::kScanToPCTitle);
  ASSERT_NE(page, nullptr);
  page->chkFilePath()->click();
  ASSERT_TRUE(page->editor()->controls().popupResolution->chooseItem(1));
  // A folder where the file should be.
  ASSERT_TRUE(QFile::remove(file));
  ASSERT_TRUE(QDir().mkpath(file));

  dialogs.expectAlert(0);
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "param7"}));
  EXPECT_TRUE(page->localSaveFailed());
  FCL_RS_PARAM_ALL expected = before;
  expected.sScan2PC.wResolution_Color = 150;
  expectBlock(expected);
  EXPECT_TRUE(QFileInfo(file).isDir());
}

}  // namespace
