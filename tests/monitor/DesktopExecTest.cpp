// Desktop entries' Exec lines (split by the desktop-entry rules, and quoted so that they split
// back), the scan application's command taken from them, and the look at running processes that
// tells whether a chosen application runs and whether the started one still does.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "monitor/DesktopApplication.h"
#include "monitor/DesktopExec.h"
#include "monitor/RunningProcesses.h"

using monitor::quoteDesktopExecArgument;
using monitor::splitDesktopExec;
using namespace std::chrono_literals;

namespace {

QStringList split(const QString& exec, bool* ok) { return splitDesktopExec(exec, ok); }

void writeFile(const QString& path, const QByteArray& text, bool executable) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  f.close();
  if (executable) f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

bool eventually(const std::function<bool()>& f) {
  for (int i = 0; i < 200; ++i) {
    if (f()) return true;
    std::this_thread::sleep_for(20ms);
  }
  return f();
}

}  // namespace

// ---- Splitting ------------------------------------------------------------------------------------

TEST(DesktopExecTest, ExecLinesSplitByTheDesktopEntryRules) {
  struct Case {
    const char* exec;  // as written in the file after "Exec="
    QStringList words;
  };
  const Case cases[] = {
      {"simple-scan", {"simple-scan"}},
      {"simple-scan %U", {"simple-scan"}},
      {"  app   -a  -b ", {"app", "-a", "-b"}},
      {"app %f %F %u %U %i %c %k %d %D %n %N %v %m", {"app"}},
      {"app --file=%f", {"app", "--file="}},
      {"app 100%%", {"app", "100%"}},
      {R"("/opt/My Apps/scan" --x)", {"/opt/My Apps/scan", "--x"}},
      {R"(app "a \\"b\\" c")", {"app", "a \"b\" c"}},
      {R"(app "\\$HOME" "\\`x\\`")", {"app", "$HOME", "`x`"}},
      {R"(app "back\\\\slash")", {"app", "back\\slash"}},
      {R"(app "100%%")", {"app", "100%"}},
      {R"(app "")", {"app", ""}},
      {R"(app\sone two)", {"app", "one", "two"}},
      {R"("app\sone" two)", {"app one", "two"}},
      {"app\\ttab", {"app", "tab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec);
    bool ok = false;
    EXPECT_EQ(split(QString::fromUtf8(c.exec), &ok), c.words);
    EXPECT_TRUE(ok);
  }
}

TEST(DesktopExecTest, IconNameAndLocationCodesExpandFromTheEntry) {
  struct Case {
    const char* exec;
    monitor::DesktopEntryFields fields;  // icon, translated name, location
    QStringList words;
  };
  const monitor::DesktopEntryFields all{"scanner", "My \"Scan\" $App", "/usr/share/applications/a b.desktop"};
  const Case cases[] = {
      {"app %i", all, {"app", "--icon", "scanner"}},
      {"app %i -x", {"", "N", "/l"}, {"app", "-x"}},  // no Icon: nothing
      {"app x%iy", all, {"app", "x--icon", "scannery"}},
      {"app %c", all, {"app", "My \"Scan\" $App"}},  // one argument, taken as it is
      {"app --name=%c", all, {"app", "--name=My \"Scan\" $App"}},
      {"app %c", {}, {"app"}},
      {"app %k", all, {"app", "/usr/share/applications/a b.desktop"}},
      {"app %k -x", {"i", "N", ""}, {"app", "-x"}},  // no location: nothing
      {"app %i %c %k", all, {"app", "--icon", "scanner", "My \"Scan\" $App", "/usr/share/applications/a b.desktop"}},
      {"app %f %F %u %U %d %D %n %N %v %m 50%%", all, {"app", "50%"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec);
    bool ok = false;
    EXPECT_EQ(splitDesktopExec(QString::fromUtf8(c.exec), &ok, c.fields), c.words);
    EXPECT_TRUE(ok);
  }
  bool ok = true;
  EXPECT_TRUE(splitDesktopExec(R"(app "%i")", &ok, all).isEmpty()) << "no field code inside quotes";
  EXPECT_FALSE(ok);
}

TEST(DesktopExecTest, ExecLinesTheRulesRejectLeaveNothing) {
  const char* rejected[] = {
      "",
      "   ",
      "%U",                 // nothing but a field code: no program
      R"("" -x)",           // an empty program
      R"(app "open)",       // a quote never closed
      R"(app "a"b)",        // a quote that ends inside a word
      R"(app a"b")",        // a quote that starts inside a word
      "app 'single'",       // reserved characters outside quotes
      "app a;b",
      "app $HOME",
      "app ~/x",
      "app a|b",
      "app a>b",
      "app `x`",
      "app *.png",
      R"(app "\\q")",       // an escape the quotes do not know
      "app %x",             // an unknown field code
      "app %",              // a lone percent sign
      R"(app "%f")",        // a field code inside quotes
  };
  for (const char* exec : rejected) {
    SCOPED_TRACE(exec);
    bool ok = true;
    EXPECT_TRUE(split(QString::fromUtf8(exec), &ok).isEmpty());
    EXPECT_FALSE(ok);
  }
}

TEST(DesktopExecTest, AQuotedArgumentSplitsBackUnchanged) {
  const QStringList tricky = {
      "/usr/bin/tullet-qmx7315w",
      "/home/user/My Programs/tullet",
      "/opt/a \"quoted\" name/bin/x",
      "/opt/back\\slash/x",
      "/opt/dollar$HOME/x",
      "/opt/back`tick`/x",
      "/opt/100%/x",
      "/opt/%U/x",
      "/opt/semi;colon & pipe|/x",
      "/opt/single'quote/x",
      "/opt/tab\there/x",
      "/opt/new\nline/x",
      "/opt/trailing\\",
      "/opt/\\\\double\\\\",
      "/opt/\\s not a space",
      "/opt/ünïcödé/x",
      " leading space",
  };
  for (const QString& path : tricky) {
    SCOPED_TRACE(path.toStdString());
    const QString exec = quoteDesktopExecArgument(path) + QLatin1Char(' ') + quoteDesktopExecArgument("--arg two");
    EXPECT_FALSE(exec.contains(QLatin1Char('\n'))) << "one line in the file";
    bool ok = false;
    EXPECT_EQ(split(exec, &ok), (QStringList{path, "--arg two"}));
    EXPECT_TRUE(ok);
  }
}

// ---- The application a desktop entry names ----------------------------------------------------------

TEST(DesktopApplicationTest, TheProgramAndArgumentsComeFromTheSplitExecLine) {
  QTemporaryDir dir;
  const QString program = dir.filePath("My Scanner/scan app");
  QDir().mkpath(QFileInfo(program).absolutePath());
  writeFile(program, "#!/bin/sh\nexit 0\n", true);
  // Programs a relative path would find from the monitor's working folder, made to run there.
  writeFile(dir.filePath("app"), "#!/bin/sh\nexit 0\n", true);
  QDir().mkpath(dir.filePath("bin"));
  writeFile(dir.filePath("bin/app"), "#!/bin/sh\nexit 0\n", true);
  const QString previousFolder = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  const QByteArray previousLocale = qgetenv("LC_ALL");
  qputenv("LC_ALL", "de_AT.UTF-8");
  const QString entry = dir.filePath("app.desktop");
  struct Case {
    QByteArray exec;
    QByteArray keys;  // more lines of the entry
    bool valid;
    QStringList arguments;
    QString program;  // empty: the test's program
  };
  const QByteArray quoted = quoteDesktopExecArgument(program).toUtf8();
  const Case cases[] = {
      {quoted + " --batch %U", "", true, {"--batch"}},
      {quoted + " \"two words\"", "", true, {"two words"}},
      {quoted + " \"never closed", "", false, {}},
      {quoted + " $HOME", "", false, {}},
      {"\"" + dir.filePath("missing").toUtf8() + "\"", "", false, {}},
      {quoted + " %i", "Icon=scanner\\sicon\n", true, {"--icon", "scanner icon"}},
      {quoted + " %i", "", true, {}},
      {quoted + " %i", "Icon=\n", true, {}},
      {quoted + " %c", "", true, {"A"}},
      {quoted + " %c", "Name[fr]=Numériseur\n", true, {"A"}},
      {quoted + " %c", "Name[de]=Abtaster\nName[fr]=Numériseur\n", true, {"Abtaster"}},
      {quoted + " %c", "Name[de]=Abtaster\nName[de_AT]=Scanner AT\n", true, {"Scanner AT"}},
      {quoted + " %k", "", true, {entry}},
      {"./app", "", false, {}},
      {"bin/app -x", "", false, {}},
      {"sh -c true", "", true, {"-c", "true"}, QStandardPaths::findExecutable("sh")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exec.toStdString() + " with " + c.keys.toStdString());
    writeFile(entry, "[Desktop Entry]\nType=Application\nName=A\n" + c.keys + "Exec=" + c.exec + "\n", false);
    const DesktopApplication app(entry);
    EXPECT_EQ(app.isValid(), c.valid);
    if (!c.valid) {
      EXPECT_FALSE(app.launch()) << "not started";
      continue;
    }
    EXPECT_EQ(app.program(), c.program.isEmpty() ? QFileInfo(program).absoluteFilePath() : c.program);
    EXPECT_EQ(app.arguments(), c.arguments);
  }
  writeFile(dir.filePath("none.desktop"), "[Desktop Entry]\nType=Application\nName=A\n", false);
  EXPECT_FALSE(DesktopApplication(dir.filePath("none.desktop")).isValid()) << "no Exec line";
  // A chosen application named by a relative path is none, whatever the working folder holds.
  writeFile(entry, "[Desktop Entry]\nType=Application\nName=A\nExec=" + quoted + "\n", false);
  ASSERT_TRUE(DesktopApplication(entry).isValid());
  for (const char* relative : {"app.desktop", "./app.desktop", "app", "bin/app"})
    EXPECT_FALSE(DesktopApplication(QString::fromLatin1(relative)).isValid()) << relative;
  if (previousLocale.isNull())
    qunsetenv("LC_ALL");
  else
    qputenv("LC_ALL", previousLocale);
  QDir::setCurrent(previousFolder);
}

// ---- Running processes -----------------------------------------------------------------------------

TEST(RunningProcessesTest, AStartedProcessIsKnownByItsIdAndStartTimeUntilItEnds) {
  QTemporaryDir dir;
  writeFile(dir.filePath("app.sh"), ("#!/bin/sh\nwhile [ ! -e '" + dir.filePath("go") + "' ]; do sleep 0.05; done\n").toUtf8(),
            true);
  writeFile(dir.filePath("app.desktop"),
            "[Desktop Entry]\nType=Application\nName=A\nExec=" + quoteDesktopExecArgument(dir.filePath("app.sh")).toUtf8() + "\n",
            false);
  qint64 pid = 0;
  ASSERT_TRUE(DesktopApplication(dir.filePath("app.desktop")).launch({}, &pid));
  ASSERT_GT(pid, 0);
  const unsigned long long start = RunningProcesses::startTime(pid);
  ASSERT_NE(start, 0u);
  EXPECT_TRUE(RunningProcesses::isRunning(pid, start));
  EXPECT_FALSE(RunningProcesses::isRunning(pid, start + 1)) << "another process under the same id";
  QFile(dir.filePath("go")).open(QIODevice::WriteOnly);
  EXPECT_TRUE(eventually([&] { return !RunningProcesses::isRunning(pid, start); }));
  EXPECT_EQ(RunningProcesses::startTime(0), 0u);
}

TEST(RunningProcessesTest, AScriptRunsOnlyWhenItsInterpreterRunsIt) {
  QTemporaryDir dir;
  struct Case {
    const char* what;
    QByteArray firstLine;
    std::function<QProcess*(const QString& script)> start;
    bool runs;
  };
  auto started = [](const QString& program, const QStringList& args) {
    auto* p = new QProcess;
    p->start(program, args);
    p->waitForStarted();
    return p;
  };
  const Case cases[] = {
      {"run directly", "#!/bin/sh", [&](const QString& s) { return started(s, {}); }, true},
      {"run by its interpreter with an option", "#!/bin/sh", [&](const QString& s) { return started("/bin/sh", {"-e", s}); },
       true},
      {"through env", "#!/usr/bin/env sh", [&](const QString& s) { return started(s, {}); }, true},
      {"followed by tail", "#!/bin/sh", [&](const QString& s) { return started("tail", {"-f", s}); }, false},
      {"read by another interpreter", "#!/bin/sh",
       [&](const QString& s) { return started("sleep", {"30", s}); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QString script = dir.filePath(QStringLiteral("chosen-%1.sh").arg(QString::fromUtf8(c.what).replace(' ', '-')));
    writeFile(script, c.firstLine + "\nsleep 30\n", true);
    EXPECT_FALSE(RunningProcesses::runsProgram(script));
    std::unique_ptr<QProcess> p(c.start(script));
    if (c.runs)
      EXPECT_TRUE(eventually([&] { return RunningProcesses::runsProgram(script); }));
    else
      EXPECT_FALSE(RunningProcesses::runsProgram(script));
    p->kill();
    p->waitForFinished();
  }
}
