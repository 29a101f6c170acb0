// One field of a device table: its name, type letter, length and decimals as
// declared by a transfer or read from a table's field descriptor, and where
// its bytes lie in a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bridge {

// A field descriptor takes 32 bytes in the table header.
inline constexpr std::size_t kFieldDescriptorSize = 32;
// The longest name a descriptor holds when this engine writes it.
inline constexpr std::size_t kMaxFieldNameLength = 10;

class TDBFFieldDef {
 public:
  // A declared field. The name is trimmed and upper-cased; a "D" field always
  // takes 8 bytes and an "L" field declared with length 0 takes 1. Length and
  // decimals are kept within 0 to 255, which is all their descriptor byte
  // holds.
  TDBFFieldDef(std::string_view name, char fieldType, int length, int decimals);

  // The field that a 32-byte descriptor read from a table describes. Its name
  // is made of the non-zero bytes among the first 11, trimmed and
  // upper-cased; its length is the descriptor's as it stands, since the
  // table's records are laid out by it.
  static TDBFFieldDef FromDescriptor(const unsigned char* descriptor);
  // Fills 32 bytes with this field's descriptor.
  void WriteDescriptor(unsigned char* descriptor) const;

  const std::string& Name() const { return FName; }
  char FieldType() const { return FFieldType; }
  // As read from a descriptor; 0 for declared fields. Records are not
  // positioned by it.
  std::int32_t Displacement() const { return FDisplacement; }
  int Length() const { return FLength; }
  int Decimals() const { return FDecimals; }
  // The field's first byte within a record, not counting the deletion flag:
  // the sum of the lengths of the fields before it.
  int Offset() const { return FOffset; }
  void SetOffset(int offset) { FOffset = offset; }
  // While set, values written have their control characters blanked and
  // values read are trimmed.
  bool Clean() const { return FClean; }
  void SetClean(bool clean) { FClean = clean; }

 private:
  TDBFFieldDef() = default;

  std::string FName;
  char FFieldType = 'C';
  std::int32_t FDisplacement = 0;
  int FLength = 0;
  int FDecimals = 0;
  int FOffset = 0;
  bool FClean = true;
};

// The form in which field names are compared: trimmed and upper-cased.
std::string NormalFieldName(std::string_view name);

}  // namespace bridge
