#include "textfile/uZendorTextFileDef.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Uglobal.h"
#include "core/Ulangconv.h"
#include "core/Umessages.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "textfile/uZendorTextFileDef_messages.h"

namespace bridge {
namespace {

constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

[[noreturn]] void Raise(std::string_view message, std::string_view subject) {
  throw EBridgeError(std::string(message) + std::string(subject));
}

// Trims where the text lies.
void TrimInPlace(std::string& text) {
  const std::string_view trimmed = TrimView(text);
  const auto begin = static_cast<std::size_t>(trimmed.data() - text.data());
  text.resize(begin + trimmed.size());
  text.erase(0, begin);
}

// x nudged away from zero, then fixed decimals with "." whatever the system
// separator, in out.
std::string_view FormatNudged(double x, double nudge, int decimals,
                              TFixedBuffer& out) {
  const std::size_t size =
      FormatFixedInto(x > 0 ? x + nudge : x - nudge, decimals, '.', out);
  return std::string_view(out.data(), size);
}

// Calls found(position) for each TAB of text in order, until it gives
// false. Many bytes are looked at a time: a line holds many short values,
// and a search per value costs more than the search itself. Sixteen at a
// time where the processor compares them at once (every x86-64 one does),
// then eight: a byte is a TAB when it is zero after the exclusive or; the
// test below is exact for each byte, as no sum carries from one byte into
// the next.
template <class Found>
void ForEachTab(std::string_view text, Found found) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i kTabs16 = _mm_set1_epi8('\t');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    for (auto tabs = static_cast<unsigned>(
             _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, kTabs16)));
         tabs != 0; tabs &= tabs - 1) {
      if (!found(i + static_cast<std::size_t>(std::countr_zero(tabs)))) {
        return;
      }
    }
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kTabs = kEveryByte * '\t';
    constexpr std::uint64_t kLow7 = kEveryByte * 0x7F;
    for (; i + 8 <= text.size(); i += 8) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, sizeof word);
      const std::uint64_t x = word ^ kTabs;
      for (std::uint64_t tabs = ~(((x & kLow7) + kLow7) | x | kLow7); tabs != 0;
           tabs &= tabs - 1) {
        if (!found(i + static_cast<std::size_t>(std::countr_zero(tabs) / 8))) {
          return;
        }
      }
    }
  }
  for (; i < text.size(); ++i) {
    if (text[i] == '\t' && !found(i)) return;
  }
}

// memcpy for the few bytes of most values, without a call: a value of 4 to
// 16 bytes goes as two pieces that may overlap.
inline void CopyShort(char* to, const char* from, std::size_t size) {
  if (size > 16) {
    std::memcpy(to, from, size);
  } else if (size >= 8) {
    std::uint64_t first;
    std::uint64_t last;
    std::memcpy(&first, from, 8);
    std::memcpy(&last, from + size - 8, 8);
    std::memcpy(to, &first, 8);
    std::memcpy(to + size - 8, &last, 8);
  } else if (size >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, from, 4);
    std::memcpy(&last, from + size - 4, 4);
    std::memcpy(to, &first, 4);
    std::memcpy(to + size - 4, &last, 4);
  } else {
    for (std::size_t i = 0; i < size; ++i) to[i] = from[i];
  }
}

std::optional<std::int32_t> TrimmedInt(std::string_view text) {
  return ParseInt32(TrimView(text));
}

}  // namespace

// --- Reading lines -----------------------------------------------------------

// The lines of a host file, read chunk by chunk with every NUL byte left out
// before the line ends are looked for, so that CR NUL LF is one CR LF, as if
// the NUL bytes had never been in the file.
class THostLineReader {
 public:
  THostLineReader(std::unique_ptr<platform::TFile> file, std::size_t chunkSize)
      : FFile(std::move(file)),
        FBuffer(std::max<std::size_t>(chunkSize, 1), '\0') {}

  // The next line without its ending; false after the last one. The text
  // stays valid until the next call.
  bool Next(std::string_view& line) {
    FCarry.clear();
    bool carrying = false;
    for (;;) {
      if (FPos == FEnd && !Fill()) {
        if (!carrying) return false;
        line = FCarry;
        return true;
      }
      if (FSkipLf) {
        // The CR that ended the last line may have ended its chunk too.
        FSkipLf = false;
        if (FBuffer[FPos] == '\n') {
          ++FPos;
          continue;
        }
      }
      const std::size_t stop =
          std::min(NextOf('\r', FNextCr), NextOf('\n', FNextLf));
      const char* start = FBuffer.data() + FPos;
      if (stop == FEnd) {
        FCarry.append(start, FEnd - FPos);
        FPos = FEnd;
        carrying = true;
        continue;
      }
      FSkipLf = FBuffer[stop] == '\r';
      const std::size_t length = stop - FPos;
      FPos = stop + 1;
      if (carrying) {
        FCarry.append(start, length);
        line = FCarry;
      } else {
        line = std::string_view(start, length);
      }
      return true;
    }
  }

  std::optional<std::uint64_t> Size() const { return FFile->Size(); }

  [[nodiscard]] bool Rewind() {
    FPos = FEnd = 0;
    FSkipLf = false;
    FCarry.clear();
    return FFile->Seek(0);
  }

 private:
  // False at the end of the file. A read that fails is no end: taken for
  // one, it would pass the first part of a file for all of it.
  bool Fill() {
    for (;;) {
      const auto read = FFile->Read(FBuffer.data(), FBuffer.size());
      if (!read) Raise(kReadFailed.view(), FFile->Path());
      const std::size_t got = *read;
      FPos = FEnd = 0;
      if (got == 0) return false;
      char* begin = FBuffer.data();
      char* end = begin + got;
      if (auto* nul = static_cast<char*>(std::memchr(begin, '\0', got))) {
        end = std::remove(nul, end, '\0');
      }
      FEnd = static_cast<std::size_t>(end - begin);
      FNextCr = FNextLf = kUnknown;
      if (FEnd > 0) return true;
    }
  }

  // The position of the next c from FPos on, FEnd for none. The answer is
  // kept until the walk passes it, so a chunk of lines that end in CR alone
  // is not searched for LF once per line.
  std::size_t NextOf(char c, std::size_t& cache) {
    if (cache == kUnknown || cache < FPos) {
      const void* hit = std::memchr(FBuffer.data() + FPos, c, FEnd - FPos);
      cache = hit == nullptr
                  ? FEnd
                  : static_cast<std::size_t>(static_cast<const char*>(hit) -
                                             FBuffer.data());
    }
    return cache;
  }

  std::unique_ptr<platform::TFile> FFile;
  std::string FBuffer;
  std::size_t FPos = 0;
  std::size_t FEnd = 0;
  std::size_t FNextCr = kUnknown;
  std::size_t FNextLf = kUnknown;
  bool FSkipLf = false;
  std::string FCarry;  // a line that crosses a chunk boundary
};

// --- Records -----------------------------------------------------------------

TZendorProRecord::TZendorProRecord(TZendorProFile& file) : FFile(&file) {}

std::int32_t TZendorProRecord::Resolve(std::string_view name) const {
  const std::int32_t index = FFile->Definition().IndexOf(name);
  if (index < 0) Raise(kTextFieldNotDefined.view(), name);
  return index;
}

const TTextFileItem& TZendorProRecord::ItemAt(std::int32_t index) const {
  const TTextFileItem* item = FFile->Definition().Item(index);
  if (item == nullptr) Raise(kTextFieldNotDefined.view(), IntToStr(index));
  return *item;
}

void TZendorProRecord::EnsureSlots(std::size_t count) {
  if (FSlots.size() < count) FSlots.resize(count);
}

char* TZendorProRecord::StoreAt(std::int32_t index, std::string_view text) {
  const auto slot = static_cast<std::size_t>(index);
  EnsureSlots(slot + 1);
  if (FCount <= slot) {
    TSlot* slots = FSlots.data();
    for (std::size_t k = FCount; k < slot; ++k) slots[k] = TSlot{};
    FCount = slot + 1;
  }
  const std::size_t begin = FLine.size();
  FLine.append(text);
  FSlots[slot] = TSlot{begin, text.size()};
  return FLine.data() + begin;
}

std::string_view TZendorProRecord::ValueText(std::size_t slot) const {
  if (slot >= FCount) return {};
  const TSlot& value = FSlots[slot];
  return std::string_view(FLine.data() + value.Begin, value.Size);
}

std::string_view TZendorProRecord::ReadView(std::int32_t index) const {
  const TTextFileItem& item = ItemAt(index);
  std::string_view raw = ValueText(static_cast<std::size_t>(index));
  if (FFile->ReadCodePage() == kNoConversion) {
    // Without a conversion, trimming before the control characters are
    // blanked gives what trimming after it gives, and a value that holds no
    // control character needs no copy.
    std::string_view text = TrimView(raw);
    if (!HasControlCharacter(text)) {
      if (!text.empty() && text.back() == '^') text.remove_suffix(1);
      return text;
    }
  }
  if (item.Clean()) raw = TrimView(raw);
  FScratch.assign(raw);
  ConvertCodePageInPlace(FFile->ReadCodePage(), FScratch.data(),
                         FScratch.size());
  BlankControlCharacters(FScratch.data(), FScratch.size());
  TrimInPlace(FScratch);
  if (!FScratch.empty() && FScratch.back() == '^') FScratch.pop_back();
  return FScratch;
}

void TZendorProRecord::SetString(std::string_view name, std::string_view text) {
  SetStringAt(Resolve(name), text);
}
void TZendorProRecord::SetInteger(std::string_view name, std::int32_t value) {
  SetIntegerAt(Resolve(name), value);
}
void TZendorProRecord::SetMoney(std::string_view name, double value) {
  SetMoneyAt(Resolve(name), value);
}
void TZendorProRecord::SetQuantity(std::string_view name, double value) {
  SetQuantityAt(Resolve(name), value);
}
void TZendorProRecord::SetBoolean(std::string_view name, bool value) {
  SetBooleanAt(Resolve(name), value);
}
void TZendorProRecord::SetDate(std::string_view name, TDateTime value) {
  SetDateAt(Resolve(name), value);
}
std::string TZendorProRecord::GetString(std::string_view name) const {
  return GetStringAt(Resolve(name));
}
std::int32_t TZendorProRecord::GetInteger(std::string_view name) const {
  return GetIntegerAt(Resolve(name));
}
double TZendorProRecord::GetFloat(std::string_view name) const {
  return GetFloatAt(Resolve(name));
}
bool TZendorProRecord::GetBoolean(std::string_view name) const {
  return GetBooleanAt(Resolve(name));
}
TDateTime TZendorProRecord::GetDate(std::string_view name) const {
  return GetDateAt(Resolve(name));
}

void TZendorProRecord::SetStringAt(std::int32_t index, std::string_view text) {
  const bool clean = ItemAt(index).Clean();
  char* value = StoreAt(index, text);
  if (FFile->WriteCodePage() != kNoConversion) {
    ConvertCodePageInPlace(FFile->WriteCodePage(), value, text.size());
  }
  if (clean) BlankControlCharacters(value, text.size());
}

void TZendorProRecord::SetFormattedAt(std::int32_t index,
                                      std::string_view text) {
  ItemAt(index);
  char* value = StoreAt(index, text);
  if (FFile->WriteCodePage() != kNoConversion) {
    ConvertCodePageInPlace(FFile->WriteCodePage(), value, text.size());
  }
}

void TZendorProRecord::SetIntegerAt(std::int32_t index, std::int32_t value) {
  std::array<char, 16> digits{};
  const auto end =
      std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
  SetFormattedAt(
      index, std::string_view(digits.data(),
                              static_cast<std::size_t>(end - digits.data())));
}

void TZendorProRecord::SetMoneyAt(std::int32_t index, double value) {
  TFixedBuffer text;
  SetFormattedAt(index, FormatNudged(value, 0.00001, 2, text));
}

void TZendorProRecord::SetQuantityAt(std::int32_t index, double value) {
  TFixedBuffer text;
  SetFormattedAt(index, FormatNudged(value, 0.000001, 3, text));
}

void TZendorProRecord::SetBooleanAt(std::int32_t index, bool value) {
  SetFormattedAt(index, value ? "T" : "N");
}

void TZendorProRecord::SetDateAt(std::int32_t index, TDateTime value) {
  TDateText text;
  SetFormattedAt(index, FormatDateInto(value, text));
}

std::string TZendorProRecord::GetStringAt(std::int32_t index) const {
  return std::string(ReadView(index));
}

std::string_view TZendorProRecord::GetStringViewAt(std::int32_t index) const {
  return ReadView(index);
}

std::int32_t TZendorProRecord::GetIntegerAt(std::int32_t index) const {
  return ParseInt32(NumberView(index)).value_or(0);
}

std::string_view TZendorProRecord::NumberView(std::int32_t index) const {
  if (FFile->ReadCodePage() != kNoConversion) return ReadView(index);
  // A control character inside a number makes it unreadable whether or not
  // it was blanked first, and those at the ends go with the trimming, so a
  // number needs neither the scan for them nor a copy.
  ItemAt(index);
  std::string_view text = TrimView(ValueText(static_cast<std::size_t>(index)));
  if (!text.empty() && text.back() == '^') {
    text.remove_suffix(1);
    // What stood before the caret stays as GetString leaves it.
    if (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) {
      return ReadView(index);
    }
  }
  return text;
}

double TZendorProRecord::GetFloatAt(std::int32_t index) const {
  std::string_view text = NumberView(index);
  const char separator = SystemDecimalSeparator();
  const std::size_t point = text.find('.');
  if (separator != '.' && point != std::string_view::npos) {
    FNumber.assign(text);
    FNumber[point] = separator;
    text = FNumber;
  }
  return ParseFloat(text, separator).value_or(0.0);
}

bool TZendorProRecord::GetBooleanAt(std::int32_t index) const {
  const std::string_view text = ReadView(index);
  return text.size() == 1 && UpperCaseChar(text[0]) == 'T';
}

TDateTime TZendorProRecord::GetDateAt(std::int32_t index) const {
  const std::string_view text = ReadView(index);
  const std::size_t firstDash = text.find('-');
  if (firstDash == std::string_view::npos) return 0;
  const std::string_view rest = text.substr(firstDash + 1);
  const std::size_t secondDash = rest.find('-');
  if (secondDash == std::string_view::npos) return 0;
  const auto year = TrimmedInt(text.substr(0, firstDash));
  const auto month = TrimmedInt(rest.substr(0, secondDash));
  const auto day = TrimmedInt(rest.substr(secondDash + 1));
  if (!year || !month || !day) return 0;
  TDateParts parts;
  parts.Year = *year;
  parts.Month = *month;
  parts.Day = *day;
  TDateTime result = 0;
  return TryEncodeDateTime(parts, result) ? result : 0;
}

void TZendorProRecord::ParseLine(std::string_view line) {
  // Pieces beyond the definitions can be reached neither by name nor by
  // ToLine, so they are not kept.
  const auto defined = static_cast<std::size_t>(FFile->Definition().Count());
  EnsureSlots(defined);
  FLine.assign(line);
  const std::string_view rest(FLine);
  std::size_t begin = 0;
  FCount = 0;
  if (defined == 0) return;
  ForEachTab(rest, [&](std::size_t tab) {
    FSlots[FCount++] = TSlot{begin, tab - begin};
    begin = tab + 1;
    return FCount < defined;
  });
  // The piece after the last TAB, unless it is blank.
  if (FCount < defined && !TrimView(rest.substr(begin)).empty()) {
    FSlots[FCount++] = TSlot{begin, rest.size() - begin};
  }
}

void TZendorProRecord::AppendLineTo(std::string& out) const {
  const auto defined = static_cast<std::size_t>(FFile->Definition().Count());
  if (defined == 0) return;
  const std::size_t values = std::min(FCount, defined);
  std::size_t size = defined - 1;
  for (std::size_t i = 0; i < values; ++i) size += FSlots[i].Size;
  std::size_t at = out.size();
  out.resize(at + size);
  char* line = out.data();
  for (std::size_t i = 0; i < defined; ++i) {
    if (i > 0) line[at++] = '\t';
    if (i >= values) continue;
    CopyShort(line + at, FLine.data() + FSlots[i].Begin, FSlots[i].Size);
    at += FSlots[i].Size;
  }
}

std::string TZendorProRecord::ToLine() const {
  std::string line;
  AppendLineTo(line);
  return line;
}

void TZendorProRecord::ClearValues() {
  FLine.clear();
  FCount = 0;
}

// --- Files -------------------------------------------------------------------

TZendorProFile::TZendorProFile(TDateTime jobTime, std::size_t chunkSize)
    : FJobTime(jobTime), FChunkSize(std::max<std::size_t>(chunkSize, 1)) {}

TZendorProFile::~TZendorProFile() = default;

void TZendorProFile::Reset(std::string_view path, TAccess access) {
  FReader.reset();
  FLine = {};
  FHasLine = false;
  FWriter.reset();
  FWriteBuffer.clear();
  FFileName = std::string(path);
  FReadOnly = access == TAccess::kRead;
  FCurrent = 0;
}

bool TZendorProFile::OpenRead(std::string_view path) {
  Reset(path, TAccess::kRead);
  // A file that cannot be looked at is not a missing one: the caller would
  // take the host's data for none.
  const auto kind = platform::ProbePath(FFileName);
  if (!kind) Raise(kReadFailed.view(), FFileName);
  if (*kind != platform::TPathKind::kFile) return false;
  auto file = platform::TFile::Open(FFileName, platform::TFile::TMode::kRead);
  if (!file) Raise(kReadFailed.view(), FFileName);
  OpenRead(std::move(file));
  return true;
}

void TZendorProFile::OpenRead(std::unique_ptr<platform::TFile> file) {
  Reset(file->Path(), TAccess::kRead);
  FReader = std::make_unique<THostLineReader>(std::move(file), FChunkSize);
  FHasLine = FReader->Next(FLine);
}

bool TZendorProFile::OpenWrite(std::string_view path, TBackups backups) {
  Reset(path, TAccess::kWrite);
  if (FFileName.empty()) return false;
  const auto kind = platform::ProbePath(FFileName);
  if (!kind) Raise(kReadFailed.view(), FFileName);
  if (*kind == platform::TPathKind::kFile) {
    BackupFile(FFileName, FJobTime, backups);
  } else if (*kind != platform::TPathKind::kNone) {
    return false;
  }
  return BeginWrite();
}

// Starts the temporary file with the lines the file already holds, each now
// ending in CR LF, so that the records appended come after them.
bool TZendorProFile::BeginWrite() {
  if (FFileName.empty()) return false;
  FWriter = platform::TReplaceOnCommit::Begin(FFileName);
  if (!FWriter) return false;
  FWriteBuffer.clear();
  const auto kind = platform::ProbePath(FFileName);
  if (kind == platform::TPathKind::kNone) return true;
  auto file =
      kind == platform::TPathKind::kFile
          ? platform::TFile::Open(FFileName, platform::TFile::TMode::kRead)
          : nullptr;
  if (!file) {
    FWriter.reset();
    Raise(kReadFailed.view(), FFileName);
  }
  THostLineReader reader(std::move(file), FChunkSize);
  for (std::string_view line; reader.Next(line);) {
    FWriteBuffer.append(line);
    WriteLineEnd();
  }
  return true;
}

void TZendorProFile::WriteLineEnd() {
  FWriteBuffer += kLineEnd;
  if (FWriteBuffer.size() >= FChunkSize) FlushWriteBuffer();
}

void TZendorProFile::FlushWriteBuffer() {
  // A failed write leaves the writer failed, so Save refuses to rename.
  const bool written = FWriter->Write(FWriteBuffer);
  FWriteBuffer.clear();
  if (!written) Raise(kWriteFailed.view(), FFileName);
}

bool TZendorProFile::First() {
  if (FReader && FCurrent != 0) {
    if (!FReader->Rewind()) Raise(kReadFailed.view(), FFileName);
    FHasLine = FReader->Next(FLine);
  }
  FCurrent = 0;
  return FHasLine;
}

bool TZendorProFile::Next() {
  if (FCurrent < std::numeric_limits<std::int32_t>::max()) ++FCurrent;
  if (FHasLine) FHasLine = FReader->Next(FLine);
  return FHasLine;
}

void TZendorProFile::EnsureRecord() {
  if (!FRecord) FRecord = std::make_unique<TZendorProRecord>(*this);
}

std::optional<std::uint64_t> TZendorProFile::Size() const {
  return FReader ? FReader->Size() : std::nullopt;
}

TZendorProRecord* TZendorProFile::CurrentRecord() {
  EnsureRecord();
  if (!FHasLine) return nullptr;
  FRecord->ParseLine(FLine);
  return FRecord.get();
}

TZendorProRecord& TZendorProFile::NewRecord() {
  if (FRecord) {
    FRecord->ClearValues();
  } else {
    EnsureRecord();
  }
  return *FRecord;
}

void TZendorProFile::PrepareAppend() {
  if (FReadOnly) throw EBridgeError(kTextReadOnlyAppend.str());
  // After a Save the next record starts a new temporary file from the saved
  // one.
  if (!FWriter && !BeginWrite()) Raise(kWriteFailed.view(), FFileName);
}

void TZendorProFile::Append(const TZendorProRecord& record) {
  PrepareAppend();
  record.AppendLineTo(FWriteBuffer);
  WriteLineEnd();
}

void TZendorProFile::AppendLine(const TZendorProRecord& record,
                                std::string& lines) {
  record.AppendLineTo(lines);
  lines += kLineEnd;
}

void TZendorProFile::AppendLines(std::string_view lines) {
  PrepareAppend();
  if (FWriteBuffer.size() + lines.size() < FChunkSize) {
    FWriteBuffer += lines;
    return;
  }
  // Lines that fill a chunk go out as they are, without a copy.
  if (!FWriteBuffer.empty()) FlushWriteBuffer();
  if (!FWriter->Write(lines)) Raise(kWriteFailed.view(), FFileName);
}

void TZendorProFile::Save() {
  if (FReadOnly || !FWriter) return;
  if (!FWriteBuffer.empty()) FlushWriteBuffer();
  const bool committed = FWriter->Commit();
  FWriter.reset();
  if (!committed) Raise(kWriteFailed.view(), FFileName);
}

std::string TZendorProFile::Prepare() {
  if (FReadOnly || (!FWriter && !BeginWrite())) {
    Raise(kWriteFailed.view(), FFileName);
  }
  if (!FWriteBuffer.empty()) FlushWriteBuffer();
  if (!FWriter->Prepare()) Raise(kWriteFailed.view(), FFileName);
  std::string temporary = FWriter->TemporaryPath();
  FWriter->Release();
  FWriter.reset();
  return temporary;
}

}  // namespace bridge
