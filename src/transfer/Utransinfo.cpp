#include "transfer/Utransinfo.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Uglobal.h"
#include "core/Uprogramparams.h"
#include "core/uKonfig.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "transfer/TransferTables.h"

namespace bridge {
namespace {

// konfiguracja.txt, in the order of the values of its lines. The comments
// are the host's own, misspellings included.
constexpr TDefinitionLine kKonfiguracjaLines[] = {
    DefinitionLine(u8"ID_AKWIZYTOR    :Integer;\t- id przedstawiciela "
                   u8"handlowego - akwozytora"),
    DefinitionLine(
        u8"AKWIZYTOR       :String;\t- nazwisko i imię akwozytora (40)"),
    DefinitionLine(u8"NRAKWIZYTOR     :Integer;\t- numer akwozytora"),
    DefinitionLine(
        u8"KODURZ          :String;\t- kod aktualnego urządzenia (15)"),
    DefinitionLine(u8"NAZFAFIRMY1     :String;\t- pierwsza linia nazwy firmy"),
    DefinitionLine(u8"NAZFAFIRMY2     :String;\t- druga linia nazwy firmy"),
    DefinitionLine(u8"MIEJSCOWOSC     :String;\t- (30)"),
    DefinitionLine(u8"KODPOCZTOWY     :String;\t- (10)"),
    DefinitionLine(u8"POCZTA          :String;\t- (30)"),
    DefinitionLine(u8"ULICA           :String;\t- (30)"),
    DefinitionLine(u8"NRDOMU          :String;\t- (10)"),
    DefinitionLine(u8"NRLOKALU        :String;\t- (10)"),
    DefinitionLine(u8"NIP             :String;\t- (20)"),
    DefinitionLine(u8"REGON           :String;\t- (40)"),
    DefinitionLine(u8"NRODDZIAL       :Integer;\t- numer oddziału firmy"),
    DefinitionLine(u8"OZNNRWYDRMS     :String;\t- kod miejsca sprzedaży, może "
                   u8"wchodzić do numeracji dokumwntów(10)"),
    DefinitionLine(u8"OZNNRWYDR_AKWIZ :String;- dodatkowe nie opisane w "
                   u8"oryginalnej dokumentacji pole (10)?"),
    DefinitionLine(u8"TELEFON         :String;\t- (50)"),
};

// bank.txt, the host's list of the seller's bank accounts.
constexpr TDefinitionLine kBankLines[] = {
    DefinitionLine(u8"KODBANKU   : String;\t- kod banku (20)"),
    DefinitionLine(u8"BANK       : String;\t- nazwa banku (50)"),
    DefinitionLine(u8"NRKONTA    : INTEGER;\t- nr konta służący do "
                   u8"identyfikacji (np. 1 - konto pierwsze)"),
    DefinitionLine(u8"NAZWAKONTA : String;\t- nazwa konta (40)"),
    DefinitionLine(u8"KONTO      : String;\t- konto (50)"),
};

// Where the value of an info.dbf field comes from. "Host" sources read the
// konfiguracja.txt record, "Param" sources the device's parameter named as
// the field.
enum class TSource : std::uint8_t {
  kNotWritten,
  kFirstName,        // AKWIZYTOR after its first blank
  kSurname,          // AKWIZYTOR before its first blank
  kHostText,         // GetString of the host field
  kHostIntegerText,  // GetInteger of the host field, as decimal text
  kDeviceId,         // the first 4 characters of the device name
  kAddressLine1,
  kAddressLine2,
  kBankName,
  kAccountNumber,
  kEmptyText,
  kParamText,    // the value as stored
  kParamInt,     // StrToIntOrZero
  kParamNumber,  // StrToFloatOrZero
  kParamFlag,    // IsYes
  kRenumber,     // the run was started with the exchange mode "I"
};

// What goes into an info.dbf field: its source, with the konfiguracja.txt
// column that a host source reads.
struct TInfoValue {
  constexpr TInfoValue(TSource source = TSource::kNotWritten,
                       std::int32_t column = -1)
      : Source(source), Column(column) {}
  TSource Source;
  std::int32_t Column;
};

using TInfoField = TDeviceField<TInfoValue>;

using enum TSource;

// A value read from the konfiguracja.txt column of that name.
consteval TInfoValue Host(TSource source, std::string_view name) {
  return TInfoValue(source, ColumnOf(kKonfiguracjaLines, name));
}

// The representative and the first document counters open info.dbf in
// both layouts.
constexpr TInfoField kRepresentativeFields[] = {
    {"AKW_IMIE", 'C', 20, 0, {kFirstName}},
    {"AKW_NAZW", 'C', 20, 0, {kSurname}},
    {"ID_AKW", 'C', 4, 0, Host(kHostText, "OZNNRWYDR_AKWIZ")},
    {"ID_VAN", 'C', 4, 0, {kDeviceId}},
    {"NR_FK", 'N', 9, 0, {kParamInt}},
    {"NR_PA", 'N', 9, 0, {kParamInt}},
    {"NR_DD", 'N', 9, 0, {kParamInt}},
};

// The rest of info.dbf in layout "1.7.0", in declaration order.
constexpr TInfoField kFields170Rest[] = {
    {"NR_PZ", 'N', 9, 0, {kNotWritten}},
    {"NR_WZ", 'N', 9, 0, {kNotWritten}},
    {"NR_PZP", 'N', 9, 0, {kNotWritten}},
    {"NR_ZA", 'N', 9, 0, {kParamInt}},
    {"NR_MM", 'N', 9, 0, {kNotWritten}},
    {"NR_KP", 'N', 9, 0, {kParamInt}},
    {"NR_NO", 'N', 9, 0, {kNotWritten}},
    {"NR_NU", 'N', 9, 0, {kNotWritten}},
    {"NR_FD", 'N', 9, 0, {kNotWritten}},
    {"SPRZ_N1", 'C', 50, 0, Host(kHostText, "NAZFAFIRMY1")},
    {"SPRZ_N2", 'C', 50, 0, Host(kHostText, "NAZFAFIRMY2")},
    {"SPRZ_A1", 'C', 50, 0, {kAddressLine1}},
    {"SPRZ_A2", 'C', 50, 0, {kAddressLine2}},
    {"SPRZ_NIP", 'C', 13, 0, Host(kHostText, "NIP")},
    {"SPRZ_REGON", 'C', 11, 0, Host(kHostText, "REGON")},
    {"SPRZ_BANK", 'C', 60, 0, {kBankName}},
    {"SPRZ_KONTO", 'C', 60, 0, {kAccountNumber}},
    {"ID_ODDZ", 'C', 4, 0, Host(kHostIntegerText, "NRODDZIAL")},
    {"ODDZIAL", 'C', 40, 0, {kEmptyText}},
    {"ADRESODDZ", 'C', 50, 0, {kEmptyText}},
    {"LOGO", 'C', 11, 0, {kEmptyText}},
    {"RABAT_GOT", 'N', 5, 2, {kNotWritten}},
    {"RABAT_TOW", 'N', 5, 2, {kParamNumber}},
    {"SPRZ_MINUS", 'L', 1, 0, {kParamFlag}},
    {"RABAT_AKW", 'L', 1, 0, {kNotWritten}},
    {"WZOR_NUM", 'C', 20, 0, {kParamText}},
    {"MAG_S_ZERO", 'L', 1, 0, {kNotWritten}},
    {"COMMS_PWD", 'L', 1, 0, {kNotWritten}},
    {"ZMIEN_NUM", 'L', 1, 0, {kRenumber}},
    {"SPRZ_INFO", 'C', 50, 0, {kParamText}},
};

// The rest of info.dbf in layout "1.8.0", in declaration order; every field
// is written.
constexpr TInfoField kFields180Rest[] = {
    {"NR_ZA", 'N', 9, 0, {kParamInt}},
    {"NR_KP", 'N', 9, 0, {kParamInt}},
    {"SPRZ_N1", 'C', 70, 0, Host(kHostText, "NAZFAFIRMY1")},
    {"SPRZ_N2", 'C', 70, 0, Host(kHostText, "NAZFAFIRMY2")},
    {"SPRZ_A1", 'C', 70, 0, {kAddressLine1}},
    {"SPRZ_A2", 'C', 70, 0, {kAddressLine2}},
    {"SPRZ_NIP", 'C', 16, 0, Host(kHostText, "NIP")},
    {"SPRZ_REGON", 'C', 11, 0, Host(kHostText, "REGON")},
    {"SPRZ_BANK", 'C', 70, 0, {kBankName}},
    {"SPRZ_KONTO", 'C', 70, 0, {kAccountNumber}},
    {"SPRZ_INFO", 'C', 70, 0, {kParamText}},
    {"SPRZ_STOPA", 'C', 70, 0, {kParamText}},
    {"RABAT_TOW", 'N', 5, 2, {kParamNumber}},
    {"SPRZ_MINUS", 'L', 1, 0, {kParamFlag}},
    {"WZOR_NUM", 'C', 20, 0, {kParamText}},
    {"ZMIEN_NUM", 'L', 1, 0, {kRenumber}},
    {"LICZNIK", 'L', 1, 0, {kParamFlag}},
    {"VANSELLING", 'N', 1, 0, {kParamInt}},
    {"VANSEL_ZAM", 'L', 1, 0, {kParamFlag}},
    {"BLOK_V_FK", 'L', 1, 0, {kParamFlag}},
    {"BLOK_V_PA", 'L', 1, 0, {kParamFlag}},
    {"BLOK_V_DD", 'L', 1, 0, {kParamFlag}},
    {"BLOK_V_ZW", 'L', 1, 0, {kParamFlag}},
    {"BLOK_V_PZ", 'L', 1, 0, {kParamFlag}},
    {"BLOK_P_FK", 'L', 1, 0, {kParamFlag}},
    {"BLOK_P_PA", 'L', 1, 0, {kParamFlag}},
    {"BLOK_P_DD", 'L', 1, 0, {kParamFlag}},
    {"BLOK_KP", 'L', 1, 0, {kParamFlag}},
    {"BLOK_KW", 'L', 1, 0, {kParamFlag}},
    {"BLOK_ROZL", 'L', 1, 0, {kParamFlag}},
    {"DOK_LIMIT", 'C', 6, 0, {kParamText}},
    {"BRAK_LIMIT", 'L', 1, 0, {kParamFlag}},
    {"UKRYJ_MARZ", 'L', 1, 0, {kParamFlag}},
    {"MARZA", 'N', 1, 0, {kParamInt}},
    {"CENA", 'N', 1, 0, {kParamInt}},
    {"MAX_ILOSC", 'N', 10, 3, {kParamNumber}},
    // A number, written with the field's 0 decimals.
    {"MAX_POZ", 'N', 4, 0, {kParamNumber}},
    {"RABAT_WART", 'L', 1, 0, {kParamFlag}},
    {"FILTR_TOW", 'C', 1, 0, {kParamText}},
    {"AUTO_KP", 'C', 1, 0, {kParamText}},
    {"POP_DOK", 'L', 1, 0, {kParamFlag}},
    {"POP_DR_DOK", 'L', 1, 0, {kParamFlag}},
    {"KAS_DOK", 'L', 1, 0, {kParamFlag}},
    {"KAS_DR_DOK", 'L', 1, 0, {kParamFlag}},
    {"KAS_DOKK", 'L', 1, 0, {kParamFlag}},
    {"BRUTTO", 'L', 1, 0, {kParamFlag}},
    {"V_FK_BRUT", 'L', 1, 0, {kParamFlag}},
    {"V_PA_BRUT", 'L', 1, 0, {kParamFlag}},
    {"V_DD_BRUT", 'L', 1, 0, {kParamFlag}},
    {"V_ZW_BRUT", 'L', 1, 0, {kParamFlag}},
    {"V_PZ_BRUT", 'L', 1, 0, {kParamFlag}},
    {"P_FK_BRUT", 'L', 1, 0, {kParamFlag}},
    {"P_PA_BRUT", 'L', 1, 0, {kParamFlag}},
    {"P_DD_BRUT", 'L', 1, 0, {kParamFlag}},
    {"STAN_LOG", 'L', 1, 0, {kParamFlag}},
    {"NUM_DRUK", 'L', 1, 0, {kParamFlag}},
    {"NR_PZ", 'N', 9, 0, {kParamInt}},
    {"NR_ZW", 'N', 9, 0, {kParamInt}},
    {"NR_KW", 'N', 9, 0, {kParamInt}},
    {"FISK_NAZWA", 'L', 1, 0, {kParamFlag}},
    {"SPRZ_ID", 'C', 15, 0, {kParamText}},
    {"WIZYTY", 'L', 1, 0, {kParamFlag}},
    {"BLOK_INFO", 'L', 1, 0, {kParamFlag}},
    {"BLOK_NPKP", 'L', 1, 0, {kParamFlag}},
    {"BLOK_NPKW", 'L', 1, 0, {kParamFlag}},
    {"ILE_FIRM", 'N', 4, 0, {kParamInt}},
    {"WYMUS_ROZL", 'L', 1, 0, {kParamFlag}},
    {"SF_PZ", 'L', 1, 0, {kParamFlag}},
    {"SF_ZW", 'L', 1, 0, {kParamFlag}},
};

constexpr auto kFields170 = Joined(kRepresentativeFields, kFields170Rest);
constexpr auto kFields180 = Joined(kRepresentativeFields, kFields180Rest);

constexpr std::string_view kBankFileName = "bank.txt";

}  // namespace

struct TTransInfo::TWrittenField {
  const TDBFFieldDef* Field;
  const TInfoField* Row;
};

TTransInfo::TTransInfo(TDateTime timestamp, std::string_view textName,
                       std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

TTransInfo::~TTransInfo() = default;

void TTransInfo::LookUpBankAccount() {
  const std::string path =
      ExcludeTrailingBackslash(platform::ExtractFileDir(TextPath())) +
      platform::kPathDelimiter + std::string(kBankFileName);
  FBankName.clear();
  FAccountNumber.clear();
  const std::string wanted = Trim(ConfigFile().GetValue("NR_KONTA"));
  {
    TZendorProFile bankFile(Timestamp());
    bankFile.Definition().LoadDefinitions(DefinitionList(kBankLines));
    if (bankFile.OpenRead(path)) {
      // The key is compared with the record's number as decimal text, so
      // "02" finds no account 2.
      for (bankFile.First(); !bankFile.Eof(); bankFile.Next()) {
        const TZendorProRecord& record = *bankFile.CurrentRecord();
        if (IntToStr(record.GetIntegerAt(Column<kBankLines>("NRKONTA"))) ==
            wanted) {
          FBankName = record.GetStringAt(Column<kBankLines>("BANK"));
          FAccountNumber = record.GetStringAt(Column<kBankLines>("KONTO"));
          break;
        }
      }
    }
  }
  // Without a matching account the parameter is taken for the account
  // number itself.
  if (Trim(FAccountNumber).empty()) FAccountNumber = wanted;
}

void TTransInfo::TextToDbf(TZendorProRecord& textRecord,
                           TDBFRecord& dbfRecord) {
  // The bank account does not change during a run, so it is looked up once,
  // on the first record: a run without records reads no bank.txt.
  if (!FBankLookedUp) {
    LookUpBankAccount();
    FBankLookedUp = true;
  }

  // The host writes the surname first; the first name keeps any further
  // blanks.
  const std::string representative =
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("AKWIZYTOR"));
  const std::size_t blank = representative.find(' ');
  const std::string surname =
      blank == std::string::npos ? "" : representative.substr(0, blank);
  const std::string firstName = blank == std::string::npos
                                    ? representative
                                    : representative.substr(blank + 1);
  const std::string postOffice =
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("POCZTA"));
  const std::string addressLine1 = ComposeAddress(
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("ULICA")),
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("MIEJSCOWOSC")),
      postOffice, textRecord.GetStringAt(Column<kKonfiguracjaLines>("NRDOMU")),
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("NRLOKALU")));
  const std::string addressLine2 = JoinWithBlank(
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("KODPOCZTOWY")),
      postOffice);

  for (const TWrittenField& written : FFields) {
    const TDBFFieldDef& field = *written.Field;
    const TInfoValue& value = written.Row->Write;
    const auto parameter = [&written] {
      return ConfigFile().GetValue(written.Row->Name);
    };
    switch (value.Source) {
      case kNotWritten:
        break;
      case kFirstName:
        dbfRecord.SetString(field, firstName);
        break;
      case kSurname:
        dbfRecord.SetString(field, surname);
        break;
      case kHostText:
        dbfRecord.SetString(field, textRecord.GetStringAt(value.Column));
        break;
      case kHostIntegerText:
        dbfRecord.SetString(field,
                            IntToStr(textRecord.GetIntegerAt(value.Column)));
        break;
      case kDeviceId:
        dbfRecord.SetString(field, ConfigFile().DeviceName().substr(0, 4));
        break;
      case kAddressLine1:
        dbfRecord.SetString(field, addressLine1);
        break;
      case kAddressLine2:
        dbfRecord.SetString(field, addressLine2);
        break;
      case kBankName:
        dbfRecord.SetString(field, FBankName);
        break;
      case kAccountNumber:
        dbfRecord.SetString(field, FAccountNumber);
        break;
      case kEmptyText:
        dbfRecord.SetString(field, "");
        break;
      case kParamText:
        dbfRecord.SetString(field, parameter());
        break;
      case kParamInt:
        dbfRecord.SetInteger(field, StrToIntOrZero(parameter()));
        break;
      case kParamNumber:
        dbfRecord.SetFloat(field, StrToFloatOrZero(parameter()));
        break;
      case kParamFlag:
        dbfRecord.SetBoolean(field, IsYes(parameter()));
        break;
      case kRenumber:
        dbfRecord.SetBoolean(field, GetExchangeMode() == "I");
        break;
    }
  }
}

void TTransInfo::DbfToText(TZendorProRecord& /*textRecord*/,
                           TDBFRecord& /*dbfRecord*/) {}

void TTransInfo::DefineDbfFields(TDBF& table) {
  FFields.clear();
  FBankLookedUp = false;
  DeclareFields(table, LayoutFields(NewLayout(), kFields170, kFields180),
                [this](const TDBFFieldDef& def, const TInfoField& row) {
                  FFields.push_back({&def, &row});
                });
}

void TTransInfo::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kKonfiguracjaLines));
}

}  // namespace bridge
