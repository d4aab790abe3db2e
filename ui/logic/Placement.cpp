#include "logic/Placement.h"

#include <algorithm>

namespace orvanel::nav {

namespace {
// A box of the size moved as little as needed to lie inside the bounds (its top left corner
// wins when it is larger than they are).
TPoint Inside(TPoint p, const TRect& bounds, int width, int height) {
  p.X = std::max(bounds.Left, std::min(p.X, bounds.Right - width));
  p.Y = std::max(bounds.Top, std::min(p.Y, bounds.Bottom - height));
  return p;
}
}  // namespace

TPoint QuickTargetListPlace(const TRect& line, const TRect& bounds, int listWidth, int listHeight) {
  TPoint p;
  p.Y = bounds.Bottom - line.Top < listHeight ? line.Bottom - listHeight : line.Top;
  p.X = bounds.Right - line.Right < listWidth ? line.Left - listWidth : line.Right;
  return Inside(p, bounds, listWidth, listHeight);
}

TPoint ScopeBoxPlace(const TRect& line, const TRect& bounds, int boxWidth, int boxHeight) {
  TPoint p;
  p.X = line.Left - boxWidth > bounds.Left ? line.Left - boxWidth : line.Right + 5;
  p.Y = line.Top;
  return Inside(p, bounds, boxWidth, boxHeight);
}

}  // namespace orvanel::nav
