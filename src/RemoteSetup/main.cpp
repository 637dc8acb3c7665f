// Remote Setup's entry: the application, its delegate and the device selection window.
//
// Built twice: ZR_USB_ONLY_BUILD set makes the USB-only model's program (morvane-qmx7305),
// unset the network model's (morvane-qmx7315w). That flag is the only difference.

#include <QApplication>

#include "RemoteSetup/AppDelegate.h"
#include "Views/DevicesViewController.h"
#include "platform/CommandLine.h"
#include "platform/Dialogs.h"
#include "platform/Localizer.h"
#include "platform/ProgramIcon.h"

namespace {
#ifdef ZR_USB_ONLY_BUILD
constexpr bool kNetworkModelBuild = false;
#else
constexpr bool kNetworkModelBuild = true;
#endif

const QString kProgram = kNetworkModelBuild ? QStringLiteral("morvane-qmx7315w") : QStringLiteral("morvane-qmx7305");

// What --help says the program is.
const QString kDescription =
    kNetworkModelBuild
        ? QStringLiteral("Zerelta QMX-7315W Remote Setup: finds the scanner on USB or the network, reserves it\n"
                         "for this computer, shows and edits its settings and writes them back; exports and\n"
                         "imports them.")
        : QStringLiteral("Zerelta QMX-7305 Remote Setup: finds the scanner on USB, reserves it for this\n"
                         "computer, shows and edits its settings and writes them back; exports and imports them.");
}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer without a display; nothing is read or written before this.
  const platform::CommandLine options(kProgram, kDescription, platform::CommandLine::QtGuiOptions);
  if (const auto status = options.judge(argc, argv)) return *status;
  QApplication app(argc, argv);  // takes Qt's own options
  if (const auto status = options.judgeLeftOver(QCoreApplication::arguments())) return *status;
  QApplication::setApplicationName(kProgram);
  // The texts that name this build's model (its name, what the device window searches).
  platform::Localizer::useModelTexts(kNetworkModelBuild ? QStringLiteral("QMX-7315W") : QStringLiteral("QMX-7305"));
  // The desktop entry installed for this program (share/applications/<program>.desktop), so that
  // the desktop pairs the window with its menu entry; the icon of the windows and of the alerts.
  QGuiApplication::setDesktopFileName(kProgram);
  QApplication::setWindowIcon(platform::programIcon());
  // The alerts' title: the program's name as its owner knows it, not the binary's.
  platform::setProgramDisplayName(QStringLiteral("Zerelta ") + platform::tr_(QStringLiteral("IDS_REMOTE_SETUP")));
  Morvane::AppDelegate delegate(app);
  DevicesViewController devices(kNetworkModelBuild);
  devices.show();
  delegate.applicationDidFinishLaunching();
  return app.exec();
}
