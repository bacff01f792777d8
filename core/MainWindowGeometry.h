#pragma once

namespace core {

// The main window's two content heights: collapsed (as built) and expanded (table shown). The
// disclosure triangle tells them apart by reading the height back exactly.
inline constexpr int kCollapsedHeight = 50;
inline constexpr int kExpandedHeight = 315;
inline constexpr int kWindowWidth = 470;

// Where the table sits: it follows the window on all four sides with these margins.
inline constexpr int kListLeft = 17;
inline constexpr int kListTop = 48;
inline constexpr int kListRightMargin = 20;
inline constexpr int kListBottomMargin = 20;

}  // namespace core
