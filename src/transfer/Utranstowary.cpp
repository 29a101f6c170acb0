#include "transfer/Utranstowary.h"

#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "core/Uglobal.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "transfer/TransferTables.h"

namespace bridge {
namespace {

// The values of a "kartoteka.txt" line, in this order. The first whole
// number in parentheses of a comment is the declared length. Price block 5
// carries the comments of block 4, as the host documents it.
constexpr TDefinitionLine kKartotekaLines[] = {
    DefinitionLine(u8"ID_KARTOTEKA       :Integer;   - id kartoteki"),
    DefinitionLine(
        u8"ID_RODZAJKART      :Integer;   - id rodzaju kartoteki (1 - towar, "
        u8"2 - opakowanie)"),
    DefinitionLine(u8"INDEKS             :String;    - indeks (25)"),
    DefinitionLine(u8"NAZWASKR           :String;    - identyfikator (35)"),
    DefinitionLine(
        u8"NAZWADL            :String;    - nazwa pełna (360  memo - zawiera "
        u8"^)"),
    DefinitionLine(
        u8"STAWKAVAT          :String;    - stawka vat w formacie 22%, 7%, np"),
    DefinitionLine(u8"JM                 :String;    - jednostka miary (5)"),
    DefinitionLine(u8"SWW                :String;    - kod sww (15)"),
    DefinitionLine(u8"PKWIU              :String;    - kod pkwiu (15)"),
    DefinitionLine(
        u8"STAN               :Currency;  - stan aktualny z magazynu (jeżeli "
        u8"określono magazyn w definicji urządzenia) lub z wszystkich "
        u8"magazynów"),
    DefinitionLine(u8"CSP1_CENAN         :Currency;  - 1 cenna netto"),
    DefinitionLine(u8"CSP1_CENAB         :Currency;  - 1 cenna brutto"),
    DefinitionLine(
        u8"CSP1_ODNETTO       :Boolean;   - czy 1 cenna jest od netto"),
    DefinitionLine(
        u8"CSP1_ZAOKR         :Integer;   - zaokrąglenie 1 ceny (ilość miejsc "
        u8"po przecinku 2 = 0.01)"),
    DefinitionLine(u8"CSP1_NARZUT        :Currency;  - narzut dla 1 ceny"),
    DefinitionLine(u8"CSP1_MARZA         :Currency;  - marża dla 1 ceny"),
    DefinitionLine(u8"CSP2_CENAN         :Currency;  - 2 cenna netto"),
    DefinitionLine(u8"CSP2_CENAB         :Currency;  - 2 cenna brutto"),
    DefinitionLine(
        u8"CSP2_ODNETTO       :Boolean;   - czy 2 cenna jest od netto"),
    DefinitionLine(
        u8"CSP2_ZAOKR         :Integer;   - zaokrąglenie 2 ceny (ilość miejsc "
        u8"po przecinku 2 = 0.01)"),
    DefinitionLine(u8"CSP2_NARZUT        :Currency;  - narzut dla 2 ceny"),
    DefinitionLine(u8"CSP2_MARZA         :Currency;  - marża dla 2 ceny"),
    DefinitionLine(u8"OPAK_ID_KARTOTEKA  :Integer;   - id kartoteki opakowania "
                   u8"domyślnego"),
    DefinitionLine(
        u8"OPAK_INDEKS        :String;    - indeks (25) kartoteki opakowania "
        u8"domyślnego"),
    DefinitionLine(
        u8"OPAK_ILOSCWOPAK    :Currency;  - ilość w opakowaniu domyślnym"),
    DefinitionLine(
        u8"CECHA              :String;    - wartość wybranej cechy (35)"),
    DefinitionLine(u8"CSP3_CENAN         :Currency;  - 3 cenna netto"),
    DefinitionLine(u8"CSP3_CENAB         :Currency;  - 3 cenna brutto"),
    DefinitionLine(
        u8"CSP3_ODNETTO       :Boolean;   - czy 3 cenna jest od netto"),
    DefinitionLine(
        u8"CSP3_ZAOKR         :Integer;   - zaokrąglenie 3 ceny (ilość miejsc "
        u8"po przecinku 2 = 0.01)"),
    DefinitionLine(u8"CSP3_NARZUT        :Currency;  - narzut dla 3 ceny"),
    DefinitionLine(u8"CSP3_MARZA         :Currency;  - marża dla 3 ceny"),
    DefinitionLine(u8"CSP4_CENAN         :Currency;  - 4 cenna netto"),
    DefinitionLine(u8"CSP4_CENAB         :Currency;  - 4 cenna brutto"),
    DefinitionLine(
        u8"CSP4_ODNETTO       :Boolean;   - czy 4 cenna jest od netto"),
    DefinitionLine(
        u8"CSP4_ZAOKR         :Integer;   - zaokrąglenie 4 ceny (ilość miejsc "
        u8"po przecinku 2 = 0.01)"),
    DefinitionLine(u8"CSP4_NARZUT        :Currency;  - narzut dla 4 ceny"),
    DefinitionLine(u8"CSP4_MARZA         :Currency;  - marża dla 4 ceny "),
    DefinitionLine(u8"CSP5_CENAN         :Currency;  - 4 cenna netto"),
    DefinitionLine(u8"CSP5_CENAB         :Currency;  - 4 cenna brutto"),
    DefinitionLine(
        u8"CSP5_ODNETTO       :Boolean;   - czy 4 cenna jest od netto"),
    DefinitionLine(
        u8"CSP5_ZAOKR         :Integer;   - zaokrąglenie 4 ceny (ilość miejsc "
        u8"po przecinku 2 = 0.01)"),
    DefinitionLine(u8"CSP5_NARZUT        :Currency;  - narzut dla 4 ceny"),
    DefinitionLine(u8"CSP5_MARZA         :Currency;  - marża dla 4 ceny"),
    DefinitionLine(u8"ID_GRUPAKART1      :Integer;   - identyfikator grupy 1 - "
                   u8"powiązanie relacją z 'grkart1.txt'"),
    DefinitionLine(u8"ID_GRUPAKART2      :Integer;   - identyfikator grupy 2 - "
                   u8"powiązanie relacją z 'grkart2.txt'"),
    DefinitionLine(
        u8"STAN_MIN           :Currency;  - stan minimalny z wybranego "
        u8"magazynu (0 - jeśli nie wybrano magazynu)"),
    DefinitionLine(
        u8"STAN_MAX           :Currency;  - stan maksymalny z wybranego "
        u8"magazynu (0 - jeśli nie wybrano magazynu)"),
    DefinitionLine(u8"EAN                :String;    - (20)"),
    DefinitionLine(u8"OST_CENAZAK        :Currency;"),
    DefinitionLine(
        u8"GRUPAKART1_KODZL   :String;    - (50) - kod złożony grupy 1"),
    DefinitionLine(
        u8"GRUPAKART2_KODZL   :String;    - (50) - kod złożony grupy 2"),
    DefinitionLine(
        u8"STANDOPOTW         :Currency;  - stan do rozdysponowania"),
    DefinitionLine(u8"UWAGI              :String;    - uwagi kartoteki"),
};

constexpr std::array<std::int32_t, 5> kCenaN = {
    Column<kKartotekaLines>("CSP1_CENAN"),
    Column<kKartotekaLines>("CSP2_CENAN"),
    Column<kKartotekaLines>("CSP3_CENAN"),
    Column<kKartotekaLines>("CSP4_CENAN"),
    Column<kKartotekaLines>("CSP5_CENAN")};

// What a towar.dbf field carries. The two layouts name and size the fields
// differently, and each writes only some of them.
enum TValue : std::uint8_t {
  kIndex,
  kName,
  kShortName,
  kVatGroup,
  kUnit,
  kPackQuantity,
  kPrice1,
  kPrice2,
  kPrice3,
  kPrice4,
  kPrice5,
  kMinimalPrice,
  kClassification,
  kAssortment,
  kProducer,
  kStock,
  kStockMinimum,
  kStockLevel,
  kPromotionCycle,
  kStockChanges,
  kMargin,
  kStatus,
  kPriceGroup,
  kRemarks,
  kPurchasePrice,
  kStockMaximum,
  kBarcode,
  kNotWritten,
};

// towar.dbf: the pack quantity and the prices stand in the middle of both
// layouts, between fields that the layouts name and size apart.
constexpr TDeviceField<TValue> kTowarStart170[] = {
    {"id_tow", 'C', 15, 0, kIndex},    {"nazwa", 'C', 40, 0, kName},
    {"skrot", 'C', 25, 0, kShortName}, {"vat_grupa", 'N', 2, 0, kVatGroup},
    {"jm", 'C', 4, 0, kUnit},
};
constexpr TDeviceField<TValue> kTowarStart180[] = {
    {"id_towar", 'C', 25, 0, kIndex},  {"nazwa", 'C', 60, 0, kName},
    {"skrot", 'C', 35, 0, kShortName}, {"vat", 'N', 2, 0, kVatGroup},
    {"jm", 'C', 5, 0, kUnit},
};
constexpr TDeviceField<TValue> kPriceFields[] = {
    {"szt_op", 'N', 10, 3, kPackQuantity},  {"cena_1", 'N', 8, 2, kPrice1},
    {"cena_2", 'N', 8, 2, kPrice2},         {"cena_3", 'N', 8, 2, kPrice3},
    {"cena_4", 'N', 8, 2, kPrice4},         {"cena_5", 'N', 8, 2, kPrice5},
    {"cena_min", 'N', 8, 2, kMinimalPrice},
};
constexpr TDeviceField<TValue> kTowarEnd170[] = {
    {"zm_ceny", 'D', 8, 0, kNotWritten},
    {"pkwiu", 'C', 15, 0, kClassification},
    {"grupa_a", 'N', 3, 0, kAssortment},
    {"grupa_p", 'N', 3, 0, kProducer},
    {"stan", 'N', 10, 3, kStock},
    {"stan_min", 'N', 10, 3, kStockMinimum},
    {"stan_grupa", 'N', 1, 0, kStockLevel},
    {"prom_grupa", 'N', 3, 0, kNotWritten},
    {"prom_rabat", 'N', 5, 2, kNotWritten},
    {"prom_min", 'N', 4, 0, kNotWritten},
    {"prom_cykl", 'L', 1, 0, kPromotionCycle},
    {"zmien_stan", 'L', 1, 0, kStockChanges},
    {"proc_marz", 'N', 6, 2, kMargin},
    {"status", 'C', 1, 0, kStatus},
};
constexpr TDeviceField<TValue> kTowarEnd180[] = {
    {"pkwiu", 'C', 15, 0, kClassification},
    {"id_asort", 'N', 3, 0, kAssortment},
    {"id_prod", 'N', 3, 0, kProducer},
    {"stan", 'N', 10, 3, kStock},
    {"stan_min", 'N', 10, 3, kStockMinimum},
    {"stan_log", 'N', 1, 0, kStockLevel},
    {"proc_marz", 'N', 6, 2, kMargin},
    {"status", 'C', 1, 0, kStatus},
    {"grupa_cen", 'N', 3, 0, kPriceGroup},
    {"cecha1", 'C', 35, 0, kNotWritten},
    {"cecha2", 'C', 35, 0, kNotWritten},
    {"uwagi", 'C', 254, 0, kRemarks},
    {"cena_zak", 'N', 8, 2, kPurchasePrice},
    {"stan_max", 'N', 10, 3, kStockMaximum},
    {"ean", 'C', 13, 0, kBarcode},
    {"bez_prom", 'L', 1, 0, kNotWritten},
};

// towar.dbf of either layout, in declaration order.
constexpr auto kTowar170 = Joined(kTowarStart170, kPriceFields, kTowarEnd170);
constexpr auto kTowar180 = Joined(kTowarStart180, kPriceFields, kTowarEnd180);

constexpr std::array<TValue, 5> kPrices = {kPrice1, kPrice2, kPrice3, kPrice4,
                                           kPrice5};

// The longest index sent. In the newer layout the host's 26 characters are
// allowed although the key field holds 25, so the 26th is cut by the table;
// devices in the field rely on exactly this set of goods.
constexpr std::size_t kMaxIndex170 = 15;
constexpr std::size_t kMaxIndex180 = 26;

// The top-level group that a compound group code such as "12-3-7" starts
// with; 0 for an empty code or one that does not start with a number.
std::int32_t GroupNumber(std::string_view compoundCode) {
  const std::string code = Trim(compoundCode);
  if (code.empty()) return 0;
  return StrToIntOrZero(BeforeDash(code));
}

// SameAt3Decimals of two values that Round3 gave. Each is the double nearest
// to a decimal of at most three places; below 1e11 that decimal has at most
// 14 significant digits and survives the round trip, so the two give the
// same text exactly when they are equal. Larger values take the long way.
bool SameRounded3(double a, double b) {
  constexpr double kExact = 1e11;
  if (std::fabs(a) < kExact && std::fabs(b) < kExact) return a == b;
  return SameAt3Decimals(a, b);
}

// 0 without a stock range or without stock, 1 at or below the minimum, 2 at
// or below the maximum, 3 above it.
std::int32_t StockLevel(double stock, double minimum, double maximum) {
  if (SameRounded3(minimum, 0) && SameRounded3(maximum, 0)) return 0;
  if (SameRounded3(stock, 0)) return 0;
  if (stock < minimum || SameRounded3(stock, minimum)) return 1;
  if (stock < maximum || SameRounded3(stock, maximum)) return 2;
  return 3;
}

}  // namespace

TTransTowary::TTransTowary(TDateTime timestamp, std::string_view textName,
                           std::string_view tableName)
    : TTransManager(timestamp, textName, tableName) {
  const std::string mode = Trim(ConfigFile().GetValue("GRUPA_CEN_JAKO"));
  if (mode == "1") {
    FPriceGroupMode = kPriceGroupFromList1;
  } else if (mode == "2") {
    FPriceGroupMode = kPriceGroupFromList2;
  }
}

void TTransTowary::TextToDbf(TZendorProRecord& textRecord,
                             TDBFRecord& dbfRecord) {
  dbfRecord.SetString(FFields[kIndex], textRecord.GetStringAt(
                                           Column<kKartotekaLines>("INDEKS")));
  dbfRecord.SetString(
      FFields[kName],
      CaretPart(textRecord.GetStringViewAt(Column<kKartotekaLines>("NAZWADL")),
                1));
  const std::string ean =
      textRecord.GetStringAt(Column<kKartotekaLines>("EAN"));
  if (FEanAsShortName && !ean.empty()) {
    dbfRecord.SetString(FFields[kShortName], ean);
  } else {
    dbfRecord.SetString(
        FFields[kShortName],
        textRecord.GetStringAt(Column<kKartotekaLines>("NAZWASKR")));
  }
  dbfRecord.SetInteger(
      FFields[kVatGroup],
      VatCode(textRecord.GetStringAt(Column<kKartotekaLines>("STAWKAVAT"))));
  dbfRecord.SetString(FFields[kUnit],
                      textRecord.GetStringAt(Column<kKartotekaLines>("JM")));
  dbfRecord.SetFloat(FFields[kPackQuantity],
                     Round3(textRecord.GetFloatAt(
                         Column<kKartotekaLines>("OPAK_ILOSCWOPAK"))));

  std::array<double, kPrices.size()> prices{};
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = Round2(textRecord.GetFloatAt(kCenaN[i]));
    dbfRecord.SetFloat(FFields[kPrices[i]], prices[i]);
  }
  const double lastPurchasePrice =
      Round2(textRecord.GetFloatAt(Column<kKartotekaLines>("OST_CENAZAK")));
  double minimalPrice = 0;
  if (FMinPriceSource >= '1' && FMinPriceSource <= '5') {
    minimalPrice = prices[static_cast<std::size_t>(FMinPriceSource - '1')];
  } else if (FMinPriceSource == 'Z') {
    minimalPrice = lastPurchasePrice;
  }
  dbfRecord.SetFloat(FFields[kMinimalPrice], minimalPrice);

  dbfRecord.SetString(FFields[kClassification],
                      textRecord.GetStringAt(Column<kKartotekaLines>("PKWIU")));
  dbfRecord.SetInteger(FFields[kAssortment],
                       GroupNumber(textRecord.GetStringAt(
                           Column<kKartotekaLines>("GRUPAKART1_KODZL"))));
  dbfRecord.SetInteger(FFields[kProducer],
                       GroupNumber(textRecord.GetStringAt(
                           Column<kKartotekaLines>("GRUPAKART2_KODZL"))));

  const double stock =
      Round3(textRecord.GetFloatAt(Column<kKartotekaLines>("STAN")));
  const double minimum =
      Round3(textRecord.GetFloatAt(Column<kKartotekaLines>("STAN_MIN")));
  // The old layout has no field for the maximum, but its stock level still
  // depends on it.
  const double maximum =
      Round3(textRecord.GetFloatAt(Column<kKartotekaLines>("STAN_MAX")));
  dbfRecord.SetFloat(FFields[kStock], stock);
  dbfRecord.SetFloat(FFields[kStockMinimum], minimum);
  dbfRecord.SetInteger(FFields[kStockLevel],
                       StockLevel(stock, minimum, maximum));
  dbfRecord.SetFloat(
      FFields[kMargin],
      Round2(textRecord.GetFloatAt(Column<kKartotekaLines>("CSP1_MARZA"))));
  const std::string feature =
      textRecord.GetStringAt(Column<kKartotekaLines>("CECHA"));
  dbfRecord.SetString(FFields[kStatus], std::string_view(feature).substr(0, 1));

  if (!NewLayout()) {
    dbfRecord.SetBoolean(FFields[kPromotionCycle], false);
    dbfRecord.SetBoolean(FFields[kStockChanges], true);
    return;
  }
  dbfRecord.SetFloat(FFields[kStockMaximum], maximum);
  dbfRecord.SetFloat(FFields[kPurchasePrice], lastPurchasePrice);
  dbfRecord.SetString(FFields[kBarcode], ean);
  dbfRecord.SetString(FFields[kRemarks],
                      textRecord.GetStringAt(Column<kKartotekaLines>("UWAGI")));
  if (FPriceGroupMode == kPriceGroupFromList1) {
    dbfRecord.SetInteger(
        FFields[kPriceGroup],
        textRecord.GetIntegerAt(Column<kKartotekaLines>("ID_GRUPAKART1")));
  } else if (FPriceGroupMode == kPriceGroupFromList2) {
    dbfRecord.SetInteger(
        FFields[kPriceGroup],
        textRecord.GetIntegerAt(Column<kKartotekaLines>("ID_GRUPAKART2")));
  }
}

void TTransTowary::DbfToText(TZendorProRecord& /*textRecord*/,
                             TDBFRecord& /*dbfRecord*/) {}

void TTransTowary::DefineDbfFields(TDBF& table) {
  FFields.Declare(table, LayoutFields(NewLayout(), kTowar170, kTowar180));
}

void TTransTowary::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DefinitionList(kKartotekaLines));
}

bool TTransTowary::SkipTextRecord(TZendorProRecord& textRecord) {
  if (textRecord.GetIntegerAt(Column<kKartotekaLines>("ID_RODZAJKART")) != 1)
    return true;
  const std::size_t maxIndex = NewLayout() ? kMaxIndex180 : kMaxIndex170;
  return textRecord.GetStringAt(Column<kKartotekaLines>("INDEKS")).size() >
         maxIndex;
}

// Nothing that these settings come from changes while a run converts its
// records, so each is read once per run.
void TTransTowary::BeforeRun() {
  FCurrentYear = DecodeDateTime(platform::System().Now()).Year;
  const std::string minPrice =
      Trim(UpperCase(ConfigFile().GetValue("CENA_MIN")));
  FMinPriceSource = minPrice.empty() ? '0' : minPrice.front();
  FEanAsShortName = IsYes(Trim(ConfigFile().GetValue("EAN_SKROT")));
}

int TTransTowary::VatCode(std::string_view rate) const {
  const std::string code = UpperCase(Trim(rate));
  if (code == "7%" || code == "8%") return 1;
  if (code == "0%") return 2;
  if (code == "ZW") return 3;
  if (code == "3%") return 4;
  if (code == "17,5%" || code == "20%") return 6;
  // Since the rates changed in 2011 the device's group 4, which held 3%,
  // holds 5%.
  if (code == "5%") return FCurrentYear <= 2010 ? 5 : 4;
  return 0;
}

std::unique_ptr<TTransManager> TTransTowary::NewHelper() const {
  return std::make_unique<TTransTowary>(Timestamp(), TextName(), TableName());
}

}  // namespace bridge
