#include "logic/GotoWalks.h"

#include "base/TextUtils.h"
#include "logic/TreePositions.h"
#include "project/Project.h"

namespace orvanel::nav {

std::string OffsetNotPresentMessage(int64_t offset) {
  return "Offset " + IntToHex(offset, 6) + " not present.";
}

std::string NoPreviousOpcodeMessage(int64_t offset) {
  return "Opcode previous to Opcode with offset $" + IntToHex(offset, 6) + " not preset!";
}

TGotoOutcome FindOffset(const TTreePositions& positions, const TOffsetSearchSettings& settings,
                        int32_t searchPos, int64_t offset) {
  TGotoOutcome outcome;
  const int64_t start = SearchStart(settings, searchPos);
  std::optional<size_t> found;
  if (start >= 0)
    found = positions.FindByOffset(SearchStep(settings), static_cast<size_t>(start), offset);
  if (found) {
    outcome.Item = positions.ItemAt(*found);
    outcome.Position = *found;
  } else {
    outcome.Message = OffsetNotPresentMessage(offset);
  }
  return outcome;
}

std::optional<int64_t> PreviousOpcodeOffset(const TTreePositions& positions, int64_t offset) {
  std::optional<size_t> found = positions.FirstEndingAt(offset);
  if (!found) return std::nullopt;
  return positions.ItemAt(*found)->Line()->Offset();
}

TTreeItem* StartNode(const TTreePositions& positions) {
  std::optional<size_t> found = positions.FirstFirstLine();
  return found ? positions.ItemAt(*found) : nullptr;
}

bool ShowsOffset(const TTreeItem* item, int64_t offset) {
  return item->Line() && item->Line()->Offset() == offset;
}

bool EndsAt(const TTreeItem* item, int64_t end) {
  return item->Line() &&
         item->Line()->Offset() + static_cast<int64_t>(item->Line()->OpcodeLen()) == end;
}

bool ShowsFirstLine(const TTreeItem* item) {
  return item->Line() && item->Line()->IsFirstLine();
}

namespace {

constexpr TWalkFind kNoneThere{true, nullptr, 0};

// The first item (lowest position) that matches, if it lies within the bound.
template <typename Match>
TWalkFind WalkFirst(const TCodeTree& tree, size_t limit, Match match) {
  size_t position = 0;
  for (TTreeItem* it = tree.First(); it; it = tree.NextInOrder(it), ++position) {
    if (position >= limit) return {};
    if (match(it)) return {true, it, position};
  }
  return kNoneThere;
}

}  // namespace

TWalkFind WalkFindOffset(const TCodeTree& tree, int step, size_t start, int64_t offset,
                         size_t limit) {
  if (start >= tree.Count()) return kNoneThere;  // the walk starts outside the tree
  auto has = [offset](const TTreeItem* it) { return ShowsOffset(it, offset); };
  if (step >= 0) {
    size_t position = 0;
    return WalkFirst(tree, limit,
                     [&](const TTreeItem* it) { return position++ >= start && has(it); });
  }
  // Towards the first item: the last match at or before `start`, all of them within reach.
  if (start >= limit) return {};
  TWalkFind last = kNoneThere;
  size_t position = 0;
  for (TTreeItem* it = tree.First(); position <= start; it = tree.NextInOrder(it), ++position)
    if (has(it)) last = {true, it, position};
  return last;
}

TWalkFind WalkFirstEndingAt(const TCodeTree& tree, int64_t end, size_t limit) {
  return WalkFirst(tree, limit, [end](const TTreeItem* it) { return EndsAt(it, end); });
}

TWalkFind WalkFirstFirstLine(const TCodeTree& tree, size_t limit) {
  return WalkFirst(tree, limit, ShowsFirstLine);
}

TWalkFind WalkFirstOf(const TCodeTree& tree, const TTraceFileLine* line, size_t limit) {
  if (!line) return kNoneThere;
  return WalkFirst(tree, limit, [line](const TTreeItem* it) { return it->Line() == line; });
}

TTreeItem* OwnItem(const TTraceFileLine& record) {
  return static_cast<TTreeItem*>(record.ownItem_);
}

bool OffersGotoTarget(const TTraceFileLine& line, const TPalette& palette) {
  const TColor c = line.TextColor();
  return line.HasTarget() && (c == palette.BackBranchColor || c == palette.ForwardBranchColor ||
                              c == palette.CallColor);
}

}  // namespace orvanel::nav
