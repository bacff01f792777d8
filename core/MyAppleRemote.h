#pragma once

#include "platform/AppleRemote.h"

// The main window's remote listener: each remote event becomes an event ID for the main
// window's keystroke engine.
class MyAppleRemote : public platform::AppleRemoteMBS {
 public:
  // Maps the event and hands its ID to the main window (built when there is none); button 10 is
  // dropped before the window is looked up.
  void Event_ButtonPressed(int button, bool down) override;
};
