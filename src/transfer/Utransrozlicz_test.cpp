#include "transfer/Utransrozlicz.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

// The columns of doknieroz.txt in the order in which the host writes them.
const std::vector<std::string> kColumns = {
    "ID_ROZLICZENIE",    "ID_TYPROZRACH", "KAL_WN",        "ID_KONTRAH",
    "NRKONTRAH",         "DOKUMENT",      "NRDOKZEW",      "DATADOKZEW",
    "TERMPLATN",         "KAL_KWOTAPLN",  "KAL_POZOSTPLN", "ID_KONTRAHODBIORCA",
    "NR_KONTRAHODBIORCA"};

class TTransRozliczTest : public TTransferTest {
 protected:
  // The transfer and the table of each layout, as the send job builds them.
  std::vector<TValues> Send170(const std::vector<TValues>& lines) {
    UseLayout("1.7.0");
    return SendLines<TTransRozlicz_v170>("doknieroz.txt", kColumns, lines,
                                         "dok_kre.dbf");
  }
  std::vector<TValues> Send180(const std::vector<TValues>& lines) {
    UseLayout("1.8.0");
    return SendLines<TTransRozlicz_v180>("doknieroz.txt", kColumns, lines,
                                         "kredyt.dbf");
  }
};

TValues EveryColumn() {
  return {{"ID_ROZLICZENIE", "501"},
          {"ID_TYPROZRACH", "1"},
          {"KAL_WN", "T"},
          {"ID_KONTRAH", "902"},
          {"NRKONTRAH", "0042"},
          {"DOKUMENT", "fa"},
          {"NRDOKZEW", "FA/12/2009"},
          {"DATADOKZEW", "2009-03-15"},
          {"TERMPLATN", "2009-03-29"},
          {"KAL_KWOTAPLN", "1230.5"},
          {"KAL_POZOSTPLN", "150.5"},
          {"ID_KONTRAHODBIORCA", "903"},
          {"NR_KONTRAHODBIORCA", "77"}};
}

TEST_F(TTransRozliczTest, Layout170WritesEveryFieldFromItsColumn) {
  const std::vector<TValues> records = Send170({EveryColumn()});
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0], (TValues{{"TYP_DOK", "FK"},
                                 {"NUMER", "FA/12/2009"},
                                 // As the host wrote it, leading zeros kept.
                                 {"ID_KL", "0042"},
                                 {"DATA_WYST", "20090315"},
                                 {"DATA_PLAT", "20090329"},
                                 {"WART_BRUT", "1230.50"},
                                 {"DO_ZAPL", "150.50"},
                                 {"DATA_ZAPL", ""},
                                 {"NR_KP", ""}}));
}

TEST_F(TTransRozliczTest, Layout180WritesEveryFieldFromItsColumn) {
  const std::vector<TValues> records = Send180({EveryColumn()});
  ASSERT_EQ(records.size(), 1U);
  EXPECT_EQ(records[0], (TValues{{"TYP_DOK", "FK"},
                                 {"NUMER", "FA/12/2009"},
                                 {"ID_PLATNIK", "0042"},
                                 {"ID_KLIENT", "77"},
                                 {"DATA_DOK", "20090315"},
                                 {"DATA_PLAT", "20090329"},
                                 {"WART_BRUT", "1230.50"},
                                 {"DO_ZAPLATY", "150.50"}}));
}

TEST_F(TTransRozliczTest, Layout170ConvertsEachValue) {
  ExpectCases(
      {
          // The document type is mapped and cut to the field.
          {{{"DOKUMENT", "fa"}}, "TYP_DOK", "FK"},
          {{{"DOKUMENT", " par "}}, "TYP_DOK", "PA"},
          {{{"DOKUMENT", "KP"}}, "TYP_DOK", "KP"},
          {{{"DOKUMENT", "wzkor"}}, "TYP_DOK", "WZK"},
          // Unreadable dates and amounts become zero.
          {{{"DATADOKZEW", "2009-02-30"}}, "DATA_WYST", "18991230"},
          {{{"TERMPLATN", ""}}, "DATA_PLAT", "18991230"},
          {{{"KAL_KWOTAPLN", "abc"}}, "WART_BRUT", "0.00"},
          {{{"KAL_POZOSTPLN", ""}, {"KAL_WN", "T"}}, "DO_ZAPL", "0.00"},
      },
      [this](const auto& lines) { return Send170(lines); });
}

TEST_F(TTransRozliczTest, Layout180ConvertsEachValue) {
  const auto open = [](std::string kalWn, std::string amount) {
    return TValues{{"KAL_WN", kalWn},
                   {"KAL_POZOSTPLN", amount},
                   {"KAL_KWOTAPLN", "150.5"}};
  };
  const auto recipient = [](std::string value) {
    return TValues{{"NRKONTRAH", "42"}, {"NR_KONTRAHODBIORCA", value}};
  };
  ExpectCases(
      {
          {{{"DOKUMENT", "wzkor"}}, "TYP_DOK", "WZKOR"},
          // The open amount is negated unless it is a receivable; nothing
          // open carries no sign, and the document amount none at all.
          {open("T", "150.5"), "DO_ZAPLATY", "150.50"},
          {open("t", "150.5"), "DO_ZAPLATY", "150.50"},
          {open("1", "150.5"), "DO_ZAPLATY", "150.50"},
          {open("y", "150.5"), "DO_ZAPLATY", "150.50"},
          {open("N", "150.5"), "DO_ZAPLATY", "-150.50"},
          {open("", "150.5"), "DO_ZAPLATY", "-150.50"},
          {open("N", "0"), "DO_ZAPLATY", "0.00"},
          {open("N", "-20"), "DO_ZAPLATY", "20.00"},
          {open("", "150.5"), "WART_BRUT", "150.50"},
          // The customer falls back to the contractor only for a recipient
          // of 0; the payer is always the contractor.
          {recipient("0"), "ID_KLIENT", "42"},
          {recipient("  0 "), "ID_KLIENT", "42"},
          {recipient(""), "ID_KLIENT", ""},
          {recipient("15"), "ID_KLIENT", "15"},
          {recipient("00"), "ID_KLIENT", "00"},
          {recipient("15"), "ID_PLATNIK", "42"},
      },
      [this](const auto& lines) { return Send180(lines); });
}

}  // namespace
}  // namespace bridge::testing
