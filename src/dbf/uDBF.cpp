#include "dbf/uDBF.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>

#include "core/Uglobal.h"
#include "core/Ulangconv.h"
#include "core/Umessages.h"
#include "dbf/uDBF_messages.h"
#include "platform/EBridgeError.h"
#include "platform/System.h"
#include "platform/Text.h"

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

// --- TDBF --------------------------------------------------------------------

TDBF::TDBF(char decimalSeparator) : FDecimalSeparator(decimalSeparator) {
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
  const TByteMap written = converted(FWriteCodePage);
  const TByteMap read = converted(FReadCodePage);
  for (std::size_t i = 0; i < identity.size(); ++i) {
    const auto standIn = static_cast<std::uint16_t>(
        GivesStandIn(FWriteCodePage, static_cast<unsigned char>(i))
        << kStandInShift);
    FWriteRaw[i] = static_cast<std::uint16_t>(written[i] | standIn);
    FWriteClean[i] = static_cast<std::uint16_t>(
        (written[i] < 32 ? kBlank : written[i]) | standIn);
    FReadConverted[i] = readable(read[i]);
    FReadPlain[i] = readable(identity[i]);
  }
  for (unsigned char c = 0x20; c < 0x80; ++c) {
    FPrintableKept = FPrintableKept && FWriteRaw[c] == c &&
                     FWriteClean[c] == c && FReadConverted[c] == c &&
                     FReadPlain[c] == c;
  }
}

// A table being written reaches its name only by Close; released without
// it, as when an error ends its run, it is not kept (its writer removes the
// temporary file). A table being read is simply closed.
TDBF::~TDBF() = default;

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
  FFileName = std::string(path);
  if (!LayOut()) return false;
  const auto headerLength = static_cast<std::size_t>(FHeaderLength);

  FHandle.reset();
  FWriter = platform::TReplaceOnCommit::Begin(FFileName);
  if (!FWriter) throw EBridgeError(Message(kCannotCreateFile.view(), path));
  // Creating the table replaces what was there: an older table must not stay
  // behind if this one is never completed.
  if (!platform::RemoveFile(FFileName)) {
    FWriter.reset();
    throw EBridgeError(Message(kCannotCreateFile.view(), path));
  }
  FActive = true;
  FPending.clear();
  FPendingCount = 0;
  FWriteAt = headerLength;
  FWriteFailed = false;
  if (WriteHeader(THeaderPart::kWithFields)) return true;
  FWriteFailed = true;
  return false;
}

bool TDBF::WriteHeader(THeaderPart part) {
  const bool headerOnly = part == THeaderPart::kCountsOnly;
  if (!FActive || !FWriter) return false;
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
  return FWriter->WriteAt(
      0, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                          bytes.size()));
}

bool TDBF::Open(std::string_view path) {
  auto file = platform::TFile::Open(path, platform::TFile::TMode::kRead);
  if (!file) throw EBridgeError(Message(msg::kCannotOpen.view(), path));
  return Open(std::move(file));
}

bool TDBF::Open(std::unique_ptr<platform::TFile> file) {
  if (FActive) static_cast<void>(Close());
  FBuffer.clear();
  FCurrent = -1;
  FFileName = file->Path();
  const std::string& path = FFileName;
  FReadOnly = true;
  FHandle = std::move(file);
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
  return MoveTo(FCurrent + 1);
}

bool TDBF::MoveTo(std::int32_t index) {
  if (!FActive || !FHandle || index < 0) return false;
  FCurrent = index;
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

bool TDBF::LayOut() {
  FActive = false;
  FBuffer.clear();
  FCurrent = -1;
  FReadOnly = false;
  FRecordCount = 0;
  FWriteCounts = {};
  const std::size_t fieldBytes = ComputeOffsets();
  const std::size_t headerLength =
      kHeaderSize * FFields.Count() + kHeaderSize + 1;
  const std::size_t recordLength = fieldBytes + 1;
  // Both lengths are 16-bit in the header; a table they cannot describe is
  // not started at all.
  if (headerLength > kMaxLength16 || recordLength > kMaxLength16) return false;
  FHeaderLength = static_cast<std::int32_t>(headerLength);
  FRecordLength = static_cast<std::int32_t>(recordLength);
  return true;
}

bool TDBF::LayOutRecords() {
  if (FActive) static_cast<void>(Close());
  FHandle.reset();
  FWriter.reset();
  FFileName.clear();
  if (!LayOut()) return false;
  FActive = true;
  return true;
}

void TDBF::AppendRecordTo(std::string& records) const {
  records.append(FBuffer.data(), FBuffer.size());
}

bool TDBF::AppendRecords(std::string_view records) {
  if (!FActive) return false;
  if (FReadOnly) throw EBridgeError(std::string(msg::kAppendReadOnly.view()));
  const auto length = static_cast<std::size_t>(FRecordLength);
  if (!FWriter || FWriteFailed || length == 0 || records.size() % length != 0) {
    return false;
  }
  const std::size_t count = records.size() / length;
  if (count > static_cast<std::size_t>(
                  std::numeric_limits<std::int32_t>::max() - FRecordCount)) {
    return false;
  }
  if (FPending.size() + records.size() > kWriteChunk && !FlushRecords()) {
    return false;
  }
  FPending.insert(FPending.end(), records.begin(), records.end());
  FPendingCount += static_cast<std::int32_t>(count);
  FRecordCount += static_cast<std::int32_t>(count);
  return true;
}

bool TDBF::AppendRecord(const TDBFRecord& /*record*/) {
  // A record never prepared goes in blank.
  if (FActive && !FReadOnly &&
      FBuffer.size() != static_cast<std::size_t>(FRecordLength)) {
    PrepareBuffer();
  }
  return AppendRecords(std::string_view(FBuffer.data(), FBuffer.size()));
}

bool TDBF::FlushRecords() {
  if (FWriteFailed) return false;
  if (FPendingCount == 0) return true;
  // The file keeps ending with the byte 26 after every chunk.
  FPending.push_back(kEndOfFile);
  const bool written = FWriter->WriteAt(
      FWriteAt, std::string_view(FPending.data(), FPending.size()));
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
  const bool closed = FWriter == nullptr || FinishWriting();
  FHandle.reset();
  FActive = false;
  FReadCache = {};
  FCacheSize = 0;
  FPending = {};
  FPendingCount = 0;
  return closed;
}

// A device takes any table it finds for the complete list, so a table
// reaches its name only whole and durable, as its writer commits it. A
// table that got no record does not survive, nor does one whose writes
// failed.
bool TDBF::FinishWriting() {
  const bool written = FlushRecords() && WriteHeader(THeaderPart::kCountsOnly);
  const std::unique_ptr<platform::TReplaceOnCommit> writer = std::move(FWriter);
  if (!written) return false;
  return FRecordCount > 0 ? writer->Commit() : writer->Discard();
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

}  // namespace bridge
