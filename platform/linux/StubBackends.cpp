// Stand-in until the key output lands: no keys.
#include "platform/linux/Backends.h"

namespace platform::linux_backends {

namespace {

class NoKeys : public KeyOutput {
 public:
  int KeyCodeFor(int) override { return kNoKeyCode; }
  void Press(const KeyStroke&) override {}
};

}  // namespace

std::shared_ptr<KeyOutput> NewSystemKeyOutput() { return std::make_shared<NoKeys>(); }

}  // namespace platform::linux_backends
