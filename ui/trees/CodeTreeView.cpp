#include "trees/CodeTreeView.h"

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "project/Project.h"
#include "trees/CodeImages.h"
#include "trees/CodeItemDelegate.h"
#include "trees/CodeTreeAccessible.h"
#include "trees/CodeTreeModel.h"

namespace orvanel::ui {

namespace {
constexpr int kImageSize = 16;
constexpr int kGap = 2;
}  // namespace

TCodeTreeView::TCodeTreeView(QWidget* parent) : QTreeView(parent) {
  images_ = std::make_unique<TCodeImages>(kImageSize);
  model_ = new TCodeTreeModel(this);
  delegate_ = new TCodeItemDelegate(this);
  step_ = std::max(12, indentation());
  // The view draws the indentation itself (capped); Qt's own would put deep lines far right.
  setIndentation(0);
  setRootIsDecorated(false);
  setUniformRowHeights(true);  // a tree of millions of items opens at once
  setHeaderHidden(true);
  header()->setStretchLastSection(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  setItemDelegate(delegate_);
  setModel(model_);
  badgeWidth_ = fontMetrics().horizontalAdvance(QStringLiteral("⋯00000")) + 6;
  MakeIndentSteps();

  connect(model_, &TCodeTreeModel::TreeSelectionChanged, this,
          &TCodeTreeView::TreeSelectionChanged);
  InstallCodeTreeAccessibility();
  auto reshaped = [this] { ++shapeGeneration_; };
  connect(model_, &QAbstractItemModel::rowsInserted, this, reshaped);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, reshaped);
  connect(model_, &QAbstractItemModel::rowsMoved, this, reshaped);
  connect(model_, &QAbstractItemModel::modelReset, this, reshaped);
  connect(model_, &QAbstractItemModel::layoutChanged, this, reshaped);
  connect(this, &QTreeView::expanded, this, reshaped);
  connect(this, &QTreeView::collapsed, this, reshaped);
  connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
    if (TTreeItem* item = NodeAt(index)) item->Expanded = true;
  });
  connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
    if (TTreeItem* item = NodeAt(index)) item->Expanded = false;
  });
  // A move opens the parent that takes the nodes (the tree marks it expanded).
  connect(model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex& parent, int first, int last) {
            OpenIfExpanded(parent);
            ReopenRows(parent, first, last);
          });
  connect(model_, &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int, int, const QModelIndex& to, int) { OpenIfExpanded(to); });
}

TCodeTreeView::~TCodeTreeView() {
  // The receivers of our signals may be half destroyed already (the window closing).
  blockSignals(true);
  model_->SetProject(nullptr);
}

void TCodeTreeView::SetProject(TProject* project) {
  // Another tree may reuse the addresses of the last one's items: the change is always told.
  reportAlways_ = true;
  model_->SetProject(project);
  reportAlways_ = false;
}

TProject* TCodeTreeView::Project() const {
  return model_->Project();
}

void TCodeTreeView::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& e) {
    emit CommandFailed(QString::fromStdString(e.what()));
  }
}

// --- selection ------------------------------------------------------------------------------

TTreeItem* TCodeTreeView::SelectedNode() const {
  TProject* project = Project();
  return project ? orvanel::SelectedNode(project->Tree()) : nullptr;
}

std::vector<TTreeItem*> TCodeTreeView::SelectedNodes() const {
  TProject* project = Project();
  return project ? project->Tree().Selection() : std::vector<TTreeItem*>();
}

void TCodeTreeView::TreeSelectionChanged() {
  viewport()->update();
  if (QAccessible::isActive()) {
    QAccessibleEvent event(this, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&event);
  }
  TTreeItem* now = SelectedNode();
  if (now == lastReported_ && !reportAlways_) return;
  lastReported_ = now;
  emit SelectedNodeChanged(now);
}

void TCodeTreeView::SetCurrentQuietly(const QModelIndex& index) {
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void TCodeTreeView::SelectNode(TTreeItem* node) {
  TProject* project = Project();
  if (!project) return;
  if (!node) {
    project->Tree().ClearSelection();
    return;
  }
  if (!Holds(node)) return;  // a node of another tree (the code cache's, say)
  // Open every closed ancestor with one layout, not one per level.
  std::vector<TTreeItem*> chain;
  for (TTreeItem* p = node->Parent(); p; p = p->Parent()) chain.push_back(p);
  bool opening = false;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    QModelIndex index = model_->IndexOf(*it);
    if (isExpanded(index)) continue;
    if (!opening) {
      scheduleDelayedItemsLayout();
      opening = true;
    }
    expand(index);
  }
  project->Tree().Select(node, false);
  const QModelIndex index = model_->IndexOf(node);
  SetCurrentQuietly(index);
  scrollTo(index, QAbstractItemView::EnsureVisible);
}

void TCodeTreeView::SelectBy(TTreeItem* item, Qt::KeyboardModifiers modifiers) {
  TCodeTree& tree = Project()->Tree();
  if (modifiers & Qt::ShiftModifier) {
    TTreeItem* anchor = orvanel::SelectedNode(tree);
    if (anchor && anchor != item && anchor->Parent() == item->Parent()) {
      const auto& siblings = item->Parent() ? item->Parent()->Children() : tree.TopLevel();
      const size_t a = anchor->Row(), b = item->Row();
      const int step = b > a ? 1 : -1;
      for (size_t r = a + step;; r += step) {
        if (!siblings[r]->Selected) tree.Select(siblings[r], true);
        if (r == b) break;
      }
      return;
    }
  }
  tree.Select(item, (modifiers & Qt::ControlModifier) != 0);
}

QItemSelectionModel::SelectionFlags TCodeTreeView::selectionCommand(const QModelIndex&,
                                                                    const QEvent*) const {
  return QItemSelectionModel::NoUpdate;  // the model's tree keeps the selection
}

void TCodeTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // Not QTreeView's: it tells accessibility clients of the focus in its own numbering of
  // rows, a header first; this view's rows are numbered from 0 (TCodeTreeAccessible).
  QAbstractItemView::currentChanged(current, previous);
  viewport()->update();
  if (QAccessible::isActive() && current.isValid() && hasFocus()) {
    if (const int row = ShownRowOf(current); row >= 0) {
      QAccessibleEvent event(this, QAccessible::Focus);
      event.setChild(row);
      QAccessible::updateAccessibility(&event);
    }
  }
  // Only the keys move the selection with the current row; a row that goes away moves the
  // current row without selecting anything.
  if (!keyNavigating_) return;
  TTreeItem* item = NodeAt(current);
  if (!item || (keyModifiers_ & Qt::ControlModifier)) return;
  SelectBy(item, keyModifiers_ & Qt::ShiftModifier);
}

// --- geometry -------------------------------------------------------------------------------

// The first levels take a full step each, the next ones narrower steps down to a quarter
// step: a tree of ordinary depth reads with plain indentation and the deepest lines drawn at
// their own depth still differ by a few pixels.
void TCodeTreeView::MakeIndentSteps() {
  const int narrowBy = std::max(1, step_ / 8);
  minStep_ = std::max(2, step_ / 4);
  indents_ = {0};
  for (int s = step_; s > minStep_; s -= narrowBy) indents_.push_back(indents_.back() + s);
}

int TCodeTreeView::IndentOf(int level) const {
  const int tabled = static_cast<int>(indents_.size()) - 1;
  if (level <= tabled) return indents_[static_cast<size_t>(std::max(0, level))];
  return indents_.back() + (level - tabled) * minStep_;
}

int TCodeTreeView::DeepestWithin(int room) const {
  if (room < 0) return 0;
  const int tabled = static_cast<int>(indents_.size()) - 1;
  if (indents_.back() <= room) return tabled + (room - indents_.back()) / minStep_;
  const auto past = std::upper_bound(indents_.begin(), indents_.end(), room);
  return static_cast<int>(past - indents_.begin()) - 1;
}

// A line's text starts at most a third of the width in: the indentation, the arrow and the
// pictures of a line at its own depth fit there, and so do those of a deeper line drawn at
// the cap's indentation with its badge.
int TCodeTreeView::IndentLimit() const {
  return DeepestWithin(viewport()->width() / 3 - (step_ + 2 * kImageSize + 2 * kGap));
}

int TCodeTreeView::CappedIndentLevel() const {
  return std::min(IndentLimit(), DeepestWithin(viewport()->width() / 3 -
                                               (step_ + badgeWidth_ + 2 * kImageSize + 2 * kGap)));
}

TCodeRowLayout TCodeTreeView::RowLayout(const TTreeItem* item, const QRect& row) const {
  TCodeRowLayout layout;
  layout.Level = item->Level();
  layout.Capped = layout.Level > IndentLimit();
  const int top = row.top(), h = row.height();
  const int imageTop = top + (h - kImageSize) / 2;
  int x = row.left() + IndentOf(layout.Capped ? CappedIndentLevel() : layout.Level);
  layout.Arrow = QRect(x, top, step_, h);
  x += step_;
  if (layout.Capped) {
    layout.Badge = QRect(x, top, badgeWidth_, h);
    x += badgeWidth_;
  }
  layout.StateImage = QRect(x, imageTop, kImageSize, kImageSize);
  x += kImageSize;
  layout.Image = QRect(x, imageTop, kImageSize, kImageSize);
  x += kImageSize + kGap;
  layout.Text = QRect(x, top, std::max(0, row.right() - x + 1), h);
  return layout;
}

QRect TCodeTreeView::NodeRect(TTreeItem* node) const {
  const QModelIndex index = IndexOf(node);
  return index.isValid() ? visualRect(index) : QRect();
}

QRect TCodeTreeView::TextRect(TTreeItem* node) const {
  QRect row = NodeRect(node);
  return row.isValid() ? RowLayout(node, row).Text : QRect();
}

QRect TCodeTreeView::TextExtent(TTreeItem* node) const {
  QRect text = TextRect(node);
  if (!text.isValid() || !node->Line()) return text;
  const QString shown = TCodeItemDelegate::ShownText(fontMetrics(), *node->Line(), text.width());
  text.setWidth(std::min(text.width(), fontMetrics().horizontalAdvance(shown) + 1));
  return text;
}

bool TCodeTreeView::Holds(const TTreeItem* node) const {
  TProject* project = Project();
  if (!node || !project) return false;
  const TTreeItem* top = node;
  while (top->Parent()) top = top->Parent();
  const auto& topLevel = project->Tree().TopLevel();
  return top->Row() < topLevel.size() && topLevel[top->Row()] == top;
}

QModelIndex TCodeTreeView::IndexOf(TTreeItem* node) const {
  return Holds(node) ? model_->IndexOf(node) : QModelIndex();
}

TTreeItem* TCodeTreeView::NodeAt(const QModelIndex& index) const {
  return model_->ItemAt(index);
}

void TCodeTreeView::RepaintNodes() {
  viewport()->update();
  emit NodesRepainted();
}

// Nodes that left their places run by run come back as new rows: the branches that were open
// open again (only open branches are walked, so the walk costs what the rows shown cost).
void TCodeTreeView::ReopenRows(const QModelIndex& parent, int first, int last) {
  std::vector<TTreeItem*> open;
  for (int row = first; row <= last; ++row) {
    TTreeItem* item = NodeAt(model_->index(row, 0, parent));
    if (item && item->Expanded && item->HasChildren()) open.push_back(item);
  }
  if (open.empty()) return;
  scheduleDelayedItemsLayout();  // one layout for all of them
  while (!open.empty()) {
    TTreeItem* item = open.back();
    open.pop_back();
    expand(model_->IndexOf(item));
    for (TTreeItem* child : item->Children())
      if (child->Expanded && child->HasChildren()) open.push_back(child);
  }
}

void TCodeTreeView::OpenIfExpanded(const QModelIndex& parent) {
  TTreeItem* item = NodeAt(parent);
  if (item && item->Expanded && !isExpanded(parent)) expand(parent);
}

// --- keys -----------------------------------------------------------------------------------

void TCodeTreeView::keyPressEvent(QKeyEvent* event) {
  TProject* project = Project();
  if (!project || state() == EditingState) return QTreeView::keyPressEvent(event);
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (event->key() == Qt::Key_Space && ctrl) {
    emit QuickTargetRequested();
    return;
  }
  TEditKey key = TEditKey::Other;
  switch (event->key()) {
    case Qt::Key_Delete:
      key = TEditKey::Delete;
      break;
    case Qt::Key_Cancel:
      key = TEditKey::Cancel;
      break;
    case Qt::Key_Pause:
      if (ctrl) key = TEditKey::Cancel;  // Ctrl+Break
      break;
    case Qt::Key_Insert:
      key = TEditKey::Insert;
      break;
    case Qt::Key_Control:
      key = TEditKey::Control;
      break;
    default:
      break;
  }
  if (key != TEditKey::Other) {
    Guarded([&] { project->CodeKeyDown(key); });
    event->accept();
    return;
  }
  keyNavigating_ = true;
  keyModifiers_ = event->modifiers();
  QTreeView::keyPressEvent(event);
  keyNavigating_ = false;
}

void TCodeTreeView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Control && Project()) Project()->CodeKeyUp(TEditKey::Control);
  QTreeView::keyReleaseEvent(event);
}

// --- mouse ----------------------------------------------------------------------------------

void TCodeTreeView::mousePressEvent(QMouseEvent* event) {
  selectOnRelease_ = editOnRelease_ = false;
  pressed_ = QPersistentModelIndex();
  const QPoint pos = event->position().toPoint();
  const QModelIndex index = indexAt(pos);
  TTreeItem* item = NodeAt(index);
  if (!item || event->button() != Qt::LeftButton) {
    if (item && !item->Selected) Project()->Tree().Select(item, false);  // a context menu's node
    if (item) SetCurrentQuietly(index);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  if (item->HasChildren() && RowLayout(item, visualRect(index)).Arrow.contains(pos)) {
    setExpanded(index, !isExpanded(index));
    return;
  }
  pressPos_ = pos;
  pressed_ = index;
  const Qt::KeyboardModifiers mods = event->modifiers();
  const auto& selection = Project()->Tree().Selection();
  if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier)) && item->Selected) {
    // Keep a multi-selection for a drag; a plain click on it selects the node alone.
    selectOnRelease_ = selection.size() > 1;
    editOnRelease_ = selection.size() == 1 && model_->Renamable(index);
  } else {
    SelectBy(item, mods);
  }
  SetCurrentQuietly(index);
}

void TCodeTreeView::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton) || !pressed_.isValid()) return;
  if ((event->position().toPoint() - pressPos_).manhattanLength() <
      QApplication::startDragDistance())
    return;
  selectOnRelease_ = editOnRelease_ = false;
  pressed_ = QPersistentModelIndex();
  startDrag(model_->supportedDragActions());
}

void TCodeTreeView::mouseReleaseEvent(QMouseEvent* event) {
  TTreeItem* item = NodeAt(pressed_);
  if (item && event->button() == Qt::LeftButton) {
    if (selectOnRelease_) Project()->Tree().Select(item, false);
    if (editOnRelease_) edit(pressed_);
  }
  selectOnRelease_ = editOnRelease_ = false;
  pressed_ = QPersistentModelIndex();
}

void TCodeTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  selectOnRelease_ = editOnRelease_ = false;
  pressed_ = QPersistentModelIndex();
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!NodeAt(index)) return;
  emit doubleClicked(index);
  if (model_->hasChildren(index)) setExpanded(index, !isExpanded(index));
}

bool TCodeTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (!model_->Renamable(index)) return false;
  return QTreeView::edit(index, trigger, event);
}

// --- drag and drop --------------------------------------------------------------------------

void TCodeTreeView::startDrag(Qt::DropActions supportedActions) {
  QMimeData* data = model_->mimeData({});
  if (!data) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(supportedActions, Qt::MoveAction);
}

void TCodeTreeView::dragEnterEvent(QDragEnterEvent* event) {
  if (qobject_cast<const TCodeMimeData*>(event->mimeData()) && Project())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TCodeTreeView::dragMoveEvent(QDragMoveEvent* event) {
  TProject* project = Project();
  if (!project) return event->ignore();
  const QPoint pos = event->position().toPoint();
  // Near the top or bottom edge the tree scrolls, so that a drop can reach any line.
  const int edge = std::max(8, viewport()->height() / 20);
  QScrollBar* bar = verticalScrollBar();
  if (pos.y() < edge)
    bar->setValue(bar->value() - bar->singleStep());
  else if (pos.y() > viewport()->height() - edge)
    bar->setValue(bar->value() + bar->singleStep());
  const QModelIndex under = indexAt(pos);
  bool accept = false;
  Guarded([&] {
    project->ControlDown = event->modifiers() & Qt::ControlModifier;
    accept = model_->canDropMimeData(event->mimeData(), event->dropAction(), -1, 0, under);
  });
  if (accept)
    event->acceptProposedAction();
  else
    event->ignore();
}

void TCodeTreeView::dropEvent(QDropEvent* event) {
  TProject* project = Project();
  if (!project) return event->ignore();
  const QModelIndex under = indexAt(event->position().toPoint());
  bool dropped = false;
  Guarded([&] {
    project->ControlDown = event->modifiers() & Qt::ControlModifier;
    dropped = model_->dropMimeData(event->mimeData(), event->dropAction(), -1, 0, under);
  });
  project->ControlDown = false;
  // The nodes were moved or copied by the model; the source has nothing left to remove.
  event->setDropAction(Qt::IgnoreAction);
  if (dropped)
    event->accept();
  else
    event->ignore();
}

}  // namespace orvanel::ui
