#pragma once
// What the main window keeps for moving through the open project's code tree, without any
// widget: the visit history, the shared search position, the offset search's settings, the
// lines waiting for a scope, the quick target list and the positions of the tree's items.
// It follows the project's deletions, so that no list ever holds an item or a record that
// is gone, and forgets everything of a project that closes.
#include <cstdint>
#include <functional>
#include <memory>
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

  // The tree changed shape: the positions are worked out again when next needed. The tree's
  // own listener calls it; a change made without the tree's knowledge may call it too.
  void TreeChanged();
  const TTreePositions& Positions();

  // The gotos; GotoOffset stores the found position as the search position while the
  // offset search's find-next state is on.
  TGotoOutcome GotoOffset(int64_t offset);
  TGotoOutcome GotoNextOpcode(const TTraceFileLine& line);
  TGotoOutcome GotoPreviousOpcode(int64_t offset);
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

  // Hears every change of the open project's tree shape.
  class TShapeListener : public TTreeListener {
   public:
    explicit TShapeListener(TNavigationState& owner) : owner_(owner) {}
    void ChildrenInserted(TTreeItem*) override { owner_.TreeChanged(); }
    void ChildrenRemoved(TTreeItem*) override { owner_.TreeChanged(); }
    void ChildrenMoved() override { owner_.TreeChanged(); }
    void TreeReset() override { owner_.TreeChanged(); }
    void TreeGone() override { tree_ = nullptr; }
    void Listen(TCodeTree* tree);

   private:
    TNavigationState& owner_;
    TCodeTree* tree_ = nullptr;
  };

  TProject* project_ = nullptr;
  TShapeListener shapeListener_{*this};
  TVisitHistory history_;
  std::vector<TTreeItem*> scopeLines_;
  std::vector<TTraceFileLine*> quickTargets_;
  std::unique_ptr<TTreePositions> positions_;
  TRecordMemo memo_;
};

}  // namespace orvanel::nav
