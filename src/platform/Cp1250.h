// Windows-1250, the code page of every text inside the program, and its
// conversion to and from UTF-8 at the boundary of the operating system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bridge {

namespace cp1250_detail {

// Unicode code points of the bytes 0x80..0xFF; 0 marks a byte without one.
inline constexpr std::array<char16_t, 128> kHighHalf = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021, 0x0000,
    0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, 0x0000, 0x2018,
    0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0000, 0x2122, 0x0161,
    0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC,
    0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5,
    0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E,
    0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110,
    0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E,
    0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2,
    0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD,
    0x0163, 0x02D9};

// The Windows-1250 byte of a code point, or -1 when the code page lacks it.
constexpr int ByteOf(char32_t codePoint) {
  if (codePoint < 0x80) return static_cast<int>(codePoint);
  for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
    if (kHighHalf[i] != 0 && kHighHalf[i] == codePoint) {
      return static_cast<int>(0x80 + i);
    }
  }
  return -1;
}

template <std::size_t N>
struct TFixedText {
  std::array<char, N> Data{};
  std::size_t Size = 0;
  constexpr std::string_view view() const { return {Data.data(), Size}; }
  std::string str() const { return std::string(view()); }
  // Both convert implicitly so that a message reads as text wherever text
  // is taken.
  constexpr operator std::string_view() const {  // NOLINT
    return view();
  }
  operator std::string() const { return str(); }  // NOLINT
};

}  // namespace cp1250_detail

// Converts a UTF-8 literal to Windows-1250 at compile time. A character that
// the code page lacks, or malformed UTF-8, stops the build.
template <std::size_t N>
consteval cp1250_detail::TFixedText<N> Cp1250(const char8_t (&utf8)[N]) {
  cp1250_detail::TFixedText<N> out;
  std::size_t i = 0;
  const std::size_t end = N - 1;  // the literal's terminating zero
  while (i < end) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    std::size_t extra = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F;
      extra = 2;
    } else {
      throw "Cp1250: a character outside the code page";
    }
    if (i + extra >= end) throw "Cp1250: truncated UTF-8";
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) throw "Cp1250: malformed UTF-8";
      cp = (cp << 6) | (next & 0x3F);
    }
    const int byte = cp1250_detail::ByteOf(cp);
    if (byte < 0) throw "Cp1250: a character outside the code page";
    out.Data[out.Size++] = static_cast<char>(static_cast<unsigned char>(byte));
    i += extra + 1;
  }
  return out;
}

namespace platform {

// UTF-8 from the operating system to Windows-1250; a character the code page
// lacks, and every malformed sequence, becomes "?".
std::string Utf8ToCp1250(std::string_view utf8);
// Windows-1250 to UTF-8 for the operating system; the five bytes without a
// character become "?".
std::string Cp1250ToUtf8(std::string_view text);
// The same for UTF-16, the encoding of the Windows API.
std::u16string Cp1250ToUtf16(std::string_view text);
std::string Utf16ToCp1250(std::u16string_view text);
#ifdef _WIN32
// The same as the wide-character calls of Windows take and give text.
std::wstring Cp1250ToWide(std::string_view text);
std::string WideToCp1250(std::wstring_view text);
#endif

}  // namespace platform
}  // namespace bridge
