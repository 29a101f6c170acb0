#include "platform/System.h"

namespace bridge::platform {
namespace {

TSystem& Slot() {
  static TSystem system = RealSystem(0, nullptr);
  return system;
}

}  // namespace

TSystem& System() { return Slot(); }

void InstallSystem(TSystem system) { Slot() = std::move(system); }

TScopedSystem::TScopedSystem(TSystem system) : FSaved(std::move(system)) {
  std::swap(Slot(), FSaved);
}

TScopedSystem::~TScopedSystem() { std::swap(Slot(), FSaved); }

}  // namespace bridge::platform
