#pragma once
// The scan file-name page (view identifier "scanFileName"): how the scanner names the files it
// scans (which parts and in which order, the date format, the fixed text, the counter's
// behaviour, initial value and minimum digits, the overwrite switch), with a button that puts the
// serial-number text into the name and one that resets the scanner's file-name counter at once.
//
// The page follows the page contract (PageController.h). setParam copies sFilename (52 bytes),
// the serial text and the command layer into the page and fills the controls; isDataChanged and
// getParam first apply the controls to that copy (applyData); getParam then hands the record
// back, and the main window writes it. The counter reset is the one command the page sends itself.
//
//   control                            record field          note
//   ---------------------------------  --------------------  ------------------------------------
//   name field (+ serial-no. button)   szName                UTF-8, at most 31 bytes; as read
//                                                            while the user leaves it alone
//   file-name style pop-up (6 items)   byFormat = item
//   overwrite box                      byExceptionHandling   1 checked, 0 otherwise (a stored 2
//                                                            shows unchecked)
//   date pop-up (6 items)              byDateTime = item
//   counter pop-up (2 items)           byCountType = item    0 continuous, 1 reset after each job
//   initial-value field                dwCountInitValue      0 to 999999 while typed
//   digits field + stepper             byCountDigit          1 to 6 (checked by isDataError)
//   none                               dwBALLScanCount       0 after a counter reset the scanner
//                                                            accepted (also in the main window's
//                                                            record: fileNameCounterReset), else kept
//   none                               reserved bytes        kept
//
// A control the user did not change since setParam puts its field back exactly as read
// (FilledValues.h): a pop-up whose stored index has no item shows no selection, an overwrite byte
// other than 0 and 1 shows the box unchecked, and both are kept until the user changes them.
//
// Typing filters (textEdited only, so filling the page runs none):
//   name:     what the user added (wherever the cursor is) must be A-Z a-z 0-9 "_" "-", else the
//             text returns to the last accepted one; an emptied name returns too. Added text
//             that makes the name longer than the 31 bytes the record holds is refused whole,
//             with an alert naming the field and its limit (FixedTextFields.h): nothing typed
//             or pasted is cut. Characters already there are not judged, so a stored name
//             holding others ("SN 42") stays editable.
//   digits:   a single digit 1 to 6 is taken; anything else returns to the last taken number;
//             the stepper then follows the field. A stepper click puts its value into the field.
//   initial:  "0" or one to six digits without a leading zero is taken; anything else returns
//             to the last taken number.
//
// The counter controls: continuous enables the reset button and disables the initial value,
// the digits and their labels; reset after each job the reverse.
//
// Change check: the name (as text), then byFormat, byDateTime, byCountType, byCountDigit,
// dwCountInitValue, byExceptionHandling; dwBALLScanCount and the reserved bytes are not compared.
// Error check: 999 after the too-long alert when a name the user changed (typed, or put there
// by the serial-number button) holds more than 31 bytes; 2 (with the focus in the digits field)
// when the digits read below 1 or above 6, but only while the field is enabled (counter reset
// after each job) and only when it changed since setParam (FilledValues.h); otherwise 0. A name
// the user did not touch goes back byte for byte (also 32 bytes without a NUL, or bytes that are
// not UTF-8) and is no change. Stored digits outside 1 to 6 never block and are saved as
// stored (the typing filter and the stepper cannot produce them).
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QString>
#include <cstdint>

#include "IO/FCLRecords.h"
#include "Views/FilledValues.h"
#include "Views/FixedTextFields.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class IOWrapper;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Utilities;

namespace platform {
class PopUpButton;
class Stepper;
}  // namespace platform

class ScanFileNameControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit ScanFileNameControllerObjC(QWidget* parent = nullptr);
  ~ScanFileNameControllerObjC() override;

  // ---- Page contract (reads and writes sParamAll.sFilename of MainWindowState) ---------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;
  // What was written becomes what the controls the user leaves alone stand for.
  void saveAccepted() override;

  // ---- The same on the record itself --------------------------------------------------------------
  // `io` is kept for the counter reset; it must outlive the page or be replaced by the next
  // setParam. A null `io` makes a confirmed reset fail.
  void setParam(const FCL_RS_PARAM_FILENAME& filename, const QString& serialNumber, IOWrapper* io);
  void getParam(FCL_RS_PARAM_FILENAME& filename);
  bool isDataChanged(const FCL_RS_PARAM_FILENAME& filename);

  // ---- The controls (for tests and the page's screenshots) -----------------------------------------
  struct Controls {
    QLabel* labelScanFileName;
    QLabel* labelFileName;
    QLineEdit* textFileName;
    QPushButton* btnSetAsSerialNo;
    QLabel* labelFileNameStyle;
    platform::PopUpButton* popupFileNameStyle;
    QLabel* labelDate;
    platform::PopUpButton* popupDate;
    QCheckBox* chkOverwrite;
    QLabel* labelCounter;
    platform::PopUpButton* popupCounter;
    QPushButton* btnReset;
    QLabel* labelInitialValue;
    QLineEdit* textInitialValue;
    QLabel* labelInitialValueRange;
    QLabel* labelMinimumNumberDigits;
    QLineEdit* textMinimumNumberDigits;
    platform::Stepper* stepMinimumNumberDigits;
    QLabel* labelMinimumNumberDigitsRange;
  };
  const Controls& controls() const { return m_ui; }

  // The page's copy of the record as it stands (for tests).
  const FCL_RS_PARAM_FILENAME& fileNameRecord() const { return fileName; }

  static constexpr int kNameMaxLength = 31;  // UTF-8 bytes of the name
  static constexpr int kDigitsMin = 1;
  static constexpr int kDigitsMax = 6;
  static constexpr int kFileNameStyleItems = 6;
  static constexpr int kDateItems = 6;
  static constexpr int kCounterItems = 2;

 signals:
  // The scanner accepted a counter reset: its dwBALLScanCount is now `count`. The main window
  // puts it into its own record, so that no later save writes the old count back.
  void fileNameCounterReset(uint32_t count);

 private slots:
  void btnSetAsSNPressed();
  void btnResetPressed();
  void popupCounterChanged();
  void controlTextDidChange(QLineEdit* field);
  void digitsStepperClicked(double value);

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  void updateCounterUI();
  void applyData();
  void bindFields();

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Controls m_ui{};
  Utilities& ut;
  FCL_RS_PARAM_FILENAME fileName{};
  QString strSN;
  IOWrapper* pIOWrapper = nullptr;
  QString lastFileName;
  QString lastInitNum;
  QString lastDigitNum;
  // What each control showed when setParam filled it, and the field it edits.
  FilledValues m_filled;
  FixedTextFields m_texts;  // the name field: kept as read while untouched, never cut
  PageTrace m_trace;
};
