#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Cp1250.h"

namespace bridge {
namespace {

TEST(TrimText, RemovesCodesUpTo32AtBothEnds) {
  EXPECT_EQ(Trim("\t\r\n ab c \x01\x1f"), "ab c");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  // Bytes above 127 are letters of the code page, never trimmed.
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");
}

TEST(UpperCaseText, MapsPolishLettersOfTheCodePage) {
  EXPECT_EQ(UpperCase(Cp1250(u8"zażółć gęślą jaźń").str()),
            Cp1250(u8"ZAŻÓŁĆ GĘŚLĄ JAŹŃ").str());
  EXPECT_EQ(UpperCase("ku:12"), "KU:12");
  EXPECT_TRUE(SameText(Cp1250(u8"Łódź").str(), Cp1250(u8"ŁÓDŹ").str()));
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
}

TEST(ParseInt32Text, AcceptsOnlyWholeDecimalNumbersWithin32Bits) {
  EXPECT_EQ(ParseInt32("12"), 12);
  EXPECT_EQ(ParseInt32("-7"), -7);
  EXPECT_EQ(ParseInt32("+7"), 7);
  EXPECT_EQ(ParseInt32("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt32("-2147483648"), std::numeric_limits<int>::min());
  EXPECT_EQ(ParseInt32("2147483648"), std::nullopt);
  EXPECT_EQ(ParseInt32("99999999999999999999"), std::nullopt);
  EXPECT_EQ(ParseInt32(""), std::nullopt);
  EXPECT_EQ(ParseInt32("-"), std::nullopt);
  EXPECT_EQ(ParseInt32(" 1"), std::nullopt);
  EXPECT_EQ(ParseInt32("1.0"), std::nullopt);
  EXPECT_EQ(ParseInt32("0x10"), std::nullopt);
}

TEST(ParseFloatText, UsesTheGivenSeparatorOnly) {
  EXPECT_EQ(ParseFloat("2.5", '.'), 2.5);
  EXPECT_EQ(ParseFloat("2,5", ','), 2.5);
  EXPECT_EQ(ParseFloat("2,5", '.'), std::nullopt);
  EXPECT_EQ(ParseFloat("2.5", ','), std::nullopt);
  EXPECT_EQ(ParseFloat(" -1e3 ", '.'), -1000.0);
  EXPECT_EQ(ParseFloat("5", ','), 5.0);
  EXPECT_EQ(ParseFloat(".5", '.'), 0.5);
  EXPECT_EQ(ParseFloat("abc", '.'), std::nullopt);
  EXPECT_EQ(ParseFloat("1e", '.'), std::nullopt);
  EXPECT_EQ(ParseFloat("1e999", '.'), std::nullopt);
  EXPECT_EQ(ParseFloat("", '.'), std::nullopt);
}

TEST(FormatFixedText, RoundsHalfAwayFromZeroAsAPersonReadsTheNumber) {
  EXPECT_EQ(FormatFixed(2.5, 0, '.'), "3");
  EXPECT_EQ(FormatFixed(-2.5, 0, '.'), "-3");
  EXPECT_EQ(FormatFixed(0.125, 2, '.'), "0.13");
  EXPECT_EQ(FormatFixed(1.005, 2, '.'), "1.01");  // binary 1.00499999...
  EXPECT_EQ(FormatFixed(2.675, 2, ','), "2,68");
  EXPECT_EQ(FormatFixed(3.14159, 2, '.'), "3.14");
  EXPECT_EQ(FormatFixed(-2.5, 2, '.'), "-2.50");
  EXPECT_EQ(FormatFixed(999.9996, 3, '.'), "1000.000");
  EXPECT_EQ(FormatFixed(0.0, 3, '.'), "0.000");
  EXPECT_EQ(FormatFixed(0.0004, 3, '.'), "0.000");
  EXPECT_EQ(FormatFixed(1234567.891, 2, '.'), "1234567.89");
  EXPECT_EQ(FormatFixed(1e20, 0, '.'), "100000000000000000000");
  EXPECT_EQ(FormatFixed(123456789012345678.0, 0, '.'), "123456789012346000");
}

TEST(FormatFixedText, GivesNoSignToZeroAndZeroToValuesWithoutDigits) {
  EXPECT_EQ(FormatFixed(-0.001, 2, '.'), "0.00");
  EXPECT_EQ(FormatFixed(-0.0, 0, '.'), "0");
  EXPECT_EQ(FormatFixed(std::nan(""), 2, '.'), "0.00");
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 1, '.'),
            "0.0");
  EXPECT_EQ(FormatFixed(1e-300, 2, '.'), "0.00");
}

}  // namespace
}  // namespace bridge
