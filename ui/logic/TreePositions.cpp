#include "logic/TreePositions.h"

#include <algorithm>
#include <limits>

#include "project/Project.h"

namespace orvanel::nav {

namespace {
constexpr uint32_t kNoBucket = std::numeric_limits<uint32_t>::max();
}

TTreePositions::TTreePositions(TProject& project) : project_(project) {
  const auto& store = project.Store().Lines();
  const TCodeTree& tree = project.Tree();
  order_.reserve(tree.Count());
  std::vector<uint32_t> bucketOf;  // bucket number of every position
  bucketOf.reserve(tree.Count());
  buckets_.resize(store.size());
  for (TTreeItem* it = tree.First(); it; it = tree.NextInOrder(it)) {
    order_.push_back(it);
    const TTraceFileLine* line = it->Line();
    uint32_t bucket = kNoBucket;
    if (line) {
      const uint32_t slot = line->storeSlot_;
      if (slot < store.size() && store[slot].get() == line) {
        bucket = slot;
      } else {
        auto [entry, added] = strays_.try_emplace(line, static_cast<uint32_t>(buckets_.size()));
        if (added) buckets_.emplace_back();
        bucket = entry->second;
      }
      ++buckets_[bucket].End;  // counts for now
      buckets_[bucket].Line = line;
    }
    bucketOf.push_back(bucket);
  }
  // Counting sort of the positions by record: each bucket's positions stay ascending.
  uint32_t next = 0;
  for (Bucket& b : buckets_) {
    const uint32_t count = b.End;
    b.Begin = b.End = next;
    next += count;
  }
  positions_.resize(next);
  for (uint32_t p = 0; p < bucketOf.size(); ++p)
    if (bucketOf[p] != kNoBucket) positions_[buckets_[bucketOf[p]].End++] = p;
  for (uint32_t b = 0; b < buckets_.size(); ++b) {
    const Bucket& bucket = buckets_[b];
    if (bucket.Begin == bucket.End) continue;
    byOffset_[bucket.Line->Offset()].push_back(b);
    if (bucket.Line->IsFirstLine()) firstLines_.push_back(b);
  }
}

const TTreePositions::Bucket* TTreePositions::BucketOf(const TTraceFileLine* line) const {
  if (!line) return nullptr;
  const auto& store = project_.Store().Lines();
  const uint32_t slot = line->storeSlot_;
  if (slot < store.size() && slot < buckets_.size() && store[slot].get() == line &&
      buckets_[slot].Line == line)
    return &buckets_[slot];
  auto it = strays_.find(line);
  return it == strays_.end() ? nullptr : &buckets_[it->second];
}

std::optional<size_t> TTreePositions::Nearest(const uint32_t* begin, const uint32_t* end, int step,
                                              size_t start) {
  if (begin == end) return std::nullopt;
  if (step >= 0) {
    const uint32_t* at = std::lower_bound(begin, end, start);
    if (at == end) return std::nullopt;
    return *at;
  }
  const uint32_t* at = std::upper_bound(begin, end, start);
  if (at == begin) return std::nullopt;
  return *(at - 1);
}

std::optional<size_t> TTreePositions::FindByOffset(int step, size_t start, int64_t offset) const {
  if (start >= order_.size()) return std::nullopt;  // the walk starts outside the tree
  auto it = byOffset_.find(offset);
  if (it == byOffset_.end()) return std::nullopt;
  std::optional<size_t> best;
  for (uint32_t b : it->second) {
    const Bucket& bucket = buckets_[b];
    auto found = Nearest(&positions_[bucket.Begin],
                         &positions_[bucket.Begin] + (bucket.End - bucket.Begin), step, start);
    if (found && (!best || (step >= 0 ? *found < *best : *found > *best))) best = found;
  }
  return best;
}

std::optional<size_t> TTreePositions::FirstEndingAt(int64_t end) const {
  // OpcodeLen is one byte, so only the 256 offsets below `end` can hold such a line.
  std::optional<size_t> best;
  for (int length = 0; length <= std::numeric_limits<uint8_t>::max(); ++length) {
    auto it = byOffset_.find(end - length);
    if (it == byOffset_.end()) continue;
    for (uint32_t b : it->second) {
      const Bucket& bucket = buckets_[b];
      if (bucket.Line->OpcodeLen() != length) continue;
      const size_t first = positions_[bucket.Begin];
      if (!best || first < *best) best = first;
    }
  }
  return best;
}

std::optional<size_t> TTreePositions::FirstFirstLine() const {
  std::optional<size_t> best;
  for (uint32_t b : firstLines_) {
    const size_t first = positions_[buckets_[b].Begin];
    if (!best || first < *best) best = first;
  }
  return best;
}

std::optional<size_t> TTreePositions::FirstOf(const TTraceFileLine* line) const {
  const Bucket* bucket = BucketOf(line);
  if (!bucket || bucket->Begin == bucket->End) return std::nullopt;
  return positions_[bucket->Begin];
}

}  // namespace orvanel::nav
