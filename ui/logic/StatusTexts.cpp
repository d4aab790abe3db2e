#include "logic/StatusTexts.h"

#include "base/TextUtils.h"
#include "records/SnesTraceLine.h"
#include "tree/CodeTree.h"

namespace orvanel::nav {

std::optional<TRegisterValues> RegisterValuesOf(const TTreeItem& item) {
  const TTraceFileLine* line = item.Line();
  if (!line || line->IsComment()) return std::nullopt;
  const auto* snes = dynamic_cast<const TSNESTraceFileLine*>(line);
  if (!snes) return std::nullopt;
  // The line record holds the registers of the instruction's first execution.
  TRegisterValues r;
  r.A = snes->RegA;
  r.X = snes->RegX;
  r.Y = snes->RegY;
  r.D = snes->RegD;
  r.DB = snes->RegDB;
  r.S = snes->RegS;
  r.P = snes->RegP;
  r.HCounter = snes->HCounter;
  r.VCounter = snes->VCounter;
  return r;
}

TCpuStatusTexts CpuStatusTexts(const TRegisterValues& r) {
  TCpuStatusTexts t;
  t.A = "A : $" + IntToHex(r.A, 4);
  t.X = "X : $" + IntToHex(r.X, 4);
  t.Y = "Y : $" + IntToHex(r.Y, 4);
  t.D = "D : $" + IntToHex(r.D, 4);
  t.DB = "DB : $" + IntToHex(r.DB, 2);
  t.S = "S : $" + IntToHex(r.S, 4);
  t.PS = "PS : " + r.P;
  t.HC = "HC : " + std::to_string(r.HCounter);
  t.VC = "VC : " + std::to_string(r.VCounter);
  return t;
}

std::string StatusOffsetText(std::string_view offsetText) {
  return "Offset :" + std::string(offsetText);
}

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
