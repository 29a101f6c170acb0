#include "transfer/Utransinfo.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/Uglobal.h"
#include "app/Uprogramparams.h"
#include "config/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace bridge {
namespace {

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

struct TInfoField {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
  TSource Source;
  std::string_view Key;  // host field or parameter
};

using enum TSource;

// info.dbf in layout "1.7.0", in declaration order.
constexpr std::array<TInfoField, 37> kFields170 = {{
    {"AKW_IMIE", 'C', 20, 0, kFirstName, ""},
    {"AKW_NAZW", 'C', 20, 0, kSurname, ""},
    {"ID_AKW", 'C', 4, 0, kHostText, "OZNNRWYDR_AKWIZ"},
    {"ID_VAN", 'C', 4, 0, kDeviceId, ""},
    {"NR_FK", 'N', 9, 0, kParamInt, "NR_FK"},
    {"NR_PA", 'N', 9, 0, kParamInt, "NR_PA"},
    {"NR_DD", 'N', 9, 0, kParamInt, "NR_DD"},
    {"NR_PZ", 'N', 9, 0, kNotWritten, ""},
    {"NR_WZ", 'N', 9, 0, kNotWritten, ""},
    {"NR_PZP", 'N', 9, 0, kNotWritten, ""},
    {"NR_ZA", 'N', 9, 0, kParamInt, "NR_ZA"},
    {"NR_MM", 'N', 9, 0, kNotWritten, ""},
    {"NR_KP", 'N', 9, 0, kParamInt, "NR_KP"},
    {"NR_NO", 'N', 9, 0, kNotWritten, ""},
    {"NR_NU", 'N', 9, 0, kNotWritten, ""},
    {"NR_FD", 'N', 9, 0, kNotWritten, ""},
    {"SPRZ_N1", 'C', 50, 0, kHostText, "NAZFAFIRMY1"},
    {"SPRZ_N2", 'C', 50, 0, kHostText, "NAZFAFIRMY2"},
    {"SPRZ_A1", 'C', 50, 0, kAddressLine1, ""},
    {"SPRZ_A2", 'C', 50, 0, kAddressLine2, ""},
    {"SPRZ_NIP", 'C', 13, 0, kHostText, "NIP"},
    {"SPRZ_REGON", 'C', 11, 0, kHostText, "REGON"},
    {"SPRZ_BANK", 'C', 60, 0, kBankName, ""},
    {"SPRZ_KONTO", 'C', 60, 0, kAccountNumber, ""},
    {"ID_ODDZ", 'C', 4, 0, kHostIntegerText, "NRODDZIAL"},
    {"ODDZIAL", 'C', 40, 0, kEmptyText, ""},
    {"ADRESODDZ", 'C', 50, 0, kEmptyText, ""},
    {"LOGO", 'C', 11, 0, kEmptyText, ""},
    {"RABAT_GOT", 'N', 5, 2, kNotWritten, ""},
    {"RABAT_TOW", 'N', 5, 2, kParamNumber, "RABAT_TOW"},
    {"SPRZ_MINUS", 'L', 1, 0, kParamFlag, "SPRZ_MINUS"},
    {"RABAT_AKW", 'L', 1, 0, kNotWritten, ""},
    {"WZOR_NUM", 'C', 20, 0, kParamText, "WZOR_NUM"},
    {"MAG_S_ZERO", 'L', 1, 0, kNotWritten, ""},
    {"COMMS_PWD", 'L', 1, 0, kNotWritten, ""},
    {"ZMIEN_NUM", 'L', 1, 0, kRenumber, ""},
    {"SPRZ_INFO", 'C', 50, 0, kParamText, "SPRZ_INFO"},
}};

// info.dbf in layout "1.8.0", in declaration order; every field is written.
constexpr std::array<TInfoField, 76> kFields180 = {{
    {"AKW_IMIE", 'C', 20, 0, kFirstName, ""},
    {"AKW_NAZW", 'C', 20, 0, kSurname, ""},
    {"ID_AKW", 'C', 4, 0, kHostText, "OZNNRWYDR_AKWIZ"},
    {"ID_VAN", 'C', 4, 0, kDeviceId, ""},
    {"NR_FK", 'N', 9, 0, kParamInt, "NR_FK"},
    {"NR_PA", 'N', 9, 0, kParamInt, "NR_PA"},
    {"NR_DD", 'N', 9, 0, kParamInt, "NR_DD"},
    {"NR_ZA", 'N', 9, 0, kParamInt, "NR_ZA"},
    {"NR_KP", 'N', 9, 0, kParamInt, "NR_KP"},
    {"SPRZ_N1", 'C', 70, 0, kHostText, "NAZFAFIRMY1"},
    {"SPRZ_N2", 'C', 70, 0, kHostText, "NAZFAFIRMY2"},
    {"SPRZ_A1", 'C', 70, 0, kAddressLine1, ""},
    {"SPRZ_A2", 'C', 70, 0, kAddressLine2, ""},
    {"SPRZ_NIP", 'C', 16, 0, kHostText, "NIP"},
    {"SPRZ_REGON", 'C', 11, 0, kHostText, "REGON"},
    {"SPRZ_BANK", 'C', 70, 0, kBankName, ""},
    {"SPRZ_KONTO", 'C', 70, 0, kAccountNumber, ""},
    {"SPRZ_INFO", 'C', 70, 0, kParamText, "SPRZ_INFO"},
    {"SPRZ_STOPA", 'C', 70, 0, kParamText, "SPRZ_STOPA"},
    {"RABAT_TOW", 'N', 5, 2, kParamNumber, "RABAT_TOW"},
    {"SPRZ_MINUS", 'L', 1, 0, kParamFlag, "SPRZ_MINUS"},
    {"WZOR_NUM", 'C', 20, 0, kParamText, "WZOR_NUM"},
    {"ZMIEN_NUM", 'L', 1, 0, kRenumber, ""},
    {"LICZNIK", 'L', 1, 0, kParamFlag, "LICZNIK"},
    {"VANSELLING", 'N', 1, 0, kParamInt, "VANSELLING"},
    {"VANSEL_ZAM", 'L', 1, 0, kParamFlag, "VANSEL_ZAM"},
    {"BLOK_V_FK", 'L', 1, 0, kParamFlag, "BLOK_V_FK"},
    {"BLOK_V_PA", 'L', 1, 0, kParamFlag, "BLOK_V_PA"},
    {"BLOK_V_DD", 'L', 1, 0, kParamFlag, "BLOK_V_DD"},
    {"BLOK_V_ZW", 'L', 1, 0, kParamFlag, "BLOK_V_ZW"},
    {"BLOK_V_PZ", 'L', 1, 0, kParamFlag, "BLOK_V_PZ"},
    {"BLOK_P_FK", 'L', 1, 0, kParamFlag, "BLOK_P_FK"},
    {"BLOK_P_PA", 'L', 1, 0, kParamFlag, "BLOK_P_PA"},
    {"BLOK_P_DD", 'L', 1, 0, kParamFlag, "BLOK_P_DD"},
    {"BLOK_KP", 'L', 1, 0, kParamFlag, "BLOK_KP"},
    {"BLOK_KW", 'L', 1, 0, kParamFlag, "BLOK_KW"},
    {"BLOK_ROZL", 'L', 1, 0, kParamFlag, "BLOK_ROZL"},
    {"DOK_LIMIT", 'C', 6, 0, kParamText, "DOK_LIMIT"},
    {"BRAK_LIMIT", 'L', 1, 0, kParamFlag, "BRAK_LIMIT"},
    {"UKRYJ_MARZ", 'L', 1, 0, kParamFlag, "UKRYJ_MARZ"},
    {"MARZA", 'N', 1, 0, kParamInt, "MARZA"},
    {"CENA", 'N', 1, 0, kParamInt, "CENA"},
    {"MAX_ILOSC", 'N', 10, 3, kParamNumber, "MAX_ILOSC"},
    // A number, written with the field's 0 decimals.
    {"MAX_POZ", 'N', 4, 0, kParamNumber, "MAX_POZ"},
    {"RABAT_WART", 'L', 1, 0, kParamFlag, "RABAT_WART"},
    {"FILTR_TOW", 'C', 1, 0, kParamText, "FILTR_TOW"},
    {"AUTO_KP", 'C', 1, 0, kParamText, "AUTO_KP"},
    {"POP_DOK", 'L', 1, 0, kParamFlag, "POP_DOK"},
    {"POP_DR_DOK", 'L', 1, 0, kParamFlag, "POP_DR_DOK"},
    {"KAS_DOK", 'L', 1, 0, kParamFlag, "KAS_DOK"},
    {"KAS_DR_DOK", 'L', 1, 0, kParamFlag, "KAS_DR_DOK"},
    {"KAS_DOKK", 'L', 1, 0, kParamFlag, "KAS_DOKK"},
    {"BRUTTO", 'L', 1, 0, kParamFlag, "BRUTTO"},
    {"V_FK_BRUT", 'L', 1, 0, kParamFlag, "V_FK_BRUT"},
    {"V_PA_BRUT", 'L', 1, 0, kParamFlag, "V_PA_BRUT"},
    {"V_DD_BRUT", 'L', 1, 0, kParamFlag, "V_DD_BRUT"},
    {"V_ZW_BRUT", 'L', 1, 0, kParamFlag, "V_ZW_BRUT"},
    {"V_PZ_BRUT", 'L', 1, 0, kParamFlag, "V_PZ_BRUT"},
    {"P_FK_BRUT", 'L', 1, 0, kParamFlag, "P_FK_BRUT"},
    {"P_PA_BRUT", 'L', 1, 0, kParamFlag, "P_PA_BRUT"},
    {"P_DD_BRUT", 'L', 1, 0, kParamFlag, "P_DD_BRUT"},
    {"STAN_LOG", 'L', 1, 0, kParamFlag, "STAN_LOG"},
    {"NUM_DRUK", 'L', 1, 0, kParamFlag, "NUM_DRUK"},
    {"NR_PZ", 'N', 9, 0, kParamInt, "NR_PZ"},
    {"NR_ZW", 'N', 9, 0, kParamInt, "NR_ZW"},
    {"NR_KW", 'N', 9, 0, kParamInt, "NR_KW"},
    {"FISK_NAZWA", 'L', 1, 0, kParamFlag, "FISK_NAZWA"},
    {"SPRZ_ID", 'C', 15, 0, kParamText, "SPRZ_ID"},
    {"WIZYTY", 'L', 1, 0, kParamFlag, "WIZYTY"},
    {"BLOK_INFO", 'L', 1, 0, kParamFlag, "BLOK_INFO"},
    {"BLOK_NPKP", 'L', 1, 0, kParamFlag, "BLOK_NPKP"},
    {"BLOK_NPKW", 'L', 1, 0, kParamFlag, "BLOK_NPKW"},
    {"ILE_FIRM", 'N', 4, 0, kParamInt, "ILE_FIRM"},
    {"WYMUS_ROZL", 'L', 1, 0, kParamFlag, "WYMUS_ROZL"},
    {"SF_PZ", 'L', 1, 0, kParamFlag, "SF_PZ"},
    {"SF_ZW", 'L', 1, 0, kParamFlag, "SF_ZW"},
}};

std::span<const TInfoField> FieldsOfLayout(int layoutIndex) {
  if (layoutIndex == 1) return kFields170;
  return kFields180;
}

// konfiguracja.txt, in the order of the values of its lines. The comments
// are the host's own, misspellings included.
std::vector<std::string> KonfiguracjaDefinitions() {
  return {
      "ID_AKWIZYTOR    :Integer;\t- id przedstawiciela handlowego - "
      "akwozytora",
      Cp1250(u8"AKWIZYTOR       :String;\t- nazwisko i imię akwozytora (40)"),
      "NRAKWIZYTOR     :Integer;\t- numer akwozytora",
      Cp1250(u8"KODURZ          :String;\t- kod aktualnego urządzenia (15)"),
      "NAZFAFIRMY1     :String;\t- pierwsza linia nazwy firmy",
      "NAZFAFIRMY2     :String;\t- druga linia nazwy firmy",
      "MIEJSCOWOSC     :String;\t- (30)",
      "KODPOCZTOWY     :String;\t- (10)",
      "POCZTA          :String;\t- (30)",
      "ULICA           :String;\t- (30)",
      "NRDOMU          :String;\t- (10)",
      "NRLOKALU        :String;\t- (10)",
      "NIP             :String;\t- (20)",
      "REGON           :String;\t- (40)",
      Cp1250(u8"NRODDZIAL       :Integer;\t- numer oddziału firmy"),
      Cp1250(u8"OZNNRWYDRMS     :String;\t- kod miejsca sprzedaży, może "
             u8"wchodzić do numeracji dokumwntów(10)"),
      "OZNNRWYDR_AKWIZ :String;- dodatkowe nie opisane w oryginalnej "
      "dokumentacji pole (10)?",
      "TELEFON         :String;\t- (50)",
  };
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
  textFile.Definition().LoadDefinitions(std::vector<std::string>{
      "KODBANKU   : String;\t- kod banku (20)",
      "BANK       : String;\t- nazwa banku (50)",
      Cp1250(u8"NRKONTA    : INTEGER;\t- nr konta służący do identyfikacji "
             u8"(np. 1 - konto pierwsze)"),
      "NAZWAKONTA : String;\t- nazwa konta (40)",
      "KONTO      : String;\t- konto (50)",
  });
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
      const TTextFileDef& definition = bankFile.Definition();
      const std::int32_t number = definition.IndexOf("NRKONTA");
      const std::int32_t bank = definition.IndexOf("BANK");
      const std::int32_t account = definition.IndexOf("KONTO");
      // The key is compared with the record's number as decimal text, so
      // "02" finds no account 2.
      for (bankFile.First(); !bankFile.Eof(); bankFile.Next()) {
        const TZendorProRecord& record = *bankFile.CurrentRecord();
        if (IntToStr(record.GetIntegerAt(number)) == wanted) {
          FBankName = record.GetStringAt(bank);
          FAccountNumber = record.GetStringAt(account);
          break;
        }
      }
    }
  }
  // Without a matching account the parameter is taken for the account
  // number itself.
  if (Trim(FAccountNumber).empty()) FAccountNumber = wanted;
}

void TTransInfo::Prepare(const TZendorProRecord& textRecord,
                         TDBFRecord& dbfRecord) {
  const TTextFileDef& definition = textRecord.File().Definition();
  FRepresentative = definition.IndexOf("AKWIZYTOR");
  FStreet = definition.IndexOf("ULICA");
  FTown = definition.IndexOf("MIEJSCOWOSC");
  FPostOffice = definition.IndexOf("POCZTA");
  FHouseNo = definition.IndexOf("NRDOMU");
  FFlatNo = definition.IndexOf("NRLOKALU");
  FPostalCode = definition.IndexOf("KODPOCZTOWY");

  LookUpBankAccount();
  const bool renumber = GetExchangeMode() == "I";
  const TDBF& table = dbfRecord.Table();

  FBound.clear();
  for (const TInfoField& row : FieldsOfLayout(FLayoutIndex)) {
    if (row.Source == kNotWritten) continue;
    TBoundField bound;
    bound.Field = table.FindField(row.Name);
    if (bound.Field == nullptr) {
      // Not declared after all: the by-name setter raises the table's own
      // error for a missing field.
      dbfRecord.SetString(row.Name, "");
      continue;
    }
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
        bound.HostIndex = definition.IndexOf(row.Key);
        break;
      case kHostIntegerText:
        bound.Write = TWrite::kHostIntegerText;
        bound.HostIndex = definition.IndexOf(row.Key);
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
  if (!FPrepared) Prepare(textRecord, dbfRecord);

  // The host writes the surname first; the first name keeps any further
  // blanks.
  const std::string representative = textRecord.GetStringAt(FRepresentative);
  const std::size_t blank = representative.find(' ');
  if (blank == std::string::npos) {
    FSurname.clear();
    FFirstName = representative;
  } else {
    FSurname.assign(representative, 0, blank);
    FFirstName.assign(representative, blank + 1);
  }
  const std::string postOffice = textRecord.GetStringAt(FPostOffice);
  FAddressLine1 = ComposeAddress(textRecord.GetStringAt(FStreet),
                                 textRecord.GetStringAt(FTown), postOffice,
                                 textRecord.GetStringAt(FHouseNo),
                                 textRecord.GetStringAt(FFlatNo));
  FAddressLine2 =
      JoinWithBlank(textRecord.GetStringAt(FPostalCode), postOffice);

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
  FLayoutIndex = GetLayoutIndex();
  FPrepared = false;
  FBound.clear();
  for (const TInfoField& row : FieldsOfLayout(FLayoutIndex)) {
    table.AddField(row.Name, row.Type, row.Length, row.Decimals);
  }
}

void TTransInfo::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(KonfiguracjaDefinitions());
}

}  // namespace bridge
