#include <utility>

#include "platform/linux/keys/EvdevKeymap.h"
#include "platform/linux/keys/KeyMatcher.h"
#include "platform/linux/keys/KeyOutputs.h"

namespace platform::linux_keys {
namespace {

class UinputKeyOutput final : public KeyOutput {
 public:
  UinputKeyOutput(std::unique_ptr<UinputKeyboard> keyboard, std::unique_ptr<EvdevKeymap> keymap)
      : keyboard_(std::move(keyboard)), keymap_(std::move(keymap)) {}

  int KeyCodeFor(int charCode) override {
    keymap_->Update();
    readForPress_ = true;
    const int code = keymap_->EvdevCodeFor(charCode, UinputKeyboard::kMaxKeyCode);
    return code > 0 ? code : kNoKeyCode;
  }

  void Press(const KeyStroke& stroke) override {
    // A press right after its key code was looked up is judged by the keymap that gave the code.
    if (!std::exchange(readForPress_, false)) keymap_->Update();
    const ModifierKeys modifiers{stroke.command, stroke.control, stroke.option, stroke.shift};
    // A dead key would stay pending in the focused application and change the user's next key.
    if (StartsComposing(keymap_->KeysymWith(stroke.keyCode, modifiers))) return;
    // Tap refuses codes outside the keyboard's range, kNoKeyCode among them.
    keyboard_->Tap(stroke.keyCode, modifiers);
  }

  int NoticeDescriptor() const override { return keymap_->NoticeDescriptor(); }
  void TakeArrived() override { keymap_->TakeArrived(); }

 private:
  std::unique_ptr<UinputKeyboard> keyboard_;
  std::unique_ptr<EvdevKeymap> keymap_;
  bool readForPress_ = false;  // the keymap was brought up to date by KeyCodeFor, no press since
};

}  // namespace

std::unique_ptr<KeyOutput> NewUinputKeyOutput(const UinputKeyboard::Options& options,
                                              const KeymapPlaces& keymapPlaces,
                                              std::string& error) {
  // The keymap first: without it the device would only be made to be removed again.
  auto keymap = OpenSessionKeymap(keymapPlaces, error);
  if (!keymap) return nullptr;
  auto keyboard = UinputKeyboard::Create(options, error);
  if (!keyboard) return nullptr;
  return std::make_unique<UinputKeyOutput>(std::move(keyboard), std::move(keymap));
}

}  // namespace platform::linux_keys
