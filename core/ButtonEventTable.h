#pragma once

#include <array>
#include <string_view>

#include "platform/Controls.h"

namespace core {

// Columns of the button-event table, counted from 0.
inline constexpr int kColumnID = 0;      // event ID as decimal text, hidden
inline constexpr int kColumnButton = 1;  // name of the button event
inline constexpr int kColumnKey = 2;     // the text whose first character is pressed
inline constexpr int kColumnShift = 3;
inline constexpr int kColumnCommand = 4;
inline constexpr int kColumnControl = 5;
inline constexpr int kColumnOption = 6;
inline constexpr int kColumnCount = 7;

inline constexpr std::array<std::string_view, kColumnCount> kColumnHeadings = {
    "ID", "Button", "Key", "SHIFT", "CMD", "CNTRL", "OPT"};
// Width 0 keeps the ID column out of sight while the program still reads it.
inline constexpr std::string_view kColumnWidths = "0,150,60,50,50,50,50";

struct ButtonEventRow {
  std::string_view id;
  std::string_view button;
};

// The fourteen rows in table order; the ID is what the remote event mapping produces.
inline constexpr std::array<ButtonEventRow, 14> kButtonEventRows = {{
    {"1", "Play Down"},
    {"2", "Play Sleep Down"},
    {"3", "Right Down"},
    {"4", "Right Hold Down"},
    {"5", "Right Hold Up"},
    {"6", "Left Down"},
    {"7", "Left Hold Down"},
    {"8", "Left Hold Up"},
    {"9", "Volume Plus Up"},
    {"10", "Volume Plus Down"},
    {"11", "Volume Minus Up"},
    {"12", "Volume Minus Down"},
    {"13", "Menu Down"},
    {"14", "Menu Hold Down"},
}};

// The list as the main window creates it: headings, the fourteen rows with only their ID and
// Button cells filled, and the list's behaviour. Place and size are the window's to set.
platform::Listbox::Properties ButtonEventListProperties();

}  // namespace core
