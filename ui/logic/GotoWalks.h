#pragma once
// The goto commands of the code tree: to an offset (in the offset search's direction, from
// the search position when its find-next state is on), to the instruction before or after a
// line in address order, to the first line of the conversion and to a line's target.
#include <cstdint>
#include <optional>
#include <string>

namespace orvanel {
class TCodeTree;
class TTraceFileLine;
class TTreeItem;
struct TPalette;
}  // namespace orvanel

namespace orvanel::nav {

class TTreePositions;

// The two settings the gotos borrow from the offset search dialog.
struct TOffsetSearchSettings {
  bool Up = false;          // the dialog's direction
  bool FindNextOn = false;  // from its first find-next press until it closes
};
// The dialog's direction counts only while its find-next state is on: once it was closed,
// a goto looks from the first item down, however the dialog was left.
inline int SearchStep(const TOffsetSearchSettings& s) {
  return s.Up && s.FindNextOn ? -1 : 1;
}
// Find-next on: the item after the search position going down, the one before it going up
// (the nearest line above the one found last).
inline int64_t SearchStart(const TOffsetSearchSettings& s, int32_t searchPos) {
  if (!s.FindNextOn) return 0;
  return static_cast<int64_t>(searchPos) + (s.Up ? -1 : 1);
}

// Where a goto ends: the item with its position, or the message to show.
struct TGotoOutcome {
  TTreeItem* Item = nullptr;
  size_t Position = 0;
  std::string Message;  // empty when nothing is to be said
};

std::string OffsetNotPresentMessage(int64_t offset);
std::string NoPreviousOpcodeMessage(int64_t offset);
inline constexpr const char* kNoTargetMessage = "No target associated!";

// The first item from SearchStart on, in the direction of SearchStep, whose line has the
// offset; the message "Offset ... not present." when there is none.
TGotoOutcome FindOffset(const TTreePositions& positions, const TOffsetSearchSettings& settings,
                        int32_t searchPos, int64_t offset);
// The offset the goto to the previous instruction goes to: that of the first line (by
// position) that ends where `offset` begins; none when no line does.
std::optional<int64_t> PreviousOpcodeOffset(const TTreePositions& positions, int64_t offset);
// The first line of the conversion; none when no line carries the mark any more.
TTreeItem* StartNode(const TTreePositions& positions);
// The record's own item: the item added for it most recently, the one selected wherever the
// record itself is meant; none once that item was deleted.
TTreeItem* OwnItem(const TTraceFileLine& record);
// While the positions are out of date (the tree changed shape since they were worked out),
// a goto first walks the tree from its first item for at most this many items, which takes
// a few milliseconds; only an answer further away pays for working the positions out again.
inline constexpr size_t kLocalWalkLimit = 50000;

// What such a bounded walk decided: the item with its position, that there is none, or
// nothing at all (the bound came first).
struct TWalkFind {
  bool Decided = false;
  TTreeItem* Item = nullptr;
  size_t Position = 0;
};
// What the gotos look for in an item: a line at the offset, a line that ends where `end`
// begins, the first line of the conversion.
bool ShowsOffset(const TTreeItem* item, int64_t offset);
bool EndsAt(const TTreeItem* item, int64_t end);
bool ShowsFirstLine(const TTreeItem* item);
// The answers of TTreePositions' FindByOffset, FirstEndingAt, FirstFirstLine and FirstOf,
// exactly, by a walk of at most `limit` items from the tree's first item.
TWalkFind WalkFindOffset(const TCodeTree& tree, int step, size_t start, int64_t offset,
                         size_t limit);
TWalkFind WalkFirstEndingAt(const TCodeTree& tree, int64_t end, size_t limit);
TWalkFind WalkFirstFirstLine(const TCodeTree& tree, size_t limit);
TWalkFind WalkFirstOf(const TCodeTree& tree, const TTraceFileLine* line, size_t limit);

// Whether the context menu offers "Goto Target Node" for the line: a target and the colour
// of a branch or a call.
bool OffersGotoTarget(const TTraceFileLine& line, const TPalette& palette);

}  // namespace orvanel::nav
