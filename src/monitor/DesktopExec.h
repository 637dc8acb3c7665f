#pragma once
// The Exec value of a desktop entry, as the freedesktop Desktop Entry format writes it, split
// into the program and its arguments, and the quoting that writes one argument so that the split
// gives it back unchanged.
//
// splitDesktopExec takes the value as the file holds it (the text after "Exec=") and applies the
// two levels of the format in turn:
//   1. the escapes of a string value: "\s" space, "\n" newline, "\t" tab, "\r" return, "\\" a
//      backslash (any other backslash is left for level 2);
//   2. the command line: arguments are separated by spaces; an argument is either quoted as a
//      whole with double quotes, inside which a backslash escapes only '"', '`', '$' and '\', or
//      unquoted, in which case it holds none of the reserved characters (tab, newline, '"', '\'',
//      '\\', '>', '<', '~', '|', '&', ';', '$', '*', '?', '#', '(', ')', '`'). Field codes
//      (%f %F %u %U %i %c %k and the deprecated %d %D %n %N %v %m) are dropped: a word that is
//      one field code disappears, one inside a word is removed from it; "%%" is a percent sign.
// *ok is false (and the answer empty) when the value breaks these rules (an unbalanced quote, a
// quote that does not span the whole argument, an escape the format does not have, a reserved
// character outside quotes, an unknown field code, a field code inside quotes) or names no
// program at all.
#include <QString>
#include <QStringList>

QStringList splitDesktopExec(const QString& exec, bool* ok);

// `argument` as one quoted argument of an Exec value, both levels escaped:
// splitDesktopExec(quoteDesktopExecArgument(a)) == {a} for every non-empty a.
QString quoteDesktopExecArgument(const QString& argument);
