// The screen side of the native editor dialog: text for the wide API, the
// DPI and the message font, and the layout of every control by them.
#include <algorithm>

#include "gui/uMain2_win_internal.h"

namespace bridge::gui {
namespace {

template <class T>
void Resolve(HMODULE module, const char* name, T& call) {
  // void (*)() converts to and from every function pointer type.
  call = reinterpret_cast<T>(
      reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
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

bool TakesFocus(const TControl& control) {
  if (const auto* button = dynamic_cast<const TButton*>(&control)) {
    return button->TakesFocus();
  }
  return dynamic_cast<const TEdit*>(&control) != nullptr ||
         dynamic_cast<const TComboBox*>(&control) != nullptr ||
         dynamic_cast<const TCheckBox*>(&control) != nullptr ||
         dynamic_cast<const TPageControl*>(&control) != nullptr;
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

}  // namespace bridge::gui
