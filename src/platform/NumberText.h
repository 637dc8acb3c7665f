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

#include <QString>

namespace platform {

int intValue(const QString& text);
float floatValue(const QString& text);
double doubleValue(const QString& text);
bool isDecimalNumber(const QString& text);

}  // namespace platform
