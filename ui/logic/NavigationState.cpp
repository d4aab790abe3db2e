#include "logic/NavigationState.h"

#include <algorithm>

#include "logic/ScopeDeep.h"
#include "logic/TreePositions.h"
#include "project/Project.h"

namespace orvanel::nav {

namespace {
// More inserted items than this (a large paste) and the positions are worked out again:
// each goto compares every inserted item with its answer.
constexpr size_t kNotedInsertions = 256;
}  // namespace

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
  inserted_.clear();
}

void TNavigationState::ItemsInserted(TTreeItem* parent, size_t first, size_t last) {
  if (!positions_ || !project_) return;
  const auto& rows = parent ? parent->Children() : project_->Tree().TopLevel();
  std::vector<TTreeItem*> pending;
  for (size_t row = first; row <= last && row < rows.size(); ++row) pending.push_back(rows[row]);
  while (!pending.empty()) {  // each inserted item with its subtree
    TTreeItem* item = pending.back();
    pending.pop_back();
    if (inserted_.size() == kNotedInsertions) {
      TreeChanged();
      return;
    }
    inserted_.push_back(item);
    pending.insert(pending.end(), item->Children().begin(), item->Children().end());
  }
}

bool TNavigationState::PositionsCurrent() const {
  return positions_ && inserted_.empty() &&
         (!project_ || positions_->Count() == project_->Tree().Count());
}

bool TNavigationState::InsertionsNoted() const {
  return positions_ && !inserted_.empty() && project_ &&
         positions_->Count() + inserted_.size() == project_->Tree().Count();
}

const TTreePositions& TNavigationState::Positions() {
  if (!PositionsCurrent()) {
    inserted_.clear();
    positions_ = std::make_unique<TTreePositions>(*project_);
    ++positionsWorkedOut_;
  }
  return *positions_;
}

TWalkFind TNavigationState::FirstWithInsertions(
    std::optional<size_t> before, const std::function<bool(const TTreeItem*)>& match) const {
  TTreeItem* found = before ? positions_->ItemAt(*before) : nullptr;
  bool foundInserted = false;
  for (TTreeItem* item : inserted_)
    if (match(item) && (!found || ComesBefore(item, found))) {
      found = item;
      foundInserted = true;
    }
  if (!found) return {true, nullptr, 0};
  size_t position = 0;
  if (!foundInserted) {
    position = *before;
  } else {
    // The items from before that stand before it: as many as the position (from before) of
    // the first of them after it.
    auto isInserted = [this](const TTreeItem* item) {
      return std::find(inserted_.begin(), inserted_.end(), item) != inserted_.end();
    };
    const TCodeTree& tree = project_->Tree();
    TTreeItem* next = tree.NextInOrder(found);
    while (next && isInserted(next)) next = tree.NextInOrder(next);
    if (!next) {
      position = positions_->Count();
    } else if (auto at = positions_->PositionOf(next)) {
      position = *at;
    } else {
      return {};
    }
  }
  for (TTreeItem* item : inserted_) position += ComesBefore(item, found) ? 1 : 0;
  return {true, found, position};
}

TWalkFind TNavigationState::FindOffsetFrom(int step, int64_t start, int64_t offset) {
  if (start < 0) return {true, nullptr, 0};
  TWalkFind found;
  if (!PositionsCurrent()) {
    if (InsertionsNoted() && start == 0 && step > 0)
      found = FirstWithInsertions(
          positions_->FindByOffset(1, 0, offset),
          [offset](const TTreeItem* item) { return ShowsOffset(item, offset); });
    if (!found.Decided)
      found = WalkFindOffset(project_->Tree(), step, static_cast<size_t>(start), offset,
                             LocalWalkLimit);
    if (found.Decided) return found;
  }
  const TTreePositions& positions = Positions();
  const auto at = positions.FindByOffset(step, static_cast<size_t>(start), offset);
  return at ? TWalkFind{true, positions.ItemAt(*at), *at} : TWalkFind{true, nullptr, 0};
}

TGotoOutcome TNavigationState::GotoOffset(int64_t offset) {
  if (!project_) return {};
  TGotoOutcome outcome;
  const TWalkFind found =
      FindOffsetFrom(SearchStep(OffsetSearch), SearchStart(OffsetSearch, SearchPos), offset);
  if (found.Item) {
    outcome.Item = found.Item;
    outcome.Position = found.Position;
    if (OffsetSearch.FindNextOn) SearchPos = static_cast<int32_t>(outcome.Position);
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
  if (!PositionsCurrent()) {
    TWalkFind walked;
    if (InsertionsNoted())
      walked =
          FirstWithInsertions(positions_->FirstEndingAt(offset),
                              [offset](const TTreeItem* item) { return EndsAt(item, offset); });
    if (!walked.Decided) walked = WalkFirstEndingAt(project_->Tree(), offset, LocalWalkLimit);
    if (walked.Decided)
      return walked.Item ? std::optional<int64_t>(walked.Item->Line()->Offset()) : std::nullopt;
  }
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
  if (!PositionsCurrent()) {
    TWalkFind walked;
    if (InsertionsNoted())
      walked = FirstWithInsertions(positions_->FirstFirstLine(), ShowsFirstLine);
    if (!walked.Decided) walked = WalkFirstFirstLine(project_->Tree(), LocalWalkLimit);
    if (walked.Decided) return walked.Item;
  }
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
  if (!PositionsCurrent()) {
    TWalkFind walked;
    if (InsertionsNoted())
      walked = FirstWithInsertions(positions_->FirstOf(&record), [&record](const TTreeItem* item) {
        return item->Line() == &record;
      });
    if (!walked.Decided) walked = WalkFirstOf(project_->Tree(), &record, LocalWalkLimit);
    if (walked.Decided) return walked.Item;
  }
  const auto found = Positions().FirstOf(&record);
  return found ? Positions().ItemAt(*found) : nullptr;
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
  TreeChanged();
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
