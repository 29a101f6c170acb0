#include "platform/DateTime.h"

#include <cmath>
#include <cstdint>

namespace bridge {
namespace {

constexpr bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1 January of year 1 to the given date.
constexpr std::int64_t DaysFromCivilStart(int year, int month, int day) {
  const std::int64_t y = year - 1;
  std::int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

// Computed at compile time, so dates made during static initialisation
// elsewhere never see it unset.
constexpr std::int64_t kDay0 = DaysFromCivilStart(1899, 12, 30);
constexpr double kMillisecondsPerDay = 86400000.0;

void Append2(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool TryEncodeDateTime(const TDateParts& parts, TDateTime& result) {
  if (parts.Year < 1 || parts.Year > 9999 || parts.Month < 1 ||
      parts.Month > 12 || parts.Day < 1 ||
      parts.Day > DaysInMonth(parts.Year, parts.Month) || parts.Hour < 0 ||
      parts.Hour > 23 || parts.Minute < 0 || parts.Minute > 59 ||
      parts.Second < 0 || parts.Second > 59 || parts.Millisecond < 0 ||
      parts.Millisecond > 999) {
    return false;
  }
  const auto days = static_cast<double>(
      DaysFromCivilStart(parts.Year, parts.Month, parts.Day) - kDay0);
  const double time =
      (((parts.Hour * 60.0 + parts.Minute) * 60.0 + parts.Second) * 1000.0 +
       parts.Millisecond) /
      kMillisecondsPerDay;
  // Before day 0 the fraction still counts forward within the day.
  result = days >= 0 ? days + time : days - time;
  return true;
}

TDateTime EncodeDateTime(const TDateParts& parts) {
  TDateTime result = 0;
  return TryEncodeDateTime(parts, result) ? result : 0;
}

TDateTime EncodeDate(int year, int month, int day) {
  return EncodeDateTime(TDateParts{year, month, day, 0, 0, 0, 0});
}

TDateParts DecodeDateTime(TDateTime value) {
  TDateParts parts;
  if (!std::isfinite(value) || value < -693593.0 || value > 2958466.0) {
    return parts;
  }
  const double whole = std::trunc(value);
  const auto dayNumber = static_cast<std::int64_t>(whole) + kDay0;
  auto ms = static_cast<std::int64_t>(
      std::llround(std::fabs(value - whole) * kMillisecondsPerDay));
  std::int64_t extraDay = 0;
  if (ms >= 86400000) {
    ms -= 86400000;
    extraDay = value >= 0 ? 1 : 0;
  }
  std::int64_t days = dayNumber + extraDay;
  // Civil date from days since 1 January of year 1.
  int year = static_cast<int>(days / 146097 * 400 + 1);
  days %= 146097;
  auto c = days / 36524;
  if (c == 4) c = 3;
  year += static_cast<int>(c * 100);
  days -= c * 36524;
  year += static_cast<int>(days / 1461 * 4);
  days %= 1461;
  auto yy = days / 365;
  if (yy == 4) yy = 3;
  year += static_cast<int>(yy);
  days -= yy * 365;
  int month = 1;
  while (days >= DaysInMonth(year, month)) {
    days -= DaysInMonth(year, month);
    ++month;
  }
  parts.Year = year;
  parts.Month = month;
  parts.Day = static_cast<int>(days) + 1;
  parts.Hour = static_cast<int>(ms / 3600000);
  parts.Minute = static_cast<int>(ms / 60000 % 60);
  parts.Second = static_cast<int>(ms / 1000 % 60);
  parts.Millisecond = static_cast<int>(ms % 1000);
  return parts;
}

std::string_view FormatDateInto(TDateTime value, TDateText& out,
                                TDateForm form) {
  const TDateParts p = DecodeDateTime(value);
  std::size_t at = 0;
  const auto put = [&out, &at](int number, int width) {
    for (int i = width - 1; i >= 0; --i) {
      out[at + static_cast<std::size_t>(i)] =
          static_cast<char>('0' + number % 10);
      number /= 10;
    }
    at += static_cast<std::size_t>(width);
  };
  const bool dashed = form == TDateForm::kDashed;
  put(p.Year, 4);
  if (dashed) out[at++] = '-';
  put(p.Month, 2);
  if (dashed) out[at++] = '-';
  put(p.Day, 2);
  return std::string_view(out.data(), at);
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  std::string out;
  std::size_t i = 0;
  const auto at = [&](std::string_view token) {
    return pattern.substr(i, token.size()) == token;
  };
  while (i < pattern.size()) {
    if (at("yyyy")) {
      Append2(out, p.Year / 100);
      Append2(out, p.Year % 100);
      i += 4;
    } else if (at("yy")) {
      Append2(out, p.Year % 100);
      i += 2;
    } else if (at("mm")) {
      Append2(out, p.Month);
      i += 2;
    } else if (at("dd")) {
      Append2(out, p.Day);
      i += 2;
    } else if (at("hh")) {
      Append2(out, p.Hour);
      i += 2;
    } else if (at("nn")) {
      Append2(out, p.Minute);
      i += 2;
    } else if (at("ss")) {
      Append2(out, p.Second);
      i += 2;
    } else {
      out.push_back(pattern[i++]);
    }
  }
  return out;
}

}  // namespace bridge
