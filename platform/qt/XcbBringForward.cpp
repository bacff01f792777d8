// What the window manager is asked is what the framework asks it too (a map request for a
// minimised window, a raise, an activation message or, with no manager that takes one, the focus
// set directly); only the waits are left out.
#include "platform/qt/XcbBringForward.h"

#include <xcb/xcb.h>
#include <xcb/xcbext.h>  // xcb_poll_for_reply: an answer taken only where it has come

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace platform::qt {
namespace {

// The widget property that holds the root window of a prepared window's screen.
constexpr char kRootProperty[] = "zibXcbRoot";

struct XcbState {
  xcb_connection_t* connection = nullptr;
  xcb_atom_t activeWindow = XCB_ATOM_NONE;  // _NET_ACTIVE_WINDOW
  xcb_atom_t supported = XCB_ATOM_NONE;     // _NET_SUPPORTED
  // Whether the window manager takes activation messages: read when the first window is
  // prepared, then again at each bring-forward from an answer asked for at the one before, so
  // that a manager started after the program is followed without a wait.
  bool managerActivates = false;
  std::optional<xcb_get_property_cookie_t> pendingSupported;
};

XcbState& State() {
  static XcbState state;
  return state;
}

xcb_atom_t AtomFrom(xcb_connection_t* connection, xcb_intern_atom_cookie_t cookie) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

xcb_get_property_cookie_t AskSupported(const XcbState& state, xcb_window_t root) {
  return xcb_get_property(state.connection, 0, root, state.supported, XCB_ATOM_ATOM, 0, 4096);
}

void TakeSupported(XcbState& state, xcb_get_property_reply_t* reply) {
  if (!reply) return;
  state.managerActivates = false;
  if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const auto* end = atoms + xcb_get_property_value_length(reply) / 4;
    state.managerActivates = std::find(atoms, end, state.activeWindow) != end;
  }
  std::free(reply);
}

// The answer asked for at the last bring-forward, where it has come; and the next question.
void FollowManager(XcbState& state, xcb_window_t root) {
  if (state.pendingSupported) {
    void* reply = nullptr;
    if (!xcb_poll_for_reply(state.connection, state.pendingSupported->sequence, &reply, nullptr))
      return;  // not come yet: the last answer stands
    state.pendingSupported.reset();
    TakeSupported(state, static_cast<xcb_get_property_reply_t*>(reply));
  }
  state.pendingSupported = AskSupported(state, root);
}

}  // namespace

xcb_connection_t* FrameworkXConnection() {
#if QT_CONFIG(xcb)
  if (const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
    return x11->connection();
#endif
  return nullptr;
}

void PrepareBringForward(QWidget& window) {
  xcb_connection_t* connection = FrameworkXConnection();
  if (!connection || !window.isWindow() || window.property(kRootProperty).isValid()) return;
  auto& state = State();
  const auto id = static_cast<xcb_window_t>(window.winId());
  const auto tree = xcb_query_tree(connection, id);
  if (state.connection != connection) {
    state = XcbState{};
    state.connection = connection;
    const auto active = xcb_intern_atom(connection, 0, 18, "_NET_ACTIVE_WINDOW");
    const auto supported = xcb_intern_atom(connection, 0, 14, "_NET_SUPPORTED");
    state.activeWindow = AtomFrom(connection, active);
    state.supported = AtomFrom(connection, supported);
  }
  xcb_query_tree_reply_t* reply = xcb_query_tree_reply(connection, tree, nullptr);
  if (!reply) return;
  const xcb_window_t root = reply->root;
  std::free(reply);
  if (!state.pendingSupported)
    TakeSupported(state, xcb_get_property_reply(connection, AskSupported(state, root), nullptr));
  window.setProperty(kRootProperty, static_cast<unsigned>(root));
}

bool BringForward(QWidget& window) {
  xcb_connection_t* connection = FrameworkXConnection();
  auto& state = State();
  const QVariant root = window.property(kRootProperty);
  if (!connection || connection != state.connection || !root.isValid() || !window.isVisible())
    return false;
  const auto rootId = static_cast<xcb_window_t>(root.toUInt());
  const auto id = static_cast<xcb_window_t>(window.winId());
  FollowManager(state, rootId);

  // A client takes its window out of the minimised state by mapping it again; for a window
  // that is mapped already this changes nothing.
  xcb_map_window(connection, id);
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  if (state.managerActivates) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = state.activeWindow;
    // The user asked for the window (a start of the program, a menu item): the message says so,
    // as a task bar's does, and the manager does not weigh it as a window pushing itself
    // forward.
    event.data.data32[0] = 2;
    event.data.data32[1] = XCB_CURRENT_TIME;
    const QWidget* active = QApplication::activeWindow();
    event.data.data32[2] =
        active && active != &window ? static_cast<xcb_window_t>(active->winId()) : XCB_NONE;
    xcb_send_event(connection, 0, rootId,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
  } else {
    // No manager stands between the window and the server: the map above has made the window
    // viewable by the time this is carried out.
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
  }
  xcb_flush(connection);
  return true;
}

}  // namespace platform::qt
