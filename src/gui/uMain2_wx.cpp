#include "gui/uMain2_wx.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/notebook.h>
#include <wx/odcombo.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "core/Uglobal.h"
#include "gui/Dialogs_wx.h"
#include "gui/ShowingErrors.h"
#include "gui/Text_wx.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge::gui {
namespace {

// Width of an ordinary edit, in characters.
constexpr int kFieldChars = 20;
constexpr int kGap = 8;
// Rows a column of a page holds before the page gets another column, so
// that the dialog fits a screen of 768 pixels with a taskbar.
constexpr std::size_t kRowsPerColumn = 11;
// The frame around the rows of a dropped-down list.
constexpr int kPopupFrame = 2;

// The letter after the "&" of a caption, upper-cased; 0 for none.
int MnemonicOf(std::string_view caption) {
  const std::size_t at = caption.find('&');
  if (at == std::string_view::npos || at + 1 >= caption.size()) return 0;
  const char letter = caption[at + 1];
  if (letter >= 'a' && letter <= 'z') return letter - 'a' + 'A';
  return static_cast<unsigned char>(letter);
}

// A window or sizer handed to its parent, which deletes it.
template <class T, class... TArgs>
T* ParentOwned(TArgs&&... args) {
  return std::make_unique<T>(std::forward<TArgs>(args)...).release();
}

wxArrayString ToWxItems(const std::vector<std::string>& items) {
  wxArrayString result;
  for (const std::string& item : items) result.Add(ToWx(item));
  return result;
}

// A caption changed on screen needs room at once: GTK complains about a
// control given less than it asks for. Before the dialog shows, RunModal lays
// everything out.
void RelayoutAround(wxWindow* widget) {
  widget->InvalidateBestSize();
  wxWindow* parent = widget->GetParent();
  if (parent != nullptr && parent->IsShownOnScreen()) parent->Layout();
}

}  // namespace

// A drop-down list drawn by wx itself, so that the rows of its drop-down can
// be counted (GTK's own list shows as many rows as fit the screen). Every row
// has one height, so the drop-down holds exactly the rows asked for.
class TDropDownList final : public wxOwnerDrawnComboBox {
 public:
  TDropDownList(wxWindow* parent, const wxString& name, int rows)
      : wxOwnerDrawnComboBox(parent, wxID_ANY, wxEmptyString, wxDefaultPosition,
                             wxDefaultSize, wxArrayString(), wxCB_READONLY,
                             wxDefaultValidator, name),
        FRowHeight(GetCharHeight() + kGap / 2) {
    SetPopupMaxHeight(rows * FRowHeight + 2 * kPopupFrame);
    // The wheel turns only the list that has the focus, never one that the
    // pointer merely passes over.
    Bind(wxEVT_MOUSEWHEEL, [this](wxMouseEvent& event) {
      if (HasFocus()) event.Skip();
    });
  }
  wxCoord OnMeasureItem(std::size_t /*item*/) const override {
    return FRowHeight;
  }
  // Wide enough for the longest item beside the button.
  void FitItems() {
    int widest = GetCharWidth() * kFieldChars;
    for (const wxString& item : GetStrings()) {
      widest = std::max(widest,
                        GetTextExtent(item).x + GetButtonSize().x + 2 * kGap);
    }
    if (GetMinSize().x != widest) SetMinSize(wxSize(widest, -1));
  }

 private:
  int FRowHeight;
};

template <class TAction>
void TFMain2Wx::Forward(TAction&& action) {
  ShowingErrors(std::forward<TAction>(action));
}

TFMain2Wx::TFMain2Wx(TFMain2& form)
    : wxDialog(nullptr, wxID_ANY, ToWx(form.Form().Caption()),
               wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
               ToWx(form.Form().Name())),
      FForm(form),
      FTimer(this) {
  auto* topBar = ParentOwned<wxBoxSizer>(wxHORIZONTAL);
  auto* bottomBar = ParentOwned<wxBoxSizer>(wxHORIZONTAL);
  bottomBar->AddStretchSpacer();
  auto* column = ParentOwned<wxBoxSizer>(wxVERTICAL);
  column->Add(topBar, 0, wxEXPAND | wxALL, kGap);

  for (const auto& child : form.Form().Children()) {
    if (auto* pages = dynamic_cast<TPageControl*>(child.get())) {
      FNotebook =
          ParentOwned<wxNotebook>(this, wxID_ANY, wxDefaultPosition,
                                  wxDefaultSize, 0, ToWx(pages->Name()));
      FWidgets[pages] = FNotebook;
      for (const auto& page : pages->Children()) {
        const auto* sheet = dynamic_cast<const TTabSheet*>(page.get());
        if (sheet == nullptr) continue;
        auto* panel = ParentOwned<wxPanel>(
            FNotebook, wxID_ANY, wxDefaultPosition, wxDefaultSize,
            wxTAB_TRAVERSAL, ToWx(sheet->Name()));
        FWidgets[sheet] = panel;
        panel->SetSizer(BuildPage(panel, *sheet));
        FNotebook->AddPage(panel, ToWx(sheet->Caption()));
      }
      FNotebook->Bind(
          wxEVT_NOTEBOOK_PAGE_CHANGED, [this, pages](wxBookCtrlEvent& event) {
            if (event.GetEventObject() == FNotebook) {
              Forward([&] {
                pages->SetActivePageIndex(FNotebook->GetSelection());
              });
            }
            event.Skip();
          });
      column->Add(FNotebook, 1, wxEXPAND | wxLEFT | wxRIGHT, kGap);
    } else if (auto* timer = dynamic_cast<TTimer*>(child.get())) {
      FTimerControl = timer;
      Bind(
          wxEVT_TIMER,
          [this](wxTimerEvent& /*event*/) {
            Forward([&] {
              if (FTimerControl->OnTimer) FTimerControl->OnTimer();
            });
          },
          FTimer.GetId());
    } else if (dynamic_cast<TButton*>(child.get()) != nullptr) {
      bottomBar->Add(MakeWidget(this, *child), 0, wxLEFT, kGap);
    } else {
      const bool isList = dynamic_cast<TComboBox*>(child.get()) != nullptr;
      topBar->Add(MakeWidget(this, *child), isList ? 1 : 0,
                  wxALIGN_CENTER_VERTICAL | wxRIGHT, kGap);
    }
  }
  column->Add(bottomBar, 0, wxEXPAND | wxALL, kGap);
  SetSizer(column);

  // The close box cancels, as the cancel button does.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& /*event*/) {
    Forward([&] { FForm.BitBtn2Click(); });
  });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) { OnCharHook(event); });

  ShowTree(form.Form());
  form.SetView(this);
  GetSizer()->SetSizeHints(this);
}

TFMain2Wx::~TFMain2Wx() {
  FForm.SetView(nullptr);
  FTimer.Stop();
  // A list still dropped down would draw itself for a list half destroyed.
  if (TDropDownList* list = DroppedList()) list->Dismiss();
  // The handlers reach into this object's members, so the widgets go first.
  DestroyChildren();
}

wxSizer* TFMain2Wx::BuildPage(wxWindow* page, const TTabSheet& sheet) {
  // The page's rows: a label with its input (and the buttons that follow the
  // input on its row), or a check box, which carries its own caption.
  struct TRow {
    wxWindow* Label = nullptr;
    wxSizer* Input = nullptr;
    wxWindow* Check = nullptr;
  };
  std::vector<TRow> rows;
  wxWindow* pendingLabel = nullptr;
  const auto& children = sheet.Children();
  for (std::size_t i = 0; i < children.Count(); ++i) {
    TControl& control = children[i];
    wxWindow* widget = MakeWidget(page, control);
    if (dynamic_cast<TLabel*>(&control) != nullptr) {
      if (pendingLabel != nullptr) rows.push_back({pendingLabel});
      pendingLabel = widget;
      continue;
    }
    if (dynamic_cast<TCheckBox*>(&control) != nullptr) {
      if (pendingLabel != nullptr) rows.push_back({pendingLabel});
      pendingLabel = nullptr;
      rows.push_back({nullptr, nullptr, widget});
      continue;
    }
    auto* input = ParentOwned<wxBoxSizer>(wxHORIZONTAL);
    const auto* edit = dynamic_cast<const TEdit*>(&control);
    const bool hasButton = i + 1 < children.Count() &&
                           dynamic_cast<TButton*>(&children[i + 1]) != nullptr;
    const bool stretches = (edit != nullptr && edit->Wide()) || hasButton;
    input->Add(widget, stretches ? 1 : 0, wxALIGN_CENTER_VERTICAL);
    while (i + 1 < children.Count() &&
           dynamic_cast<TButton*>(&children[i + 1]) != nullptr) {
      ++i;
      input->Add(MakeWidget(page, children[i]), 0,
                 wxALIGN_CENTER_VERTICAL | wxLEFT, kGap / 2);
    }
    rows.push_back({pendingLabel, input});
    pendingLabel = nullptr;
  }
  if (pendingLabel != nullptr) rows.push_back({pendingLabel});

  // Columns side by side, filled top to bottom in the form's order; labels
  // and inputs line up in a grid between check boxes.
  const std::size_t columns =
      (rows.size() + kRowsPerColumn - 1) / kRowsPerColumn;
  const std::size_t perColumn =
      columns == 0 ? 0 : (rows.size() + columns - 1) / columns;
  auto* outer = ParentOwned<wxBoxSizer>(wxHORIZONTAL);
  wxBoxSizer* column = nullptr;
  wxFlexGridSizer* grid = nullptr;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r % perColumn == 0) {
      column = ParentOwned<wxBoxSizer>(wxVERTICAL);
      outer->Add(column, 1, wxEXPAND | wxALL, kGap);
      grid = nullptr;
    }
    const TRow& row = rows[r];
    if (row.Check != nullptr) {
      grid = nullptr;
      column->Add(row.Check, 0, wxBOTTOM, kGap / 4);
      continue;
    }
    if (grid == nullptr) {
      grid = ParentOwned<wxFlexGridSizer>(2, wxSize(2 * kGap, kGap / 4));
      grid->AddGrowableCol(1);
      column->Add(grid, 0, wxEXPAND | wxBOTTOM, kGap / 4);
    }
    if (row.Label != nullptr) {
      grid->Add(row.Label, 0, wxALIGN_CENTER_VERTICAL);
    } else {
      grid->AddSpacer(0);
    }
    if (row.Input != nullptr) {
      grid->Add(row.Input, 1, wxEXPAND);
    } else {
      grid->AddSpacer(0);
    }
  }
  return outer;
}

wxWindow* TFMain2Wx::MakeWidget(wxWindow* parent, TControl& control) {
  const wxString name = ToWx(control.Name());
  wxWindow* widget = nullptr;
  if (auto* edit = dynamic_cast<TEdit*>(&control)) {
    auto* text = ParentOwned<wxTextCtrl>(parent, wxID_ANY, wxEmptyString,
                                         wxDefaultPosition, wxDefaultSize, 0,
                                         wxDefaultValidator, name);
    if (!edit->Wide()) {
      text->SetInitialSize(wxSize(text->GetCharWidth() * kFieldChars, -1));
    }
    text->Bind(wxEVT_TEXT, [this, edit, text](wxCommandEvent& /*event*/) {
      Forward([&] { edit->SetText(FromWx(text->GetValue())); });
    });
    widget = text;
  } else if (auto* check = dynamic_cast<TCheckBox*>(&control)) {
    auto* box = ParentOwned<wxCheckBox>(
        parent, wxID_ANY, ToWx(check->Caption()), wxDefaultPosition,
        wxDefaultSize, 0, wxDefaultValidator, name);
    box->Bind(wxEVT_CHECKBOX, [this, check, box](wxCommandEvent& /*event*/) {
      Forward([&] { check->SetChecked(box->GetValue()); });
    });
    widget = box;
  } else if (auto* list = dynamic_cast<TComboBox*>(&control)) {
    auto* combo =
        ParentOwned<TDropDownList>(parent, name, list->DropDownCount());
    combo->Bind(wxEVT_COMBOBOX, [this, list, combo](wxCommandEvent& /*event*/) {
      Forward([&] { list->Select(combo->GetSelection()); });
    });
    widget = combo;
  } else if (auto* button = dynamic_cast<TButton*>(&control)) {
    const bool tool = !button->TakesFocus();
    auto* push = ParentOwned<wxButton>(
        parent, button->Cancel() ? wxID_CANCEL : wxID_ANY,
        ToWx(button->Caption()), wxDefaultPosition, wxDefaultSize,
        tool ? wxBU_EXACTFIT : 0, wxDefaultValidator, name);
    if (tool) push->SetCanFocus(false);
    push->Bind(wxEVT_BUTTON, [this, button](wxCommandEvent& /*event*/) {
      Forward([&] { button->Click(); });
    });
    widget = push;
  } else {
    widget =
        ParentOwned<wxStaticText>(parent, wxID_ANY, ToWx(control.Caption()),
                                  wxDefaultPosition, wxDefaultSize, 0, name);
  }
  FWidgets[&control] = widget;
  return widget;
}

TDropDownList* TFMain2Wx::DroppedList() const {
  for (const auto& [control, widget] : FWidgets) {
    auto* list = dynamic_cast<TDropDownList*>(widget);
    if (list != nullptr && list->IsPopupShown()) return list;
  }
  return nullptr;
}

void TFMain2Wx::OnCharHook(wxKeyEvent& event) {
  // A dropped-down list takes Esc for itself, as a native list does; the
  // dialog hears Esc first, so it closes the list here.
  if (event.GetKeyCode() == WXK_ESCAPE) {
    if (TDropDownList* list = DroppedList()) {
      list->Dismiss();
      return;
    }
  }
  // GTK knows no control for a label's mnemonic to focus, so Alt and the
  // label's letter focus the label's control here.
  if (event.GetModifiers() == wxMOD_ALT) {
    for (const auto& [control, widget] : FWidgets) {
      const auto* label = dynamic_cast<const TLabel*>(control);
      if (label != nullptr && label->FocusControl() != nullptr &&
          MnemonicOf(label->Caption()) == event.GetKeyCode()) {
        FocusControl(*label->FocusControl());
        return;
      }
    }
  }
  event.Skip();
}

int TFMain2Wx::RunModal() {
  Forward([&] { FForm.FormShow(); });
  // The captions have changed their lengths. A page that has never been in
  // front has no size yet, which would squeeze its controls to nothing until
  // it is shown, so every page starts at the size it asks for.
  for (const auto& [control, widget] : FWidgets) {
    if (dynamic_cast<const TTabSheet*>(control) != nullptr) {
      widget->SetSize(widget->GetBestSize());
      widget->Layout();
    }
  }
  GetSizer()->SetSizeHints(this);
  CentreOnScreen();
  return ShowModal();
}

wxWindow* TFMain2Wx::Widget(std::string_view name) const {
  for (const auto& [control, widget] : FWidgets) {
    if (control->Name() == name) return widget;
  }
  return nullptr;
}

void TFMain2Wx::ControlChanged(const TControl& control) { ShowState(control); }

void TFMain2Wx::ShowTree(const TControl& control) {
  ShowState(control);
  for (const auto& child : control.Children()) ShowTree(*child);
}

void TFMain2Wx::ShowState(const TControl& control) {
  if (dynamic_cast<const TForm*>(&control) != nullptr) {
    SetTitle(ToWx(control.Caption()));
    return;
  }
  if (&control == FTimerControl) {
    if (!control.Enabled()) {
      FTimer.Stop();
    } else if (!FTimer.IsRunning()) {
      FTimer.Start(FTimerControl->Interval());
    }
    return;
  }
  const auto found = FWidgets.find(&control);
  if (found == FWidgets.end()) return;
  wxWindow* widget = found->second;

  if (const auto* edit = dynamic_cast<const TEdit*>(&control)) {
    auto* text = static_cast<wxTextCtrl*>(widget);
    const wxString value = ToWx(edit->Text());
    // GTK empties an edit given a text longer than its limit, and the limit
    // only holds typing anyway, so a longer stored value widens it.
    const long limit = edit->MaxLength() == 0
                           ? 0
                           : static_cast<long>(std::max<std::size_t>(
                                 edit->MaxLength(), value.length()));
    if (const auto known = FLimits.find(edit);
        known == FLimits.end() || known->second != limit) {
      text->SetMaxLength(static_cast<unsigned long>(limit));
      FLimits[edit] = limit;
    }
    if (text->GetValue() != value) {
      // The form may have written back what the user typed with a character
      // replaced; the caret stays where the typing left it.
      const long caret = text->GetInsertionPoint();
      text->ChangeValue(value);
      text->SetInsertionPoint(std::min(caret, text->GetLastPosition()));
    }
    text->SetEditable(!edit->ReadOnly());
    const wxColour colour = wxSystemSettings::GetColour(
        edit->Color() == TColorRole::kWindow ? wxSYS_COLOUR_WINDOW
                                             : wxSYS_COLOUR_BTNFACE);
    if (text->GetBackgroundColour() != colour) {
      text->SetBackgroundColour(colour);
      text->Refresh();
    }
  } else if (const auto* check = dynamic_cast<const TCheckBox*>(&control)) {
    auto* box = static_cast<wxCheckBox*>(widget);
    if (box->GetValue() != check->Checked()) box->SetValue(check->Checked());
    if (box->GetLabel() != ToWx(check->Caption())) {
      box->SetLabel(ToWx(check->Caption()));
      RelayoutAround(box);
    }
  } else if (const auto* list = dynamic_cast<const TComboBox*>(&control)) {
    auto* combo = static_cast<TDropDownList*>(widget);
    const wxArrayString items = ToWxItems(list->Items());
    if (combo->GetStrings() != items) {
      combo->Set(items);
      combo->FitItems();
      RelayoutAround(combo);
    }
    // A list looks like an edit: open ones on the window colour, locked ones
    // on the button face, as read-only edits are.
    const wxColour colour = wxSystemSettings::GetColour(
        list->Enabled() ? wxSYS_COLOUR_WINDOW : wxSYS_COLOUR_BTNFACE);
    if (combo->GetBackgroundColour() != colour) {
      combo->SetBackgroundColour(colour);
      combo->Refresh();
    }
    if (combo->GetSelection() != list->ItemIndex()) {
      combo->SetSelection(list->ItemIndex() < 0 ? wxNOT_FOUND
                                                : list->ItemIndex());
    }
  } else if (dynamic_cast<const TTabSheet*>(&control) != nullptr) {
    const int page = FNotebook->FindPage(widget);
    if (page != wxNOT_FOUND && FNotebook->GetPageText(static_cast<std::size_t>(
                                   page)) != ToWx(control.Caption())) {
      FNotebook->SetPageText(static_cast<std::size_t>(page),
                             ToWx(control.Caption()));
    }
  } else if (const auto* pages = dynamic_cast<const TPageControl*>(&control)) {
    const int index = pages->ActivePageIndex();
    if (index >= 0 && FNotebook->GetSelection() != index) {
      FNotebook->ChangeSelection(static_cast<std::size_t>(index));
    }
  } else if (widget->GetLabel() != ToWx(control.Caption())) {
    widget->SetLabel(ToWx(control.Caption()));
    RelayoutAround(widget);
  }
  if (widget->IsThisEnabled() != control.Enabled()) {
    widget->Enable(control.Enabled());
  }
}

bool TFMain2Wx::FocusControl(const TControl& control) {
  wxWindow* widget = Widget(control.Name());
  if (widget == nullptr || !widget->IsEnabled()) return false;
  widget->SetFocus();
  return wxWindow::FindFocus() == widget;
}

std::optional<std::string> TFMain2Wx::BrowseForFolder(std::string_view title) {
  return PickFolder(this, title);
}

void TFMain2Wx::CloseModal(TModalResult result) {
  if (IsModal()) EndModal(result == TModalResult::kOk ? wxID_OK : wxID_CANCEL);
}

void ShowFormModal(TFMain2& form) {
  TFMain2Wx dialog(form);
  dialog.RunModal();
}

}  // namespace bridge::gui
