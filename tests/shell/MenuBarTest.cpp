#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "shell/MenuBar1.h"

namespace {

// Each test starts and ends without a bar and with the plain item factory.
class MenuBarTest : public ::testing::Test {
 protected:
  void SetUp() override { MenuBar1::ReleaseInstance(); }
  void TearDown() override {
    MenuBar1::SetItemFactory(nullptr);
    MenuBar1::ReleaseInstance();
  }
};

struct Expected {
  const char* name;
  const char* className;
  const char* text;
  const char* shortcut;  // nullptr: never set
};

void ExpectItems(const platform::MenuItem& menu, const std::vector<Expected>& expected) {
  ASSERT_EQ(menu.Count(), static_cast<int>(expected.size())) << menu.Name();
  for (int i = 0; i < menu.Count(); ++i) {
    const auto& want = expected[static_cast<std::size_t>(i)];
    auto item = menu.Item(i);
    SCOPED_TRACE(want.name);
    EXPECT_EQ(item->Name(), want.name);
    EXPECT_STREQ(item->ClassName(), want.className);
    EXPECT_EQ(item->Text(), want.text);
    EXPECT_TRUE(item->AutoEnable());
    if (want.shortcut == nullptr) {
      EXPECT_FALSE(item->KeyboardShortcutWasSet());
    } else {
      EXPECT_TRUE(item->KeyboardShortcutWasSet());
      EXPECT_EQ(item->KeyboardShortcut(), want.shortcut);
    }
  }
}

void ExpectCompleteBar(const MenuBar1& bar) {
  ExpectItems(bar, {{"FileMenu", "MenuItem", "&File", ""}, {"EditMenu", "MenuItem", "&Edit", ""}});
  ExpectItems(*bar.Item(0), {{"FileQuit", "QuitMenuItem", "Quit", "Cmd+Q"}});
  ExpectItems(*bar.Item(1), {{"EditUndo", "MenuItem", "&Undo", "Cmd+Z"},
                             {"UntitledMenu0", "MenuItem", "-", nullptr},
                             {"EditCut", "MenuItem", "Cu&t", "Cmd+X"},
                             {"EditCopy", "MenuItem", "&Copy", "Cmd+C"},
                             {"EditPaste", "MenuItem", "&Paste", "Cmd+V"},
                             {"EditClear", "MenuItem", "Clear", ""}});
  for (int i = 0; i < bar.Item(1)->Count(); ++i) EXPECT_EQ(bar.Item(1)->Item(i)->Count(), 0);
  EXPECT_EQ(bar.Item(0)->Item(0)->Count(), 0);
}

TEST_F(MenuBarTest, BuildsTheFileAndEditMenusInOrder) {
  EXPECT_FALSE(MenuBar1::HasInstance());
  auto bar = MenuBar1::Instance();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(MenuBar1::HasInstance());
  ExpectCompleteBar(*bar);
  EXPECT_EQ(bar->Child("FileMenu"), bar->Item(0));
  EXPECT_EQ(bar->Child("EditMenu"), bar->Item(1));
  EXPECT_EQ(bar->Child("UntitledMenu1"), nullptr);
  EXPECT_EQ(bar->Lookup("UntitledMenu1"), nullptr);
}

TEST_F(MenuBarTest, EveryCallHandsOutTheSameBarBuiltOnce) {
  auto first = MenuBar1::Instance();
  auto second = MenuBar1::Instance();
  EXPECT_EQ(first, second);
  ExpectCompleteBar(*second);  // one File and one Edit menu, not two of each

  MenuBar1::ReleaseInstance();
  EXPECT_FALSE(MenuBar1::HasInstance());
  EXPECT_NE(MenuBar1::Instance(), first);
}

// A build that fails anywhere leaves no bar, and the next call builds a complete one afresh.
TEST_F(MenuBarTest, FailedBuildLeavesNoBarAndTheNextCallRebuilds) {
  for (const char* failing : {"FileMenu", "FileQuit", "UntitledMenu0", "EditClear"}) {
    SCOPED_TRACE(failing);
    std::vector<std::string> made;
    MenuBar1::SetItemFactory([&](std::string_view name, bool quit) {
      made.emplace_back(name);
      std::shared_ptr<platform::MenuItem> item;
      if (name != failing)
        item = quit ? std::make_shared<platform::QuitMenuItem>()
                    : std::make_shared<platform::MenuItem>();
      return item;
    });
    EXPECT_THROW(MenuBar1::Instance(), platform::NilObjectException);
    EXPECT_FALSE(MenuBar1::HasInstance());
    EXPECT_EQ(made.back(), failing);  // nothing more was built after the failure

    MenuBar1::SetItemFactory(nullptr);
    auto bar = MenuBar1::Instance();
    ExpectCompleteBar(*bar);
    MenuBar1::ReleaseInstance();
  }
}

// The menu an item goes to is found on the bar by name; a bar without it fails the build.
TEST_F(MenuBarTest, MissingMenuOnTheBarFailsTheBuild) {
  std::shared_ptr<platform::MenuItem> editMenu;
  MenuBar1::SetItemFactory(
      [&](std::string_view name, bool quit) -> std::shared_ptr<platform::MenuItem> {
        if (name == "EditCut" && editMenu) editMenu->SetName("Renamed");
        auto item = quit ? std::make_shared<platform::QuitMenuItem>()
                         : std::make_shared<platform::MenuItem>();
        if (name == "EditMenu") editMenu = item;
        return item;
      });
  EXPECT_THROW(MenuBar1::Instance(), platform::NilObjectException);
  EXPECT_FALSE(MenuBar1::HasInstance());
  // The item in hand was not attached anywhere.
  ASSERT_NE(editMenu, nullptr);
  EXPECT_EQ(editMenu->Count(), 2);  // Undo and the separator only
}

}  // namespace
