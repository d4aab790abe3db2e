#include "logic/SearchLoops.h"

#include <algorithm>

#include "base/TextUtils.h"
#include "logic/TreePositions.h"
#include "project/Project.h"

namespace orvanel::nav {

namespace {

char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The shared loop: `matches(item)` for each examined item.
template <typename Matches>
TSearchOutcome RunSearch(const TTreePositions& positions, int step, int32_t& searchPos,
                         Matches matches) {
  TSearchOutcome outcome;
  const int64_t count = static_cast<int64_t>(positions.Count());
  int64_t pos = searchPos;
  bool stopped = false;
  while (pos >= 0 && pos < count) {
    if (matches(positions.ItemAt(static_cast<size_t>(pos)))) {
      stopped = true;
      break;
    }
    if ((step < 0 && pos > 0) || (step > 0 && pos < count)) {
      pos += step;
    } else {
      stopped = true;  // going up, the first item without a match
      break;
    }
  }
  if (stopped) {
    outcome.Item = positions.ItemAt(static_cast<size_t>(pos));
    searchPos = static_cast<int32_t>(pos + 1);
  } else if (pos == count) {
    searchPos = 0;
    outcome.Message = kTreeSearchedMessage;
  } else {
    searchPos = static_cast<int32_t>(pos);  // outside the tree: nothing examined
  }
  return outcome;
}

}  // namespace

std::string FoldLetters(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = Fold(c);
  return folded;
}

bool ContainsFolded(std::string_view text, std::string_view needle) {
  if (needle.empty()) return true;
  if (needle.size() > text.size()) return false;
  const char first = needle[0];
  const bool letter = first >= 'a' && first <= 'z';
  const char upper = letter ? static_cast<char>(first - 'a' + 'A') : first;
  const size_t last = text.size() - needle.size();
  for (size_t i = 0; i <= last; ++i) {
    const char c = text[i];
    if (c != first && c != upper) continue;
    size_t k = 1;
    while (k < needle.size() && Fold(text[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

void TRecordMemo::Begin(TProject& project) {
  project_ = &project;
  const size_t records = project.Store().Count();
  if (marks_.size() < records) marks_.resize(records, 0);
  if (++press_ >= (1u << 31)) {  // the marks would repeat: start afresh
    std::fill(marks_.begin(), marks_.end(), 0);
    press_ = 1;
  }
}

template <typename Test>
bool TRecordMemo::Get(const TTraceFileLine* line, Test test) {
  const auto& store = project_->Store().Lines();
  const uint32_t slot = line->storeSlot_;
  if (slot >= marks_.size() || slot >= store.size() || store[slot].get() != line)
    return test(*line);
  const uint32_t mark = marks_[slot];
  if ((mark >> 1) == press_) return (mark & 1) != 0;
  const bool answer = test(*line);
  marks_[slot] = (press_ << 1) | (answer ? 1u : 0u);
  return answer;
}

TSearchOutcome SearchText(const TTreePositions& positions, TRecordMemo& memo, TProject& project,
                          std::string_view text, int step, int32_t& searchPos) {
  if (text.empty()) return {};
  const std::string needle = FoldLetters(text);
  memo.Begin(project);
  auto test = [&needle](const TTraceFileLine& line) {
    return ContainsFolded(line.LineText(), needle) || ContainsFolded(line.Comment(), needle);
  };
  return RunSearch(positions, step, searchPos, [&](const TTreeItem* item) {
    const TTraceFileLine* line = item->Line();
    return line && memo.Get(line, test);
  });
}

TSearchOutcome SearchTarget(const TTreePositions& positions, std::string_view text, int step,
                            int32_t& searchPos) {
  if (text.empty()) return {};
  const int64_t value = StrToInt(text);
  return RunSearch(positions, step, searchPos, [value](const TTreeItem* item) {
    const TTraceFileLine* line = item->Line();
    return line && line->TargetOffset() == value;
  });
}

}  // namespace orvanel::nav
