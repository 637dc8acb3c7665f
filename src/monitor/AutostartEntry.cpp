#include "monitor/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStandardPaths>

#include "monitor/DesktopExec.h"

using monitor::escapeDesktopString;
using monitor::quoteDesktopExecArgument;
using monitor::splitDesktopExec;
using monitor::unescapeDesktopString;

namespace {

const QByteArray kGroup = QByteArrayLiteral("[Desktop Entry]");

QString resolved(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QByteArray execLine(const QString& executable) {
  return "Exec=" + quoteDesktopExecArgument(QFileInfo(executable).absoluteFilePath()).toUtf8();
}

QByteArray tryExecLine(const QString& executable) {
  return "TryExec=" + escapeDesktopString(QFileInfo(executable).absoluteFilePath()).toUtf8();
}

// Whether `program` (a path, or a name looked up on PATH) is `executable`.
bool isProgram(const QString& program, const QString& executable) {
  if (program.isEmpty()) return false;
  const QString found = program.contains(QLatin1Char('/')) ? program : QStandardPaths::findExecutable(program);
  return !found.isEmpty() && resolved(found) == resolved(executable);
}

bool isGroupHeader(const QByteArray& line) { return line.trimmed().startsWith('['); }

// The key of a "key=value" line (empty for comments, blank lines and lines without '=').
QByteArray keyOf(const QByteArray& line) {
  const QByteArray t = line.trimmed();
  if (t.isEmpty() || t.startsWith('#')) return {};
  const qsizetype eq = t.indexOf('=');
  return eq < 0 ? QByteArray() : t.left(eq).trimmed();
}

QByteArray valueOf(const QByteArray& line) {
  const qsizetype eq = line.indexOf('=');
  return eq < 0 ? QByteArray() : line.mid(eq + 1).trimmed();
}

bool write(const QString& file, const QByteArray& text) {
  QSaveFile out(file);
  return out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit();
}

}  // namespace

QByteArray AutostartEntry::fresh(const QString& executable, const QString& model) {
  const QString scanner = model.isEmpty() ? QStringLiteral("Zerelta scanner") : QStringLiteral("Zerelta ") + model;
  QByteArray text;
  text += kGroup + "\n";
  text += "Type=Application\n";
  text += "Name=" + escapeDesktopString(scanner + QStringLiteral(" scan-button monitor")).toUtf8() + "\n";
  text += "Comment=" +
          escapeDesktopString(QStringLiteral("Starts the scan application when the scan button of the %1 is pressed")
                                  .arg(scanner))
              .toUtf8() +
          "\n";
  text += QByteArray("Icon=") + kIcon + "\n";
  text += tryExecLine(executable) + "\n";
  text += execLine(executable) + "\n";
  text += "Terminal=false\n";
  text += "X-GNOME-Autostart-enabled=true\n";
  return text;
}

bool AutostartEntry::runs(const QString& exec, const QString& executable) {
  bool ok = false;
  const QStringList words = splitDesktopExec(exec, &ok);
  if (!ok) return false;
  return isProgram(words.first(), executable);
}

AutostartEntry::Outcome AutostartEntry::ensure(const QString& file, const QString& executable, const QString& model) {
  QFile in(file);
  if (!in.exists()) return write(file, fresh(executable, model)) ? Outcome::Written : Outcome::Failed;
  if (!in.open(QIODevice::ReadOnly)) return Outcome::Failed;
  const QByteArray text = in.readAll();
  in.close();

  QList<QByteArray> lines = text.split('\n');
  const bool endsWithNewline = text.endsWith('\n');
  if (endsWithNewline) lines.removeLast();

  qsizetype group = -1;
  for (qsizetype i = 0; i < lines.size() && group < 0; ++i)
    if (lines[i].trimmed() == kGroup) group = i;
  bool changed = false;
  if (group < 0) {
    qsizetype at = 0;
    while (at < lines.size() && !isGroupHeader(lines[at])) ++at;
    QList<QByteArray> entry = fresh(executable, model).split('\n');
    entry.removeLast();
    for (qsizetype i = 0; i < entry.size(); ++i) lines.insert(at + i, entry[i]);
    changed = true;
  } else {
    qsizetype end = group + 1;
    while (end < lines.size() && !isGroupHeader(lines[end])) ++end;
    qsizetype exec = -1;
    qsizetype tryExec = -1;
    for (qsizetype i = end - 1; i > group; --i) {
      const QByteArray key = keyOf(lines[i]);
      if (key == "Exec") exec = i;  // the first one counts
      if (key == "TryExec") tryExec = i;
      if (key == "NoDisplay" && valueOf(lines[i]) == "true") {
        lines.removeAt(i);
        if (exec > i) --exec;
        if (tryExec > i) --tryExec;
        changed = true;
      }
    }
    if (exec < 0) {
      exec = group + 1;
      lines.insert(exec, execLine(executable));
      if (tryExec >= exec) ++tryExec;
      changed = true;
    } else if (!runs(QString::fromUtf8(valueOf(lines[exec])), executable)) {
      lines[exec] = execLine(executable);
      changed = true;
    }
    if (tryExec < 0) {
      lines.insert(exec + 1, tryExecLine(executable));
      changed = true;
    } else if (!isProgram(unescapeDesktopString(QString::fromUtf8(valueOf(lines[tryExec]))), executable)) {
      lines[tryExec] = tryExecLine(executable);
      changed = true;
    }
  }
  if (!changed) return Outcome::Unchanged;
  QByteArray out = lines.join('\n');
  if (endsWithNewline || lines.isEmpty()) out += '\n';
  return write(file, out) ? Outcome::Written : Outcome::Failed;
}
