#include "monitor/DesktopApplication.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTextStream>
#include <map>

#include "monitor/DesktopExec.h"

namespace {

// The keys of the [Desktop Entry] group that the launch needs, as the file holds them (the
// first of a key counts).
struct EntryKeys {
  QString exec;
  QString icon;
  QString name;
  std::map<QString, QString> localizedNames;  // Name[<locale>]: locale -> value
};

EntryKeys readEntry(const QString& path) {
  EntryKeys keys;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
  QTextStream in(&file);
  bool inEntry = false;
  bool haveExec = false, haveIcon = false, haveName = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith(QLatin1Char('['))) {
      inEntry = line == QLatin1String("[Desktop Entry]");
      continue;
    }
    if (!inEntry || line.startsWith(QLatin1Char('#'))) continue;
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) continue;
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    if (key == QLatin1String("Exec")) {
      if (!haveExec) keys.exec = value;
      haveExec = true;
    } else if (key == QLatin1String("Icon")) {
      if (!haveIcon) keys.icon = monitor::unescapeDesktopString(value);
      haveIcon = true;
    } else if (key == QLatin1String("Name")) {
      if (!haveName) keys.name = monitor::unescapeDesktopString(value);
      haveName = true;
    } else if (key.startsWith(QLatin1String("Name[")) && key.endsWith(QLatin1Char(']'))) {
      keys.localizedNames.emplace(key.mid(5, key.size() - 6), monitor::unescapeDesktopString(value));
    }
  }
  return keys;
}

// The locale keys a localestring is looked up under, best first, for the message locale
// (LC_ALL, else LC_MESSAGES, else LANG) of the form lang_COUNTRY.ENCODING@MODIFIER: as the
// Desktop Entry rules order them, lang_COUNTRY@MODIFIER, lang_COUNTRY, lang@MODIFIER,
// lang; the encoding plays no part. None for the C and POSIX locales.
QStringList localeKeys() {
  QString locale;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = qEnvironmentVariable(variable);
    if (!locale.isEmpty()) break;
  }
  QString modifier;
  const qsizetype at = locale.indexOf(QLatin1Char('@'));
  if (at >= 0) {
    modifier = locale.mid(at + 1);
    locale.truncate(at);
  }
  const qsizetype dot = locale.indexOf(QLatin1Char('.'));
  if (dot >= 0) locale.truncate(dot);
  if (locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX")) return {};
  QString lang = locale, country;
  const qsizetype underscore = locale.indexOf(QLatin1Char('_'));
  if (underscore >= 0) {
    lang = locale.left(underscore);
    country = locale.mid(underscore + 1);
  }
  QStringList keys;
  if (!country.isEmpty() && !modifier.isEmpty()) keys << lang + QLatin1Char('_') + country + QLatin1Char('@') + modifier;
  if (!country.isEmpty()) keys << lang + QLatin1Char('_') + country;
  if (!modifier.isEmpty()) keys << lang + QLatin1Char('@') + modifier;
  keys << lang;
  return keys;
}

QString translatedName(const EntryKeys& keys) {
  for (const QString& locale : localeKeys()) {
    const auto it = keys.localizedNames.find(locale);
    if (it != keys.localizedNames.end()) return it->second;
  }
  return keys.name;
}

// The program a command names: an absolute path as it is, a bare name on PATH. A relative path
// ("./app", "bin/app") is no program here: it would depend on the monitor's working folder.
QString runnable(const QString& name) {
  if (name.isEmpty()) return QString();
  if (name.contains(QLatin1Char('/'))) {
    if (QDir::isRelativePath(name)) return QString();
    const QFileInfo info(name);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(name);
}

}  // namespace

DesktopApplication::DesktopApplication(const QString& path) : m_path(path) {
  const QFileInfo info(path);
  // A relative path (a "ThirdAppPath" of "app.desktop" or "bin/app") would name whatever the
  // monitor's working folder holds: it names no application.
  if (path.isEmpty() || QDir::isRelativePath(path) || !info.isFile()) return;
  if (path.endsWith(QLatin1String(".desktop"))) {
    const EntryKeys keys = readEntry(path);
    bool ok = false;
    QStringList words =
        monitor::splitDesktopExec(keys.exec, &ok, {keys.icon, translatedName(keys), info.absoluteFilePath()});
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
