#include "log_program.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace orvanel::bench::synthetic {

namespace {

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

const uint8_t kConditional[] = {0xF0, 0xD0, 0x90, 0xB0, 0x10, 0x30};

}  // namespace

void TProgram::AddStackOp(uint8_t opcode, const char* mnemonic, TEffect effect, int bytes) {
  Add(opcode, mnemonic, "", 1).Effect = effect;
  Code.back().Imm = bytes;
}

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
  AddStackOp(0x48, "PHA", TEffect::Push, 1);
  AddStackOp(0xDA, "PHX", TEffect::Push, 2);
  AddStackOp(0x5A, "PHY", TEffect::Push, 2);
  AddStackOp(0x8B, "PHB", TEffect::Push, 1);
  AddData(0xAD, "LDA", TForm::Absolute, 0x4210, TEffect::LoadData);
  for (int i = 0; i < 2; ++i) {
    calls.push_back({Here(), 1, false, -1});
    AddCall(true, -1);
  }
  AddData(0xE6, "INC", TForm::Direct, 0x16, TEffect::SetNmiFlag);
  AddStackOp(0xAB, "PLB", TEffect::Pull, 1);
  AddStackOp(0x7A, "PLY", TEffect::Pull, 2);
  AddStackOp(0xFA, "PLX", TEffect::Pull, 2);
  AddStackOp(0x68, "PLA", TEffect::Pull, 1);
  Add(0x40, "RTI", "", 1).Op = TOp::ReturnFromInterrupt;

  cursor_ = 0x008140;
  IrqHandler = Here();
  AddStackOp(0x48, "PHA", TEffect::Push, 1);
  AddData(0xAD, "LDA", TForm::Absolute, 0x4211, TEffect::LoadData);
  AddData(0xA5, "LDA", TForm::Direct, 0x1E, TEffect::LoadData);
  AddData(0x8D, "STA", TForm::Absolute, 0x210E, TEffect::None);
  AddStackOp(0x68, "PLA", TEffect::Pull, 1);
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

}  // namespace orvanel::bench::synthetic
