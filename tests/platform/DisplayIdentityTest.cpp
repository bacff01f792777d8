#include "platform/common/session/DisplayIdentity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace {

using platform::session_guard::CanonicalXDisplay;
using platform::session_guard::DisplayEnvironment;
using platform::session_guard::DisplayIdentities;
using platform::session_guard::ShareADisplay;

constexpr const char* kMachine = "here";

// Every spelling of the local X server 7 is one server; another number, another host or a text
// that is no display name is not.
TEST(DisplayIdentity, EverySpellingOfOneXServerIsOneName) {
  const std::string seven = CanonicalXDisplay(":7", kMachine);
  EXPECT_EQ(seven, "x11 here:7");
  for (const char* same :
       {":7.0", ":7.1", "unix:7", "unix:7.0", "localhost:7", "localhost:7.0", "LocalHost:7",
        "127.0.0.1:7", "::1:7", "here:7", "HERE:7.0", "tcp/localhost:7", "unix/unix:7", ":07"}) {
    SCOPED_TRACE(same);
    EXPECT_EQ(CanonicalXDisplay(same, kMachine), seven);
  }
  for (const char* other :
       {":8", ":70", "elsewhere:7", "elsewhere:7.0", "here::7", ":7.x", ":x", "7", ""}) {
    SCOPED_TRACE(other);
    EXPECT_NE(CanonicalXDisplay(other, kMachine), seven);
  }
  EXPECT_EQ(CanonicalXDisplay("Elsewhere:7.0", kMachine),
            CanonicalXDisplay("elsewhere:7", kMachine));
  EXPECT_NE(CanonicalXDisplay(":7", "there"), seven);  // the same number on another machine
}

// Which displays two starts are on, and whether they share one.
TEST(DisplayIdentity, StartsShareADisplayWhenTheyShareAServer) {
  testsupport::TempFolder runtime;
  const std::string socket = runtime / "wayland-1";
  { std::ofstream(socket).put('\n'); }
  struct Case {
    const char* what;
    DisplayEnvironment a, b;
    bool same;
  } cases[] = {
      {"one X server", {":3", "", "", ""}, {"unix:3.0", "", "", ""}, true},
      {"two X servers", {":3", "", "", ""}, {":4", "", "", ""}, false},
      {"a Wayland socket by name and by path",
       {"", "wayland-1", runtime.Path(), ""},
       {"", socket, "/elsewhere", ""},
       true},
      {"two compositors",
       {"", "wayland-1", runtime.Path(), ""},
       {"", "wayland-2", runtime.Path(), ""},
       false},
      {"an X client of the Wayland session",
       {":3", "wayland-1", runtime.Path(), ""},
       {":3", "", "", ""},
       true},
      {"a Wayland socket that the X-only platform does not use",
       {":3", "wayland-1", runtime.Path(), "xcb"},
       {":4", "wayland-1", runtime.Path(), ""},
       false},
      {"two offscreen starts", {":3", "", "", "offscreen"}, {"", "", "", "offscreen"}, true},
      {"offscreen beside an X start", {":3", "", "", "offscreen"}, {":3", "", "", ""}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ShareADisplay(DisplayIdentities(c.a, kMachine), DisplayIdentities(c.b, kMachine)),
              c.same);
  }
}

}  // namespace
