#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "tests/kernel/EvdevNode.h"
#include "tests/kernel/FakeReceiver.h"

// What the checks in the guest share.
namespace zibk {

inline constexpr std::uint16_t kApple = 0x05ac;
inline constexpr std::uint16_t kReceiver = 0x8242;
inline constexpr Millis kNodeTimeout{5000};
// The remote repeats its frame while a button stays down; the driver releases the key 1/8 s
// after the last one. Frames here come faster than the remote's, so that a busy guest does not
// let the driver release a key in the middle of a hold.
inline constexpr Millis kRepeatGap{40};
inline constexpr Millis kLateGap{100};

struct CheckFailed : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// The guest was too slow for the timing a check needs (the host is busy): worth another go.
struct TimingSlipped : std::runtime_error {
  using std::runtime_error::runtime_error;
};

inline void Expect(bool ok, const std::string& why) {
  if (!ok) throw CheckFailed(why);
}

// Holds a button down for `duration` the way the remote does: one press frame, then repeat
// frames while the button stays down. Calls `between` after each frame; it should take about
// kRepeatGap.
void HoldButton(FakeReceiver& receiver, IrButton button, Millis duration,
                const std::function<void()>& between);

// The evdev node of a plugged receiver; fails the check when none comes.
std::string ReceiverNode(std::uint16_t product = kReceiver);

// CPU time this process has used (user and system).
Millis CpuTime();

std::string Hex(unsigned value);

// The line the application says on standard error about a receiver node it may not read.
std::string UnreadableNodeLine(const std::string& node);

// The checks, one function each, returning what they showed.
std::string CheckDriverFrames();
std::string CheckReceiverFound();
std::string CheckClicksAndHolds();
std::string CheckGrab();
std::string CheckHotplug();
std::string CheckNodeAllowedLater();
std::string CheckUnreadableNodeSaid();
std::string CheckGrabRefusedSaid();
std::string CheckUinputKeyboard();

}  // namespace zibk
