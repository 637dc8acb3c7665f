#pragma once
// The contact editor: the modal window in which the user creates a contact of the scanner's
// address book or changes one (index, name, e-mail address, groups).
//
// The address-book page creates one per opening (page factory identifier "VID_ADDRESS_CONTACT"),
// sets itself as addressBookVC and calls addContact (add mode) or editContact (edit mode) with
// its two dictionaries, which the editor uses directly (not copies). The editor never talks to
// the scanner; it stores one entry in the page's contact dictionary on Create/OK and asks the
// page to redraw (AddressBookControllerObjC::updateUI). Cancel stores nothing.
//
// When shown (updateUI): the group check boxes of the groups that exist are enabled and titled
// with the group's name (the others keep "Group n" and stay disabled); edit mode shows the
// contact, its index fixed, and switches on the boxes of its mask; add mode offers the first free
// index 1..300 (the field stays editable) and empty fields.
//
// Typing: the name is cut to 16 UTF-16 units (never half a surrogate pair) and loses "&", ">"
// and "<"; Create is then enabled exactly when name, index and e-mail are all non-empty (in edit
// mode: those the user changed; a name or address as read counts, also an empty one).
//
// Create/OK: an e-mail the user typed (any in add mode) must pass Utilities::validateEmail (else
// the alert IDS_MAIL_FORMAT_ERR_MSG / IDS_CHECK_AND_TRY_AGAIN; an address as read, in the right
// form or not, is stored as read); an address the user changed must fit the record's 255 bytes of
// UTF-8 (else IDS_AB_EMAIL_TOO_LONG_MSG naming the limit / IDS_AB_EMAIL_TOO_LONG_INFO); in add mode
// the index must lie in 1..300 (else IDS_CM_ERROR / IDS_OUT_OF_RANGE_ERR_MSG) and be in use by
// nothing (else IDS_AB_INDEX_USED_MSG naming the index / IDS_AB_INDEX_USED_INFO). A refused Create
// leaves the window open and unchanged.
// The entry stored is [index, 21, the boxes' mask with the edited contact's bits 20..31, name,
// e-mail, the edited contact's shortcut flag (0 when added)]; an edited contact keeps the slot and
// the bytes it was read with (AddressBookEntry.h).
//
// What it shares with the group editor (the free index, the index check, Create/Cancel, the name
// filter, the trace) lives in AddressBookEditorBase.
//
// Trace at level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <array>
#include <cstdint>

#include "Views/AddressBookEditorBase.h"

class QCheckBox;

class AddressBookContactControllerObjC : public AddressBookEditorBase {
  Q_OBJECT

 public:
  explicit AddressBookContactControllerObjC(QWidget* parent = nullptr);

  void addContact(AddressBookDictionary* groups, AddressBookDictionary* contacts);
  void editContact(AddressBookDictionary* groups, AddressBookDictionary* contacts, int32_t key);

  // ---- Actions ---------------------------------------------------------------------------------------
  // CreateBtnPushed, CancelBtnPushed, indexTextTyping and nameTextTyping: AddressBookEditorBase.
  void groupBtnChecked();
  void emailTextTyping();
  // The user changed the text of the name or e-mail field.
  void controlTextDidChange(QLineEdit* field);

  // ---- Internal operations (public for tests) ---------------------------------------------------
  // detectCreateBtn, isIndexExist and firstEmptyIndex: AddressBookEditorBase.
  void updateUI();
  void applyData() override;
  bool isAnyTextFieldEmpty() const override;

  struct Controls : Fields {
    QLabel* labelEmail;
    QLineEdit* emailText;
    std::array<QCheckBox*, addressbook::kGroupCount> groupCheck;  // box n at [n-1]
  };
  const Controls& controls() const { return m_ui; }

 protected:
  void showEvent(QShowEvent* event) override;
  const Fields& fields() const override { return m_ui; }
  // The e-mail address is well-formed and fits the record and, in add mode, the index is free.
  bool acceptsInput() override;

 private:
  static const Variant kVariant;

  void buildLayout();
  void initLocalizedString();

  Controls m_ui{};
  int32_t nIsInShortcut = 0;
  int64_t nGroupMask = 0;
  QString m_emailAsShown;  // the edited contact's address as the window opened with it ("" when adding)
};
