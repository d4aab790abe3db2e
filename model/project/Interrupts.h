#pragma once
// How the conversion tells where an interrupt was entered, and how the tree shows one.
//
// An interrupt (NMI, IRQ) enters its handler without a call line. The lines give it away:
// the next line is not one the previous instruction can lead to (its fall-through, its
// branch, jump or call target, or the same address again for WAI and the block moves), and
// its registers show what taking an interrupt does: I set, D clear in native mode, and,
// where the log records S, S three (emulation) or four (native) bytes below what the
// previous instruction left. After a return or an indirect jump no line shows where the
// flow goes, so an entry there cannot be told from the jump; such places are counted as
// undecided when the registers would fit an entry.
#include <cstdint>
#include <string>

#include "records/ItemRegisters.h"

namespace orvanel {

class TTreeItem;

// What the conversion keeps of the previous instruction line.
struct TExecutedLine {
  int64_t Offset = 0;
  uint8_t Length = 0;
  int32_t Opcode = 0;
  int64_t Target = 0;
  bool HasTarget = false;
  TItemRegisters Registers;
};

enum class TEntryVerdict : uint8_t { Flow, Entry, Undecided };

// Whether the line at `nextOffset` with the registers `next` was reached through an
// interrupt taken after `previous`. `stackGiven`: the log records S.
TEntryVerdict ClassifyNextLine(const TExecutedLine& previous, int64_t nextOffset,
                               const TItemRegisters& next, bool stackGiven);

// BRK and COP enter their handler as a call does: the handler becomes the line's children.
inline bool IsSoftwareInterrupt(int32_t opcode) {
  return opcode == 0x00 || opcode == 0x02;
}

// The texts of the items that hold an interrupt's handler.
inline constexpr const char* kNmiItemText = "NMI";
inline constexpr const char* kIrqItemText = "IRQ";
inline constexpr const char* kInterruptItemText = "Interrupt";

// Whether the item holds an interrupt handler: an interrupt item with its lines, or a BRK
// or COP line with the handler under it.
bool IsInterruptItem(const TTreeItem& item);
// The name of the innermost interrupt the item's line runs in ("NMI", "IRQ", "Interrupt",
// "BRK", "COP"); empty outside every handler. Walks up the item's ancestors.
std::string EnclosingInterrupt(const TTreeItem* item);

}  // namespace orvanel
