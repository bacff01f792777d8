#include "core/Window1.h"

namespace {
constexpr const char* kFullClassName = "Window1.Window1";
}

Window1::Window1() : platform::Window(kFullClassName) {}

// Releasing the window lets go of its listener with it.
Window1::~Window1() = default;

std::shared_ptr<Window1> Window1::Existing() {
  return platform::CheckCast<Window1>(platform::GetImplicitWindow(kFullClassName));
}

std::shared_ptr<Window1> Window1::Instance() {
  auto window = platform::GetImplicitWindow(kFullClassName);
  if (!window) {
    // A failure while building passes to the caller; the partly built window goes with `fresh`.
    auto fresh = std::make_shared<Window1>();
    fresh->Constructor();
    window = std::move(fresh);
  }
  return platform::CheckCast<Window1>(window);
}
