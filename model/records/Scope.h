#pragma once
// Scopes and mappings: a mapping names an address text (a data address or an operand text)
// inside a scope; a scope is a named set of trace lines. The scope manager is the tree of
// scopes (top level) and their mappings (children); the label manager reuses these classes.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/UserInterface.h"
#include "records/TraceLine.h"

namespace orvanel {

class TScopeNode;
class TScopeManager;
class TXmlElement;
class TSaveCommit;

// One line's reference to a mapping, as the mapping's Referrers list records it.
struct TReferrer {
  TTraceFileLine* Line;
  TRefKind Kind;
};

class TMappingNode {
 public:
  TMappingNode(std::string name, std::string address);
  ~TMappingNode();
  TMappingNode(const TMappingNode&) = delete;
  TMappingNode& operator=(const TMappingNode&) = delete;

  const std::string& MappingName() const { return name_; }
  const std::string& Address() const { return address_; }
  // The node's text: name "=" address.
  std::string Text() const { return name_ + "=" + address_; }
  // An operand text (it holds "[", "#" or ",") rather than an address.
  static bool IsOperandText(std::string_view address);
  // 0 when the address text holds "[", "#" or ","; otherwise its integer value.
  // Throws EConvertError for any other text that is no number.
  int64_t NumericAddress() const;
  // The numeric value, or none when the text is no number (and no operand text).
  std::optional<int64_t> TryNumericAddress() const { return numeric_; }

  TScopeNode* Parent() const { return parent_; }
  // The lines that refer to this node. Their order carries no meaning.
  const std::vector<TReferrer>& Referrers() const { return referrers_; }

  // Bookkeeping of TTraceFileLine::SetRef; returns the slot of the new entry.
  uint32_t AddReferrer(TTraceFileLine* line, TRefKind kind);
  void RemoveReferrer(uint32_t slot);
  // Clears every reference of every referring line to this node.
  void ClearReferrers();
  // Drops the line's entries (all kinds) and clears its references to this node.
  void ForgetReferrer(TTraceFileLine* line);

  uint64_t Sequence() const { return sequence_; }  // order among its scope's children

 private:
  std::string name_;
  std::string address_;
  std::optional<int64_t> numeric_;
  std::vector<TReferrer> referrers_;
  TScopeNode* parent_ = nullptr;
  uint64_t sequence_ = 0;
  friend class TScopeNode;
};

// The list of line keys of a scope, in order, each with its line or none.
class TScopedOffsets {
 public:
  struct Entry {
    std::string Key;
    TTraceFileLine* Line = nullptr;
    bool Live = true;
  };
  static constexpr uint32_t npos = UINT32_MAX;

  size_t Count() const { return live_; }
  bool Empty() const { return live_ == 0; }
  // Position of the first live entry whose key equals `key` ignoring case, or npos.
  uint32_t Find(std::string_view key) const;
  // Position of the first live entry, or npos.
  uint32_t First() const;
  const Entry& At(uint32_t pos) const { return entries_[pos]; }
  // Calls fn(entry) for every live entry in order.
  template <typename Fn>
  void ForEach(Fn fn) const {
    for (const Entry& e : entries_)
      if (e.Live) fn(e);
  }
  std::vector<Entry> LiveEntries() const;

 private:
  friend class TScopeNode;
  // `lowerKey` is the key in lower case (callers have it already).
  uint32_t Append(std::string key, const std::string& lowerKey, TTraceFileLine* line);
  uint32_t FindLower(const std::string& lowerKey) const;
  void SetLine(uint32_t pos, TTraceFileLine* line) { entries_[pos].Line = line; }
  // Moves the entry at pos, the only live one of its key, to the end of the list; false
  // (nothing changed) when another live entry has the same key.
  bool MoveToEnd(uint32_t pos, const std::string& lowerKey);
  void Remove(uint32_t pos, const std::string& lowerKey);
  void Clear();
  // Drops the tombstones once they outnumber the live entries four times (every line of a
  // loop leaves and enters its scope's list on every pass); entry positions change.
  void CompactIfSparse();

  std::vector<Entry> entries_;  // removed entries stay as tombstones until Clear
  size_t live_ = 0;
  size_t firstLive_ = 0;
  std::unordered_map<std::string, std::vector<uint32_t>> byKey_;  // lower-case key -> positions
};

class TScopeNode {
 public:
  TScopeNode(TScopeManager* manager, bool isGlobal, std::string name);
  virtual ~TScopeNode();
  TScopeNode(const TScopeNode&) = delete;
  TScopeNode& operator=(const TScopeNode&) = delete;

  bool IsGlobal() const { return isGlobal_; }
  const std::string& ScopeName() const { return name_; }
  const std::string& Text() const { return name_; }
  TScopeManager* Manager() const { return manager_; }

  const TScopedOffsets& ScopedOffsets() const { return offsets_; }
  // Appends a key as it stands (the map file reader), with or without a line; a line given
  // leaves its old scope's list and takes this scope (its references stay as they are).
  void AppendScopedOffset(std::string key, TTraceFileLine* line);
  // The line-side part of AttachScope: enter the line under its key (or replace the line
  // stored there) and forget it from this scope.
  void EnterLine(TTraceFileLine* line);
  void LeaveLine(TTraceFileLine* line);
  // A line attached again to the scope it has: what LeaveLine and EnterLine do together,
  // done in place when the line's own entry holds its key and no other entry does (the
  // entry goes to the end of the list). False, with nothing changed, otherwise.
  bool ReenterLine(TTraceFileLine* line);
  // Drops every reference to the line from the list; the keys stay (record going away).
  void ForgetLine(TTraceFileLine* line);

  // Gives every line of this scope to another scope; entries without a line are dropped.
  virtual void MoveLinesTo(TScopeNode* target);
  virtual bool HoldsLine(const TTraceFileLine& line) const;
  virtual bool HoldsOffset(int64_t offset) const;
  // The first child mapping whose numeric value equals offset (throws EConvertError when a
  // mapping with a text that is no number stands before the match).
  virtual TMappingNode* FindMappingByOffset(int64_t offset) const;
  // The first child mapping whose Address equals text (case-sensitive).
  virtual TMappingNode* FindMappingByText(std::string_view text) const;

  // Lowest and highest line offsets; the earlier entry wins on ties; none without lines.
  TTraceFileLine* StartLine() const;
  TTraceFileLine* EndLine() const;

  // Children (mappings), in the order they were added.
  const std::vector<std::unique_ptr<TMappingNode>>& Mappings() const { return mappings_; }
  TMappingNode* AddChild(std::unique_ptr<TMappingNode> mapping);
  std::unique_ptr<TMappingNode> RemoveChild(TMappingNode* mapping);
  // The row of a mapping among Mappings(), or Mappings().size() when it is not there.
  size_t RowOf(const TMappingNode* mapping) const;
  bool HasChildren() const { return !mappings_.empty(); }

  uint64_t Sequence() const { return sequence_; }  // creation order within its manager

 private:
  uint32_t AddEntry(std::string key, TTraceFileLine* line);
  uint32_t AddEntry(std::string key, const std::string& lowerKey, TTraceFileLine* line);
  void RemoveEntry(uint32_t pos);
  // Position of the entry that holds the line, found through the line's own bookkeeping.
  uint32_t EntryOf(const TTraceFileLine* line) const;
  // Leaves the manager (or was dropped by it): every line of this scope goes to `heir`
  // without entering its list (none: the lines get no scope), every reference of a line to
  // one of its mappings is cleared, the list is emptied.
  void Abandon(TScopeNode* heir);

  TScopeManager* manager_;
  bool isGlobal_;
  std::string name_;
  TScopedOffsets offsets_;
  std::vector<std::unique_ptr<TMappingNode>> mappings_;
  std::unordered_map<int64_t, std::vector<TMappingNode*>> byValue_;     // in child order
  std::unordered_map<std::string, std::vector<TMappingNode*>> byText_;  // exact text
  std::vector<TMappingNode*> invalid_;  // children whose text is no number, in child order
  // Lines whose Scope is this scope but whose entry was taken over by a later line with the
  // same key; they are still this scope's lines when the scope goes away.
  std::unordered_set<TTraceFileLine*> displaced_;
  uint64_t nextChildSequence_ = 0;
  uint64_t sequence_ = 0;
  bool registered_ = false;  // in its manager's ScopeIndex (keys are reported to it)
  friend class TScopeManager;
};

// Told of every change of a scope manager's tree (the views that show it), each change before
// and after it is made: scopes are the top level, their mappings below them.
class TScopeListener {
 public:
  virtual ~TScopeListener() = default;
  virtual void ScopeAdding(size_t /*row*/) {}
  virtual void ScopeAdded() {}
  virtual void ScopeRemoving(size_t /*row*/) {}
  virtual void ScopeRemoved() {}
  virtual void MappingAdding(TScopeNode* /*scope*/, size_t /*row*/) {}
  virtual void MappingAdded() {}
  virtual void MappingRemoving(TScopeNode* /*scope*/, size_t /*row*/) {}
  virtual void MappingRemoved() {}
  // Every scope goes (Clear).
  virtual void ScopesResetting() {}
  virtual void ScopesReset() {}
  // The manager is destroyed; the listener must not call it any more.
  virtual void ManagerGone() {}
};

// Where a map file reader finds the project's lines by offset.
class TOffsetLookup {
 public:
  virtual ~TOffsetLookup() = default;
  virtual TTraceFileLine* FindInIndex(int64_t offset) = 0;
};

class TScopeManager {
 public:
  TScopeManager();
  // Touches no line: lines that outlive the manager must be detached first (Clear).
  virtual ~TScopeManager();
  TScopeManager(const TScopeManager&) = delete;
  TScopeManager& operator=(const TScopeManager&) = delete;
  // Creates the sub-manager; call once right after construction.
  void Init();

  // --- virtual operations ---------------------------------------------------------------
  // Unless the line is a comment: its OffsetLabel := the sub-manager's mapping for its offset.
  virtual void AssignOffsetLabel(TTraceFileLine& line);
  // With `commit`, the file is put in place by that save together with its other files.
  virtual void SaveToFile(const std::string& fileName, TSaveCommit* commit = nullptr);
  virtual void LoadFromFile(TOffsetLookup& project, const std::string& fileName);
  virtual std::unique_ptr<TScopeManager> CreateSubManager();
  virtual void DeleteMapping(TMappingNode* mapping);
  // Finds (ignoring case) or creates a scope; isGlobal replaces the name with "Global".
  virtual TScopeNode* GetScope(const std::string& name, bool isGlobal);
  // Adds a new scope node, or drops it and returns the existing scope of that name.
  virtual TScopeNode* AddScope(std::unique_ptr<TScopeNode> scope);
  virtual TMappingNode* AddMapping(TScopeNode* scope, const std::string& name,
                                   const std::string& address);
  // `name` is the "context" attribute, `text` the element's text.
  virtual TMappingNode* AddMappingFromXml(TScopeNode* scope, const std::string& name,
                                          const std::string& text);
  virtual TMappingNode* FindMapping(int64_t offset, int64_t address);
  virtual TMappingNode* FindMappingByText(const std::string& text, int64_t offset);
  // The first scope (creation order) listing the line's key, else the Global scope.
  virtual TScopeNode* FindScope(const TTraceFileLine& line, bool inCodeCache);

  // --- other operations ------------------------------------------------------------------
  // The mappings whose Address is the text (ignoring case), or none.
  const std::vector<TMappingNode*>* FindAddressList(std::string_view address) const;
  // Scopes in ScopeIndex order (creation order, also the tree's top level).
  const std::vector<std::unique_ptr<TScopeNode>>& Scopes() const { return scopes_; }
  TScopeNode* FindScopeByName(std::string_view name) const;  // ignoring case
  TScopeNode* GlobalScope() const;  // the last scope with IsGlobal, or none
  TScopeManager* SubManager() const { return subManager_.get(); }
  TFileDialog& FileDialog() { return fileDialog_; }
  const TFileDialog& FileDialog() const { return fileDialog_; }

  // Forgets a line that goes away: leaves every scope's list (keys stay) and every
  // mapping's Referrers.
  void ForgetLine(TTraceFileLine* line);
  // Removes every scope and mapping (references of lines to them are cleared).
  void Clear();

  // The listeners hear of every scope and mapping added or removed; they are not owned.
  void AddListener(TScopeListener* listener);
  void RemoveListener(TScopeListener* listener);
  // The row of a scope in Scopes(), or Scopes().size() when it is not there.
  size_t RowOf(const TScopeNode* scope) const;
  template <typename Fn>
  void Tell(Fn fn) const {
    for (TScopeListener* l : listeners_) fn(*l);
  }

  // Called by scopes when a key enters or leaves a list (for FindScope).
  void KeyAdded(TScopeNode* scope, const std::string& lowerKey);
  void KeyRemoved(TScopeNode* scope, const std::string& lowerKey);
  uint64_t NextScopeSequence() { return nextScopeSequence_++; }

 protected:
  void IndexAddress(TMappingNode* mapping);
  void UnindexAddress(TMappingNode* mapping);
  // Takes the scope out of the index and frees it; its remaining lines go to `heir`.
  void RemoveScope(TScopeNode* scope, TScopeNode* heir);
  // Appends a new scope to ScopeIndex and the tree.
  TScopeNode* RegisterScope(std::unique_ptr<TScopeNode> scope);

  std::unique_ptr<TScopeManager> subManager_;
  TFileDialog fileDialog_;
  std::vector<std::unique_ptr<TScopeNode>> scopes_;
  std::unordered_map<std::string, TScopeNode*> scopesByName_;  // lower-case name
  std::vector<TScopeNode*> globals_;  // scopes with IsGlobal, in creation order
  std::unordered_map<std::string, std::vector<TMappingNode*>> addressIndex_;  // lower-case text
  // lower-case key -> scopes listing it, with the number of entries each has
  std::unordered_map<std::string, std::vector<std::pair<TScopeNode*, uint32_t>>> keyHolders_;
  uint64_t nextScopeSequence_ = 0;
  std::vector<TScopeListener*> listeners_;
  friend class TScopeNode;
};

}  // namespace orvanel
