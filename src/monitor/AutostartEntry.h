#pragma once
// The monitor's XDG autostart entry (<config>/autostart/<program>.desktop): the desktop starts the
// monitor at login from it, and the user turns the monitor off there (the desktop's
// startup-applications settings write X-GNOME-Autostart-enabled=false or Hidden=true into it).
//
// ensure() is run at every launch. A missing entry is written anew. An existing one stays the
// user's: it is edited in place, only where it does not do its work: its Exec is rewritten when
// the program it names (its first word, looked up on PATH when it is no path, links resolved) is
// not `executable`, a NoDisplay=true is taken out (so that the settings list the entry), and a
// file without a [Desktop Entry] group gets one in front of its first group. Every other line,
// comment and group stays as it was, byte for byte. A file that cannot be read is left alone.
// Writes are atomic (QSaveFile).
#include <QByteArray>
#include <QString>

class AutostartEntry {
 public:
  enum class Outcome { Unchanged, Written, Failed };

  // `name` is the program's name for the entry's Name.
  static Outcome ensure(const QString& file, const QString& executable, const QString& name);
  // The entry written when there is none.
  static QByteArray fresh(const QString& executable, const QString& name);
  // Whether the Exec value `exec` (as the file holds it) runs `executable`.
  static bool runs(const QString& exec, const QString& executable);
};
