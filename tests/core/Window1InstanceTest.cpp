#include <gtest/gtest.h>

#include "core/Window1.h"
#include "platform/Window.h"
#include "tests/core/CoreTestSupport.h"

namespace {

class Window1Instance : public coretest::CoreTest {};

TEST_F(Window1Instance, BuildsOnceHiddenAndHandsOutTheSameWindow) {
  ASSERT_EQ(platform::GetImplicitWindow("Window1.Window1"), nullptr);
  auto first = Window1::Instance();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(platform::GetImplicitWindow("Window1.Window1"), first);
  EXPECT_EQ(Window1::Instance(), first);
  EXPECT_EQ(fw->remote->ReceiversMade(), 1);  // one Open, one listener
  EXPECT_FALSE(first->Visible());
}

TEST_F(Window1Instance, AfterACloseANewHiddenWindowOpensInFull) {
  auto first = Window1::Instance();
  first->Show();
  first->Close();
  EXPECT_EQ(platform::GetImplicitWindow("Window1.Window1"), nullptr);

  auto second = Window1::Instance();
  EXPECT_NE(second, first);
  EXPECT_FALSE(second->IsClosed());
  EXPECT_FALSE(second->Visible());
  EXPECT_NE(second->listener(), nullptr);
  EXPECT_NE(second->listener(), first->listener());
  EXPECT_EQ(fw->remote->ReceiversMade(), 2);
  EXPECT_EQ(second->Listbox1()->Cell(0, 2), "P");
}

TEST_F(Window1Instance, ReleasingTheWindowReleasesItsListener) {
  std::weak_ptr<platform::AppleRemoteMBS> listener;
  {
    auto window = Window1::Instance();
    listener = window->listener();
    window->Close();
  }
  CloseMainWindow();
  EXPECT_TRUE(listener.expired());
}

}  // namespace
