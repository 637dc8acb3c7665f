#pragma once
// A pop-up menu whose items are addressed by index, as the settings pages expect.
//
//  - Items keep their index for the life of the menu. Hiding an item takes it out of the list
//    the user chooses from (mouse, keyboard and wheel skip it) without moving any other item.
//  - There may be no selection (index -1): the button then shows an empty title. A page uses
//    this for a stored value that no item stands for, so that saving can keep the value.
//  - selectItem() is the program's selection and never fires activated(); activated() comes
//    only from the user's choice (including re-choosing the item already shown).
//  - A hidden item can still be selected by the program; the button then shows its title.
//  - Out-of-range indexes are harmless everywhere: reads answer -1 or "", writes do nothing,
//    and selectItem() with one clears the selection.
//  - The wheel changes the choice only while the button has the keyboard focus, so scrolling a
//    page over its pop-ups scrolls the page.
//
// A QComboBox does the drawing and the menu; comboBox() is there for layout and focus, not for
// changing items or the selection behind the adapter's back.

#include <QComboBox>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace platform {

class PopUpButton : public QWidget {
  Q_OBJECT

 public:
  explicit PopUpButton(QWidget* parent = nullptr);
  explicit PopUpButton(const QStringList& titles, QWidget* parent = nullptr);

  // ---- Items --------------------------------------------------------------------------------
  void addItem(const QString& title);
  void addItems(const QStringList& titles);
  // Removes every item; the selection becomes -1.
  void removeAllItems();
  int numberOfItems() const;
  QString itemTitle(int index) const;
  void setItemTitle(int index, const QString& title);
  void setItemHidden(int index, bool hidden);
  bool isItemHidden(int index) const;

  // ---- Selection ------------------------------------------------------------------------------
  // The selected item's index, or -1 when none is.
  int indexOfSelectedItem() const;
  // The selected item's title, or "" when none is.
  QString titleOfSelectedItem() const;
  // Selects `index` (hidden items too) without firing activated(); any index outside the items
  // clears the selection.
  void selectItem(int index);
  // The user's choice of `index`, as picking it from the open menu: selects it and fires
  // activated(index). Refused (false, nothing changes, no signal) for a hidden item or an index
  // outside the items.
  bool chooseItem(int index);

  QComboBox* comboBox() const { return m_combo; }

 signals:
  // The user chose `index`.
  void activated(int index);

 private:
  bool isValid(int index) const { return index >= 0 && index < m_combo->count(); }

  QComboBox* m_combo;
  QSet<int> m_hidden;
};

}  // namespace platform
