#pragma once
// Which programs of this user run, read from /proc (processes of other users, and this process
// itself, are never counted).
//
// - startTime(pid): the start time of process `pid` (field 22 of /proc/<pid>/stat, in clock
//   ticks since boot); 0 when there is no such process or it has ended (a zombie has ended).
//   A process id together with its start time names one process: an id the system hands out
//   again later comes with another start time.
// - isRunning(pid, startTime): that very process still runs. The monitor keeps the id and start
//   time of the scan application it started and waits on exactly that process, whatever the
//   process leaves behind when it ends.
// - runsProgram(path): a process whose executable is `path`; or, when `path` is a script (its
//   file starts with "#!"), a process whose executable is the interpreter that line names
//   ("/usr/bin/env NAME": NAME as found on PATH; links resolved on both sides) and whose first
//   argument that is not an option is the script. A program that merely has the file among its
//   arguments (an editor, `tail -f`) does not count.
//
// A process that ends while it is being read is simply not counted.
#include <QString>

class RunningProcesses {
 public:
  static unsigned long long startTime(qint64 pid);
  static bool isRunning(qint64 pid, unsigned long long startTime);
  static bool runsProgram(const QString& path);
  // The interpreter a script's "#!" line names, links resolved; empty for a file without one
  // (or one whose interpreter cannot be found).
  static QString scriptInterpreter(const QString& path);
};
