// The field definitions of a host file: each definition line parsed into a
// named, typed item, and the items found again by name.
#include <memory>
#include <string>
#include <string_view>

#include "core/Uglobal.h"
#include "platform/EBridgeError.h"
#include "platform/Text.h"
#include "textfile/uZendorTextFileDef.h"
#include "textfile/uZendorTextFileDef_messages.h"

namespace bridge {
namespace {

[[noreturn]] void Raise(std::string_view message, std::string_view subject) {
  throw EBridgeError(std::string(message) + std::string(subject));
}

// The length is the first whole number that a pair of parentheses encloses.
// Each "(" is paired with the first ")" after it, so a "(Memo)" in front does
// not hide a "(35)" behind it.
std::int32_t LengthFromComment(std::string_view comment) {
  for (;;) {
    const std::size_t open = comment.find('(');
    if (open == std::string_view::npos) return 0;
    const std::size_t close = comment.find(')', open + 1);
    if (close == std::string_view::npos) return 0;
    const std::string_view candidate =
        TrimView(comment.substr(open + 1, close - open - 1));
    if (IsIntegerText(candidate)) return StrToIntOrZero(candidate);
    comment.remove_prefix(open + 1);
  }
}

// name ":" type word ";" comment, with any spacing around ":" and ";".
std::unique_ptr<TTextFileItem> ParseDefinitionLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return nullptr;
  const std::string_view name = line.substr(0, colon);
  const std::string_view rest = TrimView(line.substr(colon + 1));
  const std::size_t semicolon = rest.find(';');
  if (semicolon == std::string_view::npos) return nullptr;
  const TTextFieldType fieldType = TextFieldTypeOf(rest.substr(0, semicolon));
  if (fieldType == kTextNoType) return nullptr;
  return std::make_unique<TTextFileItem>(
      name, fieldType, LengthFromComment(TrimView(rest.substr(semicolon + 1))));
}

}  // namespace

TTextFileItem::TTextFileItem(std::string_view name, TTextFieldType fieldType,
                             std::int32_t length)
    : FName(UpperCase(Trim(name))), FFieldType(fieldType), FLength(length) {}

bool TTextFileDef::LoadDefinitions(const std::vector<std::string>* lines) {
  Clear();
  if (lines == nullptr) return true;
  for (const std::string& line : *lines) {
    const std::string_view trimmed = TrimView(line);
    if (trimmed.empty()) continue;
    std::unique_ptr<TTextFileItem> item = ParseDefinitionLine(trimmed);
    if (!item) Raise(kTextBadDefinition.view(), trimmed);
    AddItem(std::move(item));
  }
  return true;
}

std::int32_t TTextFileDef::IndexOf(std::string_view name) const {
  auto found = FIndex.find(name);
  if (found == FIndex.end()) found = FIndex.find(UpperCase(Trim(name)));
  return found == FIndex.end() ? -1 : found->second;
}

TTextFileItem* TTextFileDef::FindItem(std::string_view name) const {
  return Item(IndexOf(name));
}

void TTextFileDef::AddItem(std::unique_ptr<TTextFileItem> item) {
  if (!item) return;
  if (FIndex.contains(item->Name())) {
    Raise(kTextDuplicateField.view(), item->Name());
  }
  FIndex.emplace(item->Name(), Count());
  FItems.Add(std::move(item));
}

void TTextFileDef::Clear() {
  FItems.Clear();
  FIndex.clear();
}

}  // namespace bridge
