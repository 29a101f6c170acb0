// The editor dialog on a real display: run under xvfb-run (ctest does), and
// skipped where no display can be opened. With BRIDGE_SCREENSHOTS set to a
// directory, the dialog's tabs are saved there as editor-*.png.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/bitmap.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
// After msgdlg.h, which declares its base.
#include <fcntl.h>
#include <unistd.h>
#include <wx/generic/msgdlgg.h>
#include <wx/notebook.h>
#include <wx/odcombo.h>
#include <wx/settings.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/vlbox.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <thread>

#include "core/IniFile.h"
#include "gui/Dialogs_wx.h"
#include "gui/uMain2_wx.h"
#include "platform/Cp1250.h"
#include "platform/Files.h"
#include "testing/TestSupport.h"
#include "testing/config/ConfigTestSupport.h"
// Last, for the macros Xlib defines.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#undef Status

namespace bridge::gui {
namespace {

using testing::ReadBytes;
using testing::TScopedConfigFile;
using testing::TTempDir;
using testing::TTestSystem;
using testing::WriteBytes;

constexpr const char* kNoDisplay =
    "no X display could be opened (DISPLAY unset or refused); run under "
    "xvfb-run, as ctest does where xvfb-run is installed";

void FailOnAssert(const wxString& file, int line, const wxString& /*func*/,
                  const wxString& cond, const wxString& message) {
  ADD_FAILURE() << "wx assertion " << cond << " at " << file << ":" << line
                << ": " << message;
}

bool ToolkitUp() {
  static const bool up = [] {
    if (!StartToolkit("bridge_gui_wx_tests")) return false;
    wxInitAllImageHandlers();
    wxSetAssertHandler(FailOnAssert);
    return true;
  }();
  return up;
}

wxString U(const char8_t* text) {
  return wxString::FromUTF8(reinterpret_cast<const char*>(text));
}

bool WaitUntil(const std::function<bool()>& done) {
  const wxStopWatch watch;
  while (!done()) {
    if (watch.Time() > 5000) return false;
    wxYield();
    wxMilliSleep(5);
  }
  return true;
}

void Settle() {
  for (int i = 0; i < 10; ++i) {
    wxYield();
    wxMilliSleep(10);
  }
}

wxPoint CentreOf(const wxWindow* window) {
  const wxRect rect = window->GetScreenRect();
  return {rect.x + rect.width / 2, rect.y + rect.height / 2};
}

void SaveScreenshot(wxWindow& window, const std::string& name) {
  const char* dir = std::getenv("BRIDGE_SCREENSHOTS");
  if (dir == nullptr || *dir == '\0') return;
  window.Refresh();
  window.Update();
  Settle();
  const wxRect rect = window.GetScreenRect();
  wxBitmap bitmap(rect.GetSize());
  {
    wxMemoryDC memory(bitmap);
    wxWindowDC screen(&window);
    memory.Blit(0, 0, rect.width, rect.height, &screen, 0, 0);
  }
  EXPECT_TRUE(bitmap.ConvertToImage().SaveFile(
      wxString::FromUTF8(std::string(dir) + "/" + name), wxBITMAP_TYPE_PNG));
}

// What the process writes to its standard error while one lives, GTK's
// warnings included.
class TCapturedStderr {
 public:
  explicit TCapturedStderr(const std::string& file)
      : FFile(file), FSaved(::dup(2)) {
    std::fflush(stderr);
    const int to = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(to, 2);
    ::close(to);
  }
  ~TCapturedStderr() { Restore(); }
  TCapturedStderr(const TCapturedStderr&) = delete;
  TCapturedStderr& operator=(const TCapturedStderr&) = delete;
  std::string Text() {
    Restore();
    return ReadBytes(FFile);
  }

 private:
  void Restore() {
    if (FSaved < 0) return;
    std::fflush(stderr);
    ::dup2(FSaved, 2);
    ::close(FSaved);
    FSaved = -1;
  }
  std::string FFile;
  int FSaved;
};

// The whole rows a dropped-down list shows at once.
int VisibleRows(wxOwnerDrawnComboBox& list) {
  auto* rows = dynamic_cast<wxVListBox*>(list.GetPopupControl()->GetControl());
  if (rows == nullptr) return -1;
  return rows->GetClientSize().y / rows->GetItemRect(0).height;
}

// Runs the dialog modally while the script acts inside its loop; a script
// that stops early ends the dialog with wxID_ABORT.
int RunScripted(TFMain2Wx& dialog, const std::function<void()>& script) {
  dialog.CallAfter([&] {
    script();
    if (dialog.IsModal()) dialog.EndModal(wxID_ABORT);
  });
  return dialog.RunModal();
}

// A program directory with devices 12 and 13, opened at start-up on 12.
class OnScreen : public ::testing::Test {
 protected:
  explicit OnScreen(std::string_view layout = "1.7.0")
      : FPrepared(Prepare(layout)) {}
  bool Prepare(std::string_view layout) const {
    EXPECT_TRUE(platform::CreateDir(FDir / "12"));
    EXPECT_TRUE(platform::CreateDir(FDir / "13"));
    WriteBytes(FDir / "12/forbook-bridge.cfg",
               "[MAIN]\r\nNR_FK=3\r\nWERSJA=" + std::string(layout) + "\r\n");
    return true;
  }
  void SetUp() override {
    if (!ToolkitUp()) GTEST_SKIP() << kNoDisplay;
  }
  template <class T>
  T* Widget(TFMain2Wx& dialog, std::string_view name) {
    auto* widget = dynamic_cast<T*>(dialog.Widget(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  std::string Stored(std::string_view key) const {
    return TIniFile(FDir / "12/forbook-bridge.cfg")
        .ReadString("MAIN", key, "<none>");
  }

  TTempDir FDir;
  bool FPrepared;
  TTestSystem FSystem{FDir.Str(), {"", "KU:12"}};
  TScopedConfigFile FConfig{"12"};
  TFMain2 FForm;
};

class OnScreen180 : public OnScreen {
 protected:
  OnScreen180() : OnScreen("1.8.0") {}
};

TEST_F(OnScreen, SwitchesTabsEditsAndSavesTheDevice) {
  TFMain2Wx dialog(FForm);
  auto* notebook = Widget<wxNotebook>(dialog, "PC");
  auto* devices = Widget<wxOwnerDrawnComboBox>(dialog, "CDevices");
  auto* number = Widget<wxTextCtrl>(dialog, "eNR_FK");
  auto* maxPoz = Widget<wxTextCtrl>(dialog, "eMaxPoz");
  ASSERT_TRUE(notebook && devices && number && maxPoz);
  const int result = RunScripted(dialog, [&] {
    ASSERT_TRUE(WaitUntil([&] { return devices->GetSelection() == 0; }));
    EXPECT_EQ(devices->GetCount(), 2u);
    EXPECT_EQ(devices->GetString(0), "12");
    EXPECT_EQ(dialog.GetTitle(), U(u8"Edycja parametrów"));
    EXPECT_EQ(Widget<wxStaticText>(dialog, "lKATALOG")->GetLabel(),
              "Katalog (DBF)");
    EXPECT_EQ(number->GetValue(), "3");
    // Layout 1.7.0 leaves only some controls open.
    EXPECT_FALSE(maxPoz->IsEditable());
    EXPECT_EQ(maxPoz->GetBackgroundColour(),
              wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    EXPECT_FALSE(dialog.Widget("cFirms")->IsEnabled());
    EXPECT_FALSE(dialog.Widget("CheckBox18")->IsEnabled());
    EXPECT_TRUE(number->IsEditable());
    EXPECT_TRUE(dialog.Widget("cBackup")->IsEnabled());

    for (std::size_t page = 0; page < notebook->GetPageCount(); ++page) {
      notebook->SetSelection(page);
      Settle();
      EXPECT_EQ(FForm.Controls().PC->ActivePageIndex(), static_cast<int>(page));
      SaveScreenshot(dialog, "editor-" + std::to_string(page + 1) + ".png");
    }

    notebook->SetSelection(1);
    Settle();
    wxUIActionSimulator simulator;
    simulator.MouseMove(CentreOf(number));
    Settle();
    number->SetFocus();
    number->SelectAll();
    Settle();
    simulator.Text("37");
    ASSERT_TRUE(WaitUntil([&] { return number->GetValue() == "37"; }));
    EXPECT_EQ(FForm.Control<TEdit>("eNR_FK").Text(), "37");
    EXPECT_TRUE(FForm.Modified());

    wxWindow* save = dialog.Widget("BitBtn1");
    simulator.MouseMove(CentreOf(save));
    Settle();
    simulator.MouseClick();
    WaitUntil([&] { return FForm.ModalResult() != TModalResult::kNone; });
  });
  EXPECT_EQ(result, wxID_OK);
  EXPECT_EQ(Stored("NR_FK"), "37");
  EXPECT_EQ(Stored("POP_DOK"), "1");
}

TEST_F(OnScreen, FolderButtonFillsTheDirectoryAndEscCancels) {
  const std::string picked = Cp1250(u8"/dane/Łódź").str();
  std::vector<std::string> titles;
  const TFolderPicker saved =
      SetFolderPicker([&](wxWindow* /*owner*/, std::string_view title) {
        titles.emplace_back(title);
        return std::optional<std::string>(picked);
      });
  const std::string before = ReadBytes(FDir / "12/forbook-bridge.cfg");
  TFMain2Wx dialog(FForm);
  auto* folder = Widget<wxTextCtrl>(dialog, "eDir");
  ASSERT_NE(folder, nullptr);
  const int result = RunScripted(dialog, [&] {
    ASSERT_TRUE(WaitUntil([&] { return FForm.PrevDeviceIndex() == 0; }));
    wxUIActionSimulator simulator;
    simulator.MouseMove(CentreOf(dialog.Widget("sbSelectDir")));
    Settle();
    simulator.MouseClick();
    ASSERT_TRUE(
        WaitUntil([&] { return folder->GetValue() == U(u8"/dane/Łódź"); }));
    EXPECT_EQ(FForm.Controls().eDir->Text(), picked);
    EXPECT_TRUE(FForm.Modified());

    simulator.MouseMove(CentreOf(folder));
    Settle();
    folder->SetFocus();
    Settle();
    simulator.Char(WXK_ESCAPE);
    WaitUntil([&] { return FForm.ModalResult() != TModalResult::kNone; });
  });
  SetFolderPicker(saved);
  EXPECT_EQ(result, wxID_CANCEL);
  EXPECT_THAT(titles, ::testing::ElementsAre(Cp1250(u8"Wybór katalogu").str()));
  EXPECT_EQ(ReadBytes(FDir / "12/forbook-bridge.cfg"), before);
}

TEST_F(OnScreen, KeysListsAndEditsBehaveAsNativeOnes) {
  // Twelve devices, more than the drop-down shows at once.
  for (int device = 20; device < 30; ++device) {
    ASSERT_TRUE(platform::CreateDir(FDir / std::to_string(device)));
  }
  TFMain2Wx dialog(FForm);
  auto* devices = Widget<wxOwnerDrawnComboBox>(dialog, "CDevices");
  auto* priceMin = Widget<wxOwnerDrawnComboBox>(dialog, "cPriceMin");
  auto* folder = Widget<wxTextCtrl>(dialog, "eDir");
  ASSERT_TRUE(devices && priceMin && folder);
  const int result = RunScripted(dialog, [&] {
    ASSERT_TRUE(WaitUntil([&] { return devices->GetCount() == 12; }));
    // The whole dialog, title bar included, fits a 1366x768 screen above a
    // taskbar.
    EXPECT_LE(dialog.GetSize().x, 1366);
    EXPECT_LE(dialog.GetSize().y, 768 - 48 - 40);
    // An open list looks open and a locked one locked, as edits do; a list
    // shows its longest item whole.
    EXPECT_EQ(priceMin->GetBackgroundColour(),
              wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    EXPECT_NE(dialog.Widget("cFirms")->GetBackgroundColour(),
              priceMin->GetBackgroundColour());
    EXPECT_GE(priceMin->GetSize().x,
              priceMin->GetTextExtent(U(u8"Ostatnia cena zakupu")).x +
                  priceMin->GetButtonSize().x);

    wxUIActionSimulator simulator;
    simulator.MouseMove(CentreOf(folder));
    Settle();
    folder->SetFocus();
    Settle();
    {
      TCapturedStderr output(FDir / "stderr.txt");
      simulator.Char('u', wxMOD_ALT);
      EXPECT_TRUE(WaitUntil([&] { return wxWindow::FindFocus() == devices; }));
      Settle();
      EXPECT_EQ(output.Text(), "");
    }

    // The wheel over a list without the focus leaves it alone.
    const int picked = priceMin->GetSelection();
    wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
    wheel.m_wheelRotation = -120;
    wheel.m_wheelDelta = 120;
    wheel.m_linesPerAction = 3;
    wheel.SetEventObject(priceMin);
    priceMin->GetEventHandler()->ProcessEvent(wheel);
    EXPECT_EQ(priceMin->GetSelection(), picked);

    // Esc closes a dropped-down list, and only the list.
    devices->Popup();
    ASSERT_TRUE(WaitUntil([&] { return devices->IsPopupShown(); }));
    Settle();
    EXPECT_EQ(VisibleRows(*devices), 10);
    simulator.Char(WXK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !devices->IsPopupShown(); }));
    Settle();
    EXPECT_EQ(FForm.ModalResult(), TModalResult::kNone);

    // A character without a Windows-1250 code turns into "?" where it was
    // typed, and the caret stays behind it.
    folder->SetFocus();
    folder->SetValue("abcd");
    folder->SetInsertionPoint(2);
    folder->WriteText(U(u8"\u4e2d"));
    EXPECT_EQ(FForm.Controls().eDir->Text(), "ab?cd");
    EXPECT_EQ(folder->GetValue(), "ab?cd");
    EXPECT_EQ(folder->GetInsertionPoint(), 3);

    simulator.MouseMove(CentreOf(folder));
    Settle();
    simulator.Char(WXK_ESCAPE);
    WaitUntil([&] { return FForm.ModalResult() != TModalResult::kNone; });
  });
  EXPECT_EQ(result, wxID_CANCEL);
}

TEST_F(OnScreen180, ARefusedSaveBringsTheFailingEditForward) {
  TFMain2Wx dialog(FForm);
  auto* notebook = Widget<wxNotebook>(dialog, "PC");
  auto* number = Widget<wxTextCtrl>(dialog, "eNR_PA");
  ASSERT_TRUE(notebook && number);
  const int result = RunScripted(dialog, [&] {
    ASSERT_TRUE(WaitUntil([&] { return FForm.PrevDeviceIndex() == 0; }));
    EXPECT_TRUE(Widget<wxTextCtrl>(dialog, "eMaxPoz")->IsEditable());
    EXPECT_TRUE(dialog.Widget("cFirms")->IsEnabled());
    number->SetValue("x");  // as typing does, through the change event
    EXPECT_TRUE(FForm.Modified());
    wxUIActionSimulator simulator;
    simulator.MouseMove(CentreOf(dialog.Widget("BitBtn1")));
    Settle();
    simulator.MouseClick();
    ASSERT_TRUE(
        WaitUntil([&] { return !FSystem.Boxes().Informations.empty(); }));
    Settle();
    EXPECT_EQ(notebook->GetSelection(), 1);
    EXPECT_EQ(wxWindow::FindFocus(), number);
    EXPECT_EQ(FForm.ModalResult(), TModalResult::kNone);
  });
  EXPECT_EQ(result, wxID_ABORT);
  EXPECT_THAT(FSystem.Boxes().Informations,
              ::testing::ElementsAre("Niepoprawny format danych"));
}

// A message box that must come with a caption, an icon and a text.
class TExpectBox final
    : public wxExpectModalBase<wxGenericMessageDialog, TExpectBox> {
 public:
  TExpectBox(int answer, wxString caption, long icon, wxString message)
      : FAnswer(answer),
        FCaption(std::move(caption)),
        FIcon(icon),
        FMessage(std::move(message)) {}

 protected:
  int OnInvoked(wxGenericMessageDialog* box) const override {
    EXPECT_EQ(box->GetCaption(), FCaption);
    EXPECT_EQ(box->GetMessage(), FMessage);
    EXPECT_NE(box->GetMessageDialogStyle() & FIcon, 0);
    return FAnswer;
  }

 private:
  int FAnswer;
  wxString FCaption;
  long FIcon;
  wxString FMessage;
};

TEST(GuiMessageBoxes, ShowTheirKindAndTextAndReportTheAnswer) {
  if (!ToolkitUp()) GTEST_SKIP() << kNoDisplay;
  TWxMessageBoxes boxes;
  const std::string question = Cp1250(u8"Zapisać zmiany ?").str();
  wxTEST_DIALOG(EXPECT_TRUE(boxes.AskYesNo(question)),
                TExpectBox(wxID_YES, "Confirm", wxICON_QUESTION,
                           U(u8"Zapisać zmiany ?")));
  wxTEST_DIALOG(
      EXPECT_FALSE(boxes.AskYesNo(question)),
      TExpectBox(wxID_NO, "Confirm", wxICON_QUESTION, U(u8"Zapisać zmiany ?")));
  wxTEST_DIALOG(boxes.ShowError(Cp1250(u8"Błąd zapisu").str()),
                TExpectBox(wxID_OK, "Error", wxICON_ERROR, U(u8"Błąd zapisu")));
  wxTEST_DIALOG(boxes.ShowInformation("Niepoprawny format danych"),
                TExpectBox(wxID_OK, "Informacja", wxICON_ERROR,
                           "Niepoprawny format danych"));
}

// A top-level window of any process on the display, found by its title.
std::optional<wxRect> FindWindowTitled(const wxString& title) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return std::nullopt;
  const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  std::optional<wxRect> found;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children,
             &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long left = 0;
    unsigned char* text = nullptr;
    XWindowAttributes where{};
    if (XGetWindowProperty(display, children[i], name, 0, 256, False, utf8,
                           &type, &format, &items, &left, &text) == Success &&
        text != nullptr &&
        wxString::FromUTF8(reinterpret_cast<const char*>(text)) == title &&
        XGetWindowAttributes(display, children[i], &where) != 0 &&
        where.map_state == IsViewable) {
      found = wxRect(where.x, where.y, where.width, where.height);
    }
    if (text != nullptr) XFree(text);
  }
  if (children != nullptr) XFree(children);
  XCloseDisplay(display);
  return found;
}

TEST(ProgramOnScreen, OpensTheEditorBesideTwoDevicesAndEscClosesIt) {
  if (!ToolkitUp()) GTEST_SKIP() << kNoDisplay;
  TTempDir dir;
  const std::string exe =
      testing::InstallProgram(FORBOOK_BRIDGE_EXE, dir.Str());
  const std::string module = dir / "forbook-bridge-gui.so";
  WriteBytes(module, ReadBytes(platform::ExtractFileDir(FORBOOK_BRIDGE_EXE) +
                               "/forbook-bridge-gui.so"));
  ASSERT_TRUE(platform::CreateDir(dir / "12"));
  ASSERT_TRUE(platform::CreateDir(dir / "13"));
  // The program on this display, with its standard error in a file.
  int status = -1;
  std::thread program([&] {
    const std::string command = "cd '" + dir.Str() +
                                "' && timeout 60 ./forbook-bridge RW:E KU:13 "
                                "</dev/null 2>stderr.txt";
    const int raw = std::system(command.c_str());
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  });
  std::optional<wxRect> window;
  const wxString title = U(u8"Edycja parametrów");
  WaitUntil([&] { return (window = FindWindowTitled(title)).has_value(); });
  if (window) {
    wxUIActionSimulator simulator;
    simulator.MouseMove(window->GetPosition() + window->GetSize() / 2);
    Settle();
    wxMilliSleep(300);  // the device list fills after the dialog shows
    simulator.Char('u', wxMOD_ALT);
    Settle();
    simulator.Char(WXK_ESCAPE);
  }
  program.join();
  ASSERT_TRUE(window.has_value()) << "the editor never showed";
  EXPECT_LE(window->GetBottom(), 768 - 48);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadBytes(dir / "stderr.txt"), "");
}

TEST(GuiMessageBoxes, ShowTheIconOfTheirKind) {
  if (!ToolkitUp()) GTEST_SKIP() << kNoDisplay;
  // GTK's own message dialog no longer draws one.
  const auto boxHasIcon = [] {
    bool found = false;
    for (wxWindow* window : wxTopLevelWindows) {
      auto* box = dynamic_cast<wxDialog*>(window);
      if (box == nullptr || !box->IsModal()) continue;
      for (const wxWindow* child : box->GetChildren()) {
        const auto* icon = dynamic_cast<const wxStaticBitmap*>(child);
        found = found || (icon != nullptr && icon->GetBitmap().IsOk());
      }
      box->EndModal(wxID_OK);
    }
    return found;
  };
  TWxMessageBoxes boxes;
  bool errorIcon = false;
  wxTheApp->CallAfter([&] { errorIcon = boxHasIcon(); });
  boxes.ShowError("Error");
  bool informationIcon = false;
  wxTheApp->CallAfter([&] { informationIcon = boxHasIcon(); });
  boxes.ShowInformation("Niepoprawny format danych");
  EXPECT_TRUE(errorIcon);
  EXPECT_TRUE(informationIcon);
}

TEST(ProgramOnScreen, WithoutItsModuleTheEditorSaysItIsNotThere) {
  if (!ToolkitUp()) GTEST_SKIP() << kNoDisplay;
  TTempDir dir;
  testing::InstallProgram(FORBOOK_BRIDGE_EXE, dir.Str());
  const std::string command = "cd '" + dir.Str() +
                              "' && ./forbook-bridge RW:E KU:12 </dev/null "
                              "2>stderr.txt";
  const int raw = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
  // No toolkit, so the message goes where a batch job's would.
  EXPECT_EQ(ReadBytes(dir / "stderr.txt"),
            testing::U8(u8"Edytor parametrów nie jest dostępny w tej wersji "
                        u8"programu\n"));
}

TEST(ProgramWithoutDisplay, EditorReportsThatItNeedsOne) {
  TTempDir dir;
  const std::string exe =
      testing::InstallProgram(FORBOOK_BRIDGE_EXE, dir.Str());
  const auto run = testing::RunExecutable(exe, {});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Stderr,
            testing::U8(u8"Edytor parametrów wymaga ekranu graficznego\n"));
}

}  // namespace
}  // namespace bridge::gui
