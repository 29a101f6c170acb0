// Timestamps as the program keeps them: a day count with the time of day as
// the fraction, day 0 being 30 December 1899. The zero date is what an
// unreadable date becomes.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace bridge {

using TDateTime = double;

struct TDateParts {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

// False when the parts name no real date or time of day.
bool TryEncodeDateTime(const TDateParts& parts, TDateTime& result);
// The zero date for parts that name no real date.
TDateTime EncodeDateTime(const TDateParts& parts);
TDateTime EncodeDate(int year, int month, int day);
// Splits a timestamp; one outside the years 1 to 9999 gives the zero date.
TDateParts DecodeDateTime(TDateTime value);

// Formats with a pattern of the letters yyyy, yy, mm, dd, hh, nn and ss, all
// zero-padded; every other character stands for itself.
std::string FormatDateTime(std::string_view pattern, TDateTime value);
// The date alone without touching the heap, for the files that carry one in
// every line: as FormatDateTime("yyyy-mm-dd", value) gives it (kDashed, the
// host's form) or "yyyymmdd" (kCompact, the tables' form).
using TDateText = std::array<char, 10>;
enum class TDateForm { kDashed, kCompact };
std::string_view FormatDateInto(TDateTime value, TDateText& out,
                                TDateForm form = TDateForm::kDashed);

}  // namespace bridge
