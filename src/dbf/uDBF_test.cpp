#include "dbf/uDBF.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/Uglobal.h"
#include "core/Ulangconv.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "testing/DbfBytes.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using ::testing::Contains;
using testing::Hex;
using testing::ReadBytes;
using testing::SameBytes;
using ::testing::StrEq;
using testing::TableBytes;
using ::testing::ThrowsMessage;
using testing::TTableImage;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

// --- Tables written by the engine --------------------------------------------

// Fields A (C 5) and B (N 6,2): header length 97, record length 12.
void DeclareAB(TDBF& table) {
  table.AddField("A", 'C', 5, 0);
  table.AddField("B", 'N', 6, 2);
}

void AppendAB(TDBF& table, std::string_view a, double b) {
  TDBFRecord* record = table.NewRecord();
  ASSERT_NE(record, nullptr);
  record->SetString("A", a);
  record->SetFloat("B", b);
  ASSERT_TRUE(table.AppendRecord(*record));
}

// The bytes of one record of a closed table, deletion flag first.
std::string RecordBytes(const std::string& path, std::size_t index) {
  const std::string bytes = ReadBytes(path);
  const auto header =
      static_cast<std::size_t>(static_cast<unsigned char>(bytes.at(8)) |
                               static_cast<unsigned char>(bytes.at(9)) << 8);
  const auto record =
      static_cast<std::size_t>(static_cast<unsigned char>(bytes.at(10)) |
                               static_cast<unsigned char>(bytes.at(11)) << 8);
  return bytes.substr(header + index * record, record);
}

// Writes one record with one field and gives its stored bytes, without the
// deletion flag.
template <typename TSet>
std::string StoredAs(char type, int length, int decimals, TSet set,
                     bool clean = true) {
  TTempDir dir;
  const std::string path = dir / "t.dbf";
  TDBF table;
  table.AddField("F", type, length, decimals);
  table.FindField("F")->SetClean(clean);
  EXPECT_TRUE(table.CreateTable(path));
  TDBFRecord* record = table.NewRecord();
  set(*record);
  EXPECT_TRUE(table.AppendRecord(*record));
  EXPECT_TRUE(table.Close());
  return RecordBytes(path, 0).substr(1);
}

std::string Float(double value, int length, int decimals) {
  return StoredAs('N', length, decimals,
                  [&](TDBFRecord& r) { r.SetFloat("F", value); });
}

std::string Integer(std::int32_t value, int length) {
  return StoredAs('N', length, 0,
                  [&](TDBFRecord& r) { r.SetInteger("F", value); });
}

// --- Tables written by hand --------------------------------------------------

std::string WriteHand(const TTempDir& dir, const TTableImage& t) {
  const std::string path = dir / "hand.dbf";
  WriteBytes(path, TableBytes(t));
  return path;
}

// One field F of the given type and length holding these stored bytes.
std::string OneFieldTable(const TTempDir& dir, char type, std::string stored) {
  return WriteHand(
      dir, {{{"F", type, static_cast<int>(stored.size())}}, {" " + stored}});
}

template <typename TGet>
auto ReadOne(char type, std::string stored, TGet get, bool clean = true) {
  TTempDir dir;
  TDBF table(SystemDecimalSeparator());
  EXPECT_TRUE(table.Open(OneFieldTable(dir, type, std::move(stored))));
  table.FindField("F")->SetClean(clean);
  TDBFRecord* record = table.ReadRecord();
  EXPECT_NE(record, nullptr);
  return get(*record);
}

// --- Creating ----------------------------------------------------------------

TEST(TDBFCreate, TableWithoutRecordsIsDeletedOnClose) {
  TTempDir dir;
  const std::string path = dir / "prod.dbf";
  TDBF table;
  DeclareAB(table);
  ASSERT_TRUE(table.CreateTable(path));
  EXPECT_EQ(table.HeaderLength(), 97);
  EXPECT_EQ(table.RecordLength(), 12);
  EXPECT_TRUE(table.Active());
  EXPECT_FALSE(table.ReadOnly());
  EXPECT_TRUE(table.Close());
  EXPECT_FALSE(table.Active());
  EXPECT_THAT(testing::ListNames(dir.Str()), ::testing::IsEmpty());
}

TEST(TDBFCreate, TwoRecordTableMatchesByteForByte) {
  TTempDir dir;
  TTestSystem system(dir.Str());  // today is 7 March 2005
  const std::string path = dir / "prod.dbf";
  TDBF table;
  DeclareAB(table);
  ASSERT_TRUE(table.CreateTable(path));
  AppendAB(table, "hello", 3.14159);
  AppendAB(table, "ab", -2.5);
  EXPECT_EQ(table.RecordCount(), 2);
  ASSERT_TRUE(table.Close());
  EXPECT_TRUE(SameBytes(
      ReadBytes(path),
      // header: version, 2005-03-07, 2 records, 97, 12, 20 zero bytes
      Hex("03 69 03 07  02 00 00 00  61 00  0C 00"
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
          // A: C 5
          "41 00 00 00 00 00 00 00 00 00 00  43  00 00 00 00  05 00"
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00"
          // B: N 6,2
          "42 00 00 00 00 00 00 00 00 00 00  4E  00 00 00 00  06 02"
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00"
          "0D"
          // " hello  3.14" and " ab    -2.50"
          "20 68 65 6C 6C 6F 20 20 33 2E 31 34"
          "20 61 62 20 20 20 20 2D 32 2E 35 30"
          "1A")));
  EXPECT_EQ(ReadBytes(path).size(), 122u);
}

TEST(TDBFCreate, TableBeingWrittenIsATemporaryFileWithoutRecords) {
  TTempDir dir;
  TTestSystem system(dir.Str());
  const std::string path = dir / "klient.dbf";
  TDBF table;
  table.AddField("X", 'C', 1, 0);
  ASSERT_TRUE(table.CreateTable(path));
  TDBFRecord* record = table.NewRecord();
  record->SetString("X", "x");
  ASSERT_TRUE(table.AppendRecord(*record));
  // Nobody may take the table for complete: it has another name, shows no
  // records and ends with 26 until Close.
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_TRUE(SameBytes(
      ReadBytes(platform::TReplaceOnCommit::TemporaryPathOf(path)),
      Hex("03 69 03 07  00 00 00 00  41 00  02 00"
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
          "58 00 00 00 00 00 00 00 00 00 00  43  00 00 00 00  01 00"
          "00 00 00 00 00 00 00 00 00 00 00 00 00 00"
          "0D 1A")));
  ASSERT_TRUE(table.Close());
  EXPECT_THAT(testing::ListNames(dir.Str()),
              ::testing::ElementsAre("klient.dbf"));
  EXPECT_TRUE(SameBytes(ReadBytes(path).substr(4, 4), Hex("01 00 00 00")));
}

TEST(TDBFCreate, ReplacesAnOlderTableAtOnce) {
  TTempDir dir;
  const std::string path = dir / "towar.dbf";
  WriteBytes(path, "old table");
  TDBF table;
  DeclareAB(table);
  ASSERT_TRUE(table.CreateTable(path));
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_TRUE(table.Close());
  EXPECT_FALSE(platform::FileExists(path));
}

TEST(TDBFCreate, UncreatableFileRaisesWithPath) {
  TTempDir dir;
  const std::string path = dir / "missing/prod.dbf";
  TDBF table;
  DeclareAB(table);
  EXPECT_THAT([&] { static_cast<void>(table.CreateTable(path)); },
              ThrowsMessage<EBridgeError>(
                  StrEq(Cp1250(u8"Nie można utworzyć pliku: ").str() + path)));
  EXPECT_FALSE(table.Active());
}

TEST(TDBFCreate, FieldsBeyondSixteenBitRecordLengthGiveFalse) {
  TTempDir dir;
  TDBF table;
  for (int i = 0; i < 258; ++i) {
    table.AddField("F" + std::to_string(i), 'C', 255, 0);  // 65791 bytes
  }
  EXPECT_FALSE(table.CreateTable(dir / "t.dbf"));
  EXPECT_FALSE(table.Active());
  EXPECT_THAT(testing::ListNames(dir.Str()), ::testing::IsEmpty());
}

TEST(TDBFCreate, ManyRecordsReachTheFileInOrder) {
  TTempDir dir;
  const std::string path = dir / "towar.dbf";
  constexpr int kRecords = 5000;  // about 1.5 MB: more than one chunk
  {
    TDBF table;
    table.AddField("NR", 'N', 9, 0);
    table.AddField("OPIS", 'C', 250, 0);
    table.AddField("CENA", 'N', 12, 2);
    ASSERT_TRUE(table.CreateTable(path));
    const TDBFFieldDef& nr = *table.FindField("NR");
    for (int i = 0; i < kRecords; ++i) {
      TDBFRecord* record = table.NewRecord();
      record->SetInteger(nr, i);
      record->SetString("OPIS", "x" + std::to_string(i));
      record->SetFloat("cena", i / 100.0);
      ASSERT_TRUE(table.AppendRecord(*record));
    }
    ASSERT_TRUE(table.Close());
  }
  EXPECT_EQ(ReadBytes(path).size(), 33u + 3 * 32 + kRecords * 272u + 1);
  TDBF table;
  ASSERT_TRUE(table.Open(path));
  EXPECT_EQ(table.RecordCount(), kRecords);
  int count = 0;
  for (; !table.Eof(); table.Next(), ++count) {
    const TDBFRecord* record = table.ReadRecord();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->GetInteger("NR"), count);
    ASSERT_EQ(record->GetString("OPIS"), "x" + std::to_string(count));
    ASSERT_EQ(record->GetFloat("CENA"), count / 100.0);
  }
  EXPECT_EQ(count, kRecords);
}

// --- Failed runs -------------------------------------------------------------

// Appends a record to a table of fields A and B at path, and ends the
// table by Close only when asked.
struct TWrittenTable {
  std::string Path;
  bool Closed;
  ~TWrittenTable() {
    TDBF table;
    DeclareAB(table);
    EXPECT_TRUE(table.CreateTable(Path));
    AppendAB(table, "a", 1);
    if (Closed) {
      EXPECT_TRUE(table.Close());
    }
  }
};

// A device takes any table it finds for the complete list, so only Close
// puts one in place: a table released without it, as when its run fails,
// leaves nothing, also while an error unwinds.
TEST(TDBFRelease, OnlyAClosedTableIsKept) {
  for (const bool closed : {false, true}) {
    for (const bool unwinding : {false, true}) {
      SCOPED_TRACE(std::string(closed ? "closed" : "released") +
                   (unwinding ? " while an error unwinds" : ""));
      TTempDir dir;
      const std::string path = dir / "towar.dbf";
      try {
        TWrittenTable table{path, closed};
        if (unwinding) throw EBridgeError("the run failed");
      } catch (const EBridgeError&) {
      }
      if (closed) {
        EXPECT_THAT(testing::ListNames(dir.Str()),
                    ::testing::ElementsAre("towar.dbf"));
        EXPECT_TRUE(SameBytes(RecordBytes(path, 0), " a      1.00"));
      } else {
        EXPECT_THAT(testing::ListNames(dir.Str()), ::testing::IsEmpty());
      }
    }
  }
}

// --- Fields ------------------------------------------------------------------

TEST(TDBFAddField, DuplicateNameInAnyCaseRaises) {
  TDBF table;
  EXPECT_TRUE(table.AddField("id_kl", 'N', 6, 0));
  EXPECT_THAT([&] { table.AddField(" ID_KL", 'C', 6, 0); },
              ThrowsMessage<EBridgeError>(
                  StrEq(Cp1250(u8"Istnieje już pole o nazwie  ID_KL").str())));
  EXPECT_EQ(table.Fields().Count(), 1u);
}

TEST(TDBFAddField, NameOfMoreThanTenCharactersRaises) {
  TDBF table;
  EXPECT_TRUE(table.AddField("ABCDEFGHIJ", 'C', 1, 0));
  EXPECT_THAT([&] { table.AddField("abcdefghijk", 'C', 1, 0); },
              ThrowsMessage<EBridgeError>(StrEq(
                  Cp1250(u8"Nazwa pola abcdefghijk jest za długa").str())));
  // The name as given counts, blanks included.
  EXPECT_THAT([&] { table.AddField(" NR_FAKTURY", 'C', 1, 0); },
              ThrowsMessage<EBridgeError>(::testing::HasSubstr("NR_FAKTURY")));
}

TEST(TDBFRecordFields, UnknownFieldRaisesWithNameAsGiven) {
  TTempDir dir;
  TDBF table;
  DeclareAB(table);
  EXPECT_TRUE(table.CreateTable(dir / "t.dbf"));
  TDBFRecord* record = table.NewRecord();
  const std::string expected = Cp1250(u8"Nie znaleziono pola ").str() + "cena";
  EXPECT_THAT([&] { record->SetFloat("cena", 1); },
              ThrowsMessage<EBridgeError>(StrEq(expected)));
  EXPECT_THAT([&] { record->GetString("cena"); },
              ThrowsMessage<EBridgeError>(StrEq(expected)));
  EXPECT_THAT([&] { record->GetDate("cena"); },
              ThrowsMessage<EBridgeError>(StrEq(expected)));
}

// --- Setters -----------------------------------------------------------------

TEST(TDBFSetFloat, RoundsHalfAwayFromZeroAndPlacesFromTheRight) {
  EXPECT_EQ(Float(3.14159, 6, 2), "  3.14");
  EXPECT_EQ(Float(-2.5, 6, 2), " -2.50");
  EXPECT_EQ(Float(2.5, 5, 0), "    3");
  EXPECT_EQ(Float(-2.5, 5, 0), "   -3");
  EXPECT_EQ(Float(0.125, 6, 2), "  0.13");
  EXPECT_EQ(Float(1.005, 6, 2), "  1.01");  // 1.00499999... reads as 1.005
  EXPECT_EQ(Float(-0.001, 6, 2), "  0.00");
  EXPECT_EQ(Float(0.1 + 0.2, 8, 3), "   0.300");
  EXPECT_EQ(Float(9.995, 6, 2), " 10.00");
  EXPECT_EQ(Float(0, 4, 0), "   0");
  EXPECT_EQ(Float(-0.05, 6, 2), " -0.05");
  EXPECT_EQ(Float(0.05, 6, 3), " 0.050");
  // A longer text is cut to its first characters.
  EXPECT_EQ(Float(1234567.891, 6, 2), "123456");  // of "1234567.89"
  EXPECT_EQ(Float(-99999.5, 6, 0), "-10000");     // of "-100000"
}

TEST(TDBFSetFloat, ValuesBeyondAnyFieldStayDefined) {
  EXPECT_EQ(Float(std::numeric_limits<double>::quiet_NaN(), 6, 2), "  0.00");
  EXPECT_EQ(Float(std::numeric_limits<double>::infinity(), 6, 2), "  0.00");
  EXPECT_EQ(Float(-std::numeric_limits<double>::infinity(), 6, 0), "     0");
  EXPECT_EQ(Float(1e300, 10, 2), "1000000000");
  EXPECT_EQ(Float(-std::numeric_limits<double>::max(), 10, 2), "-179769313");
  EXPECT_EQ(Float(std::numeric_limits<double>::denorm_min(), 6, 2), "  0.00");
  EXPECT_EQ(Float(1.5, 40, 35), FormatFixed(1.5, 35, '.').insert(0, 3, ' '));
}

TEST(TDBFSetFloat, MatchesFormatFixedForManyValues) {
  TTempDir dir;
  TDBF table;
  for (int d = 0; d <= 6; ++d)
    table.AddField("F" + std::to_string(d), 'N', 30, d);
  ASSERT_TRUE(table.CreateTable(dir / "t.dbf"));
  std::mt19937_64 random(20050307);
  std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
  std::uniform_int_distribution<int> exponent(-8, 15);
  std::uniform_int_distribution<std::int64_t> thousandths(-10000000, 10000000);
  for (int i = 0; i < 30000; ++i) {
    double value = 0;
    switch (i % 4) {
      case 0:  // any magnitude
        value = mantissa(random) * std::pow(10.0, exponent(random));
        break;
      case 1:  // halves at the decimals the fields have
        value = static_cast<double>(thousandths(random)) / 1000.0 + 0.0005;
        break;
      case 2:  // decimals as the host sends them, from 0 to 6 places
        value = static_cast<double>(thousandths(random) / (i % 5 + 1)) /
                std::pow(10.0, i % 7);
        break;
      default:  // computed amounts with 17 significant digits
        value = static_cast<double>(thousandths(random)) / 1000.0 * 1.1;
        break;
    }
    TDBFRecord* record = table.NewRecord();
    for (int d = 0; d <= 6; ++d) {
      const std::string name = "F" + std::to_string(d);
      record->SetFloat(name, value);
      const std::string expected = FormatFixed(value, d, '.');
      ASSERT_EQ(record->GetString(name), expected.substr(0, 30))
          << "value " << value << " with " << d << " decimals";
    }
  }
}

TEST(TDBFSetInteger, PlacesDigitsFromTheRight) {
  EXPECT_EQ(Integer(42, 5), "   42");
  EXPECT_EQ(Integer(-7, 5), "   -7");
  EXPECT_EQ(Integer(1234567, 5), "12345");
  EXPECT_EQ(Integer(std::numeric_limits<std::int32_t>::min(), 11),
            "-2147483648");
}

TEST(TDBFSetString, PlacesFromTheLeftAndCuts) {
  const auto stored = [](std::string_view text) {
    return StoredAs('C', 5, 0, [&](TDBFRecord& r) { r.SetString("F", text); });
  };
  EXPECT_EQ(stored("abc"), "abc  ");
  EXPECT_EQ(stored("abcdefgh"), "abcde");
  EXPECT_EQ(stored(""), "     ");
}

TEST(TDBFSetString, StoresCodePage852) {
  const std::string stored = StoredAs('C', 6, 0, [](TDBFRecord& r) {
    r.SetString("F", Cp1250(u8"Łódź").view());
  });
  EXPECT_TRUE(SameBytes(stored, Hex("9D A2 64 AB 20 20")));
  EXPECT_EQ(
      ReadOne('C', stored, [](TDBFRecord& r) { return r.GetString("F"); }),
      Cp1250(u8"Łódź").str());
}

TEST(TDBFSetString, CleanFieldBlanksControlCharacters) {
  const auto set = [](TDBFRecord& r) { r.SetString("F", "a\r\nb\tc"); };
  EXPECT_EQ(StoredAs('C', 7, 0, set), "a  b c ");
  EXPECT_TRUE(SameBytes(StoredAs('C', 7, 0, set, /*clean=*/false),
                        Hex("61 0D 0A 62 09 63 20")));
}

TEST(TDBFSetString, EachValueBlanksTheFieldFirst) {
  EXPECT_EQ(StoredAs('C', 5, 0,
                     [](TDBFRecord& r) {
                       r.SetString("F", "abcde");
                       r.SetString("F", "x");
                     }),
            "x    ");
  EXPECT_EQ(StoredAs('N', 5, 0,
                     [](TDBFRecord& r) {
                       r.SetInteger("F", 12345);
                       r.SetInteger("F", 6);
                     }),
            "    6");
}

// What the job journal reports of a table: values that lost more than
// blanks to their field's width, and characters code page 852 lacks.
TEST(TDBFWriteCounts, CountCutValuesAndStandInsOfTheBytesWritten) {
  struct TCase {
    std::u8string_view Text;
    std::int64_t Cut;
    std::int64_t Replaced;
  };
  const TCase cases[] = {
      {u8"abcde", 0, 0},  {u8"abcde \r\n", 0, 0}, {u8"abcdef", 1, 0},
      {u8"„ab”", 0, 2},   {u8"Łódź€", 0, 1},      {u8"abcd„x", 1, 1},
      {u8"abcde„", 1, 0}, {u8"", 0, 0},
  };
  TTempDir dir;
  TDBF table;
  table.AddField("S", 'C', 5, 0);
  table.AddField("N", 'N', 3, 0);
  TDBF::TWriteCounts total;
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(table.CreateTable(dir / "t.dbf"));
    EXPECT_EQ(table.WriteCounts().Cut, 0);
    for (const TCase& c : cases) {
      const TDBF::TWriteCounts before = table.WriteCounts();
      TDBFRecord* record = table.NewRecord();
      record->SetString("S", platform::Utf8ToCp1250(testing::U8(c.Text)));
      EXPECT_EQ(table.WriteCounts().Cut - before.Cut, c.Cut)
          << testing::U8(c.Text);
      EXPECT_EQ(table.WriteCounts().Replaced - before.Replaced, c.Replaced)
          << testing::U8(c.Text);
      ASSERT_TRUE(table.AppendRecord(*record));
    }
    table.NewRecord()->SetInteger("N", 1234);
    total = table.WriteCounts();
    ASSERT_TRUE(table.Close());
  }
  EXPECT_EQ(total.Cut, 4);
  EXPECT_EQ(total.Replaced, 4);
}

TEST(TDBFSetBoolean, StoresTOrF) {
  EXPECT_EQ(StoredAs('L', 1, 0, [](TDBFRecord& r) { r.SetBoolean("F", true); }),
            "T");
  EXPECT_EQ(
      StoredAs('L', 3, 0, [](TDBFRecord& r) { r.SetBoolean("F", false); }),
      "F  ");
}

TEST(TDBFSetDate, StoresYearMonthDay) {
  const auto stored = [](TDateTime value) {
    return StoredAs('D', 8, 0, [&](TDBFRecord& r) { r.SetDate("F", value); });
  };
  EXPECT_EQ(stored(EncodeDate(2005, 3, 7)), "20050307");
  EXPECT_EQ(stored(EncodeDateTime({2005, 3, 7, 23, 59, 59, 0})), "20050307");
  EXPECT_EQ(stored(EncodeDate(33, 1, 2)), "00330102");
  EXPECT_EQ(stored(0), "18991230");
  EXPECT_EQ(stored(std::numeric_limits<double>::quiet_NaN()), "18991230");
}

TEST(TDBFSetters, FieldsOfARecordKeepTheirPlaces) {
  TTempDir dir;
  const std::string path = dir / "t.dbf";
  TDBF table;
  table.AddField("S", 'C', 4, 0);
  table.AddField("I", 'N', 3, 0);
  table.AddField("L", 'L', 1, 0);
  table.AddField("D", 'D', 8, 0);
  table.AddField("N", 'N', 5, 1);
  ASSERT_TRUE(table.CreateTable(path));
  TDBFRecord* record = table.NewRecord();
  record->SetFloat("n", 2.25);
  record->SetDate("d", EncodeDate(2005, 3, 7));
  record->SetBoolean("l", true);
  record->SetInteger("i", 7);
  record->SetString("s", "ab");
  ASSERT_TRUE(table.AppendRecord(*record));
  ASSERT_TRUE(table.Close());
  EXPECT_TRUE(SameBytes(RecordBytes(path, 0), " ab    7T20050307  2.3"));
}

// --- Reading -----------------------------------------------------------------

TEST(TDBFOpen, ReadsFieldsAndRecordsOfAHandWrittenTable) {
  TTempDir dir;
  const std::string path =
      WriteHand(dir, {{{"NAZWA", 'C', 6}, {"ilosc", 'N', 5, 1}},
                      {" Kowal   2.5", " \x9D\xA2\x64\xAB  -10.0"}});
  TDBF table;
  ASSERT_TRUE(table.Open(path));
  EXPECT_TRUE(table.ReadOnly());
  EXPECT_EQ(table.Current(), 0);
  EXPECT_EQ(table.Version(), 3);
  EXPECT_EQ(table.Year(), 105);
  EXPECT_EQ(table.RecordCount(), 2);
  ASSERT_EQ(table.Fields().Count(), 2u);
  EXPECT_EQ(table.Fields()[1].Name(), "ILOSC");
  EXPECT_EQ(table.Fields()[1].Offset(), 6);
  EXPECT_EQ(table.Fields()[1].Decimals(), 1);

  TDBFRecord* record = table.ReadRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_FALSE(record->IsDeleted());
  EXPECT_EQ(record->GetString("nazwa"), "Kowal");
  EXPECT_EQ(record->GetFloat("ILOSC"), 2.5);
  EXPECT_TRUE(table.Next());
  record = table.ReadRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->GetString("NAZWA"), Cp1250(u8"Łódź").str());
  EXPECT_EQ(record->GetFloat("ILOSC"), -10.0);
  EXPECT_EQ(record->GetInteger("ILOSC"), 0);  // "-10.0" is no whole number
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_TRUE(table.Close());
  EXPECT_TRUE(table.Eof());
}

TEST(TDBFOpen, FirstOfTwoEqualNamesIsFound) {
  TTempDir dir;
  TDBF table;
  ASSERT_TRUE(
      table.Open(WriteHand(dir, {{{"A", 'C', 1}, {"a", 'C', 1}}, {" xy"}})));
  const TDBFRecord* record = table.ReadRecord();
  EXPECT_EQ(record->GetString("A"), "x");
  EXPECT_EQ(record->GetString("A"), "x");
  EXPECT_EQ(table.FindField("a"), table.Fields().Item(0));
}

TEST(TDBFOpen, DeletedRecordIsReportedAndStillReadable) {
  TTempDir dir;
  TDBF table;
  ASSERT_TRUE(table.Open(WriteHand(dir, {{{"F", 'C', 3}}, {"*old", " new"}})));
  TDBFRecord* record = table.ReadRecord();
  EXPECT_TRUE(record->IsDeleted());
  EXPECT_EQ(record->GetString("F"), "old");
  table.Next();
  EXPECT_FALSE(table.ReadRecord()->IsDeleted());
}

TEST(TDBFOpen, HeaderCountDecidesHowManyRecordsAreRead) {
  TTempDir dir;
  TTableImage hand{{{"F", 'N', 1}}, {" 1", " 2", " 3", " 4", " 5"}};
  hand.Count = 3;
  TDBF table;
  ASSERT_TRUE(table.Open(WriteHand(dir, hand)));
  std::vector<int> read;
  for (; !table.Eof(); table.Next()) {
    read.push_back(table.ReadRecord()->GetInteger("F"));
  }
  EXPECT_THAT(read, ::testing::ElementsAre(1, 2, 3));
}

TEST(TDBFOpen, RefusesATableShorterThanItsCount) {
  TTempDir dir;
  // Cut short in the fourth record, and a count of 2^31 that no file holds.
  const std::string expected =
      Cp1250(u8"Plik jest niekompletny: ").str() + (dir / "hand.dbf");
  for (const std::uint32_t count : {5u, 0x80000000u, 0xFFFFFFFFu}) {
    TTableImage hand{{{"F", 'N', 2}}, {"  1", "  2", "  3", " "}};
    hand.Count = count;
    const std::string path = WriteHand(dir, hand);
    EXPECT_THAT([&] { static_cast<void>(TDBF().Open(path)); },
                ThrowsMessage<EBridgeError>(StrEq(expected)))
        << count;
  }
}

TEST(TDBFOpen, HeaderLengthFindsTheFirstRecord) {
  TTempDir dir;
  // Two spare bytes after the terminator, as some programs write.
  std::string bytes = TableBytes({{{"F", 'C', 2}}, {}});
  bytes.pop_back();
  bytes += std::string("\0\0", 2) + " ab" + "\x1A";
  bytes[8] = 32 + 32 + 3;
  bytes[4] = 1;
  const std::string path = dir / "t.dbf";
  WriteBytes(path, bytes);
  TDBF table;
  ASSERT_TRUE(table.Open(path));
  EXPECT_EQ(table.ReadRecord()->GetString("F"), "ab");
}

TEST(TDBFOpen, MissingFileRaisesWithPathRightAfterColon) {
  TTempDir dir;
  const std::string path = dir / "dokument.dbf";
  TDBF table;
  EXPECT_THAT([&] { static_cast<void>(table.Open(path)); },
              ThrowsMessage<EBridgeError>(
                  StrEq(Cp1250(u8"Nie można otworzyć pliku:").str() + path)));
  EXPECT_FALSE(table.Active());
}

TEST(TDBFOpen, ShortHeaderRaises) {
  TTempDir dir;
  const std::string path = dir / "t.dbf";
  WriteBytes(path, TableBytes({{{"F", 'C', 1}}, {}}).substr(0, 31));
  TDBF table;
  EXPECT_THAT([&] { static_cast<void>(table.Open(path)); },
              ThrowsMessage<EBridgeError>(
                  StrEq(Cp1250(u8"Nagłówek jest za krótki").str())));
  EXPECT_FALSE(table.Active());
}

TEST(TDBFOpen, RefusesFieldsBeyondRecordLength) {
  TTempDir dir;
  TTableImage hand{{{"A", 'C', 3}, {"B", 'N', 4}}, {" abc   1"}};
  hand.RecordLength = 3;  // its fields need 8
  const std::string path = WriteHand(dir, hand);
  TDBF table;
  EXPECT_THAT([&] { static_cast<void>(table.Open(path)); },
              ThrowsMessage<EBridgeError>(
                  StrEq(Cp1250(u8"Uszkodzony nagłówek pliku: ").str() + path)));
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(table.ReadRecord(), nullptr);
}

TEST(TDBFOpen, RefusesHeaderLengthBelowTheDescriptors) {
  TTempDir dir;
  const std::string expected =
      Cp1250(u8"Uszkodzony nagłówek pliku: ").str() + (dir / "hand.dbf");
  for (const int headerLength : {0, 31, 64, 95}) {
    TTableImage hand{{{"A", 'C', 1}, {"B", 'C', 1}}, {" ab"}};
    hand.HeaderLength = static_cast<std::uint16_t>(headerLength);  // below 96
    const std::string path = WriteHand(dir, hand);
    EXPECT_THAT([&] { static_cast<void>(TDBF().Open(path)); },
                ThrowsMessage<EBridgeError>(StrEq(expected)))
        << headerLength;
  }
}

// A good table with one byte of its header or descriptors changed is either
// refused with one of the engine's own messages, or read as its header
// says: every field inside the record after the deletion flag, and exactly
// the records counted.
TEST(TDBFOpen, EveryDamagedHeaderByteIsRefusedOrReadSafely) {
  TTempDir dir;
  const std::string good =
      TableBytes({{{"A", 'C', 3}, {"B", 'N', 5, 2}, {"C", 'D', 8}},
                  {" abc 1.5020050307", "*xyz-2.0019991231"}});
  const std::string path = dir / "t.dbf";
  const std::vector<std::string> refusals = {
      Cp1250(u8"Uszkodzony nagłówek pliku: ").str() + path,
      "Plik jest niekompletny: " + path};
  int refused = 0;
  int read = 0;
  for (std::size_t at = 0; at < 32 * 4 + 2; ++at) {
    for (const char value : {'\x00', '\x01', '\x0D', '\x7F', '\xFF'}) {
      std::string bad = good;
      bad[at] = value;
      WriteBytes(path, bad);
      const std::string where =
          "byte " + std::to_string(at) + " set to " +
          std::to_string(static_cast<unsigned char>(value));
      TDBF table;
      try {
        ASSERT_TRUE(table.Open(path)) << where;
      } catch (const EBridgeError& error) {
        EXPECT_THAT(refusals, Contains(std::string(error.what()))) << where;
        ++refused;
        continue;
      }
      for (const auto& field : table.Fields()) {
        EXPECT_LT(field->Offset() + field->Length(), table.RecordLength())
            << where << ", field " << field->Name();
      }
      std::int32_t records = 0;
      for (; !table.Eof(); table.Next(), ++records) {
        const TDBFRecord* record = table.ReadRecord();
        ASSERT_NE(record, nullptr) << where;
        for (const auto& field : table.Fields()) {
          EXPECT_LE(record->GetString(*field).size(),
                    static_cast<std::size_t>(field->Length()))
              << where << ", field " << field->Name();
          record->GetInteger(*field);
          record->GetFloat(*field);
          record->GetBoolean(*field);
          record->GetDate(*field);
        }
      }
      EXPECT_EQ(records, table.RecordCount()) << where;
      ++read;
    }
  }
  // Both ways out are taken, so neither check above is idle.
  EXPECT_GT(refused, 0);
  EXPECT_GT(read, 0);
}

TEST(TDBFOpen, AppendToAnOpenedTableRaises) {
  TTempDir dir;
  TDBF table;
  ASSERT_TRUE(table.Open(OneFieldTable(dir, 'C', "a")));
  TDBFRecord* record = table.NewRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_THAT(
      [&] { static_cast<void>(table.AppendRecord(*record)); },
      ThrowsMessage<EBridgeError>(StrEq(
          Cp1250(u8"Nie można dopisywać rekordów w trybie read-only").str())));
}

// --- Getters -----------------------------------------------------------------

std::string String(std::string stored, bool clean = true) {
  return ReadOne(
      'C', std::move(stored), [](TDBFRecord& r) { return r.GetString("F"); },
      clean);
}

TEST(TDBFGetString, TrimsCleanFieldsOnly) {
  EXPECT_EQ(String("  ab  "), "ab");
  EXPECT_EQ(String("  ab  ", /*clean=*/false), "  ab  ");
  EXPECT_EQ(String(std::string("a\0\0", 3)), "a");
}

TEST(TDBFGetString, BreaksBecomeCaretsAndControlsBlanks) {
  EXPECT_EQ(String("a\tb\nc\rd"), "a^b^c d");
  // Trimming comes first, so an outer TAB of a clean field is gone.
  EXPECT_EQ(String("\tab\n"), "ab");
  EXPECT_EQ(String("\tab\x01", /*clean=*/false), "^ab ");
}

TEST(TDBFGetInteger, ReadsWholeNumbersOnly) {
  const auto integer = [](std::string stored) {
    return ReadOne('N', std::move(stored),
                   [](TDBFRecord& r) { return r.GetInteger("F"); });
  };
  EXPECT_EQ(integer("   42"), 42);
  EXPECT_EQ(integer("  -42"), -42);
  EXPECT_EQ(integer("     "), 0);
  EXPECT_EQ(integer("  12a"), 0);
  EXPECT_EQ(integer(" 4 2 "), 0);
  EXPECT_EQ(integer("2147483647"), 2147483647);
  EXPECT_EQ(integer("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(integer("2147483648"), 0);  // beyond 32 bits
  EXPECT_EQ(integer("99999999999999999999"), 0);
}

TEST(TDBFGetFloat, ReadsNumbersWithAPoint) {
  const auto number = [](std::string stored) {
    return ReadOne('N', std::move(stored),
                   [](TDBFRecord& r) { return r.GetFloat("F"); });
  };
  EXPECT_EQ(number("  3.14"), 3.14);
  EXPECT_EQ(number(" -2.50"), -2.5);
  EXPECT_EQ(number("    17"), 17.0);
  EXPECT_EQ(number("      "), 0.0);
  EXPECT_EQ(number(" 1.2.3"), 0.0);
  EXPECT_EQ(number("   abc"), 0.0);
  EXPECT_EQ(number("1e999 "), 0.0);
  TTempDir dir;
  TTestSystem comma(dir.Str(), {}, ',');
  EXPECT_EQ(number("  3.14"), 3.14);
  EXPECT_EQ(number("  3,14"), 3.14);
}

// Values are mapped and read eight bytes at a time where they can be; any
// mix of bytes must come out as the byte-by-byte rules say.
TEST(TDBFValues, AnyMixOfBytesFollowsTheRulesForEachByte) {
  TTempDir dir;
  std::mt19937_64 random(20241209);
  std::uniform_int_distribution<int> size(0, 50);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const bool clean : {true, false}) {
    TDBF table;
    ASSERT_TRUE(table.AddField("F", 'C', 40, 0));
    ASSERT_TRUE(table.CreateTable(dir / (clean ? "c.dbf" : "r.dbf")));
    TDBFFieldDef& field = *table.FindField("F");
    field.SetClean(clean);
    std::int64_t standIns = 0;
    for (int i = 0; i < 5000; ++i) {
      std::string text;
      for (int n = size(random); n > 0; --n) {
        const int kind = percent(random);
        text.push_back(static_cast<char>(
            kind < 85
                ? ' ' + byte(random) % 95
                : (kind < 95 ? 0x80 + byte(random) % 128 : byte(random) % 32)));
      }
      TDBFRecord& record = *table.NewRecord();
      record.SetString(field, text);
      std::string stored = ConvertCodePage(kCp1250ToCp852, text.substr(0, 40));
      if (clean) stored = ControlToSpace(stored);
      stored.resize(40, ' ');
      for (const char c : text.substr(0, 40)) {
        standIns += GivesStandIn(kCp1250ToCp852, static_cast<unsigned char>(c));
      }
      const std::string read = ControlToSpace(BreaksToCaret(
          ConvertCodePage(kCp852ToCp1250, clean ? TrimView(stored) : stored),
          '^'));
      ASSERT_EQ(record.GetString(field), read)
          << ::testing::PrintToString(text);
    }
    EXPECT_EQ(table.WriteCounts().Replaced, standIns);
  }
}

// Plain numbers are read where they lie; what they read as must be what the
// text GetString gives reads as, under either separator.
TEST(TDBFGetFloat, ReadsWhatGetStringGives) {
  TTempDir dir;
  std::mt19937_64 random(20241210);
  std::uniform_int_distribution<int> size(0, 12);
  constexpr std::string_view kAlphabet = "0123456789012345678.,-+ \te";
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  for (const char separator : {'.', ','}) {
    TDBF table(separator);
    ASSERT_TRUE(table.AddField("F", 'N', 12, 3));
    ASSERT_TRUE(table.CreateTable(dir / "n.dbf"));
    const TDBFFieldDef& field = *table.FindField("F");
    for (int i = 0; i < 20000; ++i) {
      std::string text;
      for (int n = size(random); n > 0; --n)
        text.push_back(kAlphabet[pick(random)]);
      TDBFRecord& record = *table.NewRecord();
      record.SetString(field, text);
      std::string shown = record.GetString(field);
      if (const auto point = shown.find('.'); point != std::string::npos) {
        shown[point] = separator;
      }
      ASSERT_EQ(record.GetFloat(field),
                ParseFloat(TrimView(shown), separator).value_or(0.0))
          << "\"" << text << "\" with " << separator;
    }
    ASSERT_TRUE(table.Close());
  }
}

TEST(TDBFGetBoolean, TrueForTOrYInAnyCase) {
  const auto flag = [](std::string stored) {
    return ReadOne('L', std::move(stored),
                   [](TDBFRecord& r) { return r.GetBoolean("F"); });
  };
  EXPECT_TRUE(flag("T"));
  EXPECT_TRUE(flag("y"));
  EXPECT_TRUE(flag(" t "));
  EXPECT_FALSE(flag("N"));
  EXPECT_FALSE(flag(" "));
  EXPECT_FALSE(flag("1"));
  EXPECT_FALSE(flag("TY"));
}

// A flag reads as the text GetString gives says: one letter, T or Y in any
// case. Every byte alone and after a blank, in Clean fields and others.
TEST(TDBFGetBoolean, ReadsWhatGetStringGivesForEveryByte) {
  for (const bool clean : {true, false}) {
    for (int byte = 0; byte < 256; ++byte) {
      for (const std::string& stored :
           {std::string(1, static_cast<char>(byte)),
            std::string(" ") + static_cast<char>(byte)}) {
        const auto [flag, shown] = ReadOne(
            'L', stored,
            [](TDBFRecord& r) {
              return std::pair(r.GetBoolean("F"), r.GetString("F"));
            },
            clean);
        const std::string_view text = TrimView(shown);
        ASSERT_EQ(flag, text.size() == 1 && (UpperCaseChar(text[0]) == 'T' ||
                                             UpperCaseChar(text[0]) == 'Y'))
            << byte << (clean ? " clean" : " raw") << ", " << stored.size();
      }
    }
  }
}

TEST(TDBFGetDate, ReadsYearMonthDayOrGivesTheZeroDate) {
  const auto date = [](std::string stored) {
    return ReadOne('D', std::move(stored),
                   [](TDBFRecord& r) { return r.GetDate("F"); });
  };
  EXPECT_EQ(date("20050307"), EncodeDate(2005, 3, 7));
  EXPECT_EQ(date("20040229"), EncodeDate(2004, 2, 29));
  EXPECT_EQ(date("        "), 0);
  EXPECT_EQ(date("20051301"), 0);
  EXPECT_EQ(date("20050229"), 0);
  EXPECT_EQ(date("2005x307"), 0);
  EXPECT_EQ(date("00000307"), 0);
  EXPECT_EQ(date("200503  "), 0);
  EXPECT_EQ(date("2005030"), 0);
}

}  // namespace
}  // namespace bridge
