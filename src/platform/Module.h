// A shared module loaded into the running program, so that what only some
// runs need (the GUI toolkit and everything it pulls in) costs the other
// runs nothing.
#pragma once

#include <memory>
#include <string>

namespace bridge::platform {

class TModule {
 public:
  // Loads the module at path and binds all its symbols at once; nullptr,
  // with the system's reason in error, when it cannot be loaded.
  [[nodiscard]] static std::unique_ptr<TModule> Load(const std::string& path,
                                                     std::string& error);
  ~TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  // The address of a symbol the module exports, or nullptr.
  [[nodiscard]] void* Symbol(const char* name) const;

 private:
  explicit TModule(void* handle) : FHandle(handle) {}
  void* FHandle;
};

}  // namespace bridge::platform
