#include "core/Uversionsmanager.h"

#include "platform/Text.h"

namespace bridge {

std::string LayoutNameOf(int index) {
  switch (index) {
    case kLayout170:
      return "1.7.0";
    case kLayout180:
      return "1.8.0";
    default:
      return "";
  }
}

int LayoutIndexOf(std::string_view name) {
  for (int index = kLayout170; index <= kLayoutCount; ++index) {
    if (Trim(UpperCase(LayoutNameOf(index))) == name) return index;
  }
  return kLayout170;
}

}  // namespace bridge
