#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/Window1.h"
#include "platform/Window.h"
#include "shell/HelpWin.h"
#include "tests/core/CoreTestSupport.h"

namespace {

using Calls = std::vector<std::string>;

class Window1Controls : public coretest::CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    window = Window1::Instance();
    fw->remote->ClearCalls();  // the open asked whether a remote is there
  }
  void TearDown() override {
    window.reset();
    CoreTest::TearDown();
  }
  std::shared_ptr<Window1> window;
};

TEST_F(Window1Controls, TriangleExpandsThenCollapses) {
  auto triangle = window->DisclosureTriangle1();
  triangle->Click();
  EXPECT_EQ(window->Height(), 315);
  EXPECT_TRUE(window->CheckBox1()->Visible());
  triangle->Click();
  EXPECT_EQ(window->Height(), 50);
  EXPECT_FALSE(window->CheckBox1()->Visible());
}

TEST_F(Window1Controls, TriangleCollapsesFromAnyOtherHeight) {
  window->SetHeight(200);
  window->CheckBox1()->SetVisible(true);
  window->DisclosureTriangle1()->Click();
  EXPECT_EQ(window->Height(), 50);
  EXPECT_FALSE(window->CheckBox1()->Visible());
}

TEST_F(Window1Controls, SwitchStartsThenStopsListening) {
  auto button = window->PushButton1();
  button->Push();
  EXPECT_EQ(fw->remote->Calls(), Calls{"start"});
  EXPECT_EQ(button->Caption(), "Turn Off");
  EXPECT_TRUE(window->isListening());
  button->Push();
  EXPECT_EQ(fw->remote->Calls(), (Calls{"start", "stop"}));
  EXPECT_EQ(button->Caption(), "Turn On");
  EXPECT_FALSE(window->isListening());
  EXPECT_TRUE(fw->unhandled.empty());
}

TEST_F(Window1Controls, SwitchStillCallsTheListenerWithoutARemote) {
  CloseMainWindow();
  fw->remote->SetAvailable(false);
  window = Window1::Instance();
  EXPECT_EQ(fw->messages, Calls{"No Apple Remote driver found."});
  fw->remote->ClearCalls();
  window->PushButton1()->Push();
  window->PushButton1()->Push();
  EXPECT_EQ(fw->remote->Calls(), (Calls{"start", "stop"}));
  EXPECT_EQ(window->PushButton1()->Caption(), "Turn On");
}

// A start that fails leaves the flag off, so the next click tries to start again.
TEST_F(Window1Controls, FailedStartKeepsTheFlagOff) {
  auto button = window->PushButton1();
  fw->remote->SetFailStart(true);
  button->Push();
  EXPECT_EQ(fw->unhandled.size(), 1u);
  EXPECT_EQ(button->Caption(), "Turn Off");
  EXPECT_FALSE(window->isListening());
  fw->remote->SetFailStart(false);
  button->Push();
  EXPECT_EQ(fw->remote->Calls(), (Calls{"start", "start"}));
  EXPECT_TRUE(window->isListening());
}

// Every click hands the box's state to the listener, ticking and unticking alike, whether or not
// the remote is being listened to.
TEST_F(Window1Controls, ExclusiveModeFollowsTheBoxOnEveryClickListeningOrNot) {
  window->DisclosureTriangle1()->Click();
  auto box = window->CheckBox1();
  for (const bool listening : {false, true}) {
    SCOPED_TRACE(listening ? "listening" : "not listening");
    if (listening) window->PushButton1()->Push();
    ASSERT_EQ(window->isListening(), listening);
    for (const bool ticked : {true, false}) {
      fw->remote->ClearCalls();
      box->Click();
      ASSERT_EQ(box->Value(), ticked);
      EXPECT_EQ(fw->remote->Calls(), Calls{ticked ? "exclusive=true" : "exclusive=false"});
      EXPECT_EQ(window->listener()->isOpenInExclusiveMode(), ticked);
    }
  }
  EXPECT_TRUE(fw->unhandled.empty());
}

// Collapsing hides the box and nothing more: the box and the listener keep exclusive mode.
TEST_F(Window1Controls, CollapsingKeepsExclusiveMode) {
  window->DisclosureTriangle1()->Click();
  auto box = window->CheckBox1();
  box->Click();
  window->DisclosureTriangle1()->Click();
  EXPECT_TRUE(box->Value());
  EXPECT_TRUE(window->listener()->isOpenInExclusiveMode());
  EXPECT_EQ(fw->remote->Calls(), Calls{"exclusive=true"});
}

TEST_F(Window1Controls, HelpButtonShowsOneHelpWindowAtATime) {
  window->HelpPush()->Push();
  auto first = platform::GetImplicitWindow("HelpWin.HelpWin");
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->Visible());
  window->HelpPush()->Push();
  EXPECT_EQ(platform::GetImplicitWindow("HelpWin.HelpWin"), first);
  first->Close();
  window->HelpPush()->Push();
  auto second = platform::GetImplicitWindow("HelpWin.HelpWin");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_TRUE(second->Visible());
  EXPECT_TRUE(fw->unhandled.empty());
}

}  // namespace
