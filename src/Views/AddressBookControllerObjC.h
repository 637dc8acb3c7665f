#pragma once
// The address-book page (view identifier "addressBook", network model only): the scanner's
// address book, up to 20 groups and contacts (named e-mail destinations), together at most 300
// entries sharing the indexes 1..300.
//
// A self-writing page (PageController.h): it is handed the main window's command layer and
//   setParam       reads the scanner's whole book and rebuilds the group and contact dictionaries
//                  (AddressBookEntry.h) from it;
//   isDataChanged  reads the book again and compares it, slot by slot, with the book the page
//                  would write (node type, group mask, name, e-mail address);
//   getParam       writes the book the page holds, answering the scanner's verdict
//                  (IOWrapper::judge: a refused write is a failure);
//   differsFromAccepted  the same comparison with the last accepted content, without reading.
//
// The page's last accepted content (addressBook) is the scanner's book as of the last accepted
// read or accepted write of the page, or of an import that wrote the book (settingsImported).
// Reads count only when complete and accepted. The book the page writes is that content with the
// user's edits: every slot nobody touched as it is there, every read entry at the slot it was read
// from, each of its fields the user did not change byte for byte as read; a deleted entry's slot
// empty; an entry an editor created at slot index-1. A change is that book differing from the
// last accepted content; a fresh read that succeeds replaces the content, one that fails leaves it.
// The entries the user changed are those that differ from the ones the dictionaries were last
// built with (an editor's Create/OK that changed something, a delete, the masks a group's delete
// or new number changed). A fresh read that succeeds rebuilds the dictionaries from the fresh
// book and puts the user's changes back on top, by index: untouched entries follow the scanner,
// a changed one keeps the user's values (at the slot the fresh read holds its index in, with the
// rest of that slot's bytes and its shortcut flag as read there; a deleted one stays deleted).
// A changed entry whose index the fresh book no longer shows is written as a new one.
// An entry that cannot be placed (slot index-1 is held by a kept entry or by another read entry)
// is a change, and getParam then writes nothing and answers NO with IDS_AB_INDEX_USED_MSG
// (naming the index) / IDS_AB_INDEX_USED_INFO, so the page keeps it and the user can choose
// another index.
// An accepted write makes the written book the content and rebuilds the dictionaries from it.
//   - a failed read in setParam tells the user (IDS_AB_READ_FAIL_MSG / _INFO, with what the
//     scanner said). When the page holds accepted content, it shows that content again and stays
//     editable; when it holds none (no read or write was accepted yet, or a failed import), both
//     tables stay empty and the add, edit and delete buttons disabled. Until a later read succeeds,
//     isDataChanged then answers NO (nothing of the user's to save, so leaving the page is never
//     blocked) and getParam writes nothing and answers NO (IDS_RS_NOT_READ_MSG / _INFO).
// Slots the page shows are those of node type 1..20 (groups) and 21 (contacts) with an index of
// 1..300 that no earlier slot's entry holds. Every other non-empty slot is kept: not shown, never
// a change, written back as read at its own slot and never overwritten. An index is in use
// for the editors (isIndexTaken) when a kept slot names it or when slot index-1 holds a kept
// entry or a read entry that sits at a slot other than its own, so an entry written at slot
// index-1 never overwrites another one.
//
// The dictionaries are shared with the editors (AddressBookContactControllerObjC,
// AddressBookGroupControllerObjC), which store into them and call updateUI. Deleting happens on
// the page; an entry used by a panel shortcut (shortcut flag 1) is never deleted (alert
// IDS_AB_CONTACT_IN_SHORTCUT_MSG / _INFO). Nothing reaches the scanner before getParam.
//
// The tables ("GROUP_TABLE", "CONTACT_TABLE") ask the page through its data-source operations;
// rows are the dictionaries' keys in ascending order, columns are recognised by their titles:
//   groups:   "Index", IDS_AB_GROUP ("Group n"), IDS_AB_GROUP_NAME, IDS_AB_CONTACT (members)
//   contacts: "Index", IDS_AB_NAME, IDS_AB_EMAIL, IDS_AB_GROUP (" 1 3": the group numbers)
// Counting the rows sets the add buttons: add group while groups < 20 and entries < 300, add
// contact while entries < 300.
//
// The editors are created per opening by the page factory ("VID_ADDRESS_GROUP",
// "VID_ADDRESS_CONTACT") and run as modal windows through the editor presenter (exec() unless a
// test puts its own in place).
//
// Trace at level 0x40 (">>>>>>> %@ ENTER", "<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "IO/FCLRecords.h"
#include "Views/AddressBookEntry.h"
#include "Views/PageController.h"
#include "Views/PageTrace.h"

class IOWrapper;
class QDialog;
class QLabel;
class QPushButton;
class QTableView;
class TableDataSource;
class Utilities;

class AddressBookControllerObjC : public PageController {
  Q_OBJECT

 public:
  static constexpr const char* kGroupTable = "GROUP_TABLE";
  static constexpr const char* kContactTable = "CONTACT_TABLE";
  static constexpr const char* kIndexTitle = "Index";
  // The identifiers of the four buttons that open the editors.
  static constexpr const char* kAddGroupButton = "ADD_GROUP_BTN";
  static constexpr const char* kEditGroupButton = "EDIT_GROUP_BTN";
  static constexpr const char* kAddContactButton = "ADD_CONTACT_BTN";
  static constexpr const char* kEditContactButton = "EDIT_CONTACT_BTN";

  explicit AddressBookControllerObjC(QWidget* parent = nullptr);
  ~AddressBookControllerObjC() override;

  // ---- Page contract ---------------------------------------------------------------------------
  void setParam(const MainWindowState& state) override;   // uses state.ioWrapper only
  bool getParam(MainWindowState& state) override;         // writes the scanner; the state is untouched
  bool isDataChanged(const MainWindowState& state) override;
  int32_t isDataError() override;                         // always 0
  bool differsFromAccepted(const MainWindowState& state) override;  // no I/O, no alert

  // ---- The same on the command layer itself (kept, not owned; may be null: nothing to read) ----
  void setParam(IOWrapper* io);
  bool getParam(IOWrapper* io);
  bool isDataChanged(IOWrapper* io);

  // True while the page holds accepted content (see above): its tables show it and can be edited.
  bool isBookRead() const { return m_bookRead; }
  // After an import: the book it wrote and the scanner accepted becomes the page's content; a
  // failed import that did not write it leaves the page without content (not read).
  void settingsImported(const IOWrapper& io, bool imported) override;
  // True when `index` is used by what the page keeps without showing, or slot index-1 is held by
  // a kept entry or by a read entry written back elsewhere than slot index-1 (the editors' rule:
  // such an index is never offered or stored).
  bool isIndexTaken(int32_t index) const;

  // ---- Towards the editors ---------------------------------------------------------------------
  AddressBookDictionary& groupDictionary() { return m_groups; }
  AddressBookDictionary& contactDictionary() { return m_contacts; }
  void setContactDictionary(const AddressBookDictionary& d) { m_contacts = d; }
  // Reloads both tables (group table first).
  void updateUI();

  // ---- User actions -------------------------------------------------------------------------------
  void deleteGroup();
  void deleteContact();
  // A double click on a row, or Return in a table with a row selected: the row's editor.
  void doubleClickGroupRow();
  void doubleClickContactRow();
  // An add or edit button (by its identifier): creates the editor, prepares it and presents it.
  void openEditor(const QString& buttonIdentifier);
  // Gives the editor `editor` what the button `buttonIdentifier` opens it with. False (only the
  // log line) for an edit button without a selected row, or an editor of the wrong kind.
  bool prepareForSegue(const QString& buttonIdentifier, QDialog* editor);

  // How an editor is run once prepared; the default runs it modally (exec()). Tests put a
  // presenter in place that works the editor's controls instead of waiting for a person.
  using EditorPresenter = std::function<void(QDialog& editor)>;
  void setEditorPresenter(EditorPresenter presenter) { m_presenter = std::move(presenter); }

  // ---- Data source of the two tables ----------------------------------------------------------
  int numberOfRowsInTableView(const QString& tableId);
  QString objectValue(const QString& tableId, const QString& columnTitle, int row);
  void tableViewSelectionDidChange();

  // ---- Text helpers ------------------------------------------------------------------------------
  static QString groupString(int32_t group);            // "Group n" for 1..20, else ""
  static QString maskToString(uint32_t mask);           // " 1 3" for groups 1 and 3
  QString contactsString(int32_t groupIndex) const;     // " name name" of the group's members
  static int32_t maskMap(int32_t group);                // group n -> 1 << (n-1), else 0

  // ---- Building the book (what getParam writes; exposed for tests) -----------------------------
  // The book the page holds: the last accepted content with the user's edits (see above).
  // Answers the indexes of the entries it could not place (their slot is held), in ascending order.
  std::vector<int32_t> buildBook(FCL_RS_ADDRESS_BOOK& book) const;

  // ---- The controls (for tests and the page's screenshots) ------------------------------------
  struct Controls {
    QLabel* labelAddressBook;
    QLabel* labelGroup;
    QLabel* labelContact;
    QTableView* groupTable;
    QTableView* contactTable;
    TableDataSource* groupModel;
    TableDataSource* contactModel;
    QPushButton* addGroupBtn;
    QPushButton* delGroupBtn;
    QPushButton* editGroupBtn;  // also btnGroupEdit
    QPushButton* addContactBtn;
    QPushButton* delContactBtn;
    QPushButton* editContactBtn;  // also btnContactEdit
  };
  const Controls& controls() const { return m_ui; }

 protected:
  // Return in a table edits its selected entry.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildLayout();
  void initLocalizedString();
  // Rebuilds the dictionaries (and the kept slots) from addressBook.
  void rebuildDictionaries();
  // After a fresh read that succeeded: `fresh` becomes the content, the dictionaries are rebuilt
  // from it and the user's changes put back on top (see above); the tables show the result.
  void refreshFrom(const FCL_RS_ADDRESS_BOOK& fresh);
  // True when the book the page would write differs from addressBook, or holds an entry that
  // cannot be placed.
  bool differsFromContent() const;
  // Takes `book` as the page's accepted content and shows it.
  void acceptContent(const FCL_RS_ADDRESS_BOOK& book);
  // Drops the page's content: nothing shown, nothing editable or written until a read succeeds.
  void forgetContent();
  // A slot of addressBook that is not empty and whose entry the page does not show.
  bool isKeptSlot(int slot) const;
  void showNotReadAlert(const QString& details);
  void showReadFailAlert(const QString& details);
  QString cellText(const QString& tableId, const QString& columnTitle, int row) const;
  void presentEditor(const QString& storyboardId, const QString& buttonIdentifier);

  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;

  // This page's trace lines open with seven angle brackets (nine on the other pages).
  static constexpr int kTraceBrackets = 7;

  Controls m_ui{};
  Utilities& ut;
  PageTrace m_trace{kTraceBrackets};
  IOWrapper* pIOWrapper = nullptr;
  // The last accepted content (all zero until then); see above.
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> addressBook;
  bool m_bookRead = false;
  // Per slot: true when the last rebuild showed the slot's entry. Every other slot of addressBook
  // that is not empty is kept (also one a later fresh read filled).
  std::vector<bool> m_shownSlots;
  AddressBookDictionary m_groups;
  AddressBookDictionary m_contacts;
  // The dictionaries as the last rebuild made them: an entry differing from its one here (or
  // missing on either side) is one the user changed.
  AddressBookDictionary m_readGroups;
  AddressBookDictionary m_readContacts;
  EditorPresenter m_presenter;
};
