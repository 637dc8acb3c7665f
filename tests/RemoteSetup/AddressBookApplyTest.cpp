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
#include <QFile>
#include <cstring>

#include "IO/FCLFileData.h"

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
  // Refuses the scanner's next `count` reads of the address book.
  void refuseBookReads(int count) {
    sim::Fault refused;
    refused.opcode = FOP_READ;
    refused.dtc = FCLC_RS_ADDRESS_BOOK;
    refused.lastErr = 0x2005;
    refused.count = count;
    link->faults().add(refused);
  }
  // The book the scanner holds now.
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> scannerBook() {
    settledCommands();
    return std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  }
  // Deletes the contact of table row `row` on the page.
  void deleteContactRow(int row) {
    selectRow(book()->controls().contactTable, row);
    QTest::mouseClick(book()->controls().delContactBtn, Qt::LeftButton);
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

// The book cannot be read when the page is shown, and none was read before: the alert that it
// could not be read; Apply and leaving the page go through without a question and without
// writing the book.
TEST_F(AddressBookApplyTest, UnreadBookBlocksNothingAndIsNeverWritten) {
  loaded();
  const auto before = std::make_unique<FCL_RS_ADDRESS_BOOK>(link->model().addressBook());
  sim::Fault refused;
  refused.opcode = FOP_READ;
  refused.dtc = FCLC_RS_ADDRESS_BOOK;
  refused.lastErr = 0x2005;
  link->faults().add(refused);
  dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  EXPECT_TRUE(dialogs.alerts().back().information.startsWith(text("IDS_AB_READ_FAIL_INFO")));
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

// After an accepted Apply the page's book is the one it wrote: the scanner refuses the reads when
// the user comes back; the page says once that the book could not be read and shows the saved
// book; leaving it asks nothing; another edit goes to the scanner on top of the saved book.
TEST_F(AddressBookApplyTest, SavedBookIsWhatThePageFallsBackTo) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  deleteContactRow(0);  // Alice
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  ASSERT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
  const auto saved = scannerBook();
  const QStringList names = column(book()->controls().contactTable, 1);

  click("IDS_GS_GENERAL_SETUP");
  ASSERT_EQ(shown(), "generalSetup");
  refuseBookReads(3);
  dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  EXPECT_EQ(column(book()->controls().contactTable, 1), names);
  EXPECT_TRUE(book()->controls().addContactBtn->isEnabled());
  click("IDS_GS_GENERAL_SETUP");
  EXPECT_EQ(shown(), "generalSetup") << "the untouched page asks nothing";
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(dialogs.alerts().size(), 2u);

  refuseBookReads(2);
  dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
  click("IDS_AB_ADDRESS_BOOK");
  deleteContactRow(0);  // Bob
  dialogs.expectAlert(0, text("IDS_CM_INFORMATION"));
  vc->ApplyBtnPressed();
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_APPLY_SUCCESS_MSG"));
  std::memset(&saved->sNode[5], 0, sizeof saved->sNode[5]);  // Bob, index 6
  EXPECT_EQ(firstDifference(*saved, *scannerBook()), "");
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// An import of the address book that the scanner accepted is the page's book: a read refused
// afterwards shows the imported book. A failed import leaves the page without a book: a refused
// read then shows nothing, and nothing is written.
TEST_F(AddressBookApplyTest, ImportReplacesThePagesBook) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  auto imported = std::make_unique<FCL_RS_ADDRESS_BOOK>(*scannerBook());
  std::memset(imported->sNode, 0, sizeof imported->sNode);
  group(*imported, 1, 1, "Imported group");
  contact(*imported, 2, 0x1, "Imported", "imported@example.com");
  const QString path = home.file("book.addr");
  {
    QByteArray bytes = QByteArray(kSignatureBntAddressBook).leftJustified(40, '\0');
    bytes.append(reinterpret_cast<const char*>(imported.get()), sizeof *imported);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  struct Case {
    const char* name;
    bool refuseWrite;
  };
  for (const Case& c : {Case{"accepted", false}, Case{"refused", true}}) {
    SCOPED_TRACE(c.name);
    click("IDS_GS_GENERAL_SETUP");
    ASSERT_EQ(shown(), "generalSetup");
    if (c.refuseWrite) {
      sim::Fault refused;
      refused.opcode = FOP_WRITE2;
      refused.dtc = FCLC_RS_ADDRESS_BOOK;
      refused.lastErr = 0x2005;
      link->faults().add(refused);
    }
    const auto before = scannerBook();
    dialogs.expectAlert(1, text("IDS_EID_IMPORT_CAUTION"), true);
    dialogs.expectPanel(path);
    dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
    vc->ImportBtnPressed();
    EXPECT_EQ(dialogs.alerts().back().information.startsWith(text("IDS_RS_IMPORT_FAIL")), c.refuseWrite);
    EXPECT_EQ(firstDifference(c.refuseWrite ? *before : *imported, *scannerBook()), "");

    refuseBookReads(1);
    dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
    click("IDS_AB_ADDRESS_BOOK");
    ASSERT_EQ(shown(), "addressBook");
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
    EXPECT_EQ(column(book()->controls().contactTable, 1), c.refuseWrite ? QStringList{} : QStringList{"Imported"});
    EXPECT_EQ(book()->isBookRead(), !c.refuseWrite);
    const std::size_t writes = bookWrites().size();
    click("IDS_GS_GENERAL_SETUP");
    EXPECT_EQ(shown(), "generalSetup") << "nothing to ask";
    EXPECT_EQ(bookWrites().size(), writes);
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
}

// A file that changed after the window's checks is refused by the reader before anything is
// written: the alert says nothing was written, and the page keeps the book it last accepted (a
// refused read afterwards shows it, and it is still the scanner's).
TEST_F(AddressBookApplyTest, ImportRefusedByTheReaderKeepsThePagesBook) {
  loaded();
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  const QStringList names = column(book()->controls().contactTable, 1);
  ASSERT_FALSE(names.isEmpty());
  // The signature within the first 40 bytes passes the window's check; the reader wants it
  // followed by NULs.
  const QString path = home.file("changed.addr");
  {
    QByteArray bytes = (QByteArray(kSignatureBntAddressBook) + "ABCD").leftJustified(40, '\0');
    bytes.append(reinterpret_cast<const char*>(scannerBook().get()), sizeof(FCL_RS_ADDRESS_BOOK));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
  }
  click("IDS_GS_GENERAL_SETUP");
  ASSERT_EQ(shown(), "generalSetup");
  const std::size_t writes = bookWrites().size();
  dialogs.expectAlert(1, text("IDS_EID_IMPORT_CAUTION"), true);
  dialogs.expectPanel(path);
  dialogs.expectAlert(0, text("IDS_IMPORT_FILE_FORMAT_INCORRECT_MSG"));
  dialogs.expectAlert(0, text("IDS_CM_MESSAGE"));
  vc->ImportBtnPressed();
  EXPECT_EQ(dialogs.alerts().back().information, text("IDS_RS_IMPORT_NOTHING_WRITTEN"));
  EXPECT_EQ(bookWrites().size(), writes);

  refuseBookReads(1);
  dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
  click("IDS_AB_ADDRESS_BOOK");
  ASSERT_EQ(shown(), "addressBook");
  EXPECT_EQ(column(book()->controls().contactTable, 1), names);
  EXPECT_TRUE(book()->isBookRead());
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

}  // namespace
