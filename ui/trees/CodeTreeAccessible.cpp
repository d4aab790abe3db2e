#include "trees/CodeTreeAccessible.h"

#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "project/Project.h"
#include "trees/CodeTreeModel.h"
#include "trees/CodeTreeView.h"

namespace orvanel::ui {

namespace {

QAccessibleInterface* CodeTreeFactory(const QString&, QObject* object) {
  if (auto* view = qobject_cast<TCodeTreeView*>(object)) return new TCodeTreeAccessible(view);
  return nullptr;
}

}  // namespace

void InstallCodeTreeAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(CodeTreeFactory);
    return true;
  }();
  (void)installed;
}

// --- the view ------------------------------------------------------------------------------

TCodeTreeAccessible::TCodeTreeAccessible(TCodeTreeView* view)
    : QAccessibleWidget(view, QAccessible::Tree) {}

TCodeTreeAccessible::~TCodeTreeAccessible() {
  Forget();
}

TCodeTreeView* TCodeTreeAccessible::View() const {
  return qobject_cast<TCodeTreeView*>(object());
}

void* TCodeTreeAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

void TCodeTreeAccessible::Forget() const {
  for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
  rows_.clear();
  levels_.clear();
}

void TCodeTreeAccessible::Refresh() const {
  const TCodeTreeView* view = View();
  if (!view) return Forget();
  if (view->ShapeGeneration() == generation_) return;
  Forget();
  generation_ = view->ShapeGeneration();
}

void TCodeTreeAccessible::modelChange(QAccessibleTableModelChangeEvent*) {
  Forget();
}

int TCodeTreeAccessible::childCount() const {
  const TCodeTreeView* view = View();
  return view ? view->ShownRowCount() : 0;
}

QAccessibleInterface* TCodeTreeAccessible::child(int index) const {
  TCodeTreeView* view = View();
  if (!view || index < 0 || index >= view->ShownRowCount()) return nullptr;
  Refresh();
  if (auto found = rows_.find(index); found != rows_.end())
    return QAccessible::accessibleInterface(found->second);
  const QModelIndex row = view->ShownRow(index);
  if (!row.isValid()) return nullptr;
  auto* cell = new TCodeRowAccessible(view, row, index);
  rows_[index] = QAccessible::registerAccessibleInterface(cell);
  return cell;
}

int TCodeTreeAccessible::indexOfChild(const QAccessibleInterface* child) const {
  const auto* row = dynamic_cast<const TCodeRowAccessible*>(child);
  return row && row->isValid() && row->table() == this ? row->rowIndex() : -1;
}

QAccessibleInterface* TCodeTreeAccessible::childAt(int x, int y) const {
  TCodeTreeView* view = View();
  if (!view) return nullptr;
  const QPoint inView = view->viewport()->mapFromGlobal(QPoint(x, y));
  const int row = view->ShownRowOf(view->indexAt(inView));
  return row >= 0 ? child(row) : nullptr;
}

QAccessible::State TCodeTreeAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.multiSelectable = true;
  return s;
}

int TCodeTreeAccessible::RowLevel(int row) const {
  TCodeTreeView* view = View();
  if (!view || row < 0 || row >= view->ShownRowCount()) return 0;
  Refresh();
  if (view->ShownRowParent(row) < -1) {  // the view cannot tell its rows' parents
    const TTreeItem* item = view->NodeAt(view->ShownRow(row));
    return item ? item->Level() + 1 : 0;
  }
  if (levels_.size() != static_cast<size_t>(view->ShownRowCount()))
    levels_.assign(static_cast<size_t>(view->ShownRowCount()), 0);
  // Up to the nearest row whose level is known, then down again: each row is worked out once
  // while the view keeps its shape.
  std::vector<int> chain;
  int at = row;
  while (at >= 0 && levels_[static_cast<size_t>(at)] == 0) {
    chain.push_back(at);
    at = view->ShownRowParent(at);
  }
  int level = at >= 0 ? levels_[static_cast<size_t>(at)] : 0;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    levels_[static_cast<size_t>(*it)] = ++level;
  return levels_[static_cast<size_t>(row)];
}

int TCodeTreeAccessible::selectedCellCount() const {
  return static_cast<int>(selectedRows().size());
}

QList<int> TCodeTreeAccessible::selectedRows() const {
  QList<int> rows;
  TCodeTreeView* view = View();
  if (!view) return rows;
  for (TTreeItem* item : view->SelectedNodes())
    if (const int row = view->ShownRowOf(view->CodeModel()->IndexOf(item)); row >= 0)
      rows.append(row);
  std::sort(rows.begin(), rows.end());
  return rows;
}

QList<QAccessibleInterface*> TCodeTreeAccessible::selectedCells() const {
  QList<QAccessibleInterface*> cells;
  for (int row : selectedRows())
    if (QAccessibleInterface* cell = child(row)) cells.append(cell);
  return cells;
}

QAccessibleInterface* TCodeTreeAccessible::cellAt(int row, int column) const {
  return column == 0 ? child(row) : nullptr;
}

bool TCodeTreeAccessible::isRowSelected(int row) const {
  TCodeTreeView* view = View();
  const TTreeItem* item = view ? view->NodeAt(view->ShownRow(row)) : nullptr;
  return item && item->Selected;
}

bool TCodeTreeAccessible::selectRow(int row) {
  TCodeTreeView* view = View();
  TTreeItem* item = view ? view->NodeAt(view->ShownRow(row)) : nullptr;
  if (!item || !view->Project()) return false;
  view->Project()->Tree().Select(item, true);  // siblings only: another parent starts afresh
  return item->Selected;
}

// --- one row -------------------------------------------------------------------------------

TCodeRowAccessible::TCodeRowAccessible(TCodeTreeView* view, const QModelIndex& index, int row)
    : view_(view), index_(index), row_(row) {}

bool TCodeRowAccessible::isValid() const {
  return view_ && index_.isValid() && view_->NodeAt(index_);
}

QWindow* TCodeRowAccessible::window() const {
  return view_ ? view_->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TCodeRowAccessible::parent() const {
  return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
}

int TCodeRowAccessible::Level() const {
  auto* tree = dynamic_cast<TCodeTreeAccessible*>(parent());
  return tree ? tree->RowLevel(row_) : 0;
}

QString TCodeRowAccessible::text(QAccessible::Text t) const {
  if (!isValid()) return {};
  const TTreeItem* item = view_->NodeAt(index_);
  if (!item->Line()) return {};
  switch (t) {
    case QAccessible::Name:
      return QString::fromStdString(item->Line()->DisplayText());
    case QAccessible::Description: {
      // The level always; the depth too where the row stands at the capped indentation
      // with its badge (what the eye reads from the badge).
      const int level = Level();
      QString description = QStringLiteral("level %1").arg(level);
      if (level - 1 > view_->IndentLimit())
        description += QStringLiteral(", depth %1").arg(level - 1);
      return description;
    }
    default:
      return {};
  }
}

QRect TCodeRowAccessible::rect() const {
  if (!isValid()) return {};
  const QRect row = view_->visualRect(index_);
  return QRect(view_->viewport()->mapToGlobal(row.topLeft()), row.size());
}

QAccessible::State TCodeRowAccessible::state() const {
  QAccessible::State s;
  if (!isValid()) {
    s.invalid = true;
    return s;
  }
  const TTreeItem* item = view_->NodeAt(index_);
  s.selectable = true;
  s.focusable = true;
  s.selected = item->Selected;
  s.focused = view_->hasFocus() && view_->currentIndex() == QModelIndex(index_);
  if (item->HasChildren()) {
    s.expandable = true;
    s.expanded = view_->isExpanded(index_);
    s.collapsed = !s.expanded;
  }
  if (!view_->viewport()->rect().intersects(view_->visualRect(index_))) s.offscreen = true;
  return s;
}

void* TCodeRowAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TableCellInterface)
    return static_cast<QAccessibleTableCellInterface*>(this);
  return nullptr;
}

bool TCodeRowAccessible::isSelected() const {
  const TTreeItem* item = isValid() ? view_->NodeAt(index_) : nullptr;
  return item && item->Selected;
}

}  // namespace orvanel::ui
