#pragma once
// The text fields of a page or editor that edit a fixed-size character field of a record
// (char[N]: UTF-8, at most N-1 bytes, then NUL).
//
// Two rules hold for every such field:
//   - A text the user did not touch goes back byte for byte as it was read, whatever those
//     bytes are (no NUL within the field, bytes that are not UTF-8, ...): store() puts the
//     bytes show() took back as long as the field shows the text show() put there, so a text
//     changed and changed back counts as untouched too.
//   - A typed or pasted text is never cut to fit. The typing limit counts UTF-8 bytes: an edit
//     that makes the text longer than the field holds (and longer than it was, so shortening
//     an over-long stored text is always possible) is refused, the field goes back to its last
//     accepted text and an alert names the field and the number of bytes it holds. The page's
//     error check (refuseTooLong) refuses a changed text that does not fit, however it got
//     there (a button that fills the field, a text set without typing), with the same alert;
//     store() never writes a text that does not fit.
//
// Use: add() each control once with its field's size and the key of its label; show() when
// filling the controls from the record; acceptTyping() from the control's textEdited handler,
// after the page's own typing filter; refuseTooLong() in the error check; store() when
// reading the controls into the record. The controls must outlive this object.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <cstddef>

class QLineEdit;

class FixedTextFields {
 public:
  // Declares `control` as editing a char[fieldSize] field; `nameKey` is the string-table key
  // of its label, which the alert names. Adding a control again changes its size and key and
  // keeps the rest (for a control that edits another field depending on the record's kind; add
  // it again before show() fills it from that field).
  void add(QLineEdit* control, std::size_t fieldSize, const char* nameKey);

  // Fills `control` from `field` (the bytes up to the first NUL within N, decoded as UTF-8) and
  // remembers the field's bytes and the text shown.
  template <std::size_t N>
  void show(QLineEdit* control, const char (&field)[N]) {
    showBytes(control, field, N);
  }
  // Reads `control` into `field`: the remembered bytes when it still shows the text show()
  // put there and `field` is the field show() read; else the text when it fits; else nothing
  // (the field keeps what it holds). The rules above hold only for a control that was add()ed:
  // one that was not is written as platform::textToField writes any text, cut to fit.
  template <std::size_t N>
  void store(const QLineEdit* control, char (&field)[N]) const {
    storeBytes(control, field, N);
  }

  // Sets `control`'s text as the user's own (a button that fills the field): no typing limit,
  // the error check judges it. Remembered as the last accepted text.
  void setText(QLineEdit* control, const QString& text);

  // The typing limit, for a textEdited handler: true when the edit is taken; false when it was
  // refused (the field is back at its last accepted text and the alert was shown).
  bool acceptTyping(QLineEdit* control);

  // The error check: true after an alert when a control whose text the user changed since
  // show() holds more bytes than its field; the focus is then in that control.
  bool refuseTooLong();
  // The same over those of `controls` that were added, in add() order (for a page that stores
  // only some of its controls, depending on what is chosen).
  bool refuseTooLong(const QList<const QLineEdit*>& controls);

 private:
  struct Entry {
    int capacity = 0;          // bytes of text the field holds
    const char* nameKey = "";  // the label's key
    const void* source = nullptr;  // the field show() read
    QByteArray bytes;          // its bytes as read (all N)
    QString shown;             // the text show() put into the control
    QString accepted;          // the last text the typing limit took
    bool filled = false;       // show() ran
  };

  void showBytes(QLineEdit* control, const char* field, std::size_t n);
  void storeBytes(const QLineEdit* control, char* field, std::size_t n) const;
  void alertTooLong(const Entry& e) const;

  QHash<const QLineEdit*, Entry> m_entries;
  QList<QLineEdit*> m_order;  // add() order, which the error check follows
};
