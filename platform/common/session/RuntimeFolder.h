#pragma once

#include <sys/types.h>
#include <string>
#include <string_view>

// Where the hand-over socket goes: a folder that only this user can reach.
namespace platform::session_guard {

struct RuntimePlaces {
  std::string runtimeFolder;  // $XDG_RUNTIME_DIR
  std::string temporary;      // the system's shared folder for temporary files, where a folder
                              // of the user's own is made
  std::string lastResort;     // a folder of the user's own to use when neither serves
};

struct SocketPlace {
  std::string path;            // empty when no folder serves
  bool privateFolder = false;  // its folder is closed to everyone but the user
};

// Where a socket named `socketName` goes: in $XDG_RUNTIME_DIR where it is absolute, a folder,
// the user's own (owner `user`) and closed to everyone else (no group or other access); else in
// "<temporary>/<appName>-<user>", made with mode 0700 and used only where it passes the same
// test (a folder that someone else made first does not); else in `lastResort` where it is the
// user's own and nobody else may write there. None where no folder serves or has room for the
// socket's name (a socket path is at most 107 bytes long).
SocketPlace SocketPlaceFor(const RuntimePlaces& places, std::string_view appName,
                           std::string_view socketName, uid_t user);

}  // namespace platform::session_guard
