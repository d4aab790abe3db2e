#include "records/TraceLine.h"

#include <string>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "records/Scope.h"
#include "trace/LogLines.h"
#include "xml/Xml.h"

namespace orvanel {

namespace {

// The value of an attribute that must be there.
std::string_view RequiredText(const TXmlAttributes& element, std::string_view name) {
  auto value = element.Attribute(name);
  if (!value) throw EConvertError(AttributeNumberMessage(name, std::nullopt));
  return *value;
}

int64_t AttributeInt(std::string_view name, std::optional<std::string_view> text) {
  int64_t value = 0;
  if (!text || !TryStrToInt(*text, value)) throw EConvertError(AttributeNumberMessage(name, text));
  return value;
}

int64_t RequiredInt(const TXmlAttributes& element, std::string_view name) {
  return AttributeInt(name, element.Attribute(name));
}

bool IsBracketOrBrace(std::string_view trimmed) {
  return trimmed == "{" || trimmed == "}" || trimmed == "[" || trimmed == "]";
}

}  // namespace

TTraceFileLine::TTraceFileLine() = default;

// A record that goes away while its mappings and scope live on (a duplicate that lost to the
// record already indexed, a line whose creation failed) leaves no trace in their lists. When
// the whole model goes, its owner clears these links before the records are freed.
TTraceFileLine::~TTraceFileLine() {
  for (TMappingNode* mapping : refs_)
    if (mapping != nullptr) mapping->ForgetReferrer(this);  // every kind at once
  if (scope_ != nullptr) scope_->ForgetLine(this);
}

std::unique_ptr<TTraceFileLine> TTraceFileLine::FromText(TLineOwner& owner, std::string_view text,
                                                         bool isComment, const TLogLines* log) {
  auto line = std::make_unique<TTraceFileLine>();
  line->CutText(owner, text, isComment, log);
  return line;
}

std::unique_ptr<TTraceFileLine> TTraceFileLine::FromXml(TLineOwner& owner,
                                                        const TXmlAttributes& element) {
  auto line = std::make_unique<TTraceFileLine>();
  line->ReadXml(owner, element);
  return line;
}

std::string TTraceFileLine::OffsetText() const {
  return {};
}
std::string TTraceFileLine::TargetText() const {
  return {};
}

void TTraceFileLine::ParseOperand(TLineOwner&, std::string_view) {
  SetFlag(lfHasOperand, true);
}

std::unique_ptr<TTraceFileLine> TTraceFileLine::NewFromText(TLineOwner&, std::string_view) const {
  return nullptr;
}

std::string TTraceFileLine::DisplayText() const {
  if (IsComment()) return comment_.empty() ? lineText_ : comment_;
  return lineText_;
}

void TTraceFileLine::CutText(TLineOwner& owner, std::string_view text, bool isComment,
                             const TLogLines* log) {
  if (text.empty()) {
    SetIsComment(true);
    return;
  }
  const bool comment =
      isComment || IsBracketOrBrace(Trim(text)) || text.find("---") != std::string_view::npos;
  SetIsComment(comment);
  lineText_.assign(text);
  textColor_ = 0;
  if (comment) return;
  try {
    ParseOffset(owner, text);
    ParseOpcodeVal(owner, text);
    ParseOpcodeLen(owner, text);
    ParseOpcodeLabel(owner, text);
    ParseOperand(owner, text);  // also when the offset has just made the line a comment
    ParseTarget(owner, text);   // reads the operand stored just before
  } catch (const EConvertError&) {
    owner.Message(CutErrorMessage(text, log));
    SetIsComment(true);
  }
}

// A line cut without log lines (a copy) has no index to show: its message ends with "-".
std::string TTraceFileLine::CutErrorMessage(std::string_view text, const TLogLines* log) {
  std::string message(text);
  message += '-';
  if (log != nullptr) {
    if (auto index = log->FirstIndexOf(text)) message += std::to_string(*index);
  }
  return message;
}

void TTraceFileLine::CheckInstructionXml(const TXmlAttributes& element) {
  // In the order the attributes are written, which the stream reader looks up fastest.
  RequiredInt(element, "textcolor");
  RequiredInt(element, "offset");
  RequiredInt(element, "opcodeval");
  RequiredInt(element, "opcodelen");
  RequiredText(element, "opcodelabel");
  if (auto target = element.Attribute("targetoffset"); target != "-1")
    AttributeInt("targetoffset", target);
}

void TTraceFileLine::ReadXml(TLineOwner& owner, const TXmlAttributes& element) {
  SetIsComment(element.Attribute("isComment") == "TRUE");
  comment_.assign(element.Attribute("comment").value_or(std::string_view()));
  if (comment_.size() > kCommentReadLimit) comment_.clear();  // the reader reports it
  textColor_ = static_cast<TColor>(RequiredInt(element, "textcolor"));
  lineText_.assign(element.Attribute("linetext").value_or(std::string_view()));
  offset_ = RequiredInt(element, "offset");
  auto first = element.Attribute("isfirstline");
  SetFlag(lfIsFirstLine, first && !first->empty());
  if (IsComment()) {
    ReadCommentFields(element);
    return;
  }

  auto target = element.Attribute("targetoffset");
  if (target != "-1") {
    targetOffset_ = AttributeInt("targetoffset", target);
    SetHasTarget(true);
  } else {
    targetOffset_ = 0;
  }
  // An element without an operand attribute is read as one without an operand.
  auto operand = element.Attribute("operand");
  if (operand && *operand != "-1") {
    operand_.assign(*operand);
    SetFlag(lfHasOperand, true);
  } else {
    operand_.clear();
  }
  opcodeVal_ = static_cast<int32_t>(RequiredInt(element, "opcodeval"));
  opcodeLabel_.assign(RequiredText(element, "opcodelabel"));
  opcodeLen_ = static_cast<uint8_t>(RequiredInt(element, "opcodelen") & 0xFF);
  if (IsFlow()) SetTargetRef(owner.FindLabel(targetOffset_));
  SetOffsetLabel(owner.FindLabel(offset_));
}

// A comment line carries no instruction, but what it was written with comes back (an Upstep's
// length, the fields a broken log line had), so that a file read and written again is the same.
// Nothing here is required: a missing or unreadable value keeps the field empty.
void TTraceFileLine::ReadCommentFields(const TXmlAttributes& element) {
  int64_t value = 0;
  if (auto v = element.Attribute("opcodeval"); v && TryStrToInt(*v, value))
    opcodeVal_ = static_cast<int32_t>(value);
  if (auto v = element.Attribute("opcodelen"); v && TryStrToInt(*v, value))
    opcodeLen_ = static_cast<uint8_t>(value & 0xFF);
  opcodeLabel_.assign(element.Attribute("opcodelabel").value_or(std::string_view()));
  if (auto v = element.Attribute("targetoffset"); v && *v != "-1" && TryStrToInt(*v, value)) {
    targetOffset_ = value;
    SetHasTarget(true);
  }
  if (auto v = element.Attribute("operand"); v && *v != "-1") {
    operand_.assign(*v);
    SetFlag(lfHasOperand, true);
  }
}

void TTraceFileLine::WriteXml(TXmlWriter& writer, const TItemRegisters*) const {
  writer.StartElement("traceline");
  writer.Attribute("linetext", lineText_);
  writer.Attribute("textcolor", std::to_string(textColor_));
  writer.Attribute("comment", comment_);
  if (IsFirstLine()) writer.Attribute("isfirstline", "TRUE");
  writer.Attribute("isComment", IsComment() ? "TRUE" : "FALSE");
  if (scope_ != nullptr && !scope_->IsGlobal()) writer.Attribute("scope", scope_->ScopeName());
  writer.Attribute("offset", std::to_string(offset_));
  writer.Attribute("opcodeval", std::to_string(opcodeVal_));
  writer.Attribute("opcodelen", std::to_string(opcodeLen_));
  writer.Attribute("opcodelabel", opcodeLabel_);
  writer.Attribute("targetoffset", HasTarget() ? std::to_string(targetOffset_) : "-1");
  writer.Attribute("operand", HasOperand() ? operand_ : std::string("-1"));
}

void TTraceFileLine::SetCacheTwin(TTraceFileLine* twin) {
  if (cacheTwin_ != nullptr) cacheTwin_->cacheTwinOf_ = nullptr;
  cacheTwin_ = twin;
  if (twin != nullptr) twin->cacheTwinOf_ = this;
}

void TTraceFileLine::SetRef(TRefKind kind, TMappingNode* mapping) {
  const int k = static_cast<int>(kind);
  if (refs_[k] == mapping) return;
  if (refs_[k] != nullptr) refs_[k]->RemoveReferrer(referrerSlot_[k]);
  refs_[k] = mapping;
  referrerSlot_[k] = mapping != nullptr ? mapping->AddReferrer(this, kind) : 0;
}

void TTraceFileLine::AttachScope(TScopeNode* scope) {
  // A line executed again is attached again to the scope it has: its entry only moves to
  // the end of the scope's list.
  if (scope == nullptr || scope != scope_ || !scope->ReenterLine(this)) {
    if (scope_ != nullptr) scope_->LeaveLine(this);
    scope_ = scope;
    if (scope == nullptr) return;
    scope->EnterLine(this);
  }
  if (IsFlow()) return;  // jumps, branches and calls name their target through labels
  if (HasTarget())
    SetTargetRef(scope->FindMappingByOffset(targetOffset_));
  else if (HasOperand())
    SetOperandRef(scope->FindMappingByText(operand_));
}

std::string TTraceFileLine::ScopeKey() const {
  std::string key = std::to_string(offset_);
  if (IsCodeCacheLine()) key += "_cc";
  return key;
}

std::unique_ptr<TTraceFileLine> TTraceFileLine::Clone(TLineOwner& owner) const {
  auto copy = NewFromText(owner, lineText_);
  // A bare line has no dialect to cut with; its copy is a bare line of the same text.
  if (!copy) copy = FromText(owner, lineText_, false, nullptr);
  copy->SetFlags(flags_ & static_cast<uint8_t>(~lfIsCodeCacheLine));
  copy->SetOffsetLabel(OffsetLabel());
  copy->AttachScope(scope_);
  copy->SetTextColor(textColor_);
  copy->SetTargetNode(targetNode_);
  copy->SetSuccessor(successor_);
  copy->SetIsComment(IsComment());
  copy->SetComment(comment_);
  return copy;
}

}  // namespace orvanel
