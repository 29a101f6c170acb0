// The program's own reader and writer of Windows profile (INI) files.
//
// Section and key names match without regard to case. Reading gives the text
// after the first "=" of the first matching key. Writing updates a key in
// place, appends a new key after the last entry of its section, and a new
// section at the end of the file; every other line stays byte for byte. Each
// write replaces the file on disk at once, atomically.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bridge {

class TIniFile {
 public:
  using TEntries = std::vector<std::pair<std::string, std::string>>;

  // Reads the file when it exists; a missing file reads empty. Raises
  // "Nie udało się odczytać pliku " + path for one that cannot be read.
  explicit TIniFile(std::string path);
  // Parses text as the content of the file at path without touching disk.
  static TIniFile FromText(std::string path, std::string_view text);

  const std::string& FileName() const { return FPath; }
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Writes one key, or many in one replacement of the file. Raises
  // EBridgeError when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value);
  void WriteStrings(std::string_view section, const TEntries& entries);
  // The file's bytes as they are or would be written.
  std::string Text() const;

 private:
  struct TLine {
    std::string Content;  // without the line ending
    std::string Ending;   // "\r\n", "\n", "\r" or "" for the last line
  };
  TIniFile(std::string path, std::string_view text);
  void Parse(std::string_view text);
  // Index of the section header line, or npos.
  std::size_t FindSection(std::string_view section) const;
  // Index of the key's line within the section starting after header, or npos.
  std::size_t FindKey(std::size_t header, std::string_view key) const;
  std::size_t SectionEnd(std::size_t header) const;
  void SetInMemory(std::string_view section, std::string_view key,
                   std::string_view value);
  void Flush();

  std::string FPath;
  std::vector<TLine> FLines;
};

}  // namespace bridge
