#pragma once

#include "core/Window1.h"

namespace coretest {

// A main window whose own Open and Close events do nothing, to see the window as its layout
// builds it without touching the settings. The list's Open event still runs.
class UnopenedWindow1 : public Window1 {
 public:
  using Window1::a;
  using Window1::listening;

 protected:
  void Event_Open() override {}
  void Event_Close() override {}
};

}  // namespace coretest
