#include "shell/App.h"

#include "core/Window1.h"
#include "platform/Exceptions.h"
#include "platform/Runtime.h"

std::shared_ptr<App> App::Instance() {
  auto app = platform::Runtime::GetAppObject();
  if (!app) return nullptr;
  auto typed = std::dynamic_pointer_cast<App>(app);
  if (!typed) throw platform::IllegalCastException("the application object is not an App");
  return typed;
}

void App::Event_Open() {
  // The main window was built hidden at start-up; the application's opening is what shows it.
  platform::Deref(Window1::Instance(), "no main window").Show();
}

// Never builds a main window: once it has closed, the program is on its way out.
void App::Event_Reopen() {
  if (const auto window = Window1::Existing()) window->Show();
}
