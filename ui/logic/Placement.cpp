#include "logic/Placement.h"

namespace orvanel::nav {

TPoint QuickTargetListPlace(const TRect& line, const TRect& bounds, int listWidth, int listHeight) {
  TPoint p;
  p.Y = bounds.Bottom - line.Top < listHeight ? line.Bottom - listHeight : line.Top;
  p.X = bounds.Right - line.Right < listWidth ? line.Left - listWidth : line.Right;
  return p;
}

TPoint ScopeBoxPlace(const TRect& line, int boxWidth) {
  TPoint p;
  p.X = line.Left - boxWidth > 0 ? line.Left - boxWidth : line.Right + 5;
  p.Y = line.Top;
  return p;
}

}  // namespace orvanel::nav
