// forbook-gen-upload: writes the document tables that a handheld in layout
// "1.8.0" leaves in its upload directory, of any size, so that the receive
// job can be timed on realistic data:
//
//   forbook-gen-upload --out DIR [--documents N] [--lines N] [--contractors N]
//                      [--seed TEXT]
//
// dok_nagl.dbf gets N document headers and dok_poz.dbf N lines in all, with
// the fields the receive job reads and written by the engine the jobs use, so
// the text is stored in code page 852. The documents are those of a month of
// selling: invoices, receipts, orders, delivery notes and returns with their
// lines, and cash-in and cash-out slips without lines. Payments are in cash,
// by transfer, on term or by compensation; receipts and some invoices are
// priced gross (Brutto "T"), every line carries both its net and its gross
// price, and a few documents are cancelled. About one header in two hundred
// is deleted on the device together with its lines, and about one line in
// five hundred on its own, as the deletion flag "*" marks them. Remarks are
// Polish, and a few hold the line break typed on the device.
//
// Every line belongs to a header of the same type and number. The same seed
// and counts give the same bytes: the tables carry the date of the last
// document as their last update, not the day they were made.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "dbf/uDBF.h"
#include "platform/Cp1250.h"
#include "platform/DateTime.h"
#include "platform/Files.h"

namespace {

namespace platform = bridge::platform;
using bridge::EncodeDate;
using bridge::TDateTime;
using bridge::TDBF;
using bridge::TDBFFieldDef;
using bridge::TDBFRecord;
using bridge::bench::Cp;
using bridge::bench::MakeDirectories;
using bridge::bench::ParseCount;
using bridge::bench::TRandom;

struct TArticle {
  std::string Prefix;  // of the goods index
  int Vat;             // percent
  bool Weighed;        // sold by the kilogram, in fractions
  bool Perishable;     // lines carry a best-before date
  std::int64_t NetCents;
};

struct TPools {
  std::vector<TArticle> Articles;
  std::vector<std::string> HeadRemarks;
  std::vector<std::string> BrokenRemarks;  // with CR LF typed on the device
  std::vector<std::string> LineRemarks;
  std::vector<std::string> Routes;
  std::vector<std::string> DeliveryNotes;
  std::vector<std::string> LineFeatures;
};

TPools MakePools() {
  TPools p;
  p.Articles = {
      {"MLE-1L", 5, false, true, 289},     {"MLE-05L", 5, false, true, 169},
      {"JOG-150", 5, false, true, 199},    {"SER-GOU", 5, true, true, 2890},
      {"MAS-200", 5, false, true, 699},    {"CHL-ZYT", 5, false, true, 420},
      {"BUL-PSZ", 5, false, true, 59},     {"KAW-500", 23, false, false, 1499},
      {"HER-100", 23, false, false, 549},  {"ZIO-RUM", 8, false, false, 410},
      {"SOK-JAB", 5, false, true, 449},    {"WOD-15L", 8, false, false, 199},
      {"CZE-MLE", 8, false, false, 499},   {"MAK-SWI", 5, false, false, 359},
      {"MKA-450", 5, false, false, 279},   {"CUK-1KG", 8, false, false, 379},
      {"OLE-RZE", 5, false, false, 999},   {"PLY-NAC", 23, false, false, 649},
      {"PRO-KOL", 23, false, false, 1899}, {"PIW-JAS", 23, false, false, 329},
      {"KIE-SLA", 5, true, true, 2490},    {"JAB-LOB", 5, true, false, 349},
      {"ZIE-PYR", 5, true, false, 189},    {"SLO-POM", 8, true, false, 1299},
  };
  p.HeadRemarks = Cp(
      {"Dostawa do sklepu na zapleczu", "Płatność przelewem, 14 dni",
       "Zamówienie na środę", "Towar chłodzony - dowóz do 10:00",
       "Klient prosi o fakturę zbiorczą",
       "Rozładunek od podwórza, wjazd od ul. Źródlanej",
       "Zapłacono gotówką u kierowcy",
       "Reklamacja - brak 2 szt. w dostawie z wtorku",
       "Dowóz po 15:00, sklep zamknięty w południe",
       "Rabat uzgodniony z właścicielem", "Sprzedaż wyjazdowa - targ w Łęcznej",
       "Odbiór własny, magazyn w Świdniku"});
  p.BrokenRemarks = Cp({"Dostawa w piątek\r\nWjazd od zaplecza",
                        "Brak kierownika\r\nPodpisała ekspedientka",
                        "Uwaga: zmiana adresu\r\nul. Żeromskiego 14"});
  p.LineRemarks =
      Cp({"Gratis do zamówienia", "Reklamacja - uszkodzone opakowanie",
          "Towar z ekspozycji", "Cena promocyjna do końca miesiąca",
          "Wymiana na świeży towar"});
  p.Routes =
      Cp({"Trasa 1 - Lublin Czuby", "Trasa 2 - Świdnik", "Trasa 3 - Łęczna",
          "Trasa 4 - Kraśnik", "Trasa 5 - Zamość", "Trasa 6 - Biłgoraj"});
  p.DeliveryNotes = Cp({"Dostawa rano", "Dostawa po południu",
                        "Odbiór osobisty", "Kurier", "Pilne - na jutro"});
  p.LineFeatures = Cp({"partia", "seria", "dostawa"});
  return p;
}

// ---------------------------------------------------------------------------
// The tables, with the fields the receive job reads in layout "1.8.0".

struct TFieldDecl {
  const char* Name;
  char Type;
  int Length;
  int Decimals;
};

constexpr TFieldDecl kHeadFields[] = {
    {"typ_plat", 'C', 3, 0},    {"anulowany", 'L', 1, 0},
    {"data_dok", 'D', 8, 0},    {"data_plat", 'D', 8, 0},
    {"wart_brut", 'N', 12, 2},  {"id_platnik", 'C', 15, 0},
    {"TYP_DOK", 'C', 6, 0},     {"RODZAJ_DOK", 'N', 2, 0},
    {"numer", 'C', 25, 0},      {"kp_typ_dok", 'C', 6, 0},
    {"kp_numer", 'C', 25, 0},   {"uwagi", 'C', 60, 0},
    {"Data_dost", 'D', 8, 0},   {"cecha1", 'C', 35, 0},
    {"cecha2", 'C', 35, 0},     {"id_klient", 'C', 15, 0},
    {"ID_DOSTAWA", 'C', 15, 0}, {"drukowany", 'N', 2, 0},
    {"fiskalny", 'L', 1, 0},    {"Brutto", 'L', 1, 0}};

constexpr TFieldDecl kLineFields[] = {
    {"TYP_DOK", 'C', 6, 0},    {"numer", 'C', 25, 0},
    {"Id_towar", 'C', 25, 0},  {"Cena_netto", 'N', 12, 2},
    {"Cena_brut", 'N', 12, 2}, {"uwagi", 'C', 60, 0},
    {"cecha", 'C', 35, 0},     {"data_wazn", 'D', 8, 0},
    {"CENA_USTAL", 'L', 1, 0}, {"ilosc", 'N', 12, 3},
    {"RABAT", 'N', 6, 2}};

// A table being written, with its fields found once and the records that
// get the deletion flag once it is closed.
class TTable {
 public:
  template <std::size_t N>
  bool Create(const std::string& path, const TFieldDecl (&fields)[N]) {
    FPath = path;
    for (const TFieldDecl& field : fields) {
      if (!FTable.AddField(field.Name, field.Type, field.Length,
                           field.Decimals)) {
        return false;
      }
    }
    // A device stores remarks as typed, line breaks included.
    if (TDBFFieldDef* remarks = FTable.FindField("uwagi")) {
      remarks->SetClean(false);
    }
    if (!FTable.CreateTable(path)) return false;
    for (const TFieldDecl& field : fields) {
      FFields.push_back(FTable.FindField(field.Name));
    }
    return true;
  }
  const TDBFFieldDef& Field(std::size_t index) const { return *FFields[index]; }
  TDBFRecord& New() { return *FTable.NewRecord(); }
  bool Append(const TDBFRecord& record, bool deleted) {
    if (deleted) FDeleted.push_back(FCount);
    ++FCount;
    return FTable.AppendRecord(record);
  }
  std::uint32_t Count() const { return FCount; }
  std::size_t Deleted() const { return FDeleted.size(); }

  // Closes the table, then marks the deleted records and puts the date of
  // the last update in the header, as the device would have left them.
  bool Finish(int year, int month, int day) {
    const auto headerLength = static_cast<std::uint64_t>(FTable.HeaderLength());
    const auto recordLength = static_cast<std::uint64_t>(FTable.RecordLength());
    if (!FTable.Close()) return false;
    const auto file =
        platform::TFile::Open(FPath, platform::TFile::TMode::kReadWrite);
    if (!file) return false;
    const unsigned char date[3] = {static_cast<unsigned char>(year - 1900),
                                   static_cast<unsigned char>(month),
                                   static_cast<unsigned char>(day)};
    if (!file->Seek(1) || !file->Write(date, sizeof date)) return false;
    for (const std::uint32_t index : FDeleted) {
      if (!file->Seek(headerLength + index * recordLength) ||
          !file->Write("*", 1)) {
        return false;
      }
    }
    return file->Flush();
  }

 private:
  TDBF FTable;
  std::string FPath;
  std::vector<const TDBFFieldDef*> FFields;
  std::vector<std::uint32_t> FDeleted;
  std::uint32_t FCount = 0;
};

// The positions in kHeadFields and kLineFields.
enum THead : std::size_t {
  kTypPlat,
  kAnulowany,
  kDataDok,
  kDataPlat,
  kWartBrut,
  kIdPlatnik,
  kHeadTypDok,
  kRodzajDok,
  kHeadNumer,
  kKpTypDok,
  kKpNumer,
  kHeadUwagi,
  kDataDost,
  kCecha1,
  kCecha2,
  kIdKlient,
  kIdDostawa,
  kDrukowany,
  kFiskalny,
  kBrutto
};
enum TLine : std::size_t {
  kLineTypDok,
  kLineNumer,
  kIdTowar,
  kCenaNetto,
  kCenaBrut,
  kLineUwagi,
  kCecha,
  kDataWazn,
  kCenaUstal,
  kIlosc,
  kRabat
};

// ---------------------------------------------------------------------------
// The documents.

enum class TKind {
  kInvoice,
  kReceipt,
  kOrder,
  kDelivery,
  kReturn,
  kCashIn,
  kCashOut
};

struct TKindInfo {
  const char* Type;  // as the device names it
  int Weight;        // in a thousand documents
  bool HasLines;
};

constexpr TKindInfo kKinds[] = {
    {"FK", 480, true}, {"PA", 250, true}, {"ZA", 100, true}, {"DD", 80, true},
    {"ZW", 40, true},  {"KP", 30, false}, {"KW", 20, false}};

TKind PickKind(TRandom& random) {
  std::int64_t draw = random.Between(0, 999);
  for (std::size_t i = 0; i < std::size(kKinds); ++i) {
    draw -= kKinds[i].Weight;
    if (draw < 0) return static_cast<TKind>(i);
  }
  return TKind::kInvoice;
}

const TKindInfo& Info(TKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}

struct TCounts {
  std::int64_t Documents = 100000;
  std::int64_t Lines = 1000000;
  std::int64_t Contractors = 5000;
};

// Writes the lines of one document and gives their gross value in cents.
std::int64_t WriteLines(TTable& lines, TRandom& random, const TPools& pools,
                        const std::string& type, const std::string& number,
                        TDateTime day, std::int64_t count, bool deleted,
                        bool& ok) {
  std::int64_t total = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const TArticle& article = random.Pick(pools.Articles);
    const std::int64_t net =
        article.NetCents * random.Between(85, 120) / 100 + random.Between(0, 9);
    const std::int64_t gross = (net * (100 + article.Vat) + 50) / 100;
    // Thousandths of a unit: whole pieces, or weighed to ten grams.
    const std::int64_t quantity = article.Weighed
                                      ? random.Between(25, 2500) * 10
                                      : random.Between(1, 48) * 1000;
    static const std::vector<std::int64_t> discounts = {
        0, 0, 0, 0, 0, 0, 0, 250, 300, 500, 1000};
    const std::int64_t discount = random.Pick(discounts);  // hundredths of %
    total += (gross * quantity / 1000) * (10000 - discount) / 10000;

    TDBFRecord& record = lines.New();
    record.SetString(lines.Field(kLineTypDok), type);
    record.SetString(lines.Field(kLineNumer), number);
    char index[32];
    std::snprintf(index, sizeof index, "%s-%04d", article.Prefix.c_str(),
                  static_cast<int>(random.Between(1, 40)));
    record.SetString(lines.Field(kIdTowar), index);
    record.SetFloat(lines.Field(kCenaNetto), static_cast<double>(net) / 100.0);
    record.SetFloat(lines.Field(kCenaBrut), static_cast<double>(gross) / 100.0);
    if (random.Percent(3)) {
      record.SetString(lines.Field(kLineUwagi), random.Pick(pools.LineRemarks));
    }
    if (article.Perishable || random.Percent(10)) {
      char feature[40];
      // A batch: year, month and a serial.
      std::snprintf(feature, sizeof feature, "%s %02d%02d/%03d",
                    random.Pick(pools.LineFeatures).c_str(),
                    static_cast<int>(random.Between(24, 25)),
                    static_cast<int>(random.Between(1, 12)),
                    static_cast<int>(random.Between(1, 999)));
      record.SetString(lines.Field(kCecha), feature);
    }
    if (article.Perishable) {
      record.SetDate(lines.Field(kDataWazn),
                     day + static_cast<double>(random.Between(3, 60)));
    }
    record.SetBoolean(lines.Field(kCenaUstal), random.Percent(10));
    record.SetFloat(lines.Field(kIlosc),
                    static_cast<double>(quantity) / 1000.0);
    record.SetFloat(lines.Field(kRabat), static_cast<double>(discount) / 100.0);
    // A line removed while the document was edited, or one of a deleted one.
    ok = lines.Append(record, deleted || random.PerMille(2)) && ok;
  }
  return total;
}

bool WriteDocuments(const std::string& dir, const TCounts& counts,
                    const std::string& seed) {
  const TPools pools = MakePools();
  TRandom random(seed, "dok_nagl");
  TRandom lineRandom(seed, "dok_poz");

  // The kinds first, so that the lines can be spread over the documents
  // that have them.
  std::vector<TKind> kinds;
  kinds.reserve(static_cast<std::size_t>(counts.Documents));
  std::int64_t withLines = 0;
  for (std::int64_t i = 0; i < counts.Documents; ++i) {
    kinds.push_back(PickKind(random));
    if (Info(kinds.back()).HasLines) ++withLines;
  }

  TTable heads;
  TTable lines;
  if (!heads.Create(dir + "/dok_nagl.dbf", kHeadFields) ||
      !lines.Create(dir + "/dok_poz.dbf", kLineFields)) {
    return false;
  }

  // From 3 to 31 March 2025, in the order of issue.
  constexpr int kYear = 2025;
  constexpr int kMonth = 3;
  constexpr int kFirstDay = 3;
  constexpr int kDays = 29;
  std::int64_t serials[std::size(kKinds)] = {};
  std::string lastInvoice;
  std::int64_t linesLeft = counts.Lines;
  bool ok = true;
  int lastDay = kFirstDay;
  for (std::int64_t i = 0; i < counts.Documents; ++i) {
    const TKind kind = kinds[static_cast<std::size_t>(i)];
    const TKindInfo& info = Info(kind);
    const int dayOfMonth =
        kFirstDay + static_cast<int>(i * kDays / counts.Documents);
    lastDay = dayOfMonth;
    const TDateTime day = EncodeDate(kYear, kMonth, dayOfMonth);
    const std::int64_t serial = ++serials[static_cast<std::size_t>(kind)];
    const std::string type = info.Type;
    const std::string number =
        type + "/" + std::to_string(serial) + "/" + std::to_string(kYear);

    // The document's share of the lines that are left.
    std::int64_t lineCount = 0;
    if (info.HasLines) {
      if (withLines == 1) {
        lineCount = linesLeft;
      } else {
        const std::int64_t average = linesLeft / withLines;
        const std::int64_t low =
            std::max<std::int64_t>(linesLeft >= withLines ? 1 : 0, average / 4);
        lineCount = std::min(
            linesLeft, random.Between(low, std::max(low, 2 * average - low)));
      }
      --withLines;
      linesLeft -= lineCount;
    }

    const bool deleted = random.PerMille(5);
    const bool gross = kind == TKind::kReceipt ||
                       (kind == TKind::kInvoice && random.Percent(12));
    std::int64_t value = WriteLines(lines, lineRandom, pools, type, number, day,
                                    lineCount, deleted, ok);
    if (!info.HasLines) value = random.Between(500, 500000);

    // How it is paid: G cash, P transfer, T on term, K compensation.
    std::string payment = "G";
    int term = 0;
    switch (kind) {
      case TKind::kInvoice:
      case TKind::kDelivery: {
        const std::int64_t draw = random.Between(0, 99);
        if (draw < 50) {
          payment = "G";
          term = random.Percent(10) ? 7 : 0;
        } else if (draw < 88) {
          payment = "P";
          static const std::vector<int> terms = {7, 14, 14, 21, 30};
          term = random.Pick(terms);
        } else if (draw < 97) {
          payment = "T";
          term = random.Percent(50) ? 14 : 30;
        } else {
          payment = "K";
        }
        break;
      }
      case TKind::kReceipt:
        payment = random.Percent(92) ? "G" : "P";
        break;
      case TKind::kOrder:
        payment = random.Percent(40) ? "G" : "P";
        term = payment == "P" ? 14 : 0;
        break;
      default:
        break;
    }
    // Some devices store the kind in lower case.
    if (random.Percent(2)) payment[0] = static_cast<char>(payment[0] + 32);

    const std::int64_t payer = random.Between(1, counts.Contractors);
    TDBFRecord& record = heads.New();
    record.SetString(heads.Field(kTypPlat), payment);
    record.SetBoolean(heads.Field(kAnulowany), random.PerMille(8));
    record.SetDate(heads.Field(kDataDok), day);
    record.SetDate(heads.Field(kDataPlat), day + term);
    record.SetFloat(heads.Field(kWartBrut), static_cast<double>(value) / 100.0);
    record.SetString(heads.Field(kIdPlatnik), std::to_string(payer));
    record.SetString(heads.Field(kHeadTypDok), type);
    record.SetInteger(heads.Field(kRodzajDok),
                      kind == TKind::kCashOut && random.Percent(50) ? 1 : 0);
    record.SetString(heads.Field(kHeadNumer), number);
    if (kind == TKind::kCashIn && !lastInvoice.empty()) {
      // A cash-in slip for an invoice paid later.
      record.SetString(heads.Field(kKpTypDok), "FK");
      record.SetString(heads.Field(kKpNumer), lastInvoice);
    }
    if (random.Percent(35)) {
      record.SetString(heads.Field(kHeadUwagi), random.Pick(pools.HeadRemarks));
    } else if (random.Percent(1)) {
      record.SetString(heads.Field(kHeadUwagi),
                       random.Pick(pools.BrokenRemarks));
    }
    if (kind == TKind::kOrder || random.Percent(20)) {
      record.SetDate(heads.Field(kDataDost),
                     day + (kind == TKind::kOrder
                                ? static_cast<double>(random.Between(1, 3))
                                : 0.0));
    }
    if (random.Percent(30)) {
      record.SetString(heads.Field(kCecha1), random.Pick(pools.Routes));
    }
    if (random.Percent(10)) {
      record.SetString(heads.Field(kCecha2), random.Pick(pools.DeliveryNotes));
    }
    const std::int64_t recipient =
        random.Percent(5) ? random.Between(1, counts.Contractors) : payer;
    record.SetString(heads.Field(kIdKlient), std::to_string(recipient));
    if (random.Percent(3)) {
      record.SetString(heads.Field(kIdDostawa),
                       std::to_string(random.Between(90001, 90040)));
    }
    static const std::vector<std::int32_t> prints = {0, 0, 1, 1, 1, 1, 2};
    record.SetInteger(heads.Field(kDrukowany), random.Pick(prints));
    record.SetBoolean(heads.Field(kFiskalny),
                      kind == TKind::kReceipt && random.Percent(95));
    record.SetBoolean(heads.Field(kBrutto), gross);
    ok = heads.Append(record, deleted) && ok;
    if (kind == TKind::kInvoice && payment != "G") lastInvoice = number;
    if (!ok) return false;
  }

  const bool finished = heads.Finish(kYear, kMonth, lastDay) &&
                        lines.Finish(kYear, kMonth, lastDay);
  if (!finished) return false;
  std::printf("%-14s %10u records %8zu deleted\n", "dok_nagl.dbf",
              heads.Count(), heads.Deleted());
  std::printf("%-14s %10u records %8zu deleted\n", "dok_poz.dbf", lines.Count(),
              lines.Deleted());
  return true;
}

// ---------------------------------------------------------------------------
// Command line.

struct TOptions {
  std::string OutDir;  // Windows-1250, as the file layer takes paths
  TCounts Counts;
  std::string Seed = "forbook";
};

void Usage() {
  std::fputs(
      "usage: forbook-gen-upload --out DIR [--documents N] [--lines N]\n"
      "         [--contractors N] [--seed TEXT]\n",
      stderr);
}

std::optional<TOptions> ParseArguments(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    const std::string_view value = argv[++i];
    std::int64_t* count = nullptr;
    if (arg == "--out") {
      options.OutDir = platform::Utf8ToCp1250(value);
    } else if (arg == "--seed") {
      options.Seed = std::string(value);
    } else if (arg == "--documents") {
      count = &options.Counts.Documents;
    } else if (arg == "--lines") {
      count = &options.Counts.Lines;
    } else if (arg == "--contractors") {
      count = &options.Counts.Contractors;
    } else {
      return std::nullopt;
    }
    if (count != nullptr) {
      const auto parsed = ParseCount(value);
      if (!parsed) return std::nullopt;
      *count = *parsed;
    }
  }
  if (options.OutDir.empty()) return std::nullopt;
  const TCounts& counts = options.Counts;
  // Record numbers of a table are 32-bit; every line needs a header.
  if (counts.Documents < 1 || counts.Documents > 0x7FFFFFFF ||
      counts.Lines > 0x7FFFFFFF || counts.Contractors < 1) {
    return std::nullopt;
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = ParseArguments(argc, argv);
  if (!parsed) {
    Usage();
    return 2;
  }
  const TOptions& options = *parsed;
  std::string dir = options.OutDir;
  while (dir.size() > 1 && dir.back() == platform::kPathDelimiter) {
    dir.pop_back();
  }
  if (!MakeDirectories(dir)) {
    std::fprintf(stderr, "cannot create %s\n",
                 platform::Cp1250ToUtf8(dir).c_str());
    return 1;
  }
  if (!WriteDocuments(dir, options.Counts, options.Seed)) {
    std::fprintf(stderr, "cannot write the tables in %s\n",
                 platform::Cp1250ToUtf8(dir).c_str());
    return 1;
  }
  return 0;
}
