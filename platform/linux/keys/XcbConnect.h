#pragma once

#include <initializer_list>
#include <string>

struct xcb_connection_t;
struct xcb_extension_t;

namespace platform::linux_keys {

// A connection to the X server `displayName` (null: $DISPLAY) with the data of `extensions`
// already in, so that no later request waits for them: the server is asked once and answered
// within kStartWait, or the connection is given up. Null, with the reason, when it cannot be
// opened or does not answer in time; whether an extension is present is the caller's to judge
// (xcb_get_extension_data no longer waits).
xcb_connection_t* ConnectWithExtensions(const char* displayName,
                                        std::initializer_list<xcb_extension_t*> extensions,
                                        std::string& error);

// The display name as a message shows it, in quotes: the given one, else $DISPLAY.
std::string QuotedDisplayName(const char* displayName);

}  // namespace platform::linux_keys
