#pragma once

// Builds a window's Qt menu bar from the program's menu tree. Framework-internal.

#include <QKeySequence>
#include <string>

#include "platform/Menu.h"

class QMenuBar;
class QWidget;

namespace platform::qt {

// A new menu bar, owned by `parent`, showing `tree`'s menus. "Quit" items quit the application;
// the items named EditUndo, EditCut, EditCopy, EditPaste and EditClear act on the text editor
// that has the focus.
QMenuBar* BuildMenuBar(const MenuBar& tree, QWidget* parent);

// "Cmd+Q" -> Ctrl+Q: Cmd is the Control key on Linux; Option is Alt. Empty: no shortcut.
QKeySequence ShortcutFor(const std::string& text);

}  // namespace platform::qt
