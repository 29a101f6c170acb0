#include "transfer/Utranstowary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;

// The 54 values of a kartoteka.txt line, in the host's order.
constexpr std::string_view kKartotekaNames[] = {
    "ID_KARTOTEKA",
    "ID_RODZAJKART",
    "INDEKS",
    "NAZWASKR",
    "NAZWADL",
    "STAWKAVAT",
    "JM",
    "SWW",
    "PKWIU",
    "STAN",
    "CSP1_CENAN",
    "CSP1_CENAB",
    "CSP1_ODNETTO",
    "CSP1_ZAOKR",
    "CSP1_NARZUT",
    "CSP1_MARZA",
    "CSP2_CENAN",
    "CSP2_CENAB",
    "CSP2_ODNETTO",
    "CSP2_ZAOKR",
    "CSP2_NARZUT",
    "CSP2_MARZA",
    "OPAK_ID_KARTOTEKA",
    "OPAK_INDEKS",
    "OPAK_ILOSCWOPAK",
    "CECHA",
    "CSP3_CENAN",
    "CSP3_CENAB",
    "CSP3_ODNETTO",
    "CSP3_ZAOKR",
    "CSP3_NARZUT",
    "CSP3_MARZA",
    "CSP4_CENAN",
    "CSP4_CENAB",
    "CSP4_ODNETTO",
    "CSP4_ZAOKR",
    "CSP4_NARZUT",
    "CSP4_MARZA",
    "CSP5_CENAN",
    "CSP5_CENAB",
    "CSP5_ODNETTO",
    "CSP5_ZAOKR",
    "CSP5_NARZUT",
    "CSP5_MARZA",
    "ID_GRUPAKART1",
    "ID_GRUPAKART2",
    "STAN_MIN",
    "STAN_MAX",
    "EAN",
    "OST_CENAZAK",
    "GRUPAKART1_KODZL",
    "GRUPAKART2_KODZL",
    "STANDOPOTW",
    "UWAGI",
};

using TValues = std::map<std::string, std::string>;

// One host line; a goods record unless the values say otherwise. Every
// value not given is a marker text, so a conversion that reads the wrong
// column shows.
std::string KartotekaLine(TValues values) {
  values.try_emplace("ID_RODZAJKART", "1");
  values.try_emplace("INDEKS", "T1");
  std::string line;
  for (const std::string_view name : kKartotekaNames) {
    if (!line.empty()) line += '\t';
    const auto found = values.find(std::string(name));
    line += found != values.end() ? found->second : "x";
  }
  return line + "\r\n";
}

struct TFieldDecl {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
};

// The field descriptors' name, type, length and decimals bytes in order.
std::string DescriptorBytes(const std::vector<TFieldDecl>& fields) {
  std::string bytes;
  for (const TFieldDecl& field : fields) {
    std::string name(field.Name);
    name.resize(11, '\0');
    bytes += name;
    bytes += field.Type;
    bytes += static_cast<char>(field.Length);
    bytes += static_cast<char>(field.Decimals);
  }
  return bytes + '\x0D';
}

// The same bytes taken from a written table, up to the end marker.
std::string DescriptorBytesOf(const std::string& path) {
  const std::string file = ReadBytes(path);
  std::string bytes;
  std::size_t at = 32;
  while (at < file.size() && file[at] != '\x0D') {
    bytes += file.substr(at, 12);
    bytes += file.substr(at + 16, 2);
    at += 32;
  }
  return bytes + (at < file.size() ? "\x0D" : "");
}

const std::vector<TFieldDecl> kTowar170 = {
    {"ID_TOW", 'C', 15, 0},    {"NAZWA", 'C', 40, 0},
    {"SKROT", 'C', 25, 0},     {"VAT_GRUPA", 'N', 2, 0},
    {"JM", 'C', 4, 0},         {"SZT_OP", 'N', 10, 3},
    {"CENA_1", 'N', 8, 2},     {"CENA_2", 'N', 8, 2},
    {"CENA_3", 'N', 8, 2},     {"CENA_4", 'N', 8, 2},
    {"CENA_5", 'N', 8, 2},     {"CENA_MIN", 'N', 8, 2},
    {"ZM_CENY", 'D', 8, 0},    {"PKWIU", 'C', 15, 0},
    {"GRUPA_A", 'N', 3, 0},    {"GRUPA_P", 'N', 3, 0},
    {"STAN", 'N', 10, 3},      {"STAN_MIN", 'N', 10, 3},
    {"STAN_GRUPA", 'N', 1, 0}, {"PROM_GRUPA", 'N', 3, 0},
    {"PROM_RABAT", 'N', 5, 2}, {"PROM_MIN", 'N', 4, 0},
    {"PROM_CYKL", 'L', 1, 0},  {"ZMIEN_STAN", 'L', 1, 0},
    {"PROC_MARZ", 'N', 6, 2},  {"STATUS", 'C', 1, 0},
};

const std::vector<TFieldDecl> kTowar180 = {
    {"ID_TOWAR", 'C', 25, 0}, {"NAZWA", 'C', 60, 0},
    {"SKROT", 'C', 35, 0},    {"VAT", 'N', 2, 0},
    {"JM", 'C', 5, 0},        {"SZT_OP", 'N', 10, 3},
    {"CENA_1", 'N', 8, 2},    {"CENA_2", 'N', 8, 2},
    {"CENA_3", 'N', 8, 2},    {"CENA_4", 'N', 8, 2},
    {"CENA_5", 'N', 8, 2},    {"CENA_MIN", 'N', 8, 2},
    {"PKWIU", 'C', 15, 0},    {"ID_ASORT", 'N', 3, 0},
    {"ID_PROD", 'N', 3, 0},   {"STAN", 'N', 10, 3},
    {"STAN_MIN", 'N', 10, 3}, {"STAN_LOG", 'N', 1, 0},
    {"PROC_MARZ", 'N', 6, 2}, {"STATUS", 'C', 1, 0},
    {"GRUPA_CEN", 'N', 3, 0}, {"CECHA1", 'C', 35, 0},
    {"CECHA2", 'C', 35, 0},   {"UWAGI", 'C', 254, 0},
    {"CENA_ZAK", 'N', 8, 2},  {"STAN_MAX", 'N', 10, 3},
    {"EAN", 'C', 13, 0},      {"BEZ_PROM", 'L', 1, 0},
};

class TTowaryTest : public TTransferTest {
 protected:
  void UseLayout(std::string_view layout) {
    Config().SetValue("WERSJA", layout);
  }

  // Sends one kartoteka.txt made of these records.
  void Send(const std::vector<TValues>& records) {
    std::string text;
    for (const TValues& values : records) text += KartotekaLine(values);
    WriteExport("kartoteka.txt", text);
    TTransTowary(FNow, "kartoteka.txt", "towar.dbf").Send();
  }

  std::string TablePath() { return DownloadPath("towar.dbf"); }

  // One field of every record of the table written, trimmed.
  std::vector<std::string> Column(std::string_view field) {
    std::vector<std::string> values;
    TDBF table;
    EXPECT_TRUE(table.Open(TablePath()));
    for (table.First(); !table.Eof(); table.Next()) {
      values.push_back(table.ReadRecord()->GetString(field));
    }
    return values;
  }

  // The one field of the single record that these values give.
  std::string ValueOf(std::string_view field, const TValues& values) {
    Send({values});
    const std::vector<std::string> column = Column(field);
    return column.size() == 1
               ? column[0]
               : "<" + std::to_string(column.size()) + " records>";
  }
};

// --- The table's fields ------------------------------------------------------

TEST_F(TTowaryTest, Layout170DeclaresItsTwentySixFieldsInOrder) {
  UseLayout("1.7.0");
  Send({{}});
  EXPECT_TRUE(
      SameBytes(DescriptorBytesOf(TablePath()), DescriptorBytes(kTowar170)));
}

TEST_F(TTowaryTest, Layout180DeclaresItsTwentyEightFieldsInOrder) {
  UseLayout("1.8.0");
  Send({{}});
  EXPECT_TRUE(
      SameBytes(DescriptorBytesOf(TablePath()), DescriptorBytes(kTowar180)));
}

// --- Which records are sent --------------------------------------------------

TEST_F(TTowaryTest, OnlyGoodsAreSentInFileOrder) {
  Send({{{"INDEKS", "A"}},
        {{"INDEKS", "OPAK"}, {"ID_RODZAJKART", "2"}},
        {{"INDEKS", "B"}, {"ID_RODZAJKART", " 1 "}},
        {{"INDEKS", "C"}, {"ID_RODZAJKART", ""}}});
  EXPECT_THAT(Column("ID_TOW"), ElementsAre("A", "B"));
}

TEST_F(TTowaryTest, IndexLongerThanTheKeyFieldIsLeftOut) {
  const std::string index15(15, 'A');
  const std::string index16(16, 'B');
  const std::string index25(25, 'C');
  const std::string index26(26, 'D');
  const std::string index27(27, 'E');
  const std::vector<TValues> records = {{{"INDEKS", index15}},
                                        {{"INDEKS", index16}},
                                        {{"INDEKS", index25}},
                                        {{"INDEKS", index26}},
                                        {{"INDEKS", index27}}};
  UseLayout("1.7.0");
  Send(records);
  EXPECT_THAT(Column("ID_TOW"), ElementsAre(index15));

  // 26 characters are still sent, cut to the 25 of id_towar.
  UseLayout("1.8.0");
  Send(records);
  EXPECT_THAT(Column("ID_TOWAR"),
              ElementsAre(index15, index16, index25, std::string(25, 'D')));
}

TEST_F(TTowaryTest, FileWithoutGoodsLeavesNoTable) {
  WriteBytes(TablePath(), "old");
  Send({{{"ID_RODZAJKART", "2"}}});
  EXPECT_FALSE(platform::FileExists(TablePath()));
}

// --- Values --------------------------------------------------------------

TEST_F(TTowaryTest, Layout170RecordTakesItsValuesFromTheirColumns) {
  UseLayout("1.7.0");
  Send({{{"INDEKS", "IDX-1"},
         {"NAZWADL", Cp1250(u8"Mąka pszenna^typ 450^").str()},
         {"NAZWASKR", "MAKA"},
         {"STAWKAVAT", "7%"},
         {"JM", "kg"},
         {"OPAK_ILOSCWOPAK", "12.3456"},
         {"CSP1_CENAN", "2.345"},
         {"CSP2_CENAN", "-2.345"},
         {"CSP3_CENAN", "3"},
         {"CSP4_CENAN", "4.1"},
         {"CSP5_CENAN", ""},
         {"PKWIU", "10.61.21"},
         {"GRUPAKART1_KODZL", "12-3-7"},
         {"GRUPAKART2_KODZL", " 7 "},
         {"STAN", "1.0005"},
         {"STAN_MIN", "1"},
         {"STAN_MAX", "2"},
         {"CSP1_MARZA", "15.555"},
         {"CECHA", "ab"}}});
  TDBF table;
  ASSERT_TRUE(table.Open(TablePath()));
  ASSERT_EQ(table.RecordCount(), 1);
  const TDBFRecord& r = *table.ReadRecord();
  EXPECT_EQ(r.GetString("ID_TOW"), "IDX-1");
  EXPECT_EQ(r.GetString("NAZWA"), Cp1250(u8"Mąka pszenna").str());
  EXPECT_EQ(r.GetString("SKROT"), "MAKA");
  EXPECT_EQ(r.GetString("VAT_GRUPA"), "1");
  EXPECT_EQ(r.GetString("JM"), "kg");
  EXPECT_EQ(r.GetString("SZT_OP"), "12.346");
  EXPECT_EQ(r.GetString("CENA_1"), "2.35");
  EXPECT_EQ(r.GetString("CENA_2"), "-2.35");
  EXPECT_EQ(r.GetString("CENA_3"), "3.00");
  EXPECT_EQ(r.GetString("CENA_4"), "4.10");
  EXPECT_EQ(r.GetString("CENA_5"), "0.00");
  EXPECT_EQ(r.GetString("CENA_MIN"), "0.00");
  EXPECT_EQ(r.GetString("ZM_CENY"), "");
  EXPECT_EQ(r.GetString("PKWIU"), "10.61.21");
  EXPECT_EQ(r.GetString("GRUPA_A"), "12");
  EXPECT_EQ(r.GetString("GRUPA_P"), "7");
  EXPECT_EQ(r.GetString("STAN"), "1.001");
  EXPECT_EQ(r.GetString("STAN_MIN"), "1.000");
  EXPECT_EQ(r.GetString("STAN_GRUPA"), "2");
  EXPECT_EQ(r.GetString("PROM_GRUPA"), "");
  EXPECT_EQ(r.GetString("PROM_RABAT"), "");
  EXPECT_EQ(r.GetString("PROM_MIN"), "");
  EXPECT_EQ(r.GetString("PROM_CYKL"), "F");
  EXPECT_EQ(r.GetString("ZMIEN_STAN"), "T");
  EXPECT_EQ(r.GetString("PROC_MARZ"), "15.56");
  EXPECT_EQ(r.GetString("STATUS"), "a");
}

TEST_F(TTowaryTest, Layout180RecordAddsItsOwnFields) {
  UseLayout("1.8.0");
  Send({{{"INDEKS", "IDX-2"},
         {"NAZWADL", "Name without caret"},
         {"NAZWASKR", "SHORT"},
         {"STAWKAVAT", "zw"},
         {"JM", "szt"},
         {"STAN", "12"},
         {"STAN_MIN", "2"},
         {"STAN_MAX", "10.0004"},
         {"OST_CENAZAK", "1.005"},
         {"EAN", "5901234123457"},
         {"UWAGI", "Uwagi^dwie linie"},
         {"ID_GRUPAKART1", "5"},
         {"ID_GRUPAKART2", "6"},
         {"GRUPAKART1_KODZL", "3"},
         {"GRUPAKART2_KODZL", "4-1"},
         {"CECHA", ""}}});
  TDBF table;
  ASSERT_TRUE(table.Open(TablePath()));
  ASSERT_EQ(table.RecordCount(), 1);
  const TDBFRecord& r = *table.ReadRecord();
  EXPECT_EQ(r.GetString("ID_TOWAR"), "IDX-2");
  EXPECT_EQ(r.GetString("NAZWA"), "Name without caret");
  EXPECT_EQ(r.GetString("SKROT"), "SHORT");
  EXPECT_EQ(r.GetString("VAT"), "3");
  EXPECT_EQ(r.GetString("JM"), "szt");
  EXPECT_EQ(r.GetString("ID_ASORT"), "3");
  EXPECT_EQ(r.GetString("ID_PROD"), "4");
  EXPECT_EQ(r.GetString("STAN"), "12.000");
  EXPECT_EQ(r.GetString("STAN_LOG"), "3");
  EXPECT_EQ(r.GetString("STAN_MAX"), "10.000");
  EXPECT_EQ(r.GetString("CENA_ZAK"), "1.01");
  EXPECT_EQ(r.GetString("EAN"), "5901234123457");
  EXPECT_EQ(r.GetString("UWAGI"), "Uwagi^dwie linie");
  EXPECT_EQ(r.GetString("STATUS"), "");
  // GRUPA_CEN_JAKO is 0: no price group.
  EXPECT_EQ(r.GetString("GRUPA_CEN"), "");
  EXPECT_EQ(r.GetString("CECHA1"), "");
  EXPECT_EQ(r.GetString("CECHA2"), "");
  EXPECT_EQ(r.GetString("BEZ_PROM"), "");
}

TEST_F(TTowaryTest, PriceGroupFollowsTheGroupChosenAtConstruction) {
  UseLayout("1.8.0");
  const TValues values = {{"ID_GRUPAKART1", "5"}, {"ID_GRUPAKART2", "6"}};
  Config().SetValue("GRUPA_CEN_JAKO", " 1 ");
  EXPECT_EQ(ValueOf("GRUPA_CEN", values), "5");
  Config().SetValue("GRUPA_CEN_JAKO", "2");
  EXPECT_EQ(ValueOf("GRUPA_CEN", values), "6");
  Config().SetValue("GRUPA_CEN_JAKO", "Grupa 1");
  EXPECT_EQ(ValueOf("GRUPA_CEN", values), "");

  // The mode is fixed for the job when the transfer is built.
  Config().SetValue("GRUPA_CEN_JAKO", "2");
  TTransTowary transfer(FNow, "kartoteka.txt", "towar.dbf");
  Config().SetValue("GRUPA_CEN_JAKO", "1");
  WriteExport("kartoteka.txt", KartotekaLine(values));
  transfer.Send();
  EXPECT_EQ(transfer.PriceGroupMode(), 2);
  EXPECT_THAT(Column("GRUPA_CEN"), ElementsAre("6"));
}

TEST_F(TTowaryTest, VatGroupComesFromTheRateText) {
  Send({{{"STAWKAVAT", " 8% "}},
        {{"STAWKAVAT", "7%"}},
        {{"STAWKAVAT", "0%"}},
        {{"STAWKAVAT", "zw"}},
        {{"STAWKAVAT", "3%"}},
        {{"STAWKAVAT", "17,5%"}},
        {{"STAWKAVAT", "20%"}},
        {{"STAWKAVAT", "22%"}},
        {{"STAWKAVAT", "23%"}},
        {{"STAWKAVAT", "8"}},
        {{"STAWKAVAT", ""}}});
  EXPECT_THAT(Column("VAT_GRUPA"), ElementsAre("1", "1", "2", "3", "4", "6",
                                               "6", "0", "0", "0", "0"));
}

TEST_F(TTowaryTest, FivePercentChangedGroupIn2011) {
  FSystem.System().Now = [] {
    return EncodeDateTime({2010, 12, 31, 23, 59, 59, 0});
  };
  EXPECT_EQ(ValueOf("VAT_GRUPA", {{"STAWKAVAT", "5%"}}), "5");
  FSystem.System().Now = [] { return EncodeDate(2011, 1, 1); };
  EXPECT_EQ(ValueOf("VAT_GRUPA", {{"STAWKAVAT", "5%"}}), "4");
}

TEST_F(TTowaryTest, MinimalPriceFollowsCenaMin) {
  const TValues prices = {{"CSP1_CENAN", "1.111"}, {"CSP2_CENAN", "2.225"},
                          {"CSP3_CENAN", "3.3"},   {"CSP4_CENAN", "4"},
                          {"CSP5_CENAN", "5.55"},  {"OST_CENAZAK", "0.994"}};
  const auto minimalWith = [&](std::string_view setting) {
    Config().SetValue("CENA_MIN", setting);
    return ValueOf("CENA_MIN", prices);
  };
  EXPECT_EQ(minimalWith("1"), "1.11");
  EXPECT_EQ(minimalWith("2"), "2.23");
  EXPECT_EQ(minimalWith("3"), "3.30");
  EXPECT_EQ(minimalWith(" 5 "), "5.55");
  EXPECT_EQ(minimalWith("z"), "0.99");
  EXPECT_EQ(minimalWith("Z"), "0.99");
  EXPECT_EQ(minimalWith(""), "0.00");
  EXPECT_EQ(minimalWith("0"), "0.00");
  EXPECT_EQ(minimalWith("6"), "0.00");
  EXPECT_EQ(minimalWith("X"), "0.00");
}

TEST_F(TTowaryTest, GroupNumbersAreTheLeadingPartOfTheCompoundCodes) {
  Send({{{"GRUPAKART1_KODZL", "12-3-7"}, {"GRUPAKART2_KODZL", "ABC"}},
        {{"GRUPAKART1_KODZL", ""}, {"GRUPAKART2_KODZL", " 7 -1"}},
        {{"GRUPAKART1_KODZL", "-5"}, {"GRUPAKART2_KODZL", "12A-1"}}});
  EXPECT_THAT(Column("GRUPA_A"), ElementsAre("12", "0", "0"));
  EXPECT_THAT(Column("GRUPA_P"), ElementsAre("0", "7", "0"));
}

TEST_F(TTowaryTest, StockLevelPlacesTheStockBetweenMinimumAndMaximum) {
  const auto stock = [](std::string s, std::string min, std::string max) {
    return TValues{{"STAN", s}, {"STAN_MIN", min}, {"STAN_MAX", max}};
  };
  const std::vector<TValues> records = {
      stock("5", "5", "10"),      stock("7", "5", "10"),
      stock("11", "5", "10"),     stock("0", "5", "10"),
      stock("100", "0", "0"),     stock("10", "5", "10"),
      stock("4.9999", "5", "10"), stock("10.0004", "5", "10"),
      stock("-3", "5", "10"),     stock("0.0004", "5", "10"),
      stock("3", "0", "2"),       stock("1", "0.0004", "0"),
  };
  // The old layout has no field for the maximum but still ranks by it.
  UseLayout("1.7.0");
  Send(records);
  const auto expected =
      ElementsAre("1", "2", "3", "0", "0", "2", "1", "2", "1", "0", "3", "0");
  EXPECT_THAT(Column("STAN_GRUPA"), expected);
  UseLayout("1.8.0");
  Send(records);
  EXPECT_THAT(Column("STAN_LOG"), expected);
}

TEST_F(TTowaryTest, EanReplacesTheShortNameWhenEanSkrotSaysSo) {
  const std::vector<TValues> records = {
      {{"NAZWASKR", "SHORT"}, {"EAN", " 5901234123457 "}},
      {{"NAZWASKR", "SHORT"}, {"EAN", ""}},
      {{"NAZWASKR", "SHORT"}, {"EAN", std::string(30, '9')}}};
  Config().SetValue("EAN_SKROT", "1");
  Send(records);
  EXPECT_THAT(Column("SKROT"),
              ElementsAre("5901234123457", "SHORT", std::string(25, '9')));
  Config().SetValue("EAN_SKROT", " t ");
  Send(records);
  EXPECT_THAT(Column("SKROT"),
              ElementsAre("5901234123457", "SHORT", std::string(25, '9')));
  Config().SetValue("EAN_SKROT", "0");
  Send(records);
  EXPECT_THAT(Column("SKROT"), ElementsAre("SHORT", "SHORT", "SHORT"));
}

}  // namespace
}  // namespace bridge::testing
