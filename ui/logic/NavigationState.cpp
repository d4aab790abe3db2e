#include "logic/NavigationState.h"

#include <algorithm>

#include "logic/ScopeDeep.h"
#include "logic/TreePositions.h"
#include "project/Project.h"

namespace orvanel::nav {

void TNavigationState::TShapeListener::Listen(TCodeTree* tree) {
  if (tree_) tree_->RemoveListener(this);
  tree_ = tree;
  if (tree_) tree_->AddListener(this);
}

TNavigationState::TNavigationState() = default;
TNavigationState::~TNavigationState() {
  shapeListener_.Listen(nullptr);
}

void TNavigationState::Open(TProject& project) {
  Close();
  project_ = &project;
  Watch(project.EditEvents());
  shapeListener_.Listen(&project.Tree());
}

void TNavigationState::Close() {
  if (project_ && Watches(project_->EditEvents())) Unwatch(project_->EditEvents());
  shapeListener_.Listen(nullptr);
  project_ = nullptr;
  ForgetAll();
}

void TNavigationState::ForgetAll() {
  history_.Clear();
  scopeLines_.clear();
  quickTargets_.clear();
  positions_.reset();
}

TNavigationState::TSelectionEffects TNavigationState::SelectionChanged(TTreeItem* item) {
  TSelectionEffects effects;
  if (!item) return effects;
  if (std::find(scopeLines_.begin(), scopeLines_.end(), item) == scopeLines_.end()) {
    scopeLines_.clear();
    effects.HideScopeBox = true;
  }
  quickTargets_.clear();
  history_.SelectionChanged(item);
  effects.UpdatePanels = item->Line() && !item->Line()->IsComment();
  return effects;
}

void TNavigationState::TreeChanged() {
  positions_.reset();
}

const TTreePositions& TNavigationState::Positions() {
  if (!positions_ || (project_ && positions_->Count() != project_->Tree().Count()))
    positions_.reset();
  if (!positions_) positions_ = std::make_unique<TTreePositions>(*project_);
  return *positions_;
}

TGotoOutcome TNavigationState::GotoOffset(int64_t offset) {
  if (!project_) return {};
  TGotoOutcome outcome = FindOffset(Positions(), OffsetSearch, SearchPos, offset);
  if (outcome.Item && OffsetSearch.FindNextOn) SearchPos = static_cast<int32_t>(outcome.Position);
  return outcome;
}

TGotoOutcome TNavigationState::GotoNextOpcode(const TTraceFileLine& line) {
  return GotoOffset(line.Offset() + static_cast<int64_t>(line.OpcodeLen()));
}

TGotoOutcome TNavigationState::GotoPreviousOpcode(int64_t offset) {
  if (!project_ || project_->Tree().Empty()) return {};
  std::optional<int64_t> previous = PreviousOpcodeOffset(Positions(), offset);
  if (!previous) {
    TGotoOutcome outcome;
    outcome.Message = NoPreviousOpcodeMessage(offset);
    return outcome;
  }
  return GotoOffset(*previous);
}

TTreeItem* TNavigationState::StartNode() {
  if (!project_ || project_->Tree().Empty()) return nullptr;
  return nav::StartNode(Positions());
}

TGotoOutcome TNavigationState::TargetNode(const TTraceFileLine& line) {
  TGotoOutcome outcome;
  if (const TTraceFileLine* target = line.TargetNode(); target && project_) {
    outcome.Item = OwnItem(*target);
    // Its own item deleted, the record is still shown by others: the first of them.
    if (!outcome.Item)
      if (auto found = Positions().FirstOf(target)) outcome.Item = Positions().ItemAt(*found);
  }
  if (!outcome.Item) outcome.Message = kNoTargetMessage;
  return outcome;
}

TSearchOutcome TNavigationState::SearchText(std::string_view text, int step) {
  if (!project_) return {};
  return nav::SearchText(Positions(), memo_, *project_, text, step, SearchPos);
}

TSearchOutcome TNavigationState::SearchTarget(std::string_view text, int step) {
  if (!project_) return {};
  return nav::SearchTarget(Positions(), text, step, SearchPos);
}

bool TNavigationState::FillQuickTargets(const TTraceFileLine* line) {
  quickTargets_.clear();
  if (!project_ || !line || !line->HasTarget() || line->IsCall()) return false;
  // The index is keyed by the target offset, which is what its decimal text names.
  if (const auto* lines = project_->TargetIndex().Find(line->TargetOffset()))
    quickTargets_ = *lines;
  return true;
}

bool TNavigationState::ApplyScope(TScopeNode* scope) {
  if (scopeLines_.empty() || !project_) return false;
  for (TTreeItem* item : scopeLines_) SetScopeDeep(*item, scope);
  project_->SetSaved(false);
  scopeLines_.clear();
  return true;
}

void TNavigationState::ItemsGoing(const TRemoval& removal) {
  if (&removal.Project != project_) return;
  positions_.reset();
  history_.Forget(removal);
  std::erase_if(scopeLines_, [&](TTreeItem* item) { return removal.HoldsItem(item); });
  if (ListsChanged) ListsChanged();
}

void TNavigationState::LinesGone(const TRemoval& removal) {
  if (&removal.Project != project_) return;
  const size_t before = quickTargets_.size();
  std::erase_if(quickTargets_, [&](TTraceFileLine* line) { return removal.HoldsLine(line); });
  if (quickTargets_.size() != before && ListsChanged) ListsChanged();
}

void TNavigationState::ProjectGone(TProject& project) {
  if (&project != project_) return;
  shapeListener_.Listen(nullptr);  // the tree goes with the project
  project_ = nullptr;
  ForgetAll();
  if (ListsChanged) ListsChanged();
}

}  // namespace orvanel::nav
