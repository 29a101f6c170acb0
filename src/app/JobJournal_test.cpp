#include "app/JobJournal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>

#include "app/Uprogramparams_run.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/ConfigTestSupport.h"
#include "testing/FaultPlan.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using testing::InstallProgram;
using testing::ReadBytes;
using testing::RunExecutable;
using testing::TTempDir;
using testing::WriteBytes;

#ifdef _WIN32
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

std::int64_t Lines(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i > 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i - 1));
  }
  return value;
}

// A table's header record count, and how many records carry the deletion
// mark, read from its bytes.
struct TTableCounts {
  std::int64_t Records = 0;
  std::int64_t Deleted = 0;
};

TTableCounts CountsOf(const std::string& path) {
  const std::string bytes = ReadBytes(path);
  TTableCounts counts;
  counts.Records = U32At(bytes, 4);
  const std::size_t header = U32At(bytes, 8) & 0xFFFF;
  const std::size_t record = U32At(bytes, 10) & 0xFFFF;
  for (std::int64_t i = 0; i < counts.Records; ++i) {
    counts.Deleted +=
        bytes.at(header + static_cast<std::size_t>(i) * record) == '*';
  }
  return counts;
}

std::string RunText(std::int64_t read, std::int64_t written,
                    std::int64_t skipped) {
  return "read " + std::to_string(read) + " written " +
         std::to_string(written) + " skipped " + std::to_string(skipped);
}

// The program installed as a site installs it, device 12's host export in
// place and the devices' data directory beside it.
class JournalOfThePrograms : public ::testing::Test {
 protected:
  JournalOfThePrograms() {
    WriteBytes(FDir / "forbook-bridge.cfg",
               "[MAIN]\r\nKATALOG=" + FData.Str() + "\r\nNR_KONTA=1\r\n");
    std::filesystem::create_directories(FDir / "12");
    std::filesystem::copy(FORBOOK_SOURCE_DIR "/samples/host/12/Eksport",
                          FDir / "12/Eksport");
  }
  std::string Journal() { return ReadBytes(FDir / "12/forbook-bridge.log"); }

  TTempDir FDir;
  TTempDir FData;
  std::string FExe = InstallProgram(FORBOOK_BRIDGE_EXE, FDir.Str());
};

TEST_F(JournalOfThePrograms, SampleJobsLeaveOneRecordEachCountedAsTheFiles) {
  ASSERT_EQ(RunExecutable(FExe, {"RW:W", "KU:12"}).Status, 0);
  const std::string upload = FData / "Upload/00000012";
  std::filesystem::create_directories(upload);
  for (const char* table : {"dokument.dbf", "poz_dok.dbf"}) {
    std::filesystem::copy(
        std::string(FORBOOK_SOURCE_DIR "/samples/device/12/Upload/") + table,
        upload);
  }
  const TTableCounts heads = CountsOf(upload + "/dokument.dbf");
  const TTableCounts lines = CountsOf(upload + "/poz_dok.dbf");
  ASSERT_EQ(RunExecutable(FExe, {"RW:O", "KU:12"}).Status, 0);

  const std::string journal = Journal();
  ASSERT_EQ(Lines(journal), 2);
  const std::regex start(
      "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\tmode=([WO])\tdevice=12\t"
      "seconds=\\d+\\.\\d{3}\tstatus=0\t[^\r\n]*" +
      std::string(kLineEnd));
  std::size_t at = 0;
  for (const char* mode : {"W", "O"}) {
    const std::size_t end = journal.find(kLineEnd, at) + kLineEnd.size();
    std::smatch match;
    const std::string line = journal.substr(at, end - at);
    EXPECT_TRUE(std::regex_match(line, match, start)) << line;
    EXPECT_EQ(match[1], mode);
    at = end;
  }

  const std::vector<TJournalEntry> entries =
      ReadJournal(FDir / "12/forbook-bridge.log");
  ASSERT_EQ(entries.size(), 2u);
  const std::map<std::string, std::string> sources = {
      {"klient.dbf", "kontrahent.txt"}, {"dok_kre.dbf", "doknieroz.txt"},
      {"prod.dbf", "grkart2.txt"},      {"asort.dbf", "grkart1.txt"},
      {"towar.dbf", "kartoteka.txt"},   {"info.dbf", "konfiguracja.txt"}};
  for (const auto& [table, host] : sources) {
    const std::int64_t read = Lines(ReadBytes(FDir / ("12/Eksport/" + host)));
    const std::int64_t written =
        CountsOf(FData / ("Download/00000012/" + table)).Records;
    EXPECT_THAT(
        entries[0].Value(table),
        ::testing::StartsWith(RunText(read, written, read - written) + " cut "))
        << table;
  }
  const std::string dok = ReadBytes(FDir / "12/Import/dok.txt");
  const std::string poz = ReadBytes(FDir / "12/Import/poz.txt");
  EXPECT_EQ(entries[1].Value("dok.txt"),
            RunText(heads.Records, Lines(dok), heads.Deleted));
  EXPECT_EQ(entries[1].Value("poz.txt"),
            RunText(lines.Records, Lines(poz), lines.Deleted));
  EXPECT_EQ(entries[1].Value("documents"), std::to_string(Lines(dok)));
  EXPECT_EQ(entries[1].Value("lines"), std::to_string(Lines(poz)));
}

TEST(JournalLine, HoldsEveryFieldOnOneLine) {
  TJournalRecord record;
  record.Started = EncodeDateTime({2026, 12, 9, 7, 5, 3, 0});
  record.Mode = "O";
  record.Device = "12";
  record.Seconds = 1.2345;
  record.Status = 1;
  record.Message = "Nie\tmo\r\nzna";
  record.Report.Runs = {{"dok.txt", "dokument.dbf", {true, 5, 4, 1, 0, 0}},
                        {"poz.txt", "poz_dok.dbf", {false}}};
  record.Report.Documents = 4;
  record.Report.Lines = 7;
  record.Report.Recovered = {
      {TJobReport::TRecoveryStep::kPublished, "poz.txt"},
      {TJobReport::TRecoveryStep::kArchived, "dokument.dbf"}};
  EXPECT_EQ(JournalLine(record),
            "2026-12-09 07:05:03\tmode=O\tdevice=12\tseconds=1.235\tstatus=1"
            "\tmessage=Nie mo  zna\tdok.txt=read 5 written 4 skipped 1"
            "\tpoz.txt=no poz_dok.dbf\tdocuments=4\tlines=7"
            "\trecovered=published poz.txt, archived dokument.dbf" +
                std::string(kLineEnd));
  record.Mode = "W";
  record.Status = 0;
  record.Message.clear();
  record.Report = {};
  record.Report.Runs = {
      {"klient.dbf", "kontrahent.txt", {true, 3, 2, 1, 4, 5}}};
  EXPECT_EQ(JournalLine(record),
            "2026-12-09 07:05:03\tmode=W\tdevice=12\tseconds=1.235\tstatus=0"
            "\tklient.dbf=read 3 written 2 skipped 1 cut 4 replaced 5" +
                std::string(kLineEnd));
}

// A send job of device 7 started in this process as the host starts one,
// with the obstacle in its journal's way; a layout outside the table makes
// it fail.
struct TJobRun {
  int Status;
  std::vector<std::string> Errors;
  bool Journaled;
};

using TObstacle = std::function<void(const std::string& journal,
                                     testing::TFaultPlan& faults)>;

TJobRun RunSendJob(bool failing, const TObstacle& obstacle) {
  TTempDir dir;
  testing::TTestSystem system(dir.Str(), {"RW:W", "KU:7"});
  testing::TScopedConfigFile config("7");
  WriteBytes(dir / "7/forbook-bridge.cfg",
             "[MAIN]\r\nKATALOG=" + dir.Str() +
                 (failing ? "\r\nWERSJA=1.9.0\r\n" : "\r\n"));
  testing::TScopedFaults faults;
  const std::string journal = dir / "7/forbook-bridge.log";
  obstacle(journal, *faults);
  const int status = StartProgram();
  const TJobRun run{status, system.Boxes().Errors,
                    !platform::DirectoryExists(journal) &&
                        ReadBytes(journal).ends_with(kLineEnd)};
  // Windows removes no read-only file with its directory.
  std::error_code ignored;
  std::filesystem::permissions(journal, std::filesystem::perms::owner_all,
                               ignored);
  return run;
}

TEST(JournalFaults, AJournalThatCannotBeWrittenChangesNoJobsOutcome) {
  const std::pair<const char*, TObstacle> obstacles[] = {
      {"a directory in its place",
       [](const std::string& journal, testing::TFaultPlan&) {
         std::filesystem::create_directories(journal);
       }},
      {"a read-only file",
       [](const std::string& journal, testing::TFaultPlan&) {
         WriteBytes(journal, "");
         std::filesystem::permissions(journal,
                                      std::filesystem::perms::owner_read);
       }},
      {"a disk that refuses the write",
       [](const std::string&, testing::TFaultPlan& faults) {
         faults.Fail(platform::TFileOp::kAppend, "/forbook-bridge.log");
       }},
      {"a full journal that cannot be renamed",
       [](const std::string& journal, testing::TFaultPlan& faults) {
         WriteBytes(journal, std::string(kJournalLimit, 'x'));
         faults.Fail(platform::TFileOp::kRename, "/forbook-bridge.log");
       }},
  };
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "a failing job" : "a job that succeeds");
    const TJobRun expected =
        RunSendJob(failing, [](const std::string&, testing::TFaultPlan&) {});
    EXPECT_EQ(expected.Status, failing ? 1 : 0);
    EXPECT_EQ(expected.Errors.size(), failing ? 1u : 0u);
    EXPECT_TRUE(expected.Journaled);
    for (const auto& [name, obstacle] : obstacles) {
      SCOPED_TRACE(name);
      const TJobRun run = RunSendJob(failing, obstacle);
      EXPECT_EQ(run.Status, expected.Status);
      EXPECT_EQ(run.Errors, expected.Errors);
    }
  }
}

TEST(JournalRotation, AFullJournalMakesWayUnlessItsJobWasRefused) {
  TTempDir dir;
  const std::string journal = dir / "forbook-bridge.log";
  const std::string older = journal + ".1";
  const std::string full = std::string(kJournalLimit - 10, 'x') + "\n";
  const std::string line = "2026-12-09 07:05:03\tmode=O\tstatus=0\n";
  WriteBytes(journal, full);
  WriteBytes(older, "replaced");
  AppendToJournal(journal, line, TJournalRotation::kAllowed);
  EXPECT_EQ(ReadBytes(older), full);
  EXPECT_EQ(ReadBytes(journal), line);
  AppendToJournal(journal, line, TJournalRotation::kAllowed);
  EXPECT_EQ(ReadBytes(journal), line + line);
  EXPECT_EQ(ReadJournal(journal).size(), 2u);  // the filler is no record

  // A job refused its device's lock runs beside the holder, which may be
  // renaming the journal at that moment: it only appends.
  WriteBytes(journal, full);
  testing::TTestSystem system(dir.Str(), {"RW:O", "KU:7"});
  system.System().LockWait = std::chrono::milliseconds(10);
  std::filesystem::create_directories(dir / "7");
  WriteBytes(dir / "7/forbook-bridge.log", full);
  const auto held = LockDevice("7");
  testing::TScopedConfigFile config("7");
  ASSERT_EQ(StartProgram(), 1);
  const std::vector<TJournalEntry> entries =
      ReadJournal(dir / "7/forbook-bridge.log");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Value("status"), "1");
  EXPECT_EQ(entries[0].Value("message"),
            Cp1250(u8"Trwa inna wymiana danych z urządzeniem: 7").str());
  EXPECT_FALSE(platform::FileExists(dir / "7/forbook-bridge.log.1"));
}

}  // namespace
}  // namespace bridge
