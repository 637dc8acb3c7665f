// The main window's Import and Export buttons against the simulated scanner, with stand-in
// pages, scripted dialogs and panels and a temporary HOME: the choice, the checks that refuse a
// file before anything is written, the round trip, the failures, and that the readers' alerts
// come up on the GUI thread while the readers run on the import's queue.

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <mutex>

#include "IO/FCLFileData.h"
#include "MainWindowFixture.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "support/PlistFixtures.h"
#include "platform/SerialQueue.h"
#include "support/LogCapture.h"
#include "support/TestBytes.h"

using platform::Localizer;
using platform::PropertyList;

namespace {

using Kind = sim::ScannerModel::Kind;
using Runs = std::vector<std::string>;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

// The parts of the settings block that an all-settings import writes.
struct Section {
  const char* name;
  std::size_t offset;
  std::size_t size;
};
const Section kImportedSections[] = {
    {"sGeneral", offsetof(FCL_RS_PARAM_ALL, sGeneral), sizeof(FCL_RS_PARAM_GENERAL)},
    {"sFilename", offsetof(FCL_RS_PARAM_ALL, sFilename), sizeof(FCL_RS_PARAM_FILENAME)},
    {"sScan2USB", offsetof(FCL_RS_PARAM_ALL, sScan2USB), sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {"sScan2Email", offsetof(FCL_RS_PARAM_ALL, sScan2Email), sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {"sScan2PC", offsetof(FCL_RS_PARAM_ALL, sScan2PC), sizeof(FCL_RS_PARAM_SCANPROFILE)},
    {"sWiredLAN", offsetof(FCL_RS_PARAM_ALL, sWiredLAN), sizeof(FCL_RS_PARAM_NETWORK)},
    {"sWirelessLAN", offsetof(FCL_RS_PARAM_ALL, sWirelessLAN), sizeof(FCL_RS_PARAM_NETWORK)},
    {"sEmail", offsetof(FCL_RS_PARAM_ALL, sEmail), sizeof(FCL_RS_PARAM_EMAIL)},
};

template <typename T>
bool sameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}
bool sameSection(const FCL_RS_PARAM_ALL& a, const FCL_RS_PARAM_ALL& b, const Section& s) {
  return std::memcmp(reinterpret_cast<const char*>(&a) + s.offset, reinterpret_cast<const char*>(&b) + s.offset,
                     s.size) == 0;
}

// Puts `dialogs` in front of the scripted dialogs and notes every alert that does not run on the
// GUI thread.
class GuiThreadDialogs : public platform::Dialogs {
 public:
  explicit GuiThreadDialogs(platform::Dialogs& inner) : m_inner(inner) { m_previous = platform::setDialogs(this); }
  ~GuiThreadDialogs() override { platform::setDialogs(m_previous); }
  platform::AlertAnswer runAlert(const platform::AlertSpec& spec) override {
    if (!platform::isMainThread()) ++offGuiThread;
    return m_inner.runAlert(spec);
  }
  std::optional<QString> openFile(const QString& e, const QString& d) override { return m_inner.openFile(e, d); }
  std::optional<QString> saveFile(const QString& e, const QString& n, const QString& d) override {
    return m_inner.saveFile(e, n, d);
  }
  std::optional<QString> chooseFolder(const QString& d) override { return m_inner.chooseFolder(d); }
  int offGuiThread = 0;

 private:
  platform::Dialogs& m_inner;
  platform::Dialogs* m_previous = nullptr;
};

class ImportExportTest : public MainWindowTest {
 public:
  void TearDown() override { EXPECT_EQ(guiDialogs.offGuiThread, 0) << "an alert ran off the GUI thread"; }

  // The window after its first load, the import pauses shortened.
  // Whether a settings record was written since the last sent() (the lock is not a setting).
  bool wroteSettings() {
    const auto entries = settledCommands();
    bool wrote = false;
    for (std::size_t i = mark; i < entries.size(); ++i) {
      const FCL_VENDOR_CMD& c = entries[i].cmd;
      if ((c.byOPCode == FOP_WRITE || c.byOPCode == FOP_WRITE2) && c.byDTC != FCLC_RS_SCANNER_LOCK) wrote = true;
    }
    mark = entries.size();
    return wrote;
  }

  // The choice alert of the network model: 0 Cancel, 1 Start, 2 Start with "address book only".
  // `box` ticks the check box also for a Cancel.
  void expectChoice(const char* cautionKey, int answer, bool box = false) {
    dialogs.expectAlert(answer == 0 ? 0 : 1, text(cautionKey), answer == 2 || box);
  }

  // A file of `size` bytes beginning with `head`, zeros after it.
  static void writeFile(const QString& path, const QByteArray& head, qint64 size) {
    QByteArray bytes = head.left(size);
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), size);
  }
  static QByteArray signature(const char* text) { return QByteArray(text).leftJustified(40, '\0'); }
  static QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  GuiThreadDialogs guiDialogs{dialogs};
};

// Every section survives export, a change on the scanner, and import: the scanner holds the
// exported bytes again, the driver's folder choice comes back, the records are read again and the
// page on show is refilled, with no apply cycle before the import. The address-book import writes
// the book and nothing else.
TEST_F(ImportExportTest, RoundTripRestoresWhatTheImportWrites) {
  struct Case {
    const char* name;
    Transport transport;
    Kind kind;
    bool addressBook;
    const char* prefs;  // the driver's preference file under HOME
  };
  const Case cases[] = {
      {"all settings, network model on the network", Transport::Tcp, Kind::Qmx7315w, false,
       "Library/Preferences/QMX-7315W/TWAIN-1/Setting_RemoteSetup.plist"},
      {"all settings, network model on USB", Transport::Usb, Kind::Qmx7315w, false,
       "Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist"},
      {"all settings, USB-only model", Transport::Usb, Kind::Qmx7305, false,
       "Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist"},
      {"address book, network model", Transport::Tcp, Kind::Qmx7315w, true,
       "Library/Preferences/QMX-7315W/TWAIN-1/Setting_RemoteSetup.plist"},
  };
  const int32_t previousMask = Utilities::sharedInstance().nDebugMask();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loaded(c.transport, c.kind);
    const bool network = c.kind == Kind::Qmx7315w;
    const QString ext = c.addressBook ? "addr" : "bin";
    const QString path = home.file("backup." + ext);
    const QString prefsPath = home.file(c.prefs, true);
    ASSERT_EQ(PropertyList::write(prefsPath, {{"Location", "/srv/scans/exported"}, {"IsOpen", "1"}, {"Other", "kept"}}),
              PropertyList::Status::Ok);
    Utilities::sharedInstance().setDebugMask(0x01);
    LogCapture log;

    // Export.
    if (network) expectChoice("IDS_EID_EXPORT_CAUTION", c.addressBook ? 2 : 1);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ExportBtnPressed();
    ASSERT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));
    ASSERT_EQ(dialogs.panels().size(), 1u);
    EXPECT_EQ(dialogs.panels()[0].kind, ScriptedDialogs::Panel::Kind::Save);
    EXPECT_EQ(dialogs.panels()[0].extension, ext);
    EXPECT_EQ(readAll(path).size(), c.addressBook ? 114076 : 159840);

    const FCL_RS_PARAM_ALL exportedParam = link->model().paramAll();
    const auto exportedBook = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
    const auto exportedProfiles = std::make_unique<FCL_RS_PROFILE_ALL>(link->model().profiles());
    const uint32_t exportedSleep = link->model().sleepTime(), exportedOff = link->model().autoPowerOffTime();

    // Everything changes on the scanner and in the preference file.
    FCL_RS_PARAM_ALL changed = exportedParam;
    uint8_t seed = 40;
    for (const Section& s : kImportedSections) {
      const sim::Bytes p = pattern(s.size, seed++);
      std::memcpy(reinterpret_cast<char*>(&changed) + s.offset, p.data(), s.size);
    }
    link->model().setParamAll(changed);
    auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
    const sim::Bytes bp = pattern(sizeof *book, 90);
    std::memcpy(book.get(), bp.data(), sizeof *book);
    for (auto& node : book->sNode) node.dwIsInShortcut = 0;
    link->model().setAddressBook(*book);
    auto profiles = std::make_unique<FCL_RS_PROFILE_ALL>();
    const sim::Bytes pp = pattern(sizeof *profiles, 120);
    std::memcpy(profiles.get(), pp.data(), sizeof *profiles);
    link->model().setProfiles(*profiles);
    const FCL_LAMP_STATE lamp{0, exportedSleep + 7, 0, exportedOff + 9};
    link->model().setRecord(FCLC_LAMP, FCLD_LAMP_CRG1, bytesOf(lamp));
    link->model().setRecord(FCLC_LAMP, FCLD_LAMP_CRG2_SET, bytesOf(lamp));
    ASSERT_EQ(PropertyList::write(prefsPath, {{"Location", "/elsewhere"}, {"IsOpen", "0"}, {"Other", "kept"}}),
              PropertyList::Status::Ok);

    // Import, with an edit on the page that was never applied.
    scripts["generalSetup"].changed = true;
    calls.clear();
    sent();
    if (network) expectChoice("IDS_EID_IMPORT_CAUTION", c.addressBook ? 2 : 1);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ImportBtnPressed();
    ASSERT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_IMPORT_SUCCESS"));
    EXPECT_EQ(dialogs.panels().back().kind, ScriptedDialogs::Panel::Kind::Open);
    EXPECT_EQ(dialogs.panels().back().extension, ext);

    const FCL_RS_PARAM_ALL now = link->model().paramAll();
    for (const Section& s : kImportedSections) {
      EXPECT_TRUE(sameSection(now, c.addressBook ? changed : exportedParam, s)) << s.name;
    }
    EXPECT_TRUE(sameBytes(link->model().addressBook(), *exportedBook));
    EXPECT_TRUE(sameBytes(link->model().profiles(), c.addressBook ? *profiles : *exportedProfiles));
    EXPECT_EQ(link->model().sleepTime(), c.addressBook ? lamp.dwCrg1Lamp2 : exportedSleep);
    EXPECT_EQ(link->model().autoPowerOffTime(), c.addressBook ? lamp.dwCrg2Lamp2 : exportedOff);
    QVariantMap prefs;
    ASSERT_EQ(PropertyList::read(prefsPath, prefs), PropertyList::Status::Ok);
    EXPECT_EQ(prefs.value("Location").toString(), c.addressBook ? "/elsewhere" : "/srv/scans/exported");
    EXPECT_EQ(prefs.value("IsOpen").toString(), c.addressBook ? "0" : "1");
    EXPECT_EQ(prefs.value("Other").toString(), "kept");

    // Read again and refilled: the window's records are the scanner's, the page was given them
    // without being asked for its edits.
    EXPECT_TRUE(sameBytes(vc->state().sParamAll, now));
    EXPECT_EQ(callsOf("generalSetup"), (Runs{"setParam"}));
    ASSERT_EQ(vc->containerViews().size(), 1);
    EXPECT_EQ(vc->containerViews().front()->objectName(), "generalSetup");

    const char* importOp = c.addressBook ? "importAddressBook()" : "importAllSetting()";
    const char* exportOp = c.addressBook ? "exportAddressBook()" : "exportAllSetting()";
    for (const char* op : {"ImportBtnPressed(_:)", "ExportBtnPressed(_:)", importOp, exportOp}) {
      EXPECT_TRUE(log.contains(QStringLiteral(">>>>> ViewController::%1 ENTER").arg(op))) << op;
      EXPECT_TRUE(log.contains(QStringLiteral("<<<<< ViewController::%1 END \n ").arg(op))) << op;
    }
    Utilities::sharedInstance().setDebugMask(previousMask);
  }
}

// A file that fails the name, size or signature check is refused with that check's alert before
// anything is written; the records and the page stay as they were.
TEST_F(ImportExportTest, ChecksRefuseAFileBeforeAnythingIsWritten) {
  const QByteArray bntAll = signature(kSignatureBntAllSettings);
  const QByteArray bntBook = signature(kSignatureBntAddressBook);
  const QByteArray usbOnly = signature(kSignatureB);
  constexpr qint64 kAll = 159840, kBook = 114076;
  constexpr qint64 kMissing = -1, kFolder = -2;
  struct Case {
    const char* name;
    Kind kind;
    int choice;  // network model: 1 all settings, 2 address book
    const char* fileName;
    QByteArray head;
    qint64 size;
    const char* refusal;  // the information key of the alert
  };
  const char* const kName = "IDS_IMPORT_FILE_NAME_INCORRECT_INFO";
  const char* const kSize = "IDS_IMPORT_FILE_SIZE_INCORRECT_INFO";
  const char* const kFormat = "IDS_IMPORT_FILE_FORMAT_INCORRECT_INFO";
  const Case cases[] = {
      // Names: an exact substring, anywhere, in one of its two spellings. A name that passes
      // meets the size check next, which these files fail.
      {"'.Bin' is neither spelling", Kind::Qmx7315w, 1, "settings.Bin", bntAll, 10, kName},
      {"no point before bin", Kind::Qmx7315w, 1, "settingsbin", bntAll, 10, kName},
      {"'.BIN' passes", Kind::Qmx7315w, 1, "settings.BIN", bntAll, 10, kSize},
      {"'.bin' more than once passes", Kind::Qmx7315w, 1, "my.bin.backup.bin", bntAll, 10, kSize},
      {"'.bin' inside the name passes", Kind::Qmx7315w, 1, "settings.bin.old", bntAll, 10, kSize},
      {"'.Addr' is neither spelling", Kind::Qmx7315w, 2, "book.Addr", bntBook, 10, kName},
      {"an all-settings name for the book", Kind::Qmx7315w, 2, "book.bin", bntBook, kBook, kName},
      {"'.ADDR' passes", Kind::Qmx7315w, 2, "book.ADDR", bntBook, 10, kSize},
      {"USB-only model, '.Bin'", Kind::Qmx7305, 0, "settings.Bin", usbOnly, kAll, kName},
      // Sizes: one byte off either way, a file that is gone, a folder.
      {"all settings one byte short", Kind::Qmx7315w, 1, "a.bin", bntAll, kAll - 1, kSize},
      {"all settings one byte long", Kind::Qmx7315w, 1, "a.bin", bntAll, kAll + 1, kSize},
      {"address book one byte short", Kind::Qmx7315w, 2, "a.addr", bntBook, kBook - 1, kSize},
      {"address book one byte long", Kind::Qmx7315w, 2, "a.addr", bntBook, kBook + 1, kSize},
      {"the book's size for all settings", Kind::Qmx7315w, 1, "a.bin", bntAll, kBook, kSize},
      {"file gone", Kind::Qmx7315w, 1, "gone.bin", {}, kMissing, kSize},
      {"a folder", Kind::Qmx7315w, 1, "folder.bin", {}, kFolder, kSize},
      {"USB-only model, one byte long", Kind::Qmx7305, 0, "a.bin", usbOnly, kAll + 1, kSize},
      // Signatures: the other model's file, the other kind's signature, no valid UTF-8.
      {"USB-only model's file on the network model", Kind::Qmx7315w, 1, "a.bin", usbOnly, kAll, kFormat},
      {"network model's file on the USB-only model", Kind::Qmx7305, 0, "a.bin", bntAll, kAll, kFormat},
      {"the book's signature in an all-settings file", Kind::Qmx7315w, 1, "a.bin", bntBook, kAll, kFormat},
      {"the all-settings signature in a book file", Kind::Qmx7315w, 2, "a.addr", bntAll, kBook, kFormat},
      {"signature, then bytes that are not UTF-8", Kind::Qmx7315w, 1, "a.bin",
       QByteArray(kSignatureBntAllSettings) + "\xFF\xFE\0\0", kAll, kFormat},
      {"no signature at all", Kind::Qmx7315w, 1, "a.bin", QByteArray(40, 'x'), kAll, kFormat},
  };
  std::optional<Kind> running;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (running != c.kind) {
      loaded(c.kind == Kind::Qmx7305 ? Transport::Usb : Transport::Tcp, c.kind);
      running = c.kind;
    }
    const QString path = home.file(QString::fromLatin1(c.fileName));
    QFile::remove(path);
    QDir(path).removeRecursively();
    if (c.size == kFolder) ASSERT_TRUE(QDir().mkpath(path));
    else if (c.size != kMissing) writeFile(path, c.head, c.size);
    const FCL_RS_PARAM_ALL before = vc->state().sParamAll;

    dialogs.clear();
    calls.clear();
    if (c.kind == Kind::Qmx7315w) expectChoice("IDS_EID_IMPORT_CAUTION", c.choice);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0);
    vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    ASSERT_FALSE(dialogs.alerts().empty());
    EXPECT_EQ(dialogs.alerts().back().information, text(c.refusal));
    EXPECT_EQ(dialogs.alerts().back().buttons.size(), 1);
    EXPECT_FALSE(wroteSettings());
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(sameBytes(vc->state().sParamAll, before));
  }
}

// On the network model an address-book entry used by a panel shortcut refuses every import,
// whatever the file holds, before anything is written.
TEST_F(ImportExportTest, ShortcutOnTheScannerRefusesEveryImport) {
  loaded(Transport::Tcp, Kind::Qmx7315w);
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  book->sNode[FCL_ADDRESS_BOOK_NODE_COUNT - 1].dwIsInShortcut = 1;
  link->model().setAddressBook(*book);
  const QString all = home.file("ok.bin"), addr = home.file("ok.addr");
  writeFile(all, signature(kSignatureBntAllSettings), 159840);
  writeFile(addr, signature(kSignatureBntAddressBook), 114076);
  sent();

  for (const auto& [choice, path] : {std::pair{1, all}, std::pair{2, addr}}) {
    SCOPED_TRACE(choice);
    dialogs.clear();
    expectChoice("IDS_EID_IMPORT_CAUTION", choice);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_IMPORT_ADDRBOOK_SHORTCUT_HAD_SET_INFO"));
    EXPECT_EQ(sent(), (Runs{"dtc155"}));  // the book was read for the check, nothing more
    EXPECT_TRUE(calls.empty());
  }
  EXPECT_TRUE(sameBytes(link->model().addressBook(), *book));
}

// Cancel in the choice (also with its box on) or in a panel ends the operation without an alert:
// nothing is sent (not even the export's apply cycle after a cancelled choice) and no file is
// written.
TEST_F(ImportExportTest, CancelsEndWithoutAnAlert) {
  loaded(Transport::Tcp, Kind::Qmx7315w);
  struct Case {
    const char* name;
    bool exporting;
    std::function<void()> script;
    Runs sent;
  };
  const Case cases[] = {
      {"import, Cancel with the box on", false, [&] { expectChoice("IDS_EID_IMPORT_CAUTION", 0, true); }, {}},
      {"export, Cancel with the box on", true, [&] { expectChoice("IDS_EID_EXPORT_CAUTION", 0, true); }, {}},
      {"import, open panel cancelled", false,
       [&] {
         expectChoice("IDS_EID_IMPORT_CAUTION", 2);
         dialogs.expectPanel(std::nullopt);
       },
       {}},
      {"export, save panel cancelled", true,
       [&] {
         expectChoice("IDS_EID_EXPORT_CAUTION", 1);
         dialogs.expectPanel(std::nullopt);
       },
       {"status", "lockUUID"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    c.script();
    if (c.exporting) vc->ExportBtnPressed();
    else vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.pendingPanels(), 0u);
    EXPECT_EQ(dialogs.alerts().size(), 1u);  // the choice only
    EXPECT_EQ(sent(), c.sent);
  }
  EXPECT_TRUE(QDir(home.path()).entryList({"*.bin", "*.addr"}, QDir::Files).isEmpty());
}

// On the network model the export follows the apply cycle: when the cycle answers NO (a page
// error, a failed save) no panel opens and nothing is exported.
TEST_F(ImportExportTest, FailingApplyCycleStopsTheExport) {
  struct Case {
    const char* name;
    int choice;
    std::function<void(ImportExportTest&)> arrange;
    const char* cycleAlert;
    const char* cycleInfo;
  };
  const Case cases[] = {
      {"page error", 1, [](ImportExportTest& t) { t.scripts["generalSetup"].error = 3; }, "IDS_CM_ERROR",
       "IDS_MAIL_FORMAT_ERR_MSG"},
      {"failed save", 2,
       [](ImportExportTest& t) {
         t.scripts["generalSetup"].changed = true;
         sim::Fault drop;
         drop.opcode = FOP_WRITE2;
         drop.dtc = FCLC_RS_PARAM;
         drop.dtq = FCLD_RS_PARAM_GENERAL;
         drop.closeAfterSent = 0;
         t.link->faults().add(drop);
       },
       "IDS_CM_INFORMATION", "IDS_APPLY_FAIL_ERROR_MSG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loaded(Transport::Tcp, Kind::Qmx7315w);
    c.arrange(*this);
    expectChoice("IDS_EID_EXPORT_CAUTION", c.choice);
    dialogs.expectAlert(0, text(c.cycleAlert));
    vc->ExportBtnPressed();  // an unscripted save panel would fail the test
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text(c.cycleInfo));
    EXPECT_TRUE(dialogs.panels().empty());
    EXPECT_EQ(callsOf("generalSetup").front(), "isDataError");
  }
}

// The USB-only model exports all settings at once: no choice, no apply cycle (the page is not
// asked, its unapplied edit is not in the file), only the export's reads.
TEST_F(ImportExportTest, UsbOnlyModelExportsWithoutChoiceOrApplyCycle) {
  loaded(Transport::Usb, Kind::Qmx7305);
  scripts["generalSetup"].changed = true;
  const QString path = home.file("usb-only.bin");
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
  vc->ExportBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_RS_EXPORT_SUCCESS"));
  EXPECT_EQ(dialogs.panels().at(0).extension, "bin");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(sent(), (Runs{"lamp", "param1", "dtc158", "dtc155"}));
  const QByteArray file = readAll(path);
  ASSERT_EQ(file.size(), 159840);
  EXPECT_EQ(file.left(40), signature(kSignatureB));
}

// An export whose file could not be written, or whose reads from the scanner failed, says so
// and leaves no file.
TEST_F(ImportExportTest, FailedExportSaysSo) {
  struct Case {
    const char* name;
    const char* file;  // under HOME
    bool bookReadFails;
  };
  const Case cases[] = {
      {"folder does not exist", "no-such-folder/backup.bin", false},
      {"the address book cannot be read", "backup.bin", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    loaded(Transport::Tcp, Kind::Qmx7315w);
    if (c.bookReadFails) {
      sim::Fault drop;
      drop.opcode = FOP_READ;
      drop.dtc = FCLC_RS_ADDRESS_BOOK;
      drop.closeAfterSent = 0;
      link->faults().add(drop);
    }
    const QString path = home.file(QString::fromLatin1(c.file));
    expectChoice("IDS_EID_EXPORT_CAUTION", 1);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ExportBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_FAIL"));
    EXPECT_FALSE(QFile::exists(path));
  }
}

// A write to the scanner that fails during the import does not stop the other writes; the
// window still reads everything again and refills the page, then says the import failed.
TEST_F(ImportExportTest, FailedWriteDuringImportStillReloadsAndSaysSo) {
  loaded(Transport::Tcp, Kind::Qmx7315w);
  const QString path = home.file("backup.bin");
  expectChoice("IDS_EID_EXPORT_CAUTION", 1);
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
  vc->ExportBtnPressed();
  ASSERT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));
  sent();
  calls.clear();

  sim::Fault drop;
  drop.opcode = FOP_WRITE2;
  drop.dtc = FCLC_RS_PARAM;
  drop.dtq = FCLD_RS_PARAM_SCAN2USB;
  drop.closeAfterSent = 0;
  link->faults().add(drop);
  expectChoice("IDS_EID_IMPORT_CAUTION", 1);
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
  vc->ImportBtnPressed();
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_IMPORT_FAIL"));

  // The shortcut check, the connection and lock checks, the nine settings writes (lamp twice),
  // the book, the profiles, then the reload.
  Runs reload = kFirstLoad;
  reload.erase(reload.begin() + 1);  // no lock on a reload
  Runs expected = {"dtc155", "status", "lockUUID", "param2", "lamp", "param4", "param5", "param6", "param7",
                   "network1", "network2", "param10", "dtc155", "dtc158"};
  expected.insert(expected.end(), reload.begin(), reload.end());
  EXPECT_EQ(sent(), expected);
  EXPECT_EQ(callsOf("generalSetup"), (Runs{"setParam"}));
}

// The driver's preference file is there but cannot be rewritten: the scanner took every record,
// yet the import says it failed, and the file stays as it was.
TEST_F(ImportExportTest, ImportSaysItFailedWhenThePreferenceFileCannotBeRewritten) {
  loaded(Transport::Tcp, Kind::Qmx7315w);
  const QString path = home.file("backup.bin");
  const QString prefsPath = home.file("Library/Preferences/QMX-7315W/TWAIN-1/Setting_RemoteSetup.plist", true);
  const QByteArray controlInFolder =
      "<plist version=\"1.0\"><dict><key>Location</key><string>/srv/a&#1;b</string>"
      "<key>IsOpen</key><string>1</string></dict></plist>";
  const QByteArray plain = "<plist version=\"1.0\"><dict><key>Location</key><string>/srv/a</string></dict></plist>";
  struct Case {
    const char* name;
    QByteArray atExport;
    QByteArray atImport;
  } cases[] = {
      {"a folder text an XML file cannot hold", controlInFolder, controlInFolder},
      {"a file holding U+0000", plain, plistfixtures::nulInUtf16Value()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(prefsPath, c.atExport, c.atExport.size());
    expectChoice("IDS_EID_EXPORT_CAUTION", 1);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ExportBtnPressed();
    ASSERT_EQ(dialogs.alerts().back().information, text("IDS_RS_EXPORT_SUCCESS"));

    writeFile(prefsPath, c.atImport, c.atImport.size());
    expectChoice("IDS_EID_IMPORT_CAUTION", 1);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_IMPORT_FAIL"));
    EXPECT_EQ(readAll(prefsPath), c.atImport);
  }
}

// A file that changed after the checks: the first reader refuses it with its own format alert,
// raised on the import's queue and shown and answered on the GUI thread; the other readers do
// not run, nothing is written, the window and its pages keep what they hold (no reload, no
// refill) and the last alert says that nothing was written.
TEST_F(ImportExportTest, ReaderAlertFromTheQueueIsShownOnTheGuiThread) {
  loaded(Transport::Tcp, Kind::Qmx7315w);
  // Passes the window's check (the signature is in the first 40 bytes) but not the reader's
  // (the signature and four NULs).
  const QString path = home.file("changed.bin");
  writeFile(path, QByteArray(kSignatureBntAllSettings) + "ABCD", 159840);

  struct Line {
    QString text;
    bool onGui;
  };
  std::mutex linesMutex;
  std::vector<Line> lines;
  const platform::SystemLogSink previousSink = platform::setSystemLogSink([&](const QString& line) {
    std::lock_guard lock(linesMutex);
    lines.push_back({line, platform::isMainThread()});
  });
  const int32_t previousMask = Utilities::sharedInstance().nDebugMask();
  Utilities::sharedInstance().setDebugMask(0x02);

  expectChoice("IDS_EID_IMPORT_CAUTION", 1);
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_IMPORT_FILE_FORMAT_INCORRECT_MSG"));
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
  vc->ImportBtnPressed();

  Utilities::sharedInstance().setDebugMask(previousMask);
  platform::setSystemLogSink(previousSink);

  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  ASSERT_EQ(dialogs.alerts().size(), 3u);
  EXPECT_EQ(dialogs.alerts()[1].information, text("IDS_IMPORT_FILE_FORMAT_INCORRECT_INFO"));
  EXPECT_EQ(dialogs.alerts()[2].information, text("IDS_RS_IMPORT_NOTHING_WRITTEN"));
  // The reader wrote its line on the queue's thread; the GUI dialogs checked where it was shown.
  const auto refusal = std::find_if(lines.begin(), lines.end(),
                                    [](const Line& l) { return l.text == "Read File Signatured not match!"; });
  ASSERT_NE(refusal, lines.end());
  EXPECT_FALSE(refusal->onGui);
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const Line& l) { return l.text == "Read File Signatured not match!"; }),
            1);
  EXPECT_FALSE(wroteSettings());
  EXPECT_EQ(callsOf("generalSetup"), Runs{});
}

}  // namespace
