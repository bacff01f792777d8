#pragma once

// What a list holds. Framework-internal: the list's own files share it.

#include <string>
#include <vector>

#include "platform/Controls.h"

namespace platform {

// The cells' content lives here, byte for byte as set; the table only shows it.
struct Listbox::State {
  struct CellValue {
    std::string text;
    bool checked = false;
  };
  std::vector<std::vector<CellValue>> cells;
  std::vector<std::string> headings;
  std::vector<int> types;
  std::vector<int> widths;
  bool updating = false;  // the program is writing into the table
};

}  // namespace platform
