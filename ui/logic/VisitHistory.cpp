#include "logic/VisitHistory.h"

#include <algorithm>

#include "tree/EditingEvents.h"

namespace orvanel::nav {

void TVisitHistory::SelectionChanged(TTreeItem* item) {
  if (!item) return;
  if (!navigating_) {
    if (entries_.size() >= kLimit) entries_.pop_back();
    entries_.push_front(item);
    pos_ = 0;
  }
  navigating_ = false;
}

TTreeItem* TVisitHistory::Back() {
  if (!CanGoBack()) return nullptr;
  ++pos_;
  navigating_ = true;
  return entries_[pos_];
}

TTreeItem* TVisitHistory::Forward() {
  if (!CanGoForward()) return nullptr;
  --pos_;
  navigating_ = true;
  return entries_[pos_];
}

void TVisitHistory::Forget(const TRemoval& removal) {
  std::deque<TTreeItem*> kept;
  size_t newPos = 0;
  bool posSet = false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (i == pos_ && !posSet) {  // the shown entry, or the next older one that stays
      newPos = kept.size();
      posSet = true;
    }
    if (!removal.HoldsItem(entries_[i])) kept.push_back(entries_[i]);
  }
  entries_.swap(kept);
  pos_ = entries_.empty() ? 0 : std::min(newPos, entries_.size() - 1);
}

void TVisitHistory::Clear() {
  entries_.clear();
  pos_ = 0;
  navigating_ = false;
}

}  // namespace orvanel::nav
