#include "core/RemoteEventMapping.h"

namespace core {

std::optional<int> MapRemoteEvent(int button, bool down) noexcept {
  switch (button) {
    case 0:  // volume plus: the press has the higher ID
      return down ? 10 : 9;
    case 1:  // volume minus
      return down ? 12 : 11;
    case 2:
      return 13;
    case 3:
      return 1;
    case 4:
      return 3;
    case 5:
      return 6;
    case 6:  // right hold: the press has the lower ID
      return down ? 4 : 5;
    case 7:  // left hold
      return down ? 7 : 8;
    case 8:
      return 14;
    case 9:
      return 2;
    case 10:
      return std::nullopt;
    default:
      return 0;
  }
}

}  // namespace core
