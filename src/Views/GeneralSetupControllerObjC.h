#pragma once
// The general setup page (view identifier "generalSetup"): sleep time and auto power off (the
// lamp record), date and time, the panel's language, backlight and dim timer, the network
// interface choice and the six edge-correction offsets.
//
// The page follows the page contract (PageController.h). setParam copies the whole settings
// block, the lamp record and the factory defaults into the page and fills the controls;
// isDataChanged and getParam first apply the controls to those copies (applyData); getParam
// then hands the block, the lamp record and the language byte back. The page talks to no scanner.
//
// What the controls hold, and how a stored value that no control can show is kept:
//
//   control                     record field                            note
//   --------------------------  --------------------------------------  ---------------------------
//   sleep-time field + stepper  lamp dwCrg1Lamp2 (minutes, 5 to 90)     typing filter, see below
//   auto-power-off pop-up       lamp dwCrg2Lamp2: 0 60 120 240 480      other values: no selection
//   from-PC-clock box           sDateTime.dwTimeFromePC (1 on)          saving with it on also sets
//                                                                       bySetTimeMethod to 0
//   12 h / 24 h radios          sDateTime.byClockType (1: 12 h)
//   UTC+ / UTC- radios          sDateTime.byTimeZoneNegative (1: UTC-)
//   time-zone pop-up            sDateTime.dwTimeDiffSecs = item x 1800  "UTC 00:00".."UTC 11:30";
//                                                                       other values: no selection
//   daylight-saving ON / OFF    sDateTime.byEnableDST (1: on)           row shown only for country
//                                                                       codes 1, 3, 4 and 57
//   language pop-up (35 items)  sPanel.dwPanelLangCur (its low byte)    item i shown when bit i of
//                               and the language record                 u64PanelLangCap is set;
//                                                                       items 13, 22, 28, 30, 31
//                                                                       have no bit and stay hidden
//   backlight pop-up            sPanel.byBacklightLevel = item
//   dim-timer pop-up            sPanel.wDimTimer = item (0 off)         items 1 to 30 titled "N s"
//   network pop-up              sNetSetting.byIntrface = item
//   six edge fields             sEdgeCorrection, tenths: shown / 10     -2.0 to 2.0
//
// A control the user did not change since setParam puts its field back exactly as read
// (FilledValues.h): a value no item stands for (the pop-up shows none), a radio pair's or the
// check box's byte other than 0 and 1 (the nearer radio, the box off), a sleep time or edge
// offset outside its range, a language the pop-up has no item for. Only the user's changes are
// written, so the page nobody touched is never changed. The language pop-up shows the low byte of
// dwPanelLangCur; the language record handed to setParam is not looked at, and goes back as it
// came (with dwPanelLangCur as read) until the user picks a language, which goes into both. The
// one write without a touch: saving with the from-PC-clock box on sets bySetTimeMethod to 0 (the
// change check ignores it). Every other field of the block passes through unchanged.
//
// On the USB-only model the panel and network rows are hidden; their fields go back as read.
// The daylight-saving row, once hidden for a country code, stays hidden for the life of the page.
//
// Error check (isDataError), fields in this order: sleep time, bottom X, bottom Y, bottom tail,
// top X, top Y, top tail; only a field whose text the user changed since setParam is checked
// (FilledValues.h), so a stored sleep time or edge offset outside its range never blocks and is
// saved as stored. An empty field answers 1. The sleep time answers 2 when its integer value
// lies outside 5 to 90 (the keyboard focus then goes to it); an edge field answers 2 when its
// text is not a number or its value lies outside -2.0 to 2.0.
//
// Sleep-time typing filter: the text is cut back to its longest start that reads as a number;
// an emptied field gets its last non-empty text back; the stepper follows the field. A stepper
// click puts the stepper's value into the field.
//
// Trace at level 0x40 (">>>>>>> %@ ENTER", "<<<<<<< %@ END \n "), errors at level 0x02.

#include <QString>
#include <cstdint>

#include "IO/FCLRecords.h"
#include "Views/FilledValues.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class QButtonGroup;
class QCheckBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class Utilities;

namespace platform {
class PopUpButton;
class Stepper;
}  // namespace platform

class GeneralSetupControllerObjC : public PageController {
  Q_OBJECT

 public:
  explicit GeneralSetupControllerObjC(QWidget* parent = nullptr);
  ~GeneralSetupControllerObjC() override;

  // ---- Page contract (reads and writes the records of MainWindowState) ----------------------------
  void setParam(const MainWindowState& state) override;
  bool getParam(MainWindowState& state) override;
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;
  bool isFromPCClockON() const override;
  // What was written becomes what the controls the user leaves alone stand for.
  void saveAccepted() override;

  // ---- The same on the records themselves -----------------------------------------------------------
  // `language`: the language record, handed back as it came unless the user picks a language (the
  // page shows the block's dwPanelLangCur). `isB`: the connected scanner is the USB-only model.
  void setParam(const FCL_RS_PARAM_ALL& paramAll, const FCL_LAMP_STATE& lamp, uint8_t language,
                const FCL_RS_FACTORY_DEFSETTING& factoryDef, bool isB);
  void getParam(FCL_RS_PARAM_ALL& paramAll, FCL_LAMP_STATE& lamp, uint8_t& language);
  // True when the controls, applied to the page's copies, differ from `paramAll`, `lamp` or
  // `language`.
  bool isDataChanged(const FCL_RS_PARAM_ALL& paramAll, const FCL_LAMP_STATE& lamp, uint8_t language);

  // ---- The controls (for the main window's tests and the page's screenshots) -----------------------
  struct Controls {
    QLabel* labelTitle;
    // power
    QLabel* labelSleepTime;
    QLineEdit* textSleepTime;
    platform::Stepper* stepperSleepTime;
    QLabel* labelSleepUnit;
    QLabel* labelAutoPowerOff;
    platform::PopUpButton* popupAutoPowerOff;
    // date and time
    QGroupBox* groupDateTime;
    QCheckBox* chkFromPCClock;
    QLabel* labelClockType;
    QRadioButton* radio12hClock;
    QRadioButton* radio24hClock;
    QLabel* labelTimeZone;
    QRadioButton* radioUTCp;
    QRadioButton* radioUTCm;
    platform::PopUpButton* popupTimeZone;
    QLabel* labelDaylight;
    QRadioButton* radioDaylightOn;
    QRadioButton* radioDaylightOff;
    // panel
    QGroupBox* groupPanel;
    QLabel* labelLanguage;
    platform::PopUpButton* popupLanguage;
    QLabel* labelBacklight;
    platform::PopUpButton* popupBacklight;
    QLabel* labelDimTimer;
    platform::PopUpButton* popupDimTimer;
    // network
    QGroupBox* groupNetwork;
    QLabel* labelNetworkOption;
    platform::PopUpButton* popupNetwork;
    QLabel* labelNetworkHint;
    // edge correction
    QLineEdit* textTopY;
    QLineEdit* textTopX;
    QLineEdit* textTopTail;
    QLineEdit* textBtmY;
    QLineEdit* textBtmX;
    QLineEdit* textBtmTail;
  };
  const Controls& controls() const { return m_ui; }

  // The item counts of the pop-ups the layout builds.
  static constexpr int kLanguageItems = 35;
  static constexpr int kTimeZoneItems = 24;  // 0:00 to 11:30 in half hours
  static constexpr int kDimTimerItems = 31;  // off, then 1 to 30
  static constexpr uint32_t kTimeZoneStepSecs = 1800;
  // The sleep time's range (minutes) and its stepper's increment.
  static constexpr int kSleepTimeMin = 5;
  static constexpr int kSleepTimeMax = 90;
  static constexpr int kSleepTimeIncrement = 1;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private slots:
  void controlTextDidChange();
  void sleepStepperClicked(double value);
  void radioOpenPressed();
  void radioClosePressed();
  void radioUTCpPressed();
  void radioUTCmPressed();
  void radio12hClockPresed();
  void radio24hClockPresed();

 private:
  void buildLayout();
  void initLocalizedString();
  void initUI();
  // Which field each control edits (after initUI); see FilledValues.h.
  void bindFields();
  void applyData();
  void setupPanelLanguageCap();
  void setupB_UI();
  bool stringIsNumber(const QString& text);
  QString numericStringFromString(const QString& text);
  // The error code of one edge field (0, 1 or 2).
  static int32_t edgeFieldError(const QLineEdit* field);

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  Controls m_ui{};
  QGroupBox* m_groupPower = nullptr;
  QGroupBox* m_groupEdge = nullptr;
  QLabel* m_labelEdgeTop = nullptr;
  QLabel* m_labelEdgeBottom = nullptr;
  QLabel* m_labelEdgeRows[3] = {};  // Y, X, tail
  QLabel* m_labelEdgeHint = nullptr;
  QFormLayout* m_dateTimeForm = nullptr;
  int m_daylightRow = -1;

  FCL_RS_PARAM_ALL paramAll{};
  FCL_LAMP_STATE lampState{};
  FCL_RS_FACTORY_DEFSETTING factoryDef{};
  Utilities& ut;
  bool bIsB = false;
  QString lastSleepTime;
  uint8_t byLanguage = 0;
  // The language record as handed over, or the language the user picked.
  uint8_t m_languageRecord = 0;
  // What each control showed when setParam filled it, and the field it edits.
  FilledValues m_filled;
  // Seven brackets, and one blank after the end line's newline: this page's own trace lines.
  PageTrace m_trace{7, QStringLiteral("\n ")};
};
