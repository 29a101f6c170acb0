#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace bridge {
namespace {

constexpr std::array<unsigned char, 128> kUpperHigh = {
    0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B,
    0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97,
    0x98, 0x99, 0x8A, 0x9B, 0x8C, 0x8D, 0x8E, 0x8F, 0xA0, 0xA1, 0xA2, 0xA3,
    0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF,
    0xB0, 0xB1, 0xB2, 0xA3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xA5, 0xAA, 0xBB,
    0xBC, 0xBD, 0xBC, 0xAF, 0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7,
    0xC8, 0xC9, 0xCA, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3,
    0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF,
    0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB,
    0xCC, 0xCD, 0xCE, 0xCF, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xF7,
    0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xFF};

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string TrimLeft(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsTrimmed(text[begin])) ++begin;
  return std::string(text.substr(begin));
}

std::string TrimRight(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsTrimmed(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) { return std::string(TrimView(text)); }

namespace {

// The position of the first character below 0x20 from `from` on, or size;
// eight are passed over at a time while none is there.
std::size_t NextControlCharacter(const char* text, std::size_t size,
                                 std::size_t from) {
  for (; from + 8 <= size; from += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + from, sizeof word);
    if (AnyControlByte(word)) break;
  }
  for (; from < size; ++from) {
    if (static_cast<unsigned char>(text[from]) < 32) return from;
  }
  return size;
}

}  // namespace

bool HasControlCharacter(std::string_view text) {
  return NextControlCharacter(text.data(), text.size(), 0) != text.size();
}

void BlankControlCharacters(char* text, std::size_t size) {
  for (std::size_t i = NextControlCharacter(text, size, 0); i < size;
       i = NextControlCharacter(text, size, i + 1)) {
    text[i] = ' ';
  }
}

char UpperCaseChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 'a' && byte <= 'z') return static_cast<char>(byte - 32);
  if (byte >= 0x80) return static_cast<char>(kUpperHigh[byte - 0x80u]);
  return c;
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperCaseChar(c);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  return CompareText(a, b) == 0;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(UpperCaseChar(a[i]));
    const auto y = static_cast<unsigned char>(UpperCaseChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::optional<std::int32_t> ParseInt32(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{1} << 32) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

namespace {

constexpr double kPowersOf10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,
                                  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16};

}  // namespace

// The digits as a whole number are exact in a double and so is the power of
// ten, so one division gives the correctly rounded value, the same that a
// full parse gives.
std::optional<double> ParsePlainDecimal(std::string_view text,
                                        char decimalSeparator) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fraction = -1;  // digits after the separator; -1 before one is seen
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      if (++digits > 15) return std::nullopt;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == decimalSeparator && fraction < 0) {
      fraction = 0;
    } else {
      return std::nullopt;
    }
  }
  // A separator without digits after it is left to the full parse.
  if (digits == 0 || fraction == 0) return std::nullopt;
  double value = static_cast<double>(mantissa);
  if (fraction > 0) value /= kPowersOf10[fraction];
  return negative ? -value : value;
}

std::optional<double> ParseFloat(std::string_view text, char decimalSeparator) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  if (const auto quick = ParsePlainDecimal(text.substr(begin, end - begin),
                                           decimalSeparator)) {
    return quick;
  }
  std::string plain;
  plain.reserve(end - begin);
  std::size_t i = begin;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain.push_back('-');
    ++i;
  }
  std::size_t digits = 0;
  bool separator = false;
  for (; i < end; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      plain.push_back(c);
      ++digits;
    } else if (c == decimalSeparator && !separator) {
      plain.push_back('.');
      separator = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    plain.push_back('e');
    ++i;
    if (i < end && (text[i] == '+' || text[i] == '-'))
      plain.push_back(text[i++]);
    std::size_t expDigits = 0;
    for (; i < end && IsDigit(text[i]); ++i, ++expDigits)
      plain.push_back(text[i]);
    if (expDigits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  double value = 0;
  const auto result =
      std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (result.ec != std::errc() || result.ptr != plain.data() + plain.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

namespace {

// The rounded value of |value| in units of 10^-decimals, for the common
// small numbers, without going through their digits. Below 10^6 the 15
// significant digits of the number are within 10^-9 of it, so unless the
// scaled value lies within 10^-3 of a half, its digits and the number round
// the same way; values near a half, or outside the range, give nothing.
std::optional<std::uint64_t> QuickScaled(double value, int decimals) {
  constexpr double kLimit = 1e6;
  constexpr int kMaxQuickDecimals = 4;
  const double magnitude = std::fabs(value);
  if (!(magnitude < kLimit) || decimals > kMaxQuickDecimals) {
    return std::nullopt;
  }
  const double scaled = magnitude * kPowersOf10[decimals];
  // Below 10^10, and not negative: the conversion is the floor, without a
  // call into the maths library.
  const auto whole = static_cast<std::uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) < 1e-3) return std::nullopt;
  return whole + (fraction > 0.5 ? 1 : 0);
}

}  // namespace

double RoundHalfAwayDecimal(double value, int decimals) {
  if (const auto scaled = QuickScaled(value, decimals)) {
    const double rounded = static_cast<double>(*scaled) / kPowersOf10[decimals];
    return value < 0 && *scaled != 0 ? -rounded : rounded;
  }
  TFixedBuffer text;
  const std::size_t size = FormatFixedInto(value, decimals, '.', text);
  return ParseFloat(std::string_view(text.data(), size), '.').value_or(0.0);
}

std::size_t FormatFixedInto(double value, int decimals, char decimalSeparator,
                            TFixedBuffer& out) {
  decimals = std::clamp(decimals, 0, kMaxFixedDecimals);
  if (!std::isfinite(value)) value = 0;
  if (const auto scaled = QuickScaled(value, decimals)) {
    // The whole units, then the last `decimals` digits of the scaled number
    // after the separator.
    const auto unit = static_cast<std::uint64_t>(kPowersOf10[decimals]);
    char* p = out.data();
    if (value < 0 && *scaled != 0) *p++ = '-';
    p = std::to_chars(p, out.data() + out.size(), *scaled / unit).ptr;
    if (decimals > 0) {
      *p++ = decimalSeparator;
      std::uint64_t fraction = *scaled % unit;
      for (int i = decimals; i-- > 0; fraction /= 10) {
        p[i] = static_cast<char>('0' + fraction % 10);
      }
      p += decimals;
    }
    return static_cast<std::size_t>(p - out.data());
  }
  // The digits a person reads: the shortest form that reads back as the
  // value, or its 15 significant digits when that form is longer.
  std::array<char, 40> sci{};
  auto result = std::to_chars(sci.data(), sci.data() + sci.size(), value,
                              std::chars_format::scientific);
  const auto parse = [&sci](const char* end, std::array<unsigned char, 20>& d,
                            int& count, int& exponent, bool& negative) {
    const char* p = sci.data();
    negative = *p == '-';
    if (negative) ++p;
    count = 0;
    for (; p < end && *p != 'e'; ++p) {
      if (IsDigit(*p))
        d[static_cast<std::size_t>(count++)] =
            static_cast<unsigned char>(*p - '0');
    }
    exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);
  };
  std::array<unsigned char, 20> digits{};
  int count = 0;
  int exponent = 0;
  bool negative = false;
  parse(result.ptr, digits, count, exponent, negative);
  if (count > 15) {
    result = std::to_chars(sci.data(), sci.data() + sci.size(), value,
                           std::chars_format::scientific, 14);
    parse(result.ptr, digits, count, exponent, negative);
  }
  // digits[k] has the weight 10^(exponent - k).
  const auto digitAt = [&](int weight) -> unsigned char {
    const int k = exponent - weight;
    return k >= 0 && k < count ? digits[static_cast<std::size_t>(k)] : 0;
  };
  const int intDigits = std::max(exponent + 1, 1);
  const int total = intDigits + decimals;
  std::array<unsigned char, kFixedBufferSize> kept;  // total digits used
  for (int i = 0; i < total; ++i) {
    kept[static_cast<std::size_t>(i)] = digitAt(intDigits - 1 - i);
  }
  // Half away from zero on the first digit dropped.
  bool carry = digitAt(-decimals - 1) >= 5;
  for (int i = total - 1; carry && i >= 0; --i) {
    auto& digit = kept[static_cast<std::size_t>(i)];
    digit = digit == 9 ? 0 : static_cast<unsigned char>(digit + 1);
    carry = digit == 0;
  }
  bool isZero = !carry;
  for (int i = 0; isZero && i < total; ++i)
    isZero = kept[static_cast<std::size_t>(i)] == 0;
  char* p = out.data();
  if (negative && !isZero) *p++ = '-';
  if (carry) *p++ = '1';
  int first = 0;
  if (!carry) {
    while (first < intDigits - 1 &&
           kept[static_cast<std::size_t>(first)] == 0) {
      ++first;
    }
  }
  for (int i = first; i < intDigits; ++i) {
    *p++ = static_cast<char>('0' + kept[static_cast<std::size_t>(i)]);
  }
  if (decimals > 0) {
    *p++ = decimalSeparator;
    for (int i = intDigits; i < total; ++i) {
      *p++ = static_cast<char>('0' + kept[static_cast<std::size_t>(i)]);
    }
  }
  return static_cast<std::size_t>(p - out.data());
}

std::string FormatFixed(double value, int decimals, char decimalSeparator) {
  TFixedBuffer buffer;
  const std::size_t size =
      FormatFixedInto(value, decimals, decimalSeparator, buffer);
  return std::string(buffer.data(), size);
}

std::string IntToStr(std::int64_t value) {
  std::array<char, 24> buffer{};
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace bridge
