#pragma once
// The code tree: items in execution order that point to shared line records. Several
// items may show one record (an address executed several times). No operation recurses
// once per level, so trees a million levels deep are built, walked and freed safely.
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "records/TraceLine.h"

namespace orvanel {

class TCodeTree;
class TTreeItem;

// A contiguous run of children, rows First to Last inclusive.
struct TRowRun {
  size_t First;
  size_t Last;
};

// Told of every change of a tree's shape (the views that show it), each change before and
// after it is made. `parent` is none for the top level. Changes come in batches: one call per
// contiguous run of children, never one per item; a whole rebuild (a conversion, a trace data
// file read) is one reset.
class TTreeListener {
 public:
  virtual ~TTreeListener() = default;
  // Rows first..last of parent are about to be inserted / were inserted.
  virtual void ChildrenInserting(TTreeItem* /*parent*/, size_t /*first*/, size_t /*last*/) {}
  virtual void ChildrenInserted(TTreeItem* /*parent*/) {}
  // The runs (ascending, disjoint) of parent's children are about to leave it; the children
  // still stand in their rows. ChildrenRemoved follows once they are out.
  virtual void ChildrenRemoving(TTreeItem* /*parent*/, const std::vector<TRowRun>& /*runs*/) {}
  virtual void ChildrenRemoved(TTreeItem* /*parent*/) {}
  // One run of children moves to stand before row `row` of `to` (rows as before the move).
  virtual void ChildrenMoving(TTreeItem* /*from*/, TRowRun /*run*/, TTreeItem* /*to*/,
                              size_t /*row*/) {}
  virtual void ChildrenMoved() {}
  // Everything changes (cleared or rebuilt).
  virtual void TreeResetting() {}
  virtual void TreeReset() {}
  // The tree is destroyed; the listener is no longer called and must not call the tree.
  virtual void TreeGone() {}
  // The selection changed (items selected or taken out, or a selected item deleted).
  virtual void SelectionChanged() {}
};

class TTreeItem {
 public:
  TTraceFileLine* Line() const { return line_; }
  // The parent item, or none for a top-level item.
  TTreeItem* Parent() const { return parent_->isRoot_ ? nullptr : parent_; }
  const std::vector<TTreeItem*>& Children() const { return children_; }
  bool HasChildren() const { return !children_.empty(); }
  size_t Row() const { return row_; }  // index among its parent's children
  TTreeItem* NextSibling() const;
  TTreeItem* PrevSibling() const;
  int Level() const;  // 0 for a top-level item

  // The registers this execution recorded (its own log line or `traceline` element); none
  // for a comment line and for an item given none.
  const TItemRegisters* Registers() const {
    return hasRegisters_ && line_ && !line_->IsComment() ? &registers_ : nullptr;
  }
  void SetRegisters(const TItemRegisters& registers) {
    registers_ = registers;
    hasRegisters_ = true;
  }
  void ClearRegisters() { hasRegisters_ = false; }

  // Per-item state the views need.
  bool Cut = false;
  bool Expanded = false;
  bool Selected = false;

 private:
  friend class TCodeTree;
  TTraceFileLine* line_ = nullptr;
  TTreeItem* parent_ = nullptr;
  std::vector<TTreeItem*> children_;
  uint32_t row_ = 0;
  bool isRoot_ = false;
  bool live_ = false;
  bool detachMark_ = false;  // leaving its parent in the batch under way
  bool parentMark_ = false;  // a parent of items of that batch
  bool hasRegisters_ = false;
  TItemRegisters registers_;
};

class TCodeTree {
 public:
  TCodeTree();
  ~TCodeTree();
  TCodeTree(const TCodeTree&) = delete;
  TCodeTree& operator=(const TCodeTree&) = delete;

  // The listeners are told of every change of shape; they are not owned.
  void AddListener(TTreeListener* listener);
  void RemoveListener(TTreeListener* listener);
  // A rebuild: while one is open the listeners hear nothing of single changes; they are
  // told of one reset when the outermost ends.
  void BeginRebuild();
  void EndRebuild();

  // The invisible root whose children are the top-level items.
  TTreeItem* Root() { return &root_; }
  const std::vector<TTreeItem*>& TopLevel() const { return root_.children_; }
  bool Empty() const { return root_.children_.empty(); }
  size_t Count() const { return count_; }  // all items
  TTreeItem* First() const { return root_.children_.empty() ? nullptr : root_.children_.front(); }

  // Adds an item for the line as the last child of parent (top level when null).
  TTreeItem* AddChild(TTreeItem* parent, TTraceFileLine* line);
  // Adds an item for the line as the first top-level item.
  TTreeItem* AddFirstTopLevel(TTraceFileLine* line);
  // Adds an item for the line just before `sibling` (same parent).
  TTreeItem* InsertBefore(TTreeItem* sibling, TTraceFileLine* line);
  // Moves every top-level item after `item` (a top-level item) under it as its last children.
  void MoveFollowingTopLevelUnder(TTreeItem* item);

  // Moves the items (with their subtrees), in order, to stand before `target` (same parent
  // as target); items that are target or an ancestor of it are skipped.
  void MoveBefore(const std::vector<TTreeItem*>& items, TTreeItem* target);
  // Moves the items, in order, to the end of parent's children (top level when null);
  // items that are parent or an ancestor of it are skipped.
  void MoveAsLastChildren(const std::vector<TTreeItem*>& items, TTreeItem* parent);
  // Deletes the items with their subtrees. `gone` is called once for every deleted item,
  // before it is freed (the record's item count is already lowered).
  void Delete(const std::vector<TTreeItem*>& items,
              const std::function<void(TTreeItem*)>& gone = nullptr);
  void Clear();
  // Makes the item show another record (the record counts and own items follow).
  void Rebind(TTreeItem* item, TTraceFileLine* line);

  // True when `ancestor` is `item` or one of its ancestors.
  static bool IsSelfOrAncestor(const TTreeItem* ancestor, const TTreeItem* item);

  // Items in display order (parents before children), without recursion.
  TTreeItem* NextInOrder(const TTreeItem* item) const;  // none after the last
  TTreeItem* PrevInOrder(const TTreeItem* item) const;  // none before the first
  TTreeItem* LastInOrder() const;
  // The item after the whole subtree of `item` in display order; none after the last.
  static TTreeItem* NextAfterSubtree(const TTreeItem* item);
  template <typename Fn>  // fn(item) for every item in display order
  void ForEach(Fn fn) const {
    for (TTreeItem* it = First(); it; it = NextInOrder(it)) fn(it);
  }
  // The item at an absolute position (running index over all items), or none. Linear.
  TTreeItem* ItemAt(size_t position) const;
  size_t PositionOf(const TTreeItem* item) const;  // linear

  // The multi-selection, in the order the items were selected. Siblings only: selecting an
  // item of another parent drops the others.
  const std::vector<TTreeItem*>& Selection() const { return selection_; }
  void Select(TTreeItem* item, bool extend);
  void ClearSelection();

 private:
  TTreeItem* NewItem(TTraceFileLine* line);
  void FreeItem(TTreeItem* item);
  // Takes the items out of their parents; `tell`: the listeners hear of it.
  void DetachBatch(const std::vector<TTreeItem*>& items, bool tell);
  static void Renumber(TTreeItem* parent, size_t from);
  bool Telling() const { return !listeners_.empty() && rebuilds_ == 0; }
  template <typename Fn>
  void Tell(Fn fn) const {
    for (TTreeListener* l : listeners_) fn(*l);
  }
  // The parent as listeners see it: none for the root.
  static TTreeItem* Outer(TTreeItem* parent) { return parent->isRoot_ ? nullptr : parent; }
  // Inserts items (not in any tree) before row `at` of parent, telling the listeners.
  void InsertRun(TTreeItem* parent, size_t at, const std::vector<TTreeItem*>& items);
  // Moves items to parent's row `at` (rows as before): one run moves as one; several leave
  // and come back.
  void MoveRun(const std::vector<TTreeItem*>& items, TTreeItem* parent, size_t at);

  TTreeItem root_;
  std::deque<TTreeItem> pool_;
  std::vector<TTreeItem*> free_;
  size_t count_ = 0;
  std::vector<TTreeItem*> selection_;
  std::vector<TTreeListener*> listeners_;
  int rebuilds_ = 0;
};

// Keeps a rebuild of the tree open for its lifetime (see TCodeTree::BeginRebuild).
class TTreeRebuild {
 public:
  explicit TTreeRebuild(TCodeTree& tree) : tree_(tree) { tree_.BeginRebuild(); }
  ~TTreeRebuild() { tree_.EndRebuild(); }
  TTreeRebuild(const TTreeRebuild&) = delete;
  TTreeRebuild& operator=(const TTreeRebuild&) = delete;

 private:
  TCodeTree& tree_;
};

}  // namespace orvanel
