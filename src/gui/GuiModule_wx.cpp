// The entry point of the GUI module built with wxWidgets.
#include <memory>
#include <type_traits>

#include "gui/Dialogs_wx.h"
#include "gui/GuiModule.h"
#include "gui/uMain2_wx.h"

namespace bridge::gui {
namespace {

class TWxToolkit final : public TGuiToolkit {
 public:
  TWxToolkit() = default;
  ~TWxToolkit() override { StopToolkit(); }
  TWxToolkit(const TWxToolkit&) = delete;
  TWxToolkit& operator=(const TWxToolkit&) = delete;

  std::unique_ptr<platform::TMessageBoxes> MessageBoxes() override {
    return std::make_unique<TWxMessageBoxes>();
  }
  void ShowEditor(TFMain2& form) override { ShowFormModal(form); }
};

}  // namespace
}  // namespace bridge::gui

extern "C" bridge::gui::TGuiToolkit* ForbookBridgeStartGui(const char* argv0) {
  if (!bridge::gui::StartToolkit(argv0)) return nullptr;
  return new bridge::gui::TWxToolkit();
}

static_assert(std::is_same_v<decltype(&ForbookBridgeStartGui),
                             bridge::gui::TStartGuiToolkit>);
