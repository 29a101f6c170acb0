// The message boxes and the editor for one run of the program, drawn by the
// GUI module, which is loaded the first time the run needs one of them.
// Without a display, or without the module, the console keeps the messages
// and the editor says why it cannot open.
#pragma once

#include <memory>
#include <string>

#include "config/uMain2.h"
#include "platform/Dialogs.h"

namespace bridge::platform {
class TModule;
}

namespace bridge::gui {

class TGuiToolkit;

class TGuiOnDemand {
 public:
  // Puts its boxes and its editor in place of the process's; module is the
  // path of the GUI module.
  TGuiOnDemand(std::string module, std::string argv0);
  // Puts the process's boxes and editor back and shuts a started toolkit
  // down.
  ~TGuiOnDemand();
  TGuiOnDemand(const TGuiOnDemand&) = delete;
  TGuiOnDemand& operator=(const TGuiOnDemand&) = delete;

  // Whether the module has been loaded; runs that show nothing never load
  // it.
  bool Loaded() const { return FModule != nullptr; }

 private:
  class TBoxes;
  // The toolkit, started on the first call; nullptr when there is no
  // display or the module cannot be loaded.
  TGuiToolkit* Toolkit();
  void ShowEditor(TFMain2& form);
  platform::TMessageBoxes& Boxes();

  std::string FModulePath;
  std::string FArgv0;
  bool FTried = false;
  // A display, but no module to draw on it, or one without its entry point.
  bool FModuleMissing = false;
  std::unique_ptr<platform::TModule> FModule;
  std::unique_ptr<TGuiToolkit> FToolkit;
  std::unique_ptr<platform::TMessageBoxes> FBoxes;
  std::unique_ptr<platform::TMessageBoxes> FSavedBoxes;
  TEditorScreen FSavedScreen;
};

// The GUI module's path beside the running executable.
std::string GuiModuleBeside(const std::string& executable);

}  // namespace bridge::gui
