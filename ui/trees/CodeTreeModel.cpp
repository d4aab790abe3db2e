#include "trees/CodeTreeModel.h"

#include <QApplication>
#include <QPalette>

#include "project/Project.h"

namespace orvanel::ui {

void TCodeTreeModel::SetProject(TProject* project) {
  beginResetModel();
  project_ = project;
  endResetModel();
}

TTreeItem* TCodeTreeModel::ItemAt(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TTreeItem*>(index.internalPointer()) : nullptr;
}

QModelIndex TCodeTreeModel::IndexOf(const TTreeItem* item) const {
  if (!item) return {};
  return createIndex(static_cast<int>(item->Row()), 0, const_cast<TTreeItem*>(item));
}

QModelIndex TCodeTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!project_ || column != 0 || row < 0) return {};
  const std::vector<TTreeItem*>& children =
      parent.isValid() ? ItemAt(parent)->Children() : project_->Tree().TopLevel();
  if (static_cast<size_t>(row) >= children.size()) return {};
  return createIndex(row, 0, children[static_cast<size_t>(row)]);
}

QModelIndex TCodeTreeModel::parent(const QModelIndex& child) const {
  TTreeItem* item = ItemAt(child);
  return item ? IndexOf(item->Parent()) : QModelIndex();
}

int TCodeTreeModel::rowCount(const QModelIndex& parent) const {
  if (!project_) return 0;
  if (!parent.isValid()) return static_cast<int>(project_->Tree().TopLevel().size());
  return static_cast<int>(ItemAt(parent)->Children().size());
}

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

QVariant TCodeTreeModel::data(const QModelIndex& index, int role) const {
  TTreeItem* item = ItemAt(index);
  if (!item || !item->Line()) return {};
  const TTraceFileLine& line = *item->Line();
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(line.DisplayText());
    case Qt::ForegroundRole:
      if (item->Cut) return ToQColor(project_->Palette.CutColor);
      if (line.IsComment()) return ToQColor(project_->Palette.CommentColor);
      return ToQColor(line.TextColor());
    default:
      return {};
  }
}

}  // namespace orvanel::ui
