#pragma once
// The tree view of a project's code tree (or of its code cache). Lazy: it asks the model's
// tree for rows only when they are shown, follows every change of the tree through the tree's
// listener, and keeps the text of lines thousands of levels deep readable by capping the
// indentation: a line deeper than the cap stands at the cap with a badge of its depth.
//
// The selection is the model tree's own (siblings only, in the order it was made); Qt's
// selection model stays empty, so a selection of a hundred thousand nodes costs the view
// nothing and deleting them sends no signal per selected range.
#include <QPersistentModelIndex>
#include <QRect>
#include <QTreeView>
#include <functional>
#include <memory>
#include <vector>

namespace orvanel {
class TProject;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::ui {

class TCodeTreeModel;
class TCodeItemDelegate;
class TCodeImages;

// Where the parts of one row are drawn, in viewport coordinates.
struct TCodeRowLayout {
  QRect Arrow;       // the expand arrow
  QRect Badge;       // the depth badge (empty when the line stands at its own depth)
  QRect StateImage;  // the bookmark mark
  QRect Image;       // the line's picture
  QRect Text;        // the line's text
  int Level = 0;     // the line's depth (0 for the top level)
  bool Capped = false;
};

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
  // Expands the ancestors, selects the node alone and scrolls so that its text can be read
  // (none: clears the selection).
  void SelectNode(TTreeItem* node);
  // The rectangle of the node's row in viewport coordinates; empty when it is not shown.
  QRect NodeRect(TTreeItem* node) const;
  // Where the node's text is drawn, in viewport coordinates; empty when it is not shown.
  QRect TextRect(TTreeItem* node) const;
  // The part of TextRect the text itself covers (what stands beside the line).
  QRect TextExtent(TTreeItem* node) const;
  // The node's index; none for a node of another tree.
  QModelIndex IndexOf(TTreeItem* node) const;
  TTreeItem* NodeAt(const QModelIndex& index) const;
  // Whether the node belongs to the tree shown (a walk up its parents).
  bool Holds(const TTreeItem* node) const;
  // Draws the shown rows again (colours or cut marks changed).
  void RepaintNodes();
  using QTreeView::edit;  // edit(index): renames the line if it is a comment line

  // The deepest level whose indentation is drawn: a third of the width holds the indentation,
  // the arrow and the pictures. Deeper lines carry a badge and stand at CappedIndentLevel,
  // where the badge fits in that third as well.
  int IndentLimit() const;
  int CappedIndentLevel() const;
  // The first step of the indentation; the steps narrow with depth (IndentOf).
  int IndentStep() const { return step_; }
  int IndentOf(int level) const;
  TCodeRowLayout RowLayout(const TTreeItem* item, const QRect& row) const;
  const TCodeImages& Images() const { return *images_; }
  // Runs a command of the view; a model exception becomes CommandFailed.
  void Guarded(const std::function<void()>& command);

 signals:
  // The selection changed (the window's CodeTreeChange); none when nothing is selected.
  void SelectedNodeChanged(orvanel::TTreeItem* node);
  // Ctrl+Space: the quick target list is wanted.
  void QuickTargetRequested();
  // A model exception caught inside the view (drop, delete, insert, rename).
  void CommandFailed(const QString& message);
  // RepaintNodes: the texts of lines may have changed (labels, mappings, scopes, comments).
  void NodesRepainted();

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void selectAll() override {}  // a selection is of siblings only
  // Opens an editor only on a line that can be renamed (a comment line).
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void updateGeometries() override;

 public:
  // QTreeView keeps a 40-byte record per shown row in a list that grows by doubling and
  // never shrinks: after a branch opens up to half of it may stand empty, after one closes
  // all of it. Once the rows settle the list is cut back to a quarter of spare room when more
  // than half of its rows' size stands spare. Whether this Qt lets the view do so (its
  // private header was there when the program was built, and it is the same Qt).
  static bool TrimsRowRoom();
  // The rows QTreeView holds and the room its list has for them (both 0 when it cannot tell).
  std::pair<qsizetype, qsizetype> RowRoom() const;

  // The rows shown, as an accessibility client sees them: every row of an open branch in
  // order (only those in the viewport where Qt's row list cannot be reached), each looked up
  // in constant time. The parent's row (-1 for a top-level row, -2 where it cannot tell).
  int ShownRowCount() const;
  QModelIndex ShownRow(int row) const;
  int ShownRowParent(int row) const;
  int ShownRowOf(const QModelIndex& index) const;  // -1 when it is not shown
  // Changes whenever shown rows come, go or move (rows numbered before are stale).
  unsigned ShapeGeneration() const { return shapeGeneration_; }

 private:
  void TreeSelectionChanged();
  void OpenIfExpanded(const QModelIndex& parent);
  void ReopenRows(const QModelIndex& parent, int first, int last);
  // Selects by a click or a key: alone, added (Ctrl) or up to the item from the anchor (Shift).
  void SelectBy(TTreeItem* item, Qt::KeyboardModifiers modifiers);
  void SetCurrentQuietly(const QModelIndex& index);
  void TrimRowRoom();
  void MakeIndentSteps();
  // The deepest level whose indentation is at most `room` pixels.
  int DeepestWithin(int room) const;

  TCodeTreeModel* model_ = nullptr;
  TCodeItemDelegate* delegate_ = nullptr;
  std::unique_ptr<TCodeImages> images_;
  int step_ = 16;
  int badgeWidth_ = 0;
  std::vector<int> indents_;           // the indentation of the levels whose steps narrow
  int minStep_ = 4;                    // the step past them
  TTreeItem* lastReported_ = nullptr;  // compared by address only
  bool reportAlways_ = false;
  bool keyNavigating_ = false;
  Qt::KeyboardModifiers keyModifiers_;
  // A left press on a row: where, on what, and what its release does.
  QPoint pressPos_;
  QPersistentModelIndex pressed_;  // follows deletions
  bool selectOnRelease_ = false;   // a plain click in a multi-selection selects alone on release
  bool editOnRelease_ = false;     // a click on the single selected comment line renames it
  bool trimPending_ = false;
  unsigned shapeGeneration_ = 0;
};

}  // namespace orvanel::ui
