#include "transfer/Utransdokumenty.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "transfer/DocumentTablesTestSupport.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

// The value of one field in every line of a written file.
std::vector<std::string> Column(const std::string& file,
                                const std::vector<std::string>& names,
                                const std::string& name) {
  std::size_t index = 0;
  while (names[index] != name) ++index;
  std::vector<std::string> values;
  std::size_t start = 0;
  std::size_t end;
  while ((end = file.find("\r\n", start)) != std::string::npos) {
    std::string_view line(file.data() + start, end - start);
    for (std::size_t i = 0; i < index; ++i) {
      line.remove_prefix(line.find('\t') + 1);
    }
    values.emplace_back(line.substr(0, line.find('\t')));
    start = end + 2;
  }
  return values;
}

class TDocumentsTest : public TTransferTest {
 protected:
  void UseLayout(int layout) {
    Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
  }
  static std::string HeadTable(int layout) {
    return layout == 1 ? "dokument.dbf" : "dok_nagl.dbf";
  }
  static std::string LineTable(int layout) {
    return layout == 1 ? "poz_dok.dbf" : "dok_poz.dbf";
  }
  void WriteHeads(int layout, const std::vector<TRow>& rows,
                  const std::vector<TColumn>* columns = nullptr) {
    UseLayout(layout);
    WriteBytes(UploadPath(HeadTable(layout)),
               TableBytes(columns ? *columns : HeadColumns(layout), rows));
  }
  void WriteLines(int layout, const std::vector<TRow>& rows) {
    UseLayout(layout);
    WriteBytes(UploadPath(LineTable(layout)),
               TableBytes(LineColumns(layout), rows));
  }
  // Runs the head transfer alone and gives dok.txt.
  std::string ReceiveHeads(int layout) {
    TTransDocHead heads(FNow, "dok.txt", HeadTable(layout));
    heads.Receive();
    return ReadBytes(ImportPath("dok.txt"));
  }
  // Runs both transfers, heads first, and gives poz.txt.
  std::string ReceiveBoth(int layout) {
    TTransDocHead heads(FNow, "dok.txt", HeadTable(layout));
    TTransDocPos lines(heads, FNow, "poz.txt", LineTable(layout));
    heads.Receive();
    lines.Receive();
    return ReadBytes(ImportPath("poz.txt"));
  }
};

// --- Definitions -------------------------------------------------------------

struct TLoaded {
  std::string Name;
  std::int32_t Type;
  std::int32_t Length;
  bool operator==(const TLoaded&) const = default;
};

std::vector<TLoaded> Loaded(const std::vector<std::string>& lines) {
  TTextFileDef definition;
  definition.LoadDefinitions(lines);
  std::vector<TLoaded> items;
  for (std::int32_t i = 0; i < definition.Count(); ++i) {
    const TTextFileItem& item = *definition.Item(i);
    items.push_back({item.Name(), item.FieldType(), item.Length()});
  }
  return items;
}

void PrintTo(const TLoaded& item, std::ostream* out) {
  *out << item.Name << ":" << item.Type << "(" << item.Length << ")";
}

constexpr std::int32_t kString = 1;
constexpr std::int32_t kDate = 2;
constexpr std::int32_t kInteger = 3;
constexpr std::int32_t kCurrency = 4;
constexpr std::int32_t kBoolean = 5;

TEST(TDocDefinitions, DokTxtDefinesTwentySixFieldsInOrder) {
  EXPECT_THAT(
      Loaded(DocHeadDefinitionLines()),
      ElementsAre(
          TLoaded{"IDKONTRAH", kString, 15}, TLoaded{"DATA", kDate, 0},
          TLoaded{"NAZWADOK", kString, 10}, TLoaded{"NRDOK", kString, 25},
          TLoaded{"TERMIN", kDate, 0}, TLoaded{"PLATNOSC", kString, 35},
          TLoaded{"SUMA", kCurrency, 0}, TLoaded{"ILEPOZ", kInteger, 0},
          TLoaded{"GOTOWKA", kCurrency, 0}, TLoaded{"DOT_DATA", kDate, 0},
          TLoaded{"DOT_NAZWADOK", kString, 10},
          TLoaded{"DOT_NRDOK", kString, 25}, TLoaded{"ANULOWANY", kBoolean, 0},
          TLoaded{"UWAGI", kString, 0}, TLoaded{"NRZLEC", kString, 20},
          TLoaded{"CECHA_1", kString, 35}, TLoaded{"CECHA_2", kString, 35},
          TLoaded{"CECHA_3", kString, 35}, TLoaded{"IDKONTRAHODB", kString, 15},
          TLoaded{"DATAOBOW", kDate, 0}, TLoaded{"CECHA_4", kString, 35},
          TLoaded{"CECHA_5", kString, 35},
          TLoaded{"IDKONTRAHDOST", kString, 15},
          TLoaded{"MAGAZYN", kString, 10}, TLoaded{"WYDRUKOWANY", kBoolean, 0},
          TLoaded{"ZAFISKALIZOWANY", kBoolean, 0}));
}

TEST(TDocDefinitions, DokTxtKeepsTheSpacingOfItsIrregularLines) {
  const std::vector<std::string> lines = DocHeadDefinitionLines();
  ASSERT_EQ(lines.size(), 26U);
  EXPECT_EQ(lines[0],
            "IDKONTRAH:String;\t- identyfikator kontrahenta (numer) (15)");
  EXPECT_EQ(lines[2], Cp1250(u8"NAZWADOK:String;\t- nazwa dokumentu (10)  "
                             u8"opis dozwolonych wartośći w pkt 7.")
                          .str());
  EXPECT_EQ(
      lines[12],
      Cp1250(u8"ANULOWANY\t :Boolean;\t- czy dokument został anulowany").str());
  EXPECT_EQ(lines[22],
            "IDKONTRAHDOST:String;\t\t- numer kontrahenta - dostawcy (15)");
  EXPECT_EQ(lines[23], "MAGAZYN:String; - numer magazynu(10)");
  EXPECT_EQ(lines[24], Cp1250(u8"WYDRUKOWANY:Boolean; - czy dokument był "
                              u8"drukowany na zwykłej drukarce")
                           .str());
  EXPECT_EQ(lines[25],
            Cp1250(u8"ZAFISKALIZOWANY:Boolean; - czy dokument został "
                   u8"sfiskalizowany, jak dokument nie jest fiskalny to "
                   u8"parametr nie jest brany pod uwagę")
                .str());
}

TEST(TDocDefinitions, PozTxtDefinesTwelveFieldsInOrder) {
  EXPECT_THAT(
      Loaded(DocPosDefinitionLines()),
      ElementsAre(
          TLoaded{"NAZWADOK", kString, 10}, TLoaded{"NRDOK", kString, 25},
          TLoaded{"KODTOW", kString, 25}, TLoaded{"ILOSC", kCurrency, 0},
          TLoaded{"CENA", kCurrency, 0}, TLoaded{"PROCBONIF", kCurrency, 0},
          TLoaded{"CENA_UZG", kBoolean, 0}, TLoaded{"CENA_BRUTTO", kBoolean, 0},
          TLoaded{"UWAGI", kString, 0}, TLoaded{"CECHA_1", kString, 35},
          TLoaded{"CECHA_2", kString, 35}, TLoaded{"CECHA_3", kString, 35}));
  EXPECT_EQ(DocPosDefinitionLines()[5],
            Cp1250(u8"PROCBONIF:Currency;\t- bonifikata\t- liczone zgodnie z "
                   u8"definicją dokumentu")
                .str());
}

// --- Header conversion ------------------------------------------------------

TEST_F(TDocumentsTest, HeadLayout1WritesEveryFieldOfTheLine) {
  WriteHeads(1, {Head(1, {{"uwagi", "Pilne"},
                          {"kp_typ_dok", "FK"},
                          {"kp_numer", "7/2005"}})});
  EXPECT_TRUE(SameBytes(ReceiveHeads(1),
                        DokLine(1, {{"UWAGI", "Pilne"},
                                    {"DOT_NAZWADOK", "FA"},
                                    {"DOT_NRDOK", Padded("7/2005", 25)}})));
}

TEST_F(TDocumentsTest, HeadLayout2WritesItsOwnFieldsToo) {
  WriteHeads(2, {Head(2, {{"cecha1", "C1"},
                          {"cecha2", "C2"},
                          {"id_klient", "ODB7"},
                          {"ID_DOSTAWA", "DOST9"},
                          {"drukowany", "2"},
                          {"fiskalny", "T"}}),
                 Head(2, {{"drukowany", "0"}, {"fiskalny", "y"}})});
  EXPECT_TRUE(
      SameBytes(ReceiveHeads(2), DokLine(2, {{"CECHA_1", "C1"},
                                             {"CECHA_2", "C2"},
                                             {"IDKONTRAHODB", "ODB7"},
                                             {"IDKONTRAHDOST", "DOST9"},
                                             {"WYDRUKOWANY", "T"},
                                             {"ZAFISKALIZOWANY", "T"}}) +
                                     DokLine(2, {{"ZAFISKALIZOWANY", "T"}})));
}

TEST_F(TDocumentsTest, HeadOfTheOtherLayoutFailsOnTheFirstFieldItLacks) {
  // A layout 1 table read under layout 2. The gross flag is read before the
  // conversion, so give it one; then anulowany is the first field missing.
  std::vector<TColumn> columns = HeadColumns(1);
  columns.push_back({"Brutto", 'L', 1});
  WriteHeads(2, {Head(1, {{"Brutto", "T"}})}, &columns);
  EXPECT_THAT(
      [&] { ReceiveHeads(2); },
      ThrowsMessage<EBridgeError>(StrEq("Nie znaleziono pola anulowany")));
  // The host gets no import file from a failed run.
  EXPECT_FALSE(platform::FileExists(ImportPath("dok.txt")));
}

TEST_F(TDocumentsTest, PaymentKindsGiveTheirTextsByFirstCharacter) {
  for (const int layout : {1, 2}) {
    WriteHeads(
        layout,
        {Head(layout, {{"typ_plat", "G"}}), Head(layout, {{"typ_plat", "k"}}),
         Head(layout, {{"typ_plat", "M"}}), Head(layout, {{"typ_plat", " p"}}),
         Head(layout, {{"typ_plat", "T"}}), Head(layout, {{"typ_plat", "GX"}}),
         Head(layout, {{"typ_plat", "xy"}}), Head(layout, {{"typ_plat", ""}}),
         Head(layout, {{"typ_plat", "AB"}})});
    const std::string file = ReceiveHeads(layout);
    EXPECT_THAT(
        Column(file, DokNames(), "PLATNOSC"),
        ElementsAre(Cp1250(u8"Gotówka").str(), "Kompensata", "", "Przelew",
                    "Termin", Cp1250(u8"Gotówka").str(), "XY", "", "Anulowany"))
        << "layout " << layout;
    // Only the kind "G" itself is cash; "AB" is no cancellation.
    EXPECT_THAT(Column(file, DokNames(), "GOTOWKA"),
                ElementsAre("123.45", "0.00", "0.00", "0.00", "0.00", "0.00",
                            "0.00", "0.00", "0.00"));
    EXPECT_THAT(Column(file, DokNames(), "ANULOWANY"),
                ElementsAre("N", "N", "N", "N", "N", "N", "N", "N", "N"));
    EXPECT_TRUE(platform::RemoveFile(ImportPath("dok.txt")));
  }
}

TEST_F(TDocumentsTest, CashCountsOnlyWhenDueOnTheDayOfIssue) {
  WriteHeads(1, {Head(1, {{"data_plat", "20050308"}}),
                 Head(1, {{"wart_brut", "10.005"}})});
  const std::string file = ReceiveHeads(1);
  EXPECT_THAT(Column(file, DokNames(), "GOTOWKA"),
              ElementsAre("0.00", "10.01"));
  EXPECT_THAT(Column(file, DokNames(), "TERMIN"),
              ElementsAre("2005-03-08", "2005-03-07"));
}

TEST_F(TDocumentsTest, Layout1CancelsByPaymentKindA) {
  WriteHeads(1, {Head(1, {{"typ_plat", "a"}})});
  EXPECT_TRUE(
      SameBytes(ReceiveHeads(1), DokLine(1, {{"ANULOWANY", "T"},
                                             {"SUMA", "0.00"},
                                             {"GOTOWKA", "0.00"},
                                             {"PLATNOSC", "Anulowany"}})));
}

TEST_F(TDocumentsTest, Layout2CancelsByItsFlagAlone) {
  WriteHeads(2, {Head(2, {{"typ_plat", "A"}, {"anulowany", "F"}}),
                 Head(2, {{"anulowany", "T"}})});
  EXPECT_TRUE(
      SameBytes(ReceiveHeads(2),
                DokLine(2, {{"PLATNOSC", "Anulowany"}, {"GOTOWKA", "0.00"}}) +
                    // The cash taken stays on a cancelled document.
                    DokLine(2, {{"ANULOWANY", "T"}, {"SUMA", "0.00"}})));
}

TEST_F(TDocumentsTest, DocumentTypesBecomeHostDocumentNames) {
  for (const int layout : {1, 2}) {
    std::vector<TRow> rows;
    for (const char* type : {"FK", "NO", "NU", "PA", "DD", "ZW", "za", "KP"}) {
      rows.push_back(Head(layout, {{"TYP_DOK", type}, {"kp_typ_dok", type}}));
    }
    rows.push_back(Head(layout, {{"TYP_DOK", "KW"}, {"RODZAJ_DOK", "1"}}));
    rows.push_back(Head(layout, {{"TYP_DOK", "kw"}, {"RODZAJ_DOK", "1"}}));
    rows.push_back(Head(layout, {{"TYP_DOK", "KW"}, {"RODZAJ_DOK", "0"}}));
    rows.push_back(Head(layout, {{"TYP_DOK", "KW"}, {"RODZAJ_DOK", "2"}}));
    WriteHeads(layout, rows);
    const std::string file = ReceiveHeads(layout);
    EXPECT_THAT(Column(file, DokNames(), "NAZWADOK"),
                ElementsAre("FA", "NOP", "NOP", "PAR", "WZ", "ZWWZ", "ZA", "KP",
                            "KW_ROZ", "KW_ROZ", "KW", "KW"))
        << "layout " << layout;
    EXPECT_THAT(Column(file, DokNames(), "DOT_NAZWADOK"),
                ElementsAre("FA", "NOP", "NOP", "PAR", "WZ", "ZWWZ", "ZA", "KP",
                            "", "", "", ""));
    EXPECT_TRUE(platform::RemoveFile(ImportPath("dok.txt")));
  }
}

TEST_F(TDocumentsTest, CashOutKindIsReadOnlyForCashOutDocuments) {
  std::vector<TColumn> columns = HeadColumns(1);
  std::erase_if(columns,
                [](const TColumn& c) { return c.Name == "RODZAJ_DOK"; });
  TRow invoice = Head(1);
  invoice.Values.erase("RODZAJ_DOK");
  TRow cashOut = Head(1, {{"TYP_DOK", "KW"}});
  cashOut.Values.erase("RODZAJ_DOK");

  WriteHeads(1, {invoice}, &columns);
  EXPECT_EQ(ReceiveHeads(1), DokLine(1));
  EXPECT_TRUE(platform::RemoveFile(ImportPath("dok.txt")));

  WriteHeads(1, {invoice, cashOut}, &columns);
  EXPECT_THAT(
      [&] { ReceiveHeads(1); },
      ThrowsMessage<EBridgeError>(StrEq("Nie znaleziono pola RODZAJ_DOK")));
}

TEST_F(TDocumentsTest, BlankOrBadDatesBecomeTheZeroDate) {
  WriteHeads(2, {Head(2, {{"Data_dost", ""}, {"data_plat", "20051301"}}),
                 Head(2, {{"data_dok", "00000000"}})});
  const std::string file = ReceiveHeads(2);
  EXPECT_THAT(Column(file, DokNames(), "DATAOBOW"),
              ElementsAre("1899-12-30", "2005-03-10"));
  EXPECT_THAT(Column(file, DokNames(), "TERMIN"),
              ElementsAre("1899-12-30", "2005-03-07"));
  EXPECT_THAT(Column(file, DokNames(), "DATA"),
              ElementsAre("2005-03-07", "1899-12-30"));
  EXPECT_THAT(Column(file, DokNames(), "DOT_DATA"),
              ElementsAre("1899-12-31", "1899-12-31"));
}

TEST_F(TDocumentsTest, RemarksWithALineBreakReachTheHostAsCaretLines) {
  // "ł" is 0x88 in code page 852 and 0xB3 in Windows-1250.
  WriteHeads(1, {Head(1, {{"uwagi",
                           "Zap\x88"
                           "ata\r\nDruga linia"}})});
  EXPECT_THAT(Column(ReceiveHeads(1), DokNames(), "UWAGI"),
              ElementsAre(Cp1250(u8"Zapłata ^Druga linia").str()));
}

// --- Document numbers -------------------------------------------------------

TEST_F(TDocumentsTest, NumbersKeepTheirBlanksInDokTxtOnly) {
  for (const int layout : {1, 2}) {
    WriteHeads(layout, {Head(layout, {{"numer", " 12/2005"},
                                      {"TYP_DOK", " FK"},
                                      {"kp_numer", "KP 3"}})});
    WriteLines(layout, {Line(layout, {{"numer", " 12/2005"}})});
    EXPECT_EQ(ReceiveBoth(layout), PozLine(layout, {{"NRDOK", "12/2005"}}))
        << "layout " << layout;
    EXPECT_EQ(ReadBytes(ImportPath("dok.txt")),
              DokLine(layout, {{"NRDOK", Padded(" 12/2005", 25)},
                               {"DOT_NRDOK", Padded("KP 3", 25)}}));
    EXPECT_TRUE(platform::RemoveFile(ImportPath("dok.txt")));
    EXPECT_TRUE(platform::RemoveFile(ImportPath("poz.txt")));
  }
}

// --- Line conversion --------------------------------------------------------

TEST_F(TDocumentsTest, LineLayout1WritesNetPricesWithoutAttributes) {
  WriteHeads(1, {Head(1)});
  WriteLines(1, {Line(1),
                 Line(1, {{"TYP_DOK", "pa"},
                          {"CENA_USTAL", "N"},
                          {"ilosc", "0.0005"},
                          {"RABAT", "abc"},
                          {"Cena_net", "1.005"}}),
                 Line(1, {{"ID_tow", "X"}}, /*deleted=*/true)});
  EXPECT_TRUE(
      SameBytes(ReceiveBoth(1), PozLine(1) + PozLine(1, {{"NAZWADOK", "PAR"},
                                                         {"CENA_UZG", "N"},
                                                         {"ILOSC", "0.001"},
                                                         {"PROCBONIF", "0.00"},
                                                         {"CENA", "1.01"}})));
}

TEST_F(TDocumentsTest, LineLayout2WritesRemarksAndAttributes) {
  WriteHeads(2, {Head(2)});
  WriteLines(2, {Line(2, {{"uwagi", "Raz\r\ndwa"},
                          {"cecha", "partia 5"},
                          {"data_wazn", "20050401"}}),
                 Line(2, {{"data_wazn", ""}})});
  EXPECT_TRUE(SameBytes(ReceiveBoth(2), PozLine(2, {{"UWAGI", "Raz ^dwa"},
                                                    {"CECHA_1", "partia 5"},
                                                    {"CECHA_2", "20050401"}}) +
                                            PozLine(2)));
}

TEST_F(TDocumentsTest, Layout2PricesLinesOfGrossHeadersFromGross) {
  WriteHeads(2,
             {Head(2, {{"numer", "A/1"}, {"Brutto", "T"}}),
              Head(2, {{"numer", "A/2"}, {"Brutto", "F"}}),
              Head(2, {{"numer", "A/3"}, {"Brutto", "T"}}, /*deleted=*/true),
              Head(2, {{"numer", "A/4"}, {"TYP_DOK", "PA"}, {"Brutto", "y"}})});
  WriteLines(2, {Line(2, {{"numer", "a/1"}, {"TYP_DOK", "fk"}}),
                 Line(2, {{"numer", "A/2"}}), Line(2, {{"numer", "A/3"}}),
                 Line(2, {{"numer", "A/4"}}),  // a number of another type
                 Line(2, {{"numer", "A/4"}, {"TYP_DOK", "PA"}}),
                 Line(2, {{"numer", "A/9"}})});
  const std::string gross = "12.92";
  EXPECT_TRUE(SameBytes(
      ReceiveBoth(2),
      PozLine(2, {{"NRDOK", "a/1"}, {"CENA", gross}, {"CENA_BRUTTO", "T"}}) +
          PozLine(2, {{"NRDOK", "A/2"}}) + PozLine(2, {{"NRDOK", "A/3"}}) +
          PozLine(2, {{"NRDOK", "A/4"}}) +
          PozLine(2, {{"NAZWADOK", "PAR"},
                      {"NRDOK", "A/4"},
                      {"CENA", gross},
                      {"CENA_BRUTTO", "T"}}) +
          PozLine(2, {{"NRDOK", "A/9"}})));
}

TEST_F(TDocumentsTest, Layout1IgnoresGrossPricing) {
  // Layout 1 tables have neither Brutto nor Cena_brut, and asking for them
  // would fail.
  WriteHeads(1, {Head(1)});
  WriteLines(1, {Line(1)});
  EXPECT_EQ(ReceiveBoth(1), PozLine(1));
}

TEST_F(TDocumentsTest, NetLinesNeedNoGrossPriceField) {
  // The price not chosen is never read.
  WriteHeads(2, {Head(2)});
  UseLayout(2);
  std::vector<TColumn> columns = LineColumns(2);
  std::erase_if(columns,
                [](const TColumn& c) { return c.Name == "Cena_brut"; });
  TRow line = Line(2);
  line.Values.erase("Cena_brut");
  WriteBytes(UploadPath("dok_poz.dbf"), TableBytes(columns, {line}));
  EXPECT_EQ(ReceiveBoth(2), PozLine(2));
}

TEST_F(TDocumentsTest, TwoThreadsWriteWhatOneThreadWrites) {
  // Gross and net documents of two types, deleted headers and lines, lines
  // away from their documents and documents that occur twice, so that
  // either thread's gross documents price the other's lines.
  std::vector<TRow> heads;
  std::vector<TRow> lines;
  for (int i = 0; i < 40; ++i) {
    heads.push_back(Head(2,
                         {{"numer", "A/" + std::to_string(i % 31)},
                          {"TYP_DOK", i % 3 == 0 ? "PA" : "FK"},
                          {"Brutto", i % 4 == 1 ? "T" : "F"},
                          {"wart_brut", std::to_string(i) + ".5"}},
                         i % 9 == 4));
  }
  for (int i = 0; i < 90; ++i) {
    lines.push_back(Line(2,
                         {{"numer", "a/" + std::to_string(i * 7 % 37)},
                          {"TYP_DOK", i % 2 == 0 ? "pa" : "FK"},
                          {"ilosc", std::to_string(i)}},
                         i % 11 == 5));
  }
  WriteHeads(2, heads);
  WriteLines(2, lines);
  struct TRun {
    std::string Heads, Lines;
    std::vector<std::string> Gross;
    bool operator==(const TRun&) const = default;
  };
  const auto receive = [&](std::size_t blockBytes) {
    TTransDocHead headTransfer(FNow, "dok.txt", HeadTable(2));
    TTransDocPos lineTransfer(headTransfer, FNow, "poz.txt", LineTable(2));
    headTransfer.SetBlockBytes(blockBytes);
    lineTransfer.SetBlockBytes(blockBytes);
    headTransfer.Receive();
    lineTransfer.Receive();
    TRun run{ReadBytes(ImportPath("dok.txt")), ReadBytes(ImportPath("poz.txt")),
             headTransfer.GrossDocuments()};
    std::sort(run.Gross.begin(), run.Gross.end());
    EXPECT_TRUE(platform::RemoveFile(ImportPath("dok.txt")));
    EXPECT_TRUE(platform::RemoveFile(ImportPath("poz.txt")));
    return run;
  };
  const TRun alone = receive(TTransManager::kBlockBytes);
  EXPECT_EQ(alone.Gross.size(), 9U);
  // Blocks of one record, of a few, and of a quarter of either table.
  for (const std::size_t blockBytes : {1U, 700U, 2'000U}) {
    EXPECT_EQ(receive(blockBytes), alone) << blockBytes;
  }
}

// --- The gross document list ------------------------------------------------

TEST(TDocGrossList, KeysAreTrimmedUpperCaseAndKeepDuplicates) {
  TTransDocHead heads(0.0, "dok.txt", "dok_nagl.dbf");
  heads.AddGrossDocument("fk ", " 12/2005a");
  heads.AddGrossDocument("FK", "12/2005A");
  EXPECT_THAT(heads.GrossDocuments(),
              ElementsAre("FK;12/2005A", "FK;12/2005A"));
  EXPECT_TRUE(heads.IsGrossDocument("Fk", "12/2005a   "));
  EXPECT_FALSE(heads.IsGrossDocument("FK", "12/2005"));
  EXPECT_FALSE(heads.IsGrossDocument("PA", "12/2005A"));
  // A document's lines ask one after another; one added in between counts
  // at once.
  EXPECT_FALSE(heads.IsGrossDocument("PA", "1"));
  EXPECT_FALSE(heads.IsGrossDocument("PA", "1"));
  heads.AddGrossDocument("PA", "1");
  EXPECT_TRUE(heads.IsGrossDocument("PA", "1"));
  EXPECT_TRUE(heads.IsGrossDocument("pa", "1 "));
  EXPECT_FALSE(heads.IsGrossDocument("PA", "12"));
  EXPECT_EQ(DocumentKey(Cp1250(u8" zł "), "x"), Cp1250(u8"ZŁ;X").str());
}

}  // namespace
}  // namespace bridge::testing
