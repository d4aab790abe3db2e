#include "trees/ScopeTreeView.h"

#include "scopes/SnesScopeManager.h"

namespace orvanel::ui {

TScopeManagerView::TScopeManagerView(QWidget* parent) : QTreeView(parent) {
  setUniformRowHeights(true);
  setHeaderHidden(true);
}

TScopeManagerView::~TScopeManagerView() = default;

TScopeNode* TScopeManagerView::SelectedScope() const {
  return nullptr;
}

TMappingNode* TScopeManagerView::SelectedMapping() const {
  return nullptr;
}

void TScopeManagerView::SelectNode(TScopeNode*) {}
void TScopeManagerView::SelectNode(TMappingNode*) {}

void TScopeManagerView::RepaintNodes() {
  viewport()->update();
}

void TScopeManagerView::SetScopeManager(TScopeManager* manager) {
  manager_ = manager;
}

TScopeManager* TScopeManagerView::ScopeManager() const {
  return manager_;
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
