// forbook-bridge: started by the host with an exchange mode and a device
// name, it runs one job and exits with 0, or with 1 after an error.
#include "app/Uprogramparams_run.h"
#include "platform/System.h"

int main(int argc, char** argv) {
  bridge::platform::InstallSystem(bridge::platform::RealSystem(argc, argv));
  return bridge::StartProgram();
}
