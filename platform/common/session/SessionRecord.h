#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the copy that holds the session lock publishes in the lock file, for later starts.
namespace platform::session_guard {

struct SessionRecord {
  std::string machine;                // where it runs
  long pid = 0;                       // for messages only
  std::string socket;                 // where it answers hand-overs; empty where it cannot
  std::vector<std::string> displays;  // its display identities (DisplayIdentities)
  std::string displayAsSet;           // its display as its user set it (DisplayAsSet)
};

// One "name=value" line per field and a closing "end" line: a record being written, or
// anything else that is not a whole record, reads as none.
std::string FormatRecord(const SessionRecord& record);
std::optional<SessionRecord> ParseRecord(std::string_view text);

}  // namespace platform::session_guard
