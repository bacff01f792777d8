#include "core/MainWindowGeometry.h"
#include "core/Window1.h"
#include "platform/Exceptions.h"
#include "shell/HelpWin.h"

// The flag alone decides, not the listener: a switch without a usable remote still toggles.
// The order keeps caption and flag honest when the listener raises: a failed start leaves the
// flag off so the next click tries again; a failed stop changes nothing.
void Window1::PushButton1_Action(platform::PushButton& me) {
  if (listening) {
    platform::Deref(a, "no remote listener").stopListening();
    me.SetCaption("Turn On");
    listening = false;
  } else {
    me.SetCaption("Turn Off");
    platform::Deref(a, "no remote listener").startListening();
    listening = true;
  }
}

void Window1::CheckBox1_Action(platform::CheckBox& me) {
  platform::Deref(a, "no remote listener").setOpenInExclusiveMode(me.Value());
}

// The height alone tells the state; any height but the collapsed one collapses.
void Window1::DisclosureTriangle1_Action(platform::DisclosureTriangle&) {
  if (Height() == core::kCollapsedHeight) {
    SetHeight(core::kExpandedHeight);
    CheckBox1()->SetVisible(true);
  } else {
    SetHeight(core::kCollapsedHeight);
    CheckBox1()->SetVisible(false);
  }
}

void Window1::HelpPush_Action(platform::PushButton&) {
  platform::Deref(HelpWin::Instance(), "no help window").Show();
}
