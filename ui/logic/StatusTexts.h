#pragma once
// How a line's comment is shown in the "Line Comment" memo and how the memo's text becomes a
// comment again. (The status bar and register texts are the model's: records/ItemRegisters.h.)
#include <cstddef>
#include <string>
#include <string_view>

namespace orvanel::nav {

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
