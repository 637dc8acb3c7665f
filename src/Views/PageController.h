#pragma once
// The contract between the main window and its eleven settings pages.
//
// Each page is one PageController subclass; its widget is the page's view and its objectName()
// is its view identifier (Views/PageTable.h), by which the main window finds the page on show.
// The main window calls a page only through these operations, and all but two of them only on
// the page on show: settingsImported goes to every page after an import, and neededSize to every
// page once before the window opens. (The scan-profile page also receives importedProfiles,
// ScanProfileControllerObjC.h, after an import of all settings, whether it is on show or not.)
//
//   setParam(state)       copy what the page needs out of `state` (records by value, the command
//                         layer pointer and key lists as noted below) and fill the controls from
//                         it. Sent each time the page is about to be shown: page switch, refill
//                         after an import, and for the general setup page the end of the first
//                         load. Must not change the main window's state (it is read-only).
//   isDataError()         asked first in every apply cycle: a page error code (PageErrors.h).
//                         A page that showed its own alert answers kPageErrorShown (999).
//                         It refuses only values the user changed since the last setParam
//                         (FilledValues.h): a stored value outside the page's checks is
//                         saved as stored and never keeps the user on the page.
//                         The machine information page is never asked.
//   isDataChanged(state)  true when the controls differ from the records in `state` (copy-back
//                         pages) or from what the scanner holds now (self-writing pages, which
//                         read the scanner again through state.ioWrapper). Asked only after
//                         isDataError answered no error; a page may apply its controls to its
//                         own copy first. A control the user did not change since the last
//                         setParam stands for its field exactly as read, whatever it shows
//                         (FilledValues.h), so a page nobody touched is never changed; getParam
//                         writes those fields back byte for byte.
//   getParam(state)       copy-back pages: apply the controls to the page's copy and copy it into
//                         its records in `state`; sent before the main window writes the records;
//                         answers true. Self-writing pages (address book, scan profiles): build
//                         the page's data and write it to the scanner through state.ioWrapper,
//                         answering the write's success; they are sent it during the writes and
//                         never asked to copy back.
//   failedField()         after isDataError answered 1 (empty) or 2 (out of range or
//                         malformed): the field it refused, its label and range, which the
//                         main window's alert names (PageErrors.h); a page records it with
//                         setFailedField.
//   isFromPCClockON()     general setup page only: its "clock from this computer" check box.
//                         Every other page answers false (the base).
//   saveAccepted()        sent after the scanner accepted every write of a save and the user was
//                         told it was saved: what was written becomes what the controls the user
//                         leaves alone stand for from then on (general setup, scan file name,
//                         scan to e-mail, USB and PC), and the page stores what it keeps on this
//                         computer (the scan-to-PC page's preference file), telling the user
//                         itself when that fails; the cycle's answer stays the scanner's. Other
//                         pages do nothing (the base).
//   settingsImported(io, imported)
//                         sent to every page, shown or not, after an import that wrote anything,
//                         before the records are read again and the page on show is refilled;
//                         `imported` is true when every write of the import was accepted. The
//                         address-book page takes the book the import wrote (io's
//                         importedAddressBook) as the scanner's content, and forgets its content
//                         when the import failed without writing the book. Every other page does
//                         nothing (the base).
//   differsFromAccepted(state)
//                         true when the page's content differs from its last accepted content,
//                         judged without asking the scanner (the main window asks it when the
//                         scanner is gone, to say whether edits were lost). The base asks
//                         isDataChanged with no command layer in `state`, so copy-back pages
//                         compare with the records; the self-writing pages override it and
//                         compare with the content they last accepted, with no read, alert or
//                         change of their state.
//   neededSize()          asked of every page once, while the main window is built and before it
//                         opens: the size the page needs to show every control it can show (in any
//                         state, for either model) without scrolling or cutting one off. The
//                         base measures the page's size hints (PageLayout.h); a page that
//                         shows some controls only in some states counts them as shown.
//
// Order within one apply cycle: isDataError, isDataChanged, (confirmation) getParam of the
// copy-back pages, then the writes, during which the self-writing pages receive getParam.
//
// What each page reads from and writes to MainWindowState (sParamAll.x is a sub-record):
//
//   page (view id)    setParam reads                        getParam writes      isDataChanged   isDataError
//   ----------------  ------------------------------------  -------------------  --------------  ------------
//   generalSetup      sParamAll (whole), sLampState,        sParamAll,           same three      0, 1, 2
//                     byLanguage, sFactoryDef, bIsB         sLampState,
//                                                           byLanguage
//   addressBook       ioWrapper                             (writes the scanner  the scanner     0
//                                                           itself; answers the  via ioWrapper
//                                                           write's success)
//   scanFileName      sParamAll.sFilename, serialString,    sParamAll.sFilename  sFilename       0, 2, 999
//                     ioWrapper
//   scan2USB          sParamAll.sScan2USB,                  sParamAll.sScan2USB, the same two    0, 999
//                     sParamAll.sGeneral, bIsB              sParamAll.sGeneral
//   scan2Email        sParamAll.sScan2Email, bIsB           sParamAll.sScan2Email sScan2Email    0
//   scan2PC           sParamAll.sScan2PC, bIsB, deviceUUID, sParamAll.sScan2PC   sScan2PC        0
//                     deviceTWAINName, deviceInterface
//   scanProfile       ioWrapper, clientKeyList,             (writes the 25       the scanner     0
//                     serverKeyList                         profiles itself)     via ioWrapper
//   networkWiredLAN   sParamAll.sWiredLAN, ioWrapper        sParamAll.sWiredLAN  sWiredLAN       0, 2
//   networkWLAN       sParamAll.sWirelessLAN, ioWrapper     sParamAll.sWirelessLAN sWirelessLAN  0, 2
//   networkEmail      sParamAll.sEmail                      sParamAll.sEmail     sEmail          0, 2, 3, 999
//   machineInfo       sParamAll.sGeneral, sMachineInfo,     sParamAll.sGeneral   sGeneral        not asked
//                     sCapabilities, sDeviceStatus,
//                     serialString, bIsB, ioWrapper
//
// A getParam must write only the fields of its row. The command layer pointer is owned by the
// main window and outlives every page; a page may keep it. The key lists are copied.
//
// Lifetime: the main window creates the eleven pages once (PageFactory) and keeps them for its
// life. A page not on show receives no call but settingsImported and neededSize (and, for the
// scan-profile page, importedProfiles); its state stays as left until its next setParam.

#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "Views/MainWindowState.h"
#include "Views/PageErrors.h"

class PageController : public QWidget {
  Q_OBJECT

 public:
  // `viewIdentifier` becomes the objectName().
  explicit PageController(const QString& viewIdentifier, QWidget* parent = nullptr);
  ~PageController() override;

  QString viewIdentifier() const { return objectName(); }

  virtual void setParam(const MainWindowState& state) = 0;
  virtual bool getParam(MainWindowState& state) = 0;
  virtual bool isDataChanged(const MainWindowState& state) = 0;
  virtual int32_t isDataError() = 0;
  // The field the last isDataError refused with code 1 or 2.
  FailedField failedField() const { return m_failedField; }
  // Only the general setup page overrides this.
  virtual bool isFromPCClockON() const { return false; }
  // After a save the scanner accepted: stores what the page keeps on this computer.
  virtual void saveAccepted() {}
  // After an import, on every page (see the operations above); only the address-book page does
  // something.
  virtual void settingsImported(const IOWrapper& io, bool imported) {
    (void)io;
    (void)imported;
  }
  virtual bool differsFromAccepted(const MainWindowState& state);

  // The page's size in the state that shows the most (see the table above).
  virtual QSize neededSize();

 protected:
  // For isDataError: the field it refuses (`label` without a colon; `range` from rangeText).
  void setFailedField(const QString& label, const QString& range = QString()) { m_failedField = {label, range}; }

 private:
  FailedField m_failedField;
};
