#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A menu, a menu item or a menu bar: a tree of items. Windows show the tree of the bar they are
// given; the framework reads it when it shows the window.
class MenuItem : public std::enable_shared_from_this<MenuItem> {
 public:
  MenuItem() = default;
  virtual ~MenuItem() = default;
  MenuItem(const MenuItem&) = delete;
  MenuItem& operator=(const MenuItem&) = delete;

  virtual const char* ClassName() const noexcept { return "MenuItem"; }

  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string v) { name_ = std::move(v); }
  // The text as shown, "&" marking the mnemonic; "-" alone is a separator.
  const std::string& Text() const noexcept { return text_; }
  void SetText(std::string v) { text_ = std::move(v); }
  // "Cmd+Q" and the like; "Cmd" is the Control key on Linux. Empty: no shortcut.
  const std::string& KeyboardShortcut() const noexcept { return shortcut_; }
  void SetKeyboardShortcut(std::string v) {
    shortcut_ = std::move(v);
    shortcutSet_ = true;
  }
  bool KeyboardShortcutWasSet() const noexcept { return shortcutSet_; }
  // When True the framework enables the item exactly when it applies.
  bool AutoEnable() const noexcept { return autoEnable_; }
  void SetAutoEnable(bool v) { autoEnable_ = v; }

  // Adds the item after the present ones.
  void Append(std::shared_ptr<MenuItem> item) { children_.push_back(std::move(item)); }
  int Count() const noexcept { return static_cast<int>(children_.size()); }
  // Raises OutOfBoundsException outside 0 .. Count()-1.
  std::shared_ptr<MenuItem> Item(int index) const;
  // The direct child of that name; nil when there is none.
  std::shared_ptr<MenuItem> Child(std::string_view name) const;
  // The item of that name anywhere below this one; nil when there is none.
  std::shared_ptr<MenuItem> Lookup(std::string_view name) const;

 private:
  std::string name_, text_, shortcut_;
  bool shortcutSet_ = false;
  bool autoEnable_ = false;
  std::vector<std::shared_ptr<MenuItem>> children_;
};

// Choosing it quits the application (Runtime::QuitApplication).
class QuitMenuItem : public MenuItem {
 public:
  const char* ClassName() const noexcept override { return "QuitMenuItem"; }
};

class MenuBar : public MenuItem {
 public:
  const char* ClassName() const noexcept override { return "MenuBar"; }
};

}  // namespace platform
