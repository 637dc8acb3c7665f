#pragma once
// What a page's checked controls showed when the page was filled from its records, so that its
// error check can tell a value the user changed in this visit from a value the scanner holds.
//
// The rule every page follows: isDataError refuses only what the user changed since the page was
// last filled (setParam). A stored value outside the page's checks (written by the scanner's
// panel, another program or an older firmware) is written back as stored and is never a reason
// to keep the user on the page, however often the page is left or saved and whatever else the
// user edits. The page calls remember() for its checked controls right after filling them;
// changed() then compares a control's current value with the remembered one, so a control the
// user changed and changed back counts as untouched.
//
//   control                 value compared
//   ----------------------  ---------------------
//   QLineEdit               text()
//   platform::PopUpButton   indexOfSelectedItem()
//   QAbstractButton         isChecked()
//
// A control that was never remembered, or of another kind, counts as changed: a forgotten
// remember() makes the check refuse too much, never lets a typed value through unchecked.
// The controls must outlive the object (a page keeps both for its life).

#include <QHash>
#include <QVariant>
#include <initializer_list>

class QWidget;

class FilledValues {
 public:
  // Records what each control shows now; a control remembered before takes its new value.
  void remember(std::initializer_list<const QWidget*> controls);
  // True when `control` shows something else than it did at its last remember().
  bool changed(const QWidget* control) const;
  // True when any of `controls` changed.
  bool anyChanged(std::initializer_list<const QWidget*> controls) const;

 private:
  // The compared value of `control`; invalid for a kind the table does not name.
  static QVariant valueOf(const QWidget* control);

  QHash<const QWidget*, QVariant> m_filled;
};
