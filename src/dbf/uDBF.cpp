#include "dbf/uDBF.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>

#include "app/Uglobal.h"
#include "app/Umessages.h"
#include "dbf/uDBF_messages.h"
#include "platform/EBridgeError.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "textfile/Ulangconv.h"

namespace bridge {
namespace {

namespace msg = dbf_messages;

// Table file:
//
//   offset              size           meaning
//        0                 1           version: 3 (dBase III, no memo)
//        1                 1           creation year - 1900, modulo 256
//        2                 1           creation month, 1 to 12
//        3                 1           creation day, 1 to 31
//        4                 4           record count, unsigned 32-bit
//        8                 2           header length = 32 * fields + 33
//       10                 2           record length = 1 + field lengths
//       12                20           zero
//       32         32 * fields         one descriptor per field
//  32 + 32 * fields        1           13, the end of the descriptors
//  header length    count * record     records: the deletion flag (" " in
//                                      use, "*" deleted), then every field's
//                                      bytes in declaration order
//  after the last          1           26, the end of the file
//
// All integers are little-endian.
constexpr std::size_t kHeaderSize = 32;
constexpr unsigned char kVersion = 3;
constexpr std::size_t kYearAt = 1;
constexpr std::size_t kMonthAt = 2;
constexpr std::size_t kDayAt = 3;
constexpr std::size_t kRecordCountAt = 4;
constexpr std::size_t kHeaderLengthAt = 8;
constexpr std::size_t kRecordLengthAt = 10;
constexpr unsigned char kDescriptorsEnd = 13;
constexpr char kEndOfFile = 26;
constexpr char kBlank = ' ';
constexpr char kDeleted = '*';
constexpr char kCaret = '^';
constexpr std::size_t kMaxLength16 = 0xFFFF;

// Records reach the file, and come from it, in chunks of this size, so that
// a table of a million records costs a few hundred system calls.
constexpr std::size_t kWriteChunk = std::size_t{1} << 20;
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

std::string Message(std::string_view text, std::string_view tail) {
  std::string out(text);
  out += tail;
  return out;
}

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TrimView(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsTrimmed(text[begin])) ++begin;
  while (end > begin && IsTrimmed(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Up to size characters from position on; none beyond the end.
std::string_view Part(std::string_view text, std::size_t position,
                      std::size_t size) {
  if (position >= text.size()) return {};
  return text.substr(position, size);
}

// Field names are a few bytes long: up to 16 of them are mixed as two
// words, any further bytes one by one.
std::size_t NameHash(std::string_view name) {
  std::uint64_t first = 0;
  std::uint64_t second = 0;
  const std::size_t head = std::min<std::size_t>(name.size(), 16);
  std::memcpy(&first, name.data(), std::min<std::size_t>(head, 8));
  if (head > 8) std::memcpy(&second, name.data() + 8, head - 8);
  std::uint64_t hash = (first * 0x9E3779B97F4A7C15ull) ^
                       (second * 0xC2B2AE3D27D4EB4Full) ^ name.size();
  for (std::size_t i = head; i < name.size(); ++i) {
    hash = (hash ^ static_cast<unsigned char>(name[i])) * 1099511628211ull;
  }
  return static_cast<std::size_t>(hash ^ (hash >> 32));
}

TDateTime Today() {
  const platform::TSystem& system = platform::System();
  return system.Now ? system.Now() : platform::LocalNow();
}

}  // namespace

// --- TDBFRecord --------------------------------------------------------------

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
  const TDateParts parts = DecodeDateTime(value);
  std::array<char, 8> text{};
  const auto put = [&text](std::size_t at, int number, int width) {
    for (int i = width - 1; i >= 0; --i) {
      text[at + static_cast<std::size_t>(i)] =
          static_cast<char>('0' + number % 10);
      number /= 10;
    }
  };
  put(0, parts.Year, 4);
  put(4, parts.Month, 2);
  put(6, parts.Day, 2);
  FTable.WriteValue(field, std::string_view(text.data(), text.size()),
                    TDBF::TPlacement::kLeft, TDBF::TText::kPlainAscii);
}

std::string TDBFRecord::GetString(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  return std::string(text.data(), FTable.ValueText(field, text));
}

std::int32_t TDBFRecord::GetInteger(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  const std::size_t size =
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly);
  return ParseInt32(TrimView(std::string_view(text.data(), size))).value_or(0);
}

double TDBFRecord::GetFloat(const TDBFFieldDef& field) const {
  TDBF::TFieldText text;
  const std::size_t size =
      FTable.ValueText(field, text, TDBF::TConversion::kAsciiOnly);
  const char separator = SystemDecimalSeparator();
  char* point = std::find(text.data(), text.data() + size, '.');
  if (point != text.data() + size) *point = separator;
  return ParseFloat(TrimView(std::string_view(text.data(), size)), separator)
      .value_or(0.0);
}

bool TDBFRecord::GetBoolean(const TDBFFieldDef& field) const {
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

// --- TDBF --------------------------------------------------------------------

TDBF::TDBF() {
  TByteMap identity{};
  for (std::size_t i = 0; i < identity.size(); ++i) {
    identity[i] = static_cast<unsigned char>(i);
  }
  const auto converted = [&identity](unsigned char kind) {
    TByteMap map = identity;
    ConvertCodePageInPlace(kind, reinterpret_cast<char*>(map.data()),
                           map.size());
    return map;
  };
  // As read, TAB and LF become "^" and the other control characters blanks;
  // as written to a Clean field, every control character becomes a blank.
  const auto readable = [](unsigned char c) -> unsigned char {
    if (c == '\t' || c == '\n') return kCaret;
    return c < 32 ? kBlank : c;
  };
  FWriteRaw = converted(FWriteCodePage);
  const TByteMap read = converted(FReadCodePage);
  for (std::size_t i = 0; i < identity.size(); ++i) {
    FWriteClean[i] = FWriteRaw[i] < 32 ? kBlank : FWriteRaw[i];
    FReadConverted[i] = readable(read[i]);
    FReadPlain[i] = readable(identity[i]);
  }
}

TDBF::~TDBF() {
  if (!FActive) return;
  if (!FReadOnly && std::uncaught_exceptions() > FUncaughtAtCreate) {
    Abandon();
  } else {
    // A caller that needs to know whether the table was kept closes it
    // itself; here a table that fails to close is simply not kept.
    static_cast<void>(Close());
  }
}

std::string TDBF::TemporaryPathOf(std::string_view path) {
  return std::string(path) + ".tmp";
}

bool TDBF::AddField(std::string_view name, char fieldType, int length,
                    int decimals) {
  if (FindField(name) != nullptr) {
    throw EBridgeError(Message(msg::kFieldExists.view(), name));
  }
  if (name.size() > kMaxFieldNameLength) {
    throw EBridgeError(Message(msg::kFieldNameTooLong.view(), name) +
                       std::string(msg::kFieldNameTooLongEnd.view()));
  }
  AddDefinition(TDBFFieldDef(name, fieldType, length, decimals));
  return true;
}

void TDBF::AddDefinition(TDBFFieldDef def) {
  const std::size_t index = FFields.Count();
  const TDBFFieldDef* previous = index > 0 ? FFields.Item(index - 1) : nullptr;
  def.SetOffset(previous != nullptr ? previous->Offset() + previous->Length()
                                    : 0);
  FFields.Emplace(std::move(def));
  FFirstOfName.resize(FFields.Count());
  if ((FFields.Count() * 2) > FNameSlots.size()) {
    FNameSlots.assign(std::max<std::size_t>(16, FNameSlots.size() * 2), -1);
    for (std::size_t i = 0; i < FFields.Count(); ++i) IndexField(i);
  } else {
    IndexField(index);
  }
}

void TDBF::IndexField(std::size_t index) {
  const std::string& name = FFields[index].Name();
  // The first of two equal names is the one found.
  FFirstOfName[index] = IndexOf(name) < 0;
  if (!FFirstOfName[index]) return;
  const std::size_t mask = FNameSlots.size() - 1;
  std::size_t slot = NameHash(name) & mask;
  while (FNameSlots[slot] >= 0) slot = (slot + 1) & mask;
  FNameSlots[slot] = static_cast<std::int32_t>(index);
}

std::int32_t TDBF::IndexOf(std::string_view normalName) const {
  if (FNameSlots.empty()) return -1;
  const std::size_t mask = FNameSlots.size() - 1;
  for (std::size_t slot = NameHash(normalName) & mask;;
       slot = (slot + 1) & mask) {
    const std::int32_t index = FNameSlots[slot];
    if (index < 0) return -1;
    if (FFields[static_cast<std::size_t>(index)].Name() == normalName) {
      return index;
    }
  }
}

std::size_t TDBF::ComputeOffsets() {
  int offset = 0;
  for (const auto& field : FFields) {
    field->SetOffset(offset);
    offset += field->Length();
  }
  return static_cast<std::size_t>(offset);
}

bool TDBF::CreateTable(std::string_view path) {
  if (FActive) static_cast<void>(Close());
  const TDateParts today = DecodeDateTime(Today());
  FYear = static_cast<unsigned char>(((today.Year - 1900) % 256 + 256) % 256);
  FMonth = static_cast<unsigned char>(today.Month);
  FDay = static_cast<unsigned char>(today.Day);
  FActive = false;
  FBuffer.clear();
  FCurrent = -1;
  FReadOnly = false;
  FRecordCount = 0;
  FFileName = std::string(path);
  const std::size_t fieldBytes = ComputeOffsets();
  const std::size_t headerLength =
      kHeaderSize * FFields.Count() + kHeaderSize + 1;
  const std::size_t recordLength = fieldBytes + 1;
  // Both lengths are 16-bit in the header; a table they cannot describe is
  // not started at all.
  if (headerLength > kMaxLength16 || recordLength > kMaxLength16) return false;
  FHeaderLength = static_cast<std::int32_t>(headerLength);
  FRecordLength = static_cast<std::int32_t>(recordLength);

  FTemporaryName = TemporaryPathOf(FFileName);
  FHandle =
      platform::TFile::Open(FTemporaryName, platform::TFile::TMode::kCreate);
  if (!FHandle) throw EBridgeError(Message(msg::kCannotCreate.view(), path));
  // Creating the table replaces what was there: an older table must not stay
  // behind if this one is never completed.
  if (!platform::RemoveFile(FFileName)) {
    FHandle.reset();
    static_cast<void>(platform::RemoveFile(FTemporaryName));
    throw EBridgeError(Message(msg::kCannotCreate.view(), path));
  }
  FActive = true;
  FPending.clear();
  FPendingCount = 0;
  FWriteAt = headerLength;
  FWriteFailed = false;
  FUncaughtAtCreate = std::uncaught_exceptions();
  if (WriteHeader(/*headerOnly=*/false)) return true;
  FWriteFailed = true;
  return false;
}

bool TDBF::WriteHeader(bool headerOnly) {
  if (!FActive || !FHandle || !FHandle->Seek(0)) return false;
  const std::size_t size =
      headerOnly ? kHeaderSize
                 : kHeaderSize * (FFields.Count() + 1) + 2;  // 13 and 26
  std::vector<unsigned char> bytes(size, 0);
  bytes[0] = kVersion;
  bytes[kYearAt] = FYear;
  bytes[kMonthAt] = FMonth;
  bytes[kDayAt] = FDay;
  WriteU32LE(&bytes[kRecordCountAt], static_cast<std::uint32_t>(FRecordCount));
  WriteU16LE(&bytes[kHeaderLengthAt],
             static_cast<std::uint16_t>(FHeaderLength));
  WriteU16LE(&bytes[kRecordLengthAt],
             static_cast<std::uint16_t>(FRecordLength));
  if (!headerOnly) {
    std::size_t at = kHeaderSize;
    for (const auto& field : FFields) {
      field->WriteDescriptor(&bytes[at]);
      at += kFieldDescriptorSize;
    }
    bytes[at] = kDescriptorsEnd;
    bytes[at + 1] = static_cast<unsigned char>(kEndOfFile);
  }
  return FHandle->Write(bytes.data(), bytes.size());
}

bool TDBF::Open(std::string_view path) {
  if (FActive) static_cast<void>(Close());
  FBuffer.clear();
  FCurrent = -1;
  FFileName = std::string(path);
  FReadOnly = true;
  FHandle = platform::TFile::Open(path, platform::TFile::TMode::kRead);
  if (!FHandle) throw EBridgeError(Message(msg::kCannotOpen.view(), path));
  FActive = true;
  FCacheStart = 0;
  FCacheSize = 0;
  try {
    if (!ReadHeader()) return false;
    const std::size_t fieldBytes = ComputeOffsets();
    // A header that promises more field bytes than a record holds would send
    // every read past the record buffer, so the table is refused before
    // anything reads it.
    if (fieldBytes > 0 &&
        fieldBytes + 1 > static_cast<std::size_t>(FRecordLength)) {
      throw EBridgeError(Message(msg::kDamagedHeader.view(), path));
    }
    RefuseIfIncomplete();
  } catch (...) {
    DropFile();
    throw;
  }
  return First();
}

void TDBF::RefuseIfIncomplete() {
  // An upload that was cut short, or a count of 2^31 or more, promises
  // records the file does not hold. Reading up to the end of the file would
  // take part of the documents for all of them.
  const auto count = static_cast<std::uint32_t>(FRecordCount);
  const std::uint64_t needed =
      static_cast<std::uint64_t>(FHeaderLength) +
      std::uint64_t{count} * static_cast<std::uint64_t>(FRecordLength);
  const auto size = FHandle->Size();
  if (!size) throw EBridgeError(Message(kReadFailed.view(), FFileName));
  if (FRecordCount < 0 || *size < needed) {
    throw EBridgeError(Message(kIncomplete.view(), FFileName));
  }
}

bool TDBF::ReadHeader() {
  if (!FActive) return false;
  std::array<unsigned char, kHeaderSize> header{};
  if (ReadAt(0, reinterpret_cast<char*>(header.data()), header.size()) <
      header.size()) {
    throw EBridgeError(std::string(msg::kHeaderTooShort.view()));
  }
  FVersion = header[0];
  FYear = header[kYearAt];
  FMonth = header[kMonthAt];
  FDay = header[kDayAt];
  FRecordCount = ReadU32LE(&header[kRecordCountAt]);
  FHeaderLength = ReadU16LE(&header[kHeaderLengthAt]);
  FRecordLength = ReadU16LE(&header[kRecordLengthAt]);
  // The descriptors end at the byte 13. One that reaches past the header's
  // length overlaps the records, so the table is refused there rather than
  // taking record bytes for fields.
  const auto headerLength = static_cast<std::uint64_t>(FHeaderLength);
  std::uint64_t at = kHeaderSize;
  std::size_t count = 0;
  for (;;) {
    std::array<unsigned char, kFieldDescriptorSize> descriptor{};
    if (ReadAt(at, reinterpret_cast<char*>(descriptor.data()),
               descriptor.size()) < descriptor.size() ||
        descriptor[0] == kDescriptorsEnd) {
      break;
    }
    if (at + kFieldDescriptorSize > headerLength) {
      throw EBridgeError(Message(msg::kDamagedHeader.view(), FFileName));
    }
    AddDefinition(TDBFFieldDef::FromDescriptor(descriptor.data()));
    at += kFieldDescriptorSize;
    ++count;
  }
  if (headerLength < kHeaderSize * (count + 1)) {
    throw EBridgeError(Message(msg::kDamagedHeader.view(), FFileName));
  }
  return true;
}

std::size_t TDBF::ReadAt(std::uint64_t position, char* out, std::size_t size) {
  if (!FHandle || !FReadOnly) return 0;
  if (position < FCacheStart || position - FCacheStart > FCacheSize ||
      FCacheSize - (position - FCacheStart) < size) {
    const auto fileSize = FHandle->Size();
    // A read that fails is no end of the table: the records after it would
    // be lost without a word.
    if (!fileSize) throw EBridgeError(Message(kReadFailed.view(), FFileName));
    const std::size_t capacity =
        std::max(size, static_cast<std::size_t>(
                           std::min<std::uint64_t>(*fileSize, kReadChunk)));
    if (FReadCache.size() < capacity) FReadCache.resize(capacity);
    FCacheStart = position;
    FCacheSize = 0;
    const auto got = FHandle->Seek(position)
                         ? FHandle->Read(FReadCache.data(), FReadCache.size())
                         : std::nullopt;
    if (!got) throw EBridgeError(Message(kReadFailed.view(), FFileName));
    FCacheSize = *got;
  }
  const auto skip = static_cast<std::size_t>(position - FCacheStart);
  const std::size_t count = std::min(size, FCacheSize - skip);
  std::memcpy(out, FReadCache.data() + skip, count);
  return count;
}

void TDBF::DropFile() {
  FHandle.reset();
  FActive = false;
}

bool TDBF::First() {
  if (!FActive || !FHandle) return false;
  FPosition = static_cast<std::uint64_t>(FHeaderLength);
  FCurrent = 0;
  return true;
}

bool TDBF::Next() {
  if (!FActive || !FHandle) return false;
  if (FCurrent == std::numeric_limits<std::int32_t>::max()) return false;
  ++FCurrent;
  FPosition = static_cast<std::uint64_t>(FHeaderLength) +
              static_cast<std::uint64_t>(FCurrent) *
                  static_cast<std::uint64_t>(FRecordLength);
  return true;
}

bool TDBF::Eof() const {
  return !(FActive && FRecordCount > 0 && FCurrent < FRecordCount);
}

void TDBF::PrepareBuffer() {
  FBuffer.assign(static_cast<std::size_t>(FRecordLength), kBlank);
  if (!FRecord) FRecord = std::make_unique<TDBFRecord>(*this);
}

TDBFRecord* TDBF::ReadRecord() {
  if (!FActive || FRecordLength == 0) return nullptr;
  PrepareBuffer();
  const std::size_t got = ReadAt(FPosition, FBuffer.data(), FBuffer.size());
  // Like a read from the file, this one moves the position on; Next sets it
  // anew.
  FPosition += got;
  return got == FBuffer.size() ? FRecord.get() : nullptr;
}

TDBFRecord* TDBF::NewRecord() {
  if (!FActive || FRecordLength == 0) return nullptr;
  PrepareBuffer();
  return FRecord.get();
}

bool TDBF::AppendRecord(const TDBFRecord& /*record*/) {
  if (!FActive) return false;
  if (FReadOnly) throw EBridgeError(std::string(msg::kAppendReadOnly.view()));
  if (!FHandle || FWriteFailed ||
      FRecordCount == std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  if (FBuffer.size() != static_cast<std::size_t>(FRecordLength)) {
    PrepareBuffer();
  }
  if (FPending.size() + FBuffer.size() > kWriteChunk && !FlushRecords()) {
    return false;
  }
  FPending.insert(FPending.end(), FBuffer.begin(), FBuffer.end());
  ++FPendingCount;
  ++FRecordCount;
  return true;
}

bool TDBF::FlushRecords() {
  if (FWriteFailed) return false;
  if (FPendingCount == 0) return true;
  // The file keeps ending with the byte 26 after every chunk.
  FPending.push_back(kEndOfFile);
  const bool written = FHandle->Seek(FWriteAt) &&
                       FHandle->Write(FPending.data(), FPending.size());
  if (written) {
    FWriteAt += FPending.size() - 1;
  } else {
    // The records of the failed chunk never reached the file.
    FWriteFailed = true;
    FRecordCount -= FPendingCount;
  }
  FPending.clear();
  FPendingCount = 0;
  return written;
}

bool TDBF::Close() {
  bool closed = true;
  if (FHandle) {
    if (FReadOnly) {
      FHandle.reset();
    } else {
      closed = FinishWriting();
    }
  }
  FActive = false;
  FReadCache = {};
  FCacheSize = 0;
  FPending = {};
  FPendingCount = 0;
  return closed;
}

// A device takes any table it finds for the complete list, so a table
// reaches its name only whole and durable: the records and the final count
// are flushed, the file closed, renamed, and the directory flushed. A table
// that got no record does not survive, nor does one whose writes failed.
bool TDBF::FinishWriting() {
  bool kept = FlushRecords() && WriteHeader(/*headerOnly=*/true);
  if (kept && FRecordCount > 0) kept = FHandle->Flush();
  kept = FHandle->Close() && kept;
  FHandle.reset();
  if (kept && FRecordCount > 0) {
    if (!platform::RenameFile(FTemporaryName, FFileName)) {
      static_cast<void>(platform::RemoveFile(FTemporaryName));
      return false;
    }
    return platform::FlushDirectory(platform::ExtractFileDir(FFileName));
  }
  return platform::RemoveFile(FTemporaryName) && kept;
}

void TDBF::Abandon() {
  if (FHandle && !FReadOnly) {
    FHandle.reset();
    static_cast<void>(platform::RemoveFile(FTemporaryName));
    FActive = false;
    FPending = {};
    FPendingCount = 0;
    return;
  }
  static_cast<void>(Close());
}

TDBFFieldDef* TDBF::FindField(std::string_view name) const {
  // Stored names are already trimmed and upper-cased, so a name given in
  // that form is found without making its normal form.
  if (FNextGuess < FFields.Count() && FFirstOfName[FNextGuess] &&
      FFields[FNextGuess].Name() == name) {
    return FFields.Item(FNextGuess++);
  }
  std::int32_t index = IndexOf(name);
  if (index < 0) index = IndexOf(NormalFieldName(name));
  if (index < 0) return nullptr;
  FNextGuess = static_cast<std::size_t>(index) + 1;
  return FFields.Item(static_cast<std::size_t>(index));
}

const TDBFFieldDef& TDBF::FieldOrError(std::string_view name) const {
  const TDBFFieldDef* field = FindField(name);
  if (field == nullptr) {
    throw EBridgeError(Message(msg::kFieldNotFound.view(), name));
  }
  return *field;
}

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
  char* to = placement == TPlacement::kRight && text.size() < length
                 ? bytes + (length - text.size())
                 : bytes;
  if (kind == TText::kPlainAscii) {
    std::memcpy(to, text.data(), size);
    return;
  }
  // Each conversion maps byte to byte, so converting the bytes placed is the
  // same as converting the text and then placing it.
  const TByteMap& map = field.Clean() ? FWriteClean : FWriteRaw;
  for (std::size_t i = 0; i < size; ++i) {
    to[i] = static_cast<char>(map[static_cast<unsigned char>(text[i])]);
  }
}

std::size_t TDBF::ValueText(const TDBFFieldDef& field, TFieldText& text,
                            TConversion conversion) const {
  const auto length = static_cast<std::size_t>(field.Length());
  if (field.Offset() < 0 ||
      static_cast<std::size_t>(field.Offset()) + 1 + length > FBuffer.size()) {
    return 0;
  }
  std::string_view stored(FBuffer.data() + 1 + field.Offset(), length);
  if (field.Clean()) stored = TrimView(stored);
  const TByteMap& map =
      conversion == TConversion::kConvert ? FReadConverted : FReadPlain;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    text[i] = static_cast<char>(map[static_cast<unsigned char>(stored[i])]);
  }
  return stored.size();
}

}  // namespace bridge
