#include "transfer/Utranskontrah.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

// The columns of kontrahent.txt in the order in which the host writes them.
constexpr std::array<std::string_view, 36> kColumns = {
    "ID_KONTRAH",    "NRKONTRAH",      "NAZWASKR",      "NIP",
    "NAZWADL",       "TELEFON",        "FAX",           "EMAIL",
    "WWW",           "TERMINDNI",      "ILDNIKARENCJI", "ODBIORCA",
    "DOSTAWCA",      "ID_PLATNIKA",    "NRPLATNIKA",    "MIEJSCOWOSC",
    "KODPOCZTOWY",   "POCZTA",         "ULICA",         "NRDOMU",
    "NRLOKALU",      "GMINADZIELNICA", "POWIAT",        "REGON",
    "PESEL",         "SPOSPLATNOSCI",  "ID_DEFCENY",    "WALUTA",
    "WARTDOKKREDYT", "WARTKREDYTOG",   "PROCRABATNAGL", "BLOKADASPRZEDAZY",
    "TYPKONTRAH",    "NR_DEFCENY",     "UWAGI",         "WARTKREDYTPRZET"};

using TValues = std::map<std::string, std::string>;

// One host line: the given values in their columns, the others empty.
std::string HostLine(const TValues& values) {
  std::string line;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    if (i > 0) line += '\t';
    const auto found = values.find(std::string(kColumns[i]));
    if (found != values.end()) line += found->second;
  }
  return line + "\r\n";
}

// The descriptor that a declared field gets in the table header.
std::string Descriptor(std::string_view name, char type, int length,
                       int decimals) {
  std::string bytes(32, '\0');
  bytes.replace(0, name.size(), name);
  bytes[11] = type;
  bytes[16] = static_cast<char>(length);
  bytes[17] = static_cast<char>(decimals);
  return bytes;
}

struct TField {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
};

// The field descriptors and their terminator, as the header must hold them.
std::string Descriptors(const std::vector<TField>& fields) {
  std::string bytes;
  for (const TField& f : fields) {
    bytes += Descriptor(f.Name, f.Type, f.Length, f.Decimals);
  }
  return bytes + '\r';
}

const std::vector<TField> kKlient170 = {
    {"ID_KL", 'C', 15, 0},   {"NAZWA1", 'C', 60, 0},   {"NAZWA2", 'C', 60, 0},
    {"KOD_POCZ", 'C', 6, 0}, {"MIEJSC", 'C', 21, 0},   {"ULICA", 'C', 21, 0},
    {"NIP", 'C', 13, 0},     {"RABAT", 'N', 5, 2},     {"PLATNIK", 'C', 15, 0},
    {"AKTYWNY", 'L', 1, 0},  {"LISTA_TOW", 'L', 1, 0}, {"TYP_DOK", 'C', 3, 0},
    {"TYP_PLAT", 'C', 1, 0}, {"TERM_PLAT", 'N', 2, 0}, {"DETAL", 'L', 1, 0},
    {"GRP_PROM", 'N', 3, 0}, {"LIMIT", 'N', 10, 2},    {"SKROT", 'C', 20, 0},
    {"CENA_D", 'N', 1, 0}};

const std::vector<TField> kKlient180 = {
    {"ID_KLIENT", 'C', 15, 0},  {"NAZWA1", 'C', 70, 0},
    {"NAZWA2", 'C', 70, 0},     {"KOD_POCZ", 'C', 6, 0},
    {"MIASTO", 'C', 30, 0},     {"ULICA", 'C', 40, 0},
    {"NIP", 'C', 16, 0},        {"RABAT", 'N', 6, 2},
    {"ID_PLATNIK", 'C', 15, 0}, {"AKTYWNY", 'L', 1, 0},
    {"TYP_DOK", 'C', 6, 0},     {"TYP_PLAT", 'C', 1, 0},
    {"TERM_PLAT", 'N', 4, 0},   {"GRUPA_CEN", 'N', 3, 0},
    {"LIMIT", 'N', 10, 2},      {"SKROT", 'C', 30, 0},
    {"CENA", 'N', 1, 0},        {"POCZTA", 'C', 30, 0},
    {"TELEFON", 'C', 50, 0},    {"EMAIL", 'C', 50, 0},
    {"LIMIT_PRZE", 'N', 10, 2}, {"RODZAJ_DOK", 'N', 1, 0},
    {"GRUPA", 'N', 3, 0},       {"CECHA1", 'C', 35, 0},
    {"CECHA2", 'C', 35, 0},     {"UWAGI", 'C', 254, 0}};

// A value as the table stores it: padded to the field's width, blanks kept.
std::string Padded(std::string_view text, std::size_t width) {
  std::string padded(text);
  padded.resize(width, ' ');
  return padded;
}

class TTransKontrahTest : public TTransferTest {
 protected:
  void UseLayout(std::string_view layout) {
    Config().SetValue("WERSJA", layout);
  }

  // Sends the given host lines and gives every record of klient.dbf, each
  // value exactly as stored (Windows-1250, blanks kept), by field name.
  std::vector<TValues> Send(const std::vector<TValues>& lines) {
    std::string file;
    for (const TValues& values : lines) file += HostLine(values);
    WriteExport("kontrahent.txt", file);
    TTransKontrah transfer(FNow, "kontrahent.txt", "klient.dbf");
    transfer.Send();
    return ReadTable();
  }
  TValues SendOne(const TValues& values) {
    const std::vector<TValues> records = Send({values});
    EXPECT_EQ(records.size(), 1U);
    return records.empty() ? TValues{} : records.front();
  }

  std::vector<TValues> ReadTable() {
    std::vector<TValues> records;
    TDBF table;
    if (!table.Open(DownloadPath("klient.dbf"))) return records;
    for (const auto& field : table.Fields()) field->SetClean(false);
    for (table.First(); !table.Eof(); table.Next()) {
      TDBFRecord* record = table.ReadRecord();
      if (record == nullptr) break;
      TValues values;
      for (const auto& field : table.Fields()) {
        values[field->Name()] = record->GetString(*field);
      }
      records.push_back(values);
    }
    return records;
  }
};

// --- Declared fields ---------------------------------------------------------

TEST_F(TTransKontrahTest, Layout170DeclaresItsNineteenFieldsByteForByte) {
  UseLayout("1.7.0");
  Send({{{"NRKONTRAH", "1"}}});
  const std::string expected = Descriptors(kKlient170);
  EXPECT_TRUE(SameBytes(
      ReadBytes(DownloadPath("klient.dbf")).substr(32, expected.size()),
      expected));
}

TEST_F(TTransKontrahTest, Layout180DeclaresItsTwentySixFieldsByteForByte) {
  UseLayout("1.8.0");
  Send({{{"NRKONTRAH", "1"}}});
  const std::string expected = Descriptors(kKlient180);
  EXPECT_TRUE(SameBytes(
      ReadBytes(DownloadPath("klient.dbf")).substr(32, expected.size()),
      expected));
}

// --- Every field from its column ---------------------------------------------

// A value in every column, each one different, so a value read from the
// wrong column or written to the wrong field shows.
TValues EveryColumn() {
  return {{"ID_KONTRAH", "901"},
          {"NRKONTRAH", "17"},
          {"NAZWASKR", "KOWALSKI"},
          {"NIP", "123-456-78-90"},
          {"NAZWADL", Cp1250(u8"Jan Kowalski^Sklep Spożywczy")},
          {"TELEFON", "81 555 01 02"},
          {"FAX", "81 555 01 03"},
          {"EMAIL", "jan@example.pl"},
          {"WWW", "www.example.pl"},
          {"TERMINDNI", "14"},
          {"ILDNIKARENCJI", "3"},
          {"ODBIORCA", "T"},
          {"DOSTAWCA", "N"},
          {"ID_PLATNIKA", "902"},
          {"NRPLATNIKA", "18"},
          {"MIEJSCOWOSC", "Lublin"},
          {"KODPOCZTOWY", "20-001"},
          {"POCZTA", Cp1250(u8"Świdnik")},
          {"ULICA", Cp1250(u8"Długa")},
          {"NRDOMU", "5"},
          {"NRLOKALU", "12"},
          {"GMINADZIELNICA", "Srodmiescie"},
          {"POWIAT", "lubelski"},
          {"REGON", "430000000"},
          {"PESEL", "80010112345"},
          {"SPOSPLATNOSCI", "przelew"},
          {"ID_DEFCENY", "4"},
          {"WALUTA", "PLN"},
          {"WARTDOKKREDYT", "700.00"},
          {"WARTKREDYTOG", "1500.5"},
          {"PROCRABATNAGL", "7.5"},
          {"BLOKADASPRZEDAZY", "N"},
          {"TYPKONTRAH", "2"},
          {"NR_DEFCENY", "3"},
          {"UWAGI", "dzwonic rano"},
          {"WARTKREDYTPRZET", "250.25"}};
}

TEST_F(TTransKontrahTest, Layout170WritesEveryFieldFromItsColumn) {
  UseLayout("1.7.0");
  const TValues expected = {{"ID_KL", Padded("17", 15)},
                            {"NAZWA1", Padded("Jan Kowalski", 60)},
                            {"NAZWA2", Padded(Cp1250(u8"Sklep Spożywczy"), 60)},
                            {"KOD_POCZ", "20-001"},
                            {"MIEJSC", Padded("Lublin", 21)},
                            {"ULICA", Padded(Cp1250(u8"Długa 5/12"), 21)},
                            {"NIP", "123-456-78-90"},
                            {"RABAT", " 7.50"},
                            {"PLATNIK", Padded("18", 15)},
                            {"AKTYWNY", "T"},
                            {"LISTA_TOW", "F"},
                            {"TYP_DOK", "   "},
                            {"TYP_PLAT", "P"},
                            {"TERM_PLAT", "14"},
                            {"DETAL", "T"},
                            {"GRP_PROM", "  0"},
                            {"LIMIT", "   1500.50"},
                            {"SKROT", Padded("KOWALSKI", 20)},
                            {"CENA_D", "3"}};
  EXPECT_EQ(SendOne(EveryColumn()), expected);
}

TEST_F(TTransKontrahTest, Layout180WritesEveryFieldFromItsColumn) {
  UseLayout("1.8.0");
  const TValues expected = {{"ID_KLIENT", Padded("17", 15)},
                            {"NAZWA1", Padded("Jan Kowalski", 70)},
                            {"NAZWA2", Padded(Cp1250(u8"Sklep Spożywczy"), 70)},
                            {"KOD_POCZ", "20-001"},
                            {"MIASTO", Padded("Lublin", 30)},
                            {"ULICA", Padded(Cp1250(u8"Długa 5/12"), 40)},
                            {"NIP", Padded("123-456-78-90", 16)},
                            {"RABAT", "  7.50"},
                            {"ID_PLATNIK", Padded("18", 15)},
                            {"AKTYWNY", "T"},
                            {"TYP_DOK", Padded("", 6)},
                            {"TYP_PLAT", "P"},
                            {"TERM_PLAT", "  14"},
                            {"GRUPA_CEN", "  0"},
                            {"LIMIT", "   1500.50"},
                            {"SKROT", Padded("KOWALSKI", 30)},
                            {"CENA", "3"},
                            {"POCZTA", Padded(Cp1250(u8"Świdnik"), 30)},
                            {"TELEFON", Padded("81 555 01 02", 50)},
                            {"EMAIL", Padded("jan@example.pl", 50)},
                            {"LIMIT_PRZE", "    250.25"},
                            {"RODZAJ_DOK", " "},
                            {"GRUPA", "   "},
                            {"CECHA1", Padded("", 35)},
                            {"CECHA2", Padded("", 35)},
                            {"UWAGI", Padded("dzwonic rano", 254)}};
  EXPECT_EQ(SendOne(EveryColumn()), expected);
}

// --- Single conversions ------------------------------------------------------

TEST_F(TTransKontrahTest, FullNameGivesItsFirstTwoCaretLinesInFileOrder) {
  UseLayout("1.7.0");
  const std::vector<TValues> records = Send({{{"NAZWADL", "ABC^DEF^GHI"}},
                                             {{"NAZWADL", "ABC"}},
                                             {{"NAZWADL", "^DEF"}},
                                             {{"NAZWADL", "ABC^  "}}});
  ASSERT_EQ(records.size(), 4U);
  EXPECT_EQ(records[0].at("NAZWA1"), Padded("ABC", 60));
  EXPECT_EQ(records[0].at("NAZWA2"), Padded("DEF", 60));
  EXPECT_EQ(records[1].at("NAZWA1"), Padded("ABC", 60));
  EXPECT_EQ(records[1].at("NAZWA2"), Padded("", 60));
  EXPECT_EQ(records[2].at("NAZWA1"), Padded("", 60));
  EXPECT_EQ(records[2].at("NAZWA2"), Padded("DEF", 60));
  EXPECT_EQ(records[3].at("NAZWA2"), Padded("", 60));
}

TEST_F(TTransKontrahTest, PaymentTermIsTruncatedAndCappedAt99In170) {
  UseLayout("1.7.0");
  const std::vector<TValues> records = Send({{{"TERMINDNI", "120"}},
                                             {{"TERMINDNI", "14.9"}},
                                             {{"TERMINDNI", "-5"}},
                                             {{"TERMINDNI", "99"}},
                                             {{"TERMINDNI", "1e12"}}});
  ASSERT_EQ(records.size(), 5U);
  EXPECT_EQ(records[0].at("TERM_PLAT"), "99");
  EXPECT_EQ(records[1].at("TERM_PLAT"), "14");
  EXPECT_EQ(records[2].at("TERM_PLAT"), "-5");
  EXPECT_EQ(records[3].at("TERM_PLAT"), "99");
  EXPECT_EQ(records[4].at("TERM_PLAT"), "99");
}

TEST_F(TTransKontrahTest, PaymentTermIsCappedAt9999In180) {
  UseLayout("1.8.0");
  const std::vector<TValues> records = Send({{{"TERMINDNI", "120"}},
                                             {{"TERMINDNI", "12345"}},
                                             {{"TERMINDNI", "-7.9"}},
                                             {{"TERMINDNI", "-1e12"}}});
  ASSERT_EQ(records.size(), 4U);
  EXPECT_EQ(records[0].at("TERM_PLAT"), " 120");
  EXPECT_EQ(records[1].at("TERM_PLAT"), "9999");
  EXPECT_EQ(records[2].at("TERM_PLAT"), "  -7");
  // Far below the 32-bit range the term is held at its bottom, which the
  // field then cuts; it is never converted out of range.
  EXPECT_EQ(records[3].at("TERM_PLAT"), "-214");
}

TEST_F(TTransKontrahTest, PaymentKindIsItsFirstLetterUpperCased) {
  UseLayout("1.8.0");
  const std::vector<TValues> records =
      Send({{{"SPOSPLATNOSCI", Cp1250(u8"gotówka")}},
            {{"SPOSPLATNOSCI", Cp1250(u8"średnio")}},
            {{"SPOSPLATNOSCI", "  karta"}},
            {{"SPOSPLATNOSCI", ""}}});
  ASSERT_EQ(records.size(), 4U);
  EXPECT_EQ(records[0].at("TYP_PLAT"), "G");
  EXPECT_EQ(records[1].at("TYP_PLAT"), Cp1250(u8"Ś").str());
  EXPECT_EQ(records[2].at("TYP_PLAT"), "K");
  EXPECT_EQ(records[3].at("TYP_PLAT"), " ");
}

TEST_F(TTransKontrahTest, OnlyASalesBlockOfTMakesTheCustomerInactive) {
  UseLayout("1.7.0");
  const std::vector<TValues> records = Send({{{"BLOKADASPRZEDAZY", "T"}},
                                             {{"BLOKADASPRZEDAZY", "t"}},
                                             {{"BLOKADASPRZEDAZY", "1"}},
                                             {{"BLOKADASPRZEDAZY", "N"}},
                                             {{"BLOKADASPRZEDAZY", ""}}});
  ASSERT_EQ(records.size(), 5U);
  EXPECT_EQ(records[0].at("AKTYWNY"), "F");
  EXPECT_EQ(records[1].at("AKTYWNY"), "F");
  EXPECT_EQ(records[2].at("AKTYWNY"), "T");
  EXPECT_EQ(records[3].at("AKTYWNY"), "T");
  EXPECT_EQ(records[4].at("AKTYWNY"), "T");
}

TEST_F(TTransKontrahTest, OnlyPrivatePersonsAreRetailCustomers) {
  UseLayout("1.7.0");
  const std::vector<TValues> records = Send(
      {{{"TYPKONTRAH", "2"}}, {{"TYPKONTRAH", "1"}}, {{"TYPKONTRAH", "3"}}});
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0].at("DETAL"), "T");
  EXPECT_EQ(records[1].at("DETAL"), "F");
  EXPECT_EQ(records[2].at("DETAL"), "F");
}

TEST_F(TTransKontrahTest, StreetLosesItsEndBeforeTheHouseNumber) {
  UseLayout("1.7.0");
  const std::string house25(25, '9');
  const std::vector<TValues> records = Send({
      {{"ULICA", "Polna"}, {"NRDOMU", "5"}},
      {{"ULICA", "Polna"}, {"NRLOKALU", "3"}},
      {{"ULICA", "Aleja Marszalka Pilsudskiego"},
       {"NRDOMU", "5"},
       {"NRLOKALU", "12"}},
      {{"ULICA", "Polna"}, {"NRDOMU", house25}},
  });
  ASSERT_EQ(records.size(), 4U);
  EXPECT_EQ(records[0].at("ULICA"), Padded("Polna 5", 21));
  // A flat number without a house number is dropped.
  EXPECT_EQ(records[1].at("ULICA"), Padded("Polna", 21));
  // The street keeps its first 16 characters, a trailing blank among them.
  EXPECT_EQ(records[2].at("ULICA"), "Aleja Marszalka  5/12");
  // No room is left for the street; the field keeps what fits of the number.
  EXPECT_EQ(records[3].at("ULICA"), " " + std::string(20, '9'));
}

TEST_F(TTransKontrahTest, StreetUsesTheWiderFieldOf180) {
  UseLayout("1.8.0");
  const TValues record = SendOne({{"ULICA", "Aleja Marszalka Pilsudskiego"},
                                  {"NRDOMU", "5"},
                                  {"NRLOKALU", "12"}});
  EXPECT_EQ(record.at("ULICA"),
            Padded("Aleja Marszalka Pilsudskiego 5/12", 40));
}

TEST_F(TTransKontrahTest, DiscountIsRoundedToTwoDecimals) {
  UseLayout("1.8.0");
  const std::vector<TValues> records = Send({{{"PROCRABATNAGL", "12.345"}},
                                             {{"PROCRABATNAGL", "-2.5"}},
                                             {{"PROCRABATNAGL", "-0.00495"}}});
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0].at("RABAT"), " 12.35");
  EXPECT_EQ(records[1].at("RABAT"), " -2.50");
  EXPECT_EQ(records[2].at("RABAT"), " -0.01");
}

TEST_F(TTransKontrahTest, UnreadableValuesStillGiveARecord) {
  UseLayout("1.7.0");
  const TValues record = SendOne({{"NRKONTRAH", "abc"},
                                  {"NRPLATNIKA", "99999999999"},
                                  {"TERMINDNI", "x"},
                                  {"PROCRABATNAGL", "1,2,3"},
                                  {"NR_DEFCENY", "?"}});
  EXPECT_EQ(record.at("ID_KL"), Padded("0", 15));
  EXPECT_EQ(record.at("PLATNIK"), Padded("0", 15));
  EXPECT_EQ(record.at("AKTYWNY"), "T");
  EXPECT_EQ(record.at("TERM_PLAT"), " 0");
  EXPECT_EQ(record.at("RABAT"), " 0.00");
  EXPECT_EQ(record.at("CENA_D"), "0");
  EXPECT_EQ(record.at("TYP_PLAT"), " ");
}

TEST_F(TTransKontrahTest, EmptyOrMissingHostFileLeavesNoTable) {
  UseLayout("1.7.0");
  {
    TTransKontrah transfer(FNow, "kontrahent.txt", "klient.dbf");
    transfer.Send();
  }
  EXPECT_FALSE(platform::FileExists(DownloadPath("klient.dbf")));
  WriteExport("kontrahent.txt", "");
  {
    TTransKontrah transfer(FNow, "kontrahent.txt", "klient.dbf");
    transfer.Send();
  }
  EXPECT_FALSE(platform::FileExists(DownloadPath("klient.dbf")));
}

}  // namespace
}  // namespace bridge::testing
