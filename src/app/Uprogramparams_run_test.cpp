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
using testing::ReadBytes;
using testing::RunExecutable;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::U8;

// Runs one mode in-process and gives what the error box was shown.
std::vector<std::string> ErrorsOfMode(const std::string& mode,
                                      int expectedStatus = 1) {
  TTempDir dir;
  TTestSystem system(dir.Str(), {mode, "KU:1"});
  TScopedConfigFile config("1");
  EXPECT_EQ(RunProgram(), expectedStatus);
  return system.Boxes().Errors;
}

TEST(RunModeDispatch, ChoosesTheJobByTheModeLetter) {
  EXPECT_THAT(ErrorsOfMode("RW:O"), ElementsAre(HasSubstr("odbioru")));
  EXPECT_THAT(ErrorsOfMode("rw:o"), ElementsAre(HasSubstr("odbioru")));
  EXPECT_THAT(ErrorsOfMode("RW:W"), ElementsAre(HasSubstr("wysy")));
  EXPECT_THAT(ErrorsOfMode("RW:Inicjuj"), ElementsAre(HasSubstr("wysy")));
}

TEST(RunModeDispatch, OpensTheEditorForAnyOtherMode) {
  for (const char* mode : {"", "RW:", "/O", "RW:X"}) {
    EXPECT_THAT(ErrorsOfMode(mode), ElementsAre(HasSubstr("Edytor"))) << mode;
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

TEST_F(WholeProgram, FirstRunCreatesTheDeviceConfigurationAndFailsHonestly) {
  const auto result = RunExecutable(FExe, {"RW:W", "KU:12"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_THAT(result.Stdout, IsEmpty());
  EXPECT_EQ(result.Stderr,
            U8(u8"Zadanie wysyłania danych nie jest jeszcze dostępne\n"));
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
  ASSERT_EQ(RunExecutable(FExe, {"RW:W", "KU:3"}).Status, 1);
  testing::WriteBytes(
      FDir / "3/forbook-bridge.cfg",
      "[MAIN]\r\nWERSJA=1.9.0\r\nKATALOG=" + FDir.Str() + "\r\n");
  const auto result = RunExecutable(FExe, {"RW:O", "KU:3"});
  EXPECT_EQ(result.Status, 1);
  EXPECT_EQ(result.Stderr, "Niepoprawny parametr \"WERSJA\"\n");
  EXPECT_THAT(ListNames(FDir / "3"), ElementsAre("forbook-bridge.cfg"));
}

}  // namespace
}  // namespace bridge
