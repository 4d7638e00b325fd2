#include "base/int_text.h"

#include <gtest/gtest.h>

namespace kamolt {
namespace {

TEST(ParseInteger, AcceptsDecimalWithBlanksAndSign) {
  EXPECT_EQ(ParseInteger("255"), 255);
  EXPECT_EQ(ParseInteger("   42"), 42);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("-12"), -12);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
}

TEST(ParseInteger, AcceptsEveryHexPrefix) {
  EXPECT_EQ(ParseInteger("$0000FF"), 255);
  EXPECT_EQ(ParseInteger("xff"), 255);
  EXPECT_EQ(ParseInteger("XFF"), 255);
  EXPECT_EQ(ParseInteger("0x10"), 16);
  EXPECT_EQ(ParseInteger("0XfF00"), 0xFF00);
  EXPECT_EQ(ParseInteger("-$10"), -16);
  EXPECT_EQ(ParseInteger("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseInteger("0"), 0);
}

TEST(ParseInteger, RefusesMalformedAndOverlongText) {
  for (const char* bad : {"", " ", "abc", "12a", "12 ", "1 2", "+", "-", "$", "0x", "x", "$G1", "1.5",
                          "2147483648", "-2147483649", "$100000000", "99999999999999999999999"}) {
    EXPECT_EQ(ParseInteger(bad), std::nullopt) << '"' << bad << '"';
  }
}

TEST(IntegerOr, FallsBackOnlyForBadText) {
  EXPECT_EQ(IntegerOr("abc", 201), 201);
  EXPECT_EQ(IntegerOr("", 200), 200);
  EXPECT_EQ(IntegerOr("0", 200), 0);
}

TEST(UpperAscii, LeavesOtherCodePageLettersAlone) {
  EXPECT_EQ(UpperAscii("jpg"), "JPG");
  EXPECT_EQ(UpperAscii("b\xE4r"), "B\xE4R");  // a-umlaut in code page 1252
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Windows", "WINDOWS"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Window", "Windows"));
}

TEST(NthField, TakesFieldsFromTheFront) {
  EXPECT_EQ(NthField("210,297,DIN A4", ',', 1), "210");
  EXPECT_EQ(NthField("210,297,DIN A4", ',', 2), "297");
  EXPECT_EQ(NthField("210,297,DIN A4", ',', 3), "DIN A4");
  // Running out of text keeps the last field taken.
  EXPECT_EQ(NthField("210,297", ',', 5), "297");
  EXPECT_EQ(NthField("a,,b", ',', 2), "");
  EXPECT_EQ(NthField("", ',', 1), "");
  EXPECT_EQ(NthField("abc", ',', 0), "");
}

}  // namespace
}  // namespace kamolt
