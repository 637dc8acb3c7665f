// The address-book page in the main window, against the simulated scanner: a user's edits go
// through the apply cycle to the scanner (the bytes it received are checked) and are there after
// reconnecting; a book that could not be read blocks nothing and is never written.
#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QCheckBox>
#include <QTreeView>
#include <cstring>

#include "MainWindowFixture.h"
#include "Views/CommandFailure.h"
#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "platform/Localizer.h"
#include "platform/widgets/PopUpButton.h"
#include "support/AddressBookFixture.h"

using platform::Localizer;
using namespace abtest;

namespace {

using Runs = std::vector<std::string>;

QString text(const char* key) { return Localizer::text(QString::fromLatin1(key)); }

class AddressBookApplyTest : public MainWindowTest {
 public:
  AddressBookApplyTest() {
    realPages = [](PageFactory& f) {
      f.registerPage(QString::fromLatin1(pages::kAddressBookStoryboard),
                     [](QWidget* p) { return std::make_unique<AddressBookControllerObjC>(p); });
    };
  }

  void click(const char* key) {
    QAbstractItemModel* model = vc->sourceListView()->model();
    const QModelIndexList found =
        model->match(model->index(0, 0), Qt::DisplayRole, text(key), 1, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(found.size(), 1) << key;
    vc->clickedItem(found.front());
  }
  QString shown() const {
    const auto views = vc->containerViews();
    return views.size() == 1 ? views.front()->objectName() : QStringLiteral("(%1 views)").arg(views.size());
  }
  AddressBookControllerObjC* book() const {
    return dynamic_cast<AddressBookControllerObjC*>(vc->page(QString::fromLatin1(pages::kAddressBookStoryboard)));
  }
  // The address books the scanner received, in order.
  std::vector<sim::Bytes> bookWrites() {
    std::vector<sim::Bytes> out;
    for (const auto& c : settledCommands())
      if (c.cmd.byDTC == FCLC_RS_ADDRESS_BOOK && c.cmd.byOPCode == FOP_WRITE2) out.push_back(c.dataIn);
    return out;
  }
  // A new main window on the same scanner (the old one lets the scanner go first).
  void reconnect() {
    vc.reset();
    vc = std::make_unique<ViewController>(factory);
    vc->setTerminateHandler([this] { ++terminations; });
    vc->setupInfo(link->ip(), QStringLiteral("BNT"), QStringLiteral("Zerelta QMX-7315W"), link->interface(),
                  QStringLiteral("UUID-1"), QStringLiteral("TWAIN-1"));
    appear();
  }
};

// A new user creates a group with two members, renames a contact, deletes one and presses
// Apply: the scanner receives exactly that book, and a new session shows it.
TEST_F(AddressBookApplyTest, EditsAppliedReachTheScannerAndAreThereAfterReconnecting) {
  loaded();
  const auto before = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  AddressBookControllerObjC* page = book();
  const auto& ui = page->controls();
  EXPECT_EQ(column(ui.groupTable, 2), (QStringList{"Accounting", "Sales", "Support"}));

  // The group: index 3 and number 3 are the free ones; Alice and Front Desk join.
  page->setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookGroupControllerObjC&>(d);
    editor.show();
    const auto& c = editor.controls();
    QTest::keyClicks(c.nameText, "Marketing");
    selectRow(c.contactTable, 0);  // Alice Example
    QTest::mouseClick(c.ltrBtn, Qt::LeftButton);
    selectRow(c.contactTable, 2);  // Front Desk (after Bob, Carol)
    QTest::mouseClick(c.ltrBtn, Qt::LeftButton);
    QTest::mouseClick(c.btnCreate, Qt::LeftButton);
  });
  QTest::mouseClick(ui.addGroupBtn, Qt::LeftButton);
  // Bob becomes Robert.
  page->setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    editor.controls().nameText->selectAll();
    QTest::keyClicks(editor.controls().nameText, "Robert Example");
    QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
  });
  selectRow(ui.contactTable, 1);
  QTest::mouseClick(ui.editContactBtn, Qt::LeftButton);
  // Dan goes.
  selectRow(ui.contactTable, 5);
  QTest::mouseClick(ui.delContactBtn, Qt::LeftButton);

  sent();
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "dtc155"}));
  ASSERT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));

  auto want = std::make_unique<FCL_RS_ADDRESS_BOOK>(*before);
  group(*want, 3, 3, "Marketing");
  contact(*want, 5, 0x1 | 0x4, "Alice Example", "alice@example.com");
  contact(*want, 6, 0x3, "Robert Example", "bob@example.com");
  contact(*want, 9, 0x4, "Front Desk", "frontdesk@example.org");
  std::memset(&want->sNode[11], 0, sizeof want->sNode[11]);  // Dan, index 12
  const auto writes = bookWrites();
  ASSERT_EQ(writes.size(), 1u);
  ASSERT_EQ(writes[0].size(), sizeof(FCL_RS_ADDRESS_BOOK));
  auto received = std::make_unique<FCL_RS_ADDRESS_BOOK>();
  std::memcpy(received.get(), writes[0].data(), sizeof *received);
  EXPECT_EQ(firstDifference(*want, *received), "");

  // Apply again: nothing changed, nothing written.
  vc->ApplyBtnPressed();
  EXPECT_EQ(bookWrites().size(), 1u);

  reconnect();
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  EXPECT_EQ(column(book()->controls().groupTable, 2), (QStringList{"Accounting", "Sales", "Marketing", "Support"}));
  EXPECT_EQ(column(book()->controls().groupTable, 3).at(2), " Alice Example Front Desk");
  EXPECT_EQ(column(book()->controls().contactTable, 1),
            (QStringList{"Alice Example", "Robert Example", "Carol Example", "Front Desk", ""}));
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// The book cannot be read when the page is shown: the not-read alert; Apply and leaving the page
// go through without a question and without writing the book.
TEST_F(AddressBookApplyTest, UnreadBookBlocksNothingAndIsNeverWritten) {
  loaded();
  const auto before = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_ADDRESS_BOOK;
  refused.lastErr = 0x2005;
  link->faults().add(refused);
  dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  EXPECT_EQ(book()->controls().contactTable->model()->rowCount(), 0);
  EXPECT_FALSE(book()->controls().addContactBtn->isEnabled());

  sent();
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID"}));
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_TRUE(bookWrites().empty());
  EXPECT_EQ(firstDifference(*before, link->model().addressBook()), "");
  EXPECT_EQ(dialogs.alerts().size(), 1u);
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// The change check cannot read the book again: with nothing edited, Apply and leaving the page
// write nothing (the book as last read is what the page compares with).
TEST_F(AddressBookApplyTest, FailedChangeCheckReadWithoutEditsWritesNothing) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_ADDRESS_BOOK;
  refused.lastErr = 0x2005;
  refused.count = 2;
  link->faults().add(refused);
  sent();
  vc->ApplyBtnPressed();
  EXPECT_EQ(sent(), (Runs{"status", "lockUUID", "dtc155"}));
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(shown(), "generalSetup");
  EXPECT_TRUE(bookWrites().empty());
  EXPECT_TRUE(dialogs.alerts().empty());
}

// The scanner refuses the write: the apply cycle reports the failure and the page stays.
TEST_F(AddressBookApplyTest, RefusedWriteIsReportedAsAFailure) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  selectRow(book()->controls().contactTable, 0);
  book()->deleteContact();
  sim::Fault refused;
  refused.opcode = FOP_WRITE2;
  refused.dtc = FCLC_RS_ADDRESS_BOOK;
  refused.lastErr = 0x2005;
  link->faults().add(refused);
  const auto before = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  dialogs.expectAlert(0, text("IDS_DATA_CHANGE_MSG"));
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(dialogs.alerts().back().information,
            withOutcome(text("IDS_APPLY_FAIL_ERROR_MSG"), CommandOutcome::refused(0x2005)));
  settledCommands();
  EXPECT_EQ(std::memcmp(before.get(), std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook()).get(),
                        sizeof(FCL_RS_ADDRESS_BOOK)),
            0)
      << "a refused write leaves the scanner's book as it was";
  EXPECT_EQ(shown(), "addressBook");
  EXPECT_EQ(book()->contactDictionary().size(), 5u) << "the edit stays for another try";
}

}  // namespace
