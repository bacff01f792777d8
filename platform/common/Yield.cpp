#include "platform/Yield.h"

#include <utility>

namespace platform {

namespace {
std::function<void()>& Hook() {
  static std::function<void()> hook;
  return hook;
}
std::uint64_t yields = 0;
}  // namespace

void CooperativeYield() {
  ++yields;
  if (auto& hook = Hook()) hook();
}

std::function<void()> SetYieldHook(std::function<void()> hook) {
  return std::exchange(Hook(), std::move(hook));
}

std::uint64_t YieldCount() noexcept { return yields; }

}  // namespace platform
