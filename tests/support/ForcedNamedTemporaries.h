#pragma once

// Makes file replacements use named temporary files, as on file systems without unnamed ones,
// until the end of the scope.

#include "platform/Files.h"

namespace testsupport {

class ForcedNamedTemporaries {
 public:
  explicit ForcedNamedTemporaries(bool force = true)
      : previous_(platform::ForceNamedTemporaryFiles(force)) {}
  ~ForcedNamedTemporaries() { platform::ForceNamedTemporaryFiles(previous_); }
  ForcedNamedTemporaries(const ForcedNamedTemporaries&) = delete;
  ForcedNamedTemporaries& operator=(const ForcedNamedTemporaries&) = delete;

 private:
  bool previous_;
};

}  // namespace testsupport
