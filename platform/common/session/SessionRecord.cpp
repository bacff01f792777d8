#include "platform/common/session/SessionRecord.h"

#include <charconv>

namespace platform::session_guard {
namespace {

constexpr std::string_view kEnd = "end";

// A value cut at its first line break, so that it stays one line of the file.
std::string_view OneLine(std::string_view text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

std::string FormatRecord(const SessionRecord& record) {
  std::string text;
  const auto line = [&text](std::string_view name, std::string_view value) {
    text.append(name).append("=").append(OneLine(value)).append("\n");
  };
  line("machine", record.machine);
  line("pid", std::to_string(record.pid));
  line("socket", record.socket);
  for (const auto& display : record.displays) line("display", display);
  line("shown", record.displayAsSet);
  text.append(kEnd).append("\n");
  return text;
}

std::optional<SessionRecord> ParseRecord(std::string_view text) {
  SessionRecord record;
  bool hasMachine = false;
  while (!text.empty()) {
    const auto end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;  // cut off
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (line == kEnd) {
      if (!hasMachine || record.displays.empty()) return std::nullopt;
      return record;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    if (name == "machine") {
      record.machine = value;
      hasMachine = true;
    } else if (name == "pid") {
      std::from_chars(value.data(), value.data() + value.size(), record.pid);
    } else if (name == "socket") {
      record.socket = value;
    } else if (name == "display") {
      record.displays.push_back(value);
    } else if (name == "shown") {
      record.displayAsSet = value;
    }
  }
  return std::nullopt;
}

}  // namespace platform::session_guard
