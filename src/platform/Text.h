// Text and number rules shared by every layer: trimming, the Windows-1250
// case mapping, strict number parsing and decimal formatting that rounds as
// a person reads the number.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace bridge {

// Hashes std::string and std::string_view alike, so that a container keyed
// by strings is looked up by a view without a copy (with std::equal_to<>).
struct TTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

// Tests on eight bytes at once, for the loops that look at every byte of a
// value: whether any byte of word lies below 0x20, and whether all lie from
// 0x20 to 0x7F. A byte borrows when 0x20 is taken from it only if it lies
// below 0x20 or a byte below it borrowed.
constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kEveryHighBit = 0x8080808080808080;
constexpr bool AnyControlByte(std::uint64_t word) {
  return ((word - kEveryByte * 0x20) & ~word & kEveryHighBit) != 0;
}
constexpr bool AllPrintableAscii(std::uint64_t word) {
  return (word & kEveryHighBit) == 0 && !AnyControlByte(word);
}
// The bytes of word above the blank (0x20), as their high bits. A byte
// below 0x80 gets its high bit from the sum only when it is 0x21 or more,
// and no sum carries into the next byte, so the test is exact for each.
inline std::uint64_t AboveBlank(std::uint64_t word) {
  return (((word & (kEveryByte * 0x7F)) + kEveryByte * 0x5F) | word) &
         kEveryHighBit;
}
// Removes every character with a code from 0 to 32 at both ends.
std::string Trim(std::string_view text);
// The same without a copy: the trimmed part of the text itself. Inline,
// since the table and host file readers trim every value they read.
constexpr std::string_view TrimView(std::string_view text) {
  const auto trimmed = [](char c) {
    return static_cast<unsigned char>(c) <= 32;
  };
  if constexpr (std::endian::native == std::endian::little) {
    if (!std::is_constant_evaluated()) {
      // Table fields are padded with blanks, often most of their width,
      // and numbers stand right-aligned in theirs, so the ends are looked
      // at eight bytes at a time. The last byte of a word loaded from
      // memory is its highest.
      std::uint64_t word;
      while (text.size() >= 8) {
        std::memcpy(&word, text.data() + text.size() - 8, sizeof word);
        const int blanks = std::countl_zero(AboveBlank(word)) / 8;
        text.remove_suffix(static_cast<std::size_t>(blanks));
        if (blanks < 8) break;
      }
      while (text.size() >= 8) {
        std::memcpy(&word, text.data(), sizeof word);
        const int blanks = std::countr_zero(AboveBlank(word)) / 8;
        text.remove_prefix(static_cast<std::size_t>(blanks));
        if (blanks < 8) return text;
      }
    }
  }
  while (!text.empty() && trimmed(text.back())) text.remove_suffix(1);
  while (!text.empty() && trimmed(text.front())) text.remove_prefix(1);
  return text;
}
// Whether the text holds a character below 0x20.
bool HasControlCharacter(std::string_view text);
// Makes every character below 0x20 a blank, where the text lies.
void BlankControlCharacters(char* text, std::size_t size);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// Upper-cases with the Windows-1250 case mapping (ASCII and the letters of
// the code page), whatever the process locale.
std::string UpperCase(std::string_view text);
char UpperCaseChar(char c);
// Equal without regard to case under the same mapping.
bool SameText(std::string_view a, std::string_view b);
// Orders without regard to case: negative, zero or positive.
int CompareText(std::string_view a, std::string_view b);

// A decimal integer: an optional sign and at least one digit, nothing else,
// within 32 bits. Anything else, a number out of range too, gives nothing.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// A decimal number with the given decimal separator: optional blanks at both
// ends, an optional sign, digits with at most one separator, an optional
// exponent. Gives nothing when the text is not one, or is not finite.
std::optional<double> ParseFloat(std::string_view text, char decimalSeparator);
// The common form of the numbers in the files, read quickly: an optional
// sign and 1 to 15 digits with at most one separator, not last, and nothing
// else, not even blanks. Gives what ParseFloat gives for such a text, and
// nothing for any other.
std::optional<double> ParsePlainDecimal(std::string_view text,
                                        char decimalSeparator);

// Formats with exactly `decimals` digits after the separator (none and no
// separator for 0), rounding half away from zero on the number's
// 15-significant-digit decimal form: 2.5 gives "3", 0.125 with 2 gives
// "0.13". A value that rounds to zero has no sign; NaN and the infinities
// format as zero.
std::string FormatFixed(double value, int decimals, char decimalSeparator);
// The same without touching the heap, for paths that format millions of
// numbers: writes into out and gives the length. Decimals above
// kMaxFixedDecimals count as that many.
inline constexpr int kMaxFixedDecimals = 255;
inline constexpr std::size_t kFixedBufferSize = 600;
using TFixedBuffer = std::array<char, kFixedBufferSize>;
std::size_t FormatFixedInto(double value, int decimals, char decimalSeparator,
                            TFixedBuffer& out);

// The number that FormatFixed's text of the value reads as, without
// making the text where that can be avoided.
double RoundHalfAwayDecimal(double value, int decimals);

// Shortest text of a whole number.
std::string IntToStr(std::int64_t value);

}  // namespace bridge
