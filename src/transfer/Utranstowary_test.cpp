#include "transfer/Utranstowary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Cp1250.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;

// The 54 values of a kartoteka.txt line, in the host's order.
const std::vector<std::string> kColumns = {"ID_KARTOTEKA",
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
                                           "UWAGI"};

// A goods line unless the values say otherwise. Every value not given is a
// marker text, so a conversion that reads the wrong column shows.
TValues Goods(const TValues& values) {
  TValues line = {{"ID_RODZAJKART", "1"}, {"INDEKS", "T1"}};
  for (const std::string& column : kColumns) line.try_emplace(column, "x");
  return With(line, values);
}

class TTowaryTest : public TTransferTest {
 protected:
  std::vector<TValues> Send(const std::vector<TValues>& records) {
    std::vector<TValues> lines;
    for (const TValues& values : records) lines.push_back(Goods(values));
    return SendLines<TTransTowary>("kartoteka.txt", kColumns, lines,
                                   "towar.dbf");
  }
  void ExpectConverted(const std::vector<TValueCase>& cases) {
    ExpectCases(cases, [this](const auto& lines) { return Send(lines); });
  }
};

// --- Which records are sent --------------------------------------------------

TEST_F(TTowaryTest, OnlyGoodsAreSentInFileOrder) {
  EXPECT_THAT(Column(Send({{{"INDEKS", "A"}},
                           {{"INDEKS", "OPAK"}, {"ID_RODZAJKART", "2"}},
                           {{"INDEKS", "B"}, {"ID_RODZAJKART", " 1 "}},
                           {{"INDEKS", "C"}, {"ID_RODZAJKART", ""}}}),
                     "ID_TOW"),
              ElementsAre("A", "B"));
}

TEST_F(TTowaryTest, IndexLongerThanTheKeyFieldIsLeftOut) {
  std::vector<TValues> records;
  for (const std::size_t length : {15U, 16U, 25U, 26U, 27U}) {
    records.push_back({{"INDEKS", std::string(length, 'A')}});
  }
  UseLayout("1.7.0");
  EXPECT_THAT(Column(Send(records), "ID_TOW"),
              ElementsAre(std::string(15, 'A')));
  // 26 characters are still sent, cut to the 25 of id_towar.
  UseLayout("1.8.0");
  EXPECT_THAT(Column(Send(records), "ID_TOWAR"),
              ElementsAre(std::string(15, 'A'), std::string(16, 'A'),
                          std::string(25, 'A'), std::string(25, 'A')));
}

// --- Values --------------------------------------------------------------

TEST_F(TTowaryTest, Layout170RecordTakesItsValuesFromTheirColumns) {
  UseLayout("1.7.0");
  const std::vector<TValues> records =
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
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(
      records[0],
      (TValues{{"ID_TOW", "IDX-1"},    {"NAZWA", Cp1250(u8"Mąka pszenna")},
               {"SKROT", "MAKA"},      {"VAT_GRUPA", "1"},
               {"JM", "kg"},           {"SZT_OP", "12.346"},
               {"CENA_1", "2.35"},     {"CENA_2", "-2.35"},
               {"CENA_3", "3.00"},     {"CENA_4", "4.10"},
               {"CENA_5", "0.00"},     {"CENA_MIN", "0.00"},
               {"ZM_CENY", ""},        {"PKWIU", "10.61.21"},
               {"GRUPA_A", "12"},      {"GRUPA_P", "7"},
               {"STAN", "1.001"},      {"STAN_MIN", "1.000"},
               {"STAN_GRUPA", "2"},    {"PROM_GRUPA", ""},
               {"PROM_RABAT", ""},     {"PROM_MIN", ""},
               {"PROM_CYKL", "F"},     {"ZMIEN_STAN", "T"},
               {"PROC_MARZ", "15.56"}, {"STATUS", "a"}}));
}

TEST_F(TTowaryTest, Layout180RecordAddsItsOwnFields) {
  UseLayout("1.8.0");
  const std::vector<TValues> records = Send({{{"INDEKS", "IDX-2"},
                                              {"NAZWADL", "Name without caret"},
                                              {"NAZWASKR", "SHORT"},
                                              {"STAWKAVAT", "zw"},
                                              {"JM", "szt"},
                                              {"OPAK_ILOSCWOPAK", "6"},
                                              {"CSP1_CENAN", "1"},
                                              {"CSP2_CENAN", "2"},
                                              {"CSP3_CENAN", "3"},
                                              {"CSP4_CENAN", "4"},
                                              {"CSP5_CENAN", "5"},
                                              {"PKWIU", "10.51"},
                                              {"STAN", "12"},
                                              {"STAN_MIN", "2"},
                                              {"STAN_MAX", "10.0004"},
                                              {"CSP1_MARZA", "20"},
                                              {"OST_CENAZAK", "1.005"},
                                              {"EAN", "5901234123457"},
                                              {"UWAGI", "Uwagi^dwie linie"},
                                              {"ID_GRUPAKART1", "5"},
                                              {"ID_GRUPAKART2", "6"},
                                              {"GRUPAKART1_KODZL", "3"},
                                              {"GRUPAKART2_KODZL", "4-1"},
                                              {"CECHA", ""}}});
  ASSERT_EQ(records.size(), 1U);
  // GRUPA_CEN_JAKO is 0: no price group.
  EXPECT_EQ(records[0], (TValues{{"ID_TOWAR", "IDX-2"},
                                 {"NAZWA", "Name without caret"},
                                 {"SKROT", "SHORT"},
                                 {"VAT", "3"},
                                 {"JM", "szt"},
                                 {"SZT_OP", "6.000"},
                                 {"CENA_1", "1.00"},
                                 {"CENA_2", "2.00"},
                                 {"CENA_3", "3.00"},
                                 {"CENA_4", "4.00"},
                                 {"CENA_5", "5.00"},
                                 {"CENA_MIN", "0.00"},
                                 {"PKWIU", "10.51"},
                                 {"ID_ASORT", "3"},
                                 {"ID_PROD", "4"},
                                 {"STAN", "12.000"},
                                 {"STAN_MIN", "2.000"},
                                 {"STAN_LOG", "3"},
                                 {"PROC_MARZ", "20.00"},
                                 {"STATUS", ""},
                                 {"GRUPA_CEN", ""},
                                 {"CECHA1", ""},
                                 {"CECHA2", ""},
                                 {"UWAGI", "Uwagi^dwie linie"},
                                 {"CENA_ZAK", "1.01"},
                                 {"STAN_MAX", "10.000"},
                                 {"EAN", "5901234123457"},
                                 {"BEZ_PROM", ""}}));
}

TEST_F(TTowaryTest, EachValueIsConverted) {
  const auto stock = [](std::string s, std::string min, std::string max) {
    return TValues{{"STAN", s}, {"STAN_MIN", min}, {"STAN_MAX", max}};
  };
  const std::vector<std::pair<TValues, std::string>> stockLevels = {
      // 0 without a range or without stock, 1 at or below the minimum, 2 at
      // or below the maximum, 3 above it, all at three decimals.
      {stock("5", "5", "10"), "1"},      {stock("7", "5", "10"), "2"},
      {stock("11", "5", "10"), "3"},     {stock("0", "5", "10"), "0"},
      {stock("100", "0", "0"), "0"},     {stock("10", "5", "10"), "2"},
      {stock("4.9999", "5", "10"), "1"}, {stock("10.0004", "5", "10"), "2"},
      {stock("-3", "5", "10"), "1"},     {stock("0.0004", "5", "10"), "0"},
      {stock("3", "0", "2"), "3"},       {stock("1", "0.0004", "0"), "0"},
  };
  std::vector<TValueCase> cases = {
      // The device's VAT group of the host's rate text.
      {{{"STAWKAVAT", " 8% "}}, "VAT_GRUPA", "1"},
      {{{"STAWKAVAT", "7%"}}, "VAT_GRUPA", "1"},
      {{{"STAWKAVAT", "0%"}}, "VAT_GRUPA", "2"},
      {{{"STAWKAVAT", "zw"}}, "VAT_GRUPA", "3"},
      {{{"STAWKAVAT", "3%"}}, "VAT_GRUPA", "4"},
      {{{"STAWKAVAT", "17,5%"}}, "VAT_GRUPA", "6"},
      {{{"STAWKAVAT", "20%"}}, "VAT_GRUPA", "6"},
      {{{"STAWKAVAT", "22%"}}, "VAT_GRUPA", "0"},
      {{{"STAWKAVAT", "23%"}}, "VAT_GRUPA", "0"},
      {{{"STAWKAVAT", "8"}}, "VAT_GRUPA", "0"},
      {{{"STAWKAVAT", ""}}, "VAT_GRUPA", "0"},
      // Group numbers are the leading part of the compound codes.
      {{{"GRUPAKART1_KODZL", "12-3-7"}}, "GRUPA_A", "12"},
      {{{"GRUPAKART1_KODZL", ""}}, "GRUPA_A", "0"},
      {{{"GRUPAKART1_KODZL", "-5"}}, "GRUPA_A", "0"},
      {{{"GRUPAKART2_KODZL", "ABC"}}, "GRUPA_P", "0"},
      {{{"GRUPAKART2_KODZL", " 7 -1"}}, "GRUPA_P", "7"},
      {{{"GRUPAKART2_KODZL", "12A-1"}}, "GRUPA_P", "0"},
  };
  // The old layout has no field for the maximum but still ranks by it.
  for (const auto& [values, level] : stockLevels) {
    cases.push_back({values, "STAN_GRUPA", level});
  }
  UseLayout("1.7.0");
  ExpectConverted(cases);
  cases.clear();
  for (const auto& [values, level] : stockLevels) {
    cases.push_back({values, "STAN_LOG", level});
  }
  UseLayout("1.8.0");
  ExpectConverted(cases);
}

// --- Values that device parameters steer -------------------------------------

TEST_F(TTowaryTest, PriceGroupFollowsTheGroupChosenAtConstruction) {
  UseLayout("1.8.0");
  const TValues values = {{"ID_GRUPAKART1", "5"}, {"ID_GRUPAKART2", "6"}};
  ExpectForParameter("GRUPA_CEN_JAKO", "GRUPA_CEN",
                     {{" 1 ", "5"}, {"2", "6"}, {"Grupa 1", ""}},
                     [&] { return Send({values}); });
  // The mode is fixed for the job when the transfer is built.
  Config().SetValue("GRUPA_CEN_JAKO", "2");
  TTransTowary transfer(FNow, "kartoteka.txt", "towar.dbf");
  Config().SetValue("GRUPA_CEN_JAKO", "1");
  WriteExport("kartoteka.txt", kColumns, {Goods(values)});
  transfer.Send();
  EXPECT_EQ(transfer.PriceGroupMode(), 2);
  EXPECT_THAT(Column(ReadTable(DownloadPath("towar.dbf")), "GRUPA_CEN"),
              ElementsAre("6"));
}

TEST_F(TTowaryTest, MinimalPriceFollowsCenaMin) {
  const TValues prices = {{"CSP1_CENAN", "1.111"}, {"CSP2_CENAN", "2.225"},
                          {"CSP3_CENAN", "3.3"},   {"CSP4_CENAN", "4"},
                          {"CSP5_CENAN", "5.55"},  {"OST_CENAZAK", "0.994"}};
  ExpectForParameter("CENA_MIN", "CENA_MIN",
                     {{"1", "1.11"},
                      {"2", "2.23"},
                      {"3", "3.30"},
                      {" 5 ", "5.55"},
                      {"z", "0.99"},
                      {"Z", "0.99"},
                      {"", "0.00"},
                      {"0", "0.00"},
                      {"6", "0.00"},
                      {"X", "0.00"}},
                     [&] { return Send({prices}); });
}

TEST_F(TTowaryTest, EanReplacesTheShortNameWhenEanSkrotSaysSo) {
  const std::vector<TValues> records = {
      {{"NAZWASKR", "SHORT"}, {"EAN", " 5901234123457 "}},
      {{"NAZWASKR", "SHORT"}, {"EAN", ""}},
      {{"NAZWASKR", "SHORT"}, {"EAN", std::string(30, '9')}}};
  for (const std::string_view yes : {"1", " t "}) {
    Config().SetValue("EAN_SKROT", yes);
    EXPECT_THAT(Column(Send(records), "SKROT"),
                ElementsAre("5901234123457", "SHORT", std::string(25, '9')));
  }
  Config().SetValue("EAN_SKROT", "0");
  EXPECT_THAT(Column(Send(records), "SKROT"),
              ElementsAre("SHORT", "SHORT", "SHORT"));
}

TEST_F(TTowaryTest, FivePercentChangedGroupIn2011) {
  FSystem.System().Now = [] {
    return EncodeDateTime({2010, 12, 31, 23, 59, 59, 0});
  };
  ExpectConverted({{{{"STAWKAVAT", "5%"}}, "VAT_GRUPA", "5"}});
  FSystem.System().Now = [] { return EncodeDate(2011, 1, 1); };
  ExpectConverted({{{{"STAWKAVAT", "5%"}}, "VAT_GRUPA", "4"}});
}

}  // namespace
}  // namespace bridge::testing
