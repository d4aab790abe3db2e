#pragma once
// The positions of the code tree's items as they were worked out once, kept true while the
// tree changes shape: items that leave the tree (deleted, or moved elsewhere) are struck out
// of the positions, and items that come (inserted, pasted, moved in) are noted with their
// subtrees. The items from before keep their order among themselves, so together the two
// answer the gotos' questions for the tree as it stands now, position numbers included,
// without a walk of the whole tree. Past a bound (many items come, or following costs
// as much as working everything out again) the owner works the positions out again.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "logic/GotoWalks.h"
#include "logic/TreePositions.h"

namespace orvanel {
class TCodeTree;
class TProject;
}  // namespace orvanel

namespace orvanel::nav {

class TFollowedPositions {
 public:
  explicit TFollowedPositions(TProject& project);

  const TTreePositions& Base() const { return base_; }
  // Nothing changed since the positions were worked out.
  bool Unchanged() const { return noted_.empty() && base_.StruckOut() == 0; }
  // Whether every change was heard: the items counted agree with the tree's.
  bool Agrees() const;

  // The tree's word of items (the roots of whole subtrees, still in place) about to leave
  // and of items that came. False when the changes can no longer be followed: the items are
  // not where the positions say, too many items came, or following cost as much as working
  // the positions out again.
  bool Leaving(const std::vector<TTreeItem*>& roots);
  bool Came(const std::vector<TTreeItem*>& roots);

  // TTreePositions' questions for the tree as it stands now; undecided only when an item
  // without a line stands in the way.
  TWalkFind FindByOffset(int step, size_t start, int64_t offset) const;
  TWalkFind FirstEndingAt(int64_t end) const;
  TWalkFind FirstFirstLine() const;
  TWalkFind FirstOf(const TTraceFileLine* line) const;

  // At most this many items noted, in at most kMaxRoots subtrees.
  static constexpr size_t kMaxNoted = 50000;
  static constexpr size_t kMaxRoots = 256;

 private:
  using TMatch = std::function<bool(const TTreeItem*)>;
  // The match nearest to `start` in the direction of `step`; `inBase` answers for the items
  // from before, given the position (from before) to look from.
  TWalkFind Find(int step, size_t start, const std::function<std::optional<size_t>(size_t)>& inBase,
                 const TMatch& match) const;
  // How many noted items stand before an item from before.
  size_t NotedBefore(const TTreeItem* item) const;
  // The position now of the item from before at position `position` (from before).
  size_t Now(size_t position) const {
    return base_.LiveBefore(position) + NotedBefore(base_.ItemAt(position));
  }
  // The noted items that match, with their positions now, in display order; none when a
  // position cannot be told.
  std::optional<std::vector<TWalkFind>> NotedMatches(const TMatch& match) const;
  // The items from before that stand before everything after the subtree of `root`.
  std::optional<size_t> LiveBeforeEnd(const TTreeItem* root) const;
  void SortRoots() const;
  // The noted subtree that holds `item`, a noted item that is not a root of its own.
  std::unordered_map<const TTreeItem*, size_t>::iterator OwnerOf(const TTreeItem* item);
  // Whether following has cost less than working the positions out again would (twice over).
  bool WithinBudget() const;

  const TCodeTree& tree_;
  TTreePositions base_;
  std::unordered_set<const TTreeItem*> noted_;
  std::unordered_map<const TTreeItem*, size_t> rootSizes_;  // noted subtrees and their sizes
  size_t work_ = 0;  // spent following changes since the positions were worked out
  // The noted roots in display order and the noted items before each, made when asked.
  mutable std::vector<const TTreeItem*> sortedRoots_;
  mutable std::vector<size_t> notedBeforeRoot_;
  mutable bool rootsSorted_ = false;
};

}  // namespace orvanel::nav
