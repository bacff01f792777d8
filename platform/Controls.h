#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Window;

// Layout values shared by every control. Positions are in window content coordinates.
struct ControlProperties {
  int left = 0, top = 0, width = 80, height = 20;
  bool lockLeft = false, lockTop = false, lockRight = false, lockBottom = false;
  int tabIndex = 0, tabPanelIndex = 0;
  bool tabStop = true, enabled = true, visible = true, autoDeactivate = true;
  std::string helpTag, initialParent;
  std::string textFont = "System";
  int textSize = 0;
  bool bold = false, italic = false, underline = false;
};

// A control inside a window. Created through Window::NewControl, owned by the window once
// registered with Window::AddControl.
class Control {
 public:
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual const char* ClassName() const noexcept = 0;
  const std::string& Name() const noexcept;
  Window& ParentWindow() const noexcept;

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);
  int Left() const;
  int Top() const;
  int Width() const;
  // For a control locked to the bottom this follows the window; it may be zero or less, when
  // the control has no visible area.
  int Height() const;
  const ControlProperties& CommonProperties() const noexcept;

  // One handler per event name ("Action", "Open"); a second install replaces the first.
  void InstallEventHandler(std::string eventName, std::function<void()> handler);
  bool HasEventHandler(std::string_view eventName) const;
  std::vector<std::string> EventNames() const;
  // Raises the event through the dispatch guard; nothing happens without a handler.
  void RaiseEvent(std::string_view eventName);

  struct Impl;
  Impl& impl() const noexcept { return *impl_; }  // for the framework's own code

 protected:
  explicit Control(Window& window);
  void ApplyCommon(const ControlProperties& props);

 private:
  friend class Window;
  std::unique_ptr<Impl> impl_;
};

class PushButton : public Control {
 public:
  struct Properties : ControlProperties {
    std::string caption;
    bool isDefault = false;  // the window's default button (Return presses it)
    bool cancel = false;     // Escape presses it
  };
  const char* ClassName() const noexcept override { return "PushButton"; }
  void SetProperties(const Properties& props);
  std::string Caption() const;
  void SetCaption(std::string caption);
  bool IsDefault() const;
  bool IsCancel() const;
  // A click as the user makes it: raises "Action".
  void Push();

 private:
  friend class Window;
  explicit PushButton(Window& window);
  std::string caption_;
  bool isDefault_ = false, cancel_ = false;
};

class CheckBox : public Control {
 public:
  struct Properties : ControlProperties {
    std::string caption;
    bool value = false;
  };
  const char* ClassName() const noexcept override { return "CheckBox"; }
  void SetProperties(const Properties& props);
  std::string Caption() const;
  bool Value() const;
  void SetValue(bool value);  // by the program: raises nothing
  // A click as the user makes it: toggles the value, then raises "Action".
  void Click();

 private:
  friend class Window;
  explicit CheckBox(Window& window);
  std::string caption_;
};

class StaticText : public Control {
 public:
  struct Properties : ControlProperties {
    std::string text;  // CR, LF or CR LF each start a new line
    bool multiline = false;
    int textAlign = 0;
    std::uint32_t textColor = 0x000000;
  };
  const char* ClassName() const noexcept override { return "StaticText"; }
  void SetProperties(const Properties& props);
  std::string Text() const;  // as set

 private:
  friend class Window;
  explicit StaticText(Window& window);
  std::string text_;
};

class DisclosureTriangle : public Control {
 public:
  struct Properties : ControlProperties {
    bool value = false;
    int facing = 0;
    bool acceptFocus = false;
  };
  const char* ClassName() const noexcept override { return "DisclosureTriangle"; }
  void SetProperties(const Properties& props);
  bool Value() const;
  // A click as the user makes it: turns the triangle, then raises "Action".
  void Click();

 private:
  friend class Window;
  explicit DisclosureTriangle(Window& window);
  void ShowValue();
  bool value_ = false;
};

// A list of rows and columns, both counted from 0, with an optional heading row that is not a
// row. Cells hold text; a column of type 2 shows check boxes, of type 3 editable single-line
// text (a line break never gets into a cell from the editor). One row is selected at most.
// Row or column indexes outside the list raise OutOfBoundsException.
class Listbox : public Control {
 public:
  static constexpr int kTypeDefault = 0;
  static constexpr int kTypeCheckBox = 2;
  static constexpr int kTypeEditable = 3;

  struct Properties : ControlProperties {
    int columnCount = 1;
    std::string columnWidths;  // "0,150,60": pixels per column; 0 hides the column
    bool hasHeading = false;
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> rows;  // initial content, one text per column
    int headingIndex = -1;
    int selectionType = 0;  // 0: one row at a time
    bool requiresSelection = false;
    bool columnsResizable = false;
    bool enableDrag = false, enableDragReorder = false, hierarchical = false;
    int gridLinesHorizontal = 0, gridLinesVertical = 0;
    bool scrollbarHorizontal = false, scrollbarVertical = false, autoHideScrollbars = true;
    int defaultRowHeight = -1;
    bool border = true, useFocusRing = false;
  };
  const char* ClassName() const noexcept override { return "Listbox"; }
  void SetProperties(const Properties& props);

  int ListCount() const;
  int ColumnCount() const;
  std::string Heading(int column) const;
  int ColumnWidth(int column) const;
  std::string Cell(int row, int column) const;
  void SetCell(int row, int column, std::string text);
  bool CellCheck(int row, int column) const;
  void SetCellCheck(int row, int column, bool checked);
  int ColumnType(int column) const;
  void SetColumnType(int column, int type);
  // The selected row, -1 when none. Setting it selects that row (-1 clears the selection).
  int ListIndex() const;
  void SetListIndex(int row);

  ~Listbox() override;

 private:
  friend class Window;
  explicit Listbox(Window& window);
  void CheckCell(int row, int column) const;
  void CheckColumn(int column) const;
  void ShowCell(int row, int column);
  void TakeUserChange(int row, int column);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
