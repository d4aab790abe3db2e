#include "logic/NavigationState.h"

#include <algorithm>

#include "logic/FollowedPositions.h"
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
  TreeChanged();
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
  moving_.clear();
}

std::vector<TTreeItem*> TNavigationState::Rows(TTreeItem* parent, size_t first, size_t last) const {
  const auto& rows = parent ? parent->Children() : project_->Tree().TopLevel();
  std::vector<TTreeItem*> items;
  for (size_t row = first; row <= last && row < rows.size(); ++row) items.push_back(rows[row]);
  return items;
}

void TNavigationState::ItemsCame(TTreeItem* parent, size_t first, size_t last) {
  if (positions_ && project_ && !positions_->Came(Rows(parent, first, last))) TreeChanged();
}

void TNavigationState::ItemsLeaving(TTreeItem* parent, const std::vector<TRowRun>& runs) {
  if (!positions_ || !project_) return;
  std::vector<TTreeItem*> roots;
  for (const TRowRun& run : runs)
    for (TTreeItem* item : Rows(parent, run.First, run.Last)) roots.push_back(item);
  if (!positions_->Leaving(roots)) TreeChanged();
}

void TNavigationState::ItemsMoving(TTreeItem* from, TRowRun run) {
  if (!positions_ || !project_) return;
  moving_ = Rows(from, run.First, run.Last);
  if (!positions_->Leaving(moving_)) TreeChanged();
}

void TNavigationState::ItemsMoved() {
  if (positions_ && !positions_->Came(moving_)) TreeChanged();
  moving_.clear();
}

bool TNavigationState::PositionsCurrent() const {
  return positions_ && positions_->Unchanged() && positions_->Agrees();
}

bool TNavigationState::ChangesFollowed() const {
  return positions_ && !positions_->Unchanged() && positions_->Agrees();
}

const TTreePositions& TNavigationState::Positions() {
  if (!PositionsCurrent()) {
    positions_.reset();  // its memory is free before the new positions take theirs
    positions_ = std::make_unique<TFollowedPositions>(*project_);
    ++positionsWorkedOut_;
  }
  return positions_->Base();
}

TWalkFind TNavigationState::Answer(
    const std::function<TWalkFind(const TFollowedPositions&)>& followed,
    const std::function<TWalkFind()>& walk) {
  if (PositionsCurrent()) return {};
  TWalkFind found;
  if (ChangesFollowed()) found = followed(*positions_);
  if (!found.Decided) found = walk();
  return found;
}

TWalkFind TNavigationState::FindOffsetFrom(int step, int64_t start, int64_t offset) {
  if (start < 0) return {true, nullptr, 0};
  const auto from = static_cast<size_t>(start);
  const TWalkFind found =
      Answer([&](const TFollowedPositions& p) { return p.FindByOffset(step, from, offset); },
             [&] { return WalkFindOffset(project_->Tree(), step, from, offset, LocalWalkLimit); });
  if (found.Decided) return found;
  const TTreePositions& positions = Positions();
  const auto at = positions.FindByOffset(step, from, offset);
  return at ? TWalkFind{true, positions.ItemAt(*at), *at} : TWalkFind{true, nullptr, 0};
}

std::optional<int32_t> TNavigationState::LastFound() const {
  if (lastFound_ < 0 || SearchPos != storedSearchPos_) return std::nullopt;
  return lastFound_;
}

void TNavigationState::NoteHit(size_t position) {
  lastFound_ = static_cast<int32_t>(position);
  storedSearchPos_ = SearchPos;
}

int32_t TNavigationState::UpwardStart() const {
  const std::optional<int32_t> found = LastFound();
  return found ? std::max(0, *found - 1) : SearchPos;
}

TGotoOutcome TNavigationState::GotoOffset(int64_t offset) {
  if (!project_) return {};
  TGotoOutcome outcome;
  int64_t start = SearchStart(OffsetSearch, SearchPos);
  // Going up from a line a text search found (the position stands after it): above that line.
  if (SearchStep(OffsetSearch) < 0 && LastFound()) start = *LastFound() - 1;
  const TWalkFind found = FindOffsetFrom(SearchStep(OffsetSearch), start, offset);
  if (found.Item) {
    outcome.Item = found.Item;
    outcome.Position = found.Position;
    if (OffsetSearch.FindNextOn) {
      SearchPos = static_cast<int32_t>(outcome.Position);
      NoteHit(outcome.Position);
    }
  } else {
    outcome.Message = OffsetNotPresentMessage(offset);
  }
  return outcome;
}

TTreeItem* TNavigationState::FirstWithOffset(int64_t offset) {
  return project_ ? FindOffsetFrom(1, 0, offset).Item : nullptr;
}

TGotoOutcome TNavigationState::GotoNextOpcode(const TTraceFileLine& line) {
  return GotoOffset(line.Offset() + static_cast<int64_t>(line.OpcodeLen()));
}

std::optional<int64_t> TNavigationState::PreviousOpcodeOffset(int64_t offset) {
  if (!project_) return std::nullopt;
  const TWalkFind walked =
      Answer([&](const TFollowedPositions& p) { return p.FirstEndingAt(offset); },
             [&] { return WalkFirstEndingAt(project_->Tree(), offset, LocalWalkLimit); });
  if (walked.Decided)
    return walked.Item ? std::optional<int64_t>(walked.Item->Line()->Offset()) : std::nullopt;
  return nav::PreviousOpcodeOffset(Positions(), offset);
}

TGotoOutcome TNavigationState::GotoPreviousOpcode(int64_t offset) {
  if (!project_ || project_->Tree().Empty()) return {};
  std::optional<int64_t> previous = PreviousOpcodeOffset(offset);
  if (!previous) {
    TGotoOutcome outcome;
    outcome.Message = NoPreviousOpcodeMessage(offset);
    return outcome;
  }
  return GotoOffset(*previous);
}

TTreeItem* TNavigationState::StartNode() {
  if (!project_ || project_->Tree().Empty()) return nullptr;
  const TWalkFind walked =
      Answer([](const TFollowedPositions& p) { return p.FirstFirstLine(); },
             [&] { return WalkFirstFirstLine(project_->Tree(), LocalWalkLimit); });
  if (walked.Decided) return walked.Item;
  return nav::StartNode(Positions());
}

TGotoOutcome TNavigationState::TargetNode(const TTraceFileLine& line) {
  TGotoOutcome outcome;
  if (const TTraceFileLine* target = line.TargetNode(); target && project_) {
    outcome.Item = OwnItem(*target);
    // Its own item deleted, the record is still shown by others: the first of them.
    if (!outcome.Item) outcome.Item = FirstItemOf(*target);
  }
  if (!outcome.Item) outcome.Message = kNoTargetMessage;
  return outcome;
}

TTreeItem* TNavigationState::FirstItemOf(const TTraceFileLine& record) {
  const TWalkFind walked =
      Answer([&](const TFollowedPositions& p) { return p.FirstOf(&record); },
             [&] { return WalkFirstOf(project_->Tree(), &record, LocalWalkLimit); });
  if (walked.Decided) return walked.Item;
  const auto found = Positions().FirstOf(&record);
  return found ? Positions().ItemAt(*found) : nullptr;
}

TSearchOutcome TNavigationState::SearchText(std::string_view text, int step) {
  if (!project_ || text.empty()) return {};
  return Search(step, [&](const TTreePositions& positions, int32_t& pos) {
    return nav::SearchText(positions, memo_, *project_, text, step, pos);
  });
}

TSearchOutcome TNavigationState::SearchTarget(std::string_view text, int step) {
  if (!project_ || text.empty()) return {};
  return Search(step, [&](const TTreePositions& positions, int32_t& pos) {
    return nav::SearchTarget(positions, text, step, pos);
  });
}

TSearchOutcome TNavigationState::Search(
    int step, const std::function<TSearchOutcome(const TTreePositions&, int32_t&)>& press) {
  const TTreePositions& positions = Positions();
  // Going up, the press starts above the line found last, so that every press finds the
  // nearest match above the one before (the position stands after a text search's hit).
  int32_t pos = step < 0 ? UpwardStart() : SearchPos;
  TSearchOutcome outcome = press(positions, pos);  // a number error leaves SearchPos alone
  if (outcome.Item) {
    SearchPos = pos;  // after the hit
    NoteHit(static_cast<size_t>(pos - 1));
  } else if (!outcome.Message.empty()) {
    SearchPos = pos;  // the end of the tree: from the first item again
  }
  return outcome;
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
  project_->MarkLogChanged();  // a line's scope is written with the line
  scopeLines_.clear();
  return true;
}

void TNavigationState::ItemsGoing(const TRemoval& removal) {
  if (&removal.Project != project_) return;
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
