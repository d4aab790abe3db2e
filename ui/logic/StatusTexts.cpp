#include "logic/StatusTexts.h"

namespace orvanel::nav {

std::string CommentToMemo(std::string_view comment) {
  std::string memo;
  memo.reserve(comment.size());
  for (size_t i = 0; i < comment.size(); ++i) {
    const char c = comment[i];
    if (c == '\r') {
      memo += '\n';
      if (i + 1 < comment.size() && comment[i + 1] == '\n') ++i;
    } else {
      memo += c;
    }
  }
  return memo;
}

std::string MemoToComment(std::string_view memoText) {
  std::string comment;
  comment.reserve(memoText.size() + memoText.size() / 16);
  for (char c : memoText) {
    if (c == '\n')
      comment += "\r\n";
    else
      comment += c;
  }
  return comment;
}

size_t CommentLength(std::string_view memoText) {
  size_t length = 0;
  for (char c : memoText) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // inside a UTF-8 character
    length += c == '\n' ? 2 : 1;
  }
  return length;
}

}  // namespace orvanel::nav
