#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace platformtest {

// A window whose building hooks and events are set by the test; it notes each event it gets.
class ScriptedWindow : public platform::Window {
 public:
  explicit ScriptedWindow(std::string fullClassName = "ScriptedWindow.ScriptedWindow")
      : Window(std::move(fullClassName)) {}

  std::function<void(ScriptedWindow&)> onLayout, onCreateControls, onOpen, onClose;
  std::vector<std::string> events;

  // The handler a test binds to a control; notes which control it was given.
  template <class C>
  void Noted(C& control) {
    events.push_back("handler " + control.Name());
  }

 protected:
  void Layout() override {
    events.push_back("Layout");
    if (onLayout) onLayout(*this);
  }
  void CreateControls() override {
    events.push_back("CreateControls");
    if (onCreateControls) onCreateControls(*this);
  }
  void Event_Open() override {
    events.push_back("Open");
    if (onOpen) onOpen(*this);
  }
  void Event_Close() override {
    events.push_back("Close");
    if (onClose) onClose(*this);
  }
};

// The main window's list as its layout gives it: seven columns, a heading, fourteen rows, locked
// to all four sides of a 470-wide window.
inline platform::Listbox::Properties TableProperties() {
  platform::Listbox::Properties p;
  p.left = 17;
  p.top = 48;
  p.width = 433;
  p.height = 247;
  p.lockLeft = p.lockTop = p.lockRight = p.lockBottom = true;
  p.columnCount = 7;
  p.columnWidths = "0,150,60,50,50,50,50";
  p.hasHeading = true;
  p.headings = {"ID", "Button", "Key", "SHIFT", "CMD", "CNTRL", "OPT"};
  for (int i = 1; i <= 14; ++i)
    p.rows.push_back({std::to_string(i), "Button " + std::to_string(i)});
  p.gridLinesHorizontal = 2;
  return p;
}

inline platform::WindowProperties MainWindowProperties() {
  platform::WindowProperties p;
  p.width = 470;
  p.height = 315;
  p.maxWidth = 470;
  p.maxHeight = 315;
  p.title = "Main";
  p.visible = false;
  p.resizeable = false;
  p.maximizeButton = false;
  p.minimizeButton = false;
  return p;
}

}  // namespace platformtest
