#pragma once
// The 65C816 instruction set seen from its assembly text: which opcode byte a mnemonic and
// an operand written the way emulators print them stand for, and how long it is. Logs that
// print no instruction bytes are read through it.
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvanel::opcodes {

struct TDecoded {
  uint8_t Opcode = 0;
  uint8_t Length = 1;  // bytes, opcode included
};

// The opcode of a mnemonic ("LDA", any letter case; JML is taken for the long JMP) with its
// operand text ("$10", "($12),Y", "#$1234", "$7E0000,X", "" or "A" for none). An operand
// that is a name instead of a number stands for a long address (the only kind a log replaces
// by a name) or, for branches, the target. None when the pair is no instruction.
std::optional<TDecoded> Decode(std::string_view mnemonic, std::string_view operand);

// The branches whose operand is a displacement from the next instruction (BRL included).
bool IsRelativeBranch(int32_t opcode);

}  // namespace orvanel::opcodes
