#include "monitor/RunningProcesses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Calls `f` with the /proc folder of every process of this user but this one, until it answers true.
bool anyOwnProcess(const std::function<bool(const QString&)>& f) {
  const uid_t me = getuid();
  const QString self = QString::number(getpid());
  const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& name : entries) {
    bool number = false;
    name.toLong(&number);
    if (!number || name == self) continue;
    const QString folder = QStringLiteral("/proc/") + name;
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || st.st_uid != me) continue;
    if (f(folder)) return true;
  }
  return false;
}

QList<QByteArray> nulSeparated(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return {};
  // A process's command line is small; read a bounded amount.
  const QByteArray bytes = f.read(1 << 20);
  QList<QByteArray> parts = bytes.split('\0');
  if (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  return parts;
}

QString canonical(const QString& path) { return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath(); }

}  // namespace

unsigned long long RunningProcesses::startTime(qint64 pid) {
  if (pid <= 0) return 0;
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray stat = f.read(4096);
  // The second field, the command name in parentheses, may itself hold spaces and parentheses:
  // the fields after it start behind the last ')'.
  const qsizetype close = stat.lastIndexOf(')');
  if (close < 0) return 0;
  const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
  // fields[0] is field 3 (the state), so field 22 is fields[19].
  if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X" || fields[0] == "x") return 0;
  bool ok = false;
  const unsigned long long start = fields[19].toULongLong(&ok);
  return ok ? start : 0;
}

bool RunningProcesses::isRunning(qint64 pid, unsigned long long start) {
  return start != 0 && startTime(pid) == start;
}

QString RunningProcesses::scriptInterpreter(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QString();
  const QByteArray line = f.readLine(4096);
  if (!line.startsWith("#!")) return QString();
  const QList<QByteArray> words = line.mid(2).simplified().split(' ');
  if (words.isEmpty() || words[0].isEmpty()) return QString();
  QString interpreter = canonical(QFile::decodeName(words[0]));
  if (interpreter.isEmpty()) return QString();
  if (QFileInfo(interpreter).fileName() == QLatin1String("env")) {
    // "#!/usr/bin/env NAME": the program NAME on PATH (options and assignments passed over).
    for (qsizetype i = 1; i < words.size(); ++i) {
      if (words[i].startsWith('-') || words[i].contains('=')) continue;
      return canonical(QStandardPaths::findExecutable(QFile::decodeName(words[i])));
    }
    return QString();
  }
  return interpreter;
}

bool RunningProcesses::runsProgram(const QString& path) {
  const QString wanted = canonical(path);
  if (wanted.isEmpty()) return false;
  const QString interpreter = scriptInterpreter(wanted);
  return anyOwnProcess([&](const QString& folder) {
    const QString exe = QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget();
    if (exe == wanted) return true;
    if (interpreter.isEmpty() || canonical(exe) != interpreter) return false;
    const QList<QByteArray> args = nulSeparated(folder + QStringLiteral("/cmdline"));
    for (qsizetype i = 1; i < args.size(); ++i) {
      if (args[i].startsWith('-')) continue;
      // The first word that is not an option is the script the interpreter runs; a relative
      // name is taken from the process's own working folder.
      QString script = QFile::decodeName(args[i]);
      if (QDir::isRelativePath(script))
        script = QFileInfo(folder + QStringLiteral("/cwd")).symLinkTarget() + QLatin1Char('/') + script;
      return canonical(script) == wanted;
    }
    return false;
  });
}
