#pragma once
// The address-book page (view identifier "addressBook", network model only): the scanner's
// address book, up to 20 groups and contacts (named e-mail destinations), together at most 300
// entries sharing the indexes 1..300.
//
// A self-writing page (PageController.h): it is handed the main window's command layer and
//   setParam       reads the scanner's whole book and rebuilds the group and contact dictionaries
//                  (AddressBookEntry.h) from its slots of node type 1..20 and 21;
//   isDataChanged  reads the book again and compares it, slot by slot, with the book the
//                  dictionaries make (node type, group mask, name, e-mail address);
//   getParam       builds a book from the dictionaries (each entry in slot index-1, the identifier
//                  as last read, every other slot empty) and writes it, answering the scanner's
//                  verdict (IOWrapper::judge: a refused write is a failure).
//
// Reads count only when complete and accepted (IOWrapper::judge). The book is never written when
// the page could not read it:
//   - a failed read in setParam shows the not-read alert (IDS_RS_NOT_READ_MSG / _INFO, with what
//     the scanner said), leaves both tables empty and the add, edit and delete buttons disabled;
//     the record of the last successful read is kept as it was. Until a later read succeeds,
//     isDataChanged answers NO (nothing of the user's to save, so leaving the page is never
//     blocked) and getParam writes nothing and answers NO.
//   - a failed fresh read in isDataChanged compares against the book as last read.
// Slots the page does not show are handled so that a save never loses what it did not read:
//   - a slot whose node type is not 0..21 is written back unchanged at its own slot when no shown
//     entry takes that index, and is not counted as a change;
//   - an entry whose dwRefIdx is 300 or more has no slot: it is neither shown nor written (logged).
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

  // ---- The same on the command layer itself (kept, not owned; may be null: nothing to read) ----
  void setParam(IOWrapper* io);
  bool getParam(IOWrapper* io);
  bool isDataChanged(IOWrapper* io);

  // True while the page holds a book it read successfully (the last read in setParam succeeded).
  bool isBookRead() const { return m_bookRead; }

  // ---- Towards the editors ---------------------------------------------------------------------
  AddressBookDictionary& groupDictionary() { return m_groups; }
  AddressBookDictionary& contactDictionary() { return m_contacts; }
  void setGroupDictionary(const AddressBookDictionary& d) { m_groups = d; }
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
  // The book the dictionaries make: the identifier as last read, the entries, the kept unshown slots.
  void buildBook(FCL_RS_ADDRESS_BOOK& book) const;

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
  // Rebuilds the dictionaries (and the kept unshown slots) from addressBook.
  void rebuildDictionaries();
  // The slots of `book` (all zero) filled from the dictionaries and the kept slots, as written.
  void fillSlots(FCL_RS_ADDRESS_BOOK& book) const;
  void showNotReadAlert(const QString& details);
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
  // The last successful read (all zero until then); its identifier is written back.
  std::unique_ptr<FCL_RS_ADDRESS_BOOK> addressBook;
  bool m_bookRead = false;
  // Slots of the last read whose node type is not 0..21: slot number and the slot as read.
  std::vector<std::pair<int, FCL_RS_ADDRESS_BOOK_NODE>> m_unshownSlots;
  AddressBookDictionary m_groups;
  AddressBookDictionary m_contacts;
  EditorPresenter m_presenter;
};
