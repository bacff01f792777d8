#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Window1.h"
#include "platform/Controls.h"
#include "platform/testing/ListboxDrivers.h"
#include "shell/MenuBar1.h"
#include "tests/core/CoreTestSupport.h"
#include "tests/core/UnopenedWindow1.h"

namespace {

class Window1Layout : public coretest::CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    window = std::make_shared<coretest::UnopenedWindow1>();
    window->Constructor();
  }
  void TearDown() override {
    window->Close();
    window.reset();
    CoreTest::TearDown();
  }
  std::shared_ptr<coretest::UnopenedWindow1> window;
};

TEST_F(Window1Layout, WindowAsBuilt) {
  EXPECT_FALSE(window->Visible());
  EXPECT_EQ(window->Width(), 470);
  EXPECT_EQ(window->Height(), 50);
  EXPECT_EQ(window->Title(), "Zibble TV Remote");
  EXPECT_EQ(window->GetMenuBar(), MenuBar1::Instance());
  const auto& p = window->Properties();
  EXPECT_FALSE(p.resizeable);
  EXPECT_EQ(p.minWidth, 64);
  EXPECT_EQ(p.minHeight, 64);
  EXPECT_EQ(p.maxWidth, 470);
  EXPECT_EQ(p.maxHeight, 315);
  EXPECT_TRUE(p.closeButton);
  EXPECT_FALSE(p.maximizeButton);
  EXPECT_FALSE(p.minimizeButton);
  EXPECT_TRUE(p.menuBarVisible);
  EXPECT_EQ(window->a, nullptr);
  EXPECT_FALSE(window->listening);
}

TEST_F(Window1Layout, FiveControlsInOrderWithTheirPlacesAndBindings) {
  struct Expected {
    const char* name;
    const char* className;
    int left, top, width, height, tabIndex;
    bool visible;
    const char* event;
  } expected[] = {
      {"PushButton1", "PushButton", 20, 14, 145, 20, 0, true, "Action"},
      {"CheckBox1", "CheckBox", 201, 14, 128, 20, 1, false, "Action"},
      {"Listbox1", "Listbox", 17, 48, 433, -18, 2, true, "Open"},
      {"DisclosureTriangle1", "DisclosureTriangle", 171, 14, 18, 18, 3, true, "Action"},
      {"HelpPush", "PushButton", 426, 15, 30, 20, 4, true, "Action"},
  };
  const auto controls = window->Controls();
  ASSERT_EQ(controls.size(), std::size(expected));
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const auto& c = *controls[i];
    const auto& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(c.Name(), e.name);
    EXPECT_STREQ(c.ClassName(), e.className);
    EXPECT_EQ(c.Left(), e.left);
    EXPECT_EQ(c.Top(), e.top);
    EXPECT_EQ(c.Width(), e.width);
    EXPECT_EQ(c.Height(), e.height);
    EXPECT_EQ(c.CommonProperties().tabIndex, e.tabIndex);
    EXPECT_EQ(c.Visible(), e.visible);
    EXPECT_TRUE(c.Enabled());
    EXPECT_EQ(c.EventNames(), std::vector<std::string>{e.event});
  }
  EXPECT_EQ(window->PushButton1()->Caption(), "Turn On");
  EXPECT_FALSE(window->PushButton1()->IsDefault());
  EXPECT_EQ(window->CheckBox1()->Caption(), "Exclusive mode");
  EXPECT_FALSE(window->CheckBox1()->Value());
  EXPECT_FALSE(window->DisclosureTriangle1()->Value());
  EXPECT_EQ(window->HelpPush()->Caption(), "?");
  EXPECT_EQ(window->HelpPush()->CommonProperties().textSize, 12);
  const auto& list = window->Listbox1()->CommonProperties();
  EXPECT_TRUE(list.lockLeft && list.lockTop && list.lockRight && list.lockBottom);
}

TEST_F(Window1Layout, ListFollowsTheWindowHeight) {
  auto list = window->Listbox1();
  window->SetHeight(315);
  EXPECT_EQ(list->Left(), 17);
  EXPECT_EQ(list->Top(), 48);
  EXPECT_EQ(list->Width(), 433);
  EXPECT_EQ(list->Height(), 247);
  window->SetHeight(50);
  EXPECT_EQ(window->Height(), 50);
  EXPECT_LE(list->Height(), 0);
}

// Widths are the layout's: a dragged edge would also bring the hidden ID column back.
TEST_F(Window1Layout, TheUserCannotResizeTheListsColumnsOrRows) {
  EXPECT_EQ(platform::testing::ResizableSections(*window->Listbox1()), std::vector<std::string>{});
}

TEST_F(Window1Layout, MenuItemsComeFromTheWindowsBar) {
  EXPECT_EQ(window->FileQuit(), MenuBar1::Instance()->Lookup("FileQuit"));
  EXPECT_NE(window->FileQuit(), nullptr);
  EXPECT_EQ(window->EditCopy(), MenuBar1::Instance()->Lookup("EditCopy"));
  EXPECT_EQ(window->UntitledMenu1(), nullptr);
}

}  // namespace
