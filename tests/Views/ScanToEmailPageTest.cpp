// The scan-to-e-mail page driven as a user drives it: choosing pop-up items, typing margins and
// clicking steppers, then reading the bytes getParam writes and what isDataChanged answers.
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
#include "Views/ScanToEmailControllerObjC.h"
#include "platform/widgets/Widgets.h"

namespace {

using Page = ScanToEmailControllerObjC;
using Controls = ScanOptionEditor::Controls;
using Record = FCL_RS_PARAM_SCANPROFILE;

// A record as a scanner might hold it; reserved bytes carry a pattern so that a page touching
// them shows up in the byte comparisons.
Record scannerRecord() {
  Record r;
  std::memset(&r, 0xA5, sizeof r);
  r.byScanType = 2;
  r.byFileType_BW = 9;
  r.byFileType_Gray = 2;
  r.byFileType_Color = 1;
  r.byFileType_Auto = 3;
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
  r.byMarginLeft = -7;
  r.byMarginTop = 0;
  r.byMarginRight = 23;
  r.byMarginBottom = -128;
  r.byAutoDeskew = 1;
  r.bySkipBlankPage = 1;
  r.byDuplexScan = 1;
  r.byMultifeedDetection = 0;
  r.byContinuousScan = 1;
  r.byAutoColorDetectSensitivity = 3;
  r.bySkipBlankPageSensitivity = 2;
  r.byBrightness = -3;
  r.byContrast = 4;
  return r;
}

bool sameBytes(const Record& a, const Record& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct ShownPage {
  explicit ShownPage(const Record& record = scannerRecord(), bool isB = false) : loaded(record) {
    page.resize(pagelayout::kPageSize);
    page.setParam(record, isB);
    page.show();
  }
  const Controls& ui() const { return page.editor()->controls(); }
  Record saved() {
    Record out;
    std::memset(&out, 0, sizeof out);
    page.getParam(out);
    return out;
  }
  Record loaded;
  Page page;
};

void retype(QLineEdit* field, const QString& typed) {
  field->setFocus();
  field->clear();  // the program's clearing runs no filter
  QTest::keyClicks(field, typed);
}

}  // namespace

// The margin fields' typing filter keeps the longest leading number, and a lone "-" the user is
// starting a negative margin with.
TEST(ScanOptionEditorFilter, KeepsTheLeadingNumberAndALoneMinus) {
  const struct {
    const char* typed;
    const char* kept;
  } cases[] = {{"", ""}, {"-", "-"}, {"-a", "-"}, {"1.5x", "1.5"}, {"-12.8", "-12.8"}, {"12..", "12."}, {"a", ""},
               {"3-", "3"}};
  for (const auto& c : cases)
    EXPECT_EQ(ScanOptionEditor::numericStringFromString(QString::fromLatin1(c.typed)), QString::fromLatin1(c.kept))
        << c.typed;
}

TEST(ScanToEmailPage, IsTheStandardFactorysPageAndTouchesOnlyItsRecord) {
  std::unique_ptr<PageController> page = PageFactory::standard().create(pages::kScanToEmailStoryboard);
  ASSERT_NE(dynamic_cast<Page*>(page.get()), nullptr);
  EXPECT_EQ(page->viewIdentifier(), "scan2Email");

  MainWindowState state;
  std::memset(&state.sParamAll, 0x5A, sizeof state.sParamAll);
  state.sParamAll.sScan2Email = scannerRecord();
  const MainWindowState before = state;
  page->setParam(state);
  EXPECT_EQ(page->isDataError(), 0);
  EXPECT_FALSE(page->isDataChanged(state));
  EXPECT_TRUE(page->getParam(state));
  EXPECT_EQ(std::memcmp(&state.sParamAll, &before.sParamAll, sizeof state.sParamAll), 0);
}

// Untouched, every record goes back byte for byte, including values no item stands for.
TEST(ScanToEmailPage, UntouchedRecordsAreWrittenBackUnchanged) {
  struct Case {
    const char* what;
    void (*change)(Record&);
  };
  const Case cases[] = {
      {"as the scanner holds it", [](Record&) {}},
      {"black and white", [](Record& r) { r.byScanType = 0; }},
      {"grey with JPEG", [](Record& r) { r.byScanType = 1; }},
      {"scan type past the list", [](Record& r) { r.byScanType = 7; }},
      {"document size past the list", [](Record& r) { r.byDocumentSize = 40; }},
      {"resolution not offered", [](Record& r) { r.wResolution_Color = 250; }},
      {"file type and size past the lists",
       [](Record& r) {
         r.byFileType_Color = 15;
         r.byFileSize_Color = 9;
       }},
      {"brightness, contrast, sensitivities past the lists",
       [](Record& r) {
         r.byBrightness = 99;
         r.byContrast = -100;
         r.bySkipBlankPageSensitivity = 9;
         r.byAutoColorDetectSensitivity = -1;
         r.byAutoDeskew = 8;
       }},
      {"extreme margins",
       [](Record& r) {
         r.byMarginLeft = 127;
         r.byMarginTop = -128;
         r.byMarginRight = 1;
         r.byMarginBottom = -1;
       }},
      // File types the shown scan type does not offer (shown as multi-page PDF).
      {"colour with TIFF", [](Record& r) { r.byFileType_Color = 9; }},
      {"automatic with JPEG", [](Record& r) {
         r.byScanType = 3;
         r.byFileType_Auto = 2;
       }},
      {"black and white with JPEG", [](Record& r) {
         r.byScanType = 0;
         r.byFileType_BW = 2;
       }},
      // Combinations the option rules would not produce (shown as the rules force them).
      {"restricted size with automatic, two-sided, blank-page skipping, 600 dpi", [](Record& r) {
         r.byDocumentSize = 23;
         r.byScanType = 3;
         r.byDuplexScan = 1;
         r.bySkipBlankPage = 1;
         r.wResolution_Auto = 600;
         r.wResolution_Color = 600;
       }},
      {"restricted size with colour at 400 dpi", [](Record& r) {
         r.byDocumentSize = 24;
         r.wResolution_Color = 400;
       }},
      {"every byte 0xFF", [](Record& r) { std::memset(&r, 0xFF, sizeof r); }},
      {"every byte 0x80", [](Record& r) { std::memset(&r, 0x80, sizeof r); }},
      {"every byte 0x02", [](Record& r) { std::memset(&r, 0x02, sizeof r); }},
  };
  for (bool isB : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (isB ? " (USB-only model)" : ""));
      Record r = scannerRecord();
      c.change(r);
      ShownPage shown(r, isB);
      EXPECT_FALSE(shown.page.isDataChanged(r));
      EXPECT_TRUE(sameBytes(shown.saved(), r));
      // Also after the user changed a control there and back.
      const int size = shown.ui().popupDocumentSize->indexOfSelectedItem();
      choose(shown.ui().popupDocumentSize, 25);
      if (size >= 0) choose(shown.ui().popupDocumentSize, size);
      else shown.ui().popupDocumentSize->selectItem(-1);
      EXPECT_FALSE(shown.page.isDataChanged(r));
      EXPECT_TRUE(sameBytes(shown.saved(), r));
    }
  }
}

// What the user changes is written, and what the option rules change because of it: a
// restricted size turns two-sided scan and blank-page skipping off, colour replaces automatic
// and 600 dpi becomes 300; a scan type chosen stores the file type its slot shows. What the user
// left alone stays as stored beside it.
TEST(ScanToEmailPage, TheUsersChangesAndWhatFollowsFromThemAreWritten) {
  struct Case {
    const char* what;
    void (*change)(Record&);
    void (*act)(const Controls&);
    void (*expect)(Record&);
  };
  const Case cases[] = {
      {"restricted size chosen", [](Record& r) {
         r.byScanType = 3;
         r.wResolution_Auto = 600;
       },
       [](const Controls& ui) { choose(ui.popupDocumentSize, 23); },
       [](Record& r) {
         r.byDocumentSize = 23;
         r.byScanType = 2;
         r.byDuplexScan = 0;
         r.bySkipBlankPage = 0;
       }},
      {"restricted size chosen with 600 dpi", [](Record& r) { r.wResolution_Color = 600; },
       [](const Controls& ui) { choose(ui.popupDocumentSize, 24); },
       [](Record& r) {
         r.byDocumentSize = 24;
         r.byDuplexScan = 0;
         r.bySkipBlankPage = 0;
         r.wResolution_Color = 300;
       }},
      {"scan type chosen whose slot holds a file type it does not offer", [](Record& r) { r.byFileType_Gray = 9; },
       [](const Controls& ui) { choose(ui.popupScanType, 1); },
       [](Record& r) {
         r.byScanType = 1;
         r.byFileType_Gray = 1;
       }},
      {"stored restricted combination, only the brightness changed", [](Record& r) {
         r.byDocumentSize = 23;
         r.byScanType = 3;
       },
       [](const Controls& ui) { choose(ui.popupBrightness, 0); },
       [](Record& r) { r.byBrightness = ScanOptionEditor::kBrightnessMin; }},
      {"hidden file type, another chosen", [](Record& r) { r.byFileType_Color = 9; },
       [](const Controls& ui) { choose(ui.popupFileType, 0); },
       [](Record& r) { r.byFileType_Color = 0; }},
      {"stored restricted combination, the other restricted size chosen", [](Record& r) {
         r.byDocumentSize = 23;
         r.byScanType = 3;
         r.wResolution_Auto = 600;
       },
       [](const Controls& ui) { choose(ui.popupDocumentSize, 24); },
       [](Record& r) {
         // What the controls showed all along (colour, off, off, 300 dpi) is what the rule
         // makes of the new size, and is written.
         r.byDocumentSize = 24;
         r.byScanType = 2;
         r.byDuplexScan = 0;
         r.bySkipBlankPage = 0;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Record r = scannerRecord();
    c.change(r);
    ShownPage shown(r);
    c.act(shown.ui());
    Record expected = r;
    c.expect(expected);
    EXPECT_TRUE(shown.page.isDataChanged(r));
    EXPECT_TRUE(sameBytes(shown.saved(), expected));
  }
}

// Once the scanner has taken a save, a control the user moves back to what it first showed stands
// for what it now shows, not for the bytes first read.
TEST(ScanToEmailPage, AfterAnAcceptedSaveUntouchedMeansAsSaved) {
  Record r = scannerRecord();
  r.byFileType_Gray = 9;  // not offered under grey: shown as multi-page PDF
  r.byScanType = 1;
  ShownPage shown(r);
  const int shownType = shown.ui().popupFileType->indexOfSelectedItem();
  choose(shown.ui().popupFileType, 0);
  const Record first = shown.saved();
  EXPECT_EQ(first.byFileType_Gray, 0);
  shown.page.saveAccepted();
  EXPECT_FALSE(shown.page.isDataChanged(first));
  choose(shown.ui().popupFileType, shownType);
  const Record second = shown.saved();
  EXPECT_EQ(second.byFileType_Gray, shownType);
  Record expected = first;
  expected.byFileType_Gray = uint8_t(shownType);
  EXPECT_TRUE(sameBytes(second, expected));
}

TEST(ScanToEmailPage, ReservedBytesAreNeitherComparedNorChanged) {
  ShownPage shown;
  Record other = shown.loaded;
  std::memset(other.byReserved5, 0x11, sizeof other.byReserved5);
  other.byReserved1[0] = 0;
  EXPECT_FALSE(shown.page.isDataChanged(other));
  EXPECT_EQ(std::memcmp(shown.saved().byReserved5, shown.loaded.byReserved5, sizeof other.byReserved5), 0);
  Record paper = shown.loaded;
  paper.dwPaperWidth = 1;
  EXPECT_TRUE(shown.page.isDataChanged(paper));
}

TEST(ScanToEmailPage, FileTypesAndSizeFollowTheScanTypeAndModel) {
  struct Case {
    int scanType;
    bool isB;
    std::vector<int> fileTypes;
    bool fileSizeEnabled;
  };
  const Case cases[] = {
      {0, false, {0, 1, 3, 4, 5, 6, 7, 8, 9, 10}, false},
      {1, false, {0, 1, 2, 3, 4, 5, 6, 7, 8}, true},
      {2, true, {0, 1, 2, 3, 4, 7, 8}, true},
      {3, false, {0, 1, 3, 4, 5, 6}, true},
      {3, true, {0, 1, 3, 4}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "scan type " << c.scanType << (c.isB ? " USB model" : ""));
    Record r = scannerRecord();
    r.byScanType = uint8_t(c.scanType);
    ShownPage shown(r, c.isB);
    EXPECT_EQ(offered(shown.ui().popupFileType), c.fileTypes);
    EXPECT_EQ(shown.ui().popupFileSize->isEnabled(), c.fileSizeEnabled);
    EXPECT_EQ(shown.ui().popupContinuousScan->isHidden(), c.isB);
    EXPECT_EQ(shown.ui().labelContinuousScan->isHidden(), c.isB);
  }
  // Black and white: no size shown, none stored whatever the user did before.
  Record r = scannerRecord();
  ShownPage shown(r);
  choose(shown.ui().popupScanType, 0);
  EXPECT_EQ(shown.ui().popupFileSize->titleOfSelectedItem(), QString());
  EXPECT_EQ(shown.ui().popupFileType->indexOfSelectedItem(), 9);
  EXPECT_EQ(shown.ui().popupResolution->indexOfSelectedItem(), 5);
  Record expected = r;
  expected.byScanType = 0;
  EXPECT_TRUE(sameBytes(shown.saved(), expected));
}

// A stored file type the scan type does not offer shows as multi-page PDF and is saved as that.
TEST(ScanToEmailPage, HiddenStoredFileTypeShowsAsMultiPagePdf) {
  Record r = scannerRecord();
  r.byScanType = 3;
  r.byFileType_Auto = 2;
  ShownPage shown(r);
  EXPECT_EQ(shown.ui().popupFileType->indexOfSelectedItem(), 1);
  EXPECT_FALSE(shown.page.isDataChanged(r));
  EXPECT_EQ(shown.saved().byFileType_Auto, 2);
}

TEST(ScanToEmailPage, UserChoicesAreWrittenToTheShownSlot) {
  ShownPage shown;  // colour
  choose(shown.ui().popupFileType, 4);
  choose(shown.ui().popupFileSize, 2);
  choose(shown.ui().popupResolution, 0);
  choose(shown.ui().popupScanType, 1);  // grey slot shows its own values
  EXPECT_EQ(shown.ui().popupFileType->indexOfSelectedItem(), 2);
  EXPECT_EQ(shown.ui().popupResolution->indexOfSelectedItem(), 2);
  choose(shown.ui().popupBrightness, shown.ui().popupBrightness->numberOfItems() - 1);
  choose(shown.ui().popupDocumentSize, 25);
  const Record out = shown.saved();
  Record expected = shown.loaded;
  expected.byScanType = 1;
  expected.byFileType_Color = 4;
  expected.byFileSize_Color = 2;
  expected.wResolution_Color = 100;
  expected.byBrightness = ScanOptionEditor::kBrightnessMax;
  expected.byDocumentSize = 25;
  EXPECT_TRUE(sameBytes(out, expected));
}

// Restricted sizes force colour and switch off two-sided scan and blank-page skipping; leaving
// them offers everything again but keeps what was forced.
TEST(ScanToEmailPage, RestrictedDocumentSizes) {
  for (int size : {23, 24}) {
    SCOPED_TRACE(size);
    Record r = scannerRecord();
    r.byScanType = 3;
    r.wResolution_Color = 600;
    ShownPage shown(r);
    const Controls& ui = shown.ui();
    choose(ui.popupDocumentSize, size);
    EXPECT_EQ(ui.popupScanType->indexOfSelectedItem(), 2);
    EXPECT_EQ(offered(ui.popupScanType), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ui.popupDuplexScan->indexOfSelectedItem(), 0);
    EXPECT_EQ(ui.popupSkipBlankPages->indexOfSelectedItem(), 0);
    EXPECT_EQ(offered(ui.popupDuplexScan), std::vector<int>{0});
    EXPECT_EQ(offered(ui.popupSkipBlankPages), std::vector<int>{0});
    EXPECT_FALSE(ui.popupSkipBlankPageSensitivity->isEnabled());
    EXPECT_FALSE(ui.popupAutoColorDetectAdjust->isEnabled());
    EXPECT_TRUE(ui.popupResolution->isItemHidden(5));
    EXPECT_EQ(ui.popupResolution->indexOfSelectedItem(), 3);  // the colour slot's 600 as 300

    choose(ui.popupDocumentSize, 22);
    EXPECT_EQ(offered(ui.popupScanType), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(offered(ui.popupDuplexScan), (std::vector<int>{0, 1}));
    EXPECT_EQ(offered(ui.popupSkipBlankPages), (std::vector<int>{0, 1}));
    EXPECT_FALSE(ui.popupResolution->isItemHidden(5));
    EXPECT_TRUE(ui.popupSkipBlankPageSensitivity->isEnabled());
    EXPECT_TRUE(ui.popupAutoColorDetectAdjust->isEnabled());
    EXPECT_EQ(ui.popupScanType->indexOfSelectedItem(), 2);
    EXPECT_EQ(ui.popupDuplexScan->indexOfSelectedItem(), 0);
    const Record out = shown.saved();
    EXPECT_EQ(out.byScanType, 2);
    EXPECT_EQ(out.byDuplexScan, 0);
    EXPECT_EQ(out.bySkipBlankPage, 0);
    EXPECT_EQ(out.byDocumentSize, 22);
    EXPECT_EQ(out.wResolution_Color, 600);  // 600 offered again and shown as stored
    EXPECT_EQ(out.wResolution_Auto, r.wResolution_Auto);
  }
}

// Loaded with automatic, a restricted size shows colour; untouched, automatic goes back. A scan
// type the user chooses is stored.
TEST(ScanToEmailPage, RestrictedSizeLoadedWithAutomaticShowsColour) {
  Record r = scannerRecord();
  r.byDocumentSize = 24;
  r.byScanType = 3;
  ShownPage shown(r);
  EXPECT_EQ(shown.ui().popupScanType->indexOfSelectedItem(), 2);
  EXPECT_FALSE(shown.page.isDataChanged(r));
  EXPECT_TRUE(sameBytes(shown.saved(), r));
  choose(shown.ui().popupScanType, 1);
  EXPECT_TRUE(shown.page.isDataChanged(r));
  const Record out = shown.saved();
  EXPECT_EQ(out.byScanType, 1);
  EXPECT_EQ(out.byFileType_Auto, r.byFileType_Auto);
  EXPECT_EQ(out.wResolution_Auto, r.wResolution_Auto);
}

TEST(ScanToEmailPage, RestrictedSizeShowsAndSaves400As300) {
  Record r = scannerRecord();
  r.byDocumentSize = 23;
  r.byScanType = 1;
  r.byDuplexScan = 0;
  r.bySkipBlankPage = 0;
  ShownPage shown(r);
  choose(shown.ui().popupResolution, 4);
  EXPECT_EQ(shown.page.scan2Email().wResolution_Gray, 400);
  EXPECT_EQ(shown.ui().popupResolution->indexOfSelectedItem(), 3);
  EXPECT_EQ(shown.saved().wResolution_Gray, 300);
}

TEST(ScanToEmailPage, MarginTypingFilter) {
  struct Case {
    const char* typed;
    const char* shown;
    double stepper;
  };
  const Case cases[] = {
      {"-", "-", 0.0},     {"2.", "2.", 2.0},    {"5", "3", 3.0},     {"-7", "-3", -3.0},
      {"2.26", "2.3", 2.26}, {"1.25", "1.3", 1.25}, {"1.2x", "1.2", 1.2}, {"x", "0", 0.0},
      {"1e", "1", 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ShownPage shown;
    shown.ui().stepperTop->setRange(-3, 3);
    shown.ui().stepperRight->setValue(0);
    retype(shown.ui().textRight, QString::fromLatin1(c.typed));
    EXPECT_EQ(shown.ui().textRight->text(), QString::fromLatin1(c.shown));
    EXPECT_DOUBLE_EQ(shown.ui().stepperRight->value(), c.stepper);
  }
  // Erasing the whole text gives 0.
  ShownPage shown;
  shown.ui().textLeft->setFocus();
  shown.ui().textLeft->selectAll();
  QTest::keyClick(shown.ui().textLeft, Qt::Key_Backspace);
  EXPECT_EQ(shown.ui().textLeft->text(), QStringLiteral("0"));
}

TEST(ScanToEmailPage, MarginsAreStoredAsTenths) {
  ShownPage shown;
  EXPECT_EQ(shown.ui().textLeft->text(), QStringLiteral("-0.7"));
  EXPECT_EQ(shown.ui().textBottom->text(), QStringLiteral("-12.8"));
  // Every one-decimal value of the byte's range comes back as ten times its value.
  for (int tenths = -128; tenths <= 127; ++tenths) {
    shown.ui().textTop->setText(QString::asprintf("%.1f", tenths / 10.0));
    ASSERT_EQ(shown.saved().byMarginTop, tenths) << tenths;
  }
  // An empty field reads back as 1.0.
  shown.ui().textRight->clear();
  EXPECT_EQ(shown.saved().byMarginRight, 10);
  EXPECT_EQ(shown.ui().textRight->text(), QStringLiteral("1.0"));
  // A stepper click writes its value with one decimal.
  shown.ui().stepperBottom->setValue(1.0);
  shown.ui().stepperBottom->stepUp();
  EXPECT_EQ(shown.ui().textBottom->text(), QStringLiteral("1.1"));
  EXPECT_EQ(shown.saved().byMarginBottom, 11);
}

TEST(ScanToEmailPage, BrightnessIsTheNumberOfItsTitle) {
  ShownPage shown;
  EXPECT_EQ(shown.ui().popupBrightness->titleOfSelectedItem(), QStringLiteral("-3"));
  EXPECT_EQ(shown.ui().popupContrast->titleOfSelectedItem(), QStringLiteral("4"));
  EXPECT_EQ(shown.saved().byBrightness, -3);
}

// Renders the page at the main window's page size into <build dir>/screenshots/.
TEST(ScanToEmailPage, Screenshot) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  ShownPage shown;
  QApplication::processEvents();
  const QImage image = shown.page.grab().toImage();
  EXPECT_EQ(image.size(), pagelayout::kPageSize);
  const QString path = QStringLiteral(ZR_SCREENSHOT_DIR "/scan-to-email.png");
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}
