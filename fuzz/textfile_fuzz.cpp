// Arbitrary bytes as a host text file. The reader must walk any of them
// without going wrong, in whatever chunk size it reads, and must give the
// lines that the line rules give; every getter must take every value; and the
// records written back must read as they were read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "textfile/uZendorTextFileDef.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

const std::vector<std::string> kFields = {"S : String; - tekst (10)",
                                          "D : TDateTime;",
                                          "N : Integer;",
                                          "F : Currency;",
                                          "B : Boolean;",
                                          "M : String; - (Memo)"};

// The lines of the text by the host file's rules, done the simple way.
std::vector<std::string> ReferenceLines(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    if (c != '\0') text.push_back(c);
  }
  std::vector<std::string> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(i, end - i));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() &&
        text[end + 1] == '\n') {
      ++end;
    }
    i = end + 1;
  }
  return lines;
}

// The first value of a line as a record of one untrimmed field holds it.
std::string FirstPiece(const std::string& line) {
  const std::size_t tab = line.find('\t');
  if (tab != std::string::npos) return line.substr(0, tab);
  return bridge::Trim(line).empty() ? "" : line;
}

// The bytes as a file to read, from memory: no file system round trip per
// input.
std::unique_ptr<bridge::platform::TFile> FileOf(std::string_view bytes) {
  return bridge::platform::TFile::FromBytes("in.txt", std::string(bytes));
}

// The lines of the input, read in chunks of the given size, must be the
// lines that the line rules give.
void WalkLines(std::string_view bytes, std::size_t chunk) {
  using bridge::TZendorProFile;
  const std::vector<std::string> expected = ReferenceLines(bytes);
  {
    TZendorProFile lines(0, chunk);
    lines.Definition().LoadDefinitions({"X : String;"});
    lines.Definition().FindItem("x")->SetClean(false);
    lines.OpenRead(FileOf(bytes));
    std::size_t count = 0;
    for (bool more = lines.First(); more; more = lines.Next()) {
      Require(count < expected.size());
      Require(lines.CurrentRecord()->ToLine() == FirstPiece(expected[count]));
      ++count;
    }
    Require(count == expected.size());
    Require(lines.CurrentRecord() == nullptr);
  }
}

// The getters do not care where a line stands, and the fuzzer brings any
// line to the front, so the first records serve for all: an input pays for
// its length once, not five times.
constexpr std::size_t kRecordsWithEveryGetter = 8;

// Every getter must take the values of the first records, and the records
// written back must read as they were read.
void ReadAndWriteBack(std::string_view bytes) {
  using bridge::TZendorProFile;
  using bridge::TZendorProRecord;
  TZendorProFile file(0, std::max<std::size_t>(bytes.size(), 1));
  file.Definition().LoadDefinitions(kFields);
  file.OpenRead(FileOf(bytes));
  // Written back as the writer writes each record: its line, then CR LF.
  std::string copy;
  // Every value read, one after another, and where each ends: one buffer
  // rather than a string per value.
  std::string values;
  std::vector<std::size_t> ends;
  for (bool more = file.First(); more; more = file.Next()) {
    TZendorProRecord& record = *file.CurrentRecord();
    const bool everyGetter =
        ends.size() < kRecordsWithEveryGetter * kFields.size();
    for (std::int32_t i = 0; i < file.Definition().Count(); ++i) {
      const std::size_t begin = values.size();
      values += record.GetStringViewAt(i);
      ends.push_back(values.size());
      const std::string_view text =
          std::string_view(values).substr(begin, values.size() - begin);
      // Trimmed, then one final "^" dropped, with no control character left.
      Require(text.empty() || static_cast<unsigned char>(text.front()) > 32);
      for (const char c : text) Require(static_cast<unsigned char>(c) >= 32);
      if (!everyGetter) continue;
      const std::int32_t integer = record.GetIntegerAt(i);
      const double number = record.GetFloatAt(i);
      const bool flag = record.GetBooleanAt(i);
      const bridge::TDateTime date = record.GetDateAt(i);
      // The same values by name, on the first record: a name is resolved
      // the same way on every record.
      if (ends.size() <= kFields.size()) {
        const std::string& name = file.Definition().Item(i)->Name();
        Require(record.GetString(name) ==
                std::string_view(values).substr(begin, text.size()));
        Require(record.GetInteger(name) == integer);
        Require(record.GetFloat(name) == number || number != number);
        Require(record.GetBoolean(name) == flag);
        Require(record.GetDate(name) == date);
      }
    }
    record.AppendLineTo(copy);
    copy += "\r\n";
  }

  TZendorProFile back(0, std::max<std::size_t>(copy.size(), 1));
  back.Definition().LoadDefinitions(kFields);
  back.OpenRead(FileOf(copy));
  std::size_t at = 0;
  std::size_t begin = 0;
  for (bool more = back.First(); more; more = back.Next()) {
    const TZendorProRecord& record = *back.CurrentRecord();
    for (std::int32_t i = 0; i < back.Definition().Count(); ++i) {
      Require(at < ends.size());
      Require(record.GetStringViewAt(i) ==
              std::string_view(values).substr(begin, ends[at] - begin));
      begin = ends[at++];
    }
  }
  Require(at == ends.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    // The first byte picks the check, so that each input costs one walk.
    // Small chunks put line ends and CR LF pairs across chunk boundaries;
    // the largest reads the input in one chunk, as a host file of lines
    // shorter than a chunk reads. Values are read in one chunk: what a
    // chunk boundary can do to a line, the walk of the lines shows.
    if (size == 0 || data[0] % 2 == 0) {
      const std::size_t pick = size == 0 ? 0 : data[0] / 2 % 17;
      WalkLines(bytes, pick == 16 ? std::max<std::size_t>(size, 1) : pick + 1);
    } else {
      ReadAndWriteBack(bytes);
    }
  } catch (const bridge::EBridgeError&) {
    // Reading bytes from memory raises nothing.
    std::abort();
  }
  return 0;
}
