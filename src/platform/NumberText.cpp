#include "platform/NumberText.h"

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace platform {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

qsizetype skipBlanks(const QString& t, qsizetype i) {
  while (i < t.size() && isBlank(t[i])) ++i;
  return i;
}

// Length of the longest decimal number at `start` (sign, digits, point, exponent), 0 when none.
qsizetype decimalLength(const QString& t, qsizetype start) {
  qsizetype i = start;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
  qsizetype digits = 0;
  while (i < t.size() && isDigit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == u'.') {
    ++i;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    qsizetype j = i + 1;
    if (j < t.size() && (t[j] == u'+' || t[j] == u'-')) ++j;
    qsizetype expDigits = 0;
    while (j < t.size() && isDigit(t[j])) ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i - start;
}

// strtod on the ASCII number we have already delimited; the text holds only [0-9+-.eE], so the
// C locale's decimal point is the only one that matters and we force it.
double parseDelimited(const QString& t, qsizetype start, qsizetype len) {
  QByteArray ascii = t.mid(start, len).toLatin1();
  // Any locale's decimal point: replace '.' with the current one.
  const char point = *std::localeconv()->decimal_point;
  if (point != '.') ascii.replace('.', point);
  errno = 0;
  return std::strtod(ascii.constData(), nullptr);  // overflow gives +-HUGE_VAL, underflow 0
}

}  // namespace

int intValue(const QString& text) {
  qsizetype i = skipBlanks(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  long long value = 0;
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10 + (text[i].unicode() - u'0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    ++i;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double doubleValue(const QString& text) {
  const qsizetype start = skipBlanks(text, 0);
  const qsizetype len = decimalLength(text, start);
  return len == 0 ? 0.0 : parseDelimited(text, start, len);
}

float floatValue(const QString& text) {
  const double d = doubleValue(text);
  if (std::isinf(d) || std::fabs(d) > 3.4028234663852886e38) return d < 0 ? -HUGE_VALF : HUGE_VALF;
  return static_cast<float>(d);
}

bool isDecimalNumber(const QString& text) {
  const qsizetype start = skipBlanks(text, 0);
  const qsizetype len = decimalLength(text, start);
  if (len == 0) return false;
  return skipBlanks(text, start + len) == text.size();
}

QString numericStringFromString(const QString& text) { return numericStringFromString(text, isDecimalNumber); }

QString numericStringFromString(const QString& text, const std::function<bool(const QString&)>& isNumber) {
  QString result = text;
  while (!result.isEmpty() && !isNumber(result)) result.chop(1);
  return result;
}

QString digitsOnly(const QString& text) {
  QString result;
  result.reserve(text.size());
  for (QChar c : text)
    if (isDigit(c)) result.append(c);
  return result;
}

bool isDigitsInRange(const QString& text, int min, int max) {
  if (text.isEmpty()) return false;
  long long value = 0;
  for (QChar c : text) {
    if (!isDigit(c)) return false;
    // Capped: eleven digits must not wrap into the range.
    value = std::min(value * 10 + (c.unicode() - u'0'), static_cast<long long>(INT_MAX) + 1);
  }
  return value >= min && value <= max;
}

}  // namespace platform
