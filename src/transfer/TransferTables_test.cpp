#include "transfer/TransferTables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "textfile/uZendorTextFileDef.h"

namespace bridge {
namespace {

// Irregular spacing, a blank line and mixed case, as host definitions come.
constexpr TDefinitionLine kLines[] = {
    DefinitionLine(u8"ID_KONTRAH :Integer;\t- id"),
    DefinitionLine(u8"  nazwa\t :String;\t- nazwa pełna (240)"),
    DefinitionLine(u8"   "),
    DefinitionLine(u8"ANULOWANY\t :Boolean;- czy (Memo) (1)"),
    DefinitionLine(u8"UWAGI:String; - uwagi"),
};

static_assert(ColumnOf(kLines, "ID_KONTRAH") == 0);
static_assert(Column<kLines>("UWAGI") == 3);

TEST(TransferTablesColumnOf, AgreesWithTheLoadedDefinitionForEveryName) {
  TTextFileDef definition;
  definition.LoadDefinitions(DefinitionList(kLines));
  ASSERT_EQ(definition.Count(), 4);
  const std::int32_t columns[] = {
      ColumnOf(kLines, "ID_KONTRAH"), ColumnOf(kLines, "NAZWA"),
      ColumnOf(kLines, "anulowany"), ColumnOf(kLines, "UWAGI")};
  for (std::int32_t i = 0; i < definition.Count(); ++i) {
    const std::string& name = definition.Item(i)->Name();
    EXPECT_EQ(definition.IndexOf(name), columns[i]) << name;
  }
}

}  // namespace
}  // namespace bridge
