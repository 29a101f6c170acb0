// The parameter editor as a native Windows dialog. One window per control of
// the form's tree, every change the form makes shown on screen, every user
// action handed to the form; the dialog decides nothing itself.
//
// The dialog is made of the system's own controls: a tab control whose pages
// hold edits, drop-down lists and check boxes, push buttons, and the shell's
// folder browser. It follows the screen's DPI and the system's message font.
#pragma once

#include <memory>
#include <string_view>

#include "config/uMain2.h"

// The window handle type, without bringing <windows.h> into every includer.
struct HWND__;

namespace bridge::gui {

class TFMain2Win final {
 public:
  // Creates the dialog, still hidden. Raises "Edytor parametrów wymaga
  // ekranu graficznego" when the system gives the program no desktop to
  // draw on.
  explicit TFMain2Win(TFMain2& form);
  ~TFMain2Win();
  TFMain2Win(const TFMain2Win&) = delete;
  TFMain2Win& operator=(const TFMain2Win&) = delete;

  // The form's show, the dialog on screen, then the modal loop until the
  // form closes it.
  TModalResult RunModal();
  // Handles the messages waiting in the thread's queue as the modal loop
  // does, so that code running inside the loop can wait for the dialog.
  void ProcessPending();

  HWND__* Handle() const;
  // The window of a control, by the control's name, or nullptr.
  HWND__* Window(std::string_view name) const;

 private:
  class TImpl;
  std::unique_ptr<TImpl> FImpl;
};

// Shows the form in a TFMain2Win and returns when it has closed.
void ShowFormModal(TFMain2& form);

// Makes ShowEditor draw the form as a native dialog for the rest of the run.
void InstallNativeEditor();

}  // namespace bridge::gui
