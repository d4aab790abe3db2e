#pragma once
// Where the quick target list and the scope choice box appear beside the selected line.
namespace orvanel::nav {

// A rectangle as the toolkit gives it: right and bottom are one past the last pixel.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};
struct TPoint {
  int X = 0;
  int Y = 0;
};

// The list's top left corner: beside the line's text (`line`, the text's own extent), on its
// right unless the tree's area (`bounds`) leaves too little room there, below its top unless
// too little room is left below; always inside the area, so that it is seen.
TPoint QuickTargetListPlace(const TRect& line, const TRect& bounds, int listWidth, int listHeight);
// The scope box's top left corner: left of the line's text when it fits there, else 5 pixels
// right of it; always inside the area.
TPoint ScopeBoxPlace(const TRect& line, const TRect& bounds, int boxWidth, int boxHeight);

}  // namespace orvanel::nav
