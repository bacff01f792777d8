#pragma once

#include <chrono>
#include <cstdint>

struct xcb_connection_t;

namespace platform::linux_keys {

using Deadline = std::chrono::steady_clock::time_point;

// How long a start waits for the server at most; and a press for an answer that a change has
// put on its way: far more than a local server takes, far less than a user notices.
inline constexpr auto kStartWait = std::chrono::seconds(1);
inline constexpr auto kChangeWait = std::chrono::milliseconds(20);

// One reply that was asked for and is taken whenever it has come, never waited for without a
// bound: a server grabbed by another client answers nothing until the grab ends.
class PendingReply {
 public:
  PendingReply() = default;
  explicit PendingReply(unsigned sequence) noexcept : sequence_(sequence), asked_(true) {}
  PendingReply(PendingReply&& other) noexcept { *this = static_cast<PendingReply&&>(other); }
  PendingReply& operator=(PendingReply&& other) noexcept;
  ~PendingReply();

  bool Asked() const noexcept { return asked_; }
  // Takes the reply if it has arrived, reading what the connection holds without waiting; true
  // once it is in (Reply() is null when the server answered with an error).
  bool Poll(xcb_connection_t* connection);
  // Poll, waiting for the connection's descriptor until `deadline` at most.
  bool WaitUntil(xcb_connection_t* connection, Deadline deadline);
  bool Arrived() const noexcept { return arrived_; }
  void* Reply() const noexcept { return reply_; }

 private:
  unsigned sequence_ = 0;
  bool asked_ = false;
  bool arrived_ = false;
  void* reply_ = nullptr;
};

// Whether the 32-bit request sequence `a` comes after `b`, across the counter's wrap.
inline bool SequenceAfter(std::uint32_t a, std::uint32_t b) noexcept {
  return static_cast<std::int32_t>(a - b) > 0;
}

// The full sequence number that xcb gives every event: the last request of ours that the server
// had read when it sent the event.
std::uint32_t SequenceOf(const void* xcbEvent) noexcept;

}  // namespace platform::linux_keys
