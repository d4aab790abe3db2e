#pragma once
// The tree view of a project's code tree (or of its code cache). Lazy: it asks the model's
// tree for rows only when they are shown, follows every change of the tree through the tree's
// listener, and keeps the text of lines thousands of levels deep readable by capping the
// indentation.
#include <QRect>
#include <QTreeView>
#include <vector>

namespace orvanel {
class TProject;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::ui {

class TCodeTreeModel;
class TCodeItemDelegate;

class TCodeTreeView : public QTreeView {
  Q_OBJECT
 public:
  explicit TCodeTreeView(QWidget* parent = nullptr);
  ~TCodeTreeView() override;

  // The project whose tree is shown (a project or its code cache); none for an empty view.
  void SetProject(TProject* project);
  TProject* Project() const;
  TCodeTreeModel* CodeModel() const { return model_; }

  // The node selected last, or none.
  TTreeItem* SelectedNode() const;
  // The selection in the order it was made; siblings only.
  std::vector<TTreeItem*> SelectedNodes() const;
  // Expands the ancestors, selects the node alone and scrolls so that its text can be read.
  void SelectNode(TTreeItem* node);
  // The rectangle of the node's row in viewport coordinates; empty when it is not shown.
  QRect NodeRect(TTreeItem* node) const;
  QModelIndex IndexOf(TTreeItem* node) const;
  TTreeItem* NodeAt(const QModelIndex& index) const;
  // Draws the shown rows again (colours or cut marks changed).
  void RepaintNodes();

  // The deepest level whose indentation is drawn; deeper lines stand at this level's place
  // with a badge that shows their depth.
  int IndentLimit() const;

 signals:
  void SelectedNodeChanged(orvanel::TTreeItem* node);
  void QuickTargetRequested();
  void CommandFailed(const QString& message);

 private:
  TCodeTreeModel* model_ = nullptr;
  TCodeItemDelegate* delegate_ = nullptr;
};

}  // namespace orvanel::ui
