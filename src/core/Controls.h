// The controls of a dialog as plain data: what each one shows and holds, its
// place in the tree and the events it raises, with no toolkit behind them.
//
// A form builds its tree from these and decides everything; a toolkit view
// draws the tree, hears about every change through TControlObserver, and
// hands the user's actions back through the same setters that code uses.
// Text is Windows-1250, as everywhere inside the program.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Ulist_template.h"
#include "platform/Text.h"

namespace bridge {

class TControl;

// Hears about every change of a control's state, whoever made it.
class TControlObserver {
 public:
  virtual ~TControlObserver() = default;
  virtual void ControlChanged(const TControl& control) = 0;
};

// The system colour an edit's background takes.
enum class TColorRole { kWindow, kButtonFace };

class TControl {
 public:
  explicit TControl(std::string name, std::string caption = {})
      : FName(std::move(name)), FCaption(std::move(caption)) {}
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  const std::string& Name() const { return FName; }
  const std::string& Caption() const { return FCaption; }
  void SetCaption(std::string_view caption) {
    if (FCaption == caption) return;
    FCaption = std::string(caption);
    Changed();
  }
  // "<KEY>" on every edit and check box that holds a parameter.
  const std::string& Hint() const { return FHint; }
  void SetHint(std::string_view hint) { FHint = std::string(hint); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled) {
    if (FEnabled == enabled) return;
    FEnabled = enabled;
    Changed();
  }

  TControl* Parent() const { return FParent; }
  const TListTemplate<TControl>& Children() const { return FChildren; }
  // Appends a child and gives it back.
  template <class T, class... TArgs>
  T& Add(TArgs&&... args) {
    auto child = std::make_unique<T>(std::forward<TArgs>(args)...);
    child->FParent = this;
    T& added = *child;
    FChildren.Add(std::move(child));
    return added;
  }
  // The control of that name in this subtree, depth first, or nullptr.
  TControl* Find(std::string_view name) {
    if (FName == name) return this;
    for (const auto& child : FChildren) {
      if (TControl* found = child->Find(name)) return found;
    }
    return nullptr;
  }
  // Set on the root; it hears about every control of the tree.
  void SetObserver(TControlObserver* observer) { FObserver = observer; }

 protected:
  void Changed() const {
    const TControl* root = this;
    while (root->FParent != nullptr) root = root->FParent;
    if (root->FObserver != nullptr) root->FObserver->ControlChanged(*this);
  }

 private:
  std::string FName;
  std::string FCaption;
  std::string FHint;
  bool FEnabled = true;
  TControl* FParent = nullptr;
  TControlObserver* FObserver = nullptr;
  TListTemplate<TControl> FChildren;
};

// The dialog itself; its caption is the window title.
class TForm final : public TControl {
 public:
  using TControl::TControl;
};

class TLabel final : public TControl {
 public:
  using TControl::TControl;
  // The control that the label's accelerator focuses, or nullptr.
  TControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TControl* control) { FFocusControl = control; }

 private:
  TControl* FFocusControl = nullptr;
};

class TEdit final : public TControl {
 public:
  using TControl::TControl;
  const std::string& Text() const { return FText; }
  // Raises OnChange when the text differs, whether code or the user sets it.
  // Code may set a text longer than MaxLength; the limit holds for typing.
  void SetText(std::string_view text) {
    if (FText == text) return;
    FText = std::string(text);
    Changed();
    if (OnChange) OnChange();
  }
  // Characters the user may type; 0 for no limit.
  std::size_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(std::size_t length) {
    FMaxLength = length;
    Changed();
  }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool readOnly) {
    if (FReadOnly == readOnly) return;
    FReadOnly = readOnly;
    Changed();
  }
  TColorRole Color() const { return FColor; }
  void SetColor(TColorRole color) {
    if (FColor == color) return;
    FColor = color;
    Changed();
  }
  // Spans the width of its page instead of a field's usual width.
  bool Wide() const { return FWide; }
  void SetWide(bool wide) { FWide = wide; }

  std::function<void()> OnChange;

 private:
  std::string FText;
  std::size_t FMaxLength = 0;
  bool FReadOnly = false;
  TColorRole FColor = TColorRole::kWindow;
  bool FWide = false;
};

class TCheckBox final : public TControl {
 public:
  using TControl::TControl;
  bool Checked() const { return FChecked; }
  // Raises OnClick when the state flips, whether code or the user sets it.
  void SetChecked(bool checked) {
    if (FChecked == checked) return;
    FChecked = checked;
    Changed();
    if (OnClick) OnClick();
  }

  std::function<void()> OnClick;

 private:
  bool FChecked = false;
};

// A drop-down list that cannot be typed into.
class TComboBox final : public TControl {
 public:
  using TControl::TControl;
  const std::vector<std::string>& Items() const { return FItems; }
  // A sorted list puts the item in its place without regard to case (names
  // equal but for case keep their byte order); otherwise it goes last.
  void AddItem(std::string_view item) {
    auto at = FItems.end();
    if (FSorted) {
      at = std::upper_bound(FItems.begin(), FItems.end(), item,
                            [](std::string_view a, const std::string& b) {
                              const int order = CompareText(a, b);
                              return order != 0 ? order < 0 : a < b;
                            });
    }
    FItems.insert(at, std::string(item));
    Changed();
  }
  // Removes every item; nothing is selected then.
  void ClearItems() {
    FItems.clear();
    FItemIndex = -1;
    Changed();
  }
  int Count() const { return static_cast<int>(FItems.size()); }
  // The selected position, -1 for none.
  int ItemIndex() const { return FItemIndex; }
  // Selecting from code raises nothing; a position outside the list selects
  // nothing.
  void SetItemIndex(int index) {
    FItemIndex = index >= 0 && index < Count() ? index : -1;
    Changed();
  }
  // What the user's pick does: selects and raises OnChange.
  void Select(int index) {
    SetItemIndex(index);
    if (OnChange) OnChange();
  }
  // The selected item, or the empty text.
  std::string Text() const {
    return FItemIndex < 0 ? std::string()
                          : FItems[static_cast<std::size_t>(FItemIndex)];
  }
  bool Sorted() const { return FSorted; }
  void SetSorted(bool sorted) { FSorted = sorted; }
  // Rows shown when the list drops down.
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int rows) { FDropDownCount = rows; }

  std::function<void()> OnChange;

 private:
  std::vector<std::string> FItems;
  int FItemIndex = -1;
  bool FSorted = false;
  int FDropDownCount = 8;
};

class TButton final : public TControl {
 public:
  using TControl::TControl;
  void Click() const {
    if (OnClick) OnClick();
  }
  // False for a tool button on a row, which the keyboard never visits.
  bool TakesFocus() const { return FTakesFocus; }
  void SetTakesFocus(bool takesFocus) { FTakesFocus = takesFocus; }
  // The dialog's cancel button, which the Esc key presses.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool cancel) { FCancel = cancel; }

  std::function<void()> OnClick;

 private:
  bool FTakesFocus = true;
  bool FCancel = false;
};

// One page of a TPageControl; its caption is the tab's text.
class TTabSheet final : public TControl {
 public:
  using TControl::TControl;
};

// Tabs over pages; the pages are its TTabSheet children, in order.
class TPageControl final : public TControl {
 public:
  using TControl::TControl;
  int ActivePageIndex() const { return FActivePageIndex; }
  // Code and the user both bring a page to the front this way.
  void SetActivePageIndex(int index) {
    if (FActivePageIndex == index) return;
    FActivePageIndex = index;
    Changed();
  }
  void SetActivePage(const TTabSheet& page) {
    int index = 0;
    for (const auto& child : Children()) {
      if (child.get() == &page) {
        SetActivePageIndex(index);
        return;
      }
      if (dynamic_cast<const TTabSheet*>(child.get()) != nullptr) ++index;
    }
  }
  const TTabSheet* ActivePage() const {
    int index = 0;
    for (const auto& child : Children()) {
      const auto* page = dynamic_cast<const TTabSheet*>(child.get());
      if (page == nullptr) continue;
      if (index++ == FActivePageIndex) return page;
    }
    return nullptr;
  }

 private:
  int FActivePageIndex = 0;
};

// Fires every Interval milliseconds while enabled; the view runs the clock
// and calls OnTimer.
class TTimer final : public TControl {
 public:
  using TControl::TControl;
  int Interval() const { return FInterval; }
  void SetInterval(int milliseconds) { FInterval = milliseconds; }

  std::function<void()> OnTimer;

 private:
  int FInterval = 1000;
};

}  // namespace bridge
