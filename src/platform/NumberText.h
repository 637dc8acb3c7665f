#pragma once
// The number readings of typed text, locale-independent.
//
// intValue / floatValue / doubleValue read the leading number of a text the way the settings
// pages expect: leading blanks skipped, an optional sign, then digits (and, for the real forms,
// a decimal point and an exponent); whatever follows is ignored. No number: 0. intValue saturates
// at the 32-bit limits; the real forms answer +-infinity on overflow. They never throw.
//
// isDecimalNumber answers whether the whole text reads as one decimal number: optional leading
// and trailing blanks, an optional sign, digits with at most one decimal point (at least one
// digit), and an optional exponent "e"/"E" with optional sign and digits. "inf", "nan" and
// hexadecimal forms are not numbers here.
//
// The typing filters and checks of the settings pages' number fields:
//   numericStringFromString  drops the last character while the text is not empty and not a
//                            decimal number (isDecimalNumber, or the page's own `isNumber`, which
//                            is asked once per step): "12a" gives "12", "a" gives "".
//   digitsOnly               the text without every character that is not an ASCII digit, wherever
//                            it stands: "2a5" gives "25", "25.9" gives "259".
//   isDigitsInRange          the text is one or more ASCII digits (no sign, blank or point) whose
//                            value lies in [min, max]; "300", "-1", "" and "1.5" are not in 0-255.

#include <QString>
#include <functional>

namespace platform {

int intValue(const QString& text);
float floatValue(const QString& text);
double doubleValue(const QString& text);
bool isDecimalNumber(const QString& text);

QString numericStringFromString(const QString& text);
QString numericStringFromString(const QString& text, const std::function<bool(const QString&)>& isNumber);
QString digitsOnly(const QString& text);
bool isDigitsInRange(const QString& text, int min, int max);

}  // namespace platform
