#include "monitor/RunningProcesses.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
  // A process's environment and command line are small; read a bounded amount.
  const QByteArray bytes = f.read(1 << 20);
  QList<QByteArray> parts = bytes.split('\0');
  if (!parts.isEmpty() && parts.last().isEmpty()) parts.removeLast();
  return parts;
}

}  // namespace

bool RunningProcesses::hasEnvironmentEntry(const QString& entry) {
  const QByteArray wanted = entry.toUtf8();
  return anyOwnProcess([&](const QString& folder) {
    return nulSeparated(folder + QStringLiteral("/environ")).contains(wanted);
  });
}

bool RunningProcesses::runsProgram(const QString& path) {
  if (path.isEmpty()) return false;
  const QString wanted = QFileInfo(path).canonicalFilePath();
  if (wanted.isEmpty()) return false;
  return anyOwnProcess([&](const QString& folder) {
    if (QFileInfo(folder + QStringLiteral("/exe")).symLinkTarget() == wanted) return true;
    const QList<QByteArray> args = nulSeparated(folder + QStringLiteral("/cmdline"));
    for (qsizetype i = 1; i < args.size(); ++i) {
      const QString arg = QString::fromLocal8Bit(args[i]);
      if (arg.startsWith(QLatin1Char('-'))) continue;
      // The first word that is not an option is the script an interpreter runs.
      return QFileInfo(arg).canonicalFilePath() == wanted;
    }
    return false;
  });
}
