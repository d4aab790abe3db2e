#pragma once
// The trace line of the first log dialect ("Marro's SNES9x" logs).
#include "records/TraceLine.h"

namespace orvanel {

class TSNESTraceFileLine : public TTraceFileLine {
 public:
  TSNESTraceFileLine() = default;

  static std::unique_ptr<TSNESTraceFileLine> FromText(TLineOwner& owner, std::string_view text,
                                                      bool isComment, const TLogLines* log);
  static std::unique_ptr<TSNESTraceFileLine> FromXml(TLineOwner& owner,
                                                     const TXmlAttributes& element);

  std::string OffsetText() const override;
  std::string TargetText() const override;
  int CallKind() const override;
  void ParseOffset(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeVal(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeLen(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeLabel(TLineOwner& owner, std::string_view text) override;
  void ParseTarget(TLineOwner& owner, std::string_view text) override;
  void ParseOperand(TLineOwner& owner, std::string_view text) override;
  std::unique_ptr<TTraceFileLine> NewFromText(TLineOwner& owner,
                                              std::string_view text) const override;
  bool IsFlow() const override;
  bool IsReturn() const override;
  std::string DisplayText() const override;
  int64_t BranchDisplacement(TLineOwner& owner) override;
  using TTraceFileLine::WriteXml;
  void WriteXml(TXmlWriter& writer, const TItemRegisters* registers) const override;
  std::optional<TItemRegisters> RecordedRegisters() const override;
  // Reads the register attributes of a `traceline` element over `registers`: an attribute
  // that is absent (or, for a number, empty) leaves its register as it is. Throws
  // EConvertError for a number that does not convert.
  static void ReadRegisterAttributes(const TXmlAttributes& element, TItemRegisters& registers);
  std::string RegisterKey() const override;
  bool IsCall() const override;
  virtual void ParseRegisters(TLineOwner& owner, std::string_view text);

  // Opcode classes, shared with the project's rules.
  static bool IsFlowOpcode(int32_t opcode);
  static bool IsReturnOpcode(int32_t opcode);
  static bool IsCallOpcode(int32_t opcode);

  uint8_t RegDB = 0;
  uint16_t RegA = 0;
  uint16_t RegD = 0;
  uint16_t RegS = 0;
  uint16_t RegY = 0;
  uint16_t RegX = 0;
  uint16_t HCounter = 0;
  uint16_t VCounter = 0;
  std::string RegP;
  bool Indexed = false;

 protected:
  void CutText(TLineOwner& owner, std::string_view text, bool isComment,
               const TLogLines* log) override;
  void ReadXml(TLineOwner& owner, const TXmlAttributes& element) override;
  void ClearRegisters();
  // Collects a bracket from 1-based column `bracket` and sets the target (both dialects).
  void ReadBracket(TLineOwner& owner, std::string_view text, int64_t bracket);
};

}  // namespace orvanel
