#include "dbf/Udbffielddef.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/Cp1250.h"
#include "testing/TestSupport.h"

namespace bridge {
namespace {

using testing::Hex;
using testing::SameBytes;

std::string DescriptorOf(const TDBFFieldDef& def) {
  std::array<unsigned char, kFieldDescriptorSize> bytes{};
  bytes.fill(0xEE);  // every byte must be written
  def.WriteDescriptor(bytes.data());
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TDBFFieldDef FromHex(std::string_view pairs) {
  std::string bytes = Hex(pairs);
  bytes.resize(kFieldDescriptorSize, '\0');  // the rest of the descriptor
  return TDBFFieldDef::FromDescriptor(
      reinterpret_cast<const unsigned char*>(bytes.data()));
}

TEST(TDBFFieldDefDeclare, NameIsTrimmedAndUpperCased) {
  const TDBFFieldDef def("  nr_fk\t", 'C', 10, 0);
  EXPECT_EQ(def.Name(), "NR_FK");
  EXPECT_TRUE(def.Clean());
  EXPECT_EQ(def.Displacement(), 0);
}

TEST(TDBFFieldDefDeclare, DateTakesEightBytesWhateverDeclared) {
  EXPECT_EQ(TDBFFieldDef("DATA", 'D', 10, 0).Length(), 8);
  EXPECT_EQ(TDBFFieldDef("DATA", 'D', 0, 0).Length(), 8);
}

TEST(TDBFFieldDefDeclare, LogicalOfLengthZeroTakesOneByte) {
  EXPECT_EQ(TDBFFieldDef("FLAGA", 'L', 0, 0).Length(), 1);
  EXPECT_EQ(TDBFFieldDef("FLAGA", 'L', 3, 0).Length(), 3);
  EXPECT_EQ(TDBFFieldDef("TEKST", 'C', 0, 0).Length(), 0);
}

TEST(TDBFFieldDefDeclare, LengthAndDecimalsStayWithinTheirByte) {
  const TDBFFieldDef big("OPIS", 'C', 300, 256);
  EXPECT_EQ(big.Length(), 255);
  EXPECT_EQ(big.Decimals(), 255);
  const TDBFFieldDef negative("OPIS", 'N', -4, -1);
  EXPECT_EQ(negative.Length(), 0);
  EXPECT_EQ(negative.Decimals(), 0);
}

TEST(TDBFFieldDefDescriptor, WrittenDescriptorMatchesByteForByte) {
  EXPECT_TRUE(SameBytes(DescriptorOf(TDBFFieldDef("cena", 'N', 6, 2)),
                        Hex("43 45 4E 41 00 00 00 00 00 00 00  4E"
                            "00 00 00 00  06 02"
                            "00 00 00 00 00 00 00 00 00 00 00 00 00 00")));
}

TEST(TDBFFieldDefDescriptor, ReadNameSkipsZeroBytes) {
  const TDBFFieldDef def = FromHex(
      "41 42 00 63 00 00 00 00 00 00 00  43  00 00 00 00  04 00"
      "00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(def.Name(), "ABC");
  EXPECT_EQ(def.FieldType(), 'C');
  EXPECT_EQ(def.Length(), 4);
  EXPECT_TRUE(def.Clean());
}

TEST(TDBFFieldDefDescriptor, ReadFieldKeepsItsStoredLayout) {
  // The record is laid out by the stored length, so a date of 10 bytes stays
  // 10 bytes long and a logical of 0 stays 0.
  const TDBFFieldDef date =
      FromHex("44 41 54 41 00 00 00 00 00 00 00  44  78 56 34 12  0A 03");
  EXPECT_EQ(date.Length(), 10);
  EXPECT_EQ(date.Decimals(), 3);
  EXPECT_EQ(date.Displacement(), 0x12345678);
  EXPECT_EQ(FromHex("46 00 00 00 00 00 00 00 00 00 00  4C  00 00 00 00  00 00")
                .Length(),
            0);
}

}  // namespace
}  // namespace bridge
