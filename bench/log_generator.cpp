#include "log_generator.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "log_program.h"

namespace orvanel::bench {

namespace {

using namespace synthetic;

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
