// The message boxes and standard output on Windows. The program is a GUI
// program: its messages are real message boxes, unless standard error goes
// to a file or a pipe (a script or a test redirected it); then each message
// is one line of Windows-1250 text ending in CR LF there, and no box shows.
#include <windows.h>

#include <string>

#include "platform/Cp1250.h"
#include "platform/Dialogs.h"
#include "platform/Text.h"

namespace bridge::platform {
namespace {

constexpr auto kYesNo = Cp1250(u8" [t/n] ");

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
         ::GetConsoleMode(handle, &mode) != 0;
}

bool IsRedirected(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  const DWORD type = ::GetFileType(handle);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// Text to a standard handle: UTF-16 to a console, Windows-1250 bytes with
// CR LF line ends to a file or a pipe.
void WriteText(DWORD which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  std::string bytes;
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  DWORD written = 0;
  if (IsConsole(handle)) {
    const std::wstring wide = Cp1250ToWide(bytes);
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()),
                    &written, nullptr);
  } else {
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()),
                &written, nullptr);
  }
}

// A line typed on the console, or nothing when standard input is none.
bool ReadConsoleLine(std::string& line) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsole(input)) return false;
  wchar_t buffer[256] = {};
  DWORD read = 0;
  if (::ReadConsoleW(input, buffer, 255, &read, nullptr) == 0) return false;
  const std::wstring_view wide(buffer, read);
  line = Utf16ToCp1250(std::u16string(wide.begin(), wide.end()));
  return true;
}

int Box(std::string_view text, const wchar_t* caption, UINT kind) {
  return ::MessageBoxW(nullptr, Cp1250ToWide(text).c_str(), caption,
                       kind | MB_TASKMODAL | MB_SETFOREGROUND);
}

class TWindowsMessageBoxes final : public TMessageBoxes {
 public:
  void ShowError(std::string_view text) override {
    if (IsRedirected(::GetStdHandle(STD_ERROR_HANDLE))) {
      FConsole.ShowError(text);
    } else {
      Box(text, L"Error", MB_OK | MB_ICONERROR);
    }
  }
  bool AskYesNo(std::string_view text) override {
    if (IsRedirected(::GetStdHandle(STD_ERROR_HANDLE))) {
      return FConsole.AskYesNo(text);
    }
    return Box(text, L"Confirm", MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
  void ShowInformation(std::string_view text) override {
    if (IsRedirected(::GetStdHandle(STD_ERROR_HANDLE))) {
      FConsole.ShowInformation(text);
    } else {
      Box(text, L"Informacja", MB_OK | MB_ICONERROR);
    }
  }

 private:
  TConsoleMessageBoxes FConsole;
};

}  // namespace

void TConsoleMessageBoxes::ShowError(std::string_view text) {
  WriteText(STD_ERROR_HANDLE, std::string(text) + "\n");
}

void TConsoleMessageBoxes::ShowInformation(std::string_view text) {
  WriteText(STD_ERROR_HANDLE, std::string(text) + "\n");
}

bool TConsoleMessageBoxes::AskYesNo(std::string_view text) {
  if (!IsConsole(::GetStdHandle(STD_INPUT_HANDLE))) return false;
  WriteText(STD_ERROR_HANDLE, std::string(text) + std::string(kYesNo.view()));
  std::string answer;
  if (!ReadConsoleLine(answer)) return false;
  const std::string first = UpperCase(Trim(answer)).substr(0, 1);
  return first == "T" || first == "Y";
}

std::unique_ptr<TMessageBoxes> SystemMessageBoxes() {
  return std::make_unique<TWindowsMessageBoxes>();
}

void PrintText(std::string_view text) { WriteText(STD_OUTPUT_HANDLE, text); }

bool DisplayNamed() { return true; }

}  // namespace bridge::platform
