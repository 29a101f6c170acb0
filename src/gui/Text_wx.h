// Windows-1250 text for wxWidgets, and its text back.
#pragma once

#include <wx/string.h>

#include <string>
#include <string_view>

namespace bridge::gui {

wxString ToWx(std::string_view text);
std::string FromWx(const wxString& text);

}  // namespace bridge::gui
