#include "trees/CodeTreeView.h"

#include "project/Project.h"
#include "trees/CodeTreeModel.h"

namespace orvanel::ui {

TCodeTreeView::TCodeTreeView(QWidget* parent) : QTreeView(parent) {
  model_ = new TCodeTreeModel(this);
  setUniformRowHeights(true);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setModel(model_);
}

TCodeTreeView::~TCodeTreeView() = default;

void TCodeTreeView::SetProject(TProject* project) {
  model_->SetProject(project);
}

TProject* TCodeTreeView::Project() const {
  return model_->Project();
}

TTreeItem* TCodeTreeView::SelectedNode() const {
  TProject* project = Project();
  return project ? orvanel::SelectedNode(project->Tree()) : nullptr;
}

std::vector<TTreeItem*> TCodeTreeView::SelectedNodes() const {
  TProject* project = Project();
  return project ? project->Tree().Selection() : std::vector<TTreeItem*>();
}

void TCodeTreeView::SelectNode(TTreeItem* node) {
  QModelIndex index = IndexOf(node);
  setCurrentIndex(index);
  scrollTo(index);
}

QRect TCodeTreeView::NodeRect(TTreeItem* node) const {
  return visualRect(IndexOf(node));
}

QModelIndex TCodeTreeView::IndexOf(TTreeItem* node) const {
  return model_->IndexOf(node);
}

TTreeItem* TCodeTreeView::NodeAt(const QModelIndex& index) const {
  return model_->ItemAt(index);
}

void TCodeTreeView::RepaintNodes() {
  viewport()->update();
}

int TCodeTreeView::IndentLimit() const {
  return 0;
}

}  // namespace orvanel::ui
