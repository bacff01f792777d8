#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "platform/Application.h"
#include "platform/Menu.h"
#include "platform/Runtime.h"
#include "platform/Window.h"
#include "platform/qt/ControlImpl.h"
#include "platform/qt/ListboxTable.h"
#include "platform/qt/MenuBarBuilder.h"
#include "platform/qt/WindowImpl.h"
#include "platform/testing/TestFramework.h"
#include "tests/platform/TestWindows.h"

namespace {

std::shared_ptr<platform::MenuItem> Item(std::shared_ptr<platform::MenuItem> item, const char* name,
                                         const char* text, const char* shortcut) {
  item->SetName(name);
  item->SetAutoEnable(true);
  item->SetText(text);
  if (shortcut) item->SetKeyboardShortcut(shortcut);
  return item;
}

std::shared_ptr<platform::MenuItem> Plain(const char* name, const char* text,
                                          const char* shortcut) {
  return Item(std::make_shared<platform::MenuItem>(), name, text, shortcut);
}

// The program's menus: File with Quit, Edit with the editing items.
std::shared_ptr<platform::MenuBar> ProgramMenus() {
  auto bar = std::make_shared<platform::MenuBar>();
  auto file = Plain("FileMenu", "&File", "");
  file->Append(Item(std::make_shared<platform::QuitMenuItem>(), "FileQuit", "Quit", "Cmd+Q"));
  bar->Append(file);
  auto edit = Plain("EditMenu", "&Edit", "");
  edit->Append(Plain("EditUndo", "&Undo", "Cmd+Z"));
  edit->Append(Plain("UntitledMenu0", "-", nullptr));
  edit->Append(Plain("EditCut", "Cu&t", "Cmd+X"));
  edit->Append(Plain("EditCopy", "&Copy", "Cmd+C"));
  edit->Append(Plain("EditPaste", "&Paste", "Cmd+V"));
  edit->Append(Plain("EditClear", "Clear", ""));
  bar->Append(edit);
  return bar;
}

class MenuBarTest : public ::testing::Test {
 protected:
  std::shared_ptr<platformtest::ScriptedWindow> WindowWithMenus() {
    auto window = std::make_shared<platformtest::ScriptedWindow>();
    window->onLayout = [](auto& w) {
      w.SetMenuBar(ProgramMenus());
      w.SetProperties(platformtest::MainWindowProperties());
    };
    window->Constructor();
    return window;
  }

  static QMenu* Menu(QMenuBar* bar, int index) { return bar->actions().at(index)->menu(); }
  static QAction* Action(QMenu* menu, const char* name) {
    for (QAction* action : menu->actions())
      if (action->objectName() == QLatin1String(name)) return action;
    return nullptr;
  }

  platform::testing::TestFramework framework;
};

TEST_F(MenuBarTest, WindowShowsTheTreeWithMnemonicsSeparatorAndShortcuts) {
  auto window = WindowWithMenus();
  QMenuBar* bar = platform::qt::MenuBarWidget(*window);
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->actions().size(), 2);
  EXPECT_EQ(bar->actions()[0]->text(), QString("&File"));
  EXPECT_EQ(bar->actions()[1]->text(), QString("&Edit"));

  const auto file = Menu(bar, 0)->actions();
  ASSERT_EQ(file.size(), 1);
  EXPECT_EQ(file[0]->text(), QString("Quit"));
  EXPECT_EQ(file[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

  const auto edit = Menu(bar, 1)->actions();
  ASSERT_EQ(edit.size(), 6);
  const char* texts[] = {"&Undo", "", "Cu&t", "&Copy", "&Paste", "Clear"};
  const QKeySequence keys[] = {
      QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(),
      QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_C),
      QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence()};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(edit[i]->isSeparator(), i == 1);
    EXPECT_EQ(edit[i]->text(), QString(texts[i]));
    EXPECT_EQ(edit[i]->shortcut(), keys[i]);
  }
  EXPECT_EQ(window->Height(), 315);  // the bar is outside the content
}

TEST(ShortcutText, CmdIsControlOnLinux) {
  const std::pair<const char*, QKeySequence> cases[] = {
      {"Cmd+Q", QKeySequence(Qt::CTRL | Qt::Key_Q)},
      {"Cmd+Shift+S", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
      {"Option+X", QKeySequence(Qt::ALT | Qt::Key_X)},
      {"", QKeySequence()},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(platform::qt::ShortcutFor(text), expected) << text;
  }
}

TEST_F(MenuBarTest, QuitClosesTheWindowsAndEndsTheLoop) {
  auto window = WindowWithMenus();
  auto app = std::make_shared<platform::Application>();
  platform::Runtime::RegisterAppObject(app);
  QAction* quit = Menu(platform::qt::MenuBarWidget(*window), 0)->actions().at(0);
  QMetaObject::invokeMethod(
      quit, [quit] { quit->trigger(); }, Qt::QueuedConnection);
  platform::Runtime::Run();
  EXPECT_TRUE(window->IsClosed());
  EXPECT_EQ(window->events.back(), "Close");
}

TEST_F(MenuBarTest, EditItemsActOnTheFocusedEditorWhenTheyApply) {
  auto window = WindowWithMenus();
  auto list = window->NewControl<platform::Listbox>();
  window->AddControl("List", list);
  list->SetProperties(platformtest::TableProperties());
  list->SetColumnType(2, platform::Listbox::kTypeEditable);
  list->SetCell(0, 2, "key");
  window->Show();
  QApplication::setActiveWindow(platform::qt::TopLevelWidget(*window));
  QApplication::clipboard()->clear();

  auto* table = platform::qt::TableWidget(*list);
  table->setCurrentCell(0, 2);
  table->editItem(table->item(0, 2));
  auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(table->model()->index(0, 2)));
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  editor->deselect();
  platform::Runtime::ProcessPendingEvents();
  ASSERT_EQ(QApplication::focusWidget(), editor);

  QMenu* edit = Menu(platform::qt::MenuBarWidget(*window), 1);
  auto enabled = [&](const char* name) {
    emit edit->aboutToShow();
    return Action(edit, name)->isEnabled();
  };
  EXPECT_FALSE(enabled("EditCut"));
  EXPECT_FALSE(enabled("EditCopy"));
  EXPECT_FALSE(enabled("EditClear"));
  EXPECT_FALSE(enabled("EditPaste"));
  EXPECT_FALSE(enabled("EditUndo"));

  editor->selectAll();
  EXPECT_TRUE(enabled("EditCopy"));
  EXPECT_TRUE(enabled("EditCut"));
  Action(edit, "EditCopy")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QString("key"));
  EXPECT_TRUE(enabled("EditPaste"));
  Action(edit, "EditClear")->trigger();
  EXPECT_EQ(editor->text(), QString());
  EXPECT_TRUE(enabled("EditUndo"));
  Action(edit, "EditUndo")->trigger();
  EXPECT_EQ(editor->text(), QString("key"));
  editor->end(false);
  Action(edit, "EditPaste")->trigger();
  EXPECT_EQ(editor->text(), QString("keykey"));

  editor->clearFocus();
  platform::Runtime::ProcessPendingEvents();
  EXPECT_FALSE(enabled("EditPaste"));  // no editor has the focus
}

// Alt+E lends the focus to the menu bar while the menu is worked from the keyboard. The editor
// stays open with its selection, the items act on it, and it gets the focus back.
TEST_F(MenuBarTest, EditMenuOpenedByKeyboardActsOnTheCellBeingEdited) {
  auto window = WindowWithMenus();
  auto list = window->NewControl<platform::Listbox>();
  window->AddControl("List", list);
  list->SetProperties(platformtest::TableProperties());
  list->SetColumnType(2, platform::Listbox::kTypeEditable);
  auto button = window->NewControl<platform::PushButton>();
  window->AddControl("Button", button);
  button->SetProperties({});
  window->Show();
  QApplication::setActiveWindow(platform::qt::TopLevelWidget(*window));
  QApplication::clipboard()->clear();
  QMenuBar* bar = platform::qt::MenuBarWidget(*window);
  QMenu* edit = Menu(bar, 1);

  auto* table = platform::qt::TableWidget(*list);
  table->setFocus();
  table->setCurrentCell(0, 2);
  QTest::keyClick(table, Qt::Key_Q);  // starts editing with the key typed
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->selectAll();

  auto openEditMenu = [&] {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::AltModifier);
    ASSERT_EQ(QApplication::activePopupWidget(), edit);
    ASSERT_EQ(QApplication::focusWidget(), bar);  // the keyboard path, not the mouse's
    ASSERT_TRUE(table->IsEditing());
  };
  openEditMenu();
  EXPECT_TRUE(Action(edit, "EditCut")->isEnabled());
  EXPECT_TRUE(Action(edit, "EditCopy")->isEnabled());
  EXPECT_TRUE(Action(edit, "EditClear")->isEnabled());
  QTest::keyClick(edit, Qt::Key_T);  // Cu&t
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(QApplication::clipboard()->text(), QString("q"));
  EXPECT_EQ(editor->text(), QString());
  EXPECT_EQ(QApplication::focusWidget(), editor);

  openEditMenu();
  EXPECT_TRUE(Action(edit, "EditPaste")->isEnabled());
  EXPECT_TRUE(Action(edit, "EditUndo")->isEnabled());
  EXPECT_FALSE(Action(edit, "EditCopy")->isEnabled());  // nothing selected
  QTest::keyClick(edit, Qt::Key_P);                     // &Paste
  EXPECT_EQ(editor->text(), QString("q"));
  EXPECT_EQ(QApplication::focusWidget(), editor);

  // Escape twice closes the menu, then leaves the menu bar: the edit goes on.
  openEditMenu();
  QTest::keyClick(edit, Qt::Key_Escape);
  QTest::keyClick(bar, Qt::Key_Escape);
  EXPECT_EQ(QApplication::focusWidget(), editor);
  EXPECT_TRUE(table->IsEditing());

  // The focus moving on from the menu bar to another control ends the edit, keeping the text.
  openEditMenu();
  QTest::keyClick(edit, Qt::Key_Escape);
  button->impl().widget->setFocus(Qt::MouseFocusReason);
  platform::Runtime::ProcessPendingEvents();
  EXPECT_FALSE(table->IsEditing());
  EXPECT_EQ(list->Cell(0, 2), "q");
}

TEST_F(MenuBarTest, WindowWithoutItsOwnBarShowsTheApplicationsMenus) {
  auto app = std::make_shared<platform::Application>();
  app->SetMenuBar(ProgramMenus());
  platform::Runtime::RegisterAppObject(app);
  auto window = std::make_shared<platformtest::ScriptedWindow>();
  window->onLayout = [](auto& w) { w.SetProperties(platformtest::MainWindowProperties()); };
  window->Constructor();
  EXPECT_EQ(platform::qt::MenuBarWidget(*window), nullptr);  // built hidden
  window->Show();
  ASSERT_NE(platform::qt::MenuBarWidget(*window), nullptr);
  EXPECT_EQ(platform::qt::MenuBarWidget(*window)->actions().size(), 2);
  EXPECT_EQ(window->GetMenuBar(), nullptr);
}

}  // namespace
