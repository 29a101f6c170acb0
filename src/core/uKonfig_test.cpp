#include "core/uKonfig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "testing/FaultPlan.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using testing::ListNames;
using testing::ReadBytes;
using testing::SameBytes;
using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::TTempDir;
using testing::WriteBytes;

// The 70 keys in catalogue order, as a new file lists them.
std::vector<std::string> KeysOf(const std::string& iniText) {
  std::vector<std::string> keys;
  std::size_t start = 0;
  while (start < iniText.size()) {
    std::size_t end = iniText.find("\r\n", start);
    if (end == std::string::npos) end = iniText.size();
    const std::string line = iniText.substr(start, end - start);
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) keys.push_back(line.substr(0, eq));
    start = end + 2;
  }
  return keys;
}

class ConfigFileTest : public ::testing::Test {
 protected:
  std::unique_ptr<TConfigFile> OpenDevice(std::string_view device) {
    return std::make_unique<TConfigFile>(FDir / "forbook-bridge", device);
  }
  std::string TemplatePath() const { return FDir / "forbook-bridge.cfg"; }
  TTempDir FDir;
};

TEST(ParameterCatalogue, HoldsSeventyParametersInOrderWithDefaults) {
  const TRecParams params;
  ASSERT_EQ(params.Count(), 70u);
  EXPECT_EQ(params.Item(0)->Key, "KATALOG");
  EXPECT_EQ(params.Item(0)->Value, testing::kDefaultCatalog);
  EXPECT_EQ(params.Item(1)->Key, "WERSJA");
  EXPECT_EQ(params.Item(1)->Value, "1.7.0");
  EXPECT_EQ(params.Item(10)->Description, "Maksymalny % rabatu na pozycji ");
  EXPECT_EQ(params.Item(23)->Value, "999999.999");
  EXPECT_EQ(params.Item(46)->Key, "POP_DOK");
  EXPECT_EQ(params.Item(46)->Value, "T");
  EXPECT_EQ(params.Item(69)->Key, "WYMUS_ROZL");
  EXPECT_EQ(params.Item(70), nullptr);
  EXPECT_EQ(params.Get("BACKUP").Description,
            "Wykonywac archiwizacje plik\xF3w");
  ASSERT_EQ(params.ChoiceLists().Count(), 6u);
  EXPECT_EQ(params.ChoiceLists()[1].Key, "WERSJA");
  EXPECT_EQ(params.ChoiceLists()[1].Items, "1.7.0;1.8.0");
  EXPECT_EQ(params.ChoiceLists()[5].Items, "Brak;Grupa 1;Grupa 2");
}

TEST(ParameterCatalogue, NormalisesKeysAndPlaceholders) {
  TRecParams params;
  EXPECT_EQ(params.Find(" nr_fk\t"), &params.Get("NR_FK"));
  EXPECT_EQ(params.Find("NOPE"), nullptr);
  params.AddChoiceList("cena", "other");
  EXPECT_EQ(params.ChoiceLists().Count(), 6u);
  EXPECT_EQ(params.PlaceholderText("<NR_FK>"), "Ostatni numer dok. FK");
  EXPECT_EQ(params.PlaceholderText("<NOPE>"), "");
  EXPECT_EQ(params.PlaceholderText("NR_FK"), "");
  EXPECT_EQ(params.PlaceholderText("<>"), "");
  EXPECT_EQ(KeyFromHint("<NR_FK>"), "NR_FK");
  EXPECT_EQ(KeyFromHint("ab"), "");
  params.Get("NR_FK").Value = "9";
  params.ResetToDefaults();
  EXPECT_EQ(params.Get("NR_FK").Value, "0");
}

TEST_F(ConfigFileTest, WithoutTemplateWritesDefaultsToTemplateAndDevice) {
  const auto config = OpenDevice("12");
  const std::string device = ReadBytes(FDir / "12/forbook-bridge.cfg");
  EXPECT_EQ(ReadBytes(TemplatePath()), device);
  EXPECT_THAT(device, StartsWith("[MAIN]\r\nKATALOG=" +
                                 std::string(testing::kDefaultCatalog) +
                                 "\r\nWERSJA=1.7.0\r\nNR_FK=0\r\n"));
  const std::vector<std::string> keys = KeysOf(device);
  ASSERT_EQ(keys.size(), 70u);
  const TRecParams params;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i], params.Item(i)->Key);
  }
  EXPECT_EQ(config->DeviceName(), "12");
  EXPECT_EQ(config->FileName(), FDir / "12/forbook-bridge.cfg");
}

TEST_F(ConfigFileTest, NewDeviceCopiesTemplateAndAppendsMissingKeys) {
  WriteBytes(TemplatePath(),
             "[MAIN]\r\nNR_FK=41\r\nOWN=kept\r\n[FOREIGN]\r\nA=B\r\n");
  const auto config = OpenDevice("KU:7");
  EXPECT_EQ(config->DeviceName(), "7");
  EXPECT_EQ(config->GetValue("NR_FK"), "41");
  const std::string device = ReadBytes(FDir / "7/forbook-bridge.cfg");
  EXPECT_THAT(device,
              StartsWith("[MAIN]\r\nNR_FK=41\r\nOWN=kept\r\nKATALOG=" +
                         std::string(testing::kDefaultCatalog) + "\r\n"));
  EXPECT_NE(device.find("WYMUS_ROZL=\r\n[FOREIGN]\r\nA=B\r\n"),
            std::string::npos);
  EXPECT_EQ(KeysOf(device).size(), 72u);  // 70, OWN and A
  // The template itself is only read.
  EXPECT_TRUE(
      SameBytes(ReadBytes(TemplatePath()),
                "[MAIN]\r\nNR_FK=41\r\nOWN=kept\r\n[FOREIGN]\r\nA=B\r\n"));
}

TEST_F(ConfigFileTest, PresentKeysWinOverDefaults) {
  ASSERT_TRUE(platform::CreateDir(FDir / "5"));
  WriteBytes(FDir / "5/forbook-bridge.cfg",
             "[main]\r\nbackup=\r\nPOP_DOK=T\r\nWERSJA=1.8.0\r\n");
  auto config = OpenDevice("5");
  EXPECT_EQ(config->GetValue("BACKUP"), "");
  EXPECT_EQ(config->GetValue("POP_DOK"), "T");
  EXPECT_EQ(config->GetValue(" wersja "), "1.8.0");
  EXPECT_EQ(config->GetValue("KAS_DOK"), "T");
  EXPECT_FALSE(platform::FileExists(TemplatePath()));
}

TEST_F(ConfigFileTest, EmptyDeviceBindsToTheTemplateAndNeverSaves) {
  WriteBytes(TemplatePath(), "[MAIN]\r\nNR_FK=3\r\n");
  auto config = OpenDevice("");
  EXPECT_EQ(config->DeviceName(), "");
  EXPECT_EQ(config->GetValue("NR_FK"), "3");
  EXPECT_EQ(KeysOf(ReadBytes(TemplatePath())).size(), 70u);
  const std::string before = ReadBytes(TemplatePath());
  config->SetValue("NR_FK", "99");
  config->Save();
  EXPECT_EQ(ReadBytes(TemplatePath()), before);
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre("forbook-bridge.cfg"));
}

TEST_F(ConfigFileTest, SavesValuesAndRebindingDiscardsUnsaved) {
  auto config = OpenDevice("A");
  config->SetValue("nr_fk", "17");
  config->Save();
  config->SetValue("NR_PA", "5");
  config->Open("B");
  EXPECT_EQ(config->GetValue("NR_FK"), "0");
  config->Open("A");
  EXPECT_EQ(config->GetValue("NR_FK"), "17");
  EXPECT_EQ(config->GetValue("NR_PA"), "0");
}

TEST_F(ConfigFileTest, UnknownKeysAreErrorsNamingTheKeyAsGiven) {
  auto config = OpenDevice("1");
  EXPECT_THAT([&] { config->GetValue(" Nope"); },
              ThrowsMessage<EBridgeError>(StrEq("Nie znaleziono warto\x9C"
                                                "ci o kodzie  Nope")));
  EXPECT_THROW(config->SetValue("NOPE", "x"), EBridgeError);
}

// Windows takes CON, NUL, COM1 and the like, with any extension, for its
// devices, and drops a final dot or blank from a name: such names are
// refused on every system, so that the same names work wherever the program
// runs. Names that only look alike are kept.
TEST_F(ConfigFileTest, RefusesDeviceNamesThatAreNotOneDirectory) {
  const std::vector<std::string> refused = {
      "../x", "a/b",      "a\\b", "C:",      "..",        ".",      "a\001b",
      "a*b",  "CON",      "con",  "Nul.txt", "PRN.cfg.x", "aux .1", "COM1",
      "com9", "LPT5.dbf", "lpt9", "x.",      "12 .",      "a.b."};
  for (const std::string& name : refused) {
    EXPECT_THAT([&] { OpenDevice(name); },
                ThrowsMessage<EBridgeError>(StrEq("Niepoprawna nazwa urz\xB9"
                                                  "dzenia: " +
                                                  name)))
        << name;
  }
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre());
  const std::vector<std::string> nearMisses = {
      "CONSOLE", "NULL",  "COM",  "COM10", "LPT",
      "ACON",    "CON_1", ".cfg", "1.5",   "12"};
  for (const std::string& name : nearMisses) {
    EXPECT_NO_THROW(OpenDevice(name)) << name;
  }
  EXPECT_EQ(ListNames(FDir.Str()).size(), nearMisses.size() + 1);  // template
}

TEST_F(ConfigFileTest, FailedOpenLeavesNothingBound) {
  auto config = OpenDevice("1");
  config->SetValue("NR_FK", "8");
  EXPECT_THROW(config->Open("../2"), EBridgeError);
  EXPECT_FALSE(config->IsBound());
  EXPECT_EQ(config->DeviceName(), "../2");
  EXPECT_EQ(config->GetValue("NR_FK"), "8");
  config->Save();  // writes nowhere
  EXPECT_EQ(ReadBytes(FDir / "1/forbook-bridge.cfg").find("NR_FK=8"),
            std::string::npos);
}

TEST_F(ConfigFileTest, ReportsADeviceDirectoryThatCannotBeCreated) {
  WriteBytes(FDir / "9", "a file where the directory should be");
  EXPECT_THAT([&] { OpenDevice("9"); },
              ThrowsMessage<EBridgeError>(
                  StrEq("Nie mo\xBFna utworzy\xE6 katalogu " + (FDir / "9/"))));
}

TEST_F(ConfigFileTest, AFileThatCannotBeReadIsNeverTakenForDefaults) {
  const std::string path = FDir / "1/forbook-bridge.cfg";
  OpenDevice("1")->SetValue("NR_FK", "8");
  auto config = OpenDevice("1");
  config->SetValue("NR_FK", "8");
  config->Save();
  const std::string before = ReadBytes(path);
  for (const platform::TFileOp op :
       {platform::TFileOp::kProbe, platform::TFileOp::kOpen}) {
    testing::TScopedFaults faults;
    faults->Fail(op, "/1/forbook-bridge.cfg", 1, 1);
    EXPECT_THAT([&] { OpenDevice("1"); },
                ThrowsMessage<EBridgeError>(
                    StrEq("Nie uda\xB3o si\xEA odczyta\xE6 pliku " + path)));
  }
  EXPECT_EQ(ReadBytes(path), before);
}

// A job stopped at any step of a new device's first contact leaves either
// no device file or a whole one, and the next job makes the same file as a
// first contact that nothing disturbed.
TEST_F(ConfigFileTest, AFirstContactStoppedAnywhereIsCompletedByTheNext) {
  WriteBytes(TemplatePath(), "[MAIN]\r\nNR_FK=5\r\nUNKNOWN=kept\r\n");
  OpenDevice("1");
  const std::string whole = ReadBytes(FDir / "1/forbook-bridge.cfg");
  for (int step = 1;; ++step) {
    const std::string device = "N" + std::to_string(step);
    const std::string path = FDir / (device + "/forbook-bridge.cfg");
    if (!testing::CrashesAt(step, [&] { OpenDevice(device); })) break;
    if (platform::FileExists(path)) {
      EXPECT_THAT(whole, StartsWith(ReadBytes(path))) << step;
      EXPECT_THAT(ReadBytes(path), StartsWith(ReadBytes(TemplatePath())));
    }
    OpenDevice(device);
    EXPECT_EQ(ReadBytes(path), whole) << step;
    EXPECT_THAT(ListNames(FDir / device), ElementsAre("forbook-bridge.cfg"));
  }
}

}  // namespace
}  // namespace bridge
