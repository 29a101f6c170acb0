// How a view runs what the user asked for: a toolkit's event loop cannot
// carry an error back, so an error that escapes the action is shown to the
// user, and the dialog goes on.
#pragma once

#include <exception>
#include <utility>

#include "core/Uglobal.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge::gui {

template <class TAction>
void ShowingErrors(TAction&& action) {
  try {
    std::forward<TAction>(action)();
  } catch (const EBridgeError& error) {
    ShowError(error.what());
  } catch (const std::exception& error) {
    ShowError(platform::Utf8ToCp1250(error.what()));
  }
}

}  // namespace bridge::gui
