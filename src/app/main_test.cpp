// The whole program, started as the host starts it, from a copy of the
// executable in a directory of its own: what the host, the device and an
// operator see of it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <regex>

#include "app/JobJournal.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "transfer/DocumentTablesTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::InstallProgram;
using ::testing::IsEmpty;
using testing::ListNames;
using ::testing::Not;
using testing::ReadBytes;
using testing::RunExecutable;
using testing::TTempDir;
using testing::U8;
using ::testing::UnorderedElementsAre;
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

// The whole program, started as the host starts it, from a copy of the
// executable in an empty directory.
class WholeProgram : public ::testing::Test {
 protected:
  TTempDir FDir;
  std::string FExe = InstallProgram(FORBOOK_BRIDGE_EXE, FDir.Str());
  std::string FName = platform::ExtractFileName(FExe);
};

TEST_F(WholeProgram, FirstRunCreatesTheDeviceConfigurationFromDefaults) {
  // The editor cannot open without a display, so the run fails after the
  // configuration was made.
  const auto result = RunExecutable(FExe, {"RW:E", "KU:12"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_THAT(result.Stdout, IsEmpty());
  EXPECT_THAT(result.Stderr, Not(IsEmpty()));
  EXPECT_THAT(ListNames(FDir.Str()),
              UnorderedElementsAre("12", FName, "forbook-bridge.cfg"));
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"),
            ReadBytes(FDir / "forbook-bridge.cfg"));
}

TEST_F(WholeProgram, TheInstalledTemplateSeedsEveryNewDevice) {
  const std::string installed = ReadBytes(FORBOOK_TEMPLATE_CFG);
  testing::WriteBytes(FDir / "forbook-bridge.cfg", installed);
  ASSERT_EQ(RunExecutable(FExe, {"RW:E", "KU:12"}).Status, 1);  // no display
  const std::string device = ReadBytes(FDir / "12/forbook-bridge.cfg");
  EXPECT_THAT(device, ::testing::StartsWith(installed));
  EXPECT_THAT(device,
              HasSubstr("\r\nKATALOG=" + std::string(testing::kDefaultCatalog) +
                        "\r\n"));
  // The other keys follow the template's last one.
  EXPECT_THAT(device, HasSubstr("\r\nNR_KONTA=\r\nNR_FK=0\r\n"));
  EXPECT_THAT(device, ::testing::EndsWith("WYMUS_ROZL=\r\n"));
}

TEST_F(WholeProgram, AnswersHelpAndVersionWithoutTouchingAnything) {
  for (const char* question : {"--help", "-h", "/?"}) {
    const auto result = RunExecutable(FExe, {question, "KU:12"});
    EXPECT_EQ(result.Status, 0) << question;
    EXPECT_THAT(result.Stdout, HasSubstr(testing::ConsoleText(
                                   u8"forbook-bridge RW:O KU:<urządzenie>")));
    EXPECT_THAT(result.Stderr, IsEmpty());
  }
  const auto result = RunExecutable(FExe, {"--version"});
  EXPECT_EQ(result.Status, 0);
  EXPECT_EQ(result.Stdout,
            testing::ConsoleText(u8"forbook-bridge " BRIDGE_VERSION "\n"));
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre(FName));
}

TEST_F(WholeProgram, AStartUpErrorIsShownAndEndsWithStatusOne) {
  const auto result = RunExecutable(FExe, {"RW:O", "KU:../x"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_EQ(result.Stderr,
            testing::ConsoleText(u8"Niepoprawna nazwa urządzenia: ../X\n"));
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre(FName));
}

// The arguments reach the program as the system splits them, quotes and
// Polish letters included, and its message as the system shows text.
TEST_F(WholeProgram, TakesQuotedPolishArgumentsWhole) {
  const auto result = RunExecutable(FExe, {"RW:O", U8(u8"KU:Łódź \"x\" 1")});
  EXPECT_EQ(result.Status, 1);
  EXPECT_EQ(
      result.Stderr,
      testing::ConsoleText(u8"Niepoprawna nazwa urządzenia: ŁÓDŹ \"X\" 1\n"));
}

TEST_F(WholeProgram, AnInvalidLayoutStopsTheJobBeforeAnyDirectoryIsMade) {
  ASSERT_EQ(RunExecutable(FExe, {"RW:E", "KU:3"}).Status, 1);
  testing::WriteBytes(
      FDir / "3/forbook-bridge.cfg",
      "[MAIN]\r\nWERSJA=1.9.0\r\nKATALOG=" + FDir.Str() + "\r\n");
  for (const char* mode : {"RW:O", "RW:W"}) {
    const auto result = RunExecutable(FExe, {mode, "KU:3"});
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Stderr,
              testing::ConsoleText(u8"Niepoprawny parametr \"WERSJA\"\n"));
    EXPECT_THAT(ListNames(FDir / "3"),
                ElementsAre("forbook-bridge.cfg", "forbook-bridge.log"));
    EXPECT_THAT(ListNames(FDir.Str()),
                UnorderedElementsAre("3", FName, "forbook-bridge.cfg"));
  }
  // Each failed job left its line, with its message.
  const std::vector<TJournalEntry> entries =
      ReadJournal(FDir / "3/forbook-bridge.log");
  ASSERT_EQ(entries.size(), 2u);
  for (const TJournalEntry& entry : entries) {
    EXPECT_EQ(entry.Value("status"), "1");
    EXPECT_EQ(entry.Value("message"), "Niepoprawny parametr \"WERSJA\"");
  }
}

// Jobs that the host starts for one device while another still runs: one
// after the other, so nothing is imported twice and no table is written by
// two at once. Devices "1" and "01" share their exchange directories.
class OverlappingJobs : public WholeProgram {
 protected:
  OverlappingJobs() {
    testing::WriteBytes(FDir / "forbook-bridge.cfg",
                        "[MAIN]\r\nKATALOG=" + FData.Str() +
                            "\r\nBACKUP=0\r\nUNKNOWN=kept\r\n");
  }
  void RunAtOnce(const std::vector<std::vector<std::string>>& runs) {
    for (const auto& result : testing::RunConcurrently(FExe, runs)) {
      EXPECT_EQ(result.Status, 0) << result.Stderr;
    }
  }
  TTempDir FData;
};

TEST_F(OverlappingJobs, ReceivesImportEachDocumentOnce) {
  const std::string upload = FData / "Upload/00000001";
  std::filesystem::create_directories(upload);
  testing::WriteBytes(
      upload + "/dokument.dbf",
      testing::TableBytes(testing::HeadColumns(1),
                          {testing::Head(1), testing::Head(1)}));
  testing::WriteBytes(
      upload + "/poz_dok.dbf",
      testing::TableBytes(testing::LineColumns(1), {testing::Line(1)}));
  RunAtOnce({{"RW:O", "KU:1"},
             {"RW:O", "KU:01"},
             {"RW:O", "KU:1"},
             {"RW:O", "KU:01"}});
  EXPECT_THAT(ListNames(upload), IsEmpty());
  // Both documents went to the host once, through one of the two devices.
  const std::string dok = ReadBytes(FDir / "1/Import/dok.txt") +
                          ReadBytes(FDir / "01/Import/dok.txt");
  EXPECT_EQ(std::count(dok.begin(), dok.end(), '\n'), 2);
}

TEST_F(OverlappingJobs,
       SendsAtFirstContactWriteWholeTablesAndOneConfiguration) {
  std::filesystem::create_directories(FDir / "12");
  std::filesystem::copy(FORBOOK_SOURCE_DIR "/samples/host/12/Eksport",
                        FDir / "12/Eksport");
  RunAtOnce({{"RW:W", "KU:12"},
             {"RW:W", "KU:12"},
             {"RW:W", "KU:12"},
             {"RW:W", "KU:12"}});
  // A send alone gives what every one of them had to give.
  const std::string tables = FData / "Download/00000012";
  const auto together = testing::FilesIn(tables);
  ASSERT_EQ(RunExecutable(FExe, {"RW:W", "KU:12"}).Status, 0);
  EXPECT_EQ(together.size(), 6u);
  EXPECT_EQ(together, testing::FilesIn(tables));
  // One whole line per job in the journal, however they overlapped.
  const std::vector<TJournalEntry> journal =
      ReadJournal(FDir / "12/forbook-bridge.log");
  const std::string raw = ReadBytes(FDir / "12/forbook-bridge.log");
  EXPECT_EQ(std::count(raw.begin(), raw.end(), '\n'), 5);
  ASSERT_EQ(journal.size(), 5u);
  for (const TJournalEntry& entry : journal) {
    EXPECT_EQ(entry.Value("status"), "0");
    EXPECT_EQ(entry.Value("klient.dbf"), journal.back().Value("klient.dbf"));
  }
  ASSERT_EQ(RunExecutable(FExe, {"RW:E", "KU:13"}).Status, 1);  // no display
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"),
            ReadBytes(FDir / "13/forbook-bridge.cfg"));
  EXPECT_THAT(ListNames(FDir.Str()),
              UnorderedElementsAre("12", "13", FName, "forbook-bridge.cfg"));
}

// The program with device 12's host export in place and the devices' data
// directory beside it.
class JournalOfThePrograms : public WholeProgram {
 protected:
  JournalOfThePrograms() {
    WriteBytes(FDir / "forbook-bridge.cfg",
               "[MAIN]\r\nKATALOG=" + FData.Str() + "\r\nNR_KONTA=1\r\n");
    std::filesystem::create_directories(FDir / "12");
    std::filesystem::copy(FORBOOK_SOURCE_DIR "/samples/host/12/Eksport",
                          FDir / "12/Eksport");
  }
  std::string Journal() { return ReadBytes(FDir / "12/forbook-bridge.log"); }

  TTempDir FData;
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

TEST_F(WholeProgram, AnswersTheStatusWithoutTouchingAnything) {
  const std::string& exe = FExe;
  for (const char* question : {"--status", "--stan"}) {
    const auto result = RunExecutable(exe, {question, "KU:12"});
    EXPECT_EQ(result.Status, 0);
    EXPECT_THAT(result.Stdout, ::testing::StartsWith(
                                   testing::ConsoleText(u8"Urządzenie: 12\n")));
    EXPECT_THAT(result.Stdout, HasSubstr(testing::ConsoleText(
                                   u8"Ostatnia wysyłka: brak w dzienniku\n")));
    EXPECT_THAT(result.Stderr, IsEmpty());
  }
  const auto refused = RunExecutable(exe, {"--status", "KU:a/b"});
  EXPECT_EQ(refused.Status, 1);
  EXPECT_EQ(refused.Stderr,
            testing::ConsoleText(u8"Niepoprawna nazwa urządzenia: A/B\n"));
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre(FName));
}

}  // namespace
}  // namespace bridge
