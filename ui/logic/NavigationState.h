#pragma once
// What the main window keeps for moving through the open project's code tree, without any
// widget: the visit history, the shared search position, the offset search's settings, the
// lines waiting for a scope, the quick target list and the positions of the tree's items.
// It follows the project's deletions, so that no list ever holds an item or a record that
// is gone, and forgets everything of a project that closes.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logic/GotoWalks.h"
#include "logic/SearchLoops.h"
#include "logic/VisitHistory.h"
#include "tree/CodeTree.h"
#include "tree/EditingEvents.h"

namespace orvanel {
class TScopeNode;
}

namespace orvanel::nav {

class TFollowedPositions;
class TTreePositions;

class TNavigationState : public TEditObserver {
 public:
  TNavigationState();
  ~TNavigationState() override;

  // A project was opened or created: its deletions are followed from now on.
  void Open(TProject& project);
  // The project is closing: every list forgets it (the search position stays).
  void Close();
  TProject* Project() const { return project_; }

  // What the selection change of the code tree does besides recording the visit.
  struct TSelectionEffects {
    bool HideScopeBox = false;  // the line is not one of those waiting for a scope
    bool UpdatePanels = false;  // not a comment line: status bar, registers, memo
  };
  TSelectionEffects SelectionChanged(TTreeItem* item);

  TVisitHistory& History() { return history_; }
  int32_t SearchPos = 0;
  TOffsetSearchSettings OffsetSearch;

  // The positions are to be worked out again when next needed. The tree's listener calls
  // it when the whole tree changes; deletions, moves and insertions are followed instead
  // (see TFollowedPositions), so that a goto after them needs no walk of the whole tree.
  void TreeChanged();
  // The position of the line the last search press or goto found, while the search position
  // is still the one that hit stored; none when the position was set otherwise.
  std::optional<int32_t> LastFound() const;

  // The positions of the tree as it stands, worked out again if it changed shape since (the
  // searches count in them).
  const TTreePositions& Positions();
  // How many times the positions were worked out (tests and benchmarks count the presses
  // that paid for it).
  size_t PositionsWorkedOut() const { return positionsWorkedOut_; }
  // How far the gotos walk from the first item when the changes could not be followed
  // (see kLocalWalkLimit) before they work the positions out again; tests lower it.
  size_t LocalWalkLimit = kLocalWalkLimit;

  // The gotos; GotoOffset stores the found position as the search position while the
  // offset search's find-next state is on.
  TGotoOutcome GotoOffset(int64_t offset);
  TGotoOutcome GotoNextOpcode(const TTraceFileLine& line);
  // The first item of the tree whose line has the offset, whatever the offset search's
  // settings (the goto to a scope's start or end line).
  TTreeItem* FirstWithOffset(int64_t offset);
  TGotoOutcome GotoPreviousOpcode(int64_t offset);
  // The offset "Goto previous Opcode" goes to (see nav::PreviousOpcodeOffset).
  std::optional<int64_t> PreviousOpcodeOffset(int64_t offset);
  TTreeItem* StartNode();
  // The target record's own item (see OwnItem), or "No target associated!".
  TGotoOutcome TargetNode(const TTraceFileLine& line);

  // One find-next press of the text and the target search.
  TSearchOutcome SearchText(std::string_view text, int step);
  TSearchOutcome SearchTarget(std::string_view text, int step);

  // Fills the quick target list for the selected line: false (and an empty list) when
  // nothing is to be shown (no line, no target, a call).
  bool FillQuickTargets(const TTraceFileLine* line);
  const std::vector<TTraceFileLine*>& QuickTargets() const { return quickTargets_; }
  void CloseQuickTargets() { quickTargets_.clear(); }

  // "Set Line Scope": the lines waiting for a scope.
  void SetScopeLines(std::vector<TTreeItem*> items) { scopeLines_ = std::move(items); }
  const std::vector<TTreeItem*>& ScopeLines() const { return scopeLines_; }
  // Gives the waiting lines and their subtrees the scope and marks the project modified;
  // false when no line was waiting.
  bool ApplyScope(TScopeNode* scope);
  void ForgetScopeLines() { scopeLines_.clear(); }

  // Called after a deletion or a close emptied or shortened the lists (the window hides the
  // quick target list and the scope box, and enables Back and Forward again).
  std::function<void()> ListsChanged;

 private:
  void ItemsGoing(const TRemoval& removal) override;
  void LinesGone(const TRemoval& removal) override;
  void ProjectGone(TProject& project) override;
  void ForgetAll();
  bool PositionsCurrent() const;
  // Whether the positions from before, with the changes followed since, describe the tree.
  bool ChangesFollowed() const;
  // The first item from `start` in the direction of `step` whose line has the offset.
  TWalkFind FindOffsetFrom(int step, int64_t start, int64_t offset);
  // A goto's answer: from the followed positions, else from a bounded walk, else undecided
  // (the caller works the positions out again).
  TWalkFind Answer(const std::function<TWalkFind(const TFollowedPositions&)>& followed,
                   const std::function<TWalkFind()>& walk);
  // Rows of a parent, the roots of the subtrees that come or go.
  std::vector<TTreeItem*> Rows(TTreeItem* parent, size_t first, size_t last) const;
  void ItemsCame(TTreeItem* parent, size_t first, size_t last);
  void ItemsLeaving(TTreeItem* parent, const std::vector<TRowRun>& runs);
  void ItemsMoving(TTreeItem* from, TRowRun run);
  void ItemsMoved();
  // The first item (by position) that shows the record.
  TTreeItem* FirstItemOf(const TTraceFileLine& record);

  // Hears every change of the open project's tree shape.
  class TShapeListener : public TTreeListener {
   public:
    explicit TShapeListener(TNavigationState& owner) : owner_(owner) {}
    void ChildrenInserting(TTreeItem*, size_t first, size_t last) override {
      first_ = first;
      last_ = last;
    }
    void ChildrenInserted(TTreeItem* parent) override { owner_.ItemsCame(parent, first_, last_); }
    void ChildrenRemoving(TTreeItem* parent, const std::vector<TRowRun>& runs) override {
      owner_.ItemsLeaving(parent, runs);
    }
    void ChildrenMoving(TTreeItem* from, TRowRun run, TTreeItem*, size_t) override {
      owner_.ItemsMoving(from, run);
    }
    void ChildrenMoved() override { owner_.ItemsMoved(); }
    void TreeResetting() override { owner_.TreeChanged(); }
    void TreeReset() override { owner_.TreeChanged(); }
    void TreeGone() override { tree_ = nullptr; }
    void Listen(TCodeTree* tree);

   private:
    TNavigationState& owner_;
    TCodeTree* tree_ = nullptr;
    size_t first_ = 0, last_ = 0;  // the rows being inserted
  };

  TProject* project_ = nullptr;
  TShapeListener shapeListener_{*this};
  TVisitHistory history_;
  std::vector<TTreeItem*> scopeLines_;
  std::vector<TTraceFileLine*> quickTargets_;
  std::unique_ptr<TFollowedPositions> positions_;
  std::vector<TTreeItem*> moving_;  // the roots of the subtrees a move takes along
  size_t positionsWorkedOut_ = 0;
  // Where the last hit was and the search position it stored (see LastFound).
  int32_t lastFound_ = -1;
  int32_t storedSearchPos_ = -1;
  void NoteHit(size_t position);
  // Where an upward text or target search looks first: above the line found last.
  int32_t UpwardStart() const;
  // One press from the start it works out, with the search position updated after it.
  TSearchOutcome Search(
      int step, const std::function<TSearchOutcome(const TTreePositions&, int32_t&)>& press);
  TRecordMemo memo_;
};

}  // namespace orvanel::nav
