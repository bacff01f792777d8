#include "core/MyAppleRemote.h"
#include "core/Window1.h"
#include "platform/Exceptions.h"
#include "platform/Files.h"
#include "platform/Keyboard.h"
#include "platform/MsgBox.h"
#include "platform/Strings.h"
#include "settings/BrioEasyPrefs.h"
#include "shell/App.h"

namespace {

constexpr const char* kSettingsFileName = "ZibRemote.ini";

// Holding Option (Alt) while the window opens throws the stored table away.
void ResetSettingsFileWhenOptionHeld() {
  if (!platform::Keyboard::AsyncOptionKey()) return;
  const auto preferences = platform::SpecialFolder::Preferences();
  const auto file = platform::Deref(preferences, "no preferences folder").Child(kSettingsFileName);
  if (platform::Deref(file, "no settings file item").Exists()) file->Delete();
}

}  // namespace

void Window1::Event_Open() {
  a = std::make_shared<MyAppleRemote>();
  if (!platform::Deref(a, "no remote listener").isRemoteAvailable()) {
    platform::MsgBox("No Apple Remote driver found.");
  }
  ResetSettingsFileWhenOptionHeld();
  BrioEasyPrefs::InitPrefFile(kSettingsFileName, false);
  loadprefs();

  const auto app = App::Instance();
  const auto& application = platform::Deref(app, "no application object");
  SetTitle("ZibTVRemote v." + platform::Str(application.MajorVersion()) + "." +
           platform::Str(application.MinorVersion()) + "." +
           platform::Str(application.BugVersion()));
}

// Only the table is kept; listening goes on until the listener goes with the window.
void Window1::Event_Close() { Saveprefs(); }
