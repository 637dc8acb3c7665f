// The settings export files against the simulated scanner, with a temporary HOME.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <sys/stat.h>
#include <memory>

#include "support/TestBytes.h"
#include "IO/FCLCodes.h"
#include "IO/FCLFileData.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"
#include "support/PlistFixtures.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"
#include "support/TempHome.h"

using platform::PropertyList;
using Kind = sim::ScannerModel::Kind;

namespace {

const QString kBntUsbPrefs = "Library/Preferences/QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist";
const QString kBUsbPrefs = "Library/Preferences/QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist";

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const void* data, qint64 size) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(static_cast<const char*>(data), size), size);
}

struct Key {
  uint8_t opcode, dtc;
  uint16_t dtq;
  bool operator==(const Key&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Key& k) {
  return os << std::hex << "{0x" << int(k.opcode) << ",0x" << int(k.dtc) << "," << std::dec << k.dtq << "}";
}
std::vector<Key> keysOf(const sim::CommandLog& log) {
  std::vector<Key> keys;
  for (const auto& e : log.entries()) keys.push_back({e.cmd.byOPCode, e.cmd.byDTC, e.cmd.wDTQ});
  return keys;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void start(Kind kind) {
    sim = std::make_unique<SimScanner>(kind);
    io = std::make_unique<IOWrapper>();
    ASSERT_TRUE(io->openScanner(sim->address()));
    fillScanner();
  }

  // Distinct bytes in every record the files carry.
  void fillScanner() {
    book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
    std::memset(book.get(), 0, sizeof *book);
    std::memcpy(book->szIdentificator, "BOOK-ID", 7);
    for (int i = 0; i < FCL_ADDRESS_BOOK_NODE_COUNT; ++i) {
      auto* raw = reinterpret_cast<uint8_t*>(&book->sNode[i]);
      for (std::size_t b = 0; b < sizeof book->sNode[i]; ++b) raw[b] = uint8_t(i + b);
      book->sNode[i].dwIsInShortcut = (i % 7 == 3) ? 1 : 0;
    }
    sim->model().setRecord(FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL, bytesOf(*book));

    param = std::make_unique<FCL_RS_PARAM_ALL>();
    auto* raw = reinterpret_cast<uint8_t*>(param.get());
    for (std::size_t b = 0; b < sizeof *param; ++b) raw[b] = uint8_t(b * 7 + 1);
    sim->model().setRecord(FCLC_RS_PARAM, FCLD_RS_PARAM_ALL, bytesOf(*param));

    profiles = std::make_unique<FCL_RS_PROFILE_ALL>();
    raw = reinterpret_cast<uint8_t*>(profiles.get());
    for (std::size_t b = 0; b < sizeof *profiles; ++b) raw[b] = uint8_t(b * 3 + 5);
    sim->model().setRecord(FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL, bytesOf(*profiles));

    FCL_LAMP_STATE crg1{11, 15, 13, 14}, crg2{21, 22, 23, 240};
    sim->model().setRecord(FCLC_LAMP, FCLD_LAMP_CRG1, bytesOf(crg1));
    sim->model().setRecord(FCLC_LAMP, FCLD_LAMP_CRG2_SET, bytesOf(crg2));
  }

  void writePrefs(const QString& relative, const QVariantMap& map) {
    ASSERT_EQ(PropertyList::write(home.file(relative, true), map), PropertyList::Status::Ok);
  }

  TempHome home;
  ScriptedDialogs dialogs;
  std::unique_ptr<SimScanner> sim;
  std::unique_ptr<IOWrapper> io;
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> book;
  std::unique_ptr<FCL_RS_PARAM_ALL> param;
  std::unique_ptr<FCL_RS_PROFILE_ALL> profiles;
};

}  // namespace

TEST_F(SettingsFileTest, AddressBookExportHasSignatureBookAndNoShortcuts) {
  start(Kind::Qmx7315w);
  const QString path = home.file("book.addr");
  ASSERT_TRUE(io->writeToFile(path, "", true, true, false));
  ASSERT_TRUE(sim->log().waitForCount(1));
  const QByteArray file = readAll(path);
  ASSERT_EQ(file.size(), 114076);
  EXPECT_EQ(file.left(40), QByteArray("71F16288-7413-475E-964C-5D7070B59EAD\0\0\0\0", 40));
  FCL_RS_ADDRESS_BOOK expected = *book;
  for (auto& node : expected.sNode) node.dwIsInShortcut = 0;
  EXPECT_EQ(std::memcmp(file.constData() + 40, &expected, sizeof expected), 0);
  // Only the book was read.
  EXPECT_EQ(keysOf(sim->log()), (std::vector<Key>{{FOP_READ, FCLC_RS_ADDRESS_BOOK, 0}}));
}

TEST_F(SettingsFileTest, AllSettingsExportOfTheUsbOnlyModel) {
  start(Kind::Qmx7305);
  writePrefs(kBUsbPrefs, {{"Location", "/home/user/Scans"}, {"IsOpen", "1"}, {"IsThirdAppScan", true}});
  const QString path = home.file("all.bin");
  ASSERT_TRUE(io->writeToFile(path, "ignored", false, false, true));
  const QByteArray bytes = readAll(path);
  ASSERT_EQ(bytes.size(), 159840);
  const auto* file = reinterpret_cast<const FCL_RS_FILE_DATA*>(bytes.constData());
  EXPECT_EQ(QByteArray(file->szIdentificator, 40), QByteArray("0F9B476E-C652-4EC8-AFDC-397A417B4A9A\0\0\0\0", 40));
  EXPECT_EQ(std::memcmp(&file->paramAll, param.get(), sizeof *param), 0);
  EXPECT_EQ(std::memcmp(&file->profileAll, profiles.get(), sizeof *profiles), 0);
  EXPECT_EQ(file->lampState.dwCrg1Lamp1, 0u);
  EXPECT_EQ(file->lampState.dwCrg1Lamp2, 15u);
  EXPECT_EQ(file->lampState.dwCrg2Lamp1, 0u);
  EXPECT_EQ(file->lampState.dwCrg2Lamp2, 240u);
  EXPECT_STREQ(bytes.constData() + 159576, "/home/user/Scans");
  EXPECT_EQ(file->bShowFolder, 1);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(file->byPadding), 3), QByteArray(3, '\0'));
  for (const auto& node : file->addressBook.sNode) EXPECT_EQ(node.dwIsInShortcut, 0u);
}

TEST_F(SettingsFileTest, LongFolderFillsItsFieldAndMissingPreferencesGiveAnEmptyOne) {
  start(Kind::Qmx7315w);
  const QString longFolder = "/" + QString(300, u'f');
  writePrefs("Library/Preferences/QMX-7315W/TW-Lan Name/Setting_RemoteSetup.plist",
             {{"Location", longFolder}, {"IsOpen", "0"}});
  const QString path = home.file("all.bin");
  ASSERT_TRUE(io->writeToFile(path, "TW-Lan Name", false, true, false));
  QByteArray bytes = readAll(path);
  ASSERT_EQ(bytes.size(), 159840);
  EXPECT_EQ(bytes.mid(159576, 260), longFolder.toUtf8().left(260));
  EXPECT_EQ(bytes.at(159836), 0);
  // The network model over USB looks in its USB folder, where there is no file.
  ASSERT_TRUE(io->writeToFile(path, "TW-Lan Name", false, true, true));
  bytes = readAll(path);
  EXPECT_EQ(bytes.mid(159576, 261), QByteArray(261, '\0'));
}

TEST_F(SettingsFileTest, FailedReadOrUnwritableFolderLeavesNoFileAndKeepsTheOldOne) {
  start(Kind::Qmx7315w);
  const QString path = home.file("keep.bin");
  writeBytes(path, "old backup", 10);
  struct Case {
    uint8_t dtc;
    uint16_t dtq;
  } reads[] = {{FCLC_LAMP, FCLD_LAMP_CRG2_SET}, {FCLC_RS_PARAM, FCLD_RS_PARAM_ALL},
               {FCLC_RS_PROFILE, FCLD_RS_PROFILE_ALL}, {FCLC_RS_ADDRESS_BOOK, FCLD_RS_ADDRESS_BOOK_ALL}};
  for (const Case& c : reads) {
    sim::Fault cut;
    cut.dtc = c.dtc;
    cut.dtq = c.dtq;
    cut.closeAfterSent = 32 + 10;  // the status, then part of the data
    sim->faults().add(cut);
    EXPECT_FALSE(io->writeToFile(path, "", false, true, false)) << int(c.dtc);
    EXPECT_EQ(readAll(path), QByteArray("old backup"));
  }
  // A target whose folder cannot take a file (its "folder" is a plain file: refused even to root).
  const QString notAFolder = home.file("plain-file");
  writeBytes(notAFolder, "x", 1);
  EXPECT_FALSE(io->writeToFile(notAFolder + "/x.bin", "", false, true, false));
  EXPECT_EQ(readAll(notAFolder), QByteArray("x"));
  EXPECT_EQ(QDir(home.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // keep.bin, plain-file
}

TEST_F(SettingsFileTest, ImportSendsTheRecordsInOrderAndCopiesTheFolderChoice) {
  start(Kind::Qmx7315w);
  const QString path = home.file("all.bin");
  writePrefs(kBntUsbPrefs, {{"Location", "/old"}, {"IsOpen", "0"}, {"ThirdAppPath", "/opt/app"}});
  auto image = std::make_unique<FCL_RS_FILE_DATA>();
  std::memset(image.get(), 0, sizeof *image);
  putSignature(image->szIdentificator, kSignatureBntAllSettings);
  image->paramAll = *param;
  image->profileAll = *profiles;
  image->addressBook = *book;
  image->lampState = {0, 30, 0, 0};
  std::strcpy(image->szDestFolder, "/home/user/Scans");
  image->bShowFolder = 1;
  writeBytes(path, image.get(), sizeof *image);

  EXPECT_TRUE(io->readParamAllFromFile(path, "", false, true, true));
  EXPECT_TRUE(io->readAddressBookFromFile(path, false, true));
  EXPECT_TRUE(io->readProfileAllFromFile(path, false, true));
  EXPECT_EQ(io->failedImportWrites(), 0u);
  const std::vector<Key> expected = {
      {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_GENERAL},  {FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG1},
      {FOP_WRITE, FCLC_LAMP, FCLD_LAMP_CRG2_CLEAR},        {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_FILENAME},
      {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2USB}, {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2EMAIL},
      {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_SCAN2PC},  {FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRED},
      {FOP_WRITE, FCLC_RS_NETWORK, FCLD_RS_NETWORK_WIRELESS}, {FOP_WRITE2, FCLC_RS_PARAM, FCLD_RS_PARAM_EMAIL},
      {FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0},               {FOP_WRITE2, FCLC_RS_PROFILE, 0},
  };
  ASSERT_TRUE(sim->log().waitForCount(expected.size()));
  ASSERT_EQ(keysOf(sim->log()), expected);
  const auto entries = sim->log().entries();
  EXPECT_EQ(entries[0].dataIn, sim::Bytes(reinterpret_cast<const uint8_t*>(&param->sGeneral),
                                          reinterpret_cast<const uint8_t*>(&param->sGeneral) + 312));
  EXPECT_EQ(entries[9].dataIn.size(), sizeof(FCL_RS_PARAM_EMAIL));
  EXPECT_EQ(entries[10].dataIn, bytesOf(*book));  // the book goes back as it is in the file
  EXPECT_EQ(entries[11].dataIn, bytesOf(*profiles));

  QVariantMap prefs;
  ASSERT_EQ(PropertyList::read(home.file(kBntUsbPrefs), prefs), PropertyList::Status::Ok);
  EXPECT_EQ(prefs["Location"].toString(), "/home/user/Scans");
  EXPECT_EQ(prefs["IsOpen"].toString(), "1");
  EXPECT_EQ(prefs["ThirdAppPath"].toString(), "/opt/app");
  EXPECT_TRUE(dialogs.alerts().empty());
}

TEST_F(SettingsFileTest, ImportRewritesOnlyTheTwoKeysOrCountsTheDriversFileAsAFailedWrite) {
  start(Kind::Qmx7315w);
  const QString prefsPath = home.file(kBntUsbPrefs, true);
  const QByteArray xml = [] {
    QByteArray out;
    EXPECT_EQ(PropertyList::toXml({{"Location", "/old"}, {"IsOpen", "0"}, {"ThirdAppPath", "/opt/app"}}, out),
              PropertyList::Status::Ok);
    return out;
  }();
  struct Case {
    const char* name;
    QByteArray prefs;    // the driver's file before the import
    QByteArray folder;   // the folder field of the settings file
    bool rewritten;      // false: the import counts a failure and the file stays as it was
  };
  std::vector<Case> cases = {
      {"binary file with a UID and a date of 1900", plistfixtures::everyKindBinary(), "/home/user/Scans", true},
      {"XML file, folder with a leading U+FEFF", xml, "\xEF\xBB\xBF/home/user/Scans", true},
      {"XML file, folder with a control character", xml, "/home/us\x01er", false},
  };
  for (const QByteArray& bad : plistfixtures::withNul()) cases.push_back({"file holding U+0000", bad, "/x", false});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeBytes(prefsPath, c.prefs.constData(), c.prefs.size());
    QVariantMap before;
    PropertyList::read(prefsPath, before);
    auto image = std::make_unique<FCL_RS_FILE_DATA>();
    std::memset(image.get(), 0, sizeof *image);
    putSignature(image->szIdentificator, kSignatureBntAllSettings);
    image->paramAll = *param;
    std::memcpy(image->szDestFolder, c.folder.constData(), static_cast<std::size_t>(c.folder.size()));
    image->bShowFolder = 1;
    const QString path = home.file("all.bin");
    writeBytes(path, image.get(), sizeof *image);

    io->resetFailedImportWrites();
    EXPECT_TRUE(io->readParamAllFromFile(path, "", false, true, true));
    if (!c.rewritten) {
      EXPECT_EQ(io->failedImportWrites(), 1u);
      EXPECT_EQ(io->firstFileFailure().kind, CommandOutcome::Kind::Failed);
      EXPECT_EQ(readAll(prefsPath), c.prefs);
      continue;
    }
    EXPECT_EQ(io->failedImportWrites(), 0u);
    const QByteArray after = readAll(prefsPath);
    EXPECT_EQ(after.startsWith("bplist00"), c.prefs.startsWith("bplist00"));
    QVariantMap prefs;
    ASSERT_EQ(PropertyList::read(prefsPath, prefs), PropertyList::Status::Ok);
    QVariantMap expected = before;
    // The folder as it is in the field, a leading U+FEFF kept as a character.
    expected["Location"] = c.folder.startsWith("\xEF\xBB\xBF")
                               ? QString(QChar(0xFEFF)) + QString::fromUtf8(c.folder.mid(3))
                               : QString::fromUtf8(c.folder);
    expected["IsOpen"] = "1";
    EXPECT_EQ(prefs, expected);
  }
  EXPECT_TRUE(dialogs.alerts().empty());

  // An export reads such a file as unreadable: the folder field stays empty, the file is written.
  for (const QByteArray& bad : plistfixtures::withNul()) {
    writeBytes(prefsPath, bad.constData(), bad.size());
    const QString path = home.file("out.bin");
    ASSERT_TRUE(io->writeToFile(path, "", false, true, true));
    EXPECT_EQ(readAll(path).mid(159576, 261), QByteArray(261, '\0'));
  }
}

TEST_F(SettingsFileTest, ImportCreatesNoPreferenceFileAndCountsFailedWrites) {
  start(Kind::Qmx7305);
  const QString path = home.file("all.bin");
  auto image = std::make_unique<FCL_RS_FILE_DATA>();
  std::memset(image.get(), 0, sizeof *image);
  putSignature(image->szIdentificator, kSignatureB);
  image->lampState.dwCrg2Lamp2 = 60;
  std::strcpy(image->szDestFolder, "/x");
  writeBytes(path, image.get(), sizeof *image);
  sim::Fault cut;
  cut.dtc = FCLC_RS_PARAM;
  cut.dtq = FCLD_RS_PARAM_SCAN2USB;
  cut.closeAfterReceived = 5;
  sim->faults().add(cut);
  EXPECT_TRUE(io->readParamAllFromFile(path, "", false, false, true));
  EXPECT_EQ(io->failedImportWrites(), 1u);
  // The failed write stopped nothing: all ten reached the scanner.
  ASSERT_TRUE(sim->log().waitForCount(10));
  int lampSet = 0;
  for (const auto& e : sim->log().entries()) lampSet += e.cmd.byDTC == FCLC_LAMP && e.cmd.wDTQ == FCLD_LAMP_CRG2_SET;
  EXPECT_EQ(lampSet, 1);
  EXPECT_FALSE(QFile::exists(home.file(kBUsbPrefs)));
  EXPECT_FALSE(QDir(home.file("Library")).exists());
}

TEST_F(SettingsFileTest, WrongSignatureIsRefusedWithTheFormatAlertAndSendsNothing) {
  start(Kind::Qmx7315w);
  auto image = std::make_unique<FCL_RS_FILE_DATA>();
  std::memset(image.get(), 0, sizeof *image);
  putSignature(image->szIdentificator, kSignatureB);  // a file of the USB-only model
  const QString bin = home.file("other.bin");
  writeBytes(bin, image.get(), sizeof *image);
  const QString formatMsg = platform::Localizer::text("IDS_IMPORT_FILE_FORMAT_INCORRECT_MSG");

  for (int reader = 0; reader < 3; ++reader) {
    dialogs.expectAlert(0, formatMsg);
    bool ok = reader == 0   ? io->readParamAllFromFile(bin, "", false, true, false)
              : reader == 1 ? io->readAddressBookFromFile(bin, false, true)
                            : io->readProfileAllFromFile(bin, false, true);
    EXPECT_FALSE(ok) << reader;
  }
  // The address-book file: wrong signature, and the right one in a file one byte short.
  QByteArray addr(114076, '\0');
  std::memcpy(addr.data(), kSignatureBntAllSettings, 36);
  const QString addrPath = home.file("book.addr");
  writeBytes(addrPath, addr.constData(), addr.size());
  dialogs.expectAlert(0, formatMsg);
  EXPECT_FALSE(io->readAddressBookFromAddr(addrPath));
  std::memcpy(addr.data(), kSignatureBntAddressBook, 36);
  writeBytes(addrPath, addr.constData(), addr.size() - 1);
  dialogs.expectAlert(0, formatMsg);
  EXPECT_FALSE(io->readAddressBookFromAddr(addrPath));
  // A missing file is refused the same way.
  dialogs.expectAlert(0, formatMsg);
  EXPECT_FALSE(io->readAddressBookFromAddr(home.file("none.addr")));

  EXPECT_EQ(sim->log().size(), 0u);
  EXPECT_EQ(dialogs.alerts().size(), 6u);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);

  writeBytes(addrPath, addr.constData(), addr.size());
  EXPECT_TRUE(io->readAddressBookFromAddr(addrPath));
  ASSERT_TRUE(sim->log().waitForCount(1));
  EXPECT_EQ(keysOf(sim->log()), (std::vector<Key>{{FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0}}));
}

TEST_F(SettingsFileTest, OnlyAddressWithEachReader) {
  start(Kind::Qmx7315w);
  writePrefs(kBntUsbPrefs, {{"Location", "/keep"}});
  auto image = std::make_unique<FCL_RS_FILE_DATA>();
  std::memset(image.get(), 0, sizeof *image);
  putSignature(image->szIdentificator, kSignatureBntAddressBook);  // chosen by onlyAddress on this model
  const QString path = home.file("a.bin");
  writeBytes(path, image.get(), sizeof *image);
  EXPECT_TRUE(io->readParamAllFromFile(path, "", true, true, true));
  EXPECT_EQ(sim->log().size(), 0u);
  EXPECT_TRUE(io->readProfileAllFromFile(path, true, true));
  EXPECT_EQ(sim->log().size(), 0u);
  EXPECT_TRUE(io->readAddressBookFromFile(path, true, true));
  ASSERT_TRUE(sim->log().waitForCount(1));
  EXPECT_EQ(keysOf(sim->log()), (std::vector<Key>{{FOP_WRITE2, FCLC_RS_ADDRESS_BOOK, 0}}));
  QVariantMap prefs;
  ASSERT_EQ(PropertyList::read(home.file(kBntUsbPrefs), prefs), PropertyList::Status::Ok);
  EXPECT_EQ(prefs["Location"].toString(), "/keep");
  EXPECT_FALSE(prefs.contains("IsOpen"));
}

TEST(SettingsFilePaths, SignatureAndPreferencePathRules) {
  TempHome home;
  EXPECT_STREQ(exportSignature(false, false), "0F9B476E-C652-4EC8-AFDC-397A417B4A9A");
  EXPECT_STREQ(exportSignature(true, false), "0F9B476E-C652-4EC8-AFDC-397A417B4A9A");
  EXPECT_STREQ(exportSignature(true, true), "71F16288-7413-475E-964C-5D7070B59EAD");
  EXPECT_STREQ(exportSignature(false, true), "E99B6D88-E38C-4368-B542-A49A6063E71D");
  EXPECT_EQ(preferenceFilePath("TW", false, false), home.file(kBUsbPrefs));
  EXPECT_EQ(preferenceFilePath("TW", true, true), home.file(kBntUsbPrefs));
  EXPECT_EQ(preferenceFilePath("TW-X", true, false),
            home.file("Library/Preferences/QMX-7315W/TW-X/Setting_RemoteSetup.plist"));
  // Over the network the TWAIN name must be one plain folder name; the USB paths do not use it.
  for (const char* name : {"", ".", "..", "../TW-X", "TW/X", "/"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(preferenceFilePath(name, true, false).isEmpty());
    EXPECT_EQ(preferenceFilePath(name, true, true), home.file(kBntUsbPrefs));
    EXPECT_EQ(preferenceFilePath(name, false, false), home.file(kBUsbPrefs));
  }
}

// A TWAIN name from the network that is no plain folder name: the export takes no folder from a
// file outside the model's folder, and the import writes none there.
TEST_F(SettingsFileTest, TwainNameThatIsNoFolderNameReachesNoPreferenceFile) {
  start(Kind::Qmx7315w);
  struct Case {
    const char* twain;
    const char* outside;  // the file the name would otherwise name
  };
  // (The first makes the model's folder, through which the others would lead outside it.)
  const Case cases[] = {
      {"TW/Sub", "Library/Preferences/QMX-7315W/TW/Sub/Setting_RemoteSetup.plist"},
      {"..", "Library/Preferences/Setting_RemoteSetup.plist"},
      {"../TW-Other", "Library/Preferences/TW-Other/Setting_RemoteSetup.plist"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.twain);
    writePrefs(c.outside, {{"Location", "/outside"}, {"IsOpen", "1"}});
    const QByteArray before = readAll(home.file(c.outside));
    const QString path = home.file("all.bin");
    ASSERT_TRUE(io->writeToFile(path, c.twain, false, true, false));
    const QByteArray bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 159840);
    const auto* file = reinterpret_cast<const FCL_RS_FILE_DATA*>(bytes.constData());
    EXPECT_EQ(QByteArray(file->szDestFolder, sizeof file->szDestFolder), QByteArray(sizeof file->szDestFolder, '\0'));
    EXPECT_EQ(file->bShowFolder, 0);

    auto image = std::make_unique<FCL_RS_FILE_DATA>();
    std::memcpy(image.get(), bytes.constData(), sizeof *image);
    std::strcpy(image->szDestFolder, "/imported");
    image->bShowFolder = 0;
    writeBytes(path, image.get(), sizeof *image);
    io->resetFailedImportWrites();
    EXPECT_TRUE(io->readParamAllFromFile(path, c.twain, false, true, false));
    EXPECT_EQ(io->failedImportWrites(), 0u);
    EXPECT_EQ(readAll(home.file(c.outside)), before);
  }
}

// An export holds the scanner's passwords: readable by its owner only, also when it replaces a
// file that was readable by others.
TEST_F(SettingsFileTest, ExportFilesAreTheOwnersOnlyAlsoWhenReplacingOne) {
  start(Kind::Qmx7315w);
  for (bool onlyAddress : {false, true}) {
    SCOPED_TRACE(onlyAddress ? "address book" : "all settings");
    const QString path = home.file(onlyAddress ? "old.addr" : "old.bin");
    {
      QFile old(path);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      old.write("old");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_TRUE(io->writeToFile(path, "", onlyAddress, true, false));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readAll(path).size(), onlyAddress ? 114076 : 159840);
  }
}

// The USB-only model has no address book or profiles of its own: the scanner refusing to give
// them leaves their sections empty and the export goes on; a refusal of its settings block stops
// it, and no file is written.
TEST_F(SettingsFileTest, UsbOnlyModelExportToleratesRefusalsOfRecordsItDoesNotUse) {
  start(Kind::Qmx7305);
  for (uint8_t dtc : {FCLC_RS_ADDRESS_BOOK, FCLC_RS_PROFILE}) {
    sim::Fault refused;
    refused.opcode = FOP_READ;
    refused.dtc = dtc;
    refused.lastErr = 0x7F10;
    sim->faults().add(refused);
  }
  const QString path = home.file("usb-only.bin");
  ASSERT_TRUE(io->writeToFile(path, "", false, false, true));
  const QByteArray bytes = readAll(path);
  ASSERT_EQ(bytes.size(), 159840);
  const auto* file = reinterpret_cast<const FCL_RS_FILE_DATA*>(bytes.constData());
  EXPECT_EQ(std::memcmp(&file->paramAll, param.get(), sizeof *param), 0);
  const auto empty = std::make_unique<FCL_RS_PROFILE_ALL>();
  std::memset(empty.get(), 0, sizeof *empty);
  EXPECT_EQ(std::memcmp(&file->profileAll, empty.get(), sizeof *empty), 0);

  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_PARAM;
  refused.lastErr = 0x7F10;
  sim->faults().add(refused);
  const QString second = home.file("refused.bin");
  EXPECT_FALSE(io->writeToFile(second, "", false, false, true));
  EXPECT_FALSE(QFile::exists(second));
  EXPECT_EQ(io->firstFileFailure().kind, CommandOutcome::Kind::Refused);
  EXPECT_EQ(io->firstFileFailure().deviceError, 0x7F10u);
}
