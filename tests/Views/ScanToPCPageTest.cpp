// The scan-to-PC page: the file types it offers, and the driver's preference file it reads when
// it is filled and rewrites when it is saved, under a temporary HOME.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <vector>

#include "support/PopUpTestSupport.h"
#include "IO/FCLFileData.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/ScanToPCControllerObjC.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "platform/widgets/Widgets.h"
#include "support/PlistFixtures.h"
#include "support/ScriptedDialogs.h"
#include "support/TempHome.h"

using platform::PropertyList;

namespace {

using Page = ScanToPCControllerObjC;
using Record = FCL_RS_PARAM_SCANPROFILE;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

const QString kNetworkUsbFile = QStringLiteral("Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist");
const QString kUsbOnlyFile = QStringLiteral("Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist");
const QString kNetworkLanFile = QStringLiteral("Library/Preferences/QMX-7315W/TW-Office/Setting_RemoteSetup.plist");

Record scannerRecord() {
  Record r;
  std::memset(&r, 0x5C, sizeof r);
  r.byScanType = 1;
  r.byFileType_BW = 10;
  r.byFileType_Gray = 2;
  r.byFileType_Color = 0;
  r.byFileType_Auto = 1;
  r.byFileSize_Gray = 2;
  r.byFileSize_Color = 1;
  r.byFileSize_Auto = 0;
  r.wResolution_BW = 300;
  r.wResolution_Gray = 200;
  r.wResolution_Color = 300;
  r.wResolution_Auto = 400;
  r.byDocumentSize = 11;
  r.dwPaperWidth = 2159;
  r.dwPaperHeight = 2794;
  r.byMarginLeft = r.byMarginTop = r.byMarginRight = r.byMarginBottom = 0;
  r.byAutoDeskew = 1;
  r.bySkipBlankPage = 1;
  r.byDuplexScan = 0;
  r.byMultifeedDetection = 1;
  r.byContinuousScan = 0;
  r.byAutoColorDetectSensitivity = 0;
  r.bySkipBlankPageSensitivity = 0;
  r.byBrightness = 2;
  r.byContrast = -1;
  return r;
}

// A page for the network model on USB (unless told otherwise), shown.
struct ShownPage {
  explicit ShownPage(const Record& record = scannerRecord(), bool isB = false, const QString& interfaceText = "USB",
                     const QString& twain = "TW-Office")
      : record(record) {
    page.resize(pagelayout::kPageSize);
    page.setParam(record, isB, "UUID-9", twain, interfaceText);
    page.show();
  }
  const ScanOptionEditor::Controls& ui() const { return page.editor()->controls(); }
  // The main window's save: the record taken back, then (unless the scanner refused it) the
  // news that the scanner accepted it.
  Record save(bool accepted = true) {
    Record out;
    std::memset(&out, 0, sizeof out);
    page.getParam(out);
    if (accepted) page.saveAccepted();
    return out;
  }
  Record record;
  Page page;
};

class ScanToPCPage : public TempHomeTest {
 protected:
  QString prefs(const QString& relative = kNetworkUsbFile) const { return home.file(relative); }
  void writePrefs(const QVariantMap& map, const QString& relative = kNetworkUsbFile) {
    home.file(relative, true);
    ASSERT_EQ(PropertyList::write(home.file(relative), map), PropertyList::Status::Ok);
  }
  QVariantMap readPrefs(const QString& relative = kNetworkUsbFile) const {
    QVariantMap map;
    EXPECT_EQ(PropertyList::read(home.file(relative), map), PropertyList::Status::Ok);
    return map;
  }
  QString folder(const QString& name) {
    const QString path = home.path() + "/" + name;
    EXPECT_TRUE(QDir().mkpath(path));
    return path;
  }
};

// Keys the driver and the push-scan monitor keep in the file, of every kind.
QVariantMap othersKeys() {
  return {{"IsThirdAppScan", QStringLiteral("1")},
          {"ThirdAppPath", QStringLiteral("/usr/bin/simple-scan")},
          {"Count", qint64(-3)},
          {"Flag", true},
          {"List", QVariantList{QStringLiteral("a"), qint64(2)}},
          {"Nested", QVariantMap{{"k", QStringLiteral("v")}}}};
}

}  // namespace

TEST_F(ScanToPCPage, IsTheStandardFactorysPageAndTouchesOnlyItsRecord) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kScanToPCStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "scan2PC");
  MainWindowState state;
  std::memset(&state.sParamAll, 0x5A, sizeof state.sParamAll);
  state.sParamAll.sScan2PC = scannerRecord();
  state.bIsB = true;
  const MainWindowState before = state;
  page->setParam(state);
  EXPECT_EQ(page->isDataError(), 0);
  EXPECT_FALSE(page->isDataChanged(state));
  EXPECT_TRUE(page->getParam(state));
  EXPECT_EQ(std::memcmp(&state.sParamAll, &before.sParamAll, sizeof state.sParamAll), 0);
}

// Secure, signed PDF and PDF/A are never offered; the file size is never the user's to choose.
TEST_F(ScanToPCPage, OfferedFileTypesAndFileSize) {
  struct Case {
    int scanType;
    std::vector<int> fileTypes;
    QString fileSizeTitle;
  };
  const Case cases[] = {
      {0, {0, 1, 9, 10}, QString()},
      {1, {0, 1, 2}, text("IDS_P_FILE_SIZE_LARGE")},
      {2, {0, 1, 2}, text("IDS_P_FILE_SIZE_MEDIUM")},
      {3, {0, 1}, text("IDS_P_FILE_SIZE_SMALL")},
  };
  for (bool isB : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "scan type " << c.scanType << (isB ? " USB-only" : ""));
      Record r = scannerRecord();
      r.byScanType = uint8_t(c.scanType);
      ShownPage shown(r, isB);
      EXPECT_EQ(offered(shown.ui().popupFileType), c.fileTypes);
      EXPECT_FALSE(shown.ui().popupFileSize->isEnabled());
      EXPECT_EQ(shown.ui().popupFileSize->titleOfSelectedItem(), c.fileSizeTitle);
      EXPECT_EQ(shown.ui().popupContinuousScan->isVisible(), !isB);
    }
  }
  // A stored file type the page does not offer shows as multi-page PDF and, untouched, goes back
  // as it was; a file type the user chooses is stored.
  for (int stored = 3; stored <= 8; ++stored) {
    SCOPED_TRACE(stored);
    Record r = scannerRecord();
    r.byFileType_Gray = uint8_t(stored);
    ShownPage shown(r);
    EXPECT_EQ(shown.ui().popupFileType->indexOfSelectedItem(), 1);
    EXPECT_FALSE(shown.page.isDataChanged(r));
    EXPECT_EQ(shown.save().byFileType_Gray, stored);
    choose(shown.ui().popupFileType, 0);
    EXPECT_TRUE(shown.page.isDataChanged(r));
    EXPECT_EQ(shown.save().byFileType_Gray, 0);
  }
  // Untouched and offered: back byte for byte.
  ShownPage shown;
  EXPECT_FALSE(shown.page.isDataChanged(shown.record));
  const Record out = shown.save();
  EXPECT_EQ(std::memcmp(&out, &shown.record, sizeof out), 0);
}

// The file of the model and connection is the one read.
TEST_F(ScanToPCPage, ReadsTheFileOfTheModelAndConnection) {
  struct Case {
    const char* what;
    bool isB;
    const char* interfaceText;
    const char* twain;
    const QString* file;  // nullptr: none of this device
  };
  const Case cases[] = {
      {"network model on USB", false, "USB", "TW-Office", &kNetworkUsbFile},
      {"network model on the network", false, "Wired LAN", "TW-Office", &kNetworkLanFile},
      {"USB-only model", true, "USB", "TW-Office", &kUsbOnlyFile},
      {"TWAIN name that is no folder name", false, "Wired LAN", "../TW-Office", nullptr},
      {"empty TWAIN name", false, "Wired LAN", "", nullptr},
      {"TWAIN name \".\"", false, "Wired LAN", ".", nullptr},
      {"TWAIN name \"..\"", false, "Wired LAN", "..", nullptr},
  };
  for (const QString* file : {&kNetworkUsbFile, &kNetworkLanFile, &kUsbOnlyFile})
    writePrefs({{"Location", home.path() + "/" + *file}, {"IsOpen", "1"}}, *file);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShownPage shown(scannerRecord(), c.isB, c.interfaceText, c.twain);
    EXPECT_EQ(shown.page.hasPreferenceFile(), c.file != nullptr);
    EXPECT_EQ(shown.page.textFilePath()->text(), c.file ? home.path() + "/" + *c.file : QString());
    EXPECT_EQ(shown.page.chkFilePath()->isChecked(), c.file != nullptr);
    EXPECT_EQ(shown.page.preferencePath(), preferenceFilePath(c.twain, !c.isB, QString(c.interfaceText) == "USB"));
    EXPECT_EQ(shown.page.preferencePath().isEmpty(), c.file == nullptr);
  }
}

// What the file holds before and after a save; keys the page does not know survive every write.
TEST_F(ScanToPCPage, PreferenceFileBeforeAndAfterSave) {
  ScriptedDialogs dialogs;
  const QString scans = folder("Scans");
  const QString plainFile = home.file("not-a-folder");
  QFile(plainFile).open(QIODevice::WriteOnly);
  struct Case {
    const char* what;
    QVariantMap file;            // besides othersKeys()
    QString shownFolder;         // after setParam
    bool shownBox;
    void (*edit)(Page&, ScriptedDialogs&, const QString& scans);
    QString savedLocation;       // after the save; also what the field then shows
    QString savedIsOpen;         // null: no such key
  };
  const auto clickBox = [](Page& p, ScriptedDialogs&, const QString&) { p.chkFilePath()->click(); };
  const Case cases[] = {
      // Untouched: the file is not written, whatever it holds.
      {"untouched", {{"Location", scans}, {"IsOpen", "0"}}, scans, false, nullptr, scans, "0"},
      {"no IsOpen: box off", {{"Location", scans}}, scans, false, nullptr, scans, QString()},
      {"IsOpen not \"1\"", {{"Location", scans}, {"IsOpen", "yes"}}, scans, false, nullptr, scans, "yes"},
      {"no Location", {{"IsOpen", "1"}}, "~/Pictures", true, nullptr, "~/Pictures", "1"},
      {"empty Location", {{"Location", ""}}, "~/Pictures", false, nullptr, "~/Pictures", QString()},
      {"folder that does not exist", {{"Location", "/nonexistent/scans"}}, "/nonexistent/scans", false, nullptr,
       "/nonexistent/scans", QString()},
      {"home-relative folder kept as written", {{"Location", "~/Scans"}}, "~/Scans", false, nullptr, "~/Scans",
       QString()},
      // Changed by the user: both keys are written.
      {"box turned on", {{"Location", scans}, {"IsOpen", "0"}}, scans, false, clickBox, scans, "1"},
      {"box turned off", {{"Location", scans}, {"IsOpen", "1"}}, scans, true, clickBox, scans, "0"},
      {"box turned on without IsOpen", {{"Location", scans}}, scans, false, clickBox, scans, "1"},
      {"folder chosen", {{"Location", "~/Pictures"}}, "~/Pictures", false,
       [](Page& p, ScriptedDialogs& d, const QString& s) {
         d.expectPanel(s);
         p.btnFilePath()->click();
       },
       scans, "0"},
      {"chooser cancelled", {{"Location", scans}}, scans, false,
       [](Page& p, ScriptedDialogs& d, const QString&) {
         d.expectPanel(std::nullopt);
         p.btnFilePath()->click();
       },
       scans, QString()},
      {"box turned on over a folder that does not exist", {{"Location", "/nonexistent/scans"}}, "/nonexistent/scans",
       false, clickBox, "~/Pictures", "1"},
      {"box turned on over a file, not a folder", {{"Location", plainFile}}, plainFile, false, clickBox, "~/Pictures",
       "1"},
      {"home-relative folder typed", {{"Location", scans}}, scans, false,
       [](Page& p, ScriptedDialogs&, const QString&) {
         p.textFilePath()->setFocus();
         p.textFilePath()->selectAll();
         QTest::keyClicks(p.textFilePath(), "~/Scans");
       },
       "~/Scans", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QVariantMap file = othersKeys();
    for (auto it = c.file.begin(); it != c.file.end(); ++it) file.insert(it.key(), it.value());
    writePrefs(file);
    ShownPage shown;
    EXPECT_EQ(shown.page.textFilePath()->text(), c.shownFolder);
    EXPECT_EQ(shown.page.chkFilePath()->isChecked(), c.shownBox);
    // A missing Location is filled in the file at once, and that is no change of the user's.
    if (!file.contains("Location") || file.value("Location").toString().isEmpty()) {
      EXPECT_EQ(readPrefs().value("Location"), "~/Pictures");
    }
    EXPECT_FALSE(shown.page.isDataChanged(shown.record));
    if (c.edit != nullptr) c.edit(shown.page, dialogs, scans);
    shown.save();
    EXPECT_EQ(shown.page.textFilePath()->text(), c.savedLocation);
    QVariantMap expected = othersKeys();
    expected.insert("Location", c.savedLocation);
    if (!c.savedIsOpen.isNull()) expected.insert("IsOpen", c.savedIsOpen);
    EXPECT_EQ(readPrefs(), expected);
    // What was saved is what the next change check compares with.
    EXPECT_FALSE(shown.page.isDataChanged(shown.record));
    EXPECT_EQ(dialogs.pendingPanels(), 0u);
  }
  // The chooser starts in the folder the field names.
  ASSERT_FALSE(dialogs.panels().empty());
}

// The change check for the folder and the box (the scan record untouched).
TEST_F(ScanToPCPage, ChangeCheckOfFolderAndBox) {
  const QString scans = folder("Scans");
  struct Case {
    const char* what;
    void (*edit)(Page&);
    bool changed;
  };
  const Case cases[] = {
      {"nothing", [](Page&) {}, false},
      {"box on", [](Page& p) { p.chkFilePath()->click(); }, true},
      {"box on and off again", [](Page& p) { p.chkFilePath()->click(); p.chkFilePath()->click(); }, false},
      {"folder typed", [](Page& p) { QTest::keyClicks(p.textFilePath(), "/more"); }, true},
      {"folder typed back", [](Page& p) {
         QTest::keyClicks(p.textFilePath(), "x");
         QTest::keyClick(p.textFilePath(), Qt::Key_Backspace);
       }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writePrefs({{"Location", scans}, {"IsOpen", "0"}});
    ShownPage shown;
    shown.page.textFilePath()->setFocus();
    shown.page.textFilePath()->end(false);
    c.edit(shown.page);
    EXPECT_EQ(shown.page.isDataChanged(shown.record), c.changed);
  }
}

// No preference file: the folder controls are disabled with a line that says why, the page
// reports no change for them and creates no file.
TEST_F(ScanToPCPage, WithoutAPreferenceFileTheFolderIsNotThePagesToChange) {
  struct Case {
    const char* what;
    bool makeFolderInstead;  // an unreadable "file": a folder of that name
    const char* noteKey;
  };
  const Case cases[] = {
      {"no file", false, "IDS_P_SAVE_PATH_NOT_ON_THIS_COMPUTER"},
      {"a folder where the file should be", true, "IDS_P_SAVE_PATH_UNREADABLE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(home.path() + "/Library").removeRecursively();
    // Filled first from a file with the box on, so that stale values would show.
    writePrefs({{"Location", folder("Old")}, {"IsOpen", "1"}}, kUsbOnlyFile);
    ShownPage shown(scannerRecord(), true);
    ASSERT_TRUE(shown.page.chkFilePath()->isChecked());
    QFile::remove(prefs(kUsbOnlyFile));
    if (c.makeFolderInstead) {
      ASSERT_TRUE(QDir().mkpath(prefs(kUsbOnlyFile)));
    }
    shown.page.setParam(shown.record, true, "UUID-9", "TW-Office", "USB");

    EXPECT_FALSE(shown.page.hasPreferenceFile());
    EXPECT_FALSE(shown.page.textFilePath()->isEnabled());
    EXPECT_FALSE(shown.page.btnFilePath()->isEnabled());
    EXPECT_FALSE(shown.page.chkFilePath()->isEnabled());
    EXPECT_FALSE(shown.page.chkFilePath()->isChecked());
    EXPECT_EQ(shown.page.textFilePath()->text(), QString());
    EXPECT_TRUE(shown.page.labelNoPreferences()->isVisible());
    EXPECT_EQ(shown.page.labelNoPreferences()->text(), text(c.noteKey));
    shown.page.textFilePath()->setText("/somewhere");  // not something a user can do here
    EXPECT_FALSE(shown.page.isDataChanged(shown.record));
    shown.save();
    EXPECT_EQ(QFileInfo(prefs(kUsbOnlyFile)).isFile(), false);
    EXPECT_EQ(QFileInfo(prefs(kUsbOnlyFile)).isDir(), c.makeFolderInstead);
  }
  // With a file again, everything is enabled and the line is gone.
  ASSERT_TRUE(QDir(prefs(kUsbOnlyFile)).removeRecursively());
  writePrefs({{"Location", "~/Pictures"}}, kUsbOnlyFile);
  ShownPage shown(scannerRecord(), true);
  EXPECT_TRUE(shown.page.chkFilePath()->isEnabled());
  EXPECT_FALSE(shown.page.labelNoPreferences()->isVisible());
}

// The folder and the box reach the file only once the scanner accepted the record. A file that
// cannot take them then is told after the save (with its path), and the controls show what the
// file holds: nothing is left pending.
TEST_F(ScanToPCPage, FolderIsStoredOnlyAfterTheScannerAcceptedAndAFailedWriteIsTold) {
  ScriptedDialogs dialogs;
  const QString scans = folder("Scans");
  writePrefs({{"Location", scans}, {"IsOpen", "0"}});
  ShownPage shown;
  shown.page.chkFilePath()->click();
  // The scanner refused the record: the file keeps what it held, the change stays.
  shown.save(false);
  EXPECT_EQ(readPrefs().value("IsOpen"), "0");
  EXPECT_TRUE(shown.page.isDataChanged(shown.record));

  // The file is replaced by a folder of its name: it can be neither read nor written.
  ASSERT_TRUE(QFile::remove(prefs()));
  ASSERT_TRUE(QDir().mkpath(prefs()));
  dialogs.expectAlert(0, text("IDS_P_FOLDER_NOT_STORED_MSG"));
  const Record out = shown.save();
  EXPECT_EQ(std::memcmp(&out, &shown.record, sizeof out), 0);
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.alerts()[0].information,
            platform::formatText(text("IDS_P_FOLDER_NOT_STORED_INFO"), {prefs()}));
  EXPECT_TRUE(dialogs.alerts()[0].information.contains(prefs()));
  EXPECT_FALSE(shown.page.chkFilePath()->isChecked());
  EXPECT_EQ(shown.page.textFilePath()->text(), scans);
  EXPECT_FALSE(shown.page.isDataChanged(shown.record));

  // The file comes back: the box turned on again is stored, the other keys stay.
  ASSERT_TRUE(QDir(prefs()).removeRecursively());
  writePrefs({{"Location", scans}, {"IsOpen", "0"}, {"IsThirdAppScan", "0"}});
  shown.page.chkFilePath()->click();
  shown.save();
  EXPECT_EQ(readPrefs().value("IsOpen"), "1");
  EXPECT_EQ(readPrefs().value("IsThirdAppScan"), "0");
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// The file is the driver's: the page changes its two keys and nothing else, in the file's own
// format; a file it cannot read safely is unreadable, and a rewrite that cannot be done is told.
TEST_F(ScanToPCPage, RewritesOnlyItsKeysInTheFilesFormatAndTellsWhatItCannotStore) {
  const QString scans = folder("Scans");
  const auto putBytes = [&](const QByteArray& bytes) {
    QFile f(home.file(kNetworkUsbFile, true));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  };
  const auto fileBytes = [&] {
    QFile f(prefs());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };

  // A binary file with a date of 1900 and a UID: still binary, every other value as it was.
  putBytes(plistfixtures::everyKindBinary());
  QVariantMap before = readPrefs();
  {
    ShownPage shown;
    EXPECT_EQ(shown.page.textFilePath()->text(), "/a");
    shown.page.textFilePath()->setText(scans);
    shown.page.chkFilePath()->click();
    shown.save();
  }
  const QByteArray saved = fileBytes();
  EXPECT_TRUE(saved.startsWith("bplist00"));
  EXPECT_TRUE(saved.contains(QByteArray("\x80\x05", 2)));  // the UID
  before.insert("Location", scans);
  before.insert("IsOpen", "1");
  EXPECT_EQ(readPrefs(), before);
  EXPECT_EQ(readPrefs().value("Old").toDateTime(), QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC));

  // A folder whose name holds a control character cannot go into the XML file: the file stays,
  // the user is told, and the field shows the file's folder again.
  const QString odd = folder(QStringLiteral("odd\x01name"));
  writePrefs({{"Location", scans}, {"IsOpen", "0"}});
  QByteArray old = fileBytes();
  {
    ScriptedDialogs dialogs;
    ShownPage shown;
    shown.page.textFilePath()->setText(odd);
    dialogs.expectAlert(0, text("IDS_P_FOLDER_NOT_STORED_MSG"));
    shown.save();
    EXPECT_EQ(fileBytes(), old);
    EXPECT_EQ(shown.page.textFilePath()->text(), scans);
    EXPECT_FALSE(shown.page.isDataChanged(shown.record));
  }

  // The "~/Pictures" default cannot be stored in a file that already holds such a text: it is
  // shown, and as the page's own default it is no change; an untouched save leaves the file.
  putBytes("<plist version=\"1.0\"><dict><key>IsOpen</key><string>0</string>"
           "<key>Other</key><string>a&#1;b</string></dict></plist>");
  old = fileBytes();
  {
    ScriptedDialogs dialogs;
    ShownPage shown;
    EXPECT_EQ(shown.page.textFilePath()->text(), "~/Pictures");
    EXPECT_EQ(fileBytes(), old);
    EXPECT_FALSE(shown.page.isDataChanged(shown.record));
    shown.save();
    EXPECT_EQ(fileBytes(), old);
    EXPECT_TRUE(dialogs.alerts().empty());
  }

  // Files holding U+0000 (libplist would abort on them): unreadable, left alone.
  for (const QByteArray& bad : plistfixtures::withNul()) {
    putBytes(bad);
    ShownPage shown;
    EXPECT_FALSE(shown.page.hasPreferenceFile());
    EXPECT_EQ(shown.page.labelNoPreferences()->text(), text("IDS_P_SAVE_PATH_UNREADABLE"));
    shown.save();
    EXPECT_EQ(fileBytes(), bad);
  }
}

// Saves a picture of each model's page into <build dir>/screenshots/, and checks what the user
// sees on it.
TEST_F(ScanToPCPage, ScreenshotOfEachModel) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (bool isB : {false, true}) {
    writePrefs({{"Location", "~/Pictures"}, {"IsOpen", "1"}}, isB ? kUsbOnlyFile : kNetworkUsbFile);
    Record r = scannerRecord();
    r.byScanType = 2;
    ShownPage shown(r, isB);
    QApplication::processEvents();
    EXPECT_EQ(shown.page.labelScanToPC()->text(), text("IDS_P_SCAN_TO_PC"));
    EXPECT_EQ(shown.page.textFilePath()->text(), "~/Pictures");
    EXPECT_TRUE(shown.page.chkFilePath()->isChecked());
    EXPECT_EQ(shown.page.chkFilePath()->text(), text("IDS_P_OPEN_AFTER_SCANNING"));
    const QImage image = shown.page.grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/scan-to-pc-%1.png").arg(isB ? "QMX-7305" : "QMX-7315W");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
