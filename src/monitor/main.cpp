// tullet-qmx7315w / tullet-qmx7305: the push-scan monitor. No window, and of a command line only
// --help and --version (platform/CommandLine.h); it runs the Qt event loop on the main thread until it is quit from outside (a quit signal, the
// end of the session, power-off). The two programs differ only in the creator signature of the
// scan application they wait for (ZR_CREATOR_SIGNATURE) and in their resources.
#include <QCoreApplication>

#include "monitor/AppDelegate.h"
#include "platform/CommandLine.h"

#ifndef ZR_CREATOR_SIGNATURE
#error "ZR_CREATOR_SIGNATURE names the build's creator signature"
#endif
#ifndef ZR_PROGRAM_NAME
#error "ZR_PROGRAM_NAME names the program"
#endif
#ifndef ZR_MODEL_NAME
#error "ZR_MODEL_NAME names the scanner model"
#endif

int main(int argc, char** argv) {
  // Judged before anything is read or written: --help, --version and a refused argument leave no
  // login item, no settings and no lock behind.
  const platform::CommandLine options(
      QStringLiteral(ZR_PROGRAM_NAME),
      QStringLiteral("Push-scan monitor for the Zerelta " ZR_MODEL_NAME ": runs in the background without a window,\n"
                     "registers this computer with the scanner and starts a scan application when the\n"
                     "scanner's scan button is pressed. It adds itself to the desktop's autostart."),
      platform::CommandLine::NoQtOptions);
  if (const auto status = options.judge(argc, argv)) return *status;
  AppDelegate::sendPlatformMessagesToDebugLog();
  QCoreApplication app(argc, argv);
  AppDelegate::Environment environment;
  environment.creatorSignature = QStringLiteral(ZR_CREATOR_SIGNATURE);
  AppDelegate delegate(std::move(environment));
  // A second start of this program for this user ends at once, successfully.
  if (!delegate.applicationDidFinishLaunching()) return 0;
  return app.exec();
}
