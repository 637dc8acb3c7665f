#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "platform/Localizer.h"

using platform::formatText;
using platform::Localizer;

TEST(Localizer, ParsesStringsSyntax) {
  const auto t = Localizer::parse(QStringLiteral(
      "/* block\n comment \"X\" = \"no\"; */\n"
      "\"A\" = \"plain\";\n"
      "// line comment \"B\" = \"no\";\n"
      "\"B\"=\"quote \\\" and \\\\ and\\nnew line\" ;\n"
      "garbage line\n"
      "\"C\" = \"tab\\there\"; \"D\" = \"two on a line\";\n"
      "\"E\" = \"unterminated"));
  EXPECT_EQ(t.value("A"), "plain");
  EXPECT_EQ(t.value("B"), "quote \" and \\ and\nnew line");
  EXPECT_EQ(t.value("C"), "tab\there");
  EXPECT_EQ(t.value("D"), "two on a line");
  EXPECT_FALSE(t.contains("X"));
  EXPECT_FALSE(t.contains("E"));
  EXPECT_EQ(t.size(), 4);
}

TEST(Localizer, LooksUpCompiledTableAndAnswersKeyWhenMissing) {
  EXPECT_EQ(Localizer::text("IDS_RS_OK"), "&OK");
  EXPECT_EQ(Localizer::text("IDS_NO_SUCH_KEY"), "IDS_NO_SUCH_KEY");
  EXPECT_FALSE(Localizer::has("IDS_NO_SUCH_KEY"));
}

TEST(Localizer, FormatsConversions) {
  struct Case {
    const char* format;
    QVariantList args;
    const char* expected;
  } cases[] = {
      {"%@ cannot be empty, %@", {QString("Password"), QString("x")}, "Password cannot be empty, x"},
      {"OPCode:%d FCLC:%d FCLD:%d Length:%d", {0x28, 1, 2, 2584}, "OPCode:40 FCLC:1 FCLD:2 Length:2584"},
      {"bytes_recv(%zd) sizeof(%lu)", {-1, 32u}, "bytes_recv(-1) sizeof(32)"},
      {"%s-%s", {QString("a"), QString("b")}, "a-b"},
      {"100%% %d", {7}, "100% 7"},
      {"%02d:%02d", {5, 7}, "05:07"},
      {"0x%X %x", {0x7007, 255}, "0x7007 ff"},
      {"%.2f", {1.5}, "1.50"},
      {"missing %@ %d", {QString("one")}, "missing one %d"},
      {"trailing %", {}, "trailing %"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatText(c.format, c.args), c.expected) << c.format;
}

// Every IDS_* key the code uses must have a text in the string table.
TEST(Localizer, EveryKeyInSourcesHasAText) {
  const QRegularExpression keyRe(QStringLiteral("\"(IDS_[A-Z0-9_]+)\""));
  QSet<QString> missing;
  int files = 0;
  for (const char* top : {"/src", "/sim"}) {
    QDirIterator it(QStringLiteral(ZR_SOURCE_DIR) + top, {"*.cpp", "*.h"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      QFile f(it.next());
      ASSERT_TRUE(f.open(QIODevice::ReadOnly));
      ++files;
      const QString text = QString::fromUtf8(f.readAll());
      for (auto m = keyRe.globalMatch(text); m.hasNext();) {
        const QString key = m.next().captured(1);
        if (!Localizer::has(key)) missing.insert(key);
      }
    }
  }
  EXPECT_GT(files, 0);
  EXPECT_TRUE(missing.isEmpty()) << QStringList(missing.values()).join(", ").toStdString();
}

namespace {
QHash<QString, QString> commonTable() {
  QFile file(QStringLiteral(":/en.lproj/Localizable.strings"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  return Localizer::parse(QString::fromUtf8(file.readAll()));
}
}  // namespace

// Each build lays its model's texts over the common table: its program name names the model, and
// the USB-only model's device window speaks of this computer only. An overlay only replaces
// texts of the common table, and a second overlay replaces the first entirely.
TEST(Localizer, EachModelHasItsOwnTextsOverTheCommonTable) {
  const QHash<QString, QString> common = commonTable();
  struct Case {
    const char* model;
    const char* programName;  // the text of IDS_REMOTE_SETUP
    bool mentionsNetwork;     // IDS_DD_DEVICE_DISCOVERY speaks of a network
  } cases[] = {{"QMX-7315W", "QMX-7315W Remote Setup", true}, {"QMX-7305", "QMX-7305 Remote Setup", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    const QHash<QString, QString> overlay = Localizer::modelTexts(c.model);
    ASSERT_FALSE(overlay.isEmpty());
    for (auto it = overlay.cbegin(); it != overlay.cend(); ++it)
      EXPECT_TRUE(common.contains(it.key())) << it.key().toStdString();
    ASSERT_TRUE(Localizer::useModelTexts(c.model));
    EXPECT_EQ(Localizer::text("IDS_REMOTE_SETUP"), c.programName);
    EXPECT_EQ(Localizer::text("IDS_DD_DEVICE_DISCOVERY").contains("network"), c.mentionsNetwork);
    EXPECT_EQ(Localizer::text("IDS_RS_OK"), "&OK");  // the rest stays
  }
  // Back to the network model: the USB-only model's own no-device text is gone with its overlay.
  EXPECT_NE(Localizer::text("IDS_DD_NO_DEVICES"), common.value("IDS_DD_NO_DEVICES"));
  ASSERT_TRUE(Localizer::useModelTexts("QMX-7315W"));
  EXPECT_EQ(Localizer::text("IDS_DD_NO_DEVICES"), common.value("IDS_DD_NO_DEVICES"));
  EXPECT_FALSE(Localizer::useModelTexts("QMX-0000"));
  EXPECT_EQ(Localizer::text("IDS_REMOTE_SETUP"), "QMX-7315W Remote Setup");
  ASSERT_TRUE(Localizer::useModelTexts(QString()));
  EXPECT_EQ(Localizer::text("IDS_REMOTE_SETUP"), common.value("IDS_REMOTE_SETUP"));
}

// The texts read as one program's: no text carries a label's colon (the layout adds it), a range
// is written "5–90" or "−2.0 to 2.0", never "5 - 90", "from 1 to 300" or with a hyphen for a minus.
TEST(Localizer, TextsWriteLabelsAndRangesOneWay) {
  const struct {
    const char* what;
    QRegularExpression pattern;
  } rules[] = {
      {"a label's colon", QRegularExpression(QStringLiteral(":$"))},
      {"a range with a hyphen", QRegularExpression(QStringLiteral("\\d\\s*-\\s*\\d"))},
      {"a range with from", QRegularExpression(QStringLiteral("from -?\\d[\\d.]* to \\d"))},
      {"a hyphen for a minus", QRegularExpression(QStringLiteral("(^|\\s)-\\d"))},
  };
  QHash<QString, QString> all = commonTable();
  for (const char* model : {"QMX-7315W", "QMX-7305"}) all.insert(Localizer::modelTexts(model));
  for (const auto& rule : rules) {
    for (auto it = all.cbegin(); it != all.cend(); ++it)
      EXPECT_FALSE(rule.pattern.match(it.value()).hasMatch()) << rule.what << ": " << it.key().toStdString() << " = "
                                                              << it.value().toStdString();
  }
}
