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

TTreeItem* OwnItem(const TTraceFileLine& record) {
  return static_cast<TTreeItem*>(record.ownItem_);
}

bool OffersGotoTarget(const TTraceFileLine& line, const TPalette& palette) {
  const TColor c = line.TextColor();
  return line.HasTarget() && (c == palette.BackBranchColor || c == palette.ForwardBranchColor ||
                              c == palette.CallColor);
}

}  // namespace orvanel::nav
