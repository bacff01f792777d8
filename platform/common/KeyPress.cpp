#include "platform/KeyPress.h"

#include "platform/Plugins.h"

namespace platform {

int KeyCodesMBS::AsciiToKeyCode(int ascii) { return Plugins::Keys().KeyCodeFor(ascii); }

void PresskeyMBS::Press() {
  // A character that no key types presses nothing: never a wrong key.
  if (Keycode < 0) return;
  KeyStroke stroke;
  stroke.charCode = Charcode;
  stroke.keyCode = Keycode;
  stroke.command = Command;
  stroke.control = Control;
  stroke.option = Option;
  stroke.shift = Shift;
  Plugins::Keys().Press(stroke);
}

}  // namespace platform
