#include "gui/Text_wx.h"

#include "platform/Cp1250.h"

namespace bridge::gui {

wxString ToWx(std::string_view text) {
  const std::string utf8 = platform::Cp1250ToUtf8(text);
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

std::string FromWx(const wxString& text) {
  const wxScopedCharBuffer utf8 = text.utf8_str();
  return platform::Utf8ToCp1250(std::string_view(utf8.data(), utf8.length()));
}

}  // namespace bridge::gui
