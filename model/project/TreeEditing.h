#pragma once
// Editing a code tree by hand: deleting nodes, inserting and renaming comment lines, moving
// nodes by drag and drop. The operations are TProject's tree events (declared there); this
// header holds what they exchange with the window.
#include <cstdint>
#include <vector>

#include "tree/EditingEvents.h"

namespace orvanel {

class TCodeTree;
class TProject;
class TTreeItem;

// The keys a code tree reacts to. Ctrl+Space belongs to the quick target list, not to
// editing.
enum class TEditKey : uint8_t {
  Delete,
  Cancel,  // Ctrl+Break
  Insert,
  Control,
  Other,
};

// What a drag out of a code tree carries: the tree's selection when the drag started, in
// selection order. The list never holds a node that was deleted meanwhile.
class TCodeDraggedObj : public TEditObserver {
 public:
  TCodeDraggedObj(TProject& project, std::vector<TTreeItem*> nodes);

  // The project and tree the nodes come from; none once that project is gone.
  TProject* Source() const { return source_; }
  const TCodeTree* Tree() const;
  const std::vector<TTreeItem*>& Nodes() const { return nodes_; }
  // Whether one of the nodes shows a line read from a code cache file.
  bool HoldsCodeCacheLine() const;

 private:
  void ItemsGoing(const TRemoval& removal) override;
  void ProjectGone(TProject& project) override;

  TProject* source_;
  std::vector<TTreeItem*> nodes_;
};

// The tree's selected node: the one selected last, or none.
TTreeItem* SelectedNode(const TCodeTree& tree);

}  // namespace orvanel
