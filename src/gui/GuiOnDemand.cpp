#include "gui/GuiOnDemand.h"

#include <string_view>
#include <utility>

#include "gui/GuiModule.h"
#include "platform/EBridgeError.h"
#include "platform/Files.h"
#include "platform/Module.h"
#include "platform/System.h"

namespace bridge::gui {

// Stands in the process's place until the first box is asked for.
class TGuiOnDemand::TBoxes final : public platform::TMessageBoxes {
 public:
  explicit TBoxes(TGuiOnDemand& owner) : FOwner(owner) {}
  void ShowError(std::string_view text) override {
    FOwner.Boxes().ShowError(text);
  }
  bool AskYesNo(std::string_view text) override {
    return FOwner.Boxes().AskYesNo(text);
  }
  void ShowInformation(std::string_view text) override {
    FOwner.Boxes().ShowInformation(text);
  }

 private:
  TGuiOnDemand& FOwner;
};

TGuiOnDemand::TGuiOnDemand(std::string module, std::string argv0)
    : FModulePath(std::move(module)),
      FArgv0(std::move(argv0)),
      FSavedBoxes(std::exchange(platform::System().MessageBoxes,
                                std::make_unique<TBoxes>(*this))),
      FSavedScreen(
          SetEditorScreen([this](TFMain2& form) { ShowEditor(form); })) {}

TGuiOnDemand::~TGuiOnDemand() {
  SetEditorScreen(std::move(FSavedScreen));
  platform::System().MessageBoxes = std::move(FSavedBoxes);
  // The toolkit shuts down while its module is still loaded.
  FBoxes.reset();
  FToolkit.reset();
  FModule.reset();
}

TGuiToolkit* TGuiOnDemand::Toolkit() {
  if (FTried) return FToolkit.get();
  FTried = true;
  if (!platform::DisplayNamed()) return nullptr;
  // Why the module cannot be loaded matters to nobody but a developer: the
  // editor names it missing, and messages stay on the console.
  std::string reason;
  FModule = platform::TModule::Load(FModulePath, reason);
  const auto start = FModule == nullptr
                         ? nullptr
                         : reinterpret_cast<TStartGuiToolkit>(
                               FModule->Symbol(kStartGuiToolkit));
  if (start == nullptr) {
    FModuleMissing = true;
    return nullptr;
  }
  FToolkit.reset(start(FArgv0.c_str()));
  if (FToolkit != nullptr) FBoxes = FToolkit->MessageBoxes();
  return FToolkit.get();
}

platform::TMessageBoxes& TGuiOnDemand::Boxes() {
  return Toolkit() != nullptr ? *FBoxes : *FSavedBoxes;
}

void TGuiOnDemand::ShowEditor(TFMain2& form) {
  if (Toolkit() != nullptr) {
    FToolkit->ShowEditor(form);
  } else if (FModuleMissing) {
    throw EBridgeError(kEditorMissing.str());
  } else {
    throw EBridgeError(kNeedsDisplay.str());
  }
}

std::string GuiModuleBeside(const std::string& executable) {
  return platform::ExtractFileDir(executable) + platform::kPathDelimiter +
         kGuiModuleFile;
}

}  // namespace bridge::gui
