#include "trees/CodeImages.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace orvanel::ui {

namespace {

// Theme icon names, index by index.
const char* ThemeName(int index) {
  switch (index) {
    case 1:
      return "dialog-warning";
    case 2:
      return "go-next";
    case 3:
      return "bookmark-new";
    case 4:
      return "drive-harddisk";
    default:
      return nullptr;
  }
}

}  // namespace

QPixmap TCodeImages::Fallback(int index, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  switch (index) {
    case 1: {  // an open target: an amber triangle with a mark
      QPainterPath path;
      path.moveTo(s / 2, 1);
      path.lineTo(s - 1, s - 1);
      path.lineTo(1, s - 1);
      path.closeSubpath();
      p.fillPath(path, QColor(240, 160, 0));
      p.setPen(QPen(Qt::black, s / 8));
      p.drawLine(QPointF(s / 2, s * 0.35), QPointF(s / 2, s * 0.65));
      p.drawPoint(QPointF(s / 2, s * 0.82));
      break;
    }
    case 2: {  // a plain line: a small green arrow
      QPainterPath path;
      path.moveTo(s * 0.25, s * 0.2);
      path.lineTo(s * 0.8, s / 2);
      path.lineTo(s * 0.25, s * 0.8);
      path.closeSubpath();
      p.fillPath(path, QColor(40, 150, 60));
      break;
    }
    case 3: {  // a bookmark: a red ribbon
      QPainterPath path;
      path.moveTo(s * 0.25, 1);
      path.lineTo(s * 0.75, 1);
      path.lineTo(s * 0.75, s - 1);
      path.lineTo(s / 2, s * 0.7);
      path.lineTo(s * 0.25, s - 1);
      path.closeSubpath();
      p.fillPath(path, QColor(200, 30, 30));
      break;
    }
    case 4: {  // a code cache line: a blue box
      p.setPen(QPen(QColor(20, 60, 140), 1));
      p.setBrush(QColor(70, 120, 210));
      p.drawRoundedRect(QRectF(2, 3, s - 4, s - 6), 2, 2);
      break;
    }
    default:
      return {};
  }
  return pixmap;
}

TCodeImages::TCodeImages(int size) : size_(size) {
  for (int i = 1; i <= 4; ++i) {
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(ThemeName(i)));
    QPixmap themed = icon.isNull() ? QPixmap() : icon.pixmap(size, size);
    pictures_[static_cast<size_t>(i)] = themed.isNull() ? Fallback(i, size) : themed;
  }
}

const QPixmap& TCodeImages::Picture(int index) const {
  if (index < 1 || index > 4) return pictures_[0];  // null
  return pictures_[static_cast<size_t>(index)];
}

}  // namespace orvanel::ui
