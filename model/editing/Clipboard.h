#pragma once
// Cut, copy and paste of code tree nodes. Nothing is copied: the remembered nodes are moved
// when they are pasted. The list follows deletions, so it never holds a node that is gone.
#include <vector>

#include "tree/EditingEvents.h"

namespace orvanel {

class TProject;
class TTreeItem;

class TClipboard : public TEditObserver {
 public:
  // Cut: remembers the selected nodes of the project's tree and marks them; nothing when
  // no node is selected.
  void Cut(TProject& project);
  // Copy: remembers the selected nodes (possibly none), without marks.
  void Copy(TProject& project);
  // Moves the remembered nodes one by one in front of the tree's selected node, each moved
  // node becoming the place for the next, so that they stand there in reverse order.
  void Paste(TProject& project);
  // Appends the remembered nodes, in order, as the last children of the tree's selected node.
  void PasteAsSubnodes(TProject& project);
  // Forgets the nodes and takes their cut marks away.
  void Clear();

  const std::vector<TTreeItem*>& Nodes() const { return nodes_; }
  bool IsCut() const { return isCut_; }
  // The project whose tree the nodes belong to; none when nothing is remembered.
  TProject* Source() const { return source_; }

 private:
  void Remember(TProject& project, bool cut);
  // The target of a paste into this project's tree, or none when nothing can be pasted: no
  // node remembered, no node selected, or nodes of another tree (a move works only inside
  // one tree).
  TTreeItem* PasteTarget(TProject& project) const;
  void AfterPaste();
  void ItemsGoing(const TRemoval& removal) override;
  void ProjectGone(TProject& project) override;

  TProject* source_ = nullptr;
  std::vector<TTreeItem*> nodes_;
  bool isCut_ = false;
};

}  // namespace orvanel
