#pragma once

// What a user does to a list, for tests. The drivers go through the table's own editor and the
// delegate's mouse handling, so that the list learns of the change as it would from a real edit
// or click.

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Listbox;
}

namespace platform::testing {

// Types `text` into the cell's editor and commits it, as Return does. A cell the user cannot
// edit (not an editable column, a disabled list) stays as it was.
void UserEditCell(Listbox& list, int row, int column, std::string_view text);
// Clicks the middle of a check cell's box.
void UserClickCheck(Listbox& list, int row, int column);
// Every edge the user could drag to resize a heading or a row ("column 2", "row 0"), and a last
// column or row that stretches to fill the list. Empty when the layout is fixed.
std::vector<std::string> ResizableSections(const Listbox& list);

}  // namespace platform::testing
