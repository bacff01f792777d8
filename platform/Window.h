#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exceptions.h"

namespace platform {

class Control;
class MenuBar;

// A window's layout values. Sizes are of the content area, without the menu bar.
struct WindowProperties {
  int placement = 0;
  int width = 300, height = 200;
  int minWidth = 64, minHeight = 64;
  int maxWidth = 32000, maxHeight = 32000;
  int frame = 0;
  bool composite = false;
  bool hasBackColor = false;
  std::uint32_t backColor = 0xFFFFFF;
  std::string title;
  bool visible = true;
  bool fullScreen = false;
  bool menuBarVisible = true;
  bool closeButton = true;
  bool resizeable = true;
  bool liveResize = true;
  bool maximizeButton = true;
  bool minimizeButton = true;
  int macProcID = 0;
};

// A top-level window. The program derives one class per window and overrides the building hooks
// and events it handles. Objects are always held by shared_ptr.
class Window : public std::enable_shared_from_this<Window> {
 public:
  // `fullClassName` is the key of the class's implicit instance, "Window1.Window1".
  explicit Window(std::string fullClassName);
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const std::string& FullClassName() const noexcept;

  // Builds the window: Layout(), then CreateControls(); an exception from either passes to the
  // caller. From then on the window is its class's implicit instance. Then the Open events are
  // raised, each through the dispatch guard: every control's in creation order, then the
  // window's own.
  void Constructor();

  void Show();  // shows it, also when minimised, brings it to the front and gives it the focus
  void Hide();
  // Closes the window: raises its Close event (through the dispatch guard), drops it from the
  // implicit instances and hides it for good. A second Close does nothing.
  void Close();
  bool Visible() const;
  bool IsClosed() const noexcept;

  // Content size. A height that was set reads back unchanged, also below the minimum height.
  int Width() const;
  int Height() const;
  void SetWidth(int width);
  void SetHeight(int height);

  const std::string& Title() const;
  void SetTitle(std::string title);

  void SetMenuBar(std::shared_ptr<MenuBar> bar);
  const std::shared_ptr<MenuBar>& GetMenuBar() const noexcept;

  // Applies the layout values.
  void SetProperties(const WindowProperties& props);
  const WindowProperties& Properties() const noexcept;

  // Creates a control in this window's content area (not yet registered).
  template <class C>
  std::shared_ptr<C> NewControl() {
    return std::shared_ptr<C>(new C(*this));
  }
  // Registers a control under its name; the window owns it from then on.
  void AddControl(const std::string& name, std::shared_ptr<Control> control);
  // The control of that name; nil when there is none.
  std::shared_ptr<Control> ControlByName(std::string_view name) const;
  // The control of that name as class C: NilObjectException when there is none,
  // IllegalCastException when it is of another class.
  template <class C>
  std::shared_ptr<C> ControlAs(std::string_view name) const {
    auto control = ControlByName(name);
    if (!control) throw NilObjectException("no control named " + std::string(name));
    auto cast = std::dynamic_pointer_cast<C>(control);
    if (!cast)
      throw IllegalCastException("control " + std::string(name) + " is not of the class asked for");
    return cast;
  }
  // The controls in the order they were registered.
  std::vector<std::shared_ptr<Control>> Controls() const;

  // Binds an event of a control of this window to one of the window's own methods. The handler
  // runs with the window (kept alive for the call) and the control that raised the event.
  template <class W, class C>
  void InstallEventHandler(const std::shared_ptr<C>& control, std::string eventName,
                           void (W::*method)(C&));

  // Raises the window's own events through the dispatch guard (the framework and tests).
  void RaiseOpen();

 protected:
  virtual void Layout() {}
  virtual void CreateControls() {}
  virtual void Event_Open() {}
  virtual void Event_Close() {}

 private:
  friend class Control;
  struct Impl;
  std::unique_ptr<Impl> impl_;

 public:
  Impl& impl() const noexcept { return *impl_; }  // for the framework's own code
};

// The implicit instance kept under that full class name; nil when there is none.
std::shared_ptr<Window> GetImplicitWindow(std::string_view fullClassName);

// The window typed as W; IllegalCastException when it is not a W (nil stays nil).
template <class W>
std::shared_ptr<W> CheckCast(const std::shared_ptr<Window>& window) {
  if (!window) return nullptr;
  auto cast = std::dynamic_pointer_cast<W>(window);
  if (!cast) throw IllegalCastException(window->FullClassName() + " is not of the class asked for");
  return cast;
}

}  // namespace platform

#include "platform/Controls.h"

namespace platform {

template <class W, class C>
void Window::InstallEventHandler(const std::shared_ptr<C>& control, std::string eventName,
                                 void (W::*method)(C&)) {
  Deref(control, "no control to bind");
  std::weak_ptr<Window> self = weak_from_this();
  std::weak_ptr<C> source = control;
  control->InstallEventHandler(std::move(eventName), [self, source, method] {
    auto window = std::dynamic_pointer_cast<W>(self.lock());
    auto me = source.lock();
    if (!window || !me) throw NilObjectException("handler without its window or control");
    ((*window).*method)(*me);
  });
}

}  // namespace platform
