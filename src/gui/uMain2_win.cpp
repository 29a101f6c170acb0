#include "gui/uMain2_win.h"

#include "gui/uMain2_win_internal.h"
// The shell and the themes build on windows.h.
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Uglobal.h"
#include "gui/ShowingErrors.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge::gui {

TFMain2Win::TImpl::TImpl(TFMain2& form) : FForm(form) {
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES;
    return ::InitCommonControlsEx(&classes) != 0;
  }();
  static_cast<void>(commonControls);
  FDialog = CreateEmptyDialog(
      nullptr, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0,
      DialogProc, reinterpret_cast<LPARAM>(this));
  if (FDialog == nullptr) throw EBridgeError(kNeedsDisplay.str());
  FDpi = DpiOf(FDialog);
  for (const auto& child : form.Form().Children()) {
    AddWindows(*child, FDialog);
  }
  ApplyFont();
  ShowTree(form.Form());
  form.SetView(this);
}

TFMain2Win::TImpl::~TImpl() {
  FForm.SetView(nullptr);
  ::KillTimer(FDialog, kTimerId);
  // The windows go before the members their messages reach into.
  ::DestroyWindow(FDialog);
  if (FFont != nullptr) ::DeleteObject(FFont);
}

INT_PTR CALLBACK TFMain2Win::TImpl::DialogProc(HWND window, UINT message,
                                               WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    return FALSE;
  }
  auto* self = reinterpret_cast<TImpl*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  return self->HandleMessage(window, message, wParam, lParam);
}

void TFMain2Win::TImpl::AddWindows(TControl& control, HWND parent) {
  const int id = kFirstId + static_cast<int>(FEntries.size());
  if (auto* timer = dynamic_cast<TTimer*>(&control)) {
    FTimer = timer;
    return;
  }
  if (auto* pages = dynamic_cast<TPageControl*>(&control)) {
    FPageControl = pages;
    // A control parent, so that the dialog's keys reach into the pages.
    FTabs = ::CreateWindowExW(
        WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        nullptr, nullptr);
    FIndex[pages] = FEntries.size();
    FEntries.push_back({pages, FTabs, {}, TColorRole::kWindow});
    for (const auto& child : pages->Children()) {
      auto* sheet = dynamic_cast<TTabSheet*>(child.get());
      if (sheet == nullptr) continue;
      const HWND page = CreateEmptyDialog(
          FTabs, WS_CHILD | DS_CONTROL | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
          DialogProc, reinterpret_cast<LPARAM>(this));
      // The page takes the tab's own background where a theme draws one.
      ::EnableThemeDialogTexture(page, ETDT_ENABLETAB);
      const std::wstring caption = platform::Cp1250ToWide(sheet->Caption());
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<wchar_t*>(caption.c_str());
      ::SendMessageW(FTabs, TCM_INSERTITEMW, FPages.size(),
                     reinterpret_cast<LPARAM>(&item));
      FPages.push_back(page);
      FIndex[sheet] = FEntries.size();
      FEntries.push_back({sheet, page, {}, TColorRole::kWindow});
      for (const auto& input : sheet->Children()) AddWindows(*input, page);
    }
    return;
  }
  const HWND window = CreateControl(control, parent, id);
  FIndex[&control] = FEntries.size();
  FEntries.push_back({&control, window, {}, TColorRole::kWindow});
  if (const auto* button = dynamic_cast<const TButton*>(&control);
      button != nullptr && button->Cancel()) {
    FCancel = button;
  }
}

HWND TFMain2Win::TImpl::CreateControl(TControl& control, HWND parent, int id) {
  const wchar_t* windowClass = L"STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD exStyle = 0;
  if (dynamic_cast<TEdit*>(&control) != nullptr) {
    windowClass = L"EDIT";
    style |= WS_TABSTOP | ES_AUTOHSCROLL;
    exStyle = WS_EX_CLIENTEDGE;
  } else if (dynamic_cast<TCheckBox*>(&control) != nullptr) {
    windowClass = L"BUTTON";
    style |= WS_TABSTOP | BS_AUTOCHECKBOX;
  } else if (dynamic_cast<TComboBox*>(&control) != nullptr) {
    windowClass = WC_COMBOBOXW;
    style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
  } else if (const auto* button = dynamic_cast<TButton*>(&control)) {
    windowClass = L"BUTTON";
    style |= BS_PUSHBUTTON;
    if (button->TakesFocus()) style |= WS_TABSTOP;
  } else {
    // A label: its "&" marks the key that focuses the control after it.
    style |= SS_LEFTNOWORDWRAP;
  }
  const std::wstring caption = platform::Cp1250ToWide(control.Caption());
  const HWND window = ::CreateWindowExW(
      exStyle, windowClass, caption.c_str(), style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  if (window == nullptr) throw EBridgeError(kNeedsDisplay.str());
  if (const auto* list = dynamic_cast<TComboBox*>(&control)) {
    ::SendMessageW(window, CB_SETMINVISIBLE,
                   static_cast<WPARAM>(std::max(list->DropDownCount(), 1)), 0);
    ::SetWindowSubclass(window, ListProc, 0, 0);
    // Drawn as a field rather than as a button, so that a list that can be
    // changed never looks like the grey read-only edits beside it.
    ::SetWindowTheme(window, L"CFD", nullptr);
  }
  return window;
}

template <class TAction>
void TFMain2Win::TImpl::Forward(TAction&& action) {
  ShowingErrors(std::forward<TAction>(action));
}

TFMain2Win::TImpl::TEntry* TFMain2Win::TImpl::EntryOf(HWND window) {
  for (TEntry& entry : FEntries) {
    if (entry.Window == window) return &entry;
  }
  return nullptr;
}

TFMain2Win::TImpl::TEntry* TFMain2Win::TImpl::EntryOf(const TControl& control) {
  const auto found = FIndex.find(&control);
  return found == FIndex.end() ? nullptr : &FEntries[found->second];
}

HWND TFMain2Win::TImpl::Window(std::string_view name) const {
  for (const TEntry& entry : FEntries) {
    if (entry.Control->Name() == name) return entry.Window;
  }
  return nullptr;
}

INT_PTR TFMain2Win::TImpl::HandleMessage(HWND window, UINT message,
                                         WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      Command(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == FTabs && header->code == TCN_SELCHANGE &&
          FUpdating == 0) {
        const auto index =
            static_cast<int>(::SendMessageW(FTabs, TCM_GETCURSEL, 0, 0));
        Forward([&] { FPageControl->SetActivePageIndex(index); });
      }
      return FALSE;
    }
    case WM_TIMER:
      if (wParam == kTimerId && FTimer != nullptr) {
        Forward([&] {
          if (FTimer->OnTimer) FTimer->OnTimer();
        });
      }
      return TRUE;
    case WM_CLOSE:
      // The close box cancels, as Esc does.
      if (window == FDialog) PressCancel();
      return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      // Edits are painted as the form colours them; a read-only edit would
      // otherwise take the page's background.
      const TEntry* entry = EntryOf(reinterpret_cast<HWND>(lParam));
      const auto* edit = entry != nullptr
                             ? dynamic_cast<const TEdit*>(entry->Control)
                             : nullptr;
      if (edit == nullptr) return FALSE;
      const int colour =
          edit->Color() == TColorRole::kWindow ? COLOR_WINDOW : COLOR_BTNFACE;
      ::SetBkColor(reinterpret_cast<HDC>(wParam), ::GetSysColor(colour));
      return reinterpret_cast<INT_PTR>(::GetSysColorBrush(colour));
    }
    case WM_DPICHANGED:
      if (window == FDialog) {
        FDpi = HIWORD(wParam);
        ApplyFont();
        Layout(reinterpret_cast<const RECT*>(lParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void TFMain2Win::TImpl::Command(HWND source, int id, int code) {
  if (id == IDCANCEL && EntryOf(source) == nullptr) {
    PressCancel();
    return;
  }
  // Enter with no button focused: the dialog has no default button.
  if (id == IDOK && EntryOf(source) == nullptr) return;
  TEntry* entry = EntryOf(source);
  if (entry == nullptr || FUpdating != 0) return;
  TControl* control = entry->Control;
  if (auto* edit = dynamic_cast<TEdit*>(control)) {
    if (code == EN_CHANGE) {
      Forward(
          [&] { edit->SetText(platform::WideToCp1250(WindowText(source))); });
    }
  } else if (auto* check = dynamic_cast<TCheckBox*>(control)) {
    if (code == BN_CLICKED) {
      const bool checked =
          ::SendMessageW(source, BM_GETCHECK, 0, 0) == BST_CHECKED;
      Forward([&] { check->SetChecked(checked); });
    }
  } else if (auto* list = dynamic_cast<TComboBox*>(control)) {
    if (code == CBN_SELCHANGE) {
      const auto index =
          static_cast<int>(::SendMessageW(source, CB_GETCURSEL, 0, 0));
      Forward([&] { list->Select(index); });
    }
  } else if (const auto* button = dynamic_cast<TButton*>(control)) {
    if (code != BN_CLICKED) return;
    Forward([&] { button->Click(); });
    // A tool button never keeps the focus that the click gave it: the
    // focus goes back to the input on its row.
    if (!button->TakesFocus() && ::GetFocus() == source) {
      const TControl* input = nullptr;
      for (const auto& sibling : button->Parent()->Children()) {
        if (sibling.get() == button) break;
        if (TakesFocus(*sibling)) input = sibling.get();
      }
      if (const TEntry* row = input != nullptr ? EntryOf(*input) : nullptr) {
        ::SendMessageW(FDialog, WM_NEXTDLGCTL,
                       reinterpret_cast<WPARAM>(row->Window), TRUE);
      }
    }
  }
}

void TFMain2Win::TImpl::PressCancel() {
  if (FCancel != nullptr && FCancel->Enabled()) {
    Forward([&] { FCancel->Click(); });
  }
}

TModalResult TFMain2Win::TImpl::RunModal() {
  Forward([&] { FForm.FormShow(); });
  Layout(nullptr);
  ::ShowWindow(FDialog, SW_SHOW);
  ::SetForegroundWindow(FDialog);
  FShown = true;
  MoveFocus(1);
  MSG message{};
  while (!FDone) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // Whoever asked the program to quit is answered after the dialog.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    Dispatch(message);
  }
  ::ShowWindow(FDialog, SW_HIDE);
  FShown = false;
  return FResult;
}

void TFMain2Win::TImpl::ProcessPending() {
  MSG message{};
  while (!FDone && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

void TFMain2Win::TImpl::Dispatch(MSG& message) {
  if (HandleTabKey(message)) return;
  if (::IsDialogMessageW(FDialog, &message) != 0) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

// Tab walks the controls in the form's order, which the system's own walk
// through nested pages does not keep; Ctrl+Tab and Ctrl+Shift+Tab turn the
// pages.
bool TFMain2Win::TImpl::HandleTabKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
  if (message.hwnd != FDialog && ::IsChild(FDialog, message.hwnd) == 0) {
    return false;
  }
  const bool back = ::GetKeyState(VK_SHIFT) < 0;
  if (::GetKeyState(VK_CONTROL) < 0) {
    const int count = static_cast<int>(FPages.size());
    if (FPageControl == nullptr || count == 0) return true;
    const int next =
        (FPageControl->ActivePageIndex() + (back ? count - 1 : 1)) % count;
    Forward([&] { FPageControl->SetActivePageIndex(next); });
    return true;
  }
  const auto code = ::SendMessageW(message.hwnd, WM_GETDLGCODE, message.wParam,
                                   reinterpret_cast<LPARAM>(&message));
  if ((code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0) return false;
  MoveFocus(back ? -1 : 1);
  return true;
}

void TFMain2Win::TImpl::MoveFocus(int step) {
  std::vector<HWND> order;
  for (const TEntry& entry : FEntries) {
    if (TakesFocus(*entry.Control) && ::IsWindowVisible(entry.Window) != 0 &&
        ::IsWindowEnabled(entry.Window) != 0) {
      order.push_back(entry.Window);
    }
  }
  if (order.empty()) return;
  const auto count = static_cast<std::ptrdiff_t>(order.size());
  const auto at = std::find(order.begin(), order.end(), ::GetFocus());
  std::ptrdiff_t next = step > 0 ? 0 : count - 1;
  if (at != order.end()) next = ((at - order.begin()) + step + count) % count;
  ::SendMessageW(
      FDialog, WM_NEXTDLGCTL,
      reinterpret_cast<WPARAM>(order[static_cast<std::size_t>(next)]), TRUE);
}

void TFMain2Win::TImpl::ControlChanged(const TControl& control) {
  ShowState(control);
}

void TFMain2Win::TImpl::ShowTree(const TControl& control) {
  ShowState(control);
  for (const auto& child : control.Children()) ShowTree(*child);
}

void TFMain2Win::TImpl::ShowState(const TControl& control) {
  if (&control == FTimer) {
    if (control.Enabled()) {
      ::SetTimer(FDialog, kTimerId,
                 static_cast<UINT>(std::max(FTimer->Interval(), 1)), nullptr);
    } else {
      ::KillTimer(FDialog, kTimerId);
    }
    return;
  }
  const TUpdating updating(FUpdating);
  if (dynamic_cast<const TForm*>(&control) != nullptr) {
    ::SetWindowTextW(FDialog,
                     platform::Cp1250ToWide(control.Caption()).c_str());
    return;
  }
  TEntry* entry = EntryOf(control);
  if (entry == nullptr) return;
  const HWND window = entry->Window;
  bool captionChanged = false;
  if (const auto* edit = dynamic_cast<const TEdit*>(&control)) {
    ShowEdit(*edit, *entry);
  } else if (const auto* list = dynamic_cast<const TComboBox*>(&control)) {
    ShowList(*list, *entry);
  } else if (dynamic_cast<const TPageControl*>(&control) != nullptr) {
    ShowActivePage();
  } else if (dynamic_cast<const TTabSheet*>(&control) != nullptr) {
    const auto page = std::find(FPages.begin(), FPages.end(), window);
    std::wstring caption = platform::Cp1250ToWide(control.Caption());
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    ::SendMessageW(FTabs, TCM_SETITEMW,
                   static_cast<WPARAM>(page - FPages.begin()),
                   reinterpret_cast<LPARAM>(&item));
  } else {
    if (const auto* check = dynamic_cast<const TCheckBox*>(&control)) {
      ::SendMessageW(window, BM_SETCHECK,
                     check->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    const std::wstring caption = platform::Cp1250ToWide(control.Caption());
    if (WindowText(window) != caption) {
      ::SetWindowTextW(window, caption.c_str());
      captionChanged = true;
    }
  }
  if ((::IsWindowEnabled(window) != 0) != control.Enabled()) {
    ::EnableWindow(window, control.Enabled() ? TRUE : FALSE);
  }
  // A longer caption needs room at once; before the dialog shows, RunModal
  // lays everything out.
  if (captionChanged && FShown) Layout(nullptr);
}

void TFMain2Win::TImpl::ShowEdit(const TEdit& edit, TEntry& entry) {
  const HWND window = entry.Window;
  ::SendMessageW(window, EM_SETLIMITTEXT, edit.MaxLength(), 0);
  const std::wstring wanted = platform::Cp1250ToWide(edit.Text());
  const std::wstring shown = WindowText(window);
  if (shown != wanted) {
    // The form keeps Windows-1250 text, so a character typed that the code
    // page lacks comes back as "?". The caret stays where the user left
    // it, counted in the text as the form keeps it.
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    const auto kept = [&](DWORD position) {
      const std::size_t before =
          platform::WideToCp1250(std::wstring_view(shown).substr(0, position))
              .size();
      return static_cast<LPARAM>(std::min(before, wanted.size()));
    };
    ::SetWindowTextW(window, wanted.c_str());
    ::SendMessageW(window, EM_SETSEL, static_cast<WPARAM>(kept(start)),
                   kept(end));
  }
  const bool readOnly =
      (::GetWindowLongW(window, GWL_STYLE) & ES_READONLY) != 0;
  if (readOnly != edit.ReadOnly()) {
    ::SendMessageW(window, EM_SETREADONLY, edit.ReadOnly() ? TRUE : FALSE, 0);
  }
  if (entry.Colour != edit.Color()) {
    entry.Colour = edit.Color();
    ::InvalidateRect(window, nullptr, TRUE);
  }
}

void TFMain2Win::TImpl::ShowList(const TComboBox& list, TEntry& entry) {
  if (entry.Items != list.Items()) {
    ::SendMessageW(entry.Window, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : list.Items()) {
      ::SendMessageW(
          entry.Window, CB_ADDSTRING, 0,
          reinterpret_cast<LPARAM>(platform::Cp1250ToWide(item).c_str()));
    }
    entry.Items = list.Items();
  }
  if (::SendMessageW(entry.Window, CB_GETCURSEL, 0, 0) != list.ItemIndex()) {
    ::SendMessageW(entry.Window, CB_SETCURSEL,
                   static_cast<WPARAM>(list.ItemIndex()), 0);
  }
}

void TFMain2Win::TImpl::ShowActivePage() {
  const int index = FPageControl->ActivePageIndex();
  if (::SendMessageW(FTabs, TCM_GETCURSEL, 0, 0) != index) {
    ::SendMessageW(FTabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  for (std::size_t i = 0; i < FPages.size(); ++i) {
    if (static_cast<int>(i) != index) ::ShowWindow(FPages[i], SW_HIDE);
  }
  if (index >= 0 && static_cast<std::size_t>(index) < FPages.size()) {
    ::ShowWindow(FPages[static_cast<std::size_t>(index)], SW_SHOW);
  }
  // The focus does not stay on a page that went out of sight.
  const HWND focus = ::GetFocus();
  if (focus != nullptr && ::IsChild(FTabs, focus) != 0 &&
      ::IsWindowVisible(focus) == 0) {
    ::SendMessageW(FDialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(FTabs),
                   TRUE);
  }
}

bool TFMain2Win::TImpl::FocusControl(const TControl& control) {
  const TEntry* entry = EntryOf(control);
  if (entry == nullptr || ::IsWindowVisible(entry->Window) == 0 ||
      ::IsWindowEnabled(entry->Window) == 0) {
    return false;
  }
  ::SendMessageW(FDialog, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(entry->Window), TRUE);
  return ::GetFocus() == entry->Window;
}

std::optional<std::string> TFMain2Win::TImpl::BrowseForFolder(
    std::string_view title) {
  // The browser is built of shell objects, which need COM on this thread.
  const HRESULT com = ::CoInitializeEx(
      nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring caption = platform::Cp1250ToWide(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = FDialog;
  browse.lpszTitle = caption.c_str();
  std::optional<std::string> path;
  if (const PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&browse)) {
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(picked, buffer) != 0 && buffer[0] != L'\0') {
      path = platform::WideToCp1250(buffer);
    }
    ::CoTaskMemFree(picked);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return path;
}

void TFMain2Win::TImpl::CloseModal(TModalResult result) {
  FResult = result;
  FDone = true;
  ::PostMessageW(FDialog, WM_NULL, 0, 0);
}

TFMain2Win::TFMain2Win(TFMain2& form) : FImpl(std::make_unique<TImpl>(form)) {}

TFMain2Win::~TFMain2Win() = default;

TModalResult TFMain2Win::RunModal() { return FImpl->RunModal(); }

void TFMain2Win::ProcessPending() { FImpl->ProcessPending(); }

HWND__* TFMain2Win::Handle() const { return FImpl->Handle(); }

HWND__* TFMain2Win::Window(std::string_view name) const {
  return FImpl->Window(name);
}

void ShowFormModal(TFMain2& form) {
  TFMain2Win dialog(form);
  dialog.RunModal();
}

void InstallNativeEditor() { SetEditorScreen(ShowFormModal); }

}  // namespace bridge::gui
