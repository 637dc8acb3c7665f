// Remote Setup's entry: the application, its delegate and the device selection window.
//
// Built twice: ZR_USB_ONLY_BUILD set makes the USB-only model's program (morvane-qmx7305),
// unset the network model's (morvane-qmx7315w). That flag is the only difference.

#include <QApplication>

#include "RemoteSetup/AppDelegate.h"
#include "Views/DevicesViewController.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"
#include "platform/ProgramIcon.h"

namespace {
#ifdef ZR_USB_ONLY_BUILD
constexpr bool kNetworkModelBuild = false;
#else
constexpr bool kNetworkModelBuild = true;
#endif
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString program = kNetworkModelBuild ? QStringLiteral("morvane-qmx7315w") : QStringLiteral("morvane-qmx7305");
  QApplication::setApplicationName(program);
  // The texts that name this build's model (its name, what the device window searches).
  platform::Localizer::useModelTexts(kNetworkModelBuild ? QStringLiteral("QMX-7315W") : QStringLiteral("QMX-7305"));
  // The desktop entry installed for this program (share/applications/<program>.desktop), so that
  // the desktop pairs the window with its menu entry; the icon of the windows and of the alerts.
  QGuiApplication::setDesktopFileName(program);
  QApplication::setWindowIcon(platform::programIcon());
  // The alerts' title: the program's name as its owner knows it, not the binary's.
  platform::setProgramDisplayName(QStringLiteral("Zerelta ") + platform::tr_(QStringLiteral("IDS_REMOTE_SETUP")));
  Morvane::AppDelegate delegate(app);
  DevicesViewController devices(kNetworkModelBuild);
  devices.show();
  delegate.applicationDidFinishLaunching();
  return app.exec();
}
