#include "transfer/Utransrozlicz.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "transfer/TransferTestSupport.h"

namespace bridge::testing {
namespace {

// The columns of doknieroz.txt in the order in which the host writes them.
constexpr std::array<std::string_view, 13> kColumns = {
    "ID_ROZLICZENIE",    "ID_TYPROZRACH", "KAL_WN",        "ID_KONTRAH",
    "NRKONTRAH",         "DOKUMENT",      "NRDOKZEW",      "DATADOKZEW",
    "TERMPLATN",         "KAL_KWOTAPLN",  "KAL_POZOSTPLN", "ID_KONTRAHODBIORCA",
    "NR_KONTRAHODBIORCA"};

using TValues = std::map<std::string, std::string>;

std::string HostLine(const TValues& values) {
  std::string line;
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    if (i > 0) line += '\t';
    const auto found = values.find(std::string(kColumns[i]));
    if (found != values.end()) line += found->second;
  }
  return line + "\r\n";
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
    std::string descriptor(32, '\0');
    descriptor.replace(0, f.Name.size(), f.Name);
    descriptor[11] = f.Type;
    descriptor[16] = static_cast<char>(f.Length);
    descriptor[17] = static_cast<char>(f.Decimals);
    bytes += descriptor;
  }
  return bytes + '\r';
}

std::string Padded(std::string_view text, std::size_t width) {
  std::string padded(text);
  padded.resize(width, ' ');
  return padded;
}

enum class TLayout { k170, k180 };

class TTransRozliczTest : public TTransferTest {
 protected:
  std::string TableName(TLayout layout) const {
    return layout == TLayout::k170 ? "dok_kre.dbf" : "kredyt.dbf";
  }

  // Sends the host lines with the transfer of the layout, as the send job
  // builds it, and gives every record of the table with each value exactly
  // as stored, by field name.
  std::vector<TValues> Send(TLayout layout, const std::vector<TValues>& lines) {
    std::string file;
    for (const TValues& values : lines) file += HostLine(values);
    WriteExport("doknieroz.txt", file);
    Run(layout);
    return ReadTable(DownloadPath(TableName(layout)));
  }
  TValues SendOne(TLayout layout, const TValues& values) {
    const std::vector<TValues> records = Send(layout, {values});
    EXPECT_EQ(records.size(), 1U);
    return records.empty() ? TValues{} : records.front();
  }
  void Run(TLayout layout) {
    Config().SetValue("WERSJA", layout == TLayout::k170 ? "1.7.0" : "1.8.0");
    std::unique_ptr<TTransManager> transfer;
    if (layout == TLayout::k170) {
      transfer = std::make_unique<TTransRozlicz_v170>(FNow, "doknieroz.txt",
                                                      TableName(layout));
    } else {
      transfer = std::make_unique<TTransRozlicz_v180>(FNow, "doknieroz.txt",
                                                      TableName(layout));
    }
    transfer->Send();
  }

  static std::vector<TValues> ReadTable(const std::string& path) {
    std::vector<TValues> records;
    TDBF table;
    if (!table.Open(path)) return records;
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

TEST_F(TTransRozliczTest, Layout170DeclaresTheNineFieldsOfDokKre) {
  Send(TLayout::k170, {{{"NRKONTRAH", "1"}}});
  const std::string expected = Descriptors({{"TYP_DOK", 'C', 3, 0},
                                            {"NUMER", 'C', 20, 0},
                                            {"ID_KL", 'C', 15, 0},
                                            {"DATA_WYST", 'D', 8, 0},
                                            {"DATA_PLAT", 'D', 8, 0},
                                            {"WART_BRUT", 'N', 10, 2},
                                            {"DO_ZAPL", 'N', 10, 2},
                                            {"DATA_ZAPL", 'D', 8, 0},
                                            {"NR_KP", 'C', 20, 0}});
  EXPECT_TRUE(SameBytes(
      ReadBytes(DownloadPath("dok_kre.dbf")).substr(32, expected.size()),
      expected));
}

TEST_F(TTransRozliczTest, Layout180DeclaresTheEightFieldsOfKredyt) {
  Send(TLayout::k180, {{{"NRKONTRAH", "1"}}});
  const std::string expected = Descriptors({{"TYP_DOK", 'C', 6, 0},
                                            {"NUMER", 'C', 25, 0},
                                            {"ID_PLATNIK", 'C', 15, 0},
                                            {"ID_KLIENT", 'C', 15, 0},
                                            {"DATA_DOK", 'D', 8, 0},
                                            {"DATA_PLAT", 'D', 8, 0},
                                            {"WART_BRUT", 'N', 10, 2},
                                            {"DO_ZAPLATY", 'N', 10, 2}});
  EXPECT_TRUE(SameBytes(
      ReadBytes(DownloadPath("kredyt.dbf")).substr(32, expected.size()),
      expected));
}

// --- Every field from its column ---------------------------------------------

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
  const TValues expected = {{"TYP_DOK", "FK "},
                            {"NUMER", Padded("FA/12/2009", 20)},
                            // As the host wrote it, leading zeros kept.
                            {"ID_KL", Padded("0042", 15)},
                            {"DATA_WYST", "20090315"},
                            {"DATA_PLAT", "20090329"},
                            {"WART_BRUT", "   1230.50"},
                            {"DO_ZAPL", "    150.50"},
                            {"DATA_ZAPL", Padded("", 8)},
                            {"NR_KP", Padded("", 20)}};
  EXPECT_EQ(SendOne(TLayout::k170, EveryColumn()), expected);
}

TEST_F(TTransRozliczTest, Layout180WritesEveryFieldFromItsColumn) {
  const TValues expected = {{"TYP_DOK", "FK    "},
                            {"NUMER", Padded("FA/12/2009", 25)},
                            {"ID_PLATNIK", Padded("0042", 15)},
                            {"ID_KLIENT", Padded("77", 15)},
                            {"DATA_DOK", "20090315"},
                            {"DATA_PLAT", "20090329"},
                            {"WART_BRUT", "   1230.50"},
                            {"DO_ZAPLATY", "    150.50"}};
  EXPECT_EQ(SendOne(TLayout::k180, EveryColumn()), expected);
}

// --- Single conversions ------------------------------------------------------

TEST_F(TTransRozliczTest, DocumentTypeIsMappedAndCutToTheField) {
  const std::vector<TValues> types = {{{"DOKUMENT", "fa"}},
                                      {{"DOKUMENT", " par "}},
                                      {{"DOKUMENT", "KP"}},
                                      {{"DOKUMENT", "wzkor"}}};
  const std::vector<TValues> v170 = Send(TLayout::k170, types);
  ASSERT_EQ(v170.size(), 4U);
  EXPECT_EQ(v170[0].at("TYP_DOK"), "FK ");
  EXPECT_EQ(v170[1].at("TYP_DOK"), "PA ");
  EXPECT_EQ(v170[2].at("TYP_DOK"), "KP ");
  EXPECT_EQ(v170[3].at("TYP_DOK"), "WZK");
  const std::vector<TValues> v180 = Send(TLayout::k180, types);
  ASSERT_EQ(v180.size(), 4U);
  EXPECT_EQ(v180[3].at("TYP_DOK"), "WZKOR ");
}

TEST_F(TTransRozliczTest, OpenAmountIsNegatedUnlessItIsAReceivable) {
  const auto side = [](std::string_view kalWn, std::string_view open) {
    return TValues{{"KAL_WN", std::string(kalWn)},
                   {"KAL_POZOSTPLN", std::string(open)},
                   {"KAL_KWOTAPLN", "150.5"}};
  };
  const std::vector<TValues> records =
      Send(TLayout::k180,
           {side("T", "150.5"), side("t", "150.5"), side("1", "150.5"),
            side("y", "150.5"), side("N", "150.5"), side("", "150.5"),
            side("N", "0"), side("N", "-20")});
  ASSERT_EQ(records.size(), 8U);
  EXPECT_EQ(records[0].at("DO_ZAPLATY"), "    150.50");
  EXPECT_EQ(records[1].at("DO_ZAPLATY"), "    150.50");
  EXPECT_EQ(records[2].at("DO_ZAPLATY"), "    150.50");
  EXPECT_EQ(records[3].at("DO_ZAPLATY"), "    150.50");
  EXPECT_EQ(records[4].at("DO_ZAPLATY"), "   -150.50");
  EXPECT_EQ(records[5].at("DO_ZAPLATY"), "   -150.50");
  // Nothing open carries no sign.
  EXPECT_EQ(records[6].at("DO_ZAPLATY"), "      0.00");
  EXPECT_EQ(records[7].at("DO_ZAPLATY"), "     20.00");
  // The document amount is never signed.
  EXPECT_EQ(records[5].at("WART_BRUT"), "    150.50");
}

TEST_F(TTransRozliczTest, CustomerFallsBackToTheContractorOnlyForZero) {
  const auto recipient = [](std::string_view value) {
    return TValues{{"NRKONTRAH", "42"},
                   {"NR_KONTRAHODBIORCA", std::string(value)}};
  };
  const std::vector<TValues> records =
      Send(TLayout::k180, {recipient("0"), recipient("  0 "), recipient(""),
                           recipient("15"), recipient("00")});
  ASSERT_EQ(records.size(), 5U);
  EXPECT_EQ(records[0].at("ID_KLIENT"), Padded("42", 15));
  EXPECT_EQ(records[1].at("ID_KLIENT"), Padded("42", 15));
  EXPECT_EQ(records[2].at("ID_KLIENT"), Padded("", 15));
  EXPECT_EQ(records[3].at("ID_KLIENT"), Padded("15", 15));
  EXPECT_EQ(records[4].at("ID_KLIENT"), Padded("00", 15));
  for (const TValues& record : records) {
    EXPECT_EQ(record.at("ID_PLATNIK"), Padded("42", 15));
  }
}

TEST_F(TTransRozliczTest, UnreadableDatesAndAmountsBecomeZero) {
  const TValues record = SendOne(TLayout::k170, {{"DATADOKZEW", "2009-02-30"},
                                                 {"TERMPLATN", ""},
                                                 {"KAL_KWOTAPLN", "abc"},
                                                 {"KAL_POZOSTPLN", ""},
                                                 {"KAL_WN", "T"}});
  EXPECT_EQ(record.at("DATA_WYST"), "18991230");
  EXPECT_EQ(record.at("DATA_PLAT"), "18991230");
  EXPECT_EQ(record.at("WART_BRUT"), "      0.00");
  EXPECT_EQ(record.at("DO_ZAPL"), "      0.00");
}

TEST_F(TTransRozliczTest, EmptyOrMissingHostFileLeavesNoTable) {
  Run(TLayout::k170);
  EXPECT_FALSE(platform::FileExists(DownloadPath("dok_kre.dbf")));
  WriteExport("doknieroz.txt", "");
  Run(TLayout::k180);
  EXPECT_FALSE(platform::FileExists(DownloadPath("kredyt.dbf")));
}

}  // namespace
}  // namespace bridge::testing
