#include "app/Uversionsmanager.h"

#include "platform/Text.h"

namespace bridge {

std::string LayoutNameOf(int index) {
  switch (index) {
    case 1:
      return "1.7.0";
    case 2:
      return "1.8.0";
    default:
      return "";
  }
}

int LayoutIndexOf(std::string_view name) {
  for (int index = 1; index <= kLayoutCount; ++index) {
    if (Trim(UpperCase(LayoutNameOf(index))) == name) return index;
  }
  return 1;
}

}  // namespace bridge
