#pragma once

// The Qt side of a control. Framework-internal.

#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Controls.h"

namespace platform {

struct Control::Impl {
  explicit Impl(Window& owner) : window(&owner) {}

  // Takes `w` as the control's widget (already a child of the window's content area).
  void Adopt(QWidget* w);
  // Puts the widget where the layout values and the window's content size say.
  void Place(int contentWidth, int contentHeight);
  void ApplyVisibility();

  Window* window;
  std::string name;
  ControlProperties props;
  QPointer<QWidget> widget;
  std::vector<QMetaObject::Connection> connections;
  std::map<std::string, std::function<void()>, std::less<>> handlers;
  bool visible = true;
  bool enabled = true;
  // Distances to the right and bottom edges, measured when the layout values were applied.
  int rightMargin = 0, bottomMargin = 0;
  int left = 0, top = 0, width = 80, height = 20;
};

}  // namespace platform
