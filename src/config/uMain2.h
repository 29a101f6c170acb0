// The parameter editor "Edycja parametrów": the form TFMain2 with every
// control it has and everything it decides, without a toolkit. A view draws
// the form's control tree, tells the form what the user did through the
// controls' setters and the event handlers below, and does what the form
// asks of it through TFMain2View.
//
// The form always shows and edits the process-wide ConfigFile, which it
// re-opens for each device the user picks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Controls.h"
#include "platform/Cp1250.h"

namespace bridge {

enum class TModalResult { kNone, kOk, kCancel };

// What the form needs from whoever draws it. It also hears about every
// change of a control, made by code or by the user.
class TFMain2View : public TControlObserver {
 public:
  // Gives the keyboard focus to a control; false when it cannot take it.
  virtual bool FocusControl(const TControl& control) = 0;
  // The folder browser with a title; nothing when the user cancels or picks
  // a folder that has no path in the file system.
  virtual std::optional<std::string> BrowseForFolder(
      std::string_view title) = 0;
  // Ends the modal loop.
  virtual void CloseModal(TModalResult result) = 0;
};

// The controls the form works with, named as on the form.
struct TFMain2Controls {
  TComboBox* CDevices = nullptr;
  TPageControl* PC = nullptr;
  TTabSheet* TabSheet1 = nullptr;
  TTabSheet* TabSheet4 = nullptr;
  TTabSheet* TabSheet2 = nullptr;
  TTabSheet* TabSheet3 = nullptr;
  TEdit* eDir = nullptr;
  TButton* sbSelectDir = nullptr;
  TComboBox* cVersions = nullptr;
  TComboBox* cFirms = nullptr;
  TComboBox* cVansellingMode = nullptr;
  TComboBox* cPrices = nullptr;
  TComboBox* cPriceMin = nullptr;
  TEdit* eRabat = nullptr;
  TEdit* eMaxPoz = nullptr;
  TEdit* eMaxIlosc = nullptr;
  TComboBox* cAutoKP = nullptr;
  TComboBox* cFilter = nullptr;
  TComboBox* cPriceGroup = nullptr;
  TComboBox* cMarza = nullptr;
  // eNR_FK, eNR_PA, eNR_DD, eNR_ZA, eNR_KP, eNR_KW, eNR_PZ, eNR_ZW: the order
  // in which they are validated.
  std::vector<TEdit*> NumberEdits;
  TButton* BitBtn1 = nullptr;
  TButton* BitBtn2 = nullptr;
  TTimer* Timer = nullptr;
};

class TFMain2 {
 public:
  // Builds every control; the timer is on and the first tab in front.
  TFMain2();
  TFMain2(const TFMain2&) = delete;
  TFMain2& operator=(const TFMain2&) = delete;

  // The view that draws this form, or nullptr; it must outlive its use.
  void SetView(TFMain2View* view);

  TForm& Form() { return FForm; }
  const TFMain2Controls& Controls() const { return FControls; }
  // The control of that name; raises std::logic_error for a name the form
  // lacks or a control of another kind.
  template <class T>
  T& Control(std::string_view name) {
    auto* control = dynamic_cast<T*>(FForm.Find(name));
    if (control == nullptr) ThrowNoControl(name);
    return *control;
  }

  bool Modified() const { return FModified; }
  int PrevDeviceIndex() const { return FPrevDeviceIndex; }
  bool CaptionsApplied() const { return FCaptionsApplied; }
  TModalResult ModalResult() const { return FModalResult; }

  // Event handlers, named as the form names them.
  void FormShow();
  void TimerTimer();
  void CDevicesChange();
  void eDirChange();
  void cVersionsChange();
  void sbSelectDirClick();
  void BitBtn1Click();
  void BitBtn2Click();

 private:
  [[noreturn]] static void ThrowNoControl(std::string_view name);
  void Build();
  void FillDevices();
  void LoadForm();
  void StoreForm();
  bool Validate();
  bool Refuse(TEdit& edit, std::string_view message);
  // False, after telling the user, when no configuration file is bound.
  bool CanStore();
  // Stores and saves; false, after showing the error, when writing failed.
  bool TryStoreForm();
  void ApplyVersionRule();
  void ApplyVersionRuleTo(const TControl& container, bool newLayout);
  std::optional<std::string> BrowseForFolder(std::string_view title);
  void Close(TModalResult result);

  TForm FForm;
  TFMain2Controls FControls;
  TFMain2View* FView = nullptr;
  int FPrevDeviceIndex = -1;
  bool FCaptionsApplied = false;
  bool FModified = false;
  TModalResult FModalResult = TModalResult::kNone;
};

// What the editor says in a program built without a screen for it, and
// where no display can be opened.
inline constexpr auto kEditorMissing =
    Cp1250(u8"Edytor parametrów nie jest dostępny w tej wersji programu");
inline constexpr auto kNeedsDisplay =
    Cp1250(u8"Edytor parametrów wymaga ekranu graficznego");

// Shows a form modally on a screen and returns when it has closed.
using TEditorScreen = std::function<void(TFMain2& form)>;
// Installs the screen ShowEditor uses and gives back the one it replaces;
// a program built with a GUI toolkit installs one at start-up.
TEditorScreen SetEditorScreen(TEditorScreen screen);

// Creates the editor form, shows it modally and destroys it when it closes.
// Without a screen it raises "Edytor parametrów nie jest dostępny w tej
// wersji programu".
void ShowEditor();

}  // namespace bridge
