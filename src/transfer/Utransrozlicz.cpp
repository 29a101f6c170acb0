#include "transfer/Utransrozlicz.h"

#include <cstdint>

#include "core/Uglobal.h"

namespace bridge {
namespace {

// doknieroz.txt, in the order of the values of its lines.
constexpr TDefinitionLine kDokNierozLines[] = {
    DefinitionLine(u8"ID_ROZLICZENIE     :Integer;\t- id rozliczenia"),
    DefinitionLine(u8"ID_TYPROZRACH      :Integer;\t- id typy rozliczenia (1 - "
                   u8"towar, 2 - opakowania)"),
    DefinitionLine(u8"KAL_WN             :Boolean;\t- strona (T - strona WN - "
                   u8"należność, T - strona MA - zobowiązanie)"),
    DefinitionLine(u8"ID_KONTRAH         :Integer;\t- id kontrahenta"),
    DefinitionLine(u8"NRKONTRAH          :Integer;\t- numer kontrahenta"),
    DefinitionLine(u8"DOKUMENT           :String;\t- kod dokumentu (10)"),
    DefinitionLine(u8"NRDOKZEW           :String;\t- nr dokumentu (25)"),
    DefinitionLine(u8"DATADOKZEW         :TDateTime;  - data dokumentu"),
    DefinitionLine(u8"TERMPLATN          :TDateTime;\t- termin płatnosci)"),
    DefinitionLine(u8"KAL_KWOTAPLN       :Currency;\t- kwota dokumentu"),
    DefinitionLine(u8"KAL_POZOSTPLN      :Currency;\t- kwota pozostała do "
                   u8"rozliczenia"),
    DefinitionLine(u8"ID_KONTRAHODBIORCA :Integer;\t- id nabywcy dla "
                   u8"dokumentów GM, gdy nabywca nie występuje wartość jest "
                   u8"równa 0"),
    DefinitionLine(u8"NR_KONTRAHODBIORCA :Integer;\t- numer nabywcy dla "
                   u8"dokumentów GM, gdy nabywca nie występuje wartość jest "
                   u8"równa 0"),
};

// What a table field carries. The two tables name some of them differently
// (ID_KL is the payer, DATA_WYST the document date, DO_ZAPL the open amount
// in dok_kre.dbf); only kredyt.dbf has the customer.
enum TValue : std::uint8_t {
  kTypDok,
  kNumer,
  kIdPlatnik,
  kIdKlient,
  kDataDok,
  kDataPlat,
  kWartBrut,
  kDoZaplaty,
  kNotWritten,
};

constexpr TDeviceField<TValue> kDokKre[] = {
    {"TYP_DOK", 'C', 3, 0, kTypDok},     {"NUMER", 'C', 20, 0, kNumer},
    {"ID_KL", 'C', 15, 0, kIdPlatnik},   {"DATA_WYST", 'D', 8, 0, kDataDok},
    {"DATA_PLAT", 'D', 8, 0, kDataPlat}, {"WART_BRUT", 'N', 10, 2, kWartBrut},
    {"DO_ZAPL", 'N', 10, 2, kDoZaplaty}, {"DATA_ZAPL", 'D', 8, 0, kNotWritten},
    {"NR_KP", 'C', 20, 0, kNotWritten},
};

constexpr TDeviceField<TValue> kKredyt[] = {
    {"TYP_DOK", 'C', 6, 0, kTypDok, TClean::kOff},
    {"NUMER", 'C', 25, 0, kNumer, TClean::kOff},
    {"ID_PLATNIK", 'C', 15, 0, kIdPlatnik},
    {"ID_KLIENT", 'C', 15, 0, kIdKlient},
    {"DATA_DOK", 'D', 8, 0, kDataDok},
    {"DATA_PLAT", 'D', 8, 0, kDataPlat},
    {"WART_BRUT", 'N', 10, 2, kWartBrut},
    {"DO_ZAPLATY", 'N', 10, 2, kDoZaplaty},
};

}  // namespace

TTransRozlicz_v170::TTransRozlicz_v170(TDateTime timestamp,
                                       std::string_view textName,
                                       std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

void TTransRozlicz_v170::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kDokNierozLines));
}

void TTransRozlicz_v170::DefineDbfFields(TDBF& table) {
  FFields.Declare(table, LayoutFields(NewLayout(), kDokKre, kKredyt));
}

void TTransRozlicz_v170::DbfToText(TZendorProRecord& /*textRecord*/,
                                   TDBFRecord& /*dbfRecord*/) {}

void TTransRozlicz_v170::TextToDbf(TZendorProRecord& textRecord,
                                   TDBFRecord& dbfRecord) {
  // A view of the record lasts until its next read, so each one goes
  // straight into its setter.
  dbfRecord.SetString(FFields[kTypDok],
                      HostToDeviceDocType(textRecord.GetStringViewAt(
                          Column<kDokNierozLines>("DOKUMENT"))));
  dbfRecord.SetString(
      FFields[kNumer],
      textRecord.GetStringViewAt(Column<kDokNierozLines>("NRDOKZEW")));
  // The contractor number as the host wrote it, not re-formatted.
  dbfRecord.SetString(
      FFields[kIdPlatnik],
      textRecord.GetStringViewAt(Column<kDokNierozLines>("NRKONTRAH")));
  dbfRecord.SetDate(
      FFields[kDataDok],
      textRecord.GetDateAt(Column<kDokNierozLines>("DATADOKZEW")));
  dbfRecord.SetDate(FFields[kDataPlat],
                    textRecord.GetDateAt(Column<kDokNierozLines>("TERMPLATN")));
  dbfRecord.SetFloat(
      FFields[kWartBrut],
      textRecord.GetFloatAt(Column<kDokNierozLines>("KAL_KWOTAPLN")));
  // A receivable is owed to us and counts up; a payable counts down.
  const bool receivable =
      IsYes(textRecord.GetStringViewAt(Column<kDokNierozLines>("KAL_WN")));
  const double open =
      textRecord.GetFloatAt(Column<kDokNierozLines>("KAL_POZOSTPLN"));
  dbfRecord.SetFloat(FFields[kDoZaplaty], receivable ? open : -open);
  if (!NewLayout()) return;
  // The payer is always the host's contractor; the customer is the
  // document's recipient, and the host writes 0 when there is none.
  std::string_view customer =
      textRecord.GetStringViewAt(Column<kDokNierozLines>("NR_KONTRAHODBIORCA"));
  if (customer == "0")
    customer = textRecord.GetStringViewAt(Column<kDokNierozLines>("NRKONTRAH"));
  dbfRecord.SetString(FFields[kIdKlient], customer);
}

TTransRozlicz_v180::TTransRozlicz_v180(TDateTime timestamp,
                                       std::string_view textName,
                                       std::string_view tableName)
    : TTransRozlicz_v170(timestamp, textName, tableName) {}

std::unique_ptr<TTransManager> TTransRozlicz_v170::NewHelper() const {
  return std::make_unique<TTransRozlicz_v170>(Timestamp(), TextName(),
                                              TableName());
}

std::unique_ptr<TTransManager> TTransRozlicz_v180::NewHelper() const {
  return std::make_unique<TTransRozlicz_v180>(Timestamp(), TextName(),
                                              TableName());
}

}  // namespace bridge
