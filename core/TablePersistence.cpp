#include "core/ButtonEventTable.h"
#include "core/Window1.h"
#include "platform/Yield.h"
#include "settings/BrioEasyPrefs.h"

// Each row is stored under five names built from its ID text, so a row's settings follow its
// ID, not its position. Only the Key text and the four modifiers are kept.

void Window1::loadprefs() {
  for (int i = 0; i <= Listbox1()->ListCount() - 1; ++i) {
    const auto list = Listbox1();
    const std::string id = list->Cell(i, core::kColumnID);
    const std::string defaultKey = getdefaultkey(id);
    list->SetCell(i, core::kColumnKey, BrioEasyPrefs::GetPrefString("Key" + id, defaultKey));
    list->SetCellCheck(i, core::kColumnShift, BrioEasyPrefs::GetPrefBoolean("Shift" + id, false));
    list->SetCellCheck(i, core::kColumnCommand,
                       BrioEasyPrefs::GetPrefBoolean("Command" + id, false));
    list->SetCellCheck(i, core::kColumnControl,
                       BrioEasyPrefs::GetPrefBoolean("Control" + id, false));
    list->SetCellCheck(i, core::kColumnOption, BrioEasyPrefs::GetPrefBoolean("Option" + id, false));
    platform::CooperativeYield();
  }
}

// Every entry is set in memory before the one file write; a failing write raises to the
// window's Close event.
void Window1::Saveprefs() {
  for (int i = 0; i <= Listbox1()->ListCount() - 1; ++i) {
    const auto list = Listbox1();
    const std::string id = list->Cell(i, core::kColumnID);
    BrioEasyPrefs::SetPrefString("Key" + id, list->Cell(i, core::kColumnKey));
    BrioEasyPrefs::SetPrefBoolean("Shift" + id, list->CellCheck(i, core::kColumnShift));
    BrioEasyPrefs::SetPrefBoolean("Command" + id, list->CellCheck(i, core::kColumnCommand));
    BrioEasyPrefs::SetPrefBoolean("Control" + id, list->CellCheck(i, core::kColumnControl));
    BrioEasyPrefs::SetPrefBoolean("Option" + id, list->CellCheck(i, core::kColumnOption));
    platform::CooperativeYield();
  }
  BrioEasyPrefs::WritePrefsFile();
}
