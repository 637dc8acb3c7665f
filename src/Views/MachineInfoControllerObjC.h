#pragma once
// The machine information page (view identifier "machineInfo"): the scanner's serial number,
// firmware versions and readiness, and the usage of the pick-up roller and of the scheduled
// maintenance against their limits. The user can reset either counter once its limit is
// reached, switch the scheduled-maintenance alert (network model) and restore the factory
// settings (USB-only model).
//
// The page follows the page contract (PageController.h). setParam copies the general record,
// the counters, the capability record and the status, keeps the serial text, the model flag and
// the main window's command layer, and fills the controls. The only edit is the maintenance-alert
// pop-up (byScheduled_ME of the general record): isDataChanged compares it, getParam writes the
// page's general record back with it, and the main window saves the record. The page has no
// error check (the main window never asks it; isDataError answers 0).
//
// What the controls show:
//
//   control                     source                                  text
//   --------------------------  --------------------------------------  ---------------------------
//   serial number               the serial text of setParam             as it is
//   main-board version          low byte of sCapabilities.dwReserved[4] one character; none for 0
//   panel version               dwVers_FW, dwVers_Panel (high.low)      "M:1.2/P:3.4"
//   device status               sDeviceStatus.wFWInfo                   Ready for 0 and for 4 (locked
//                                                                       by this window), else Busy
//   roller usage                dwScanCount - dwCountAtRoller           "usage/limit"
//   maintenance usage           dwScanCount - dwCountAtClean            "usage/limit"
//   maintenance-alert pop-up    sGeneral.byScheduled_ME                 Off, On
//
// Usage is the 32-bit difference read as a signed number (a count at the last reset above the
// scan count shows as negative); the limit is an unsigned count. A counter is due when its
// usage is at least its limit: its text turns red and its reset button appears. Each fill sets
// the colour from the values it shows; a reset button, once shown, stays for the life of the
// page.
//
// A stored byScheduled_ME that is neither 0 nor 1 shows no selection; the page then reports no
// change and writes the stored value back, until the user chooses an item.
//
// The resets go to the scanner at once through the command layer, without the apply cycle:
//   roller / maintenance reset: no confirmation and no alert. On success the page's copy of the
//     counters restarts from the scan count (the main window's copy is not changed) and the page
//     is filled again; a failure is logged and changes nothing.
//   factory reset (USB-only model): confirmation with OK and Cancel; after OK the reset is sent,
//     its outcome shown, and the program ends either way (the terminate handler).
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QColor>
#include <QString>
#include <cstdint>
#include <functional>

#include "IO/CommandOutcome.h"
#include "IO/FCLRecords.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class IOWrapper;
class QFormLayout;
class QLabel;
class QPushButton;
class Utilities;

namespace platform {
class PopUpButton;
}  // namespace platform

class MachineInfoControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit MachineInfoControllerObjC(QWidget* parent = nullptr);
  ~MachineInfoControllerObjC() override;

  // ---- Page contract (reads and writes the records of MainWindowState) ----------------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  // Never asked by the main window; answers no error.
  int32_t isDataError() override;
  // With the reset buttons and both models' own rows shown.
  QSize neededSize() override;

  // ---- The same on the records themselves -----------------------------------------------------------
  // `isB`: the connected scanner is the USB-only model. `io` is kept (not owned) for the resets;
  // it must outlive the page's use of it, as the main window's does.
  void setParam(const FCL_RS_PARAM_GENERAL& general, const FCL_RS_MACHINE_INFO& machineInfo,
                const FCL_CAP_HALVERN& capabilities, const FCL_DEVICE_STATUS& deviceStatus, const QString& serial,
                bool isB, IOWrapper* io);
  void getParam(FCL_RS_PARAM_GENERAL& general);
  // True when the maintenance-alert choice differs from `general.byScheduled_ME`.
  bool isDataChanged(const FCL_RS_PARAM_GENERAL& general);

  // ---- The buttons' actions ---------------------------------------------------------------------------
  void resetPickupRollerCountPushed();
  void resetMaintenanceCountPurshed();
  void factoryResetPushed();

  // What the factory reset runs to end the program. The default closes the page's window (the
  // main window, whose going away unlocks and closes the scanner) and quits the application.
  void setTerminateHandler(std::function<void()> handler) { m_terminateHandler = std::move(handler); }

  // ---- The controls (for tests and the page's screenshots) ------------------------------------------
  struct Controls {
    QLabel* labelTitle;
    QLabel* labelSerial;
    QLabel* textSerial;
    QLabel* labelMainVersion;
    QLabel* textMainVersion;
    QLabel* labelPanelVersion;
    QLabel* textPanelVersion;
    QLabel* labelStatus;
    QLabel* textStatus;
    QLabel* labelRemainingLife;  // the heading of the two counters
    QLabel* labelRoller;
    QLabel* textRoller;
    QPushButton* btnResetRoller;
    QLabel* labelMaintenance;
    QLabel* textMaintenance;
    QPushButton* btnResetMaintenance;
    QLabel* labelMaintenanceAlert;
    platform::PopUpButton* popupMaintenanceAlert;
    QLabel* labelFactoryReset;
    QPushButton* btnFactoryReset;
  };
  const Controls& controls() const { return m_ui; }

  // The colour of a due counter's text.
  static QColor dueColour() { return QColor(Qt::red); }

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void applyData();
  // Shows the rows of the connected model: the alert row (network) or the factory-reset row.
  void setupModelRows();
  void showCounter(QLabel* text, QPushButton* reset, uint32_t countAtReset, uint32_t limit);

  // Runs a reset through the command layer, judged (a failure without a command layer).
  CommandOutcome runReset(const std::function<bool()>& reset);
  // The alert of a counter reset that did not happen, with its reason.
  void showResetFailure(const CommandOutcome& outcome);
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Controls m_ui{};
  QFormLayout* m_modelForm = nullptr;  // the alert row and the factory-reset row
  int m_alertRow = -1;
  int m_factoryRow = -1;
  std::function<void()> m_terminateHandler;

  IOWrapper* pIOWrapper = nullptr;
  Utilities& ut;
  FCL_RS_PARAM_GENERAL sGeneral{};
  FCL_CAP_HALVERN sCapabilities{};
  FCL_DEVICE_STATUS sDeviceStatus{};
  FCL_RS_MACHINE_INFO sMachineInfo{};
  QString strSN;
  bool bIsB = false;
  PageTrace m_trace;
};
