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
