#include "RemoteSetup/AppDelegate.h"

#include <QApplication>

namespace Morvane {

AppDelegate::AppDelegate(QApplication& app) : QObject(&app), m_app(app) {
  m_app.setQuitOnLastWindowClosed(true);
  connect(&m_app, &QGuiApplication::lastWindowClosed, this,
          [this] { applicationShouldTerminateAfterLastWindowClosed(); });
  connect(&m_app, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });
}

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() {
  QCoreApplication::quit();
  return true;
}

}  // namespace Morvane
