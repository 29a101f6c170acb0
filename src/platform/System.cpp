#include "platform/System.h"

#include "platform/Files.h"

namespace bridge::platform {
namespace {

TSystem& Slot() {
  static TSystem system = RealSystem(0, nullptr);
  return system;
}

}  // namespace

TSystem& System() { return Slot(); }

TSystem RealSystem(int argc, const char* const* argv) {
  TSystem system;
  system.Arguments = ProgramArguments(argc, argv);
  system.ExecutablePath = RunningExecutablePath();
  system.Now = LocalNow;
  system.DecimalSeparator = LocaleDecimalSeparator();
  system.MessageBoxes = SystemMessageBoxes();
  return system;
}

void InstallSystem(TSystem system) { Slot() = std::move(system); }

TScopedSystem::TScopedSystem(TSystem system) : FSaved(std::move(system)) {
  std::swap(Slot(), FSaved);
}

TScopedSystem::~TScopedSystem() { std::swap(Slot(), FSaved); }

}  // namespace bridge::platform
