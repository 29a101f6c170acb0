// Tables written here must open in other dBase readers, and tables that
// other programs write must read here: the devices' software is not ours.
// Each test needs an outside tool and is skipped when it is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/DateTime.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using testing::ReadBytes;
using testing::TTempDir;
using testing::TTestSystem;

constexpr const char* kPython = "/usr/bin/python3";

bool HasDbfread() {
  return platform::FileExists(kPython) &&
         std::system("/usr/bin/python3 -c 'import dbfread' >/dev/null 2>&1") ==
             0;
}

bool HasTool(const std::string& name) {
  return platform::FileExists("/usr/bin/" + name);
}

// Runs a shell command with its standard output in a file; gives that output,
// or a text naming the failure.
std::string Shell(const TTempDir& dir, const std::string& command) {
  const std::string out = dir / "out.txt";
  const int status = std::system((command + " >" + out + " 2>&1").c_str());
  if (status != 0)
    return "exit status " + std::to_string(status) + ": " + ReadBytes(out);
  return ReadBytes(out);
}

std::string Utf8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// Goods with every field type the transfers use, two of them.
std::string WriteGoods(const TTempDir& dir) {
  const std::string path = dir / "towar.dbf";
  TDBF table;
  table.AddField("NAZWA", 'C', 20, 0);
  table.AddField("ILOSC", 'N', 10, 3);
  table.AddField("NR", 'N', 6, 0);
  table.AddField("PLATNY", 'L', 1, 0);
  table.AddField("DATA", 'D', 8, 0);
  EXPECT_TRUE(table.CreateTable(path));
  TDBFRecord* record = table.NewRecord();
  record->SetString("NAZWA", Cp1250(u8"Zażółć gęślą jaźń").view());
  record->SetFloat("ILOSC", 1234.5678);
  record->SetInteger("NR", -42);
  record->SetBoolean("PLATNY", true);
  record->SetDate("DATA", EncodeDate(2024, 2, 29));
  EXPECT_TRUE(table.AppendRecord(*record));
  record = table.NewRecord();
  record->SetString("NAZWA", "plain");
  record->SetFloat("ILOSC", -0.5);
  record->SetBoolean("PLATNY", false);
  EXPECT_TRUE(table.AppendRecord(*record));
  EXPECT_TRUE(table.Close());
  return path;
}

TEST(TDBFInterop, EngineTableReadsInDbfread) {
  if (!HasDbfread())
    GTEST_SKIP() << "needs python3-dbfread for /usr/bin/python3";
  TTempDir dir;
  TTestSystem system(dir.Str());
  const std::string path = WriteGoods(dir);
  const std::string script =
      "import dbfread, sys\n"
      "t = dbfread.DBF(sys.argv[1], encoding='cp852', "
      "char_decode_errors='strict')\n"
      "print(t.date, len(t))\n"
      "print(';'.join('%s %s %d %d' % (f.name, f.type, f.length, "
      "f.decimal_count) for f in t.fields))\n"
      "for r in t:\n"
      "    print(';'.join('%s=%r' % (k, v) for k, v in r.items()))\n";
  const std::string scriptPath = dir / "read.py";
  testing::WriteBytes(scriptPath, script);
  EXPECT_EQ(
      Shell(dir, std::string(kPython) + " " + scriptPath + " " + path),
      Utf8(u8"2005-03-07 2\n"
           u8"NAZWA C 20 0;ILOSC N 10 3;NR N 6 0;PLATNY L 1 0;DATA D 8 0\n"
           u8"NAZWA='Zażółć gęślą jaźń';ILOSC=1234.568;NR=-42;"
           u8"PLATNY=True;DATA=datetime.date(2024, 2, 29)\n"
           u8"NAZWA='plain';ILOSC=-0.5;NR=None;PLATNY=False;DATA=None\n"));
}

TEST(TDBFInterop, EngineTableReadsInGdal) {
  if (!HasTool("ogrinfo")) GTEST_SKIP() << "needs GDAL's ogrinfo (gdal-bin)";
  TTempDir dir;
  const std::string path = WriteGoods(dir);
  const std::string out =
      Shell(dir, "ogrinfo -ro -al -q --config SHAPE_ENCODING CP852 " + path);
  EXPECT_THAT(out, ::testing::HasSubstr(
                       Utf8(u8"NAZWA (String) = Zażółć gęślą jaźń\n")));
  EXPECT_THAT(out, ::testing::HasSubstr("ILOSC (Real) = 1234.568\n"));
  EXPECT_THAT(out, ::testing::HasSubstr("NR (Integer) = -42\n"));
  EXPECT_THAT(out, ::testing::HasSubstr("DATA (Date) = 2024/02/29\n"));
  EXPECT_THAT(out, ::testing::HasSubstr("OGRFeature(towar):1\n"));
}

TEST(TDBFInterop, ShapelibTableReadsInEngine) {
  if (!HasTool("dbfcreate") || !HasTool("dbfadd")) {
    GTEST_SKIP() << "needs shapelib's dbfcreate and dbfadd";
  }
  TTempDir dir;
  const std::string path = dir / "dokument.dbf";
  // The name is Łódź in code page 852, as a device stores it.
  ASSERT_EQ(
      Shell(dir, "dbfcreate " + path + " -s NAZWA 10 -n ILOSC 8 2 -n NR 5 0" +
                     " && dbfadd " + path +
                     " \"$(printf '\\235\\242d\\253')\" 3.5 17" +
                     " && dbfadd " + path + " abc -12.25 -3"),
      "");
  TDBF table;
  ASSERT_TRUE(table.Open(path));
  ASSERT_EQ(table.RecordCount(), 2);
  ASSERT_EQ(table.Fields().Count(), 3u);
  EXPECT_EQ(table.Fields()[1].Decimals(), 2);
  const TDBFRecord* record = table.ReadRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->GetString("nazwa"), Cp1250(u8"Łódź").str());
  EXPECT_EQ(record->GetFloat("ILOSC"), 3.5);
  EXPECT_EQ(record->GetInteger("NR"), 17);
  table.Next();
  record = table.ReadRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(record->IsDeleted());
  EXPECT_EQ(record->GetString("NAZWA"), "abc");
  EXPECT_EQ(record->GetFloat("ILOSC"), -12.25);
  EXPECT_EQ(record->GetInteger("NR"), -3);
  table.Next();
  EXPECT_TRUE(table.Eof());
}

}  // namespace
}  // namespace bridge
