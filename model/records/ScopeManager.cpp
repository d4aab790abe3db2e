// The scope manager: the tree of scopes and their mappings, the index of scopes by name,
// the index of mappings by address text, and which scopes list which line keys.
#include <algorithm>

#include "base/TextUtils.h"
#include "records/Scope.h"

namespace orvanel {

namespace {

constexpr const char* kGlobalName = "Global";

}  // namespace

TScopeManager::TScopeManager() = default;

// Freeing the model touches no line: lines that outlive it must be detached first (Clear).
TScopeManager::~TScopeManager() {
  std::vector<TScopeListener*> listeners;
  listeners.swap(listeners_);
  for (TScopeListener* l : listeners) l->ManagerGone();
}

void TScopeManager::AddListener(TScopeListener* listener) {
  if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
    listeners_.push_back(listener);
}

void TScopeManager::RemoveListener(TScopeListener* listener) {
  std::erase(listeners_, listener);
}

size_t TScopeManager::RowOf(const TScopeNode* scope) const {
  auto it = std::find_if(scopes_.begin(), scopes_.end(),
                         [&](const auto& owned) { return owned.get() == scope; });
  return static_cast<size_t>(it - scopes_.begin());
}

void TScopeManager::Init() {
  subManager_ = CreateSubManager();
}

// --- virtual operations ---------------------------------------------------------------------

void TScopeManager::AssignOffsetLabel(TTraceFileLine& line) {
  if (line.IsComment() || !subManager_) return;
  line.SetOffsetLabel(subManager_->FindMapping(line.Offset(), line.Offset()));
}

void TScopeManager::SaveToFile(const std::string&, TSaveCommit*) {}

void TScopeManager::LoadFromFile(TOffsetLookup&, const std::string&) {}

std::unique_ptr<TScopeManager> TScopeManager::CreateSubManager() {
  return nullptr;
}

void TScopeManager::DeleteMapping(TMappingNode* mapping) {
  if (mapping == nullptr) return;
  TScopeNode* scope = mapping->Parent();
  if (scope == nullptr || scope->manager_ != this || !scope->registered_) return;
  mapping->ClearReferrers();
  scope->RemoveChild(mapping);  // frees the node and takes it out of the address index
  if (scope->HasChildren()) return;
  // The Global scope is where every other scope's lines go; it stays with its lines.
  TScopeNode* global = FindScopeByName(kGlobalName);
  if (scope == global) return;
  scope->MoveLinesTo(global);
  RemoveScope(scope, global);
}

TScopeNode* TScopeManager::GetScope(const std::string& name, bool isGlobal) {
  const std::string scopeName = isGlobal ? std::string(kGlobalName) : name;
  if (TScopeNode* existing = FindScopeByName(scopeName)) return existing;
  return RegisterScope(std::make_unique<TScopeNode>(this, isGlobal, scopeName));
}

TScopeNode* TScopeManager::AddScope(std::unique_ptr<TScopeNode> scope) {
  if (!scope) return nullptr;
  if (TScopeNode* existing = FindScopeByName(scope->Text())) {
    scope->Abandon(nullptr);
    return existing;
  }
  return RegisterScope(std::move(scope));
}

TMappingNode* TScopeManager::AddMapping(TScopeNode* scope, const std::string& name,
                                        const std::string& address) {
  if (scope == nullptr) return nullptr;
  TMappingNode* mapping = scope->AddChild(std::make_unique<TMappingNode>(name, address));
  IndexAddress(mapping);
  return mapping;
}

TMappingNode* TScopeManager::AddMappingFromXml(TScopeNode* scope, const std::string& name,
                                               const std::string& text) {
  if (scope == nullptr) return nullptr;
  // An operand text has no value to compare: its duplicate is the same text.
  TMappingNode* existing = TMappingNode::IsOperandText(text)
                               ? scope->FindMappingByText(text)
                               : scope->FindMappingByOffset(StrToInt(text));
  if (existing != nullptr) return existing;
  return AddMapping(scope, name, text);
}

TMappingNode* TScopeManager::FindMapping(int64_t, int64_t) {
  return nullptr;
}

TMappingNode* TScopeManager::FindMappingByText(const std::string&, int64_t) {
  return nullptr;
}

TScopeNode* TScopeManager::FindScope(const TTraceFileLine& line, bool inCodeCache) {
  std::string key = std::to_string(line.Offset());
  if (inCodeCache) key += "_cc";
  auto it = keyHolders_.find(key);
  if (it == keyHolders_.end() || it->second.empty()) return GlobalScope();
  TScopeNode* first = it->second.front().first;
  for (const auto& [scope, count] : it->second)
    if (scope->Sequence() < first->Sequence()) first = scope;
  return first;
}

// --- other operations -----------------------------------------------------------------------

const std::vector<TMappingNode*>* TScopeManager::FindAddressList(std::string_view address) const {
  if (address.empty()) return nullptr;
  auto it = addressIndex_.find(LowerCase(address));
  return it == addressIndex_.end() ? nullptr : &it->second;
}

TScopeNode* TScopeManager::FindScopeByName(std::string_view name) const {
  auto it = scopesByName_.find(LowerCase(name));
  return it == scopesByName_.end() ? nullptr : it->second;
}

TScopeNode* TScopeManager::GlobalScope() const {
  return globals_.empty() ? nullptr : globals_.back();
}

void TScopeManager::ForgetLine(TTraceFileLine* line) {
  if (line == nullptr) return;
  if (line->Scope() != nullptr) line->Scope()->ForgetLine(line);
  for (int k = 0; k < 3; ++k)
    if (TMappingNode* mapping = line->Ref(static_cast<TRefKind>(k))) mapping->ForgetReferrer(line);
  line->AttachScope(nullptr);  // the scope's entry has already let go of the line
}

void TScopeManager::Clear() {
  Tell([](TScopeListener& l) { l.ScopesResetting(); });
  // Every key leaves with its scope: the key holders are dropped below in one go.
  for (auto& scope : scopes_) {
    scope->registered_ = false;
    scope->Abandon(nullptr);
  }
  scopes_.clear();
  scopesByName_.clear();
  globals_.clear();
  addressIndex_.clear();
  keyHolders_.clear();
  Tell([](TScopeListener& l) { l.ScopesReset(); });
}

void TScopeManager::KeyAdded(TScopeNode* scope, const std::string& lowerKey) {
  auto& holders = keyHolders_[lowerKey];
  for (auto& [holder, count] : holders) {
    if (holder == scope) {
      ++count;
      return;
    }
  }
  holders.emplace_back(scope, 1);
}

void TScopeManager::KeyRemoved(TScopeNode* scope, const std::string& lowerKey) {
  auto it = keyHolders_.find(lowerKey);
  if (it == keyHolders_.end()) return;
  auto& holders = it->second;
  auto holder = std::find_if(holders.begin(), holders.end(),
                             [&](const auto& entry) { return entry.first == scope; });
  if (holder == holders.end()) return;
  // An emptied entry stays: a line attached again brings the same key straight back.
  if (--holder->second == 0) holders.erase(holder);
}

// --- index upkeep ---------------------------------------------------------------------------

void TScopeManager::IndexAddress(TMappingNode* mapping) {
  if (mapping == nullptr) return;
  addressIndex_[LowerCase(mapping->Address())].push_back(mapping);
}

// The entry itself stays (entries are never removed), only the node leaves its list.
void TScopeManager::UnindexAddress(TMappingNode* mapping) {
  if (mapping == nullptr) return;
  auto it = addressIndex_.find(LowerCase(mapping->Address()));
  if (it == addressIndex_.end()) return;
  auto& list = it->second;
  list.erase(std::remove(list.begin(), list.end(), mapping), list.end());
}

TScopeNode* TScopeManager::RegisterScope(std::unique_ptr<TScopeNode> scope) {
  TScopeNode* node = scope.get();
  node->manager_ = this;
  node->sequence_ = NextScopeSequence();
  node->registered_ = true;
  // A node made before it was added may already list keys and hold mappings.
  node->offsets_.ForEach([&](const TScopedOffsets::Entry& e) { KeyAdded(node, LowerCase(e.Key)); });
  for (const auto& mapping : node->Mappings()) IndexAddress(mapping.get());
  scopesByName_.emplace(LowerCase(node->Text()), node);
  if (node->IsGlobal()) globals_.push_back(node);
  Tell([&](TScopeListener& l) { l.ScopeAdding(scopes_.size()); });
  scopes_.push_back(std::move(scope));
  Tell([](TScopeListener& l) { l.ScopeAdded(); });
  return node;
}

void TScopeManager::RemoveScope(TScopeNode* scope, TScopeNode* heir) {
  auto it = std::find_if(scopes_.begin(), scopes_.end(),
                         [&](const auto& owned) { return owned.get() == scope; });
  if (it == scopes_.end()) return;
  const size_t row = static_cast<size_t>(it - scopes_.begin());
  Tell([&](TScopeListener& l) { l.ScopeRemoving(row); });
  scope->Abandon(heir);
  for (const auto& mapping : scope->Mappings()) UnindexAddress(mapping.get());
  scope->registered_ = false;
  auto named = scopesByName_.find(LowerCase(scope->Text()));
  if (named != scopesByName_.end() && named->second == scope) scopesByName_.erase(named);
  globals_.erase(std::remove(globals_.begin(), globals_.end(), scope), globals_.end());
  scopes_.erase(it);
  Tell([](TScopeListener& l) { l.ScopeRemoved(); });
}

}  // namespace orvanel
