#include "platform/linux/keys/XHeldKeys.h"

#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace platform::linux_keys {

XHeldKeys::XHeldKeys(xcb_connection_t* connection, Deadline deadline) : connection_(connection) {
  const xcb_query_extension_reply_t* xi = xcb_get_extension_data(connection_, &xcb_input_id);
  if (xi == nullptr || xi->present == 0) return;
  xiOpcode_ = xi->major_opcode;
  // The server takes XInput 2 requests only from a client that said which version it speaks.
  xcb_discard_reply(connection_, xcb_input_xi_query_version(connection_, 2, 2).sequence);
  struct {
    xcb_input_event_mask_t head;
    std::uint32_t bits;
  } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
         XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  xcb_input_xi_select_events(connection_, root, 1, &mask.head);
  devices_ = PendingReply(xcb_input_xi_query_device(connection_, XCB_INPUT_DEVICE_ALL).sequence);
  xcb_flush(connection_);
  if (!devices_.WaitUntil(connection_, deadline)) return;
  TakeDevices();
  for (auto& [device, keyboard] : keyboards_) keyboard.state.WaitUntil(connection_, deadline);
  Update();
}

void XHeldKeys::TakeDevices() {
  const auto* reply = static_cast<const xcb_input_xi_query_device_reply_t*>(devices_.Reply());
  if (reply != nullptr) {
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem > 0;
         xcb_input_xi_device_info_next(&it)) {
      if (it.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD) continue;
      Keyboard& keyboard = keyboards_[it.data->deviceid];
      const auto cookie =
          xcb_input_query_device_state(connection_, static_cast<std::uint8_t>(it.data->deviceid));
      keyboard.state = PendingReply(cookie.sequence);
      keyboard.askedAt = cookie.sequence;
    }
    xcb_flush(connection_);
  }
  devices_ = {};
}

bool XHeldKeys::Take(const xcb_generic_event_t& event) {
  if ((event.response_type & 0x7f) != XCB_GE_GENERIC || xiOpcode_ < 0) return false;
  const auto& raw = reinterpret_cast<const xcb_input_raw_key_press_event_t&>(event);
  if (raw.extension != xiOpcode_ ||
      (raw.event_type != XCB_INPUT_RAW_KEY_PRESS && raw.event_type != XCB_INPUT_RAW_KEY_RELEASE))
    return false;
  const bool down = raw.event_type == XCB_INPUT_RAW_KEY_PRESS;
  if (raw.detail > 255 || (down && (raw.flags & XCB_INPUT_KEY_EVENT_FLAGS_KEY_REPEAT) != 0))
    return true;
  // A keyboard that came later starts with no key down.
  Keyboard& keyboard = keyboards_[raw.sourceid];
  if (keyboard.state.Asked()) {
    // Sent before the server answered what it holds: the answer has it already.
    if (SequenceAfter(keyboard.askedAt, raw.full_sequence)) return true;
    keyboard.sinceAsked.emplace_back(static_cast<int>(raw.detail), down);
    return true;
  }
  keyboard.down.set(raw.detail, down);
  return true;
}

void XHeldKeys::Update() {
  if (devices_.Asked() && devices_.Poll(connection_)) TakeDevices();
  for (auto& [device, keyboard] : keyboards_) {
    if (!keyboard.state.Asked() || !keyboard.state.Poll(connection_)) continue;
    if (const auto* reply =
            static_cast<const xcb_input_query_device_state_reply_t*>(keyboard.state.Reply())) {
      for (auto it = xcb_input_query_device_state_classes_iterator(reply); it.rem > 0;
           xcb_input_input_state_next(&it)) {
        if (it.data->class_id != XCB_INPUT_INPUT_CLASS_KEY) continue;
        const auto* keys = reinterpret_cast<const xcb_input_key_state_t*>(it.data);
        for (size_t key = 0; key < 256; ++key)
          keyboard.down.set(key, (keys->keys[key / 8] >> (key % 8)) & 1);
      }
    }
    for (const auto& [key, down] : keyboard.sinceAsked)
      keyboard.down.set(static_cast<size_t>(key), down);
    keyboard.sinceAsked.clear();
    keyboard.state = {};
  }
}

}  // namespace platform::linux_keys
