#pragma once
// A scan application the monitor starts: a desktop entry (a ".desktop" file whose Exec line
// names the command) or an executable file.
//
// - The Exec line is split by the desktop-entry rules (splitDesktopExec: quoting, escapes, field
//   codes: %i from the entry's Icon, %c from its Name translated for the message locale, %k the
//   file's absolute path, the file and URL codes dropped). The program is its first word: an
//   absolute path, or a bare name found on PATH; a relative path ("./app", "bin/app") is never
//   resolved (it would depend on the monitor's working folder) and counts as a program not
//   found. Its absolute path is the application's identifier (what counts as "running",
//   RunningProcesses).
// - launch() starts the command detached (never a child of the monitor: it outlives the
//   monitor), with `extraEnvironment` added to the monitor's environment. True when the program
//   was started; `*pid` (optional) then receives the process id of the program itself.
//
// isValid() is false when the path is relative or the file is missing, is a desktop entry without an Exec line or with
// one the rules reject, or names a program that cannot be found or run.
#include <QString>
#include <QStringList>

class DesktopApplication {
 public:
  explicit DesktopApplication(const QString& path);

  bool isValid() const { return !m_program.isEmpty(); }
  const QString& path() const { return m_path; }
  // The absolute path of the program the application runs; empty when it is not valid.
  const QString& program() const { return m_program; }
  const QStringList& arguments() const { return m_arguments; }

  bool launch(const QStringList& extraEnvironment = {}, qint64* pid = nullptr) const;

 private:
  QString m_path;
  QString m_program;
  QStringList m_arguments;
};
