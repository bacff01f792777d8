#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/KeyPress.h"

namespace platform::testing {

// A key backend that records what it is asked to press. Its layout is a table from character
// code to key code; a character outside it has no key (kNoKeyCode), and a press of kNoKeyCode
// records nothing.
class RecordingKeys : public KeyOutput {
 public:
  // The default layout: 'a'..'z' and 'A'..'Z' share a key per letter, digits, space and the
  // control characters 8, 9, 10, 13, 27, 127. Key codes are 1000 + the character code
  // (letters: of the capital), so a mix-up between the two shows.
  RecordingKeys();

  // A new recorder with the default layout, installed as the key backend.
  static std::shared_ptr<RecordingKeys> Install();

  void Map(int charCode, int keyCode) { layout_[charCode] = keyCode; }
  void Unmap(int charCode) { layout_.erase(charCode); }
  void ClearLayout() { layout_.clear(); }

  int KeyCodeFor(int charCode) override;
  void Press(const KeyStroke& stroke) override;

  const std::vector<KeyStroke>& Pressed() const noexcept { return pressed_; }
  // Every press asked for, kNoKeyCode ones included.
  const std::vector<KeyStroke>& Requests() const noexcept { return requests_; }
  void Clear() {
    pressed_.clear();
    requests_.clear();
  }

 private:
  std::map<int, int> layout_;
  std::vector<KeyStroke> pressed_;
  std::vector<KeyStroke> requests_;
};

}  // namespace platform::testing
