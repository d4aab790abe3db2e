// The conversion of a trace log into the code tree: calls open levels, returns close them,
// targets are resolved at once or when their address is first met.
//
// The levels are kept on an explicit stack rather than the call stack, so that a log whose
// tree is a hundred thousand levels deep converts without overflowing it.
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/TextUtils.h"
#include "project/Interrupts.h"
#include "project/SnesProject.h"
#include "scopes/SnesScopeManager.h"
#include "trace/LogLines.h"

namespace orvanel {

namespace {

// Reading a log line past the end of the log ends the level that tried it.
class EPastEndOfLog : public EOrvanelError {
 public:
  EPastEndOfLog() : EOrvanelError("List index out of bounds") {}
};

bool IsBranchOpcode(int32_t op) {
  switch (op) {
    case 0x10:
    case 0x30:
    case 0x50:
    case 0x70:
    case 0x80:
    case 0x90:
    case 0xB0:
    case 0xD0:
    case 0xF0:
      return true;
    default:
      return false;
  }
}

bool IsJumpOpcode(int32_t op) {
  return op == 0x4C || op == 0x5C || op == 0x6C || op == 0x7C || op == 0xDC;
}

// At most `count` characters (not bytes) of a UTF-8 text from 1-based column `column` on.
std::string CopyCharacters(std::string_view text, size_t column, size_t count) {
  size_t i = 0;
  for (size_t c = 1; c < column && i < text.size(); ++c) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  size_t start = i;
  for (size_t c = 0; c < count && i < text.size(); ++c) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return std::string(text.substr(start, i - start));
}

// What opened a level: nothing (the top level), a taken call, or an interrupt (an entry
// found in the lines, BRK or COP).
enum class TLevelKind : uint8_t { Top, Call, Interrupt };

// One level of the conversion: the items of a called routine, of an interrupt handler, or
// of the top level.
struct TLevel {
  TTreeItem* Parent = nullptr;       // the opening line's item; none for the top level
  TTraceFileLine* Result = nullptr;  // the first line this level placed in the tree
  TTraceFileLine* Lookahead = nullptr;
  bool Stop = false;
  TTraceFileLine* WaitingCall = nullptr;  // the line whose level is the one above
  TLevelKind Kind = TLevelKind::Top;
};

class TConverter {
 public:
  TConverter(TSNESProject& project, const TLogLines& log, size_t& k)
      : p_(project),
        log_(log),
        k_(k),
        n_(log.Count()),
        interrupts_(project.InterruptLevels),
        stackGiven_(project.LogRecordsStack()) {}

  TTraceFileLine* Run(TTreeItem* parent);

 private:
  // One pass of a level's loop. Returns the call line when a taken call opens a new level.
  TTraceFileLine* Pass(TLevel& level, TTreeItem*& callItem, TLevelKind& opened);
  // With interrupt levels on: the item of an interrupt entered before line k, when the
  // lines show one there; the handler's level opens under it.
  TTreeItem* InterruptEntry(TLevel& level);
  // RTI with an interrupt level open, and RTS/RTL directly inside one; false for a return
  // handled as without interrupt levels.
  bool InterruptReturn(TLevel& level, TTraceFileLine* line);
  void ResumeAfterCall(TLevel& level, TTraceFileLine* routineStart);
  void Return(TLevel& level, TTraceFileLine*& line);
  void Jump(TTraceFileLine* line);
  void ExitLabel(TTraceFileLine* line);
  // Creates the line of log line `index` and registers it; a line whose address is already
  // registered gives the record there and the new line is dropped.
  TTraceFileLine* RegisterLine(size_t index);
  TTraceFileLine* Register(std::unique_ptr<TTraceFileLine> line);
  void ReportProgress();

  TSNESProject& p_;
  const TLogLines& log_;
  size_t& k_;
  size_t n_;
  // The last RegisterLine: the same log line is cut twice in a row (as lookahead, then as
  // the next line); the second cut of an instruction gives the same record, so it is skipped.
  size_t memoIndex_ = std::numeric_limits<size_t>::max();
  TTraceFileLine* memoLine_ = nullptr;
  // The registers of that log line, taken from its own cut before a duplicate record is
  // dropped: each item shows its own execution's registers, not the record's.
  std::optional<TItemRegisters> memoRegisters_;
  size_t lastProgress_ = 0;

  std::vector<TLevel> levels_;
  bool interrupts_;
  bool stackGiven_;
  size_t interruptDepth_ = 0;              // interrupt levels open
  size_t nextMarker_ = 0;                  // the first interrupt marker of the log not yet passed
  std::optional<TExecutedLine> previous_;  // the last instruction line placed
};

TTraceFileLine* TConverter::Register(std::unique_ptr<TTraceFileLine> line) {
  TTraceFileLine* raw = line.get();
  TTraceFileLine* registered = p_.RegisterInIndex(raw);
  if (registered == raw) p_.Adopt(std::move(line));
  return registered;
}

TTraceFileLine* TConverter::RegisterLine(size_t index) {
  if (index >= n_) throw EPastEndOfLog();
  std::unique_ptr<TTraceFileLine> fresh = p_.CreateLine(log_[index], false, &log_);
  memoRegisters_ = fresh->RecordedRegisters();
  TTraceFileLine* line = Register(std::move(fresh));
  memoIndex_ = index;
  memoLine_ = line->IsComment() ? nullptr : line;
  return line;
}

void TConverter::ReportProgress() {
  if (k_ - lastProgress_ >= 4096 || k_ >= n_) {
    lastProgress_ = k_;
    p_.UI().ProgressPosition(static_cast<int64_t>(k_));
  }
}

TTraceFileLine* TConverter::Run(TTreeItem* parent) {
  levels_.assign(1, TLevel{});
  levels_[0].Parent = parent;
  TTraceFileLine* finished = nullptr;  // what the level that just ended returned
  bool resuming = false;
  for (;;) {
    TLevel& level = levels_.back();
    bool ended = false;
    try {
      if (resuming) {
        resuming = false;
        ResumeAfterCall(level, finished);
      } else if (level.Stop || k_ >= n_) {
        finished = level.Result;
        ended = true;
      } else if (TTreeItem* interruptItem = interrupts_ ? InterruptEntry(level) : nullptr) {
        TLevel handler;
        handler.Parent = interruptItem;
        handler.Kind = TLevelKind::Interrupt;
        ++interruptDepth_;
        levels_.push_back(handler);  // `level` is not used after this
      } else {
        TTreeItem* callItem = nullptr;
        TLevelKind opened = TLevelKind::Call;
        if (TTraceFileLine* call = Pass(level, callItem, opened)) {
          level.WaitingCall = call;
          TLevel routine;
          routine.Parent = callItem;
          routine.Kind = opened;
          if (opened == TLevelKind::Interrupt) ++interruptDepth_;
          levels_.push_back(routine);  // `level` is not used after this
        }
      }
    } catch (const std::exception&) {
      // An error ends this level; the level that called it goes on where it stopped.
      p_.Message(std::to_string(k_));
      finished = nullptr;
      ended = true;
    }
    if (ended) {
      if (levels_.back().Kind == TLevelKind::Interrupt) --interruptDepth_;
      levels_.pop_back();
      if (levels_.empty()) return finished;
      resuming = true;
    }
  }
}

TTreeItem* TConverter::InterruptEntry(TLevel& level) {
  if (!previous_) return nullptr;
  // The line is cut once: the lookahead of the last pass, or now (after empty lines).
  if (memoIndex_ != k_) {
    std::string_view text = log_[k_];
    if (text.empty() || text.front() != '$') return nullptr;
    RegisterLine(k_);
  }
  TTraceFileLine* handler = memoLine_;
  if (!handler || !memoRegisters_) return nullptr;
  // A log that announces its interrupts names the kind; BRK and COP open their level at
  // their own line.
  const char* text = kInterruptItemText;
  bool announced = false;
  const std::vector<TInterruptMarker>& markers = log_.InterruptMarkers();
  while (nextMarker_ < markers.size() && markers[nextMarker_].nextLine < k_) ++nextMarker_;
  for (size_t m = nextMarker_; m < markers.size() && markers[m].nextLine == k_; ++m) {
    if (markers[m].kind == TInterruptKind::Nmi || markers[m].kind == TInterruptKind::Irq) {
      text = markers[m].kind == TInterruptKind::Nmi ? kNmiItemText : kIrqItemText;
      announced = true;
    }
  }
  if (!announced) {
    switch (ClassifyNextLine(*previous_, handler->Offset(), *memoRegisters_, stackGiven_)) {
      case TEntryVerdict::Flow:
        return nullptr;
      case TEntryVerdict::Undecided:
        ++p_.InterruptCounts.Undecided;
        previous_.reset();  // counted once; the pass of the line sets it again
        return nullptr;
      case TEntryVerdict::Entry:
        break;
    }
  }
  ++p_.InterruptCounts.Entered;
  previous_.reset();
  TTraceFileLine* marker = p_.Adopt(p_.CreateLine(text, true, nullptr));
  marker->SetTextColor(p_.Palette.CallColor);
  marker->SetTargetNode(handler);  // kept out of the offset index, as a read file keeps it
  level.WaitingCall = marker;
  return p_.Tree().AddChild(level.Parent, marker);
}

void TConverter::ResumeAfterCall(TLevel& level, TTraceFileLine* routineStart) {
  TTraceFileLine* call = level.WaitingCall;
  level.WaitingCall = nullptr;
  call->SetTargetNode(routineStart);
  if (k_ < n_)
    level.Lookahead = RegisterLine(k_);
  else
    level.Stop = true;
  ExitLabel(call);
}

TTraceFileLine* TConverter::Pass(TLevel& level, TTreeItem*& callItem, TLevelKind& opened) {
  std::string_view text = log_[k_];
  if (text.empty()) {
    ++k_;
    return nullptr;
  }

  TTraceFileLine* line;
  std::optional<TItemRegisters> registers;
  if (memoIndex_ == k_ && memoLine_ && !memoLine_->IsComment()) {
    line = memoLine_;
    registers = memoRegisters_;
  } else {
    // The lookahead cut this log line already and said what was wrong with it: once is enough.
    const bool cutBefore = memoIndex_ == k_;
    const size_t said = p_.Messages().Count();
    std::unique_ptr<TTraceFileLine> fresh = p_.CreateLine(text, false, &log_);
    if (cutBefore) p_.Messages().TruncateTo(said);
    if (p_.OffsetIndex().Count() == 0) {
      fresh->SetTextColor(p_.Palette.StartNodeColor);
      fresh->SetFlag(lfIsFirstLine, true);
    }
    registers = fresh->RecordedRegisters();
    line = Register(std::move(fresh));
  }
  if (!level.Result) level.Result = line;

  line->SetOffsetLabel(p_.FindLabel(line->Offset()));
  if (TSNESScopeManager* scopes = p_.ScopeManager())
    line->AttachScope(scopes->FindScope(*line, false));

  // Branches that were waiting for this address find it now.
  if (!p_.PendingTargets().Empty()) {
    for (TTraceFileLine* source : p_.PendingTargets().Take(line->Offset())) {
      source->SetTargetNode(line);
      if (source->HasTarget() && source->TargetRef()) line->SetOffsetLabel(source->TargetRef());
    }
  }

  // A comment line right after an instruction is that instruction's comment.
  if (k_ + 1 < n_ && log_[k_ + 1].find(p_.CommentPrefix) != std::string_view::npos) {
    ++k_;
    line->SetComment(CopyCharacters(log_[k_], p_.CommentPrefix.size() + 1, 255));
  }

  if (TSNESCodeCache* cache = p_.CodeCache()) {
    TTraceFileLine* twin = cache->FindInIndex(line->Offset());
    line->SetCacheTwin(twin);
    if (twin) twin->SetCacheTwin(line);
  }

  TTreeItem* item = p_.Tree().AddChild(level.Parent, line);
  if (registers && !line->IsComment()) item->SetRegisters(*registers);
  ++k_;
  ReportProgress();
  if (k_ < n_) level.Lookahead = RegisterLine(k_);
  if (line->IsComment()) return nullptr;

  const int32_t op = line->OpcodeVal();
  if (interrupts_) {
    TExecutedLine& executed = previous_.emplace();
    executed.Offset = line->Offset();
    executed.Length = line->OpcodeLen();
    executed.Opcode = op;
    executed.Target = line->TargetOffset();
    executed.HasTarget = line->HasTarget();
    if (registers) executed.Registers = *registers;
  }
  if (op == 0x40 || op == 0x60 || op == 0x6B) {
    if (!interrupts_ || !InterruptReturn(level, line)) Return(level, line);
  } else if (interrupts_ && IsSoftwareInterrupt(op)) {
    // BRK and COP: the handler's lines go under the line, up to its RTI.
    if (line->TextColor() != p_.Palette.StartNodeColor) line->SetTextColor(p_.Palette.CallColor);
    while (level.Lookahead && level.Lookahead->IsComment() && k_ < n_) {
      if (!level.Lookahead->LineText().empty()) p_.Tree().AddChild(item, level.Lookahead);
      ++k_;
      level.Lookahead = RegisterLine(k_);
    }
    if (level.Lookahead) {
      callItem = item;
      opened = TLevelKind::Interrupt;
      return line;
    }
  } else if (op == 0x20 || op == 0x22) {
    if (line->TextColor() != p_.Palette.StartNodeColor) line->SetTextColor(p_.Palette.CallColor);
    if (level.Lookahead) {
      // Comment lines right after a call go under the call line.
      while (level.Lookahead->IsComment() && k_ < n_) {
        if (!level.Lookahead->LineText().empty()) p_.Tree().AddChild(item, level.Lookahead);
        ++k_;
        level.Lookahead = RegisterLine(k_);
      }
      if (line->TargetOffset() == level.Lookahead->Offset()) {
        // The call was taken: the routine becomes the call line's children.
        ++p_.CallDepth;
        callItem = item;
        return line;
      }
      if (!line->TargetNode()) line->SetTargetNode(p_.FindInIndex(line->TargetOffset()));
    }
  } else if (IsJumpOpcode(op) || IsBranchOpcode(op)) {
    Jump(line);
  }
  ExitLabel(line);
  return nullptr;
}

bool TConverter::InterruptReturn(TLevel& level, TTraceFileLine* line) {
  if (interruptDepth_ == 0) return false;
  const bool rti = line->OpcodeVal() == 0x40;
  if (!rti && level.Kind != TLevelKind::Interrupt) return false;
  line->SetSuccessor(nullptr);
  if (line->TextColor() != p_.Palette.StartNodeColor) line->SetTextColor(p_.Palette.ReturnColor);
  if (!rti) return true;  // a handler's RTS or RTL jumps; the handler goes on until its RTI
  // The RTI closes the innermost interrupt level and every call level opened inside it.
  level.Lookahead = nullptr;
  for (size_t i = levels_.size(); i-- > 0;) {
    levels_[i].Stop = true;
    if (levels_[i].Kind == TLevelKind::Interrupt) break;
    if (levels_[i].Kind == TLevelKind::Call && p_.CallDepth > 0) --p_.CallDepth;
  }
  return true;
}

void TConverter::Return(TLevel& level, TTraceFileLine*& line) {
  line->SetSuccessor(nullptr);
  level.Lookahead = nullptr;
  if (line->TextColor() != p_.Palette.StartNodeColor) line->SetTextColor(p_.Palette.ReturnColor);
  if (p_.CallDepth > 0) {
    --p_.CallDepth;  // the return closes the routine's level
    level.Stop = true;
    return;
  }
  // A return out of the routine the trace started in: the whole tree so far moves under a
  // new top-level "Upstep" item and the conversion goes on after it.
  level.Lookahead = line;
  TTraceFileLine* upstep = p_.Adopt(p_.CreateLine("Upstep", true, nullptr));
  TCodeTree& tree = p_.Tree();
  upstep->SetTargetNode(tree.First() ? tree.First()->Line() : nullptr);
  TTreeItem* upstepItem = tree.AddFirstTopLevel(upstep);
  tree.MoveFollowingTopLevelUnder(upstepItem);
  if (k_ < n_) {
    level.Lookahead = RegisterLine(k_);
    if (upstepItem->HasChildren()) {
      // The Upstep stands just before the instruction the return went back to.
      int back = 0;
      switch (upstepItem->Children().back()->Line()->OpcodeVal()) {
        case 0x40:
          back = 1;
          break;
        case 0x60:
          back = 3;
          break;
        case 0x6B:
          back = 4;
          break;
        default:
          break;
      }
      if (back != 0) {
        upstep->SetOffset(level.Lookahead->Offset() - back);
        upstep->SetOpcodeLen(static_cast<uint8_t>(back));
      }
    }
  }
  line = p_.RegisterInIndex(upstep);
}

void TConverter::Jump(TTraceFileLine* line) {
  if (TTraceFileLine* target = line->TargetNode()) {
    if (line->TargetRef()) target->SetOffsetLabel(line->TargetRef());
  } else {
    line->SetTargetNode(p_.FindInIndex(line->TargetOffset()));
    if (!line->TargetNode()) p_.PendingTargets().Add(line->TargetOffset(), line);
  }
  if (IsBranchOpcode(line->OpcodeVal()) && !line->IsFirstLine()) {
    int64_t d = line->BranchDisplacement(p_);
    line->SetTextColor(d > 128 ? p_.Palette.BackBranchColor : p_.Palette.ForwardBranchColor);
  }
}

void TConverter::ExitLabel(TTraceFileLine* line) {
  TTraceFileLine* target = line->TargetNode();
  if (!line->IsFlow() || !target || !target->IsReturn() || line->TargetRef()) return;
  TSNESLabelManager* labels = p_.LabelManager();
  if (!labels) return;
  TMappingNode* exitLabel = labels->AddLabel(DollarHex(target->Offset()), kExitLabelName);
  line->SetTargetRef(exitLabel);
  target->SetOffsetLabel(exitLabel);
}

}  // namespace

TTraceFileLine* TSNESProject::Convert(size_t& k, const TLogLines& log, TTreeItem* parent) {
  TConverter converter(*this, log, k);
  return converter.Run(parent);
}

}  // namespace orvanel
