#include "config/uMain2.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "core/Uglobal.h"
#include "core/Uprogramparams.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace bridge {
namespace {

inline constexpr auto kFormCaption = Cp1250(u8"Edycja parametrów");
inline constexpr auto kSaveQuestion =
    Cp1250(u8"Zapisać wprowadzone zmiany do konfiguracji ");
inline constexpr auto kBadFormat = Cp1250(u8"Niepoprawny format danych");
inline constexpr auto kRabatTooBig = Cp1250(u8"Wartość musi mniejsza niż 100");
inline constexpr auto kMaxPozRange =
    Cp1250(u8"Wartość musi należeć do przedziału <0..9999>");
inline constexpr auto kMaxIloscTooBig =
    Cp1250(u8"Wartość nie może być większa niż 999 999.999");
inline constexpr auto kPickerTitle = Cp1250(u8"Wybór katalogu");
inline constexpr auto kNotBound =
    Cp1250(u8"Zmian nie zapisano, bo nie otwarto konfiguracji urządzenia ");

// The controls that layout "1.7.0" leaves open to change.
constexpr std::string_view kAllowedIn170[] = {
    "eDir",       "sbSelectDir", "cVersions", "cPriceMin", "eNR_FK",
    "eNR_PA",     "eNR_DD",      "eNR_ZA",    "eNR_KP",    "eRabat",
    "cSprzMinus", "eWzor",       "eNrKonta",  "cBackup",   "cEAN"};

bool AllowedIn170(std::string_view name) {
  return std::find(std::begin(kAllowedIn170), std::end(kAllowedIn170), name) !=
         std::end(kAllowedIn170);
}

std::string Placeholder(std::string_view key) {
  return "<" + std::string(key) + ">";
}

// A parameter's value as the list boxes compare it.
std::string Normalized(std::string_view key) {
  return UpperCase(Trim(ConfigFile().GetValue(key)));
}

TComboBox& AddList(TTabSheet& page, std::string_view name, std::string_view key,
                   std::initializer_list<std::string_view> items) {
  page.Add<TLabel>("l" + std::string(key), Placeholder(key));
  auto& list = page.Add<TComboBox>(std::string(name));
  list.SetHint(Placeholder(key));
  for (const std::string_view item : items) list.AddItem(item);
  return list;
}

TEdit& AddEdit(TTabSheet& page, std::string_view name, std::string_view key,
               std::size_t maxLength = 0) {
  page.Add<TLabel>("l" + std::string(key), Placeholder(key));
  auto& edit = page.Add<TEdit>(std::string(name));
  edit.SetHint(Placeholder(key));
  edit.SetMaxLength(maxLength);
  return edit;
}

void AddCheckBox(TTabSheet& page, std::string_view name, std::string_view key) {
  auto& check = page.Add<TCheckBox>(std::string(name), Placeholder(key));
  check.SetHint(Placeholder(key));
}

// Every edit's change and every check box's click.
void BindModifiers(TControl& container, const std::function<void()>& handler) {
  for (const auto& child : container.Children()) {
    if (auto* edit = dynamic_cast<TEdit*>(child.get())) {
      edit->OnChange = handler;
    } else if (auto* check = dynamic_cast<TCheckBox*>(child.get())) {
      check->OnClick = handler;
    } else {
      BindModifiers(*child, handler);
    }
  }
}

TEditorScreen& Screen() {
  static TEditorScreen screen;
  return screen;
}

}  // namespace

TFMain2::TFMain2() : FForm("FMain2", kFormCaption.str()) {
  Build();
  // Once the controls exist the timer runs, and the dialog always opens on
  // its first tab.
  FControls.Timer->SetEnabled(true);
  FControls.PC->SetActivePage(*FControls.TabSheet1);
}

void TFMain2::ThrowNoControl(std::string_view name) {
  throw std::logic_error("TFMain2 has no such control: " + std::string(name));
}

void TFMain2::Build() {
  TFMain2Controls& c = FControls;
  auto& label1 = FForm.Add<TLabel>("Label1", "&Urzadzenie");
  c.CDevices = &FForm.Add<TComboBox>("CDevices");
  c.CDevices->SetSorted(true);
  c.CDevices->SetDropDownCount(10);
  label1.SetFocusControl(c.CDevices);

  c.PC = &FForm.Add<TPageControl>("PC");
  c.TabSheet1 = &c.PC->Add<TTabSheet>("TabSheet1", Cp1250(u8"Glówne").str());
  c.TabSheet4 = &c.PC->Add<TTabSheet>("TabSheet4", "Numeracja");
  c.TabSheet2 = &c.PC->Add<TTabSheet>("TabSheet2", "Dokumenty I");
  c.TabSheet3 = &c.PC->Add<TTabSheet>("TabSheet3", "Dokumenty II");

  TTabSheet& main = *c.TabSheet1;
  c.eDir = &AddEdit(main, "eDir", "KATALOG");
  c.sbSelectDir = &main.Add<TButton>("sbSelectDir", "...");
  c.sbSelectDir->SetTakesFocus(false);
  c.cVersions = &AddList(main, "cVersions", "WERSJA", {"1.7.0", "1.8.0"});
  c.cFirms = &AddList(main, "cFirms", "ILE_FIRM", {"1", "2", "3", "4", "5"});
  c.cVansellingMode = &AddList(main, "cVansellingMode", "VANSELLING",
                               {"forbooking", "vanseling", "vending"});
  c.cPrices = &AddList(main, "cPrices", "CENA", {"0", "1", "2", "3", "4", "5"});
  c.cPriceMin = &AddList(main, "cPriceMin", "CENA_MIN",
                         {"Ostatnia cena zakupu", "0.00", "Cena 1", "Cena 2",
                          "Cena 3", "Cena 4", "Cena 5"});
  c.eRabat = &AddEdit(main, "eRabat", "RABAT_TOW", 5);
  c.eMaxPoz = &AddEdit(main, "eMaxPoz", "MAX_POZ", 7);
  c.eMaxIlosc = &AddEdit(main, "eMaxIlosc", "MAX_ILOSC", 10);
  AddEdit(main, "Edit2", "SPRZ_ID");
  AddEdit(main, "eNrKonta", "NR_KONTA");
  AddEdit(main, "Edit1", "SPRZ_INFO").SetWide(true);
  AddEdit(main, "Edit4", "SPRZ_STOPA").SetWide(true);
  c.cAutoKP = &AddList(main, "cAutoKP", "AUTO_KP", {"Tak", "Nie", "Pytaj"});
  c.cFilter =
      &AddList(main, "cFilter", "FILTR_TOW",
               {"Brak", "Nowosc", "Promocja", "Sugerowany", "Wyprzedaz"});
  AddEdit(main, "Edit6", "DOK_LIMIT", 6);
  c.cPriceGroup = &AddList(main, "cPriceGroup", "GRUPA_CEN_JAKO",
                           {"Brak", "Grupa 1", "Grupa 2"});
  AddCheckBox(main, "cBackup", "BACKUP");
  AddCheckBox(main, "cEAN", "EAN_SKROT");

  TTabSheet& numbers = *c.TabSheet4;
  AddEdit(numbers, "eWzor", "WZOR_NUM");
  for (const std::string_view key : {"NR_FK", "NR_PA", "NR_DD", "NR_ZA",
                                     "NR_KP", "NR_KW", "NR_PZ", "NR_ZW"}) {
    c.NumberEdits.push_back(&AddEdit(numbers, "e" + std::string(key), key, 10));
  }

  constexpr std::pair<std::string_view, std::string_view> kDocuments1[] = {
      {"CheckBox121", "WIZYTY"},    {"CheckBox141", "LICZNIK"},
      {"CheckBox16", "VANSEL_ZAM"}, {"CheckBox1", "BLOK_V_FK"},
      {"CheckBox2", "BLOK_V_PA"},   {"CheckBox3", "BLOK_V_DD"},
      {"CheckBox12", "BLOK_V_ZW"},  {"CheckBox34", "BLOK_V_PZ"},
      {"CheckBox4", "BLOK_P_FK"},   {"CheckBox5", "BLOK_P_PA"},
      {"CheckBox6", "BLOK_P_DD"},   {"CheckBox8", "BLOK_KP"},
      {"CheckBox7", "BLOK_KW"},     {"CheckBox9", "BLOK_ROZL"},
      {"CheckBox10", "BRAK_LIMIT"}, {"CheckBox14", "BLOK_INFO"},
      {"CheckBox15", "BLOK_NPKP"},  {"CheckBox17", "BLOK_NPKW"},
      {"cSprzMinus", "SPRZ_MINUS"}, {"CheckBox33", "WYMUS_ROZL"}};
  for (const auto& [name, key] : kDocuments1) {
    AddCheckBox(*c.TabSheet2, name, key);
  }

  TTabSheet& documents2 = *c.TabSheet3;
  documents2.Add<TLabel>("Label24", "Marza :");
  c.cMarza = &documents2.Add<TComboBox>("cMarza");
  c.cMarza->SetHint("<MARZA>");
  for (const std::string_view item :
       {"nie pokazuj", "pokaz z towaru", "wyliczaj do ceny zakupu",
        "wyliczaj do ceny minimalnej "}) {
    c.cMarza->AddItem(item);
  }
  constexpr std::pair<std::string_view, std::string_view> kDocuments2[] = {
      {"CheckBox18", "POP_DOK"},    {"CheckBox19", "POP_DR_DOK"},
      {"CheckBox20", "KAS_DOK"},    {"CheckBox21", "KAS_DR_DOK"},
      {"CheckBox32", "KAS_DOKK"},   {"CheckBox31", "BRUTTO"},
      {"CheckBox22", "V_FK_BRUT"},  {"CheckBox23", "V_PA_BRUT"},
      {"CheckBox24", "V_DD_BRUT"},  {"CheckBox13", "V_ZW_BRUT"},
      {"CheckBox35", "V_PZ_BRUT"},  {"CheckBox26", "P_FK_BRUT"},
      {"CheckBox27", "P_PA_BRUT"},  {"CheckBox28", "P_DD_BRUT"},
      {"CheckBox29", "STAN_LOG"},   {"CheckBox25", "NUM_DRUK"},
      {"CheckBox30", "RABAT_WART"}, {"CheckBox11", "FISK_NAZWA"},
      {"cDrSamoPZ", "SF_PZ"},       {"CheckBox37", "SF_ZW"}};
  for (const auto& [name, key] : kDocuments2) {
    AddCheckBox(documents2, name, key);
  }

  c.BitBtn1 = &FForm.Add<TButton>("BitBtn1", "&Zapisz");
  c.BitBtn2 = &FForm.Add<TButton>("BitBtn2", "&Anuluj");
  c.BitBtn2->SetCancel(true);
  c.Timer = &FForm.Add<TTimer>("Timer");
  c.Timer->SetInterval(30);
  c.Timer->SetEnabled(false);

  BindModifiers(*c.PC, [this] { eDirChange(); });
  for (TComboBox* list : {c.cAutoKP, c.cFilter, c.cPriceGroup}) {
    list->OnChange = [this] { eDirChange(); };
  }
  for (TComboBox* list : {c.cVersions, c.cFirms}) {
    list->OnChange = [this] { cVersionsChange(); };
  }
  c.CDevices->OnChange = [this] { CDevicesChange(); };
  c.sbSelectDir->OnClick = [this] { sbSelectDirClick(); };
  c.BitBtn1->OnClick = [this] { BitBtn1Click(); };
  c.BitBtn2->OnClick = [this] { BitBtn2Click(); };
  c.Timer->OnTimer = [this] { TimerTimer(); };
}

void TFMain2::SetView(TFMain2View* view) {
  FView = view;
  FForm.SetObserver(view);
}

void TFMain2::FormShow() {
  if (FCaptionsApplied) return;
  ConfigFile().ApplyCaptions(FForm);
  FCaptionsApplied = true;
}

void TFMain2::TimerTimer() {
  FControls.Timer->SetEnabled(false);
  FillDevices();
}

void TFMain2::FillDevices() {
  TComboBox& devices = *FControls.CDevices;
  // Items and the index are set from code here, which raises no change
  // event; the handler runs once, at the end.
  devices.ClearItems();
  std::vector<std::string> names;
  for (const platform::TDirEntry& entry :
       platform::ListDirectory(ConfigFile().ExeDir())
           .value_or(std::vector<platform::TDirEntry>{})) {
    if (entry.IsDirectory) names.push_back(entry.Name);
  }
  const std::string deviceArg = GetDeviceArg();
  if (names.empty() && !deviceArg.empty()) names.push_back(deviceArg);
  for (const std::string& name : names) devices.AddItem(name);

  const auto& items = devices.Items();
  const auto exact = std::find(items.begin(), items.end(), deviceArg);
  int index = -1;
  if (exact != items.end()) {
    index = static_cast<int>(exact - items.begin());
  } else if (!items.empty()) {
    index = 0;
  }
  devices.SetItemIndex(index);
  FPrevDeviceIndex = index;
  CDevicesChange();
}

void TFMain2::CDevicesChange() {
  TComboBox& devices = *FControls.CDevices;
  if (FModified &&
      AskYesNo(kSaveQuestion.str() + ConfigFile().DeviceName() + " ?")) {
    if (!Validate() || !CanStore() || !TryStoreForm()) {
      devices.SetItemIndex(FPrevDeviceIndex);
      return;
    }
  }
  if (devices.ItemIndex() >= 0) {
    try {
      ConfigFile().Open(devices.Text());
    } catch (const EBridgeError& error) {
      // The previous device's values stay on screen and the state stays
      // as it was; with no file bound, CanStore refuses every save.
      ShowError(error.what());
      return;
    }
  }
  LoadForm();
  // Loading fired the controls' change events.
  FModified = false;
  FPrevDeviceIndex = devices.ItemIndex();
  ApplyVersionRule();
}

void TFMain2::eDirChange() { FModified = true; }

void TFMain2::cVersionsChange() { ApplyVersionRule(); }

void TFMain2::sbSelectDirClick() {
  if (const auto path = BrowseForFolder(kPickerTitle)) {
    FControls.eDir->SetText(*path);
  }
}

void TFMain2::BitBtn1Click() {
  if (Validate() && CanStore() && TryStoreForm()) Close(TModalResult::kOk);
}

void TFMain2::BitBtn2Click() { Close(TModalResult::kCancel); }

void TFMain2::LoadForm() {
  const TFMain2Controls& c = FControls;
  ConfigFile().LoadControls(FForm);

  c.cVersions->SetItemIndex(Normalized("WERSJA") == "1.7.0" ? 0 : 1);
  const std::string price = Trim(ConfigFile().GetValue("CENA"));
  int pricePosition = 0;
  if (price.size() == 1 && price[0] >= '1' && price[0] <= '5') {
    pricePosition = price[0] - '0';
  }
  c.cPrices->SetItemIndex(pricePosition);
  const std::string autoKp = Normalized("AUTO_KP");
  c.cAutoKP->SetItemIndex(autoKp == "P" ? 2 : autoKp == "T" ? 0 : 1);
  const std::string filter = Normalized("FILTR_TOW");
  constexpr std::string_view kFilterCodes[] = {"N", "P", "S", "W"};
  int filterPosition = 0;
  for (int i = 0; i < 4; ++i) {
    if (filter == kFilterCodes[i]) filterPosition = i + 1;
  }
  c.cFilter->SetItemIndex(filterPosition);
  const std::string priceMin = Normalized("CENA_MIN");
  int priceMinPosition = 1;
  if (priceMin == "Z") {
    priceMinPosition = 0;
  } else if (priceMin.size() == 1 && priceMin[0] >= '1' && priceMin[0] <= '5') {
    priceMinPosition = priceMin[0] - '0' + 1;
  }
  c.cPriceMin->SetItemIndex(priceMinPosition);
  const std::string group = Normalized("GRUPA_CEN_JAKO");
  c.cPriceGroup->SetItemIndex(group == "1" ? 1 : group == "2" ? 2 : 0);
  const std::string mode = Normalized("VANSELLING");
  c.cVansellingMode->SetItemIndex(mode == "1" ? 1 : mode == "2" ? 2 : 0);

  std::string maxIlosc = c.eMaxIlosc->Text();
  if (const std::size_t dot = maxIlosc.find('.'); dot != std::string::npos) {
    maxIlosc[dot] = SystemDecimalSeparator();
    c.eMaxIlosc->SetText(maxIlosc);
  }

  if (Normalized("UKRYJ_MARZ") == "1") {
    c.cMarza->SetItemIndex(0);
  } else {
    const std::string margin = Normalized("MARZA");
    c.cMarza->SetItemIndex(margin == "1" ? 2 : margin == "2" ? 3 : 1);
  }
  const int firms = StrToIntOrZero(Trim(ConfigFile().GetValue("ILE_FIRM")));
  c.cFirms->SetItemIndex(std::clamp(firms, 1, c.cFirms->Count()) - 1);
}

void TFMain2::StoreForm() {
  const TFMain2Controls& c = FControls;
  TConfigFile& config = ConfigFile();
  config.StoreControls(FForm);

  config.SetValue("WERSJA", c.cVersions->Text());
  config.SetValue("CENA", IntToStr(c.cPrices->ItemIndex()));
  const int autoKp = c.cAutoKP->ItemIndex();
  config.SetValue("AUTO_KP", autoKp == 0 ? "T" : autoKp == 2 ? "P" : "");
  constexpr std::string_view kFilterCodes[] = {"", "N", "P", "S", "W"};
  const int filter = c.cFilter->ItemIndex();
  config.SetValue("FILTR_TOW", filter >= 1 && filter <= 4 ? kFilterCodes[filter]
                                                          : std::string_view());
  const int priceMin = c.cPriceMin->ItemIndex();
  config.SetValue("CENA_MIN", priceMin >= 1 ? IntToStr(priceMin - 1) : "Z");
  const int mode = c.cVansellingMode->ItemIndex();
  config.SetValue("VANSELLING", mode == 0 ? "0" : mode == 1 ? "1" : "2");
  const int group = c.cPriceGroup->ItemIndex();
  config.SetValue("GRUPA_CEN_JAKO", group == 0 ? "0" : group == 1 ? "1" : "2");
  const int margin = c.cMarza->ItemIndex();
  config.SetValue("UKRYJ_MARZ", margin == 0 ? "1" : "0");
  config.SetValue("MARZA", margin == 2 ? "1" : margin == 3 ? "2" : "0");
  config.SetValue("ILE_FIRM", IntToStr(c.cFirms->ItemIndex() + 1));
  config.Save();
}

bool TFMain2::TryStoreForm() {
  try {
    StoreForm();
  } catch (const EBridgeError& error) {
    ShowError(error.what());
    return false;
  }
  return true;
}

bool TFMain2::CanStore() {
  if (ConfigFile().IsBound()) return true;
  // A failed Open leaves no file bound; saving would write nowhere while
  // the dialog reported success.
  ShowError(kNotBound.str() + ConfigFile().DeviceName());
  return false;
}

bool TFMain2::Validate() {
  const TFMain2Controls& c = FControls;
  const char separator = SystemDecimalSeparator();
  const auto editable = [](const TEdit& edit) { return !edit.ReadOnly(); };

  const std::string& rabat = c.eRabat->Text();
  if (!IsTrimmedFloat(rabat)) return Refuse(*c.eRabat, kBadFormat);
  if (*ParseFloat(Trim(rabat), separator) >= 100) {
    return Refuse(*c.eRabat, kRabatTooBig);
  }

  if (editable(*c.eMaxPoz)) {
    const std::string& text = c.eMaxPoz->Text();
    if (!IsTrimmedInteger(text)) return Refuse(*c.eMaxPoz, kBadFormat);
    const std::int32_t value = *ParseInt32(Trim(text));
    if (value < 0 || value >= 10000) return Refuse(*c.eMaxPoz, kMaxPozRange);
  }

  if (editable(*c.eMaxIlosc)) {
    const std::string& text = c.eMaxIlosc->Text();
    if (!IsTrimmedFloat(text)) return Refuse(*c.eMaxIlosc, kBadFormat);
    if (*ParseFloat(Trim(text), separator) > 999999.999) {
      return Refuse(*c.eMaxIlosc, kMaxIloscTooBig);
    }
  }

  for (TEdit* edit : c.NumberEdits) {
    if (editable(*edit) && !IsTrimmedInteger(edit->Text())) {
      return Refuse(*edit, kBadFormat);
    }
  }
  return true;
}

bool TFMain2::Refuse(TEdit& edit, std::string_view message) {
  if (const auto* page = dynamic_cast<const TTabSheet*>(edit.Parent())) {
    FControls.PC->SetActivePage(*page);
  }
  // A control that cannot take the focus does not stop the message.
  if (FView != nullptr) FView->FocusControl(edit);
  platform::System().MessageBoxes->ShowInformation(message);
  return false;
}

void TFMain2::ApplyVersionRule() {
  ApplyVersionRuleTo(*FControls.PC, FControls.cVersions->ItemIndex() != 0);
}

void TFMain2::ApplyVersionRuleTo(const TControl& container, bool newLayout) {
  for (const auto& child : container.Children()) {
    const bool allowed = newLayout || AllowedIn170(child->Name());
    if (auto* edit = dynamic_cast<TEdit*>(child.get())) {
      edit->SetReadOnly(!allowed);
      edit->SetColor(allowed ? TColorRole::kWindow : TColorRole::kButtonFace);
    } else if (dynamic_cast<TCheckBox*>(child.get()) != nullptr ||
               dynamic_cast<TComboBox*>(child.get()) != nullptr) {
      child->SetEnabled(allowed);
    } else if (dynamic_cast<TLabel*>(child.get()) == nullptr &&
               dynamic_cast<TButton*>(child.get()) == nullptr) {
      ApplyVersionRuleTo(*child, newLayout);
    }
  }
}

std::optional<std::string> TFMain2::BrowseForFolder(std::string_view title) {
  if (FView == nullptr) return std::nullopt;
  return FView->BrowseForFolder(title);
}

void TFMain2::Close(TModalResult result) {
  FModalResult = result;
  if (FView != nullptr) FView->CloseModal(result);
}

TEditorScreen SetEditorScreen(TEditorScreen screen) {
  std::swap(Screen(), screen);
  return screen;
}

void ShowEditor() {
  if (!Screen()) throw EBridgeError(kEditorMissing.str());
  TFMain2 form;
  Screen()(form);
}

}  // namespace bridge
