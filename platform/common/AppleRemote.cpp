// The remote listener: events from the receiver reach the program's handler on the main event
// loop, one at a time, through the dispatch guard.
#include "platform/AppleRemote.h"

#include "platform/MainLoop.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"

namespace platform {

AppleRemoteMBS::AppleRemoteMBS()
    : receiver_(Plugins::NewRemoteReceiver()), alive_(std::make_shared<bool>(true)) {}

AppleRemoteMBS::~AppleRemoteMBS() {
  alive_.reset();
  // A listener that goes while listening must not leave the receiver grabbed.
  if (listening_ && receiver_) {
    try {
      receiver_->Stop();
    } catch (...) {
    }
  }
}

bool AppleRemoteMBS::isRemoteAvailable() { return receiver_ && receiver_->Available(); }

void AppleRemoteMBS::startListening() {
  listening_ = true;
  if (!receiver_) return;
  std::weak_ptr<bool> alive = alive_;
  receiver_->Start([this, alive](int button, bool down) {
    // Queued even when the receiver calls from the loop: the handler never runs inside the
    // receiver's own code, and an event for a listener that is gone by then is dropped.
    PostToMainLoop([this, alive, button, down] {
      if (alive.expired() || !listening_) return;
      Runtime::Dispatch([this, button, down] { Event_ButtonPressed(button, down); });
    });
  });
}

void AppleRemoteMBS::stopListening() {
  listening_ = false;
  if (receiver_) receiver_->Stop();
}

void AppleRemoteMBS::setOpenInExclusiveMode(bool exclusive) {
  exclusive_ = exclusive;
  if (receiver_) receiver_->SetExclusive(exclusive);
}

void AppleRemoteMBS::setListeningToRemote(bool listening) {
  if (listening)
    startListening();
  else
    stopListening();
}

}  // namespace platform
