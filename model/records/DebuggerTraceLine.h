#pragma once
// The trace line of the debugger dialect ("Dravik's SNES9x debugger" logs). Only where the
// fields stand in the line differs from the first dialect.
#include "records/SnesTraceLine.h"

namespace orvanel {

class TDravikSNESTraceFileLine : public TSNESTraceFileLine {
 public:
  TDravikSNESTraceFileLine() = default;

  static std::unique_ptr<TDravikSNESTraceFileLine> FromText(TLineOwner& owner,
                                                            std::string_view text, bool isComment,
                                                            const TLogLines* log);
  static std::unique_ptr<TDravikSNESTraceFileLine> FromXml(TLineOwner& owner,
                                                           const TXmlAttributes& element);

  void ParseOpcodeVal(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeLen(TLineOwner& owner, std::string_view text) override;
  void ParseOpcodeLabel(TLineOwner& owner, std::string_view text) override;
  void ParseTarget(TLineOwner& owner, std::string_view text) override;
  void ParseOperand(TLineOwner& owner, std::string_view text) override;
  void ParseRegisters(TLineOwner& owner, std::string_view text) override;
  std::unique_ptr<TTraceFileLine> NewFromText(TLineOwner& owner,
                                              std::string_view text) const override;
};

}  // namespace orvanel
