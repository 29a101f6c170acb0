#include "core/Uprogramparams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/Uversionsmanager.h"
#include "platform/EBridgeError.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;

std::string ModeOf(std::vector<std::string> arguments) {
  TTestSystem system("/nonexistent", std::move(arguments));
  return GetExchangeMode();
}

std::string DeviceOf(std::vector<std::string> arguments) {
  TTestSystem system("/nonexistent", std::move(arguments));
  return GetDeviceArg();
}

TEST(CommandLineMode, TakesTheFirstLetterAfterTheOptionalPrefix) {
  EXPECT_EQ(ModeOf({"rw:odbior"}), "O");
  EXPECT_EQ(ModeOf({"RW: W"}), "W");
  EXPECT_EQ(ModeOf({"Inicjuj"}), "I");
  EXPECT_EQ(ModeOf({"rw:i", "KU:1", "third"}), "I");
  EXPECT_EQ(ModeOf({"/O"}), "/");
  EXPECT_EQ(ModeOf({"RW:"}), "");
  EXPECT_EQ(ModeOf({""}), "");
  EXPECT_EQ(ModeOf({}), "");
  EXPECT_EQ(ModeOf({"  \tRW:  o  "}), "O");
}

TEST(CommandLineDevice, UpperCasesAndDropsThePrefix) {
  EXPECT_EQ(DeviceOf({"RW:W", "KU:12"}), "12");
  EXPECT_EQ(DeviceOf({"RW:W", "12"}), "12");
  EXPECT_EQ(DeviceOf({"RW:W", " ku: abc "}), "ABC");
  EXPECT_EQ(DeviceOf({"RW:W", "KU:Van 1"}), "VAN 1");  // quoted with a blank
  EXPECT_EQ(DeviceOf({"RW:W"}), "");
  EXPECT_EQ(DeviceOf({"RW:W", "KU:" + std::string(1200, 'x')}),
            std::string(1000, 'X'));
}

TEST(LayoutTable, NamesTwoVersionsAndFallsBackToTheFirst) {
  EXPECT_EQ(LayoutNameOf(1), "1.7.0");
  EXPECT_EQ(LayoutNameOf(2), "1.8.0");
  EXPECT_EQ(LayoutNameOf(0), "");
  EXPECT_EQ(LayoutNameOf(3), "");
  EXPECT_EQ(LayoutIndexOf("1.8.0"), 2);
  EXPECT_EQ(LayoutIndexOf("1.7.0"), 1);
  EXPECT_EQ(LayoutIndexOf("1.9.0"), 1);
  EXPECT_EQ(LayoutIndexOf(" 1.8.0"), 1);  // compared unchanged
}

class LayoutParameter : public ::testing::Test {
 protected:
  TTempDir FDir;
  TTestSystem FSystem{FDir.Str()};
  TScopedConfigFile FConfig{"1"};
};

TEST_F(LayoutParameter, EmptyMeansTheOlderLayout) {
  FConfig.Get().SetValue("WERSJA", " ");
  EXPECT_EQ(GetLayoutName(), "1.7.0");
  EXPECT_EQ(GetLayoutIndex(), 1);
  EXPECT_NO_THROW(CheckLayout());
}

TEST_F(LayoutParameter, SelectsTheNewerLayoutByName) {
  FConfig.Get().SetValue("WERSJA", "1.8.0");
  EXPECT_EQ(GetLayoutIndex(), 2);
  EXPECT_NO_THROW(CheckLayout());
  FConfig.Get().SetValue("WERSJA", "1.8.0 ");
  EXPECT_NO_THROW(CheckLayout());
}

TEST_F(LayoutParameter, RefusesANameOutsideTheTable) {
  FConfig.Get().SetValue("WERSJA", "1.9.0");
  EXPECT_THAT(
      [] { CheckLayout(); },
      ThrowsMessage<EBridgeError>(StrEq("Niepoprawny parametr \"WERSJA\"")));
}

}  // namespace
}  // namespace bridge
