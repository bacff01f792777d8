#include "platform/linux/keys/XcbConnect.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/linux/keys/XcbReplies.h"

namespace platform::linux_keys {

std::string QuotedDisplayName(const char* displayName) {
  const char* shown = displayName != nullptr ? displayName : std::getenv("DISPLAY");
  return std::string("\"") + (shown != nullptr ? shown : "") + "\"";
}

xcb_connection_t* ConnectWithExtensions(const char* displayName,
                                        std::initializer_list<xcb_extension_t*> extensions,
                                        std::string& error) {
  xcb_connection_t* connection = xcb_connect(displayName, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    error = "cannot open the X display " + QuotedDisplayName(displayName);
    xcb_disconnect(connection);
    return nullptr;
  }
  // The extensions' data, which xcb would otherwise wait for at their first request, are in
  // once the answer to a request after them is.
  for (xcb_extension_t* extension : extensions) xcb_prefetch_extension_data(connection, extension);
  PendingReply answered(xcb_get_input_focus(connection).sequence);
  xcb_flush(connection);
  if (!answered.WaitUntil(connection, std::chrono::steady_clock::now() + kStartWait)) {
    error = "the X display " + QuotedDisplayName(displayName) + " does not answer";
    xcb_disconnect(connection);
    return nullptr;
  }
  return connection;
}

}  // namespace platform::linux_keys
