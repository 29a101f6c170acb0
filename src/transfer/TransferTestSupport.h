// What the transfer tests share: a program directory with device "7"
// configured, a data directory as KATALOG, a fixed clock, and helpers to put
// host export files and device uploads in place and find what a job wrote.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/Uglobal.h"
#include "platform/Files.h"
#include "testing/ConfigTestSupport.h"
#include "testing/TestSupport.h"
#include "transfer/DocumentTablesTestSupport.h"

namespace bridge::testing {

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
