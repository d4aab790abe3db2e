#include "editing/Clipboard.h"

#include <algorithm>
#include <unordered_set>

#include "project/Project.h"
#include "project/TreeEditing.h"

namespace orvanel {

namespace {

using TItemSet = std::unordered_set<const TTreeItem*>;

// The item and its ancestors; moving nodes next to or under the item never changes them.
TItemSet SelfAndAncestors(TTreeItem* item) {
  TItemSet set;
  for (TTreeItem* p = item; p; p = p->Parent()) set.insert(p);
  return set;
}

}  // namespace

void TClipboard::Cut(TProject& project) {
  if (project.Tree().Selection().empty()) return;
  TBusyScope busy(project.UI());
  Remember(project, true);
}

void TClipboard::Copy(TProject& project) {
  TBusyScope busy(project.UI());
  Remember(project, false);
}

void TClipboard::Remember(TProject& project, bool cut) {
  Clear();
  source_ = &project;
  Watch(project.EditEvents());
  nodes_ = project.Tree().Selection();
  isCut_ = cut;
  if (cut)
    for (TTreeItem* node : nodes_) node->Cut = true;
}

void TClipboard::Clear() {
  if (isCut_)
    for (TTreeItem* node : nodes_) node->Cut = false;
  nodes_.clear();
  isCut_ = false;
  if (source_) Unwatch(source_->EditEvents());
  source_ = nullptr;
}

TTreeItem* TClipboard::PasteTarget(TProject& project) const {
  if (nodes_.empty() || source_ != &project) return nullptr;
  return SelectedNode(project.Tree());
}

// The moves are worked out first and done as at most two batch moves: pasting a hundred
// thousand nodes one by one would shift the sibling list once per node.
void TClipboard::Paste(TProject& project) {
  TTreeItem* target = PasteTarget(project);
  if (!target) return;
  TBusyScope busy(project.UI());
  TCodeTree& tree = project.Tree();

  // One by one, each node goes in front of the place and becomes the place; a node that is
  // the place or stands above it is not moved. Every place stands beside the target, so its
  // ancestors are the target's.
  TItemSet above = SelfAndAncestors(target->Parent());
  const TTreeItem* place = target;
  std::vector<TTreeItem*> moved;
  for (TTreeItem* node : nodes_) {
    if (node == place || above.count(node)) continue;
    moved.push_back(node);
    place = node;
  }
  // The result: the last move stands first, and a node moved twice stands where its last
  // move put it; the whole block stands where the target stood.
  std::vector<TTreeItem*> order;
  std::unordered_set<const TTreeItem*> inOrder;
  for (auto it = moved.rbegin(); it != moved.rend(); ++it)
    if (inOrder.insert(*it).second) order.push_back(*it);
  auto at = std::find(order.begin(), order.end(), target);
  if (at == order.end()) {
    tree.MoveBefore(order, target);
  } else {
    // The target was moved too: the nodes before it in the block go in front of it, the
    // others behind it, in front of the first sibling that stays where it is.
    std::vector<TTreeItem*> front(order.begin(), at), back(at + 1, order.end());
    TTreeItem* next = target->NextSibling();
    while (next && inOrder.count(next)) next = next->NextSibling();
    tree.MoveBefore(front, target);
    if (next)
      tree.MoveBefore(back, next);
    else
      tree.MoveAsLastChildren(back, target->Parent());
  }
  if (!order.empty()) project.MarkLogChanged();  // the trace data file holds the order
  AfterPaste();
}

void TClipboard::PasteAsSubnodes(TProject& project) {
  TTreeItem* target = PasteTarget(project);
  if (!target) return;
  TBusyScope busy(project.UI());
  // A node is never moved under itself or one of its descendants; a node moved twice ends
  // where its last move put it.
  TItemSet aboveOrSelf = SelfAndAncestors(target);
  std::vector<TTreeItem*> order;
  std::unordered_set<const TTreeItem*> seen;
  for (auto it = nodes_.rbegin(); it != nodes_.rend(); ++it)
    if (!aboveOrSelf.count(*it) && seen.insert(*it).second) order.push_back(*it);
  std::reverse(order.begin(), order.end());
  project.Tree().MoveAsLastChildren(order, target);
  if (!order.empty()) project.MarkLogChanged();
  AfterPaste();
}

void TClipboard::AfterPaste() {
  if (isCut_) Clear();  // cut nodes are pasted once; copied ones can be moved again
}

void TClipboard::ItemsGoing(const TRemoval& removal) {
  if (&removal.Project != source_) return;
  std::erase_if(nodes_, [&](TTreeItem* node) { return removal.HoldsItem(node); });
}

void TClipboard::ProjectGone(TProject& project) {
  if (&project != source_) return;
  nodes_.clear();
  isCut_ = false;
  source_ = nullptr;
}

}  // namespace orvanel
