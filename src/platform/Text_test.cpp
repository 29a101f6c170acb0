#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

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

// Eight bytes at a time, as the program trims, gives what one at a time
// gives, for any mix of bytes at either end.
TEST(TrimText, EightAtATimeAgreesWithOneAtATime) {
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<int> size(0, 40);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = size(random); n > 0; --n) {
      const int kind = percent(random);
      text.push_back(static_cast<char>(
          kind < 50 ? ' ' : (kind < 60 ? 33 + kind % 2 : byte(random))));
    }
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
      ++begin;
    }
    const std::string_view trimmed = TrimView(text);
    ASSERT_EQ(trimmed.data(), text.data() + begin)
        << ::testing::PrintToString(text);
    ASSERT_EQ(trimmed.size(), end - begin) << ::testing::PrintToString(text);
  }
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

// The rule written the long way: the number's 15 significant digits from
// printf, then rounded half away from zero as decimal text.
std::string ReferenceFixed(double value, int decimals) {
  char sci[64];
  std::snprintf(sci, sizeof sci, "%.14e", value);
  const bool negative = sci[0] == '-';
  std::string digits;
  const char* p = sci + (negative ? 1 : 0);
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits.push_back(*p);
  }
  const int exponent = std::atoi(p + 1);
  // Place the digits on a fixed grid: 40 before the point, 40 after.
  std::string grid(80, '0');
  for (std::size_t k = 0; k < digits.size(); ++k) {
    grid[static_cast<std::size_t>(39 - exponent) + k] = digits[k];
  }
  const auto keep = static_cast<std::size_t>(40 + decimals);
  bool carry = grid[keep] >= '5';
  grid.resize(keep);
  for (std::size_t k = keep; carry && k-- > 0;) {
    carry = grid[k] == '9';
    grid[k] = carry ? '0' : static_cast<char>(grid[k] + 1);
  }
  std::string whole = grid.substr(0, 40);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  std::string text = whole;
  if (decimals > 0) text += "." + grid.substr(40);
  const bool zero = text.find_first_not_of("0.") == std::string::npos;
  return (negative && !zero ? "-" : "") + text;
}

TEST(FormatFixedText, AgreesWithTheRuleWrittenTheLongWay) {
  std::uint64_t seed = 987654321;
  for (int i = 0; i < 50000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const auto raw =
        static_cast<std::int64_t>(seed >> 24) % 2000000000 - 1000000000;
    // Prices, quantities and ratios, many of them on or near halves.
    const double value = i % 3 == 0   ? static_cast<double>(raw) / 1000.0
                         : i % 3 == 1 ? static_cast<double>(raw) / 7.0 / 1e3
                                      : static_cast<double>(raw) / 2e5 + 0.005;
    for (int decimals = 0; decimals <= 5; ++decimals) {
      ASSERT_EQ(FormatFixed(value, decimals, '.'),
                ReferenceFixed(value, decimals))
          << value << " with " << decimals;
    }
  }
}

TEST(ParseFloatText, ReadsShortDecimalsExactlyAsAFullParseDoes) {
  std::uint64_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const double value =
        static_cast<double>(static_cast<std::int64_t>(seed >> 20) % 100000000) /
        (i % 2 == 0 ? 7.0 : 1000.0);
    for (const int decimals : {0, 2, 3, 6}) {
      const std::string text = FormatFixed(value, decimals, '.');
      double expected = 0;
      std::from_chars(text.data(), text.data() + text.size(), expected);
      ASSERT_EQ(ParseFloat(text, '.'), expected) << text;
    }
  }
}

}  // namespace
}  // namespace bridge
