#include "trace/Opcodes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvanel::opcodes {

namespace {

// Addressing modes as the operand text shows them.
enum TMode : uint8_t {
  Imp,    // nothing, or A
  Imm,    // #$12 / #$1234
  Dp,     // $12
  DpX,    // $12,X
  DpY,    // $12,Y
  DpI,    // ($12)
  DpIX,   // ($12,X)
  DpIY,   // ($12),Y
  DpIL,   // [$12]
  DpILY,  // [$12],Y
  Abs,    // $1234
  AbsX,   // $1234,X
  AbsY,   // $1234,Y
  Long,   // $123456
  LongX,  // $123456,X
  Sr,     // $12,S
  SrIY,   // ($12,S),Y
  AbsI,   // ($1234)
  AbsIX,  // ($1234,X)
  AbsIL,  // [$1234]
  Any,    // the mnemonic has one opcode; the operand does not choose
};

struct TEntry {
  const char* mnemonic;
  TMode mode;
  uint8_t length;  // 0: an immediate whose width the operand text shows
};

// Opcode by opcode. $5C and $DC are both written JMP here (JML reads as JMP).
constexpr std::array<TEntry, 256> kTable = {{
    {"BRK", Any, 2},   {"ORA", DpIX, 2},  {"COP", Any, 2},   {"ORA", Sr, 2},    {"TSB", Dp, 2},
    {"ORA", Dp, 2},    {"ASL", Dp, 2},    {"ORA", DpIL, 2},  {"PHP", Any, 1},   {"ORA", Imm, 0},
    {"ASL", Imp, 1},   {"PHD", Any, 1},   {"TSB", Abs, 3},   {"ORA", Abs, 3},   {"ASL", Abs, 3},
    {"ORA", Long, 4},  {"BPL", Any, 2},   {"ORA", DpIY, 2},  {"ORA", DpI, 2},   {"ORA", SrIY, 2},
    {"TRB", Dp, 2},    {"ORA", DpX, 2},   {"ASL", DpX, 2},   {"ORA", DpILY, 2}, {"CLC", Any, 1},
    {"ORA", AbsY, 3},  {"INC", Imp, 1},   {"TCS", Any, 1},   {"TRB", Abs, 3},   {"ORA", AbsX, 3},
    {"ASL", AbsX, 3},  {"ORA", LongX, 4}, {"JSR", Abs, 3},   {"AND", DpIX, 2},  {"JSL", Any, 4},
    {"AND", Sr, 2},    {"BIT", Dp, 2},    {"AND", Dp, 2},    {"ROL", Dp, 2},    {"AND", DpIL, 2},
    {"PLP", Any, 1},   {"AND", Imm, 0},   {"ROL", Imp, 1},   {"PLD", Any, 1},   {"BIT", Abs, 3},
    {"AND", Abs, 3},   {"ROL", Abs, 3},   {"AND", Long, 4},  {"BMI", Any, 2},   {"AND", DpIY, 2},
    {"AND", DpI, 2},   {"AND", SrIY, 2},  {"BIT", DpX, 2},   {"AND", DpX, 2},   {"ROL", DpX, 2},
    {"AND", DpILY, 2}, {"SEC", Any, 1},   {"AND", AbsY, 3},  {"DEC", Imp, 1},   {"TSC", Any, 1},
    {"BIT", AbsX, 3},  {"AND", AbsX, 3},  {"ROL", AbsX, 3},  {"AND", LongX, 4}, {"RTI", Any, 1},
    {"EOR", DpIX, 2},  {"WDM", Any, 2},   {"EOR", Sr, 2},    {"MVP", Any, 3},   {"EOR", Dp, 2},
    {"LSR", Dp, 2},    {"EOR", DpIL, 2},  {"PHA", Any, 1},   {"EOR", Imm, 0},   {"LSR", Imp, 1},
    {"PHK", Any, 1},   {"JMP", Abs, 3},   {"EOR", Abs, 3},   {"LSR", Abs, 3},   {"EOR", Long, 4},
    {"BVC", Any, 2},   {"EOR", DpIY, 2},  {"EOR", DpI, 2},   {"EOR", SrIY, 2},  {"MVN", Any, 3},
    {"EOR", DpX, 2},   {"LSR", DpX, 2},   {"EOR", DpILY, 2}, {"CLI", Any, 1},   {"EOR", AbsY, 3},
    {"PHY", Any, 1},   {"TCD", Any, 1},   {"JMP", Long, 4},  {"EOR", AbsX, 3},  {"LSR", AbsX, 3},
    {"EOR", LongX, 4}, {"RTS", Any, 1},   {"ADC", DpIX, 2},  {"PER", Any, 3},   {"ADC", Sr, 2},
    {"STZ", Dp, 2},    {"ADC", Dp, 2},    {"ROR", Dp, 2},    {"ADC", DpIL, 2},  {"PLA", Any, 1},
    {"ADC", Imm, 0},   {"ROR", Imp, 1},   {"RTL", Any, 1},   {"JMP", AbsI, 3},  {"ADC", Abs, 3},
    {"ROR", Abs, 3},   {"ADC", Long, 4},  {"BVS", Any, 2},   {"ADC", DpIY, 2},  {"ADC", DpI, 2},
    {"ADC", SrIY, 2},  {"STZ", DpX, 2},   {"ADC", DpX, 2},   {"ROR", DpX, 2},   {"ADC", DpILY, 2},
    {"SEI", Any, 1},   {"ADC", AbsY, 3},  {"PLY", Any, 1},   {"TDC", Any, 1},   {"JMP", AbsIX, 3},
    {"ADC", AbsX, 3},  {"ROR", AbsX, 3},  {"ADC", LongX, 4}, {"BRA", Any, 2},   {"STA", DpIX, 2},
    {"BRL", Any, 3},   {"STA", Sr, 2},    {"STY", Dp, 2},    {"STA", Dp, 2},    {"STX", Dp, 2},
    {"STA", DpIL, 2},  {"DEY", Any, 1},   {"BIT", Imm, 0},   {"TXA", Any, 1},   {"PHB", Any, 1},
    {"STY", Abs, 3},   {"STA", Abs, 3},   {"STX", Abs, 3},   {"STA", Long, 4},  {"BCC", Any, 2},
    {"STA", DpIY, 2},  {"STA", DpI, 2},   {"STA", SrIY, 2},  {"STY", DpX, 2},   {"STA", DpX, 2},
    {"STX", DpY, 2},   {"STA", DpILY, 2}, {"TYA", Any, 1},   {"STA", AbsY, 3},  {"TXS", Any, 1},
    {"TXY", Any, 1},   {"STZ", Abs, 3},   {"STA", AbsX, 3},  {"STZ", AbsX, 3},  {"STA", LongX, 4},
    {"LDY", Imm, 0},   {"LDA", DpIX, 2},  {"LDX", Imm, 0},   {"LDA", Sr, 2},    {"LDY", Dp, 2},
    {"LDA", Dp, 2},    {"LDX", Dp, 2},    {"LDA", DpIL, 2},  {"TAY", Any, 1},   {"LDA", Imm, 0},
    {"TAX", Any, 1},   {"PLB", Any, 1},   {"LDY", Abs, 3},   {"LDA", Abs, 3},   {"LDX", Abs, 3},
    {"LDA", Long, 4},  {"BCS", Any, 2},   {"LDA", DpIY, 2},  {"LDA", DpI, 2},   {"LDA", SrIY, 2},
    {"LDY", DpX, 2},   {"LDA", DpX, 2},   {"LDX", DpY, 2},   {"LDA", DpILY, 2}, {"CLV", Any, 1},
    {"LDA", AbsY, 3},  {"TSX", Any, 1},   {"TYX", Any, 1},   {"LDY", AbsX, 3},  {"LDA", AbsX, 3},
    {"LDX", AbsY, 3},  {"LDA", LongX, 4}, {"CPY", Imm, 0},   {"CMP", DpIX, 2},  {"REP", Any, 2},
    {"CMP", Sr, 2},    {"CPY", Dp, 2},    {"CMP", Dp, 2},    {"DEC", Dp, 2},    {"CMP", DpIL, 2},
    {"INY", Any, 1},   {"CMP", Imm, 0},   {"DEX", Any, 1},   {"WAI", Any, 1},   {"CPY", Abs, 3},
    {"CMP", Abs, 3},   {"DEC", Abs, 3},   {"CMP", Long, 4},  {"BNE", Any, 2},   {"CMP", DpIY, 2},
    {"CMP", DpI, 2},   {"CMP", SrIY, 2},  {"PEI", Any, 2},   {"CMP", DpX, 2},   {"DEC", DpX, 2},
    {"CMP", DpILY, 2}, {"CLD", Any, 1},   {"CMP", AbsY, 3},  {"PHX", Any, 1},   {"STP", Any, 1},
    {"JMP", AbsIL, 3}, {"CMP", AbsX, 3},  {"DEC", AbsX, 3},  {"CMP", LongX, 4}, {"CPX", Imm, 0},
    {"SBC", DpIX, 2},  {"SEP", Any, 2},   {"SBC", Sr, 2},    {"CPX", Dp, 2},    {"SBC", Dp, 2},
    {"INC", Dp, 2},    {"SBC", DpIL, 2},  {"INX", Any, 1},   {"SBC", Imm, 0},   {"NOP", Any, 1},
    {"XBA", Any, 1},   {"CPX", Abs, 3},   {"SBC", Abs, 3},   {"INC", Abs, 3},   {"SBC", Long, 4},
    {"BEQ", Any, 2},   {"SBC", DpIY, 2},  {"SBC", DpI, 2},   {"SBC", SrIY, 2},  {"PEA", Any, 3},
    {"SBC", DpX, 2},   {"INC", DpX, 2},   {"SBC", DpILY, 2}, {"SED", Any, 1},   {"SBC", AbsY, 3},
    {"PLX", Any, 1},   {"XCE", Any, 1},   {"JSR", AbsIX, 3}, {"SBC", AbsX, 3},  {"INC", AbsX, 3},
    {"SBC", LongX, 4},
}};

// Number of hexadecimal digits at the start of the text.
size_t HexDigits(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && std::isxdigit(static_cast<unsigned char>(text[n]))) ++n;
  return n;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i])
      return false;
  return true;
}

// The mode of a "$..." operand with an optional ,X / ,Y / ,S: by its digits.
std::optional<TMode> PlainMode(std::string_view operand) {
  const size_t digits = HexDigits(operand.substr(1));
  const std::string_view rest = operand.substr(1 + digits);
  const TMode byWidth[3][3] = {{Dp, DpX, DpY}, {Abs, AbsX, AbsY}, {Long, LongX, Long}};
  const int width = digits <= 2 ? 0 : digits <= 4 ? 1 : 2;
  if (rest.empty()) return byWidth[width][0];
  if (EndsWith(rest, ",X") && rest.size() == 2) return byWidth[width][1];
  if (EndsWith(rest, ",Y") && rest.size() == 2 && width < 2) return byWidth[width][2];
  if (EndsWith(rest, ",S") && rest.size() == 2 && width == 0) return Sr;
  return std::nullopt;
}

std::optional<TMode> IndirectMode(std::string_view operand) {
  const bool square = operand[0] == '[';
  if (operand.size() < 3 || operand[1] != '$') return std::nullopt;
  const size_t digits = HexDigits(operand.substr(2));
  const std::string_view rest = operand.substr(2 + digits);
  const bool wide = digits > 2;
  if (square) {
    if (rest == "]") return wide ? AbsIL : DpIL;
    if (EndsWith(rest, "],Y") && rest.size() == 3 && !wide) return DpILY;
    return std::nullopt;
  }
  if (rest == ")") return wide ? AbsI : DpI;
  if (EndsWith(rest, ",X)") && rest.size() == 3) return wide ? AbsIX : DpIX;
  if (EndsWith(rest, "),Y") && rest.size() == 3 && !wide) return DpIY;
  if (EndsWith(rest, ",S),Y") && rest.size() == 5 && !wide) return SrIY;
  return std::nullopt;
}

std::optional<TMode> ModeOf(std::string_view operand) {
  if (operand.empty() || operand == "A" || operand == "a") return Imp;
  switch (operand[0]) {
    case '#':
      return Imm;
    case '$':
      return PlainMode(operand);
    case '(':
    case '[':
      return IndirectMode(operand);
    default:
      // A name in place of a long address.
      return EndsWith(operand, ",X") ? LongX : Long;
  }
}

uint32_t Key(const char* name) {
  return static_cast<uint32_t>(name[0]) << 16 | static_cast<uint32_t>(name[1]) << 8 |
         static_cast<uint32_t>(name[2]);
}

// The opcodes of each mnemonic, built once: a look-up per log line stays short.
const std::unordered_map<uint32_t, std::vector<uint8_t>>& OpcodesByMnemonic() {
  static const auto kIndex = [] {
    std::unordered_map<uint32_t, std::vector<uint8_t>> index;
    for (size_t op = 0; op < kTable.size(); ++op)
      index[Key(kTable[op].mnemonic)].push_back(static_cast<uint8_t>(op));
    return index;
  }();
  return kIndex;
}

std::optional<TDecoded> Find(const std::vector<uint8_t>& candidates, std::optional<TMode> mode,
                             std::string_view operand) {
  for (uint8_t op : candidates) {
    const TEntry& e = kTable[op];
    if (e.mode != Any && (!mode || e.mode != *mode)) continue;
    TDecoded d;
    d.Opcode = op;
    // An immediate is as wide as its digits: #$12 one byte, #$1234 two.
    const std::string_view digits = operand.substr(std::min<size_t>(2, operand.size()));
    d.Length = e.length != 0 ? e.length : (HexDigits(digits) > 2 ? 3 : 2);
    return d;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TDecoded> Decode(std::string_view mnemonic, std::string_view operand) {
  if (mnemonic.size() != 3) return std::nullopt;
  char name[4] = {};
  for (size_t i = 0; i < 3; ++i)
    name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(mnemonic[i])));
  if (std::string_view(name) == "JML") std::string_view("JMP").copy(name, 3);
  const auto& index = OpcodesByMnemonic();
  const auto it = index.find(Key(name));
  if (it == index.end()) return std::nullopt;
  const std::optional<TMode> mode = ModeOf(operand);
  if (auto found = Find(it->second, mode, operand)) return found;
  // A name in place of an absolute call or jump target.
  if (mode == Long) return Find(it->second, Abs, operand);
  return std::nullopt;
}

bool IsRelativeBranch(int32_t opcode) {
  switch (opcode) {
    case 0x10:  // BPL
    case 0x30:  // BMI
    case 0x50:  // BVC
    case 0x70:  // BVS
    case 0x80:  // BRA
    case 0x82:  // BRL
    case 0x90:  // BCC
    case 0xB0:  // BCS
    case 0xD0:  // BNE
    case 0xF0:  // BEQ
      return true;
    default:
      return false;
  }
}

}  // namespace orvanel::opcodes
