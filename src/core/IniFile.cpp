#include "core/IniFile.h"

#include <memory>

#include "core/Umessages.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace bridge {
namespace {

constexpr std::string_view kNewLine = "\r\n";

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

std::string_view StripBlanks(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

// The section name of a header line "[name]", or false.
bool SectionName(std::string_view line, std::string_view& name) {
  // Every lookup passes over all the lines, so most are let go at their
  // first character.
  while (!line.empty() && IsBlankChar(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() != '[') return false;
  line = StripBlanks(line);
  if (line.size() < 2) return false;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = StripBlanks(line.substr(1, close - 1));
  return true;
}

// The key and value of an entry line "key=value", or false.
bool Entry(std::string_view line, std::string_view& key,
           std::string_view& value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = StripBlanks(line.substr(0, eq));
  if (key.empty() || key.front() == ';') return false;
  value = line.substr(eq + 1);
  return true;
}

}  // namespace

TIniFile::TIniFile(std::string path) : FPath(std::move(path)) {
  const auto kind = platform::ProbePath(FPath);
  if (kind == platform::TPathKind::kNone) return;
  // A file that is there but cannot be read is not an empty file: taken for
  // one, its values would be written back as the defaults.
  const auto text = kind == platform::TPathKind::kFile
                        ? platform::ReadWholeFile(FPath)
                        : std::nullopt;
  if (!text) throw EBridgeError(std::string(kReadFailed.view()) + FPath);
  Parse(*text);
}

TIniFile::TIniFile(std::string path, std::string_view text)
    : FPath(std::move(path)) {
  Parse(text);
}

TIniFile TIniFile::FromText(std::string path, std::string_view text) {
  return TIniFile(std::move(path), text);
}

void TIniFile::Parse(std::string_view text) {
  FLines.clear();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    TLine line{std::string(text.substr(start, end - start)), ""};
    if (end < text.size()) {
      const bool crlf =
          text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
      line.Ending = std::string(text.substr(end, crlf ? 2 : 1));
      end += crlf ? 2 : 1;
    }
    FLines.push_back(std::move(line));
    start = end;
  }
}

std::size_t TIniFile::FindSection(std::string_view section) const {
  const std::string_view wanted = StripBlanks(section);
  for (std::size_t i = 0; i < FLines.size(); ++i) {
    std::string_view name;
    if (SectionName(FLines[i].Content, name) && SameText(name, wanted)) {
      return i;
    }
  }
  return std::string::npos;
}

std::size_t TIniFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < FLines.size() && !SectionName(FLines[i].Content, name)) ++i;
  return i;
}

std::size_t TIniFile::FindKey(std::size_t header, std::string_view key) const {
  const std::string_view wanted = StripBlanks(key);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view name;
    std::string_view value;
    if (Entry(FLines[i].Content, name, value) && SameText(name, wanted)) {
      return i;
    }
  }
  return std::string::npos;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
  const std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::string(defaultValue);
  const std::size_t at = FindKey(header, key);
  if (at == std::string::npos) return std::string(defaultValue);
  std::string_view name;
  std::string_view value;
  Entry(FLines[at].Content, name, value);
  return std::string(value);
}

bool TIniFile::ValueExists(std::string_view section,
                           std::string_view key) const {
  const std::size_t header = FindSection(section);
  return header != std::string::npos &&
         FindKey(header, key) != std::string::npos;
}

void TIniFile::SetInMemory(std::string_view section, std::string_view key,
                           std::string_view value) {
  const std::string entry =
      std::string(StripBlanks(key)) + "=" + std::string(value);
  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!FLines.empty() && FLines.back().Ending.empty()) {
      FLines.back().Ending = kNewLine;
    }
    FLines.push_back(
        {"[" + std::string(StripBlanks(section)) + "]", std::string(kNewLine)});
    FLines.push_back({entry, std::string(kNewLine)});
    return;
  }
  const std::size_t at = FindKey(header, key);
  if (at != std::string::npos) {
    FLines[at].Content = entry;
    return;
  }
  // After the section's last line that is not blank.
  std::size_t insertAt = SectionEnd(header);
  while (insertAt > header + 1 && Trim(FLines[insertAt - 1].Content).empty()) {
    --insertAt;
  }
  if (FLines[insertAt - 1].Ending.empty()) {
    FLines[insertAt - 1].Ending = kNewLine;
  }
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                TLine{entry, std::string(kNewLine)});
}

std::string TIniFile::Text() const {
  std::string text;
  for (const TLine& line : FLines) {
    text += line.Content;
    text += line.Ending;
  }
  return text;
}

void TIniFile::Flush() {
  const std::string text = Text();
  const auto onDisk = platform::ReadWholeFile(FPath);
  if (onDisk && *onDisk == text) return;
  auto writer = platform::TReplaceOnCommit::Begin(FPath);
  if (!writer || !writer->Write(text) || !writer->Commit()) {
    throw EBridgeError(std::string(kWriteFailed.view()) + FPath);
  }
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view value) {
  SetInMemory(section, key, value);
  Flush();
}

void TIniFile::WriteStrings(std::string_view section, const TEntries& entries) {
  for (const auto& [key, value] : entries) SetInMemory(section, key, value);
  Flush();
}

}  // namespace bridge
