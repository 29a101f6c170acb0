// The program's message boxes behind one interface: real modal boxes where a
// display is available, the console otherwise.
#pragma once

#include <memory>
#include <string_view>

namespace bridge::platform {

// Every text is Windows-1250.
class TMessageBoxes {
 public:
  virtual ~TMessageBoxes() = default;
  // An error box with a single OK button; returns when it is closed.
  virtual void ShowError(std::string_view text) = 0;
  // A question with Yes and No; true for Yes.
  virtual bool AskYesNo(std::string_view text) = 0;
  // The editor's box captioned "Informacja", with the error icon.
  virtual void ShowInformation(std::string_view text) = 0;
};

// The console stands in for the boxes: errors and information go to standard
// error, followed by a newline; a question is asked on the terminal when
// standard input is one and is answered No otherwise.
class TConsoleMessageBoxes final : public TMessageBoxes {
 public:
  void ShowError(std::string_view text) override;
  bool AskYesNo(std::string_view text) override;
  void ShowInformation(std::string_view text) override;
};

// The boxes of the system where no toolkit draws them: on POSIX the console;
// on Windows real boxes, or the console when standard error is redirected.
std::unique_ptr<TMessageBoxes> SystemMessageBoxes();

// Writes Windows-1250 text to standard output, in the encoding of the
// screen.
void PrintText(std::string_view text);

// Whether the process has a graphical display to open: on POSIX, DISPLAY
// or WAYLAND_DISPLAY is set; Windows always has one.
bool DisplayNamed();

}  // namespace bridge::platform
