#include "core/Uprogramparams.h"

#include <string_view>

#include "core/Umessages.h"
#include "core/Uversionsmanager.h"
#include "core/uKonfig.h"
#include "platform/EBridgeError.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace bridge {
namespace {

constexpr std::size_t kMaxArgumentLength = 1000;

std::string Argument(std::size_t number) {
  const auto& arguments = platform::System().Arguments;
  return number <= arguments.size() ? arguments[number - 1] : "";
}

// Upper-cases and trims an argument, then drops its prefix and trims again.
std::string WithoutPrefix(std::string_view argument, std::string_view prefix) {
  std::string text = Trim(UpperCase(argument));
  if (text.starts_with(prefix)) {
    text =
        Trim(std::string_view(text).substr(prefix.size(), kMaxArgumentLength));
  }
  return text;
}

}  // namespace

std::string GetExchangeMode() {
  const std::string word = WithoutPrefix(Argument(1), "RW:");
  return word.substr(0, 1);
}

std::string GetDeviceArg() { return WithoutPrefix(Argument(2), "KU:"); }

std::string GetLayoutName() {
  const std::string value = ConfigFile().GetValue("WERSJA");
  if (Trim(value).empty()) return LayoutNameOf(kLayout170);
  return value;
}

int GetLayoutIndex() { return LayoutIndexOf(GetLayoutName()); }

bool NewLayoutInForce() { return GetLayoutIndex() == kLayout180; }

void CheckLayout() {
  const std::string name = Trim(UpperCase(GetLayoutName()));
  for (int index = kLayout170; index <= kLayoutCount; ++index) {
    if (name == Trim(UpperCase(LayoutNameOf(index)))) return;
  }
  throw EBridgeError(std::string(kBadLayout.view()));
}

}  // namespace bridge
