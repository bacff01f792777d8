#include <sys/types.h>
#include <sys/xattr.h>

#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

void FolderItem::SetMacType(std::string_view type) const {
  // Best effort by design (file systems without user attributes simply do not record it): a file
  // type is a hint, never a reason to fail a save.
  (void)::setxattr(path_.c_str(), posix::kMacTypeAttribute, type.data(), type.size(), 0);
}

String FolderItem::MacType() const {
  char value[64];
  const ssize_t length = ::getxattr(path_.c_str(), posix::kMacTypeAttribute, value, sizeof value);
  if (length <= 0) return {};
  return String(value, static_cast<std::size_t>(length));
}

}  // namespace platform
