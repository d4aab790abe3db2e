// The ordered key list of a scope: entries stay in place when removed (tombstones) so that
// every line can find its own entry by position; the tombstones are dropped in bulk.
#include "Scope.h"

#include <algorithm>

#include "TextUtils.h"

namespace orvanel {

namespace {
constexpr size_t kMinTombstonesToCompact = 32;
}

uint32_t TScopedOffsets::Find(std::string_view key) const {
  auto it = byKey_.find(LowerCase(key));
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

uint32_t TScopedOffsets::Append(std::string key, TTraceFileLine* line) {
  const auto pos = static_cast<uint32_t>(entries_.size());
  byKey_[LowerCase(key)].push_back(pos);
  entries_.push_back(Entry{std::move(key), line, true});
  if (live_ == 0) firstLive_ = pos;
  ++live_;
  if (line != nullptr) line->scopeEntry_ = pos;
  return pos;
}

void TScopedOffsets::Remove(uint32_t pos) {
  if (pos >= entries_.size() || !entries_[pos].Live) return;
  Entry& entry = entries_[pos];
  auto it = byKey_.find(LowerCase(entry.Key));
  if (it != byKey_.end()) {
    auto& positions = it->second;
    positions.erase(std::find(positions.begin(), positions.end(), pos));
    if (positions.empty()) byKey_.erase(it);
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

void TScopedOffsets::Clear() {
  entries_.clear();
  byKey_.clear();
  live_ = 0;
  firstLive_ = 0;
}

void TScopedOffsets::CompactIfSparse() {
  const size_t tombstones = entries_.size() - live_;
  if (tombstones < kMinTombstonesToCompact || tombstones <= live_) return;
  std::vector<Entry> kept;
  kept.reserve(live_);
  byKey_.clear();
  for (uint32_t old = 0; old < entries_.size(); ++old) {
    Entry& e = entries_[old];
    if (!e.Live) continue;
    const auto pos = static_cast<uint32_t>(kept.size());
    if (e.Line != nullptr && e.Line->scopeEntry_ == old) e.Line->scopeEntry_ = pos;
    byKey_[LowerCase(e.Key)].push_back(pos);
    kept.push_back(std::move(e));
  }
  entries_ = std::move(kept);
  firstLive_ = 0;
}

}  // namespace orvanel
