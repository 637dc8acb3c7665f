#pragma once
// What the address book's two editors share: the contact editor (AddressBookContactControllerObjC)
// and the group editor (AddressBookGroupControllerObjC) are modal windows opened by the
// address-book page, both with an index field, a name field and Cancel / Create buttons, both
// working on the page's two dictionaries (used directly, not copied) and both storing on
// Create/OK and asking the page to redraw (AddressBookControllerObjC::updateUI).
//
// Shared here:
//   - the page and the dictionaries the editor works on, and the key of the edited entry (none in
//     add mode);
//   - the free index: isIndexExist (some group or contact has the index, or the page says it is
//     taken by what it keeps: AddressBookControllerObjC::isIndexTaken) and firstEmptyIndex (the
//     smallest free index of 1..300, or 0);
//   - the add-mode index check of Create/OK: an index outside 1..300 is refused with the alert
//     IDS_CM_ERROR / IDS_OUT_OF_RANGE_ERR_MSG, one that a group or contact uses with
//     IDS_AB_INDEX_USED_MSG naming the index / IDS_AB_INDEX_USED_INFO; the index field then takes
//     the keyboard focus and the window stays open;
//   - Create/OK (the editor's own checks, then applyData, the page's redraw, the window closes),
//     Cancel (closes, stores nothing), the index and name fields' actions and the Create button's
//     state (enabled exactly when the editor's isAnyTextFieldEmpty answers NO);
//   - what the checks look at (mustCheck): a new entry (add mode) is checked in full; an existing
//     one only in what the user changed since the window opened, so OK on an entry the user did
//     not touch is always taken and changes nothing, whatever the scanner holds in it (an empty
//     name, an address not in the right form, a group without members);
//   - the name filter: cut to 16 UTF-16 units (never half a surrogate pair), "&", ">" and "<"
//     removed, the cursor kept after what the user typed;
//   - the trace: every operation's name is "-[<the editor's class> <selector>]", entries and ends at
//     level 0x40 (">>>>>>>>> %@ ENTER", "<<<<<<<<< %@ END \n  "), errors at level 0x02.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <optional>

#include "Views/AddressBookEntry.h"
#include "Views/FilledValues.h"
#include "Views/PageTrace.h"

class AddressBookControllerObjC;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class Utilities;

class AddressBookEditorBase : public QDialog {
  Q_OBJECT

 public:
  // The points in which the two editors differ here.
  struct Variant {
    const char* className;        // in the trace lines' operation names
    bool outOfRangeIndexIsUsed;   // isIndexExist answers YES for an index outside 1..300
  };

  // The controls both editors have; each editor's Controls extends them.
  struct Fields {
    QLabel* labelIndex;
    QLineEdit* indexText;
    QLabel* labelName;
    QLineEdit* nameText;
    QPushButton* btnCreate;
    QPushButton* btnCancel;
  };

  ~AddressBookEditorBase() override;

  void setAddressBookVC(AddressBookControllerObjC* page) { addressBookVC = page; }
  bool isEditMode() const { return editedKey.has_value(); }

  // ---- Actions ---------------------------------------------------------------------------------------
  void CreateBtnPushed();
  void CancelBtnPushed();
  void indexTextTyping();
  void nameTextTyping();

  // ---- Internal operations (public for tests) ---------------------------------------------------
  virtual void applyData() = 0;
  void detectCreateBtn();
  virtual bool isAnyTextFieldEmpty() const = 0;
  bool isIndexExist(int32_t index) const;
  int32_t firstEmptyIndex() const;

 protected:
  AddressBookEditorBase(const Variant& variant, QWidget* parent);

  // The editor's controls, as far as they are shared.
  virtual const Fields& fields() const = 0;
  // The editor's own checks of Create/OK before anything is stored; a refusal has told the user.
  virtual bool acceptsInput() = 0;

  // Add or edit mode (the operation named by selector): the dictionaries to work on and the key of the edited entry (none: add).
  void takeDictionaries(const char* selector, AddressBookDictionary* groups, AddressBookDictionary* contacts,
            std::optional<int32_t> key);

  // ---- Layout helpers ------------------------------------------------------------------------------
  QVBoxLayout* newOuterLayout();
  static QFormLayout* newFormLayout();
  // The index row (a 64-pixel field) and the name row of the form; Fields to fill in.
  void addIndexRow(QFormLayout* form, Fields& ui);
  void addNameRow(QFormLayout* form, Fields& ui, int width);
  // Cancel and Create (the default button), right-aligned.
  void addButtonRow(QVBoxLayout* outer, Fields& ui);
  // The texts of the shared controls and the window title.
  void initCommonTexts(const char* titleKey);
  // The index and name fields' actions, Create and Cancel.
  void connectCommon();
  // "Group n" in the user's language: a group number's generic title.
  static QString genericGroupTitle(int n);
  static QString localized(const char* key);
  // The index field's label (without its colon), as the field and its alerts name it.
  static QString indexLabel();

  // Cuts and cleans the name field's text (see above).
  void filterNameField();
  // In add mode: the index field holds an index of 1..300 that nothing uses; alerts otherwise.
  bool checkIndex();
  // Whether the checks look at `control`: always in add mode; in edit mode when the user changed
  // it since the window opened (its value then is remembered in m_asOpened).
  bool mustCheck(const QWidget* control) const { return !isEditMode() || m_asOpened.changed(control); }

  // ---- Trace ----------------------------------------------------------------------------------------
  QString op(const char* selector) const;
  void funcEnter(const QString& name) const;
  void funcEnd(const QString& name) const;
  void funcErr(const QString& name, const QString& message) const;
  // Runs `body` between the ENTER and END lines of the operation named by selector.
  template <class Body>
  void traced(const char* selector, Body&& body) {
    const QString name = op(selector);
    funcEnter(name);
    body();
    funcEnd(name);
  }

  Utilities& ut;
  PageTrace m_trace;
  AddressBookControllerObjC* addressBookVC = nullptr;
  AddressBookDictionary* groupDictionary = nullptr;
  AddressBookDictionary* contactDictionary = nullptr;
  std::optional<int32_t> editedKey;  // the contact editor's contactKey, the group editor's groupKey
  bool m_filled = false;             // updateUI ran for this opening
  FilledValues m_asOpened;           // what the controls showed when updateUI filled them

 private:
  const Variant m_variant;
};
