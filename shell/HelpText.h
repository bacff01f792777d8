#pragma once

#include <string_view>

// The text the help window shows: four paragraphs, lines separated by a single CR, no line
// break after the last one.
std::string_view HelpText() noexcept;
