#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/AppleRemote.h"
#include "platform/Plugins.h"

namespace platform::testing {

// A remote backend that a test drives. Every receiver it makes shares one script: whether a
// remote is available, the calls the receivers got, and the events to send.
class ScriptedRemote : public std::enable_shared_from_this<ScriptedRemote> {
 public:
  // A new script, installed as the remote backend (Plugins::SetRemoteFactory).
  static std::shared_ptr<ScriptedRemote> Install();

  // The factory to install by hand.
  Plugins::RemoteFactory Factory();

  void SetAvailable(bool available) { available_ = available; }
  // Start raises std::runtime_error from now on, as a receiver that cannot be opened.
  void SetFailStart(bool fail) { failStart_ = fail; }

  // One remote event, sent to every receiver that is started, as a backend sends it from the
  // event loop. It reaches the listener's handler once the loop runs (or ProcessPendingEvents).
  void Inject(int code, bool down);

  // The calls in order: "available", "start", "stop", "exclusive=true", "exclusive=false".
  const std::vector<std::string>& Calls() const noexcept { return calls_; }
  void ClearCalls() { calls_.clear(); }
  int ReceiversMade() const noexcept { return receiversMade_; }
  int ReceiversAlive() const noexcept;
  // Whether some receiver is started.
  bool Listening() const noexcept;

 private:
  class Receiver;
  friend class Receiver;

  bool available_ = true;
  bool failStart_ = false;
  int receiversMade_ = 0;
  std::vector<std::string> calls_;
  std::vector<Receiver*> receivers_;
};

}  // namespace platform::testing
