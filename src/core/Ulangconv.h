// Single-byte text conversions between Windows-1250, the program's own code
// page, and the code pages the device tables and older devices use (code page
// 852, Mazovia, plain ASCII letters), plus the two clean-ups that the file
// layers apply to every value they write.
//
// Every conversion keeps the length of the text and leaves the bytes below
// 0x80 alone. A byte that the chosen table does not list stays as it is,
// except on the way to code page 852: a Windows-1250 character that 852
// lacks becomes a plain stand-in (typographic quotes a straight quote, the
// euro sign "E"), since its byte would show as another letter there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bridge {

// Conversion kinds. Any kind not named here, 0 and 7 to 255, leaves the text
// unchanged.
inline constexpr unsigned char kNoConversion = 0;
inline constexpr unsigned char kCp852ToCp1250 = 1;
inline constexpr unsigned char kMazoviaToCp1250 = 2;
inline constexpr unsigned char kCp1250ToMazovia = 3;
inline constexpr unsigned char kMazoviaToAscii = 4;  // Polish letters only
inline constexpr unsigned char kCp1250ToAscii = 5;   // Polish letters only
inline constexpr unsigned char kCp1250ToCp852 = 6;

// Recodes every byte of text by the table of the conversion kind.
std::string ConvertCodePage(unsigned char kind, std::string_view text);
// The same on a buffer, for record buffers converted where they lie.
void ConvertCodePageInPlace(unsigned char kind, char* data, std::size_t size);

// Whether the conversion kind writes a plain stand-in for the byte rather
// than the same character in the other code page.
bool GivesStandIn(unsigned char kind, unsigned char byte);

// Every character with a code from 0 to 31 becomes a blank.
std::string ControlToSpace(std::string_view text);
// Every TAB and LF becomes mark; CR stays, for ControlToSpace to blank.
std::string BreaksToCaret(std::string_view text, char mark);

}  // namespace bridge
