#include "app/JobJournal.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Text.h"

namespace bridge {
namespace {

#ifdef _WIN32
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif
constexpr std::string_view kOlderSuffix = ".1";

// A value never breaks its line nor its field.
std::string OneLine(std::string_view text) {
  std::string out(text);
  std::replace_if(
      out.begin(), out.end(),
      [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return out;
}

void AddField(std::string& line, std::string_view key, std::string_view value) {
  line += '\t';
  line += key;
  line += '=';
  line += OneLine(value);
}

std::string RunText(const TJobReport::TRun& run, bool table) {
  const TTransferCounts& c = run.Counts;
  if (!c.SourceFound) return "no " + run.Source;
  std::string text = "read " + IntToStr(c.Read) + " written " +
                     IntToStr(c.Written) + " skipped " + IntToStr(c.Skipped);
  if (table) {
    text += " cut " + IntToStr(c.Cut) + " replaced " + IntToStr(c.Replaced);
  }
  return text;
}

std::string_view StepName(TJobReport::TRecoveryStep step) {
  switch (step) {
    case TJobReport::TRecoveryStep::kRemoved:
      return "removed";
    case TJobReport::TRecoveryStep::kRestored:
      return "restored";
    case TJobReport::TRecoveryStep::kPublished:
      return "published";
    case TJobReport::TRecoveryStep::kArchived:
      return "archived";
  }
  return "";
}

void ParseLines(std::string_view text, std::vector<TJournalEntry>& entries) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    TJournalEntry entry;
    bool first = true;
    while (!line.empty() || first) {
      const std::size_t tab = std::min(line.find('\t'), line.size());
      const std::string_view field = line.substr(0, tab);
      line.remove_prefix(std::min(tab + 1, line.size()));
      if (first) {
        entry.When = std::string(field);
        first = false;
        continue;
      }
      const std::size_t equals = field.find('=');
      if (equals == std::string_view::npos) continue;
      entry.Fields.emplace_back(field.substr(0, equals),
                                field.substr(equals + 1));
    }
    if (entry.Has("mode") && entry.Has("status")) {
      entries.push_back(std::move(entry));
    }
  }
}

}  // namespace

std::string JournalPath(std::string_view executablePath,
                        std::string_view deviceName) {
  std::string path = platform::ExtractFileDir(executablePath);
  path += platform::kPathDelimiter;
  if (!deviceName.empty()) {
    path += deviceName;
    path += platform::kPathDelimiter;
  }
  return path + platform::ChangeFileExt(
                    platform::ExtractFileName(executablePath), ".log");
}

std::string JournalLine(const TJournalRecord& record) {
  std::string line = FormatDateTime("yyyy-mm-dd hh:nn:ss", record.Started);
  AddField(line, "mode", record.Mode);
  AddField(line, "device", record.Device);
  AddField(line, "seconds", FormatFixed(std::max(record.Seconds, 0.0), 3, '.'));
  AddField(line, "status", IntToStr(record.Status));
  if (!record.Message.empty()) AddField(line, "message", record.Message);
  const TJobReport& report = record.Report;
  const bool send = record.Mode != "O";
  for (const TJobReport::TRun& run : report.Runs) {
    AddField(line, run.Target, RunText(run, send));
  }
  if (report.Documents >= 0) {
    AddField(line, "documents", IntToStr(report.Documents));
    AddField(line, "lines", IntToStr(report.Lines));
  }
  if (!report.Recovered.empty()) {
    std::string steps;
    for (const TJobReport::TRecovery& step : report.Recovered) {
      if (!steps.empty()) steps += ", ";
      steps += StepName(step.Step);
      steps += ' ';
      steps += step.Name;
    }
    AddField(line, "recovered", steps);
  }
  line += kLineEnd;
  return line;
}

void AppendToJournal(std::string_view path, std::string_view line,
                     TJournalRotation rotation) {
  if (rotation == TJournalRotation::kAllowed) {
    const auto size = platform::FileSize(path);
    if (size && *size + line.size() > kJournalLimit) {
      static_cast<void>(platform::RenameFile(
          path, std::string(path) + std::string(kOlderSuffix)));
    }
  }
  static_cast<void>(platform::AppendToFile(path, line));
}

std::string TJournalEntry::Value(std::string_view key) const {
  for (const auto& [name, value] : Fields) {
    if (name == key) return value;
  }
  return "";
}

bool TJournalEntry::Has(std::string_view key) const {
  return std::any_of(Fields.begin(), Fields.end(),
                     [key](const auto& field) { return field.first == key; });
}

std::vector<TJournalEntry> ReadJournal(std::string_view path) {
  std::vector<TJournalEntry> entries;
  for (const std::string& part :
       {std::string(path) + std::string(kOlderSuffix), std::string(path)}) {
    if (!platform::FileExists(part)) continue;
    if (const auto text = platform::ReadWholeFile(part)) {
      ParseLines(*text, entries);
    }
  }
  return entries;
}

}  // namespace bridge
