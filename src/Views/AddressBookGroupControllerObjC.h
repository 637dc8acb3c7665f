#pragma once
// The group editor: the modal window in which the user creates a group of the scanner's address
// book or changes one (index, group number 1..20, name, members).
//
// The address-book page creates one per opening (page factory identifier "VID_ADDRESS_GROUP"),
// sets itself as addressBookVC and calls addGroup (add mode) or editGroup (edit mode) with its two
// dictionaries, which the editor uses directly. Membership lives in the contacts' group masks, so
// the editor splits the contacts into two working lists, non-members ("GROUP_CONTACT_TABLE") and
// members ("MEMBER_TABLE"), lets the user move them (the arrow buttons or a double-click), and on
// Create/OK writes the group entry and every contact's new mask into the page's dictionaries and
// asks the page to redraw. Cancel leaves the dictionaries untouched.
//
// When shown (updateUI): the pop-up offers the numbers no other group uses (item 0 is hidden);
// edit mode shows the group, its index fixed; add mode offers the first free index and the first
// free number. Create is enabled exactly when name and index are non-empty and there is at least
// one member; in edit mode a name or a member list the user did not change counts, also an empty
// one, so OK is on when the window opens and an untouched group is stored as it came. Create
// starts disabled in add mode (no members yet); it is evaluated when the window is filled, on
// typing, on the fields' actions and after every move.
//
// Typing: the name is cut to 16 UTF-16 units (never half a surrogate pair) and loses "&", ">"
// and "<" before Create is evaluated.
//
// Create/OK in add mode refuses an index outside 1..300 (IDS_CM_ERROR / IDS_OUT_OF_RANGE_ERR_MSG)
// and an index in use (IDS_AB_INDEX_USED_MSG naming the index / IDS_AB_INDEX_USED_INFO); the
// window stays open. Storing: a new group is [index, number, 0, name, "", 0]; an edited one keeps
// its mask, e-mail address, shortcut flag and the slot and bytes it was read with, and takes the
// number and the name. Every non-member loses the bit of the number (and of the old number when
// the group was renumbered), every member loses the old bit and gains the new one.
//
// A click on a column header of either table only writes the trace lines of
// tableView:didClickTableColumn:.
//
// What it shares with the contact editor (the free index, the index check, Create/Cancel, the name
// filter, the trace) lives in AddressBookEditorBase.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QList>
#include <cstdint>

#include "Views/AddressBookEditorBase.h"

class QTableView;
class TableDataSource;

namespace platform {
class PopUpButton;
}  // namespace platform

class AddressBookGroupControllerObjC : public AddressBookEditorBase {
  Q_OBJECT

 public:
  static constexpr const char* kContactTable = "GROUP_CONTACT_TABLE";
  static constexpr const char* kMemberTable = "MEMBER_TABLE";

  explicit AddressBookGroupControllerObjC(QWidget* parent = nullptr);
  ~AddressBookGroupControllerObjC() override;

  void addGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts);
  void editGroup(AddressBookDictionary* groups, AddressBookDictionary* contacts, int32_t key);

  // ---- Actions ---------------------------------------------------------------------------------------
  // CreateBtnPushed, CancelBtnPushed, indexTextTyping and nameTextTyping: AddressBookEditorBase.
  void leftToRightBtnPushed();
  void rightToLeftBtnPushed();
  void doubleClickContact();
  void doubleClickMember();
  // The user changed the name field's text.
  void controlTextDidChange();
  // A click on a column header of either table.
  void didClickTableColumn();

  // ---- Internal operations (public for tests) ---------------------------------------------------
  // detectCreateBtn, isIndexExist and firstEmptyIndex: AddressBookEditorBase.
  void updateUI();
  void updateTable();
  void applyData() override;
  bool isAnyTextFieldEmpty() const override;
  bool isGroupExist(int32_t group) const;
  int32_t firstEmptyGroup() const;
  void leftToRight();
  void rightToLeft();
  static int32_t maskMap(int32_t group) { return static_cast<int32_t>(addressbook::maskMap(group)); }

  // ---- Data source of the two tables ----------------------------------------------------------
  int numberOfRowsInTableView(const QString& tableId);
  QString objectValue(const QString& tableId, const QString& columnTitle, int row);
  void tableViewSelectionDidChange();

  struct Controls : Fields {
    QLabel* labelGroup;
    platform::PopUpButton* contactType;
    QTableView* contactTable;
    QTableView* memberTable;
    TableDataSource* contactModel;
    TableDataSource* memberModel;
    QPushButton* ltrBtn;
    QPushButton* rtlBtn;
  };
  const Controls& controls() const { return m_ui; }

 protected:
  void showEvent(QShowEvent* event) override;
  const Fields& fields() const override { return m_ui; }
  // A group number is chosen and, in add mode, the index is free.
  bool acceptsInput() override;

 private:
  static const Variant kVariant;

  void buildLayout();
  void initLocalizedString();
  void reloadTables();
  // The keys of the members, in ascending order.
  QList<int32_t> memberKeys() const;

  Controls m_ui{};
  AddressBookDictionary m_nonMembers;  // groupContactDictionary
  AddressBookDictionary m_members;     // groupMemberDictionary
  QList<int32_t> m_membersAsOpened;    // the members' keys when the window was filled
};
