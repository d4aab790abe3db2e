#pragma once
// The text and target searches: one press of a find dialog's find-next button. Both examine
// the item at the search position first and go on one position at a time in the dialog's
// direction; a match moves the position past it. Running off the end resets the position to
// the first item and says so; going up, the first item counts as found.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvanel {
class TProject;
class TTraceFileLine;
class TTreeItem;
}  // namespace orvanel

namespace orvanel::nav {

class TTreePositions;

inline constexpr const char* kTreeSearchedMessage = "Code Tree Searched!";

struct TSearchOutcome {
  TTreeItem* Item = nullptr;  // the item to select, or none
  std::string Message;        // empty when nothing is to be said
};

// The letters A to Z turned into a to z; nothing else changes.
std::string FoldLetters(std::string_view text);
// Whether the folded needle occurs in the text folded the same way.
bool ContainsFolded(std::string_view text, std::string_view foldedNeedle);

// Remembers, for one press, which records matched, so that a record shown by thousands of
// items (a loop) is examined once.
class TRecordMemo {
 public:
  // Starts a new press.
  void Begin(TProject& project);
  // The answer for the line: computed by `test` the first time, remembered afterwards.
  template <typename Test>
  bool Get(const TTraceFileLine* line, Test test);

 private:
  TProject* project_ = nullptr;
  std::vector<uint32_t> marks_;  // by store slot: (press << 1) | answer
  uint32_t press_ = 0;
};

// `searchPos` is the shared search position, read and updated.
TSearchOutcome SearchText(const TTreePositions& positions, TRecordMemo& memo, TProject& project,
                          std::string_view text, int step, int32_t& searchPos);
// Throws EConvertError for a text that is no number; an empty text does nothing.
TSearchOutcome SearchTarget(const TTreePositions& positions, std::string_view text, int step,
                            int32_t& searchPos);

}  // namespace orvanel::nav
