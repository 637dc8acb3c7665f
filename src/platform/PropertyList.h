#pragma once
// Property-list files (the driver's per-device preferences and the programs' own plists).
//
// read() accepts XML or binary plists and maps them to Qt values:
//   dict -> QVariantMap, array -> QVariantList, string -> QString, bool -> bool,
//   integer -> qint64 (negative integers included), real -> double, data -> QByteArray,
//   date -> QDateTime (UTC).
// write() turns such a map back into an XML plist and replaces the file atomically (QSaveFile:
// a temporary file in the same folder, then a rename), so a crash never leaves half a file.
// Keys a caller does not know survive a read-modify-write, since the whole map is kept.

#include <QString>
#include <QVariantMap>

namespace platform {

class PropertyList {
 public:
  enum class Status { Ok, Missing, Unreadable, Malformed, NotADictionary, WriteFailed };

  // Reads `path` into `out` (cleared first). Never throws or crashes on bad input.
  static Status read(const QString& path, QVariantMap& out);
  // Writes `map` as an XML plist to `path` atomically. Values of other types than those listed
  // above are refused (WriteFailed) and nothing is written.
  static Status write(const QString& path, const QVariantMap& map);

  // The same conversions on bytes in memory (used by read/write and by tests).
  static Status fromBytes(const QByteArray& bytes, QVariantMap& out);
  static Status toXml(const QVariantMap& map, QByteArray& out);
};

}  // namespace platform
