#pragma once

#include <functional>
#include <string>

#include "platform/Runtime.h"
#include "platform/Session.h"

// The program's way from process entry to exit status.
namespace shell {

// Module initialisation: the module-level state, in its order (the settings store's item list,
// then its name list).
void InitModuleState();
// Module release, in its order: the document type, the menu bar, then the settings store's
// file, item list and name list. Nothing is saved here.
void ReleaseModuleState();

// Start-up steps, run by the start-up routine in this order.
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
void MakeDefaultView();

// The phases of a run. A run takes the real ones; tests replace single phases to watch the order
// or to make one fail.
struct Phases {
  std::function<platform::Session::Entry(std::string&)> joinSession = platform::Session::Join;
  std::function<void()> initModuleState = InitModuleState;
  std::function<void()> initFileTypes = InitFileTypes;
  std::function<void()> newAppInstance = NewAppInstance;
  std::function<void()> applicationAddMenuHandlers = ApplicationAddMenuHandlers;
  std::function<void()> makeDefaultView = MakeDefaultView;
  std::function<void()> run = platform::Runtime::Run;
  std::function<void()> releaseModuleState = ReleaseModuleState;
};

// The start-up routine the framework runs once when it is ready. Catches nothing: a failing step
// ends it, and the later steps do not run.
void Startup(const Phases& phases = {});

// Has the framework run Startup, then runs the event loop. An exception out of either is handed
// to the unhandled-exception handler once, and the loop is not entered after a failed start-up.
void Main(const Phases& phases = {});

// The whole run; returns the exit status the framework gives. A start that does not join the
// session does nothing else: 0 when it handed over to the copy that runs or was asked to quit
// before joining, 1 with one line on standard error when there is no display, that copy does
// not answer or it runs on another display. A run without the one-copy lock says so in one line
// and goes on. `argc` and `argv` must outlive the call.
int RunProgram(int& argc, char** argv, const Phases& phases = {});

}  // namespace shell
