#include "platform/linux/keys/XHeldKeys.h"

#include <xcb/xinput.h>

namespace platform::linux_keys {

XHeldKeys::XHeldKeys(xcb_connection_t* connection, Deadline deadline) : connection_(connection) {
  const xcb_query_extension_reply_t* xi = xcb_get_extension_data(connection_, &xcb_input_id);
  if (xi == nullptr || xi->present == 0) return;
  present_ = true;
  // The server takes XInput 2 requests only from a client that said which version it speaks.
  xcb_discard_reply(connection_, xcb_input_xi_query_version(connection_, 2, 2).sequence);
  AskForDevices();
  WaitUntil(deadline);
}

void XHeldKeys::WaitUntil(Deadline deadline) {
  if (devices_.Asked()) {
    if (!devices_.WaitUntil(connection_, deadline)) return;
    TakeDevices();
  }
  for (auto& [device, state] : states_)
    if (!state.WaitUntil(connection_, deadline)) return;
  Update();
}

void XHeldKeys::AskForDevices() {
  devices_ = PendingReply(xcb_input_xi_query_device(connection_, XCB_INPUT_DEVICE_ALL).sequence);
  askAgain_ = false;
  xcb_flush(connection_);
}

void XHeldKeys::Refresh() {
  if (!present_) return;
  if (devices_.Asked() || !states_.empty())
    askAgain_ = true;
  else
    AskForDevices();
}

void XHeldKeys::TakeDevices() {
  const auto* reply = static_cast<const xcb_input_xi_query_device_reply_t*>(devices_.Reply());
  if (reply != nullptr) {
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem > 0;
         xcb_input_xi_device_info_next(&it)) {
      if (it.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_KEYBOARD) continue;
      states_[it.data->deviceid] = PendingReply(
          xcb_input_query_device_state(connection_, static_cast<std::uint8_t>(it.data->deviceid))
              .sequence);
    }
    xcb_flush(connection_);
  }
  devices_ = {};
}

void XHeldKeys::Update() {
  if (devices_.Asked() && devices_.Poll(connection_)) TakeDevices();
  if (states_.empty()) return;
  for (auto& [device, state] : states_)
    if (!state.Poll(connection_)) return;
  // Every keyboard has answered: the whole answer replaces the last.
  keyboards_.clear();
  for (auto& [device, state] : states_) {
    const auto* reply = static_cast<const xcb_input_query_device_state_reply_t*>(state.Reply());
    if (reply == nullptr) continue;  // a keyboard that has gone meanwhile
    for (auto it = xcb_input_query_device_state_classes_iterator(reply); it.rem > 0;
         xcb_input_input_state_next(&it)) {
      if (it.data->class_id != XCB_INPUT_INPUT_CLASS_KEY) continue;
      const auto* keys = reinterpret_cast<const xcb_input_key_state_t*>(it.data);
      std::bitset<256>& down = keyboards_[device];
      for (size_t key = 0; key < 256; ++key) down.set(key, (keys->keys[key / 8] >> (key % 8)) & 1);
    }
  }
  states_.clear();
  if (askAgain_) AskForDevices();
}

}  // namespace platform::linux_keys
