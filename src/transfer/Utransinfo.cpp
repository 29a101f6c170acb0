#include "transfer/Utransinfo.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "app/Uglobal.h"
#include "app/Uprogramparams.h"
#include "config/uKonfig.h"
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
// konfiguracja.txt record, "Param" sources the device's parameter of the
// row's key.
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

// What goes into an info.dbf field: its source, with the parameter's key
// or the konfiguracja.txt column it reads.
struct TInfoValue {
  constexpr TInfoValue(TSource source = TSource::kNotWritten,
                       std::string_view key = {}, std::int32_t column = -1)
      : Source(source), Key(key), Column(column) {}
  TSource Source;
  std::string_view Key;
  std::int32_t Column;
};

using TInfoField = TDeviceField<TInfoValue>;

using enum TSource;

// A value read from the konfiguracja.txt column of that name.
consteval TInfoValue Host(TSource source, std::string_view name) {
  return TInfoValue(source, {}, ColumnOf(kKonfiguracjaLines, name));
}

// The representative and the first document counters open info.dbf in
// both layouts.
constexpr TInfoField kRepresentativeFields[] = {
    {"AKW_IMIE", 'C', 20, 0, {kFirstName}},
    {"AKW_NAZW", 'C', 20, 0, {kSurname}},
    {"ID_AKW", 'C', 4, 0, Host(kHostText, "OZNNRWYDR_AKWIZ")},
    {"ID_VAN", 'C', 4, 0, {kDeviceId}},
    {"NR_FK", 'N', 9, 0, {kParamInt, "NR_FK"}},
    {"NR_PA", 'N', 9, 0, {kParamInt, "NR_PA"}},
    {"NR_DD", 'N', 9, 0, {kParamInt, "NR_DD"}},
};

// The rest of info.dbf in layout "1.7.0", in declaration order.
constexpr TInfoField kFields170Rest[] = {
    {"NR_PZ", 'N', 9, 0, {kNotWritten}},
    {"NR_WZ", 'N', 9, 0, {kNotWritten}},
    {"NR_PZP", 'N', 9, 0, {kNotWritten}},
    {"NR_ZA", 'N', 9, 0, {kParamInt, "NR_ZA"}},
    {"NR_MM", 'N', 9, 0, {kNotWritten}},
    {"NR_KP", 'N', 9, 0, {kParamInt, "NR_KP"}},
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
    {"RABAT_TOW", 'N', 5, 2, {kParamNumber, "RABAT_TOW"}},
    {"SPRZ_MINUS", 'L', 1, 0, {kParamFlag, "SPRZ_MINUS"}},
    {"RABAT_AKW", 'L', 1, 0, {kNotWritten}},
    {"WZOR_NUM", 'C', 20, 0, {kParamText, "WZOR_NUM"}},
    {"MAG_S_ZERO", 'L', 1, 0, {kNotWritten}},
    {"COMMS_PWD", 'L', 1, 0, {kNotWritten}},
    {"ZMIEN_NUM", 'L', 1, 0, {kRenumber}},
    {"SPRZ_INFO", 'C', 50, 0, {kParamText, "SPRZ_INFO"}},
};

// The rest of info.dbf in layout "1.8.0", in declaration order; every field
// is written.
constexpr TInfoField kFields180Rest[] = {
    {"NR_ZA", 'N', 9, 0, {kParamInt, "NR_ZA"}},
    {"NR_KP", 'N', 9, 0, {kParamInt, "NR_KP"}},
    {"SPRZ_N1", 'C', 70, 0, Host(kHostText, "NAZFAFIRMY1")},
    {"SPRZ_N2", 'C', 70, 0, Host(kHostText, "NAZFAFIRMY2")},
    {"SPRZ_A1", 'C', 70, 0, {kAddressLine1}},
    {"SPRZ_A2", 'C', 70, 0, {kAddressLine2}},
    {"SPRZ_NIP", 'C', 16, 0, Host(kHostText, "NIP")},
    {"SPRZ_REGON", 'C', 11, 0, Host(kHostText, "REGON")},
    {"SPRZ_BANK", 'C', 70, 0, {kBankName}},
    {"SPRZ_KONTO", 'C', 70, 0, {kAccountNumber}},
    {"SPRZ_INFO", 'C', 70, 0, {kParamText, "SPRZ_INFO"}},
    {"SPRZ_STOPA", 'C', 70, 0, {kParamText, "SPRZ_STOPA"}},
    {"RABAT_TOW", 'N', 5, 2, {kParamNumber, "RABAT_TOW"}},
    {"SPRZ_MINUS", 'L', 1, 0, {kParamFlag, "SPRZ_MINUS"}},
    {"WZOR_NUM", 'C', 20, 0, {kParamText, "WZOR_NUM"}},
    {"ZMIEN_NUM", 'L', 1, 0, {kRenumber}},
    {"LICZNIK", 'L', 1, 0, {kParamFlag, "LICZNIK"}},
    {"VANSELLING", 'N', 1, 0, {kParamInt, "VANSELLING"}},
    {"VANSEL_ZAM", 'L', 1, 0, {kParamFlag, "VANSEL_ZAM"}},
    {"BLOK_V_FK", 'L', 1, 0, {kParamFlag, "BLOK_V_FK"}},
    {"BLOK_V_PA", 'L', 1, 0, {kParamFlag, "BLOK_V_PA"}},
    {"BLOK_V_DD", 'L', 1, 0, {kParamFlag, "BLOK_V_DD"}},
    {"BLOK_V_ZW", 'L', 1, 0, {kParamFlag, "BLOK_V_ZW"}},
    {"BLOK_V_PZ", 'L', 1, 0, {kParamFlag, "BLOK_V_PZ"}},
    {"BLOK_P_FK", 'L', 1, 0, {kParamFlag, "BLOK_P_FK"}},
    {"BLOK_P_PA", 'L', 1, 0, {kParamFlag, "BLOK_P_PA"}},
    {"BLOK_P_DD", 'L', 1, 0, {kParamFlag, "BLOK_P_DD"}},
    {"BLOK_KP", 'L', 1, 0, {kParamFlag, "BLOK_KP"}},
    {"BLOK_KW", 'L', 1, 0, {kParamFlag, "BLOK_KW"}},
    {"BLOK_ROZL", 'L', 1, 0, {kParamFlag, "BLOK_ROZL"}},
    {"DOK_LIMIT", 'C', 6, 0, {kParamText, "DOK_LIMIT"}},
    {"BRAK_LIMIT", 'L', 1, 0, {kParamFlag, "BRAK_LIMIT"}},
    {"UKRYJ_MARZ", 'L', 1, 0, {kParamFlag, "UKRYJ_MARZ"}},
    {"MARZA", 'N', 1, 0, {kParamInt, "MARZA"}},
    {"CENA", 'N', 1, 0, {kParamInt, "CENA"}},
    {"MAX_ILOSC", 'N', 10, 3, {kParamNumber, "MAX_ILOSC"}},
    // A number, written with the field's 0 decimals.
    {"MAX_POZ", 'N', 4, 0, {kParamNumber, "MAX_POZ"}},
    {"RABAT_WART", 'L', 1, 0, {kParamFlag, "RABAT_WART"}},
    {"FILTR_TOW", 'C', 1, 0, {kParamText, "FILTR_TOW"}},
    {"AUTO_KP", 'C', 1, 0, {kParamText, "AUTO_KP"}},
    {"POP_DOK", 'L', 1, 0, {kParamFlag, "POP_DOK"}},
    {"POP_DR_DOK", 'L', 1, 0, {kParamFlag, "POP_DR_DOK"}},
    {"KAS_DOK", 'L', 1, 0, {kParamFlag, "KAS_DOK"}},
    {"KAS_DR_DOK", 'L', 1, 0, {kParamFlag, "KAS_DR_DOK"}},
    {"KAS_DOKK", 'L', 1, 0, {kParamFlag, "KAS_DOKK"}},
    {"BRUTTO", 'L', 1, 0, {kParamFlag, "BRUTTO"}},
    {"V_FK_BRUT", 'L', 1, 0, {kParamFlag, "V_FK_BRUT"}},
    {"V_PA_BRUT", 'L', 1, 0, {kParamFlag, "V_PA_BRUT"}},
    {"V_DD_BRUT", 'L', 1, 0, {kParamFlag, "V_DD_BRUT"}},
    {"V_ZW_BRUT", 'L', 1, 0, {kParamFlag, "V_ZW_BRUT"}},
    {"V_PZ_BRUT", 'L', 1, 0, {kParamFlag, "V_PZ_BRUT"}},
    {"P_FK_BRUT", 'L', 1, 0, {kParamFlag, "P_FK_BRUT"}},
    {"P_PA_BRUT", 'L', 1, 0, {kParamFlag, "P_PA_BRUT"}},
    {"P_DD_BRUT", 'L', 1, 0, {kParamFlag, "P_DD_BRUT"}},
    {"STAN_LOG", 'L', 1, 0, {kParamFlag, "STAN_LOG"}},
    {"NUM_DRUK", 'L', 1, 0, {kParamFlag, "NUM_DRUK"}},
    {"NR_PZ", 'N', 9, 0, {kParamInt, "NR_PZ"}},
    {"NR_ZW", 'N', 9, 0, {kParamInt, "NR_ZW"}},
    {"NR_KW", 'N', 9, 0, {kParamInt, "NR_KW"}},
    {"FISK_NAZWA", 'L', 1, 0, {kParamFlag, "FISK_NAZWA"}},
    {"SPRZ_ID", 'C', 15, 0, {kParamText, "SPRZ_ID"}},
    {"WIZYTY", 'L', 1, 0, {kParamFlag, "WIZYTY"}},
    {"BLOK_INFO", 'L', 1, 0, {kParamFlag, "BLOK_INFO"}},
    {"BLOK_NPKP", 'L', 1, 0, {kParamFlag, "BLOK_NPKP"}},
    {"BLOK_NPKW", 'L', 1, 0, {kParamFlag, "BLOK_NPKW"}},
    {"ILE_FIRM", 'N', 4, 0, {kParamInt, "ILE_FIRM"}},
    {"WYMUS_ROZL", 'L', 1, 0, {kParamFlag, "WYMUS_ROZL"}},
    {"SF_PZ", 'L', 1, 0, {kParamFlag, "SF_PZ"}},
    {"SF_ZW", 'L', 1, 0, {kParamFlag, "SF_ZW"}},
};

constexpr auto kFields170 = Joined(kRepresentativeFields, kFields170Rest);
constexpr auto kFields180 = Joined(kRepresentativeFields, kFields180Rest);

std::span<const TInfoField> FieldsOfLayout(bool newLayout) {
  return LayoutFields(newLayout, kFields170, kFields180);
}

constexpr std::string_view kBankFileName = "bank.txt";

}  // namespace

// --- TTransBank --------------------------------------------------------------

TTransBank::TTransBank(TDateTime timestamp, std::string_view textName,
                       std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

void TTransBank::TextToDbf(TZendorProRecord& /*textRecord*/,
                           TDBFRecord& /*dbfRecord*/) {}
void TTransBank::DbfToText(TZendorProRecord& /*textRecord*/,
                           TDBFRecord& /*dbfRecord*/) {}
void TTransBank::DefineDbfFields(TDBF& /*table*/) {}

void TTransBank::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kBankLines));
}

// --- TTransInfo --------------------------------------------------------------

TTransInfo::TTransInfo(TDateTime timestamp, std::string_view textName,
                       std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

void TTransInfo::LookUpBankAccount() {
  TTransBank bankDefinitions(Timestamp(), "", "");
  const std::string path =
      ExcludeTrailingBackslash(platform::ExtractFileDir(TextPath())) +
      platform::kPathDelimiter + std::string(kBankFileName);
  FBankName.clear();
  FAccountNumber.clear();
  const std::string wanted = Trim(ConfigFile().GetValue("NR_KONTA"));
  {
    TZendorProFile bankFile(Timestamp());
    bankDefinitions.DefineTextFields(bankFile);
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

void TTransInfo::Prepare() {
  LookUpBankAccount();
  const bool renumber = GetExchangeMode() == "I";
  const std::span<const TInfoField> rows = FieldsOfLayout(FNewLayout);

  FBound.clear();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TInfoValue& row = rows[i].Write;
    if (row.Source == kNotWritten) continue;
    TBoundField bound;
    bound.Field = FDeclared[i];
    switch (row.Source) {
      case kNotWritten:
        break;
      case kFirstName:
        bound.Write = TWrite::kFirstName;
        break;
      case kSurname:
        bound.Write = TWrite::kSurname;
        break;
      case kHostText:
        bound.Write = TWrite::kHostText;
        bound.HostIndex = row.Column;
        break;
      case kHostIntegerText:
        bound.Write = TWrite::kHostIntegerText;
        bound.HostIndex = row.Column;
        break;
      case kDeviceId:
        bound.Text = ConfigFile().DeviceName().substr(0, 4);
        break;
      case kAddressLine1:
        bound.Write = TWrite::kAddressLine1;
        break;
      case kAddressLine2:
        bound.Write = TWrite::kAddressLine2;
        break;
      case kBankName:
        bound.Text = FBankName;
        break;
      case kAccountNumber:
        bound.Text = FAccountNumber;
        break;
      case kEmptyText:
        break;
      case kParamText:
        bound.Text = ConfigFile().GetValue(row.Key);
        break;
      case kParamInt:
        bound.Write = TWrite::kInteger;
        bound.Integer = StrToIntOrZero(ConfigFile().GetValue(row.Key));
        break;
      case kParamNumber:
        bound.Write = TWrite::kNumber;
        bound.Number = StrToFloatOrZero(ConfigFile().GetValue(row.Key));
        break;
      case kParamFlag:
        bound.Write = TWrite::kFlag;
        bound.Flag = IsYes(ConfigFile().GetValue(row.Key));
        break;
      case kRenumber:
        bound.Write = TWrite::kFlag;
        bound.Flag = renumber;
        break;
    }
    FBound.push_back(std::move(bound));
  }
  FPrepared = true;
}

// Every value that does not depend on the host record (parameters, the
// device name, the exchange mode and the bank account) is read once, on the
// first record: none of them changes during a run, and a run without
// records reads none of them, as a lookup per record would.
void TTransInfo::TextToDbf(TZendorProRecord& textRecord,
                           TDBFRecord& dbfRecord) {
  if (!FPrepared) Prepare();

  // The host writes the surname first; the first name keeps any further
  // blanks.
  const std::string representative =
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("AKWIZYTOR"));
  const std::size_t blank = representative.find(' ');
  if (blank == std::string::npos) {
    FSurname.clear();
    FFirstName = representative;
  } else {
    FSurname.assign(representative, 0, blank);
    FFirstName.assign(representative, blank + 1);
  }
  const std::string postOffice =
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("POCZTA"));
  FAddressLine1 = ComposeAddress(
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("ULICA")),
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("MIEJSCOWOSC")),
      postOffice, textRecord.GetStringAt(Column<kKonfiguracjaLines>("NRDOMU")),
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("NRLOKALU")));
  FAddressLine2 = JoinWithBlank(
      textRecord.GetStringAt(Column<kKonfiguracjaLines>("KODPOCZTOWY")),
      postOffice);

  for (const TBoundField& bound : FBound) {
    const TDBFFieldDef& field = *bound.Field;
    switch (bound.Write) {
      case TWrite::kText:
        dbfRecord.SetString(field, bound.Text);
        break;
      case TWrite::kInteger:
        dbfRecord.SetInteger(field, bound.Integer);
        break;
      case TWrite::kNumber:
        dbfRecord.SetFloat(field, bound.Number);
        break;
      case TWrite::kFlag:
        dbfRecord.SetBoolean(field, bound.Flag);
        break;
      case TWrite::kFirstName:
        dbfRecord.SetString(field, FFirstName);
        break;
      case TWrite::kSurname:
        dbfRecord.SetString(field, FSurname);
        break;
      case TWrite::kHostText:
        dbfRecord.SetString(field, textRecord.GetStringAt(bound.HostIndex));
        break;
      case TWrite::kHostIntegerText:
        dbfRecord.SetString(field,
                            IntToStr(textRecord.GetIntegerAt(bound.HostIndex)));
        break;
      case TWrite::kAddressLine1:
        dbfRecord.SetString(field, FAddressLine1);
        break;
      case TWrite::kAddressLine2:
        dbfRecord.SetString(field, FAddressLine2);
        break;
    }
  }
}

void TTransInfo::DbfToText(TZendorProRecord& /*textRecord*/,
                           TDBFRecord& /*dbfRecord*/) {}

// The conversion follows the layout the table was declared in, read once
// per run.
void TTransInfo::DefineDbfFields(TDBF& table) {
  FNewLayout = NewLayoutInForce();
  FPrepared = false;
  FBound.clear();
  FDeclared.clear();
  DeclareFields(table, FieldsOfLayout(FNewLayout),
                [this](const TDBFFieldDef& def, const TInfoField& /*field*/) {
                  FDeclared.push_back(&def);
                });
}

void TTransInfo::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kKonfiguracjaLines));
}

}  // namespace bridge
