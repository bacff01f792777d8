#include "shell/FileTypes.h"

#include "platform/Exceptions.h"

namespace FileTypes {

std::shared_ptr<platform::FileType> pText;

void Initialize() {
  pText = std::make_shared<platform::FileType>();
  platform::Deref(pText).SetName("text");
  platform::Deref(pText).SetExtensions("");
  platform::Deref(pText).SetMacType("TEXT");
  platform::Deref(pText).SetMacCreator("R*ch");
  // Last, because setting a property of a registered type ends its registration. Converting the
  // type to text is what registers it; the text itself is not needed.
  static_cast<void>(platform::Deref(pText).ConvertToString());
}

void Release() { pText.reset(); }

}  // namespace FileTypes
