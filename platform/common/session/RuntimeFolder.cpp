#include "platform/common/session/RuntimeFolder.h"

#include <sys/stat.h>
#include <sys/un.h>

namespace platform::session_guard {
namespace {

// Folders are looked at without following a link: a link someone else placed could lead
// anywhere.
bool OwnFolder(const std::string& path, uid_t user, mode_t forbidden) {
  struct stat info {};
  return !path.empty() && path.front() == '/' && ::lstat(path.c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & forbidden) == 0;
}

}  // namespace

SocketPlace SocketPlaceFor(const RuntimePlaces& places, std::string_view appName,
                           std::string_view socketName, uid_t user) {
  const auto fits = [socketName](const std::string& folder) {
    return folder.size() + 1 + socketName.size() < sizeof(sockaddr_un::sun_path);
  };
  const auto in = [socketName](const std::string& folder) {
    return folder + "/" + std::string(socketName);
  };
  if (OwnFolder(places.runtimeFolder, user, 077) && fits(places.runtimeFolder))
    return {in(places.runtimeFolder), true};
  if (!places.temporary.empty()) {
    const std::string own =
        places.temporary + "/" + std::string(appName) + "-" + std::to_string(user);
    ::mkdir(own.c_str(), 0700);  // where it exists already, the test below decides
    if (OwnFolder(own, user, 077) && fits(own)) return {in(own), true};
  }
  if (OwnFolder(places.lastResort, user, 022) && fits(places.lastResort))
    return {in(places.lastResort), OwnFolder(places.lastResort, user, 077)};
  return {};
}

}  // namespace platform::session_guard
