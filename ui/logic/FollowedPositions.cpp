#include "logic/FollowedPositions.h"

#include <algorithm>

#include "project/Project.h"

namespace orvanel::nav {

namespace {

constexpr TWalkFind kNoneThere{true, nullptr, 0};

}  // namespace

TFollowedPositions::TFollowedPositions(TProject& project) : tree_(project.Tree()), base_(project) {}

bool TFollowedPositions::Agrees() const {
  return base_.LiveCount() + noted_.size() == tree_.Count();
}

std::unordered_map<const TTreeItem*, size_t>::iterator TFollowedPositions::OwnerOf(
    const TTreeItem* item) {
  for (const TTreeItem* p = item->Parent(); p; p = p->Parent())
    if (auto owner = rootSizes_.find(p); owner != rootSizes_.end()) return owner;
  return rootSizes_.end();
}

bool TFollowedPositions::WithinBudget() const {
  return work_ <= 2 * base_.Count() + 4096;
}

bool TFollowedPositions::Leaving(const std::vector<TTreeItem*>& roots) {
  rootsSorted_ = false;
  std::vector<std::pair<size_t, size_t>> ranges;
  for (const TTreeItem* root : roots) {
    const TTreeItem* end = TCodeTree::NextAfterSubtree(root);
    if (noted_.count(root)) {  // a noted subtree leaves: it only needs forgetting
      size_t count = 0;
      for (const TTreeItem* item = root; item != end; item = tree_.NextInOrder(item), ++count)
        noted_.erase(item);
      work_ += count;
      if (rootSizes_.erase(root) == 0)
        if (auto owner = OwnerOf(root); owner != rootSizes_.end()) owner->second -= count;
      continue;
    }
    // An item from before: its subtree's items from before hold the next live positions,
    // in display order; the noted subtrees within it are forgotten.
    const std::optional<size_t> first = base_.PositionOf(root);
    if (!first) return false;
    size_t last = *first;
    for (const TTreeItem* item = tree_.NextInOrder(root); item != end;
         item = tree_.NextInOrder(item)) {
      ++work_;
      if (noted_.erase(item)) {
        rootSizes_.erase(item);
        continue;
      }
      last = base_.NextLive(last + 1);
      if (base_.ItemAt(last) != item) return false;
    }
    ranges.emplace_back(*first, last);
  }
  work_ += base_.StrikeOut(ranges);
  return WithinBudget();
}

bool TFollowedPositions::Came(const std::vector<TTreeItem*>& roots) {
  rootsSorted_ = false;
  for (const TTreeItem* root : roots) {
    if (noted_.count(root)) return false;  // a change was not heard
    const TTreeItem* end = TCodeTree::NextAfterSubtree(root);
    size_t count = 0;
    for (const TTreeItem* item = root; item != end; item = tree_.NextInOrder(item), ++count) {
      noted_.insert(item);
      if (noted_.size() > kMaxNoted) return false;  // a large subtree stops at the bound
    }
    work_ += count;
    const TTreeItem* parent = root->Parent();
    if (!parent || !noted_.count(parent))
      rootSizes_[root] = count;
    else if (auto owner = OwnerOf(root); owner != rootSizes_.end())  // in a noted subtree
      owner->second += count;
  }
  return rootSizes_.size() <= kMaxRoots && WithinBudget();
}

void TFollowedPositions::SortRoots() const {
  if (rootsSorted_) return;
  sortedRoots_.clear();
  for (const auto& [root, size] : rootSizes_) sortedRoots_.push_back(root);
  std::sort(sortedRoots_.begin(), sortedRoots_.end(), ComesBefore);
  notedBeforeRoot_.assign(1, 0);
  for (const TTreeItem* root : sortedRoots_)
    notedBeforeRoot_.push_back(notedBeforeRoot_.back() + rootSizes_.at(root));
  rootsSorted_ = true;
}

size_t TFollowedPositions::NotedBefore(const TTreeItem* item) const {
  if (noted_.empty()) return 0;
  SortRoots();
  // An item from before stands outside every noted subtree: a whole subtree is before it
  // or after it.
  const auto after =
      std::partition_point(sortedRoots_.begin(), sortedRoots_.end(),
                           [item](const TTreeItem* root) { return ComesBefore(root, item); });
  return notedBeforeRoot_[static_cast<size_t>(after - sortedRoots_.begin())];
}

std::optional<size_t> TFollowedPositions::LiveBeforeEnd(const TTreeItem* root) const {
  // The next item from before after the subtree; noted subtrees in between are skipped.
  const TTreeItem* next = TCodeTree::NextAfterSubtree(root);
  while (next && noted_.count(next)) next = TCodeTree::NextAfterSubtree(next);
  if (!next) return base_.LiveCount();
  const std::optional<size_t> position = base_.PositionOf(next);
  if (!position) return std::nullopt;
  return base_.LiveBefore(*position);
}

std::optional<std::vector<TWalkFind>> TFollowedPositions::NotedMatches(const TMatch& match) const {
  std::vector<TWalkFind> found;
  if (std::none_of(noted_.begin(), noted_.end(), match)) return found;
  SortRoots();
  for (size_t r = 0; r < sortedRoots_.size(); ++r) {
    const TTreeItem* root = sortedRoots_[r];
    const TTreeItem* end = TCodeTree::NextAfterSubtree(root);
    std::optional<size_t> liveBefore;
    size_t index = 0;
    for (const TTreeItem* item = root; item != end; item = tree_.NextInOrder(item), ++index) {
      if (!match(item)) continue;
      if (!liveBefore && !(liveBefore = LiveBeforeEnd(root))) return std::nullopt;
      found.push_back(
          {true, const_cast<TTreeItem*>(item), *liveBefore + notedBeforeRoot_[r] + index});
    }
  }
  return found;
}

TWalkFind TFollowedPositions::Find(int step, size_t start,
                                   const std::function<std::optional<size_t>(size_t)>& inBase,
                                   const TMatch& match) const {
  const size_t live = base_.LiveCount();
  if (start >= live + noted_.size()) return kNoneThere;  // the walk starts outside the tree
  std::optional<TWalkFind> best;
  auto better = [&](const TWalkFind& candidate) {
    return !best ||
           (step >= 0 ? candidate.Position < best->Position : candidate.Position > best->Position);
  };
  if (live > 0) {
    // The items from before to look from: in the direction of the walk, the first whose
    // position now is at `start` or beyond it. Positions now grow with the rank.
    std::optional<size_t> rank;
    if (noted_.empty() || (step >= 0 && start == 0)) {
      rank = start;
    } else {
      auto now = [this](size_t k) { return Now(base_.NthLive(k)); };
      size_t lo = 0, hi = live;
      while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (step >= 0 ? now(mid) >= start : now(mid) > start)
          hi = mid;
        else
          lo = mid + 1;
      }
      if (step >= 0 && lo < live) rank = lo;
      if (step < 0 && lo > 0) rank = lo - 1;
    }
    if (rank)
      if (const std::optional<size_t> at = inBase(base_.NthLive(*rank)))
        best = TWalkFind{true, base_.ItemAt(*at), Now(*at)};
  }
  const auto noted = NotedMatches(match);
  if (!noted) return {};
  for (const TWalkFind& candidate : *noted)
    if ((step >= 0 ? candidate.Position >= start : candidate.Position <= start) &&
        better(candidate))
      best = candidate;
  return best ? *best : kNoneThere;
}

TWalkFind TFollowedPositions::FindByOffset(int step, size_t start, int64_t offset) const {
  return Find(
      step, start, [&](size_t from) { return base_.FindByOffset(step, from, offset); },
      [offset](const TTreeItem* item) { return ShowsOffset(item, offset); });
}

TWalkFind TFollowedPositions::FirstEndingAt(int64_t end) const {
  return Find(
      1, 0, [&](size_t) { return base_.FirstEndingAt(end); },
      [end](const TTreeItem* item) { return EndsAt(item, end); });
}

TWalkFind TFollowedPositions::FirstFirstLine() const {
  return Find(
      1, 0, [&](size_t) { return base_.FirstFirstLine(); }, ShowsFirstLine);
}

TWalkFind TFollowedPositions::FirstOf(const TTraceFileLine* line) const {
  if (!line) return kNoneThere;
  return Find(
      1, 0, [&](size_t) { return base_.FirstOf(line); },
      [line](const TTreeItem* item) { return item->Line() == line; });
}

}  // namespace orvanel::nav
