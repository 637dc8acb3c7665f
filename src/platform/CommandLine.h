#pragma once
// The programs' command line: --help and --version, and nothing else of their own.
//
//   --help, -h      what the program is, on standard output; exit status 0
//   --version, -v   "<program> <version>" (the project's version), on standard output; status 0
//   anything else   refused on standard error, with a pointer to --help; status 2
//
// A windowed program also takes Qt's own documented options (-platform, -style, -display, ...):
// they are left in argv for the application object, which takes them as Qt documents.
//
// The command line is judged before the application object exists, so --help and --version
// need no display, and before anything is read or written: a program that is not to run ends
// having written nothing but its answer. Use:
//
//   const platform::CommandLine commandLine(program, description, platform::CommandLine::QtGuiOptions);
//   if (const auto status = commandLine.judge(argc, argv)) return *status;
//   QApplication app(argc, argv);  // takes Qt's options out of argv
//   if (const auto status = commandLine.judgeLeftOver(QCoreApplication::arguments())) return *status;
//
// judgeLeftOver refuses what the application object did not take: an option Qt documents only
// for another windowing system (-display outside X11), or a form Qt does not read ("-platform=x").
// The arguments are what the desktop or a person typed: untrusted, echoed only with their control
// characters escaped.

#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

class CommandLine {
 public:
  enum Toolkit {
    NoQtOptions,   // a program without windows (QCoreApplication): Qt takes no option of it
    QtGuiOptions,  // a windowed program (QApplication): Qt's documented options pass to Qt
  };

  // program: the executable's name, as the usage line and --version show it.
  // description: what the program is, for --help (may span lines).
  CommandLine(QString program, QString description, Toolkit toolkit);

  // Answers nothing when the program is to run; otherwise the exit status, the answer (help,
  // version or refusal) having been printed. argv is not changed.
  std::optional<int> judge(int argc, const char* const* argv) const;

  // After the application object took its own options: the arguments it left (the first is the
  // program) must be none. Answers nothing when so; otherwise 2, the refusal printed.
  std::optional<int> judgeLeftOver(const QStringList& arguments) const;

  QString helpText() const;
  QString versionText() const;  // "<program> <version>"

 private:
  int refuse(const QString& why) const;

  QString m_program;
  QString m_description;
  Toolkit m_toolkit;
};

}  // namespace platform
