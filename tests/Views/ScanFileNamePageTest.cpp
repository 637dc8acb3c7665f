// The scan file-name page driven as a user drives it: typing and pasting into its fields, the
// stepper, the pop-ups and buttons, then reading what getParam writes and what the checks answer.
// The counter reset runs against the simulated scanner.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

#include "IO/FCLCodes.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/PageErrors.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;

namespace {

using Page = ScanFileNameControllerObjC;

class ScopedDebugMask {
 public:
  explicit ScopedDebugMask(int32_t mask) : m_previous(Utilities::sharedInstance().nDebugMask()) {
    Utilities::sharedInstance().setDebugMask(mask);
  }
  ~ScopedDebugMask() { Utilities::sharedInstance().setDebugMask(m_previous); }

 private:
  int32_t m_previous;
};

QString text(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

// The main window's records. Every byte the page does not edit carries a pattern, so that a page
// that touches them shows up in the comparisons.
MainWindowState scannerState() {
  MainWindowState s;
  std::memset(&s.sParamAll, 0xA5, sizeof s.sParamAll);
  FCL_RS_PARAM_FILENAME& f = s.sParamAll.sFilename;
  std::memset(f.szName, 0, sizeof f.szName);
  std::strcpy(f.szName, "Scan");
  f.byFormat = 3;
  f.byExceptionHandling = 1;
  f.byDateTime = 4;
  f.byCountType = 1;  // reset after each job: the counter fields are open to typing
  f.byCountDigit = 3;
  f.dwCountInitValue = 25;
  f.dwBALLScanCount = 777;
  s.serialString = QStringLiteral("SN-0042");
  return s;
}

struct ShownPage {
  explicit ShownPage(const MainWindowState& state) {
    page.resize(pagelayout::kPageSize);
    page.setParam(state);
    page.show();
  }
  const Page::Controls& ui() const { return page.controls(); }
  Page page;
};

// Replaces a field's text the way a user does: select all, then type (or delete).
void typeInto(QLineEdit* field, const QString& typed) {
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  if (typed.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
  else QTest::keyClicks(field, typed);
}

// Replaces a field's text by pasting `pasted` over it.
void pasteInto(QLineEdit* field, const QString& pasted) {
  QGuiApplication::clipboard()->setText(pasted);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

FCL_RS_PARAM_FILENAME saved(Page& page, const MainWindowState& from) {
  MainWindowState out = from;
  EXPECT_TRUE(page.getParam(out));
  return out.sParamAll.sFilename;
}

bool sameBytes(const FCL_RS_PARAM_FILENAME& a, const FCL_RS_PARAM_FILENAME& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The simulated scanner with a command layer opened on it.
struct ScannerLink {
  ScannerLink() { EXPECT_TRUE(io.openScanner(sim.address())); }
  ~ScannerLink() { io.closeScanner(); }
  // The reset commands the scanner received, by qualifier.
  std::vector<uint16_t> resets() const {
    std::vector<uint16_t> out;
    for (const auto& e : sim.log().entries())
      if (e.cmd.byOPCode == FOP_COMMAND && e.cmd.byDTC == FCLC_RS_RESET) out.push_back(e.cmd.wDTQ);
    return out;
  }
  // The next command's transfer fails: the scanner hangs up before answering.
  void failNext() {
    sim::Fault f;
    f.opcode = FOP_COMMAND;
    f.closeAfterSent = 0;
    sim.faults().add(f);
  }
  ScopedSocketLimits limits{2s};
  mutable SimScanner sim;
  IOWrapper io;
};

}  // namespace

TEST(ScanFileNamePage, IsTheStandardFactorysScanFileNamePage) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kScanFileNameStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "scanFileName");
}

// Nothing the user did not touch may change, also for stored values no control can offer.
TEST(ScanFileNamePage, UntouchedPageWritesTheRecordBackUnchanged) {
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_FILENAME&)> edit;
  };
  const Case cases[] = {
      {"ordinary record", [](FCL_RS_PARAM_FILENAME&) {}},
      {"empty name", [](FCL_RS_PARAM_FILENAME& f) { std::memset(f.szName, 0, sizeof f.szName); }},
      {"31-byte name", [](FCL_RS_PARAM_FILENAME& f) { std::memset(f.szName, 'x', 31); }},
      // Bytes no typed text could give: they go back as read, and are no change.
      {"32 bytes without a NUL", [](FCL_RS_PARAM_FILENAME& f) { std::memset(f.szName, 'y', 32); }},
      {"bytes that are not UTF-8", [](FCL_RS_PARAM_FILENAME& f) { std::strcpy(f.szName, "Scan\xFF\xFE"); }},
      {"a character cut in half", [](FCL_RS_PARAM_FILENAME& f) { std::strcpy(f.szName, "Scan\xC3"); }},
      {"bytes after the NUL", [](FCL_RS_PARAM_FILENAME& f) { std::memcpy(f.szName, "ab\0cd", 5); }},
      {"continuous counter, overwrite off", [](FCL_RS_PARAM_FILENAME& f) {
         f.byCountType = 0;
         f.byExceptionHandling = 0;
       }},
      {"indexes without an item", [](FCL_RS_PARAM_FILENAME& f) {
         f.byFormat = 9;
         f.byDateTime = 6;
         f.byCountType = 2;
       }},
      {"digits 0, continuous", [](FCL_RS_PARAM_FILENAME& f) {
         f.byCountDigit = 0;
         f.byCountType = 0;
       }},
      {"digits 200", [](FCL_RS_PARAM_FILENAME& f) { f.byCountDigit = 200; }},
      {"largest initial value", [](FCL_RS_PARAM_FILENAME& f) { f.dwCountInitValue = 0xFFFFFFFFu; }},
      {"initial value 999999, six digits", [](FCL_RS_PARAM_FILENAME& f) {
         f.dwCountInitValue = 999999;
         f.byCountDigit = 6;
       }},
      {"overwrite 2", [](FCL_RS_PARAM_FILENAME& f) { f.byExceptionHandling = 2; }},
      {"overwrite 0xFF", [](FCL_RS_PARAM_FILENAME& f) { f.byExceptionHandling = 0xFF; }},
      {"every byte 0xFF", [](FCL_RS_PARAM_FILENAME& f) { std::memset(&f, 0xFF, sizeof f); }},
      {"every byte 0x80", [](FCL_RS_PARAM_FILENAME& f) { std::memset(&f, 0x80, sizeof f); }},
  };
  ShownPage shown(scannerState());
  for (const Case& c : cases) {
    MainWindowState state = scannerState();
    c.edit(state.sParamAll.sFilename);
    shown.page.setParam(state);
    EXPECT_EQ(shown.page.isDataError(), kPageErrorNone) << c.what;
    EXPECT_FALSE(shown.page.isDataChanged(state)) << c.what;
    EXPECT_TRUE(sameBytes(saved(shown.page, state), state.sParamAll.sFilename)) << c.what;
  }
  // The rest of the settings block is not the page's.
  MainWindowState state = scannerState();
  shown.page.setParam(state);
  MainWindowState out = state;
  shown.page.getParam(out);
  EXPECT_EQ(std::memcmp(&out.sParamAll, &state.sParamAll, sizeof out.sParamAll), 0);
}

TEST(ScanFileNamePage, ControlsShowTheRecord) {
  MainWindowState state = scannerState();
  ShownPage shown(state);
  const Page::Controls& ui = shown.ui();
  EXPECT_EQ(ui.textFileName->text(), "Scan");
  EXPECT_EQ(ui.popupFileNameStyle->indexOfSelectedItem(), 3);
  EXPECT_EQ(ui.popupFileNameStyle->titleOfSelectedItem(), text("IDS_SFN_DATE_NAME_COUNTER"));
  EXPECT_EQ(ui.popupDate->titleOfSelectedItem(), text("IDS_SFN_MMDDYYYY"));
  EXPECT_EQ(ui.popupCounter->titleOfSelectedItem(), text("IDS_SFN_RESET_AFTER_EACH_JOB"));
  EXPECT_TRUE(ui.chkOverwrite->isChecked());
  EXPECT_EQ(ui.textInitialValue->text(), "25");
  EXPECT_EQ(ui.textMinimumNumberDigits->text(), "3");
  EXPECT_EQ(ui.stepMinimumNumberDigits->intValue(), 3);

  // Only 1 checks the overwrite box. Any other stored byte shows unchecked and goes back as it
  // was until the user changes the box.
  for (uint8_t stored : {uint8_t(2), uint8_t(0x80), uint8_t(0xFF)}) {
    SCOPED_TRACE(int(stored));
    state.sParamAll.sFilename.byExceptionHandling = stored;
    shown.page.setParam(state);
    EXPECT_FALSE(ui.chkOverwrite->isChecked());
    EXPECT_FALSE(shown.page.isDataChanged(state));
    EXPECT_EQ(saved(shown.page, state).byExceptionHandling, stored);
    ui.chkOverwrite->click();
    EXPECT_TRUE(shown.page.isDataChanged(state));
    EXPECT_EQ(saved(shown.page, state).byExceptionHandling, 1);
    ui.chkOverwrite->click();
    EXPECT_EQ(saved(shown.page, state).byExceptionHandling, stored);
  }
}

TEST(ScanFileNamePage, NameTypingRules) {
  struct Case {
    const char* what;
    std::function<void(QLineEdit*)> act;
    QString shows;
    bool tooLong = false;  // refused with the alert that names the field and its 31 bytes
  };
  const QString letters32 = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEF");
  const QString pasted40 = QStringLiteral("My_scans_of_2026-week_1_to_week_52_now");
  const QString full31 = letters32.left(31);
  // A key typed into the middle of a full name.
  const auto intoTheMiddle = [&](const char* key) {
    return [&, key](QLineEdit* f) {
      typeInto(f, full31);
      f->setCursorPosition(10);
      QTest::keyClicks(f, QString::fromLatin1(key));
    };
  };
  const Case cases[] = {
      {"a blank", [](QLineEdit* f) { QTest::keyClick(f, Qt::Key_End); QTest::keyClicks(f, " "); }, "Scan"},
      {"a dot", [](QLineEdit* f) { QTest::keyClick(f, Qt::Key_End); QTest::keyClicks(f, "."); }, "Scan"},
      {"an ampersand", [](QLineEdit* f) { typeInto(f, "a&"); }, "a"},
      {"letters, digits, _ and -", [](QLineEdit* f) { typeInto(f, "Doc_2026-x"); }, "Doc_2026-x"},
      {"32 letters", [&](QLineEdit* f) { typeInto(f, letters32); }, letters32.left(31), true},
      {"erasing the whole name", [](QLineEdit* f) { typeInto(f, ""); }, "Scan"},
      {"erasing one by one", [](QLineEdit* f) {
         QTest::keyClick(f, Qt::Key_End);
         for (int i = 0; i < 6; ++i) QTest::keyClick(f, Qt::Key_Backspace);
       }, "S"},
      {"pasting 38 accepted characters", [&](QLineEdit* f) { pasteInto(f, pasted40); }, "Scan", true},
      {"pasting 31 accepted characters", [&](QLineEdit* f) { pasteInto(f, pasted40.left(31)); }, pasted40.left(31)},
      {"pasting 40 characters with blanks", [](QLineEdit* f) { pasteInto(f, "My scans of 2026 - week 1 to week 52 now"); },
       "Scan"},
      {"pasting a refused short text", [](QLineEdit* f) { pasteInto(f, "a b"); }, "Scan"},
      {"a slash into the middle of a full name", intoTheMiddle("/"), full31},
      {"a blank into the middle of a full name", intoTheMiddle(" "), full31},
      {"an asterisk into the middle of a full name", intoTheMiddle("*"), full31},
      {"a letter into the middle of a full name", intoTheMiddle("x"), full31, true},
      {"a slash into the middle of a short name", [](QLineEdit* f) {
         f->setCursorPosition(2);
         QTest::keyClicks(f, "/");
       }, "Scan"},
      {"a letter into the middle of a short name", [](QLineEdit* f) {
         f->setCursorPosition(2);
         QTest::keyClicks(f, "_x");
       }, "Sc_xan"},
  };
  ShownPage shown(scannerState());
  QLineEdit* field = shown.ui().textFileName;
  const QString tooLong = platform::formatText(text("IDS_CM_TEXT_TOO_LONG_MSG"), {text("IDS_SFN_FILE_NAME"), 31});
  for (const Case& c : cases) {
    const MainWindowState state = scannerState();
    shown.page.setParam(state);
    field->setFocus();
    ScriptedDialogs dialogs;  // an alert not expected here fails the test
    if (c.tooLong) dialogs.expectAlert(0, tooLong);
    c.act(field);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u) << c.what;
    EXPECT_EQ(field->text(), c.shows) << c.what;
    EXPECT_EQ(shown.page.isDataError(), kPageErrorNone) << c.what;
    const FCL_RS_PARAM_FILENAME out = saved(shown.page, state);
    EXPECT_EQ(QString::fromUtf8(out.szName), c.shows) << c.what << ": stored as shown";
    EXPECT_EQ(shown.page.isDataChanged(state), c.shows != "Scan") << c.what;
  }
  // The last accepted text is what a refused one returns to.
  shown.page.setParam(scannerState());
  typeInto(field, "Report");
  QTest::keyClicks(field, "!");
  EXPECT_EQ(field->text(), "Report");
}

TEST(ScanFileNamePage, NonAsciiIsRefusedAndASerialNumberThatDoesNotFitIsNeverCut) {
  ShownPage shown(scannerState());
  QLineEdit* field = shown.ui().textFileName;
  // 30 letters, then a character outside the basic plane (two UTF-16 units), then more.
  pasteInto(field, QString(30, u'a') + QString::fromUcs4(U"\U0001F600") + QStringLiteral("bbbb"));
  EXPECT_EQ(field->text(), "Scan");
  // A serial number that takes more than 31 bytes (here 31 characters, 52 bytes) is taken into
  // the field as it is, but leaving the page refuses it with the alert and nothing is cut.
  MainWindowState state = scannerState();
  state.serialString = QString(10, u'a') + QString(21, QChar(0x00E9));
  shown.page.setParam(state);
  click(shown.ui().btnSetAsSerialNo);
  {
    ScriptedDialogs dialogs;
    dialogs.expectAlert(0, platform::formatText(text("IDS_CM_TEXT_TOO_LONG_MSG"), {text("IDS_SFN_FILE_NAME"), 31}));
    EXPECT_EQ(shown.page.isDataError(), kPageErrorShown);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(shown.page.focusWidget(), field);
  }
  EXPECT_TRUE(sameBytes(saved(shown.page, state), state.sParamAll.sFilename)) << "never stored cut";
  // Shortened to fit, it is taken.
  QTest::keyClick(field, Qt::Key_End);
  for (int i = 0; i < 11; ++i) QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_EQ(shown.page.isDataError(), kPageErrorNone);
  EXPECT_EQ(QString::fromUtf8(saved(shown.page, state).szName), QString(10, u'a') + QString(10, QChar(0x00E9)));
}

// A stored name holding characters the typing rules refuse stays editable: only what the user
// adds is judged.
TEST(ScanFileNamePage, StoredNameWithRefusedCharactersStaysEditable) {
  MainWindowState state = scannerState();
  std::memset(state.sParamAll.sFilename.szName, 0, sizeof state.sParamAll.sFilename.szName);
  std::strcpy(state.sParamAll.sFilename.szName, "SN 42");
  ShownPage shown(state);
  QLineEdit* field = shown.ui().textFileName;
  field->setFocus();
  QTest::keyClick(field, Qt::Key_End);
  QTest::keyClicks(field, "x");
  EXPECT_EQ(field->text(), "SN 42x");
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClick(field, Qt::Key_Backspace);
  EXPECT_EQ(field->text(), "SN 4");
  QTest::keyClicks(field, " ");  // a blank the user adds is still refused
  EXPECT_EQ(field->text(), "SN 4");
  EXPECT_EQ(QString::fromUtf8(saved(shown.page, state).szName), "SN 4");
}

TEST(ScanFileNamePage, DigitsTypingAndStepper) {
  ShownPage shown(scannerState());
  QLineEdit* field = shown.ui().textMinimumNumberDigits;
  platform::Stepper* stepper = shown.ui().stepMinimumNumberDigits;
  struct Step {
    const char* typed;
    const char* shows;
    int stepper;
  };
  for (const Step& s : {Step{"4", "4", 4}, Step{"7", "4", 4}, Step{"0", "4", 4}, Step{"x", "4", 4},
                        Step{"6", "6", 6}, Step{"12", "1", 1}, Step{"", "1", 1}, Step{"1", "1", 1}}) {
    typeInto(field, s.typed);
    EXPECT_EQ(field->text(), s.shows) << s.typed;
    EXPECT_EQ(stepper->intValue(), s.stepper) << s.typed;
  }
  // The stepper's click puts its value into the field, and a refused text returns to it.
  click(stepper->upButton());
  click(stepper->upButton());
  EXPECT_EQ(field->text(), "3");
  typeInto(field, "9");
  EXPECT_EQ(field->text(), "3");
  EXPECT_EQ(saved(shown.page, scannerState()).byCountDigit, 3);
  EXPECT_EQ(shown.page.isDataError(), 0);
}

TEST(ScanFileNamePage, InitialValueTyping) {
  struct Case {
    const char* typed;
    const char* shows;
  };
  const Case cases[] = {
      {"999999", "999999"}, {"0", "0"},    {"7", "7"},   {"9999999", "999999"}, {"012", "0"},
      {"00", "0"},          {"-", "25"},   {"", "25"},   {"1e3", "13"},           {"100000", "100000"},
  };
  ShownPage shown(scannerState());
  QLineEdit* field = shown.ui().textInitialValue;
  for (const Case& c : cases) {
    shown.page.setParam(scannerState());
    typeInto(field, c.typed);
    EXPECT_EQ(field->text(), c.shows) << c.typed;
    EXPECT_EQ(saved(shown.page, scannerState()).dwCountInitValue, QString::fromLatin1(c.shows).toUInt()) << c.typed;
  }
}

TEST(ScanFileNamePage, CounterBehaviourOpensAndClosesItsControls) {
  MainWindowState state = scannerState();
  state.sParamAll.sFilename.byCountType = 0;
  ShownPage shown(state);
  const Page::Controls& ui = shown.ui();
  const std::vector<QWidget*> counterControls{ui.textInitialValue,         ui.textMinimumNumberDigits,
                                              ui.stepMinimumNumberDigits,  ui.labelInitialValue,
                                              ui.labelMinimumNumberDigits, ui.labelInitialValueRange,
                                              ui.labelMinimumNumberDigitsRange};
  auto expectContinuous = [&](bool continuous, const char* when) {
    EXPECT_EQ(ui.btnReset->isEnabled(), continuous) << when;
    for (QWidget* w : counterControls) EXPECT_EQ(w->isEnabled(), !continuous) << when << " " << w->metaObject()->className();
  };
  expectContinuous(true, "loaded continuous");
  ASSERT_TRUE(ui.popupCounter->chooseItem(1));
  expectContinuous(false, "chose reset after each job");
  ASSERT_TRUE(ui.popupCounter->chooseItem(0));
  expectContinuous(true, "chose continuous");
  shown.page.setParam(scannerState());
  expectContinuous(false, "loaded reset after each job");
  EXPECT_FALSE(shown.page.isDataChanged(scannerState()));
}

// Stored digits outside 1 to 6 never keep the user on the page, with either counter behaviour,
// also after other edits and after the counter was switched; they are saved as stored. The user
// cannot type such digits (the typing filter and the stepper keep to 1 to 6).
TEST(ScanFileNamePage, StoredDigitsOutsideTheRangeNeverBlock) {
  for (const uint8_t digits : {uint8_t(0), uint8_t(7), uint8_t(200)}) {
    for (const uint8_t counter : {uint8_t(0), uint8_t(1)}) {
      SCOPED_TRACE(testing::Message() << "digits " << int(digits) << ", counter " << int(counter));
      ScriptedDialogs dialogs;  // any alert fails the test
      MainWindowState state = scannerState();
      state.sParamAll.sFilename.byCountDigit = digits;
      state.sParamAll.sFilename.byCountType = counter;
      ShownPage shown(state);
      QApplication::setActiveWindow(&shown.page);
      const Page::Controls& ui = shown.ui();
      EXPECT_EQ(ui.textMinimumNumberDigits->text(), QString::number(digits));
      for (int attempt = 0; attempt < 3; ++attempt) EXPECT_FALSE(checkDataError(shown.page.isDataError()));

      typeInto(ui.textFileName, "Other");
      ASSERT_TRUE(ui.popupCounter->chooseItem(1 - counter));
      ASSERT_TRUE(ui.popupCounter->chooseItem(1));  // the digits open to typing
      typeInto(ui.textMinimumNumberDigits, "0");    // refused by the filter: the stored text stays
      EXPECT_EQ(ui.textMinimumNumberDigits->text(), QString::number(digits));
      ui.textFileName->setFocus();
      EXPECT_FALSE(checkDataError(shown.page.isDataError()));
      EXPECT_NE(shown.page.focusWidget(), ui.textMinimumNumberDigits);
      EXPECT_TRUE(dialogs.alerts().empty());
      const FCL_RS_PARAM_FILENAME out = saved(shown.page, state);
      EXPECT_EQ(out.byCountDigit, digits);
      EXPECT_EQ(out.byCountType, 1);
      EXPECT_EQ(platform::textFromField(out.szName), "Other");

      // A digit the user typed is taken.
      typeInto(ui.textMinimumNumberDigits, "5");
      EXPECT_EQ(shown.page.isDataError(), 0);
      EXPECT_EQ(saved(shown.page, state).byCountDigit, 5);
    }
  }
}

// Digits that changed since the page was filled are checked while the field is open (counter
// reset after each job): out of range refuses with the main window's alert, the focus in the field. The typing filter
// keeps the user's own typing in range, so the page's setText stands in for such a change.
TEST(ScanFileNamePage, ChangedDigitsOutOfRangeRefuseLeavingThePage) {
  for (const char* digits : {"0", "7", "200"}) {
    for (const int counter : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "digits " << digits << ", counter " << counter);
      ScriptedDialogs dialogs;
      MainWindowState state = scannerState();
      state.sParamAll.sFilename.byCountType = uint8_t(counter);
      ShownPage shown(state);
      QApplication::setActiveWindow(&shown.page);
      const Page::Controls& ui = shown.ui();
      ui.textMinimumNumberDigits->setText(QString::fromLatin1(digits));
      ui.textFileName->setFocus();
      const int32_t code = shown.page.isDataError();
      if (counter == 0) {
        // Continuous counter: the digits are disabled, the user could not correct them.
        EXPECT_EQ(code, kPageErrorNone);
        EXPECT_TRUE(dialogs.alerts().empty());
        continue;
      }
      EXPECT_EQ(code, kPageErrorOutOfRange);
      EXPECT_EQ(shown.page.focusWidget(), ui.textMinimumNumberDigits);
      dialogs.expectAlert(0, text("IDS_CM_ERROR"));
      EXPECT_TRUE(checkDataError(code, shown.page.failedField()));
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      EXPECT_EQ(dialogs.alerts()[0].information,
                QString::fromUtf8("Minimum number of digits is out of range or not in the right form. Please enter a "
                                  "value in the range 1\u20136."));
      // Back to the stored digits: untouched again.
      ui.textMinimumNumberDigits->setText(QStringLiteral("3"));
      EXPECT_EQ(shown.page.isDataError(), 0);
    }
  }
}

TEST(ScanFileNamePage, ChangeCheckComparesTheEditedFieldsOnly) {
  ScopedDebugMask mask(0x40);
  LogCapture log;
  struct Case {
    const char* what;
    std::function<void(FCL_RS_PARAM_FILENAME&)> edit;
    bool changed;
  };
  const Case cases[] = {
      {"scan count", [](FCL_RS_PARAM_FILENAME& f) { f.dwBALLScanCount = 1; }, false},
      {"reserved bytes", [](FCL_RS_PARAM_FILENAME& f) {
         f.byReserved1[0] = 1;
         f.byReserved2[0] = 2;
         f.byReserved3[3] = 3;
       }, false},
      {"bytes after the name's NUL", [](FCL_RS_PARAM_FILENAME& f) { f.szName[20] = 'z'; }, false},
      {"name", [](FCL_RS_PARAM_FILENAME& f) { std::strcpy(f.szName, "Scan2"); }, true},
      {"name filling the whole field", [](FCL_RS_PARAM_FILENAME& f) { std::memset(f.szName, 'q', sizeof f.szName); }, true},
      {"format", [](FCL_RS_PARAM_FILENAME& f) { f.byFormat = 0; }, true},
      {"date", [](FCL_RS_PARAM_FILENAME& f) { f.byDateTime = 5; }, true},
      {"count type", [](FCL_RS_PARAM_FILENAME& f) { f.byCountType = 0; }, true},
      {"digits", [](FCL_RS_PARAM_FILENAME& f) { f.byCountDigit = 4; }, true},
      {"initial value", [](FCL_RS_PARAM_FILENAME& f) { f.dwCountInitValue = 26; }, true},
      {"overwrite", [](FCL_RS_PARAM_FILENAME& f) { f.byExceptionHandling = 0; }, true},
  };
  ShownPage shown(scannerState());
  for (const Case& c : cases) {
    MainWindowState other = scannerState();
    c.edit(other.sParamAll.sFilename);
    log.clear();
    EXPECT_EQ(shown.page.isDataChanged(other), c.changed) << c.what;
    EXPECT_EQ(log.contains("No data change!"), !c.changed) << c.what;
  }
  MainWindowState other = scannerState();
  std::strcpy(other.sParamAll.sFilename.szName, "Scan2");
  log.clear();
  EXPECT_TRUE(shown.page.isDataChanged(other));
  // The line carries the comparison's result: the caller's name sorts after the page's.
  const QStringList changed = log.lines().filter(QStringLiteral("Data is changed! "));
  ASSERT_EQ(changed.size(), 1) << log.lines().join("|").toStdString();
  EXPECT_GT(changed[0].mid(17).toInt(), 0) << changed[0].toStdString();
}

TEST(ScanFileNamePage, SerialNumberButtonTakesTheTextAsItIs) {
  MainWindowState state = scannerState();
  state.serialString = QStringLiteral("SN 42/Ä.x");
  ShownPage shown(state);
  click(shown.ui().btnSetAsSerialNo);
  EXPECT_EQ(shown.ui().textFileName->text(), "SN 42/Ä.x");
  EXPECT_TRUE(shown.page.isDataChanged(state));
  EXPECT_STREQ(saved(shown.page, state).szName, "SN 42/Ä.x");
  // It becomes the last accepted text, and stays editable: only what the user adds is judged.
  QTest::keyClick(shown.ui().textFileName, Qt::Key_End);
  QTest::keyClicks(shown.ui().textFileName, "y");
  EXPECT_EQ(shown.ui().textFileName->text(), "SN 42/Ä.xy");
  QTest::keyClicks(shown.ui().textFileName, "/");
  EXPECT_EQ(shown.ui().textFileName->text(), "SN 42/Ä.xy");

  // A serial text longer than the field is refused when the page is left, never stored cut.
  state.serialString = QString(40, u'7');
  shown.page.setParam(state);
  click(shown.ui().btnSetAsSerialNo);
  ScriptedDialogs dialogs;
  dialogs.expectAlert(0);
  EXPECT_EQ(shown.page.isDataError(), kPageErrorShown);
  EXPECT_STREQ(saved(shown.page, state).szName, "Scan");
}

TEST(ScanFileNamePage, ChoicesReachTheirFields) {
  const MainWindowState state = scannerState();
  ShownPage shown(state);
  const Page::Controls& ui = shown.ui();
  ASSERT_TRUE(ui.popupFileNameStyle->chooseItem(5));
  ASSERT_TRUE(ui.popupDate->chooseItem(0));
  ASSERT_TRUE(ui.popupCounter->chooseItem(0));
  click(ui.chkOverwrite);
  EXPECT_TRUE(shown.page.isDataChanged(state));
  const FCL_RS_PARAM_FILENAME out = saved(shown.page, state);
  EXPECT_EQ(out.byFormat, 5);
  EXPECT_EQ(out.byDateTime, 0);
  EXPECT_EQ(out.byCountType, 0);
  EXPECT_EQ(out.byExceptionHandling, 0);
  // The counter fields keep what was loaded while they are closed.
  EXPECT_EQ(out.byCountDigit, 3);
  EXPECT_EQ(out.dwCountInitValue, 25u);

  // A stored index without an item is kept until the user chooses one.
  MainWindowState odd = scannerState();
  odd.sParamAll.sFilename.byFormat = 9;
  shown.page.setParam(odd);
  EXPECT_EQ(ui.popupFileNameStyle->indexOfSelectedItem(), -1);
  EXPECT_EQ(saved(shown.page, odd).byFormat, 9);
  ASSERT_TRUE(ui.popupFileNameStyle->chooseItem(1));
  EXPECT_EQ(saved(shown.page, odd).byFormat, 1);
}

TEST(ScanFileNamePage, CounterResetAgainstTheScanner) {
  ScopedDebugMask mask(0x42);
  struct Case {
    const char* what;
    bool confirm;
    bool transferFails;
    const char* outcomeKey;  // nullptr: no second alert
  };
  const Case cases[] = {
      {"confirmed and done", true, false, "IDS_SFN_RESET_SUCCESSFULLY"},
      {"confirmed, transfer fails", true, true, "IDS_SFN_RESET_FAILED"},
      {"cancelled", false, false, nullptr},
  };
  for (const Case& c : cases) {
    ScannerLink link;
    ScriptedDialogs dialogs;
    LogCapture log;
    MainWindowState state = scannerState();
    state.sParamAll.sFilename.byCountType = 0;
    state.ioWrapper = &link.io;
    ShownPage shown(state);
    if (c.transferFails) link.failNext();
    dialogs.expectAlert(c.confirm ? 0 : 1, text("IDS_CM_MESSAGE"));
    if (c.outcomeKey != nullptr) dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    const std::size_t logged = link.sim.log().size();
    click(shown.ui().btnReset);
    // The scanner logs a command once it has answered it, so the entry may come a moment later.
    if (c.confirm && !c.transferFails) {
      EXPECT_TRUE(link.sim.log().waitForCount(logged + 1)) << c.what;
    }

    EXPECT_EQ(dialogs.pendingAlerts(), 0u) << c.what;
    ASSERT_EQ(dialogs.alerts().size(), c.outcomeKey != nullptr ? 2u : 1u) << c.what;
    EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_SFN_RESET_MSG")) << c.what;
    EXPECT_EQ(dialogs.alerts()[0].buttons.size(), 2) << c.what;
    if (c.outcomeKey != nullptr) {
      EXPECT_EQ(dialogs.alerts()[1].information, text(c.outcomeKey)) << c.what;
      EXPECT_EQ(dialogs.alerts()[1].buttons.size(), 1) << c.what;
    }
    if (!c.transferFails) {
      EXPECT_EQ(link.resets(), c.confirm ? std::vector<uint16_t>{FCLD_RS_RESET_FILENAME_COUNTER}
                                         : std::vector<uint16_t>{})
          << c.what;
    }
    const bool done = c.confirm && !c.transferFails;
    EXPECT_EQ(shown.page.fileNameRecord().dwBALLScanCount, done ? 0u : 777u) << c.what;
    EXPECT_EQ(log.contains("resetFileNameCounter is reseted."), done) << c.what;
    EXPECT_EQ(log.contains("========= -[ScanFileNameControllerObjC btnResetPressed:] ERROR: "
                           "ERROR: resetFileNameCounter return Fail!\n"),
              c.confirm && c.transferFails)
        << c.what;
    // The reset alone is no edit: nothing to save, yet a save carries the zeroed count.
    EXPECT_FALSE(shown.page.isDataChanged(state)) << c.what;
    EXPECT_EQ(saved(shown.page, state).dwBALLScanCount, done ? 0u : 777u) << c.what;
  }
}

TEST(ScanFileNamePage, ResetWithoutACommandLayerFails) {
  ScriptedDialogs dialogs;
  MainWindowState state = scannerState();
  state.sParamAll.sFilename.byCountType = 0;
  ShownPage shown(state);
  dialogs.expectAlert(0);
  dialogs.expectAlert(0);
  click(shown.ui().btnReset);
  ASSERT_EQ(dialogs.alerts().size(), 2u);
  EXPECT_EQ(dialogs.alerts()[1].information, text("IDS_SFN_RESET_FAILED"));
  EXPECT_EQ(shown.page.fileNameRecord().dwBALLScanCount, 777u);
}

TEST(ScanFileNamePage, TraceLines) {
  ScopedDebugMask mask(0x42);
  LogCapture log;
  MainWindowState state = scannerState();
  ShownPage shown(state);
  EXPECT_TRUE(log.contains(">>>>>>>>> -[ScanFileNameControllerObjC setParam:serialNumber:io:] ENTER"));
  EXPECT_TRUE(log.contains("<<<<<<<<< -[ScanFileNameControllerObjC initUI] END \n  "));
  log.clear();
  typeInto(shown.ui().textFileName, "ab");
  EXPECT_TRUE(log.lines().isEmpty()) << "typing is not traced";
  EXPECT_TRUE(shown.page.isDataChanged(state));
  EXPECT_TRUE(log.contains(">>>>>>>>> -[ScanFileNameControllerObjC isDataChanged:] ENTER"));
  EXPECT_FALSE(log.contains("<<<<<<<<< -[ScanFileNameControllerObjC isDataChanged:] END \n  "));
  shown.page.setParam(state);
  shown.ui().textMinimumNumberDigits->setText(QStringLiteral("0"));
  log.clear();
  EXPECT_EQ(shown.page.isDataError(), 2);
  EXPECT_TRUE(log.contains(">>>>>>>>> -[ScanFileNameControllerObjC isDataError] ENTER"));
  EXPECT_FALSE(log.contains("<<<<<<<<< -[ScanFileNameControllerObjC isDataError] END \n  "));
}

// Renders the page at the main window's page size into <build dir>/screenshots/ (both models
// show the same page).
TEST(ScanFileNameScreenshot, ThePage) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (int countType : {0, 1}) {
    MainWindowState state = scannerState();
    state.sParamAll.sFilename.byCountType = uint8_t(countType);
    Page page;
    page.resize(pagelayout::kPageSize);
    page.setParam(state);
    page.show();
    QApplication::processEvents();
    const QImage image = page.grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/scan-file-name-%1.png")
                             .arg(countType == 0 ? "continuous" : "reset-after-each-job");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
