// The tree events of a project: keys, in-place renaming, drag and drop inside one tree.
#include "project/TreeEditing.h"

#include <algorithm>

#include "project/Project.h"

namespace orvanel {

// --- the drag object ----------------------------------------------------------------------

TCodeDraggedObj::TCodeDraggedObj(TProject& project, std::vector<TTreeItem*> nodes)
    : source_(&project), nodes_(std::move(nodes)) {
  Watch(project.EditEvents());
}

const TCodeTree* TCodeDraggedObj::Tree() const {
  return source_ ? &source_->Tree() : nullptr;
}

bool TCodeDraggedObj::HoldsCodeCacheLine() const {
  return std::any_of(nodes_.begin(), nodes_.end(), [](const TTreeItem* node) {
    return node->Line() && node->Line()->IsCodeCacheLine();
  });
}

void TCodeDraggedObj::ItemsGoing(const TRemoval& removal) {
  std::erase_if(nodes_, [&](TTreeItem* node) { return removal.HoldsItem(node); });
}

void TCodeDraggedObj::ProjectGone(TProject&) {
  source_ = nullptr;
  nodes_.clear();
}

TTreeItem* SelectedNode(const TCodeTree& tree) {
  return tree.Selection().empty() ? nullptr : tree.Selection().back();
}

// --- keys -----------------------------------------------------------------------------------

bool TProject::CodeKeyDown(TEditKey key) {
  switch (key) {
    case TEditKey::Delete:
    case TEditKey::Cancel:
      DeleteSelection();
      return true;
    case TEditKey::Insert:
      InsertComment();
      return true;
    case TEditKey::Control:
      ControlDown = true;
      return true;
    case TEditKey::Other:
      break;
  }
  return false;
}

void TProject::CodeKeyUp(TEditKey key) {
  if (key == TEditKey::Control) ControlDown = false;
}

bool TProject::DeleteSelection() {
  if (!ui_.AskYesNo("Would you like to delete the selected nodes?")) return false;
  TBusyScope busy(ui_);
  // A project keeps the lines of its code cache file; the code cache itself deletes them.
  const bool keepCacheLines = codeCache_ != nullptr;
  std::vector<TTreeItem*> doomed;
  doomed.reserve(tree_.Selection().size());
  for (TTreeItem* item : tree_.Selection())
    if (!(keepCacheLines && item->Line() && item->Line()->IsCodeCacheLine()))
      doomed.push_back(item);
  DeleteItems(doomed);
  MarkLogChanged();
  return true;
}

TTreeItem* TProject::InsertComment() {
  TTreeItem* selected = SelectedNode(tree_);
  if (!selected || (selected->Line() && selected->Line()->IsCodeCacheLine())) return nullptr;
  auto comment = std::make_unique<TTraceFileLine>();
  comment->SetIsComment(true);
  TTreeItem* item = tree_.InsertBefore(selected, Adopt(std::move(comment)));
  MarkLogChanged();
  return item;
}

// --- renaming -------------------------------------------------------------------------------

bool TProject::CodeEditing(const TTreeItem* item) const {
  return item && item->Line() && item->Line()->IsComment();
}

bool TProject::CodeEdited(TTreeItem* item, const std::string& text) {
  if (!CodeEditing(item)) return false;
  item->Line()->SetComment(text);  // also the line's display text
  MarkLogChanged();
  return true;
}

// --- drag and drop --------------------------------------------------------------------------

std::unique_ptr<TCodeDraggedObj> TProject::StartDrag() {
  if (tree_.Selection().empty()) return nullptr;
  return std::make_unique<TCodeDraggedObj>(*this, tree_.Selection());
}

bool TProject::TakesDrag(const TCodeDraggedObj* source) const {
  if (!source || !source->Tree() || source->HoldsCodeCacheLine()) return false;
  // The tree's move works only inside one tree; a code cache copies from its project's.
  return source->Tree() == &tree_ || (cacheOwner_ && source->Tree() == &cacheOwner_->tree_);
}

bool TProject::CodeDragOver(const TCodeDraggedObj* source, TTreeItem*) {
  return TakesDrag(source);
}

void TProject::CodeDragDrop(const TCodeDraggedObj* source, TTreeItem* target) {
  if (!source || source->Nodes().empty() || source->Tree() != &tree_ || !TakesDrag(source)) return;
  MoveDropped(source->Nodes(), target);
  MarkLogChanged();
}

void TProject::MoveDropped(const std::vector<TTreeItem*>& nodes, TTreeItem* target) {
  // Without a node under the drop point there is nothing to insert before: the nodes go to
  // the end of the top level, as they do with Ctrl held.
  if (ControlDown || !target)
    tree_.MoveAsLastChildren(nodes, target);
  else
    tree_.MoveBefore(nodes, target);
}

}  // namespace orvanel
