#include "records/DebuggerTraceLine.h"

#include <string>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "trace/LineCutting.h"

namespace orvanel {

using namespace line_cutting;

std::unique_ptr<TDravikSNESTraceFileLine> TDravikSNESTraceFileLine::FromText(TLineOwner& owner,
                                                                             std::string_view text,
                                                                             bool isComment,
                                                                             const TLogLines* log) {
  auto line = std::make_unique<TDravikSNESTraceFileLine>();
  line->CutText(owner, text, isComment, log);
  return line;
}

std::unique_ptr<TDravikSNESTraceFileLine> TDravikSNESTraceFileLine::FromXml(
    TLineOwner& owner, const TXmlAttributes& element) {
  auto line = std::make_unique<TDravikSNESTraceFileLine>();
  line->ReadXml(owner, element);
  return line;
}

std::unique_ptr<TTraceFileLine> TDravikSNESTraceFileLine::NewFromText(TLineOwner& owner,
                                                                      std::string_view text) const {
  return FromText(owner, text, false, nullptr);
}

void TDravikSNESTraceFileLine::ParseOpcodeVal(TLineOwner&, std::string_view text) {
  if (IsComment() || Trim(text).empty()) {
    opcodeVal_ = 0;
    return;
  }
  if (ContainsPtr(text)) {
    opcodeVal_ = 256;
    return;
  }
  // No handler of its own: an unreadable opcode byte is reported by the creation.
  const std::string_view digits = CopyColumns(text, 10, 2);
  int64_t value = 0;
  if (!ConvertHex(digits, value))
    throw EConvertError(InvalidIntegerMessage("$" + std::string(digits)));
  opcodeVal_ = static_cast<int32_t>(value);
}

void TDravikSNESTraceFileLine::ParseOpcodeLen(TLineOwner&, std::string_view text) {
  if (IsComment()) return;
  if (auto length = LengthOfBytesField(Trim(CopyColumns(text, 10, 11)))) opcodeLen_ = *length;
}

void TDravikSNESTraceFileLine::ParseOpcodeLabel(TLineOwner&, std::string_view text) {
  if (IsComment()) return;
  opcodeLabel_.assign(Trim(CopyColumns(text, 22, 3)));
}

void TDravikSNESTraceFileLine::ParseOperand(TLineOwner& owner, std::string_view text) {
  operand_.clear();
  if (IsComment() || text.size() <= 26) return;
  if (IsBlockMove(opcodeLabel_)) {
    operand_.assign(Trim(CopyColumns(text, 26, 6)));  // shown as no operand in this dialect
    return;
  }
  // The operand ends at a blank or at a bracket glued to it.
  operand_.assign(UpTo(CopyFrom(text, 26), ' ', '['));
  Indexed = operand_.find(',') != std::string::npos;
  if (!operand_.empty()) TTraceFileLine::ParseOperand(owner, text);
}

void TDravikSNESTraceFileLine::ParseTarget(TLineOwner& owner, std::string_view text) {
  const int64_t length = static_cast<int64_t>(text.size());
  int64_t bracket = Pos(operand_, text) + static_cast<int64_t>(operand_.size());
  if (length < bracket || bracket <= 1) {
    targetOffset_ = 0;
    return;
  }
  // Any number of blanks may stand between the operand and its bracket.
  while (bracket <= length && text[bracket - 1] == ' ') ++bracket;
  if (bracket > length || text[bracket - 1] != '[') {
    targetOffset_ = 0;
    return;
  }
  ReadBracket(owner, text, bracket);
}

void TDravikSNESTraceFileLine::ParseRegisters(TLineOwner& owner, std::string_view text) {
  if (IsComment() || text.empty()) return;
  const auto found = FindRegisterBlock(text);
  if (found == std::string_view::npos) return;
  const int64_t a = static_cast<int64_t>(found) + 2;  // column of the letter A
  TFieldReader read(text, a);
  const uint16_t regA = read.Hex(2, 4), regX = read.Hex(9, 4), regY = read.Hex(16, 4);
  const std::string_view regP = CopyColumns(text, a + 23, 9);
  if (!read.Ok()) {
    SetIsComment(true);
    ClearRegisters();
    owner.Message(std::string(text));
    return;
  }
  RegA = regA;
  RegX = regX;
  RegY = regY;
  RegP.assign(regP);
}

}  // namespace orvanel
