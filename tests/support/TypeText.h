#pragma once
// Typing as a keyboard does, for widget tests: one key per character at the cursor. ASCII goes
// through QTest's key clicks; other characters (a character beyond the basic plane as one key)
// arrive as key events carrying their text, the way a keyboard layout or an input method
// delivers them.
#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QTest>
#include <QWidget>

inline void typeText(QWidget* field, const QString& typed) {
  for (qsizetype i = 0; i < typed.size(); ++i) {
    const QChar c = typed.at(i);
    if (c.unicode() < 0x80) {
      QTest::keyClick(field, char(c.unicode()));
      continue;
    }
    const qsizetype units = c.isHighSurrogate() && i + 1 < typed.size() ? 2 : 1;
    const QString character = typed.mid(i, units);
    i += units - 1;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, character);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, character);
    QApplication::sendEvent(field, &release);
  }
}
