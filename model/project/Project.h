#pragma once
// A project: the code tree of one converted log with everything that belongs to it (its
// files, the raw log, the offset index, pending targets, the target index, bookmarks, the
// palette, the modified flags, the scope manager and the code cache).
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/MessageLog.h"
#include "base/UserInterface.h"
#include "project/Bookmarks.h"
#include "project/TreeEditing.h"
#include "records/TraceLine.h"
#include "scopes/SnesScopeManager.h"
#include "trace/LogLines.h"
#include "tree/CodeTree.h"
#include "tree/EditingEvents.h"
#include "tree/LineStore.h"
#include "tree/OffsetIndex.h"

namespace orvanel {

class TSNESCodeCache;
class TXmlAttributes;
class TXmlDocument;
class TXmlElement;

// The seven colour roles; not stored in any file, every project starts from these.
struct TPalette {
  TColor StartNodeColor = 0x0000FF00;
  TColor ForwardBranchColor = 0x00FF00FF;
  TColor BackBranchColor = 0x00008080;
  TColor CallColor = 0x000000FF;
  TColor ReturnColor = 0x000000FF;
  TColor CommentColor = static_cast<TColor>(0xFF000011u);
  TColor CutColor = static_cast<TColor>(0xFF000013u);
};

// Branches and jumps whose target line has not been met yet, keyed by target offset, each
// key's sources in the order they were added (the first is resolved first).
class TPendingTargets {
 public:
  void Add(int64_t target, TTraceFileLine* source) {
    map_[target].push_back(source);
    ++count_;
  }
  // Takes the sources waiting for this offset, in order.
  std::vector<TTraceFileLine*> Take(int64_t offset);
  bool Empty() const { return count_ == 0; }
  size_t Count() const { return count_; }
  bool Contains(int64_t target) const { return map_.count(target) != 0; }
  void Forget(TTraceFileLine* line);  // a record going away
  // Many records going at once: those of `lines` for which `going` is true.
  void ForgetAll(const std::vector<TTraceFileLine*>& lines,
                 const std::function<bool(const TTraceFileLine*)>& going);
  void Clear() {
    map_.clear();
    count_ = 0;
  }

 private:
  std::unordered_map<int64_t, std::vector<TTraceFileLine*>> map_;
  size_t count_ = 0;
};

// For every target offset, the lines that branch or jump there, in reading order. Built only
// when a trace data file is read; read by the quick target list.
class TTargetIndex {
 public:
  void Add(int64_t target, TTraceFileLine* line) { map_[target].push_back(line); }
  const std::vector<TTraceFileLine*>* Find(int64_t target) const;
  void Forget(TTraceFileLine* line);
  // Many records going at once: those of `lines` for which `going` is true.
  void ForgetAll(const std::vector<TTraceFileLine*>& lines,
                 const std::function<bool(const TTraceFileLine*)>& going);
  void Clear() { map_.clear(); }
  size_t Count() const { return map_.size(); }

 private:
  std::map<int64_t, std::vector<TTraceFileLine*>> map_;
};

// A name for an address text: one label or mapping of a batch.
struct TNamedAddress {
  std::string Address;
  std::string Name;
};

class TProject : public TLineOwner, public TOffsetLookup {
 public:
  explicit TProject(TUserInterface& ui);
  ~TProject() override;
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // Creates the project's own scope manager and code cache. Call once after construction.
  void Create();
  // Shares another project's scope manager (the code cache) and creates the code cache.
  void CreateShared(TSNESScopeManager* scopeManager);

  // --- virtual operations ---------------------------------------------------------------
  virtual bool FallsThrough(int32_t /*opcode*/) const { return false; }
  virtual std::unique_ptr<TTraceFileLine> CreateLine(std::string_view text, bool isComment,
                                                     const TLogLines* log);
  virtual std::unique_ptr<TTraceFileLine> CreateLineFromXml(const TXmlAttributes& element);
  void LookupRegister(TTraceFileLine& line) const;
  // The factories' rule: targets in the register area of banks $00-$3F are looked up, every
  // other target gets no register name; lines without a target are left alone.
  void NameRegister(TTraceFileLine& line) const;
  virtual std::unique_ptr<TSNESCodeCache> CreateCodeCache(TSNESScopeManager* scopeManager);
  virtual std::unique_ptr<TSNESScopeManager> CreateScopeManager();
  virtual void ConvertLog() {}
  // Loads "Mappings.xml" from the folder (with a trailing separator) if the file exists.
  virtual void LoadRegisterFile(const std::string& directory);

  // --- the log -------------------------------------------------------------------------
  // Reads the trace log named by TraceLogDialog (a missing file keeps the old lines),
  // converts it and sets the flags. The messages of the conversion go to the UI at the end.
  void ImportLog();
  void CloseLog();
  TLogLines& LogLines() { return logLines_; }

  // --- offset index ----------------------------------------------------------------------
  TTraceFileLine* RegisterInIndex(TTraceFileLine* line) { return offsetIndex_.Register(line); }
  TTraceFileLine* FindInIndex(int64_t offset) override { return offsetIndex_.Find(offset); }
  void ClearOffsetIndex() { offsetIndex_.Clear(); }
  TOffsetIndex& OffsetIndex() { return offsetIndex_; }

  // The first item from an absolute position on (stepping +1 or -1) whose line has the offset.
  TTreeItem* FindNodeByOffset(int step, size_t start, int64_t offset) const;

  // --- mappings and labels -------------------------------------------------------------
  // `result` is the dialog's modal result: only 1 (confirmed) creates the mapping.
  TMappingNode* CreateMapping(const std::string& offsetText, const std::string& name, bool unscoped,
                              int result, const std::string& scopeName);
  TMappingNode* CreateLabel(const std::string& offsetText, const std::string& name);
  void RemoveLabel(TMappingNode* label);
  void RebindScopeLines(TScopeNode* scope);
  void ApplyMapping(TMappingNode* mapping);
  // Many labels at once (an imported symbol file): what CreateLabel does for each, with one
  // pass over the records for all of them. Returns the labels in the order given.
  std::vector<TMappingNode*> CreateLabels(const std::vector<TNamedAddress>& labels);
  // Many mappings of one scope at once: what CreateMapping does for each (confirmed), with
  // one rebinding of the scope's lines. Returns the mappings in the order given.
  std::vector<TMappingNode*> CreateMappings(const std::vector<TNamedAddress>& mappings,
                                            bool unscoped, const std::string& scopeName);
  // ApplyMapping for several labels in one pass over the records.
  void ApplyMappings(const std::vector<TMappingNode*>& mappings);

  // --- trace data file ------------------------------------------------------------------
  // Writes the whole tree to the file (streaming). Sets LogSaved only once it was written;
  // with `commit`, the file is put in place by that save, which sets LogSaved.
  void WriteTraceData(const std::string& fileName, TSaveCommit* commit = nullptr);
  // Writes the children of the item (the top level when null) under the open element.
  virtual void WriteSubtree(TXmlWriter& writer, const TTreeItem* item) const;
  // Asks for a name when none is set; false when cancelled. Errors are thrown.
  bool SaveTraceData(TSaveCommit* commit = nullptr);
  // Loads the file named by TraceDataDialog into the tree. A file that is not well-formed
  // leaves the tree and every index as they were and throws EXmlError.
  void LoadTraceData();

  // --- bookmarks ---------------------------------------------------------------------------
  // The entry of a bookmark with that offset text when there is one; otherwise a new one
  // (throws EConvertError for an offset text that is no number; nothing is added then).
  TMenuEntry* AddBookmark(const std::string& offsetText, const std::string& name);
  // The main window's command: refuses an offset text already used, with a message.
  bool NewBookmark(const std::string& offsetText, const std::string& name);
  TMenuEntry* ReadBookmark(const TXmlElement& element);
  void ReadBookmarks(const TXmlElement& root);
  void WriteBookmarks(TXmlElement& root) const;
  // The menu entries of all bookmarks, in list order.
  std::vector<TMenuEntry*> FillBookmarkMenu() const;
  // The first item (in display order) of the entry's offset, or none.
  TTreeItem* BookmarkClick(const TMenuEntry& entry) const;
  const TBookmarkList& BookmarkList() const { return bookmarks_; }

  // --- project file ------------------------------------------------------------------------
  // Writes the project file and the code cache file as part of `commit`.
  void WriteProjectFile(const std::string& fileName, TSaveCommit& commit);
  virtual void WriteProjectXml(TXmlDocument& doc, TSaveCommit& commit);
  virtual void ReadProjectXml(const TXmlDocument& doc);
  // Reads the code cache file; a missing one leaves the code cache empty, with a message.
  void LoadCodeCacheFile();
  virtual void AfterReadFiles(const TXmlDocument&) {}
  virtual void AfterWriteFiles(TXmlDocument&) {}

  // --- saving ----------------------------------------------------------------------------
  // Map and label files, trace data, code cache and project file, put in place together
  // (TSaveCommit): after a failure or a kill the files on disk are the old project or the
  // new one. False when it stopped (a cancelled dialog; nothing is written then) — errors
  // are thrown. The saved flags are set only once every file is in place.
  bool Save();
  bool Save(TSaveCommit& commit);
  bool IsSaved() const;
  void SetSaved(bool value);
  bool Saved() const { return saved_; }
  void SetSavedFlag(bool value) { saved_ = value; }
  // What the trace data file holds changed (the tree, or a line's comment, colour or scope):
  // the project and its log are modified, so closing either asks before the change is lost.
  void MarkLogChanged() {
    saved_ = false;
    LogSaved = false;
  }
  // A project whose files were read with errors (lines dropped, values refused) is never
  // saved over its own files without the user's yes; a save under new names is free.
  bool ReadWithErrors() const { return readWithErrors_; }
  void SetReadWithErrors(bool value) { readWithErrors_ = value; }

  // --- records and the tree --------------------------------------------------------------
  TCodeTree& Tree() { return tree_; }
  const TCodeTree& Tree() const { return tree_; }
  TLineStore& Store() { return store_; }
  // Takes ownership of a record.
  TTraceFileLine* Adopt(std::unique_ptr<TTraceFileLine> line) {
    return store_.Add(std::move(line));
  }
  TPendingTargets& PendingTargets() { return pendingTargets_; }
  TTargetIndex& TargetIndex() { return targetIndex_; }

  // --- editing of the tree (TreeEditing.cpp, RecordRemoval.cpp, CodeCache.cpp) ----------
  // Delete and Cancel delete the selection, Insert inserts a comment line, Ctrl sets
  // ControlDown; false for a key the tree leaves to others.
  virtual bool CodeKeyDown(TEditKey key);
  virtual void CodeKeyUp(TEditKey key);
  // Asks "Would you like to delete the selected nodes?"; on Yes deletes every selected node
  // with its subtree (a project with a code cache keeps code cache lines) and clears Saved.
  // False when the answer was No.
  bool DeleteSelection();
  // Deletes items of this tree with their subtrees. Every record that no item shows any
  // more leaves every index, list and link (in this project and its partner: its code
  // cache, or the project whose cache it is) and is freed. One batch; the observers of
  // EditEvents are told once.
  void DeleteItems(const std::vector<TTreeItem*>& items);
  // An empty comment line just before the selected node, unless that shows a code cache line.
  TTreeItem* InsertComment();
  // In-place renaming: comment lines only; the text becomes the line's comment.
  bool CodeEditing(const TTreeItem* item) const;
  bool CodeEdited(TTreeItem* item, const std::string& text);
  // The drag object of the selection; none when nothing is selected.
  std::unique_ptr<TCodeDraggedObj> StartDrag();
  // Whether a drop of the drag would be taken; `underMouse` may be none.
  virtual bool CodeDragOver(const TCodeDraggedObj* source, TTreeItem* underMouse);
  // The drop on `target`; none when there is no node under the drop point.
  virtual void CodeDragDrop(const TCodeDraggedObj* source, TTreeItem* target);
  // Copies the line and subtree of an item of any tree as the last child of parent (top
  // level when none); returns the copy of the item.
  TTreeItem* CopySubtree(const TTreeItem* source, TTreeItem* parent, TTraceFileLine* twin,
                         uint8_t extraFlags, int imageIndex);
  // The project whose code cache this is; none for a project.
  TProject* CacheOwner() const { return cacheOwner_; }
  TEditSubject& EditEvents() { return editEvents_; }

  // --- line owner ------------------------------------------------------------------------
  void Message(std::string text) override { messages_.Add(std::move(text)); }
  TMappingNode* FindLabel(int64_t offset) override;
  TMessageLog& Messages() { return messages_; }
  TUserInterface& UI() { return ui_; }

  // --- fields ----------------------------------------------------------------------------
  std::string ProjectName;
  TFileDialog TraceLogDialog;
  TFileDialog TraceDataDialog;
  TFileDialog ProjectFileDialog;
  std::string ProjectFileName;
  bool LogSaved = false;
  bool LogLoaded = false;
  bool ControlDown = false;
  uint8_t ProjectType = 0;
  TPalette Palette;
  TTraceFileLine* FirstLine = nullptr;
  std::string CommentPrefix = "//";
  // Whether the conversion gives each interrupt a level of its own (an item "NMI", "IRQ" or
  // "Interrupt" holding the handler) instead of placing the handler in the level it
  // interrupted. Chosen when the project is created and kept in the project file.
  bool InterruptLevels = false;
  // What the last conversion found: interrupts given a level, and breaks in the flow where an
  // interrupt may have been entered but the lines cannot tell (after a return or an indirect
  // jump, whose target no line shows).
  struct TInterruptCounts {
    size_t Entered = 0;
    size_t Undecided = 0;
  };
  TInterruptCounts InterruptCounts;

  TSNESScopeManager* ScopeManager() const { return scopeManager_; }
  TSNESLabelManager* LabelManager() const;
  TSNESCodeCache* CodeCache() const { return codeCache_.get(); }

 protected:
  TUserInterface& ui_;
  TMessageLog messages_;
  TLogLines logLines_;
  TLineStore store_;
  TCodeTree tree_;
  TOffsetIndex offsetIndex_;
  TPendingTargets pendingTargets_;
  TTargetIndex targetIndex_;
  TBookmarkList bookmarks_;
  bool saved_ = false;
  bool readWithErrors_ = false;

  std::unique_ptr<TSNESScopeManager> ownScopeManager_;  // none for a code cache
  TSNESScopeManager* scopeManager_ = nullptr;
  std::unique_ptr<TSNESCodeCache> codeCache_;

  // Register names from "Mappings.xml": key "reg002140" -> (name, description).
  bool registerFileLoaded_ = false;
  std::unordered_map<std::string, std::pair<std::string, std::string>> registers_;

  // --- editing of the tree ------------------------------------------------------------------
  // Whether a drop may take the dragged nodes: from this tree or (a code cache) from its
  // project's, none of them a line read from a code cache file.
  bool TakesDrag(const TCodeDraggedObj* source) const;
  // Moves dropped nodes inside this tree in the drop mode.
  void MoveDropped(const std::vector<TTreeItem*>& nodes, TTreeItem* target);
  // Takes the records out of every index, list and link, tells the observers, frees them.
  void FreeRecords(TRemoval& removal);
  TProject* cacheOwner_ = nullptr;
  TEditSubject editEvents_{*this};
};

}  // namespace orvanel
