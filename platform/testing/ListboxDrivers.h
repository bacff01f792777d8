#pragma once

// What a user does to a list, for tests. The drivers go through the table's own editor and the
// delegate's mouse handling, so that the list learns of the change as it would from a real edit
// or click.

#include <string_view>

namespace platform {
class Listbox;
}

namespace platform::testing {

// Types `text` into the cell's editor and commits it, as Return does. A cell the user cannot
// edit (not an editable column, a disabled list) stays as it was.
void UserEditCell(Listbox& list, int row, int column, std::string_view text);
// Clicks the middle of a check cell's box.
void UserClickCheck(Listbox& list, int row, int column);

}  // namespace platform::testing
