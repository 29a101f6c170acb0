// The GUI module: the editor dialog and the message boxes drawn by a
// toolkit, built as a shared module beside the program. The program loads
// it the first time a run needs a box or the editor, so batch jobs never
// pay for starting the toolkit's libraries. The module takes the form, the
// controls and the platform layer from the program that loads it.
#pragma once

#include <memory>

#include "config/uMain2.h"
#include "platform/Dialogs.h"

namespace bridge::gui {

// The toolkit started on the display; deleting it shuts the toolkit down.
class TGuiToolkit {
 public:
  virtual ~TGuiToolkit() = default;
  virtual std::unique_ptr<platform::TMessageBoxes> MessageBoxes() = 0;
  // Shows the form modally and returns when it has closed.
  virtual void ShowEditor(TFMain2& form) = 0;
};

// The module's one entry point, exported under kStartGuiToolkit: starts the
// toolkit and hands it over, or returns nullptr when the display cannot be
// opened.
using TStartGuiToolkit = TGuiToolkit* (*)(const char* argv0);
inline constexpr const char* kStartGuiToolkit = "ForbookBridgeStartGui";
// The module's file name, in the program directory.
inline constexpr const char* kGuiModuleFile = "forbook-bridge-gui.so";

}  // namespace bridge::gui
