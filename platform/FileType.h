#pragma once

#include <string>
#include <vector>

namespace platform {

// A declared document type. Registering makes it known to the framework once; setting a
// property of a registered type ends its registration first; destroying it deregisters it.
class FileType {
 public:
  FileType() = default;
  ~FileType();
  FileType(const FileType&) = delete;
  FileType& operator=(const FileType&) = delete;

  void SetName(std::string v);
  void SetExtensions(std::string v);
  void SetMacType(std::string v);
  void SetMacCreator(std::string v);
  const std::string& Name() const noexcept { return name_; }
  const std::string& Extensions() const noexcept { return extensions_; }
  const std::string& MacType() const noexcept { return macType_; }
  const std::string& MacCreator() const noexcept { return macCreator_; }

  void Register();
  void Deregister();
  bool IsRegistered() const noexcept { return registered_; }
  // The conversion to text: registers the type and gives its Name.
  std::string ConvertToString();

  // The framework's registry, for inspection.
  static std::vector<const FileType*> Registered();

 private:
  std::string name_, extensions_, macType_, macCreator_;
  bool registered_ = false;
};

}  // namespace platform
