// What the transfer tests share: a program directory with device "7"
// configured, a data directory as KATALOG, a fixed clock, and helpers to put
// host export files and device uploads in place, run a transfer and read
// what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Uglobal.h"
#include "dbf/uDBF.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"
#include "transfer/DocumentTablesTestSupport.h"

namespace bridge::testing {

// Every record of a table, each value as stored but for its padding: the
// blanks before a number, the blanks after anything else. A table that is
// not there has no records.
inline std::vector<TValues> ReadTable(const std::string& path) {
  std::vector<TValues> records;
  if (!platform::FileExists(path)) return records;
  TDBF table;
  EXPECT_TRUE(table.Open(path));
  for (const auto& field : table.Fields()) field->SetClean(false);
  for (table.First(); !table.Eof(); table.Next()) {
    const TDBFRecord* record = table.ReadRecord();
    if (record == nullptr) break;
    TValues& values = records.emplace_back();
    for (const auto& field : table.Fields()) {
      std::string value = record->GetString(*field);
      if (field->FieldType() == 'N') {
        value.erase(0, value.find_first_not_of(' '));
      } else {
        value.erase(value.find_last_not_of(' ') + 1);
      }
      values[field->Name()] = value;
    }
  }
  return records;
}

// The values of one field, record by record.
inline std::vector<std::string> Column(const std::vector<TValues>& records,
                                       const std::string& field) {
  std::vector<std::string> values;
  values.reserve(records.size());
  for (const TValues& record : records) values.push_back(record.at(field));
  return values;
}

// One value case: the values of one host line, a field of the table and
// what the record of that line holds there, padding removed.
struct TValueCase {
  TValues Input;
  std::string Field;
  std::string Expected;
};

// Sends one line per case through send, which takes the lines and gives
// the records of the table written, and checks each case against the
// record of its line.
template <typename TSend>
void ExpectCases(const std::vector<TValueCase>& cases, TSend&& send) {
  std::vector<TValues> lines;
  lines.reserve(cases.size());
  for (const TValueCase& valueCase : cases) lines.push_back(valueCase.Input);
  const std::vector<TValues> records = send(lines);
  ASSERT_EQ(records.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const TValueCase& valueCase = cases[i];
    const auto found = records[i].find(valueCase.Field);
    ASSERT_NE(found, records[i].end()) << "no field " << valueCase.Field;
    EXPECT_EQ(found->second, valueCase.Expected)
        << valueCase.Field << " of case " << i + 1 << ", "
        << ::testing::PrintToString(valueCase.Input);
  }
}

// One device's world: while it lives, the system and the configuration are
// its own. Tests that need several fresh worlds in a row make one each.
class TDevice {
 public:
  TDevice() { FConfig.Get().SetValue("KATALOG", FData.Str()); }
  TDevice(const TDevice&) = delete;
  TDevice& operator=(const TDevice&) = delete;

  // Writes a host export file (Windows-1250 bytes) for the device.
  void WriteExport(std::string_view name, std::string_view bytes) {
    WriteBytes(Join(ExportDir(), name), bytes);
  }
  // One host line per record, each value in its column.
  void WriteExport(std::string_view name,
                   const std::vector<std::string>& columns,
                   const std::vector<TValues>& lines) {
    std::string bytes;
    for (const TValues& values : lines) bytes += HostLine(columns, values);
    WriteExport(name, bytes);
  }
  // Sends the lines with a TTransfer built as the send job builds it, from
  // the clock, the host file, the table and any further arguments, and
  // gives the records of the table it wrote.
  template <typename TTransfer, typename... TArgs>
  std::vector<TValues> SendLines(std::string_view hostFile,
                                 const std::vector<std::string>& columns,
                                 const std::vector<TValues>& lines,
                                 std::string_view table, TArgs... args) {
    WriteExport(hostFile, columns, lines);
    TTransfer(FNow, hostFile, table, args...).Send();
    return ReadTable(DownloadPath(table));
  }
  // For each {value, expected} sets the device parameter key to the value,
  // sends one record with send and expects its field to hold what it should.
  template <typename TSend>
  void ExpectForParameter(
      std::string_view key, const std::string& field,
      const std::vector<std::pair<std::string, std::string>>& cases,
      TSend&& send) {
    for (const auto& [value, expected] : cases) {
      Config().SetValue(key, value);
      const std::vector<TValues> records = send();
      ASSERT_EQ(records.size(), 1U) << key << '=' << value;
      EXPECT_EQ(records[0].at(field), expected) << key << "=\"" << value << '"';
    }
  }
  // The project's sample export: every file of the send job.
  void WriteSampleExport() {
    for (const char* name :
         {"kontrahent.txt", "doknieroz.txt", "grkart1.txt", "grkart2.txt",
          "kartoteka.txt", "bank.txt", "konfiguracja.txt"}) {
      WriteExport(name, ReadBytes(std::string(FORBOOK_SOURCE_DIR) +
                                  "/samples/host/12/Eksport/" + name));
    }
  }
  // Both document tables of a layout in the upload directory, and the
  // layout in the configuration.
  void WriteUploads(int layout, const std::vector<TRow>& heads,
                    const std::vector<TRow>& lines,
                    std::vector<TColumn> lineColumns = {}) {
    Config().SetValue("WERSJA", layout == 1 ? "1.7.0" : "1.8.0");
    WriteBytes(UploadPath(layout == 1 ? "dokument.dbf" : "dok_nagl.dbf"),
               TableBytes(HeadColumns(layout), heads));
    if (lineColumns.empty()) lineColumns = LineColumns(layout);
    WriteBytes(UploadPath(layout == 1 ? "poz_dok.dbf" : "dok_poz.dbf"),
               TableBytes(lineColumns, lines));
  }
  void UseLayout(std::string_view layout) {
    Config().SetValue("WERSJA", layout);
  }
  std::string DownloadPath(std::string_view name) {
    return Join(DownloadDir(), name);
  }
  std::string UploadPath(std::string_view name) {
    return Join(UploadDir(), name);
  }
  std::string ImportPath(std::string_view name) {
    return Join(ImportDir(), name);
  }
  TConfigFile& Config() { return FConfig.Get(); }

  TTempDir FProgram;
  TTempDir FData;
  TDateTime FNow = EncodeDateTime({2005, 3, 7, 14, 5, 9, 0});
  TTestSystem FSystem{FProgram.Str(), {"RW:W", "KU:7"}, '.', FNow};
  TScopedConfigFile FConfig{"7"};
};

class TTransferTest : public ::testing::Test, public TDevice {};

}  // namespace bridge::testing
