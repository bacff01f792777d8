#include "platform/linux/keys/XTestKeyboard.h"

#include <xcb/xinput.h>

#include <string_view>

namespace platform::linux_keys {

std::optional<XTestKeyboard> FindXTestKeyboard(xcb_connection_t* connection, Deadline deadline) {
  const xcb_query_extension_reply_t* xi = xcb_get_extension_data(connection, &xcb_input_id);
  if (xi == nullptr || xi->present == 0) return std::nullopt;
  xcb_discard_reply(connection, xcb_input_xi_query_version(connection, 2, 2).sequence);
  PendingReply devices(xcb_input_xi_query_device(connection, XCB_INPUT_DEVICE_ALL).sequence);
  xcb_flush(connection);
  if (!devices.WaitUntil(connection, deadline) || devices.Reply() == nullptr) return std::nullopt;
  const auto* reply = static_cast<const xcb_input_xi_query_device_reply_t*>(devices.Reply());
  // The core keyboard is the first master keyboard; the server names the XTest device under a
  // master after it ("Virtual core XTEST keyboard").
  XTestKeyboard found;
  for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem > 0;
       xcb_input_xi_device_info_next(&it)) {
    if (it.data->type != XCB_INPUT_DEVICE_TYPE_MASTER_KEYBOARD ||
        (found.master >= 0 && it.data->deviceid > found.master))
      continue;
    found.master = it.data->deviceid;
    // Each class of a master says which keyboard under it it was copied from.
    for (auto c = xcb_input_xi_device_info_classes_iterator(it.data); c.rem > 0;
         xcb_input_device_class_next(&c))
      if (c.data->type == XCB_INPUT_DEVICE_CLASS_TYPE_KEY) found.lastSource = c.data->sourceid;
  }
  constexpr std::string_view kSuffix = " XTEST keyboard";
  for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem > 0;
       xcb_input_xi_device_info_next(&it)) {
    const std::string_view name(xcb_input_xi_device_info_name(it.data),
                                static_cast<size_t>(xcb_input_xi_device_info_name_length(it.data)));
    if (it.data->type == XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD &&
        it.data->attachment == found.master && name.ends_with(kSuffix)) {
      found.device = it.data->deviceid;
      return found;
    }
  }
  return std::nullopt;
}

}  // namespace platform::linux_keys
