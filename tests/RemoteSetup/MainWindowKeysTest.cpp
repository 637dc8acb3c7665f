// The main window's keys: Return in a text field applies the page as Apply does (never OK, which
// quits); in the source list and the pop-ups Return keeps its own meaning; the six buttons
// answer Alt with letters of their own.

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTreeView>

#include "MainWindowFixture.h"
#include "Views/ScanFileNameControllerObjC.h"
#include "platform/FixedText.h"
#include "platform/widgets/Widgets.h"

namespace {

QString text(const char* key) { return platform::Localizer::text(QString::fromLatin1(key)); }

class MainWindowKeysTest : public MainWindowTest {
 public:
  MainWindowKeysTest() {
    realPages = [](PageFactory& f) { registerStandardPages(f); };
  }

  // The file-name page on show, its name edited to "OFFICE2" and not yet saved; the window is
  // the active one, so that its keys reach it.
  ScanFileNameControllerObjC* editedFileNamePage() {
    loaded();
    vc->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(vc.get()));
    click(pages::kScanFileNameTitle);
    settle();
    auto* page = qobject_cast<ScanFileNameControllerObjC*>(vc->containerViews().value(0));
    if (page == nullptr) return nullptr;
    QLineEdit* name = page->controls().textFileName;
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, "2");
    return page;
  }
  std::string scannerFileName() {
    settledCommands();
    return platform::textFromField(link->model().paramAll().sFilename.szName).toStdString();
  }
};

}  // namespace

// Return (and Enter) in a text field saves the page without a question and keeps the window.
TEST_F(MainWindowKeysTest, ReturnInATextFieldApplies) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    SCOPED_TRACE(key == Qt::Key_Return ? "Return" : "Enter");
    ScanFileNameControllerObjC* page = editedFileNamePage();
    ASSERT_NE(page, nullptr);
    dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
    QTest::keyClick(page->controls().textFileName, key);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    ASSERT_FALSE(dialogs.alerts().empty());
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
    EXPECT_EQ(scannerFileName(), "OFFICE2");
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(vc->isVisible());
  }
}

// In a pop-up and in the source list Return does not save the page.
TEST_F(MainWindowKeysTest, ReturnElsewhereKeepsItsOwnMeaning) {
  ScanFileNameControllerObjC* page = editedFileNamePage();
  ASSERT_NE(page, nullptr);
  QWidget* popup = page->controls().popupDate->comboBox();
  popup->setFocus();
  QTest::keyClick(popup, Qt::Key_Return);
  vc->sourceListView()->setFocus();
  QTest::keyClick(vc->sourceListView(), Qt::Key_Return);
  settle();
  EXPECT_TRUE(dialogs.alerts().empty());
  EXPECT_EQ(scannerFileName(), "OFFICE");
  EXPECT_EQ(terminations, 0);
}

// Each of the six buttons has an Alt letter, none twice; Alt with Apply's letter saves the page.
TEST_F(MainWindowKeysTest, ButtonsHaveLettersOfTheirOwn) {
  ScanFileNameControllerObjC* page = editedFileNamePage();
  ASSERT_NE(page, nullptr);
  QSet<QChar> letters;
  QChar apply;
  for (const char* name : {"btnImport", "btnExport", "btnDevices", "btnOK", "btnCancel", "btnApply"}) {
    auto* button = vc->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    const QChar letter = mnemonic(button->text());
    EXPECT_FALSE(letter.isNull()) << name;
    EXPECT_FALSE(letters.contains(letter)) << name;
    letters.insert(letter);
    if (QLatin1String(name) == QLatin1String("btnApply")) apply = letter;
  }
  ASSERT_FALSE(apply.isNull());
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  QTest::keyClick(page->controls().textFileName, Qt::Key(Qt::Key_A + (apply.unicode() - u'A')), Qt::AltModifier);
  // The button shows itself pressed for a moment before it acts.
  QElapsedTimer limit;
  limit.start();
  while (dialogs.pendingAlerts() > 0 && limit.elapsed() < 5000) QTest::qWait(10);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(scannerFileName(), "OFFICE2");
  EXPECT_EQ(terminations, 0);
}
