#pragma once

#include <functional>
#include <memory>

namespace platform {

class RemoteReceiver;

// The remote listener. The program derives its own class and handles Event_ButtonPressed, which
// the framework calls on the main event loop, through the dispatch guard, once per remote event
// between startListening and stopListening.
class AppleRemoteMBS {
 public:
  AppleRemoteMBS();  // opens a receiver from the backend chosen at start-up
  virtual ~AppleRemoteMBS();
  AppleRemoteMBS(const AppleRemoteMBS&) = delete;
  AppleRemoteMBS& operator=(const AppleRemoteMBS&) = delete;

  int remoteId() const noexcept { return remoteId_; }
  bool isRemoteAvailable();
  bool isListeningToRemote() const noexcept { return listening_; }
  bool isOpenInExclusiveMode() const noexcept { return exclusive_; }
  void startListening();
  void stopListening();
  void setOpenInExclusiveMode(bool exclusive);
  void setListeningToRemote(bool listening);
  void setRemoteId(int id) noexcept { remoteId_ = id; }

 protected:
  // The ButtonPressed event: one remote event, a button code and a down flag.
  virtual void Event_ButtonPressed(int button, bool down) = 0;

 private:
  std::unique_ptr<RemoteReceiver> receiver_;
  std::shared_ptr<bool> alive_;  // lets queued events see that the object is gone
  bool listening_ = false;
  bool exclusive_ = false;
  int remoteId_ = 0;
};

// What a remote backend gives one listener. All calls come from the main event loop, and the
// receiver calls `sink` from it too.
class RemoteReceiver {
 public:
  using Sink = std::function<void(int button, bool down)>;
  virtual ~RemoteReceiver() = default;
  virtual bool Available() = 0;
  virtual void Start(Sink sink) = 0;
  virtual void Stop() = 0;
  virtual void SetExclusive(bool exclusive) = 0;
};

}  // namespace platform
