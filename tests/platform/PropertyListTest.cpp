#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QSize>

#include <clocale>
#include <cstdlib>
#include <limits>

#include "support/PlistFixtures.h"
#include "platform/PropertyList.h"

using platform::PropertyList;
using Status = PropertyList::Status;

namespace {
QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
  const QString path = dir.filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return path;
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QDateTime utc(int y, int mo, int d, int h = 0) { return QDateTime(QDate(y, mo, d), QTime(h, 0), Qt::UTC); }

// The XML form of plistfixtures::everyKindBinary(), as libplist writes it.
const char kEveryKindXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>Gone</key><string>x</string>
	<key>Late</key><date>2100-06-01T12:00:00Z</date>
	<key>Location</key><string>/a</string>
	<key>Nested</key>
	<dict>
		<key>a</key>
		<array><integer>1</integer><real>2.5</real><data>AAE=</data><dict><key>b</key><true/></dict></array>
		<key>n</key><integer>-7</integer>
	</dict>
	<key>Old</key><date>1900-01-01T00:00:00Z</date>
	<key>R</key><real>0.10000000000000001</real>
	<key>U</key><dict><key>CF$UID</key><integer>5</integer></dict>
</dict>
</plist>
)";

// A binary plist of `objects` (each a marker and its body, references one byte wide) whose top
// object is the first.
QByteArray binaryPlist(const QList<QByteArray>& objects) {
  QByteArray out("bplist00");
  QByteArray table;
  for (const QByteArray& o : objects) {
    const int offset = static_cast<int>(out.size());
    table += char(offset >> 24) + QByteArray() + char(offset >> 16) + char(offset >> 8) + char(offset);
    out += o;
  }
  const qint64 tableOffset = out.size();
  out += table;
  QByteArray trailer(32, '\0');
  trailer[6] = 4;
  trailer[7] = 4;
  for (int i = 0; i < 8; ++i) {
    trailer[8 + i] = static_cast<char>((qint64(objects.size()) >> (56 - 8 * i)) & 0xFF);
    trailer[24 + i] = static_cast<char>((tableOffset >> (56 - 8 * i)) & 0xFF);
  }
  return out + trailer;
}

QByteArray ref(int index) {
  return QByteArray(1, char(index >> 24)) + char(index >> 16) + char(index >> 8) + char(index);
}

// `depth` arrays, each holding the next one `width` times; the last one empty.
QByteArray nestedArrays(int depth, int width) {
  QList<QByteArray> objects;
  for (int i = 0; i < depth; ++i) {
    QByteArray o(1, char(0xA0 | width));
    for (int w = 0; w < width; ++w) o += ref(i + 1);
    objects.append(o);
  }
  objects.append(QByteArray(1, char(0xA0)));
  return binaryPlist(objects);
}
}  // namespace

TEST(PropertyList, ReadsEveryValueKindFromXml) {
  QTemporaryDir dir;
  const QString path = writeFile(dir, "a.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>Location</key><string>/home/u/Scans é</string>
  <key>IsOpen</key><true/>
  <key>Count</key><integer>42</integer>
  <key>Negative</key><integer>-3</integer>
  <key>Ratio</key><real>0.5</real>
  <key>Blob</key><data>AAEC</data>
  <key>When</key><date>2001-01-02T00:00:00Z</date>
  <key>DeviceInfo</key><array><dict><key>UUID</key><string>X</string></dict></array>
</dict></plist>)");
  QVariantMap map;
  ASSERT_EQ(PropertyList::read(path, map), Status::Ok);
  EXPECT_EQ(map["Location"].toString(), QString::fromUtf8("/home/u/Scans é"));
  EXPECT_EQ(map["IsOpen"].typeId(), QMetaType::Bool);
  EXPECT_TRUE(map["IsOpen"].toBool());
  EXPECT_EQ(map["Count"].toLongLong(), 42);
  EXPECT_EQ(map["Negative"].toLongLong(), -3);
  EXPECT_DOUBLE_EQ(map["Ratio"].toDouble(), 0.5);
  EXPECT_EQ(map["Blob"].toByteArray(), QByteArray("\x00\x01\x02", 3));
  EXPECT_EQ(map["When"].toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(0, 0), Qt::UTC));
  EXPECT_EQ(map["DeviceInfo"].toList().at(0).toMap()["UUID"].toString(), "X");
}

TEST(PropertyList, ReportsMissingAndMalformedFiles) {
  QTemporaryDir dir;
  QVariantMap map;
  EXPECT_EQ(PropertyList::read(dir.filePath("none.plist"), map), Status::Missing);
  EXPECT_EQ(PropertyList::read(writeFile(dir, "empty", ""), map), Status::Malformed);
  EXPECT_EQ(PropertyList::read(writeFile(dir, "junk", "<plist><dict><key>x</key>"), map), Status::Malformed);
  EXPECT_EQ(PropertyList::read(writeFile(dir, "bin", QByteArray("bplist00\xff\xff\xff", 11)), map), Status::Malformed);
  EXPECT_EQ(PropertyList::read(writeFile(dir, "arr", "<plist><array/></plist>"), map), Status::NotADictionary);
  EXPECT_TRUE(map.isEmpty());
}

TEST(PropertyList, ReadModifyWriteKeepsUnknownKeysAndReadsBackBinaryToo) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Setting_RemoteSetup.plist");
  QVariantMap original{{"Location", "/tmp/a"},
                       {"IsOpen", false},
                       {"IsThirdAppScan", true},
                       {"ThirdAppPath", "/opt/app"},
                       {"DriverOnly", QVariantMap{{"n", qint64(-7)}, {"list", QVariantList{1, "two", 3.5}}}}};
  ASSERT_EQ(PropertyList::write(path, original), Status::Ok);
  QVariantMap map;
  ASSERT_EQ(PropertyList::read(path, map), Status::Ok);
  map["Location"] = "/tmp/b";
  ASSERT_EQ(PropertyList::write(path, map), Status::Ok);
  ASSERT_EQ(PropertyList::read(path, map), Status::Ok);
  EXPECT_EQ(map["Location"].toString(), "/tmp/b");
  EXPECT_TRUE(map["IsThirdAppScan"].toBool());
  EXPECT_EQ(map["ThirdAppPath"].toString(), "/opt/app");
  EXPECT_EQ(map["DriverOnly"].toMap()["n"].toLongLong(), -7);
  EXPECT_EQ(map["DriverOnly"].toMap()["list"].toList().at(1).toString(), "two");
  // No temporary files are left beside the target.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(PropertyList, FailedWriteLeavesTheOldFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("keep.plist");
  ASSERT_EQ(PropertyList::write(path, {{"a", 1}}), Status::Ok);
  // A value that has no plist form is refused before anything is written.
  EXPECT_EQ(PropertyList::write(path, {{"a", QVariant::fromValue(QSize(1, 2))}}), Status::WriteFailed);
  // A folder that cannot be written.
  EXPECT_EQ(PropertyList::write(dir.filePath("no/such/dir/x.plist"), {{"a", 1}}), Status::WriteFailed);
  QVariantMap map;
  ASSERT_EQ(PropertyList::read(path, map), Status::Ok);
  EXPECT_EQ(map["a"].toLongLong(), 1);
}

// Each input is Malformed whether read or rewritten, in memory or as a file, and its file stays
// as it was.
static void expectRefusedAndLeftAlone(const QList<QByteArray>& inputs) {
  QTemporaryDir dir;
  for (const QByteArray& input : inputs) {
    SCOPED_TRACE(input.toHex().toStdString());
    QVariantMap map{{"stale", 1}};
    EXPECT_EQ(PropertyList::fromBytes(input, map), Status::Malformed);
    EXPECT_TRUE(map.isEmpty());
    QByteArray out("stale");
    EXPECT_EQ(PropertyList::updateBytes(input, {{"Location", "/b"}}, {}, out), Status::Malformed);
    EXPECT_TRUE(out.isEmpty());
    const QString path = writeFile(dir, "refused.plist", input);
    EXPECT_EQ(PropertyList::read(path, map), Status::Malformed);
    EXPECT_EQ(PropertyList::update(path, {{"Location", "/b"}}), Status::Malformed);
    EXPECT_EQ(fileBytes(path), input);
  }
}

TEST(PropertyList, RefusesEveryFileWithUPlus0000BeforeLibplistReadsIt) {
  // libplist 2.2 asserts (aborting the program) in plist_get_string_val and plist_get_key_val, and
  // so in plist_dict_next_item, on these; ASCII strings it cuts at the 0 byte instead.
  QList<QByteArray> inputs = plistfixtures::withNul();
  // Character references to U+0000: libplist refuses these itself; they must stay refused.
  inputs << "<plist version=\"1.0\"><dict><key>L</key><string>a&#0;b</string></dict></plist>"
         << "<plist version=\"1.0\"><dict><key>L&#x0;</key><string>ab</string></dict></plist>";
  expectRefusedAndLeftAlone(inputs);
}

TEST(PropertyList, RefusesBinaryFilesLibplistWouldReadAsSomethingElse) {
  // Read through libplist these lose or mangle a key or a text ("~/\ufffdbc", a key named twice of
  // which a rewrite changes the one that is not read), so a rewrite would damage keys nobody
  // touched while answering Ok.
  expectRefusedAndLeftAlone(plistfixtures::notFaithfullyReadable());
  // libplist keeps the low 64 bits of a 16-byte integer and the last 8 bytes of a longer UID, and
  // writes them back so: {"a": 2^64+5} would become 5, a 128-bit -5 would become 2^64-5. It
  // reads a set as an array and would write it back as one.
  const QByteArray a("\x51" "a", 2);
  expectRefusedAndLeftAlone({
      binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), a, QByteArray("\xC1", 1) + ref(1)}),
      binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), a,
                   QByteArray("\x14\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\x05", 17)}),
      binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), a,
                   QByteArray("\x14") + QByteArray(15, '\xFF') + QByteArray("\xFB")}),
      binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), a, QByteArray("\x88\x01\0\0\0\0\0\0\0\x03", 10)}),
  });
  // The same values where libplist holds them exactly still read.
  QVariantMap map;
  EXPECT_EQ(PropertyList::fromBytes(binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), a,
                                                 QByteArray("\x14") + QByteArray(8, '\0') + QByteArray(8, '\xFF')}),
                                    map),
            Status::Ok);
  EXPECT_EQ(map["a"].toLongLong(), -1);  // 2^64-1, as this reader gives every integer
}

// XML integers, reals, dates and data libplist would read as another value (through strtoull
// with base 0, strtod, strptime and a base64 decoder that stops at the first odd character),
// which a rewrite would then store.
TEST(PropertyList, RefusesXmlValueTextLibplistWouldReadAsAnotherValue) {
  const QList<QByteArray> refused = {
      "<integer>010</integer>",                      // octal 8
      "<integer>0x1F</integer>",                     // hexadecimal
      "<integer>99999999999999999999</integer>",     // 2^64-1
      "<integer>-99999999999999999999</integer>",    // 1
      "<integer>18446744073709551616</integer>",     // 2^64
      "<integer>-9223372036854775809</integer>",
      "<integer>12abc</integer>",
      "<integer></integer>",
      "<integer/>",
      "<integer>1<!-- x -->2</integer>",
      "<integer>&#49;</integer>",
      "<real>1,5</real>",                            // 1
      "<real>0x1p3</real>",
      "<real>1.5abc</real>",
      "<real></real>",
      "<date>2024-02-30T00:00:00Z</date>",           // March 1st
      "<date>99999-01-01T00:00:00Z</date>",          // 9998-12-31
      "<date>-0001-01-01T00:00:00Z</date>",
      "<date>2024-01-01T00:00:00.5Z</date>",         // the fraction dropped
      "<date>2024-01-01T10:00:00+02:00</date>",      // the zone dropped
      "<date>2024-01-01T24:00:00Z</date>",
      "<date>0-0=1-01T0:00Z</date>",                 // the year -2
      "<data>QQ</data>",                             // no bytes
      "<data>QUJ=DRA==</data>",                      // "AB"
      "<data>Q!U@JD</data>",
      "<data>QUJDRA==QUJD</data>",
  };
  QList<QByteArray> inputs;
  for (const QByteArray& value : refused) {
    inputs << "<plist version=\"1.0\"><dict><key>a</key>" + value + "<key>k</key><string>keep</string></dict></plist>";
  }
  expectRefusedAndLeftAlone(inputs);

  struct Case {
    const char* xml;
    QVariant expected;
  };
  const Case read[] = {
      {"<integer> 12 </integer>", qint64(12)},
      {"<integer>+5</integer>", qint64(5)},
      {"<integer>0</integer>", qint64(0)},
      {"<integer>-9223372036854775808</integer>", std::numeric_limits<qint64>::min()},
      {"<integer>18446744073709551615</integer>", qint64(-1)},
      {"<real>-1.5E+3</real>", -1500.0},
      {"<real>.5</real>", 0.5},
      {"<real>1e400</real>", std::numeric_limits<double>::infinity()},
      {"<real>-infinity</real>", -std::numeric_limits<double>::infinity()},
      {"<date>2024-02-29T23:59:59Z</date>", QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59), Qt::UTC)},
      {"<date>\n0001-01-01T00:00:00Z </date>", utc(1, 1, 1)},
      {"<data>\n\tQUJD\n\tRA==\n</data>", QByteArray("ABCD")},
      {"<data></data>", QByteArray()},
      {"<data/>", QByteArray()},
  };
  for (const Case& c : read) {
    SCOPED_TRACE(c.xml);
    QVariantMap map;
    ASSERT_EQ(PropertyList::fromBytes(QByteArray("<plist version=\"1.0\"><dict><key>a</key>") + c.xml +
                                          "</dict></plist>",
                                      map),
              Status::Ok);
    EXPECT_EQ(map["a"], c.expected);
  }
}

TEST(PropertyList, RefusesDeepNestingExpansionCyclesAndNeverReadsOutOfRange) {
  QVariantMap map;
  QByteArray out;
  // libplist recurses once per level (a binary file this deep overflows its stack).
  EXPECT_EQ(PropertyList::fromBytes(nestedArrays(100000, 1), map), Status::Malformed);
  EXPECT_EQ(PropertyList::updateBytes(nestedArrays(100000, 1), {}, {}, out), Status::Malformed);
  const QByteArray deepXml = "<plist><dict><key>a</key>" + QByteArray("<array>").repeated(100000) +
                             QByteArray("</array>").repeated(100000) + "</dict></plist>";
  EXPECT_EQ(PropertyList::fromBytes(deepXml, map), Status::Malformed);
  // Elements become nodes as a binary file's objects do: a 64 MB file of <true/> would take
  // gigabytes once read, and far more written back with a line of tabs for each.
  const QByteArray manyXml = "<plist><dict><key>a</key><array>" +
                             QByteArray("<true/>").repeated(PropertyList::kMaxNodes) + "</array></dict></plist>";
  EXPECT_EQ(PropertyList::fromBytes(manyXml, map), Status::Malformed);
  EXPECT_EQ(PropertyList::updateBytes(manyXml, {}, {}, out), Status::Malformed);
  // Shared references expand into a node each: 2^40 nodes from a few hundred bytes.
  EXPECT_EQ(PropertyList::fromBytes(nestedArrays(40, 2), map), Status::Malformed);
  // A dictionary holding itself.
  EXPECT_EQ(PropertyList::fromBytes(binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(0), "\x51x"}), map),
            Status::Malformed);
  // Shallow enough, small enough: read as usual (the top object is an array, not a dictionary).
  EXPECT_EQ(PropertyList::fromBytes(nestedArrays(PropertyList::kMaxDepth - 1, 1), map), Status::NotADictionary);
  EXPECT_EQ(PropertyList::fromBytes(nestedArrays(10, 2), map), Status::NotADictionary);
  const QByteArray xmlOk = "<plist><dict><key>a</key>" + QByteArray("<array>").repeated(100) +
                           QByteArray("<array/>") + QByteArray("</array>").repeated(100) + "</dict></plist>";
  EXPECT_EQ(PropertyList::fromBytes(xmlOk, map), Status::Ok);

  // Every cut and every single damaged byte of a valid file: an answer, never a crash or a read
  // outside the bytes (the sanitizer build checks the latter).
  const QByteArray valid = plistfixtures::everyKindBinary();
  for (qsizetype n = 0; n < valid.size(); ++n) {
    PropertyList::fromBytes(valid.left(n), map);
    PropertyList::updateBytes(valid.left(n), {{"Location", "/b"}}, {"Gone"}, out);
  }
  for (qsizetype i = 0; i < valid.size(); ++i) {
    for (const char b : {'\x00', '\x0f', '\x7f', '\xff'}) {
      QByteArray damaged = valid;
      damaged[i] = b;
      PropertyList::fromBytes(damaged, map);
      PropertyList::updateBytes(damaged, {{"Location", "/b"}}, {"Gone"}, out);
    }
  }
}

// XML markup in which a closing tag is not one (inside a comment, a text's CDATA section, a
// processing instruction, a quoted attribute or a DOCTYPE's internal subset) must not lower the
// nesting count: libplist nests as deep as the real tags say, and frees and writes recursively.
TEST(PropertyList, CountsXmlNestingOnTheTagsLibplistReads) {
  struct Case {
    const char* name;
    QByteArray level;  // one level of nesting, holding something that looks like a closing tag
  };
  const QList<Case> hiding = {
      {"comment", "<array><!--</array>-->"},
      {"comment in a text", "<array><string>a<!--</string></array>--></string>"},
      {"CDATA in a text", "<array><string><![CDATA[</string></array>]]></string>"},
      {"processing instruction", "<array><?x </array>?>"},
      {"quoted attribute", "<array a=\"</array>\">"},
      {"single-quoted attribute", "<array a='></array>'>"},
      {"internal DOCTYPE subset", "<array><!DOCTYPE x [ </array> ]>"},
  };
  const auto nested = [](const QByteArray& level, int n) {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>" + level.repeated(n) +
           QByteArray("</array>").repeated(n) + "</dict></plist>";
  };
  QList<QByteArray> refused;
  for (const Case& c : hiding) refused << nested(c.level, PropertyList::kMaxDepth + 44);
  // Deep enough to overflow libplist's stack, as found (freeing after a read; writing from about
  // 30,000 levels).
  refused << nested("<array><!--</array>-->", 200000);
  expectRefusedAndLeftAlone(refused);

  // Comments, CDATA sections and processing instructions where a plist may hold them still read.
  QVariantMap map;
  const QByteArray commented =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- <array> </dict> don't -->\n<?note it's fine?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict><!-- </dict> --><key>a</key>"
      "<string>x<![CDATA[<dict></array>]]>y<!-- </string> --></string>"
      "<key>b</key><array><array/><array></array></array></dict></plist>";
  ASSERT_EQ(PropertyList::fromBytes(commented, map), Status::Ok);
  EXPECT_EQ(map["a"].toString(), "x<dict></array>y");
  EXPECT_EQ(map["b"].toList().size(), 2);
  // The count is the nesting of the tree libplist builds, an empty container a level of its own.
  EXPECT_EQ(PropertyList::xmlNesting(commented), 3);
  EXPECT_EQ(PropertyList::xmlNesting("<plist><dict><key>a</key><dict/></dict></plist>"), 2);
}

// Qt sets the process locale from the environment; under one that writes 2,5 for two and a half,
// an XML real must still read as what the file holds, and a rewrite keep it.
TEST(PropertyList, ReadsAndKeepsXmlRealsUnderALocaleWithADecimalComma) {
  QTemporaryDir locales;
  const int built = QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", locales.filePath("de_DE.UTF-8")});
  if (built != 0) GTEST_SKIP() << "cannot build the de_DE locale (localedef and the locales package)";
  const QByteArray oldLocpath = qgetenv("LOCPATH");
  qputenv("LOCPATH", QFile::encodeName(locales.path()));
  const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  EXPECT_STREQ(std::localeconv()->decimal_point, ",");

  const QByteArray xml = "<plist version=\"1.0\"><dict><key>r</key><real>2.5</real><key>s</key><string>x</string></dict></plist>";
  QVariantMap map;
  EXPECT_EQ(PropertyList::fromBytes(xml, map), Status::Ok);
  EXPECT_EQ(map["r"].toDouble(), 2.5);
  QByteArray out;
  EXPECT_EQ(PropertyList::updateBytes(xml, {{"s", "y"}}, {}, out), Status::Ok);
  EXPECT_EQ(PropertyList::fromBytes(out, map), Status::Ok);
  EXPECT_EQ(map["r"].toDouble(), 2.5);
  EXPECT_EQ(map["s"].toString(), "y");
  // The thread's own locale is as it was.
  EXPECT_STREQ(std::localeconv()->decimal_point, ",");

  std::setlocale(LC_ALL, oldLocale.c_str());
  if (oldLocpath.isNull()) qunsetenv("LOCPATH");
  else qputenv("LOCPATH", oldLocpath);
}

// A binary file can reference one object many times; libplist copies it at every use.
TEST(PropertyList, RefusesABinaryFileThatExpandsToTooManyBytes) {
  // {a: [s, s, ..., s]} with `count` references to one ASCII string `s` of `length` bytes.
  const auto shared = [](int count, int length) {
    QByteArray array("\xAF\x12", 2);
    array += ref(count);
    for (int i = 0; i < count; ++i) array += ref(3);
    QByteArray text("\x5F\x12", 2);
    text += ref(length) + QByteArray(length, 'x');
    return binaryPlist({QByteArray("\xD1", 1) + ref(1) + ref(2), "\x51" "a", array, text});
  };
  expectRefusedAndLeftAlone({shared(1000000, 100), shared(20000, 10000)});
  QVariantMap map;
  ASSERT_EQ(PropertyList::fromBytes(shared(1000, 1000), map), Status::Ok);
  EXPECT_EQ(map["a"].toList().size(), 1000);
}

TEST(PropertyList, ReadsDatesBeyondThirtyTwoBitSecondsAndKeepsALeadingByteOrderMark) {
  QVariantMap map;
  ASSERT_EQ(PropertyList::fromBytes(plistfixtures::everyKindBinary(), map), Status::Ok);
  EXPECT_EQ(map["Old"].toDateTime(), utc(1900, 1, 1));
  EXPECT_EQ(map["Late"].toDateTime(), utc(2100, 6, 1, 12));
  ASSERT_EQ(PropertyList::fromBytes(kEveryKindXml, map), Status::Ok);
  EXPECT_EQ(map["Old"].toDateTime(), utc(1900, 1, 1));
  EXPECT_EQ(map["Late"].toDateTime(), utc(2100, 6, 1, 12));

  const QString bom = QString(QChar(0xFEFF)) + "ab";
  QTemporaryDir dir;
  const QString path = dir.filePath("w.plist");
  ASSERT_EQ(PropertyList::write(path, {{"Old", utc(1900, 1, 1)}, {"Late", utc(2100, 6, 1, 12)}, {"Bom", bom}}),
            Status::Ok);
  ASSERT_EQ(PropertyList::read(path, map), Status::Ok);
  EXPECT_EQ(map["Old"].toDateTime(), utc(1900, 1, 1));
  EXPECT_EQ(map["Late"].toDateTime(), utc(2100, 6, 1, 12));
  EXPECT_EQ(map["Bom"].toString(), bom);
  // As a character reference in XML, and as UTF-16 in a binary file.
  ASSERT_EQ(PropertyList::fromBytes("<plist><dict><key>&#xFEFF;k</key><string>&#xFEFF;ab</string></dict></plist>",
                                    map),
            Status::Ok);
  EXPECT_EQ(map.value(QString(QChar(0xFEFF)) + "k").toString(), bom);
  QByteArray out;
  ASSERT_EQ(PropertyList::updateBytes(plistfixtures::everyKindBinary(), {{"Location", bom}}, {}, out), Status::Ok);
  ASSERT_EQ(PropertyList::fromBytes(out, map), Status::Ok);
  EXPECT_EQ(map["Location"].toString(), bom);
}

TEST(PropertyList, UpdateChangesOnlyTheKeysItNamesAndKeepsTheFormat) {
  struct Case {
    const char* name;
    QByteArray input;
    QByteArray prefix;  // how the written file starts
    QByteArray uid;     // how a UID shows in it
  } cases[] = {
      {"binary", plistfixtures::everyKindBinary(), "bplist00", QByteArray("\x80\x05", 2)},
      {"xml", kEveryKindXml, "<?xml", "<key>CF$UID</key>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QVariantMap before;
    ASSERT_EQ(PropertyList::fromBytes(c.input, before), Status::Ok);
    QByteArray out;
    ASSERT_EQ(PropertyList::updateBytes(c.input, {{"Location", "/b"}, {"IsOpen", true}}, {"Gone", "Absent"}, out),
              Status::Ok);
    EXPECT_TRUE(out.startsWith(c.prefix));
    EXPECT_TRUE(out.contains(c.uid));
    QVariantMap after;
    ASSERT_EQ(PropertyList::fromBytes(out, after), Status::Ok);
    QVariantMap expected = before;
    expected["Location"] = "/b";
    expected["IsOpen"] = true;
    expected.remove("Gone");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(after["Old"].toDateTime(), utc(1900, 1, 1));
    EXPECT_EQ(after["Nested"].toMap()["a"].toList().at(2).toByteArray(), QByteArray("\x00\x01", 2));
    EXPECT_DOUBLE_EQ(after["R"].toDouble(), 0.1);
    // Rewriting what was written changes nothing more.
    QByteArray again;
    ASSERT_EQ(PropertyList::updateBytes(out, {{"Location", "/b"}}, {}, again), Status::Ok);
    EXPECT_EQ(again, out);

    // Through the file: replaced atomically, nothing left beside it.
    QTemporaryDir dir;
    const QString path = writeFile(dir, "prefs.plist", c.input);
    ASSERT_EQ(PropertyList::update(path, {{"Location", "/b"}, {"IsOpen", true}}, {"Gone"}), Status::Ok);
    EXPECT_EQ(fileBytes(path), out);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
  }
  // A missing file is not created; a value with no plist form is refused.
  QTemporaryDir dir;
  EXPECT_EQ(PropertyList::update(dir.filePath("none.plist"), {{"a", 1}}), Status::Missing);
  EXPECT_FALSE(QFile::exists(dir.filePath("none.plist")));
  QByteArray out;
  EXPECT_EQ(PropertyList::updateBytes(kEveryKindXml, {{"a", QVariant::fromValue(QSize(1, 2))}}, {}, out),
            Status::WriteFailed);
  EXPECT_TRUE(out.isEmpty());
}

TEST(PropertyList, NeverWritesTextXmlCannotHoldNorUPlus0000) {
  struct Case {
    const char* name;
    QString text;
    bool xml;     // may go into an XML plist
    bool binary;  // may go into a binary plist
  } cases[] = {
      {"tab, LF, CR", "a\tb\nc\rd", true, true},
      {"U+FEFF and a pair", QString(QChar(0xFEFF)) + QString::fromUcs4(U"\U0001F600"), true, true},
      {"U+0001", QString("a") + QChar(0x01), false, true},
      {"U+001F", QString("a") + QChar(0x1F) + "b", false, true},
      {"U+FFFE", QString(QChar(0xFFFE)), false, true},
      {"U+FFFF", QString(QChar(0xFFFF)), false, true},
      {"U+0000", QString("a") + QChar(0) + "b", false, false},
      {"lone high surrogate", QString("a") + QChar(0xD800) + "b", false, false},
      {"lone low surrogate", QString("a") + QChar(0xDC00), false, false},
  };
  QTemporaryDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool asKey : {false, true}) {
      const QVariantMap set = asKey ? QVariantMap{{c.text, "v"}} : QVariantMap{{"Location", c.text}};
      const QString path = writeFile(dir, "x.plist", kEveryKindXml);
      EXPECT_EQ(PropertyList::write(path, set), c.xml ? Status::Ok : Status::WriteFailed);
      if (!c.xml) {
        EXPECT_EQ(fileBytes(path), QByteArray(kEveryKindXml));
      }
      writeFile(dir, "x.plist", kEveryKindXml);
      EXPECT_EQ(PropertyList::update(path, set), c.xml ? Status::Ok : Status::WriteFailed);
      if (!c.xml) {
        EXPECT_EQ(fileBytes(path), QByteArray(kEveryKindXml));
      }
      const QString bin = writeFile(dir, "b.plist", plistfixtures::everyKindBinary());
      EXPECT_EQ(PropertyList::update(bin, set), c.binary ? Status::Ok : Status::WriteFailed);
      QVariantMap map;
      if (c.binary) {
        ASSERT_EQ(PropertyList::read(bin, map), Status::Ok);
        EXPECT_EQ(asKey ? map.value(c.text).toString() : map["Location"].toString(), asKey ? "v" : c.text);
      } else {
        EXPECT_EQ(fileBytes(bin), plistfixtures::everyKindBinary());
      }
    }
  }
}

TEST(PropertyList, RefusesARewriteThatWouldChangeAValueNobodyTouched) {
  // libplist writes the year 1 into XML as "1-01-01T00:00:00Z", which is no plist date: the file
  // can be read, never rewritten.
  const QByteArray xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
      "<key>Location</key><string>~/Pictures</string><key>Until</key><date>0001-01-01T00:00:00Z</date>"
      "</dict></plist>";
  QVariantMap map;
  ASSERT_EQ(PropertyList::fromBytes(xml, map), Status::Ok);
  EXPECT_EQ(map["Location"].toString(), "~/Pictures");
  EXPECT_EQ(map["Until"], QVariant(utc(1, 1, 1)));
  QByteArray out("stale");
  EXPECT_EQ(PropertyList::updateBytes(xml, {{"Location", "/b"}}, {}, out), Status::WriteFailed);
  EXPECT_TRUE(out.isEmpty());
  QTemporaryDir dir;
  const QString path = writeFile(dir, "date.plist", xml);
  EXPECT_EQ(PropertyList::update(path, {{"Location", "/b"}}), Status::WriteFailed);
  EXPECT_EQ(fileBytes(path), xml);
  EXPECT_EQ(PropertyList::write(path, map), Status::WriteFailed);
  EXPECT_EQ(fileBytes(path), xml);
}
