#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
namespace {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of plist dates.
constexpr qint64 kPlistEpochOffset = 978307200;
// Files larger than this are refused rather than loaded whole; preference files are small.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
// A binary file's objects, with shared ones counted at every use, may take no more than this
// once read (strings, keys and data).
constexpr quint64 kMaxExpandedBytes = 64 * 1024 * 1024;

struct PlistFree {
  void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

bool isBinary(const QByteArray& bytes) {
  return plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size())) != 0;
}

// --- Checks on the raw bytes, before libplist parses them -------------------------------------
//
// libplist 2.2 aborts (assert) when a string or key it has parsed holds U+0000 and its text is
// read with plist_get_string_val, plist_get_key_val or plist_dict_next_item; it recurses without
// limit through nested containers (parsing binary files, freeing, writing); and it expands every
// reference of a binary file into a node of its own. So the bytes are checked first.

quint64 readBigEndian(const uchar* p, int n) {
  quint64 v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// A binary plist ("bplist00"): a 32-byte trailer at the end gives the size of offsets and object
// references, the number of objects, the top object and where the offset table starts. Every
// object libplist can reach is at an offset of that table, so checking each entry of the table
// covers every string and key; the nesting and the expanded size are taken from the top object.
class BinaryCheck {
 public:
  explicit BinaryCheck(const QByteArray& bytes)
      : d_(reinterpret_cast<const uchar*>(bytes.constData())), size_(static_cast<quint64>(bytes.size())) {}

  bool ok() {
    if (size_ < 8 + 32) return false;
    const uchar* trailer = d_ + size_ - 32;
    offsetSize_ = trailer[6];
    refSize_ = trailer[7];
    numObjects_ = readBigEndian(trailer + 8, 8);
    const quint64 top = readBigEndian(trailer + 16, 8);
    tableOffset_ = readBigEndian(trailer + 24, 8);
    if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
    if (tableOffset_ < 8 || tableOffset_ > size_ - 32) return false;
    if (numObjects_ == 0 || numObjects_ > PropertyList::kMaxNodes) return false;
    if (numObjects_ > (size_ - 32 - tableOffset_) / offsetSize_) return false;
    if (top >= numObjects_) return false;
    for (quint64 i = 0; i < numObjects_; ++i) {
      if (!stringIsClean(i) || !keptAsItIs(i)) return false;
    }
    for (quint64 i = 0; i < numObjects_; ++i) {
      if (!keysAreUnique(i)) return false;
    }
    return shapeIsBounded(top);
  }

 private:
  struct Object {
    int kind = 0;        // high nibble of the marker
    quint64 count = 0;   // its length field
    quint64 body = 0;    // offset of what follows the marker and length
  };

  // Reads the marker and length of object `index`; false when any of it lies outside the objects.
  bool object(quint64 index, Object& o) const {
    const quint64 offset = readBigEndian(d_ + tableOffset_ + index * offsetSize_, offsetSize_);
    if (offset < 8 || offset >= tableOffset_) return false;
    const uchar marker = d_[offset];
    o.kind = marker >> 4;
    o.count = marker & 0x0F;
    o.body = offset + 1;
    const bool hasLength = o.kind == 0x4 || o.kind == 0x5 || o.kind == 0x6 || o.kind == 0xA ||
                           o.kind == 0xC || o.kind == 0xD;
    if (hasLength && o.count == 0x0F) {
      if (o.body >= tableOffset_) return false;
      const uchar intMarker = d_[o.body++];
      if ((intMarker & 0xF0) != 0x10 || (intMarker & 0x0F) > 3) return false;
      const int n = 1 << (intMarker & 0x0F);
      if (static_cast<quint64>(n) > tableOffset_ - o.body) return false;
      o.count = readBigEndian(d_ + o.body, n);
      o.body += static_cast<quint64>(n);
    }
    return true;
  }

  // Objects libplist holds as they are. It keeps the low 64 bits of a 16-byte integer (0x14)
  // and writes it back with a zero high half, so 2^64+5 would become 5 and a 128-bit -5 would
  // become 2^64-5; it keeps the last 8 bytes of a UID longer than 8 (0x88..0x8F); and it reads a
  // set (0xC) as an array, which a rewrite would then store.
  bool keptAsItIs(quint64 index) const {
    Object o;
    if (!object(index, o)) return false;
    if (o.kind == 0xC) return false;
    if (o.kind == 0x1 && o.count == 4) {
      if (tableOffset_ - o.body < 16) return false;
      return readBigEndian(d_ + o.body, 8) == 0;
    }
    return !(o.kind == 0x8 && o.count > 7);
  }

  // ASCII strings (0x5N) hold bytes 1..127 only, UTF-16 strings (0x6N) no 0 unit and no lone
  // surrogate. libplist aborts on U+0000; it takes other bytes of an ASCII string as UTF-8 and
  // writes them back mangled (or not at all), and a lone surrogate does not survive its UTF-8 form.
  bool stringIsClean(quint64 index) const {
    Object o;
    if (!object(index, o)) return false;
    if (o.kind != 0x5 && o.kind != 0x6) return true;
    const quint64 unit = o.kind == 0x6 ? 2 : 1;
    if (o.count > (tableOffset_ - o.body) / unit) return false;
    const uchar* p = d_ + o.body;
    if (unit == 1) {
      for (quint64 i = 0; i < o.count; ++i) {
        if (p[i] == 0 || p[i] >= 0x80) return false;
      }
      return true;
    }
    for (quint64 i = 0; i < o.count; ++i) {
      const quint64 u = readBigEndian(p + 2 * i, 2);
      if (u == 0) return false;
      if (u >= 0xDC00 && u <= 0xDFFF) return false;
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (i + 1 >= o.count) return false;
        const quint64 low = readBigEndian(p + 2 * (i + 1), 2);
        if (low < 0xDC00 || low > 0xDFFF) return false;
        ++i;
      }
    }
    return true;
  }

  // The text of a string object as UTF-16 units, for comparing keys (checked clean before).
  bool keyText(quint64 index, std::u16string& text) const {
    Object o;
    if (!object(index, o) || (o.kind != 0x5 && o.kind != 0x6)) return false;
    text.clear();
    const quint64 unit = o.kind == 0x6 ? 2 : 1;
    for (quint64 i = 0; i < o.count; ++i) text.push_back(static_cast<char16_t>(readBigEndian(d_ + o.body + i * unit, unit)));
    return true;
  }

  // A dictionary names each key once: libplist keeps both entries of a repeated key, reads the
  // last and changes the first, so a rewrite would seem to succeed and change nothing.
  bool keysAreUnique(quint64 index) const {
    Object o;
    if (!object(index, o) || o.kind != 0xD) return true;
    std::vector<quint64> refs;
    if (!children(index, refs)) return false;
    std::vector<std::u16string> keys(o.count);
    for (quint64 i = 0; i < o.count; ++i) {
      if (!keyText(refs[i], keys[i])) return false;
    }
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
  }

  // The references of a container, or none for anything else.
  bool children(quint64 index, std::vector<quint64>& refs) const {
    refs.clear();
    Object o;
    if (!object(index, o)) return false;
    if (o.kind != 0xA && o.kind != 0xC && o.kind != 0xD) return true;
    const quint64 perEntry = o.kind == 0xD ? 2 : 1;
    if (o.count > (tableOffset_ - o.body) / refSize_ / perEntry) return false;
    const quint64 n = o.count * perEntry;
    refs.reserve(n);
    for (quint64 i = 0; i < n; ++i) {
      const quint64 ref = readBigEndian(d_ + o.body + i * refSize_, refSize_);
      if (ref >= numObjects_) return false;
      refs.push_back(ref);
    }
    return true;
  }

  // Depth-first walk from the top object without recursion: refuses a cycle, a nesting deeper
  // than kMaxDepth and a tree (shared objects counted at each use) of more than kMaxNodes nodes
  // or more than kMaxExpandedBytes of strings, keys and data: libplist copies a shared object at
  // every use, so a long string referenced a million times would take gigabytes and minutes.
  bool shapeIsBounded(quint64 top) const {
    enum : uchar { kNew, kOpen, kDone };
    std::vector<uchar> state(numObjects_, kNew);
    std::vector<quint32> depth(numObjects_, 0);
    std::vector<quint64> nodes(numObjects_, 0);
    std::vector<quint64> bytes(numObjects_, 0);
    struct Frame {
      quint64 index;
      std::vector<quint64> refs;
      std::size_t next = 0;
    };
    std::vector<Frame> stack;
    auto open = [&](quint64 index) {
      Frame f{index, {}, 0};
      if (!children(index, f.refs)) return false;
      state[index] = kOpen;
      stack.push_back(std::move(f));
      return stack.size() <= static_cast<std::size_t>(PropertyList::kMaxDepth) + 1;
    };
    if (!open(top)) return false;
    while (!stack.empty()) {
      Frame& f = stack.back();
      if (f.next < f.refs.size()) {
        const quint64 child = f.refs[f.next++];
        if (state[child] == kOpen) return false;
        if (state[child] == kNew && !open(child)) return false;
        continue;
      }
      quint32 deepest = 0;
      quint64 total = 1;
      quint64 size = payloadBytes(f.index);
      for (quint64 child : f.refs) {
        deepest = std::max(deepest, depth[child] + 1);
        total += nodes[child];
        size += bytes[child];
        if (total > PropertyList::kMaxNodes || size > kMaxExpandedBytes) return false;
      }
      if (deepest > static_cast<quint32>(PropertyList::kMaxDepth)) return false;
      depth[f.index] = deepest;
      nodes[f.index] = total;
      bytes[f.index] = size;
      state[f.index] = kDone;
      stack.pop_back();
    }
    return true;
  }

  // What an object takes once libplist has read it, apart from its children: the UTF-8 form of
  // a string or key (up to three bytes per UTF-16 unit), the bytes of a data object, and a little
  // for everything else.
  quint64 payloadBytes(quint64 index) const {
    Object o;
    if (!object(index, o)) return 0;
    switch (o.kind) {
      case 0x4: return o.count;
      case 0x5: return o.count + 1;
      case 0x6: return 3 * o.count + 1;
      default: return 16;
    }
  }

  const uchar* d_;
  quint64 size_;
  int offsetSize_ = 0;
  int refSize_ = 0;
  quint64 numObjects_ = 0;
  quint64 tableOffset_ = 0;
};

// An XML plist: no 0 byte anywhere (libplist keeps it inside a text), and no deeper nesting of
// <array> and <dict> than kMaxDepth. The nesting is counted on the markup exactly as libplist's
// reader splits it: processing instructions, comments and the DOCTYPE are skipped, a leaf
// element's text (with the comments and CDATA sections it may hold) runs to its closing tag, and
// attributes are skipped. Anything the two could split differently (a quoted attribute holding
// '<' or '>', a DOCTYPE with an internal subset, other "<!" markup, text outside a leaf element)
// is refused: no plist writer makes it, and a closing tag libplist does not see as one must never
// lower the count.
class XmlShape {
 public:
  explicit XmlShape(const QByteArray& bytes) : p_(bytes.constData()), end_(p_ + bytes.size()) {}

  // The deepest nesting, or -1 when the markup is refused.
  int deepest() {
    int depth = 0;
    int deepest = 0;
    for (;;) {
      skipSpace();
      if (p_ == end_) return deepest;
      if (*p_++ != '<') return -1;
      if (startsWith("?")) {
        if (!skipPast("?>")) return -1;
      } else if (startsWith("!--")) {
        p_ += 3;
        if (!skipPastVerbatim("-->")) return -1;  // quotes mean nothing in a comment
      } else if (startsWith("!DOCTYPE")) {
        p_ += 8;
        if (!skipToTagEnd()) return -1;
        ++p_;
      } else if (p_ < end_ && *p_ == '!') {
        return -1;
      } else {
        const char* name = p_;
        while (p_ < end_ && !std::strchr(" \t\r\n<>", *p_)) ++p_;
        std::string_view tag(name, static_cast<std::size_t>(p_ - name));
        if (!skipToTagEnd()) return -1;
        const bool empty = p_[-1] == '/';
        ++p_;
        if (empty && tag.ends_with('/')) tag.remove_suffix(1);
        // Every element but <plist> becomes a node of libplist's tree (about 100 bytes each, and
        // a line of up to kMaxDepth tabs when written back): a file of many small elements is
        // refused as a binary one of as many objects is.
        if (!tag.starts_with('/') && tag != "plist" && ++nodes_ > PropertyList::kMaxNodes) return -1;
        if (tag == "array" || tag == "dict") {
          // An empty one is a level of the tree too, with nothing below it.
          deepest = std::max(deepest, empty ? depth + 1 : ++depth);
        } else if (tag == "/array" || tag == "/dict") {
          if (depth == 0) return -1;
          --depth;
        } else if (empty && hasValueText(tag) && tag != "data") {
          return -1;
        } else if (!empty && isLeaf(tag)) {
          if (!skipText(tag)) return -1;
        }
      }
    }
  }

 private:
  static bool isLeaf(std::string_view tag) {
    for (const char* leaf : {"key", "string", "integer", "real", "date", "data", "true", "false"}) {
      if (tag == leaf) return true;
    }
    return false;
  }

  // Elements whose text libplist converts with lenient C parsers (strtoull with base 0,
  // strtod, strptime, a base64 decoder that stops at the first odd character): it reads
  // "010" as 8, "99999999999999999999" as 2^64-1, "QQ" as no bytes and the year 99999 as
  // 9998, and a rewrite would store what it read. So their text must be in the one form every
  // plist writer makes, which libplist reads exactly.
  static bool hasValueText(std::string_view tag) {
    return tag == "integer" || tag == "real" || tag == "date" || tag == "data";
  }

  static std::string_view trimmed(std::string_view t) {
    while (!t.empty() && std::strchr(" \t\r\n", t.front())) t.remove_prefix(1);
    while (!t.empty() && std::strchr(" \t\r\n", t.back())) t.remove_suffix(1);
    return t;
  }

  static bool isDigit(char c) { return c >= '0' && c <= '9'; }

  static bool allDigits(std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), isDigit);
  }

  // Decimal, no leading zero, from -2^63 to 2^64-1 (what libplist holds).
  static bool integerText(std::string_view t) {
    t = trimmed(t);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
      negative = t.front() == '-';
      t.remove_prefix(1);
    }
    if (!allDigits(t) || (t.size() > 1 && t.front() == '0')) return false;
    const std::string_view limit = negative ? "9223372036854775808" : "18446744073709551615";
    return t.size() < limit.size() || (t.size() == limit.size() && t <= limit);
  }

  // A decimal number with optional fraction and exponent, or the words libplist writes for
  // NaN and the infinities.
  static bool realText(std::string_view t) {
    t = trimmed(t);
    if (t == "nan" || t == "+infinity" || t == "-infinity" || t == "infinity") return true;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
    std::size_t i = 0, digits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
      ++i;
      while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
      ++i;
      if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
      if (!allDigits(t.substr(i))) return false;
      i = t.size();
    }
    return i == t.size();
  }

  // YYYY-MM-DDTHH:MM:SSZ naming a real day and time (libplist moves Feb 30 to Mar 1, drops a
  // fraction or a zone and cuts a longer year).
  static bool dateText(std::string_view t) {
    t = trimmed(t);
    if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':' ||
        t[19] != 'Z') {
      return false;
    }
    int v[6] = {};
    const int at[6] = {0, 5, 8, 11, 14, 17};
    const int width[6] = {4, 2, 2, 2, 2, 2};
    for (int k = 0; k < 6; ++k) {
      const std::string_view f = t.substr(static_cast<std::size_t>(at[k]), static_cast<std::size_t>(width[k]));
      if (!allDigits(f)) return false;
      for (char c : f) v[k] = v[k] * 10 + (c - '0');
    }
    const int year = v[0], month = v[1], day = v[2];
    if (month < 1 || month > 12 || day < 1 || v[3] > 23 || v[4] > 59 || v[5] > 59) return false;
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= (month == 2 && !leap ? 28 : kDays[month - 1]);
  }

  // Base64 in groups of four, '=' only as the padding of the last group, white space anywhere.
  static bool dataText(std::string_view t) {
    std::size_t n = 0, pad = 0;
    for (char c : t) {
      if (std::strchr(" \t\r\n", c)) continue;
      const bool alphabet = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || isDigit(c) || c == '+' || c == '/';
      if (c == '=') {
        ++pad;
      } else if (!alphabet || pad > 0) {
        return false;
      }
      ++n;
    }
    return n % 4 == 0 && pad <= 2;
  }

  static bool valueTextValid(std::string_view tag, std::string_view t) {
    if (tag == "integer") return integerText(t);
    if (tag == "real") return realText(t);
    if (tag == "date") return dateText(t);
    return dataText(t);
  }

  bool startsWith(std::string_view s) const {
    return static_cast<std::size_t>(end_ - p_) >= s.size() && std::string_view(p_, s.size()) == s;
  }

  void skipSpace() {
    while (p_ < end_ && std::strchr(" \t\r\n", *p_) && *p_ != '\0') ++p_;
  }

  // Moves past the next `s`; a double-quoted part on the way may not hold '<' or '>' (libplist
  // skips such parts in some markup and not in other, so one could end the markup elsewhere).
  // Single quotes are ordinary characters to libplist, and so here.
  bool skipPast(std::string_view s) {
    while (p_ < end_) {
      if (startsWith(s)) {
        p_ += s.size();
        return true;
      }
      if (*p_ == '"') {
        if (!skipQuoted()) return false;
      } else {
        ++p_;
      }
    }
    return false;
  }

  // Moves to the '>' that ends the current tag; a '<' before it, or the end, refuses the file.
  bool skipToTagEnd() {
    while (p_ < end_ && *p_ != '>') {
      if (*p_ == '<' || *p_ == '[') return false;
      if (*p_ == '"') {
        if (!skipQuoted()) return false;
      } else {
        ++p_;
      }
    }
    return p_ < end_;
  }

  // At a '"': moves past its partner; false when there is none or '<' or '>' comes first.
  bool skipQuoted() {
    ++p_;
    while (p_ < end_ && *p_ != '"') {
      if (*p_ == '<' || *p_ == '>') return false;
      ++p_;
    }
    if (p_ == end_) return false;
    ++p_;
    return true;
  }

  // The text of a leaf element up to and past its closing tag. Comments and CDATA sections in it
  // may hold anything; any other markup, or a closing tag of another name, refuses the file.
  bool skipText(std::string_view tag) {
    if (hasValueText(tag)) {
      // Plain text only: no comment, CDATA section or entity is written into these.
      const char* start = p_;
      while (p_ < end_ && *p_ != '<') ++p_;
      if (!valueTextValid(tag, std::string_view(start, static_cast<std::size_t>(p_ - start)))) return false;
      if (!startsWith("</")) return false;
    }
    for (;;) {
      while (p_ < end_ && *p_ != '<') ++p_;
      if (p_ == end_) return false;
      ++p_;
      if (startsWith("!--")) {
        p_ += 3;
        if (!skipPastVerbatim("-->")) return false;
      } else if (startsWith("![CDATA[")) {
        p_ += 8;
        if (!skipPastVerbatim("]]>")) return false;
      } else if (startsWith("/")) {
        ++p_;
        if (!startsWith(tag)) return false;
        p_ += tag.size();
        skipSpace();
        if (p_ == end_ || *p_ != '>') return false;
        ++p_;
        return true;
      } else {
        return false;
      }
    }
  }

  bool skipPastVerbatim(std::string_view s) {
    const std::string_view rest(p_, static_cast<std::size_t>(end_ - p_));
    const std::size_t at = rest.find(s);
    if (at == std::string_view::npos) return false;
    p_ += at + s.size();
    return true;
  }

  const char* p_;
  const char* end_;
  quint64 nodes_ = 0;
};

bool xmlIsSafe(const QByteArray& bytes) {
  if (bytes.contains('\0')) return false;
  const int deepest = XmlShape(bytes).deepest();
  return deepest >= 0 && deepest <= PropertyList::kMaxDepth;
}

// libplist reads XML reals with the C library's number parser, which follows the thread's
// LC_NUMERIC, and Qt sets the process locale from the environment: under a locale with a decimal
// comma "2.5" would read as 2 (and a rewrite store 2). While one of these lives, this thread
// reads and writes with the C conventions; the previous locale comes back when it ends.
class CLocaleScope {
 public:
  CLocaleScope() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c) previous_ = uselocale(c);
  }
  ~CLocaleScope() {
    if (previous_) uselocale(previous_);
  }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_ = nullptr;
};

// Parses bytes that passed the checks above; `root` owns the tree.
PropertyList::Status parse(const QByteArray& bytes, PlistPtr& root) {
  root.reset();
  if (bytes.isEmpty() || bytes.size() > kMaxFileSize) return PropertyList::Status::Malformed;
  if (isBinary(bytes) ? !BinaryCheck(bytes).ok() : !xmlIsSafe(bytes)) return PropertyList::Status::Malformed;
  plist_t tree = nullptr;
  {
    const CLocaleScope cLocale;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &tree);
  }
  root.reset(tree);
  if (!tree) return PropertyList::Status::Malformed;
  if (plist_get_node_type(tree) != PLIST_DICT) return PropertyList::Status::NotADictionary;
  return PropertyList::Status::Ok;
}

// --- Tree to Qt values ---------------------------------------------------------------------------

// UTF-8 to QString, keeping a leading U+FEFF as a character (QString::fromUtf8 drops it).
QString decodeUtf8(const char* p, qsizetype n) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
  return decoder.decode(QByteArrayView(p, n));
}

// Serialises a single binary object: "bplist00", the object, a one-entry offset table, trailer.
QByteArray singleObjectPlist(const QByteArray& object) {
  QByteArray out("bplist00");
  out += object;
  out += char(8);  // offset of the object
  QByteArray trailer(32, '\0');
  trailer[6] = 1;  // offset size
  trailer[7] = 1;  // reference size
  trailer[15] = 1;  // one object
  trailer[31] = static_cast<char>(8 + object.size());  // where the offset table starts
  return out + trailer;
}

// The exact seconds since 2001 of a date node. libplist keeps a date as a double, but its getter
// cuts it to 32-bit seconds (dates outside 1932..2069 come back wrong), so the value is taken from
// the node's binary form: marker 0x33 and the big-endian double right after the header.
bool dateSeconds(plist_t node, double& seconds) {
  PlistPtr copy(plist_copy(node));
  char* bin = nullptr;
  uint32_t len = 0;
  plist_to_bin(copy.get(), &bin, &len);
  if (!bin) return false;
  bool ok = false;
  if (len >= 17 && static_cast<uchar>(bin[8]) == 0x33) {
    const quint64 bits = readBigEndian(reinterpret_cast<const uchar*>(bin) + 9, 8);
    std::memcpy(&seconds, &bits, sizeof seconds);
    ok = std::isfinite(seconds);
  }
  plist_to_bin_free(bin);
  return ok;
}

// A date node holding any double of seconds since 2001 (plist_new_date takes only 32-bit seconds).
plist_t newDate(double seconds) {
  QByteArray object(1, char(0x33));
  quint64 bits = 0;
  std::memcpy(&bits, &seconds, sizeof bits);
  for (int i = 7; i >= 0; --i) object += static_cast<char>((bits >> (8 * i)) & 0xFF);
  const QByteArray bytes = singleObjectPlist(object);
  plist_t node = nullptr;
  plist_from_bin(bytes.constData(), static_cast<uint32_t>(bytes.size()), &node);
  if (node && plist_get_node_type(node) != PLIST_DATE) {
    plist_free(node);
    node = nullptr;
  }
  return node;
}

QVariant toVariant(plist_t node, int depth) {
  if (!node || depth > PropertyList::kMaxDepth) return {};
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return QVariant(b != 0);
    }
    case PLIST_UINT: {
      uint64_t v = 0;
      plist_get_uint_val(node, &v);
      // This libplist keeps negative integers as their two's-complement pattern.
      return QVariant(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return QVariant(d);
    }
    case PLIST_STRING: {
      // plist_get_string_ptr does not assert; the length it gives counts every byte.
      uint64_t len = 0;
      const char* s = plist_get_string_ptr(node, &len);
      if (!s) return QVariant(QString());
      return QVariant(decodeUtf8(s, static_cast<qsizetype>(len)));
    }
    case PLIST_DATA: {
      uint64_t len = 0;
      const char* d = plist_get_data_ptr(node, &len);
      return QVariant(d ? QByteArray(d, static_cast<qsizetype>(len)) : QByteArray());
    }
    case PLIST_DATE: {
      double seconds = 0;
      if (!dateSeconds(node, seconds)) {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        seconds = sec + usec / 1e6;
      }
      const double ms = std::round((static_cast<double>(kPlistEpochOffset) + seconds) * 1000.0);
      // QDateTime covers far more than any plist date in practice; beyond ±2^53 ms there is no
      // exact form anyway.
      if (std::fabs(ms) > 9007199254740992.0) return {};
      return QVariant(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC));
    }
    case PLIST_ARRAY: {
      QVariantList list;
      const uint32_t n = plist_array_get_size(node);
      for (uint32_t i = 0; i < n; ++i) list.append(toVariant(plist_array_get_item(node, i), depth + 1));
      return list;
    }
    case PLIST_DICT: {
      // The keys were checked for U+0000 before parsing, so reading them cannot assert.
      QVariantMap map;
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      while (it) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (!key) break;
        map.insert(decodeUtf8(key, static_cast<qsizetype>(std::strlen(key))), toVariant(value, depth + 1));
        free(key);
      }
      free(it);
      return map;
    }
    default:
      return {};
  }
}

// --- Qt values to tree ---------------------------------------------------------------------------

// A text can go into a plist when it has no U+0000 (libplist would cut it there, and our reader
// refuses it) and no lone surrogate (it has no UTF-8 form).
bool textWritable(const QString& text) {
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c.unicode() == 0) return false;
    if (c.isHighSurrogate()) {
      if (i + 1 >= n || !text[i + 1].isLowSurrogate()) return false;
      ++i;
    } else if (c.isLowSurrogate()) {
      return false;
    }
  }
  return true;
}

plist_t fromVariant(const QVariant& v, bool& ok) {
  switch (v.typeId()) {
    case QMetaType::Bool: return plist_new_bool(v.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
      return plist_new_uint(static_cast<uint64_t>(v.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return plist_new_uint(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: return plist_new_real(v.toDouble());
    case QMetaType::QString: {
      const QString text = v.toString();
      if (!textWritable(text)) break;
      return plist_new_string(text.toUtf8().constData());
    }
    case QMetaType::QByteArray: {
      const QByteArray b = v.toByteArray();
      return plist_new_data(b.constData(), static_cast<uint64_t>(b.size()));
    }
    case QMetaType::QDateTime: {
      const QDateTime when = v.toDateTime();
      if (!when.isValid()) break;
      const double seconds = static_cast<double>(when.toMSecsSinceEpoch() - kPlistEpochOffset * 1000) / 1000.0;
      plist_t node = newDate(seconds);
      if (!node) break;
      return node;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
      plist_t array = plist_new_array();
      for (const QVariant& item : v.toList()) {
        plist_t child = fromVariant(item, ok);
        if (!ok) {
          plist_free(array);
          return nullptr;
        }
        plist_array_append_item(array, child);
      }
      return array;
    }
    case QMetaType::QVariantMap: {
      plist_t dict = plist_new_dict();
      const QVariantMap map = v.toMap();
      for (auto it = map.cbegin(); it != map.cend(); ++it) {
        plist_t child = textWritable(it.key()) ? fromVariant(it.value(), ok) : nullptr;
        if (!ok || !child) {
          ok = false;
          if (child) plist_free(child);
          plist_free(dict);
          return nullptr;
        }
        plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
      }
      return dict;
    }
    default:
      break;
  }
  ok = false;
  return nullptr;
}

// --- Tree to bytes -------------------------------------------------------------------------------

// True when every character of the UTF-8 text is one XML 1.0 allows (#x9 | #xA | #xD |
// [#x20-#xD7FF] | [#xE000-#xFFFD] | [#x10000-#x10FFFF]) and the UTF-8 itself is valid.
bool xmlCharactersAllowed(const QByteArray& xml) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                   QStringConverter::Flag::Stateless);
  const QString text = decoder.decode(xml);
  if (decoder.hasError()) return false;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text[i].unicode();
    if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
    if (QChar::isHighSurrogate(c)) {
      if (i + 1 >= n || !QChar::isLowSurrogate(text[i + 1].unicode())) return false;
      ++i;
    } else if (QChar::isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

// The binary form of a tree, which names every value exactly (dates and reals as doubles).
QByteArray binaryForm(plist_t root) {
  char* buffer = nullptr;
  uint32_t len = 0;
  plist_to_bin(root, &buffer, &len);
  if (!buffer) return {};
  QByteArray bytes(buffer, static_cast<qsizetype>(len));
  plist_to_bin_free(buffer);
  return bytes;
}

// Whether `bytes`, read again, hold exactly the tree they were written from. libplist does not
// write every value it can read in a form it reads back the same (an XML date outside the years
// it formats, for one), so a file is only written when nothing in it would change.
bool readsBackAs(plist_t root, const QByteArray& bytes) {
  PlistPtr back;
  if (parse(bytes, back) != PropertyList::Status::Ok) return false;
  const QByteArray expected = binaryForm(root);
  return !expected.isEmpty() && binaryForm(back.get()) == expected;
}

PropertyList::Status treeToBytes(plist_t root, bool binary, QByteArray& out) {
  out.clear();
  char* buffer = nullptr;
  uint32_t len = 0;
  if (binary) {
    plist_to_bin(root, &buffer, &len);
    if (!buffer) return PropertyList::Status::WriteFailed;
    out = QByteArray(buffer, static_cast<qsizetype>(len));
    plist_to_bin_free(buffer);
    // What we write must be what we read back: the same checks the reader makes.
    if (!BinaryCheck(out).ok()) out.clear();
  } else {
    {
      const CLocaleScope cLocale;
      plist_to_xml(root, &buffer, &len);
    }
    if (!buffer) return PropertyList::Status::WriteFailed;
    if (len > kMaxFileSize) {
      // It could not be read back.
      plist_to_xml_free(buffer);
      return PropertyList::Status::WriteFailed;
    }
    out = QByteArray(buffer, static_cast<qsizetype>(len));
    plist_to_xml_free(buffer);
    // libplist writes control characters raw, which XML readers refuse (the whole file).
    if (!xmlCharactersAllowed(out) || !xmlIsSafe(out)) out.clear();
  }
  if (!out.isEmpty() && !readsBackAs(root, out)) out.clear();
  return out.isEmpty() ? PropertyList::Status::WriteFailed : PropertyList::Status::Ok;
}

PropertyList::Status saveAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return PropertyList::Status::WriteFailed;
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return PropertyList::Status::WriteFailed;
  }
  return file.commit() ? PropertyList::Status::Ok : PropertyList::Status::WriteFailed;
}

PropertyList::Status readFile(const QString& path, QByteArray& bytes) {
  QFile file(path);
  if (!file.exists()) return PropertyList::Status::Missing;
  if (!file.open(QIODevice::ReadOnly)) return PropertyList::Status::Unreadable;
  if (file.size() > kMaxFileSize) return PropertyList::Status::Malformed;
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) return PropertyList::Status::Unreadable;
  return PropertyList::Status::Ok;
}

}  // namespace

int PropertyList::xmlNesting(const QByteArray& bytes) {
  return XmlShape(bytes).deepest();
}

PropertyList::Status PropertyList::fromBytes(const QByteArray& bytes, QVariantMap& out) {
  out.clear();
  PlistPtr root;
  const Status status = parse(bytes, root);
  if (status != Status::Ok) return status;
  out = toVariant(root.get(), 0).toMap();
  return Status::Ok;
}

PropertyList::Status PropertyList::read(const QString& path, QVariantMap& out) {
  out.clear();
  QByteArray bytes;
  const Status status = readFile(path, bytes);
  if (status != Status::Ok) return status;
  return fromBytes(bytes, out);
}

PropertyList::Status PropertyList::toXml(const QVariantMap& map, QByteArray& out) {
  out.clear();
  bool ok = true;
  PlistPtr root(fromVariant(QVariant(map), ok));
  if (!ok || !root) return Status::WriteFailed;
  return treeToBytes(root.get(), false, out);
}

PropertyList::Status PropertyList::write(const QString& path, const QVariantMap& map) {
  QByteArray xml;
  if (toXml(map, xml) != Status::Ok) return Status::WriteFailed;
  return saveAtomically(path, xml);
}

PropertyList::Status PropertyList::updateBytes(const QByteArray& in, const QVariantMap& set, const QStringList& remove,
                                               QByteArray& out) {
  out.clear();
  PlistPtr root;
  const Status status = parse(in, root);
  if (status != Status::Ok) return status;
  for (const QString& key : remove) {
    if (!textWritable(key)) return Status::WriteFailed;
    plist_dict_remove_item(root.get(), key.toUtf8().constData());
  }
  for (auto it = set.cbegin(); it != set.cend(); ++it) {
    bool ok = true;
    plist_t value = textWritable(it.key()) ? fromVariant(it.value(), ok) : nullptr;
    if (!ok || !value) {
      if (value) plist_free(value);
      return Status::WriteFailed;
    }
    plist_dict_set_item(root.get(), it.key().toUtf8().constData(), value);
  }
  return treeToBytes(root.get(), isBinary(in), out);
}

PropertyList::Status PropertyList::update(const QString& path, const QVariantMap& set, const QStringList& remove) {
  QByteArray in;
  Status status = readFile(path, in);
  if (status != Status::Ok) return status;
  QByteArray out;
  status = updateBytes(in, set, remove, out);
  if (status != Status::Ok) return status;
  return saveAtomically(path, out);
}

}  // namespace platform
