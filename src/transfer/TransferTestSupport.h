// What the transfer tests share: a program directory with device "7"
// configured, a data directory as KATALOG, a fixed clock, and helpers to put
// host export files in place and find the tables written.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "app/Uglobal.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"

namespace bridge::testing {

class TTransferTest : public ::testing::Test {
 protected:
  TTransferTest() { FConfig.Get().SetValue("KATALOG", FData.Str()); }

  // Writes a host export file (Windows-1250 bytes) for the device.
  void WriteExport(std::string_view name, std::string_view bytes) {
    WriteBytes(ExportDir() + "/" + std::string(name), bytes);
  }
  std::string DownloadPath(std::string_view name) {
    return DownloadDir() + "/" + std::string(name);
  }
  std::string UploadPath(std::string_view name) {
    return UploadDir() + "/" + std::string(name);
  }
  std::string ImportPath(std::string_view name) {
    return ImportDir() + "/" + std::string(name);
  }
  TConfigFile& Config() { return FConfig.Get(); }

  TTempDir FProgram;
  TTempDir FData;
  TDateTime FNow = EncodeDateTime({2005, 3, 7, 14, 5, 9, 0});
  TTestSystem FSystem{FProgram.Str(), {"RW:W", "KU:7"}, '.', FNow};
  TScopedConfigFile FConfig{"7"};
};

}  // namespace bridge::testing
