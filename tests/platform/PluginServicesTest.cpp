#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/AppleRemote.h"
#include "platform/FileType.h"
#include "platform/KeyPress.h"
#include "platform/Keyboard.h"
#include "platform/Plugins.h"
#include "platform/Runtime.h"
#include "platform/testing/TestFramework.h"

namespace {

using platform::testing::TestFramework;

struct Event {
  int button;
  bool down;
  bool operator==(const Event&) const = default;
};

class Listener : public platform::AppleRemoteMBS {
 public:
  explicit Listener(std::vector<Event>& seen) : seen_(seen) {}
  bool throwing = false;

 protected:
  void Event_ButtonPressed(int button, bool down) override {
    seen_.push_back({button, down});
    if (throwing) throw std::runtime_error("handler failed");
  }

 private:
  std::vector<Event>& seen_;
};

class RemoteTest : public ::testing::Test {
 protected:
  TestFramework framework;
  std::vector<Event> seen;
};

TEST_F(RemoteTest, EventsArriveOnTheLoopBetweenStartAndStop) {
  Listener listener(seen);
  framework.remote->SetAvailable(false);
  EXPECT_FALSE(listener.isRemoteAvailable());
  framework.remote->SetAvailable(true);
  EXPECT_TRUE(listener.isRemoteAvailable());

  framework.remote->Inject(1, true);  // not listening yet
  listener.startListening();
  framework.remote->Inject(8, true);
  framework.remote->Inject(8, false);
  EXPECT_TRUE(seen.empty());  // queued to the loop, not delivered inside the receiver
  platform::Runtime::ProcessPendingEvents();
  EXPECT_EQ(seen, (std::vector<Event>{{8, true}, {8, false}}));

  listener.setOpenInExclusiveMode(true);
  listener.setOpenInExclusiveMode(false);
  framework.remote->Inject(3, true);
  listener.stopListening();  // a queued event after the stop is not delivered
  framework.remote->Inject(4, true);
  platform::Runtime::ProcessPendingEvents();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_FALSE(listener.isListeningToRemote());
  EXPECT_EQ(framework.remote->Calls(),
            (std::vector<std::string>{"available", "available", "start", "exclusive=true",
                                      "exclusive=false", "stop"}));
}

TEST_F(RemoteTest, EventForAListenerThatIsGoneIsDropped) {
  auto listener = std::make_unique<Listener>(seen);
  listener->startListening();
  framework.remote->Inject(5, true);
  listener.reset();  // stops the receiver on the way
  platform::Runtime::ProcessPendingEvents();
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(framework.remote->Calls(), (std::vector<std::string>{"start", "stop"}));
  EXPECT_EQ(framework.remote->ReceiversAlive(), 0);
}

TEST_F(RemoteTest, ExceptionFromTheHandlerGoesToTheUnhandledExceptionHandler) {
  Listener listener(seen);
  listener.throwing = true;
  listener.startListening();
  framework.remote->Inject(2, true);
  platform::Runtime::ProcessPendingEvents();
  ASSERT_EQ(framework.unhandled.size(), 1u);
  EXPECT_EQ(framework.unhandled[0].first, "std::runtime_error");
  EXPECT_EQ(framework.unhandled[0].second, "handler failed");
}

TEST_F(RemoteTest, WithoutABackendThereIsNoRemoteAndNothingFails) {
  platform::Plugins::SetRemoteFactory(nullptr);
  Listener listener(seen);
  EXPECT_FALSE(listener.isRemoteAvailable());
  listener.startListening();
  listener.setOpenInExclusiveMode(true);
  listener.stopListening();
  EXPECT_TRUE(framework.remote->Calls().empty());
}

TEST(KeyServices, CharactersWithoutAKeyPressNothing) {
  TestFramework framework;
  platform::KeyCodesMBS codes;
  EXPECT_EQ(codes.AsciiToKeyCode('p'), codes.AsciiToKeyCode('P'));
  EXPECT_NE(codes.AsciiToKeyCode('p'), platform::kNoKeyCode);
  EXPECT_EQ(codes.AsciiToKeyCode(0xE9), platform::kNoKeyCode);  // no key types it here

  platform::PresskeyMBS press;
  press.Charcode = 0xE9;
  press.Keycode = codes.AsciiToKeyCode(0xE9);
  press.Shift = true;
  press.Press();
  EXPECT_TRUE(framework.keys->Pressed().empty());

  press.Charcode = 'P';
  press.Keycode = codes.AsciiToKeyCode('P');
  press.Command = true;
  press.Press();
  platform::KeyStroke expected;
  expected.charCode = 'P';
  expected.keyCode = codes.AsciiToKeyCode('P');
  expected.command = true;
  expected.shift = true;
  EXPECT_EQ(framework.keys->Pressed(), std::vector<platform::KeyStroke>{expected});
}

TEST(KeyServices, BackendsThatWereSetAreKept) {
  TestFramework framework;
  auto mine = std::make_shared<platform::testing::RecordingKeys>();
  platform::Plugins::SetKeyOutput(mine);
  platform::Plugins::SetRemoteFactory(nullptr);
  EXPECT_FALSE(platform::Plugins::BackendsChosen());
  platform::Plugins::ChooseSystemBackends();
  EXPECT_TRUE(platform::Plugins::BackendsChosen());
  EXPECT_EQ(&platform::Plugins::Keys(), mine.get());
  EXPECT_NE(platform::Plugins::NewRemoteReceiver(), nullptr);
}

TEST(OptionKey, TestsSetTheAnswer) {
  TestFramework framework;
  platform::Keyboard::SetOptionKeyOverride(true);
  EXPECT_TRUE(platform::Keyboard::AsyncOptionKey());
  platform::Keyboard::SetOptionKeyOverride(false);
  EXPECT_FALSE(platform::Keyboard::AsyncOptionKey());
  platform::Keyboard::SetOptionKeyOverride(std::nullopt);
  EXPECT_FALSE(platform::Keyboard::AsyncOptionKey());  // nobody holds Alt on the test machine
}

TEST(FileTypes, RegisteredOnceUntilChangedOrDestroyed) {
  auto count = [](const platform::FileType& type) {
    const auto all = platform::FileType::Registered();
    return std::count(all.begin(), all.end(), &type);
  };
  {
    platform::FileType text;
    text.SetName("text");
    text.SetMacType("TEXT");
    EXPECT_EQ(text.ConvertToString(), "text");
    text.Register();
    EXPECT_EQ(count(text), 1);
    text.SetMacCreator("R*ch");  // a change ends the registration
    EXPECT_FALSE(text.IsRegistered());
    EXPECT_EQ(count(text), 0);
    text.Register();
    EXPECT_EQ(count(text), 1);
  }
  EXPECT_TRUE(platform::FileType::Registered().empty());
}

}  // namespace
