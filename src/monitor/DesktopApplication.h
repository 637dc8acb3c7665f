#pragma once
// A scan application the monitor starts: a desktop entry (a ".desktop" file whose Exec line
// names the command) or an executable file.
//
// - The program is the Exec line's first word, found on PATH when it is not a path; its
//   absolute path is the application's identifier (what counts as "running", RunningProcesses).
//   Field codes (%f, %u, ...) are dropped, "%%" becomes "%".
// - launch() starts the command detached (the monitor does not wait for it and it outlives the
//   monitor), with `extraEnvironment` added to the monitor's environment. True when the program
//   was started.
//
// isValid() is false when the file is missing, is a desktop entry without an Exec line, or names
// a program that cannot be found or run.
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

  bool launch(const QStringList& extraEnvironment = {}) const;

 private:
  QString m_path;
  QString m_program;
  QStringList m_arguments;
};
