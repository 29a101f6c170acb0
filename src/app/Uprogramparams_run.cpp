#include "app/Uprogramparams_run.h"

#include <exception>
#include <string>

#include "app/Uglobal.h"
#include "app/Uprogramparams.h"
#include "config/uKonfig.h"
#include "config/uMain2.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "transfer/uMain2_jobs.h"

namespace bridge {
namespace {

// Shows the message of an error that ended the run and gives the status.
int Report(const std::string& message) {
  if (!message.empty()) ShowError(message);
  return 1;
}

}  // namespace

void RunSelectedMode() {
  const std::string mode = GetExchangeMode();
  if (mode == "O") {
    ReceiveJob();
  } else if (mode == "W" || mode == "I") {
    SendJob();
  } else {
    ShowEditor();
  }
}

int RunProgram() {
  try {
    RunSelectedMode();
  } catch (const EBridgeError& error) {
    return Report(error.what());
  } catch (const std::exception& error) {
    // A failure outside the program's own errors (out of memory, say) still
    // ends the run with a message and a failed status, never a crash.
    return Report(platform::Utf8ToCp1250(error.what()));
  }
  return 0;
}

int StartProgram() {
  try {
    CreateConfigFile();
  } catch (const EBridgeError& error) {
    return Report(error.what());
  } catch (const std::exception& error) {
    return Report(platform::Utf8ToCp1250(error.what()));
  }
  return RunProgram();
}

}  // namespace bridge
