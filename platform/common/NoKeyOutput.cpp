#include "platform/KeyPress.h"

namespace platform {

int NoKeyOutput::KeyCodeFor(int) { return kNoKeyCode; }

void NoKeyOutput::Press(const KeyStroke&) {}

}  // namespace platform
