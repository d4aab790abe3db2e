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

TCodeTree::~TCodeTree() {  // the pool frees every item; no recursion
  std::vector<TTreeListener*> listeners;
  listeners.swap(listeners_);
  for (TTreeListener* l : listeners) l->TreeGone();
}

void TCodeTree::AddListener(TTreeListener* listener) {
  if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void TCodeTree::RemoveListener(TTreeListener* listener) {
  std::erase(listeners_, listener);
}

void TCodeTree::BeginRebuild() {
  if (rebuilds_++ == 0) Tell([](TTreeListener& l) { l.TreeResetting(); });
}

void TCodeTree::EndRebuild() {
  if (rebuilds_ > 0 && --rebuilds_ == 0) Tell([](TTreeListener& l) { l.TreeReset(); });
}

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
  InsertRun(p, p->children_.size(), {item});
  return item;
}

void TCodeTree::InsertRun(TTreeItem* parent, size_t at, const std::vector<TTreeItem*>& items) {
  if (items.empty()) return;
  const bool tell = Telling();
  if (tell) {
    Tell([&](TTreeListener& l) { l.ChildrenInserting(Outer(parent), at, at + items.size() - 1); });
  }
  auto& c = parent->children_;
  if (at == c.size() && items.size() == 1) {  // the conversion's case: no renumbering
    items.front()->parent_ = parent;
    items.front()->row_ = static_cast<uint32_t>(at);
    c.push_back(items.front());
  } else {
    c.insert(c.begin() + static_cast<std::ptrdiff_t>(at), items.begin(), items.end());
    Renumber(parent, at);
  }
  if (tell) Tell([&](TTreeListener& l) { l.ChildrenInserted(Outer(parent)); });
}

TTreeItem* TCodeTree::AddFirstTopLevel(TTraceFileLine* line) {
  TTreeItem* item = NewItem(line);
  InsertRun(&root_, 0, {item});
  return item;
}

TTreeItem* TCodeTree::InsertBefore(TTreeItem* sibling, TTraceFileLine* line) {
  TTreeItem* item = NewItem(line);
  InsertRun(sibling->parent_, sibling->row_, {item});
  return item;
}

void TCodeTree::MoveFollowingTopLevelUnder(TTreeItem* item) {
  auto& top = root_.children_;
  size_t from = static_cast<size_t>(item->row_) + 1;
  if (from >= top.size()) return;
  const bool tell = Telling();
  size_t first = item->children_.size();
  if (tell) {
    Tell([&](TTreeListener& l) {
      l.ChildrenMoving(nullptr, TRowRun{from, top.size() - 1}, item, first);
    });
  }
  item->children_.insert(item->children_.end(), top.begin() + static_cast<std::ptrdiff_t>(from),
                         top.end());
  top.resize(from);
  Renumber(item, first);
  if (tell) Tell([](TTreeListener& l) { l.ChildrenMoved(); });
}

void TCodeTree::MoveRun(const std::vector<TTreeItem*>& items, TTreeItem* parent, size_t at) {
  // One contiguous run of one parent, in order, moves as one (a view keeps its open
  // branches); any other set leaves its places run by run and comes back as one run.
  bool oneRun = Telling();
  for (size_t i = 1; oneRun && i < items.size(); ++i)
    oneRun = items[i]->parent_ == items[0]->parent_ && items[i]->row_ == items[i - 1]->row_ + 1;
  TTreeItem* from = items.front()->parent_;
  const size_t first = items.front()->row_, last = items.back()->row_;
  if (oneRun && from == parent && at >= first && at <= last + 1) {  // it stays where it is
    if (!parent->isRoot_) parent->Expanded = true;
    return;
  }
  if (oneRun) {
    Tell([&](TTreeListener& l) {
      l.ChildrenMoving(Outer(from), {first, last}, Outer(parent), at);
    });
    DetachBatch(items, false);
    if (from == parent && at > last) at -= items.size();
    parent->children_.insert(parent->children_.begin() + static_cast<std::ptrdiff_t>(at),
                             items.begin(), items.end());
    Renumber(parent, from == parent ? std::min(at, first) : at);
    if (!parent->isRoot_) parent->Expanded = true;
    Tell([](TTreeListener& l) { l.ChildrenMoved(); });
    return;
  }
  // `at` counted the rows before the move: the place is the item that stood there.
  TTreeItem* before = at < parent->children_.size() ? parent->children_[at] : nullptr;
  DetachBatch(items, true);
  at = before ? before->row_ : parent->children_.size();
  if (!parent->isRoot_) parent->Expanded = true;
  InsertRun(parent, at, items);
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
  MoveRun(moving, target->parent_, target->row_);
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
  MoveRun(moving, p, p->children_.size());
}

// Takes many items out of their parents at once: one compaction per parent, so that a
// selection of 100,000 siblings costs one pass over the sibling list.
// Listeners hear of each parent's runs of leaving children, deepest parents first, so that
// a child leaves its parent while that parent is still in place.
void TCodeTree::DetachBatch(const std::vector<TTreeItem*>& items, bool tell) {
  tell = tell && Telling();
  for (TTreeItem* it : items) it->detachMark_ = true;
  std::vector<TTreeItem*> parents;
  for (TTreeItem* it : items) {
    TTreeItem* p = it->parent_;
    if (p && !p->parentMark_) {
      p->parentMark_ = true;
      parents.push_back(p);
    }
  }
  if (tell && parents.size() > 1) {
    std::vector<std::pair<int, TTreeItem*>> byDepth;
    for (TTreeItem* p : parents) byDepth.emplace_back(p->isRoot_ ? -1 : p->Level(), p);
    std::stable_sort(byDepth.begin(), byDepth.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t i = 0; i < parents.size(); ++i) parents[i] = byDepth[i].second;
  }
  std::vector<TRowRun> runs;
  for (TTreeItem* p : parents) {
    auto& c = p->children_;
    if (tell) {
      runs.clear();
      for (size_t i = 0; i < c.size(); ++i) {
        if (!c[i]->detachMark_) continue;
        if (!runs.empty() && runs.back().Last + 1 == i)
          runs.back().Last = i;
        else
          runs.push_back({i, i});
      }
      Tell([&](TTreeListener& l) { l.ChildrenRemoving(Outer(p), runs); });
    }
    const size_t firstGone = runs.empty() || !tell ? 0 : runs.front().First;
    c.erase(std::remove_if(c.begin() + static_cast<std::ptrdiff_t>(firstGone), c.end(),
                           [](TTreeItem* x) { return x->detachMark_; }),
            c.end());
    Renumber(p, firstGone);
    p->parentMark_ = false;
    if (tell) Tell([&](TTreeListener& l) { l.ChildrenRemoved(Outer(p)); });
  }
  for (TTreeItem* it : items) {
    it->parent_ = nullptr;
    it->detachMark_ = false;
  }
}

void TCodeTree::Delete(const std::vector<TTreeItem*>& items,
                       const std::function<void(TTreeItem*)>& gone) {
  std::vector<TTreeItem*> doomed;
  std::unordered_set<const TTreeItem*> seen;
  for (TTreeItem* it : items)
    if (it && it->live_ && !it->isRoot_ && seen.insert(it).second) doomed.push_back(it);
  if (doomed.empty()) return;
  DetachBatch(doomed, true);
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
  if (selectionTouched) {
    std::erase_if(selection_, [](TTreeItem* x) { return !x->live_; });
    if (Telling()) Tell([](TTreeListener& l) { l.SelectionChanged(); });
  }
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
  const bool tell = Telling();
  if (tell) Tell([](TTreeListener& l) { l.TreeResetting(); });
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
  if (tell) Tell([](TTreeListener& l) { l.TreeReset(); });
}

TTreeItem* TCodeTree::NextInOrder(const TTreeItem* item) const {
  if (!item->children_.empty()) return item->children_.front();
  for (const TTreeItem* it = item; it && !it->isRoot_; it = it->parent_) {
    const TTreeItem* p = it->parent_;
    if (it->row_ + 1 < p->children_.size()) return p->children_[it->row_ + 1];
  }
  return nullptr;
}

TTreeItem* TCodeTree::NextAfterSubtree(const TTreeItem* item) {
  for (const TTreeItem* it = item; it; it = it->Parent())
    if (TTreeItem* next = it->NextSibling()) return next;
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
    for (TTreeItem* it : selection_) it->Selected = false;
    selection_.clear();
  } else if (item->Selected) {  // Ctrl-click on a selected item takes it out
    item->Selected = false;
    std::erase(selection_, item);
    if (Telling()) Tell([](TTreeListener& l) { l.SelectionChanged(); });
    return;
  }
  item->Selected = true;
  selection_.push_back(item);
  if (Telling()) Tell([](TTreeListener& l) { l.SelectionChanged(); });
}

void TCodeTree::ClearSelection() {
  if (selection_.empty()) return;
  for (TTreeItem* it : selection_) it->Selected = false;
  selection_.clear();
  if (Telling()) Tell([](TTreeListener& l) { l.SelectionChanged(); });
}

}  // namespace orvanel
