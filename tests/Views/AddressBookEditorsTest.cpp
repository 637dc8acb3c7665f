// The contact and group editors on their own: what they offer when they open, the typing rules,
// the Create/OK state, what they store into the page's dictionaries, and what they refuse.
#include <gtest/gtest.h>

#include <QLabel>

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <optional>

#include "Model/Utilities.h"
#include "Views/AddressBookContactControllerObjC.h"
#include "Views/AddressBookGroupControllerObjC.h"
#include "platform/Localizer.h"
#include "platform/widgets/PopUpButton.h"
#include "support/AddressBookFixture.h"
#include "support/LogCapture.h"
#include "support/ScriptedDialogs.h"

using namespace abtest;

namespace {

QString text(const char* key) { return platform::tr_(QString::fromLatin1(key)); }
constexpr uint32_t kContact = 21;
// The editors' alert for an index outside 1 to 300.
const QString kIndexOutOfRange = QString::fromUtf8(
    "Index is out of range or not in the right form. Please enter a value in the range 1\u2013300.");

// Groups 1 (index 1) and 2 (index 2); contacts at 4 (groups 2 and 5), 5 (no group), 6 (group 1).
struct Book {
  Book() {
    groups[1] = entry(1, 1, 0, "One");
    groups[2] = entry(2, 2, 0, "Two");
    contacts[4] = entry(4, kContact, 0x2 | 0x10 | 0x400000, "Four", "four@example.com", 1);
    contacts[5] = entry(5, kContact, 0, "", "five@example.com");
    contacts[6] = entry(6, kContact, 0x1, "Six", "six@example.com");
  }
  AddressBookDictionary groups;
  AddressBookDictionary contacts;
};

// Whether some captured line holds `part`.
bool logHas(const LogCapture& log, const QString& part) {
  const QStringList lines = log.lines();
  return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(part); });
}

// Types into a field as the user does (the field's typing handlers run).
void type(QLineEdit* field, const QString& s) { QTest::keyClicks(field, s); }
// Pastes: one edit that inserts the whole text.
void paste(QLineEdit* field, const QString& s) {
  field->insert(s);
  emit field->textEdited(field->text());
}

// ---- Contact editor ------------------------------------------------------------------------------------

struct ContactEditor {
  explicit ContactEditor(Book& b, std::optional<int> key = std::nullopt) {
    if (key) editor.editContact(&b.groups, &b.contacts, *key);
    else editor.addContact(&b.groups, &b.contacts);
    editor.show();
  }
  const AddressBookContactControllerObjC::Controls& ui() const { return editor.controls(); }
  AddressBookContactControllerObjC editor;
};

// The window of one contact is titled for one contact, adding or editing, never with the plural
// of the page's Contacts column; its labels end with a colon.
TEST(ContactEditor, TitledForOneContactInBothModes) {
  for (const std::optional<int> key : {std::optional<int>(), std::optional<int>(5)}) {
    SCOPED_TRACE(key ? "edit" : "add");
    Book b;
    ContactEditor e(b, key);
    EXPECT_EQ(e.editor.windowTitle(), "Contact");
    EXPECT_NE(e.editor.windowTitle(), text("IDS_AB_CONTACT"));
    for (const QLabel* label : {e.ui().labelIndex, e.ui().labelName, e.ui().labelEmail})
      EXPECT_TRUE(label->text().endsWith(u':')) << label->text().toStdString();
  }
}

TEST(ContactEditor, AddModeOffersTheFirstFreeIndexAndEmptyFields) {
  Book b;
  b.contacts.erase(5);
  b.contacts[3] = entry(3, kContact, 0, "Three", "3@example.com");  // 1, 2 (groups), 3, 4, 6 used
  ContactEditor e(b);
  EXPECT_EQ(e.ui().indexText->text(), "5");
  EXPECT_TRUE(e.ui().indexText->isEnabled());
  EXPECT_EQ(e.ui().nameText->text(), "");
  EXPECT_FALSE(e.ui().btnCreate->isEnabled());
  EXPECT_EQ(e.ui().btnCreate->text(), text("IDS_AB_CREATE"));
  // The boxes of existing groups carry their names; the others stay generic and disabled.
  EXPECT_EQ(e.ui().groupCheck[0]->text(), "One");
  EXPECT_TRUE(e.ui().groupCheck[1]->isEnabled());
  EXPECT_EQ(e.ui().groupCheck[2]->text(), text("IDS_AB_GROUP") + " 3");
  EXPECT_FALSE(e.ui().groupCheck[2]->isEnabled());
}

// The name's typing rules and the Create state, evaluated after the filter.
TEST(ContactEditor, NameTypingRulesAndCreateState) {
  const QString pair = QString::fromUtf8("\xF0\x9F\x93\xA0");  // one character, two UTF-16 units
  struct Case {
    const char* name;
    QString input;
    bool pasted;
    QString shown;
  };
  const Case cases[] = {
      {"pasted 20 characters", QStringLiteral("ABCDEFGHIJKLMNOPQRST"), true, QStringLiteral("ABCDEFGHIJKLMNOP")},
      {"typed a<b", QStringLiteral("a<b"), false, QStringLiteral("ab")},
      {"Sales&Co<", QStringLiteral("Sales&Co<"), false, QStringLiteral("SalesCo")},
      {"only &", QStringLiteral("&"), false, QString()},
      {"a surrogate pair at the cut", QString(15, QLatin1Char('x')) + pair, true, QString(15, QLatin1Char('x'))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book b;
    ContactEditor e(b);
    type(e.ui().emailText, QStringLiteral("new@example.com"));
    if (c.pasted) paste(e.ui().nameText, c.input);
    else type(e.ui().nameText, c.input);
    EXPECT_EQ(e.ui().nameText->text(), c.shown);
    EXPECT_EQ(e.ui().btnCreate->isEnabled(), !c.shown.isEmpty()) << "Create follows the filtered name";
  }
}

// Create needs name, index and e-mail; the group boxes do not take part.
TEST(ContactEditor, CreateNeedsNameIndexAndEmail) {
  Book b;
  ContactEditor e(b);
  type(e.ui().nameText, "N");
  EXPECT_FALSE(e.ui().btnCreate->isEnabled()) << "empty e-mail, although the pattern would accept it";
  type(e.ui().emailText, "n@example.com");
  EXPECT_TRUE(e.ui().btnCreate->isEnabled());
  e.ui().indexText->selectAll();
  QTest::keyClick(e.ui().indexText, Qt::Key_Backspace);
  EXPECT_EQ(e.ui().indexText->text(), "");
  EXPECT_FALSE(e.ui().btnCreate->isEnabled());
}

// Editing a contact of groups 2 and 5: those boxes are on; switching 5 off stores 0x2 under the
// same index with the same shortcut flag; bits 20..31, which no box shows, stay as they were.
TEST(ContactEditor, EditStoresTheBoxesMaskAndKeepsTheFlag) {
  Book b;
  ContactEditor e(b, 4);
  EXPECT_EQ(e.ui().btnCreate->text(), text("IDS_RS_OK"));
  EXPECT_FALSE(e.ui().indexText->isEnabled());
  EXPECT_EQ(e.ui().indexText->text(), "4");
  EXPECT_EQ(e.ui().nameText->text(), "Four");
  for (int n = 1; n <= 20; ++n) EXPECT_EQ(e.ui().groupCheck[n - 1]->isChecked(), n == 2 || n == 5) << n;
  EXPECT_TRUE(e.ui().groupCheck[4]->isChecked()) << "a group number no group uses still shows its bit";
  e.editor.controls().groupCheck[4]->setChecked(false);
  e.editor.groupBtnChecked();
  QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
  EXPECT_FALSE(e.editor.isVisible());
  EXPECT_EQ(b.contacts.at(4), entry(4, kContact, 0x2 | 0x400000, "Four", "four@example.com", 1));
  EXPECT_EQ(b.contacts.size(), 3u);
}

// What Create refuses; the window stays open and nothing is stored.
TEST(ContactEditor, CreateRefusesBadAddressesAndIndexes) {
  struct Case {
    const char* name;
    QString index;
    QString email;
    QString message;
    QString information;
  };
  const Case cases[] = {
      {"malformed address", "7", "not-an-address", text("IDS_MAIL_FORMAT_ERR_MSG"), text("IDS_CHECK_AND_TRY_AGAIN")},
      {"index used by a group", "2", "a@example.com", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {2}),
       text("IDS_AB_INDEX_USED_INFO")},
      {"index used by a contact", "6", "a@example.com", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {6}),
       text("IDS_AB_INDEX_USED_INFO")},
      {"index 0", "0", "a@example.com", text("IDS_CM_ERROR"), kIndexOutOfRange},
      {"index 301", "301", "a@example.com", text("IDS_CM_ERROR"), kIndexOutOfRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book b;
    const Book before;
    ScriptedDialogs dialogs;
    ContactEditor e(b);
    e.ui().indexText->setText(c.index);
    type(e.ui().nameText, "New");
    type(e.ui().emailText, c.email);
    dialogs.expectAlert(0, c.message);
    QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_EQ(dialogs.alerts()[0].information, c.information);
    EXPECT_TRUE(e.editor.isVisible());
    EXPECT_EQ(b.contacts, before.contacts);
    EXPECT_EQ(b.groups, before.groups);
  }
}

// An address longer than the record's 255 bytes is refused, after the format check, on Create and
// on OK, when the user changed it; the window stays open with the text. An address as read is
// never refused for its length.
TEST(ContactEditor, AddressLongerThanTheRecordIsRefusedWhenChanged) {
  const auto address = [](int bytes) { return QString(bytes - 12, QLatin1Char('m')) + QStringLiteral("@example.com"); };
  const QString tooLong = platform::formatText(text("IDS_AB_EMAIL_TOO_LONG_MSG"), {255});
  struct Case {
    const char* name;
    std::optional<int> key;  // edit mode: the contact's key
    QString stored;          // edit mode: the address the contact holds
    QString typed;           // "" leaves the field as it opened
    QString message;         // "" when Create/OK stores
  };
  const Case cases[] = {
      {"add, 256 bytes", std::nullopt, "", address(256), tooLong},
      {"add, 255 bytes", std::nullopt, "", address(255), ""},
      {"add, malformed and long", std::nullopt, "", QString(300, QLatin1Char('m')), text("IDS_MAIL_FORMAT_ERR_MSG")},
      {"edit, changed to 300 bytes", 5, "five@example.com", address(300), tooLong},
      {"edit, 300 bytes as read, untouched", 5, address(300), "", ""},
      {"edit, 300 bytes as read, changed", 5, address(300), address(299), tooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Book b;
    if (c.key) b.contacts[*c.key] = entry(*c.key, kContact, 0, "Five", c.stored.toUtf8().constData());
    const Book before = b;
    ScriptedDialogs dialogs;
    ContactEditor e(b, c.key);
    if (!c.key) type(e.ui().nameText, "New");
    if (!c.typed.isEmpty()) {
      e.ui().emailText->clear();
      paste(e.ui().emailText, c.typed);
    }
    const QString shown = e.ui().emailText->text();
    if (!c.message.isEmpty()) dialogs.expectAlert(0, c.message);
    QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
    if (c.message.isEmpty()) {
      EXPECT_TRUE(dialogs.alerts().empty());
      EXPECT_FALSE(e.editor.isVisible());
      EXPECT_EQ(b.contacts.at(c.key.value_or(3)).email, shown) << "stored whole";
      continue;
    }
    ASSERT_EQ(dialogs.alerts().size(), 1u);
    if (c.message == tooLong) {
      EXPECT_TRUE(dialogs.alerts()[0].message.contains(QStringLiteral("255")));
      EXPECT_EQ(dialogs.alerts()[0].information, text("IDS_AB_EMAIL_TOO_LONG_INFO"));
    }
    EXPECT_TRUE(e.editor.isVisible());
    EXPECT_EQ(e.ui().emailText->text(), shown);
    EXPECT_EQ(b.contacts, before.contacts);
  }
}

TEST(ContactEditor, AddStoresTheNewContact) {
  Book b;
  ContactEditor e(b);
  EXPECT_EQ(e.ui().indexText->text(), "3");
  type(e.ui().nameText, "Three");
  type(e.ui().emailText, "three@example.com");
  e.ui().groupCheck[1]->click();
  QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
  EXPECT_EQ(b.contacts.at(3), entry(3, kContact, 0x2, "Three", "three@example.com", 0));
}

// ---- Group editor ----------------------------------------------------------------------------------------

struct GroupEditor {
  explicit GroupEditor(Book& b, std::optional<int> key = std::nullopt) {
    if (key) editor.editGroup(&b.groups, &b.contacts, *key);
    else editor.addGroup(&b.groups, &b.contacts);
    editor.show();
  }
  const AddressBookGroupControllerObjC::Controls& ui() const { return editor.controls(); }
  QStringList members() const { return column(ui().memberTable, 0); }
  QStringList others() const { return column(ui().contactTable, 0); }
  void moveIn(int row) {
    selectRow(ui().contactTable, row);
    QTest::mouseClick(ui().ltrBtn, Qt::LeftButton);
  }
  void moveOut(int row) {
    selectRow(ui().memberTable, row);
    QTest::mouseClick(ui().rtlBtn, Qt::LeftButton);
  }
  AddressBookGroupControllerObjC editor;
};

// Add mode with groups 1 and 2: the pop-up offers 3..20 and preselects 3, the index field the
// first free index; every contact starts as a non-member; Create starts disabled.
TEST(GroupEditor, AddModeOffersFreeNumbersAndIndex) {
  Book b;
  GroupEditor e(b);
  for (int n = 0; n <= 20; ++n) EXPECT_EQ(e.ui().contactType->isItemHidden(n), n <= 2) << n;
  EXPECT_EQ(e.ui().contactType->indexOfSelectedItem(), 3);
  EXPECT_EQ(e.ui().indexText->text(), "3");
  EXPECT_EQ(e.members(), QStringList{});
  EXPECT_EQ(e.others(), (QStringList{"Four", "five@example.com", "Six"}));
  EXPECT_FALSE(e.ui().btnCreate->isEnabled());
  EXPECT_FALSE(e.ui().ltrBtn->isEnabled());
  EXPECT_FALSE(e.ui().rtlBtn->isEnabled());
}

// Edit mode of group 2: its own number stays offered, the members are the contacts with bit
// 0x2; OK is on when the window opens (the group can be stored as it is); moving the last member
// out turns it off.
TEST(GroupEditor, EditModeAndTheCreateState) {
  Book b;
  GroupEditor e(b, 2);
  EXPECT_EQ(e.ui().btnCreate->text(), text("IDS_RS_OK"));
  EXPECT_FALSE(e.ui().indexText->isEnabled());
  EXPECT_EQ(e.ui().contactType->indexOfSelectedItem(), 2);
  EXPECT_FALSE(e.ui().contactType->isItemHidden(2));
  EXPECT_TRUE(e.ui().contactType->isItemHidden(1));
  EXPECT_EQ(e.members(), QStringList{"Four"});
  EXPECT_TRUE(e.ui().btnCreate->isEnabled());
  e.moveIn(0);  // five@example.com
  EXPECT_TRUE(e.ui().btnCreate->isEnabled());
  e.moveOut(0);
  e.moveOut(0);
  EXPECT_EQ(e.members(), QStringList{});
  EXPECT_FALSE(e.ui().btnCreate->isEnabled());
}

// An entry as the scanner may hold it (an empty name, an address not in the right form, a group
// without members): OK without a change is taken, with no alert, and changes nothing; what the
// user changes is still checked.
TEST(BothEditors, OkOnAnUntouchedEntryChangesNothing) {
  struct Case {
    const char* what;
    bool group;
    int key;
    AddressBookEntry stored;
  };
  const Case cases[] = {
      {"contact, address not in the right form", false, 5, entry(5, kContact, 0, "Five", "not an address")},
      {"contact, empty address", false, 5, entry(5, kContact, 0, "Five", "")},
      {"contact, empty name and address", false, 5, entry(5, kContact, 0xFFFFFFFF, "", "", 0xFFFFFFFF)},
      {"group without members, empty name", true, 1, entry(1, 3, 0xFFFFFFFF, "", "x@", 0xFFFFFFFF)},
      {"group 20 with a member", true, 1, entry(1, 20, 0, "Twenty", "")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Book b;
    (c.group ? b.groups : b.contacts)[c.key] = c.stored;
    if (c.stored.nodeType == 20) b.contacts[6] = b.contacts[6].withMask(0x80000);
    const Book before = b;
    ScriptedDialogs dialogs;  // any alert fails the test
    if (c.group) {
      GroupEditor e(b, c.key);
      EXPECT_TRUE(e.ui().btnCreate->isEnabled());
      QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
      EXPECT_FALSE(e.editor.isVisible());
    } else {
      ContactEditor e(b, c.key);
      EXPECT_TRUE(e.ui().btnCreate->isEnabled());
      QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
      EXPECT_FALSE(e.editor.isVisible());
    }
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(b.contacts, before.contacts);
    EXPECT_EQ(b.groups, before.groups);
  }

  // A changed address is checked; a changed name with the stored odd address is stored.
  Book b;
  b.contacts[5] = entry(5, kContact, 0, "Five", "not an address");
  {
    ScriptedDialogs dialogs;
    ContactEditor e(b, 5);
    type(e.ui().emailText, "x");
    dialogs.expectAlert(0, text("IDS_MAIL_FORMAT_ERR_MSG"));
    QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
    EXPECT_TRUE(e.editor.isVisible());
    EXPECT_EQ(b.contacts.at(5).email, "not an address");
  }
  {
    ScriptedDialogs dialogs;
    ContactEditor e(b, 5);
    type(e.ui().nameText, "!");
    QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
    EXPECT_FALSE(e.editor.isVisible());
    EXPECT_TRUE(dialogs.alerts().empty());
    EXPECT_EQ(b.contacts.at(5), entry(5, kContact, 0, "Five!", "not an address"));
  }
  // A name the user empties turns OK off, in both editors.
  {
    ContactEditor e(b, 5);
    e.ui().nameText->selectAll();
    QTest::keyClick(e.ui().nameText, Qt::Key_Backspace);
    EXPECT_FALSE(e.ui().btnCreate->isEnabled());
  }
  {
    GroupEditor e(b, 2);
    e.ui().nameText->setFocus();
    e.ui().nameText->selectAll();
    QTest::keyClick(e.ui().nameText, Qt::Key_Backspace);
    EXPECT_FALSE(e.ui().btnCreate->isEnabled());
  }
}

// Renumbering group 2 to 7: every contact loses bit 0x2, every member gains 0x40; the group
// keeps its index, its flag and what the editor does not show (its mask and address as read).
TEST(GroupEditor, RenumberingRewritesEveryMask) {
  Book b;
  b.groups[2] = entry(2, 2, 0x123, "Two", "stale@example.com", 1);
  b.contacts[6] = b.contacts[6].withMask(0x1 | 0x2);
  GroupEditor e(b, 2);
  EXPECT_EQ(e.members(), (QStringList{"Four", "Six"}));
  ASSERT_TRUE(e.ui().contactType->chooseItem(7));
  e.moveOut(1);  // Six leaves
  e.moveIn(0);   // five@example.com joins
  QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
  EXPECT_EQ(b.groups.at(2), entry(2, 7, 0x123, "Two", "stale@example.com", 1));
  EXPECT_EQ(b.contacts.at(4).groupMask, 0x10u | 0x400000u | 0x40u);
  EXPECT_EQ(b.contacts.at(5).groupMask, 0x40u);
  EXPECT_EQ(b.contacts.at(6).groupMask, 0x1u);
  EXPECT_EQ(b.contacts.at(4).shortcut, 1u);
}

TEST(GroupEditor, AddStoresTheGroupAndItsMembers) {
  Book b;
  GroupEditor e(b);
  type(e.ui().nameText, "Sales&Co<");
  EXPECT_EQ(e.ui().nameText->text(), "SalesCo");
  e.moveIn(2);  // Six
  ASSERT_TRUE(e.ui().btnCreate->isEnabled());
  QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
  EXPECT_EQ(b.groups.at(3), entry(3, 3, 0, "SalesCo"));
  EXPECT_EQ(b.contacts.at(6).groupMask, 0x1u | 0x4u);
  EXPECT_EQ(b.contacts.at(4).groupMask, 0x2u | 0x10u | 0x400000u);
}

// A name of only removed characters leaves Create disabled; an index in use or outside the book
// is refused with its alert and the window stays open.
TEST(GroupEditor, CreateRefusals) {
  {
    Book b;
    GroupEditor e(b);
    e.moveIn(0);
    type(e.ui().nameText, "&");
    EXPECT_EQ(e.ui().nameText->text(), "");
    EXPECT_FALSE(e.ui().btnCreate->isEnabled());
  }
  struct Case {
    QString index;
    QString message;
  };
  const Case cases[] = {
      {"1", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {1})},
      {"5", platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {5})},
      {"301", text("IDS_CM_ERROR")},
      {"-3", text("IDS_CM_ERROR")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index.toStdString());
    Book b;
    const Book before;
    ScriptedDialogs dialogs;
    GroupEditor e(b);
    e.ui().indexText->setText(c.index);
    type(e.ui().nameText, "G");
    e.moveIn(0);
    dialogs.expectAlert(0, c.message);
    QTest::mouseClick(e.ui().btnCreate, Qt::LeftButton);
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    EXPECT_TRUE(e.editor.isVisible());
    EXPECT_EQ(b.groups, before.groups);
    EXPECT_EQ(b.contacts, before.contacts);
  }
}

// Cancel after moving contacts leaves every mask as it was.
TEST(GroupEditor, CancelAfterMovesChangesNothing) {
  Book b;
  const Book before;
  GroupEditor e(b, 1);
  e.moveIn(0);
  e.moveOut(0);
  e.moveIn(1);
  QTest::mouseClick(e.ui().btnCancel, Qt::LeftButton);
  EXPECT_FALSE(e.editor.isVisible());
  EXPECT_EQ(b.contacts, before.contacts);
  EXPECT_EQ(b.groups, before.groups);
}

// ---- What the two editors share ---------------------------------------------------------------------------

// Trace lines (0x40) and error lines (0x02) written while a test runs.
// A click on a column header of either table of the group editor writes the trace lines of
// tableView:didClickTableColumn: and changes nothing.
TEST(GroupEditor, HeaderClickOnlyTraces) {
  Utilities& ut = Utilities::sharedInstance();
  const int32_t saved = ut.nDebugMask();
  for (const bool members : {false, true}) {
    SCOPED_TRACE(members ? "member table" : "non-member table");
    Book b;
    const Book before = b;
    GroupEditor e(b, 2);
    QTableView* table = members ? e.ui().memberTable : e.ui().contactTable;
    const QStringList shown = column(table, 0);
    ut.setDebugMask(0x40);
    LogCapture log;
    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionPosition(0) + 5, header->height() / 2));
    ut.setDebugMask(saved);
    const QString op = QStringLiteral("-[AddressBookGroupControllerObjC tableView:didClickTableColumn:]");
    const QStringList lines = log.lines();
    const auto enter = lines.indexOf(QStringLiteral(">>>>>>>>> %1 ENTER").arg(op));
    ASSERT_GE(enter, 0) << lines.join('|').toStdString();
    EXPECT_EQ(lines.value(enter + 1), QStringLiteral("<<<<<<<<< %1 END \n  ").arg(op));
    EXPECT_EQ(column(table, 0), shown);
    EXPECT_EQ(b.contacts, before.contacts);
    EXPECT_EQ(b.groups, before.groups);
  }
}

class EditorTrace : public ::testing::Test {
 protected:
  void SetUp() override { Utilities::sharedInstance().setDebugMask(0x42); }
  void TearDown() override { Utilities::sharedInstance().setDebugMask(m_savedMask); }

 private:
  int32_t m_savedMask = Utilities::sharedInstance().nDebugMask();
};

// The operations the editors share still trace under each editor's own class name, and a refused
// index tells which editor refused it.
TEST_F(EditorTrace, SharedOperationsTraceUnderTheEditorsOwnName) {
  for (const bool group : {false, true}) {
    const QString cls = group ? "AddressBookGroupControllerObjC" : "AddressBookContactControllerObjC";
    SCOPED_TRACE(cls.toStdString());
    Book b;
    LogCapture log;
    ScriptedDialogs dialogs;
    dialogs.expectAlert(0, platform::formatText(text("IDS_AB_INDEX_USED_MSG"), {2}));
    std::optional<ContactEditor> contact;
    std::optional<GroupEditor> groupEditor;
    QPushButton* create = nullptr;
    if (group) {
      groupEditor.emplace(b);
      groupEditor->ui().indexText->setText("2");
      type(groupEditor->ui().nameText, "G");
      groupEditor->moveIn(0);
      create = groupEditor->ui().btnCreate;
    } else {
      contact.emplace(b);
      contact->ui().indexText->setText("2");
      type(contact->ui().nameText, "N");
      type(contact->ui().emailText, "n@example.com");
      create = contact->ui().btnCreate;
    }
    QTest::mouseClick(create, Qt::LeftButton);
    EXPECT_EQ(dialogs.alerts().size(), 1u);
    for (const char* op : {"viewDidLoad", "updateUI", "firstEmptyIndex", "isIndexExist:", "detectCreateBtn",
                           "isAnyTextFieldEmpty", "CreateBtnPushed:"})
      EXPECT_TRUE(log.contains(QStringLiteral(">>>>>>>>> -[%1 %2] ENTER").arg(cls, QLatin1String(op)))) << op;
    EXPECT_TRUE(log.contains(QStringLiteral(">>>>>>>>> -[%1 %2] ENTER")
                                 .arg(cls, QLatin1String(group ? "addGroup:contact:" : "addContact:contact:"))));
    EXPECT_TRUE(logHas(log, QStringLiteral("========= -[%1 checkIndex] ERROR: index 2 is used").arg(cls)))
        << log.lines().join('|').toStdString();
    const QString other = group ? "AddressBookContactControllerObjC" : "AddressBookGroupControllerObjC";
    EXPECT_FALSE(logHas(log, other));
  }
}

// The group editor counts an index outside 1..300 as used; the contact editor only looks at the
// entries (its Create refuses such an index before asking).
TEST(BothEditors, IndexExistenceOutsideTheRange) {
  Book b;
  ContactEditor contact(b);
  GroupEditor group(b);
  struct Case {
    int32_t index;
    bool contactAnswer;
    bool groupAnswer;
  };
  const Case cases[] = {{0, false, true}, {301, false, true}, {1, true, true}, {6, true, true}, {3, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(contact.editor.isIndexExist(c.index), c.contactAnswer);
    EXPECT_EQ(group.editor.isIndexExist(c.index), c.groupAnswer);
  }
  EXPECT_EQ(contact.editor.firstEmptyIndex(), 3);
  EXPECT_EQ(group.editor.firstEmptyIndex(), 3);
}

}  // namespace
