#pragma once
// The notifications between the push-scan monitor and other programs of the same user: D-Bus
// signals on the session bus, all on one object path and one interface of this system.
//
//   appWillTerminate    in   a{sv} {"monitorpath": s}   the monitor whose executable path this is
//                                                        removes this computer from the PC list
//   removePclistSuccess out  a{sv} {"mpath": s}         that removal succeeded
//   ExecutePushScan     out  a{sv} (the event map)      a scan-button press for a chosen scan
//                                                        application: "ModelName", "VendorID",
//                                                        "ProductID", "SerialNumber" (USB) or
//                                                        "MACAddress", "IPAddress" (network),
//                                                        "ScanKeyType"; numbers travel as numbers
//   FinishLaunching     in   any arguments              a scan application is ready for events
//
// Senders use the object path below; receivers here accept the interface's signals from any
// sender on that path. A program that should receive "ExecutePushScan" subscribes to the
// interface and the member, for example with
//   gdbus monitor --session --object-path /com/zerelta/Tullet
#include <QString>

namespace monitorbus {

inline const QString kPath = QStringLiteral("/com/zerelta/Tullet");
inline const QString kInterface = QStringLiteral("com.zerelta.Tullet");

inline const QString kAppWillTerminate = QStringLiteral("appWillTerminate");
inline const QString kRemovePclistSuccess = QStringLiteral("removePclistSuccess");
inline const QString kExecutePushScan = QStringLiteral("ExecutePushScan");
inline const QString kFinishLaunching = QStringLiteral("FinishLaunching");

}  // namespace monitorbus
