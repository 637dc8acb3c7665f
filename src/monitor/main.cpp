// tullet-qmx7315w / tullet-qmx7305: the push-scan monitor. No window and no command line: it
// runs the Qt event loop on the main thread until it is quit from outside (a quit signal, the
// end of the session, power-off). The two programs differ only in the creator signature of the
// scan application they wait for (ZR_CREATOR_SIGNATURE) and in their resources.
#include <QCoreApplication>

#include "monitor/AppDelegate.h"

#ifndef ZR_CREATOR_SIGNATURE
#error "ZR_CREATOR_SIGNATURE names the build's creator signature"
#endif

int main(int argc, char** argv) {
  AppDelegate::sendPlatformMessagesToDebugLog();
  QCoreApplication app(argc, argv);
  AppDelegate::Environment environment;
  environment.creatorSignature = QStringLiteral(ZR_CREATOR_SIGNATURE);
  AppDelegate delegate(std::move(environment));
  // A second start of this program for this user ends at once, successfully.
  if (!delegate.applicationDidFinishLaunching()) return 0;
  return app.exec();
}
