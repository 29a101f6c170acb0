// forbook-bridge: started by the host with an exchange mode and a device
// name, it runs one job and exits with 0, or with 1 after an error.
#include "app/Uprogramparams_run.h"
#include "platform/System.h"
#if BRIDGE_WITH_WX
#include "gui/GuiOnDemand.h"
#endif
#ifdef _WIN32
#include "gui/uMain2_win.h"
#endif

int main(int argc, char** argv) {
  bridge::platform::InstallSystem(bridge::platform::RealSystem(argc, argv));
#ifdef _WIN32
  bridge::gui::InstallNativeEditor();
#endif
#if BRIDGE_WITH_WX
  // Real message boxes and the editor where a display is available, for
  // batch jobs too; the toolkit is loaded only when one is shown.
  const bridge::gui::TGuiOnDemand gui(
      bridge::gui::GuiModuleBeside(bridge::platform::System().ExecutablePath),
      argc > 0 ? argv[0] : "forbook-bridge");
#endif
  return bridge::StartProgram();
}
