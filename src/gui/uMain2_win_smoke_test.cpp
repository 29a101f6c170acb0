// The native editor dialog on a real desktop: under Wine on a virtual display
// (ctest runs it so where xvfb-run is installed), skipped where no window can
// be made. The first tab is saved as editor-windows.bmp in the working
// directory, the others as editor-windows-<n>.bmp.
#include <windows.h>
// The common controls build on windows.h.
#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/IniFile.h"
#include "gui/uMain2_win.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge::gui {
namespace {

using testing::ReadBytes;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

constexpr const wchar_t* kTitle = L"Edycja parametr\u00f3w";

// The tests' own desktop, which Wine starts on the display of the process
// that first needs it: tests that run meanwhile without a display leave the
// shared default desktop without one. Empty until NoDesktop has made it.
std::wstring& Desktop() {
  static std::wstring name;
  return name;
}

// Why no window can be made here, or nothing when one can.
const std::string& NoDesktop() {
  static const std::string reason = []() -> std::string {
    // A desktop whose first window fails stays without one, so a busy
    // machine gets a few fresh desktops to try.
    for (int attempt = 0; attempt < 5; ++attempt) {
      const std::wstring name = L"forbook-bridge-tests-" +
                                std::to_wstring(::GetCurrentProcessId()) +
                                L"-" + std::to_wstring(attempt);
      const HDESK desktop = ::CreateDesktopW(name.c_str(), nullptr, nullptr, 0,
                                             GENERIC_ALL, nullptr);
      if (desktop == nullptr || ::SetThreadDesktop(desktop) == 0) {
        return "the tests' desktop cannot be made, error " +
               std::to_string(::GetLastError());
      }
      const HWND probe =
          ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                            nullptr, nullptr, nullptr);
      if (probe != nullptr) {
        ::DestroyWindow(probe);
        Desktop() = name;
        return {};
      }
      ::Sleep(1000);
    }
    return "no window can be made (Wine without an X display); run under "
           "xvfb-run, as ctest does where xvfb-run is installed";
  }();
  return reason;
}

std::wstring TextOf(HWND window) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(window, buffer, 512);
  return buffer;
}

HWND FirstChildOfClass(HWND parent, std::wstring_view kind) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, 64);
    if (kind == name) return child;
  }
  return nullptr;
}

bool WaitUntil(TFMain2Win& dialog, const std::function<bool()>& done) {
  for (int waited = 0; !done(); waited += 5) {
    if (waited > 10000) return false;
    dialog.ProcessPending();
    ::Sleep(5);
  }
  return true;
}

// Runs the dialog modally while the script acts inside its loop, as the
// user would; a script that stops early closes the dialog.
TModalResult RunScripted(TFMain2Win& dialog,
                         const std::function<void()>& script) {
  static TFMain2Win* running = nullptr;
  static const std::function<void()>* pending = nullptr;
  running = &dialog;
  pending = &script;
  ::SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    (*pending)();
    if (::IsWindowVisible(running->Handle()) != 0) {
      ::PostMessageW(running->Handle(), WM_CLOSE, 0, 0);
    }
  });
  return dialog.RunModal();
}

// The inside of a window as it shows on screen, as a 24-bit BMP file; with
// no window manager on the virtual display, nobody draws the frame.
void SaveScreenshot(HWND window, const std::string& path) {
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rect{};
  ::GetClientRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const HDC screen = ::GetDC(window);
  const HDC memory = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const auto stride = static_cast<std::size_t>((width * 3 + 3) / 4 * 4);
  std::string pixels(stride * static_cast<std::size_t>(height), '\0');
  ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(window, screen);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  WriteBytes(path, bytes + pixels);
}

// The text a static or button shows needs its own width and height.
::testing::AssertionResult ShowsWholeCaption(HWND window) {
  const std::wstring text = TextOf(window);
  const HDC dc = ::GetDC(window);
  const HGDIOBJ old = ::SelectObject(
      dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(window, WM_GETFONT, 0, 0)));
  RECT needed{};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_SINGLELINE);
  ::SelectObject(dc, old);
  ::ReleaseDC(window, dc);
  RECT client{};
  ::GetClientRect(window, &client);
  wchar_t kind[32] = {};
  ::GetClassNameW(window, kind, 32);
  // A check box draws its box and a gap before the text.
  const LONG box = std::wstring(kind) == L"Button"
                       ? ::GetSystemMetrics(SM_CXMENUCHECK) + 4
                       : 0;
  if (client.right < needed.right + box || client.bottom < needed.bottom) {
    return ::testing::AssertionFailure()
           << "caption cut off: "
           << platform::Utf16ToCp1250(std::u16string(text.begin(), text.end()));
  }
  return ::testing::AssertionSuccess();
}

// A program directory with devices 12 and 13, opened at start-up on 12.
class NativeEditor : public ::testing::Test {
 protected:
  NativeEditor() {
    EXPECT_TRUE(platform::CreateDir(FDir / "12"));
    EXPECT_TRUE(platform::CreateDir(FDir / "13"));
    WriteBytes(FDir / "12/forbook-bridge.cfg",
               "[MAIN]\r\nNR_FK=3\r\nWERSJA=1.7.0\r\n");
  }
  void SetUp() override {
    if (!NoDesktop().empty()) GTEST_SKIP() << NoDesktop();
    FConfig = std::make_unique<TScopedConfigFile>("12");
    FForm = std::make_unique<TFMain2>();
    FDialog = std::make_unique<TFMain2Win>(*FForm);
  }
  void TearDown() override {
    FDialog.reset();
    FForm.reset();
    FConfig.reset();
  }
  HWND Window(std::string_view name) {
    const HWND window = FDialog->Window(name);
    EXPECT_NE(window, nullptr) << name;
    return window;
  }
  bool DevicesListed() {
    return WaitUntil(*FDialog, [&] {
      return ::SendMessageW(Window("CDevices"), CB_GETCOUNT, 0, 0) == 2;
    });
  }
  // What the user's key does: the message as the keyboard posts it to the
  // window with the focus, then the dialog's loop.
  void Key(UINT message, WPARAM key, LPARAM flags = 1) {
    ::PostMessageW(::GetFocus(), message, key, flags);
    FDialog->ProcessPending();
  }

  TTempDir FDir;
  TTestSystem FSystem{FDir.Str(), {"", "KU:12"}};
  std::unique_ptr<TScopedConfigFile> FConfig;
  std::unique_ptr<TFMain2> FForm;
  std::unique_ptr<TFMain2Win> FDialog;
};

TEST_F(NativeEditor, ShowsEveryTabWholeOnALaptopScreen) {
  const HWND tabs = Window("PC");
  RunScripted(*FDialog, [&] {
    ASSERT_TRUE(DevicesListed());
    EXPECT_EQ(TextOf(FDialog->Handle()), kTitle);
    EXPECT_EQ(TextOf(Window("eNR_FK")), L"3");
    EXPECT_EQ(::SendMessageW(Window("CDevices"), CB_GETMINVISIBLE, 0, 0), 10);

    // Fits a 1366 x 768 screen with a taskbar, whatever the DPI.
    RECT frame{};
    ::GetWindowRect(FDialog->Handle(), &frame);
    const UINT dpi = ::GetDpiForWindow(FDialog->Handle());
    EXPECT_LT((frame.bottom - frame.top) * 96 / static_cast<LONG>(dpi), 690);
    EXPECT_LT((frame.right - frame.left) * 96 / static_cast<LONG>(dpi), 1000);

    // Layout 1.7.0: a locked edit is read-only and grey, an open one white,
    // a locked list disabled.
    EXPECT_NE(::GetWindowLongW(Window("eMaxPoz"), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_EQ(::GetWindowLongW(Window("eRabat"), GWL_STYLE) & ES_READONLY, 0);
    const HWND page = ::GetParent(Window("eMaxPoz"));
    const HDC dc = ::GetDC(page);
    EXPECT_EQ(
        ::SendMessageW(page, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(Window("eMaxPoz"))),
        reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE)));
    EXPECT_EQ(
        ::SendMessageW(page, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(Window("eRabat"))),
        reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW)));
    ::ReleaseDC(page, dc);
    EXPECT_FALSE(::IsWindowEnabled(Window("cFirms")));
    EXPECT_TRUE(::IsWindowEnabled(Window("cVersions")));

    for (int index = 0; index < 4; ++index) {
      // A click on the tab, as the mouse gives it.
      RECT tab{};
      ::SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&tab));
      const LPARAM at =
          MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
      ::PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::PostMessageW(tabs, WM_LBUTTONUP, 0, at);
      ASSERT_TRUE(WaitUntil(*FDialog, [&] {
        return FForm->Controls().PC->ActivePageIndex() == index;
      })) << index;
      const TTabSheet& sheet = *FForm->Controls().PC->ActivePage();
      const HWND shown = Window(sheet.Name());
      EXPECT_TRUE(::IsWindowVisible(shown)) << sheet.Name();
      RECT area{};
      ::GetWindowRect(shown, &area);
      for (const auto& child : sheet.Children()) {
        const HWND window = Window(child->Name());
        RECT rect{};
        ::GetWindowRect(window, &rect);
        if (::SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0) == 0) {
          EXPECT_TRUE(rect.left >= area.left && rect.right <= area.right &&
                      rect.top >= area.top && rect.bottom <= area.bottom)
              << child->Name() << " lies outside its page";
        }
        if (dynamic_cast<const TLabel*>(child.get()) != nullptr ||
            dynamic_cast<const TCheckBox*>(child.get()) != nullptr) {
          EXPECT_TRUE(ShowsWholeCaption(window)) << child->Name();
        }
      }
      SaveScreenshot(
          FDialog->Handle(),
          index == 0 ? std::string("editor-windows.bmp")
                     : "editor-windows-" + std::to_string(index + 1) + ".bmp");
    }
  });
}

TEST_F(NativeEditor, KeysFollowTheFormAndEscClosesAnOpenListFirst) {
  const std::string before = ReadBytes(FDir / "12/forbook-bridge.cfg");
  const HWND devices = Window("CDevices");
  const TModalResult result = RunScripted(*FDialog, [&] {
    ASSERT_TRUE(DevicesListed());
    ::SetFocus(Window("BitBtn1"));
    Key(WM_SYSCHAR, L'u', 1 | (1 << 29));
    EXPECT_EQ(::GetFocus(), devices);

    // Tab follows the form's order, into the page in front; Ctrl+Tab and
    // Ctrl+Shift+Tab turn the pages.
    Key(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(::GetFocus(), Window("PC"));
    Key(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(::GetFocus(), Window("eDir"));
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    Key(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(FForm->Controls().PC->ActivePageIndex(), 1);
    keys[VK_SHIFT] = 0x80;
    ::SetKeyboardState(keys);
    Key(WM_KEYDOWN, VK_TAB);
    Key(WM_KEYDOWN, VK_TAB);
    EXPECT_EQ(FForm->Controls().PC->ActivePageIndex(), 3);
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    Key(WM_SYSCHAR, L'u', 1 | (1 << 29));
    ASSERT_EQ(::GetFocus(), devices);

    ::SendMessageW(devices, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_NE(::SendMessageW(devices, CB_GETDROPPEDSTATE, 0, 0), 0);
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(::SendMessageW(devices, CB_GETDROPPEDSTATE, 0, 0), 0);
    EXPECT_EQ(FForm->ModalResult(), TModalResult::kNone);
    EXPECT_TRUE(::IsWindowVisible(FDialog->Handle()));

    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(FForm->ModalResult(), TModalResult::kCancel);
  });
  EXPECT_EQ(result, TModalResult::kCancel);
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"), before);
}

TEST_F(NativeEditor, AltZWithABadNumberBringsItsEditForward) {
  const std::string before = ReadBytes(FDir / "12/forbook-bridge.cfg");
  const TModalResult result = RunScripted(*FDialog, [&] {
    ASSERT_TRUE(DevicesListed());
    const HWND number = Window("eNR_FK");
    ::SetWindowTextW(number, L"x");  // as typing does, through EN_CHANGE
    EXPECT_EQ(FForm->Control<TEdit>("eNR_FK").Text(), "x");
    ::SetFocus(Window("CDevices"));
    Key(WM_SYSCHAR, L'z', 1 | (1 << 29));
    EXPECT_THAT(FSystem.Boxes().Informations,
                ::testing::ElementsAre("Niepoprawny format danych"));
    EXPECT_EQ(FForm->Controls().PC->ActivePageIndex(), 1);
    EXPECT_TRUE(::IsWindowVisible(number));
    EXPECT_EQ(::GetFocus(), number);
    EXPECT_EQ(FForm->ModalResult(), TModalResult::kNone);
  });
  EXPECT_EQ(result, TModalResult::kCancel);
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"), before);
}

TEST_F(NativeEditor, TypingKeepsTheCaretAndTheWheelLeavesIdleListsAlone) {
  const TModalResult result = RunScripted(*FDialog, [&] {
    ASSERT_TRUE(DevicesListed());
    // A character that Windows-1250 lacks becomes "?" in place, and typing
    // goes on after it.
    const HWND pattern = Window("eWzor");
    ::SendMessageW(FDialog->Handle(), WM_NEXTDLGCTL,
                   reinterpret_cast<WPARAM>(pattern), TRUE);
    for (const wchar_t typed : std::wstring(L"ab\u4e2dc")) {
      Key(WM_CHAR, typed);
    }
    EXPECT_EQ(TextOf(pattern), L"ab?c");
    EXPECT_EQ(FForm->Control<TEdit>("eWzor").Text(), "ab?c");
    EXPECT_TRUE(FForm->Modified());

    const HWND versions = Window("cVersions");
    const auto chosen = ::SendMessageW(versions, CB_GETCURSEL, 0, 0);
    ASSERT_EQ(chosen, 0);  // a turn down would pick the next item
    ::SendMessageW(versions, WM_MOUSEWHEEL,
                   MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(::SendMessageW(versions, CB_GETCURSEL, 0, 0), chosen);
    EXPECT_EQ(FForm->Controls().cVersions->ItemIndex(), chosen);
  });
  EXPECT_EQ(result, TModalResult::kCancel);
}

TEST_F(NativeEditor, FolderButtonOpensTheShellBrowserOwnedByTheDialog) {
  static HWND owner = nullptr;
  static std::wstring heading;
  static HWND browserOwner = nullptr;
  owner = FDialog->Handle();
  heading.clear();
  RunScripted(*FDialog, [&] {
    ASSERT_TRUE(DevicesListed());
    const std::string folder = FForm->Controls().eDir->Text();
    // The browser runs its own loop; a timer inside it reads the heading
    // and cancels.
    ::SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
      static HWND browser;
      browser = nullptr;
      ::EnumThreadWindows(
          ::GetCurrentThreadId(),
          [](HWND window, LPARAM) -> BOOL {
            if (window != owner && ::IsWindowVisible(window) != 0 &&
                ::IsWindowEnabled(window) != 0) {
              browser = window;
            }
            return browser == nullptr;
          },
          0);
      if (browser == nullptr) return;
      ::KillTimer(nullptr, id);
      browserOwner = ::GetWindow(browser, GW_OWNER);
      ::EnumChildWindows(
          browser,
          [](HWND child, LPARAM) -> BOOL {
            const std::wstring text = TextOf(child);
            if (text == L"Wyb\u00f3r katalogu") heading = text;
            return TRUE;
          },
          0);
      ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
    });
    ::SendMessageW(Window("sbSelectDir"), BM_CLICK, 0, 0);
    EXPECT_EQ(heading, L"Wyb\u00f3r katalogu");
    EXPECT_EQ(browserOwner, owner);
    FDialog->ProcessPending();
    EXPECT_EQ(::GetFocus(), Window("eDir"));
    EXPECT_EQ(FForm->Controls().eDir->Text(), folder);
    EXPECT_FALSE(FForm->Modified());
  });
}

// What one run of the whole program showed and how it ended.
struct TEditorRun {
  bool Shown = false;
  LRESULT Devices = 0;
  SIZE Frame{};
  bool Ended = false;
  DWORD Status = 0;
  std::string Stderr;
};

// Sets the DPI that programs started from now on take, and puts the
// previous one back.
class TScopedDpi {
 public:
  explicit TScopedDpi(DWORD dpi) {
    DWORD size = sizeof FSaved;
    FHadOne =
        ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD,
                       nullptr, &FSaved, &size) == ERROR_SUCCESS;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi,
                      sizeof dpi);
  }
  ~TScopedDpi() {
    if (FHadOne) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD,
                        &FSaved, sizeof FSaved);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }
  }
  TScopedDpi(const TScopedDpi&) = delete;
  TScopedDpi& operator=(const TScopedDpi&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
  DWORD FSaved = 0;
  bool FHadOne = false;
};

// Starts the installed program in the editor mode at a DPI, waits until it
// lists its devices, and presses Esc.
TEditorRun RunEditor(const std::string& exe, DWORD dpi) {
  TTempDir output;
  // Standard error in a file: a message box would go there instead of
  // waiting for a click.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const auto open = [&](const std::string& path, DWORD access, DWORD how) {
    const std::u16string wide = platform::Cp1250ToUtf16(path);
    return ::CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, how,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  const HANDLE in = open("NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE err = open(output / "err", GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.lpDesktop = Desktop().data();
  startup.hStdInput = in;
  startup.hStdOutput = err;
  startup.hStdError = err;
  const std::u16string exeWide = platform::Cp1250ToUtf16(exe);
  std::wstring command =
      L"\"" + std::wstring(exeWide.begin(), exeWide.end()) + L"\" RW:E KU:12";
  PROCESS_INFORMATION process{};
  TEditorRun run;
  // The program reads the DPI as it starts, some time after CreateProcess.
  auto scaled = std::make_unique<TScopedDpi>(dpi);
  const BOOL started =
      ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process);
  ::CloseHandle(in);
  ::CloseHandle(err);
  if (started == 0) return run;

  struct TSearch {
    DWORD ProcessId;
    HWND Found;
  } search{process.dwProcessId, nullptr};
  for (int waited = 0; waited < 30000 && run.Devices != 2; waited += 20) {
    ::Sleep(20);
    ::EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto& wanted = *reinterpret_cast<TSearch*>(data);
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if (owner != wanted.ProcessId || TextOf(window) != kTitle) {
            return TRUE;
          }
          wanted.Found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (const HWND devices = FirstChildOfClass(search.Found, L"ComboBox")) {
      run.Devices = ::SendMessageW(devices, CB_GETCOUNT, 0, 0);
    }
  }
  scaled.reset();
  run.Shown = search.Found != nullptr;
  RECT frame{};
  ::GetWindowRect(search.Found, &frame);
  run.Frame = {frame.right - frame.left, frame.bottom - frame.top};
  // Keys from another process reach the dialog's own loop as posted
  // messages, which the system does not route by focus.
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  ::GetGUIThreadInfo(process.dwThreadId, &thread);
  const HWND target =
      thread.hwndFocus != nullptr ? thread.hwndFocus : search.Found;
  ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);

  run.Ended = ::WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0;
  if (!run.Ended) ::TerminateProcess(process.hProcess, 99);
  ::GetExitCodeProcess(process.hProcess, &run.Status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  run.Stderr = ReadBytes(output / "err");
  return run;
}

// The program as the host starts it, beside two devices, on an ordinary
// screen and on one at 150 %: the editor opens, lists the devices, grows
// with the DPI, and Esc ends it with status 0.
TEST(NativeProgram, OpensBesideTwoDevicesAtEitherDpiAndEndsOnEsc) {
  if (!NoDesktop().empty()) GTEST_SKIP() << NoDesktop();
  TTempDir dir;
  const std::string exe =
      testing::InstallProgram(FORBOOK_BRIDGE_EXE, dir.Str());
  ASSERT_TRUE(platform::CreateDir(dir / "12"));
  ASSERT_TRUE(platform::CreateDir(dir / "13"));
  std::vector<SIZE> frames;
  for (const DWORD dpi : {DWORD{96}, DWORD{144}}) {
    const TEditorRun run = RunEditor(exe, dpi);
    EXPECT_TRUE(run.Shown) << "the editor never showed at " << dpi;
    EXPECT_EQ(run.Devices, 2) << dpi;
    EXPECT_TRUE(run.Ended) << "Esc did not close the editor at " << dpi;
    EXPECT_EQ(run.Status, 0u) << dpi;
    EXPECT_EQ(run.Stderr, "") << dpi;
    frames.push_back(run.Frame);
  }
  ASSERT_GT(frames[0].cx, 0);
  ASSERT_GT(frames[0].cy, 0);
  const double wider = static_cast<double>(frames[1].cx) / frames[0].cx;
  const double taller = static_cast<double>(frames[1].cy) / frames[0].cy;
  EXPECT_THAT(wider,
              ::testing::AllOf(::testing::Gt(1.35), ::testing::Lt(1.65)));
  EXPECT_THAT(taller,
              ::testing::AllOf(::testing::Gt(1.35), ::testing::Lt(1.65)));
}

}  // namespace
}  // namespace bridge::gui
