#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace platform {

class Application;

// The framework's start-up and event loop, in the order the program calls them:
//   Runtime::Init -> RunFrameworkInitialization(startup) -> Run -> (release) -> Exit
namespace Runtime {

// Prepares the runtime. Call once, first, with main's arguments (they must outlive the run).
void Init(int& argc, char** argv);

// Initialises the framework (the Qt application object, the real message box, the plug-in
// backends chosen for this machine), then runs `startup` once. An exception from `startup`
// passes out of this call.
void RunFrameworkInitialization(const std::function<void()>& startup);

// The event loop. Raises the application object's Open event once the loop runs, and returns
// when the application quits. Returns at once when the loop has already been told to end.
void Run();

// Ends the event loop after the current event (used by Quit and by the unhandled-exception
// handler). Before Run() it makes Run() return at once.
void Quit();

// Quits the application as its Quit menu item does: closes every window (so each one's Close
// event runs), then ends the event loop.
void QuitApplication();

// Closing a window of this class (its full class name) quits the application as
// QuitApplication does. Without it, closing windows never ends the event loop by itself.
void QuitWhenWindowCloses(std::string fullClassName);

// Takes an exception that nothing handled: shows a message naming its class and text, sets a
// non-zero exit status and ends the event loop. Returns normally.
void UnhandledException(std::exception_ptr error);

// Replaces how UnhandledException shows its message (tests capture it). Returns the previous one.
using UnhandledPresenter =
    std::function<void(const std::string& className, const std::string& text)>;
UnhandledPresenter SetUnhandledPresenter(UnhandledPresenter presenter);

// Shuts the framework down and returns the exit status: 0, or 1 after an unhandled exception.
int Exit();

// The registered application object; nil while there is none.
void RegisterAppObject(std::shared_ptr<Application> app);
std::shared_ptr<Application> GetAppObject();

// Runs one handler or event on behalf of the framework. Every call from Qt into the program goes
// through here: an exception that escapes `handler` is handed to UnhandledException once and
// never reaches Qt.
void Dispatch(const std::function<void()>& handler) noexcept;

// Runs pending events without waiting (tests use it to let queued events arrive).
void ProcessPendingEvents();

}  // namespace Runtime
}  // namespace platform
