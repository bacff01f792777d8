#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

#include "platform/Menu.h"
#include "platform/Runtime.h"
#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/ListboxTable.h"
#include "platform/qt/WindowImpl.h"
#include "platform/testing/TestFramework.h"
#include "tests/platform/TestWindows.h"

namespace {

using platform::CheckBox;
using platform::Listbox;
using platform::PushButton;
using platformtest::ScriptedWindow;

struct OtherWindow : platform::Window {
  OtherWindow() : Window("Other.Other") {}
};

class WindowTest : public ::testing::Test {
 protected:
  platform::testing::TestFramework framework;
};

std::shared_ptr<platform::MenuBar> OneMenuBar() {
  auto bar = std::make_shared<platform::MenuBar>();
  auto file = std::make_shared<platform::MenuItem>();
  file->SetText("&File");
  auto quit = std::make_shared<platform::QuitMenuItem>();
  quit->SetText("Quit");
  file->Append(quit);
  bar->Append(file);
  return bar;
}

TEST_F(WindowTest, ContentHeightReadsBackExactlyAlsoBelowTheMinimum) {
  auto window = std::make_shared<ScriptedWindow>();
  window->onLayout = [](ScriptedWindow& w) {
    w.SetMenuBar(OneMenuBar());
    w.SetProperties(platformtest::MainWindowProperties());
  };
  window->Constructor();
  window->Show();
  QWidget* top = platform::qt::TopLevelWidget(*window);
  QWidget* content = platform::qt::ContentWidget(*window);
  QMenuBar* bar = platform::qt::MenuBarWidget(*window);
  ASSERT_NE(bar, nullptr);
  for (int height : {50, 315, 64, 63, 1, 200}) {
    SCOPED_TRACE(height);
    window->SetHeight(height);
    EXPECT_EQ(window->Height(), height);
    EXPECT_EQ(window->Width(), 470);
    EXPECT_EQ(content->height(), height);
    EXPECT_EQ(content->width(), 470);
    // The menu bar sits above the content and is not part of its height; the user cannot
    // resize the window.
    EXPECT_EQ(top->height(), height + bar->height());
    EXPECT_EQ(top->minimumSize(), top->maximumSize());
  }
}

TEST_F(WindowTest, BuildingRegistersTheImplicitInstanceThenRaisesOpenEventsInOrder) {
  auto window = std::make_shared<ScriptedWindow>("Main.Main");
  std::vector<std::string> seen;
  window->onLayout = [&](ScriptedWindow& w) {
    w.SetProperties(platformtest::MainWindowProperties());
    seen.push_back(platform::GetImplicitWindow("Main.Main") ? "registered" : "not registered");
  };
  window->onCreateControls = [](ScriptedWindow& w) {
    for (const char* name : {"First", "Second", "Third"}) {
      auto button = w.NewControl<PushButton>();
      w.AddControl(name, button);
      button->InstallEventHandler("Open",
                                  [&w, name] { w.events.push_back(std::string("Open ") + name); });
    }
  };
  window->onOpen = [&](ScriptedWindow&) {
    seen.push_back(platform::GetImplicitWindow("Main.Main") ? "registered" : "not registered");
  };

  window->Constructor();

  EXPECT_EQ(window->events, (std::vector<std::string>{"Layout", "CreateControls", "Open First",
                                                      "Open Second", "Open Third", "Open"}));
  EXPECT_EQ(seen, (std::vector<std::string>{"not registered", "registered"}));
  EXPECT_EQ(platform::GetImplicitWindow("Main.Main"), window);
  EXPECT_EQ(platform::CheckCast<ScriptedWindow>(platform::GetImplicitWindow("Main.Main")), window);
  EXPECT_THROW(platform::CheckCast<OtherWindow>(window), platform::IllegalCastException);
  EXPECT_FALSE(window->Visible());  // built hidden, as its layout says

  window->Close();
  EXPECT_EQ(platform::GetImplicitWindow("Main.Main"), nullptr);
  EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(window->Title(), "Main");  // the object lives on while it is referenced
}

TEST_F(WindowTest, FailureWhileBuildingPassesToTheCallerAndRegistersNothing) {
  auto window = std::make_shared<ScriptedWindow>("Broken.Broken");
  window->onCreateControls = [](ScriptedWindow& w) {
    w.AddControl("Made", w.NewControl<PushButton>());
    throw platform::IllegalCastException("wrong class");
  };
  EXPECT_THROW(window->Constructor(), platform::IllegalCastException);
  EXPECT_EQ(platform::GetImplicitWindow("Broken.Broken"), nullptr);
  EXPECT_NE(window->ControlByName("Made"), nullptr);  // made before the failure, still there
  EXPECT_EQ(window->events, (std::vector<std::string>{"Layout", "CreateControls"}));
}

TEST_F(WindowTest, CloseBoxClosesOnceThroughTheSamePath) {
  auto window = std::make_shared<ScriptedWindow>("Closing.Closing");
  window->onLayout = [](ScriptedWindow& w) {
    auto props = platformtest::MainWindowProperties();
    props.visible = true;
    w.SetProperties(props);
  };
  window->Constructor();
  EXPECT_TRUE(window->Visible());
  std::weak_ptr<ScriptedWindow> weak = window;
  window.reset();  // only the framework holds it now

  QWidget* top = platform::qt::TopLevelWidget(*weak.lock());
  top->close();  // the user's close box
  platform::Runtime::ProcessPendingEvents();

  EXPECT_TRUE(weak.expired());  // closed, dropped by the framework and so released
  EXPECT_EQ(platform::GetImplicitWindow("Closing.Closing"), nullptr);
}

TEST_F(WindowTest, CloseRaisesCloseOnceAndAnExceptionInItIsHandled) {
  auto window = std::make_shared<ScriptedWindow>("Twice.Twice");
  window->onClose = [](ScriptedWindow&) { throw std::runtime_error("close failed"); };
  window->Constructor();
  platform::qt::TopLevelWidget(*window)->close();
  window->Close();
  EXPECT_EQ(std::count(window->events.begin(), window->events.end(), "Close"), 1);
  ASSERT_EQ(framework.unhandled.size(), 1u);
  EXPECT_EQ(framework.unhandled[0].first, "std::runtime_error");
  EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(platform::GetImplicitWindow("Twice.Twice"), nullptr);
}

TEST_F(WindowTest, ControlsAreFoundByNameWithACheckedCast) {
  auto window = std::make_shared<ScriptedWindow>();
  auto button = window->NewControl<PushButton>();
  auto box = window->NewControl<CheckBox>();
  window->AddControl("Button", button);
  window->AddControl("Box", box);

  EXPECT_EQ(window->ControlByName("Button"), button);
  EXPECT_EQ(window->ControlByName("Nothing"), nullptr);
  EXPECT_EQ(window->ControlAs<PushButton>("Button"), button);
  EXPECT_EQ(window->ControlAs<CheckBox>("Box"), box);
  EXPECT_THROW(window->ControlAs<CheckBox>("Button"), platform::IllegalCastException);
  EXPECT_THROW(window->ControlAs<Listbox>("Box"), platform::IllegalCastException);
  EXPECT_THROW(window->ControlAs<PushButton>("Nothing"), platform::NilObjectException);
  EXPECT_EQ(window->Controls(), (std::vector<std::shared_ptr<platform::Control>>{button, box}));
  EXPECT_EQ(button->Name(), "Button");
  EXPECT_EQ(&button->ParentWindow(), window.get());
}

TEST_F(WindowTest, HandlersRunWithTheWindowAndTheControlThatRaisedTheEvent) {
  auto window = std::make_shared<ScriptedWindow>();
  auto one = window->NewControl<PushButton>();
  auto two = window->NewControl<PushButton>();
  auto box = window->NewControl<CheckBox>();
  window->AddControl("One", one);
  window->AddControl("Two", two);
  window->AddControl("Box", box);
  window->InstallEventHandler(one, "Action", &ScriptedWindow::Noted<PushButton>);
  window->InstallEventHandler(two, "Action", &ScriptedWindow::Noted<PushButton>);
  window->InstallEventHandler(box, "Action", &ScriptedWindow::Noted<CheckBox>);

  two->Push();
  one->Push();
  box->Click();
  box->SetValue(false);  // by the program: no event

  EXPECT_EQ(window->events,
            (std::vector<std::string>{"handler Two", "handler One", "handler Box"}));
  EXPECT_EQ(one->EventNames(), std::vector<std::string>{"Action"});
  EXPECT_FALSE(one->HasEventHandler("Open"));
}

TEST_F(WindowTest, ShowBringsBackAMinimisedWindow) {
  auto window = std::make_shared<ScriptedWindow>();
  window->Constructor();
  QWidget* widget = platform::qt::TopLevelWidget(*window);
  widget->showMinimized();
  ASSERT_TRUE(widget->isMinimized());
  window->Show();
  EXPECT_FALSE(widget->isMinimized());
  EXPECT_TRUE(window->Visible());
}

TEST_F(WindowTest, ReturnPressesTheDefaultButton) {
  auto window = std::make_shared<ScriptedWindow>();
  window->onCreateControls = [](ScriptedWindow& w) {
    for (bool isDefault : {false, true}) {
      auto button = w.NewControl<PushButton>();
      PushButton::Properties props;
      props.caption = isDefault ? "Close" : "Other";
      props.isDefault = isDefault;
      w.AddControl(props.caption, button);
      button->SetProperties(props);
      w.InstallEventHandler(button, "Action", &ScriptedWindow::Noted<PushButton>);
    }
  };
  window->Constructor();
  window->Show();
  QTest::keyClick(platform::qt::TopLevelWidget(*window), Qt::Key_Return);
  EXPECT_EQ(window->events.back(), "handler Close");
}

TEST_F(WindowTest, ControlsLockedToTheEdgesFollowTheContentSize) {
  auto window = std::make_shared<ScriptedWindow>();
  std::shared_ptr<Listbox> list;
  window->onLayout = [](ScriptedWindow& w) {
    w.SetProperties(platformtest::MainWindowProperties());
  };
  window->onCreateControls = [&](ScriptedWindow& w) {
    list = w.NewControl<Listbox>();
    w.AddControl("List", list);
    list->SetProperties(platformtest::TableProperties());
  };
  window->Constructor();
  window->Show();
  QWidget* table = list->impl().widget;

  EXPECT_EQ(table->geometry(), QRect(17, 48, 433, 247));
  window->SetHeight(50);
  EXPECT_EQ(list->Height(), -18);
  EXPECT_TRUE(list->Visible());
  EXPECT_FALSE(table->isVisible());  // no area to show
  window->SetHeight(315);
  EXPECT_EQ(list->Height(), 247);
  EXPECT_TRUE(table->isVisible());
  EXPECT_EQ(table->geometry(), QRect(17, 48, 433, 247));
}

TEST_F(WindowTest, ButtonsBoxesTrianglesAndTexts) {
  auto window = std::make_shared<ScriptedWindow>();
  auto box = window->NewControl<CheckBox>();
  auto triangle = window->NewControl<platform::DisclosureTriangle>();
  auto text = window->NewControl<platform::StaticText>();
  window->AddControl("Box", box);
  window->AddControl("Triangle", triangle);
  window->AddControl("Text", text);
  window->InstallEventHandler(triangle, "Action",
                              &ScriptedWindow::Noted<platform::DisclosureTriangle>);

  CheckBox::Properties boxProps;
  boxProps.caption = "Exclusive mode";
  boxProps.visible = false;
  box->SetProperties(boxProps);
  EXPECT_EQ(box->Caption(), "Exclusive mode");
  EXPECT_FALSE(box->Visible());
  box->Click();
  EXPECT_TRUE(box->Value());

  triangle->SetProperties({});
  auto* arrow = qobject_cast<QToolButton*>(triangle->impl().widget.data());
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(arrow->arrowType(), Qt::RightArrow);
  triangle->Click();
  EXPECT_TRUE(triangle->Value());
  EXPECT_EQ(arrow->arrowType(), Qt::DownArrow);
  EXPECT_EQ(window->events, std::vector<std::string>{"handler Triangle"});

  platform::StaticText::Properties textProps;
  textProps.text = "one\r\rthree\r\nfour\nfive \"quoted\"  <b>";
  textProps.multiline = true;
  text->SetProperties(textProps);
  auto* label = qobject_cast<QLabel*>(text->impl().widget.data());
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(text->Text(), textProps.text);
  EXPECT_EQ(label->text(), QString("one\n\nthree\nfour\nfive \"quoted\"  <b>"));
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
  EXPECT_TRUE(label->wordWrap());
}

// The main window's five controls as it lays them out: the triangle takes no focus, and the list
// is the third tab stop, between the check box and "?".
TEST_F(WindowTest, TabAndShiftTabFollowTheTabOrderAndPassTheListInOneStep) {
  auto window = std::make_shared<ScriptedWindow>();
  std::shared_ptr<PushButton> turnOn, help;
  std::shared_ptr<CheckBox> box;
  std::shared_ptr<Listbox> list;
  window->onLayout = [](ScriptedWindow& w) {
    w.SetProperties(platformtest::MainWindowProperties());
  };
  window->onCreateControls = [&](ScriptedWindow& w) {
    auto place = [](platform::ControlProperties& p, int left, int width, int tabIndex) {
      p.left = left;
      p.top = 14;
      p.width = width;
      p.tabIndex = tabIndex;
    };
    turnOn = w.NewControl<PushButton>();
    w.AddControl("PushButton1", turnOn);
    PushButton::Properties turnOnProps;
    place(turnOnProps, 20, 145, 0);
    turnOnProps.caption = "Turn On";
    turnOn->SetProperties(turnOnProps);
    box = w.NewControl<CheckBox>();
    w.AddControl("CheckBox1", box);
    CheckBox::Properties boxProps;
    place(boxProps, 201, 128, 1);
    boxProps.caption = "Exclusive mode";
    box->SetProperties(boxProps);
    list = w.NewControl<Listbox>();
    w.AddControl("Listbox1", list);
    auto listProps = platformtest::TableProperties();
    listProps.tabIndex = 2;
    list->SetProperties(listProps);
    auto triangle = w.NewControl<platform::DisclosureTriangle>();
    w.AddControl("DisclosureTriangle1", triangle);
    platform::DisclosureTriangle::Properties triangleProps;
    place(triangleProps, 171, 18, 3);
    triangle->SetProperties(triangleProps);
    help = w.NewControl<PushButton>();
    w.AddControl("HelpPush", help);
    PushButton::Properties helpProps;
    place(helpProps, 426, 30, 4);
    helpProps.caption = "?";
    help->SetProperties(helpProps);
  };
  window->Constructor();
  list->SetColumnType(2, Listbox::kTypeEditable);
  window->Show();
  QApplication::setActiveWindow(platform::qt::TopLevelWidget(*window));
  auto* table = platform::qt::TableWidget(*list);
  // The name of the control that has the focus after the key.
  auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    QWidget* focus = QApplication::focusWidget();
    for (const auto& control : window->Controls())
      if (control->impl().widget == focus) return control->Name();
    return std::string(focus ? "another widget" : "none");
  };
  auto focusOn = [](const platform::Control& c) {
    c.impl().widget->setFocus(Qt::OtherFocusReason);
  };
  using Names = std::vector<std::string>;
  auto tabs = [&](int count, Qt::KeyboardModifiers modifiers) {
    Names reached;
    while (count-- > 0) reached.push_back(press(Qt::Key_Tab, modifiers));
    return reached;
  };

  focusOn(*turnOn);
  EXPECT_EQ(tabs(4, Qt::NoModifier), (Names{"CheckBox1", "Listbox1", "HelpPush", "PushButton1"}));
  EXPECT_EQ(tabs(4, Qt::ShiftModifier),
            (Names{"HelpPush", "Listbox1", "CheckBox1", "PushButton1"}));
  EXPECT_EQ(list->ListIndex(), -1);  // passing through selects no row

  // Inside the list the arrow keys move from cell to cell.
  focusOn(*list);
  table->setCurrentCell(0, 2);
  EXPECT_EQ(press(Qt::Key_Down), "Listbox1");
  EXPECT_EQ(table->currentIndex(), table->model()->index(1, 2));
  press(Qt::Key_Right);
  EXPECT_EQ(table->currentIndex(), table->model()->index(1, 3));

  // Tab while a Key cell is edited keeps what was typed and goes on to the next control, either
  // way.
  const std::pair<Qt::KeyboardModifiers, const char*> exits[] = {{Qt::NoModifier, "HelpPush"},
                                                                 {Qt::ShiftModifier, "CheckBox1"}};
  for (const auto& [modifiers, next] : exits) {
    focusOn(*list);
    table->setCurrentCell(0, 2);
    QTest::keyClick(table, Qt::Key_Q);  // starts editing with the key typed
    ASSERT_TRUE(table->IsEditing());
    EXPECT_EQ(press(Qt::Key_Tab, modifiers), next);
    EXPECT_FALSE(table->IsEditing());
    EXPECT_EQ(list->Cell(0, 2), "q");
    list->SetCell(0, 2, "");
  }

  // Collapsed, the list and the hidden check box are passed over.
  window->SetHeight(50);
  box->SetVisible(false);
  focusOn(*turnOn);
  EXPECT_EQ(tabs(2, Qt::NoModifier), (Names{"HelpPush", "PushButton1"}));
}

}  // namespace
