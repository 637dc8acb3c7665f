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
    bool shown;     // the password fields appear
    bool password;  // the user sets a new password
    const char* stored;  // the scanner's password bytes (8, NUL-padded); nullptr: "2468"
  };
  const Case cases[] = {
      {"network model", Transport::Tcp, Kind::Qmx7315w, {"status", "lockUUID", "param5", "param2"}, false, false,
       nullptr},
      {"USB-only model", Transport::Usb, Kind::Qmx7305, {"status", "param5", "param2"}, true, true, nullptr},
      // Shown whole and written back as read, not cut to the four characters a user may type.
      {"USB-only model, six-digit password untouched", Transport::Usb, Kind::Qmx7305, {"status", "param5", "param2"},
       true, false, "123456\0\0"},
      {"USB-only model, non-UTF-8 password untouched", Transport::Usb, Kind::Qmx7305, {"status", "param5", "param2"},
       true, false, "\xff" "12\xfe" "345\xc3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FCL_RS_PARAM_ALL before = scannerBlock(c.kind);
    if (c.stored != nullptr) std::memcpy(before.sGeneral.szSecurePDFPassword, c.stored, 8);
    open(c.transport, c.kind, before);
    auto* page = show<ScanToUSBControllerObjC>(pages::kScanToUSBTitle);
    ASSERT_NE(page, nullptr);
    const auto& ui = page->editor()->controls();
    ASSERT_TRUE(ui.popupFileType->chooseItem(3));  // secure PDF for grey
    EXPECT_EQ(page->passwordShown(), c.shown);
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

// The preference file follows the scanner's verdict and never changes it: it is written only
// when the user changed the folder or the box and the scanner accepted the record; a file that
// cannot take the change is told after "saved", the page shows what the file holds and can be
// left; an untouched folder never touches the file.
TEST_F(ScanPagesApplyTest, ScanToPCPreferenceFileFollowsTheScannersVerdict) {
  // A file the writer cannot store again: it holds a text XML cannot carry.
  const QByteArray unwritable = "<plist version=\"1.0\"><dict><key>Location</key><string>~/Pictures</string>"
                                "<key>IsOpen</key><string>1</string><key>Other</key><string>a&#1;b</string></dict></plist>";
  const QByteArray writable = "<plist version=\"1.0\"><dict><key>Location</key><string>~/Pictures</string>"
                              "<key>IsOpen</key><string>1</string></dict></plist>";
  struct Case {
    const char* what;
    const QByteArray* file;
    bool clickBox;
    bool refuseRecord;
    std::vector<QString> alerts;  // the information texts, in order
    bool boxAfter;
    bool pageLeft;                // a page switch then goes through without a question
  };
  const QString file = home.file("Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist", true);
  const QString notStored = platform::formatText(text("IDS_P_FOLDER_NOT_STORED_INFO"), {file});
  const Case cases[] = {
      {"folder untouched, file that cannot be rewritten", &unwritable, false, false,
       {text("IDS_APPLY_SUCCESS_MSG")}, true, true},
      {"box changed, file that cannot be rewritten", &unwritable, true, false,
       {text("IDS_APPLY_SUCCESS_MSG"), notStored}, true, true},
      {"box changed, record refused", &writable, true, true, {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      QFile f(file);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(*c.file);
    }
    const FCL_RS_PARAM_ALL before = scannerBlock(Kind::Qmx7305);
    open(Transport::Usb, Kind::Qmx7305, before);
    auto* page = show<ScanToPCControllerObjC>(pages::kScanToPCTitle);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->chkFilePath()->isChecked());
    if (c.clickBox) page->chkFilePath()->click();
    ASSERT_TRUE(page->editor()->controls().popupResolution->chooseItem(1));
    if (c.refuseRecord) {
      sim::Fault refused;
      refused.opcode = FOP_WRITE2;
      refused.dtc = FCLC_RS_PARAM;
      refused.dtq = 7;
      refused.lastErr = 0x2005;
      link->faults().add(refused);
    }

    if (c.refuseRecord) dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    for (std::size_t i = 0; i < c.alerts.size(); ++i) dialogs.expectAlert(0);
    vc->ApplyBtnPressed();
    EXPECT_EQ(sent(), (Runs{"status", "param7"}));
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    if (c.refuseRecord) {
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      EXPECT_TRUE(dialogs.alerts()[0].information.startsWith(text("IDS_APPLY_FAIL_ERROR_MSG")));
    } else {
      ASSERT_EQ(dialogs.alerts().size(), c.alerts.size());
      for (std::size_t i = 0; i < c.alerts.size(); ++i) EXPECT_EQ(dialogs.alerts()[i].information, c.alerts[i]);
      if (c.alerts.size() > 1) {
        EXPECT_EQ(dialogs.alerts()[1].message, text("IDS_P_FOLDER_NOT_STORED_MSG"));
      }
      FCL_RS_PARAM_ALL expected = before;
      expected.sScan2PC.wResolution_Color = 150;
      expectBlock(expected);
    }
    // The file holds what it held.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), *c.file);
    EXPECT_EQ(page->chkFilePath()->isChecked(), c.boxAfter);

    dialogs.clear();
    if (!c.pageLeft) dialogs.expectAlert(1);  // asked to save: Cancel keeps the edits unsaved
    show<ScanToUSBControllerObjC>(pages::kScanToUSBTitle);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    if (c.pageLeft) {
      EXPECT_TRUE(dialogs.alerts().empty());
    }
  }
}

}  // namespace
