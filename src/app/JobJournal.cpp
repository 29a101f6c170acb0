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

// The part of text before the first delimiter, which text then leaves
// behind with the delimiter.
std::string_view TakePart(std::string_view& text, char delimiter) {
  const std::size_t at = std::min(text.find(delimiter), text.size());
  const std::string_view part = text.substr(0, at);
  text.remove_prefix(std::min(at + 1, text.size()));
  return part;
}

void ParseLines(std::string_view text, std::vector<TJournalEntry>& entries) {
  while (!text.empty()) {
    std::string_view line = TakePart(text, '\n');
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    TJournalEntry entry;
    entry.When = std::string(TakePart(line, '\t'));
    while (!line.empty()) {
      std::string_view value = TakePart(line, '\t');
      const std::string_view key = TakePart(value, '=');
      entry.Fields.emplace_back(key, value);
    }
    // A line cut short by a full disk, or none of a job's at all.
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
