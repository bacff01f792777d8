#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>

#include "platform/KeyPress.h"
#include "platform/Version.h"
#include "platform/linux/Backends.h"
#include "platform/linux/keys/KeyOutputs.h"

namespace platform::linux_backends {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

std::shared_ptr<KeyOutput> NewSystemKeyOutput() {
  constexpr const char* kUinput = "/dev/uinput";
  const bool uinputWritable = ::access(kUinput, W_OK) == 0;
  // In a Wayland session the X display is only the compatibility server, whose XTest reaches X
  // programs alone; the uinput keyboard reaches every program, so it goes first there.
  const bool wayland = IsSet("WAYLAND_DISPLAY");

  const bool preferUinput = wayland && uinputWritable;

  std::string xError = "no X display", uinputError;
  auto tryX = [&]() -> std::unique_ptr<KeyOutput> {
    return IsSet("DISPLAY") ? linux_keys::NewXTestKeyOutput(nullptr, xError) : nullptr;
  };
  if (!preferUinput) {
    if (auto x = tryX()) return x;
  }
  if (uinputWritable) {
    if (auto u = linux_keys::NewUinputKeyOutput({}, linux_keys::KeymapPlacesOfThisSession(),
                                                uinputError))
      return u;
  } else {
    uinputError = std::string(kUinput) + " is not writable";
  }
  if (preferUinput) {
    if (auto x = tryX()) return x;  // then at least the X programs get the keys
  }

  // Said once per run, however often the backends are chosen.
  static bool told = false;
  if (!told) {
    told = true;
    std::cerr << build::kApplicationName << ": remote buttons will press no keys: " << xError
              << ", and " << uinputError << ".\n";
  }
  return std::make_unique<NoKeyOutput>();
}

}  // namespace platform::linux_backends
