#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/NumberText.h"

using namespace platform;

TEST(NumberText, LeadingNumberAndWholeTextTable) {
  struct Case {
    const char* text;
    int intValue;
    double floatValue;
    bool whole;
  } cases[] = {
      {"", 0, 0, false},
      {"-", 0, 0, false},
      {"+", 0, 0, false},
      {"12a", 12, 12, false},
      {"1e3", 1, 1000, true},
      {"1e", 1, 1, false},
      {"1e+", 1, 1, false},
      {"+1", 1, 1, true},
      {" 5", 5, 5, true},
      {"5 ", 5, 5, true},
      {"\t-7", -7, -7, true},
      {"- 7", 0, 0, false},
      {"inf", 0, 0, false},
      {"nan", 0, 0, false},
      {"0x10", 0, 0, false},
      {"3.75", 3, 3.75, true},
      {".5", 0, 0.5, true},
      {"5.", 5, 5, true},
      {".", 0, 0, false},
      {"1.2.3", 1, 1.2, false},
      {"-2.5e-1x", -2, -0.25, false},
      {"007", 7, 7, true},
      {"99999999999", INT_MAX, 99999999999.0, true},
      {"-99999999999", INT_MIN, -99999999999.0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(intValue(c.text), c.intValue) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(doubleValue(c.text), c.floatValue) << '"' << c.text << '"';
    EXPECT_FLOAT_EQ(floatValue(c.text), static_cast<float>(c.floatValue)) << '"' << c.text << '"';
    EXPECT_EQ(isDecimalNumber(c.text), c.whole) << '"' << c.text << '"';
  }
}

TEST(NumberText, OverflowSaturatesWithoutThrowing) {
  EXPECT_TRUE(std::isinf(floatValue("1e39")));
  EXPECT_TRUE(std::isinf(doubleValue("-1e400")));
  EXPECT_LT(doubleValue("-1e400"), 0);
  EXPECT_EQ(intValue(QString(500, u'9')), INT_MAX);
}

TEST(NumberText, TypingFiltersAndDigitRangeTable) {
  struct Case {
    const char* text;
    const char* numeric;  // numericStringFromString
    const char* digits;   // digitsOnly
    bool octet;           // isDigitsInRange(0, 255)
  } cases[] = {
      {"", "", "", false},
      {"12a", "12", "12", false},
      {"a", "", "", false},
      {"1a2", "1", "12", false},
      {"25.9", "25.9", "259", false},
      {"255", "255", "255", true},
      {"0", "0", "0", true},
      {"300", "300", "300", false},
      {"-1", "-1", "1", false},
      {" 7", " 7", "7", false},
      {"99999999999", "99999999999", "99999999999", false},
      {"4294967297", "4294967297", "4294967297", false},  // would wrap to 1 in 32 bits
      {"1e3", "1e3", "13", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(numericStringFromString(c.text), QString::fromLatin1(c.numeric)) << '"' << c.text << '"';
    EXPECT_EQ(digitsOnly(c.text), QString::fromLatin1(c.digits)) << '"' << c.text << '"';
    EXPECT_EQ(isDigitsInRange(c.text, 0, 255), c.octet) << '"' << c.text << '"';
  }
  EXPECT_FALSE(isDigitsInRange("0", 1, 65535));
  EXPECT_TRUE(isDigitsInRange("65535", 1, 65535));
  EXPECT_FALSE(isDigitsInRange("65536", 1, 65535));
}
