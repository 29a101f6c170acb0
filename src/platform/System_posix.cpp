// What the operating system decides for the program, on POSIX systems.
#include <sys/time.h>

#include <clocale>
#include <ctime>

#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace bridge::platform {

TDateTime LocalNow() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  const std::time_t seconds = now.tv_sec;
  std::tm local{};
  ::localtime_r(&seconds, &local);
  return EncodeDateTime(TDateParts{local.tm_year + 1900, local.tm_mon + 1,
                                   local.tm_mday, local.tm_hour, local.tm_min,
                                   local.tm_sec > 59 ? 59 : local.tm_sec,
                                   static_cast<int>(now.tv_usec / 1000)});
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf8ToCp1250(argv[i]));
  return arguments;
}

char LocaleDecimalSeparator() {
  // Only LC_NUMERIC matters, and only for this read, so the process locale
  // stays "C" for everything else.
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  const std::string previous = saved != nullptr ? saved : "C";
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conv = std::localeconv();
    if (conv != nullptr && conv->decimal_point != nullptr &&
        conv->decimal_point[0] != '\0' && conv->decimal_point[1] == '\0') {
      separator = conv->decimal_point[0];
    }
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
  return separator;
}

}  // namespace bridge::platform
