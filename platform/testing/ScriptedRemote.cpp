#include "platform/testing/ScriptedRemote.h"

#include <algorithm>
#include <stdexcept>

namespace platform::testing {

class ScriptedRemote::Receiver : public RemoteReceiver {
 public:
  explicit Receiver(std::shared_ptr<ScriptedRemote> script) : script_(std::move(script)) {
    script_->receivers_.push_back(this);
  }
  ~Receiver() override {
    auto& all = script_->receivers_;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
  }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  bool Available() override {
    script_->calls_.push_back("available");
    return script_->available_;
  }
  void Start(Sink sink) override {
    script_->calls_.push_back("start");
    if (script_->failStart_) throw std::runtime_error("the receiver cannot be opened");
    sink_ = std::move(sink);
  }
  void Stop() override {
    script_->calls_.push_back("stop");
    sink_ = nullptr;
  }
  void SetExclusive(bool exclusive) override {
    script_->calls_.push_back(exclusive ? "exclusive=true" : "exclusive=false");
  }

  const Sink& sink() const noexcept { return sink_; }

 private:
  std::shared_ptr<ScriptedRemote> script_;
  Sink sink_;
};

std::shared_ptr<ScriptedRemote> ScriptedRemote::Install() {
  auto script = std::make_shared<ScriptedRemote>();
  Plugins::SetRemoteFactory(script->Factory());
  return script;
}

Plugins::RemoteFactory ScriptedRemote::Factory() {
  std::weak_ptr<ScriptedRemote> weak = weak_from_this();
  return [weak]() -> std::unique_ptr<RemoteReceiver> {
    auto script = weak.lock();
    if (!script) return nullptr;
    ++script->receiversMade_;
    return std::make_unique<Receiver>(script);
  };
}

void ScriptedRemote::Inject(int code, bool down) {
  const auto receivers = receivers_;  // a sink may make or drop receivers
  for (auto* receiver : receivers)
    if (receiver->sink()) receiver->sink()(code, down);
}

int ScriptedRemote::ReceiversAlive() const noexcept { return static_cast<int>(receivers_.size()); }

bool ScriptedRemote::Listening() const noexcept {
  return std::any_of(receivers_.begin(), receivers_.end(),
                     [](const Receiver* r) { return static_cast<bool>(r->sink()); });
}

}  // namespace platform::testing
