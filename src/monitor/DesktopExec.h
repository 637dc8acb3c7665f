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
//   3. Field codes, expanded by the Desktop Entry rules, from `fields`:
//        %i  two arguments, "--icon" and the entry's Icon, when it has one (else nothing);
//        %c  the entry's translated Name, as one argument (nothing when it has none);
//        %k  the location of the desktop file, as one argument (nothing when it has none);
//        %%  a "%";
//        %f %F %u %U  nothing: the monitor starts applications without files or URLs;
//        %d %D %n %N %v %m  nothing (deprecated).
//      An argument that was nothing but field codes expanding to nothing disappears. A code
//      inside a word expands in place ("--file=%f" gives "--file="; "x%iy" gives "x--icon" and
//      Icon followed by "y", as desktop launchers split it). What a code expands to is taken
//      as it is, never split or unquoted again. Any other "%" sequence, and any field code
//      inside quotes, is an error.
// An error, and a value that leaves no program, answer an empty list with `*ok` false (`ok` may
// be null). Otherwise `*ok` is true and the first element is the program.
//
// quoteDesktopExecArgument() is the writer's side: the argument in double quotes, with the
// characters the quotes need escaped, "%" doubled and the string escapes applied, ready to be
// written after "Exec=" (arguments joined by one space).
#include <QString>
#include <QStringList>

namespace monitor {

// What %i, %c and %k stand for; an empty member expands to nothing.
struct DesktopEntryFields {
  QString icon;      // the Icon key
  QString name;      // the translated Name
  QString location;  // the desktop file's path
};

QStringList splitDesktopExec(const QString& exec, bool* ok, const DesktopEntryFields& fields = {});
// The escapes of a string value ("\s", "\n", "\t", "\r", "\\"; any other backslash is kept).
QString unescapeDesktopString(const QString& value);
// The writer's side: a backslash, newline, tab and carriage return escaped, so that
// unescapeDesktopString() gives `value` back.
QString escapeDesktopString(const QString& value);
QString quoteDesktopExecArgument(const QString& arg);

}  // namespace monitor
