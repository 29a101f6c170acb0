#include "core/Ulangconv.h"

#include <array>
#include <cstdint>
#include <iterator>

namespace bridge {
namespace {

struct TBytePair {
  std::uint8_t Cp1250;
  std::uint8_t Other;  // the byte of the same character in the other code page
};

// Windows-1250 and code page 852: every byte from 0x80 whose Windows-1250
// character code page 852 also has, in ascending order of the Windows-1250
// byte. Ĺ (C5, 91) and Ď (CF, D2) are left out, so their bytes pass unchanged
// both ways.
constexpr TBytePair kCp852Pairs[] = {
    {0x8A, 0xE6}, {0x8C, 0x97}, {0x8D, 0x9B}, {0x8E, 0xA6},  // Š Ś Ť Ž
    {0x8F, 0x8D}, {0x9A, 0xE7}, {0x9C, 0x98}, {0x9D, 0x9C},  // Ź š ś ť
    {0x9E, 0xA7}, {0x9F, 0xAB}, {0xA0, 0xFF}, {0xA1, 0xF3},  // ž ź nbsp ˇ
    {0xA2, 0xF4}, {0xA3, 0x9D}, {0xA4, 0xCF}, {0xA5, 0xA4},  // ˘ Ł ¤ Ą
    {0xA7, 0xF5}, {0xA8, 0xF9}, {0xAA, 0xB8}, {0xAB, 0xAE},  // § ¨ Ş «
    {0xAC, 0xAA}, {0xAD, 0xF0}, {0xAF, 0xBD}, {0xB0, 0xF8},  // ¬ shy Ż °
    {0xB2, 0xF2}, {0xB3, 0x88}, {0xB4, 0xEF}, {0xB8, 0xF7},  // ˛ ł ´ ¸
    {0xB9, 0xA5}, {0xBA, 0xAD}, {0xBB, 0xAF}, {0xBC, 0x95},  // ą ş » Ľ
    {0xBD, 0xF1}, {0xBE, 0x96}, {0xBF, 0xBE}, {0xC0, 0xE8},  // ˝ ľ ż Ŕ
    {0xC1, 0xB5}, {0xC2, 0xB6}, {0xC3, 0xC6}, {0xC4, 0x8E},  // Á Â Ă Ä
    {0xC6, 0x8F}, {0xC7, 0x80}, {0xC8, 0xAC}, {0xC9, 0x90},  // Ć Ç Č É
    {0xCA, 0xA8}, {0xCB, 0xD3}, {0xCC, 0xB7}, {0xCD, 0xD6},  // Ę Ë Ě Í
    {0xCE, 0xD7}, {0xD0, 0xD1}, {0xD1, 0xE3}, {0xD2, 0xD5},  // Î Đ Ń Ň
    {0xD3, 0xE0}, {0xD4, 0xE2}, {0xD5, 0x8A}, {0xD6, 0x99},  // Ó Ô Ő Ö
    {0xD7, 0x9E}, {0xD8, 0xFC}, {0xD9, 0xDE}, {0xDA, 0xE9},  // × Ř Ů Ú
    {0xDB, 0xEB}, {0xDC, 0x9A}, {0xDD, 0xED}, {0xDE, 0xDD},  // Ű Ü Ý Ţ
    {0xDF, 0xE1}, {0xE0, 0xEA}, {0xE1, 0xA0}, {0xE2, 0x83},  // ß ŕ á â
    {0xE3, 0xC7}, {0xE4, 0x84}, {0xE5, 0x92}, {0xE6, 0x86},  // ă ä ĺ ć
    {0xE7, 0x87}, {0xE8, 0x9F}, {0xE9, 0x82}, {0xEA, 0xA9},  // ç č é ę
    {0xEB, 0x89}, {0xEC, 0xD8}, {0xED, 0xA1}, {0xEE, 0x8C},  // ë ě í î
    {0xEF, 0xD4}, {0xF0, 0xD0}, {0xF1, 0xE4}, {0xF2, 0xE5},  // ď đ ń ň
    {0xF3, 0xA2}, {0xF4, 0x93}, {0xF5, 0x8B}, {0xF6, 0x94},  // ó ô ő ö
    {0xF7, 0xF6}, {0xF8, 0xFD}, {0xF9, 0x85}, {0xFA, 0xA3},  // ÷ ř ů ú
    {0xFB, 0xFB}, {0xFC, 0x81}, {0xFD, 0xEC}, {0xFE, 0xEE},  // ű ü ý ţ
    {0xFF, 0xFA},                                            // ˙
};

// What code page 852 gets for a Windows-1250 byte whose character it lacks:
// the nearest plain character, so that a receipt shows a quote as a quote
// rather than the letter that 852 keeps at that byte. The five bytes that
// name no character in Windows-1250 become "?". Ĺ and Ď are not here: their
// bytes pass unchanged, like any byte the pairs leave out.
constexpr TBytePair kCp852StandIns[] = {
    {0x80, 'E'},  {0x81, '?'},  {0x82, '\''}, {0x83, '?'},  // € - ‚ -
    {0x84, '"'},  {0x85, '.'},  {0x86, '+'},  {0x87, '+'},  // „ … † ‡
    {0x88, '?'},  {0x89, '%'},  {0x8B, '<'},  {0x90, '?'},  // - ‰ ‹ -
    {0x91, '\''}, {0x92, '\''}, {0x93, '"'},  {0x94, '"'},  // ‘ ’ “ ”
    {0x95, '*'},  {0x96, '-'},  {0x97, '-'},  {0x98, '?'},  // • – — -
    {0x99, 'T'},  {0x9B, '>'},  {0xA6, '|'},  {0xA9, 'C'},  // ™ › ¦ ©
    {0xAE, 'R'},  {0xB1, '+'},  {0xB5, 'u'},  {0xB6, 'P'},  // ® ± µ ¶
    {0xB7, '.'},                                            // ·
};

// Windows-1250 and Mazovia (code page 437 with the Polish letters at their
// Mazovia bytes).
constexpr TBytePair kMazoviaPairs[] = {
    {0x8C, 0x98}, {0x8F, 0xA0}, {0x9C, 0x9E}, {0x9F, 0xA6},  // Ś Ź ś ź
    {0xA0, 0xFF}, {0xA3, 0x9C}, {0xA5, 0x8F}, {0xAB, 0xAE},  // nbsp Ł Ą «
    {0xAC, 0xAA}, {0xAF, 0xA1}, {0xB0, 0xF8}, {0xB1, 0xF1},  // ¬ Ż ° ±
    {0xB3, 0x92}, {0xB5, 0xE6}, {0xB7, 0xFA}, {0xB9, 0x86},  // ł µ · ą
    {0xBB, 0xAF}, {0xBF, 0xA7}, {0xC4, 0x8E}, {0xC6, 0x95},  // » ż Ä Ć
    {0xC7, 0x80}, {0xCA, 0x90}, {0xD1, 0xA5}, {0xD3, 0xA3},  // Ç Ę Ń Ó
    {0xD6, 0x99}, {0xDC, 0x9A}, {0xDF, 0xE1}, {0xE2, 0x83},  // Ö Ü ß â
    {0xE4, 0x84}, {0xE6, 0x8D}, {0xE7, 0x87}, {0xE9, 0x82},  // ä ć ç é
    {0xEA, 0x91}, {0xEB, 0x89}, {0xEE, 0x8C}, {0xF1, 0xA4},  // ę ë î ń
    {0xF3, 0xA2}, {0xF4, 0x93}, {0xF6, 0x94}, {0xF7, 0xF6},  // ó ô ö ÷
    {0xFC, 0x81},                                            // ü
};

struct TLetter {
  std::uint8_t Ascii;
  std::uint8_t Mazovia;
  std::uint8_t Cp1250;
};

// The Polish letters and the plain letters they lose their diacritics to.
constexpr TLetter kPolishLetters[] = {
    {'A', 0x8F, 0xA5}, {'C', 0x95, 0xC6}, {'E', 0x90, 0xCA},  // Ą Ć Ę
    {'L', 0x9C, 0xA3}, {'N', 0xA5, 0xD1}, {'O', 0xA3, 0xD3},  // Ł Ń Ó
    {'S', 0x98, 0x8C}, {'Z', 0xA0, 0x8F}, {'Z', 0xA1, 0xAF},  // Ś Ź Ż
    {'a', 0x86, 0xB9}, {'c', 0x8D, 0xE6}, {'e', 0x91, 0xEA},  // ą ć ę
    {'l', 0x92, 0xB3}, {'n', 0xA4, 0xF1}, {'o', 0xA2, 0xF3},  // ł ń ó
    {'s', 0x9E, 0x9C}, {'z', 0xA6, 0x9F}, {'z', 0xA7, 0xBF},  // ś ź ż
};

static_assert(std::size(kCp852Pairs) == 97);
static_assert(std::size(kCp852StandIns) == 29);
static_assert(std::size(kMazoviaPairs) == 41);
static_assert(std::size(kPolishLetters) == 18);

using TByteMap = std::array<std::uint8_t, 256>;

constexpr TByteMap Identity() {
  TByteMap map{};
  for (std::size_t i = 0; i < map.size(); ++i) {
    map[i] = static_cast<std::uint8_t>(i);
  }
  return map;
}

// A byte listed twice on the source side converts by its first entry, so an
// entry only fills a byte that no earlier entry claimed.
template <typename TEntry, std::size_t N, typename TFrom, typename TTo>
constexpr TByteMap MapOf(const TEntry (&entries)[N], TFrom from, TTo to) {
  TByteMap map = Identity();
  std::array<bool, 256> claimed{};
  for (const TEntry& entry : entries) {
    const std::uint8_t source = from(entry);
    if (claimed[source]) continue;
    claimed[source] = true;
    map[source] = to(entry);
  }
  return map;
}

constexpr std::uint8_t PairCp1250(const TBytePair& p) { return p.Cp1250; }
constexpr std::uint8_t PairOther(const TBytePair& p) { return p.Other; }
constexpr std::uint8_t LetterMazovia(const TLetter& l) { return l.Mazovia; }
constexpr std::uint8_t LetterCp1250(const TLetter& l) { return l.Cp1250; }
constexpr std::uint8_t LetterAscii(const TLetter& l) { return l.Ascii; }

// The pairs, then a stand-in for every byte that no pair claimed.
constexpr TByteMap Cp1250ToCp852() {
  TByteMap map = MapOf(kCp852Pairs, PairCp1250, PairOther);
  for (const TBytePair& standIn : kCp852StandIns) {
    map[standIn.Cp1250] = standIn.Other;
  }
  return map;
}

// One map per kind from 0 to 6; the kinds above convert nothing. They are
// filled at compile time, so a conversion is one lookup per byte.
constexpr std::array<TByteMap, 7> kMaps = {
    Identity(),
    MapOf(kCp852Pairs, PairOther, PairCp1250),
    MapOf(kMazoviaPairs, PairOther, PairCp1250),
    MapOf(kMazoviaPairs, PairCp1250, PairOther),
    MapOf(kPolishLetters, LetterMazovia, LetterAscii),
    MapOf(kPolishLetters, LetterCp1250, LetterAscii),
    Cp1250ToCp852(),
};

constexpr std::array<bool, 256> StandInBytes() {
  std::array<bool, 256> standIn{};
  for (const TBytePair& entry : kCp852StandIns) standIn[entry.Cp1250] = true;
  return standIn;
}
constexpr std::array<bool, 256> kStandInBytes = StandInBytes();

// A stand-in never falls on a byte that a pair converts.
constexpr bool StandInsAvoidPairs() {
  for (const TBytePair& pair : kCp852Pairs) {
    if (kStandInBytes[pair.Cp1250]) return false;
  }
  return true;
}
static_assert(StandInsAvoidPairs());

}  // namespace

void ConvertCodePageInPlace(unsigned char kind, char* data, std::size_t size) {
  if (kind == kNoConversion || kind >= kMaps.size()) return;
  const TByteMap& map = kMaps[kind];
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<char>(map[static_cast<std::uint8_t>(data[i])]);
  }
}

bool GivesStandIn(unsigned char kind, unsigned char byte) {
  return kind == kCp1250ToCp852 && kStandInBytes[byte];
}

std::string ConvertCodePage(unsigned char kind, std::string_view text) {
  std::string result(text);
  ConvertCodePageInPlace(kind, result.data(), result.size());
  return result;
}

std::string ControlToSpace(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  }
  return result;
}

std::string BreaksToCaret(std::string_view text, char mark) {
  std::string result(text);
  for (char& c : result) {
    if (c == '\t' || c == '\n') c = mark;
  }
  return result;
}

}  // namespace bridge
