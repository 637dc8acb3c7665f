// The main window's Import and Export buttons: the choice, the file panels, the checks of a file
// before it is imported, the import steps on a private serial queue, the reload, and the export.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <functional>
#include <optional>
#include <thread>

#include "IO/FCLFileData.h"
#include "RemoteSetup/ViewController.h"
#include "RemoteSetup/ViewControllerTrace.h"
#include "Views/CommandFailure.h"
#include "Views/PageTable.h"
#include "Views/ScanProfileControllerObjC.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"
#include "platform/SerialQueue.h"

using platform::Localizer;

namespace {

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

// What a settings file of one kind must look like.
struct FileKind {
  const char* extension;     // offered by the panels
  const char* nameParts[2];  // the file name must contain one of these (case as written)
  qint64 size;               // exact length in bytes
  const char* signature;     // must appear in the first 40 bytes
};

FileKind fileKind(bool addressBook, bool isB) {
  if (addressBook) return {"addr", {".ADDR", ".addr"}, qint64(FCL_ADDRESS_FILE_SIZE), kSignatureBntAddressBook};
  return {"bin", {".BIN", ".bin"}, qint64(sizeof(FCL_RS_FILE_DATA)), isB ? kSignatureB : kSignatureBntAllSettings};
}

// The serial queue's worker thread name.
const char* const kImportQueueLabel = "zr.import";

}  // namespace

// ---------------------------------------------------------------------------------------------
// The buttons

void ViewController::ImportBtnPressed() {
  ViewControllerTrace trace(ut, "ImportBtnPressed(_:)");
  if (m_state.bIsB) {
    importAllSetting();
    return;
  }
  switch (ut.messageImportExport(text("IDS_EID_IMPORT_CAUTION"), text("IDS_EID_ALLSETTINGS"))) {
    case 1: importAllSetting(); break;
    case 2: importAddressBook(); break;
    default: break;  // cancelled
  }
}

void ViewController::ExportBtnPressed() {
  ViewControllerTrace trace(ut, "ExportBtnPressed(_:)");
  if (m_state.bIsB) {
    // The USB-only model exports what the scanner holds; edits not applied are not in the file.
    exportAllSetting();
    return;
  }
  const uint32_t choice = ut.messageImportExport(text("IDS_EID_EXPORT_CAUTION"), text("IDS_EID_ALLSETTINGS"));
  if (choice == 0) return;
  // The page's edits reach the scanner first, so the file holds what the user sees.
  if (!postSettingProc(false, false)) return;
  if (choice == 2) exportAddressBook();
  else exportAllSetting();
}

void ViewController::importAllSetting() {
  ViewControllerTrace trace(ut, "importAllSetting()");
  importSettings(SettingsFile::AllSettings);
}

void ViewController::importAddressBook() {
  ViewControllerTrace trace(ut, "importAddressBook()");
  importSettings(SettingsFile::AddressBook);
}

void ViewController::exportAllSetting() {
  ViewControllerTrace trace(ut, "exportAllSetting()");
  exportSettings(SettingsFile::AllSettings);
}

void ViewController::exportAddressBook() {
  ViewControllerTrace trace(ut, "exportAddressBook()");
  exportSettings(SettingsFile::AddressBook);
}

// ---------------------------------------------------------------------------------------------
// Import

bool ViewController::checkImportFile(const QString& path, SettingsFile kind) {
  const FileKind k = fileKind(kind == SettingsFile::AddressBook, m_state.bIsB);

  const QString name = QFileInfo(path).fileName();
  if (!name.contains(QLatin1String(k.nameParts[0])) && !name.contains(QLatin1String(k.nameParts[1]))) {
    ut.message(text("IDS_IMPORT_FILE_NAME_INCORRECT_MSG"), text("IDS_IMPORT_FILE_NAME_INCORRECT_INFO"), false);
    return false;
  }

  // One byte more than the expected length is enough to tell a longer file; nothing larger is
  // ever held in memory.
  QByteArray bytes;
  QFile file(path);
  if (file.open(QIODevice::ReadOnly)) bytes = file.read(k.size + 1);
  if (bytes.size() != k.size) {
    ut.message(text("IDS_IMPORT_FILE_SIZE_INCORRECT_MSG"), text("IDS_IMPORT_FILE_SIZE_INCORRECT_INFO"), false);
    return false;
  }

  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString head = decoder(QByteArrayView(bytes.constData(), qsizetype(FCL_SIGNATURE_SIZE)));
  if (decoder.hasError() || !head.contains(QLatin1String(k.signature))) {
    ut.message(text("IDS_IMPORT_FILE_FORMAT_INCORRECT_MSG"), text("IDS_IMPORT_FILE_FORMAT_INCORRECT_INFO"), false);
    return false;
  }

  // An address-book entry used by a panel shortcut cannot be replaced from a file.
  if (!m_state.bIsB && ioWrapper->isAddressInShortCut()) {
    ut.message(text("IDS_CM_INFORMATION"), text("IDS_IMPORT_ADDRBOOK_SHORTCUT_HAD_SET_INFO"), false);
    return false;
  }
  return true;
}

void ViewController::importSettings(SettingsFile kind) {
  const FileKind k = fileKind(kind == SettingsFile::AddressBook, m_state.bIsB);
  const std::optional<QString> chosen = platform::dialogs().openFile(QLatin1String(k.extension), QDir::homePath());
  if (!chosen || chosen->isEmpty()) return;
  const QString path = *chosen;
  if (!checkImportFile(path, kind)) return;
  // Nothing is written unless the scanner is still there and still this computer's.
  if (!checkStillHeld()) return;

  const bool isBNT = !m_state.bIsB;
  const bool isUSB = m_state.deviceInterface == QStringLiteral("USB");
  const QString twainName = m_state.deviceTWAINName;
  IOWrapper& io = *ioWrapper;
  io.resetFailedImportWrites();

  // Each reader on the queue, the main thread waiting; a reader shows its own format alert
  // (on the main thread) when the file no longer is what was checked, and the steps after it are
  // left out: they read the same file. Only a reader that took the file wrote to the scanner.
  bool readersOk = true;
  int readersDone = 0;
  auto profiles = std::make_unique<FCL_RS_PROFILE_ALL>();
  bool profilesWritten = false;
  {
    platform::SerialQueue queue(QString::fromLatin1(kImportQueueLabel));
    const auto step = [&](const std::function<bool()>& reader) {
      if (!readersOk) return;
      queue.sync([&] {
        readersOk = reader();
        std::this_thread::sleep_for(m_importStepPause);
      });
      if (readersOk) ++readersDone;
    };
    if (kind == SettingsFile::AllSettings) {
      step([&] { return io.readParamAllFromFile(path, twainName, false, isBNT, isUSB); });
      step([&] { return io.readAddressBookFromFile(path, false, isBNT); });
      step([&] {
        const uint32_t failedBefore = io.failedImportWrites();
        const bool read = io.readProfileAllFromFile(path, false, isBNT, profiles.get());
        profilesWritten = read && io.failedImportWrites() == failedBefore;
        return read;
      });
    } else {
      step([&] { return io.readAddressBookFromAddr(path); });
    }
  }
  if (readersDone == 0) {
    // The first reader refused the file: nothing reached the scanner, so the window and its
    // pages keep what they hold, and the user is told that nothing was written.
    ut.message(text("IDS_CM_MESSAGE"), text("IDS_RS_IMPORT_NOTHING_WRITTEN"), false);
    return;
  }
  const bool imported = readersOk && io.failedImportWrites() == 0;
  // The profile page's last accepted content (network model): what the scanner accepted from the
  // file, or nothing known when the profiles were not written.
  auto* profilePage = qobject_cast<ScanProfileControllerObjC*>(profileVC);
  if (isBNT && kind == SettingsFile::AllSettings && profilePage != nullptr)
    profilePage->importedProfiles(profilesWritten ? profiles.get() : nullptr);
  // The self-writing pages take what the import wrote as the scanner's content.
  for (PageController** page : pageFields())
    if (*page != nullptr) (*page)->settingsImported(io, imported);

  // Whatever reached the scanner is shown: the records are read again and the page refilled.
  loadData(false);
  if (m_terminating) return;
  setParamToVC();
  ut.message(text("IDS_CM_MESSAGE"),
             imported ? text("IDS_RS_IMPORT_SUCCESS") : withOutcome(text("IDS_RS_IMPORT_FAIL"), io.firstFileFailure()),
             false);
}

// ---------------------------------------------------------------------------------------------
// Export

void ViewController::exportSettings(SettingsFile kind) {
  const bool addressBook = kind == SettingsFile::AddressBook;
  const FileKind k = fileKind(addressBook, m_state.bIsB);
  const QString suggested = QLatin1String(m_state.bIsB ? pages::kUSBModelName : pages::kNetworkModelName) +
                            u'.' + QLatin1String(k.extension);
  const std::optional<QString> chosen =
      platform::dialogs().saveFile(QLatin1String(k.extension), suggested, QDir::homePath());
  if (!chosen || chosen->isEmpty()) return;

  const bool written = ioWrapper->writeToFile(*chosen, m_state.deviceTWAINName, addressBook, !m_state.bIsB,
                                              m_state.deviceInterface == QStringLiteral("USB"));
  ut.message(text("IDS_CM_MESSAGE"),
             written ? text("IDS_RS_EXPORT_SUCCESS")
                     : withOutcome(text("IDS_RS_EXPORT_FAIL"), ioWrapper->firstFileFailure()),
             false);
}
