#include "platform/Cp1250.h"

#include <gtest/gtest.h>

#include "testing/TestSupport.h"

namespace bridge::platform {
namespace {

using bridge::testing::U8;

TEST(Cp1250Literal, GivesTheCodePageBytesAtCompileTime) {
  constexpr auto text = Cp1250(u8"Błąd żółć ŁĄ");
  EXPECT_EQ(text.str(),
            "B\xB3\xB9"
            "d \xBF\xF3\xB3\xE6 \xA3\xA5");
  static_assert(Cp1250(u8"ab").view().size() == 2);
}

TEST(Cp1250Boundary, ConvertsBothWaysAndMarksWhatTheCodePageLacks) {
  const std::string polish = U8(u8"Zażółć gęślą jaźń €");
  const std::string bytes = Utf8ToCp1250(polish);
  EXPECT_EQ(bytes.size(), 19u);
  EXPECT_EQ(Cp1250ToUtf8(bytes), polish);
  EXPECT_EQ(Utf8ToCp1250(U8(u8"日本")), "??");
  EXPECT_EQ(Utf8ToCp1250("\xC3"), "?");  // cut short
  EXPECT_EQ(Utf8ToCp1250("\xFF"
                         "a"),
            "?a");                            // not UTF-8
  EXPECT_EQ(Cp1250ToUtf8("\x81\x83"), "??");  // bytes without a character
  // The same through UTF-16, with a surrogate pair as one character.
  EXPECT_EQ(Utf16ToCp1250(Cp1250ToUtf16(bytes)), bytes);
  EXPECT_EQ(Cp1250ToUtf16(bytes).size(), 19u);
  EXPECT_EQ(Utf16ToCp1250(u"\U0001F600\u65E5x"), "??x");
  EXPECT_EQ(Cp1250ToUtf16("\x81"), u"?");
}

}  // namespace
}  // namespace bridge::platform
