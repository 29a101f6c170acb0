#include "core/uKonfig.h"

#include "core/Controls.h"
#include "core/Uglobal.h"
#include "core/Umessages.h"
#include "core/Uprogramparams.h"
#include "core/Uversionsmanager.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace bridge {
namespace {

constexpr std::string_view kSection = "MAIN";
constexpr std::size_t kMaxNameLength = 1000;

#ifdef _WIN32
constexpr std::string_view kDefaultCatalog = "C:\\FORBOOK";
#else
constexpr std::string_view kDefaultCatalog = "/srv/forbook";
#endif

void AddCatalogue(TRecParams& p) {
  p.Add("KATALOG", "Katalog (DBF)", kDefaultCatalog);
  p.Add("WERSJA", "Wersja", "1.7.0");
  p.Add("NR_FK", "Ostatni numer dok. FK", "0");
  p.Add("NR_PA", "Ostatni numer dok. PA", "0");
  p.Add("NR_DD", "Ostatni numer dok. DD", "0");
  p.Add("NR_ZA", "Ostatni numer dok. ZA", "0");
  p.Add("NR_KP", "Ostatni numer dok. KP", "0");
  p.Add("CENA", Cp1250(u8"Cena domyślna (0, 1..5)").view(), "0");
  p.Add("CENA_MIN", "Cena minimalna", "0");
  p.Add("GRUPA_CEN_JAKO", "Wysylka towarow : grupa_cen", "0");
  p.Add("RABAT_TOW", "Maksymalny % rabatu na pozycji ", "0");
  p.Add("RABAT_WART", "Rabaty w poz. licz. od wartosci,nie ceny", "0");
  p.Add("SPRZ_MINUS", "Zezwol. na sprzedaz ponizej stanu", "0");
  p.Add("WZOR_NUM", "Szablon numeru dokumentu", "%N");
  p.Add("NR_KONTA", "Nr (Kod) banku firmy", "");
  p.Add("BACKUP", Cp1250(u8"Wykonywac archiwizacje plików").view(), "1");
  p.Add("EAN_SKROT", Cp1250(u8"Wpisz EAN jako SKRÓT").view(), "0");
  p.Add("SPRZ_STOPA", "Stopka na wydrukach", "");
  p.Add("SPRZ_INFO", "Sprzedawca - info", "");
  p.Add("NR_KW", "Ostatni numer dok. KW", "0");
  p.Add("NR_ZW", "Ostatni numer dok. ZW", "0");
  p.Add("NR_PZ", "Ostatni numer dok. PZ", "0");
  p.Add("MAX_POZ", "Maksymalna ilosc pozycji na dok. ", "0");
  p.Add("MAX_ILOSC", "Maksymalna zamawiana ilosc", "999999.999");
  p.Add("FILTR_TOW", "Domyslny filtr na towary", "");
  p.Add("DOK_LIMIT", Cp1250(u8"Typ dok. nie wliczanych do limitów").view(), "");
  p.Add("LICZNIK", Cp1250(u8"Pytaj o stan licznika kilometrów").view(), "");
  p.Add("VANSEL_ZAM", Cp1250(u8"Wystawianie zamówien w vansellingu").view(),
        "");
  p.Add("BLOK_V_FK", "Vanselling - blokada wystawiania FK", "");
  p.Add("BLOK_V_PA", "Vanselling - blokada wystawiania PA", "");
  p.Add("BLOK_V_DD", "Vanselling - blokada wystawiania DD", "");
  p.Add("BLOK_V_ZW", "Vanselling - blokada wystawiania ZW", "");
  p.Add("BLOK_V_PZ", "Vanselling - blokada wystawiania PZ", "");
  p.Add("BLOK_P_FK", "Forbooking - blokada wystawiania FK", "");
  p.Add("BLOK_P_PA", "Forbooking - blokada wystawiania PA", "");
  p.Add("BLOK_P_DD", "Forbooking - blokada wystawiania DD", "");
  p.Add("BLOK_KP", "Blokada wystawiania KP", "");
  p.Add("BLOK_KW", "Blokada wystawiania KW", "");
  p.Add("BLOK_ROZL", Cp1250(u8"Blokada rozliczania kontrahentów").view(), "");
  p.Add("BLOK_INFO", "Blokada synchronizacji info globalne", "");
  p.Add("BLOK_NPKP", "Blokada niepowiazanych KP", "");
  p.Add("BLOK_NPKW", "Blokada niepowiazanych KW", "");
  p.Add("BRAK_LIMIT", Cp1250(u8"Ignoruj limity kredytowe kontrahentów").view(),
        "");
  p.Add("AUTO_KP", "Autom. wystawianie KP", "");
  p.Add("UKRYJ_MARZ", "Nie pokazuj marzy", "");
  p.Add("MARZA", Cp1250(u8"Sposób pokazywania marzy").view(), "");
  p.Add("POP_DOK", Cp1250(u8"Zezwalaj na poprawe dokumentów").view(), "T");
  p.Add("POP_DR_DOK",
        Cp1250(u8"Zezwalaj na poprawe wydrukowanych dokumentów").view(), "T");
  p.Add("KAS_DOK", Cp1250(u8"Zezwalaj na kasowanie dokumentów").view(), "T");
  p.Add("KAS_DR_DOK",
        Cp1250(u8"Zezwalaj na kasowanie wydrukowanych dokumentów").view(), "T");
  p.Add("KAS_DOKK",
        Cp1250(u8"Zezwalaj na kasowanie dokumentów kasowych").view(), "T");
  p.Add("BRUTTO", Cp1250(u8"Dokumenty domyślne wystawiane od brutto").view(),
        "");
  p.Add("V_FK_BRUT", "Vanselling - FK i ZA liczone od brutto", "");
  p.Add("V_PA_BRUT", "Vanselling - PA i ZA liczone od brutto", "");
  p.Add("V_DD_BRUT", "Vanselling - DD i ZA liczone od brutto", "");
  p.Add("V_ZW_BRUT", "Vanselling - ZW liczone od brutto", "");
  p.Add("V_PZ_BRUT", "Vanselling - PZ liczone od brutto", "");
  p.Add("P_FK_BRUT", "Forbooking - ZA dla FK liczone od brutto", "");
  p.Add("P_PA_BRUT", "Forbooking - ZA dla PA liczone od brutto", "");
  p.Add("P_DD_BRUT", "Forbooking - DD dla PA liczone od brutto", "");
  p.Add("SF_PZ", "PZ - drukowane jako samofakturowanie", "");
  p.Add("SF_ZW", "ZW - drukowane jako samofakturowanie", "");
  p.Add("STAN_LOG", "Praca na stanach logicznych", "");
  p.Add("NUM_DRUK", Cp1250(u8"Wlaczenie numeracji wydruków").view(), "");
  p.Add("FISK_NAZWA", "Drukowanie pelnej nazwy na paragonach", "");
  p.Add("SPRZ_ID", "Numer kontrahenta sprzedawca", "");
  p.Add("WIZYTY", "Wizyty", "");
  p.Add("VANSELLING", "Tryb pracy", "");
  p.Add("ILE_FIRM", "Dopuszczalna ilosc firm", "");
  p.Add("WYMUS_ROZL", Cp1250(u8"Wymuszenie pokazywania rozrachunków").view(),
        "");

  p.AddChoiceList("VANSELLING", "0 - forbooking;1 - vanseling;2 - vendig");
  p.AddChoiceList("WERSJA", LayoutNameOf(1) + ";" + LayoutNameOf(2));
  p.AddChoiceList("CENA", "0;1;2;3;5");
  p.AddChoiceList("FILTR_TOW", ";N;P;S;W");
  p.AddChoiceList("CENA_MIN", "Z;0;1;2;3;4;5");
  p.AddChoiceList("GRUPA_CEN_JAKO", "Brak;Grupa 1;Grupa 2");
}

// Windows takes these names, alone or with an extension, for its devices,
// and drops a final dot or blank from every name: the device's directories
// would be a device, or another device's directories. They are refused on
// every system, so that a site's directories can move between them.
bool IsReservedOnWindows(std::string_view name) {
  if (name.ends_with('.') || name.ends_with(' ')) return true;
  std::string_view stem = name.substr(0, name.find('.'));
  while (stem.ends_with(' ')) stem.remove_suffix(1);
  const std::string upper = UpperCase(stem);
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") {
    return true;
  }
  return upper.size() == 4 &&
         (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

// A device name is used as one directory name, so it may hold nothing that
// leads out of its directory or that no file name may hold.
bool IsValidDeviceName(std::string_view name) {
  if (name == "." || name == ".." || IsReservedOnWindows(name)) return false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) return false;
    switch (c) {
      case '/':
      case '\\':
      case ':':
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}

std::string NormalDeviceName(std::string_view deviceName) {
  std::string name = Trim(deviceName);
  if (name.starts_with("KU:")) name = name.substr(3, kMaxNameLength);
  return name;
}

namespace {

std::unique_ptr<TConfigFile>& Slot() {
  static std::unique_ptr<TConfigFile> file;
  return file;
}

}  // namespace

std::string NormalizeKey(std::string_view key) { return UpperCase(Trim(key)); }

TRecParams::TRecParams() { AddCatalogue(*this); }

void TRecParams::Add(std::string_view key, std::string_view description,
                     std::string_view defaultValue) {
  std::string normalized = NormalizeKey(key);
  FIndex.emplace(normalized, FParams.Count());
  FParams.Add(std::make_unique<TRecParam>(
      TRecParam{std::move(normalized), std::string(description),
                std::string(defaultValue)}));
}

void TRecParams::AddChoiceList(std::string_view key, std::string_view items) {
  std::string normalized = NormalizeKey(key);
  for (const auto& choice : FChoices) {
    if (choice->Key == normalized) return;
  }
  FChoices.Add(std::make_unique<TComboItem>(
      TComboItem{std::move(normalized), std::string(items)}));
}

TRecParam* TRecParams::Find(std::string_view key) const {
  const auto it = FIndex.find(NormalizeKey(key));
  return it == FIndex.end() ? nullptr : FParams.Item(it->second);
}

TRecParam& TRecParams::Get(std::string_view key) const {
  TRecParam* param = Find(key);
  if (param == nullptr) {
    throw EBridgeError(std::string(kUnknownKey.view()) + std::string(key));
  }
  return *param;
}

void TRecParams::ResetToDefaults() {
  const TRecParams fresh;
  for (const auto& param : FParams) {
    const TRecParam* original = fresh.Find(param->Key);
    param->Value = original != nullptr ? original->Value : "";
  }
}

std::string TRecParams::PlaceholderText(std::string_view caption) const {
  if (caption.size() <= 2) return "";
  if (caption.front() != '<' || caption.back() != '>') return "";
  const TRecParam* param = Find(caption.substr(1, caption.size() - 2));
  return param != nullptr ? param->Description : "";
}

std::string KeyFromHint(std::string_view hint) {
  if (hint.size() <= 2) return "";
  return std::string(hint.substr(1, hint.size() - 2));
}

namespace {

// The device's file appears whole or not at all, and only when no other
// job has given the device its file meanwhile; that one is no failure.
void CopyTemplate(const std::string& templatePath,
                  const std::string& devicePath) {
  int errorCode = 0;
  if (!platform::CopyFileDurably(templatePath, devicePath, errorCode,
                                 platform::TExisting::kKeep) &&
      !platform::FileExists(devicePath)) {
    throw EBridgeError(std::string(kTemplateCopyFailed.view()) + templatePath +
                       "->" + devicePath);
  }
}

}  // namespace

void WriteDefaults(std::string_view path) {
  const TRecParams fresh;
  TIniFile ini{std::string(path)};
  TIniFile::TEntries entries;
  for (std::size_t i = 0; i < fresh.Count(); ++i) {
    entries.emplace_back(fresh.Item(i)->Key, fresh.Item(i)->Value);
  }
  ini.WriteStrings(kSection, entries);
}

TConfigFile::TConfigFile()
    : TConfigFile(platform::System().ExecutablePath, GetDeviceArg()) {}

TConfigFile::TConfigFile(std::string_view exePath, std::string_view deviceName,
                         TAccess access)
    : FParams(std::make_unique<TRecParams>()),
      FExeDir(platform::ExtractFileDir(exePath)),
      FCfgName(
          platform::ChangeFileExt(platform::ExtractFileName(exePath), ".cfg")) {
  if (access == TAccess::kInspect) {
    Inspect(deviceName);
  } else {
    Open(deviceName);
  }
}

std::string TConfigFile::BindName(std::string_view deviceName) {
  FIniFile.reset();
  const std::string name = NormalDeviceName(deviceName);
  FDeviceName = name;
  if (!IsValidDeviceName(name)) {
    throw EBridgeError(std::string(kBadDeviceName.view()) + name);
  }
  const char delimiter = platform::kPathDelimiter;
  return FExeDir + delimiter + name + delimiter + FCfgName;
}

void TConfigFile::LoadValues(const TIniFile& file) {
  FParams->ResetToDefaults();
  for (std::size_t i = 0; i < FParams->Count(); ++i) {
    TRecParam& param = *FParams->Item(i);
    param.Value = file.ReadString(FSection, param.Key, param.Value);
  }
}

void TConfigFile::Inspect(std::string_view deviceName) {
  const std::string devicePath = BindName(deviceName);
  FFileName.clear();
  const std::string templatePath =
      FExeDir + platform::kPathDelimiter + FCfgName;
  // A missing file reads empty, which leaves the defaults.
  LoadValues(
      TIniFile(platform::FileExists(devicePath) ? devicePath : templatePath));
}

void TConfigFile::Open(std::string_view deviceName) {
  const std::string devicePath = BindName(deviceName);
  const std::string deviceDir =
      platform::ExtractFileDir(devicePath) + platform::kPathDelimiter;
  const std::string templatePath =
      FExeDir + platform::kPathDelimiter + FCfgName;
  const auto existing = platform::ProbePath(devicePath);
  if (!existing) {
    throw EBridgeError(std::string(kReadFailed.view()) + devicePath);
  }
  if (*existing != platform::TPathKind::kFile) {
    if (!platform::DirectoryExists(deviceDir) &&
        !platform::CreateDir(deviceDir)) {
      throw EBridgeError(std::string(kCannotMakeDir.view()) + deviceDir);
    }
    const auto templateKind = platform::ProbePath(templatePath);
    if (!templateKind) {
      throw EBridgeError(std::string(kReadFailed.view()) + templatePath);
    }
    if (*templateKind == platform::TPathKind::kFile) {
      CopyTemplate(templatePath, devicePath);
    } else {
      WriteDefaults(templatePath);
      WriteDefaults(devicePath);
    }
  }
  FFileName = devicePath;
  FIniFile = std::make_unique<TIniFile>(devicePath);
  LoadValues(*FIniFile);
  WriteAll();
}

void TConfigFile::WriteAll() {
  TIniFile::TEntries entries;
  entries.reserve(FParams->Count());
  for (std::size_t i = 0; i < FParams->Count(); ++i) {
    entries.emplace_back(FParams->Item(i)->Key, FParams->Item(i)->Value);
  }
  FIniFile->WriteStrings(FSection, entries);
}

void TConfigFile::Save() {
  if (Trim(FDeviceName).empty() || !FIniFile) return;
  WriteAll();
}

void TConfigFile::RemoveAbandonedTemporaries() const {
  // Jobs of other devices and the editor write these files too, so only
  // what processes that have ended left goes; what cannot be removed stays
  // for a later attempt.
  const auto sweep = [this](const std::string& directory) {
    const auto temporaries = platform::ListTemporaries(directory);
    if (!temporaries) return;
    for (const platform::TTemporary& temporary : *temporaries) {
      if (temporary.Target == FCfgName && temporary.Abandoned()) {
        static_cast<void>(platform::RemoveFile(temporary.Path));
      }
    }
  };
  sweep(FExeDir);
  if (!FFileName.empty()) sweep(platform::ExtractFileDir(FFileName));
}

std::string TConfigFile::GetValue(std::string_view key) const {
  return FParams->Get(key).Value;
}

void TConfigFile::SetValue(std::string_view key, std::string_view value) {
  FParams->Get(key).Value = std::string(value);
}

void TConfigFile::LoadControls(TControl& container) const {
  for (const auto& child : container.Children()) {
    if (auto* edit = dynamic_cast<TEdit*>(child.get())) {
      const TRecParam* param = FParams->Find(KeyFromHint(edit->Hint()));
      edit->SetText(param != nullptr ? param->Value : "");
    } else if (auto* check = dynamic_cast<TCheckBox*>(child.get())) {
      const TRecParam* param = FParams->Find(KeyFromHint(check->Hint()));
      check->SetChecked(param != nullptr && IsYes(param->Value));
    } else {
      LoadControls(*child);
    }
  }
}

void TConfigFile::StoreControls(const TControl& container) {
  for (const auto& child : container.Children()) {
    if (const auto* edit = dynamic_cast<const TEdit*>(child.get())) {
      SetValue(KeyFromHint(edit->Hint()), edit->Text());
    } else if (const auto* check =
                   dynamic_cast<const TCheckBox*>(child.get())) {
      SetValue(KeyFromHint(check->Hint()), check->Checked() ? "1" : "0");
    } else {
      StoreControls(*child);
    }
  }
}

void TConfigFile::ApplyCaptions(TControl& container) const {
  for (const auto& child : container.Children()) {
    TControl& control = *child;
    if (dynamic_cast<TLabel*>(&control) != nullptr ||
        dynamic_cast<TCheckBox*>(&control) != nullptr) {
      const std::string text = FParams->PlaceholderText(control.Caption());
      if (!text.empty()) control.SetCaption(text);
    }
    ApplyCaptions(control);
  }
}

TConfigFile& ConfigFile() {
  if (!Slot()) throw EBridgeError(std::string(kNoConfiguration.view()));
  return *Slot();
}

void CreateConfigFile() { Slot() = std::make_unique<TConfigFile>(); }

std::unique_ptr<TConfigFile> SetConfigFile(std::unique_ptr<TConfigFile> file) {
  std::swap(Slot(), file);
  return file;
}

}  // namespace bridge
