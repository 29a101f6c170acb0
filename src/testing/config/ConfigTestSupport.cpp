#include "testing/config/ConfigTestSupport.h"

#include <utility>

#include "platform/System.h"

namespace bridge::testing {

TScopedConfigFile::TScopedConfigFile(std::unique_ptr<TConfigFile> file)
    : FSaved(SetConfigFile(std::move(file))) {}

TScopedConfigFile::TScopedConfigFile(std::string_view deviceName)
    : TScopedConfigFile(std::make_unique<TConfigFile>(
          platform::System().ExecutablePath, deviceName)) {}

TScopedConfigFile::~TScopedConfigFile() { SetConfigFile(std::move(FSaved)); }

}  // namespace bridge::testing
