#include <dlfcn.h>

#include "platform/Module.h"

namespace bridge::platform {

std::unique_ptr<TModule> TModule::Load(const std::string& path,
                                       std::string& error) {
  // A toolkit registers handlers that run at the process's exit, so its code
  // stays mapped after the module is released.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : path;
    return nullptr;
  }
  return std::unique_ptr<TModule>(new TModule(handle));
}

TModule::~TModule() { ::dlclose(FHandle); }

void* TModule::Symbol(const char* name) const { return ::dlsym(FHandle, name); }

}  // namespace bridge::platform
