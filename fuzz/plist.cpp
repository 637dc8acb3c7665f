// Property lists: reading XML and binary files, and the rewrite of a dictionary.
//
// Input: one byte that picks the edit the programs make (none; the scan folder and its "open"
// flag; a new PC identifier; an address replaced), then the file's bytes.
//
// Checks: reading never crashes; a file that cannot be read is never rewritten; a rewrite keeps
// the format it was read in (binary stays binary) and, read back, holds exactly the values read
// before with the edit applied; the nesting counted on an XML file's text before libplist reads
// it is never less than the nesting of the tree libplist builds from it (a smaller count would
// let a deep file through to libplist's recursive free and writer).
#include <QByteArray>
#include <QDateTime>
#include <QDebug>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <plist/plist.h>

#include "platform/PropertyList.h"
#include "support/FuzzSupport.h"

using platform::PropertyList;

namespace {

// Equality of read values, with NaN equal to itself (a value kept is a value kept).
bool same(const QVariant& a, const QVariant& b) {
  if (a.typeId() != b.typeId()) return false;
  switch (a.typeId()) {
    case QMetaType::Double: {
      const double x = a.toDouble(), y = b.toDouble();
      return (std::isnan(x) && std::isnan(y)) || x == y;
    }
    case QMetaType::QVariantList: {
      const QVariantList l = a.toList(), m = b.toList();
      if (l.size() != m.size()) return false;
      for (qsizetype i = 0; i < l.size(); ++i)
        if (!same(l[i], m[i])) return false;
      return true;
    }
    case QMetaType::QVariantMap: {
      const QVariantMap l = a.toMap(), m = b.toMap();
      if (l.size() != m.size()) return false;
      for (auto it = l.cbegin(), jt = m.cbegin(); it != l.cend(); ++it, ++jt)
        if (it.key() != jt.key() || !same(it.value(), jt.value())) return false;
      return true;
    }
    default:
      return a == b;
  }
}

// The nesting of containers in a tree libplist built (small here: the input is a few kilobytes).
int treeDepth(plist_t node) {
  int deepest = 0;
  if (plist_get_node_type(node) == PLIST_ARRAY) {
    const uint32_t n = plist_array_get_size(node);
    for (uint32_t i = 0; i < n; ++i) deepest = std::max(deepest, treeDepth(plist_array_get_item(node, i)));
    return deepest + 1;
  }
  if (plist_get_node_type(node) != PLIST_DICT) return 0;
  plist_dict_iter it = nullptr;
  plist_dict_new_iter(node, &it);
  for (uint32_t i = plist_dict_get_size(node); i > 0; --i) {
    plist_t value = nullptr;
    plist_dict_next_item(node, it, nullptr, &value);  // no key text: it may hold U+0000
    if (value) deepest = std::max(deepest, treeDepth(value));
  }
  free(it);
  return deepest + 1;
}

void checkXmlNesting(const QByteArray& file) {
  if (file.startsWith("bplist") || file.contains('\0')) return;
  const int counted = PropertyList::xmlNesting(file);
  if (counted < 0) return;
  plist_t tree = nullptr;
  plist_from_memory(file.constData(), static_cast<uint32_t>(file.size()), &tree);
  if (!tree) return;
  const int built = treeDepth(tree);
  plist_free(tree);
  if (built > counted) {
    QDebug(QtMsgType::QtCriticalMsg) << "counted" << counted << "built" << built;
    fuzz::fail("plist.cpp: libplist nests deeper than the text check counted");
  }
}

struct Edit {
  QVariantMap set;
  QStringList remove;
};

Edit editFor(uint8_t choice) {
  switch (choice % 4) {
    case 1: return {{{QStringLiteral("Location"), QStringLiteral("~/Pictures/Scans \u00e9")}, {QStringLiteral("IsOpen"), QStringLiteral("1")}}, {}};
    case 2: return {{{QStringLiteral("PCUUID"), QStringLiteral("0F3C2B6E-5A1D-4C7B-9E21-6D8A0B4C3F12")}}, {}};
    case 3: return {{{QStringLiteral("IPAddress"), QStringLiteral("127.0.0.9")}}, {QStringLiteral("UUID")}};
    default: return {};
  }
}

void rewrite(const QByteArray& in, bool readable, const QVariantMap& read, const Edit& edit) {
  QByteArray out;
  const PropertyList::Status status = PropertyList::updateBytes(in, edit.set, edit.remove, out);
  if (!readable) {
    // Nothing unread is ever written back.
    FUZZ_CHECK(status != PropertyList::Status::Ok);
    return;
  }
  if (status != PropertyList::Status::Ok) return;
  FUZZ_CHECK(out.startsWith("bplist") == in.startsWith("bplist"));
  QVariantMap expected = read;
  for (const QString& key : edit.remove) expected.remove(key);
  for (auto it = edit.set.cbegin(); it != edit.set.cend(); ++it) expected.insert(it.key(), it.value());
  QVariantMap again;
  if (PropertyList::fromBytes(out, again) != PropertyList::Status::Ok) {
    QDebug(QtMsgType::QtCriticalMsg) << "read:" << read << "\nbytes:" << out.toHex();
    fuzz::fail("plist.cpp: the rewrite cannot be read back");
  }
  if (!same(QVariant(expected), QVariant(again))) {
    QDebug(QtMsgType::QtCriticalMsg) << "read:" << read << "\nexpected:" << expected << "\nrewritten:" << again
                                     << "\nbytes:" << out.toHex();
    fuzz::fail("plist.cpp: the rewrite did not keep the values read");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::initProcess(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes input(data, size);
  const Edit edit = editFor(input.byte());
  const QByteArray file = input.rest();

  checkXmlNesting(file);

  QVariantMap read;
  const PropertyList::Status status = PropertyList::fromBytes(file, read);
  const bool readable = status == PropertyList::Status::Ok;
  if (!readable) FUZZ_CHECK(read.isEmpty());
  rewrite(file, readable, read, edit);
  return 0;
}
