#include "platform/linux/keys/XcbReplies.h"

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>

namespace platform::linux_keys {

PendingReply& PendingReply::operator=(PendingReply&& other) noexcept {
  if (this == &other) return *this;
  std::free(reply_);
  sequence_ = other.sequence_;
  asked_ = other.asked_;
  arrived_ = other.arrived_;
  reply_ = other.reply_;
  other.asked_ = other.arrived_ = false;
  other.reply_ = nullptr;
  return *this;
}

// A reply never taken stays with the connection, which frees it when it closes.
PendingReply::~PendingReply() { std::free(reply_); }

bool PendingReply::Poll(xcb_connection_t* connection) {
  if (!asked_ || arrived_) return arrived_;
  xcb_generic_error_t* error = nullptr;
  if (xcb_poll_for_reply(connection, sequence_, &reply_, &error) == 0) {
    if (xcb_connection_has_error(connection) == 0) return false;
    reply_ = nullptr;  // a broken connection answers nothing ever again
  }
  std::free(error);
  arrived_ = true;
  return true;
}

bool PendingReply::WaitUntil(xcb_connection_t* connection, Deadline deadline) {
  while (!Poll(connection)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{xcb_get_file_descriptor(connection), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
  return true;
}

std::uint32_t SequenceOf(const void* xcbEvent) noexcept {
  return static_cast<const xcb_generic_event_t*>(xcbEvent)->full_sequence;
}

}  // namespace platform::linux_keys
