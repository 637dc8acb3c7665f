#include "monitor/DesktopApplication.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTextStream>

#include "monitor/DesktopExec.h"

namespace {

// The Exec value of the [Desktop Entry] group, or empty.
QString execLine(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return QString();
  QTextStream in(&file);
  bool inEntry = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inEntry) continue;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || line.left(eq).trimmed() != QLatin1String("Exec")) continue;
    return line.mid(eq + 1).trimmed();
  }
  return QString();
}

QString runnable(const QString& name) {
  if (name.isEmpty()) return QString();
  if (name.contains(QLatin1Char('/'))) {
    const QFileInfo info(name);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(name);
}

}  // namespace

DesktopApplication::DesktopApplication(const QString& path) : m_path(path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile()) return;
  if (path.endsWith(QLatin1String(".desktop"))) {
    bool ok = false;
    QStringList words = monitor::splitDesktopExec(execLine(path), &ok);
    if (!ok) return;
    m_program = runnable(words.takeFirst());
    if (!m_program.isEmpty()) m_arguments = words;
  } else {
    m_program = runnable(info.absoluteFilePath());
  }
}

bool DesktopApplication::launch(const QStringList& extraEnvironment, qint64* pid) const {
  if (pid) *pid = 0;
  if (!isValid()) return false;
  QProcess process;
  process.setProgram(m_program);
  process.setArguments(m_arguments);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& entry : extraEnvironment) {
    const int eq = entry.indexOf(QLatin1Char('='));
    if (eq > 0) env.insert(entry.left(eq), entry.mid(eq + 1));
  }
  process.setProcessEnvironment(env);
  process.setStandardInputFile(QProcess::nullDevice());
  return process.startDetached(pid);
}
