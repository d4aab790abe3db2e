#include "logic/TreePositions.h"

#include <algorithm>
#include <limits>

#include "project/Project.h"

namespace orvanel::nav {

namespace {
constexpr uint32_t kNoBucket = std::numeric_limits<uint32_t>::max();
}

bool ComesBefore(const TTreeItem* a, const TTreeItem* b) {
  if (a == b) return false;
  int levelA = a->Level(), levelB = b->Level();
  for (; levelA > levelB; --levelA)
    if ((a = a->Parent()) == b) return false;  // b holds a
  for (; levelB > levelA; --levelB)
    if ((b = b->Parent()) == a) return true;  // a holds b
  while (a->Parent() != b->Parent()) {
    a = a->Parent();
    b = b->Parent();
  }
  return a->Row() < b->Row();
}

TTreePositions::TTreePositions(TProject& project) {
  const TCodeTree& tree = project.Tree();
  size_t capacity = 64;
  while (capacity < 2 * project.Store().Count()) capacity *= 2;
  slots_.resize(capacity);
  order_.reserve(tree.Count());
  std::vector<uint32_t> bucketOf;  // bucket number of every position
  bucketOf.reserve(tree.Count());
  for (TTreeItem* it = tree.First(); it; it = tree.NextInOrder(it)) {
    order_.push_back(it);
    const TTraceFileLine* line = it->Line();
    uint32_t bucket = kNoBucket;
    if (line) {
      bucket = BucketFor(line);
      ++buckets_[bucket].End;  // counts for now
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
    byOffset_[bucket.Line->Offset()].push_back(b);
    if (bucket.Line->IsFirstLine()) firstLines_.push_back(b);
  }
  struckPerBlock_.assign(order_.size() / kBlock + 2, 0);
}

size_t TTreePositions::StrikeOut(const std::vector<std::pair<size_t, size_t>>& ranges) {
  size_t work = 0;
  std::vector<std::pair<uint32_t, uint32_t>> leaving;  // (bucket, position) of each item
  for (auto [first, last] : ranges) {
    for (size_t p = first; p <= last && p < order_.size(); ++p) {
      ++work;
      TTreeItem*& item = order_[p];
      if (!item) continue;
      if (const TTraceFileLine* line = item->Line()) {
        const Slot& slot = slots_[Probe(line)];
        if (slot.Line) leaving.emplace_back(slot.Bucket, static_cast<uint32_t>(p));
      }
      item = nullptr;
      ++struck_;
      for (size_t b = p / kBlock + 1; b < struckPerBlock_.size(); b += b & (~b + 1))
        ++struckPerBlock_[b];
    }
  }
  // Each bucket loses its positions, the others staying ascending. A loop's line may hold a
  // good part of the tree's positions: they are moved, not read one by one.
  std::sort(leaving.begin(), leaving.end());
  for (size_t i = 0; i < leaving.size();) {
    Bucket& bucket = buckets_[leaving[i].first];
    uint32_t* out = positions_.data() + bucket.Begin;
    uint32_t* in = out;
    uint32_t* end = positions_.data() + bucket.End;
    size_t moved = 0;
    for (; i < leaving.size() && &buckets_[leaving[i].first] == &bucket; ++i) {
      uint32_t* at = std::lower_bound(in, end, leaving[i].second);
      moved += out == in ? 0 : static_cast<size_t>(at - in);
      out = out == in ? at : std::copy(in, at, out);
      in = at + (at != end && *at == leaving[i].second ? 1 : 0);
    }
    moved += static_cast<size_t>(end - in);
    out = std::copy(in, end, out);
    work += moved / 64;
    bucket.End = static_cast<uint32_t>(out - positions_.data());
  }
  return work;
}

size_t TTreePositions::LiveBefore(size_t position) const {
  position = std::min(position, order_.size());
  const size_t block = position / kBlock;
  size_t struck = 0;
  for (size_t b = block; b > 0; b -= b & (~b + 1)) struck += struckPerBlock_[b];
  for (size_t p = block * kBlock; p < position; ++p) struck += order_[p] ? 0 : 1;
  return position - struck;
}

size_t TTreePositions::NthLive(size_t n) const {
  // Down the Fenwick tree: the last block whose predecessors hold at most n live items.
  size_t block = 0, live = 0;
  size_t step = 1;
  while (step * 2 < struckPerBlock_.size()) step *= 2;
  for (; step > 0; step /= 2) {
    const size_t next = block + step;
    if (next >= struckPerBlock_.size()) continue;
    const size_t blockLive = step * kBlock - struckPerBlock_[next];
    if (live + blockLive <= n) {
      block = next;
      live += blockLive;
    }
  }
  size_t p = block * kBlock;
  for (; p < order_.size(); ++p)
    if (order_[p] && live++ == n) break;
  return p;
}

size_t TTreePositions::NextLive(size_t position) const {
  while (position < order_.size() && !order_[position]) ++position;
  return position;
}

size_t TTreePositions::Probe(const TTraceFileLine* line) const {
  const size_t mask = slots_.size() - 1;
  size_t at =
      static_cast<size_t>((reinterpret_cast<uintptr_t>(line) >> 4) * 0x9E3779B97F4A7C15ull) & mask;
  while (slots_[at].Line && slots_[at].Line != line) at = (at + 1) & mask;
  return at;
}

uint32_t TTreePositions::BucketFor(const TTraceFileLine* line) {
  size_t at = Probe(line);
  if (slots_[at].Line) return slots_[at].Bucket;
  if (2 * (buckets_.size() + 1) > slots_.size()) {
    Grow();
    at = Probe(line);
  }
  const auto bucket = static_cast<uint32_t>(buckets_.size());
  buckets_.push_back({line, 0, 0});
  slots_[at] = {line, bucket};
  return bucket;
}

void TTreePositions::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const Slot& slot : old)
    if (slot.Line) slots_[Probe(slot.Line)] = slot;
}

const TTreePositions::Bucket* TTreePositions::BucketOf(const TTraceFileLine* line) const {
  if (!line) return nullptr;
  const Slot& slot = slots_[Probe(line)];
  return slot.Line ? &buckets_[slot.Bucket] : nullptr;
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
      if (bucket.Begin == bucket.End || bucket.Line->OpcodeLen() != length) continue;
      const size_t first = positions_[bucket.Begin];
      if (!best || first < *best) best = first;
    }
  }
  return best;
}

std::optional<size_t> TTreePositions::FirstFirstLine() const {
  std::optional<size_t> best;
  for (uint32_t b : firstLines_) {
    if (buckets_[b].Begin == buckets_[b].End) continue;
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

std::optional<size_t> TTreePositions::PositionOf(const TTreeItem* item) const {
  const Bucket* bucket = item ? BucketOf(item->Line()) : nullptr;
  if (!bucket) return std::nullopt;
  // The record's positions stand in display order: a binary search by the tree's order.
  const uint32_t* begin = positions_.data() + bucket->Begin;
  const uint32_t* end = positions_.data() + bucket->End;
  const uint32_t* at = std::lower_bound(begin, end, item, [this](uint32_t p, const TTreeItem* x) {
    return ComesBefore(order_[p], x);
  });
  if (at == end || order_[*at] != item) return std::nullopt;
  return *at;
}

}  // namespace orvanel::nav
