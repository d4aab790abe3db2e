#pragma once
// The code tree's items by absolute position (the running index over all items, parents
// before children) and, for every record, the positions of the items that show it. One walk
// of the tree builds it; afterwards every goto and search step finds an item or a position in
// constant or logarithmic time instead of walking the tree from its first item.
//
// A snapshot: it describes the tree as it stood when it was built. Items that leave the tree
// afterwards (deleted, or moved elsewhere) can be struck out: their positions stay, empty,
// and the items left keep their order, so the positions from before still tell how many of
// them stand before any one (LiveBefore). TNavigationState reads them that way together
// with the items that came since, until it builds them again.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvanel {
class TProject;
class TTraceFileLine;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::nav {

// Whether `a` stands before `b` in display order (a parent before its children), read from
// the tree as it stands now: the depth of the two items, not their number.
bool ComesBefore(const TTreeItem* a, const TTreeItem* b);

class TTreePositions {
 public:
  explicit TTreePositions(TProject& project);
  TTreePositions(const TTreePositions&) = delete;
  TTreePositions& operator=(const TTreePositions&) = delete;

  size_t Count() const { return order_.size(); }
  // The item at a position, or none past the end or where the item was struck out.
  TTreeItem* ItemAt(size_t position) const {
    return position < order_.size() ? order_[position] : nullptr;
  }

  // Strikes out the items at the positions first..last (inclusive ranges); the items must
  // still stand in the tree with their records. Returns the work it took (positions read).
  size_t StrikeOut(const std::vector<std::pair<size_t, size_t>>& ranges);
  size_t StruckOut() const { return struck_; }
  size_t LiveCount() const { return order_.size() - struck_; }
  // How many items not struck out stand below the position.
  size_t LiveBefore(size_t position) const;
  // The position of the n-th item not struck out (from 0); n < LiveCount().
  size_t NthLive(size_t n) const;
  // The first position from `position` on whose item is not struck out; Count() if none.
  size_t NextLive(size_t position) const;

  // The first position from `start` on, moving by `step` (+1 or -1), whose item's line has
  // the offset; none when the walk leaves the tree first.
  std::optional<size_t> FindByOffset(int step, size_t start, int64_t offset) const;
  // The lowest position whose line ends where `end` begins (Offset + OpcodeLen == end).
  std::optional<size_t> FirstEndingAt(int64_t end) const;
  // The lowest position whose line carries IsFirstLine.
  std::optional<size_t> FirstFirstLine() const;
  // The lowest position of an item that shows the record.
  std::optional<size_t> FirstOf(const TTraceFileLine* line) const;
  // The position of an item that stood in the tree when the positions were worked out and
  // still does (not struck out); none for an item without a line or one the positions do not
  // hold.
  std::optional<size_t> PositionOf(const TTreeItem* item) const;

 private:
  struct Bucket {  // the positions of one record's items: positions_[Begin, End), ascending
    // Read only while the bucket holds positions: a record whose items all went may be freed.
    const TTraceFileLine* Line = nullptr;
    uint32_t Begin = 0;
    uint32_t End = 0;
  };
  const Bucket* BucketOf(const TTraceFileLine* line) const;
  // The bucket of a record, found by the record's address alone: in a long trace the records
  // do not fit the processor's caches, and reading each item's record would cost a miss per
  // item. A new record gets a new bucket.
  uint32_t BucketFor(const TTraceFileLine* line);
  size_t Probe(const TTraceFileLine* line) const;
  void Grow();
  // The lowest position of the bucket at or after `start` (step +1) or at or before it (-1).
  static std::optional<size_t> Nearest(const uint32_t* begin, const uint32_t* end, int step,
                                       size_t start);

  struct Slot {  // the record-to-bucket table: open addressing, linear probing
    const TTraceFileLine* Line = nullptr;
    uint32_t Bucket = 0;
  };
  std::vector<TTreeItem*> order_;
  std::vector<uint32_t> positions_;  // every position, grouped by record
  std::vector<Bucket> buckets_;      // in the order the records are first met
  std::vector<Slot> slots_;          // a power of two, at most half full
  std::unordered_map<int64_t, std::vector<uint32_t>> byOffset_;  // offset -> bucket numbers
  std::vector<uint32_t> firstLines_;                             // buckets of IsFirstLine
  // Struck-out items: a Fenwick tree of their count per block of kBlock positions.
  static constexpr size_t kBlock = 64;
  std::vector<uint32_t> struckPerBlock_;
  size_t struck_ = 0;
};

}  // namespace orvanel::nav
