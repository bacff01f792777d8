// A second guest program, linked against the X libraries that the initramfs carries along: the
// application's uinput key output with an X server in the guest giving the keymap, its presses
// read back from the keyboard's own evdev node. Prints one "ZIBK: PASS|FAIL" line.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <dirent.h>
#include <linux/input-event-codes.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/KeyPress.h"
#include "platform/linux/keys/KeyOutputs.h"
#include "tests/kernel/EvdevNode.h"
#include "tests/keys/xsession/XvfbServer.h"

namespace {

using zibk::Clock;
using zibk::Millis;

constexpr const char* kKeyboardName = "ZibRemote guest session keyboard";

void Expect(bool ok, const std::string& why) {
  if (!ok) throw std::runtime_error(why);
}

std::string KeyboardNode() {
  const auto end = Clock::now() + Millis{5000};
  do {
    if (DIR* dir = ::opendir("/dev/input")) {
      while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("event", 0) != 0) continue;
        try {
          if (zibk::EvdevReader("/dev/input/" + name).Name() == kKeyboardName) {
            ::closedir(dir);
            return "/dev/input/" + name;
          }
        } catch (const std::exception&) {
        }
      }
      ::closedir(dir);
    }
    std::this_thread::sleep_for(Millis{20});
  } while (Clock::now() < end);
  throw std::runtime_error("the uinput keyboard has no evdev node");
}

std::string Run() {
  std::string error;
  const auto server = zib_testing::XvfbServer::Start(error);
  Expect(server != nullptr, error);
  Display* user = XOpenDisplay(server->Display().c_str());
  Expect(user != nullptr, "cannot open the guest's X display");

  platform::linux_keys::KeymapPlaces places;
  places.xDisplay = server->Display();
  places.keyboardConfigPath = "/nonexistent";  // the file's layout would be us
  platform::linux_keys::UinputKeyboard::Options options;
  options.name = kKeyboardName;
  const auto output = platform::linux_keys::NewUinputKeyOutput(options, places, error);
  Expect(output != nullptr, "the uinput key output was not made: " + error);
  zibk::EvdevReader reader(KeyboardNode());
  std::this_thread::sleep_for(options.settle + Millis{100});

  const struct {
    const char* layouts;  // for setxkbmap; null: the same
    int lockedGroup;      // -1: as setxkbmap leaves it
    int z, y, minus, a;
  } steps[] = {
      {"de", -1, KEY_Y, KEY_Z, KEY_SLASH, KEY_A},
      {"fr", -1, KEY_W, KEY_Y, KEY_6, KEY_Q},
      {"us,de", 1, KEY_Y, KEY_Z, KEY_SLASH, KEY_A},
      {nullptr, 0, KEY_Z, KEY_Y, KEY_MINUS, KEY_A},
  };
  std::string shown;
  for (const auto& step : steps) {
    std::string what = step.layouts != nullptr ? step.layouts : "the same";
    if (step.layouts != nullptr) {
      std::string command;
      Expect(zib_testing::SetLayouts("setxkbmap", server->Display(), step.layouts, command),
             command + " failed");
    }
    if (step.lockedGroup >= 0) {
      XkbLockGroup(user, XkbUseCoreKbd, static_cast<unsigned>(step.lockedGroup));
      XSync(user, False);
      what += " group " + std::to_string(step.lockedGroup + 1);
    }
    const std::pair<int, int> rows[] = {
        {'z', step.z}, {'y', step.y}, {'-', step.minus}, {'a', step.a}};
    for (const auto& [charCode, expected] : rows) {
      platform::KeyStroke stroke;
      stroke.charCode = charCode;
      stroke.keyCode = output->KeyCodeFor(charCode);
      output->Press(stroke);
      const auto events = reader.ReadUntilRelease(Millis{2000});
      const bool right = events.size() == 2 && events[0].code == expected && events[0].value == 1 &&
                         events[1].code == expected && events[1].value == 0;
      Expect(right, what + ": row " + std::string(1, static_cast<char>(charCode)) +
                        " came out as " + zibk::Describe(events) + ", not key " +
                        std::to_string(expected) + " down and up");
    }
    shown += (shown.empty() ? "" : "; ") + what + ": z " + std::to_string(step.z) + ", y " +
             std::to_string(step.y) + ", - " + std::to_string(step.minus) + ", a " +
             std::to_string(step.a);
  }
  Expect(reader.KeysDown().empty(), "a key stayed down on the keyboard");
  XCloseDisplay(user);
  return "with the guest's X server switched while the key output stayed open, the uinput "
         "keyboard pressed the evdev codes of its layout (" +
         shown + "), though the keyboard file would say us";
}

}  // namespace

int main() {
  const auto start = Clock::now();
  std::string outcome;
  bool ok = false;
  try {
    outcome = Run();
    ok = true;
  } catch (const std::exception& e) {
    outcome = e.what();
  }
  const auto ms = std::chrono::duration_cast<Millis>(Clock::now() - start).count();
  std::printf("ZIBK: %s uinput-keyboard-in-x-layout (%lld ms): %s\n", ok ? "PASS" : "FAIL",
              static_cast<long long>(ms), outcome.c_str());
  return ok ? 0 : 1;
}
