#pragma once

#include <memory>

#include "platform/Application.h"

// The application object. Start-up makes and registers the one object of a run.
class App : public platform::Application {
 public:
  // The registered application object, typed as App: nil while none is registered,
  // IllegalCastException when the registered object is not an App. Never creates one.
  static std::shared_ptr<App> Instance();

  // Shows the main window.
  void Event_Open() override;
  // Brings the main window to the front for a start that handed over to this copy.
  void Event_Reopen() override;
};
