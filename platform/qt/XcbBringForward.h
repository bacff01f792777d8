#pragma once

// Bringing a shown window forward on an X server without waiting for it. The framework's own
// way (un-minimise, raise, activate) waits for the server's answers, and while another client
// holds the server those never come: the whole main loop, the hand-over socket and a quit
// included, would wait with it.

class QWidget;
struct xcb_connection_t;

namespace platform::qt {

// The framework's own X connection; null on other platforms and before the framework runs.
xcb_connection_t* FrameworkXConnection();

// Fetches from the server what BringForward needs for this window: a wait, hence done once, when
// the window is first shown (which waits for the server anyway), never when it is brought
// forward. Does nothing on other platforms.
void PrepareBringForward(QWidget& window);

// Un-minimises and raises the shown window and gives it the focus, through requests that are
// sent and not waited for. False, with nothing done, on other platforms and for a window that
// was not prepared: the caller takes the framework's own way.
bool BringForward(QWidget& window);

}  // namespace platform::qt
