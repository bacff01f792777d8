#pragma once

// The module state of BrioEasyPrefs, writable, for the module's own source files only.

#include "settings/BrioEasyPrefs.h"

namespace BrioEasyPrefs::state {

// Raise NilObjectException while the state is released.
List& Names();
List& Items();
platform::FolderItemRef& File();

}  // namespace BrioEasyPrefs::state
