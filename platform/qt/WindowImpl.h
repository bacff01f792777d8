#pragma once

// The Qt side of a window. Framework-internal: included only by platform/qt and by the
// platform's own tests.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/Menu.h"
#include "platform/Window.h"

class QMenuBar;
class QVBoxLayout;

namespace platform::qt {

// The top-level widget: a menu bar above the content area. The user's close box and the
// Return/Escape keys come back to the owning Window through here.
class WindowWidget : public QWidget {
 public:
  explicit WindowWidget(Window* owner);
  void Detach() noexcept { owner_ = nullptr; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Window* owner_;
};

// Windows built with Constructor and not yet closed, oldest first.
std::vector<std::shared_ptr<Window>> OpenWindows();
// Lets go of every open window and implicit instance without raising events (shutdown).
void DropAllWindows();
// Called by Window::Close once the window is closed (quit-on-close decision).
void WindowClosed(const Window& window);

// For the platform's own tests: the widgets behind a window.
QWidget* TopLevelWidget(const Window& window);
QWidget* ContentWidget(const Window& window);
QMenuBar* MenuBarWidget(const Window& window);

}  // namespace platform::qt

namespace platform {

struct Window::Impl {
  explicit Impl(Window& owner, std::string className);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void ApplySize();
  void ApplyFlags();
  void PlaceControls();
  void InstallMenuBar(const std::shared_ptr<MenuBar>& tree);
  void TakeUserSize();
  void OrderTabStops();

  Window& self;
  std::string fullClassName;
  WindowProperties props;
  std::string title;
  int width = 300;
  int height = 200;
  std::shared_ptr<MenuBar> menuBar;
  std::shared_ptr<MenuBar> shownMenuBar;  // the tree the Qt menu bar was built from
  std::vector<std::shared_ptr<Control>> controls;
  QPointer<qt::WindowWidget> widget;
  QPointer<QWidget> content;
  QPointer<QMenuBar> qtMenuBar;
  QVBoxLayout* layout = nullptr;
  bool constructed = false;
  bool closing = false;
  bool closed = false;
};

}  // namespace platform
