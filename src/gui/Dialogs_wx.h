// The GUI toolkit for the process: its start where a display is available,
// the program's message boxes and the folder picker drawn with wxWidgets,
// and the session that puts them in place of the console for one run.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "config/uMain2.h"
#include "platform/Dialogs.h"

class wxWindow;

namespace bridge::gui {

// Starts the toolkit when DISPLAY or WAYLAND_DISPLAY is set and the display
// can be opened; false, printing nothing, otherwise. Call once.
bool StartToolkit(const char* argv0);
// Shuts down a toolkit that StartToolkit started.
void StopToolkit();

// Modal boxes without an owner window. Text is Windows-1250.
class TWxMessageBoxes final : public platform::TMessageBoxes {
 public:
  void ShowError(std::string_view text) override;
  bool AskYesNo(std::string_view text) override;
  void ShowInformation(std::string_view text) override;
};

// Asks for a folder; its path in Windows-1250, or nothing when the user
// cancels.
using TFolderPicker = std::function<std::optional<std::string>(
    wxWindow* owner, std::string_view title)>;
// Replaces the picker (tests answer it themselves, since a directory dialog
// cannot be answered from code) and gives back the one it replaces.
TFolderPicker SetFolderPicker(TFolderPicker picker);
// The installed picker; the toolkit's directory dialog unless replaced.
std::optional<std::string> PickFolder(wxWindow* owner, std::string_view title);

// For one run of the program: where a display is available, real message
// boxes and the editor dialog; otherwise the console stays and the editor
// reports that it needs a display. The destructor puts everything back.
class TGuiSession {
 public:
  explicit TGuiSession(const char* argv0);
  ~TGuiSession();
  TGuiSession(const TGuiSession&) = delete;
  TGuiSession& operator=(const TGuiSession&) = delete;
  bool Started() const { return FStarted; }

 private:
  bool FStarted = false;
  std::unique_ptr<platform::TMessageBoxes> FSavedBoxes;
  TEditorScreen FSavedScreen;
};

}  // namespace bridge::gui
