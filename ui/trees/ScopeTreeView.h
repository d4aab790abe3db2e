#pragma once
// The trees of a scope manager: the "Mappings" tab shows the scopes with their mappings, the
// "Labels" tab the label manager's scopes with their labels. Lazy adapters over the manager's
// own nodes that follow its changes.
#include <QTreeView>

namespace orvanel {
class TScopeManager;
class TScopeNode;
class TMappingNode;
class TSNESScopeManager;
class TSNESLabelManager;
}  // namespace orvanel

namespace orvanel::ui {

class TScopeTreeModel;

// What the scope and label trees share: scopes at the top level, their mappings below them.
class TScopeManagerView : public QTreeView {
  Q_OBJECT
 public:
  explicit TScopeManagerView(QWidget* parent = nullptr);
  ~TScopeManagerView() override;

  // The selected scope, or the scope of the selected mapping; none when nothing is selected.
  TScopeNode* SelectedScope() const;
  // The selected mapping; none when a scope or nothing is selected.
  TMappingNode* SelectedMapping() const;
  // Selects the node and scrolls it into view (none: clears the selection).
  void SelectNode(TScopeNode* scope);
  void SelectNode(TMappingNode* mapping);
  void RepaintNodes();
  TScopeTreeModel* ScopeModel() const { return model_; }

 signals:
  void SelectionChanged();

 protected:
  void SetScopeManager(TScopeManager* manager);
  TScopeManager* ScopeManager() const;

 private:
  TScopeTreeModel* model_ = nullptr;
};

// The "Mappings" tab: the scopes of the project's scope manager with their mappings.
class TScopeTreeView : public TScopeManagerView {
  Q_OBJECT
 public:
  explicit TScopeTreeView(QWidget* parent = nullptr);
  void SetManager(TSNESScopeManager* manager);
  TSNESScopeManager* Manager() const;
};

// The "Labels" tab: the label manager's scopes (the Global root) with their labels.
class TLabelTreeView : public TScopeManagerView {
  Q_OBJECT
 public:
  explicit TLabelTreeView(QWidget* parent = nullptr);
  void SetManager(TSNESLabelManager* manager);
  TSNESLabelManager* Manager() const;
  // The selected label; none when a scope or nothing is selected.
  TMappingNode* SelectedLabel() const { return SelectedMapping(); }
};

}  // namespace orvanel::ui
