#include "records/Snes9xRawTraceLine.h"

#include "base/TextUtils.h"
#include "trace/LineCutting.h"

namespace orvanel {

using namespace line_cutting;

std::unique_ptr<TTraceFileLine> TSnes9xRawTraceFileLine::FromText(TLineOwner& owner,
                                                                  std::string_view text,
                                                                  bool isComment,
                                                                  const TLogLines* log) {
  auto line = std::make_unique<TSnes9xRawTraceFileLine>();
  line->CutText(owner, text, isComment, log);
  return line;
}

std::unique_ptr<TTraceFileLine> TSnes9xRawTraceFileLine::FromXml(TLineOwner& owner,
                                                                 const TXmlAttributes& element) {
  auto line = std::make_unique<TSnes9xRawTraceFileLine>();
  line->ReadXml(owner, element);
  return line;
}

std::unique_ptr<TTraceFileLine> TSnes9xRawTraceFileLine::NewFromText(TLineOwner& owner,
                                                                     std::string_view text) const {
  return FromText(owner, text, false, nullptr);
}

TLineRole TSnes9xRawTraceFileLine::Role(std::string_view line) {
  // "$BB:AAAA OP": bank, colon, address, opcode byte.
  if (line.size() >= 11 && line[0] == '$' && line[3] == ':' && line[8] == ' ' &&
      HexDigitValue(line[1]) >= 0 && HexDigitValue(line[2]) >= 0 && HexDigitValue(line[4]) >= 0 &&
      HexDigitValue(line[7]) >= 0 && HexDigitValue(line[9]) >= 0 && HexDigitValue(line[10]) >= 0)
    return TLineRole::Instruction;
  if (line.empty()) return TLineRole::Empty;
  struct TPrefix {
    std::string_view text;
    TLineRole role;
  };
  static constexpr TPrefix kPrefixes[] = {
      {"*** NMI", TLineRole::Nmi},
      {"*** IRQ", TLineRole::Irq},
      {"*** BRK", TLineRole::Brk},
      {"*** COP", TLineRole::Cop},
      {"*** WRAM Refresh", TLineRole::WramRefresh},
      {"*** HDMA", TLineRole::Hdma},
      {"--- HDMA", TLineRole::Hdma},
      {"--- IRQ Timer", TLineRole::IrqTimer},
      {"Timer triggered", TLineRole::TimerTriggered},
  };
  for (const TPrefix& p : kPrefixes)
    if (line.substr(0, p.text.size()) == p.text) return p.role;
  return TLineRole::Unknown;
}

void TSnes9xRawTraceFileLine::ParseOperand(TLineOwner& owner, std::string_view text) {
  operand_.clear();
  if (IsComment() || text.size() <= 26) return;
  if (IsBlockMove(opcodeLabel_)) {
    // MVN/MVP print two banks with a blank between them: take the whole field.
    operand_.assign(Trim(CopyColumns(text, 26, 6)));
  } else {
    // The operand ends at a blank or at a bracket glued to it; "[$12]" itself starts with one.
    std::string_view operand = UpTo(CopyFrom(text, 26), ' ');
    if (const size_t glued = operand.find('[', 1); glued != std::string_view::npos)
      operand = operand.substr(0, glued);
    operand_.assign(operand);
  }
  Indexed = operand_.find(',') != std::string::npos;
  if (!operand_.empty()) TTraceFileLine::ParseOperand(owner, text);
}

void TSnes9xRawTraceFileLine::ParseTarget(TLineOwner& owner, std::string_view text) {
  TDravikSNESTraceFileLine::ParseTarget(owner, text);
  // JSR abs prints the data bank; the routine lies in the bank of the call itself.
  if (opcodeVal_ == 0x20 && HasTarget())
    targetOffset_ = (offset_ & 0xFF0000) | (targetOffset_ & 0xFFFF);
}

void TSnes9xRawTraceFileLine::ParseRegisters(TLineOwner& owner, std::string_view text) {
  TSNESTraceFileLine::ParseRegisters(owner, text);  // the first dialect's register block
}

void TSnes9xRawTraceFileLine::CutText(TLineOwner& owner, std::string_view text, bool isComment,
                                      const TLogLines* log) {
  TSNESTraceFileLine::CutText(owner, text, isComment, log);
  // PEI's bracket is the word it pushes; its target is the direct-page word it reads.
  int64_t dp = 0;
  if (!IsComment() && opcodeVal_ == 0xD4 && HasTarget() && operand_.size() >= 4 &&
      ConvertHex(std::string_view(operand_).substr(2, 2), dp))
    targetOffset_ = (RegD + dp) & 0xFFFF;
}

}  // namespace orvanel
