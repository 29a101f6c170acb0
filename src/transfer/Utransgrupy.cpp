#include "transfer/Utransgrupy.h"

#include <cstdint>
#include <string>

#include "core/Uglobal.h"

namespace bridge {
namespace {

// The values of a "grkart1.txt" or "grkart2.txt" line, in this order. The
// host's comment of PUSTA ends in the middle of its sentence.
constexpr TDefinitionLine kGroupLines[] = {
    DefinitionLine(u8"ID_GRUPAKART    :Integer;    - identyfikator grupy"),
    DefinitionLine(
        u8"ID_GRUPAKARTNAD :Integer;    - identyfikator grupy nadrzędnej"),
    DefinitionLine(u8"KODGRUPY        :String;     - (6)"),
    DefinitionLine(u8"NAZWAGRUPY      :String;     - (20)"),
    DefinitionLine(
        u8"KODZLOZONY      :String;     - (50) kod grupy poprzedzony kodami "
        u8"grup nadrzędnych"),
    DefinitionLine(
        u8"NAZWAZLOZONA    :String;     - (100) nazwa grupy poprzedzona "
        u8"nazwami grup nadrzędnych"),
    DefinitionLine(
        u8"PUSTA           :Boolean;    - grupa jest pusta - jest to grupa do "
        u8"której należą kartoteki które nie"),
};

// What a field of asort.dbf or prod.dbf carries.
enum TValue : std::uint8_t { kNumber, kName, kNotWritten };

// Group list 1 goes to asort.dbf, list 2 to prod.dbf; the name is wider in
// the newer layout.
constexpr TDeviceField<TValue> kAsort170[] = {{"ID_ASORT", 'N', 3, 0, kNumber},
                                              {"NAZWA", 'C', 15, 0, kName}};
constexpr TDeviceField<TValue> kAsort180[] = {{"ID_ASORT", 'N', 3, 0, kNumber},
                                              {"NAZWA", 'C', 20, 0, kName}};
constexpr TDeviceField<TValue> kProd170[] = {{"ID_PROD", 'N', 3, 0, kNumber},
                                             {"NAZWA", 'C', 15, 0, kName}};
constexpr TDeviceField<TValue> kProd180[] = {{"ID_PROD", 'N', 3, 0, kNumber},
                                             {"NAZWA", 'C', 20, 0, kName}};

}  // namespace

TTransGrupy::TTransGrupy(TDateTime timestamp, std::string_view textName,
                         std::string_view tableName, int groupKind)
    : TTransManager(timestamp, textName, tableName), FGroupKind(groupKind) {}

void TTransGrupy::TextToDbf(TZendorProRecord& textRecord,
                            TDBFRecord& dbfRecord) {
  dbfRecord.SetInteger(FFields[kNumber],
                       StrToIntOrZero(BeforeDash(textRecord.GetStringAt(
                           Column<kGroupLines>("KODZLOZONY")))));
  dbfRecord.SetString(FFields[kName], textRecord.GetStringAt(
                                          Column<kGroupLines>("NAZWAGRUPY")));
}

void TTransGrupy::DbfToText(TZendorProRecord& /*textRecord*/,
                            TDBFRecord& /*dbfRecord*/) {}

void TTransGrupy::DefineDbfFields(TDBF& table) {
  if (FGroupKind != kGroupList2) {
    FFields.Declare(table, LayoutFields(NewLayout(), kAsort170, kAsort180));
  } else {
    FFields.Declare(table, LayoutFields(NewLayout(), kProd170, kProd180));
  }
}

void TTransGrupy::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kGroupLines));
}

// Only top-level groups with goods in them are sent: a sub-group's compound
// code holds the codes of its parents joined by "-".
bool TTransGrupy::SkipTextRecord(TZendorProRecord& textRecord) {
  if (textRecord.GetStringAt(Column<kGroupLines>("KODZLOZONY")).find('-') !=
      std::string::npos) {
    return true;
  }
  return textRecord.GetBooleanAt(Column<kGroupLines>("PUSTA"));
}

}  // namespace bridge
