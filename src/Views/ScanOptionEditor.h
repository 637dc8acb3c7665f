#pragma once
// The scan-option editor: the controls of one FCL_RS_PARAM_SCANPROFILE record (64 bytes), the
// rules that hide, disable and force options against each other, the margin typing filter, and
// the reading back of the controls into the record. The scan-to-e-mail, scan-to-USB, scan-to-PC
// pages and the profile editor embed one each; the page owns the record's way in and out.
//
//   control                         record field(s)                         stored as
//   ------------------------------  --------------------------------------  -------------------------
//   popupScanType (4)               byScanType                              item (0 b/w .. 3 auto)
//   popupFileType (11)              byFileType_BW/_Gray/_Color/_Auto        item, slot of the scan type
//   popupFileSize (3)               byFileSize_Gray/_Color/_Auto            item; b/w has none
//   popupResolution (6)             wResolution_BW/_Gray/_Color/_Auto       dpi 100 150 200 300 400 600
//   popupDocumentSize (26)          byDocumentSize                          item; 23, 24 restricted
//   textLeft/Top/Right/Bottom       byMarginLeft/Top/Right/Bottom           tenths, signed byte
//     + steppers
//   popupAutoDeskew, popupSkipBlankPages, popupDuplexScan,
//   popupMultifeedDetection, popupContinuousScan                             item
//   popupAutoColorDetectAdjust (6)  byAutoColorDetectSensitivity            item
//   popupSkipBlankPageSensitivity(4) bySkipBlankPageSensitivity             item
//   popupBrightness, popupContrast  byBrightness, byContrast                the number of the title
//   none                            dwPaperWidth/Height, reserved bytes     kept as loaded
//
// A control the user did not change since load() puts back the bytes of its field exactly as they
// were loaded (FilledValues.h), whatever they are: a value no item stands for (an index past the
// items, a resolution or brightness outside the lists, a scan type above 3: no selection), a file
// type the shown scan type does not offer (shown as multi-page PDF), or a combination the rules
// below would not produce (shown as the rules force it). Only what the user changed, and what a
// rule changed because of that change, is written: choosing a restricted size turns two-sided
// scan off, choosing another scan type stores the file type, size and resolution its slot then
// shows. The three slot pop-ups count as untouched while the scan type shown at loading stays and
// their own selection does too. An empty margin field reads back as 1.0. A margin typed outside
// the steppers' range shows the value that is stored ("20" shows 12.7).
//
// While a restricted document size (items 23, 24) is selected: no automatic scan type (colour
// is selected in its place and the colour slot is shown), two-sided scan and blank-page skipping
// are off and their "on" items hidden, both sensitivities are disabled, 600 dpi is hidden and a
// slot's 400 or 600 dpi shows as 300.
//
// Trace lines at level 0x40 carry the owning page's class name ("-[<owner> initUI]").
//
// Every page built on the editor differs from the scan-to-e-mail page only by its
// ScanOptionPolicy (below) and by what it does on the two signals: optionsUpdated() at the end
// of every option update (loading included) and fileTypeChosen() after the user's choice of a
// file type has been stored.

#include <QString>
#include <QWidget>
#include <bitset>
#include <cstdint>

#include "IO/FCLSettings.h"
#include "Views/FilledValues.h"
#include "Views/PageTrace.h"

class QLabel;
class QLineEdit;

namespace platform {
class PopUpButton;
class Stepper;
}  // namespace platform

// How a page's option editor differs from the scan-to-e-mail page's (the defaults).
struct ScanOptionPolicy {
  // The continuous-scan row, and the signed-PDF file types (5, 6), are hidden on the USB-only
  // model. False: always offered (an editor without a module flag).
  bool continuousScanFollowsModel = true;
  bool signedPdfFollowsModel = true;
  // File types never offered, whatever the scan type (bit = item). A stored one shows, and is
  // read back, as multi-page PDF like any other hidden file type.
  std::bitset<11> fileTypesNeverOffered;
  // The file-size pop-up stays disabled for every scan type; it still shows the slot's size.
  bool fileSizeAlwaysDisabled = false;
  // The slot a file-size or resolution choice is written to: that of byScanType in the editor's
  // copy, or that of the scan type the pop-up shows.
  enum class ChangeSlot { CopysScanType, ShownScanType };
  ChangeSlot changeSlot = ChangeSlot::CopysScanType;
  // Whether the scan-type handler stores the chosen scan type in the copy at once (otherwise
  // only reading the controls back does).
  bool scanTypeHandlerStoresScanType = true;
  // The handlers' names in the trace lines.
  const char* documentSizeAction = "popupDocumentTypeChanged:";
  const char* fileTypeAction = "popupFileTypeChanged:";
  const char* fileSizeAction = "popupFileSizeChanged:";
};

class ScanOptionEditor : public QWidget {
  Q_OBJECT

 public:
  // `ownerClass` names the page in the trace lines.
  explicit ScanOptionEditor(const QString& ownerClass, QWidget* parent = nullptr,
                            const ScanOptionPolicy& policy = ScanOptionPolicy());
  ~ScanOptionEditor() override;

  // Copies the record and the module flag (true: USB-only model) and fills the controls.
  void load(const FCL_RS_PARAM_SCANPROFILE& record, bool isB);
  // Reads the controls into the editor's copy, and makes the record to store of it: every field
  // whose controls the user did not change since load() as it was loaded.
  void applyData();
  // The scanner accepted the record to store: it becomes what the controls the user leaves alone
  // from now on stand for (as a fresh load would make it, without refilling the controls).
  void acceptStored();
  // The record to store, as the last applyData made it (as loaded before the first).
  const FCL_RS_PARAM_SCANPROFILE& record() const { return m_stored; }
  // The editor's working copy: what the handlers and applyData wrote into the record loaded.
  const FCL_RS_PARAM_SCANPROFILE& copy() const { return m_record; }
  // True at the first field (in the record's order, reserved bytes left out) where `other`
  // differs from the record to store; does not apply the controls first.
  bool differsFrom(const FCL_RS_PARAM_SCANPROFILE& other) const;

  struct Controls {
    QLabel* labelDocumentSize;
    platform::PopUpButton* popupDocumentSize;
    QLabel* labelScanType;
    platform::PopUpButton* popupScanType;
    QLabel* labelFileType;
    platform::PopUpButton* popupFileType;
    QLabel* labelFileSize;
    platform::PopUpButton* popupFileSize;
    QLabel* labelResolution;
    platform::PopUpButton* popupResolution;
    QLabel* label2SideScan;
    platform::PopUpButton* popupDuplexScan;
    QLabel* labelAutoDeskew;
    platform::PopUpButton* popupAutoDeskew;
    QLabel* labelMultifeedDetection;
    platform::PopUpButton* popupMultifeedDetection;
    QLabel* labelSkipBlankPages;
    platform::PopUpButton* popupSkipBlankPages;
    QLabel* labelSkipBlankPageSensitivity;
    platform::PopUpButton* popupSkipBlankPageSensitivity;
    QLabel* labelAutoColorDetectAdjust;
    platform::PopUpButton* popupAutoColorDetectAdjust;
    QLabel* labelBrightness;
    platform::PopUpButton* popupBrightness;
    QLabel* labelContrast;
    platform::PopUpButton* popupContrast;
    QLabel* labelContinuousScan;
    platform::PopUpButton* popupContinuousScan;
    QLabel* labelMarginSettings;
    QLabel* labelLeft;
    QLineEdit* textLeft;
    platform::Stepper* stepperLeft;
    QLabel* labelTop;
    QLineEdit* textTop;
    platform::Stepper* stepperTop;
    QLabel* labelRight;
    QLineEdit* textRight;
    platform::Stepper* stepperRight;
    QLabel* labelBottom;
    QLineEdit* textBottom;
    platform::Stepper* stepperBottom;
  };
  const Controls& controls() const { return m_ui; }

  static constexpr int kScanTypeBW = 0, kScanTypeGray = 1, kScanTypeColor = 2, kScanTypeAuto = 3;
  static constexpr int kDocumentSizeItems = 26;
  static constexpr int kRestrictedSize1 = 23, kRestrictedSize2 = 24;
  static constexpr int kFileTypeItems = 11;
  static constexpr int kResolutionItems = 6;
  static constexpr int kBrightnessMin = -5, kBrightnessMax = 5;  // the numbers offered
  // The common range of the four margin steppers, in the shown unit (tenths fit a signed byte).
  static constexpr double kMarginMin = -12.8, kMarginMax = 12.7, kMarginIncrement = 0.1;

  const ScanOptionPolicy& policy() const { return m_policy; }

  // The dpi of a resolution item (0 to 5), or -1 for any other index.
  static int resolutionDpi(int index);
  // The item of a dpi value, or -1 for a value the list does not offer.
  static int resolutionIndex(int dpi);
  // The longest leading part of `text` that is a number, "-" or empty.
  static QString numericStringFromString(const QString& text);
  static bool stringIsNumber(const QString& text);

 signals:
  // The option update has run (after loading, and after a change of document size, scan type,
  // resolution or two-sided scan).
  void optionsUpdated();
  // The user chose a file type; the copy already holds it.
  void fileTypeChosen();

 private:
  void buildLayout();
  void initLocalizedString();
  void updateScanOption();
  void marginTextChanged(QLineEdit* field);
  void stepperClicked(QLineEdit* field, double value);

  void popupDocumentTypeChanged();
  void popupScanTypeChanged();
  void popupFileTypeChanged();
  void popupFileSizeChanged();
  void popupResolution();
  void popup2SidedScan();

  // Which field of the stored record each control edits (at the end of loading).
  void bindFields();

  // The slots of a scan type in `r`; none for a scan type outside 0 to 3 (and no file size for
  // black and white).
  static uint8_t* fileTypeSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType);
  static uint8_t* fileSizeSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType);
  static uint16_t* resolutionSlot(FCL_RS_PARAM_SCANPROFILE& r, int scanType);
  // The scan type whose slot a file-size or resolution choice goes to (by the policy).
  int changeSlotScanType() const;
  platform::Stepper* stepperOf(QLineEdit* field) const;

  QString op(const char* selector) const;
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;

  Controls m_ui{};
  ScanOptionPolicy m_policy;
  PageTrace m_trace;
  QString m_owner;
  FCL_RS_PARAM_SCANPROFILE m_record{};  // the working copy: the handlers and applyData write here
  FCL_RS_PARAM_SCANPROFILE m_read{};    // as loaded
  FCL_RS_PARAM_SCANPROFILE m_stored{};  // what applyData made of m_record, untouched fields as read
  FilledValues m_filled;
  bool m_isB = false;
};
