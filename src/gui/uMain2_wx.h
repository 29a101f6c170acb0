// The parameter editor drawn with wxWidgets. The dialog builds one widget
// per control of the form's tree, shows every change the form makes, and
// hands every user action to the form; it decides nothing itself.
#pragma once

#include <wx/dialog.h>
#include <wx/timer.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "config/uMain2.h"

class wxKeyEvent;
class wxNotebook;
class wxSizer;

namespace bridge::gui {

class TDropDownList;

class TFMain2Wx final : public wxDialog, public TFMain2View {
 public:
  explicit TFMain2Wx(TFMain2& form);
  ~TFMain2Wx() override;
  TFMain2Wx(const TFMain2Wx&) = delete;
  TFMain2Wx& operator=(const TFMain2Wx&) = delete;

  // The form's show, then the modal loop; wxID_OK after a save.
  int RunModal();
  // The widget of a control, by the control's name, or nullptr.
  wxWindow* Widget(std::string_view name) const;

  void ControlChanged(const TControl& control) override;
  bool FocusControl(const TControl& control) override;
  std::optional<std::string> BrowseForFolder(std::string_view title) override;
  void CloseModal(TModalResult result) override;

 private:
  wxSizer* BuildPage(wxWindow* page, const TTabSheet& sheet);
  wxWindow* MakeWidget(wxWindow* parent, TControl& control);
  void ShowState(const TControl& control);
  // The list whose rows are dropped down, or nullptr.
  TDropDownList* DroppedList() const;
  // Esc for a dropped-down list, and the labels' mnemonics.
  void OnCharHook(wxKeyEvent& event);
  void ShowTree(const TControl& control);
  // Runs a user action; an error that escapes it is shown, as the
  // toolkit's loop cannot carry it.
  template <class TAction>
  void Forward(TAction&& action);

  TFMain2& FForm;
  std::unordered_map<const TControl*, wxWindow*> FWidgets;
  std::unordered_map<const TEdit*, long> FLimits;
  wxNotebook* FNotebook = nullptr;
  wxTimer FTimer;
  TTimer* FTimerControl = nullptr;
};

// Shows the form in a TFMain2Wx and returns when it has closed.
void ShowFormModal(TFMain2& form);

}  // namespace bridge::gui
