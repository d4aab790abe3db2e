#pragma once
// Shows a project's code tree in a Qt view. Lazy: rows are looked up in the model's tree only
// when the view asks for them (an index's internal pointer is the tree item), so a tree of
// millions of items opens at once and nothing is copied. It listens to the tree and turns
// each of its changes into the smallest Qt signal that says it.
#include <QAbstractItemModel>
#include <QColor>
#include <QMimeData>
#include <memory>
#include <vector>

#include "tree/CodeTree.h"

namespace orvanel {
class TProject;
class TCodeDraggedObj;
}  // namespace orvanel

namespace orvanel::ui {

// What a drag out of a code tree carries: the model's drag object (the selection when the
// drag started, which follows deletions).
class TCodeMimeData : public QMimeData {
  Q_OBJECT
 public:
  explicit TCodeMimeData(std::unique_ptr<TCodeDraggedObj> dragged);
  ~TCodeMimeData() override;
  const TCodeDraggedObj* Dragged() const { return dragged_.get(); }
  static const char* MimeType() { return "application/x-orvanel-code-nodes"; }

 private:
  std::unique_ptr<TCodeDraggedObj> dragged_;
};

class TCodeTreeModel : public QAbstractItemModel, private TTreeListener {
  Q_OBJECT
 public:
  enum TRole { ImageRole = Qt::UserRole + 1, StateImageRole };

  explicit TCodeTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}
  ~TCodeTreeModel() override;
  // Shows another project's tree (none for an empty view).
  void SetProject(TProject* project);
  TProject* Project() const { return project_; }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent) const override;
  int columnCount(const QModelIndex&) const override { return 1; }
  bool hasChildren(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Whether the row's line can be renamed in place (comment lines only).
  bool Renamable(const QModelIndex& index) const;
  // Renames a comment line (the only lines that can be renamed).
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Dragging: the mime data holds the project's drag object of its selection; a drop is the
  // project's drop on the node under the drop point (row -1: `parent` is that node; a row:
  // the node at that row, or none past the end).
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDropActions() const override;
  Qt::DropActions supportedDragActions() const override;
  bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                       const QModelIndex& parent) const override;
  bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                    const QModelIndex& parent) override;

  TTreeItem* ItemAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TTreeItem* item) const;
  // A toolkit colour ($00BBGGRR, or $FF000000 + a system colour index) as a Qt colour.
  static QColor ToQColor(int32_t color);
  // The font colour of an item: the cut colour, the comment colour or the line's own.
  QColor TextColor(const TTreeItem* item) const;
  // The pictures of a line: 1, 2, 4 or none (-1); the state picture: 3 or none.
  static int ImageIndex(const TTraceFileLine& line);
  static int StateImageIndex(const TTraceFileLine& line);

 signals:
  // The model's selection changed (items selected, taken out or deleted).
  void TreeSelectionChanged();

 private:
  // --- the tree's changes ---
  void ChildrenInserting(TTreeItem* parent, size_t first, size_t last) override;
  void ChildrenInserted(TTreeItem* parent) override;
  void ChildrenRemoving(TTreeItem* parent, const std::vector<TRowRun>& runs) override;
  void ChildrenRemoved(TTreeItem* parent) override;
  void ChildrenMoving(TTreeItem* from, TRowRun run, TTreeItem* to, size_t row) override;
  void ChildrenMoved() override;
  void TreeResetting() override;
  void TreeReset() override;
  void TreeGone() override;
  void SelectionChanged() override;

  const std::vector<TTreeItem*>& ChildrenOf(const TTreeItem* parent) const;
  QModelIndex ParentIndex(TTreeItem* parent) const;
  // While runs of one parent are reported to Qt one by one (highest first), the rows Qt
  // knows differ from the tree's until the last is told: these translate between them.
  size_t RowForQt(const TTreeItem* item) const;
  const TTreeItem* ChildForQt(const TTreeItem* parent, size_t row) const;
  size_t RemovedSoFar() const;

  TProject* project_ = nullptr;
  bool resetting_ = false;
  struct TPendingRemoval {
    const TTreeItem* Parent = nullptr;  // the root stands for the top level
    std::vector<TRowRun> Runs;
    std::vector<size_t> Before;  // Before[i]: children in runs 0..i-1
    size_t Told = 0;             // runs (from the last) Qt knows are gone
  };
  TPendingRemoval removal_;
};

}  // namespace orvanel::ui
