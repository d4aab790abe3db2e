#include "tree/OffsetIndex.h"

#include <iterator>
#include <list>
#include <set>
#include <tuple>
#include <utility>

// The index is an ordered list in which the address-ordered records ("owners") stand in
// ascending Offset and comment records stand wherever the search put them. Every owner owns
// the run of comment records standing just before it (its gap); the run after the last owner
// is the tail gap. Owners live in a map by offset, so the search is a map look-up. Inserting
// never reorders existing entries: a new owner takes over the gap of the owner it is placed
// before, and a new comment goes to the end of that gap. A place in the list is therefore
// (gap's owner offset, sequence number within the gap), which stays comparable as gaps are
// handed on or merged.

namespace orvanel {

struct TOffsetIndex::Impl {
  struct Entry;
  using OwnerMap = std::map<int64_t, Entry*>;

  struct Gap {
    bool tail = false;  // the gap after the last owner
    int64_t key = 0;    // offset of the owner the gap stands before
    std::list<Entry*> items;
  };

  struct Entry {
    TTraceFileLine* line = nullptr;
    int64_t offset = 0;  // the record's Offset when it was registered
    bool owner = false;
    std::unique_ptr<Gap> ownGap;  // owners: the comments standing before it (none: empty)
    Gap* gap = nullptr;           // comments: the gap it stands in
    int64_t seq = 0;              // comments: rank within the gap
    std::list<Entry*>::iterator where;
    OwnerMap::iterator self;  // owners: its place in the map (no search to remove it)
  };

  struct ListOrder {
    bool operator()(const Entry* a, const Entry* b) const {
      return std::tie(a->gap->tail, a->gap->key, a->seq) <
             std::tie(b->gap->tail, b->gap->key, b->seq);
    }
  };

  explicit Impl(std::function<bool(int32_t)> fallsThroughFn)
      : fallsThrough(std::move(fallsThroughFn)) {
    if (!fallsThrough) fallsThrough = [](int32_t) { return false; };
  }

  std::function<bool(int32_t)> fallsThrough;
  OwnerMap owners;
  // The owners' records again, for the exact look-ups (most calls) without a walk down the
  // ordered map.
  std::unordered_map<int64_t, TTraceFileLine*> ownerAt;
  std::unique_ptr<Gap> tailGap;  // none while empty, as every owner's gap
  // Comment entries by offset, in list order (the first answers a look-up). Few offsets:
  // comments from log text all have offset 0.
  std::unordered_map<int64_t, std::set<Entry*, ListOrder>> commentsAt;
  // Every entry by record; a comment record registered twice stands in the list twice.
  // The entries live in the nodes of this map, which never move.
  std::unordered_multimap<const TTraceFileLine*, Entry> entries;

  static std::unique_ptr<Gap> NewTailGap() {
    auto gap = std::make_unique<Gap>();
    gap->tail = true;
    return gap;
  }

  static std::unique_ptr<Gap> NewGap(int64_t key) {
    auto gap = std::make_unique<Gap>();
    gap->key = key;
    return gap;
  }

  // The holder of the gap that stands before `it` (the tail gap at the end). Most gaps
  // stay empty, so a gap is only made when something goes into it.
  std::unique_ptr<Gap>& GapBefore(OwnerMap::iterator it) {
    return it == owners.end() ? tailGap : it->second->ownGap;
  }

  std::unique_ptr<Gap>& MadeGapBefore(OwnerMap::iterator it) {
    std::unique_ptr<Gap>& holder = GapBefore(it);
    if (!holder) holder = it == owners.end() ? NewTailGap() : NewGap(it->first);
    return holder;
  }

  static void AppendTo(Gap& gap, Entry* entry) {
    entry->seq = gap.items.empty() ? 0 : gap.items.back()->seq + 1;
    if (entry->gap != nullptr) {
      gap.items.splice(gap.items.end(), entry->gap->items, entry->where);
    } else {
      entry->where = gap.items.insert(gap.items.end(), entry);
    }
    entry->gap = &gap;
  }

  static void PrependTo(Gap& gap, Entry* entry) {
    entry->seq = gap.items.empty() ? 0 : gap.items.front()->seq - 1;
    if (entry->gap != nullptr) {
      gap.items.splice(gap.items.begin(), entry->gap->items, entry->where);
    } else {
      entry->where = gap.items.insert(gap.items.begin(), entry);
    }
    entry->gap = &gap;
  }

  // Joins front, then middle (an entry in no gap, or none), then the gap held by `back`
  // into one gap left in `back`. The smaller side is moved, so that an entry is moved
  // O(log n) times over the index's life. Entries are moved one by one from the side
  // facing the other gap, so list order stays consistent at every step. `front` may be none
  // (empty); `back` must be a gap when there is anything to join.
  static void Merge(std::unique_ptr<Gap> front, Entry* middle, std::unique_ptr<Gap>& back) {
    if (!front) {
      if (middle != nullptr) PrependTo(*back, middle);
      return;
    }
    if (front->items.size() >= back->items.size()) {
      if (middle != nullptr) AppendTo(*front, middle);
      while (!back->items.empty()) AppendTo(*front, back->items.front());
      front->tail = back->tail;
      front->key = back->key;
      back = std::move(front);
    } else {
      if (middle != nullptr) PrependTo(*back, middle);
      while (!front->items.empty()) PrependTo(*back, front->items.back());
    }
  }

  // An owner that became a comment after it was registered (a branch whose displacement
  // does not convert) is skipped by the search from then on: it joins the gap after it.
  OwnerMap::iterator Demote(OwnerMap::iterator it) {
    Entry* entry = it->second;
    const auto next = owners.erase(it);
    entry->owner = false;
    Merge(std::move(entry->ownGap), entry, MadeGapBefore(next));
    ownerAt.erase(entry->offset);
    commentsAt[entry->offset].insert(entry);
    return next;
  }

  Entry* NewEntry(TTraceFileLine* line) {
    Entry* entry = &entries
                        .emplace(std::piecewise_construct, std::forward_as_tuple(line),
                                 std::forward_as_tuple())
                        ->second;
    entry->line = line;
    entry->offset = line->Offset();
    return entry;
  }

  void AddOwner(TTraceFileLine* line, OwnerMap::iterator stop) {
    Entry* entry = NewEntry(line);
    entry->owner = true;
    // The comments before the stop owner now stand between its predecessor and the line.
    entry->ownGap = std::move(GapBefore(stop));  // leaves the stop owner's gap empty
    if (entry->ownGap) {
      entry->ownGap->tail = false;
      entry->ownGap->key = entry->offset;
    }
    entry->self = owners.emplace_hint(stop, entry->offset, entry);
    ownerAt.emplace(entry->offset, line);
  }

  void AddComment(TTraceFileLine* line, Gap& gap) {
    Entry* entry = NewEntry(line);
    AppendTo(gap, entry);
    commentsAt[entry->offset].insert(entry);
  }

  static bool Adjacent(const TTraceFileLine& first, const TTraceFileLine& second) {
    // Wrapping 64-bit sum: an offset near the top of the range is no error.
    return static_cast<uint64_t>(first.Offset()) + first.OpcodeLen() ==
           static_cast<uint64_t>(second.Offset());
  }

  // Links a line just inserted between `before` and `after` (either may be none).
  void Link(TTraceFileLine& line, TTraceFileLine* before, TTraceFileLine* after) {
    if (before == nullptr) {
      // At the front the following record is taken as it is, adjacent or not.
      if (after != nullptr) line.SetSuccessor(after);
      return;
    }
    if (fallsThrough(before->OpcodeVal())) {
      if (Adjacent(*before, line)) before->SetSuccessor(&line);
      if (before->TargetOffset() == line.Offset()) before->SetTargetNode(&line);
    }
    if (after != nullptr && fallsThrough(line.OpcodeVal())) {
      if (Adjacent(line, *after)) line.SetSuccessor(after);
      if (after->Offset() == line.TargetOffset()) line.SetTargetNode(after);
    }
  }

  TTraceFileLine* Register(TTraceFileLine* line) {
    if (line == nullptr) return nullptr;
    const int64_t offset = line->Offset();
    const auto known = ownerAt.find(offset);
    if (known != ownerAt.end() && !known->second->IsComment()) return known->second;
    // The first owner at or above the offset that is not a comment stops the search.
    auto stop = owners.lower_bound(offset);
    while (stop != owners.end() && stop->second->line->IsComment()) stop = Demote(stop);
    if (stop != owners.end() && stop->first == offset) return stop->second->line;

    const Gap* gap = GapBefore(stop).get();
    TTraceFileLine* before = nullptr;
    if (gap != nullptr && !gap->items.empty()) {
      before = gap->items.back()->line;
    } else if (stop != owners.begin()) {
      before = std::prev(stop)->second->line;
    }
    TTraceFileLine* after = stop == owners.end() ? nullptr : stop->second->line;

    if (line->IsComment()) {
      AddComment(line, *MadeGapBefore(stop));
    } else {
      AddOwner(line, stop);
    }
    Link(*line, before, after);
    return line;
  }

  TTraceFileLine* Find(int64_t offset) const {
    const auto owner = ownerAt.find(offset);
    const auto comments = commentsAt.find(offset);
    if (comments == commentsAt.end()) return owner == ownerAt.end() ? nullptr : owner->second;
    const Entry* comment = *comments->second.begin();
    if (owner == ownerAt.end()) return comment->line;
    // A comment stands before the owner when its gap is the owner's own or an earlier one.
    const bool commentFirst = !comment->gap->tail && comment->gap->key <= offset;
    return commentFirst ? comment->line : owner->second;
  }

  void RemoveEntry(Entry* entry) {
    if (entry->owner) {
      ownerAt.erase(entry->offset);
      const auto next = owners.erase(entry->self);
      if (entry->ownGap && !entry->ownGap->items.empty())
        Merge(std::move(entry->ownGap), nullptr, MadeGapBefore(next));
      return;
    }
    const auto comments = commentsAt.find(entry->offset);
    comments->second.erase(entry);
    if (comments->second.empty()) commentsAt.erase(comments);
    entry->gap->items.erase(entry->where);
  }

  void Remove(const TTraceFileLine* line) {
    const auto [first, last] = entries.equal_range(line);
    for (auto it = first; it != last; ++it) RemoveEntry(&it->second);
    entries.erase(first, last);
  }

  void Clear() {
    commentsAt.clear();
    ownerAt.clear();
    owners.clear();
    entries.clear();
    tailGap.reset();
  }

  std::vector<TTraceFileLine*> InOrder() const {
    std::vector<TTraceFileLine*> result;
    result.reserve(entries.size());
    for (const auto& [offset, owner] : owners) {
      if (owner->ownGap)
        for (const Entry* comment : owner->ownGap->items) result.push_back(comment->line);
      result.push_back(owner->line);
    }
    if (tailGap)
      for (const Entry* comment : tailGap->items) result.push_back(comment->line);
    return result;
  }
};

TOffsetIndex::TOffsetIndex(std::function<bool(int32_t)> fallsThrough)
    : impl_(std::make_unique<Impl>(std::move(fallsThrough))) {}

TOffsetIndex::~TOffsetIndex() = default;

TTraceFileLine* TOffsetIndex::Register(TTraceFileLine* line) {
  return impl_->Register(line);
}

TTraceFileLine* TOffsetIndex::Find(int64_t offset) const {
  return impl_->Find(offset);
}

void TOffsetIndex::Remove(TTraceFileLine* line) {
  impl_->Remove(line);
}

void TOffsetIndex::Clear() {
  impl_->Clear();
}

size_t TOffsetIndex::Count() const {
  return impl_->entries.size();
}

std::vector<TTraceFileLine*> TOffsetIndex::InOrder() const {
  return impl_->InOrder();
}

}  // namespace orvanel
