#pragma once
// Which programs of this user run, read from /proc (processes of other users, and this process
// itself, are never counted).
//
// - hasEnvironmentEntry("NAME=value"): a process whose environment holds that entry exactly.
//   The monitor starts its scan application with its creator signature in the environment and
//   finds it again this way, also after the monitor itself was restarted.
// - runsProgram(path): a process whose executable is `path`, or, for a script run by an
//   interpreter, whose command line names `path` after the interpreter.
//
// A process that ends while it is being read is simply not counted.
#include <QString>

class RunningProcesses {
 public:
  static bool hasEnvironmentEntry(const QString& entry);
  static bool runsProgram(const QString& path);
};
