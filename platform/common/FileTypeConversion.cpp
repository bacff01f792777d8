#include "platform/FileType.h"

namespace platform {

// Converting a type to text is how the program registers it: the conversion registers the type
// and gives its name.
std::string FileType::ConvertToString() {
  Register();
  return name_;
}

}  // namespace platform
