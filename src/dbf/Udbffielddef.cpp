#include "dbf/Udbffielddef.h"

#include <algorithm>
#include <cstring>

#include "core/Uglobal.h"
#include "platform/Text.h"

namespace bridge {
namespace {

// Field descriptor, 32 bytes:
//
//   offset  size  meaning
//        0    11  name, padded with zero bytes (byte 10 is 0 when written)
//       11     1  type letter: C, N, L or D
//       12     4  displacement, unsigned 32-bit little-endian; written as 0
//       16     1  length in bytes
//       17     1  decimals
//       18    14  zero
constexpr std::size_t kNameBytes = 11;
constexpr std::size_t kTypeAt = 11;
constexpr std::size_t kDisplacementAt = 12;
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kDecimalsAt = 17;

int ToByteRange(int value) { return std::clamp(value, 0, 255); }

}  // namespace

std::string NormalFieldName(std::string_view name) {
  return UpperCase(Trim(name));
}

TDBFFieldDef::TDBFFieldDef(std::string_view name, char fieldType, int length,
                           int decimals)
    : FName(NormalFieldName(name)),
      FFieldType(fieldType),
      FLength(ToByteRange(length)),
      FDecimals(ToByteRange(decimals)) {
  if (FFieldType == 'D') {
    FLength = 8;
  } else if (FFieldType == 'L' && FLength == 0) {
    FLength = 1;
  }
}

TDBFFieldDef TDBFFieldDef::FromDescriptor(const unsigned char* descriptor) {
  std::string name;
  for (std::size_t i = 0; i < kNameBytes; ++i) {
    if (descriptor[i] != 0) name.push_back(static_cast<char>(descriptor[i]));
  }
  TDBFFieldDef def;
  def.FName = NormalFieldName(name);
  def.FFieldType = static_cast<char>(descriptor[kTypeAt]);
  def.FDisplacement = ReadU32LE(descriptor + kDisplacementAt);
  def.FLength = descriptor[kLengthAt];
  def.FDecimals = descriptor[kDecimalsAt];
  return def;
}

void TDBFFieldDef::WriteDescriptor(unsigned char* descriptor) const {
  std::memset(descriptor, 0, kFieldDescriptorSize);
  const std::size_t nameLength = std::min(FName.size(), kMaxFieldNameLength);
  std::memcpy(descriptor, FName.data(), nameLength);
  descriptor[kTypeAt] = static_cast<unsigned char>(FFieldType);
  WriteU32LE(descriptor + kDisplacementAt,
             static_cast<std::uint32_t>(FDisplacement));
  descriptor[kLengthAt] = static_cast<unsigned char>(FLength);
  descriptor[kDecimalsAt] = static_cast<unsigned char>(FDecimals);
}

}  // namespace bridge
