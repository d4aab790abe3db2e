#pragma once
// What the status bar, the "CPU Status" labels and the "Line Comment" memo show for the
// selected line, and how the memo's text becomes a comment again.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvanel {
class TTreeItem;
}

namespace orvanel::nav {

// The processor registers and video counters of one execution of an instruction.
struct TRegisterValues {
  uint16_t A = 0;
  uint16_t X = 0;
  uint16_t Y = 0;
  uint16_t D = 0;
  uint8_t DB = 0;
  uint16_t S = 0;
  std::string P;  // the status flags as the log printed them, for example envMXdIzc
  uint16_t HCounter = 0;
  uint16_t VCounter = 0;
};

// The registers shown for a selected item; none for a comment line (or an item without a
// line), whose selection leaves the panels as they were. The only place that decides where
// the shown registers come from.
std::optional<TRegisterValues> RegisterValuesOf(const TTreeItem& item);

// The captions of the nine labels before any line was selected.
struct TCpuStatusTexts {
  std::string A = "A :";
  std::string X = "X :";
  std::string Y = "Y :";
  std::string D = "D :";
  std::string DB = "DB :";
  std::string S = "S :";
  std::string PS = "PS :";
  std::string HC = "HC :";
  std::string VC = "VC :";
};
TCpuStatusTexts CpuStatusTexts(const TRegisterValues& r);

// "Offset :" followed directly by the offset text.
std::string StatusOffsetText(std::string_view offsetText);

// The memo's text for a comment: a carriage return, a line feed or the pair each make one
// line break ("\n" in the returned text).
std::string CommentToMemo(std::string_view comment);
// The comment for the memo's text (lines separated by "\n"): the lines joined by carriage
// return and line feed, without a break at the end unless typed.
std::string MemoToComment(std::string_view memoText);
// The memo takes this many characters as the comment counts them (a line break is two).
// CommentLength counts the characters of UTF-8 memo text that way.
inline constexpr size_t kMemoLimit = 200;
size_t CommentLength(std::string_view memoText);

}  // namespace orvanel::nav
