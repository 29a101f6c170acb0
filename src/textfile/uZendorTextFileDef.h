// The host's tab-separated text files: their field definitions, one typed
// record that turns a line into values by field name and back, and the file
// object that reads a file record by record or writes it for the host.
//
// A host file is a sequence of lines, one record per line, with no header and
// no end marker. The values of a line stand in the order of the definitions,
// separated by single TABs, with no quoting. Written lines end with CR LF;
// read lines end at CR LF, a lone CR or a lone LF, and a last line without an
// ending still counts. The text is Windows-1250, byte for byte. Inside memo
// values "^" stands for a line break.
//
// Reading streams the file in chunks, and writing streams the records to a
// temporary file beside the target that Save renames into place, so neither
// direction holds the file in memory and the host never sees half a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Uglobal.h"
#include "core/Ulist_template.h"
#include "platform/DateTime.h"
#include "platform/Text.h"

namespace bridge {

namespace platform {
class TFile;
class TReplaceOnCommit;
}  // namespace platform

// One field definition of a host file.
class TTextFileItem {
 public:
  // The name is trimmed and upper-cased; length is 0 when the definition
  // gives none.
  TTextFileItem(std::string_view name, TTextFieldType fieldType,
                std::int32_t length);

  const std::string& Name() const { return FName; }
  TTextFieldType FieldType() const { return FFieldType; }
  std::int32_t Length() const { return FLength; }
  // While set, written values have their control characters blanked and read
  // values are trimmed first. A transfer may switch it off for single fields
  // after loading the definitions.
  bool Clean() const { return FClean; }
  void SetClean(bool clean) { FClean = clean; }

 private:
  std::string FName;
  TTextFieldType FFieldType;
  std::int32_t FLength;
  bool FClean = true;
};

// The field definitions of one host file. An item's position, from 0, is the
// number of its value within a line.
class TTextFileDef {
 public:
  // Replaces every item by the fields the lines define, in their order. A
  // line reads: name, ":", type word, ";", comment; the first parenthesised
  // whole number in the comment is the length. Blank lines are passed over.
  // Raises "Niepoprawna definicja:" + the trimmed line for a line that does
  // not parse, and "Istnieje już definicja pola " + name for a repeated
  // name; the items loaded before it stay. A null list leaves the definition
  // empty. Returns true.
  bool LoadDefinitions(const std::vector<std::string>* lines);
  bool LoadDefinitions(const std::vector<std::string>& lines) {
    return LoadDefinitions(&lines);
  }

  // The index of the field of that name, compared trimmed and upper-cased;
  // -1 when there is none. A name given as defined costs one hash lookup.
  std::int32_t IndexOf(std::string_view name) const;
  TTextFileItem* FindItem(std::string_view name) const;
  // Takes the item; raises "Istnieje już definicja pola " + its name when a
  // field of that name exists.
  void AddItem(std::unique_ptr<TTextFileItem> item);
  std::int32_t Count() const {
    return static_cast<std::int32_t>(FItems.Count());
  }
  // The item at an index, or nullptr when the index is negative or not below
  // Count().
  TTextFileItem* Item(std::int32_t index) const {
    return index < 0 ? nullptr : FItems.Item(static_cast<std::size_t>(index));
  }
  void Clear();

 private:
  TListTemplate<TTextFileItem> FItems;
  std::unordered_map<std::string, std::int32_t, TTextHash, std::equal_to<>>
      FIndex;
};

class TZendorProFile;
class THostLineReader;

// One record of a host file: its values by field, set and read through the
// typed setters and getters that fix the host's number, date and flag
// formats. Every operation by name looks the field up in the file's
// definition, in any case, and raises "Nie znaleziono definicji pola " + the
// name as given when there is none. The operations "At" take the index that
// IndexOf gave, so a caller can resolve its names once per file.
class TZendorProRecord {
 public:
  explicit TZendorProRecord(TZendorProFile& file);

  // Stores the text as it is, with control characters blanked while the
  // field is Clean. Nothing is trimmed, padded or cut.
  void SetString(std::string_view name, std::string_view text);
  void SetInteger(std::string_view name, std::int32_t value);
  // Two decimals, "." as the point, rounded half away from zero after a
  // nudge of 0.00001 away from zero; a result of zero carries no sign.
  void SetMoney(std::string_view name, double value);
  // Three decimals, with a nudge of 0.000001.
  void SetQuantity(std::string_view name, double value);
  // "T" or "N".
  void SetBoolean(std::string_view name, bool value);
  // yyyy-mm-dd; the time of day is dropped.
  void SetDate(std::string_view name, TDateTime value);

  // The value trimmed, control characters blanked, and one final "^"
  // dropped.
  std::string GetString(std::string_view name) const;
  // 0 when the text is not a 32-bit whole number.
  std::int32_t GetInteger(std::string_view name) const;
  // Accepts "." and the system's decimal separator; 0 when not a number.
  double GetFloat(std::string_view name) const;
  // True for "T" in either case, false for everything else.
  bool GetBoolean(std::string_view name) const;
  // Year-month-day; the zero date when that is no real date.
  TDateTime GetDate(std::string_view name) const;

  void SetStringAt(std::int32_t index, std::string_view text);
  void SetIntegerAt(std::int32_t index, std::int32_t value);
  void SetMoneyAt(std::int32_t index, double value);
  void SetQuantityAt(std::int32_t index, double value);
  void SetBooleanAt(std::int32_t index, bool value);
  void SetDateAt(std::int32_t index, TDateTime value);
  std::string GetStringAt(std::int32_t index) const;
  // GetStringAt without a copy; the text stays valid until the next call on
  // this record.
  std::string_view GetStringViewAt(std::int32_t index) const;
  std::int32_t GetIntegerAt(std::int32_t index) const;
  double GetFloatAt(std::int32_t index) const;
  bool GetBooleanAt(std::int32_t index) const;
  TDateTime GetDateAt(std::int32_t index) const;

  // Replaces every value by the pieces of the line between its TABs. A
  // final piece that is blank gives no value.
  void ParseLine(std::string_view line);
  // The values of every defined field joined by TABs, without a line end.
  std::string ToLine() const;
  // The same, appended to out.
  void AppendLineTo(std::string& out) const;
  // Empties the text of every value.
  void ClearValues();

  TZendorProFile& File() const { return *FFile; }

 private:
  std::int32_t Resolve(std::string_view name) const;
  // SetStringAt for a text that the record formatted itself, which holds no
  // control character.
  void SetFormattedAt(std::int32_t index, std::string_view text);
  const TTextFileItem& ItemAt(std::int32_t index) const;
  // The text of a value read as a number: what GetString gives, as far as a
  // number can tell.
  std::string_view NumberView(std::int32_t index) const;
  void EnsureSlots(std::size_t count);
  // Adds the text after the values in FLine as the value of index; gives
  // where it now lies.
  char* StoreAt(std::int32_t index, std::string_view text);
  // What GetStringAt gives: a piece of the value itself when it needs no
  // change, otherwise the changed text in FScratch.
  std::string_view ReadView(std::int32_t index) const;
  std::string_view ValueText(std::size_t slot) const;

  // Slot k holds the value of index k as a piece of FLine: where ParseLine
  // found it, or where a setter added its text after the others. A value
  // set again leaves its old text unused until the record is parsed or
  // cleared. The slots from FCount on are spare storage kept for the next
  // record, so that a walk through a file copies each line once and
  // allocates nothing per value.
  struct TSlot {
    std::size_t Begin = 0;
    std::size_t Size = 0;
  };

  TZendorProFile* FFile;
  std::string FLine;
  std::vector<TSlot> FSlots;
  std::size_t FCount = 0;
  mutable std::string FScratch;
  mutable std::string FNumber;
};

// One host text file. Reading: LoadDefinitions, OpenRead, First, then while
// not Eof: CurrentRecord and its getters, Next. Writing: LoadDefinitions,
// OpenWrite, then per record NewRecord, its setters and Append; finally Save.
// The lines of a file opened for writing go straight to the temporary file,
// so there are none to walk.
class TZendorProFile {
 public:
  static constexpr std::size_t kChunkSize = std::size_t{1} << 20;

  // jobTime names the backup copies of OpenWrite. chunkSize is the size of
  // the blocks in which the file is read and written.
  explicit TZendorProFile(TDateTime jobTime,
                          std::size_t chunkSize = kChunkSize);
  // A file written but not saved is left as it was before OpenWrite.
  ~TZendorProFile();
  TZendorProFile(const TZendorProFile&) = delete;
  TZendorProFile& operator=(const TZendorProFile&) = delete;

  TTextFileDef& Definition() { return FDefinition; }
  const TTextFileDef& Definition() const { return FDefinition; }

  // Opens for reading and stands on the first line. False when no file is
  // there; a file that cannot be looked at, opened or read raises "Nie
  // udało się odczytać pliku " + path.
  [[nodiscard]] bool OpenRead(std::string_view path);
  // The same for a file open for reading already, such as one whose bytes
  // come from memory (platform::TFile::FromBytes).
  void OpenRead(std::unique_ptr<platform::TFile> file);
  // Opens for writing: an existing file is backed up (BackupFile) when
  // backups are on, and its lines stay in front of the records appended.
  // The records go to a temporary file beside the target. False when that
  // cannot be created or something other than a file has the name.
  [[nodiscard]] bool OpenWrite(std::string_view path, TBackups backups);

  // Stands on the first line; false when there is none.
  bool First();
  // Moves one line on; false when that passes the last line.
  bool Next();
  bool Eof() const { return !FHasLine; }
  // The record of the current line, or nullptr at the end. It is the same
  // object every time, parsed afresh by each call.
  TZendorProRecord* CurrentRecord();
  // The current line as read, without its ending; valid until Next.
  std::string_view CurrentLine() const { return FLine; }
  // The size of the file open for reading; nothing when it cannot be told.
  std::optional<std::uint64_t> Size() const;
  // The record with every value empty.
  TZendorProRecord& NewRecord();
  // Writes the record as the next line. Raises "W trybie read-only nie można
  // dopisywać danych" on a file opened for reading.
  void Append(const TZendorProRecord& record);
  // The end of every written line.
  static constexpr std::string_view kLineEnd = "\r\n";
  // Adds the record as Append writes it, line end included, to lines.
  static void AppendLine(const TZendorProRecord& record, std::string& lines);
  // Writes lines made by AppendLine as the next lines; raises as Append.
  void AppendLines(std::string_view lines);
  // Makes the written lines durable and renames them into place; does
  // nothing on a file opened for reading. Raises "Nie udało się zapisać
  // pliku " + path when that fails.
  void Save();
  // Save without the rename: makes the written lines durable in the
  // temporary file and gives its path. From then on the temporary file is
  // the caller's to rename or remove.
  [[nodiscard]] std::string Prepare();

  const std::string& FileName() const { return FFileName; }
  std::int32_t Current() const { return FCurrent; }
  bool ReadOnly() const { return FReadOnly; }
  unsigned char WriteCodePage() const { return FWriteCodePage; }
  unsigned char ReadCodePage() const { return FReadCodePage; }
  TDateTime JobTime() const { return FJobTime; }

 private:
  enum class TAccess { kRead, kWrite };
  void Reset(std::string_view path, TAccess access);
  bool BeginWrite();
  void EnsureRecord();
  void PrepareAppend();
  void WriteLineEnd();
  void FlushWriteBuffer();

  TTextFileDef FDefinition;
  std::string FFileName;
  std::int32_t FCurrent = 0;
  bool FReadOnly = false;
  std::unique_ptr<TZendorProRecord> FRecord;
  unsigned char FWriteCodePage = 0;
  unsigned char FReadCodePage = 0;
  TDateTime FJobTime;
  std::size_t FChunkSize;

  std::unique_ptr<THostLineReader> FReader;
  std::string_view FLine;  // the current line, inside FReader
  bool FHasLine = false;

  std::unique_ptr<platform::TReplaceOnCommit> FWriter;
  std::string FWriteBuffer;
};

}  // namespace bridge
