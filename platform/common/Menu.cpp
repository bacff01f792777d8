#include "platform/Menu.h"

#include "platform/Exceptions.h"

namespace platform {

std::shared_ptr<MenuItem> MenuItem::Item(int index) const {
  if (index < 0 || index >= Count()) throw OutOfBoundsException("menu item index out of bounds");
  return children_[static_cast<std::size_t>(index)];
}

std::shared_ptr<MenuItem> MenuItem::Child(std::string_view name) const {
  for (const auto& child : children_)
    if (child->Name() == name) return child;
  return nullptr;
}

std::shared_ptr<MenuItem> MenuItem::Lookup(std::string_view name) const {
  for (const auto& child : children_) {
    if (child->Name() == name) return child;
    if (auto found = child->Lookup(name)) return found;
  }
  return nullptr;
}

}  // namespace platform
