// What the tests above the platform share: a configuration bound to a
// temporary program directory.
#pragma once

#include <memory>
#include <string_view>

#include "core/uKonfig.h"
#include "testing/TestSupport.h"

namespace bridge::testing {

// Installs a configuration for one test and removes it afterwards.
class TScopedConfigFile {
 public:
  explicit TScopedConfigFile(std::unique_ptr<TConfigFile> file);
  // The configuration of the current system's executable for a device.
  explicit TScopedConfigFile(std::string_view deviceName);
  ~TScopedConfigFile();
  TScopedConfigFile(const TScopedConfigFile&) = delete;
  TScopedConfigFile& operator=(const TScopedConfigFile&) = delete;
  TConfigFile& Get() { return ConfigFile(); }

 private:
  std::unique_ptr<TConfigFile> FSaved;
};

}  // namespace bridge::testing
