// Deleting tree items, and freeing the records that no item shows any more together with
// every reference to them. All of it is done in one batch per deletion, so that deleting a
// hundred thousand nodes costs a few passes, not a pass per node.
#include <algorithm>
#include <functional>
#include <unordered_set>
#include <utility>

#include "project/Project.h"
#include "project/SnesProject.h"

namespace orvanel {

namespace {

// A record going away has no item left; while the batch runs its item count carries this
// mark instead, so that a link to it is known at the cost of one look at the record.
constexpr uint32_t kGoing = UINT32_MAX;

bool Going(const TTraceFileLine* line) {
  return line && line->itemCount_ == kGoing;
}

// Clears the links of every record of the store that point at a record going away.
void ClearLinksTo(const TLineStore& store) {
  for (const auto& owned : store.Lines()) {
    TTraceFileLine* line = owned.get();
    if (Going(line->Successor())) line->SetSuccessor(nullptr);
    if (Going(line->TargetNode())) line->SetTargetNode(nullptr);
    if (Going(line->CacheTwin())) line->SetCacheTwin(nullptr);
    if (Going(line->CacheTwinOf())) line->SetCacheTwinOf(nullptr);
  }
}

// The target offsets under which the records may be listed: a line waits for its target,
// and the target index lists it under its target.
template <typename Map>
std::unordered_set<int64_t> KeysOf(const Map& map, const std::vector<TTraceFileLine*>& lines) {
  std::unordered_set<int64_t> keys;
  for (const TTraceFileLine* line : lines)
    if (map.count(line->TargetOffset())) keys.insert(line->TargetOffset());
  return keys;
}

}  // namespace

void TPendingTargets::ForgetAll(const std::vector<TTraceFileLine*>& lines,
                                const std::function<bool(const TTraceFileLine*)>& going) {
  for (int64_t key : KeysOf(map_, lines)) {
    auto it = map_.find(key);
    count_ -= std::erase_if(it->second, going);
    if (it->second.empty()) map_.erase(it);
  }
}

void TTargetIndex::ForgetAll(const std::vector<TTraceFileLine*>& lines,
                             const std::function<bool(const TTraceFileLine*)>& going) {
  for (int64_t key : KeysOf(map_, lines)) {
    auto it = map_.find(key);
    std::erase_if(it->second, going);
    if (it->second.empty()) map_.erase(it);
  }
}

void TProject::DeleteItems(const std::vector<TTreeItem*>& items) {
  // The nodes as given, without repeats; one given below another goes with the other.
  std::vector<TTreeItem*> tops;
  tops.reserve(items.size());
  for (TTreeItem* item : items)
    if (item && item != tree_.Root()) tops.push_back(item);
  std::sort(tops.begin(), tops.end(), std::less<TTreeItem*>());
  tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
  if (tops.empty()) return;
  auto given = [&](TTreeItem* item) {
    return std::binary_search(tops.begin(), tops.end(), item, std::less<TTreeItem*>());
  };

  TRemoval removal(*this);
  std::vector<TTraceFileLine*> shown;  // the records of the items, once per item
  std::vector<TTreeItem*> stack;
  for (TTreeItem* top : tops) {
    stack.push_back(top);
    while (!stack.empty()) {
      TTreeItem* item = stack.back();
      stack.pop_back();
      removal.Items.push_back(item);
      if (item->Line()) shown.push_back(item->Line());
      for (TTreeItem* child : item->Children())
        if (!given(child)) stack.push_back(child);
    }
  }
  const bool told = !editEvents_.Empty();
  if (told) {
    std::sort(removal.Items.begin(), removal.Items.end(), std::less<TTreeItem*>());
    editEvents_.NotifyItemsGoing(removal);
  }
  tree_.Delete(tops);

  bool lostOwnItem = false;
  for (TTraceFileLine* line : shown) {
    if (line->itemCount_ == 0) {
      line->itemCount_ = kGoing;  // also keeps the record from being taken twice
      removal.Lines.push_back(line);
    } else if (line->itemCount_ != kGoing && !line->ownItem_) {
      lostOwnItem = true;
    }
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

void TProject::FreeRecords(TRemoval& removal) {
  std::vector<TTraceFileLine*>& gone = removal.Lines;
  // In address order the index and the scope lists are walked along, not jumped about in.
  std::vector<std::pair<int64_t, TTraceFileLine*>> byOffset;
  byOffset.reserve(gone.size());
  for (TTraceFileLine* line : gone) byOffset.emplace_back(line->Offset(), line);
  std::sort(byOffset.begin(), byOffset.end());
  for (size_t i = 0; i < gone.size(); ++i) gone[i] = byOffset[i].second;
  for (TTraceFileLine* line : gone) offsetIndex_.Remove(line);
  // Scope entries keep their key without the line; mappings and labels forget it.
  if (scopeManager_)
    for (TTraceFileLine* line : gone) scopeManager_->ForgetLine(line);
  // Pending targets and the target index list lines by target offset: only the lists of
  // the offsets the records going away have are looked at.
  if (!pendingTargets_.Empty()) pendingTargets_.ForgetAll(gone, Going);
  targetIndex_.ForgetAll(gone, Going);
  if (Going(FirstLine)) FirstLine = nullptr;
  // Lines link across the two trees: cache copies to project lines, twins both ways.
  ClearLinksTo(store_);
  if (codeCache_) ClearLinksTo(codeCache_->store_);
  if (cacheOwner_) ClearLinksTo(cacheOwner_->store_);
  for (TTraceFileLine* line : gone) line->itemCount_ = 0;  // the mark has done its work
  if (!editEvents_.Empty()) {
    std::sort(gone.begin(), gone.end(), std::less<TTraceFileLine*>());
    editEvents_.NotifyLinesGone(removal);
  }
  for (TTraceFileLine* line : gone) store_.Remove(line);
}

}  // namespace orvanel
