#pragma once
// The Exec key of desktop entries: its value split into the program and its arguments, and an
// argument quoted so that the split gives it back unchanged.
//
// splitDesktopExec() takes the value as it stands in the file (the text after "Exec=") and
// applies the format's rules in their order:
//   1. The escapes of a string value: "\s" space, "\n", "\t", "\r", "\\" a backslash (any other
//      backslash is kept for the next step).
//   2. Arguments are separated by spaces (and tabs). An argument may be quoted as a whole in
//      double quotes; inside the quotes "\"", "\`", "\$" and "\\" stand for the character after
//      the backslash, and a backslash before any other character is an error. Outside quotes
//      the reserved characters (tab, newline, ' " \ > < ~ | & ; $ * ? # ( ) `) are errors. A
//      quote that is not closed, and a quote that starts or ends inside a word, are errors.
//   3. Field codes: "%%" is a "%"; %f %F %u %U %i %c %k and the deprecated %d %D %n %N %v %m
//      are dropped (the monitor starts applications without files or URLs); an argument that
//      was nothing but field codes disappears. Any other "%" sequence, and a field code inside
//      quotes, is an error.
// An error, and a value that leaves no program, answer an empty list with `*ok` false (`ok` may
// be null). Otherwise `*ok` is true and the first element is the program.
//
// quoteDesktopExecArgument() is the writer's side: the argument in double quotes, with the
// characters the quotes need escaped, "%" doubled and the string escapes applied, ready to be
// written after "Exec=" (arguments joined by one space).
#include <QString>
#include <QStringList>

namespace monitor {

QStringList splitDesktopExec(const QString& exec, bool* ok);
QString quoteDesktopExecArgument(const QString& arg);

}  // namespace monitor
