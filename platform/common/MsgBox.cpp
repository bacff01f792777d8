#include "platform/MsgBox.h"

#include <cstdio>
#include <utility>

namespace platform {

namespace {
MsgBoxPresenter& Presenter() {
  static MsgBoxPresenter presenter;
  return presenter;
}
}  // namespace

void MsgBox(std::string_view text) {
  const std::string copy(text);
  if (auto& presenter = Presenter()) {
    presenter(copy);
    return;
  }
  std::fprintf(stderr, "%s\n", copy.c_str());
}

MsgBoxPresenter SetMsgBoxPresenter(MsgBoxPresenter presenter) {
  return std::exchange(Presenter(), std::move(presenter));
}

}  // namespace platform
