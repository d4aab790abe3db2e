#pragma once
// The synthetic program that the log generator runs: routines of instructions with fixed
// bytes at fixed addresses, as in a ROM, laid out over the banks, with their calls wired
// so that every routine can be reached. Only the generator uses it.
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "log_generator.h"

namespace orvanel::bench::synthetic {

// --- small helpers -----------------------------------------------------------------------

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : engine_(seed) {}
  int64_t Below(int64_t n) {
    return n <= 1 ? 0 : static_cast<int64_t>(engine_() % static_cast<uint64_t>(n));
  }
  int64_t Between(int64_t low, int64_t high) { return low + Below(high - low + 1); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::mt19937_64 engine_;
};

inline void AppendHex(std::string& s, uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[16];
  for (int i = digits - 1; i >= 0; --i) {
    buffer[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  s.append(buffer, static_cast<size_t>(digits));
}

inline void AppendDecimal(std::string& s, uint64_t value, int minDigits) {
  char buffer[24];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < minDigits) buffer[n++] = '0';
  while (n > 0) s.push_back(buffer[--n]);
}

inline void PadTo(std::string& s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
}

// "$BB:AAAA" without the brackets.
inline void AppendBankAddress(std::string& s, int64_t address) {
  s += '$';
  AppendHex(s, static_cast<uint64_t>(address >> 16) & 0xFF, 2);
  s += ':';
  AppendHex(s, static_cast<uint64_t>(address) & 0xFFFF, 4);
}

// --- the program -------------------------------------------------------------------------

enum class TOp : uint8_t {
  Plain,
  Branch,    // conditional branch or BRA; Target is an instruction index
  Call,      // JSR / JSL; Target is the first instruction of the routine
  Untraced,  // a JSL into code the trace does not show
  Dispatch,  // JML [$0012] to the task of the moment
  Return,    // RTS / RTL
  ReturnFromInterrupt,
  Wait,  // WAI
  Move,  // MVN, one line per byte
};

// What decides whether a branch is taken.
enum class TCond : uint8_t {
  Always,
  Random,
  LoopX,          // X not zero (after DEX)
  LoopY,          // Y not zero (after DEY)
  Poll,           // the status register is polled until it reports ready
  NmiNotSeen,     // the NMI handler has not run since the flag was cleared
  MoreTasks,      // the task counter is not zero
  NoRecursion,    // the deep recursion is not due
  RecursionDone,  // the recursion counter reached zero
};

enum class TEffect : uint8_t {
  None,
  LoadImmediate,  // A's low byte := operand
  LoadData,       // A's low byte := the value read
  Alu,            // A's low byte combined with the operand
  Compare,
  Unary,  // ASL, LSR, INC, DEC on A
  Swap,   // XBA
  FromX,  // TXA
  FromY,  // TYA
  ToX,    // TAX
  ClearCarry,
  SetCarry,
  LoadX,
  LoadY,
  DecrementX,
  DecrementY,
  Load16,  // LDA #$nnnn while A is 16 bits wide
  ClearM,  // REP #$20
  SetM,    // SEP #$20
  SetI,
  ClearI,
  Push,  // Imm bytes pushed
  Pull,  // Imm bytes pulled
  LoadTaskCount,
  StoreTaskCount,
  DecrementTasks,
  LoadNmiFlag,
  SetNmiFlag,
  ClearNmiFlag,
  NmiOn,
  LoadRecursionFlag,
  StartRecursion,  // STZ $4200: NMI off, recursion counter loaded
  DecrementRecursion,
  PollStatus,
};

struct TInstr {
  int64_t Address = 0;
  std::string Text;  // columns up to the register block (bracket included when fixed)
  std::string Mnemonic;
  std::string Operand;
  std::array<uint8_t, 4> Bytes{};
  uint8_t Length = 1;
  TOp Op = TOp::Plain;
  TCond Cond = TCond::Always;
  TEffect Effect = TEffect::None;
  uint8_t Cycles = 12;
  uint16_t Imm = 0;
  int64_t Data = -1;     // bracketed address; -1 for none
  bool Indexed = false;  // the bracket is Data + X
  bool VariableBracket = false;
  int32_t Target = -1;
  char BranchFlag = 'Z';     // the flag the branch tests: Z, N or C
  bool TakenWhenSet = true;  // the branch is taken when that flag is set
  uint8_t StackBytes = 0;    // bytes a call or return moves
};

enum class TForm : uint8_t {
  Implied,
  Accumulator,
  Immediate,
  Direct,
  Absolute,
  AbsoluteX,
  Long,
  LongX
};

struct TRoutine {
  int32_t First = 0;  // index of the first instruction
  int Level = 1;      // 1 for tasks
  bool Far = false;   // called with JSL, ends with RTL
  int Bank = 0x80;
};

// A call site whose callee is chosen once every routine has its place.
struct TOpenCall {
  int32_t Site;
  int Level;  // the caller's level
  bool Near;
  int32_t Owner;  // the calling routine (its index among the routines), -1 for fixed code
};

class TProgram {
 public:
  TProgram(const TLogShape& shape, TRandom& random) : shape_(shape), random_(random) {}
  void Build();

  std::vector<TInstr> Code;
  std::vector<int32_t> Tasks;  // first instructions of the tasks, in dispatch order
  int32_t MainLoop = 0, NmiHandler = 0, IrqHandler = 0;

 private:
  TInstr& Add(uint8_t opcode, const char* mnemonic, std::string operand, int length);
  // A one-byte push or pull of `bytes` bytes (PHA, PLX, ...).
  void AddStackOp(uint8_t opcode, const char* mnemonic, TEffect effect, int bytes);
  TInstr& AddData(uint8_t opcode, const char* mnemonic, TForm form, int64_t data, TEffect effect);
  TInstr& AddImmediate(uint8_t opcode, const char* mnemonic, uint16_t value, int bytes,
                       TEffect effect);
  TInstr& AddBranch(uint8_t opcode, TCond cond, int32_t target);
  void SetBranchTarget(int32_t site, int32_t target) {
    Code[static_cast<size_t>(site)].Target = target;
  }
  void AddCall(bool isLong, int32_t target);
  int32_t Here() const { return static_cast<int32_t>(Code.size()); }

  void AddStraight(int count);
  void AddIfBlock();
  void AddIfElse();
  void AddLoop(bool inner);
  void AddPoll();
  void AddMove();
  void AddRoutineBody(int level, int size, std::vector<TOpenCall>& calls, int32_t owner);
  void BuildFixedRoutines(std::vector<TOpenCall>& calls);
  void PlaceRoutine(bool far, bool inWram);
  void ResolveCalls(const std::vector<TOpenCall>& calls, const std::vector<TRoutine>& routines);
  void AdoptOrphans(const std::vector<TOpenCall>& calls, const std::vector<TRoutine>& routines);
  void Finish();

  const TLogShape& shape_;
  TRandom& random_;
  int64_t cursor_ = 0;  // address of the next instruction
  int romBank_ = 0x80;
  int64_t romCursor_ = 0x808400;
  int64_t wramCursor_ = 0x7E2000;
  int currentBank_ = 0x80;
};

}  // namespace orvanel::bench::synthetic
