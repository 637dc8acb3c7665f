#include "monitor/DesktopExec.h"

namespace monitor {

// Step 1: the escapes of a string value.
QString unescapeDesktopString(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
      out += c;
      continue;
    }
    const QChar next = value[i + 1];
    switch (next.unicode()) {
      case 's': out += QLatin1Char(' '); ++i; break;
      case 'n': out += QLatin1Char('\n'); ++i; break;
      case 't': out += QLatin1Char('\t'); ++i; break;
      case 'r': out += QLatin1Char('\r'); ++i; break;
      case '\\': out += QLatin1Char('\\'); ++i; break;
      default: out += c; break;  // left for the quoting rules
    }
  }
  return out;
}

namespace {

bool isSeparator(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

bool isReserved(QChar c) {
  static const QString reserved = QStringLiteral("\t\n'\"\\><~|&;$*?#()`");
  return reserved.contains(c);
}

bool isFieldCode(QChar c) {
  static const QString codes = QStringLiteral("fFuUickdDnNvm");
  return codes.contains(c);
}

}  // namespace

QStringList splitDesktopExec(const QString& exec, bool* ok, const DesktopEntryFields& fields) {
  if (ok) *ok = false;
  const QString text = unescapeDesktopString(exec);
  QStringList words;
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n) {
    if (isSeparator(text[i])) {
      ++i;
      continue;
    }
    QString word;
    bool onlyCodes = true;  // the word so far is made of field codes that expanded to nothing
    if (text[i] == QLatin1Char('"')) {
      // A quoted argument: up to the closing quote, which must end the word.
      ++i;
      bool closed = false;
      while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('"')) {
          closed = true;
          ++i;
          break;
        }
        if (c == QLatin1Char('\\')) {
          if (i + 1 >= n) return {};
          const QChar next = text[i + 1];
          if (next != QLatin1Char('"') && next != QLatin1Char('`') && next != QLatin1Char('$') &&
              next != QLatin1Char('\\'))
            return {};
          word += next;
          i += 2;
          continue;
        }
        if (c == QLatin1Char('%')) {
          if (i + 1 >= n || text[i + 1] != QLatin1Char('%')) return {};
          word += QLatin1Char('%');
          i += 2;
          continue;
        }
        word += c;
        ++i;
      }
      if (!closed || (i < n && !isSeparator(text[i]))) return {};
      words.append(word);
      continue;
    }
    while (i < n && !isSeparator(text[i])) {
      const QChar c = text[i];
      if (c == QLatin1Char('%')) {
        if (i + 1 >= n) return {};
        const QChar code = text[i + 1];
        i += 2;
        if (code == QLatin1Char('%')) {
          word += QLatin1Char('%');
          onlyCodes = false;
        } else if (code == QLatin1Char('i')) {
          if (!fields.icon.isEmpty()) {
            words.append(word + QStringLiteral("--icon"));
            word = fields.icon;
            onlyCodes = false;
          }
        } else if (code == QLatin1Char('c') || code == QLatin1Char('k')) {
          const QString& value = code == QLatin1Char('c') ? fields.name : fields.location;
          if (!value.isEmpty()) {
            word += value;
            onlyCodes = false;
          }
        } else if (!isFieldCode(code)) {
          return {};
        }
        continue;
      }
      if (isReserved(c)) return {};
      word += c;
      onlyCodes = false;
      ++i;
    }
    if (!onlyCodes) words.append(word);
  }
  if (words.isEmpty() || words.first().isEmpty()) return {};
  if (ok) *ok = true;
  return words;
}

QString quoteDesktopExecArgument(const QString& arg) {
  QString quoted;
  quoted.reserve(arg.size() + 2);
  quoted += QLatin1Char('"');
  for (const QChar c : arg) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
    quoted += c;
  }
  quoted += QLatin1Char('"');
  // The string escapes, applied last so that the reader's first step undoes them.
  return escapeDesktopString(quoted);
}

QString escapeDesktopString(const QString& value) {
  QString out;
  out.reserve(value.size());
  for (const QChar c : value) {
    switch (c.unicode()) {
      case '\\': out += QLatin1String("\\\\"); break;
      case '\n': out += QLatin1String("\\n"); break;
      case '\t': out += QLatin1String("\\t"); break;
      case '\r': out += QLatin1String("\\r"); break;
      default: out += c; break;
    }
  }
  return out;
}

}  // namespace monitor
