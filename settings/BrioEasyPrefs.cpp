#include "settings/BrioEasyPrefs.h"

#include <memory>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefsState.h"

namespace BrioEasyPrefs {

namespace {

std::unique_ptr<List> prefNames;
std::unique_ptr<List> prefItems;
platform::FolderItemRef prefFile;

// Where the first entry named `prefName` is. Yields after every entry that does not match (so a
// long scan lets the framework breathe) and leaves at once on a match. The bound is read afresh
// on every pass, as the yield may run other code.
std::optional<std::size_t> Scan(const platform::String& prefName) {
  for (std::size_t k = 1; k < state::Names().size(); ++k) {
    if (platform::StringEquals(state::Names()[k], prefName)) return k;
    platform::CooperativeYield();
  }
  return std::nullopt;
}

}  // namespace

List& state::Names() { return platform::Deref(prefNames, "settings names are released"); }
List& state::Items() { return platform::Deref(prefItems, "settings values are released"); }
platform::FolderItemRef& state::File() { return prefFile; }

void InitModuleState() {
  prefItems = std::make_unique<List>(1);
  prefNames = std::make_unique<List>(1);
  prefFile = nullptr;
}

void ReleaseModuleState() {
  prefFile = nullptr;
  prefItems = nullptr;
  prefNames = nullptr;
}

const List& PrefNames() { return state::Names(); }
const List& PrefItems() { return state::Items(); }
const platform::FolderItemRef& PrefFile() { return prefFile; }

platform::String GetPrefString(const platform::String& prefName,
                               const platform::String& defaultValue) {
  if (const auto k = Scan(prefName)) return state::Items().at(*k);
  return defaultValue;
}

bool GetPrefBoolean(const platform::String& prefName, bool defaultValue) {
  const platform::String s = GetPrefString(prefName, defaultValue ? "true" : "false");
  return platform::StringEquals(s, "true");
}

void SetPrefString(const platform::String& prefName, const platform::String& newValue) {
  if (const auto k = Scan(prefName)) {
    state::Items().at(*k) = newValue;
    return;
  }
  state::Names().push_back(prefName);
  state::Items().push_back(newValue);
}

void SetPrefBoolean(const platform::String& prefName, bool newValue) {
  SetPrefString(prefName, newValue ? "true" : "false");
}

}  // namespace BrioEasyPrefs
