#include "platform/qt/MenuBarBuilder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <memory>
#include <vector>

#include "platform/Runtime.h"

namespace platform::qt {

namespace {

enum class EditCommand { kUndo, kCut, kCopy, kPaste, kClear };

bool EditCommandNamed(const std::string& name, EditCommand& command) {
  static const std::pair<const char*, EditCommand> kNames[] = {
      {"EditUndo", EditCommand::kUndo},   {"EditCut", EditCommand::kCut},
      {"EditCopy", EditCommand::kCopy},   {"EditPaste", EditCommand::kPaste},
      {"EditClear", EditCommand::kClear},
  };
  for (const auto& [itemName, value] : kNames) {
    if (name == itemName) {
      command = value;
      return true;
    }
  }
  return false;
}

QLineEdit* FocusedEditor() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

bool Applies(EditCommand command, const QLineEdit* editor) {
  if (!editor || !editor->isEnabled()) return false;
  const bool writable = !editor->isReadOnly();
  const bool selection = editor->hasSelectedText();
  const bool plain = editor->echoMode() == QLineEdit::Normal;
  switch (command) {
    case EditCommand::kUndo:
      return writable && editor->isUndoAvailable();
    case EditCommand::kCut:
      return writable && selection && plain;
    case EditCommand::kCopy:
      return selection && plain;
    case EditCommand::kPaste: {
      const QClipboard* clipboard = QGuiApplication::clipboard();
      return writable && clipboard && !clipboard->text().isEmpty();
    }
    case EditCommand::kClear:
      return writable && selection;
  }
  return false;
}

void PerformOn(EditCommand command, QLineEdit* editor) {
  if (!Applies(command, editor)) return;
  switch (command) {
    case EditCommand::kUndo:
      editor->undo();
      break;
    case EditCommand::kCut:
      editor->cut();
      break;
    case EditCommand::kCopy:
      editor->copy();
      break;
    case EditCommand::kPaste:
      editor->paste();
      break;
    case EditCommand::kClear:
      editor->del();
      break;
  }
}

// Keeps the Edit items' enabled state in step with the editor they act on, for the menus and for
// their shortcuts (a disabled item's shortcut does nothing). That editor is the focused one; while
// the menus are worked from the keyboard (Alt+E) the menu bar holds the focus, and the items act
// on the editor it took the focus from, which the menu bar gives the focus back to when it is done.
class EditItems : public QObject {
 public:
  explicit EditItems(QMenuBar* bar) : QObject(bar), bar_(bar) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* old, QWidget* now) { Follow(old, now); });
    if (QClipboard* clipboard = QGuiApplication::clipboard())
      connect(clipboard, &QClipboard::dataChanged, this, [this] { Update(); });
  }

  void Add(QAction* action, EditCommand command, bool autoEnable) {
    items_.push_back({action, command, autoEnable});
    Update();
  }

  void Update() {
    QLineEdit* editor = Target();
    for (const auto& item : items_)
      if (item.action && item.autoEnable) item.action->setEnabled(Applies(item.command, editor));
  }

  void Perform(EditCommand command) { PerformOn(command, Target()); }

 private:
  struct Item {
    QPointer<QAction> action;
    EditCommand command;
    bool autoEnable;
  };

  QLineEdit* Target() const {
    if (QLineEdit* editor = FocusedEditor()) return editor;
    if (bar_ && QApplication::focusWidget() == bar_) return lent_;
    return nullptr;
  }

  void Follow(QWidget* old, QWidget* now) {
    lent_ = now && now == bar_ ? qobject_cast<QLineEdit*>(old) : nullptr;
    for (const auto& connection : editorConnections_) disconnect(connection);
    editorConnections_.clear();
    if (QLineEdit* editor = Target()) {
      editorConnections_.push_back(
          connect(editor, &QLineEdit::selectionChanged, this, [this] { Update(); }));
      editorConnections_.push_back(
          connect(editor, &QLineEdit::textChanged, this, [this] { Update(); }));
    }
    Update();
  }

  QPointer<QMenuBar> bar_;
  QPointer<QLineEdit> lent_;  // the editor that lent the focus to the menu bar
  std::vector<Item> items_;
  std::vector<QMetaObject::Connection> editorConnections_;
};

QString TextOf(const MenuItem& item) { return QString::fromStdString(item.Text()); }

void AddItems(QMenu* menu, const MenuItem& parent, EditItems& edits) {
  QObject::connect(menu, &QMenu::aboutToShow, &edits, [&edits] { edits.Update(); });
  for (int i = 0; i < parent.Count(); ++i) {
    const auto item = parent.Item(i);
    if (item->Text() == "-") {
      menu->addSeparator();
      continue;
    }
    if (item->Count() > 0) {
      AddItems(menu->addMenu(TextOf(*item)), *item, edits);
      continue;
    }
    QAction* action = menu->addAction(TextOf(*item));
    action->setObjectName(QString::fromStdString(item->Name()));
    action->setShortcut(ShortcutFor(item->KeyboardShortcut()));
    EditCommand command{};
    if (dynamic_cast<const QuitMenuItem*>(item.get())) {
      action->setMenuRole(QAction::QuitRole);
      QObject::connect(action, &QAction::triggered, action,
                       [] { Runtime::Dispatch([] { Runtime::QuitApplication(); }); });
    } else if (EditCommandNamed(item->Name(), command)) {
      QObject::connect(action, &QAction::triggered, &edits, [&edits, command] {
        Runtime::Dispatch([&edits, command] { edits.Perform(command); });
      });
      edits.Add(action, command, item->AutoEnable());
    }
  }
}

}  // namespace

QMenuBar* BuildMenuBar(const MenuBar& tree, QWidget* parent) {
  auto* bar = new QMenuBar(parent);
  // The menus belong in the window itself, also where a desktop offers a global menu bar:
  // the window's layout counts on it.
  bar->setNativeMenuBar(false);
  auto* edits = new EditItems(bar);
  for (int i = 0; i < tree.Count(); ++i) {
    const auto menu = tree.Item(i);
    QMenu* qtMenu = bar->addMenu(TextOf(*menu));
    qtMenu->setObjectName(QString::fromStdString(menu->Name()));
    AddItems(qtMenu, *menu, *edits);
  }
  return bar;
}

QKeySequence ShortcutFor(const std::string& text) {
  if (text.empty()) return {};
  const QStringList parts = QString::fromStdString(text).split(QLatin1Char('+'));
  QStringList translated;
  for (int i = 0; i < parts.size(); ++i) {
    const QString part = parts[i].trimmed();
    const bool last = i == parts.size() - 1;
    if (last) {
      translated << part;
      break;
    }
    const QString lower = part.toLower();
    if (lower == QLatin1String("cmd") || lower == QLatin1String("command") ||
        lower == QLatin1String("ctrl") || lower == QLatin1String("control"))
      translated << QStringLiteral("Ctrl");
    else if (lower == QLatin1String("option") || lower == QLatin1String("opt") ||
             lower == QLatin1String("alt"))
      translated << QStringLiteral("Alt");
    else if (lower == QLatin1String("shift"))
      translated << QStringLiteral("Shift");
    else
      translated << part;
  }
  translated.removeDuplicates();
  return QKeySequence::fromString(translated.join(QLatin1Char('+')), QKeySequence::PortableText);
}

}  // namespace platform::qt
