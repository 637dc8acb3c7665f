// Stopping Remote Setup with a signal (as a desktop does at logout, or a user with kill) while its
// main window holds the scanner: the scanner is unlocked exactly once and the program ends,
// also when a modal alert or an editor window was open at that moment.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>

#include "IO/FCLCodes.h"
#include "support/SimScanner.h"
#include "support/TempHome.h"

namespace {

int unlocks(sim::CommandLog& log) {
  int n = 0;
  for (const auto& e : log.entries()) {
    if (e.cmd.byDTC == FCLC_RS_SCANNER_LOCK && e.cmd.wDTQ == FCLD_RS_SCANNER_UNLOCK) ++n;
  }
  return n;
}

TEST(SignalQuit, EachQuitSignalReleasesTheScannerOnce) {
  struct Case {
    const char* name;
    int signalNumber;
    const char* open;  // what is open when the signal comes: "alert", "editor" or nothing
  };
  for (const Case& c : {Case{"SIGTERM", SIGTERM, nullptr}, Case{"SIGHUP", SIGHUP, nullptr},
                        Case{"SIGINT during an alert", SIGINT, "alert"}, Case{"SIGTERM during an alert", SIGTERM, "alert"},
                        Case{"SIGTERM while an editor is open", SIGTERM, "editor"}}) {
    SCOPED_TRACE(c.name);
    TempHome home;
    SimScanner sim;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.path());
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{sim.address()};
    if (c.open != nullptr) args << QString::fromLatin1(c.open);
    program.start(QStringLiteral(ZR_SIGNAL_HARNESS), args);
    ASSERT_TRUE(program.waitForStarted(20000));
    // Generous limits: they only keep a broken program from hanging the test.
    bool ready = false;
    while (!ready && program.waitForReadyRead(30000)) ready = program.readAll().contains("ready");
    ASSERT_TRUE(ready);
    ASSERT_TRUE(sim.model().isLocked());

    ::kill(static_cast<pid_t>(program.processId()), c.signalNumber);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    sim.scanner().waitIdle();
    EXPECT_FALSE(sim.model().isLocked());
    EXPECT_EQ(unlocks(sim.log()), 1);
  }
}

}  // namespace
