#include <gtest/gtest.h>

#include <cstring>

#include "platform/FixedText.h"

using platform::textFromField;
using platform::textToField;

TEST(FixedText, IntoFieldCutsAtCodePointAndZeroFills) {
  struct Case {
    QString text;
    std::size_t used;  // bytes written before the zero fill
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"abcdefgh", 7},                       // 8-byte field: at most 7 bytes
      {QString::fromUtf8("abcde\xC3\xA9"), 7},  // "é" fits exactly
      {QString::fromUtf8("abcdef\xC3\xA9"), 6}, // "é" would straddle the end: dropped whole
      {QString::fromUtf8("ab\xE2\x82\xAC\xE2\x82\xAC"), 5},  // second "€" does not fit
  };
  for (const Case& c : cases) {
    char field[8];
    std::memset(field, 'X', sizeof field);
    textToField(field, c.text);
    EXPECT_EQ(std::strlen(field), c.used) << c.text.toStdString();
    for (std::size_t i = c.used; i < sizeof field; ++i) EXPECT_EQ(field[i], 0);
    EXPECT_TRUE(c.text.startsWith(textFromField(field)));
  }
}

TEST(FixedText, OutOfFieldStopsAtNulOrEndAndReplacesBadBytes) {
  const char full[4] = {'a', 'b', 'c', 'd'};  // no NUL: all 4 bytes, nothing beyond
  EXPECT_EQ(textFromField(full), "abcd");
  const char early[6] = {'h', 'i', 0, 'x', 'y', 0};
  EXPECT_EQ(textFromField(early), "hi");
  const char bad[4] = {'a', char(0xFF), 'b', 0};
  EXPECT_EQ(textFromField(bad), QString("a") + QChar(0xFFFD) + "b");
  unsigned char bytes[3] = {'o', 'k', 0};
  EXPECT_EQ(textFromField(bytes), "ok");
}

TEST(FixedText, OutOfFieldKeepsALeadingByteOrderMark) {
  // U+FEFF at the start of a field is a character the user typed, not an encoding marker.
  const char field[8] = {'\xEF', '\xBB', '\xBF', 'a', 'b', 0, 0, 0};
  EXPECT_EQ(textFromField(field), QString(QChar(0xFEFF)) + "ab");
  char round[8];
  textToField(round, QString(QChar(0xFEFF)) + "x");
  EXPECT_EQ(textFromField(round), QString(QChar(0xFEFF)) + "x");
}
