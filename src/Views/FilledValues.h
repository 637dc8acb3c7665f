#pragma once
// What a page's controls showed when the page was filled from its records, and which record
// field each control edits, so that the page can tell a value the user changed in this visit from
// a value the scanner holds.
//
// The rules every page and editor follows:
//   - A control the user did not change puts back the bytes of its field exactly as they were
//     read, whatever they are: a value outside the page's range, one no item or radio stands for
//     (the control then shows an empty pop-up or the nearer radio), or a combination the page's
//     option rules would not produce. Only what the user changed, and what an option rule changed
//     because of that change, is written. So a page nobody touched is never "changed".
//   - isDataError (and an editor's OK) refuses only what the user changed since the page was last
//     filled, and what a change of the user's brings into use. A stored value outside the page's
//     checks (written by the scanner's panel, another program or another firmware) is written
//     back as stored and is never a reason to keep the user on the page, however often the page
//     is left or saved and whatever else the user edits.
//
// Use: when filling the controls from the record, the page states once for each field which
// controls edit it: bind(field, {controls}) right after the controls show the field (it takes the
// field's bytes and the controls' values as they are then; a field the filling itself altered
// passes the bytes as read). Reading the controls back writes every field from its controls as
// before, then keepUntouched() puts back the bytes of each field none of whose controls changed.
// Controls only checked, not bound, are remembered with remember(). changed() compares a
// control's current value with the remembered one, so a control the user changed and changed
// back counts as untouched.
//
//   control                 value compared
//   ----------------------  ---------------------
//   QLineEdit               text()
//   platform::PopUpButton   indexOfSelectedItem()
//   QAbstractButton         isChecked()
//
// A control that was never remembered, or of another kind, counts as changed: a forgotten
// remember() makes the check refuse too much, never lets a typed value through unchecked, and a
// field bound to such a control is written from it. Binding a field again replaces its binding
// (a control that shows another field after a change of the record's kind). The controls and the
// fields must outlive the object (a page keeps all three for its life); clear() forgets all.
//
// Text fields of char[N] arrays keep their read bytes through FixedTextFields.h instead.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QVariant>
#include <cstddef>
#include <initializer_list>
#include <type_traits>

class QWidget;

class FilledValues {
 public:
  // Records what each control shows now; a control remembered before takes its new value.
  void remember(std::initializer_list<const QWidget*> controls);
  // True when `control` shows something else than it did at its last remember().
  bool changed(const QWidget* control) const;
  // True when any of `controls` changed.
  bool anyChanged(std::initializer_list<const QWidget*> controls) const;

  // `controls` edit `field`: remembers them, and takes `asRead` as the bytes keepUntouched() puts
  // back into `field` while none of them changed.
  template <class T>
  void bind(T& field, const T& asRead, std::initializer_list<const QWidget*> controls) {
    static_assert(std::is_trivially_copyable_v<T>);
    bindBytes(&field, &asRead, sizeof field, controls);
  }
  // The same with the bytes `field` holds now.
  template <class T>
  void bind(T& field, std::initializer_list<const QWidget*> controls) {
    bind(field, field, controls);
  }
  // Puts back the bytes of every bound field none of whose controls changed.
  void keepUntouched() const;
  // Forgets every binding and every remembered value.
  void clear();

 private:
  struct Binding {
    void* field = nullptr;
    QByteArray bytes;  // as read
    QList<const QWidget*> controls;
  };

  void bindBytes(void* field, const void* asRead, std::size_t size, std::initializer_list<const QWidget*> controls);
  // The compared value of `control`; invalid for a kind the table does not name.
  static QVariant valueOf(const QWidget* control);

  QHash<const QWidget*, QVariant> m_filled;
  QList<Binding> m_bindings;
};
