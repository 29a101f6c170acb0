// The GUI toolkit for the process: its start where a display is available,
// and the program's message boxes and the folder picker drawn with
// wxWidgets.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

}  // namespace bridge::gui
