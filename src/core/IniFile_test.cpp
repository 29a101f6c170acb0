#include "core/IniFile.h"

#include <gtest/gtest.h>

#include "platform/EBridgeError.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using testing::ReadBytes;
using testing::SameBytes;
using testing::TTempDir;
using testing::WriteBytes;

TEST(IniReading, MatchesSectionsAndKeysWithoutRegardToCase) {
  const TIniFile ini = TIniFile::FromText(
      "x", "[other]\nKEY=no\n[Main]\r\n key = a=b\r\nEmpty=\n");
  EXPECT_EQ(ini.ReadString("MAIN", "KEY", "d"), " a=b");
  EXPECT_EQ(ini.ReadString("main", "empty", "d"), "");
  EXPECT_EQ(ini.ReadString("MAIN", "missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("none", "KEY", "d"), "d");
  EXPECT_TRUE(ini.ValueExists("MAIN", "EMPTY"));
  EXPECT_FALSE(ini.ValueExists("MAIN", "other"));
}

TEST(IniWriting, UpdatesInPlaceAndKeepsForeignContentByteForByte) {
  TTempDir dir;
  const std::string path = dir / "dev.cfg";
  WriteBytes(path,
             "; comment\r\n[MAIN]\r\nNR_FK=5\r\nEXTRA=keep me\r\n\r\n"
             "[OTHER]\nNR_FK=9\n");
  TIniFile ini(path);
  ini.WriteString("main", "nr_fk", "6");
  ini.WriteString("MAIN", "NEW", "x");
  EXPECT_TRUE(SameBytes(ReadBytes(path),
                        "; comment\r\n[MAIN]\r\nnr_fk=6\r\nEXTRA=keep me\r\n"
                        "NEW=x\r\n\r\n[OTHER]\nNR_FK=9\n"));
  EXPECT_EQ(TIniFile(path).ReadString("OTHER", "NR_FK", ""), "9");
}

TEST(IniWriting, CreatesTheFileAndAppendsMissingSections) {
  TTempDir dir;
  const std::string path = dir / "new.cfg";
  TIniFile ini(path);
  ini.WriteStrings("MAIN", {{"A", "1"}, {"B", ""}});
  EXPECT_TRUE(SameBytes(ReadBytes(path), "[MAIN]\r\nA=1\r\nB=\r\n"));
  WriteBytes(path, "[X]\nY=1");  // no line end after the last line
  TIniFile other(path);
  other.WriteString("X", "Z", "2");
  other.WriteString("MAIN", "A", "1");
  EXPECT_TRUE(
      SameBytes(ReadBytes(path), "[X]\nY=1\r\nZ=2\r\n[MAIN]\r\nA=1\r\n"));
}

TEST(IniWriting, RaisesWhenTheFileCannotBeWritten) {
  TTempDir dir;
  TIniFile ini(dir / "missing/dev.cfg");
  EXPECT_THROW(ini.WriteString("MAIN", "A", "1"), EBridgeError);
}

}  // namespace
}  // namespace bridge
