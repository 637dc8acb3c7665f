#pragma once
// The program's string table: resources/en.lproj/Localizable.strings, compiled in as the Qt
// resource ":/en.lproj/Localizable.strings".
//
// Syntax (Apple .strings): `"KEY" = "text";` pairs, `/* */` and `//` comments, and the escapes
// \" \\ \n \t \r inside quotes. A key without a text answers the key itself.
//
// The texts whose words differ by model (the program's name, what the device window searches)
// are in a small overlay per model, ":/en.lproj/<model>.strings" (resources/en.lproj/QMX-7315W.strings,
// QMX-7305.strings), laid over the common table by useModelTexts(). Each program chooses its
// model's overlay at start-up from the model it is built for, before it shows anything.
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
  // Lays the overlay of `model` ("QMX-7315W", "QMX-7305") over the common table, in place of any
  // overlay laid before; an empty `model` goes back to the common table alone. False (and the
  // table unchanged) when the model has no overlay.
  static bool useModelTexts(const QString& model);
  // The overlay of `model` alone (empty when there is none).
  static QHash<QString, QString> modelTexts(const QString& model);
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
