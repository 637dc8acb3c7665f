#pragma once
// The main window: the source list of the scanner's settings pages on the left, the page on show
// on the right, and the Import, Export, Devices, OK, Cancel and Apply buttons.
//
// From the moment the window is shown until it goes away it holds the scanner: it opens the
// device through its own IOWrapper, checks the status, locks the scanner for this computer, reads
// every record the pages need, checks the settings block's structure version and shows the
// general setup page. When the window goes away it unlocks and closes the device.
//
// Life of a ViewController:
//   1. constructed (every field at its initial value);
//   2. setupInfo(): the device and the model; must come before the view is loaded, because the
//      tree depends on the model;
//   3. loadViewIfNeeded() (or the first show): initUI() creates the eleven pages and the tree,
//      initLocalizedString() titles the buttons;
//   4. shown: viewDidAppear() runs from the event loop right after the show: open, first load;
//   5. closed or hidden by the program: viewDidDisappear() releases the scanner (unlock,
//      control-pipe unlock, close, reset of the address).
// Each show runs 4 again and each hide 5; a release happens once per appearance.
//
// "Quitting the program" (Cancel, OK, the alerts that end Remote Setup) goes through
// terminate(): it stops whatever operation is running, closes the window (which releases the
// scanner) and then runs the terminate handler, by default QCoreApplication::quit(). Tests set
// their own handler.
//
// Main thread only. Every scanner operation is synchronous and every alert modal.

#include <QString>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "IO/IOWrapper.h"
#include "Model/Model.h"
#include "Model/Utilities.h"
#include "Views/CommandFailure.h"
#include "Views/MainWindowState.h"
#include "Views/PageController.h"

class PageFactory;
class QPushButton;
class QStackedLayout;
class QTreeView;
class QModelIndex;
class SourceListModel;

class ViewController : public QWidget {
  Q_OBJECT

 public:
  // The pages come from `factory` (by default the program's own; tests pass one with stand-in
  // pages). The factory must outlive the window (the pages are made at the first show).
  explicit ViewController(QWidget* parent = nullptr);
  explicit ViewController(const PageFactory& factory, QWidget* parent = nullptr);
  ~ViewController() override;

  // ---- Hand-over from the device selection window -------------------------------------------
  // `module` "B" is the USB-only model; any other text the network model. `interface` "USB"
  // opens the device on USB, anything else over the network at `ip`.
  void setupInfo(const QString& ip, const QString& module, const QString& device, const QString& interface,
                 const QString& uuid, const QString& twainName);

  // ---- View set-up --------------------------------------------------------------------------
  // Runs viewDidLoad once (the first show does it too).
  void loadViewIfNeeded();
  void initUI();
  void initLocalizedString();
  // Replaces whatever the container holds by `view` alone, and highlights its source-list row.
  void displaySubview(QWidget* view);
  // Selects the source-list row of the page on show (with `reveal`, its parent rows opened; a row
  // the user closed stays closed otherwise). The source list's Up and Down keys move between
  // pages as a click does, passing over rows without a page.
  void highlightShownPage(bool reveal);
  // The size the page area opens at: pagelayout::kPageSize, or what the largest page needs
  // (PageController::neededSize), whichever is larger. The window opens at the size that gives
  // its pages this area (its size hint) where the screen's free area has the room, else at the
  // free area's size; it can be made as small as the least page area (pagelayout::kLeastPageSize)
  // allows, the pages then scrolling, and its buttons always show.
  QSize openingPageSize() const;
  QSize sizeHint() const override;

  // ---- Appearance, load, lock, release ---------------------------------------------------------
  void viewDidAppear();
  void viewDidDisappear();
  // The first load (`initial`) ends at once when the scanner stops answering (no connection, no
  // answer within the limit, an answer cut short) at the status inquiry, the lock or the settings
  // block, or at two exchanges in a row, and when it refuses the settings block: nothing is shown
  // and one alert says why; OK closes the window and emits returnToDevices(), Cancel quits. The
  // same choice follows a device that cannot be opened (its alert says so). In the first load each
  // wait of an exchange (the connect, each send and receive; each USB transfer) is cut to the
  // load's exchange limit, and to the follow-up limit right after an exchange that got no
  // answer. Another record that fails while the scanner goes on answering is left
  // unread (never written back) and the no-connection question is asked once the scanner has been
  // seen answering. The reload after an import asks that question after each record that fails.
  void loadData(bool initial);
  void lockScanner();
  // One status inquiry into sDeviceStatus. No whole answer: the first load ends (endLoad), a later
  // one asks procNoConnection. An answer with another state than `status`: an alert names what
  // the scanner reported (its condition or state, or that the reservation is gone), OK goes on and
  // Cancel quits. Answers whether the caller goes on.
  bool checkConnection(uint16_t status);
  // How long an exchange of the first load may wait (the network's per-call limit, on USB too),
  // and one that follows an exchange the scanner did not answer.
  static constexpr std::chrono::milliseconds kLoadExchangeLimit{6000};
  static constexpr std::chrono::milliseconds kLoadFollowUpLimit{2000};
  // Tests set shorter limits.
  void setLoadLimits(std::chrono::milliseconds exchange, std::chrono::milliseconds followUp) {
    m_loadExchangeLimit = exchange;
    m_loadFollowUpLimit = followUp;
  }
  // The no-connection alert with OK and Cancel. True: OK, the caller goes on; false: Cancel,
  // the program quits (and at once, without the alert, while it is already quitting).
  bool procNoConnection();
  void procFWReject();
  bool checkStructureVersion();

  // ---- Apply cycle and the page on show ------------------------------------------------------
  // True when the caller may go on: nothing to save, the user declined to save, or the save
  // succeeded (records of the page that were never read are left out, and the user is told so).
  // False when the connection or lock check failed (nothing is written), the page reported an error, a write failed or was refused
  // by the scanner, or the program is quitting.
  // A declined save leaves the records as they were; a failed one keeps the new value only in
  // the records whose write the scanner accepted.
  bool postSettingProc(bool showMsg, bool pcClockOn);
  int32_t isDataError();
  bool isDataChanged();
  void getParamFromVC();
  // Writes the page's records (judged: a refusal fails); true only when every record was written.
  // Records not written get back their content from before the cycle.
  bool saveCurrentData();
  void setParamToVC();
  bool checkDataError();
  // The lock check (network model): true while the scanner reports this computer's lock text.
  // The USB-only model always passes.
  bool chkUUID();
  // The first two steps of every write, without an alert: a status inquiry judged against the
  // wFWInfo this computer's reservation gives, then (only when that passed) the lock check.
  HoldStatus checkHold();
  // checkHold(), and when it failed the alert that names the cause: OK keeps the window and
  // nothing is written, Cancel quits. True when the writes may go on.
  bool checkStillHeld();
  // The alert of a failed checkHold() in the apply cycle; answers true for OK (after Cancel the
  // program is quitting).
  bool procLostHold(HoldStatus hold);

  // ---- Buttons and the source list -------------------------------------------------------------
  void OKBtnPressed();
  void ApplyBtnPressed();
  void CancelBtnPressed();
  void DevicesBtnPressed();
  // The Devices transition: the apply cycle with the confirmation, then the window closes and
  // returnToDevices() is emitted. When the scanner no longer answers or is no longer held, one
  // alert says so (and whether the page's edits are lost): OK closes the window all the same,
  // which releases the scanner, and the device window comes back; Cancel quits.
  void prepareForDevices();
  // The source list's click action.
  void clickedItem(const QModelIndex& index);

  // ---- Quitting -------------------------------------------------------------------------------
  void terminate();
  bool isTerminating() const { return m_terminating; }
  // Replaces what terminate() runs after closing the window (default QCoreApplication::quit).
  void setTerminateHandler(std::function<void()> handler) { m_terminateHandler = std::move(handler); }

  // ---- What the window holds (read-only views for the other parts of the program and tests) --
  const MainWindowState& state() const { return m_state; }
  MainWindowState& state() { return m_state; }
  IOWrapper& io() { return *ioWrapper; }
  const Life& tree() const { return oTree; }
  bool isB() const { return m_state.bIsB; }
  const QString& ipString() const { return m_ipString; }
  const QString& deviceName() const { return m_deviceName; }
  QTreeView* sourceListView() const { return sourceView; }
  QWidget* container() const { return myContainer; }
  // The page views in the container, bottom to top.
  QList<PageController*> containerViews() const;
  // The page created for a storyboard identifier (nullptr when none was created).
  PageController* page(const QString& storyboardId) const;

  // ---- Import and export (ViewControllerImportExport.cpp) -------------------------------------
  // The Import and Export buttons save the scanner's settings to a file the user chooses and
  // load them back: all settings (".bin") or, on the network model, the address book alone
  // (".addr").
  //
  // Import: the network model first asks which of the two (choice alert); the chosen file must
  // pass the name, size and signature checks and, on the network model, no entry of the
  // scanner's address book may be used by a panel shortcut; otherwise an alert says why and
  // nothing is written. The scanner must then still answer and be this computer's
  // (checkStillHeld; its alert otherwise, nothing written). The file's records go to the scanner
  // in steps, each dispatched synchronously onto a private serial queue of its own import (the
  // main thread waits, serving only the readers' alerts) and followed by the import step pause;
  // a step that refuses the file leaves out the steps after it. When the first step refused it,
  // an alert says that nothing was written and nothing else happens. Otherwise the scan-profile
  // page is told which profiles the scanner accepted (importedProfiles, import of all settings
  // on the network model), every page is told of the import (settingsImported), every record is
  // read again (loadData(false)), the page on show is refilled (setParamToVC) and an alert says
  // whether every step worked. No apply cycle runs before an import: unapplied edits on the page
  // are replaced by what the scanner holds afterwards.
  //
  // Export: the network model asks the same choice, then runs the apply cycle without its
  // confirmation (nothing is exported when it answers false); the USB-only model exports all
  // settings at once, without the choice and without the cycle. The file is written on the main
  // thread; an alert says whether it was written.
  //
  // Main thread only (they are button actions); the import's readers run on the queue while the
  // main thread waits, and nothing else uses the IOWrapper meanwhile.
  void ImportBtnPressed();
  void ExportBtnPressed();
  void importAllSetting();
  void importAddressBook();
  void exportAllSetting();
  void exportAddressBook();
  // The pause after each import step (the scanner settles between the large writes).
  static constexpr std::chrono::microseconds kImportStepPause{100000};
  // Tests set a shorter pause.
  void setImportStepPause(std::chrono::microseconds pause) { m_importStepPause = pause; }

 private:
  enum class SettingsFile { AllSettings, AddressBook };
  void importSettings(SettingsFile kind);
  // The name, size, signature and shortcut checks; false after the alert that says which failed.
  bool checkImportFile(const QString& path, SettingsFile kind);
  void exportSettings(SettingsFile kind);
  std::chrono::microseconds m_importStepPause = kImportStepPause;
  // ---- (end of import and export) ---------------------------------------------------------------

 signals:
  // The Devices transition closed the window; the device selection window shows again.
  void returnToDevices();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // Return or Enter in a text field of the page on show applies the page, as Apply does. Other
  // controls (the source list, the tables, the pop-ups) keep Return for themselves.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void viewDidLoad();
  void buildLayout();
  void fitPages();
  PageController* shownPage(const char* viewId) const;
  void fillPage(PageController* page);
  // postSettingProc(); with `lost`, a failed connection or lock check shows no alert and is
  // stored there (it stays Held when the cycle answered NO for another reason).
  bool applyCycle(bool showMsg, bool pcClockOn, HoldStatus* lost);
  // Whether the page on show differs from what it last accepted, asked without the scanner.
  bool shownPageDiffersFromAccepted();
  QString lostHoldMessage(HoldStatus hold);
  void showFatalAlert(const QString& messageKey, const QString& infoKey, const QString& logLine);
  // ---- The load's steps --------------------------------------------------------------------------
  // What a step that did not work means for the load: Essential ends the first load (the settings
  // block); Record leaves one record unread and asks the no-connection question; Quiet (the
  // vendor string, the key lists) goes on without a word.
  enum class LoadStep : uint8_t { Essential, Record, Quiet };
  // Runs one step of the load (an exchange or a short fixed sequence of them), judged; during the
  // first load within the load's limits.
  CommandOutcome loadExchange(const std::function<bool()>& step);
  // Whether the load goes on after a step with `outcome` (see loadData).
  bool loadGoesOn(const CommandOutcome& outcome, LoadStep step);
  // Ends the first load with the alert that names `outcome` (no answer, or the refusal of the
  // settings block), or says that the device could not be opened (`opened` false): OK leads back
  // to the device window, Cancel quits.
  void endLoad(const CommandOutcome& outcome, bool opened = true);
  // One read of the load into `record` (only when it completed and was accepted) and its flag;
  // answers whether the load goes on.
  template <typename Record, typename Read>
  bool loadRecord(Record& record, bool* readFlag, LoadStep step, Read read);
  bool m_firstLoad = false;             // the first load is running
  int m_noAnswerRun = 0;                // exchanges in a row of the first load that got no answer
  bool m_unreadRecordPending = false;   // a record got no answer; asked about once the scanner answers
  bool m_scannerLost = false;           // the first load ended because the scanner stopped answering
  std::chrono::milliseconds m_loadExchangeLimit = kLoadExchangeLimit;
  std::chrono::milliseconds m_loadFollowUpLimit = kLoadFollowUpLimit;

  // Layout outlets.
  QTreeView* sourceView = nullptr;
  QWidget* myContainer = nullptr;
  QStackedLayout* m_containerLayout = nullptr;
  QWidget* m_shelf = nullptr;  // holds the page views that are not in the container
  QSize m_openingSize;         // the window's size with openingPageSize() for its pages
  QPushButton* btnExport = nullptr;
  QPushButton* btnImport = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
  QPushButton* btnApply = nullptr;
  QPushButton* btnDevices = nullptr;

  // The eleven pages (owned through the widget tree; null when the factory has no such page).
  PageController* generalVC = nullptr;
  PageController* addressVC = nullptr;
  PageController* filenameVC = nullptr;
  PageController* scan2USBVC = nullptr;
  PageController* scan2EmailVC = nullptr;
  PageController* scan2PCVC = nullptr;
  PageController* profileVC = nullptr;
  PageController* wiredLANVC = nullptr;
  PageController* wirelessLANVC = nullptr;
  PageController* emailVC = nullptr;
  PageController* machineVC = nullptr;
  // The fields above in the page table's order.
  std::array<PageController**, 11> pageFields();
  std::array<PageController* const*, 11> pageFields() const;

  Utilities& ut;
  std::unique_ptr<IOWrapper> ioWrapper;
  Life oTree;
  SourceListModel* m_treeModel = nullptr;

  // The records, the key lists, the module flag and the device texts the pages are handed.
  MainWindowState m_state;
  QString m_ipString;
  QString m_deviceName;

  const PageFactory& m_factory;
  bool m_viewLoaded = false;
  bool m_appeared = false;  // shown and not yet released
  bool m_terminating = false;
  bool m_fwRejectPending = false;  // the lock found remote setup refused; shown after the load
  std::function<void()> m_terminateHandler;

  // The apply cycle's save: the records as they were before the page's edits were copied in, and
  // what the writes came to.
  MainWindowState m_beforeSave;
  CommandOutcome m_saveOutcome;
  // The status block of the last checkHold() (the condition a not-ready alert names).
  FCL_DEVICE_STATUS m_lostStatus{};
  bool m_saveSkippedUnread = false;
};
