#include "shell/HelpText.h"

namespace {
// Kept as one literal so the text can be compared byte for byte; the two blanks after
// "Command-P" and the straight quotes belong to it.
constexpr std::string_view kHelpText =
    "This is pretty simple...\r"
    "\r"
    "Turn On/Turn Off starts and stops listening to the Apple Remote.\r"
    "\r"
    "Exclusive Mode tries to block other applications that might be trying to use the remote. "
    "If this is off then it will try and play nice.\r"
    "\r"
    "The buttons table defines what character gets pressed when a remote button gets pressed. "
    "The modifier check boxes define what key modifiers get applied to the key being pressed... "
    "so if you need the \"Menu\" button to \"do\" a Command-P  then next to the \"Menu Down\" "
    "entry, put a \"P\" and put a check in the \"CMD\" column.";
}  // namespace

std::string_view HelpText() noexcept { return kHelpText; }
