#include "app/Uprogramparams_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "testing/ConfigTestSupport.h"
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
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::U8;
using ::testing::UnorderedElementsAre;

// Runs one mode in-process and tells which job ran by the exchange
// directory it made: the send job writes to Download, the receive job looks
// into Upload, and the editor touches neither.
std::string JobOfMode(const std::string& mode) {
  TTempDir dir;
  TTempDir data;
  TTestSystem system(dir.Str(), {mode, "KU:1"});
  TScopedConfigFile config("1");
  config.Get().SetValue("KATALOG", data.Str());
  const int status = RunProgram();
  const std::vector<std::string> made = ListNames(data.Str());
  if (made == std::vector<std::string>{"Download"} && status == 0)
    return "send";
  if (made == std::vector<std::string>{"Upload"} && status == 0) {
    return "receive";
  }
  if (made.empty() && status == 1 && system.Boxes().Errors.size() == 1) {
    return "editor";
  }
  return "?";
}

TEST(RunModeDispatch, ChoosesTheJobByTheModeLetter) {
  EXPECT_EQ(JobOfMode("RW:O"), "receive");
  EXPECT_EQ(JobOfMode("rw:odbior"), "receive");
  EXPECT_EQ(JobOfMode("RW:W"), "send");
  EXPECT_EQ(JobOfMode("rw:i"), "send");
  EXPECT_EQ(JobOfMode("Inicjuj"), "send");
}

TEST(RunModeDispatch, OpensTheEditorForAnyOtherMode) {
  // Without a display the editor reports that it cannot open.
  for (const char* mode : {"", "RW:", "/O", "RW:X"}) {
    EXPECT_EQ(JobOfMode(mode), "editor") << mode;
  }
}

TEST(RunModeDispatch, StopsBothJobsOnAnInvalidLayoutButNotTheEditor) {
  for (const char* mode : {"RW:W", "RW:O", "RW:E"}) {
    TTempDir dir;
    TTestSystem system(dir.Str(), {mode, "KU:1"});
    TScopedConfigFile config("1");
    config.Get().SetValue("WERSJA", "1.9.0");
    EXPECT_EQ(RunProgram(), 1);
    ASSERT_EQ(system.Boxes().Errors.size(), 1u);
    EXPECT_EQ(system.Boxes().Errors[0] == "Niepoprawny parametr \"WERSJA\"",
              std::string(mode) != "RW:E")
        << mode;
  }
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
    EXPECT_THAT(ListNames(FDir / "3"), ElementsAre("forbook-bridge.cfg"));
    EXPECT_THAT(ListNames(FDir.Str()),
                UnorderedElementsAre("3", FName, "forbook-bridge.cfg"));
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
  ASSERT_EQ(RunExecutable(FExe, {"RW:E", "KU:13"}).Status, 1);  // no display
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"),
            ReadBytes(FDir / "13/forbook-bridge.cfg"));
  EXPECT_THAT(ListNames(FDir.Str()),
              UnorderedElementsAre("12", "13", FName, "forbook-bridge.cfg"));
}

TEST(DeviceLock, ASecondJobGivesUpAfterTheWait) {
  TTempDir dir;
  TTestSystem system(dir.Str(), {"RW:W", "KU:01"});
  system.System().LockWait = std::chrono::milliseconds(100);
  const auto held = LockDevice("KU:1");
  ASSERT_TRUE(held);
  EXPECT_EQ(StartProgram(), 1);
  EXPECT_THAT(system.Boxes().Errors,
              ElementsAre(platform::Utf8ToCp1250(
                  U8(u8"Trwa inna wymiana danych z urządzeniem: 01"))));
  // Nothing of the device was made while it waited.
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("00000001.lock"));
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
