#include "core/Ulangconv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using testing::Hex;
using testing::SameBytes;

// The expectations below come from what the characters are, not from the
// pair lists of the unit: each code page is written out as the Unicode
// characters of its bytes 0x80..0xFF, and a pair is a character that both
// sides have.
constexpr std::array<char16_t, 128> kCp852High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7,  // 8_
    0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106,
    0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,  // 9_
    0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E,  // A_
    0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A,  // B_
    0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,  // C_
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,  // D_
    0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,  // E_
    0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4,
    0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,  // F_
    0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0,
};

constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 8_
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 9_
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A_
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B_
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C_
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D_
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // E_
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // F_
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// The Polish letters, the plain letter each becomes, and its Mazovia byte.
struct TPolishLetter {
  char16_t Letter;
  char Plain;
  unsigned char Mazovia;
};
constexpr TPolishLetter kPolish[] = {
    {u'Ą', 'A', 0x8F}, {u'Ć', 'C', 0x95}, {u'Ę', 'E', 0x90}, {u'Ł', 'L', 0x9C},
    {u'Ń', 'N', 0xA5}, {u'Ó', 'O', 0xA3}, {u'Ś', 'S', 0x98}, {u'Ź', 'Z', 0xA0},
    {u'Ż', 'Z', 0xA1}, {u'ą', 'a', 0x86}, {u'ć', 'c', 0x8D}, {u'ę', 'e', 0x91},
    {u'ł', 'l', 0x92}, {u'ń', 'n', 0xA4}, {u'ó', 'o', 0xA2}, {u'ś', 's', 0x9E},
    {u'ź', 'z', 0xA6}, {u'ż', 'z', 0xA7},
};

// What a receipt shows in place of a character that code page 852 lacks.
constexpr std::pair<char32_t, char> kPlainStandIns[] = {
    {U'„', '"'},  {U'”', '"'}, {U'“', '"'}, {U'‚', '\''}, {U'‘', '\''},
    {U'’', '\''}, {U'–', '-'}, {U'—', '-'}, {U'…', '.'},  {U'€', 'E'},
    {U'•', '*'},  {U'·', '.'}, {U'™', 'T'}, {U'©', 'C'},  {U'®', 'R'},
    {U'‰', '%'},  {U'‹', '<'}, {U'›', '>'}, {U'†', '+'},  {U'‡', '+'},
    {U'¦', '|'},  {U'±', '+'}, {U'µ', 'u'}, {U'¶', 'P'},
};

// The character of a byte under one code page; 0 for a byte without one.
using TCodePage = std::array<char32_t, 256>;

char32_t DecodeUtf8(const std::string& utf8) {
  const auto lead = static_cast<unsigned char>(utf8[0]);
  if (lead < 0x80) return lead;
  char32_t cp = (lead & 0xE0) == 0xC0 ? (lead & 0x1Fu) : (lead & 0x0Fu);
  for (std::size_t i = 1; i < utf8.size(); ++i) {
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
  }
  return cp;
}

TCodePage Windows1250() {
  TCodePage page{};
  for (std::size_t b = 0; b < 256; ++b) {
    const std::string utf8 =
        platform::Cp1250ToUtf8(std::string(1, static_cast<char>(b)));
    // The bytes without a character come back as "?".
    page[b] = (b >= 0x80 && utf8 == "?") ? 0 : DecodeUtf8(utf8);
  }
  return page;
}

TCodePage FromHighHalf(const std::array<char16_t, 128>& high) {
  TCodePage page{};
  for (std::size_t b = 0; b < 128; ++b) page[b] = static_cast<char32_t>(b);
  for (std::size_t b = 0; b < 128; ++b) page[0x80 + b] = high[b];
  return page;
}

TCodePage Mazovia() {
  TCodePage page = FromHighHalf(kCp437High);
  for (const TPolishLetter& l : kPolish) page[l.Mazovia] = l.Letter;
  return page;
}

using TMap = std::array<unsigned char, 256>;

TMap IdentityMap() {
  TMap map{};
  for (std::size_t b = 0; b < 256; ++b) map[b] = static_cast<unsigned char>(b);
  return map;
}

// Every byte from 0x80 whose character the target page has goes to the
// target's byte of that character, except the characters left out.
TMap Recoding(const TCodePage& from, const TCodePage& to,
              const std::vector<char32_t>& leftOut = {}) {
  TMap map = IdentityMap();
  for (std::size_t b = 0x80; b < 256; ++b) {
    if (from[b] == 0) continue;
    if (std::find(leftOut.begin(), leftOut.end(), from[b]) != leftOut.end()) {
      continue;
    }
    for (std::size_t t = 0x80; t < 256; ++t) {
      if (to[t] == from[b]) {
        map[b] = static_cast<unsigned char>(t);
        break;
      }
    }
  }
  return map;
}

TMap PlainLetters(const TCodePage& from) {
  TMap map = IdentityMap();
  for (std::size_t b = 0x80; b < 256; ++b) {
    for (const TPolishLetter& l : kPolish) {
      if (from[b] == l.Letter) map[b] = static_cast<unsigned char>(l.Plain);
    }
  }
  return map;
}

int CountMoved(const TMap& map, const TCodePage& from, const TCodePage& to) {
  int count = 0;
  for (std::size_t b = 0x80; b < 256; ++b) {
    if (from[b] != 0 && to[map[b]] == from[b]) ++count;
  }
  return count;
}

// Every other byte from 0x80 that the recoding left alone gets its plain
// stand-in, or "?" when Windows-1250 gives it no character; the letters
// left out keep their bytes. Gives which bytes got one.
std::array<bool, 256> AddStandIns(TMap& map, const TCodePage& from,
                                  const TCodePage& to,
                                  const std::vector<char32_t>& leftOut) {
  std::array<bool, 256> standIn{};
  for (std::size_t b = 0x80; b < 256; ++b) {
    if (to[map[b]] == from[b] && from[b] != 0) continue;
    if (std::find(leftOut.begin(), leftOut.end(), from[b]) != leftOut.end()) {
      continue;
    }
    const auto* plain =
        std::find_if(std::begin(kPlainStandIns), std::end(kPlainStandIns),
                     [&](const auto& entry) { return entry.first == from[b]; });
    if (from[b] != 0 && plain == std::end(kPlainStandIns)) {
      ADD_FAILURE() << "no stand-in for U+" << std::hex
                    << static_cast<std::uint32_t>(from[b]);
      continue;
    }
    map[b] = static_cast<unsigned char>(from[b] == 0 ? '?' : plain->second);
    standIn[b] = true;
  }
  return standIn;
}

struct TExpectations {
  std::array<TMap, 256> ByKind;
  std::array<bool, 256> Cp852StandIns{};
  int Cp852Pairs = 0;
  int MazoviaPairs = 0;
};

TExpectations Expected() {
  const TCodePage w1250 = Windows1250();
  const TCodePage cp852 = FromHighHalf(kCp852High);
  const TCodePage mazovia = Mazovia();
  const std::vector<char32_t> leftOut = {U'Ĺ', U'Ď'};
  TExpectations e;
  e.ByKind.fill(IdentityMap());
  e.ByKind[1] = Recoding(cp852, w1250, leftOut);
  e.ByKind[2] = Recoding(mazovia, w1250);
  e.ByKind[3] = Recoding(w1250, mazovia);
  e.ByKind[4] = PlainLetters(mazovia);
  e.ByKind[5] = PlainLetters(w1250);
  e.ByKind[6] = Recoding(w1250, cp852, leftOut);
  e.Cp852Pairs = CountMoved(e.ByKind[6], w1250, cp852);
  e.Cp852StandIns = AddStandIns(e.ByKind[6], w1250, cp852, leftOut);
  e.MazoviaPairs = CountMoved(e.ByKind[3], w1250, mazovia);
  return e;
}

std::string AllBytes() {
  std::string text(256, '\0');
  for (std::size_t b = 0; b < 256; ++b) text[b] = static_cast<char>(b);
  return text;
}

std::string Apply(const TMap& map, const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(map[static_cast<unsigned char>(c)]);
  return out;
}

TEST(ConvertCodePageTables, DerivedExpectationsHoldTheKnownPairs) {
  const TExpectations e = Expected();
  EXPECT_EQ(e.Cp852Pairs, 97);
  EXPECT_EQ(e.MazoviaPairs, 41);
  EXPECT_EQ(e.ByKind[6][0x8A], 0xE6);  // Š
  EXPECT_EQ(e.ByKind[6][0xA5], 0xA4);  // Ą
  EXPECT_EQ(e.ByKind[6][0xA3], 0x9D);  // Ł
  EXPECT_EQ(e.ByKind[6][0xF3], 0xA2);  // ó
  EXPECT_EQ(e.ByKind[6][0xFF], 0xFA);  // ˙
  EXPECT_EQ(e.ByKind[3][0xA0], 0xFF);  // no-break space
  EXPECT_EQ(e.ByKind[3][0xEE], 0x8C);  // î
}

TEST(ConvertCodePageTables, EveryByteOfEveryKindFollowsItsTable) {
  const TExpectations e = Expected();
  const std::string all = AllBytes();
  for (int kind = 0; kind < 256; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    const auto k = static_cast<unsigned char>(kind);
    const std::string expected = Apply(e.ByKind[k], all);
    EXPECT_TRUE(SameBytes(ConvertCodePage(k, all), expected));
    std::string buffer = all;
    ConvertCodePageInPlace(k, buffer.data(), buffer.size());
    EXPECT_TRUE(SameBytes(buffer, expected));
  }
}

TEST(ConvertCodePageTables, OnlyTheWayTo852GivesStandIns) {
  const TExpectations e = Expected();
  EXPECT_EQ(std::count(e.Cp852StandIns.begin(), e.Cp852StandIns.end(), true),
            29);
  for (int kind = 0; kind < 256; ++kind) {
    for (int b = 0; b < 256; ++b) {
      EXPECT_EQ(GivesStandIn(static_cast<unsigned char>(kind),
                             static_cast<unsigned char>(b)),
                kind == kCp1250ToCp852 &&
                    e.Cp852StandIns[static_cast<std::size_t>(b)])
          << "kind " << kind << ", byte " << b;
    }
  }
}

TEST(ConvertCodePageText, PolishTextTravelsToCp852AndBack) {
  const std::string zazolc = Cp1250(u8"Zażółć");
  EXPECT_TRUE(SameBytes(zazolc, Hex("5A 61 BF F3 B3 E6")));
  EXPECT_TRUE(SameBytes(ConvertCodePage(kCp1250ToCp852, zazolc),
                        Hex("5A 61 BE A2 88 86")));
  EXPECT_TRUE(SameBytes(
      ConvertCodePage(kCp852ToCp1250, Hex("5A 61 BE A2 88 86")), zazolc));
}

TEST(ConvertCodePageText,
     LeftOutLettersPassUnchangedAndMissingOnesBecomePlain) {
  EXPECT_TRUE(SameBytes(ConvertCodePage(kCp1250ToCp852, Cp1250(u8"ĹĎ").view()),
                        Hex("C5 CF")));
  EXPECT_TRUE(
      SameBytes(ConvertCodePage(kCp852ToCp1250, Hex("91 D2")), Hex("91 D2")));
  // A box drawing byte read from a table keeps its value.
  EXPECT_TRUE(SameBytes(ConvertCodePage(kCp852ToCp1250, Hex("B0")), Hex("B0")));
  EXPECT_EQ(
      ConvertCodePage(kCp1250ToCp852, Cp1250(u8"„Żabka” – 5 € … ‘ok’").view()),
      Hex("22 BD") + "abka\" - 5 E . 'ok'");
}

TEST(ConvertCodePageText, PolishLettersLoseTheirDiacritics) {
  EXPECT_EQ(ConvertCodePage(kCp1250ToAscii, Cp1250(u8"Żółć").view()), "Zolc");
  EXPECT_EQ(ConvertCodePage(kMazoviaToAscii, Hex("A1 A2 92 8D")), "Zolc");
  EXPECT_EQ(
      ConvertCodePage(kCp1250ToAscii, Cp1250(u8"Gęślą jaźń ĄĆĘŁŃÓŚŹŻ").view()),
      "Gesla jazn ACELNOSZZ");
}

TEST(ConvertCodePageText, KindsWithoutTableAndEmptyTextChangeNothing) {
  const std::string text = Cp1250(u8"Zażółć\t1\x7F").str() + Hex("80 FF 00");
  for (const int kind : {0, 7, 8, 100, 255}) {
    EXPECT_TRUE(SameBytes(
        ConvertCodePage(static_cast<unsigned char>(kind), text), text));
  }
  for (int kind = 0; kind < 256; ++kind) {
    const auto k = static_cast<unsigned char>(kind);
    EXPECT_EQ(ConvertCodePage(k, ""), "");
    ConvertCodePageInPlace(k, nullptr, 0);
  }
}

TEST(LangconvControlToSpace, BlanksControlCharactersOnly) {
  EXPECT_EQ(ControlToSpace("A\tB\r\n"), "A B  ");
  EXPECT_TRUE(SameBytes(ControlToSpace(Hex("00 01 1F 20 7F 80 FF")),
                        Hex("20 20 20 20 7F 80 FF")));
  EXPECT_EQ(ControlToSpace(""), "");
}

TEST(LangconvBreaksToCaret, MarksTabsAndLineFeedsButKeepsCarriageReturns) {
  EXPECT_EQ(BreaksToCaret("\r\n", '^'), "\r^");
  EXPECT_EQ(BreaksToCaret("a\tb\nc\x0B", '^'), "a^b^c\x0B");
  EXPECT_EQ(BreaksToCaret("\t", '#'), "#");
  EXPECT_EQ(BreaksToCaret("", '^'), "");
}

}  // namespace
}  // namespace bridge
