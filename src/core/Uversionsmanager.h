// The table layout versions a device can use. The index is what the
// transfers branch on: 1 for the older table set, 2 for the newer one.
#pragma once

#include <string>
#include <string_view>

namespace bridge {

// The layouts by index.
inline constexpr int kLayout170 = 1;  // "1.7.0", the older table set
inline constexpr int kLayout180 = 2;  // "1.8.0", the newer one
inline constexpr int kLayoutCount = 2;

// "1.7.0" for 1, "1.8.0" for 2, the empty text for any other index.
std::string LayoutNameOf(int index);
// The first index whose upper-cased, trimmed name equals the given name
// exactly; 1 when none does.
int LayoutIndexOf(std::string_view name);

}  // namespace bridge
