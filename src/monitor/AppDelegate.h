#pragma once
// The push-scan monitor's program logic: it prepares the preference files, puts itself among the
// programs the desktop starts at login, makes the one controllerScan and then runs a tick every
// 5 s. A tick makes sure this computer is in the scanner's PC list, asks the scanner whether its
// scan button was pressed for this computer and, when it was, starts the scan application (or
// hands the event to the one the user chose, Notifier), waits until that has ended and clears
// the event on the scanner. Asked to stop (a quit signal, power-off, or "appWillTerminate" for
// this executable), it removes this computer from the PC list.
//
// Ticks never overlap: the timer keeps firing inside the nested event loops of a tick's waits,
// and a tick due while another runs is skipped, not made up; the next one comes on the timer's
// grid after the running tick has ended.
//
// One monitor per user and program. The launch takes the program's lock first
// (MonitorInstanceLock, keyed on the executable's file name); when another process of this user
// holds it, the launch ends at once (applicationDidFinishLaunching answers false) before any
// file, bus subscription or the scanner is touched.
//
// Stopping. A stop is a quit signal (SIGTERM, SIGINT, SIGHUP), the end of the session or
// power-off (logind's PrepareForShutdown(true)). The session ends for the monitor when the
// session bus it started with goes away (the desktop logged out and left the monitor running):
// that is a stop like a quit signal's, with its one removal, and then the monitor quits, so that
// it does not hold the single-monitor lock against the next login's monitor nor start a scan
// application on a dead bus. It is seen at once from the bus's "Disconnected" and, should that
// not come, within Timings::busCheck from the connection's state. A monitor that started without
// a session bus runs on without one. A stop breaks off the scanner exchange under way (or the
// pause after an event poll) and ends the wait for a scan application, stops the timer and
// removes this computer from the PC list once. When the monitor has started (or handed) a scan
// application for a press that it has not cleared yet, the stop first clears that press on the
// scanner, so that no later monitor starts an application for it again. The clear and the
// removal run within one limit, Timings::stopLimit (inside logind's inhibitor delay, 5 s by
// default); after that removal the power-off inhibitor is released, and a signal's stop quits. A stop
// removes once whatever else comes: a signal during a power-off's removal lets that removal end
// (within its own limits) and then quits without removing again, as does a signal after it;
// any signal after the first, while the stop's clear or removal runs, breaks them off and quits
// at once, the inhibitor released. A power-off that is called off (PrepareForShutdown(false)) ends its stop
// unless a signal came meanwhile: the inhibitor is taken again and the cycle goes on. When it
// is called off while the tick still waits for the application of a press, the wait goes on,
// and once the application has ended the tick clears nothing: the stop has cleared that press,
// and a clear names no press, so a second one could take another computer's (only a clear the
// scanner did not take is left to the tick). The next tick registers this computer again. On a
// signal "app will terminate" is logged once, before the removal; the quit that follows
// (applicationWillTerminate) removes nothing more.
//
// A termination request ("appWillTerminate" for this executable) is not a stop: it neither
// ends the wait for a scan application nor breaks off the exchange under way. Its removal runs
// once that exchange has ended (at once during the wait or the pause after an event poll), the timer keeps running and a later
// tick registers this computer again. During a stop a request removes nothing more. Only a
// request whose argument is exactly a{sv} is read; any other shape is ignored.
//
// Everything runs on the main thread. Nothing is shown to the user; the debug log
// (DebugLogInfo.plist, "isShowDebugLog") has the trace. With the debug switch off the monitor
// writes nothing but the system error of a failed select: the lines of its own, Qt's and the
// DNS service discovery layer's (sendPlatformMessagesToDebugLog) are debug lines.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "monitor/Notifier.h"
#include "monitor/controllerScan.h"

class QDBusMessage;
class MonitorInstanceLock;
class PowerOffWatch;
namespace platform {
class QuitSignals;
}

class AppDelegate : public QObject {
  Q_OBJECT

 public:
  using ms = std::chrono::milliseconds;

  // The environment variable that marks the scan application the monitor started, with the
  // creator signature as its value (it tells this model's scan application from the other
  // model's). The wait for the application is not decided by it: the monitor waits for the
  // process it started, by its id and start time.
  static constexpr const char* kCreatorVariable = "ZERELTA_CREATOR_SIGNATURE";

  // The waits of the cycle, with their defaults.
  struct Timings {
    ms tick{5000};               // the cycle; the first tick comes one interval after launch
    ms countFailurePause{2000};  // after a failed count read
    ms appCheck{500};            // between two looks whether the scan application still runs
    ms rediscoveryPause{20};     // between two re-discovery attempts
    ms busCheck{1000};           // between two looks whether the session bus is still there
    ms stopLimit{4000};          // a stop's clear and removal together (logind waits 5 s by default)
  };

  // What lies outside the monitor; empty members take the system's own.
  struct Environment {
    QString creatorSignature = QStringLiteral("sMtr");
    QString home;          // default: QDir::homePath()
    QString bundlePath;    // the monitor's executable; default: QCoreApplication::applicationFilePath()
    QString resourceDir;   // default: resourceFolder(bundlePath)
    QString autostartDir;  // default: $XDG_CONFIG_HOME/autostart (~/.config/autostart)
    QString runtimeDir;    // where the single-monitor lock lies; default: $XDG_RUNTIME_DIR
    std::optional<QDBusConnection> sessionBus;  // default: QDBusConnection::sessionBus()
    std::optional<QDBusConnection> systemBus;   // default: QDBusConnection::systemBus()
    bool watchQuitSignals = true;               // SIGTERM, SIGINT, SIGHUP (platform::QuitSignals)
    std::function<void()> quit;                 // default: QCoreApplication::quit()
    controllerScan::Environment scan;           // its deviceFilePath is set here
    Notifier::Launcher launcher;                // for the chosen scan applications
    Timings timings;
  };

  AppDelegate();
  explicit AppDelegate(Environment environment, QObject* parent = nullptr);
  ~AppDelegate() override;

  // The resources of the program at `executable`: <prefix>/share/<program> when installed
  // (<prefix>/bin/<program>), else <build>/resources/<program> in the build tree.
  static QString resourceFolder(const QString& executable);

  // The monitor's debug log takes what Qt itself and the DNS service discovery layer would
  // write to stderr and the system log: with the debug switch off, the monitor writes none of it.
  // Process-wide; main() calls it first.
  static void sendPlatformMessagesToDebugLog();

  // ---- The cycle ------------------------------------------------------------------------------
  // The launch. False when another monitor of this program runs for this user: this one has
  // touched nothing and must end.
  bool applicationDidFinishLaunching();
  void createRemotePlist();
  void addAppToSystemLoginItem();
  void circulationMonitor();
  bool getCurrentPlistCount();
  bool isAddPlistSuccess();
  void checkPageViewerRun();
  QString getPlistPath() const;
  void applicationWillTerminate();

  // ---- Stopping -------------------------------------------------------------------------------
  // A quit signal: break off, remove, stop, release, quit.
  void quitRequested(int signalNumber);
  // logind's PrepareForShutdown.
  void prepareForShutdown(bool start);

  // ---- State (for tests) ----------------------------------------------------------------------
  controllerScan* backscan() const { return _backscan.get(); }
  QTimer& timer() { return m_timer; }
  bool found() const { return m_found; }
  int32_t currentCount() const { return dwPcListCurrectCount; }
  bool inTick() const { return m_inTick; }
  bool stopping() const { return m_stopping; }
  bool watchingSessionBus() const { return m_watchingSession; }
  std::size_t notifierCount() const { return m_notifiers.size(); }
  PowerOffWatch* powerOffWatch() const { return m_power; }
  const QString& bundlePath() const { return m_env.bundlePath; }
  QString resourcePath(const QString& name) const;
  QString autostartFile() const;

 public slots:
  void isRemovePclist(const QDBusMessage& message);
  // The session bus went away: the same stop as a first quit signal's (nothing more when a stop
  // with a quit is under way already; a signal after it is a further signal).
  void sessionBusLost();

 private:
  void readDebugSwitch();
  void startStopRemoval();
  void beginQuit();
  void quitNow();
  void logWillTerminate();
  bool runScanApplication(const QString& scanApp);
  // The removal of a stop: the press taken up first, within the stop's limit.
  controllerScan::Removal stopRemoval();
  // A power-off called off whose clear the scanner did not take: the press is the tick's again.
  void givePressBack();
  void handOff(const QString& thirdAppPath, const QString& program, const QString& modelName);
  Notifier& notifierFor(const QString& targetPath);
  QVariantMap resourceDeviceSetting() const;

  Environment m_env;
  std::unique_ptr<controllerScan> _backscan;
  QTimer m_timer;
  bool m_found = false;
  bool m_pressTaken = false;  // an application was started (or handed) the press, not cleared yet
  bool m_awaitingApplication = false;  // the tick waits for that application
  bool m_stopLeftPress = false;  // the running stop's clear of the press was not taken
  qint64 m_scanPid = 0;                      // the scan application started last
  unsigned long long m_scanStartTime = 0;    // its start time (RunningProcesses::startTime)
  int32_t dwPcListCurrectCount = 0;
  bool m_inTick = false;
  bool m_stopping = false;
  bool m_quitting = false;
  bool m_poweringOff = false;
  bool m_quitCalled = false;
  bool m_loggedWillTerminate = false;
  // The removal of the stop under way (or of the quit): none yet, running, or done.
  enum class StopRemoval { None, Running, Done };
  StopRemoval m_stopRemoval = StopRemoval::None;
  quint64 m_stop = 0;  // numbers the stops: a removal's end counts only for its own stop
  std::unique_ptr<MonitorInstanceLock> m_lock;
  bool m_observingTerminate = false;
  bool m_watchingSession = false;  // the session bus was there at launch and is looked after
  QTimer m_busCheck;
  std::unique_ptr<platform::QuitSignals> m_signals;
  PowerOffWatch* m_power = nullptr;
  std::map<QString, std::unique_ptr<Notifier>> m_notifiers;
  mutable std::optional<QVariantMap> m_resourceDeviceSetting;
};
