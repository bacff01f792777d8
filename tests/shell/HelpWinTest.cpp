#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/Window.h"
#include "platform/testing/TestFramework.h"
#include "shell/HelpText.h"
#include "shell/HelpWin.h"

namespace {

// Written out independently of the program's literal so that a changed byte shows.
const std::string kExpectedText =
    std::string("This is pretty simple...") + '\r' + '\r' +
    "Turn On/Turn Off starts and stops listening to the Apple Remote." + '\r' + '\r' +
    "Exclusive Mode tries to block other applications that might be trying to use the remote. If "
    "this is off then it will try and play nice." +
    '\r' + '\r' +
    "The buttons table defines what character gets pressed when a remote button gets pressed. The "
    "modifier check boxes define what key modifiers get applied to the key being pressed... so if "
    "you need the \"Menu\" button to \"do\" a Command-P  then next to the \"Menu Down\" entry, put "
    "a \"P\" and put a check in the \"CMD\" column.";

// Some other window standing in for the main window.
class OtherWindow : public platform::Window {
 public:
  OtherWindow() : platform::Window("Other.Other") {}
};

class HelpWinTest : public ::testing::Test {
 protected:
  platform::testing::TestFramework framework_;
};

void ExpectBuiltAsDesigned(const HelpWin& w) {
  EXPECT_EQ(w.FullClassName(), "HelpWin.HelpWin");
  EXPECT_EQ(w.Title(), "ZibTVRemote");
  EXPECT_EQ(w.Width(), 473);
  EXPECT_EQ(w.Height(), 359);
  const auto& props = w.Properties();
  EXPECT_FALSE(props.resizeable);
  EXPECT_TRUE(props.minimizeButton);
  EXPECT_FALSE(props.maximizeButton);
  EXPECT_TRUE(props.closeButton);
  EXPECT_EQ(props.minWidth, 64);
  EXPECT_EQ(props.minHeight, 64);
  EXPECT_TRUE(w.Visible());
  EXPECT_EQ(w.GetMenuBar(), nullptr);

  const auto controls = w.Controls();
  ASSERT_EQ(controls.size(), 2u);
  EXPECT_EQ(controls[0]->Name(), "StaticText1");
  EXPECT_EQ(controls[1]->Name(), "PushButton1");

  auto text = w.ControlAs<platform::StaticText>("StaticText1");
  EXPECT_EQ(text->Text(), kExpectedText);
  EXPECT_EQ(text->Left(), 14);
  EXPECT_EQ(text->Top(), 19);
  EXPECT_EQ(text->Width(), 439);
  EXPECT_EQ(text->Height(), 267);

  auto button = w.ControlAs<platform::PushButton>("PushButton1");
  EXPECT_EQ(button->Caption(), "Close");
  EXPECT_TRUE(button->IsDefault());
  EXPECT_EQ(button->Left(), 373);
  EXPECT_EQ(button->Top(), 319);
  EXPECT_EQ(button->Width(), 80);
  EXPECT_EQ(button->Height(), 20);
  EXPECT_TRUE(button->HasEventHandler("Action"));
}

TEST(HelpText, SevenLinesSeparatedByCarriageReturns) {
  const std::string text(HelpText());
  EXPECT_EQ(text, kExpectedText);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_NE(text.back(), '\r');
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  ASSERT_EQ(lines.size(), 7u);
  for (std::size_t blank : {1u, 3u, 5u}) EXPECT_EQ(lines[blank], "") << blank;
  EXPECT_EQ(lines[0], "This is pretty simple...");
  EXPECT_NE(lines[6].find("a Command-P  then next"), std::string::npos);
  EXPECT_EQ(std::count(lines[6].begin(), lines[6].end(), '"'), 10);
  for (char c : text) {
    const auto code = static_cast<unsigned char>(c);
    EXPECT_TRUE(code == '\r' || (code >= 0x20 && code < 0x7F)) << static_cast<int>(code);
  }
}

TEST_F(HelpWinTest, BuiltAsDesignedAndOneAtATime) {
  EXPECT_EQ(platform::GetImplicitWindow("HelpWin.HelpWin"), nullptr);
  auto first = HelpWin::Instance();
  ASSERT_NE(first, nullptr);
  ExpectBuiltAsDesigned(*first);
  EXPECT_EQ(platform::GetImplicitWindow("HelpWin.HelpWin"), first);

  auto second = HelpWin::Instance();
  EXPECT_EQ(second, first);
  EXPECT_EQ(second->Controls().size(), 2u);  // not rebuilt
}

// Closing by the button or by the close box ends the window; the next call builds a new,
// identical one. The button closes nothing but the help window.
TEST_F(HelpWinTest, CloseEndsOnlyTheHelpWindowAndANewOneFollows) {
  auto other = std::make_shared<OtherWindow>();
  other->Constructor();
  other->Show();

  for (bool byButton : {true, false}) {
    SCOPED_TRACE(byButton ? "Close button" : "close box");
    auto first = HelpWin::Instance();
    if (byButton)
      first->ControlAs<platform::PushButton>("PushButton1")->Push();
    else
      first->Close();
    EXPECT_TRUE(first->IsClosed());
    EXPECT_EQ(platform::GetImplicitWindow("HelpWin.HelpWin"), nullptr);
    EXPECT_FALSE(other->IsClosed());
    EXPECT_TRUE(other->Visible());

    auto next = HelpWin::Instance();
    EXPECT_NE(next, first);
    ExpectBuiltAsDesigned(*next);
    next->Close();
  }
  other->Close();
}

}  // namespace
