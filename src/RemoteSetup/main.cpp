// Remote Setup's entry: the application, its delegate and the first window.
//
// Built twice: ZR_USB_ONLY_BUILD set makes the USB-only model's program (morvane-qmx7305),
// unset the network model's (morvane-qmx7315w).

#include <QApplication>
#include <QStringList>

#include "RemoteSetup/AppDelegate.h"
#include "RemoteSetup/ViewController.h"

namespace {
#ifdef ZR_USB_ONLY_BUILD
constexpr bool kUsbOnlyBuild = true;
#else
constexpr bool kUsbOnlyBuild = false;
#endif
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(kUsbOnlyBuild ? QStringLiteral("morvane-qmx7305") : QStringLiteral("morvane-qmx7315w"));
  Morvane::AppDelegate delegate(app);

  // Until the device selection window exists the scanner is named on the command line:
  // an address, or "usb".
  const QStringList args = QApplication::arguments();
  const QString target = args.size() > 1 ? args.at(1) : QStringLiteral("usb");
  const bool usb = target.compare(QStringLiteral("usb"), Qt::CaseInsensitive) == 0;
  ViewController window;
  window.setupInfo(usb ? QString() : target, kUsbOnlyBuild ? QStringLiteral("B") : QStringLiteral("BNT"),
                   kUsbOnlyBuild ? QStringLiteral("Zerelta QMX-7305") : QStringLiteral("Zerelta QMX-7315W"),
                   usb ? QStringLiteral("USB") : QStringLiteral("Wired LAN"), QString(), QString());
  window.show();
  delegate.applicationDidFinishLaunching();
  return app.exec();
}
