// A scope: its list of line keys and its mappings, with the per-value and per-text maps
// that let a line find its mapping without walking the children.
#include <algorithm>

#include "base/TextUtils.h"
#include "records/Scope.h"

namespace orvanel {

namespace {

template <typename T>
void EraseValue(std::vector<T>& list, const T& value) {
  auto it = std::find(list.begin(), list.end(), value);
  if (it != list.end()) list.erase(it);
}

template <typename Map, typename Key, typename T>
void EraseFromBucket(Map& map, const Key& key, T* value) {
  auto it = map.find(key);
  if (it == map.end()) return;
  EraseValue(it->second, value);
  if (it->second.empty()) map.erase(it);
}

}  // namespace

TScopeNode::TScopeNode(TScopeManager* manager, bool isGlobal, std::string name)
    : manager_(manager), isGlobal_(isGlobal), name_(std::move(name)) {}

// Lines and mappings are not touched here: the manager detaches them before a scope goes
// away while they live on (Abandon), and lines may already be gone when the whole model is.
TScopeNode::~TScopeNode() = default;

// --- the key list --------------------------------------------------------------------------

uint32_t TScopeNode::AddEntry(std::string key, TTraceFileLine* line) {
  const std::string lowerKey = LowerCase(key);
  return AddEntry(std::move(key), lowerKey, line);
}

uint32_t TScopeNode::AddEntry(std::string key, const std::string& lowerKey, TTraceFileLine* line) {
  const uint32_t pos = offsets_.Append(std::move(key), lowerKey, line);
  if (registered_ && manager_ != nullptr) manager_->KeyAdded(this, lowerKey);
  return pos;
}

void TScopeNode::RemoveEntry(uint32_t pos) {
  if (pos >= offsets_.entries_.size() || !offsets_.entries_[pos].Live) return;
  const std::string lowerKey = LowerCase(offsets_.entries_[pos].Key);
  offsets_.Remove(pos, lowerKey);
  if (registered_ && manager_ != nullptr) manager_->KeyRemoved(this, lowerKey);
}

uint32_t TScopeNode::EntryOf(const TTraceFileLine* line) const {
  const uint32_t pos = line->scopeEntry_;
  const auto& entries = offsets_.entries_;
  if (pos < entries.size() && entries[pos].Live && entries[pos].Line == line) return pos;
  return TScopedOffsets::npos;
}

void TScopeNode::AppendScopedOffset(std::string key, TTraceFileLine* line) {
  if (line != nullptr) {
    // A line listed here is a line of this scope, and of no other.
    if (line->scope_ != nullptr) line->scope_->LeaveLine(line);
    line->scope_ = this;
    displaced_.erase(line);
  }
  AddEntry(std::move(key), line);
}

void TScopeNode::EnterLine(TTraceFileLine* line) {
  if (line == nullptr) return;
  displaced_.erase(line);
  std::string key = line->ScopeKey();
  const std::string lowerKey = LowerCase(key);
  const uint32_t pos = offsets_.FindLower(lowerKey);
  if (pos == TScopedOffsets::npos) {
    AddEntry(std::move(key), lowerKey, line);
    return;
  }
  TTraceFileLine* previous = offsets_.entries_[pos].Line;
  if (previous != nullptr && previous != line && previous->scope_ == this)
    displaced_.insert(previous);
  offsets_.SetLine(pos, line);
  line->scopeEntry_ = pos;
}

bool TScopeNode::ReenterLine(TTraceFileLine* line) {
  const uint32_t pos = EntryOf(line);
  if (pos == TScopedOffsets::npos) return false;
  // The key of the line's own entry must be the one EnterLine would give it (a key read
  // from a map file may be written differently); such keys are already in lower case.
  const std::string key = line->ScopeKey();
  if (offsets_.entries_[pos].Key != key || !offsets_.MoveToEnd(pos, key)) return false;
  // The manager's count of this key for this scope stays what it was.
  if (!displaced_.empty()) displaced_.erase(line);
  return true;
}

void TScopeNode::LeaveLine(TTraceFileLine* line) {
  if (line == nullptr) return;
  const uint32_t pos = EntryOf(line);
  if (pos != TScopedOffsets::npos) RemoveEntry(pos);
  displaced_.erase(line);
}

void TScopeNode::ForgetLine(TTraceFileLine* line) {
  if (line == nullptr) return;
  const uint32_t pos = EntryOf(line);
  if (pos != TScopedOffsets::npos) offsets_.SetLine(pos, nullptr);
  displaced_.erase(line);
}

void TScopeNode::MoveLinesTo(TScopeNode* target) {
  if (target == this) return;  // the lines would only travel to the end of their own list
  while (!offsets_.Empty()) {
    const uint32_t pos = offsets_.First();
    TTraceFileLine* line = offsets_.entries_[pos].Line;
    if (line == nullptr) {
      RemoveEntry(pos);
      continue;
    }
    line->AttachScope(target);
    // A line that names another scope than this one does not leave this list by itself.
    const uint32_t first = offsets_.First();
    if (first != TScopedOffsets::npos && offsets_.entries_[first].Line == line) RemoveEntry(first);
  }
}

void TScopeNode::Abandon(TScopeNode* heir) {
  if (heir == this) heir = nullptr;
  auto hand = [&](TTraceFileLine* line) {
    if (line == nullptr || line->scope_ != this) return;
    line->scope_ = heir;
    if (heir != nullptr) heir->displaced_.insert(line);
  };
  for (TTraceFileLine* line : displaced_) hand(line);
  for (const auto& entry : offsets_.entries_)
    if (entry.Live) hand(entry.Line);
  displaced_.clear();
  // The whole list goes at once: its keys leave the manager's index, then the list is
  // emptied (one by one the entries would be renumbered again and again).
  if (registered_ && manager_ != nullptr)
    offsets_.ForEach(
        [&](const TScopedOffsets::Entry& e) { manager_->KeyRemoved(this, LowerCase(e.Key)); });
  offsets_.Clear();
  for (auto& mapping : mappings_) mapping->ClearReferrers();
}

bool TScopeNode::HoldsLine(const TTraceFileLine& line) const {
  return HoldsOffset(line.Offset());
}

bool TScopeNode::HoldsOffset(int64_t offset) const {
  return offsets_.Find(std::to_string(offset)) != TScopedOffsets::npos;
}

TTraceFileLine* TScopeNode::StartLine() const {
  TTraceFileLine* best = nullptr;
  offsets_.ForEach([&](const TScopedOffsets::Entry& e) {
    if (e.Line != nullptr && (best == nullptr || e.Line->Offset() < best->Offset())) best = e.Line;
  });
  return best;
}

TTraceFileLine* TScopeNode::EndLine() const {
  TTraceFileLine* best = nullptr;
  offsets_.ForEach([&](const TScopedOffsets::Entry& e) {
    if (e.Line != nullptr && (best == nullptr || e.Line->Offset() > best->Offset())) best = e.Line;
  });
  return best;
}

// --- the mappings --------------------------------------------------------------------------

TMappingNode* TScopeNode::FindMappingByOffset(int64_t offset) const {
  TMappingNode* match = nullptr;
  if (auto it = byValue_.find(offset); it != byValue_.end() && !it->second.empty())
    match = it->second.front();
  // Walking the children in order, the first one that is no number stops the walk.
  if (!invalid_.empty() && (match == nullptr || invalid_.front()->Sequence() < match->Sequence()))
    invalid_.front()->NumericAddress();  // throws
  return match;
}

TMappingNode* TScopeNode::FindMappingByText(std::string_view text) const {
  auto it = byText_.find(std::string(text));
  if (it == byText_.end() || it->second.empty()) return nullptr;
  return it->second.front();
}

TMappingNode* TScopeNode::AddChild(std::unique_ptr<TMappingNode> mapping) {
  if (!mapping) return nullptr;
  TMappingNode* node = mapping.get();
  node->parent_ = this;
  node->sequence_ = nextChildSequence_++;
  if (auto value = node->TryNumericAddress())
    byValue_[*value].push_back(node);
  else
    invalid_.push_back(node);
  byText_[node->Address()].push_back(node);
  TScopeManager* told = registered_ ? manager_ : nullptr;
  if (told) told->Tell([&](TScopeListener& l) { l.MappingAdding(this, mappings_.size()); });
  mappings_.push_back(std::move(mapping));
  if (told) told->Tell([](TScopeListener& l) { l.MappingAdded(); });
  return node;
}

size_t TScopeNode::RowOf(const TMappingNode* mapping) const {
  auto it = std::find_if(mappings_.begin(), mappings_.end(),
                         [&](const auto& child) { return child.get() == mapping; });
  return static_cast<size_t>(it - mappings_.begin());
}

std::unique_ptr<TMappingNode> TScopeNode::RemoveChild(TMappingNode* mapping) {
  auto it = std::find_if(mappings_.begin(), mappings_.end(),
                         [&](const auto& child) { return child.get() == mapping; });
  if (it == mappings_.end()) return nullptr;
  TScopeManager* told = registered_ ? manager_ : nullptr;
  if (told) {
    const size_t row = static_cast<size_t>(it - mappings_.begin());
    told->Tell([&](TScopeListener& l) { l.MappingRemoving(this, row); });
  }
  std::unique_ptr<TMappingNode> owned = std::move(*it);
  mappings_.erase(it);
  if (told) told->Tell([](TScopeListener& l) { l.MappingRemoved(); });
  if (auto value = mapping->TryNumericAddress())
    EraseFromBucket(byValue_, *value, mapping);
  else
    EraseValue(invalid_, mapping);
  EraseFromBucket(byText_, mapping->Address(), mapping);
  // No index of the manager may keep a node that is about to go away.
  if (registered_ && manager_ != nullptr) manager_->UnindexAddress(mapping);
  mapping->parent_ = nullptr;
  return owned;
}

}  // namespace orvanel
