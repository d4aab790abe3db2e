#include "logic/FollowedPositions.h"

#include <algorithm>

#include "project/Project.h"

namespace orvanel::nav {

namespace {

// Every item of the subtree in display order, the root first.
template <typename Visit>
void ForSubtree(const TTreeItem* root, Visit visit) {
  std::vector<const TTreeItem*> pending{root};
  while (!pending.empty()) {
    const TTreeItem* item = pending.back();
    pending.pop_back();
    visit(item);
    const auto& children = item->Children();
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

// The item that follows the whole subtree of `item` in display order.
const TTreeItem* NextAfterSubtree(const TTreeItem* item) {
  for (; item; item = item->Parent())
    if (const TTreeItem* next = item->NextSibling()) return next;
  return nullptr;
}

constexpr TWalkFind kNoneThere{true, nullptr, 0};

}  // namespace

TFollowedPositions::TFollowedPositions(TProject& project) : tree_(project.Tree()), base_(project) {}

bool TFollowedPositions::Agrees() const {
  return base_.LiveCount() + noted_.size() == tree_.Count();
}

bool TFollowedPositions::Leaving(const std::vector<TTreeItem*>& roots) {
  rootsSorted_ = false;
  std::vector<std::pair<size_t, size_t>> ranges;
  for (const TTreeItem* root : roots) {
    if (noted_.count(root)) {  // a noted subtree leaves: it only needs forgetting
      size_t count = 0;
      ForSubtree(root, [&](const TTreeItem* item) {
        noted_.erase(item);
        ++count;
      });
      work_ += count;
      if (rootSizes_.erase(root) == 0)
        for (const TTreeItem* p = root->Parent(); p; p = p->Parent())
          if (auto owner = rootSizes_.find(p); owner != rootSizes_.end()) {
            owner->second -= count;
            break;
          }
      continue;
    }
    // An item from before: its subtree's items from before hold the next live positions,
    // in display order; the noted subtrees within it are forgotten.
    const std::optional<size_t> first = base_.PositionOf(root);
    if (!first) return false;
    size_t last = *first;
    bool inPlace = true;
    ForSubtree(root, [&](const TTreeItem* item) {
      if (item == root || !inPlace) return;
      ++work_;
      if (noted_.erase(item)) {
        rootSizes_.erase(item);
        return;
      }
      last = base_.NextLive(last + 1);
      inPlace = base_.ItemAt(last) == item;
    });
    if (!inPlace) return false;
    ranges.emplace_back(*first, last);
  }
  work_ += base_.StrikeOut(ranges);
  return work_ <= 2 * base_.Count() + 4096;
}

bool TFollowedPositions::Came(const std::vector<TTreeItem*>& roots) {
  rootsSorted_ = false;
  std::vector<const TTreeItem*> pending;
  for (const TTreeItem* root : roots) {
    if (noted_.count(root)) return false;  // a change was not heard
    size_t count = 0;
    pending.assign(1, root);
    while (!pending.empty()) {  // a large subtree stops the noting at the bound
      const TTreeItem* item = pending.back();
      pending.pop_back();
      noted_.insert(item);
      ++count;
      if (noted_.size() > kMaxNoted) return false;
      pending.insert(pending.end(), item->Children().begin(), item->Children().end());
    }
    work_ += count;
    const TTreeItem* parent = root->Parent();
    if (!parent || !noted_.count(parent)) {
      rootSizes_[root] = count;
      continue;
    }
    for (const TTreeItem* p = parent; p; p = p->Parent())  // inside a noted subtree
      if (auto owner = rootSizes_.find(p); owner != rootSizes_.end()) {
        owner->second += count;
        break;
      }
  }
  return noted_.size() <= kMaxNoted && rootSizes_.size() <= kMaxRoots &&
         work_ <= 2 * base_.Count() + 4096;
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
  const TTreeItem* next = NextAfterSubtree(root);
  while (next && noted_.count(next)) next = NextAfterSubtree(next);
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
    std::optional<size_t> liveBefore;
    size_t index = 0;
    bool told = true;
    ForSubtree(sortedRoots_[r], [&](const TTreeItem* item) {
      if (told && match(item)) {
        if (!liveBefore) liveBefore = LiveBeforeEnd(sortedRoots_[r]);
        if (!liveBefore) {
          told = false;
          return;
        }
        found.push_back(
            {true, const_cast<TTreeItem*>(item), *liveBefore + notedBeforeRoot_[r] + index});
      }
      ++index;
    });
    if (!told) return std::nullopt;
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
