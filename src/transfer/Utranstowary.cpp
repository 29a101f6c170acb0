#include "transfer/Utranstowary.h"

#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

#include "app/Uglobal.h"
#include "app/Uprogramparams.h"
#include "config/uKonfig.h"
#include "dbf/uDBF_messages.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
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

struct TFieldDecl {
  std::string_view Name;
  char Type;
  int Length;
  int Decimals;
};

// "towar.dbf" of layout "1.7.0", in declaration order.
constexpr TFieldDecl kTowar170[] = {
    {"id_tow", 'C', 15, 0},    {"nazwa", 'C', 40, 0},
    {"skrot", 'C', 25, 0},     {"vat_grupa", 'N', 2, 0},
    {"jm", 'C', 4, 0},         {"szt_op", 'N', 10, 3},
    {"cena_1", 'N', 8, 2},     {"cena_2", 'N', 8, 2},
    {"cena_3", 'N', 8, 2},     {"cena_4", 'N', 8, 2},
    {"cena_5", 'N', 8, 2},     {"cena_min", 'N', 8, 2},
    {"zm_ceny", 'D', 8, 0},    {"pkwiu", 'C', 15, 0},
    {"grupa_a", 'N', 3, 0},    {"grupa_p", 'N', 3, 0},
    {"stan", 'N', 10, 3},      {"stan_min", 'N', 10, 3},
    {"stan_grupa", 'N', 1, 0}, {"prom_grupa", 'N', 3, 0},
    {"prom_rabat", 'N', 5, 2}, {"prom_min", 'N', 4, 0},
    {"prom_cykl", 'L', 1, 0},  {"zmien_stan", 'L', 1, 0},
    {"proc_marz", 'N', 6, 2},  {"status", 'C', 1, 0},
};

// "towar.dbf" of layout "1.8.0", in declaration order.
constexpr TFieldDecl kTowar180[] = {
    {"id_towar", 'C', 25, 0}, {"nazwa", 'C', 60, 0},
    {"skrot", 'C', 35, 0},    {"vat", 'N', 2, 0},
    {"jm", 'C', 5, 0},        {"szt_op", 'N', 10, 3},
    {"cena_1", 'N', 8, 2},    {"cena_2", 'N', 8, 2},
    {"cena_3", 'N', 8, 2},    {"cena_4", 'N', 8, 2},
    {"cena_5", 'N', 8, 2},    {"cena_min", 'N', 8, 2},
    {"pkwiu", 'C', 15, 0},    {"id_asort", 'N', 3, 0},
    {"id_prod", 'N', 3, 0},   {"stan", 'N', 10, 3},
    {"stan_min", 'N', 10, 3}, {"stan_log", 'N', 1, 0},
    {"proc_marz", 'N', 6, 2}, {"status", 'C', 1, 0},
    {"grupa_cen", 'N', 3, 0}, {"cecha1", 'C', 35, 0},
    {"cecha2", 'C', 35, 0},   {"uwagi", 'C', 254, 0},
    {"cena_zak", 'N', 8, 2},  {"stan_max", 'N', 10, 3},
    {"ean", 'C', 13, 0},      {"bez_prom", 'L', 1, 0},
};

// The longest index sent. In the newer layout the host's 26 characters are
// allowed although the key field holds 25, so the 26th is cut by the table;
// devices in the field rely on exactly this set of goods.
constexpr std::size_t kMaxIndex170 = 15;
constexpr std::size_t kMaxIndex180 = 26;

const TDBFFieldDef* FieldOf(const TDBF& table, std::string_view name) {
  const TDBFFieldDef* field = table.FindField(name);
  if (field == nullptr) {
    throw EBridgeError(std::string(dbf_messages::kFieldNotFound.view()) +
                       std::string(name));
  }
  return field;
}

// The top-level group that a compound group code such as "12-3-7" starts
// with; 0 for an empty code or one that does not start with a number.
std::int32_t GroupNumber(std::string_view compoundCode) {
  const std::string code = Trim(compoundCode);
  if (code.empty()) return 0;
  return StrToIntOrZero(BeforeDash(code));
}

// Rounding goes through formatted text, which a run of a million records
// cannot afford for every value, so the values that need no work skip it:
// zero rounds to zero at any number of decimals.
double Rounded2(double x) { return x == 0 ? 0.0 : Round2(x); }
double Rounded3(double x) { return x == 0 ? 0.0 : Round3(x); }

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
    FPriceGroupMode = 1;
  } else if (mode == "2") {
    FPriceGroupMode = 2;
  }
}

void TTransTowary::TextToDbf(TZendorProRecord& textRecord,
                             TDBFRecord& dbfRecord) {
  const THostFields& in = FHost;
  const TTableFields& out = FFields;

  dbfRecord.SetString(*out.IdTowar, textRecord.GetStringAt(in.Indeks));
  dbfRecord.SetString(*out.Nazwa,
                      CaretPart(textRecord.GetStringAt(in.NazwaDl), 1));
  const std::string ean = textRecord.GetStringAt(in.Ean);
  if (FEanAsShortName && !ean.empty()) {
    dbfRecord.SetString(*out.Skrot, ean);
  } else {
    dbfRecord.SetString(*out.Skrot, textRecord.GetStringAt(in.NazwaSkr));
  }
  dbfRecord.SetInteger(*out.Vat, VatCode(textRecord.GetStringAt(in.StawkaVat)));
  dbfRecord.SetString(*out.Jm, textRecord.GetStringAt(in.Jm));
  dbfRecord.SetFloat(*out.SztOp,
                     Rounded3(textRecord.GetFloatAt(in.OpakIloscWOpak)));

  std::array<double, kPriceCount> prices{};
  for (std::size_t i = 0; i < prices.size(); ++i) {
    prices[i] = Rounded2(textRecord.GetFloatAt(in.CenaN[i]));
    dbfRecord.SetFloat(*out.Cena[i], prices[i]);
  }
  const double lastPurchasePrice =
      Rounded2(textRecord.GetFloatAt(in.OstCenaZak));
  double minimalPrice = 0;
  if (FMinPriceSource >= '1' && FMinPriceSource <= '5') {
    minimalPrice = prices[static_cast<std::size_t>(FMinPriceSource - '1')];
  } else if (FMinPriceSource == 'Z') {
    minimalPrice = lastPurchasePrice;
  }
  dbfRecord.SetFloat(*out.CenaMin, minimalPrice);

  dbfRecord.SetString(*out.Pkwiu, textRecord.GetStringAt(in.Pkwiu));
  dbfRecord.SetInteger(*out.Asort,
                       GroupNumber(textRecord.GetStringAt(in.GrupaKart1KodZl)));
  dbfRecord.SetInteger(*out.Prod,
                       GroupNumber(textRecord.GetStringAt(in.GrupaKart2KodZl)));

  const double stock = Rounded3(textRecord.GetFloatAt(in.Stan));
  const double minimum = Rounded3(textRecord.GetFloatAt(in.StanMin));
  // The old layout has no field for the maximum, but its stock level still
  // depends on it.
  const double maximum = Rounded3(textRecord.GetFloatAt(in.StanMax));
  dbfRecord.SetFloat(*out.Stan, stock);
  dbfRecord.SetFloat(*out.StanMin, minimum);
  dbfRecord.SetInteger(*out.StanLevel, StockLevel(stock, minimum, maximum));
  dbfRecord.SetFloat(*out.ProcMarz,
                     Rounded2(textRecord.GetFloatAt(in.Csp1Marza)));
  const std::string feature = textRecord.GetStringAt(in.Cecha);
  dbfRecord.SetString(*out.Status, std::string_view(feature).substr(0, 1));

  if (!NewLayout()) {
    dbfRecord.SetBoolean(*out.PromCykl, false);
    dbfRecord.SetBoolean(*out.ZmienStan, true);
    return;
  }
  dbfRecord.SetFloat(*out.StanMax, maximum);
  dbfRecord.SetFloat(*out.CenaZak, lastPurchasePrice);
  dbfRecord.SetString(*out.Ean, ean);
  dbfRecord.SetString(*out.Uwagi, textRecord.GetStringAt(in.Uwagi));
  if (FPriceGroupMode == 1) {
    dbfRecord.SetInteger(*out.GrupaCen,
                         textRecord.GetIntegerAt(in.IdGrupaKart1));
  } else if (FPriceGroupMode == 2) {
    dbfRecord.SetInteger(*out.GrupaCen,
                         textRecord.GetIntegerAt(in.IdGrupaKart2));
  }
}

void TTransTowary::DbfToText(TZendorProRecord& /*textRecord*/,
                             TDBFRecord& /*dbfRecord*/) {}

void TTransTowary::DefineDbfFields(TDBF& table) {
  const bool newLayout = NewLayout();
  if (newLayout) {
    for (const TFieldDecl& field : kTowar180) {
      table.AddField(field.Name, field.Type, field.Length, field.Decimals);
    }
  } else {
    for (const TFieldDecl& field : kTowar170) {
      table.AddField(field.Name, field.Type, field.Length, field.Decimals);
    }
  }

  TTableFields& f = FFields;
  f = TTableFields{};
  f.IdTowar = FieldOf(table, newLayout ? "ID_TOWAR" : "ID_TOW");
  f.Nazwa = FieldOf(table, "NAZWA");
  f.Skrot = FieldOf(table, "SKROT");
  f.Vat = FieldOf(table, newLayout ? "VAT" : "VAT_GRUPA");
  f.Jm = FieldOf(table, "JM");
  f.SztOp = FieldOf(table, "SZT_OP");
  constexpr std::array<std::string_view, kPriceCount> kPriceNames = {
      "CENA_1", "CENA_2", "CENA_3", "CENA_4", "CENA_5"};
  for (std::size_t i = 0; i < kPriceNames.size(); ++i) {
    f.Cena[i] = FieldOf(table, kPriceNames[i]);
  }
  f.CenaMin = FieldOf(table, "CENA_MIN");
  f.Pkwiu = FieldOf(table, "PKWIU");
  f.Asort = FieldOf(table, newLayout ? "ID_ASORT" : "GRUPA_A");
  f.Prod = FieldOf(table, newLayout ? "ID_PROD" : "GRUPA_P");
  f.Stan = FieldOf(table, "STAN");
  f.StanMin = FieldOf(table, "STAN_MIN");
  f.StanLevel = FieldOf(table, newLayout ? "STAN_LOG" : "STAN_GRUPA");
  f.ProcMarz = FieldOf(table, "PROC_MARZ");
  f.Status = FieldOf(table, "STATUS");
  if (newLayout) {
    f.GrupaCen = FieldOf(table, "GRUPA_CEN");
    f.Uwagi = FieldOf(table, "UWAGI");
    f.CenaZak = FieldOf(table, "CENA_ZAK");
    f.StanMax = FieldOf(table, "STAN_MAX");
    f.Ean = FieldOf(table, "EAN");
  } else {
    f.PromCykl = FieldOf(table, "PROM_CYKL");
    f.ZmienStan = FieldOf(table, "ZMIEN_STAN");
  }
}

void TTransTowary::DefineTextFields(TZendorProFile& textFile) {
  const std::vector<std::string> lines = DefinitionList(kKartotekaLines);
  TTextFileDef& definition = textFile.Definition();
  definition.LoadDefinitions(lines);

  THostFields& h = FHost;
  h.IdRodzajKart = definition.IndexOf("ID_RODZAJKART");
  h.Indeks = definition.IndexOf("INDEKS");
  h.NazwaSkr = definition.IndexOf("NAZWASKR");
  h.NazwaDl = definition.IndexOf("NAZWADL");
  h.StawkaVat = definition.IndexOf("STAWKAVAT");
  h.Jm = definition.IndexOf("JM");
  h.Pkwiu = definition.IndexOf("PKWIU");
  h.Stan = definition.IndexOf("STAN");
  constexpr std::array<std::string_view, kPriceCount> kPriceNames = {
      "CSP1_CENAN", "CSP2_CENAN", "CSP3_CENAN", "CSP4_CENAN", "CSP5_CENAN"};
  for (std::size_t i = 0; i < kPriceNames.size(); ++i) {
    h.CenaN[i] = definition.IndexOf(kPriceNames[i]);
  }
  h.Csp1Marza = definition.IndexOf("CSP1_MARZA");
  h.OpakIloscWOpak = definition.IndexOf("OPAK_ILOSCWOPAK");
  h.Cecha = definition.IndexOf("CECHA");
  h.IdGrupaKart1 = definition.IndexOf("ID_GRUPAKART1");
  h.IdGrupaKart2 = definition.IndexOf("ID_GRUPAKART2");
  h.StanMin = definition.IndexOf("STAN_MIN");
  h.StanMax = definition.IndexOf("STAN_MAX");
  h.Ean = definition.IndexOf("EAN");
  h.OstCenaZak = definition.IndexOf("OST_CENAZAK");
  h.GrupaKart1KodZl = definition.IndexOf("GRUPAKART1_KODZL");
  h.GrupaKart2KodZl = definition.IndexOf("GRUPAKART2_KODZL");
  h.Uwagi = definition.IndexOf("UWAGI");
}

bool TTransTowary::SkipTextRecord(TZendorProRecord& textRecord) {
  if (textRecord.GetIntegerAt(FHost.IdRodzajKart) != 1) return true;
  const std::size_t maxIndex = NewLayout() ? kMaxIndex180 : kMaxIndex170;
  return textRecord.GetStringAt(FHost.Indeks).size() > maxIndex;
}

// Nothing that these settings come from changes while a run converts its
// records, so each is read once per run.
void TTransTowary::BeforeRun() {
  FLayout = GetLayoutIndex();
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

}  // namespace bridge
