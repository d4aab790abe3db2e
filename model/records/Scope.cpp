// The ordered key list of a scope: entries stay in place when removed (tombstones) so that
// every line can find its own entry by position; the tombstones are dropped in bulk.
#include "records/Scope.h"

#include <algorithm>

#include "base/TextUtils.h"

namespace orvanel {

namespace {
constexpr size_t kMinTombstonesToCompact = 32;
}

uint32_t TScopedOffsets::Find(std::string_view key) const {
  return FindLower(LowerCase(key));
}

uint32_t TScopedOffsets::FindLower(const std::string& lowerKey) const {
  auto it = byKey_.find(lowerKey);
  if (it == byKey_.end() || it->second.empty()) return npos;
  return it->second.front();
}

uint32_t TScopedOffsets::First() const {
  return live_ == 0 ? npos : static_cast<uint32_t>(firstLive_);
}

std::vector<TScopedOffsets::Entry> TScopedOffsets::LiveEntries() const {
  std::vector<Entry> result;
  result.reserve(live_);
  ForEach([&](const Entry& e) { result.push_back(e); });
  return result;
}

uint32_t TScopedOffsets::Append(std::string key, const std::string& lowerKey,
                                TTraceFileLine* line) {
  const auto pos = static_cast<uint32_t>(entries_.size());
  byKey_[lowerKey].push_back(pos);
  entries_.push_back(Entry{std::move(key), line, true});
  if (live_ == 0) firstLive_ = pos;
  ++live_;
  if (line != nullptr) line->scopeEntry_ = pos;
  return pos;
}

void TScopedOffsets::Remove(uint32_t pos, const std::string& lowerKey) {
  if (pos >= entries_.size() || !entries_[pos].Live) return;
  Entry& entry = entries_[pos];
  auto it = byKey_.find(lowerKey);
  if (it != byKey_.end()) {
    auto& positions = it->second;
    // An emptied entry stays: a line attached again brings the same key straight back.
    positions.erase(std::find(positions.begin(), positions.end(), pos));
  }
  entry.Live = false;
  entry.Line = nullptr;
  entry.Key.clear();
  if (--live_ == 0) {
    Clear();
    return;
  }
  while (!entries_[firstLive_].Live) ++firstLive_;
  CompactIfSparse();
}

bool TScopedOffsets::MoveToEnd(uint32_t pos, const std::string& lowerKey) {
  auto it = byKey_.find(lowerKey);
  if (it == byKey_.end() || it->second.size() != 1 || it->second.front() != pos) return false;
  Entry moved = std::move(entries_[pos]);
  entries_[pos] = Entry{{}, nullptr, false};
  const auto end = static_cast<uint32_t>(entries_.size());
  if (moved.Line != nullptr) moved.Line->scopeEntry_ = end;
  entries_.push_back(std::move(moved));
  it->second.front() = end;
  while (!entries_[firstLive_].Live) ++firstLive_;
  CompactIfSparse();
  return true;
}

void TScopedOffsets::Clear() {
  entries_.clear();
  byKey_.clear();
  live_ = 0;
  firstLive_ = 0;
}

void TScopedOffsets::CompactIfSparse() {
  const size_t tombstones = entries_.size() - live_;
  if (tombstones < kMinTombstonesToCompact || tombstones <= 4 * live_) return;
  std::vector<Entry> kept;
  kept.reserve(live_);
  std::vector<uint32_t> moved(entries_.size(), npos);
  for (uint32_t old = 0; old < entries_.size(); ++old) {
    Entry& e = entries_[old];
    if (!e.Live) continue;
    const auto pos = static_cast<uint32_t>(kept.size());
    moved[old] = pos;
    if (e.Line != nullptr && e.Line->scopeEntry_ == old) e.Line->scopeEntry_ = pos;
    kept.push_back(std::move(e));
  }
  // The key index holds live positions only, in ascending order; moving every entry down
  // keeps that order, so the positions are renumbered where they stand.
  for (auto& [lowerKey, positions] : byKey_)
    for (uint32_t& pos : positions) pos = moved[pos];
  entries_ = std::move(kept);
  firstLive_ = 0;
}

}  // namespace orvanel
