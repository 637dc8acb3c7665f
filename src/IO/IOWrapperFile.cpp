// The settings export files: IOWrapper::writeToFile and the four readers that send a file's
// records to the scanner, and the driver's preference file keys that travel with them.
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <memory>

#include "IO/FCLFileData.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "platform/Localizer.h"
#include "platform/PropertyList.h"

using platform::Localizer;
using platform::PropertyList;

// ---- Signatures and paths ---------------------------------------------------------------------

const char* exportSignature(bool onlyAddress, bool isBNT) {
  if (!isBNT) return kSignatureB;
  return onlyAddress ? kSignatureBntAddressBook : kSignatureBntAllSettings;
}

void putSignature(char (&field)[40], const char* signature) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, signature, std::min(std::strlen(signature), sizeof field));
}

bool hasSignature(const char* first40, const char* signature) {
  char expected[40];
  putSignature(expected, signature);
  return std::memcmp(first40, expected, sizeof expected) == 0;
}

QString preferenceFilePath(const QString& twainName, bool isBNT, bool isUSB) {
  const QString base = QDir::homePath() + QStringLiteral("/Library/Preferences/");
  if (!isBNT) return base + QStringLiteral("QMX-7305/TW-Zerelta QMX-7305/Setting_RemoteSetup.plist");
  if (isUSB) return base + QStringLiteral("QMX-7315W/TW-Zerelta QMX-7315W/Setting_RemoteSetup.plist");
  // Over the network the TWAIN name is one folder of the path; a name that is not a plain folder
  // name (it comes from the network) names no file of this device.
  if (twainName.isEmpty() || twainName == u'.' || twainName == QStringLiteral("..") || twainName.contains(u'/'))
    return QString();
  return base + QStringLiteral("QMX-7315W/%1/Setting_RemoteSetup.plist").arg(twainName);
}

namespace {

QString op(const char* selector) { return QStringLiteral("-[IOWrapper %1]").arg(QLatin1String(selector)); }

// The file holds the scanner's passwords: only its owner may read it, from the moment it exists
// (the permissions are set on the temporary file before it replaces the old one).
bool writeAtomically(const QString& path, const void* data, qint64 size) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    file.cancelWriting();
    return false;
  }
  if (file.write(static_cast<const char*>(data), size) != size) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

// Reads at most `size` bytes of `path` into `image` (already zeroed); a shorter or missing file
// leaves the rest zero, and the signature check then refuses it.
void readImage(const QString& path, void* image, qint64 size) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  char* out = static_cast<char*>(image);
  qint64 done = 0;
  while (done < size) {
    const qint64 n = file.read(out + done, size - done);
    if (n <= 0) break;
    done += n;
  }
}

std::unique_ptr<FCL_RS_FILE_DATA> zeroedImage() {
  auto image = std::make_unique<FCL_RS_FILE_DATA>();
  std::memset(image.get(), 0, sizeof *image);
  return image;
}

}  // namespace

bool IOWrapper::refuseFileFormat() {
  ut().debugMsg(0x02, "Read File Signatured not match!");
  ut().message(Localizer::text(QStringLiteral("IDS_IMPORT_FILE_FORMAT_INCORRECT_MSG")),
               Localizer::text(QStringLiteral("IDS_IMPORT_FILE_FORMAT_INCORRECT_INFO")), false);
  return false;
}

bool IOWrapper::countWrite(bool hasPage, bool isBNT, const std::function<bool()>& write) {
  const CommandOutcome outcome = judge(write);
  if (outcome.ok()) return true;
  // The USB-only model has no page for some records of the file (address book, profiles, e-mail,
  // LAN, scan to e-mail); the scanner refusing those is not a failure of the import.
  if (!isBNT && !hasPage && outcome.kind == CommandOutcome::Kind::Refused) {
    ut().debugMsg(0x02, "=== -[IOWrapper countWrite] the scanner refused a record this model does not use (0x%x)\n",
                  outcome.deviceError);
    return false;
  }
  ++m_failedImportWrites;
  m_firstFileFailure &= outcome;
  return false;
}

void IOWrapper::importAddressBook(const FCL_RS_ADDRESS_BOOK& book, bool isBNT) {
  if (countWrite(false, isBNT, [&] { return setAddressBook(&book); }))
    m_importedBook = std::make_unique<FCL_RS_ADDRESS_BOOK>(book);
}

// ---- Export -----------------------------------------------------------------------------------

bool IOWrapper::writeToFile(const QString& path, const QString& twainName, bool onlyAddress, bool isBNT, bool isUSB) {
  const QString name = op("writeToFile:twainName:onlyAddress:isBNT:isUSB:");
  funcEnter(name);
  auto image = zeroedImage();
  putSignature(image->szIdentificator, exportSignature(onlyAddress, isBNT));

  // Every section must come from the scanner, accepted: a backup with a section of zeros would
  // wipe that part of the scanner's settings when it is imported later, so a failed or refused
  // read writes no file. The USB-only model has no address book or profiles of its own: a
  // refusal of those is logged and the section stays empty.
  m_firstFileFailure = CommandOutcome::accepted();
  const auto read = [&](bool hasPage, const std::function<bool()>& step) {
    const CommandOutcome outcome = judge(step);
    if (outcome.ok()) return true;
    if (!isBNT && !hasPage && outcome.kind == CommandOutcome::Kind::Refused) {
      ut().debugMsg(0x02, "=== %@ the scanner refused a record this model does not use (0x%x)\n", name,
                    outcome.deviceError);
      return true;
    }
    m_firstFileFailure = outcome;
    return false;
  };
  bool readsOk = true;
  if (!onlyAddress) {
    readsOk = read(true, [&] { return getLampState(&image->lampState); }) &&
              read(true, [&] { return getParamAll(&image->paramAll); }) &&
              read(false, [&] { return getProfileAll(&image->profileAll); });
  }
  readsOk = readsOk && read(false, [&] { return getAddressBook(&image->addressBook); });
  if (!readsOk) {
    funcErr(name, " read from the scanner failed, no file written!");
    return false;
  }
  for (FCL_RS_ADDRESS_BOOK_NODE& node : image->addressBook.sNode) node.dwIsInShortcut = 0;

  if (!onlyAddress) {
    QVariantMap prefs;
    const QString prefsPath = preferenceFilePath(twainName, isBNT, isUSB);
    if (!prefsPath.isEmpty() && PropertyList::read(prefsPath, prefs) == PropertyList::Status::Ok) {
      // The folder's first 260 bytes, NUL-padded; a text of 260 bytes or more fills the field.
      const QByteArray location = prefs.value(QStringLiteral("Location")).toString().toUtf8();
      std::memcpy(image->szDestFolder, location.constData(),
                  std::min<std::size_t>(static_cast<std::size_t>(location.size()), sizeof image->szDestFolder));
      image->bShowFolder = prefs.value(QStringLiteral("IsOpen")).toString() == QStringLiteral("1") ? 1 : 0;
    }
  }

  bool written;
  if (onlyAddress) {
    auto file = std::make_unique<char[]>(FCL_ADDRESS_FILE_SIZE);
    std::memcpy(file.get(), image->szIdentificator, FCL_SIGNATURE_SIZE);
    std::memcpy(file.get() + FCL_SIGNATURE_SIZE, &image->addressBook, sizeof image->addressBook);
    written = writeAtomically(path, file.get(), FCL_ADDRESS_FILE_SIZE);
  } else {
    written = writeAtomically(path, image.get(), sizeof *image);
  }
  if (!written) {
    funcErr(name, " write file return False!");
    return false;
  }
  funcEnd(name);
  return true;
}

// ---- Import -----------------------------------------------------------------------------------

bool IOWrapper::readParamAllFromFile(const QString& path, const QString& twainName, bool onlyAddress, bool isBNT,
                                     bool isUSB) {
  const QString name = op("readParamAllFromFile:twainName:onlyAddress:isBNT:isUSB:");
  funcEnter(name);
  auto image = zeroedImage();
  readImage(path, image.get(), sizeof *image);
  if (!hasSignature(image->szIdentificator, exportSignature(onlyAddress, isBNT))) return refuseFileFormat();
  if (onlyAddress) {
    funcEnd(name);
    return true;
  }

  // A failed write does not stop the others; the caller learns of it from failedImportWrites().
  const FCL_RS_PARAM_ALL& p = image->paramAll;
  countWrite(true, isBNT, [&] { return setGeneral(&p.sGeneral); });
  countWrite(true, isBNT, [&] { return setLampState(&image->lampState); });
  countWrite(true, isBNT, [&] { return setFilename(&p.sFilename); });
  countWrite(true, isBNT, [&] { return setScan2USB(&p.sScan2USB); });
  countWrite(false, isBNT, [&] { return setScan2Email(&p.sScan2Email); });
  countWrite(true, isBNT, [&] { return setScan2PC(&p.sScan2PC); });
  countWrite(false, isBNT, [&] { return setWiredLAN(&p.sWiredLAN); });
  countWrite(false, isBNT, [&] { return setWirelessLAN(&p.sWirelessLAN); });
  countWrite(false, isBNT, [&] { return setEmail(&p.sEmail); });

  // The folder choice goes into the driver's preference file when there is one; none is created.
  // Only its two keys change; the rest of the file stays as it is. A file that is there but cannot
  // be rewritten (unreadable, or a folder text it cannot hold) fails the import like a refused write.
  const QString prefsPath = preferenceFilePath(twainName, isBNT, isUSB);
  const char* folder = image->szDestFolder;
  const void* nul = std::memchr(folder, 0, sizeof image->szDestFolder);
  const qsizetype len = nul ? static_cast<const char*>(nul) - folder : qsizetype(sizeof image->szDestFolder);
  // A leading U+FEFF is part of the folder text.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
  const QString location = decoder(QByteArrayView(folder, len));
  QVariantMap set{{QStringLiteral("IsOpen"), image->bShowFolder != 0 ? QStringLiteral("1") : QStringLiteral("0")}};
  if (!decoder.hasError()) set.insert(QStringLiteral("Location"), location);
  const PropertyList::Status prefsStatus =
      prefsPath.isEmpty() ? PropertyList::Status::Missing : PropertyList::update(prefsPath, set);
  if (prefsStatus != PropertyList::Status::Ok && prefsStatus != PropertyList::Status::Missing) {
    funcErr(name, "Dictionary writeToFile return False!");
    ++m_failedImportWrites;
    m_firstFileFailure &= CommandOutcome::failed();
  }
  funcEnd(name);
  return true;
}

bool IOWrapper::readAddressBookFromFile(const QString& path, bool onlyAddress, bool isBNT) {
  const QString name = op("readAddressBookFromFile:onlyAddress:isBNT:");
  funcEnter(name);
  auto image = zeroedImage();
  readImage(path, image.get(), sizeof *image);
  if (!hasSignature(image->szIdentificator, exportSignature(onlyAddress, isBNT))) return refuseFileFormat();
  importAddressBook(image->addressBook, isBNT);
  funcEnd(name);
  return true;
}

bool IOWrapper::readProfileAllFromFile(const QString& path, bool onlyAddress, bool isBNT, FCL_RS_PROFILE_ALL* sent) {
  const QString name = op("readProfileAllFromFile:onlyAddress:isBNT:");
  funcEnter(name);
  auto image = zeroedImage();
  readImage(path, image.get(), sizeof *image);
  if (!hasSignature(image->szIdentificator, exportSignature(onlyAddress, isBNT))) return refuseFileFormat();
  if (!onlyAddress) countWrite(false, isBNT, [&] { return setProfileAll(&image->profileAll); });
  if (sent != nullptr) std::memcpy(sent, &image->profileAll, sizeof *sent);
  funcEnd(name);
  return true;
}

bool IOWrapper::readAddressBookFromAddr(const QString& path) {
  const QString name = op("readAddressBookFromAddr:");
  funcEnter(name);
  auto file = std::make_unique<char[]>(FCL_ADDRESS_FILE_SIZE);
  std::memset(file.get(), 0, FCL_ADDRESS_FILE_SIZE);
  // A file shorter than the address-book file keeps zeros where its signature or book is
  // missing; the check below refuses a missing signature, and a short book is refused too.
  QFile in(path);
  qint64 got = 0;
  if (in.open(QIODevice::ReadOnly)) {
    while (got < qint64(FCL_ADDRESS_FILE_SIZE)) {
      const qint64 n = in.read(file.get() + got, qint64(FCL_ADDRESS_FILE_SIZE) - got);
      if (n <= 0) break;
      got += n;
    }
  }
  if (got < qint64(FCL_ADDRESS_FILE_SIZE) || !hasSignature(file.get(), kSignatureBntAddressBook))
    return refuseFileFormat();
  auto book = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  std::memcpy(book.get(), file.get() + FCL_SIGNATURE_SIZE, sizeof *book);
  importAddressBook(*book, true);
  funcEnd(name);
  return true;
}
