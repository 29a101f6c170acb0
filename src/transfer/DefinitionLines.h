// Host definition lines kept as constant tables: each line is converted to
// Windows-1250 when the program is built, and a transfer turns its table
// into the list its host file loads.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Cp1250.h"

namespace bridge {

struct TDefinitionLine {
  static constexpr std::size_t kCapacity = 160;
  std::array<char, kCapacity> Data{};
  std::size_t Size = 0;
  constexpr std::string_view View() const { return {Data.data(), Size}; }
};

template <std::size_t N>
consteval TDefinitionLine DefinitionLine(const char8_t (&utf8)[N]) {
  static_assert(N <= TDefinitionLine::kCapacity,
                "a definition line longer than its storage");
  const auto text = Cp1250(utf8);
  TDefinitionLine line;
  for (std::size_t i = 0; i < text.Size; ++i) line.Data[i] = text.Data[i];
  line.Size = text.Size;
  return line;
}

inline std::vector<std::string> DefinitionList(
    std::span<const TDefinitionLine> lines) {
  std::vector<std::string> list;
  list.reserve(lines.size());
  for (const TDefinitionLine& line : lines) list.emplace_back(line.View());
  return list;
}

}  // namespace bridge
