#include "core/Uglobal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using testing::Join;
using testing::ListNames;
using testing::ReadBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

// A program directory with a device configured, and a data directory.
class ExchangeDirs : public ::testing::Test {
 protected:
  explicit ExchangeDirs(std::string_view device = "7") : FConfig(device) {
    FConfig.Get().SetValue("KATALOG", FData.Str());
  }
  TTempDir FProgram;
  TTempDir FData;
  TTestSystem FSystem{FProgram.Str()};
  TScopedConfigFile FConfig;
};

TEST_F(ExchangeDirs, DeviceSideIsBelowTheDataDirectoryPadded) {
  EXPECT_EQ(DownloadDir(), Join(FData.Str(), "Download/00000007"));
  EXPECT_EQ(UploadDir(), Join(FData.Str(), "Upload/00000007"));
  EXPECT_TRUE(platform::DirectoryExists(Join(FData.Str(), "Upload/00000007")));
  FConfig.Get().SetValue("KATALOG", FData.Str() + "/");
  EXPECT_EQ(DownloadDir(), Join(FData.Str(), "Download/00000007"));
}

TEST_F(ExchangeDirs, HostSideIsBelowTheProgramDirectory) {
  EXPECT_EQ(ExportDir(), Join(FProgram.Str(), "7/Eksport"));
  EXPECT_EQ(ImportDir(), Join(FProgram.Str(), "7/Import"));
  EXPECT_THAT(ListNames(Join(FProgram.Str(), "7")),
              ElementsAre("Eksport", "Import", "forbook-bridge.cfg"));
}

TEST_F(ExchangeDirs, CatalogMustBeNamedAndItsParentMustExist) {
  FConfig.Get().SetValue("KATALOG", "  ");
  EXPECT_THAT([] { DownloadDir(); },
              ThrowsMessage<EBridgeError>(StrEq("Nie podano nazwy katalogu")));
  const std::string deep = Join(FData.Str(), "missing/forbook");
  FConfig.Get().SetValue("KATALOG", deep);
  EXPECT_THAT([] { UploadDir(); },
              ThrowsMessage<EBridgeError>(
                  StrEq("Nie uda\xB3o si\xEA utworzy\xE6 katalogu:" + deep)));
}

class EmptyDeviceDirs : public ExchangeDirs {
 protected:
  EmptyDeviceDirs() : ExchangeDirs("") {}
};

TEST_F(EmptyDeviceDirs, DoubleTheDelimiterAndStayDirectlyBelow) {
  EXPECT_EQ(
      ImportDir(),
      FProgram.Str() + std::string(2, platform::kPathDelimiter) + "Import");
  EXPECT_TRUE(platform::DirectoryExists(Join(FProgram.Str(), "Import")));
  EXPECT_EQ(DownloadDir(), Join(FData.Str(), "Download/00000000"));
}

TEST(DirectoryHelpers, PadAndStripOneDelimiter) {
  EXPECT_EQ(PadDeviceName("12"), "00000012");
  EXPECT_EQ(PadDeviceName(""), "00000000");
  EXPECT_EQ(PadDeviceName("123456789"), "123456789");
  EXPECT_EQ(ExcludeTrailingBackslash("/a/b/"), "/a/b");
  EXPECT_EQ(ExcludeTrailingBackslash("/a/b//"), "/a/b/");
  EXPECT_EQ(ExcludeTrailingBackslash("/a/b"), "/a/b");
}

class Backups : public ExchangeDirs {
 protected:
  std::string MakeFile() {
    const std::string path = FData / "dok.txt";
    WriteBytes(path, "content");
    return path;
  }
  TDateTime FStamp = EncodeDateTime({2005, 3, 7, 14, 5, 9, 0});
};

TEST_F(Backups, CopyIntoADatedFolderWhenEnabled) {
  FConfig.Get().SetValue("BACKUP", "1");
  const std::string path = MakeFile();
  BackupFile(path, FStamp);
  BackupFile(path, FStamp);  // a copy already there is overwritten
  EXPECT_EQ(ReadBytes(FData / "backup/2005_03_07-14_05_09/dok.txt"), "content");
}

TEST_F(Backups, DoNothingUnlessTheSwitchIsExactlyOne) {
  for (const char* value : {"0", "T", "Y", ""}) {
    FConfig.Get().SetValue("BACKUP", value);
    BackupFile(MakeFile(), FStamp);
    EXPECT_FALSE(platform::DirectoryExists(FData / "backup")) << value;
  }
}

TEST_F(Backups, ReportFoldersAndCopiesThatFail) {
  FConfig.Get().SetValue("BACKUP", " 1 ");
  WriteBytes(FData / "backup", "a file in the way");
  EXPECT_THAT([&] { BackupFile(MakeFile(), FStamp); },
              ThrowsMessage<EBridgeError>(StrEq(
                  "Nie mo\xBFna utworzy\xE6 katalogu " + (FData / "backup"))));
  ASSERT_TRUE(platform::RemoveFile(FData / "backup"));
  const std::string missing = FData / "missing.txt";
  EXPECT_THAT([&] { BackupFile(missing, FStamp); },
              ThrowsMessage<EBridgeError>(StrEq(
                  "Nie uda\xB3o si\xEA utworzy\xE6 kopii pliku " + missing +
                  " B\xB3\xB9"
                  "d nr :2")));
}

TEST(NumberHelpers, RoundHalfAwayFromZeroWithEitherSeparator) {
  for (const char separator : {'.', ','}) {
    TTestSystem system("/nonexistent", {}, separator);
    EXPECT_DOUBLE_EQ(Round2(2.345), 2.35);
    EXPECT_DOUBLE_EQ(Round2(-2.345), -2.35);
    EXPECT_DOUBLE_EQ(Round2(0.125), 0.13);
    EXPECT_DOUBLE_EQ(Round3(1.0005), 1.001);
    EXPECT_DOUBLE_EQ(Round3(-1.0005), -1.001);
    EXPECT_TRUE(SameAt3Decimals(1.0004, 1.0));
    EXPECT_FALSE(SameAt3Decimals(1.0005, 1.0));
    EXPECT_EQ(FormatWithSystemSeparator(2.5, 2),
              std::string("2") + separator + "50");
  }
}

TEST(NumberHelpers, ReadTextsAsNumbersOrZero) {
  TTestSystem comma("/nonexistent", {}, ',');
  EXPECT_DOUBLE_EQ(StrToFloatOrZero(" 1.5 "), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloatOrZero("1,5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloatOrZero("x"), 0.0);
  EXPECT_TRUE(IsTrimmedFloat(" 2,5 "));
  EXPECT_FALSE(IsTrimmedFloat("2.5"));
  {
    TTestSystem point("/nonexistent", {}, '.');
    EXPECT_DOUBLE_EQ(StrToFloatOrZero("1,5"), 0.0);
    EXPECT_TRUE(IsTrimmedFloat("2.5"));
  }
  EXPECT_EQ(StrToIntOrZero(" 42 "), 42);
  EXPECT_EQ(StrToIntOrZero("4x"), 0);
  EXPECT_EQ(StrToIntOrZero("9999999999"), 0);  // beyond 32 bits
  EXPECT_TRUE(IsIntegerText("-3"));
  EXPECT_FALSE(IsIntegerText(" 3"));
  EXPECT_FALSE(IsIntegerText("3000000000"));
  EXPECT_TRUE(IsTrimmedInteger(" 3 "));
}

TEST(TextHelpers, FlagsCaretsDashesAndFieldTypes) {
  EXPECT_TRUE(IsYes("1"));
  EXPECT_TRUE(IsYes("t"));
  EXPECT_TRUE(IsYes("Y"));
  EXPECT_FALSE(IsYes(" 1"));
  EXPECT_FALSE(IsYes("N"));
  EXPECT_FALSE(IsYes(""));
  EXPECT_EQ(CaretPart("A^B^", 2), "B");
  EXPECT_EQ(CaretPart("A^B^", 3), "");
  EXPECT_EQ(CaretPart("A^^C", 2), "");
  EXPECT_EQ(CaretPart("A^^C", 3), "C");
  EXPECT_EQ(CaretPart("A^ ", 2), "");
  EXPECT_EQ(CaretPart(" A", 1), " A");
  EXPECT_EQ(CaretPart("A", 0), "");
  EXPECT_EQ(DropTrailingCaret("ab^"), "ab");
  EXPECT_EQ(DropTrailingCaret("ab^^"), "ab^");
  EXPECT_EQ(BeforeDash("12-3-4"), "12");
  EXPECT_EQ(BeforeDash("-3"), "");
  EXPECT_EQ(BeforeDash(" 12 "), " 12 ");
  EXPECT_EQ(TextFieldTypeOf(" string "), 1);
  EXPECT_EQ(TextFieldTypeOf("TDateTime"), 2);
  EXPECT_EQ(TextFieldTypeOf("integer"), 3);
  EXPECT_EQ(TextFieldTypeOf("CURRENCY"), 4);
  EXPECT_EQ(TextFieldTypeOf("Boolean"), 5);
  EXPECT_EQ(TextFieldTypeOf("float"), 0);
}

TEST(TextHelpers, MapDocumentTypesBothWays) {
  EXPECT_EQ(HostToDeviceDocType(" fa "), "FK");
  EXPECT_EQ(HostToDeviceDocType("PAR"), "PA");
  EXPECT_EQ(HostToDeviceDocType("kp"), "KP");
  EXPECT_EQ(DeviceToHostDocType("fk"), "FA");
  EXPECT_EQ(DeviceToHostDocType("NO"), "NOP");
  EXPECT_EQ(DeviceToHostDocType("NU"), "NOP");
  EXPECT_EQ(DeviceToHostDocType("PA"), "PAR");
  EXPECT_EQ(DeviceToHostDocType("DD"), "WZ");
  EXPECT_EQ(DeviceToHostDocType("ZW"), "ZWWZ");
  EXPECT_EQ(DeviceToHostDocType(" za "), "ZA");
  EXPECT_EQ(DeviceToHostDocType("KF"), "KF");
  EXPECT_EQ(DeviceToHostDocType("fka"), "FKA");
}

TEST(TextHelpers, ComposeAddressesAndJoinWithBlanks) {
  EXPECT_EQ(ComposeAddress("Polna", "Lublin", "Lublin", "5", "2"), "Polna 5/2");
  EXPECT_EQ(ComposeAddress("Polna", "Lublin", "\x8Cwidnik", "5", "2"),
            "Lublin, Polna 5/2");
  EXPECT_EQ(ComposeAddress("Polna", "Lublin", " lublin ", "", "2"), "Polna");
  EXPECT_EQ(ComposeAddress(" ", "Lublin", "X", "5", ""), "Lublin 5");
  EXPECT_EQ(JoinWithBlank("a", " "), "a");
  EXPECT_EQ(JoinWithBlank("a", "b"), "a b");
}

TEST(TableHelpers, ReadAndWriteLittleEndian) {
  unsigned char bytes[4] = {};
  WriteU16LE(bytes, 0x1234);
  EXPECT_EQ(bytes[0], 0x34);
  EXPECT_EQ(ReadU16LE(bytes), 0x1234);
  WriteU32LE(bytes, 0xFFFFFFFEu);
  EXPECT_EQ(ReadU32LE(bytes), -2);
  EXPECT_TRUE(SameDay(EncodeDateTime({2005, 3, 7, 1, 0, 0, 0}),
                      EncodeDateTime({2005, 3, 7, 23, 0, 0, 0})));
  EXPECT_FALSE(SameDay(EncodeDate(2005, 3, 7), EncodeDate(2005, 3, 8)));
}

}  // namespace
}  // namespace bridge
