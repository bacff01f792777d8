#include <gtest/gtest.h>

#include <optional>

#include "core/ButtonEventTable.h"
#include "core/MyAppleRemote.h"
#include "core/RemoteEventMapping.h"
#include "core/Window1.h"
#include "platform/Runtime.h"
#include "platform/Window.h"
#include "tests/core/CoreTestSupport.h"

namespace {

struct MappingCase {
  int button;
  bool down;
  std::optional<int> eventID;  // nullopt: dropped
};

const MappingCase kMappingCases[] = {
    {0, false, 9},
    {0, true, 10},
    {1, false, 11},
    {1, true, 12},
    {2, false, 13},
    {2, true, 13},
    {3, false, 1},
    {3, true, 1},
    {4, false, 3},
    {4, true, 3},
    {5, false, 6},
    {5, true, 6},
    {6, false, 5},
    {6, true, 4},
    {7, false, 8},
    {7, true, 7},
    {8, false, 14},
    {8, true, 14},
    {9, false, 2},
    {9, true, 2},
    {10, false, std::nullopt},
    {10, true, std::nullopt},
    {11, true, 0},
    {11, false, 0},
    {-1, false, 0},
    {-1, true, 0},
    {255, true, 0},
    {2147483647, false, 0},
    {-2147483647 - 1, true, 0},
};

TEST(RemoteEventMapping, EveryButtonCodeAndDownFlag) {
  for (const auto& c : kMappingCases) {
    EXPECT_EQ(core::MapRemoteEvent(c.button, c.down), c.eventID)
        << "button " << c.button << " down " << c.down;
  }
}

TEST(RemoteEventMapping, EveryRowIsReachable) {
  int pairsPerID[15] = {};
  for (int button = 0; button <= 10; ++button) {
    for (bool down : {false, true}) {
      if (auto id = core::MapRemoteEvent(button, down)) ++pairsPerID[*id];
    }
  }
  for (int id : {4, 5, 7, 8, 9, 10, 11, 12}) EXPECT_EQ(pairsPerID[id], 1) << id;
  for (int id : {1, 2, 3, 6, 13, 14}) EXPECT_EQ(pairsPerID[id], 2) << id;
  EXPECT_EQ(pairsPerID[0], 0);
}

class RemoteListener : public coretest::CoreTest {};

// Every row gets its own key, so the key pressed tells which row an event reached.
void GiveEveryRowItsOwnKey(Window1& window) {
  auto list = window.Listbox1();
  for (int row = 0; row < list->ListCount(); ++row) {
    list->SetCell(row, core::kColumnKey, std::string(1, static_cast<char>('a' + row)));
  }
}

TEST_F(RemoteListener, EachEventPressesTheKeyOfItsRow) {
  auto window = Window1::Instance();
  GiveEveryRowItsOwnKey(*window);
  MyAppleRemote listener;
  for (const auto& c : kMappingCases) {
    SCOPED_TRACE(testing::Message() << "button " << c.button << " down " << c.down);
    window->Listbox1()->SetListIndex(-1);
    fw->keys->Clear();
    listener.Event_ButtonPressed(c.button, c.down);
    if (!c.eventID || *c.eventID == 0) {
      EXPECT_TRUE(fw->keys->Pressed().empty());
      EXPECT_EQ(window->Listbox1()->ListIndex(), -1);
      continue;
    }
    const int row = *c.eventID - 1;
    EXPECT_EQ(window->Listbox1()->ListIndex(), row);
    ASSERT_EQ(fw->keys->Pressed().size(), 1u);
    EXPECT_EQ(fw->keys->Pressed()[0].charCode, 'a' + row);
  }
  EXPECT_EQ(Window1::Instance(), window);
}

TEST_F(RemoteListener, ButtonTenDoesNotLookUpTheMainWindow) {
  MyAppleRemote listener;
  listener.Event_ButtonPressed(10, true);
  listener.Event_ButtonPressed(10, false);
  EXPECT_EQ(platform::GetImplicitWindow("Window1.Window1"), nullptr);
  EXPECT_TRUE(fw->keys->Pressed().empty());
}

TEST_F(RemoteListener, UnknownButtonBuildsAHiddenMainWindowAndPressesNothing) {
  MyAppleRemote listener;
  listener.Event_ButtonPressed(11, true);
  auto window = platform::CheckCast<Window1>(platform::GetImplicitWindow("Window1.Window1"));
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->Visible());
  EXPECT_EQ(window->Listbox1()->ListIndex(), -1);
  EXPECT_TRUE(fw->keys->Pressed().empty());
}

// The whole road: the switch starts the window's own listener, the backend reports a press.
TEST_F(RemoteListener, ReportedEventReachesTheKeyOutputOnceListening) {
  auto window = Window1::Instance();
  window->PushButton1()->Push();
  ASSERT_TRUE(fw->remote->Listening());
  fw->remote->Inject(3, true);
  platform::Runtime::ProcessPendingEvents();
  ASSERT_EQ(fw->keys->Pressed().size(), 1u);
  EXPECT_EQ(fw->keys->Pressed()[0].charCode, 'P');
  EXPECT_EQ(window->Listbox1()->ListIndex(), 0);
}

}  // namespace
