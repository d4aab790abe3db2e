#include "tree/CodeTree.h"

#include <algorithm>
#include <unordered_set>

namespace orvanel {

TTreeItem* TTreeItem::NextSibling() const {
  if (!parent_ || row_ + 1 >= parent_->children_.size()) return nullptr;
  return parent_->children_[row_ + 1];
}

TTreeItem* TTreeItem::PrevSibling() const {
  if (!parent_ || row_ == 0) return nullptr;
  return parent_->children_[row_ - 1];
}

int TTreeItem::Level() const {
  int level = 0;
  for (const TTreeItem* p = parent_; p && !p->isRoot_; p = p->parent_) ++level;
  return level;
}

TCodeTree::TCodeTree() {
  root_.isRoot_ = true;
  root_.live_ = true;
}

TCodeTree::~TCodeTree() = default;  // the pool frees every item; no recursion

TTreeItem* TCodeTree::NewItem(TTraceFileLine* line) {
  TTreeItem* item;
  if (!free_.empty()) {
    item = free_.back();
    free_.pop_back();
  } else {
    item = &pool_.emplace_back();
  }
  item->line_ = line;
  item->live_ = true;
  item->Cut = item->Expanded = item->Selected = false;
  item->hasRegisters_ = false;
  if (line) {
    ++line->itemCount_;
    line->ownItem_ = item;  // the item added most recently stands for the record
  }
  ++count_;
  return item;
}

void TCodeTree::FreeItem(TTreeItem* item) {
  if (TTraceFileLine* line = item->line_) {
    --line->itemCount_;
    if (line->ownItem_ == item) line->ownItem_ = nullptr;
  }
  item->line_ = nullptr;
  item->parent_ = nullptr;
  std::vector<TTreeItem*>().swap(item->children_);
  item->live_ = false;
  item->Selected = false;
  free_.push_back(item);
  --count_;
}

void TCodeTree::Renumber(TTreeItem* parent, size_t from) {
  auto& c = parent->children_;
  for (size_t i = from; i < c.size(); ++i) {
    c[i]->row_ = static_cast<uint32_t>(i);
    c[i]->parent_ = parent;
  }
}

TTreeItem* TCodeTree::AddChild(TTreeItem* parent, TTraceFileLine* line) {
  TTreeItem* p = parent ? parent : &root_;
  TTreeItem* item = NewItem(line);
  item->parent_ = p;
  item->row_ = static_cast<uint32_t>(p->children_.size());
  p->children_.push_back(item);
  return item;
}

TTreeItem* TCodeTree::AddFirstTopLevel(TTraceFileLine* line) {
  TTreeItem* item = NewItem(line);
  root_.children_.insert(root_.children_.begin(), item);
  Renumber(&root_, 0);
  return item;
}

TTreeItem* TCodeTree::InsertBefore(TTreeItem* sibling, TTraceFileLine* line) {
  TTreeItem* p = sibling->parent_;
  TTreeItem* item = NewItem(line);
  size_t at = sibling->row_;
  p->children_.insert(p->children_.begin() + static_cast<std::ptrdiff_t>(at), item);
  Renumber(p, at);
  return item;
}

void TCodeTree::MoveFollowingTopLevelUnder(TTreeItem* item) {
  auto& top = root_.children_;
  size_t from = static_cast<size_t>(item->row_) + 1;
  if (from >= top.size()) return;
  size_t first = item->children_.size();
  item->children_.insert(item->children_.end(), top.begin() + static_cast<std::ptrdiff_t>(from),
                         top.end());
  top.resize(from);
  Renumber(item, first);
}

bool TCodeTree::IsSelfOrAncestor(const TTreeItem* ancestor, const TTreeItem* item) {
  for (const TTreeItem* p = item; p; p = p->parent_)
    if (p == ancestor) return true;
  return false;
}

void TCodeTree::MoveBefore(const std::vector<TTreeItem*>& items, TTreeItem* target) {
  std::vector<TTreeItem*> moving;
  moving.reserve(items.size());
  std::unordered_set<const TTreeItem*> seen;
  for (TTreeItem* it : items)
    if (it && it->live_ && !IsSelfOrAncestor(it, target) && seen.insert(it).second)
      moving.push_back(it);
  if (moving.empty()) return;
  DetachBatch(moving);
  TTreeItem* p = target->parent_;
  size_t at = target->row_;
  p->children_.insert(p->children_.begin() + static_cast<std::ptrdiff_t>(at), moving.begin(),
                      moving.end());
  Renumber(p, at);
  if (!p->isRoot_) p->Expanded = true;
}

void TCodeTree::MoveAsLastChildren(const std::vector<TTreeItem*>& items, TTreeItem* parent) {
  TTreeItem* p = parent ? parent : &root_;
  std::vector<TTreeItem*> moving;
  moving.reserve(items.size());
  std::unordered_set<const TTreeItem*> seen;
  for (TTreeItem* it : items)
    if (it && it->live_ && !(parent && IsSelfOrAncestor(it, parent)) && seen.insert(it).second)
      moving.push_back(it);
  if (moving.empty()) return;
  DetachBatch(moving);
  size_t first = p->children_.size();
  p->children_.insert(p->children_.end(), moving.begin(), moving.end());
  Renumber(p, first);
  if (!p->isRoot_) p->Expanded = true;
}

// Takes many items out of their parents at once: one compaction per parent, so that a
// selection of 100,000 siblings costs one pass over the sibling list.
void TCodeTree::DetachBatch(const std::vector<TTreeItem*>& items) {
  std::unordered_set<const TTreeItem*> set(items.begin(), items.end());
  std::vector<TTreeItem*> parents;
  for (TTreeItem* it : items) {
    TTreeItem* p = it->parent_;
    if (p && !p->detachMark_) {
      p->detachMark_ = true;
      parents.push_back(p);
    }
  }
  for (TTreeItem* p : parents) {
    auto& c = p->children_;
    c.erase(std::remove_if(c.begin(), c.end(), [&](TTreeItem* x) { return set.count(x) != 0; }),
            c.end());
    Renumber(p, 0);
    p->detachMark_ = false;
  }
  for (TTreeItem* it : items) it->parent_ = nullptr;
}

void TCodeTree::Delete(const std::vector<TTreeItem*>& items,
                       const std::function<void(TTreeItem*)>& gone) {
  std::vector<TTreeItem*> doomed;
  std::unordered_set<const TTreeItem*> seen;
  for (TTreeItem* it : items)
    if (it && it->live_ && !it->isRoot_ && seen.insert(it).second) doomed.push_back(it);
  if (doomed.empty()) return;
  DetachBatch(doomed);
  bool selectionTouched = false;
  std::vector<TTreeItem*> stack;
  for (TTreeItem* top : doomed) {
    stack.push_back(top);
    while (!stack.empty()) {
      TTreeItem* it = stack.back();
      stack.pop_back();
      for (TTreeItem* child : it->children_) stack.push_back(child);
      if (it->Selected) selectionTouched = true;
      if (TTraceFileLine* line = it->line_) {  // the record loses this item before `gone` runs
        --line->itemCount_;
        if (line->ownItem_ == it) line->ownItem_ = nullptr;
      }
      if (gone) gone(it);
      it->line_ = nullptr;
      FreeItem(it);
    }
  }
  if (selectionTouched) std::erase_if(selection_, [](TTreeItem* x) { return !x->live_; });
}

void TCodeTree::Rebind(TTreeItem* item, TTraceFileLine* line) {
  if (TTraceFileLine* old = item->line_) {
    --old->itemCount_;
    if (old->ownItem_ == item) old->ownItem_ = nullptr;
  }
  item->line_ = line;
  if (line) {
    ++line->itemCount_;
    line->ownItem_ = item;
  }
}

void TCodeTree::Clear() {
  for (TTreeItem& it : pool_) {
    if (!it.live_) continue;
    if (TTraceFileLine* line = it.line_) {
      --line->itemCount_;
      if (line->ownItem_ == &it) line->ownItem_ = nullptr;
    }
  }
  root_.children_.clear();
  selection_.clear();
  free_.clear();
  pool_.clear();
  count_ = 0;
}

TTreeItem* TCodeTree::NextInOrder(const TTreeItem* item) const {
  if (!item->children_.empty()) return item->children_.front();
  for (const TTreeItem* it = item; it && !it->isRoot_; it = it->parent_) {
    const TTreeItem* p = it->parent_;
    if (it->row_ + 1 < p->children_.size()) return p->children_[it->row_ + 1];
  }
  return nullptr;
}

TTreeItem* TCodeTree::PrevInOrder(const TTreeItem* item) const {
  const TTreeItem* p = item->parent_;
  if (item->row_ == 0) return p->isRoot_ ? nullptr : const_cast<TTreeItem*>(p);
  TTreeItem* it = p->children_[item->row_ - 1];
  while (!it->children_.empty()) it = it->children_.back();
  return it;
}

TTreeItem* TCodeTree::LastInOrder() const {
  if (root_.children_.empty()) return nullptr;
  TTreeItem* it = root_.children_.back();
  while (!it->children_.empty()) it = it->children_.back();
  return it;
}

TTreeItem* TCodeTree::ItemAt(size_t position) const {
  size_t k = 0;
  for (TTreeItem* it = First(); it; it = NextInOrder(it), ++k)
    if (k == position) return it;
  return nullptr;
}

size_t TCodeTree::PositionOf(const TTreeItem* item) const {
  size_t k = 0;
  for (TTreeItem* it = First(); it; it = NextInOrder(it), ++k)
    if (it == item) return k;
  return static_cast<size_t>(-1);
}

void TCodeTree::Select(TTreeItem* item, bool extend) {
  if (!item) return;
  if (extend && !selection_.empty() && selection_.front()->parent_ != item->parent_) extend = false;
  if (!extend) {
    ClearSelection();
  } else if (item->Selected) {  // Ctrl-click on a selected item takes it out
    item->Selected = false;
    std::erase(selection_, item);
    return;
  }
  item->Selected = true;
  selection_.push_back(item);
}

void TCodeTree::ClearSelection() {
  for (TTreeItem* it : selection_) it->Selected = false;
  selection_.clear();
}

}  // namespace orvanel
