#include "literal_conversion.h"

#include <stdexcept>

#include "base/TextUtils.h"

namespace orvanel::bench {

namespace {

bool IsBranch(int32_t op) {
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

bool IsJump(int32_t op) {
  return op == 0x4C || op == 0x5C || op == 0x6C || op == 0x7C || op == 0xDC;
}

}  // namespace

TLiteralConversion::TLiteralConversion(TSNESProject& project) : p_(project) {
  auto global = std::make_unique<TScope>();
  global->Name = "Global";
  global->IsGlobal = true;
  scopes_.push_back(std::move(global));
}

TLiteralConversion::~TLiteralConversion() = default;

// --- the offset index: a list in address order, walked from the front --------------------

TTraceFileLine* TLiteralConversion::RegisterInIndex(TTraceFileLine* line) {
  size_t p = 0;
  while (p < offsetIndex_.size() &&
         (offsetIndex_[p]->Offset() < line->Offset() || offsetIndex_[p]->IsComment()))
    ++p;
  if (p < offsetIndex_.size() && offsetIndex_[p]->Offset() == line->Offset())
    return offsetIndex_[p];
  offsetIndex_.insert(offsetIndex_.begin() + static_cast<std::ptrdiff_t>(p), line);
  if (p == 0) {
    if (offsetIndex_.size() > 1) line->SetSuccessor(offsetIndex_[1]);
    return line;
  }
  TTraceFileLine* before = offsetIndex_[p - 1];
  TTraceFileLine* after = p + 1 < offsetIndex_.size() ? offsetIndex_[p + 1] : nullptr;
  if (p_.FallsThrough(before->OpcodeVal())) {
    if (before->Offset() + before->OpcodeLen() == line->Offset()) before->SetSuccessor(line);
    if (before->TargetOffset() == line->Offset()) before->SetTargetNode(line);
  }
  if (after != nullptr && p_.FallsThrough(line->OpcodeVal())) {
    if (line->Offset() + line->OpcodeLen() == after->Offset()) line->SetSuccessor(after);
    if (after->Offset() == line->TargetOffset()) line->SetTargetNode(after);
  }
  return line;
}

TTraceFileLine* TLiteralConversion::FindInIndex(int64_t offset) const {
  for (TTraceFileLine* entry : offsetIndex_)
    if (entry->Offset() == offset) return entry;
  return nullptr;
}

TTraceFileLine* TLiteralConversion::Keep(std::unique_ptr<TTraceFileLine> line) {
  TTraceFileLine* registered = RegisterInIndex(line.get());
  if (registered == line.get()) records_.push_back(std::move(line));
  return registered;
}

TTraceFileLine* TLiteralConversion::RegisterLine(size_t index) {
  if (index >= log_->Count()) throw std::out_of_range("List index out of bounds");
  return Keep(p_.CreateLine((*log_)[index], false, log_));
}

// --- labels: every label walked, its address text converted each time ---------------------

TMappingNode* TLiteralConversion::FindLabel(int64_t offset) const {
  for (const auto& label : labels_)
    if (StrToInt(label->Address()) == offset) return label.get();
  return nullptr;
}

TMappingNode* TLiteralConversion::AddLabel(const std::string& address, const std::string& name) {
  if (TMappingNode* existing = FindLabel(StrToInt(address))) return existing;
  labels_.push_back(std::make_unique<TMappingNode>(name, address));
  return labels_.back().get();
}

// --- scopes: every scope's key list walked --------------------------------------------------

TLiteralConversion::TScope* TLiteralConversion::FindScope(const TTraceFileLine& line) const {
  const std::string key = std::to_string(line.Offset());
  TScope* global = nullptr;
  for (const auto& scope : scopes_) {
    if (scope->IsGlobal) global = scope.get();
    for (const auto& entry : scope->Keys)
      if (SameText(entry.first, key)) return scope.get();
  }
  return global;
}

void TLiteralConversion::AttachScope(TTraceFileLine* line, TScope* scope) {
  TScope*& current = scopeOf_[line];
  if (current != nullptr) {
    auto& keys = current->Keys;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
      if (it->second == line) {
        keys.erase(it);
        break;
      }
    }
  }
  current = scope;
  if (scope == nullptr) return;
  const std::string key = std::to_string(line->Offset());
  bool found = false;
  for (auto& entry : scope->Keys) {
    if (SameText(entry.first, key)) {
      entry.second = line;
      found = true;
      break;
    }
  }
  if (!found) scope->Keys.emplace_back(key, line);
  // A scope's mappings name the target or the operand of a line that is no flow line.
  if (!line->IsFlow() && line->HasTarget()) {
    for (const auto& mapping : scope->Mappings)
      if (StrToInt(mapping->Address()) == line->TargetOffset()) break;
  }
}

// --- pending targets: "TARGET=SOURCE" texts, found by their name part ----------------------

void TLiteralConversion::ResolvePending(TTraceFileLine* line) {
  const std::string name = UpperCase(line->OffsetText());
  for (;;) {
    auto it = pending_.begin();
    for (; it != pending_.end(); ++it) {
      const size_t equals = it->Text.find('=');
      if (SameText(std::string_view(it->Text).substr(0, equals), name)) break;
    }
    if (it == pending_.end()) return;
    TTraceFileLine* source = it->Source;
    source->SetTargetNode(line);
    if (source->HasTarget() && source->TargetRef()) line->SetOffsetLabel(source->TargetRef());
    pending_.erase(it);
  }
}

// --- the conversion ---------------------------------------------------------------------------

void TLiteralConversion::ConvertLog(const TLogLines& log) {
  log_ = &log;
  if (log.Empty()) return;
  size_t i = 0;
  while (log[i].find('$') == std::string_view::npos && i + 1 < log.Count()) ++i;
  if (log.Count() >= i + 2) Convert(i, nullptr);
}

void TLiteralConversion::Upstep(TTraceFileLine*& line, TTraceFileLine*& lookahead, size_t k) {
  lookahead = line;
  records_.push_back(p_.CreateLine("Upstep", true, nullptr));
  TTraceFileLine* upstep = records_.back().get();
  upstep->SetTargetNode(tree_.First() ? tree_.First()->Line() : nullptr);
  TTreeItem* item = tree_.AddFirstTopLevel(upstep);
  tree_.MoveFollowingTopLevelUnder(item);
  if (k < log_->Count()) {
    lookahead = RegisterLine(k);
    if (item->HasChildren()) {
      int back = 0;
      switch (item->Children().back()->Line()->OpcodeVal()) {
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
        upstep->SetOffset(lookahead->Offset() - back);
        upstep->SetOpcodeLen(static_cast<uint8_t>(back));
      }
    }
  }
  line = RegisterInIndex(upstep);
}

void TLiteralConversion::ExitLabel(TTraceFileLine* line) {
  TTraceFileLine* target = line->TargetNode();
  if (!line->IsFlow() || !target || !target->IsReturn() || line->TargetRef()) return;
  std::string address(1, '$');
  address += IntToHex(target->Offset(), 6);
  TMappingNode* exitLabel = AddLabel(address, "exit");
  line->SetTargetRef(exitLabel);
  target->SetOffsetLabel(exitLabel);
}

TTraceFileLine* TLiteralConversion::Convert(size_t& k, TTreeItem* parent) {
  const size_t n = log_->Count();
  const TPalette& colors = p_.Palette;
  TTraceFileLine* result = nullptr;
  TTraceFileLine* lookahead = nullptr;
  bool stop = false;
  try {
    while (k < n && !stop) {
      if ((*log_)[k].empty()) {
        ++k;
        continue;
      }
      std::unique_ptr<TTraceFileLine> fresh = p_.CreateLine((*log_)[k], false, log_);
      if (offsetIndex_.empty()) {
        fresh->SetTextColor(colors.StartNodeColor);
        fresh->SetFlag(lfIsFirstLine, true);
      }
      TTraceFileLine* line = Keep(std::move(fresh));
      if (!result) result = line;

      line->SetOffsetLabel(FindLabel(line->Offset()));
      AttachScope(line, FindScope(*line));
      ResolvePending(line);

      if (k + 1 < n && (*log_)[k + 1].find(p_.CommentPrefix) != std::string_view::npos) {
        ++k;
        line->SetComment(std::string((*log_)[k].substr(p_.CommentPrefix.size(), 255)));
      }

      TTreeItem* item = tree_.AddChild(parent, line);
      ++k;
      if (k < n) lookahead = RegisterLine(k);
      if (line->IsComment()) continue;

      const int32_t op = line->OpcodeVal();
      if (op == 0x40 || op == 0x60 || op == 0x6B) {
        line->SetSuccessor(nullptr);
        lookahead = nullptr;
        if (line->TextColor() != colors.StartNodeColor) line->SetTextColor(colors.ReturnColor);
        if (callDepth_ > 0) {
          --callDepth_;
          stop = true;
        } else {
          Upstep(line, lookahead, k);
        }
      } else if (op == 0x20 || op == 0x22) {
        if (line->TextColor() != colors.StartNodeColor) line->SetTextColor(colors.CallColor);
        if (lookahead) {
          while (lookahead->IsComment() && k < n) {
            if (!lookahead->LineText().empty()) tree_.AddChild(item, lookahead);
            ++k;
            lookahead = RegisterLine(k);
          }
          if (line->TargetOffset() == lookahead->Offset()) {
            ++callDepth_;
            line->SetTargetNode(Convert(k, item));
            if (k < n)
              lookahead = RegisterLine(k);
            else
              stop = true;
          } else if (!line->TargetNode()) {
            line->SetTargetNode(FindInIndex(line->TargetOffset()));
          }
        }
      } else if (IsJump(op) || IsBranch(op)) {
        if (TTraceFileLine* target = line->TargetNode()) {
          if (line->TargetRef()) target->SetOffsetLabel(line->TargetRef());
        } else {
          line->SetTargetNode(FindInIndex(line->TargetOffset()));
          if (!line->TargetNode())
            pending_.push_back(
                {UpperCase(line->TargetText()) + "=" + UpperCase(line->OffsetText()), line});
        }
        if (IsBranch(op) && !line->IsFirstLine()) {
          const int64_t d = line->BranchDisplacement(p_);
          line->SetTextColor(d > 128 ? colors.BackBranchColor : colors.ForwardBranchColor);
        }
      }
      ExitLabel(line);
    }
  } catch (const std::exception&) {
    ++errors_;
    return nullptr;
  }
  return result;
}

}  // namespace orvanel::bench
