#include "records/Mesen2TraceLine.h"

#include <algorithm>

#include "base/TextUtils.h"
#include "trace/LineCutting.h"
#include "trace/Opcodes.h"

namespace orvanel {

using namespace line_cutting;

namespace {

constexpr int64_t kMnemonicColumn = 9;
constexpr int64_t kOperandColumn = 13;

// The disassembly: the text before the register block.
std::string_view Disassembly(std::string_view text) {
  const size_t block = FindRegisterBlock(text);
  return block == std::string_view::npos ? text : text.substr(0, block);
}

std::string_view OperandOf(std::string_view text) {
  return UpTo(CopyFrom(Disassembly(text), kOperandColumn), ' ');
}

// "$1234" and the like; false for a name or anything else.
bool DollarNumber(std::string_view text, int64_t& value, size_t& digits) {
  if (text.size() < 2 || text[0] != '$') return false;
  digits = 1;
  while (digits + 1 < text.size() && HexDigitValue(text[digits + 1]) >= 0) ++digits;
  return PlainHex(text.substr(1, digits), value);
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

bool HasIndex(std::string_view operand, char reg) {
  return operand.size() >= 2 && operand[operand.size() - 2] == ',' &&
         (operand.back() == reg || operand.back() == reg + ('a' - 'A'));
}

}  // namespace

std::unique_ptr<TTraceFileLine> TMesen2TraceFileLine::FromText(TLineOwner& owner,
                                                               std::string_view text,
                                                               bool isComment,
                                                               const TLogLines* log) {
  auto line = std::make_unique<TMesen2TraceFileLine>();
  line->CutText(owner, text, isComment, log);
  return line;
}

std::unique_ptr<TTraceFileLine> TMesen2TraceFileLine::FromXml(TLineOwner& owner,
                                                              const TXmlAttributes& element) {
  auto line = std::make_unique<TMesen2TraceFileLine>();
  line->ReadXml(owner, element);
  return line;
}

std::unique_ptr<TTraceFileLine> TMesen2TraceFileLine::NewFromText(TLineOwner& owner,
                                                                  std::string_view text) const {
  return FromText(owner, text, false, nullptr);
}

TLineRole TMesen2TraceFileLine::Role(std::string_view line) {
  // The width of the program counter tells the two processors apart.
  size_t digits = 0;
  while (digits < line.size() && digits < 7 && HexDigitValue(line[digits]) >= 0) ++digits;
  const bool counter =
      line.substr(digits, 2) == "  " && line.size() > digits + 2 && line[digits + 2] != ' ';
  if (counter && digits == 6) return TLineRole::Instruction;
  if (counter && digits == 4) return TLineRole::SoundCpu;
  if (line.empty()) return TLineRole::Empty;
  return TLineRole::Unknown;
}

void TMesen2TraceFileLine::ParseOffset(TLineOwner& owner, std::string_view text) {
  int64_t value = 0;
  if (!PlainHex(CopyColumns(text, 1, 6), value) || text.size() < kMnemonicColumn) {
    owner.Message(std::string(text));
    SetIsComment(true);
    return;
  }
  offset_ = value;
}

void TMesen2TraceFileLine::ParseOpcodeVal(TLineOwner& owner, std::string_view text) {
  if (IsComment()) return;
  // No instruction bytes: the opcode follows from the mnemonic and the operand's form.
  const auto decoded = opcodes::Decode(CopyColumns(text, kMnemonicColumn, 3), OperandOf(text));
  if (!decoded) {
    owner.Message(std::string(text));
    SetIsComment(true);
    return;
  }
  opcodeVal_ = decoded->Opcode;
  opcodeLen_ = decoded->Length;
}

void TMesen2TraceFileLine::ParseOpcodeLabel(TLineOwner&, std::string_view text) {
  if (IsComment()) return;
  opcodeLabel_.assign(CopyColumns(text, kMnemonicColumn, 3));
}

void TMesen2TraceFileLine::ParseOperand(TLineOwner& owner, std::string_view text) {
  operand_.clear();
  if (IsComment()) return;
  operand_.assign(OperandOf(text));
  Indexed = operand_.find(',') != std::string::npos;
  if (!operand_.empty()) TTraceFileLine::ParseOperand(owner, text);
}

void TMesen2TraceFileLine::ParseTarget(TLineOwner&, std::string_view text) {
  targetOffset_ = 0;
  if (IsComment()) return;
  const int64_t bank = offset_ & 0xFF0000;
  int64_t value = 0;
  size_t digits = 0;
  const bool number = DollarNumber(operand_, value, digits);
  // Branches print their target, calls and jumps to an address their operand.
  const bool direct = opcodes::IsRelativeBranch(opcodeVal_) || opcodeVal_ == 0x20 ||
                      opcodeVal_ == 0x4C || opcodeVal_ == 0x22 || opcodeVal_ == 0x5C;
  if (direct && number) {
    SetHasTarget(true);
    targetOffset_ = digits > 4 ? value : (bank | value);
    return;
  }
  // The effective address follows the operand: " [$7F0250]" or " [INIDISP]".
  const std::string_view disassembly = Disassembly(text);
  const size_t start = static_cast<size_t>(kOperandColumn - 1) + operand_.size();
  const std::string_view rest =
      start < disassembly.size() ? TrimLeft(disassembly.substr(start)) : std::string_view();
  if (rest.empty() || rest[0] != '[') {
    // A long address shows none: it is the operand's own.
    if (number && digits > 4) {
      SetHasTarget(true);
      targetFromOperand_ = true;
    }
    return;
  }
  const std::string_view inside = UpTo(rest.substr(1), ']');
  SetHasTarget(true);
  if (DollarNumber(inside, value, digits)) {
    // Indirect jumps and calls go to the instruction's own bank.
    const bool ownBank = opcodeVal_ == 0x6C || opcodeVal_ == 0x7C || opcodeVal_ == 0xFC;
    targetOffset_ = ownBank ? (bank | (value & 0xFFFF)) : value;
  } else {
    targetFromOperand_ = true;  // worked out from the operand once the registers are read
  }
}

int64_t TMesen2TraceFileLine::BranchDisplacement(TLineOwner&) {
  if (!HasTarget()) return 0;
  const int64_t displacement = targetOffset_ - (offset_ + opcodeLen_);
  return displacement & (opcodeLen_ == 2 ? 0xFF : 0xFFFF);
}

void TMesen2TraceFileLine::ParseRegisters(TLineOwner& owner, std::string_view text) {
  const size_t found = FindRegisterBlock(text);
  if (found == std::string_view::npos) return;
  uint16_t regA = 0, regX = 0, regY = 0, regS = 0, regD = 0, regDB = 0, v = 0, h = 0;
  std::string_view regP;
  bool ok = true;
  std::string_view rest = text.substr(found + 1);
  while (!rest.empty()) {
    const std::string_view field = UpTo(rest, ' ');
    rest.remove_prefix(std::min(rest.size(), field.size() + 1));
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = field.substr(0, colon), digits = field.substr(colon + 1);
    // V and H stand left-aligned: their value may follow after blanks.
    std::string_view number = digits;
    if (number.empty()) {
      rest = TrimLeft(rest);
      number = UpTo(rest, ' ');
      rest.remove_prefix(std::min(rest.size(), number.size() + 1));
    }
    int64_t value = 0;
    auto hex = [&](uint16_t& reg) {
      if (ConvertHex(number, value))
        reg = static_cast<uint16_t>(value);
      else
        ok = false;
    };
    auto decimal = [&](uint16_t& reg) {
      if (ConvertInteger(number, value))
        reg = static_cast<uint16_t>(value);
      else
        ok = false;
    };
    if (name == "A")
      hex(regA);
    else if (name == "X")
      hex(regX);
    else if (name == "Y")
      hex(regY);
    else if (name == "S")
      hex(regS);
    else if (name == "D")
      hex(regD);
    else if (name == "DB")
      hex(regDB);
    else if (name == "P")
      regP = number;
    else if (name == "V")
      decimal(v);
    else if (name == "H")
      decimal(h);
  }
  if (!ok) {
    SetIsComment(true);
    ClearRegisters();
    owner.Message(std::string(text));
    return;
  }
  RegA = regA;
  RegX = regX;
  RegY = regY;
  RegS = regS;
  RegD = regD;
  RegDB = static_cast<uint8_t>(regDB);
  RegP.assign(regP);
  VCounter = v;
  HCounter = h;
}

void TMesen2TraceFileLine::CutText(TLineOwner& owner, std::string_view text, bool isComment,
                                   const TLogLines* log) {
  TSNESTraceFileLine::CutText(owner, text, isComment, log);
  if (!targetFromOperand_ || IsComment()) return;
  // A register's name stands where the address would, or a long address shows none: the
  // address of the plain modes follows from the operand and the registers before the
  // instruction; for the others none is known.
  int64_t value = 0;
  size_t digits = 0;
  const std::string_view operand = operand_;
  if (!DollarNumber(operand, value, digits)) {
    SetHasTarget(false);
    return;
  }
  const bool x = HasIndex(operand, 'X'), y = HasIndex(operand, 'Y'), s = HasIndex(operand, 'S');
  const int64_t index = x ? RegX : y ? RegY : 0;
  if (s)
    targetOffset_ = (RegS + value) & 0xFFFF;
  else if (digits <= 2)
    targetOffset_ = (RegD + value + index) & 0xFFFF;
  else if (digits <= 4)
    targetOffset_ = ((int64_t{RegDB} << 16) + value + index) & 0xFFFFFF;
  else
    targetOffset_ = (value + index) & 0xFFFFFF;
}

}  // namespace orvanel
