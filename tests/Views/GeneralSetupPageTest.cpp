// The general setup page driven as a user drives it: typing into its fields, choosing pop-up
// items and clicking its radios and check box, then reading what getParam writes.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <functional>

#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "Model/Utilities.h"
#include "Views/GeneralSetupControllerObjC.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageTable.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"

namespace {

using Page = GeneralSetupControllerObjC;

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

// A scanner's records as the main window holds them. Every byte the page does not edit carries
// a pattern, so that a page that touches them shows up in the comparisons.
MainWindowState scannerState(bool usbOnly = false) {
  MainWindowState s;
  std::memset(&s.sParamAll, 0xA5, sizeof s.sParamAll);
  std::memset(&s.sLampState, 0x5A, sizeof s.sLampState);
  std::memset(&s.sFactoryDef, 0x3C, sizeof s.sFactoryDef);
  FCL_RS_PARAM_GENERAL& g = s.sParamAll.sGeneral;
  g.sPanel.byBacklightLevel = 1;
  g.sPanel.wDimTimer = 2;
  g.sPanel.u64PanelLangCap = 0x3FF;
  g.sPanel.dwPanelLangCur = 4;
  g.sEdgeCorrection = {-20, -5, 0, 7, 15, 20};
  FCL_RS_PARAM_DATE_TIME& t = g.sDateTime;
  t.bySetTimeMethod = 2;
  t.byTimeZoneNegative = 0;
  t.byEnableDST = 1;
  t.byClockType = 0;
  t.dwTimeDiffSecs = 5 * 3600;
  t.dwTimeFromePC = 0;
  s.sParamAll.sNetSetting.byIntrface = 3;
  s.sLampState.dwCrg1Lamp2 = 15;
  s.sLampState.dwCrg2Lamp2 = 60;
  s.sFactoryDef.dwCountryCode = 1;
  s.byLanguage = 0x77;  // not the page's source of the language
  s.bIsB = usbOnly;
  return s;
}

// A shown page filled from `state`.
struct ShownPage {
  explicit ShownPage(const MainWindowState& state) {
    page.resize(560, 520);
    page.setParam(state);
    page.show();
  }
  const Page::Controls& ui() const { return page.controls(); }
  Page page;
};

// Replaces a field's text the way a user does: select all, then type (or delete).
void typeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
  else QTest::keyClicks(field, text);
}

void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

MainWindowState saved(Page& page, const MainWindowState& from) {
  MainWindowState out = from;
  EXPECT_TRUE(page.getParam(out));
  return out;
}

bool sameBytes(const MainWindowState& a, const MainWindowState& b) {
  return std::memcmp(&a.sParamAll, &b.sParamAll, sizeof a.sParamAll) == 0 &&
         std::memcmp(&a.sLampState, &b.sLampState, sizeof a.sLampState) == 0;
}

}  // namespace

TEST(GeneralSetupPage, IsTheStandardFactorysGeneralSetupPage) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kGeneralSetupStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "generalSetup");
}

// Nothing the user did not touch may change, on either model, also for stored values that no
// control can show (out-of-table times, out-of-range indexes, odd edge offsets, a language the
// pop-up has no item for, a radio pair's or the check box's byte other than 0 and 1): the page
// reports no change and hands back every byte, and the language record, as it came.
TEST(GeneralSetupPage, UntouchedPageWritesEveryRecordBackUnchanged) {
  struct Case {
    const char* what;
    std::function<void(MainWindowState&)> edit;
  };
  const Case cases[] = {
      {"ordinary records", [](MainWindowState&) {}},
      {"backlight 3, dim timer 30", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sPanel.byBacklightLevel = 3;
         s.sParamAll.sGeneral.sPanel.wDimTimer = 30;
       }},
      {"dim timer and interface outside the items", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sPanel.wDimTimer = 500;
         s.sParamAll.sNetSetting.byIntrface = 9;
       }},
      {"language 40", [](MainWindowState& s) { s.sParamAll.sGeneral.sPanel.dwPanelLangCur = 40; }},
      {"time difference 43200", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeDiffSecs = 43200; }},
      {"time difference 0xFFFFFFFF", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeDiffSecs = ~0u; }},
      {"time difference 1000", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeDiffSecs = 1000; }},
      {"auto power off 45", [](MainWindowState& s) { s.sLampState.dwCrg2Lamp2 = 45; }},
      {"auto power off 480", [](MainWindowState& s) { s.sLampState.dwCrg2Lamp2 = 480; }},
      {"sleep time out of range", [](MainWindowState& s) { s.sLampState.dwCrg1Lamp2 = 200; }},
      {"edge extremes", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection = {-32768, 32767, -1, 1, -19, 19}; }},
      {"country without daylight saving", [](MainWindowState& s) { s.sFactoryDef.dwCountryCode = 2; }},
      {"clock from this computer", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeFromePC = 1; }},
      {"UTC-, 12 h, no daylight saving", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sDateTime.byTimeZoneNegative = 1;
         s.sParamAll.sGeneral.sDateTime.byClockType = 1;
         s.sParamAll.sGeneral.sDateTime.byEnableDST = 0;
       }},
      {"language 0xFFFFFFFF", [](MainWindowState& s) { s.sParamAll.sGeneral.sPanel.dwPanelLangCur = ~0u; }},
      {"language 0x80000000, record 0", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sPanel.dwPanelLangCur = 0x80000000u;
         s.byLanguage = 0;
       }},
      {"language 0x0105", [](MainWindowState& s) { s.sParamAll.sGeneral.sPanel.dwPanelLangCur = 0x0105; }},
      {"radio bytes 2", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sDateTime.byTimeZoneNegative = 2;
         s.sParamAll.sGeneral.sDateTime.byClockType = 2;
         s.sParamAll.sGeneral.sDateTime.byEnableDST = 2;
       }},
      {"radio bytes 0xFF", [](MainWindowState& s) {
         s.sParamAll.sGeneral.sDateTime.byTimeZoneNegative = 0xFF;
         s.sParamAll.sGeneral.sDateTime.byClockType = 0xFF;
         s.sParamAll.sGeneral.sDateTime.byEnableDST = 0xFF;
       }},
      {"clock from this computer 2", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeFromePC = 2; }},
      {"clock from this computer 0xFFFFFFFF", [](MainWindowState& s) { s.sParamAll.sGeneral.sDateTime.dwTimeFromePC = ~0u; }},
  };
  for (bool usbOnly : {false, true}) {
    ShownPage shown(scannerState(usbOnly));  // one page, filled again for each case
    for (const Case& c : cases) {
      MainWindowState state = scannerState(usbOnly);
      c.edit(state);
      shown.page.setParam(state);
      EXPECT_FALSE(shown.page.isDataChanged(state)) << c.what << (usbOnly ? " (USB-only)" : "");
      MainWindowState out = saved(shown.page, state);
      if (state.sParamAll.sGeneral.sDateTime.dwTimeFromePC == 1) out.sParamAll.sGeneral.sDateTime.bySetTimeMethod = 2;
      EXPECT_TRUE(sameBytes(out, state)) << c.what << (usbOnly ? " (USB-only)" : "");
      EXPECT_EQ(out.byLanguage, state.byLanguage) << c.what;
    }
  }
}

TEST(GeneralSetupPage, EveryTenthOfTheRangeSurvivesShowingAndSaving) {
  ShownPage shown(scannerState());
  for (int tenths = -20; tenths <= 20; ++tenths) {
    MainWindowState state = scannerState();
    const int16_t v = int16_t(tenths);
    state.sParamAll.sGeneral.sEdgeCorrection = {v, v, v, v, v, v};
    shown.page.setParam(state);
    EXPECT_EQ(shown.page.isDataError(), 0) << tenths << " shows as " << shown.ui().textTopY->text().toStdString();
    EXPECT_FALSE(shown.page.isDataChanged(state)) << tenths;
  }
}

TEST(GeneralSetupPage, SleepTimeRangeAndFocus) {
  struct Case {
    const char* typed;
    int32_t error;
    uint32_t stored;
  };
  for (const Case& c : {Case{"5", 0, 5}, Case{"90", 0, 90}, Case{"4", 2, 0}, Case{"91", 2, 0}, Case{"5.9", 0, 5},
                        Case{"-5", 2, 0}}) {
    ShownPage shown(scannerState());
    QApplication::setActiveWindow(&shown.page);
    shown.ui().textTopX->setFocus();
    typeInto(shown.ui().textSleepTime, c.typed);
    shown.ui().textTopX->setFocus();  // the user moved on
    EXPECT_EQ(shown.page.isDataError(), c.error) << c.typed;
    EXPECT_EQ(shown.page.focusWidget() == shown.ui().textSleepTime, c.error == 2) << c.typed;
    if (c.error == 0) {
      EXPECT_EQ(saved(shown.page, scannerState()).sLampState.dwCrg1Lamp2, c.stored) << c.typed;
    }
  }
}

TEST(GeneralSetupPage, SleepTimeTypingFilterAndStepper) {
  ShownPage shown(scannerState());
  QLineEdit* field = shown.ui().textSleepTime;
  platform::Stepper* stepper = shown.ui().stepperSleepTime;
  EXPECT_EQ(field->text(), "15");
  EXPECT_EQ(stepper->intValue(), 15);

  typeInto(field, "12a");
  EXPECT_EQ(field->text(), "12");
  EXPECT_EQ(stepper->intValue(), 12);

  typeInto(field, "");  // select all and delete: the last text comes back
  EXPECT_EQ(field->text(), "12");

  QTest::keyClick(field, Qt::Key_End);
  QTest::keyClick(field, Qt::Key_Backspace);  // "1"
  QTest::keyClick(field, Qt::Key_Backspace);  // emptied: "1" comes back
  EXPECT_EQ(field->text(), "1");
  EXPECT_EQ(stepper->intValue(), 5);  // the stepper keeps to its range

  typeInto(field, "3x7");
  EXPECT_EQ(field->text(), "37");  // the "x" went; the "7" typed after it was kept as "37"

  // A stepper click puts its value into the field, and that value is what an emptied field gets back.
  click(stepper->upButton());
  EXPECT_EQ(field->text(), "38");
  typeInto(field, "");
  EXPECT_EQ(field->text(), "38");
  EXPECT_EQ(saved(shown.page, scannerState()).sLampState.dwCrg1Lamp2, 38u);

  // Filling the page from the records is not typing.
  MainWindowState state = scannerState();
  state.sLampState.dwCrg1Lamp2 = 60;
  shown.page.setParam(state);
  EXPECT_EQ(field->text(), "60");
  EXPECT_EQ(stepper->intValue(), 60);
  typeInto(field, "");
  EXPECT_EQ(field->text(), "60");
}

TEST(GeneralSetupPage, EdgeFieldsCheckTheirWholeValue) {
  struct Case {
    const char* typed;
    int32_t error;
    int16_t stored;  // when error is 0
  };
  const Case cases[] = {
      {"-2", 0, -20}, {"2", 0, 20},   {"2.0", 0, 20},  {"1.5", 0, 15}, {"-0.7", 0, -7}, {"0", 0, 0},
      {"1e0", 0, 10}, {"1.99", 0, 19}, {"2.5", 2, 0},  {"2.9", 2, 0},  {"-2.9", 2, 0}, {"2.01", 2, 0},
      {"3", 2, 0},    {"-3", 2, 0},   {"99999", 2, 0}, {"x", 2, 0},    {"1,5", 2, 0},  {"1.5mm", 2, 0},
      {"", 1, 0},
  };
  using Getter = int16_t FCL_SCAN_EDGE_INFO::*;
  struct Field {
    QLineEdit* Page::Controls::*control;
    Getter member;
  };
  const Field fields[] = {
      {&Page::Controls::textTopY, &FCL_SCAN_EDGE_INFO::nTop_YOffset},
      {&Page::Controls::textTopX, &FCL_SCAN_EDGE_INFO::nTop_XOffset},
      {&Page::Controls::textBtmY, &FCL_SCAN_EDGE_INFO::nBtm_YOffset},
      {&Page::Controls::textBtmX, &FCL_SCAN_EDGE_INFO::nBtm_XOffset},
      {&Page::Controls::textTopTail, &FCL_SCAN_EDGE_INFO::nTop_TailOffset},
      {&Page::Controls::textBtmTail, &FCL_SCAN_EDGE_INFO::nBtm_TailOffset},
  };
  ShownPage shown(scannerState());
  for (const Field& f : fields) {
    for (const Case& c : cases) {
      shown.page.setParam(scannerState());
      QLineEdit* field = shown.ui().*f.control;
      typeInto(field, c.typed);
      EXPECT_EQ(field->text(), c.typed) << "edge fields have no typing filter";
      EXPECT_EQ(shown.page.isDataError(), c.error) << c.typed << " in " << field->objectName().toStdString();
      if (c.error == 0) {
        const MainWindowState out = saved(shown.page, scannerState());
        EXPECT_EQ(out.sParamAll.sGeneral.sEdgeCorrection.*f.member, c.stored) << c.typed;
      }
    }
  }
}

TEST(GeneralSetupPage, ErrorChecksRunInOrder) {
  // Sleep time, bottom X, bottom Y, bottom tail, top X, top Y, top tail: the first failing field answers.
  struct Case {
    const char* sleep;
    const char* btmX;
    const char* btmY;
    const char* btmTail;
    const char* topX;
    const char* topY;
    const char* topTail;
    int32_t error;
  };
  const Case cases[] = {
      {"95", "", "", "", "", "", "", 2},
      {"15", "9", "", "", "", "", "", 2},
      {"15", "0", "", "9", "9", "9", "9", 1},
      {"15", "0", "0", "x", "", "", "", 2},
      {"15", "0", "0", "0", "", "9", "9", 1},
      {"15", "0", "0", "0", "0", "5", "", 2},
      {"15", "0", "0", "0", "0", "0", "", 1},
      {"15", "0", "0", "0", "0", "0", "0", 0},
  };
  ShownPage shown(scannerState());
  const Page::Controls& ui = shown.ui();
  for (const Case& c : cases) {
    shown.page.setParam(scannerState());
    typeInto(ui.textSleepTime, c.sleep);
    typeInto(ui.textBtmX, c.btmX);
    typeInto(ui.textBtmY, c.btmY);
    typeInto(ui.textBtmTail, c.btmTail);
    typeInto(ui.textTopX, c.topX);
    typeInto(ui.textTopY, c.topY);
    typeInto(ui.textTopTail, c.topTail);
    EXPECT_EQ(shown.page.isDataError(), c.error) << c.sleep << "/" << c.btmX << "/" << c.btmY << "/" << c.btmTail
                                                 << "/" << c.topX << "/" << c.topY << "/" << c.topTail;
  }
}

// ---- Stored values outside the checks ---------------------------------------------------------------------

namespace {

// A stored value outside the page's checks, the field that shows it, and the same value as the
// user would type it.
struct OutsideValue {
  const char* what;
  std::function<void(MainWindowState&)> store;
  QLineEdit* Page::Controls::*field;
  const char* typed;
};
const OutsideValue kOutsideValues[] = {
    {"sleep time 0", [](MainWindowState& s) { s.sLampState.dwCrg1Lamp2 = 0; }, &Page::Controls::textSleepTime, "0"},
    {"sleep time 4", [](MainWindowState& s) { s.sLampState.dwCrg1Lamp2 = 4; }, &Page::Controls::textSleepTime, "4"},
    {"sleep time 91", [](MainWindowState& s) { s.sLampState.dwCrg1Lamp2 = 91; }, &Page::Controls::textSleepTime, "91"},
    {"sleep time 4294967295", [](MainWindowState& s) { s.sLampState.dwCrg1Lamp2 = ~0u; },
     &Page::Controls::textSleepTime, "4294967295"},
    {"bottom X 2.5", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nBtm_XOffset = 25; },
     &Page::Controls::textBtmX, "2.5"},
    {"bottom Y -2.5", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nBtm_YOffset = -25; },
     &Page::Controls::textBtmY, "-2.5"},
    {"bottom tail 2.1", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nBtm_TailOffset = 21; },
     &Page::Controls::textBtmTail, "2.1"},
    {"top X 3276.7", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nTop_XOffset = 32767; },
     &Page::Controls::textTopX, "3276.7"},
    {"top Y -3276.8", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nTop_YOffset = -32768; },
     &Page::Controls::textTopY, "-3276.8"},
    {"top tail 10", [](MainWindowState& s) { s.sParamAll.sGeneral.sEdgeCorrection.nTop_TailOffset = 100; },
     &Page::Controls::textTopTail, "10"},
};

// How the alerts name each checked field, and the values it takes.
struct FieldName {
  QLineEdit* Page::Controls::*field;
  const char* name;
  const char* range;
};
const FieldName kFieldNames[] = {
    {&Page::Controls::textSleepTime, "Sleep time", "5\u201390"},
    {&Page::Controls::textBtmX, "Bottom X offset", "\u22122.0 to 2.0"},
    {&Page::Controls::textBtmY, "Bottom Y offset", "\u22122.0 to 2.0"},
    {&Page::Controls::textBtmTail, "Bottom tail offset", "\u22122.0 to 2.0"},
    {&Page::Controls::textTopX, "Top X offset", "\u22122.0 to 2.0"},
    {&Page::Controls::textTopY, "Top Y offset", "\u22122.0 to 2.0"},
    {&Page::Controls::textTopTail, "Top tail offset", "\u22122.0 to 2.0"},
};
const FieldName& nameOf(QLineEdit* Page::Controls::*field) {
  return *std::find_if(std::begin(kFieldNames), std::end(kFieldNames),
                       [field](const FieldName& n) { return n.field == field; });
}

}  // namespace

// A value the scanner holds never keeps the user on the page: leaving (asked again and again),
// editing other fields, changing the field and changing it back, and saving; it goes back to the
// scanner exactly as stored, beside the user's edits.
TEST(GeneralSetupPage, StoredValuesOutsideTheChecksNeverBlock) {
  ShownPage shown(scannerState());
  QApplication::setActiveWindow(&shown.page);
  const Page::Controls& ui = shown.ui();
  for (const OutsideValue& c : kOutsideValues) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;  // any alert fails the test
    MainWindowState state = scannerState();
    c.store(state);
    shown.page.setParam(state);
    QLineEdit* field = ui.*c.field;
    EXPECT_EQ(field->text(), c.typed);
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_FALSE(checkDataError(shown.page.isDataError()));

    // The user edits other fields, and this one there and back.
    MainWindowState expected = state;
    if (field == ui.textSleepTime) {
      typeInto(ui.textBtmX, "1.5");
      expected.sParamAll.sGeneral.sEdgeCorrection.nBtm_XOffset = 15;
    } else {
      typeInto(ui.textSleepTime, "30");
      expected.sLampState.dwCrg1Lamp2 = 30;
    }
    ASSERT_TRUE(ui.popupBacklight->chooseItem(2));
    expected.sParamAll.sGeneral.sPanel.byBacklightLevel = 2;
    typeInto(field, "1");
    typeInto(field, c.typed);
    EXPECT_FALSE(checkDataError(shown.page.isDataError()));
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_TRUE(shown.page.isDataChanged(state));
    EXPECT_TRUE(sameBytes(saved(shown.page, state), expected));
  }
}

// The same values typed by the user still refuse, with the main window's out-of-range alert;
// the sleep time takes the focus, the edge fields leave it where it was.
TEST(GeneralSetupPage, TheSameValuesTypedStillBlock) {
  ShownPage shown(scannerState());
  QApplication::setActiveWindow(&shown.page);
  const Page::Controls& ui = shown.ui();
  for (const OutsideValue& c : kOutsideValues) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    shown.page.setParam(scannerState());
    QLineEdit* field = ui.*c.field;
    typeInto(field, c.typed);
    ui.chkFromPCClock->setFocus();  // the user moved on
    const int32_t code = shown.page.isDataError();
    EXPECT_EQ(code, kPageErrorOutOfRange);
    dialogs.expectAlert(0, platform::tr_(QStringLiteral("IDS_CM_ERROR")));
    EXPECT_TRUE(checkDataError(code, shown.page.failedField()));
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    const FieldName& named = nameOf(c.field);
    EXPECT_EQ(dialogs.alerts()[0].information,
              QString::fromUtf8(named.name) +
                  QString::fromUtf8(" is out of range or not in the right form. Please enter a value in the range ") +
                  QString::fromUtf8(named.range) + u'.');
    EXPECT_EQ(shown.page.focusWidget() == field, field == ui.textSleepTime);
    // And again at the next attempt, also after an edit elsewhere.
    ASSERT_TRUE(ui.popupBacklight->chooseItem(0));
    EXPECT_EQ(shown.page.isDataError(), kPageErrorOutOfRange);
  }
}

// An emptied edge field is named by the main window's alert, whichever of the six it is, not as
// the sleep time (which typing never empties: its last value comes back).
TEST(GeneralSetupPage, AnEmptiedFieldIsNamedByTheAlert) {
  ShownPage shown(scannerState());
  QApplication::setActiveWindow(&shown.page);
  for (const FieldName& n : kFieldNames) {
    if (n.field == &Page::Controls::textSleepTime) continue;
    SCOPED_TRACE(n.name);
    ScriptedDialogs dialogs;
    shown.page.setParam(scannerState());
    typeInto(shown.ui().*n.field, QString());
    const int32_t code = shown.page.isDataError();
    EXPECT_EQ(code, kPageErrorEmpty);
    dialogs.expectAlert(0, QString::fromUtf8(n.name) + QStringLiteral(" cannot be empty. Please fill it in."));
    EXPECT_TRUE(checkDataError(code, shown.page.failedField()));
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
}

TEST(GeneralSetupPage, TimeZoneItemsAndStoredDifferencesBeyondThem) {
  ScopedDebugMask mask(0x42);
  LogCapture log;
  MainWindowState state = scannerState();
  state.sParamAll.sGeneral.sDateTime.dwTimeDiffSecs = 41400;
  ShownPage shown(state);
  platform::PopUpButton* zones = shown.ui().popupTimeZone;
  EXPECT_EQ(zones->numberOfItems(), 24);
  EXPECT_EQ(zones->itemTitle(0), "UTC 00:00");
  EXPECT_EQ(zones->itemTitle(23), "UTC 11:30");
  EXPECT_EQ(zones->indexOfSelectedItem(), 23);
  EXPECT_TRUE(log.contains("\t\t\tgeneralSetup.sDateTime.dwTimeDiffSecs(41400), nUTCIndex(23)"));
  ASSERT_TRUE(zones->chooseItem(3));
  EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.dwTimeDiffSecs, 5400u);
  ASSERT_TRUE(zones->chooseItem(23));
  EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.dwTimeDiffSecs, 41400u);

  // 43200 has no item: none is shown (not the one of the last filling), and it is kept.
  log.clear();
  state.sParamAll.sGeneral.sDateTime.dwTimeDiffSecs = 43200;
  shown.page.setParam(state);
  EXPECT_EQ(zones->indexOfSelectedItem(), -1);
  EXPECT_TRUE(log.contains("\t\t\tgeneralSetup.sDateTime.dwTimeDiffSecs(43200), nUTCIndex(24)"));
  EXPECT_TRUE(log.contains("========= -[GeneralSetupControllerObjC initUI] ERROR: \t\t\tERROR: nUTCIndex > 23\n"));
  EXPECT_FALSE(shown.page.isDataChanged(state));
  EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.dwTimeDiffSecs, 43200u);
  // Until the user picks one.
  ASSERT_TRUE(zones->chooseItem(0));
  EXPECT_TRUE(shown.page.isDataChanged(state));
  EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.dwTimeDiffSecs, 0u);
}

TEST(GeneralSetupPage, UsersChoicesReachTheirFields) {
  struct Case {
    const char* what;
    std::function<void(const Page::Controls&)> act;
    std::function<bool(const MainWindowState&)> check;
  };
  const Case cases[] = {
      {"auto power off 8 hours", [](const Page::Controls& ui) { ui.popupAutoPowerOff->chooseItem(4); },
       [](const MainWindowState& s) { return s.sLampState.dwCrg2Lamp2 == 480; }},
      {"auto power off off", [](const Page::Controls& ui) { ui.popupAutoPowerOff->chooseItem(0); },
       [](const MainWindowState& s) { return s.sLampState.dwCrg2Lamp2 == 0; }},
      {"backlight dark", [](const Page::Controls& ui) { ui.popupBacklight->chooseItem(2); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sPanel.byBacklightLevel == 2; }},
      {"dim timer 30", [](const Page::Controls& ui) { ui.popupDimTimer->chooseItem(30); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sPanel.wDimTimer == 30; }},
      {"dim timer off", [](const Page::Controls& ui) { ui.popupDimTimer->chooseItem(0); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sPanel.wDimTimer == 0; }},
      {"network wired", [](const Page::Controls& ui) { ui.popupNetwork->chooseItem(1); },
       [](const MainWindowState& s) { return s.sParamAll.sNetSetting.byIntrface == 1; }},
      {"language Svenska", [](const Page::Controls& ui) { ui.popupLanguage->chooseItem(9); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sPanel.dwPanelLangCur == 9 && s.byLanguage == 9; }},
      {"UTC-", [](const Page::Controls& ui) { click(ui.radioUTCm); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sDateTime.byTimeZoneNegative == 1; }},
      {"12 h", [](const Page::Controls& ui) { click(ui.radio12hClock); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sDateTime.byClockType == 1; }},
      {"daylight saving off", [](const Page::Controls& ui) { click(ui.radioDaylightOff); },
       [](const MainWindowState& s) { return s.sParamAll.sGeneral.sDateTime.byEnableDST == 0; }},
  };
  for (const Case& c : cases) {
    const MainWindowState state = scannerState();
    ShownPage shown(state);
    c.act(shown.ui());
    EXPECT_TRUE(shown.page.isDataChanged(state)) << c.what;
    EXPECT_TRUE(c.check(saved(shown.page, state))) << c.what;
  }

  // Each radio pair stays one of two, and the pairs do not affect one another.
  ShownPage shown(scannerState());
  const Page::Controls& ui = shown.ui();
  click(ui.radioUTCm);
  click(ui.radio12hClock);
  click(ui.radioDaylightOff);
  click(ui.radioDaylightOn);
  EXPECT_TRUE(ui.radioUTCm->isChecked() && !ui.radioUTCp->isChecked());
  EXPECT_TRUE(ui.radio12hClock->isChecked() && !ui.radio24hClock->isChecked());
  EXPECT_TRUE(ui.radioDaylightOn->isChecked() && !ui.radioDaylightOff->isChecked());
}

// A radio pair or the check box holding a byte other than 0 and 1 shows the nearer state; it is
// written only when the user changes the state, and then as 0 or 1.
TEST(GeneralSetupPage, OddRadioAndBoxBytesChangeOnlyByTheUsersClick) {
  struct Case {
    const char* what;
    std::function<void(const Page::Controls&)> act;
    uint8_t zone, clock, dst;  // saved
    uint32_t fromPC;
  };
  const Case cases[] = {
      {"nothing clicked", [](const Page::Controls&) {}, 2, 0xFF, 7, 2},
      {"the shown radios clicked again", [](const Page::Controls& ui) {
         click(ui.radioUTCm);
         click(ui.radio12hClock);
         click(ui.radioDaylightOn);
       }, 2, 0xFF, 7, 2},
      {"UTC+, 24 h, daylight saving off, box on", [](const Page::Controls& ui) {
         click(ui.radioUTCp);
         click(ui.radio24hClock);
         click(ui.radioDaylightOff);
         click(ui.chkFromPCClock);
       }, 0, 0, 0, 1},
      {"box on and off again", [](const Page::Controls& ui) {
         click(ui.chkFromPCClock);
         click(ui.chkFromPCClock);
       }, 2, 0xFF, 7, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MainWindowState state = scannerState();
    FCL_RS_PARAM_DATE_TIME& t = state.sParamAll.sGeneral.sDateTime;
    t.byTimeZoneNegative = 2;
    t.byClockType = 0xFF;
    t.byEnableDST = 7;
    t.dwTimeFromePC = 2;
    ShownPage shown(state);
    c.act(shown.ui());
    const FCL_RS_PARAM_DATE_TIME& out = saved(shown.page, state).sParamAll.sGeneral.sDateTime;
    EXPECT_EQ(out.byTimeZoneNegative, c.zone);
    EXPECT_EQ(out.byClockType, c.clock);
    EXPECT_EQ(out.byEnableDST, c.dst);
    EXPECT_EQ(out.dwTimeFromePC, c.fromPC);
  }
}

TEST(GeneralSetupPage, StoredAutoPowerOffOutsideTheTableIsKeptUntilChosen) {
  MainWindowState state = scannerState();
  state.sLampState.dwCrg2Lamp2 = 240;
  ShownPage shown(state);
  EXPECT_EQ(shown.ui().popupAutoPowerOff->indexOfSelectedItem(), 3);
  state.sLampState.dwCrg2Lamp2 = 45;
  shown.page.setParam(state);
  EXPECT_EQ(shown.ui().popupAutoPowerOff->indexOfSelectedItem(), -1);  // not the 4 hours of before
  EXPECT_EQ(saved(shown.page, state).sLampState.dwCrg2Lamp2, 45u);
  shown.ui().popupAutoPowerOff->chooseItem(1);
  EXPECT_EQ(saved(shown.page, state).sLampState.dwCrg2Lamp2, 60u);
}

TEST(GeneralSetupPage, LanguageItemsFollowTheCapabilityBits) {
  const int withoutBit[] = {13, 22, 28, 30, 31};
  auto isWithoutBit = [&](int i) { return std::find(std::begin(withoutBit), std::end(withoutBit), i) != std::end(withoutBit); };
  MainWindowState state = scannerState();
  ShownPage shown(state);
  platform::PopUpButton* languages = shown.ui().popupLanguage;
  ASSERT_EQ(languages->numberOfItems(), 35);
  EXPECT_EQ(languages->itemTitle(0), "English (US)");
  EXPECT_EQ(languages->itemTitle(23), languages->itemTitle(24));
  EXPECT_EQ(languages->itemTitle(3), languages->itemTitle(34));

  for (uint64_t cap : {uint64_t(0), ~uint64_t(0), uint64_t(0x3FF), (uint64_t(1) << 13) | (uint64_t(1) << 34)}) {
    state.sParamAll.sGeneral.sPanel.u64PanelLangCap = cap;
    shown.page.setParam(state);
    for (int i = 0; i < 35; ++i) {
      // The five without a bit keep the layout's state (hidden), whatever the bits say.
      const bool hidden = isWithoutBit(i) || ((cap >> i) & 1) == 0;
      EXPECT_EQ(languages->isItemHidden(i), hidden) << "item " << i << " cap " << std::hex << cap;
    }
  }

  // The stored language is shown even when its item is hidden; 0x0105 reads as 5 and, untouched,
  // goes back as 0x0105 with the language record as it came.
  state.sParamAll.sGeneral.sPanel.u64PanelLangCap = 0;
  state.sParamAll.sGeneral.sPanel.dwPanelLangCur = 0x0105;
  shown.page.setParam(state);
  EXPECT_EQ(languages->indexOfSelectedItem(), 5);
  EXPECT_EQ(languages->titleOfSelectedItem(), "Español");
  EXPECT_FALSE(shown.page.isDataChanged(state));
  MainWindowState out = saved(shown.page, state);
  EXPECT_EQ(out.sParamAll.sGeneral.sPanel.dwPanelLangCur, 0x0105u);
  EXPECT_EQ(out.byLanguage, state.byLanguage);
}

// A language the user picks goes into the block's language and the language record alike; one the
// pop-up has no item for stays, in both, until then.
TEST(GeneralSetupPage, PickedLanguageGoesIntoTheBlockAndTheRecord) {
  struct Case {
    const char* what;
    uint32_t stored;
    uint8_t record;
    int picked;  // -1: none
    uint32_t savedCur;
    uint8_t savedRecord;
    bool changed;
  };
  const Case cases[] = {
      {"no item, untouched", ~0u, 0, -1, ~0u, 0, false},
      {"no item, Svenska picked", ~0u, 0, 9, 9, 9, true},
      {"high bits, item 0 shown, untouched", 0x80000000u, 0, -1, 0x80000000u, 0, false},
      {"high bits, Deutsch picked", 0x80000000u, 0, 2, 2, 2, true},
      {"record apart, the shown item picked again", 4, 7, 4, 4, 7, false},
      {"record apart, Dansk picked", 4, 7, 11, 11, 11, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MainWindowState state = scannerState();
    state.sParamAll.sGeneral.sPanel.u64PanelLangCap = ~uint64_t(0);
    state.sParamAll.sGeneral.sPanel.dwPanelLangCur = c.stored;
    state.byLanguage = c.record;
    ShownPage shown(state);
    if (c.picked >= 0) {
      ASSERT_TRUE(shown.ui().popupLanguage->chooseItem(c.picked));
    }
    EXPECT_EQ(shown.page.isDataChanged(state), c.changed);
    const MainWindowState out = saved(shown.page, state);
    EXPECT_EQ(out.sParamAll.sGeneral.sPanel.dwPanelLangCur, c.savedCur);
    EXPECT_EQ(out.byLanguage, c.savedRecord);
  }
}

// Once the scanner has taken a save, the language the user picks back is the one written, into the
// block and the record alike: the record read at first is not put back.
TEST(GeneralSetupPage, AfterAnAcceptedSaveUntouchedMeansAsSaved) {
  MainWindowState state = scannerState();
  state.sParamAll.sGeneral.sPanel.u64PanelLangCap = ~uint64_t(0);
  state.sParamAll.sGeneral.sPanel.dwPanelLangCur = 5;
  state.byLanguage = 7;
  ShownPage shown(state);
  ASSERT_TRUE(shown.ui().popupLanguage->chooseItem(2));
  const MainWindowState first = saved(shown.page, state);
  EXPECT_EQ(first.byLanguage, 2);
  shown.page.saveAccepted();
  EXPECT_FALSE(shown.page.isDataChanged(first));
  ASSERT_TRUE(shown.ui().popupLanguage->chooseItem(5));
  const MainWindowState second = saved(shown.page, first);
  EXPECT_EQ(second.sParamAll.sGeneral.sPanel.dwPanelLangCur, 5u);
  EXPECT_EQ(second.byLanguage, 5);
}

TEST(GeneralSetupPage, DaylightSavingRowOnlyForItsCountries) {
  for (uint32_t country : {1u, 3u, 4u, 57u, 0u, 2u, 5u, 56u}) {
    const bool offered = country == 1 || country == 3 || country == 4 || country == 57;
    MainWindowState state = scannerState();
    state.sFactoryDef.dwCountryCode = country;
    ShownPage shown(state);
    const Page::Controls& ui = shown.ui();
    EXPECT_EQ(ui.labelDaylight->isVisible(), offered) << country;
    EXPECT_EQ(ui.radioDaylightOn->isVisible(), offered) << country;
    EXPECT_EQ(ui.radioDaylightOff->isVisible(), offered) << country;
    EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.byEnableDST, 1) << country;
    if (!offered) {  // and it stays hidden for the life of the page
      state.sFactoryDef.dwCountryCode = 1;
      shown.page.setParam(state);
      EXPECT_FALSE(ui.labelDaylight->isVisible()) << country;
    }
  }
}

TEST(GeneralSetupPage, ClockFromThisComputer) {
  ScopedDebugMask mask(0x40);
  LogCapture log;
  MainWindowState state = scannerState();
  ShownPage shown(state);
  QCheckBox* box = shown.ui().chkFromPCClock;
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(shown.page.isFromPCClockON());
  EXPECT_FALSE(log.contains("isFromPCClockON"));
  // Off: the setting method stays as stored.
  EXPECT_EQ(saved(shown.page, state).sParamAll.sGeneral.sDateTime.bySetTimeMethod, 2);

  click(box);
  EXPECT_TRUE(shown.page.isFromPCClockON());
  EXPECT_TRUE(log.contains("isFromPCClockON"));
  EXPECT_TRUE(shown.page.isDataChanged(state));
  MainWindowState out = saved(shown.page, state);
  EXPECT_EQ(out.sParamAll.sGeneral.sDateTime.dwTimeFromePC, 1u);
  EXPECT_EQ(out.sParamAll.sGeneral.sDateTime.bySetTimeMethod, 0);

  // Stored on: the box shows it, and the change check ignores the setting method that a save sets.
  state.sParamAll.sGeneral.sDateTime.dwTimeFromePC = 1;
  shown.page.setParam(state);
  EXPECT_TRUE(box->isChecked());
  EXPECT_FALSE(shown.page.isDataChanged(state));
  out = saved(shown.page, state);
  EXPECT_EQ(out.sParamAll.sGeneral.sDateTime.bySetTimeMethod, 0);
  out.sParamAll.sGeneral.sDateTime.bySetTimeMethod = 2;
  EXPECT_TRUE(sameBytes(out, state));

  // Only 1 counts as on.
  state.sParamAll.sGeneral.sDateTime.dwTimeFromePC = 2;
  shown.page.setParam(state);
  EXPECT_FALSE(box->isChecked());
}

TEST(GeneralSetupPage, USBOnlyModelHidesPanelAndNetworkRows) {
  for (bool usbOnly : {false, true}) {
    MainWindowState state = scannerState(usbOnly);
    state.sParamAll.sGeneral.sPanel.byBacklightLevel = 2;
    state.sParamAll.sGeneral.sPanel.wDimTimer = 7;
    state.sParamAll.sNetSetting.byIntrface = 2;
    ShownPage shown(state);
    const Page::Controls& ui = shown.ui();
    for (QWidget* w : std::initializer_list<QWidget*>{ui.labelLanguage, ui.popupLanguage, ui.labelBacklight,
                                                      ui.popupBacklight, ui.labelDimTimer, ui.popupDimTimer,
                                                      ui.labelNetworkOption, ui.popupNetwork, ui.labelNetworkHint})
      EXPECT_EQ(w->isVisible(), !usbOnly) << w->metaObject()->className() << " usbOnly " << usbOnly;
    for (QWidget* w : std::initializer_list<QWidget*>{ui.textSleepTime, ui.popupAutoPowerOff, ui.chkFromPCClock,
                                                      ui.radio12hClock, ui.radioUTCp, ui.popupTimeZone,
                                                      ui.radioDaylightOn, ui.textTopY, ui.textBtmTail})
      EXPECT_TRUE(w->isVisible()) << w->metaObject()->className();
    // The hidden rows still write their fields back as they were.
    typeInto(ui.textSleepTime, "30");
    const MainWindowState out = saved(shown.page, state);
    EXPECT_EQ(out.sParamAll.sGeneral.sPanel.byBacklightLevel, 2);
    EXPECT_EQ(out.sParamAll.sGeneral.sPanel.wDimTimer, 7);
    EXPECT_EQ(out.sParamAll.sGeneral.sPanel.dwPanelLangCur, 4u);
    EXPECT_EQ(out.sParamAll.sNetSetting.byIntrface, 2);
    EXPECT_EQ(out.sLampState.dwCrg1Lamp2, 30u);
    // The date and time rows close up under the power rows on the USB-only model.
    if (usbOnly) {
      EXPECT_LT(ui.groupDateTime->mapTo(&shown.page, QPoint()).y(), 300);
    }
  }
}

TEST(GeneralSetupPage, TraceAndChangeLog) {
  ScopedDebugMask mask(0x42);
  LogCapture log;
  MainWindowState state = scannerState();
  ShownPage shown(state);
  EXPECT_TRUE(log.contains(">>>>>>> -[GeneralSetupControllerObjC setParam:lamp:language:factoryDefSetting:module:] ENTER"));
  EXPECT_TRUE(log.contains("<<<<<<< -[GeneralSetupControllerObjC setParam:lamp:language:factoryDefSetting:module:] END \n "));
  EXPECT_TRUE(log.contains(">>>>>>> -[GeneralSetupControllerObjC initUI] ENTER"));
  EXPECT_TRUE(log.contains(">>>>>>> -[GeneralSetupControllerObjC viewDidAppear] ENTER"));

  log.clear();
  typeInto(shown.ui().textSleepTime, "16");
  EXPECT_TRUE(shown.page.isDataChanged(state));
  EXPECT_TRUE(log.lines().filter(QRegularExpression("^FCL_LAMP_STATE is changed -?[1-9][0-9]* $")).size() == 1)
      << log.lines().join("|").toStdString();
  log.clear();
  click(shown.ui().radioUTCm);
  EXPECT_TRUE(shown.page.isDataChanged(state));
  EXPECT_EQ(log.lines().filter(QRegularExpression("^FCL_RS_PARAM_ALL is changed -?[1-9][0-9]* $")).size(), 1);
  EXPECT_TRUE(log.lines().filter("FCL_LAMP_STATE").isEmpty());  // the block is compared first, and alone
}
