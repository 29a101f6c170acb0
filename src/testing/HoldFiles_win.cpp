// forbook-hold-files PATH MILLISECONDS [PATH MILLISECONDS]...
//
// Holds each file open without sharing, as a virus scanner, a backup agent
// or the devices' synchronisation holds a file for a while, and lets each
// go when its time, counted from the moment all are held, is up. Writes
// "held" and a line end to standard output once it holds them all, so that
// a test knows when to go on. Exits with 0 after letting all go, and with 2
// when the arguments are wrong or a file cannot be held.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

// Someone else may have the file for a moment (a test looking at it): a
// sharing violation is waited out for this long.
constexpr ULONGLONG kOpenWait = 5000;

struct THold {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  ULONGLONG Milliseconds = 0;
};

HANDLE Hold(const wchar_t* path) {
  const ULONGLONG deadline = ::GetTickCount64() + kOpenWait;
  for (;;) {
    const HANDLE handle =
        ::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE ||
        ::GetLastError() != ERROR_SHARING_VIOLATION ||
        ::GetTickCount64() >= deadline) {
      return handle;
    }
    ::Sleep(10);
  }
}

void Say(const char* text) {
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text,
              static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc % 2 == 0) {
    Say("forbook-hold-files PATH MILLISECONDS [PATH MILLISECONDS]...\r\n");
    return 2;
  }
  std::vector<THold> holds;
  for (int i = 1; i + 1 < argc; i += 2) {
    THold hold;
    hold.Milliseconds = std::wcstoull(argv[i + 1], nullptr, 10);
    hold.Handle = Hold(argv[i]);
    if (hold.Handle == INVALID_HANDLE_VALUE) return 2;
    holds.push_back(hold);
  }
  const ULONGLONG start = ::GetTickCount64();
  Say("held\r\n");
  std::sort(holds.begin(), holds.end(), [](const THold& a, const THold& b) {
    return a.Milliseconds < b.Milliseconds;
  });
  for (const THold& hold : holds) {
    const ULONGLONG now = ::GetTickCount64();
    if (start + hold.Milliseconds > now) {
      ::Sleep(static_cast<DWORD>(start + hold.Milliseconds - now));
    }
    ::CloseHandle(hold.Handle);
  }
  return 0;
}
