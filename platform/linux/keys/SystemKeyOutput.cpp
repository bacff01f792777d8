#include <unistd.h>

#include <iostream>
#include <memory>

#include "platform/KeyPress.h"
#include "platform/Version.h"
#include "platform/linux/Backends.h"
#include "platform/linux/keys/KeyOutputs.h"

namespace platform::linux_backends {

std::shared_ptr<KeyOutput> NewSystemKeyOutput() {
  constexpr const char* kUinput = "/dev/uinput";
  const bool uinputWritable = ::access(kUinput, W_OK) == 0;
  // In a Wayland session the X display is only the compatibility server, whose XTest reaches X
  // programs alone; the uinput keyboard reaches every program, so it goes first there.
  const auto places = linux_keys::KeymapPlacesOfThisSession();
  const bool wayland = !places.waylandDisplay.empty();

  const bool preferUinput = wayland && uinputWritable;

  std::string xError = "no X display", uinputError;
  auto tryX = [&]() -> std::unique_ptr<KeyOutput> {
    return !places.xDisplay.empty() ? linux_keys::NewXTestKeyOutput(nullptr, xError) : nullptr;
  };
  if (!preferUinput) {
    if (auto x = tryX()) return x;
  }
  if (uinputWritable) {
    if (auto u = linux_keys::NewUinputKeyOutput({}, places, uinputError)) return u;
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
