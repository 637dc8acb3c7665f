#include "RemoteSetup/AppDelegate.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>

#include "Model/Utilities.h"
#include "platform/Dialogs.h"
#include "platform/QuitSignals.h"

namespace Morvane {

namespace {
// How often a pending quit looks whether the main loop is free again.
constexpr int kQuitPollMs = 10;

// The windows that run a loop of their own besides the alerts and panels (the contact, group and
// profile editors): closed as Cancel closes them, so that nothing the user was editing is kept
// and their loop ends.
void cancelOpenEditors() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) dialog->reject();
  }
}
}  // namespace

AppDelegate::AppDelegate(QApplication& app) : QObject(&app), m_app(app) {
  m_app.setQuitOnLastWindowClosed(true);
  connect(&m_app, &QGuiApplication::lastWindowClosed, this,
          [this] { applicationShouldTerminateAfterLastWindowClosed(); });
  connect(&m_app, &QCoreApplication::aboutToQuit, this, [this] { applicationWillTerminate(); });

  m_signals = new platform::QuitSignals(this);
  connect(m_signals, &platform::QuitSignals::requested, this, [this](int signalNumber) {
    Utilities::sharedInstance().debugMsg(0x02, QStringLiteral("AppDelegate: signal %d, quitting"), signalNumber);
    requestQuit();
  });
  m_quitTimer = new QTimer(this);
  m_quitTimer->setInterval(kQuitPollMs);
  connect(m_quitTimer, &QTimer::timeout, this, &AppDelegate::finishQuitWhenIdle);
}

AppDelegate::~AppDelegate() { platform::setQuitting(false); }

void AppDelegate::applicationWillTerminate() { QApplication::closeAllWindows(); }

bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() {
  QCoreApplication::quit();
  return true;
}

void AppDelegate::requestQuit() {
  if (m_quitRequested) return;
  m_quitRequested = true;
  platform::setQuitting(true);
  platform::cancelOpenDialogs();
  cancelOpenEditors();
  m_quitTimer->start();
}

void AppDelegate::finishQuitWhenIdle() {
  // Inside a nested loop (an alert being answered, a step still running) the caller of that loop
  // must finish first; the timer comes back.
  if (QThread::currentThread()->loopLevel() > 1) {
    cancelOpenEditors();  // one opened since
    return;
  }
  m_quitTimer->stop();
  QApplication::closeAllWindows();
  QCoreApplication::quit();
}

}  // namespace Morvane
