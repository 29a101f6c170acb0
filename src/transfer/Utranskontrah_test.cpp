#include "transfer/Utranskontrah.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

// The columns of kontrahent.txt in the order in which the host writes them.
const std::vector<std::string> kColumns = {
    "ID_KONTRAH",    "NRKONTRAH",      "NAZWASKR",      "NIP",
    "NAZWADL",       "TELEFON",        "FAX",           "EMAIL",
    "WWW",           "TERMINDNI",      "ILDNIKARENCJI", "ODBIORCA",
    "DOSTAWCA",      "ID_PLATNIKA",    "NRPLATNIKA",    "MIEJSCOWOSC",
    "KODPOCZTOWY",   "POCZTA",         "ULICA",         "NRDOMU",
    "NRLOKALU",      "GMINADZIELNICA", "POWIAT",        "REGON",
    "PESEL",         "SPOSPLATNOSCI",  "ID_DEFCENY",    "WALUTA",
    "WARTDOKKREDYT", "WARTKREDYTOG",   "PROCRABATNAGL", "BLOKADASPRZEDAZY",
    "TYPKONTRAH",    "NR_DEFCENY",     "UWAGI",         "WARTKREDYTPRZET"};

class TTransKontrahTest : public TTransferTest {
 protected:
  std::vector<TValues> Send(const std::vector<TValues>& lines) {
    return SendLines<TTransKontrah>("kontrahent.txt", kColumns, lines,
                                    "klient.dbf");
  }
  void ExpectConverted(const std::vector<TValueCase>& cases) {
    ExpectCases(cases, [this](const auto& lines) { return Send(lines); });
  }
};

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
  const std::vector<TValues> records = Send({EveryColumn()});
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0], (TValues{{"ID_KL", "17"},
                                 {"NAZWA1", "Jan Kowalski"},
                                 {"NAZWA2", Cp1250(u8"Sklep Spożywczy")},
                                 {"KOD_POCZ", "20-001"},
                                 {"MIEJSC", "Lublin"},
                                 {"ULICA", Cp1250(u8"Długa 5/12")},
                                 {"NIP", "123-456-78-90"},
                                 {"RABAT", "7.50"},
                                 {"PLATNIK", "18"},
                                 {"AKTYWNY", "T"},
                                 {"LISTA_TOW", "F"},
                                 {"TYP_DOK", ""},
                                 {"TYP_PLAT", "P"},
                                 {"TERM_PLAT", "14"},
                                 {"DETAL", "T"},
                                 {"GRP_PROM", "0"},
                                 {"LIMIT", "1500.50"},
                                 {"SKROT", "KOWALSKI"},
                                 {"CENA_D", "3"}}));
}

TEST_F(TTransKontrahTest, Layout180WritesEveryFieldFromItsColumn) {
  UseLayout("1.8.0");
  const std::vector<TValues> records = Send({EveryColumn()});
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0], (TValues{{"ID_KLIENT", "17"},
                                 {"NAZWA1", "Jan Kowalski"},
                                 {"NAZWA2", Cp1250(u8"Sklep Spożywczy")},
                                 {"KOD_POCZ", "20-001"},
                                 {"MIASTO", "Lublin"},
                                 {"ULICA", Cp1250(u8"Długa 5/12")},
                                 {"NIP", "123-456-78-90"},
                                 {"RABAT", "7.50"},
                                 {"ID_PLATNIK", "18"},
                                 {"AKTYWNY", "T"},
                                 {"TYP_DOK", ""},
                                 {"TYP_PLAT", "P"},
                                 {"TERM_PLAT", "14"},
                                 {"GRUPA_CEN", "0"},
                                 {"LIMIT", "1500.50"},
                                 {"SKROT", "KOWALSKI"},
                                 {"CENA", "3"},
                                 {"POCZTA", Cp1250(u8"Świdnik")},
                                 {"TELEFON", "81 555 01 02"},
                                 {"EMAIL", "jan@example.pl"},
                                 {"LIMIT_PRZE", "250.25"},
                                 {"RODZAJ_DOK", ""},
                                 {"GRUPA", ""},
                                 {"CECHA1", ""},
                                 {"CECHA2", ""},
                                 {"UWAGI", "dzwonic rano"}}));
}

TEST_F(TTransKontrahTest, Layout170ConvertsEachValue) {
  UseLayout("1.7.0");
  const std::string house25(25, '9');
  ExpectConverted({
      // The first two caret lines of the full name.
      {{{"NAZWADL", "ABC^DEF^GHI"}}, "NAZWA1", "ABC"},
      {{{"NAZWADL", "ABC^DEF^GHI"}}, "NAZWA2", "DEF"},
      {{{"NAZWADL", "ABC"}}, "NAZWA2", ""},
      {{{"NAZWADL", "^DEF"}}, "NAZWA1", ""},
      {{{"NAZWADL", "^DEF"}}, "NAZWA2", "DEF"},
      {{{"NAZWADL", "ABC^  "}}, "NAZWA2", ""},
      // The payment term, truncated and capped at what two digits show.
      {{{"TERMINDNI", "120"}}, "TERM_PLAT", "99"},
      {{{"TERMINDNI", "14.9"}}, "TERM_PLAT", "14"},
      {{{"TERMINDNI", "-5"}}, "TERM_PLAT", "-5"},
      {{{"TERMINDNI", "99"}}, "TERM_PLAT", "99"},
      {{{"TERMINDNI", "1e12"}}, "TERM_PLAT", "99"},
      {{{"TERMINDNI", "x"}}, "TERM_PLAT", "0"},
      // Only a sales block of T, in any case, makes the customer inactive.
      {{{"BLOKADASPRZEDAZY", "T"}}, "AKTYWNY", "F"},
      {{{"BLOKADASPRZEDAZY", "t"}}, "AKTYWNY", "F"},
      {{{"BLOKADASPRZEDAZY", "1"}}, "AKTYWNY", "T"},
      {{{"BLOKADASPRZEDAZY", ""}}, "AKTYWNY", "T"},
      // Only private persons are retail customers.
      {{{"TYPKONTRAH", "2"}}, "DETAL", "T"},
      {{{"TYPKONTRAH", "1"}}, "DETAL", "F"},
      {{{"TYPKONTRAH", "3"}}, "DETAL", "F"},
      // The street loses its end before the house number does.
      {{{"ULICA", "Polna"}, {"NRDOMU", "5"}}, "ULICA", "Polna 5"},
      // A flat number without a house number is dropped.
      {{{"ULICA", "Polna"}, {"NRLOKALU", "3"}}, "ULICA", "Polna"},
      // The street keeps its first 16 characters, a trailing blank among
      // them.
      {{{"ULICA", "Aleja Marszalka Pilsudskiego"},
        {"NRDOMU", "5"},
        {"NRLOKALU", "12"}},
       "ULICA",
       "Aleja Marszalka  5/12"},
      // No room is left for the street; the field keeps what fits of the
      // number.
      {{{"ULICA", "Polna"}, {"NRDOMU", house25}},
       "ULICA",
       " " + std::string(20, '9')},
      // Unreadable numbers give 0 and still a record.
      {{{"NRKONTRAH", "abc"}}, "ID_KL", "0"},
      {{{"NRPLATNIKA", "99999999999"}}, "PLATNIK", "0"},
      {{{"PROCRABATNAGL", "1,2,3"}}, "RABAT", "0.00"},
      {{{"NR_DEFCENY", "?"}}, "CENA_D", "0"},
  });
}

TEST_F(TTransKontrahTest, Layout180ConvertsEachValue) {
  UseLayout("1.8.0");
  ExpectConverted({
      // The payment term is capped at what four digits show.
      {{{"TERMINDNI", "120"}}, "TERM_PLAT", "120"},
      {{{"TERMINDNI", "12345"}}, "TERM_PLAT", "9999"},
      {{{"TERMINDNI", "-7.9"}}, "TERM_PLAT", "-7"},
      // Far below the 32-bit range the term is held at its bottom, which
      // the field then cuts; it is never converted out of range.
      {{{"TERMINDNI", "-1e12"}}, "TERM_PLAT", "-214"},
      // The payment kind is its first letter upper-cased.
      {{{"SPOSPLATNOSCI", Cp1250(u8"gotówka")}}, "TYP_PLAT", "G"},
      {{{"SPOSPLATNOSCI", Cp1250(u8"średnio")}},
       "TYP_PLAT",
       Cp1250(u8"Ś").str()},
      {{{"SPOSPLATNOSCI", "  karta"}}, "TYP_PLAT", "K"},
      {{{"SPOSPLATNOSCI", ""}}, "TYP_PLAT", ""},
      // The wider street field keeps the whole street.
      {{{"ULICA", "Aleja Marszalka Pilsudskiego"},
        {"NRDOMU", "5"},
        {"NRLOKALU", "12"}},
       "ULICA",
       "Aleja Marszalka Pilsudskiego 5/12"},
      // The discount is rounded to two decimals.
      {{{"PROCRABATNAGL", "12.345"}}, "RABAT", "12.35"},
      {{{"PROCRABATNAGL", "-2.5"}}, "RABAT", "-2.50"},
      {{{"PROCRABATNAGL", "-0.00495"}}, "RABAT", "-0.01"},
  });
}

}  // namespace
}  // namespace bridge::testing
