#include "shell/Startup.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "core/Window1.h"
#include "platform/Exceptions.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"
#include "shell/FileTypes.h"
#include "shell/MenuBar1.h"

namespace shell {

void InitModuleState() {
  // The classes need no registration at run time; what remains is the settings store's two
  // lists, items before names.
  BrioEasyPrefs::InitModuleState();
}

void ReleaseModuleState() {
  FileTypes::Release();
  MenuBar1::ReleaseInstance();
  BrioEasyPrefs::ReleaseModuleState();  // its file, then its item list, then its name list
}

void InitFileTypes() { FileTypes::Initialize(); }

void NewAppInstance() {
  auto app = std::make_shared<App>();
  platform::Deref(app, "no application object could be made");
  // The bar is set before the registration, so whatever the framework raises on the registered
  // application already finds its menus.
  app->SetMenuBar(MenuBar1::Instance());
  platform::Runtime::RegisterAppObject(std::move(app));
}

// The program has no application-level menu handlers: Quit works through the framework's own
// quit item.
void ApplicationAddMenuHandlers() {}

// The main window is built hidden here and kept by the framework; the application's Open event
// shows it. It is the program's only way in on a Linux desktop, so closing it ends the program
// (a process left without it would be unreachable).
void MakeDefaultView() {
  const auto window = Window1::Instance();
  platform::Runtime::QuitWhenWindowCloses(
      platform::Deref(window, "no main window").FullClassName());
}

void Startup(const Phases& phases) {
  phases.initFileTypes();
  phases.newAppInstance();
  phases.applicationAddMenuHandlers();
  phases.makeDefaultView();
}

void Main(const Phases& phases) {
  try {
    platform::Runtime::RunFrameworkInitialization([&phases] { Startup(phases); });
    phases.run();
  } catch (...) {
    platform::Runtime::UnhandledException(std::current_exception());
  }
}

int RunProgram(int& argc, char** argv, const Phases& phases) {
  platform::Runtime::Init(argc, argv);
  std::string detail;
  switch (phases.joinSession(detail)) {
    case platform::Session::Entry::Joined:
      break;
    case platform::Session::Entry::JoinedWithoutLock:
      std::fprintf(stderr,
                   "ZibTVRemote runs without its one-copy lock (%s): a second copy would not be "
                   "kept out.\n",
                   detail.c_str());
      break;
    case platform::Session::Entry::HandedOver:
    case platform::Session::Entry::Signalled:
      return 0;
    case platform::Session::Entry::OtherDisplay:
      std::fprintf(stderr,
                   "ZibTVRemote is running already on another display (%s) with the same "
                   "settings file; quit it there first.\n",
                   detail.c_str());
      return 1;
    case platform::Session::Entry::NoDisplay:
      std::fprintf(
          stderr, "ZibTVRemote needs a graphical session and found no display it could use (%s).\n",
          detail.c_str());
      return 1;
    case platform::Session::Entry::Unanswered:
      std::fprintf(stderr, "ZibTVRemote is running already but does not answer (%s).\n",
                   detail.c_str());
      return 1;
  }
  phases.initModuleState();
  Main(phases);
  phases.releaseModuleState();
  return platform::Runtime::Exit();
}

}  // namespace shell
