#include "records/SnesTraceLine.h"

#include <string>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "records/Scope.h"
#include "trace/LineCutting.h"
#include "xml/Xml.h"

namespace orvanel {

using namespace line_cutting;

std::unique_ptr<TSNESTraceFileLine> TSNESTraceFileLine::FromText(TLineOwner& owner,
                                                                 std::string_view text,
                                                                 bool isComment,
                                                                 const TLogLines* log) {
  auto line = std::make_unique<TSNESTraceFileLine>();
  line->CutText(owner, text, isComment, log);
  return line;
}

std::unique_ptr<TSNESTraceFileLine> TSNESTraceFileLine::FromXml(TLineOwner& owner,
                                                                const TXmlAttributes& element) {
  auto line = std::make_unique<TSNESTraceFileLine>();
  line->ReadXml(owner, element);
  return line;
}

// --- opcode classes ---------------------------------------------------------------------

bool TSNESTraceFileLine::IsFlowOpcode(int32_t opcode) {
  // Branches, jumps and calls: BPL JSR JSL BMI JMP BVC JML JMP() BVS JMP(,X) BRA BCC BCS BNE
  // JML[] BEQ JSR(,X).
  static constexpr int32_t kFlow[] = {0x10, 0x20, 0x22, 0x30, 0x4C, 0x50, 0x5C, 0x6C, 0x70,
                                      0x7C, 0x80, 0x90, 0xB0, 0xD0, 0xDC, 0xF0, 0xFC};
  for (int32_t op : kFlow)
    if (op == opcode) return true;
  return false;
}

bool TSNESTraceFileLine::IsReturnOpcode(int32_t opcode) {
  return opcode == 0x40 || opcode == 0x60 || opcode == 0x6B;
}

bool TSNESTraceFileLine::IsCallOpcode(int32_t opcode) {
  return opcode == 0x20 || opcode == 0x22 || opcode == 0xFC;
}

bool TSNESTraceFileLine::IsFlow() const {
  return IsFlowOpcode(opcodeVal_);
}
bool TSNESTraceFileLine::IsReturn() const {
  return IsReturnOpcode(opcodeVal_);
}
bool TSNESTraceFileLine::IsCall() const {
  return IsCallOpcode(opcodeVal_);
}

int TSNESTraceFileLine::CallKind() const {
  if (opcodeVal_ == 0x20 || opcodeVal_ == 0xFC) return 0;
  if (opcodeVal_ == 0x22) return 1;
  return 2;
}

// --- texts ------------------------------------------------------------------------------

namespace {
std::string AddressText(int64_t address) {
  std::string text(1, '$');
  text += IntToHex(address, 6);
  return text;
}
}  // namespace

std::string TSNESTraceFileLine::OffsetText() const {
  return AddressText(offset_);
}
std::string TSNESTraceFileLine::TargetText() const {
  return AddressText(targetOffset_);
}
std::string TSNESTraceFileLine::RegisterKey() const {
  return IntToHex(targetOffset_ & 0xFFFF, 6);
}

std::string TSNESTraceFileLine::DisplayText() const {
  if (IsComment()) return comment_.empty() ? lineText_ : comment_;
  std::string text;
  if (scope_ != nullptr) text += scope_->ScopeName();
  text += '.';
  if (const TMappingNode* label = OffsetLabel()) {
    text += label->MappingName();
    text += ": ";
  } else {
    text += OffsetText();
    text += ' ';
  }
  text += opcodeLabel_;
  if (HasTarget()) {
    text += ' ';
    if (!registerName_.empty())
      text += registerName_;
    else if (TargetRef() != nullptr)
      text += TargetRef()->MappingName();
    else if (OperandRef() != nullptr)
      text += OperandRef()->MappingName();
    else
      text += operand_;
    text += " [";
    text += TargetText();
    text += ']';
  } else if (HasOperand()) {
    text += ' ';
    text += OperandRef() != nullptr ? OperandRef()->MappingName() : operand_;
  }
  return text;
}

int64_t TSNESTraceFileLine::BranchDisplacement(TLineOwner& owner) {
  std::string_view displacement = operand_;
  if (auto bracket = displacement.find('['); bracket != std::string_view::npos)
    displacement = Trim(displacement.substr(0, bracket));
  int64_t value = 0;
  if (TryStrToInt(displacement, value)) return value;
  owner.Message(DisplayText());
  SetIsComment(true);
  return 0;
}

// --- creation from text -----------------------------------------------------------------

void TSNESTraceFileLine::CutText(TLineOwner& owner, std::string_view text, bool isComment,
                                 const TLogLines* log) {
  TTraceFileLine::CutText(owner, text, isComment, log);
  if (IsComment() || opcodeVal_ == 256) return;
  try {
    ParseRegisters(owner, text);
  } catch (const EConvertError&) {
    owner.Message(CutErrorMessage(text, log));
    SetIsComment(true);
  }
}

void TSNESTraceFileLine::ParseOffset(TLineOwner& owner, std::string_view text) {
  if (text.empty()) return;
  if (text[0] != '$' || text.size() <= 10) {
    SetIsComment(true);
    return;
  }
  // $BB/AAAA: the bank and the address without the slash ($008005).
  char digits[6];
  const std::string_view bank = CopyColumns(text, 2, 2), address = CopyColumns(text, 5, 4);
  bank.copy(digits, bank.size());
  address.copy(digits + bank.size(), address.size());
  int64_t value = 0;
  if (!ConvertHex(std::string_view(digits, bank.size() + address.size()), value)) {
    owner.Message(std::string(text));
    SetIsComment(true);
    return;
  }
  offset_ = value;
}

void TSNESTraceFileLine::ParseOpcodeVal(TLineOwner& owner, std::string_view text) {
  if (IsComment() || Trim(text).empty()) {
    opcodeVal_ = 0;
    return;
  }
  if (ContainsPtr(text)) {
    opcodeVal_ = 256;  // no instruction: the register block is not read either
    return;
  }
  int64_t value = 0;
  if (!ConvertHex(CopyColumns(text, 11, 2), value)) {
    owner.Message(std::string(text));
    SetIsComment(true);
    return;
  }
  opcodeVal_ = static_cast<int32_t>(value);
}

void TSNESTraceFileLine::ParseOpcodeLen(TLineOwner&, std::string_view text) {
  if (IsComment()) return;
  if (auto length = LengthOfBytesField(Trim(CopyColumns(text, 10, 12)))) opcodeLen_ = *length;
}

void TSNESTraceFileLine::ParseOpcodeLabel(TLineOwner&, std::string_view text) {
  if (IsComment()) return;
  opcodeLabel_.assign(CopyColumns(text, 24, 3));
}

void TSNESTraceFileLine::ParseOperand(TLineOwner& owner, std::string_view text) {
  operand_.clear();
  if (text.size() <= 28) return;
  if (IsBlockMove(opcodeLabel_)) {
    // MVN/MVP print two banks with a blank between them: take the whole field.
    operand_.assign(Trim(CopyColumns(text, 28, 6)));
    SetFlag(lfHasOperand, true);
    return;
  }
  operand_.assign(UpTo(CopyFrom(text, 28), ' '));
  if (operand_.empty()) return;
  TTraceFileLine::ParseOperand(owner, text);
  Indexed = operand_.find(',') != std::string::npos;
}

void TSNESTraceFileLine::ParseTarget(TLineOwner& owner, std::string_view text) {
  // The bracket stands one blank after the first place the operand text occurs in the line.
  const int64_t bracket = Pos(operand_, text) + static_cast<int64_t>(operand_.size()) + 1;
  if (static_cast<int64_t>(text.size()) < bracket || bracket <= 1 || text[bracket - 1] != '[') {
    targetOffset_ = 0;
    return;
  }
  ReadBracket(owner, text, bracket);
}

void TSNESTraceFileLine::ReadBracket(TLineOwner& owner, std::string_view text, int64_t bracket) {
  SetHasTarget(true);
  std::string collected;  // a short bracket text stays in the string's own buffer
  for (char c : UpTo(CopyFrom(text, bracket + 1), ']'))
    if (c != ':') collected.push_back(c);
  int64_t value = 0;
  if (!ConvertInteger(collected, value)) {
    owner.Message(std::string(text));
    SetIsComment(true);
    return;
  }
  const int64_t bank = offset_ & 0xFF0000;
  if (collected.size() >= 6) {
    // Indirect and indexed JMPs go through the bank of the instruction itself.
    const bool ownBank = opcodeVal_ == 0x4C || opcodeVal_ == 0x6C || opcodeVal_ == 0x7C;
    targetOffset_ = ownBank ? (bank | (value & 0xFFFF)) : value;
  } else {
    targetOffset_ = value | bank;  // a bracket without bank lies in the instruction's bank
  }
}

void TSNESTraceFileLine::ClearRegisters() {
  RegDB = 0;
  RegA = RegD = RegS = RegY = RegX = 0;
  HCounter = VCounter = 0;
  RegP.clear();
}

void TSNESTraceFileLine::ParseRegisters(TLineOwner& owner, std::string_view text) {
  if (text.empty()) return;
  const auto found = FindRegisterBlock(text);
  if (found == std::string_view::npos) return;
  const int64_t a = static_cast<int64_t>(found) + 2;  // column of the letter A
  TFieldReader read(text, a);
  const uint16_t regA = read.Hex(2, 4), regX = read.Hex(9, 4), regY = read.Hex(16, 4),
                 regD = read.Hex(23, 4);
  const uint8_t regDB = static_cast<uint8_t>(read.Hex(31, 2));
  const uint16_t regS = read.Hex(36, 4);
  const std::string_view regP = CopyColumns(text, a + 43, 9);
  const uint16_t hc = read.Decimal(56, 4);
  // A three-digit horizontal counter moves the vertical one a column to the left.
  const bool shortHc = CopyColumns(text, a + 59, 1) == " ";
  const uint16_t vc = read.Decimal(shortHc ? 63 : 64, 4);
  if (!read.Ok()) {
    SetIsComment(true);
    ClearRegisters();
    owner.Message(std::string(text));
    return;
  }
  RegA = regA;
  RegX = regX;
  RegY = regY;
  RegD = regD;
  RegDB = regDB;
  RegS = regS;
  RegP.assign(regP);
  HCounter = hc;
  VCounter = vc;
}

std::unique_ptr<TTraceFileLine> TSNESTraceFileLine::NewFromText(TLineOwner& owner,
                                                                std::string_view text) const {
  return FromText(owner, text, false, nullptr);
}

// --- XML --------------------------------------------------------------------------------

std::optional<TItemRegisters> TSNESTraceFileLine::RecordedRegisters() const {
  TItemRegisters r;
  r.A = RegA;
  r.X = RegX;
  r.Y = RegY;
  r.D = RegD;
  r.S = RegS;
  r.DB = RegDB;
  r.HCounter = HCounter;
  r.VCounter = VCounter;
  r.SetPText(RegP);
  return r;
}

void TSNESTraceFileLine::WriteXml(TXmlWriter& writer, const TItemRegisters* registers) const {
  TTraceFileLine::WriteXml(writer, registers);
  if (registers) {
    writer.Attribute("A", std::to_string(registers->A));
    writer.Attribute("X", std::to_string(registers->X));
    writer.Attribute("Y", std::to_string(registers->Y));
    writer.Attribute("S", std::to_string(registers->S));
    writer.Attribute("D", std::to_string(registers->D));
    writer.Attribute("DB", std::to_string(registers->DB));
    writer.Attribute("PS", registers->PText());
    writer.Attribute("HC", std::to_string(registers->HCounter));
    writer.Attribute("VC", std::to_string(registers->VCounter));
  } else {
    writer.Attribute("A", std::to_string(RegA));
    writer.Attribute("X", std::to_string(RegX));
    writer.Attribute("Y", std::to_string(RegY));
    writer.Attribute("S", std::to_string(RegS));
    writer.Attribute("D", std::to_string(RegD));
    writer.Attribute("DB", std::to_string(RegDB));
    writer.Attribute("PS", RegP);
    writer.Attribute("HC", std::to_string(HCounter));
    writer.Attribute("VC", std::to_string(VCounter));
  }
  writer.Attribute("indexed", Indexed ? "TRUE" : "FALSE");
}

namespace {
// A register whose attribute is absent or empty keeps its value.
template <typename T>
void ReadRegister(const TXmlAttributes& element, std::string_view name, T& reg) {
  auto value = element.Attribute(name);
  if (!value || value->empty()) return;
  int64_t number = 0;
  if (!TryStrToInt(*value, number)) throw EConvertError(AttributeNumberMessage(name, value));
  reg = static_cast<T>(number);
}
}  // namespace

void TSNESTraceFileLine::ReadRegisterAttributes(const TXmlAttributes& element, TItemRegisters& r) {
  ReadRegister(element, "A", r.A);
  ReadRegister(element, "X", r.X);
  ReadRegister(element, "Y", r.Y);
  ReadRegister(element, "S", r.S);
  ReadRegister(element, "D", r.D);
  ReadRegister(element, "DB", r.DB);
  if (auto p = element.Attribute("PS")) r.SetPText(*p);
  ReadRegister(element, "HC", r.HCounter);
  ReadRegister(element, "VC", r.VCounter);
}

void TSNESTraceFileLine::ReadXml(TLineOwner& owner, const TXmlAttributes& element) {
  TTraceFileLine::ReadXml(owner, element);
  ReadRegister(element, "A", RegA);
  ReadRegister(element, "X", RegX);
  ReadRegister(element, "Y", RegY);
  ReadRegister(element, "S", RegS);
  ReadRegister(element, "D", RegD);
  ReadRegister(element, "DB", RegDB);
  ReadRegister(element, "HC", HCounter);
  ReadRegister(element, "VC", VCounter);
  RegP.assign(element.Attribute("PS").value_or(std::string_view()));
  Indexed = element.Attribute("indexed") == "TRUE";
}

}  // namespace orvanel
