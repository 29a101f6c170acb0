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

// Runs a step of the program; an error that ends it is shown (an empty
// message silently) and gives status 1. A failure outside the program's own
// errors (out of memory, say) ends the run the same way, never as a crash.
template <typename TStep>
int Guarded(TStep step) {
  std::string message;
  try {
    step();
    return 0;
  } catch (const EBridgeError& error) {
    message = error.what();
  } catch (const std::exception& error) {
    message = platform::Utf8ToCp1250(error.what());
  }
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
  return Guarded([] { RunSelectedMode(); });
}

int StartProgram() {
  if (const int status = Guarded([] { CreateConfigFile(); }); status != 0) {
    return status;
  }
  return RunProgram();
}

}  // namespace bridge
