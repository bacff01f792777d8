#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Shows the text in a modal message box and returns when the user dismisses it. The framework
// installs a real dialog once it is up; before that, and without a presenter, the text goes to
// standard error.
void MsgBox(std::string_view text);

// Replaces the presenter (tests capture the texts this way). Returns the previous one.
using MsgBoxPresenter = std::function<void(const std::string&)>;
MsgBoxPresenter SetMsgBoxPresenter(MsgBoxPresenter presenter);

}  // namespace platform
