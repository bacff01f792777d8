#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/common/FilesPosix.h"

namespace platform {

namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::optional<String> HomeFolder() {
  if (const char* home = std::getenv("HOME"); IsAbsolute(home)) return String(home);
  // Without a usable HOME (some service managers start programs so), ask the user database.
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      IsAbsolute(found->pw_dir))
    return String(found->pw_dir);
  return std::nullopt;
}

// The XDG base directory rule: the variable when it holds an absolute path, else the default
// below the home folder.
std::optional<String> BaseFolder(const char* variable, const char* belowHome) {
  if (const char* value = std::getenv(variable); IsAbsolute(value)) return String(value);
  auto home = HomeFolder();
  if (!home) return std::nullopt;
  return posix::Join(*home, belowHome);
}

// mkdir -p with mode 0700 for every folder it has to make.
bool MakeFolders(const String& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const String prefix = slash == String::npos ? path : path.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == String::npos) break;
  }
  return posix::IsDirectory(path);
}

}  // namespace

FolderItemRef SpecialFolder::Preferences() {
  auto base = BaseFolder("XDG_CONFIG_HOME", ".config");
  if (!base) return nullptr;
  if (!MakeFolders(*base)) return nullptr;
  return GetFolderItem(*base);
}

FolderItemRef SpecialFolder::ApplicationData() {
  auto base = BaseFolder("XDG_DATA_HOME", ".local/share");
  if (!base) return nullptr;
  // It may not exist yet; callers decide whether to make it.
  return std::make_shared<FolderItem>(std::move(*base));
}

}  // namespace platform
