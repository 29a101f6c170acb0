#include "transfer/Utransinfo.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Cp1250.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

struct TFieldSpec {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
};

// info.dbf as the device reads it, layout "1.7.0".
constexpr std::array<TFieldSpec, 37> kInfo170 = {{
    {"AKW_IMIE", 'C', 20, 0},  {"AKW_NAZW", 'C', 20, 0},
    {"ID_AKW", 'C', 4, 0},     {"ID_VAN", 'C', 4, 0},
    {"NR_FK", 'N', 9, 0},      {"NR_PA", 'N', 9, 0},
    {"NR_DD", 'N', 9, 0},      {"NR_PZ", 'N', 9, 0},
    {"NR_WZ", 'N', 9, 0},      {"NR_PZP", 'N', 9, 0},
    {"NR_ZA", 'N', 9, 0},      {"NR_MM", 'N', 9, 0},
    {"NR_KP", 'N', 9, 0},      {"NR_NO", 'N', 9, 0},
    {"NR_NU", 'N', 9, 0},      {"NR_FD", 'N', 9, 0},
    {"SPRZ_N1", 'C', 50, 0},   {"SPRZ_N2", 'C', 50, 0},
    {"SPRZ_A1", 'C', 50, 0},   {"SPRZ_A2", 'C', 50, 0},
    {"SPRZ_NIP", 'C', 13, 0},  {"SPRZ_REGON", 'C', 11, 0},
    {"SPRZ_BANK", 'C', 60, 0}, {"SPRZ_KONTO", 'C', 60, 0},
    {"ID_ODDZ", 'C', 4, 0},    {"ODDZIAL", 'C', 40, 0},
    {"ADRESODDZ", 'C', 50, 0}, {"LOGO", 'C', 11, 0},
    {"RABAT_GOT", 'N', 5, 2},  {"RABAT_TOW", 'N', 5, 2},
    {"SPRZ_MINUS", 'L', 1, 0}, {"RABAT_AKW", 'L', 1, 0},
    {"WZOR_NUM", 'C', 20, 0},  {"MAG_S_ZERO", 'L', 1, 0},
    {"COMMS_PWD", 'L', 1, 0},  {"ZMIEN_NUM", 'L', 1, 0},
    {"SPRZ_INFO", 'C', 50, 0},
}};

// Layout "1.8.0".
constexpr std::array<TFieldSpec, 76> kInfo180 = {{
    {"AKW_IMIE", 'C', 20, 0},   {"AKW_NAZW", 'C', 20, 0},
    {"ID_AKW", 'C', 4, 0},      {"ID_VAN", 'C', 4, 0},
    {"NR_FK", 'N', 9, 0},       {"NR_PA", 'N', 9, 0},
    {"NR_DD", 'N', 9, 0},       {"NR_ZA", 'N', 9, 0},
    {"NR_KP", 'N', 9, 0},       {"SPRZ_N1", 'C', 70, 0},
    {"SPRZ_N2", 'C', 70, 0},    {"SPRZ_A1", 'C', 70, 0},
    {"SPRZ_A2", 'C', 70, 0},    {"SPRZ_NIP", 'C', 16, 0},
    {"SPRZ_REGON", 'C', 11, 0}, {"SPRZ_BANK", 'C', 70, 0},
    {"SPRZ_KONTO", 'C', 70, 0}, {"SPRZ_INFO", 'C', 70, 0},
    {"SPRZ_STOPA", 'C', 70, 0}, {"RABAT_TOW", 'N', 5, 2},
    {"SPRZ_MINUS", 'L', 1, 0},  {"WZOR_NUM", 'C', 20, 0},
    {"ZMIEN_NUM", 'L', 1, 0},   {"LICZNIK", 'L', 1, 0},
    {"VANSELLING", 'N', 1, 0},  {"VANSEL_ZAM", 'L', 1, 0},
    {"BLOK_V_FK", 'L', 1, 0},   {"BLOK_V_PA", 'L', 1, 0},
    {"BLOK_V_DD", 'L', 1, 0},   {"BLOK_V_ZW", 'L', 1, 0},
    {"BLOK_V_PZ", 'L', 1, 0},   {"BLOK_P_FK", 'L', 1, 0},
    {"BLOK_P_PA", 'L', 1, 0},   {"BLOK_P_DD", 'L', 1, 0},
    {"BLOK_KP", 'L', 1, 0},     {"BLOK_KW", 'L', 1, 0},
    {"BLOK_ROZL", 'L', 1, 0},   {"DOK_LIMIT", 'C', 6, 0},
    {"BRAK_LIMIT", 'L', 1, 0},  {"UKRYJ_MARZ", 'L', 1, 0},
    {"MARZA", 'N', 1, 0},       {"CENA", 'N', 1, 0},
    {"MAX_ILOSC", 'N', 10, 3},  {"MAX_POZ", 'N', 4, 0},
    {"RABAT_WART", 'L', 1, 0},  {"FILTR_TOW", 'C', 1, 0},
    {"AUTO_KP", 'C', 1, 0},     {"POP_DOK", 'L', 1, 0},
    {"POP_DR_DOK", 'L', 1, 0},  {"KAS_DOK", 'L', 1, 0},
    {"KAS_DR_DOK", 'L', 1, 0},  {"KAS_DOKK", 'L', 1, 0},
    {"BRUTTO", 'L', 1, 0},      {"V_FK_BRUT", 'L', 1, 0},
    {"V_PA_BRUT", 'L', 1, 0},   {"V_DD_BRUT", 'L', 1, 0},
    {"V_ZW_BRUT", 'L', 1, 0},   {"V_PZ_BRUT", 'L', 1, 0},
    {"P_FK_BRUT", 'L', 1, 0},   {"P_PA_BRUT", 'L', 1, 0},
    {"P_DD_BRUT", 'L', 1, 0},   {"STAN_LOG", 'L', 1, 0},
    {"NUM_DRUK", 'L', 1, 0},    {"NR_PZ", 'N', 9, 0},
    {"NR_ZW", 'N', 9, 0},       {"NR_KW", 'N', 9, 0},
    {"FISK_NAZWA", 'L', 1, 0},  {"SPRZ_ID", 'C', 15, 0},
    {"WIZYTY", 'L', 1, 0},      {"BLOK_INFO", 'L', 1, 0},
    {"BLOK_NPKP", 'L', 1, 0},   {"BLOK_NPKW", 'L', 1, 0},
    {"ILE_FIRM", 'N', 4, 0},    {"WYMUS_ROZL", 'L', 1, 0},
    {"SF_PZ", 'L', 1, 0},       {"SF_ZW", 'L', 1, 0},
}};

// The values of a konfiguracja.txt line, in the host's order.
constexpr std::array<std::string_view, 18> kHostFields = {
    "ID_AKWIZYTOR", "AKWIZYTOR",       "NRAKWIZYTOR", "KODURZ", "NAZFAFIRMY1",
    "NAZFAFIRMY2",  "MIEJSCOWOSC",     "KODPOCZTOWY", "POCZTA", "ULICA",
    "NRDOMU",       "NRLOKALU",        "NIP",         "REGON",  "NRODDZIAL",
    "OZNNRWYDRMS",  "OZNNRWYDR_AKWIZ", "TELEFON"};

using TValues = std::map<std::string, std::string, std::less<>>;

TValues SampleHost() {
  return {{"ID_AKWIZYTOR", "5"},
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
          {"TELEFON", "81 000 00 00"}};
}

std::string HostLine(const TValues& values) {
  std::string line;
  for (const std::string_view name : kHostFields) {
    if (!line.empty()) line += '\t';
    const auto found = values.find(name);
    if (found != values.end()) line += found->second;
  }
  return line + "\r\n";
}

std::string Descriptors(std::span<const TFieldSpec> fields) {
  std::string bytes;
  for (const TFieldSpec& field : fields) {
    std::string descriptor(32, '\0');
    descriptor.replace(0, field.Name.size(), field.Name);
    descriptor[11] = field.Type;
    descriptor[16] = static_cast<char>(field.Length);
    descriptor[17] = static_cast<char>(field.Decimals);
    bytes += descriptor;
  }
  return bytes;
}

int RecordLength(std::span<const TFieldSpec> fields) {
  int length = 1;
  for (const TFieldSpec& field : fields) length += field.Length;
  return length;
}

// One record as stored: numbers from the right, everything else from the
// left, a field without a value all blanks.
std::string StoredRecord(std::span<const TFieldSpec> fields,
                         const TValues& stored) {
  std::string bytes = " ";
  for (const TFieldSpec& field : fields) {
    const auto found = stored.find(field.Name);
    const std::string text = found == stored.end() ? "" : found->second;
    const std::string pad(static_cast<std::size_t>(field.Length) - text.size(),
                          ' ');
    bytes += field.Type == 'N' ? pad + text : text + pad;
  }
  return bytes;
}

// The bytes of record `index` of a table laid out as `fields`.
std::string RecordBytes(const std::string& path,
                        std::span<const TFieldSpec> fields, int index) {
  const std::string bytes = ReadBytes(path);
  const auto length = static_cast<std::size_t>(RecordLength(fields));
  const std::size_t start =
      32 + 32 * fields.size() + 1 + length * static_cast<std::size_t>(index);
  return start + length <= bytes.size() ? bytes.substr(start, length) : "";
}

// Every record of a table, each as the texts of its fields by name.
std::vector<TValues> ReadTable(const std::string& path) {
  std::vector<TValues> rows;
  TDBF table;
  EXPECT_TRUE(table.Open(path));
  for (table.First(); !table.Eof(); table.Next()) {
    const TDBFRecord* record = table.ReadRecord();
    if (record == nullptr) break;
    TValues& row = rows.emplace_back();
    for (const auto& field : table.Fields()) {
      row[field->Name()] = record->GetString(*field);
    }
  }
  return rows;
}

class TTransInfoTest : public TTransferTest {
 protected:
  void Send() {
    TTransInfo info(FNow, "konfiguracja.txt", "info.dbf");
    info.Send();
  }
  void WriteBank(std::string_view bytes) { WriteExport("bank.txt", bytes); }
  void WriteTwoAccounts() {
    WriteBank(
        "PKO\tBank Alfa\t1\tBiezace\t10 1111 1111\r\n"
        "PEKAO\tBank Beta\t2\tPomocnicze\t20 2222 2222\r\n");
  }
  std::string InfoPath() { return DownloadPath("info.dbf"); }
};

// --- Declared fields --------------------------------------------------------

TEST_F(TTransInfoTest, Layout170HeaderDeclaresFieldsByteForByte) {
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();
  const std::string bytes = ReadBytes(InfoPath());
  const std::string descriptors = Descriptors(kInfo170);
  ASSERT_GE(bytes.size(), 33 + descriptors.size());
  EXPECT_EQ(
      std::size_t{ReadU16LE(reinterpret_cast<const unsigned char*>(&bytes[8]))},
      32 + descriptors.size() + 1);
  EXPECT_EQ(ReadU16LE(reinterpret_cast<const unsigned char*>(&bytes[10])),
            RecordLength(kInfo170));
  EXPECT_TRUE(SameBytes(bytes.substr(32, descriptors.size() + 1),
                        descriptors + "\x0D"));
}

TEST_F(TTransInfoTest, Layout180HeaderDeclaresFieldsByteForByte) {
  Config().SetValue("WERSJA", "1.8.0");
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();
  const std::string bytes = ReadBytes(InfoPath());
  const std::string descriptors = Descriptors(kInfo180);
  ASSERT_GE(bytes.size(), 33 + descriptors.size());
  EXPECT_EQ(
      std::size_t{ReadU16LE(reinterpret_cast<const unsigned char*>(&bytes[8]))},
      32 + descriptors.size() + 1);
  EXPECT_EQ(ReadU16LE(reinterpret_cast<const unsigned char*>(&bytes[10])),
            RecordLength(kInfo180));
  EXPECT_TRUE(SameBytes(bytes.substr(32, descriptors.size() + 1),
                        descriptors + "\x0D"));
}

// --- Whole records ----------------------------------------------------------

TEST_F(TTransInfoTest, Layout170RecordHoldsEveryConvertedValue) {
  for (const auto& [key, value] : TValues{{"NR_FK", "101"},
                                          {"NR_PA", " 102 "},
                                          {"NR_DD", "103"},
                                          {"NR_ZA", "104"},
                                          {"NR_KP", "x"},
                                          {"NR_PZ", "201"},
                                          {"RABAT_TOW", "2.5"},
                                          {"SPRZ_MINUS", "y"},
                                          {"WZOR_NUM", "FK/%N"},
                                          {"SPRZ_INFO", "Tel. 81 000"},
                                          {"NR_KONTA", "2"}}) {
    Config().SetValue(key, value);
  }
  WriteTwoAccounts();
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  // Fields the layout leaves unwritten stay blank, whatever the parameters
  // of the same name hold (NR_PZ).
  EXPECT_TRUE(
      SameBytes(RecordBytes(InfoPath(), kInfo170, 0),
                StoredRecord(kInfo170, {
                                           {"AKW_IMIE", "Jan Maria"},
                                           {"AKW_NAZW", "Kowalski"},
                                           {"ID_AKW", "AK7"},
                                           {"ID_VAN", "7"},
                                           {"NR_FK", "101"},
                                           {"NR_PA", "102"},
                                           {"NR_DD", "103"},
                                           {"NR_ZA", "104"},
                                           {"NR_KP", "0"},
                                           {"SPRZ_N1", "Hurtownia Alfa"},
                                           {"SPRZ_N2", "Sp. z o.o."},
                                           {"SPRZ_A1", "Wolka, Lesna 7/2"},
                                           {"SPRZ_A2", "20-001 Lublin"},
                                           {"SPRZ_NIP", "712-000-11-22"},
                                           {"SPRZ_REGON", "430000000"},
                                           {"SPRZ_BANK", "Bank Beta"},
                                           {"SPRZ_KONTO", "20 2222 2222"},
                                           {"ID_ODDZ", "12"},
                                           {"RABAT_TOW", "2.50"},
                                           {"SPRZ_MINUS", "T"},
                                           {"WZOR_NUM", "FK/%N"},
                                           {"ZMIEN_NUM", "F"},
                                           {"SPRZ_INFO", "Tel. 81 000"},
                                       })));
}

TEST_F(TTransInfoTest, Layout180RecordHoldsEveryConvertedValue) {
  Config().SetValue("WERSJA", "1.8.0");
  FSystem.System().Arguments = {"RW:I", "KU:7"};
  TValues stored = {{"AKW_IMIE", "Jan Maria"},
                    {"AKW_NAZW", "Kowalski"},
                    {"ID_AKW", "AK7"},
                    {"ID_VAN", "7"},
                    {"SPRZ_N1", "Hurtownia Alfa"},
                    {"SPRZ_N2", "Sp. z o.o."},
                    {"SPRZ_A1", "Wolka, Lesna 7/2"},
                    {"SPRZ_A2", "20-001 Lublin"},
                    {"SPRZ_NIP", "712-000-11-22"},
                    {"SPRZ_REGON", "430000000"},
                    {"SPRZ_BANK", "Bank Alfa"},
                    {"SPRZ_KONTO", "10 1111 1111"},
                    {"ZMIEN_NUM", "T"}};
  // Parameter value and what the table stores of it.
  const std::map<std::string_view, std::pair<std::string, std::string>> params =
      {{"NR_FK", {"101", "101"}},
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
    stored[std::string(key)] = value.second;
  }
  // Every other logical field is the flag parameter of its name; neighbours
  // alternate so that two swapped rows show.
  const std::array<std::string_view, 3> yes = {"1", "t", "Y"};
  const std::array<std::string_view, 3> no = {"0", "N", ""};
  std::size_t flag = 0;
  for (const TFieldSpec& field : kInfo180) {
    if (field.Type != 'L' || field.Name == "ZMIEN_NUM") continue;
    const bool on = flag % 2 == 0;
    Config().SetValue(field.Name, on ? yes[flag % 3] : no[flag % 3]);
    stored[std::string(field.Name)] = on ? "T" : "F";
    ++flag;
  }
  Config().SetValue("NR_KONTA", "1");
  WriteTwoAccounts();
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  EXPECT_TRUE(SameBytes(RecordBytes(InfoPath(), kInfo180, 0),
                        StoredRecord(kInfo180, stored)));
}

TEST_F(TTransInfoTest, EachHostRecordGivesOneRecordInOrder) {
  TValues second = SampleHost();
  second["AKWIZYTOR"] = "Kowalski";
  second["ULICA"] = "";
  second["POCZTA"] = "";
  second["NRODDZIAL"] = "abc";
  WriteExport("konfiguracja.txt", HostLine(SampleHost()) + HostLine(second));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].at("AKW_NAZW"), "Kowalski");
  EXPECT_EQ(rows[0].at("AKW_IMIE"), "Jan Maria");
  // Without a blank the whole text is the first name.
  EXPECT_EQ(rows[1].at("AKW_NAZW"), "");
  EXPECT_EQ(rows[1].at("AKW_IMIE"), "Kowalski");
  // Without a street the town alone, without a post office the code alone.
  EXPECT_EQ(rows[1].at("SPRZ_A1"), "Wolka 7/2");
  EXPECT_EQ(rows[1].at("SPRZ_A2"), "20-001");
  EXPECT_EQ(rows[1].at("ID_ODDZ"), "0");
}

TEST_F(TTransInfoTest, MissingOrEmptyHostFileLeavesNoTable) {
  Send();
  EXPECT_FALSE(platform::FileExists(InfoPath()));
  WriteExport("konfiguracja.txt", "");
  Send();
  EXPECT_FALSE(platform::FileExists(InfoPath()));
}

// --- Address ----------------------------------------------------------------

TEST_F(TTransInfoTest, AddressNamesTheTownOnlyWhenThePostOfficeDiffers) {
  TValues host = SampleHost();
  host["MIEJSCOWOSC"] = Cp1250(u8"Wólka");
  host["ULICA"] = Cp1250(u8"Leśna");
  TValues sameTown = host;
  sameTown["POCZTA"] = Cp1250(u8"Wólka");
  WriteExport("konfiguracja.txt", HostLine(host) + HostLine(sameTown));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].at("SPRZ_A1"), Cp1250(u8"Wólka, Leśna 7/2").str());
  EXPECT_EQ(rows[0].at("SPRZ_A2"), "20-001 Lublin");
  EXPECT_EQ(rows[1].at("SPRZ_A1"), Cp1250(u8"Leśna 7/2").str());
  EXPECT_EQ(rows[1].at("SPRZ_A2"), Cp1250(u8"20-001 Wólka").str());
}

// --- Bank account -----------------------------------------------------------

TEST_F(TTransInfoTest, AccountKeyIsComparedAsTheRecordsDecimalNumber) {
  Config().SetValue("NR_KONTA", "02");
  WriteTwoAccounts();
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].at("SPRZ_BANK"), "");
  EXPECT_EQ(rows[0].at("SPRZ_KONTO"), "02");
}

TEST_F(TTransInfoTest, WithoutBankFileTheKeyIsTheAccountNumber) {
  Config().SetValue("NR_KONTA", " 12 3456 7890 ");
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].at("SPRZ_BANK"), "");
  EXPECT_EQ(rows[0].at("SPRZ_KONTO"), "12 3456 7890");
}

TEST_F(TTransInfoTest, MatchedAccountWithoutNumberKeepsBankAndTakesTheKey) {
  Config().SetValue("NR_KONTA", "2");
  WriteBank("PEKAO\tBank Beta\t2\tPomocnicze\t \r\n");
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].at("SPRZ_BANK"), "Bank Beta");
  EXPECT_EQ(rows[0].at("SPRZ_KONTO"), "2");
}

// --- Device, switch and parameters ------------------------------------------

TEST_F(TTransInfoTest, DeviceIdIsTheFirstFourCharactersOfTheDeviceName) {
  TScopedConfigFile device("ABCDEF");
  device.Get().SetValue("KATALOG", FData.Str());
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  Send();

  const std::vector<TValues> rows = ReadTable(InfoPath());
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].at("ID_VAN"), "ABCD");
}

TEST_F(TTransInfoTest, FlagParameterIsTrueForOneTOrY) {
  Config().SetValue("WERSJA", "1.8.0");
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  for (const auto& [value, expected] :
       std::vector<std::pair<std::string, std::string>>{{"t", "T"},
                                                        {"Y", "T"},
                                                        {"1", "T"},
                                                        {"0", "F"},
                                                        {"N", "F"},
                                                        {"", "F"},
                                                        {" 1", "F"}}) {
    Config().SetValue("BLOK_KP", value);
    Send();
    const std::vector<TValues> rows = ReadTable(InfoPath());
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].at("BLOK_KP"), expected) << '"' << value << '"';
  }
}

TEST_F(TTransInfoTest, DiscountReadsPointAndSystemSeparator) {
  WriteExport("konfiguracja.txt", HostLine(SampleHost()));
  for (const auto& [separator, value, expected] :
       std::vector<std::tuple<char, std::string, std::string>>{
           {',', "2.5", "2.50"}, {',', "2,5", "2.50"}, {'.', "2,5", "0.00"}}) {
    FSystem.System().DecimalSeparator = separator;
    Config().SetValue("RABAT_TOW", value);
    Send();
    const std::vector<TValues> rows = ReadTable(InfoPath());
    ASSERT_EQ(rows.size(), 1U);
    EXPECT_EQ(rows[0].at("RABAT_TOW"), expected)
        << value << " with " << separator;
  }
}

}  // namespace
}  // namespace bridge::testing
