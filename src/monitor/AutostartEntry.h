#pragma once
// The monitor's XDG autostart entry (<config>/autostart/<program>.desktop): the desktop starts the
// monitor at login from it, and the user turns the monitor off there (the desktop's
// startup-applications settings write X-GNOME-Autostart-enabled=false or Hidden=true into it).
//
// ensure() is run at every launch. A missing entry is written anew: named after the scanner
// model ("Zerelta <model> scan-button monitor"), with a Comment that names the model, the
// programs' icon, and TryExec with the program's path, so that a desktop skips the entry
// silently once the program is gone (the package removed). An existing one stays the user's: it
// is edited in place, only where it does not do its work: its Exec, and its TryExec, are
// rewritten when the program they name (looked up on PATH when it is no path, links resolved;
// for Exec its first word) is not `executable`; an entry without TryExec gains one (after its
// Exec); a NoDisplay=true is taken out (so that the settings list the entry); and a file without a
// [Desktop Entry] group gets one in front of its first group. Every other line, comment and
// group stays as it was, byte for byte. A file that cannot be read is left alone.
// Writes are atomic (QSaveFile).
#include <QByteArray>
#include <QString>

class AutostartEntry {
 public:
  enum class Outcome { Unchanged, Written, Failed };

  // The icon the entry names (the programs' own).
  static constexpr const char* kIcon = "zerelta-remote-setup";

  // `model` is the scanner model the monitor is for ("QMX-7315W"), for the entry's Name and
  // Comment; empty: the entry names no model.
  static Outcome ensure(const QString& file, const QString& executable, const QString& model);
  // The entry written when there is none.
  static QByteArray fresh(const QString& executable, const QString& model);
  // Whether the Exec value `exec` (as the file holds it) runs `executable`.
  static bool runs(const QString& exec, const QString& executable);
};
