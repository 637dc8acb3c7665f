#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QSize>

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
