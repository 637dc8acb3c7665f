#pragma once
// The application delegate of Remote Setup: the program ends when its last window closes.

#include <QObject>

class QApplication;

namespace Morvane {

class AppDelegate : public QObject {
  Q_OBJECT

 public:
  // Becomes the delegate of `app`: connects the last-window-closed notification.
  explicit AppDelegate(QApplication& app);

  void applicationDidFinishLaunching() {}
  void applicationWillTerminate() {}
  // Asks the application to end, and answers true.
  bool applicationShouldTerminateAfterLastWindowClosed();

 private:
  QApplication& m_app;
};

}  // namespace Morvane
