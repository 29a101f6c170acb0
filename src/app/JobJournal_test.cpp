#include "app/JobJournal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "app/Uprogramparams_run.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/FaultPlan.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::WriteBytes;

#ifdef _WIN32
constexpr std::string_view kLineEnd = "\r\n";
#else
constexpr std::string_view kLineEnd = "\n";
#endif

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
