#pragma once
// The application delegate of Remote Setup: the program ends when its last window closes, and
// every way it ends lets the scanner go.
//
// A quit signal (SIGTERM, SIGINT, SIGHUP) only sets a request (platform/QuitSignals). The delegate
// then answers every alert still open with its cancelling button (and every later one at once),
// waits until control is back in the application's main event loop (so an exchange or an import
// step in progress finishes within its own limit first), closes every window, which releases the
// scanner through the main window's normal path, and quits. When the application quits any other
// way, the windows still open are closed first, with the same effect.

#include <QObject>

class QApplication;
class QTimer;

namespace platform {
class QuitSignals;
}

namespace Morvane {

class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // Becomes the delegate of `app`: connects the last-window-closed and about-to-quit
  // notifications and takes the quit signals.
  explicit AppDelegate(QApplication& app);
  ~AppDelegate() override;

  void applicationDidFinishLaunching() {}
  // Closes the windows still open (the main window releases the scanner when it closes).
  void applicationWillTerminate();
  // Asks the application to end, and answers true.
  bool applicationShouldTerminateAfterLastWindowClosed();

  // A quit was asked for (by a signal, or directly): see above. Idempotent.
  void requestQuit();

 private:
  // Runs while a quit is pending: closes the windows and quits once no nested loop is running.
  void finishQuitWhenIdle();

  QApplication& m_app;
  platform::QuitSignals* m_signals = nullptr;
  QTimer* m_quitTimer = nullptr;
  bool m_quitRequested = false;
};

}  // namespace Morvane
