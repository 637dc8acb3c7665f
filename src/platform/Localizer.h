#pragma once
// The program's string table: resources/en.lproj/Localizable.strings, compiled in as the Qt
// resource ":/en.lproj/Localizable.strings".
//
// Syntax (Apple .strings): `"KEY" = "text";` pairs, `/* */` and `//` comments, and the escapes
// \" \\ \n \t \r inside quotes. A key without a text answers the key itself.
//
// formatText() fills a table text's printf-style conversions from a list of values:
// %@ and %s take any value as text; %d %i %u %ld %lu %lld %llu %zd %zu %x %X take integers;
// %f %g %e take reals; flags, width and precision are honoured for numbers; %% is a percent sign.
// A conversion without a matching value is left as written.

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <initializer_list>

namespace platform {

class Localizer {
 public:
  // The text of `key` in the program's table, or `key` when there is none.
  static QString text(const QString& key);
  // True when the table has a text for `key`.
  static bool has(const QString& key);
  // Parses .strings content; malformed lines are skipped. Exposed for tests.
  static QHash<QString, QString> parse(const QString& content);
};

QString formatText(const QString& format, const QVariantList& args);
inline QString formatText(const QString& format, std::initializer_list<QVariant> args) {
  return formatText(format, QVariantList(args));
}

// Shorthand for Localizer::text.
inline QString tr_(const QString& key) { return Localizer::text(key); }

}  // namespace platform
