#include "app/DeviceStatus.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "app/JobJournal.h"
#include "app/Uprogramparams_run.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "transfer/uMain2_jobs.h"

namespace bridge {
namespace {

constexpr auto kDevice = Cp1250(u8"Urządzenie: ");
constexpr auto kJournal = Cp1250(u8"Dziennik: ");
constexpr auto kLastSend = Cp1250(u8"Ostatnia wysyłka: ");
constexpr auto kLastReceive = Cp1250(u8"Ostatni odbiór: ");
constexpr auto kLastFailure = Cp1250(u8"Ostatni błąd: ");
constexpr auto kLastHandOver =
    Cp1250(u8"Ostatnie przekazanie dokumentów do systemu Zendor Pro: ");
constexpr auto kNotInJournal = Cp1250(u8"brak w dzienniku");
constexpr auto kSendSucceeded = Cp1250(u8"zakończona pomyślnie");
constexpr auto kSendFailed = Cp1250(u8"zakończona błędem");
constexpr auto kReceiveSucceeded = Cp1250(u8"zakończony pomyślnie");
constexpr auto kReceiveFailed = Cp1250(u8"zakończony błędem");
constexpr auto kTables = Cp1250(u8"tabele: ");
constexpr auto kRecords = Cp1250(u8"rekordy: ");
constexpr auto kDocuments = Cp1250(u8"dokumenty: ");
constexpr auto kLines = Cp1250(u8"pozycje: ");
constexpr auto kNoDocuments = Cp1250(u8"nie było dokumentów do odebrania");
constexpr auto kSendJob = Cp1250(u8"wysyłka");
constexpr auto kReceiveJob = Cp1250(u8"odbiór");
constexpr auto kPending = Cp1250(u8"Oczekuje:");
constexpr auto kNothing = Cp1250(u8" nic");
constexpr auto kUncollected =
    Cp1250(u8"plik czeka na pobranie przez system Zendor Pro: ");
constexpr auto kUploaded =
    Cp1250(u8"tabela przesłana z urządzenia czeka na odbiór: ");
constexpr auto kTaken = Cp1250(
    u8"tabela przejęta przez przerwany odbiór czeka na kopię i usunięcie: ");
constexpr auto kPrepared =
    Cp1250(u8"plik przygotowany przez przerwane zadanie: ");
constexpr auto kUnknown = Cp1250(u8"nie udało się sprawdzić: ");
constexpr auto kRunning =
    Cp1250(u8"trwa zadanie wymiany danych z urządzeniem (blokada ");

constexpr char kEnd = '\n';

bool IsSend(const TJournalEntry& entry) {
  const std::string mode = entry.Value("mode");
  return mode == "W" || mode == "I";
}

bool IsReceive(const TJournalEntry& entry) {
  return entry.Value("mode") == "O";
}

bool Failed(const TJournalEntry& entry) { return entry.Value("status") != "0"; }

// The number after a word in a value such as "read 5 written 4 skipped 1".
std::optional<std::int64_t> NumberAfter(std::string_view value,
                                        std::string_view word) {
  const std::string key = std::string(word) + " ";
  std::size_t at = 0;
  while ((at = value.find(key, at)) != std::string_view::npos) {
    if (at == 0 || value[at - 1] == ' ') {
      const std::string_view rest = value.substr(at + key.size());
      return ParseInt32(rest.substr(0, rest.find(' ')));
    }
    at += key.size();
  }
  return std::nullopt;
}

// What a send wrote: the tables it gave the device and their records.
std::string SendSummary(const TJournalEntry& entry) {
  std::int64_t tables = 0;
  std::int64_t records = 0;
  for (const auto& [key, value] : entry.Fields) {
    const auto written = NumberAfter(value, "written");
    if (!key.ends_with(".dbf") || !written) continue;
    if (*written > 0) ++tables;
    records += *written;
  }
  return std::string(kTables.view()) + IntToStr(tables) + ", " +
         std::string(kRecords.view()) + IntToStr(records);
}

std::string ReceiveSummary(const TJournalEntry& entry) {
  if (!entry.Has("documents")) return kNoDocuments.str();
  return std::string(kDocuments.view()) + entry.Value("documents") + ", " +
         std::string(kLines.view()) + entry.Value("lines");
}

// "2026-12-09 17:03:04, zakończona pomyślnie (tabele: 6, rekordy: 72,
// 0.214 s)", or the failure and its message.
std::string Outcome(const TJournalEntry* entry, bool send) {
  if (entry == nullptr) return kNotInJournal.str();
  std::string text = entry->When + ", ";
  if (Failed(*entry)) {
    text += send ? kSendFailed.view() : kReceiveFailed.view();
    const std::string message = entry->Value("message");
    if (!message.empty()) text += ": " + message;
    return text;
  }
  text += send ? kSendSucceeded.view() : kReceiveSucceeded.view();
  return text + " (" + (send ? SendSummary(*entry) : ReceiveSummary(*entry)) +
         ", " + entry->Value("seconds") + " s)";
}

std::string_view PendingText(TPendingKind kind) {
  switch (kind) {
    case TPendingKind::kUncollected:
      return kUncollected.view();
    case TPendingKind::kUploaded:
      return kUploaded.view();
    case TPendingKind::kTaken:
      return kTaken.view();
    case TPendingKind::kPrepared:
      return kPrepared.view();
    case TPendingKind::kUnknown:
      return kUnknown.view();
  }
  return kUnknown.view();
}

}  // namespace

std::string DeviceStatusText() {
  const std::string& device = ConfigFile().DeviceName();
  const std::string journal =
      JournalPath(platform::System().ExecutablePath, device);
  const TJournalEntry* lastSend = nullptr;
  const TJournalEntry* lastReceive = nullptr;
  const TJournalEntry* lastFailure = nullptr;
  const TJournalEntry* lastHandOver = nullptr;
  const std::vector<TJournalEntry> entries = ReadJournal(journal);
  for (const TJournalEntry& entry : entries) {
    if (IsSend(entry)) lastSend = &entry;
    if (IsReceive(entry)) lastReceive = &entry;
    if (Failed(entry)) lastFailure = &entry;
    // Documents handed over stay handed over when a later step failed.
    if (entry.Has("documents")) lastHandOver = &entry;
  }

  std::string text = std::string(kDevice.view()) + device + kEnd;
  text += std::string(kJournal.view()) + journal + kEnd;
  text += std::string(kLastSend.view()) + Outcome(lastSend, true) + kEnd;
  text += std::string(kLastReceive.view()) + Outcome(lastReceive, false) + kEnd;
  text += kLastHandOver.view();
  text += lastHandOver == nullptr
              ? kNotInJournal.str()
              : lastHandOver->When + " (" + ReceiveSummary(*lastHandOver) + ")";
  text += kEnd;
  text += kLastFailure.view();
  if (lastFailure == nullptr) {
    text += kNotInJournal.view();
  } else {
    text += lastFailure->When + ", ";
    text += IsReceive(*lastFailure) ? kReceiveJob.view() : kSendJob.view();
    const std::string message = lastFailure->Value("message");
    if (!message.empty()) text += ": " + message;
  }
  text += kEnd;

  std::vector<TPendingFile> pending = FindPendingWork();
  std::stable_sort(pending.begin(), pending.end(),
                   [](const TPendingFile& a, const TPendingFile& b) {
                     return a.Kind < b.Kind;
                   });
  const std::string lock = DeviceLockPath(device);
  std::string items;
  for (const TPendingFile& file : pending) {
    items += "  " + std::string(PendingText(file.Kind)) + file.Path + kEnd;
  }
  if (platform::TFileLock::IsHeld(lock)) {
    items += "  " + std::string(kRunning.view()) + lock + ")" + kEnd;
  }
  text += kPending.view();
  if (items.empty()) {
    text += std::string(kNothing.view()) + kEnd;
  } else {
    text += kEnd + items;
  }
  return text;
}

}  // namespace bridge
