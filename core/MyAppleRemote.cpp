#include "core/MyAppleRemote.h"

#include "core/RemoteEventMapping.h"
#include "core/Window1.h"
#include "platform/Exceptions.h"

void MyAppleRemote::Event_ButtonPressed(int button, bool down) {
  const auto eventID = core::MapRemoteEvent(button, down);
  if (!eventID) return;
  // Even an ID that names no row goes to the window: the lookup alone builds a main window
  // when the last one was closed.
  platform::Deref(Window1::Instance(), "no main window").buttonpressed(*eventID);
}
