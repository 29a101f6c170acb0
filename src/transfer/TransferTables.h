// The tables that declare a transfer: the device table's fields, each bound
// to the slot through which the conversion writes it, and the host file's
// definition lines with the columns found in them while the program is
// built, so that a column can never point at another line than the one that
// names it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "dbf/uDBF.h"
#include "platform/Cp1250.h"

namespace bridge {

// --- The device table --------------------------------------------------------

// Clean off keeps control characters inside a written value as they are.
enum class TClean : bool { kOff, kOn };

// One field of a device table, in declaration order, with what the
// conversion writes into it.
template <typename TWrite>
struct TDeviceField {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
  TWrite Write;
  TClean Clean = TClean::kOn;
};

// Declares the fields in order on the empty table and hands each definition,
// with its row, to bind.
template <typename TWrite, typename TBind>
void DeclareFields(TDBF& table, std::span<const TDeviceField<TWrite>> fields,
                   TBind&& bind) {
  for (const TDeviceField<TWrite>& field : fields) {
    table.AddField(field.Name, field.Type, field.Length, field.Decimals);
    // AddField refuses a name that is there already, so the field just
    // declared is the last one.
    TDBFFieldDef& def = table.Fields()[table.Fields().Count() - 1];
    if (field.Clean == TClean::kOff) def.SetClean(false);
    bind(def, field);
  }
}

// The rows of the parts one after another: a table whose layouts share a
// run of fields declares that run once.
template <typename TRow, std::size_t... kSizes>
consteval std::array<TRow, (kSizes + ...)> Joined(
    const TRow (&... parts)[kSizes]) {
  std::array<TRow, (kSizes + ...)> rows{};
  std::size_t at = 0;
  const auto append = [&rows, &at](const auto& part) {
    for (const TRow& row : part) rows[at++] = row;
  };
  (append(parts), ...);
  return rows;
}

// The fields of a run's layout, TTransManager::NewLayout(): the older one or
// the newer one. Every transfer whose table differs by layout picks its
// fields so.
template <typename TOlder, typename TNewer>
constexpr auto LayoutFields(bool newLayout, const TOlder& older,
                            const TNewer& newer) {
  using TRow = std::remove_cvref_t<decltype(*std::begin(older))>;
  if (newLayout) return std::span<const TRow>(newer);
  return std::span<const TRow>(older);
}

// What a conversion writes, named by an enum whose last enumerator,
// kNotWritten, counts the others and marks a field left blank.
template <typename TSlot>
concept TableSlot = std::is_enum_v<TSlot> && requires {
  TSlot::kNotWritten;
};

// The definitions of one run's table by slot, which a conversion reaches as
// FFields[kSlot]. A slot that the run's layout does not declare stays empty;
// the conversion of that layout does not write it.
class TTableSlots {
 public:
  template <TableSlot TSlot>
  void Declare(TDBF& table, std::span<const TDeviceField<TSlot>> fields) {
    FFields.assign(static_cast<std::size_t>(TSlot::kNotWritten), nullptr);
    DeclareFields(
        table, fields,
        [this](const TDBFFieldDef& def, const TDeviceField<TSlot>& field) {
          if (field.Write != TSlot::kNotWritten) {
            FFields[static_cast<std::size_t>(field.Write)] = &def;
          }
        });
  }

  template <TableSlot TSlot, std::size_t kCount>
  void Declare(TDBF& table, const TDeviceField<TSlot> (&fields)[kCount]) {
    Declare(table, std::span<const TDeviceField<TSlot>>(fields));
  }

  template <TableSlot TSlot>
  const TDBFFieldDef& operator[](TSlot slot) const {
    return *FFields[static_cast<std::size_t>(slot)];
  }

 private:
  std::vector<const TDBFFieldDef*> FFields;
};

// --- The host file -----------------------------------------------------------

// One definition line of a host file, converted to Windows-1250 while the
// program is built: name ":" type ";" comment.
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

// The lines as the host file's definition loads them.
inline std::vector<std::string> DefinitionList(
    std::span<const TDefinitionLine> lines) {
  std::vector<std::string> list;
  list.reserve(lines.size());
  for (const TDefinitionLine& line : lines) list.emplace_back(line.View());
  return list;
}

namespace transfer_tables {

constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

constexpr std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

constexpr char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The name a line defines, compared as the definition compares names:
// trimmed, and in any case.
constexpr bool Defines(std::string_view line, std::string_view name) {
  const std::string_view defined = Trimmed(line.substr(0, line.find(':')));
  if (defined.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Upper(defined[i]) != Upper(name[i])) return false;
  }
  return true;
}

}  // namespace transfer_tables

// The position of the value that the lines name so in a line of their host
// file: the number of the defining line, blank lines not counted, as the
// definition loads them. Only evaluated while the program is built: a name
// that no line defines stops the build.
consteval std::int32_t ColumnOf(std::span<const TDefinitionLine> lines,
                                std::string_view name) {
  std::int32_t column = 0;
  for (const TDefinitionLine& line : lines) {
    const std::string_view text = transfer_tables::Trimmed(line.View());
    if (text.empty()) continue;
    if (transfer_tables::Defines(text, name)) return column;
    ++column;
  }
  throw "no definition line names this column";
}

// The same for the lines of one host file, named where a column is read:
// Column<kKontrahentLines>("NAZWADL").
template <const auto& kLines>
consteval std::int32_t Column(std::string_view name) {
  return ColumnOf(kLines, name);
}

}  // namespace bridge
