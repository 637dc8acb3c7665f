// A test program built from Remote Setup's own sources (the application delegate, the main window
// and its pages) that holds a scanner the way the program does: it opens the main window for the
// scanner at the address given, prints "ready" once the load is done and then runs until it is
// told to end. With "alert" it then shows a modal alert, as the program does when it asks
// something, and waits in it; with "editor" it opens the profile editor and waits in it. The shipped programs have no command line; this one exists only
// for the tests that stop it with a signal.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "Model/Utilities.h"
#include "RemoteSetup/AppDelegate.h"
#include "RemoteSetup/ViewController.h"
#include "Views/ScanProfileSettingControllerObjC.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s ADDRESS [alert|editor]\n", argv[0]);
    return 2;
  }
  const QString address = QString::fromLocal8Bit(argv[1]);
  const QByteArray mode = argc > 2 ? QByteArray(argv[2]) : QByteArray();

  Morvane::AppDelegate delegate(app);
  auto* window = new ViewController;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setupInfo(address, QStringLiteral("BNT"), QStringLiteral("Zerelta QMX-7315W"), QStringLiteral("Wired LAN"),
                    QStringLiteral("UUID-1"), QStringLiteral("TWAIN-1"));
  window->show();
  // Runs after the window's load, which is queued first.
  QTimer::singleShot(0, [mode, window] {
    std::printf("ready\n");
    std::fflush(stdout);
    if (mode == "alert") {
      Utilities::sharedInstance().message(QStringLiteral("A question"), QStringLiteral("Waiting for an answer"), true);
    } else if (mode == "editor") {
      ScanProfileSettingControllerObjC editor(window);
      editor.exec();
    }
  });
  delegate.applicationDidFinishLaunching();
  return app.exec();
}
