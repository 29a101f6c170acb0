#include "gui/Dialogs_wx.h"

#include <wx/app.h>
#include <wx/dirdlg.h>
#include <wx/msgdlg.h>
// After msgdlg.h, which declares its base.
#include <wx/generic/msgdlgg.h>
#include <wx/init.h>
#include <wx/log.h>

#include <utility>

#include "gui/Text_wx.h"
#include "platform/Cp1250.h"

namespace bridge::gui {
namespace {

// The titles the program's boxes have always carried.
constexpr const char* kErrorTitle = "Error";
constexpr const char* kQuestionTitle = "Confirm";
inline constexpr auto kInformationTitle = Cp1250(u8"Informacja");

// The application object: no main window, and no command line parsing,
// since wx would refuse the program's own arguments such as "RW:O".
class TBridgeApp final : public wxApp {
 public:
  bool OnInit() override {
    SetAppName("forbook-bridge");
    SetAppDisplayName("Forbook");
    return true;
  }
};

// wx's own box: GTK's message dialog no longer shows the kind's icon.
int ShowBox(std::string_view text, const wxString& title, long style) {
  wxGenericMessageDialog box(nullptr, ToWx(text), title, style);
  return box.ShowModal();
}

std::optional<std::string> ToolkitPicker(wxWindow* owner,
                                         std::string_view title) {
  wxDirDialog dialog(owner, ToWx(title));
  if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) {
    return std::nullopt;
  }
  return FromWx(dialog.GetPath());
}

TFolderPicker& Picker() {
  static TFolderPicker picker = ToolkitPicker;
  return picker;
}

}  // namespace

bool StartToolkit(const char* argv0) {
  if (!platform::DisplayNamed()) return false;
  // wx keeps pointers into argv for the whole run.
  static std::string name;
  static char* argv[2] = {nullptr, nullptr};
  name = argv0 != nullptr ? argv0 : "forbook-bridge";
  argv[0] = name.data();
  int argc = 1;
  wxApp::SetInstance(std::make_unique<TBridgeApp>().release());
  bool started = false;
  {
    // A display that cannot be opened is no error here: the console serves.
    const wxLogNull quiet;
    // A failed start has already cleaned up after itself.
    started = wxEntryStart(argc, argv);
  }
  if (started && !wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    started = false;
  }
  return started;
}

void StopToolkit() {
  if (wxTheApp != nullptr) wxTheApp->OnExit();
  wxEntryCleanup();
}

void TWxMessageBoxes::ShowError(std::string_view text) {
  ShowBox(text, kErrorTitle, wxOK | wxICON_ERROR);
}

bool TWxMessageBoxes::AskYesNo(std::string_view text) {
  return ShowBox(text, kQuestionTitle, wxYES_NO | wxICON_QUESTION) == wxID_YES;
}

void TWxMessageBoxes::ShowInformation(std::string_view text) {
  ShowBox(text, ToWx(kInformationTitle), wxOK | wxICON_ERROR);
}

TFolderPicker SetFolderPicker(TFolderPicker picker) {
  std::swap(Picker(), picker);
  return picker;
}

std::optional<std::string> PickFolder(wxWindow* owner, std::string_view title) {
  return Picker() ? Picker()(owner, title) : std::nullopt;
}

}  // namespace bridge::gui
