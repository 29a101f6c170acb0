#include "transfer/Utranskontrah.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "core/Uglobal.h"
#include "platform/Text.h"

namespace bridge {
namespace {

// kontrahent.txt, in the order of the values of its lines. The first
// parenthesised whole number of a comment is the field's length. The comment
// of NR_DEFCENY ends after "lub" as the host documents it.
constexpr TDefinitionLine kKontrahentLines[] = {
    DefinitionLine(u8"ID_KONTRAH       :Integer;   - id kontrahenta"),
    DefinitionLine(u8"NRKONTRAH        :Integer;   - numer kontrahenta"),
    DefinitionLine(u8"NAZWASKR         :String;    - identyfikator (25)"),
    DefinitionLine(u8"NIP              :String;    - nip (20)"),
    DefinitionLine(u8"NAZWADL          :String;    - nazwa pełna (240)  memo - "
                   u8"zawiera ^)"),
    DefinitionLine(u8"TELEFON          :String;    - (50)"),
    DefinitionLine(u8"FAX              :String;    - (50)"),
    DefinitionLine(u8"EMAIL            :String;    - (50)"),
    DefinitionLine(u8"WWW              :String;    - (50)"),
    DefinitionLine(
        u8"TERMINDNI        :Integer;   - ile dni na termin platności"),
    DefinitionLine(u8"ILDNIKARENCJI    :Integer;   - ile dni dodatkowo na "
                   u8"termin platności"),
    DefinitionLine(u8"ODBIORCA         :Boolean;   - czy jest odbiorcą"),
    DefinitionLine(u8"DOSTAWCA         :Boolean;   - czy jest dostawcą"),
    DefinitionLine(u8"ID_PLATNIKA      :Integer;   - id kontrahenta który jest "
                   u8"płatnikiem dla aktualnego"),
    DefinitionLine(u8"NRPLATNIKA       :Integer;   - numer kontrahenta który "
                   u8"jest płatnikiem dla aktualnego"),
    DefinitionLine(u8"MIEJSCOWOSC      :String;    - (30)"),
    DefinitionLine(u8"KODPOCZTOWY      :String;    - (10)"),
    DefinitionLine(u8"POCZTA           :String;    - (30)"),
    DefinitionLine(u8"ULICA            :String;    - (30)"),
    DefinitionLine(u8"NRDOMU           :String;    - (10)"),
    DefinitionLine(u8"NRLOKALU         :String;    - (10)"),
    DefinitionLine(u8"GMINADZIELNICA   :String;    - (30)"),
    DefinitionLine(u8"POWIAT           :String;    - (30)"),
    DefinitionLine(u8"REGON            :String;    - (40)"),
    DefinitionLine(u8"PESEL            :String;    - (11)"),
    DefinitionLine(
        u8"SPOSPLATNOSCI    :String;    - domyślny sposób płatności (35)"),
    DefinitionLine(
        u8"ID_DEFCENY       :Integer;   - id domyślnej ceny sprzedaży"),
    DefinitionLine(
        u8"WALUTA           :String;    - skrót domyślnej waluty (5)"),
    DefinitionLine(u8"WARTDOKKREDYT    :Currency;  - limit wartości dokumentu "
                   u8"kredytowego"),
    DefinitionLine(u8"WARTKREDYTOG     :Currency;  - limit wartości wszystkich "
                   u8"dokumentów kredytowych"),
    DefinitionLine(u8"PROCRABATNAGL    :Currency;  - ogólny rabat"),
    DefinitionLine(u8"BLOKADASPRZEDAZY :Boolean;   - blokada sprzedaży"),
    DefinitionLine(u8"TYPKONTRAH       :Integer;   - Typ kontrahenta (1 - "
                   u8"działalność, 2 - osoba fizyczna, 3 - inne)"),
    DefinitionLine(u8"NR_DEFCENY       :Integer;   - numer domyślnej ceny "
                   u8"sprzedaży (1..5). Jeżeli ID_DEFCENY nie ustawione lub"),
    DefinitionLine(u8"UWAGI            :String;    - uwagi kontrahenta"),
    DefinitionLine(u8"WARTKREDYTPRZET  :Currency;  - dopuszczalna wartość "
                   u8"przeterminowanego kredytu"),
};

// What a klient.dbf field carries. The two layouts name and size the fields
// differently, and each writes only some of them.
enum TValue : std::uint8_t {
  kId,
  kNazwa1,
  kNazwa2,
  kKodPocz,
  kMiasto,
  kStreet,
  kNipValue,
  kRabat,
  kPlatnik,
  kAktywny,
  kListaTow,
  kTypPlat,
  kTermPlat,
  kDetal,
  kGrpProm,
  kGrupaCen,
  kLimit,
  kSkrot,
  kCena,
  kPocztaValue,
  kTelefonValue,
  kEmailValue,
  kUwagiValue,
  kLimitPrze,
  kNotWritten,
};

constexpr TDeviceField<TValue> kKlient170[] = {
    {"ID_KL", 'C', 15, 0, kId},          {"NAZWA1", 'C', 60, 0, kNazwa1},
    {"NAZWA2", 'C', 60, 0, kNazwa2},     {"KOD_POCZ", 'C', 6, 0, kKodPocz},
    {"MIEJSC", 'C', 21, 0, kMiasto},     {"ULICA", 'C', 21, 0, kStreet},
    {"NIP", 'C', 13, 0, kNipValue},      {"RABAT", 'N', 5, 2, kRabat},
    {"PLATNIK", 'C', 15, 0, kPlatnik},   {"AKTYWNY", 'L', 1, 0, kAktywny},
    {"LISTA_TOW", 'L', 1, 0, kListaTow}, {"TYP_DOK", 'C', 3, 0, kNotWritten},
    {"TYP_PLAT", 'C', 1, 0, kTypPlat},   {"TERM_PLAT", 'N', 2, 0, kTermPlat},
    {"DETAL", 'L', 1, 0, kDetal},        {"GRP_PROM", 'N', 3, 0, kGrpProm},
    {"LIMIT", 'N', 10, 2, kLimit},       {"SKROT", 'C', 20, 0, kSkrot},
    {"CENA_D", 'N', 1, 0, kCena},
};

constexpr TDeviceField<TValue> kKlient180[] = {
    {"ID_KLIENT", 'C', 15, 0, kId},
    {"NAZWA1", 'C', 70, 0, kNazwa1},
    {"NAZWA2", 'C', 70, 0, kNazwa2},
    {"KOD_POCZ", 'C', 6, 0, kKodPocz},
    {"MIASTO", 'C', 30, 0, kMiasto},
    {"ULICA", 'C', 40, 0, kStreet},
    {"NIP", 'C', 16, 0, kNipValue},
    {"RABAT", 'N', 6, 2, kRabat},
    {"ID_PLATNIK", 'C', 15, 0, kPlatnik},
    {"AKTYWNY", 'L', 1, 0, kAktywny},
    {"TYP_DOK", 'C', 6, 0, kNotWritten},
    {"TYP_PLAT", 'C', 1, 0, kTypPlat},
    {"TERM_PLAT", 'N', 4, 0, kTermPlat},
    {"GRUPA_CEN", 'N', 3, 0, kGrupaCen},
    {"LIMIT", 'N', 10, 2, kLimit},
    {"SKROT", 'C', 30, 0, kSkrot},
    {"CENA", 'N', 1, 0, kCena},
    {"POCZTA", 'C', 30, 0, kPocztaValue},
    {"TELEFON", 'C', 50, 0, kTelefonValue},
    {"EMAIL", 'C', 50, 0, kEmailValue},
    {"LIMIT_PRZE", 'N', 10, 2, kLimitPrze},
    {"RODZAJ_DOK", 'N', 1, 0, kNotWritten},
    {"GRUPA", 'N', 3, 0, kNotWritten},
    {"CECHA1", 'C', 35, 0, kNotWritten},
    {"CECHA2", 'C', 35, 0, kNotWritten},
    {"UWAGI", 'C', 254, 0, kUwagiValue},
};

// The payment term in whole days, truncated toward zero and capped upward
// at what the field shows. A term below the 32-bit range is held at its
// bottom rather than converted out of range; the setter cuts it to the
// field anyway.
std::int32_t PaymentTerm(double days, std::int32_t cap) {
  if (days >= cap) return cap;
  constexpr double kLowest = std::numeric_limits<std::int32_t>::min();
  if (!(days > kLowest)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(std::trunc(days));
}

}  // namespace

TTransKontrah::TTransKontrah(TDateTime timestamp, std::string_view textName,
                             std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {}

void TTransKontrah::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kKontrahentLines));
}

void TTransKontrah::DefineDbfFields(TDBF& table) {
  FFields.Declare(table, LayoutFields(NewLayout(), kKlient170, kKlient180));
  // The table's own definition of ULICA, so the number fits whatever width
  // the layout gives the street.
  FStreetWidth = FFields[kStreet].Length();
}

void TTransKontrah::DbfToText(TZendorProRecord& /*textRecord*/,
                              TDBFRecord& /*dbfRecord*/) {}

std::string_view TTransKontrah::ComposeStreet(
    const TZendorProRecord& textRecord) {
  // Each view lasts only until the next read of the record, so every value
  // is copied before the next one is read.
  FStreet.assign(textRecord.GetStringViewAt(Column<kKontrahentLines>("ULICA")));
  FSuffix.clear();
  const std::string_view houseNo =
      textRecord.GetStringViewAt(Column<kKontrahentLines>("NRDOMU"));
  if (!houseNo.empty()) {
    FSuffix.append(" ").append(houseNo);
    const std::string_view flatNo =
        textRecord.GetStringViewAt(Column<kKontrahentLines>("NRLOKALU"));
    if (!flatNo.empty()) FSuffix.append("/").append(flatNo);
  }
  const int room = FStreetWidth - static_cast<int>(FSuffix.size());
  if (room <= 0) {
    FStreet.clear();
  } else if (FStreet.size() > static_cast<std::size_t>(room)) {
    FStreet.resize(static_cast<std::size_t>(room));
  }
  FStreet += FSuffix;
  return FStreet;
}

void TTransKontrah::TextToDbf(TZendorProRecord& textRecord,
                              TDBFRecord& dbfRecord) {
  // A view of the record lasts until its next read, so each one goes
  // straight into its setter.
  const auto text = [&textRecord](std::int32_t column) {
    return textRecord.GetStringViewAt(column);
  };
  {
    const std::string_view fullName = text(Column<kKontrahentLines>("NAZWADL"));
    dbfRecord.SetString(FFields[kNazwa1], CaretPart(fullName, 1));
    dbfRecord.SetString(FFields[kNazwa2], CaretPart(fullName, 2));
  }
  dbfRecord.SetString(
      FFields[kId],
      IntToStr(textRecord.GetIntegerAt(Column<kKontrahentLines>("NRKONTRAH"))));
  dbfRecord.SetString(FFields[kKodPocz],
                      text(Column<kKontrahentLines>("KODPOCZTOWY")));
  dbfRecord.SetString(FFields[kMiasto],
                      text(Column<kKontrahentLines>("MIEJSCOWOSC")));
  dbfRecord.SetString(FFields[kStreet], ComposeStreet(textRecord));
  dbfRecord.SetString(FFields[kNipValue],
                      text(Column<kKontrahentLines>("NIP")));
  dbfRecord.SetFloat(
      FFields[kRabat],
      Round2(textRecord.GetFloatAt(Column<kKontrahentLines>("PROCRABATNAGL"))));
  dbfRecord.SetString(FFields[kPlatnik],
                      IntToStr(textRecord.GetIntegerAt(
                          Column<kKontrahentLines>("NRPLATNIKA"))));
  dbfRecord.SetBoolean(
      FFields[kAktywny],
      !textRecord.GetBooleanAt(Column<kKontrahentLines>("BLOKADASPRZEDAZY")));
  const std::string_view payment =
      text(Column<kKontrahentLines>("SPOSPLATNOSCI"));
  if (!payment.empty()) {
    const char letter = UpperCaseChar(payment.front());
    dbfRecord.SetString(FFields[kTypPlat], std::string_view(&letter, 1));
  }
  dbfRecord.SetFloat(
      FFields[kLimit],
      textRecord.GetFloatAt(Column<kKontrahentLines>("WARTKREDYTOG")));
  dbfRecord.SetString(FFields[kSkrot],
                      text(Column<kKontrahentLines>("NAZWASKR")));
  dbfRecord.SetInteger(
      FFields[kCena],
      textRecord.GetIntegerAt(Column<kKontrahentLines>("NR_DEFCENY")));
  const double term =
      textRecord.GetFloatAt(Column<kKontrahentLines>("TERMINDNI"));
  if (!NewLayout()) {
    dbfRecord.SetBoolean(FFields[kListaTow], false);
    dbfRecord.SetInteger(FFields[kTermPlat], PaymentTerm(term, 99));
    dbfRecord.SetBoolean(
        FFields[kDetal],
        textRecord.GetIntegerAt(Column<kKontrahentLines>("TYPKONTRAH")) == 2);
    dbfRecord.SetInteger(FFields[kGrpProm], 0);
  } else {
    dbfRecord.SetInteger(FFields[kTermPlat], PaymentTerm(term, 9999));
    dbfRecord.SetInteger(FFields[kGrupaCen], 0);
    dbfRecord.SetString(FFields[kPocztaValue],
                        text(Column<kKontrahentLines>("POCZTA")));
    dbfRecord.SetString(FFields[kTelefonValue],
                        text(Column<kKontrahentLines>("TELEFON")));
    dbfRecord.SetString(FFields[kEmailValue],
                        text(Column<kKontrahentLines>("EMAIL")));
    dbfRecord.SetString(FFields[kUwagiValue],
                        text(Column<kKontrahentLines>("UWAGI")));
    dbfRecord.SetFloat(
        FFields[kLimitPrze],
        textRecord.GetFloatAt(Column<kKontrahentLines>("WARTKREDYTPRZET")));
  }
}

std::unique_ptr<TTransManager> TTransKontrah::NewHelper() const {
  return std::make_unique<TTransKontrah>(Timestamp(), TextName(), TableName());
}

}  // namespace bridge
