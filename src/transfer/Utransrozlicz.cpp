#include "transfer/Utransrozlicz.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "app/Uglobal.h"
#include "dbf/uDBF_messages.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"

namespace bridge {
namespace {

// The values of a doknieroz.txt line, by position: the order of the
// definition lines below, which is the order in which the host writes them.
enum THostField : std::int32_t {
  kIdRozliczenie,
  kIdTypRozrach,
  kKalWn,
  kIdKontrah,
  kNrKontrah,
  kDokument,
  kNrDokZew,
  kDataDokZew,
  kTermPlatn,
  kKalKwotaPln,
  kKalPozostPln,
  kIdKontrahOdbiorca,
  kNrKontrahOdbiorca,
};

std::vector<std::string> DokNierozDefinition() {
  return {
      Cp1250(u8"ID_ROZLICZENIE     :Integer;\t- id rozliczenia").str(),
      Cp1250(u8"ID_TYPROZRACH      :Integer;\t- id typy rozliczenia (1 - "
             u8"towar, 2 - opakowania)")
          .str(),
      Cp1250(u8"KAL_WN             :Boolean;\t- strona (T - strona WN - "
             u8"należność, T - strona MA - zobowiązanie)")
          .str(),
      Cp1250(u8"ID_KONTRAH         :Integer;\t- id kontrahenta").str(),
      Cp1250(u8"NRKONTRAH          :Integer;\t- numer kontrahenta").str(),
      Cp1250(u8"DOKUMENT           :String;\t- kod dokumentu (10)").str(),
      Cp1250(u8"NRDOKZEW           :String;\t- nr dokumentu (25)").str(),
      Cp1250(u8"DATADOKZEW         :TDateTime;  - data dokumentu").str(),
      Cp1250(u8"TERMPLATN          :TDateTime;\t- termin płatnosci)").str(),
      Cp1250(u8"KAL_KWOTAPLN       :Currency;\t- kwota dokumentu").str(),
      Cp1250(u8"KAL_POZOSTPLN      :Currency;\t- kwota pozostała do "
             u8"rozliczenia")
          .str(),
      Cp1250(u8"ID_KONTRAHODBIORCA :Integer;\t- id nabywcy dla dokumentów GM, "
             u8"gdy nabywca nie występuje wartość jest równa 0")
          .str(),
      Cp1250(u8"NR_KONTRAHODBIORCA :Integer;\t- numer nabywcy dla dokumentów "
             u8"GM, gdy nabywca nie występuje wartość jest równa 0")
          .str(),
  };
}

// What a table field carries. The two tables name some of them differently
// (ID_KL is the payer, DATA_WYST the document date, DO_ZAPL the open amount
// in dok_kre.dbf); only kredyt.dbf has the customer.
enum TValue : std::size_t {
  kTypDok,
  kNumer,
  kIdPlatnik,
  kIdKlient,
  kDataDok,
  kDataPlat,
  kWartBrut,
  kDoZaplaty,
  kValueCount,
  kNotWritten = kValueCount,
};

// Clean off keeps control characters inside the value as they are.
enum class TClean : bool { kOff, kOn };

struct TFieldDecl {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
  TValue Value;
  TClean Clean = TClean::kOn;
};

constexpr std::array<TFieldDecl, 9> kDokKre = {{
    {"TYP_DOK", 'C', 3, 0, kTypDok},
    {"NUMER", 'C', 20, 0, kNumer},
    {"ID_KL", 'C', 15, 0, kIdPlatnik},
    {"DATA_WYST", 'D', 8, 0, kDataDok},
    {"DATA_PLAT", 'D', 8, 0, kDataPlat},
    {"WART_BRUT", 'N', 10, 2, kWartBrut},
    {"DO_ZAPL", 'N', 10, 2, kDoZaplaty},
    {"DATA_ZAPL", 'D', 8, 0, kNotWritten},
    {"NR_KP", 'C', 20, 0, kNotWritten},
}};

constexpr std::array<TFieldDecl, 8> kKredyt = {{
    {"TYP_DOK", 'C', 6, 0, kTypDok, TClean::kOff},
    {"NUMER", 'C', 25, 0, kNumer, TClean::kOff},
    {"ID_PLATNIK", 'C', 15, 0, kIdPlatnik},
    {"ID_KLIENT", 'C', 15, 0, kIdKlient},
    {"DATA_DOK", 'D', 8, 0, kDataDok},
    {"DATA_PLAT", 'D', 8, 0, kDataPlat},
    {"WART_BRUT", 'N', 10, 2, kWartBrut},
    {"DO_ZAPLATY", 'N', 10, 2, kDoZaplaty},
}};

// Declares the fields in order and gives back, by what each carries, the
// definitions that the conversion writes through.
std::vector<const TDBFFieldDef*> DeclareFields(
    TDBF& table, std::span<const TFieldDecl> decls) {
  std::vector<const TDBFFieldDef*> fields(kValueCount, nullptr);
  for (const TFieldDecl& decl : decls) {
    table.AddField(decl.Name, decl.Type, decl.Length, decl.Decimals);
    TDBFFieldDef* def = table.FindField(decl.Name);
    if (def == nullptr) {
      throw EBridgeError(std::string(dbf_messages::kFieldNotFound.view()) +
                         std::string(decl.Name));
    }
    if (decl.Clean == TClean::kOff) def->SetClean(false);
    if (decl.Value != kNotWritten) fields[decl.Value] = def;
  }
  return fields;
}

}  // namespace

TTransRozlicz_v170::TTransRozlicz_v170(TDateTime timestamp,
                                       std::string_view textName,
                                       std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

void TTransRozlicz_v170::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DokNierozDefinition());
}

void TTransRozlicz_v170::DefineDbfFields(TDBF& table) {
  SetFields(DeclareFields(table, kDokKre));
}

void TTransRozlicz_v170::DbfToText(TZendorProRecord& /*textRecord*/,
                                   TDBFRecord& /*dbfRecord*/) {}

void TTransRozlicz_v170::TextToDbf(TZendorProRecord& textRecord,
                                   TDBFRecord& dbfRecord) {
  // A view of the record lasts until its next read, so each one goes
  // straight into its setter.
  dbfRecord.SetString(
      Field(kTypDok),
      HostToDeviceDocType(textRecord.GetStringViewAt(kDokument)));
  dbfRecord.SetString(Field(kNumer), textRecord.GetStringViewAt(kNrDokZew));
  // The contractor number as the host wrote it, not re-formatted.
  dbfRecord.SetString(Field(kIdPlatnik),
                      textRecord.GetStringViewAt(kNrKontrah));
  dbfRecord.SetDate(Field(kDataDok), textRecord.GetDateAt(kDataDokZew));
  dbfRecord.SetDate(Field(kDataPlat), textRecord.GetDateAt(kTermPlatn));
  dbfRecord.SetFloat(Field(kWartBrut), textRecord.GetFloatAt(kKalKwotaPln));
  // A receivable is owed to us and counts up; a payable counts down.
  const bool receivable = IsYes(textRecord.GetStringViewAt(kKalWn));
  const double open = textRecord.GetFloatAt(kKalPozostPln);
  dbfRecord.SetFloat(Field(kDoZaplaty), receivable ? open : -open);
}

TTransRozlicz_v180::TTransRozlicz_v180(TDateTime timestamp,
                                       std::string_view textName,
                                       std::string_view tableName)
    : TTransRozlicz_v170(timestamp, textName, tableName) {}

void TTransRozlicz_v180::DefineDbfFields(TDBF& table) {
  SetFields(DeclareFields(table, kKredyt));
}

void TTransRozlicz_v180::TextToDbf(TZendorProRecord& textRecord,
                                   TDBFRecord& dbfRecord) {
  TTransRozlicz_v170::TextToDbf(textRecord, dbfRecord);
  // The payer is always the host's contractor; the customer is the
  // document's recipient, and the host writes 0 when there is none.
  std::string_view customer = textRecord.GetStringViewAt(kNrKontrahOdbiorca);
  if (customer == "0") customer = textRecord.GetStringViewAt(kNrKontrah);
  dbfRecord.SetString(Field(kIdKlient), customer);
}

}  // namespace bridge
