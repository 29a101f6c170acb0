#include "platform/DateTime.h"

#include <gtest/gtest.h>

#include <random>

namespace bridge {
namespace {

TEST(DateTimeEncoding, CountsDaysFrom30December1899) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2005, 3, 7), 38418.0);
  EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
  EXPECT_EQ(EncodeDate(2023, 2, 29), 0.0);  // no such day
  EXPECT_DOUBLE_EQ(EncodeDateTime({2005, 3, 7, 12, 0, 0, 0}), 38418.5);
}

TEST(DateTimeEncoding, DecodesWhatItEncodes) {
  for (const TDateParts& parts : {TDateParts{2005, 3, 7, 14, 5, 9, 0},
                                  TDateParts{1999, 12, 31, 23, 59, 59, 0},
                                  TDateParts{2000, 2, 29, 0, 0, 0, 0},
                                  TDateParts{1850, 6, 1, 6, 30, 0, 0}}) {
    const TDateParts back = DecodeDateTime(EncodeDateTime(parts));
    EXPECT_EQ(back.Year, parts.Year);
    EXPECT_EQ(back.Month, parts.Month);
    EXPECT_EQ(back.Day, parts.Day);
    EXPECT_EQ(back.Hour, parts.Hour);
    EXPECT_EQ(back.Minute, parts.Minute);
    EXPECT_EQ(back.Second, parts.Second);
  }
}

TEST(DateTimeFormatting, PadsEveryPartWithZeros) {
  const TDateTime t = EncodeDateTime({2005, 3, 7, 14, 5, 9, 0});
  EXPECT_EQ(FormatDateTime("yyyy_mm_dd-hh_nn_ss", t), "2005_03_07-14_05_09");
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy", t), "07-03-2005");
  EXPECT_EQ(FormatDateTime("yymmdd", t), "050307");
  EXPECT_EQ(FormatDateTime("dd-mm-yyyy", 1e300), "30-12-1899");
}

TEST(DateTimeFormatting, TheDateAloneAsThePatternGivesIt) {
  std::mt19937_64 random(20241202);
  std::uniform_real_distribution<double> any(-700000.0, 3000000.0);
  std::uniform_int_distribution<int> day(-2, 80000);
  for (int i = 0; i < 20000; ++i) {
    // Whole days, days with a time, and values outside the calendar.
    const TDateTime value =
        i % 3 == 0 ? day(random)
                   : (i % 3 == 1 ? any(random) : day(random) + 0.9999999);
    TDateText text;
    ASSERT_EQ(FormatDateInto(value, text), FormatDateTime("yyyy-mm-dd", value))
        << value;
    ASSERT_EQ(FormatDateInto(value, text, TDateForm::kCompact),
              FormatDateTime("yyyymmdd", value))
        << value;
  }
}

}  // namespace
}  // namespace bridge
