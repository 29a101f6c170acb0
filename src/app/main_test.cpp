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
#include <vector>

#include "app/JobJournal.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "testing/TestSupport.h"
#include "transfer/DocumentTablesTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::InstallProgram;
using ::testing::IsEmpty;
using testing::Join;
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

// Names that lead out of the program's directory, and names that Windows
// takes for a device or alters, on both systems.
TEST_F(WholeProgram, AStartUpErrorIsShownAndEndsWithStatusOne) {
  for (const char* name :
       {"../x", "con", "NUL.txt", "Com1", "lpt9.dbf", "x."}) {
    const auto result =
        RunExecutable(FExe, {"RW:O", std::string("KU:") + name});
    EXPECT_EQ(result.Status, 1) << name;
    EXPECT_EQ(result.Stderr,
              testing::ConsoleText(u8"Niepoprawna nazwa urządzenia: ") +
                  UpperCase(name) + testing::ConsoleText(u8"\n"));
    EXPECT_THAT(ListNames(FDir.Str()), ElementsAre(FName));
  }
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

// What a send of device 12 and a receive of two documents give, with the
// program and the devices' data where a site keeps them.
struct TSiteRun {
  std::string Exe;  // as the site starts it
  testing::TRunResult Send;
  testing::TRunResult Receive;
  std::map<std::string, std::string> Tables;
  std::string Dok;
  std::string Poz;
  std::vector<std::string> UploadLeft;
};

// program and catalog are paths as the site writes them; programHere and
// catalogHere are the same directories as this test reaches them. The
// program is installed in programHere and started by its path in program.
TSiteRun RunSite(const std::string& program, const std::string& programHere,
                 const std::string& catalog, const std::string& catalogHere) {
  const std::string exe =
      Join(program, platform::ExtractFileName(
                        InstallProgram(FORBOOK_BRIDGE_EXE, programHere)));
  testing::WriteBytes(Join(programHere, "forbook-bridge.cfg"),
                      "[MAIN]\r\nKATALOG=" + catalog + "\r\nBACKUP=1\r\n");
  std::filesystem::create_directories(Join(programHere, "12"));
  std::filesystem::copy(FORBOOK_SOURCE_DIR "/samples/host/12/Eksport",
                        Join(programHere, "12/Eksport"));
  const std::string upload = Join(catalogHere, "Upload/00000012");
  std::filesystem::create_directories(upload);
  testing::WriteBytes(
      Join(upload, "dokument.dbf"),
      testing::TableBytes(
          testing::HeadColumns(1),
          {testing::Head(1), testing::Head(1, {{"numer", "13/2005"}})}));
  testing::WriteBytes(
      Join(upload, "poz_dok.dbf"),
      testing::TableBytes(
          testing::LineColumns(1),
          {testing::Line(1), testing::Line(1, {{"numer", "13/2005"}})}));
  TSiteRun run;
  run.Exe = exe;
  run.Send = RunExecutable(exe, {"RW:W", "KU:12"});
  run.Receive = RunExecutable(exe, {"RW:O", "KU:12"});
  run.Tables = testing::FilesIn(Join(catalogHere, "Download/00000012"));
  run.Dok = ReadBytes(Join(programHere, "12/Import/dok.txt"));
  run.Poz = ReadBytes(Join(programHere, "12/Import/poz.txt"));
  run.UploadLeft = ListNames(upload);
  return run;
}

// Directories to append to a path of from characters so that it has at
// most length, and at least length - 1.
std::string LevelsUpTo(std::size_t from, std::size_t length) {
  std::string levels;
  for (char level = 'a'; from + levels.size() + 1 < length; ++level) {
    const std::size_t left = length - from - levels.size() - 1;
    levels += platform::kPathDelimiter +
              std::string(std::min<std::size_t>(50, left), level);
  }
  return levels;
}

// A site may keep the devices' data, or the program itself, on a file
// server or deep in a tree: the jobs give there what they give anywhere,
// and a message shows the path as the site wrote it.
TEST(SitePaths, JobsRunOnASharedOrLongPathAsAnywhere) {
  TTempDir plainProgram;
  TTempDir plainData;
  const TSiteRun reference = RunSite(plainProgram.Str(), plainProgram.Str(),
                                     plainData.Str(), plainData.Str());
  ASSERT_EQ(reference.Send.Status, 0) << reference.Send.Stderr;
  ASSERT_EQ(reference.Receive.Status, 0) << reference.Receive.Stderr;
  EXPECT_EQ(reference.Tables.size(), 6u);
  EXPECT_EQ(std::count(reference.Dok.begin(), reference.Dok.end(), '\n'), 2);
  EXPECT_THAT(reference.UploadLeft, ElementsAre("backup"));

  struct TLayout {
    const char* Name;
    bool ProgramOnShare;
    bool DataOnShare;
    bool LongPaths;
  };
  std::vector<TLayout> layouts = {
      {"program and data in long paths", false, false, true}};
#ifdef _WIN32
  layouts.push_back({"data on a share", false, true, false});
  layouts.push_back({"program and data on a share, long", true, true, true});
#endif
  for (const TLayout& layout : layouts) {
    SCOPED_TRACE(layout.Name);
    TTempDir program;
    TTempDir data;
    std::string programHere = program.Str();
    std::string dataHere = data.Str();
    std::string programPath = programHere;
    std::string dataPath = dataHere;
#ifdef _WIN32
    if (layout.ProgramOnShare)
      programPath = testing::OnTheTestShare(programPath);
    if (layout.DataOnShare) dataPath = testing::OnTheTestShare(dataPath);
    if (programPath.empty() || dataPath.empty()) {
      GTEST_SKIP() << "no share " << testing::kTestShare;
    }
#endif
    if (layout.LongPaths) {
      // The host starts the program by a path that Windows takes in its
      // plain form (up to 259 characters), so the program's own directory
      // is just short of that; its devices' files lie beyond it.
      const std::string programLevels = LevelsUpTo(programPath.size(), 238);
      programHere += programLevels;
      programPath += programLevels;
      std::filesystem::create_directories(programHere);
      const std::string dataLevels = LevelsUpTo(dataPath.size(), 300);
      dataHere += dataLevels;
      dataPath += dataLevels;
    }
    const TSiteRun run = RunSite(programPath, programHere,
                                 dataPath + platform::kPathDelimiter, dataHere);
    EXPECT_EQ(run.Send.Status, 0) << run.Send.Stderr;
    EXPECT_EQ(run.Receive.Status, 0) << run.Receive.Stderr;
    EXPECT_EQ(run.Tables, reference.Tables);
    EXPECT_EQ(run.Dok, reference.Dok);
    EXPECT_EQ(run.Poz, reference.Poz);
    EXPECT_EQ(run.UploadLeft, reference.UploadLeft);

    // A new device meets a data directory two levels below a missing one.
    const std::string missing = Join(dataPath, "brak/FORBOOK");
    testing::WriteBytes(Join(programHere, "forbook-bridge.cfg"),
                        "[MAIN]\r\nKATALOG=" + missing + "\r\n");
    const auto result = RunExecutable(run.Exe, {"RW:W", "KU:13"});
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Stderr,
              testing::ConsoleText(u8"Nie udało się utworzyć katalogu:") +
                  missing + testing::ConsoleText(u8"\n"));
  }
}

#ifdef _WIN32
// Jobs that meet a file another program holds: the devices' synchronisation
// an upload, a virus scanner yesterday's table, the host the empty dok.txt
// it left. Device 1 sends, devices 2 and 3 receive.
class HeldFiles : public OverlappingJobs {
 protected:
  HeldFiles() {
    std::filesystem::create_directories(FDir / "1");
    std::filesystem::copy(FORBOOK_SOURCE_DIR "/samples/host/12/Eksport",
                          FDir / "1/Eksport");
    EXPECT_EQ(RunExecutable(FExe, {"RW:W", "KU:1"}).Status, 0);
    FOldTables = testing::FilesIn(FData / "Download/00000001");
    for (const char* device : {"2", "3"}) {
      const std::string upload =
          FData / (std::string("Upload/0000000") + device);
      std::filesystem::create_directories(upload);
      testing::WriteBytes(
          Join(upload, "dokument.dbf"),
          testing::TableBytes(testing::HeadColumns(1),
                              {testing::Head(1), testing::Head(1)}));
      testing::WriteBytes(
          Join(upload, "poz_dok.dbf"),
          testing::TableBytes(testing::LineColumns(1), {testing::Line(1)}));
    }
    FUploads = testing::FilesIn(FData / "Upload/00000002");
    std::filesystem::create_directories(FDir / "3/Import");
    testing::WriteBytes(FDir / "3/Import/dok.txt", "");
  }
  // The files held: device 1's old goods table, device 2's header table
  // and device 3's empty dok.txt.
  std::vector<std::string> Held() const {
    return {FData / "Download/00000001/towar.dbf",
            FData / "Upload/00000002/dokument.dbf", FDir / "3/Import/dok.txt"};
  }
  std::vector<testing::TRunResult> RunJobs() {
    return testing::RunConcurrently(
        FExe, {{"RW:W", "KU:1"}, {"RW:O", "KU:2"}, {"RW:O", "KU:3"}});
  }
  // Each job did all of its work: the tables are whole and the same as
  // before, each document reached the host once.
  void ExpectDone() {
    EXPECT_EQ(testing::FilesIn(FData / "Download/00000001"), FOldTables);
    for (const char* device : {"2", "3"}) {
      SCOPED_TRACE(device);
      const std::string dok = ReadBytes(Join(FDir / device, "Import/dok.txt"));
      EXPECT_EQ(std::count(dok.begin(), dok.end(), '\n'), 2);
      EXPECT_THAT(ListNames(Join(FDir / device, "Import")),
                  ElementsAre("dok.txt", "poz.txt"));
      EXPECT_THAT(ListNames(FData / (std::string("Upload/0000000") + device)),
                  IsEmpty());
    }
  }
  std::map<std::string, std::string> FOldTables;
  std::map<std::string, std::string> FUploads;
};

TEST_F(HeldFiles, AJobWaitsForAFileHeldForAMoment) {
  std::vector<testing::THeldFiles::THold> holds;
  // Each device's lock holds its job back until its file is held, however
  // long the system takes to start it.
  for (const char* lock : {"00000001.lock", "00000002.lock", "00000003.lock"}) {
    testing::WriteBytes(FDir / lock, "");
    holds.push_back({FDir / lock, 1000});
  }
  for (const std::string& path : Held()) holds.push_back({path, 1300});
  std::vector<testing::TRunResult> results;
  {
    testing::THeldFiles held(holds);
    ASSERT_TRUE(held.Held());
    results = RunJobs();
  }
  for (const auto& result : results) {
    EXPECT_EQ(result.Status, 0) << result.Stderr;
    EXPECT_THAT(result.Stderr, IsEmpty());
  }
  ExpectDone();
  EXPECT_THAT(ListNames(FDir.Str()),
              UnorderedElementsAre("1", "2", "3", FName, "forbook-bridge.cfg"));
}

TEST_F(HeldFiles, AJobGivesUpOnAFileHeldLongerAndLosesNothing) {
  std::vector<testing::THeldFiles::THold> holds;
  for (const std::string& path : Held()) holds.push_back({path, 10000});
  std::vector<testing::TRunResult> results;
  {
    testing::THeldFiles held(holds);
    ASSERT_TRUE(held.Held());
    results = RunJobs();
  }
  ASSERT_EQ(results.size(), 3u);
  const std::string messages[] = {
      testing::ConsoleText(u8"Nie można utworzyć pliku: ") + Held()[0],
      testing::ConsoleText(u8"Nie można otworzyć pliku:") + Held()[1],
      testing::ConsoleText(u8"Nie można usunąć pliku: ") + Held()[2]};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(results[i].Status, 1);
    EXPECT_EQ(results[i].Stderr, messages[i] + "\r\n");
  }
  // The old table that stayed is whole; no other one stays beside it.
  EXPECT_THAT(testing::FilesIn(FData / "Download/00000001"),
              ElementsAre(*FOldTables.find("towar.dbf")));
  // Nothing was taken from the devices, nothing given to the host.
  for (const char* device : {"2", "3"}) {
    SCOPED_TRACE(device);
    EXPECT_EQ(
        testing::FilesIn(FData / (std::string("Upload/0000000") + device)),
        FUploads);
  }
  EXPECT_THAT(ListNames(FDir / "2/Import"), IsEmpty());
  EXPECT_THAT(ListNames(FDir / "3/Import"), ElementsAre("dok.txt"));
  EXPECT_THAT(ListNames(FDir.Str()),
              UnorderedElementsAre("1", "2", "3", FName, "forbook-bridge.cfg"));
  // Once the files are let go, the next jobs do all of the work.
  for (const auto& result : RunJobs()) {
    EXPECT_EQ(result.Status, 0) << result.Stderr;
  }
  ExpectDone();
}
#endif

}  // namespace
}  // namespace bridge
