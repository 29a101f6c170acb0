#include "transfer/Utransinfo.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Cp1250.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

// The values of a konfiguracja.txt line, in the host's order.
const std::vector<std::string> kColumns = {
    "ID_AKWIZYTOR", "AKWIZYTOR",       "NRAKWIZYTOR", "KODURZ", "NAZFAFIRMY1",
    "NAZFAFIRMY2",  "MIEJSCOWOSC",     "KODPOCZTOWY", "POCZTA", "ULICA",
    "NRDOMU",       "NRLOKALU",        "NIP",         "REGON",  "NRODDZIAL",
    "OZNNRWYDRMS",  "OZNNRWYDR_AKWIZ", "TELEFON"};

// A host line, each value different from the others.
TValues Host(const TValues& changes = {}) {
  return With({{"ID_AKWIZYTOR", "5"},
               {"AKWIZYTOR", "Kowalski Jan Maria"},
               {"NRAKWIZYTOR", "3"},
               {"KODURZ", "PDA1"},
               {"NAZFAFIRMY1", "Hurtownia Alfa"},
               {"NAZFAFIRMY2", "Sp. z o.o."},
               {"MIEJSCOWOSC", "Wolka"},
               {"KODPOCZTOWY", "20-001"},
               {"POCZTA", "Lublin"},
               {"ULICA", "Lesna"},
               {"NRDOMU", "7"},
               {"NRLOKALU", "2"},
               {"NIP", "712-000-11-22"},
               {"REGON", "430000000"},
               {"NRODDZIAL", " 012"},
               {"OZNNRWYDRMS", "MS1"},
               {"OZNNRWYDR_AKWIZ", "AK7"},
               {"TELEFON", "81 000 00 00"}},
              changes);
}

// What that line gives in either layout.
TValues FromHost() {
  return {{"AKW_IMIE", "Jan Maria"},
          {"AKW_NAZW", "Kowalski"},
          {"ID_AKW", "AK7"},
          {"ID_VAN", "7"},
          {"SPRZ_N1", "Hurtownia Alfa"},
          {"SPRZ_N2", "Sp. z o.o."},
          {"SPRZ_A1", "Wolka, Lesna 7/2"},
          {"SPRZ_A2", "20-001 Lublin"},
          {"SPRZ_NIP", "712-000-11-22"},
          {"SPRZ_REGON", "430000000"}};
}

class TTransInfoTest : public TTransferTest {
 protected:
  std::vector<TValues> Send(const std::vector<TValues>& lines) {
    return SendLines<TTransInfo>("konfiguracja.txt", kColumns, lines,
                                 "info.dbf");
  }
  // The record of the one host line.
  TValues SendOne(const TValues& line = Host()) {
    const std::vector<TValues> records = Send({line});
    EXPECT_EQ(records.size(), 1U);
    return records.empty() ? TValues{} : records.front();
  }
  void SetParameters(const TValues& values) {
    for (const auto& [key, value] : values) Config().SetValue(key, value);
  }
  void WriteTwoAccounts() {
    WriteExport("bank.txt",
                "PKO\tBank Alfa\t1\tBiezace\t10 1111 1111\r\n"
                "PEKAO\tBank Beta\t2\tPomocnicze\t20 2222 2222\r\n");
  }
};

// Each field named holds its value, and every other field is blank.
void ExpectOnly(const TValues& record, const TValues& written) {
  for (const auto& [field, value] : record) {
    const auto found = written.find(field);
    EXPECT_EQ(value, found == written.end() ? "" : found->second) << field;
  }
  for (const auto& [field, value] : written) {
    EXPECT_TRUE(record.contains(field)) << "no field " << field;
  }
}

// --- Whole records ----------------------------------------------------------

TEST_F(TTransInfoTest, Layout170RecordHoldsEveryConvertedValue) {
  SetParameters({{"NR_FK", "101"},
                 {"NR_PA", " 102 "},
                 {"NR_DD", "103"},
                 {"NR_ZA", "104"},
                 {"NR_KP", "x"},
                 {"NR_PZ", "201"},
                 {"RABAT_TOW", "2.5"},
                 {"SPRZ_MINUS", "y"},
                 {"WZOR_NUM", "FK/%N"},
                 {"SPRZ_INFO", "Tel. 81 000"},
                 {"NR_KONTA", "2"}});
  WriteTwoAccounts();
  // Fields the layout leaves unwritten stay blank, whatever the parameters
  // of the same name hold (NR_PZ).
  ExpectOnly(SendOne(), With(FromHost(), {{"NR_FK", "101"},
                                          {"NR_PA", "102"},
                                          {"NR_DD", "103"},
                                          {"NR_ZA", "104"},
                                          {"NR_KP", "0"},
                                          {"SPRZ_BANK", "Bank Beta"},
                                          {"SPRZ_KONTO", "20 2222 2222"},
                                          {"ID_ODDZ", "12"},
                                          {"RABAT_TOW", "2.50"},
                                          {"SPRZ_MINUS", "T"},
                                          {"WZOR_NUM", "FK/%N"},
                                          {"ZMIEN_NUM", "F"},
                                          {"SPRZ_INFO", "Tel. 81 000"}}));
}

TEST_F(TTransInfoTest, Layout180RecordHoldsEveryConvertedValue) {
  UseLayout("1.8.0");
  FSystem.System().Arguments = {"RW:I", "KU:7"};
  TValues written = With(FromHost(), {{"SPRZ_BANK", "Bank Alfa"},
                                      {"SPRZ_KONTO", "10 1111 1111"},
                                      {"ZMIEN_NUM", "T"}});
  // Parameter value and what the table holds of it.
  const std::map<std::string, std::pair<std::string, std::string>> params = {
      {"NR_FK", {"101", "101"}},
      {"NR_PA", {"102", "102"}},
      {"NR_DD", {"103", "103"}},
      {"NR_ZA", {"104", "104"}},
      {"NR_KP", {"105", "105"}},
      {"NR_PZ", {"201", "201"}},
      {"NR_ZW", {"202", "202"}},
      {"NR_KW", {" 203", "203"}},
      {"SPRZ_INFO", {"Tel. 81 000", "Tel. 81 000"}},
      {"SPRZ_STOPA", {"Dziekujemy", "Dziekujemy"}},
      {"RABAT_TOW", {"2.5", "2.50"}},
      {"WZOR_NUM", {"FK/%N", "FK/%N"}},
      {"VANSELLING", {"2", "2"}},
      {"DOK_LIMIT", {"PA;DD", "PA;DD"}},
      {"MARZA", {"1", "1"}},
      {"CENA", {"3", "3"}},
      {"MAX_ILOSC", {"12.5", "12.500"}},
      {"MAX_POZ", {"25.6", "26"}},
      {"FILTR_TOW", {"A", "A"}},
      {"AUTO_KP", {"N", "N"}},
      {"SPRZ_ID", {"K-100", "K-100"}},
      {"ILE_FIRM", {" 4 ", "4"}}};
  for (const auto& [key, value] : params) {
    Config().SetValue(key, value.first);
    written[key] = value.second;
  }
  // Every other logical field of the table is the flag parameter of its
  // name; neighbours alternate so that two swapped rows show.
  const std::array<std::string_view, 3> yes = {"1", "t", "Y"};
  const std::array<std::string_view, 3> no = {"0", "N", ""};
  std::size_t flag = 0;
  for (const auto& [field, value] : SendOne()) {
    if (value != "T" && value != "F") continue;
    if (written.contains(field)) continue;
    const bool on = flag % 2 == 0;
    Config().SetValue(field, on ? yes[flag % 3] : no[flag % 3]);
    written[field] = on ? "T" : "F";
    ++flag;
  }
  EXPECT_EQ(flag, 41U);
  Config().SetValue("NR_KONTA", "1");
  WriteTwoAccounts();
  // In this layout every field is written.
  EXPECT_EQ(SendOne(), written);
}

TEST_F(TTransInfoTest, EachHostRecordGivesOneRecordOfItsOwnValues) {
  ExpectCases(
      {
          // The surname comes first; without a blank the whole text is the
          // first name.
          {Host(), "AKW_NAZW", "Kowalski"},
          {Host(), "AKW_IMIE", "Jan Maria"},
          {Host({{"AKWIZYTOR", "Kowalski"}}), "AKW_NAZW", ""},
          {Host({{"AKWIZYTOR", "Kowalski"}}), "AKW_IMIE", "Kowalski"},
          // The town is named only when the post office differs.
          {Host({{"MIEJSCOWOSC", Cp1250(u8"Wólka")},
                 {"ULICA", Cp1250(u8"Leśna")}}),
           "SPRZ_A1", Cp1250(u8"Wólka, Leśna 7/2").str()},
          {Host({{"MIEJSCOWOSC", Cp1250(u8"Wólka")},
                 {"ULICA", Cp1250(u8"Leśna")},
                 {"POCZTA", Cp1250(u8"Wólka")}}),
           "SPRZ_A1", Cp1250(u8"Leśna 7/2").str()},
          {Host({{"POCZTA", Cp1250(u8"Wólka")}}), "SPRZ_A2",
           Cp1250(u8"20-001 Wólka").str()},
          // Without a street the town alone, without a post office the
          // code alone.
          {Host({{"ULICA", ""}}), "SPRZ_A1", "Wolka 7/2"},
          {Host({{"POCZTA", ""}}), "SPRZ_A2", "20-001"},
          {Host({{"NRODDZIAL", "abc"}}), "ID_ODDZ", "0"},
      },
      [this](const auto& lines) { return Send(lines); });
}

// --- Bank account, device, parameters ---------------------------------------

TEST_F(TTransInfoTest, AccountIsLookedUpByTheRecordsDecimalNumber) {
  const std::string twoAccounts =
      "PKO\tBank Alfa\t1\tBiezace\t10 1111 1111\r\n"
      "PEKAO\tBank Beta\t2\tPomocnicze\t20 2222 2222\r\n";
  // NR_KONTA, bank.txt (none when empty), and the bank and account written.
  for (const auto& [key, bank, name, account] : std::vector<
           std::tuple<std::string, std::string, std::string, std::string>>{
           {"2", twoAccounts, "Bank Beta", "20 2222 2222"},
           {"02", twoAccounts, "", "02"},
           {" 12 3456 7890 ", "", "", "12 3456 7890"},
           // A matched account without a number keeps its bank and takes
           // the key.
           {"2", "PEKAO\tBank Beta\t2\tPomocnicze\t \r\n", "Bank Beta", "2"}}) {
    Config().SetValue("NR_KONTA", key);
    if (bank.empty()) {
      ASSERT_TRUE(platform::RemoveFile(Join(ExportDir(), "bank.txt")));
    } else {
      WriteExport("bank.txt", bank);
    }
    const TValues record = SendOne();
    EXPECT_EQ(record.at("SPRZ_BANK"), name) << key;
    EXPECT_EQ(record.at("SPRZ_KONTO"), account) << key;
  }
}

TEST_F(TTransInfoTest, DeviceIdIsTheFirstFourCharactersOfTheDeviceName) {
  TScopedConfigFile device("ABCDEF");
  device.Get().SetValue("KATALOG", FData.Str());
  EXPECT_EQ(SendOne().at("ID_VAN"), "ABCD");
}

TEST_F(TTransInfoTest, FlagParameterIsTrueForOneTOrY) {
  UseLayout("1.8.0");
  ExpectForParameter("BLOK_KP", "BLOK_KP",
                     {{"t", "T"},
                      {"Y", "T"},
                      {"1", "T"},
                      {"0", "F"},
                      {"N", "F"},
                      {"", "F"},
                      {" 1", "F"}},
                     [this] { return Send({Host()}); });
}

TEST_F(TTransInfoTest, DiscountReadsPointAndSystemSeparator) {
  for (const auto& [separator, value, expected] :
       std::vector<std::tuple<char, std::string, std::string>>{
           {',', "2.5", "2.50"}, {',', "2,5", "2.50"}, {'.', "2,5", "0.00"}}) {
    FSystem.System().DecimalSeparator = separator;
    Config().SetValue("RABAT_TOW", value);
    EXPECT_EQ(SendOne().at("RABAT_TOW"), expected)
        << value << " with " << separator;
  }
}

}  // namespace
}  // namespace bridge::testing
