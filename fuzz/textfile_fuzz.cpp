// Arbitrary bytes as a host text file. The reader must walk any of them
// without going wrong, in whatever chunk size it reads, and must give the
// lines that the line rules give; every getter must take every value; and the
// records written back must read as they were read.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
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

std::string ScratchPath(const char* name) {
  // tmpfs where there is one, so that the rename at Save costs no disk sync.
  const std::string dir =
      bridge::platform::DirectoryExists("/dev/shm") ? "/dev/shm" : "/tmp";
  return dir + "/textfile_fuzz_" + std::to_string(::getpid()) + "_" + name;
}

// Removes the scratch files when the fuzzer ends normally.
struct TScratchFiles {
  std::string In = ScratchPath("in.txt");
  std::string Out = ScratchPath("out.txt");
  TScratchFiles() = default;
  TScratchFiles(const TScratchFiles&) = delete;
  TScratchFiles& operator=(const TScratchFiles&) = delete;
  ~TScratchFiles() {
    static_cast<void>(bridge::platform::RemoveFile(In));
    static_cast<void>(bridge::platform::RemoveFile(Out));
  }
};

const TScratchFiles& Scratch() {
  static const TScratchFiles files;
  return files;
}

}  // namespace

namespace {

void WalkReadAndWriteBack(const std::uint8_t* data, std::size_t size) {
  using bridge::TZendorProFile;
  using bridge::TZendorProRecord;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string& path = Scratch().In;
  const std::string& out = Scratch().Out;
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const std::size_t chunk = size == 0 ? 1 : 1 + data[0] % 16;
  const std::vector<std::string> expected = ReferenceLines(bytes);

  {
    TZendorProFile lines(0, chunk);
    lines.Definition().LoadDefinitions({"X : String;"});
    lines.Definition().FindItem("x")->SetClean(false);
    Require(lines.OpenRead(path));
    std::size_t count = 0;
    for (bool more = lines.First(); more; more = lines.Next()) {
      Require(count < expected.size());
      Require(lines.CurrentRecord()->ToLine() == FirstPiece(expected[count]));
      ++count;
    }
    Require(count == expected.size());
    Require(lines.CurrentRecord() == nullptr);
  }

  TZendorProFile file(0, chunk);
  file.Definition().LoadDefinitions(kFields);
  Require(file.OpenRead(path));
  static_cast<void>(bridge::platform::RemoveFile(out));
  TZendorProFile copy(0, chunk);
  copy.Definition().LoadDefinitions(kFields);
  Require(copy.OpenWrite(out, bridge::TBackups::kOff));
  std::vector<std::string> values;
  for (bool more = file.First(); more; more = file.Next()) {
    TZendorProRecord& record = *file.CurrentRecord();
    for (std::int32_t i = 0; i < file.Definition().Count(); ++i) {
      const std::string& name = file.Definition().Item(i)->Name();
      const std::string text = record.GetString(name);
      Require(text == record.GetStringAt(i));
      // Trimmed, then one final "^" dropped, with no control character left.
      Require(bridge::TrimLeft(text) == text);
      for (const char c : text) Require(static_cast<unsigned char>(c) >= 32);
      values.push_back(text);
      (void)record.GetInteger(name);
      (void)record.GetFloat(name);
      (void)record.GetBoolean(name);
      (void)record.GetDate(name);
    }
    copy.Append(record);
  }
  copy.Save();

  TZendorProFile back(0, chunk);
  back.Definition().LoadDefinitions(kFields);
  Require(back.OpenRead(out));
  std::size_t at = 0;
  for (bool more = back.First(); more; more = back.Next()) {
    const TZendorProRecord& record = *back.CurrentRecord();
    for (std::int32_t i = 0; i < back.Definition().Count(); ++i) {
      Require(at < values.size() && record.GetStringAt(i) == values[at++]);
    }
  }
  Require(at == values.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  try {
    WalkReadAndWriteBack(data, size);
  } catch (const bridge::EBridgeError&) {
    // Only a scratch file that cannot be read or written raises here.
  }
  return 0;
}
