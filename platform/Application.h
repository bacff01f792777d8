#pragma once

#include <memory>

namespace platform {

class MenuBar;

// The application object. The program derives its own class and registers one object with
// Runtime::RegisterAppObject; the framework raises Event_Open on it once the event loop runs.
class Application {
 public:
  Application() = default;
  virtual ~Application() = default;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  void SetMenuBar(std::shared_ptr<MenuBar> bar) { menuBar_ = std::move(bar); }
  const std::shared_ptr<MenuBar>& GetMenuBar() const noexcept { return menuBar_; }

  // The project's version, from the build.
  int MajorVersion() const noexcept;
  int MinorVersion() const noexcept;
  int BugVersion() const noexcept;

  // The application's Open event.
  virtual void Event_Open() {}
  // The application's Reopen event: the program was started again in this session while this
  // copy runs, and the new start handed over to it instead of running.
  virtual void Event_Reopen() {}

 private:
  std::shared_ptr<MenuBar> menuBar_;
};

}  // namespace platform
