#pragma once
// The trace line snes9x itself writes ("$00:80AD 22 CB 83 00 JSL $0083CB[$00:83CB]   A:0000
// X:0001 ... HC:0604 VC:225 FC:04 ..."). Its instruction columns are those of the debugger
// dialect and its register block that of the first dialect; what differs are the brackets
// the emulator prints with another meaning.
#include "records/DebuggerTraceLine.h"
#include "records/TraceLayouts.h"

namespace orvanel {

class TSnes9xRawTraceFileLine : public TDravikSNESTraceFileLine {
 public:
  static std::unique_ptr<TTraceFileLine> FromText(TLineOwner& owner, std::string_view text,
                                                  bool isComment, const TLogLines* log);
  static std::unique_ptr<TTraceFileLine> FromXml(TLineOwner& owner, const TXmlAttributes& element);
  // Instruction lines, the emulator's status lines and its interrupt announcements.
  static TLineRole Role(std::string_view line);

  void ParseOperand(TLineOwner& owner, std::string_view text) override;
  void ParseTarget(TLineOwner& owner, std::string_view text) override;
  void ParseRegisters(TLineOwner& owner, std::string_view text) override;
  std::unique_ptr<TTraceFileLine> NewFromText(TLineOwner& owner,
                                              std::string_view text) const override;

 protected:
  void CutText(TLineOwner& owner, std::string_view text, bool isComment,
               const TLogLines* log) override;
};

}  // namespace orvanel
