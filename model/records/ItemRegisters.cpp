#include "records/ItemRegisters.h"

#include <algorithm>
#include <cstring>

#include "base/TextUtils.h"
#include "records/TraceLine.h"

namespace orvanel {

std::string TItemRegisters::PText() const {
  return std::string(P, strnlen(P, kMaxPText));
}

void TItemRegisters::SetPText(std::string_view text) {
  std::memset(P, 0, kMaxPText);
  text.copy(P, std::min(text.size(), kMaxPText));
}

TStatusTexts StatusTexts(const TItemRegisters& r) {
  TStatusTexts t;
  t.A = "A : $" + IntToHex(r.A, 4);
  t.X = "X : $" + IntToHex(r.X, 4);
  t.Y = "Y : $" + IntToHex(r.Y, 4);
  t.D = "D : $" + IntToHex(r.D, 4);
  t.DB = "DB : $" + IntToHex(r.DB, 2);
  t.S = "S : $" + IntToHex(r.S, 4);
  t.PS = "PS : " + r.PText();
  t.HC = "HC : " + std::to_string(r.HCounter);
  t.VC = "VC : " + std::to_string(r.VCounter);
  return t;
}

std::string OffsetStatusText(const TTraceFileLine& line) {
  return "Offset :" + line.OffsetText();
}

}  // namespace orvanel
