#include "platform/testing/RecordingKeys.h"

#include "platform/Plugins.h"

namespace platform::testing {

RecordingKeys::RecordingKeys() {
  for (int c = 'A'; c <= 'Z'; ++c) {
    Map(c, 1000 + c);
    Map(c - 'A' + 'a', 1000 + c);
  }
  for (int c = '0'; c <= '9'; ++c) Map(c, 1000 + c);
  for (int c : {8, 9, 10, 13, 27, 32, 127}) Map(c, 1000 + c);
}

std::shared_ptr<RecordingKeys> RecordingKeys::Install() {
  auto keys = std::make_shared<RecordingKeys>();
  Plugins::SetKeyOutput(keys);
  return keys;
}

int RecordingKeys::KeyCodeFor(int charCode) {
  auto found = layout_.find(charCode);
  return found == layout_.end() ? kNoKeyCode : found->second;
}

void RecordingKeys::Press(const KeyStroke& stroke) {
  requests_.push_back(stroke);
  if (stroke.keyCode == kNoKeyCode) return;
  pressed_.push_back(stroke);
}

}  // namespace platform::testing
