// The framework's registry of declared document types. Nothing on Linux consumes it yet (there
// are no file dialogs in the program), so a registration is kept here and nowhere else.
#include "platform/FileType.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {
std::vector<const FileType*>& Registry() {
  static std::vector<const FileType*> registry;
  return registry;
}
}  // namespace

FileType::~FileType() { Deregister(); }

// A registered type is registered with the values it had; a change ends that registration.
void FileType::SetName(std::string v) {
  Deregister();
  name_ = std::move(v);
}
void FileType::SetExtensions(std::string v) {
  Deregister();
  extensions_ = std::move(v);
}
void FileType::SetMacType(std::string v) {
  Deregister();
  macType_ = std::move(v);
}
void FileType::SetMacCreator(std::string v) {
  Deregister();
  macCreator_ = std::move(v);
}

void FileType::Register() {
  if (registered_) return;
  Registry().push_back(this);
  registered_ = true;
}

void FileType::Deregister() {
  if (!registered_) return;
  auto& registry = Registry();
  registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
  registered_ = false;
}

std::vector<const FileType*> FileType::Registered() { return Registry(); }

}  // namespace platform
