#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/Menu.h"

// The File and Edit menus, one object for the whole run, shared by the application and the main
// window.
class MenuBar1 : public platform::MenuBar {
 public:
  // The one bar, built completely on the first call.
  static std::shared_ptr<MenuBar1> Instance();
  // Lets go of the one bar at exit; the next Instance() would build a new one.
  static void ReleaseInstance();
  // Whether the one bar exists (nil before the first call and after the release).
  static bool HasInstance();

  // Makes each new item (a QuitMenuItem when `quitItem`) before the builder names it; nil means
  // none could be made. Unset, plain items are made. Tests replace it to make a build fail.
  // Returns the previous factory.
  using ItemFactory =
      std::function<std::shared_ptr<platform::MenuItem>(std::string_view itemName, bool quitItem)>;
  static ItemFactory SetItemFactory(ItemFactory factory);

  MenuBar1();
  void Untitled1();  // builds the File menu
  void Untitled2();  // builds the Edit menu

 private:
  // Attaches to the bar's menu of that name; NilObjectException when the bar has none.
  void AppendToMenu(std::string_view menuName, std::shared_ptr<platform::MenuItem> item);
};
