// The address-book page against the simulated scanner: what it shows of the scanner's book, the
// add buttons, deleting, the change check, the editors opened from the page, and the bytes of
// the book it writes (or that it writes nothing).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "IO/FCLCodes.h"
#include "IO/FCLCommand.h"
#include "IO/IOWrapper.h"
#include "Model/Utilities.h"
#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "Views/PageFactory.h"
#include "Views/PageLayout.h"
#include "Views/PageTable.h"
#include "Views/TableDataSource.h"
#include "platform/FixedText.h"
#include "platform/Localizer.h"
#include "platform/widgets/PopUpButton.h"
#include "support/AddressBookFixture.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"
#include "support/SimScanner.h"

using namespace std::chrono_literals;
using namespace abtest;

namespace {

using Page = AddressBookControllerObjC;
constexpr uint32_t kRefused = 0x2005;

QString text(const char* key) { return platform::tr_(QString::fromLatin1(key)); }

sim::Fault onBook(uint8_t opcode) {
  sim::Fault f;
  f.opcode = opcode;
  f.dtc = FCLC_RS_ADDRESS_BOOK;
  return f;
}
sim::Fault refused(uint8_t opcode) {
  sim::Fault f = onBook(opcode);
  f.lastErr = kRefused;
  return f;
}
sim::Fault cutOff(uint8_t opcode) {
  sim::Fault f = onBook(opcode);
  // A read breaks off after the status and part of the book, a write after part of the book.
  if (opcode == FOP_READ) f.closeAfterSent = 32 + 5000;
  else f.closeAfterReceived = 5000;
  return f;
}

class AddressBookPageTest : public ::testing::Test {
 public:
  AddressBookPageTest() : limits(3s) {
    EXPECT_TRUE(io.openScanner(sim.address()));
    page.resize(pagelayout::kPageSize);
  }

  void putBook(const FCL_RS_ADDRESS_BOOK& book) { sim.model().setAddressBook(book); }
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> scannerBook() {
    return std::make_unique<FCL_RS_ADDRESS_BOOK>(sim.model().addressBook());
  }
  // Writes of the address book the scanner received so far.
  int bookWrites() {
    sim.log().waitForCount(sim.log().size() + 1, 50ms);
    int n = 0;
    for (const auto& c : sim.log().entries())
      if (c.cmd.byDTC == FCLC_RS_ADDRESS_BOOK && c.cmd.byOPCode != FOP_READ) ++n;
    return n;
  }
  // Loads `book` into the scanner and the page.
  void load(const FCL_RS_ADDRESS_BOOK& book) {
    putBook(book);
    page.setParam(&io);
    ASSERT_TRUE(page.isBookRead());
  }
  const Page::Controls& ui() const { return page.controls(); }
  QStringList groupCol(int c) const { return column(ui().groupTable, c); }
  QStringList contactCol(int c) const { return column(ui().contactTable, c); }

  // The contact editor opened with the add button: a new contact at `index`.
  void addContact(const char* index, const char* name, const char* mail) {
    page.setEditorPresenter([&](QDialog& d) {
      auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
      editor.show();
      const auto& c = editor.controls();
      c.indexText->setText(QString::fromLatin1(index));
      QTest::keyClicks(c.nameText, name);
      QTest::keyClicks(c.emailText, mail);
      QTest::mouseClick(c.btnCreate, Qt::LeftButton);
      EXPECT_FALSE(editor.isVisible()) << "created";
    });
    QTest::mouseClick(ui().addContactBtn, Qt::LeftButton);
  }
  // The contact editor opened on row `row`: the contact renamed.
  void renameContact(int row, const char* name) {
    page.setEditorPresenter([&](QDialog& d) {
      auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
      editor.show();
      editor.controls().nameText->selectAll();
      QTest::keyClicks(editor.controls().nameText, name);
      QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
    });
    selectRow(ui().contactTable, row);
    page.doubleClickContactRow();
  }

  // Saves through the page and answers the book the scanner then holds.
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> save() {
    EXPECT_TRUE(page.getParam(&io));
    return scannerBook();
  }

  ScopedSocketLimits limits;
  SimScanner sim;
  IOWrapper io;
  ScriptedDialogs dialogs;
  Page page;
};

// ---- Showing the book ---------------------------------------------------------------------------

// Rows come in ascending index order whatever the slots, columns show the group number, the
// members (by name, or by address when the name is empty) and a contact's groups.
TEST_F(AddressBookPageTest, TablesListEntriesByIndexWithTheirColumns) {
  auto book = emptyBook();
  contact(*book, 40, 0x80002, "Zed", "zed@example.com", 0, /*slot*/ 0);
  group(*book, 9, 3, "Office", 0, /*slot*/ 1);
  contact(*book, 12, 0x4, "", "noname@example.com", 0, /*slot*/ 2);
  contact(*book, 7, 0x4, "Amy", "amy@example.com", 0, /*slot*/ 200);
  group(*book, 2, 20, "Last group", 0, /*slot*/ 299);
  group(*book, 5, 1, "Empty group");
  contact(*book, 8, 0, "Nobody", "nobody@example.com");
  load(*book);

  EXPECT_EQ(headers(ui().groupTable),
            (QStringList{"Index", text("IDS_AB_GROUP"), text("IDS_AB_GROUP_NAME"), text("IDS_AB_CONTACT")}));
  EXPECT_EQ(headers(ui().contactTable),
            (QStringList{"Index", text("IDS_AB_NAME"), text("IDS_AB_EMAIL"), text("IDS_AB_GROUP")}));
  EXPECT_EQ(groupCol(0), (QStringList{"2", "5", "9"}));
  EXPECT_EQ(groupCol(1), (QStringList{"Group 20", "Group 1", "Group 3"}));
  EXPECT_EQ(groupCol(2), (QStringList{"Last group", "Empty group", "Office"}));
  EXPECT_EQ(groupCol(3), (QStringList{" Zed", "", " Amy noname@example.com"}));
  EXPECT_EQ(contactCol(0), (QStringList{"7", "8", "12", "40"}));
  EXPECT_EQ(contactCol(1), (QStringList{"Amy", "Nobody", "", "Zed"}));
  EXPECT_EQ(contactCol(3), (QStringList{" 3", "", " 3", " 2 20"}));
}

TEST(AddressBookText, Helpers) {
  EXPECT_EQ(Page::groupString(1), "Group 1");
  EXPECT_EQ(Page::groupString(20), "Group 20");
  for (int n : {0, 21, -1}) EXPECT_EQ(Page::groupString(n), "") << n;
  EXPECT_EQ(Page::maskToString(0x5), " 1 3");
  EXPECT_EQ(Page::maskToString(0xFFF00000u), "") << "bits 20..31 are never shown";
  EXPECT_EQ(Page::maskMap(1), 0x1);
  EXPECT_EQ(Page::maskMap(20), 0x80000);
  for (int n : {0, 21, 32}) EXPECT_EQ(Page::maskMap(n), 0) << n;
}

// The page traces with seven angle brackets, its text helpers (which have no page object) too.
TEST(AddressBookText, HelpersTraceWithThePagesSevenBrackets) {
  Utilities& ut = Utilities::sharedInstance();
  const int32_t saved = ut.nDebugMask();
  ut.setDebugMask(0x42);
  LogCapture log;
  Page::groupString(3);
  Page::maskToString(0x1);
  Page::maskMap(2);
  ut.setDebugMask(saved);
  QStringList expected;
  for (const char* op : {"groupString:", "maskToString:", "maskMap:"}) {
    expected << QStringLiteral(">>>>>>> -[AddressBookControllerObjC %1] ENTER").arg(QLatin1String(op))
             << QStringLiteral("<<<<<<< -[AddressBookControllerObjC %1] END \n  ").arg(QLatin1String(op));
  }
  EXPECT_EQ(log.lines(), expected);
}

// The add buttons follow the counts: at most 20 groups, at most 300 entries; deleting one entry
// enables them again.
TEST_F(AddressBookPageTest, AddButtonsFollowTheCounts) {
  struct Case {
    const char* name;
    int groups;
    int contacts;
    bool addGroup;
    bool addContact;
  };
  const Case cases[] = {
      {"empty book", 0, 0, true, true},
      {"20 groups", 20, 5, false, true},
      {"300 entries", 10, 290, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto book = emptyBook();
    for (int i = 0; i < c.groups; ++i) group(*book, i + 1, static_cast<uint32_t>(i + 1), "G");
    for (int i = 0; i < c.contacts; ++i) contact(*book, c.groups + i + 1, 0, "C", "c@example.com");
    load(*book);
    EXPECT_EQ(ui().groupTable->model()->rowCount(), c.groups);
    EXPECT_EQ(ui().contactTable->model()->rowCount(), c.contacts);
    EXPECT_EQ(ui().addGroupBtn->isEnabled(), c.addGroup);
    EXPECT_EQ(ui().addContactBtn->isEnabled(), c.addContact);
    for (QPushButton* b : {ui().delGroupBtn, ui().editGroupBtn, ui().delContactBtn, ui().editContactBtn})
      EXPECT_FALSE(b->isEnabled()) << "nothing selected yet";
  }
  // 300 entries less one contact: both can be added again (10 groups).
  selectRow(ui().contactTable, 0);
  EXPECT_TRUE(ui().delContactBtn->isEnabled());
  EXPECT_TRUE(ui().editContactBtn->isEnabled());
  QTest::mouseClick(ui().delContactBtn, Qt::LeftButton);
  EXPECT_TRUE(ui().addGroupBtn->isEnabled());
  EXPECT_TRUE(ui().addContactBtn->isEnabled());
}

// ---- Deleting ---------------------------------------------------------------------------------------

// Deleting group 3 removes bit 0x4 from every contact; the contacts stay. Deleting a contact
// leaves its groups. The scanner receives exactly the book the page shows.
TEST_F(AddressBookPageTest, DeletesReachTheScannerWithTheGroupBitCleared) {
  auto book = emptyBook();
  group(*book, 1, 3, "Three");
  group(*book, 2, 1, "One");
  contact(*book, 3, 0x4 | 0x1 | 0x100000, "Both", "both@example.com");
  contact(*book, 4, 0x4, "Only3", "only3@example.com");
  contact(*book, 5, 0x1, "Only1", "only1@example.com");
  load(*book);

  selectRow(ui().groupTable, 0);  // index 1, group 3
  page.deleteGroup();
  selectRow(ui().contactTable, 2);  // index 5
  page.deleteContact();
  EXPECT_TRUE(page.isDataChanged(&io));

  auto want = emptyBook();
  group(*want, 2, 1, "One");
  contact(*want, 3, 0x1 | 0x100000, "Both", "both@example.com");
  contact(*want, 4, 0, "Only3", "only3@example.com");
  EXPECT_EQ(firstDifference(*want, *save()), "");
  EXPECT_FALSE(page.isDataChanged(&io));
}

// An entry that a panel shortcut uses is never deleted: the alert, and nothing changes. Editing
// it keeps the flag through the write.
TEST_F(AddressBookPageTest, ShortcutEntriesAreRefusedDeletionAndKeepTheirFlag) {
  auto book = emptyBook();
  group(*book, 1, 1, "Panel group", 1);
  contact(*book, 2, 0x1, "Panel contact", "panel@example.com", 1);
  load(*book);
  for (bool isGroup : {true, false}) {
    SCOPED_TRACE(isGroup ? "group" : "contact");
    selectRow(isGroup ? ui().groupTable : ui().contactTable, 0);
    dialogs.expectAlert(0, text("IDS_AB_CONTACT_IN_SHORTCUT_MSG"));
    QTest::mouseClick(isGroup ? ui().delGroupBtn : ui().delContactBtn, Qt::LeftButton);
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_AB_CONTACT_IN_SHORTCUT_INFO"));
    EXPECT_EQ(page.groupDictionary().size(), 1u);
    EXPECT_EQ(page.contactDictionary().size(), 1u);
  }
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);

  // Rename the contact through its editor.
  selectRow(ui().contactTable, 0);
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    QLineEdit* name = editor.controls().nameText;
    name->selectAll();
    QTest::keyClicks(name, "Renamed");
    QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
  });
  page.openEditor(QString::fromLatin1(Page::kEditContactButton));
  auto want = emptyBook();
  group(*want, 1, 1, "Panel group", 1);
  contact(*want, 2, 0x1, "Renamed", "panel@example.com", 1);
  EXPECT_EQ(firstDifference(*want, *save()), "");
}

// ---- Creating, editing and deleting through the editors ---------------------------------------------

// A group with two members, a renamed contact and a deleted entry, made with the page's buttons
// and the editors' controls, reach the scanner byte for byte in slot index-1; the identifier
// stays as read.
TEST_F(AddressBookPageTest, EditorsWorkReachesTheScannerByteForByte) {
  auto book = emptyBook("5D0C6E0A-1F4B-4C3E-9A77-2B8E6F1D4C10");
  group(*book, 1, 1, "Accounting");
  contact(*book, 2, 0x1, "Alice", "alice@example.com");
  contact(*book, 3, 0x0, "Bob", "bob@example.com");
  contact(*book, 5, 0x1, "Carol", "carol@example.org");
  load(*book);

  // A new group (index 4, number 2) with Alice and Bob.
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookGroupControllerObjC&>(d);
    editor.show();
    const auto& c = editor.controls();
    EXPECT_EQ(c.indexText->text(), "4");
    EXPECT_EQ(c.contactType->indexOfSelectedItem(), 2);
    QTest::keyClicks(c.nameText, "Sales");
    selectRow(c.contactTable, 0);  // Alice
    QTest::mouseClick(c.ltrBtn, Qt::LeftButton);
    selectRow(c.contactTable, 0);  // Bob
    QTest::mouseClick(c.ltrBtn, Qt::LeftButton);
    ASSERT_TRUE(c.btnCreate->isEnabled());
    QTest::mouseClick(c.btnCreate, Qt::LeftButton);
  });
  QTest::mouseClick(ui().addGroupBtn, Qt::LeftButton);

  // A new contact (first free index 6) in group 1.
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    const auto& c = editor.controls();
    EXPECT_EQ(c.indexText->text(), "6");
    QTest::keyClicks(c.nameText, "Dan");
    QTest::keyClicks(c.emailText, "dan@example.com");
    c.groupCheck[0]->click();
    QTest::mouseClick(c.btnCreate, Qt::LeftButton);
  });
  QTest::mouseClick(ui().addContactBtn, Qt::LeftButton);

  // Rename Carol (row of index 5) by a double-click on her row.
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    EXPECT_FALSE(editor.controls().indexText->isEnabled());
    editor.controls().nameText->clear();
    QTest::keyClicks(editor.controls().nameText, "Caroline");
    QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
  });
  selectRow(ui().contactTable, 2);
  page.doubleClickContactRow();
  // Delete Bob.
  selectRow(ui().contactTable, 1);
  QTest::mouseClick(ui().delContactBtn, Qt::LeftButton);

  auto want = emptyBook("5D0C6E0A-1F4B-4C3E-9A77-2B8E6F1D4C10");
  group(*want, 1, 1, "Accounting");
  contact(*want, 2, 0x1 | 0x2, "Alice", "alice@example.com");
  group(*want, 4, 2, "Sales");
  contact(*want, 5, 0x1, "Caroline", "carol@example.org");
  contact(*want, 6, 0x1, "Dan", "dan@example.com");
  EXPECT_EQ(firstDifference(*want, *save()), "");
  EXPECT_EQ(contactCol(1), (QStringList{"Alice", "Caroline", "Dan"}));
  EXPECT_EQ(groupCol(3), (QStringList{" Alice Caroline Dan", " Alice"}));
}

// Cancel in either editor leaves the page's dictionaries as they were.
TEST_F(AddressBookPageTest, CancelInTheEditorsChangesNothing) {
  auto book = emptyBook();
  group(*book, 1, 1, "G");
  contact(*book, 2, 0x1, "A", "a@example.com");
  contact(*book, 3, 0x0, "B", "b@example.com");
  load(*book);
  const AddressBookDictionary groups = page.groupDictionary();
  const AddressBookDictionary contacts = page.contactDictionary();
  page.setEditorPresenter([](QDialog& d) {
    d.show();
    if (auto* g = qobject_cast<AddressBookGroupControllerObjC*>(&d)) {
      selectRow(g->controls().contactTable, 0);
      g->leftToRightBtnPushed();
      selectRow(g->controls().memberTable, 0);
      g->rightToLeftBtnPushed();
      g->controls().contactType->chooseItem(7);
      QTest::keyClicks(g->controls().nameText, "X");
      QTest::mouseClick(g->controls().btnCancel, Qt::LeftButton);
    } else if (auto* c = qobject_cast<AddressBookContactControllerObjC*>(&d)) {
      QTest::keyClicks(c->controls().nameText, "X");
      c->controls().groupCheck[0]->click();
      QTest::mouseClick(c->controls().btnCancel, Qt::LeftButton);
    }
    EXPECT_FALSE(d.isVisible());
  });
  selectRow(ui().groupTable, 0);
  selectRow(ui().contactTable, 0);
  for (const char* button : {Page::kAddGroupButton, Page::kEditGroupButton, Page::kAddContactButton,
                             Page::kEditContactButton}) {
    SCOPED_TRACE(button);
    page.openEditor(QString::fromLatin1(button));
    EXPECT_EQ(page.groupDictionary(), groups);
    EXPECT_EQ(page.contactDictionary(), contacts);
  }
  EXPECT_FALSE(page.isDataChanged(&io));
}

// ---- The change check and the write -------------------------------------------------------------------

// A foreign book: entries not at slot index-1, a group and a shortcut contact on one index, an
// index of 300 or more, an unknown node type used by a shortcut on index 1, text in an empty
// slot, a name that is not UTF-8 with bytes after its NUL, mask bits 20..31, reserved bytes. The
// first entry of an index in slot order is shown, the rest kept. Untouched, nothing is a change
// and a save gives the scanner its book back byte for byte; the editors never offer or take an
// index in use; edits change only what the user changed, at the slots the entries came from.
TEST_F(AddressBookPageTest, ForeignBookGoesBackAsReadWithOnlyTheEdits) {
  auto book = emptyBook();
  put(*book, 1, 99, 0, "panel thing", "", 1, /*slot*/ 0);
  contact(*book, 5, 0x2, "Misplaced", "mis@example.com", 0, /*slot*/ 1);
  FCL_RS_ADDRESS_BOOK_NODE& odd = group(*book, 3, 1, "", 0);
  std::memcpy(odd.szNodeName, "Gr\xff\xfe", 4);
  odd.szNodeName[10] = 'w';  // after the NUL
  contact(*book, 3, 0x1, "Shortcut on 3", "sc@example.com", 1, /*slot*/ 3);
  std::strcpy(book->sNode[4].szNodeName, "leftover");  // an empty slot with text
  contact(*book, 8, 0x1 | 0xABC00000u, "Mask", "mask@example.com").byReserved1[0] = 0x11;
  contact(*book, 301, 0, "Beyond", "beyond@example.com", 0, /*slot*/ 9);
  contact(*book, 11, 0, "Plain", "plain@example.com");
  load(*book);

  EXPECT_EQ(groupCol(0), (QStringList{"3"}));
  EXPECT_EQ(groupCol(2), (QStringList{QString::fromUtf8("Gr\xef\xbf\xbd\xef\xbf\xbd")}));
  EXPECT_EQ(contactCol(0), (QStringList{"5", "8", "11"}));
  EXPECT_FALSE(page.isDataChanged(&io)) << "the untouched page has nothing to save";
  EXPECT_EQ(firstDifference(*book, *save()), "") << "untouched, the book goes back as read";

  // The editors: 1, 2 (slot 1 holds index 5), 3, 4 (slot 3 is kept) and 5 are in use; 6 is free.
  dialogs.expectAlert(0, platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {1}));
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    const auto& c = editor.controls();
    EXPECT_EQ(c.indexText->text(), "6");
    QTest::keyClicks(c.nameText, "New");
    QTest::keyClicks(c.emailText, "new@example.com");
    c.indexText->setText("1");
    QTest::mouseClick(c.btnCreate, Qt::LeftButton);
    EXPECT_TRUE(editor.isVisible()) << "index 1 is the shortcut slot's";
    c.indexText->setText("6");
    QTest::mouseClick(c.btnCreate, Qt::LeftButton);
  });
  QTest::mouseClick(ui().addContactBtn, Qt::LeftButton);
  // Only the e-mail address of "Mask" changes.
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    editor.controls().emailText->selectAll();
    QTest::keyClicks(editor.controls().emailText, "other@example.com");
    QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
  });
  selectRow(ui().contactTable, 2);
  page.doubleClickContactRow();
  // The group takes "Misplaced" in; its name stays untouched.
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookGroupControllerObjC&>(d);
    editor.show();
    selectRow(editor.controls().contactTable, 0);
    QTest::mouseClick(editor.controls().ltrBtn, Qt::LeftButton);
    QTest::mouseClick(editor.controls().btnCreate, Qt::LeftButton);
  });
  selectRow(ui().groupTable, 0);
  page.doubleClickGroupRow();
  // "Plain" goes.
  selectRow(ui().contactTable, 3);
  page.deleteContact();
  EXPECT_EQ(contactCol(1), (QStringList{"Misplaced", "New", "Mask"}));
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);

  auto want = emptyBook();
  std::memcpy(want.get(), book.get(), sizeof *want);
  want->sNode[1].dwGroupMask = 0x2 | 0x1;
  contact(*want, 6, 0, "New", "new@example.com");
  platform::textToField(want->sNode[7].szEmailAddress, QStringLiteral("other@example.com"));
  std::memset(&want->sNode[10], 0, sizeof want->sNode[10]);
  EXPECT_TRUE(page.isDataChanged(&io));
  EXPECT_EQ(firstDifference(*want, *save()), "");
  EXPECT_FALSE(page.isDataChanged(&io));
}

// Texts are cut so that each field ends in a NUL: 95 bytes of name, 255 of address, never half
// a character.
TEST_F(AddressBookPageTest, LongTextsAreCutAtACharacterBoundary) {
  load(*emptyBook());
  AddressBookDictionary contacts;
  const QString longMail = QString(300, QLatin1Char('m')) + QStringLiteral("@example.com");
  const QString longName = QString(47, QChar(0x00E9)) + QStringLiteral("x");  // 2-byte characters: 95 bytes
  contacts[1] = entry(1, 21, 0, "", "");
  contacts[1].name = longName + QChar(0x00E9);
  contacts[1].email = longMail;
  page.setContactDictionary(contacts);
  const auto written = save();
  const FCL_RS_ADDRESS_BOOK_NODE& n = written->sNode[0];
  EXPECT_EQ(strnlen(n.szEmailAddress, 256), 255u);
  EXPECT_EQ(std::string(n.szEmailAddress, 255), std::string(255, 'm'));
  EXPECT_EQ(QString::fromUtf8(n.szNodeName), longName) << "the last two-byte character does not fit";
}

// A refused or broken-off write fails getParam; the dictionaries keep the edits.
TEST_F(AddressBookPageTest, RefusedOrBrokenWriteFails) {
  for (const sim::Fault& fault : {refused(FOP_WRITE2), cutOff(FOP_WRITE2)}) {
    auto book = emptyBook();
    contact(*book, 1, 0, "A", "a@example.com");
    load(*book);
    selectRow(ui().contactTable, 0);
    page.deleteContact();
    sim.faults().add(fault);
    EXPECT_FALSE(page.getParam(&io));
    EXPECT_TRUE(page.contactDictionary().empty()) << "the edit stays for another try";
  }
}

// ---- Repairs: nothing unread is written, nothing outside the book, nothing unshown lost --------------

// A read that fails (refused or broken off) before any read or write was accepted: the alert
// that the book could not be read, empty tables, no add, edit or delete; no change to save and no
// write, so the scanner's book stays. A later successful read ends it.
TEST_F(AddressBookPageTest, UnreadBookIsNeitherShownNorWritten) {
  auto book = emptyBook();
  group(*book, 1, 1, "Keep me");
  contact(*book, 2, 0x1, "Keep me too", "keep@example.com");
  putBook(*book);
  for (const sim::Fault& fault : {refused(FOP_READ), cutOff(FOP_READ)}) {
    Page fresh;
    sim.faults().add(fault);
    dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
    fresh.setParam(&io);
    EXPECT_TRUE(dialogs.alerts().back().information.startsWith(text("IDS_AB_READ_FAIL_INFO")));
    EXPECT_FALSE(fresh.isBookRead());
    EXPECT_EQ(fresh.controls().groupTable->model()->rowCount(), 0);
    EXPECT_EQ(fresh.controls().contactTable->model()->rowCount(), 0);
    for (QPushButton* b : {fresh.controls().addGroupBtn, fresh.controls().addContactBtn, fresh.controls().delGroupBtn,
                           fresh.controls().editGroupBtn, fresh.controls().delContactBtn,
                           fresh.controls().editContactBtn})
      EXPECT_FALSE(b->isEnabled());
    EXPECT_FALSE(fresh.isDataChanged(&io));
    const int writes = bookWrites();
    dialogs.expectAlert(0, text("IDS_RS_NOT_READ_MSG"));
    EXPECT_FALSE(fresh.getParam(&io));
    EXPECT_EQ(bookWrites(), writes) << "nothing written";
    EXPECT_EQ(firstDifference(*book, *scannerBook()), "");

    fresh.setParam(&io);  // the scanner answers again
    EXPECT_TRUE(fresh.isBookRead());
    EXPECT_EQ(fresh.contactDictionary().size(), 1u);
    EXPECT_TRUE(fresh.controls().addContactBtn->isEnabled());
  }
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// A read that fails when the page is shown again, after a read or a write of the page was
// accepted: one alert that the book could not be read; the page shows the scanner's book as of
// that read or write and stays editable; untouched, it has nothing to save; an edit is written on
// top of that book, nothing older.
TEST_F(AddressBookPageTest, FailedReadShowsTheLastAcceptedBook) {
  struct Case {
    const char* name;
    bool saveFirst;
    sim::Fault fault;
  };
  const Case cases[] = {
      {"after a read, refused", false, refused(FOP_READ)},
      {"after a write, refused", true, refused(FOP_READ)},
      {"after a write, broken off", true, cutOff(FOP_READ)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto book = emptyBook();
    group(*book, 1, 1, "G");
    contact(*book, 2, 0x1, "A", "a@example.com");
    contact(*book, 3, 0x1, "B", "b@example.com");
    load(*book);
    if (c.saveFirst) {
      selectRow(ui().contactTable, 0);  // A goes
      page.deleteContact();
      ASSERT_TRUE(page.getParam(&io));
      std::memset(&book->sNode[1], 0, sizeof book->sNode[1]);
      ASSERT_EQ(firstDifference(*book, *scannerBook()), "");
      // The change check's fresh read fails: compared with what was written, nothing to save.
      sim.faults().add(c.fault);
      EXPECT_FALSE(page.isDataChanged(&io));
    }
    const std::size_t alerts = dialogs.alerts().size();
    sim.faults().add(c.fault);
    dialogs.expectAlert(0, text("IDS_AB_READ_FAIL_MSG"));
    page.setParam(&io);
    EXPECT_EQ(dialogs.alerts().size(), alerts + 1);
    EXPECT_TRUE(dialogs.alerts().back().information.startsWith(text("IDS_AB_READ_FAIL_INFO")));
    EXPECT_TRUE(page.isBookRead());
    EXPECT_EQ(contactCol(1), c.saveFirst ? QStringList{"B"} : (QStringList{"A", "B"}));
    EXPECT_TRUE(ui().addContactBtn->isEnabled());
    sim.faults().add(c.fault);
    EXPECT_FALSE(page.isDataChanged(&io));
    EXPECT_FALSE(page.isDataChanged(&io));

    // An edit: the scanner receives the last accepted book with it.
    selectRow(ui().contactTable, static_cast<int>(page.contactDictionary().size()) - 1);  // B goes
    page.deleteContact();
    sim.faults().add(c.fault);
    EXPECT_TRUE(page.isDataChanged(&io));
    std::memset(&book->sNode[2], 0, sizeof book->sNode[2]);
    EXPECT_EQ(firstDifference(*book, *save()), "");
    EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  }
}

// The change check's fresh read fails: compared with the book as last read, so an untouched
// page is unchanged and an edited one changed.
TEST_F(AddressBookPageTest, FailedFreshReadComparesWithTheLastRead) {
  auto book = emptyBook();
  group(*book, 1, 1, "G");
  contact(*book, 2, 0x1, "A", "a@example.com");
  load(*book);
  for (const sim::Fault& fault : {refused(FOP_READ), cutOff(FOP_READ)}) {
    sim.faults().add(fault);
    EXPECT_FALSE(page.isDataChanged(&io));
  }
  selectRow(ui().contactTable, 0);
  page.deleteContact();
  sim.faults().add(refused(FOP_READ));
  EXPECT_TRUE(page.isDataChanged(&io));
}

// The change check's fresh read replaces the page's book: what it brought (an entry a panel
// shortcut uses, added on the scanner meanwhile) is kept by the save of the user's edit, and the
// editors do not offer its index.
TEST_F(AddressBookPageTest, FreshReadReplacesTheBookAndKeepsWhatItBrought) {
  auto book = emptyBook();
  contact(*book, 1, 0, "A", "a@example.com");
  contact(*book, 2, 0, "B", "b@example.com");
  load(*book);
  contact(*book, 3, 0, "From the panel", "panel@example.com", 1);
  putBook(*book);
  selectRow(ui().contactTable, 0);
  page.deleteContact();
  EXPECT_TRUE(page.isDataChanged(&io));
  EXPECT_TRUE(page.isIndexTaken(3));
  std::memset(&book->sNode[0], 0, sizeof book->sNode[0]);
  EXPECT_EQ(firstDifference(*book, *save()), "");
  EXPECT_EQ(contactCol(1), (QStringList{"B", "From the panel"}));
}

// The scanner's book changes (on the panel) after the page was filled, and the change check
// reads it: entries the user did not touch follow the scanner (shown, not a change, written as
// the scanner holds them), the user's edits stay on top by index and win for their entries.
TEST_F(AddressBookPageTest, FreshReadRefreshesTheEntriesTheUserDidNotTouch) {
  struct Case {
    const char* name;
    std::function<void(FCL_RS_ADDRESS_BOOK&)> panel;  // what changes on the scanner
    std::function<void()> user;                         // what the user does on the page
    bool changed;
    std::function<void(FCL_RS_ADDRESS_BOOK&)> written;  // the panel's book -> what the save writes
    QStringList shown;                                  // the contacts' names after the check
  };
  const auto nothing = [] {};
  const auto asIs = [](FCL_RS_ADDRESS_BOOK&) {};
  const Case cases[] = {
      {"untouched, B renamed on the panel",
       [](FCL_RS_ADDRESS_BOOK& b) { contact(b, 2, 0, "B renamed on panel", "b@example.com"); }, nothing, false, asIs,
       {"A", "B renamed on panel"}},
      {"untouched, A gone and B renamed into its slot",
       [](FCL_RS_ADDRESS_BOOK& b) {
         std::memset(&b.sNode[1], 0, sizeof b.sNode[1]);
         contact(b, 2, 0, "B renamed on panel", "b@example.com", 0, /*slot*/ 0);
       },
       nothing, false, asIs, {"B renamed on panel"}},
      {"A renamed by the user, B on the panel",
       [](FCL_RS_ADDRESS_BOOK& b) { contact(b, 2, 0, "B renamed on panel", "b@example.com"); },
       [this] { renameContact(0, "A by the user"); }, true,
       [](FCL_RS_ADDRESS_BOOK& b) { platform::textToField(b.sNode[0].szNodeName, QStringLiteral("A by the user")); },
       {"A by the user", "B renamed on panel"}},
      {"B renamed by both: the user's name wins, in the slot the scanner moved B to",
       [](FCL_RS_ADDRESS_BOOK& b) {
         std::memset(&b.sNode[1], 0, sizeof b.sNode[1]);
         contact(b, 2, 0, "B renamed on panel", "b@example.com", 1, /*slot*/ 5).byReserved1[0] = 0x33;
       },
       [this] { renameContact(1, "B by the user"); }, true,
       [](FCL_RS_ADDRESS_BOOK& b) { platform::textToField(b.sNode[5].szNodeName, QStringLiteral("B by the user")); },
       {"A", "B by the user"}},
      {"A deleted by the user, renamed on the panel",
       [](FCL_RS_ADDRESS_BOOK& b) { contact(b, 1, 0, "A renamed on panel", "a@example.com"); },
       [this] {
         selectRow(ui().contactTable, 0);
         page.deleteContact();
       },
       true, [](FCL_RS_ADDRESS_BOOK& b) { std::memset(&b.sNode[0], 0, sizeof b.sNode[0]); }, {"B"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto book = emptyBook();
    contact(*book, 1, 0, "A", "a@example.com");
    contact(*book, 2, 0, "B", "b@example.com");
    load(*book);
    c.user();
    c.panel(*book);
    putBook(*book);
    EXPECT_EQ(page.isDataChanged(&io), c.changed);
    EXPECT_EQ(contactCol(1), c.shown);
    c.written(*book);
    EXPECT_EQ(firstDifference(*book, *save()), "");
    EXPECT_FALSE(page.isDataChanged(&io));
  }
  EXPECT_TRUE(dialogs.alerts().empty());
}

// A new entry whose slot (index-1) the change check's fresh read found held (by an entry the page
// keeps without showing, or by another index the scanner moved there) is a change, and the save
// refuses: the alert names the index, nothing is written, the page keeps the entry. With another
// index it is saved.
TEST_F(AddressBookPageTest, NewEntryWhoseSlotAFreshReadFilledIsNotSavedSilently) {
  struct Case {
    const char* name;
    std::function<void(FCL_RS_ADDRESS_BOOK&)> panel;
  };
  const Case cases[] = {
      {"a kept entry", [](FCL_RS_ADDRESS_BOOK& b) { put(b, 40, 99, 0, "panel thing", "", 1, /*slot*/ 4); }},
      {"another index", [](FCL_RS_ADDRESS_BOOK& b) { contact(b, 9, 0, "Moved", "moved@example.com", 0, /*slot*/ 4); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto book = emptyBook();
    contact(*book, 1, 0, "A", "a@example.com");
    load(*book);
    addContact("5", "New", "new@example.com");
    c.panel(*book);
    putBook(*book);
    EXPECT_TRUE(page.isDataChanged(&io)) << "leaving the page would lose the new contact";

    const int writes = bookWrites();
    dialogs.expectAlert(0, platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {5}));
    EXPECT_FALSE(page.getParam(&io));
    EXPECT_EQ(dialogs.alerts().back().information, text("IDS_AB_INDEX_USED_INFO"));
    EXPECT_EQ(bookWrites(), writes) << "nothing written";
    EXPECT_EQ(firstDifference(*book, *scannerBook()), "");
    EXPECT_EQ(page.contactDictionary().count(5), 1u) << "the page keeps the entry";

    // The user gives it another index.
    selectRow(ui().contactTable, 1);
    page.deleteContact();
    addContact("6", "New", "new@example.com");
    EXPECT_TRUE(page.isDataChanged(&io));
    contact(*book, 6, 0, "New", "new@example.com");
    EXPECT_EQ(firstDifference(*book, *save()), "");
  }
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
}

// An entry whose dwRefIdx is 300 or more has no slot of its own: it is not shown (logged at the
// error level), and a save puts it back where it was read.
TEST_F(AddressBookPageTest, EntryOutsideTheBookIsKeptAsRead) {
  Utilities& ut = Utilities::sharedInstance();
  const int32_t mask = ut.nDebugMask();
  ut.setDebugMask(0x02);
  LogCapture log;
  auto book = emptyBook();
  contact(*book, 1, 0, "Inside", "in@example.com");
  contact(*book, 2, 0, "Other", "other@example.com");
  FCL_RS_ADDRESS_BOOK_NODE& outside = contact(*book, 1, 0, "Outside", "out@example.com", 0, /*slot*/ 7);
  outside.dwRefIdx = 300;
  group(*book, 1, 2, "G outside", 0, /*slot*/ 8).dwRefIdx = 0xFFFFFFFFu;
  load(*book);
  ut.setDebugMask(mask);
  EXPECT_EQ(contactCol(1), (QStringList{"Inside", "Other"}));
  EXPECT_EQ(page.groupDictionary().size(), 0u);
  EXPECT_FALSE(log.lines().filter(QStringLiteral("outside the book")).isEmpty());
  EXPECT_FALSE(page.isDataChanged(&io));

  selectRow(ui().contactTable, 1);
  page.deleteContact();
  std::memset(&book->sNode[1], 0, sizeof book->sNode[1]);
  EXPECT_EQ(firstDifference(*book, *save()), "");
}

// A slot of a node type the page does not know (not 0..21) is not shown, not a change, and
// written back unchanged at its own slot; no other entry ever takes that slot.
TEST_F(AddressBookPageTest, SlotOfAnUnknownTypeSurvivesTheWrite) {
  auto book = emptyBook();
  contact(*book, 1, 0x1, "A", "a@example.com");
  FCL_RS_ADDRESS_BOOK_NODE& odd = put(*book, 51, 99, 0xDEADBEEF, "future kind", "x@example.com", 1, /*slot*/ 50);
  odd.dwRefIdx = 77;
  odd.byReserved1[3] = 0x5A;
  put(*book, 61, 22, 0, "another", "", 0, /*slot*/ 60);
  load(*book);
  EXPECT_EQ(page.contactDictionary().size(), 1u);
  EXPECT_FALSE(page.isDataChanged(&io));

  // An edit elsewhere: the unknown slots come back as they were.
  selectRow(ui().contactTable, 0);
  page.deleteContact();
  auto want = emptyBook();
  want->sNode[50] = book->sNode[50];
  want->sNode[60] = book->sNode[60];
  EXPECT_EQ(firstDifference(*want, *save()), "");
  EXPECT_FALSE(page.isDataChanged(&io));

  // An entry given index 61 (the editors refuse it) never takes the kept slot 60: the save
  // refuses it and writes nothing.
  page.setParam(&io);
  AddressBookDictionary contacts;
  contacts[61] = entry(61, 21, 0, "Takes 61", "t@example.com");
  page.setContactDictionary(contacts);
  EXPECT_TRUE(page.isIndexTaken(61));
  EXPECT_TRUE(page.isDataChanged(&io));
  dialogs.expectAlert(0, platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {61}));
  EXPECT_FALSE(page.getParam(&io));
  EXPECT_EQ(firstDifference(*want, *scannerBook()), "");
}

// An editor in add mode refuses an index another entry uses, or one outside the book, and a
// name of removed characters only: what the scanner then receives still holds every entry as it
// was, and no entry outside its slots.
TEST_F(AddressBookPageTest, EditorRefusalsKeepTheScannersEntries) {
  auto book = emptyBook();
  group(*book, 1, 1, "G");
  contact(*book, 2, 0x1, "A", "a@example.com");
  load(*book);
  struct Case {
    const char* button;
    const char* index;
    QString message;
  };
  const Case cases[] = {
      {Page::kAddContactButton, "2", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {2})},
      {Page::kAddContactButton, "301", text("IDS_CM_ERROR")},
      {Page::kAddGroupButton, "2", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {2})},
      {Page::kAddGroupButton, "0", text("IDS_CM_ERROR")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button + std::string(" ") + c.index);
    dialogs.expectAlert(0, c.message);
    page.setEditorPresenter([&c](QDialog& d) {
      d.show();
      if (auto* g = qobject_cast<AddressBookGroupControllerObjC*>(&d)) {
        g->controls().indexText->setText(QString::fromLatin1(c.index));
        QTest::keyClicks(g->controls().nameText, "New");
        selectRow(g->controls().contactTable, 0);
        g->leftToRightBtnPushed();
        QTest::mouseClick(g->controls().btnCreate, Qt::LeftButton);
        EXPECT_TRUE(g->isVisible());
        g->CancelBtnPushed();
      } else if (auto* e = qobject_cast<AddressBookContactControllerObjC*>(&d)) {
        e->controls().indexText->setText(QString::fromLatin1(c.index));
        QTest::keyClicks(e->controls().nameText, "&");
        QTest::keyClicks(e->controls().emailText, "new@example.com");
        EXPECT_FALSE(e->controls().btnCreate->isEnabled()) << "a name of removed characters only";
        QTest::keyClicks(e->controls().nameText, "New");
        QTest::mouseClick(e->controls().btnCreate, Qt::LeftButton);
        EXPECT_TRUE(e->isVisible());
        e->CancelBtnPushed();
      }
    });
    page.openEditor(QString::fromLatin1(c.button));
  }
  EXPECT_EQ(dialogs.pendingAlerts(), 0u);
  EXPECT_EQ(firstDifference(*book, *save()), "");
}

// Opening the page again after a delete that was not saved shows the scanner's book again.
TEST_F(AddressBookPageTest, ShowingThePageAgainRereadsTheBook) {
  auto book = emptyBook();
  contact(*book, 1, 0, "A", "a@example.com");
  load(*book);
  selectRow(ui().contactTable, 0);
  page.deleteContact();
  EXPECT_EQ(contactCol(1), QStringList{});
  page.setParam(&io);
  EXPECT_EQ(contactCol(1), (QStringList{"A"}));
  EXPECT_EQ(bookWrites(), 0);
}

// The page reads its book through the main window's state and is made by the page factory.
TEST_F(AddressBookPageTest, ContractAndFactory) {
  auto made = PageFactory::standard().create(QString::fromLatin1(pages::kAddressBookStoryboard));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->objectName(), "addressBook");
  EXPECT_EQ(made->isDataError(), 0);
  for (const char* id : {kAddressContactEditorId, kAddressGroupEditorId})
    EXPECT_NE(PageFactory::standard().createEditor(QString::fromLatin1(id)), nullptr) << id;
  MainWindowState state;
  state.ioWrapper = &io;
  made->setParam(state);
  EXPECT_FALSE(made->isDataChanged(state));
  EXPECT_TRUE(made->getParam(state));
  EXPECT_EQ(bookWrites(), 1);
}

// ---- Pictures ------------------------------------------------------------------------------------------

// The page with the simulator's book (groups, contacts in several groups, free indexes) as the
// user sees it, and both editors opened from it; the visible texts are checked before saving.
TEST_F(AddressBookPageTest, ScreenshotsOfThePageAndItsEditors) {
  ASSERT_TRUE(QDir().mkpath(QStringLiteral(ZR_SCREENSHOT_DIR)));
  page.setParam(&io);  // the simulator's own book
  page.show();
  QApplication::processEvents();
  EXPECT_EQ(groupCol(1), (QStringList{"Group 1", "Group 2", "Group 4"}));
  EXPECT_EQ(groupCol(3).at(2), " Carol Example helpdesk@example.org Dan Example");
  EXPECT_EQ(contactCol(3).at(2), " 2 4");
  EXPECT_TRUE(ui().addGroupBtn->isEnabled());
  const QImage image = page.grab().toImage();
  EXPECT_EQ(image.size(), pagelayout::kPageSize);
  EXPECT_TRUE(image.save(QStringLiteral(ZR_SCREENSHOT_DIR "/address-book.png")));

  selectRow(ui().groupTable, 2);
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookGroupControllerObjC&>(d);
    editor.show();
    QApplication::processEvents();
    EXPECT_EQ(column(editor.controls().memberTable, 0),
              (QStringList{"Carol Example", "helpdesk@example.org", "Dan Example"}));
    EXPECT_EQ(editor.controls().contactType->titleOfSelectedItem(), text("IDS_AB_GROUP") + " 4");
    EXPECT_TRUE(editor.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/address-group-editor.png")));
    editor.CancelBtnPushed();
  });
  page.openEditor(QString::fromLatin1(Page::kEditGroupButton));

  selectRow(ui().contactTable, 2);
  page.setEditorPresenter([](QDialog& d) {
    auto& editor = dynamic_cast<AddressBookContactControllerObjC&>(d);
    editor.show();
    QApplication::processEvents();
    const auto& c = editor.controls();
    EXPECT_EQ(c.nameText->text(), "Carol Example");
    EXPECT_EQ(c.groupCheck[1]->text(), "Sales");
    EXPECT_TRUE(c.groupCheck[1]->isChecked());
    EXPECT_TRUE(c.groupCheck[3]->isChecked());
    EXPECT_FALSE(c.groupCheck[2]->isEnabled()) << "no group 3";
    EXPECT_TRUE(editor.grab().toImage().save(QStringLiteral(ZR_SCREENSHOT_DIR "/address-contact-editor.png")));
    editor.CancelBtnPushed();
  });
  page.openEditor(QString::fromLatin1(Page::kEditContactButton));
}

}  // namespace

// Return in a table opens the editor of its selected entry, as a double click does; with no
// row selected it opens nothing.
TEST_F(AddressBookPageTest, ReturnInATableEditsTheSelectedEntry) {
  auto book = emptyBook();
  group(*book, 1, 1, "G");
  contact(*book, 2, 0x1, "A", "a@example.com");
  contact(*book, 3, 0x0, "B", "b@example.com");
  load(*book);
  QStringList opened;
  page.setEditorPresenter([&opened](QDialog& d) {
    d.show();  // fills its fields
    const auto* group = qobject_cast<AddressBookGroupControllerObjC*>(&d);
    const QString index = group != nullptr ? group->controls().indexText->text()
                                           : dynamic_cast<AddressBookContactControllerObjC&>(d).controls().indexText->text();
    const bool edit = dynamic_cast<AddressBookEditorBase&>(d).isEditMode();
    opened << QStringLiteral("%1 %2 %3").arg(group != nullptr ? "group" : "contact", index, edit ? "edit" : "add");
    d.reject();
  });
  QTest::keyClick(ui().contactTable, Qt::Key_Return);  // nothing selected
  selectRow(ui().contactTable, 1);
  QTest::keyClick(ui().contactTable, Qt::Key_Return);
  selectRow(ui().groupTable, 0);
  QTest::keyClick(ui().groupTable, Qt::Key_Enter);
  EXPECT_EQ(opened, (QStringList{"contact 3 edit", "group 1 edit"}));
}
