#include "app/Uprogramparams_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "testing/TestSupport.h"

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
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::U8;

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
};

TEST_F(WholeProgram, FirstRunCreatesTheDeviceConfigurationFromDefaults) {
  // The editor cannot open without a display, so the run fails after the
  // configuration was made.
  const auto result = RunExecutable(FExe, {"RW:E", "KU:12"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_THAT(result.Stdout, IsEmpty());
  EXPECT_THAT(result.Stderr, Not(IsEmpty()));
  EXPECT_THAT(ListNames(FDir.Str()),
              ElementsAre("12", "forbook-bridge", "forbook-bridge.cfg"));
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"),
            ReadBytes(FDir / "forbook-bridge.cfg"));
}

TEST_F(WholeProgram, AStartUpErrorIsShownAndEndsWithStatusOne) {
  const auto result = RunExecutable(FExe, {"RW:O", "KU:../x"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_EQ(result.Stderr, U8(u8"Niepoprawna nazwa urządzenia: ../X\n"));
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre("forbook-bridge"));
}

TEST_F(WholeProgram, AnInvalidLayoutStopsTheJobBeforeAnyDirectoryIsMade) {
  ASSERT_EQ(RunExecutable(FExe, {"RW:E", "KU:3"}).Status, 1);
  testing::WriteBytes(
      FDir / "3/forbook-bridge.cfg",
      "[MAIN]\r\nWERSJA=1.9.0\r\nKATALOG=" + FDir.Str() + "\r\n");
  for (const char* mode : {"RW:O", "RW:W"}) {
    const auto result = RunExecutable(FExe, {mode, "KU:3"});
    EXPECT_EQ(result.Status, 1);
    EXPECT_EQ(result.Stderr, "Niepoprawny parametr \"WERSJA\"\n");
    EXPECT_THAT(ListNames(FDir / "3"), ElementsAre("forbook-bridge.cfg"));
    EXPECT_THAT(ListNames(FDir.Str()),
                ElementsAre("3", "forbook-bridge", "forbook-bridge.cfg"));
  }
}

}  // namespace
}  // namespace bridge
