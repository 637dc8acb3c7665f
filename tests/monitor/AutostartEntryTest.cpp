// The Exec value of desktop entries (split and quoted) and the monitor's autostart entry, which
// stays the user's: edited in place only where it does not start this program or lacks TryExec.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "monitor/AutostartEntry.h"
#include "monitor/DesktopExec.h"

using monitor::quoteDesktopExecArgument;
using monitor::splitDesktopExec;

namespace {

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions = {}) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
  f.close();
  if (permissions) f.setPermissions(permissions);
}

TEST(DesktopExecTest, SplitsByTheDesktopEntryRules) {
  struct Case {
    const char* exec;  // as the file holds it
    QStringList words;  // empty: rejected
  };
  const Case cases[] = {
      {"simple-scan", {"simple-scan"}},
      {"simple-scan %U", {"simple-scan"}},
      {"app --file=%f -x", {"app", "--file=", "-x"}},
      {"  app   a  b ", {"app", "a", "b"}},
      {"app 100%%", {"app", "100%"}},
      {"app %i %c %k %F", {"app"}},
      {R"("/opt/my app/bin" "a b")", {"/opt/my app/bin", "a b"}},
      {R"("/opt/q\\"uote" x)", {"/opt/q\"uote", "x"}},
      {R"("a\\$b\\`c")", {"a$b`c"}},
      {R"("back\\\\slash")", {"back\\slash"}},
      {R"(app\sname)", {"app", "name"}},  // the string escape comes first: a separator
      {R"("app\sname")", {"app name"}},
      {R"("50%%")", {"50%"}},
      {R"("unbalanced)", {}},
      {R"("a"b)", {}},
      {R"(app 'single')", {}},
      {"app $HOME", {}},
      {"app a|b", {}},
      {"app ~/x", {}},
      {"app *", {}},
      {R"("a\\xb")", {}},                  // no such escape inside quotes
      {R"("a %f")", {}},                   // no field code inside quotes
      {"app %z", {}},
      {"app %", {}},
      {"", {}},
      {"%U", {}},
      {R"("")", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec);
    bool ok = true;
    const QStringList words = splitDesktopExec(QString::fromUtf8(c.exec), &ok);
    EXPECT_EQ(ok, !c.words.isEmpty());
    EXPECT_EQ(words, c.words);
  }
}

TEST(DesktopExecTest, AQuotedArgumentReadsBackUnchanged) {
  for (const QString& path :
       {QStringLiteral("/usr/bin/tullet-qmx7315w"), QStringLiteral("/home/a b/bin/tullet"),
        QStringLiteral("/x/\"q\"/$HOME/`id`/back\\slash/100%/%f"), QStringLiteral("/tab\there/new\nline/cr\r"),
        QStringLiteral("/ünï/кириллица/#;&|<>*?()~'"), QStringLiteral("/ends/with\\")}) {
    SCOPED_TRACE(path.toStdString());
    const QString value = quoteDesktopExecArgument(path);
    EXPECT_FALSE(value.contains(QLatin1Char('\n'))) << "one line of the file";
    bool ok = false;
    EXPECT_EQ(splitDesktopExec(value, &ok), QStringList{path});
    EXPECT_TRUE(ok);
  }
}

class AutostartEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    exe = dir.filePath("bin/tullet-test");
    writeAll(exe, "#!/bin/sh\n", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile::link(exe, dir.filePath("bin/link-to-tullet"));
    writeAll(dir.filePath("bin/other"), "#!/bin/sh\n",
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    file = dir.filePath("autostart/tullet-test.desktop");
    QDir().mkpath(dir.filePath("autostart"));
    previousPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.filePath("bin")) + ":" + previousPath);
  }
  void TearDown() override { qputenv("PATH", previousPath); }
  QByteArray execLine() const { return "Exec=" + quoteDesktopExecArgument(exe).toUtf8(); }
  QByteArray tryExecLine() const { return "TryExec=" + QFile::encodeName(exe); }

  QTemporaryDir dir;
  QString exe, file;
  QByteArray previousPath;
};

TEST_F(AutostartEntryTest, AMissingEntryIsWrittenListedNamedAfterTheModelAndRunningThisProgram) {
  EXPECT_EQ(AutostartEntry::ensure(file, exe, "QMX-7315W"), AutostartEntry::Outcome::Written);
  const QByteArray text = readAll(file);
  EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
  EXPECT_TRUE(text.contains("\n" + execLine() + "\n"));
  EXPECT_TRUE(text.contains("\n" + tryExecLine() + "\n")) << "a desktop skips the entry once the program is gone";
  EXPECT_TRUE(text.contains("\nName=Zerelta QMX-7315W scan-button monitor\n"));
  EXPECT_TRUE(text.contains("\nIcon=zerelta-remote-setup\n"));
  const qsizetype comment = text.indexOf("\nComment=");
  ASSERT_GE(comment, 0);
  EXPECT_TRUE(text.mid(comment, text.indexOf('\n', comment + 1) - comment).contains("Zerelta QMX-7315W"));
  EXPECT_FALSE(text.contains("NoDisplay")) << "the desktop's settings list it, so the user can turn it off";
  EXPECT_TRUE(text.contains("\nType=Application\n"));
  EXPECT_EQ(AutostartEntry::ensure(file, exe, "QMX-7315W"), AutostartEntry::Outcome::Unchanged);
}

TEST_F(AutostartEntryTest, AnExistingEntryIsEditedOnlyWhereItDoesNotRunThisProgram) {
  const QByteArray userPart = "# my own note\n"
                              "Type=Application\n"
                              "Name=My scanner monitor\n"
                              "Name[de]=Mein Monitor\n"
                              "X-GNOME-Autostart-enabled=false\n"
                              "Hidden=true\n"
                              "X-GNOME-Autostart-Delay=30\n";
  const QByteArray otherGroup = "\n[Desktop Action Extra]\nName=Extra\nExec=/bin/true\n";
  struct Case {
    const char* name;
    QByteArray before;
    QByteArray after;  // empty: unchanged, not written
  };
  // This program's Exec and TryExec, one after the other.
  const QByteArray self = execLine() + "\n" + tryExecLine();
  const QByteArray link = QFile::encodeName(dir.filePath("bin/link-to-tullet"));
  const Case cases[] = {
      {"runs this program", "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup, {}},
      {"by a link", "[Desktop Entry]\n" + userPart + "Exec=" + link + "\nTryExec=" + link + "\n" + otherGroup, {}},
      {"by its name on PATH, with arguments",
       "[Desktop Entry]\n" + userPart + "TryExec=tullet-test\nExec=tullet-test --x %U\n" + otherGroup, {}},
      {"NoDisplay=false stays", "[Desktop Entry]\nNoDisplay=false\n" + userPart + self + "\n", {}},
      {"another program",
       "[Desktop Entry]\n" + userPart + "Exec=other --flag\nTryExec=other\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup},
      {"a program that has moved",
       "[Desktop Entry]\n" + userPart + "TryExec=/nonexistent/tullet-test\nExec=/nonexistent/tullet-test\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + tryExecLine() + "\n" + execLine() + "\n" + otherGroup},
      {"no TryExec", "[Desktop Entry]\n" + userPart + execLine() + "\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup},
      {"an Exec the rules reject",
       "[Desktop Entry]\n" + userPart + "Exec=\"" + exe.toUtf8() + "\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup},
      {"NoDisplay=true goes",
       "[Desktop Entry]\nNoDisplay=true\n" + userPart + self + "\n  NoDisplay = true\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup},
      {"no Exec", "[Desktop Entry]\n" + userPart + otherGroup, "[Desktop Entry]\n" + self + "\n" + userPart + otherGroup},
      {"only the main group's Exec counts",
       "[Desktop Entry]\n" + userPart + "Exec=other\n" + otherGroup,
       "[Desktop Entry]\n" + userPart + self + "\n" + otherGroup},
      {"no final newline", "[Desktop Entry]\n" + userPart + "Exec=other", "[Desktop Entry]\n" + userPart + self},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeAll(file, c.before);
    const AutostartEntry::Outcome outcome = AutostartEntry::ensure(file, exe, "QMX-7315W");
    EXPECT_EQ(outcome, c.after.isEmpty() ? AutostartEntry::Outcome::Unchanged : AutostartEntry::Outcome::Written);
    EXPECT_EQ(readAll(file).toStdString(), (c.after.isEmpty() ? c.before : c.after).toStdString());
  }
}

TEST_F(AutostartEntryTest, AFileWithoutTheMainGroupGetsOneInFrontAndKeepsTheRest) {
  writeAll(file, "# note\n[Other]\nKey=1\n");
  EXPECT_EQ(AutostartEntry::ensure(file, exe, "QMX-7315W"), AutostartEntry::Outcome::Written);
  EXPECT_EQ(readAll(file), "# note\n" + AutostartEntry::fresh(exe, "QMX-7315W") + "[Other]\nKey=1\n");
}

TEST_F(AutostartEntryTest, AnEntryThatCannotBeReadIsLeftAlone) {
  // A folder where the entry should be: it cannot be read (for root neither), so nothing is
  // written in its place.
  QDir().mkpath(file);
  writeAll(file + "/inside", "kept");
  EXPECT_EQ(AutostartEntry::ensure(file, exe, "QMX-7315W"), AutostartEntry::Outcome::Failed);
  EXPECT_TRUE(QFileInfo(file).isDir());
  EXPECT_EQ(readAll(file + "/inside"), "kept");
}

}  // namespace
