// The room of QTreeView's own list of shown rows. The list is QTreeView's private member:
// it is reached through Qt's private header where the build has it (ORVANEL_TRIM_TREE_ROWS),
// and only when the Qt the program runs with is the one it was built against.
#include <QTimer>
#include <cstring>

#include "trees/CodeTreeView.h"

#if ORVANEL_TRIM_TREE_ROWS
#include <QtWidgets/private/qtreeview_p.h>
#endif

namespace orvanel::ui {

namespace {
// Below this many rows of spare room a list is left as it is.
constexpr qsizetype kSpareRows = 1024;

// More than half of the rows' size stands spare.
bool TooMuchRoom(qsizetype rows, qsizetype room) {
  return room > rows + rows / 2 + kSpareRows;
}
}  // namespace

bool TCodeTreeView::TrimsRowRoom() {
#if ORVANEL_TRIM_TREE_ROWS
  return std::strcmp(qVersion(), QT_VERSION_STR) == 0;
#else
  return false;
#endif
}

std::pair<qsizetype, qsizetype> TCodeTreeView::RowRoom() const {
#if ORVANEL_TRIM_TREE_ROWS
  if (TrimsRowRoom()) {
    const auto& rows = static_cast<const QTreeViewPrivate*>(d_ptr.data())->viewItems;
    return {rows.size(), rows.capacity()};
  }
#endif
  return {0, 0};
}

#if ORVANEL_TRIM_TREE_ROWS
namespace {
// Read as Qt's own accessibility reads it: the rows as last laid out.
const QTreeViewPrivate* Private(const QScopedPointer<QObjectData>& d) {
  return static_cast<const QTreeViewPrivate*>(d.data());
}
}  // namespace
#endif

int TCodeTreeView::ShownRowCount() const {
#if ORVANEL_TRIM_TREE_ROWS
  if (TrimsRowRoom()) return static_cast<int>(Private(d_ptr)->viewItems.size());
#endif
  // The rows in the viewport.
  const QModelIndex first = indexAt(QPoint(1, 1));
  if (!first.isValid()) return 0;
  const int height = std::max(1, visualRect(first).height());
  int rows = 0;
  for (int y = visualRect(first).top(); y < viewport()->height(); y += height)
    if (indexAt(QPoint(1, y + height / 2)).isValid()) ++rows;
  return rows;
}

QModelIndex TCodeTreeView::ShownRow(int row) const {
  if (row < 0) return {};
#if ORVANEL_TRIM_TREE_ROWS
  if (TrimsRowRoom()) {
    const auto& rows = Private(d_ptr)->viewItems;
    return row < rows.size() ? rows[row].index : QModelIndex();
  }
#endif
  const QModelIndex first = indexAt(QPoint(1, 1));
  if (!first.isValid()) return {};
  const QRect r = visualRect(first);
  return indexAt(QPoint(1, r.top() + row * r.height() + r.height() / 2));
}

int TCodeTreeView::ShownRowParent(int row) const {
#if ORVANEL_TRIM_TREE_ROWS
  if (TrimsRowRoom()) {
    const auto& rows = Private(d_ptr)->viewItems;
    return row >= 0 && row < rows.size() ? std::max(-1, rows[row].parentItem) : -1;
  }
#endif
  (void)row;
  return -2;
}

int TCodeTreeView::ShownRowOf(const QModelIndex& index) const {
  if (!index.isValid()) return -1;
#if ORVANEL_TRIM_TREE_ROWS
  if (TrimsRowRoom()) return Private(d_ptr)->viewIndex(index);
#endif
  const QModelIndex first = indexAt(QPoint(1, 1));
  const QRect r = visualRect(index);
  if (!first.isValid() || !r.isValid() || !viewport()->rect().intersects(r)) return -1;
  return (r.top() - visualRect(first).top()) / std::max(1, r.height());
}

void TCodeTreeView::updateGeometries() {
  QTreeView::updateGeometries();
  // Qt calls this while it lays rows out, some of its callers holding on to the list: the
  // list is cut back once control is back in the event loop.
  const auto [rows, room] = RowRoom();
  if (!trimPending_ && TooMuchRoom(rows, room)) {
    trimPending_ = true;
    QTimer::singleShot(0, this, &TCodeTreeView::TrimRowRoom);
  }
}

void TCodeTreeView::TrimRowRoom() {
  trimPending_ = false;
  const auto [size, room] = RowRoom();
  if (!TooMuchRoom(size, room)) return;  // little spare, or none that can be told
#if ORVANEL_TRIM_TREE_ROWS
  auto& rows = static_cast<QTreeViewPrivate*>(d_ptr.data())->viewItems;
  QList<QTreeViewItem> trimmed;
  trimmed.reserve(size + size / 4 + kSpareRows / 2);
  trimmed.append(rows);
  rows.swap(trimmed);
#endif
}

}  // namespace orvanel::ui
