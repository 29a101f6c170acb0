#include "gui/uMain2_win.h"

#include <windows.h>
// The shell, the common controls and the themes build on windows.h.
#include <commctrl.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/Uglobal.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge::gui {
namespace {

inline constexpr auto kNeedsDisplay =
    Cp1250(u8"Edytor parametrów wymaga ekranu graficznego");

constexpr int kFirstId = 100;
constexpr UINT_PTR kTimerId = 1;
// Width of an ordinary edit or list, in average characters.
constexpr int kFieldChars = 20;

std::wstring Wide(std::string_view text) {
  const std::u16string utf16 = platform::Cp1250ToUtf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view text) {
  return platform::Utf16ToCp1250(std::u16string(text.begin(), text.end()));
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

// The per-monitor DPI calls, which systems before Windows 10 lack: looked up
// at run time, so that the program still starts there at the system DPI.
struct TDpiCalls {
  UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
  BOOL(WINAPI* SystemParametersInfoForDpi)
  (UINT, UINT, PVOID, UINT, UINT) = nullptr;
  int(WINAPI* GetSystemMetricsForDpi)(int, UINT) = nullptr;
  BOOL(WINAPI* AdjustWindowRectExForDpi)
  (LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
};

template <class T>
void Resolve(HMODULE module, const char* name, T& call) {
  // void (*)() converts to and from every function pointer type.
  call = reinterpret_cast<T>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const TDpiCalls& DpiCalls() {
  static const TDpiCalls calls = [] {
    TDpiCalls found;
    if (const HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
      Resolve(user32, "GetDpiForWindow", found.GetDpiForWindow);
      Resolve(user32, "SystemParametersInfoForDpi",
              found.SystemParametersInfoForDpi);
      Resolve(user32, "GetSystemMetricsForDpi", found.GetSystemMetricsForDpi);
      Resolve(user32, "AdjustWindowRectExForDpi",
              found.AdjustWindowRectExForDpi);
    }
    return found;
  }();
  return calls;
}

UINT SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT DpiOf(HWND window) {
  if (DpiCalls().GetDpiForWindow != nullptr) {
    if (const UINT dpi = DpiCalls().GetDpiForWindow(window); dpi != 0) {
      return dpi;
    }
  }
  return SystemDpi();
}

int Scaled(int pixels, UINT dpi) {
  return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

int Metric(int index, UINT dpi) {
  if (DpiCalls().GetSystemMetricsForDpi != nullptr) {
    return DpiCalls().GetSystemMetricsForDpi(index, dpi);
  }
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi),
                  static_cast<int>(SystemDpi()));
}

// The font of message boxes at the given DPI: Segoe UI 9 pt on current
// systems, whatever the user chose otherwise.
HFONT MessageFont(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  const TDpiCalls& calls = DpiCalls();
  if (calls.SystemParametersInfoForDpi != nullptr &&
      calls.SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics,
                                       &metrics, 0, dpi) != 0) {
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics,
                              0) != 0) {
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi),
                             static_cast<int>(SystemDpi()));
    return ::CreateFontIndirectW(&font);
  }
  LOGFONTW font{};
  font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
  return ::CreateFontIndirectW(&font);
}

// A dialog with no controls, built from an empty template in memory; the
// controls are made in code from the form's tree.
HWND CreateEmptyDialog(HWND parent, DWORD style, DWORD exStyle, DLGPROC proc,
                       LPARAM param) {
  struct alignas(4) TEmptyTemplate {
    DLGTEMPLATE Head;
    WORD Menu;
    WORD Class;
    WORD Title;
  };
  TEmptyTemplate empty{};
  empty.Head.style = style;
  empty.Head.dwExtendedStyle = exStyle;
  return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), &empty.Head,
                                      parent, proc, param);
}

// The wheel turns a list only while the user works in it. Over a list that
// merely lies under the pointer it goes on to the page, and over a list
// that is dropped down it scrolls the rows instead of changing the choice.
LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam, UINT_PTR id, DWORD_PTR /*data*/) {
  if (message == WM_MOUSEWHEEL) {
    if (::SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0) != 0) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      if (::GetComboBoxInfo(window, &info) != 0 && info.hwndList != nullptr) {
        return ::SendMessageW(info.hwndList, message, wParam, lParam);
      }
      return 0;
    }
    if (::GetFocus() != window) {
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(window, ListProc, id);
  }
  return ::DefSubclassProc(window, message, wParam, lParam);
}

// Measures text in a font, as a window shows it ("&" marks a mnemonic).
class TTextMeter {
 public:
  TTextMeter(HWND window, HFONT font)
      : FWindow(window),
        FDc(::GetDC(window)),
        FOldFont(::SelectObject(FDc, font)) {}
  ~TTextMeter() {
    ::SelectObject(FDc, FOldFont);
    ::ReleaseDC(FWindow, FDc);
  }
  TTextMeter(const TTextMeter&) = delete;
  TTextMeter& operator=(const TTextMeter&) = delete;

  int Width(std::string_view text) const {
    const std::wstring wide = Wide(text);
    RECT rect{};
    ::DrawTextW(FDc, wide.c_str(), static_cast<int>(wide.size()), &rect,
                DT_CALCRECT | DT_SINGLELINE);
    return static_cast<int>(rect.right - rect.left);
  }
  int Height() const {
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(FDc, &metrics);
    return metrics.tmHeight;
  }
  // The average width of a letter, as dialog units count it.
  int AverageWidth() const {
    constexpr std::wstring_view kAlphabet =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    ::GetTextExtentPoint32W(FDc, kAlphabet.data(),
                            static_cast<int>(kAlphabet.size()), &size);
    return static_cast<int>((size.cx / 26 + 1) / 2);
  }

 private:
  HWND FWindow;
  HDC FDc;
  HGDIOBJ FOldFont;
};

bool TakesFocus(const TControl& control) {
  if (const auto* button = dynamic_cast<const TButton*>(&control)) {
    return button->TakesFocus();
  }
  return dynamic_cast<const TEdit*>(&control) != nullptr ||
         dynamic_cast<const TComboBox*>(&control) != nullptr ||
         dynamic_cast<const TCheckBox*>(&control) != nullptr ||
         dynamic_cast<const TPageControl*>(&control) != nullptr;
}

}  // namespace

class TFMain2Win::TImpl final : public TFMain2View {
 public:
  explicit TImpl(TFMain2& form);
  ~TImpl() override;
  TImpl(const TImpl&) = delete;
  TImpl& operator=(const TImpl&) = delete;

  TModalResult RunModal();
  void ProcessPending();
  HWND Handle() const { return FDialog; }
  HWND Window(std::string_view name) const;

  void ControlChanged(const TControl& control) override;
  bool FocusControl(const TControl& control) override;
  std::optional<std::string> BrowseForFolder(std::string_view title) override;
  void CloseModal(TModalResult result) override;

 private:
  struct TEntry {
    TControl* Control = nullptr;
    HWND Window = nullptr;
    // The items a list shows, to refill it only when they change.
    std::vector<std::string> Items;
    // The background an edit was last painted with.
    TColorRole Colour = TColorRole::kWindow;
  };
  // One row of a page: a label and its input with the buttons after it, or
  // a check box alone.
  struct TRow {
    HWND Label = nullptr;
    HWND Input = nullptr;
    std::vector<HWND> Buttons;
    bool Stretches = false;
    bool Check = false;
  };
  // Sizes that follow from the font and the DPI, in pixels.
  struct TMetrics {
    int TextHeight = 0;
    int FieldHeight = 0;  // an edit's and a closed list's
    int FieldWidth = 0;   // an edit's or list's that is not wide
    int CheckGlyph = 0;
    int CheckHeight = 0;
    int ToolWidth = 0;  // the "..." button's
    int Margin = 0;
    int Gap = 0;
    int RowGap = 0;
  };
  static TRow LabelRow(HWND label) {
    TRow row;
    row.Label = label;
    return row;
  }
  // Sets FUpdating while the view writes what the form holds, so that the
  // notifications it causes are not taken for the user's.
  class TUpdating {
   public:
    explicit TUpdating(int& depth) : FDepth(depth) { ++FDepth; }
    ~TUpdating() { --FDepth; }
    TUpdating(const TUpdating&) = delete;
    TUpdating& operator=(const TUpdating&) = delete;

   private:
    int& FDepth;
  };

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam);
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam);
  void AddWindows(TControl& control, HWND parent);
  HWND CreateControl(TControl& control, HWND parent, int id);
  void Command(HWND source, int id, int code);
  void PressCancel();
  void Dispatch(MSG& message);
  bool HandleTabKey(const MSG& message);
  void MoveFocus(int step);
  void ShowTree(const TControl& control);
  void ShowState(const TControl& control);
  void ShowEdit(const TEdit& edit, TEntry& entry);
  void ShowList(const TComboBox& list, TEntry& entry);
  void ShowActivePage();
  void ApplyFont();
  // Sizes and places every window from the font at the window's DPI; the
  // dialog goes to the suggested place when the DPI has changed.
  void Layout(const RECT* suggested);
  TMetrics Measure(const TTextMeter& text);
  // Places the rows of every page; gives the size the pages need.
  SIZE LayOutPages(const TTextMeter& text, const TMetrics& m);
  void Place(int clientWidth, int clientHeight, const RECT* suggested);
  template <class TAction>
  void Forward(TAction&& action);
  TEntry* EntryOf(HWND window);
  TEntry* EntryOf(const TControl& control);

  TFMain2& FForm;
  HWND FDialog = nullptr;
  HWND FTabs = nullptr;
  std::vector<TEntry> FEntries;
  std::unordered_map<const TControl*, std::size_t> FIndex;
  std::vector<HWND> FPages;
  TPageControl* FPageControl = nullptr;
  const TTimer* FTimer = nullptr;
  const TButton* FCancel = nullptr;
  HFONT FFont = nullptr;
  UINT FDpi = 96;
  int FUpdating = 0;
  bool FShown = false;
  bool FDone = false;
  TModalResult FResult = TModalResult::kNone;
};

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
      const std::wstring caption = Wide(sheet->Caption());
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
  const std::wstring caption = Wide(control.Caption());
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
  // A window procedure cannot carry an error back through the system.
  try {
    std::forward<TAction>(action)();
  } catch (const EBridgeError& error) {
    ShowError(error.what());
  } catch (const std::exception& error) {
    ShowError(platform::Utf8ToCp1250(error.what()));
  }
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
      Forward([&] { edit->SetText(Narrow(WindowText(source))); });
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
    ::SetWindowTextW(FDialog, Wide(control.Caption()).c_str());
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
    std::wstring caption = Wide(control.Caption());
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
    const std::wstring caption = Wide(control.Caption());
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
  const std::wstring wanted = Wide(edit.Text());
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
          Narrow(std::wstring_view(shown).substr(0, position)).size();
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
      ::SendMessageW(entry.Window, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(item).c_str()));
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

void TFMain2Win::TImpl::ApplyFont() {
  const HFONT font = MessageFont(FDpi);
  if (font == nullptr) return;
  for (const TEntry& entry : FEntries) {
    ::SendMessageW(entry.Window, WM_SETFONT, reinterpret_cast<WPARAM>(font),
                   FALSE);
  }
  if (FFont != nullptr) ::DeleteObject(FFont);
  FFont = font;
}

TFMain2Win::TImpl::TMetrics TFMain2Win::TImpl::Measure(const TTextMeter& text) {
  const auto s = [this](int pixels) { return Scaled(pixels, FDpi); };
  TMetrics m;
  m.TextHeight = text.Height();
  // The closed height of a list, which the list sets from its font.
  m.FieldHeight = m.TextHeight + s(8);
  for (const TEntry& entry : FEntries) {
    if (dynamic_cast<const TComboBox*>(entry.Control) != nullptr) {
      ::SetWindowPos(entry.Window, nullptr, 0, 0, s(100), m.FieldHeight * 12,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
      RECT rect{};
      ::GetWindowRect(entry.Window, &rect);
      m.FieldHeight = std::max(static_cast<int>(rect.bottom - rect.top),
                               m.TextHeight + s(4));
      break;
    }
  }
  m.CheckGlyph = Metric(SM_CXMENUCHECK, FDpi);
  m.CheckHeight = std::max(m.TextHeight, m.CheckGlyph) + s(2);
  m.Margin = s(8);
  m.Gap = s(6);
  m.RowGap = s(3);
  m.ToolWidth = text.Width("...") + s(16);
  // Wide enough for every item of every list but the devices.
  m.FieldWidth = kFieldChars * text.AverageWidth();
  const int arrow = Metric(SM_CXVSCROLL, FDpi);
  for (const TEntry& entry : FEntries) {
    if (entry.Control == FForm.Controls().CDevices) continue;
    for (const std::string& item : entry.Items) {
      m.FieldWidth = std::max(m.FieldWidth, text.Width(item) + arrow + s(12));
    }
  }
  return m;
}

SIZE TFMain2Win::TImpl::LayOutPages(const TTextMeter& text, const TMetrics& m) {
  // Every page in rows; the widest and the tallest page size them all.
  std::vector<std::vector<TRow>> pageRows(FPages.size());
  std::vector<int> labelWidths(FPages.size(), 0);
  int contentWidth = 0;
  int contentHeight = 0;
  for (std::size_t p = 0; p < FPages.size(); ++p) {
    std::vector<TRow>& rows = pageRows[p];
    HWND pending = nullptr;
    const auto& children = EntryOf(FPages[p])->Control->Children();
    for (std::size_t i = 0; i < children.Count(); ++i) {
      TControl& child = children[i];
      const HWND window = EntryOf(child)->Window;
      if (dynamic_cast<const TLabel*>(&child) != nullptr) {
        if (pending != nullptr) rows.push_back(LabelRow(pending));
        pending = window;
        labelWidths[p] = std::max(labelWidths[p], text.Width(child.Caption()));
        continue;
      }
      TRow row;
      row.Label = pending;
      row.Input = window;
      pending = nullptr;
      if (dynamic_cast<const TCheckBox*>(&child) != nullptr) {
        // A check box carries its own caption and spans the page.
        if (row.Label != nullptr) rows.push_back(LabelRow(row.Label));
        row.Label = nullptr;
        row.Check = true;
        contentWidth = std::max(contentWidth, m.CheckGlyph + m.Gap + m.Gap / 2 +
                                                  text.Width(child.Caption()));
      } else {
        const auto* edit = dynamic_cast<const TEdit*>(&child);
        row.Stretches = edit != nullptr && edit->Wide();
        while (i + 1 < children.Count() &&
               dynamic_cast<const TButton*>(&children[i + 1]) != nullptr) {
          row.Buttons.push_back(EntryOf(children[++i])->Window);
          row.Stretches = true;
        }
      }
      rows.push_back(row);
    }
    if (pending != nullptr) rows.push_back(LabelRow(pending));
    int height = 0;
    for (const TRow& row : rows) {
      height += (row.Check ? m.CheckHeight : m.FieldHeight) + m.RowGap;
      contentWidth =
          std::max(contentWidth, labelWidths[p] + m.Gap + m.FieldWidth +
                                     static_cast<int>(row.Buttons.size()) *
                                         (m.ToolWidth + m.Gap / 2));
    }
    contentHeight = std::max(contentHeight, height);
  }

  const int pageWidth = contentWidth + 2 * m.Margin;
  for (std::size_t p = 0; p < FPages.size(); ++p) {
    const int inputX = m.Margin + labelWidths[p] + m.Gap;
    int y = m.Margin;
    for (const TRow& row : pageRows[p]) {
      const int height = row.Check ? m.CheckHeight : m.FieldHeight;
      if (row.Label != nullptr) {
        ::MoveWindow(row.Label, m.Margin, y + (height - m.TextHeight) / 2,
                     labelWidths[p], m.TextHeight, FALSE);
      }
      if (row.Check) {
        ::MoveWindow(row.Input, m.Margin, y, contentWidth, height, FALSE);
      } else if (row.Input != nullptr) {
        const int width =
            (row.Stretches ? pageWidth - m.Margin - inputX : m.FieldWidth) -
            static_cast<int>(row.Buttons.size()) * (m.ToolWidth + m.Gap / 2);
        // A list's height is that of its open list; it sets its closed
        // height itself.
        const bool list = dynamic_cast<const TComboBox*>(
                              EntryOf(row.Input)->Control) != nullptr;
        ::MoveWindow(row.Input, inputX, y, width,
                     list ? m.FieldHeight * 12 : height, FALSE);
        int x = inputX + width;
        for (const HWND button : row.Buttons) {
          x += m.Gap / 2;
          ::MoveWindow(button, x, y, m.ToolWidth, height, FALSE);
          x += m.ToolWidth;
        }
      }
      y += height + m.RowGap;
    }
  }
  return {pageWidth, contentHeight + 2 * m.Margin - m.RowGap};
}

void TFMain2Win::TImpl::Layout(const RECT* suggested) {
  const auto s = [this](int pixels) { return Scaled(pixels, FDpi); };
  const TTextMeter text(FDialog, FFont);
  const TMetrics m = Measure(text);
  const SIZE page = LayOutPages(text, m);

  // The top bar, the tabs around the pages and the buttons below them.
  int x = m.Margin;
  int y = m.Margin;
  int topWidth = 0;
  std::vector<const TEntry*> buttons;
  for (const auto& child : FForm.Form().Children()) {
    const TEntry* entry = EntryOf(*child);
    if (entry == nullptr || entry->Window == FTabs) continue;
    if (dynamic_cast<const TButton*>(child.get()) != nullptr) {
      buttons.push_back(entry);
      continue;
    }
    if (dynamic_cast<const TLabel*>(child.get()) != nullptr) {
      const int width = text.Width(child->Caption());
      ::MoveWindow(entry->Window, x, y + (m.FieldHeight - m.TextHeight) / 2,
                   width, m.TextHeight, FALSE);
      x += width + m.Gap;
    } else {
      ::MoveWindow(entry->Window, x, y, m.FieldWidth, m.FieldHeight * 12,
                   FALSE);
      x += m.FieldWidth + m.Gap;
    }
    topWidth = x - m.Gap - m.Margin;
  }
  y += m.FieldHeight + s(8);
  RECT tabs{0, 0, page.cx, page.cy};
  ::SendMessageW(FTabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabs));
  const int tabsWidth = static_cast<int>(tabs.right - tabs.left);
  const int tabsHeight = static_cast<int>(tabs.bottom - tabs.top);
  ::MoveWindow(FTabs, m.Margin, y, tabsWidth, tabsHeight, FALSE);
  RECT display{0, 0, tabsWidth, tabsHeight};
  ::SendMessageW(FTabs, TCM_ADJUSTRECT, FALSE,
                 reinterpret_cast<LPARAM>(&display));
  for (const HWND pageWindow : FPages) {
    ::MoveWindow(pageWindow, display.left, display.top,
                 display.right - display.left, display.bottom - display.top,
                 FALSE);
  }
  y += tabsHeight + s(8);

  const int clientWidth = 2 * m.Margin + std::max(tabsWidth, topWidth);
  const int buttonHeight = m.FieldHeight + s(2);
  x = clientWidth - m.Margin;
  for (auto at = buttons.rbegin(); at != buttons.rend(); ++at) {
    const int width =
        std::max(s(88), text.Width((*at)->Control->Caption()) + s(24));
    x -= width;
    ::MoveWindow((*at)->Window, x, y, width, buttonHeight, FALSE);
    x -= m.Gap;
  }
  Place(clientWidth, y + buttonHeight + m.Margin, suggested);
}

void TFMain2Win::TImpl::Place(int clientWidth, int clientHeight,
                              const RECT* suggested) {
  const auto style = static_cast<DWORD>(::GetWindowLongW(FDialog, GWL_STYLE));
  const auto exStyle =
      static_cast<DWORD>(::GetWindowLongW(FDialog, GWL_EXSTYLE));
  RECT frame{0, 0, clientWidth, clientHeight};
  if (DpiCalls().AdjustWindowRectExForDpi != nullptr) {
    DpiCalls().AdjustWindowRectExForDpi(&frame, style, FALSE, exStyle, FDpi);
  } else {
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  const int width = static_cast<int>(frame.right - frame.left);
  const int height = static_cast<int>(frame.bottom - frame.top);
  RECT place{};
  ::GetWindowRect(FDialog, &place);
  if (suggested != nullptr) {
    place = *suggested;
  } else if (!FShown) {
    // Centred in the work area of the screen it opens on, and never above
    // its top edge.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(FDialog, MONITOR_DEFAULTTOPRIMARY),
                      &monitor);
    const RECT& work = monitor.rcWork;
    place.left =
        std::max(work.left, work.left + (work.right - work.left - width) / 2);
    place.top =
        std::max(work.top, work.top + (work.bottom - work.top - height) / 2);
  }
  ::SetWindowPos(FDialog, nullptr, place.left, place.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(FDialog, nullptr, TRUE);
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
  const std::wstring caption = Wide(title);
  BROWSEINFOW browse{};
  browse.hwndOwner = FDialog;
  browse.lpszTitle = caption.c_str();
  std::optional<std::string> path;
  if (const PIDLIST_ABSOLUTE picked = ::SHBrowseForFolderW(&browse)) {
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(picked, buffer) != 0 && buffer[0] != L'\0') {
      path = Narrow(buffer);
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
