// The code cache collects copies of code dragged from its project's tree; and the copying of
// a subtree that makes them.
#include <string>
#include <vector>

#include "project/Project.h"
#include "project/SnesProject.h"
#include "project/TreeEditing.h"
#include "records/Scope.h"

namespace orvanel {

namespace {

// Copies are cut from text that was cut once already when the original was made, and any
// message about it was shown then: a copy is cut silently.
class TQuietLineOwner : public TLineOwner {
 public:
  void Message(std::string) override {}
  TMappingNode* FindLabel(int64_t) override { return nullptr; }
};

// A scope lists one line per key. A copy is made with its original's key (a code cache key
// only once it is read back from the cache file) and so takes the line of that key out of
// the list: the line gets its place back, the copy stays in the scope without a place.
class TScopePlaceKeeper {
 public:
  explicit TScopePlaceKeeper(const TTraceFileLine& original)
      : scope_(original.Scope()), key_(std::to_string(original.Offset())) {
    if (!scope_) return;
    const TScopedOffsets& list = scope_->ScopedOffsets();
    uint32_t pos = list.Find(key_);
    if (pos != TScopedOffsets::npos) holder_ = list.At(pos).Line;
  }
  void Restore(TTraceFileLine& copy) const {
    if (!holder_ || holder_ == &copy || holder_->Scope() != scope_ || copy.Scope() != scope_ ||
        copy.ScopeKey() != key_)
      return;
    const TScopedOffsets& list = scope_->ScopedOffsets();
    uint32_t pos = list.Find(key_);
    if (pos != TScopedOffsets::npos && list.At(pos).Line == &copy) scope_->EnterLine(holder_);
  }

 private:
  TScopeNode* scope_;
  std::string key_;
  TTraceFileLine* holder_ = nullptr;
};

}  // namespace

TTreeItem* TProject::CopySubtree(const TTreeItem* source, TTreeItem* parent, TTraceFileLine* twin,
                                 uint8_t extraFlags, int /*imageIndex*/) {
  // The drawing rule decides a node's images from its line each time it is drawn, so the
  // image index has nothing to set here.
  if (!source || !source->Line()) return nullptr;
  // Copying a node into its own subtree would copy the copies again without end.
  if (parent && TCodeTree::IsSelfOrAncestor(source, parent)) return nullptr;

  TQuietLineOwner quiet;
  auto copyItem = [&](const TTreeItem& sourceItem, TTreeItem* under) {
    const TTraceFileLine& original = *sourceItem.Line();
    TScopePlaceKeeper place(original);
    std::unique_ptr<TTraceFileLine> fresh = original.Clone(quiet);
    TTraceFileLine* copy = Adopt(std::move(fresh));
    place.Restore(*copy);
    copy->SetFlags(copy->Flags() | extraFlags);
    // A copy that became a code cache line is listed under the code cache key.
    if ((extraFlags & lfIsCodeCacheLine) && copy->Scope()) copy->AttachScope(copy->Scope());
    if (twin) copy->SetCacheTwin(twin);
    // Registered at once, so that the same line is not dropped twice before a save. A copy
    // whose address is already there stays a record of its own, as the file will show it.
    if (!copy->IsComment()) RegisterInIndex(copy);
    TTreeItem* item = tree_.AddChild(under, copy);
    // The copy shows the execution its original showed.
    if (const TItemRegisters* registers = sourceItem.Registers()) item->SetRegisters(*registers);
    return item;
  };

  struct TFrame {
    const TTreeItem* Source;
    TTreeItem* Copy;
    size_t Next;
  };
  TTreeItem* top = copyItem(*source, parent);
  std::vector<TFrame> stack{{source, top, 0}};
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (frame.Next >= frame.Source->Children().size()) {
      stack.pop_back();
      continue;
    }
    const TTreeItem* child = frame.Source->Children()[frame.Next++];
    if (!child->Line()) continue;
    TTreeItem* copy = copyItem(*child, frame.Copy);
    if (child->HasChildren()) stack.push_back({child, copy, 0});  // `frame` is not used after
  }
  return top;
}

bool TSNESCodeCache::CodeDragOver(const TCodeDraggedObj* source, TTreeItem* underMouse) {
  bool accept = TProject::CodeDragOver(source, underMouse);
  // The node under the mouse when the drop comes is where the copies go.
  if (underMouse) tree_.Select(underMouse, false);
  return accept;
}

void TSNESCodeCache::CodeDragDrop(const TCodeDraggedObj* source, TTreeItem* target) {
  if (!source || source->Nodes().empty() || !TakesDrag(source)) return;
  if (source->Tree() == &tree_) {
    TProject::CodeDragDrop(source, target);  // moved inside the cache
    return;
  }
  SetSaved(false);
  // Copies go to the end of the selected node's sibling list.
  TTreeItem* selected = SelectedNode(tree_);
  TTreeItem* parent = selected ? selected->Parent() : nullptr;
  for (TTreeItem* node : source->Nodes()) {
    if (!node->Line() || FindInIndex(node->Line()->Offset())) continue;  // already cached
    CopySubtree(node, parent, nullptr, 0, -1);
  }
}

}  // namespace orvanel
