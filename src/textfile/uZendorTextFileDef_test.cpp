#include "textfile/uZendorTextFileDef.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using namespace std::string_literals;
using ::testing::ElementsAre;
using testing::ListNames;
using testing::ReadBytes;
using testing::SameBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

// The job's start time, which names the backup folder.
TDateTime JobTime() { return EncodeDateTime({2005, 3, 7, 14, 5, 9, 0}); }

std::string Message(std::string_view fixed, std::string_view subject) {
  return std::string(fixed) + std::string(subject);
}

// Three fields, as dok.txt-like files declare them.
const std::vector<std::string> kThreeFields = {
    "A            : String;\t- pierwsze (10)", "B : Integer; - drugie",
    "C:Currency;"};

// The lines a walk through the file reads, joined by "|" for each field.
std::vector<std::string> WalkLines(const std::string& path,
                                   std::size_t chunkSize) {
  TZendorProFile file(JobTime(), chunkSize);
  file.Definition().LoadDefinitions({"X : String;"});
  file.Definition().FindItem("X")->SetClean(false);
  std::vector<std::string> lines;
  if (!file.OpenRead(path)) return {"<missing>"};
  for (bool more = file.First(); more; more = file.Next()) {
    lines.push_back(file.CurrentRecord()->ToLine());
  }
  EXPECT_TRUE(file.Eof());
  EXPECT_EQ(file.CurrentRecord(), nullptr);
  return lines;
}

TEST(TextFileDefinitions, GiveNameTypeAndFirstParenthesisedNumber) {
  TTextFileDef def;
  def.LoadDefinitions(
      {"NAZWADOK     : String;\t- nazwa dokumentu (10)",
       "UWAGI        : String;\t- (Memo) Uwagi do dokumentu", "", " \t ",
       "suma:Currency;- Warto\x9C\xE6 brutto dokumentu",
       "NRKONTA\t:\tINTEGER\t;\t(np. 1 - konto pierwsze)",
       "OPIS : string ; (Memo) opis ( 35 ) (7)",
       "DATA : TDateTime; ) odwrotnie (12)", "FLAGA : Boolean; (x)(-3)"});
  ASSERT_EQ(def.Count(), 7);
  const std::vector<std::tuple<std::string, int, int>> expected = {
      {"NAZWADOK", 1, 10}, {"UWAGI", 1, 0}, {"SUMA", 4, 0},  {"NRKONTA", 3, 0},
      {"OPIS", 1, 35},     {"DATA", 2, 12}, {"FLAGA", 5, -3}};
  for (int i = 0; i < def.Count(); ++i) {
    const auto& [name, type, length] = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(def.Item(i)->Name(), name);
    EXPECT_EQ(def.Item(i)->FieldType(), type) << name;
    EXPECT_EQ(def.Item(i)->Length(), length) << name;
    EXPECT_TRUE(def.Item(i)->Clean());
  }
  EXPECT_EQ(def.IndexOf("Suma"), 2);
  EXPECT_EQ(def.IndexOf(" opis\t"), 4);
  EXPECT_EQ(def.IndexOf("NONE"), -1);
  EXPECT_EQ(def.FindItem("uwagi"), def.Item(1));
  EXPECT_EQ(def.Item(-1), nullptr);
  EXPECT_EQ(def.Item(7), nullptr);
}

TEST(TextFileDefinitions, RefuseLinesThatAreNoDefinition) {
  for (const std::string line :
       {"NAZWA String; x", "NAZWA : String x", "NAZWA : Text; x", "NAZWA :;"}) {
    TTextFileDef def;
    EXPECT_THAT(
        [&] {
          def.LoadDefinitions({"OK : String;", "  " + line + " \t"});
        },
        ThrowsMessage<EBridgeError>(
            StrEq(Message(Cp1250(u8"Niepoprawna definicja:").view(), line))));
    EXPECT_EQ(def.Count(), 1) << "the items before the error stay";
  }
}

TEST(TextFileDefinitions, RefuseARepeatedNameButReplaceOnReload) {
  const std::vector<std::string> lines = {"BANK : String;", "KONTO : String;"};
  TTextFileDef def;
  def.LoadDefinitions(lines);
  def.LoadDefinitions(lines);
  EXPECT_EQ(def.Count(), 2);
  EXPECT_THAT(
      [&] {
        def.LoadDefinitions({"BANK : String;", " bank:Integer;"});
      },
      ThrowsMessage<EBridgeError>(StrEq(
          Message(Cp1250(u8"Istnieje już definicja pola ").view(), "BANK"))));
  def.LoadDefinitions(nullptr);
  EXPECT_EQ(def.Count(), 0);
}

TEST(TextFileLines, EndAtCrLfLoneCrLoneLfAndAtTheEndOfTheFile) {
  TTempDir dir;
  const std::string path = dir / "a.txt";
  WriteBytes(path, "A\r\nB\rC\nD\n\rE\r\n\r\nF");
  for (std::size_t chunk = 1; chunk <= 9; ++chunk) {
    EXPECT_THAT(WalkLines(path, chunk),
                ElementsAre("A", "B", "C", "D", "", "E", "", "F"))
        << "chunk " << chunk;
  }
  WriteBytes(path, "A\r\n\r");
  EXPECT_THAT(WalkLines(path, 3), ElementsAre("A", ""));
  WriteBytes(path, "");
  EXPECT_THAT(WalkLines(path, 3), ElementsAre());
  EXPECT_THAT(WalkLines(dir / "missing.txt", 3), ElementsAre("<missing>"));
}

TEST(TextFileLines, LeaveOutNulBytesWithoutATemporaryCopy) {
  TTempDir dir;
  const std::string path = dir / "a.txt";
  WriteBytes(path, "\0A\0B\r\0\0\nC\0\0"s);
  for (std::size_t chunk = 1; chunk <= 5; ++chunk) {
    EXPECT_THAT(WalkLines(path, chunk), ElementsAre("AB", "C"));
  }
  EXPECT_THAT(ListNames(dir.Str()), ElementsAre("a.txt"));
}

TEST(TextFileLines, KeepLongValuesWholeAcrossChunks) {
  TTempDir dir;
  const std::string path = dir / "a.txt";
  const std::string memo(100000, 'm');
  WriteBytes(path, "1\t" + memo + "^\t2.5\r\n2\t\t\r\n");
  TZendorProFile file(JobTime(), 4096);
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenRead(path));
  ASSERT_TRUE(file.First());
  EXPECT_EQ(file.CurrentRecord()->GetString("a"), "1");
  EXPECT_EQ(file.CurrentRecord()->GetString("b"), memo);
  EXPECT_EQ(file.CurrentRecord()->GetFloat("C"), 2.5);
  ASSERT_TRUE(file.Next());
  EXPECT_FALSE(file.Next());
  EXPECT_FALSE(file.Next());
  ASSERT_TRUE(file.First()) << "First starts again after the end";
  EXPECT_EQ(file.Current(), 0);
  EXPECT_EQ(file.CurrentRecord()->GetInteger("A"), 1);
}

// One record read from a one-line file with the fields S, N, F, B and D.
class OneRecord : public ::testing::Test {
 protected:
  TZendorProRecord& Read(std::string_view line) {
    WriteBytes(FPath, std::string(line) + "\r\n");
    EXPECT_TRUE(FFile.OpenRead(FPath));
    return *FFile.CurrentRecord();
  }
  TTempDir FDir;
  std::string FPath = FDir / "r.txt";
  TZendorProFile FFile{JobTime()};
  void SetUp() override {
    FFile.Definition().LoadDefinitions({"S:String;", "N:Integer;",
                                        "F:Currency;", "B:Boolean;",
                                        "D:TDateTime;"});
  }
};

TEST_F(OneRecord, ReadsMissingTrailingFieldsAsEmpty) {
  TZendorProRecord& record = Read("x\t7\t");
  EXPECT_EQ(record.GetString("S"), "x");
  EXPECT_EQ(record.GetInteger("n"), 7);
  EXPECT_EQ(record.GetString("F"), "");
  EXPECT_EQ(record.GetFloat("F"), 0.0);
  EXPECT_EQ(record.GetDate("D"), 0.0);
  EXPECT_EQ(record.ToLine(), "x\t7\t\t\t");
  Read("");
  for (const char* name : {"S", "N", "F", "B", "D"}) {
    EXPECT_EQ(record.GetString(name), "") << name;
  }
  EXPECT_EQ(Read("a\tb\tc\td\te\tf\tg").ToLine(), "a\tb\tc\td\te");
}

TEST_F(OneRecord, TrimsBlanksControlsAndOneFinalCaret) {
  EXPECT_EQ(Read("abc^").GetString("S"), "abc");
  EXPECT_EQ(Read(" x ").GetString("S"), "x");
  EXPECT_EQ(Read("a\x01\x1F"
                 "b ^^")
                .GetString("S"),
            "a  b ^");
  FFile.Definition().FindItem("S")->SetClean(false);
  EXPECT_EQ(Read(" \x02y^ ").GetString("S"), "y");
}

TEST_F(OneRecord, ReadsNumbersFlagsAndDatesOrZero) {
  const auto integer = [&](std::string_view text) {
    return Read(std::string("\t") + std::string(text)).GetInteger("N");
  };
  EXPECT_EQ(integer(" 12 "), 12);
  EXPECT_EQ(integer("-7"), -7);
  EXPECT_EQ(integer("12a"), 0);
  EXPECT_EQ(integer("2147483648"), 0);
  const auto flag = [&](std::string_view text) {
    return Read("\t\t\t" + std::string(text)).GetBoolean("B");
  };
  EXPECT_TRUE(flag("t"));
  EXPECT_TRUE(flag(" T "));
  for (const char* text : {"N", "1", "Y", "", "TT"}) EXPECT_FALSE(flag(text));
  const auto date = [&](std::string_view text) {
    return Read("\t\t\t\t" + std::string(text)).GetDate("D");
  };
  EXPECT_EQ(date("2005-3-7"), EncodeDate(2005, 3, 7));
  EXPECT_EQ(date("2005 - 03 - 07"), EncodeDate(2005, 3, 7));
  for (const char* text : {"2005-02-30", "", "20050307", "2005-03", "x-1-1",
                           "2005-03-07-1", "0-1-1"}) {
    EXPECT_EQ(date(text), 0.0) << text;
  }
}

TEST_F(OneRecord, ReadsNumbersFromWhatGetStringGives) {
  // Numbers skip the copy that blanks control characters; whatever stands
  // around them, they read as the text GetString gives would.
  for (const std::string text :
       {"12", " 12\x01", "\x02-3^", "1\x012", "12\x01^", "12 ^", "4^^", "\t",
        "2.5\x1F^", "7.25 \x03", "0.5\x01^"}) {
    TZendorProRecord& record = Read("\t" + text + "\t" + text);
    const std::string shown = record.GetString("N");
    EXPECT_EQ(record.GetInteger("N"), ParseInt32(shown).value_or(0)) << text;
    EXPECT_EQ(record.GetFloat("F"), ParseFloat(shown, '.').value_or(0.0))
        << text;
  }
}

TEST_F(OneRecord, ReadsAmountsWithAPointUnderEitherSeparator) {
  TTempDir program;
  for (const char separator : {'.', ','}) {
    TTestSystem system(program.Str(), {}, separator);
    const auto number = [&](std::string_view text) {
      return Read("\t\t" + std::string(text)).GetFloat("F");
    };
    EXPECT_EQ(number("1.5"), 1.5) << separator;
    EXPECT_EQ(number("-1234.567"), -1234.567) << separator;
    EXPECT_EQ(number("abc"), 0.0) << separator;
    EXPECT_EQ(number("1,5"), separator == ',' ? 1.5 : 0.0) << separator;
  }
}

TEST_F(OneRecord, NamesAnUndefinedFieldAsGiven) {
  TZendorProRecord& record = Read("x");
  const std::string expected =
      Message(Cp1250(u8"Nie znaleziono definicji pola ").view(), "Nope ");
  EXPECT_THAT([&] { record.GetString("Nope "); },
              ThrowsMessage<EBridgeError>(StrEq(expected)));
  EXPECT_THAT([&] { record.SetInteger("Nope ", 1); },
              ThrowsMessage<EBridgeError>(StrEq(expected)));
  EXPECT_THAT([&] { record.GetIntegerAt(5); },
              ThrowsMessage<EBridgeError>(StrEq(Message(
                  Cp1250(u8"Nie znaleziono definicji pola ").view(), "5"))));
}

TEST_F(OneRecord, WritesTheHostFormats) {
  TZendorProRecord& record = FFile.NewRecord();
  const auto money = [&](double x) {
    record.SetMoney("F", x);
    return record.GetString("F");
  };
  EXPECT_EQ(money(0), "0.00");
  EXPECT_EQ(money(1.005), "1.01");
  EXPECT_EQ(money(-1.005), "-1.01");
  EXPECT_EQ(money(-0.004), "0.00");
  EXPECT_EQ(money(1234.5), "1234.50");
  record.SetQuantity("F", 1.0005);
  EXPECT_EQ(record.GetString("F"), "1.001");
  record.SetInteger("N", -42);
  record.SetBoolean("B", false);
  record.SetDate("D", EncodeDateTime({2005, 3, 7, 23, 59, 0, 0}));
  record.SetString("S", "a\tb\r\n");
  EXPECT_EQ(record.ToLine(), "a b  \t-42\t1.001\tN\t2005-03-07");
  record.SetBoolean("b", true);
  EXPECT_EQ(record.GetString("B"), "T");
  FFile.Definition().FindItem("S")->SetClean(false);
  record.SetString("S", "a\x01");
  EXPECT_EQ(record.ToLine().substr(0, 3), "a\x01\t");
  TTempDir program;
  TTestSystem system(program.Str(), {}, ',');
  record.SetMoney("F", 2.5);
  EXPECT_EQ(record.GetString("F"), "2.50") << "always a point";
}

TEST_F(OneRecord, NewRecordEmptiesTheValuesOfTheLastOne) {
  TZendorProRecord& record = FFile.NewRecord();
  record.SetString("N", "5");
  EXPECT_EQ(record.ToLine(), "\t5\t\t\t");
  EXPECT_EQ(&FFile.NewRecord(), &record);
  EXPECT_EQ(record.ToLine(), "\t\t\t\t");
}

// Lines of any make split at every TAB, found eight bytes at a time, and a
// value set from the record's own text, as often as a caller likes, stays
// whole.
TEST_F(OneRecord, SplitsAnyLineAtEveryTabAndKeepsValuesSetFromItself) {
  std::mt19937_64 random(20241211);
  std::uniform_int_distribution<int> size(0, 40);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    for (int n = size(random); n > 0; --n) {
      const int kind = percent(random);
      line.push_back(
          kind < 15
              ? '\t'
              : static_cast<char>(kind < 20 ? byte(random) : 'a' + kind % 26));
    }
    std::vector<std::string> pieces;
    for (std::size_t from = 0;;) {
      const std::size_t tab = line.find('\t', from);
      pieces.push_back(line.substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    // A last piece of blanks is no value, and only five are defined.
    if (TrimView(pieces.back()).empty()) pieces.back().clear();
    pieces.resize(5);
    TZendorProRecord record(FFile);
    record.ParseLine(line);
    ASSERT_EQ(record.ToLine(), pieces[0] + '\t' + pieces[1] + '\t' + pieces[2] +
                                   '\t' + pieces[3] + '\t' + pieces[4])
        << ::testing::PrintToString(line);
    for (int k = 0; k < 4; ++k) {
      record.SetStringAt(k % 2, record.GetStringViewAt(3 + k % 2));
    }
    record.SetStringAt(2, record.GetStringViewAt(0));
    EXPECT_EQ(record.GetStringAt(0), record.GetStringAt(3));
    EXPECT_EQ(record.GetStringAt(1), record.GetStringAt(4));
    EXPECT_EQ(record.GetStringAt(2), record.GetStringAt(3));
  }
}

// A file written for the host, with backups enabled.
class WrittenFile : public ::testing::Test {
 protected:
  WrittenFile() { FConfig.Get().SetValue("BACKUP", "1"); }
  void AppendRecords(TZendorProFile& file, int from, int count) {
    for (int i = from; i < from + count; ++i) {
      TZendorProRecord& record = file.NewRecord();
      record.SetInteger("B", i);
      record.SetString("A", "r" + std::to_string(i));
      file.Append(record);
    }
  }
  TTempDir FProgram;
  TTempDir FDir;
  TTestSystem FSystem{FProgram.Str()};
  TScopedConfigFile FConfig{"1"};
  std::string FPath = FDir / "dok.txt";
};

TEST_F(WrittenFile, EndsEveryLineWithCrLf) {
  TZendorProFile file(JobTime(), 5);
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
  AppendRecords(file, 1, 3);
  TZendorProRecord& record = file.NewRecord();
  record.SetString("B", "x");
  file.Append(record);
  file.Save();
  EXPECT_TRUE(SameBytes(ReadBytes(FPath),
                        "r1\t1\t\r\nr2\t2\t\r\nr3\t3\t\r\n\tx\t\r\n"));
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre("dok.txt"));
}

TEST_F(WrittenFile, TakesLinesMadeElsewhereInTheirPlace) {
  // Lines shorter and longer than a chunk, after and before records.
  TZendorProFile maker(JobTime());
  maker.Definition().LoadDefinitions(kThreeFields);
  std::string lines;
  for (const char* value : {"m1", "m2", "m3"}) {
    TZendorProRecord& record = maker.NewRecord();
    record.SetString("C", value);
    TZendorProFile::AppendLine(record, lines);
  }
  TZendorProFile file(JobTime(), 8);
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
  AppendRecords(file, 1, 1);
  file.AppendLines("\t\t\r\n");
  file.AppendLines(lines);
  AppendRecords(file, 2, 1);
  file.AppendLines(lines);
  file.Save();
  EXPECT_TRUE(SameBytes(ReadBytes(FPath),
                        "r1\t1\t\r\n\t\t\r\n\t\tm1\r\n\t\tm2\r\n\t\tm3\r\n"
                        "r2\t2\t\r\n\t\tm1\r\n\t\tm2\r\n\t\tm3\r\n"));
}

TEST_F(WrittenFile, KeepsTheOldLinesInFrontAfterABackup) {
  const std::string old = "o1\t1\t\no2\r\0o3"s;
  WriteBytes(FPath, old);
  TZendorProFile file(JobTime(), 3);
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
  AppendRecords(file, 4, 2);
  EXPECT_EQ(ReadBytes(FPath), old) << "nothing shows before Save";
  file.Save();
  const std::string saved = "o1\t1\t\r\no2\r\no3\r\nr4\t4\t\r\nr5\t5\t\r\n";
  EXPECT_TRUE(SameBytes(ReadBytes(FPath), saved));
  EXPECT_EQ(ReadBytes(FDir / "backup/2005_03_07-14_05_09/dok.txt"), old);
  AppendRecords(file, 6, 1);
  file.Save();
  EXPECT_TRUE(SameBytes(ReadBytes(FPath), saved + "r6\t6\t\r\n"));
}

TEST_F(WrittenFile, SavedWithoutRecordsRewritesOrLeavesEmpty) {
  TZendorProFile file(JobTime());
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
  EXPECT_FALSE(platform::FileExists(FPath));
  file.Save();
  EXPECT_EQ(ReadBytes(FPath), "");
  WriteBytes(FPath, "a\nb");
  ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
  file.Save();
  EXPECT_EQ(ReadBytes(FPath), "a\r\nb\r\n");
}

TEST_F(WrittenFile, LeftUnsavedLeavesTheOldFileAndNoTemporary) {
  WriteBytes(FPath, "old\r\n");
  {
    TZendorProFile file(JobTime());
    file.Definition().LoadDefinitions(kThreeFields);
    ASSERT_TRUE(file.OpenWrite(FPath, TBackups::kOn));
    AppendRecords(file, 1, 2);
  }
  EXPECT_EQ(ReadBytes(FPath), "old\r\n");
  EXPECT_THAT(ListNames(FDir.Str()), ElementsAre("backup", "dok.txt"));
}

TEST_F(WrittenFile, RefusesAppendWhenReadAndOpenWhereNothingCanBeCreated) {
  WriteBytes(FPath, "x\r\n");
  TZendorProFile file(JobTime());
  file.Definition().LoadDefinitions(kThreeFields);
  ASSERT_TRUE(file.OpenRead(FPath));
  EXPECT_THAT(
      [&] { file.Append(file.NewRecord()); },
      ThrowsMessage<EBridgeError>(StrEq(
          Cp1250(u8"W trybie read-only nie można dopisywać danych").str())));
  file.Save();
  EXPECT_EQ(ReadBytes(FPath), "x\r\n");
  EXPECT_FALSE(file.OpenWrite(FDir / "missing/dok.txt", TBackups::kOn));
  EXPECT_FALSE(file.OpenWrite(FDir.Str(), TBackups::kOn));
}

}  // namespace
}  // namespace bridge
