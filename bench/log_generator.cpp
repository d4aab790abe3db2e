#include "log_generator.h"

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace orvanel::bench {

namespace {

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

void AppendHex(std::string& s, uint64_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  char buffer[16];
  for (int i = digits - 1; i >= 0; --i) {
    buffer[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  s.append(buffer, static_cast<size_t>(digits));
}

void AppendDecimal(std::string& s, uint64_t value, int minDigits) {
  char buffer[24];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < minDigits) buffer[n++] = '0';
  while (n > 0) s.push_back(buffer[--n]);
}

void PadTo(std::string& s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
}

// "$BB:AAAA" without the brackets.
void AppendBankAddress(std::string& s, int64_t address) {
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

struct TTemplate {
  uint8_t Opcode;
  const char* Mnemonic;
  TForm Form;
  TEffect Effect;
};

const TTemplate kStraight[] = {
    {0x18, "CLC", TForm::Implied, TEffect::ClearCarry},
    {0x38, "SEC", TForm::Implied, TEffect::SetCarry},
    {0xEB, "XBA", TForm::Implied, TEffect::Swap},
    {0x0A, "ASL", TForm::Accumulator, TEffect::Unary},
    {0x4A, "LSR", TForm::Accumulator, TEffect::Unary},
    {0x1A, "INC", TForm::Accumulator, TEffect::Unary},
    {0xEA, "NOP", TForm::Implied, TEffect::None},
    {0x8A, "TXA", TForm::Implied, TEffect::FromX},
    {0x98, "TYA", TForm::Implied, TEffect::FromY},
    {0xA9, "LDA", TForm::Immediate, TEffect::LoadImmediate},
    {0x69, "ADC", TForm::Immediate, TEffect::Alu},
    {0x29, "AND", TForm::Immediate, TEffect::Alu},
    {0x09, "ORA", TForm::Immediate, TEffect::Alu},
    {0xC9, "CMP", TForm::Immediate, TEffect::Compare},
    {0xA5, "LDA", TForm::Direct, TEffect::LoadData},
    {0x85, "STA", TForm::Direct, TEffect::None},
    {0x64, "STZ", TForm::Direct, TEffect::None},
    {0xAD, "LDA", TForm::Absolute, TEffect::LoadData},
    {0x8D, "STA", TForm::Absolute, TEffect::None},
    {0x8D, "STA", TForm::Absolute, TEffect::None},
    {0x9C, "STZ", TForm::Absolute, TEffect::None},
    {0x2C, "BIT", TForm::Absolute, TEffect::Compare},
    {0xEE, "INC", TForm::Absolute, TEffect::None},
    {0xBD, "LDA", TForm::AbsoluteX, TEffect::LoadData},
    {0x9D, "STA", TForm::AbsoluteX, TEffect::None},
    {0xAF, "LDA", TForm::Long, TEffect::LoadData},
    {0x8F, "STA", TForm::Long, TEffect::None},
    {0xBF, "LDA", TForm::LongX, TEffect::LoadData},
    {0x9F, "STA", TForm::LongX, TEffect::None},
};

// Hardware registers that games touch all the time ($2100-$5FFF).
const uint16_t kRegisters[] = {
    0x2100, 0x2101, 0x2102, 0x2104, 0x2105, 0x2107, 0x210B, 0x210D, 0x210E, 0x2115,
    0x2116, 0x2117, 0x2118, 0x2119, 0x2121, 0x2122, 0x212C, 0x2140, 0x2141, 0x2180,
    0x4016, 0x4200, 0x4202, 0x4203, 0x420B, 0x420C, 0x4212, 0x4214, 0x4216, 0x4218,
    0x4300, 0x4301, 0x4302, 0x4304, 0x4305, 0x4310, 0x4312, 0x4315, 0x5000, 0x5FF0,
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

TInstr& TProgram::Add(uint8_t opcode, const char* mnemonic, std::string operand, int length) {
  TInstr in;
  in.Address = cursor_;
  in.Mnemonic = mnemonic;
  in.Operand = std::move(operand);
  in.Bytes[0] = opcode;
  in.Length = static_cast<uint8_t>(length);
  in.Cycles = static_cast<uint8_t>(6 * (length + 1));
  cursor_ += length;
  Code.push_back(std::move(in));
  return Code.back();
}

TInstr& TProgram::AddImmediate(uint8_t opcode, const char* mnemonic, uint16_t value, int bytes,
                               TEffect effect) {
  std::string operand = "#$";
  AppendHex(operand, value, bytes * 2);
  TInstr& in = Add(opcode, mnemonic, operand, 1 + bytes);
  in.Bytes[1] = static_cast<uint8_t>(value & 0xFF);
  if (bytes == 2) in.Bytes[2] = static_cast<uint8_t>(value >> 8);
  in.Imm = value;
  in.Effect = effect;
  return in;
}

TInstr& TProgram::AddData(uint8_t opcode, const char* mnemonic, TForm form, int64_t data,
                          TEffect effect) {
  std::string operand = "$";
  int length = 3;
  switch (form) {
    case TForm::Direct:
      data &= 0xFF;
      AppendHex(operand, static_cast<uint64_t>(data), 2);
      length = 2;
      break;
    case TForm::Absolute:
    case TForm::AbsoluteX:
      AppendHex(operand, static_cast<uint64_t>(data) & 0xFFFF, 4);
      if (form == TForm::AbsoluteX) operand += ",x";
      data &= 0xFFFF;  // the data bank is $00
      break;
    default:  // long forms
      AppendHex(operand, static_cast<uint64_t>(data) & 0xFFFFFF, 6);
      if (form == TForm::LongX) operand += ",x";
      length = 4;
      break;
  }
  TInstr& in = Add(opcode, mnemonic, operand, length);
  for (int i = 1; i < length; ++i)
    in.Bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(data >> (8 * (i - 1)));
  in.Data = data;
  in.Indexed = form == TForm::AbsoluteX || form == TForm::LongX;
  in.VariableBracket = in.Indexed;
  in.Effect = effect;
  in.Cycles = static_cast<uint8_t>(in.Cycles + 8);
  return in;
}

TInstr& TProgram::AddBranch(uint8_t opcode, TCond cond, int32_t target) {
  const char* mnemonic = "BRA";
  char flag = 'Z';
  bool whenSet = true;
  switch (opcode) {
    case 0x10:
      mnemonic = "BPL";
      flag = 'N';
      whenSet = false;
      break;
    case 0x30:
      mnemonic = "BMI";
      flag = 'N';
      break;
    case 0x90:
      mnemonic = "BCC";
      flag = 'C';
      whenSet = false;
      break;
    case 0xB0:
      mnemonic = "BCS";
      flag = 'C';
      break;
    case 0xD0:
      mnemonic = "BNE";
      whenSet = false;
      break;
    case 0xF0:
      mnemonic = "BEQ";
      break;
    default:
      break;
  }
  TInstr& in = Add(opcode, mnemonic, "", 2);
  in.Op = TOp::Branch;
  in.Cond = cond;
  in.Target = target;
  in.BranchFlag = flag;
  in.TakenWhenSet = whenSet;
  return in;
}

void TProgram::AddCall(bool isLong, int32_t target) {
  TInstr& in = Add(isLong ? 0x22 : 0x20, isLong ? "JSL" : "JSR", "", isLong ? 4 : 3);
  in.Op = TOp::Call;
  in.Target = target;
  in.StackBytes = isLong ? 3 : 2;
  in.Cycles = static_cast<uint8_t>(in.Cycles + 12);
}

void TProgram::AddStraight(int count) {
  for (int i = 0; i < count; ++i) {
    const TTemplate& t = kStraight[random_.Below(std::size(kStraight))];
    switch (t.Form) {
      case TForm::Implied:
        Add(t.Opcode, t.Mnemonic, "", 1).Effect = t.Effect;
        break;
      case TForm::Accumulator:
        Add(t.Opcode, t.Mnemonic, "A", 1).Effect = t.Effect;
        break;
      case TForm::Immediate:
        AddImmediate(t.Opcode, t.Mnemonic, static_cast<uint16_t>(random_.Below(256)), 1, t.Effect);
        break;
      case TForm::Direct:
        AddData(t.Opcode, t.Mnemonic, t.Form, random_.Below(256), t.Effect);
        break;
      case TForm::Absolute: {
        int64_t address = random_.Chance(45) ? kRegisters[random_.Below(std::size(kRegisters))]
                                             : random_.Between(0x0100, 0x1FFF);
        AddData(t.Opcode, t.Mnemonic, t.Form, address, t.Effect);
        break;
      }
      case TForm::AbsoluteX:
        AddData(t.Opcode, t.Mnemonic, t.Form, random_.Between(0x02, 0x1E) << 8, t.Effect);
        break;
      case TForm::Long:
      case TForm::LongX:
        AddData(t.Opcode, t.Mnemonic, t.Form, random_.Between(0x7E0000, 0x7FFFFF), t.Effect);
        break;
    }
  }
}

const uint8_t kConditional[] = {0xF0, 0xD0, 0x90, 0xB0, 0x10, 0x30};

void TProgram::AddIfBlock() {
  int32_t site = Here();
  AddBranch(kConditional[random_.Below(std::size(kConditional))], TCond::Random, -1);
  AddStraight(static_cast<int>(random_.Between(1, 4)));
  SetBranchTarget(site, Here());
}

void TProgram::AddIfElse() {
  int32_t test = Here();
  AddBranch(kConditional[random_.Below(std::size(kConditional))], TCond::Random, -1);
  AddStraight(static_cast<int>(random_.Between(1, 3)));
  int32_t skip = Here();
  AddBranch(0x80, TCond::Always, -1);
  SetBranchTarget(test, Here());
  AddStraight(static_cast<int>(random_.Between(1, 3)));
  SetBranchTarget(skip, Here());
}

void TProgram::AddLoop(bool inner) {
  const uint16_t count = static_cast<uint16_t>(random_.Between(2, inner ? 4 : 8));
  AddImmediate(inner ? 0xA0 : 0xA2, inner ? "LDY" : "LDX", count, 2,
               inner ? TEffect::LoadY : TEffect::LoadX);
  int32_t top = Here();
  AddStraight(static_cast<int>(random_.Between(1, inner ? 3 : 4)));
  if (!inner && random_.Chance(25)) AddLoop(true);
  if (!inner && random_.Chance(25)) AddIfBlock();
  Add(inner ? 0x88 : 0xCA, inner ? "DEY" : "DEX", "", 1).Effect =
      inner ? TEffect::DecrementY : TEffect::DecrementX;
  AddBranch(0xD0, inner ? TCond::LoopY : TCond::LoopX, top);
}

void TProgram::AddPoll() {
  int32_t top = Here();
  AddData(0xAD, "LDA", TForm::Absolute, 0x4212, TEffect::PollStatus);
  AddBranch(0x10, TCond::Poll, top);
}

void TProgram::AddMove() {
  const uint16_t count = static_cast<uint16_t>(random_.Between(8, 48));
  AddImmediate(0xC2, "REP", 0x20, 1, TEffect::ClearM);
  AddImmediate(0xA2, "LDX", static_cast<uint16_t>(random_.Between(0x10, 0x1F) << 8), 2,
               TEffect::LoadX);
  AddImmediate(0xA0, "LDY", static_cast<uint16_t>(random_.Between(0x20, 0x3F) << 8), 2,
               TEffect::LoadY);
  AddImmediate(0xA9, "LDA", static_cast<uint16_t>(count - 1), 2, TEffect::Load16);
  // The bytes hold the destination bank first; the text shows the source bank first.
  TInstr& move = Add(0x54, "MVN", "7E 7F", 3);
  move.Bytes[1] = 0x7F;
  move.Bytes[2] = 0x7E;
  move.Op = TOp::Move;
  move.Cycles = 42;
  AddImmediate(0xE2, "SEP", 0x20, 1, TEffect::SetM);
}

void TProgram::AddRoutineBody(int level, int size, std::vector<TOpenCall>& calls, int32_t owner) {
  int callSites = 0;
  if (level < shape_.MaxDepth) {
    int64_t r = random_.Below(100);
    callSites = r < 15 ? 0 : r < 50 ? 1 : r < 85 ? 2 : 3;
  }
  const bool untraced = random_.Chance(4);
  const int32_t first = Here();
  while (Here() - first < size) {
    const int64_t r = random_.Below(100);
    if (callSites > 0 && r < 14) {
      const bool isNear = random_.Chance(50);
      calls.push_back({Here(), level, isNear, owner});
      AddCall(!isNear, -1);
      --callSites;
    } else if (r < 15 && untraced) {
      TInstr& call = Add(0x22, "JSL", "", 4);
      call.Op = TOp::Untraced;
      call.Data = 0xC00000 + (random_.Below(0x4000) << 2);
      call.Cycles = 250;
    } else if (r < 27) {
      AddLoop(false);
    } else if (r < 30) {
      AddPoll();
    } else if (r < 32) {
      AddMove();
    } else if (r < 46) {
      AddIfBlock();
    } else if (r < 52) {
      AddIfElse();
    } else {
      AddStraight(static_cast<int>(random_.Between(1, 4)));
    }
  }
  // The calls left over go at the end, so that every routine of a level below has callers.
  while (callSites-- > 0) {
    const bool isNear = random_.Chance(50);
    calls.push_back({Here(), level, isNear, owner});
    AddCall(!isNear, -1);
  }
}

// Moves the cursor to where the next routine goes: the ROM banks from $80 on, each from
// $8000 (bank $80 after the fixed code), or the WRAM bank $7E.
void TProgram::PlaceRoutine(bool far, bool inWram) {
  if (far && inWram && wramCursor_ < 0x7EF000) {
    cursor_ = wramCursor_;
    currentBank_ = 0x7E;
    return;
  }
  if ((romCursor_ & 0xFFFF) > 0xFC00) {
    romBank_ = romBank_ < 0xFF ? romBank_ + 1 : 0x80;
    romCursor_ = (static_cast<int64_t>(romBank_) << 16) | 0x8000;
  }
  cursor_ = romCursor_;
  currentBank_ = romBank_;
}

void TProgram::BuildFixedRoutines(std::vector<TOpenCall>& calls) {
  // Bank $80 from $8000: the main loop, the wait for the vertical blank, the dispatcher and
  // the recursive routine. The dispatcher's jump table is data at $80:8200.
  cursor_ = 0x808000;
  MainLoop = Here();
  AddData(0xA5, "LDA", TForm::Direct, 0x1A, TEffect::LoadTaskCount);
  AddData(0x85, "STA", TForm::Direct, 0x14, TEffect::StoreTaskCount);
  const int32_t dispatchCall = Here();
  AddCall(true, -1);
  AddData(0xC6, "DEC", TForm::Direct, 0x14, TEffect::DecrementTasks);
  AddBranch(0xD0, TCond::MoreTasks, dispatchCall);
  int32_t recursionCall = -1;
  int32_t skipRecursion = -1;
  if (shape_.DeepRecursion > 0) {
    AddData(0xA5, "LDA", TForm::Direct, 0x1C, TEffect::LoadRecursionFlag);
    skipRecursion = Here();
    AddBranch(0xF0, TCond::NoRecursion, -1);
    Add(0x78, "SEI", "", 1).Effect = TEffect::SetI;
    AddData(0x9C, "STZ", TForm::Absolute, 0x4200, TEffect::StartRecursion);
    recursionCall = Here();
    AddCall(false, -1);
    AddImmediate(0xA9, "LDA", 0x81, 1, TEffect::LoadImmediate);
    AddData(0x8D, "STA", TForm::Absolute, 0x4200, TEffect::NmiOn);
    Add(0x58, "CLI", "", 1).Effect = TEffect::ClearI;
    SetBranchTarget(skipRecursion, Here());
  }
  const int32_t waitCall = Here();
  AddCall(false, -1);
  AddBranch(0x80, TCond::Always, MainLoop);

  const int32_t waitRoutine = Here();
  AddImmediate(0xA9, "LDA", 0x81, 1, TEffect::LoadImmediate);
  AddData(0x8D, "STA", TForm::Absolute, 0x4200, TEffect::NmiOn);
  const int32_t wait = Here();
  TInstr& wai = Add(0xCB, "WAI", "", 1);
  wai.Op = TOp::Wait;
  wai.Cycles = 14;
  AddData(0xA5, "LDA", TForm::Direct, 0x16, TEffect::LoadNmiFlag);
  AddBranch(0xF0, TCond::NmiNotSeen, wait);
  AddData(0x64, "STZ", TForm::Direct, 0x16, TEffect::ClearNmiFlag);
  Add(0x60, "RTS", "", 1).Op = TOp::Return;
  Code.back().StackBytes = 2;
  SetBranchTarget(waitCall, waitRoutine);

  const int32_t dispatcher = Here();
  AddData(0xA5, "LDA", TForm::Direct, 0x10, TEffect::LoadData);
  Add(0x0A, "ASL", "A", 1).Effect = TEffect::Unary;
  Add(0xAA, "TAX", "", 1).Effect = TEffect::ToX;
  AddData(0xBD, "LDA", TForm::AbsoluteX, 0x8200, TEffect::LoadData);
  AddData(0x85, "STA", TForm::Direct, 0x12, TEffect::None);
  TInstr& jump = Add(0xDC, "JML", "[$0012]", 3);
  jump.Bytes[1] = 0x12;
  jump.Op = TOp::Dispatch;
  jump.VariableBracket = true;
  SetBranchTarget(dispatchCall, dispatcher);

  if (recursionCall >= 0) {
    const int32_t recurse = Here();
    AddData(0xC6, "DEC", TForm::Direct, 0x18, TEffect::DecrementRecursion);
    const int32_t done = Here();
    AddBranch(0xF0, TCond::RecursionDone, -1);
    AddCall(false, recurse);
    SetBranchTarget(done, Here());
    Add(0x60, "RTS", "", 1).Op = TOp::Return;
    Code.back().StackBytes = 2;
    SetBranchTarget(recursionCall, recurse);
  }

  // Bank $00: the interrupt handlers, entered without a call and left with RTI.
  cursor_ = 0x008091;
  NmiHandler = Here();
  Add(0x48, "PHA", "", 1).Effect = TEffect::Push;
  Code.back().Imm = 1;
  Add(0xDA, "PHX", "", 1).Effect = TEffect::Push;
  Code.back().Imm = 2;
  Add(0x5A, "PHY", "", 1).Effect = TEffect::Push;
  Code.back().Imm = 2;
  Add(0x8B, "PHB", "", 1).Effect = TEffect::Push;
  Code.back().Imm = 1;
  AddData(0xAD, "LDA", TForm::Absolute, 0x4210, TEffect::LoadData);
  for (int i = 0; i < 2; ++i) {
    calls.push_back({Here(), 1, false, -1});
    AddCall(true, -1);
  }
  AddData(0xE6, "INC", TForm::Direct, 0x16, TEffect::SetNmiFlag);
  Add(0xAB, "PLB", "", 1).Effect = TEffect::Pull;
  Code.back().Imm = 1;
  Add(0x7A, "PLY", "", 1).Effect = TEffect::Pull;
  Code.back().Imm = 2;
  Add(0xFA, "PLX", "", 1).Effect = TEffect::Pull;
  Code.back().Imm = 2;
  Add(0x68, "PLA", "", 1).Effect = TEffect::Pull;
  Code.back().Imm = 1;
  Add(0x40, "RTI", "", 1).Op = TOp::ReturnFromInterrupt;

  cursor_ = 0x008140;
  IrqHandler = Here();
  Add(0x48, "PHA", "", 1).Effect = TEffect::Push;
  Code.back().Imm = 1;
  AddData(0xAD, "LDA", TForm::Absolute, 0x4211, TEffect::LoadData);
  AddData(0xA5, "LDA", TForm::Direct, 0x1E, TEffect::LoadData);
  AddData(0x8D, "STA", TForm::Absolute, 0x210E, TEffect::None);
  Add(0x68, "PLA", "", 1).Effect = TEffect::Pull;
  Code.back().Imm = 1;
  Add(0x40, "RTI", "", 1).Op = TOp::ReturnFromInterrupt;
}

void TProgram::ResolveCalls(const std::vector<TOpenCall>& calls,
                            const std::vector<TRoutine>& routines) {
  // Callees by level: far ones anywhere, near ones by bank and level. Every routine gets a
  // caller before any gets a second, so that the whole program can be reached.
  struct TPool {
    std::vector<int32_t> Routines;  // in random order
    size_t Next = 0;
  };
  std::map<int, TPool> far;
  std::map<std::pair<int, int>, TPool> near;
  for (const TRoutine& r : routines) {
    if (r.Far)
      far[r.Level].Routines.push_back(r.First);
    else
      near[{r.Bank, r.Level}].Routines.push_back(r.First);
  }
  auto shuffle = [&](TPool& pool) {
    std::vector<int32_t>& v = pool.Routines;
    for (size_t i = v.size(); i > 1; --i)
      std::swap(v[i - 1], v[static_cast<size_t>(random_.Below(static_cast<int64_t>(i)))]);
  };
  for (auto& [level, pool] : far) shuffle(pool);
  for (auto& [key, pool] : near) shuffle(pool);
  auto pick = [&](TPool& pool) {
    if (pool.Next < pool.Routines.size()) return pool.Routines[pool.Next++];
    return pool
        .Routines[static_cast<size_t>(random_.Below(static_cast<int64_t>(pool.Routines.size())))];
  };
  for (const TOpenCall& call : calls) {
    TInstr& site = Code[static_cast<size_t>(call.Site)];
    const int level = call.Level + 1;
    int32_t callee = -1;
    if (call.Near) {
      auto it = near.find({static_cast<int>(site.Address >> 16), level});
      if (it != near.end()) callee = pick(it->second);
    } else {
      auto it = far.find(level);
      if (it != far.end()) callee = pick(it->second);
    }
    if (callee >= 0) {
      site.Target = callee;
      continue;
    }
    // No routine to call: the site becomes a load of the same length.
    site.Op = TOp::Plain;
    site.Effect = TEffect::LoadData;
    site.StackBytes = 0;
    if (site.Length == 3) {
      site.Bytes = {0xAD, 0x04, 0x01, 0};
      site.Mnemonic = "LDA";
      site.Operand = "$0104";
      site.Data = 0x0104;
    } else {
      site.Bytes = {0xAF, 0x00, 0x20, 0x7E};
      site.Mnemonic = "LDA";
      site.Operand = "$7E2000";
      site.Data = 0x7E2000;
    }
  }
  AdoptOrphans(calls, routines);
}

// Routines that no running code calls (their callers were not reached, or a bank had more
// routines of a level than call sites) take over call sites whose callee has other callers.
void TProgram::AdoptOrphans(const std::vector<TOpenCall>& calls,
                            const std::vector<TRoutine>& routines) {
  std::map<int32_t, int32_t> routineAt;  // first instruction -> routine
  for (size_t i = 0; i < routines.size(); ++i)
    routineAt[routines[i].First] = static_cast<int32_t>(i);
  std::vector<std::vector<size_t>> sitesOf(routines.size());  // call sites by owner
  std::vector<int> callers(routines.size(), 0);
  for (size_t c = 0; c < calls.size(); ++c) {
    const TInstr& site = Code[static_cast<size_t>(calls[c].Site)];
    if (site.Op != TOp::Call) continue;
    ++callers[static_cast<size_t>(routineAt[site.Target])];
    if (calls[c].Owner >= 0) sitesOf[static_cast<size_t>(calls[c].Owner)].push_back(c);
  }
  std::vector<bool> reached(routines.size(), false);
  auto reach = [&](int32_t start) {
    std::vector<int32_t> todo{start};
    while (!todo.empty()) {
      const size_t r = static_cast<size_t>(todo.back());
      todo.pop_back();
      if (reached[r]) continue;
      reached[r] = true;
      for (size_t c : sitesOf[r])
        todo.push_back(routineAt[Code[static_cast<size_t>(calls[c].Site)].Target]);
    }
  };
  for (size_t i = 0; i < routines.size(); ++i)
    if (routines[i].Level == 1) reach(static_cast<int32_t>(i));
  for (const TOpenCall& call : calls)
    if (call.Owner < 0 && Code[static_cast<size_t>(call.Site)].Op == TOp::Call)
      reach(routineAt[Code[static_cast<size_t>(call.Site)].Target]);

  for (int level = 2; level <= shape_.MaxDepth; ++level) {
    for (size_t u = 0; u < routines.size(); ++u) {
      const TRoutine& orphan = routines[u];
      if (orphan.Level != level || reached[u]) continue;
      for (const TOpenCall& call : calls) {
        TInstr& site = Code[static_cast<size_t>(call.Site)];
        if (site.Op != TOp::Call || call.Level != level - 1 || call.Near == orphan.Far) continue;
        if (call.Owner >= 0 && !reached[static_cast<size_t>(call.Owner)]) continue;
        if (call.Near && (site.Address >> 16) != orphan.Bank) continue;
        const size_t old = static_cast<size_t>(routineAt[site.Target]);
        if (callers[old] < 2) continue;
        --callers[old];
        ++callers[u];
        site.Target = orphan.First;
        reach(static_cast<int32_t>(u));
        break;
      }
    }
  }
}

// Operand texts and bytes of flow instructions, and the fixed text of every instruction.
void TProgram::Finish() {
  const bool first = shape_.Dialect == TLogDialect::First;
  for (TInstr& in : Code) {
    if (in.Op == TOp::Branch) {
      const int64_t target = Code[static_cast<size_t>(in.Target)].Address;
      const int64_t displacement = target - (in.Address + 2);
      if (displacement < -128 || displacement > 127)
        throw std::logic_error("log generator: branch out of reach");
      in.Bytes[1] = static_cast<uint8_t>(displacement & 0xFF);
      in.Operand.assign(1, '$');
      AppendHex(in.Operand, in.Bytes[1], 2);
      in.Data = (in.Address & 0xFF0000) | (target & 0xFFFF);
    } else if (in.Op == TOp::Call || in.Op == TOp::Untraced) {
      const int64_t target =
          in.Op == TOp::Call ? Code[static_cast<size_t>(in.Target)].Address : in.Data;
      in.Bytes[1] = static_cast<uint8_t>(target & 0xFF);
      in.Bytes[2] = static_cast<uint8_t>((target >> 8) & 0xFF);
      in.Operand.assign(1, '$');
      if (in.Length == 4) {
        in.Bytes[3] = static_cast<uint8_t>((target >> 16) & 0xFF);
        AppendHex(in.Operand, static_cast<uint64_t>(target), 6);
      } else {
        AppendHex(in.Operand, static_cast<uint64_t>(target) & 0xFFFF, 4);
      }
      in.Data = target;
    }

    std::string& s = in.Text;
    s.assign(1, '$');
    AppendHex(s, static_cast<uint64_t>(in.Address >> 16) & 0xFF, 2);
    s += '/';
    AppendHex(s, static_cast<uint64_t>(in.Address) & 0xFFFF, 4);
    s += first ? "  " : " ";
    for (int i = 0; i < in.Length; ++i) {
      if (i > 0) s += ' ';
      AppendHex(s, in.Bytes[static_cast<size_t>(i)], 2);
    }
    PadTo(s, first ? 23 : 21);
    s += in.Mnemonic;
    if (!in.Operand.empty()) {
      s += ' ';
      s += in.Operand;
    }
    if (in.Data >= 0 && !in.VariableBracket) {
      if (!first) PadTo(s, 30);
      s += " [";
      AppendBankAddress(s, in.Data);
      s += ']';
    }
    if (!in.VariableBracket) PadTo(s, first ? 44 : 42);
  }
}

void TProgram::Build() {
  std::vector<TOpenCall> calls;
  BuildFixedRoutines(calls);

  // Routines per level grow by a quarter per level, less than the call sites (about 1.5 per
  // routine), so that every routine can have a caller. About nine in ten instructions of the
  // program are met in a long log; the program is made that much larger.
  const int levels = std::max(1, shape_.MaxDepth);
  const int64_t fixed = Here();
  const int64_t total = std::max<int64_t>(levels, (shape_.Addresses - fixed) / 26);
  std::vector<double> weight(static_cast<size_t>(levels));
  double sum = 0;
  for (int l = 0; l < levels; ++l) sum += weight[static_cast<size_t>(l)] = std::pow(1.25, l);
  std::vector<int> order;
  for (int l = 0; l < levels; ++l) {
    int64_t count = std::max<int64_t>(
        1, std::llround(static_cast<double>(total) * weight[static_cast<size_t>(l)] / sum));
    for (int64_t i = 0; i < count; ++i) order.push_back(l + 1);
  }
  // Mixed levels in every bank, so that near calls find callees in their own bank.
  for (size_t i = order.size(); i > 1; --i)
    std::swap(order[i - 1], order[static_cast<size_t>(random_.Below(static_cast<int64_t>(i)))]);

  std::vector<TRoutine> routines;
  for (int level : order) {
    TRoutine r;
    r.Level = level;
    r.Far = level == 1 || random_.Chance(50);
    PlaceRoutine(r.Far, random_.Chance(3));
    r.First = Here();
    r.Bank = currentBank_;
    AddRoutineBody(level, static_cast<int>(random_.Between(10, 40)), calls,
                   static_cast<int32_t>(routines.size()));
    TInstr& ret = Add(r.Far ? 0x6B : 0x60, r.Far ? "RTL" : "RTS", "", 1);
    ret.Op = TOp::Return;
    ret.StackBytes = r.Far ? 3 : 2;
    if (currentBank_ == 0x7E)
      wramCursor_ = cursor_ + random_.Between(0, 16);
    else
      romCursor_ = cursor_ + random_.Between(0, 16);  // a little data between routines
    routines.push_back(r);
    if (level == 1) Tasks.push_back(r.First);
  }
  ResolveCalls(calls, routines);
  Finish();
}

// --- execution ---------------------------------------------------------------------------

struct TFrame {
  int32_t Return;
  bool Interrupt;
  bool WasNmi;
  uint8_t StackBytes;
  uint16_t A, X, Y;
  bool N, Z, C, M, I;
};

class TRun {
 public:
  TRun(const TLogShape& shape, const std::function<void(std::string_view)>& sink)
      : shape_(shape),
        sink_(sink),
        structure_(shape.Seed),
        random_(shape.Seed * 0x9E3779B97F4A7C15ull + 1),
        program_(shape, structure_),
        seen_((1u << 24) / 64, 0) {}

  TLogStats Run();

 private:
  void Step();
  void Emit(const TInstr& in, int64_t bracket);
  void Write(std::string_view line);
  void Comment(const char* text);
  void Advance(int cycles);
  void TakeInterrupt(bool nmi);
  bool Decide(const TInstr& in);
  void Apply(const TInstr& in);
  void SetNZ(uint16_t value) {
    n_ = (value & 0x80) != 0;
    z_ = (value & 0xFF) == 0;
  }
  bool CommentDue() {
    return shape_.Comments && sinceInserted_ >= 2000 && random_.Below(400) == 0 &&
           stats_.Lines + 1 < shape_.Lines;
  }
  int64_t Depth() const { return static_cast<int64_t>(stack_.size()); }

  const TLogShape& shape_;
  const std::function<void(std::string_view)>& sink_;
  TRandom structure_;  // shapes the program
  TRandom random_;     // decides at run time
  TProgram program_;
  TLogStats stats_;
  std::vector<uint64_t> seen_;  // one bit per 24-bit address
  std::string line_;

  bool live_ = false;
  int32_t pc_ = 0;
  std::vector<TFrame> stack_;
  uint16_t a_ = 0, x_ = 0, y_ = 0, s_ = 0x1FFF;
  bool n_ = false, z_ = true, c_ = false, m_ = true, i_ = false;
  int hc_ = 0, vc_ = 0;
  int64_t frame_ = 10;
  bool nmiEnabled_ = true, nmiPending_ = false, irqPending_ = false, inNmi_ = false;
  bool nmiSeen_ = false;
  int irqFirst_ = -1, irqLast_ = -1;
  int tasksNext_ = 4, taskCounter_ = 0;
  size_t taskCursor_ = 0;
  bool recursionDue_ = false;
  int64_t recursionCounter_ = 0;
  int pollLeft_ = -1;
  bool markerDue_ = false;
  int64_t sinceInserted_ = 0;
  bool previousWasWait_ = false;
  // The conversion's view: the call before this line, if any, and the levels open.
  int64_t pendingCallTarget_ = -1;
  int64_t levels_ = 0;
};

void TRun::Write(std::string_view line) {
  sink_(line);
  ++stats_.Lines;
  stats_.Bytes += static_cast<int64_t>(line.size()) + 1;
  stats_.LongestLine = std::max<int64_t>(stats_.LongestLine, static_cast<int64_t>(line.size()));
}

void TRun::Comment(const char* text) {
  Write(text);
  ++stats_.CommentLines;
  sinceInserted_ = 0;
}

void TRun::Emit(const TInstr& in, int64_t bracket) {
  if (!live_) return;
  if (markerDue_ && shape_.Comments && (stats_.Lines == 0 || sinceInserted_ >= 2000) &&
      stats_.Lines + 2 <= shape_.Lines) {
    std::string marker = "--- frame ";
    AppendDecimal(marker, static_cast<uint64_t>(frame_), 1);
    marker += " ---";
    if (stats_.Lines > 0) ++stats_.ExpectedItems;  // a leading marker is skipped
    Write(marker);
    ++stats_.FrameMarkers;
    sinceInserted_ = 0;
  }
  markerDue_ = false;

  const bool first = shape_.Dialect == TLogDialect::First;
  line_ = in.Text;
  if (in.VariableBracket) {
    if (!first) PadTo(line_, 30);
    line_ += " [";
    AppendBankAddress(line_, bracket);
    line_ += ']';
    PadTo(line_, first ? 44 : 42);
  }
  line_ += " A:";
  AppendHex(line_, a_, 4);
  line_ += " X:";
  AppendHex(line_, x_, 4);
  line_ += " Y:";
  AppendHex(line_, y_, 4);
  if (first) {
    line_ += " D:0000 DB:00 S:";
    AppendHex(line_, s_, 4);
  }
  line_ += " P:e";
  line_ += n_ ? 'N' : 'n';
  line_ += 'v';
  line_ += m_ ? 'M' : 'm';
  line_ += "xd";
  line_ += i_ ? 'I' : 'i';
  line_ += z_ ? 'Z' : 'z';
  line_ += c_ ? 'C' : 'c';
  if (first) {
    line_ += " HC:";
    AppendDecimal(line_, static_cast<uint64_t>(hc_), 3);
    line_ += " VC:";
    AppendDecimal(line_, static_cast<uint64_t>(vc_), 4);
    line_ += " FC:";
    AppendDecimal(line_, static_cast<uint64_t>((frame_ - 1) % 60), 2);
  }
  Write(line_);
  ++stats_.InstructionLines;
  ++stats_.ExpectedItems;
  ++sinceInserted_;
  const uint64_t address = static_cast<uint64_t>(in.Address) & 0xFFFFFF;
  uint64_t& word = seen_[address >> 6];
  if ((word & (1ull << (address & 63))) == 0) {
    word |= 1ull << (address & 63);
    ++stats_.DistinctAddresses;
  }

  // A call is taken for the conversion when the next instruction line is at its target.
  if (pendingCallTarget_ >= 0) {
    if (pendingCallTarget_ == in.Address) {
      ++stats_.TakenCalls;
      stats_.DeepestLevel = std::max(stats_.DeepestLevel, ++levels_);
    } else {
      ++stats_.UntakenCalls;
    }
    pendingCallTarget_ = -1;
  }
  if (in.Op == TOp::Return || in.Op == TOp::ReturnFromInterrupt) {
    ++stats_.Returns;
    if (levels_ > 0) {
      --levels_;
    } else {
      ++stats_.Upsteps;
      ++stats_.ExpectedItems;
    }
  }
  if (in.Op == TOp::Call || in.Op == TOp::Untraced) pendingCallTarget_ = in.Data;
  if (in.Op == TOp::Wait) ++stats_.WaitLines;
  if (in.Op == TOp::Move) ++stats_.MoveLines;

  // Comments of the kinds people write: at a handler's start, after a return or a call, a
  // loop back, the first WAI of a run.
  if (!CommentDue()) return;
  const int32_t here = static_cast<int32_t>(&in - program_.Code.data());
  if (here == program_.NmiHandler) {
    Comment("//NMI");
  } else if (here == program_.IrqHandler) {
    Comment("// IRQ handler");
  } else if (in.Op == TOp::ReturnFromInterrupt) {
    Comment("// back from the interrupt");
  } else if (in.Op == TOp::Return) {
    Comment("// end of subroutine");
  } else if (in.Op == TOp::Call) {
    Comment("//\tsee notes");
  } else if (in.Op == TOp::Wait && !previousWasWait_) {
    Comment("// wait for the vertical blank");
  } else if (in.Op == TOp::Branch && in.Target < here) {
    Comment("// loop");
  }
}

void TRun::Advance(int cycles) {
  hc_ += cycles;
  while (hc_ >= 1364) {
    hc_ -= 1364;
    if (++vc_ == 262) vc_ = 0;
    if (vc_ == 1) {
      ++frame_;
      markerDue_ = true;
      // Now and then a frame with an H/V-timer IRQ on every line of a band of the screen.
      if (random_.Chance(15)) {
        irqFirst_ = static_cast<int>(random_.Between(30, 180));
        irqLast_ = irqFirst_ + static_cast<int>(random_.Between(0, 30));
      } else {
        irqFirst_ = irqLast_ = -1;
      }
    }
    if (vc_ == 225 && nmiEnabled_) nmiPending_ = true;
    if (vc_ >= irqFirst_ && vc_ <= irqLast_) irqPending_ = true;
  }
}

void TRun::TakeInterrupt(bool nmi) {
  stack_.push_back({pc_, true, nmi, 4, a_, x_, y_, n_, z_, c_, m_, i_});
  s_ = static_cast<uint16_t>(s_ - 4);
  i_ = true;
  if (nmi) {
    nmiPending_ = false;
    inNmi_ = true;
    pc_ = program_.NmiHandler;
  } else {
    irqPending_ = false;
    pc_ = program_.IrqHandler;
  }
  if (live_) ++stats_.Interrupts;
  Advance(48);
}

bool TRun::Decide(const TInstr& in) {
  switch (in.Cond) {
    case TCond::Always:
      return true;
    case TCond::Random:
      return random_.Chance(50);
    case TCond::LoopX:
      return x_ != 0;
    case TCond::LoopY:
      return y_ != 0;
    case TCond::Poll:
      if (pollLeft_ > 0) {
        --pollLeft_;
        return true;
      }
      pollLeft_ = -1;
      return false;
    case TCond::NmiNotSeen:
      return !nmiSeen_;
    case TCond::MoreTasks:
      return taskCounter_ != 0;
    case TCond::NoRecursion:
      return !recursionDue_;
    case TCond::RecursionDone:
      return recursionCounter_ == 0;
  }
  return false;
}

void TRun::Apply(const TInstr& in) {
  switch (in.Effect) {
    case TEffect::None:
      break;
    case TEffect::LoadImmediate:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | (in.Imm & 0xFF));
      SetNZ(a_);
      break;
    case TEffect::LoadData:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | random_.Below(256));
      SetNZ(a_);
      break;
    case TEffect::Alu:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | ((a_ + in.Imm * 7 + 1) & 0xFF));
      SetNZ(a_);
      break;
    case TEffect::Compare:
      c_ = (a_ & 0xFF) >= in.Imm;
      z_ = (a_ & 0xFF) == in.Imm;
      n_ = (((a_ & 0xFF) - in.Imm) & 0x80) != 0;
      break;
    case TEffect::Unary:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | ((a_ * 2 + 1) & 0xFF));
      SetNZ(a_);
      break;
    case TEffect::Swap:
      a_ = static_cast<uint16_t>((a_ << 8) | (a_ >> 8));
      SetNZ(a_);
      break;
    case TEffect::FromX:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | (x_ & 0xFF));
      SetNZ(a_);
      break;
    case TEffect::FromY:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | (y_ & 0xFF));
      SetNZ(a_);
      break;
    case TEffect::ToX:
      x_ = a_;
      break;
    case TEffect::ClearCarry:
      c_ = false;
      break;
    case TEffect::SetCarry:
      c_ = true;
      break;
    case TEffect::LoadX:
      x_ = in.Imm;
      z_ = x_ == 0;
      break;
    case TEffect::LoadY:
      y_ = in.Imm;
      z_ = y_ == 0;
      break;
    case TEffect::DecrementX:
      --x_;
      z_ = x_ == 0;
      n_ = (x_ & 0x8000) != 0;
      break;
    case TEffect::DecrementY:
      --y_;
      z_ = y_ == 0;
      n_ = (y_ & 0x8000) != 0;
      break;
    case TEffect::Load16:
      a_ = in.Imm;
      break;
    case TEffect::ClearM:
      m_ = false;
      break;
    case TEffect::SetM:
      m_ = true;
      break;
    case TEffect::SetI:
      i_ = true;
      break;
    case TEffect::ClearI:
      i_ = false;
      break;
    case TEffect::Push:
      s_ = static_cast<uint16_t>(s_ - in.Imm);
      break;
    case TEffect::Pull:
      s_ = static_cast<uint16_t>(s_ + in.Imm);
      break;
    case TEffect::LoadTaskCount:
      a_ = static_cast<uint16_t>((a_ & 0xFF00) | tasksNext_);
      break;
    case TEffect::StoreTaskCount:
      taskCounter_ = tasksNext_;
      break;
    case TEffect::DecrementTasks:
      --taskCounter_;
      z_ = taskCounter_ == 0;
      break;
    case TEffect::LoadNmiFlag:
      z_ = !nmiSeen_;
      break;
    case TEffect::SetNmiFlag:
      nmiSeen_ = true;
      {
        // Most frames run one task and wait; some run late.
        const int64_t load = random_.Below(10);
        tasksNext_ = load < 2 ? 1 : load < 5 ? 2 : load < 8 ? 3 : 4;
      }
      break;
    case TEffect::ClearNmiFlag:
      nmiSeen_ = false;
      break;
    case TEffect::NmiOn:
      nmiEnabled_ = true;
      break;
    case TEffect::LoadRecursionFlag:
      z_ = !recursionDue_;
      break;
    case TEffect::StartRecursion:
      nmiEnabled_ = false;
      recursionDue_ = false;
      recursionCounter_ = shape_.DeepRecursion;
      break;
    case TEffect::DecrementRecursion:
      if (recursionCounter_ > 0) --recursionCounter_;
      z_ = recursionCounter_ == 0;
      break;
    case TEffect::PollStatus:
      if (pollLeft_ < 0) pollLeft_ = static_cast<int>(random_.Between(0, 40));
      n_ = pollLeft_ == 0;
      break;
  }
}

// Executes the instruction at pc_, writing its line when the trace is live.
void TRun::Step() {
  const TInstr& in = program_.Code[static_cast<size_t>(pc_)];
  int64_t bracket = in.Data;
  if (in.Indexed) bracket = (in.Data & 0xFF0000) | ((in.Data + x_) & 0xFFFF);
  int32_t next = pc_ + 1;
  int cycles = in.Cycles;

  switch (in.Op) {
    case TOp::Plain:
      Emit(in, bracket);
      Apply(in);
      break;
    case TOp::Branch: {
      const bool taken = Decide(in);
      // The flag the branch tests shows what it decides.
      const bool set = taken == in.TakenWhenSet;
      if (in.BranchFlag == 'Z') z_ = set;
      if (in.BranchFlag == 'N') n_ = set;
      if (in.BranchFlag == 'C') c_ = set;
      Emit(in, bracket);
      if (taken) next = in.Target;
      break;
    }
    case TOp::Call:
      Emit(in, bracket);
      stack_.push_back({next, false, false, in.StackBytes, a_, x_, y_, n_, z_, c_, m_, i_});
      s_ = static_cast<uint16_t>(s_ - in.StackBytes);
      next = in.Target;
      break;
    case TOp::Untraced:
      Emit(in, bracket);
      break;
    case TOp::Dispatch: {
      const int32_t task = program_.Tasks[taskCursor_++ % program_.Tasks.size()];
      Emit(in, program_.Code[static_cast<size_t>(task)].Address);
      next = task;
      break;
    }
    case TOp::Return:
    case TOp::ReturnFromInterrupt: {
      Emit(in, bracket);
      if (stack_.empty()) {
        next = program_.MainLoop;
        break;
      }
      const TFrame frame = stack_.back();
      stack_.pop_back();
      s_ = static_cast<uint16_t>(s_ + frame.StackBytes);
      next = frame.Return;
      // Called routines keep the index registers; handlers give every register back.
      x_ = frame.X;
      y_ = frame.Y;
      if (frame.Interrupt) {
        a_ = frame.A;
        n_ = frame.N;
        z_ = frame.Z;
        c_ = frame.C;
        m_ = frame.M;
        i_ = frame.I;
        if (frame.WasNmi) inNmi_ = false;
      }
      break;
    }
    case TOp::Wait:
      Emit(in, bracket);
      next = pc_;  // the same WAI line again, until an interrupt wakes the CPU
      break;
    case TOp::Move:
      Emit(in, bracket);
      --a_;
      ++x_;
      ++y_;
      if (a_ != 0xFFFF) next = pc_;
      break;
  }
  previousWasWait_ = in.Op == TOp::Wait;
  const int32_t current = pc_;
  pc_ = next;
  Advance(cycles);
  if (in.Op == TOp::Wait && (nmiPending_ || irqPending_)) pc_ = current + 1;
  if (nmiPending_ && !inNmi_)
    TakeInterrupt(true);
  else if (irqPending_ && !i_)
    TakeInterrupt(false);
}

TLogStats TRun::Run() {
  program_.Build();
  stats_.ProgramAddresses = static_cast<int64_t>(program_.Code.size());
  if (shape_.Lines <= 0) return stats_;
  recursionDue_ = shape_.DeepRecursion > 0;
  // Run unseen until the program is a few calls deep inside a task: the trace starts there,
  // so its first returns leave the routine it started in.
  pc_ = program_.MainLoop;
  const int64_t wanted = std::min(3, std::max(1, shape_.MaxDepth));
  const int64_t warmUp = random_.Between(300, 3000);
  for (int64_t step = 0; step < 2'000'000; ++step) {
    Step();
    if (step >= warmUp && Depth() >= wanted && !inNmi_) break;
  }
  live_ = true;
  markerDue_ = true;  // a file with markers starts with one
  while (stats_.Lines < shape_.Lines) Step();
  stats_.OpenLevelsAtEnd = levels_;
  return stats_;
}

}  // namespace

TLogStats GenerateLog(const TLogShape& shape, const std::function<void(std::string_view)>& sink) {
  TRun run(shape, sink);
  return run.Run();
}

TLogStats WriteLogFile(const TLogShape& shape, const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw std::runtime_error("cannot write " + path);
  std::vector<char> buffer(1 << 20);
  std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
  bool failed = false;
  TLogStats stats = GenerateLog(shape, [&](std::string_view line) {
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size() ||
        std::fputc('\n', file.get()) == EOF)
      failed = true;
  });
  if (std::fflush(file.get()) != 0) failed = true;
  if (failed) throw std::runtime_error("cannot write " + path);
  return stats;
}

std::string GenerateLogText(const TLogShape& shape, TLogStats* stats) {
  std::string text;
  TLogStats s = GenerateLog(shape, [&](std::string_view line) {
    text.append(line);
    text.push_back('\n');
  });
  if (stats) *stats = s;
  return text;
}

std::string MakeTempFolder(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base && *base ? base : "/tmp") + "/orvanel-" + prefix + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!mkdtemp(name.data())) throw std::runtime_error("cannot make a folder like " + pattern);
  return std::string(name.data());
}

}  // namespace orvanel::bench
