#pragma once
// The trace line of Mesen2's trace logger with its default format ("00801A  LDA $10 [$000010]
// = $00      A:0000 X:0000 Y:0000 S:01FF D:0000 DB:00 P:nvMXdIzc V:0   H:186"): a six-digit
// program counter, the disassembly without instruction bytes, the effective address or the
// name of a register, the register block. Lines with a four-digit counter are the sound CPU's.
#include "records/SnesTraceLine.h"
#include "records/TraceLayouts.h"

namespace orvanel {

class TMesen2TraceFileLine : public TSNESTraceFileLine {
 public:
  static std::unique_ptr<TTraceFileLine> FromText(TLineOwner& owner, std::string_view text,
                                                  bool isComment, const TLogLines* log);
  static std::unique_ptr<TTraceFileLine> FromXml(TLineOwner& owner, const TXmlAttributes& element);
  static TLineRole Role(std::string_view line);

  void ParseOffset(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeVal(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeLen(TLineOwner&, std::string_view) override {}  // with the opcode
  void ParseOpcodeLabel(TLineOwner& owner, std::string_view text) override;
  void ParseOperand(TLineOwner& owner, std::string_view text) override;
  void ParseTarget(TLineOwner& owner, std::string_view text) override;
  void ParseRegisters(TLineOwner& owner, std::string_view text) override;
  // The log prints a branch's target, not its displacement: the displacement is worked out
  // back from it, as the instruction bytes hold it (0 when the target is a name).
  int64_t BranchDisplacement(TLineOwner& owner) override;
  std::unique_ptr<TTraceFileLine> NewFromText(TLineOwner& owner,
                                              std::string_view text) const override;

 protected:
  void CutText(TLineOwner& owner, std::string_view text, bool isComment,
               const TLogLines* log) override;

 private:
  // The effective address was printed as a register's name, or not at all for a long one.
  bool targetFromOperand_ = false;
};

}  // namespace orvanel
