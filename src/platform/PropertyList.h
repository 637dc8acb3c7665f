#pragma once
// Property-list files (the driver's per-device preferences and the programs' own plists).
//
// read() accepts XML or binary plists and maps them to Qt values:
//   dict -> QVariantMap, array -> QVariantList, string -> QString, bool -> bool,
//   integer -> qint64 (negative integers included), real -> double, data -> QByteArray,
//   date -> QDateTime (UTC). A UID has no Qt form: it reads as an invalid QVariant (which write()
//   refuses), and update() keeps it as it is.
// Strings keep a leading U+FEFF as a character.
//
// A file libplist cannot handle safely is refused before libplist's own getters see it: a text
// or key holding U+0000 (libplist 2.2 aborts on those), nesting deeper than kMaxDepth, or a
// binary file whose objects expand to more than kMaxNodes nodes or 64 MB of strings, keys and
// data (libplist copies a shared object at every use), an XML file of more than kMaxNodes
// elements, and values libplist would read as another value and a rewrite then store: XML
// integers, reals, dates and data not in the plain form plist writers make ("010", "1,5",
// "2024-02-30T00:00:00Z", unpadded base64), binary 16-byte integers with a nonzero high half and
// UIDs longer than 8 bytes. Such a file is Malformed.
// libplist writes -0.0 into XML as 0.0, so an XML file holding -0.0 cannot be rewritten
// (WriteFailed; see below): the file stays as it was.
//
// write() turns a map into a new XML plist; update() edits an existing file's own parsed tree and
// writes it back in the format it was read, so everything it does not touch survives as libplist
// carries it. Both replace the file atomically (QSaveFile: a temporary file in the same folder,
// then a rename), so a crash never leaves half a file, and neither writes anything on failure.
// A text XML 1.0 cannot hold (control characters other than tab, LF and CR, U+FFFE, U+FFFF,
// lone surrogates) is never written into an XML plist, and U+0000 into no plist at all: such a
// write is refused (WriteFailed).

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace platform {

class PropertyList {
 public:
  enum class Status { Ok, Missing, Unreadable, Malformed, NotADictionary, WriteFailed };

  static constexpr int kMaxDepth = 256;
  static constexpr quint64 kMaxNodes = 1u << 20;

  // The deepest nesting of <array> and <dict> in an XML plist, counted on the markup as libplist
  // splits it (comments, CDATA sections, processing instructions and attributes skipped), or -1
  // for markup the two could split differently. read() refuses a file deeper than kMaxDepth;
  // the fuzz target compares the count with the tree libplist builds.
  static int xmlNesting(const QByteArray& bytes);

  // Reads `path` into `out` (cleared first). Never throws or crashes on bad input.
  static Status read(const QString& path, QVariantMap& out);
  // Writes `map` as an XML plist to `path` atomically. Values of other types than those listed
  // above are refused (WriteFailed) and nothing is written.
  static Status write(const QString& path, const QVariantMap& map);

  // Sets the given top-level keys (values of the types write() accepts) and removes the listed ones,
  // editing the file's own parsed tree so that every other key and value survives as libplist
  // carries it, and writes it back atomically in the format it was read (binary stays binary,
  // XML stays XML). Nothing is written on any failure.
  // The removals are applied first, so a key both set and removed ends up set. A missing file is
  // Missing (nothing is created); an unreadable one is reported as read() reports it.
  static Status update(const QString& path, const QVariantMap& set, const QStringList& remove = {});
  static Status updateBytes(const QByteArray& in, const QVariantMap& set, const QStringList& remove, QByteArray& out);

  // The same conversions on bytes in memory (used by read/write and by tests).
  static Status fromBytes(const QByteArray& bytes, QVariantMap& out);
  static Status toXml(const QVariantMap& map, QByteArray& out);
};

}  // namespace platform
