// Arbitrary bytes as definition lines, one per LF. The parser must take any
// of them, either refusing them with its error or giving fields whose names
// are found again in any case, and a second load must give the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EBridgeError.h"
#include "platform/Text.h"
#include "textfile/uZendorTextFileDef.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> LinesOf(std::string_view text) {
  std::vector<std::string> lines;
  for (;;) {
    const std::size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return lines;
    text.remove_prefix(end + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::vector<std::string> lines =
      LinesOf({reinterpret_cast<const char*>(data), size});
  bridge::TTextFileDef def;
  bool loaded = false;
  try {
    loaded = def.LoadDefinitions(lines);
  } catch (const bridge::EBridgeError&) {
    // A refused line; the fields before it stay and must still be sound.
  }
  Require(static_cast<std::size_t>(def.Count()) <= lines.size());
  for (std::int32_t i = 0; i < def.Count(); ++i) {
    const bridge::TTextFileItem& item = *def.Item(i);
    Require(item.Name() == bridge::UpperCase(bridge::Trim(item.Name())));
    Require(item.FieldType() >= 1 && item.FieldType() <= 5);
    Require(def.IndexOf(item.Name()) == i);
    Require(def.IndexOf(" " + item.Name() + "\t") == i);
    Require(def.FindItem(item.Name()) == &item);
  }
  Require(def.Item(def.Count()) == nullptr && def.Item(-1) == nullptr);
  if (loaded) {
    const std::int32_t count = def.Count();
    Require(def.LoadDefinitions(lines) && def.Count() == count);
  }
  return 0;
}
