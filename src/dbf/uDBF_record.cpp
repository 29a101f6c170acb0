// The typed values of a record: the text each kind of value is stored as in
// its field, and how that text reads back.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>

#include "dbf/uDBF.h"
#include "platform/Text.h"

namespace bridge {
namespace {

constexpr char kBlank = ' ';
constexpr char kDeleted = '*';

// Up to size characters from position on; none beyond the end.
std::string_view Part(std::string_view text, std::size_t position,
                      std::size_t size) {
  if (position >= text.size()) return {};
  return text.substr(position, size);
}

// The bytes that a loop over eight at a time leaves over at the end of a
// text of four bytes or more, in one word: its last eight bytes, or the
// first and the last four of a shorter text. The bytes it holds twice are
// the same bytes, which AllPrintableAscii takes as it takes any.
std::uint64_t LastWord(const char* text, std::size_t size) {
  std::uint32_t first;
  std::uint32_t last;
  std::memcpy(&first, text + (size >= 8 ? size - 8 : 0), sizeof first);
  std::memcpy(&last, text + size - 4, sizeof last);
  return first | (std::uint64_t{last} << 32);
}

// Puts map[b] for each byte b of from into to, and gives the sum of what
// the entries carry above their low eight bits. Where printableKept says the
// map keeps the printable ASCII bytes, runs of eight of them are copied.
template <class Map>
unsigned MapBytes(const Map& map, bool printableKept, const char* from,
                  std::size_t size, char* to) {
  unsigned carried = 0;
  std::size_t i = 0;
  const auto one = [&](std::size_t at) {
    const auto mapped = map[static_cast<unsigned char>(from[at])];
    to[at] = static_cast<char>(mapped & 0xFF);
    carried += static_cast<unsigned>(mapped >> 8);
  };
  if (printableKept) {
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, from + i, sizeof word);
      if (AllPrintableAscii(word)) {
        std::memcpy(to + i, &word, sizeof word);
      } else {
        for (std::size_t k = i; k < i + 8; ++k) one(k);
      }
    }
    // The bytes left over, when they are printable too: a byte copied twice
    // is the same byte.
    if (i < size && size >= 4 && AllPrintableAscii(LastWord(from, size))) {
      const std::size_t low = size >= 8 ? size - 8 : 0;
      std::memcpy(to + low, from + low, 4);
      std::memcpy(to + size - 4, from + size - 4, 4);
      return carried;
    }
  }
  for (; i < size; ++i) one(i);
  return carried;
}

}  // namespace

void TDBFRecord::SetString(std::string_view name, std::string_view text) {
  SetString(FTable.FieldOrError(name), text);
}

void TDBFRecord::SetInteger(std::string_view name, std::int32_t value) {
  SetInteger(FTable.FieldOrError(name), value);
}

void TDBFRecord::SetFloat(std::string_view name, double value) {
  SetFloat(FTable.FieldOrError(name), value);
}

void TDBFRecord::SetBoolean(std::string_view name, bool value) {
  SetBoolean(FTable.FieldOrError(name), value);
}

void TDBFRecord::SetDate(std::string_view name, TDateTime value) {
  SetDate(FTable.FieldOrError(name), value);
}

std::string TDBFRecord::GetString(std::string_view name) const {
  return GetString(FTable.FieldOrError(name));
}

std::int32_t TDBFRecord::GetInteger(std::string_view name) const {
  return GetInteger(FTable.FieldOrError(name));
}

double TDBFRecord::GetFloat(std::string_view name) const {
  return GetFloat(FTable.FieldOrError(name));
}

bool TDBFRecord::GetBoolean(std::string_view name) const {
  return GetBoolean(FTable.FieldOrError(name));
}

TDateTime TDBFRecord::GetDate(std::string_view name) const {
  return GetDate(FTable.FieldOrError(name));
}

void TDBFRecord::SetString(const TDBFFieldDef& field, std::string_view text) {
  FTable.WriteValue(field, text, TDBF::TPlacement::kLeft);
}

void TDBFRecord::SetInteger(const TDBFFieldDef& field, std::int32_t value) {
  std::array<char, 16> text{};
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), value);
  FTable.WriteValue(
      field,
      std::string_view(text.data(),
                       static_cast<std::size_t>(result.ptr - text.data())),
      TDBF::TPlacement::kRight, TDBF::TText::kPlainAscii);
}

void TDBFRecord::SetFloat(const TDBFFieldDef& field, double value) {
  // Number fields are written millions of times per run: the text stays on
  // the stack.
  TFixedBuffer text;
  const std::size_t size = FormatFixedInto(value, field.Decimals(), '.', text);
  FTable.WriteValue(field, std::string_view(text.data(), size),
                    TDBF::TPlacement::kRight, TDBF::TText::kPlainAscii);
}

void TDBFRecord::SetBoolean(const TDBFFieldDef& field, bool value) {
  FTable.WriteValue(field, value ? "T" : "F", TDBF::TPlacement::kLeft,
                    TDBF::TText::kPlainAscii);
}

void TDBFRecord::SetDate(const TDBFFieldDef& field, TDateTime value) {
  TDateText text;
  FTable.WriteValue(field, FormatDateInto(value, text, TDateForm::kCompact),
                    TDBF::TPlacement::kLeft, TDBF::TText::kPlainAscii);
}

std::string TDBFRecord::GetString(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  return std::string(GetText(field, text));
}

std::string_view TDBFRecord::GetText(const TDBFFieldDef& field,
                                     TDBFFieldText& text) const {
  return std::string_view(text.data(), FTable.ValueText(field, text));
}

std::int32_t TDBFRecord::GetInteger(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  const std::size_t size =
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly);
  return ParseInt32(TrimView(std::string_view(text.data(), size))).value_or(0);
}

double TDBFRecord::GetFloat(const TDBFFieldDef& field) const {
  // Digits with at most a "." read the same with or without the byte maps
  // and the separator put in the point's place, so those are read where
  // they lie.
  if (const auto plain = ParsePlainDecimal(FTable.StoredText(field), '.')) {
    return *plain;
  }
  TDBF::TFieldText text;
  const std::size_t size =
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly);
  const char separator = FTable.FDecimalSeparator;
  char* point = std::find(text.data(), text.data() + size, '.');
  if (point != text.data() + size) *point = separator;
  return ParseFloat(TrimView(std::string_view(text.data(), size)), separator)
      .value_or(0.0);
}

bool TDBFRecord::GetBoolean(const TDBFFieldDef& field) const {
  // A flag stored as one printable byte reads as that byte: the maps keep
  // every byte above the blank.
  const std::string_view stored = FTable.StoredText(field);
  if (stored.size() == 1 && static_cast<unsigned char>(stored[0]) > 32) {
    const char letter = UpperCaseChar(stored[0]);
    return letter == 'T' || letter == 'Y';
  }
  TDBF::TFieldText text;
  const std::size_t size =
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly);
  const std::string_view value = TrimView(std::string_view(text.data(), size));
  if (value.size() != 1) return false;
  const char letter = UpperCaseChar(value[0]);
  return letter == 'T' || letter == 'Y';
}

TDateTime TDBFRecord::GetDate(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  const std::string_view value(
      text.data(),
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly));
  const std::optional<std::int32_t> year = ParseInt32(Part(value, 0, 4));
  const std::optional<std::int32_t> month = ParseInt32(Part(value, 4, 2));
  const std::optional<std::int32_t> day = ParseInt32(Part(value, 6, 2));
  if (!year || !month || !day || *year == 0 || *month == 0 || *day == 0) {
    return 0;
  }
  TDateTime date = 0;
  return TryEncodeDateTime(TDateParts{*year, *month, *day, 0, 0, 0, 0}, date)
             ? date
             : 0;
}

bool TDBFRecord::IsDeleted() const {
  return !FTable.FBuffer.empty() && FTable.FBuffer[0] == kDeleted;
}

// --- The record buffer ------------------------------------------------------

void TDBF::WriteValue(const TDBFFieldDef& field, std::string_view text,
                      TPlacement placement, TText kind) {
  const auto length = static_cast<std::size_t>(field.Length());
  // A field outside this table's records (one declared after CreateTable, or
  // a buffer not yet prepared) takes nothing.
  if (field.Offset() < 0 ||
      static_cast<std::size_t>(field.Offset()) + 1 + length > FBuffer.size()) {
    return;
  }
  char* bytes = FBuffer.data() + 1 + field.Offset();
  std::memset(bytes, kBlank, length);
  const std::size_t size = std::min(length, text.size());
  if (size < text.size() && !TrimView(text.substr(size)).empty()) {
    ++FWriteCounts.Cut;
  }
  char* to = placement == TPlacement::kRight && text.size() < length
                 ? bytes + (length - text.size())
                 : bytes;
  if (kind == TText::kPlainAscii) {
    std::memcpy(to, text.data(), size);
    return;
  }
  // Each conversion maps byte to byte, so converting the bytes placed is the
  // same as converting the text and then placing it.
  static_assert(kStandInShift == 8);
  FWriteCounts.Replaced += MapBytes(field.Clean() ? FWriteClean : FWriteRaw,
                                    FPrintableKept, text.data(), size, to);
}

std::string_view TDBF::StoredText(const TDBFFieldDef& field) const {
  const auto length = static_cast<std::size_t>(field.Length());
  if (field.Offset() < 0 ||
      static_cast<std::size_t>(field.Offset()) + 1 + length > FBuffer.size()) {
    return {};
  }
  const std::string_view stored(FBuffer.data() + 1 + field.Offset(), length);
  return field.Clean() ? TrimView(stored) : stored;
}

std::size_t TDBF::ValueText(const TDBFFieldDef& field, TFieldText& text,
                            TConversion conversion) const {
  const std::string_view stored = StoredText(field);
  const TByteMap& map =
      conversion == TConversion::kConvert ? FReadConverted : FReadPlain;
  MapBytes(map, FPrintableKept, stored.data(), stored.size(), text.data());
  return stored.size();
}

}  // namespace bridge
