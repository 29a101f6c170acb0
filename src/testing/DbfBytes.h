// dBase III tables written byte by byte, for tests that need a table as a
// device, another program or a damaged disk leaves it: field names in any
// case, records with the deletion flag, and a header whose counts and
// lengths may disagree with what follows them.
//
//   offset        size   meaning
//        0           1   version 3
//        1           3   last update, YY MM DD: 105 3 7 (7 March 2005)
//        4           4   record count, little-endian
//        8           2   header length: 32 + 32 per field + 1
//       10           2   record length: 1 + the field lengths
//       12          20   zero
//       32   32 each   field descriptors: name (11, zero-padded), type,
//                        4 zero, length, decimals, 14 zero
//        .           1   13, end of the descriptors
//        .   per record  flag (" " or "*") and the field bytes
//        .           1   26, end of file
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bridge::testing {

struct TColumn {
  std::string Name;  // up to 11 bytes, written as they are
  char Type;
  int Length;
  int Decimals = 0;
};

struct TTableImage {
  TTableImage(std::vector<TColumn> columns, std::vector<std::string> records)
      : Columns(std::move(columns)), Records(std::move(records)) {}
  std::vector<TColumn> Columns;
  std::vector<std::string> Records;  // each with its deletion flag
  // What the header says instead of what the columns and records give.
  std::optional<std::uint32_t> Count;
  std::optional<std::uint16_t> HeaderLength;
  std::optional<std::uint16_t> RecordLength;
};

inline void PutLE(std::string& out, std::size_t at, std::uint32_t value,
                  int size) {
  for (int i = 0; i < size; ++i) {
    out[at + static_cast<std::size_t>(i)] =
        static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

inline std::string TableBytes(const TTableImage& image) {
  std::uint32_t recordLength = 1;
  for (const TColumn& column : image.Columns) {
    recordLength += static_cast<std::uint32_t>(column.Length);
  }
  std::string out(32, '\0');
  out[0] = 3;
  out[1] = 105;
  out[2] = 3;
  out[3] = 7;
  const auto count = static_cast<std::uint32_t>(image.Records.size());
  const auto headerLength =
      static_cast<std::uint32_t>(32 * image.Columns.size() + 33);
  PutLE(out, 4, image.Count ? *image.Count : count, 4);
  PutLE(out, 8, image.HeaderLength ? *image.HeaderLength : headerLength, 2);
  PutLE(out, 10, image.RecordLength ? *image.RecordLength : recordLength, 2);
  for (const TColumn& column : image.Columns) {
    std::string descriptor(32, '\0');
    descriptor.replace(0, column.Name.size(), column.Name);
    descriptor[11] = column.Type;
    descriptor[16] = static_cast<char>(column.Length);
    descriptor[17] = static_cast<char>(column.Decimals);
    out += descriptor;
  }
  out += '\x0D';
  for (const std::string& record : image.Records) out += record;
  out += '\x1A';
  return out;
}

}  // namespace bridge::testing
