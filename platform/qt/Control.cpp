// What every control shares: its name, place, visibility and event handlers.
#include <QCoreApplication>
#include <QFont>
#include <algorithm>

#include "platform/Runtime.h"
#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/WindowImpl.h"

namespace platform {

void Control::Impl::Adopt(QWidget* w) {
  widget = w;
  Place(window->Width(), window->Height());
}

void Control::Impl::Place(int contentWidth, int contentHeight) {
  int l = props.left, t = props.top, w = props.width, h = props.height;
  if (props.lockRight) {
    if (props.lockLeft)
      w = contentWidth - l - rightMargin;
    else
      l = contentWidth - rightMargin - w;
  }
  if (props.lockBottom) {
    if (props.lockTop)
      h = contentHeight - t - bottomMargin;
    else
      t = contentHeight - bottomMargin - h;
  }
  left = l;
  top = t;
  width = w;
  height = h;
  if (widget) widget->setGeometry(l, t, std::max(w, 0), std::max(h, 0));
  ApplyVisibility();
}

void Control::Impl::ApplyVisibility() {
  // A control squeezed to no area (a list by its margins in a collapsed window) is not shown,
  // though it stays visible as far as the program is concerned.
  if (widget) widget->setVisible(visible && width > 0 && height > 0);
}

Control::Control(Window& window) : impl_(std::make_unique<Impl>(window)) {}

Control::~Control() {
  auto& impl = *impl_;
  for (const auto& connection : impl.connections) QObject::disconnect(connection);
  if (impl.widget) {
    impl.widget->hide();
    // Later: this may run inside a signal of the widget itself.
    if (QCoreApplication::instance())
      impl.widget->deleteLater();
    else
      delete impl.widget.data();
  }
}

const std::string& Control::Name() const noexcept { return impl_->name; }
Window& Control::ParentWindow() const noexcept { return *impl_->window; }

bool Control::Visible() const { return impl_->visible; }

void Control::SetVisible(bool visible) {
  impl_->visible = visible;
  impl_->ApplyVisibility();
}

bool Control::Enabled() const { return impl_->enabled; }

void Control::SetEnabled(bool enabled) {
  impl_->enabled = enabled;
  if (impl_->widget) impl_->widget->setEnabled(enabled);
}

int Control::Left() const { return impl_->left; }
int Control::Top() const { return impl_->top; }
int Control::Width() const { return impl_->width; }
int Control::Height() const { return impl_->height; }

const ControlProperties& Control::CommonProperties() const noexcept { return impl_->props; }

void Control::InstallEventHandler(std::string eventName, std::function<void()> handler) {
  impl_->handlers[std::move(eventName)] = std::move(handler);
}

bool Control::HasEventHandler(std::string_view eventName) const {
  return impl_->handlers.find(eventName) != impl_->handlers.end();
}

std::vector<std::string> Control::EventNames() const {
  std::vector<std::string> names;
  for (const auto& entry : impl_->handlers) names.push_back(entry.first);
  return names;
}

void Control::RaiseEvent(std::string_view eventName) {
  auto found = impl_->handlers.find(eventName);
  if (found == impl_->handlers.end() || !found->second) return;
  // A copy: the handler may close the window and so destroy this control while it runs.
  const std::function<void()> handler = found->second;
  Runtime::Dispatch(handler);
}

void Control::ApplyCommon(const ControlProperties& props) {
  auto& impl = *impl_;
  impl.props = props;
  // Locked edges keep the distances they have now to the window's content edges.
  impl.rightMargin = impl.window->Width() - (props.left + props.width);
  impl.bottomMargin = impl.window->Height() - (props.top + props.height);
  impl.visible = props.visible;
  impl.enabled = props.enabled;
  if (auto* w = impl.widget.data()) {
    w->setEnabled(props.enabled);
    w->setToolTip(QString::fromStdString(props.helpTag));
    if (!props.tabStop) w->setFocusPolicy(Qt::NoFocus);
    QFont font = w->font();
    if (!props.textFont.empty() && props.textFont != "System" && props.textFont != "SmallSystem")
      font.setFamily(QString::fromStdString(props.textFont));
    // Layout values are pixels, so a text size is one too.
    if (props.textSize > 0) font.setPixelSize(props.textSize);
    font.setBold(props.bold);
    font.setItalic(props.italic);
    font.setUnderline(props.underline);
    w->setFont(font);
  }
  impl.Place(impl.window->Width(), impl.window->Height());
}

}  // namespace platform
