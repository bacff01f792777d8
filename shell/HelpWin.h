#pragma once

#include <memory>

#include "platform/Window.h"

// The help window: fixed text and a Close button. At most one exists at a time.
class HelpWin : public platform::Window {
 public:
  // The open help window, built (and shown, as its layout says) when there is none.
  static std::shared_ptr<HelpWin> Instance();

  HelpWin();
  void PushButton1_Action(platform::PushButton& me);

 protected:
  void Layout() override;
  void CreateControls() override;
  void CreateControls0();
};
