#pragma once
// The record of one trace line: an executed instruction, a comment or a marker of the code
// tree. One record stands for one address; several tree items may show it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/ItemRegisters.h"

namespace orvanel {

class TScopeNode;
class TMappingNode;
class TLogLines;
class TXmlAttributes;
class TXmlWriter;

// Line flags (the values are those of the stored files' era and must not change).
enum TLineFlag : uint8_t {
  lfIsBookmarked = 0x01,
  lfHasTarget = 0x02,
  lfHasOperand = 0x04,
  lfIsComment = 0x10,
  lfIsCodeCacheLine = 0x40,
  lfIsFirstLine = 0x80,
};

// Colour values are the toolkit's 32-bit colours: $00BBGGRR, or $FF000000 + system index.
using TColor = int32_t;

// What a line needs from the tree it is made for: where its messages go and which label
// stands at an address (for lines read from a trace data file).
class TLineOwner {
 public:
  virtual ~TLineOwner() = default;
  virtual void Message(std::string text) = 0;
  virtual TMappingNode* FindLabel(int64_t offset) = 0;
};

// A line owner that knows no labels and drops its messages into a list (tests, tools).
class TSimpleLineOwner : public TLineOwner {
 public:
  void Message(std::string text) override { Messages.push_back(std::move(text)); }
  TMappingNode* FindLabel(int64_t) override { return nullptr; }
  std::vector<std::string> Messages;
};

// Which of a line's three references to a mapping a Referrers entry stands for.
enum class TRefKind : uint8_t { OffsetLabel = 0, TargetRef = 1, OperandRef = 2 };

class TTraceFileLine {
 public:
  // A bare line: no fields, no flags (the plain comment line of the Insert key).
  TTraceFileLine();
  // Leaves the Referrers of its mappings and the list of its scope. So a line must not
  // outlive them, unless their owner has cleared the links first (the scope manager's Clear).
  virtual ~TTraceFileLine();
  TTraceFileLine(const TTraceFileLine&) = delete;
  TTraceFileLine& operator=(const TTraceFileLine&) = delete;

  // Creation from log text: constructs an unattached line and cuts the text into fields.
  // `log` is only used for the index in error messages and may be null.
  static std::unique_ptr<TTraceFileLine> FromText(TLineOwner& owner, std::string_view text,
                                                  bool isComment, const TLogLines* log);
  // Creation from a `traceline` element. Throws EConvertError for missing or non-numeric
  // attributes as the file format demands.
  static std::unique_ptr<TTraceFileLine> FromXml(TLineOwner& owner, const TXmlAttributes& element);
  // Throws what FromXml throws for the element of an instruction line, without making one
  // (a reader that already holds the record of the element's offset checks the element so).
  static void CheckInstructionXml(const TXmlAttributes& element);

  // --- virtual operations -------------------------------------------------------------
  virtual std::string OffsetText() const;  // base: empty
  virtual std::string TargetText() const;  // base: empty
  virtual int CallKind() const { return 2; }
  virtual void ParseOffset(TLineOwner&, std::string_view) {}
  virtual void ParseOpcodeVal(TLineOwner&, std::string_view) {}
  virtual void ParseOpcodeLen(TLineOwner&, std::string_view) {}
  virtual void ParseOpcodeLabel(TLineOwner&, std::string_view) {}
  virtual void ParseTarget(TLineOwner&, std::string_view) {}
  virtual void ParseOperand(TLineOwner&, std::string_view);  // base: sets HasOperand
  // A new unattached line of this line's own class cut from the text (not a comment by
  // argument, no log lines). The base class makes none.
  virtual std::unique_ptr<TTraceFileLine> NewFromText(TLineOwner& owner,
                                                      std::string_view text) const;
  virtual bool IsFlow() const { return false; }
  virtual bool IsReturn() const { return false; }
  virtual std::string DisplayText() const;
  // Displacement of a branch; a value that does not convert reports the line's text,
  // makes the line a comment and gives 0.
  virtual int64_t BranchDisplacement(TLineOwner&) { return 0; }
  // Starts the `traceline` element and writes its attributes; the caller writes the
  // children and ends the element.
  void WriteXml(TXmlWriter& writer) const { WriteXml(writer, nullptr); }
  // The same for one tree item of the record: its own registers, when given, stand in place
  // of the record's; every other attribute is the record's.
  virtual void WriteXml(TXmlWriter& writer, const TItemRegisters* registers) const;
  // The registers the line's log line (or element) recorded; none for a line that holds no
  // registers (the plain comment line).
  virtual std::optional<TItemRegisters> RecordedRegisters() const { return std::nullopt; }
  virtual std::string RegisterKey() const { return {}; }
  virtual bool IsCall() const { return false; }

  // --- flags ------------------------------------------------------------------------
  uint8_t Flags() const { return flags_; }
  void SetFlags(uint8_t flags) { flags_ = flags; }
  bool HasFlag(uint8_t f) const { return (flags_ & f) != 0; }
  void SetFlag(uint8_t f, bool on) { flags_ = on ? (flags_ | f) : (flags_ & ~f); }
  bool IsComment() const { return HasFlag(lfIsComment); }
  void SetIsComment(bool on) { SetFlag(lfIsComment, on); }
  bool HasTarget() const { return HasFlag(lfHasTarget); }
  void SetHasTarget(bool on) { SetFlag(lfHasTarget, on); }
  bool HasOperand() const { return HasFlag(lfHasOperand); }
  bool IsFirstLine() const { return HasFlag(lfIsFirstLine); }
  bool IsBookmarked() const { return HasFlag(lfIsBookmarked); }
  bool IsCodeCacheLine() const { return HasFlag(lfIsCodeCacheLine); }

  // --- plain fields -------------------------------------------------------------------
  const std::string& LineText() const { return lineText_; }
  void SetLineText(std::string text) { lineText_ = std::move(text); }
  const std::string& RegisterName() const { return registerName_; }
  void SetRegisterName(std::string s) { registerName_ = std::move(s); }
  const std::string& RegisterInfo() const { return registerInfo_; }
  void SetRegisterInfo(std::string s) { registerInfo_ = std::move(s); }
  int64_t Offset() const { return offset_; }
  void SetOffset(int64_t v) { offset_ = v; }
  int64_t TargetOffset() const { return targetOffset_; }
  void SetTargetOffset(int64_t v) { targetOffset_ = v; }
  int32_t OpcodeVal() const { return opcodeVal_; }
  void SetOpcodeVal(int32_t v) { opcodeVal_ = v; }
  uint8_t OpcodeLen() const { return opcodeLen_; }
  void SetOpcodeLen(uint8_t v) { opcodeLen_ = v; }
  const std::string& OpcodeLabel() const { return opcodeLabel_; }
  void SetOpcodeLabel(std::string s) { opcodeLabel_ = std::move(s); }
  // What the comment box holds (characters), and the longest comment a data file may bring
  // (bytes): a longer one is left out when the file is read.
  static constexpr size_t kCommentLimit = 200;
  static constexpr size_t kCommentReadLimit = size_t{64} << 10;
  const std::string& Comment() const { return comment_; }
  void SetComment(std::string s) { comment_ = std::move(s); }
  const std::string& Operand() const { return operand_; }
  void SetOperand(std::string s) { operand_ = std::move(s); }
  TColor TextColor() const { return textColor_; }
  void SetTextColor(TColor c) { textColor_ = c; }

  bool HasKnownSuccessor() const { return IsReturn() || successor_ != nullptr; }
  bool TargetResolved() const { return !(HasTarget() && IsFlow() && targetNode_ == nullptr); }

  // --- links to other lines (not owned) -------------------------------------------------
  TTraceFileLine* TargetNode() const { return targetNode_; }
  void SetTargetNode(TTraceFileLine* line) { targetNode_ = line; }
  // The line of the next instruction in memory when this one falls through to it.
  TTraceFileLine* Successor() const { return successor_; }
  void SetSuccessor(TTraceFileLine* line) { successor_ = line; }
  TTraceFileLine* CacheTwin() const { return cacheTwin_; }
  TTraceFileLine* CacheTwinOf() const { return cacheTwinOf_; }
  // Sets A's twin to B: clears the back link of A's old twin, then A.CacheTwin := B and
  // B.CacheTwinOf := A.
  void SetCacheTwin(TTraceFileLine* twin);
  // Sets only the back link (the trace data reader links both ways by hand).
  void SetCacheTwinOf(TTraceFileLine* line) { cacheTwinOf_ = line; }

  // --- references to scopes, labels and mappings (not owned) ---------------------------
  TScopeNode* Scope() const { return scope_; }
  TMappingNode* OffsetLabel() const { return refs_[0]; }
  TMappingNode* TargetRef() const { return refs_[1]; }
  TMappingNode* OperandRef() const { return refs_[2]; }
  // Each setter takes the line out of the old node's Referrers and into the new one's.
  void SetOffsetLabel(TMappingNode* m) { SetRef(TRefKind::OffsetLabel, m); }
  void SetTargetRef(TMappingNode* m) { SetRef(TRefKind::TargetRef, m); }
  void SetOperandRef(TMappingNode* m) { SetRef(TRefKind::OperandRef, m); }
  void SetRef(TRefKind kind, TMappingNode* mapping);
  TMappingNode* Ref(TRefKind kind) const { return refs_[static_cast<int>(kind)]; }

  // Gives the line to a scope (or none): leaves the old scope's list, enters the new one's
  // under its key and, unless it is a flow line, takes the scope's mapping of its target or
  // operand.
  void AttachScope(TScopeNode* scope);
  // The key under which a scope lists the line: decimal offset, "_cc" for code cache lines.
  std::string ScopeKey() const;

  // A new unattached line of the same class from LineText with this line's flags (less
  // IsCodeCacheLine), label, scope, colour, target, successor and comment.
  std::unique_ptr<TTraceFileLine> Clone(TLineOwner& owner) const;

  // --- bookkeeping used by the scope model and the project (not part of the record) -----
  uint32_t referrerSlot_[3] = {0, 0, 0};  // position in each referenced node's Referrers
  uint32_t scopeEntry_ = 0;               // position of the line's entry in its scope's list
  uint32_t itemCount_ = 0;                // tree items that show this record
  void* ownItem_ = nullptr;               // the tree item added for it most recently
  uint32_t storeSlot_ = 0;                // position in the project's record store

 protected:
  // The creation from text after construction: comment tests, then the parse operations.
  virtual void CutText(TLineOwner& owner, std::string_view text, bool isComment,
                       const TLogLines* log);
  // The creation from an element after construction.
  virtual void ReadXml(TLineOwner& owner, const TXmlAttributes& element);
  void ReadCommentFields(const TXmlAttributes& element);
  // The message of an error escaping the cutting: text, "-", index of the first equal log line.
  static std::string CutErrorMessage(std::string_view text, const TLogLines* log);

  uint8_t flags_ = 0;
  std::string lineText_;
  std::string registerName_;
  std::string registerInfo_;
  int64_t offset_ = 0;
  int64_t targetOffset_ = 0;
  int32_t opcodeVal_ = 0;
  uint8_t opcodeLen_ = 0;
  std::string opcodeLabel_;
  std::string comment_;
  std::string operand_;
  TScopeNode* scope_ = nullptr;
  TMappingNode* refs_[3] = {nullptr, nullptr, nullptr};  // OffsetLabel, TargetRef, OperandRef
  TTraceFileLine* targetNode_ = nullptr;
  TTraceFileLine* successor_ = nullptr;
  TTraceFileLine* cacheTwin_ = nullptr;
  TTraceFileLine* cacheTwinOf_ = nullptr;
  TColor textColor_ = 0;

  friend class TScopeNode;
  friend class TMappingNode;
};

}  // namespace orvanel
