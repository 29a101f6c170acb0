// The device tables: dBase III files without memo fields. A table is either
// created from declared fields and appended to, record by record (sending),
// or opened and read record by record in file order (receiving). Values go in
// and come out as Windows-1250 text; the file holds code page 852.
//
// Writing:  AddField... ; CreateTable(path) ; per record NewRecord(), the
//           setters, AppendRecord(record) ; Close().
// Reading:  Open(path) ; while !Eof(): ReadRecord(), IsDeleted(), the
//           getters, Next() ; Close().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Ulangconv.h"
#include "core/Ulist_template.h"
#include "dbf/Udbffielddef.h"
#include "platform/DateTime.h"
#include "platform/Files.h"

namespace bridge {

class TDBF;

// Room for the text of any field, whose length is one byte.
using TDBFFieldText = std::array<char, 256>;

// The record that a table last read or prepared. It holds no data of its
// own: every operation works on the table's record buffer. Fields are named
// as FindField names them, in any case; a name that the table lacks is an
// error. A field definition found once with FindField serves as the fast way
// to the same field.
class TDBFRecord {
 public:
  explicit TDBFRecord(TDBF& table) : FTable(table) {}

  void SetString(std::string_view name, std::string_view text);
  void SetInteger(std::string_view name, std::int32_t value);
  void SetFloat(std::string_view name, double value);
  void SetBoolean(std::string_view name, bool value);
  void SetDate(std::string_view name, TDateTime value);

  std::string GetString(std::string_view name) const;
  std::int32_t GetInteger(std::string_view name) const;
  double GetFloat(std::string_view name) const;
  bool GetBoolean(std::string_view name) const;
  TDateTime GetDate(std::string_view name) const;

  // The same by a definition of this record's table.
  void SetString(const TDBFFieldDef& field, std::string_view text);
  void SetInteger(const TDBFFieldDef& field, std::int32_t value);
  void SetFloat(const TDBFFieldDef& field, double value);
  void SetBoolean(const TDBFFieldDef& field, bool value);
  void SetDate(const TDBFFieldDef& field, TDateTime value);
  std::string GetString(const TDBFFieldDef& field) const;
  // GetString into text, without touching the heap; gives the part used.
  std::string_view GetText(const TDBFFieldDef& field,
                           TDBFFieldText& text) const;
  std::int32_t GetInteger(const TDBFFieldDef& field) const;
  double GetFloat(const TDBFFieldDef& field) const;
  bool GetBoolean(const TDBFFieldDef& field) const;
  TDateTime GetDate(const TDBFFieldDef& field) const;

  // True when the deletion flag is "*".
  bool IsDeleted() const;
  TDBF& Table() const { return FTable; }

 private:
  TDBF& FTable;
};

// One dBase III table.
class TDBF {
 public:
  // Numbers are read with "." as the point and, where the caller gives
  // another one, with that decimal separator too.
  explicit TDBF(char decimalSeparator = '.');
  // Closes a table being read. A table being written that was not closed
  // is not kept, so a failed run leaves no truncated table.
  ~TDBF();
  TDBF(const TDBF&) = delete;
  TDBF& operator=(const TDBF&) = delete;

  // Declares a field before CreateTable.
  bool AddField(std::string_view name, char fieldType, int length,
                int decimals);
  // Creates the table for the declared fields. The file is written under a
  // temporary name (platform::TReplaceOnCommit) and takes its name at Close,
  // so no device ever sees a table that is still being written; an older
  // file at path is removed,
  // and one that cannot be raises "Nie można utworzyć pliku: " + path, as a
  // file that cannot be created does. False when the header cannot be
  // written or the fields do not fit the 16-bit header and record lengths.
  [[nodiscard]] bool CreateTable(std::string_view path);
  // Opens an existing table for reading, takes its fields from the header
  // and positions on the first record. A header whose fields do not fit its
  // records is refused, and so is a file shorter than its header's record
  // count says ("Plik jest niekompletny: " + path). A read that fails
  // raises "Nie udało się odczytać pliku " + path, here and while reading.
  [[nodiscard]] bool Open(std::string_view path);
  // The same for a file open for reading already, such as one whose bytes
  // come from memory (platform::TFile::FromBytes).
  [[nodiscard]] bool Open(std::unique_ptr<platform::TFile> file);
  // Ends the table. A table being written gets its record count, is made
  // durable and takes its name; it is removed when it got no record. False
  // when any of that failed: then no table is left under either name.
  [[nodiscard]] bool Close();

  bool First();
  bool Next();
  // Stands on the record of that number, from 0; false for a negative one.
  bool MoveTo(std::int32_t index);
  bool Eof() const;
  // The record at the current position, or nullptr when it cannot be read
  // in full.
  TDBFRecord* ReadRecord();
  // The record with an all-blank buffer, or nullptr when no table is open.
  TDBFRecord* NewRecord();
  // Writes the record buffer as the new last record. Call CreateTable first.
  [[nodiscard]] bool AppendRecord(const TDBFRecord& record);

  // Lays the declared fields out as CreateTable does, for records that are
  // made here and written by another table of the same fields: NewRecord
  // and the setters work, AppendRecordTo gives each record's bytes. No file
  // is touched. False when the fields do not fit the header and record
  // lengths.
  [[nodiscard]] bool LayOutRecords();
  // Adds the bytes of the record buffer to records.
  void AppendRecordTo(std::string& records) const;
  // Writes records made by AppendRecordTo as the next records of the table
  // being written; false, as AppendRecord, when they cannot be, and for
  // bytes that are not whole records.
  [[nodiscard]] bool AppendRecords(std::string_view records);

  // The field whose name matches in any case, or nullptr.
  TDBFFieldDef* FindField(std::string_view name) const;

  // What writing did to the values given since the table was made: values
  // cut to their field's width with more than blanks lost, and characters
  // written as a plain stand-in because the table's code page lacks them.
  struct TWriteCounts {
    std::int64_t Cut = 0;
    std::int64_t Replaced = 0;
  };
  const TWriteCounts& WriteCounts() const { return FWriteCounts; }

  const TListTemplate<TDBFFieldDef>& Fields() const { return FFields; }
  unsigned char WriteCodePage() const { return FWriteCodePage; }
  unsigned char ReadCodePage() const { return FReadCodePage; }
  char DecimalSeparator() const { return FDecimalSeparator; }
  bool ReadOnly() const { return FReadOnly; }
  bool Active() const { return FActive; }
  const std::string& FileName() const { return FFileName; }
  std::int32_t Current() const { return FCurrent; }
  unsigned char Version() const { return FVersion; }
  unsigned char Year() const { return FYear; }
  unsigned char Month() const { return FMonth; }
  unsigned char Day() const { return FDay; }
  std::int32_t RecordCount() const { return FRecordCount; }
  std::int32_t HeaderLength() const { return FHeaderLength; }
  std::int32_t RecordLength() const { return FRecordLength; }

 private:
  friend class TDBFRecord;
  enum class TPlacement { kLeft, kRight };
  // Texts that the engine formats itself (numbers, flags, dates) are ASCII
  // without control characters, so neither conversion changes them.
  enum class TText { kAny, kPlainAscii };
  using TFieldText = TDBFFieldText;

  void AddDefinition(TDBFFieldDef def);
  void IndexField(std::size_t index);
  // The position of the field of exactly this name, or -1.
  std::int32_t IndexOf(std::string_view normalName) const;
  // Gives the bytes that all fields take.
  std::size_t ComputeOffsets();
  // Starts an empty table of the declared fields, without a file; false
  // when the header or the record would be too long.
  bool LayOut();
  // The fixed header and the field descriptors when a table is created; the
  // fixed header alone, for the final record count, when it is closed.
  enum class THeaderPart { kWithFields, kCountsOnly };
  bool WriteHeader(THeaderPart part);
  bool ReadHeader();
  void RefuseIfIncomplete();
  bool FinishWriting();
  void PrepareBuffer();
  // Reads from the file through FReadCache; gives the count read.
  std::size_t ReadAt(std::uint64_t position, char* out, std::size_t size);
  bool FlushRecords();
  void DropFile();
  const TDBFFieldDef& FieldOrError(std::string_view name) const;
  void WriteValue(const TDBFFieldDef& field, std::string_view text,
                  TPlacement placement, TText kind = TText::kAny);
  // The value's text as GetString gives it, in text; gives its length.
  // A number, flag or date is read the same with or without the code page
  // conversion, which touches only bytes from 0x80, so those skip it.
  enum class TConversion { kConvert, kAsciiOnly };
  std::size_t ValueText(const TDBFFieldDef& field, TFieldText& text,
                        TConversion conversion = TConversion::kConvert) const;
  // The field's bytes in the record buffer, trimmed when the field is Clean;
  // nothing for a field outside the buffer.
  std::string_view StoredText(const TDBFFieldDef& field) const;

  TListTemplate<TDBFFieldDef> FFields;
  // Every value names its field, so names are found by hashing: an open
  // table of field positions, -1 for a free slot, never more than half full.
  std::vector<std::int32_t> FNameSlots;
  // Whether each field is the first of its name, the one FindField gives.
  std::vector<bool> FFirstOfName;
  // Callers mostly name the fields in their order, so the field after the
  // one found last is tried before the hash table.
  mutable std::size_t FNextGuess = 0;
  std::unique_ptr<TDBFRecord> FRecord;
  // Values are written in code page 852 and read back into Windows-1250.
  unsigned char FWriteCodePage = kCp1250ToCp852;
  unsigned char FReadCodePage = kCp852ToCp1250;
  // What each stored byte becomes: written to a field that is Clean or not,
  // read with or without the code page conversion. Each is made from the
  // conversion kinds once, so a value takes one pass over its bytes. A
  // written byte carries above its low 8 bits whether it is a stand-in, so
  // that the same pass counts them.
  using TByteMap = std::array<unsigned char, 256>;
  using TWriteMap = std::array<std::uint16_t, 256>;
  static constexpr int kStandInShift = 8;
  TWriteMap FWriteClean{};
  TWriteMap FWriteRaw{};
  TByteMap FReadConverted{};
  TByteMap FReadPlain{};
  // Whether every map keeps the printable ASCII bytes, 0x20 to 0x7F, as
  // they are, so that a run of them is copied without a lookup per byte.
  bool FPrintableKept = true;
  TWriteCounts FWriteCounts;
  char FDecimalSeparator;
  bool FReadOnly = false;
  bool FActive = false;
  std::vector<char> FBuffer;
  // The table being read, or the one being written.
  std::unique_ptr<platform::TFile> FHandle;
  std::unique_ptr<platform::TReplaceOnCommit> FWriter;
  std::string FFileName;
  std::int32_t FCurrent = -1;
  unsigned char FVersion = 3;
  unsigned char FYear = 0;
  unsigned char FMonth = 0;
  unsigned char FDay = 0;
  std::int32_t FRecordCount = 0;
  std::int32_t FHeaderLength = 0;
  std::int32_t FRecordLength = 0;

  // Reading: where the next record is read, and a window of the file.
  std::uint64_t FPosition = 0;
  std::vector<char> FReadCache;
  std::uint64_t FCacheStart = 0;
  std::size_t FCacheSize = 0;

  // Writing: the records not yet written, where they go, and whether a
  // write failed.
  std::vector<char> FPending;
  std::uint64_t FWriteAt = 0;
  std::int32_t FPendingCount = 0;
  bool FWriteFailed = false;
};

}  // namespace bridge
