#include <cstdlib>

#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/XkbKeymap.h"

namespace platform::linux_keys {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

KeymapPlaces KeymapPlacesOfThisSession() {
  KeymapPlaces places;
  places.xDisplay = Variable("DISPLAY");
  places.waylandDisplay = Variable("WAYLAND_DISPLAY");
  return places;
}

std::unique_ptr<EvdevKeymap> OpenSessionKeymap(const KeymapPlaces& places, std::string& error) {
  // A session whose keymap cannot be had still gets keys, in the machine's own layout.
  std::string ignored;
  if (!places.xDisplay.empty())
    if (auto x = NewXServerEvdevKeymap(places.xDisplay, ignored)) return x;
  if (!places.waylandDisplay.empty())
    if (auto wayland = NewWaylandEvdevKeymap(places.waylandDisplay, places.waylandTimeout, ignored))
      return wayland;
  return XkbKeymap::Compile(ReadKeyboardConfig(places.keyboardConfigPath), error);
}

}  // namespace platform::linux_keys
