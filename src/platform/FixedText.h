#pragma once
// Text into and out of the fixed-size character fields of the scanner's records.
//
// Into a field: UTF-8, cut at a code-point boundary so that at most n-1 bytes are used, the rest
// of the field zero-filled (so the last byte is always NUL).
// Out of a field: the bytes up to the first NUL within the field (all n when there is none),
// decoded as UTF-8 with invalid sequences replaced by U+FFFD; a leading U+FEFF is kept as a
// character. Never reads past n bytes.

#include <QString>
#include <cstddef>

namespace platform {

void textToField(char* field, std::size_t n, const QString& text);
QString textFromField(const char* field, std::size_t n);

template <std::size_t N>
void textToField(char (&field)[N], const QString& text) {
  textToField(field, N, text);
}
template <std::size_t N>
QString textFromField(const char (&field)[N]) {
  return textFromField(field, N);
}
// The same for fields declared as unsigned bytes.
template <std::size_t N>
void textToField(unsigned char (&field)[N], const QString& text) {
  textToField(reinterpret_cast<char*>(field), N, text);
}
template <std::size_t N>
QString textFromField(const unsigned char (&field)[N]) {
  return textFromField(reinterpret_cast<const char*>(field), N);
}

}  // namespace platform
