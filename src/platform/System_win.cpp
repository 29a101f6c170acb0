// What the operating system decides for the program, on Windows: the
// command line split by the Windows rules, the local time and the user's
// decimal separator.
#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <string>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace bridge::platform {
// The process's own command line as Windows splits it: blanks separate,
// quotes group, and backslashes escape only quotes. argv is the C runtime's
// split in the ANSI code page, which loses the Polish letters.
std::vector<std::string> ProgramArguments(int /*argc*/,
                                          const char* const* /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (split == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(WideToCp1250(split[i]));
  ::LocalFree(split);
  return arguments;
}

TDateTime LocalNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return EncodeDateTime(
      TDateParts{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                 now.wSecond > 59 ? 59 : now.wSecond, now.wMilliseconds});
}

char LocaleDecimalSeparator() {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator,
                        8) != 2) {  // one character and its terminating zero
    return '.';
  }
  const std::string narrow = WideToCp1250(separator);
  return narrow.size() == 1 && narrow[0] != '?' ? narrow[0] : '.';
}

}  // namespace bridge::platform
