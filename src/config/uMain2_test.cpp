#include "config/uMain2.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/IniFile.h"
#include "core/uKonfig.h"
#include "platform/Cp1250.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"

namespace bridge {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ReadBytes;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

class TFakeView final : public TFMain2View {
 public:
  void ControlChanged(const TControl& /*control*/) override {}
  bool FocusControl(const TControl& control) override {
    Focused.push_back(control.Name());
    return FocusSucceeds;
  }
  std::optional<std::string> BrowseForFolder(std::string_view title) override {
    Titles.emplace_back(title);
    return Folder;
  }
  void CloseModal(TModalResult result) override { Closed.push_back(result); }

  bool FocusSucceeds = true;
  std::optional<std::string> Folder;
  std::vector<std::string> Focused;
  std::vector<std::string> Titles;
  std::vector<TModalResult> Closed;
};

std::string CfgPath(const TTempDir& dir, std::string_view device) {
  return dir / (std::string(device) + "/forbook-bridge.cfg");
}

// A device directory whose configuration holds these lines.
void WriteDevice(const TTempDir& dir, std::string_view device,
                 const std::map<std::string, std::string>& values) {
  static_cast<void>(platform::CreateDir(dir / std::string(device)));
  std::string text = "[MAIN]\r\n";
  for (const auto& [key, value] : values) text += key + "=" + value + "\r\n";
  WriteBytes(CfgPath(dir, device), text);
}

std::string Stored(const TTempDir& dir, std::string_view device,
                   std::string_view key) {
  return TIniFile(CfgPath(dir, device)).ReadString("MAIN", key, "<none>");
}

std::map<std::string, std::string> AllStored(const TTempDir& dir,
                                             std::string_view device) {
  std::map<std::string, std::string> values;
  const TIniFile ini(CfgPath(dir, device));
  const TRecParams catalogue;
  for (std::size_t i = 0; i < catalogue.Count(); ++i) {
    const std::string& key = catalogue.Item(i)->Key;
    values[key] = ini.ReadString("MAIN", key, "<none>");
  }
  return values;
}

// The editor as the program opens it: the configuration of the command-line
// device opened at start-up, the form shown, the timer fired.
class Editor {
 public:
  explicit Editor(const TTempDir& dir, std::string_view device = "12",
                  char separator = '.', std::string_view startDevice = {})
      : FSystem(dir.Str(), {"", "KU:" + std::string(device)}, separator),
        FConfig(startDevice.empty() ? device : startDevice) {
    FForm.SetView(&FView);
  }
  Editor& Open() {
    FForm.FormShow();
    FForm.TimerTimer();
    return *this;
  }
  TFMain2& Form() { return FForm; }
  TFakeView& View() { return FView; }
  testing::TRecordingMessageBoxes& Boxes() { return FSystem.Boxes(); }
  TEdit& Edit(std::string_view name) { return FForm.Control<TEdit>(name); }
  TComboBox& List(std::string_view name) {
    return FForm.Control<TComboBox>(name);
  }
  TCheckBox& Check(std::string_view name) {
    return FForm.Control<TCheckBox>(name);
  }

 private:
  TTestSystem FSystem;
  TScopedConfigFile FConfig;
  TFMain2 FForm;
  TFakeView FView;
};

// Every control inside the tabs, depth first.
void Collect(const TControl& container, std::vector<const TControl*>& out) {
  for (const auto& child : container.Children()) {
    out.push_back(child.get());
    Collect(*child, out);
  }
}

std::vector<const TControl*> Inputs(TFMain2& form) {
  std::vector<const TControl*> all;
  Collect(*form.Controls().PC, all);
  std::vector<const TControl*> inputs;
  for (const TControl* control : all) {
    if (dynamic_cast<const TEdit*>(control) != nullptr ||
        dynamic_cast<const TCheckBox*>(control) != nullptr ||
        dynamic_cast<const TComboBox*>(control) != nullptr) {
      inputs.push_back(control);
    }
  }
  return inputs;
}

TEST(EditorForm, CoversEveryParameterOnceOnFourTabs) {
  TTempDir dir;
  Editor editor(dir);
  TFMain2& form = editor.Form();
  std::vector<std::string> tabs;
  for (const auto& page : form.Controls().PC->Children()) {
    tabs.push_back(page->Name() + " " + page->Caption());
  }
  EXPECT_THAT(tabs, ElementsAre(Cp1250(u8"TabSheet1 Glówne").str(),
                                "TabSheet4 Numeracja", "TabSheet2 Dokumenty I",
                                "TabSheet3 Dokumenty II"));
  std::multiset<std::string> keys{"UKRYJ_MARZ"};  // cMarza holds two
  for (const TControl* input : Inputs(form)) {
    keys.insert(KeyFromHint(input->Hint()));
  }
  const TRecParams catalogue;
  std::multiset<std::string> expected;
  for (std::size_t i = 0; i < catalogue.Count(); ++i) {
    expected.insert(catalogue.Item(i)->Key);
  }
  EXPECT_EQ(keys, expected);

  std::vector<std::string> firstTab;
  for (const auto& child : form.Controls().TabSheet1->Children()) {
    if (dynamic_cast<const TLabel*>(child.get()) == nullptr &&
        dynamic_cast<const TButton*>(child.get()) == nullptr) {
      firstTab.push_back(child->Name());
    }
  }
  EXPECT_THAT(
      firstTab,
      ElementsAre("eDir", "cVersions", "cFirms", "cVansellingMode", "cPrices",
                  "cPriceMin", "eRabat", "eMaxPoz", "eMaxIlosc", "Edit2",
                  "eNrKonta", "Edit1", "Edit4", "cAutoKP", "cFilter", "Edit6",
                  "cPriceGroup", "cBackup", "cEAN"));
  EXPECT_EQ(editor.Edit("eRabat").MaxLength(), 5u);
  EXPECT_EQ(editor.Edit("eMaxPoz").MaxLength(), 7u);
  EXPECT_EQ(editor.Edit("eMaxIlosc").MaxLength(), 10u);
  EXPECT_EQ(editor.Edit("Edit6").MaxLength(), 6u);
  EXPECT_EQ(editor.Edit("eNR_ZW").MaxLength(), 10u);
  EXPECT_EQ(editor.Edit("eNR_ZW").Hint(), "<NR_ZW>");
  EXPECT_THAT(
      editor.List("cMarza").Items(),
      ElementsAre("nie pokazuj", "pokaz z towaru", "wyliczaj do ceny zakupu",
                  "wyliczaj do ceny minimalnej "));
}

TEST(EditorOpening, AppliesCaptionsOnShowThenFillsDevicesOnTheTimer) {
  TTempDir dir;
  Editor editor(dir);
  TFMain2& form = editor.Form();
  const TFMain2Controls& c = form.Controls();
  EXPECT_TRUE(c.Timer->Enabled());
  EXPECT_EQ(c.Timer->Interval(), 30);
  EXPECT_EQ(c.PC->ActivePage(), c.TabSheet1);
  EXPECT_EQ(form.Control<TLabel>("lKATALOG").Caption(), "<KATALOG>");
  EXPECT_FALSE(form.CaptionsApplied());

  form.FormShow();
  EXPECT_TRUE(form.CaptionsApplied());
  EXPECT_EQ(form.Control<TLabel>("lKATALOG").Caption(), "Katalog (DBF)");
  EXPECT_EQ(editor.Check("cEAN").Caption(),
            Cp1250(u8"Wpisz EAN jako SKRÓT").str());
  EXPECT_EQ(form.Control<TLabel>("Label1").Caption(), "&Urzadzenie");
  EXPECT_EQ(form.Control<TLabel>("Label24").Caption(), "Marza :");
  EXPECT_EQ(c.CDevices->Count(), 0);  // filled only once the timer fires

  editor.Check("cEAN").SetCaption("<NR_FK>");
  form.FormShow();  // a later show applies nothing
  EXPECT_EQ(editor.Check("cEAN").Caption(), "<NR_FK>");

  form.TimerTimer();
  EXPECT_FALSE(c.Timer->Enabled());
  EXPECT_THAT(c.CDevices->Items(), ElementsAre("12"));
  EXPECT_EQ(c.CDevices->ItemIndex(), 0);
  EXPECT_FALSE(form.Modified());
  EXPECT_THAT(editor.Boxes().Questions, IsEmpty());
}

TEST(ControlWalks, VisitNestedControlsByTheirHints) {
  TTempDir dir;
  TTestSystem system(dir.Str());
  TScopedConfigFile config("1");
  config.Get().SetValue("NR_FK", "17");
  config.Get().SetValue("POP_DOK", "y");
  TForm form("F");
  auto& page = form.Add<TPageControl>("P").Add<TTabSheet>("S", "<NR_FK>");
  auto& edit = page.Add<TEdit>("e");
  edit.SetHint("<NR_FK>");
  auto& unknownEdit = page.Add<TEdit>("u");
  unknownEdit.SetHint("<NOPE>");
  unknownEdit.SetText("old");
  auto& check = form.Add<TCheckBox>("c", "<POP_DOK>");
  check.SetHint("<POP_DOK>");
  auto& label = page.Add<TLabel>("l", "<BACKUP>");
  auto& plain = page.Add<TLabel>("p", "<>");

  config.Get().LoadControls(form);
  EXPECT_EQ(edit.Text(), "17");
  EXPECT_EQ(unknownEdit.Text(), "");
  EXPECT_TRUE(check.Checked());

  config.Get().ApplyCaptions(form);
  EXPECT_EQ(label.Caption(), Cp1250(u8"Wykonywac archiwizacje plików").str());
  EXPECT_EQ(check.Caption(), Cp1250(u8"Zezwalaj na poprawe dokumentów").str());
  EXPECT_EQ(plain.Caption(), "<>");
  EXPECT_EQ(page.Caption(), "<NR_FK>");  // only labels and check boxes

  edit.SetText(" 18 ");
  check.SetChecked(false);
  unknownEdit.SetHint("<NR_PA>");
  config.Get().StoreControls(form);
  EXPECT_EQ(config.Get().GetValue("NR_FK"), " 18 ");
  EXPECT_EQ(config.Get().GetValue("POP_DOK"), "0");
  EXPECT_EQ(config.Get().GetValue("NR_PA"), "");
  unknownEdit.SetHint("<NOPE>");
  EXPECT_THAT([&] { config.Get().StoreControls(form); },
              ThrowsMessage<EBridgeError>(StrEq(
                  Cp1250(u8"Nie znaleziono wartości o kodzie NOPE").str())));
}

TEST(DeviceList, SortsWithoutCaseAndPreselectsOnlyTheExactName) {
  TTempDir dir;
  EXPECT_TRUE(platform::CreateDir(dir / "B"));
  EXPECT_TRUE(platform::CreateDir(dir / "a"));
  WriteBytes(dir / "notes.txt", "");
  // On a file system that ignores case, device A opens directory a.
  Editor editor(dir, "A", '.', "a");
  editor.Open();
  EXPECT_THAT(editor.List("CDevices").Items(), ElementsAre("a", "B"));
  EXPECT_EQ(editor.List("CDevices").ItemIndex(), 0);
  EXPECT_EQ(editor.Form().PrevDeviceIndex(), 0);

  TTempDir other;
  EXPECT_TRUE(platform::CreateDir(other / "a"));
  EXPECT_TRUE(platform::CreateDir(other / "B"));
  Editor exact(other, "C");
  exact.Open();
  EXPECT_THAT(exact.List("CDevices").Items(), ElementsAre("a", "B", "C"));
  EXPECT_EQ(exact.List("CDevices").ItemIndex(), 2);
  EXPECT_EQ(ConfigFile().DeviceName(), "C");
}

TEST(DeviceList, WithoutDirectoriesOffersTheCommandLineDevice) {
  TTempDir dir;
  Editor editor(dir, "7", '.', " ");  // start-up bound to the template
  editor.Open();
  EXPECT_THAT(editor.List("CDevices").Items(), ElementsAre("7"));
  EXPECT_EQ(ConfigFile().DeviceName(), "7");
  EXPECT_TRUE(platform::FileExists(CfgPath(dir, "7")));
}

TEST(DeviceList, WithNoDeviceAtAllStaysEmptyAndSavesNothing) {
  TTempDir dir;
  TTestSystem system(dir.Str());
  TScopedConfigFile config("");
  const std::string templateBefore = ReadBytes(dir / "forbook-bridge.cfg");
  TFMain2 form;
  TFakeView view;
  form.SetView(&view);
  form.FormShow();
  form.TimerTimer();
  EXPECT_EQ(form.Controls().CDevices->Count(), 0);
  EXPECT_EQ(form.Controls().CDevices->ItemIndex(), -1);
  EXPECT_EQ(form.PrevDeviceIndex(), -1);
  EXPECT_EQ(form.Control<TEdit>("eWzor").Text(), "%N");  // start-up values
  form.Control<TEdit>("eWzor").SetText("X%N");
  form.BitBtn1Click();
  EXPECT_THAT(view.Closed, ElementsAre(TModalResult::kOk));
  EXPECT_EQ(ReadBytes(dir / "forbook-bridge.cfg"), templateBefore);
}

struct TLoadCase {
  const char* List;
  const char* Key;
  const char* Value;
  int Position;
};

TEST(ListBoxMapping, LoadsEachValueToItsPosition) {
  const TLoadCase cases[] = {
      {"cVersions", "WERSJA", "1.7.0", 0},
      {"cVersions", "WERSJA", " 1.7.0", 0},
      {"cVersions", "WERSJA", "1.8.0", 1},
      {"cVersions", "WERSJA", "", 1},
      {"cFirms", "ILE_FIRM", "9", 4},
      {"cFirms", "ILE_FIRM", "abc", 0},
      {"cFirms", "ILE_FIRM", "0", 0},
      {"cFirms", "ILE_FIRM", " 3 ", 2},
      {"cVansellingMode", "VANSELLING", "1", 1},
      {"cVansellingMode", "VANSELLING", "2", 2},
      {"cVansellingMode", "VANSELLING", "3", 0},
      {"cPrices", "CENA", " 4 ", 4},
      {"cPrices", "CENA", "5", 5},
      {"cPrices", "CENA", "6", 0},
      {"cPriceMin", "CENA_MIN", "Z", 0},
      {"cPriceMin", "CENA_MIN", "z", 0},
      {"cPriceMin", "CENA_MIN", "0", 1},
      {"cPriceMin", "CENA_MIN", "", 1},
      {"cPriceMin", "CENA_MIN", "1", 2},
      {"cPriceMin", "CENA_MIN", "5", 6},
      {"cAutoKP", "AUTO_KP", "p", 2},
      {"cAutoKP", "AUTO_KP", "T", 0},
      {"cAutoKP", "AUTO_KP", "", 1},
      {"cAutoKP", "AUTO_KP", "N", 1},
      {"cFilter", "FILTR_TOW", "N", 1},
      {"cFilter", "FILTR_TOW", "P", 2},
      {"cFilter", "FILTR_TOW", "S", 3},
      {"cFilter", "FILTR_TOW", "w", 4},
      {"cFilter", "FILTR_TOW", "X", 0},
      {"cPriceGroup", "GRUPA_CEN_JAKO", "1", 1},
      {"cPriceGroup", "GRUPA_CEN_JAKO", "2", 2},
      {"cPriceGroup", "GRUPA_CEN_JAKO", "Brak", 0},
      {"cMarza", "MARZA", "1", 2},
      {"cMarza", "MARZA", "2", 3},
      {"cMarza", "MARZA", "0", 1},
      {"cMarza", "MARZA", "", 1},
  };
  TTempDir dir;
  WriteDevice(dir, "12", {});
  Editor editor(dir);
  editor.Open();
  for (const TLoadCase& c : cases) {
    WriteDevice(dir, "12", {{c.Key, c.Value}});
    editor.Form().CDevicesChange();
    EXPECT_EQ(editor.List(c.List).ItemIndex(), c.Position)
        << c.Key << "=" << c.Value;
  }
  WriteDevice(dir, "12", {{"UKRYJ_MARZ", "1"}, {"MARZA", "2"}});
  editor.Form().CDevicesChange();
  EXPECT_EQ(editor.List("cMarza").Text(), "nie pokazuj");
}

TEST(ListBoxMapping, StoresEachPositionAsItsValue) {
  struct TStoreCase {
    const char* List;
    int Position;
    std::map<std::string, std::string> Values;
  };
  const TStoreCase cases[] = {
      {"cVersions", 0, {{"WERSJA", "1.7.0"}}},
      {"cVersions", 1, {{"WERSJA", "1.8.0"}}},
      {"cFirms", 0, {{"ILE_FIRM", "1"}}},
      {"cFirms", 4, {{"ILE_FIRM", "5"}}},
      {"cVansellingMode", 0, {{"VANSELLING", "0"}}},
      {"cVansellingMode", 2, {{"VANSELLING", "2"}}},
      {"cPrices", 3, {{"CENA", "3"}}},
      {"cPriceMin", 0, {{"CENA_MIN", "Z"}}},
      {"cPriceMin", 1, {{"CENA_MIN", "0"}}},
      {"cPriceMin", 6, {{"CENA_MIN", "5"}}},
      {"cAutoKP", 0, {{"AUTO_KP", "T"}}},
      {"cAutoKP", 1, {{"AUTO_KP", ""}}},
      {"cAutoKP", 2, {{"AUTO_KP", "P"}}},
      {"cFilter", 0, {{"FILTR_TOW", ""}}},
      {"cFilter", 1, {{"FILTR_TOW", "N"}}},
      {"cFilter", 4, {{"FILTR_TOW", "W"}}},
      {"cPriceGroup", 0, {{"GRUPA_CEN_JAKO", "0"}}},
      {"cPriceGroup", 2, {{"GRUPA_CEN_JAKO", "2"}}},
      {"cMarza", 0, {{"UKRYJ_MARZ", "1"}, {"MARZA", "0"}}},
      {"cMarza", 1, {{"UKRYJ_MARZ", "0"}, {"MARZA", "0"}}},
      {"cMarza", 2, {{"UKRYJ_MARZ", "0"}, {"MARZA", "1"}}},
      {"cMarza", 3, {{"UKRYJ_MARZ", "0"}, {"MARZA", "2"}}},
  };
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  for (const TStoreCase& c : cases) {
    editor.List(c.List).SetItemIndex(c.Position);
    editor.Form().BitBtn1Click();
    for (const auto& [key, value] : c.Values) {
      EXPECT_EQ(Stored(dir, "12", key), value) << c.List << " " << c.Position;
    }
  }
}

// The editor under layout 1.8.0, where every edit is checked.
class Validation : public ::testing::Test {
 protected:
  explicit Validation(char separator = '.')
      : FEditor((WriteDevice(FDir, "12", {{"WERSJA", "1.8.0"}}), FDir), "12",
                separator) {
    FEditor.Open();
  }
  // Saves with one edit's text; gives the information shown, if any.
  std::vector<std::string> SaveWith(std::string_view edit,
                                    std::string_view text) {
    FEditor.Edit(edit).SetText(text);
    FEditor.Form().BitBtn1Click();
    return FEditor.Boxes().Informations;
  }
  TTempDir FDir;
  Editor FEditor;
};

class CommaValidation : public Validation {
 protected:
  CommaValidation() : Validation(',') {}
};

TEST_F(Validation, RefusesEachCheckedEditWithItsMessage) {
  const std::string badFormat = "Niepoprawny format danych";
  const std::pair<const char*, std::string> refused[] = {
      {"", badFormat},
      {"abc", badFormat},
      {"100", Cp1250(u8"Wartość musi mniejsza niż 100").str()},
  };
  for (const auto& [text, message] : refused) {
    EXPECT_THAT(SaveWith("eRabat", text), ElementsAre(message)) << text;
    FEditor.Boxes().Informations.clear();
  }
  FEditor.Edit("eRabat").SetText(" 99.99 ");
  const std::string range =
      Cp1250(u8"Wartość musi należeć do przedziału <0..9999>").str();
  for (const char* text : {"10000", "-1"}) {
    EXPECT_THAT(SaveWith("eMaxPoz", text), ElementsAre(range)) << text;
    FEditor.Boxes().Informations.clear();
  }
  EXPECT_THAT(SaveWith("eMaxPoz", "1.5"), ElementsAre(badFormat));
  FEditor.Boxes().Informations.clear();
  FEditor.Edit("eMaxPoz").SetText("9999");
  EXPECT_THAT(SaveWith("eMaxIlosc", "1000000"),
              ElementsAre(Cp1250(u8"Wartość nie może być większa niż "
                                 u8"999 999.999")
                              .str()));
  FEditor.Boxes().Informations.clear();
  EXPECT_THAT(SaveWith("eMaxIlosc", ""), ElementsAre(badFormat));
  FEditor.Boxes().Informations.clear();
  FEditor.Edit("eMaxIlosc").SetText("999999.999");
  EXPECT_THAT(SaveWith("eNR_ZW", "7a"), ElementsAre(badFormat));
  EXPECT_THAT(FEditor.View().Closed, IsEmpty());
  EXPECT_EQ(Stored(FDir, "12", "RABAT_TOW"), "0");  // nothing stored

  FEditor.Boxes().Informations.clear();
  EXPECT_THAT(SaveWith("eNR_ZW", " 12 "), IsEmpty());
  EXPECT_THAT(FEditor.View().Closed, ElementsAre(TModalResult::kOk));
  EXPECT_EQ(Stored(FDir, "12", "NR_ZW"), " 12 ");
  EXPECT_EQ(Stored(FDir, "12", "RABAT_TOW"), " 99.99 ");
}

TEST_F(Validation, StopsAtTheFirstFailureAndBringsItsTabForward) {
  FEditor.Edit("eNR_PA").SetText("x");
  FEditor.Edit("eNR_FK").SetText("y");
  FEditor.Edit("eMaxIlosc").SetText("z");
  EXPECT_THAT(SaveWith("eMaxPoz", "w"),
              ElementsAre("Niepoprawny format danych"));
  EXPECT_THAT(FEditor.View().Focused, ElementsAre("eMaxPoz"));
  EXPECT_EQ(FEditor.Form().Controls().PC->ActivePage(),
            FEditor.Form().Controls().TabSheet1);

  FEditor.Edit("eMaxPoz").SetText("1");
  FEditor.Edit("eMaxIlosc").SetText("1");
  FEditor.View().FocusSucceeds = false;  // the message still comes
  EXPECT_THAT(
      SaveWith("eNR_ZA", "q"),
      ElementsAre("Niepoprawny format danych", "Niepoprawny format danych"));
  EXPECT_THAT(FEditor.View().Focused, ElementsAre("eMaxPoz", "eNR_FK"));
  EXPECT_EQ(FEditor.Form().Controls().PC->ActivePage(),
            FEditor.Form().Controls().TabSheet4);
}

TEST_F(CommaValidation, UsesTheSystemDecimalSeparator) {
  EXPECT_EQ(FEditor.Edit("eMaxIlosc").Text(), "999999,999");
  EXPECT_THAT(SaveWith("eRabat", "99.99"),
              ElementsAre("Niepoprawny format danych"));
  FEditor.Boxes().Informations.clear();
  EXPECT_THAT(SaveWith("eRabat", "99,99"), IsEmpty());
  EXPECT_EQ(Stored(FDir, "12", "RABAT_TOW"), "99,99");
  EXPECT_EQ(Stored(FDir, "12", "MAX_ILOSC"), "999999,999");
}

TEST(VersionRule, Layout170LeavesOnlyTheAllowedControlsOpen) {
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  const auto openInputs = [&] {
    std::vector<std::string> names;
    for (const TControl* input : Inputs(editor.Form())) {
      const auto* edit = dynamic_cast<const TEdit*>(input);
      const bool open = edit != nullptr ? !edit->ReadOnly() : input->Enabled();
      if (edit != nullptr) {
        EXPECT_EQ(edit->Color(),
                  open ? TColorRole::kWindow : TColorRole::kButtonFace)
            << edit->Name();
      }
      if (open) names.push_back(input->Name());
    }
    return names;
  };
  EXPECT_THAT(openInputs(), ElementsAre("eDir", "cVersions", "cPriceMin",
                                        "eRabat", "eNrKonta", "cBackup", "cEAN",
                                        "eWzor", "eNR_FK", "eNR_PA", "eNR_DD",
                                        "eNR_ZA", "eNR_KP", "cSprzMinus"));
  EXPECT_TRUE(editor.Form().Controls().sbSelectDir->Enabled());

  editor.List("cVersions").Select(1);
  EXPECT_EQ(openInputs().size(), Inputs(editor.Form()).size());
  EXPECT_FALSE(editor.Form().Modified());
  editor.List("cVersions").Select(0);
  EXPECT_TRUE(editor.Edit("eMaxPoz").ReadOnly());
}

TEST(VersionRule, ReadOnlyEditsAreNotCheckedAndStoredAsLoaded) {
  TTempDir dir;
  WriteDevice(dir, "12", {{"NR_KW", "x1"}, {"MAX_POZ", "abc"}});
  Editor editor(dir);
  editor.Open();
  editor.Form().BitBtn1Click();
  EXPECT_THAT(editor.Boxes().Informations, IsEmpty());
  EXPECT_THAT(editor.View().Closed, ElementsAre(TModalResult::kOk));
  EXPECT_EQ(Stored(dir, "12", "NR_KW"), "x1");
  EXPECT_EQ(Stored(dir, "12", "MAX_POZ"), "abc");
}

TEST(ModifiedState, OnlyEditsChecksAndThreeListsMarkTheFormModified) {
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  TFMain2& form = editor.Form();
  const std::set<std::string> modifyingLists{"cAutoKP", "cFilter",
                                             "cPriceGroup"};
  for (const TControl* input : Inputs(form)) {
    ASSERT_FALSE(form.Modified());
    TControl& control = *form.Form().Find(input->Name());
    bool expected = true;
    if (auto* edit = dynamic_cast<TEdit*>(&control)) {
      edit->SetText(edit->Text() + "1");
    } else if (auto* check = dynamic_cast<TCheckBox*>(&control)) {
      check->SetChecked(!check->Checked());
    } else {
      auto& list = dynamic_cast<TComboBox&>(control);
      list.Select(list.ItemIndex() == 0 ? 1 : 0);
      expected = modifyingLists.contains(list.Name());
    }
    EXPECT_EQ(form.Modified(), expected) << input->Name();
    form.CDevicesChange();  // answered No: reloads and is clean again
  }
}

TEST(ModifiedState, AListChangeThatMarksNothingIsLostOnDeviceChange) {
  TTempDir dir;
  WriteDevice(dir, "13", {});
  Editor editor(dir);
  editor.Open();
  editor.List("cPrices").Select(3);
  editor.List("CDevices").Select(1);
  EXPECT_THAT(editor.Boxes().Questions, IsEmpty());
  EXPECT_EQ(Stored(dir, "12", "CENA"), "0");
  EXPECT_EQ(ConfigFile().DeviceName(), "13");
}

// Devices 12 (shown) and 13, with an edit waiting on device 12.
class SaveQuestion : public ::testing::Test {
 protected:
  SaveQuestion() {
    FEditor.Open();
    FEditor.Edit("eNR_FK").SetText("5");
    FBefore = ReadBytes(CfgPath(FDir, "12"));
  }
  TTempDir FDir;
  bool FMade = (WriteDevice(FDir, "13", {{"NR_FK", "31"}}), true);
  Editor FEditor{FDir};
  std::string FBefore;
  const std::string FQuestion =
      Cp1250(u8"Zapisać wprowadzone zmiany do konfiguracji 12 ?").str();
};

TEST_F(SaveQuestion, YesSavesIntoTheDeviceBeingLeft) {
  FEditor.Boxes().Answers = {true};
  FEditor.List("CDevices").Select(1);
  EXPECT_THAT(FEditor.Boxes().Questions, ElementsAre(FQuestion));
  EXPECT_EQ(Stored(FDir, "12", "NR_FK"), "5");
  EXPECT_EQ(ConfigFile().DeviceName(), "13");
  EXPECT_EQ(FEditor.Edit("eNR_FK").Text(), "31");
  EXPECT_FALSE(FEditor.Form().Modified());
  EXPECT_EQ(FEditor.Form().PrevDeviceIndex(), 1);
}

TEST_F(SaveQuestion, YesWithAFailedCheckReturnsToThePreviousDevice) {
  FEditor.Edit("eNR_FK").SetText("A");
  FEditor.Boxes().Answers = {true};
  FEditor.List("CDevices").Select(1);
  EXPECT_THAT(FEditor.Boxes().Informations,
              ElementsAre("Niepoprawny format danych"));
  EXPECT_EQ(FEditor.Form().Controls().PC->ActivePage(),
            FEditor.Form().Controls().TabSheet4);
  EXPECT_THAT(FEditor.View().Focused, ElementsAre("eNR_FK"));
  EXPECT_EQ(FEditor.List("CDevices").ItemIndex(), 0);
  EXPECT_TRUE(FEditor.Form().Modified());
  EXPECT_EQ(ConfigFile().DeviceName(), "12");
  EXPECT_EQ(FEditor.Edit("eNR_FK").Text(), "A");
  EXPECT_EQ(ReadBytes(CfgPath(FDir, "12")), FBefore);
}

TEST_F(SaveQuestion, NoDropsTheEdits) {
  FEditor.List("CDevices").Select(1);
  EXPECT_THAT(FEditor.Boxes().Questions, ElementsAre(FQuestion));
  EXPECT_EQ(ReadBytes(CfgPath(FDir, "12")), FBefore);
  EXPECT_EQ(FEditor.Edit("eNR_FK").Text(), "31");
  EXPECT_FALSE(FEditor.Form().Modified());
}

TEST(FailedOpen, KeepsThePreviousValuesAndRefusesToSaveNowhere) {
  TTempDir dir;
  WriteDevice(dir, "12", {{"NR_FK", "44"}});
  // A directory where device 13's file would be copied from the template.
  EXPECT_TRUE(platform::CreateDir(dir / "13"));
  EXPECT_TRUE(platform::CreateDir(CfgPath(dir, "13")));
  WriteBytes(dir / "forbook-bridge.cfg", "[MAIN]\r\n");
  Editor editor(dir);
  editor.Open();
  editor.List("CDevices").Select(1);
  EXPECT_THAT(
      editor.Boxes().Errors,
      ElementsAre(Cp1250(u8"Nie udało się przekopiować pliku ").str() +
                  (dir / "forbook-bridge.cfg") + "->" + CfgPath(dir, "13")));
  EXPECT_EQ(editor.List("CDevices").ItemIndex(), 1);
  EXPECT_EQ(editor.Form().PrevDeviceIndex(), 0);
  EXPECT_EQ(editor.Edit("eNR_FK").Text(), "44");
  EXPECT_FALSE(editor.Form().Modified());

  const std::string before = ReadBytes(CfgPath(dir, "12"));
  editor.Edit("eNR_FK").SetText("45");
  editor.Form().BitBtn1Click();
  EXPECT_THAT(editor.View().Closed, IsEmpty());
  EXPECT_EQ(editor.Boxes().Errors.back(),
            Cp1250(u8"Zmian nie zapisano, bo nie otwarto konfiguracji "
                   u8"urządzenia 13")
                .str());
  EXPECT_EQ(ReadBytes(CfgPath(dir, "12")), before);
}

TEST(SaveAndCancel, AnUneditedSaveNormalisesFlagsListsAndTheSeparator) {
  TTempDir dir;
  Editor editor(dir, "12", ',');
  editor.Open();
  const auto before = AllStored(dir, "12");
  editor.Form().BitBtn1Click();
  const auto after = AllStored(dir, "12");
  std::map<std::string, std::string> changed;
  for (const auto& [key, value] : after) {
    if (before.at(key) != value) changed[key] = before.at(key) + "->" + value;
  }
  std::map<std::string, std::string> expected{
      {"MAX_ILOSC", "999999.999->999999,999"},
      {"VANSELLING", "->0"},
      {"UKRYJ_MARZ", "->0"},
      {"MARZA", "->0"},
      {"ILE_FIRM", "->1"}};
  for (const char* key :
       {"POP_DOK", "POP_DR_DOK", "KAS_DOK", "KAS_DR_DOK", "KAS_DOKK"}) {
    expected[key] = "T->1";
  }
  for (const char* key :
       {"LICZNIK",    "VANSEL_ZAM", "BLOK_V_FK", "BLOK_V_PA", "BLOK_V_DD",
        "BLOK_V_ZW",  "BLOK_V_PZ",  "BLOK_P_FK", "BLOK_P_PA", "BLOK_P_DD",
        "BLOK_KP",    "BLOK_KW",    "BLOK_ROZL", "BLOK_INFO", "BLOK_NPKP",
        "BLOK_NPKW",  "BRAK_LIMIT", "BRUTTO",    "V_FK_BRUT", "V_PA_BRUT",
        "V_DD_BRUT",  "V_ZW_BRUT",  "V_PZ_BRUT", "P_FK_BRUT", "P_PA_BRUT",
        "P_DD_BRUT",  "SF_PZ",      "SF_ZW",     "STAN_LOG",  "NUM_DRUK",
        "FISK_NAZWA", "WIZYTY",     "WYMUS_ROZL"}) {
    expected[key] = "->0";
  }
  EXPECT_EQ(changed, expected);
  EXPECT_THAT(editor.View().Closed, ElementsAre(TModalResult::kOk));
}

TEST(SaveAndCancel, KeepsUntouchedTextsAndNormalisesOddValues) {
  TTempDir dir;
  WriteDevice(dir, "12",
              {{"POP_DOK", "y"},
               {"BACKUP", ""},
               {"CENA_MIN", "z"},
               {"AUTO_KP", "t"},
               {"WERSJA", " 1.7.0"},
               {"ILE_FIRM", "9"},
               {"SPRZ_INFO", "  Sklep  "}});
  Editor editor(dir);
  editor.Open();
  editor.Form().BitBtn1Click();
  EXPECT_EQ(Stored(dir, "12", "POP_DOK"), "1");
  EXPECT_EQ(Stored(dir, "12", "BACKUP"), "0");
  EXPECT_EQ(Stored(dir, "12", "CENA_MIN"), "Z");
  EXPECT_EQ(Stored(dir, "12", "AUTO_KP"), "T");
  EXPECT_EQ(Stored(dir, "12", "WERSJA"), "1.7.0");
  EXPECT_EQ(Stored(dir, "12", "ILE_FIRM"), "5");
  EXPECT_EQ(Stored(dir, "12", "SPRZ_INFO"), "  Sklep  ");
}

TEST(SaveAndCancel, CancelClosesWithoutAskingOrStoring) {
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  const std::string before = ReadBytes(CfgPath(dir, "12"));
  editor.Edit("eNR_FK").SetText("9");
  editor.Form().BitBtn2Click();
  EXPECT_THAT(editor.View().Closed, ElementsAre(TModalResult::kCancel));
  EXPECT_THAT(editor.Boxes().Questions, IsEmpty());
  EXPECT_EQ(ReadBytes(CfgPath(dir, "12")), before);
}

TEST(SaveAndCancel, AFileThatCannotBeWrittenKeepsTheDialogOpen) {
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  EXPECT_TRUE(platform::RemoveFile(CfgPath(dir, "12")));
  EXPECT_TRUE(platform::CreateDir(CfgPath(dir, "12")));
  editor.Form().BitBtn1Click();
  EXPECT_EQ(editor.Boxes().Errors.size(), 1u);
  EXPECT_THAT(editor.View().Closed, IsEmpty());
}

TEST(FolderPicker, APickedFolderBecomesTheDirectoryAndMarksTheForm) {
  TTempDir dir;
  Editor editor(dir);
  editor.Open();
  const std::string before = editor.Edit("eDir").Text();
  editor.Form().Controls().sbSelectDir->Click();
  EXPECT_THAT(editor.View().Titles,
              ElementsAre(Cp1250(u8"Wybór katalogu").str()));
  EXPECT_EQ(editor.Edit("eDir").Text(), before);
  EXPECT_FALSE(editor.Form().Modified());
  editor.View().Folder = "/dane/forbook";
  editor.Form().Controls().sbSelectDir->Click();
  EXPECT_EQ(editor.Edit("eDir").Text(), "/dane/forbook");
  EXPECT_TRUE(editor.Form().Modified());
}

TEST(ShowEditor, ShowsAFreshFormOnTheInstalledScreenOnly) {
  TTempDir dir;
  TTestSystem system(dir.Str());
  TScopedConfigFile config("1");
  const TEditorScreen saved = SetEditorScreen(nullptr);
  EXPECT_THAT([] { ShowEditor(); },
              ThrowsMessage<EBridgeError>(StrEq(
                  Cp1250(u8"Edytor parametrów nie jest dostępny w tej wersji "
                         u8"programu")
                      .str())));
  int shown = 0;
  SetEditorScreen([&](TFMain2& form) {
    ++shown;
    EXPECT_TRUE(form.Controls().Timer->Enabled());
    EXPECT_FALSE(form.CaptionsApplied());
  });
  ShowEditor();
  EXPECT_EQ(shown, 1);
  SetEditorScreen(saved);
}

}  // namespace
}  // namespace bridge
