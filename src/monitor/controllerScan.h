#pragma once
// The monitor's link to its one scanner: reads the user's device file at start-up, builds this
// computer's PC-list entry and runs the scanner operations of the monitor's cycle. Each operation
// opens the transport (USBWraper), runs its command and closes it again; on a network scanner
// whose connect fails, the opening step looks for the scanner again by DNS service discovery
// (NetworkSearch), recognises it by its UUID, goes on at the new address and saves it.
//
// Results: true for success; getNetWorkInterrupt answers 0 (failure), 1 (no scan for this
// computer) or 2 (a scan for this computer). The scanner's answer counts for the operations that
// change something: the add, the remove, the event clear and the clock fail on a status block
// whose dwLastErr is not 0. Nothing is shown to the user; the debug log (MonitorDebugLog) has
// the trace.
//
// One operation at a time: the waits of an operation serve the event loop, and a handler that
// runs there may ask for a removal (quit, power-off, a termination request). That removal does
// not interleave with the operation under way: removePCList() then only records the request, and
// the removal runs as soon as the operation has ended. Any other operation asked for meanwhile
// fails at once. Operation is the same guard for exchanges a caller runs itself on usbWraper().
//
// The pause after an event poll that brought no scan for this computer serves the event loop;
// it ends early when the operation is broken off or a removal is asked for, so that the removal
// follows at once.
//
// Everything runs on the main thread.

#include <QList>
#include <QString>
#include <QVariantMap>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <vector>

#include "monitor/NetworkSearch/NetworkSearch.h"
#include "monitor/ScannerUtility/MonitorRecords.h"
#include "monitor/ScannerUtility/USBWraper.h"

class controllerScan : public NetworkSearchDelegate {
 public:
  // Built-in values used where the device file has none.
  static constexpr uint16_t kDefaultVendorID = 0x1209;
  static constexpr uint16_t kDefaultProductID = 0x0001;
  static constexpr const char* kDefaultConnection = "USB";

  // Where the start-up and the operations take what lies outside the monitor. The members below
  // the first may be left empty for the system's own.
  struct Environment {
    // The user's device file (DeviceSetting.plist), asked for whenever it is read or written.
    // Empty: there is none (the built-in values are used and nothing is written).
    std::function<QString()> deviceFilePath;
    // This computer's host name (default: gethostname).
    std::function<QString()> hostName;
    // The current time (default: time()); it is broken down in the local time zone.
    std::function<std::time_t()> clock;
    // The discovery (default: NetworkSearch::shareInstance()).
    NetworkSearch* search = nullptr;
  };

  // Start-up: reads the device file, gives this computer an identifier when it has none yet
  // (written back into the file) and builds this computer's PC-list entry.
  controllerScan();
  explicit controllerScan(Environment environment);
  ~controllerScan() override;
  controllerScan(const controllerScan&) = delete;
  controllerScan& operator=(const controllerScan&) = delete;

  // ---- Operations ---------------------------------------------------------------------------
  // Opens the transport for one operation (always with IPAddressStr; `connection` is not used).
  bool confirmOpenConnect(const QString& connection);
  // True when the PC list has room for one more entry.
  bool comparePCListMaxCountAndCurrentCount();
  // Adds this computer's entry, then sets the clock (whose result does not count).
  bool addPlistToDevice();
  // How a removal runs. A stop's removal first clears the scan-button event that the monitor
  // has taken up (started an application for) and has not cleared yet, so that no later monitor
  // takes it up again; the clear and the removal then run, together, before `deadline`.
  // `cleared` (optional, with clearEventFirst) is told, once the clear has run, whether the
  // scanner took it.
  struct Removal {
    bool clearEventFirst = false;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::function<void(bool)> cleared;
  };
  // Removes this computer's entry. `done` (optional) receives the removal's result. When another
  // operation is under way, the removal is put off until it has ended: the call then answers
  // false and `done` runs later. Removals put off together run as one: with the clear when any
  // of them asks for it, before the earliest deadline.
  bool removePCList(std::function<void(bool)> done, Removal how);
  bool removePCList(std::function<void(bool)> done = {}) { return removePCList(std::move(done), Removal()); }
  // Polls the scan-button event: 0 failure, 2 a scan for this computer, 1 anything else.
  int getNetWorkInterrupt();
  bool clearEventChecking();
  bool setSystemUTCTimeToScanner();
  // Reads the whole PC list; `count` is the count the scanner reported. The read asks for
  // min(count, kMaxPCListEntries) entries and sends no other command. On USB whatever the
  // scanner sends beyond that is read and dropped (USBWraper), so the pipe is empty afterwards.
  bool readPCList(int32_t count, std::vector<monitor::FCL_RS_PCLIST>* entries);
  // True when `entry` is this computer's (its 40 bytes of szPCUUID equal ours).
  bool isOwnEntry(const monitor::FCL_RS_PCLIST& entry) const;

  // ---- Re-discovery -------------------------------------------------------------------------
  // One re-discovery attempt (opens nothing); saves a new address when the scanner was found.
  bool modifyNetIPConnect();
  // Waits for the running search's report (at most MonitorTimings::discoveryWait) and picks this
  // scanner from it by its UUID, the first such entry with a dotted IPv4 address; IPAddressStr
  // then holds that address.
  bool isScannerConnect();
  // Writes IPAddressStr into the device file under "IPAddress", when it is a dotted IPv4 address
  // (never an empty or other text).
  void saveNewIPAddress();
  void searchDevicesDidFinish(const QList<QVariantMap>* devices, quint64 search) override;

  // ---- State --------------------------------------------------------------------------------
  USBWraper& usbWraper() { return m_usbWraper; }
  const QString& IPAddressStr() const { return m_IPAddressStr; }
  void setIPAddressStr(const QString& text) { m_IPAddressStr = text; }
  const QString& myUUID() const { return m_myUUID; }
  const QString& PCUUID() const { return m_PCUUID; }
  const monitor::FCL_RS_PCLIST& pPCList() const { return m_pPCList; }
  bool busy() const { return m_busy; }
  // Breaks off the operation under way (quit, power-off): its network exchange fails at once, a
  // re-discovery wait ends and no further open succeeds until the operation has ended; then a
  // removal asked for meanwhile runs as usual. Nothing happens when no operation is under way.
  void abortOperation();
  bool aborted() const { return m_aborted; }
  // Forgets the removals put off until the operation under way has ended: they never run and
  // their `done` is not called (a quit that breaks its removal off).
  void dropPendingRemovals() {
    m_pendingRemovals.clear();
    m_pendingHow = {};
  }
  bool removalPending() const { return !m_pendingRemovals.empty(); }

  // Marks an operation of the caller's own on usbWraper() (the list and count reads of the
  // monitor's cycle). False when another operation is under way: the caller must not go on.
  class Operation {
   public:
    explicit Operation(controllerScan& scan);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    explicit operator bool() const { return m_owner; }

   private:
    controllerScan& m_scan;
    bool m_owner;
  };

 private:
  bool isUSB() const;
  QString deviceFile() const;
  void startSearch();
  // One exchange with a 4-byte answer (capacity or count).
  bool readCount(uint16_t qualifier, int32_t* value, const char* startLine, const char* successLine,
                 const char* failLine, const char* valueLine);
  // Runs a removal; `cleared` (when given) receives whether its clear was made.
  bool removeNow(const Removal& how, bool* cleared);
  bool removeEntryNow();
  bool clearNow();
  bool clockNow();
  void runPendingRemovals();
  // True when the operation is broken off or the deadline of the removal under way (a stop's
  // limit) has passed; the latter is said in the debug log.
  bool shouldStop() const;

  Environment m_env;
  USBWraper m_usbWraper;
  QString m_IPAddressStr;
  QString m_myUUID;
  QString m_PCUUID;
  monitor::FCL_RS_PCLIST m_pPCList{};
  NetworkSearch* m_netWorkSearch;
  bool m_isGetDevice = false;
  QList<QVariantMap> m_deviceArray;
  quint64 m_searchNumber = 0;
  bool m_busy = false;
  bool m_aborted = false;
  std::vector<std::function<void(bool)>> m_pendingRemovals;
  Removal m_pendingHow;  // how the removals put off run
  std::optional<std::chrono::steady_clock::time_point> m_deadline;  // of the removal under way
};
