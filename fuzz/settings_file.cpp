// The settings export files read back by the import (IOWrapper's four readers), sending their
// records to the scripted scanner (FuzzSupport.h: no sockets), and the driver's preference file
// the all-settings import updates.
//
// Input: one byte that picks the reader and its flags, then the file's bytes.
//   bits 0-1  0 readParamAllFromFile, 1 readAddressBookFromFile, 2 readProfileAllFromFile,
//             3 readAddressBookFromAddr
//   bit 2     onlyAddress     bit 3  the USB-only model (isBNT false)
//   bit 4     isUSB           bit 5  the scanner refuses every command (dwLastErr 2)
//   bit 6     the file is completed to its full size: for the all-settings readers the first
//             264 bytes that follow are its last ones (the folder, its flag and the padding) and
//             the rest its beginning, zeros in between; for the address-book file the bytes are
//             followed by zeros. Small inputs so reach every field.
//
// Checks: a reader refuses exactly the files whose signature (or, for the address-book file,
// size) is wrong, and then sends nothing; an accepted file's address book and profiles reach the
// scanner byte for byte as the file holds them (zeros where the file is short); a refusing
// scanner makes the import count failures; the preference file, when it changes, stays a
// readable property list with every other key kept, "IsOpen" following the file's flag and
// "Location" the file's folder when that is valid UTF-8.
#include <QDir>
#include <QStringDecoder>
#include <QVariantMap>
#include <cstring>

#include "IO/FCLFileData.h"
#include "IO/IOWrapper.h"
#include "platform/PropertyList.h"
#include "support/FuzzSupport.h"

using platform::PropertyList;

namespace {

const QString kTwainName = QStringLiteral("TW-Zerelta QMX-7315W LAN");

// The preference file the import finds: the keys it changes and others it must keep.
const QByteArray kPreferences =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n"
    "\t<key>Location</key>\n\t<string>~/Pictures</string>\n"
    "\t<key>IsOpen</key>\n\t<string>0</string>\n"
    "\t<key>Resolution</key>\n\t<integer>300</integer>\n"
    "\t<key>LastScan</key>\n\t<date>2020-05-04T03:02:01Z</date>\n"
    "\t<key>Format</key>\n\t<dict>\n\t\t<key>Type</key>\n\t\t<string>PDF</string>\n\t</dict>\n"
    "</dict>\n</plist>\n";

// The scanner's status replies: one accepted (or refused) 32-byte block per read.
struct StatusReplies {
  std::vector<uint8_t> bytes;
  explicit StatusReplies(uint32_t lastErr) {
    for (int i = 0; i < 64; ++i) {
      bytes.push_back(0x00);  // shape: a whole reply
      uint8_t status[32] = {};
      std::memcpy(status, &lastErr, sizeof lastErr);
      bytes.insert(bytes.end(), status, status + sizeof status);
    }
  }
};

QByteArray padded(const QByteArray& file, qsizetype size) {
  QByteArray image = file.left(size);
  image.append(QByteArray(size - image.size(), '\0'));
  return image;
}

// The data phases of the scanner's writes: with FOP_WRITE2 the data follows its 16-byte command
// at once; the writes that carry `size` bytes.
QList<QByteArray> dataWrites(const std::vector<QByteArray>& writes, qsizetype size) {
  QList<QByteArray> out;
  for (const QByteArray& w : writes)
    if (w.size() == size) out.append(w);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(true);
  fuzz::scanner();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes input(data, size);
  const uint8_t mode = input.byte();
  const int reader = mode & 3;
  const bool onlyAddress = mode & 4;
  const bool isBNT = !(mode & 8);
  const bool isUSB = mode & 16;
  const bool refusing = mode & 32;
  QByteArray file;
  if (mode & 64) {
    if (reader == 3) {
      file = padded(input.rest(), FCL_ADDRESS_FILE_SIZE);
    } else {
      constexpr qsizetype tail = sizeof(FCL_RS_FILE_DATA) - offsetof(FCL_RS_FILE_DATA, szDestFolder);
      const QByteArray end = padded(input.take(tail), tail);
      file = padded(input.rest(), offsetof(FCL_RS_FILE_DATA, szDestFolder)) + end;
    }
  } else {
    file = input.rest();
  }

  const QString path = fuzz::home() + QStringLiteral("/import.bin");
  fuzz::writeFile(path, file);
  const QString prefsPath = preferenceFilePath(kTwainName, isBNT, isUSB);
  fuzz::writeFile(prefsPath, kPreferences);

  static const StatusReplies accepted(0), refused(2);
  const StatusReplies& replies = refusing ? refused : accepted;
  fuzz::Bytes statusInput(replies.bytes.data(), replies.bytes.size());
  fuzz::ScriptedScanner& scanner = fuzz::scanner();
  scanner.begin(&statusInput);

  IOWrapper io;
  FUZZ_CHECK(io.openScanner(QString()));
  io.resetFailedImportWrites();
  const QByteArray image = padded(file, sizeof(FCL_RS_FILE_DATA));
  bool signatureOk = false;
  bool ok = false;
  switch (reader) {
    case 0: ok = io.readParamAllFromFile(path, kTwainName, onlyAddress, isBNT, isUSB); break;
    case 1: ok = io.readAddressBookFromFile(path, onlyAddress, isBNT); break;
    case 2: ok = io.readProfileAllFromFile(path, onlyAddress, isBNT); break;
    case 3: ok = io.readAddressBookFromAddr(path); break;
  }
  if (reader == 3) {
    signatureOk = file.size() >= qsizetype(FCL_ADDRESS_FILE_SIZE) && hasSignature(image.constData(), kSignatureBntAddressBook);
  } else {
    signatureOk = hasSignature(image.constData(), exportSignature(onlyAddress, isBNT));
  }
  FUZZ_CHECK(ok == signatureOk);
  const std::vector<QByteArray>& writes = scanner.peer->writes();
  if (!ok) FUZZ_CHECK(writes.empty());

  if (ok) {
    const qsizetype bookSize = sizeof(FCL_RS_ADDRESS_BOOK);
    if (reader == 1 || reader == 3) {
      const QByteArray book = reader == 1 ? image.mid(offsetof(FCL_RS_FILE_DATA, addressBook), bookSize)
                                          : padded(file, FCL_ADDRESS_FILE_SIZE).mid(FCL_SIGNATURE_SIZE, bookSize);
      const QList<QByteArray> sent = dataWrites(writes, bookSize);
      FUZZ_CHECK(sent.size() == 1);
      FUZZ_CHECK(sent.front() == book);
    }
    if (reader == 2) {
      const qsizetype profilesSize = sizeof(FCL_RS_PROFILE_ALL);
      const QList<QByteArray> sent = dataWrites(writes, profilesSize);
      FUZZ_CHECK(sent.size() == (onlyAddress ? 0 : 1));
      if (!onlyAddress) FUZZ_CHECK(sent.front() == image.mid(offsetof(FCL_RS_FILE_DATA, profileAll), profilesSize));
    }
  }

  // The preference file: an accepted all-settings import sets "IsOpen" from the file's flag and
  // "Location" from its folder when that is valid UTF-8, and keeps every other key; when the file
  // cannot take the folder it stays as it was and the import counts a failure.
  const bool prefsTouched = ok && reader == 0 && !onlyAddress;
  const QByteArray after = fuzz::readFile(prefsPath);
  bool prefsFailed = false;
  if (prefsTouched) {
    QVariantMap before, now;
    FUZZ_CHECK(PropertyList::fromBytes(kPreferences, before) == PropertyList::Status::Ok);
    FUZZ_CHECK(PropertyList::fromBytes(after, now) == PropertyList::Status::Ok);
    const char* folder = image.constData() + offsetof(FCL_RS_FILE_DATA, szDestFolder);
    const qsizetype len = qstrnlen(folder, sizeof(FCL_RS_FILE_DATA::szDestFolder));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString location = utf8(QByteArrayView(folder, len));
    const bool showFolder = image.at(offsetof(FCL_RS_FILE_DATA, bShowFolder)) != 0;
    QVariantMap expected = before;
    if (!utf8.hasError()) expected.insert(QStringLiteral("Location"), location);
    expected.insert(QStringLiteral("IsOpen"), showFolder ? QStringLiteral("1") : QStringLiteral("0"));
    if (now != expected) {
      FUZZ_CHECK(after == kPreferences);
      prefsFailed = true;
    }
  } else {
    FUZZ_CHECK(after == kPreferences);
  }
  if (ok) {
    // A refusal of a record the USB-only model has no page for is not a failure; every other
    // refused write is, and so is a preference file that could not take the folder.
    if (refusing && !writes.empty() && isBNT) FUZZ_CHECK(io.failedImportWrites() > 0);
    if (!refusing) FUZZ_CHECK(io.failedImportWrites() == (prefsFailed ? 1u : 0u));
  }
  io.closeScanner();
  return 0;
}
