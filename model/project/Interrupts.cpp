#include "project/Interrupts.h"

#include <optional>
#include <string_view>

#include "records/TraceLine.h"
#include "trace/Opcodes.h"
#include "tree/CodeTree.h"

namespace orvanel {

namespace {

// The flags of a status text, upper case for set: "ENVMXDIZC" (snes9x) or "NVMXDIZC"
// (Mesen2, which does not print E). A flag the text does not show is unknown.
struct TFlags {
  std::optional<bool> E, M, X, D, I;
};

TFlags Flags(const TItemRegisters& r) {
  const std::string text = r.PText();
  const size_t skip = text.size() == 9 ? 1 : 0;
  if (text.size() != 8 + skip) return {};
  auto flag = [&](size_t index) -> std::optional<bool> {
    const char c = text[index];
    if (c >= 'A' && c <= 'Z') return true;
    if (c >= 'a' && c <= 'z') return false;
    return std::nullopt;
  };
  TFlags f;
  if (skip) f.E = flag(0);
  f.M = flag(skip + 2);
  f.X = flag(skip + 3);
  f.D = flag(skip + 4);
  f.I = flag(skip + 5);
  return f;
}

bool IsReturn(int32_t op) {
  return op == 0x40 || op == 0x60 || op == 0x6B;
}

// Jumps whose target the line does not show: the bracket holds the pointer, if anything.
bool IsIndirectJump(int32_t op) {
  return op == 0x6C || op == 0x7C || op == 0xDC || op == 0xFC;
}

// Lines whose bracket is the next instruction when the flow goes there.
bool HasFlowTarget(int32_t op) {
  return opcodes::IsRelativeBranch(op) || op == 0x4C || op == 0x5C || op == 0x20 || op == 0x22;
}

// Instructions that run again at their own address: WAI while it waits, MVN/MVP per byte.
bool Repeats(int32_t op) {
  return op == 0xCB || op == 0x54 || op == 0x44;
}

// S after the instruction ran, from the registers it started with.
uint16_t StackAfter(const TExecutedLine& line, bool emulation) {
  const TItemRegisters& r = line.Registers;
  const TFlags flags = Flags(r);
  const bool wideA = !emulation && flags.M == false;
  const bool wideX = !emulation && flags.X == false;
  int change = 0;
  switch (line.Opcode) {
    case 0x08:  // PHP
    case 0x8B:  // PHB
    case 0x4B:  // PHK
      change = -1;
      break;
    case 0x0B:  // PHD
    case 0xF4:  // PEA
    case 0xD4:  // PEI
    case 0x62:  // PER
    case 0x20:  // JSR
    case 0xFC:  // JSR (abs,X)
      change = -2;
      break;
    case 0x22:  // JSL
      change = -3;
      break;
    case 0x48:  // PHA
      change = wideA ? -2 : -1;
      break;
    case 0xDA:  // PHX
    case 0x5A:  // PHY
      change = wideX ? -2 : -1;
      break;
    case 0x28:  // PLP
    case 0xAB:  // PLB
      change = 1;
      break;
    case 0x2B:  // PLD
    case 0x60:  // RTS
      change = 2;
      break;
    case 0x68:  // PLA
      change = wideA ? 2 : 1;
      break;
    case 0xFA:  // PLX
    case 0x7A:  // PLY
      change = wideX ? 2 : 1;
      break;
    case 0x6B:  // RTL
      change = 3;
      break;
    case 0x40:  // RTI
      change = emulation ? 3 : 4;
      break;
    case 0x1B:  // TCS
      return emulation ? static_cast<uint16_t>(0x0100 | (r.A & 0xFF)) : r.A;
    case 0x9A:  // TXS
      return emulation ? static_cast<uint16_t>(0x0100 | (r.X & 0xFF)) : r.X;
    default:
      break;
  }
  if (emulation) return static_cast<uint16_t>(0x0100 | ((r.S + change) & 0xFF));
  return static_cast<uint16_t>(r.S + change);
}

// Whether the registers of the next line show an interrupt taken after `previous`.
bool EnteredInMode(const TExecutedLine& previous, const TItemRegisters& next, bool stackGiven,
                   bool emulation) {
  const TFlags flags = Flags(next);
  if (flags.I != true) return false;
  if (!emulation && flags.D != false) return false;
  if (!stackGiven) return true;
  const uint16_t left = StackAfter(previous, emulation);
  const uint16_t pushed = emulation ? 3 : 4;
  const uint16_t expected = emulation ? static_cast<uint16_t>(0x0100 | ((left - pushed) & 0xFF))
                                      : static_cast<uint16_t>(left - pushed);
  return next.S == expected;
}

bool LooksEntered(const TExecutedLine& previous, const TItemRegisters& next, bool stackGiven) {
  // A log that does not print E leaves the mode open: either one's push will do, and
  // without S only the native mode's flags (I set, D clear) tell.
  const std::optional<bool> emulation = Flags(previous.Registers).E;
  if (emulation) return EnteredInMode(previous, next, stackGiven, *emulation);
  return EnteredInMode(previous, next, stackGiven, false) ||
         (stackGiven && EnteredInMode(previous, next, stackGiven, true));
}

}  // namespace

TEntryVerdict ClassifyNextLine(const TExecutedLine& previous, int64_t nextOffset,
                               const TItemRegisters& next, bool stackGiven) {
  const int32_t op = previous.Opcode;
  // BRK and COP open their own level; the line after them is their handler.
  if (IsSoftwareInterrupt(op)) return TEntryVerdict::Flow;
  if (IsReturn(op) || IsIndirectJump(op))
    return LooksEntered(previous, next, stackGiven) ? TEntryVerdict::Undecided
                                                    : TEntryVerdict::Flow;
  const int64_t bank = previous.Offset & 0xFF0000;
  const int64_t fallThrough = bank | ((previous.Offset + previous.Length) & 0xFFFF);
  if (nextOffset == fallThrough) return TEntryVerdict::Flow;
  if (previous.HasTarget && HasFlowTarget(op) && nextOffset == previous.Target)
    return TEntryVerdict::Flow;
  if (Repeats(op) && nextOffset == previous.Offset) return TEntryVerdict::Flow;
  return LooksEntered(previous, next, stackGiven) ? TEntryVerdict::Entry : TEntryVerdict::Flow;
}

bool IsInterruptItem(const TTreeItem& item) {
  const TTraceFileLine* line = item.Line();
  if (!line || !item.HasChildren()) return false;
  if (!line->IsComment()) return IsSoftwareInterrupt(line->OpcodeVal());
  const std::string& text = line->LineText();
  return text == kNmiItemText || text == kIrqItemText || text == kInterruptItemText;
}

std::string EnclosingInterrupt(const TTreeItem* item) {
  for (const TTreeItem* it = item ? item->Parent() : nullptr; it; it = it->Parent()) {
    if (!IsInterruptItem(*it)) continue;
    const TTraceFileLine* line = it->Line();
    if (line->IsComment()) return line->LineText();
    return line->OpcodeVal() == 0x00 ? "BRK" : "COP";
  }
  return {};
}

}  // namespace orvanel
