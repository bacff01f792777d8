#include "shell/MenuBar1.h"

#include <string>
#include <utility>

#include "platform/Exceptions.h"

namespace {
std::shared_ptr<MenuBar1>& TheBar() {
  static std::shared_ptr<MenuBar1> bar;
  return bar;
}

MenuBar1::ItemFactory& Factory() {
  static MenuBar1::ItemFactory factory;
  return factory;
}

std::shared_ptr<platform::MenuItem> NewItem(std::string_view name, bool quitItem) {
  if (const auto& factory = Factory()) return factory(name, quitItem);
  if (quitItem) return std::make_shared<platform::QuitMenuItem>();
  return std::make_shared<platform::MenuItem>();
}

// Every item gets its properties before it is attached, in the same order; the separator's
// shortcut is left untouched (nullptr).
std::shared_ptr<platform::MenuItem> BuildItem(std::string_view name, bool quitItem,
                                              const char* text, const char* shortcut) {
  auto item = NewItem(name, quitItem);
  auto& built = platform::Deref(item, "no menu item could be made");
  built.SetName(std::string(name));
  built.SetAutoEnable(true);
  built.SetText(text);
  if (shortcut != nullptr) built.SetKeyboardShortcut(shortcut);
  return item;
}
}  // namespace

std::shared_ptr<MenuBar1> MenuBar1::Instance() {
  auto& bar = TheBar();
  // Stored only once the constructor has returned: a build that throws leaves no bar behind,
  // and the next call starts afresh.
  if (!bar) bar = std::make_shared<MenuBar1>();
  return bar;
}

void MenuBar1::ReleaseInstance() { TheBar().reset(); }

bool MenuBar1::HasInstance() { return TheBar() != nullptr; }

MenuBar1::ItemFactory MenuBar1::SetItemFactory(ItemFactory factory) {
  return std::exchange(Factory(), std::move(factory));
}

MenuBar1::MenuBar1() {
  Untitled1();
  Untitled2();
}

void MenuBar1::AppendToMenu(std::string_view menuName, std::shared_ptr<platform::MenuItem> item) {
  // Looked up afresh for every item: the menu is reached only through the bar.
  auto menu = Child(menuName);
  platform::Deref(menu, "no menu of that name on the bar").Append(std::move(item));
}

void MenuBar1::Untitled1() {
  Append(BuildItem("FileMenu", false, "&File", ""));
  AppendToMenu("FileMenu", BuildItem("FileQuit", true, "Quit", "Cmd+Q"));
}

void MenuBar1::Untitled2() {
  Append(BuildItem("EditMenu", false, "&Edit", ""));
  AppendToMenu("EditMenu", BuildItem("EditUndo", false, "&Undo", "Cmd+Z"));
  AppendToMenu("EditMenu", BuildItem("UntitledMenu0", false, "-", nullptr));
  AppendToMenu("EditMenu", BuildItem("EditCut", false, "Cu&t", "Cmd+X"));
  AppendToMenu("EditMenu", BuildItem("EditCopy", false, "&Copy", "Cmd+C"));
  AppendToMenu("EditMenu", BuildItem("EditPaste", false, "&Paste", "Cmd+V"));
  AppendToMenu("EditMenu", BuildItem("EditClear", false, "Clear", ""));
}
