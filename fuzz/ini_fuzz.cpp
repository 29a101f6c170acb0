// Arbitrary bytes as the content of a configuration file. The reader must
// take any of them without going wrong, a key that exists must read as it is
// written in the file, and the text the writer would put on disk must be the
// text it read, line endings and all.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/IniFile.h"

namespace {

using TKey = std::pair<std::string_view, std::string_view>;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string_view Strip(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

// The section and key of the first few "key=" lines, found the simple way,
// so that lookups reach entries that are there; plus names that are not.
std::vector<TKey> KeysOf(std::string_view text) {
  std::vector<TKey> keys = {{"MAIN", "WERSJA"},   {"main", " katalog "},
                            {"MAIN", "NR_FK"},    {"", ""},
                            {"[MAIN]", "WERSJA"}, {"MAIN", "=WERSJA"}};
  std::string_view section;
  while (!text.empty() && keys.size() < 16) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::string_view stripped = Strip(line);
    if (!stripped.empty() && stripped.front() == '[') {
      const std::size_t close = stripped.find(']');
      if (close != std::string_view::npos)
        section = stripped.substr(1, close - 1);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos)
      keys.emplace_back(section, line.substr(0, eq));
    // The whole line as a name too: keys with blanks, brackets and controls.
    keys.emplace_back(line, line);
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bridge::TIniFile ini = bridge::TIniFile::FromText("fuzz.cfg", text);
  Require(ini.Text() == text);

  // Parsing is deterministic and the text came back whole, so a second
  // parse of ini.Text() could only agree with this one.
  for (const auto& [section, key] : KeysOf(text)) {
    const bool exists = ini.ValueExists(section, key);
    const std::string a = ini.ReadString(section, key, "\x01");
    if (!exists) {
      Require(a == "\x01");
      continue;
    }
    // Two defaults tell a value read from the file from a default given
    // back.
    Require(ini.ReadString(section, key, "\x02") == a);
    // A value is the rest of its line.
    Require(a.find_first_of("\r\n") == std::string::npos);
    Require(text.find(a) != std::string_view::npos);
  }
  return 0;
}
