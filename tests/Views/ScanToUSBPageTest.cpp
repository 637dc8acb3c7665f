// The scan-to-USB page driven as a user drives it: the password fields of the USB-only model,
// their typing rules and checks, the slots the option choices go to, and the bytes getParam
// hands back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>
#include <cstring>
#include <vector>

#include "support/PopUpTestSupport.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/ScanToUSBControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/Widgets.h"
#include "support/ScriptedDialogs.h"

namespace {

using Page = ScanToUSBControllerObjC;
using Record = FCL_RS_PARAM_SCANPROFILE;
using General = FCL_RS_PARAM_GENERAL;

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

Record scannerRecord() {
  Record r;
  std::memset(&r, 0xA5, sizeof r);
  r.byScanType = 2;
  r.byFileType_BW = 9;
  r.byFileType_Gray = 3;   // secure PDF
  r.byFileType_Color = 1;  // multi-page PDF
  r.byFileType_Auto = 4;   // secure PDF
  r.byFileSize_Gray = 0;
  r.byFileSize_Color = 1;
  r.byFileSize_Auto = 2;
  r.wResolution_BW = 600;
  r.wResolution_Gray = 200;
  r.wResolution_Color = 300;
  r.wResolution_Auto = 150;
  r.byDocumentSize = 1;
  r.dwPaperWidth = 2100;
  r.dwPaperHeight = 2970;
  r.byMarginLeft = 0;
  r.byMarginTop = 5;
  r.byMarginRight = -5;
  r.byMarginBottom = 0;
  r.byAutoDeskew = 1;
  r.bySkipBlankPage = 0;
  r.byDuplexScan = 1;
  r.byMultifeedDetection = 1;
  r.byContinuousScan = 0;
  r.byAutoColorDetectSensitivity = 1;
  r.bySkipBlankPageSensitivity = 1;
  r.byBrightness = 0;
  r.byContrast = 0;
  return r;
}

// A general record full of a pattern, holding `password` (NUL-padded).
General scannerGeneral(const char* password = "2468") {
  General g;
  std::memset(&g, 0x3C, sizeof g);
  std::memset(g.szSecurePDFPassword, 0, sizeof g.szSecurePDFPassword);
  std::memcpy(g.szSecurePDFPassword, password, std::strlen(password));
  return g;
}

bool sameBytes(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }
bool sameGeneral(const General& a, const General& b) { return sameBytes(&a, &b, sizeof a); }

struct ShownPage {
  ShownPage(bool isB, const Record& record = scannerRecord(), const General& general = scannerGeneral())
      : record(record), general(general) {
    page.resize(pagelayout::kPageSize);
    page.setParam(record, general, isB);
    page.show();
    QApplication::setActiveWindow(&page);
  }
  const ScanOptionEditor::Controls& ui() const { return page.editor()->controls(); }
  const Page::PasswordControls& pw() const { return page.passwordControls(); }
  void save(Record& r, General& g) {
    std::memset(&r, 0, sizeof r);
    std::memset(&g, 0, sizeof g);
    page.getParam(r, g);
  }
  General savedGeneral() {
    Record r;
    General g;
    save(r, g);
    return g;
  }
  Record savedRecord() {
    Record r;
    General g;
    save(r, g);
    return r;
  }
  Record record;
  General general;
  Page page;
};

void typeInto(QLineEdit* field, const QString& typed) {
  field->setFocus();
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, typed);
}

QString password(const General& g) { return platform::textFromField(g.szSecurePDFPassword); }

}  // namespace

TEST(ScanToUSBPage, IsTheStandardFactorysPageAndTouchesOnlyItsRecords) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kScanToUSBStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "scan2USB");
  for (bool isB : {false, true}) {
    SCOPED_TRACE(isB ? "USB-only model" : "network model");
    MainWindowState state;
    std::memset(&state.sParamAll, 0x5A, sizeof state.sParamAll);
    state.sParamAll.sScan2USB = scannerRecord();
    state.sParamAll.sGeneral = scannerGeneral();
    state.bIsB = isB;
    const MainWindowState before = state;
    page->setParam(state);
    EXPECT_EQ(page->isDataError(), 0);
    EXPECT_FALSE(page->isDataChanged(state));
    EXPECT_TRUE(page->getParam(state));
    EXPECT_TRUE(sameBytes(&state.sParamAll, &before.sParamAll, sizeof state.sParamAll));
  }
}

// The fields appear on the USB-only model for a secure PDF of the shown scan type only, filled
// with the stored password.
TEST(ScanToUSBPage, PasswordFieldsFollowModelAndFileType) {
  struct Case {
    const char* what;
    bool isB;
    int scanType;  // stored: grey holds secure PDF (3), colour PDF (1), automatic secure PDF (4)
    bool shown;
  };
  const Case cases[] = {
      {"network model, secure PDF", false, 1, false}, {"network model, plain PDF", false, 2, false},
      {"USB-only, secure single", true, 1, true},     {"USB-only, secure multi", true, 3, true},
      {"USB-only, plain PDF", true, 2, false},        {"USB-only, black and white TIFF", true, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Record r = scannerRecord();
    r.byScanType = uint8_t(c.scanType);
    ShownPage shown(c.isB, r);
    EXPECT_EQ(shown.page.passwordShown(), c.shown);
    for (QWidget* w : std::initializer_list<QWidget*>{shown.pw().textPassword, shown.pw().textRetypePassword,
                                                      shown.pw().label00009999, shown.pw().securePassword,
                                                      shown.pw().secureRetypePassword})
      EXPECT_EQ(w->isVisible(), c.shown);
    if (c.shown) {
      EXPECT_EQ(shown.pw().securePassword->text(), "2468");
      EXPECT_EQ(shown.pw().secureRetypePassword->text(), "2468");
      EXPECT_EQ(shown.pw().securePassword->echoMode(), QLineEdit::Password);
    }
    // Untouched: nothing blocks, nothing changed, the general record goes back as it came.
    EXPECT_EQ(shown.page.isDataError(), 0);
    EXPECT_FALSE(shown.page.isDataChanged(r, shown.general));
    EXPECT_TRUE(sameGeneral(shown.savedGeneral(), shown.general));
  }
  // Choosing the file type shows and hides them.
  ShownPage shown(true);  // colour, plain PDF
  choose(shown.ui().popupFileType, 4);
  EXPECT_TRUE(shown.page.passwordShown());
  EXPECT_TRUE(shown.pw().securePassword->isVisible());
  choose(shown.ui().popupFileType, 0);
  EXPECT_FALSE(shown.pw().securePassword->isVisible());
}

// Digits only, at most four, in both fields: a sign, a decimal point or an exponent is no PIN.
TEST(ScanToUSBPage, PasswordTypingKeepsUpToFourDigits) {
  // The filter on one edit: a result longer than four characters is refused (the text before the
  // edit stays) unless the edit shortened the text.
  struct Edit {
    const char* previous;
    const char* edited;
    const char* kept;
  };
  const Edit edits[] = {
      {"", "12a", "12"},          {"123", "1234", "1234"},      {"1234", "12345", "1234"},
      {"", "12345", ""},          {"123456", "1234567", "123456"}, {"123456", "12345", "12345"},
      {"123456", "923456", "123456"}, {"12", "-1", "1"},
  };
  for (const Edit& e : edits)
    EXPECT_EQ(Page::passwordFilter(QString::fromLatin1(e.previous), QString::fromLatin1(e.edited)),
              QString::fromLatin1(e.kept))
        << e.previous << " -> " << e.edited;

  struct Case {
    const char* text;
    const char* kept;  // typed key by key
  };
  const Case cases[] = {
      {"1234", "1234"}, {"12345", "1234"}, {"0000", "0000"}, {"12a", "12"}, {"-", ""},
      {"-1.5", "15"},   {"1e-3", "13"},    {"9 9", "99"},    {"x123", "123"}, {"+12", "12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Record r = scannerRecord();
    r.byScanType = 1;
    ShownPage shown(true, r);
    typeInto(shown.pw().securePassword, QString::fromLatin1(c.text));
    typeInto(shown.pw().secureRetypePassword, QString::fromLatin1(c.text));
    EXPECT_EQ(shown.pw().securePassword->text(), QString::fromLatin1(c.kept));
    EXPECT_EQ(shown.pw().secureRetypePassword->text(), QString::fromLatin1(c.kept));
  }
  // A letter typed inside the digits goes again and leaves the cursor where it was.
  Record r = scannerRecord();
  r.byScanType = 1;
  ShownPage shown(true, r);
  typeInto(shown.pw().securePassword, "123");
  shown.pw().securePassword->setCursorPosition(1);
  QTest::keyClicks(shown.pw().securePassword, "x9");
  EXPECT_EQ(shown.pw().securePassword->text(), "1923");
  // A fifth digit is refused wherever it is typed.
  shown.pw().securePassword->setCursorPosition(0);
  QTest::keyClicks(shown.pw().securePassword, "5");
  EXPECT_EQ(shown.pw().securePassword->text(), "1923");
}

// The four alerts of the check, each with the focus on the field at fault; a good password is
// stored.
TEST(ScanToUSBPage, PasswordCheckAlertsAndFocus) {
  enum class Focus { Other, Password, Retype };
  struct Case {
    const char* what;
    const char* password;
    const char* retype;
    int32_t error;
    const char* informationKey;  // nullptr: no alert
    const char* emptyFieldKey;   // the field named by IDS_CANNOT_EMPTY_ERR_MSG
    Focus focus;
  };
  const Case cases[] = {
      {"empty password", "", "1234", 999, "IDS_CANNOT_EMPTY_ERR_MSG", "IDS_PF_PASSWORD", Focus::Password},
      {"empty confirmation", "1234", "", 999, "IDS_CANNOT_EMPTY_ERR_MSG", "IDS_PF_RETYPE_PASSWORD", Focus::Retype},
      {"three equal digits", "123", "123", 999, "IDS_PI_TOO_SHORT_MSG", nullptr, Focus::Password},
      {"three digits that differ", "123", "124", 999, "IDS_PI_TOO_SHORT_MSG", nullptr, Focus::Password},
      {"four digits that differ", "1234", "1235", 999, "IDS_PI_ERROR_MSG", nullptr, Focus::Retype},
      {"four equal digits", "1357", "1357", 0, nullptr, nullptr, Focus::Other},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    Record r = scannerRecord();
    r.byScanType = 3;
    ShownPage shown(true, r);
    typeInto(shown.pw().securePassword, QString::fromLatin1(c.password));
    typeInto(shown.pw().secureRetypePassword, QString::fromLatin1(c.retype));
    shown.ui().textLeft->setFocus();
    if (c.informationKey != nullptr) dialogs.expectAlert(0, text("IDS_CM_WARNING"));
    EXPECT_EQ(shown.page.isDataError(), c.error);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    if (c.informationKey == nullptr) {
      EXPECT_TRUE(dialogs.alerts().empty());
      EXPECT_EQ(password(shown.savedGeneral()), QString::fromLatin1(c.password));
    } else {
      ASSERT_EQ(dialogs.alerts().size(), 1u);
      QString information = text(c.informationKey);
      if (c.emptyFieldKey != nullptr)
        information = platform::formatText(information, {text(c.emptyFieldKey), text(c.emptyFieldKey)});
      if (QByteArray(c.informationKey) == "IDS_PI_TOO_SHORT_MSG")
        information = platform::formatText(information, {Page::kPasswordLength});
      EXPECT_EQ(dialogs.alerts()[0].information, information);
      EXPECT_EQ(dialogs.alerts()[0].buttons.size(), 1);
    }
    QWidget* expected = c.focus == Focus::Password ? static_cast<QWidget*>(shown.pw().securePassword)
                        : c.focus == Focus::Retype ? static_cast<QWidget*>(shown.pw().secureRetypePassword)
                                                   : static_cast<QWidget*>(shown.ui().textLeft);
    EXPECT_EQ(shown.page.focusWidget(), expected);
  }
}

// A stored password the page merely shows never blocks leaving the page; what the user changed
// in this visit does.
TEST(ScanToUSBPage, OnlyWhatTheUserChangedIsChecked) {
  struct Case {
    const char* what;
    const char* stored;
    bool chooseSecurePdf;  // the user picks secure PDF (from plain PDF)
    bool typeRetype;       // the user types "12" into the confirmation
    int32_t error;
  };
  const Case cases[] = {
      {"empty stored password shown", "", false, false, 0},
      {"short stored password shown", "12", false, false, 0},
      {"secure PDF chosen over an empty stored password", "", true, false, 0},
      {"secure PDF chosen over a short stored password", "12", true, false, 0},
      {"secure PDF chosen over a good stored password", "9876", true, false, 0},
      {"confirmation typed over a good stored password", "9876", false, true, 999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    Record r = scannerRecord();
    r.byScanType = uint8_t(c.chooseSecurePdf ? 2 : 1);
    const General g = scannerGeneral(c.stored);
    ShownPage shown(true, r, g);
    if (c.chooseSecurePdf) choose(shown.ui().popupFileType, 3);
    if (c.typeRetype) typeInto(shown.pw().secureRetypePassword, "12");
    ASSERT_TRUE(shown.page.passwordShown());
    if (c.error != 0) dialogs.expectAlert(0);
    EXPECT_EQ(shown.page.isDataError(), c.error);
    EXPECT_EQ(dialogs.alerts().size(), c.error != 0 ? 1u : 0u);
    if (c.error == 0) {
      EXPECT_TRUE(sameGeneral(shown.savedGeneral(), g));
    }
  }
}

// What the user typed survives every option update; only the fields' appearing fills them
// from the record again.
TEST(ScanToUSBPage, TypedPasswordSurvivesOptionUpdates) {
  struct Case {
    const char* what;
    void (*change)(const ScanOptionEditor::Controls&);
  };
  const Case cases[] = {
      {"resolution", [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupResolution->chooseItem(0)); }},
      {"document size", [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupDocumentSize->chooseItem(2)); }},
      {"two-sided scan", [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupDuplexScan->chooseItem(0)); }},
      {"the same file type again",
       [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupFileType->chooseItem(3)); }},
      {"scan type to another secure slot",
       [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupScanType->chooseItem(3)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedDialogs dialogs;
    Record r = scannerRecord();
    r.byScanType = 1;  // grey, secure PDF
    ShownPage shown(true, r);
    typeInto(shown.pw().securePassword, "1357");
    typeInto(shown.pw().secureRetypePassword, "1357");
    c.change(shown.ui());
    ASSERT_TRUE(shown.page.passwordShown());
    EXPECT_EQ(shown.pw().securePassword->text(), "1357");
    EXPECT_EQ(shown.pw().secureRetypePassword->text(), "1357");
    EXPECT_EQ(shown.page.isDataError(), 0);
    EXPECT_TRUE(shown.page.isDataChanged(r, shown.general));
    EXPECT_EQ(password(shown.savedGeneral()), "1357");
  }
  // Hidden and shown again: the stored password is back, and a hidden field is not stored.
  Record r = scannerRecord();
  r.byScanType = 1;
  ShownPage shown(true, r);
  typeInto(shown.pw().securePassword, "1357");
  choose(shown.ui().popupFileType, 1);
  EXPECT_FALSE(shown.page.passwordShown());
  EXPECT_EQ(shown.page.isDataError(), 0);
  EXPECT_EQ(password(shown.savedGeneral()), "2468");
  choose(shown.ui().popupFileType, 4);
  EXPECT_EQ(shown.pw().securePassword->text(), "2468");
}

// The password as the change check and getParam see it; no other general field counts, and the
// rest of the general record goes back byte for byte.
TEST(ScanToUSBPage, PasswordChangeCheckAndBytes) {
  struct Case {
    const char* what;
    const char* typed;  // nullptr: untouched
    bool changed;
  };
  const Case cases[] = {
      {"untouched", nullptr, false},
      {"typed as stored", "2468", false},
      {"typed anew", "8642", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Record r = scannerRecord();
    r.byScanType = 1;
    ShownPage shown(true, r);
    if (c.typed != nullptr) {
      typeInto(shown.pw().securePassword, c.typed);
      typeInto(shown.pw().secureRetypePassword, c.typed);
    }
    General otherwise = shown.general;
    otherwise.byScheduled_ME ^= 1;  // not the page's to compare
    EXPECT_EQ(shown.page.isDataChanged(r, otherwise), c.changed);
    General expected = shown.general;
    if (c.typed != nullptr) platform::textToField(expected.szSecurePDFPassword, QString::fromLatin1(c.typed));
    EXPECT_TRUE(sameGeneral(shown.savedGeneral(), expected));
  }
  // Stored passwords the page would not write itself (longer than four characters, not UTF-8, not
  // digits, all eight bytes used) are shown whole and go back byte for byte while untouched:
  // shown from the start or made to appear by a file-type choice, no change, no check.
  struct Stored {
    const char* what;
    char bytes[8];
  };
  const Stored stored[] = {
      {"six digits", {'1', '2', '3', '4', '5', '6', 0, 0}},
      {"eight digits, no NUL", {'1', '2', '3', '4', '5', '6', '7', '8'}},
      {"not UTF-8", {'\xff', '1', '\xfe', 0, 'x', 'y', 0, 0}},
      {"letters", {'a', 'b', 'c', 'd', 'e', 0, 0, 0}},
  };
  for (const Stored& st : stored) {
    for (const bool chosen : {false, true}) {
      SCOPED_TRACE(std::string(st.what) + (chosen ? ", secure PDF chosen" : ", secure PDF stored"));
      ScriptedDialogs dialogs;
      General odd = scannerGeneral();
      std::memcpy(odd.szSecurePDFPassword, st.bytes, sizeof st.bytes);
      Record r = scannerRecord();
      r.byScanType = chosen ? 2 : 1;  // colour holds a plain PDF, grey a secure one
      ShownPage shown(true, r, odd);
      if (chosen) choose(shown.ui().popupFileType, 3);
      ASSERT_TRUE(shown.page.passwordShown());
      EXPECT_EQ(shown.pw().securePassword->text(), platform::textFromField(odd.szSecurePDFPassword));
      EXPECT_EQ(shown.page.isDataError(), 0);
      EXPECT_TRUE(dialogs.alerts().empty());
      const Record back = chosen ? shown.savedRecord() : r;
      EXPECT_FALSE(shown.page.isDataChanged(back, odd));
      EXPECT_TRUE(sameGeneral(shown.savedGeneral(), odd));
    }
  }
  // A stored six-digit password: a keystroke that would make it longer is refused, one that
  // shortens it is taken, and what the user typed is then written.
  General six = scannerGeneral("123456");
  Record r = scannerRecord();
  r.byScanType = 1;
  ShownPage shown(true, r, six);
  shown.pw().securePassword->setFocus();
  shown.pw().securePassword->end(false);
  QTest::keyClicks(shown.pw().securePassword, "7");
  EXPECT_EQ(shown.pw().securePassword->text(), "123456");
  EXPECT_TRUE(sameGeneral(shown.savedGeneral(), six));
  QTest::keyClick(shown.pw().securePassword, Qt::Key_Backspace);
  EXPECT_EQ(shown.pw().securePassword->text(), "12345");
  EXPECT_EQ(password(shown.savedGeneral()), "12345");
}

// File-size and resolution choices go to the slot of the scan type shown, also when a
// restricted document size forced colour in place of automatic, and the scan-type choice
// itself is stored only when the controls are read back. Colour shown in place of the automatic
// the scanner held is stored only when the user's choice of the size forced it.
TEST(ScanToUSBPage, ChoicesGoToTheShownScanTypesSlot) {
  struct Case {
    const char* what;
    int storedScanType;
    void (*before)(const ScanOptionEditor::Controls&);
    int savedScanType;
  };
  const Case cases[] = {
      {"colour forced by a restricted size", 3,
       [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupDocumentSize->chooseItem(23)); }, 2},
      {"colour loaded with a restricted size", 3, nullptr, 3},
      {"colour chosen over grey", 1,
       [](const ScanOptionEditor::Controls& ui) { ASSERT_TRUE(ui.popupScanType->chooseItem(2)); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Record r = scannerRecord();
    r.byScanType = uint8_t(c.storedScanType);
    if (c.before == nullptr) r.byDocumentSize = 24;
    ShownPage shown(false, r);
    if (c.before != nullptr) c.before(shown.ui());
    ASSERT_EQ(shown.ui().popupScanType->indexOfSelectedItem(), 2);
    choose(shown.ui().popupFileSize, 2);
    choose(shown.ui().popupResolution, 1);
    EXPECT_EQ(shown.page.scan2USB().byFileSize_Color, 2);
    EXPECT_EQ(shown.page.scan2USB().wResolution_Color, 150);
    EXPECT_EQ(shown.page.scan2USB().byFileSize_Auto, r.byFileSize_Auto);
    EXPECT_EQ(shown.page.scan2USB().byFileSize_Gray, r.byFileSize_Gray);
    EXPECT_EQ(shown.page.scan2USB().wResolution_Auto, r.wResolution_Auto);
    EXPECT_EQ(shown.page.scan2USB().wResolution_Gray, r.wResolution_Gray);
    const Record out = shown.savedRecord();
    EXPECT_EQ(out.byScanType, c.savedScanType);
    EXPECT_EQ(out.byFileSize_Color, 2);
    EXPECT_EQ(out.wResolution_Color, 150);
  }
  // The scan-type handler leaves byScanType to reading back.
  ShownPage shown(false);
  choose(shown.ui().popupScanType, 1);
  EXPECT_EQ(shown.page.scan2USB().byScanType, 2);
  EXPECT_EQ(shown.savedRecord().byScanType, 1);
}

// The USB-only model: no continuous-scan row, no signed PDF.
TEST(ScanToUSBPage, UsbOnlyModelOffersNoSignedPdfNorContinuousScan) {
  Record r = scannerRecord();
  r.byScanType = 0;
  ShownPage shown(true, r);
  std::vector<int> offered;
  for (int i = 0; i < shown.ui().popupFileType->numberOfItems(); ++i)
    if (!shown.ui().popupFileType->isItemHidden(i)) offered.push_back(i);
  EXPECT_EQ(offered, (std::vector<int>{0, 1, 3, 4, 7, 8, 9, 10}));
  EXPECT_FALSE(shown.ui().popupContinuousScan->isVisible());
}

// The password fields start in line with the option pop-ups above them, at the desktop's text
// size and with text 1.5 times as large.
TEST(ScanToUSBPage, PasswordFieldsLineUpWithTheOptions) {
  Record r = scannerRecord();
  r.byScanType = 1;  // secure PDF: the password fields show
  for (double scale : {1.0, 1.5}) {
    SCOPED_TRACE(scale);
    ShownPage shown(true, r);
    QFont font = shown.page.font();
    font.setPointSizeF(font.pointSizeF() * scale);
    shown.page.setFont(font);
    shown.page.resize(shown.page.neededSize().expandedTo(pagelayout::kPageSize));
    QApplication::processEvents();
    ASSERT_TRUE(shown.pw().securePassword->isVisible());
    const auto left = [&](const QWidget* w) { return w->mapTo(&shown.page, QPoint(0, 0)).x(); };
    const int options = left(shown.ui().popupDocumentSize);
    EXPECT_EQ(left(shown.ui().popupContrast), options);
    EXPECT_EQ(left(shown.pw().securePassword), options);
    EXPECT_EQ(left(shown.pw().secureRetypePassword), options);
    // The labels end where the option labels end.
    const auto right = [&](const QWidget* w) { return left(w) + w->width(); };
    EXPECT_EQ(right(shown.pw().textPassword), right(shown.ui().labelDocumentSize));
  }
}

// Saves a picture of each model's page (the USB-only model with secure PDF, so the password
// fields show) into <build dir>/screenshots/, and checks what the user sees on it.
TEST(ScanToUSBPage, ScreenshotOfEachModel) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  for (bool isB : {false, true}) {
    Record r = scannerRecord();
    r.byScanType = 1;
    ShownPage shown(isB, r);
    QApplication::processEvents();
    EXPECT_EQ(shown.page.labelScanToUSB()->text(), text("IDS_P_SCAN_TO_USB"));
    EXPECT_EQ(shown.pw().textPassword->isVisible(), isB);
    EXPECT_EQ(shown.ui().popupFileType->titleOfSelectedItem(), text("IDS_P_SECURE_PDF_SGL"));
    const QImage image = shown.page.grab().toImage();
    EXPECT_EQ(image.size(), pagelayout::kPageSize);
    const QString path =
        QStringLiteral(ZR_SCREENSHOT_DIR "/scan-to-usb-%1.png").arg(isB ? "QMX-7305" : "QMX-7315W");
    EXPECT_TRUE(image.save(path)) << path.toStdString();
  }
}
