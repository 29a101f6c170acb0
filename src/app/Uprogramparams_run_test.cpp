#include "app/Uprogramparams_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using testing::ListNames;
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

}  // namespace
}  // namespace bridge
