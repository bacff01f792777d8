#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/KeyPress.h"
#include "platform/Strings.h"
#include "platform/Yield.h"

// Walks the rows from the top; the count and cells are read afresh after every yield, since
// the user may have edited the table meanwhile.
void Window1::buttonpressed(int eventID) {
  const std::string idText = platform::Str(eventID);
  for (int row = 0;; ++row) {
    const auto list = Listbox1();
    if (row > list->ListCount() - 1) return;
    if (!platform::StringEquals(list->Cell(row, core::kColumnID), idText)) {
      platform::CooperativeYield();
      continue;
    }

    list->SetListIndex(row);
    platform::PresskeyMBS press;
    platform::KeyCodesMBS codes;
    if (!list->Cell(row, core::kColumnKey).empty()) {
      // Only the first character is typed; the modifiers come from the check cells alone.
      press.Charcode = platform::Asc(list->Cell(row, core::kColumnKey));
      press.Keycode = codes.AsciiToKeyCode(platform::Asc(list->Cell(row, core::kColumnKey)));
      press.Command = list->CellCheck(row, core::kColumnCommand);
      press.Control = list->CellCheck(row, core::kColumnControl);
      press.Option = list->CellCheck(row, core::kColumnOption);
      press.Shift = list->CellCheck(row, core::kColumnShift);
      press.Press();
    }
    return;
  }
}
