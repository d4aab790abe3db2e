// Deleting tree items, and freeing the records that no item shows any more together with
// every reference to them. All of it is done in one batch per deletion, so that deleting a
// hundred thousand nodes costs a few passes, not a pass per node.
#include <algorithm>
#include <unordered_set>

#include "Project.h"
#include "SnesProject.h"

namespace orvanel {

namespace {

using TLineSet = std::unordered_set<TTraceFileLine*>;

// Clears the links of every record of the store that point at a record going away.
void ClearLinksTo(const TLineStore& store, const TLineSet& gone) {
  auto going = [&](TTraceFileLine* line) { return line && gone.count(line) != 0; };
  for (const auto& owned : store.Lines()) {
    TTraceFileLine* line = owned.get();
    if (going(line->Successor())) line->SetSuccessor(nullptr);
    if (going(line->TargetNode())) line->SetTargetNode(nullptr);
    if (going(line->CacheTwin())) line->SetCacheTwin(nullptr);
    if (going(line->CacheTwinOf())) line->SetCacheTwinOf(nullptr);
  }
}

}  // namespace

void TPendingTargets::ForgetAll(const std::unordered_set<TTraceFileLine*>& lines) {
  if (map_.empty() || lines.empty()) return;
  // A branch waits under its own target offset: only those keys need to be looked at.
  std::unordered_set<int64_t> keys;
  for (TTraceFileLine* line : lines)
    if (map_.count(line->TargetOffset())) keys.insert(line->TargetOffset());
  for (int64_t key : keys) {
    auto it = map_.find(key);
    count_ -= std::erase_if(it->second, [&](TTraceFileLine* l) { return lines.count(l) != 0; });
    if (it->second.empty()) map_.erase(it);
  }
}

void TTargetIndex::ForgetAll(const std::unordered_set<TTraceFileLine*>& lines) {
  if (map_.empty() || lines.empty()) return;
  std::unordered_set<int64_t> keys;
  for (TTraceFileLine* line : lines)
    if (map_.count(line->TargetOffset())) keys.insert(line->TargetOffset());
  for (int64_t key : keys) {
    auto it = map_.find(key);
    std::erase_if(it->second, [&](TTraceFileLine* l) { return lines.count(l) != 0; });
    if (it->second.empty()) map_.erase(it);
  }
}

void TProject::DeleteItems(const std::vector<TTreeItem*>& items) {
  TRemoval removal(*this);
  // Every item that goes, and the records they show (a record once per item).
  std::vector<TTraceFileLine*> shown;
  std::vector<TTreeItem*> stack;
  for (TTreeItem* top : items) {
    if (!top || top == tree_.Root()) continue;
    stack.push_back(top);
    while (!stack.empty()) {
      TTreeItem* item = stack.back();
      stack.pop_back();
      // An item met again (a node given twice, or one below another given node) has been
      // gathered with its subtree already.
      if (!removal.Items.insert(item).second) continue;
      if (item->Line()) shown.push_back(item->Line());
      for (TTreeItem* child : item->Children()) stack.push_back(child);
    }
  }
  if (removal.Items.empty()) return;

  editEvents_.NotifyItemsGoing(removal);
  tree_.Delete(items);

  bool lostOwnItem = false;
  for (TTraceFileLine* line : shown) {
    if (line->itemCount_ == 0)
      removal.Lines.insert(line);
    else if (!line->ownItem_)
      lostOwnItem = true;
  }
  // A record that is still shown but lost the item that stood for it takes one of the
  // others (the first in display order).
  if (lostOwnItem) {
    tree_.ForEach([](TTreeItem* item) {
      if (TTraceFileLine* line = item->Line(); line && !line->ownItem_) line->ownItem_ = item;
    });
  }
  if (!removal.Lines.empty()) FreeRecords(removal);
}

void TProject::FreeRecords(const TRemoval& removal) {
  const TLineSet& gone = removal.Lines;
  for (TTraceFileLine* line : gone) {
    offsetIndex_.Remove(line);
    // Scope entries keep their key without the line; mappings and labels forget it.
    if (scopeManager_) scopeManager_->ForgetLine(line);
  }
  pendingTargets_.ForgetAll(gone);
  targetIndex_.ForgetAll(gone);
  if (FirstLine && gone.count(FirstLine)) FirstLine = nullptr;
  // Lines link across the two trees: cache copies to project lines, twins both ways.
  ClearLinksTo(store_, gone);
  if (codeCache_) ClearLinksTo(codeCache_->store_, gone);
  if (cacheOwner_) ClearLinksTo(cacheOwner_->store_, gone);
  editEvents_.NotifyLinesGone(removal);
  for (TTraceFileLine* line : gone) store_.Remove(line);
}

}  // namespace orvanel
