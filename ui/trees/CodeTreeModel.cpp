#include "trees/CodeTreeModel.h"

#include <QApplication>
#include <QPalette>
#include <algorithm>

#include "project/Interrupts.h"
#include "project/Project.h"

namespace orvanel::ui {

TCodeMimeData::TCodeMimeData(std::unique_ptr<TCodeDraggedObj> dragged)
    : dragged_(std::move(dragged)) {
  setData(MimeType(), QByteArray());
}

TCodeMimeData::~TCodeMimeData() = default;

TCodeTreeModel::~TCodeTreeModel() {
  if (project_) project_->Tree().RemoveListener(this);
}

void TCodeTreeModel::SetProject(TProject* project) {
  beginResetModel();
  if (project_) project_->Tree().RemoveListener(this);
  project_ = project;
  if (project_) project_->Tree().AddListener(this);
  removal_ = {};
  resetting_ = false;
  endResetModel();
  emit TreeSelectionChanged();
}

// --- rows -------------------------------------------------------------------------------------

const std::vector<TTreeItem*>& TCodeTreeModel::ChildrenOf(const TTreeItem* parent) const {
  return parent ? parent->Children() : project_->Tree().TopLevel();
}

size_t TCodeTreeModel::RemovedSoFar() const {
  const size_t n = removal_.Runs.size();
  return removal_.Before[n] - removal_.Before[n - removal_.Told];
}

size_t TCodeTreeModel::RowForQt(const TTreeItem* item) const {
  const size_t row = item->Row();
  if (!removal_.Parent || removal_.Told == 0) return row;
  const TTreeItem* parent = item->Parent();
  if ((parent ? parent : project_->Tree().Root()) != removal_.Parent) return row;
  const auto& runs = removal_.Runs;
  const size_t n = runs.size(), firstTold = n - removal_.Told;
  // Runs told so far that stand before the row.
  auto after = std::upper_bound(runs.begin(), runs.end(), row,
                                [](size_t r, const TRowRun& run) { return r < run.First; });
  size_t j = std::max(static_cast<size_t>(after - runs.begin()), firstTold);
  return row - (removal_.Before[j] - removal_.Before[firstTold]);
}

const TTreeItem* TCodeTreeModel::ChildForQt(const TTreeItem* parent, size_t row) const {
  const std::vector<TTreeItem*>& children = ChildrenOf(parent);
  const TTreeItem* key = parent ? parent : project_->Tree().Root();
  size_t at = row;
  if (removal_.Parent == key && removal_.Told > 0) {
    const auto& runs = removal_.Runs;
    const auto& before = removal_.Before;
    const size_t n = runs.size(), firstTold = n - removal_.Told, base = before[firstTold];
    if (row >= children.size() - RemovedSoFar()) return nullptr;
    // The last run told whose place (in Qt's rows) is at or before the row.
    size_t lo = firstTold, hi = n;  // search in [lo, hi)
    while (lo < hi) {
      size_t mid = (lo + hi) / 2;
      if (runs[mid].First - (before[mid] - base) <= row)
        lo = mid + 1;
      else
        hi = mid;
    }
    if (lo > firstTold) at = row + (before[lo] - base);
  }
  return at < children.size() ? children[at] : nullptr;
}

TTreeItem* TCodeTreeModel::ItemAt(const QModelIndex& index) const {
  if (!index.isValid() || resetting_) return nullptr;
  return static_cast<TTreeItem*>(index.internalPointer());
}

QModelIndex TCodeTreeModel::IndexOf(const TTreeItem* item) const {
  if (!item || !project_ || resetting_) return {};
  return createIndex(static_cast<int>(RowForQt(item)), 0, const_cast<TTreeItem*>(item));
}

QModelIndex TCodeTreeModel::ParentIndex(TTreeItem* parent) const {
  return IndexOf(parent);
}

QModelIndex TCodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!project_ || resetting_ || column != 0 || row < 0) return {};
  const TTreeItem* child = ChildForQt(ItemAt(parent), static_cast<size_t>(row));
  if (!child) return {};
  return createIndex(row, 0, const_cast<TTreeItem*>(child));
}

QModelIndex TCodeTreeModel::parent(const QModelIndex& child) const {
  TTreeItem* item = ItemAt(child);
  return item ? IndexOf(item->Parent()) : QModelIndex();
}

int TCodeTreeModel::rowCount(const QModelIndex& parent) const {
  if (!project_ || resetting_ || parent.column() > 0) return 0;
  const TTreeItem* item = ItemAt(parent);
  size_t count = ChildrenOf(item).size();
  const TTreeItem* key = item ? item : project_->Tree().Root();
  if (removal_.Parent == key && removal_.Told > 0) count -= RemovedSoFar();
  return static_cast<int>(count);
}

bool TCodeTreeModel::hasChildren(const QModelIndex& parent) const {
  return rowCount(parent) > 0;
}

// --- what a row shows -----------------------------------------------------------------------

QColor TCodeTreeModel::ToQColor(int32_t color) {
  auto bits = static_cast<uint32_t>(color);
  if ((bits & 0xFF000000u) == 0xFF000000u) {
    // System colours: grey text (17) and inactive caption text (19) are what the palette uses.
    QPalette palette = QApplication::palette();
    switch (bits & 0xFF) {
      case 0x11:
        return palette.color(QPalette::Disabled, QPalette::Text);
      case 0x13:
        return palette.color(QPalette::Inactive, QPalette::PlaceholderText);
      default:
        return palette.color(QPalette::Text);
    }
  }
  return QColor(bits & 0xFF, (bits >> 8) & 0xFF, (bits >> 16) & 0xFF);
}

QColor TCodeTreeModel::TextColor(const TTreeItem* item) const {
  if (!item || !item->Line() || !project_) return ToQColor(0);
  if (item->Cut) return ToQColor(project_->Palette.CutColor);
  // An interrupt's item is a comment line that stands for the entry, coloured as a call.
  if (item->Line()->IsComment() && !IsInterruptItem(*item))
    return ToQColor(project_->Palette.CommentColor);
  return ToQColor(item->Line()->TextColor());
}

int TCodeTreeModel::ImageIndex(const TTraceFileLine& line) {
  if (line.IsCodeCacheLine()) return 4;
  if (line.IsComment()) return -1;
  if (line.HasTarget() && line.IsFlow() && !line.TargetNode()) return 1;  // target not met
  if (line.IsReturn() || line.Successor()) return -1;
  return 2;
}

int TCodeTreeModel::StateImageIndex(const TTraceFileLine& line) {
  return line.IsBookmarked() && !line.IsCodeCacheLine() ? 3 : -1;
}

QVariant TCodeTreeModel::data(const QModelIndex& index, int role) const {
  TTreeItem* item = ItemAt(index);
  if (!item || !item->Line()) return {};
  const TTraceFileLine& line = *item->Line();
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(line.DisplayText());
    case Qt::EditRole:
      return QString::fromStdString(line.Comment());
    case Qt::ForegroundRole:
      return TextColor(item);
    case Qt::ToolTipRole:
      // A text of several lines is drawn as its first line: the tip holds all of it.
      if (line.DisplayText().find_first_of("\r\n") != std::string::npos)
        return QString::fromStdString(line.DisplayText());
      if (line.RegisterInfo().empty()) return {};
      return QString::fromStdString(line.RegisterInfo());
    case ImageRole:
      return ImageIndex(line);
    case StateImageRole:
      return StateImageIndex(line);
    default:
      return {};
  }
}

Qt::ItemFlags TCodeTreeModel::flags(const QModelIndex& index) const {
  TTreeItem* item = ItemAt(index);
  if (!item) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags =
      Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
  if (!item->HasChildren()) flags |= Qt::ItemNeverHasChildren;
  // Qt asks for the flags of every row it lays out: the record is not looked at here. Whether
  // a line can be renamed (comment lines only) is asked when an editor would open
  // (TCodeTreeView::edit) and again when the text comes back (setData).
  return flags | Qt::ItemIsEditable;
}

bool TCodeTreeModel::Renamable(const QModelIndex& index) const {
  TTreeItem* item = ItemAt(index);
  return item && project_->CodeEditing(item);
}

bool TCodeTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TTreeItem* item = ItemAt(index);
  if (!item || role != Qt::EditRole) return false;
  if (!project_->CodeEdited(item, value.toString().toStdString())) return false;
  emit dataChanged(index, index);
  return true;
}

// --- drag and drop ----------------------------------------------------------------------------

QStringList TCodeTreeModel::mimeTypes() const {
  return {QString::fromLatin1(TCodeMimeData::MimeType())};
}

QMimeData* TCodeTreeModel::mimeData(const QModelIndexList&) const {
  if (!project_) return nullptr;
  std::unique_ptr<TCodeDraggedObj> dragged = project_->StartDrag();
  if (!dragged) return nullptr;
  return new TCodeMimeData(std::move(dragged));  // the drag owns it
}

Qt::DropActions TCodeTreeModel::supportedDropActions() const {
  return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions TCodeTreeModel::supportedDragActions() const {
  return Qt::MoveAction | Qt::CopyAction;
}

namespace {
const TCodeDraggedObj* DraggedOf(const QMimeData* data) {
  auto* code = qobject_cast<const TCodeMimeData*>(data);
  return code ? code->Dragged() : nullptr;
}
}  // namespace

bool TCodeTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                     const QModelIndex& parent) const {
  const TCodeDraggedObj* dragged = DraggedOf(data);
  if (!project_ || !dragged) return false;
  TTreeItem* target =
      row < 0 ? ItemAt(parent) : const_cast<TTreeItem*>(ChildForQt(ItemAt(parent), row));
  return project_->CodeDragOver(dragged, target);
}

bool TCodeTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
  if (!canDropMimeData(data, action, row, column, parent)) return false;
  TTreeItem* target =
      row < 0 ? ItemAt(parent) : const_cast<TTreeItem*>(ChildForQt(ItemAt(parent), row));
  project_->CodeDragDrop(DraggedOf(data), target);
  return true;
}

// --- the tree's changes -----------------------------------------------------------------------

void TCodeTreeModel::ChildrenInserting(TTreeItem* parent, size_t first, size_t last) {
  beginInsertRows(ParentIndex(parent), static_cast<int>(first), static_cast<int>(last));
}

void TCodeTreeModel::ChildrenInserted(TTreeItem*) {
  endInsertRows();
}

void TCodeTreeModel::ChildrenRemoving(TTreeItem* parent, const std::vector<TRowRun>& runs) {
  if (runs.empty()) return;
  const QModelIndex parentIndex = ParentIndex(parent);
  removal_.Parent = parent ? parent : project_->Tree().Root();
  removal_.Runs = runs;
  removal_.Before.assign(runs.size() + 1, 0);
  for (size_t i = 0; i < runs.size(); ++i)
    removal_.Before[i + 1] = removal_.Before[i] + (runs[i].Last - runs[i].First + 1);
  removal_.Told = 0;
  // Highest run first: the rows of the runs below it are the same for Qt and the tree.
  for (size_t i = runs.size(); i-- > 0;) {
    beginRemoveRows(parentIndex, static_cast<int>(runs[i].First), static_cast<int>(runs[i].Last));
    ++removal_.Told;
    endRemoveRows();
  }
}

void TCodeTreeModel::ChildrenRemoved(TTreeItem*) {
  removal_ = {};
}

void TCodeTreeModel::ChildrenMoving(TTreeItem* from, TRowRun run, TTreeItem* to, size_t row) {
  beginMoveRows(ParentIndex(from), static_cast<int>(run.First), static_cast<int>(run.Last),
                ParentIndex(to), static_cast<int>(row));
}

void TCodeTreeModel::ChildrenMoved() {
  endMoveRows();
}

void TCodeTreeModel::TreeResetting() {
  beginResetModel();
  resetting_ = true;  // the tree is rebuilt: nothing of it may be looked at meanwhile
}

void TCodeTreeModel::TreeReset() {
  resetting_ = false;
  removal_ = {};
  endResetModel();
  emit TreeSelectionChanged();
}

void TCodeTreeModel::TreeGone() {
  beginResetModel();
  project_ = nullptr;
  resetting_ = false;
  removal_ = {};
  endResetModel();
  emit TreeSelectionChanged();
}

void TCodeTreeModel::SelectionChanged() {
  emit TreeSelectionChanged();
}

}  // namespace orvanel::ui
