#pragma once
// The pictures of the code trees' lines: 1 a jump whose target was not met, 2 a plain line,
// 3 (state) a bookmarked line, 4 a line of the code cache file. Taken from the desktop's icon
// theme where it has them; otherwise drawn here, so that they show on any desktop.
#include <QPixmap>
#include <array>

namespace orvanel::ui {

class TCodeImages {
 public:
  explicit TCodeImages(int size);
  // The picture of that index, or a null pixmap for an index without one.
  const QPixmap& Picture(int index) const;
  int Size() const { return size_; }
  // The picture drawn here for an index (what shows without an icon theme).
  static QPixmap Fallback(int index, int size);

 private:
  int size_;
  std::array<QPixmap, 5> pictures_;
};

}  // namespace orvanel::ui
