#pragma once

#include <memory>

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

  MenuBar1();
  void Untitled1();  // builds the File menu
  void Untitled2();  // builds the Edit menu
};
