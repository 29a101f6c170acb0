#include "transfer/Utransgrupy.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "app/Uglobal.h"
#include "app/Uprogramparams.h"
#include "dbf/uDBF_messages.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "transfer/TransferTables.h"

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

constexpr int kNameLength170 = 15;
constexpr int kNameLength180 = 20;

const TDBFFieldDef* FieldOf(const TDBF& table, std::string_view name) {
  const TDBFFieldDef* field = table.FindField(name);
  if (field == nullptr) {
    throw EBridgeError(std::string(dbf_messages::kFieldNotFound.view()) +
                       std::string(name));
  }
  return field;
}

}  // namespace

TTransGrupy::TTransGrupy(TDateTime timestamp, std::string_view textName,
                         std::string_view tableName, int groupKind)
    : TTransManager(timestamp, textName, tableName), FGroupKind(groupKind) {}

void TTransGrupy::TextToDbf(TZendorProRecord& textRecord,
                            TDBFRecord& dbfRecord) {
  dbfRecord.SetInteger(
      *FNumberField,
      StrToIntOrZero(BeforeDash(textRecord.GetStringAt(FKodZlozony))));
  dbfRecord.SetString(*FNameField, textRecord.GetStringAt(FNazwaGrupy));
}

void TTransGrupy::DbfToText(TZendorProRecord& /*textRecord*/,
                            TDBFRecord& /*dbfRecord*/) {}

void TTransGrupy::DefineDbfFields(TDBF& table) {
  const std::string_view numberName = FGroupKind != 0 ? "ID_ASORT" : "ID_PROD";
  table.AddField(numberName, 'N', 3, 0);
  table.AddField("NAZWA", 'C',
                 GetLayoutIndex() == 1 ? kNameLength170 : kNameLength180, 0);
  FNumberField = FieldOf(table, numberName);
  FNameField = FieldOf(table, "NAZWA");
}

void TTransGrupy::DefineTextFields(TZendorProFile& textFile) {
  const std::vector<std::string> lines = DefinitionList(kGroupLines);
  TTextFileDef& definition = textFile.Definition();
  definition.LoadDefinitions(lines);
  FKodZlozony = definition.IndexOf("KODZLOZONY");
  FNazwaGrupy = definition.IndexOf("NAZWAGRUPY");
  FPusta = definition.IndexOf("PUSTA");
}

// Only top-level groups with goods in them are sent: a sub-group's compound
// code holds the codes of its parents joined by "-".
bool TTransGrupy::SkipTextRecord(TZendorProRecord& textRecord) {
  if (textRecord.GetStringAt(FKodZlozony).find('-') != std::string::npos) {
    return true;
  }
  return textRecord.GetBooleanAt(FPusta);
}

}  // namespace bridge
