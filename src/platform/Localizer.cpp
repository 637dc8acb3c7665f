#include "platform/Localizer.h"

#include <QFile>
#include <mutex>
#include <shared_mutex>

namespace platform {
namespace {

QHash<QString, QString> readTable(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return Localizer::parse(QString::fromUtf8(file.readAll()));
}

// The common table, read once, with the model's overlay laid over it.
struct Table {
  std::shared_mutex lock;
  QHash<QString, QString> strings = readTable(QStringLiteral(":/en.lproj/Localizable.strings"));
  QString model;
};

Table& table() {
  static Table t;
  return t;
}

// Reads a quoted string starting at content[i] == '"'; on success moves i past the closing quote.
bool readQuoted(const QString& content, qsizetype& i, QString& out) {
  out.clear();
  ++i;
  while (i < content.size()) {
    const QChar c = content[i];
    if (c == u'"') {
      ++i;
      return true;
    }
    if (c == u'\\' && i + 1 < content.size()) {
      const QChar e = content[i + 1];
      switch (e.unicode()) {
        case 'n': out += u'\n'; break;
        case 't': out += u'\t'; break;
        case 'r': out += u'\r'; break;
        default: out += e; break;  // \" \\ and anything else: the character itself
      }
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  return false;
}

void skipSpaceAndComments(const QString& content, qsizetype& i) {
  while (i < content.size()) {
    if (content[i].isSpace()) {
      ++i;
    } else if (content.mid(i, 2) == u"/*") {
      const qsizetype end = content.indexOf(u"*/", i + 2);
      i = end < 0 ? content.size() : end + 2;
    } else if (content.mid(i, 2) == u"//") {
      const qsizetype end = content.indexOf(u'\n', i + 2);
      i = end < 0 ? content.size() : end + 1;
    } else {
      return;
    }
  }
}

}  // namespace

QHash<QString, QString> Localizer::parse(const QString& content) {
  QHash<QString, QString> result;
  qsizetype i = 0;
  while (true) {
    skipSpaceAndComments(content, i);
    if (i >= content.size()) break;
    QString key, value;
    if (content[i] != u'"' || !readQuoted(content, i, key)) {
      // Not a pair: skip to the end of the line and go on.
      const qsizetype end = content.indexOf(u'\n', i);
      if (end < 0) break;
      i = end + 1;
      continue;
    }
    skipSpaceAndComments(content, i);
    if (i < content.size() && content[i] == u'=') {
      ++i;
      skipSpaceAndComments(content, i);
      if (i < content.size() && content[i] == u'"' && readQuoted(content, i, value)) {
        skipSpaceAndComments(content, i);
        if (i < content.size() && content[i] == u';') ++i;
        result.insert(key, value);
        continue;
      }
    }
    const qsizetype end = content.indexOf(u'\n', i);
    if (end < 0) break;
    i = end + 1;
  }
  return result;
}

QString Localizer::text(const QString& key) {
  Table& t = table();
  std::shared_lock read(t.lock);
  const auto it = t.strings.constFind(key);
  return it == t.strings.constEnd() ? key : *it;
}

bool Localizer::has(const QString& key) {
  Table& t = table();
  std::shared_lock read(t.lock);
  return t.strings.contains(key);
}

bool Localizer::useModelTexts(const QString& model) {
  const QHash<QString, QString> overlay = modelTexts(model);
  if (!model.isEmpty() && overlay.isEmpty()) return false;
  Table& t = table();
  std::unique_lock write(t.lock);
  if (t.model == model) return true;
  // Back to the common texts first, so that a second model's overlay never mixes with the first.
  if (!t.model.isEmpty()) t.strings = readTable(QStringLiteral(":/en.lproj/Localizable.strings"));
  t.strings.insert(overlay);
  t.model = model;
  return true;
}

QHash<QString, QString> Localizer::modelTexts(const QString& model) {
  if (model.isEmpty()) return {};
  return readTable(QStringLiteral(":/en.lproj/%1.strings").arg(model));
}

QString formatText(const QString& format, const QVariantList& args) {
  QString out;
  out.reserve(format.size() + 16);
  qsizetype argIndex = 0;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c != u'%') {
      out += c;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    // %[flags][width][.precision][length]conversion
    qsizetype j = i + 1;
    QString flags, width, precision, length;
    while (j < format.size() && QStringLiteral("-+ #0").contains(format[j])) flags += format[j++];
    while (j < format.size() && format[j].isDigit()) width += format[j++];
    if (j < format.size() && format[j] == u'.') {
      precision += format[j++];
      while (j < format.size() && format[j].isDigit()) precision += format[j++];
    }
    while (j < format.size() && QStringLiteral("hlqzjt").contains(format[j])) length += format[j++];
    if (j >= format.size()) {
      out += format.mid(i);
      break;
    }
    const QChar conv = format[j];
    const bool known = QStringLiteral("@sdiuxXfgeEcp").contains(conv);
    if (!known || argIndex >= args.size()) {
      out += format.mid(i, j - i + 1);
      i = j;
      continue;
    }
    const QVariant& arg = args[argIndex++];
    const QByteArray spec = (u'%' + flags + width + precision).toLatin1();
    switch (conv.unicode()) {
      case '@':
      case 's': {
        QString s = arg.toString();
        if (!width.isEmpty()) {
          const int w = width.toInt();
          s = flags.contains(u'-') ? s.leftJustified(w) : s.rightJustified(w);
        }
        out += s;
        break;
      }
      case 'c':
        out += QChar(static_cast<char16_t>(arg.toUInt()));
        break;
      case 'd':
      case 'i':
        out += QString::asprintf((spec + "lld").constData(), arg.toLongLong());
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'p': {
        unsigned long long v = arg.toULongLong();
        // Negative values given to an unsigned conversion print as their 32- or 64-bit pattern,
        // as printf would show them.
        if (arg.canConvert<long long>() && arg.toLongLong() < 0 && !length.contains(u'l') && !length.contains(u'z'))
          v = static_cast<unsigned int>(arg.toLongLong());
        const char* tail = conv == u'u' ? "llu" : conv == u'X' ? "llX" : "llx";
        out += QString::asprintf((spec + tail).constData(), v);
        break;
      }
      default:  // f g e E
        out += QString::asprintf((spec + QByteArray(1, static_cast<char>(conv.unicode()))).constData(),
                                 arg.toDouble());
        break;
    }
    i = j;
  }
  return out;
}

}  // namespace platform
