#pragma once
// The device selection window: Remote Setup's first window.
//
// It finds the scanners this computer can reach (the USB scanner through its own IOWrapper, and
// in the network model's build the network scanners by DNS service discovery), lists each with
// its connection and status, and opens the one the user picks: it checks that the scanner is
// ready and speaks the settings version this program knows, hands the device to a new main
// window (ViewController::setupInfo), shows that window and closes itself. The main window's
// Devices button brings it back; every appearance starts a new search after a short delay.
//
// One source serves both builds; `bIsBNT` (true: the network model QMX-7315W, false: the
// USB-only model QMX-7305) is fixed at construction.
//
// A found-device entry is a list of exactly eight texts (DeviceEntry below), built by the USB
// probe or by the network resolution and handed on unchanged.
//
// Main thread only, except the status reads of the network services found: each runs on a thread
// of the window's own pool with a command layer of its own, side by side and each within the
// transport's limits, so a silent address delays no other and the window keeps repainting and
// taking clicks. Results come back to the main thread by a queued call and count only for the
// search that started them. The USB probe and the connect checks are synchronous. Alerts are
// modal, OK only.

#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "IO/FCLCommand.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "platform/dnssd/Dnssd.h"

class QLabel;
class QModelIndex;
class QPushButton;
class QTableView;
class QTimer;
class ViewController;
class DevicesTableModel;

// The eight texts of a found device, by position.
namespace device_entry {
enum : int {
  kAddress = 0,     // "" for USB, else the IPv4 address in dotted decimal
  kName = 1,        // display name; the list's key and first column
  kInterface = 2,   // "USB", or the wired / wireless LAN text
  kOnline = 3,      // the "online" text
  kStatus = 4,      // status text, or "General Error"
  kModule = 5,      // "BNT" or "B"
  kUuid = 6,        // "N/A" for USB
  kTwainName = 7,   // "N/A" for USB; the driver's name or "NOT ON LIST"
  kCount = 8,
};
}  // namespace device_entry
using DeviceEntry = QStringList;

class DevicesViewController : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kDefaultStartDelay{1000};     // appearance -> search
  static constexpr std::chrono::milliseconds kDefaultNotFoundDelay{6000};  // search -> not-found alert
  static constexpr std::chrono::milliseconds kResolveLimit{10000};

  explicit DevicesViewController(bool bIsBNT, QWidget* parent = nullptr);
  ~DevicesViewController() override;

  // ---- For the program's entry and for tests ---------------------------------------------------
  using MainWindowCreator = std::function<std::unique_ptr<ViewController>()>;
  // Makes the main window a connect hands the device to (default: a ViewController with the
  // program's own pages).
  void setMainWindowCreator(MainWindowCreator creator) { m_mainWindowCreator = std::move(creator); }
  // What Cancel runs (default QCoreApplication::quit).
  void setTerminateHandler(std::function<void()> handler) { m_terminateHandler = std::move(handler); }
  void setTimings(std::chrono::milliseconds startDelay, std::chrono::milliseconds notFoundDelay);
  // The application's own "RemoteSetup.plist" (default: the compiled-in resource).
  static QString setRemoteSetupPlistPath(const QString& path);
  // The scanner driver's list of network devices, under the home folder as the driver keeps it.
  static QString modeInfoPlistPath();

  // ---- Operations ------------------------------------------------------------------------------
  void loadViewIfNeeded();
  void viewDidAppear();
  void viewDidDisappear();
  void initLocalizedString();
  void findDevice();
  void RefreshBtnPushed();
  void startBonjour();
  void stopBonjour();
  void cleanList();
  void checkUSB();
  QString getDeviceStatusString(const FCL_DEVICE_STATUS& status) const;
  // The TWAIN data-source name for `uuid`, "NOT ON LIST", or none (the device is not listed).
  std::optional<QString> checkPListNGetTWAINName(const QString& uuid);
  void showDeviceNotFound();
  void ConnectBtnPushed();
  void doubleClickRow();
  // The connect checks (a whole status answer, no refusal of remote setup, ready, the settings
  // block's structure version) and the hand-over to a new main window. Nothing happens while no
  // device was ever selected.
  void doConnect();
  void CancelBtnPushed();

  // Discovery callbacks.
  void didFindService(const platform::DnssdService& service, bool moreComing);
  void didResolveAddress(const platform::DnssdResolved& resolved);
  void didNotResolve(const platform::DnssdError& error);

  // The list, as the table asks for it.
  int numberOfRowsInTableView() const;
  QString objectValueForTableColumn(const QString& columnTitle, int row) const;
  void tableViewSelectionDidChange();

  // ---- What the window holds (for tests) -------------------------------------------------------
  const QMap<QString, DeviceEntry>& foundDevices() const { return dicFoundDevices; }
  const DeviceEntry& selected() const { return selectedDevice; }
  QTableView* table() const { return tableDevices; }
  QLabel* busyHint() const { return m_busyHint; }
  QPushButton* connectButtonWidget() const { return btnConnect; }
  bool isNotFoundTimerRunning() const;
  // The main window the last connect opened (null once it is gone).
  ViewController* mainWindow() const;
  IOWrapper& io() { return *ioWrapper; }
  // Selects row `row` as the user would (-1 clears the selection).
  void selectRow(int row);
  // Status reads of the current search whose result has not come yet.
  int statusReadsInFlight() const { return m_readsInFlight; }
  // Blocks until no status read runs any more (at most `limit`), then takes in the results that
  // came meanwhile; true when none runs.
  bool waitForStatusReads(std::chrono::milliseconds limit);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Return and Enter act as the Connect button while it is enabled; Escape does nothing.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void viewDidLoad();
  void buildLayout();
  // Shows the hint under the list while a listed device is busy (Connect stays off for it).
  void showBusyHint();
  void reloadTable();
  void enter(const char* op) const;
  void leave(const char* op) const;
  void error(const char* op, const QString& text) const;
  QString txtValue(const platform::TxtRecord& txt, const QString& key) const;
  // Reads the status at `entry`'s address on a pool thread; the entry (status text still to
  // come) is listed when the result is back. `snEmpty`: the status column shows "General Error".
  void startStatusRead(const DeviceEntry& entry, bool snEmpty);
  void statusReadDone(quint64 generation, quint64 sequence, DeviceEntry entry, bool snEmpty, bool answered,
                      const FCL_DEVICE_STATUS& status);
  // Results of the reads under way will not count; reads not started yet never start.
  void discardStatusReads();
  void connectFailed(const QString& messageKey, const QString& infoKey);

  bool bIsBNT;
  Utilities& ut;
  std::unique_ptr<IOWrapper> ioWrapper;
  platform::DnssdHandle netServiceBrowser = 0;                // the running browse; 0 when none
  QMap<QString, platform::DnssdHandle> netServices;           // service name -> its resolve
  QMap<QString, DeviceEntry> dicFoundDevices;                 // display name -> entry
  DeviceEntry selectedDevice;

  // The status reads of the network services found (see the top of this file).
  struct AddressStatus {
    int rank = 0;           // 0 no answer, 1 answered, 2 answered ready (dwLastErr and wFWInfo 0)
    quint64 sequence = 0;   // order the reads were started in
    DeviceEntry entry;
  };
  QThreadPool m_statusReads;
  std::atomic<quint64> m_searchGeneration{0};  // bumped when the reads under way stop counting
  quint64 m_readSequence = 0;
  int m_readsInFlight = 0;
  // display name -> address -> its latest read; the row shows the best of them
  QMap<QString, QMap<QString, AddressStatus>> m_addressStatus;

  QLabel* textDevicesDiscovery = nullptr;
  QLabel* m_busyHint = nullptr;
  QTableView* tableDevices = nullptr;
  DevicesTableModel* m_tableModel = nullptr;
  QPushButton* btnRefresh = nullptr;
  QPushButton* btnConnect = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer* delayToFindDeviceTimer = nullptr;
  QTimer* findDeviceTimer = nullptr;

  bool m_viewLoaded = false;
  std::chrono::milliseconds m_startDelay = kDefaultStartDelay;
  std::chrono::milliseconds m_notFoundDelay = kDefaultNotFoundDelay;
  MainWindowCreator m_mainWindowCreator;
  std::function<void()> m_terminateHandler;
  QPointer<ViewController> m_mainWindow;
};
