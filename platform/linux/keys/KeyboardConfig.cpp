#include "platform/linux/keys/KeyboardConfig.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace platform::linux_keys {
namespace {

std::string_view Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// The value of a shell assignment's right side: quoted in "..." or '...', or bare up to a
// comment.
std::string Unquote(std::string_view value) {
  if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
    const char quote = value.front();
    const auto end = value.find(quote, 1);
    return std::string(value.substr(1, end == std::string_view::npos ? end : end - 1));
  }
  const auto comment = value.find(" #");
  return std::string(Trim(value.substr(0, comment)));
}

}  // namespace

KeyboardConfig ParseKeyboardConfig(const std::string& text) {
  KeyboardConfig config;
  config.model.clear();
  config.layout.clear();
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::string_view rest = Trim(line);
    if (rest.empty() || rest.front() == '#') continue;
    if (rest.substr(0, 7) == "export ") rest = Trim(rest.substr(7));
    const auto eq = rest.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view name = rest.substr(0, eq);
    std::string value = Unquote(Trim(rest.substr(eq + 1)));
    if (name == "XKBMODEL")
      config.model = std::move(value);
    else if (name == "XKBLAYOUT")
      config.layout = std::move(value);
    else if (name == "XKBVARIANT")
      config.variant = std::move(value);
    else if (name == "XKBOPTIONS")
      config.options = std::move(value);
  }
  // Without a layout the variant and options belong to nothing.
  if (config.layout.empty()) return KeyboardConfig{};
  if (config.model.empty()) config.model = KeyboardConfig{}.model;
  return config;
}

KeyboardConfig ReadKeyboardConfig(const std::string& path) {
  std::ifstream file(path);
  if (!file) return KeyboardConfig{};
  std::ostringstream text;
  text << file.rdbuf();
  return ParseKeyboardConfig(text.str());
}

}  // namespace platform::linux_keys
