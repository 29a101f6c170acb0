// Document tables written by other dBase software. Devices are not bound to
// our engine, so shapelib's dbfcreate/dbfadd and GDAL's ogr2ogr build the
// upload tables here, and the whole receive job turns them into dok.txt and
// poz.txt. A test is skipped only when its tool is not installed.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "transfer/DocumentTablesTestSupport.h"
#include "transfer/TransferTestSupport.h"
#include "transfer/uMain2_jobs.h"

namespace bridge::testing {
namespace {

using ::testing::ElementsAreArray;

// The full path of an executable found on PATH, or "" when there is none.
std::string FindOnPath(std::string_view name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view dir = rest.substr(0, colon);
    rest.remove_prefix(colon == std::string_view::npos ? rest.size()
                                                       : colon + 1);
    if (dir.empty()) continue;
    std::string candidate = std::string(dir) + "/" + std::string(name);
    if (platform::FileExists(candidate)) return candidate;
  }
  return "";
}

void RunTool(const std::string& exe, const std::vector<std::string>& args) {
  const TRunResult result = RunExecutable(exe, args);
  EXPECT_EQ(result.Status, 0) << exe << ": " << result.Stderr;
  // ogrinfo reports a failed statement on standard error and still exits 0.
  EXPECT_EQ(result.Stderr.find("ERROR"), std::string::npos)
      << exe << ": " << result.Stderr;
}

std::string ValueOf(const TRow& row, const TColumn& column) {
  const auto found = row.Values.find(column.Name);
  return found == row.Values.end() ? "" : found->second;
}

void ExpectOnlyKnownColumns(const std::vector<TColumn>& columns,
                            const std::vector<TRow>& rows) {
  for (const TRow& row : rows) {
    for (const auto& [name, value] : row.Values) {
      bool known = false;
      for (const TColumn& column : columns) known |= column.Name == name;
      EXPECT_TRUE(known) << "no column " << name;
    }
  }
}

unsigned Byte(const std::string& bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes.at(at));
}

// The descriptors as "name type length.decimals", read straight from the
// bytes, so that each test states what its tool really wrote.
std::vector<std::string> Descriptors(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::size_t at = 32; at + 32 <= bytes.size() && bytes[at] != '\r';
       at += 32) {
    const std::string name = bytes.substr(at, 11);
    out.push_back(name.substr(0, name.find('\0')) + " " + bytes[at + 11] + " " +
                  std::to_string(Byte(bytes, at + 16)) + "." +
                  std::to_string(Byte(bytes, at + 17)));
  }
  return out;
}

// The descriptors a tool should write for the columns, with the types it
// puts in place of those it cannot write.
std::vector<std::string> Expected(const std::vector<TColumn>& columns,
                                  std::string_view dateType) {
  std::vector<std::string> out;
  for (const TColumn& column : columns) {
    char type = column.Type;
    if (type == 'L') type = 'C';
    if (type == 'D') type = dateType[0];
    out.push_back(column.Name + " " + type + " " +
                  std::to_string(column.Length) + "." +
                  std::to_string(column.Decimals));
  }
  return out;
}

// --- shapelib ---------------------------------------------------------------

// dbfcreate knows only C and N fields, so a date goes into a C 8 field and a
// logical into a C 1 field; the device's text is the same either way. dbfadd
// writes its arguments' bytes as they are, so text comes in code page 852.
void WriteWithShapelib(const std::string& path,
                       const std::vector<TColumn>& columns,
                       const std::vector<TRow>& rows) {
  ExpectOnlyKnownColumns(columns, rows);
  std::vector<std::string> create = {path};
  for (const TColumn& column : columns) {
    if (column.Type == 'N') {
      create.insert(create.end(),
                    {"-n", column.Name, std::to_string(column.Length),
                     std::to_string(column.Decimals)});
    } else {
      create.insert(create.end(),
                    {"-s", column.Name, std::to_string(column.Length)});
    }
  }
  RunTool(FindOnPath("dbfcreate"), create);
  for (const TRow& row : rows) {
    std::vector<std::string> add = {path};
    for (const TColumn& column : columns) add.push_back(ValueOf(row, column));
    RunTool(FindOnPath("dbfadd"), add);
  }
  // Neither tool can delete a record: only shapelib's library can mark one.
  // A device deletes by the flag byte alone, so set it as dBase does, in the
  // record's first byte after the header length that the tool wrote.
  std::string bytes = ReadBytes(path);
  const std::size_t headerLength = Byte(bytes, 8) | Byte(bytes, 9) << 8;
  const std::size_t recordLength = Byte(bytes, 10) | Byte(bytes, 11) << 8;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].Deleted) bytes.at(headerLength + i * recordLength) = '*';
  }
  WriteBytes(path, bytes);
}

// --- GDAL -------------------------------------------------------------------

std::string CsvField(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// ogr2ogr turns a CSV with a .csvt of column types into a dBase table and
// recodes the UTF-8 text to code page 852. GDAL 3.6 writes a Boolean column
// as N 1 holding 1 or 0 and reads an L field back as text, so a logical goes
// in as a one-character text. It deletes through its SQLite dialect when the
// table is not repacked on closing, which would drop the deleted records.
void WriteWithGdal(const std::string& path, const std::vector<TColumn>& columns,
                   const std::vector<TRow>& rows) {
  ExpectOnlyKnownColumns(columns, rows);
  TTempDir work;
  std::string stem = platform::ExtractFileName(path);
  stem.resize(stem.size() - 4);  // ".dbf"
  std::string csv;
  std::string types;
  for (const TColumn& column : columns) {
    if (!csv.empty()) {
      csv += ',';
      types += ',';
    }
    csv += CsvField(column.Name);
    const std::string width = std::to_string(column.Length);
    if (column.Type == 'D') {
      types += "\"Date\"";
    } else if (column.Type == 'N' && column.Decimals == 0) {
      types += "\"Integer(" + width + ")\"";
    } else if (column.Type == 'N') {
      types +=
          "\"Real(" + width + "." + std::to_string(column.Decimals) + ")\"";
    } else {
      types += "\"String(" + width + ")\"";
    }
  }
  csv += "\r\n";
  std::string deleted;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      std::string value = ValueOf(rows[i], columns[c]);
      if (columns[c].Type == 'D' && value.size() == 8) {
        value = value.substr(0, 4) + "-" + value.substr(4, 2) + "-" +
                value.substr(6, 2);
      }
      if (c > 0) csv += ',';
      csv += CsvField(value);
    }
    csv += "\r\n";
    if (rows[i].Deleted) {
      deleted += (deleted.empty() ? "" : ",") + std::to_string(i);
    }
  }
  const std::string csvPath = work / (stem + ".csv");
  WriteBytes(csvPath, csv);
  WriteBytes(work / (stem + ".csvt"), types + "\r\n");
  const std::string table = work / (stem + ".dbf");
  RunTool(FindOnPath("ogr2ogr"),
          {"-f", "ESRI Shapefile", "-lco", "ENCODING=CP852", table, csvPath});
  if (!deleted.empty()) {
    RunTool(FindOnPath("ogrinfo"),
            {"-oo", "AUTO_REPACK=NO", table, "-dialect", "SQLite", "-sql",
             "DELETE FROM \"" + stem + "\" WHERE rowid IN (" + deleted + ")"});
  }
  // Only the table goes up: the .cpg beside it is GDAL's own.
  WriteBytes(path, ReadBytes(table));
}

// --- The documents ----------------------------------------------------------

// "Zażółć gęślą jaźń" in code page 852, as a device stores it.
constexpr std::string_view kRemark852 =
    "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4";

// A cash invoice with the remark, a deleted invoice, a record with every
// field blank and a transfer-paid receipt after them. In layout 2 both
// invoices are gross.
std::vector<TRow> Heads(int layout, const std::string& remark) {
  TValues first = {{"uwagi", remark}};
  TValues second = {{"numer", "13/2005"}};
  if (layout == 2) {
    first.insert({{"Brutto", "T"},
                  {"fiskalny", "T"},
                  {"drukowany", "1"},
                  {"cecha1", "C1"},
                  {"id_klient", "odb7"}});
    second["Brutto"] = "T";
  }
  return {Head(layout, first), Head(layout, second, /*deleted=*/true), TRow{},
          Head(layout, {{"numer", "14/2005"},
                        {"TYP_DOK", "pa"},
                        {"typ_plat", "p"},
                        {"data_plat", "20050321"}})};
}

std::vector<TRow> Lines(int layout) {
  const std::string product = layout == 1 ? "ID_tow" : "Id_towar";
  TValues first;
  if (layout == 2) first = {{"data_wazn", "20050401"}};
  return {Line(layout, first), Line(layout, {{"numer", "13/2005"}}),
          Line(layout, {{product, "X"}}, /*deleted=*/true), TRow{},
          Line(layout, {{"numer", "14/2005"},
                        {"TYP_DOK", "PA"},
                        {"CENA_USTAL", "F"},
                        {"ilosc", "1"},
                        {"RABAT", "0"}})};
}

std::string ExpectedDok(int layout) {
  TValues first = {{"UWAGI", Cp1250(u8"Zażółć gęślą jaźń")}};
  if (layout == 2) {
    first.insert({{"WYDRUKOWANY", "T"},
                  {"ZAFISKALIZOWANY", "T"},
                  {"CECHA_1", "C1"},
                  {"IDKONTRAHODB", "odb7"}});
  }
  // Blank numbers read as 0 and blank dates as the zero date, whether the
  // tool wrote blanks, asterisks or zeros.
  const std::string blank = DokLine(layout, {{"IDKONTRAH", ""},
                                             {"DATA", "1899-12-30"},
                                             {"NAZWADOK", ""},
                                             {"NRDOK", Padded("", 25)},
                                             {"TERMIN", "1899-12-30"},
                                             {"PLATNOSC", ""},
                                             {"SUMA", "0.00"},
                                             {"GOTOWKA", "0.00"},
                                             {"DATAOBOW", "1899-12-30"}});
  return DokLine(layout, first) + blank +
         DokLine(layout, {{"NAZWADOK", "PAR"},
                          {"NRDOK", Padded("14/2005", 25)},
                          {"TERMIN", "2005-03-21"},
                          {"PLATNOSC", "Przelew"},
                          {"GOTOWKA", "0.00"}});
}

// The validity date reaches the host as the text stored, so a blank one
// gives what the tool writes for a blank date: blanks from shapelib's C
// field, "00000000" from GDAL's D field.
std::string ExpectedPoz(int layout, const std::string& blankDate) {
  std::vector<TValues> lines = {
      {},
      // The line of the deleted gross invoice is priced net.
      {{"NRDOK", "13/2005"}},
      {{"NAZWADOK", ""},
       {"NRDOK", ""},
       {"KODTOW", ""},
       {"ILOSC", "0.000"},
       {"CENA", "0.00"},
       {"PROCBONIF", "0.00"},
       {"CENA_UZG", "N"}},
      {{"NAZWADOK", "PAR"},
       {"NRDOK", "14/2005"},
       {"ILOSC", "1.000"},
       {"PROCBONIF", "0.00"},
       {"CENA_UZG", "N"}}};
  if (layout == 2) {
    lines[0] = {
        {"CENA", "12.92"}, {"CENA_BRUTTO", "T"}, {"CECHA_2", "20050401"}};
    for (std::size_t i = 1; i < lines.size(); ++i) {
      lines[i]["CECHA_2"] = blankDate;
    }
  }
  std::string out;
  for (const TValues& changes : lines) out += PozLine(layout, changes);
  return out;
}

class TInteropReceiveTest : public TTransferTest,
                            public ::testing::WithParamInterface<int> {
 protected:
  TInteropReceiveTest() {
    Config().SetValue("WERSJA", Layout() == 1 ? "1.7.0" : "1.8.0");
    Config().SetValue("BACKUP", "0");
  }
  static int Layout() { return GetParam(); }
  std::string HeadPath() {
    return UploadPath(Layout() == 1 ? "dokument.dbf" : "dok_nagl.dbf");
  }
  std::string LinePath() {
    return UploadPath(Layout() == 1 ? "poz_dok.dbf" : "dok_poz.dbf");
  }
  void ReceiveAndCompare(const std::string& blankDate) {
    ReceiveJob();
    EXPECT_TRUE(
        SameBytes(ReadBytes(ImportPath("dok.txt")), ExpectedDok(Layout())));
    EXPECT_TRUE(SameBytes(ReadBytes(ImportPath("poz.txt")),
                          ExpectedPoz(Layout(), blankDate)));
  }
};

TEST_P(TInteropReceiveTest, ShapelibTablesGiveTheHostLines) {
  if (FindOnPath("dbfcreate").empty() || FindOnPath("dbfadd").empty()) {
    GTEST_SKIP() << "dbfcreate and dbfadd are not on PATH (Debian package "
                    "shapelib)";
  }
  WriteWithShapelib(HeadPath(), HeadColumns(Layout()),
                    Heads(Layout(), std::string(kRemark852)));
  WriteWithShapelib(LinePath(), LineColumns(Layout()), Lines(Layout()));
  ASSERT_THAT(Descriptors(ReadBytes(HeadPath())),
              ElementsAreArray(Expected(HeadColumns(Layout()), "C")));
  ASSERT_THAT(Descriptors(ReadBytes(LinePath())),
              ElementsAreArray(Expected(LineColumns(Layout()), "C")));
  ReceiveAndCompare("");
}

TEST_P(TInteropReceiveTest, GdalTablesGiveTheHostLines) {
  if (FindOnPath("ogr2ogr").empty() || FindOnPath("ogrinfo").empty()) {
    GTEST_SKIP() << "ogr2ogr and ogrinfo are not on PATH (Debian package "
                    "gdal-bin)";
  }
  WriteWithGdal(HeadPath(), HeadColumns(Layout()),
                Heads(Layout(), U8(u8"Zażółć gęślą jaźń")));
  WriteWithGdal(LinePath(), LineColumns(Layout()), Lines(Layout()));
  ASSERT_THAT(Descriptors(ReadBytes(HeadPath())),
              ElementsAreArray(Expected(HeadColumns(Layout()), "D")));
  ASSERT_THAT(Descriptors(ReadBytes(LinePath())),
              ElementsAreArray(Expected(LineColumns(Layout()), "D")));
  // The deleted records stay in the table, flagged.
  const std::string heads = ReadBytes(HeadPath());
  EXPECT_EQ(Byte(heads, 4), 4U);
  ReceiveAndCompare("00000000");
}

INSTANTIATE_TEST_SUITE_P(Layouts, TInteropReceiveTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return "Layout" + std::to_string(param.param);
                         });

}  // namespace
}  // namespace bridge::testing
