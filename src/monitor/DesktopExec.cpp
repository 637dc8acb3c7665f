#include "monitor/DesktopExec.h"

namespace {

// Level 1: the escapes of a string value.
QString unescapeString(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c != QLatin1Char('\\') || i + 1 == value.size()) {
      out += c;
      continue;
    }
    const QChar next = value[i + 1];
    switch (next.unicode()) {
      case 's': out += QLatin1Char(' '); break;
      case 'n': out += QLatin1Char('\n'); break;
      case 't': out += QLatin1Char('\t'); break;
      case 'r': out += QLatin1Char('\r'); break;
      case '\\': out += QLatin1Char('\\'); break;
      default:
        // Not an escape of this level: the command-line level reads it.
        out += c;
        out += next;
        break;
    }
    ++i;
  }
  return out;
}

bool isReserved(QChar c) {
  static const QString reserved = QStringLiteral("\t\n\"'\\><~|&;$*?#()`");
  return reserved.contains(c);
}

bool isFieldCode(QChar c) {
  static const QString codes = QStringLiteral("fFuUickdDnNvm");
  return codes.contains(c);
}

}  // namespace

QStringList splitDesktopExec(const QString& exec, bool* ok) {
  *ok = false;
  const QString line = unescapeString(exec);
  QStringList words;
  qsizetype i = 0;
  const qsizetype n = line.size();
  while (i < n) {
    if (line[i] == QLatin1Char(' ')) {
      ++i;
      continue;
    }
    QString word;
    bool onlyFieldCodes = true;  // the word held field codes and nothing else
    bool hadFieldCode = false;
    if (line[i] == QLatin1Char('"')) {
      ++i;
      bool closed = false;
      while (i < n) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
          closed = true;
          ++i;
          break;
        }
        if (c == QLatin1Char('\\')) {
          if (i + 1 == n) return {};
          const QChar e = line[i + 1];
          if (e != QLatin1Char('"') && e != QLatin1Char('`') && e != QLatin1Char('$') && e != QLatin1Char('\\'))
            return {};
          word += e;
          i += 2;
          continue;
        }
        if (c == QLatin1Char('%')) {
          // Only the percent sign itself may be written inside quotes.
          if (i + 1 == n || line[i + 1] != QLatin1Char('%')) return {};
          word += c;
          i += 2;
          continue;
        }
        word += c;
        ++i;
      }
      if (!closed) return {};
      if (i < n && line[i] != QLatin1Char(' ')) return {};  // the quote spans the whole argument
      words.append(word);
      continue;
    }
    while (i < n && line[i] != QLatin1Char(' ')) {
      const QChar c = line[i];
      if (isReserved(c)) return {};
      if (c == QLatin1Char('%')) {
        if (i + 1 == n) return {};
        const QChar code = line[i + 1];
        i += 2;
        if (code == QLatin1Char('%')) {
          word += code;
          onlyFieldCodes = false;
        } else if (isFieldCode(code)) {
          hadFieldCode = true;
        } else {
          return {};
        }
        continue;
      }
      word += c;
      onlyFieldCodes = false;
      ++i;
    }
    if (hadFieldCode && onlyFieldCodes) continue;
    words.append(word);
  }
  if (words.isEmpty() || words.first().isEmpty()) return {};
  *ok = true;
  return words;
}

QString quoteDesktopExecArgument(const QString& argument) {
  QString quoted;
  quoted.reserve(argument.size() + 2);
  for (const QChar c : argument) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
    quoted += c;
  }
  // The string-value level on top: its escapes of the backslash and of the control characters
  // a line of the file cannot hold.
  QString value;
  value.reserve(quoted.size() + 2);
  value += QLatin1Char('"');
  for (const QChar c : quoted) {
    switch (c.unicode()) {
      case '\\': value += QLatin1String("\\\\"); break;
      case '\n': value += QLatin1String("\\n"); break;
      case '\t': value += QLatin1String("\\t"); break;
      case '\r': value += QLatin1String("\\r"); break;
      default: value += c; break;
    }
  }
  value += QLatin1Char('"');
  return value;
}
