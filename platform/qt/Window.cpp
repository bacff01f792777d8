// Windows over QWidget: a top-level widget holding the window's own menu bar and, below it, the
// content area whose size is the window's Width and Height.
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "platform/Application.h"
#include "platform/Runtime.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/ListboxTable.h"
#include "platform/qt/MainLoop.h"
#include "platform/qt/MenuBarBuilder.h"
#include "platform/qt/WindowImpl.h"
#include "platform/qt/XcbBringForward.h"

namespace platform {

namespace {

struct Registry {
  std::vector<std::shared_ptr<Window>> open;
  std::map<std::string, std::weak_ptr<Window>, std::less<>> implicit;
};

Registry& Windows() {
  static Registry registry;
  return registry;
}

void Unregister(const Window& window) {
  auto& registry = Windows();
  auto found = registry.implicit.find(window.FullClassName());
  if (found != registry.implicit.end()) {
    auto held = found->second.lock();
    if (!held || held.get() == &window) registry.implicit.erase(found);
  }
  // Erase last: it may drop the last reference to the window.
  auto it = std::find_if(registry.open.begin(), registry.open.end(),
                         [&](const auto& w) { return w.get() == &window; });
  if (it != registry.open.end()) {
    auto keep = *it;
    registry.open.erase(it);
  }
}

// A key press that the focused control left alone reaches the window: Return and Enter press
// the default button, Escape the cancel button, as in a dialog.
PushButton* ButtonForKey(const Window& window, int key) {
  const bool isReturn = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (!isReturn && key != Qt::Key_Escape) return nullptr;
  for (const auto& control : window.Controls()) {
    auto* button = dynamic_cast<PushButton*>(control.get());
    if (!button || !button->Visible() || !button->Enabled()) continue;
    const auto& w = button->impl().widget;
    if (!w || !w->isVisibleTo(w->window())) continue;
    if (isReturn ? button->IsDefault() : button->IsCancel()) return button;
  }
  return nullptr;
}

}  // namespace

namespace qt {

WindowWidget::WindowWidget(Window* owner) : owner_(owner) {}

void WindowWidget::closeEvent(QCloseEvent* event) {
  // The close box closes the window the same way the program does, events included.
  event->ignore();
  if (!owner_) return;
  auto self = owner_->weak_from_this().lock();
  if (!self) return;
  Runtime::Dispatch([self] { self->Close(); });
}

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  if (owner_ && event->modifiers() == Qt::NoModifier) {
    if (auto* button = ButtonForKey(*owner_, event->key())) {
      event->accept();
      button->Push();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

void WindowWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Only a resize by the user changes the window's size values; the program's own resizes set
  // them first.
  if (owner_ && event->spontaneous()) owner_->impl().TakeUserSize();
}

std::vector<std::shared_ptr<Window>> OpenWindows() { return Windows().open; }

void DropAllWindows() {
  auto& registry = Windows();
  registry.implicit.clear();
  auto open = std::move(registry.open);
  registry.open.clear();
  open.clear();
}

QWidget* TopLevelWidget(const Window& window) { return window.impl().widget; }
QWidget* ContentWidget(const Window& window) { return window.impl().content; }
QMenuBar* MenuBarWidget(const Window& window) { return window.impl().qtMenuBar; }

}  // namespace qt

Window::Impl::Impl(Window& owner, std::string className)
    : self(owner), fullClassName(std::move(className)) {
  if (!QCoreApplication::instance())
    throw RuntimeException("the framework is not initialised: no window can be made");
  widget = new qt::WindowWidget(&owner);
  widget->setAttribute(Qt::WA_QuitOnClose, false);
  layout = new QVBoxLayout(widget);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  content = new QWidget(widget);
  layout->addWidget(content);
  width = props.width;
  height = props.height;
  ApplyFlags();
  ApplySize();
}

Window::Impl::~Impl() {
  controls.clear();
  if (widget) {
    widget->Detach();
    widget->hide();
    // Deleted later: this may run inside a signal of one of the window's own widgets.
    if (QCoreApplication::instance())
      widget->deleteLater();
    else
      delete widget.data();
  }
}

void Window::Impl::ApplyFlags() {
  if (!widget) return;
  Qt::WindowFlags flags =
      Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
  if (props.closeButton) flags |= Qt::WindowCloseButtonHint;
  if (props.minimizeButton) flags |= Qt::WindowMinimizeButtonHint;
  if (props.maximizeButton && props.resizeable) flags |= Qt::WindowMaximizeButtonHint;
  const bool wasVisible = widget->isVisible();
  widget->setWindowFlags(flags);
  if (wasVisible) widget->show();
}

void Window::Impl::ApplySize() {
  if (!widget || !content) return;
  if (!props.resizeable) {
    // The window is exactly its content plus the menu bar, and the user cannot change it. The
    // minimum height is a limit for the user only: the program may set less (a collapsed
    // window).
    content->setFixedSize(width, height);
    layout->setSizeConstraint(QLayout::SetFixedSize);
  } else {
    layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    content->setMinimumSize(std::min(props.minWidth, width), std::min(props.minHeight, height));
    content->setMaximumSize(std::max(props.maxWidth, width), std::max(props.maxHeight, height));
    const int barHeight = qtMenuBar ? qtMenuBar->heightForWidth(width) : 0;
    widget->resize(width,
                   height + std::max(barHeight, qtMenuBar ? qtMenuBar->sizeHint().height() : 0));
  }
  layout->activate();
  PlaceControls();
}

void Window::Impl::TakeUserSize() {
  if (!props.resizeable || !content) return;
  width = content->width();
  height = content->height();
  PlaceControls();
}

void Window::Impl::PlaceControls() {
  for (const auto& control : controls) control->impl().Place(width, height);
}

void Window::Impl::OrderTabStops() {
  std::vector<Control*> order;
  for (const auto& control : controls)
    if (control->impl().widget && control->impl().widget->focusPolicy() != Qt::NoFocus)
      order.push_back(control.get());
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->CommonProperties().tabIndex < b->CommonProperties().tabIndex;
  });
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(order[i - 1]->impl().widget, order[i]->impl().widget);
}

void Window::Impl::InstallMenuBar(const std::shared_ptr<MenuBar>& tree) {
  if (!widget) return;
  if (qtMenuBar) {
    layout->setMenuBar(nullptr);
    qtMenuBar->hide();
    qtMenuBar->deleteLater();
  }
  shownMenuBar = tree;
  if (tree) {
    qtMenuBar = qt::BuildMenuBar(*tree, widget);
    layout->setMenuBar(qtMenuBar);
    qtMenuBar->setVisible(props.menuBarVisible);
  }
  ApplySize();
}

Window::Window(std::string fullClassName)
    : impl_(std::make_unique<Impl>(*this, std::move(fullClassName))) {}

Window::~Window() = default;

const std::string& Window::FullClassName() const noexcept { return impl_->fullClassName; }

void Window::Constructor() {
  Layout();
  CreateControls();
  auto self = shared_from_this();
  auto& registry = Windows();
  registry.open.push_back(self);
  registry.implicit[impl_->fullClassName] = self;
  impl_->constructed = true;
  impl_->OrderTabStops();
  for (const auto& control : Controls()) control->RaiseEvent("Open");
  RaiseOpen();
  if (impl_->props.visible && !impl_->closed) Show();
}

void Window::Show() {
  auto& impl = *impl_;
  if (impl.closed || !impl.widget) return;
  // A window without a menu bar of its own shows the application's, as long as its menu bar
  // is to be visible: on Linux the menus live in each window.
  if (!impl.menuBar && impl.props.menuBarVisible && !impl.shownMenuBar) {
    if (auto app = Runtime::GetAppObject(); app && app->GetMenuBar())
      impl.InstallMenuBar(app->GetMenuBar());
  }
  // A window already shown is brought forward without waiting for the display server, which
  // another client may be holding: the hand-over that asks for this must not stop the main loop.
  if (impl.widget->isVisible() && qt::BringForward(*impl.widget)) return;
  // show() alone leaves a minimised window minimised, and a user without a task bar could not
  // get it back.
  if (impl.widget->isMinimized())
    impl.widget->setWindowState(impl.widget->windowState() & ~Qt::WindowMinimized);
  impl.widget->show();
  impl.widget->raise();
  impl.widget->activateWindow();
  qt::PrepareBringForward(*impl.widget);
}

void Window::Hide() {
  if (impl_->widget) impl_->widget->hide();
}

void Window::Close() {
  auto& impl = *impl_;
  if (impl.closing || impl.closed) return;
  impl.closing = true;
  auto keep = weak_from_this().lock();  // the registry may hold the last reference
  // What the user was typing into a list cell counts as typed: the Close event sees it.
  for (const auto& control : impl.controls)
    if (auto* list = dynamic_cast<const Listbox*>(control.get())) qt::CommitOpenEditor(*list);
  Runtime::Dispatch([this] { Event_Close(); });
  impl.closed = true;
  if (impl.widget && !qt::DisplayLost()) impl.widget->hide();
  Unregister(*this);
  qt::WindowClosed(*this);
}

bool Window::Visible() const {
  return !impl_->closed && impl_->widget && impl_->widget->isVisible();
}

bool Window::IsClosed() const noexcept { return impl_->closed; }

int Window::Width() const { return impl_->width; }
int Window::Height() const { return impl_->height; }

void Window::SetWidth(int width) {
  impl_->width = std::max(width, 0);
  impl_->ApplySize();
}

void Window::SetHeight(int height) {
  impl_->height = std::max(height, 0);
  impl_->ApplySize();
}

const std::string& Window::Title() const { return impl_->title; }

void Window::SetTitle(std::string title) {
  impl_->title = std::move(title);
  if (impl_->widget) impl_->widget->setWindowTitle(QString::fromStdString(impl_->title));
}

void Window::SetMenuBar(std::shared_ptr<MenuBar> bar) {
  impl_->menuBar = std::move(bar);
  impl_->InstallMenuBar(impl_->menuBar);
}

const std::shared_ptr<MenuBar>& Window::GetMenuBar() const noexcept { return impl_->menuBar; }

void Window::SetProperties(const WindowProperties& props) {
  auto& impl = *impl_;
  impl.props = props;
  impl.width = std::max(props.width, 0);
  impl.height = std::max(props.height, 0);
  if (impl.content) {
    impl.content->setAutoFillBackground(props.hasBackColor);
    if (props.hasBackColor) {
      QPalette palette = impl.content->palette();
      palette.setColor(QPalette::Window, QColor::fromRgb(props.backColor & 0xFFFFFFu));
      impl.content->setPalette(palette);
    }
  }
  if (impl.qtMenuBar) impl.qtMenuBar->setVisible(props.menuBarVisible);
  impl.ApplyFlags();
  SetTitle(props.title);
  impl.ApplySize();
  if (impl.constructed && !impl.closed) {
    if (props.visible)
      Show();
    else
      Hide();
  }
}

const WindowProperties& Window::Properties() const noexcept { return impl_->props; }

void Window::AddControl(const std::string& name, std::shared_ptr<Control> control) {
  Deref(control, "no control to add");
  if (&control->ParentWindow() != this)
    throw RuntimeException("control " + name + " belongs to another window");
  control->impl().name = name;
  auto& controls = impl_->controls;
  // A second control of the same name takes the place of the first.
  auto same = std::find_if(controls.begin(), controls.end(),
                           [&](const auto& c) { return c->Name() == name && c != control; });
  if (same != controls.end()) controls.erase(same);
  if (std::find(controls.begin(), controls.end(), control) == controls.end())
    controls.push_back(std::move(control));
}

std::shared_ptr<Control> Window::ControlByName(std::string_view name) const {
  for (const auto& control : impl_->controls)
    if (control->Name() == name) return control;
  return nullptr;
}

std::vector<std::shared_ptr<Control>> Window::Controls() const { return impl_->controls; }

void Window::RaiseOpen() {
  Runtime::Dispatch([this] { Event_Open(); });
}

std::shared_ptr<Window> GetImplicitWindow(std::string_view fullClassName) {
  auto& implicit = Windows().implicit;
  auto found = implicit.find(fullClassName);
  if (found == implicit.end()) return nullptr;
  auto window = found->second.lock();
  if (!window || window->IsClosed()) return nullptr;
  return window;
}

}  // namespace platform
