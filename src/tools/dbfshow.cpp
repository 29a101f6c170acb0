// forbook-dbfshow: shows a device table or a host text file on a UTF-8
// terminal, for a person checking what a job wrote or is about to read.
//
//   forbook-dbfshow [-n N|all] TABLE.dbf...      fields, record count and the
//                                                first N records (default 5)
//   forbook-dbfshow --text [-n N|all] FILE.txt... the first N lines, values
//                                                shown as "a | b | c"; the
//                                                host's dok.txt and poz.txt
//                                                value by field name
//
// Tables are read with the program's own engine, so what this shows is what
// a receive job would read; text files are shown byte for byte, converted
// from Windows-1250. Exits with 1 when a file cannot be read.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "textfile/uZendorTextFileDef.h"
#include "transfer/Utransdokumenty.h"

namespace {

using bridge::TDBF;
using bridge::TDBFRecord;
namespace platform = bridge::platform;

constexpr std::size_t kAll = std::numeric_limits<std::size_t>::max();

struct TOptions {
  bool Text = false;
  std::size_t Count = 5;
  std::vector<std::string> Files;  // as the shell gave them, UTF-8
};

void Print(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

void PrintLine(std::string_view utf8) {
  Print(utf8);
  Print("\n");
}

std::string Utf8(std::string_view cp1250) {
  return platform::Cp1250ToUtf8(cp1250);
}

std::string PadRight(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void Usage() {
  std::fputs(
      "usage: forbook-dbfshow [-n N|all] TABLE.dbf...\n"
      "       forbook-dbfshow --text [-n N|all] FILE.txt...\n",
      stderr);
}

std::optional<std::size_t> ParseCount(std::string_view text) {
  if (text == "all") return kAll;
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::size_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - '0');
  }
  return value;
}

std::optional<TOptions> ParseArguments(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--text" || arg == "-t") {
      options.Text = true;
    } else if (arg == "-n" && i + 1 < argc) {
      const auto count = ParseCount(argv[++i]);
      if (!count) return std::nullopt;
      options.Count = *count;
    } else if (arg == "-h" || arg == "--help" || arg.starts_with("-")) {
      return std::nullopt;
    } else {
      options.Files.emplace_back(arg);
    }
  }
  if (options.Files.empty()) return std::nullopt;
  return options;
}

// " (showing N)" when fewer than all are shown.
std::string Showing(std::size_t count, std::size_t all) {
  return count < all ? " (showing " + std::to_string(count) + ")" : "";
}

// The field names of the import files the receive job writes, in the order
// of their values; none for other files.
std::vector<std::string> ImportFieldNames(const std::string& utf8Path) {
  const std::string name = platform::ExtractFileName(utf8Path);
  std::vector<std::string> lines;
  if (name == "dok.txt") lines = bridge::DocHeadDefinitionLines();
  if (name == "poz.txt") lines = bridge::DocPosDefinitionLines();
  bridge::TTextFileDef definition;
  definition.LoadDefinitions(lines);
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < definition.Count(); ++i) {
    names.push_back(definition.Item(i)->Name());
  }
  return names;
}

bool ShowTable(const std::string& utf8Path, std::size_t count) {
  const std::string path = platform::Utf8ToCp1250(utf8Path);
  TDBF table;
  if (!table.Open(path)) {
    std::fprintf(stderr, "%s: cannot open the table\n", utf8Path.c_str());
    return false;
  }
  const auto& fields = table.Fields();
  std::size_t nameWidth = 4;
  for (const auto& field : fields) {
    nameWidth = std::max(nameWidth, field->Name().size());
  }

  PrintLine(utf8Path + ": " + std::to_string(fields.Count()) + " fields, " +
            std::to_string(table.RecordCount()) + " records" +
            Showing(count, static_cast<std::size_t>(table.RecordCount())));
  PrintLine("   #  " + PadRight("name", nameWidth) + "  type  len  dec");
  std::size_t number = 0;
  for (const auto& field : fields) {
    ++number;
    char head[16];
    std::snprintf(head, sizeof head, "%4zu  ", number);
    char tail[32];
    std::snprintf(tail, sizeof tail, "  %c     %3d  %3d", field->FieldType(),
                  field->Length(), field->Decimals());
    PrintLine(head + PadRight(Utf8(field->Name()), nameWidth) + tail);
  }

  std::size_t shown = 0;
  for (table.First(); !table.Eof() && shown < count; table.Next()) {
    const TDBFRecord* record = table.ReadRecord();
    if (record == nullptr) {
      PrintLine("(the rest of the file is not a whole record)");
      break;
    }
    ++shown;
    PrintLine("record " + std::to_string(shown) +
              (record->IsDeleted() ? " (deleted)" : "") + ":");
    for (const auto& field : fields) {
      // The engine trims what it reads, so an unwritten field shows as
      // nothing after the "=".
      PrintLine("  " + PadRight(Utf8(field->Name()), nameWidth) + " = " +
                Utf8(record->GetString(*field)));
    }
  }
  static_cast<void>(table.Close());  // a table being read always closes
  return true;
}

// The lines of a host text file, ended as the program reads them: CR LF, a
// lone CR or a lone LF; a last line without an ending still counts.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

bool ShowText(const std::string& utf8Path, std::size_t count) {
  const auto bytes = platform::ReadWholeFile(platform::Utf8ToCp1250(utf8Path));
  if (!bytes) {
    std::fprintf(stderr, "%s: cannot read the file\n", utf8Path.c_str());
    return false;
  }
  const auto lines = SplitLines(*bytes);
  const std::vector<std::string> names = ImportFieldNames(utf8Path);
  PrintLine(utf8Path + ": " + std::to_string(lines.size()) + " lines" +
            Showing(count, lines.size()) +
            (names.empty() ? "" : ", values by the host's field names"));
  std::size_t nameWidth = 4;
  for (const std::string& name : names) {
    nameWidth = std::max(nameWidth, name.size());
  }
  std::size_t number = 0;
  for (const std::string_view line : lines) {
    if (number == count) break;
    ++number;
    std::vector<std::string_view> values;
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find('\t', start);
      values.push_back(line.substr(start, tab - start));
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (!names.empty()) {
      PrintLine("line " + std::to_string(number) + ":");
      for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string name = i < names.size() ? names[i] : "?";
        PrintLine("  " + PadRight(name, nameWidth) + " = " + Utf8(values[i]));
      }
      continue;
    }
    std::string shown;
    for (const std::string_view value : values) {
      if (!shown.empty()) shown += " | ";
      shown += value;
    }
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%5d [%zu] ", static_cast<int>(number),
                  values.size());
    PrintLine(prefix + Utf8(shown));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options) {
    Usage();
    return 2;
  }
  platform::InstallSystem(platform::RealSystem(argc, argv));
  bool allRead = true;
  bool first = true;
  for (const std::string& file : options->Files) {
    if (!first) PrintLine("");
    first = false;
    try {
      const bool read = options->Text ? ShowText(file, options->Count)
                                      : ShowTable(file, options->Count);
      allRead = allRead && read;
    } catch (const bridge::EBridgeError& error) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(),
                   Utf8(error.what()).c_str());
      allRead = false;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), error.what());
      allRead = false;
    }
  }
  std::fflush(stdout);
  return allRead ? 0 : 1;
}
