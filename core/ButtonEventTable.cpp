#include "core/ButtonEventTable.h"

#include <string>

#include "core/Window1.h"
#include "platform/Strings.h"

namespace core {

platform::Listbox::Properties ButtonEventListProperties() {
  platform::Listbox::Properties p;
  p.columnCount = kColumnCount;
  p.columnWidths = std::string(kColumnWidths);
  p.hasHeading = true;
  for (auto heading : kColumnHeadings) p.headings.emplace_back(heading);
  for (const auto& row : kButtonEventRows) {
    std::vector<std::string> cells(kColumnCount);
    cells[kColumnID] = std::string(row.id);
    cells[kColumnButton] = std::string(row.button);
    p.rows.push_back(std::move(cells));
  }
  p.headingIndex = -1;
  p.selectionType = 0;
  p.requiresSelection = false;
  p.columnsResizable = false;  // keeps the ID column hidden
  p.enableDrag = false;
  p.enableDragReorder = false;
  p.hierarchical = false;
  p.gridLinesHorizontal = 2;
  p.gridLinesVertical = 0;
  p.scrollbarHorizontal = false;
  p.scrollbarVertical = false;
  p.autoHideScrollbars = true;
  p.defaultRowHeight = -1;
  p.border = true;
  p.useFocusRing = false;
  return p;
}

}  // namespace core

void Window1::Listbox1_Open(platform::Listbox& me) {
  me.SetColumnType(core::kColumnKey, platform::Listbox::kTypeEditable);
  me.SetColumnType(core::kColumnShift, platform::Listbox::kTypeCheckBox);
  me.SetColumnType(core::kColumnCommand, platform::Listbox::kTypeCheckBox);
  me.SetColumnType(core::kColumnControl, platform::Listbox::kTypeCheckBox);
  me.SetColumnType(core::kColumnOption, platform::Listbox::kTypeCheckBox);
}

std::string Window1::getdefaultkey(std::string_view idText) const {
  using platform::StringEquals;
  if (StringEquals(idText, "1")) return "P";
  if (StringEquals(idText, "2")) return "U";
  if (StringEquals(idText, "3")) return "F";
  if (StringEquals(idText, "6")) return "R";
  if (StringEquals(idText, "14")) return "H";
  return "";
}
