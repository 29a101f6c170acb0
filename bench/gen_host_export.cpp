// forbook-gen-host: writes a host export of any size for one device, as the
// host leaves it before a send job, so that the send job can be timed on
// realistic data:
//
//   forbook-gen-host --out DIR [--contractors N] [--goods N]
//                    [--settlements N] [--groups1 N] [--groups2 N]
//                    [--seed TEXT] [--only kontrahent,kartoteka,...]
//
// The files are Windows-1250 with CR LF line ends and TAB-separated values in
// the order in which the transfers read them: kontrahent.txt (36 values),
// kartoteka.txt (54), doknieroz.txt (13), grkart1.txt and grkart2.txt (7),
// konfiguracja.txt (18) and bank.txt (5). The same seed gives the same bytes,
// and each file depends only on the seed and the counts, so a subset made
// with --only matches the full set file for file.
//
// A few records in every hundred are of the kinds the transfers leave out or
// cut: packaging in the goods register, indexes too long for the device,
// sub-groups and empty groups, names longer than the table fields.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"

namespace {

namespace platform = bridge::platform;
using bridge::bench::Cp;
using bridge::bench::MakeDirectories;
using bridge::bench::ParseCount;
using bridge::bench::TRandom;

// A name in two spellings: as printed, and in ASCII for e-mail addresses.
struct TName {
  std::string Text;
  std::string Ascii;
};

std::vector<TName> Names(
    std::initializer_list<std::pair<std::string_view, std::string_view>>
        pairs) {
  std::vector<TName> out;
  for (const auto& [utf8, ascii] : pairs) {
    out.push_back({platform::Utf8ToCp1250(utf8), std::string(ascii)});
  }
  return out;
}

struct TTown {
  std::string Name;
  std::string PostPrefix;  // the first two digits of its postal codes
  std::string County;
  std::string AreaCode;
  std::vector<std::string> Districts;
};

struct TProduct {
  std::string Name;
  std::string IndexPrefix;
  std::string Vat;
  std::string Unit;
  std::string Pkwiu;
  std::vector<std::string> Sizes;
  std::int64_t NetCents;  // a typical net price
};

struct TPools {
  std::vector<TName> FirstNamesMale;
  std::vector<TName> FirstNamesFemale;
  std::vector<TName> Surnames;  // male form; the female form ends in "a"
  std::vector<TTown> Towns;
  std::vector<std::string> Villages;
  std::vector<std::string> Streets;
  std::vector<std::string> Shops;
  std::vector<std::string> ShopNames;
  std::vector<std::string> Payments;
  std::vector<std::string> Notes;
  std::vector<TProduct> Products;
  std::vector<std::string> Producers;
  std::vector<std::string> Features;
  std::vector<std::string> GroupNames1;
  std::vector<std::string> GroupNames2;
  std::vector<std::string> SubGroupNames;
  std::vector<std::string> DocumentCodes;
};

TPools MakePools() {
  TPools p;
  p.FirstNamesMale = Names({{"Jan", "jan"},
                            {"Piotr", "piotr"},
                            {"Krzysztof", "krzysztof"},
                            {"Andrzej", "andrzej"},
                            {"Tomasz", "tomasz"},
                            {"Paweł", "pawel"},
                            {"Michał", "michal"},
                            {"Marcin", "marcin"},
                            {"Grzegorz", "grzegorz"},
                            {"Józef", "jozef"},
                            {"Łukasz", "lukasz"},
                            {"Zbigniew", "zbigniew"},
                            {"Jerzy", "jerzy"},
                            {"Wiesław", "wieslaw"},
                            {"Stanisław", "stanislaw"},
                            {"Bartłomiej", "bartlomiej"}});
  p.FirstNamesFemale = Names({{"Anna", "anna"},
                              {"Maria", "maria"},
                              {"Katarzyna", "katarzyna"},
                              {"Małgorzata", "malgorzata"},
                              {"Agnieszka", "agnieszka"},
                              {"Barbara", "barbara"},
                              {"Ewa", "ewa"},
                              {"Elżbieta", "elzbieta"},
                              {"Zofia", "zofia"},
                              {"Jadwiga", "jadwiga"},
                              {"Halina", "halina"},
                              {"Józefa", "jozefa"},
                              {"Urszula", "urszula"},
                              {"Bożena", "bozena"}});
  p.Surnames = Names({{"Nowak", "nowak"},
                      {"Kowalski", "kowalski"},
                      {"Wiśniewski", "wisniewski"},
                      {"Wójcik", "wojcik"},
                      {"Kowalczyk", "kowalczyk"},
                      {"Kamiński", "kaminski"},
                      {"Lewandowski", "lewandowski"},
                      {"Zieliński", "zielinski"},
                      {"Szymański", "szymanski"},
                      {"Woźniak", "wozniak"},
                      {"Dąbrowski", "dabrowski"},
                      {"Kozłowski", "kozlowski"},
                      {"Jankowski", "jankowski"},
                      {"Mazur", "mazur"},
                      {"Krawczyk", "krawczyk"},
                      {"Piotrowski", "piotrowski"},
                      {"Grabowski", "grabowski"},
                      {"Pawłowski", "pawlowski"},
                      {"Michalski", "michalski"},
                      {"Król", "krol"},
                      {"Wróbel", "wrobel"},
                      {"Jabłoński", "jablonski"},
                      {"Żmuda", "zmuda"},
                      {"Łukasik", "lukasik"},
                      {"Ślęzak", "slezak"},
                      {"Bąk", "bak"},
                      {"Ćwikliński", "cwiklinski"},
                      {"Dębski", "debski"}});
  const auto town = [](std::string_view name, std::string_view post,
                       std::string_view county, std::string_view area,
                       std::initializer_list<std::string_view> districts) {
    return TTown{platform::Utf8ToCp1250(name), std::string(post),
                 platform::Utf8ToCp1250(county), std::string(area),
                 Cp(districts)};
  };
  p.Towns = {
      town("Warszawa", "0", "warszawski", "22",
           {"Mokotów", "Wola", "Praga-Południe", "Ursynów", "Bielany"}),
      town("Kraków", "3", "krakowski", "12",
           {"Stare Miasto", "Podgórze", "Nowa Huta", "Krowodrza"}),
      town("Łódź", "9", "łódzki", "42",
           {"Bałuty", "Widzew", "Górna", "Polesie"}),
      town("Wrocław", "5", "wrocławski", "71",
           {"Krzyki", "Fabryczna", "Psie Pole", "Śródmieście"}),
      town("Poznań", "6", "poznański", "61", {"Jeżyce", "Wilda", "Grunwald"}),
      town("Gdańsk", "8", "gdański", "58", {"Oliwa", "Wrzeszcz", "Przymorze"}),
      town("Lublin", "2", "lubelski", "81", {"Czuby", "Felin", "Wrotków"}),
      town("Białystok", "15", "białostocki", "85", {"Centrum", "Bojary"}),
      town("Rzeszów", "35", "rzeszowski", "17",
           {"Śródmieście", "Staromieście"}),
      town("Zamość", "22", "zamojski", "84", {"Stare Miasto", "Karolówka"}),
      town("Świdnica", "58", "świdnicki", "74", {"Centrum", "Zawiszów"}),
      town("Łowicz", "99", "łowicki", "46", {"Bratkowice", "Korabka"}),
      town("Gniezno", "62", "gnieźnieński", "61", {"Winiary", "Pustachowa"}),
      town("Końskie", "26", "konecki", "41", {"Nowy Dziebałtów"}),
      town("Wólka", "20", "lubelski", "81", {"Wólka"}),
      town("Żywiec", "34", "żywiecki", "33", {"Zabłocie", "Sporysz"}),
      town("Kielce", "25", "kielecki", "41", {"Herby", "Bocianek"}),
      town("Gorzów Wielkopolski", "66", "gorzowski", "95", {"Zawarcie"}),
  };
  p.Villages = Cp({"Zalesie", "Nowa Wieś", "Dąbrówka", "Wólka Łęczyńska",
                   "Stara Huta", "Zagórze Śląskie"});
  p.Streets = Cp({"ul. Piotrkowska",
                  "ul. Długa",
                  "ul. Krótka",
                  "ul. Mickiewicza",
                  "ul. Słowackiego",
                  "ul. Kościuszki",
                  "ul. Żeromskiego",
                  "ul. Leśna",
                  "ul. Polna",
                  "ul. Ogrodowa",
                  "ul. Kwiatowa",
                  "ul. Źródlana",
                  "ul. Jaśminowa",
                  "ul. Poznańska",
                  "ul. Grunwaldzka",
                  "ul. Marszałka Józefa Piłsudskiego",
                  "ul. Księdza Jerzego Popiełuszki",
                  "al. Jana Pawła II",
                  "al. Niepodległości",
                  "pl. Wolności",
                  "os. Tysiąclecia",
                  "Rynek Główny",
                  "Stary Rynek"});
  p.Shops = Cp({"Sklep Spożywczy", "Sklep Wielobranżowy", "Delikatesy",
                "Hurtownia Artykułów Spożywczych", "Piekarnia-Cukiernia",
                "Kiosk Ruch-Prasa", "Drogeria", "Bar Mleczny", "Stacja Paliw",
                "Market", "Zakład Gastronomiczny", "Przedsiębiorstwo Handlowe",
                "F.H.U."});
  p.ShopNames =
      Cp({"Żabka", "Złoty Kłos", "Bałtyk", "Pszczółka", "Podhale", "Jaskółka",
          "Bławatek", "Łużyce", "Orlęta", "Świerk", "Stokrotka", "Mazowsze",
          "Wrzos", "Ślązak", "Jarzębina", "Pod Kasztanami", "Gęś Kaszubska"});
  p.Payments = Cp({"gotówka", "Gotówka", "przelew", "przelew 14 dni",
                   "przelew 30 dni", "karta", "czek", "kompensata"});
  p.Notes = Cp({"Dostawa we wtorki i piątki^Rampa od podwórza",
                "Klient sezonowy (czerwiec–wrzesień)",
                "Towar chłodzony – dowóz do 10:00^Stały rabat na nabiał 3%",
                "Płatnik centralny – faktury na centralę",
                "Zamówienia telefoniczne po 15:00",
                "Sprzedaż wstrzymana do odwołania^Zaległe faktury"});
  const auto product =
      [](std::string_view name, std::string_view prefix, std::string_view vat,
         std::string_view unit, std::string_view pkwiu,
         std::initializer_list<std::string_view> sizes, std::int64_t netCents) {
        return TProduct{platform::Utf8ToCp1250(name),
                        std::string(prefix),
                        platform::Utf8ToCp1250(vat),
                        platform::Utf8ToCp1250(unit),
                        std::string(pkwiu),
                        Cp(sizes),
                        netCents};
      };
  p.Products = {
      product("Mleko spożywcze 3,2%", "MLE", "5%", "szt.", "10.51.11.0",
              {"1 l", "0,5 l", "2 l"}, 289),
      product("Jogurt naturalny", "JOG", "5%", "szt.", "10.51.52.0",
              {"150 g", "400 g"}, 199),
      product("Ser żółty gouda w plastrach", "SER", "5%", "szt.", "10.51.40.0",
              {"150 g", "250 g", "1 kg"}, 549),
      product("Masło ekstra", "MAS", "5%", "szt.", "10.51.30.0",
              {"200 g", "250 g"}, 699),
      product("Chleb żytni na zakwasie", "CHL", "5%", "szt.", "10.71.11.0",
              {"500 g", "800 g"}, 420),
      product("Bułka pszenna", "BUL", "5%", "szt.", "10.71.11.0", {"60 g"}, 59),
      product("Kawa palona mielona", "KAW", "23%", "szt.", "10.83.11.0",
              {"250 g", "500 g", "1 kg"}, 1499),
      product("Herbata czarna ekspresowa", "HER", "23%", "op.", "10.83.13.0",
              {"20 torebek", "100 torebek"}, 549),
      product("Herbatka ziołowa z rumiankiem", "ZIO", "zw", "op.", "10.83.13.0",
              {"20 torebek"}, 410),
      product("Sok jabłkowy 100%", "SOK", "5%", "szt.", "10.32.12.0",
              {"1 l", "0,33 l"}, 449),
      product("Woda mineralna gazowana", "WOD", "8%", "szt.", "11.07.11.0",
              {"0,5 l", "1,5 l", "5 l"}, 199),
      product("Czekolada mleczna z orzechami", "CZE", "8%", "szt.",
              "10.82.22.0", {"100 g", "250 g"}, 499),
      product("Makaron świderki jajeczne", "MAK", "5%", "szt.", "10.73.11.0",
              {"250 g", "500 g"}, 359),
      product("Mąka pszenna typ 450", "MAK", "5%", "kg", "10.61.21.0",
              {"1 kg", "2 kg"}, 279),
      product("Cukier biały kryształ", "CUK", "8%", "kg", "10.81.12.0",
              {"1 kg"}, 379),
      product("Olej rzepakowy tłoczony na zimno", "OLE", "5%", "szt.",
              "10.41.24.0", {"0,5 l", "1 l"}, 999),
      product("Płyn do mycia naczyń", "PLY", "23%", "szt.", "20.41.32.0",
              {"0,5 l", "1 l"}, 649),
      product("Proszek do prania kolor", "PRO", "23%", "szt.", "20.41.32.0",
              {"1,5 kg", "3 kg"}, 1899),
      product("Gazeta codzienna – wydanie regionalne", "GAZ", "zw", "egz.",
              "58.13.10.0", {""}, 350),
      product("Książka kucharska „Kuchnia polska”", "KSI", "5%", "szt.",
              "58.11.13.0", {""}, 3990),
      product("Sok pomarańczowy – eksport", "EKS", "0%", "szt.", "10.32.12.0",
              {"1 l"}, 449),
      product("Piwo jasne pełne", "PIW", "23%", "but.", "11.05.10.0", {"0,5 l"},
              329),
  };
  p.Producers =
      Cp({"OSM Łowicz", "Spółdzielnia Mleczarska „Mlekpol”",
          "Piekarnia „Złoty Kłos”", "Zakłady Tłuszczowe Kruszwica",
          "Cukrownia Łapy", "Palarnia Kawy „Pożegnanie z Afryką”",
          "ZPC „Śnieżka”", "Makaroniarnia „Mazowsze”", "Tłocznia Sandomierz",
          "Browar Żywiec", "Wydawnictwo „Śląsk”", "Źródło „Muszynianka”"});
  p.Features =
      Cp({"", "", "", "aktywny", "nowość", "promocja", "wycofany", "sezonowy"});
  p.GroupNames1 =
      Cp({"Nabiał", "Pieczywo", "Kawa i herbata", "Słodycze", "Napoje",
          "Mąka i makarony", "Tłuszcze", "Chemia gospodarcza", "Prasa",
          "Książki i albumy", "Alkohole", "Mrożonki", "Owoce i warzywa",
          "Przyprawy", "Konserwy rybne i mięsne"});
  p.GroupNames2 =
      Cp({"OSM Łowicz", "Mlekpol", "Złoty Kłos", "Kruszwica", "Cukrownia Łapy",
          "Pożegnanie z Afryką", "Śnieżka", "Mazowsze", "Tłocznia Sandomierz",
          "Żywiec", "Wydawnictwo Śląsk", "Muszynianka"});
  p.SubGroupNames =
      Cp({"Linia podstawowa", "Linia premium", "Ekologiczne",
          "Opakowania zbiorcze", "Promocje sezonowe", "Marka własna"});
  p.DocumentCodes = Cp({"FA", "FA", "FA", "fa", "PAR", "par", "KP", "WZ", "FZ",
                        "KFA", "WZKOR", "NOT"});
  return p;
}

// ---------------------------------------------------------------------------
// Formatting into a line buffer.

void AppendInt(std::string& out, std::int64_t value) {
  char digits[24];
  const int n = std::snprintf(digits, sizeof digits, "%lld",
                              static_cast<long long>(value));
  out.append(digits, static_cast<std::size_t>(n));
}

// value / 10^decimals with exactly that many decimals and "." as the point,
// as the host writes amounts (2) and quantities (3).
void AppendFixed(std::string& out, std::int64_t value, int decimals) {
  if (value < 0) {
    out.push_back('-');
    value = -value;
  }
  std::int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  AppendInt(out, value / scale);
  out.push_back('.');
  std::int64_t fraction = value % scale;
  char digits[8];
  for (int i = decimals - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  out.append(digits, static_cast<std::size_t>(decimals));
}

void AppendDigits(std::string& out, TRandom& random, int count) {
  for (int i = 0; i < count; ++i) {
    out.push_back(static_cast<char>('0' + random.Below(10)));
  }
}

std::string Digits(TRandom& random, int count) {
  std::string out;
  AppendDigits(out, random, count);
  return out;
}

// Upper case of Windows-1250 text: ASCII and the Polish letters.
std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    unsigned char u = b;
    if (b >= 'a' && b <= 'z') u = static_cast<unsigned char>(b - 32);
    switch (b) {
      case 0xB9:
        u = 0xA5;
        break;  // ą
      case 0xE6:
        u = 0xC6;
        break;  // ć
      case 0xEA:
        u = 0xCA;
        break;  // ę
      case 0xB3:
        u = 0xA3;
        break;  // ł
      case 0xF1:
        u = 0xD1;
        break;  // ń
      case 0xF3:
        u = 0xD3;
        break;  // ó
      case 0x9C:
        u = 0x8C;
        break;  // ś
      case 0x9F:
        u = 0x8F;
        break;  // ź
      case 0xBF:
        u = 0xAF;
        break;  // ż
      default:
        break;
    }
    c = static_cast<char>(u);
  }
  return out;
}

// Cuts Windows-1250 text to a number of characters (one byte each).
std::string Cut(std::string_view text, std::size_t length) {
  return std::string(text.substr(0, length));
}

// A date as the host writes it, from a day number counted from 1 Jan 1970.
std::string DateText(std::int64_t days) {
  // Civil date from a day count (Howard Hinnant's algorithm).
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe =
      (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t year = yoe + era * 400;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2) ++year;
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(year),
                static_cast<int>(month), static_cast<int>(day));
  return text;
}

// An EAN-13 with a valid check digit, beginning with Poland's prefix 590.
std::string Ean13(TRandom& random) {
  std::string code = "590" + Digits(random, 9);
  int sum = 0;
  for (std::size_t i = 0; i < 12; ++i) {
    const int digit = code[i] - '0';
    sum += (i % 2 == 0) ? digit : 3 * digit;
  }
  code.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
  return code;
}

// ---------------------------------------------------------------------------
// Output: one file, written in large blocks.

class TOutput {
 public:
  explicit TOutput(const std::string& path)
      : FFile(platform::TFile::Open(path, platform::TFile::TMode::kCreate)),
        FPath(path) {
    FBuffer.reserve(kBlock + 4096);
  }
  bool Opened() const { return FFile != nullptr; }
  // The record's values, each followed by a TAB but the last.
  std::string& Line() { return FLine; }
  void EndLine() {
    if (!FLine.empty() && FLine.back() == '\t') FLine.pop_back();
    FBuffer += FLine;
    FBuffer += "\r\n";
    FLine.clear();
    ++FLines;
    if (FBuffer.size() >= kBlock) Flush();
  }
  bool Finish() {
    Flush();
    return !FFailed;
  }
  std::uint64_t Lines() const { return FLines; }
  const std::string& Path() const { return FPath; }

 private:
  static constexpr std::size_t kBlock = 4U << 20;
  void Flush() {
    if (!FBuffer.empty() && !FFile->Write(FBuffer.data(), FBuffer.size())) {
      FFailed = true;
    }
    FBuffer.clear();
  }
  std::unique_ptr<platform::TFile> FFile;
  std::string FPath;
  std::string FBuffer;
  std::string FLine;
  std::uint64_t FLines = 0;
  bool FFailed = false;
};

// Appends a value and its TAB.
template <typename T>
void Put(std::string& line, const T& value) {
  line += value;
  line.push_back('\t');
}
void PutInt(std::string& line, std::int64_t value) {
  AppendInt(line, value);
  line.push_back('\t');
}
void PutMoney(std::string& line, std::int64_t cents) {
  AppendFixed(line, cents, 2);
  line.push_back('\t');
}
void PutQuantity(std::string& line, std::int64_t thousandths) {
  AppendFixed(line, thousandths, 3);
  line.push_back('\t');
}
void PutFlag(std::string& line, bool value) { Put(line, value ? "T" : "N"); }

// ---------------------------------------------------------------------------
// The files.

struct TCounts {
  std::int64_t Contractors = 1000;
  std::int64_t Goods = 2000;
  std::int64_t Settlements = 1000;
  std::int64_t Groups1 = 12;
  std::int64_t Groups2 = 10;
};

// Contractor numbers run 1..Contractors; their ids are offset so that the
// two never coincide, as in the host.
constexpr std::int64_t kContractorIdBase = 100000;

struct TGroup {
  std::int64_t Id;
  std::int64_t ParentId;
  std::string Code;
  std::string Name;
  std::string CompoundCode;
  std::string CompoundName;
  bool Empty;
};

// The groups of one list in file order: every top-level group is followed by
// its sub-groups and their sub-groups. Top-level codes are numbers from 10
// on; of a longer list one top-level group is empty and one has a letter
// code.
std::vector<TGroup> MakeGroups(TRandom& random, const TPools& pools,
                               const std::vector<std::string>& names,
                               std::int64_t topLevel, std::int64_t firstId) {
  std::vector<TGroup> groups;
  std::int64_t id = firstId;
  for (std::int64_t g = 0; g < topLevel; ++g) {
    const std::int64_t topId = id++;
    const auto slot = static_cast<std::size_t>(g);
    std::string code = std::to_string(10 + g);
    std::string name = names[slot % names.size()];
    if (slot >= names.size())
      name += " " + std::to_string(slot / names.size() + 1);
    if (g == topLevel - 1 && topLevel > 3) code = "OW";
    const bool empty = g == topLevel - 2 && topLevel > 3;
    groups.push_back({topId, 0, code, Cut(name, 20), code, name, empty});

    const std::int64_t subCount = random.Between(1, 4);
    for (std::int64_t sub = 1; sub <= subCount; ++sub) {
      const std::int64_t subId = id++;
      const std::string subCode = code + "-" + std::to_string(sub);
      const std::string& subName = random.Pick(pools.SubGroupNames);
      groups.push_back({subId, topId, std::to_string(sub), Cut(subName, 20),
                        subCode, Cut(name + " - " + subName, 100), false});
      if (random.Percent(40)) {
        groups.push_back(
            {id++, subId, "1", Cut(subName + " I", 20), subCode + "-1",
             Cut(name + " - " + subName + " - " + subName + " I", 100), false});
      }
    }
  }
  return groups;
}

void WriteGroups(TOutput& out, const std::vector<TGroup>& groups) {
  for (const TGroup& group : groups) {
    std::string& line = out.Line();
    PutInt(line, group.Id);
    PutInt(line, group.ParentId);
    Put(line, group.Code);
    Put(line, group.Name);
    Put(line, group.CompoundCode);
    Put(line, group.CompoundName);
    PutFlag(line, group.Empty);
    out.EndLine();
  }
}

struct TPerson {
  const TName* First;
  const TName* Surname;
  bool IsFemale;
  // Surnames ending in "i" take "a" in the female form.
  std::string Female(std::string surname) const {
    if (IsFemale && surname.size() > 1 && surname.back() == 'i') {
      surname.back() = 'a';
    }
    return surname;
  }
  std::string Full() const { return First->Text + " " + Female(Surname->Text); }
  std::string Email(std::int64_t number) const {
    return First->Ascii + "." + Female(Surname->Ascii) +
           std::to_string(number) + "@poczta.example.pl";
  }
};

TPerson RandomPerson(TRandom& random, const TPools& pools) {
  const bool female = random.Percent(50);
  return {&random.Pick(female ? pools.FirstNamesFemale : pools.FirstNamesMale),
          &random.Pick(pools.Surnames), female};
}

// Each random draw is a statement of its own: the operands of "+" may be
// evaluated in any order, and the bytes must not depend on the compiler.
std::string Phone(TRandom& random, const TTown& town) {
  if (random.Percent(40)) {
    std::string phone = std::to_string(random.Between(500, 799));
    phone += " " + Digits(random, 3);
    phone += " " + Digits(random, 3);
    return phone;
  }
  std::string phone = "(" + town.AreaCode + ") " + Digits(random, 3);
  phone += " " + Digits(random, 2);
  phone += " " + Digits(random, 2);
  return phone;
}

std::string PostalCode(TRandom& random, const TTown& town) {
  std::string code = town.PostPrefix;
  while (code.size() < 2) code += std::to_string(random.Below(10));
  return code + "-" + Digits(random, 3);
}

std::string Nip(TRandom& random) {
  const std::string d = Digits(random, 10);
  if (random.Percent(50)) return d;
  return d.substr(0, 3) + "-" + d.substr(3, 3) + "-" + d.substr(6, 2) + "-" +
         d.substr(8, 2);
}

void WriteContractors(TOutput& out, TRandom& random, const TPools& pools,
                      std::int64_t count) {
  const std::vector<std::int64_t> terms = {0,  7,  7,  14, 14, 14, 21,
                                           30, 30, 45, 60, 90, 120};
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t number = i + 1;
    const std::int64_t id = kContractorIdBase + number;
    const TTown& town = random.Pick(pools.Towns);
    const TPerson person = RandomPerson(random, pools);
    const int type = random.Percent(80) ? 1 : (random.Percent(70) ? 2 : 3);
    const bool privatePerson = type == 2;
    const std::string& shopName = random.Pick(pools.ShopNames);

    std::string fullName;
    if (privatePerson) {
      fullName = person.Full();
    } else {
      fullName = random.Pick(pools.Shops) + " \x84" + shopName + "\x94";
      // About half of the names carry the owner on a second line, some the
      // town on a third.
      if (random.Percent(50)) fullName += "^" + person.Full();
      if (random.Percent(15)) fullName += "^" + town.Name;
    }
    // The payer is usually the contractor itself, sometimes an earlier one.
    std::int64_t payer = number;
    if (number > 10 && random.Percent(10)) {
      payer = random.Between(1, number - 1);
    }
    const bool blocked = random.Percent(3);

    std::string& line = out.Line();
    PutInt(line, id);
    PutInt(line, number);
    Put(line, Cut(Upper(privatePerson ? person.Surname->Text : shopName) + " " +
                      Upper(town.Name),
                  25));
    Put(line, privatePerson ? std::string() : Nip(random));
    Put(line, fullName);
    Put(line, Phone(random, town));
    Put(line, random.Percent(10) ? Phone(random, town) : std::string());
    Put(line, random.Percent(60) ? person.Email(number) : std::string());
    Put(line, random.Percent(15) ? "www." + person.Surname->Ascii + "-" +
                                       std::to_string(number) + ".example.pl"
                                 : std::string());
    PutInt(line, random.Pick(terms));
    PutInt(line, random.Percent(85) ? 0 : random.Between(1, 14));
    PutFlag(line, true);
    PutFlag(line, random.Percent(5));
    PutInt(line, kContractorIdBase + payer);
    PutInt(line, payer);
    // A few live in a village that the town's post office serves.
    const bool village = random.Percent(8);
    Put(line, village ? random.Pick(pools.Villages) : town.Name);
    Put(line, PostalCode(random, town));
    Put(line, town.Name);
    Put(line, random.Pick(pools.Streets));
    std::string house = std::to_string(random.Between(1, 250));
    if (random.Percent(10)) house += "A";
    Put(line, house);
    Put(line, random.Percent(35) ? std::to_string(random.Between(1, 120)) : "");
    Put(line, village ? town.County : random.Pick(town.Districts));
    Put(line, town.County);
    Put(line, privatePerson || random.Percent(30) ? std::string()
                                                  : Digits(random, 9));
    Put(line, privatePerson ? Digits(random, 11) : std::string());
    Put(line, random.Pick(pools.Payments));
    PutInt(line, 100 + random.Between(0, 4));
    Put(line, "PLN");
    const bool credit = random.Percent(40);
    const std::int64_t limit = credit ? random.Between(10, 500) * 10000 : 0;
    PutMoney(line, limit / 4);
    PutMoney(line, limit);
    const std::vector<std::int64_t> discounts = {0,   0,   0,    0,    150, 250,
                                                 300, 500, 1000, 1234, -200};
    PutMoney(line, random.Pick(discounts));
    PutFlag(line, blocked);
    PutInt(line, type);
    PutInt(line, random.Between(1, 5));
    Put(line, random.Percent(10) ? random.Pick(pools.Notes) : std::string());
    PutMoney(line, credit ? random.Between(0, 200000) : 0);
    out.EndLine();
  }
}

// One of the five price blocks: net, gross, "from net", rounding, mark-up
// and margin.
void PutPriceBlock(std::string& line, TRandom& random, std::int64_t netCents,
                   int vatPercent) {
  const std::int64_t gross = (netCents * (100 + vatPercent) + 50) / 100;
  PutMoney(line, netCents);
  PutMoney(line, gross);
  PutFlag(line, random.Percent(90));
  PutInt(line, 2);
  PutMoney(line, random.Between(0, 4000));
  PutMoney(line, random.Between(0, 3500));
}

int VatPercent(std::string_view vat) {
  if (vat == "23%") return 23;
  if (vat == "8%") return 8;
  if (vat == "5%") return 5;
  return 0;
}

void WriteGoods(TOutput& out, TRandom& random, const TPools& pools,
                std::int64_t count, const std::vector<TGroup>& groups1,
                const std::vector<TGroup>& groups2) {
  const std::vector<std::string> jmVariants = {"szt.", "szt.", "op.", "kg"};
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t id = i + 1;
    const TProduct& product = random.Pick(pools.Products);
    const std::string& size = random.Pick(product.Sizes);
    const std::string& producer = random.Pick(pools.Producers);
    const bool packaging = random.Percent(3);

    std::string index = product.IndexPrefix + "-" + std::to_string(id);
    // Some indexes are longer than the older device layout holds, a few
    // longer than either holds.
    if (random.Percent(2)) {
      index = product.IndexPrefix + "-" + Upper(Cut(producer, 8)) + "-" +
              std::to_string(id);
      while (index.size() < 16) index += "X";
    } else if (random.Percent(1)) {
      index =
          product.IndexPrefix + "-DLUGI-INDEKS-DOSTAWCY-" + std::to_string(id);
    }
    std::string name = product.Name;
    if (!size.empty()) name += " " + size;
    std::string vat = product.Vat;
    if (vat == "zw" && random.Percent(50)) vat = "ZW";
    if (random.Percent(2)) vat = " " + vat + " ";

    std::string& line = out.Line();
    PutInt(line, id);
    PutInt(line, packaging ? 2 : 1);
    if (packaging) {
      index = "OPAK-" + std::to_string(id);
      name = platform::Utf8ToCp1250("Opakowanie zwrotne – skrzynka");
      vat = "23%";
    }
    Put(line, index);
    Put(line, Cut(name, 35));
    Put(line, packaging ? name : name + "^" + producer);
    Put(line, vat);
    Put(line, random.Percent(90) ? product.Unit : random.Pick(jmVariants));
    Put(line, "");
    Put(line, random.Percent(85) ? product.Pkwiu : std::string());
    const std::int64_t stock =
        random.Percent(10) ? 0 : random.Between(1, 500000);
    PutQuantity(line, stock);
    std::int64_t net = product.NetCents * random.Between(80, 125) / 100;
    net += random.Between(0, 9);
    const int vatPercent = VatPercent(product.Vat);
    PutPriceBlock(line, random, net, vatPercent);
    PutPriceBlock(line, random, net * 97 / 100, vatPercent);
    const bool inCase = random.Percent(30);
    PutInt(line, inCase ? count + 1 : 0);
    Put(line, inCase ? "ZGR-12" : "");
    PutQuantity(line, inCase ? 12000 : 0);
    Put(line, random.Pick(pools.Features));
    PutPriceBlock(line, random, net * 94 / 100, vatPercent);
    PutPriceBlock(line, random, net * 91 / 100, vatPercent);
    PutPriceBlock(line, random, net * 110 / 100, vatPercent);
    const TGroup* group1 = groups1.empty() ? nullptr : &random.Pick(groups1);
    const TGroup* group2 = groups2.empty() ? nullptr : &random.Pick(groups2);
    PutInt(line, group1 ? group1->Id : 0);
    PutInt(line, group2 ? group2->Id : 0);
    const bool limits = random.Percent(60);
    PutQuantity(line, limits ? random.Between(1, 50) * 1000 : 0);
    PutQuantity(line, limits ? random.Between(60, 600) * 1000 : 0);
    Put(line, random.Percent(70) ? Ean13(random) : std::string());
    PutMoney(line, net * random.Between(70, 90) / 100);
    Put(line, group1 ? group1->CompoundCode : std::string());
    Put(line,
        group2 && random.Percent(90) ? group2->CompoundCode : std::string());
    PutQuantity(line, stock * 95 / 100);
    Put(line, random.Percent(5)
                  ? platform::Utf8ToCp1250("Przechowywać w suchym miejscu^"
                                           "Chronić przed światłem")
                  : std::string());
    out.EndLine();
  }
}

void WriteSettlements(TOutput& out, TRandom& random, const TPools& pools,
                      std::int64_t count, std::int64_t contractors) {
  const std::int64_t known = contractors > 0 ? contractors : 1000;
  // 1 Jan 2022 .. 31 Dec 2025, as days from 1 Jan 1970.
  constexpr std::int64_t kFirstDay = 18993;
  constexpr std::int64_t kLastDay = 20453;
  const std::vector<std::int64_t> terms = {0, 7, 14, 14, 21, 30, 30, 60};
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t contractor = random.Between(1, known);
    const std::string& code = random.Pick(pools.DocumentCodes);
    const std::int64_t day = random.Between(kFirstDay, kLastDay);
    const std::int64_t amount = random.Between(500, 2500000);
    const std::int64_t open =
        random.Percent(60) ? amount : amount * random.Between(5, 95) / 100;
    const bool recipient = random.Percent(5);
    const std::int64_t recipientNumber =
        recipient ? random.Between(1, known) : 0;

    std::string& line = out.Line();
    PutInt(line, i + 1);
    PutInt(line, random.Percent(92) ? 1 : 2);
    Put(line, random.Percent(88) ? "T" : (random.Percent(50) ? "N" : ""));
    PutInt(line, kContractorIdBase + contractor);
    PutInt(line, contractor);
    Put(line, code);
    std::string serial = std::to_string(i % 100000 + 1);
    while (serial.size() < 5) serial.insert(serial.begin(), '0');
    const std::string date = DateText(day);
    Put(line, Upper(code) + "/" + serial + "/" + date.substr(0, 4));
    Put(line, date);
    // A few documents have no due date.
    Put(line,
        random.Percent(2) ? std::string() : DateText(day + random.Pick(terms)));
    PutMoney(line, amount);
    PutMoney(line, open);
    PutInt(line, recipient ? kContractorIdBase + recipientNumber : 0);
    PutInt(line, recipientNumber);
    out.EndLine();
  }
}

void WriteConfiguration(TOutput& out) {
  const auto cp = [](std::string_view s) { return platform::Utf8ToCp1250(s); };
  std::string& line = out.Line();
  PutInt(line, 7);
  Put(line, cp("Wiśniewski Jan Paweł"));
  PutInt(line, 3);
  Put(line, "PH03");
  Put(line, cp("Hurtownia Spożywcza „Złoty Kłos”"));
  Put(line, cp("Spółka z ograniczoną odpowiedzialnością"));
  Put(line, cp("Wólka"));
  Put(line, "20-001");
  Put(line, "Lublin");
  Put(line, cp("Leśna"));
  Put(line, "7");
  Put(line, "2");
  Put(line, "946-25-75-811");
  Put(line, "431029142");
  PutInt(line, 1);
  Put(line, "MS1");
  Put(line, "A03");
  Put(line, "(81) 532 12 34");
  out.EndLine();
}

void WriteBanks(TOutput& out) {
  const auto cp = [](std::string_view s) { return platform::Utf8ToCp1250(s); };
  const std::array<std::array<std::string, 5>, 3> accounts = {{
      {"10201026", cp("PKO Bank Polski S.A. O/Lublin"), "1",
       cp("Rachunek główny"), "12 1020 1026 0000 1234 5678 9012"},
      {"11602202", cp("Bank Spółdzielczy w Łęcznej"), "2", "Rachunek VAT",
       "34 1160 2202 0000 0001 2345 6789"},
      {"19401076", cp("Bank Zachodni Oddział w Żorach"), "3",
       "Rachunek walutowy EUR", "PL56 1940 1076 0000 0000 9876 5432"},
  }};
  for (const auto& account : accounts) {
    std::string& line = out.Line();
    for (const std::string& value : account) Put(line, value);
    out.EndLine();
  }
}

// ---------------------------------------------------------------------------
// Command line.

struct TOptions {
  std::string OutDir;  // Windows-1250, as the file layer takes paths
  TCounts Counts;
  std::string Seed = "forbook";
  std::vector<std::string> Only;
};

bool Wanted(const TOptions& options, std::string_view file) {
  if (options.Only.empty()) return true;
  for (const std::string& name : options.Only) {
    if (name == file) return true;
  }
  return false;
}

void Usage() {
  std::fputs(
      "usage: forbook-gen-host --out DIR [--contractors N] [--goods N]\n"
      "         [--settlements N] [--groups1 N] [--groups2 N] [--seed TEXT]\n"
      "         [--only kontrahent,kartoteka,doknieroz,grkart1,grkart2,\n"
      "                 konfiguracja,bank]\n",
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
    } else if (arg == "--only") {
      std::string_view rest = value;
      while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        options.Only.emplace_back(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view()
                                               : rest.substr(comma + 1);
      }
    } else if (arg == "--contractors") {
      count = &options.Counts.Contractors;
    } else if (arg == "--goods") {
      count = &options.Counts.Goods;
    } else if (arg == "--settlements") {
      count = &options.Counts.Settlements;
    } else if (arg == "--groups1") {
      count = &options.Counts.Groups1;
    } else if (arg == "--groups2") {
      count = &options.Counts.Groups2;
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
    std::fprintf(stderr, "cannot create %s\n", argv[2]);
    return 1;
  }
  const TPools pools = MakePools();
  const TCounts& counts = options.Counts;
  bool written = true;

  const auto write = [&](std::string_view stem, const auto& body) {
    if (!Wanted(options, stem)) return;
    TOutput out(dir + "/" + std::string(stem) + ".txt");
    if (!out.Opened()) {
      std::fprintf(stderr, "cannot create %s.txt\n", std::string(stem).c_str());
      written = false;
      return;
    }
    TRandom random(options.Seed, stem);
    body(out, random);
    if (!out.Finish()) {
      std::fprintf(stderr, "cannot write %s.txt\n", std::string(stem).c_str());
      written = false;
      return;
    }
    std::printf("%-18s %10llu lines\n", (std::string(stem) + ".txt").c_str(),
                static_cast<unsigned long long>(out.Lines()));
  };

  // The goods refer to the groups, so both lists are made whether or not
  // their files are wanted; each comes from its own random stream.
  TRandom random1(options.Seed, "grkart1");
  TRandom random2(options.Seed, "grkart2");
  const std::vector<TGroup> groups1 =
      MakeGroups(random1, pools, pools.GroupNames1, counts.Groups1, 1);
  const std::vector<TGroup> groups2 =
      MakeGroups(random2, pools, pools.GroupNames2, counts.Groups2, 10001);

  write("kontrahent", [&](TOutput& out, TRandom& random) {
    WriteContractors(out, random, pools, counts.Contractors);
  });
  write("kartoteka", [&](TOutput& out, TRandom& random) {
    WriteGoods(out, random, pools, counts.Goods, groups1, groups2);
  });
  write("doknieroz", [&](TOutput& out, TRandom& random) {
    WriteSettlements(out, random, pools, counts.Settlements,
                     counts.Contractors);
  });
  write("grkart1", [&](TOutput& out, TRandom&) { WriteGroups(out, groups1); });
  write("grkart2", [&](TOutput& out, TRandom&) { WriteGroups(out, groups2); });
  write("konfiguracja",
        [&](TOutput& out, TRandom&) { WriteConfiguration(out); });
  write("bank", [&](TOutput& out, TRandom&) { WriteBanks(out); });
  return written ? 0 : 1;
}
