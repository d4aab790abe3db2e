#include "trees/ScopeTreeView.h"

#include <QItemSelectionModel>

#include "scopes/SnesScopeManager.h"
#include "trees/ScopeTreeModel.h"

namespace orvanel::ui {

TScopeManagerView::TScopeManagerView(QWidget* parent) : QTreeView(parent) {
  model_ = new TScopeTreeModel(this);
  setUniformRowHeights(true);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setModel(model_);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { emit SelectionChanged(); });
  // A removed row moves the current row without a current change when the tree empties.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { emit SelectionChanged(); });
}

TScopeManagerView::~TScopeManagerView() {
  model_->SetManager(nullptr);
}

TScopeNode* TScopeManagerView::SelectedScope() const {
  const QModelIndex current = currentIndex();
  if (TMappingNode* mapping = model_->MappingAt(current)) return mapping->Parent();
  return model_->ScopeAt(current);
}

TMappingNode* TScopeManagerView::SelectedMapping() const {
  return model_->MappingAt(currentIndex());
}

void TScopeManagerView::SelectNode(TScopeNode* scope) {
  const QModelIndex index = model_->IndexOf(scope);
  setCurrentIndex(index);
  if (index.isValid()) scrollTo(index);
}

void TScopeManagerView::SelectNode(TMappingNode* mapping) {
  const QModelIndex index = model_->IndexOf(mapping);
  setCurrentIndex(index);
  if (index.isValid()) scrollTo(index);
}

void TScopeManagerView::RepaintNodes() {
  viewport()->update();
}

void TScopeManagerView::SetScopeManager(TScopeManager* manager) {
  model_->SetManager(manager);
}

TScopeManager* TScopeManagerView::ScopeManager() const {
  return model_->Manager();
}

TScopeTreeView::TScopeTreeView(QWidget* parent) : TScopeManagerView(parent) {}

void TScopeTreeView::SetManager(TSNESScopeManager* manager) {
  SetScopeManager(manager);
}

TSNESScopeManager* TScopeTreeView::Manager() const {
  return static_cast<TSNESScopeManager*>(ScopeManager());
}

TLabelTreeView::TLabelTreeView(QWidget* parent) : TScopeManagerView(parent) {}

void TLabelTreeView::SetManager(TSNESLabelManager* manager) {
  SetScopeManager(manager);
}

TSNESLabelManager* TLabelTreeView::Manager() const {
  return static_cast<TSNESLabelManager*>(ScopeManager());
}

}  // namespace orvanel::ui
