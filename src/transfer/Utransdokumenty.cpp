#include "transfer/Utransdokumenty.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/Uglobal.h"
#include "platform/Cp1250.h"
#include "platform/Text.h"
#include "transfer/TransferTables.h"

namespace bridge {
namespace {

// "dok.txt", one definition per line in the order of the values. Each reads
// name ":" type ";" TAB "- " comment, except ANULOWANY (TAB and blank before
// the colon), IDKONTRAHDOST (two TABs) and the last three (a blank for the
// TAB). The parser passes the spacing over; the comments are the host's own
// descriptions of the fields, spelling included.
constexpr TDefinitionLine kDocHeadLines[] = {
    DefinitionLine(
        u8"IDKONTRAH:String;\t- identyfikator kontrahenta (numer) (15)"),
    DefinitionLine(u8"DATA:TDateTime;\t- Data dokumentu"),
    DefinitionLine(u8"NAZWADOK:String;\t- nazwa dokumentu (10)  opis "
                   u8"dozwolonych wartośći w pkt 7."),
    DefinitionLine(u8"NRDOK:String;\t- numer dokumentu (25)"),
    DefinitionLine(u8"TERMIN:TDateTime;\t- termin płatności"),
    DefinitionLine(u8"PLATNOSC:String;\t- sposób płatności (35)"),
    DefinitionLine(u8"SUMA:Currency;\t- Wartość brutto dokumentu - liczone "
                   u8"zgodnie z definicją dokumentu"),
    DefinitionLine(u8"ILEPOZ:Integer;\t- ilość pozycji"),
    DefinitionLine(
        u8"GOTOWKA:Currency;\t- zapłata gotówkowa przyjęta na dokumencie"),
    DefinitionLine(
        u8"DOT_DATA:TDateTime;\t- data dokumentu powiązanego (np KP do FA)"),
    DefinitionLine(u8"DOT_NAZWADOK:String;\t- nazwa dokumentu powiązanego (10) "
                   u8"(np KP do FA)"),
    DefinitionLine(u8"DOT_NRDOK:String;\t- numer dokumentu powiązanego (25) "
                   u8"(np KP do FA)"),
    DefinitionLine(u8"ANULOWANY\t :Boolean;\t- czy dokument został anulowany"),
    DefinitionLine(u8"UWAGI:String;\t- (Memo) Uwagi do dokumentu"),
    DefinitionLine(u8"NRZLEC:String;\t- numer zlecenia (20)"),
    DefinitionLine(u8"CECHA_1:String;\t- Cecha 1 (35)"),
    DefinitionLine(u8"CECHA_2:String;\t- Cecha 2 (35)"),
    DefinitionLine(u8"CECHA_3:String;\t- Cecha 3 (35)"),
    DefinitionLine(u8"IDKONTRAHODB:String;\t- identyfikator kontrahenta "
                   u8"odbierającego dokument (numer) (15)"),
    DefinitionLine(u8"DATAOBOW:TDateTime;\t- data obowiązywania zamówienia"),
    DefinitionLine(u8"CECHA_4:String;\t- Cecha 4 (35)"),
    DefinitionLine(u8"CECHA_5:String;\t- Cecha 5 (35)"),
    DefinitionLine(
        u8"IDKONTRAHDOST:String;\t\t- numer kontrahenta - dostawcy (15)"),
    DefinitionLine(u8"MAGAZYN:String; - numer magazynu(10)"),
    DefinitionLine(u8"WYDRUKOWANY:Boolean; - czy dokument był drukowany na "
                   u8"zwykłej drukarce"),
    DefinitionLine(
        u8"ZAFISKALIZOWANY:Boolean; - czy dokument został sfiskalizowany, jak "
        u8"dokument nie jest fiskalny to parametr nie jest brany pod uwagę"),
};

// "poz.txt", in the same form throughout.
constexpr TDefinitionLine kDocPosLines[] = {
    DefinitionLine(u8"NAZWADOK:String;\t- nazwa dokumentu (10)"),
    DefinitionLine(u8"NRDOK:String;\t- numer dokumentu (25)"),
    DefinitionLine(u8"KODTOW:String;\t- indeks dokumentu (25)"),
    DefinitionLine(u8"ILOSC:Currency;\t- ilość"),
    DefinitionLine(u8"CENA:Currency;\t- cena netto"),
    DefinitionLine(u8"PROCBONIF:Currency;\t- bonifikata\t- liczone zgodnie z "
                   u8"definicją dokumentu"),
    DefinitionLine(u8"CENA_UZG:Boolean;\t- czy cena jest uzgodniona"),
    DefinitionLine(
        u8"CENA_BRUTTO:Boolean;\t- czy cena jest od brutto (domyślnie FALSE)"),
    DefinitionLine(u8"UWAGI:String;\t- (Memo) Uwagi do dokumentu"),
    DefinitionLine(u8"CECHA_1:String;\t- Cecha 1 (35)"),
    DefinitionLine(u8"CECHA_2:String;\t- Cecha 2 (35)"),
    DefinitionLine(u8"CECHA_3:String;\t- Cecha 3 (35)"),
};

// The payment texts of "dok.txt", by the first character of the kind.
constexpr auto kCancelled = Cp1250(u8"Anulowany");
constexpr auto kCash = Cp1250(u8"Gotówka");
constexpr auto kCompensation = Cp1250(u8"Kompensata");
constexpr auto kTransfer = Cp1250(u8"Przelew");
constexpr auto kOnTerm = Cp1250(u8"Termin");

// The date value 1: no related document carries a date of its own.
constexpr TDateTime kRelatedDocumentDate = 1.0;

// kind is trimmed and upper-cased.
std::string PaymentText(const std::string& kind) {
  if (kind.empty()) return kind;
  switch (kind.front()) {
    case 'A':
      return kCancelled;
    case 'G':
      return kCash;
    case 'K':
      return kCompensation;
    case 'M':
      return "";
    case 'P':
      return kTransfer;
    case 'T':
      return kOnTerm;
    default:
      return kind;
  }
}

// A table field that a conversion reads, found once per run. A field the
// table lacks is read by its name instead, so that the table engine raises
// its own "field not found" error, naming the field as written here, at the
// moment a conversion first needs it; a field that no record needs (such as
// RODZAJ_DOK in a table without cash-out documents) may then be absent.
class TTableField {
 public:
  explicit TTableField(std::string_view name) : FName(name) {}

  void Find(const TDBF& table) { FDef = table.FindField(FName); }

  // The text stays valid until this field is read again.
  std::string_view Text(const TDBFRecord& record) const {
    if (FDef != nullptr) return record.GetText(*FDef, FText);
    FFallback = record.GetString(FName);
    return FFallback;
  }
  std::int32_t GetInteger(const TDBFRecord& record) const {
    return FDef != nullptr ? record.GetInteger(*FDef)
                           : record.GetInteger(FName);
  }
  double GetFloat(const TDBFRecord& record) const {
    return FDef != nullptr ? record.GetFloat(*FDef) : record.GetFloat(FName);
  }
  bool GetBoolean(const TDBFRecord& record) const {
    return FDef != nullptr ? record.GetBoolean(*FDef)
                           : record.GetBoolean(FName);
  }
  TDateTime GetDate(const TDBFRecord& record) const {
    return FDef != nullptr ? record.GetDate(*FDef) : record.GetDate(FName);
  }

 private:
  std::string_view FName;
  const TDBFFieldDef* FDef = nullptr;
  mutable TDBFFieldText FText;
  mutable std::string FFallback;
};

void FindAll(const TDBF& table, std::initializer_list<TTableField*> fields) {
  for (TTableField* field : fields) field->Find(table);
}

}  // namespace

std::vector<std::string> DocHeadDefinitionLines() {
  return DefinitionList(kDocHeadLines);
}

std::vector<std::string> DocPosDefinitionLines() {
  return DefinitionList(kDocPosLines);
}

namespace {

// Trimming first gives the same as trimming the upper-cased text: case
// mapping leaves the blanks and control characters alone and makes none.
void AppendKeyPart(std::string& key, std::string_view part) {
  for (const char c : TrimView(part)) key.push_back(UpperCaseChar(c));
}

}  // namespace

std::string DocumentKey(std::string_view type, std::string_view number) {
  std::string key;
  AppendKeyPart(key, type);
  key.push_back(';');
  AppendKeyPart(key, number);
  return key;
}

// --- Headers -----------------------------------------------------------------

// The fields are named as the device's documentation spells them; the
// engine matches them in any case. TYP_DOK and typ_dok are the same field,
// kept apart so that a table without it is reported under the name that the
// failing step reads.
struct TTransDocHead::TFields {
  TTableField TypPlat{"typ_plat"};
  TTableField Anulowany{"anulowany"};
  TTableField DataWyst{"data_wyst"};
  TTableField DataDok{"data_dok"};
  TTableField DataPlat{"data_plat"};
  TTableField WartBrut{"wart_brut"};
  TTableField IdKl{"id_kl"};
  TTableField IdPlatnik{"id_platnik"};
  TTableField TypDok{"TYP_DOK"};
  TTableField RodzajDok{"RODZAJ_DOK"};
  TTableField Numer{"numer"};
  TTableField KpTypDok{"kp_typ_dok"};
  TTableField KpNumer{"kp_numer"};
  TTableField Uwagi{"uwagi"};
  TTableField DataDost{"Data_dost"};
  TTableField Cecha1{"cecha1"};
  TTableField Cecha2{"cecha2"};
  TTableField IdKlient{"id_klient"};
  TTableField IdDostawa{"ID_DOSTAWA"};
  TTableField Drukowany{"drukowany"};
  TTableField Fiskalny{"fiskalny"};
  TTableField Brutto{"Brutto"};
  TTableField GrossTypDok{"typ_dok"};

  void Find(const TDBF& table) {
    FindAll(table, {&TypPlat,  &Anulowany, &DataWyst,   &DataDok,   &DataPlat,
                    &WartBrut, &IdKl,      &IdPlatnik,  &TypDok,    &RodzajDok,
                    &Numer,    &KpTypDok,  &KpNumer,    &Uwagi,     &DataDost,
                    &Cecha1,   &Cecha2,    &IdKlient,   &IdDostawa, &Drukowany,
                    &Fiskalny, &Brutto,    &GrossTypDok});
  }
};

TTransDocHead::TTransDocHead(TDateTime timestamp, std::string_view textName,
                             std::string_view tableName)
    : TTransManager(timestamp, textName, tableName),
      FFields(std::make_unique<TFields>()) {}

TTransDocHead::~TTransDocHead() = default;

bool TTransDocHead::IsGrossDocument(std::string_view type,
                                    std::string_view number) const {
  return !FGrossIndex.empty() &&
         FGrossIndex.contains(std::string_view(DocumentKey(type, number)));
}

void TTransDocHead::AddGrossDocument(std::string_view type,
                                     std::string_view number) {
  FGrossDocuments.push_back(DocumentKey(type, number));
  FGrossIndex.insert(FGrossDocuments.back());
}

void TTransDocHead::TextToDbf(TZendorProRecord& /*textRecord*/,
                              TDBFRecord& /*dbfRecord*/) {}

void TTransDocHead::DbfToText(TZendorProRecord& textRecord,
                              TDBFRecord& dbfRecord) {
  const TFields& f = *FFields;

  const std::string kind = UpperCase(TrimView(f.TypPlat.Text(dbfRecord)));
  bool cancelled = kind == "A";
  // The newer layout keeps the flag of its own and leaves the payment kind
  // alone.
  if (NewLayout()) cancelled = f.Anulowany.GetBoolean(dbfRecord);
  const TDateTime documentDate =
      (NewLayout() ? f.DataDok : f.DataWyst).GetDate(dbfRecord);
  const TDateTime dueDate = f.DataPlat.GetDate(dbfRecord);
  const double gross = f.WartBrut.GetFloat(dbfRecord);

  textRecord.SetStringAt(Column<kDocHeadLines>("IDKONTRAH"),
                         (NewLayout() ? f.IdPlatnik : f.IdKl).Text(dbfRecord));
  textRecord.SetDateAt(Column<kDocHeadLines>("DATA"), documentDate);

  // The host books a cash-out of kind 1 under a document name of its own.
  const std::string_view type = f.TypDok.Text(dbfRecord);
  if (UpperCase(TrimView(type)) == "KW" &&
      f.RodzajDok.GetInteger(dbfRecord) == 1) {
    textRecord.SetStringAt(Column<kDocHeadLines>("NAZWADOK"), "KW_ROZ");
  } else {
    textRecord.SetStringAt(Column<kDocHeadLines>("NAZWADOK"),
                           DeviceToHostDocType(type));
  }
  // Trimming is off for the number, so it keeps the blanks stored with it.
  textRecord.SetStringAt(Column<kDocHeadLines>("NRDOK"),
                         f.Numer.Text(dbfRecord));
  textRecord.SetDateAt(Column<kDocHeadLines>("TERMIN"), dueDate);
  textRecord.SetIntegerAt(Column<kDocHeadLines>("ILEPOZ"), 0);
  textRecord.SetMoneyAt(Column<kDocHeadLines>("SUMA"), cancelled ? 0.0 : gross);
  textRecord.SetBooleanAt(Column<kDocHeadLines>("ANULOWANY"), cancelled);
  // Only cash due on the day of issue was taken when the document was made.
  const bool paidInCash = kind == "G" && SameDay(documentDate, dueDate);
  textRecord.SetMoneyAt(Column<kDocHeadLines>("GOTOWKA"),
                        paidInCash ? gross : 0.0);
  textRecord.SetStringAt(Column<kDocHeadLines>("PLATNOSC"), PaymentText(kind));
  textRecord.SetDateAt(Column<kDocHeadLines>("DOT_DATA"), kRelatedDocumentDate);
  textRecord.SetStringAt(Column<kDocHeadLines>("DOT_NAZWADOK"),
                         DeviceToHostDocType(f.KpTypDok.Text(dbfRecord)));
  textRecord.SetStringAt(Column<kDocHeadLines>("DOT_NRDOK"),
                         f.KpNumer.Text(dbfRecord));
  textRecord.SetStringAt(Column<kDocHeadLines>("UWAGI"),
                         f.Uwagi.Text(dbfRecord));
  textRecord.SetDateAt(Column<kDocHeadLines>("DATAOBOW"),
                       f.DataDost.GetDate(dbfRecord));
  if (!NewLayout()) return;
  textRecord.SetStringAt(Column<kDocHeadLines>("CECHA_1"),
                         f.Cecha1.Text(dbfRecord));
  textRecord.SetStringAt(Column<kDocHeadLines>("CECHA_2"),
                         f.Cecha2.Text(dbfRecord));
  textRecord.SetStringAt(Column<kDocHeadLines>("IDKONTRAHODB"),
                         f.IdKlient.Text(dbfRecord));
  textRecord.SetStringAt(Column<kDocHeadLines>("IDKONTRAHDOST"),
                         f.IdDostawa.Text(dbfRecord));
  textRecord.SetBooleanAt(Column<kDocHeadLines>("WYDRUKOWANY"),
                          f.Drukowany.GetInteger(dbfRecord) > 0);
  textRecord.SetBooleanAt(Column<kDocHeadLines>("ZAFISKALIZOWANY"),
                          f.Fiskalny.GetBoolean(dbfRecord));
}

void TTransDocHead::DefineDbfFields(TDBF& /*table*/) {}

void TTransDocHead::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DocHeadDefinitionLines());
}

// Runs for every header not marked deleted, so a deleted gross header
// leaves its lines priced net.
void TTransDocHead::BeforeDbfToText(TDBFRecord& dbfRecord) {
  if (!NewLayout()) return;
  const TFields& f = *FFields;
  if (!f.Brutto.GetBoolean(dbfRecord)) return;
  const std::string_view number = f.Numer.Text(dbfRecord);
  const std::string_view type = f.GrossTypDok.Text(dbfRecord);
  AddGrossDocument(type, number);
}

void TTransDocHead::BeforeRun() {}

void TTransDocHead::AfterDbfOpen(TDBF& table) {
  for (const std::string_view name :
       {"TYP_DOK", "NUMER", "KP_TYP_DOK", "KP_NUMER"}) {
    if (TDBFFieldDef* field = table.FindField(name)) field->SetClean(false);
  }
  FFields->Find(table);
}

std::unique_ptr<TTransManager> TTransDocHead::NewHelper() const {
  return std::make_unique<TTransDocHead>(Timestamp(), TextName(), TableName());
}

void TTransDocHead::TakeFromHelper(TTransManager& helper) {
  auto& heads = static_cast<TTransDocHead&>(helper);
  for (std::string& key : heads.FGrossDocuments) {
    FGrossDocuments.push_back(std::move(key));
    FGrossIndex.insert(FGrossDocuments.back());
  }
  heads.FGrossDocuments.clear();
  heads.FGrossIndex.clear();
}

// --- Lines -------------------------------------------------------------------

struct TTransDocPos::TFields {
  TTableField TypDok{"TYP_DOK"};
  TTableField Numer{"numer"};
  TTableField IdTow{"ID_tow"};
  TTableField IdTowar{"Id_towar"};
  TTableField CenaNet{"Cena_net"};
  TTableField CenaNetto{"Cena_netto"};
  TTableField CenaBrut{"Cena_brut"};
  TTableField Uwagi{"uwagi"};
  TTableField Cecha{"cecha"};
  TTableField DataWazn{"data_wazn"};
  TTableField CenaUstal{"CENA_USTAL"};
  TTableField Ilosc{"ilosc"};
  TTableField Rabat{"RABAT"};

  void Find(const TDBF& table) {
    FindAll(table,
            {&TypDok, &Numer, &IdTow, &IdTowar, &CenaNet, &CenaNetto, &CenaBrut,
             &Uwagi, &Cecha, &DataWazn, &CenaUstal, &Ilosc, &Rabat});
  }
};

TTransDocPos::TTransDocPos(const TTransDocHead& heads, TDateTime timestamp,
                           std::string_view textName,
                           std::string_view tableName)
    : TTransManager(timestamp, textName, tableName),
      FHeads(heads),
      FFields(std::make_unique<TFields>()) {}

TTransDocPos::~TTransDocPos() = default;

void TTransDocPos::TextToDbf(TZendorProRecord& /*textRecord*/,
                             TDBFRecord& /*dbfRecord*/) {}

void TTransDocPos::DbfToText(TZendorProRecord& textRecord,
                             TDBFRecord& dbfRecord) {
  const TFields& f = *FFields;
  // typ_dok of the gross lookup is this same field, so it is read once.
  const std::string_view type = f.TypDok.Text(dbfRecord);
  textRecord.SetStringAt(Column<kDocPosLines>("NAZWADOK"),
                         DeviceToHostDocType(type));
  std::string_view number;
  if (NewLayout()) {
    // A line whose header is missing, deleted or not gross is priced net.
    number = f.Numer.Text(dbfRecord);
    const bool gross = IsGrossLine(type, number);
    textRecord.SetStringAt(Column<kDocPosLines>("KODTOW"),
                           f.IdTowar.Text(dbfRecord));
    textRecord.SetStringAt(Column<kDocPosLines>("UWAGI"),
                           f.Uwagi.Text(dbfRecord));
    textRecord.SetStringAt(Column<kDocPosLines>("CECHA_1"),
                           f.Cecha.Text(dbfRecord));
    // The text as stored, whatever the field's type: the host takes the
    // validity date as an attribute.
    textRecord.SetStringAt(Column<kDocPosLines>("CECHA_2"),
                           f.DataWazn.Text(dbfRecord));
    textRecord.SetMoneyAt(
        Column<kDocPosLines>("CENA"),
        (gross ? f.CenaBrut : f.CenaNetto).GetFloat(dbfRecord));
    textRecord.SetBooleanAt(Column<kDocPosLines>("CENA_BRUTTO"), gross);
  } else {
    textRecord.SetStringAt(Column<kDocPosLines>("KODTOW"),
                           f.IdTow.Text(dbfRecord));
    textRecord.SetMoneyAt(Column<kDocPosLines>("CENA"),
                          f.CenaNet.GetFloat(dbfRecord));
    number = f.Numer.Text(dbfRecord);
  }
  textRecord.SetStringAt(Column<kDocPosLines>("NRDOK"), TrimView(number));
  textRecord.SetBooleanAt(Column<kDocPosLines>("CENA_UZG"),
                          f.CenaUstal.GetBoolean(dbfRecord));
  textRecord.SetQuantityAt(Column<kDocPosLines>("ILOSC"),
                           f.Ilosc.GetFloat(dbfRecord));
  textRecord.SetMoneyAt(Column<kDocPosLines>("PROCBONIF"),
                        f.Rabat.GetFloat(dbfRecord));
}

void TTransDocPos::DefineDbfFields(TDBF& /*table*/) {}

void TTransDocPos::DefineTextFields(TZendorProFile& textFile) {
  textFile.Definition().LoadDefinitions(DocPosDefinitionLines());
}

void TTransDocPos::BeforeRun() { FLast.reset(); }

void TTransDocPos::AfterDbfOpen(TDBF& table) { FFields->Find(table); }

std::unique_ptr<TTransManager> TTransDocPos::NewHelper() const {
  return std::make_unique<TTransDocPos>(FHeads, Timestamp(), TextName(),
                                        TableName());
}

bool TTransDocPos::IsGrossLine(std::string_view type, std::string_view number) {
  if (FLast && type == FLast->Type && number == FLast->Number) {
    return FLast->Gross;
  }
  const bool gross = FHeads.IsGrossDocument(type, number);
  FLast = TLastLookup{std::string(type), std::string(number), gross};
  return gross;
}

}  // namespace bridge
