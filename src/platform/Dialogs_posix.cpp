// The message boxes and standard output on POSIX systems.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "platform/Cp1250.h"
#include "platform/Dialogs.h"
#include "platform/Text.h"

namespace bridge::platform {
namespace {

void WriteLineToStderr(std::string_view text) {
  const std::string line = Cp1250ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

bool DisplayNamed() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

void TConsoleMessageBoxes::ShowError(std::string_view text) {
  WriteLineToStderr(text);
}

void TConsoleMessageBoxes::ShowInformation(std::string_view text) {
  WriteLineToStderr(text);
}

void PrintText(std::string_view text) {
  const std::string bytes = Cp1250ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

bool TConsoleMessageBoxes::AskYesNo(std::string_view text) {
  if (::isatty(STDIN_FILENO) == 0) return false;
  const std::string prompt =
      Cp1250ToUtf8(text) + Cp1250ToUtf8(Cp1250(u8" [t/n] ").view());
  std::fwrite(prompt.data(), 1, prompt.size(), stderr);
  std::fflush(stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  const std::string first = UpperCase(Trim(answer)).substr(0, 1);
  return first == "T" || first == "Y";
}

std::unique_ptr<TMessageBoxes> SystemMessageBoxes() {
  return std::make_unique<TConsoleMessageBoxes>();
}

}  // namespace bridge::platform
