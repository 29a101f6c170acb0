// What the two sources of the native editor dialog share: its state
// (TFMain2Win::TImpl), and the screen's measures, fonts and text on which
// its layout rests. Only the dialog's own sources include this, as it
// brings in <windows.h>.
#pragma once

#include <windows.h>
// The common controls build on windows.h.
#include <commctrl.h>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/uMain2.h"
#include "gui/uMain2_win.h"
#include "platform/Cp1250.h"

namespace bridge::gui {

constexpr int kFirstId = 100;
constexpr UINT_PTR kTimerId = 1;
// Width of an ordinary edit or list, in average characters.
constexpr int kFieldChars = 20;

std::wstring WindowText(HWND window);

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
const TDpiCalls& DpiCalls();

UINT SystemDpi();
UINT DpiOf(HWND window);
// Pixels at 96 DPI, at the given DPI.
int Scaled(int pixels, UINT dpi);
// A system metric at the given DPI.
int Metric(int index, UINT dpi);
// The font of message boxes at the given DPI: Segoe UI 9 pt on current
// systems, whatever the user chose otherwise.
HFONT MessageFont(UINT dpi);
// A dialog with no controls, built from an empty template in memory; the
// controls are made in code from the form's tree.
HWND CreateEmptyDialog(HWND parent, DWORD style, DWORD exStyle, DLGPROC proc,
                       LPARAM param);
// The wheel turns a list only while the user works in it. Over a list that
// merely lies under the pointer it goes on to the page, and over a list
// that is dropped down it scrolls the rows instead of changing the choice.
LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam, UINT_PTR id, DWORD_PTR data);
// Whether the keyboard visits the control.
bool TakesFocus(const TControl& control);

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
    const std::wstring wide = platform::Cp1250ToWide(text);
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

}  // namespace bridge::gui
