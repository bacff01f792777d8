#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Strings are byte strings exactly as read or typed: UTF-8 is expected, anything else is kept
// byte for byte.
using String = std::string;

// The one String equality of the program: settings names, the text "true", the table's event-ID
// match and the default-key lookup all use it and nothing else. Two strings are equal when they
// have the same length and the same bytes, except that ASCII letters match regardless of case
// ("True" equals "true"). Bytes outside ASCII compare exactly.
bool StringEquals(std::string_view a, std::string_view b) noexcept;

// Decimal text of an integer: no sign for non-negative values, no leading zeros, no blanks.
String Str(std::int64_t value);

// Character code of the first character: its Unicode code point when the text starts with a
// well-formed UTF-8 sequence, else the value of its first byte. 0 for the empty text.
int Asc(std::string_view text) noexcept;

}  // namespace platform
